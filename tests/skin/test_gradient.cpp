// Backgrounds of a rectangle by pixels: band counts and positions of the gradients, mirrored
// gradients, the checker grid, image fills through a resolver double, the colour arithmetic,
// the palette, and the canvas and GDI state each fill leaves behind.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "host/Win.h"
#include "skin/Kwdrawutil.h"
#include "tests/skin/Surface.h"
#include "tests/support/Counters.h"

using namespace kw;
using namespace kw::testskin;

namespace {

// The runs of equal colour down column x: their start rows and colours.
std::vector<std::pair<int, TColor>> RowRuns(TSurface& s, int x) {
  std::vector<std::pair<int, TColor>> runs;
  for (int y = 0; y < s.H(); y++)
    if (runs.empty() || runs.back().second != s.At(x, y)) runs.push_back({y, s.At(x, y)});
  return runs;
}

void Fill(TSurface& s, TKwBackGroundStyle style, TColor a, TColor b, int maxSteps = 0,
          const TKwMemoryImage* image = nullptr, bool transparent = false, TColor solid = clYellow) {
  KwDrawGradient(s.C(), TRect(0, 0, s.W(), s.H()), style, a, b, solid, image, transparent, maxSteps);
}

// Images stand for themselves: a w x h red picture with a green top-left pixel and a blue
// centre, under a token address the resolver double knows.
std::map<const void*, TBitmap*> Images;
std::unique_ptr<TBitmap> ResolveDouble(const TKwMemoryImage* image) {
  auto it = Images.find(image);
  if (it == Images.end()) return nullptr;
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(it->second);
  return copy;
}
struct TImageDouble {
  TBitmap Bmp;
  int Token = 0;
  TImageDouble(int w, int h) : Bmp(w, h) {
    Bmp.SetPixelFormat(pf32bit);
    Bmp.Canvas()->Brush()->SetColor(clRed);
    Bmp.Canvas()->FillRect(TRect(0, 0, w, h));
    Bmp.Canvas()->SetPixel(w / 2, h / 2, clBlue);
    Bmp.Canvas()->SetPixel(0, 0, clLime);
    Images[&Token] = &Bmp;
    KwResolveImage = ResolveDouble;
  }
  ~TImageDouble() {
    Images.erase(&Token);
    KwResolveImage = nullptr;
  }
  const TKwMemoryImage* Ref() const { return reinterpret_cast<const TKwMemoryImage*>(&Token); }
};

}  // namespace

TEST(GradientBands, TenPixelsWhiteToBlackEndOneStepShort) {
  TSurface s(6, 10);
  Fill(s, bgsDown, clWhite, clBlack);
  auto runs = RowRuns(s, 3);
  ASSERT_EQ(runs.size(), 10u);
  EXPECT_EQ(runs.front().second, clWhite);
  // The last band is 255 - 9 * 25.5 = 25.5, which rounds to the even 26: grey, not black.
  EXPECT_EQ(runs.back().second, Rgb(26, 26, 26));
  for (size_t i = 1; i < runs.size(); i++) EXPECT_LT(GetRValue(runs[i].second), GetRValue(runs[i - 1].second));
  for (int y = 0; y < 10; y++) EXPECT_EQ(s.At(0, y), s.At(5, y)) << "row " << y << " is one colour";
  Fill(s, bgsUp, clWhite, clBlack);
  EXPECT_EQ(s.At(0, 0), clBlack);
  EXPECT_EQ(s.At(0, 9), Rgb(230, 230, 230));  // 9 * 25.5 = 229.5 rounds to the even 230
}

