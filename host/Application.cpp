// TApplication (the loop: key messages through the controls first, idle work, exceptions
// reported without stopping, hints), TScreen with monitors, and THintWindow.
#include "host/Application.h"

#include <algorithm>

#include "host/Forms.h"
#include "host/Stringlist.h"
#include "host/Sysutils.h"
#include "host/Threads.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

bool KwIsDialogMessage(void* msg);

namespace {

TApplication* GApplication = nullptr;
TScreen* GScreen = nullptr;
bool GDone = false;

void ReportToApplication(TObject* sender) {
  if (GApplication) GApplication->HandleException(sender);
}

}  // namespace

TApplication* Application() {
  if (!GApplication) {
    GApplication = new TApplication(nullptr);
  }
  return GApplication;
}

TApplication* KwApplicationIfAny() { return GApplication; }

TScreen* Screen() {
  if (!GScreen) GScreen = new TScreen(nullptr);
  return GScreen;
}

void KwDoneApplication() {
  if (GDone) return;
  GDone = true;
  if (GApplication) {
    TApplication* app = GApplication;
    app->Free();
    GApplication = nullptr;
  }
  if (GScreen) {
    TScreen* s = GScreen;
    s->Free();
    GScreen = nullptr;
  }
  GDone = false;
}

String GetShortHint(const String& hint) {
  size_t bar = hint.find(L'|');
  return bar == String::npos ? hint : hint.substr(0, bar);
}

String GetLongHint(const String& hint) {
  size_t bar = hint.find(L'|');
  return bar == String::npos ? hint : hint.substr(bar + 1);
}

// --- THintWindow -----------------------------------------------------------------------

KW_REGISTER_CLASS(THintWindow, TCustomControl)

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  FVisible = false;
  FParentColor = false;
  FParentFont = false;
  FColor = clInfoBk;
  FBrush->SetColor(FColor);
  FFont->SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = WS_POPUP | WS_BORDER;
  p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  p.WndParent = nullptr;
  p.ClassStyle |= CS_SAVEBITS;
}

TRect THintWindow::CalcHintRect(int maxWidth, const String& hint, void*) {
  RECT r{0, 0, maxWidth > 0 ? maxWidth : 300, 0};
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FFont->Handle());
  DrawTextW(dc, hint.c_str(), int(hint.size()), &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  // Room for the border and a little air around the text.
  return TRect(0, 0, r.right + 6, r.bottom + 4);
}

void THintWindow::ActivateHint(const TRect& rect, const String& hint) {
  SetCaption(hint);
  TRect r = rect;
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  if (r.Right > work.right) {
    int w = r.Width();
    r.Right = work.right;
    r.Left = r.Right - w;
  }
  if (r.Bottom > work.bottom) {
    int h = r.Height();
    r.Bottom = work.bottom;
    r.Top = r.Bottom - h;
  }
  if (r.Left < work.left) r.Left = work.left, r.Right = r.Left + rect.Width();
  if (r.Top < work.top) r.Top = work.top, r.Bottom = r.Top + rect.Height();
  HandleNeeded();
  SetBounds(r.Left, r.Top, r.Width(), r.Height());
  SetWindowPos(FHandle, HWND_TOPMOST, r.Left, r.Top, r.Width(), r.Height(), SWP_SHOWWINDOW | SWP_NOACTIVATE);
  FVisible = true;
  FActive = true;
  Invalidate();
}

void THintWindow::ReleaseHandle() {
  FActive = false;
  FVisible = false;
  DestroyHandle();
}

void THintWindow::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(FColor);
  c->FillRect(r);
  r.Left += 2;
  r.Top += 1;
  c->Font()->Assign(FFont.get());
  c->TextRect(r, Caption(), {tfLeft, tfWordBreak, tfNoPrefix});
}

void THintWindow::WndProc(TMessage& m) {
  if (m.Msg == WM_NCHITTEST) {
    m.Result = HTTRANSPARENT;
    return;
  }
  TCustomControl::WndProc(m);
}

// --- TApplication ----------------------------------------------------------------------

KW_BEGIN_CLASS(TApplication, TComponent) {
  b.Event(L"OnActivate", &TApplication::OnActivate);
  b.Event(L"OnDeactivate", &TApplication::OnDeactivate);
  b.Event(L"OnHint", &TApplication::OnHint);
  b.Event(L"OnIdle", &TApplication::OnIdle);
}

