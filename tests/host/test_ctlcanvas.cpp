// The window canvas: drawing reaches the window, the DC goes back, and a worker thread paints
// through its own canvas only while it holds that canvas's lock.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host/Ctlcanvas.h"
#include "host/Win.h"

using namespace kw;

namespace {

struct TTestWindow {
  HWND Wnd;
  TTestWindow() {
    Wnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 120, 80, nullptr, nullptr, nullptr, nullptr);
  }
  ~TTestWindow() { DestroyWindow(Wnd); }
  COLORREF Pixel(int x, int y) {
    HDC dc = GetDC(Wnd);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(Wnd, dc);
    return c;
  }
};

}  // namespace

TEST(ControlCanvas, DrawsIntoTheWindowAndGivesItsDCBack) {
  TTestWindow w;
  ASSERT_NE(w.Wnd, nullptr);
  int before = KwGdiCount(gkDC);
  {
    TControlCanvas canvas;
    EXPECT_THROW(canvas.FillRect(Rect(0, 0, 1, 1)), EInvalidOperation);  // no window yet
    canvas.SetWindowHandle(w.Wnd);
    canvas.Brush()->SetColor(clRed);
    canvas.FillRect(Rect(10, 10, 30, 30));
    EXPECT_EQ(KwGdiCount(gkDC), before + 1);
    canvas.FreeHandle();
    EXPECT_EQ(KwGdiCount(gkDC), before);
    EXPECT_EQ(w.Pixel(20, 20), RGB(255, 0, 0));
    EXPECT_NE(w.Pixel(40, 40), RGB(255, 0, 0));
    canvas.Brush()->SetColor(clBlue);
    canvas.FillRect(Rect(40, 10, 50, 20));  // takes a DC again
  }
  EXPECT_EQ(KwGdiCount(gkDC), before);
  EXPECT_EQ(w.Pixel(45, 15), RGB(0, 0, 255));
}

TEST(ControlCanvas, AWorkerPaintsOnlyWhileItHoldsTheLock) {
  TTestWindow w;
  TControlCanvas canvas;
  canvas.SetWindowHandle(w.Wnd);
  canvas.Lock();
  std::atomic<int> phase{0};
  bool gotWhileHeld = true, gotAfter = false;
  std::thread worker([&] {
    gotWhileHeld = canvas.TryLock();
    if (gotWhileHeld) canvas.Unlock();
    phase = 1;
    while (phase != 2) std::this_thread::yield();
    gotAfter = canvas.TryLock();
    if (gotAfter) {
      // The worker paints through a canvas of its own, as the animated controls do.
      TControlCanvas own;
      own.SetWindowHandle(w.Wnd);
      own.Brush()->SetColor(clLime);
      own.FillRect(Rect(60, 40, 70, 50));
      own.FreeHandle();
      canvas.Unlock();
    }
    phase = 3;
  });
  while (phase != 1) std::this_thread::yield();
  canvas.Unlock();
  phase = 2;
  worker.join();
  EXPECT_FALSE(gotWhileHeld);
  EXPECT_TRUE(gotAfter);
  EXPECT_EQ(w.Pixel(65, 45), RGB(0, 255, 0));
}
