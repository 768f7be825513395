// Scaling through the control tree (in code, after loading, on a DPI change), right-to-left
// modes with mirrored children and text, dragging between controls and docking into sites.
#include <gtest/gtest.h>

#include "host/Application.h"
#include "host/Bitmap.h"
#include "host/ExtCtrls.h"
#include "host/Formtext.h"
#include "host/Listctrls.h"
#include "host/Forms.h"
#include "host/Streams.h"
#include "host/Win.h"
#include "tests/support/Input.h"

using namespace kw;
namespace ts = kw::testsupport;

namespace kw {
// Rectangles in failure messages as their sides.
static void PrintTo(const TRect& r, std::ostream* os) {
  *os << "(" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ")";
}
}  // namespace kw

namespace {

class LayoutTest : public ::testing::Test {
protected:
  void SetUp() override {
    ts::SetPumpFilter([](tagMSG& m) { return Application()->PreTranslate(m); });
    form = new TForm(nullptr);
    form->SetName(L"Form1");
    form->SetBounds(100, 100, 300, 200);
    form->SetClientWidth(300);
    form->SetClientHeight(200);
    form->AfterConstruction();
  }
  void TearDown() override {
    CancelDrag();
    delete form;
    ts::SetPumpFilter(nullptr);
    ts::ResetInputState();
    ts::Pump();
  }
  template <class T>
  T* Add(TWinControl* parent, const String& name, int x, int y, int w, int h) {
    T* c = new T(form);
    c->SetName(name);
    c->SetParent(parent);
    c->SetBounds(x, y, w, h);
    return c;
  }
  void ShowForm() {
    form->Show();
    ts::Pump();
  }
  TForm* form = nullptr;
  std::vector<String> log;
};

TRect Bounds(const TControl* c) { return c->BoundsRect(); }

// Dark pixels of a rendering in columns [x0, x1).
int InkIn(TBitmap& b, int x0, int x1) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = x0; x < x1; ++x)
      if ((ColorToRGB(b.Canvas()->Pixels(x, y)) & 0xFFFFFF) < 0x404040) ++n;
  return n;
}

TBytes TextToBinary(const std::string& text) {
  TBytesStream in(TBytes(text.begin(), text.end()));
  TBytesStream out;
  ObjectTextToBinary(in, out);
  return out.Bytes();
}

}  // namespace

TEST_F(LayoutTest, ChangeScaleScalesBoundsConstraintsAndFontsOfANestedTreeOnce) {
  auto* outer = Add<TPanel>(form, L"Outer", 10, 10, 200, 120);
  auto* label = Add<TLabel>(outer, L"Label1", 5, 5, 60, 17);
  label->SetAutoSize(false);
  label->Font()->SetSize(10);
  auto* edit = Add<TEdit>(outer, L"Edit1", 5, 40, 100, 21);
  auto* inner = Add<TPanel>(outer, L"Inner", 20, 70, 150, 40);
  auto* button = Add<TButton>(inner, L"Button1", 3, 3, 60, 25);
  button->Constraints()->SetMinWidth(50);
  button->Constraints()->SetMaxWidth(100);
  auto* right = Add<TButton>(form, L"Right", 250, 10, 40, 20);
  right->SetAnchors({akTop, akRight});
  auto* box = Add<TScrollBox>(form, L"Box", 220, 100, 60, 60);
  box->VertScrollBar()->SetRange(400);
  ShowForm();

  form->ScaleBy(3, 2);
  ts::Pump();
  // Sides are scaled, so sizes follow from the scaled edges.
  EXPECT_EQ(form->ClientWidth(), 450);
  EXPECT_EQ(form->ClientHeight(), 300);
  EXPECT_EQ(Bounds(outer), TRect(15, 15, 315, 195));
  EXPECT_EQ(Bounds(label), TRect(8, 8, 98, 33));
  EXPECT_EQ(Bounds(edit), TRect(8, 60, 158, 92));
  EXPECT_EQ(Bounds(inner), TRect(30, 105, 255, 165));
  EXPECT_EQ(Bounds(button), TRect(5, 5, 95, 42));
  EXPECT_EQ(button->Constraints()->MinWidth(), 75);
  EXPECT_EQ(button->Constraints()->MaxWidth(), 150);
  // Anchored to the right: scaled with the form, not moved again by the wider client.
  EXPECT_EQ(Bounds(right), TRect(375, 15, 435, 45));
  EXPECT_EQ(box->VertScrollBar()->Range(), 600);
  // Own fonts scale; inherited ones follow their parent's scaled font, not twice.
  EXPECT_EQ(form->Font()->Size(), 12);
  EXPECT_EQ(label->Font()->Size(), 15);
  EXPECT_EQ(edit->Font()->Size(), 12);
  EXPECT_EQ(button->Font()->Size(), 12);
}

