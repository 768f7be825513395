// Painting from style sets and descriptors by pixels: backgrounds through a display package
// double, the background question to the parent chain under a transparent control, the face
// painters fed by brushes and pens; the descriptors' defaults, Assign rules and text round trip.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/Kwlinks.h"
#include "host/Controls.h"
#include "host/Filer.h"
#include "host/Forms.h"
#include "host/Formtext.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"
#include "skin/Kwdrawutil.h"
#include "skin/Kwshapes.h"
#include "tests/skin/Surface.h"
#include "tests/support/Counters.h"

using namespace kw;
using namespace kw::testskin;

namespace {

struct TTestBGItem : TKwStyleItemBackGround {
  const TKwStyleList* Owner;
  String Name;
  TKwBackGroundStyle BGStyle;
  TColor Start, End, Solid;
  const TKwStyleList* List() const override { return Owner; }
  TColor StartGraColor() const override { return Start; }
  TColor EndGraColor() const override { return End; }
  TColor SolidColor() const override { return Solid; }
  TKwBackGroundStyle Style() const override { return BGStyle; }
  bool Transparent() const override { return false; }
  TKwMemoryImage* Image() const override { return nullptr; }
};

// The background list of a display package as the sets see it.
struct TTestBGList : TKwStyleListBackGround {
  std::vector<std::unique_ptr<TTestBGItem>> Items;
  TKwStyleItemBackGround* Find(const String& name) override {
    for (auto& item : Items)
      if (!Trim(name).empty() && SameText(item->Name, name)) return item.get();
    return nullptr;
  }
  void Add(const String& name, TKwBackGroundStyle style, TColor start, TColor end, TColor solid) {
    auto item = std::make_unique<TTestBGItem>();
    item->Owner = this;
    item->Name = name;
    item->BGStyle = style;
    item->Start = start;
    item->End = end;
    item->Solid = solid;
    Items.push_back(std::move(item));
    KwUnCheckNilSetsBackGround();
  }
};

TKwStyleLists GLists;
const TKwStyleLists* TestLists() { return GLists.BackGrounds ? &GLists : nullptr; }

class PaintSets : public ::testing::Test {
protected:
  void SetUp() override {
    KwInitStyleSets();
    KwInitMainUnit();
    GLists.BackGrounds = &list;
    KwSetStyleListsAccessor(&TestLists);
    KwUnCheckNilSetsBackGround();
  }
  void TearDown() override {
    KwUnCheckAllSetsBackGround(&list);
    KwUnCheckNilSetsBackGround();
    KwSetStyleListsAccessor(nullptr);
    GLists = {};
  }
  TTestBGList list;
};

// The gradient drawn straight: what the set-taking paths must reproduce.
std::unique_ptr<TSurface> Reference(int w, int h, TKwBackGroundStyle style, TColor a, TColor b) {
  auto s = std::make_unique<TSurface>(w, h);
  KwDrawGradient(s->C(), TRect(0, 0, w, h), style, a, b, clNone, nullptr, false, 0);
  return s;
}

// Every pixel of got equals the reference's at the same place moved by (dx, dy).
::testing::AssertionResult SameAs(TSurface& got, const std::unique_ptr<TSurface>& ref, int dx, int dy) {
  for (int y = 0; y < got.H(); y++)
    for (int x = 0; x < got.W(); x++)
      if (got.At(x, y) != ref->At(x + dx, y + dy))
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs from the reference at ("
                                             << x + dx << ", " << y + dy << ")";
  return ::testing::AssertionSuccess();
}

// Paints on a canvas set to odd values and checks that every one of them comes back.
template <class F>
::testing::AssertionResult KeepsCanvasState(F paint) {
  TSurface s(120, 100);
  SetOddValues(s.C());
  TCanvasValues before = TCanvasValues::Of(s.C());
  paint(s.C());
  if (TCanvasValues::Of(s.C()) == before) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << TCanvasValues::Of(s.C()).Describe() << " instead of " << before.Describe();
}

TColor Sys(TColor c) { return TColor(ColorToRGB(c)); }

}  // namespace

TEST_F(PaintSets, BackGroundSetPaintsItsGradientElseItsDefaultSetsColour) {
  list.Add(L"Sky", bgsDown, clWhite, clBlack, clYellow);
  TKwSetBackGround set(KwSetBGBlack, false);
  set.SetName(L"sky");
  testsupport::TLeakCheck leaks;
  TSurface s(10, 10, clFuchsia);
  KwPaintBackGround(s.C(), TRect(0, 0, 10, 10), &set);
  EXPECT_TRUE(SameAs(s, Reference(10, 10, bgsDown, clWhite, clBlack), 0, 0));
  EXPECT_EQ(s.At(5, 9), Rgb(26, 26, 26)) << "the last band one step short of black";
  KwPaintBackGroundEx(s.C(), TRect(0, 0, 10, 10), &set, 2);
  EXPECT_EQ(s.At(5, 4), clWhite);
  EXPECT_EQ(s.At(5, 5), Rgb(128, 128, 128)) << "the steps limit reaches the gradient";
  EXPECT_TRUE(KeepsCanvasState([&](TCanvas* c) { KwPaintBackGroundEx(c, TRect(0, 0, 10, 10), &set, 3); }));

  set.SetName(L"Nowhere");
  KwPaintBackGround(s.C(), TRect(0, 0, 10, 10), &set);
  EXPECT_EQ(s.Of(clBlack), 100) << "the default set's built-in colour";
  list.Add(L"Dft_BGBlack", bgsSolid, clWhite, clWhite, clRed);
  KwPaintBackGround(s.C(), TRect(0, 0, 10, 10), &set);
  EXPECT_EQ(s.Of(clRed), 100) << "the default set's standard name in the package";
  KwPaintBackGround(s.C(), TRect(0, 0, 10, 10), nullptr);
  KwPaintBackGround(s.C(), TRect(6, 6, 2, 2), &set);
  EXPECT_EQ(s.Of(clRed), 100) << "no set, or an inverted rectangle, paints nothing";
}

namespace {

// A window with a one-pixel border (window and client rectangles differ) that answers the
// background question with its own set, or does not answer.
class TOwnerDouble : public TWinControl {
public:
  using TWinControl::TWinControl;
  TKwSetBackGround Set;
  bool Answers = true;
  int Questions = 0;

protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    params.Style |= WS_BORDER;
  }
  void WndProc(TMessage& m) override {
    if (m.Msg != KwMasterMessage || m.WParam != std::uintptr_t(KwEvtAskBackGround)) return TWinControl::WndProc(m);
    ++Questions;
    if (Answers) *reinterpret_cast<TKwBackGroundAnswer*>(m.LParam) = {&Set, this, true};
  }
};

// A form holding the owner (102 x 82 at 10, 10), which holds a plain child (40 x 20 at 20, 30).
struct TScene {
  TForm* Form = KwCreate<TForm>(nullptr);
  TOwnerDouble* Owner = new TOwnerDouble(Form);
  TWinControl* Child = new TWinControl(Form);
  explicit TScene(bool windows = true) {
    Form->SetBounds(0, 0, 300, 250);
    Owner->SetBounds(10, 10, 102, 82);
    Owner->SetParent(Form);
    Child->SetBounds(20, 30, 40, 20);
    Child->SetParent(Owner);
    if (windows) Child->HandleNeeded();
  }
  ~TScene() { delete Form; }
  void PaintChild(TSurface& s, const TRect& r, const TRect& exclude = TRect()) {
    KwPaintTransparentBackGround(s.C(), r, exclude, Child, false, false, nullptr, true);
  }
};

}  // namespace

