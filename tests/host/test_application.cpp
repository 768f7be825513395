// The application loop (exceptions reported while the loop goes on, idle work, release), hints
// with their pause and hide timing, the screen's forms, monitors and cursors, data modules.
#include <gtest/gtest.h>

#include "host/Application.h"
#include "host/Forms.h"
#include "host/Stringlist.h"
#include "host/Win.h"
#include "tests/support/Input.h"

using namespace kw;
namespace ts = kw::testsupport;

namespace {

class TPad : public TCustomControl {
public:
  explicit TPad(TComponent* owner) : TCustomControl(owner) { SetBounds(0, 0, 50, 50); }
};

class AppTest : public ::testing::Test {
protected:
  void SetUp() override {
    ts::SetPumpFilter([](tagMSG& m) { return Application()->PreTranslate(m); });
    form = new TForm(nullptr);
    form->AfterConstruction();
    form->SetBounds(50, 50, 300, 200);
  }
  void TearDown() override {
    Application()->OnException = nullptr;
    Application()->OnIdle = nullptr;
    Application()->OnHint = nullptr;
    Application()->OnShowHint = nullptr;
    Application()->CancelHint();
    delete form;
    ts::SetPumpFilter(nullptr);
    ts::Pump();
  }
  TForm* form = nullptr;
};

}  // namespace

TEST_F(AppTest, AnExceptionInAHandlerIsReportedAndTheLoopGoesOn) {
  auto* pad = new TPad(form);
  pad->SetParent(form);
  std::vector<String> reported;
  Application()->OnException = [&](TObject* sender, const Exception& e) {
    reported.push_back(e.Message() + (sender == pad ? L" from pad" : L""));
  };
  int clicks = 0;
  pad->OnClick = [&](TObject*) {
    if (++clicks == 1) throw EConvertError(L"bad value");
  };
  form->Show();
  ts::Pump();
  ts::Click(pad->Handle(), 5, 5);
  ts::Click(pad->Handle(), 5, 5);
  EXPECT_EQ(clicks, 2);
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0], L"bad value from pad");
}

TEST_F(AppTest, IdleRunsWhenTheQueueIsEmptyAndReleasedFormsDieThere) {
  int idles = 0;
  Application()->OnIdle = [&](TObject*, bool& done) {
    ++idles;
    done = false;  // keeps HandleMessage from waiting
  };
  Application()->ProcessMessages();
  Application()->HandleMessage();
  EXPECT_EQ(idles, 1);
  TForm* f = new TForm(nullptr);
  f->AfterConstruction();
  bool gone = false;
  f->OnDestroy = [&](TObject*) { gone = true; };
  f->Release();  // no window: freed at the next idle time
  EXPECT_FALSE(gone);
  Application()->HandleMessage();
  EXPECT_TRUE(gone);
}

TEST_F(AppTest, HintsShowAfterThePauseAndHideAfterTheirTime) {
  auto* pad = new TPad(form);
  pad->SetParent(form);
  pad->SetBounds(10, 10, 60, 40);
  pad->SetHint(L"Short|The long text");
  pad->SetShowHint(true);
  int hints = 0;
  Application()->OnHint = [&](TObject*) { ++hints; };
  Application()->SetHintPause(30);
  Application()->SetHintHidePause(150);
  form->Show();
  ts::Pump();
  ts::MouseMove(form->Handle(), 200, 150);
  ts::MouseMove(pad->Handle(), 5, 5);
  EXPECT_EQ(Application()->Hint(), L"The long text");
  EXPECT_GE(hints, 1);
  EXPECT_EQ(Application()->HintControl(), pad);
  EXPECT_TRUE(Application()->HintWindow() == nullptr || !Application()->HintWindow()->Active());
  ASSERT_TRUE(ts::PumpUntil([] { return Application()->HintWindow() && Application()->HintWindow()->Active(); }, 2000));
  EXPECT_EQ(Application()->HintWindow()->Caption(), L"Short");
  ASSERT_TRUE(ts::PumpUntil([] { return !Application()->HintWindow()->Active(); }, 2000)) << "hides after its time";
  // Moving off the control drops the pending hint and the long hint text.
  ts::MouseMove(form->Handle(), 200, 150);
  EXPECT_EQ(Application()->HintControl(), nullptr);
  EXPECT_EQ(Application()->Hint(), L"");
}

