// Bitmaps and BMP files: pixel formats through streams, hand-made BMP variants (orientation,
// RLE, bit fields, headers), scan lines, transparent and alpha drawing, GDI accounting, and a
// fuzz loop over mutated files. Pixels are checked at named points.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Streams.h"
#include "host/Win.h"

using namespace kw;

namespace {

Int32 Px(TBitmap& b, int x, int y) { return Int32(GetPixel(b.Canvas()->Handle(), x, y) & 0xFFFFFF); }

TBytes Save(TBitmap& b) {
  TBytesStream s;
  b.SaveToStream(s);
  return s.Bytes();
}

void Load(TBitmap& b, const TBytes& data) {
  TBytesStream s(data);
  b.LoadFromStream(s);
}

void Put16(TBytes& b, size_t at, unsigned v) { b[at] = Byte(v), b[at + 1] = Byte(v >> 8); }
void Put32(TBytes& b, size_t at, Cardinal v) {
  for (int i = 0; i < 4; ++i) b[at + i] = Byte(v >> (8 * i));
}

// A BMP file with an info header of headerSize bytes (12 for a core header), the colour
// entries and masks given, and pixel bytes as they lie in the file.
struct TBmpSpec {
  int HeaderSize = 40;
  int Width = 0, Height = 0, BitCount = 24;
  Cardinal Compression = BI_RGB;
  std::vector<Cardinal> Colors;
  Cardinal ClrUsed = 0;
  std::vector<Cardinal> Masks;  // in the header for V2+, after it for 40
  TBytes Pixels;
};

TBytes MakeBmp(const TBmpSpec& s) {
  const size_t entry = s.HeaderSize == 12 ? 3 : 4;
  const size_t masksAfter = s.HeaderSize == 40 ? s.Masks.size() * 4 : 0;
  const size_t off = 14 + size_t(s.HeaderSize) + masksAfter + s.Colors.size() * entry;
  TBytes b(off + s.Pixels.size(), 0);
  b[0] = 'B', b[1] = 'M';
  Put32(b, 2, Cardinal(b.size()));
  Put32(b, 10, Cardinal(off));
  Put32(b, 14, Cardinal(s.HeaderSize));
  if (s.HeaderSize == 12) {
    Put16(b, 18, unsigned(s.Width));
    Put16(b, 20, unsigned(s.Height));
    Put16(b, 22, 1);
    Put16(b, 24, unsigned(s.BitCount));
  } else {
    Put32(b, 18, Cardinal(s.Width));
    Put32(b, 22, Cardinal(s.Height));
    Put16(b, 26, 1);
    Put16(b, 28, unsigned(s.BitCount));
    Put32(b, 30, s.Compression);
    Put32(b, 34, Cardinal(s.Pixels.size()));
    Put32(b, 46, s.ClrUsed);
    for (size_t i = 0; i < s.Masks.size(); ++i) Put32(b, 54 + 4 * i, s.Masks[i]);
  }
  size_t p = 14 + size_t(s.HeaderSize) + masksAfter;
  for (Cardinal c : s.Colors) {
    b[p] = Byte(c), b[p + 1] = Byte(c >> 8), b[p + 2] = Byte(c >> 16);
    p += entry;
  }
  std::memcpy(b.data() + off, s.Pixels.data(), s.Pixels.size());
  return b;
}

// A 16 x 8 picture of four areas: red top-left, lime top-right, blue bottom-left, black
// bottom-right with a white dot at (12, 6).
void Paint(TBitmap& b) {
  TCanvas* c = b.Canvas();
  auto fill = [&](TRect r, TColor color) {
    c->Brush()->SetColor(color);
    c->FillRect(r);
  };
  fill(Rect(0, 0, 8, 4), clRed);
  fill(Rect(8, 0, 16, 4), clLime);
  fill(Rect(0, 4, 8, 8), clBlue);
  fill(Rect(8, 4, 16, 8), clBlack);
  c->SetPixels(12, 6, clWhite);
}

void ExpectPainted(TBitmap& b, bool mono, const char* what) {
  SCOPED_TRACE(what);
  ASSERT_EQ(b.Width(), 16);
  ASSERT_EQ(b.Height(), 8);
  if (mono) {
    EXPECT_EQ(Px(b, 2, 1), 0x000000);  // red is nearer black than white
    EXPECT_EQ(Px(b, 10, 5), 0x000000);
    EXPECT_EQ(Px(b, 11, 6), 0x000000);
    EXPECT_EQ(Px(b, 12, 6), 0xFFFFFF);
    return;
  }
  EXPECT_EQ(Px(b, 2, 1), clRed);
  EXPECT_EQ(Px(b, 10, 2), clLime);
  EXPECT_EQ(Px(b, 3, 6), clBlue);
  EXPECT_EQ(Px(b, 10, 5), clBlack);
  EXPECT_EQ(Px(b, 12, 6), clWhite);
}

}  // namespace

