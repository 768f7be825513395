// Library start and end (the master message, KwScreen, the call-window and get-message hooks
// of the starting thread) and what the hooks do: cancel mode on clicks and on application
// deactivation, external clicks for form controllers, hint refresh and wheel redirection.
#include "core/Kwlinks.h"

#include "host/Application.h"
#include "host/Forms.h"
#include "host/Win.h"

namespace kw {

namespace {

HHOOK GCallHook = nullptr;
HHOOK GMsgHook = nullptr;
bool GStarted = false;

bool IsClick(UINT msg) {
  switch (msg) {
    case WM_NCLBUTTONDOWN: case WM_NCRBUTTONDOWN: case WM_NCRBUTTONDBLCLK: case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONUP: case WM_NCMBUTTONDBLCLK: case WM_LBUTTONDOWN:
      return true;
    default:
      return msg >= WM_LBUTTONDBLCLK && msg <= WM_MBUTTONDBLCLK;
  }
}

bool IsNonClient(UINT msg) { return msg >= WM_NCMOUSEMOVE && msg <= WM_NCMBUTTONDBLCLK; }

void Clicked(const MSG& m) {
  TWinControl* win = TWinControl::FindControl(m.hwnd);
  if (!win) {
    KwNotifyCancelMode(nullptr, int(m.message));
    return;
  }
  TPoint pt(short(LOWORD(m.lParam)), short(HIWORD(m.lParam)));
  if (IsNonClient(m.message)) pt = win->ScreenToClient(pt);
  TControl* clicked = win->ControlAtPos(pt, true, false, false);
  if (!clicked) clicked = win;
  std::weak_ptr<int> life = clicked->LifeToken();
  if (TKwFormControllerKind* kind = KwFormControllerKind()) kind->ExtClick(kind->FindInControl(clicked));
  KwNotifyCancelMode(life.expired() ? nullptr : clicked, int(m.message));
}

void Wheel(const MSG& m) {
  // The wheel message carries the cursor's screen position at the time of the turn.
  TPoint cursor(short(LOWORD(m.lParam)), short(HIWORD(m.lParam)));
  TControl* control = KwFindDragTarget(cursor, false);
  // Where the platform cannot say what lies under the point, the focus window that got the
  // message stands in.
  if (!control)
    if (TWinControl* win = TWinControl::FindControl(m.hwnd)) {
      control = win->ControlAtPos(win->ScreenToClient(cursor), false);
      if (!control) control = win;
    }
  TKwHookTargets& targets = KwHookTargets();
  if (control && targets.MenuWheel && targets.MenuWheel(control, m.hwnd, m.wParam, m.lParam)) return;
  TControl* box = control && targets.WheelScrollBox ? targets.WheelScrollBox(control) : nullptr;
  std::weak_ptr<int> life;
  if (box) life = box->LifeToken();
  KwNotifyCancelMode(control, WM_MOUSEWHEEL);
  if (box && !life.expired() && targets.WheelMessage) targets.WheelMessage(box, m.wParam, m.lParam);
}

LRESULT CALLBACK CallWndHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* cwp = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (cwp->message == WM_ACTIVATEAPP && cwp->wParam == 0) {
      PostMessageW(cwp->hwnd, KwMasterMessage, KwEvtWakeUp, 0);
      try {
        KwNotifyCancelMode(nullptr, WM_ACTIVATEAPP);
      } catch (...) {
        KwHandleCurrentException(nullptr);
      }
    }
  }
  return CallNextHookEx(GCallHook, code, wp, lp);
}

LRESULT CALLBACK GetMsgHook(int code, WPARAM wp, LPARAM lp) {
  // Only messages leaving the queue: a peek that leaves one there would count it twice.
  if (code == HC_ACTION && wp == PM_REMOVE) {
    const MSG& m = *reinterpret_cast<const MSG*>(lp);
    try {
      if (m.message == WM_MOUSEMOVE) {
        if (KwHookTargets().UpdateHints) KwHookTargets().UpdateHints();
      } else if (IsClick(m.message)) {
        Clicked(m);
      } else if (m.message == WM_MOUSEWHEEL) {
        Wheel(m);
      }
    } catch (...) {
      KwHandleCurrentException(nullptr);
    }
  }
  return CallNextHookEx(GMsgHook, code, wp, lp);
}

// The library starts when the program loads it and ends when the program unloads it.
bool GProcessExiting = false;

struct TMainUnit {
  TMainUnit() { KwInitMainUnit(); }
  ~TMainUnit() {
    GProcessExiting = true;
    KwEndMainUnit();
  }
} mainUnit;

}  // namespace

TKwHookTargets& KwHookTargets() {
  static TKwHookTargets targets;
  return targets;
}

namespace {

struct TUnitEntry {
  void (*Init)();
  void (*End)();
};

std::vector<TUnitEntry>& Units() {
  static std::vector<TUnitEntry> units;
  return units;
}

}  // namespace

void KwAddUnit(void (*init)(), void (*end)()) {
  Units().push_back({init, end});
  if (GStarted && init) init();
}

void KwInitMainUnit() {
  if (GStarted) return;
  GStarted = true;
  KwMasterMessage = RegisterWindowMessageW(L"__Kw_MessageMaster__");
  KwScreen = new TKwScreen;
  DWORD thread = GetCurrentThreadId();
  GCallHook = SetWindowsHookExW(WH_CALLWNDPROC, &CallWndHook, nullptr, thread);
  GMsgHook = SetWindowsHookExW(WH_GETMESSAGE, &GetMsgHook, nullptr, thread);
  for (size_t i = 0; i < Units().size(); ++i) {
    if (Units()[i].Init) Units()[i].Init();
  }
}

void KwEndMainUnit() {
  if (!GStarted) return;
  // At process exit the other units' globals may already be gone, and the system takes
  // back what the units hold: only an explicit end runs their end procedures.
  if (!GProcessExiting) {
    for (auto it = Units().rbegin(); it != Units().rend(); ++it) {
      if (it->End) it->End();
    }
  }
  GStarted = false;
  if (GMsgHook) UnhookWindowsHookEx(GMsgHook);
  if (GCallHook) UnhookWindowsHookEx(GCallHook);
  GMsgHook = GCallHook = nullptr;
  delete KwScreen;
  KwScreen = nullptr;
}

TKwScreenBatch::TKwScreenBatch() {
  if (KwScreen) {
    KwScreen->BeginUpdate();
    FOpen = true;
  }
}

TKwScreenBatch::~TKwScreenBatch() {
  if (FOpen && KwScreen) KwScreen->EndUpdate();
}

bool KwHooksInstalled() { return GCallHook && GMsgHook; }

}  // namespace kw
