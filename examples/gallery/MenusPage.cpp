// The gallery's menus page: a form with a menu bar, a panel with its own pop-up menu, and an
// action list whose actions give two buttons, a check box and menu items their captions and
// states. The menus themselves open only on demand, so the page's picture shows the clients.
#include "examples/gallery/Gallery.h"
#include "host/ActnList.h"
#include "host/ExtCtrls.h"
#include "host/Menus.h"

namespace kw::gallery {

namespace {

TMenuItem* Item(TForm* f, TMenuItem* parent, const wchar_t* name, const wchar_t* caption, TShortCut sc = 0) {
  auto* i = new TMenuItem(f);
  i->SetName(name);
  i->SetCaption(caption);
  i->SetShortCut(sc);
  parent->Add(i);
  return i;
}

TAction* Action(TForm* f, TActionList* list, const wchar_t* name, const wchar_t* caption, const wchar_t* category) {
  auto* a = new TAction(f);
  a->SetName(name);
  a->SetCaption(caption);
  a->SetCategory(category);
  a->SetActionList(list);
  return a;
}

TForm* MenusForm() {
  TForm* f = NewForm(L"Menus", L"Menus and actions", 420, 170);

  auto* actions = new TActionList(f);
  actions->SetName(L"Actions");
  TAction* copy = Action(f, actions, L"CopyAction", L"&Copy", L"Edit");
  copy->SetShortCut(TextToShortCut(L"Ctrl+C"));
  copy->SetHint(L"Copies the selection");
  copy->OnExecute = [](TObject*) {};
  // Nothing to paste yet: without a handler the idle update keeps it disabled too.
  TAction* paste = Action(f, actions, L"PasteAction", L"&Paste", L"Edit");
  paste->SetShortCut(TextToShortCut(L"Ctrl+V"));
  paste->SetEnabled(false);
  TAction* wrap = Action(f, actions, L"WrapAction", L"&Word wrap", L"View");
  wrap->SetAutoCheck(true);
  wrap->SetChecked(true);
  wrap->OnExecute = [](TObject*) {};

  auto* menu = new TMainMenu(f);
  menu->SetName(L"MainMenu");
  TMenuItem* file = Item(f, menu->Items(), L"FileMenu", L"&File");
  Item(f, file, L"FileNew", L"&New", TextToShortCut(L"Ctrl+N"));
  Item(f, file, L"FileOpen", L"&Open...", TextToShortCut(L"Ctrl+O"));
  Item(f, file, L"FileLine", L"-");
  Item(f, file, L"FileExit", L"E&xit", TextToShortCut(L"Alt+F4"));
  TMenuItem* edit = Item(f, menu->Items(), L"EditMenu", L"&Edit");
  Item(f, edit, L"EditCopy", L"")->SetAction(copy);
  Item(f, edit, L"EditPaste", L"")->SetAction(paste);
  TMenuItem* view = Item(f, menu->Items(), L"ViewMenu", L"&View");
  Item(f, view, L"ViewWrap", L"")->SetAction(wrap);
  TMenuItem* small = Item(f, view, L"ViewSmall", L"&Small icons");
  TMenuItem* large = Item(f, view, L"ViewLarge", L"&Large icons");
  for (TMenuItem* i : {small, large}) {
    i->SetRadioItem(true);
    i->SetGroupIndex(1);
    i->SetAutoCheck(true);
  }
  large->SetChecked(true);
  f->SetMenu(menu);
  // The bar takes its height from the window, not from the client area.
  f->SetClientHeight(170);

  Put<TButton>(f, L"ButtonCopy", 10, 10, 90, 25)->SetAction(copy);
  Put<TButton>(f, L"ButtonPaste", 110, 10, 90, 25)->SetAction(paste);
  Put<TCheckBox>(f, L"CheckWrap", 220, 12, 150, 20)->SetAction(wrap);

  auto* popup = new TPopupMenu(f);
  popup->SetName(L"PanelMenu");
  Item(f, popup->Items(), L"PopupCopy", L"")->SetAction(copy);
  Item(f, popup->Items(), L"PopupPaste", L"")->SetAction(paste);
  Item(f, popup->Items(), L"PopupLine", L"-");
  Item(f, popup->Items(), L"PopupProperties", L"P&roperties");
  auto* panel = Put<TPanel>(f, L"PanelPopup", 10, 50, 400, 110);
  panel->SetCaption(L"Right-click here for the panel's menu");
  panel->SetPopupMenu(popup);
  return f;
}

PageRegistration page(40, MenusForm);

}  // namespace

}  // namespace kw::gallery
