// Painting from style sets and descriptors by pixels: backgrounds resolved through a display
// package double, the background question to the parent chain under a transparent control,
// the face painters fed by brush and pen descriptors; and the set-owning descriptors' defaults,
// Assign rules, change wiring and text form round trip.
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
#include "skin/Kwsets.h"
#include "skin/Kwshapes.h"
#include "tests/skin/Surface.h"
#include "tests/support/Counters.h"

using namespace kw;
using namespace kw::testskin;

namespace {

class TTestBGList;

class TTestBGItem : public TKwStyleItemBackGround {
public:
  TTestBGItem(TTestBGList* list, String name) : FList(list), Name(std::move(name)) {}
  const TKwStyleList* List() const override;
  TColor StartGraColor() const override { return Start; }
  TColor EndGraColor() const override { return End; }
  TColor SolidColor() const override { return Solid; }
  TKwBackGroundStyle Style() const override { return BGStyle; }
  bool Transparent() const override { return false; }
  TKwMemoryImage* Image() const override { return nullptr; }
  TTestBGList* FList;
  String Name;
  TColor Start = clWhite, End = clBlack, Solid = clYellow;
  TKwBackGroundStyle BGStyle = bgsSolid;
};

// The background list of a display package as the sets see it.
class TTestBGList : public TKwStyleListBackGround {
public:
  TKwStyleItemBackGround* Find(const String& name) override {
    for (auto& item : items)
      if (!Trim(name).empty() && SameText(item->Name, name)) return item.get();
    return nullptr;
  }
  TTestBGItem* Add(const String& name, TKwBackGroundStyle style, TColor start, TColor end, TColor solid) {
    items.push_back(std::make_unique<TTestBGItem>(this, name));
    TTestBGItem* item = items.back().get();
    item->BGStyle = style;
    item->Start = start;
    item->End = end;
    item->Solid = solid;
    KwUnCheckNilSetsBackGround();
    return item;
  }
  std::vector<std::unique_ptr<TTestBGItem>> items;
};

const TKwStyleList* TTestBGItem::List() const { return FList; }

TTestBGList* GList = nullptr;
TKwStyleLists GLists;
const TKwStyleLists* TestLists() { return GList ? &GLists : nullptr; }

class PaintSets : public ::testing::Test {
protected:
  void SetUp() override {
    KwInitStyleSets();
    KwInitMainUnit();
    list = std::make_unique<TTestBGList>();
    GList = list.get();
    GLists.BackGrounds = list.get();
    KwSetStyleListsAccessor(&TestLists);
    KwUnCheckNilSetsBackGround();
  }
  void TearDown() override {
    KwUnCheckAllSetsBackGround(list.get());
    KwUnCheckNilSetsBackGround();
    KwSetStyleListsAccessor(nullptr);
    GList = nullptr;
    GLists = {};
  }
  // The gradient drawn straight, as the reference the set-taking paths must reproduce.
  static std::unique_ptr<TSurface> Reference(int w, int h, TKwBackGroundStyle style, TColor a, TColor b) {
    auto s = std::make_unique<TSurface>(w, h);
    KwDrawGradient(s->C(), TRect(0, 0, w, h), style, a, b, clNone, nullptr, false, 0);
    return s;
  }
  std::unique_ptr<TTestBGList> list;
};

// Every pixel of got equals the reference at the same place moved by (dx, dy).
::testing::AssertionResult SameAs(TSurface& got, TSurface& ref, int dx, int dy) {
  for (int y = 0; y < got.H(); y++)
    for (int x = 0; x < got.W(); x++)
      if (got.At(x, y) != ref.At(x + dx, y + dy))
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                             << Int32(got.At(x, y)) << ", the reference at (" << std::dec
                                             << x + dx << ", " << y + dy << ") " << std::hex
                                             << Int32(ref.At(x + dx, y + dy));
  return ::testing::AssertionSuccess();
}

// Paints on a canvas set to odd values and checks that every one of them comes back.
template <class F>
::testing::AssertionResult KeepsCanvasState(F paint) {
  TSurface s(120, 100);
  SetOddValues(s.C());
  TCanvasValues before = TCanvasValues::Of(s.C());
  paint(s.C());
  TCanvasValues after = TCanvasValues::Of(s.C());
  if (after == before) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << after.Describe() << " instead of " << before.Describe();
}

}  // namespace

