// Panels, shapes, paint boxes, images and scroll boxes: what they paint (by pixels, through
// PaintTo into a bitmap) and where their children end up when they scroll, align and anchor.
#include <gtest/gtest.h>

#include "host/Bitmap.h"
#include "host/ExtCtrls.h"
#include "host/Formtext.h"
#include "host/Scrolling.h"
#include "host/Win.h"
#include "tests/support/Input.h"

using namespace kw;

namespace {

TColor Rgb(TColor c) { return TColor(ColorToRGB(c)); }

// A shown top-level window of a class of our own, for controls that need a real parent window.
struct TTopWindow {
  HWND Wnd = nullptr;
  TTopWindow() {
    static ATOM atom = [] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof(wc);
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"KwExtCtrlsTestTop";
      return RegisterClassExW(&wc);
    }();
    EXPECT_NE(atom, 0);
    Wnd = CreateWindowExW(0, L"KwExtCtrlsTestTop", L"", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400, nullptr, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
    ShowWindow(Wnd, SW_SHOWNOACTIVATE);
  }
  ~TTopWindow() { DestroyWindow(Wnd); }
};

// The container the controls sit on: a child of the top window that fills itself with Color.
class THostPanel : public TCustomControl {
public:
  explicit THostPanel(TComponent* owner) : TCustomControl(owner) {
    FControlStyle.Include(csAcceptsControls);
    FControlStyle.Include(csOpaque);
    SetColor(clYellow);
  }

protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(Color());
    Canvas()->FillRect(ClientRect());
  }
};

struct THost {
  TTopWindow Top;
  THostPanel* Panel;
  THost() : Panel(new THostPanel(nullptr)) {
    Panel->SetParentWindow(Top.Wnd);
    Panel->SetBounds(0, 0, 400, 300);
    Panel->HandleNeeded();
  }
  ~THost() { delete Panel; }
};

// The control (or host) painted into a bitmap of its size.
std::unique_ptr<TBitmap> Snapshot(TControl* c) {
  auto bmp = std::make_unique<TBitmap>(c->Width(), c->Height());
  c->PaintTo(bmp->Canvas(), 0, 0);
  return bmp;
}

int CountColor(TBitmap& bmp, const TRect& r, TColor color) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      if (bmp.Canvas()->Pixels(x, y) == color) ++n;
  return n;
}

}  // namespace

TEST(Panel, PaintsBevelsFaceAndAlignedCaption) {
  int gdi = KwGdiTotal();
  THost host;
  auto* p = new TPanel(nullptr);
  p->SetParent(host.Panel);
  p->SetBounds(10, 10, 120, 60);
  p->SetBevelInner(bvLowered);
  p->SetBevelWidth(2);
  p->SetColor(clAqua);
  p->Font()->SetColor(clRed);
  p->SetCaption(L"WWW");
  {
    auto bmp = Snapshot(p);
    TCanvas* c = bmp->Canvas();
    // Outer raised bevel: two pixels of highlight top-left, shadow bottom-right.
    EXPECT_EQ(c->Pixels(0, 30), Rgb(clBtnHighlight));
    EXPECT_EQ(c->Pixels(1, 30), Rgb(clBtnHighlight));
    EXPECT_EQ(c->Pixels(60, 0), Rgb(clBtnHighlight));
    EXPECT_EQ(c->Pixels(119, 30), Rgb(clBtnShadow));
    EXPECT_EQ(c->Pixels(60, 58), Rgb(clBtnShadow));
    // The inner lowered bevel inside it has the colours the other way round.
    EXPECT_EQ(c->Pixels(2, 30), Rgb(clBtnShadow));
    EXPECT_EQ(c->Pixels(60, 3), Rgb(clBtnShadow));
    EXPECT_EQ(c->Pixels(117, 30), Rgb(clBtnHighlight));
    EXPECT_EQ(c->Pixels(8, 30), Rgb(clAqua));
    // The caption sits in the middle in the font's colour.
    EXPECT_GT(CountColor(*bmp, TRect(40, 20, 80, 40), Rgb(clRed)), 10);
    EXPECT_EQ(CountColor(*bmp, TRect(4, 4, 35, 56), Rgb(clRed)), 0);
  }
  p->SetAlignment(taLeftJustify);
  {
    auto bmp = Snapshot(p);
    EXPECT_GT(CountColor(*bmp, TRect(4, 20, 40, 40), Rgb(clRed)), 10);
    EXPECT_EQ(CountColor(*bmp, TRect(60, 4, 116, 56), Rgb(clRed)), 0);
  }
  // Right to left, the leading side is the right one.
  p->SetBiDiMode(bdRightToLeft);
  {
    auto bmp = Snapshot(p);
    EXPECT_GT(CountColor(*bmp, TRect(80, 20, 116, 40), Rgb(clRed)), 10);
    EXPECT_EQ(CountColor(*bmp, TRect(4, 4, 60, 56), Rgb(clRed)), 0);
  }
  p->SetBiDiMode(bdLeftToRight);
  // With the parent's background the face shows the host's colour; the bevels stay.
  p->SetParentBackground(true);
  p->SetCaption(L"");
  {
    auto bmp = Snapshot(p);
    EXPECT_EQ(bmp->Canvas()->Pixels(60, 30), Rgb(clYellow));
    EXPECT_EQ(bmp->Canvas()->Pixels(0, 30), Rgb(clBtnHighlight));
  }
  // Everything the painting made belongs to the panel and its host, and goes with them.
  delete host.Panel;
  host.Panel = nullptr;
  EXPECT_EQ(KwGdiTotal(), gdi);
}

