// Menus: shortcut texts, menu items and their platform menus (built again from the items on
// every change), command numbers, owner drawing, merging and the pop-up menu's modal loop with
// its hidden owner window. The forms' side (menu bar, WM_COMMAND) is in Forms.cpp.
#include "host/Menus.h"

#include <algorithm>
#include <unordered_map>

#include "host/ActnList.h"
#include "host/Application.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_DEFINE_ENUM(TMenuBreak, L"mbNone", L"mbBreak", L"mbBarBreak")
KW_DEFINE_ENUM(TPopupAlignment, L"paLeft", L"paRight", L"paCenter")
KW_DEFINE_ENUM(TTrackButton, L"tbRightButton", L"tbLeftButton")

// --- shortcuts -----------------------------------------------------------------------------

namespace {

String KeyName(Word key) {
  switch (key) {
    case VK_BACK: return L"BkSp";
    case VK_TAB: return L"Tab";
    case VK_ESCAPE: return L"Esc";
    case VK_RETURN: return L"Enter";
    case VK_SPACE: return L"Space";
    case VK_PRIOR: return L"PgUp";
    case VK_NEXT: return L"PgDn";
    case VK_END: return L"End";
    case VK_HOME: return L"Home";
    case VK_LEFT: return L"Left";
    case VK_UP: return L"Up";
    case VK_RIGHT: return L"Right";
    case VK_DOWN: return L"Down";
    case VK_INSERT: return L"Ins";
    case VK_DELETE: return L"Del";
    case VK_MULTIPLY: return L"Num *";
    case VK_ADD: return L"Num +";
    case VK_SUBTRACT: return L"Num -";
    case VK_DECIMAL: return L"Num .";
    case VK_DIVIDE: return L"Num /";
  }
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return String(1, wchar_t(key));
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return L"Num " + IntToStr(key - VK_NUMPAD0);
  if (key >= VK_F1 && key <= VK_F24) return L"F" + IntToStr(key - VK_F1 + 1);
  return {};
}

bool StartsWithText(const String& s, size_t at, const wchar_t* prefix) {
  size_t n = wcslen(prefix);
  return s.size() - at >= n && SameText(s.substr(at, n), prefix);
}

// Command numbers of live items: WM_COMMAND carries 16 bits.
std::unordered_map<Word, TMenuItem*>& Commands() {
  static std::unordered_map<Word, TMenuItem*> map;
  return map;
}

Word NewCommand(TMenuItem* item) {
  static Word next = 0;
  auto& map = Commands();
  for (int tries = 0; tries < 0x10000; ++tries) {
    ++next;
    if (next == 0) next = 1;
    if (!map.count(next)) {
      map[next] = item;
      return next;
    }
  }
  throw EMenuError(L"Too many menu items");
}

TMenuItem* ItemOfCommand(Word command) {
  auto it = Commands().find(command);
  return it == Commands().end() ? nullptr : it->second;
}

std::vector<TMenu*>& LiveMenus() {
  static std::vector<TMenu*> list;
  return list;
}

void ClearMenu(HMENU menu) {
  // RemoveMenu leaves the sub-menus alive: they belong to their items.
  while (GetMenuItemCount(menu) > 0) RemoveMenu(menu, 0, MF_BYPOSITION);
}

}  // namespace

TShortCut ShortCut(Word key, TShiftState shift) {
  if (key & 0xFF00) return 0;
  TShortCut r = key;
  if (shift.Contains(ssShift)) r |= scShift;
  if (shift.Contains(ssCtrl)) r |= scCtrl;
  if (shift.Contains(ssAlt)) r |= scAlt;
  return r;
}

void ShortCutToKey(TShortCut shortCut, Word& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = {};
  if (shortCut & scShift) shift.Include(ssShift);
  if (shortCut & scCtrl) shift.Include(ssCtrl);
  if (shortCut & scAlt) shift.Include(ssAlt);
}

String ShortCutToText(TShortCut shortCut) {
  if (shortCut == 0) return L"(None)";
  String name = KeyName(shortCut & 0xFF);
  if (name.empty()) return {};
  String r;
  if (shortCut & scShift) r += L"Shift+";
  if (shortCut & scCtrl) r += L"Ctrl+";
  if (shortCut & scAlt) r += L"Alt+";
  return r + name;
}

TShortCut TextToShortCut(const String& text) {
  TShortCut mods = 0;
  size_t at = 0;
  for (;;) {
    if (StartsWithText(text, at, L"Shift+") && !(mods & scShift)) {
      mods |= scShift;
      at += 6;
    } else if (StartsWithText(text, at, L"Ctrl+") && !(mods & scCtrl)) {
      mods |= scCtrl;
      at += 5;
    } else if (StartsWithText(text, at, L"Alt+") && !(mods & scAlt)) {
      mods |= scAlt;
      at += 4;
    } else {
      break;
    }
  }
  String rest = text.substr(at);
  if (rest.empty()) return 0;
  for (int key = 1; key < 256; ++key) {
    String name = KeyName(Word(key));
    if (!name.empty() && SameText(name, rest)) return TShortCut(key | mods);
  }
  return 0;
}

