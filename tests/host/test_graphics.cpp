// Tests of the geometry routines, GDI accounting, the shared handle cache and the drawing
// tools' properties and change notifications. Drawing itself is tested in test_canvas.cpp.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "host/Graphics.h"
#include "host/Win.h"

using namespace kw;

TEST(RectRoutines, IntersectAndUnionHandleEmptyAndDisjoint) {
  TRect out(1, 1, 1, 1);
  EXPECT_TRUE(IntersectRect(out, Rect(0, 0, 10, 10), Rect(5, 5, 20, 20)));
  EXPECT_EQ(out, Rect(5, 5, 10, 10));
  EXPECT_FALSE(IntersectRect(out, Rect(0, 0, 10, 10), Rect(10, 0, 20, 10)));  // touching edges share no pixel
  EXPECT_EQ(out, TRect());
  EXPECT_TRUE(UnionRect(out, Rect(0, 0, 0, 0), Rect(3, 4, 5, 6)));  // an empty side does not count
  EXPECT_EQ(out, Rect(3, 4, 5, 6));
  EXPECT_TRUE(UnionRect(out, Rect(-2, 0, 1, 1), Rect(3, 4, 5, 6)));
  EXPECT_EQ(out, Rect(-2, 0, 5, 6));
  EXPECT_FALSE(UnionRect(out, TRect(), Rect(5, 5, 5, 9)));
}

TEST(RectRoutines, ContainsIsExclusiveAtRightAndBottom) {
  TRect r = Bounds(10, 20, 5, 4);
  EXPECT_EQ(r, Rect(10, 20, 15, 24));
  EXPECT_TRUE(PtInRect(r, Point(10, 20)));
  EXPECT_TRUE(PtInRect(r, Point(14, 23)));
  EXPECT_FALSE(PtInRect(r, Point(15, 23)));
  EXPECT_FALSE(PtInRect(r, Point(14, 24)));
  EXPECT_EQ(CenterPoint(r), Point(12, 22));
  InflateRect(r, 2, 1);
  EXPECT_EQ(r, Rect(8, 19, 17, 25));
  OffsetRect(r, -8, 1);
  EXPECT_EQ(r.TopLeft(), Point(0, 20));
  EXPECT_EQ(r.BottomRight(), Point(9, 26));
  EXPECT_TRUE(IsRectEmpty(Rect(5, 5, 4, 9)));
  EXPECT_EQ(NormalizeRect(Rect(5, 9, 1, 2)), Rect(1, 2, 5, 9));
}

TEST(RectRoutines, ConvertsToWin32InPlace) {
  TRect r = Rect(1, 2, 3, 4);
  RECT w = KwRect(r);
  EXPECT_EQ(w.left, 1);
  EXPECT_EQ(w.bottom, 4);
  ::OffsetRect(KwPRect(&r), 10, 20);  // the Win32 routine on our record
  EXPECT_EQ(r, Rect(11, 22, 13, 24));
  EXPECT_EQ(KwToRect(w), Rect(1, 2, 3, 4));
}

TEST(GdiAccounting, WrappersCountWhatTheyMakeAndFree) {
  int regions = KwGdiCount(gkRegion), total = KwGdiTotal();
  TPoint tri[] = {Point(0, 0), Point(10, 0), Point(0, 10)};
  HRGN a = KwCreateRectRgn(0, 0, 5, 5);
  HRGN b = KwCreateEllipticRgn(0, 0, 5, 5);
  HRGN c = KwCreatePolygonRgn(tri, 3);
  HDC dc = KwCreateCompatibleDC(nullptr);
  EXPECT_EQ(KwGdiCount(gkRegion), regions + 3);
  EXPECT_EQ(KwGdiTotal(), total + 4);
  EXPECT_TRUE(::PtInRegion(c, 2, 2));
  EXPECT_FALSE(::PtInRegion(c, 8, 8));
  KwDeleteObject(gkRegion, a);
  KwDeleteObject(gkRegion, b);
  KwDeleteObject(gkRegion, c);
  KwDeleteObject(gkRegion, nullptr);
  KwDeleteDC(dc);
  EXPECT_EQ(KwGdiTotal(), total);
}

TEST(GdiAccounting, RegionHandedToWindowLeavesTheCount) {
  HWND wnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(wnd, nullptr);
  int total = KwGdiTotal();
  HRGN rgn = KwCreateRoundRectRgn(0, 0, 50, 50, 10, 10);
  KwHandRegionToWindow(wnd, rgn, false);
  EXPECT_EQ(KwGdiTotal(), total);
  HRGN probe = ::CreateRectRgn(0, 0, 0, 0);
  EXPECT_NE(::GetWindowRgn(wnd, probe), ERROR);
  ::DeleteObject(probe);
  ::DestroyWindow(wnd);
}

TEST(HandleCache, EqualFontsShareOneHandleFreedWithTheLast) {
  int fonts = KwGdiCount(gkFont);
  std::vector<TFont*> many;
  for (int i = 0; i < 3000; i++) {
    many.push_back(new TFont);
    many.back()->SetName(L"Courier New");
    many.back()->SetStyle({fsItalic});
  }
  HFONT h = many[0]->Handle();
  for (TFont* f : many) ASSERT_EQ(f->Handle(), h);
  EXPECT_EQ(KwGdiCount(gkFont), fonts + 1);
  many[1]->SetStyle({fsBold});  // a different description gets its own handle
  EXPECT_NE(many[1]->Handle(), h);
  EXPECT_EQ(KwGdiCount(gkFont), fonts + 2);
  LOGFONTW lf{};
  ASSERT_EQ(::GetObjectW(h, sizeof lf, &lf), int(sizeof lf));
  EXPECT_STREQ(lf.lfFaceName, L"Courier New");
  EXPECT_TRUE(lf.lfItalic);
  for (size_t i = 0; i + 1 < many.size(); i++) many[i]->Free();
  EXPECT_EQ(KwGdiCount(gkFont), fonts + 1);
  EXPECT_NE(::GetObjectType(h), 0u);  // the last user still holds it
  many.back()->Free();
  EXPECT_EQ(KwGdiCount(gkFont), fonts);
  EXPECT_EQ(::GetObjectType(h), 0u);
}

