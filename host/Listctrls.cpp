// TListControlStrings (items in a native list window or held while there is none), the list box
// over LISTBOX and the combo box over COMBOBOX with its subclassed inner edit. Check lists,
// image combos and the controls' data-aware kin are not here.
#include "host/Listctrls.h"

#include <algorithm>

#include "host/Exceptions.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_DEFINE_ENUM(TListBoxStyle, L"lbStandard", L"lbOwnerDrawFixed", L"lbOwnerDrawVariable", L"lbVirtual",
               L"lbVirtualOwnerDraw")
KW_DEFINE_ENUM(TComboBoxStyle, L"csDropDown", L"csSimple", L"csDropDownList", L"csOwnerDrawFixed",
               L"csOwnerDrawVariable")
KW_DEFINE_ENUM(TListBorderStyle, L"bsNone", L"bsSingle")

namespace {

const TListMessages ListBoxMessages{
    LB_ADDSTRING,  LB_INSERTSTRING,     LB_DELETESTRING, LB_RESETCONTENT, LB_GETCOUNT,    LB_GETTEXT,
    LB_GETTEXTLEN, LB_SETITEMDATA,      LB_GETITEMDATA,  LB_FINDSTRINGEXACT, LB_GETCURSEL, LB_SETCURSEL,
    LB_GETTOPINDEX, LB_SETTOPINDEX,     LB_GETSEL,       LB_SETSEL,       LB_GETCARETINDEX, LB_SETCARETINDEX};

const TListMessages ComboBoxMessages{
    CB_ADDSTRING,     CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT,    CB_GETCOUNT,  CB_GETLBTEXT,
    CB_GETLBTEXTLEN,  CB_SETITEMDATA,  CB_GETITEMDATA,  CB_FINDSTRINGEXACT, CB_GETCURSEL, CB_SETCURSEL,
    CB_GETTOPINDEX,   CB_SETTOPINDEX,  0,               0,                  0,            0};

const wchar_t* const EditPropName = L"KwComboEdit";

LRESULT Send(HWND wnd, Cardinal msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(wnd, msg, wp, lp); }

// The order a sorted native list keeps: the user's locale, case ignored.
int CompareItems(const String& a, const String& b) {
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), int(a.size()), b.c_str(), int(b.size())) - 2;
}

// Every child window gets its own control ID: the platform names a list in WM_MEASUREITEM by
// ID alone, and the host's windows would otherwise all be 0.
void AssignControlId(HWND wnd) {
  static int next = 0x4000;
  if (!(GetWindowLongPtrW(wnd, GWL_STYLE) & WS_CHILD)) return;
  HWND parent = GetParent(wnd);
  for (int tries = 0; tries < 0x4000; ++tries) {
    int id = next;
    next = next >= 0x7FFF ? 0x4000 : next + 1;
    if (!parent || !GetDlgItem(parent, id)) {
      SetWindowLongPtrW(wnd, GWLP_ID, id);
      return;
    }
  }
}

// One owner-drawn item: the canvas takes the item's DC with the control's font and colour (the
// highlight ones when selected), draw paints, and a focus rectangle follows when due.
template <class F>
void OwnerDrawItem(TControlCanvas* canvas, const TFont* font, TColor color, const DRAWITEMSTRUCT& d, F&& draw) {
  canvas->Lock();
  HWND wnd = canvas->WindowHandle();
  canvas->SetWindowHandle(nullptr);
  struct Restore {
    TControlCanvas* canvas;
    HWND wnd;
    ~Restore() {
      canvas->SetHandle(nullptr);
      canvas->SetWindowHandle(wnd);
      canvas->Unlock();
    }
  } restore{canvas, wnd};
  canvas->SetHandle(d.hDC);
  canvas->Font()->Assign(font);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(color);
  TOwnerDrawState state = TOwnerDrawState::FromBits(d.itemState);
  if (state.Contains(odSelected)) {
    canvas->Brush()->SetColor(clHighlight);
    canvas->Font()->SetColor(clHighlightText);
  }
  TRect r(d.rcItem.left, d.rcItem.top, d.rcItem.right, d.rcItem.bottom);
  if (int(d.itemID) >= 0) draw(int(d.itemID), r, state);
  else canvas->FillRect(r);
  if (state.Contains(odFocused) && !state.Contains(odNoFocusRect)) canvas->DrawFocusRect(r);
}

// Measuring may come before the canvas has a window to take a DC from: lend it a screen DC.
template <class F>
void WithMeasureCanvas(TControlCanvas* canvas, const TFont* font, F&& measure) {
  canvas->Lock();
  HWND wnd = canvas->WindowHandle();
  canvas->SetWindowHandle(nullptr);
  HDC dc = GetDC(nullptr);
  struct Restore {
    TControlCanvas* canvas;
    HWND wnd;
    HDC dc;
    ~Restore() {
      canvas->SetHandle(nullptr);
      if (dc) ReleaseDC(nullptr, dc);
      canvas->SetWindowHandle(wnd);
      canvas->Unlock();
    }
  } restore{canvas, wnd, dc};
  if (dc) canvas->SetHandle(dc);
  canvas->Font()->Assign(font);
  measure();
}

}  // namespace

// --- TListControlStrings ----------------------------------------------------------------

KW_REGISTER_CLASS(TListControlStrings, TStrings)

TListControlStrings::TListControlStrings(TWinControl* control, const TListMessages& messages)
    : FControl(control), FMsg(messages), FHeld(std::make_unique<TStringList>()) {}

TListControlStrings::~TListControlStrings() = default;

HWND__* TListControlStrings::Window() const {
  return FInWindow && FControl->HandleAllocated() ? FControl->Handle() : nullptr;
}

void TListControlStrings::VirtualError() {
  throw EStringListError(L"A virtual list holds no strings: set its Count and answer OnData");
}

void TListControlStrings::CheckIndex(int index, bool allowEnd) const {
  int count = GetCount();
  if (index < 0 || index > count || (index == count && !allowEnd)) Error(SRes::SListIndexError, index);
}

String TListControlStrings::Get(int index) const {
  CheckIndex(index);
  if (VirtualList()) return VirtualText(index);
  HWND w = Window();
  if (!w) return FHeld->Get(index);
  LRESULT n = Send(w, FMsg.GetTextLen, WPARAM(index));
  if (n < 0) Error(SRes::SListIndexError, index);
  String s(size_t(n) + 1, L'\0');
  n = Send(w, FMsg.GetText, WPARAM(index), reinterpret_cast<LPARAM>(s.data()));
  s.resize(size_t(std::max<LRESULT>(n, 0)));
  return s;
}