TShortCut ShortCutFromMessage(const TWMKey& message) {
  TShiftState shift;
  if (GetKeyState(VK_SHIFT) < 0) shift.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) shift.Include(ssCtrl);
  if (message.KeyData & 0x20000000) shift.Include(ssAlt);
  return ShortCut(message.CharCode & 0xFF, shift);
}

String StripHotkey(const String& text) {
  String r;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&') {
      if (i + 1 < text.size() && text[i + 1] == L'&') r += L'&';
      else continue;
      ++i;
      continue;
    }
    r += text[i];
  }
  return r;
}

// --- the menu item's action link ---------------------------------------------------------

class TMenuActionLink : public TActionLink {
  KW_CLASS(TMenuActionLink, TActionLink)
  explicit TMenuActionLink(TMenuItem* client) : TActionLink(client), FItem(client) {}
  TCustomAction* Custom() const { return dynamic_cast<TCustomAction*>(FAction); }
  bool IsCaptionLinked() const override { return Custom() && FItem->Caption() == Custom()->Caption(); }
  bool IsCheckedLinked() const override { return Custom() && FItem->Checked() == Custom()->Checked(); }
  bool IsEnabledLinked() const override { return Custom() && FItem->Enabled() == Custom()->Enabled(); }
  bool IsHintLinked() const override { return Custom() && FItem->Hint() == Custom()->Hint(); }
  bool IsVisibleLinked() const override { return Custom() && FItem->Visible() == Custom()->Visible(); }
  bool IsImageIndexLinked() const override { return Custom() && FItem->ImageIndex() == Custom()->ImageIndex(); }
  bool IsShortCutLinked() const override { return Custom() && FItem->ShortCut() == Custom()->ShortCut(); }
  bool IsHelpLinked() const override { return Custom() && FItem->HelpContext() == Custom()->HelpContext(); }
  bool IsGroupIndexLinked() const override { return Custom() && FItem->GroupIndex() == Custom()->GroupIndex(); }
  void SetCaption(const String& v) override { if (IsCaptionLinked()) FItem->SetCaption(v); }
  void SetChecked(bool v) override { if (IsCheckedLinked()) FItem->SetChecked(v); }
  void SetEnabled(bool v) override { if (IsEnabledLinked()) FItem->SetEnabled(v); }
  void SetHint(const String& v) override { if (IsHintLinked()) FItem->SetHint(v); }
  void SetVisible(bool v) override { if (IsVisibleLinked()) FItem->SetVisible(v); }
  void SetImageIndex(int v) override { if (IsImageIndexLinked()) FItem->SetImageIndex(v); }
  void SetShortCut(Word v) override { if (IsShortCutLinked()) FItem->SetShortCut(v); }
  void SetHelpContext(int v) override { if (IsHelpLinked()) FItem->SetHelpContext(v); }
  void SetGroupIndex(int v) override {
    if (IsGroupIndexLinked()) {
      FItem->SetGroupIndex(Byte(v));
      FItem->SetRadioItem(v > 0);
    }
  }
  void SetAutoCheck(bool v) override { FItem->SetAutoCheck(v); }

protected:
  void Change() override {
    TActionLink::Change();
    if (FAction) FItem->ActionChange(FAction, false);
  }
  TMenuItem* FItem;
};

KW_REGISTER_CLASS(TMenuActionLink, TActionLink)

// --- TMenuItem -------------------------------------------------------------------------------

