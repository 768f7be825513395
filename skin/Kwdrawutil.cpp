// Colour arithmetic, the 8-bit palette, the grid brush, the background fill of a rectangle
// (solid, nine gradients, stretched, tiled and placed images, checker grid) and the canvas
// save records. Shapes and the marks drawn with them are in Kwdrawshape.cpp.
#include "skin/Kwdrawutil.h"

#include "core/Kwlinks.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Win.h"
#include "skin/Kwdrawsave.h"

namespace kw {

TKwImageResolver KwResolveImage = nullptr;

namespace {

// The unit's grid bitmap and palette, freed when the library ends. Not by a static destructor:
// at process exit the GDI accounting they report to may already be gone (the system takes the
// handles back then anyway).
struct TUnitState {
  HBITMAP Grid = nullptr;
  UINT32* GridBits = nullptr;
  HPALETTE Palette = nullptr;
};
TUnitState& State() {
  static TUnitState* state = new TUnitState();
  return *state;
}

void EndUnit() {
  TUnitState& s = State();
  KwDeleteObject(gkBitmap, s.Grid);
  KwDeleteObject(gkPalette, s.Palette);
  s.Grid = nullptr;
  s.GridBits = nullptr;
  s.Palette = nullptr;
}

const bool GUnitAdded = (KwAddUnit(nullptr, &EndUnit), true);

// The RGB value of a colour for arithmetic: system colours resolved, the palette flag dropped.
Int32 Rgb(TColor c) { return ColorToRGB(c) & 0x00FFFFFF; }

}  // namespace

TKwCanvasSave::TKwCanvasSave(TCanvas* canvas, bool penPos)
    : FCanvas(canvas), FCopyMode(canvas->CopyMode()), FHasPos(penPos) {
  FPen.Assign(canvas->Pen());
  FBrush.Assign(canvas->Brush());
  if (penPos) FPos = canvas->PenPos();
}

TKwCanvasSave::~TKwCanvasSave() {
  FCanvas->Pen()->Assign(&FPen);
  FCanvas->Brush()->Assign(&FBrush);
  FCanvas->SetCopyMode(FCopyMode);
  if (FHasPos) FCanvas->MoveTo(FPos.X, FPos.Y);
}

TKwClipSave::TKwClipSave(TCanvas* canvas) : FDC(canvas->Handle()), FRegion(KwCreateRectRgn(0, 0, 0, 0)) {
  FHad = FRegion && ::GetClipRgn(FDC, FRegion) == 1;
}

TKwClipSave::~TKwClipSave() {
  ::SelectClipRgn(FDC, FHad ? FRegion : nullptr);
  KwDeleteObject(gkRegion, FRegion);
}

void KwReleaseGridBrush(TCanvas* canvas) {
  canvas->Brush()->SetBitmap(nullptr);
  canvas->Refresh();
}

TColor KwSolidColor(TColor color) {
  if (Int32(color) < 0) return color;
  return TColor((Int32(color) & 0x00FFFFFF) | 0x02000000);
}

TColor KwIntermediateColor(TColor a, TColor b, int num, int den) {
  Int32 ca = Rgb(a), cb = Rgb(b);
  auto channel = [&](Byte x, Byte y) {
    // nearbyint rounds halves to even under the default rounding mode, as the host's Round.
    double v = std::nearbyint(double(x) + double(num) * (double(y) - double(x)) / double(den));
    return Byte(std::clamp(v, 0.0, 255.0));
  };
  return KwSolidColor(TColor(KwRGB(channel(GetRValue(ca), GetRValue(cb)), channel(GetGValue(ca), GetGValue(cb)),
                                   channel(GetBValue(ca), GetBValue(cb)))));
}

bool Kw8BitPalette() {
  HDC dc = ::GetDC(nullptr);
  if (!dc) return false;
  int bits = ::GetDeviceCaps(dc, BITSPIXEL) * ::GetDeviceCaps(dc, PLANES);
  ::ReleaseDC(nullptr, dc);
  return bits == 8;
}

HPALETTE__* KwCreatePalette() {
  struct {
    WORD Version;
    WORD Count;
    PALETTEENTRY Entries[256];
  } pal{};
  pal.Version = 0x300;
  pal.Count = 256;
  if (HDC dc = ::GetDC(nullptr)) {
    ::GetSystemPaletteEntries(dc, 0, 10, &pal.Entries[0]);
    ::GetSystemPaletteEntries(dc, 246, 10, &pal.Entries[246]);
    ::ReleaseDC(nullptr, dc);
  }
  for (int k = 0; k < 216; k++)
    pal.Entries[10 + k] = {BYTE(k % 6 * 51), BYTE(k / 6 % 6 * 51), BYTE(k / 36 * 51), PC_NOCOLLAPSE};
  for (int g = 0; g < 20; g++) pal.Entries[226 + g] = {BYTE(g * 13), BYTE(g * 13), BYTE(g * 13), PC_NOCOLLAPSE};
  return KwCreatePalette(static_cast<const void*>(&pal));
}

HPALETTE__* KwGetPalette() { return State().Palette; }

void KwSetPalette(HPALETTE__* palette) {
  if (!Kw8BitPalette()) return;
  TUnitState& s = State();
  KwDeleteObject(gkPalette, s.Palette);
  s.Palette = nullptr;
  if (!palette) return;
  struct {
    WORD Version;
    WORD Count;
    PALETTEENTRY Entries[256];
  } pal{};
  pal.Version = 0x300;
  pal.Count = WORD(::GetPaletteEntries(palette, 0, 256, pal.Entries));
  if (pal.Count) s.Palette = KwCreatePalette(static_cast<const void*>(&pal));
}

HPALETTE__* KwInitPalette(HDC__* dc) {
  TUnitState& s = State();
  if (!Kw8BitPalette()) {
    KwDeleteObject(gkPalette, s.Palette);
    s.Palette = nullptr;
    return nullptr;
  }
  if (!s.Palette) s.Palette = KwCreatePalette();
  HPALETTE old = ::SelectPalette(dc, s.Palette, FALSE);
  ::RealizePalette(dc);
  return old;
}

void KwEndPalette(HDC__* dc, HPALETTE__* old) {
  if (!old) return;
  ::SelectPalette(dc, old, FALSE);
  ::RealizePalette(dc);
}

void KwAssignBitmapPalette(TBitmap* bitmap) {
  if (!bitmap || !Kw8BitPalette()) return;
  TUnitState& s = State();
  if (!s.Palette) s.Palette = KwCreatePalette();
  HDC dc = bitmap->Canvas()->Handle();
  ::SelectPalette(dc, s.Palette, FALSE);
  ::RealizePalette(dc);
}

HBITMAP__* KwCreateBrushGrid(TColor color) {
  TUnitState& s = State();
  if (!s.Grid) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 8;
    bi.bmiHeader.biHeight = -8;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    s.Grid = KwCreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits);
    if (!s.Grid) throw EOutOfResources(SRes::SOutOfResources);
    s.GridBits = static_cast<UINT32*>(bits);
  }
  ::GdiFlush();
  Int32 c = Rgb(color);
  UINT32 fill = (UINT32(GetRValue(c)) << 16) | (UINT32(GetGValue(c)) << 8) | GetBValue(c);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) s.GridBits[y * 8 + x] = (x & 1) == (y & 1) ? 0x00FFFFFFu : fill;
  return s.Grid;
}