TEST(Panel, AlignedChildrenSitInsideBevelsAndBorder) {
  THost host;
  auto* p = new TPanel(nullptr);
  p->SetParent(host.Panel);
  p->SetBounds(0, 0, 200, 100);
  p->SetBevelWidth(2);
  p->SetBorderWidth(3);
  p->SetColor(clAqua);
  auto* child = new TPanel(nullptr);
  child->SetParent(p);
  child->SetAlign(alClient);
  EXPECT_EQ(child->BoundsRect(), TRect(5, 5, 195, 95));
  // The border band between the bevels is the panel's face.
  auto bmp = Snapshot(p);
  EXPECT_EQ(bmp->Canvas()->Pixels(3, 50), Rgb(clAqua));
  EXPECT_EQ(bmp->Canvas()->Pixels(1, 50), Rgb(clBtnHighlight));
  p->SetBevelInner(bvRaised);
  EXPECT_EQ(child->BoundsRect(), TRect(7, 7, 193, 93));
  // A client edge narrows the client the frame is measured in.
  p->SetBorderStyle(bsSingle);
  EXPECT_EQ(p->ClientWidth(), 196);
  EXPECT_EQ(child->BoundsRect(), TRect(7, 7, 189, 89));
}

TEST(Shape, CircleKeepsToTheMiddleOfAWideBox) {
  THost host;
  auto* s = new TShape(nullptr);
  s->SetParent(host.Panel);
  s->SetBounds(20, 30, 100, 40);
  s->SetShape(stCircle);
  s->Brush()->SetColor(clRed);
  auto bmp = Snapshot(host.Panel);
  TCanvas* c = bmp->Canvas();
  EXPECT_EQ(c->Pixels(70, 50), Rgb(clRed));
  EXPECT_EQ(c->Pixels(56, 50), Rgb(clRed));
  // Outside the circle, inside the box: the parent shows through.
  EXPECT_EQ(c->Pixels(45, 50), Rgb(clYellow));
  EXPECT_EQ(c->Pixels(21, 31), Rgb(clYellow));
  EXPECT_EQ(c->Pixels(118, 68), Rgb(clYellow));
  EXPECT_EQ(c->Pixels(21, 68), Rgb(clYellow));
  // An ellipse fills the width; a brush change shows at the next paint.
  s->SetShape(stEllipse);
  s->Brush()->SetColor(clLime);
  bmp = Snapshot(host.Panel);
  EXPECT_EQ(bmp->Canvas()->Pixels(45, 50), Rgb(clLime));
  EXPECT_EQ(bmp->Canvas()->Pixels(21, 31), Rgb(clYellow));
}

