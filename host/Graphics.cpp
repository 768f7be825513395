// GDI accounting with its create/free wrappers, the shared handle cache, and the drawing
// tools TPen, TBrush and TFont with their published properties. TCanvas is in Canvas.cpp.
#include "host/Graphics.h"

#include <cstring>
#include <string>
#include <unordered_map>

#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

namespace {

constexpr int GdiKinds = gkPalette + 1;
std::atomic<int> GdiCounts[GdiKinds];

COLORREF ToColorRef(TColor color) { return COLORREF(ColorToRGB(color)) & 0x00FFFFFF; }

template <class H>
H Counted(TGdiKind kind, H handle) {
  if (handle) KwGdiCreated(kind);
  return handle;
}

}  // namespace

int KwGdiCount(TGdiKind kind) { return GdiCounts[kind].load(); }

int KwGdiTotal() {
  int total = 0;
  for (auto& c : GdiCounts) total += c.load();
  return total;
}

void KwGdiCreated(TGdiKind kind) { GdiCounts[kind].fetch_add(1); }
void KwGdiDeleted(TGdiKind kind) { GdiCounts[kind].fetch_sub(1); }

HPEN__* KwCreatePen(int style, int width, TColor color) {
  return Counted(gkPen, ::CreatePen(style, width, ToColorRef(color)));
}

HPEN__* KwExtCreatePen(unsigned style, unsigned width, TColor color) {
  LOGBRUSH lb{BS_SOLID, ToColorRef(color), 0};
  return Counted(gkPen, ::ExtCreatePen(style | PS_GEOMETRIC, width, &lb, 0, nullptr));
}

HBRUSH__* KwCreateSolidBrush(TColor color) { return Counted(gkBrush, ::CreateSolidBrush(ToColorRef(color))); }

HBRUSH__* KwCreateHatchBrush(int hatch, TColor color) {
  return Counted(gkBrush, ::CreateHatchBrush(hatch, ToColorRef(color)));
}

HBRUSH__* KwCreatePatternBrush(HBITMAP__* bitmap) { return Counted(gkBrush, ::CreatePatternBrush(bitmap)); }

HFONT__* KwCreateFontIndirect(const void* logFontW) {
  return Counted(gkFont, ::CreateFontIndirectW(static_cast<const LOGFONTW*>(logFontW)));
}

HBITMAP__* KwCreateCompatibleBitmap(HDC__* dc, int width, int height) {
  return Counted(gkBitmap, ::CreateCompatibleBitmap(dc, width, height));
}

HBITMAP__* KwCreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel, const void* bits) {
  return Counted(gkBitmap, ::CreateBitmap(width, height, planes, bitsPerPixel, bits));
}

HBITMAP__* KwCreateDIBSection(HDC__* dc, const void* bitmapInfo, unsigned usage, void** bits, void* section,
                              unsigned long offset) {
  return Counted(gkBitmap, ::CreateDIBSection(dc, static_cast<const BITMAPINFO*>(bitmapInfo), usage, bits,
                                              static_cast<HANDLE>(section), offset));
}

HRGN__* KwCreateRectRgn(int left, int top, int right, int bottom) {
  return Counted(gkRegion, ::CreateRectRgn(left, top, right, bottom));
}

HRGN__* KwCreateRectRgn(const TRect& r) { return KwCreateRectRgn(r.Left, r.Top, r.Right, r.Bottom); }

HRGN__* KwCreateEllipticRgn(int left, int top, int right, int bottom) {
  return Counted(gkRegion, ::CreateEllipticRgn(left, top, right, bottom));
}

HRGN__* KwCreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  return Counted(gkRegion, ::CreateRoundRectRgn(left, top, right, bottom, ellipseWidth, ellipseHeight));
}

HRGN__* KwCreatePolygonRgn(const TPoint* points, int count) {
  return Counted(gkRegion, ::CreatePolygonRgn(KwPPoint(points), count, ALTERNATE));
}

