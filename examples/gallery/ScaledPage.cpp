// The gallery's scaled page: a form designed at 96 pixels per inch and shown at 150 %, as on
// a monitor of 144 DPI: bounds, constraints and fonts scaled once through the control tree.
// The form's own place on the screen is not scaled.
#include "examples/gallery/Gallery.h"

#include "host/ExtCtrls.h"
#include "host/StdCtrls.h"

namespace kw::gallery {

namespace {

TForm* ScaledForm() {
  TForm* f = NewForm(L"Scaled", L"Shown at 150 %", 280, 180);
  auto* title = Put<TLabel>(f, L"Title", 10, 10, 200, 16);
  title->SetCaption(L"Designed at 96 DPI, shown at 144");
  auto* edit = Put<TEdit>(f, L"Edit", 10, 35, 170, 21);
  edit->SetText(L"Scaled edit");
  auto* button = Put<TButton>(f, L"Button", 190, 33, 80, 25);
  button->SetCaption(L"Button");
  auto* check = Put<TCheckBox>(f, L"Check", 10, 65, 170, 20);
  check->SetCaption(L"Check box");
  check->SetChecked(true);
  auto* panel = Put<TPanel>(f, L"Panel", 10, 95, 260, 75);
  panel->SetCaption(L"");
  panel->SetColor(clWhite);
  auto* bold = Put<TLabel>(panel, L"BoldLabel", 8, 8, 150, 16);
  bold->Font()->SetStyle({fsBold});
  bold->SetCaption(L"Own font, scaled too");
  auto* bar = Put<TShape>(panel, L"Bar", 8, 40, 240, 20);
  bar->Brush()->SetColor(clNavy);
  f->ScaleBy(144, 96);
  return f;
}

PageRegistration page(70, ScaledForm);

}  // namespace

}  // namespace kw::gallery