TEST(Bevel, LinesAndBoxesInShadowAndHighlight) {
  THost host;
  auto* b = new TBevel(nullptr);
  b->SetParent(host.Panel);
  b->SetBounds(10, 10, 60, 30);
  auto bmp = Snapshot(host.Panel);
  EXPECT_EQ(bmp->Canvas()->Pixels(10, 25), Rgb(clBtnShadow));
  EXPECT_EQ(bmp->Canvas()->Pixels(40, 10), Rgb(clBtnShadow));
  EXPECT_EQ(bmp->Canvas()->Pixels(69, 25), Rgb(clBtnHighlight));
  EXPECT_EQ(bmp->Canvas()->Pixels(40, 39), Rgb(clBtnHighlight));
  EXPECT_EQ(bmp->Canvas()->Pixels(40, 25), Rgb(clYellow));
  b->SetShape(bsTopLine);
  b->SetStyle(bsRaised);
  bmp = Snapshot(host.Panel);
  EXPECT_EQ(bmp->Canvas()->Pixels(40, 10), Rgb(clBtnHighlight));
  EXPECT_EQ(bmp->Canvas()->Pixels(40, 11), Rgb(clBtnShadow));
  EXPECT_EQ(bmp->Canvas()->Pixels(40, 12), Rgb(clYellow));
  EXPECT_EQ(bmp->Canvas()->Pixels(40, 39), Rgb(clYellow));
}

TEST(PaintBox, DrawsAtItsPlaceInTheParent) {
  THost host;
  auto* box = new TPaintBox(nullptr);
  box->SetParent(host.Panel);
  box->SetBounds(30, 40, 50, 50);
  int calls = 0;
  box->OnPaint = [&](TObject* sender) {
    ++calls;
    EXPECT_EQ(sender, box);
    box->Canvas()->Brush()->SetColor(clBlue);
    box->Canvas()->FillRect(TRect(0, 0, 10, 10));
  };
  auto bmp = Snapshot(host.Panel);
  EXPECT_GE(calls, 1);
  EXPECT_EQ(bmp->Canvas()->Pixels(30, 40), Rgb(clBlue));
  EXPECT_EQ(bmp->Canvas()->Pixels(39, 49), Rgb(clBlue));
  EXPECT_EQ(bmp->Canvas()->Pixels(29, 40), Rgb(clYellow));
  EXPECT_EQ(bmp->Canvas()->Pixels(40, 50), Rgb(clYellow));
  box->Hide();
  calls = 0;
  bmp = Snapshot(host.Panel);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(bmp->Canvas()->Pixels(30, 40), Rgb(clYellow));
}

TEST(Image, PlacesThePictureByStretchCenterAndProportional) {
  THost host;
  auto* img = new TImage(nullptr);
  img->SetParent(host.Panel);
  img->SetBounds(0, 0, 80, 80);
  TBitmap pic(20, 10);
  pic.Canvas()->Brush()->SetColor(clRed);
  pic.Canvas()->FillRect(TRect(0, 0, 10, 10));
  pic.Canvas()->Brush()->SetColor(clBlue);
  pic.Canvas()->FillRect(TRect(10, 0, 20, 10));
  img->Picture()->SetGraphic(&pic);
  auto at = [&](int x, int y) {
    auto bmp = Snapshot(host.Panel);
    return bmp->Canvas()->Pixels(x, y);
  };
  EXPECT_EQ(at(5, 5), Rgb(clRed));
  EXPECT_EQ(at(15, 5), Rgb(clBlue));
  EXPECT_EQ(at(25, 5), Rgb(clYellow));
  // Transparent: the bitmap's bottom-left colour (red) lets the parent through.
  img->SetTransparent(true);
  EXPECT_EQ(at(5, 5), Rgb(clYellow));
  EXPECT_EQ(at(15, 5), Rgb(clBlue));
  img->SetTransparent(false);
  img->SetCenter(true);
  EXPECT_EQ(img->DestRect(), TRect(30, 35, 50, 45));
  EXPECT_EQ(at(31, 36), Rgb(clRed));
  EXPECT_EQ(at(29, 36), Rgb(clYellow));
  img->SetCenter(false);
  // Proportional alone does not enlarge a picture that fits.
  img->SetProportional(true);
  EXPECT_EQ(at(25, 5), Rgb(clYellow));
  img->SetProportional(false);
  img->SetStretch(true);
  EXPECT_EQ(at(10, 70), Rgb(clRed));
  EXPECT_EQ(at(70, 10), Rgb(clBlue));
  // Stretched keeping the shape: 80 x 40 at the top, then in the middle.
  img->SetProportional(true);
  EXPECT_EQ(at(70, 30), Rgb(clBlue));
  EXPECT_EQ(at(10, 50), Rgb(clYellow));
  img->SetCenter(true);
  EXPECT_EQ(at(10, 25), Rgb(clRed));
  EXPECT_EQ(at(10, 10), Rgb(clYellow));
  EXPECT_EQ(at(70, 55), Rgb(clBlue));
  // A picture too big is shrunk to fit even without Stretch.
  img->SetStretch(false);
  img->SetCenter(false);
  pic.SetSize(160, 40);
  img->Picture()->SetGraphic(&pic);
  EXPECT_EQ(img->DestRect(), TRect(0, 0, 80, 20));
  img->SetAutoSize(true);
  EXPECT_EQ(img->Width(), 160);
  EXPECT_EQ(img->Height(), 40);
}

