// The gallery's forms built in code: standard controls, lists, and containers with shapes.
// States that need the window (focus, pressed) are set once the form is shown.
#include "examples/gallery/Gallery.h"

#include <algorithm>

#include "host/Application.h"
#include "host/ExtCtrls.h"
#include "host/Listctrls.h"
#include "host/Scrolling.h"
#include "host/StdCtrls.h"
#include "host/Stringlist.h"
#include "host/Win.h"

namespace kw::gallery {

namespace {

std::vector<std::pair<int, TForm* (*)()>>& Pages() {
  static std::vector<std::pair<int, TForm* (*)()>> pages;
  return pages;
}

}  // namespace

PageRegistration::PageRegistration(int rank, TForm* (*make)()) { Pages().push_back({rank, make}); }

TForm* NewForm(const wchar_t* name, const wchar_t* caption, int width, int height) {
  TForm* f = KwCreate<TForm>(nullptr);
  f->SetName(name);
  f->SetCaption(caption);
  f->SetPosition(poDesigned);
  f->SetBounds(40, 40, width, height);
  f->SetClientWidth(width);
  f->SetClientHeight(height);
  f->Font()->SetName(L"Tahoma");
  f->Font()->SetSize(8);
  return f;
}

namespace {

TForm* StandardForm() {
  TForm* f = NewForm(L"Standard", L"Standard controls", 420, 300);
  Put<TLabel>(f, L"LabelNormal", 10, 10, 120, 16)->SetCaption(L"&Label with accelerator");
  auto* disabledLabel = Put<TLabel>(f, L"LabelDisabled", 10, 30, 120, 16);
  disabledLabel->SetCaption(L"Disabled label");
  disabledLabel->SetEnabled(false);
  auto* right = Put<TLabel>(f, L"LabelRight", 150, 10, 120, 16);
  right->SetAutoSize(false);
  right->SetAlignment(taRightJustify);
  right->SetCaption(L"Right aligned");

  Put<TButton>(f, L"ButtonNormal", 10, 60, 90, 25)->SetCaption(L"Normal");
  auto* def = Put<TButton>(f, L"ButtonDefault", 110, 60, 90, 25);
  def->SetCaption(L"Default");
  def->SetDefault(true);
  auto* disabledButton = Put<TButton>(f, L"ButtonDisabled", 210, 60, 90, 25);
  disabledButton->SetCaption(L"Disabled");
  disabledButton->SetEnabled(false);
  Put<TButton>(f, L"ButtonPressed", 310, 60, 90, 25)->SetCaption(L"Pressed");

  Put<TCheckBox>(f, L"CheckOff", 10, 100, 120, 20)->SetCaption(L"Unchecked");
  auto* on = Put<TCheckBox>(f, L"CheckOn", 140, 100, 120, 20);
  on->SetCaption(L"Checked");
  on->SetChecked(true);
  auto* grayed = Put<TCheckBox>(f, L"CheckGrayed", 270, 100, 140, 20);
  grayed->SetCaption(L"Grayed, disabled");
  grayed->SetAllowGrayed(true);
  grayed->SetState(cbGrayed);
  grayed->SetEnabled(false);
  Put<TRadioButton>(f, L"RadioA", 10, 125, 120, 20)->SetCaption(L"Radio one");
  auto* radioB = Put<TRadioButton>(f, L"RadioB", 140, 125, 120, 20);
  radioB->SetCaption(L"Radio two");
  radioB->SetChecked(true);

  auto* edit = Put<TEdit>(f, L"EditFocused", 10, 155, 190, 21);
  edit->SetText(L"Focused edit");
  auto* ro = Put<TEdit>(f, L"EditReadOnly", 210, 155, 190, 21);
  ro->SetText(L"Read-only edit");
  ro->SetReadOnly(true);
  auto* pw = Put<TEdit>(f, L"EditPassword", 10, 185, 190, 21);
  pw->SetPasswordChar(L'*');
  pw->SetText(L"secret");
  auto* de = Put<TEdit>(f, L"EditDisabled", 210, 185, 190, 21);
  de->SetText(L"Disabled edit");
  de->SetEnabled(false);
  auto* memo = Put<TMemo>(f, L"Memo", 10, 215, 390, 75);
  memo->Lines()->Add(L"A memo holds lines:");
  memo->Lines()->Add(L"the second line");
  memo->Lines()->Add(L"and a third.");
  return f;
}

TForm* ListsForm() {
  TForm* f = NewForm(L"Lists", L"Lists", 420, 220);
  auto* list = Put<TListBox>(f, L"ListBox", 10, 10, 190, 120);
  for (const wchar_t* s : {L"Apples", L"Bananas", L"Cherries", L"Dates", L"Elderberries"}) list->Items()->Add(s);
  list->SetItemIndex(2);
  auto* disabled = Put<TListBox>(f, L"ListDisabled", 210, 10, 190, 120);
  disabled->Items()->Add(L"Disabled list");
  disabled->Items()->Add(L"Second item");
  disabled->SetEnabled(false);
  auto* combo = Put<TComboBox>(f, L"ComboList", 10, 145, 190, 21);
  combo->SetStyle(csDropDownList);
  for (const wchar_t* s : {L"First choice", L"Second choice", L"Third choice"}) combo->Items()->Add(s);
  combo->SetItemIndex(1);
  auto* edit = Put<TComboBox>(f, L"ComboEdit", 210, 145, 190, 21);
  edit->Items()->Add(L"Typed text");
  edit->SetText(L"Editable combo");
  auto* dis = Put<TComboBox>(f, L"ComboDisabled", 10, 180, 190, 21);
  dis->Items()->Add(L"Disabled combo");
  dis->SetItemIndex(0);
  dis->SetEnabled(false);
  return f;
}

TForm* ContainersForm() {
  TForm* f = NewForm(L"Containers", L"Panels and shapes", 420, 300);
  auto* raised = Put<TPanel>(f, L"PanelRaised", 10, 10, 190, 60);
  raised->SetCaption(L"Raised panel");
  auto* lowered = Put<TPanel>(f, L"PanelLowered", 210, 10, 190, 60);
  lowered->SetCaption(L"Lowered panel");
  lowered->SetBevelOuter(bvLowered);
  lowered->SetBevelInner(bvRaised);
  lowered->SetBevelWidth(2);
  auto* inner = Put<TPanel>(lowered, L"PanelInner", 0, 0, 40, 20);
  inner->SetAlign(alRight);
  inner->SetCaption(L"R");
  inner->SetColor(clWhite);

  static const TShapeType shapes[] = {stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle};
  static const TColor colors[] = {clRed, clLime, clBlue, clYellow, clFuchsia, clAqua};
  for (int i = 0; i < 6; ++i) {
    auto* s = Put<TShape>(f, (L"Shape" + std::to_wstring(i)).c_str(), 10 + i * 66, 80, 60, 40);
    s->SetShape(shapes[i]);
    s->Brush()->SetColor(colors[i]);
  }
  auto* bevel = Put<TBevel>(f, L"Bevel", 10, 130, 190, 50);
  bevel->SetShape(bsFrame);
  auto* paint = Put<TPaintBox>(f, L"PaintBox", 210, 130, 190, 50);
  paint->OnPaint = [paint](TObject*) {
    TCanvas* c = paint->Canvas();
    c->Brush()->SetColor(clNavy);
    c->FillRect(TRect(0, 0, paint->Width(), paint->Height()));
    c->Pen()->SetColor(clWhite);
    c->MoveTo(0, 0);
    c->LineTo(paint->Width(), paint->Height());
    c->MoveTo(0, 25);
    c->LineTo(paint->Width(), 25);
  };
  auto* box = Put<TScrollBox>(f, L"ScrollBox", 10, 190, 390, 100);
  for (int i = 0; i < 4; ++i) {
    auto* b = Put<TButton>(box, (L"Scrolled" + std::to_wstring(i)).c_str(), 10 + i * 120, 10, 110, 25);
    b->SetCaption(L"Scrolled " + std::to_wstring(i + 1));
  }
  box->HorzScrollBar()->SetPosition(40);
  return f;
}

void Settle() {
  for (int i = 0; i < 5; ++i) Application()->ProcessMessages();
}

PageRegistration standardPage(10, StandardForm);
PageRegistration listsPage(20, ListsForm);
PageRegistration containersPage(30, ContainersForm);

}  // namespace

std::vector<TForm*> MakeForms() {
  auto pages = Pages();
  std::stable_sort(pages.begin(), pages.end(), [](auto& a, auto& b) { return a.first < b.first; });
  std::vector<TForm*> forms;
  for (auto& [rank, make] : pages) forms.push_back(make());
  return forms;
}

std::unique_ptr<TForm> MakeForm(const wchar_t* name) {
  std::unique_ptr<TForm> found;
  for (TForm* f : MakeForms()) {
    if (!found && f->Name() == name) found.reset(f);
    else delete f;
  }
  return found;
}

std::unique_ptr<TBitmap> RenderForm(TForm* form) {
  form->Show();
  Settle();
  // States that only a window can hold.
  if (auto* e = dynamic_cast<TWinControl*>(form->FindComponent(L"EditFocused"))) {
    e->SetFocus();
    Settle();
  }
  if (auto* b = dynamic_cast<TWinControl*>(form->FindComponent(L"ButtonPressed"))) {
    SendMessageW(b->Handle(), BM_SETSTATE, TRUE, 0);
  }
  Settle();
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(form->ClientWidth(), form->ClientHeight());
  form->PaintTo(bmp->Canvas(), 0, 0);
  return bmp;
}

}  // namespace kw::gallery