TEST_F(PaintSets, BackGroundSetResolvingToAGradientPaintsIt) {
  list->Add(L"Sky", bgsDown, clWhite, clBlack, clYellow);
  TKwSetBackGround set(KwSetBGBlack, false);
  set.SetName(L"sky");
  testsupport::TLeakCheck leaks;
  TSurface s(10, 10, clFuchsia);
  KwPaintBackGround(s.C(), TRect(0, 0, 10, 10), &set);
  EXPECT_TRUE(KeepsCanvasState([&](TCanvas* c) { KwPaintBackGroundEx(c, TRect(0, 0, 10, 10), &set, 3); }));
  EXPECT_EQ(s.At(5, 0), clWhite);
  // Ten bands from white, the last one step short of black: 255 - 9 * 25.5 rounds to 26.
  EXPECT_EQ(s.At(5, 9), Rgb(26, 26, 26));
  EXPECT_TRUE(SameAs(s, *Reference(10, 10, bgsDown, clWhite, clBlack), 0, 0));

  // The steps limit reaches the gradient: two bands, white then grey.
  KwPaintBackGroundEx(s.C(), TRect(0, 0, 10, 10), &set, 2);
  EXPECT_EQ(s.At(5, 4), clWhite);
  EXPECT_EQ(s.At(5, 5), Rgb(128, 128, 128));
}

TEST_F(PaintSets, BackGroundFallsBackToItsDefaultSetAndPaintsNothingWithoutASet) {
  TKwSetBackGround set(KwSetBGBlack, false);
  set.SetName(L"Nowhere");
  TSurface s(8, 8, clFuchsia);
  KwPaintBackGround(s.C(), TRect(0, 0, 8, 8), &set);
  EXPECT_EQ(s.Of(clBlack), 64) << "the default set's built-in colour";

  // The default set's standard name in the package comes before its built-in value.
  list->Add(L"Dft_BGBlack", bgsSolid, clWhite, clWhite, clRed);
  KwPaintBackGround(s.C(), TRect(0, 0, 8, 8), &set);
  EXPECT_EQ(s.Of(clRed), 64);

  s.Fill(clFuchsia);
  KwPaintBackGround(s.C(), TRect(0, 0, 8, 8), nullptr);
  KwPaintBackGround(s.C(), TRect(6, 6, 2, 2), &set);
  EXPECT_EQ(s.Of(clFuchsia), 64) << "no set, or an inverted rectangle, paints nothing";
}

namespace {

// A window that owns a background and answers the background question with it; optionally
// with a one-pixel border, so that window and client rectangles differ.
class TOwnerDouble : public TWinControl {
public:
  TOwnerDouble(TComponent* owner, bool border) : TWinControl(owner), FBorder(border) {}
  TKwSetBackGround Set{KwSetBGBlack, false};
  bool Answers = true;
  int Questions = 0;

protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    if (FBorder) params.Style |= WS_BORDER;
  }
  void WndProc(TMessage& m) override {
    if (m.Msg == KwMasterMessage && m.WParam == std::uintptr_t(KwEvtAskBackGround)) {
      ++Questions;
      if (Answers) {
        auto* answer = reinterpret_cast<TKwBackGroundAnswer*>(m.LParam);
        answer->SetBackGround = &Set;
        answer->Control = this;
        answer->Found = true;
      }
      return;
    }
    TWinControl::WndProc(m);
  }

private:
  bool FBorder;
};

