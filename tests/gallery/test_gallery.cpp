// The gallery's forms rendered headless and compared with their golden images; a few named
// probes make a failure readable without opening the pictures.
#include <gtest/gtest.h>

#include "examples/gallery/Gallery.h"
#include "host/Application.h"
#include "host/Graphics.h"
#include "host/Win.h"
#include "tests/gallery/Pages.h"
#include "tests/support/Golden.h"

using namespace kw;

namespace {

class GalleryTest : public testsupport::GalleryPages {
protected:
  static TColor At(TBitmap& b, TControl* c, int dx, int dy) {
    TPoint p = c->ClientToScreen(TPoint(dx, dy));
    TPoint o = static_cast<TControl*>(c->Owner())->ClientToScreen(TPoint(0, 0));
    return b.Canvas()->Pixels(p.X - o.X, p.Y - o.Y);
  }
};

}  // namespace

TEST_F(GalleryTest, StandardControlsMatchTheirGolden) {
  TForm* f = Form(L"Standard");
  ASSERT_NE(f, nullptr);
  auto bmp = gallery::RenderForm(f);
  EXPECT_TRUE(testsupport::MatchesGolden(*bmp, L"gallery_standard", 8, 40));
  // The form's own face shows between the controls.
  EXPECT_EQ(bmp->Canvas()->Pixels(405, 100), ColorToRGB(clBtnFace));
}

TEST_F(GalleryTest, ListsMatchTheirGolden) {
  TForm* f = Form(L"Lists");
  ASSERT_NE(f, nullptr);
  auto bmp = gallery::RenderForm(f);
  EXPECT_TRUE(testsupport::MatchesGolden(*bmp, L"gallery_lists", 8, 40));
}

TEST_F(GalleryTest, ContainersAndShapesMatchTheirGolden) {
  TForm* f = Form(L"Containers");
  ASSERT_NE(f, nullptr);
  auto bmp = gallery::RenderForm(f);
  EXPECT_TRUE(testsupport::MatchesGolden(*bmp, L"gallery_containers", 8, 40));
  // Shape fills at their centres, the paint box's own drawing at its place.
  auto* circle = dynamic_cast<TControl*>(f->FindComponent(L"Shape5"));
  ASSERT_NE(circle, nullptr);
  EXPECT_EQ(At(*bmp, circle, 30, 20), clAqua);
  auto* paint = dynamic_cast<TControl*>(f->FindComponent(L"PaintBox"));
  ASSERT_NE(paint, nullptr);
  EXPECT_EQ(At(*bmp, paint, 150, 5), clNavy);
  EXPECT_EQ(At(*bmp, paint, 150, 25), clWhite) << "the horizontal line";
}

TEST_F(GalleryTest, LinksPageControlsTookTheirCaptionsFromAnEarlierStage) {
  TForm* f = Form(L"Links");
  ASSERT_NE(f, nullptr);
  auto* title = dynamic_cast<TControl*>(f->FindComponent(L"StageTitle"));
  auto* panel = dynamic_cast<TControl*>(f->FindComponent(L"StagePanel"));
  auto* button = dynamic_cast<TControl*>(f->FindComponent(L"StageButton"));
  auto* ticks = dynamic_cast<TControl*>(f->FindComponent(L"TimerLabel"));
  ASSERT_TRUE(title && panel && button && ticks);
  // The text store was made after the controls; only the stage order gives them its texts.
  for (TControl* c : {title, panel, button}) {
    EXPECT_NE(c->Caption(), L"(texts not ready)") << c->Name();
    EXPECT_NE(c->Caption(), c->Name());
  }
  // The library timer updates the host label, then stops itself (other pages' tests may have
  // pumped the messages that ran it already).
  DWORD start = GetTickCount();
  while (ticks->Caption().find(L"stopped") == String::npos && GetTickCount() - start < 10000) {
    Application()->ProcessMessages();
    Sleep(5);
  }
  EXPECT_NE(ticks->Caption(), L"Timer not started");
  EXPECT_NE(ticks->Caption().find(L"stopped after 3"), String::npos) << ticks->Caption();
  auto bmp = gallery::RenderForm(f);
  EXPECT_TRUE(testsupport::MatchesGolden(*bmp, L"gallery_links", 8, 40));
  // The bold title's ink lies inside its label; the panel's face shows under its caption line.
  int ink = 0;
  for (int x = 0; x < 200; ++x)
    for (int y = 0; y < 14; ++y)
      if (At(*bmp, title, x, y) != ColorToRGB(clBtnFace)) ++ink;
  EXPECT_GT(ink, 100);
  EXPECT_EQ(At(*bmp, panel, 5, 5), ColorToRGB(clBtnFace));
}
