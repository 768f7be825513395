// Menus: shortcut values and their texts, menu items in a tree with their platform menus, the
// main menu of a form (with merging by group for child forms) and pop-up menus with their
// modal loop. Forms put a main menu on their window; actions are in ActnList.h.
#pragma once

#include <memory>
#include <vector>

#include "host/Controls.h"

struct HMENU__;
struct HWND__;

namespace kw {

class TMenu;
class TCanvas;

KW_EXCEPTION(EMenuError, Exception)

// A key with its modifiers in 16 bits: the virtual key in the low byte.
using TShortCut = Word;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;

TShortCut ShortCut(Word key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, Word& key, TShiftState& shift);
// "Shift+Ctrl+Alt+Key" with the host's key names; "(None)" for 0, "" for a key without a name.
String ShortCutToText(TShortCut shortCut);
// Modifiers in any order and letter case; 0 for text that names no key, "(None)" and "".
TShortCut TextToShortCut(const String& text);

// A key message as menus and forms see it.
struct TWMKey {
  Cardinal Msg = 0;
  Word CharCode = 0;
  NativeInt KeyData = 0;
  LResult Result = 0;
};
using TShortCutEvent = TEvent<void(TWMKey& Msg, bool& Handled)>;

// The shortcut a key message stands for: Shift and Ctrl from the keyboard state, Alt from
// the message's context bit.
TShortCut ShortCutFromMessage(const TWMKey& message);

enum TMenuBreak { mbNone, mbBreak, mbBarBreak };
KW_DECLARE_ENUM(TMenuBreak)
enum TPopupAlignment { paLeft, paRight, paCenter };
KW_DECLARE_ENUM(TPopupAlignment)
enum TTrackButton { tbRightButton, tbLeftButton };
KW_DECLARE_ENUM(TTrackButton)
enum TFindItemKind { fkCommand, fkHandle, fkShortCut };

using TMenuDrawItemEvent = TEvent<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, bool Selected)>;
using TMenuMeasureItemEvent = TEvent<void(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height)>;

// One entry of a menu. Items are owned by the form (or whoever made them) and parented by
// the item above them; an item with children is a sub-menu. A caption of "-" is a separator.
class TMenuItem : public TComponent {
  KW_CLASS(TMenuItem, TComponent)
  explicit TMenuItem(TComponent* owner);
  // Leaves the parent item and frees the sub-items.
  ~TMenuItem() override;

  const String& Caption() const { return FCaption; }
  void SetCaption(const String& v);
  bool Checked() const { return FChecked; }
  void SetChecked(bool v);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  bool Default() const { return FDefault; }
  void SetDefault(bool v);
  // A radio item checked turns off the radio items of its GroupIndex under the same parent.
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool v);
  Byte GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(Byte v);
  // Clicking toggles Checked first.
  bool AutoCheck() const { return FAutoCheck; }
  void SetAutoCheck(bool v) { FAutoCheck = v; }
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut v);
  const String& Hint() const { return FHint; }
  void SetHint(const String& v) { FHint = v; }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int v);
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int v) { FHelpContext = v; }
  TMenuBreak Break() const { return FBreak; }
  void SetBreak(TMenuBreak v);
  TBasicAction* Action() const;
  void SetAction(TBasicAction* v);

  int Count() const { return int(FItems.size()); }
  TMenuItem* Items(int index) const;
  TMenuItem* Parent() const { return FParent; }
  int IndexOf(const TMenuItem* item) const;
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  // Takes the item out without freeing it.
  void Remove(TMenuItem* item);
  void Delete(int index);
  // Frees every sub-item.
  void Clear();
  int MenuIndex() const;
  void SetMenuIndex(int v);
  // The visible sub-item with this caption, accelerators ignored; null when none.
  TMenuItem* Find(const String& caption) const;
  bool IsLine() const { return FCaption == L"-"; }
  // The menu this item belongs to, through its parents; null while it is in no menu.
  TMenu* GetParentMenu() const;

  // The number WM_COMMAND carries for this item, unique in the process.
  Word Command() const { return FCommand; }
  // The platform sub-menu of an item with children (made on demand).
  HMENU__* Handle();
  // OnClick or the action; toggles Checked first with AutoCheck.
  virtual void Click();
  void InitiateAction();
  // The owner-drawn look: the events when assigned, else the host's own drawing.
  virtual void DrawItem(TCanvas* canvas, const TRect& rect, bool selected);
  virtual void MeasureItem(TCanvas* canvas, int& width, int& height);
  bool IsOwnerDrawn() const;
  // Values that follow an action are the action's to store.
  bool CaptionStored() const;
  bool CheckedStored() const;
  bool EnabledStored() const;
  bool HintStored() const;
  bool ShortCutStored() const;
  bool VisibleStored() const;
  bool ImageIndexStored() const;
  bool HelpContextStored() const;

  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;
  void SetChildOrder(TComponent* child, int order) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;

  TNotifyEvent OnClick;
  TMenuDrawItemEvent OnDrawItem;
  TMenuMeasureItemEvent OnMeasureItem;

