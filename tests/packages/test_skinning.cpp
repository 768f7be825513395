// Re-skinning end to end: a panel-like control paints its face from a background set and an
// image reference; activating another image package of the same name and changing the display
// set it resolves to repaint it with the new pixels. Also the display lists' names and hash.
#include <gtest/gtest.h>

#include "core/Kwlinks.h"
#include "host/Bitmap.h"
#include "host/Filer.h"
#include "host/Forms.h"
#include "host/Imaging.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"
#include "packages/Kwexcept.h"
#include "packages/Kwpkgdisplay.h"
#include "packages/Kwpkgimages.h"
#include "skin/Kwdrawutil.h"
#include "skin/Kwshapes.h"
#include "tests/support/Input.h"

using namespace kw;
namespace ts = kw::testsupport;

namespace {

TKwStyleLists GStyles;
TKwAppImages GImages;
const TKwStyleLists* Styles() { return &GStyles; }
const TKwAppImages* Images() { return &GImages; }

// A panel as the library's controls are: a background set and an image reference of its own,
// each change a repaint.
class TSkinnedPanel : public TCustomControl {
public:
  explicit TSkinnedPanel(TComponent* owner)
      : TCustomControl(owner), Back(std::make_unique<TKwSetBackGround>(KwSetBackGround, false)),
        Glyph(std::make_unique<TKwMemoryImage>()) {
    Back->OnChange = [this](TObject*) { Changed(); };
    Glyph->OnChange = [this](TObject*) { Changed(); };
  }
  std::unique_ptr<TKwSetBackGround> Back;
  std::unique_ptr<TKwMemoryImage> Glyph;
  int changes = 0;

protected:
  void Changed() {
    ++changes;
    Invalidate();
  }
  void Paint() override {
    KwPaintBackGround(Canvas(), ClientRect(), Back.get());
    if (std::unique_ptr<TBitmap> b = KwResolveImage ? KwResolveImage(Glyph.get()) : nullptr) Canvas()->Draw(10, 10, b.get());
  }
};

void AddPng(TKwPkgImages* pkg, int id, TColor color) {
  TBitmap bmp(16, 16);
  bmp.Canvas()->Brush()->SetColor(color);
  bmp.Canvas()->FillRect(TRect(0, 0, 16, 16));
  TPngImage png;
  png.Assign(&bmp);
  TBytesStream s;
  png.SaveToStream(s);
  pkg->Images()->Add(id)->LoadFromStream(s, TPngImage::StaticClass());
}

String ErrorText(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return L"(no error)";
}

TColor Probe(TControl* c, int x, int y) {
  TBitmap bmp(c->Width(), c->Height());
  c->PaintTo(bmp.Canvas(), 0, 0);
  return bmp.Canvas()->Pixels(x, y);
}

}  // namespace

TEST(Skinning, APanelRepaintsFromAnotherPackageAndAnotherSet) {
  KwInitMainUnit();
  TKwPkgDisplaySetsBackGround backgrounds(nullptr);
  TKwPkgDisplaySetsColor colors(nullptr);
  GStyles.BackGrounds = &backgrounds;
  GStyles.Colors = &colors;
  KwSetStyleListsAccessor(&Styles);
  KwSetAppImagesAccessor(&Images);
  KwUnCheckNilSetsBackGround();

  // The first skin's images come from a file.
  String file = IncludeTrailingPathDelimiter(KwAppPath()) + L"kw_skin_test.pim";
  {
    TKwPkgImages maker(nullptr);
    AddPng(&maker, 1, clRed);
    maker.SaveToFile(file);
  }
  auto* first = new TKwPkgImages(nullptr);
  first->SetPkgName(L"Glyphs");
  first->SetInitMode(rimFILE);
  first->SetFileName(L"kw_skin_test");
  ASSERT_EQ(first->Images()->Count(), 1) << "loaded from the package directory";

  TKwPkgDisplaySetBackGround* face = backgrounds.Add(L"PanelFace");
  face->SetSolidColor(clNavy);

  TForm* form = KwCreate<TForm>(nullptr);
  auto* panel = new TSkinnedPanel(form);
  panel->SetParent(form);
  panel->SetBounds(0, 0, 80, 60);
  panel->Back->SetName(L"PanelFace");
  panel->Glyph->PkgId(L"Glyphs", 1);
  form->Show();
  ts::Pump();
  EXPECT_EQ(Probe(panel, 60, 40), clNavy);
  EXPECT_EQ(Probe(panel, 15, 15), clRed);

  // Another package of the same name, activated: the reference re-resolves and says so.
  auto* second = new TKwPkgImages(nullptr);
  AddPng(second, 1, clLime);
  second->SetPkgName(L"Glyphs");
  EXPECT_EQ(Probe(panel, 15, 15), clRed) << "the first of the name still wins";
  int before = panel->changes;
  second->SetActive(true);
  EXPECT_GT(panel->changes, before);
  EXPECT_EQ(Probe(panel, 15, 15), clLime);

  // The display set changes: the background set re-resolves and the face follows.
  before = panel->changes;
  face->SetSolidColor(clMaroon);
  EXPECT_GT(panel->changes, before);
  EXPECT_EQ(Probe(panel, 60, 40), clMaroon);
  // The set goes: the standard background answers.
  delete face;
  EXPECT_EQ(Probe(panel, 60, 40), ColorToRGB(clBtnFace));

  delete form;
  delete second;
  delete first;
  DeleteFileW(file.c_str());
  KwSetStyleListsAccessor(nullptr);
  KwSetAppImagesAccessor(nullptr);
  GStyles = {};
}

