// AllocateHWnd: one window class whose windows keep their method on the heap, reached
// through the window's user data; the method outlives a DeallocateHWnd made from inside it.
#include "host/Utilwnd.h"

#include <memory>

#include "host/Controls.h"
#include "host/Exceptions.h"
#include "host/Sysutils.h"
#include "host/Win.h"

namespace kw {

namespace {

const wchar_t kUtilClass[] = L"KwUtilWindow";

struct TUtilWindow {
  TWndMethod Method;
  int Depth = 0;
  bool Dead = false;
};

LRESULT CALLBACK UtilWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* w = reinterpret_cast<TUtilWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!w || w->Dead || !w->Method) return DefWindowProcW(wnd, msg, wp, lp);
  TMessage m(msg, wp, lp);
  ++w->Depth;
  try {
    w->Method(m);
  } catch (...) {
    KwHandleCurrentException(nullptr);
  }
  --w->Depth;
  if (w->Dead && w->Depth == 0) delete w;
  return m.Result;
}

void RegisterUtilClass() {
  static bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &UtilWndProc;
    wc.hInstance = KwInstance();
    wc.lpszClassName = kUtilClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastOSError();
    return true;
  }();
  (void)registered;
}

}  // namespace

HWND__* AllocateHWnd(TWndMethod method) {
  RegisterUtilClass();
  auto holder = std::make_unique<TUtilWindow>();
  holder->Method = std::move(method);
  HWND wnd = CreateWindowExW(WS_EX_TOOLWINDOW, kUtilClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             KwInstance(), nullptr);
  if (!wnd) RaiseLastOSError();
  SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(holder.release()));
  return wnd;
}

void DeallocateHWnd(HWND__* wnd) {
  if (!wnd) return;
  auto* w = reinterpret_cast<TUtilWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
  DestroyWindow(wnd);
  if (!w) return;
  w->Dead = true;
  if (w->Depth == 0) delete w;
}

void DefaultHandling(HWND__* wnd, TMessage& m) { m.Result = DefWindowProcW(wnd, m.Msg, m.WParam, m.LParam); }

}  // namespace kw