THintWindowClass TApplication::HintWindowClass = [](TComponent* owner) { return new THintWindow(owner); };

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  wchar_t path[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
  FExeName.assign(path, n);
  FTitle = ChangeFileExt(ExtractFileName(FExeName), L"");
  ApplicationHandleException = &ReportToApplication;
  FHintTimer = std::make_unique<TTimer>(nullptr);
  FHintTimer->SetEnabled(false);
  FHintTimer->SetOnTimer([this](TObject*) { HintTimerExpired(); });
  DeclareDpiAwareness();
  Handle();
}

// Forms rescale themselves when they move to a monitor of another DPI (WM_DPICHANGED), which
// the system sends only to per-monitor aware programs; without it the system would stretch
// their pixels. A program whose manifest already says so keeps what it says (the call fails).
void TApplication::DeclareDpiAwareness() {
  using TSetContext = BOOL(WINAPI*)(HANDLE);
  HMODULE user = GetModuleHandleW(L"user32.dll");
  auto set = user ? reinterpret_cast<TSetContext>(GetProcAddress(user, "SetProcessDpiAwarenessContext")) : nullptr;
  if (set) set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));  // per monitor, version 2
}

TApplication::~TApplication() {
  CancelHint();
  FHintTimer.reset();
  if (FHintWindow) {
    delete FHintWindow;
    FHintWindow = nullptr;
  }
  DoneReleases();
  // Forms go before the rest so their OnDestroy still finds the application.
  DestroyComponents();
  DestroyHandle();
  if (ApplicationHandleException == &ReportToApplication) ApplicationHandleException = nullptr;
}

void TApplication::SetMainForm(TCustomForm* form) { FMainForm = form; }

void TApplication::Run() {
  FRunning = true;
  if (FMainForm && FShowMainForm) FMainForm->Show();
  while (!FTerminated) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
    if (!FMainForm && !FTerminated && Screen()->FormCount() == 0) break;
  }
  FRunning = false;
}

void TApplication::Terminate() {
  FTerminated = true;
  PostQuitMessage(0);
}