HRGN__* KwExtCreateRegion(const void* xform, unsigned long count, const void* rgnData) {
  return Counted(gkRegion, ::ExtCreateRegion(static_cast<const XFORM*>(xform), count,
                                             static_cast<const RGNDATA*>(rgnData)));
}

HPALETTE__* KwCreatePalette(const void* logPalette) {
  return Counted(gkPalette, ::CreatePalette(static_cast<const LOGPALETTE*>(logPalette)));
}

HDC__* KwCreateCompatibleDC(HDC__* dc) { return Counted(gkDC, ::CreateCompatibleDC(dc)); }

void KwDeleteDC(HDC__* dc) {
  if (dc && ::DeleteDC(dc)) KwGdiDeleted(gkDC);
}

void KwDeleteObject(TGdiKind kind, void* handle) {
  if (handle && ::DeleteObject(static_cast<HGDIOBJ>(handle))) KwGdiDeleted(kind);
}

void KwHandRegionToWindow(HWND__* wnd, HRGN__* rgn, bool redraw) {
  if (::SetWindowRgn(wnd, rgn, redraw)) {
    if (rgn) KwGdiDeleted(gkRegion);
  } else if (rgn) {
    // The window did not take it, so it is still ours to free.
    KwDeleteObject(gkRegion, rgn);
  }
}

void KwAdoptGdiObject(TGdiKind kind, void* handle) {
  if (handle) KwGdiCreated(kind);
}

// One cached handle. The key is the byte image of the logical description.
struct TGdiResource {
  TGdiKind Kind;
  std::string Key;
  void* Handle = nullptr;
  bool Stock = false;  // a stock object: never deleted, never counted
  int RefCount = 0;
};

namespace {

std::mutex CacheLock;
std::unordered_map<std::string, TGdiResource*>& CacheOf(TGdiKind kind) {
  static std::unordered_map<std::string, TGdiResource*> caches[3];
  return caches[kind == gkPen ? 0 : kind == gkBrush ? 1 : 2];
}

template <class T>
std::string KeyOf(const T& data) {
  return std::string(reinterpret_cast<const char*>(&data), sizeof(T));
}

// Finds or makes the resource for key; make runs under the lock so two threads asking for
// the same description at once cannot both create a handle.
template <class F>
TGdiResource* Acquire(TGdiKind kind, std::string key, F make) {
  std::lock_guard<std::mutex> guard(CacheLock);
  auto& cache = CacheOf(kind);
  auto it = cache.find(key);
  if (it != cache.end()) {
    it->second->RefCount++;
    return it->second;
  }
  auto* res = new TGdiResource;
  res->Kind = kind;
  res->Key = std::move(key);
  make(*res);
  if (!res->Handle) {
    delete res;
    throw EOutOfResources(L"Out of system resources");
  }
  res->RefCount = 1;
  cache.emplace(res->Key, res);
  return res;
}

}  // namespace

void* KwResourceHandle(const TGdiResource* res) { return res ? res->Handle : nullptr; }

void KwResourceAddRef(TGdiResource* res) {
  if (!res) return;
  std::lock_guard<std::mutex> guard(CacheLock);
  res->RefCount++;
}

void KwResourceRelease(TGdiResource* res) {
  if (!res) return;
  std::lock_guard<std::mutex> guard(CacheLock);
  if (--res->RefCount > 0) return;
  CacheOf(res->Kind).erase(res->Key);
  if (!res->Stock) KwDeleteObject(res->Kind, res->Handle);
  delete res;
}

int KwResourceCount(TGdiKind kind) {
  std::lock_guard<std::mutex> guard(CacheLock);
  return int(CacheOf(kind).size());
}

KW_REGISTER_CLASS(TGraphicsObject, TPersistent)

TGraphicsObject::~TGraphicsObject() { KwResourceRelease(FResource); }

TGdiResource* TGraphicsObject::Resource() const {
  if (!FResource) FResource = MakeResource();
  return FResource;
}