KW_BEGIN_CLASS(TMenuItem, TComponent) {
  b.Prop(L"Action", &TMenuItem::Action, &TMenuItem::SetAction);
  b.Prop(L"AutoCheck", &TMenuItem::AutoCheck, &TMenuItem::SetAutoCheck).Default(false);
  b.Prop(L"Break", &TMenuItem::Break, &TMenuItem::SetBreak).Default(mbNone);
  b.Prop(L"Caption", &TMenuItem::Caption, &TMenuItem::SetCaption).Default(L"").Stored(&TMenuItem::CaptionStored);
  b.Prop(L"Checked", &TMenuItem::Checked, &TMenuItem::SetChecked).Default(false).Stored(&TMenuItem::CheckedStored);
  b.Prop(L"Default", &TMenuItem::Default, &TMenuItem::SetDefault).Default(false);
  b.Prop(L"Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled).Default(true).Stored(&TMenuItem::EnabledStored);
  b.Prop(L"GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex).Default(0);
  b.Prop(L"HelpContext", &TMenuItem::HelpContext, &TMenuItem::SetHelpContext)
      .Default(0)
      .Stored(&TMenuItem::HelpContextStored);
  b.Prop(L"Hint", &TMenuItem::Hint, &TMenuItem::SetHint).Default(L"").Stored(&TMenuItem::HintStored);
  b.Prop(L"ImageIndex", &TMenuItem::ImageIndex, &TMenuItem::SetImageIndex)
      .Default(-1)
      .Stored(&TMenuItem::ImageIndexStored);
  b.Prop(L"RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem).Default(false);
  b.Prop(L"ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut).Default(0).Stored(&TMenuItem::ShortCutStored);
  b.Prop(L"Visible", &TMenuItem::Visible, &TMenuItem::SetVisible).Default(true).Stored(&TMenuItem::VisibleStored);
  b.Event(L"OnClick", &TMenuItem::OnClick);
  b.Event(L"OnDrawItem", &TMenuItem::OnDrawItem);
  b.Event(L"OnMeasureItem", &TMenuItem::OnMeasureItem);
}

bool TMenuItem::CaptionStored() const { return !FActionLink || !FActionLink->IsCaptionLinked(); }
bool TMenuItem::CheckedStored() const { return !FActionLink || !FActionLink->IsCheckedLinked(); }
bool TMenuItem::EnabledStored() const { return !FActionLink || !FActionLink->IsEnabledLinked(); }
bool TMenuItem::HintStored() const { return !FActionLink || !FActionLink->IsHintLinked(); }
bool TMenuItem::ShortCutStored() const { return !FActionLink || !FActionLink->IsShortCutLinked(); }
bool TMenuItem::VisibleStored() const { return !FActionLink || !FActionLink->IsVisibleLinked(); }
bool TMenuItem::ImageIndexStored() const { return !FActionLink || !FActionLink->IsImageIndexLinked(); }
bool TMenuItem::HelpContextStored() const { return !FActionLink || !FActionLink->IsHelpLinked(); }

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) { FCommand = NewCommand(this); }

TMenuItem::~TMenuItem() {
  FActionLink.reset();
  try {
    // The sub-items go first; each takes itself out of this item.
    while (!FItems.empty()) delete FItems.back();
    if (FParent) FParent->Remove(this);
  } catch (...) {
    KwHandleCurrentException(this);
  }
  DestroyHandle();
  Commands().erase(FCommand);
}

void TMenuItem::DestroyHandle() {
  if (!FHandle) return;
  ClearMenu(FHandle);
  DestroyMenu(FHandle);
  FHandle = nullptr;
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count()) throw EMenuError(Format(SRes::SListIndexError, {index}));
  return FItems[size_t(index)];
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  return it == FItems.end() ? -1 : int(it - FItems.begin());
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item) return;
  if (item->FParent) throw EMenuError(L"Menu inserted twice");
  for (TMenuItem* p = this; p; p = p->FParent)
    if (p == item) throw EMenuError(L"Menu inserted twice");
  if (index < 0 || index > Count()) throw EMenuError(Format(SRes::SListIndexError, {index}));
  FItems.insert(FItems.begin() + index, item);
  item->FParent = this;
  if (item->FRadioItem && item->FChecked) item->TurnSiblingsOff();
  MenuChanged(true);
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  if (it == FItems.end()) throw EMenuError(L"Sub-menu is not in menu");
  FItems.erase(it);
  item->FParent = nullptr;
  if (!FComponentState.Contains(csDestroying)) MenuChanged(true);
}

void TMenuItem::Delete(int index) {
  TMenuItem* item = Items(index);
  Remove(item);
}

void TMenuItem::Clear() {
  while (!FItems.empty()) delete FItems.back();
}

int TMenuItem::MenuIndex() const { return FParent ? FParent->IndexOf(this) : -1; }

void TMenuItem::SetMenuIndex(int v) {
  if (!FParent) return;
  TMenuItem* parent = FParent;
  int count = parent->Count();
  v = std::clamp(v, 0, count - 1);
  if (v == MenuIndex()) return;
  parent->Remove(this);
  parent->Insert(v, this);
}

TMenuItem* TMenuItem::Find(const String& caption) const {
  String wanted = StripHotkey(caption);
  for (TMenuItem* i : FItems)
    if (i->FVisible && SameText(StripHotkey(i->FCaption), wanted)) return i;
  return nullptr;
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* i = this;
  while (i->FParent) i = i->FParent;
  return i->FMenu;
}

void TMenuItem::SetCaption(const String& v) {
  if (v == FCaption) return;
  FCaption = v;
  MenuChanged(true);
}

void TMenuItem::TurnSiblingsOff() {
  if (!FParent) return;
  for (TMenuItem* i : FParent->FItems)
    if (i != this && i->FRadioItem && i->FGroupIndex == FGroupIndex) i->SetChecked(false);
}

void TMenuItem::SetChecked(bool v) {
  if (v == FChecked) return;
  FChecked = v;
  if (v && FRadioItem) TurnSiblingsOff();
  MenuChanged(true);
}

void TMenuItem::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  MenuChanged(true);
}

void TMenuItem::SetVisible(bool v) {
  if (v == FVisible) return;
  FVisible = v;
  MenuChanged(true);
}

void TMenuItem::SetDefault(bool v) {
  if (v == FDefault) return;
  // One default item per menu level.
  if (v && FParent)
    for (TMenuItem* i : FParent->FItems)
      if (i != this) i->FDefault = false;
  FDefault = v;
  MenuChanged(true);
}

