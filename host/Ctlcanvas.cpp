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

}  // namespace kw