int TListControlStrings::GetCount() const {
  if (VirtualList()) return VirtualCount();
  HWND w = Window();
  if (!w) return FHeld->Count();
  return int(std::max<LRESULT>(Send(w, FMsg.GetCount), 0));
}

TObject* TListControlStrings::GetObject(int index) const {
  if (VirtualList()) return nullptr;
  CheckIndex(index);
  HWND w = Window();
  if (!w) return FHeld->Objects(index);
  LRESULT data = Send(w, FMsg.GetItemData, WPARAM(index));
  return data == LB_ERR ? nullptr : reinterpret_cast<TObject*>(data);
}

void TListControlStrings::PutObject(int index, TObject* obj) {
  if (VirtualList()) VirtualError();
  CheckIndex(index);
  HWND w = Window();
  if (!w) {
    FHeld->SetObjects(index, obj);
    return;
  }
  Send(w, FMsg.SetItemData, WPARAM(index), reinterpret_cast<LPARAM>(obj));
}

void TListControlStrings::Put(int index, const String& s) {
  if (VirtualList()) VirtualError();
  CheckIndex(index);
  HWND w = Window();
  if (!w) {
    TObject* obj = FHeld->Objects(index);
    FHeld->SetStrings(index, s);
    FHeld->SetObjects(index, obj);
    return;
  }
  // The platform cannot rename an item: replace it and give back its object and selection.
  bool multi = MultiSelectList();
  TObject* obj = GetObject(index);
  bool selected = multi ? Send(w, FMsg.GetSel, WPARAM(index)) > 0 : Send(w, FMsg.GetCurSel) == index;
  LRESULT top = Send(w, FMsg.GetTopIndex);
  BeginUpdate();
  struct End {
    TStrings* s;
    ~End() { s->EndUpdate(); }
  } end{this};
  Send(w, FMsg.DeleteString, WPARAM(index));
  LRESULT r = Send(w, FMsg.InsertString, WPARAM(index), reinterpret_cast<LPARAM>(s.c_str()));
  if (r < 0) throw EOutOfResources(L"Not enough storage to insert the item in the list");
  Send(w, FMsg.SetItemData, WPARAM(index), reinterpret_cast<LPARAM>(obj));
  if (selected) {
    if (multi) Send(w, FMsg.SetSel, TRUE, LPARAM(index));
    else Send(w, FMsg.SetCurSel, WPARAM(index));
  }
  if (top >= 0) Send(w, FMsg.SetTopIndex, WPARAM(top));
}

void TListControlStrings::Insert(int index, const String& s) {
  if (VirtualList()) VirtualError();
  CheckIndex(index, true);
  HWND w = Window();
  if (!w) {
    FHeld->Insert(index, s);
    FHeldSelected.insert(FHeldSelected.begin() + index, 0);
    HeldInserted(index);
    return;
  }
  LRESULT r = Send(w, FMsg.InsertString, WPARAM(index), reinterpret_cast<LPARAM>(s.c_str()));
  if (r < 0) throw EOutOfResources(L"Not enough storage to insert the item in the list");
}

int TListControlStrings::Add(const String& s) {
  if (VirtualList()) VirtualError();
  HWND w = Window();
  if (!w) {
    int index = SortedList() ? SortedPos(s) : FHeld->Count();
    Insert(index, s);
    return index;
  }
  LRESULT r = Send(w, FMsg.AddString, 0, reinterpret_cast<LPARAM>(s.c_str()));
  if (r < 0) throw EOutOfResources(L"Not enough storage to add the item to the list");
  return int(r);
}

void TListControlStrings::Delete(int index) {
  if (VirtualList()) VirtualError();
  CheckIndex(index);
  HWND w = Window();
  if (!w) {
    FHeld->Delete(index);
    FHeldSelected.erase(FHeldSelected.begin() + index);
    HeldDeleted(index);
    return;
  }
  Send(w, FMsg.DeleteString, WPARAM(index));
}

void TListControlStrings::Clear() {
  if (VirtualList()) {
    SetVirtualCount(0);
    return;
  }
  HWND w = Window();
  if (!w) {
    FHeld->Clear();
    FHeldSelected.clear();
    FHeldIndex = -1;
    FHeldTop = 0;
    return;
  }
  Send(w, FMsg.ResetContent);
}

int TListControlStrings::IndexOf(const String& s) const {
  HWND w = Window();
  if (!w || VirtualList()) return TStrings::IndexOf(s);
  // The platform's exact search ignores case, as CompareStrings does.
  LRESULT r = Send(w, FMsg.FindStringExact, WPARAM(-1), reinterpret_cast<LPARAM>(s.c_str()));
  if (r < 0) return -1;
  // An empty string may match nothing or the wrong item there.
  return Get(int(r)).size() == s.size() ? int(r) : TStrings::IndexOf(s);
}

void TListControlStrings::SetUpdateState(bool updating) {
  HWND w = Window();
  if (!w) return;
  Send(w, WM_SETREDRAW, updating ? FALSE : TRUE);
  if (!updating) InvalidateRect(w, nullptr, TRUE);
}

void TListControlStrings::HeldInserted(int index) {
  if (FHeldIndex >= index) ++FHeldIndex;
}

void TListControlStrings::HeldDeleted(int index) {
  if (FHeldIndex == index) FHeldIndex = MultiSelectList() ? std::min(index, FHeld->Count() - 1) : -1;
  else if (FHeldIndex > index) --FHeldIndex;
}

int TListControlStrings::SortedPos(const String& s) const {
  // The platform's search: an equal item is inserted before, others where the order puts them.
  int lo = 0, hi = FHeld->Count() - 1;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int r = CompareItems(FHeld->Get(mid), s);
    if (r == 0) return mid;
    if (r > 0) hi = mid - 1;
    else lo = mid + 1;
  }
  return lo;
}

void TListControlStrings::SortHeld() {
  auto old = std::make_unique<TStringList>();
  old->Assign(FHeld.get());
  for (int i = 0; i < old->Count(); ++i) old->SetObjects(i, FHeld->Objects(i));
  std::vector<char> oldSelected = FHeldSelected;
  oldSelected.resize(size_t(old->Count()), 0);
  int current = FHeldIndex;
  FHeld->Clear();
  FHeldSelected.clear();
  std::vector<int> place;  // new index of each old item, kept up to date as items go in
  for (int i = 0; i < old->Count(); ++i) {
    int pos = SortedPos(old->Get(i));
    for (int& p : place) {
      if (p >= pos) ++p;
    }
    place.push_back(pos);
    FHeld->InsertObject(pos, old->Get(i), old->Objects(i));
    FHeldSelected.insert(FHeldSelected.begin() + pos, oldSelected[size_t(i)]);
  }
  FHeldIndex = current >= 0 && current < int(place.size()) ? place[size_t(current)] : -1;
  FHeldTop = 0;
}

