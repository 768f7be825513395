// The shape renderer by pixels: apex and reflection of the grid figures, regions equal to the
// drawn outline for every shape, hatched fills and their key colour, gradient fills through the
// mask, borders, marks, and the canvas and GDI state each routine leaves.
#include <gtest/gtest.h>

#include "host/Win.h"
#include "skin/Kwdrawutil.h"
#include "tests/skin/Surface.h"
#include "tests/support/Counters.h"

using namespace kw;
using namespace kw::testskin;

namespace {

void Solid(TSurface& s, const TRect& r, TKwShapes shape, TKwShapeOrientation o = sorDefault, bool mirror = false) {
  KwDrawSolidShape(s.C(), r, dssSolid, shape, mirror, o, brsSolid, clBlack, pesClear, clBlack, 1);
}

void Hatch(TSurface& s, TKwBrushStyle style, TColor brush, TColor pen) {
  KwDrawSolidShape(s.C(), TRect(2, 2, 22, 22), dssSolid, shaRectangle, false, sorDefault, style, brush, pesSolid, pen, 1);
}

// Ink and background both within two pixels: the pixel lies on an edge of the figure.
bool OnEdge(TSurface& img, int x, int y) {
  bool ink = false, paper = false;
  for (int v = y - 2; v <= y + 2; v++)
    for (int u = x - 2; u <= x + 2; u++) {
      bool black = u >= 0 && v >= 0 && u < img.W() && v < img.H() && img.At(u, v) == clBlack;
      (black ? ink : paper) = true;
    }
  return ink && paper;
}

}  // namespace

TEST(ShapeGrid, TrianglePointsWhereItsOrientationSays) {
  const std::pair<TKwShapeOrientation, TPoint> cases[] = {
      {sorDefault, {14, 7}}, {sorRight, {14, 7}}, {sorUp, {7, 0}}, {sorDown, {7, 14}}, {sorLeft, {0, 7}}};
  for (auto& [o, apex] : cases) {
    TSurface s(15, 15);
    Solid(s, TRect(0, 0, 15, 15), shaTriangle, o);
    EXPECT_EQ(s.At(apex.X, apex.Y), clBlack) << "orientation " << o << "\n" << s.Picture();
    EXPECT_EQ(s.Ink(), TRect(0, 0, 15, 15)) << o;
    // The apex is the only ink on its edge.
    int edge = 0;
    for (int i = 0; i < 15; i++)
      edge += apex.Y == 7 ? s.At(apex.X, i) == clBlack : s.At(i, apex.Y) == clBlack;
    EXPECT_EQ(edge, 1) << o;
  }
  // Turned sideways the upright box is laid on its side, so a wide target fills edge to edge.
  TSurface wide(60, 15);
  Solid(wide, TRect(0, 0, 60, 15), shaTriangle, sorRight);
  EXPECT_EQ(wide.Ink(), TRect(0, 0, 60, 15));
  EXPECT_EQ(wide.At(59, 7), clBlack);
  EXPECT_EQ(wide.At(59, 2), clWhite);
  EXPECT_EQ(wide.At(0, 14), clBlack);
}

TEST(ShapeGrid, ReflectionMirrorsOnlyAsymmetricFigures) {
  TSurface plain(15, 15), mirrored(15, 15);
  Solid(plain, TRect(0, 0, 15, 15), shaTriangle, sorUp);
  Solid(mirrored, TRect(0, 0, 15, 15), shaTriangle, sorUp, true);
  EXPECT_EQ(plain.Picture(), mirrored.Picture());
  plain.Fill(clWhite);
  mirrored.Fill(clWhite);
  Solid(plain, TRect(0, 0, 15, 15), shaArrowRect, sorUp);
  Solid(mirrored, TRect(0, 0, 15, 15), shaArrowRect, sorUp, true);
  EXPECT_NE(plain.Picture(), mirrored.Picture());
  for (int y = 0; y < 15; y++)
    for (int x = 0; x < 15; x++) ASSERT_EQ(plain.At(x, y), mirrored.At(14 - x, y)) << x << "," << y;
}

