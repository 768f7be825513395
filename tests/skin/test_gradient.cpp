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

// Images stand for themselves: the test's bitmaps, keyed by a token address.
std::map<const void*, TBitmap*> Images;
std::unique_ptr<TBitmap> ResolveDouble(const TKwMemoryImage* image) {
  auto it = Images.find(image);
  if (it == Images.end()) return nullptr;
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(it->second);
  return copy;
}

// A w x h picture: red, with a blue pixel at its centre and a green top-left pixel.
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
  KwDrawGradient(s.C(), TRect(0, 0, 6, 10), bgsDown, clWhite, clBlack, clRed, nullptr, false, 0);
  auto runs = RowRuns(s, 3);
  ASSERT_EQ(runs.size(), 10u);
  EXPECT_EQ(runs.front().second, clWhite);
  // The last band is 255 - 9 * 25.5 = 25.5, which rounds to the even 26: grey, not black.
  EXPECT_EQ(runs.back().second, Rgb(26, 26, 26));
  for (size_t i = 1; i < runs.size(); i++) EXPECT_LT(GetRValue(runs[i].second), GetRValue(runs[i - 1].second));
  for (int y = 0; y < 10; y++) EXPECT_EQ(s.At(0, y), s.At(5, y)) << "row " << y << " is one colour";
  // bgsUp runs the other way.
  KwDrawGradient(s.C(), TRect(0, 0, 6, 10), bgsUp, clWhite, clBlack, clRed, nullptr, false, 0);
  EXPECT_EQ(s.At(0, 0), clBlack);
  // 9 * 25.5 = 229.5 rounds to the even 230.
  EXPECT_EQ(s.At(0, 9), Rgb(230, 230, 230));
}

TEST(GradientBands, AtMostAHundredAndMaxStepsLowersIt) {
  TSurface s(4, 500);
  KwDrawGradient(s.C(), TRect(0, 0, 4, 500), bgsDown, clWhite, clBlack, clRed, nullptr, false, 0);
  auto runs = RowRuns(s, 1);
  EXPECT_EQ(runs.size(), 100u);
  for (size_t i = 0; i < runs.size(); i++) EXPECT_EQ(runs[i].first, int(i) * 5);
  KwDrawGradient(s.C(), TRect(0, 0, 4, 500), bgsDown, clWhite, clBlack, clRed, nullptr, false, 8);
  runs = RowRuns(s, 1);
  ASSERT_EQ(runs.size(), 8u);
  // Band i starts at MulDiv(i, 500, 8), which rounds 62.5 up to 63.
  const int starts[] = {0, 63, 125, 188, 250, 313, 375, 438};
  for (int i = 0; i < 8; i++) EXPECT_EQ(runs[size_t(i)].first, starts[i]) << "band " << i;
  // A limit larger than the length leaves one band per pixel.
  TSurface t(3, 12);
  KwDrawGradient(t.C(), TRect(0, 0, 3, 12), bgsDown, clWhite, clBlack, clRed, nullptr, false, 50);
  EXPECT_EQ(RowRuns(t, 0).size(), 12u);
}

TEST(GradientBands, VertOutMirrorsAboutTheMiddle) {
  TSurface s(5, 7);
  KwDrawGradient(s.C(), TRect(0, 0, 5, 7), bgsVertOut, clWhite, clBlack, clRed, nullptr, false, 0);
  // Seven steps: six bands at MulDiv(i, 7, 6) = 0, 1, 2, 4, 5, 6; table[i] = 255 - i * 255 / 7.
  TColor t0 = clWhite, t2 = Rgb(182, 182, 182), t4 = Rgb(109, 109, 109);
  const TColor rows[7] = {t0, t2, t4, t4, t4, t2, t0};
  for (int y = 0; y < 7; y++) EXPECT_EQ(s.At(2, y), rows[y]) << "row " << y;
  // VertIn runs from the end colour.
  KwDrawGradient(s.C(), TRect(0, 0, 5, 7), bgsVertIn, clWhite, clBlack, clRed, nullptr, false, 0);
  EXPECT_EQ(s.At(2, 0), clBlack);
  EXPECT_EQ(s.At(2, 6), clBlack);
  EXPECT_NE(s.At(2, 3), clBlack);
}

