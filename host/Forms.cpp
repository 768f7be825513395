// TCustomForm: window styles, placement, showing (plain and modal), closing and release, the
// active control with the enter/exit chain, dialog keys; TFrame and TDataModule with their
// form resources; GetParentForm. The application loop itself is in Application.cpp.
#include "host/Forms.h"

#include <algorithm>

#include "host/ActnList.h"
#include "host/Application.h"
#include "host/Formres.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_DEFINE_ENUM(TBorderIcon, L"biSystemMenu", L"biMinimize", L"biMaximize", L"biHelp")
KW_DEFINE_ENUM(TFormStyle, L"fsNormal", L"fsMDIChild", L"fsMDIForm", L"fsStayOnTop")
KW_DEFINE_ENUM(TPosition, L"poDesigned", L"poDefault", L"poDefaultPosOnly", L"poDefaultSizeOnly",
               L"poScreenCenter", L"poDesktopCenter", L"poMainFormCenter", L"poOwnerFormCenter")
KW_DEFINE_ENUM(TWindowState, L"wsNormal", L"wsMinimized", L"wsMaximized")
KW_DEFINE_ENUM(TTileMode, L"tbHorizontal", L"tbVertical")
KW_DEFINE_ENUM(TCloseAction, L"caNone", L"caHide", L"caFree", L"caMinimize")

namespace {

// A button's click sets the modal result of the form it is on.
void SetFormModalResult(TControl* control, int result) {
  if (TCustomForm* form = GetParentForm(control)) form->SetModalResult(result);
}

// A key the control's pop-up menus left: the control's form, then the application.
bool FormShortCut(TWinControl* control, TWMKey& key) {
  TCustomForm* form = GetParentForm(control);
  std::weak_ptr<int> life = control->LifeToken();
  if (form && form->IsShortCut(key)) return true;
  if (life.expired()) return true;
  return Application()->IsShortCut(key);
}

struct TModalHookInstaller {
  TModalHookInstaller() {
    KwSetFormModalResult = &SetFormModalResult;
    KwFormShortCut = &FormShortCut;
  }
} modalHookInstaller;

}  // namespace

TCustomForm* GetParentForm(const TControl* control, bool topForm) {
  TCustomForm* found = nullptr;
  for (const TControl* c = control; c; c = c->Parent()) {
    if (auto* f = dynamic_cast<const TCustomForm*>(c)) {
      found = const_cast<TCustomForm*>(f);
      if (!topForm) return found;
    }
  }
  return found;
}

TCustomForm* ValidParentForm(const TControl* control, bool topForm) {
  TCustomForm* f = GetParentForm(control, topForm);
  if (!f) throw EInvalidOperation(Format(L"Control '%s' has no parent form", {control->Name()}));
  return f;
}

// --- TCustomForm ------------------------------------------------------------------------

