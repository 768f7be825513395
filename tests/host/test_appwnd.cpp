// The application's own window (system menu, hooks, the two taskbar modes, minimising, the
// application-wide messages), hidden method windows, and the hint machinery's points of
// intervention: OnShowHint, the hint window class and switching hints off.
#include <gtest/gtest.h>

#include "host/Application.h"
#include "host/Forms.h"
#include "host/Utilwnd.h"
#include "host/Win.h"
#include "tests/support/Input.h"

using namespace kw;
namespace ts = kw::testsupport;

namespace {

class AppWindowTest : public ::testing::Test {
protected:
  void SetUp() override { ts::SetPumpFilter([](tagMSG& m) { return Application()->PreTranslate(m); }); }
  void TearDown() override {
    Application()->OnActivate = nullptr;
    Application()->OnDeactivate = nullptr;
    Application()->OnShowHint = nullptr;
    Application()->SetShowMainFormOnTaskBar(true);
    Application()->ClearMainForm();
    Application()->ResetTerminated();
    Application()->CancelHint();
    Application()->SetShowHint(true);
    ts::SetPumpFilter(nullptr);
    ts::Pump();
  }
};

// A hint window of the test's own, to see that the application takes the class it is given.
class TTestHint : public THintWindow {
public:
  using THintWindow::THintWindow;
  static int made;
};
int TTestHint::made = 0;

class TPad : public TCustomControl {
public:
  explicit TPad(TComponent* owner) : TCustomControl(owner) { SetBounds(10, 10, 60, 40); }
};

}  // namespace

TEST_F(AppWindowTest, TheWindowIsHiddenWithATaskbarSystemMenu) {
  HWND app = Application()->Handle();
  ASSERT_TRUE(IsWindow(app));
  EXPECT_FALSE(IsWindowVisible(app));
  HMENU menu = GetSystemMenu(app, FALSE);
  ASSERT_NE(menu, nullptr);
  EXPECT_NE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), UINT(-1));
  EXPECT_NE(GetMenuState(menu, SC_MINIMIZE, MF_BYCOMMAND), UINT(-1));
  EXPECT_EQ(GetMenuState(menu, SC_MAXIMIZE, MF_BYCOMMAND), UINT(-1)) << "a button cannot be maximised";
  String old = Application()->Title();
  Application()->SetTitle(L"Kw title");
  wchar_t text[64];
  GetWindowTextW(app, text, 64);
  EXPECT_STREQ(text, L"Kw title");
  Application()->SetTitle(old);
}

TEST_F(AppWindowTest, HooksSeeMessagesFirstLastAddedFirstAndCanUnhookThemselves) {
  HWND app = Application()->Handle();
  const UINT probe = WM_APP + 17;
  std::vector<int> seen;
  int first = Application()->HookMainWindow([&](TMessage& m) {
    if (m.Msg == probe) seen.push_back(1);
    return false;
  });
  int second = 0;
  second = Application()->HookMainWindow([&](TMessage& m) {
    if (m.Msg != probe) return false;
    seen.push_back(2);
    Application()->UnhookMainWindow(second);
    m.Result = 42;
    return m.WParam == 1;  // handled: the first hook does not see it
  });
  EXPECT_EQ(SendMessageW(app, probe, 1, 0), 42);
  EXPECT_EQ(seen, (std::vector<int>{2}));
  seen.clear();
  PostMessageW(app, probe, 1, 0);
  ts::Pump();
  EXPECT_EQ(seen, (std::vector<int>{1})) << "the second hook is gone";
  Application()->UnhookMainWindow(first);
  seen.clear();
  SendMessageW(app, probe, 0, 0);
  EXPECT_TRUE(seen.empty());
}

