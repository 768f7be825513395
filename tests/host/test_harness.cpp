// The test harness itself, on raw windows of a class registered here: posted input with its
// keyboard state and routing, the message recorder and sequence matching, and leak counters.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <tuple>

#include "host/Exceptions.h"
#include "host/Graphics.h"
#include "host/Sysutils.h"
#include "host/Win.h"
#include "tests/support/Counters.h"
#include "tests/support/Input.h"
#include "tests/support/Recorder.h"

using namespace kw;
using namespace kw::testsupport;

namespace {

struct TSeen {
  HWND Wnd;
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  bool Shift, Menu, LButton;  // GetKeyState inside the handler
};
std::vector<TSeen> Seen;
HWND DestroyOnDown = nullptr;  // destroys itself on WM_LBUTTONDOWN
HWND CaptureOnDown = nullptr;  // takes the capture on WM_LBUTTONDOWN, lets go on WM_LBUTTONUP
bool Repost = false;           // WM_USER posts itself another WM_USER

LRESULT CALLBACK LoggingProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if ((msg >= WM_KEYFIRST && msg <= WM_KEYLAST) || (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || msg >= WM_USER)
    Seen.push_back({wnd, msg, wp, lp, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_MENU) < 0, GetKeyState(VK_LBUTTON) < 0});
  if (msg == WM_LBUTTONDOWN && wnd == DestroyOnDown) DestroyWindow(wnd);
  else if (msg == WM_LBUTTONDOWN && wnd == CaptureOnDown) SetCapture(wnd);
  else if (msg == WM_LBUTTONUP && wnd == CaptureOnDown) ReleaseCapture();
  if (msg == WM_USER && Repost) PostMessageW(wnd, WM_USER, 0, 0);
  // The system keys would start the menu loop in DefWindowProc.
  if (msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP || msg == WM_SYSCHAR) return 0;
  return DefWindowProcW(wnd, msg, wp, lp);
}

HWND MakeWindow(HWND parent, int x, int y, int w, int h, bool dblClicks = true) {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = LoggingProc;
    wc.style = CS_DBLCLKS;
    wc.lpszClassName = L"KwHarnessDbl";
    RegisterClassW(&wc);
    wc.style = 0;
    wc.lpszClassName = L"KwHarnessPlain";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_POPUP | WS_VISIBLE;
  return CreateWindowExW(0, dblClicks ? L"KwHarnessDbl" : L"KwHarnessPlain", L"", style, x, y, w, h, parent,
                         nullptr, nullptr, nullptr);
}

using TMsg = std::tuple<HWND, UINT, WPARAM, LPARAM>;
std::vector<TMsg> SeenMsgs() {
  std::vector<TMsg> r;
  for (const TSeen& s : Seen) r.emplace_back(s.Wnd, s.Msg, s.WParam, s.LParam);
  return r;
}
std::vector<UINT> SeenIds() {
  std::vector<UINT> r;
  for (const TSeen& s : Seen) r.push_back(s.Msg);
  return r;
}
LPARAM Pt(int x, int y) { return MAKELPARAM(x, y); }

class Harness : public ::testing::Test {
protected:
  void SetUp() override {
    ResetInputState();
    Top = MakeWindow(nullptr, 100, 100, 300, 200);
    ASSERT_TRUE(Top);
    Pump();
    Seen.clear();
  }
  void TearDown() override {
    DestroyOnDown = CaptureOnDown = nullptr;
    Repost = false;
    ReleaseCapture();
    if (IsWindow(Top)) DestroyWindow(Top);
    ResetInputState();
    Pump();
  }
  HWND Top = nullptr;
};

TEST_F(Harness, ClicksPostButtonMessagesWithPointFlagsAndKeyState) {
  Click(Top, 10, 20, TButton::Left, {ssShift});
  Click(Top, -3, 7, TButton::Right, {ssCtrl});  // negative coordinates survive the packing
  EXPECT_EQ(SeenMsgs(), (std::vector<TMsg>{{Top, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, Pt(10, 20)},
                                           {Top, WM_LBUTTONUP, MK_SHIFT, Pt(10, 20)},
                                           {Top, WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, Pt(-3, 7)},
                                           {Top, WM_RBUTTONUP, MK_CONTROL, Pt(-3, 7)}}));
  ASSERT_EQ(Seen.size(), 4u);
  EXPECT_TRUE(Seen[0].Shift && Seen[0].LButton);
  EXPECT_FALSE(Seen[1].LButton);
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
  EXPECT_GE(GetKeyState(VK_LBUTTON), 0);
  POINT cursor, expected{-3, 7};
  ClientToScreen(Top, &expected);
  GetCursorPos(&cursor);
  EXPECT_EQ(std::make_pair(cursor.x, cursor.y), std::make_pair(expected.x, expected.y));

  Seen.clear();
  DoubleClick(Top, 5, 5);
  HWND plain = MakeWindow(Top, 0, 0, 50, 50, false);
  DoubleClick(plain, 5, 5, TButton::Middle);  // without CS_DBLCLKS: a second down
  EXPECT_EQ(SeenIds(), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP,
                                          WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP}));
}