void TListControlStrings::PullFromWindow() {
  HWND w = Window();
  if (!w) return;
  bool items = !VirtualList();
  int count = int(std::max<LRESULT>(Send(w, FMsg.GetCount), 0));
  bool multi = MultiSelectList();
  if (items) {
    FHeld->Clear();
    FHeldSelected.assign(size_t(count), 0);
    for (int i = 0; i < count; ++i) {
      String s = Get(i);
      FHeld->AddObject(s, GetObject(i));
      if (multi) FHeldSelected[size_t(i)] = Send(w, FMsg.GetSel, WPARAM(i)) > 0 ? 1 : 0;
    }
  }
  if (multi) {
    FHeldIndex = count > 0 ? int(Send(w, FMsg.GetCaretIndex)) : -1;
  } else {
    LRESULT current = Send(w, FMsg.GetCurSel);
    FHeldIndex = current >= 0 ? int(current) : -1;
    // The single selection stays the selection should the list become a multiple one.
    if (items && FHeldIndex >= 0 && FHeldIndex < count) FHeldSelected[size_t(FHeldIndex)] = 1;
  }
  LRESULT top = Send(w, FMsg.GetTopIndex);
  FHeldTop = top >= 0 ? int(top) : 0;
  FInWindow = false;
}

void TListControlStrings::PushToWindow() {
  if (!FControl->HandleAllocated()) return;
  FInWindow = true;
  HWND w = FControl->Handle();
  bool items = !VirtualList();
  bool multi = MultiSelectList();
  int count = items ? FHeld->Count() : VirtualCount();
  if (items) {
    for (int i = 0; i < count; ++i) {
      String s = FHeld->Get(i);
      // At its index even in a sorted window: the held order is already the sorted one.
      LRESULT r = Send(w, FMsg.InsertString, WPARAM(i), reinterpret_cast<LPARAM>(s.c_str()));
      if (r < 0) throw EOutOfResources(L"Not enough storage to insert the item in the list");
      if (TObject* obj = FHeld->Objects(i)) Send(w, FMsg.SetItemData, WPARAM(i), reinterpret_cast<LPARAM>(obj));
    }
  }
  if (multi) {
    for (size_t i = 0; i < FHeldSelected.size() && int(i) < count; ++i) {
      if (FHeldSelected[i]) Send(w, FMsg.SetSel, TRUE, LPARAM(i));
    }
    if (FHeldIndex >= 0 && FHeldIndex < count) Send(w, FMsg.SetCaretIndex, WPARAM(FHeldIndex), FALSE);
  } else if (FHeldIndex >= 0 && FHeldIndex < count) {
    Send(w, FMsg.SetCurSel, WPARAM(FHeldIndex));
  }
  if (FHeldTop > 0) Send(w, FMsg.SetTopIndex, WPARAM(FHeldTop));
  if (items) FHeld->Clear();
  FHeldSelected.clear();
  FHeldIndex = -1;
  FHeldTop = 0;
}

// --- TListBoxStrings / TComboBoxStrings ---------------------------------------------------

KW_REGISTER_CLASS(TListBoxStrings, TListControlStrings)

TListBoxStrings::TListBoxStrings(TCustomListBox* listBox)
    : TListControlStrings(listBox, ListBoxMessages), FListBox(listBox) {}

bool TListBoxStrings::SortedList() const { return FListBox->Sorted(); }
bool TListBoxStrings::MultiSelectList() const { return FListBox->MultiSelect(); }
bool TListBoxStrings::VirtualList() const { return FListBox->VirtualStyle(); }
int TListBoxStrings::VirtualCount() const { return FListBox->Count(); }
String TListBoxStrings::VirtualText(int index) const { return FListBox->DoGetData(index); }
void TListBoxStrings::SetVirtualCount(int count) { FListBox->SetCount(count); }

KW_REGISTER_CLASS(TComboBoxStrings, TListControlStrings)

TComboBoxStrings::TComboBoxStrings(TCustomComboBox* comboBox)
    : TListControlStrings(comboBox, ComboBoxMessages), FComboBox(comboBox) {}

bool TComboBoxStrings::SortedList() const { return FComboBox->Sorted(); }

void TComboBoxStrings::Clear() {
  HWND w = Window();
  if (!w || !FComboBox->HasEdit()) {
    TListControlStrings::Clear();
    return;
  }
  // Emptying the list empties the edit too; what was typed there stays.
  String text = FComboBox->Text();
  TListControlStrings::Clear();
  bool old = FComboBox->FSettingText;
  FComboBox->FSettingText = true;
  SetWindowTextW(w, text.c_str());
  FComboBox->FSettingText = old;
}

// --- TCustomListBox ---------------------------------------------------------------------

KW_REGISTER_CLASS(TCustomListBox, TWinControl)

KW_BEGIN_CLASS(TListBox, TCustomListBox) {
  b.Prop(L"BorderStyle", &TListBox::BorderStyle, &TListBox::SetBorderStyle).Default(TListBorderStyle::bsSingle);
  b.Prop(L"Color", &TListBox::Color, &TListBox::SetColor).Stored(&TListBox::ColorStored).Default(clWindow);
  b.Prop(L"Columns", &TListBox::Columns, &TListBox::SetColumns).Default(0);
  b.Prop(L"ExtendedSelect", &TListBox::ExtendedSelect, &TListBox::SetExtendedSelect).Default(true);
  b.Prop(L"Font", &TListBox::Font, &TListBox::SetFont).Stored(&TListBox::FontStored);
  b.Prop(L"IntegralHeight", &TListBox::IntegralHeight, &TListBox::SetIntegralHeight).Default(false);
  b.Prop(L"ItemHeight", &TListBox::ItemHeight, &TListBox::SetItemHeight).Stored(&TListBox::ItemHeightStored);
  b.Prop(L"MultiSelect", &TListBox::MultiSelect, &TListBox::SetMultiSelect).Default(false);
  b.Prop(L"ParentColor", &TListBox::ParentColor, &TListBox::SetParentColor).Default(false);
  b.Prop(L"ParentFont", &TListBox::ParentFont, &TListBox::SetParentFont).Default(true);
  b.Prop(L"Sorted", &TListBox::Sorted, &TListBox::SetSorted).Default(false);
  b.Prop(L"Style", &TListBox::Style, &TListBox::SetStyle).Default(lbStandard);
  b.Prop(L"Items", &TListBox::Items, &TListBox::SetItems);
  b.Prop(L"ItemIndex", &TListBox::ItemIndex, &TListBox::SetItemIndex).Default(-1);
  b.Event(L"OnData", &TListBox::OnData);
  b.Event(L"OnDrawItem", &TListBox::OnDrawItem);
  b.Event(L"OnMeasureItem", &TListBox::OnMeasureItem);
}

