// Actions: one action driving several controls and a menu item, groups of checked actions,
// auto-check, execution through the list and the application, updating while idle, shortcuts,
// suspended lists, categories, and actions with their clients in a form stream.
#include <gtest/gtest.h>

#include <memory>

#include "host/ActnList.h"
#include "host/Formtext.h"
#include "host/Application.h"
#include "host/Forms.h"
#include "host/Menus.h"
#include "host/Streams.h"
#include "host/Stringlist.h"
#include "host/Typreg.h"
#include "host/Win.h"
#include "tests/support/Input.h"

using namespace kw;
namespace ts = kw::testsupport;

namespace kw {
class TActionStreamForm : public TForm {
  KW_CLASS(TActionStreamForm, TForm)
  explicit TActionStreamForm(TComponent* owner) : TForm(owner) {}
  void GoExecute(TObject* sender) { ++Runs; }
  int Runs = 0;
};
KW_BEGIN_CLASS(TActionStreamForm, TForm) { b.Method(L"GoExecute", &TActionStreamForm::GoExecute); }
}  // namespace kw

namespace {

UINT EntryState(HMENU menu, int pos) {
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  mii.fMask = MIIM_STATE;
  EXPECT_TRUE(GetMenuItemInfoW(menu, UINT(pos), TRUE, &mii));
  return mii.fState;
}

String WindowText(TWinControl* c) {
  wchar_t buf[128] = {};
  GetWindowTextW(c->Handle(), buf, 127);
  return buf;
}

class ActionsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ts::SetPumpFilter([](tagMSG& m) { return Application()->PreTranslate(m); });
    form = new TForm(nullptr);
    form->SetName(L"ActionForm");
    form->SetBounds(60, 60, 320, 220);
    form->AfterConstruction();
    list = new TActionList(form);
  }
  void TearDown() override {
    delete form;
    ts::SetPumpFilter(nullptr);
    ts::ResetInputState();
    ts::Pump();
  }
  TAction* NewAction(const wchar_t* caption) {
    auto* a = new TAction(form);
    a->SetCaption(caption);
    a->SetActionList(list);
    return a;
  }
  template <class T>
  T* Put(int x, int y) {
    auto* c = new T(form);
    c->SetParent(form);
    c->SetBounds(x, y, 90, 24);
    return c;
  }
  // One idle turn of the application: the loop's updates run without waiting for a message.
  void IdleOnce() {
    ts::Pump();
    Application()->OnIdle = [](TObject*, bool& done) { done = false; };
    Application()->HandleMessage();
    Application()->OnIdle = nullptr;
  }
  TForm* form = nullptr;
  TActionList* list = nullptr;
};

}  // namespace

TEST_F(ActionsTest, OneActionReachesTwoControlsAndAMenuItem) {
  TAction* go = NewAction(L"&Go");
  go->SetHint(L"Start it");
  int runs = 0;
  TComponent* runBy = nullptr;
  go->OnExecute = [&](TObject* sender) {
    ++runs;
    runBy = static_cast<TAction*>(sender)->ActionComponent();
  };
  auto* b1 = Put<TButton>(10, 10);
  auto* b2 = Put<TButton>(10, 40);
  b2->SetCaption(L"Own");
  b1->SetAction(go);
  b2->SetAction(go);
  auto* menu = new TPopupMenu(form);
  auto* item = new TMenuItem(form);
  menu->Items()->Add(item);
  item->SetAction(go);
  form->Show();
  ts::Pump();
  EXPECT_EQ(b1->Caption(), L"&Go");
  EXPECT_EQ(b2->Caption(), L"&Go") << "set in code, not loading: the action's caption wins";
  EXPECT_EQ(b1->Hint(), L"Start it");
  EXPECT_EQ(item->Caption(), L"&Go");

  go->SetCaption(L"&Run");
  EXPECT_EQ(WindowText(b1), L"&Run");
  EXPECT_EQ(WindowText(b2), L"&Run");
  EXPECT_EQ(item->Caption(), L"&Run");
  go->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(b1->Handle()));
  EXPECT_FALSE(IsWindowEnabled(b2->Handle()));
  EXPECT_FALSE(item->Enabled());
  EXPECT_TRUE(EntryState(menu->Handle(), 0) & MFS_GRAYED);
  go->SetEnabled(true);
  go->SetShortCut(ShortCut('R', {ssCtrl}));
  EXPECT_EQ(item->ShortCut(), ShortCut('R', {ssCtrl}));
  go->SetVisible(false);
  EXPECT_FALSE(b1->Visible());
  EXPECT_FALSE(IsWindowVisible(b2->Handle()));
  EXPECT_EQ(GetMenuItemCount(menu->Handle()), 0);
  go->SetVisible(true);
  ts::Pump();

  // A click on either control, or the item, executes the action with the client as its component.
  ts::Click(b2->Handle(), 5, 5);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(runBy, b2);
  EXPECT_EQ(go->ActionComponent(), nullptr) << "only while executing";
  item->Click();
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(runBy, item);
  // An OnClick of the control's own takes the click instead.
  int own = 0;
  b1->OnClick = [&](TObject*) { ++own; };
  ts::Click(b1->Handle(), 5, 5);
  EXPECT_EQ(own, 1);
  EXPECT_EQ(runs, 2);
  // A freed action leaves its clients alone.
  delete go;
  EXPECT_EQ(b1->Action(), nullptr);
  EXPECT_EQ(item->Action(), nullptr);
  EXPECT_EQ(list->ActionCount(), 0);
}