TEST_F(Harness, KeyStateHoldsModifiersOnlyWhileHandledAndKeysUntilReleased) {
  KeyDown(Top, VK_F5, {ssShift});
  ASSERT_EQ(Seen.size(), 1u);
  EXPECT_TRUE(Seen[0].Shift);
  EXPECT_EQ(Seen[0].LParam, LPARAM(1 | (MapVirtualKeyW(VK_F5, MAPVK_VK_TO_VSC) << 16)));
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
  EXPECT_LT(GetKeyState(VK_F5), 0);
  KeyDown(Top, VK_F5);  // auto-repeat: the previous-state bit
  EXPECT_TRUE(Seen.back().LParam & (1 << 30));
  EXPECT_FALSE(Seen.back().Shift);
  KeyUp(Top, VK_F5);
  EXPECT_EQ(Seen.back().Msg, UINT(WM_KEYUP));
  EXPECT_EQ(UINT(Seen.back().LParam) >> 30, 3u);  // previous state and transition
  EXPECT_GE(GetKeyState(VK_F5), 0);
  KeyDown(Top, VK_RIGHT);
  EXPECT_TRUE(Seen.back().LParam & (1 << 24));  // extended key
  // A held modifier shows in later mouse messages until released.
  KeyDown(Top, VK_LSHIFT);
  EXPECT_EQ(Seen.back().WParam, WPARAM(VK_SHIFT));
  MouseMove(Top, 1, 1);
  EXPECT_EQ(Seen.back().WParam, WPARAM(MK_SHIFT));
  KeyUp(Top, VK_LSHIFT);
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
}

std::vector<MSG> Hooked;
LRESULT CALLBACK TestGetMessageHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && wp == PM_REMOVE) Hooked.push_back(*reinterpret_cast<MSG*>(lp));
  return CallNextHookEx(nullptr, code, wp, lp);
}

TEST_F(Harness, PressKeyTranslatesToCharactersAndAltMakesSystemKeys) {
  HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, TestGetMessageHook, nullptr, GetCurrentThreadId());
  ASSERT_TRUE(hook);
  Hooked.clear();
  MouseMove(Top, 7, 8);
  PressKey(Top, 'A');
  PressKey(Top, 'A', {ssShift});
  PressKey(Top, 'F', {ssAlt});
  UnhookWindowsHookEx(hook);
  // A thread's message hook sees all of it, the characters made by TranslateMessage too.
  std::vector<UINT> hooked;
  for (const MSG& m : Hooked)
    if (m.hwnd == Top) hooked.push_back(m.message);
  EXPECT_EQ(hooked, SeenIds());
  EXPECT_EQ(Hooked.at(0).lParam, Pt(7, 8));
  Seen.erase(Seen.begin());
  EXPECT_EQ(SeenIds(), (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_KEYDOWN, WM_CHAR, WM_KEYUP,
                                          WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSKEYUP}));
  ASSERT_EQ(Seen.size(), 9u);
  EXPECT_EQ(Seen[1].WParam, WPARAM(L'a'));
  EXPECT_EQ(Seen[4].WParam, WPARAM(L'A'));
  EXPECT_EQ(Seen[7].WParam, WPARAM(L'f'));
  EXPECT_FALSE(Seen[0].LParam & (1 << 29));
  EXPECT_TRUE(Seen[6].LParam & Seen[8].LParam & (1 << 29));
  EXPECT_TRUE(Seen[6].Menu);

  // Alt alone is released as a system key, Alt after another key as a plain one; Ctrl+Alt is no
  // system combination.
  Seen.clear();
  PressKey(Top, VK_MENU);
  KeyDown(Top, VK_MENU);
  PressKey(Top, VK_F2);
  KeyUp(Top, VK_MENU);
  PressKey(Top, 'Q', {ssAlt, ssCtrl});
  auto ids = SeenIds();
  ASSERT_GE(ids.size(), 8u);
  EXPECT_EQ(std::vector<UINT>(ids.begin(), ids.begin() + 7),
            (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_KEYUP,
                               WM_KEYDOWN}));
  EXPECT_FALSE(Seen[1].LParam & (1 << 29));
  EXPECT_EQ(ids.back(), UINT(WM_KEYUP));
}