TCustomListBox::TCustomListBox(TComponent* owner)
    : TWinControl(owner), FItems(std::make_unique<TListBoxStrings>(this)),
      FCanvas(std::make_unique<TControlCanvas>()) {
  // Clicks and double clicks come from the list's own notifications, not from the mouse.
  FControlStyle = {};
  FWidth = 121;
  FHeight = 97;
  FTabStop = true;
  FParentColor = false;
  FColor = clWindow;
  FBrush->SetColor(FColor);
}

TCustomListBox::~TCustomListBox() {
  // The window goes while this is still a list box; its items need not be kept.
  FItems->FInWindow = false;
  FCanvas->SetWindowHandle(nullptr);
  DestroyHandle();
}

void TCustomListBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  if (UseRightToLeftAlignment()) p.ExStyle |= WS_EX_RIGHT;
  p.SubClassName = L"LISTBOX";
  p.Style |= WS_VSCROLL | LBS_NOTIFY;
  switch (FStyle) {
    case lbStandard: p.Style |= LBS_HASSTRINGS; break;
    case lbOwnerDrawFixed: p.Style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS; break;
    case lbOwnerDrawVariable: p.Style |= LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS; break;
    case lbVirtual:
    case lbVirtualOwnerDraw: p.Style |= LBS_OWNERDRAWFIXED | LBS_NODATA; break;
  }
  if (FSorted && !VirtualStyle()) p.Style |= LBS_SORT;
  if (FMultiSelect) p.Style |= FExtendedSelect ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
  if (FColumns > 0) p.Style |= LBS_MULTICOLUMN | WS_HSCROLL;
  if (!FIntegralHeight) p.Style |= LBS_NOINTEGRALHEIGHT;
  if (FBorderStyle == TListBorderStyle::bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListBox::CreateWnd() {
  TWinControl::CreateWnd();
  AssignControlId(FHandle);
  FCanvas->SetWindowHandle(FHandle);
}

void TCustomListBox::InitializeWnd() {
  if (FSortOnCreate) {
    FSortOnCreate = false;
    if (FSorted && !VirtualStyle()) FItems->SortHeld();
  }
  if (FStyle != lbStandard && FStyle != lbOwnerDrawVariable) Send(FHandle, LB_SETITEMHEIGHT, 0, FItemHeight);
  if (VirtualStyle()) Send(FHandle, LB_SETCOUNT, WPARAM(FVirtualCount));
  FItems->PushToWindow();
  UpdateColumnWidth();
}

void TCustomListBox::DestroyWnd() {
  if (FHandle && FItems->FInWindow) {
    if (VirtualStyle()) FVirtualCount = int(std::max<LRESULT>(Send(FHandle, LB_GETCOUNT), 0));
    FItems->PullFromWindow();
  }
  FCanvas->SetWindowHandle(nullptr);
  TWinControl::DestroyWnd();
}

void TCustomListBox::Loaded() {
  TWinControl::Loaded();
  if (FHasLoadedItemIndex) {
    FHasLoadedItemIndex = false;
    SetItemIndex(FLoadedItemIndex);
  }
}

void TCustomListBox::Resize() {
  UpdateColumnWidth();
  TWinControl::Resize();
}

void TCustomListBox::UpdateColumnWidth() {
  HWND w = ListWindow();
  if (!w || FColumns <= 0) return;
  Send(w, LB_SETCOLUMNWIDTH, WPARAM(std::max(1, ClientWidth() / FColumns)));
}

int TCustomListBox::ItemIndex() const {
  HWND w = ListWindow();
  if (!w) return FItems->FHeldIndex;
  if (FMultiSelect) return Count() > 0 ? int(Send(w, LB_GETCARETINDEX)) : -1;
  LRESULT r = Send(w, LB_GETCURSEL);
  return r >= 0 ? int(r) : -1;
}

void TCustomListBox::SetItemIndex(int v) {
  if (FComponentState.Contains(csLoading)) {
    FLoadedItemIndex = v;
    FHasLoadedItemIndex = true;
    return;
  }
  if (v < -1 || v >= Count()) throw EListError(Format(SRes::SListIndexError, {v}));
  if (v == ItemIndex()) return;
  HWND w = ListWindow();
  if (!w) {
    FItems->FHeldIndex = v;
    return;
  }
  if (FMultiSelect) {
    if (v >= 0) Send(w, LB_SETCARETINDEX, WPARAM(v), FALSE);
  } else {
    Send(w, LB_SETCURSEL, WPARAM(v));
  }
}

bool TCustomListBox::Selected(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SRes::SListIndexError, {index}));
  HWND w = ListWindow();
  if (!FMultiSelect) return ItemIndex() == index;
  if (!w) return size_t(index) < FItems->FHeldSelected.size() && FItems->FHeldSelected[size_t(index)];
  return Send(w, LB_GETSEL, WPARAM(index)) > 0;
}

void TCustomListBox::SetSelected(int index, bool v) {
  if (index < 0 || index >= Count()) throw EListError(Format(SRes::SListIndexError, {index}));
  if (!FMultiSelect) {
    if (v) SetItemIndex(index);
    else if (ItemIndex() == index) SetItemIndex(-1);
    return;
  }
  HWND w = ListWindow();
  if (!w) {
    auto& sel = FItems->FHeldSelected;
    if (sel.size() < size_t(Count())) sel.resize(size_t(Count()), 0);
    sel[size_t(index)] = v ? 1 : 0;
    return;
  }
  Send(w, LB_SETSEL, v ? TRUE : FALSE, LPARAM(index));
}

int TCustomListBox::SelCount() const {
  if (!FMultiSelect) return ItemIndex() >= 0 ? 1 : 0;
  HWND w = ListWindow();
  if (!w) return int(std::count(FItems->FHeldSelected.begin(), FItems->FHeldSelected.end(), 1));
  return int(std::max<LRESULT>(Send(w, LB_GETSELCOUNT), 0));
}