namespace {

// A scroll box of 200 x 150 on the host, with a tall child that makes it scroll.
struct TScrollFixture {
  THost Host;
  TScrollBox* Box;
  TPanel* Tall;
  TScrollFixture() {
    Box = new TScrollBox(nullptr);
    Box->SetParent(Host.Panel);
    Box->SetBounds(0, 0, 200, 150);
    Tall = AddChild(10, 10, 50, 400);
  }
  TPanel* AddChild(int left, int top, int width, int height) {
    auto* c = new TPanel(nullptr);
    c->SetParent(Box);
    c->SetBounds(left, top, width, height);
    return c;
  }
  SCROLLINFO Info(int bar) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    GetScrollInfo(Box->Handle(), bar, &si);
    return si;
  }
  bool Shown(LONG_PTR bit) { return (GetWindowLongPtrW(Box->Handle(), GWL_STYLE) & bit) != 0; }
};

}  // namespace

TEST(ScrollBox, RangeFollowsTheChildrenAndPositionMovesThem) {
  TScrollFixture f;
  TControlScrollBar* v = f.Box->VertScrollBar();
  int cxV = GetSystemMetrics(SM_CXVSCROLL);
  EXPECT_EQ(v->Range(), 410);
  EXPECT_TRUE(f.Shown(WS_VSCROLL));
  EXPECT_FALSE(f.Shown(WS_HSCROLL));
  EXPECT_EQ(f.Box->ClientWidth(), 196 - cxV);
  EXPECT_EQ(f.Box->ClientHeight(), 146);
  SCROLLINFO si = f.Info(SB_VERT);
  EXPECT_EQ(si.nMax, 409);
  EXPECT_EQ(si.nPage, 146u);
  // A child anchored to the right edge keeps its distance, scrolled or not.
  TPanel* right = f.AddChild(f.Box->ClientWidth() - 40, 20, 30, 20);
  right->SetAnchors({akTop, akRight});
  v->SetPosition(50);
  EXPECT_EQ(f.Info(SB_VERT).nPos, 50);
  EXPECT_EQ(f.Tall->Top(), -40);
  EXPECT_EQ(right->Top(), -30);
  f.Box->SetWidth(300);
  EXPECT_EQ(right->Left(), f.Box->ClientWidth() - 40);
  EXPECT_EQ(right->Top(), -30);
  EXPECT_EQ(f.Tall->Top(), -40);
  v->SetPosition(0);
  EXPECT_EQ(right->Top(), 20);
  EXPECT_EQ(right->Left(), 296 - cxV - 40);
  // The range grows with a child further down and shrinks when the tall one goes.
  TPanel* low = f.AddChild(10, 500, 20, 30);
  EXPECT_EQ(v->Range(), 530);
  v->SetPosition(1000);
  EXPECT_EQ(v->Position(), 530 - 146);
  delete low;
  EXPECT_EQ(v->Range(), 410);
  EXPECT_EQ(v->Position(), 410 - 146);
  EXPECT_EQ(f.Tall->Top(), 10 - (410 - 146));
  delete f.Tall;
  EXPECT_EQ(v->Range(), 40);
  EXPECT_EQ(v->Position(), 0);
  EXPECT_FALSE(f.Shown(WS_VSCROLL));
  EXPECT_EQ(right->Top(), 20);
  EXPECT_EQ(right->Left(), f.Box->ClientWidth() - 40);
}