void TMenuItem::SetRadioItem(bool v) {
  if (v == FRadioItem) return;
  FRadioItem = v;
  if (v && FChecked) TurnSiblingsOff();
  MenuChanged(true);
}

void TMenuItem::SetGroupIndex(Byte v) {
  if (v == FGroupIndex) return;
  FGroupIndex = v;
  if (FRadioItem && FChecked) TurnSiblingsOff();
  MenuChanged(true);
}

void TMenuItem::SetShortCut(TShortCut v) {
  if (v == FShortCut) return;
  FShortCut = v;
  MenuChanged(true);
}

void TMenuItem::SetImageIndex(int v) {
  if (v == FImageIndex) return;
  FImageIndex = v;
  MenuChanged(false);
}

void TMenuItem::SetBreak(TMenuBreak v) {
  if (v == FBreak) return;
  FBreak = v;
  MenuChanged(true);
}

TBasicAction* TMenuItem::Action() const { return FActionLink ? FActionLink->Action() : nullptr; }

void TMenuItem::SetAction(TBasicAction* v) {
  if (v == Action()) return;
  if (FActionLink && FActionLink->Action()) FActionLink->Action()->RemoveFreeNotification(this);
  if (!v) {
    FActionLink.reset();
    return;
  }
  if (!FActionLink) FActionLink = std::make_unique<TMenuActionLink>(this);
  v->FreeNotification(this);
  FActionLink->SetAction(v);
  ActionChange(v, v->ComponentState().Contains(csLoading));
}

void TMenuItem::ActionChange(TObject* sender, bool checkDefaults) {
  auto* a = dynamic_cast<TCustomAction*>(sender);
  if (!a) return;
  if (!checkDefaults || FCaption.empty()) SetCaption(a->Caption());
  if (!checkDefaults || !FChecked) SetChecked(a->Checked());
  if (!checkDefaults || FEnabled) SetEnabled(a->Enabled());
  if (!checkDefaults || FHelpContext == 0) SetHelpContext(a->HelpContext());
  if (!checkDefaults || FHint.empty()) SetHint(a->Hint());
  if (!checkDefaults || FGroupIndex == 0) {
    SetGroupIndex(Byte(a->GroupIndex()));
    if (a->GroupIndex() > 0) SetRadioItem(true);
  }
  if (!checkDefaults || FImageIndex == -1) SetImageIndex(a->ImageIndex());
  if (!checkDefaults || FShortCut == 0) SetShortCut(a->ShortCut());
  if (!checkDefaults || FVisible) SetVisible(a->Visible());
  if (!checkDefaults || !FAutoCheck) SetAutoCheck(a->AutoCheck());
}

void TMenuItem::InitiateAction() {
  if (FActionLink) FActionLink->Update();
}

void TMenuItem::Click() {
  if (!FEnabled) return;
  // An action's AutoCheck does the toggling when the item follows one.
  if (FAutoCheck && !(FActionLink && FActionLink->Action())) SetChecked(!FChecked);
  if (FActionLink && FActionLink->Action() && !OnClick) {
    FActionLink->Execute(this);
    return;
  }
  OnClick(this);
}

bool TMenuItem::IsOwnerDrawn() const {
  if (OnDrawItem || OnMeasureItem) return true;
  TMenu* m = GetParentMenu();
  return m && m->OwnerDraw();
}

void TMenuItem::MeasureItem(TCanvas* canvas, int& width, int& height) {
  if (OnMeasureItem) {
    OnMeasureItem(this, canvas, width, height);
    return;
  }
  if (IsLine()) {
    width = 20;
    height = 8;
    return;
  }
  String text = StripHotkey(FCaption);
  width = canvas->TextWidth(text) + 36;
  if (FShortCut) width += canvas->TextWidth(ShortCutToText(FShortCut)) + 16;
  height = std::max(canvas->TextHeight(L"Wg") + 6, int(GetSystemMetrics(SM_CYMENU)));
}

void TMenuItem::DrawItem(TCanvas* canvas, const TRect& rect, bool selected) {
  if (OnDrawItem) {
    OnDrawItem(this, canvas, rect, selected);
    return;
  }
  canvas->Brush()->SetColor(selected ? clHighlight : clMenu);
  canvas->FillRect(rect);
  if (IsLine()) {
    int y = (rect.Top + rect.Bottom) / 2;
    canvas->Pen()->SetColor(clBtnShadow);
    canvas->MoveTo(rect.Left + 2, y);
    canvas->LineTo(rect.Right - 2, y);
    return;
  }
  canvas->Font()->SetColor(!FEnabled ? clGrayText : selected ? clHighlightText : clMenuText);
  canvas->Brush()->SetStyle(bsClear);
  TRect textRect(rect.Left + 18, rect.Top, rect.Right - 6, rect.Bottom);
  canvas->TextRect(textRect, FCaption, TTextFormat{tfSingleLine, tfVerticalCenter, tfLeft});
  if (FShortCut)
    canvas->TextRect(textRect, ShortCutToText(FShortCut), TTextFormat{tfSingleLine, tfVerticalCenter, tfRight});
  if (FChecked) {
    // A plain mark in the check column: a dot for radio items, a tick otherwise.
    int cx = rect.Left + 9, cy = (rect.Top + rect.Bottom) / 2;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(canvas->Font()->Color());
    canvas->Pen()->SetColor(canvas->Font()->Color());
    if (FRadioItem) {
      canvas->Ellipse(cx - 3, cy - 3, cx + 3, cy + 3);
    } else {
      canvas->MoveTo(cx - 4, cy);
      canvas->LineTo(cx - 1, cy + 3);
      canvas->LineTo(cx + 5, cy - 3);
    }
  }
}