TEST(ShapeRegion, EqualsTheDrawnPixelsForEveryShape) {
  testsupport::TLeakCheck leaks("regions");
  for (int shape = 0; shape < KwShapeCount; shape++)
    for (const TRect& r : {TRect(1, 2, 30, 20), TRect(3, 1, 18, 28)})
      for (int o = sorDefault; o <= sorDown; o++)
        for (bool mirror : {false, true}) {
          TKwShapes sh = TKwShapes(shape);
          TKwShapeOrientation orientation = TKwShapeOrientation(o);
          HRGN rgn = nullptr;
          KwDrawShapeEx(nullptr, r, sh, mirror, orientation, &rgn);
          TSurface region(32, 32), drawn(32, 32);
          region.PaintRegion(rgn);
          KwDeleteObject(gkRegion, rgn);
          // Polygons fill what their region holds when drawn without a pen, the rectangle
          // with its one-pixel pen.
          drawn.C()->Brush()->SetColor(clBlack);
          drawn.C()->Pen()->SetColor(clBlack);
          bool curve = sh == shaEllipse || sh == shaRoundRect;
          if (!curve && sh != shaRectangle) drawn.C()->Pen()->SetStyle(psClear);
          KwDrawShapeEx(drawn.C(), r, sh, mirror, orientation, nullptr);
          ASSERT_GT(region.Of(clBlack), 0) << shape;
          if (!curve) {
            ASSERT_EQ(region.Picture(), drawn.Picture()) << "shape " << shape << " turn " << o << " mirror " << mirror;
            continue;
          }
          // A curve's region ends a pixel short of its drawing at the right and bottom, and
          // the two part by a pixel or two along steep arcs: only ever on the edge.
          int differing = 0;
          for (int y = 0; y < 32; y++)
            for (int x = 0; x < 32; x++)
              if (drawn.At(x, y) != region.At(x, y)) {
                differing++;
                ASSERT_TRUE(OnEdge(drawn, x, y) && OnEdge(region, x, y)) << shape << " at " << x << "," << y;
              }
          EXPECT_LT(differing, 2 * (r.Width() + r.Height())) << shape;
        }
  // Degenerate targets draw nothing and give the empty region.
  TSurface s(10, 10);
  for (TRect r : {TRect(2, 2, 2, 8), TRect(5, 5, 3, 3)}) {
    HRGN rgn = nullptr;
    KwDrawShapeEx(s.C(), r, shaStar, false, sorDefault, nullptr);
    KwDrawShapeEx(s.C(), r, shaStar, false, sorDefault, &rgn);
    RECT box;
    EXPECT_EQ(GetRgnBox(rgn, &box), NULLREGION);
    KwDeleteObject(gkRegion, rgn);
  }
  EXPECT_EQ(s.Count(), 0);
}

TEST(ShapeRegion, RoundRectCornerIsHalfTheShorterSide) {
  HRGN rgn = nullptr;
  KwDrawShapeEx(nullptr, TRect(0, 0, 40, 10), shaRoundRect, false, sorDefault, &rgn);
  HRGN five = CreateRoundRectRgn(0, 0, 40, 10, 5, 5), four = CreateRoundRectRgn(0, 0, 40, 10, 4, 4);
  EXPECT_TRUE(EqualRgn(rgn, five));
  EXPECT_FALSE(EqualRgn(rgn, four));
  DeleteObject(five);
  DeleteObject(four);
  KwDeleteObject(gkRegion, rgn);
}