TEST(BitmapPixelFormat, ConversionsAndStreamRoundTripsKeepThePicture) {
  const TPixelFormat formats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfDevice};
  for (TPixelFormat f : formats) {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(16, 8);
    Paint(b);
    b.SetPixelFormat(f);
    EXPECT_EQ(b.PixelFormat(), f);
    ExpectPainted(b, f == pf1bit, "converted");
    TBitmap loaded;
    Load(loaded, Save(b));
    EXPECT_EQ(loaded.PixelFormat(), f == pfDevice ? pf32bit : f);
    ExpectPainted(loaded, f == pf1bit, "loaded");
    if (f == pf1bit) {
      EXPECT_TRUE(loaded.Monochrome());
    }
  }
}

TEST(BitmapPixelFormat, SizeKeepsPictureAndPfCustomIsRefused) {
  TBitmap b(16, 8);
  Paint(b);
  b.SetSize(20, 10);
  EXPECT_EQ(Px(b, 2, 1), clRed);
  EXPECT_EQ(Px(b, 12, 6), clWhite);
  EXPECT_EQ(Px(b, 18, 9), clWhite);  // new area
  EXPECT_EQ(Px(b, 10, 5), clBlack);
  EXPECT_THROW(b.SetPixelFormat(pfCustom), EInvalidGraphic);
  b.SetSize(0, 5);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Handle(), nullptr);
  EXPECT_TRUE(Save(b).empty());
}

TEST(BmpReader, TopDownAndBottomUpGiveTheSamePixels) {
  // 2 x 2, 24 bits: top row red, blue; bottom row lime, white. Rows pad to 8 bytes.
  const TBytes top = {0, 0, 255, 255, 0, 0, 0, 0}, bottom = {0, 255, 0, 255, 255, 255, 0, 0};
  TBmpSpec up{40, 2, 2, 24};
  up.Pixels = bottom;
  up.Pixels.insert(up.Pixels.end(), top.begin(), top.end());
  TBmpSpec down = up;
  down.Height = -2;
  down.Pixels = top;
  down.Pixels.insert(down.Pixels.end(), bottom.begin(), bottom.end());
  for (const TBmpSpec& s : {up, down}) {
    TBitmap b;
    Load(b, MakeBmp(s));
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(Px(b, 0, 0), clRed);
    EXPECT_EQ(Px(b, 1, 0), clBlue);
    EXPECT_EQ(Px(b, 0, 1), clLime);
    EXPECT_EQ(Px(b, 1, 1), clWhite);
  }
}

