// Controls and forms over real windows: focus and enter/exit order, tab order, mouse routing to
// graphic children with capture and enter/leave, alignment and anchors, modal showing and
// closing, painting into bitmaps, window procedure subclassing and the faults that must not crash.
#include <gtest/gtest.h>

#include "host/Application.h"
#include "host/Bitmap.h"
#include "host/Forms.h"
#include "host/Win.h"
#include "tests/support/Input.h"

using namespace kw;
namespace ts = kw::testsupport;

namespace {

std::vector<String>& Log() {
  static std::vector<String> log;
  return log;
}

String Joined() {
  String s;
  for (auto& e : Log()) s += (s.empty() ? L"" : L" ") + e;
  return s;
}

// A focusable custom control that logs its focus events and paints itself in one colour.
class TBox : public TCustomControl {
public:
  explicit TBox(TComponent* owner, TColor fill = clRed) : TCustomControl(owner), FFill(fill) {
    SetTabStop(true);
    SetBounds(0, 0, 40, 20);
    OnEnter = [this](TObject*) { Log().push_back(L"enter " + Name()); };
    OnExit = [this](TObject*) { Log().push_back(L"exit " + Name()); };
  }
  TColor FFill;

protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(FFill);
    Canvas()->FillRect(ClientRect());
  }
};

class TSpot : public TGraphicControl {
public:
  explicit TSpot(TComponent* owner, TColor fill) : TGraphicControl(owner), FFill(fill) {
    FControlStyle.Include(csOpaque);
    OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int x, int y) {
      Log().push_back(L"down " + Name() + L" " + std::to_wstring(x) + L"," + std::to_wstring(y));
    };
    OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { Log().push_back(L"up " + Name()); };
    OnClick = [this](TObject*) { Log().push_back(L"click " + Name()); };
    OnMouseEnter = [this](TObject*) { Log().push_back(L"in " + Name()); };
    OnMouseLeave = [this](TObject*) { Log().push_back(L"out " + Name()); };
  }
  TColor FFill;
  bool SawPaintCopy = false;

protected:
  void Paint() override {
    SawPaintCopy = ControlState().Contains(csPaintCopy);
    Canvas()->Brush()->SetColor(FFill);
    Canvas()->FillRect(TRect(0, 0, Width(), Height()));
  }
};

class FormsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Log().clear();
    ts::SetPumpFilter([](tagMSG& m) { return Application()->PreTranslate(m); });
    form = new TForm(nullptr);
    form->SetName(L"Form1");
    form->SetBounds(100, 100, 300, 200);
    form->AfterConstruction();
  }
  void TearDown() override {
    delete form;
    ts::SetPumpFilter(nullptr);
    ts::ResetInputState();
    ts::Pump();
  }
  template <class T, class... A>
  T* Add(TWinControl* parent, const String& name, A... args) {
    T* c = new T(form, args...);
    c->SetName(name);
    c->SetParent(parent);
    return c;
  }
  void ShowForm() {
    form->Show();
    ts::Pump();
  }
  TForm* form = nullptr;
};

}  // namespace

TEST_F(FormsTest, EnterAndExitRunFromTheCommonContainer) {
  TBox* p1 = Add<TBox>(form, L"P1");
  TBox* e1 = Add<TBox>(p1, L"E1");
  TBox* e2 = Add<TBox>(p1, L"E2");
  TBox* p2 = Add<TBox>(form, L"P2");
  TBox* e3 = Add<TBox>(p2, L"E3");
  p1->SetBounds(0, 0, 100, 100);
  p2->SetBounds(100, 0, 100, 100);
  e2->SetTop(30);
  p1->SetTabStop(false);
  p2->SetTabStop(false);
  ShowForm();
  e3->SetFocus();
  ts::Pump();
  Log().clear();
  e1->SetFocus();
  ts::Pump();
  EXPECT_EQ(Joined(), L"exit E3 exit P2 enter P1 enter E1");
  Log().clear();
  e2->SetFocus();
  ts::Pump();
  EXPECT_EQ(Joined(), L"exit E1 enter E2");
  Log().clear();
  e3->SetFocus();
  ts::Pump();
  EXPECT_EQ(Joined(), L"exit E2 exit P1 enter P2 enter E3");
  EXPECT_EQ(form->ActiveControl(), e3);
  EXPECT_TRUE(e3->Focused());
  EXPECT_EQ(Screen()->ActiveControl(), e3);
}