void TCustomListBox::ClearSelection() {
  if (!FMultiSelect) {
    SetItemIndex(-1);
    return;
  }
  HWND w = ListWindow();
  if (!w) std::fill(FItems->FHeldSelected.begin(), FItems->FHeldSelected.end(), 0);
  else Send(w, LB_SETSEL, FALSE, -1);
}

void TCustomListBox::SelectAll() {
  if (!FMultiSelect) return;
  HWND w = ListWindow();
  if (!w) FItems->FHeldSelected.assign(size_t(Count()), 1);
  else Send(w, LB_SETSEL, TRUE, -1);
}

void TCustomListBox::DeleteSelected() {
  FItems->BeginUpdate();
  struct End {
    TStrings* s;
    ~End() { s->EndUpdate(); }
  } end{FItems.get()};
  for (int i = Count() - 1; i >= 0; --i) {
    if (Selected(i)) FItems->Delete(i);
  }
}

void TCustomListBox::SetMultiSelect(bool v) {
  if (v == FMultiSelect) return;
  FMultiSelect = v;
  RecreateWnd();
}

void TCustomListBox::SetExtendedSelect(bool v) {
  if (v == FExtendedSelect) return;
  FExtendedSelect = v;
  if (FMultiSelect) RecreateWnd();
}

void TCustomListBox::SetSorted(bool v) {
  if (v == FSorted) return;
  FSorted = v;
  if (VirtualStyle()) return;
  if (!HandleAllocated()) {
    if (v) FItems->SortHeld();
    return;
  }
  FSortOnCreate = v;
  RecreateWnd();
  // Destroyed but not made again (no parent window now): sort what is held.
  if (FSortOnCreate && !HandleAllocated()) {
    FSortOnCreate = false;
    FItems->SortHeld();
  }
}

void TCustomListBox::SetStyle(TListBoxStyle v) {
  if (v == FStyle) return;
  FStyle = v;
  RecreateWnd();
}

int TCustomListBox::ItemHeight() const {
  if (FStyle == lbStandard && FHandle) return int(Send(FHandle, LB_GETITEMHEIGHT, 0));
  return FItemHeight;
}

void TCustomListBox::SetItemHeight(int v) {
  if (v <= 0 || v > 255) throw EArgumentOutOfRangeException(Format(L"Item height %d is out of range 1..255", {v}));
  if (v == FItemHeight) return;
  FItemHeight = v;
  if (!FHandle) return;
  if (FStyle == lbOwnerDrawVariable) {
    RecreateWnd();
  } else if (FStyle != lbStandard) {
    Send(FHandle, LB_SETITEMHEIGHT, 0, v);
    Invalidate();
  }
}

void TCustomListBox::SetColumns(int v) {
  if (v < 0) throw EArgumentOutOfRangeException(Format(L"Columns %d must not be negative", {v}));
  if (v == FColumns) return;
  bool recreate = (v == 0) != (FColumns == 0);
  FColumns = v;
  if (recreate) RecreateWnd();
  else UpdateColumnWidth();
}

void TCustomListBox::SetIntegralHeight(bool v) {
  if (v == FIntegralHeight) return;
  FIntegralHeight = v;
  RecreateWnd();
}

void TCustomListBox::SetBorderStyle(TListBorderStyle v) {
  if (v == FBorderStyle) return;
  FBorderStyle = v;
  RecreateWnd();
}

int TCustomListBox::TopIndex() const {
  HWND w = ListWindow();
  if (!w) return FItems->FHeldTop;
  return int(std::max<LRESULT>(Send(w, LB_GETTOPINDEX), 0));
}

void TCustomListBox::SetTopIndex(int v) {
  if (v == TopIndex()) return;
  HWND w = ListWindow();
  if (!w) FItems->FHeldTop = std::max(v, 0);
  else Send(w, LB_SETTOPINDEX, WPARAM(std::max(v, 0)));
}

int TCustomListBox::Count() const {
  if (!VirtualStyle()) return FItems->Count();
  HWND w = ListWindow();
  if (!w) return FVirtualCount;
  return int(std::max<LRESULT>(Send(w, LB_GETCOUNT), 0));
}

void TCustomListBox::SetCount(int v) {
  if (!VirtualStyle()) throw EInvalidOperation(L"Only a virtual list box takes its Count: add to Items instead");
  if (v < 0) throw EArgumentOutOfRangeException(Format(L"Count %d must not be negative", {v}));
  HWND w = ListWindow();
  if (!w) {
    FVirtualCount = v;
    if (FItems->FHeldIndex >= v) FItems->FHeldIndex = -1;
    return;
  }
  LRESULT r = Send(w, LB_SETCOUNT, WPARAM(v));
  if (r < 0) throw EOutOfResources(Format(L"The list cannot hold %d items", {v}));
}

void TCustomListBox::Clear() { FItems->Clear(); }

int TCustomListBox::ItemAtPos(const TPoint& pos, bool existing) const {
  HWND w = ListWindow();
  if (!w) return -1;
  RECT client;
  GetClientRect(w, &client);
  POINT pt{pos.X, pos.Y};
  if (!PtInRect(&client, pt)) return -1;
  int count = Count();
  for (int i = TopIndex(); i < count; ++i) {
    RECT r;
    if (Send(w, LB_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r)) == LB_ERR) break;
    if (PtInRect(&r, pt)) return i;
    // Items further on start beyond the client area.
    if (FColumns == 0 ? r.top >= client.bottom : r.left >= client.right) break;
  }
  return existing ? -1 : count;
}

TRect TCustomListBox::ItemRect(int index) const {
  HWND w = ListWindow();
  if (!w || index < 0 || index >= Count()) return TRect();
  RECT r;
  if (Send(w, LB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r)) == LB_ERR) return TRect();
  return TRect(r.left, r.top, r.right, r.bottom);
}

void TCustomListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  FCanvas->FillRect(rect);
  if (index < Count()) FCanvas->TextOut(rect.Left + 2, rect.Top, FItems->Get(index));
}

void TCustomListBox::MeasureItem(int index, int& height) { OnMeasureItem(this, index, height); }

String TCustomListBox::DoGetData(int index) {
  String data;
  OnData(this, index, data);
  return data;
}

void TCustomListBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      switch (HIWORD(m.WParam)) {
        case LBN_SELCHANGE: Click(); break;
        case LBN_DBLCLK: DblClick(); break;
      }
      return;
    case CN_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      OwnerDrawItem(FCanvas.get(), FFont.get(), FColor, *d,
                    [this](int index, const TRect& r, TOwnerDrawState s) { DrawItem(index, r, s); });
      m.Result = 1;
      return;
    }
    case CN_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      int height = FItemHeight;
      if (FStyle == lbOwnerDrawVariable && int(mi->itemID) >= 0) {
        WithMeasureCanvas(FCanvas.get(), FFont.get(), [&] { MeasureItem(int(mi->itemID), height); });
      }
      mi->itemHeight = UINT(std::clamp(height, 1, 255));
      m.Result = 1;
      return;
    }
    case WM_DESTROY:
      // Destroyed with its parent rather than through DestroyWnd: keep the items all the same.
      if (FItems->FInWindow) {
        if (VirtualStyle()) FVirtualCount = int(std::max<LRESULT>(Send(FHandle, LB_GETCOUNT), 0));
        FItems->PullFromWindow();
        FCanvas->SetWindowHandle(nullptr);
      }
      break;
  }
  TWinControl::WndProc(m);
}

// --- TCustomComboBox -----------------------------------------------------------------------

struct TComboEditPeer {
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* c = static_cast<TCustomComboBox*>(GetPropW(wnd, EditPropName));
    if (!c || !c->FEditDefProc) return DefWindowProcW(wnd, msg, wp, lp);
    std::weak_ptr<int> life = c->FLife;
    try {
      return c->EditWndProc(wnd, msg, wp, lp);
    } catch (...) {
      KwHandleCurrentException(life.expired() ? nullptr : c);
      return 0;
    }
  }
};

KW_REGISTER_CLASS(TCustomComboBox, TWinControl)

KW_BEGIN_CLASS(TComboBox, TCustomComboBox) {
  b.Prop(L"Style", &TComboBox::Style, &TComboBox::SetStyle).Default(csDropDown);
  b.Prop(L"Color", &TComboBox::Color, &TComboBox::SetColor).Stored(&TComboBox::ColorStored).Default(clWindow);
  b.Prop(L"DropDownCount", &TComboBox::DropDownCount, &TComboBox::SetDropDownCount).Default(8);
  b.Prop(L"Font", &TComboBox::Font, &TComboBox::SetFont).Stored(&TComboBox::FontStored);
  b.Prop(L"ItemHeight", &TComboBox::ItemHeight, &TComboBox::SetItemHeight).Stored(&TComboBox::ItemHeightStored);
  b.Prop(L"MaxLength", &TComboBox::MaxLength, &TComboBox::SetMaxLength).Default(0);
  b.Prop(L"ParentColor", &TComboBox::ParentColor, &TComboBox::SetParentColor).Default(false);
  b.Prop(L"ParentFont", &TComboBox::ParentFont, &TComboBox::SetParentFont).Default(true);
  b.Prop(L"Sorted", &TComboBox::Sorted, &TComboBox::SetSorted).Default(false);
  b.Prop(L"Items", &TComboBox::Items, &TComboBox::SetItems);
  b.Prop(L"ItemIndex", &TComboBox::ItemIndex, &TComboBox::SetItemIndex).Default(-1);
  b.Prop(L"Text", &TComboBox::Text, &TComboBox::SetText).Stored(&TComboBox::TextStored);
  b.Event(L"OnChange", &TComboBox::OnChange);
  b.Event(L"OnCloseUp", &TComboBox::OnCloseUp);
  b.Event(L"OnDrawItem", &TComboBox::OnDrawItem);
  b.Event(L"OnDropDown", &TComboBox::OnDropDown);
  b.Event(L"OnMeasureItem", &TComboBox::OnMeasureItem);
  b.Event(L"OnSelect", &TComboBox::OnSelect);
}

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner), FItems(std::make_unique<TComboBoxStrings>(this)),
      FCanvas(std::make_unique<TControlCanvas>()) {
  // Clicks come from the selection notification; the drop-down handles the mouse itself.
  FControlStyle = {csFixedHeight};
  FWidth = 145;
  FHeight = 23;
  FTabStop = true;
  FParentColor = false;
  FColor = clWindow;
  FBrush->SetColor(FColor);
}

TCustomComboBox::~TCustomComboBox() {
  FItems->FInWindow = false;
  FCanvas->SetWindowHandle(nullptr);
  DestroyHandle();
}

void TCustomComboBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  if (UseRightToLeftAlignment()) p.ExStyle |= WS_EX_RIGHT;
  p.SubClassName = L"COMBOBOX";
  p.Style |= WS_VSCROLL | CBS_AUTOHSCROLL;
  switch (FStyle) {
    case csDropDown: p.Style |= CBS_DROPDOWN; break;
    case csSimple: p.Style |= CBS_SIMPLE; break;
    case csDropDownList: p.Style |= CBS_DROPDOWNLIST; break;
    case csOwnerDrawFixed: p.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS; break;
    case csOwnerDrawVariable: p.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS; break;
  }
  if (FSorted) p.Style |= CBS_SORT;
  // A drop-down's window height at creation is its list's; the platform shrinks the window.
  if (FStyle != csSimple) p.Height = FHeight + std::max(FDropDownCount, 1) * FItemHeight + 2;
}

void TCustomComboBox::CreateWnd() {
  TWinControl::CreateWnd();
  AssignControlId(FHandle);
  FCanvas->SetWindowHandle(FHandle);
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  if (GetComboBoxInfo(FHandle, &info)) {
    FListHandle = info.hwndList;
    if (HasEdit() && info.hwndItem && info.hwndItem != FHandle) {
      FEditHandle = info.hwndItem;
      HookEdit();
    }
  }
}

void TCustomComboBox::HookEdit() {
  SetPropW(FEditHandle, EditPropName, this);
  FEditDefProc = reinterpret_cast<void*>(
      SetWindowLongPtrW(FEditHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TComboEditPeer::Proc)));
}

void TCustomComboBox::UnhookEdit() {
  if (!FEditHandle) return;
  if (FEditDefProc && IsWindow(FEditHandle)) {
    SetWindowLongPtrW(FEditHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FEditDefProc));
    RemovePropW(FEditHandle, EditPropName);
  }
  FEditHandle = nullptr;
  FEditDefProc = nullptr;
}