TEST_F(LayoutTest, AFormReadAtAnotherResolutionIsScaledOnceAndRereadPartsOnlyAgain) {
  std::string text =
      "object Form1: TForm\n  ClientWidth = 200\n  ClientHeight = 100\n  PixelsPerInch = 64\n"
      "  object Panel1: TPanel\n    Left = 10\n    Top = 20\n    Width = 100\n    Height = 40\n"
      "    Font.Height = -16\n  end\nend\n";
  TBytesStream first(TextToBinary(text));
  first.ReadComponent(form);
  auto* panel = dynamic_cast<TPanel*>(form->FindComponent(L"Panel1"));
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(form->ClientWidth(), 300);
  EXPECT_EQ(form->ClientHeight(), 150);
  EXPECT_EQ(Bounds(panel), TRect(15, 30, 165, 90));
  EXPECT_EQ(panel->Font()->Height(), -24);

  // A second stream (a derived form's) sets only some values: only those are scaled now.
  std::string derived =
      "inherited Form1: TForm\n  ClientWidth = 100\n  PixelsPerInch = 64\n"
      "  inherited Panel1: TPanel\n    Left = 40\n  end\nend\n";
  TBytesStream second(TextToBinary(derived));
  second.ReadComponent(form);
  EXPECT_EQ(form->ClientWidth(), 150);
  EXPECT_EQ(form->ClientHeight(), 150);
  EXPECT_EQ(Bounds(panel), TRect(60, 30, 210, 90));
  EXPECT_EQ(panel->Font()->Height(), -24);

  std::unique_ptr<TForm> plain(new TForm(nullptr));
  TBytesStream third(TextToBinary("object Form2: TForm\n  ClientWidth = 200\n  PixelsPerInch = 64\n  Scaled = False\nend\n"));
  third.ReadComponent(plain.get());
  EXPECT_EQ(plain->ClientWidth(), 200) << "not Scaled: read as it stands";
}

TEST_F(LayoutTest, ADpiChangeRescalesOnceMovesToTheSuggestedRectAndPaintsEachWindowOnce) {
  auto* panel = Add<TPanel>(form, L"Panel1", 10, 10, 200, 100);
  auto* button = Add<TButton>(panel, L"Button1", 10, 10, 80, 24);
  auto* label = Add<TLabel>(form, L"Label1", 10, 150, 80, 17);
  label->SetAutoSize(false);
  ShowForm();
  std::map<TControl*, int> paints, moves;
  std::vector<std::pair<TControl*, TWndMethod>> saved;
  for (TControl* c : std::initializer_list<TControl*>{form, panel, button}) {
    TWndMethod old = c->WindowProc();
    saved.emplace_back(c, old);
    c->SetWindowProc([c, old, &paints, &moves](TMessage& m) {
      if (m.Msg == WM_PAINT && m.WParam == 0) ++paints[c];
      if (m.Msg == WM_WINDOWPOSCHANGED) ++moves[c];
      old(m);
    });
  }
  RECT suggested{200, 150, 200 + form->Width() * 3 / 2, 150 + form->Height() * 3 / 2};
  SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  // Nothing painted while the tree changed; every window moved once, the form to the rectangle.
  EXPECT_TRUE(paints.empty());
  EXPECT_EQ(moves[form], 1);
  EXPECT_EQ(moves[panel], 1);
  EXPECT_EQ(moves[button], 1);
  ts::Pump();
  for (auto& [c, old] : saved) c->SetWindowProc(old);

  RECT r;
  GetWindowRect(form->Handle(), &r);
  EXPECT_EQ(TRect(r.left, r.top, r.right, r.bottom), TRect(suggested.left, suggested.top, suggested.right, suggested.bottom));
  EXPECT_EQ(Bounds(panel), TRect(15, 15, 315, 165));
  EXPECT_EQ(Bounds(button), TRect(15, 15, 135, 51));
  EXPECT_EQ(Bounds(label), TRect(15, 225, 135, 251));
  EXPECT_EQ(button->Font()->Size(), 12);
  EXPECT_EQ(form->PixelsPerInch(), 144);
  EXPECT_EQ(paints[form], 1);
  EXPECT_EQ(paints[panel], 1);
  EXPECT_LE(paints[button], 1);
}