protected:
  friend class TMenu;
  friend class TMainMenu;
  friend class TMenuActionLink;
  virtual void ActionChange(TObject* sender, bool checkDefaults);
  // Something visible changed: the platform menus that show this item are rebuilt.
  void MenuChanged(bool rebuild);
  void TurnSiblingsOff();
  // Fills menu with the visible sub-items of this item (the item's own menu by default).
  void FillMenu(HMENU__* menu, const std::vector<TMenuItem*>& items);
  void DestroyHandle();

  String FCaption;
  bool FChecked = false;
  bool FEnabled = true;
  bool FVisible = true;
  bool FDefault = false;
  bool FRadioItem = false;
  bool FAutoCheck = false;
  Byte FGroupIndex = 0;
  TShortCut FShortCut = 0;
  String FHint;
  int FImageIndex = -1;
  int FHelpContext = 0;
  TMenuBreak FBreak = mbNone;
  TMenuItem* FParent = nullptr;
  TMenu* FMenu = nullptr;  // set on the root item of a menu
  std::vector<TMenuItem*> FItems;
  Word FCommand = 0;
  HMENU__* FHandle = nullptr;
  std::unique_ptr<class TMenuActionLink> FActionLink;
};

class TMenu : public TComponent {
  KW_CLASS(TMenu, TComponent)
  explicit TMenu(TComponent* owner);
  ~TMenu() override;

  // The root item; its sub-items are the menu's entries.
  TMenuItem* Items() const { return FItems.get(); }
  HMENU__* Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  // The window the platform sends this menu's messages to.
  HWND__* WindowHandle() const { return FWindowHandle; }
  void SetWindowHandle(HWND__* wnd) { FWindowHandle = wnd; }
  // Every item is owner-drawn (OnDrawItem/OnMeasureItem or the host's drawing).
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool v);

  TMenuItem* FindItem(std::uintptr_t value, TFindItemKind kind) const;
  // Finds the enabled item of the key's shortcut and clicks it; true when one was found.
  virtual bool IsShortCut(TWMKey& message);
  // WM_COMMAND of one of this menu's items: clicks it; false for a number not ours.
  bool DispatchCommand(Word command);
  // WM_INITMENUPOPUP of a sub-menu of ours: updates its items and fires the parent's OnClick.
  bool DispatchPopup(HMENU__* menu);
  // WM_MEASUREITEM / WM_DRAWITEM of an owner-drawn item (LParam of the message); false when
  // the item is not one of ours.
  static bool MeasureItemMessage(void* measureItemStruct);
  static bool DrawItemMessage(void* drawItemStruct);
  // The item WM_MENUSELECT names (an entry or a sub-menu's parent), in any live menu; null
  // when none, or when the menu loop ends.
  static TMenuItem* SelectedItem(std::uintptr_t wParam, std::intptr_t lParam);

  void GetChildren(const TGetChildProc& proc, TComponent* root) override;
  void SetChildOrder(TComponent* child, int order) override;
  void Loaded() override;
  // The entries of the platform menu are made again from the items.
  virtual void RebuildHandle();
  TNotifyEvent OnChange;

