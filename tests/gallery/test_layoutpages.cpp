// The right-to-left and the scaled gallery pages against their goldens, with probes at named
// controls: mirrored places and sides, and sizes and fonts at 150 %.
#include <gtest/gtest.h>

#include "examples/gallery/Gallery.h"
#include "host/ExtCtrls.h"
#include "host/Exceptions.h"
#include "tests/gallery/Pages.h"
#include "tests/support/Golden.h"

using namespace kw;

namespace {

class LayoutPages : public testsupport::GalleryPages {
protected:
  template <class T>
  static T* Find(TForm* f, const wchar_t* name) {
    T* c = dynamic_cast<T*>(f->FindComponent(name));
    if (!c) throw Exception(L"no " + String(name));
    return c;
  }
  // The pixel at (dx, dy) of control c in a rendering of its form's client area.
  static TColor At(TBitmap& b, TForm* f, TControl* c, int dx, int dy) {
    TPoint p = c->Parent()->ClientToScreen(TPoint(c->Left() + dx, c->Top() + dy));
    TPoint o = f->ClientToScreen(TPoint(0, 0));
    return b.Canvas()->Pixels(p.X - o.X, p.Y - o.Y);
  }
  static int Ink(TBitmap& b, int x0, int x1, int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if ((ColorToRGB(b.Canvas()->Pixels(x, y)) & 0xFFFFFF) < 0x404040) ++n;
    return n;
  }
};

}  // namespace

TEST_F(LayoutPages, RightToLeftPageStandsMirroredAndMatchesItsGolden) {
  TForm* f = Form(L"RightToLeft");
  ASSERT_NE(f, nullptr);
  auto bmp = gallery::RenderForm(f);
  EXPECT_TRUE(testsupport::MatchesGolden(*bmp, L"gallery_righttoleft", 8, 40));
  // The side panel went to the right edge, the swatch to the right of its group.
  EXPECT_EQ(Find<TPanel>(f, L"Side")->Align(), alRight);
  EXPECT_EQ(bmp->Canvas()->Pixels(f->ClientWidth() - 30, 100), clTeal);
  EXPECT_EQ(bmp->Canvas()->Pixels(5, 100), ColorToRGB(clBtnFace));
  auto* swatch = Find<TShape>(f, L"Swatch");
  EXPECT_EQ(swatch->Left(), 260 - 10 - 40);
  EXPECT_EQ(At(*bmp, f, swatch, 20, 12), clRed);
  // The left-justified title's ink is at its right end.
  auto* title = Find<TLabel>(f, L"Title");
  int left = title->Left(), top = title->Top();
  EXPECT_EQ(Ink(*bmp, left, left + 30, top, top + 16), 0);
  EXPECT_GT(Ink(*bmp, left + title->Width() - 30, left + title->Width(), top, top + 16), 0);
}

TEST_F(LayoutPages, ScaledPageIsAtOneAndAHalfAndMatchesItsGolden) {
  TForm* f = Form(L"Scaled");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->ClientWidth(), 420);
  EXPECT_EQ(f->ClientHeight(), 270);
  EXPECT_EQ(f->Font()->Size(), 12);
  auto* bar = Find<TShape>(f, L"Bar");
  EXPECT_EQ(bar->BoundsRect(), TRect(12, 60, 372, 90));
  EXPECT_EQ(Find<TLabel>(f, L"BoldLabel")->Font()->Size(), 12) << "its own font, scaled too";
  auto bmp = gallery::RenderForm(f);
  EXPECT_TRUE(testsupport::MatchesGolden(*bmp, L"gallery_scaled", 8, 40));
  EXPECT_EQ(At(*bmp, f, bar, 5, 5), clNavy);
  EXPECT_EQ(At(*bmp, f, bar, bar->Width() - 5, bar->Height() - 5), clNavy);
}