HMENU__* TMenuItem::Handle() {
  if (!FHandle) {
    FHandle = CreatePopupMenu();
    if (!FHandle) RaiseLastOSError();
    FillMenu(FHandle, FItems);
  }
  return FHandle;
}

void TMenuItem::FillMenu(HMENU__* menu, const std::vector<TMenuItem*>& items) {
  TMenu* owner = GetParentMenu();
  bool bar = FMenu && dynamic_cast<TMainMenu*>(FMenu);
  UINT pos = 0;
  for (TMenuItem* i : items) {
    if (!i->FVisible) continue;
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA;
    mii.wID = i->FCommand;
    mii.dwItemData = reinterpret_cast<ULONG_PTR>(i);
    String text = i->FCaption;
    if (i->FShortCut && !bar) text += L"\t" + ShortCutToText(i->FShortCut);
    if (i->IsLine()) {
      mii.fType = MFT_SEPARATOR;
    } else {
      mii.fMask |= MIIM_STRING;
      mii.dwTypeData = const_cast<wchar_t*>(text.c_str());
    }
    if (i->IsOwnerDrawn() || (owner && owner->OwnerDraw())) mii.fType |= MFT_OWNERDRAW;
    if (i->FRadioItem) mii.fType |= MFT_RADIOCHECK;
    if (i->FBreak == mbBreak) mii.fType |= MFT_MENUBREAK;
    if (i->FBreak == mbBarBreak) mii.fType |= MFT_MENUBARBREAK;
    if (i->FChecked) mii.fState |= MFS_CHECKED;
    if (!i->FEnabled) mii.fState |= MFS_GRAYED;
    if (i->FDefault) mii.fState |= MFS_DEFAULT;
    if (!i->FItems.empty()) {
      mii.fMask |= MIIM_SUBMENU;
      mii.hSubMenu = i->Handle();
    }
    if (!InsertMenuItemW(menu, pos++, TRUE, &mii)) RaiseLastOSError();
  }
}

void TMenuItem::MenuChanged(bool rebuild) {
  if (FComponentState.Contains(csLoading) || FComponentState.Contains(csDestroying)) return;
  if (rebuild && FHandle) {
    ClearMenu(FHandle);
    FillMenu(FHandle, FItems);
  }
  if (FMenu) {
    FMenu->MenuChanged(this, rebuild);
    return;
  }
  if (FParent && FParent->FHandle && rebuild) {
    ClearMenu(FParent->FHandle);
    FParent->FillMenu(FParent->FHandle, FParent->FItems);
  }
  // The menu bar shows top items; their changes reach the menu.
  if (TMenu* m = GetParentMenu()) {
    if (FParent && FParent->FMenu) m->MenuChanged(this, rebuild);
    else m->OnChange(m);
  }
}

TComponent* TMenuItem::GetParentComponent() const {
  if (FParent && FParent->FMenu) return FParent->FMenu;
  return FParent;
}

void TMenuItem::SetParentComponent(TComponent* parent) {
  if (FParent) FParent->Remove(this);
  if (auto* menu = dynamic_cast<TMenu*>(parent)) menu->Items()->Add(this);
  else if (auto* item = dynamic_cast<TMenuItem*>(parent)) item->Add(this);
}

void TMenuItem::GetChildren(const TGetChildProc& proc, TComponent* root) {
  for (TMenuItem* i : FItems)
    if (i->Owner() == root) proc(i);
}

void TMenuItem::SetChildOrder(TComponent* child, int order) {
  if (auto* i = dynamic_cast<TMenuItem*>(child)) {
    if (i->FParent == this) i->SetMenuIndex(order);
  }
}

void TMenuItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && FActionLink && component == FActionLink->Action()) FActionLink.reset();
}

void TMenuItem::Loaded() {
  TComponent::Loaded();
  MenuChanged(true);
}

// --- TMenu -----------------------------------------------------------------------------------

KW_BEGIN_CLASS(TMenu, TComponent) {
  b.Prop(L"OwnerDraw", &TMenu::OwnerDraw, &TMenu::SetOwnerDraw).Default(false);
}

TMenu::TMenu(TComponent* owner) : TComponent(owner), FItems(std::make_unique<TMenuItem>(nullptr)) {
  FItems->FMenu = this;
  LiveMenus().push_back(this);
}

TMenu::~TMenu() {
  auto& live = LiveMenus();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  FItems->Clear();
  DestroyHandle();
  FItems.reset();
}