TEST(BmpReader, DecodesRle8WithDeltaAndEscapes) {
  TBmpSpec s{40, 6, 3, 8, BI_RLE8};
  s.Colors = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};  // black, red, green, blue (RGBQUAD order)
  s.ClrUsed = 4;
  s.Pixels = {3, 1,  0, 3, 2, 3, 2, 0,  0, 0,  // bottom row: red red red green blue green
              0, 2, 4, 1,                      // delta: right 4, up 1 -> (4, 2)
              2, 3, 0, 1};                     // blue blue at the top row, end of bitmap
  TBitmap b;
  Load(b, MakeBmp(s));
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(b.ColorTable().size(), 4u);
  EXPECT_EQ(Px(b, 0, 2), clRed);
  EXPECT_EQ(Px(b, 2, 2), clRed);
  EXPECT_EQ(Px(b, 3, 2), clLime);
  EXPECT_EQ(Px(b, 4, 2), clBlue);
  EXPECT_EQ(Px(b, 5, 2), clLime);
  EXPECT_EQ(Px(b, 0, 1), clBlack);  // skipped pixels are index 0
  EXPECT_EQ(Px(b, 3, 0), clBlack);
  EXPECT_EQ(Px(b, 4, 0), clBlue);
  EXPECT_EQ(Px(b, 5, 0), clBlue);
}

TEST(BmpReader, DecodesRle4RunsAndLiterals) {
  TBmpSpec s{40, 5, 2, 4, BI_RLE4};
  s.Colors = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  s.ClrUsed = 4;
  s.Pixels = {5, 0x12, 0, 0,         // bottom: 1 2 1 2 1
              0, 3, 0x31, 0x20, 0, 0,  // top literal: 3 1 2, padded to a word
              0, 1};
  TBitmap b;
  Load(b, MakeBmp(s));
  EXPECT_EQ(b.PixelFormat(), pf4bit);
  EXPECT_EQ(Px(b, 0, 1), clRed);
  EXPECT_EQ(Px(b, 1, 1), clLime);
  EXPECT_EQ(Px(b, 4, 1), clRed);
  EXPECT_EQ(Px(b, 0, 0), clBlue);
  EXPECT_EQ(Px(b, 1, 0), clRed);
  EXPECT_EQ(Px(b, 2, 0), clLime);
  EXPECT_EQ(Px(b, 3, 0), clBlack);
}

TEST(BmpReader, DecodesBitFieldsOf16And32Bits) {
  // One row: red, green, blue, a middle grey (565: 16, 32, 16).
  TBmpSpec s{40, 4, 1, 16, BI_BITFIELDS};
  s.Masks = {0xF800, 0x7E0, 0x1F};
  s.Pixels = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x10, 0x84};
  TBitmap b;
  Load(b, MakeBmp(s));
  EXPECT_EQ(b.PixelFormat(), pf16bit);
  EXPECT_EQ(Px(b, 0, 0), clRed);
  EXPECT_EQ(Px(b, 1, 0), clLime);
  EXPECT_EQ(Px(b, 2, 0), clBlue);
  Int32 grey = Px(b, 3, 0);
  EXPECT_NEAR(grey & 0xFF, 0x84, 4);
  EXPECT_NEAR((grey >> 8) & 0xFF, 0x82, 4);

  // The same masks inside a V3 header; then 4-4-4 masks, which are spread to 32 bits.
  s.HeaderSize = 56;
  s.Masks.push_back(0);
  Load(b, MakeBmp(s));
  EXPECT_EQ(b.PixelFormat(), pf16bit);
  EXPECT_EQ(Px(b, 2, 0), clBlue);
  s.Masks = {0xF00, 0xF0, 0xF, 0};
  s.Pixels = {0x00, 0x0F, 0xF0, 0x00, 0x0F, 0x00, 0x88, 0x08};
  Load(b, MakeBmp(s));
  EXPECT_EQ(b.PixelFormat(), pf32bit);
  EXPECT_EQ(Px(b, 0, 0), clRed);
  EXPECT_EQ(Px(b, 1, 0), clLime);
  EXPECT_EQ(Px(b, 2, 0), clBlue);
  EXPECT_EQ(Px(b, 3, 0), 0x888888);

  // 16 bits without bit fields are 5-5-5.
  TBmpSpec r{40, 1, 1, 16};
  r.Pixels = {0x00, 0x7C, 0, 0};
  Load(b, MakeBmp(r));
  EXPECT_EQ(b.PixelFormat(), pf15bit);
  EXPECT_EQ(Px(b, 0, 0), clRed);
}