TEST_F(AppWindowTest, ActivationAndSystemCommandsReachTheApplication) {
  std::vector<String> events;
  Application()->OnActivate = [&](TObject*) { events.push_back(L"activate"); };
  Application()->OnDeactivate = [&](TObject*) { events.push_back(L"deactivate"); };
  HWND app = Application()->Handle();
  SendMessageW(app, WM_ACTIVATEAPP, TRUE, 0);
  EXPECT_TRUE(Application()->Active());
  SendMessageW(app, WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_FALSE(Application()->Active());
  EXPECT_EQ(events, (std::vector<String>{L"activate", L"deactivate"}));

  // Close from the taskbar button closes the main form, which ends the application.
  TForm* main = KwCreate<TForm>(nullptr);
  Application()->SetMainForm(main);
  bool asked = false;
  main->OnCloseQuery = [&](TObject*, bool& can) {
    asked = true;
    can = true;
  };
  SendMessageW(app, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(Application()->Terminated());
  // The end of the session asks the main form too, and a refusal stops it.
  main->OnCloseQuery = [&](TObject*, bool& can) { can = false; };
  EXPECT_EQ(SendMessageW(app, WM_QUERYENDSESSION, 0, 0), FALSE);
  delete main;
  MSG quit;
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "Terminate posts the quit";
}

TEST_F(AppWindowTest, WithoutTheMainFormOnTheTaskbarTheApplicationOwnsTheForms) {
  TForm* main = KwCreate<TForm>(nullptr);
  Application()->SetMainForm(main);
  main->SetBounds(40, 40, 200, 150);
  main->Show();
  ts::Pump();
  HWND app = Application()->Handle();
  EXPECT_EQ(GetWindow(main->Handle(), GW_OWNER), nullptr);
  EXPECT_TRUE(GetWindowLongPtrW(main->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_FALSE(IsWindowVisible(app));

  Application()->SetShowMainFormOnTaskBar(false);
  ts::Pump();
  ASSERT_TRUE(main->HandleAllocated());
  EXPECT_EQ(GetWindow(main->Handle(), GW_OWNER), app);
  EXPECT_FALSE(GetWindowLongPtrW(main->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_TRUE(IsWindowVisible(main->Handle()));
  EXPECT_TRUE(IsWindowVisible(app)) << "the application window is the button now";
  TForm* other = KwCreate<TForm>(nullptr);
  other->Show();
  ts::Pump();
  EXPECT_EQ(GetWindow(other->Handle(), GW_OWNER), app);

  main->Hide();
  ts::Pump();
  EXPECT_FALSE(IsWindowVisible(app)) << "no button without a main form showing";
  delete other;
  Application()->SetShowMainFormOnTaskBar(true);
  delete main;
}

TEST_F(AppWindowTest, MethodWindowsGetTheirMessagesAndMayFreeThemselves) {
  std::vector<Cardinal> got;
  HWND wnd = nullptr;
  wnd = AllocateHWnd([&](TMessage& m) {
    if (m.Msg >= WM_APP) {
      got.push_back(m.Msg);
      m.Result = 7;
      if (m.Msg == WM_APP + 2) DeallocateHWnd(wnd);
      return;
    }
    DefaultHandling(wnd, m);
  });
  ASSERT_TRUE(IsWindow(wnd));
  EXPECT_FALSE(IsWindowVisible(wnd));
  EXPECT_EQ(SendMessageW(wnd, WM_APP + 1, 0, 0), 7);
  PostMessageW(wnd, WM_APP + 2, 0, 0);
  ts::Pump();
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_EQ(got, (std::vector<Cardinal>{WM_APP + 1, WM_APP + 2}));
  DeallocateHWnd(nullptr);
}

TEST_F(AppWindowTest, OnShowHintRewritesTheHintInAWindowOfTheGivenClass) {
  TForm* form = KwCreate<TForm>(nullptr);
  form->SetBounds(60, 60, 300, 200);
  auto* pad = new TPad(form);
  pad->SetParent(form);
  pad->SetHint(L"original");
  pad->SetShowHint(true);
  Application()->SetHintPause(20);
  Application()->SetHintHidePause(5000);
  TTestHint::made = 0;
  Application()->OnShowHint = [&](String& text, bool& canShow, THintInfo& info) {
    EXPECT_EQ(info.HintControl, pad);
    EXPECT_EQ(text, L"original");
    text = L"from the handler";
    info.HintPos = TPoint(100, 120);
    info.HintWindowClass = [](TComponent* owner) -> THintWindow* {
      ++TTestHint::made;
      return new TTestHint(owner);
    };
  };
  form->Show();
  ts::Pump();
  ts::MouseMove(pad->Handle(), 5, 5);
  ASSERT_TRUE(ts::PumpUntil([] { return Application()->HintWindow() && Application()->HintWindow()->Active(); }, 2000));
  THintWindow* hint = Application()->HintWindow();
  EXPECT_NE(dynamic_cast<TTestHint*>(hint), nullptr);
  EXPECT_EQ(TTestHint::made, 1);
  EXPECT_EQ(hint->Caption(), L"from the handler");
  RECT r;
  GetWindowRect(hint->Handle(), &r);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 120);
  TRect need = hint->CalcHintRect(1000, L"from the handler", nullptr);
  EXPECT_EQ(r.right - r.left, need.Width());
  // A long text wraps at the width it is given.
  TRect narrow = hint->CalcHintRect(80, L"a hint long enough to wrap over lines", nullptr);
  EXPECT_LE(narrow.Width(), 80 + 6);
  EXPECT_GT(narrow.Height(), need.Height());

  // Switched off, no hint shows however long the mouse rests.
  Application()->SetShowHint(false);
  EXPECT_EQ(Application()->HintWindow(), nullptr);
  ts::MouseMove(form->Handle(), 200, 150);
  ts::MouseMove(pad->Handle(), 6, 6);
  ts::Pump(150);
  EXPECT_EQ(Application()->HintWindow(), nullptr);
  EXPECT_EQ(Application()->Hint(), L"original") << "the current hint text still follows the mouse";
  delete form;
}

TEST_F(AppWindowTest, TheProgramIsAwareOfEachMonitorsDpi) {
  Application();
  using TGetContext = HANDLE(WINAPI*)();
  using TAwareness = int(WINAPI*)(HANDLE);
  HMODULE user = GetModuleHandleW(L"user32.dll");
  auto get = reinterpret_cast<TGetContext>(GetProcAddress(user, "GetThreadDpiAwarenessContext"));
  auto awareness = reinterpret_cast<TAwareness>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext"));
  if (!get || !awareness) GTEST_SKIP() << "the system has no DPI awareness contexts";
  EXPECT_EQ(awareness(get()), 2) << "per monitor: forms get WM_DPICHANGED and rescale themselves";
}