protected:
  friend class TMenuItem;
  virtual HMENU__* CreateMenuHandle() = 0;
  // The entries shown at the top level: the items, or a merged list for a main menu.
  virtual std::vector<TMenuItem*> TopItems() const;
  virtual void MenuChanged(TMenuItem* source, bool rebuild);
  void DestroyHandle();
  std::unique_ptr<TMenuItem> FItems;
  HMENU__* FHandle = nullptr;
  HWND__* FWindowHandle = nullptr;
  bool FOwnerDraw = false;
};

// A form's menu bar. Merge shows the top items of another menu (an active child form's) in
// this one: the other's items replace this menu's items of the same GroupIndex and go in by
// ascending GroupIndex otherwise; Unmerge takes them out again.
class TMainMenu : public TMenu {
  KW_CLASS(TMainMenu, TMenu)
  explicit TMainMenu(TComponent* owner);
  ~TMainMenu() override;
  void Merge(TMainMenu* menu);
  void Unmerge(TMainMenu* menu);
  TMainMenu* Merged() const { return FMerged; }
  // A child form's menu merges into the main form's when the child is shown.
  bool AutoMerge() const { return FAutoMerge; }
  void SetAutoMerge(bool v) { FAutoMerge = v; }
  bool IsShortCut(TWMKey& message) override;
  void Notification(TComponent* component, TOperation operation) override;

protected:
  HMENU__* CreateMenuHandle() override;
  std::vector<TMenuItem*> TopItems() const override;
  void MenuChanged(TMenuItem* source, bool rebuild) override;
  TMainMenu* FMerged = nullptr;
  TMainMenu* FMergedInto = nullptr;
  bool FAutoMerge = false;
};

// A menu that opens at a point. Popup runs the platform's modal menu loop and returns when
// it ends; the chosen item is clicked after that, so a handler sees the loop over. The end
// of each loop is recorded (CloseCount, LastCloseTick, OnClose) for a drop-down button that
// must tell the click which closed the menu from a click that opens it.
class TPopupMenu : public TMenu {
  KW_CLASS(TPopupMenu, TMenu)
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;
  // Screen coordinates.
  virtual void Popup(int x, int y);
  TComponent* PopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent* v);
  TPoint PopupPoint() const { return FPopupPoint; }
  TPopupAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TPopupAlignment v) { FAlignment = v; }
  // Controls open the menu on their context-menu message.
  bool AutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool v) { FAutoPopup = v; }
  TTrackButton TrackButton() const { return FTrackButton; }
  void SetTrackButton(TTrackButton v) { FTrackButton = v; }
  // True while the menu loop runs.
  bool InPopup() const { return FInPopup; }
  // How many menu loops have ended, and the tick count when the last one did.
  int CloseCount() const { return FCloseCount; }
  Cardinal LastCloseTick() const { return FLastCloseTick; }
  void Notification(TComponent* component, TOperation operation) override;

  TNotifyEvent OnPopup;
  // After the loop, before the chosen item (if any) is clicked.
  TNotifyEvent OnClose;

protected:
  HMENU__* CreateMenuHandle() override;
  virtual void DoPopup(TObject* sender) { OnPopup(sender); }
  TComponent* FPopupComponent = nullptr;
  TPoint FPopupPoint;
  TPopupAlignment FAlignment = paLeft;
  TTrackButton FTrackButton = tbRightButton;
  bool FAutoPopup = true;
  bool FInPopup = false;
  int FCloseCount = 0;
  Cardinal FLastCloseTick = 0;
};

// The hidden window that owns pop-up menus while they run and hands their messages on.
HWND__* KwPopupListWindow();
// True when a left-button press is waiting in the queue of wnd at a client point inside rect:
// the press that closed a menu loop, which a drop-down button must not take as a new click.
bool KwPressWaitingIn(HWND__* wnd, const TRect& rect);
// The caption without its "&" marks ("&&" is a literal ampersand).
String StripHotkey(const String& text);

}  // namespace kw
