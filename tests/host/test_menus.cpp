// Menus: shortcut texts both ways, the platform menus built from item trees, a form's menu bar
// with commands, sub-menu updates, shortcuts and re-created windows, merging, owner drawing,
// pop-up menus opened from a button and a context-menu message, and items in a form file.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "host/Application.h"
#include "host/Bitmap.h"
#include "host/ExtCtrls.h"
#include "host/Formtext.h"
#include "host/Forms.h"
#include "host/Menus.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"
#include "tests/support/Counters.h"
#include "tests/support/Input.h"

using namespace kw;
namespace ts = kw::testsupport;

namespace kw {
// A form class with a published handler that streamed items bind to by name.
class TMenuStreamForm : public TForm {
  KW_CLASS(TMenuStreamForm, TForm)
  explicit TMenuStreamForm(TComponent* owner) : TForm(owner) {}
  void SaveClick(TObject* sender) { LastSender = sender; ++Saves; }
  TObject* LastSender = nullptr;
  int Saves = 0;
};
KW_BEGIN_CLASS(TMenuStreamForm, TForm) { b.Method(L"SaveClick", &TMenuStreamForm::SaveClick); }
}  // namespace kw

namespace {

struct TEntry {
  String Text;
  UINT Type = 0;
  UINT State = 0;
  HMENU Sub = nullptr;
  UINT Id = 0;
};

TEntry EntryAt(HMENU menu, int pos) {
  wchar_t buf[256] = {};
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU | MIIM_ID;
  mii.dwTypeData = buf;
  mii.cch = 255;
  EXPECT_TRUE(GetMenuItemInfoW(menu, UINT(pos), TRUE, &mii)) << "no entry at " << pos;
  return TEntry{buf, mii.fType, mii.fState, mii.hSubMenu, mii.wID};
}

TMenuItem* NewItem(TComponent* owner, TMenuItem* parent, const wchar_t* caption, TShortCut sc = 0) {
  auto* i = new TMenuItem(owner);
  i->SetCaption(caption);
  i->SetShortCut(sc);
  parent->Add(i);
  return i;
}

class MenusTest : public ::testing::Test {
protected:
  void SetUp() override {
    ts::SetPumpFilter([](tagMSG& m) { return Application()->PreTranslate(m); });
    form = new TForm(nullptr);
    form->SetName(L"MenuForm");
    form->SetBounds(80, 80, 320, 220);
    form->AfterConstruction();
  }
  void TearDown() override {
    delete form;
    ts::SetPumpFilter(nullptr);
    ts::ResetInputState();
    ts::Pump();
  }
  TForm* form = nullptr;
};

// Ends the menu loop that is about to start: the loop reads these keys from the queue.
void PostMenuKeys(std::initializer_list<UINT> keys) {
  for (UINT k : keys) {
    PostMessageW(KwPopupListWindow(), WM_KEYDOWN, k, 1);
    PostMessageW(KwPopupListWindow(), WM_KEYUP, k, 0xC0000001);
  }
}

}  // namespace

// --- shortcut texts ---------------------------------------------------------------------------