KW_BEGIN_CLASS(TCustomForm, TScrollingWinControl) {
  b.Prop(L"ActiveControl", &TCustomForm::ActiveControl, &TCustomForm::SetActiveControl);
  b.Prop(L"BorderIcons", &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons)
      .Default(TBorderIcons{biSystemMenu, biMinimize, biMaximize});
  b.Prop(L"BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle).Default(bsSizeable);
  b.Prop(L"Caption", &TCustomForm::Caption, &TCustomForm::SetCaption);
  b.Prop(L"ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight);
  b.Prop(L"ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth);
  b.Prop(L"Color", &TCustomForm::Color, &TCustomForm::SetColor).Default(clBtnFace);
  b.Prop(L"Font", &TCustomForm::Font, &TCustomForm::SetFont);
  b.Prop(L"FormStyle", &TCustomForm::FormStyle, &TCustomForm::SetFormStyle).Default(fsNormal);
  b.Prop(L"HelpContext", &TCustomForm::HelpContext, &TCustomForm::SetHelpContext).Default(0);
  b.Prop(L"Icon", &TCustomForm::Icon, &TCustomForm::SetIcon);
  b.Prop(L"KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview).Default(false);
  b.Prop(L"Menu", &TCustomForm::Menu, &TCustomForm::SetMenu);
  b.Prop(L"Position", &TCustomForm::Position, &TCustomForm::SetPosition).Default(poDesigned);
  b.Prop(L"PixelsPerInch", &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch);
  b.Prop(L"ShowInTaskBar", &TCustomForm::ShowInTaskBar, &TCustomForm::SetShowInTaskBar).Default(false);
  b.Prop(L"TileMode", &TCustomForm::TileMode, &TCustomForm::SetTileMode).Default(tbHorizontal);
  b.Prop(L"Scaled", &TCustomForm::Scaled, &TCustomForm::SetScaled).Default(true);
  b.Prop(L"Visible", &TCustomForm::Visible, &TCustomForm::SetVisible).Default(false);
  b.Prop(L"WindowState", &TCustomForm::WindowState, &TCustomForm::SetWindowState).Default(wsNormal);
  b.Event(L"OnActivate", &TCustomForm::OnActivate);
  b.Event(L"OnClose", &TCustomForm::OnClose);
  b.Event(L"OnCloseQuery", &TCustomForm::OnCloseQuery);
  b.Event(L"OnCreate", &TCustomForm::OnCreate);
  b.Event(L"OnDeactivate", &TCustomForm::OnDeactivate);
  b.Event(L"OnDestroy", &TCustomForm::OnDestroy);
  b.Event(L"OnHide", &TCustomForm::OnHide);
  b.Event(L"OnPaint", &TCustomForm::OnPaint);
  b.Event(L"OnShortCut", &TCustomForm::OnShortCut);
  b.Event(L"OnShow", &TCustomForm::OnShow);
}

KW_REGISTER_CLASS(TForm, TCustomForm)

TCustomForm::TCustomForm(TComponent* owner)
    : TScrollingWinControl(owner),
      FIcon(std::make_unique<TIcon>()),
      FCanvas(std::make_unique<TControlCanvas>()),
      FPixelsPerInch(KwScreenPixelsPerInch()) {
  FFormState.Include(fsCreating);
  FCurrentPPI = FPixelsPerInch;
  FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  FVisible = false;
  FParentColor = false;
  FParentFont = false;
  FColor = clBtnFace;
  FBrush->SetColor(FColor);
  FLeft = 0;
  FTop = 0;
  FWidth = 320;
  FHeight = 240;
  FIcon->OnChange = [this](TObject*) {
    if (FHandle) SendMessageW(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FIcon->Empty() ? nullptr : FIcon->Handle()));
  };
  Screen()->AddForm(this);
}

void TCustomForm::AfterConstruction() {
  // Forms built in code have no resource; a form class with one gets it read here, once the
  // object is whole, and an error leaves no half-read form behind (the caller frees it).
  if (ClassType() != TForm::StaticClass() && ClassType() != TCustomForm::StaticClass()) {
    FComponentState.Include(csLoading);
    try {
      InitInheritedComponent(this, TForm::StaticClass());
    } catch (...) {
      FComponentState.Exclude(csLoading);
      throw;
    }
    FComponentState.Exclude(csLoading);
  }
  FFormState.Exclude(fsCreating);
  DoCreate();
  if (FVisible && !FHandle) {
    FVisible = false;
    Show();
  }
}

void TCustomForm::BeforeDestruction() {
  if (!FDestroyed) {
    FDestroyed = true;
    FComponentState.Include(csDestroying);
    DoDestroy();
  }
  TScrollingWinControl::BeforeDestruction();
}

TCustomForm::~TCustomForm() {
  if (!FDestroyed) {
    FDestroyed = true;
    FComponentState.Include(csDestroying);
    try {
      DoDestroy();
    } catch (...) {
      KwHandleCurrentException(this);
    }
  }
  // The window goes while the object is still a form, so its last messages reach the form;
  // the child windows go with it in one call.
  FCanvas->SetWindowHandle(nullptr);
  DestroyHandle();
  while (ControlCount() > 0) {
    TControl* c = Controls(ControlCount() - 1);
    RemoveControl(c);
    delete c;
  }
  Screen()->RemoveForm(this);
  if (Application()->MainForm() == this) Application()->ClearMainForm();
}

void TCustomForm::Loaded() {
  // Scaled while the children are still loading, so each scales only what was read now.
  int screen = Screen()->PixelsPerInch();
  if (FScaled && FPixelsPerInch > 0 && FPixelsPerInch != screen) {
    FCurrentPPI = FPixelsPerInch;
    ChangeScale(screen, FPixelsPerInch);
  }
  FPixelsPerInch = FCurrentPPI = screen;
  TScrollingWinControl::Loaded();
  Realign();
}

void TCustomForm::GetChildren(const TGetChildProc& proc, TComponent* root) {
  TWinControl::GetChildren(proc, root);
  // Non-visual components owned by the form stream after its controls.
  for (int i = 0; i < ComponentCount(); ++i) {
    TComponent* c = Components(i);
    if (!c->HasParent()) proc(c);
  }
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  TScrollingWinControl::Notification(component, operation);
  if (operation == opRemove) {
    if (component == FActiveControl) FActiveControl = nullptr;
    if (component == FFocusedControl) FFocusedControl = nullptr;
    if (component == FMenu) FMenu = nullptr;
  }
}

void TCustomForm::StyleFor(Cardinal& style, Cardinal& ex) const {
  style = WS_CLIPCHILDREN;
  ex = 0;
  switch (FBorderStyle) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle: style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog: style |= WS_POPUP | WS_CAPTION; ex |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE; break;
    case bsToolWindow: style |= WS_CAPTION; ex |= WS_EX_TOOLWINDOW; break;
    case bsSizeToolWin: style |= WS_CAPTION | WS_THICKFRAME; ex |= WS_EX_TOOLWINDOW; break;
  }
  if (FBorderStyle != bsNone && FBorderIcons.Contains(biSystemMenu)) {
    style |= WS_SYSMENU;
    if (FBorderStyle == bsSingle || FBorderStyle == bsSizeable) {
      if (FBorderIcons.Contains(biMinimize)) style |= WS_MINIMIZEBOX;
      if (FBorderIcons.Contains(biMaximize)) style |= WS_MAXIMIZEBOX;
    }
    if (FBorderIcons.Contains(biHelp) &&
        (FBorderStyle == bsDialog || !(FBorderIcons.Contains(biMinimize) || FBorderIcons.Contains(biMaximize))))
      ex |= WS_EX_CONTEXTHELP;
  }
  if (FFormStyle == fsStayOnTop) ex |= WS_EX_TOPMOST;
}

void TCustomForm::CreateParams(TCreateParams& p) {
  TScrollingWinControl::CreateParams(p);
  if (FParent) return;  // a form placed inside another control is a child window
  Cardinal style, ex;
  StyleFor(style, ex);
  p.Style = style | (p.Style & (WS_HSCROLL | WS_VSCROLL));
  if (!FEnabled) p.Style |= WS_DISABLED;
  p.ExStyle = ex;
  AddBiDiModeExStyle(p.ExStyle);
  p.ClassStyle = CS_DBLCLKS;
  TApplication* app = Application();
  if (FFormStyle == fsMDIChild && !FParentWindow) {
    // Made inside the frame's client window, which numbers it for the window menu.
    p.Style = (p.Style & ~WS_POPUP) | WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (FWindowState == wsMaximized) p.Style |= WS_MAXIMIZE;
    p.ExStyle |= WS_EX_MDICHILD;
    p.WndParent = MDIFrame()->ClientHandle();
    if (FPosition == poDefault || FPosition == poDefaultPosOnly) p.X = p.Y = CW_USEDEFAULT;
    if (FPosition == poDefault || FPosition == poDefaultSizeOnly) p.Width = p.Height = CW_USEDEFAULT;
    return;
  }
  p.WndParent = FParentWindow;
  bool isMain = app->MainForm() == this;
  if (!p.WndParent) {
    if (!app->ShowMainFormOnTaskBar()) {
      // The application window is the taskbar button and owns every form.
      p.WndParent = app->Handle();
    } else if (!isMain && app->MainForm() && app->MainForm()->HandleAllocated()) {
      p.WndParent = app->MainForm()->Handle();
    }
  }
  if (FShowInTaskBar || (isMain && app->ShowMainFormOnTaskBar())) p.ExStyle |= WS_EX_APPWINDOW;
}

void TCustomForm::CreateWnd() {
  TScrollingWinControl::CreateWnd();
  FCanvas->SetWindowHandle(FHandle);
  if (FFormStyle == fsMDIForm && !FParent) CreateClientWindow();
}

void TCustomForm::InitializeWnd() {
  TScrollingWinControl::InitializeWnd();
  if (!FIcon->Empty()) SendMessageW(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FIcon->Handle()));
  ApplyMenu();
  // A new window for a form that shows (a changed border, MDI kind or taskbar mode) shows too.
  if (FVisible && !FParent && FControlState.Contains(csRecreating)) ShowAgain();
  auto children = std::move(FRecreatedChildren);
  FRecreatedChildren.clear();
  for (TCustomForm* child : children) {
    bool alive = false;
    for (int i = 0; i < Screen()->FormCount() && !alive; ++i) alive = Screen()->Forms(i) == child;
    if (!alive || child->FFormStyle != fsMDIChild) continue;
    child->HandleNeeded();
    child->ShowAgain();
  }
}

void TCustomForm::ShowAgain() {
  static const int show[] = {SW_SHOWNA, SW_SHOWMINNOACTIVE, SW_SHOWMAXIMIZED};
  ShowWindow(FHandle, show[FWindowState]);
}

void TCustomForm::DestroyWnd() {
  if (FClientHandle) {
    DestroyMDIChildWindows();
    FClientHandle = nullptr;
  }
  // A window destroys the menu it holds; the menu outlives the window.
  if (FHandle && FMenu && GetMenu(FHandle)) ::SetMenu(FHandle, nullptr);
  FCanvas->SetWindowHandle(nullptr);
  TScrollingWinControl::DestroyWnd();
}

TRect TCustomForm::ClientRect() const {
  if (FHandle || FParent) return TScrollingWinControl::ClientRect();
  Cardinal style, ex;
  StyleFor(style, ex);
  RECT r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, style, FMenu && FFormStyle != fsMDIChild ? TRUE : FALSE, ex);
  return TRect(0, 0, std::max(0, FWidth - int(r.right - r.left)), std::max(0, FHeight - int(r.bottom - r.top)));
}