TEST(HandleCache, ClearBrushIsTheUncountedStockBrush) {
  int brushes = KwGdiCount(gkBrush);
  TBrush b;
  b.SetStyle(bsClear);
  EXPECT_EQ(b.Handle(), ::GetStockObject(NULL_BRUSH));
  EXPECT_EQ(KwGdiCount(gkBrush), brushes);
  b.SetColor(clRed);  // colouring a clear brush makes it solid
  EXPECT_EQ(b.Style(), bsSolid);
  LOGBRUSH lb{};
  ::GetObjectW(b.Handle(), sizeof lb, &lb);
  EXPECT_EQ(lb.lbStyle, UINT(BS_SOLID));
  EXPECT_EQ(lb.lbColor, RGB(255, 0, 0));
  b.SetStyle(bsDiagCross);
  ::GetObjectW(b.Handle(), sizeof lb, &lb);
  EXPECT_EQ(lb.lbStyle, UINT(BS_HATCHED));
  EXPECT_EQ(lb.lbHatch, ULONG_PTR(HS_DIAGCROSS));
}

TEST(HandleCache, ThreadsSharingDescriptionsLeaveNothing) {
  int total = KwGdiTotal();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; t++)
    threads.emplace_back([t] {
      for (int i = 0; i < 3000; i++) {
        TPen p;
        p.SetColor(TColor(KwRGB(Byte(i % 7), 0, 0)));
        p.SetWidth(1 + (i + t) % 3);
        TFont f;
        f.SetSize(8 + i % 4);
        if (!p.Handle() || !f.Handle()) throw 1;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(KwGdiTotal(), total);
  EXPECT_EQ(KwResourceCount(gkPen), 0);
}

TEST(DrawingTools, OnChangeFiresOnlyOnRealChange) {
  TPen p;
  int n = 0;
  p.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &p);
    n++;
  };
  p.SetColor(clBlack);
  p.SetWidth(0);  // clamps to the current 1
  p.SetStyle(psSolid);
  EXPECT_EQ(n, 0);
  p.SetWidth(2);
  p.SetMode(pmXor);
  EXPECT_EQ(n, 2);
  TPen q;
  q.SetWidth(2);
  q.SetMode(pmXor);
  p.Assign(&q);
  EXPECT_EQ(n, 2);
  q.SetColor(clRed);
  p.Assign(&q);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(p.Color(), clRed);
  TBrush brush;
  EXPECT_THROW(p.Assign(&brush), EConvertError);
}

TEST(DrawingTools, FontSizeAndHeightFollowPixelsPerInch) {
  TFont f;
  EXPECT_EQ(f.Name(), L"Tahoma");
  EXPECT_EQ(f.PixelsPerInch(), KwScreenPixelsPerInch());
  f.SetPixelsPerInch(96);
  f.SetHeight(-11);
  EXPECT_EQ(f.Size(), 8);
  f.SetSize(12);
  EXPECT_EQ(f.Height(), -16);
  f.SetPixelsPerInch(144);  // keeps the pixels, so the points shrink
  EXPECT_EQ(f.Height(), -16);
  EXPECT_EQ(f.Size(), 8);
  TFont g;
  g.SetPixelsPerInch(96);
  g.Assign(&f);  // across resolutions the points are kept
  EXPECT_EQ(g.Size(), 8);
  EXPECT_EQ(g.Height(), -11);
  f.SetName(L"");
  EXPECT_EQ(f.Name(), L"Tahoma");
}

TEST(DrawingTools, PublishedPropertiesUseMemberNames) {
  TPen p;
  EXPECT_EQ(GetEnumProp(&p, L"Style"), L"psSolid");
  SetEnumProp(&p, L"Mode", L"pmNotXor");
  EXPECT_EQ(p.Mode(), pmNotXor);
  EXPECT_EQ(GetPropInfo(&p, L"Color")->PropType, TypeInfoOf<TColor>());
  TFont f;
  SetSetProp(&f, L"Style", L"fsBold,fsUnderline");
  EXPECT_EQ(f.Style(), (TFontStyles{fsBold, fsUnderline}));
  EXPECT_FALSE(GetPropInfo(&f, L"Size")->IsStored(&f));
  EXPECT_TRUE(GetPropInfo(&f, L"Height")->IsStored(&f));
  SetEnumProp(&f, L"Quality", L"fqClearType");
  LOGFONTW lf{};
  ::GetObjectW(f.Handle(), sizeof lf, &lf);
  EXPECT_EQ(lf.lfQuality, CLEARTYPE_QUALITY);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_TRUE(lf.lfUnderline);
  TBrush b;
  EXPECT_EQ(GetEnumProp(&b, L"Style"), L"bsSolid");
  TCanvas c;
  EXPECT_EQ(GetObjectProp(&c, L"Font"), c.Font());
  EXPECT_EQ(GetOrdProp(&c, L"CopyMode"), cmSrcCopy);
}