TEST(ShortCutText, EveryClassOfKeyWithEveryModifierRoundTrips) {
  std::vector<Word> keys = {VK_BACK, VK_TAB, VK_ESCAPE, VK_RETURN, VK_SPACE, VK_PRIOR, VK_NEXT, VK_END,
                            VK_HOME, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_INSERT, VK_DELETE, VK_ADD,
                            VK_MULTIPLY, VK_SUBTRACT, VK_DIVIDE, VK_DECIMAL};
  for (Word k = '0'; k <= '9'; ++k) keys.push_back(k);
  for (Word k = 'A'; k <= 'Z'; ++k) keys.push_back(k);
  for (Word k = VK_NUMPAD0; k <= VK_NUMPAD9; ++k) keys.push_back(k);
  for (Word k = VK_F1; k <= VK_F12; ++k) keys.push_back(k);
  std::vector<TShiftState> mods = {{}, {ssShift}, {ssCtrl}, {ssAlt}, {ssShift, ssCtrl}, {ssShift, ssAlt},
                                   {ssCtrl, ssAlt}, {ssShift, ssCtrl, ssAlt}};
  std::vector<String> seen;
  for (Word k : keys) {
    for (const TShiftState& m : mods) {
      TShortCut sc = ShortCut(k, m);
      String text = ShortCutToText(sc);
      ASSERT_FALSE(text.empty()) << "key " << k;
      EXPECT_EQ(TextToShortCut(text), sc) << text;
      // Lower case reads the same.
      String lower = text;
      for (auto& ch : lower) ch = wchar_t(towlower(ch));
      EXPECT_EQ(TextToShortCut(lower), sc) << lower;
      Word key;
      TShiftState shift;
      ShortCutToKey(sc, key, shift);
      EXPECT_EQ(key, k);
      EXPECT_EQ(shift, m);
      seen.push_back(text);
    }
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "two keys share a text";
}

TEST(ShortCutText, NamesAndModifierOrderFollowTheHost) {
  EXPECT_EQ(ShortCutToText(ShortCut('S', {ssCtrl})), L"Ctrl+S");
  EXPECT_EQ(ShortCut('S', {ssCtrl}), 16467);
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F4, {ssAlt})), L"Alt+F4");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_INSERT, {ssCtrl, ssShift})), L"Shift+Ctrl+Ins");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_NEXT, {ssCtrl})), L"Ctrl+PgDn");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_RETURN, {ssCtrl})), L"Ctrl+Enter");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_NUMPAD7, {})), L"Num 7");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_BACK, {ssAlt, ssShift})), L"Shift+Alt+BkSp");
  EXPECT_EQ(ShortCutToText(0), L"(None)");
  EXPECT_EQ(ShortCutToText(0xFF), L"") << "a key without a name";
  // Modifiers in any order and case.
  EXPECT_EQ(TextToShortCut(L"Ctrl+Shift+Ins"), ShortCut(VK_INSERT, {ssShift, ssCtrl}));
  EXPECT_EQ(TextToShortCut(L"alt+CTRL+del"), ShortCut(VK_DELETE, {ssCtrl, ssAlt}));
  EXPECT_EQ(TextToShortCut(L"Ctrl+Num +"), ShortCut(VK_ADD, {ssCtrl}));
  EXPECT_EQ(TextToShortCut(L"F8"), VK_F8);
  for (const wchar_t* bad : {L"(None)", L"", L"Ctrl+", L"Ctrl+Bogus", L"Hyper+A", L"Ctrl+Ctrl+A", L"F25", L"AB"})
    EXPECT_EQ(TextToShortCut(bad), 0) << bad;
  EXPECT_EQ(ShortCut(0x1FF, {ssCtrl}), 0) << "not a virtual key";
}

// --- item trees and their platform menus ------------------------------------------------------