TEST_F(PaintSets, TransparentControlShowsTheBackGroundUnderItInPlace) {
  list.Add(L"Rows", bgsDown, clWhite, clBlue, clYellow);
  list.Add(L"Cols", bgsRight, clRed, clWhite, clYellow);
  list.Add(L"Dft_BackGround", bgsDown, clBlack, clLime, clYellow);
  TScene scene;
  testsupport::TLeakCheck leaks;
  TSurface s(40, 20, clFuchsia);
  // The owner answers with its window, border included: the child sees its gradient from one
  // pixel further in than the child's place in the client area.
  scene.Owner->Set.SetName(L"Rows");
  scene.PaintChild(s, TRect(0, 0, 40, 20));
  EXPECT_EQ(scene.Owner->Questions, 1);
  EXPECT_TRUE(SameAs(s, Reference(102, 82, bgsDown, clWhite, clBlue), 21, 31));
  scene.Owner->Set.SetName(L"Cols");
  scene.PaintChild(s, TRect(0, 0, 40, 20));
  EXPECT_TRUE(SameAs(s, Reference(102, 82, bgsRight, clRed, clWhite), 21, 31));

  s.Fill(clFuchsia);
  scene.PaintChild(s, TRect(0, 0, 30, 20), TRect(5, 5, 10, 10));
  EXPECT_EQ(s.Of(clFuchsia), 10 * 20 + 5 * 5) << "only r, and never the excluded part";
  EXPECT_EQ(s.At(7, 7), clFuchsia);
  EXPECT_TRUE(KeepsCanvasState([&](TCanvas* c) {
    KwPaintTransparentBackGround(c, TRect(0, 0, 30, 20), TRect(5, 5, 10, 10), scene.Child, false, false, nullptr, true);
  }));

  // Nobody answers: the standard background over the owner's client area.
  scene.Owner->Answers = false;
  scene.PaintChild(s, TRect(0, 0, 40, 20));
  EXPECT_TRUE(SameAs(s, Reference(100, 80, bgsDown, clBlack, clLime), 20, 30));
  // While the owner is painted into another context, its whole window stands at the origin.
  scene.Owner->SetControlState(scene.Owner->ControlState() + TControlState{csPaintCopy});
  scene.PaintChild(s, TRect(0, 0, 40, 20));
  scene.Owner->SetControlState(scene.Owner->ControlState() - TControlState{csPaintCopy});
  EXPECT_TRUE(SameAs(s, Reference(102, 82, bgsDown, clBlack, clLime), 20, 30));

  // Before any window exists the host's geometry places them, and painting makes none.
  TScene bare(false);
  bare.Owner->Set.SetName(L"Rows");
  bare.PaintChild(s, TRect(0, 0, 40, 20));
  EXPECT_FALSE(bare.Form->HandleAllocated());
  EXPECT_TRUE(SameAs(s, Reference(102, 82, bgsDown, clWhite, clBlue), 20, 30));
}