void TMenu::DestroyHandle() {
  if (!FHandle) return;
  // A window must not keep a menu that is going away.
  if (FWindowHandle && IsWindow(FWindowHandle) && GetMenu(FWindowHandle) == FHandle) SetMenu(FWindowHandle, nullptr);
  ClearMenu(FHandle);
  DestroyMenu(FHandle);
  FHandle = nullptr;
}

HMENU__* TMenu::Handle() {
  if (!FHandle) {
    FHandle = CreateMenuHandle();
    if (!FHandle) RaiseLastOSError();
    FItems->FillMenu(FHandle, TopItems());
  }
  return FHandle;
}

std::vector<TMenuItem*> TMenu::TopItems() const { return FItems->FItems; }

void TMenu::RebuildHandle() {
  if (!FHandle) return;
  ClearMenu(FHandle);
  FItems->FillMenu(FHandle, TopItems());
}

void TMenu::MenuChanged(TMenuItem*, bool rebuild) {
  if (FComponentState.Contains(csLoading) || FComponentState.Contains(csDestroying)) return;
  if (rebuild) RebuildHandle();
  OnChange(this);
}

void TMenu::SetOwnerDraw(bool v) {
  if (v == FOwnerDraw) return;
  FOwnerDraw = v;
  // Every level shows the change.
  std::function<void(TMenuItem*)> redo = [&](TMenuItem* i) {
    for (TMenuItem* c : i->FItems) redo(c);
    if (i->FHandle) {
      ClearMenu(i->FHandle);
      i->FillMenu(i->FHandle, i->FItems);
    }
  };
  for (TMenuItem* c : FItems->FItems) redo(c);
  MenuChanged(nullptr, true);
}

TMenuItem* TMenu::FindItem(std::uintptr_t value, TFindItemKind kind) const {
  std::function<TMenuItem*(TMenuItem*)> find = [&](TMenuItem* i) -> TMenuItem* {
    for (TMenuItem* c : i->FItems) {
      switch (kind) {
        case fkCommand: if (c->FCommand == value) return c; break;
        case fkHandle: if (c->FHandle && reinterpret_cast<std::uintptr_t>(c->FHandle) == value) return c; break;
        case fkShortCut: if (c->FShortCut != 0 && c->FShortCut == value) return c; break;
      }
      if (TMenuItem* r = find(c)) return r;
    }
    return nullptr;
  };
  return find(FItems.get());
}

bool TMenu::IsShortCut(TWMKey& message) {
  TShortCut sc = ShortCutFromMessage(message);
  if (sc == 0) return false;
  TMenuItem* item = FindItem(sc, fkShortCut);
  if (!item) return false;
  // The sub-menus on the way prepare their entries as if they were opened.
  std::vector<TMenuItem*> chain;
  for (TMenuItem* p = item->FParent; p && !p->FMenu; p = p->FParent) chain.push_back(p);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (TMenuItem* c : (*it)->FItems) c->InitiateAction();
    (*it)->OnClick(*it);
  }
  // A handler may have taken the item away.
  if (FindItem(sc, fkShortCut) != item) return false;
  item->InitiateAction();
  if (!item->Enabled() || !item->Visible()) return false;
  item->Click();
  return true;
}

bool TMenu::DispatchCommand(Word command) {
  TMenuItem* item = ItemOfCommand(command);
  if (!item) return false;
  TMenu* menu = item->GetParentMenu();
  auto* main = dynamic_cast<TMainMenu*>(this);
  if (menu != this && !(main && menu && menu == main->Merged())) return false;
  item->Click();
  return true;
}

bool TMenu::DispatchPopup(HMENU__* handle) {
  TMenuItem* item = FindItem(reinterpret_cast<std::uintptr_t>(handle), fkHandle);
  if (!item) {
    auto* main = dynamic_cast<TMainMenu*>(this);
    if (main && main->Merged()) return main->Merged()->DispatchPopup(handle);
    return false;
  }
  for (TMenuItem* c : item->FItems) c->InitiateAction();
  // A parent item's OnClick runs as its sub-menu opens, so it can prepare the entries.
  item->OnClick(item);
  if (item->FHandle) {
    ClearMenu(item->FHandle);
    item->FillMenu(item->FHandle, item->FItems);
  }
  return true;
}

bool TMenu::MeasureItemMessage(void* data) {
  auto* mis = static_cast<MEASUREITEMSTRUCT*>(data);
  if (mis->CtlType != ODT_MENU) return false;
  TMenuItem* item = ItemOfCommand(Word(mis->itemID));
  if (!item || reinterpret_cast<ULONG_PTR>(item) != mis->itemData) return false;
  HDC dc = KwCreateCompatibleDC(nullptr);
  int width = 0, height = 0;
  try {
    TCanvas canvas;
    canvas.SetHandle(dc);
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) {
      canvas.Font()->SetName(ncm.lfMenuFont.lfFaceName);
      canvas.Font()->SetHeight(ncm.lfMenuFont.lfHeight);
    }
    item->MeasureItem(&canvas, width, height);
    canvas.SetHandle(nullptr);
  } catch (...) {
    KwDeleteDC(dc);
    throw;
  }
  KwDeleteDC(dc);
  mis->itemWidth = UINT(std::max(0, width));
  mis->itemHeight = UINT(std::max(0, height));
  return true;
}