bool TApplication::ProcessMessage(tagMSG& msg) {
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  if (PreTranslate(msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

bool TApplication::PreTranslate(tagMSG& msg) {
  bool handled = false;
  OnMessage(msg, handled);
  if (handled) return true;
  if (msg.message == WM_NULL && !msg.hwnd) {
    CheckSynchronize();
    return true;
  }
  if (msg.message == WM_MOUSEMOVE || (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
      msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN || msg.message == WM_MBUTTONDOWN ||
      msg.message == WM_MOUSEWHEEL) {
    if (msg.message == WM_MOUSEMOVE) {
      POINT p = msg.pt;
      TWinControl* w = TWinControl::FindControl(msg.hwnd);
      TControl* target = w;
      if (w) {
        TPoint cp(short(LOWORD(msg.lParam)), short(HIWORD(msg.lParam)));
        p = POINT{w->ClientToScreen(cp).X, w->ClientToScreen(cp).Y};
        if (TControl* c = w->ControlAtPos(cp, true)) target = c;
      }
      HintMouseMessage(target, TPoint(p.x, p.y));
    } else {
      CancelHint();
    }
  }
  if (IsMDIMsg(msg)) return true;
  if (KwIsKeyMsg(&msg)) return true;
  return KwIsDialogMessage(&msg);
}

bool TApplication::IsMDIMsg(tagMSG& msg) {
  // Ctrl+F4, Ctrl+F6 and the child's system menu keys, when a child of the frame has them.
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  auto* frame = dynamic_cast<TCustomForm*>(FMainForm);
  if (!frame || frame->FormStyle() != fsMDIForm || !frame->ClientHandle() || !frame->ActiveMDIChild()) return false;
  return TranslateMDISysAccel(frame->ClientHandle(), &msg) != FALSE;
}

void TApplication::ProcessMessages() {
  MSG msg;
  // Bounded, so a window that keeps posting to itself cannot hold the caller forever.
  for (int i = 0; i < 100000 && ProcessMessage(msg); ++i) {
  }
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) Idle(msg);
}

void TApplication::Idle(const tagMSG&) {
  DoneReleases();
  bool done = true;
  try {
    OnIdle(this, done);
  } catch (...) {
    HandleException(this);
  }
  // Actions of the visible forms update themselves while nothing else happens.
  for (int i = 0; i < Screen()->FormCount(); ++i) {
    TCustomForm* f = Screen()->Forms(i);
    if (f->Visible()) {
      try {
        f->UpdateActions();
      } catch (...) {
        HandleException(f);
      }
    }
  }
  if (CheckSynchronize()) done = false;
  if (done && !FTerminated) WaitMessage();
}

bool TApplication::IsShortCut(TWMKey& message) {
  bool handled = false;
  OnShortCut(message, handled);
  if (handled) return true;
  TCustomForm* main = FMainForm;
  if (!main || main == Screen()->ActiveCustomForm() || !main->HandleAllocated() || !IsWindowEnabled(main->Handle()))
    return false;
  return main->IsShortCut(message);
}

bool TApplication::ExecuteAction(TBasicAction* action) {
  bool handled = false;
  OnActionExecute(action, handled);
  return handled;
}

bool TApplication::UpdateAction(TBasicAction* action) {
  bool handled = false;
  OnActionUpdate(action, handled);
  return handled;
}

void TApplication::ReleaseLater(TComponent* component) {
  if (std::find(FReleases.begin(), FReleases.end(), component) == FReleases.end()) FReleases.push_back(component);
}

void TApplication::DoneReleases() {
  while (!FReleases.empty()) {
    TComponent* c = FReleases.back();
    FReleases.pop_back();
    c->Free();
  }
}

void TApplication::HandleException(TObject* sender) {
  std::exception_ptr current = std::current_exception();
  if (!current) return;
  try {
    std::rethrow_exception(current);
  } catch (const Exception& e) {
    if (OnException) OnException(sender, e);
    else ShowException(e);
  } catch (const std::exception& e) {
    Exception wrapped(UTF8ToString(e.what()));
    if (OnException) OnException(sender, wrapped);
    else ShowException(wrapped);
  } catch (...) {
    Exception wrapped(L"Unknown exception");
    if (OnException) OnException(sender, wrapped);
    else ShowException(wrapped);
  }
}

void TApplication::ShowException(const Exception& e) {
  String text = e.Message();
  if (!text.empty() && text.back() != L'.') text += L'.';
  HWND owner = GetActiveWindow();
  MessageBoxW(owner, text.c_str(), FTitle.c_str(), MB_OK | MB_ICONSTOP);
}

bool TApplication::HelpContext(int context) {
  bool callHelp = true;
  if (OnHelp) return OnHelp(0x0001 /* HELP_CONTEXT */, context, callHelp);
  return false;
}

void TApplication::SetHint(const String& v) {
  if (v == FHint) return;
  FHint = v;
  OnHint(this);
}

void TApplication::SetShowHint(bool v) {
  if (v == FShowHint) return;
  FShowHint = v;
  if (!v) {
    CancelHint();
    if (FHintWindow) {
      delete FHintWindow;
      FHintWindow = nullptr;
    }
  }
}

void TApplication::CancelHint() {
  if (FHintTimer) FHintTimer->SetEnabled(false);
  if (FHintWindow && FHintWindow->Active()) FHintWindow->ReleaseHandle();
  FHintActive = false;
  FHintHiding = false;
  if (FHintControl) {
    FHintControl->RemoveFreeNotification(this);
    FHintControl = nullptr;
  }
}

void TApplication::HintMouseMessage(TControl* control, const TPoint& screenPos) {
  // The long hint follows the mouse on every move, whether or not a hint window shows.
  SetHint(control ? GetLongHint(control->Hint()) : String());
  if (control == FHintControl) return;
  bool wasActive = FHintWindow && FHintWindow->Active();
  CancelHint();
  if (!control || !FShowHint || !control->ShowHint() || GetShortHint(control->Hint()).empty()) return;
  FHintControl = control;
  control->FreeNotification(this);
  FHintTimer->SetInterval(Cardinal(wasActive ? FHintShortPause : FHintPause));
  FHintTimer->SetEnabled(true);
  (void)screenPos;
}

void TApplication::HintTimerExpired() {
  FHintTimer->SetEnabled(false);
  if (FHintHiding) {
    CancelHint();
    return;
  }
  POINT p;
  GetCursorPos(&p);
  ActivateHint(TPoint(p.x, p.y));
}

void TApplication::ActivateHint(const TPoint& cursor) {
  TControl* control = FHintControl;
  if (!control) return;
  THintInfo info;
  info.HintControl = control;
  info.CursorPos = control->ScreenToClient(cursor);
  info.CursorRect = control->ClientRect();
  info.HintPos = TPoint(cursor.X, cursor.Y + 20);
  info.HintMaxWidth = Screen()->Width();
  info.HintColor = FHintColor;
  info.HintStr = GetShortHint(control->Hint());
  info.HideTimeout = FHintHidePause;
  info.HintWindowClass = HintWindowClass;
  bool canShow = control->Perform(CM_HINTSHOW, 0, reinterpret_cast<std::intptr_t>(&info)) == 0;
  if (canShow) OnShowHint(info.HintStr, canShow, info);
  if (!canShow || info.HintStr.empty()) return;
  THintWindowClass maker = info.HintWindowClass ? info.HintWindowClass : HintWindowClass;
  if (FHintWindow && FHintWindowMaker != maker) {
    delete FHintWindow;
    FHintWindow = nullptr;
  }
  if (!FHintWindow) {
    FHintWindow = maker(nullptr);
    FHintWindowMaker = maker;
  }
  FHintWindow->SetColor(info.HintColor);
  TRect r = FHintWindow->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
  r = TRect(info.HintPos.X, info.HintPos.Y, info.HintPos.X + r.Width(), info.HintPos.Y + r.Height());
  FHintWindow->ActivateHint(r, info.HintStr);
  FHintActive = true;
  if (info.HideTimeout > 0) {
    FHintHiding = true;
    FHintTimer->SetInterval(Cardinal(info.HideTimeout));
    FHintTimer->SetEnabled(true);
  }
}

// --- TScreen -----------------------------------------------------------------------------

KW_BEGIN_CLASS(TScreen, TComponent) {
  b.Event(L"OnActiveFormChange", &TScreen::OnActiveFormChange);
  b.Event(L"OnActiveControlChange", &TScreen::OnActiveControlChange);
}

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}
TScreen::~TScreen() = default;

void TScreen::AddForm(TCustomForm* form) { FForms.push_back(form); }

void TScreen::RemoveForm(TCustomForm* form) {
  FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
  if (FActiveForm == form) FActiveForm = nullptr;
  if (FActiveControl && form->ContainsControl(FActiveControl)) FActiveControl = nullptr;
}

void TScreen::AddDataModule(TDataModule* module) { FDataModules.push_back(module); }

void TScreen::RemoveDataModule(TDataModule* module) {
  FDataModules.erase(std::remove(FDataModules.begin(), FDataModules.end(), module), FDataModules.end());
}

void TScreen::SetActiveForm(TCustomForm* form) {
  if (form == FActiveForm) return;
  FActiveForm = form;
  // The active form moves to the front of the list, as the host keeps it.
  if (form) {
    auto it = std::find(FForms.begin(), FForms.end(), form);
    if (it != FForms.end()) {
      FForms.erase(it);
      FForms.insert(FForms.begin(), form);
    }
  }
  OnActiveFormChange(this);
}

void TScreen::SetActiveControl(TWinControl* control) {
  if (control == FActiveControl) return;
  FActiveControl = control;
  OnActiveControlChange(this);
}

void TScreen::GetMonitors() {
  FMonitors.clear();
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR m, HDC, LPRECT, LPARAM lp) -> BOOL {
        auto* self = reinterpret_cast<TScreen*>(lp);
        self->FMonitors.push_back(std::make_unique<TMonitor>(m, int(self->FMonitors.size())));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(this));
  if (FMonitors.empty()) {
    HMONITOR m = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    FMonitors.push_back(std::make_unique<TMonitor>(m, 0));
  }
}

int TScreen::MonitorCount() {
  if (FMonitors.empty()) GetMonitors();
  return int(FMonitors.size());
}

TMonitor* TScreen::Monitors(int index) {
  if (FMonitors.empty()) GetMonitors();
  return FMonitors.at(size_t(index)).get();
}

TMonitor* TScreen::PrimaryMonitor() {
  for (int i = 0; i < MonitorCount(); ++i) {
    if (Monitors(i)->Primary()) return Monitors(i);
  }
  return Monitors(0);
}

namespace {
DWORD DefaultFlag(TMonitorDefaultTo def) {
  return def == mdNull ? MONITOR_DEFAULTTONULL : def == mdPrimary ? MONITOR_DEFAULTTOPRIMARY : MONITOR_DEFAULTTONEAREST;
}
}  // namespace

TMonitor* TScreen::FindMonitor(HMONITOR__* m) {
  for (int pass = 0; pass < 2 && m; ++pass) {
    for (int i = 0; i < MonitorCount(); ++i) {
      if (Monitors(i)->Handle() == m) return Monitors(i);
    }
    GetMonitors();  // a monitor was plugged in since the list was made
  }
  return nullptr;
}

TMonitor* TScreen::MonitorFromWindow(HWND__* wnd, TMonitorDefaultTo def) {
  HMONITOR m = ::MonitorFromWindow(wnd, DefaultFlag(def));
  return FindMonitor(m);
}

TMonitor* TScreen::MonitorFromPoint(const TPoint& p, TMonitorDefaultTo def) {
  HMONITOR m = ::MonitorFromPoint(POINT{p.X, p.Y}, DefaultFlag(def));
  return FindMonitor(m);
}

TMonitor* TScreen::MonitorFromRect(const TRect& r, TMonitorDefaultTo def) {
  RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  HMONITOR m = ::MonitorFromRect(&rc, DefaultFlag(def));
  return FindMonitor(m);
}

TMonitor* TScreen::FormMonitor(const TCustomForm* form) {
  if (!form) form = Application()->MainForm();
  if (!form) return PrimaryMonitor();
  TMonitor* m = nullptr;
  if (form->HandleAllocated()) {
    m = MonitorFromWindow(const_cast<TCustomForm*>(form)->Handle(), mdNearest);  // allocated: nothing is made
  } else {
    TRect r = form->BoundsRect();
    // A form inside another control has its bounds in that control's client coordinates.
    if (form->Parent()) {
      TPoint origin = form->Parent()->ClientToScreen(TPoint(0, 0));
      r = TRect(r.Left + origin.X, r.Top + origin.Y, r.Right + origin.X, r.Bottom + origin.Y);
    }
    m = MonitorFromRect(r, mdNearest);
  }
  return m ? m : PrimaryMonitor();
}

TMonitor* TCustomForm::Monitor() const { return Screen()->FormMonitor(this); }

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

TRect TScreen::WorkAreaRect() const {
  RECT r;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return TRect(r.left, r.top, r.right, r.bottom);
}

TRect TScreen::DesktopRect() const {
  int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return TRect(x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

int TScreen::PixelsPerInch() const { return KwScreenPixelsPerInch(); }

TStrings* TScreen::Fonts() {
  if (!FFonts) {
    auto list = std::make_unique<TStringList>();
    HDC dc = GetDC(nullptr);
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(
        dc, &lf,
        [](const LOGFONTW* f, const TEXTMETRICW*, DWORD, LPARAM lp) -> int {
          auto* l = reinterpret_cast<TStringList*>(lp);
          String name = f->lfFaceName;
          if (!name.empty() && name[0] != L'@' && l->IndexOf(name) < 0) l->Add(name);
          return 1;
        },
        reinterpret_cast<LPARAM>(list.get()), 0);
    ReleaseDC(nullptr, dc);
    list->Sort();
    FFonts = std::move(list);
  }
  return FFonts.get();
}

KW_REGISTER_CLASS(TMonitor, TObject)

TRect TMonitor::BoundsRect() const {
  MONITORINFO mi{sizeof(mi)};
  if (!GetMonitorInfoW(FHandle, &mi)) return TRect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  return TRect(mi.rcMonitor.left, mi.rcMonitor.top, mi.rcMonitor.right, mi.rcMonitor.bottom);
}

TRect TMonitor::WorkareaRect() const {
  MONITORINFO mi{sizeof(mi)};
  if (!GetMonitorInfoW(FHandle, &mi)) return BoundsRect();
  return TRect(mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom);
}

bool TMonitor::Primary() const {
  MONITORINFO mi{sizeof(mi)};
  return GetMonitorInfoW(FHandle, &mi) && (mi.dwFlags & MONITORINFOF_PRIMARY);
}

int TMonitor::PixelsPerInch() const { return KwScreenPixelsPerInch(); }

}  // namespace kw