TEST(GradientBands, AtMostAHundredAndMaxStepsLowersIt) {
  TSurface s(4, 500), t(3, 12);
  Fill(s, bgsDown, clWhite, clBlack);
  auto runs = RowRuns(s, 1);
  EXPECT_EQ(runs.size(), 100u);
  for (size_t i = 0; i < runs.size(); i++) EXPECT_EQ(runs[i].first, int(i) * 5);
  Fill(s, bgsDown, clWhite, clBlack, 8);
  runs = RowRuns(s, 1);
  ASSERT_EQ(runs.size(), 8u);
  // Band i starts at MulDiv(i, 500, 8), which rounds 62.5 up to 63.
  const int starts[] = {0, 63, 125, 188, 250, 313, 375, 438};
  for (int i = 0; i < 8; i++) EXPECT_EQ(runs[size_t(i)].first, starts[i]) << "band " << i;
  Fill(t, bgsDown, clWhite, clBlack, 50);  // a limit above the length: one band per pixel
  EXPECT_EQ(RowRuns(t, 0).size(), 12u);
}

TEST(GradientBands, MirroredAndHorizontalStyles) {
  TSurface s(5, 7), h(40, 6);
  Fill(s, bgsVertOut, clWhite, clBlack);
  // Seven steps: six bands at MulDiv(i, 7, 6) = 0, 1, 2, 4, 5, 6; table[i] = 255 - i * 255 / 7.
  TColor t0 = clWhite, t2 = Rgb(182, 182, 182), t4 = Rgb(109, 109, 109);
  const TColor rows[7] = {t0, t2, t4, t4, t4, t2, t0};
  for (int y = 0; y < 7; y++) EXPECT_EQ(s.At(2, y), rows[y]) << "row " << y;
  Fill(s, bgsVertIn, clWhite, clBlack);
  EXPECT_EQ(s.At(2, 0), clBlack);
  EXPECT_EQ(s.At(2, 6), clBlack);
  Fill(h, bgsRight, clRed, clBlue, 4);
  EXPECT_EQ(h.At(9, 5), clRed);
  EXPECT_NE(h.At(10, 0), clRed);
  EXPECT_EQ(h.At(39, 0), h.At(30, 5));
  Fill(h, bgsLeft, clRed, clBlue, 4);
  EXPECT_EQ(h.At(0, 3), clBlue);
  Fill(h, bgsHorzOut, clRed, clBlue, 4);
  EXPECT_EQ(h.At(39, 0), clRed);
  EXPECT_EQ(h.At(10, 0), h.At(29, 0));
  EXPECT_NE(h.At(10, 0), clRed);
}

TEST(GradientBands, OffsetAndEmptyRectangles) {
  TSurface s(20, 20);
  KwDrawGradient(s.C(), TRect(5, 6, 15, 16), bgsDown, clBlack, clBlack, clRed, nullptr, false, 0);
  EXPECT_EQ(s.Ink(), TRect(5, 6, 15, 16));
  s.Fill(clWhite);
  KwDrawGradient(s.C(), TRect(5, 5, 5, 15), bgsSolid, clBlack, clBlack, clRed, nullptr, false, 0);
  KwDrawGradient(s.C(), TRect(10, 10, 4, 4), bgsDown, clBlack, clBlack, clRed, nullptr, false, 0);
  EXPECT_EQ(s.Count(), 0);
}

TEST(GradientGrid, CheckerOfTheSolidColourRecolouredEachCall) {
  TSurface s(16, 16);
  Fill(s, bgsGrid, clBlack, clBlack, 0, nullptr, false, clRed);
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) ASSERT_EQ(s.At(x, y), (x & 1) == (y & 1) ? clWhite : clRed) << x << "," << y;
  // The shared bitmap takes the new colour; a cached brush of the old one must not show.
  Fill(s, bgsGrid, clBlack, clBlack, 0, nullptr, false, clBlue);
  EXPECT_EQ(s.At(1, 0), clBlue);
  EXPECT_EQ(s.At(0, 0), clWhite);
}

