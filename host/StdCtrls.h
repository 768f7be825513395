// Standard controls: the label, the push button, check box and radio button over the platform's
// BUTTON, the single-line edit and the memo over its EDIT, with the memo's window-bound Lines.
// List and combo boxes, scroll bars, group boxes and panels are in units of their own.
#pragma once

#include <memory>

#include "host/Controls.h"
#include "host/Stringlist.h"

namespace kw {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
KW_DECLARE_ENUM(TAlignment)
// Left and right swapped, for a control under right-to-left alignment.
void ChangeBiDiModeAlignment(TAlignment& alignment);
enum TTextLayout { tlTop, tlCenter, tlBottom };
KW_DECLARE_ENUM(TTextLayout)
// The border styles of forms; a control's own border uses the bsNone..bsSingle part of them.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
KW_DECLARE_ENUM(TFormBorderStyle)
using TBorderStyle = TFormBorderStyle;
enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
KW_DECLARE_ENUM(TEditCharCase)
enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
KW_DECLARE_ENUM(TCheckBoxState)
// Scoped because ssHorizontal is also a shift-state flag; streamed as "ssNone", "ssBoth"...
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
KW_DECLARE_ENUM(TScrollStyle)

// What a modal form (or a message dialog) answers; a button hands its own to its form.
using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
                       mrYes = 6, mrNo = 7, mrClose = 8, mrAll = 12, mrNoToAll = 13, mrYesToAll = 14;

// True when caption marks key's character as its accelerator ("&" before it; "&&" is a
// literal ampersand). With several marks the last one counts. Letters compare without case.
bool IsAccel(Word key, const String& caption);

// Filled by the forms unit: sets the ModalResult of the form that holds control. A button's
// click goes through it; while it is null, clicks only fire OnClick.
extern void (*KwSetFormModalResult)(TControl* control, int result);

// --- labels ---------------------------------------------------------------------------------

// Text painted on the parent. With AutoSize the control takes the size of its text and keeps
// the side its Alignment anchors it to; an accelerator in the caption focuses FocusControl.
class TCustomLabel : public TGraphicControl {
  KW_CLASS(TCustomLabel, TGraphicControl)
  explicit TCustomLabel(TComponent* owner);
  ~TCustomLabel() override;

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout v);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);
  // When false the background is filled with Color first.
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool v);
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* v);

  bool ColorStored() const { return !FParentColor; }
  bool FontStored() const { return !FParentFont; }
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;
  void WndProc(TMessage& message) override;

protected:
  void Paint() override;
  virtual String GetLabelText() const { return Caption(); }
  // Draws the caption into rect on dc with the label's font, in the disabled manner when the
  // label is; with DT_CALCRECT in flags it measures instead and rect receives the extent.
  // Every DC value it changes is put back.
  virtual void DoDrawText(HDC__* dc, TRect& rect, unsigned flags);
  virtual void AdjustBounds();

private:
  unsigned DrawFlags() const;
  TAlignment FAlignment = taLeftJustify;
  TTextLayout FLayout = tlTop;
  bool FAutoSize = true;
  bool FWordWrap = false;
  bool FTransparent = false;
  bool FShowAccelChar = true;
  TWinControl* FFocusControl = nullptr;
};

class TLabel : public TCustomLabel {
  KW_CLASS(TLabel, TCustomLabel)
  explicit TLabel(TComponent* owner) : TCustomLabel(owner) {}
};

// --- buttons --------------------------------------------------------------------------------

// The base of the controls over the platform BUTTON. Checked is a hook the two-state
// descendants implement; a plain button is never checked.
class TButtonControl : public TWinControl {
  KW_CLASS(TButtonControl, TWinControl)
  explicit TButtonControl(TComponent* owner);

  virtual bool Checked() const { return false; }
  virtual void SetChecked(bool v) {}
  // Breaks a long caption over several lines (recreates the window).
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);

  bool ColorStored() const { return !FParentColor; }
  bool FontStored() const { return !FParentFont; }

  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  // What the caption's accelerator does once the button has the focus.
  virtual void AccelPressed() { Click(); }
  // Check boxes and radio buttons show the Checked of their action too.
  TControlActionLink* CreateActionLink() override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  friend class TButtonActionLink;
  // Sets Checked without firing OnClick.
  void SetCheckedQuietly(bool v);
  // While set, state changes made in code do not fire OnClick.
  bool ClicksDisabled() const { return FClicksDisabled; }
  void SetClicksDisabled(bool v) { FClicksDisabled = v; }
  bool FClicksDisabled = false;
  bool FWordWrap = false;
};

