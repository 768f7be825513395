// List box and combo box over the platform's LISTBOX and COMBOBOX controls: item lists that live
// in the window and survive its re-creation, selection, owner drawing on a canvas, and the combo
// box's inner edit routed to the control's key events. Check lists and image combos are elsewhere.
#pragma once

#include <memory>
#include <vector>

#include "host/Controls.h"
#include "host/Stringlist.h"

struct HWND__;

namespace kw {

class TCustomListBox;
class TCustomComboBox;

// The item states of an owner-drawn item, bit for bit the platform's ODS_* flags.
enum TOwnerDrawStateFlag {
  odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight, odInactive,
  odNoAccel, odNoFocusRect, odReserved1, odReserved2, odComboBoxEdit
};
using TOwnerDrawState = TSet<TOwnerDrawStateFlag>;

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable, lbVirtual, lbVirtualOwnerDraw };
KW_DECLARE_ENUM(TListBoxStyle)
enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
KW_DECLARE_ENUM(TComboBoxStyle)
// The list controls' frame; streams as bsNone / bsSingle.
enum class TListBorderStyle { bsNone, bsSingle };
KW_DECLARE_ENUM(TListBorderStyle)

using TDrawItemEvent = TEvent<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = TEvent<void(TWinControl* Control, int Index, int& Height)>;
// A virtual list box asks for the text of an item.
using TLBGetDataEvent = TEvent<void(TWinControl* Control, int Index, String& Data)>;

// The messages of one kind of native list (LB_* or CB_*); a zero number is one the kind lacks.
struct TListMessages {
  Cardinal AddString, InsertString, DeleteString, ResetContent, GetCount, GetText, GetTextLen,
      SetItemData, GetItemData, FindStringExact, GetCurSel, SetCurSel, GetTopIndex, SetTopIndex,
      GetSel, SetSel, GetCaretIndex, SetCaretIndex;
};

// The items of a native list: read and written through the window while it exists, held in a
// string list (with objects, selection and indices) while it does not, and moved between the
// two when the window is made and destroyed.
class TListControlStrings : public TStrings {
  KW_CLASS(TListControlStrings, TStrings)
  TListControlStrings(TWinControl* control, const TListMessages& messages);
  ~TListControlStrings() override;

  String Get(int index) const override;
  int GetCount() const override;
  TObject* GetObject(int index) const override;
  // Keeps the item's object and selection.
  void Put(int index, const String& s) override;
  void PutObject(int index, TObject* obj) override;
  // At index even in a sorted list, as the platform inserts.
  void Insert(int index, const String& s) override;
  // At its place in a sorted list.
  int Add(const String& s) override;
  void Delete(int index) override;
  void Clear() override;
  int IndexOf(const String& s) const override;

  TWinControl* Control() const { return FControl; }
  // The window the items are in, or null while they are held here.
  HWND__* Window() const;

protected:
  friend class TCustomListBox;
  friend class TCustomComboBox;
  void SetUpdateState(bool updating) override;
  virtual bool SortedList() const { return false; }
  virtual bool MultiSelectList() const { return false; }
  // A list without strings of its own: the control gives the count and each item's text.
  virtual bool VirtualList() const { return false; }
  virtual int VirtualCount() const { return 0; }
  virtual String VirtualText(int index) const { return String(); }
  virtual void SetVirtualCount(int count) {}
  [[noreturn]] static void VirtualError();
  void CheckIndex(int index, bool allowEnd = false) const;
  // Where s goes in the sorted held list: the platform's binary search and comparison.
  int SortedPos(const String& s) const;
  // Sorts the held items as a sorted window would have placed them one by one.
  void SortHeld();
  // Moves the items and their state into the new window / out of the window about to go.
  void PushToWindow();
  void PullFromWindow();
  // Single selection while held: the index follows insertions and deletions before it.
  void HeldInserted(int index);
  void HeldDeleted(int index);

  TWinControl* FControl;
  const TListMessages& FMsg;
  bool FInWindow = false;
  std::unique_ptr<TStringList> FHeld;
  std::vector<char> FHeldSelected;  // multi-selection, parallel to FHeld
  int FHeldIndex = -1;              // current (or caret) item
  int FHeldTop = 0;
};