TEST(SolidShape, MaskLinesAndWidePens) {
  TSurface s(20, 20, clBlue);
  KwDrawSolidShape(s.C(), TRect(0, 0, 20, 20), dssMask, shaRhombus, false, sorDefault, brsClear, clRed, pesClear,
                   clRed, 1);
  EXPECT_EQ(s.At(10, 10), clBlack);
  EXPECT_EQ(s.At(0, 0), clWhite);
  EXPECT_EQ(s.Of(clBlack) + s.Of(clWhite), 400);
  s.Fill(clWhite);
  KwDrawSolidShape(s.C(), TRect(0, 0, 20, 20), dssLines, shaRectangle, false, sorDefault, brsSolid, clRed, pesSolid,
                   clGreen, 1);
  EXPECT_EQ(s.At(0, 0), clGreen);
  EXPECT_EQ(s.At(19, 19), clGreen);
  EXPECT_EQ(s.At(10, 10), clWhite);
  // Width 4: two pixels in on every side, one back at the right and bottom, the pen centred
  // on that outline: the ink covers the target exactly.
  s.Fill(clWhite);
  KwDrawSolidShape(s.C(), TRect(2, 2, 18, 18), dssSolid, shaRectangle, false, sorDefault, brsSolid, clYellow,
                   pesSolid, clNavy, 4);
  EXPECT_EQ(s.Ink(), TRect(2, 2, 18, 18));
  EXPECT_EQ(s.At(2, 10), clNavy);
  EXPECT_EQ(s.At(17, 10), clNavy);
  EXPECT_EQ(s.At(6, 10), clYellow);
}

TEST(SolidShape, HatchesKeepTheBackgroundBetweenTheirLines) {
  TSurface s(24, 24, clBlue);
  Hatch(s, brsHorizontal, clBlack, clRed);
  EXPECT_EQ(s.At(2, 10), clRed);
  EXPECT_GT(s.Of(clBlack), 0);
  EXPECT_GT(s.Of(clBlue), 24 * 4 + 20);
  // A white hatch keys on black; with a white pen the key must not be white either, or the
  // outline would vanish with it.
  s.Fill(clBlue);
  Hatch(s, brsCross, clWhite, clWhite);
  EXPECT_EQ(s.At(2, 10), clWhite);
  EXPECT_EQ(s.At(21, 15), clWhite);
  EXPECT_EQ(s.Of(clRed), 0);
  EXPECT_GT(s.Of(clBlue), 24 * 4 + 20);
  // With a black pen the key moves to red, so the outline stays.
  s.Fill(clBlue);
  Hatch(s, brsCross, clWhite, clBlack);
  EXPECT_EQ(s.At(2, 10), clBlack);
  // The grid brush checks the brush colour against white.
  s.Fill(clBlue);
  Hatch(s, brsGrid, clRed, clRed);
  EXPECT_GT(s.Of(clRed), 20 * 4);
  EXPECT_EQ(s.Of(clRed) + s.Of(clBlue) + s.Of(clWhite), 24 * 24);
}

TEST(GradientShape, FillsInsideTheShapeAndLeavesTheRest) {
  TSurface ref(30, 20), s(30, 20, clBlue), d(30, 20, clBlue), n(30, 20, clBlue);
  KwDrawGradient(ref.C(), TRect(0, 0, 30, 20), bgsDown, clWhite, clRed, clBlack, nullptr, false, 0);
  auto shape = [](TSurface& t, TKwBackGroundStyle style, TKwShapes sh, bool down) {
    KwDrawGradientShape(t.C(), TRect(0, 0, 30, 20), style, clWhite, clRed, clBlack, sh, false, sorDefault, nullptr,
                        false, 1, pesSolid, down, 0);
  };
  shape(s, bgsDown, shaEllipse, false);
  EXPECT_EQ(s.At(0, 0), clBlue);
  EXPECT_EQ(s.At(29, 19), clBlue);
  for (int y = 3; y < 17; y++) EXPECT_EQ(s.At(15, y), ref.At(15, y)) << y;
  // Down: the gradient one pixel lower inside the same outline.
  shape(d, bgsDown, shaEllipse, true);
  for (int y = 4; y < 17; y++) EXPECT_EQ(d.At(15, y), ref.At(15, y - 1)) << y;
  EXPECT_EQ(d.At(0, 0), clBlue);
  // A solid style paints nothing; a rectangle with a thin pen is the plain gradient.
  shape(n, bgsSolid, shaEllipse, false);
  EXPECT_EQ(n.Of(clBlue), 600);
  shape(n, bgsDown, shaRectangle, false);
  EXPECT_EQ(n.Picture(), ref.Picture());
  EXPECT_EQ(n.At(3, 19), ref.At(3, 19));
}

