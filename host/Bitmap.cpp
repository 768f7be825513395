// TBitmap over a DIB section and its canvas: sizing, pixel-format conversion through GDI,
// transparency, alpha, palettes, drawing, streams and the clipboard. The BMP layout itself is
// in Bmpcodec.cpp.
#include "host/Bitmap.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "host/Exceptions.h"
#include "host/Streams.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_REGISTER_CLASS(TBitmap, TGraphic)

namespace {

TColor QuadToColor(Cardinal quad) {
  return TColor(Int32(((quad >> 16) & 0xFF) | (quad & 0xFF00) | ((quad & 0xFF) << 16)));
}
Cardinal ColorToQuad(TColor color) {
  Cardinal c = Cardinal(ColorToRGB(color));
  return ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16);
}

// A memory DC with one bitmap selected, freed on leaving scope.
class TSelectedDC {
public:
  explicit TSelectedDC(HBITMAP bitmap) : FDC(KwCreateCompatibleDC(nullptr)) {
    if (!FDC) throw EOutOfResources(SRes::SOutOfResources);
    FOld = SelectObject(FDC, bitmap);
  }
  ~TSelectedDC() {
    SelectObject(FDC, FOld);
    KwDeleteDC(FDC);
  }
  HDC DC() const { return FDC; }

private:
  HDC FDC;
  HGDIOBJ FOld;
};

// Frees a DIB made by CreateDib unless it was handed on.
struct TDibGuard {
  HBITMAP Handle;
  ~TDibGuard() { KwDeleteObject(gkBitmap, Handle); }
  HBITMAP Release() { return std::exchange(Handle, nullptr); }
};

}  // namespace

TBitmapCanvas::TBitmapCanvas(TBitmap* bitmap) : FBitmap(bitmap) {}

TBitmapCanvas::~TBitmapCanvas() { FreeHandle(); }

void TBitmapCanvas::CreateHandle() {
  HDC dc = KwCreateCompatibleDC(nullptr);
  if (!dc) throw EOutOfResources(SRes::SOutOfResources);
  FDC = dc;
  FOldBitmap = FBitmap->FDib ? SelectObject(dc, FBitmap->FDib) : nullptr;
  SetHandle(FDC);
}

void TBitmapCanvas::FreeHandle() {
  if (!FDC) return;
  SetHandle(nullptr);
  if (FOldBitmap) SelectObject(FDC, static_cast<HGDIOBJ>(FOldBitmap));
  FOldBitmap = nullptr;
  KwDeleteDC(std::exchange(FDC, nullptr));
}

void TBitmapCanvas::Changed() {
  TCanvas::Changed();
  FBitmap->Changed(FBitmap);
}

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

TBitmap::~TBitmap() {
  delete FCanvas;
  FCanvas = nullptr;
  FreeDib();
}

std::vector<Cardinal> TBitmap::DefaultColors(TPixelFormat format) {
  static const Cardinal vga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                   0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                                   0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  switch (format) {
    case pf1bit: return {0x000000, 0xFFFFFF};
    case pf4bit: return std::vector<Cardinal>(vga, vga + 16);
    case pf8bit: {
      std::vector<Cardinal> c(vga, vga + 16);
      for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
          for (int b = 0; b < 6; ++b) c.push_back(Cardinal(r * 51) << 16 | Cardinal(g * 51) << 8 | Cardinal(b * 51));
      for (int i = 1; c.size() < 256; ++i) c.push_back(Cardinal(i * 10) * 0x010101);
      return c;
    }
    default: return {};
  }
}

