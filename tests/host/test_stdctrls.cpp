// Standard controls on a real window: label sizing, painting and accelerators, button clicks and
// dialog keys, check box and radio button states, edit state across re-created windows and its
// change events, memo lines with and without a window and through a form stream.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "host/Bitmap.h"
#include "host/StdCtrls.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"
#include "tests/support/Input.h"

using namespace kw;
namespace ts = kw::testsupport;

namespace kw {
// Stands in for a form: a container on a raw top-level window, and a root that streams.
class TStdHost : public TCustomControl {
  KW_CLASS(TStdHost, TCustomControl)
  explicit TStdHost(TComponent* owner) : TCustomControl(owner) { FControlStyle.Include(csAcceptsControls); }
};
KW_REGISTER_CLASS(TStdHost, TCustomControl)
}  // namespace kw

namespace {

LONG_PTR StyleOf(TWinControl* c) { return GetWindowLongPtrW(c->Handle(), GWL_STYLE); }
LONG_PTR ButtonType(TWinControl* c) { return StyleOf(c) & BS_TYPEMASK; }
LRESULT Send(TWinControl* c, UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(c->Handle(), msg, wp, lp); }

// Counts the firings of an event.
std::shared_ptr<int> Counting(TNotifyEvent& event) {
  auto n = std::make_shared<int>(0);
  event = [n](TObject*) { ++*n; };
  return n;
}

template <class T>
T* Named(TWinControl* root, const wchar_t* name) {
  auto* c = new T(root);
  c->SetName(name);
  c->SetParent(root);
  return c;
}

class StdControls : public ::testing::Test {
protected:
  void SetUp() override {
    static ATOM atom = [] {
      WNDCLASSEXW wc{sizeof(wc), 0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr)};
      wc.lpszClassName = L"KwStdCtrlsTop";
      return RegisterClassExW(&wc);
    }();
    FTop = CreateWindowExW(0, MAKEINTATOM(atom), L"std", WS_OVERLAPPEDWINDOW, 0, 0, 420, 320, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    ShowWindow(FTop, SW_SHOWNOACTIVATE);
    FHost = new TStdHost(nullptr);
    FHost->SetBounds(0, 0, 400, 280);
    FHost->SetParentWindow(FTop);
    FHost->HandleNeeded();
    // As the application's loop does: key messages reach the controls' dialog-key handling first.
    ts::SetPumpFilter([](MSG& msg) { return KwIsKeyMsg(&msg); });
  }
  void TearDown() override {
    delete FHost;
    DestroyWindow(FTop);
    ts::SetPumpFilter({});
    ts::Pump();
  }
  template <class T>
  T* Make(int left, int top, int width, int height, TWinControl* parent = nullptr) {
    auto* c = new T(FHost);
    c->SetBounds(left, top, width, height);
    c->SetParent(parent ? parent : FHost);
    return c;
  }
  LResult Dialog(Cardinal msg, std::uintptr_t key) { return FHost->Perform(msg, key, 0); }
  HWND FTop = nullptr;
  TStdHost* FHost = nullptr;
};

// --- labels ---------------------------------------------------------------------------------

TEST(StdControlsAccel, AcceleratorIsTheCharacterAfterASingleAmpersand) {
  EXPECT_TRUE(IsAccel('F', L"&File"));
  EXPECT_TRUE(IsAccel('f', L"&File"));
  EXPECT_FALSE(IsAccel('A', L"Save && Apply"));
  EXPECT_TRUE(IsAccel('A', L"Save && &Apply"));
  EXPECT_FALSE(IsAccel('B', L"&&B"));
  EXPECT_TRUE(IsAccel('B', L"&&&B"));
  EXPECT_FALSE(IsAccel('&', L"A&&B"));
  EXPECT_FALSE(IsAccel('T', L"Exit&"));
  EXPECT_TRUE(IsAccel(L'\u00e9', L"Caf&\u00c9"));
}

TEST_F(StdControls, LabelAutoSizeFollowsTheTextAndKeepsItsAnchoredSide) {
  auto* label = Make<TLabel>(200, 10, 65, 17);
  TBitmap measure(8, 8);
  measure.Canvas()->Font()->Assign(label->Font());
  auto width = [&](const wchar_t* s) { return measure.Canvas()->TextWidth(s); };

  label->SetCaption(L"Hello there, a longer caption");
  EXPECT_EQ(label->Left(), 200);
  EXPECT_EQ(label->Width(), width(L"Hello there, a longer caption"));
  EXPECT_EQ(label->Height(), measure.Canvas()->TextHeight(L"Hg"));
  // The accelerator mark takes no room unless it is shown as it is.
  label->SetCaption(L"&File");
  EXPECT_EQ(label->Width(), width(L"File"));
  label->SetShowAccelChar(false);
  EXPECT_EQ(label->Width(), width(L"&File"));
  label->SetShowAccelChar(true);

  label->SetAlignment(taRightJustify);
  label->SetCaption(L"A much longer caption than before");
  int right = label->Left() + label->Width();
  label->SetCaption(L"Hi");
  EXPECT_EQ(label->Left() + label->Width(), right);
  EXPECT_EQ(label->Width(), width(L"Hi"));

  int lineHeight = label->Height();
  label->SetCaption(L"");
  EXPECT_EQ(label->Height(), lineHeight);
  label->SetCaption(L"two\r\nlines");
  EXPECT_EQ(label->Height(), 2 * lineHeight);

  label->SetAutoSize(false);
  label->SetBounds(10, 10, 50, 17);
  label->SetCaption(L"A caption far wider than fifty pixels");
  EXPECT_EQ(label->Width(), 50);
  // Wrapped: the width stays within the old one and the height takes the lines.
  label->SetWordWrap(true);
  label->SetAutoSize(true);
  EXPECT_GE(label->Height(), 3 * lineHeight);
}

struct TPixelCount {
  int text = 0, back = 0, other = 0, outside = 0;
  int minX = 1 << 30, minY = 1 << 30;
};

TPixelCount CountPixels(TBitmap& bmp, TRect inside, TColor text, TColor back, TColor canvas) {
  TPixelCount n;
  for (int y = 0; y < bmp.Height(); ++y) {
    for (int x = 0; x < bmp.Width(); ++x) {
      TColor c = bmp.Canvas()->Pixels(x, y);
      bool in = x >= inside.Left && x < inside.Right && y >= inside.Top && y < inside.Bottom;
      if (!in) {
        n.outside += c != canvas;
      } else if (c == text) {
        ++n.text;
        n.minX = std::min(n.minX, x - inside.Left);
        n.minY = std::min(n.minY, y - inside.Top);
      } else {
        ++(c == back ? n.back : n.other);
      }
    }
  }
  return n;
}

TEST_F(StdControls, LabelPaintsItsTextInsideItsRectOnly) {
  auto* label = Make<TLabel>(0, 0, 10, 10);
  label->SetAutoSize(false);
  label->SetBounds(0, 0, 160, 40);
  label->Font()->SetColor(clRed);
  label->Font()->SetQuality(fqNonAntialiased);
  label->Font()->SetSize(10);
  label->SetColor(clYellow);
  label->SetCaption(L"WMW");
  TBitmap bmp(200, 80);
  TRect at(20, 10, 180, 50);
  auto paint = [&](TColor text, TColor back) {
    bmp.Canvas()->Brush()->SetColor(clBlue);
    bmp.Canvas()->FillRect(TRect(0, 0, 200, 80));
    label->PaintTo(bmp.Canvas(), at.Left, at.Top);
    return CountPixels(bmp, at, text, back, clBlue);
  };
  TPixelCount n = paint(clRed, clYellow);
  int gdi = KwGdiTotal();
  EXPECT_GT(n.text, 30);
  EXPECT_GT(n.back, n.text);
  EXPECT_EQ(n.other, 0);
  EXPECT_EQ(n.outside, 0);
  EXPECT_LT(n.minX, 3);

  label->SetAlignment(taRightJustify);
  label->SetLayout(tlBottom);
  n = paint(clRed, clYellow);
  EXPECT_GT(n.minX, 80);
  EXPECT_GT(n.minY, 20);
  EXPECT_EQ(n.outside, 0);

  // Transparent: the canvas shows where there is no text.
  label->SetTransparent(true);
  n = paint(clRed, clBlue);
  EXPECT_GT(n.text, 30);
  EXPECT_EQ(n.other, 0);

  // Disabled: the system's embossed text, not the font colour.
  label->SetTransparent(false);
  label->SetEnabled(false);
  EXPECT_GT(paint(TColor(ColorToRGB(clBtnShadow)), clYellow).text, 30);
  EXPECT_GT(CountPixels(bmp, at, TColor(ColorToRGB(clBtnHighlight)), clYellow, clBlue).text, 0);
  EXPECT_EQ(CountPixels(bmp, at, clRed, clYellow, clBlue).text, 0);
  EXPECT_EQ(KwGdiTotal(), gdi);
}

TEST_F(StdControls, LabelAcceleratorFocusesItsControl) {
  auto* other = Make<TEdit>(10, 100, 100, 21);
  auto* edit = Make<TEdit>(10, 40, 100, 21);
  auto* label = Make<TLabel>(10, 10, 60, 17);
  label->SetCaption(L"&Name");
  label->SetFocusControl(edit);
  ts::Focus(other->Handle());

  EXPECT_EQ(Dialog(CM_DIALOGCHAR, 'x'), 0);
  EXPECT_EQ(GetFocus(), other->Handle());
  // Alt+N as the keyboard sends it, through the message loop.
  PostMessageW(other->Handle(), WM_SYSCHAR, 'n', 1 << 29);
  ts::Pump();
  EXPECT_EQ(GetFocus(), edit->Handle());

  label->SetEnabled(false);
  EXPECT_EQ(Dialog(CM_DIALOGCHAR, 'N'), 0);
  label->SetEnabled(true);
  delete edit;
  EXPECT_EQ(label->FocusControl(), nullptr);
  EXPECT_EQ(Dialog(CM_DIALOGCHAR, 'N'), 0);
}

// --- buttons --------------------------------------------------------------------------------

std::vector<String> GEvents;
void RecordModalResult(TControl* control, int result) {
  GEvents.push_back(L"modal " + control->Name() + L" " + IntToStr(result));
}

TEST_F(StdControls, ButtonClicksFireOnClickOnceEach) {
  auto* button = Make<TButton>(10, 10, 75, 25);
  button->SetName(L"Ok");
  button->SetCaption(L"&Apply");
  int clicks = 0;
  button->OnClick = [&](TObject* sender) {
    ++clicks;
    EXPECT_EQ(sender, button);
    GEvents.push_back(L"click");
  };
  ts::Click(button->Handle(), 10, 10);
  EXPECT_EQ(clicks, 1);
  Send(button, BM_CLICK);
  EXPECT_EQ(clicks, 2);
  ts::PressKey(button->Handle(), VK_SPACE);
  EXPECT_EQ(clicks, 3);

  EXPECT_EQ(Dialog(CM_DIALOGCHAR, 'z'), 0);
  EXPECT_EQ(Dialog(CM_DIALOGCHAR, 'a'), 1);
  EXPECT_EQ(clicks, 4);
  EXPECT_EQ(GetFocus(), button->Handle());

  // The form hears of the modal result before the handler runs.
  GEvents.clear();
  KwSetFormModalResult = &RecordModalResult;
  button->SetModalResult(mrOk);
  Send(button, BM_CLICK);
  KwSetFormModalResult = nullptr;
  EXPECT_EQ(GEvents, (std::vector<String>{L"modal Ok 1", L"click"}));
}

TEST_F(StdControls, DefaultAndCancelButtonsAnswerDialogKeys) {
  auto* ok = Make<TButton>(10, 10, 75, 25);
  auto* cancel = Make<TButton>(90, 10, 75, 25);
  auto* other = Make<TButton>(170, 10, 75, 25);
  auto* edit = Make<TEdit>(10, 50, 100, 21);
  auto okClicks = Counting(ok->OnClick), cancelClicks = Counting(cancel->OnClick);
  auto otherClicks = Counting(other->OnClick);
  ok->SetDefault(true);
  cancel->SetCancel(true);
  EXPECT_EQ(ButtonType(ok), BS_DEFPUSHBUTTON);
  EXPECT_EQ(ButtonType(other), BS_PUSHBUTTON);

  EXPECT_EQ(Dialog(CM_DIALOGKEY, VK_RETURN), 1);
  EXPECT_EQ(Dialog(CM_DIALOGKEY, VK_ESCAPE), 1);
  EXPECT_EQ(*okClicks + 10 * *cancelClicks + 100 * *otherClicks, 11);

  // From an edit, through the loop: Enter and Escape are the form's keys.
  ts::Focus(edit->Handle());
  ts::PressKey(edit->Handle(), VK_RETURN);
  ts::PressKey(edit->Handle(), VK_ESCAPE);
  EXPECT_EQ(*okClicks + 10 * *cancelClicks, 22);

  ok->SetEnabled(false);
  EXPECT_EQ(Dialog(CM_DIALOGKEY, VK_RETURN), 0);
  ok->SetEnabled(true);

  // A focused button is the one Enter clicks; elsewhere the default one is again.
  FHost->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<std::intptr_t>(other));
  EXPECT_EQ(ButtonType(other), BS_DEFPUSHBUTTON);
  EXPECT_EQ(ButtonType(ok), BS_PUSHBUTTON);
  EXPECT_EQ(Dialog(CM_DIALOGKEY, VK_RETURN), 1);
  EXPECT_EQ(*otherClicks, 1);
  EXPECT_EQ(*okClicks, 2);
  FHost->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<std::intptr_t>(edit));
  EXPECT_EQ(ButtonType(ok), BS_DEFPUSHBUTTON);
  EXPECT_EQ(ButtonType(other), BS_PUSHBUTTON);
}

