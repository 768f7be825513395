// Test helpers of the skin tests: a white 32-bit bitmap read back pixel by pixel, a snapshot of
// every canvas value the renderers promise to restore, and region pixels.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host/Bitmap.h"
#include "host/Graphics.h"

struct HRGN__;

namespace kw::testskin {

struct TSurface {
  TBitmap Bmp;
  TSurface(int w, int h, TColor fill = clWhite);
  TCanvas* C() { return Bmp.Canvas(); }
  void Fill(TColor c);
  TColor At(int x, int y);  // plain RGB
  int W() const { return Bmp.Width(); }
  int H() const { return Bmp.Height(); }
  // Pixels that are not background.
  int Count(TColor background = clWhite);
  // Pixels of exactly this colour.
  int Of(TColor color) { return W() * H() - Count(color); }
  // The bounding box of the pixels that differ from background, empty when none.
  TRect Ink(TColor background = clWhite);
  // Fills the surface white and the region black.
  void PaintRegion(HRGN__* region);
  // One character per pixel ('#' for ink, '.' for background) for failure messages.
  std::string Picture(TColor background = clWhite);
};

TColor Rgb(int r, int g, int b);

// Everything a routine may touch and must give back.
struct TCanvasValues {
  TColor PenColor, BrushColor;
  int PenWidth;
  TPenStyle PenStyle;
  TPenMode PenMode;
  TBrushStyle BrushStyle;
  void* BrushBitmap;
  TCopyMode CopyMode;
  TRect Clip;
  TPoint PenPos;
  static TCanvasValues Of(TCanvas* c);
  bool operator==(const TCanvasValues& o) const;
  std::string Describe() const;
};

// Sets the canvas to unusual values so that a routine which forgets one is seen.
void SetOddValues(TCanvas* c);

}  // namespace kw::testskin
