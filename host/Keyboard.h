// Shift state: the modifier keys and mouse buttons held with an input message, as controls'
// mouse and key events report them. Shortcut texts and key names belong to the menus.
#pragma once

#include "host/Typinfo.h"

namespace kw {

enum TShiftStateFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble, ssTouch, ssPen, ssCommand, ssHorizontal };
using TShiftState = TSet<TShiftStateFlag>;
KW_DECLARE_ENUM(TShiftStateFlag)

// From the MK_ flags of a mouse message; Alt is not among them, so it is read from the
// keyboard state.
TShiftState KeysToShiftState(Word keys);
// From a key message's lParam: Shift and Ctrl from the keyboard state, Alt from bit 29.
TShiftState KeyDataToShiftState(NativeInt keyData);
// From the thread's whole keyboard state (GetKeyboardState): modifiers and mouse buttons.
TShiftState KeyboardStateToShiftState();

}  // namespace kw
