// TIcon over .ico directories and CreateIconFromResourceEx (PNG entries through the imaging
// codecs when the system will not take them), TMetafile over enhanced metafile handles and
// TMetafileCanvas. Icon handles and metafile handles are not in the GDI accounting kinds.
#include "host/Iconmeta.h"

#include <algorithm>
#include <cstring>

#include "host/Bitmap.h"
#include "host/Imaging.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_REGISTER_CLASS(TIcon, TGraphic)
KW_REGISTER_CLASS(TMetafile, TGraphic)

namespace {

[[noreturn]] void BadIcon() { throw EInvalidGraphic(SRes::SInvalidIcon); }
[[noreturn]] void BadMetafile() { throw EInvalidGraphic(SRes::SInvalidMetafile); }

Word Rd16(const Byte* p) { return Word(p[0] | (p[1] << 8)); }
Cardinal Rd32(const Byte* p) { return Cardinal(p[0]) | (Cardinal(p[1]) << 8) | (Cardinal(p[2]) << 16) | (Cardinal(p[3]) << 24); }
void Put16(TBytes& b, unsigned v) { b.push_back(Byte(v)); b.push_back(Byte(v >> 8)); }
void Put32(TBytes& b, Cardinal v) { Put16(b, v & 0xFFFF); Put16(b, v >> 16); }

struct TIconEntry {
  int Width, Height, Bits;
  Cardinal Offset, Size;
  bool Png;
};

// Every entry of an .ico directory, checked against the data it points into.
std::vector<TIconEntry> IconEntries(const TBytes& data) {
  if (data.size() < 6 || Rd16(&data[0]) != 0 || Rd16(&data[2]) != 1) BadIcon();
  const size_t count = Rd16(&data[4]);
  if (count == 0 || 6 + count * 16 > data.size()) BadIcon();
  std::vector<TIconEntry> entries;
  for (size_t i = 0; i < count; ++i) {
    const Byte* e = &data[6 + i * 16];
    TIconEntry entry{e[0] ? e[0] : 256, e[1] ? e[1] : 256, Rd16(e + 6), Rd32(e + 12), Rd32(e + 8), false};
    if (entry.Offset > data.size() || entry.Size > data.size() - entry.Offset || entry.Size < 40) BadIcon();
    const Byte* img = &data[entry.Offset];
    entry.Png = img[0] == 0x89 && img[1] == 'P' && img[2] == 'N' && img[3] == 'G';
    if (!entry.Png && (Rd32(img) < 40 || Rd32(img + 4) > 256 || Rd32(img + 8) > 512)) BadIcon();
    entries.push_back(entry);
  }
  return entries;
}

// An icon from top-down straight-alpha BGRA pixels; the mask marks the fully transparent.
HICON IconFromPixels(int w, int h, const Byte* bgra) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP color = KwCreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits);
  if (!color) throw EOutOfResources(SRes::SOutOfMemory);
  std::memcpy(bits, bgra, size_t(w) * h * 4);
  const int maskStride = ((w + 15) / 16) * 2;
  std::vector<Byte> mask(size_t(maskStride) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (bgra[(size_t(y) * w + x) * 4 + 3] == 0) mask[size_t(y) * maskStride + x / 8] |= Byte(0x80 >> (x % 8));
  HBITMAP maskBmp = KwCreateBitmap(w, h, 1, 1, mask.data());
  ICONINFO ii{TRUE, 0, 0, maskBmp, color};
  HICON icon = maskBmp ? CreateIconIndirect(&ii) : nullptr;
  KwDeleteObject(gkBitmap, maskBmp);
  KwDeleteObject(gkBitmap, color);
  return icon;
}