void TCustomForm::SetBounds(int left, int top, int width, int height) {
  TScrollingWinControl::SetBounds(left, top, width, height);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle v) {
  if (v == FBorderStyle) return;
  FBorderStyle = v;
  RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons v) {
  if (v == FBorderIcons) return;
  FBorderIcons = v;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle v) {
  if (v == FFormStyle) return;
  TFormStyle old = FFormStyle;
  FFormStyle = v;
  // Into or out of MDI the window changes kind: a new one is made.
  if (old == fsMDIChild || old == fsMDIForm || v == fsMDIChild || v == fsMDIForm) {
    if (FHandle) RecreateWnd();
    return;
  }
  if (FHandle) {
    SetWindowPos(FHandle, v == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TCustomForm::SetPosition(TPosition v) { FPosition = v; }

// The window's own visibility: an MDI child of a frame not yet shown still has its state.
TWindowState TCustomForm::WindowState() const {
  if (FHandle && (GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_VISIBLE)) {
    if (IsIconic(FHandle)) return wsMinimized;
    if (IsZoomed(FHandle)) return wsMaximized;
    return wsNormal;
  }
  return FWindowState;
}

void TCustomForm::SetWindowState(TWindowState v) {
  FWindowState = v;
  if (FHandle && (GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_VISIBLE)) {
    static const int show[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
    ShowWindow(FHandle, show[v]);
  }
}

void TCustomForm::PlaceWindow() {
  if (FParent || FFormStyle == fsMDIChild) return;
  int w = FWidth, h = FHeight;
  int x = FLeft, y = FTop;
  RECT area;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  TCustomForm* ref = nullptr;
  switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
      x = area.left + (area.right - area.left - w) / 2;
      y = area.top + (area.bottom - area.top - h) / 2;
      break;
    case poMainFormCenter:
      ref = Application()->MainForm();
      break;
    case poOwnerFormCenter:
      ref = dynamic_cast<TCustomForm*>(Owner());
      if (!ref) ref = Application()->MainForm();
      break;
    default:
      return;
  }
  if (ref && ref != this) {
    x = ref->Left() + (ref->Width() - w) / 2;
    y = ref->Top() + (ref->Height() - h) / 2;
  } else if (ref == this || (!ref && (FPosition == poMainFormCenter || FPosition == poOwnerFormCenter))) {
    x = area.left + (area.right - area.left - w) / 2;
    y = area.top + (area.bottom - area.top - h) / 2;
  }
  // The form keeps its place for later showings, as if placed there by the user.
  FPosition = poDesigned;
  SetBounds(x, y, w, h);
}

bool TCustomForm::Showing() const { return FHandle && IsWindowVisible(FHandle); }

void TCustomForm::Show() {
  SetVisible(true);
  // A child of a frame comes to the front by becoming the active child.
  if (FHandle && (GetWindowLongPtrW(FHandle, GWL_EXSTYLE) & WS_EX_MDICHILD)) {
    SendMessageW(GetParent(FHandle), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(FHandle), 0);
    return;
  }
  BringToFront();
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_VISIBLECHANGED:
      if (FParent) break;
      // While the form is being made or read, showing waits until it is whole.
      if (FFormState.Contains(fsCreating) || FComponentState.Contains(csLoading)) return;
      if (FVisible) {
        HandleNeeded();
        PlaceWindow();
        static const int show[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
        ShowWindow(FHandle, show[FWindowState]);
        if (GetWindowLongPtrW(FHandle, GWL_EXSTYLE) & WS_EX_MDICHILD) {
          SendMessageW(GetParent(FHandle), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(FHandle), 0);
        } else if (FWindowState != wsMinimized) {
          SetForegroundWindow(FHandle);
        }
      } else if (FHandle) {
        bool wasActive = FActive;
        ShowWindow(FHandle, SW_HIDE);
        if (wasActive) SetActive(false);
      }
      return;
    case WM_SHOWWINDOW: {
      std::weak_ptr<int> life = FLife;
      DefaultHandler(m);
      if (life.expired() || m.LParam != 0) return;  // only show and hide by a call
      if (Application()->MainForm() == this) Application()->UpdateTaskButton(m.WParam != 0);
      if (m.WParam) {
        FFormState.Include(fsShowing);
        DoShow();
        if (!life.expired()) FFormState.Exclude(fsShowing);
      } else {
        DoHide();
      }
      return;
    }
    case WM_ACTIVATE: {
      std::weak_ptr<int> life = FLife;
      DefaultHandler(m);
      if (life.expired()) return;
      bool active = LOWORD(m.WParam) != WA_INACTIVE;
      if (active && HIWORD(m.WParam) != 0) return;  // minimised: no activation
      SetActive(active);
      return;
    }
    case WM_MDIACTIVATE:
      DefaultHandler(m);
      MDIActivated(m);
      return;
    case WM_SETFOCUS:
      // The form itself holds the focus only when none of its controls can; pass it on.
      DefaultHandler(m);
      if (TCustomForm* child = ActiveMDIChild()) {
        ::SetFocus(child->Handle());
        return;
      }
      if (FActiveControl && FActiveControl != this && FActiveControl->HandleAllocated() && FActiveControl->CanFocus()) {
        ::SetFocus(FActiveControl->Handle());
      } else {
        SetFocusedControl(this);
      }
      return;
    case WM_CLOSE:
      Close();
      return;
    case WM_QUERYENDSESSION:
      m.Result = CloseQuery() ? 1 : 0;
      return;
    case WM_SIZE:
      DefaultHandler(m);
      if (m.WParam == SIZE_MINIMIZED) FWindowState = wsMinimized;
      else if (m.WParam == SIZE_MAXIMIZED) FWindowState = wsMaximized;
      else if (m.WParam == SIZE_RESTORED) FWindowState = wsNormal;
      return;
    case CM_RELEASE:
      Free();
      return;
    case WM_DPICHANGED:
      DpiChanged(m);
      return;
    case CM_DIALOGKEY:
      DialogKey(m);
      if (m.Result) return;
      break;
    case WM_COMMAND:
    case WM_INITMENUPOPUP:
    case WM_MENUSELECT:
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
      if (MenuMessage(m)) return;
      break;
    case WM_DESTROY:
      // A window destroys the menu it holds, sub-menus and all; ours belongs to its items.
      if (FMenu && FHandle && GetMenu(FHandle)) ::SetMenu(FHandle, nullptr);
      break;
    case WM_GETMINMAXINFO: {
      DefaultHandler(m);
      auto* info = reinterpret_cast<MINMAXINFO*>(m.LParam);
      if (FConstraints->MinWidth() > 0) info->ptMinTrackSize.x = FConstraints->MinWidth();
      if (FConstraints->MinHeight() > 0) info->ptMinTrackSize.y = FConstraints->MinHeight();
      if (FConstraints->MaxWidth() > 0) info->ptMaxTrackSize.x = FConstraints->MaxWidth();
      if (FConstraints->MaxHeight() > 0) info->ptMaxTrackSize.y = FConstraints->MaxHeight();
      return;
    }
  }
  TScrollingWinControl::WndProc(m);
}

// --- menu bar, shortcuts and actions ---------------------------------------------------------

void TCustomForm::SetMenu(TMainMenu* v) {
  if (v == FMenu) return;
  if (v) {
    for (int i = 0; i < Screen()->FormCount(); ++i) {
      TCustomForm* f = Screen()->Forms(i);
      if (f != this && f->FMenu == v)
        throw EInvalidOperation(Format(L"Menu '%s' is already being used by another form", {v->Name()}));
    }
  }
  if (FMenu) {
    FMenu->RemoveFreeNotification(this);
    if (FHandle && GetMenu(FHandle) == FMenu->Handle()) ::SetMenu(FHandle, nullptr);
    if (FMenu->WindowHandle() == FHandle) FMenu->SetWindowHandle(nullptr);
  }
  FMenu = v;
  if (v) v->FreeNotification(this);
  ApplyMenu();
}

void TCustomForm::ApplyMenu() {
  // Child windows and MDI children show no bar of their own (a child's menu merges instead).
  if (!FHandle || FParent || FFormStyle == fsMDIChild) return;
  if (FMenu) {
    FMenu->SetWindowHandle(FHandle);
    if (!::SetMenu(FHandle, FMenu->Handle())) RaiseLastOSError();
  } else if (GetMenu(FHandle)) {
    ::SetMenu(FHandle, nullptr);
  }
  DrawMenuBar(FHandle);
}

bool TCustomForm::MenuMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_COMMAND:
      // From a menu (0) or an accelerator (1); controls send their window in LParam.
      return m.LParam == 0 && m.WParamHi() <= 1 && FMenu && FMenu->DispatchCommand(m.WParamLo());
    case WM_INITMENUPOPUP:
      return FMenu && FMenu->DispatchPopup(reinterpret_cast<HMENU>(m.WParam));
    case WM_MENUSELECT: {
      // The entry under the cursor tells its hint to the application.
      if (!FMenu) return false;
      TMenuItem* item = TMenu::SelectedItem(m.WParam, m.LParam);
      Application()->SetHint(item ? GetLongHint(item->Hint()) : String());
      return true;
    }
    case WM_MEASUREITEM:
      if (m.WParam == 0 && TMenu::MeasureItemMessage(reinterpret_cast<void*>(m.LParam))) {
        m.Result = 1;
        return true;
      }
      return false;
    case WM_DRAWITEM:
      if (m.WParam == 0 && TMenu::DrawItemMessage(reinterpret_cast<void*>(m.LParam))) {
        m.Result = 1;
        return true;
      }
      return false;
  }
  return false;
}

bool TCustomForm::IsShortCut(TWMKey& message) {
  bool handled = false;
  std::weak_ptr<int> life = FLife;
  OnShortCut(message, handled);
  if (handled || life.expired()) return true;
  if (FMenu && FMenu->IsShortCut(message)) return true;
  if (life.expired()) return true;
  return KwDispatchShortCut(this, message);
}

void TCustomForm::UpdateActions() {
  if (FComponentState.Contains(csDesigning)) return;
  InitiateAction();
  if (FMenu) {
    for (int i = 0; i < FMenu->Items()->Count(); ++i) {
      TMenuItem* item = FMenu->Items()->Items(i);
      if (item->Visible()) item->InitiateAction();
    }
  }
  std::function<void(TWinControl*)> traverse = [&](TWinControl* parent) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
      TControl* c = parent->Controls(i);
      if (c->Visible() && c->ControlStyle().Contains(csActionClient)) c->InitiateAction();
      if (auto* w = dynamic_cast<TWinControl*>(c)) traverse(w);
    }
  };
  traverse(this);
}

