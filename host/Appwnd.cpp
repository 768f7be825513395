// The application's own window: made on demand, hooked by components, answering system
// commands for the taskbar button, application activation and the end of the session.
// Minimising and restoring the application live here because they depend on the mode.
#include "host/Application.h"
#include "host/Forms.h"
#include "host/Threads.h"
#include "host/Utilwnd.h"
#include "host/Win.h"

namespace kw {

HWND__* TApplication::Handle() {
  if (!FHandle) {
    FHandle = AllocateHWnd([this](TMessage& m) { AppWndProc(m); });
    // A popup with a caption and system menu, at zero size: what the taskbar button shows.
    SetWindowLongPtrW(FHandle, GWL_STYLE, WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX);
    SetWindowLongPtrW(FHandle, GWL_EXSTYLE, 0);
    SetWindowTextW(FHandle, FTitle.c_str());
    int x = GetSystemMetrics(SM_CXSCREEN) / 2, y = GetSystemMetrics(SM_CYSCREEN) / 2;
    SetWindowPos(FHandle, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    // Only minimise, restore and close make sense for a window that is nothing but a button.
    HMENU menu = GetSystemMenu(FHandle, FALSE);
    if (menu) {
      DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
      DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
      DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
    }
  }
  return FHandle;
}

void TApplication::DestroyHandle() {
  HWND wnd = FHandle;
  FHandle = nullptr;
  DeallocateHWnd(wnd);
}

void TApplication::SetTitle(const String& v) {
  if (v == FTitle) return;
  FTitle = v;
  if (FHandle) SetWindowTextW(FHandle, FTitle.c_str());
}

void TApplication::SetShowMainFormOnTaskBar(bool v) {
  if (v == FShowMainFormOnTaskBar) return;
  FShowMainFormOnTaskBar = v;
  if (FMainForm && FMainForm->HandleAllocated()) FMainForm->RecreateWnd();
  UpdateTaskButton(FMainForm && FMainForm->HandleAllocated() && IsWindowVisible(FMainForm->Handle()));
}

void TApplication::UpdateTaskButton(bool mainFormShowing) {
  bool want = !FShowMainFormOnTaskBar && mainFormShowing;
  if (want == bool(IsWindowVisible(Handle()))) return;
  ShowWindow(FHandle, want ? SW_SHOWNOACTIVATE : SW_HIDE);
}

int TApplication::HookMainWindow(TWindowHook hook) {
  Handle();
  FHooks.emplace_back(++FNextHook, std::make_shared<TWindowHook>(std::move(hook)));
  return FNextHook;
}

void TApplication::UnhookMainWindow(int cookie) {
  for (auto it = FHooks.begin(); it != FHooks.end(); ++it) {
    if (it->first == cookie) {
      FHooks.erase(it);
      return;
    }
  }
}

void TApplication::Minimize() {
  if (!FShowMainFormOnTaskBar) {
    // The owned forms hide with their owner; the button stays.
    ShowWindow(Handle(), SW_MINIMIZE);
    return;
  }
  if (FMainForm) FMainForm->SetWindowState(wsMinimized);
}

void TApplication::Restore() {
  if (!FShowMainFormOnTaskBar) {
    if (FHandle && IsIconic(FHandle)) ShowWindow(FHandle, SW_RESTORE);
    return;
  }
  if (FMainForm) FMainForm->SetWindowState(wsNormal);
}

void TApplication::AppWndProc(TMessage& m) {
  // A copy, last first: a hook may unhook itself or add another while it runs.
  auto hooks = FHooks;
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
    if ((*it->second)(m)) return;
  }
  switch (m.Msg) {
    case WM_SYSCOMMAND:
      switch (m.WParam & 0xFFF0) {
        case SC_MINIMIZE:
          Minimize();
          return;
        case SC_RESTORE:
          Restore();
          return;
        case SC_CLOSE:
          if (FMainForm) FMainForm->Close();
          return;
      }
      break;
    case WM_CLOSE:
      if (FMainForm) FMainForm->Close();
      return;
    case WM_ACTIVATEAPP:
      if (m.WParam) {
        FActive = true;
        OnActivate(this);
      } else {
        FActive = false;
        CancelHint();
        OnDeactivate(this);
      }
      return;
    case WM_QUERYENDSESSION:
      m.Result = !FMainForm || FMainForm->CloseQuery() ? TRUE : FALSE;
      return;
    case WM_ENDSESSION:
      if (m.WParam) Terminate();
      return;
    case WM_NULL:
      CheckSynchronize();
      return;
  }
  DefaultHandling(FHandle, m);
}

}  // namespace kw