namespace {

bool IsGradient(TKwBackGroundStyle style) { return style >= bgsUp && style <= bgsVertOut; }

void FillSolid(TCanvas* canvas, const TRect& r, TColor color) {
  canvas->Brush()->SetColor(color);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->FillRect(r);
}

// The colour table of a gradient: steps entries from c1 towards c2, the last one step short.
std::vector<TColor> GradientTable(TColor c1, TColor c2, int steps) {
  Int32 a = Rgb(c1), b = Rgb(c2);
  double dr = (double(GetRValue(b)) - GetRValue(a)) / steps, dg = (double(GetGValue(b)) - GetGValue(a)) / steps,
         db = (double(GetBValue(b)) - GetBValue(a)) / steps;
  auto ch = [](double v) { return Byte(std::clamp(std::nearbyint(v), 0.0, 255.0)); };
  std::vector<TColor> table(static_cast<size_t>(steps));
  for (int i = 0; i < steps; i++)
    table[size_t(i)] = KwSolidColor(TColor(KwRGB(ch(GetRValue(a) + i * dr), ch(GetGValue(a) + i * dg),
                                                 ch(GetBValue(a) + i * db))));
  return table;
}

void DrawBands(TCanvas* canvas, const TRect& r, TKwBackGroundStyle style, TColor start, TColor end, int maxSteps) {
  int W = r.Width(), H = r.Height();
  bool across = style == bgsLeft || style == bgsRight || style == bgsHorzIn || style == bgsHorzOut;
  int n = across ? W : H;
  int steps = n;
  if (maxSteps != 0 && n >= maxSteps) steps = maxSteps;
  // A negative limit would leave no band at all; one band is the least a fill can have.
  steps = std::clamp(steps, 1, 100);
  bool forward = style == bgsDown || style == bgsRight || style == bgsHorzOut || style == bgsVertOut;
  std::vector<TColor> table = forward ? GradientTable(start, end, steps) : GradientTable(end, start, steps);
  auto band = [&](int i, int count, TColor color) {
    TRect b = r;
    if (across) {
      b.Left = r.Left + ::MulDiv(i, W, count);
      b.Right = r.Left + ::MulDiv(i + 1, W, count);
    } else {
      b.Top = r.Top + ::MulDiv(i, H, count);
      b.Bottom = r.Top + ::MulDiv(i + 1, H, count);
    }
    FillSolid(canvas, b, color);
  };
  if (style == bgsUp || style == bgsDown || style == bgsLeft || style == bgsRight) {
    for (int i = 0; i < steps; i++) band(i, steps, table[size_t(i)]);
    return;
  }
  int half = steps / 2, m = 2 * half;
  // A single step has no two halves to mirror: the whole rectangle takes the first colour.
  if (m == 0) {
    FillSolid(canvas, r, table[0]);
    return;
  }
  for (int i = 0; i < m; i++) band(i, m, table[size_t(i < half ? 2 * i : 2 * (m - i - 1))]);
}

// The picture behind an image reference as a bitmap, with its transparent colour turned into
// solid when asked; null when there is no usable picture.
std::unique_ptr<TBitmap> LoadImageBitmap(const TKwMemoryImage* image, bool transparent, TColor solid) {
  if (!image || !KwResolveImage) return nullptr;
  std::unique_ptr<TBitmap> bmp = KwResolveImage(image);
  if (!bmp || bmp->Empty() || bmp->Width() < 1 || bmp->Height() < 1) return nullptr;
  if (!transparent) return bmp;
  auto over = std::make_unique<TBitmap>(bmp->Width(), bmp->Height());
  KwAssignBitmapPalette(over.get());
  TCanvas* c = over->Canvas();
  TRect all(0, 0, bmp->Width(), bmp->Height());
  TColor key = bmp->TransparentColor();
  // The copy selects the picture into a DC of its own, which it cannot while the picture's
  // canvas holds it.
  bmp->Dormant();
  c->Brush()->SetColor(solid);
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(all);
  c->BrushCopy(all, bmp->Handle(), all, key);
  return over;
}

void DrawImage(TCanvas* canvas, const TRect& r, TKwBackGroundStyle style, TColor solid, const TKwMemoryImage* image,
               bool transparent) {
  std::unique_ptr<TBitmap> bmp = LoadImageBitmap(image, transparent, solid);
  int W = r.Width(), H = r.Height();
  canvas->SetCopyMode(cmSrcCopy);
  if (style == bgsStretchImage || style == bgsTileImage) {
    if (!bmp) {
      FillSolid(canvas, r, solid);
      return;
    }
    int bw = bmp->Width(), bh = bmp->Height();
    if (style == bgsStretchImage) {
      if (Kw8BitPalette()) canvas->CopyRect(r, bmp->Canvas(), TRect(0, 0, bw, bh));
      else canvas->StretchDraw(r, bmp.get());
      return;
    }
    for (int y = r.Top; y < r.Bottom; y += bh) {
      int h = std::min(bh, r.Bottom - y);
      for (int x = r.Left; x < r.Right; x += bw) {
        int w = std::min(bw, r.Right - x);
        canvas->CopyRect(TRect(x, y, x + w, y + h), bmp->Canvas(), TRect(0, 0, w, h));
      }
    }
    return;
  }
  // The nine placed styles, in the order Left/Center/Right by Top/Center/Bottom.
  int index = int(style) - int(bgsLeftTop);
  int horz = index / 3, vert = index % 3;
  int bw = bmp ? bmp->Width() : 0, bh = bmp ? bmp->Height() : 0;
  int w = std::min(W, bw), h = std::min(H, bh);
  auto place = [](int kind, int size, int bitmap, int shown, int& s, int& d) {
    s = d = 0;
    if (kind == 1) {
      if (bitmap > size) s = (bitmap - size) / 2;
      d = (size - shown) / 2;
    } else if (kind == 2) {
      if (bitmap > size) s = bitmap - size;
      d = size - shown;
    }
  };
  int sx, sy, dx, dy;
  place(horz, W, bw, w, sx, dx);
  place(vert, H, bh, h, sy, dy);
  TRect dest(r.Left + dx, r.Top + dy, r.Left + dx + w, r.Top + dy + h);
  if (bmp && w > 0 && h > 0) canvas->CopyRect(dest, bmp->Canvas(), TRect(sx, sy, sx + w, sy + h));
  canvas->Brush()->SetColor(solid);
  canvas->Brush()->SetStyle(bsSolid);
  TKwClipSave clip(canvas);
  if (!dest.IsEmpty()) ::ExcludeClipRect(clip.DC(), dest.Left, dest.Top, dest.Right, dest.Bottom);
  canvas->FillRect(r);
}

}  // namespace

