// Event links: the registries, activation and codes, loading depth, batched updates, the routes
// of the perform family, guarded delivery and the cancel-mode walk.
#include <gtest/gtest.h>

#include "host/Application.h"
#include "host/Sysutils.h"
#include "tests/core/fixtures.h"

using namespace kw;
using namespace kw::coretest;

namespace {

class Links : public ::testing::Test {
protected:
  void SetUp() override { Log().clear(); }
};

TLinkComp* Comp(TComponent* owner, const wchar_t* name, int code = KwInitControls) {
  auto* c = new TLinkComp(owner, code);
  c->SetName(name);
  return c;
}

}  // namespace

TEST_F(Links, RegistriesAreMadeWithTheFirstLinkAndFreedWithTheLast) {
  ASSERT_EQ(KwLinks, nullptr);
  {
    TLinkComp a(nullptr), b(nullptr);
    ASSERT_NE(KwLinks, nullptr);
    EXPECT_EQ(KwLinks->List(), (std::vector<TKwLinkEvt*>{a.Link(), b.Link()}));
    EXPECT_EQ(KwLinksPending->Count(), 2);
    a.Link()->Init();
    EXPECT_EQ(KwLinksPending->List(), std::vector<TKwLinkEvt*>{b.Link()});
    b.Link()->Init();
    EXPECT_EQ(KwLinksPending, nullptr) << "an emptied pending list is freed";
    EXPECT_EQ(KwLinks->Count(), 2);
  }
  EXPECT_EQ(KwLinks, nullptr);
}

TEST_F(Links, ReactivatingOrRecodingMakesALinkPendingAgainAtTheEnd) {
  TLinkComp a(nullptr, 2), b(nullptr, 3);
  a.Link()->Init();
  a.Link()->SetActive(false);
  EXPECT_EQ(KwLinks->IndexOf(a.Link()), -1);
  a.Link()->SetActive(true);
  EXPECT_EQ(KwLinks->List(), (std::vector<TKwLinkEvt*>{b.Link(), a.Link()}));
  EXPECT_EQ(KwLinksPending->List(), (std::vector<TKwLinkEvt*>{b.Link(), a.Link()}));
  b.Link()->SetCodInit(4);
  EXPECT_EQ(KwLinks->List(), (std::vector<TKwLinkEvt*>{a.Link(), b.Link()}));
  EXPECT_EQ(b.Code(), 4);
  // An inactive link only stores its code.
  b.Link()->SetActive(false);
  b.Link()->SetCodInit(5);
  EXPECT_EQ(KwLinks->List(), std::vector<TKwLinkEvt*>{a.Link()});
  EXPECT_EQ(b.Code(), 5);
}

TEST_F(Links, LoadingDepthNeverGoesBelowZero) {
  TLinkComp a(nullptr);
  EXPECT_FALSE(a.Link()->LoadingProps());
  a.Link()->BeginLoading();
  a.Link()->EndLoading();
  a.Link()->EndLoading();
  EXPECT_EQ(a.Link()->CountLoading(), 0);
  EXPECT_FALSE(a.Link()->LoadingProps());
  a.Link()->BeginLoading();
  EXPECT_TRUE(a.Link()->LoadingProps()) << "one BeginLoading still counts after extra EndLoadings";
  a.Link()->EndLoading();
  a.IncludeState(csLoading);
  EXPECT_TRUE(a.Link()->LoadingProps()) << "the host's loading state counts too";
  EXPECT_TRUE(TKwLinkEvt::LoadingPropsOf(nullptr));
}

