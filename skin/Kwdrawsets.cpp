// The renderers that read style sets and shape descriptors: backgrounds from a set, the
// transparent background asked of the parent chain, and the face painters of shapes. They
// resolve the sets and hand the values to the value-taking cores of Kwdrawutil.cpp and
// Kwdrawshape.cpp, which do the drawing.
#include <algorithm>
#include <cstdint>

#include "core/Kwlinks.h"
#include "host/Controls.h"
#include "host/Forms.h"
#include "host/Win.h"
#include "skin/Kwdrawsave.h"
#include "skin/Kwdrawutil.h"
#include "skin/Kwsets.h"
#include "skin/Kwshapes.h"

namespace kw {

namespace {

TKwBackGroundValues ValuesOf(const TKwStyleItemBackGround& item) {
  TKwBackGroundValues v;
  v.Style = item.Style();
  v.StartGraColor = item.StartGraColor();
  v.EndGraColor = item.EndGraColor();
  v.SolidColor = item.SolidColor();
  v.Image = item.Image();
  v.Transparent = item.Transparent();
  return v;
}

// Screen rectangles of a control, from its window when it has one and from the host's
// geometry otherwise: painting never makes a window.
TRect WindowRectOf(HWND wnd) {
  RECT rc;
  Win32Check(::GetWindowRect(wnd, &rc) != FALSE);
  return TRect(rc.left, rc.top, rc.right, rc.bottom);
}

TRect WindowRectOf(TWinControl* control) {
  if (control->HandleAllocated()) return WindowRectOf(control->Handle());
  TRect r = control->BoundsRect();
  if (TWinControl* parent = control->Parent()) {
    TPoint o = parent->ClientOrigin();
    OffsetRect(r, o.X, o.Y);
  }
  return r;
}

// Both corners of a rectangle in the control's client coordinates, mapped to the screen.
TRect ClientToScreenRect(TWinControl* control, const TRect& r) {
  TPoint a = control->ClientToScreen(r.TopLeft()), b = control->ClientToScreen(r.BottomRight());
  return TRect(a.X, a.Y, b.X, b.Y);
}

TRect ClientRectOnScreen(TWinControl* control) { return ClientToScreenRect(control, control->ClientRect()); }

TRect ClientRectOnScreen(HWND wnd) {
  RECT rc;
  Win32Check(::GetClientRect(wnd, &rc) != FALSE);
  POINT a{rc.left, rc.top}, b{rc.right, rc.bottom};
  Win32Check(::ClientToScreen(wnd, &a) != FALSE && ::ClientToScreen(wnd, &b) != FALSE);
  return TRect(a.x, a.y, b.x, b.y);
}

}  // namespace

void KwPaintBackGroundEx(TCanvas* canvas, const TRect& r, TKwSetBackGround* set, int maxSteps) {
  if (!canvas || !set || r.Width() < 1 || r.Height() < 1) return;
  if (TKwStyleItemBackGround* item = set->Info()) {
    TKwBackGroundValues values = ValuesOf(*item);
    KwPaintBackGroundValues(canvas, r, &values, values.SolidColor, maxSteps);
    return;
  }
  KwPaintBackGroundValues(canvas, r, nullptr, set->Color(), maxSteps);
}

void KwPaintBackGround(TCanvas* canvas, const TRect& r, TKwSetBackGround* set) {
  if (set) KwPaintBackGroundEx(canvas, r, set, 0);
}

void KwPaintTransparentBackGround(TCanvas* canvas, const TRect& r, const TRect& exclude, TWinControl* control,
                                  bool windowRect, bool isForm, TKwSetBackGround* set, bool fromParent) {
  if (!canvas || !control) return;
  KwInitStyleSets();
  TKwCanvasSave save(canvas);
  TKwClipSave clip(canvas);
  ::IntersectClipRect(clip.DC(), r.Left, r.Top, r.Right, r.Bottom);
  if (!exclude.IsEmpty()) ::ExcludeClipRect(clip.DC(), exclude.Left, exclude.Top, exclude.Right, exclude.Bottom);

  TKwBackGroundAnswer answer;
  answer.SetBackGround = KwSetBackGround;
  answer.Control = control->Parent();
  auto data = reinterpret_cast<std::intptr_t>(&answer);
  if (fromParent) {
    KwPerform(answer.Control, KwEvtAskBackGround, data);
  } else {
    // The control's own answer only tells whether it owns a background; what it paints is set.
    KwPerform(control, KwEvtAskBackGround, data);
    answer.SetBackGround = set;
    answer.Control = control;
  }

  TRect reference = windowRect ? WindowRectOf(control) : ClientRectOnScreen(control);
  if (isForm) {
    // An MDI parent's children live in its client window, which is then the reference.
    auto* form = dynamic_cast<TCustomForm*>(control);
    if (HWND client = form ? form->ClientHandle() : nullptr)
      reference = windowRect ? WindowRectOf(client) : ClientRectOnScreen(client);
  }

  TRect back = reference;
  // A control without a parent has nothing beneath it: its own place stands in.
  if (TWinControl* under = answer.Control) {
    if (answer.Found) {
      back = WindowRectOf(under);
    } else if (!isForm || fromParent) {
      if (under->ControlState().Contains(csPaintCopy)) {
        // Painted into another device context, the window stands at that context's origin.
        TRect w = WindowRectOf(under);
        back = ClientToScreenRect(under, TRect(0, 0, w.Width(), w.Height()));
      } else {
        back = ClientRectOnScreen(under);
      }
    }
  }
  OffsetRect(back, -reference.Left, -reference.Top);
  KwPaintBackGround(canvas, back, answer.SetBackGround);
}

void KwPaintShape(TCanvas* canvas, const TRect& r, TKwBorderStyle border, int borderWidth, TKwShapes shape,
                  bool reflection, TKwShapeOrientation orientation, bool down, TKwSetBackGround* background,
                  TKwSetColor* colorSet, TKwBrush* brush, TKwPen* pen, bool useColorSet, int penWidth) {
  if (!canvas) return;
  KwInitStyleSets();
  TKwShapeFace f;
  f.Border = border;
  f.BorderWidth = borderWidth;
  f.Shape = shape;
  f.Reflection = reflection;
  f.Orientation = orientation;
  f.Down = down;
  if (pen) {
    f.PenWidth = penWidth >= 1 ? penWidth : pen->Width();
    f.PenStyle = pen->Style();
    f.PenColor = pen->SetColor()->Color();
  } else {
    f.PenWidth = std::max(penWidth, 1);
    f.PenStyle = pesClear;
    f.PenColor = KwSetColBox->Color();
  }
  TKwSetBackGround* fill = background;
  if (brush) {
    // A background that names no package set leaves the brush its own.
    if (!background || !background->Defined()) fill = brush->SetBackGround();
    f.BrushStyle = brush->Style();
    f.BrushColor = fill->Color();
  } else if (background) {
    f.BrushStyle = brsSolid;
    f.BrushColor = background->Color();
  } else {
    f.BrushStyle = brsClear;
    f.BrushColor = clNone;
  }
  if (border == bosSingle) {
    TColor c = !useColorSet                         ? KwSet3DMLight->Color()
               : colorSet && colorSet->Defined() ? colorSet->Color()
                                                   : KwSetColBox->Color();
    f.Light = f.Shadow = c;
  } else {
    f.Light = KwSet3DLight->Color();
    f.Shadow = KwSet3DShadow->Color();
  }
  TKwBackGroundValues gradient;
  if (fill) {
    if (TKwStyleItemBackGround* item = fill->Info()) {
      gradient = ValuesOf(*item);
      f.Gradient = &gradient;
    }
  }
  KwPaintShapeValues(canvas, r, f);
}

void KwPaintShapeEx(TCanvas* canvas, const TRect& r, TKwBorderStyle border, TKwShapes shape, bool reflection,
                    TKwShapeOrientation orientation, bool down, TKwSetBackGround* background,
                    TKwSetColor* penColorSet, int penWidth) {
  if (!canvas) return;
  KwInitStyleSets();
  TKwShapeFace f;
  f.Border = border;
  f.Shape = shape;
  f.Reflection = reflection;
  f.Orientation = orientation;
  f.Down = down;
  f.PenWidth = std::max(penWidth, 1);
  f.PenStyle = pesSolid;
  f.PenColor = penColorSet ? penColorSet->Color() : KwSetColBox->Color();
  f.Light = KwSet3DLight->Color();
  f.Shadow = KwSet3DShadow->Color();
  TKwBackGroundValues gradient;
  if (background) {
    f.BrushStyle = brsSolid;
    f.BrushColor = background->Color();
    if (TKwStyleItemBackGround* item = background->Info()) {
      gradient = ValuesOf(*item);
      f.Gradient = &gradient;
    }
  } else {
    f.BrushStyle = brsClear;
  }
  KwPaintShapeExValues(canvas, r, f);
}

void KwPaintFullShape(TCanvas* canvas, const TRect& r, TKwFullShape* shape, TKwSetBackGround* background) {
  if (!shape) return;
  KwPaintShape(canvas, r, shape->BorderStyle(), shape->BorderWidth(), shape->Shape(), shape->Reflection(),
               shape->Orientation(), shape->Down(), background, nullptr, shape->Brush(), shape->Pen(), true, 0);
}

void KwPaintFullShapeShadow(TCanvas* canvas, const TRect& r, TKwFullShape* shape) {
  if (!canvas || !shape) return;
  KwInitStyleSets();
  TKwBrushStyle style = shape->Brush()->Style();
  TColor shadow = KwSetColShadow->Color();
  KwDrawSolidShape(canvas, r, dssSolid, shape->Shape(), shape->Reflection(), shape->Orientation(),
                   style == brsSolid || style == brsGrid ? brsSolid : brsClear, shadow, pesSolid, shadow,
                   shape->Pen()->Width());
}

}  // namespace kw