struct TScene {
  TForm* Form;
  TOwnerDouble* Owner;
  TWinControl* Child;
  explicit TScene(bool ownerBorder) {
    Form = KwCreate<TForm>(nullptr);
    Form->SetBounds(0, 0, 300, 250);
    Owner = new TOwnerDouble(Form, ownerBorder);
    Owner->SetBounds(10, 10, 102, 82);
    Owner->SetParent(Form);
    Child = new TWinControl(Form);
    Child->SetBounds(20, 30, 40, 20);
    Child->SetParent(Owner);
    Child->HandleNeeded();
  }
  ~TScene() { delete Form; }
};

}  // namespace

TEST_F(PaintSets, TransparentControlShowsTheAnsweringParentsBackGroundInPlace) {
  list->Add(L"Rows", bgsDown, clWhite, clBlue, clYellow);
  list->Add(L"Cols", bgsRight, clRed, clWhite, clYellow);
  TScene scene(true);
  scene.Owner->Set.SetName(L"Rows");
  testsupport::TLeakCheck leaks;
  TSurface s(40, 20, clFuchsia);
  KwPaintTransparentBackGround(s.C(), TRect(0, 0, 40, 20), TRect(), scene.Child, false, false, nullptr, true);
  EXPECT_EQ(scene.Owner->Questions, 1);
  // The answer came with the owner's window: its gradient runs over the whole window, border
  // included, so the child sees it from one pixel further in than its own place.
  EXPECT_TRUE(SameAs(s, *Reference(102, 82, bgsDown, clWhite, clBlue), 21, 31));
  scene.Owner->Set.SetName(L"Cols");
  KwPaintTransparentBackGround(s.C(), TRect(0, 0, 40, 20), TRect(), scene.Child, false, false, nullptr, true);
  EXPECT_TRUE(SameAs(s, *Reference(102, 82, bgsRight, clRed, clWhite), 21, 31));

  // Only r is painted, and never the excluded part.
  s.Fill(clFuchsia);
  KwPaintTransparentBackGround(s.C(), TRect(0, 0, 30, 20), TRect(5, 5, 10, 10), scene.Child, false, false, nullptr,
                               true);
  EXPECT_EQ(s.Of(clFuchsia), 10 * 20 + 5 * 5);
  EXPECT_EQ(s.At(7, 7), clFuchsia);
  EXPECT_EQ(s.At(35, 3), clFuchsia);
  EXPECT_NE(s.At(3, 3), clFuchsia);
  EXPECT_TRUE(KeepsCanvasState([&](TCanvas* c) {
    KwPaintTransparentBackGround(c, TRect(0, 0, 30, 20), TRect(5, 5, 10, 10), scene.Child, false, false, nullptr,
                                 true);
  }));
}

TEST_F(PaintSets, WithoutAnAnswerTheStandardBackGroundFollowsTheParentsClientArea) {
  list->Add(L"Dft_BackGround", bgsDown, clBlack, clLime, clYellow);
  TScene scene(true);
  scene.Owner->Answers = false;
  TSurface s(40, 20, clFuchsia);
  KwPaintTransparentBackGround(s.C(), TRect(0, 0, 40, 20), TRect(), scene.Child, false, false, nullptr, true);
  EXPECT_EQ(scene.Owner->Questions, 1);
  // The client area starts inside the border: the child's own place in it.
  EXPECT_TRUE(SameAs(s, *Reference(100, 80, bgsDown, clBlack, clLime), 20, 30));

  // While the parent is painted into another context it stands at that context's origin with
  // its whole window.
  scene.Owner->SetControlState(scene.Owner->ControlState() + TControlState{csPaintCopy});
  KwPaintTransparentBackGround(s.C(), TRect(0, 0, 40, 20), TRect(), scene.Child, false, false, nullptr, true);
  scene.Owner->SetControlState(scene.Owner->ControlState() - TControlState{csPaintCopy});
  EXPECT_TRUE(SameAs(s, *Reference(102, 82, bgsDown, clBlack, clLime), 20, 30));
}

