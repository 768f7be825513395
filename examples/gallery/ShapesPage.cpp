// The gallery's page of the skin renderer: the 44 shapes upright, one shape turned four ways
// and mirrored, the 21 background styles (the image styles without a picture show solid),
// hatched fills and the border styles up and down. Painted by paint boxes through the routines.
#include "examples/gallery/Gallery.h"

#include "host/ExtCtrls.h"
#include "host/StdCtrls.h"
#include "skin/Kwdrawutil.h"

namespace kw::gallery {

namespace {

TPaintBox* Box(TForm* f, const wchar_t* name, int x, int y, int w, int h, std::function<void(TCanvas*)> paint) {
  auto* box = Put<TPaintBox>(f, name, x, y, w, h);
  box->OnPaint = [box, paint](TObject*) { paint(box->Canvas()); };
  return box;
}

void Caption(TForm* f, const wchar_t* name, int x, int y, const wchar_t* text) {
  auto* label = Put<TLabel>(f, name, x, y, 600, 14);
  label->SetAutoSize(false);
  label->SetCaption(text);
}

const TColor Fills[] = {TColor(0xF0C080), TColor(0x80D0F0), TColor(0xA0E0A0), TColor(0xC0A0F0)};

TForm* ShapesForm() {
  TForm* f = NewForm(L"Shapes", L"Skin shapes and backgrounds", 640, 560);
  Caption(f, L"ShapesCaption", 8, 4, L"The 44 shapes in their own orientation");
  Box(f, L"AllShapes", 8, 20, 624, 168, [](TCanvas* c) {
    for (int s = 0; s < KwShapeCount; s++) {
      int col = s % 11, row = s / 11;
      TRect r = Bounds(col * 56 + 4, row * 42 + 3, 48, 36);
      KwDrawSolidShape(c, r, dssSolid, TKwShapes(s), false, sorDefault, brsSolid, Fills[row], pesSolid, clBlack, 1);
    }
  });
  Caption(f, L"TurnsCaption", 8, 192, L"shaArrowRect up, left, right, down; then mirrored");
  Box(f, L"Turns", 8, 208, 624, 50, [](TCanvas* c) {
    const TKwShapeOrientation turns[] = {sorUp, sorLeft, sorRight, sorDown};
    for (int i = 0; i < 8; i++) {
      TRect r = Bounds(i * 64 + (i >= 4 ? 40 : 4), 3, 52, 44);
      KwDrawSolidShape(c, r, dssSolid, shaArrowRect, i >= 4, turns[i % 4], brsSolid, TColor(0x60A0FF), pesSolid,
                       clMaroon, 1);
    }
  });
  Caption(f, L"BackCaption", 8, 262, L"The 21 background styles (the image styles without a picture fill solid)");
  Box(f, L"Backgrounds", 8, 278, 624, 104, [](TCanvas* c) {
    for (int s = 0; s < KwBackGroundStyleCount; s++) {
      int col = s % 11, row = s / 11;
      TRect r = Bounds(col * 56 + 4, row * 52 + 3, 48, 46);
      KwDrawGradient(c, r, TKwBackGroundStyle(s), clWhite, TColor(0x804000), TColor(0xC0E0E0), nullptr, false, 0);
    }
  });
  Caption(f, L"HatchCaption", 8, 386, L"Hatched fills");
  Box(f, L"Hatches", 8, 402, 624, 56, [](TCanvas* c) {
    for (int s = brsBDiagonal; s <= brsGrid; s++) {
      TRect r = Bounds((s - brsBDiagonal) * 64 + 4, 3, 52, 50);
      KwDrawSolidShape(c, r, dssSolid, s % 2 ? shaStar : shaOctagon, false, sorDefault, TKwBrushStyle(s),
                       TColor(0x008000), pesSolid, clNavy, 1);
    }
  });
  Caption(f, L"BorderCaption", 8, 462, L"Borders: single, 3D up, 3D down; gradient faces up and down");
  Box(f, L"Borders", 8, 478, 624, 76, [](TCanvas* c) {
    static const TKwBackGroundValues gradient{bgsDown, clWhite, TColor(0xA06020), clWhite, nullptr, false};
    const TKwShapes shapes[] = {shaRectangle, shaRoundRect, shaEllipse, shaHexagon};
    int x = 4;
    for (int kind = 0; kind < 5; kind++)
      for (int i = 0; i < (kind < 3 ? 3 : 1); i++) {
        TKwShapeFace face;
        face.Shape = shapes[kind < 3 ? i : kind - 2];
        face.Border = kind == 0 ? bosSingle : bos3D;
        face.Down = kind == 2 || kind == 4;
        face.BorderWidth = 2;
        face.PenWidth = 2;
        face.BrushStyle = brsSolid;
        face.BrushColor = TColor(0xE0E0E0);
        face.Light = kind == 0 ? clBlack : clWhite;
        face.Shadow = TColor(0x606060);
        if (kind >= 3) face.Gradient = &gradient;
        KwPaintShapeValues(c, Bounds(x, 4, 48, 40), face);
        face.Gradient = nullptr;
        face.BorderWidth = 1;
        face.PenWidth = 1;
        KwPaintShapeExValues(c, Bounds(x, 48, 48, 24), face);
        x += 56;
      }
  });
  return f;
}

static PageRegistration page(100, ShapesForm);

}  // namespace

}  // namespace kw::gallery