TEST(Borders, DrawBoxDownExchangesTheColours) {
  TSurface s(10, 10);
  for (bool down : {false, true}) {
    KwDrawBox(s.C(), TRect(0, 0, 10, 10), clRed, clBlue, down);
    TColor first = down ? clBlue : clRed, second = down ? clRed : clBlue;
    EXPECT_EQ(s.At(0, 0), first);
    EXPECT_EQ(s.At(5, 0), first);
    EXPECT_EQ(s.At(0, 5), first);
    EXPECT_EQ(s.At(9, 9), second);
    EXPECT_EQ(s.At(5, 9), second);
    EXPECT_EQ(s.At(9, 0), second);
    EXPECT_EQ(s.At(5, 5), clWhite);
  }
}

TEST(Borders, FaceBorderIsCappedByThePenAndSunkenWhenDown) {
  TKwShapeFace f;
  f.Border = bos3D;
  f.BorderWidth = 3;
  f.BrushStyle = brsSolid;
  f.BrushColor = clYellow;
  f.Light = clWhite;
  f.Shadow = clNavy;
  TSurface s(20, 20, clBlue);
  KwPaintShapeValues(s.C(), TRect(0, 0, 20, 20), f);
  EXPECT_EQ(s.At(0, 5), clWhite);
  EXPECT_EQ(s.At(19, 5), clNavy);
  EXPECT_EQ(s.At(1, 5), clYellow);  // one pixel wide: the pen is
  f.PenWidth = 3;
  KwPaintShapeValues(s.C(), TRect(0, 0, 20, 20), f);
  EXPECT_NE(s.At(1, 5), clYellow);
  EXPECT_EQ(s.At(10, 10), clYellow);
  f.BorderWidth = f.PenWidth = 1;
  for (TKwShapes shape : {shaRectangle, shaEllipse}) {
    f.Shape = shape;
    for (bool down : {false, true}) {
      f.Down = down;
      TSurface t(21, 21, clBlue);
      KwPaintShapeValues(t.C(), TRect(0, 0, 21, 21), f);
      EXPECT_EQ(t.At(0, 10), down ? clNavy : clWhite) << shape << down;
      EXPECT_EQ(t.At(20, 10), down ? clWhite : clNavy) << shape << down;
      EXPECT_EQ(t.At(10, 10), clYellow) << shape;
    }
  }
}

TEST(Borders, ShapeExSingleBorderInThePenColourAndGradientFaces) {
  TKwShapeFace f;
  f.Border = bosSingle;
  f.Shape = shaEllipse;
  f.BrushStyle = brsSolid;
  f.BrushColor = clYellow;
  f.PenColor = clMaroon;
  f.PenWidth = 2;
  TSurface s(21, 21, clBlue);
  KwPaintShapeExValues(s.C(), TRect(0, 0, 21, 21), f);
  EXPECT_EQ(s.At(10, 0), clMaroon);
  EXPECT_EQ(s.At(10, 10), clYellow);
  EXPECT_EQ(s.At(0, 0), clBlue);
  TKwBackGroundValues g{bgsDown, clRed, clRed, clBlack, nullptr, false};
  f.Border = bos3D;
  f.Gradient = &g;
  f.Light = clWhite;
  f.Shadow = clNavy;
  KwPaintShapeExValues(s.C(), TRect(0, 0, 21, 21), f);
  EXPECT_EQ(s.At(10, 10), clRed);
  EXPECT_EQ(s.At(0, 10), clWhite);
}