TEST_F(PaintSets, AControlAskingItselfPaintsTheGivenSet) {
  list.Add(L"Rows", bgsDown, clWhite, clBlue, clYellow);
  TScene scene;
  scene.Owner->Set.SetName(L"Dft_BackGround");  // its answer only says "found"
  TKwSetBackGround set;
  set.SetName(L"Rows");
  TSurface s(100, 80, clFuchsia);
  KwPaintTransparentBackGround(s.C(), TRect(0, 0, 100, 80), TRect(), scene.Owner, false, false, &set, false);
  EXPECT_EQ(scene.Owner->Questions, 1);
  EXPECT_TRUE(SameAs(s, Reference(102, 82, bgsDown, clWhite, clBlue), 1, 1)) << "found: over its window";
  TSurface c(40, 20, clFuchsia);
  KwPaintTransparentBackGround(c.C(), TRect(0, 0, 40, 20), TRect(), scene.Child, false, false, &set, false);
  EXPECT_TRUE(SameAs(c, Reference(40, 20, bgsDown, clWhite, clBlue), 0, 0)) << "not found: over its client area";
  // A form nobody answers for paints over its reference rectangle, here its window.
  RECT wr;
  ::GetWindowRect(scene.Form->Handle(), &wr);
  TSurface f(wr.right - wr.left, wr.bottom - wr.top, clFuchsia);
  KwPaintTransparentBackGround(f.C(), TRect(0, 0, f.W(), f.H()), TRect(), scene.Form, true, true, &set, false);
  EXPECT_TRUE(SameAs(f, Reference(f.W(), f.H(), bgsDown, clWhite, clBlue), 0, 0));
}