TEST_F(AppTest, AControlCanRewriteOrRefuseItsHint) {
  class THinted : public TPad {
  public:
    using TPad::TPad;
    bool refuse = false;
    void WndProc(TMessage& m) override {
      if (m.Msg == CM_HINTSHOW) {
        auto* info = reinterpret_cast<THintInfo*>(m.LParam);
        info->HintStr = L"rewritten";
        m.Result = refuse ? 1 : 0;
        return;
      }
      TPad::WndProc(m);
    }
  };
  auto* pad = new THinted(form);
  pad->SetParent(form);
  pad->SetHint(L"original");
  pad->SetShowHint(true);
  Application()->SetHintPause(10);
  Application()->SetHintHidePause(5000);
  form->Show();
  ts::Pump();
  ts::MouseMove(pad->Handle(), 5, 5);
  ASSERT_TRUE(ts::PumpUntil([] { return Application()->HintWindow() && Application()->HintWindow()->Active(); }, 2000));
  EXPECT_EQ(Application()->HintWindow()->Caption(), L"rewritten");
  Application()->CancelHint();
  pad->refuse = true;
  ts::MouseMove(form->Handle(), 200, 150);
  ts::MouseMove(pad->Handle(), 6, 6);
  ts::Pump(100);
  EXPECT_FALSE(Application()->HintWindow()->Active());
}

TEST_F(AppTest, ScreenKnowsFormsModulesTheActiveFormAndMonitors) {
  int before = Screen()->DataModuleCount();
  TDataModule* dm = KwCreate<TDataModule>(nullptr);
  EXPECT_EQ(Screen()->DataModuleCount(), before + 1);
  delete dm;
  EXPECT_EQ(Screen()->DataModuleCount(), before);
  int changes = 0;
  Screen()->OnActiveFormChange = [&](TObject*) { ++changes; };
  form->Show();
  ts::Pump();
  Screen()->OnActiveFormChange = nullptr;
  EXPECT_EQ(Screen()->ActiveForm(), form);
  EXPECT_GE(changes, 1);
  EXPECT_EQ(Screen()->Forms(0), form) << "the active form comes first";
  ASSERT_GE(Screen()->MonitorCount(), 1);
  TMonitor* m = Screen()->MonitorFromWindow(form->Handle());
  ASSERT_NE(m, nullptr);
  EXPECT_GT(m->Width(), 0);
  EXPECT_FALSE(Screen()->WorkAreaRect().IsEmpty());
  EXPECT_NE(Screen()->PrimaryMonitor(), nullptr);
  EXPECT_TRUE(Screen()->PrimaryMonitor()->Primary());
  EXPECT_GT(Screen()->Fonts()->Count(), 0);
}

TEST_F(AppTest, CursorsComeFromTheControlUnderTheMouseUnlessTheScreenOverrides) {
  auto* pad = new TPad(form);
  pad->SetParent(form);
  pad->SetCursor(crHandPoint);
  form->Show();
  ts::Pump();
  HWND wnd = pad->Handle();
  POINT p{5, 5};
  ClientToScreen(wnd, &p);
  SetCursorPos(p.x, p.y);
  SendMessageW(wnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(wnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), KwCursorHandle(crHandPoint));
  Screen()->SetCursor(crHourGlass);
  SendMessageW(wnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(wnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), KwCursorHandle(crHourGlass));
  Screen()->SetCursor(crDefault);
  EXPECT_EQ(GetShortHint(L"a|b|c"), L"a");
  EXPECT_EQ(GetLongHint(L"a|b|c"), L"b|c");
  EXPECT_EQ(GetLongHint(L"plain"), L"plain");
}