TEST(Marks, RectExtAndRotation) {
  EXPECT_EQ(KwRectExt(100, 20, 90), TPoint(20, 100));
  EXPECT_EQ(KwRectExt(100, 20, 180), TPoint(100, 20));
  EXPECT_EQ(KwRectExt(100, 20, -90), TPoint(20, 100));
  EXPECT_EQ(KwRectExt(100, 20, 45), TPoint(85, 85));  // (20 + 100) * sin 45 = 84.85
  TPoint p[2] = {{10, 0}, {0, 0}};
  KwRotatePoints(100, 200, 0, 0, p, 1, 90);
  EXPECT_EQ(p[0], TPoint(100, 190));  // counter-clockwise on the screen: right becomes up
  EXPECT_EQ(p[1], TPoint(100, 200));
}

TEST(Marks, LimitsSitAtTheSpanEndsAndCornersAtTheBox) {
  TSurface s(100, 20);
  KwPaintLimits(s.C(), TRect(0, 0, 100, 20), 100, 20, 0, 4, aliCenter, 0);
  EXPECT_EQ(s.Count(), 0);
  KwPaintLimits(s.C(), TRect(0, 0, 100, 20), 100, 20, 40, 4, aliCenter, 0);
  EXPECT_EQ(s.Ink(), TRect(30, 0, 71, 5));
  EXPECT_EQ(s.At(30, 0), clBlack);
  EXPECT_EQ(s.At(70, 0), clBlack);
  for (int x = 36; x < 65; x++) ASSERT_EQ(s.At(x, 0), clWhite) << x;
  // A span longer than the box leaves only the start mark.
  s.Fill(clWhite);
  KwPaintLimits(s.C(), TRect(0, 0, 100, 20), 100, 20, 140, 4, aliLeft, 0);
  EXPECT_EQ(s.Ink(), TRect(0, 0, 5, 5));
  // Corners of a 20 x 10 box centred in 40 x 30: at (10, 10).
  TSurface c(40, 30);
  KwPaintCorners(c.C(), TRect(0, 0, 40, 30), 20, 10, 3, 0);
  EXPECT_EQ(c.At(10, 10), clBlack);
  EXPECT_EQ(c.At(12, 10), clBlack);
  EXPECT_EQ(c.At(29, 11), clBlack);
  EXPECT_EQ(c.At(20, 10), clWhite);
  EXPECT_EQ(c.Ink(), TRect(10, 10, 30, 20));
}

TEST(Marks, DirectionNoneDrawsNothingOthersADoubleChevron) {
  TSurface s(40, 40);
  s.C()->Pen()->SetColor(clGreen);
  KwDrawDirection(TRect(0, 0, 40, 40), s.C(), mvdNone, clRed);
  EXPECT_EQ(s.Count(), 0);
  EXPECT_EQ(s.C()->Pen()->Color(), clGreen);
  KwDrawDirection(TRect(0, 0, 40, 40), s.C(), mvdUp, clRed);
  // L, T, R, B = 2, 2, 37, 37; cx = 19: apexes at (19, 2) and (19, 5).
  EXPECT_EQ(s.At(19, 2), clRed);
  EXPECT_EQ(s.At(19, 5), clRed);
  EXPECT_EQ(s.At(19, 4), clWhite);
  EXPECT_EQ(s.At(14, 7), clRed);
  EXPECT_EQ(s.C()->Pen()->Color(), clGreen);
  s.Fill(clWhite);
  KwDrawDirection(TRect(0, 0, 40, 40), s.C(), mvdDownRight, clRed);
  EXPECT_EQ(s.At(37, 37), clRed);
  EXPECT_EQ(s.At(35, 35), clRed);
  EXPECT_EQ(s.Ink(), TRect(30, 30, 38, 38));  // strokes end a pixel short: 37 - 6 + 1, moved by -2
}