TEST_F(PaintSets, FacePaintersTakeTheirSetsAndDescriptors) {
  list.Add(L"Rows", bgsDown, clWhite, clBlue, clYellow);
  list.Add(L"Red", bgsSolid, clWhite, clWhite, clRed);
  TKwSetBackGround unnamed, red, rows;
  red.SetName(L"Red");
  rows.SetName(L"Rows");
  auto inner = Reference(18, 18, bgsDown, clWhite, clBlue);
  testsupport::TLeakCheck leaks;
  TSurface s(20, 20, clFuchsia);
  TKwFullShape shape;
  shape.SetBorderStyle(bos3D);
  shape.Brush()->SetBackGround()->SetName(L"Rows");
  // A background that names no package set leaves the brush its own: here a gradient.
  KwPaintFullShape(s.C(), TRect(0, 0, 20, 20), &shape, &unnamed);
  EXPECT_EQ(s.At(0, 10), Sys(clBtnHighlight));
  EXPECT_EQ(s.At(19, 10), Sys(clBtnShadow));
  EXPECT_EQ(s.At(10, 1), inner->At(9, 0));
  EXPECT_EQ(s.At(10, 18), inner->At(9, 17));
  shape.SetDown(true);
  KwPaintFullShape(s.C(), TRect(0, 0, 20, 20), &shape, &red);
  EXPECT_EQ(s.At(10, 10), clRed) << "a named background wins over the brush's";
  EXPECT_EQ(s.At(0, 10), Sys(clBtnShadow)) << "pressed: the border colours change places";

  // No descriptors: the background fills, a single border in the standard light grey.
  KwPaintShape(s.C(), TRect(0, 0, 20, 20), bosSingle, 1, shaRectangle, false, sorDefault, false, &red, nullptr,
               nullptr, nullptr, false, 0);
  EXPECT_EQ(s.At(0, 0), Rgb(0xE2, 0xE2, 0xE2));
  EXPECT_EQ(s.Of(clRed), 18 * 18);

  // Buttons: a 3D box around the background's gradient; a single border in the pen set's colour.
  KwPaintShapeEx(s.C(), TRect(0, 0, 20, 20), bos3D, shaRectangle, false, sorDefault, false, &rows, nullptr, 3);
  EXPECT_EQ(s.At(0, 10), Sys(clBtnHighlight));
  EXPECT_EQ(s.At(10, 17), inner->At(9, 16));
  TKwSetColor box;
  TKwSetBackGround light(KwSetBGLight, false);
  KwPaintShapeEx(s.C(), TRect(0, 0, 20, 20), bosSingle, shaRectangle, false, sorDefault, false, &light, &box, 3);
  EXPECT_EQ(s.At(1, 10), clBlack);
  EXPECT_EQ(s.At(3, 10), clWhite);

  // Shadows: filled for a solid brush, only the outline for a hatched one.
  shape.SetShape(shaEllipse);
  s.Fill(clWhite);
  KwPaintFullShapeShadow(s.C(), TRect(0, 0, 15, 15), &shape);
  EXPECT_EQ(s.At(7, 7), Sys(clBtnShadow));
  EXPECT_EQ(s.At(0, 0), clWhite);
  shape.Brush()->SetStyle(brsBDiagonal);
  s.Fill(clWhite);
  KwPaintFullShapeShadow(s.C(), TRect(0, 0, 15, 15), &shape);
  EXPECT_EQ(s.At(7, 7), clWhite);
  EXPECT_EQ(s.At(0, 7), Sys(clBtnShadow));

  shape.SetShape(shaStar);
  EXPECT_TRUE(KeepsCanvasState([&](TCanvas* c) { KwPaintFullShape(c, TRect(0, 0, 50, 40), &shape, &unnamed); }));
  EXPECT_TRUE(KeepsCanvasState([&](TCanvas* c) { KwPaintFullShapeShadow(c, TRect(0, 0, 50, 40), &shape); }));
  EXPECT_TRUE(KeepsCanvasState([&](TCanvas* c) {
    KwPaintShapeEx(c, TRect(0, 0, 50, 40), bos3D, shaOctagon, true, sorLeft, true, &rows, &box, 2);
  }));
}

// --- descriptors -----------------------------------------------------------------------------

