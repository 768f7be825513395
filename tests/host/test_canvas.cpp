// Pixel tests of TCanvas: primitives, clipping, raster operations, text placement, object
// restoration, GDI leak accounting and the per-canvas lock. Pictures are tested elsewhere.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host/Graphics.h"
#include "host/Win.h"

using namespace kw;

namespace {

// A top-down 32-bit DIB section selected into its own memory DC, filled with one colour.
struct TTestDib {
  HDC DC = nullptr;
  HBITMAP Bmp = nullptr;
  HGDIOBJ Old = nullptr;
  UINT32* Bits = nullptr;
  int W, H;
  TTestDib(int w, int h, COLORREF fill = RGB(255, 255, 255)) : W(w), H(h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    DC = ::CreateCompatibleDC(nullptr);
    Bmp = ::CreateDIBSection(DC, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    Bits = static_cast<UINT32*>(bits);
    Old = ::SelectObject(DC, Bmp);
    Fill(fill);
  }
  ~TTestDib() {
    ::SelectObject(DC, Old);
    ::DeleteObject(Bmp);
    ::DeleteDC(DC);
  }
  void Fill(COLORREF c) {
    ::GdiFlush();
    UINT32 v = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    for (int i = 0; i < W * H; i++) Bits[i] = v;
  }
  COLORREF At(int x, int y) const {
    ::GdiFlush();
    UINT32 v = Bits[y * W + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }
  // The box of pixels that differ from background; empty when there are none.
  TRect Ink(COLORREF background = RGB(255, 255, 255)) const {
    TRect r(W, H, 0, 0);
    for (int y = 0; y < H; y++)
      for (int x = 0; x < W; x++)
        if (At(x, y) != background) r = TRect(std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1), std::max(r.Bottom, y + 1));
    return r.IsEmpty() ? TRect() : r;
  }
};

constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Black = RGB(0, 0, 0);
constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Lime = RGB(0, 255, 0);
constexpr COLORREF Blue = RGB(0, 0, 255);

}  // namespace

TEST(CanvasLines, OnePixelLineCoversStartButNotEnd) {
  TTestDib dib(40, 40);
  TCanvas c;
  c.SetHandle(dib.DC);
  c.MoveTo(10, 10);
  c.LineTo(20, 10);
  EXPECT_EQ(dib.At(10, 10), Black);
  EXPECT_EQ(dib.At(19, 10), Black);
  EXPECT_EQ(dib.At(20, 10), White);
  EXPECT_EQ(dib.At(9, 10), White);
  EXPECT_EQ(dib.At(15, 9), White);
  EXPECT_EQ(dib.At(15, 11), White);
  EXPECT_EQ(c.PenPos(), Point(20, 10));
}

TEST(CanvasLines, WidePenIsCentredOnTheLine) {
  TTestDib dib(40, 40);
  TCanvas c;
  c.SetHandle(dib.DC);
  c.Pen()->SetWidth(3);
  c.Pen()->SetColor(clRed);
  c.MoveTo(5, 20);
  c.LineTo(35, 20);
  for (int y : {19, 20, 21}) EXPECT_EQ(dib.At(20, y), Red) << y;
  EXPECT_EQ(dib.At(20, 18), White);
  EXPECT_EQ(dib.At(20, 22), White);
}

TEST(CanvasLines, XorPenDrawnTwiceRestoresTheBackground) {
  TTestDib dib(40, 40, Lime);
  TCanvas c;
  c.SetHandle(dib.DC);
  c.Pen()->SetColor(clRed);
  c.Pen()->SetMode(pmXor);
  c.MoveTo(0, 5);
  c.LineTo(40, 5);
  EXPECT_EQ(dib.At(10, 5), RGB(255, 255, 0));
  c.MoveTo(0, 5);
  c.LineTo(40, 5);
  EXPECT_EQ(dib.At(10, 5), Lime);
}

TEST(CanvasShapes, InsideFramePenStaysInsideTheRectangle) {
  TTestDib dib(60, 40);
  TCanvas c;
  c.SetHandle(dib.DC);
  c.Pen()->SetWidth(5);
  c.Brush()->SetColor(clBlue);
  c.Rectangle(10, 10, 30, 30);  // solid wide pen: centred on the outline, so it spills out
  EXPECT_EQ(dib.At(9, 20), Black);
  c.Pen()->SetStyle(psInsideFrame);
  c.Rectangle(35, 10, 55, 30);
  EXPECT_EQ(dib.At(34, 20), White);
  EXPECT_EQ(dib.At(35, 20), Black);
  EXPECT_EQ(dib.At(54, 20), Black);
  EXPECT_EQ(dib.At(45, 29), Black);
  EXPECT_EQ(dib.At(55, 20), White);
  EXPECT_EQ(dib.At(45, 30), White);
  EXPECT_EQ(dib.At(45, 20), Blue);
}

TEST(CanvasShapes, FillRectExcludesRightAndBottomEdges) {
  TTestDib dib(30, 30);
  TCanvas c;
  c.SetHandle(dib.DC);
  c.Brush()->SetColor(clRed);
  c.FillRect(Rect(5, 5, 15, 15));
  EXPECT_EQ(dib.At(5, 5), Red);
  EXPECT_EQ(dib.At(14, 14), Red);
  EXPECT_EQ(dib.At(15, 14), White);
  EXPECT_EQ(dib.At(14, 15), White);
  EXPECT_EQ(dib.At(4, 5), White);
  EXPECT_EQ(dib.At(5, 4), White);
}

TEST(CanvasShapes, FrameRectDrawsOnePixelBorderWithTheBrush) {
  TTestDib dib(30, 30);
  TCanvas c;
  c.SetHandle(dib.DC);
  c.Brush()->SetColor(clBlue);
  c.FrameRect(Rect(5, 5, 15, 15));
  for (auto p : {Point(5, 5), Point(14, 5), Point(5, 14), Point(14, 14), Point(10, 5), Point(5, 10)})
    EXPECT_EQ(dib.At(p.X, p.Y), Blue) << p.X << "," << p.Y;
  EXPECT_EQ(dib.At(6, 6), White);
  EXPECT_EQ(dib.At(10, 10), White);
  EXPECT_EQ(dib.At(15, 10), White);
}

TEST(CanvasShapes, EllipseFillsCentreAndLeavesCorners) {
  TTestDib dib(40, 40);
  TCanvas c;
  c.SetHandle(dib.DC);
  c.Brush()->SetColor(clRed);
  c.Ellipse(0, 0, 40, 40);
  EXPECT_EQ(dib.At(20, 20), Red);
  EXPECT_EQ(dib.At(20, 0), Black);  // the outline at the top
  for (auto p : {Point(1, 1), Point(38, 1), Point(1, 38), Point(38, 38)}) EXPECT_EQ(dib.At(p.X, p.Y), White);
}

TEST(CanvasShapes, ClearBrushLeavesTheInteriorAlone) {
  TTestDib dib(40, 40, Lime);
  TCanvas c;
  c.SetHandle(dib.DC);
  c.Brush()->SetStyle(bsClear);
  c.Rectangle(5, 5, 35, 35);
  EXPECT_EQ(dib.At(5, 20), Black);
  EXPECT_EQ(dib.At(20, 20), Lime);
}

TEST(CanvasClip, RegionExcludesPartOfAFill) {
  TTestDib dib(40, 40);
  HRGN rgn = KwCreateRectRgn(0, 0, 20, 40);
  ::SelectClipRgn(dib.DC, rgn);
  KwDeleteObject(gkRegion, rgn);
  TCanvas c;
  c.SetHandle(dib.DC);
  EXPECT_EQ(c.ClipRect(), Rect(0, 0, 20, 40));
  c.Brush()->SetColor(clLime);
  c.FillRect(Rect(0, 0, 40, 40));
  EXPECT_EQ(dib.At(19, 10), Lime);
  EXPECT_EQ(dib.At(20, 10), White);
  EXPECT_EQ(c.Pixels(500, 10), clNone);  // outside the bitmap
  EXPECT_EQ(c.Pixels(10, 10), TColor(Lime));
}

TEST(CanvasCopyRect, SrcInvertXorsSourceIntoDest) {
  TTestDib src(20, 10), dst(20, 10, Lime);
  TCanvas cs, cd;
  cs.SetHandle(src.DC);
  cd.SetHandle(dst.DC);
  cs.Brush()->SetColor(clBlack);
  cs.FillRect(Rect(10, 0, 20, 10));
  cd.SetCopyMode(cmSrcInvert);
  cd.CopyRect(Rect(0, 0, 20, 10), &cs, Rect(0, 0, 20, 10));
  EXPECT_EQ(dst.At(5, 5), RGB(255, 0, 255));  // white ^ lime
  EXPECT_EQ(dst.At(15, 5), Lime);             // black ^ lime
}

TEST(CanvasCopyRect, TernaryRopPaintsBrushWhereSourceIsSet) {
  // 0xE20746 is ((D ^ P) & S) ^ D: source bits set take the pattern, clear ones keep D.
  TTestDib src(20, 10), dst(20, 10, Lime);
  TCanvas cs, cd;
  cs.SetHandle(src.DC);
  cd.SetHandle(dst.DC);
  cs.Brush()->SetColor(clBlack);
  cs.FillRect(Rect(10, 0, 20, 10));
  cd.Brush()->SetColor(clRed);
  cd.SetCopyMode(0x00E20746);
  cd.CopyRect(Rect(0, 0, 20, 10), &cs, Rect(0, 0, 20, 10));
  EXPECT_EQ(dst.At(5, 5), Red);
  EXPECT_EQ(dst.At(15, 5), Lime);
}

TEST(CanvasCopyRect, BrushCopyReplacesTransparentColourWithBrush) {
  TTestDib dst(20, 10);
  HBITMAP bmp = KwCreateCompatibleBitmap(dst.DC, 20, 10);
  {
    HDC mdc = KwCreateCompatibleDC(dst.DC);
    HGDIOBJ old = ::SelectObject(mdc, bmp);
    TCanvas m;
    m.SetHandle(mdc);
    m.Brush()->SetColor(clFuchsia);
    m.FillRect(Rect(0, 0, 10, 10));
    m.Brush()->SetColor(clBlue);
    m.FillRect(Rect(10, 0, 20, 10));
    m.SetHandle(nullptr);
    ::SelectObject(mdc, old);
    KwDeleteDC(mdc);
  }
  int before = KwGdiTotal();
  {
    TCanvas c;
    c.SetHandle(dst.DC);
    c.Brush()->SetColor(clLime);
    c.BrushCopy(Rect(0, 0, 20, 10), bmp, Rect(0, 0, 20, 10), clFuchsia);
    EXPECT_EQ(dst.At(5, 5), Lime);
    EXPECT_EQ(dst.At(15, 5), Blue);
  }
  EXPECT_EQ(KwGdiTotal(), before) << "BrushCopy leaked its work objects";
  KwDeleteObject(gkBitmap, bmp);
}

namespace {

TFont* NonAntialiased(TCanvas& c, TColor color) {
  c.Font()->SetQuality(fqNonAntialiased);
  c.Font()->SetColor(color);
  c.Font()->SetSize(14);
  c.Brush()->SetStyle(bsClear);
  return c.Font();
}

}  // namespace

TEST(CanvasText, TextOutInkStaysInsideTextExtent) {
  TTestDib dib(200, 60);
  TCanvas c;
  c.SetHandle(dib.DC);
  NonAntialiased(c, clRed);
  TSize e = c.TextExtent(L"Hgjq");
  ASSERT_GT(e.cx, 0);
  ASSERT_GT(e.cy, 0);
  c.TextOut(20, 10, L"Hgjq");
  TRect box = Bounds(20, 10, e.cx, e.cy);
  int inside = 0, outside = 0;
  for (int y = 0; y < dib.H; y++)
    for (int x = 0; x < dib.W; x++) {
      COLORREF p = dib.At(x, y);
      if (box.Contains(Point(x, y))) inside += p == Red;
      else outside += p != White;
    }
  EXPECT_GT(inside, 20);
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(c.PenPos(), Point(20 + e.cx, 10));
}

TEST(CanvasText, OpaqueBrushFillsTheTextCell) {
  TTestDib dib(200, 60);
  TCanvas c;
  c.SetHandle(dib.DC);
  NonAntialiased(c, clRed);
  c.Brush()->SetColor(clBlue);
  TSize e = c.TextExtent(L"H");
  c.TextOut(10, 10, L"H");
  EXPECT_EQ(dib.Ink(), Bounds(10, 10, e.cx, e.cy));
}

TEST(CanvasText, RotatedFontDrawsTallerThanWide) {
  TTestDib dib(120, 200);
  TCanvas c;
  c.SetHandle(dib.DC);
  NonAntialiased(c, clBlack)->SetOrientation(900);
  c.TextOut(40, 180, L"Hello world");
  TRect ink = dib.Ink();
  ASSERT_FALSE(ink.IsEmpty());
  EXPECT_GT(ink.Height(), 2 * ink.Width());
  EXPECT_LE(ink.Bottom, 181);  // 90 degrees counter-clockwise runs upward from the origin
}

TEST(CanvasText, TextRectCentresSingleLine) {
  TTestDib a(200, 60), b(200, 60);
  TCanvas ca, cb;
  ca.SetHandle(a.DC);
  cb.SetHandle(b.DC);
  NonAntialiased(ca, clBlack);
  NonAntialiased(cb, clBlack);
  TRect r = Rect(0, 0, 200, 60);
  ca.TextRect(r, L"Centre", TTextFormat{tfCenter, tfSingleLine, tfVerticalCenter});
  TSize e = cb.TextExtent(L"Centre");
  cb.TextOut((200 - e.cx) / 2, (60 - e.cy) / 2, L"Centre");
  TRect ia = a.Ink(), ib = b.Ink();
  ASSERT_FALSE(ia.IsEmpty());
  EXPECT_LE(std::abs(ia.Left - ib.Left), 1);
  EXPECT_LE(std::abs(ia.Top - ib.Top), 1);
  EXPECT_EQ(ia.Width(), ib.Width());
  // And the text really is near the middle, not at the top left.
  EXPECT_LE(std::abs(CenterPoint(ia).X - 100), 3);
}

TEST(CanvasText, CalcRectMeasuresWithoutDrawing) {
  TTestDib dib(200, 60);
  TCanvas c;
  c.SetHandle(dib.DC);
  int changes = 0;
  c.OnChange = [&](TObject*) { changes++; };
  TRect r = Rect(10, 10, 10, 10);
  int h = c.TextRect(r, L"Measure me", TTextFormat{tfCalcRect, tfSingleLine});
  EXPECT_EQ(dib.Ink(), TRect());
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(r.Width(), c.TextWidth(L"Measure me"));
  EXPECT_EQ(h, c.TextHeight(L"Measure me"));
}

TEST(CanvasHandle, ReleasingRestoresTheOriginalObjects) {
  TTestDib dib(20, 20);
  HGDIOBJ pen = ::GetCurrentObject(dib.DC, OBJ_PEN);
  HGDIOBJ brush = ::GetCurrentObject(dib.DC, OBJ_BRUSH);
  HGDIOBJ font = ::GetCurrentObject(dib.DC, OBJ_FONT);
  COLORREF text = ::GetTextColor(dib.DC);
  int bkMode = ::GetBkMode(dib.DC);
  {
    TCanvas c;
    c.SetHandle(dib.DC);
    // Nothing is selected before a drawing call asks for it.
    EXPECT_EQ(::GetCurrentObject(dib.DC, OBJ_PEN), pen);
    c.Pen()->SetColor(clRed);
    c.Brush()->SetStyle(bsCross);
    c.Font()->SetColor(clBlue);
    c.Rectangle(0, 0, 10, 10);
    c.TextOut(0, 0, L"x");
    EXPECT_EQ(::GetCurrentObject(dib.DC, OBJ_PEN), c.Pen()->Handle());
    EXPECT_EQ(::GetCurrentObject(dib.DC, OBJ_FONT), c.Font()->Handle());
    c.SetHandle(nullptr);
    EXPECT_FALSE(c.HandleAllocated());
    EXPECT_EQ(::GetCurrentObject(dib.DC, OBJ_PEN), pen);
    EXPECT_EQ(::GetCurrentObject(dib.DC, OBJ_BRUSH), brush);
    EXPECT_EQ(::GetCurrentObject(dib.DC, OBJ_FONT), font);
    EXPECT_EQ(::GetTextColor(dib.DC), text);
    EXPECT_EQ(::GetBkMode(dib.DC), bkMode);
    c.SetHandle(dib.DC);
    c.LineTo(5, 5);
  }
  // Destruction lets go as well.
  EXPECT_EQ(::GetCurrentObject(dib.DC, OBJ_PEN), pen);
}

TEST(CanvasHandle, NoDeviceContextRaisesInvalidOperation) {
  TCanvas c;
  try {
    c.Rectangle(0, 0, 1, 1);
    FAIL() << "no exception";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), L"Canvas does not allow drawing");
  }
  EXPECT_THROW(c.Handle(), EInvalidOperation);
}

