// The shape renderer by pixels: apex and reflection of the grid figures, regions equal to the
// drawn outline for every shape, hatched fills and their key colour, gradient fills through the
// mask, borders, and the canvas and GDI state each routine leaves.
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

// Rows of the column x that are ink.
std::vector<int> InkRows(TSurface& s, int x) {
  std::vector<int> rows;
  for (int y = 0; y < s.H(); y++)
    if (s.At(x, y) != clWhite) rows.push_back(y);
  return rows;
}

bool IsGridPolygonShape(TKwShapes s) { return s != shaEllipse && s != shaRectangle && s != shaRoundRect; }

}  // namespace

TEST(ShapeGrid, TrianglePointsWhereItsOrientationSays) {
  struct {
    TKwShapeOrientation o;
    TPoint apex;
  } cases[] = {{sorDefault, {14, 7}}, {sorRight, {14, 7}}, {sorUp, {7, 0}}, {sorDown, {7, 14}}, {sorLeft, {0, 7}}};
  for (auto& c : cases) {
    TSurface s(15, 15);
    Solid(s, TRect(0, 0, 15, 15), shaTriangle, c.o);
    EXPECT_EQ(s.At(c.apex.X, c.apex.Y), clBlack) << "orientation " << c.o << "\n" << s.Picture();
    // The apex is the only ink on its edge of the box.
    if (c.apex.X == 14 || c.apex.X == 0) EXPECT_EQ(InkRows(s, c.apex.X), std::vector<int>{7}) << c.o;
    EXPECT_EQ(s.Ink(), TRect(0, 0, 15, 15)) << c.o;
  }
}

