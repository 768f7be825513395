// Pixel-level tests of the PNG, JPEG and GIF classes, icons and metafiles: round trips that
// keep alpha, palette indices and greyscale, scaled JPEG decoding, GIF transparency,
// drawing, and corrupt input raising EInvalidGraphic without touching the graphic.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

#include "host/Bitmap.h"
#include "host/Iconmeta.h"
#include "host/Imaging.h"
#include "host/Streams.h"

namespace kw {
namespace {

// Every test must give back all the GDI objects it made.
class ImagingTest : public ::testing::Test {
protected:
  void SetUp() override { FStart = KwGdiTotal(); }
  void TearDown() override { EXPECT_EQ(KwGdiTotal(), FStart) << "GDI objects leaked"; }
  int FStart = 0;
};

TBytes Saved(TGraphic& g) {
  TBytesStream s;
  g.SaveToStream(s);
  return s.Bytes();
}

void LoadBytes(TGraphic& g, const TBytes& bytes) {
  TBytesStream s(bytes);
  g.LoadFromStream(s);
}

std::unique_ptr<TBitmap> WhiteBitmap(int w, int h, TColor color = clWhite) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(color);
  b->Canvas()->FillRect(Rect(0, 0, w, h));
  return b;
}

void ExpectNear(TColor actual, int r, int g, int b, int tolerance, const char* where) {
  const Int32 c = ColorToRGB(actual);
  EXPECT_NEAR(GetRValue(c), r, tolerance) << where;
  EXPECT_NEAR(GetGValue(c), g, tolerance) << where;
  EXPECT_NEAR(GetBValue(c), b, tolerance) << where;
}

void SetBgr(TPngImage& png, int x, int y, Byte r, Byte g, Byte b) {
  Byte* p = static_cast<Byte*>(png.Scanline(y)) + x * 4;
  p[0] = b;
  p[1] = g;
  p[2] = r;
}

using PngRoundTrip = ImagingTest;

TEST_F(PngRoundTrip, HalfTransparentPixelKeepsItsAlphaAndColour) {
  TPngImage png;
  png.CreateBlank(COLOR_RGBALPHA, 8, 4, 3);
  for (int y = 0; y < 3; ++y) std::memset(png.AlphaScanline(y), 255, 4);
  png.AlphaScanline(1)[2] = 128;
  png.AlphaScanline(2)[3] = 0;
  SetBgr(png, 2, 1, 10, 200, 30);
  const TBytes bytes = Saved(png);
  ASSERT_GT(bytes.size(), 8u);
  EXPECT_EQ(bytes[25], COLOR_RGBALPHA);

  TPngImage back;
  LoadBytes(back, bytes);
  EXPECT_EQ(back.Width(), 4);
  EXPECT_EQ(back.Height(), 3);
  EXPECT_EQ(back.ColorType(), COLOR_RGBALPHA);
  EXPECT_TRUE(back.Transparent());
  ASSERT_NE(back.AlphaScanline(1), nullptr);
  EXPECT_EQ(back.AlphaScanline(1)[2], 128);
  EXPECT_EQ(back.AlphaScanline(2)[3], 0);
  EXPECT_EQ(back.AlphaScanline(0)[0], 255);
  ExpectNear(back.Pixels(2, 1), 10, 200, 30, 0, "colour of the half-transparent pixel");
  // The bitmap carries a straight copy of the alpha plane for whoever draws it directly.
  EXPECT_EQ(back.Bitmap()->AlphaFormat(), afDefined);
  EXPECT_EQ(static_cast<Byte*>(back.Bitmap()->ScanLine(1))[2 * 4 + 3], 128);
}

TEST_F(PngRoundTrip, PaletteImageKeepsIndicesPaletteAndDepth) {
  TPngImage png;
  png.CreateBlank(COLOR_PALETTE, 4, 5, 2);
  const std::vector<Cardinal> palette = {0xFF000000, 0xFFFF0000, 0x8000FF00, 0xFF0000FF, 0xFFFFFFFF};
  png.SetPaletteEntries(palette);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) png.IndexScanline(y)[x] = Byte((x + y * 2) % 5);
  TPngImage back;
  LoadBytes(back, Saved(png));
  EXPECT_EQ(back.ColorType(), COLOR_PALETTE);
  EXPECT_EQ(back.BitDepth(), 4);
  EXPECT_EQ(back.PaletteEntries(), palette);
  ASSERT_NE(back.IndexScanline(1), nullptr);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(back.IndexScanline(y)[x], (x + y * 2) % 5) << x << "," << y;
  // The entry with alpha 128 makes the image transparent; the colour rows follow the palette.
  EXPECT_TRUE(back.Transparent());
  ExpectNear(back.Pixels(3, 0), 0, 0, 255, 0, "index 3");
  // Setting a colour picks the nearest entry rather than leaving the palette.
  back.SetPixels(0, 0, TColor(KwRGB(250, 10, 10)));
  EXPECT_EQ(back.IndexScanline(0)[0], 1);
}

