// TControlCanvas: a canvas on a window's own device context, taken when drawing starts and
// given back when the canvas lets it go. Controls attach it to their window; until controls
// exist it is attached to a window handle directly.
#pragma once

#include "host/Graphics.h"

namespace kw {

class TControlCanvas : public TCanvas {
  KW_CLASS(TControlCanvas, TCanvas)
  TControlCanvas() = default;
  ~TControlCanvas() override;
  HWND__* WindowHandle() const { return FWindow; }
  // Changing the window gives back the DC of the old one first.
  void SetWindowHandle(HWND__* wnd);
  // Gives the DC back now (after painting, before the window goes).
  void FreeHandle() override;

protected:
  void CreateHandle() override;

private:
  HWND__* FWindow = nullptr;
  HDC__* FWindowDC = nullptr;
};

}  // namespace kw