TEST(CanvasLeaks, TenThousandMixedCallsLeaveNoGdiObject) {
  int before = KwGdiTotal();
  {
    TTestDib dib(100, 100);
    TCanvas c;
    c.SetHandle(dib.DC);
    const TColor colors[] = {clRed, clBlue, clLime, clBlack, clNavy, clTeal, clBtnFace};
    for (int i = 0; i < 10000; i++) {
      TColor col = colors[i % 7];
      switch (i % 10) {
        case 0: c.Pen()->SetColor(col); c.Pen()->SetWidth(1 + i % 4); break;
        case 1: c.Brush()->SetColor(col); c.Brush()->SetStyle(TBrushStyle(i / 10 % 8)); break;
        case 2: c.Font()->SetSize(6 + i % 13); c.Font()->SetStyle(i & 2 ? TFontStyles{fsBold} : TFontStyles{}); break;
        case 3: c.Rectangle(i % 50, i % 40, i % 50 + 30, i % 40 + 20); break;
        case 4: c.Ellipse(5, 5, 60, 40 + i % 30); break;
        case 5: c.TextOut(i % 60, i % 70, L"Leak?"); break;
        case 6: c.FillRect(Rect(0, 0, i % 90, 10)); break;
        case 7: c.MoveTo(0, i % 100); c.LineTo(99, 99 - i % 100); break;
        case 8: c.Pen()->SetStyle(TPenStyle(i / 10 % 7)); c.RoundRect(10, 10, 80, 80, 12, 12); break;
        case 9: c.Font()->SetOrientation(i % 3 * 450); c.TextRect(Rect(0, 0, 50, 20), L"xy", TTextFormat{tfCenter}); break;
      }
    }
    EXPECT_GT(KwGdiTotal(), before);  // the current tools are alive while the canvas is
  }
  EXPECT_EQ(KwGdiTotal(), before);
  EXPECT_EQ(KwGdiCount(gkPen), 0);
  EXPECT_EQ(KwGdiCount(gkFont), 0);
}