// A push button. Enter clicks the default button and Escape the cancel button (the form offers
// them as CM_DIALOGKEY); the accelerator of the caption clicks it too. A form tells its buttons
// of focus changes with CM_FOCUSCHANGED (LParam: the control now focused): the focused button
// shows as the default one, and when no button has focus the Default button does.
class TButton : public TButtonControl {
  KW_CLASS(TButton, TButtonControl)
  explicit TButton(TComponent* owner);

  bool Default() const { return FDefault; }
  void SetDefault(bool v);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool v) { FCancel = v; }
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult v) { FModalResult = v; }
  // Hands ModalResult to the form, then fires OnClick (or the action). The handler may free
  // the button.
  void Click() override;
  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  // Shows the button as the one Enter clicks, or not.
  void SetButtonStyle(bool active);

private:
  bool FDefault = false;
  bool FCancel = false;
  bool FActive = false;  // the button Enter clicks now
  TModalResult FModalResult = mrNone;
};

// A check box with an optional third, grayed state. The toggling is ours (the platform control
// is a plain three-state button), and OnClick fires on every toggle by the user and on every
// change of State or Checked in code.
class TCustomCheckBox : public TButtonControl {
  KW_CLASS(TCustomCheckBox, TButtonControl)
  explicit TCustomCheckBox(TComponent* owner);

  TCheckBoxState State() const { return FState; }
  void SetState(TCheckBoxState v);
  bool Checked() const override { return FState == cbChecked; }
  void SetChecked(bool v) override { SetState(v ? cbChecked : cbUnchecked); }
  // The user's clicks pass through the grayed state too: unchecked, grayed, checked.
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool v) { FAllowGrayed = v; }
  // taLeftJustify puts the caption left of the box.
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  void WndProc(TMessage& message) override;

protected:
  virtual void Toggle();
  void AccelPressed() override { Toggle(); }
  void CreateParams(TCreateParams& params) override;
  void InitializeWnd() override;

private:
  TCheckBoxState FState = cbUnchecked;
  bool FAllowGrayed = false;
  TAlignment FAlignment = taRightJustify;
};

class TCheckBox : public TCustomCheckBox {
  KW_CLASS(TCheckBox, TCustomCheckBox)
  explicit TCheckBox(TComponent* owner) : TCustomCheckBox(owner) {}
};

// Checking a radio button unchecks the other radio buttons of the same parent. OnClick fires
// when it becomes checked, by the user or in code. Only the checked one is a tab stop.
class TRadioButton : public TButtonControl {
  KW_CLASS(TRadioButton, TButtonControl)
  explicit TRadioButton(TComponent* owner);

  bool Checked() const override { return FChecked; }
  void SetChecked(bool v) override;
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  void WndProc(TMessage& message) override;

protected:
  void AccelPressed() override { SetChecked(true); }
  void CreateParams(TCreateParams& params) override;
  void InitializeWnd() override;

private:
  bool FChecked = false;
  TAlignment FAlignment = taRightJustify;
};

// --- edits ----------------------------------------------------------------------------------

// The platform EDIT. Text, selection, the modified flag and the read-only state live in the
// window while there is one and are kept across RecreateWnd. OnChange fires for every change
// of the text, by the user or in code, but not while the window is being made or the control
// is loading.
class TCustomEdit : public TWinControl {
  KW_CLASS(TCustomEdit, TWinControl)
  explicit TCustomEdit(TComponent* owner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  // Selects the whole text when the control is entered other than by the mouse.
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool v) { FAutoSelect = v; }
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle v);
  TEditCharCase CharCase() const { return FCharCase; }
  // Converts the present text too.
  void SetCharCase(TEditCharCase v);
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool v);
  // 0: no limit of our own.
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int v);
  bool NumbersOnly() const { return FNumbersOnly; }
  void SetNumbersOnly(bool v);
  wchar_t PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(wchar_t v);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v);
  // The grey prompt of an empty edit (where the platform shows one).
  const String& TextHint() const { return FTextHint; }
  void SetTextHint(const String& v);
  bool Modified() const;
  void SetModified(bool v);

  int SelStart() const;
  void SetSelStart(int v);
  int SelLength() const;
  void SetSelLength(int v);
  String SelText() const;
  // Replaces the selection (the undo step of the platform control keeps it).
  void SetSelText(const String& v);
  void SelectAll();
  void Clear() { SetText(String()); }
  void ClearSelection();
  // These need the window and make it when there is none.
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void Undo();
  bool CanUndo() const;
  void ClearUndo();

  bool ColorStored() const { return !FParentColor; }
  bool FontStored() const { return !FParentFont; }
  void WndProc(TMessage& message) override;

  TNotifyEvent OnChange;

