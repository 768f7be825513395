// Hidden utility windows whose procedure is a method of some object (AllocateHWnd), for
// components that need a window of their own to receive posted messages, timers or system
// broadcasts. The application's own window is in Application.h.
#pragma once

#include <functional>

#include "host/Messages.h"

struct HWND__;

namespace kw {

using TWndMethod = std::function<void(TMessage& message)>;

// A hidden top-level window (so it also gets broadcasts such as WM_SETTINGCHANGE) whose
// messages go to method; what method leaves in Result is the answer. Messages method does not
// want it passes on by calling DefWindowProcW itself or by leaving Result untouched for the
// harmless default of 0; DefaultHandling(message) answers for it with the platform default.
HWND__* AllocateHWnd(TWndMethod method);
// Destroys the window; safe from inside its own method (the method is kept alive until it
// returns). Null is ignored.
void DeallocateHWnd(HWND__* wnd);
// The platform's default answer for a message of an allocated window.
void DefaultHandling(HWND__* wnd, TMessage& message);

}  // namespace kw