void TGraphicsObject::Changed() {
  // A canvas that selected the old handle holds its own reference, so this is safe.
  TGdiResource* old = FResource;
  FResource = nullptr;
  KwResourceRelease(old);
  OnChange(this);
}

KW_DEFINE_ENUM(TPenStyle, L"psSolid", L"psDash", L"psDot", L"psDashDot", L"psDashDotDot", L"psClear", L"psInsideFrame")
KW_DEFINE_ENUM(TPenMode, L"pmBlack", L"pmWhite", L"pmNop", L"pmNot", L"pmCopy", L"pmNotCopy", L"pmMergePenNot",
               L"pmMaskPenNot", L"pmMergeNotPen", L"pmMaskNotPen", L"pmMerge", L"pmNotMerge", L"pmMask",
               L"pmNotMask", L"pmXor", L"pmNotXor")

int KwPenModeToRop2(TPenMode mode) {
  static const int rop2[] = {R2_BLACK,       R2_WHITE,       R2_NOP,        R2_NOT,        R2_COPYPEN,   R2_NOTCOPYPEN,
                             R2_MERGEPENNOT, R2_MASKPENNOT,  R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN, R2_NOTMERGEPEN,
                             R2_MASKPEN,     R2_NOTMASKPEN,  R2_XORPEN,     R2_NOTXORPEN};
  return unsigned(mode) < 16 ? rop2[mode] : R2_COPYPEN;
}

KW_BEGIN_CLASS(TPen, TGraphicsObject) {
  b.Prop(L"Color", &TPen::Color, &TPen::SetColor).Default(clBlack);
  b.Prop(L"Mode", &TPen::Mode, &TPen::SetMode).Default(pmCopy);
  b.Prop(L"Style", &TPen::Style, &TPen::SetStyle).Default(psSolid);
  b.Prop(L"Width", &TPen::Width, &TPen::SetWidth).Default(1);
}

void TPen::Assign(const TPersistent* source) {
  if (auto* pen = dynamic_cast<const TPen*>(source)) {
    if (pen == this) return;
    if (FColor == pen->FColor && FWidth == pen->FWidth && FStyle == pen->FStyle && FMode == pen->FMode) return;
    FColor = pen->FColor;
    FWidth = pen->FWidth;
    FStyle = pen->FStyle;
    FMode = pen->FMode;
    Changed();
    return;
  }
  inherited::Assign(source);
}

void TPen::SetColor(TColor value) {
  if (FColor == value) return;
  FColor = value;
  Changed();
}

void TPen::SetWidth(int value) {
  if (value < 1) value = 1;
  if (FWidth == value) return;
  FWidth = value;
  Changed();
}

void TPen::SetStyle(TPenStyle value) {
  if (FStyle == value) return;
  FStyle = value;
  Changed();
}

void TPen::SetMode(TPenMode value) {
  if (FMode == value) return;
  FMode = value;
  // The handle does not depend on the mode; OnChange still tells the canvas to apply it.
  OnChange(this);
}

HPEN__* TPen::Handle() const { return static_cast<HPEN>(KwResourceHandle(Resource())); }

TGdiResource* TPen::MakeResource() const {
  struct {
    COLORREF Color;
    int Width;
    int Style;
  } key;
  std::memset(&key, 0, sizeof key);
  static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
  key.Color = ToColorRef(FColor);
  key.Width = FWidth;
  key.Style = styles[FStyle];
  return Acquire(gkPen, KeyOf(key), [&](TGdiResource& r) {
    r.Handle = KwCreatePen(key.Style, key.Width, TColor(key.Color));
  });
}

KW_DEFINE_ENUM(TBrushStyle, L"bsSolid", L"bsClear", L"bsHorizontal", L"bsVertical", L"bsFDiagonal", L"bsBDiagonal",
               L"bsCross", L"bsDiagCross")

