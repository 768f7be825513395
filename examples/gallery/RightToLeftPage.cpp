// The gallery's right-to-left page: a form laid out left to right in code, switched to
// right-to-left and mirrored with FlipChildren, so every control stands and reads from the right.
// Text shaping of right-to-left scripts is the system's; the captions here are Latin.
#include "examples/gallery/Gallery.h"

#include "host/ExtCtrls.h"
#include "host/StdCtrls.h"

namespace kw::gallery {

namespace {

TForm* RightToLeftForm() {
  TForm* f = NewForm(L"RightToLeft", L"Right to left", 360, 220);
  auto* side = Put<TPanel>(f, L"Side", 0, 0, 70, 220);
  side->SetAlign(alLeft);
  side->SetColor(clTeal);
  side->SetCaption(L"");
  auto* title = Put<TLabel>(f, L"Title", 85, 10, 260, 16);
  title->SetAutoSize(false);
  title->SetCaption(L"Left-justified text, shown on the right");
  auto* name = Put<TLabel>(f, L"NameLabel", 85, 40, 60, 16);
  name->SetCaption(L"Name:");
  auto* edit = Put<TEdit>(f, L"NameEdit", 150, 37, 195, 21);
  edit->SetText(L"Edit text");
  auto* check = Put<TCheckBox>(f, L"Check", 85, 70, 200, 20);
  check->SetCaption(L"Box on the right side");
  check->SetChecked(true);
  auto* group = Put<TPanel>(f, L"Group", 85, 100, 260, 70);
  group->SetCaption(L"");
  group->SetColor(clWhite);
  auto* inner = Put<TLabel>(group, L"InnerLabel", 10, 10, 120, 16);
  inner->SetCaption(L"Nested, mirrored too");
  auto* swatch = Put<TShape>(group, L"Swatch", 10, 35, 40, 25);
  swatch->Brush()->SetColor(clRed);
  auto* ok = Put<TButton>(f, L"Ok", 85, 185, 80, 25);
  ok->SetCaption(L"OK");
  auto* cancel = Put<TButton>(f, L"Cancel", 175, 185, 80, 25);
  cancel->SetCaption(L"Cancel");
  f->SetBiDiMode(bdRightToLeft);
  f->FlipChildren(true);
  return f;
}

PageRegistration page(60, RightToLeftForm);

}  // namespace

}  // namespace kw::gallery
