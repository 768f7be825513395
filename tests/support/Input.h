// Simulated user input for window tests: mouse and key messages posted through the thread's queue
// and pumped, so message hooks and the window procedure see them as they see a user's input.
// Hit testing (WM_NCHITTEST, WM_SETCURSOR), activation clicks and non-client input are not made.
#pragma once

#include <functional>

#include "host/Keyboard.h"
#include "host/Types.h"

struct HWND__;
struct tagMSG;

namespace kw::testsupport {

// Every input function below posts its messages and then pumps, so when it returns the
// handlers have run. A window destroyed by a handler midway ends the sequence quietly; a
// window that is not there at the call raises Exception.
//
// Keyboard state: while a message is processed, the thread's keyboard state (GetKeyState,
// GetKeyboardState) shows the modifiers of `shift` and the keys and buttons held by earlier
// KeyDown/MouseDown calls; the `shift` modifiers are taken away again afterwards, held keys
// stay down until their KeyUp/MouseUp (or ResetInputState).

// Processes every pending message (bounded, so a window that keeps posting to itself cannot
// hold it); with ms > 0 it goes on processing until that much time has passed.
void Pump(unsigned ms = 0);
// Pumps until done() holds or timeoutMs has passed; true when done() held.
bool PumpUntil(const std::function<bool()>& done, unsigned timeoutMs);
// A pre-processor the pump offers each message before TranslateMessage/DispatchMessage, as an
// application's message loop would; it returns true for a message it has handled. Empty = none.
void SetPumpFilter(std::function<bool(tagMSG&)> filter);

enum class TButton { Left, Right, Middle, X1, X2 };

// Mouse messages. x, y are client coordinates of wnd, even when wnd is a child. The cursor is
// also moved there (SetCursorPos), since the real one never moves under a null driver. While a
// window of this thread has the capture, the messages go to it, in its own client coordinates.
// wParam carries the MK_ flags of `shift` (ssShift, ssCtrl, ssLeft, ssRight, ssMiddle) and of
// the buttons held; ssAlt shows only in the keyboard state, as on the platform.
void MouseMove(HWND__* wnd, int x, int y, TShiftState shift = {});
void MouseDown(HWND__* wnd, TButton button, int x, int y, TShiftState shift = {});
void MouseUp(HWND__* wnd, TButton button, int x, int y, TShiftState shift = {});
// Down then up at one point (no move before them).
void Click(HWND__* wnd, int x, int y, TButton button = TButton::Left, TShiftState shift = {});
// Down, up, double-click, up; for a class without CS_DBLCLKS the third is a second down, as
// the platform sends it.
void DoubleClick(HWND__* wnd, int x, int y, TButton button = TButton::Left, TShiftState shift = {});
// A move to `from`, the button down there, `steps` moves on the straight line to `to` (the last
// one at `to`), the button up at `to`.
void Drag(HWND__* wnd, TPoint from, TPoint to, int steps = 4, TButton button = TButton::Left,
          TShiftState shift = {});
// WM_MOUSEWHEEL / WM_MOUSEHWHEEL: the platform sends them to the focus window with the cursor
// position in screen coordinates. Here they go to wnd, or to the focus window when wnd is null;
// x, y are client coordinates of that window and become screen coordinates in lParam.
// delta is in WHEEL_DELTA units of 120 per notch, positive away from the user / to the right.
void Wheel(HWND__* wnd, int delta, int x, int y, TShiftState shift = {});
void HWheel(HWND__* wnd, int delta, int x, int y, TShiftState shift = {});

// The deepest visible, enabled child of top at the client point (x, y) of top, or top itself;
// local receives the point in that window's client coordinates.
HWND__* ChildAt(HWND__* top, int x, int y, TPoint* local = nullptr);
// Click routed as the platform routes it: to the window ChildAt finds.
void ClickAt(HWND__* top, int x, int y, TButton button = TButton::Left, TShiftState shift = {});

// Key messages go to wnd, or to the focus window when wnd is null. lParam: repeat count 1, the
// scan code of MapVirtualKeyW, the extended bit for the keys that have it, the context bit (29)
// while Alt is down, the previous-state bit for a key already held, and the transition bit on
// release. With Alt down and Ctrl up (and for F10) they are WM_SYSKEYDOWN/WM_SYSKEYUP; releasing
// Alt alone is WM_SYSKEYUP, which DefWindowProc turns into the menu loop (SC_KEYMENU).
// VK_LSHIFT and the like are sent as VK_SHIFT with both entries set in the keyboard state.
void KeyDown(HWND__* wnd, unsigned vk, TShiftState shift = {});
void KeyUp(HWND__* wnd, unsigned vk, TShiftState shift = {});
// KeyDown then KeyUp; the pump's TranslateMessage adds WM_CHAR (WM_SYSCHAR with Alt) for a key
// that types a character in the current keyboard state.
void PressKey(HWND__* wnd, unsigned vk, TShiftState shift = {});
// One WM_CHAR.
void Char(HWND__* wnd, wchar_t ch);
// One WM_CHAR per UTF-16 unit, each processed before the next is posted.
void TypeText(HWND__* wnd, const String& text);
// Releases every key and button the keyboard state shows down (toggles stay).
void ResetInputState();

// SetFocus, then pump.
void Focus(HWND__* wnd);
HWND__* FocusedWindow();

}  // namespace kw::testsupport