TEST_F(Harness, CaptureTakesTheMouseMessagesInItsOwnCoordinates) {
  Drag(Top, {10, 10}, {30, 50}, 2);
  EXPECT_EQ(SeenMsgs(), (std::vector<TMsg>{{Top, WM_MOUSEMOVE, 0, Pt(10, 10)},
                                           {Top, WM_LBUTTONDOWN, MK_LBUTTON, Pt(10, 10)},
                                           {Top, WM_MOUSEMOVE, MK_LBUTTON, Pt(20, 30)},
                                           {Top, WM_MOUSEMOVE, MK_LBUTTON, Pt(30, 50)},
                                           {Top, WM_LBUTTONUP, 0, Pt(30, 50)}}));
  HWND child = MakeWindow(Top, 40, 30, 50, 50);
  CaptureOnDown = child;
  Seen.clear();
  MouseDown(child, TButton::Left, 5, 5);
  MouseMove(Top, 200, 100);  // outside the child, yet it holds the capture
  MouseUp(Top, TButton::Left, 200, 100);
  MouseMove(Top, 200, 100);  // capture gone: back to Top
  EXPECT_EQ(SeenMsgs(), (std::vector<TMsg>{{child, WM_LBUTTONDOWN, MK_LBUTTON, Pt(5, 5)},
                                           {child, WM_MOUSEMOVE, MK_LBUTTON, Pt(160, 70)},
                                           {child, WM_LBUTTONUP, 0, Pt(160, 70)},
                                           {Top, WM_MOUSEMOVE, 0, Pt(200, 100)}}));
}

TEST_F(Harness, ClickAtRoutesToTheDeepestVisibleEnabledChild) {
  HWND a = MakeWindow(Top, 20, 20, 100, 100);
  HWND b = MakeWindow(a, 10, 10, 30, 30);
  ShowWindow(MakeWindow(a, 0, 0, 100, 100), SW_HIDE);  // above b, but hidden
  ClickAt(Top, 35, 36);
  EXPECT_EQ(SeenMsgs(), (std::vector<TMsg>{{b, WM_LBUTTONDOWN, MK_LBUTTON, Pt(5, 6)}, {b, WM_LBUTTONUP, 0, Pt(5, 6)}}));
  EnableWindow(b, FALSE);
  TPoint local;
  EXPECT_EQ(ChildAt(Top, 35, 36, &local), a);
  EXPECT_EQ(local, TPoint(15, 16));
  EXPECT_EQ(ChildAt(Top, 5, 5, &local), Top);
  EXPECT_EQ(local, TPoint(5, 5));
}

TEST_F(Harness, WheelAndTextGoToTheFocusWindow) {
  HWND child = MakeWindow(Top, 30, 40, 50, 50);
  Focus(child);
  EXPECT_EQ(FocusedWindow(), child);
  Seen.clear();
  Wheel(nullptr, -WHEEL_DELTA, 3, 4, {ssCtrl});
  HWheel(Top, 240, 1, 2);
  TypeText(nullptr, L"a\u20AC\U0001F600");  // one WM_CHAR per UTF-16 unit
  POINT s{3, 4}, t{1, 2};
  ClientToScreen(child, &s);
  ClientToScreen(Top, &t);
  WPARAM wheel = MAKEWPARAM(MK_CONTROL, WORD(-WHEEL_DELTA));
  // The child's DefWindowProc hands the wheel on to its parent, as on the platform.
  EXPECT_EQ(SeenMsgs(), (std::vector<TMsg>{{child, WM_MOUSEWHEEL, wheel, Pt(s.x, s.y)},
                                           {Top, WM_MOUSEWHEEL, wheel, Pt(s.x, s.y)},
                                           {Top, WM_MOUSEHWHEEL, MAKEWPARAM(0, 240), Pt(t.x, t.y)},
                                           {child, WM_CHAR, L'a', 1 | (0x1E << 16)},
                                           {child, WM_CHAR, 0x20AC, 1},
                                           {child, WM_CHAR, 0xD83D, 1},
                                           {child, WM_CHAR, 0xDE00, 1}}));
}