TEST_F(ActionsTest, CheckedActionsOfOneGroupUncheckEachOtherAndTheirControls) {
  TAction* left = NewAction(L"Left");
  TAction* center = NewAction(L"Center");
  TAction* right = NewAction(L"Right");
  for (TAction* a : {left, center, right}) a->SetGroupIndex(1);
  // The same group number in another list is another group.
  auto* otherList = new TActionList(form);
  auto* elsewhere = new TAction(form);
  elsewhere->SetActionList(otherList);
  elsewhere->SetGroupIndex(1);
  elsewhere->SetChecked(true);
  auto* boxLeft = Put<TCheckBox>(10, 10);
  auto* boxRight = Put<TCheckBox>(10, 40);
  int clicks = 0;
  boxLeft->OnClick = [&](TObject*) { ++clicks; };
  boxLeft->SetAction(left);
  boxRight->SetAction(right);
  form->Show();
  ts::Pump();

  left->SetChecked(true);
  EXPECT_TRUE(boxLeft->Checked());
  EXPECT_EQ(SendMessageW(boxLeft->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  right->SetChecked(true);
  EXPECT_FALSE(left->Checked());
  EXPECT_FALSE(center->Checked());
  EXPECT_TRUE(right->Checked());
  EXPECT_FALSE(boxLeft->Checked());
  EXPECT_TRUE(boxRight->Checked());
  EXPECT_TRUE(elsewhere->Checked());
  EXPECT_EQ(clicks, 0) << "the action's check mark does not click the box";
  // Unchecking the checked one leaves the group empty: nothing is checked behind its back.
  right->SetChecked(false);
  EXPECT_FALSE(left->Checked() || center->Checked() || right->Checked());
  // A checked action joining a group that has a checked member gives way.
  left->SetChecked(true);
  TAction* late = NewAction(L"Late");
  late->SetChecked(true);
  late->SetGroupIndex(1);
  EXPECT_FALSE(late->Checked());
  EXPECT_TRUE(left->Checked());

  // Auto-check: a grouped action stays checked when executed again; an ungrouped one toggles.
  center->SetAutoCheck(true);
  center->OnExecute = [](TObject*) {};
  center->Execute();
  EXPECT_TRUE(center->Checked());
  EXPECT_FALSE(left->Checked());
  center->Execute();
  EXPECT_TRUE(center->Checked());
  center->SetGroupIndex(0);
  center->Execute();
  EXPECT_FALSE(center->Checked());
}

TEST_F(ActionsTest, ClickingACheckBoxRunsItsAutoCheckActionOnce) {
  TAction* bold = NewAction(L"Bold");
  bold->SetAutoCheck(true);
  int runs = 0;
  bold->OnExecute = [&](TObject*) { ++runs; };
  auto* box = Put<TCheckBox>(10, 10);
  box->SetAction(bold);
  auto* item = new TMenuItem(form);
  item->SetAction(bold);
  form->Show();
  ts::Pump();
  ts::Click(box->Handle(), 5, 5);
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(bold->Checked());
  EXPECT_TRUE(box->Checked());
  EXPECT_TRUE(item->Checked());
  item->Click();
  EXPECT_EQ(runs, 2);
  EXPECT_FALSE(bold->Checked());
  EXPECT_FALSE(box->Checked());
  EXPECT_FALSE(item->Checked()) << "the action toggles, not the item as well";
}

TEST_F(ActionsTest, ExecutionGoesThroughTheListThenTheApplicationThenTheAction) {
  TAction* a = NewAction(L"A");
  std::vector<String> log;
  a->OnExecute = [&](TObject*) { log.push_back(L"action"); };
  list->OnExecute = [&](TBasicAction* act, bool& handled) {
    log.push_back(L"list");
    handled = act->Tag() == 1;
  };
  Application()->OnActionExecute = [&](TBasicAction* act, bool& handled) {
    log.push_back(L"application");
    handled = act->Tag() == 2;
  };
  for (int tag : {1, 2, 0}) {
    a->SetTag(tag);
    EXPECT_TRUE(a->Execute());
  }
  Application()->OnActionExecute = nullptr;
  std::vector<String> expected = {L"list", L"list", L"application", L"list", L"application", L"action"};
  EXPECT_EQ(log, expected);
  // Disabled or suspended actions do not run.
  log.clear();
  a->SetEnabled(false);
  a->SetDisableIfNoHandler(false);
  list->OnUpdate = [](TBasicAction*, bool& handled) { handled = true; };
  EXPECT_FALSE(a->Execute());
  a->SetEnabled(true);
  list->SetState(asSuspended);
  EXPECT_FALSE(a->Execute());
  EXPECT_TRUE(log.empty());
}

TEST_F(ActionsTest, IdleTurnsUpdateTheActionsOfVisibleForms) {
  TAction* save = NewAction(L"Save");
  bool dirty = false;
  int updates = 0;
  save->OnExecute = [](TObject*) {};
  save->OnUpdate = [&](TObject* sender) {
    ++updates;
    static_cast<TAction*>(sender)->SetEnabled(dirty);
  };
  TAction* orphan = NewAction(L"No handler");
  auto* button = Put<TButton>(10, 10);
  button->SetAction(save);
  auto* main = new TMainMenu(form);
  auto* top = new TMenuItem(form);
  main->Items()->Add(top);
  top->SetAction(orphan);
  form->SetMenu(main);
  form->Show();
  IdleOnce();
  EXPECT_GE(updates, 1);
  EXPECT_FALSE(IsWindowEnabled(button->Handle()));
  EXPECT_FALSE(top->Enabled()) << "an action nobody handles is disabled";
  dirty = true;
  IdleOnce();
  EXPECT_TRUE(IsWindowEnabled(button->Handle()));
  // A hidden form's actions wait.
  form->Hide();
  int before = updates;
  dirty = false;
  IdleOnce();
  EXPECT_EQ(updates, before);
  EXPECT_TRUE(button->Enabled());
}

TEST_F(ActionsTest, ShortCutsOfTheFormsActionListsRunTheirActions) {
  TAction* find = NewAction(L"Find");
  find->SetShortCut(ShortCut('F', {ssCtrl}));
  int finds = 0;
  find->OnExecute = [&](TObject*) { ++finds; };
  auto* edit = Put<TEdit>(10, 10);
  form->Show();
  ts::Pump();
  edit->SetFocus();
  ts::Pump();
  ts::PressKey(nullptr, 'F', {ssCtrl});
  EXPECT_EQ(finds, 1);
  find->SetEnabled(false);
  find->SetDisableIfNoHandler(false);
  ts::PressKey(nullptr, 'F', {ssCtrl});
  EXPECT_EQ(finds, 1);
  find->SetEnabled(true);
  list->SetState(asSuspended);
  ts::PressKey(nullptr, 'F', {ssCtrl});
  EXPECT_EQ(finds, 1);
  list->SetState(asNormal);
  ts::PressKey(nullptr, 'F', {ssCtrl});
  EXPECT_EQ(finds, 2);
  EXPECT_EQ(edit->Text(), L"");
}

TEST_F(ActionsTest, ListsKeepTheirActionsInOrderByCategory) {
  TAction* cut = NewAction(L"Cut");
  TAction* open = NewAction(L"Open");
  TAction* copy = NewAction(L"Copy");
  TAction* loose = NewAction(L"Loose");
  cut->SetCategory(L"Edit");
  copy->SetCategory(L"edit");
  open->SetCategory(L"File");
  auto edits = list->ActionsOfCategory(L"Edit");
  ASSERT_EQ(edits.size(), 2u);
  EXPECT_EQ(edits[0], cut);
  EXPECT_EQ(edits[1], copy);
  TStringList cats;
  list->GetCategories(&cats);
  ASSERT_EQ(cats.Count(), 3);
  EXPECT_EQ(cats.Strings(0), L"Edit");
  EXPECT_EQ(cats.Strings(1), L"File");
  EXPECT_EQ(cats.Strings(2), L"");
  copy->SetIndex(0);
  EXPECT_EQ(list->Actions(0), copy);
  EXPECT_EQ(cut->Index(), 1);
  EXPECT_THROW(list->Actions(9), EListError);
  delete loose;
  EXPECT_EQ(list->ActionCount(), 3);
  // A list freed first takes its actions with it.
  delete list;
  list = nullptr;
  int actions = 0;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (dynamic_cast<TContainedAction*>(form->Components(i))) ++actions;
  EXPECT_EQ(actions, 0);
}

TEST(ActionStreaming, ActionsStreamInsideTheirListAndClientsFindThem) {
  std::unique_ptr<TActionStreamForm> form(KwCreate<TActionStreamForm>(nullptr));
  form->SetName(L"ActionStreamForm");
  auto* list = new TActionList(form.get());
  list->SetName(L"ActionList1");
  auto* go = new TAction(form.get());
  go->SetName(L"GoAction");
  go->SetCaption(L"&Go");
  go->SetCategory(L"Run");
  go->SetShortCut(ShortCut(VK_F9, {}));
  go->OnExecute.Bind(form.get(), &TActionStreamForm::GoExecute, L"GoExecute");
  go->SetActionList(list);
  auto* stop = new TAction(form.get());
  stop->SetName(L"StopAction");
  stop->SetActionList(list);
  auto* button = new TButton(form.get());
  button->SetName(L"GoButton");
  button->SetParent(form.get());
  button->SetAction(go);
  auto* menu = new TPopupMenu(form.get());
  menu->SetName(L"Menu1");
  auto* item = new TMenuItem(form.get());
  item->SetName(L"GoItem");
  menu->Items()->Add(item);
  item->SetAction(go);

  TBytesStream s;
  s.WriteComponent(form.get());
  // What the item shows because of its action is the action's to store.
  s.SetPosition(0);
  TBytesStream text;
  ObjectBinaryToText(s, text);
  TBytes bytes = text.Bytes();
  std::string written(bytes.begin(), bytes.end());
  size_t itemAt = written.find("object GoItem: TMenuItem");
  ASSERT_NE(itemAt, std::string::npos) << written;
  std::string itemText = written.substr(itemAt, written.find("end", itemAt) - itemAt);
  EXPECT_EQ(itemText.find("Caption"), std::string::npos) << itemText;
  EXPECT_EQ(itemText.find("ShortCut"), std::string::npos) << itemText;
  EXPECT_NE(itemText.find("Action = GoAction"), std::string::npos) << itemText;
  s.SetPosition(0);
  std::unique_ptr<TActionStreamForm> copy(KwCreate<TActionStreamForm>(nullptr));
  s.ReadComponent(copy.get());
  auto* list2 = dynamic_cast<TActionList*>(copy->FindComponent(L"ActionList1"));
  ASSERT_NE(list2, nullptr);
  ASSERT_EQ(list2->ActionCount(), 2);
  auto* go2 = dynamic_cast<TAction*>(list2->Actions(0));
  ASSERT_NE(go2, nullptr);
  EXPECT_EQ(go2->Name(), L"GoAction");
  EXPECT_EQ(go2->Category(), L"Run");
  EXPECT_EQ(go2->ShortCut(), VK_F9);
  EXPECT_EQ(list2->Actions(1)->Name(), L"StopAction");
  auto* button2 = dynamic_cast<TButton*>(copy->FindComponent(L"GoButton"));
  ASSERT_NE(button2, nullptr);
  EXPECT_EQ(button2->Action(), go2);
  EXPECT_EQ(button2->Caption(), L"&Go");
  auto* item2 = dynamic_cast<TMenuItem*>(copy->FindComponent(L"GoItem"));
  ASSERT_NE(item2, nullptr);
  EXPECT_EQ(item2->Caption(), L"&Go");
  EXPECT_EQ(item2->ShortCut(), VK_F9);
  button2->Click();
  item2->Click();
  EXPECT_EQ(copy->Runs, 2);
  EXPECT_EQ(form->Runs, 0);
}