TEST(Marks, GridLinesInvertAndStayInside) {
  TSurface s(20, 20, clBlack);
  KwDrawGridLines(s.C(), TRect(5, 5, 15, 15), clRed, clRed, 4, true, false, true, false);
  TRect ink = s.Ink(clBlack);
  EXPECT_TRUE(ink.Left >= 5 && ink.Top >= 5 && ink.Right == 15 && ink.Bottom == 15) << ink.Left << "," << ink.Top;
  EXPECT_GT(s.Of(clWhite), 10);
  EXPECT_EQ(s.Of(clRed), 0);
  s.Fill(clWhite);
  KwDrawGridLines(s.C(), TRect(5, 5, 15, 15), clRed, clBlue, 0, false, true, false, false);
  EXPECT_EQ(s.At(5, 5), clBlue);
  EXPECT_EQ(s.At(14, 14), clBlue);
  EXPECT_EQ(s.At(10, 10), clWhite);
  KwDrawGridLines(s.C(), TRect(5, 5, 15, 15), clRed, clBlue, 0, true, false, false, false);  // a zero step ends
  EXPECT_EQ(s.At(10, 10), clRed);
}

TEST(ShapeState, EveryRoutineRestoresTheCanvasAndFreesWhatItMade) {
  TSurface s(40, 40, clSilver);
  TKwBackGroundValues g{bgsHorzIn, clWhite, clBlack, clGray, nullptr, false};
  TKwShapeFace f;
  f.Border = bos3D;
  f.Shape = shaStar;
  f.BrushStyle = brsSolid;
  f.Gradient = &g;
  const TRect r(2, 3, 37, 35);
  std::pair<const char*, std::function<void(TCanvas*)>> calls[] = {
      {"solid", [&](TCanvas* c) { KwDrawSolidShape(c, r, dssSolid, shaStar, true, sorLeft, brsSolid, clRed, pesDash, clBlue, 2); }},
      {"hatch", [&](TCanvas* c) { KwDrawSolidShape(c, r, dssSolid, shaHexagon, false, sorDefault, brsDiagCross, clRed, pesSolid, clBlue, 3); }},
      {"grid", [&](TCanvas* c) { KwDrawSolidShape(c, r, dssSolid, shaDonut, false, sorDefault, brsGrid, clRed, pesClear, clBlue, 1); }},
      {"mask", [&](TCanvas* c) { KwDrawSolidShape(c, r, dssMask, shaOk, false, sorDefault, brsClear, clRed, pesClear, clBlue, 1); }},
      {"gradient", [&](TCanvas* c) { KwDrawGradientShape(c, r, bgsVertOut, clRed, clBlue, clGreen, shaCone, false, sorDown, nullptr, false, 2, pesSolid, true, 0); }},
      {"box", [&](TCanvas* c) { KwDrawBox(c, r, clRed, clBlue, true); }},
      {"face", [&](TCanvas* c) { KwPaintShapeValues(c, r, f); }},
      {"faceEx", [&](TCanvas* c) { KwPaintShapeExValues(c, r, f); }},
      {"corners", [&](TCanvas* c) { KwPaintCorners(c, r, 20, 10, 4, 30); }},
      {"limits", [&](TCanvas* c) { KwPaintLimits(c, r, 30, 10, 12, 4, aliRight, 0); }},
      {"direction", [&](TCanvas* c) { KwDrawDirection(r, c, mvdMove, clRed); }},
      {"gridlines", [&](TCanvas* c) { KwDrawGridLines(c, r, clRed, clBlue, 3, true, true, true, true); }},
  };
  for (auto& [name, call] : calls) {
    call(s.C());  // lets the canvas make the tools it keeps for its lifetime
    SetOddValues(s.C());
    ::IntersectClipRect(s.C()->Handle(), 1, 1, 39, 38);
    s.C()->Refresh();
    TCanvasValues before = TCanvasValues::Of(s.C());
    {
      testsupport::TLeakCheck leaks(name);
      call(s.C());
      s.C()->Refresh();  // the DC holds its last tools until the next drawing
    }
    TCanvasValues after = TCanvasValues::Of(s.C());
    EXPECT_TRUE(before == after) << name << ": " << before.Describe() << " / " << after.Describe();
    ::SelectClipRgn(s.C()->Handle(), nullptr);
  }
}
