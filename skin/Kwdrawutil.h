// The rendering routines: colour arithmetic, the 8-bit palette, the grid brush, gradient and
// image fills of a rectangle, the 44 shapes as drawing and as regions, their solid, hatched
// and gradient fills, borders and the small design-time marks; and the painters that read style
// sets and shape descriptors (Kwdrawsets.cpp), which build on the value-taking cores here.
#pragma once

#include <memory>

#include "host/Colors.h"
#include "host/Types.h"
#include "skin/Kwmain.h"

struct HDC__;
struct HPALETTE__;
struct HRGN__;
struct HBITMAP__;

namespace kw {

class TCanvas;
class TBitmap;
class TKwMemoryImage;
class TWinControl;
class TKwSetBackGround;
class TKwSetColor;
class TKwBrush;
class TKwPen;
class TKwFullShape;

// Image references resolve through the layer that owns image packages; until it fills this in,
// every image counts as empty. The result is a fresh bitmap the caller owns, or null.
using TKwImageResolver = std::unique_ptr<TBitmap> (*)(const TKwMemoryImage* image);
extern TKwImageResolver KwResolveImage;

// Colours.
TColor KwSolidColor(TColor color);
TColor KwIntermediateColor(TColor a, TColor b, int num, int den);

// The palette of 8-bit screens.
bool Kw8BitPalette();
HPALETTE__* KwCreatePalette();
HPALETTE__* KwGetPalette();
void KwSetPalette(HPALETTE__* palette);
HPALETTE__* KwInitPalette(HDC__* dc);
void KwEndPalette(HDC__* dc, HPALETTE__* old);
void KwAssignBitmapPalette(TBitmap* bitmap);

// The shared 8 x 8 checker: color, with white where x and y have equal parity. The unit keeps
// it; every call recolours it.
HBITMAP__* KwCreateBrushGrid(TColor color);

void KwDrawGradient(TCanvas* canvas, const TRect& r, TKwBackGroundStyle style, TColor start, TColor end,
                    TColor solid, const TKwMemoryImage* image, bool transparent, int maxSteps);

// The five values of a background as a display-package item holds them.
struct TKwBackGroundValues {
  TKwBackGroundStyle Style = bgsSolid;
  TColor StartGraColor = clWhite;
  TColor EndGraColor = clBlack;
  TColor SolidColor = clBtnFace;
  const TKwMemoryImage* Image = nullptr;
  bool Transparent = false;
};
// The background of a set: item null when the set resolves to no item, fallback the set's
// own colour then.
void KwPaintBackGroundValues(TCanvas* canvas, const TRect& r, const TKwBackGroundValues* item, TColor fallback,
                             int maxSteps);

// Shapes. With region given, nothing is drawn and *region receives a new region (owned by the
// caller, counted by the host) of the outline.
void KwDrawShapeEx(TCanvas* canvas, const TRect& r, TKwShapes shape, bool reflection,
                   TKwShapeOrientation orientation, HRGN__** region);
// The orientation a shape takes for sorDefault.
TKwShapeOrientation KwDefaultOrientation(TKwShapes shape);
void KwDrawSolidShape(TCanvas* canvas, const TRect& r, TKwDrawShapeStyle drawStyle, TKwShapes shape,
                      bool reflection, TKwShapeOrientation orientation, TKwBrushStyle brushStyle, TColor brushColor,
                      TKwPenStyle penStyle, TColor penColor, int penWidth);
void KwDrawGradientShape(TCanvas* canvas, const TRect& r, TKwBackGroundStyle style, TColor start, TColor end,
                         TColor solid, TKwShapes shape, bool reflection, TKwShapeOrientation orientation,
                         const TKwMemoryImage* image, bool transparent, int penWidth, TKwPenStyle penStyle,
                         bool down, int maxSteps);
void KwDrawBox(TCanvas* canvas, const TRect& r, TColor topLeft, TColor bottomRight, bool down);

// A face with everything resolved: the values the style sets and descriptors give the face
// painters. Gradient is the background item when the background resolves to one.
struct TKwShapeFace {
  TKwBorderStyle Border = bosSingle;
  int BorderWidth = 1;
  TKwShapes Shape = shaRectangle;
  bool Reflection = false;
  TKwShapeOrientation Orientation = sorDefault;
  bool Down = false;
  TKwBrushStyle BrushStyle = brsClear;
  TColor BrushColor = clNone;
  TKwPenStyle PenStyle = pesClear;
  TColor PenColor = clBlack;
  int PenWidth = 1;
  TColor Light = clBtnHighlight;   // border colours before the exchange for Down
  TColor Shadow = clBtnShadow;
  const TKwBackGroundValues* Gradient = nullptr;
};
// Border, then gradient, then fill and outline, as the general face painter does once the
// pen, brush and border colours are known (BorderWidth is capped by PenWidth here).
void KwPaintShapeValues(TCanvas* canvas, const TRect& r, const TKwShapeFace& face);
// The button and tab variant: the border is 3D in Light and Shadow, single in PenColor, or
// none; the fill is Gradient when given, else BrushColor unless BrushStyle is brsClear.
void KwPaintShapeExValues(TCanvas* canvas, const TRect& r, const TKwShapeFace& face);

void KwRotatePoints(int offsetX, int offsetY, int centerX, int centerY, TPoint* points, int highIndex,
                    int angleDegrees);
TPoint KwRectExt(int width, int height, int angleDegrees);
void KwPaintCorners(TCanvas* canvas, const TRect& r, int width, int height, int length, int angleDegrees);
void KwPaintLimits(TCanvas* canvas, const TRect& r, int width, int height, int span, int markSize,
                   TKwAlignment alignment, int angleDegrees);
void KwDrawDirection(const TRect& r, TCanvas* canvas, TKwMoveDirection direction, TColor color);
void KwDrawGridLines(TCanvas* canvas, const TRect& r, TColor lineColor, TColor boxColor, int step, bool drawLines,
                     bool drawBox, bool linesInverted, bool boxInverted);

// --- painting from style sets and descriptors ----------------------------------------------

// The answer to the background question (library event 5) that a control asks its parent
// chain: whoever owns the background under it fills all three fields.
struct TKwBackGroundAnswer {
  TKwSetBackGround* SetBackGround = nullptr;
  TWinControl* Control = nullptr;
  bool Found = false;
};

// The set's package item (gradient, image or solid), else the set's own colour.
void KwPaintBackGroundEx(TCanvas* canvas, const TRect& r, TKwSetBackGround* set, int maxSteps);
// Nothing without a set.
void KwPaintBackGround(TCanvas* canvas, const TRect& r, TKwSetBackGround* set);
// Paints into r the part of the background of the window under control, aligned so that its
// gradient or image runs on across the control. The owner is asked for with event 5: of the
// parent when fromParent, else of the control itself, which then paints set.
void KwPaintTransparentBackGround(TCanvas* canvas, const TRect& r, const TRect& exclude, TWinControl* control,
                                  bool windowRect, bool isForm, TKwSetBackGround* set, bool fromParent);

// The general face painter: border, gradient, fill and outline from the sets and descriptors
// (any of background, colorSet, brush and pen may be null; penWidth 0 or less: the pen's own).
void KwPaintShape(TCanvas* canvas, const TRect& r, TKwBorderStyle border, int borderWidth, TKwShapes shape,
                  bool reflection, TKwShapeOrientation orientation, bool down, TKwSetBackGround* background,
                  TKwSetColor* colorSet, TKwBrush* brush, TKwPen* pen, bool useColorSet, int penWidth);
// The face of buttons and tabs.
void KwPaintShapeEx(TCanvas* canvas, const TRect& r, TKwBorderStyle border, TKwShapes shape, bool reflection,
                    TKwShapeOrientation orientation, bool down, TKwSetBackGround* background,
                    TKwSetColor* penColorSet, int penWidth);
// A full shape as described; callers test its Visible.
void KwPaintFullShape(TCanvas* canvas, const TRect& r, TKwFullShape* shape, TKwSetBackGround* background);
// The shadow of a full shape, on r already moved to where the shadow falls.
void KwPaintFullShapeShadow(TCanvas* canvas, const TRect& r, TKwFullShape* shape);

}  // namespace kw