// The icon's pixels as top-down straight-alpha BGRA. Icons without alpha take it from
// their mask.
bool IconPixels(HICON icon, int& w, int& h, std::vector<Byte>& bgra) {
  ICONINFO ii{};
  if (!icon || !GetIconInfo(icon, &ii)) return false;
  KwAdoptGdiObject(gkBitmap, ii.hbmMask);
  if (ii.hbmColor) KwAdoptGdiObject(gkBitmap, ii.hbmColor);
  BITMAP bm{};
  GetObjectW(ii.hbmMask, sizeof(bm), &bm);
  w = bm.bmWidth;
  h = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
  bool ok = w > 0 && h > 0 && ii.hbmColor;
  if (ok) {
    HDC dc = KwCreateCompatibleDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bgra.assign(size_t(w) * h * 4, 0);
    std::vector<Byte> mask(size_t(w) * h * 4, 0);
    ok = GetDIBits(dc, ii.hbmColor, 0, UINT(h), bgra.data(), &bi, DIB_RGB_COLORS) == h &&
         GetDIBits(dc, ii.hbmMask, 0, UINT(h), mask.data(), &bi, DIB_RGB_COLORS) == h;
    KwDeleteDC(dc);
    bool anyAlpha = false;
    for (size_t i = 3; i < bgra.size(); i += 4) anyAlpha |= bgra[i] != 0;
    if (!anyAlpha)
      for (size_t i = 0; i < bgra.size(); i += 4) bgra[i + 3] = mask[i] ? 0 : 255;
  }
  KwDeleteObject(gkBitmap, ii.hbmMask);
  if (ii.hbmColor) KwDeleteObject(gkBitmap, ii.hbmColor);
  return ok;
}

