// The window canvas: GetDCEx on demand, ReleaseDC when let go, counted as a DC.
#include "host/Ctlcanvas.h"

#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_REGISTER_CLASS(TControlCanvas, TCanvas)

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetWindowHandle(HWND__* wnd) {
  if (wnd == FWindow) return;
  FreeHandle();
  FWindow = wnd;
}

void TControlCanvas::CreateHandle() {
  if (!FWindow) return;
  HDC dc = GetDCEx(FWindow, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
  if (!dc) return;
  KwGdiCreated(gkDC);
  FWindowDC = dc;
  SetHandle(dc);
}

void TControlCanvas::FreeHandle() {
  if (!FWindowDC) return;
  SetHandle(nullptr);
  ReleaseDC(FWindow, FWindowDC);
  KwGdiDeleted(gkDC);
  FWindowDC = nullptr;
}

void TControlCanvas::PaintOn(HDC__* dc, const TFont* font, TColor color, const std::function<void()>& paint) {
  Lock();
  HWND__* wnd = FWindow;
  SetWindowHandle(nullptr);
  SetHandle(dc);
  struct Restore {
    TControlCanvas* c;
    HWND__* wnd;
    ~Restore() {
      c->SetHandle(nullptr);
      c->SetWindowHandle(wnd);
      c->Unlock();
    }
  } restore{this, wnd};
  Font()->Assign(font);
  Brush()->SetColor(color);
  paint();
}

}  // namespace kw
