// The gallery's MDI page against its golden image: the frame's client window with its
// cascaded children, the active one on top, and the iconic one at the bottom.
#include <gtest/gtest.h>

#include "examples/gallery/Gallery.h"
#include "host/Graphics.h"
#include "host/Win.h"
#include "tests/support/Golden.h"

using namespace kw;

TEST(GalleryMdiPage, FrameShowsItsChildrenAsOnScreen) {
  std::unique_ptr<TForm> page = gallery::MakeForm(L"Mdi");
  TForm* frame = page.get();
  ASSERT_NE(frame, nullptr);
  auto bmp = gallery::RenderForm(frame);
  EXPECT_TRUE(testsupport::MatchesGolden(*bmp, L"gallery_mdi", 8, 60));
  ASSERT_EQ(frame->MDIChildCount(), 3);
  auto* entry = dynamic_cast<TForm*>(frame->FindComponent(L"Entry"));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(frame->ActiveMDIChild(), entry);
  // Where no child covers the client window, its application-workspace face shows.
  RECT client;
  GetWindowRect(frame->ClientHandle(), &client);
  MapWindowPoints(nullptr, frame->Handle(), reinterpret_cast<POINT*>(&client), 2);
  EXPECT_EQ(bmp->Canvas()->Pixels(client.right - 10, client.top + 200), TColor(GetSysColor(COLOR_APPWORKSPACE)));
  // The active child's caption in the active caption colour, its edit's text on white.
  TPoint e = entry->ClientToScreen(TPoint(0, 0));
  TPoint f = frame->ClientToScreen(TPoint(0, 0));
  EXPECT_EQ(bmp->Canvas()->Pixels(e.X - f.X + 40, e.Y - f.Y - 8), TColor(GetSysColor(COLOR_ACTIVECAPTION)));
  auto* iconic = dynamic_cast<TForm*>(frame->FindComponent(L"Iconic"));
  ASSERT_NE(iconic, nullptr);
  EXPECT_TRUE(IsIconic(iconic->Handle()));
}