void TCustomForm::DialogKey(TMessage& m) {
  if (GetKeyState(VK_MENU) < 0) return;
  switch (m.WParam) {
    case VK_TAB:
      if (GetKeyState(VK_CONTROL) >= 0) {
        SelectNext(FActiveControl, GetKeyState(VK_SHIFT) >= 0, true);
        m.Result = 1;
      }
      return;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      if (FActiveControl && FActiveControl->Parent()) {
        FActiveControl->Parent()->SelectNext(FActiveControl, m.WParam == VK_RIGHT || m.WParam == VK_DOWN, false);
        m.Result = 1;
      }
      return;
  }
}

void TCustomForm::PaintWindow(HDC__* dc) {
  FCanvas->PaintOn(dc, FFont.get(), FColor, [this] { Paint(); });
}

// --- activation and focus ---------------------------------------------------------------

void TCustomForm::SetActive(bool v) {
  if (v == FActive) return;
  FActive = v;
  std::weak_ptr<int> life = FLife;
  if (v) {
    Screen()->SetActiveForm(this);
    if (!FActiveControl) {
      TWinControl* first = FindNextControl(nullptr, true, true, false);
      if (first) FActiveControl = first;
    }
    FFormState.Include(fsActivated);
    Activate();
    if (life.expired()) return;
    SetWindowFocus();
  } else {
    Deactivate();
    if (life.expired()) return;
    if (Screen()->ActiveCustomForm() == this) Screen()->SetActiveForm(nullptr);
  }
}