TEST_F(MenusTest, PlatformMenuShowsVisibleItemsWithTheirStatesAndFollowsChanges) {
  auto* menu = new TPopupMenu(form);
  TMenuItem* open = NewItem(form, menu->Items(), L"&Open", ShortCut('O', {ssCtrl}));
  NewItem(form, menu->Items(), L"-");
  TMenuItem* hidden = NewItem(form, menu->Items(), L"Hidden");
  hidden->SetVisible(false);
  TMenuItem* off = NewItem(form, menu->Items(), L"Off");
  off->SetEnabled(false);
  TMenuItem* view = NewItem(form, menu->Items(), L"View");
  TMenuItem* small = NewItem(form, view, L"Small");
  TMenuItem* large = NewItem(form, view, L"Large");
  small->SetRadioItem(true);
  large->SetRadioItem(true);
  small->SetChecked(true);

  HMENU h = menu->Handle();
  ASSERT_EQ(GetMenuItemCount(h), 4);
  TEntry e0 = EntryAt(h, 0);
  EXPECT_EQ(e0.Text, L"&Open\tCtrl+O");
  EXPECT_EQ(e0.Id, open->Command());
  EXPECT_TRUE(EntryAt(h, 1).Type & MFT_SEPARATOR);
  EXPECT_EQ(EntryAt(h, 2).Text, L"Off");
  EXPECT_TRUE(EntryAt(h, 2).State & MFS_GRAYED);
  TEntry e3 = EntryAt(h, 3);
  ASSERT_EQ(e3.Sub, view->Handle());
  EXPECT_TRUE(EntryAt(e3.Sub, 0).State & MFS_CHECKED);
  EXPECT_TRUE(EntryAt(e3.Sub, 0).Type & MFT_RADIOCHECK);

  // A radio item checked turns its siblings of the group off, in the items and the menu.
  large->SetChecked(true);
  EXPECT_FALSE(small->Checked());
  EXPECT_FALSE(EntryAt(view->Handle(), 0).State & MFS_CHECKED);
  EXPECT_TRUE(EntryAt(view->Handle(), 1).State & MFS_CHECKED);
  // Changes reach the platform menu: caption, visibility, removal.
  open->SetCaption(L"&Load");
  EXPECT_EQ(EntryAt(h, 0).Text, L"&Load\tCtrl+O");
  hidden->SetVisible(true);
  EXPECT_EQ(GetMenuItemCount(h), 5);
  EXPECT_EQ(EntryAt(h, 2).Text, L"Hidden");
  delete hidden;
  EXPECT_EQ(GetMenuItemCount(h), 4);
  EXPECT_EQ(menu->Items()->Count(), 4);
  // Finding by caption ignores accelerators; by command and shortcut through the tree.
  EXPECT_EQ(menu->Items()->Find(L"load"), open);
  EXPECT_EQ(menu->FindItem(large->Command(), fkCommand), large);
  EXPECT_EQ(menu->FindItem(ShortCut('O', {ssCtrl}), fkShortCut), open);
  EXPECT_EQ(menu->FindItem(ShortCut('P', {ssCtrl}), fkShortCut), nullptr);
  // A tree cannot hold an item twice or an item inside itself.
  EXPECT_THROW(view->Add(small), EMenuError);
  auto* loose = new TMenuItem(form);
  loose->Add(new TMenuItem(form));
  EXPECT_THROW(loose->Items(0)->Add(loose), EMenuError);
}

TEST_F(MenusTest, MenuBarTakesCommandsSubMenuUpdatesAndSurvivesRecreation) {
  auto* main = new TMainMenu(form);
  TMenuItem* file = NewItem(form, main->Items(), L"&File");
  TMenuItem* save = NewItem(form, file, L"&Save", ShortCut('S', {ssCtrl}));
  TMenuItem* quit = NewItem(form, main->Items(), L"&Quit");
  int saves = 0, quits = 0, fileOpens = 0;
  save->OnClick = [&](TObject*) { ++saves; };
  quit->OnClick = [&](TObject*) { ++quits; };
  // The parent's OnClick runs as its sub-menu opens and may change the entries.
  file->OnClick = [&](TObject*) {
    ++fileOpens;
    save->SetEnabled(fileOpens % 2 == 0);
  };
  int heightBefore = form->ClientHeight();
  form->SetMenu(main);
  form->Show();
  ts::Pump();
  HWND wnd = form->Handle();
  EXPECT_EQ(GetMenu(wnd), main->Handle());
  EXPECT_LT(form->ClientHeight(), heightBefore) << "the bar takes room from the client area";
  TEntry top = EntryAt(GetMenu(wnd), 0);
  EXPECT_EQ(top.Text, L"&File") << "no shortcut text on the bar";
  EXPECT_EQ(EntryAt(top.Sub, 0).Text, L"&Save\tCtrl+S");

  SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(quit->Command(), 0), 0);
  EXPECT_EQ(quits, 1);
  // The entry under the cursor shows its long hint as the application's; a sub-menu's parent too.
  save->SetHint(L"Save|Saves the file");
  file->SetHint(L"File commands");
  SendMessageW(wnd, WM_MENUSELECT, MAKEWPARAM(save->Command(), MF_STRING), reinterpret_cast<LPARAM>(top.Sub));
  EXPECT_EQ(Application()->Hint(), L"Saves the file");
  SendMessageW(wnd, WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP), reinterpret_cast<LPARAM>(GetMenu(wnd)));
  EXPECT_EQ(Application()->Hint(), L"File commands");
  SendMessageW(wnd, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_EQ(Application()->Hint(), L"");
  SendMessageW(wnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(top.Sub), 0);
  EXPECT_EQ(fileOpens, 1);
  EXPECT_TRUE(EntryAt(top.Sub, 0).State & MFS_GRAYED);
  // Another menu's command number is not ours.
  auto* other = new TPopupMenu(form);
  TMenuItem* stray = NewItem(form, other->Items(), L"Stray");
  int strays = 0;
  stray->OnClick = [&](TObject*) { ++strays; };
  SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(stray->Command(), 0), 0);
  EXPECT_EQ(strays, 0);

  form->RecreateWnd();
  ts::Pump();
  ASSERT_NE(form->Handle(), nullptr);
  EXPECT_EQ(GetMenu(form->Handle()), main->Handle());
  EXPECT_EQ(GetMenuItemCount(main->Handle()), 2) << "the menu outlived the old window";
  SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(save->Command(), 0), 0);
  EXPECT_EQ(saves, 0) << "a disabled item still gets its command number but Click refuses";
  save->SetEnabled(true);
  SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(save->Command(), 0), 0);
  EXPECT_EQ(saves, 1);

  // A menu serves one form; freeing it takes the bar away.
  auto* second = new TForm(nullptr);
  EXPECT_THROW(second->SetMenu(main), EInvalidOperation);
  delete second;
  delete main;
  EXPECT_EQ(form->Menu(), nullptr);
  EXPECT_EQ(GetMenu(form->Handle()), nullptr);
}