TEST_F(PaintSets, AControlAskingItselfPaintsTheGivenSetOverItsWindow) {
  list->Add(L"Rows", bgsDown, clWhite, clBlue, clYellow);
  TScene scene(true);
  scene.Owner->Set.SetName(L"Cols");  // its answer is only taken as "found"
  TKwSetBackGround set;
  set.SetName(L"Rows");
  TSurface s(100, 80, clFuchsia);
  KwPaintTransparentBackGround(s.C(), TRect(0, 0, 100, 80), TRect(), scene.Owner, false, false, &set, false);
  EXPECT_EQ(scene.Owner->Questions, 1);
  EXPECT_TRUE(SameAs(s, *Reference(102, 82, bgsDown, clWhite, clBlue), 1, 1));

  // A control that does not answer paints the set over its client area.
  TSurface c(40, 20, clFuchsia);
  KwPaintTransparentBackGround(c.C(), TRect(0, 0, 40, 20), TRect(), scene.Child, false, false, &set, false);
  EXPECT_TRUE(SameAs(c, *Reference(40, 20, bgsDown, clWhite, clBlue), 0, 0));

  // A form that nobody answers for paints over its own reference rectangle, here its window.
  RECT wr;
  ::GetWindowRect(scene.Form->Handle(), &wr);
  int w = wr.right - wr.left, h = wr.bottom - wr.top;
  TSurface f(w, h, clFuchsia);
  KwPaintTransparentBackGround(f.C(), TRect(0, 0, w, h), TRect(), scene.Form, true, true, &set, false);
  EXPECT_TRUE(SameAs(f, *Reference(w, h, bgsDown, clWhite, clBlue), 0, 0));
}

TEST_F(PaintSets, FullShapeTakesTheBackGroundOnlyWhenItNamesAPackageSet) {
  list->Add(L"Rows", bgsDown, clWhite, clBlue, clYellow);
  list->Add(L"Red", bgsSolid, clWhite, clWhite, clRed);
  TKwFullShape shape;
  shape.SetVisible(true);
  shape.SetBorderStyle(bos3D);
  shape.Brush()->SetBackGround()->SetName(L"Rows");
  testsupport::TLeakCheck leaks;
  TSurface s(20, 20, clFuchsia);
  TKwSetBackGround unnamed;
  KwPaintFullShape(s.C(), TRect(0, 0, 20, 20), &shape, &unnamed);
  // The 3D box: light at the top left, shadow at the bottom right; inside, the brush's gradient.
  EXPECT_EQ(s.At(0, 10), TColor(ColorToRGB(clBtnHighlight)));
  EXPECT_EQ(s.At(19, 10), TColor(ColorToRGB(clBtnShadow)));
  TSurface inner(18, 18);
  KwDrawGradient(inner.C(), TRect(0, 0, 18, 18), bgsDown, clWhite, clBlue, clNone, nullptr, false, 0);
  EXPECT_EQ(s.At(10, 1), inner.At(9, 0));
  EXPECT_EQ(s.At(10, 18), inner.At(9, 17));

  TKwSetBackGround red;
  red.SetName(L"Red");
  shape.SetDown(true);
  KwPaintFullShape(s.C(), TRect(0, 0, 20, 20), &shape, &red);
  EXPECT_EQ(s.At(10, 10), clRed) << "a named background wins over the brush's";
  EXPECT_EQ(s.At(0, 10), TColor(ColorToRGB(clBtnShadow))) << "pressed: the colours change places";
  shape.SetShape(shaStar);
  EXPECT_TRUE(KeepsCanvasState([&](TCanvas* c) { KwPaintFullShape(c, TRect(0, 0, 50, 40), &shape, &unnamed); }));
  EXPECT_TRUE(KeepsCanvasState([&](TCanvas* c) { KwPaintFullShapeShadow(c, TRect(0, 0, 50, 40), &shape); }));
}