void TCustomComboBox::InitializeWnd() {
  if (FSortOnCreate) {
    FSortOnCreate = false;
    if (FSorted) FItems->SortHeld();
  }
  if (FMaxLength > 0 && HasEdit()) Send(FHandle, CB_LIMITTEXT, WPARAM(FMaxLength));
  // The field's height was asked while the window was made and may have gone astray.
  if (OwnerDraw()) Send(FHandle, CB_SETITEMHEIGHT, WPARAM(-1), FItemHeight);
  if (FStyle == csOwnerDrawFixed) Send(FHandle, CB_SETITEMHEIGHT, 0, FItemHeight);
  String text = FText;
  bool old = FSettingText;
  FSettingText = true;
  try {
    FItems->PushToWindow();
    if (HasEdit()) SetWindowTextW(FHandle, text.c_str());
  } catch (...) {
    FSettingText = old;
    throw;
  }
  FSettingText = old;
}

void TCustomComboBox::DestroyWnd() {
  if (FHandle && FItems->FInWindow) FItems->PullFromWindow();
  UnhookEdit();
  FListHandle = nullptr;
  FCanvas->SetWindowHandle(nullptr);
  TWinControl::DestroyWnd();
}

void TCustomComboBox::Loaded() {
  TWinControl::Loaded();
  if (FHasLoadedItemIndex) {
    FHasLoadedItemIndex = false;
    SetItemIndex(FLoadedItemIndex);
  }
}

String TCustomComboBox::GetText() const {
  if (FHandle || HasEdit()) return TWinControl::GetText();
  int index = FItems->FHeldIndex;
  return index >= 0 && index < FItems->FHeld->Count() ? FItems->FHeld->Get(index) : String();
}

void TCustomComboBox::SetTextInternal(const String& v) {
  FText = v;
  if (ComboWindow()) {
    ApplyText(v);
    return;
  }
  FItems->FHeldIndex = FItems->FHeld->IndexOf(v);
}

void TCustomComboBox::ApplyText(const String& v) {
  HWND w = ComboWindow();
  if (!w) return;
  bool old = FSettingText;
  FSettingText = true;
  struct Restore {
    bool& flag;
    bool old;
    ~Restore() { flag = old; }
  } restore{FSettingText, old};
  int index = FItems->IndexOf(v);
  if (Send(w, CB_GETCURSEL) != index) Send(w, CB_SETCURSEL, WPARAM(index));
  if (HasEdit()) SetWindowTextW(w, v.c_str());
}

int TCustomComboBox::ItemIndex() const {
  HWND w = ComboWindow();
  if (!w) return FItems->FHeldIndex;
  LRESULT r = Send(w, CB_GETCURSEL);
  return r >= 0 ? int(r) : -1;
}

void TCustomComboBox::SetItemIndex(int v) {
  if (FComponentState.Contains(csLoading)) {
    FLoadedItemIndex = v;
    FHasLoadedItemIndex = true;
    return;
  }
  if (v < -1 || v >= FItems->Count()) throw EListError(Format(SRes::SListIndexError, {v}));
  if (v == ItemIndex()) return;
  HWND w = ComboWindow();
  if (!w) {
    FItems->FHeldIndex = v;
    // As the window would: choosing nothing empties the edit.
    if (HasEdit()) FText = v >= 0 ? FItems->Get(v) : String();
    return;
  }
  bool old = FSettingText;
  FSettingText = true;
  Send(w, CB_SETCURSEL, WPARAM(v));
  FSettingText = old;
}

void TCustomComboBox::SetStyle(TComboBoxStyle v) {
  if (v == FStyle) return;
  FStyle = v;
  RecreateWnd();
}

void TCustomComboBox::SetDropDownCount(int v) {
  if (v < 1) throw EArgumentOutOfRangeException(Format(L"DropDownCount %d must be at least 1", {v}));
  if (v == FDropDownCount) return;
  FDropDownCount = v;
}

bool TCustomComboBox::DroppedDown() const {
  return FHandle && Send(FHandle, CB_GETDROPPEDSTATE) != 0;
}

void TCustomComboBox::SetDroppedDown(bool v) {
  if (v == DroppedDown()) return;
  Send(Handle(), CB_SHOWDROPDOWN, v ? TRUE : FALSE);
}