TEST_F(MenusTest, ShortCutKeysReachTheItemThroughTheFocusedControl) {
  auto* main = new TMainMenu(form);
  TMenuItem* file = NewItem(form, main->Items(), L"&File");
  TMenuItem* save = NewItem(form, file, L"&Save", ShortCut('S', {ssCtrl}));
  TMenuItem* print = NewItem(form, file, L"&Print", ShortCut(VK_F9, {ssShift}));
  print->SetEnabled(false);
  int saves = 0, prints = 0;
  save->OnClick = [&](TObject*) { ++saves; };
  print->OnClick = [&](TObject*) { ++prints; };
  form->SetMenu(main);
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetBounds(10, 10, 100, 22);
  form->Show();
  ts::Pump();
  edit->SetFocus();
  ts::Pump();

  ts::PressKey(nullptr, 'S', {ssCtrl});
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(edit->Text(), L"") << "the shortcut key is used up";
  ts::PressKey(nullptr, VK_F9, {ssShift});
  EXPECT_EQ(prints, 0) << "a disabled item takes no key";
  ts::PressKey(nullptr, 'S');
  EXPECT_EQ(saves, 1) << "the plain key is not the shortcut";
  EXPECT_EQ(edit->Text(), L"s");
  // The sub-menu's OnClick runs first, as when it opens, and may enable the entry.
  TMenuItem* paste = NewItem(form, file, L"&Paste", ShortCut('B', {ssCtrl}));
  bool full = false;
  int pastes = 0;
  file->OnClick = [&](TObject*) { paste->SetEnabled(full); };
  paste->OnClick = [&](TObject*) { ++pastes; };
  ts::PressKey(nullptr, 'B', {ssCtrl});
  EXPECT_EQ(pastes, 0);
  full = true;
  ts::PressKey(nullptr, 'B', {ssCtrl});
  EXPECT_EQ(pastes, 1);

  // The form's OnShortCut comes first and may keep the key from the menu.
  int seen = 0;
  form->OnShortCut = [&](TWMKey& key, bool& handled) {
    ++seen;
    handled = key.CharCode == 'S';
  };
  ts::PressKey(nullptr, 'S', {ssCtrl});
  EXPECT_EQ(saves, 1);
  EXPECT_GE(seen, 1);
  form->OnShortCut = nullptr;
  // The application's handler sees what the form left.
  int appSeen = 0;
  Application()->OnShortCut = [&](TWMKey& key, bool& handled) {
    if (key.CharCode == 'K') {
      ++appSeen;
      handled = true;
    }
  };
  ts::PressKey(nullptr, 'K', {ssCtrl});
  Application()->OnShortCut = nullptr;
  EXPECT_EQ(appSeen, 1);
  EXPECT_EQ(edit->Text(), L"s");

  // The main form's menu answers keys that another form's controls leave.
  Application()->SetMainForm(form);
  auto* other = new TForm(nullptr);
  other->SetBounds(300, 300, 200, 120);
  other->AfterConstruction();
  auto* otherEdit = new TEdit(other);
  otherEdit->SetParent(other);
  other->Show();
  ts::Pump();
  otherEdit->SetFocus();
  ts::Pump();
  ts::PressKey(nullptr, 'S', {ssCtrl});
  int savesFromOther = saves;
  delete other;
  Application()->ClearMainForm();
  EXPECT_EQ(savesFromOther, 2);
}

