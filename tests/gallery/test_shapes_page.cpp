// The gallery's page of skin shapes and backgrounds against its golden image, with a few
// pixels checked by name so a wrong golden cannot hide a wrong renderer.
#include <gtest/gtest.h>

#include "examples/gallery/Gallery.h"
#include "host/ExtCtrls.h"
#include "tests/support/Golden.h"

using namespace kw;

TEST(GalleryShapesPage, ShapesBackgroundsHatchesAndBorders) {
  std::unique_ptr<TForm> page = gallery::MakeForm(L"Shapes");
  TForm* form = page.get();
  ASSERT_NE(form, nullptr);
  auto bmp = gallery::RenderForm(form);
  EXPECT_TRUE(testsupport::MatchesGolden(*bmp, L"gallery_shapes", 8, 40));
  auto at = [&](const wchar_t* box, int x, int y) {
    auto* c = dynamic_cast<TControl*>(form->FindComponent(box));
    EXPECT_NE(c, nullptr);
    return c ? bmp->Canvas()->Pixels(c->Left() + x, c->Top() + y) : clNone;
  };
  // The first shape, an ellipse, filled at its centre; the triangle beside it points right.
  EXPECT_EQ(at(L"AllShapes", 4 + 24, 3 + 18), TColor(0xF0C080));
  EXPECT_EQ(at(L"AllShapes", 60 + 47, 3 + 17), clBlack);
  // The first background is solid; the second (bgsUp) starts from the end colour at its top.
  EXPECT_EQ(at(L"Backgrounds", 10, 10), TColor(0xC0E0E0));
  EXPECT_EQ(at(L"Backgrounds", 60 + 20, 3), TColor(0x804000));
}