TEST(ScrollBox, ScrollMessagesWheelAndScrollInView) {
  TScrollFixture f;
  TControlScrollBar* v = f.Box->VertScrollBar();
  HWND wnd = f.Box->Handle();
  SendMessageW(wnd, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(v->Position(), 8);
  EXPECT_EQ(f.Tall->Top(), 2);
  v->SetIncrement(20);
  SendMessageW(wnd, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(v->Position(), 28);
  SendMessageW(wnd, WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(v->Position(), 28 + 146);
  SendMessageW(wnd, WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(v->Position(), 410 - 146);
  SendMessageW(wnd, WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(v->Position(), 0);
  EXPECT_EQ(f.Tall->Top(), 10);
  // A notch towards the user goes three increments down; the horizontal bar is not shown.
  testsupport::Wheel(wnd, -WHEEL_DELTA, 20, 20);
  EXPECT_EQ(v->Position(), 60);
  testsupport::Wheel(wnd, WHEEL_DELTA, 20, 20, {ssShift});
  EXPECT_EQ(v->Position(), 60);
  EXPECT_EQ(f.Box->HorzScrollBar()->Position(), 0);
  // A child below the view comes up until its bottom shows; one above comes down to the top.
  TPanel* low = f.AddChild(10, 300, 20, 40);
  f.Box->ScrollInView(low);
  EXPECT_EQ(low->Top() + low->Height(), f.Box->ClientHeight());
  EXPECT_EQ(v->Position(), 60 + 340 - 146);
  f.Box->ScrollInView(f.Tall);
  EXPECT_EQ(f.Tall->Top(), 0);
  EXPECT_EQ(v->Position(), 10);
  // Without AutoScroll the bars go and the children return.
  f.Box->SetAutoScroll(false);
  EXPECT_EQ(v->Range(), 0);
  EXPECT_FALSE(f.Shown(WS_VSCROLL));
  EXPECT_EQ(f.Tall->Top(), 10);
}

TEST(ExtCtrlsStreaming, PublishedStateRoundTrips) {
  THost host;
  auto* p = new TPanel(nullptr);
  p->SetName(L"Root");
  p->SetParent(host.Panel);
  p->SetBevelOuter(bvLowered);
  p->SetBorderStyle(bsSingle);
  p->SetVerticalAlignment(taAlignTop);
  auto* box = new TScrollBox(p);
  box->SetName(L"Box");
  box->SetParent(p);
  box->VertScrollBar()->SetIncrement(20);
  box->HorzScrollBar()->SetRange(500);
  auto* shape = new TShape(p);
  shape->SetName(L"Dot");
  shape->SetParent(box);
  shape->SetShape(stCircle);
  shape->Brush()->SetColor(clRed);
  TBytesStream binary, text;
  binary.WriteComponent(p);
  binary.SetPosition(0);
  ObjectBinaryToText(binary, text);
  TBytes bytes = text.Bytes();
  std::string written(bytes.begin(), bytes.end());
  for (const char* expected : {"BevelOuter = bvLowered", "BorderStyle = bsSingle", "VerticalAlignment = taAlignTop",
                               "VertScrollBar.Increment = 20", "HorzScrollBar.Range = 500", "Shape = stCircle",
                               "Brush.Color = clRed"})
    EXPECT_NE(written.find(expected), std::string::npos) << expected << "\n" << written;
  // Defaults and computed ranges stay out.
  for (const char* absent : {"AutoScroll", "VertScrollBar.Range", "Color = clBtnFace", "BevelWidth"})
    EXPECT_EQ(written.find(absent), std::string::npos) << absent << "\n" << written;

  auto* copy = new TPanel(nullptr);
  copy->SetParent(host.Panel);
  binary.SetPosition(0);
  binary.ReadComponent(copy);
  EXPECT_EQ(copy->BevelOuter(), bvLowered);
  EXPECT_EQ(copy->BorderStyle(), bsSingle);
  auto* box2 = dynamic_cast<TScrollBox*>(copy->FindComponent(L"Box"));
  ASSERT_NE(box2, nullptr);
  EXPECT_EQ(box2->Parent(), copy);
  EXPECT_EQ(box2->VertScrollBar()->Increment(), 20);
  EXPECT_EQ(box2->HorzScrollBar()->Range(), 500);
  EXPECT_TRUE(box2->AutoScroll());
  auto* shape2 = dynamic_cast<TShape*>(copy->FindComponent(L"Dot"));
  ASSERT_NE(shape2, nullptr);
  EXPECT_EQ(shape2->Parent(), box2);
  EXPECT_EQ(shape2->Shape(), stCircle);
  EXPECT_EQ(shape2->Brush()->Color(), clRed);
}