TEST(BmpReader, ReadsCoreHeadersShortPalettesAndV5Alpha) {
  TBmpSpec core{12, 3, 1, 1};
  core.Colors = {0x0000FF, 0xFFFF00};  // blue, yellow
  core.Pixels = {0xA0, 0, 0, 0};       // 1 0 1
  TBitmap b;
  Load(b, MakeBmp(core));
  EXPECT_EQ(b.PixelFormat(), pf1bit);
  EXPECT_FALSE(b.Monochrome());
  EXPECT_EQ(Px(b, 0, 0), clYellow);
  EXPECT_EQ(Px(b, 1, 0), clBlue);

  TBmpSpec shortPal{40, 2, 1, 8};
  shortPal.Colors = {0x00FF00, 0xFF00FF};
  shortPal.ClrUsed = 2;
  shortPal.Pixels = {1, 0, 0, 0};
  Load(b, MakeBmp(shortPal));
  ASSERT_EQ(b.ColorTable().size(), 2u);
  EXPECT_EQ(b.ColorTable()[1], clFuchsia);
  EXPECT_EQ(Px(b, 0, 0), clFuchsia);
  EXPECT_EQ(Px(b, 1, 0), clLime);

  TBmpSpec v5{124, 1, 1, 32, BI_BITFIELDS};
  v5.Masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  v5.Pixels = {0x10, 0x20, 0x30, 0x80};
  Load(b, MakeBmp(v5));
  EXPECT_EQ(b.PixelFormat(), pf32bit);
  EXPECT_EQ(b.AlphaFormat(), afDefined);
  const Byte* p = static_cast<const Byte*>(b.ScanLine(0));
  EXPECT_EQ(p[0], 0x10);
  EXPECT_EQ(p[3], 0x80);
  TBitmap again;
  Load(again, Save(b));  // written with a V5 header, so alpha survives
  EXPECT_EQ(again.AlphaFormat(), afDefined);
  EXPECT_EQ(static_cast<const Byte*>(again.ScanLine(0))[3], 0x80);
}