TEST(ShapeGrid, TurnedShapesFillAWideTarget) {
  // sorRight lays the upright box on its side, so a wide target is filled edge to edge.
  TSurface s(60, 15);
  Solid(s, TRect(0, 0, 60, 15), shaTriangle, sorRight);
  EXPECT_EQ(s.Ink(), TRect(0, 0, 60, 15));
  EXPECT_EQ(s.At(59, 7), clBlack);
  EXPECT_EQ(s.At(59, 2), clWhite);
  EXPECT_EQ(s.At(0, 0), clBlack);
  EXPECT_EQ(s.At(0, 14), clBlack);
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

TEST(ShapeGrid, DegenerateTargetsDrawNothingAndGiveEmptyRegions) {
  TSurface s(10, 10);
  for (TRect r : {TRect(2, 2, 2, 8), TRect(5, 5, 3, 3)}) {
    KwDrawShapeEx(s.C(), r, shaStar, false, sorDefault, nullptr);
    HRGN rgn = nullptr;
    KwDrawShapeEx(s.C(), r, shaStar, false, sorDefault, &rgn);
    ASSERT_NE(rgn, nullptr);
    RECT box;
    EXPECT_EQ(GetRgnBox(rgn, &box), NULLREGION);
    KwDeleteObject(gkRegion, rgn);
  }
  EXPECT_EQ(s.Count(), 0);
}

TEST(ShapeRegion, EqualsTheDrawnPixelsForEveryShape) {
  testsupport::TLeakCheck leaks("regions");
  const TRect targets[] = {TRect(1, 2, 30, 20), TRect(3, 1, 18, 28)};
  for (int shape = 0; shape < KwShapeCount; shape++)
    for (const TRect& r : targets)
      for (int o = sorDefault; o <= sorDown; o++)
        for (bool mirror : {false, true}) {
          TKwShapes sh = TKwShapes(shape);
          HRGN rgn = nullptr;
          KwDrawShapeEx(nullptr, r, sh, mirror, TKwShapeOrientation(o), &rgn);
          TSurface region(32, 32);
          region.PaintRegion(rgn);
          KwDeleteObject(gkRegion, rgn);
          TSurface drawn(32, 32);
          // Polygons fill what their region holds when drawn without a pen; the rectangle
          // with its one-pixel pen; ellipses only differ along the outline.
          drawn.C()->Brush()->SetColor(clBlack);
          drawn.C()->Pen()->SetColor(clBlack);
          if (IsGridPolygonShape(sh)) drawn.C()->Pen()->SetStyle(psClear);
          KwDrawShapeEx(drawn.C(), r, sh, mirror, TKwShapeOrientation(o), nullptr);
          ASSERT_GT(region.Of(clBlack), 0) << shape;
          if (sh == shaEllipse || sh == shaRoundRect) {
            // A curve's region ends a pixel short of its drawing at the right and bottom, and
            // the two rasterisations part by a pixel or two along the steep arcs: a pixel in
            // one and not the other has both ink and background within two pixels in both.
            auto edge = [](TSurface& img, int x, int y) {
              bool ink = false, paper = false;
              for (int dy = -2; dy <= 2; dy++)
                for (int dx = -2; dx <= 2; dx++) {
                  int u = x + dx, v = y + dy;
                  bool black = u >= 0 && v >= 0 && u < 32 && v < 32 && img.At(u, v) == clBlack;
                  (black ? ink : paper) = true;
                }
              return ink && paper;
            };
            int differing = 0;
            for (int y = 0; y < 32; y++)
              for (int x = 0; x < 32; x++)
                if (drawn.At(x, y) != region.At(x, y)) {
                  differing++;
                  ASSERT_TRUE(edge(drawn, x, y) && edge(region, x, y)) << shape << " at " << x << "," << y;
                }
            EXPECT_LT(differing, 2 * (r.Width() + r.Height())) << shape;
          } else {
            ASSERT_EQ(region.Picture(), drawn.Picture()) << "shape " << shape << " orientation " << o << " mirror "
                                                         << mirror;
          }
        }
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

TEST(SolidShape, MaskIsBlackShapeOnWhite) {
  TSurface s(20, 20, clBlue);
  KwDrawSolidShape(s.C(), TRect(0, 0, 20, 20), dssMask, shaRhombus, false, sorDefault, brsClear, clRed, pesClear,
                   clRed, 1);
  EXPECT_EQ(s.At(10, 10), clBlack);
  EXPECT_EQ(s.At(0, 0), clWhite);
  EXPECT_EQ(s.Of(clBlue), 0);
  EXPECT_EQ(s.Of(clBlack) + s.Of(clWhite), 400);
}

TEST(SolidShape, LinesDrawOnlyTheOutline) {
  TSurface s(20, 20);
  KwDrawSolidShape(s.C(), TRect(0, 0, 20, 20), dssLines, shaRectangle, false, sorDefault, brsSolid, clRed, pesSolid,
                   clGreen, 1);
  EXPECT_EQ(s.At(0, 0), clGreen);
  EXPECT_EQ(s.At(19, 19), clGreen);
  EXPECT_EQ(s.At(10, 10), clWhite);
}

TEST(SolidShape, WidePenShrinksTheRectangleByHalfItsWidth) {
  // Width 4: two pixels in on every side, then one back at the right and bottom; the pen is
  // centred on that outline, so the ink covers the whole target.
  TSurface s(20, 20);
  KwDrawSolidShape(s.C(), TRect(2, 2, 18, 18), dssSolid, shaRectangle, false, sorDefault, brsSolid, clYellow,
                   pesSolid, clNavy, 4);
  EXPECT_EQ(s.Ink(), TRect(2, 2, 18, 18));
  EXPECT_EQ(s.At(2, 10), clNavy);
  EXPECT_EQ(s.At(17, 10), clNavy);
  EXPECT_EQ(s.At(6, 10), clYellow);
}

TEST(SolidShape, HatchKeepsTheBackgroundBetweenItsLines) {
  TSurface s(24, 24, clBlue);
  KwDrawSolidShape(s.C(), TRect(2, 2, 22, 22), dssSolid, shaRectangle, false, sorDefault, brsHorizontal, clBlack,
                   pesSolid, clRed, 1);
  EXPECT_EQ(s.At(2, 10), clRed);       // the outline
  EXPECT_EQ(s.At(0, 0), clBlue);       // outside
  EXPECT_GT(s.Of(clBlack), 0);         // hatch lines
  EXPECT_GT(s.Of(clBlue), 24 * 4);     // and the background between them
  int blackRows = 0;
  for (int y = 3; y < 21; y++) blackRows += s.At(10, y) == clBlack;
  EXPECT_GT(blackRows, 0);
  EXPECT_LT(blackRows, 18);
}

TEST(SolidShape, WhiteHatchWithAWhitePenKeysOnRed) {
  // White is the brush, so the key would be black; with a white pen the key must not be white
  // either, or the outline would vanish.
  TSurface s(24, 24, clBlue);
  KwDrawSolidShape(s.C(), TRect(2, 2, 22, 22), dssSolid, shaRectangle, false, sorDefault, brsCross, clWhite,
                   pesSolid, clWhite, 1);
  EXPECT_EQ(s.At(2, 10), clWhite);
  EXPECT_EQ(s.At(21, 15), clWhite);
  EXPECT_EQ(s.Of(clRed), 0);
  EXPECT_GT(s.Of(clBlue), 24 * 4 + 10);
  // A white hatch with a black pen keys on black, which is the pen: the outline goes too...
  s.Fill(clBlue);
  KwDrawSolidShape(s.C(), TRect(2, 2, 22, 22), dssSolid, shaRectangle, false, sorDefault, brsCross, clWhite,
                   pesSolid, clBlack, 1);
  // ...unless the key moves to red.
  EXPECT_EQ(s.At(2, 10), clBlack);
}

TEST(SolidShape, GridBrushChecksTheBrushColour) {
  TSurface s(16, 16, clBlue);
  KwDrawSolidShape(s.C(), TRect(0, 0, 16, 16), dssSolid, shaRectangle, false, sorDefault, brsGrid, clRed, pesSolid,
                   clRed, 1);
  EXPECT_EQ(s.At(0, 0), clRed);  // the pen
  EXPECT_GT(s.Of(clRed), 16 * 4);
  EXPECT_EQ(s.Of(clRed) + s.Of(clBlue) + s.Of(clWhite), 256);
}

TEST(GradientShape, FillsInsideTheShapeAndLeavesTheRest) {
  TSurface ref(30, 20), s(30, 20, clBlue);
  KwDrawGradient(ref.C(), TRect(0, 0, 30, 20), bgsDown, clWhite, clRed, clBlack, nullptr, false, 0);
  KwDrawGradientShape(s.C(), TRect(0, 0, 30, 20), bgsDown, clWhite, clRed, clBlack, shaEllipse, false, sorDefault,
                      nullptr, false, 1, pesSolid, false, 0);
  EXPECT_EQ(s.At(0, 0), clBlue);
  EXPECT_EQ(s.At(29, 19), clBlue);
  for (int y = 3; y < 17; y++) EXPECT_EQ(s.At(15, y), ref.At(15, y)) << y;
  // Down: the gradient one pixel lower inside the same outline, its first row repeated.
  TSurface d(30, 20, clBlue);
  KwDrawGradientShape(d.C(), TRect(0, 0, 30, 20), bgsDown, clWhite, clRed, clBlack, shaEllipse, false, sorDefault,
                      nullptr, false, 1, pesSolid, true, 0);
  for (int y = 4; y < 17; y++) EXPECT_EQ(d.At(15, y), ref.At(15, y - 1)) << y;
  EXPECT_EQ(d.At(0, 0), clBlue);
  // A solid style paints nothing; a rectangle with a thin pen is the plain gradient.
  TSurface n(30, 20, clBlue);
  KwDrawGradientShape(n.C(), TRect(0, 0, 30, 20), bgsSolid, clWhite, clRed, clBlack, shaEllipse, false, sorDefault,
                      nullptr, false, 1, pesSolid, false, 0);
  EXPECT_EQ(n.Of(clBlue), 600);
  KwDrawGradientShape(n.C(), TRect(0, 0, 30, 20), bgsDown, clWhite, clRed, clBlack, shaRectangle, false, sorDefault,
                      nullptr, false, 1, pesSolid, false, 0);
  EXPECT_EQ(n.Picture(), ref.Picture());
  EXPECT_EQ(n.At(3, 19), ref.At(3, 19));
}

TEST(Borders, DrawBoxDownExchangesTheColours) {
  TSurface s(10, 10);
  KwDrawBox(s.C(), TRect(0, 0, 10, 10), clRed, clBlue, false);
  EXPECT_EQ(s.At(0, 0), clRed);
  EXPECT_EQ(s.At(5, 0), clRed);
  EXPECT_EQ(s.At(0, 5), clRed);
  EXPECT_EQ(s.At(9, 9), clBlue);
  EXPECT_EQ(s.At(5, 9), clBlue);
  EXPECT_EQ(s.At(9, 0), clBlue);
  EXPECT_EQ(s.At(5, 5), clWhite);
  KwDrawBox(s.C(), TRect(0, 0, 10, 10), clRed, clBlue, true);
  EXPECT_EQ(s.At(0, 0), clBlue);
  EXPECT_EQ(s.At(0, 5), clBlue);
  EXPECT_EQ(s.At(9, 9), clRed);
  EXPECT_EQ(s.At(5, 9), clRed);
}

TEST(Borders, FaceBorderIsCappedByThePenWidth) {
  TKwShapeFace f;
  f.Border = bos3D;
  f.BorderWidth = 3;
  f.PenWidth = 1;
  f.BrushStyle = brsSolid;
  f.BrushColor = clYellow;
  f.Light = clWhite;
  f.Shadow = clNavy;
  TSurface s(20, 20, clBlue);
  KwPaintShapeValues(s.C(), TRect(0, 0, 20, 20), f);
  EXPECT_EQ(s.At(0, 5), clWhite);
  EXPECT_EQ(s.At(19, 5), clNavy);
  EXPECT_EQ(s.At(1, 5), clYellow);
  EXPECT_EQ(s.At(18, 18), clYellow);
  // With a pen as wide as the border, the border is three pixels.
  f.PenWidth = 3;
  f.PenStyle = pesClear;
  KwPaintShapeValues(s.C(), TRect(0, 0, 20, 20), f);
  EXPECT_NE(s.At(1, 5), clYellow);
  EXPECT_EQ(s.At(10, 10), clYellow);
}

TEST(Borders, DownFaceLooksSunken) {
  TKwShapeFace f;
  f.Border = bos3D;
  f.BrushStyle = brsSolid;
  f.BrushColor = clYellow;
  f.Light = clWhite;
  f.Shadow = clNavy;
  for (TKwShapes shape : {shaRectangle, shaEllipse}) {
    f.Shape = shape;
    TSurface up(21, 21, clBlue), down(21, 21, clBlue);
    KwPaintShapeValues(up.C(), TRect(0, 0, 21, 21), f);
    f.Down = true;
    KwPaintShapeValues(down.C(), TRect(0, 0, 21, 21), f);
    f.Down = false;
    // Left edge at mid height: light when up, shadow when down.
    EXPECT_EQ(up.At(0, 10), clWhite) << shape;
    EXPECT_EQ(down.At(0, 10), clNavy) << shape;
    EXPECT_EQ(up.At(20, 10), clNavy) << shape;
    EXPECT_EQ(down.At(20, 10), clWhite) << shape;
    EXPECT_EQ(up.At(10, 10), clYellow) << shape;
  }
}

TEST(Borders, ShapeExSingleBorderInThePenColour) {
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
  TKwBackGroundValues g;
  g.Style = bgsDown;
  g.StartGraColor = clRed;
  g.EndGraColor = clRed;
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
  // 45 degrees: (20 + 100) * sin 45 = 84.85.
  EXPECT_EQ(KwRectExt(100, 20, 45), TPoint(85, 85));
  TPoint p[2] = {{10, 0}, {0, 0}};
  KwRotatePoints(100, 200, 0, 0, p, 1, 90);
  // A quarter turn counter-clockwise on the screen: right becomes up.
  EXPECT_EQ(p[0], TPoint(100, 190));
  EXPECT_EQ(p[1], TPoint(100, 200));
}

TEST(Marks, LimitsSitAtTheSpanEnds) {
  TSurface s(100, 20);
  KwPaintLimits(s.C(), TRect(0, 0, 100, 20), 100, 20, 0, 4, aliCenter, 0);
  EXPECT_EQ(s.Count(), 0);
  KwPaintLimits(s.C(), TRect(0, 0, 100, 20), 100, 20, 40, 4, aliCenter, 0);
  TRect left = TRect(), right = TRect();
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 100; x++)
      if (s.At(x, y) != clWhite) {
        TRect& box = x < 50 ? left : right;
        box = box.IsEmpty() ? TRect(x, y, x + 1, y + 1)
                            : TRect(std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1),
                                    std::max(box.Bottom, y + 1));
      }
  EXPECT_EQ(left.Left, 30);
  EXPECT_EQ(right.Right - 1, 70);
  EXPECT_EQ(left.Top, 0);
  EXPECT_LE(left.Width(), 5);
  EXPECT_EQ(s.At(30, 0), clBlack);
  EXPECT_EQ(s.At(70, 0), clBlack);
  // A span longer than the box leaves only the start mark.
  s.Fill(clWhite);
  KwPaintLimits(s.C(), TRect(0, 0, 100, 20), 100, 20, 140, 4, aliLeft, 0);
  EXPECT_EQ(s.Ink(), TRect(0, 0, 5, 5));
}