// A one-entry 32-bit .ico file from top-down BGRA pixels.
TBytes IcoFromPixels(int w, int h, const std::vector<Byte>& bgra) {
  const int maskStride = ((w + 31) / 32) * 4;
  const Cardinal imageSize = Cardinal(40 + w * h * 4 + maskStride * h);
  TBytes b;
  Put16(b, 0); Put16(b, 1); Put16(b, 1);
  b.push_back(Byte(w >= 256 ? 0 : w)); b.push_back(Byte(h >= 256 ? 0 : h)); b.push_back(0); b.push_back(0);
  Put16(b, 1); Put16(b, 32); Put32(b, imageSize); Put32(b, 22);
  Put32(b, 40); Put32(b, Cardinal(w)); Put32(b, Cardinal(h * 2)); Put16(b, 1); Put16(b, 32);
  Put32(b, 0); Put32(b, Cardinal(w * h * 4 + maskStride * h)); Put32(b, 0); Put32(b, 0); Put32(b, 0); Put32(b, 0);
  for (int y = h - 1; y >= 0; --y) b.insert(b.end(), &bgra[size_t(y) * w * 4], &bgra[size_t(y) * w * 4] + size_t(w) * 4);
  for (int y = h - 1; y >= 0; --y) {
    TBytes row(size_t(maskStride), 0);
    for (int x = 0; x < w; ++x)
      if (bgra[(size_t(y) * w + x) * 4 + 3] == 0) row[size_t(x / 8)] |= Byte(0x80 >> (x % 8));
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

}  // namespace

// -------------------------------------------------------------------------------- TIcon

TIcon::TIcon() = default;

TIcon::~TIcon() { FreeHandle(); }

void TIcon::FreeHandle() {
  if (FHandle) DestroyIcon(FHandle);
  FHandle = nullptr;
}

void TIcon::MakeHandle(const TBytes& data, HICON__*& handle, int& width, int& height) const {
  const std::vector<TIconEntry> entries = IconEntries(data);
  const TIconEntry* best = nullptr;
  auto score = [&](const TIconEntry& e) {
    const bool exact = e.Width == FRequestWidth && e.Height == FRequestHeight;
    return std::make_tuple(exact, FRequestWidth ? -std::abs(e.Width - FRequestWidth) : e.Width * e.Height, e.Bits);
  };
  for (const TIconEntry& e : entries)
    if (!best || score(e) > score(*best)) best = &e;
  const Byte* img = &data[best->Offset];
  HICON icon = CreateIconFromResourceEx(const_cast<Byte*>(img), best->Size, TRUE, 0x00030000, best->Width,
                                        best->Height, LR_DEFAULTCOLOR);
  if (!icon && best->Png) {
    TWicImage px = WicDecode(img, best->Size, {}, L"icon");
    icon = IconFromPixels(px.Width, px.Height, px.Pixels.data());
  }
  if (!icon) BadIcon();
  int w = 0, h = 0;
  ICONINFO ii{};
  if (GetIconInfo(icon, &ii)) {
    BITMAP bm{};
    GetObjectW(ii.hbmMask, sizeof(bm), &bm);
    w = bm.bmWidth;
    h = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
    KwAdoptGdiObject(gkBitmap, ii.hbmMask);
    KwDeleteObject(gkBitmap, ii.hbmMask);
    if (ii.hbmColor) {
      KwAdoptGdiObject(gkBitmap, ii.hbmColor);
      KwDeleteObject(gkBitmap, ii.hbmColor);
    }
  }
  handle = icon;
  width = w ? w : best->Width;
  height = h ? h : best->Height;
}

HICON__* TIcon::Handle() {
  if (!FHandle && !FData.empty()) MakeHandle(FData, FHandle, FWidth, FHeight);
  return FHandle;
}

void TIcon::SetHandle(HICON__* value) {
  if (value == FHandle) return;
  FreeHandle();
  FData.clear();
  FHandle = value;
  FWidth = FHeight = 0;
  std::vector<Byte> px;
  if (value && !IconPixels(value, FWidth, FHeight, px)) {
    FWidth = GetSystemMetrics(SM_CXICON);
    FHeight = GetSystemMetrics(SM_CYICON);
  }
  Changed(this);
}

HICON__* TIcon::ReleaseHandle() {
  Handle();
  HICON h = FHandle;
  FHandle = nullptr;
  FData.clear();
  FWidth = FHeight = 0;
  Changed(this);
  return h;
}

void TIcon::SetSize(int width, int height) {
  FRequestWidth = std::max(0, width);
  FRequestHeight = std::max(0, height);
  if (FData.empty()) return;
  HICON h = nullptr;
  int w = 0, hh = 0;
  MakeHandle(FData, h, w, hh);
  FreeHandle();
  FHandle = h;
  FWidth = w;
  FHeight = hh;
  Changed(this);
}

void TIcon::LoadFromStream(TStream& stream) {
  TBytes data = ReadRest(stream);
  HICON h = nullptr;
  int w = 0, hh = 0;
  MakeHandle(data, h, w, hh);
  FreeHandle();
  FData = std::move(data);
  FHandle = h;
  FWidth = w;
  FHeight = hh;
  Changed(this);
}

void TIcon::SaveToStream(TStream& stream) {
  if (FData.empty() && FHandle) {
    int w = 0, h = 0;
    std::vector<Byte> px;
    if (!IconPixels(FHandle, w, h, px)) BadIcon();
    FData = IcoFromPixels(w, h, px);
  }
  if (!FData.empty()) stream.WriteBuffer(FData.data(), Int64(FData.size()));
}

void TIcon::Assign(const TPersistent* source) {
  if (auto* icon = dynamic_cast<const TIcon*>(source)) {
    if (icon == this) return;
    if (!icon->FData.empty()) {
      TBytesStream s(icon->FData);
      LoadFromStream(s);
    } else {
      SetHandle(icon->FHandle ? CopyIcon(icon->FHandle) : nullptr);
    }
  } else if (auto* g = dynamic_cast<const TGraphic*>(source)) {
    auto bmp = KwGraphicToBitmap(const_cast<TGraphic*>(g));
    if (bmp->Empty()) {
      SetHandle(nullptr);
      return;
    }
    const bool alpha = bmp->PixelFormat() == pf32bit && bmp->AlphaFormat() != afIgnored;
    const bool premultiplied = bmp->AlphaFormat() == afPremultiplied;
    if (bmp->PixelFormat() != pf32bit) bmp->SetPixelFormat(pf32bit);
    const int w = bmp->Width(), h = bmp->Height();
    std::vector<Byte> px(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y) {
      Byte* row = &px[size_t(y) * w * 4];
      std::memcpy(row, bmp->ScanLine(y), size_t(w) * 4);
      for (int x = 0; x < w; ++x) {
        Byte* p = row + x * 4;
        if (!alpha) p[3] = 255;
        else if (premultiplied && p[3])
          for (int c = 0; c < 3; ++c) p[c] = Byte(std::min(255, (p[c] * 255 + p[3] / 2) / p[3]));
      }
    }
    TBytesStream s(IcoFromPixels(w, h, px));
    LoadFromStream(s);
  } else if (!source) {
    SetHandle(nullptr);
  } else {
    TGraphic::Assign(source);
  }
}

void TIcon::AssignTo(TPersistent* dest) const {
  if (auto* bmp = dynamic_cast<TBitmap*>(dest)) {
    int w = 0, h = 0;
    std::vector<Byte> px;
    if (!IconPixels(const_cast<TIcon*>(this)->Handle(), w, h, px)) {
      bmp->SetSize(0, 0);
      return;
    }
    TBitmap out;
    out.SetPixelFormat(pf32bit);
    out.SetSize(w, h);
    for (int y = 0; y < h; ++y) std::memcpy(out.ScanLine(y), &px[size_t(y) * w * 4], size_t(w) * 4);
    out.SetAlphaFormat(afDefined);
    bmp->Assign(&out);
    return;
  }
  TGraphic::AssignTo(dest);
}

void TIcon::Draw(TCanvas& canvas, const TRect& rect) {
  if (HICON h = Handle())
    DrawIconEx(canvas.Handle(), rect.Left, rect.Top, h, rect.Width(), rect.Height(), 0, nullptr, DI_NORMAL);
}

// ---------------------------------------------------------------------------- TMetafile

namespace {

constexpr Cardinal PlaceableKey = 0x9AC6CDD7;
constexpr int HundredthMMPerInch = 2540;

void FrameOf(HENHMETAFILE h, int& mmWidth, int& mmHeight) {
  ENHMETAHEADER hdr{};
  mmWidth = mmHeight = 0;
  if (!h || !GetEnhMetaFileHeader(h, sizeof(hdr), &hdr)) return;
  mmWidth = hdr.rclFrame.right - hdr.rclFrame.left;
  mmHeight = hdr.rclFrame.bottom - hdr.rclFrame.top;
  if ((mmWidth <= 0 || mmHeight <= 0) && hdr.szlDevice.cx > 0 && hdr.szlDevice.cy > 0) {
    mmWidth = MulDiv(hdr.rclBounds.right - hdr.rclBounds.left, hdr.szlMillimeters.cx * 100, hdr.szlDevice.cx);
    mmHeight = MulDiv(hdr.rclBounds.bottom - hdr.rclBounds.top, hdr.szlMillimeters.cy * 100, hdr.szlDevice.cy);
  }
}

// The player follows counts and offsets inside records without checking them, so every
// record is checked here: the chain of sizes, the point and polygon counts, and the
// bitmaps, strings, regions and palettes records point to. Records of other kinds are
// fixed-size and only need to fit.
bool Within(Cardinal off, Cardinal cb, Cardinal size) { return off <= size && cb <= size - off; }

bool ValidDib(const Byte* rec, Cardinal size, Cardinal offBmi, Cardinal cbBmi, Cardinal offBits, Cardinal cbBits) {
  if (cbBmi == 0 && cbBits == 0) return true;
  if (cbBmi < 40 || !Within(offBmi, cbBmi, size) || !Within(offBits, cbBits, size)) return false;
  const Byte* bmi = rec + offBmi;
  const Int64 w = std::int32_t(Rd32(bmi + 4)), h = std::int32_t(Rd32(bmi + 8));
  const unsigned bits = Rd16(bmi + 14);
  const Cardinal compression = Rd32(bmi + 16);
  if (Rd32(bmi) < 40 || Rd32(bmi) > cbBmi || w <= 0 || h == 0 || w > 65535 || std::abs(h) > 65535) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  Cardinal colors = Rd32(bmi + 32);
  if (bits <= 8 && (colors == 0 || colors > (1u << bits))) colors = 1u << bits;
  if (bits > 8) colors = compression == BI_BITFIELDS ? 3 : 0;
  if (Int64(Rd32(bmi)) + Int64(colors) * 4 > cbBmi) return false;
  if (compression != BI_RGB && compression != BI_BITFIELDS) return compression == BI_RLE8 || compression == BI_RLE4;
  return ((w * bits + 31) / 32) * 4 * std::abs(h) <= Int64(cbBits);
}

// The source rectangle of a blit, mapped through its source transform, must lie in the
// bitmap: the player reads the source bits there without clipping.
bool SourceInside(const Byte* r, Cardinal size, Cardinal offBmiAt, int xs, int ys, int cx, int cy, Cardinal xformAt) {
  const Cardinal offBmi = Rd32(r + offBmiAt);
  if (Rd32(r + offBmiAt + 4) == 0) return true;  // no source bitmap: a pattern or colour blit
  if (offBmi + 12 > size) return false;
  const double w = std::int32_t(Rd32(r + offBmi + 4)), h = std::abs(std::int32_t(Rd32(r + offBmi + 8)));
  float m[6] = {1, 0, 0, 1, 0, 0};
  if (xformAt) std::memcpy(m, r + xformAt, sizeof(m));
  for (float v : m)
    if (!(v > -1e6f && v < 1e6f)) return false;
  if (m[1] != 0 || m[2] != 0 || m[0] <= 0 || m[3] <= 0) return false;
  const double x0 = xs * double(m[0]) + m[4], x1 = (double(xs) + cx) * m[0] + m[4];
  const double y0 = ys * double(m[3]) + m[5], y1 = (double(ys) + cy) * m[3] + m[5];
  return cx >= 0 && cy >= 0 && x0 >= 0 && y0 >= 0 && x1 <= w + 0.5 && y1 <= h + 0.5;
}

bool ValidRecord(const Byte* r, Cardinal type, Cardinal size, Cardinal handles) {
  auto at = [&](Cardinal off) -> Cardinal { return off + 4 <= size ? Rd32(r + off) : 0xFFFFFFFF; };
  auto sat = [&](Cardinal off) { return std::int32_t(at(off)); };
  auto dib = [&](Cardinal o) { return size >= o + 16 && ValidDib(r, size, at(o), at(o + 4), at(o + 8), at(o + 12)); };
  auto counted = [&](Cardinal countAt, Cardinal base, Cardinal each) {
    const Cardinal n = at(countAt);
    return n != 0xFFFFFFFF && Int64(base) + Int64(n) * each <= size;
  };
  auto polyPoly = [&](Cardinal pointSize) {
    const Cardinal polys = at(24), points = at(28);
    if (polys == 0xFFFFFFFF || points == 0xFFFFFFFF || Int64(32) + Int64(polys) * 4 + Int64(points) * pointSize > size)
      return false;
    Int64 sum = 0;
    for (Cardinal i = 0; i < polys; ++i) sum += Rd32(r + 32 + i * 4);
    return sum == points;
  };
  auto region = [&](Cardinal cbAt, Cardinal dataAt) {
    const Cardinal cb = at(cbAt);
    if (cb == 0xFFFFFFFF || !Within(dataAt, cb, size)) return false;
    return cb == 0 || (cb >= 32 && Int64(32) + Int64(Rd32(r + dataAt + 8)) * 16 <= cb);
  };
  // Object indices address the player's handle table, sized by the header.
  auto object = [&](Cardinal off, bool stockAllowed) {
    const Cardinal i = at(off);
    return (stockAllowed && (i & 0x80000000u) && (i & 0x7FFFFFFFu) <= STOCK_LAST) || (i > 0 && i < handles);
  };
  switch (type) {
    case EMR_CREATEPEN: case EMR_CREATEBRUSHINDIRECT: case EMR_EXTCREATEFONTINDIRECTW:
      if (!object(8, false)) return false;
      break;
    case EMR_SELECTOBJECT: case EMR_DELETEOBJECT: case EMR_SELECTPALETTE: return object(8, true);
    case EMR_RESIZEPALETTE: return object(8, false);
    default: break;
  }
  switch (type) {
    case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE: case EMR_POLYBEZIERTO: case EMR_POLYLINETO:
      return counted(24, 28, 8);
    case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16: case EMR_POLYBEZIERTO16: case EMR_POLYLINETO16:
      return counted(24, 28, 4);
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON: return polyPoly(8);
    case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON16: return polyPoly(4);
    case EMR_POLYDRAW: return counted(24, 28, 9);
    case EMR_POLYDRAW16: return counted(24, 28, 5);
    case EMR_BITBLT:
      return size >= 100 && dib(84) && SourceInside(r, size, 84, sat(44), sat(48), sat(32), sat(36), 52);
    case EMR_STRETCHBLT: case EMR_ALPHABLEND: case EMR_TRANSPARENTBLT:
      return size >= 108 && dib(84) && SourceInside(r, size, 84, sat(44), sat(48), sat(100), sat(104), 52);
    case EMR_MASKBLT: case EMR_PLGBLT:
      return false;  // two bitmaps and a parallelogram: refused rather than half-checked
    case EMR_SETDIBITSTODEVICE:
      return size >= 76 && dib(48) && SourceInside(r, size, 48, sat(32), sat(36), sat(40), sat(44), 0);
    case EMR_STRETCHDIBITS:
      return size >= 80 && dib(48) && SourceInside(r, size, 48, sat(32), sat(36), sat(40), sat(44), 0);
    case EMR_CREATEMONOBRUSH: case EMR_CREATEDIBPATTERNBRUSHPT: return object(8, false) && dib(16);
    case EMR_EXTCREATEPEN: return object(8, false) && dib(12) && counted(48, 52, 4);
    case EMR_EXTTEXTOUTA: case EMR_EXTTEXTOUTW: {
      const Cardinal chars = at(44), offString = at(48), offDx = at(64);
      const Cardinal width = type == EMR_EXTTEXTOUTW ? 2 : 1;
      return chars <= 0x100000 && (chars == 0 || (Within(offString, chars * width, size) &&
                                                  (offDx == 0 || Within(offDx, chars * 4, size))));
    }
    case EMR_GDICOMMENT: return counted(8, 12, 1);
    case EMR_EXTSELECTCLIPRGN: return region(8, 16);
    case EMR_FILLRGN: return object(28, true) && region(24, 32);
    case EMR_FRAMERGN: return object(28, true) && region(24, 40);
    case EMR_INVERTRGN: case EMR_PAINTRGN: return region(24, 28);
    case EMR_CREATEPALETTE: return object(8, false) && size >= 16 && Int64(16) + Int64(Rd16(r + 14)) * 4 <= size;
    case EMR_SETPALETTEENTRIES: return object(8, false) && counted(16, 20, 4);
    case EMR_POLYTEXTOUTA: case EMR_POLYTEXTOUTW: case 108 /* EMR_SMALLTEXTOUT */: case EMR_GLSRECORD:
    case EMR_GLSBOUNDEDRECORD: case EMR_PIXELFORMAT: case EMR_COLORMATCHTOTARGETW: case EMR_CREATECOLORSPACEW:
      return false;  // not written by us or common writers; refused rather than half-checked
    default:
      return type >= EMR_HEADER && type <= EMR_MAX;
  }
}

bool ValidEmf(const Byte* data, Cardinal bytes) {
  Cardinal pos = 0, count = 0, last = 0;
  const Cardinal handles = Rd16(data + 56);
  while (pos < bytes) {
    if (bytes - pos < 8) return false;
    const Cardinal type = Rd32(data + pos), size = Rd32(data + pos + 4);
    if (size < 8 || size % 4 != 0 || size > bytes - pos) return false;
    if ((count == 0) != (type == EMR_HEADER)) return false;
    if (!ValidRecord(data + pos, type, size, handles)) return false;
    pos += size;
    last = type;
    ++count;
  }
  return last == EMR_EOF && count == Rd32(data + 52);
}

}  // namespace

TMetafile::TMetafile() = default;

TMetafile::~TMetafile() { Clear(); }

void TMetafile::Clear() {
  if (FHandle) DeleteEnhMetaFile(FHandle);
  FHandle = nullptr;
  FMMWidth = FMMHeight = 0;
}

void TMetafile::Take(HENHMETAFILE__* handle, int mmWidth, int mmHeight, bool enhanced) {
  if (handle != FHandle) Clear();
  FHandle = handle;
  FMMWidth = mmWidth;
  FMMHeight = mmHeight;
  FEnhanced = enhanced;
  Changed(this);
}

void TMetafile::SetHandle(HENHMETAFILE__* value) {
  int w = 0, h = 0;
  FrameOf(value, w, h);
  Take(value, w, h, true);
}

HENHMETAFILE__* TMetafile::ReleaseHandle() {
  HENHMETAFILE h = FHandle;
  FHandle = nullptr;
  FMMWidth = FMMHeight = 0;
  Changed(this);
  return h;
}

int TMetafile::Width() const { return MulDiv(FMMWidth, KwScreenPixelsPerInch(), HundredthMMPerInch); }
int TMetafile::Height() const { return MulDiv(FMMHeight, KwScreenPixelsPerInch(), HundredthMMPerInch); }
void TMetafile::SetWidth(int value) { SetMMWidth(MulDiv(value, HundredthMMPerInch, KwScreenPixelsPerInch())); }
void TMetafile::SetHeight(int value) { SetMMHeight(MulDiv(value, HundredthMMPerInch, KwScreenPixelsPerInch())); }

void TMetafile::SetMMWidth(int value) {
  if (value == FMMWidth) return;
  FMMWidth = value;
  Changed(this);
}

void TMetafile::SetMMHeight(int value) {
  if (value == FMMHeight) return;
  FMMHeight = value;
  Changed(this);
}

void TMetafile::LoadFromStream(TStream& stream) {
  const TBytes data = ReadRest(stream);
  if (data.size() >= 22 && Rd32(data.data()) == PlaceableKey) {
    Word sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= Rd16(&data[size_t(i) * 2]);
    const int left = std::int16_t(Rd16(&data[6])), top = std::int16_t(Rd16(&data[8]));
    const int right = std::int16_t(Rd16(&data[10])), bottom = std::int16_t(Rd16(&data[12]));
    const Word inch = Rd16(&data[14]);
    if (sum != Rd16(&data[20]) || inch == 0 || right <= left || bottom <= top || data.size() < 22 + 18) BadMetafile();
    const Byte* wmf = &data[22];
    const size_t words = Rd32(wmf + 6);
    if (Rd16(wmf + 2) != 9 || words < 9 || words * 2 > data.size() - 22) BadMetafile();
    METAFILEPICT mfp{MM_ANISOTROPIC, MulDiv(right - left, HundredthMMPerInch, inch),
                     MulDiv(bottom - top, HundredthMMPerInch, inch), nullptr};
    HENHMETAFILE h = SetWinMetaFileBits(UINT(words * 2), wmf, nullptr, &mfp);
    if (!h) BadMetafile();
    FInch = inch;
    Take(h, mfp.xExt, mfp.yExt, false);
    return;
  }
  if (data.size() < 88 || Rd32(data.data()) != EMR_HEADER || Rd32(&data[40]) != ENHMETA_SIGNATURE) BadMetafile();
  const Cardinal bytes = Rd32(&data[48]);
  if (bytes < 88 || bytes > data.size() || !ValidEmf(data.data(), bytes)) BadMetafile();
  HENHMETAFILE h = SetEnhMetaFileBits(bytes, data.data());
  if (!h) BadMetafile();
  int w = 0, hh = 0;
  FrameOf(h, w, hh);
  Take(h, w, hh, true);
}

void TMetafile::SaveToStream(TStream& stream) {
  if (!FHandle) return;
  if (FEnhanced) {
    const UINT size = GetEnhMetaFileBits(FHandle, 0, nullptr);
    TBytes bits(size);
    if (!size || GetEnhMetaFileBits(FHandle, size, bits.data()) != size) BadMetafile();
    stream.WriteBuffer(bits.data(), size);
    return;
  }
  HDC screen = GetDC(nullptr);
  const UINT size = GetWinMetaFileBits(FHandle, 0, nullptr, MM_ANISOTROPIC, screen);
  TBytes bits(size);
  const bool ok = size && GetWinMetaFileBits(FHandle, size, bits.data(), MM_ANISOTROPIC, screen) == size;
  ReleaseDC(nullptr, screen);
  if (!ok) BadMetafile();
  const Word inch = FInch ? FInch : 1440;
  TBytes hdr;
  Put32(hdr, PlaceableKey);
  Put16(hdr, 0);
  Put16(hdr, 0);
  Put16(hdr, 0);
  Put16(hdr, unsigned(MulDiv(FMMWidth, inch, HundredthMMPerInch)));
  Put16(hdr, unsigned(MulDiv(FMMHeight, inch, HundredthMMPerInch)));
  Put16(hdr, inch);
  Put32(hdr, 0);
  Word sum = 0;
  for (int i = 0; i < 10; ++i) sum ^= Rd16(&hdr[size_t(i) * 2]);
  Put16(hdr, sum);
  stream.WriteBuffer(hdr.data(), Int64(hdr.size()));
  stream.WriteBuffer(bits.data(), size);
}

void TMetafile::Assign(const TPersistent* source) {
  if (auto* m = dynamic_cast<const TMetafile*>(source)) {
    if (m == this) return;
    HENHMETAFILE h = m->FHandle ? CopyEnhMetaFileW(m->FHandle, nullptr) : nullptr;
    if (m->FHandle && !h) BadMetafile();
    FInch = m->FInch;
    Take(h, m->FMMWidth, m->FMMHeight, m->FEnhanced);
  } else if (auto* g = dynamic_cast<const TGraphic*>(source)) {
    Clear();
    SetWidth(g->Width());
    SetHeight(g->Height());
    {
      TMetafileCanvas canvas(this, nullptr);
      canvas.StretchDraw(Rect(0, 0, g->Width(), g->Height()), const_cast<TGraphic*>(g));
    }
  } else if (!source) {
    Clear();
    Changed(this);
  } else {
    TGraphic::Assign(source);
  }
}

void TMetafile::AssignTo(TPersistent* dest) const {
  if (auto* bmp = dynamic_cast<TBitmap*>(dest)) {
    TBitmap out;
    out.SetPixelFormat(pf24bit);
    out.SetSize(Width(), Height());
    if (!out.Empty()) {
      out.Canvas()->Brush()->SetColor(clWhite);
      out.Canvas()->FillRect(Rect(0, 0, Width(), Height()));
      out.Canvas()->StretchDraw(Rect(0, 0, Width(), Height()), const_cast<TMetafile*>(this));
    }
    bmp->Assign(&out);
    return;
  }
  TGraphic::AssignTo(dest);
}

void TMetafile::Draw(TCanvas& canvas, const TRect& rect) {
  if (!FHandle) return;
  const RECT r = KwRect(rect);
  PlayEnhMetaFile(canvas.Handle(), FHandle, &r);
}

void TMetafile::LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette) {
  if (format != CF_ENHMETAFILE || !data) {
    TGraphic::LoadFromClipboardFormat(format, data, palette);
    return;
  }
  HENHMETAFILE h = CopyEnhMetaFileW(static_cast<HENHMETAFILE>(data), nullptr);
  if (!h) BadMetafile();
  SetHandle(h);
}