TEST_F(FormsTest, TabFollowsTabOrderAndSkipsWhatCannotTakeFocus) {
  TBox* a = Add<TBox>(form, L"A");
  TBox* b = Add<TBox>(form, L"B");
  TBox* c = Add<TBox>(form, L"C");
  TBox* d = Add<TBox>(form, L"D");
  a->SetLeft(0);
  b->SetLeft(50);
  c->SetLeft(100);
  d->SetLeft(150);
  d->SetTabOrder(0);  // D, A, B, C
  b->SetEnabled(false);
  c->SetTabStop(false);
  EXPECT_EQ(d->TabOrder(), 0);
  EXPECT_EQ(a->TabOrder(), 1);
  ShowForm();
  d->SetFocus();
  ts::Pump();
  ts::PressKey(nullptr, VK_TAB);
  EXPECT_TRUE(a->Focused()) << Joined();
  ts::PressKey(nullptr, VK_TAB);
  EXPECT_TRUE(d->Focused()) << "wraps past the disabled and the non-stop control";
  ts::PressKey(nullptr, VK_TAB, {ssShift});
  EXPECT_TRUE(a->Focused()) << "Shift+Tab goes back";
}

TEST_F(FormsTest, KeyPreviewSeesKeysFirstAndCanSwallowThem) {
  TBox* a = Add<TBox>(form, L"A");
  std::vector<String> seen;
  form->SetKeyPreview(true);
  form->OnKeyDown = [&](TObject*, Word& key, TShiftState) {
    seen.push_back(L"form " + std::to_wstring(key));
    if (key == 'X') key = 0;
  };
  a->OnKeyDown = [&](TObject*, Word& key, TShiftState s) {
    seen.push_back(L"A " + std::to_wstring(key) + (s.Contains(ssCtrl) ? L" ctrl" : L""));
  };
  ShowForm();
  a->SetFocus();
  ts::Pump();
  ts::PressKey(nullptr, 'Q', {ssCtrl});
  ts::PressKey(nullptr, 'X');
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], L"form 81");
  EXPECT_EQ(seen[1], L"A 81 ctrl");
  EXPECT_EQ(seen[2], L"form 88");
}

TEST_F(FormsTest, GraphicChildrenGetTheirMouseMessagesWithCaptureAndClick) {
  TSpot* s1 = Add<TSpot>(form, L"S1", clRed);
  TSpot* s2 = Add<TSpot>(form, L"S2", clBlue);
  s1->SetBounds(10, 10, 50, 50);
  s2->SetBounds(100, 10, 50, 50);
  // Moving the cursor makes the platform send moves of its own; only buttons count here.
  for (TSpot* s : {s1, s2}) {
    s->OnMouseEnter = nullptr;
    s->OnMouseLeave = nullptr;
  }
  ShowForm();
  HWND wnd = form->Handle();
  Log().clear();
  ts::Click(wnd, 20, 25);
  EXPECT_EQ(Joined(), L"down S1 10,15 click S1 up S1");
  // Pressed on S1 and released over S2: S1 keeps the mouse and no click happens.
  Log().clear();
  ts::MouseDown(wnd, ts::TButton::Left, 20, 20);
  EXPECT_TRUE(s1->MouseCapture());
  ts::MouseMove(wnd, 110, 20, {ssLeft});
  ts::MouseUp(wnd, ts::TButton::Left, 110, 20);
  EXPECT_FALSE(s1->MouseCapture());
  EXPECT_EQ(Log().front(), L"down S1 10,10");
  EXPECT_EQ(Log().back(), L"up S1");
  for (auto& e : Log()) EXPECT_NE(e, L"click S1");
  for (auto& e : Log()) EXPECT_EQ(e.find(L"S2"), String::npos) << e;
}

TEST_F(FormsTest, MouseEnterAndLeaveFollowTheMovingPointer) {
  TSpot* s1 = Add<TSpot>(form, L"S1", clRed);
  TSpot* s2 = Add<TSpot>(form, L"S2", clBlue);
  s1->SetBounds(10, 10, 50, 50);
  s2->SetBounds(100, 10, 50, 50);
  ShowForm();
  HWND wnd = form->Handle();
  ts::MouseMove(wnd, 5, 150);
  Log().clear();
  ts::MouseMove(wnd, 20, 20);
  ts::MouseMove(wnd, 30, 30);
  ts::MouseMove(wnd, 120, 20);
  ts::MouseMove(wnd, 250, 150);
  EXPECT_EQ(Joined(), L"in S1 out S1 in S2 out S2");
}