TEST_F(Links, AChangeInsideABatchIsAnnouncedOnceAtTheOutermostEnd) {
  TLinkComp a(nullptr), inactive(nullptr), loading(nullptr);
  a.SetName(L"A");
  inactive.SetName(L"Inactive");
  loading.SetName(L"Loading");
  inactive.Link()->SetActive(false);
  loading.Link()->BeginLoading();
  KwScreen->BeginUpdate();
  KwScreen->BeginUpdate();
  a.Link()->Change();
  a.Link()->NotifyChange(&a);
  inactive.Link()->Change();
  loading.Link()->Change();
  EXPECT_EQ(Log(), std::vector<String>{L"update Inactive"}) << "an inactive link is not held";
  EXPECT_TRUE(a.Link()->Modified());
  EXPECT_FALSE(loading.Link()->Modified()) << "nothing is marked while loading";
  KwScreen->EndUpdate();
  EXPECT_EQ(LogOf(L"update A").size(), 0u);
  EXPECT_FALSE(KwScreen->Update());
  KwScreen->EndUpdate();
  EXPECT_EQ(LogOf(L"update A").size(), 1u);
  EXPECT_FALSE(a.Link()->Modified());
  EXPECT_TRUE(KwScreen->Update());
  KwScreen->EndUpdate();  // unbalanced: stays at 0, announces nothing again
  EXPECT_EQ(KwScreen->CountBeginUpdate(), 0);
  EXPECT_EQ(LogOf(L"update A").size(), 1u);
  loading.Link()->EndLoading();
}

TEST_F(Links, AnUpdateThatRaisesStillEndsTheApplyingState) {
  TLinkComp a(nullptr);
  a.Link()->OnUpdate = [](TObject*) { throw Exception(L"update failed"); };
  KwScreen->BeginUpdate();
  a.Link()->Change();
  EXPECT_THROW(KwScreen->EndUpdate(), Exception);
  KwScreen->BeginUpdate();
  EXPECT_EQ(KwScreen->CountBeginUpdate(), 1) << "BeginUpdate counts again after the failure";
  KwScreen->EndUpdate();
}

TEST_F(Links, GlobalPerformReachesFormsAndTheirComponentsLinksPerformEveryLink) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetName(L"F");
  auto* onForm = Comp(form.get(), L"OnForm");
  auto* ctl = new TLinkControl(form.get());
  ctl->SetName(L"Ctl");
  ctl->SetParent(form.get());
  TComponent holder(nullptr);
  auto* loose = Comp(&holder, L"Loose");
  std::vector<std::uintptr_t> formMsgs;
  form->SetWindowProc([&](TMessage& m) {
    if (m.Msg == KwMasterMessage) formMsgs.push_back(m.WParam);
    form->WndProc(m);
  });

  KwGlobalPerform(KwEvtLocale, 7);
  EXPECT_EQ(formMsgs, std::vector<std::uintptr_t>{KwEvtLocale});
  EXPECT_EQ(Log(), (std::vector<String>{L"evt OnForm 3", L"evt Ctl 3", L"wnd Ctl 3"}));
  Log().clear();
  KwLinksPerform(KwEvtLockKey, 0);
  EXPECT_EQ(Log(), (std::vector<String>{L"evt OnForm 7", L"evt Ctl 7", L"wnd Ctl 7", L"evt Loose 7"}));
  EXPECT_EQ(formMsgs.size(), 1u) << "links only: the form window hears nothing";
  Log().clear();
  KwFormsPerform(KwEvtHintsSkin, 0);
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(formMsgs.back(), std::uintptr_t(KwEvtHintsSkin));
  form->SetWindowProc(nullptr);
  (void)loose;
  (void)onForm;
}

TEST_F(Links, NothingIsDeliveredToLoadingInactiveOrDyingComponents) {
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* a = Comp(owner.get(), L"A");
  auto* b = Comp(owner.get(), L"B");
  auto* c = Comp(owner.get(), L"C");
  auto* d = Comp(owner.get(), L"D");
  b->Link()->BeginLoading();
  c->Link()->SetActive(false);
  d->IncludeState(csLoading);
  KwLinksPerform(KwEvtPrivileges, 0);
  EXPECT_EQ(Log(), std::vector<String>{L"evt A 31"});
  // MsgEvt has no guards.
  c->Link()->MsgEvt(KwEvtSetsGroup, nullptr);
  EXPECT_EQ(Log().back(), L"evt C 33");
  Log().clear();
  d->ExcludeState(csLoading);
  b->Link()->EndLoading();
  // The last component broadcasts as it dies; its siblings are being destroyed too.
  d->OnDying = [] { KwLinksPerform(KwEvtPrivileges, 0); };
  owner.reset();
  EXPECT_TRUE(Log().empty()) << Log().front();
  (void)a;
}