TEST_F(MenusTest, MergedMenuReplacesGroupsAndGoesAwayWithTheChildMenu) {
  auto* main = new TMainMenu(form);
  TMenuItem* file = NewItem(form, main->Items(), L"File");
  TMenuItem* window = NewItem(form, main->Items(), L"Window");
  window->SetGroupIndex(9);
  auto* child = new TMainMenu(form);
  NewItem(form, child->Items(), L"Document");
  TMenuItem* edit = NewItem(form, child->Items(), L"Edit");
  edit->SetGroupIndex(2);
  TMenuItem* tools = NewItem(form, child->Items(), L"Tools");
  tools->SetGroupIndex(12);
  int edits = 0;
  edit->OnClick = [&](TObject*) { ++edits; };
  form->SetMenu(main);
  form->Show();
  ts::Pump();
  HMENU bar = main->Handle();

  main->Merge(child);
  ASSERT_EQ(GetMenuItemCount(bar), 4);
  EXPECT_EQ(EntryAt(bar, 0).Text, L"Document") << "group 0 of the child replaces ours";
  EXPECT_EQ(EntryAt(bar, 1).Text, L"Edit");
  EXPECT_EQ(EntryAt(bar, 2).Text, L"Window");
  EXPECT_EQ(EntryAt(bar, 3).Text, L"Tools");
  // The merged items' commands come through the main form's menu.
  SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(edit->Command(), 0), 0);
  EXPECT_EQ(edits, 1);
  // A change in the child menu shows on the bar.
  edit->SetCaption(L"&Edit");
  EXPECT_EQ(EntryAt(bar, 1).Text, L"&Edit");

  main->Unmerge(child);
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  EXPECT_EQ(EntryAt(bar, 0).Text, L"File");
  EXPECT_EQ(EntryAt(bar, 0).Id, file->Command());
  main->Merge(child);
  EXPECT_EQ(main->Merged(), child);
  delete child;
  EXPECT_EQ(main->Merged(), nullptr);
  EXPECT_EQ(GetMenuItemCount(bar), 2);
}