TEST_F(PaintSets, ShapeWithoutDescriptorsAndTheShadowOfAFullShape) {
  TKwSetBackGround red;
  list->Add(L"Red", bgsSolid, clWhite, clWhite, clRed);
  red.SetName(L"Red");
  TSurface s(15, 15);
  // No brush: the background's colour fills; no pen: nothing outlines; a single border in the
  // standard light grey when no colour set is to be used.
  KwPaintShape(s.C(), TRect(0, 0, 15, 15), bosSingle, 1, shaRectangle, false, sorDefault, false, &red, nullptr,
               nullptr, nullptr, false, 0);
  EXPECT_EQ(s.At(0, 0), Rgb(0xE2, 0xE2, 0xE2));
  EXPECT_EQ(s.At(14, 14), Rgb(0xE2, 0xE2, 0xE2));
  EXPECT_EQ(s.Of(clRed), 13 * 13);

  TKwFullShape shape;
  shape.SetShape(shaEllipse);
  shape.Pen()->SetWidth(1);
  s.Fill(clWhite);
  KwPaintFullShapeShadow(s.C(), TRect(0, 0, 15, 15), &shape);
  TColor shadow = TColor(ColorToRGB(clBtnShadow));
  EXPECT_EQ(s.At(7, 7), shadow) << "a solid brush casts a filled shadow";
  EXPECT_EQ(s.At(0, 0), clWhite);
  shape.Brush()->SetStyle(brsBDiagonal);
  s.Fill(clWhite);
  KwPaintFullShapeShadow(s.C(), TRect(0, 0, 15, 15), &shape);
  EXPECT_EQ(s.At(7, 7), clWhite) << "a hatched brush casts only the outline";
  EXPECT_EQ(s.At(0, 7), shadow);
}

TEST_F(PaintSets, ButtonFaceWithA3DBorderAndAGradientFromTheBackGround) {
  list->Add(L"Rows", bgsDown, clWhite, clBlue, clYellow);
  TKwSetBackGround rows;
  rows.SetName(L"Rows");
  testsupport::TLeakCheck leaks;
  TSurface s(20, 20, clFuchsia);
  KwPaintShapeEx(s.C(), TRect(0, 0, 20, 20), bos3D, shaRectangle, false, sorDefault, false, &rows, nullptr, 3);
  EXPECT_EQ(s.At(0, 10), TColor(ColorToRGB(clBtnHighlight)));
  EXPECT_EQ(s.At(19, 10), TColor(ColorToRGB(clBtnShadow)));
  TSurface inner(18, 18);
  KwDrawGradient(inner.C(), TRect(0, 0, 18, 18), bgsDown, clWhite, clBlue, clNone, nullptr, false, 0);
  EXPECT_EQ(s.At(10, 1), inner.At(9, 0));
  EXPECT_EQ(s.At(10, 17), inner.At(9, 16));

  // A single border is the pen colour set's, in the given width.
  TKwSetColor box;
  s.Fill(clFuchsia);
  TKwSetBackGround plain(KwSetBGLight, false);
  KwPaintShapeEx(s.C(), TRect(0, 0, 20, 20), bosSingle, shaRectangle, false, sorDefault, false, &plain, &box, 3);
  EXPECT_EQ(s.At(1, 10), clBlack) << "the pen colour set falls back to the box colour";
  EXPECT_EQ(s.At(10, 10), clWhite);
  EXPECT_EQ(s.At(3, 10), clWhite);
  EXPECT_TRUE(KeepsCanvasState([&](TCanvas* c) {
    KwPaintShapeEx(c, TRect(0, 0, 50, 40), bos3D, shaOctagon, true, sorLeft, true, &rows, &box, 2);
  }));
}

// --- descriptors -----------------------------------------------------------------------------

