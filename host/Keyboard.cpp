// Shift states from mouse-message flags, key data and the thread's keyboard state.
#include "host/Keyboard.h"

#include "host/Win.h"

namespace kw {

KW_DEFINE_ENUM(TShiftStateFlag, L"ssShift", L"ssAlt", L"ssCtrl", L"ssLeft", L"ssRight", L"ssMiddle", L"ssDouble",
               L"ssTouch", L"ssPen", L"ssCommand", L"ssHorizontal")

namespace {
bool Down(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }
}  // namespace

TShiftState KeysToShiftState(Word keys) {
  TShiftState s;
  if (keys & MK_SHIFT) s << ssShift;
  if (keys & MK_CONTROL) s << ssCtrl;
  if (keys & MK_LBUTTON) s << ssLeft;
  if (keys & MK_RBUTTON) s << ssRight;
  if (keys & MK_MBUTTON) s << ssMiddle;
  if (Down(VK_MENU)) s << ssAlt;
  return s;
}

TShiftState KeyDataToShiftState(NativeInt keyData) {
  TShiftState s;
  if (Down(VK_SHIFT)) s << ssShift;
  if (Down(VK_CONTROL)) s << ssCtrl;
  if (keyData & (NativeInt(1) << 29)) s << ssAlt;
  return s;
}

TShiftState KeyboardStateToShiftState() {
  BYTE state[256];
  if (!GetKeyboardState(state)) return {};
  auto down = [&](int vk) { return (state[vk] & 0x80) != 0; };
  TShiftState s;
  if (down(VK_SHIFT)) s << ssShift;
  if (down(VK_MENU)) s << ssAlt;
  if (down(VK_CONTROL)) s << ssCtrl;
  if (down(VK_LBUTTON)) s << ssLeft;
  if (down(VK_RBUTTON)) s << ssRight;
  if (down(VK_MBUTTON)) s << ssMiddle;
  return s;
}

}  // namespace kw
