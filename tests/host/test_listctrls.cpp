// List box and combo box: items kept across windowless use and window re-creation, sorting,
// clicks and typing through real posted input, owner drawing checked by pixels and item heights,
// drop-down notifications and form streaming of the items.
#include <gtest/gtest.h>

#include <cstring>

#include "host/Bitmap.h"
#include "host/Listctrls.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

using namespace kw;

namespace {

LRESULT CALLBACK TopProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }

HWND MakeTopWindow() {
  static ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = TopProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KwListCtrlsTestTop";
    return RegisterClassExW(&wc);
  }();
  (void)atom;
  HWND w = CreateWindowExW(0, L"KwListCtrlsTestTop", L"", WS_OVERLAPPEDWINDOW, 0, 0, 420, 420, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  ShowWindow(w, SW_SHOWNOACTIVATE);
  return w;
}

// The container the controls sit on, and the root of the streamed forms.
class TListCtrlsTestHost : public TCustomControl {
  KW_CLASS(TListCtrlsTestHost, TCustomControl)
  explicit TListCtrlsTestHost(TComponent* owner) : TCustomControl(owner) {
    FControlStyle.Include(csAcceptsControls);
    SetBounds(0, 0, 400, 380);
  }
};
KW_REGISTER_CLASS(TListCtrlsTestHost, TCustomControl)

