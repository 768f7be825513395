// The staged initialisation over forms read from streams: stage order, automatic controllers,
// the start and end hooks with their terminate request, and failures inside a stage.
#include <gtest/gtest.h>

#include "core/Kwtimer.h"
#include "host/Application.h"
#include "host/Win.h"
#include "tests/core/fixtures.h"

using namespace kw;
using namespace kw::coretest;

namespace {

class InitLinks : public ::testing::Test {
protected:
  void SetUp() override {
    Log().clear();
    KwResetFirstInitLinks();
    KwRegisterAppControllerKind(&AppKind());
    KwRegisterFormControllerKind(&FormKind());
    AppKind().TerminateOnInit = AppKind().TerminateBefore = false;
  }
  void TearDown() override {
    KwRegisterAppControllerKind(nullptr);
    KwRegisterFormControllerKind(nullptr);
    Application()->ResetTerminated();
    // Terminate posted a quit request; later message loops must not see it.
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    Application()->OnException = nullptr;
    KwResetFirstInitLinks();
  }
  // The components' own initialisations, the automatic controllers' left out.
  static std::vector<String> Inits() {
    std::vector<String> out;
    for (const String& s : LogOf(L"init "))
      if (s.rfind(L"init Auto", 0) != 0) out.push_back(s);
    return out;
  }
  // The entries that show a stage at work: Loaded under the running flag and OnInit.
  static std::vector<String> Stages() {
    std::vector<String> out;
    for (const String& s : Log())
      if (s.rfind(L"loaded* ", 0) == 0 || s.rfind(L"init ", 0) == 0 || s.rfind(L"hook ", 0) == 0)
        out.push_back(s);
    return out;
  }
};

const char* kStageForm =
    "object StageForm: TForm\n"
    "  object Disp: TLinkComp\n    Code = 0\n  end\n"
    "  object Ctl: TLinkControl\n  end\n"
    "  object Str: TLinkComp\n    Code = 2\n  end\n"
    "  object Timer: TKwTimer\n    Enabled = True\n    Interval = 60000\n  end\n"
    "  object Img: TLinkComp\n    Code = 3\n  end\n"
    "  object FCtl: TTestFormCtl\n  end\n"
    "  object Vars: TLinkComp\n    Code = 4\n  end\n"
    "  object App: TTestAppCtl\n  end\n"
    "  object Priv: TLinkComp\n    Code = 5\n  end\n"
    "  object Tim: TLinkComp\n    Code = 8\n  end\n"
    "  object Str2: TLinkComp\n    Code = 2\n  end\n"
    "end\n";

}  // namespace

TEST_F(InitLinks, StagesRunInTheirFixedOrderLastRegisteredFirst) {
  auto form = ReadForm(kStageForm);
  ASSERT_TRUE(form);
  std::vector<String> expected = {
      L"hook InitLoaded",
      L"loaded* Str2", L"init Str2", L"loaded* Str", L"init Str",
      L"loaded* Img", L"init Img",
      L"loaded* App", L"init App",
      L"loaded* Vars", L"init Vars",
      L"loaded* Priv", L"init Priv",
      L"loaded* FCtl", L"init FCtl",
      L"loaded* Ctl", L"init Ctl",
      L"loaded* Tim", L"init Tim",
      L"loaded* Disp",  // code 0: Loaded again, but no OnInit
      L"hook BeforeLoaded"};
  EXPECT_EQ(Stages(), expected);
  // Controllers were on the form: none made.
  EXPECT_TRUE(LogOf(L"create").empty());
  EXPECT_EQ(KwLinksPending, nullptr);
  EXPECT_NE(KwInitLinksTick, 0u);
  auto* timer = dynamic_cast<TKwTimer*>(form->FindComponent(L"Timer"));
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->Enabled()) << "stage 8 applies the streamed Enabled";
}

TEST_F(InitLinks, AStreamedTimerStaysStoppedUntilItsStage) {
  // A stage-7 component looks at the timer while controls are initialised.
  bool enabledAtStage7 = true;
  auto form = std::make_unique<TForm>(nullptr);
  auto* timer = new TKwTimer(form.get());
  auto* ctl = new TLinkComp(form.get(), KwInitControls);
  timer->IncludeState(csLoading);
  ctl->IncludeState(csLoading);
  timer->SetInterval(60000);
  timer->SetEnabled(true);
  EXPECT_FALSE(timer->Enabled()) << "while loading only the streamed value is kept";
  ctl->Link()->OnInit = [&](TObject*) { enabledAtStage7 = timer->Enabled(); };
  timer->Loaded();
  ctl->Loaded();
  EXPECT_FALSE(enabledAtStage7);
  EXPECT_TRUE(timer->Enabled());
  EXPECT_NE(KwTimerSystemId(), 0u);
  form.reset();
  EXPECT_EQ(KwTimerSystemId(), 0u) << "the last timer gone kills the system timer";
}

TEST_F(InitLinks, AFormOfLibraryControlsGetsBothControllers) {
  auto form = ReadForm(
      "object Plain: TForm\n"
      "  object C1: TLinkControl\n  end\n"
      "  object C2: TLinkControl\n  end\n"
      "end\n");
  ASSERT_TRUE(form);
  ASSERT_EQ(AppKind().Apps.size(), 1u);
  EXPECT_EQ(AppKind().Apps[0]->Owner(), form.get()) << "owned by the link's parent form";
  ASSERT_EQ(FormKind().Controllers.size(), 1u);
  EXPECT_EQ(FormKind().Controllers[0]->Owner(), form.get());
  EXPECT_TRUE(FormKind().Controllers[0]->Automatic);
  // The new controllers were initialised in their stages with the rest.
  std::vector<String> expected = {L"hook InitLoaded", L"loaded* AutoApp", L"init AutoApp",
                                  L"loaded* AutoForm", L"init AutoForm", L"loaded* C2",
                                  L"init C2", L"loaded* C1", L"init C1", L"hook BeforeLoaded"};
  EXPECT_EQ(Stages(), expected);
  form.reset();
  EXPECT_TRUE(AppKind().Apps.empty());
  EXPECT_EQ(KwLinks, nullptr) << "the registry is freed with its last link";
}