TEST(CanvasFrame3D, DrawsBothColoursAndShrinksTheRect) {
  TTestDib dib(20, 20, Black);
  TCanvas c;
  c.SetHandle(dib.DC);
  c.Pen()->SetColor(clLime);
  c.Pen()->SetWidth(4);
  TRect r = Rect(2, 2, 12, 12);
  Frame3D(&c, r, clWhite, clRed, 2);
  EXPECT_EQ(r, Rect(4, 4, 10, 10));
  EXPECT_EQ(dib.At(2, 2), White);
  EXPECT_EQ(dib.At(6, 2), White);
  EXPECT_EQ(dib.At(2, 6), White);
  EXPECT_EQ(dib.At(11, 6), Red);
  EXPECT_EQ(dib.At(6, 11), Red);
  EXPECT_EQ(dib.At(11, 2), Red);  // the far corners belong to the bottom colour
  EXPECT_EQ(dib.At(2, 11), Red);
  EXPECT_EQ(dib.At(3, 3), White);  // second ring
  EXPECT_EQ(dib.At(10, 10), Red);
  EXPECT_EQ(dib.At(5, 5), Black);
  EXPECT_EQ(dib.At(12, 6), Black);
  EXPECT_EQ(c.Pen()->Color(), clLime);
  EXPECT_EQ(c.Pen()->Width(), 4);
}