bool TMenu::DrawItemMessage(void* data) {
  auto* dis = static_cast<DRAWITEMSTRUCT*>(data);
  if (dis->CtlType != ODT_MENU) return false;
  TMenuItem* item = ItemOfCommand(Word(dis->itemID));
  if (!item || reinterpret_cast<ULONG_PTR>(item) != dis->itemData) return false;
  int saved = SaveDC(dis->hDC);
  try {
    TCanvas canvas;
    canvas.SetHandle(dis->hDC);
    TRect r(dis->rcItem.left, dis->rcItem.top, dis->rcItem.right, dis->rcItem.bottom);
    item->DrawItem(&canvas, r, (dis->itemState & ODS_SELECTED) != 0);
    canvas.SetHandle(nullptr);
  } catch (...) {
    RestoreDC(dis->hDC, saved);
    throw;
  }
  RestoreDC(dis->hDC, saved);
  return true;
}

TMenuItem* TMenu::SelectedItem(std::uintptr_t wParam, std::intptr_t lParam) {
  UINT flags = HIWORD(wParam);
  HMENU menu = reinterpret_cast<HMENU>(lParam);
  if (flags == 0xFFFF && !menu) return nullptr;
  if (!(flags & MF_POPUP)) return ItemOfCommand(LOWORD(wParam));
  HMENU sub = GetSubMenu(menu, LOWORD(wParam));
  if (!sub) return nullptr;
  for (TMenu* m : LiveMenus())
    if (TMenuItem* i = m->FindItem(reinterpret_cast<std::uintptr_t>(sub), fkHandle)) return i;
  return nullptr;
}

void TMenu::GetChildren(const TGetChildProc& proc, TComponent* root) { FItems->GetChildren(proc, root); }

void TMenu::SetChildOrder(TComponent* child, int order) { FItems->SetChildOrder(child, order); }

void TMenu::Loaded() {
  TComponent::Loaded();
  RebuildHandle();
}

// --- TMainMenu -------------------------------------------------------------------------------

KW_BEGIN_CLASS(TMainMenu, TMenu) {
  b.Prop(L"AutoMerge", &TMainMenu::AutoMerge, &TMainMenu::SetAutoMerge).Default(false);
}

TMainMenu::TMainMenu(TComponent* owner) : TMenu(owner) {}

TMainMenu::~TMainMenu() {
  if (FMergedInto) FMergedInto->Unmerge(this);
  if (FMerged) Unmerge(FMerged);
}

HMENU__* TMainMenu::CreateMenuHandle() { return CreateMenu(); }

std::vector<TMenuItem*> TMainMenu::TopItems() const {
  std::vector<TMenuItem*> out = FItems->FItems;
  if (!FMerged) return out;
  std::vector<TMenuItem*> theirs = FMerged->FItems->FItems;
  // The merged menu's groups take the place of ours.
  out.erase(std::remove_if(out.begin(), out.end(),
                           [&](TMenuItem* mine) {
                             return std::any_of(theirs.begin(), theirs.end(), [&](TMenuItem* t) {
                               return t->FGroupIndex == mine->FGroupIndex;
                             });
                           }),
            out.end());
  for (TMenuItem* t : theirs) {
    auto at = out.begin();
    for (auto it = out.begin(); it != out.end(); ++it)
      if ((*it)->FGroupIndex <= t->FGroupIndex) at = it + 1;
    out.insert(at, t);
  }
  return out;
}

void TMainMenu::Merge(TMainMenu* menu) {
  if (menu == FMerged) return;
  if (menu == this) throw EMenuError(L"A menu cannot merge into itself");
  if (FMerged) Unmerge(FMerged);
  if (!menu) return;
  if (menu->FMergedInto) menu->FMergedInto->Unmerge(menu);
  FMerged = menu;
  menu->FMergedInto = this;
  menu->FreeNotification(this);
  MenuChanged(nullptr, true);
}

void TMainMenu::Unmerge(TMainMenu* menu) {
  if (!menu || menu != FMerged) return;
  FMerged = nullptr;
  menu->FMergedInto = nullptr;
  menu->RemoveFreeNotification(this);
  if (!FComponentState.Contains(csDestroying)) MenuChanged(nullptr, true);
}

bool TMainMenu::IsShortCut(TWMKey& message) {
  if (FMerged && FMerged->IsShortCut(message)) return true;
  return TMenu::IsShortCut(message);
}

void TMainMenu::Notification(TComponent* component, TOperation operation) {
  TMenu::Notification(component, operation);
  if (operation == opRemove && component == FMerged) Unmerge(FMerged);
}

void TMainMenu::MenuChanged(TMenuItem* source, bool rebuild) {
  TMenu::MenuChanged(source, rebuild);
  if (FHandle && FWindowHandle && IsWindow(FWindowHandle)) DrawMenuBar(FWindowHandle);
  if (FMergedInto) FMergedInto->MenuChanged(nullptr, rebuild);
}