TEST_F(StdControls, AButtonMayFreeItselfInItsOwnOnClick) {
  auto run = [&](const std::function<void(TButton*)>& press) {
    auto* button = Make<TButton>(10, 10, 75, 25);
    button->SetDefault(true);
    TButton* victim = button;
    button->OnClick = [&victim](TObject*) {
      TButton* v = victim;
      victim = nullptr;
      delete v;
    };
    int before = FHost->ControlCount();
    HWND wnd = button->Handle();
    press(button);
    ts::Pump();
    EXPECT_EQ(victim, nullptr);
    EXPECT_EQ(FHost->ControlCount(), before - 1);
    EXPECT_FALSE(IsWindow(wnd));
  };
  run([](TButton* b) { ts::Click(b->Handle(), 10, 10); });
  run([](TButton* b) { Send(b, BM_CLICK); });
  run([&](TButton*) { EXPECT_EQ(Dialog(CM_DIALOGKEY, VK_RETURN), 1); });
}

TEST_F(StdControls, CheckBoxCyclesThroughItsStates) {
  auto* box = Make<TCheckBox>(10, 10, 120, 17);
  auto clicks = Counting(box->OnClick);
  ts::Click(box->Handle(), 5, 8);
  EXPECT_EQ(box->State(), cbChecked);
  EXPECT_EQ(Send(box, BM_GETCHECK), BST_CHECKED);
  ts::PressKey(box->Handle(), VK_SPACE);
  EXPECT_EQ(box->State(), cbUnchecked);

  box->SetAllowGrayed(true);
  for (TCheckBoxState s : {cbGrayed, cbChecked, cbUnchecked, cbGrayed}) {
    ts::Click(box->Handle(), 5, 8);
    EXPECT_EQ(box->State(), s);
  }
  EXPECT_EQ(Send(box, BM_GETCHECK), BST_INDETERMINATE);
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(*clicks, 6);

  // Set in code: OnClick as for the user, once per real change.
  box->SetChecked(true);
  box->SetChecked(true);
  EXPECT_EQ(*clicks, 7);
  EXPECT_EQ(Send(box, BM_GETCHECK), BST_CHECKED);

  // The state outlives the window the alignment change makes anew.
  box->SetState(cbGrayed);
  box->SetAlignment(taLeftJustify);
  EXPECT_NE(StyleOf(box) & BS_LEFTTEXT, 0);
  EXPECT_EQ(Send(box, BM_GETCHECK), BST_INDETERMINATE);
  EXPECT_EQ(*clicks, 8);
}