TEST_F(MenusTest, OwnerDrawnItemsMeasureAndDrawThroughTheirEventsOrTheHostLook) {
  auto* menu = new TPopupMenu(form);
  TMenuItem* custom = NewItem(form, menu->Items(), L"Custom");
  TMenuItem* plain = NewItem(form, menu->Items(), L"Plain", ShortCut('P', {ssCtrl}));
  custom->OnMeasureItem = [](TObject*, TCanvas*, int& w, int& h) {
    w = 77;
    h = 33;
  };
  custom->OnDrawItem = [](TObject*, TCanvas* c, TRect r, bool selected) {
    c->Brush()->SetColor(selected ? clLime : clRed);
    c->FillRect(r);
  };
  HMENU h = menu->Handle();
  EXPECT_TRUE(EntryAt(h, 0).Type & MFT_OWNERDRAW);
  EXPECT_FALSE(EntryAt(h, 1).Type & MFT_OWNERDRAW);
  menu->SetOwnerDraw(true);
  EXPECT_TRUE(EntryAt(h, 1).Type & MFT_OWNERDRAW);

  MEASUREITEMSTRUCT mis{};
  mis.CtlType = ODT_MENU;
  mis.itemID = custom->Command();
  mis.itemData = reinterpret_cast<ULONG_PTR>(custom);
  form->Show();
  EXPECT_EQ(SendMessageW(form->Handle(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis)), 1);
  EXPECT_EQ(mis.itemWidth, 77u);
  EXPECT_EQ(mis.itemHeight, 33u);
  mis.itemID = plain->Command();
  mis.itemData = reinterpret_cast<ULONG_PTR>(plain);
  ASSERT_TRUE(TMenu::MeasureItemMessage(&mis));
  EXPECT_GT(mis.itemWidth, 40u) << "room for the caption and the shortcut";
  mis.itemData = 12345;
  EXPECT_FALSE(TMenu::MeasureItemMessage(&mis)) << "data that is not the item";

  ts::TLeakCheck leaks("owner drawing");
  TBitmap bmp(120, 60);
  HDC dc = bmp.Canvas()->Handle();
  HGDIOBJ brushBefore = GetCurrentObject(dc, OBJ_BRUSH);
  COLORREF textBefore = GetTextColor(dc);
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_MENU;
  dis.itemID = custom->Command();
  dis.itemData = reinterpret_cast<ULONG_PTR>(custom);
  dis.hDC = dc;
  dis.rcItem = RECT{0, 0, 120, 20};
  EXPECT_EQ(SendMessageW(form->Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis)), 1);
  dis.rcItem = RECT{0, 20, 120, 40};
  dis.itemState = ODS_SELECTED;
  ASSERT_TRUE(TMenu::DrawItemMessage(&dis));
  dis.itemID = plain->Command();
  dis.itemData = reinterpret_cast<ULONG_PTR>(plain);
  dis.rcItem = RECT{0, 40, 120, 60};
  dis.itemState = ODS_SELECTED;
  ASSERT_TRUE(TMenu::DrawItemMessage(&dis));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brushBefore);
  EXPECT_EQ(GetTextColor(dc), textBefore);
  EXPECT_EQ(bmp.Canvas()->Pixels(3, 3), clRed);
  EXPECT_EQ(bmp.Canvas()->Pixels(3, 23), clLime);
  // The host look: a selected item on the highlight colour with its text in the other one.
  EXPECT_EQ(bmp.Canvas()->Pixels(2, 42), ColorToRGB(clHighlight));
  bool text = false;
  for (int x = 18; x < 60 && !text; ++x)
    for (int y = 42; y < 58 && !text; ++y) text = bmp.Canvas()->Pixels(x, y) == ColorToRGB(clHighlightText);
  EXPECT_TRUE(text) << "the caption is drawn";
}

// --- pop-up menus ---------------------------------------------------------------------------