TBitmap::TNewDib TBitmap::CreateDib(int width, int height, TPixelFormat format, const std::vector<Cardinal>& colors) {
  if (width > KwMaxBitmapSide || height > KwMaxBitmapSide)
    throw EInvalidGraphic(SRes::SBitmapTooLarge, {width, height});
  struct {
    BITMAPINFOHEADER Header;
    Cardinal Colors[256];
  } info{};
  BITMAPINFOHEADER& h = info.Header;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = Word(TDibImage::BitCount(format));
  h.biCompression = BI_RGB;
  if (format == pf16bit) {
    h.biCompression = BI_BITFIELDS;
    info.Colors[0] = 0xF800;
    info.Colors[1] = 0x7E0;
    info.Colors[2] = 0x1F;
  } else if (h.biBitCount <= 8) {
    size_t n = std::min(colors.size(), size_t(1) << h.biBitCount);
    h.biClrUsed = Cardinal(n);
    std::copy(colors.begin(), colors.begin() + Int64(n), info.Colors);
  }
  void* bits = nullptr;
  HBITMAP dib = KwCreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits);
  if (!dib || !bits) {
    KwDeleteObject(gkBitmap, dib);
    throw EOutOfResources(SRes::SOutOfResources);
  }
  GdiFlush();
  int fill = 0xFF;
  if (h.biBitCount <= 8) {
    // New area takes the entry nearest to white.
    int best = 0, bestDist = INT_MAX;
    for (size_t i = 0; i < h.biClrUsed; ++i) {
      Cardinal c = info.Colors[i];
      int d = 765 - int((c >> 16) & 0xFF) - int((c >> 8) & 0xFF) - int(c & 0xFF);
      if (d < bestDist) bestDist = d, best = int(i);
    }
    fill = h.biBitCount == 8 ? best : h.biBitCount == 4 ? best * 0x11 : (best ? 0xFF : 0);
  }
  std::memset(bits, fill, size_t(TDibImage::Stride(width, format)) * size_t(height));
  return {dib, static_cast<Byte*>(bits)};
}

void TBitmap::ReplaceDib(TNewDib dib, int width, int height, TPixelFormat format, std::vector<Cardinal> colors) {
  if (FCanvas) FCanvas->FreeContext();
  KwDeleteObject(gkBitmap, FDib);
  KwDeleteObject(gkPalette, std::exchange(FPalette, nullptr));
  FDib = dib.Handle;
  FBits = dib.Bits;
  FWidth = FDib ? width : 0;
  FHeight = FDib ? height : 0;
  FPixelFormat = format;
  FColors = std::move(colors);
  if (TDibImage::BitCount(format) < 32) FAlphaFormat = afIgnored;
}

void TBitmap::FreeDib() {
  if (FCanvas) FCanvas->FreeContext();
  KwDeleteObject(gkBitmap, std::exchange(FDib, nullptr));
  KwDeleteObject(gkPalette, std::exchange(FPalette, nullptr));
  FBits = nullptr;
  FWidth = FHeight = 0;
}

HDC__* TBitmap::SourceDC() { return Canvas()->Handle(); }

TCanvas* TBitmap::Canvas() {
  if (!FCanvas) FCanvas = new TBitmapCanvas(this);
  return FCanvas;
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == FWidth && height == FHeight) return;
  if (width == 0 || height == 0) {
    // Empty, but the sides are kept: setting the width and then the height of an empty bitmap
    // makes a picture of both.
    FreeDib();
    FWidth = width;
    FHeight = height;
    Changed(this);
    return;
  }
  std::vector<Cardinal> colors = FColors.empty() ? DefaultColors(FPixelFormat) : FColors;
  TNewDib dib = CreateDib(width, height, FPixelFormat, colors);
  TDibGuard guard{dib.Handle};
  if (FDib) {
    TSelectedDC to(dib.Handle);
    BitBlt(to.DC(), 0, 0, std::min(width, FWidth), std::min(height, FHeight), SourceDC(), 0, 0, SRCCOPY);
    GdiFlush();
  }
  guard.Release();
  ReplaceDib(dib, width, height, FPixelFormat, std::move(colors));
  Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat value) {
  if (value == pfCustom || value < pfDevice || value > pfCustom) throw EInvalidGraphic(SRes::SInvalidPixelFormat);
  if (value == FPixelFormat) return;
  std::vector<Cardinal> colors = DefaultColors(value);
  if (!FDib) {
    FPixelFormat = value;
    FColors = std::move(colors);
    Changed(this);
    return;
  }
  TNewDib dib = CreateDib(FWidth, FHeight, value, colors);
  TDibGuard guard{dib.Handle};
  {
    TSelectedDC to(dib.Handle);
    BitBlt(to.DC(), 0, 0, FWidth, FHeight, SourceDC(), 0, 0, SRCCOPY);
    GdiFlush();
  }
  guard.Release();
  ReplaceDib(dib, FWidth, FHeight, value, std::move(colors));
  Changed(this);
}

bool TBitmap::Monochrome() const {
  return FPixelFormat == pf1bit && FColors.size() == 2 && (FColors[0] & 0xFFFFFF) == 0 &&
         (FColors[1] & 0xFFFFFF) == 0xFFFFFF;
}

void TBitmap::SetMonochrome(bool value) {
  if (value == Monochrome()) return;
  if (!value) {
    SetPixelFormat(pfDevice);
  } else if (FPixelFormat == pf1bit) {
    SetColorTable({clBlack, clWhite});
  } else {
    SetPixelFormat(pf1bit);
  }
}