TEST(BmpReader, RefusesBadFilesAndKeepsTheBitmap) {
  TBmpSpec good{40, 4, 2, 24};
  good.Pixels.assign(24, 0x40);
  const TBytes base = MakeBmp(good);
  TBmpSpec rle{40, 4, 2, 8, BI_RLE8};
  rle.Colors = {0, 0xFFFFFF};
  rle.ClrUsed = 2;
  auto withRle = [&](TBytes px) { rle.Pixels = std::move(px); return MakeBmp(rle); };
  struct TCase {
    const wchar_t* Fault;  // part of the message
    TBytes Data;
  };
  std::vector<TCase> cases;
  auto mutate = [&](const wchar_t* fault, auto f) {
    TBytes d = base;
    f(d);
    cases.push_back({fault, d});
  };
  mutate(L"signature", [](TBytes& d) { d[0] = 'X'; });
  mutate(L"info header cut short", [](TBytes& d) { d.resize(30); });
  mutate(L"pixel data cut short", [](TBytes& d) { d.resize(d.size() - 1); });
  mutate(L"header size", [](TBytes& d) { Put32(d, 14, 41); });
  mutate(L"too large", [](TBytes& d) { Put32(d, 18, 40000); });
  mutate(L"too large", [](TBytes& d) { Put32(d, 22, Cardinal(-40000)); });
  mutate(L"negative width", [](TBytes& d) { Put32(d, 18, Cardinal(-4)); });
  mutate(L"too large", [](TBytes& d) { Put32(d, 22, 0x80000000u); });
  mutate(L"pixel data cut short", [](TBytes& d) { Put32(d, 18, 30000), Put32(d, 22, 30000); });
  mutate(L"offset past the end", [](TBytes& d) { Put32(d, 10, 100000); });
  mutate(L"bit count", [](TBytes& d) { Put16(d, 28, 7); });
  mutate(L"unsupported compression", [](TBytes& d) { Put32(d, 30, 4); });
  cases.push_back({L"past the end of a row", withRle({5, 1, 0, 1})});
  cases.push_back({L"past the end of a row", withRle({0, 6, 1, 1, 1, 1, 1, 1, 0, 1})});
  cases.push_back({L"rows past the bottom", withRle({0, 0, 0, 0, 0, 0, 1, 1, 0, 1})});
  cases.push_back({L"delta moves past", withRle({0, 2, 9, 0, 0, 1})});
  cases.push_back({L"before the end-of-bitmap", withRle({2, 1})});
  cases.push_back({L"literal run cut short", withRle({0, 4, 1})});
  TBytes big = withRle({0, 1});
  Put32(big, 18, 30000), Put32(big, 22, 30000);
  cases.push_back({L"larger than its data", big});

  TBitmap b(3, 3);
  b.Canvas()->SetPixels(1, 1, clRed);
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.Fault, c.Fault + wcslen(c.Fault)));
    TBytesStream s(c.Data);
    try {
      b.LoadFromStream(s);
      ADD_FAILURE() << "accepted";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message().rfind(L"Bitmap image", 0), 0u);
      EXPECT_NE(e.Message().find(c.Fault), String::npos) << std::string(e.what());
    }
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(Px(b, 1, 1), clRed);
  }
  Load(b, base);  // the unmutated file is fine
  EXPECT_EQ(Px(b, 3, 1), 0x404040);
}

TEST(BitmapScanLine, RowZeroIsTheTopRowBothWays) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(3, 4);
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(Rect(0, 0, 3, 1));
  const Byte* top = static_cast<const Byte*>(b.ScanLine(0));
  EXPECT_EQ(top[0], 0);
  EXPECT_EQ(top[2], 255);
  EXPECT_EQ(static_cast<const Byte*>(b.ScanLine(3))[2], 255);  // white bottom row
  EXPECT_EQ(static_cast<const Byte*>(b.ScanLine(3))[1], 255);
  Byte* bottom = static_cast<Byte*>(b.ScanLine(3));
  bottom[3] = 255, bottom[4] = 0, bottom[5] = 0;  // pixel (1, 3) blue
  EXPECT_EQ(Px(b, 1, 3), clBlue);
  EXPECT_EQ(b.BytesPerScanLine(), 12);
  EXPECT_THROW(b.ScanLine(4), EInvalidGraphicOperation);
  EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
}

TEST(BitmapDraw, TransparentColourLeavesTheDestination) {
  TBitmap src;
  src.SetPixelFormat(pf24bit);
  src.SetSize(4, 4);
  src.Canvas()->Brush()->SetColor(clFuchsia);
  src.Canvas()->FillRect(Rect(0, 0, 4, 4));
  src.Canvas()->Brush()->SetColor(clRed);
  src.Canvas()->FillRect(Rect(1, 0, 3, 2));
  EXPECT_EQ(src.TransparentColor(), clFuchsia);  // bottom-left pixel
  src.SetTransparent(true);

  TBitmap dst(6, 6);
  dst.SetPixelFormat(pf24bit);
  dst.Canvas()->Brush()->SetColor(clBlue);
  dst.Canvas()->FillRect(Rect(0, 0, 6, 6));
  dst.Canvas()->Draw(1, 1, &src);
  EXPECT_EQ(Px(dst, 2, 1), clRed);
  EXPECT_EQ(Px(dst, 3, 2), clRed);
  EXPECT_EQ(Px(dst, 1, 1), clBlue);
  EXPECT_EQ(Px(dst, 4, 4), clBlue);

  // A fixed colour: now red is see-through and fuchsia is painted.
  src.SetTransparentColor(clRed);
  EXPECT_EQ(src.TransparentMode(), tmFixed);
  dst.Canvas()->FillRect(Rect(0, 0, 6, 6));
  dst.Canvas()->Draw(1, 1, &src);
  EXPECT_EQ(Px(dst, 2, 1), clBlue);
  EXPECT_EQ(Px(dst, 1, 1), clFuchsia);
  src.SetTransparentMode(tmAuto);
  EXPECT_EQ(src.TransparentColor(), clFuchsia);

  // Opaque drawing stretches the whole picture.
  src.SetTransparent(false);
  dst.Canvas()->StretchDraw(Rect(0, 0, 6, 6), &src);
  EXPECT_EQ(Px(dst, 0, 5), clFuchsia);
  EXPECT_EQ(Px(dst, 2, 0), clRed);
}