TEST_F(Links, AHandlerThatFreesComponentsDoesNotDisturbTheBroadcast) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* a = Comp(form.get(), L"A");
  auto* b = Comp(form.get(), L"B");
  auto* c = Comp(form.get(), L"C");
  auto* ctl = new TLinkControl(form.get());
  ctl->SetName(L"Ctl");
  ctl->SetParent(form.get());
  auto* e = Comp(form.get(), L"E");
  // B frees itself and A (already served); the control frees itself in NotifyEvt, so its
  // window procedure must not run.
  b->Link()->OnEvt = [&](int evt, void*) {
    Log().push_back(L"evt B");
    delete a;
    delete b;
  };
  ctl->Link()->OnEvt = [&](int, void*) {
    Log().push_back(L"evt Ctl");
    delete ctl;
  };
  KwFormPerform(form.get(), KwEvtRefAdjust, 0);
  EXPECT_EQ(Log(), (std::vector<String>{L"evt A 8", L"evt B", L"evt C 8", L"evt Ctl", L"evt E 8"}));
  EXPECT_EQ(KwLinks->Count(), 2);
  (void)c;
  (void)e;
}

TEST_F(Links, CancelModeSurvivesAHandlerThatDestroysItsOwnComponent) {
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* a = Comp(owner.get(), L"A");
  auto* b = Comp(owner.get(), L"B");
  auto* c = Comp(owner.get(), L"C");
  TLinkComp* late = nullptr;
  auto* plain = Comp(owner.get(), L"NoHandler");
  a->Link()->OnCancelMode = [](TObject*, int msg) { Log().push_back(L"cancel A " + IntToStr(msg)); };
  b->Link()->OnCancelMode = [&](TObject*, int) {
    Log().push_back(L"cancel B");
    late = Comp(owner.get(), L"Late");
    late->Link()->OnCancelMode = [](TObject*, int) { Log().push_back(L"cancel Late"); };
    delete c;
    delete b;  // last: this handler lives in b
  };
  c->Link()->OnCancelMode = [](TObject*, int) { Log().push_back(L"cancel C"); };
  KwNotifyCancelMode(nullptr, 0x201);
  EXPECT_EQ(Log(), (std::vector<String>{L"cancel A 513", L"cancel B"}));
  Log().clear();
  KwNotifyCancelMode(nullptr, 0x201);
  EXPECT_EQ(Log(), (std::vector<String>{L"cancel A 513", L"cancel Late"}));
  (void)plain;
}

TEST_F(Links, ParentFormAndWindowFollowTheOwner) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* panel = new TLinkControl(form.get());
  panel->SetParent(form.get());
  auto* inner = new TLinkControl(form.get());
  inner->SetParent(panel);
  auto* onForm = Comp(form.get(), L"OnForm");
  TComponent holder(nullptr);
  auto* loose = Comp(&holder, L"Loose");
  EXPECT_EQ(inner->Link()->ParentForm(), form.get());
  EXPECT_EQ(inner->Link()->ParentWindow(), panel);
  EXPECT_EQ(onForm->Link()->ParentForm(), form.get());
  EXPECT_EQ(onForm->Link()->ParentWindow(), nullptr);
  EXPECT_EQ(loose->Link()->ParentForm(), nullptr);
  EXPECT_EQ(KwGetOwnerForm(inner), form.get());
  EXPECT_EQ(KwGetOwnerForm(form.get()), nullptr) << "a form's own owner form is its parent's";
  auto inner2 = std::make_unique<TForm>(nullptr);
  inner2->SetParent(form.get());
  EXPECT_EQ(KwGetOwnerForm(inner2.get()), form.get());
  inner2.reset();
}

TEST_F(Links, ActiveControlTellsTheChainFromTheOutermost) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* outer = new TLinkControl(form.get());
  outer->SetName(L"Outer");
  outer->SetParent(form.get());
  auto* inner = new TLinkControl(form.get());
  inner->SetName(L"Inner");
  inner->SetParent(outer);
  auto* sibling = new TLinkControl(form.get());
  sibling->SetName(L"Sibling");
  sibling->SetParent(form.get());
  KwActiveControl(inner);
  EXPECT_EQ(Log(), (std::vector<String>{L"wnd Outer 40", L"wnd Inner 40"}));
  Log().clear();
  KwControlsPerform(form.get(), KwEvtPosSize, 0);
  EXPECT_EQ(Log(), (std::vector<String>{L"wnd Outer 17", L"wnd Sibling 17"})) << "direct children only";
}