TEST(GradientImage, PlacedPicturesAndTheSolidAroundThem) {
  TSurface s(20, 10);
  {
    TImageDouble big(40, 30);
    Fill(s, bgsCenter, clBlack, clBlack, 0, big.Ref());
    // Source offset (40 - 20) / 2, (30 - 10) / 2 = 10, 10: the picture's centre lands at (10, 5).
    EXPECT_EQ(s.At(10, 5), clBlue);
    EXPECT_EQ(s.Of(clRed), 199);
  }
  TImageDouble small(6, 4);
  s.Fill(clWhite);
  Fill(s, bgsCenter, clBlack, clBlack, 0, small.Ref());
  // Placed at ((20 - 6) / 2, (10 - 4) / 2) = (7, 3); the rest solid.
  EXPECT_EQ(s.At(7, 3), clLime);
  EXPECT_EQ(s.At(10, 5), clBlue);
  EXPECT_EQ(s.Ink(clYellow), TRect(7, 3, 13, 7));
  EXPECT_EQ(s.Of(clWhite), 0);
  Fill(s, bgsRightBottom, clBlack, clBlack, 0, small.Ref());
  EXPECT_EQ(s.Ink(clYellow), TRect(14, 6, 20, 10));
  Fill(s, bgsLeftTop, clBlack, clBlack, 0, small.Ref());
  EXPECT_EQ(s.Ink(clYellow), TRect(0, 0, 6, 4));
}

TEST(GradientImage, TileStretchTransparencyAndNoPicture) {
  TImageDouble img(6, 4);
  TSurface s(20, 10);
  Fill(s, bgsTileImage, clBlack, clBlack, 0, img.Ref());
  for (int y = 0; y < 10; y += 4)
    for (int x = 0; x < 20; x += 6) EXPECT_EQ(s.At(x, y), clLime) << x << "," << y;
  EXPECT_EQ(s.Of(clYellow), 0);
  Fill(s, bgsStretchImage, clBlack, clBlack, 0, img.Ref());
  EXPECT_EQ(s.At(1, 1), clLime);
  EXPECT_EQ(s.At(19, 9), clRed);
  // Transparent: the picture's transparent colour (its bottom-left pixel, red) shows solid.
  Fill(s, bgsLeftTop, clBlack, clBlack, 0, img.Ref(), true);
  EXPECT_EQ(s.At(1, 1), clYellow);
  EXPECT_EQ(s.At(0, 0), clLime);
  EXPECT_EQ(s.At(3, 2), clBlue);
  for (int style = bgsStretchImage; style <= bgsRightBottom; style++) {
    s.Fill(clWhite);
    Fill(s, TKwBackGroundStyle(style), clBlack, clBlack, 0, nullptr, false, clGreen);
    EXPECT_EQ(s.Count(clGreen), 0) << "style " << style << " without a picture";
  }
}

TEST(GradientState, EveryStyleRestoresTheCanvasAndFreesWhatItMade) {
  TImageDouble img(5, 5);
  TSurface s(30, 30);
  for (int style = 0; style < KwBackGroundStyleCount; style++)
    for (bool transparent : {false, true}) {
      // A first fill lets the canvas and the unit make what they keep for their lifetime.
      Fill(s, TKwBackGroundStyle(style), clRed, clBlue, 0, img.Ref(), transparent, clGreen);
      s.Fill(clWhite);
      SetOddValues(s.C());
      ::IntersectClipRect(s.C()->Handle(), 2, 2, 28, 27);
      s.C()->Refresh();
      TCanvasValues before = TCanvasValues::Of(s.C());
      {
        testsupport::TLeakCheck leaks("style " + std::to_string(style));
        Fill(s, TKwBackGroundStyle(style), clRed, clBlue, 0, img.Ref(), transparent, clGreen);
        s.C()->Refresh();  // the DC holds its last brush until the next drawing
      }
      TCanvasValues after = TCanvasValues::Of(s.C());
      EXPECT_TRUE(before == after) << "style " << style << ": " << before.Describe() << " / " << after.Describe();
      EXPECT_EQ(s.At(1, 1), clWhite) << "style " << style << " kept the clip";
      ::SelectClipRgn(s.C()->Handle(), nullptr);
    }
}

