// The skin tests' bitmap reader, canvas snapshot and region painter.
#include "tests/skin/Surface.h"

#include <cstdio>

#include "host/Win.h"

namespace kw::testskin {

TColor Rgb(int r, int g, int b) { return TColor(KwRGB(Byte(r), Byte(g), Byte(b))); }

TSurface::TSurface(int w, int h, TColor fill) : Bmp(w, h) {
  Bmp.SetPixelFormat(pf32bit);
  Fill(fill);
}

void TSurface::Fill(TColor c) {
  TRect all(0, 0, W(), H());
  TBrush b;
  b.SetColor(c);
  ::FillRect(C()->Handle(), KwPRect(&all), b.Handle());
}

TColor TSurface::At(int x, int y) {
  const Byte* p = static_cast<const Byte*>(Bmp.ScanLine(y)) + x * 4;
  return Rgb(p[2], p[1], p[0]);
}

int TSurface::Count(TColor background) {
  int n = 0;
  for (int y = 0; y < H(); y++)
    for (int x = 0; x < W(); x++) n += At(x, y) != background;
  return n;
}

TRect TSurface::Ink(TColor background) {
  TRect r(W(), H(), 0, 0);
  for (int y = 0; y < H(); y++)
    for (int x = 0; x < W(); x++)
      if (At(x, y) != background)
        r = TRect(std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1), std::max(r.Bottom, y + 1));
  return r.IsEmpty() ? TRect() : r;
}

void TSurface::PaintRegion(HRGN__* region) {
  Fill(clWhite);
  TBrush b;
  b.SetColor(clBlack);
  ::FillRgn(C()->Handle(), region, b.Handle());
}

std::string TSurface::Picture(TColor background) {
  std::string out;
  for (int y = 0; y < H(); y++) {
    for (int x = 0; x < W(); x++) out += At(x, y) == background ? '.' : '#';
    out += '\n';
  }
  return out;
}

TCanvasValues TCanvasValues::Of(TCanvas* c) {
  TCanvasValues v;
  v.PenColor = c->Pen()->Color();
  v.PenWidth = c->Pen()->Width();
  v.PenStyle = c->Pen()->Style();
  v.PenMode = c->Pen()->Mode();
  v.BrushColor = c->Brush()->Color();
  v.BrushStyle = c->Brush()->Style();
  v.BrushBitmap = c->Brush()->Bitmap();
  v.CopyMode = c->CopyMode();
  v.Clip = c->ClipRect();
  v.PenPos = c->PenPos();
  return v;
}

bool TCanvasValues::operator==(const TCanvasValues& o) const {
  return PenColor == o.PenColor && PenWidth == o.PenWidth && PenStyle == o.PenStyle && PenMode == o.PenMode &&
         BrushColor == o.BrushColor && BrushStyle == o.BrushStyle && BrushBitmap == o.BrushBitmap &&
         CopyMode == o.CopyMode && Clip == o.Clip && PenPos == o.PenPos;
}

std::string TCanvasValues::Describe() const {
  char buf[256];
  std::snprintf(buf, sizeof buf,
                "pen %08X w%d s%d m%d, brush %08X s%d bmp %p, copy %08X, clip %d,%d,%d,%d, pos %d,%d",
                unsigned(PenColor), PenWidth, int(PenStyle), int(PenMode), unsigned(BrushColor), int(BrushStyle),
                BrushBitmap, unsigned(CopyMode), Clip.Left, Clip.Top, Clip.Right, Clip.Bottom, PenPos.X, PenPos.Y);
  return buf;
}

void SetOddValues(TCanvas* c) {
  c->Pen()->SetColor(clTeal);
  c->Pen()->SetWidth(3);
  c->Pen()->SetStyle(psDot);
  c->Pen()->SetMode(pmXor);
  c->Brush()->SetColor(clFuchsia);
  c->Brush()->SetStyle(bsCross);
  c->SetCopyMode(cmMergeCopy);
  c->MoveTo(3, 4);
}

}  // namespace kw::testskin
