// The 44 shapes on their 15 x 15 grid, turned and mirrored, drawn or made into regions; their
// solid, hatched and gradient fills, the box and face borders, and the marks for rotated text,
// movable areas and hatched frames. Backgrounds of rectangles are in Kwdrawutil.cpp.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

#include "host/Bitmap.h"
#include "host/Win.h"
#include "skin/Kwdrawsave.h"
#include "skin/Kwdrawutil.h"

namespace kw {

namespace {

// Each figure pointing up: its own orientation and its polygons as "col,row" pairs, polygons
// separated by '|'. The letters E, R, Q and P stand for the ellipse, the rectangle, the
// rounded rectangle and the bevelled rectangle, which are not plain grid polygons.
struct TShapeDef {
  TKwShapeOrientation Default;
  const char* Outline;
};
const TShapeDef ShapeDefs[KwShapeCount] = {
    {sorUp, "E"},
    {sorRight, "8,1 1,15 15,15"},
    {sorUp, "R"},
    {sorUp, "Q"},
    {sorRight, "8,1 1,15 8,8 15,15"},
    {sorRight, "P"},
    {sorRight, "8,1 15,8 11,8 11,15 5,15 5,8 1,8"},
    {sorUp, "8,1 1,15 13,15|8,1 15,9 13,15"},
    {sorRight, "7,1 7,7 1,7|9,1 9,7 15,7|1,9 7,9 7,15|9,9 15,9 9,15"},
    {sorRight, "8,1 1,4 15,4|1,6 15,6 15,10 1,10|1,12 15,12 8,15"},
    {sorRight, "8,1 1,8 8,15 15,8"},
    {sorRight, "8,1 1,7 15,7|1,9 15,9 8,15"},
    {sorRight, "5,1 1,5 1,11 5,15 11,15 15,11 15,5 11,1"},
    {sorRight, "15,1 10,1 15,6"},
    {sorRight, "1,1 15,1 15,15"},
    {sorRight, "15,1 7,1 1,7 1,15 5,15 5,9 9,5 15,5"},
    {sorRight, "5,1 1,5 1,15 6,15 6,6 10,6 10,15 15,15 15,5 11,1"},
    {sorRight, "6,1 6,6 1,6 1,10 6,10 6,15 10,15 10,10 15,10 15,6 10,6 10,1"},
    {sorRight, "8,1 1,8 1,15 15,15 15,8"},
    {sorRight, "8,1 1,15 5,15|8,1 11,15 15,15"},
    {sorRight, "1,1 15,1 15,15 11,11 7,15 1,9 5,5"},
    {sorRight, "1,13 15,13 15,15 1,15|1,11 8,1 15,11"},
    {sorRight, "1,13 15,13 15,15 1,15|1,9 15,9 15,11 1,11|1,7 8,1 15,7"},
    {sorRight, "5,1 1,5 1,9 5,9 5,15 11,15 11,9 15,9 15,5 11,1"},
    {sorRight, "15,1 7,1 1,5 1,15 7,15 7,4 15,4"},
    {sorUp, "1,6 15,6 15,10 1,10"},
    {sorUp, "1,1 1,15 5,15 5,10 11,10 11,15 15,15 15,1 11,1 11,6 5,6 5,1"},
    {sorRight, "15,1 10,1 15,6|1,15 1,10 6,15"},
    {sorRight, "15,1 10,1 15,6|1,15 1,10 6,15|1,1 6,1 1,6|15,10 15,15 10,15"},
    {sorUp, "1,1 5,1 8,6 11,1 15,1 10,9 10,15 6,15 6,9"},
    {sorRight, "1,1 15,1 15,5 1,5|1,11 15,11 15,15 1,15"},
    {sorRight, "5,1 11,1 15,8 11,15 5,15 1,8"},
    {sorUp, "8,1 1,8 5,15 11,15 15,8"},
    {sorRight, "1,1 4,6 1,8 4,10 1,15 6,12 8,15 10,12 15,15 12,10 15,8 12,6 15,1 10,4 8,1 6,4"},
    {sorUp, "15,3 12,1 4,1 1,3 4,5 12,5|1,5 4,7 4,15 1,13|12,7 15,5 15,13 12,15|6,7 10,7 10,15 6,15"},
    {sorUp, "8,1 1,13 5,15 11,15 15,13"},
    {sorRight, "15,1 4,1 1,4 1,6 6,6 6,15 11,15 11,6 15,6"},
    {sorUp, "1,1 15,1 15,5 10,5 10,15 6,15 6,5 1,5"},
    {sorUp, "1,1 15,1 15,5 5,5 5,11 15,11 15,15 1,15"},
    {sorUp, "15,1 7,9 4,5 1,8 8,15"},
    {sorRight, "3,1 8,6 12,2 15,7 11,9 14,12 9,15 7,12 3,15 1,13 5,9 1,3"},
    {sorUp, "7,1 4,2 2,4 1,6 1,10 2,12 4,14 7,15|9,1 12,2 14,4 15,6 15,10 14,12 12,14 9,15"},
    {sorUp, "7,1 4,2 2,4 1,7 7,7|1,9 2,12 4,14 7,15 7,9|9,15 12,14 14,12 15,9 9,9|15,7 14,4 12,2 9,1 9,7"},
    {sorUp, "7,1 4,2 2,4 1,7 1,9 2,12 4,14 7,15 9,15 12,14 14,12 15,9 15,7 14,4 12,2 9,1 9,3 11,4 12,5 13,7 "
            "13,9 12,11 11,12 9,13 7,13 5,12 4,11 3,9 3,7 4,5 5,4 7,3"},
};

using TGridPoly = std::vector<TPoint>;  // grid columns and rows, 1-based

const std::vector<TGridPoly>& Polygons(TKwShapes shape) {
  static const std::vector<std::vector<TGridPoly>> parsed = [] {
    std::vector<std::vector<TGridPoly>> all(KwShapeCount);
    for (int s = 0; s < KwShapeCount; s++) {
      const char* p = ShapeDefs[s].Outline;
      if (std::strchr("ERQP", *p)) continue;
      all[size_t(s)].emplace_back();
      while (*p) {
        if (*p == '|') {
          all[size_t(s)].emplace_back();
          p++;
        } else if (*p == ' ') {
          p++;
        } else {
          char* end;
          int col = int(std::strtol(p, &end, 10));
          int row = int(std::strtol(end + 1, &end, 10));
          all[size_t(s)].back().push_back(TPoint(col, row));
          p = end;
        }
      }
    }
    return all;
  }();
  return parsed[size_t(shape)];
}

// The grid laid over a target rectangle for one orientation and reflection.
class TShapeGrid {
public:
  TShapeGrid(const TRect& r, TKwShapeOrientation orientation, bool reflection)
      : FR(r), FOrientation(orientation), FReflection(reflection) {
    bool turned = orientation == sorLeft || orientation == sorRight;
    FWb = turned ? r.Height() : r.Width();
    FHb = turned ? r.Width() : r.Height();
  }
  bool Valid() const { return FWb >= 1 && FHb >= 1; }
  int X(int i) const { return FR.Left + (i - 1) * (FWb - 1) / 14; }
  int Y(int j) const { return FR.Top + (j - 1) * (FHb - 1) / 14; }
  // A point of the upright box, mirrored and turned into the target.
  TPoint Map(int x, int y) const {
    if (FReflection) x = X(15) - (x - X(1));
    int dx = x - X(1), dy = y - Y(1);
    switch (FOrientation) {
      case sorLeft: return TPoint(FR.Left + dy, FR.Bottom - 1 - dx);
      case sorRight: return TPoint(FR.Right - 1 - dy, FR.Top + dx);
      case sorDown: return TPoint(FR.Right - 1 - dx, FR.Bottom - 1 - dy);
      default: return TPoint(x, y);
    }
  }
  TPoint At(int col, int row) const { return Map(X(col), Y(row)); }
  // The bevelled rectangle: the upright box with the corner above its diagonal from the top
  // left cut away at 45 degrees, as far as the shorter side reaches.
  std::vector<TPoint> Strip() const {
    int m = std::min(X(15) - X(1), Y(15) - Y(1));
    return {Map(X(1), Y(1)), Map(X(1) + m, Y(1) + m), Map(X(1) + m, Y(15)), Map(X(1), Y(15))};
  }

private:
  TRect FR;
  TKwShapeOrientation FOrientation;
  bool FReflection;
  int FWb, FHb;
};

TBrushStyle HostBrush(TKwBrushStyle s) {
  switch (s) {
    case brsClear: return bsClear;
    case brsBDiagonal: return bsBDiagonal;
    case brsFDiagonal: return bsFDiagonal;
    case brsCross: return bsCross;
    case brsDiagCross: return bsDiagCross;
    case brsHorizontal: return bsHorizontal;
    case brsVertical: return bsVertical;
    default: return bsSolid;
  }
}

TPenStyle HostPen(TKwPenStyle s) {
  switch (s) {
    case pesClear: return psClear;
    case pesDash: return psDash;
    case pesDot: return psDot;
    case pesDashDot: return psDashDot;
    case pesDashDotDot: return psDashDotDot;
    default: return psSolid;
  }
}

Int32 Rgb(TColor c) { return ColorToRGB(c) & 0x00FFFFFF; }

void SetPen(TCanvas* c, TColor color, TPenStyle style, int width, TPenMode mode = pmCopy) {
  TPen* p = c->Pen();
  p->SetColor(color);
  p->SetStyle(style);
  p->SetWidth(width);
  p->SetMode(mode);
}

}  // namespace

TKwShapeOrientation KwDefaultOrientation(TKwShapes shape) {
  return int(shape) < KwShapeCount ? ShapeDefs[shape].Default : sorUp;
}

void KwDrawShapeEx(TCanvas* canvas, const TRect& r, TKwShapes shape, bool reflection,
                   TKwShapeOrientation orientation, HRGN__** region) {
  if (region) *region = KwCreateRectRgn(0, 0, 0, 0);
  if (int(shape) >= KwShapeCount || (!region && !canvas)) return;
  if (orientation == sorDefault) orientation = ShapeDefs[shape].Default;
  TShapeGrid grid(r, orientation, reflection);
  if (!grid.Valid()) return;
  auto add = [&](HRGN part) {
    if (!part) return;
    if (*region) ::CombineRgn(*region, *region, part, RGN_OR);
    KwDeleteObject(gkRegion, part);
  };
  auto polygon = [&](const std::vector<TPoint>& pts) {
    if (region) add(KwCreatePolygonRgn(pts.data(), int(pts.size())));
    else canvas->Polygon(pts);
  };
  switch (ShapeDefs[shape].Outline[0]) {
    case 'E':
      if (region) add(KwCreateEllipticRgn(r.Left, r.Top, r.Right, r.Bottom));
      else canvas->Ellipse(r);
      return;
    case 'R':
      if (region) add(KwCreateRectRgn(r));
      else canvas->Rectangle(r);
      return;
    case 'Q': {
      int c = std::min(r.Width() / 2, r.Height() / 2);
      if (region) add(KwCreateRoundRectRgn(r.Left, r.Top, r.Right, r.Bottom, c, c));
      else canvas->RoundRect(r, c, c);
      return;
    }
    case 'P':
      polygon(grid.Strip());
      return;
  }
  std::vector<TPoint> pts;
  for (const TGridPoly& poly : Polygons(shape)) {
    pts.clear();
    for (const TPoint& g : poly) pts.push_back(grid.At(g.X, g.Y));
    polygon(pts);
  }
}

void KwDrawSolidShape(TCanvas* canvas, const TRect& r, TKwDrawShapeStyle drawStyle, TKwShapes shape,
                      bool reflection, TKwShapeOrientation orientation, TKwBrushStyle brushStyle, TColor brushColor,
                      TKwPenStyle penStyle, TColor penColor, int penWidth) {
  brushColor = KwSolidColor(brushColor);
  penColor = KwSolidColor(penColor);
  if (!canvas || r.Left >= r.Right || r.Top >= r.Bottom) return;
  TKwCanvasSave save(canvas);
  TCanvas* target = canvas;
  TRect rr = r;
  std::unique_ptr<TBitmap> hatch;
  TColor key = clWhite;
  if (drawStyle == dssSolid && brushStyle != brsClear && brushStyle != brsSolid) {
    if (Rgb(brushColor) == Rgb(clWhite)) key = clBlack;
    if (Rgb(penColor) == Rgb(key)) key = clRed;
    hatch = std::make_unique<TBitmap>(r.Width(), r.Height());
    target = hatch->Canvas();
    rr = TRect(0, 0, r.Width(), r.Height());
    target->Brush()->SetColor(key);
    target->Brush()->SetStyle(bsSolid);
    target->FillRect(rr);
  }
  if (penWidth < 1) penWidth = 1;
  rr.Left += penWidth / 2;
  rr.Top += penWidth / 2;
  rr.Right -= penWidth / 2;
  rr.Bottom -= penWidth / 2;
  if (penWidth % 2 == 0) {
    rr.Right++;
    rr.Bottom++;
  }
  bool grid = false;
  switch (drawStyle) {
    case dssMask:
      target->Brush()->SetColor(clWhite);
      target->Brush()->SetStyle(bsSolid);
      SetPen(target, clWhite, psSolid, penWidth);
      target->FillRect(rr);
      target->Brush()->SetColor(clBlack);
      target->Pen()->SetColor(clBlack);
      break;
    case dssLines:
      target->Brush()->SetStyle(bsClear);
      SetPen(target, penColor, HostPen(penStyle), penWidth);
      break;
    case dssSolid:
      if (brushStyle == brsGrid) {
        target->Brush()->SetColor(brushColor);
        target->Brush()->SetStyle(bsSolid);
        target->Brush()->SetBitmap(KwCreateBrushGrid(brushColor));
        grid = true;
      } else {
        target->Brush()->SetColor(brushColor);
        target->Brush()->SetStyle(HostBrush(brushStyle));
      }
      if (penStyle == pesClear) SetPen(target, brushColor, psSolid, penWidth);
      else SetPen(target, penColor, HostPen(penStyle), penWidth);
      break;
  }
  KwDrawShapeEx(target, rr, shape, reflection, orientation, nullptr);
  if (hatch) {
    // A transparent picture is drawn with its key left out, the destination showing there.
    canvas->Brush()->SetStyle(bsClear);
    hatch->SetTransparentColor(TColor(Rgb(key)));
    hatch->SetTransparent(true);
    canvas->Draw(r.Left, r.Top, hatch.get());
  } else if (grid) {
    KwReleaseGridBrush(target);
  }
}

void KwDrawGradientShape(TCanvas* canvas, const TRect& r, TKwBackGroundStyle style, TColor start, TColor end,
                         TColor solid, TKwShapes shape, bool reflection, TKwShapeOrientation orientation,
                         const TKwMemoryImage* image, bool transparent, int penWidth, TKwPenStyle penStyle,
                         bool down, int maxSteps) {
  start = KwSolidColor(start);
  end = KwSolidColor(end);
  solid = KwSolidColor(solid);
  int W = r.Width(), H = r.Height();
  if (!canvas || W < 1 || H < 1 || style == bgsSolid) return;
  if (shape == shaRectangle && (penStyle == pesClear || penWidth < 2)) {
    KwDrawGradient(canvas, r, style, start, end, solid, image, transparent, maxSteps);
    return;
  }
  TKwCanvasSave save(canvas);
  TBitmap mask(W, H), gradient(W + 1, H + 1);
  KwAssignBitmapPalette(&mask);
  KwAssignBitmapPalette(&gradient);
  TRect all(0, 0, W, H);
  KwDrawSolidShape(mask.Canvas(), all, dssMask, shape, reflection, orientation, brsSolid, clNone, penStyle, clNone,
                   penWidth);
  TCanvas* g = gradient.Canvas();
  if (down) {
    // A pressed face shows its gradient one pixel further right and down.
    KwDrawGradient(g, TRect(1, 1, W + 1, H + 1), style, start, end, solid, image, transparent, maxSteps);
    g->SetCopyMode(cmSrcCopy);
    g->CopyRect(TRect(0, 0, W + 1, 1), g, TRect(0, 1, W + 1, 2));
    g->CopyRect(TRect(0, 0, 1, H + 1), g, TRect(1, 0, 2, H + 1));
  } else {
    KwDrawGradient(g, all, style, start, end, solid, image, transparent, maxSteps);
  }
  canvas->SetCopyMode(cmSrcAnd);
  canvas->Brush()->SetColor(clWhite);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->CopyRect(r, mask.Canvas(), all);
  mask.Canvas()->SetCopyMode(cmNotSrcCopy);
  mask.Canvas()->CopyRect(all, mask.Canvas(), all);
  g->SetCopyMode(cmSrcAnd);
  g->CopyRect(all, mask.Canvas(), all);
  canvas->SetCopyMode(cmSrcPaint);
  canvas->CopyRect(r, g, all);
}

void KwDrawBox(TCanvas* canvas, const TRect& r, TColor topLeft, TColor bottomRight, bool down) {
  if (!canvas) return;
  topLeft = KwSolidColor(topLeft);
  bottomRight = KwSolidColor(bottomRight);
  TKwCanvasSave save(canvas, true);
  TPen* p = canvas->Pen();
  p->SetWidth(1);
  p->SetStyle(psSolid);
  p->SetColor(down ? bottomRight : topLeft);
  canvas->MoveTo(r.Left, r.Bottom - 1);
  canvas->LineTo(r.Left, r.Top);
  canvas->LineTo(r.Right - 1, r.Top);
  p->SetColor(down ? topLeft : bottomRight);
  canvas->MoveTo(r.Left, r.Bottom - 1);
  canvas->LineTo(r.Right - 1, r.Bottom - 1);
  canvas->LineTo(r.Right - 1, r.Top - 1);
}

namespace {

void Shrink(TRect& r, int by) { InflateRect(r, -by, -by); }

// The outline drawn six times around a filled shape: three times towards the top left in
// light, three times towards the bottom right in shadow.
void SixFoldOutline(TCanvas* canvas, const TRect& r, const TKwShapeFace& f, int offset, TColor light,
                    TColor shadow, int penWidth) {
  const int d[6][2] = {{-1, 0}, {-1, -1}, {0, -1}, {1, 0}, {1, 1}, {0, 1}};
  for (int i = 0; i < 6; i++) {
    TRect o = r;
    OffsetRect(o, d[i][0] * offset, d[i][1] * offset);
    KwDrawSolidShape(canvas, o, dssLines, f.Shape, f.Reflection, f.Orientation, brsClear, clNone, pesSolid,
                     i < 3 ? light : shadow, penWidth);
  }
}

void GradientFill(TCanvas* canvas, const TRect& r, const TKwShapeFace& f, int penWidth, TKwPenStyle penStyle) {
  const TKwBackGroundValues& g = *f.Gradient;
  KwDrawGradientShape(canvas, r, g.Style, g.StartGraColor, g.EndGraColor, g.SolidColor, f.Shape, f.Reflection,
                      f.Orientation, g.Image, g.Transparent, penWidth, penStyle, f.Down, 0);
}

}  // namespace

void KwPaintShapeValues(TCanvas* canvas, const TRect& rect, const TKwShapeFace& f) {
  if (!canvas) return;
  TRect r = rect;
  int pw = std::max(f.PenWidth, 1);
  int bw = std::clamp(f.BorderWidth, 1, pw);
  TKwBrushStyle brush = f.BrushStyle;
  if (f.Border == bosSingle || f.Border == bos3D) {
    bool threeD = f.Border == bos3D;
    // A pressed face swaps the colours once, so its border looks sunken.
    TColor light = threeD && f.Down ? f.Shadow : f.Light;
    TColor shadow = threeD ? (f.Down ? f.Light : f.Shadow) : f.Light;
    if (f.Shape == shaRectangle && bw == 1) {
      KwDrawBox(canvas, r, light, shadow, false);
      Shrink(r, bw);
    } else if (brush == brsClear && f.PenStyle == pesClear) {
      if (!threeD) {
        KwDrawSolidShape(canvas, r, dssLines, f.Shape, f.Reflection, f.Orientation, brsClear, clNone, pesSolid,
                         light, pw);
      } else {
        r.Right--;
        r.Bottom--;
        KwDrawSolidShape(canvas, r, dssLines, f.Shape, f.Reflection, f.Orientation, brsClear, clNone, pesSolid,
                         light, pw);
        OffsetRect(r, 1, 1);
        KwDrawSolidShape(canvas, r, dssLines, f.Shape, f.Reflection, f.Orientation, brsClear, clNone, pesSolid,
                         shadow, pw);
      }
    } else {
      Shrink(r, bw);
      SixFoldOutline(canvas, r, f, bw, light, shadow, pw);
    }
  }
  if (brush == brsSolid && f.Gradient && f.Gradient->Style != bgsSolid) {
    GradientFill(canvas, r, f, pw, f.PenStyle);
    brush = brsClear;
  }
  if (brush != brsClear || f.PenStyle != pesClear)
    KwDrawSolidShape(canvas, r, dssSolid, f.Shape, f.Reflection, f.Orientation, brush, f.BrushColor, f.PenStyle,
                     f.PenColor, pw);
}

void KwPaintShapeExValues(TCanvas* canvas, const TRect& rect, const TKwShapeFace& f) {
  if (!canvas) return;
  TRect r = rect;
  int pw = std::max(f.PenWidth, 1);
  if (f.Border != bosSingle) pw = 1;
  if (f.Border == bos3D) {
    TColor light = f.Down ? f.Shadow : f.Light, shadow = f.Down ? f.Light : f.Shadow;
    Shrink(r, 1);
    if (f.Shape == shaRectangle) KwDrawBox(canvas, rect, light, shadow, false);
    else SixFoldOutline(canvas, r, f, 1, light, shadow, 1);
  }
  bool fill = f.BrushStyle != brsClear;
  TColor color = f.BrushColor;
  if (f.Gradient && f.Gradient->Style != bgsSolid) {
    GradientFill(canvas, r, f, pw, pesSolid);
    fill = false;
  } else if (f.Gradient) {
    color = f.Gradient->SolidColor;
  }
  bool single = f.Border == bosSingle;
  if (fill || single)
    KwDrawSolidShape(canvas, r, dssSolid, f.Shape, f.Reflection, f.Orientation, fill ? brsSolid : brsClear, color,
                     single ? pesSolid : pesClear, f.PenColor, pw);
}

void KwRotatePoints(int offsetX, int offsetY, int centerX, int centerY, TPoint* points, int highIndex,
                    int angleDegrees) {
  if (!points) return;
  double a = angleDegrees * (std::numbers::pi / 180.0), c = std::cos(a), s = std::sin(a);
  for (int i = 0; i <= highIndex; i++) {
    double u = points[i].X - centerX, v = points[i].Y - centerY;
    int x = int(std::nearbyint(u * c + v * s)), y = int(std::nearbyint(v * c - u * s));
    points[i] = TPoint(x + centerX + offsetX, y + centerY + offsetY);
  }
}

TPoint KwRectExt(int width, int height, int angleDegrees) {
  if (angleDegrees % 180 == 0) return TPoint(width, height);
  if ((angleDegrees + 90) % 180 == 0) return TPoint(height, width);
  double a = angleDegrees * (std::numbers::pi / 180.0), s = std::sin(a), c = std::cos(a);
  return TPoint(int(std::nearbyint(std::fabs(height * s) + std::fabs(width * c))),
                int(std::nearbyint(std::fabs(width * s) + std::fabs(height * c))));
}

void KwPaintCorners(TCanvas* canvas, const TRect& r, int width, int height, int length, int angleDegrees) {
  if (!canvas) return;
  int len = std::min({length, r.Width(), r.Height()});
  if (len <= 0) return;
  int w = width - 1, h = height - 1;
  // Each corner: the end of one stroke, the corner, the end of the other.
  TPoint p[12] = {{len, 0},     {0, 0}, {0, len},     {w - len, 0}, {w, 0}, {w, len},
                  {w, h - len}, {w, h}, {w - len, h}, {len, h},     {0, h}, {0, h - len}};
  KwRotatePoints((r.Width() - width) / 2 + r.Left, (r.Height() - height) / 2 + r.Top, width / 2, height / 2, p, 11,
                 angleDegrees);
  TKwCanvasSave save(canvas, true);
  SetPen(canvas, clBlack, psSolid, 1);
  for (int i = 0; i < 12; i += 3) {
    canvas->MoveTo(p[i].X, p[i].Y);
    canvas->LineTo(p[i + 1].X, p[i + 1].Y);
    canvas->LineTo(p[i + 2].X, p[i + 2].Y);
  }
}

void KwPaintLimits(TCanvas* canvas, const TRect& r, int width, int height, int span, int markSize,
                   TKwAlignment alignment, int angleDegrees) {
  if (!canvas || span <= 0) return;
  int s = std::min({markSize, r.Width(), r.Height()});
  int x0 = (r.Width() - width) / 2 + r.Left, y0 = (r.Height() - height) / 2 + r.Top;
  int a = 0, b = span;
  if (alignment == aliCenter) {
    a = width / 2 - span / 2;
    b = a + span;
  } else if (alignment == aliRight) {
    b = width;
    a = width - span;
  }
  TKwCanvasSave save(canvas);
  SetPen(canvas, clBlack, psSolid, 1);
  canvas->Brush()->SetColor(TColor(0x008000));
  canvas->Brush()->SetStyle(bsSolid);
  if (a >= 0 && a + s <= width) {
    TPoint p[4] = {{a, 0}, {a + s, 0}, {a, s}, {a, 0}};
    KwRotatePoints(x0, y0, width / 2, height / 2, p, 3, angleDegrees);
    canvas->Polygon(p, 4);
  }
  if (b - s >= 0 && b <= width) {
    TPoint p[4] = {{b, 0}, {b, s}, {b - s, 0}, {b, 0}};
    KwRotatePoints(x0, y0, width / 2, height / 2, p, 3, angleDegrees);
    canvas->Polygon(p, 4);
  }
}

void KwDrawDirection(const TRect& rect, TCanvas* canvas, TKwMoveDirection direction, TColor color) {
  if (!canvas || direction == mvdNone || int(direction) > int(mvdNone)) return;
  TKwCanvasSave save(canvas, true);
  canvas->Pen()->SetColor(KwSolidColor(color));
  TRect r = rect;
  r.Right--;
  r.Bottom--;
  Shrink(r, 2);
  const int s = 6;
  auto stroke = [canvas](int x1, int y1, int x2, int y2) {
    canvas->MoveTo(x1, y1);
    canvas->LineTo(x2, y2);
  };
  auto symbol = [&](const TRect& q) {
    int L = q.Left, T = q.Top, R = q.Right, B = q.Bottom;
    int cx = L + (R - L) / 2, cy = T + (B - T) / 2;
    switch (direction) {
      case mvdUp: stroke(cx, T, cx - s, T + s); stroke(cx, T, cx + s, T + s); break;
      case mvdDown: stroke(cx, B, cx - s, B - s); stroke(cx, B, cx + s, B - s); break;
      case mvdLeft: stroke(L, cy, L + s, cy - s); stroke(L, cy, L + s, cy + s); break;
      case mvdRight: stroke(R, cy, R - s, cy - s); stroke(R, cy, R - s, cy + s); break;
      case mvdUpLeft: stroke(L, T, L + s, T); stroke(L, T, L, T + s); break;
      case mvdUpRight: stroke(R, T, R - s, T); stroke(R, T, R, T + s); break;
      case mvdDownLeft: stroke(L, B, L + s, B); stroke(L, B, L, B - s); break;
      case mvdDownRight: stroke(R, B, R - s, B); stroke(R, B, R, B - s); break;
      case mvdMove:
        stroke(cx, T, cx, T + s + 1);
        stroke(cx - s / 2, T + s / 2, cx + s / 2 + 1, T + s / 2);
        break;
      default: break;
    }
  };
  symbol(r);
  static const int offsets[8][2] = {{0, 3}, {0, -3}, {3, 0}, {-3, 0}, {2, 2}, {-2, 2}, {2, -2}, {-2, -2}};
  if (direction == mvdMove) return;
  OffsetRect(r, offsets[direction][0], offsets[direction][1]);
  symbol(r);
}

void KwDrawGridLines(TCanvas* canvas, const TRect& r, TColor lineColor, TColor boxColor, int step, bool drawLines,
                     bool drawBox, bool linesInverted, bool boxInverted) {
  if (!canvas) return;
  TKwCanvasSave save(canvas, true);
  if (drawLines && !r.IsEmpty()) {
    SetPen(canvas, KwSolidColor(lineColor), psSolid, 1, linesInverted ? pmNot : pmCopy);
    // A step below one would never reach the end of the rectangle.
    step = std::max(step, 1);
    int W = r.Width(), H = r.Height();
    TKwClipSave clip(canvas);
    ::IntersectClipRect(clip.DC(), r.Left, r.Top, r.Right, r.Bottom);
    for (int x = r.Left; x < r.Left + W + H + 1; x += step) {
      canvas->MoveTo(x, r.Bottom);
      canvas->LineTo(x - H, r.Top);
    }
  }
  if (drawBox) {
    canvas->Brush()->SetStyle(bsClear);
    SetPen(canvas, KwSolidColor(boxColor), psSolid, 1, boxInverted ? pmNot : pmCopy);
    canvas->Rectangle(r);
  }
}

}  // namespace kw