TEST(ShapeDescriptors, Defaults) {
  TKwPen pen;
  EXPECT_EQ(pen.Style(), pesClear);
  EXPECT_EQ(pen.Width(), 1);
  EXPECT_EQ(pen.SetColor()->DefaultSetColor(), KwSetColBox);
  EXPECT_EQ(pen.SetColor()->Name(), L"");
  TKwBrush brush;
  EXPECT_EQ(brush.Style(), brsSolid);
  EXPECT_EQ(brush.SetBackGround()->DefaultSetBackGround(), KwSetBackGround);
  EXPECT_FALSE(brush.SetBackGround()->Default());
  TKwFullShape full;
  EXPECT_FALSE(full.Visible());
  EXPECT_EQ(full.BorderStyle(), bosSingle);
  EXPECT_EQ(full.BorderWidth(), 1);
  EXPECT_EQ(full.Pen()->Style(), pesClear);
  EXPECT_EQ(full.Shape(), shaRectangle);
  TKwButtonShape button;
  EXPECT_EQ(button.BorderStyle(), bos3D);
  EXPECT_EQ(button.MarginLeftRight(), 0);
  TKwCheckShape check;
  EXPECT_EQ(check.Width(), 14);
  EXPECT_EQ(check.Height(), 14);
  EXPECT_EQ(check.BorderStyle(), bosSingle);
  EXPECT_EQ(check.SetBGGrayed()->DefaultSetBackGround(), KwSetCkGrayedBG);
  EXPECT_EQ(check.SetBGChecked()->DefaultSetBackGround(), KwSetCkCheckedBG);
  EXPECT_EQ(check.SetBGUnChecked()->DefaultSetBackGround(), KwSetCkUnCheckedBG);
  TKwBGsButton bgs;
  for (TKwSetBackGround* set : {bgs.SetBGUp(), bgs.SetBGDown(), bgs.SetBGOver(), bgs.SetBGExclusive(),
                                bgs.SetBGDisabled()}) {
    EXPECT_EQ(set->DefaultSetBackGround(), KwSetBackGround);
    EXPECT_EQ(set->Name(), L"");
  }
  TKwSingleCheck single;
  EXPECT_EQ(single.Style(), cksImage);
  EXPECT_EQ(single.Shape()->Width(), 14);

  pen.SetWidth(0);
  EXPECT_EQ(pen.Width(), 1);
  pen.SetWidth(-5);
  EXPECT_EQ(pen.Width(), 1);
}

TEST(ShapeDescriptors, OwnedSetsAndPartsReportTheirChangesThroughTheOwner) {
  int changes = 0;
  TKwFullShape full;
  full.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &full);
    ++changes;
  };
  full.Brush()->SetBackGround()->SetName(L"Paper");
  full.Pen()->SetColor()->SetName(L"Ink");
  full.Pen()->SetWidth(2);
  full.Brush()->SetStyle(brsCross);
  EXPECT_EQ(changes, 4);
  full.Pen()->SetWidth(2);
  EXPECT_EQ(changes, 4) << "no change, no notice";

  int checkChanges = 0;
  TKwSingleCheck single;
  single.OnChange = [&](TObject*) { ++checkChanges; };
  single.Shape()->SetBGChecked()->SetName(L"Tick");
  single.Shape()->Pen()->SetStyle(pesDot);
  single.Shape()->SetHeight(20);
  EXPECT_EQ(checkChanges, 3);

  int bgChanges = 0;
  TKwBGsButton bgs;
  bgs.OnChange = [&](TObject*) { ++bgChanges; };
  bgs.SetBGDisabled()->SetName(L"Greyed");
  EXPECT_EQ(bgChanges, 1);
}

