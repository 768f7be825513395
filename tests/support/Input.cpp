// Posted mouse and key input with the matching keyboard state, and the bounded message pump.
// Nothing here waits for another thread or owns a window.
#include "tests/support/Input.h"

#include <cstring>

#include "host/Exceptions.h"
#include "host/Win.h"

namespace kw::testsupport {

namespace {

// Enough for any real burst of messages, small enough to end a self-reposting loop quickly.
constexpr int MaxMessagesPerPump = 2000;

thread_local std::function<bool(MSG&)> PumpFilter;
// Alt went down and no other key since: its release is then WM_SYSKEYUP.
thread_local bool AltAlone = false;

void CheckWindow(HWND wnd, const wchar_t* what) {
  if (!wnd || !IsWindow(wnd)) throw Exception(String(what) + L": no such window");
}

// Processes what is pending now; false once WM_QUIT was met (it is put back for the caller).
bool PumpPending() {
  MSG m;
  for (int i = 0; i < MaxMessagesPerPump && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(int(m.wParam));
      return false;
    }
    if (PumpFilter && PumpFilter(m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return true;
}

void SetDown(BYTE* state, unsigned vk, bool down) {
  if (down) state[vk] |= 0x80;
  else state[vk] &= ~0x80;
}

// The generic key of a left or right modifier, or the key itself.
unsigned GenericKey(unsigned vk) {
  switch (vk) {
    case VK_LSHIFT: case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL: case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU: case VK_RMENU: return VK_MENU;
    default: return vk;
  }
}

// Marks a key down or up with its generic/sided twins, as the platform keeps them.
void SetKey(BYTE* state, unsigned vk, bool down) {
  static const unsigned sides[][3] = {{VK_SHIFT, VK_LSHIFT, VK_RSHIFT},
                                      {VK_CONTROL, VK_LCONTROL, VK_RCONTROL},
                                      {VK_MENU, VK_LMENU, VK_RMENU}};
  for (auto& s : sides) {
    if (vk == s[0]) {
      SetDown(state, s[0], down);
      SetDown(state, s[1], down);  // the generic key counts as the left one
      if (!down) SetDown(state, s[2], false);
      return;
    }
    if (vk == s[1] || vk == s[2]) {
      SetDown(state, vk, down);
      bool other = (state[vk == s[1] ? s[2] : s[1]] & 0x80) != 0;
      SetDown(state, s[0], down || other);
      return;
    }
  }
  SetDown(state, vk, down);
}

// The keyboard state for one input step: `shift` applied on entry, the state as it was (plus
// the lasting changes made with Hold) put back on exit.
class TStateScope {
public:
  explicit TStateScope(TShiftState shift) {
    if (!GetKeyboardState(FSaved)) std::memset(FSaved, 0, sizeof FSaved);
    std::memcpy(FNow, FSaved, sizeof FNow);
    if (shift.Contains(ssShift)) SetKey(FNow, VK_SHIFT, true);
    if (shift.Contains(ssCtrl)) SetKey(FNow, VK_CONTROL, true);
    if (shift.Contains(ssAlt)) SetKey(FNow, VK_MENU, true);
    if (shift.Contains(ssLeft)) SetDown(FNow, VK_LBUTTON, true);
    if (shift.Contains(ssRight)) SetDown(FNow, VK_RBUTTON, true);
    if (shift.Contains(ssMiddle)) SetDown(FNow, VK_MBUTTON, true);
    SetKeyboardState(FNow);
  }
  ~TStateScope() { SetKeyboardState(FSaved); }
  TStateScope(const TStateScope&) = delete;
  TStateScope& operator=(const TStateScope&) = delete;

  // A change that outlives the step (a key or button pressed or released).
  void Hold(unsigned vk, bool down) {
    SetKey(FSaved, vk, down);
    SetKey(FNow, vk, down);
    SetKeyboardState(FNow);
  }
  bool Down(unsigned vk) const { return (FNow[vk] & 0x80) != 0; }
  bool WasDown(unsigned vk) const { return (FSaved[vk] & 0x80) != 0; }
  void Toggle(unsigned vk) {
    FSaved[vk] ^= 1;
    FNow[vk] ^= 1;
    SetKeyboardState(FNow);
  }

  WPARAM MouseKeys() const {
    WPARAM k = 0;
    if (Down(VK_LBUTTON)) k |= MK_LBUTTON;
    if (Down(VK_RBUTTON)) k |= MK_RBUTTON;
    if (Down(VK_MBUTTON)) k |= MK_MBUTTON;
    if (Down(VK_XBUTTON1)) k |= MK_XBUTTON1;
    if (Down(VK_XBUTTON2)) k |= MK_XBUTTON2;
    if (Down(VK_SHIFT)) k |= MK_SHIFT;
    if (Down(VK_CONTROL)) k |= MK_CONTROL;
    return k;
  }

private:
  BYTE FSaved[256];
  BYTE FNow[256];
};

struct TButtonInfo {
  unsigned Vk, Down, Up, Dbl;
  WORD XButton;  // HIWORD of wParam for the X buttons
};

TButtonInfo ButtonInfo(TButton b) {
  switch (b) {
    case TButton::Right: return {VK_RBUTTON, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, 0};
    case TButton::Middle: return {VK_MBUTTON, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, 0};
    case TButton::X1: return {VK_XBUTTON1, WM_XBUTTONDOWN, WM_XBUTTONUP, WM_XBUTTONDBLCLK, XBUTTON1};
    case TButton::X2: return {VK_XBUTTON2, WM_XBUTTONDOWN, WM_XBUTTONUP, WM_XBUTTONDBLCLK, XBUTTON2};
    default: return {VK_LBUTTON, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, 0};
  }
}

// SetCursorPos queues a real WM_MOUSEMOVE to whatever window is under the point, behind the
// posted input. With the process's raw mouse input registered as RIDEV_NOLEGACY (no legacy mouse
// messages: all of ours are posted) the cursor moves without it; failing that it stays put.
void MoveCursor(POINT screen) {
  static const bool quiet = [] {
    RAWINPUTDEVICE mouse{1, 2, RIDEV_NOLEGACY, nullptr};  // generic desktop page, mouse
    return RegisterRawInputDevices(&mouse, 1, sizeof mouse) != FALSE;
  }();
  if (quiet) SetCursorPos(screen.x, screen.y);
}

LPARAM PointParam(int x, int y) { return MAKELPARAM(WORD(short(x)), WORD(short(y))); }

// Where a mouse message at the client point of wnd lands: the capture window, if this thread
// has one, else wnd. Moves the cursor there too. False when wnd is gone.
bool Route(HWND wnd, int x, int y, HWND& target, POINT& pt) {
  if (!IsWindow(wnd)) return false;
  POINT screen{x, y};
  ClientToScreen(wnd, &screen);
  MoveCursor(screen);
  target = wnd;
  pt = {x, y};
  HWND capture = GetCapture();
  if (capture && capture != wnd && IsWindow(capture)) {
    target = capture;
    pt = screen;
    ScreenToClient(capture, &pt);
  }
  return true;
}

// One mouse message; the button (if any) is pressed or released in the keyboard state first,
// so the MK_ flags and GetKeyState agree as on the platform.
void PostMouse(HWND wnd, unsigned msg, const TButtonInfo* button, int change, int x, int y, TShiftState shift) {
  HWND target;
  POINT pt;
  if (!Route(wnd, x, y, target, pt)) return;
  TStateScope state(shift);
  if (button && change) state.Hold(button->Vk, change > 0);
  WPARAM wp = state.MouseKeys();
  if (button && button->XButton) wp |= WPARAM(button->XButton) << 16;
  PostMessageW(target, msg, wp, PointParam(pt.x, pt.y));
  PumpPending();
}

void PostWheel(HWND wnd, unsigned msg, int delta, int x, int y, TShiftState shift) {
  if (!wnd) wnd = GetFocus();
  CheckWindow(wnd, L"Wheel");
  POINT screen{x, y};
  ClientToScreen(wnd, &screen);
  MoveCursor(screen);
  TStateScope state(shift);
  WPARAM wp = MAKEWPARAM(WORD(state.MouseKeys()), WORD(short(delta)));
  PostMessageW(wnd, msg, wp, PointParam(screen.x, screen.y));
  PumpPending();
}

bool IsExtendedKey(unsigned vk) {
  switch (vk) {
    case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_NUMLOCK: case VK_DIVIDE:
    case VK_RCONTROL: case VK_RMENU: case VK_LWIN: case VK_RWIN: case VK_APPS: case VK_SNAPSHOT:
      return true;
    default:
      return false;
  }
}

void PostKey(HWND wnd, unsigned vk, bool up, TShiftState shift) {
  if (!wnd) wnd = GetFocus();
  CheckWindow(wnd, up ? L"KeyUp" : L"KeyDown");
  if (vk == 0 || vk > 0xFE) throw Exception(L"Key: virtual key out of range");
  TStateScope state(shift);
  bool wasDown = state.WasDown(vk);
  unsigned generic = GenericKey(vk);
  bool sys;
  if (!up) {
    if ((vk == VK_CAPITAL || vk == VK_NUMLOCK || vk == VK_SCROLL) && !wasDown) state.Toggle(vk);
    state.Hold(vk, true);
    AltAlone = generic == VK_MENU ? (AltAlone || !wasDown) : false;
    sys = (state.Down(VK_MENU) && !state.Down(VK_CONTROL)) || vk == VK_F10;
  } else {
    state.Hold(vk, false);
    if (generic == VK_MENU) sys = AltAlone && !state.Down(VK_CONTROL);
    else sys = (state.Down(VK_MENU) && !state.Down(VK_CONTROL)) || vk == VK_F10;
    if (generic == VK_MENU) AltAlone = false;
  }
  LPARAM lp = 1 | (LPARAM(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) & 0xFF) << 16);
  if (IsExtendedKey(vk)) lp |= LPARAM(1) << 24;
  if (state.Down(VK_MENU)) lp |= LPARAM(1) << 29;
  if (wasDown || up) lp |= LPARAM(1) << 30;
  if (up) lp |= LPARAM(1) << 31;
  unsigned msg = up ? (sys ? WM_SYSKEYUP : WM_KEYUP) : (sys ? WM_SYSKEYDOWN : WM_KEYDOWN);
  PostMessageW(wnd, msg, generic, lp);
  PumpPending();
}

}  // namespace

void Pump(unsigned ms) {
  DWORD start = GetTickCount();
  if (!PumpPending() || ms == 0) return;
  for (;;) {
    DWORD spent = GetTickCount() - start;
    if (spent >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
    if (!PumpPending()) return;
  }
}

bool PumpUntil(const std::function<bool()>& done, unsigned timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    bool more = PumpPending();
    if (done()) return true;
    DWORD spent = GetTickCount() - start;
    if (!more || spent >= timeoutMs) return false;
    // Short waits: the condition may depend on another thread, which posts nothing here.
    DWORD wait = timeoutMs - spent;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, wait < 10 ? wait : 10, QS_ALLINPUT);
  }
}

void SetPumpFilter(std::function<bool(tagMSG&)> filter) { PumpFilter = std::move(filter); }

void MouseMove(HWND wnd, int x, int y, TShiftState shift) {
  CheckWindow(wnd, L"MouseMove");
  PostMouse(wnd, WM_MOUSEMOVE, nullptr, 0, x, y, shift);
}

void MouseDown(HWND wnd, TButton button, int x, int y, TShiftState shift) {
  CheckWindow(wnd, L"MouseDown");
  TButtonInfo b = ButtonInfo(button);
  PostMouse(wnd, b.Down, &b, +1, x, y, shift);
}

void MouseUp(HWND wnd, TButton button, int x, int y, TShiftState shift) {
  CheckWindow(wnd, L"MouseUp");
  TButtonInfo b = ButtonInfo(button);
  PostMouse(wnd, b.Up, &b, -1, x, y, shift);
}

void Click(HWND wnd, int x, int y, TButton button, TShiftState shift) {
  MouseDown(wnd, button, x, y, shift);
  TButtonInfo b = ButtonInfo(button);
  PostMouse(wnd, b.Up, &b, -1, x, y, shift);
}

void DoubleClick(HWND wnd, int x, int y, TButton button, TShiftState shift) {
  Click(wnd, x, y, button, shift);
  HWND target;
  POINT pt;
  if (!Route(wnd, x, y, target, pt)) return;
  TButtonInfo b = ButtonInfo(button);
  bool dbl = (GetClassLongPtrW(target, GCL_STYLE) & CS_DBLCLKS) != 0;
  PostMouse(wnd, dbl ? b.Dbl : b.Down, &b, +1, x, y, shift);
  PostMouse(wnd, b.Up, &b, -1, x, y, shift);
}

void Drag(HWND wnd, TPoint from, TPoint to, int steps, TButton button, TShiftState shift) {
  CheckWindow(wnd, L"Drag");
  TButtonInfo b = ButtonInfo(button);
  PostMouse(wnd, WM_MOUSEMOVE, nullptr, 0, from.X, from.Y, shift);
  PostMouse(wnd, b.Down, &b, +1, from.X, from.Y, shift);
  if (steps < 1) steps = 1;
  for (int i = 1; i <= steps; ++i) {
    int x = from.X + (to.X - from.X) * i / steps;
    int y = from.Y + (to.Y - from.Y) * i / steps;
    PostMouse(wnd, WM_MOUSEMOVE, nullptr, 0, x, y, shift);
  }
  PostMouse(wnd, b.Up, &b, -1, to.X, to.Y, shift);
}

void Wheel(HWND wnd, int delta, int x, int y, TShiftState shift) { PostWheel(wnd, WM_MOUSEWHEEL, delta, x, y, shift); }

void HWheel(HWND wnd, int delta, int x, int y, TShiftState shift) {
  PostWheel(wnd, WM_MOUSEHWHEEL, delta, x, y, shift);
}

HWND ChildAt(HWND top, int x, int y, TPoint* local) {
  CheckWindow(top, L"ChildAt");
  HWND cur = top;
  POINT p{x, y};
  for (int depth = 0; depth < 64; ++depth) {
    HWND child = ChildWindowFromPointEx(cur, p, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
    if (!child || child == cur) break;
    MapWindowPoints(cur, child, &p, 1);
    cur = child;
  }
  if (local) *local = TPoint(p.x, p.y);
  return cur;
}

void ClickAt(HWND top, int x, int y, TButton button, TShiftState shift) {
  TPoint p;
  HWND target = ChildAt(top, x, y, &p);
  Click(target, p.X, p.Y, button, shift);
}

void KeyDown(HWND wnd, unsigned vk, TShiftState shift) { PostKey(wnd, vk, false, shift); }

void KeyUp(HWND wnd, unsigned vk, TShiftState shift) { PostKey(wnd, vk, true, shift); }

void PressKey(HWND wnd, unsigned vk, TShiftState shift) {
  if (!wnd) wnd = GetFocus();
  PostKey(wnd, vk, false, shift);
  if (IsWindow(wnd)) PostKey(wnd, vk, true, shift);
}

void Char(HWND wnd, wchar_t ch) {
  if (!wnd) wnd = GetFocus();
  CheckWindow(wnd, L"Char");
  SHORT scan = VkKeyScanW(ch);
  UINT vsc = scan == -1 ? 0 : MapVirtualKeyW(LOBYTE(scan), MAPVK_VK_TO_VSC);
  PostMessageW(wnd, WM_CHAR, WPARAM(ch), 1 | (LPARAM(vsc & 0xFF) << 16));
  PumpPending();
}

void TypeText(HWND wnd, const String& text) {
  if (!wnd) wnd = GetFocus();
  CheckWindow(wnd, L"TypeText");
  for (wchar_t ch : text) {
    if (!IsWindow(wnd)) return;
    Char(wnd, ch);
  }
}

void ResetInputState() {
  BYTE state[256];
  if (!GetKeyboardState(state)) return;
  for (BYTE& b : state) b &= 0x01;
  SetKeyboardState(state);
  AltAlone = false;
}

void Focus(HWND wnd) {
  CheckWindow(wnd, L"Focus");
  SetFocus(wnd);
  PumpPending();
}

HWND FocusedWindow() { return GetFocus(); }

}  // namespace kw::testsupport