TEST_F(MenusTest, PopupFromAButtonOpensTwiceAndTheClosingClickDoesNotReopenIt) {
  auto* menu = new TPopupMenu(form);
  TMenuItem* first = NewItem(form, menu->Items(), L"First");
  NewItem(form, menu->Items(), L"Second");
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetBounds(20, 20, 90, 25);
  form->Show();
  ts::Pump();
  HWND bw = button->Handle();
  std::vector<String> log;
  bool swallow = false;
  int pressAfterLoop = 0;
  // A drop-down button: it opens the menu below itself, and a press on itself that closed the
  // menu must not open it again.
  button->OnClick = [&](TObject*) {
    log.push_back(L"click");
    if (swallow) {
      swallow = false;
      return;
    }
    TPoint p = button->ClientToScreen(TPoint(0, button->Height()));
    menu->Popup(p.X, p.Y);
    if (KwPressWaitingIn(bw, TRect(0, 0, button->Width(), button->Height()))) {
      swallow = true;
      ++pressAfterLoop;
    }
  };
  menu->OnPopup = [&](TObject*) {
    log.push_back(L"popup");
    EXPECT_FALSE(menu->InPopup());
    if (menu->CloseCount() == 0) {
      // The user clicks the button again while the menu is open.
      TPoint c = button->ClientToScreen(TPoint(10, 10));
      SetCursorPos(c.X, c.Y);
      PostMessageW(bw, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
      PostMessageW(bw, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    }
    PostMenuKeys({VK_ESCAPE, VK_ESCAPE});
  };
  menu->OnClose = [&](TObject*) { log.push_back(L"close " + IntToStr(menu->CloseCount())); };
  first->OnClick = [&](TObject*) { log.push_back(L"first"); };

  ts::Click(bw, 10, 10);
  ts::Pump(50);
  EXPECT_EQ(menu->CloseCount(), 1);
  EXPECT_EQ(pressAfterLoop, 1) << "the closing press waited for the button";
  EXPECT_FALSE(swallow) << "and was swallowed";
  ts::Click(bw, 10, 10);
  ts::Pump(50);
  EXPECT_EQ(menu->CloseCount(), 2);
  std::vector<String> expected = {L"click", L"popup", L"close 1", L"click", L"click", L"popup", L"close 2"};
  EXPECT_EQ(log, expected);
  EXPECT_FALSE(menu->InPopup());
  EXPECT_NE(menu->LastCloseTick(), 0u);
}

TEST_F(MenusTest, ChosenItemIsClickedAfterTheLoopHasEnded) {
  form->Show();
  ts::Pump();
  // The menu's owner window and handles go with the last pop-up menu.
  ts::TLeakCheck leaks("pop-up menu");
  auto* menu = new TPopupMenu(form);
  TMenuItem* first = NewItem(form, menu->Items(), L"First");
  TMenuItem* second = NewItem(form, menu->Items(), L"Second");
  std::vector<String> log;
  menu->OnPopup = [&](TObject*) { PostMenuKeys({VK_DOWN, VK_DOWN, VK_RETURN}); };
  menu->OnClose = [&](TObject*) { log.push_back(L"close"); };
  first->OnClick = [&](TObject*) { log.push_back(L"first"); };
  second->OnClick = [&](TObject*) {
    log.push_back(menu->InPopup() ? L"second inside" : L"second after");
  };
  menu->Popup(100, 100);
  std::vector<String> expected = {L"close", L"second after"};
  EXPECT_EQ(log, expected);
  EXPECT_EQ(menu->PopupPoint(), TPoint(100, 100));
  delete menu;
}

TEST_F(MenusTest, ContextMenuMessageOpensTheMenuOfTheControlUnderIt) {
  auto* panelMenu = new TPopupMenu(form);
  NewItem(form, panelMenu->Items(), L"Panel item");
  auto* labelMenu = new TPopupMenu(form);
  NewItem(form, labelMenu->Items(), L"Label item");
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetBounds(10, 10, 200, 120);
  panel->SetPopupMenu(panelMenu);
  auto* label = new TLabel(form);
  label->SetParent(panel);
  label->SetAutoSize(false);
  label->SetBounds(10, 10, 60, 20);
  label->SetPopupMenu(labelMenu);
  auto* inner = new TPanel(form);
  inner->SetParent(panel);
  inner->SetBounds(10, 60, 80, 22);
  form->Show();
  ts::Pump();
  for (TPopupMenu* m : {panelMenu, labelMenu}) m->OnPopup = [](TObject*) { PostMenuKeys({VK_ESCAPE, VK_ESCAPE}); };

  TPoint overLabel = label->ClientToScreen(TPoint(5, 5));
  SendMessageW(panel->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(panel->Handle()),
               MAKELPARAM(overLabel.X, overLabel.Y));
  EXPECT_EQ(labelMenu->CloseCount(), 1);
  EXPECT_EQ(labelMenu->PopupComponent(), label);
  EXPECT_EQ(labelMenu->PopupPoint(), overLabel);
  EXPECT_EQ(panelMenu->CloseCount(), 0);

  // The keyboard's menu key: at the control itself.
  SendMessageW(panel->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(panel->Handle()), MAKELPARAM(-1, -1));
  EXPECT_EQ(panelMenu->CloseCount(), 1);
  EXPECT_EQ(panelMenu->PopupComponent(), panel);
  EXPECT_EQ(panelMenu->PopupPoint(), panel->ClientToScreen(TPoint(0, 0)));

  // A control without a menu hands the message to its parent.
  TPoint overInner = inner->ClientToScreen(TPoint(3, 3));
  SendMessageW(inner->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(inner->Handle()),
               MAKELPARAM(overInner.X, overInner.Y));
  EXPECT_EQ(panelMenu->CloseCount(), 2);
  EXPECT_EQ(panelMenu->PopupComponent(), panel);

  // OnContextPopup may handle it; AutoPopup off leaves the menu shut.
  bool asked = false;
  panel->OnContextPopup = [&](TObject*, TPoint p, bool& handled) {
    asked = p == TPoint(-1, -1);
    handled = true;
  };
  SendMessageW(panel->Handle(), WM_CONTEXTMENU, 0, MAKELPARAM(-1, -1));
  EXPECT_TRUE(asked);
  panel->OnContextPopup = nullptr;
  panelMenu->SetAutoPopup(false);
  SendMessageW(panel->Handle(), WM_CONTEXTMENU, 0, MAKELPARAM(-1, -1));
  EXPECT_EQ(panelMenu->CloseCount(), 2);
  // A freed menu leaves no dangling pointer behind.
  delete labelMenu;
  EXPECT_EQ(label->PopupMenu(), nullptr);
}

// --- streaming -------------------------------------------------------------------------------

TEST(MenuStreaming, ItemsRoundTripThroughTheTextFormWithShortcutsChecksAndHandlers) {
  std::unique_ptr<TMenuStreamForm> form(KwCreate<TMenuStreamForm>(nullptr));
  form->SetName(L"MenuStreamForm");
  auto* main = new TMainMenu(form.get());
  main->SetName(L"MainMenu1");
  auto named = [&](TMenuItem* parent, const wchar_t* name, const wchar_t* caption) {
    TMenuItem* i = NewItem(form.get(), parent, caption);
    i->SetName(name);
    return i;
  };
  TMenuItem* file = named(main->Items(), L"FileItem", L"&File");
  TMenuItem* save = named(file, L"SaveItem", L"&Save");
  save->SetShortCut(ShortCut('S', {ssCtrl}));
  save->SetChecked(true);
  save->OnClick.Bind(form.get(), &TMenuStreamForm::SaveClick, L"SaveClick");
  named(file, L"Line1", L"-");
  named(main->Items(), L"HelpItem", L"&Help")->SetGroupIndex(7);
  form->SetMenu(main);

  TBytesStream bin, text;
  bin.WriteComponent(form.get());
  bin.SetPosition(0);
  ObjectBinaryToText(bin, text);
  TBytes bytes = text.Bytes();
  std::string written(bytes.begin(), bytes.end());
  EXPECT_NE(written.find("ShortCut = 16467"), std::string::npos) << written;
  EXPECT_NE(written.find("OnClick = SaveClick"), std::string::npos) << written;
  EXPECT_NE(written.find("Menu = MainMenu1"), std::string::npos) << written;
  // Items sit inside their parents, not beside the menu.
  size_t menuAt = written.find("object MainMenu1: TMainMenu");
  size_t fileAt = written.find("object FileItem: TMenuItem");
  size_t saveAt = written.find("object SaveItem: TMenuItem");
  ASSERT_NE(menuAt, std::string::npos) << written;
  EXPECT_LT(menuAt, fileAt);
  EXPECT_LT(fileAt, saveAt);

  text.SetPosition(0);
  TBytesStream again;
  ObjectTextToBinary(text, again);
  again.SetPosition(0);
  std::unique_ptr<TMenuStreamForm> copy(KwCreate<TMenuStreamForm>(nullptr));
  again.ReadComponent(copy.get());
  auto* menu2 = dynamic_cast<TMainMenu*>(copy->FindComponent(L"MainMenu1"));
  ASSERT_NE(menu2, nullptr);
  EXPECT_EQ(copy->Menu(), menu2);
  ASSERT_EQ(menu2->Items()->Count(), 2);
  TMenuItem* file2 = menu2->Items()->Items(0);
  EXPECT_EQ(file2->Name(), L"FileItem");
  EXPECT_EQ(file2->Owner(), copy.get());
  ASSERT_EQ(file2->Count(), 2);
  TMenuItem* save2 = file2->Items(0);
  EXPECT_EQ(save2->Caption(), L"&Save");
  EXPECT_EQ(save2->ShortCut(), ShortCut('S', {ssCtrl}));
  EXPECT_TRUE(save2->Checked());
  EXPECT_TRUE(file2->Items(1)->IsLine());
  EXPECT_EQ(menu2->Items()->Items(1)->GroupIndex(), 7);
  save2->Click();
  EXPECT_EQ(copy->Saves, 1);
  EXPECT_EQ(copy->LastSender, save2);
  EXPECT_EQ(form->Saves, 0);
  // The platform menu of the read menu shows the read items.
  HMENU sub = EntryAt(menu2->Handle(), 0).Sub;
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(EntryAt(sub, 0).Text, L"&Save\tCtrl+S");
  EXPECT_TRUE(EntryAt(sub, 0).State & MFS_CHECKED);
}