TEST(DisplayLists, NamesAreUniqueAndFoundThroughTheHash) {
  EXPECT_EQ(KwIdHash(L"A", 53), 65u % 53);
  EXPECT_EQ(KwIdHash(L"", 53), 0u);
  // The ELF steps by hand for a longer text: h = (h << 4) + c, top nibble folded back.
  Cardinal h = 0;
  for (wchar_t c : String(L"DFT_BACKGROUND")) {
    h = (h << 4) + Cardinal(c);
    Cardinal g = h & 0xF0000000u;
    if (g) h ^= g >> 24;
    h &= ~g;
  }
  EXPECT_EQ(KwIdHash(L"DFT_BACKGROUND", 53), h % 53);

  TKwPkgDisplaySetsColor colors(nullptr);
  TKwPkgDisplaySetColor* title = colors.Add(L"TITLE");
  EXPECT_EQ(ErrorText([&] { colors.Add(L"Title"); }), L"A set named 'Title' already exists");
  EXPECT_EQ(colors.Count(), 1);
  for (int i = 0; i < 200; ++i) colors.Add(L"Set" + IntToStr(i));
  EXPECT_EQ(colors.Find(L"title"), title);
  EXPECT_EQ(colors.Find(L"set150"), colors.GetSetColor(151));
  EXPECT_EQ(colors.Find(L"  "), nullptr);
  EXPECT_EQ(ErrorText([&] { colors.GetSetColor(5)->SetName(L"Title"); }), L"A set named 'Title' already exists");
  colors.GetSetColor(5)->SetName(L"Renamed");
  EXPECT_EQ(colors.Find(L"RENAMED"), colors.GetSetColor(5));
  EXPECT_EQ(colors.Find(L"Set4"), nullptr) << "the old name is gone";
}

namespace {

// A component publishing a button's images, as a button control would.
class TImagesHolder : public TComponent {
  KW_CLASS(TImagesHolder, TComponent)
  explicit TImagesHolder(TComponent* owner) : TComponent(owner), FImages(std::make_unique<TKwImagesButton>()) {}
  TKwImagesButton* Images() const { return FImages.get(); }
  void SetImages(TKwImagesButton* v) { FImages->Assign(v); }

private:
  std::unique_ptr<TKwImagesButton> FImages;
};

}  // namespace

KW_BEGIN_CLASS(TImagesHolder, TComponent) { b.Prop(L"Images", &TImagesHolder::Images, &TImagesHolder::SetImages); }

TEST(Skinning, ButtonImagesAreRealReferencesThatStreamAndTellTheirOwner) {
  KwInitMainUnit();
  TImagesHolder holder(nullptr);
  holder.SetName(L"Holder");
  auto* up = dynamic_cast<TKwMemoryImage*>(holder.Images()->ImageUp());
  ASSERT_NE(up, nullptr) << "the image package makes the references";
  EXPECT_EQ(up->Id(), -1);
  int changes = 0;
  holder.Images()->OnChange = [&](TObject*) { ++changes; };
  up->PkgId(L"Glyphs", 3);
  EXPECT_EQ(changes, 1) << "a reference's change reaches the descriptor";

  TKwImagesButton copy;
  int copyChanges = 0;
  copy.OnChange = [&](TObject*) { ++copyChanges; };
  copy.Assign(holder.Images());
  EXPECT_EQ(copyChanges, 1) << "one change for the whole copy";
  EXPECT_EQ(dynamic_cast<TKwMemoryImage*>(copy.ImageUp())->Id(), 3);
  copy.Assign(holder.Images());
  EXPECT_EQ(copyChanges, 1) << "nothing differed";

  // The references stream inside the descriptor.
  TBytesStream bin;
  {
    TWriter w(bin);
    w.WriteRootComponent(&holder);
  }
  bin.SetPosition(0);
  TImagesHolder back(nullptr);
  {
    TReader r(bin);
    r.ReadRootComponent(&back);
  }
  auto* backUp = dynamic_cast<TKwMemoryImage*>(back.Images()->ImageUp());
  EXPECT_EQ(backUp->PkgName(), L"Glyphs");
  EXPECT_EQ(backUp->Id(), 3);
  EXPECT_EQ(dynamic_cast<TKwMemoryImage*>(back.Images()->ImageDown())->Id(), -1);
}