class TListBoxStrings : public TListControlStrings {
  KW_CLASS(TListBoxStrings, TListControlStrings)
  explicit TListBoxStrings(TCustomListBox* listBox);
  TCustomListBox* ListBox() const { return FListBox; }

protected:
  bool SortedList() const override;
  bool MultiSelectList() const override;
  bool VirtualList() const override;
  int VirtualCount() const override;
  String VirtualText(int index) const override;
  void SetVirtualCount(int count) override;

private:
  TCustomListBox* FListBox;
};

class TComboBoxStrings : public TListControlStrings {
  KW_CLASS(TComboBoxStrings, TListControlStrings)
  explicit TComboBoxStrings(TCustomComboBox* comboBox);
  TCustomComboBox* ComboBox() const { return FComboBox; }
  // The edit's text stays as it was.
  void Clear() override;

protected:
  bool SortedList() const override;

private:
  TCustomComboBox* FComboBox;
};

class TCustomListBox : public TWinControl {
  KW_CLASS(TCustomListBox, TWinControl)
  explicit TCustomListBox(TComponent* owner);
  ~TCustomListBox() override;

  TStrings* Items() const { return FItems.get(); }
  void SetItems(const TStrings* v) { FItems->Assign(v); }
  // The selected item, -1 for none; with MultiSelect, the item with the focus rectangle.
  int ItemIndex() const;
  void SetItemIndex(int v);
  bool MultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool v);
  // With MultiSelect: shift and ctrl extend the selection (else every click toggles).
  bool ExtendedSelect() const { return FExtendedSelect; }
  void SetExtendedSelect(bool v);
  bool Selected(int index) const;
  void SetSelected(int index, bool v);
  // Items selected: 0 or 1 without MultiSelect.
  int SelCount() const;
  void ClearSelection();
  void SelectAll();
  void DeleteSelected();
  bool Sorted() const { return FSorted; }
  void SetSorted(bool v);
  TListBoxStyle Style() const { return FStyle; }
  void SetStyle(TListBoxStyle v);
  // Owner-drawn lists use it (the default for variable ones); standard lists report the font's.
  int ItemHeight() const;
  void SetItemHeight(int v);
  bool ItemHeightStored() const { return FStyle != lbStandard; }
  // More than 0: items flow in columns of the client width divided by this.
  int Columns() const { return FColumns; }
  void SetColumns(int v);
  // The platform trims the height to whole items.
  bool IntegralHeight() const { return FIntegralHeight; }
  void SetIntegralHeight(bool v);
  TListBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TListBorderStyle v);
  int TopIndex() const;
  void SetTopIndex(int v);
  // The items; settable on virtual lists only.
  int Count() const;
  void SetCount(int v);
  void Clear();
  // The item at a client point; a point in the client below the last item gives Count
  // unless existing is set, in which case it gives -1 (as does any point outside).
  int ItemAtPos(const TPoint& pos, bool existing) const;
  // In client coordinates; empty for an index that is not an item.
  TRect ItemRect(int index) const;
  // The canvas owner drawing paints on (the item's DC while an item is drawn).
  TCanvas* Canvas() const { return FCanvas.get(); }
  bool ColorStored() const { return !FParentColor; }
  bool FontStored() const { return !FParentFont; }

  void WndProc(TMessage& message) override;

  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;
  TLBGetDataEvent OnData;

protected:
  friend class TListBoxStrings;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void InitializeWnd() override;
  void Loaded() override;
  void Resize() override;
  // Fires OnDrawItem; without a handler, fills the rectangle and writes the item's text.
  virtual void DrawItem(int index, const TRect& rect, TOwnerDrawState state);
  // Fires OnMeasureItem for variable-height items; height comes in as ItemHeight.
  virtual void MeasureItem(int index, int& height);
  // The text of an item of a virtual list, from OnData.
  virtual String DoGetData(int index);
  bool VirtualStyle() const { return FStyle == lbVirtual || FStyle == lbVirtualOwnerDraw; }
  HWND__* ListWindow() const { return FItems->Window(); }
  void UpdateColumnWidth();

  std::unique_ptr<TListBoxStrings> FItems;
  std::unique_ptr<TControlCanvas> FCanvas;
  bool FMultiSelect = false;
  bool FExtendedSelect = true;
  bool FSorted = false;
  bool FIntegralHeight = false;
  bool FSortOnCreate = false;
  TListBoxStyle FStyle = lbStandard;
  TListBorderStyle FBorderStyle = TListBorderStyle::bsSingle;
  int FItemHeight = 16;
  int FColumns = 0;
  int FVirtualCount = 0;
  int FLoadedItemIndex = -1;
  bool FHasLoadedItemIndex = false;
};