void TCustomForm::SetWindowFocus() {
  if (!FHandle) return;
  if (FActiveControl && FActiveControl->CanFocus()) {
    ::SetFocus(FActiveControl->Handle());
  } else if (GetFocus() != FHandle) {
    ::SetFocus(FHandle);
  }
}

void TCustomForm::SetActiveControl(TWinControl* v) {
  if (v == FActiveControl) return;
  if (v && (v == this || !ContainsControl(v) || (!FComponentState.Contains(csLoading) && !v->CanFocus()))) {
    if (!FComponentState.Contains(csLoading)) throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
  }
  FActiveControl = v;
  if (v) v->FreeNotification(this);
  if (FActive && v && v->CanFocus()) ::SetFocus(v->Handle());
}

bool TCustomForm::FocusControl(TWinControl* control) {
  if (!control->CanFocus()) throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
  if (!FActive) {
    // Focus arrives with the form's activation.
    FActiveControl = control;
    control->FreeNotification(this);
    if (FHandle && IsWindowVisible(FHandle)) {
      SetForegroundWindow(FHandle);
      SetActiveWindow(FHandle);
      if (GetActiveWindow() == FHandle && GetFocus() != control->Handle()) ::SetFocus(control->Handle());
    }
    return true;
  }
  ::SetFocus(control->Handle());
  return true;
}