protected:
  friend class TMemoStrings;
  virtual void Change() { OnChange(this); }
  // A text change as the control hears of it: fires Change unless the window is being made,
  // the control is loading or changes are being held (then once when released).
  void TextChanged();
  void HoldChanges(bool hold);
  void DoEnter() override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void InitializeWnd() override;
  void SetStyleBit(unsigned bit, bool on);
  bool IsMultiLine() const;

  TAlignment FAlignment = taLeftJustify;
  bool FAutoSelect = true;
  TBorderStyle FBorderStyle = bsSingle;
  TEditCharCase FCharCase = ecNormal;
  bool FHideSelection = true;
  int FMaxLength = 0;
  bool FNumbersOnly = false;
  wchar_t FPasswordChar = 0;
  bool FReadOnly = false;
  String FTextHint;
  // Kept here while there is no window.
  bool FModified = false;
  int FSelStart = 0;
  int FSelLength = 0;
  int FCreatingWnd = 0;
  int FChangeHold = 0;
  bool FChangePending = false;
};

class TEdit : public TCustomEdit {
  KW_CLASS(TEdit, TCustomEdit)
  explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};

class TCustomMemo;

// The lines of a memo. With a window they are the window's own lines (with WordWrap, the lines
// as wrapped on screen); without one they wait in a list with the text's shape (whether a line
// break follows the last line), so that the text is the same whichever way it is edited.
class TMemoStrings : public TStrings {
  KW_CLASS(TMemoStrings, TStrings)
  explicit TMemoStrings(TCustomMemo* memo);
  ~TMemoStrings() override;

  String Get(int index) const override;
  int GetCount() const override;
  void Put(int index, const String& s) override;
  void Insert(int index, const String& s) override;
  void Delete(int index) override;
  void Clear() override;
  // Line breaks are made CR LF first.
  void SetText(const String& text) override;

protected:
  void SetUpdateState(bool updating) override;

private:
  friend class TCustomMemo;
  bool Windowed() const;
  HWND__* Wnd() const;
  // The list-held text and back.
  String Joined() const;
  void SplitFrom(const String& text);
  // Puts the list back in the shape the text it stands for reads as.
  void Normalize(bool resplit);
  TCustomMemo* FMemo;
  TStringList FList;
  bool FTrailingBreak = false;
};

// A multi-line edit. Its text is reached line by line through Lines, which stream as
// "Lines.Strings".
class TCustomMemo : public TCustomEdit {
  KW_CLASS(TCustomMemo, TCustomEdit)
  explicit TCustomMemo(TComponent* owner);
  ~TCustomMemo() override;

  TStrings* Lines() const { return FLines.get(); }
  void SetLines(const TStrings* v) { FLines->Assign(v); }
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle v);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);
  // When false, Enter goes to the form (its default button) instead of breaking the line.
  bool WantReturns() const { return FWantReturns; }
  void SetWantReturns(bool v);
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool v) { FWantTabs = v; }
  // The caret as column (X) and line (Y), both from 0.
  TPoint CaretPos() const;
  void SetCaretPos(const TPoint& v);
  void WndProc(TMessage& message) override;

protected:
  friend class TMemoStrings;
  void CreateParams(TCreateParams& params) override;
  void DestroyWnd() override;
  void InitializeWnd() override;
  void KeyPress(wchar_t& key) override;
  String GetText() const override;
  void SetTextInternal(const String& v) override;

private:
  std::unique_ptr<TMemoStrings> FLines;
  TScrollStyle FScrollBars = TScrollStyle::ssNone;
  bool FWordWrap = true;
  bool FWantReturns = true;
  bool FWantTabs = false;
};

class TMemo : public TCustomMemo {
  KW_CLASS(TMemo, TCustomMemo)
  explicit TMemo(TComponent* owner) : TCustomMemo(owner) {}
};

}  // namespace kw