void KwDrawGradient(TCanvas* canvas, const TRect& r, TKwBackGroundStyle style, TColor start, TColor end,
                    TColor solid, const TKwMemoryImage* image, bool transparent, int maxSteps) {
  start = KwSolidColor(start);
  end = KwSolidColor(end);
  solid = KwSolidColor(solid);
  if (!canvas || r.Width() < 1 || r.Height() < 1) return;
  TKwCanvasSave save(canvas);
  if (IsGradient(style)) {
    DrawBands(canvas, r, style, start, end, maxSteps);
  } else if (style == bgsGrid) {
    canvas->Brush()->SetBitmap(KwCreateBrushGrid(solid));
    canvas->FillRect(r);
    KwReleaseGridBrush(canvas);
  } else if (style >= bgsStretchImage && style <= bgsRightBottom) {
    DrawImage(canvas, r, style, solid, image, transparent);
  } else {
    FillSolid(canvas, r, solid);
  }
}

void KwPaintBackGroundValues(TCanvas* canvas, const TRect& r, const TKwBackGroundValues* item, TColor fallback,
                             int maxSteps) {
  if (!canvas) return;
  if (item && item->Style != bgsSolid) {
    KwDrawGradientShape(canvas, r, item->Style, item->StartGraColor, item->EndGraColor, item->SolidColor,
                        shaRectangle, false, sorDefault, item->Image, item->Transparent, 1, pesSolid, false,
                        maxSteps);
    return;
  }
  TColor color = item ? item->SolidColor : fallback;
  TKwCanvasSave save(canvas);
  FillSolid(canvas, r, KwSolidColor(color));
}

}  // namespace kw