TEST(ShapeDescriptors, DefaultsAndChangesOfOwnedParts) {
  TKwFullShape full;
  EXPECT_FALSE(full.Visible());
  EXPECT_EQ(full.BorderStyle(), bosSingle);
  EXPECT_EQ(full.Pen()->Style(), pesClear);
  EXPECT_EQ(full.Pen()->SetColor()->DefaultSetColor(), KwSetColBox);
  EXPECT_EQ(full.Brush()->Style(), brsSolid);
  EXPECT_EQ(full.Brush()->SetBackGround()->DefaultSetBackGround(), KwSetBackGround);
  EXPECT_EQ(TKwButtonShape().BorderStyle(), bos3D);
  TKwSingleCheck single;
  EXPECT_EQ(single.Style(), cksImage);
  EXPECT_EQ(single.Shape()->Width(), 14);
  EXPECT_EQ(single.Shape()->SetBGGrayed()->DefaultSetBackGround(), KwSetCkGrayedBG);
  EXPECT_EQ(single.Shape()->SetBGChecked()->DefaultSetBackGround(), KwSetCkCheckedBG);
  EXPECT_EQ(single.Shape()->SetBGUnChecked()->DefaultSetBackGround(), KwSetCkUnCheckedBG);
  full.Pen()->SetWidth(-5);
  EXPECT_EQ(full.Pen()->Width(), 1);

  int changes = 0, checkChanges = 0, bgChanges = 0;
  full.OnChange = [&](TObject* sender) { changes += sender == &full; };
  full.Brush()->SetBackGround()->SetName(L"Paper");
  full.Pen()->SetColor()->SetName(L"Ink");
  full.Pen()->SetWidth(2);
  full.Pen()->SetWidth(2);
  EXPECT_EQ(changes, 3);
  single.OnChange = [&](TObject*) { ++checkChanges; };
  single.Shape()->SetBGChecked()->SetName(L"Tick");
  single.Shape()->Pen()->SetStyle(pesDot);
  EXPECT_EQ(checkChanges, 2);
  TKwBGsButton bgs;
  bgs.OnChange = [&](TObject*) { ++bgChanges; };
  bgs.SetBGDisabled()->SetName(L"Greyed");
  EXPECT_EQ(bgChanges, 1);
}

TEST(ShapeDescriptors, AssignRules) {
  int changes = 0;
  auto count = [&](TObject*) { ++changes; };
  // Brush and pen: a copy only when something differs (set names letter case aside), one change.
  TKwBrush a, b;
  a.SetBackGround()->SetName(L"Paper");
  b.SetBackGround()->SetName(L"PAPER");
  a.OnChange = count;
  a.Assign(&b);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(a.SetBackGround()->Name(), L"Paper") << "not copied";
  b.SetStyle(brsGrid);
  a.Assign(&b);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(a.SetBackGround()->Name(), L"PAPER");
  TKwPen p, q;
  p.OnChange = count;
  q.SetWidth(4);
  q.SetColor()->SetName(L"Ink");
  p.Assign(&q);
  p.Assign(&q);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(p.SetColor()->Name(), L"Ink");

  // Full shapes: everything copied, a change only for the outline.
  TKwFullShape f, g;
  f.OnChange = count;
  g.SetBorderStyle(bos3D);
  g.Pen()->SetWidth(3);
  f.Assign(&g);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(f.BorderStyle(), bos3D);
  EXPECT_EQ(f.Pen()->Width(), 3);
  g.SetShape(shaStar);
  g.SetOrientation(sorLeft);
  f.Assign(&g);
  EXPECT_EQ(changes, 3);
  f.SetBorderWidth(5);
  EXPECT_EQ(changes, 4) << "the owner's handler is back after the copy";

  // Button backgrounds and check marks: one change always.
  TKwBGsButton x, y;
  x.OnChange = count;
  x.Assign(&y);
  y.SetBGOver()->SetName(L"Hot");
  x.Assign(&y);
  EXPECT_EQ(changes, 6);
  EXPECT_EQ(x.SetBGOver()->Name(), L"Hot");
  TKwSingleCheck s1, s2;
  s1.OnChange = count;
  s2.Shape()->SetBGGrayed()->SetName(L"Half");
  s2.Shape()->SetHeight(9);
  s1.Assign(&s2);
  EXPECT_EQ(changes, 7);
  EXPECT_EQ(s1.Shape()->SetBGGrayed()->Name(), L"Half");
  EXPECT_EQ(s1.Shape()->Height(), 9);
  EXPECT_THROW(a.Assign(&p), EConvertError);
}