TEST_F(StdControls, RadioButtonsUncheckTheirSiblingsOnly) {
  auto* group = Make<TStdHost>(200, 0, 180, 120);
  TRadioButton* r[4] = {Make<TRadioButton>(10, 10, 100, 17), Make<TRadioButton>(10, 30, 100, 17),
                        Make<TRadioButton>(10, 50, 100, 17), Make<TRadioButton>(10, 10, 100, 17, group)};
  std::shared_ptr<int> clicks[4];
  for (int i = 0; i < 4; ++i) clicks[i] = Counting(r[i]->OnClick);
  // Per button: 1 checked, 0 not; as the control and as the window say.
  auto states = [&] {
    String s;
    for (auto* b : r) s += String(1, b->Checked() ? L'1' : L'0') + (Send(b, BM_GETCHECK) == BST_CHECKED ? L"1 " : L"0 ");
    return s;
  };
  r[3]->SetChecked(true);
  r[0]->SetChecked(true);
  ts::Click(r[1]->Handle(), 5, 8);
  EXPECT_EQ(states(), L"00 11 00 11 ");
  EXPECT_FALSE(r[0]->TabStop());
  EXPECT_TRUE(r[1]->TabStop());
  r[2]->SetChecked(true);
  EXPECT_EQ(states(), L"00 00 11 11 ");
  r[2]->SetChecked(false);
  EXPECT_EQ(states(), L"00 00 00 11 ");
  // Only becoming checked is a click.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(*clicks[i], 1) << i;
}