TEST_F(Harness, AWindowDestroyedMidwayEndsTheInputQuietlyAndPumpingIsBounded) {
  DestroyOnDown = Top;
  DoubleClick(Top, 1, 1);
  EXPECT_FALSE(IsWindow(Top));
  EXPECT_EQ(SeenIds(), std::vector<UINT>{WM_LBUTTONDOWN});
  EXPECT_THROW(MouseMove(Top, 1, 1), Exception);
  EXPECT_THROW(PressKey(Top, 'A'), Exception);

  Top = MakeWindow(nullptr, 0, 0, 50, 50);
  Repost = true;
  PostMessageW(Top, WM_USER, 0, 0);
  Pump();  // returns although every message brings another
  size_t after = Seen.size();
  EXPECT_TRUE(PumpUntil([&] { return Seen.size() >= after + 50; }, 5000));
  EXPECT_FALSE(PumpUntil([] { return false; }, 30));
}

// The recorder.

TEST_F(Harness, RecorderTellsSentFromPostedAndInterleavesEvents) {
  TMessageRecorder rec;
  rec.Watch(Top, L"main");
  rec.SetRecordQueue(true);
  SendMessageW(Top, WM_USER + 1, 1, 2);
  rec.Log(L"between");
  wchar_t text[8];
  SendMessageW(Top, WM_GETTEXT, 8, LPARAM(text));  // noise
  PostMessageW(Top, WM_USER + 2, 3, 4);
  Pump();
  const TExpectedMsg expected[] = {
      {L"main", WM_USER + 1, exSent | exWParam | exLParam, 1, 2},
      ExpectEvent(L"between"),
      {L"main", WM_USER + 2, exBeforeDispatch | exWParam, 3},
      {L"main", WM_USER + 2, exPosted | exLParam, 0, 4},
  };
  EXPECT_TRUE(MatchesSequence(rec, expected)) << UTF8Encode(rec.Dump());
  const TExpectedMsg wrongKind[] = {{L"main", WM_USER + 1, exPosted}, ExpectEvent(L"between"),
                                    {L"main", WM_USER + 2, exBeforeDispatch}, {L"main", WM_USER + 2, exPosted}};
  EXPECT_FALSE(MatchesSequence(rec, wrongKind));

  rec.Clear();
  rec.RecordOnly({WM_LBUTTONUP});
  Click(Top, 1, 1);
  ASSERT_EQ(rec.Entries().size(), 2u);
  EXPECT_EQ(rec.Entries()[0].flags, unsigned(rfBeforeDispatch));
  EXPECT_EQ(rec.Entries()[1].msg, unsigned(WM_LBUTTONUP));
  EXPECT_EQ(rec.Entries()[1].flags, unsigned(rfPosted));
}