TEST(BitmapDraw, AlphaFormatBlendsHalfTransparentPixels) {
  TBitmap src;
  src.SetPixelFormat(pf32bit);
  src.SetSize(2, 1);
  Byte* p = static_cast<Byte*>(src.ScanLine(0));
  const Byte px[8] = {0, 0, 255, 128, 0, 255, 0, 255};  // half red, opaque green (straight)
  std::memcpy(p, px, 8);
  TBitmap dst(2, 1);
  dst.SetPixelFormat(pf24bit);
  auto paint = [&] {
    dst.Canvas()->Brush()->SetColor(clWhite);
    dst.Canvas()->FillRect(Rect(0, 0, 2, 1));
    dst.Canvas()->Draw(0, 0, &src);
  };
  src.SetAlphaFormat(afDefined);
  paint();
  Int32 half = Px(dst, 0, 0);
  EXPECT_EQ(half & 0xFF, 255);
  EXPECT_NEAR((half >> 8) & 0xFF, 127, 2);
  EXPECT_NEAR((half >> 16) & 0xFF, 127, 2);
  EXPECT_EQ(Px(dst, 1, 0), clLime);

  src.SetAlphaFormat(afPremultiplied);  // multiplies the pixels: same result
  EXPECT_NEAR(static_cast<Byte*>(src.ScanLine(0))[2], 128, 1);
  paint();
  EXPECT_NEAR((Px(dst, 0, 0) >> 8) & 0xFF, 127, 2);

  src.SetAlphaFormat(afIgnored);  // back to straight values, copied as they are
  EXPECT_NEAR(static_cast<Byte*>(src.ScanLine(0))[2], 255, 1);
  paint();
  EXPECT_EQ(Px(dst, 0, 0), clRed);
}