TEST_F(PngRoundTrip, GreyscaleStaysGreyscale) {
  TPngImage png;
  png.CreateBlank(COLOR_GRAYSCALE, 8, 6, 2);
  for (int x = 0; x < 6; ++x) SetBgr(png, x, 1, Byte(x * 40), Byte(x * 40), Byte(x * 40));
  const TBytes bytes = Saved(png);
  EXPECT_EQ(bytes[25], COLOR_GRAYSCALE);
  TPngImage back;
  LoadBytes(back, bytes);
  EXPECT_EQ(back.ColorType(), COLOR_GRAYSCALE);
  EXPECT_FALSE(back.Transparent());
  EXPECT_EQ(back.AlphaScanline(0), nullptr);
  ExpectNear(back.Pixels(5, 1), 200, 200, 200, 0, "grey sample");
  ExpectNear(back.Pixels(0, 0), 255, 255, 255, 0, "blank grey is white");
  EXPECT_EQ(Saved(back)[25], COLOR_GRAYSCALE);
}

TEST_F(PngRoundTrip, DrawBlendsByAlpha) {
  TPngImage png;
  png.CreateBlank(COLOR_RGBALPHA, 8, 3, 1);
  SetBgr(png, 0, 0, 255, 0, 0);
  SetBgr(png, 1, 0, 0, 0, 255);
  SetBgr(png, 2, 0, 0, 0, 0);
  png.AlphaScanline(0)[0] = 128;
  png.AlphaScanline(0)[1] = 0;
  png.AlphaScanline(0)[2] = 255;
  auto target = WhiteBitmap(3, 1);
  target->Canvas()->Draw(0, 0, &png);
  ExpectNear(target->Canvas()->Pixels(0, 0), 255, 127, 127, 3, "half red over white");
  ExpectNear(target->Canvas()->Pixels(1, 0), 255, 255, 255, 0, "transparent blue");
  ExpectNear(target->Canvas()->Pixels(2, 0), 0, 0, 0, 0, "opaque black");
}

TEST_F(PngRoundTrip, BitmapAssignmentBothWays) {
  auto bmp = WhiteBitmap(5, 4, TColor(KwRGB(20, 120, 220)));
  TPngImage png;
  png.Assign(bmp.get());
  EXPECT_EQ(png.ColorType(), COLOR_RGB);
  EXPECT_FALSE(png.Transparent());
  ExpectNear(png.Pixels(4, 3), 20, 120, 220, 0, "from bitmap");
  png.SetPixels(1, 1, clRed);
  TBitmap out;
  out.Assign(&png);
  ASSERT_EQ(out.Width(), 5);
  ExpectNear(out.Canvas()->Pixels(1, 1), 255, 0, 0, 0, "back in a bitmap");
  ExpectNear(out.Canvas()->Pixels(0, 0), 20, 120, 220, 0, "back in a bitmap");
}