// --- TPopupMenu ------------------------------------------------------------------------------

namespace {

LRESULT CALLBACK PopupListProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    switch (msg) {
      case WM_COMMAND:
        if (HIWORD(wp) == 0 && lp == 0) {
          std::vector<TMenu*> menus = LiveMenus();
          for (TMenu* m : menus)
            if (dynamic_cast<TPopupMenu*>(m) && m->DispatchCommand(LOWORD(wp))) return 0;
        }
        break;
      case WM_INITMENUPOPUP: {
        std::vector<TMenu*> menus = LiveMenus();
        for (TMenu* m : menus)
          if (dynamic_cast<TPopupMenu*>(m) && m->DispatchPopup(reinterpret_cast<HMENU>(wp))) return 0;
        break;
      }
      case WM_MENUSELECT: {
        TMenuItem* item = TMenu::SelectedItem(wp, lp);
        Application()->SetHint(item ? GetLongHint(item->Hint()) : String());
        return 0;
      }
      case WM_MEASUREITEM:
        if (wp == 0 && TMenu::MeasureItemMessage(reinterpret_cast<void*>(lp))) return TRUE;
        break;
      case WM_DRAWITEM:
        if (wp == 0 && TMenu::DrawItemMessage(reinterpret_cast<void*>(lp))) return TRUE;
        break;
    }
  } catch (...) {
    KwHandleCurrentException(nullptr);
    return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

HWND GPopupList = nullptr;

}  // namespace

HWND__* KwPopupListWindow() {
  HWND& wnd = GPopupList;
  if (wnd && IsWindow(wnd)) return wnd;
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PopupListProc;
    wc.hInstance = KwInstance();
    wc.lpszClassName = L"KwPopupList";
    if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastOSError();
    registered = true;
  }
  wnd = CreateWindowExW(WS_EX_TOOLWINDOW, L"KwPopupList", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                        KwInstance(), nullptr);
  if (!wnd) RaiseLastOSError();
  return wnd;
}

bool KwPressWaitingIn(HWND__* wnd, const TRect& rect) {
  MSG msg;
  if (!PeekMessageW(&msg, wnd, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_NOREMOVE)) return false;
  TPoint p(short(LOWORD(msg.lParam)), short(HIWORD(msg.lParam)));
  return rect.Contains(p);
}

KW_BEGIN_CLASS(TPopupMenu, TMenu) {
  b.Prop(L"Alignment", &TPopupMenu::Alignment, &TPopupMenu::SetAlignment).Default(paLeft);
  b.Prop(L"AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup).Default(true);
  b.Prop(L"TrackButton", &TPopupMenu::TrackButton, &TPopupMenu::SetTrackButton).Default(tbRightButton);
  b.Event(L"OnClose", &TPopupMenu::OnClose);
  b.Event(L"OnPopup", &TPopupMenu::OnPopup);
}

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

TPopupMenu::~TPopupMenu() {
  SetPopupComponent(nullptr);
  // The owner window goes with the last pop-up menu.
  bool others = std::any_of(LiveMenus().begin(), LiveMenus().end(),
                            [this](TMenu* m) { return m != this && dynamic_cast<TPopupMenu*>(m); });
  if (!others && GPopupList && !FInPopup) {
    DestroyWindow(GPopupList);
    GPopupList = nullptr;
  }
}

HMENU__* TPopupMenu::CreateMenuHandle() { return CreatePopupMenu(); }

void TPopupMenu::SetPopupComponent(TComponent* v) {
  if (v == FPopupComponent) return;
  if (FPopupComponent) FPopupComponent->RemoveFreeNotification(this);
  FPopupComponent = v;
  if (v) v->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  TMenu::Notification(component, operation);
  if (operation == opRemove && component == FPopupComponent) FPopupComponent = nullptr;
}

void TPopupMenu::Popup(int x, int y) {
  if (FInPopup) return;
  FPopupPoint = TPoint(x, y);
  DoPopup(this);
  for (int i = 0; i < FItems->Count(); ++i) FItems->Items(i)->InitiateAction();
  HMENU menu = Handle();
  RebuildHandle();
  UINT flags = TPM_RETURNCMD;
  flags |= FAlignment == paRight ? TPM_RIGHTALIGN : FAlignment == paCenter ? TPM_CENTERALIGN : TPM_LEFTALIGN;
  flags |= FTrackButton == tbLeftButton ? TPM_LEFTBUTTON : TPM_RIGHTBUTTON;
  HWND owner = KwPopupListWindow();
  SetWindowHandle(owner);
  FInPopup = true;
  UINT command = 0;
  try {
    command = UINT(TrackPopupMenuEx(menu, flags, x, y, owner, nullptr));
  } catch (...) {
    FInPopup = false;
    throw;
  }
  FInPopup = false;
  ++FCloseCount;
  FLastCloseTick = GetTickCount();
  OnClose(this);
  if (command) DispatchCommand(Word(command));
}

}  // namespace kw
