// The gallery's data page: the bound edit and text label on the first record and after a
// scroll, against their goldens, and a live scroll of the first form that repaints the same.
#include <gtest/gtest.h>

#include "examples/gallery/Gallery.h"
#include "host/Dbctrls.h"
#include "host/Memdata.h"
#include "tests/support/Golden.h"

using namespace kw;

namespace {

// Pixels of the control's inside that differ from its background (taken near its right end,
// past any text): the text and, in a focused edit, its selection.
int Ink(TBitmap& b, TControl* c) {
  TColor bg = b.Canvas()->Pixels(c->Left() + c->Width() - 6, c->Top() + c->Height() / 2);
  int n = 0;
  for (int y = c->Top() + 3; y < c->Top() + c->Height() - 3; ++y)
    for (int x = c->Left() + 3; x < c->Left() + c->Width() - 3; ++x)
      if (b.Canvas()->Pixels(x, y) != bg) ++n;
  return n;
}

}  // namespace

TEST(GalleryDataPage, BoundControlsShowTheCurrentRecordBeforeAndAfterAScroll) {
  std::unique_ptr<TForm> firstPage = gallery::MakeForm(L"Data");
  std::unique_ptr<TForm> scrolledPage = gallery::MakeForm(L"DataScrolled");
  TForm* first = firstPage.get();
  TForm* scrolled = scrolledPage.get();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(scrolled, nullptr);
  auto* edit = dynamic_cast<TDBEdit*>(first->FindComponent(L"NameEdit"));
  auto* age = dynamic_cast<TDBText*>(first->FindComponent(L"AgeText"));
  auto* people = dynamic_cast<TClientDataSet*>(first->FindComponent(L"People"));
  ASSERT_TRUE(edit && age && people);
  EXPECT_EQ(edit->Text(), L"Cleo");
  auto before = gallery::RenderForm(first);
  EXPECT_TRUE(testsupport::MatchesGolden(*before, L"gallery_data", 8, 40));
  auto after = gallery::RenderForm(scrolled);
  EXPECT_TRUE(testsupport::MatchesGolden(*after, L"gallery_data_scrolled", 8, 40));
  EXPECT_EQ(dynamic_cast<TDBEdit*>(scrolled->FindComponent(L"NameEdit"))->Text(), L"Abe");

  // The edit's window shows its text on the window colour; the two records differ in ink.
  EXPECT_GT(Ink(*before, edit), 30);
  EXPECT_EQ(before->Canvas()->Pixels(edit->Left() + 140, edit->Top() + 10), ColorToRGB(clWindow));
  EXPECT_NE(Ink(*before, edit), Ink(*after, edit));
  EXPECT_GT(Ink(*before, age), 10);

  // Scrolling the first form's dataset repaints it as the second form.
  people->Next();
  EXPECT_EQ(edit->Text(), L"Abe");
  auto live = gallery::RenderForm(first);
  EXPECT_EQ(Ink(*live, edit), Ink(*after, edit));
  EXPECT_EQ(Ink(*live, age), Ink(*after, age));
  EXPECT_NE(Ink(*live, age), Ink(*before, age));
}
