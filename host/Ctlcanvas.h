// TControlCanvas: a canvas on a window's own device context, taken when drawing starts and
// given back when the canvas lets it go. Controls attach it to their window; until controls
// exist it is attached to a window handle directly.
#pragma once

#include <functional>

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
  // Runs paint with the canvas, locked, on dc (a paint message's) in the given font and brush
  // colour, then puts the canvas back on its window.
  void PaintOn(HDC__* dc, const TFont* font, TColor color, const std::function<void()>& paint);

protected:
  void CreateHandle() override;

private:
  HWND__* FWindow = nullptr;
  HDC__* FWindowDC = nullptr;
};

}  // namespace kw