class TListBox : public TCustomListBox {
  KW_CLASS(TListBox, TCustomListBox)
  explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
};

class TCustomComboBox : public TWinControl {
  KW_CLASS(TCustomComboBox, TWinControl)
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;

  TStrings* Items() const { return FItems.get(); }
  void SetItems(const TStrings* v) { FItems->Assign(v); }
  // The selected item, -1 for none. Setting it shows the item's text in the edit.
  int ItemIndex() const;
  void SetItemIndex(int v);
  TComboBoxStyle Style() const { return FStyle; }
  void SetStyle(TComboBoxStyle v);
  // Items the dropped list shows before it scrolls.
  int DropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(int v);
  bool DroppedDown() const;
  void SetDroppedDown(bool v);
  bool Sorted() const { return FSorted; }
  void SetSorted(bool v);
  // Characters the edit accepts, 0 for no limit.
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int v);
  // The edit's selection; 0 and empty without a window.
  int SelStart() const;
  void SetSelStart(int v);
  int SelLength() const;
  void SetSelLength(int v);
  String SelText() const;
  void SetSelText(const String& v);
  void SelectAll();
  int ItemHeight() const;
  void SetItemHeight(int v);
  bool ItemHeightStored() const { return FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable; }
  void Clear();
  TCanvas* Canvas() const { return FCanvas.get(); }
  bool ColorStored() const { return !FParentColor; }
  bool FontStored() const { return !FParentFont; }
  // A drop-down list's text is its item's and need not be stored.
  bool TextStored() const { return HasEdit(); }
  // The inner edit and list windows (null when the style has none or there is no window).
  HWND__* EditHandle() const { return FEditHandle; }
  HWND__* ListHandle() const { return FListHandle; }
  bool Focused() const override;

  void WndProc(TMessage& message) override;

  // Typed text (CBN_EDITCHANGE) and, when OnSelect is unassigned, a choice from the list.
  TNotifyEvent OnChange;
  // A choice from the list (CBN_SELCHANGE); OnClick fires just before it.
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

protected:
  friend class TComboBoxStrings;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void InitializeWnd() override;
  void Loaded() override;
  // Without a window, a drop-down list's text is its selected item's.
  String GetText() const override;
  void SetTextInternal(const String& v) override;
  virtual void Change() { OnChange(this); }
  virtual void Select();
  virtual void DropDown() { OnDropDown(this); }
  virtual void CloseUp() { OnCloseUp(this); }
  virtual void DrawItem(int index, const TRect& rect, TOwnerDrawState state);
  virtual void MeasureItem(int index, int& height);
  bool HasEdit() const { return FStyle == csDropDown || FStyle == csSimple; }
  bool OwnerDraw() const { return FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable; }
  HWND__* ComboWindow() const { return FItems->Window(); }
  void AdjustDropDown();
  // Puts text in the edit (or selects the item of that text) without a change event.
  void ApplyText(const String& v);

  std::unique_ptr<TComboBoxStrings> FItems;
  std::unique_ptr<TControlCanvas> FCanvas;
  TComboBoxStyle FStyle = csDropDown;
  int FDropDownCount = 8;
  bool FSorted = false;
  bool FSortOnCreate = false;
  int FMaxLength = 0;
  int FItemHeight = 16;
  int FLoadedItemIndex = -1;
  bool FHasLoadedItemIndex = false;
  bool FSettingText = false;
  bool FKeyFromEdit = false;
  HWND__* FEditHandle = nullptr;
  HWND__* FListHandle = nullptr;
  void* FEditDefProc = nullptr;

private:
  friend struct TComboEditPeer;
  // The inner edit's messages: keys go through the control's WindowProc first.
  std::intptr_t EditWndProc(HWND__* wnd, unsigned msg, std::uintptr_t wp, std::intptr_t lp);
  void HookEdit();
  void UnhookEdit();
};

class TComboBox : public TCustomComboBox {
  KW_CLASS(TComboBox, TCustomComboBox)
  explicit TComboBox(TComponent* owner) : TCustomComboBox(owner) {}
};

}  // namespace kw