void TCustomComboBox::AdjustDropDown() {
  if (!FHandle || FStyle == csSimple) return;
  int itemHeight = int(Send(FHandle, CB_GETITEMHEIGHT, 0));
  int count = int(std::max<LRESULT>(Send(FHandle, CB_GETCOUNT), 0));
  int rows = std::clamp(count, 1, FDropDownCount);
  RECT r;
  GetWindowRect(FHandle, &r);
  // The window's height beyond the closed one is the list's: the platform takes it and shrinks back.
  bool old = FSettingBounds;
  FSettingBounds = true;
  SetWindowPos(FHandle, nullptr, 0, 0, r.right - r.left, (r.bottom - r.top) + rows * itemHeight + 2,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  FSettingBounds = old;
}

void TCustomComboBox::SetSorted(bool v) {
  if (v == FSorted) return;
  FSorted = v;
  if (!HandleAllocated()) {
    if (v) FItems->SortHeld();
    return;
  }
  FSortOnCreate = v;
  RecreateWnd();
  if (FSortOnCreate && !HandleAllocated()) {
    FSortOnCreate = false;
    FItems->SortHeld();
  }
}

void TCustomComboBox::SetMaxLength(int v) {
  if (v < 0) throw EArgumentOutOfRangeException(Format(L"MaxLength %d must not be negative", {v}));
  if (v == FMaxLength) return;
  FMaxLength = v;
  if (FHandle && HasEdit()) Send(FHandle, CB_LIMITTEXT, WPARAM(v));
}

int TCustomComboBox::SelStart() const {
  if (!FHandle) return 0;
  DWORD start = 0, end = 0;
  Send(FHandle, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return int(start);
}

void TCustomComboBox::SetSelStart(int v) {
  Send(Handle(), CB_SETEDITSEL, 0, MAKELPARAM(v, v));
}

int TCustomComboBox::SelLength() const {
  if (!FHandle) return 0;
  DWORD start = 0, end = 0;
  Send(FHandle, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return int(end) - int(start);
}

void TCustomComboBox::SetSelLength(int v) {
  int start = SelStart();
  Send(Handle(), CB_SETEDITSEL, 0, MAKELPARAM(start, start + v));
}

String TCustomComboBox::SelText() const {
  String text = Text();
  size_t start = size_t(std::min<int>(SelStart(), int(text.size())));
  return text.substr(start, size_t(std::max(SelLength(), 0)));
}

void TCustomComboBox::SetSelText(const String& v) {
  HandleNeeded();
  if (!FEditHandle) throw EInvalidOperation(L"A drop-down list has no edit to put text in");
  Send(FEditHandle, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(v.c_str()));
}

void TCustomComboBox::SelectAll() {
  if (FHandle) Send(FHandle, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
}

int TCustomComboBox::ItemHeight() const {
  if (!OwnerDraw() && FHandle) return int(Send(FHandle, CB_GETITEMHEIGHT, 0));
  return FItemHeight;
}

void TCustomComboBox::SetItemHeight(int v) {
  if (v <= 0 || v > 255) throw EArgumentOutOfRangeException(Format(L"Item height %d is out of range 1..255", {v}));
  if (v == FItemHeight) return;
  FItemHeight = v;
  if (!FHandle) return;
  if (FStyle == csOwnerDrawVariable) {
    RecreateWnd();
  } else if (FStyle == csOwnerDrawFixed) {
    Send(FHandle, CB_SETITEMHEIGHT, WPARAM(-1), v);
    Send(FHandle, CB_SETITEMHEIGHT, 0, v);
    Invalidate();
  }
}

void TCustomComboBox::Clear() {
  FItems->Clear();
  SetText(String());
}

bool TCustomComboBox::Focused() const {
  if (!FHandle) return false;
  HWND focus = GetFocus();
  return focus == FHandle || (FEditHandle && focus == FEditHandle);
}

void TCustomComboBox::Select() {
  if (OnSelect) OnSelect(this);
  else Change();
}

void TCustomComboBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  FCanvas->FillRect(rect);
  if (index < FItems->Count()) FCanvas->TextOut(rect.Left + 2, rect.Top, FItems->Get(index));
}

void TCustomComboBox::MeasureItem(int index, int& height) { OnMeasureItem(this, index, height); }

void TCustomComboBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      switch (HIWORD(m.WParam)) {
        case CBN_SELCHANGE: {
          // The edit shows the choice before anyone reads Text.
          if (HasEdit() && FHandle) {
            LRESULT index = Send(FHandle, CB_GETCURSEL);
            if (index >= 0) {
              String s = FItems->Get(int(index));
              bool old = FSettingText;
              FSettingText = true;
              SetWindowTextW(FHandle, s.c_str());
              FSettingText = old;
            }
          }
          std::weak_ptr<int> life = FLife;
          Click();
          if (!life.expired()) Select();
          break;
        }
        case CBN_EDITCHANGE:
          if (!FSettingText) Change();
          break;
        case CBN_DROPDOWN:
          AdjustDropDown();
          DropDown();
          break;
        case CBN_CLOSEUP: CloseUp(); break;
        case CBN_DBLCLK: DblClick(); break;
      }
      return;
    case CN_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      OwnerDrawItem(FCanvas.get(), FFont.get(), FColor, *d,
                    [this](int index, const TRect& r, TOwnerDrawState s) { DrawItem(index, r, s); });
      m.Result = 1;
      return;
    }
    case CN_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      int height = FItemHeight;
      if (FStyle == csOwnerDrawVariable && int(mi->itemID) >= 0) {
        WithMeasureCanvas(FCanvas.get(), FFont.get(), [&] { MeasureItem(int(mi->itemID), height); });
      }
      mi->itemHeight = UINT(std::clamp(height, 1, 255));
      m.Result = 1;
      return;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC: {
      // The inner edit and list ask the combo box itself; they take its colours.
      HWND from = reinterpret_cast<HWND>(m.LParam);
      if (from && (from == FEditHandle || from == FListHandle)) {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        SetTextColor(dc, ColorToRGB(FFont->Color()));
        SetBkColor(dc, ColorToRGB(FBrush->Color()));
        m.Result = reinterpret_cast<LResult>(FBrush->Handle());
        return;
      }
      break;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
      if (FKeyFromEdit) {
        // From the inner edit: the events only; the edit does its own default handling.
        FKeyFromEdit = false;
        bool used = m.Msg == WM_CHAR                                   ? DoKeyPress(m)
                    : (m.Msg == WM_KEYDOWN || m.Msg == WM_SYSKEYDOWN) ? DoKeyDown(m)
                                                                      : DoKeyUp(m);
        m.Result = used ? 1 : 0;
        return;
      }
      break;
    case CM_WANTSPECIALKEY:
      // An open list closes on Enter and Escape before the form sees them.
      if ((m.WParam == VK_RETURN || m.WParam == VK_ESCAPE) && DroppedDown()) {
        m.Result = 1;
        return;
      }
      break;
    case WM_DESTROY:
      if (FItems->FInWindow) {
        FItems->PullFromWindow();
        FText = TWinControl::GetText();
        FCanvas->SetWindowHandle(nullptr);
        FListHandle = nullptr;
      }
      break;
  }
  TWinControl::WndProc(m);
}

std::intptr_t TCustomComboBox::EditWndProc(HWND__* wnd, unsigned msg, std::uintptr_t wp, std::intptr_t lp) {
  auto def = reinterpret_cast<WNDPROC>(FEditDefProc);
  switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR: {
      TMessage m(msg, wp, lp);
      std::weak_ptr<int> life = FLife;
      FKeyFromEdit = true;
      try {
        if (FWindowProc) FWindowProc(m);
        else WndProc(m);
      } catch (...) {
        if (!life.expired()) FKeyFromEdit = false;
        throw;
      }
      if (life.expired()) return 0;
      FKeyFromEdit = false;
      if (m.Result != 0) return 0;
      wp = WPARAM(m.WParam);
      break;
    }
    case WM_SETFOCUS: {
      LRESULT r = CallWindowProcW(def, wnd, msg, wp, lp);
      TWinControl* top = this;
      while (top->Parent()) top = top->Parent();
      if (!top->SetFocusedControl(this) && top == this) Perform(CM_ENTER, 0, 0);
      return r;
    }
    case WM_KILLFOCUS: {
      LRESULT r = CallWindowProcW(def, wnd, msg, wp, lp);
      TWinControl* top = this;
      while (top->Parent()) top = top->Parent();
      if (top == this && !top->SetFocusedControl(nullptr)) Perform(CM_EXIT, 0, 0);
      return r;
    }
    case WM_NCDESTROY:
      if (wnd == FEditHandle) UnhookEdit();
      return CallWindowProcW(def, wnd, msg, wp, lp);
  }
  return CallWindowProcW(def, wnd, msg, wp, lp);
}

}  // namespace kw