// As the application's loop does: key messages are offered to the controls first.
void Pump() {
  MSG msg;
  for (int pass = 0; pass < 4; ++pass) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (KwIsKeyMsg(&msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

std::vector<String> ItemsOf(const TStrings* s) {
  std::vector<String> v;
  for (int i = 0; i < s->Count(); ++i) v.push_back(s->Strings(i));
  return v;
}

bool Contains(const TBytes& bytes, const char* text) {
  size_t n = std::strlen(text);
  for (size_t i = 0; i + n <= bytes.size(); ++i)
    if (std::memcmp(bytes.data() + i, text, n) == 0) return true;
  return false;
}

class ListCtrls : public testing::Test {
protected:
  void SetUp() override {
    FTop = MakeTopWindow();
    ASSERT_NE(FTop, nullptr);
    FHost = new TListCtrlsTestHost(nullptr);
    FHost->SetParentWindow(FTop);
    FHost->HandleNeeded();
  }
  void TearDown() override {
    delete FHost;
    DestroyWindow(FTop);
    Pump();
  }
  template <class T>
  T* Make(int left = 10, int top = 10, int width = 150, int height = 120) {
    auto* c = new T(FHost);
    c->SetBounds(left, top, width, height);
    return c;
  }
  HWND FTop = nullptr;
  TListCtrlsTestHost* FHost = nullptr;
  TObject FObjA, FObjB;
};

}  // namespace

TEST_F(ListCtrls, ItemsAreOneListWithAndWithoutTheWindow) {
  auto* lb = Make<TListBox>();
  lb->Items()->Add(L"one");
  lb->Items()->AddObject(L"two", &FObjA);
  lb->Items()->Add(L"three");
  lb->SetItemIndex(1);
  EXPECT_FALSE(lb->HandleAllocated());
  lb->SetParent(FHost);
  ASSERT_TRUE(lb->HandleAllocated());
  HWND w = lb->Handle();
  EXPECT_EQ(SendMessageW(w, LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(w, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendMessageW(w, LB_GETITEMDATA, 1, 0), reinterpret_cast<LRESULT>(&FObjA));
  lb->Items()->AddObject(L"four", &FObjB);
  lb->Items()->Insert(0, L"zero");  // before the selection: the selection follows its item
  EXPECT_EQ(lb->ItemIndex(), 2);
  lb->Items()->SetStrings(2, L"TWO");  // renaming keeps object and selection
  EXPECT_EQ(lb->Items()->Objects(2), &FObjA);
  EXPECT_EQ(lb->ItemIndex(), 2);

  lb->RecreateWnd();
  EXPECT_NE(lb->Handle(), nullptr);
  EXPECT_EQ(ItemsOf(lb->Items()), (std::vector<String>{L"zero", L"one", L"TWO", L"three", L"four"}));
  EXPECT_EQ(lb->Items()->Objects(2), &FObjA);
  EXPECT_EQ(lb->Items()->Objects(4), &FObjB);
  EXPECT_EQ(lb->Items()->Objects(0), nullptr);
  EXPECT_EQ(lb->ItemIndex(), 2);

  // Taken off its parent the window goes; the same edits behave the same while held.
  lb->SetParent(nullptr);
  EXPECT_FALSE(lb->HandleAllocated());
  EXPECT_EQ(lb->Items()->Count(), 5);
  lb->Items()->Insert(0, L"minus");
  EXPECT_EQ(lb->ItemIndex(), 3);
  lb->Items()->Delete(3);
  EXPECT_EQ(lb->ItemIndex(), -1);
  EXPECT_EQ(lb->Items()->IndexOf(L"FOUR"), 4);
  EXPECT_THROW(lb->Items()->Strings(5), EStringListError);
  EXPECT_THROW(lb->SetItemIndex(5), EListError);
  lb->SetParent(FHost);
  EXPECT_EQ(ItemsOf(lb->Items()), (std::vector<String>{L"minus", L"zero", L"one", L"three", L"four"}));
  EXPECT_EQ(lb->Items()->Objects(4), &FObjB);
  EXPECT_THROW(lb->Items()->Strings(5), EStringListError);
  EXPECT_THROW(lb->Items()->Delete(-1), EStringListError);
}

TEST_F(ListCtrls, RecreationKeepsMultiSelectionAndTopIndex) {
  auto* lb = Make<TListBox>(10, 10, 150, 80);
  lb->SetParent(FHost);
  lb->Items()->BeginUpdate();
  for (int i = 0; i < 40; ++i) lb->Items()->Add(Format(L"item %.2d", {i}));
  lb->Items()->EndUpdate();
  lb->SetItemIndex(7);
  lb->SetMultiSelect(true);  // a new window: the single selection becomes one of many
  EXPECT_TRUE(lb->Selected(7));
  EXPECT_EQ(lb->ItemIndex(), 7);
  lb->SetSelected(3, true);
  lb->SetSelected(30, true);
  lb->SetTopIndex(20);
  EXPECT_EQ(lb->SelCount(), 3);

  lb->SetExtendedSelect(false);  // recreates again
  EXPECT_EQ(lb->SelCount(), 3);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(lb->Selected(i), i == 3 || i == 7 || i == 30) << i;
  EXPECT_EQ(lb->TopIndex(), 20);
  EXPECT_EQ(GetWindowLongPtrW(lb->Handle(), GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL), LBS_MULTIPLESEL);

  lb->DeleteSelected();
  EXPECT_EQ(lb->Items()->Count(), 37);
  EXPECT_EQ(lb->SelCount(), 0);
  EXPECT_EQ(lb->Items()->IndexOf(L"item 07"), -1);
  EXPECT_EQ(lb->Items()->Strings(3), L"item 04");
}

TEST_F(ListCtrls, SortedListsPlaceItemsAlikeWithAndWithoutWindow) {
  const wchar_t* words[] = {L"pear", L"Apple", L"fig", L"banana", L"apricot", L"Cherry"};
  auto* held = Make<TListBox>();
  held->SetSorted(true);
  std::vector<int> heldPlaces;
  for (auto* w : words) heldPlaces.push_back(held->Items()->Add(w));
  auto* live = Make<TListBox>(170);
  live->SetParent(FHost);
  live->SetSorted(true);
  std::vector<int> livePlaces;
  for (auto* w : words) livePlaces.push_back(live->Items()->Add(w));
  EXPECT_EQ(heldPlaces, livePlaces);
  std::vector<String> sorted{L"Apple", L"apricot", L"banana", L"Cherry", L"fig", L"pear"};
  EXPECT_EQ(ItemsOf(live->Items()), sorted);
  held->SetParent(FHost);
  EXPECT_EQ(ItemsOf(held->Items()), sorted);

  // Turning sorting on sorts what is there, objects and selection going along.
  auto* late = Make<TListBox>(10, 140);
  late->SetParent(FHost);
  for (auto* w : words) late->Items()->Add(w);
  late->Items()->SetObjects(0, &FObjA);  // pear
  late->SetItemIndex(2);                   // fig
  late->SetSorted(true);
  EXPECT_NE(GetWindowLongPtrW(late->Handle(), GWL_STYLE) & LBS_SORT, 0);
  EXPECT_EQ(ItemsOf(late->Items()), sorted);
  EXPECT_EQ(late->Items()->Objects(5), &FObjA);
  EXPECT_EQ(late->ItemIndex(), 4);
  EXPECT_EQ(late->Items()->Add(L"date"), 4);
}

TEST_F(ListCtrls, PostedClickOnTheSecondItemSelectsItAndClicksOnce) {
  auto* lb = Make<TListBox>();
  lb->SetParent(FHost);
  for (auto* s : {L"first", L"second", L"third"}) lb->Items()->Add(s);
  int clicks = 0, dbl = 0, indexSeen = -2;
  lb->OnClick = [&](TObject*) {
    ++clicks;
    indexSeen = lb->ItemIndex();
  };
  lb->OnDblClick = [&](TObject*) { ++dbl; };
  RECT r;
  ASSERT_NE(SendMessageW(lb->Handle(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r)), LB_ERR);
  LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PostMessageW(lb->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(lb->Handle(), WM_LBUTTONUP, 0, at);
  Pump();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(indexSeen, 1);
  EXPECT_EQ(lb->ItemIndex(), 1);
  PostMessageW(lb->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageW(lb->Handle(), WM_LBUTTONUP, 0, at);
  Pump();
  EXPECT_EQ(dbl, 1);

  // Hit testing agrees with the item rectangles.
  TRect second = lb->ItemRect(1);
  EXPECT_EQ(second, TRect(r.left, r.top, r.right, r.bottom));
  EXPECT_EQ(lb->ItemAtPos(TPoint(second.Left + 3, second.Top + 1), true), 1);
  TRect last = lb->ItemRect(2);
  EXPECT_EQ(lb->ItemAtPos(TPoint(5, last.Bottom + 5), false), 3);
  EXPECT_EQ(lb->ItemAtPos(TPoint(5, last.Bottom + 5), true), -1);
  EXPECT_EQ(lb->ItemAtPos(TPoint(-5, 2), false), -1);
  EXPECT_EQ(lb->ItemRect(3), TRect());
}

TEST_F(ListCtrls, OwnerDrawnItemsPaintWhatTheHandlerFills) {
  // A sibling with the platform's default control ID stands where measuring could go astray.
  auto* other = Make<TListCtrlsTestHost>(300, 300, 20, 20);
  other->SetParent(FHost);
  auto* lb = Make<TListBox>(10, 10, 150, 130);
  lb->SetBorderStyle(TListBorderStyle::bsNone);
  lb->SetStyle(lbOwnerDrawFixed);
  lb->SetItemHeight(22);
  for (auto* s : {L"red", L"green", L"blue"}) lb->Items()->Add(s);
  lb->SetItemIndex(1);
  std::vector<int> drawn;
  TOwnerDrawState selectedState;
  lb->OnDrawItem = [&](TWinControl* control, int index, TRect rect, TOwnerDrawState state) {
    EXPECT_EQ(control, lb);
    drawn.push_back(index);
    if (index == 1) selectedState = state;
    TColor colors[] = {clRed, clLime, clBlue};
    lb->Canvas()->Brush()->SetColor(state.Contains(odSelected) ? clYellow : colors[index]);
    lb->Canvas()->FillRect(rect);
  };
  lb->SetParent(FHost);
  EXPECT_EQ(SendMessageW(lb->Handle(), LB_GETITEMHEIGHT, 0, 0), 22);

  TBitmap bmp(150, 130);
  drawn.clear();
  bmp.Canvas()->Pixels(0, 0);  // the bitmap's own DC exists before counting
  int dcs = KwGdiCount(gkDC), fonts = KwGdiCount(gkFont);
  lb->PaintTo(bmp.Canvas(), 0, 0);
  EXPECT_EQ(KwGdiCount(gkDC), dcs);  // the item canvas let the DCs go
  EXPECT_LE(KwGdiCount(gkFont), fonts + 1);
  std::sort(drawn.begin(), drawn.end());
  drawn.erase(std::unique(drawn.begin(), drawn.end()), drawn.end());
  EXPECT_EQ(drawn, (std::vector<int>{0, 1, 2}));
  EXPECT_TRUE(selectedState.Contains(odSelected));
  EXPECT_EQ(bmp.Canvas()->Pixels(75, 11), ColorToRGB(clRed));
  EXPECT_EQ(bmp.Canvas()->Pixels(75, 33), ColorToRGB(clYellow));  // the selected one
  EXPECT_EQ(bmp.Canvas()->Pixels(75, 55), ColorToRGB(clBlue));
  EXPECT_EQ(bmp.Canvas()->Pixels(75, 100), ColorToRGB(clWindow));  // below the items

  // Without a handler: the selection in the highlight colour, the others in the list's.
  lb->OnDrawItem = nullptr;
  lb->SetColor(clAqua);
  lb->Invalidate();
  lb->PaintTo(bmp.Canvas(), 0, 0);
  EXPECT_EQ(bmp.Canvas()->Pixels(140, 33), ColorToRGB(clHighlight));
  EXPECT_EQ(bmp.Canvas()->Pixels(140, 11), ColorToRGB(clAqua));
}

TEST_F(ListCtrls, VariableItemHeightsComeFromOnMeasureItem) {
  // The platform names the list to measure by control ID: an older sibling with the default ID
  // must not take its requests.
  auto* other = Make<TListCtrlsTestHost>(300, 300, 20, 20);
  other->SetParent(FHost);
  auto* lb = Make<TListBox>();
  lb->SetStyle(lbOwnerDrawVariable);
  std::vector<int> asked;
  lb->OnMeasureItem = [&](TWinControl*, int index, int& height) {
    asked.push_back(index);
    EXPECT_EQ(height, 16);  // ItemHeight comes in
    height = 10 + 4 * index;
  };
  for (auto* s : {L"a", L"b", L"c", L"d"}) lb->Items()->Add(s);
  lb->SetParent(FHost);
  EXPECT_EQ(asked, (std::vector<int>{0, 1, 2, 3}));
  HWND w = lb->Handle();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(SendMessageW(w, LB_GETITEMHEIGHT, i, 0), 10 + 4 * i) << i;
  lb->Items()->Add(L"e");  // a later item is measured when it comes
  EXPECT_EQ(SendMessageW(w, LB_GETITEMHEIGHT, 4, 0), 26);
  EXPECT_EQ(lb->ItemRect(2).Top, 10 + 14);
}

TEST_F(ListCtrls, VirtualListsTakeCountAndText) {
  auto* lb = Make<TListBox>();
  lb->SetStyle(lbVirtual);
  lb->OnData = [](TWinControl*, int index, String& data) { data = Format(L"row %d", {index}); };
  lb->SetCount(500);
  lb->SetParent(FHost);
  EXPECT_EQ(SendMessageW(lb->Handle(), LB_GETCOUNT, 0, 0), 500);
  EXPECT_EQ(lb->Items()->Count(), 500);
  EXPECT_EQ(lb->Items()->Strings(321), L"row 321");
  EXPECT_THROW(lb->Items()->Add(L"x"), EStringListError);
  lb->SetItemIndex(250);
  lb->RecreateWnd();
  EXPECT_EQ(lb->Count(), 500);
  EXPECT_EQ(lb->ItemIndex(), 250);
  auto* plain = Make<TListBox>();
  EXPECT_THROW(plain->SetCount(3), EInvalidOperation);
  EXPECT_THROW(plain->SetItemHeight(0), EArgumentOutOfRangeException);
}

TEST_F(ListCtrls, ComboIndexAndTextAgree) {
  for (TComboBoxStyle style : {csDropDownList, csDropDown}) {
    SCOPED_TRACE(int(style));
    auto* cb = Make<TComboBox>();
    cb->SetStyle(style);
    for (auto* s : {L"One", L"Two", L"Three"}) cb->Items()->Add(s);
    // Held first, then in the window: the same answers.
    for (int pass = 0; pass < 2; ++pass) {
      SCOPED_TRACE(pass);
      cb->SetItemIndex(1);
      EXPECT_EQ(cb->Text(), L"Two");
      cb->SetText(L"Three");
      EXPECT_EQ(cb->ItemIndex(), 2);
      cb->SetText(L"nothing like it");
      EXPECT_EQ(cb->ItemIndex(), -1);
      EXPECT_EQ(cb->Text(), style == csDropDown ? L"nothing like it" : L"");
      cb->SetItemIndex(0);
      cb->SetItemIndex(-1);
      EXPECT_EQ(cb->Text(), L"");
      cb->SetParent(FHost);
    }
    cb->SetItemIndex(0);
    if (style == csDropDown) {
      cb->SetText(L"typed");
      cb->Items()->Clear();  // the edit keeps its text
      EXPECT_EQ(cb->Text(), L"typed");
      cb->Items()->AddObject(L"Back", &FObjA);
      cb->RecreateWnd();
      EXPECT_EQ(cb->Text(), L"typed");
      EXPECT_EQ(cb->Items()->Objects(0), &FObjA);
    } else {
      cb->RecreateWnd();
      EXPECT_EQ(cb->ItemIndex(), 0);
      EXPECT_EQ(cb->Text(), L"One");
    }
  }
}

TEST_F(ListCtrls, TypedTextReachesTheComboEvents) {
  auto* cb = Make<TComboBox>();
  cb->SetParent(FHost);
  for (auto* s : {L"alpha", L"beta"}) cb->Items()->Add(s);
  HWND edit = cb->EditHandle();
  ASSERT_NE(edit, nullptr);
  int changes = 0, downs = 0;
  String pressed;
  cb->OnChange = [&](TObject*) { ++changes; };
  cb->OnKeyDown = [&](TObject*, Word& key, TShiftState) {
    if (key == VK_F5) ++downs;
  };
  cb->OnKeyPress = [&](TObject*, wchar_t& key) {
    pressed += key;
    if (key == L'x') key = L'y';
    if (key == L'#') key = 0;  // swallowed
  };
  cb->SetItemIndex(1);
  EXPECT_EQ(changes, 0);  // programmatic changes are not typing
  cb->SetText(L"");
  PostMessageW(edit, WM_KEYDOWN, VK_F5, 1);
  for (wchar_t c : String(L"ax#b")) PostMessageW(edit, WM_CHAR, c, 1);
  Pump();
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(pressed, L"ax#b");
  EXPECT_EQ(cb->Text(), L"ayb");
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(cb->ItemIndex(), -1);
  cb->SetSelStart(1);
  cb->SetSelLength(1);
  EXPECT_EQ(cb->SelText(), L"y");

  // The edit of a new window is routed too.
  cb->RecreateWnd();
  EXPECT_EQ(cb->Text(), L"ayb");
  ASSERT_NE(cb->EditHandle(), nullptr);
  cb->SetSelStart(3);
  PostMessageW(cb->EditHandle(), WM_CHAR, L'x', 1);
  Pump();
  EXPECT_EQ(cb->Text(), L"ayby");
}

TEST_F(ListCtrls, DroppingDownNotifiesAndSizesTheList) {
  auto* cb = Make<TComboBox>();
  cb->SetStyle(csDropDownList);
  cb->SetParent(FHost);
  for (int i = 0; i < 12; ++i) cb->Items()->Add(Format(L"entry %d", {i}));
  int drops = 0, ups = 0, selects = 0, changes = 0, clicks = 0;
  cb->OnChange = [&](TObject*) { ++changes; };
  cb->OnClick = [&](TObject*) { ++clicks; };
  cb->OnDropDown = [&](TObject*) { ++drops; };
  cb->OnCloseUp = [&](TObject*) { ++ups; };
  cb->OnSelect = [&](TObject*) { ++selects; };
  auto listHeight = [&] {
    RECT r;
    GetClientRect(cb->ListHandle(), &r);
    return int(r.bottom);
  };
  int itemHeight = int(SendMessageW(cb->Handle(), CB_GETITEMHEIGHT, 0, 0));
  cb->SetDropDownCount(3);
  cb->SetDroppedDown(true);
  EXPECT_TRUE(cb->DroppedDown());
  EXPECT_EQ(drops, 1);
  EXPECT_EQ(ups, 0);
  EXPECT_EQ(listHeight(), 3 * itemHeight);
  cb->SetDroppedDown(false);
  EXPECT_FALSE(cb->DroppedDown());
  EXPECT_EQ(ups, 1);
  cb->SetDropDownCount(8);
  cb->SetDroppedDown(true);
  EXPECT_EQ(listHeight(), 8 * itemHeight);
  // Arrowing through the open list is a choice.
  PostMessageW(cb->Handle(), WM_KEYDOWN, VK_DOWN, 1);
  Pump();
  EXPECT_EQ(selects, 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(changes, 0);  // OnSelect took the choice
  EXPECT_EQ(cb->ItemIndex(), 0);
  cb->OnSelect = nullptr;
  PostMessageW(cb->Handle(), WM_KEYDOWN, VK_DOWN, 1);
  Pump();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(cb->ItemIndex(), 1);
  cb->SetDroppedDown(false);
  EXPECT_EQ(drops, 2);
  EXPECT_EQ(ups, 2);
  EXPECT_THROW(cb->SetDropDownCount(0), EArgumentOutOfRangeException);
}

TEST_F(ListCtrls, OwnerDrawnComboPaintsItsSelectionField) {
  auto* cb = Make<TComboBox>(10, 10, 150, 24);
  cb->SetStyle(csOwnerDrawFixed);
  cb->SetItemHeight(20);
  for (auto* s : {L"a", L"b"}) cb->Items()->Add(s);
  cb->SetItemIndex(1);
  TOwnerDrawState fieldState;
  int fieldIndex = -2;
  cb->OnDrawItem = [&](TWinControl*, int index, TRect rect, TOwnerDrawState state) {
    if (state.Contains(odComboBoxEdit)) {
      fieldState = state;
      fieldIndex = index;
    }
    cb->Canvas()->Brush()->SetColor(index == 1 ? clFuchsia : clGreen);
    cb->Canvas()->FillRect(rect);
  };
  cb->SetParent(FHost);
  TBitmap bmp(150, cb->Height());
  cb->PaintTo(bmp.Canvas(), 0, 0);
  EXPECT_EQ(fieldIndex, 1);
  EXPECT_TRUE(fieldState.Contains(odComboBoxEdit));
  EXPECT_EQ(bmp.Canvas()->Pixels(40, cb->Height() / 2), ColorToRGB(clFuchsia));
}

TEST_F(ListCtrls, ItemsRoundTripThroughAFormStream) {
  auto* lb = new TListBox(FHost);
  lb->SetName(L"List1");
  lb->SetParent(FHost);
  lb->SetStyle(lbOwnerDrawFixed);
  lb->SetItemHeight(19);
  lb->SetMultiSelect(true);
  lb->SetBorderStyle(TListBorderStyle::bsNone);
  for (auto* s : {L"north", L"south \"quoted\"", L"", L"west"}) lb->Items()->Add(s);
  auto* cb = new TComboBox(FHost);
  cb->SetName(L"Combo1");
  cb->SetParent(FHost);
  cb->SetStyle(csDropDownList);
  cb->SetSorted(true);
  cb->SetDropDownCount(5);
  for (auto* s : {L"gamma", L"alpha", L"beta"}) cb->Items()->Add(s);
  cb->SetItemIndex(2);
  auto* typed = new TComboBox(FHost);
  typed->SetName(L"Combo2");
  typed->SetParent(FHost);
  typed->Items()->Add(L"listed");
  typed->SetText(L"typed, not listed");
  FHost->SetName(L"Host1");

  TBytesStream out;
  out.WriteDescendent(FHost, nullptr);
  TBytes bytes = out.Bytes();
  EXPECT_TRUE(Contains(bytes, "Items.Strings"));

  auto* copy = new TListCtrlsTestHost(nullptr);
  TBytesStream in(bytes);
  in.ReadComponent(copy);
  auto* lb2 = dynamic_cast<TListBox*>(copy->FindComponent(L"List1"));
  auto* cb2 = dynamic_cast<TComboBox*>(copy->FindComponent(L"Combo1"));
  ASSERT_NE(lb2, nullptr);
  ASSERT_NE(cb2, nullptr);
  EXPECT_EQ(ItemsOf(lb2->Items()), ItemsOf(lb->Items()));
  EXPECT_EQ(lb2->Style(), lbOwnerDrawFixed);
  EXPECT_EQ(lb2->ItemHeight(), 19);
  EXPECT_TRUE(lb2->MultiSelect());
  EXPECT_EQ(lb2->BorderStyle(), TListBorderStyle::bsNone);
  EXPECT_EQ(ItemsOf(cb2->Items()), (std::vector<String>{L"alpha", L"beta", L"gamma"}));
  EXPECT_TRUE(cb2->Sorted());
  EXPECT_EQ(cb2->ItemIndex(), 2);
  EXPECT_EQ(cb2->Text(), L"gamma");
  EXPECT_EQ(cb2->DropDownCount(), 5);
  auto* typed2 = dynamic_cast<TComboBox*>(copy->FindComponent(L"Combo2"));
  ASSERT_NE(typed2, nullptr);
  EXPECT_EQ(typed2->Text(), L"typed, not listed");
  EXPECT_EQ(typed2->ItemIndex(), -1);
  // Read without a window, the copy's items go into the one it gets.
  copy->SetParentWindow(FTop);
  copy->HandleNeeded();
  EXPECT_EQ(SendMessageW(cb2->Handle(), CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(lb2->Handle(), LB_GETITEMHEIGHT, 0, 0), 19);
  delete copy;
}