TEST(ShapeDescriptors, AssignRules) {
  // Brush and pen: a copy only when something differs (set names letter case aside), then one change.
  TKwBrush a, b;
  int changes = 0;
  a.OnChange = [&](TObject*) { ++changes; };
  a.SetBackGround()->SetName(L"Paper");
  b.SetBackGround()->SetName(L"PAPER");
  changes = 0;
  a.Assign(&b);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(a.SetBackGround()->Name(), L"Paper") << "not copied";
  b.SetStyle(brsGrid);
  b.SetBackGround()->SetName(L"Wall");
  a.Assign(&b);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(a.Style(), brsGrid);
  EXPECT_EQ(a.SetBackGround()->Name(), L"Wall");

  TKwPen p, q;
  int penChanges = 0;
  p.OnChange = [&](TObject*) { ++penChanges; };
  q.SetStyle(pesDash);
  q.SetWidth(4);
  q.SetColor()->SetName(L"Ink");
  p.Assign(&q);
  EXPECT_EQ(penChanges, 1);
  EXPECT_EQ(p.Width(), 4);
  EXPECT_EQ(p.SetColor()->Name(), L"Ink");
  p.Assign(&q);
  EXPECT_EQ(penChanges, 1);

  // Full shapes: everything copied, a change only for the outline.
  TKwFullShape f, g;
  int fullChanges = 0;
  f.OnChange = [&](TObject*) { ++fullChanges; };
  g.SetBorderStyle(bos3D);
  g.SetVisible(true);
  g.Pen()->SetWidth(3);
  f.Assign(&g);
  EXPECT_EQ(fullChanges, 0);
  EXPECT_EQ(f.BorderStyle(), bos3D);
  EXPECT_TRUE(f.Visible());
  EXPECT_EQ(f.Pen()->Width(), 3);
  g.SetShape(shaStar);
  g.SetOrientation(sorLeft);
  g.SetDown(true);
  f.Assign(&g);
  EXPECT_EQ(fullChanges, 1);
  EXPECT_EQ(f.Shape(), shaStar);
  EXPECT_TRUE(f.Down());
  f.SetBorderWidth(5);
  EXPECT_EQ(fullChanges, 2) << "the owner's handler is back after the copy";

  // Button and check shapes copy their own fields and sets the same way.
  TKwButtonShape bs, bt;
  bt.SetMarginTopBottom(3);
  bt.Brush()->SetBackGround()->SetName(L"Face");
  bs.Assign(&bt);
  EXPECT_EQ(bs.MarginTopBottom(), 3);
  EXPECT_EQ(bs.Brush()->SetBackGround()->Name(), L"Face");
  TKwCheckShape cs, ct;
  ct.SetWidth(9);
  ct.SetBGGrayed()->SetName(L"Half");
  cs.Assign(&ct);
  EXPECT_EQ(cs.Width(), 9);
  EXPECT_EQ(cs.SetBGGrayed()->Name(), L"Half");

  // Button backgrounds and check marks: one change always.
  TKwBGsButton x, y;
  int bgChanges = 0;
  x.OnChange = [&](TObject*) { ++bgChanges; };
  x.Assign(&y);
  EXPECT_EQ(bgChanges, 1);
  y.SetBGOver()->SetName(L"Hot");
  y.SetBGDown()->SetName(L"Pressed");
  x.Assign(&y);
  EXPECT_EQ(bgChanges, 2);
  EXPECT_EQ(x.SetBGOver()->Name(), L"Hot");
  EXPECT_EQ(x.SetBGDown()->Name(), L"Pressed");
  TKwSingleCheck s1, s2;
  int checkChanges = 0;
  s1.OnChange = [&](TObject*) { ++checkChanges; };
  s2.SetStyle(cksShape);
  s2.Shape()->SetShape(shaOk);
  s1.Assign(&s2);
  EXPECT_EQ(checkChanges, 1);
  EXPECT_EQ(s1.Style(), cksShape);
  EXPECT_EQ(s1.Shape()->Shape(), shaOk);

  EXPECT_THROW(a.Assign(&p), EConvertError);
}