TEST(BitmapCanvas, DrawingReachesPixelsAndRaisesOnChange) {
  TBitmap b;
  b.SetPixelFormat(pf32bit);
  b.SetSize(4, 4);
  int changes = 0;
  b.OnChange = [&](TObject* sender) { EXPECT_EQ(sender, &b); ++changes; };
  b.SetModified(false);
  b.Canvas()->Brush()->SetColor(clBlue);
  b.Canvas()->FillRect(Rect(1, 1, 3, 3));
  EXPECT_GE(changes, 1);
  EXPECT_TRUE(b.Modified());
  const Cardinal* row = static_cast<const Cardinal*>(b.ScanLine(1));
  EXPECT_EQ(row[1] & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(row[0] & 0xFFFFFF, 0xFFFFFFu);
  // Resizing swaps the DIB: the canvas lets the old one go and draws into the new one.
  b.SetSize(8, 8);
  b.Canvas()->FillRect(Rect(6, 6, 8, 8));
  EXPECT_EQ(Px(b, 7, 7), clBlue);
  EXPECT_EQ(Px(b, 2, 2), clBlue);
}

TEST(BitmapCopy, AssignEqualsClipboardAndFilesAreDeep) {
  TBitmap a(16, 8);
  a.SetPixelFormat(pf8bit);
  Paint(a);
  a.SetTransparent(true);
  TBitmap b;
  b.Assign(&a);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_TRUE(b.Transparent());
  EXPECT_TRUE(a.Equals(&b));
  ExpectPainted(b, false, "assigned");
  b.Canvas()->SetPixels(0, 0, clLime);
  EXPECT_EQ(Px(a, 0, 0), clRed);
  EXPECT_FALSE(a.Equals(&b));
  EXPECT_NE(a.Handle(), b.Handle());

  Word format = 0;
  void* data = nullptr;
  HPALETTE__* pal = nullptr;
  a.SaveToClipboardFormat(format, data, pal);
  EXPECT_EQ(format, CF_DIB);
  TBitmap c;
  c.LoadFromClipboardFormat(format, data, pal);
  GlobalFree(data);
  ExpectPainted(c, false, "clipboard");
  EXPECT_THROW(c.LoadFromClipboardFormat(CF_TEXT, nullptr, nullptr), EInvalidGraphicOperation);

  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  String name = String(dir) + L"kw_test_bitmap.bmp";
  a.SaveToFile(name);
  TBitmap d;
  d.LoadFromFile(name);
  ExpectPainted(d, false, "file");
  TBytes cut = Save(a);
  cut.resize(cut.size() / 2);
  TMemoryStream half;
  half.WriteBuffer(cut.data(), Int64(cut.size()));
  half.SaveToFile(name);
  try {
    d.LoadFromFile(name);
    ADD_FAILURE() << "accepted half a file";
  } catch (const EInvalidGraphic& e) {
    EXPECT_NE(e.Message().find(name), String::npos);
  }
  DeleteFileW(name.c_str());
  ExpectPainted(d, false, "after the bad file");

  // The form-stream layout: a byte count, then the BMP file.
  TBytesStream s;
  TBytes file = Save(a);
  Int32 n = Int32(file.size());
  s.WriteBuffer(&n, 4);
  s.WriteBuffer(file.data(), n);
  s.SetPosition(0);
  struct TProbe : TBitmap {
    void Read(TStream& st) { ReadData(st); }
  } probe;
  probe.Read(s);
  ExpectPainted(probe, false, "data property");
}

TEST(BitmapHandle, ReleaseAndSetHandleMoveThePicture) {
  const int before = KwGdiTotal();
  {
    TBitmap a(16, 8);
    a.SetPixelFormat(pf4bit);
    Paint(a);
    HBITMAP__* h = a.ReleaseHandle();
    ExpectPainted(a, false, "kept after release");
    EXPECT_NE(a.Handle(), h);
    TBitmap b;
    b.SetHandle(h);  // copied into a DIB of its own, and h freed
    EXPECT_EQ(b.PixelFormat(), pf4bit);
    ExpectPainted(b, false, "handle");
    b.SetMonochrome(true);
    EXPECT_TRUE(b.Monochrome());
    EXPECT_EQ(Px(b, 12, 6), clWhite);
    b.SetMonochrome(false);
    EXPECT_EQ(b.PixelFormat(), pfDevice);
    EXPECT_EQ(Px(b, 12, 6), clWhite);
  }
  EXPECT_EQ(KwGdiTotal(), before);
}

TEST(BitmapGdi, ThousandBitmapsLeaveNoHandles) {
  const int before = KwGdiTotal();
  {
    TBitmap target(8, 8);
    for (int i = 0; i < 1000; ++i) {
      TBitmap b(8, 8);
      b.Canvas()->Brush()->SetColor(TColor(i));
      b.Canvas()->FillRect(Rect(0, 0, 8, 8));
      if (i % 3 == 0) b.SetPixelFormat(pf8bit), b.Palette();
      if (i % 5 == 0) b.SetAlphaFormat(afDefined);
      if (i % 7 == 0) KwDeleteObject(gkBitmap, b.ReleaseHandle());
      b.SetTransparent(i % 2 == 0);
      target.Canvas()->Draw(0, 0, &b);
    }
    EXPECT_GT(KwGdiTotal(), before);  // the target's DIB and DC are live
  }
  EXPECT_EQ(KwGdiTotal(), before);
}

TEST(BmpFuzz, MutatedFilesRaiseOnlyHostErrorsAndKeepTheBitmap) {
  std::vector<TBytes> seeds;
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap b(16, 8);
    Paint(b);
    b.SetPixelFormat(f);
    if (f == pf32bit) b.SetAlphaFormat(afDefined);
    seeds.push_back(Save(b));
  }
  TBmpSpec rle8{40, 6, 3, 8, BI_RLE8};
  rle8.Colors = {0, 0xFF0000, 0xFF00, 0xFF};
  rle8.ClrUsed = 4;
  rle8.Pixels = {3, 1, 0, 3, 2, 3, 2, 0, 0, 0, 0, 2, 4, 1, 2, 3, 0, 1};
  seeds.push_back(MakeBmp(rle8));
  TBmpSpec rle4{40, 5, 2, 4, BI_RLE4};
  rle4.Colors = rle8.Colors;
  rle4.ClrUsed = 4;
  rle4.Pixels = {5, 0x12, 0, 0, 0, 3, 0x31, 0x20, 0, 0, 0, 1};
  seeds.push_back(MakeBmp(rle4));
  TBmpSpec core{12, 3, 1, 1};
  core.Colors = {0xFF, 0xFFFF00};
  core.Pixels = {0xA0, 0, 0, 0};
  seeds.push_back(MakeBmp(core));
  for (const TBytes& seed : seeds) {
    TBitmap ok;
    ASSERT_NO_THROW(Load(ok, seed));
    ASSERT_FALSE(ok.Empty());
  }

  TBitmap b(5, 5);
  b.SetPixelFormat(pf24bit);
  b.Canvas()->SetPixels(2, 3, clTeal);
  const TBytes before = Save(b);
  std::mt19937 rng(20240611);
  int rounds = 0, refused = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (std::chrono::steady_clock::now() < end) {
    TBytes d = seeds[rng() % seeds.size()];
    switch (rng() % 4) {
      case 0: d.resize(rng() % (d.size() + 1)); break;  // truncation
      case 1:                                            // a header field
        if (d.size() > 60) Put32(d, 10 + 4 * (rng() % 12), rng() % 3 ? rng() % 300 : Cardinal(rng()));
        break;
      default:
        for (int n = 1 + int(rng() % 6); n > 0; --n) d[rng() % d.size()] = Byte(rng());
    }
    ++rounds;
    try {
      TBitmap probe;
      Load(probe, d);
      if (!probe.Empty()) {
        ASSERT_GT(probe.Width(), 0);
        ASSERT_LE(probe.Width(), KwMaxBitmapSide);
        Px(probe, probe.Width() - 1, 0);
      }
      Load(b, d);
      Load(b, before);
    } catch (const Exception&) {
      ++refused;
      ASSERT_EQ(Save(b), before) << "round " << rounds;
    } catch (...) {
      FAIL() << "a non-host exception in round " << rounds;
    }
  }
  EXPECT_GT(rounds, 200);
  EXPECT_GT(refused, 10);
  EXPECT_EQ(Px(b, 2, 3), clTeal);
}

TEST(BitmapSize, AnEmptyBitmapKeepsItsSidesUntilItHasBoth) {
  TBitmap b;
  b.SetWidth(120);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Width(), 120);
  b.SetHeight(60);
  ASSERT_FALSE(b.Empty());
  EXPECT_EQ(b.Width(), 120);
  EXPECT_EQ(b.Height(), 60);
  b.Canvas()->SetPixels(119, 59, clRed);
  EXPECT_EQ(b.Canvas()->Pixels(119, 59), clRed);
  b.SetHeight(0);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Width(), 120);
  EXPECT_EQ(b.Height(), 0);
}