TEST(BackGroundValues, NoItemFillsTheSetColourAnItemItsStyle) {
  TSurface s(10, 10);
  KwPaintBackGroundValues(s.C(), TRect(0, 0, 10, 10), nullptr, clNavy, 0);
  EXPECT_EQ(s.Count(clNavy), 0);
  TKwBackGroundValues item{bgsDown, clWhite, clBlack, clMaroon, nullptr, false};
  KwPaintBackGroundValues(s.C(), TRect(0, 0, 10, 10), &item, clNavy, 2);
  EXPECT_EQ(s.At(5, 0), clWhite);
  EXPECT_EQ(s.At(5, 9), Rgb(128, 128, 128));
  item.Style = bgsSolid;
  KwPaintBackGroundValues(s.C(), TRect(0, 0, 10, 10), &item, clNavy, 0);
  EXPECT_EQ(s.Count(clMaroon), 0);
}

TEST(ColourArithmetic, SolidAndIntermediateColours) {
  EXPECT_EQ(KwSolidColor(clBtnFace), clBtnFace);
  EXPECT_EQ(Int32(KwSolidColor(TColor(0x123456))), 0x02123456);
  EXPECT_EQ(Int32(KwSolidColor(TColor(0x7F123456))), 0x02123456);
  // 127.5 rounds to the even 128 both ways; 3/4 of 255 is 191.25.
  EXPECT_EQ(Int32(KwIntermediateColor(clWhite, clBlack, 1, 2)), 0x02808080);
  EXPECT_EQ(Int32(KwIntermediateColor(clBlack, clWhite, 1, 2)), 0x02808080);
  EXPECT_EQ(Int32(KwIntermediateColor(clBlack, clRed, 3, 4)), 0x020000BF);
  EXPECT_EQ(Int32(KwIntermediateColor(clRed, clBlue, 0, 5)), 0x020000FF);
  // System colours are resolved before the arithmetic.
  TColor face = TColor(ColorToRGB(clBtnFace));
  EXPECT_EQ(Int32(KwIntermediateColor(clBtnFace, clBtnFace, 1, 3)), Int32(KwSolidColor(face)));
}

TEST(ColourPalette, CubeAndGreyRamp) {
  HPALETTE p = KwCreatePalette();
  ASSERT_NE(p, nullptr);
  PALETTEENTRY e[256];
  ASSERT_EQ(GetPaletteEntries(p, 0, 256, e), 256u);
  KwDeleteObject(gkPalette, p);
  // Entry 10 + k: red (k mod 6) * 51, green (k div 6 mod 6) * 51, blue (k div 36) * 51.
  const PALETTEENTRY k37 = e[10 + 37], k215 = e[10 + 215];
  EXPECT_EQ(k37.peRed, 51);
  EXPECT_EQ(k37.peGreen, 0);
  EXPECT_EQ(k37.peBlue, 51);
  EXPECT_EQ(k215.peRed + k215.peGreen + k215.peBlue, 3 * 255);
  EXPECT_EQ(e[10 + 6].peGreen, 51);
  EXPECT_EQ(e[226 + 19].peRed, 247);
  EXPECT_EQ(e[226 + 1].peGreen, 13);
  EXPECT_EQ(e[10].peFlags, PC_NOCOLLAPSE);
  EXPECT_EQ(e[245].peFlags, PC_NOCOLLAPSE);
  // Not an 8-bit screen here: the unit keeps no palette.
  ASSERT_FALSE(Kw8BitPalette());
  TSurface s(2, 2);
  EXPECT_EQ(KwInitPalette(s.C()->Handle()), nullptr);
  EXPECT_EQ(KwGetPalette(), nullptr);
}