namespace {

class TDescriptorHolder : public TComponent {
  KW_CLASS(TDescriptorHolder, TComponent)
  explicit TDescriptorHolder(TComponent* owner) : TComponent(owner) {}
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
  TBytesStream bin;
  {
    TWriter w(bin);
    w.WriteRootComponent(root);
  }
  bin.SetPosition(0);
  TBytesStream text;
  ObjectBinaryToText(bin, text);
  TBytes b = text.Bytes();
  return std::string(b.begin(), b.end());
}

}  // namespace

TEST(ShapeDescriptors, PublishedPropertiesSurviveATextFormRoundTrip) {
  auto holder = std::make_unique<TDescriptorHolder>(nullptr);
  holder->SetName(L"Holder");
  std::string plain = ToText(holder.get());
  EXPECT_EQ(plain.find("FullShape."), std::string::npos) << "defaults are not written\n" << plain;
  EXPECT_EQ(plain.find("ButtonShape."), std::string::npos) << plain;

  TKwFullShape* f = holder->FullShape();
  f->SetVisible(true);
  f->SetShape(shaHexagon);
  f->SetBorderStyle(bosNone);
  f->SetBorderWidth(0);
  f->SetDown(true);
  f->Brush()->SetStyle(brsVertical);
  f->Brush()->SetBackGround()->SetName(L"Paper");
  f->Pen()->SetStyle(pesDashDot);
  f->Pen()->SetWidth(3);
  f->Pen()->SetColor()->SetName(L"Ink");
  holder->ButtonShape()->SetBorderStyle(bosSingle);
  holder->ButtonShape()->SetMarginLeftRight(4);
  holder->BGsButton()->SetBGExclusive()->SetName(L"Only");
  holder->Check()->SetStyle(cksText);
  holder->Check()->Shape()->SetHeight(11);
  holder->Check()->Shape()->SetBGUnChecked()->SetName(L"Empty");
  std::string text = ToText(holder.get());
  for (const char* line : {"FullShape.Brush.SetBackGround.Name = 'Paper'", "FullShape.Pen.Width = 3",
                           "FullShape.Pen.Style = pesDashDot", "FullShape.Shape = shaHexagon",
                           "Check.Shape.SetBGUnChecked.Name = 'Empty'", "BGsButton.SetBGExclusive.Name = 'Only'"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

  TBytesStream in;
  in.WriteBuffer(text.data(), Int64(text.size()));
  in.SetPosition(0);
  TBytesStream bin;
  ObjectTextToBinary(in, bin);
  bin.SetPosition(0);
  auto copy = std::make_unique<TDescriptorHolder>(nullptr);
  {
    TReader r(bin);
    r.ReadRootComponent(copy.get());
  }
  TKwFullShape* c = copy->FullShape();
  EXPECT_TRUE(c->Visible());
  EXPECT_EQ(c->Shape(), shaHexagon);
  EXPECT_EQ(c->BorderStyle(), bosNone);
  EXPECT_EQ(c->BorderWidth(), 0);
  EXPECT_TRUE(c->Down());
  EXPECT_EQ(c->Brush()->Style(), brsVertical);
  EXPECT_EQ(c->Brush()->SetBackGround()->Name(), L"Paper");
  EXPECT_EQ(c->Pen()->Style(), pesDashDot);
  EXPECT_EQ(c->Pen()->Width(), 3);
  EXPECT_EQ(c->Pen()->SetColor()->Name(), L"Ink");
  EXPECT_EQ(copy->ButtonShape()->BorderStyle(), bosSingle);
  EXPECT_EQ(copy->ButtonShape()->MarginLeftRight(), 4);
  EXPECT_EQ(copy->BGsButton()->SetBGExclusive()->Name(), L"Only");
  EXPECT_EQ(copy->Check()->Style(), cksText);
  EXPECT_EQ(copy->Check()->Shape()->Height(), 11);
  EXPECT_EQ(copy->Check()->Shape()->SetBGUnChecked()->Name(), L"Empty");
  EXPECT_EQ(ToText(copy.get()), text);
}