void TCustomForm::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
  if (FHandle) {
    SetForegroundWindow(FHandle);
    SetActiveWindow(FHandle);
    SetWindowFocus();
  }
}

bool TCustomForm::CanFocus() const { return FVisible && FEnabled; }

bool TCustomForm::SetFocusedControl(TWinControl* control) {
  if (control == FFocusedControl) return true;
  std::weak_ptr<int> life = FLife;
  TWinControl* old = FFocusedControl;
  FFocusedControl = control;
  if (control && control != this) {
    FActiveControl = control;
    control->FreeNotification(this);
  }
  // Exits from the old control up to the first container that holds both, then enters from
  // there down to the new one: each side sees the change once.
  TWinControl* common = nullptr;
  if (control && old) {
    for (TWinControl* p = control; p; p = p->Parent()) {
      if (p->ContainsControl(old)) {
        common = p;
        break;
      }
    }
  }
  for (TWinControl* c = old; c && c != common;) {
    std::weak_ptr<int> alive = c->LifeToken();
    TWinControl* parent = c->Parent();
    c->Perform(CM_EXIT, 0, 0);
    if (life.expired()) return true;
    if (alive.expired() || FFocusedControl != control) break;
    c = parent;
  }
  if (FFocusedControl != control) return true;
  std::vector<TWinControl*> chain;
  for (TWinControl* c = control; c && c != common; c = c->Parent()) chain.push_back(c);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    (*it)->Perform(CM_ENTER, 0, 0);
    if (life.expired()) return true;
    if (FFocusedControl != control) return true;
  }
  Screen()->SetActiveControl(control);
  Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<std::intptr_t>(control));
  return true;
}