TEST_F(FormsTest, AlignmentFillsTheClientAreaInItsFixedOrder) {
  auto* host = Add<TBox>(form, L"Host");
  host->SetBounds(0, 0, 200, 100);
  auto* client = Add<TBox>(host, L"Client");
  auto* left = Add<TBox>(host, L"Left");
  auto* bottom = Add<TBox>(host, L"Bottom");
  auto* top1 = Add<TBox>(host, L"Top1");
  auto* top2 = Add<TBox>(host, L"Top2");
  client->SetAlign(alClient);
  left->SetWidth(30);
  left->SetAlign(alLeft);
  bottom->SetHeight(10);
  bottom->SetAlign(alBottom);
  top2->SetBounds(0, 50, 10, 15);
  top2->SetAlign(alTop);
  top1->SetBounds(0, 0, 10, 20);
  top1->SetAlign(alTop);
  EXPECT_EQ(top1->BoundsRect(), TRect(0, 0, 200, 20));
  EXPECT_EQ(top2->BoundsRect(), TRect(0, 20, 200, 35));
  EXPECT_EQ(bottom->BoundsRect(), TRect(0, 90, 200, 100));
  EXPECT_EQ(left->BoundsRect(), TRect(0, 35, 30, 90));
  EXPECT_EQ(client->BoundsRect(), TRect(30, 35, 200, 90));
  host->SetBounds(0, 0, 300, 150);
  EXPECT_EQ(bottom->BoundsRect(), TRect(0, 140, 300, 150));
  EXPECT_EQ(client->BoundsRect(), TRect(30, 35, 300, 140));
  // A hidden aligned control gives its room back.
  top2->SetVisible(false);
  EXPECT_EQ(left->BoundsRect(), TRect(0, 20, 30, 140));
}

TEST_F(FormsTest, AnchorsKeepDistancesWhenTheParentResizes) {
  auto* host = Add<TBox>(form, L"Host");
  host->SetBounds(0, 0, 200, 100);
  auto* right = Add<TBox>(host, L"R");
  auto* both = Add<TBox>(host, L"LR");
  auto* none = Add<TBox>(host, L"N");
  auto* bottomRight = Add<TBox>(host, L"BR");
  right->SetBounds(150, 10, 40, 20);
  right->SetAnchors({akTop, akRight});
  both->SetBounds(10, 40, 180, 20);
  both->SetAnchors({akLeft, akTop, akRight});
  none->SetBounds(80, 40, 40, 20);
  none->SetAnchors({});
  bottomRight->SetBounds(150, 70, 40, 20);
  bottomRight->SetAnchors({akRight, akBottom});
  host->SetBounds(0, 0, 300, 160);
  EXPECT_EQ(right->BoundsRect(), TRect(250, 10, 290, 30));
  EXPECT_EQ(both->BoundsRect(), TRect(10, 40, 290, 60));
  EXPECT_EQ(none->BoundsRect(), TRect(130, 70, 170, 90));
  EXPECT_EQ(bottomRight->BoundsRect(), TRect(250, 130, 290, 150));
  // Back to the first size: no drift from rounding or repeated moves.
  host->SetBounds(0, 0, 200, 100);
  EXPECT_EQ(right->BoundsRect(), TRect(150, 10, 190, 30));
  EXPECT_EQ(none->BoundsRect(), TRect(80, 40, 120, 60));
  // Constraints win over anchors.
  both->Constraints()->SetMaxWidth(200);
  host->SetBounds(0, 0, 400, 100);
  EXPECT_EQ(both->Width(), 200);
}

TEST_F(FormsTest, PaintToDrawsChildrenAtTheirPlacesWithPaintCopySet) {
  form->SetColor(clWhite);
  auto* spot = Add<TSpot>(form, L"S", clRed);
  spot->SetBounds(10, 10, 20, 20);
  auto* box = Add<TBox>(form, L"B", clBlue);
  box->SetBounds(50, 10, 30, 20);
  TBitmap bmp;
  bmp.SetSize(100, 50);
  form->PaintTo(bmp.Canvas(), 0, 0);
  EXPECT_TRUE(spot->SawPaintCopy);
  EXPECT_FALSE(spot->ControlState().Contains(csPaintCopy));
  EXPECT_EQ(bmp.Canvas()->Pixels(15, 15), clRed);
  EXPECT_EQ(bmp.Canvas()->Pixels(55, 15), clBlue);
  EXPECT_EQ(bmp.Canvas()->Pixels(40, 15), clWhite);
  EXPECT_EQ(bmp.Canvas()->Pixels(5, 40), clWhite);
  // An offset moves everything by the same amount.
  TBitmap shifted;
  shifted.SetSize(100, 50);
  shifted.Canvas()->Brush()->SetColor(clBlack);
  shifted.Canvas()->FillRect(TRect(0, 0, 100, 50));
  spot->PaintTo(shifted.Canvas(), 60, 5);
  EXPECT_EQ(shifted.Canvas()->Pixels(61, 6), clRed);
  EXPECT_EQ(shifted.Canvas()->Pixels(59, 6), clBlack);
  EXPECT_EQ(shifted.Canvas()->Pixels(81, 26), clBlack);
}