TEST(Marks, CornersMarkTheFourCornersOfTheBox) {
  TSurface s(40, 30);
  KwPaintCorners(s.C(), TRect(0, 0, 40, 30), 20, 10, 3, 0);
  // The box sits at ((40 - 20) / 2, (30 - 10) / 2) = (10, 10).
  EXPECT_EQ(s.At(10, 10), clBlack);
  EXPECT_EQ(s.At(12, 10), clBlack);
  EXPECT_EQ(s.At(29, 11), clBlack);
  EXPECT_EQ(s.At(20, 10), clWhite);
  EXPECT_EQ(s.Ink(), TRect(10, 10, 30, 20));
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
  // Strokes end one pixel short of their second point: 37 - 6 + 1, moved by -2.
  EXPECT_EQ(s.Ink(), TRect(30, 30, 38, 38));
}

TEST(Marks, GridLinesInvertAndStayInside) {
  TSurface s(20, 20, clBlack);
  KwDrawGridLines(s.C(), TRect(5, 5, 15, 15), clRed, clRed, 4, true, false, true, false);
  TRect ink = s.Ink(clBlack);
  EXPECT_TRUE(ink.Left >= 5 && ink.Top >= 5 && ink.Right == 15 && ink.Bottom == 15) << ink.Left << "," << ink.Top;
  EXPECT_GT(s.Of(clWhite), 10);  // inverted black
  EXPECT_EQ(s.Of(clRed), 0);
  s.Fill(clWhite);
  KwDrawGridLines(s.C(), TRect(5, 5, 15, 15), clRed, clBlue, 0, false, true, false, false);
  EXPECT_EQ(s.At(5, 5), clBlue);
  EXPECT_EQ(s.At(14, 14), clBlue);
  EXPECT_EQ(s.At(10, 10), clWhite);
  // A zero step still ends.
  KwDrawGridLines(s.C(), TRect(5, 5, 15, 15), clRed, clBlue, 0, true, false, false, false);
  EXPECT_EQ(s.At(10, 10), clRed);
}

