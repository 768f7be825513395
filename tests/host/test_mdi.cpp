// MDI frames and children: the client window beside aligned controls, children made inside it,
// arranging, cycling and activation, iconic children, closing by minimising, and a child turned
// back into a normal form.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/Application.h"
#include "host/ExtCtrls.h"
#include "host/Menus.h"
#include "host/Forms.h"
#include "host/Win.h"
#include "tests/support/Input.h"

using namespace kw;
namespace ts = kw::testsupport;

namespace {

class MdiTest : public ::testing::Test {
protected:
  void SetUp() override {
    ts::SetPumpFilter([](tagMSG& m) { return Application()->PreTranslate(m); });
    frame = KwCreate<TForm>(nullptr);
    frame->SetName(L"Frame");
    frame->SetFormStyle(fsMDIForm);
    frame->SetBounds(20, 20, 640, 480);
    Application()->SetMainForm(frame);
    frame->Show();
    ts::Pump();
  }
  void TearDown() override {
    for (TCustomForm* c : children) delete c;
    Application()->ClearMainForm();
    delete frame;
    ts::SetPumpFilter(nullptr);
    ts::Pump();
  }
  TForm* Child(const wchar_t* name, int x = 0, int y = 0) {
    TForm* c = KwCreate<TForm>(nullptr);
    c->SetName(name);
    c->SetFormStyle(fsMDIChild);
    c->SetBounds(x, y, 200, 150);
    c->Show();
    children.push_back(c);
    ts::Pump();
    return c;
  }
  static TRect ClientBox(HWND wnd) {
    RECT r;
    GetWindowRect(wnd, &r);
    MapWindowPoints(nullptr, GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
    return TRect(r.left, r.top, r.right, r.bottom);
  }
  TForm* frame = nullptr;
  std::vector<TCustomForm*> children;
};

}  // namespace

TEST_F(MdiTest, ClientWindowTakesWhatAlignedControlsLeave) {
  ASSERT_NE(frame->ClientHandle(), nullptr);
  auto* bar = new TPanel(frame);
  bar->SetParent(frame);
  bar->SetAlign(alTop);
  bar->SetHeight(30);
  ts::Pump();
  TRect client = ClientBox(frame->ClientHandle());
  EXPECT_EQ(client.Top, 30);
  EXPECT_EQ(client.Left, 0);
  EXPECT_EQ(client.Width(), frame->ClientWidth());
  EXPECT_EQ(client.Bottom, frame->ClientHeight());
  // A frame resized keeps the client in the remaining area.
  frame->SetHeight(frame->Height() - 100);
  ts::Pump();
  EXPECT_EQ(ClientBox(frame->ClientHandle()).Bottom, frame->ClientHeight());
  EXPECT_EQ(ClientBox(frame->ClientHandle()).Top, 30);
}

TEST_F(MdiTest, ChildrenLiveInTheClientAndActivateInTurn) {
  TForm* a = Child(L"A", 10, 10);
  TForm* b = Child(L"B", 40, 40);
  EXPECT_EQ(GetParent(a->Handle()), frame->ClientHandle());
  EXPECT_EQ(a->Left(), 10) << "bounds are relative to the client window";
  ASSERT_EQ(frame->MDIChildCount(), 2);
  EXPECT_EQ(frame->ActiveMDIChild(), b) << "the last shown child is active";
  EXPECT_EQ(frame->MDIChildren(0), b);
  EXPECT_EQ(frame->MDIChildren(1), a);
  EXPECT_THROW(frame->MDIChildren(2), EListError);

  std::vector<String> events;
  a->OnActivate = [&](TObject*) { events.push_back(L"A+"); };
  a->OnDeactivate = [&](TObject*) { events.push_back(L"A-"); };
  b->OnActivate = [&](TObject*) { events.push_back(L"B+"); };
  b->OnDeactivate = [&](TObject*) { events.push_back(L"B-"); };
  frame->Next();
  ts::Pump();
  EXPECT_EQ(frame->ActiveMDIChild(), a);
  frame->Previous();
  ts::Pump();
  EXPECT_EQ(frame->ActiveMDIChild(), b);
  EXPECT_EQ(events, (std::vector<String>{L"B-", L"A+", L"A-", L"B+"}));
  EXPECT_EQ(Screen()->ActiveForm(), b);
}

TEST_F(MdiTest, CascadeAndTileArrangeTheChildren) {
  TForm* a = Child(L"A", 300, 200);
  TForm* b = Child(L"B", 300, 200);
  TForm* c = Child(L"C", 300, 200);
  frame->Cascade();
  ts::Pump();
  // Cascaded: each child steps down and right from the one above it, the active one last.
  EXPECT_LT(a->Left(), b->Left()) << a->Left() << " " << b->Left();
  EXPECT_LT(b->Left(), c->Left());
  EXPECT_LT(a->Top(), b->Top());
  EXPECT_EQ(c->Left() - b->Left(), b->Left() - a->Left());

  frame->SetTileMode(tbVertical);
  frame->Tile();
  ts::Pump();
  // Tiled side by side: the three fill the client's width without overlapping.
  RECT client;
  GetClientRect(frame->ClientHandle(), &client);
  std::vector<TForm*> all{a, b, c};
  std::sort(all.begin(), all.end(), [](TForm* x, TForm* y) { return x->Left() < y->Left(); });
  EXPECT_EQ(all[0]->Left(), 0);
  EXPECT_LE(all[0]->Left() + all[0]->Width(), all[1]->Left());
  EXPECT_LE(all[1]->Left() + all[1]->Width(), all[2]->Left());
  EXPECT_NEAR(all[2]->Left() + all[2]->Width(), client.right, 2);
  for (TForm* f : all) EXPECT_NEAR(f->Height(), client.bottom, 2);
}

TEST_F(MdiTest, IconicChildrenAndClosingByMinimising) {
  TForm* a = Child(L"A", 10, 10);
  TForm* b = Child(L"B", 50, 50);
  a->SetWindowState(wsMinimized);
  ts::Pump();
  EXPECT_TRUE(IsIconic(a->Handle()));
  EXPECT_EQ(a->WindowState(), wsMinimized);
  EXPECT_EQ(GetParent(a->Handle()), frame->ClientHandle()) << "an iconic child stays in its frame";
  frame->ArrangeIcons();
  ts::Pump();
  EXPECT_TRUE(IsIconic(a->Handle()));
  // Closing a child minimises it unless its handler says otherwise.
  b->Close();
  ts::Pump();
  EXPECT_TRUE(IsIconic(b->Handle()));
  bool freed = false;
  b->OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
  b->OnDestroy = [&](TObject*) { freed = true; };
  b->Close();
  ts::PumpUntil([&] { return freed; }, 2000);
  EXPECT_TRUE(freed);
  children.erase(std::find(children.begin(), children.end(), b));
  EXPECT_EQ(frame->MDIChildCount(), 1);
}

TEST_F(MdiTest, AChildTurnedNormalBecomesATopLevelFormWithItsControls) {
  TForm* a = Child(L"A", 10, 10);
  auto* edit = new TEdit(a);
  edit->SetParent(a);
  edit->SetText(L"kept");
  ts::Pump();
  a->SetFormStyle(fsNormal);
  ts::Pump();
  ASSERT_TRUE(a->HandleAllocated());
  EXPECT_FALSE(GetWindowLongPtrW(a->Handle(), GWL_STYLE) & WS_CHILD);
  EXPECT_NE(GetParent(a->Handle()), frame->ClientHandle());
  EXPECT_EQ(frame->MDIChildCount(), 0);
  EXPECT_EQ(edit->Text(), L"kept");
  EXPECT_TRUE(IsWindowVisible(a->Handle()));
  EXPECT_EQ(GetParent(edit->Handle()), a->Handle());
  // And back again.
  a->SetFormStyle(fsMDIChild);
  ts::Pump();
  EXPECT_EQ(GetParent(a->Handle()), frame->ClientHandle());
  EXPECT_EQ(frame->MDIChildCount(), 1);
  EXPECT_TRUE(IsWindowVisible(a->Handle()));
}

TEST_F(MdiTest, AChildNeedsAnMdiFrame) {
  Application()->ClearMainForm();
  TForm* orphan = KwCreate<TForm>(nullptr);
  orphan->SetFormStyle(fsMDIChild);
  EXPECT_THROW(orphan->Show(), EInvalidOperation);
  delete orphan;
  Application()->SetMainForm(frame);
}

TEST_F(MdiTest, ChildrenComeBackWhenTheFrameWindowIsRecreated) {
  TForm* a = Child(L"A", 10, 10);
  TForm* b = Child(L"B", 30, 30);
  b->SetCaption(L"second");
  frame->SetBorderStyle(bsSingle);  // a new frame window
  ts::Pump();
  ASSERT_TRUE(a->HandleAllocated());
  ASSERT_TRUE(b->HandleAllocated());
  EXPECT_EQ(GetParent(a->Handle()), frame->ClientHandle());
  EXPECT_EQ(frame->MDIChildCount(), 2);
  EXPECT_EQ(b->Caption(), L"second");
  EXPECT_TRUE(IsWindowVisible(frame->Handle()));
  EXPECT_TRUE(IsWindowVisible(a->Handle()));
  EXPECT_TRUE(IsWindowVisible(b->Handle()));
}

TEST_F(MdiTest, TheActiveChildsMenuIsMergedIntoTheFramesBar) {
  auto* bar = new TMainMenu(frame);
  auto* file = new TMenuItem(frame);
  file->SetCaption(L"&File");
  bar->Items()->Add(file);
  frame->SetMenu(bar);
  TForm* a = Child(L"A", 10, 10);
  auto* own = new TMainMenu(a);
  auto* edit = new TMenuItem(a);
  edit->SetCaption(L"&Edit");
  edit->SetGroupIndex(1);
  own->Items()->Add(edit);
  a->SetMenu(own);
  TForm* b = Child(L"B", 40, 40);  // without a menu of its own
  ts::Pump();
  auto captions = [&] {
    std::vector<String> out;
    HMENU m = GetMenu(frame->Handle());
    for (int i = 0; m && i < GetMenuItemCount(m); ++i) {
      wchar_t text[64] = {};
      GetMenuStringW(m, UINT(i), text, 64, MF_BYPOSITION);
      out.push_back(text);
    }
    return out;
  };
  EXPECT_EQ(captions(), (std::vector<String>{L"&File"})) << "B is active and has no menu";
  // A child's "menu" is its number from the client window: it has no bar of its own.
  EXPECT_GE(GetWindowLongPtrW(a->Handle(), GWLP_ID), 0xFF00);
  a->Show();
  ts::Pump();
  EXPECT_EQ(frame->ActiveMDIChild(), a);
  EXPECT_EQ(captions(), (std::vector<String>{L"&File", L"&Edit"}));
  b->Show();
  ts::Pump();
  EXPECT_EQ(captions(), (std::vector<String>{L"&File"}));
}