void TMetafile::SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) {
  HENHMETAFILE h = FHandle ? CopyEnhMetaFileW(FHandle, nullptr) : nullptr;
  if (!h) throw EInvalidGraphicOperation(SRes::SInvalidMetafile);
  format = CF_ENHMETAFILE;
  data = h;
  palette = nullptr;
}

// ---------------------------------------------------------------------- TMetafileCanvas

TMetafileCanvas::TMetafileCanvas(TMetafile* metafile, HDC__* referenceDevice) : FMetafile(metafile) {
  HDC ref = referenceDevice ? referenceDevice : GetDC(nullptr);
  RECT frame{0, 0, metafile->MMWidth(), metafile->MMHeight()};
  if (frame.right <= 0 || frame.bottom <= 0)
    frame = {0, 0, GetDeviceCaps(ref, HORZSIZE) * 100, GetDeviceCaps(ref, VERTSIZE) * 100};
  FRecordDC = CreateEnhMetaFileW(ref, nullptr, &frame, nullptr);
  if (!referenceDevice) ReleaseDC(nullptr, ref);
  if (!FRecordDC) throw EOutOfResources(SRes::SOutOfMemory);
  SetHandle(FRecordDC);
}

TMetafileCanvas::~TMetafileCanvas() {
  SetHandle(nullptr);
  HENHMETAFILE h = CloseEnhMetaFile(FRecordDC);
  if (!h) return;
  const int w = FMetafile->MMWidth(), hh = FMetafile->MMHeight();
  FMetafile->SetHandle(h);
  // The recording's frame is rounded by the system; the size asked for is what counts.
  if (w > 0 && hh > 0) {
    FMetafile->SetMMWidth(w);
    FMetafile->SetMMHeight(hh);
  }
}

}  // namespace kw