KW_BEGIN_CLASS(TBrush, TGraphicsObject) {
  b.Prop(L"Color", &TBrush::Color, &TBrush::SetColor).Default(clWhite);
  b.Prop(L"Style", &TBrush::Style, &TBrush::SetStyle).Default(bsSolid);
}

void TBrush::Assign(const TPersistent* source) {
  if (auto* brush = dynamic_cast<const TBrush*>(source)) {
    if (brush == this) return;
    if (FColor == brush->FColor && FStyle == brush->FStyle && FBitmap == brush->FBitmap) return;
    FColor = brush->FColor;
    FStyle = brush->FStyle;
    FBitmap = brush->FBitmap;
    Changed();
    return;
  }
  inherited::Assign(source);
}

void TBrush::SetColor(TColor value) {
  if (FColor == value && FStyle != bsClear) return;
  FColor = value;
  if (FStyle == bsClear) FStyle = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle value) {
  if (FStyle == value) return;
  FStyle = value;
  Changed();
}

void TBrush::SetBitmap(HBITMAP__* value) {
  if (FBitmap == value) return;
  FBitmap = value;
  Changed();
}

HBRUSH__* TBrush::Handle() const { return static_cast<HBRUSH>(KwResourceHandle(Resource())); }

TGdiResource* TBrush::MakeResource() const {
  struct {
    COLORREF Color;
    int Style;
    HBITMAP Bitmap;
  } key;
  std::memset(&key, 0, sizeof key);
  key.Bitmap = FBitmap;
  key.Style = FBitmap ? -1 : int(FStyle);
  key.Color = FBitmap || FStyle == bsClear ? 0 : ToColorRef(FColor);
  return Acquire(gkBrush, KeyOf(key), [&](TGdiResource& r) {
    if (key.Bitmap) {
      r.Handle = KwCreatePatternBrush(key.Bitmap);
    } else if (key.Style == bsSolid) {
      r.Handle = KwCreateSolidBrush(TColor(key.Color));
    } else if (key.Style == bsClear) {
      r.Handle = ::GetStockObject(NULL_BRUSH);
      r.Stock = true;
    } else {
      r.Handle = KwCreateHatchBrush(key.Style - bsHorizontal + HS_HORIZONTAL, TColor(key.Color));
    }
  });
}

KW_DEFINE_ENUM(TFontStyle, L"fsBold", L"fsItalic", L"fsUnderline", L"fsStrikeOut")
KW_DEFINE_ENUM(TFontPitch, L"fpDefault", L"fpVariable", L"fpFixed")
KW_DEFINE_ENUM(TFontQuality, L"fqDefault", L"fqDraft", L"fqProof", L"fqNonAntialiased", L"fqAntialiased",
               L"fqClearType", L"fqClearTypeNatural")

int KwScreenPixelsPerInch() {
  static const int ppi = [] {
    HDC dc = ::GetDC(nullptr);
    int v = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ::ReleaseDC(nullptr, dc);
    return v > 0 ? v : 96;
  }();
  return ppi;
}

KW_BEGIN_CLASS(TFont, TGraphicsObject) {
  b.Prop(L"Charset", &TFont::Charset, &TFont::SetCharset).Default(DEFAULT_FONT_CHARSET);
  b.Prop(L"Color", &TFont::Color, &TFont::SetColor).Default(clWindowText);
  b.Prop(L"Height", &TFont::Height, &TFont::SetHeight);
  b.Prop(L"Name", &TFont::Name, &TFont::SetName);
  b.Prop(L"Orientation", &TFont::Orientation, &TFont::SetOrientation).Default(0);
  b.Prop(L"Pitch", &TFont::Pitch, &TFont::SetPitch).Default(fpDefault);
  b.Prop(L"Quality", &TFont::Quality, &TFont::SetQuality).Default(fqDefault);
  // Height carries the value in streams; Size is its view in points.
  b.Prop(L"Size", &TFont::Size, &TFont::SetSize).Stored(false);
  b.Prop(L"Style", &TFont::Style, &TFont::SetStyle).Default(TFontStyles{});
}