void TCustomForm::DefocusControl(TWinControl* control, bool removing) {
  if (FActiveControl && control->ContainsControl(FActiveControl)) {
    FActiveControl = nullptr;
  }
  if (FFocusedControl && control->ContainsControl(FFocusedControl)) {
    FFocusedControl = nullptr;
    if (Screen()->ActiveControl() && control->ContainsControl(Screen()->ActiveControl())) Screen()->SetActiveControl(nullptr);
    // The keyboard focus must not stay in a window that is going away.
    if (FHandle && !FComponentState.Contains(csDestroying) && GetFocus() && control->HandleAllocated() &&
        (GetFocus() == control->Handle() || IsChild(control->Handle(), GetFocus())))
      ::SetFocus(FHandle);
  }
  (void)removing;
}

// --- closing and modal showing -------------------------------------------------------------

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close() {
  if (FFormState.Contains(fsModal)) {
    FModalResult = mrCancel;
    return;
  }
  std::weak_ptr<int> life = FLife;
  if (!CloseQuery() || life.expired()) return;
  // An MDI child is minimised by default: its frame keeps it.
  TCloseAction action = FFormStyle == fsMDIChild ? caMinimize : caHide;
  DoClose(action);
  if (life.expired() || action == caNone) return;
  if (Application()->MainForm() == this) {
    Application()->Terminate();
  } else if (action == caHide) {
    Hide();
  } else if (action == caMinimize) {
    SetWindowState(wsMinimized);
  } else {
    Release();
  }
}

void TCustomForm::CloseModal() {
  std::weak_ptr<int> life = FLife;
  TCloseAction action = caNone;
  bool ok = CloseQuery();
  if (life.expired()) return;
  if (ok) {
    action = caHide;
    DoClose(action);
    if (life.expired()) return;
  }
  switch (action) {
    case caNone:
      FModalResult = 0;
      break;
    case caFree:
      Release();
      break;
    default:
      break;
  }
}

void TCustomForm::Release() {
  if (FHandle) PostMessageW(FHandle, CM_RELEASE, 0, 0);
  else Application()->ReleaseLater(this);
}