TEST(ShapeState, EveryRoutineRestoresTheCanvasAndFreesWhatItMade) {
  TSurface s(40, 40, clSilver);
  TKwBackGroundValues g;
  g.Style = bgsHorzIn;
  TKwShapeFace f;
  f.Border = bos3D;
  f.Shape = shaStar;
  f.BrushStyle = brsSolid;
  f.Gradient = &g;
  const TRect r(2, 3, 37, 35);
  std::vector<std::pair<const char*, std::function<void(TCanvas*)>>> calls = {
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
      {"draw", [&](TCanvas* c) { KwDrawShapeEx(c, r, shaPlus, false, sorDefault, nullptr); }},
  };
  for (auto& [name, call] : calls) {
    call(s.C());
    SetOddValues(s.C());
    ::IntersectClipRect(s.C()->Handle(), 1, 1, 39, 38);
    s.C()->Refresh();
    TCanvasValues before = TCanvasValues::Of(s.C());
    {
      testsupport::TLeakCheck leaks(name);
      call(s.C());
      s.C()->Refresh();
    }
    TCanvasValues after = TCanvasValues::Of(s.C());
    EXPECT_TRUE(before == after) << name << ": " << before.Describe() << " / " << after.Describe();
    ::SelectClipRgn(s.C()->Handle(), nullptr);
  }
}