int TBitmap::BytesPerScanLine() const { return TDibImage::Stride(FWidth, FPixelFormat); }

void* TBitmap::ScanLine(int row) {
  if (!FDib || row < 0 || row >= FHeight) throw EInvalidGraphicOperation(SRes::SScanLine);
  GdiFlush();
  return FBits + size_t(FHeight - 1 - row) * size_t(BytesPerScanLine());
}

TColor TBitmap::TransparentColor() {
  if (FTransparentMode == tmFixed) return FTransparentColor;
  if (!FDib) return clDefault;
  return TColor(Int32(GetPixel(SourceDC(), 0, FHeight - 1) & 0xFFFFFF));
}

void TBitmap::SetTransparentColor(TColor value) {
  if (value == FTransparentColor && (value == clDefault) == (FTransparentMode == tmAuto)) return;
  FTransparentColor = value;
  FTransparentMode = value == clDefault ? tmAuto : tmFixed;
  Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode value) {
  if (value == FTransparentMode) return;
  if (value == tmAuto) SetTransparentColor(clDefault);
  else SetTransparentColor(TransparentColor());
}

void TBitmap::Premultiply(bool forward) {
  if (!FDib || TDibImage::BitCount(FPixelFormat) != 32) return;
  GdiFlush();
  Byte* p = FBits;
  for (size_t i = 0, n = size_t(FWidth) * size_t(FHeight); i < n; ++i, p += 4) {
    unsigned a = p[3];
    for (int c = 0; c < 3; ++c) {
      if (forward) p[c] = Byte((p[c] * a + 127) / 255);
      else if (a) p[c] = Byte(std::min(255u, (p[c] * 255 + a / 2) / a));
    }
  }
}

void TBitmap::SetAlphaFormat(TAlphaFormat value) {
  if (value == FAlphaFormat) return;
  if (value == afPremultiplied) Premultiply(true);
  else if (FAlphaFormat == afPremultiplied) Premultiply(false);
  FAlphaFormat = value;
  Changed(this);
}

std::vector<TColor> TBitmap::ColorTable() const {
  std::vector<TColor> result;
  if (TDibImage::BitCount(FPixelFormat) > 8) return result;
  for (Cardinal c : FColors) result.push_back(QuadToColor(c));
  return result;
}

void TBitmap::SetColorTable(const std::vector<TColor>& colors) {
  if (TDibImage::BitCount(FPixelFormat) > 8) return;
  std::vector<Cardinal> quads;
  for (TColor c : colors) quads.push_back(ColorToQuad(c));
  quads.resize(std::min(quads.size(), size_t(1) << TDibImage::BitCount(FPixelFormat)));
  if (quads.empty()) quads = DefaultColors(FPixelFormat);
  if (!FDib) {
    FColors = std::move(quads);
    Changed(this);
    return;
  }
  // The indices stay; only what they stand for changes.
  TNewDib dib = CreateDib(FWidth, FHeight, FPixelFormat, quads);
  GdiFlush();
  std::memcpy(dib.Bits, FBits, size_t(BytesPerScanLine()) * size_t(FHeight));
  ReplaceDib(dib, FWidth, FHeight, FPixelFormat, std::move(quads));
  Changed(this);
}

HPALETTE__* TBitmap::Palette() {
  if (FPalette || FColors.empty() || TDibImage::BitCount(FPixelFormat) > 8) return FPalette;
  struct {
    WORD Version;
    WORD Count;
    PALETTEENTRY Entries[256];
  } log{0x300, Word(FColors.size()), {}};
  for (size_t i = 0; i < FColors.size(); ++i)
    log.Entries[i] = {Byte(FColors[i] >> 16), Byte(FColors[i] >> 8), Byte(FColors[i]), 0};
  FPalette = KwCreatePalette(&log);
  return FPalette;
}

void TBitmap::SetPalette(HPALETTE__* value) {
  if (!value) return;
  PALETTEENTRY entries[256];
  UINT n = GetPaletteEntries(value, 0, 256, entries);
  std::vector<TColor> colors;
  for (UINT i = 0; i < n; ++i) colors.push_back(TColor(KwRGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue)));
  SetColorTable(colors);
  SetPaletteModified(true);
}

void TBitmap::Dormant() {
  if (FCanvas) FCanvas->FreeContext();
  KwDeleteObject(gkPalette, std::exchange(FPalette, nullptr));
}