TEST(GradientBands, HorizontalStylesBandAcrossTheWidth) {
  TSurface s(40, 6);
  KwDrawGradient(s.C(), TRect(0, 0, 40, 6), bgsRight, clRed, clBlue, clWhite, nullptr, false, 4);
  EXPECT_EQ(s.At(0, 0), clRed);
  EXPECT_EQ(s.At(9, 5), clRed);
  EXPECT_NE(s.At(10, 0), clRed);
  EXPECT_EQ(s.At(39, 0), s.At(30, 5));
  KwDrawGradient(s.C(), TRect(0, 0, 40, 6), bgsLeft, clRed, clBlue, clWhite, nullptr, false, 4);
  EXPECT_EQ(s.At(0, 3), clBlue);
  KwDrawGradient(s.C(), TRect(0, 0, 40, 6), bgsHorzOut, clRed, clBlue, clWhite, nullptr, false, 4);
  EXPECT_EQ(s.At(0, 0), clRed);
  EXPECT_EQ(s.At(39, 0), clRed);
  EXPECT_EQ(s.At(10, 0), s.At(29, 0));
  EXPECT_NE(s.At(10, 0), clRed);
}

TEST(GradientBands, OffsetRectangleAndEmptyRectangles) {
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
  KwDrawGradient(s.C(), TRect(0, 0, 16, 16), bgsGrid, clBlack, clBlack, clRed, nullptr, false, 0);
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) ASSERT_EQ(s.At(x, y), (x & 1) == (y & 1) ? clWhite : clRed) << x << "," << y;
  // The shared bitmap takes the new colour; a cached brush of the old one must not show.
  KwDrawGradient(s.C(), TRect(0, 0, 16, 16), bgsGrid, clBlack, clBlack, clBlue, nullptr, false, 0);
  EXPECT_EQ(s.At(1, 0), clBlue);
  EXPECT_EQ(s.At(0, 0), clWhite);
}

TEST(GradientImage, CenterShowsTheMiddleOfALargerPictureAndFramesASmallerOne) {
  TSurface s(20, 10);
  {
    TImageDouble big(40, 30);
    KwDrawGradient(s.C(), TRect(0, 0, 20, 10), bgsCenter, clBlack, clBlack, clYellow, big.Ref(), false, 0);
    // Source offset (40 - 20) / 2 = 10, (30 - 10) / 2 = 10: the picture's centre (20, 15) lands at (10, 5).
    EXPECT_EQ(s.At(10, 5), clBlue);
    EXPECT_EQ(s.Count(clRed), 1);
  }
  {
    TImageDouble small(6, 4);
    s.Fill(clWhite);
    KwDrawGradient(s.C(), TRect(0, 0, 20, 10), bgsCenter, clBlack, clBlack, clYellow, small.Ref(), false, 0);
    // Placed at ((20 - 6) / 2, (10 - 4) / 2) = (7, 3), the rest solid.
    EXPECT_EQ(s.At(7, 3), clLime);
    EXPECT_EQ(s.At(10, 5), clBlue);
    EXPECT_EQ(s.Ink(clYellow), TRect(7, 3, 13, 7));
    EXPECT_EQ(s.Of(clWhite), 0);
    KwDrawGradient(s.C(), TRect(0, 0, 20, 10), bgsRightBottom, clBlack, clBlack, clYellow, small.Ref(), false, 0);
    EXPECT_EQ(s.Ink(clYellow), TRect(14, 6, 20, 10));
    KwDrawGradient(s.C(), TRect(0, 0, 20, 10), bgsLeftTop, clBlack, clBlack, clYellow, small.Ref(), false, 0);
    EXPECT_EQ(s.Ink(clYellow), TRect(0, 0, 6, 4));
    EXPECT_EQ(s.At(0, 0), clLime);
  }
}

TEST(GradientImage, TileStretchAndTransparency) {
  TImageDouble img(6, 4);
  TSurface s(20, 10);
  KwDrawGradient(s.C(), TRect(0, 0, 20, 10), bgsTileImage, clBlack, clBlack, clYellow, img.Ref(), false, 0);
  for (int y = 0; y < 10; y += 4)
    for (int x = 0; x < 20; x += 6) EXPECT_EQ(s.At(x, y), clLime) << x << "," << y;
  EXPECT_EQ(s.Count(clYellow), 200);
  KwDrawGradient(s.C(), TRect(0, 0, 20, 10), bgsStretchImage, clBlack, clBlack, clYellow, img.Ref(), false, 0);
  EXPECT_EQ(s.At(1, 1), clLime);
  EXPECT_EQ(s.At(19, 9), clRed);
  // Transparent: the picture's transparent colour (its bottom-left pixel, red) shows solid.
  KwDrawGradient(s.C(), TRect(0, 0, 20, 10), bgsLeftTop, clBlack, clBlack, clYellow, img.Ref(), true, 0);
  EXPECT_EQ(s.At(1, 1), clYellow);
  EXPECT_EQ(s.At(0, 0), clLime);
  EXPECT_EQ(s.At(3, 2), clBlue);
}

TEST(GradientImage, WithoutAPictureTheImageStylesFillSolid) {
  TSurface s(12, 8);
  for (int style = bgsStretchImage; style <= bgsRightBottom; style++) {
    s.Fill(clWhite);
    KwDrawGradient(s.C(), TRect(0, 0, 12, 8), TKwBackGroundStyle(style), clBlack, clBlack, clGreen, nullptr, false,
                   0);
    EXPECT_EQ(s.Count(clGreen), 0) << "style " << style;
  }
}