TEST_F(LayoutTest, RightToLeftFlowsDownAndFlipChildrenMirrorsPlacesAtEveryLevel) {
  auto* side = Add<TPanel>(form, L"Side", 0, 0, 50, 200);
  side->SetAlign(alLeft);
  auto* button = Add<TButton>(form, L"Button1", 70, 10, 60, 25);
  auto* group = Add<TPanel>(form, L"Group", 100, 60, 150, 80);
  auto* label = Add<TLabel>(group, L"Label1", 10, 10, 40, 17);
  label->SetAutoSize(false);
  auto* keeps = Add<TButton>(form, L"Keeps", 70, 160, 60, 25);
  keeps->SetBiDiMode(bdLeftToRight);
  ShowForm();

  form->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(button->BiDiMode(), bdRightToLeft);
  EXPECT_EQ(label->BiDiMode(), bdRightToLeft);
  EXPECT_TRUE(label->ParentBiDiMode());
  EXPECT_EQ(keeps->BiDiMode(), bdLeftToRight) << "a control with its own mode keeps it";
  EXPECT_NE(GetWindowLongPtrW(button->Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING, 0);
  EXPECT_EQ(GetWindowLongPtrW(keeps->Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING, 0);

  form->FlipChildren(true);
  ts::Pump();
  EXPECT_EQ(side->Align(), alRight);
  EXPECT_EQ(side->Left(), 250);
  EXPECT_EQ(Bounds(button), TRect(170, 10, 230, 35));
  EXPECT_EQ(button->Anchors(), TAnchors({akTop, akRight}));
  EXPECT_EQ(Bounds(group), TRect(50, 60, 200, 140));
  EXPECT_EQ(Bounds(label), TRect(100, 10, 140, 27)) << "mirrored inside its own parent";
  // Mirrored anchors hold the new side.
  form->SetClientWidth(400);
  ts::Pump();
  EXPECT_EQ(button->Left(), 270);
  form->SetBiDiMode(bdLeftToRight);
  EXPECT_EQ(GetWindowLongPtrW(button->Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING, 0) << "made again without";
}

TEST_F(LayoutTest, TextAlignmentIsMirroredUnderRightToLeftAlignment) {
  auto* label = Add<TLabel>(form, L"Label1", 10, 10, 160, 20);
  label->SetAutoSize(false);
  label->SetCaption(L"MMMM");
  label->SetColor(clWhite);
  label->Font()->SetColor(clBlack);
  auto* edit = Add<TEdit>(form, L"Edit1", 10, 40, 100, 21);
  auto* list = Add<TListBox>(form, L"List1", 10, 70, 100, 60);
  ShowForm();
  auto render = [&] {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(160, 20);
    label->PaintTo(b->Canvas(), 0, 0);
    return b;
  };
  auto ltr = render();
  EXPECT_GT(InkIn(*ltr, 0, 60), 0);
  EXPECT_EQ(InkIn(*ltr, 100, 160), 0);
  EXPECT_EQ(GetWindowLongPtrW(edit->Handle(), GWL_STYLE) & ES_RIGHT, 0);

  form->SetBiDiMode(bdRightToLeft);
  auto rtl = render();
  EXPECT_EQ(InkIn(*rtl, 0, 60), 0);
  EXPECT_GT(InkIn(*rtl, 100, 160), 0);
  EXPECT_NE(GetWindowLongPtrW(edit->Handle(), GWL_STYLE) & ES_RIGHT, 0) << "taLeftJustify shows right";
  EXPECT_EQ(GetWindowLongPtrW(list->Handle(), GWL_EXSTYLE) & (WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR),
            WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR);
  // Reading order only: the text stays on the left.
  form->SetBiDiMode(bdRightToLeftReadingOnly);
  auto reading = render();
  EXPECT_GT(InkIn(*reading, 0, 60), 0);
  EXPECT_EQ(InkIn(*reading, 100, 160), 0);
  EXPECT_NE(GetWindowLongPtrW(edit->Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING, 0);
  EXPECT_EQ(GetWindowLongPtrW(list->Handle(), GWL_EXSTYLE) & (WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR), 0);
}

TEST_F(LayoutTest, ModesAndDragPropertiesStreamOnlyWhenSet) {
  auto asText = [](TComponent* c) {
    TBytesStream binary, text;
    binary.WriteComponent(c);
    binary.SetPosition(0);
    ObjectBinaryToText(binary, text);
    TBytes b = text.Bytes();
    return std::string(b.begin(), b.end());
  };
  auto* edit = Add<TEdit>(form, L"Edit1", 10, 10, 100, 21);
  edit->SetImeMode(imClose);
  edit->SetImeName(L"Some IME");
  edit->SetBiDiMode(bdRightToLeftNoAlign);
  edit->SetDragMode(dmAutomatic);
  edit->SetDragKind(dkDock);
  std::string written = asText(edit);
  for (const char* expected : {"ImeMode = imClose", "ImeName = 'Some IME'", "BiDiMode = bdRightToLeftNoAlign",
                               "ParentBiDiMode = False", "DragMode = dmAutomatic", "DragKind = dkDock"})
    EXPECT_NE(written.find(expected), std::string::npos) << expected << "\n" << written;
  std::string plain = asText(Add<TEdit>(form, L"Edit2", 10, 40, 100, 21));
  for (const char* absent : {"Ime", "BiDiMode", "Drag", "Dock"})
    EXPECT_EQ(plain.find(absent), std::string::npos) << absent << "\n" << plain;
}

namespace {

// A control that logs the drag events it sees; it takes drops when `accepts`.
template <class Base>
class TLogged : public Base {
public:
  explicit TLogged(TComponent* owner) : Base(owner) {}
  void Wire(std::vector<String>& log, bool accepts) {
    String name = this->Name();
    if (accepts) {
      this->OnDragOver = [&log, name](TObject*, TObject* source, int, int, TDragState state, bool& accept) {
        static const wchar_t* states[] = {L"enter", L"leave", L"move"};
        String what = states[state];
        // Moves are many; log the first of a run only.
        if (log.empty() || log.back() != L"over " + name + L" " + what) log.push_back(L"over " + name + L" " + what);
        accept = dynamic_cast<TControl*>(source) != nullptr;
      };
      this->OnDragDrop = [&log, name](TObject*, TObject* source, int x, int y) {
        log.push_back(L"drop " + name + L" from " + static_cast<TControl*>(source)->Name() + L" at " +
                      std::to_wstring(x) + L"," + std::to_wstring(y));
      };
    }
    this->OnStartDrag = [&log, name](TObject*, TDragObject*&) { log.push_back(L"start " + name); };
    this->OnEndDrag = [&log, name](TObject*, TObject* target, int, int) {
      auto* t = dynamic_cast<TControl*>(target);
      log.push_back(L"end " + name + L" on " + (t ? t->Name() : String(L"nothing")));
    };
  }
};

String Joined(const std::vector<String>& log) {
  String s;
  for (auto& e : log) s += (s.empty() ? L"" : L" | ") + e;
  return s;
}

}  // namespace

TEST_F(LayoutTest, ADragFromOneControlToAnotherDeliversOverAndDropEventsInOrder) {
  auto* source = Add<TLogged<TPanel>>(form, L"Source", 10, 10, 80, 60);
  auto* target = Add<TLogged<TPanel>>(form, L"Target", 150, 10, 100, 100);
  auto* refuses = Add<TLogged<TPanel>>(form, L"Refuses", 150, 130, 100, 50);
  source->SetDragMode(dmAutomatic);
  source->Wire(log, false);
  target->Wire(log, true);
  refuses->Wire(log, false);
  ShowForm();
  HWND wnd = source->Handle();

  // From the source's (10, 10) to the target's (30, 40): source coordinates (170, 40).
  ts::Drag(wnd, TPoint(10, 10), TPoint(170, 40), 8);
  EXPECT_EQ(Joined(log), L"start Source | over Target enter | over Target move | drop Target from Source at 30,40 | "
                         L"end Source on Target");
  EXPECT_FALSE(source->Dragging());
  EXPECT_EQ(GetCapture(), nullptr);

  // Over a control that refuses: no drop, the cursor says so.
  log.clear();
  ts::MouseDown(wnd, ts::TButton::Left, 10, 10);
  ts::MouseMove(wnd, 170, 150, {ssLeft});
  EXPECT_TRUE(source->Dragging());
  EXPECT_EQ(GetCursor(), KwCursorHandle(crNoDrop));
  ts::MouseMove(wnd, 170, 40, {ssLeft});
  EXPECT_EQ(GetCursor(), KwCursorHandle(crDrag));
  ts::MouseMove(wnd, 170, 150, {ssLeft});
  ts::MouseUp(wnd, ts::TButton::Left, 170, 150);
  EXPECT_EQ(Joined(log), L"start Source | over Target enter | over Target leave | end Source on nothing");

  // Escape gives the drag up: the target hears the drag leave, nothing is dropped.
  log.clear();
  ts::MouseDown(wnd, ts::TButton::Left, 10, 10);
  ts::MouseMove(wnd, 170, 40, {ssLeft});
  ts::PressKey(nullptr, VK_ESCAPE);
  EXPECT_FALSE(source->Dragging());
  ts::MouseUp(wnd, ts::TButton::Left, 170, 40);
  EXPECT_EQ(Joined(log), L"start Source | over Target enter | over Target leave | end Source on nothing");
}

TEST_F(LayoutTest, AGraphicControlDragsThroughItsParentAndASourceFreedMidwayEndsTheDrag) {
  auto* shape = Add<TLogged<TShape>>(form, L"Shape", 10, 10, 60, 40);
  auto* target = Add<TLogged<TPanel>>(form, L"Target", 150, 10, 100, 100);
  shape->SetDragMode(dmAutomatic);
  shape->Wire(log, false);
  target->Wire(log, true);
  ShowForm();
  // Graphic controls get their mouse from the form's window: the drag captures that.
  ts::Drag(form->Handle(), TPoint(20, 20), TPoint(180, 50), 8);
  EXPECT_EQ(Joined(log), L"start Shape | over Target enter | over Target move | drop Target from Shape at 30,40 | "
                         L"end Shape on Target");

  // The target's handler frees the source: the drag ends quietly and a new one can start.
  log.clear();
  bool freed = false;
  target->OnDragOver = [&](TObject*, TObject* source, int, int, TDragState, bool& accept) {
    accept = true;
    if (!freed) {
      freed = true;
      delete static_cast<TControl*>(source);
    }
  };
  ts::MouseDown(form->Handle(), ts::TButton::Left, 20, 20);
  ts::MouseMove(form->Handle(), 180, 50, {ssLeft});
  ts::MouseMove(form->Handle(), 185, 55, {ssLeft});
  ts::MouseUp(form->Handle(), ts::TButton::Left, 185, 55);
  ASSERT_TRUE(freed);
  target->BeginDrag(true);
  EXPECT_TRUE(target->Dragging()) << "a new drag can start";
}

TEST_F(LayoutTest, AManualDragWaitsForTheThresholdAndAShortPressStaysAClick) {
  auto* source = Add<TLogged<TPanel>>(form, L"Source", 10, 10, 80, 60);
  auto* target = Add<TLogged<TPanel>>(form, L"Target", 150, 10, 100, 100);
  source->Wire(log, false);
  target->Wire(log, true);
  source->OnMouseDown = [source](TObject*, TMouseButton, TShiftState, int, int) { source->BeginDrag(false, 8); };
  source->OnClick = [this](TObject*) { log.push_back(L"click"); };
  ShowForm();
  HWND wnd = source->Handle();

  ts::MouseDown(wnd, ts::TButton::Left, 10, 10);
  ts::MouseMove(wnd, 14, 13, {ssLeft});
  EXPECT_TRUE(source->Dragging());
  ts::MouseUp(wnd, ts::TButton::Left, 14, 13);
  EXPECT_EQ(Joined(log), L"start Source | end Source on nothing | click");
  log.clear();
  ts::Drag(wnd, TPoint(10, 10), TPoint(170, 40), 8);
  EXPECT_EQ(log.size(), 5u) << Joined(log);
  EXPECT_EQ(log.back(), L"end Source on Target") << "past the threshold it is a drag, no click";
}

TEST_F(LayoutTest, AControlDocksIntoSitesStacksUndocksWithConsentAndFloats) {
  auto* site = Add<TPanel>(form, L"Site", 10, 10, 120, 150);
  site->SetDockSite(true);
  site->SetUseDockManager(true);
  auto* other = Add<TPanel>(form, L"Other", 160, 10, 120, 150);
  other->SetDockSite(true);
  auto* tool = Add<TPanel>(form, L"Tool", 10, 170, 60, 25);
  auto* tool2 = Add<TPanel>(form, L"Tool2", 80, 170, 60, 25);
  tool->SetDragKind(dkDock);
  tool->SetDragMode(dmAutomatic);
  std::vector<String> events;
  site->OnUnDock = [&](TObject*, TControl* client, TWinControl* to, bool& allow) {
    events.push_back(L"undock " + client->Name() + L" to " + (to ? to->Name() : String(L"float")));
    allow = to != nullptr;
  };
  other->OnDockOver = [&](TObject*, TDragDockObject* d, int, int, TDragState state, bool& accept) {
    if (state == dsDragEnter) events.push_back(L"dockover Other " + d->Control()->Name());
  };
  other->OnDockDrop = [&](TObject*, TDragDockObject* d, int, int) { events.push_back(L"dockdrop Other " + d->Control()->Name()); };
  tool->OnEndDock = [&](TObject*, TObject* target, int, int) {
    auto* t = dynamic_cast<TControl*>(target);
    events.push_back(L"enddock " + (t ? t->Name() : String(L"nothing")));
  };
  ShowForm();

  ASSERT_TRUE(tool->ManualDock(site));
  ASSERT_TRUE(tool2->ManualDock(site));
  ts::Pump();
  EXPECT_EQ(tool->HostDockSite(), site);
  EXPECT_EQ(site->DockClientCount(), 2);
  EXPECT_EQ(tool->Align(), alClient);
  EXPECT_EQ(tool2->Align(), alTop);
  EXPECT_EQ(tool->Top(), tool2->Top() + tool2->Height()) << "the first fills what the second leaves";

  // Floating is refused by the site's OnUnDock.
  EXPECT_FALSE(tool->ManualFloat(TRect(400, 400, 460, 425)));
  EXPECT_EQ(tool->Parent(), site);

  // Dragged by the mouse into the other site, dropped where the mouse let go.
  events.clear();
  ts::Drag(tool->Handle(), TPoint(5, 5), tool->ScreenToClient(other->ClientToScreen(TPoint(30, 40))), 4);
  ts::Pump();
  EXPECT_EQ(tool->HostDockSite(), other);
  EXPECT_EQ(site->DockClientCount(), 1);
  EXPECT_EQ(other->DockClientCount(), 1);
  EXPECT_EQ(tool2->Align(), alClient) << "the one left fills the stacked site";
  EXPECT_EQ(tool->Align(), alNone);
  EXPECT_EQ(Bounds(tool), TRect(25, 35, 85, 60)) << "where it was let go, at its undocked size";
  EXPECT_EQ(Joined(events), L"dockover Other Tool | undock Tool to Other | dockdrop Other Tool | enddock Other");

  // Floating: a window of its own holds it; docking back frees that window.
  ASSERT_TRUE(tool->ManualFloat(TRect(400, 300, 460, 325)));
  ts::Pump();
  EXPECT_TRUE(tool->Floating());
  auto* host = dynamic_cast<TCustomForm*>(tool->Parent());
  ASSERT_TRUE(host && host->Showing());
  EXPECT_EQ(TPoint(host->Left(), host->Top()), TPoint(400, 300));
  EXPECT_EQ(host->ClientHeight(), 25) << "the size it had before it was docked";
  EXPECT_EQ(other->DockClientCount(), 0);
  std::weak_ptr<int> hostLife = host->LifeToken();
  ASSERT_TRUE(tool->ManualDock(other));
  EXPECT_EQ(tool->Parent(), other);
  ts::Pump();
  EXPECT_TRUE(hostLife.expired()) << "the empty floating window goes";
}
