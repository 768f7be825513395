// The library's message hooks: clicks and application deactivation close pop-ups through cancel
// mode and tell the form controllers; mouse moves refresh hints; the wheel goes to the scroll
// box that later units name.
#include <gtest/gtest.h>

#include "host/Application.h"
#include "host/StdCtrls.h"
#include "host/Sysutils.h"
#include "host/Win.h"
#include "tests/core/fixtures.h"
#include "tests/support/Input.h"

using namespace kw;
using namespace kw::coretest;
namespace ts = kw::testsupport;

namespace {

struct TCancel {
  TObject* Control;
  int Message;
};

class Hooks : public ::testing::Test {
protected:
  void SetUp() override {
    Log().clear();
    KwRegisterFormControllerKind(&FormKind());
    FormKind().ExtClicks.clear();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, 300, 200);
    form->SetName(L"HookForm");
    controller = new TTestFormCtl(form.get());
    listener = new TLinkComp(form.get(), KwInitControls);
    listener->Link()->OnCancelMode = [this](TObject* c, int m) { cancels.push_back({c, m}); };
    label = new TLabel(form.get());
    label->SetParent(form.get());
    label->SetBounds(10, 10, 80, 20);
    label->SetCaption(L"Label");
    label->SetEnabled(false);
    edit = new TLinkControl(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(150, 10, 100, 40);
    form->Show();
    ts::Pump();
    cancels.clear();
    FormKind().ExtClicks.clear();
  }
  void TearDown() override {
    form.reset();
    KwRegisterFormControllerKind(nullptr);
    KwHookTargets() = {};
    ts::Pump();
  }
  std::unique_ptr<TForm> form;
  TTestFormCtl* controller = nullptr;
  TLinkComp* listener = nullptr;
  TLabel* label = nullptr;
  TLinkControl* edit = nullptr;
  std::vector<TCancel> cancels;
};

}  // namespace

TEST_F(Hooks, AreInstalledAtLibraryStart) {
  EXPECT_TRUE(KwHooksInstalled());
  EXPECT_NE(KwMasterMessage, 0u);
  EXPECT_EQ(KwMasterMessage, RegisterWindowMessageW(L"__Kw_MessageMaster__"));
}

TEST_F(Hooks, AClickNamesTheGraphicChildUnderItDisabledOnesIncluded) {
  ts::Click(form->Handle(), 20, 15);
  ASSERT_EQ(cancels.size(), 1u) << "the button's release is not a click";
  EXPECT_EQ(cancels[0].Control, label);
  EXPECT_EQ(cancels[0].Message, WM_LBUTTONDOWN);
  EXPECT_EQ(FormKind().ExtClicks, std::vector<TComponent*>{controller});
  cancels.clear();
  ts::Click(form->Handle(), 120, 150, ts::TButton::Right);
  ASSERT_EQ(cancels.size(), 2u) << "right down and right up both count";
  EXPECT_EQ(cancels[0].Control, form.get());
  EXPECT_EQ(cancels[0].Message, WM_RBUTTONDOWN);
  EXPECT_EQ(cancels[1].Message, WM_RBUTTONUP);
}

TEST_F(Hooks, AClickOnAChildWindowNamesThatWindowsControl) {
  ts::Click(edit->Handle(), 5, 5);
  ASSERT_EQ(cancels.size(), 1u);
  EXPECT_EQ(cancels[0].Control, edit);
  EXPECT_EQ(FormKind().ExtClicks, std::vector<TComponent*>{controller});
}

TEST_F(Hooks, AClickOnAForeignWindowNamesNoControl) {
  HWND foreign = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                 nullptr, nullptr, nullptr);
  ASSERT_NE(foreign, nullptr);
  ts::Click(foreign, 5, 5);
  DestroyWindow(foreign);
  // Making and destroying the window may deactivate the application as well.
  std::vector<TCancel> clicks;
  for (auto& c : cancels)
    if (c.Message == WM_LBUTTONDOWN) clicks.push_back(c);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0].Control, nullptr);
  EXPECT_TRUE(FormKind().ExtClicks.empty());
}

TEST_F(Hooks, DeactivatingTheApplicationCancelsAndWakesTheWindow) {
  std::vector<std::uintptr_t> woken;
  form->SetWindowProc([&](TMessage& m) {
    if (m.Msg == KwMasterMessage) woken.push_back(m.WParam);
    form->WndProc(m);
  });
  SendMessageW(form->Handle(), WM_ACTIVATEAPP, TRUE, 0);
  EXPECT_TRUE(cancels.empty()) << "activation is not a cancel";
  SendMessageW(form->Handle(), WM_ACTIVATEAPP, FALSE, 0);
  ASSERT_EQ(cancels.size(), 1u);
  EXPECT_EQ(cancels[0].Control, nullptr);
  EXPECT_EQ(cancels[0].Message, WM_ACTIVATEAPP);
  EXPECT_TRUE(woken.empty()) << "the wake-up is posted, not sent";
  ts::Pump();
  EXPECT_EQ(woken, std::vector<std::uintptr_t>{KwEvtWakeUp});
  form->SetWindowProc(nullptr);
}

TEST_F(Hooks, MouseMovesRefreshHintsAndTheWheelGoesToTheNamedScrollBox) {
  int hints = 0;
  TControl* asked = nullptr;
  TControl* box = nullptr;
  std::uintptr_t wheelWp = 0;
  KwHookTargets().UpdateHints = [&] { ++hints; };
  KwHookTargets().WheelScrollBox = [&](TControl* c) -> TControl* {
    asked = c;
    return form.get();
  };
  KwHookTargets().WheelMessage = [&](TControl* b, std::uintptr_t wp, std::intptr_t) {
    box = b;
    wheelWp = wp;
  };
  ts::MouseMove(edit->Handle(), 10, 10);
  ts::MouseMove(edit->Handle(), 12, 10);
  EXPECT_EQ(hints, 2);
  ts::Wheel(edit->Handle(), -120, 10, 10);
  EXPECT_EQ(asked, edit);
  EXPECT_EQ(box, form.get());
  EXPECT_EQ(short(HIWORD(wheelWp)), -120);
  ASSERT_FALSE(cancels.empty());
  EXPECT_EQ(cancels.back().Control, edit);
  EXPECT_EQ(cancels.back().Message, WM_MOUSEWHEEL);
}