using JpegDecode = ImagingTest;

TEST_F(JpegDecode, ReducedScalesGiveRoundedUpSizesAndTheColour) {
  auto bmp = WhiteBitmap(65, 49, TColor(KwRGB(200, 40, 60)));
  TJPEGImage source;
  source.Assign(bmp.get());
  const TBytes bytes = Saved(source);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xD8);

  const struct { TJPEGScale Scale; int W, H; } cases[] = {
      {jsFullSize, 65, 49}, {jsHalf, 33, 25}, {jsQuarter, 17, 13}, {jsEighth, 9, 7}};
  for (const auto& c : cases) {
    TJPEGImage jpeg;
    jpeg.SetScale(c.Scale);
    LoadBytes(jpeg, bytes);
    EXPECT_EQ(jpeg.Width(), c.W) << int(c.Scale);
    EXPECT_EQ(jpeg.Height(), c.H) << int(c.Scale);
    ASSERT_NE(jpeg.Bitmap(), nullptr);
    ExpectNear(jpeg.Bitmap()->Canvas()->Pixels(c.W / 2, c.H / 2), 200, 40, 60, 12, "flat area");
  }
  // Changing the scale of a loaded image decodes again from the kept data.
  TJPEGImage jpeg;
  LoadBytes(jpeg, bytes);
  jpeg.SetScale(jsQuarter);
  EXPECT_EQ(jpeg.Width(), 17);
  EXPECT_EQ(jpeg.Bitmap()->Height(), 13);
  EXPECT_EQ(Saved(jpeg), bytes);
}

TEST_F(JpegDecode, GrayscaleAndOptions) {
  auto bmp = WhiteBitmap(16, 16, TColor(KwRGB(200, 40, 60)));
  TJPEGImage jpeg;
  jpeg.Assign(bmp.get());
  TJPEGImage grey;
  grey.SetGrayscale(true);
  LoadBytes(grey, Saved(jpeg));
  ASSERT_NE(grey.Bitmap(), nullptr);
  EXPECT_EQ(grey.Bitmap()->PixelFormat(), pf8bit);
  const Int32 c = ColorToRGB(grey.Bitmap()->Canvas()->Pixels(8, 8));
  EXPECT_EQ(GetRValue(c), GetGValue(c));
  EXPECT_EQ(GetGValue(c), GetBValue(c));
  EXPECT_NEAR(GetRValue(c), 0.3 * 200 + 0.59 * 40 + 0.11 * 60, 6);

  jpeg.SetCompressionQuality(0);
  EXPECT_EQ(jpeg.CompressionQuality(), 1);
  jpeg.SetCompressionQuality(500);
  EXPECT_EQ(jpeg.CompressionQuality(), 100);
  EXPECT_THROW(jpeg.SetWidth(3), EInvalidGraphicOperation);
}

using GifImage = ImagingTest;