int TCustomForm::ShowModal() {
  if (FVisible || !FEnabled || FFormState.Contains(fsModal) || FFormState.Contains(fsCreating) ||
      FFormStyle == fsMDIChild)
    throw EInvalidOperation(L"Cannot make a visible window modal");
  if (HWND cap = GetCapture()) {
    SendMessageW(cap, WM_CANCELMODE, 0, 0);
    ReleaseCapture();
  }
  std::weak_ptr<int> life = FLife;
  FFormState.Include(fsModal);
  HWND previous = GetActiveWindow();
  // Every other enabled top-level window of this thread stops taking input meanwhile.
  std::vector<HWND> disabled;
  HandleNeeded();
  struct Collect {
    HWND self;
    std::vector<HWND>* list;
  } collect{FHandle, &disabled};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND wnd, LPARAM lp) -> BOOL {
        auto* c = reinterpret_cast<Collect*>(lp);
        if (wnd != c->self && IsWindowVisible(wnd) && IsWindowEnabled(wnd)) c->list->push_back(wnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&collect));
  for (HWND w : disabled) EnableWindow(w, FALSE);
  auto restore = [&] {
    for (HWND w : disabled) {
      if (IsWindow(w)) EnableWindow(w, TRUE);
    }
    if (previous && IsWindow(previous)) SetActiveWindow(previous);
  };
  int result = 0;
  try {
    Show();
    FModalResult = 0;
    TApplication* app = Application();
    do {
      app->HandleMessage();
      if (life.expired()) break;
      if (app->Terminated()) {
        FModalResult = mrCancel;
      } else if (FModalResult != 0) {
        CloseModal();
        if (life.expired()) break;
      }
    } while (FModalResult == 0);
    if (!life.expired()) {
      result = FModalResult;
      Hide();
    }
  } catch (...) {
    if (!life.expired()) {
      FFormState.Exclude(fsModal);
      if (FHandle) ShowWindow(FHandle, SW_HIDE);
      FVisible = false;
    }
    restore();
    throw;
  }
  if (!life.expired()) FFormState.Exclude(fsModal);
  restore();
  return result;
}

// --- frames and data modules ------------------------------------------------------------------

KW_BEGIN_CLASS(TCustomFrame, TScrollingWinControl) {
  b.Prop(L"Color", &TCustomFrame::Color, &TCustomFrame::SetColor).Stored(&TCustomFrame::ColorStoredFrame);
  b.Prop(L"Font", &TCustomFrame::Font, &TCustomFrame::SetFont);
  b.Prop(L"ParentColor", &TCustomFrame::ParentColor, &TCustomFrame::SetParentColor).Default(true);
  b.Prop(L"ParentFont", &TCustomFrame::ParentFont, &TCustomFrame::SetParentFont).Default(true);
}

KW_REGISTER_CLASS(TFrame, TCustomFrame)

TCustomFrame::TCustomFrame(TComponent* owner) : TScrollingWinControl(owner) {
  FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  FWidth = 320;
  FHeight = 240;
}

bool TCustomFrame::ColorStoredFrame() const { return !FParentColor; }

void TCustomFrame::AfterConstruction() {
  if (ClassType() != TFrame::StaticClass() && ClassType() != TCustomFrame::StaticClass()) {
    FComponentState.Include(csLoading);
    try {
      InitInheritedComponent(this, TFrame::StaticClass());
    } catch (...) {
      FComponentState.Exclude(csLoading);
      throw;
    }
    FComponentState.Exclude(csLoading);
  }
}

void TCustomFrame::GetChildren(const TGetChildProc& proc, TComponent* root) {
  TWinControl::GetChildren(proc, root);
  if (root == this) {
    for (int i = 0; i < ComponentCount(); ++i) {
      TComponent* c = Components(i);
      if (!c->HasParent()) proc(c);
    }
  }
}

KW_BEGIN_CLASS(TDataModule, TComponent) {
  b.Event(L"OnCreate", &TDataModule::OnCreate);
  b.Event(L"OnDestroy", &TDataModule::OnDestroy);
}

TDataModule::TDataModule(TComponent* owner) : TComponent(owner) { Screen()->AddDataModule(this); }

void TDataModule::AfterConstruction() {
  if (ClassType() != TDataModule::StaticClass()) {
    FComponentState.Include(csLoading);
    try {
      InitInheritedComponent(this, TDataModule::StaticClass());
    } catch (...) {
      FComponentState.Exclude(csLoading);
      throw;
    }
    FComponentState.Exclude(csLoading);
  }
  OnCreate(this);
}

void TDataModule::BeforeDestruction() {
  if (!FDestroyed) {
    FDestroyed = true;
    OnDestroy(this);
  }
  TComponent::BeforeDestruction();
}

TDataModule::~TDataModule() {
  if (!FDestroyed) {
    FDestroyed = true;
    try {
      OnDestroy(this);
    } catch (...) {
      KwHandleCurrentException(this);
    }
  }
  Screen()->RemoveDataModule(this);
}

void TDataModule::GetChildren(const TGetChildProc& proc, TComponent* root) {
  for (int i = 0; i < ComponentCount(); ++i) {
    TComponent* c = Components(i);
    if (!c->HasParent()) proc(c);
  }
}

}  // namespace kw
