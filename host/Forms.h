// Forms: TCustomForm/TForm (top-level windows with border styles, placement, showing and modal
// showing, closing, the active control and focus bookkeeping, dialog keys), TFrame, TDataModule
// and the parent-form lookups. The application, screen and hint window are in Application.h.
#pragma once

#include "host/Iconmeta.h"
#include "host/Menus.h"
#include "host/Scrolling.h"
#include "host/StdCtrls.h"

namespace kw {

enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
KW_DECLARE_ENUM(TBorderIcon)
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
KW_DECLARE_ENUM(TFormStyle)
enum TPosition {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
  poMainFormCenter, poOwnerFormCenter
};
KW_DECLARE_ENUM(TPosition)
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
KW_DECLARE_ENUM(TWindowState)
enum TCloseAction { caNone, caHide, caFree, caMinimize };
KW_DECLARE_ENUM(TCloseAction)
enum TTileMode { tbHorizontal, tbVertical };
KW_DECLARE_ENUM(TTileMode)
enum TFormStateFlag { fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated };
using TFormState = TSet<TFormStateFlag>;

using TCloseEvent = TEvent<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = TEvent<void(TObject* Sender, bool& CanClose)>;

class TMonitor;

class TCustomForm : public TScrollingWinControl {
  KW_CLASS(TCustomForm, TScrollingWinControl)
  // A form built in code; a form class with a form resource is made with KwCreate<T>(owner)
  // (or TApplication::CreateForm), which reads the resource after construction.
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle v);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons v);
  TFormStyle FormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle v);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition v);
  TWindowState WindowState() const;
  void SetWindowState(TWindowState v);
  TIcon* Icon() const { return FIcon.get(); }
  void SetIcon(const TIcon* v) { FIcon->Assign(v); }
  TFormState FormState() const { return FFormState; }
  TCanvas* Canvas() const { return FCanvas.get(); }

  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* v);
  // The control that has the keyboard focus as this form last knew it.
  TWinControl* FocusedControl() const { return FFocusedControl; }
  bool KeyPreview() const override { return FKeyPreview; }
  void SetKeyPreview(bool v) { FKeyPreview = v; }
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int v) { FModalResult = v; }
  bool Active() const { return FActive; }
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int v) { FHelpContext = v; }
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int v) { FPixelsPerInch = v; }
  // A form read with another PixelsPerInch than the screen's is scaled to the screen once
  // after loading when Scaled holds; a window moved to a monitor of another DPI rescales too.
  bool Scaled() const { return FScaled; }
  void SetScaled(bool v) { FScaled = v; }
  // The DPI the form's layout is at now.
  int CurrentPPI() const { return FCurrentPPI; }

  void Show();
  void Hide();
  // Shows the form and runs a message loop until ModalResult is set or the form closes;
  // the other windows of the thread are disabled meanwhile.
  virtual int ShowModal();
  void Close();
  virtual bool CloseQuery();
  // Frees the form once the messages now queued have been handled.
  void Release();
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
    TWinControl::SelectNext(current, goForward, checkTabStop);
  }
  bool SetFocusedControl(TWinControl* control) override;
  bool FocusControl(TWinControl* control) override;
  void DefocusControl(TWinControl* control, bool removing) override;
  void SetFocus() override;
  bool CanFocus() const override;
  bool Showing() const override;

  // The taskbar button of a form that is not the main form (WS_EX_APPWINDOW).
  bool ShowInTaskBar() const { return FShowInTaskBar; }
  void SetShowInTaskBar(bool v);
  // MDI (Mdi.cpp). An fsMDIForm holds the client window in the client area its aligned
  // controls leave; fsMDIChild forms are made inside the main form's client window, and a
  // child turned fsNormal again becomes a top-level form.
  HWND__* ClientHandle() const { return FClientHandle; }
  int MDIChildCount() const;
  // The children in their z-order, the active one first.
  TCustomForm* MDIChildren(int index) const;
  TCustomForm* ActiveMDIChild() const;
  TTileMode TileMode() const { return FTileMode; }
  void SetTileMode(TTileMode v) { FTileMode = v; }
  void Cascade();
  void Tile();
  void ArrangeIcons();
  void Next();
  void Previous();
  void DefaultHandler(TMessage& message) override;
  // A frame's copy shows its children in the client window; a child's shows its caption.
  void PaintTo(HDC__* dc, int x, int y) override;
  using TScrollingWinControl::PaintTo;

  void SetBounds(int left, int top, int width, int height) override;
  TRect ClientRect() const override;
  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;
  TComponent* GetChildOwner() override { return this; }
  // The monitor that shows the form (Screen()->FormMonitor).
  TMonitor* Monitor() const;

  // The menu bar: kept on the window across RecreateWnd; a menu serves one form at a time.
  TMainMenu* Menu() const { return FMenu; }
  void SetMenu(TMainMenu* v);
  // OnShortCut, then the menu's shortcuts, then the action lists the form owns.
  virtual bool IsShortCut(TWMKey& message);
  // The actions of the form, its controls and its menu bar update themselves (while idle).
  virtual void UpdateActions();
  TShortCutEvent OnShortCut;

  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void InitializeWnd() override;
  void PaintWindow(HDC__* dc) override;
  virtual void DoCreate() { OnCreate(this); }
  virtual void DoDestroy() { OnDestroy(this); }
  virtual void DoShow() { OnShow(this); }
  virtual void DoHide() { OnHide(this); }
  virtual void DoClose(TCloseAction& action) { OnClose(this, action); }
  virtual void Activate() { OnActivate(this); }
  virtual void Deactivate() { OnDeactivate(this); }
  virtual void Paint() { OnPaint(this); }
  void SetWindowFocus();
  void SetActive(bool v);
  void CloseModal();
  void PlaceWindow();
  void DialogKey(TMessage& message);
  // Window styles for the current border style, icons and form style.
  void StyleFor(Cardinal& style, Cardinal& exStyle) const;
  void AlignControls(TControl* control, TRect& rect) override;
  // The MDI frame's client window, made after the frame's window and placed by alignment.
  void CreateClientWindow();
  void DestroyMDIChildWindows();
  // Shows a new window of a form that was showing, in its window state, without activating.
  void ShowAgain();
  // WM_MDIACTIVATE: this child becomes (or stops being) the active form.
  void MDIActivated(TMessage& message);
  // The frame the child lives in: its owner when that is an fsMDIForm, else the main form
  // when that is one; raises otherwise.
  TCustomForm* MDIFrame() const;
  void PaintClientWindow(HDC__* dc, int x, int y);
  void PaintChildFrame(HDC__* dc, int x, int y);
  HWND__* FClientHandle = nullptr;
  TTileMode FTileMode = tbHorizontal;
  bool FShowInTaskBar = false;
  std::vector<TCustomForm*> FRecreatedChildren;
  void ChangeScale(int m, int d) override;
  void ScaleBounds(int m, int d, TScalingFlags flags) override;
  // WM_DPICHANGED: one scale by new/old DPI and one move to the suggested rectangle.
  void DpiChanged(TMessage& message);
  bool FScaled = true;
  bool FDpiChanging = false;
  int FCurrentPPI = 96;

  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons = {biSystemMenu, biMinimize, biMaximize};
  TFormStyle FFormStyle = fsNormal;
  TPosition FPosition = poDesigned;
  TWindowState FWindowState = wsNormal;
  std::unique_ptr<TIcon> FIcon;
  std::unique_ptr<TControlCanvas> FCanvas;
  TFormState FFormState;
  TWinControl* FActiveControl = nullptr;
  TWinControl* FFocusedControl = nullptr;
  bool FKeyPreview = false;
  bool FActive = false;
  bool FCreatedNew = false;
  bool FDestroyed = false;
  int FModalResult = 0;
  int FHelpContext = 0;
  int FPixelsPerInch;
  TMainMenu* FMenu = nullptr;
  // Puts the menu bar (or none) on the window.
  void ApplyMenu();
  // WM_COMMAND, WM_INITMENUPOPUP and owner drawing of the menu bar; true when handled.
  bool MenuMessage(TMessage& message);
};

class TForm : public TCustomForm {
  KW_CLASS(TForm, TCustomForm)
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

// A form's part with a form of its own, placed on forms (inline) or created in code.
class TCustomFrame : public TScrollingWinControl {
  KW_CLASS(TCustomFrame, TScrollingWinControl)
  explicit TCustomFrame(TComponent* owner);
  void AfterConstruction() override;
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;
  TComponent* GetChildOwner() override { return this; }
  bool ColorStoredFrame() const;
};

class TFrame : public TCustomFrame {
  KW_CLASS(TFrame, TCustomFrame)
  explicit TFrame(TComponent* owner) : TCustomFrame(owner) {}
};

// A container of non-visual components with a form of its own.
class TDataModule : public TComponent {
  KW_CLASS(TDataModule, TComponent)
  explicit TDataModule(TComponent* owner);
  ~TDataModule() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;
  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;

private:
  bool FDestroyed = false;
};

// The form a control sits on (the top of its parent chain when that is a form), or null.
TCustomForm* GetParentForm(const TControl* control, bool topForm = true);
// The same, raising EInvalidOperation "Control '%s' has no parent form" when there is none.
TCustomForm* ValidParentForm(const TControl* control, bool topForm = true);

}  // namespace kw
