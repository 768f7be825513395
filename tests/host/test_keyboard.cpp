// Shift states read from message flags, key data and the thread's keyboard state.
#include <gtest/gtest.h>

#include "host/Keyboard.h"
#include "host/Win.h"

using namespace kw;

namespace {

// Sets the thread's keyboard state for one test and puts it back after.
class TKeysHeld {
public:
  explicit TKeysHeld(std::initializer_list<int> keys) {
    GetKeyboardState(FSaved);
    BYTE state[256] = {};
    for (int vk : keys) state[vk] = 0x80;
    SetKeyboardState(state);
  }
  ~TKeysHeld() { SetKeyboardState(FSaved); }

private:
  BYTE FSaved[256];
};

}  // namespace

TEST(ShiftState, MouseFlagsMapToButtonsAndModifiers) {
  TKeysHeld none({});
  EXPECT_TRUE(KeysToShiftState(0).Empty());
  EXPECT_EQ(KeysToShiftState(MK_SHIFT | MK_LBUTTON), (TShiftState{ssShift, ssLeft}));
  EXPECT_EQ(KeysToShiftState(MK_CONTROL | MK_RBUTTON | MK_MBUTTON), (TShiftState{ssCtrl, ssRight, ssMiddle}));
}

TEST(ShiftState, AltComesFromTheKeyboardForMouseAndFromBit29ForKeys) {
  {
    TKeysHeld alt({VK_MENU});
    EXPECT_EQ(KeysToShiftState(MK_LBUTTON), (TShiftState{ssAlt, ssLeft}));
    EXPECT_TRUE(KeyDataToShiftState(0).Empty());  // key data without bit 29: no Alt
  }
  TKeysHeld shiftCtrl({VK_SHIFT, VK_CONTROL});
  EXPECT_EQ(KeyDataToShiftState(NativeInt(1) << 29), (TShiftState{ssShift, ssCtrl, ssAlt}));
  EXPECT_EQ(KeyboardStateToShiftState(), (TShiftState{ssShift, ssCtrl}));
}

TEST(ShiftState, MemberNamesStreamAsTheHostNamesThem) {
  EXPECT_EQ(SetToString(TypeInfoOf<TShiftState>(), TShiftState{ssShift, ssDouble}.Bits(), true), L"[ssShift,ssDouble]");
}