TEST_F(Harness, MatchesSequenceSkipsOptionalEntriesAndReportsWhereItParts) {
  TMessageRecorder rec;
  rec.Watch(Top, L"main");
  rec.RecordOnly({WM_LBUTTONDOWN, WM_LBUTTONUP});
  Click(Top, 4, 5);
  const TExpectedMsg withOptional[] = {
      {L"main", WM_LBUTTONDOWN, exOptional},  // left to the next entry: matching is not greedy
      {nullptr, WM_LBUTTONDOWN, exWParam | exLParam, MK_LBUTTON, MAKELPARAM(4, 5)},
      {L"main", WM_MOUSEMOVE, exOptional},
      {L"main", WM_LBUTTONUP},
      {L"main", WM_MOUSEMOVE, exOptional},
  };
  EXPECT_TRUE(MatchesSequence(rec, withOptional));

  const TExpectedMsg wrongFlags[] = {{L"main", WM_LBUTTONDOWN}, {L"main", WM_LBUTTONUP, exWParam, MK_LBUTTON}};
  std::string text = MatchesSequence(rec, wrongFlags).message();
  EXPECT_NE(text.find("expected #1 does not match actual #1"), std::string::npos) << text;
  EXPECT_NE(text.find("> 1  main WM_LBUTTONUP wp=0x1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("> 1  main WM_LBUTTONUP wp=0x0 lp=0x50004 posted"), std::string::npos) << text;
  const TExpectedMsg tooShort[] = {{L"main", WM_LBUTTONDOWN}};
  text = MatchesSequence(rec, tooShort).message();
  EXPECT_NE(text.find("unexpected entry at actual #1"), std::string::npos) << text;
  const TExpectedMsg otherWindow[] = {{L"side", WM_LBUTTONDOWN}, {L"main", WM_LBUTTONUP}};
  EXPECT_FALSE(MatchesSequence(rec, otherWindow));

  EXPECT_EQ(MessageName(WM_USER + 5), L"WM_USER+0x5");
  EXPECT_EQ(MessageName(0xC123), L"0xC123");
  RegisterMessageName(WM_APP + 7, L"CM_TEST");
  EXPECT_EQ(MessageName(WM_APP + 7), L"CM_TEST");
}

WNDPROC LaterPrevious = nullptr;
int LaterCalls = 0;
LRESULT CALLBACK LaterSubclass(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  LaterCalls += msg == WM_USER + 9;
  return CallWindowProcW(LaterPrevious, wnd, msg, wp, lp);
}

TEST_F(Harness, UnwatchRestoresTheProcedureOrStaysChainedBehindALaterSubclass) {
  LONG_PTR original = GetWindowLongPtrW(Top, GWLP_WNDPROC);
  {
    TMessageRecorder first, second;
    first.Watch(Top, L"a");
    second.Watch(Top, L"b");
    SendMessageW(Top, WM_USER + 3, 0, 0);
    first.Unwatch(Top);
    SendMessageW(Top, WM_USER + 4, 0, 0);
    EXPECT_EQ(first.Entries().size(), 1u);
    ASSERT_EQ(second.Entries().size(), 2u);
    EXPECT_EQ(second.Entries()[1].wnd, L"b");
  }
  EXPECT_EQ(GetWindowLongPtrW(Top, GWLP_WNDPROC), original);

  TMessageRecorder rec;
  rec.Watch(Top, L"main");
  LaterPrevious = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(Top, GWLP_WNDPROC, LONG_PTR(&LaterSubclass)));
  rec.Unwatch(Top);
  EXPECT_EQ(GetWindowLongPtrW(Top, GWLP_WNDPROC), LONG_PTR(&LaterSubclass));
  Seen.clear();
  LaterCalls = 0;
  SendMessageW(Top, WM_USER + 9, 0, 0);
  EXPECT_EQ(LaterCalls, 1);
  EXPECT_EQ(Seen.size(), 1u);  // reaches the class procedure through our pass-through
  EXPECT_TRUE(rec.Entries().empty());
  rec.Watch(Top, L"again");  // taken by the pass-through

  // Destroyed while watched: the last messages are recorded, the watch ends with the window.
  rec.Clear();
  DestroyWindow(Top);
  EXPECT_FALSE(rec.Watching(Top));
  ASSERT_FALSE(rec.Entries().empty());
  EXPECT_EQ(rec.Entries().back().msg, unsigned(WM_NCDESTROY));
}

// Leak counters.

HWND Leaked = nullptr;

TEST(HarnessCounters, CountWindowsAndGdiObjectsAndNameWhatGrew) {
  auto before = TResourceSnapshot::Take();
  HWND top = MakeWindow(nullptr, 0, 0, 50, 50);
  MakeWindow(MakeWindow(top, 0, 0, 20, 20), 0, 0, 5, 5);
  HPEN__* pen = KwCreatePen(PS_SOLID, 1, clBlack);
  auto during = TResourceSnapshot::Take();
  EXPECT_EQ(during.windows, before.windows + 3);
  EXPECT_EQ(during.gdiTotal, before.gdiTotal + 1);
  std::string text = NoLeaks(before, during).message();
  EXPECT_NE(text.find("gdiTotal"), std::string::npos) << text;
  EXPECT_NE(text.find("windows " + std::to_string(before.windows) + " -> "), std::string::npos) << text;
  DestroyWindow(top);
  KwDeleteObject(gkPen, pen);
  EXPECT_TRUE(NoLeaks(before, TResourceSnapshot::Take()));

  EXPECT_NONFATAL_FAILURE(
      {
        TLeakCheck check("scope");
        Leaked = MakeWindow(nullptr, 0, 0, 10, 10);
      },
      "scope: leaked: windows");
  DestroyWindow(Leaked);
  {
    TLeakCheck clean;
    DestroyWindow(MakeWindow(nullptr, 0, 0, 10, 10));
  }
}

}  // namespace