TEST_F(FormsTest, WindowProcCanBeReplacedAndRestoredByAnotherComponent) {
  auto* box = Add<TBox>(form, L"B");
  ShowForm();
  TWndMethod old = box->WindowProc();
  int seen = 0;
  box->SetWindowProc([&](TMessage& m) {
    if (m.Msg == CM_ENABLEDCHANGED) ++seen;
    old(m);
  });
  box->SetEnabled(false);
  EXPECT_EQ(seen, 1);
  EXPECT_FALSE(IsWindowEnabled(box->Handle()));
  box->SetWindowProc(old);
  box->SetEnabled(true);
  EXPECT_EQ(seen, 1);
  // Real window messages pass the replacement too.
  int paints = 0;
  box->SetWindowProc([&](TMessage& m) {
    if (m.Msg == WM_USER + 7) {
      ++paints;
      m.Result = 42;
      return;
    }
    old(m);
  });
  EXPECT_EQ(SendMessageW(box->Handle(), WM_USER + 7, 0, 0), 42);
  EXPECT_EQ(paints, 1);
  box->SetWindowProc(old);
}

TEST_F(FormsTest, RecreatingAWindowKeepsTextChildrenAndFocus) {
  auto* host = Add<TBox>(form, L"Host");
  host->SetBounds(0, 0, 200, 100);
  auto* inner = Add<TBox>(host, L"Inner");
  inner->SetBounds(5, 5, 20, 20);
  ShowForm();
  SetWindowTextW(host->Handle(), L"typed");
  inner->SetFocus();
  ts::Pump();
  HWND oldHost = host->Handle();
  HWND oldInner = inner->Handle();
  host->RecreateWnd();
  EXPECT_NE(host->Handle(), oldHost);
  EXPECT_FALSE(IsWindow(oldInner));
  EXPECT_TRUE(inner->HandleAllocated());
  EXPECT_EQ(GetParent(inner->Handle()), host->Handle());
  EXPECT_EQ(host->Text(), L"typed");
  EXPECT_TRUE(inner->Focused());
}

TEST_F(FormsTest, ParentFontAndColorFlowDownUntilAChildSetsItsOwn) {
  auto* host = Add<TBox>(form, L"Host");
  auto* a = Add<TBox>(host, L"A");
  auto* b = Add<TBox>(host, L"B");
  host->SetColor(clYellow);
  host->Font()->SetSize(14);
  EXPECT_EQ(a->Color(), clYellow);
  EXPECT_EQ(a->Font()->Size(), 14);
  EXPECT_TRUE(a->ParentFont());
  b->Font()->SetSize(9);
  EXPECT_FALSE(b->ParentFont());
  host->Font()->SetSize(20);
  EXPECT_EQ(a->Font()->Size(), 20);
  EXPECT_EQ(b->Font()->Size(), 9);
  b->SetParentFont(true);
  EXPECT_EQ(b->Font()->Size(), 20);
}

TEST_F(FormsTest, ModalLoopEndsOnModalResultAndCloseQueryCanRefuse) {
  ShowForm();
  TForm* dialog = new TForm(nullptr);
  dialog->AfterConstruction();
  int queries = 0;
  dialog->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = ++queries > 1; };
  std::vector<String> order;
  dialog->OnShow = [&](TObject*) { order.push_back(L"show"); };
  dialog->OnClose = [&](TObject*, TCloseAction&) { order.push_back(L"close"); };
  dialog->OnHide = [&](TObject*) { order.push_back(L"hide"); };
  int ticks = 0;
  TTimer timer(nullptr);
  timer.SetInterval(10);
  timer.SetOnTimer([&](TObject*) {
    ++ticks;
    EXPECT_FALSE(IsWindowEnabled(form->Handle())) << "other windows are disabled while modal";
    if (ticks <= 2) dialog->SetModalResult(mrOk);
  });
  int result = dialog->ShowModal();
  timer.SetEnabled(false);
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(queries, 2) << "the first close query refused, the loop went on";
  EXPECT_FALSE(dialog->Visible());
  EXPECT_TRUE(IsWindowEnabled(form->Handle()));
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order.front(), L"show");
  EXPECT_EQ(order[order.size() - 2], L"close");
  EXPECT_EQ(order.back(), L"hide");
  // Showing a form modally while it is visible is refused.
  dialog->Show();
  EXPECT_THROW(dialog->ShowModal(), EInvalidOperation);
  delete dialog;
}

