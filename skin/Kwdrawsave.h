// Saving and restoring what the rendering routines change on a canvas: its pen, brush, copy
// mode and pen position, and separately its clip region. Internal to the rendering unit.
#pragma once

#include "host/Graphics.h"

struct HRGN__;

namespace kw {

// Puts the canvas's pen, brush, copy mode and (when asked) pen position back on destruction,
// so an exception leaves the canvas as it was too.
class TKwCanvasSave {
public:
  explicit TKwCanvasSave(TCanvas* canvas, bool penPos = false);
  ~TKwCanvasSave();
  TKwCanvasSave(const TKwCanvasSave&) = delete;
  TKwCanvasSave& operator=(const TKwCanvasSave&) = delete;

private:
  TCanvas* FCanvas;
  TPen FPen;
  TBrush FBrush;
  TCopyMode FCopyMode;
  bool FHasPos;
  TPoint FPos;
};

// Keeps the canvas's clip region (or its absence) and selects it back on destruction.
class TKwClipSave {
public:
  explicit TKwClipSave(TCanvas* canvas);
  ~TKwClipSave();
  TKwClipSave(const TKwClipSave&) = delete;
  TKwClipSave& operator=(const TKwClipSave&) = delete;
  HDC__* DC() const { return FDC; }

private:
  HDC__* FDC;
  HRGN__* FRegion;
  bool FHad;
};

// A pattern brush holds a copy of the bitmap it was made from, and the host caches brushes by
// bitmap handle; after the recoloured grid was used, the canvas must let go of that brush so
// the next use makes a fresh one.
void KwReleaseGridBrush(TCanvas* canvas);

}  // namespace kw