namespace {

class TDescriptorHolder : public TComponent {
  KW_CLASS(TDescriptorHolder, TComponent)
  using TComponent::TComponent;
  TKwFullShape* FullShape() const { return FFull.get(); }
  void SetFullShape(const TKwFullShape* v) { FFull->Assign(v); }
  TKwButtonShape* ButtonShape() const { return FButton.get(); }
  void SetButtonShape(const TKwButtonShape* v) { FButton->Assign(v); }
  TKwBGsButton* BGsButton() const { return FBGs.get(); }
  void SetBGsButton(const TKwBGsButton* v) { FBGs->Assign(v); }
  TKwSingleCheck* Check() const { return FCheck.get(); }
  void SetCheck(const TKwSingleCheck* v) { FCheck->Assign(v); }

private:
  std::unique_ptr<TKwFullShape> FFull = std::make_unique<TKwFullShape>(this);
  std::unique_ptr<TKwButtonShape> FButton = std::make_unique<TKwButtonShape>(this);
  std::unique_ptr<TKwBGsButton> FBGs = std::make_unique<TKwBGsButton>(this);
  std::unique_ptr<TKwSingleCheck> FCheck = std::make_unique<TKwSingleCheck>();
};

KW_BEGIN_CLASS(TDescriptorHolder, TComponent) {
  b.Prop(L"FullShape", &TDescriptorHolder::FullShape, &TDescriptorHolder::SetFullShape);
  b.Prop(L"ButtonShape", &TDescriptorHolder::ButtonShape, &TDescriptorHolder::SetButtonShape);
  b.Prop(L"BGsButton", &TDescriptorHolder::BGsButton, &TDescriptorHolder::SetBGsButton);
  b.Prop(L"Check", &TDescriptorHolder::Check, &TDescriptorHolder::SetCheck);
}

std::string ToText(TComponent* root) {
  TBytesStream bin, text;
  TWriter(bin).WriteRootComponent(root);
  bin.SetPosition(0);
  ObjectBinaryToText(bin, text);
  TBytes b = text.Bytes();
  return std::string(b.begin(), b.end());
}

}  // namespace

TEST(ShapeDescriptors, PublishedPropertiesSurviveATextFormRoundTrip) {
  auto holder = std::make_unique<TDescriptorHolder>(nullptr);
  holder->SetName(L"Holder");
  std::string plain = ToText(holder.get());
  EXPECT_EQ(plain.find("Shape."), std::string::npos) << "defaults are not written\n" << plain;

  TKwFullShape* f = holder->FullShape();
  f->SetVisible(true);
  f->SetShape(shaHexagon);
  f->SetBorderWidth(0);
  f->Brush()->SetStyle(brsVertical);
  f->Brush()->SetBackGround()->SetName(L"Paper");
  f->Pen()->SetStyle(pesDashDot);
  f->Pen()->SetWidth(3);
  holder->ButtonShape()->SetMarginLeftRight(4);
  holder->BGsButton()->SetBGExclusive()->SetName(L"Only");
  holder->Check()->SetStyle(cksText);
  holder->Check()->Shape()->SetBGUnChecked()->SetName(L"Empty");
  std::string text = ToText(holder.get());
  for (const char* line : {"FullShape.Brush.SetBackGround.Name = 'Paper'", "FullShape.Pen.Style = pesDashDot",
                           "FullShape.Shape = shaHexagon", "Check.Shape.SetBGUnChecked.Name = 'Empty'"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

  TBytesStream in, bin;
  in.WriteBuffer(text.data(), Int64(text.size()));
  in.SetPosition(0);
  ObjectTextToBinary(in, bin);
  bin.SetPosition(0);
  auto copy = std::make_unique<TDescriptorHolder>(nullptr);
  TReader(bin).ReadRootComponent(copy.get());
  TKwFullShape* c = copy->FullShape();
  EXPECT_TRUE(c->Visible());
  EXPECT_EQ(c->Shape(), shaHexagon);
  EXPECT_EQ(c->BorderWidth(), 0);
  EXPECT_EQ(c->Brush()->Style(), brsVertical);
  EXPECT_EQ(c->Brush()->SetBackGround()->Name(), L"Paper");
  EXPECT_EQ(c->Pen()->Width(), 3);
  EXPECT_EQ(copy->ButtonShape()->MarginLeftRight(), 4);
  EXPECT_EQ(copy->BGsButton()->SetBGExclusive()->Name(), L"Only");
  EXPECT_EQ(copy->Check()->Style(), cksText);
  EXPECT_EQ(copy->Check()->Shape()->SetBGUnChecked()->Name(), L"Empty");
  EXPECT_EQ(ToText(copy.get()), text);
}