TEST_F(FormsTest, ClosingHidesFreesOrKeepsTheFormAsItsHandlerSays) {
  TForm* f = new TForm(nullptr);
  f->AfterConstruction();
  bool destroyed = false;
  f->OnDestroy = [&](TObject*) { destroyed = true; };
  TCloseAction next = caNone;
  f->OnClose = [&](TObject*, TCloseAction& a) { a = next; };
  f->Show();
  ts::Pump();
  f->Close();
  EXPECT_TRUE(f->Visible());
  next = caHide;
  f->Close();
  EXPECT_FALSE(f->Visible());
  f->Show();
  next = caFree;
  int before = Screen()->FormCount();
  f->Close();
  EXPECT_FALSE(destroyed) << "freed only after the queued messages";
  ts::Pump();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(Screen()->FormCount(), before - 1);
}

TEST_F(FormsTest, AControlFreedInItsOwnClickHandlerDoesNotCrash) {
  auto* box = Add<TBox>(form, L"B");
  box->SetBounds(10, 10, 40, 40);
  bool freed = false;
  box->OnClick = [&](TObject*) {
    delete box;
    freed = true;
  };
  ShowForm();
  int before = form->ControlCount();
  ts::Click(box->Handle(), 5, 5);
  EXPECT_TRUE(freed);
  EXPECT_EQ(form->ControlCount(), before - 1);
  EXPECT_EQ(form->FindComponent(L"B"), nullptr);
}

TEST_F(FormsTest, FreeingAParentFreesItsChildrenWithTheirWindows) {
  auto* host = Add<TBox>(form, L"Host");
  auto* a = Add<TBox>(host, L"A");
  auto* s = Add<TSpot>(host, L"S", clRed);
  (void)s;
  ShowForm();
  a->SetFocus();
  ts::Pump();
  HWND ah = a->Handle();
  int components = form->ComponentCount();
  delete host;
  EXPECT_FALSE(IsWindow(ah));
  EXPECT_EQ(form->ComponentCount(), components - 3);
  EXPECT_EQ(form->ActiveControl(), nullptr);
  EXPECT_EQ(form->FindComponent(L"S"), nullptr);
}

namespace {
class TBadParent : public TBox {
public:
  using TBox::TBox;
  void CreateParams(TCreateParams& p) override {
    TBox::CreateParams(p);
    p.WndParent = reinterpret_cast<HWND>(std::uintptr_t(0x7FFF1234));
  }
};
class TBadPaint : public TBox {
public:
  using TBox::TBox;
  int paints = 0;

protected:
  void Paint() override {
    ++paints;
    throw EInvalidOperation(L"paint failed");
  }
};
}  // namespace

TEST_F(FormsTest, AWindowThatCannotBeMadeRaisesAndLeavesTheControlUsable) {
  auto* bad = Add<TBadParent>(form, L"Bad");
  bad->SetVisible(false);
  EXPECT_THROW(bad->HandleNeeded(), EOSError);
  EXPECT_FALSE(bad->HandleAllocated());
  bad->SetWidth(77);
  EXPECT_EQ(bad->Width(), 77);
}

TEST_F(FormsTest, AnExceptionWhilePaintingIsReportedAndTheWindowGoesOn) {
  std::vector<String> reported;
  Application()->OnException = [&](TObject*, const Exception& e) { reported.push_back(e.Message()); };
  auto* bad = Add<TBadPaint>(form, L"Bad");
  ShowForm();
  bad->Invalidate();
  ts::Pump();
  UpdateWindow(bad->Handle());
  Application()->OnException = nullptr;
  ASSERT_FALSE(reported.empty());
  EXPECT_EQ(reported[0], L"paint failed");
  // The paint was validated, so it does not come back forever; the window still answers.
  size_t n = reported.size();
  ts::Pump(50);
  EXPECT_EQ(reported.size(), n);
  bad->SetBounds(0, 0, 60, 60);
  EXPECT_EQ(bad->Width(), 60);
}

TEST_F(FormsTest, ParentFormLookupsWalkTheParentChain) {
  auto* host = Add<TBox>(form, L"Host");
  auto* a = Add<TBox>(host, L"A");
  EXPECT_EQ(GetParentForm(a), form);
  TBox loose(nullptr);
  EXPECT_EQ(GetParentForm(&loose), nullptr);
  EXPECT_THROW(ValidParentForm(&loose), EInvalidOperation);
  bool listed = false;
  for (int i = 0; i < Screen()->FormCount(); ++i) listed |= Screen()->Forms(i) == form;
  EXPECT_TRUE(listed);
}