TEST_F(InitLinks, NoControllersAreMadeInDesignMode) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* c = new TLinkComp(form.get(), KwInitControls);
  c->SetDesigning(true);
  c->Loaded();
  EXPECT_TRUE(AppKind().Apps.empty());
  EXPECT_TRUE(FormKind().Controllers.empty());
  EXPECT_EQ(LogOf(L"hook").size(), 0u) << "the hooks are not run for designers";
  EXPECT_EQ(LogOf(L"init "), std::vector<String>{L"init "});
}

TEST_F(InitLinks, TerminateFromTheStartHookRunsNoStageAndDetachesFormHandlers) {
  AppKind().TerminateOnInit = true;
  auto other = std::make_unique<TForm>(nullptr);
  other->OnCreate = [](TObject*) {};
  other->OnDestroy = [](TObject*) { Log().push_back(L"other destroyed"); };
  auto form = ReadForm(kStageForm);
  ASSERT_TRUE(form);
  EXPECT_EQ(Stages(), std::vector<String>{L"hook InitLoaded"});
  EXPECT_TRUE(Application()->Terminated());
  EXPECT_FALSE(other->OnCreate.Assigned());
  EXPECT_FALSE(other->OnDestroy.Assigned());
  EXPECT_FALSE(KwProcessInitLinks);
  // The request holds: later batches do not start either.
  auto* late = new TLinkComp(form.get(), KwInitStrings);
  late->Loaded();
  EXPECT_TRUE(LogOf(L"init").empty());
  other.reset();
  EXPECT_TRUE(LogOf(L"other").empty());
}

TEST_F(InitLinks, TerminateFromTheEndHookComesAfterEveryStage) {
  AppKind().TerminateBefore = true;
  auto form = ReadForm(kStageForm);
  ASSERT_TRUE(form);
  EXPECT_EQ(LogOf(L"init").size(), 9u);
  EXPECT_TRUE(Application()->Terminated());
  EXPECT_FALSE(form->OnDestroy.Assigned());
}

TEST_F(InitLinks, TheHooksRunForTheFirstBatchOnly) {
  auto first = ReadForm("object F1: TForm\n  object A: TLinkComp\n    Code = 7\n  end\nend\n");
  auto second = ReadForm("object F2: TForm\n  object B: TLinkComp\n    Code = 7\n  end\nend\n");
  EXPECT_EQ(LogOf(L"hook"), (std::vector<String>{L"hook InitLoaded", L"hook BeforeLoaded"}));
  EXPECT_EQ(Inits(), (std::vector<String>{L"init A", L"init B"}));
}

TEST_F(InitLinks, AFailingOwnerIsReportedAndTheStageGoesOn) {
  std::vector<std::pair<TObject*, String>> reported;
  Application()->OnException = [&](TObject* sender, const Exception& e) {
    reported.push_back({sender, e.Message()});
  };
  auto form = ReadForm(
      "object F: TForm\n"
      "  object A: TLinkComp\n    Code = 7\n  end\n"
      "  object Bad: TLinkComp\n    Code = 7\n    ThrowOnInit = True\n  end\n"
      "  object C: TLinkComp\n    Code = 7\n  end\n"
      "  object D: TLinkComp\n    Code = 8\n  end\n"
      "end\n");
  ASSERT_TRUE(form);
  EXPECT_EQ(Inits(), (std::vector<String>{L"init C", L"init Bad", L"init A", L"init D"}));
  ASSERT_EQ(reported.size(), 1u);
  auto* bad = static_cast<TLinkComp*>(form->FindComponent(L"Bad"));
  EXPECT_EQ(reported[0].first, bad->Link()) << "the link is the sender";
  EXPECT_EQ(reported[0].second, L"init of Bad failed");
  EXPECT_EQ(KwLinksPending, nullptr) << "a failed owner does not stay pending";
}

TEST_F(InitLinks, ComponentsMadeInCodeLeaveTheWalkThroughInit) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* coded = new TLinkComp(form.get(), KwInitStrings);
  coded->Link()->Init();
  auto* streamed = new TLinkComp(form.get(), KwInitStrings);
  streamed->SetName(L"Streamed");
  streamed->IncludeState(csLoading);
  streamed->Loaded();
  EXPECT_EQ(Inits(), std::vector<String>{L"init Streamed"});
}

TEST_F(InitLinks, AnOwnerFreedByAnEarlierStageIsSkipped) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* victim = new TLinkComp(form.get(), KwInitControls);
  victim->SetName(L"Victim");
  auto* killer = new TLinkComp(form.get(), KwInitStrings);
  killer->SetName(L"Killer");
  killer->Link()->OnInit = [&](TObject*) { delete victim; };
  auto* last = new TLinkComp(form.get(), KwInitControls);
  last->SetName(L"Last");
  last->Loaded();
  EXPECT_EQ(Inits(), std::vector<String>{L"init Last"});
  EXPECT_EQ(KwLinksPending, nullptr);
}