void TBitmap::CopyHandle(HBITMAP__* source) {
  DIBSECTION ds{};
  int got = ::GetObjectW(source, sizeof(ds), &ds);
  if (got < int(sizeof(BITMAP)) || ds.dsBm.bmWidth <= 0 || ds.dsBm.bmHeight <= 0) throw EInvalidGraphic(SRes::SInvalidBitmap);
  const bool dib = got == int(sizeof(DIBSECTION)) && ds.dsBm.bmBits;
  TPixelFormat format = pfDevice;
  switch (ds.dsBm.bmBitsPixel * ds.dsBm.bmPlanes) {
    case 1: format = pf1bit; break;
    case 4: format = pf4bit; break;
    case 8: format = pf8bit; break;
    case 16: format = dib && ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[1] == 0x7E0 ? pf16bit : pf15bit; break;
    case 24: format = pf24bit; break;
    default: format = dib ? pf32bit : pfDevice;
  }
  std::vector<Cardinal> colors = DefaultColors(format);
  const int width = ds.dsBm.bmWidth, height = ds.dsBm.bmHeight;
  TNewDib made = CreateDib(width, height, format, colors);
  TDibGuard guard{made.Handle};
  {
    TSelectedDC from(source);
    if (dib && format <= pf8bit) {
      RGBQUAD table[256];
      UINT n = GetDIBColorTable(from.DC(), 0, 256, table);
      if (n) {
        colors.assign(n, 0);
        std::memcpy(colors.data(), table, n * sizeof(RGBQUAD));
        KwDeleteObject(gkBitmap, guard.Release());
        made = CreateDib(width, height, format, colors);
        guard.Handle = made.Handle;
      }
    }
    TSelectedDC to(made.Handle);
    BitBlt(to.DC(), 0, 0, width, height, from.DC(), 0, 0, SRCCOPY);
    GdiFlush();
  }
  guard.Release();
  ReplaceDib(made, width, height, format, std::move(colors));
}

void TBitmap::SetHandle(HBITMAP__* value) {
  if (value == FDib) return;
  if (!value) {
    FreeDib();
  } else {
    CopyHandle(value);
    KwDeleteObject(gkBitmap, value);
  }
  Changed(this);
}

HBITMAP__* TBitmap::ReleaseHandle() {
  if (!FDib) return nullptr;
  // The caller takes the DIB; the bitmap goes on with a copy of the picture.
  TNewDib copy = CreateDib(FWidth, FHeight, FPixelFormat, FColors);
  GdiFlush();
  std::memcpy(copy.Bits, FBits, size_t(BytesPerScanLine()) * size_t(FHeight));
  if (FCanvas) FCanvas->FreeContext();
  HBITMAP given = std::exchange(FDib, copy.Handle);
  FBits = copy.Bits;
  return given;
}

void TBitmap::Assign(const TPersistent* source) {
  if (!source) {
    FreeDib();
    Changed(this);
    return;
  }
  auto* other = dynamic_cast<const TBitmap*>(source);
  if (!other) {
    TGraphic::Assign(source);
    return;
  }
  if (other == this) return;
  if (other->FDib) {
    TNewDib dib = CreateDib(other->FWidth, other->FHeight, other->FPixelFormat, other->FColors);
    GdiFlush();
    std::memcpy(dib.Bits, other->FBits, size_t(other->BytesPerScanLine()) * size_t(other->FHeight));
    ReplaceDib(dib, other->FWidth, other->FHeight, other->FPixelFormat, other->FColors);
  } else {
    FreeDib();
    FPixelFormat = other->FPixelFormat;
    FColors = other->FColors;
  }
  FTransparent = other->FTransparent;
  FTransparentColor = other->FTransparentColor;
  FTransparentMode = other->FTransparentMode;
  FAlphaFormat = other->FAlphaFormat;
  Changed(this);
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (!FDib) return;
  HDC dst = canvas.Handle();
  HDC src = SourceDC();
  const int w = rect.Width(), h = rect.Height();
  if (FAlphaFormat != afIgnored && TDibImage::BitCount(FPixelFormat) == 32) {
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (FAlphaFormat == afPremultiplied) {
      GdiAlphaBlend(dst, rect.Left, rect.Top, w, h, src, 0, 0, FWidth, FHeight, blend);
      return;
    }
    // AlphaBlend wants premultiplied pixels: blend from a premultiplied copy.
    TNewDib tmp = CreateDib(FWidth, FHeight, pf32bit, {});
    TDibGuard guard{tmp.Handle};
    GdiFlush();
    const Byte* s = FBits;
    Byte* d = tmp.Bits;
    for (size_t i = 0, n = size_t(FWidth) * size_t(FHeight); i < n; ++i, s += 4, d += 4) {
      unsigned a = s[3];
      for (int c = 0; c < 3; ++c) d[c] = Byte((s[c] * a + 127) / 255);
      d[3] = Byte(a);
    }
    TSelectedDC from(tmp.Handle);
    GdiAlphaBlend(dst, rect.Left, rect.Top, w, h, from.DC(), 0, 0, FWidth, FHeight, blend);
    return;
  }
  if (FTransparent) {
    GdiTransparentBlt(dst, rect.Left, rect.Top, w, h, src, 0, 0, FWidth, FHeight,
                      UINT(ColorToRGB(TransparentColor()) & 0xFFFFFF));
    return;
  }
  int oldMode = SetStretchBltMode(dst, COLORONCOLOR);
  StretchBlt(dst, rect.Left, rect.Top, w, h, src, 0, 0, FWidth, FHeight, DWORD(canvas.CopyMode()));
  SetStretchBltMode(dst, oldMode);
}