TFont::TFont() : FPixelsPerInch(KwScreenPixelsPerInch()) { FHeight = -::MulDiv(8, FPixelsPerInch, 72); }

void TFont::Assign(const TPersistent* source) {
  if (auto* font = dynamic_cast<const TFont*>(source)) {
    if (font == this) return;
    // Across resolutions the size in points is what stays.
    int height = font->FPixelsPerInch == FPixelsPerInch ? font->FHeight : -::MulDiv(font->Size(), FPixelsPerInch, 72);
    if (FName == font->FName && FHeight == height && FColor == font->FColor && FStyle == font->FStyle &&
        FCharset == font->FCharset && FPitch == font->FPitch && FQuality == font->FQuality &&
        FOrientation == font->FOrientation)
      return;
    FName = font->FName;
    FHeight = height;
    FColor = font->FColor;
    FStyle = font->FStyle;
    FCharset = font->FCharset;
    FPitch = font->FPitch;
    FQuality = font->FQuality;
    FOrientation = font->FOrientation;
    Changed();
    return;
  }
  inherited::Assign(source);
}

void TFont::SetName(const String& value) {
  if (value.empty() || FName == value) return;
  FName = value;
  Changed();
}

int TFont::Size() const { return -::MulDiv(FHeight, 72, FPixelsPerInch); }

void TFont::SetSize(int value) { SetHeight(-::MulDiv(value, FPixelsPerInch, 72)); }

void TFont::SetHeight(int value) {
  if (FHeight == value) return;
  FHeight = value;
  Changed();
}

void TFont::SetPixelsPerInch(int value) {
  if (value > 0) FPixelsPerInch = value;
}

void TFont::SetColor(TColor value) {
  if (FColor == value) return;
  FColor = value;
  // The colour is a DC setting: the handle stays, the canvas is told.
  OnChange(this);
}

void TFont::SetStyle(TFontStyles value) {
  if (FStyle == value) return;
  FStyle = value;
  Changed();
}

void TFont::SetCharset(TFontCharset value) {
  if (FCharset == value) return;
  FCharset = value;
  Changed();
}

void TFont::SetPitch(TFontPitch value) {
  if (FPitch == value) return;
  FPitch = value;
  Changed();
}

void TFont::SetQuality(TFontQuality value) {
  if (FQuality == value) return;
  FQuality = value;
  Changed();
}

void TFont::SetOrientation(int value) {
  if (FOrientation == value) return;
  FOrientation = value;
  Changed();
}

HFONT__* TFont::Handle() const { return static_cast<HFONT>(KwResourceHandle(Resource())); }

TGdiResource* TFont::MakeResource() const {
  LOGFONTW lf;
  std::memset(&lf, 0, sizeof lf);
  lf.lfHeight = FHeight;
  lf.lfEscapement = FOrientation;
  lf.lfOrientation = FOrientation;
  lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = FStyle.Contains(fsItalic);
  lf.lfUnderline = FStyle.Contains(fsUnderline);
  lf.lfStrikeOut = FStyle.Contains(fsStrikeOut);
  lf.lfCharSet = FCharset;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  // Rotated text needs the angle-aware clipping, or its glyphs are cut at the cell.
  lf.lfClipPrecision = FOrientation ? CLIP_DEFAULT_PRECIS | CLIP_LH_ANGLES : CLIP_DEFAULT_PRECIS;
  lf.lfQuality = Byte(FQuality);  // the fq* order is the *_QUALITY order
  lf.lfPitchAndFamily = FPitch == fpFixed ? FIXED_PITCH : FPitch == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
  size_t n = std::min<size_t>(FName.size(), LF_FACESIZE - 1);
  std::memcpy(lf.lfFaceName, FName.data(), n * sizeof(wchar_t));
  return Acquire(gkFont, KeyOf(lf), [&](TGdiResource& r) { r.Handle = KwCreateFontIndirect(&lf); });
}

}  // namespace kw