TEST(CanvasLock, TryLockFromAnotherThreadFailsWhileHeld) {
  TCanvas c;
  c.Lock();
  c.Lock();  // recursive on the owning thread
  EXPECT_EQ(c.LockCount(), 2);
  bool got = true;
  std::thread([&] { got = c.TryLock(); }).join();
  EXPECT_FALSE(got);
  c.Unlock();
  std::thread([&] { got = c.TryLock(); }).join();
  EXPECT_FALSE(got);
  c.Unlock();
  EXPECT_EQ(c.LockCount(), 0);
  std::thread([&] {
    got = c.TryLock();
    if (got) c.Unlock();
  }).join();
  EXPECT_TRUE(got);
}

TEST(CanvasLock, WorkerPaintsWithItsOwnCanvasBesideTheMainThread) {
  int before = KwGdiTotal();
  {
    TTestDib main(64, 64), work(64, 64);
    std::atomic<bool> ok{true};
    std::thread worker([&] {
      TCanvas c;
      if (!c.TryLock()) {
        ok = false;
        return;
      }
      c.SetHandle(work.DC);
      for (int i = 0; i < 2000; i++) {
        c.Font()->SetSize(8 + i % 5);
        c.Brush()->SetColor(i % 2 ? clRed : clBlue);
        c.FillRect(Rect(0, 0, 32, 32));
        c.TextOut(0, 40, L"w");
      }
      c.SetHandle(nullptr);
      c.Unlock();
    });
    TCanvas c;
    c.SetHandle(main.DC);
    for (int i = 0; i < 2000; i++) {
      c.Font()->SetSize(8 + i % 5);  // the same descriptions the worker uses, shared in the cache
      c.Brush()->SetColor(i % 2 ? clBlue : clRed);
      c.FillRect(Rect(0, 0, 32, 32));
      c.TextOut(0, 40, L"m");
    }
    worker.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(main.At(10, 10), Blue);
    EXPECT_EQ(work.At(10, 10), Red);
  }
  EXPECT_EQ(KwGdiTotal(), before);
}