void TBitmap::TakeImage(TDibImage& image) {
  if (image.Width == 0 || image.Height == 0) {
    FreeDib();
    return;
  }
  TNewDib dib = CreateDib(image.Width, image.Height, image.Format, image.Colors);
  std::memcpy(dib.Bits, image.Bits.data(), std::min(image.Bits.size(), size_t(TDibImage::Stride(image.Width, image.Format)) * size_t(image.Height)));
  ReplaceDib(dib, image.Width, image.Height, image.Format, std::move(image.Colors));
  FAlphaFormat = image.HasAlpha ? afDefined : afIgnored;
}

void TBitmap::ReadBmp(TStream& stream, Int64 size) {
  TDibImage image;
  if (size > 0) {
    TBytes data(static_cast<size_t>(size));
    stream.ReadBuffer(data.data(), size);
    KwReadBmp(data.data(), data.size(), image);
  }
  TakeImage(image);
  Changed(this);
}

void TBitmap::LoadFromStream(TStream& stream) {
  Int64 size = stream.Size() - stream.Position();
  ReadBmp(stream, size);
}

void TBitmap::SaveToStream(TStream& stream) {
  if (!FDib) return;
  GdiFlush();
  KwWriteBmp(stream, FWidth, FHeight, FPixelFormat == pfDevice ? pf32bit : FPixelFormat, FColors.data(),
             int(FColors.size()), FBits, FAlphaFormat != afIgnored);
}

void TBitmap::ReadData(TStream& stream) {
  Int32 size = 0;
  stream.ReadBuffer(&size, 4);
  if (size < 0 || size > stream.Size() - stream.Position()) throw EInvalidGraphic(SRes::SInvalidBitmap);
  ReadBmp(stream, size);
}

void TBitmap::WriteData(TStream& stream) {
  TMemoryStream data;
  SaveToStream(data);
  Int32 size = Int32(data.Size());
  stream.WriteBuffer(&size, 4);
  if (size) stream.WriteBuffer(data.Memory(), size);
}

void TBitmap::LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette) {
  if (format == CF_BITMAP && data) {
    CopyHandle(static_cast<HBITMAP>(data));
    if (palette && FPixelFormat <= pf8bit && FPixelFormat != pfDevice) SetPalette(palette);
    Changed(this);
    return;
  }
  if (format != CF_DIB || !data) {
    TGraphic::LoadFromClipboardFormat(format, data, palette);
    return;
  }
  const SIZE_T size = GlobalSize(data);
  const Byte* p = static_cast<const Byte*>(GlobalLock(data));
  if (!p) throw EInvalidGraphic(SRes::SInvalidBitmap);
  TBytes file(14, 0);
  file[0] = 'B';
  file[1] = 'M';
  file.insert(file.end(), p, p + size);
  GlobalUnlock(data);
  TDibImage image;
  KwReadBmp(file.data(), file.size(), image);
  TakeImage(image);
  Changed(this);
}

void TBitmap::SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) {
  TMemoryStream file;
  SaveToStream(file);
  if (file.Size() <= 14) throw EInvalidGraphicOperation(SRes::SInvalidBitmap);
  const SIZE_T size = SIZE_T(file.Size() - 14);
  HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!global) throw EOutOfResources(SRes::SOutOfResources);
  std::memcpy(GlobalLock(global), static_cast<const Byte*>(file.Memory()) + 14, size);
  GlobalUnlock(global);
  format = CF_DIB;
  data = global;
  palette = nullptr;
}

}  // namespace kw