// --- edits ----------------------------------------------------------------------------------

TEST_F(StdControls, EditStateSurvivesRecreatingTheWindow) {
  auto* edit = Make<TEdit>(10, 10, 150, 21);
  edit->SetText(L"hello world");
  edit->SetSelStart(6);
  edit->SetSelLength(5);
  edit->SetModified(true);
  edit->SetReadOnly(true);
  edit->SetMaxLength(20);
  edit->SetPasswordChar(L'#');
  edit->SetBorderStyle(bsNone);
  EXPECT_EQ(GetWindowLongPtrW(edit->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  EXPECT_EQ(edit->Text(), L"hello world");
  EXPECT_EQ(edit->SelText(), L"world");
  EXPECT_TRUE(edit->Modified());
  EXPECT_NE(StyleOf(edit) & ES_READONLY, 0);
  EXPECT_EQ(Send(edit, EM_GETLIMITTEXT), 20);
  EXPECT_EQ(Send(edit, EM_GETPASSWORDCHAR), L'#');
  // Leaving the parent takes the window; the values wait for the next one.
  edit->SetReadOnly(false);
  edit->SetModified(false);
  edit->SetParent(nullptr);
  EXPECT_FALSE(edit->HandleAllocated());
  EXPECT_FALSE(edit->Modified());
  EXPECT_EQ(edit->SelStart(), 6);
  edit->SetParent(FHost);
  ts::TypeText(edit->Handle(), L"X");
  EXPECT_EQ(edit->Text(), L"hello X");
  // Set by typing, in the window only: it too outlives the window.
  edit->RecreateWnd();
  EXPECT_TRUE(edit->Modified());
  EXPECT_EQ(edit->SelStart(), 7);
}

TEST_F(StdControls, EditOnChangeFiresForEveryChangeButNotForItsWindow) {
  auto* edit = new TEdit(FHost);
  auto changes = Counting(edit->OnChange);
  edit->SetText(L"abc");
  EXPECT_EQ(*changes, 1);
  edit->SetParent(FHost);
  ASSERT_TRUE(edit->HandleAllocated());
  EXPECT_EQ(*changes, 1);
  ts::TypeText(edit->Handle(), L"xy");
  EXPECT_EQ(edit->Text(), L"xyabc");
  EXPECT_EQ(*changes, 3);
  edit->SetText(L"code");
  edit->SetText(L"code");
  EXPECT_EQ(*changes, 4);
  edit->SetHideSelection(false);
  EXPECT_EQ(*changes, 4);
  edit->Clear();
  EXPECT_EQ(*changes, 5);
}

TEST_F(StdControls, EditStyleSwitchesApplyToTypedText) {
  auto* edit = new TEdit(FHost);
  edit->SetCharCase(ecUpperCase);
  edit->SetParent(FHost);
  ts::TypeText(edit->Handle(), L"abc");
  EXPECT_EQ(edit->Text(), L"ABC");
  edit->SetCharCase(ecLowerCase);
  EXPECT_EQ(edit->Text(), L"abc");
  edit->SetSelStart(3);
  ts::TypeText(edit->Handle(), L"Q");
  EXPECT_EQ(edit->Text(), L"abcq");
  auto* digits = Make<TEdit>(10, 40, 100, 21);
  digits->SetNumbersOnly(true);
  ts::TypeText(digits->Handle(), L"1a2");
  EXPECT_EQ(digits->Text(), L"12");
  // Entered by the keyboard, the text is selected.
  digits->Perform(CM_ENTER, 0, 0);
  EXPECT_EQ(digits->SelText(), L"12");
}

// --- memos ----------------------------------------------------------------------------------

void ExpectSameLines(TStrings* a, TStrings* b, const char* step) {
  ASSERT_EQ(a->Count(), b->Count()) << step;
  for (int i = 0; i < a->Count(); ++i) EXPECT_EQ(a->Strings(i), b->Strings(i)) << step << " line " << i;
}

TEST_F(StdControls, MemoLinesReadTheSameWithAndWithoutAWindow) {
  auto* held = new TMemo(FHost);  // no parent: no window
  auto* live = Make<TMemo>(10, 10, 300, 150);
  held->SetWordWrap(false);
  live->SetWordWrap(false);
  ASSERT_TRUE(live->HandleAllocated());
  struct TStep {
    const char* name;
    std::function<void(TStrings*)> apply;
    const wchar_t* text;  // as the window has it afterwards, when checked
  };
  TStep steps[] = {
      {"add", [](TStrings* l) { l->Add(L"one"); l->Add(L"two"); l->Add(L"three"); }, nullptr},
      {"insert", [](TStrings* l) { l->Insert(1, L"inserted"); }, nullptr},
      {"delete first", [](TStrings* l) { l->Delete(0); }, nullptr},
      {"put", [](TStrings* l) { l->Put(1, L"TWO"); }, nullptr},
      {"insert at end", [](TStrings* l) { l->Insert(3, L"last"); }, L"inserted\r\nTWO\r\nthree\r\nlast\r\n"},
      {"text without final break", [](TStrings* l) { l->SetText(L"x\r\ny"); }, nullptr},
      {"add after it", [](TStrings* l) { l->Add(L"z"); }, L"x\r\ny\r\nz"},
      {"delete last", [](TStrings* l) { l->Delete(2); }, L"x\r\ny\r\n"},
      {"empty last line", [](TStrings* l) { l->SetText(L"x\r\ny\r\nw"); l->Put(2, L""); }, L"x\r\ny\r\n"},
      {"empty line", [](TStrings* l) { l->Put(1, L""); }, nullptr},
      {"line with a break", [](TStrings* l) { l->Insert(0, L"p\r\nq"); }, nullptr},
      {"lone line feeds", [](TStrings* l) { l->SetText(L"a\nb\n"); }, L"a\r\nb\r\n"},
      {"clear and add empty", [](TStrings* l) { l->Clear(); l->Add(L""); l->Add(L"after"); }, nullptr},
      {"delete all", [](TStrings* l) { l->Delete(1); l->Delete(0); }, L""},
  };
  for (TStep& step : steps) {
    step.apply(held->Lines());
    step.apply(live->Lines());
    EXPECT_EQ(held->Text(), live->Text()) << step.name;
    ExpectSameLines(held->Lines(), live->Lines(), step.name);
    if (step.text) {
      EXPECT_EQ(live->Text(), step.text) << step.name;
    }
  }
  EXPECT_THROW(live->Lines()->Delete(0), EStringListError);
  EXPECT_THROW(held->Lines()->Insert(1, L"x"), EStringListError);

  held->Lines()->SetText(L"alpha\r\n\r\ngamma \u00e9\r\n");
  held->Lines()->Add(L"delta");
  String text = held->Text();
  held->SetParent(FHost);
  ASSERT_TRUE(held->HandleAllocated());
  EXPECT_EQ(held->Text(), text);
  EXPECT_EQ(held->Lines()->Count(), 4);
  EXPECT_EQ(held->Lines()->Strings(2), L"gamma \u00e9");
  held->SetScrollBars(TScrollStyle::ssBoth);  // a new window
  EXPECT_EQ(held->Text(), text);
  held->SetParent(nullptr);
  EXPECT_EQ(held->Text(), text);
  EXPECT_EQ(held->Lines()->Strings(3), L"delta");
}

TEST_F(StdControls, MemoChangesAndKeys) {
  auto* memo = Make<TMemo>(10, 10, 200, 100);
  auto* ok = Make<TButton>(220, 10, 75, 25);
  ok->SetDefault(true);
  auto changes = Counting(memo->OnChange), okClicks = Counting(ok->OnClick);
  memo->SetText(L"first");
  EXPECT_EQ(*changes, 1);
  memo->Lines()->Add(L"second");
  EXPECT_EQ(*changes, 2);
  memo->Lines()->BeginUpdate();
  memo->Lines()->Add(L"a");
  memo->Lines()->Add(L"b");
  memo->Lines()->EndUpdate();
  EXPECT_EQ(*changes, 3);

  memo->SetCaretPos(TPoint(2, 1));
  EXPECT_EQ(memo->CaretPos(), TPoint(2, 1));
  // Enter breaks the line while the memo takes returns, else it is the form's.
  ts::Focus(memo->Handle());
  ts::PressKey(memo->Handle(), VK_RETURN);
  EXPECT_EQ(memo->Lines()->Count(), 5);
  EXPECT_EQ(memo->Lines()->Strings(1), L"se");
  EXPECT_EQ(*okClicks, 0);
  memo->SetWantReturns(false);
  ts::PressKey(memo->Handle(), VK_RETURN);
  EXPECT_EQ(*okClicks, 1);
  // With no button to take it, Enter still breaks no line.
  ok->SetDefault(false);
  ts::PressKey(memo->Handle(), VK_RETURN);
  EXPECT_EQ(memo->Lines()->Count(), 5);
  memo->SetWantTabs(true);
  EXPECT_NE(memo->Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTTAB, 0);
}

TEST_F(StdControls, ControlsKeepTheirStateThroughAFormStream) {
  auto root = std::make_unique<TStdHost>(nullptr);
  root->SetName(L"Form1");
  auto* memo = Named<TMemo>(root.get(), L"Memo1");
  memo->Lines()->Clear();  // naming gave it the name as its text
  for (const wchar_t* line : {L"first line", L"", L"third, caf\u00e9"}) memo->Lines()->Add(line);
  auto* edit = Named<TEdit>(root.get(), L"Edit1");
  edit->SetText(L"typed");
  edit->SetPasswordChar(L'#');
  auto* label = Named<TLabel>(root.get(), L"Label1");
  label->SetCaption(L"&Name");
  label->SetFocusControl(edit);
  auto* box = Named<TCheckBox>(root.get(), L"Check1");
  box->SetAllowGrayed(true);
  box->SetState(cbGrayed);
  auto* button = Named<TButton>(root.get(), L"Button1");
  button->SetDefault(true);
  button->SetModalResult(mrCancel);

  TBytesStream out;
  out.WriteComponent(root.get());
  TBytes bytes = out.Bytes();
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("Lines.Strings"), std::string::npos);
  TBytesStream in(bytes);
  std::unique_ptr<TComponent> back(in.ReadComponent(nullptr));
  auto* root2 = dynamic_cast<TStdHost*>(back.get());
  ASSERT_NE(root2, nullptr);
  auto* memo2 = dynamic_cast<TMemo*>(root2->FindComponent(L"Memo1"));
  auto* edit2 = dynamic_cast<TEdit*>(root2->FindComponent(L"Edit1"));
  auto* label2 = dynamic_cast<TLabel*>(root2->FindComponent(L"Label1"));
  auto* box2 = dynamic_cast<TCheckBox*>(root2->FindComponent(L"Check1"));
  auto* button2 = dynamic_cast<TButton*>(root2->FindComponent(L"Button1"));
  ASSERT_TRUE(memo2 && edit2 && label2 && box2 && button2);
  EXPECT_EQ(memo2->Parent(), root2);
  ExpectSameLines(memo->Lines(), memo2->Lines(), "streamed");
  EXPECT_EQ(edit2->Text(), L"typed");
  EXPECT_EQ(edit2->PasswordChar(), L'#');
  EXPECT_EQ(label2->FocusControl(), edit2);
  EXPECT_EQ(box2->State(), cbGrayed);
  EXPECT_TRUE(button2->Default());
  EXPECT_EQ(button2->ModalResult(), mrCancel);

  // Shown at last, the windows take what was read.
  root2->SetBounds(0, 0, 300, 200);
  root2->SetParentWindow(FTop);
  root2->HandleNeeded();
  ASSERT_TRUE(memo2->HandleAllocated());
  EXPECT_EQ(memo2->Text(), L"first line\r\n\r\nthird, caf\u00e9\r\n");
  EXPECT_EQ(Send(box2, BM_GETCHECK), BST_INDETERMINATE);
}

}  // namespace