TEST_F(GifImage, TransparentIndexIndicesAndColoursSurvive) {
  TBitmap bmp;
  bmp.SetPixelFormat(pf8bit);
  bmp.SetSize(4, 2);
  bmp.SetColorTable({TColor(KwRGB(255, 0, 0)), TColor(KwRGB(0, 255, 0)), TColor(KwRGB(0, 0, 255)),
                     TColor(KwRGB(255, 255, 0))});
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) static_cast<Byte*>(bmp.ScanLine(y))[x] = Byte((x + y) % 4);
  TGIFImage gif;
  gif.Assign(&bmp);
  gif.SetTransparentIndex(2);
  const TBytes bytes = Saved(gif);
  EXPECT_EQ(KwGifTransparentIndex(bytes.data(), bytes.size()), 2);

  TGIFImage back;
  LoadBytes(back, bytes);
  EXPECT_EQ(back.TransparentIndex(), 2);
  EXPECT_TRUE(back.Transparent());
  EXPECT_EQ(back.FrameCount(), 1);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(static_cast<Byte*>(back.Bitmap()->ScanLine(y))[x], (x + y) % 4) << x << "," << y;
  EXPECT_EQ(ColorToRGB(back.Bitmap()->ColorTable()[3]), KwRGB(255, 255, 0));

  // Index 2 sits at (2,0) and (1,1): the background shows through there only.
  auto target = WhiteBitmap(4, 2, clGray);
  target->Canvas()->Draw(0, 0, &back);
  ExpectNear(target->Canvas()->Pixels(2, 0), 128, 128, 128, 0, "transparent index");
  ExpectNear(target->Canvas()->Pixels(1, 1), 128, 128, 128, 0, "transparent index");
  ExpectNear(target->Canvas()->Pixels(0, 0), 255, 0, 0, 0, "index 0");
  ExpectNear(target->Canvas()->Pixels(3, 0), 255, 255, 0, 0, "index 3");

  back.SetTransparentIndex(-1);
  TGIFImage opaque;
  LoadBytes(opaque, Saved(back));
  EXPECT_EQ(opaque.TransparentIndex(), -1);
  EXPECT_THROW(back.SetTransparentIndex(256), EInvalidGraphicOperation);
  EXPECT_THROW(back.SetTransparentIndex(-2), EInvalidGraphicOperation);
}

using IconMeta = ImagingTest;

TEST_F(IconMeta, IconFromAlphaBitmapMasksTransparentPixels) {
  TBitmap bmp;
  bmp.SetPixelFormat(pf32bit);
  bmp.SetSize(16, 16);
  for (int y = 0; y < 16; ++y) {
    Byte* row = static_cast<Byte*>(bmp.ScanLine(y));
    for (int x = 0; x < 16; ++x) {
      Byte* p = row + x * 4;
      p[0] = 0; p[1] = 0; p[2] = 255;
      p[3] = x < 8 ? 255 : 0;
    }
  }
  bmp.SetAlphaFormat(afDefined);
  TIcon icon;
  icon.Assign(&bmp);
  TIcon back;
  LoadBytes(back, Saved(icon));
  EXPECT_EQ(back.Width(), 16);
  EXPECT_EQ(back.Height(), 16);
  ASSERT_NE(back.Handle(), nullptr);
  auto target = WhiteBitmap(16, 16);
  target->Canvas()->Draw(0, 0, &back);
  ExpectNear(target->Canvas()->Pixels(3, 8), 255, 0, 0, 0, "opaque half");
  ExpectNear(target->Canvas()->Pixels(12, 8), 255, 255, 255, 0, "transparent half");
}

TEST_F(IconMeta, MetafileRecordsAndRoundTripsAsEmfAndPlaceableWmf) {
  TMetafile meta;
  meta.SetWidth(40);
  meta.SetHeight(30);
  {
    TMetafileCanvas canvas(&meta, nullptr);
    canvas.Brush()->SetColor(clRed);
    canvas.Pen()->SetColor(clRed);
    canvas.Rectangle(0, 0, 40, 30);
  }
  ASSERT_FALSE(meta.Empty());
  EXPECT_NEAR(meta.Width(), 40, 1);
  for (bool enhanced : {true, false}) {
    meta.SetEnhanced(enhanced);
    const TBytes bytes = Saved(meta);
    TMetafile back;
    LoadBytes(back, bytes);
    EXPECT_EQ(back.Enhanced(), enhanced);
    EXPECT_NEAR(back.Width(), 40, 1) << enhanced;
    EXPECT_NEAR(back.Height(), 30, 1) << enhanced;
    auto target = WhiteBitmap(40, 30);
    target->Canvas()->StretchDraw(Rect(0, 0, 40, 30), &back);
    ExpectNear(target->Canvas()->Pixels(20, 15), 255, 0, 0, 0, enhanced ? "emf centre" : "wmf centre");
  }
  TBytes junk = {0xD7, 0xCD, 0xC6, 0x9A, 1, 2, 3};
  junk.resize(60, 0);
  EXPECT_THROW(LoadBytes(meta, junk), EInvalidGraphic);
  EXPECT_FALSE(meta.Empty());
}