TEST(GradientState, EveryStyleRestoresTheCanvasAndFreesWhatItMade) {
  TImageDouble img(5, 5);
  TSurface s(30, 30);
  KwCreateBrushGrid(clRed);  // the unit's bitmap lives on
  for (int style = 0; style < KwBackGroundStyleCount; style++) {
    for (bool transparent : {false, true}) {
      SetOddValues(s.C());
      ::IntersectClipRect(s.C()->Handle(), 2, 2, 28, 27);
      TCanvasValues before = TCanvasValues::Of(s.C());
      // A first fill lets the canvas make the font and tools it keeps for as long as it lives.
      KwDrawGradient(s.C(), TRect(0, 0, 30, 30), TKwBackGroundStyle(style), clRed, clBlue, clGreen, img.Ref(),
                     transparent, 0);
      SetOddValues(s.C());
      s.C()->Refresh();
      {
        testsupport::TLeakCheck leaks("style " + std::to_string(style));
        KwDrawGradient(s.C(), TRect(0, 0, 30, 30), TKwBackGroundStyle(style), clRed, clBlue, clGreen, img.Ref(),
                       transparent, 0);
        // The DC holds the last brush it drew with until the next drawing; that is not a leak.
        s.C()->Refresh();
      }
      TCanvasValues after = TCanvasValues::Of(s.C());
      EXPECT_TRUE(before == after) << "style " << style << ": " << before.Describe() << " / " << after.Describe();
      EXPECT_EQ(s.At(1, 1), clWhite) << "style " << style << " kept the clip";
      ::SelectClipRgn(s.C()->Handle(), nullptr);
    }
  }
}

TEST(BackGroundValues, NoItemFillsTheSetColourAnItemItsStyle) {
  TSurface s(10, 10);
  KwPaintBackGroundValues(s.C(), TRect(0, 0, 10, 10), nullptr, clNavy, 0);
  EXPECT_EQ(s.Count(clNavy), 0);
  TKwBackGroundValues item;
  item.Style = bgsDown;
  item.StartGraColor = clWhite;
  item.EndGraColor = clBlack;
  KwPaintBackGroundValues(s.C(), TRect(0, 0, 10, 10), &item, clNavy, 2);
  EXPECT_EQ(s.At(5, 0), clWhite);
  EXPECT_EQ(s.At(5, 9), Rgb(128, 128, 128));
  item.Style = bgsSolid;
  item.SolidColor = clMaroon;
  KwPaintBackGroundValues(s.C(), TRect(0, 0, 10, 10), &item, clNavy, 0);
  EXPECT_EQ(s.Count(clMaroon), 0);
}

TEST(ColourArithmetic, SolidAndIntermediateColours) {
  EXPECT_EQ(KwSolidColor(clBtnFace), clBtnFace);
  EXPECT_EQ(Int32(KwSolidColor(TColor(0x123456))), 0x02123456);
  EXPECT_EQ(Int32(KwSolidColor(TColor(0x7F123456))), 0x02123456);
  EXPECT_EQ(Int32(KwIntermediateColor(clWhite, clBlack, 1, 2)), 0x02808080);
  // 0 + 1 * 255 / 2 = 127.5 for each channel rounds to the even 128 too; 3/4 of 255 = 191.25.
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
  // Entry 10 + k: red (k mod 6) * 51, green (k div 6 mod 6) * 51, blue (k div 36) * 51.
  EXPECT_EQ(e[10 + 0].peRed, 0);
  EXPECT_EQ(e[10 + 1].peRed, 51);
  EXPECT_EQ(e[10 + 6].peGreen, 51);
  EXPECT_EQ(e[10 + 215].peBlue, 255);
  EXPECT_EQ(e[10 + 215].peRed, 255);
  EXPECT_EQ(e[10 + 37].peBlue, 51);
  EXPECT_EQ(e[10 + 37].peGreen, 0);
  EXPECT_EQ(e[10 + 37].peRed, 51);
  EXPECT_EQ(e[226 + 19].peRed, 247);
  EXPECT_EQ(e[226 + 1].peGreen, 13);
  EXPECT_EQ(e[10].peFlags, PC_NOCOLLAPSE);
  EXPECT_EQ(e[245].peFlags, PC_NOCOLLAPSE);
  KwDeleteObject(gkPalette, p);
  // Not an 8-bit screen here: the unit keeps no palette.
  ASSERT_FALSE(Kw8BitPalette());
  TSurface s(2, 2);
  EXPECT_EQ(KwInitPalette(s.C()->Handle()), nullptr);
  EXPECT_EQ(KwGetPalette(), nullptr);
}