// A PNG with its header rewritten to the given size and a correct CRC, so the size check
// rather than the checksum is what refuses it.
TBytes PngWithSize(TBytes png, Cardinal w, Cardinal h) {
  auto put = [&](size_t at, Cardinal v) {
    png[at] = Byte(v >> 24); png[at + 1] = Byte(v >> 16); png[at + 2] = Byte(v >> 8); png[at + 3] = Byte(v);
  };
  put(16, w);
  put(20, h);
  Cardinal crc = 0xFFFFFFFF;
  for (size_t i = 12; i < 29; ++i) {
    crc ^= png[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  put(29, ~crc);
  return png;
}

using CorruptImages = ImagingTest;

TEST_F(CorruptImages, AbsurdSizesAreRefusedBeforeDecoding) {
  TPngImage small;
  small.CreateBlank(COLOR_RGB, 8, 2, 2);
  const TBytes good = Saved(small);
  TPngImage png;
  LoadBytes(png, PngWithSize(good, 2, 2));
  EXPECT_EQ(png.Width(), 2);
  for (auto [w, h] : {std::pair<Cardinal, Cardinal>{100000, 2}, {2, 40000}, {30000, 30000}, {0, 5}})
    EXPECT_THROW(LoadBytes(png, PngWithSize(good, w, h)), EInvalidGraphic) << w << "x" << h;
  EXPECT_EQ(png.Width(), 2);
}

// Truncated and bit-flipped files of every kind either load or raise EInvalidGraphic; a
// failed load leaves the graphic as it was.
TEST_F(CorruptImages, FuzzedFilesRaiseInvalidGraphicOnly) {
  TPngImage png;
  png.CreateBlank(COLOR_RGBALPHA, 8, 9, 7);
  auto bmp = WhiteBitmap(24, 16, TColor(KwRGB(90, 30, 160)));
  TJPEGImage jpeg;
  jpeg.Assign(bmp.get());
  TGIFImage gif;
  gif.Assign(bmp.get());
  TIcon icon;
  icon.Assign(bmp.get());
  TMetafile meta;
  meta.Assign(bmp.get());
  TGraphic* graphics[] = {&png, &jpeg, &gif, &icon, &meta};
  std::vector<TBytes> samples;
  for (TGraphic* g : graphics) samples.push_back(Saved(*g));

  std::mt19937 rng(20261206);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  int rounds = 0, refused = 0;
  while (std::chrono::steady_clock::now() < until) {
    const size_t k = size_t(rounds++) % std::size(graphics);
    TBytes data = samples[k];
    if (rng() % 3 == 0) data.resize(rng() % data.size());
    const int flips = 1 + int(rng() % 6);
    for (int i = 0; i < flips && !data.empty(); ++i) data[rng() % data.size()] ^= Byte(1 + rng() % 255);
    const int w = graphics[k]->Width(), h = graphics[k]->Height();
    try {
      LoadBytes(*graphics[k], data);
    } catch (const EInvalidGraphic&) {
      ++refused;
      EXPECT_EQ(graphics[k]->Width(), w);
      EXPECT_EQ(graphics[k]->Height(), h);
    }
    // Whatever was accepted must draw without fault; restore the sample for the next round.
    if (!graphics[k]->Empty() && graphics[k]->Width() <= 64 && graphics[k]->Height() <= 64) {
      auto target = WhiteBitmap(8, 8);
      target->Canvas()->StretchDraw(Rect(0, 0, 8, 8), graphics[k]);
    }
    LoadBytes(*graphics[k], samples[k]);
  }
  EXPECT_GT(rounds, 40);
  EXPECT_GT(refused, rounds / 4);
}

}  // namespace
}  // namespace kw
