// TCanvas over a GDI device context, with lazy selection of its pen, brush and font, the
// per-canvas lock, and Frame3D. Bitmap canvases and the pictures they draw are in Graphic.cpp.
#include <algorithm>

#include "host/Graphics.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

namespace {

constexpr TCanvasState HandleOnly{csHandleValid};
constexpr TCanvasState HandlePen{csHandleValid, csPenValid};
constexpr TCanvasState HandleBrush{csHandleValid, csBrushValid};
constexpr TCanvasState HandleFont{csHandleValid, csFontValid};
constexpr TCanvasState HandlePenBrush{csHandleValid, csPenValid, csBrushValid};
constexpr TCanvasState HandleFontBrush{csHandleValid, csFontValid, csBrushValid};

COLORREF ToColorRef(TColor color) { return COLORREF(ColorToRGB(color)) & 0x00FFFFFF; }

// Holds a DC's selection of one object and puts the previous one back.
class TSelectGuard {
public:
  TSelectGuard(HDC dc, HGDIOBJ obj) : FDC(dc), FOld(obj ? ::SelectObject(dc, obj) : nullptr) {}
  ~TSelectGuard() {
    if (FOld) ::SelectObject(FDC, FOld);
  }
  TSelectGuard(const TSelectGuard&) = delete;

private:
  HDC FDC;
  HGDIOBJ FOld;
};

}  // namespace

KW_DEFINE_ENUM(TTextFormats, L"tfBottom", L"tfCalcRect", L"tfCenter", L"tfEditControl", L"tfEndEllipsis",
               L"tfPathEllipsis", L"tfExpandTabs", L"tfExternalLeading", L"tfLeft", L"tfModifyString",
               L"tfNoClip", L"tfNoPrefix", L"tfRight", L"tfRtlReading", L"tfSingleLine", L"tfTop",
               L"tfVerticalCenter", L"tfWordBreak", L"tfHidePrefix", L"tfNoFullWidthCharBreak",
               L"tfPrefixOnly", L"tfTabStop", L"tfWordEllipsis")

unsigned KwTextFormatToFlags(TTextFormat format) {
  static const unsigned flags[] = {
      DT_BOTTOM,     DT_CALCRECT,      DT_CENTER,     DT_EDITCONTROL,   DT_END_ELLIPSIS,         DT_PATH_ELLIPSIS,
      DT_EXPANDTABS, DT_EXTERNALLEADING, DT_LEFT,     DT_MODIFYSTRING,  DT_NOCLIP,               DT_NOPREFIX,
      DT_RIGHT,      DT_RTLREADING,    DT_SINGLELINE, DT_TOP,           DT_VCENTER,              DT_WORDBREAK,
      DT_HIDEPREFIX, DT_NOFULLWIDTHCHARBREAK, DT_PREFIXONLY, DT_TABSTOP, DT_WORD_ELLIPSIS};
  unsigned result = 0;
  for (unsigned i = 0; i < std::size(flags); i++)
    if (format.Contains(TTextFormats(i))) result |= flags[i];
  return result;
}

KW_BEGIN_CLASS(TCanvas, TPersistent) {
  b.Prop(L"Brush", &TCanvas::Brush, &TCanvas::SetBrush);
  b.Prop(L"CopyMode", &TCanvas::CopyMode, &TCanvas::SetCopyMode).Default(cmSrcCopy);
  b.Prop(L"Font", &TCanvas::Font, &TCanvas::SetFont);
  b.Prop(L"Pen", &TCanvas::Pen, &TCanvas::SetPen);
}

TCanvas::TCanvas() : FPen(new TPen), FBrush(new TBrush), FFont(new TFont) {
  ForgetAttrs();
  auto changed = [this](TObject* sender) { ToolChanged(sender); };
  FPen->OnChange = changed;
  FBrush->OnChange = changed;
  FFont->OnChange = changed;
}

TCanvas::~TCanvas() {
  SetHandle(nullptr);
  FFont->Free();
  FBrush->Free();
  FPen->Free();
}

void TCanvas::Assign(const TPersistent* source) {
  if (auto* canvas = dynamic_cast<const TCanvas*>(source)) {
    if (canvas == this) return;
    FPen->Assign(canvas->FPen);
    FBrush->Assign(canvas->FBrush);
    FFont->Assign(canvas->FFont);
    FCopyMode = canvas->FCopyMode;
    return;
  }
  inherited::Assign(source);
}

HDC__* TCanvas::Handle() {
  if (!FHandle) CreateHandle();
  if (!FHandle) throw EInvalidOperation(SRes::SNoCanvasHandle);
  // The caller may change colours and modes behind our back.
  ForgetAttrs();
  return FHandle;
}

void TCanvas::ForgetAttrs() {
  FCurTextColor = FCurBkColor = CLR_INVALID;
  FCurBkMode = FCurRop2 = -1;
}

void TCanvas::SetHandle(HDC__* dc) {
  if (FHandle == dc) return;
  if (FHandle) DeselectHandles();
  FHandle = dc;
  FState = dc ? HandleOnly : TCanvasState();
  ForgetAttrs();
}

void TCanvas::Refresh() {
  DeselectHandles();
  ForgetAttrs();
}

void TCanvas::ToolChanged(TObject* sender) {
  // The DC keeps the old handle (and its reference) until the next drawing call selects the
  // new one, so a run of property changes costs one SelectObject.
  if (sender == FPen) FState.Exclude(csPenValid);
  else if (sender == FBrush) FState.Exclude(csBrushValid);
  else if (sender == FFont) FState.Exclude(csFontValid);
}

void TCanvas::DeselectHandles() {
  if (FHandle) {
    if (FOldPen) ::SelectObject(FHandle, FOldPen);
    if (FOldBrush) ::SelectObject(FHandle, FOldBrush);
    if (FOldFont) ::SelectObject(FHandle, FOldFont);
    if (FSavedAttrs) {
      ::SetTextColor(FHandle, FOldTextColor);
      ::SetBkColor(FHandle, FOldBkColor);
      ::SetBkMode(FHandle, FOldBkMode);
      ::SetROP2(FHandle, FOldRop2);
    }
  }
  ForgetAttrs();
  FOldPen = FOldBrush = FOldFont = nullptr;
  FSavedAttrs = false;
  KwResourceRelease(FSelPen);
  KwResourceRelease(FSelBrush);
  KwResourceRelease(FSelFont);
  FSelPen = FSelBrush = FSelFont = nullptr;
  FState = FState - TCanvasState{csPenValid, csBrushValid, csFontValid};
}

namespace {

// Selects res into dc unless it is there already, keeping the DC's first object and moving
// the canvas's reference from the previous resource to this one.
void SelectResource(HDC dc, TGdiResource* res, TGdiResource*& selected, void*& original) {
  if (res == selected) return;
  HGDIOBJ old = ::SelectObject(dc, static_cast<HGDIOBJ>(KwResourceHandle(res)));
  if (!original) original = old;
  KwResourceAddRef(res);
  KwResourceRelease(selected);
  selected = res;
}

}  // namespace

void TCanvas::SelectPen() {
  SelectResource(FHandle, FPen->Resource(), FSelPen, FOldPen);
  int rop2 = KwPenModeToRop2(FPen->Mode());
  if (rop2 != FCurRop2) FCurRop2 = ::SetROP2(FHandle, rop2) ? rop2 : -1;
  FState.Include(csPenValid);
}

void TCanvas::SelectBrush() {
  SelectResource(FHandle, FBrush->Resource(), FSelBrush, FOldBrush);
  COLORREF bk = ToColorRef(FBrush->Color());
  if (bk != FCurBkColor) FCurBkColor = ::SetBkColor(FHandle, bk) != CLR_INVALID ? bk : CLR_INVALID;
  int mode = FBrush->Style() == bsSolid ? OPAQUE : TRANSPARENT;
  if (mode != FCurBkMode) FCurBkMode = ::SetBkMode(FHandle, mode) ? mode : -1;
  FState.Include(csBrushValid);
}

void TCanvas::SelectFont() {
  SelectResource(FHandle, FFont->Resource(), FSelFont, FOldFont);
  COLORREF text = ToColorRef(FFont->Color());
  if (text != FCurTextColor) FCurTextColor = ::SetTextColor(FHandle, text) != CLR_INVALID ? text : CLR_INVALID;
  FState.Include(csFontValid);
}

void TCanvas::RequiredState(TCanvasState state) {
  TCanvasState need = state - FState;
  if (need.Empty()) return;
  if (need.Contains(csHandleValid)) {
    if (!FHandle) CreateHandle();
    if (!FHandle) throw EInvalidOperation(SRes::SNoCanvasHandle);
    FState.Include(csHandleValid);
  }
  if ((need - HandleOnly).Empty()) return;
  if (!FSavedAttrs) {
    FOldTextColor = ::GetTextColor(FHandle);
    FOldBkColor = ::GetBkColor(FHandle);
    FOldBkMode = ::GetBkMode(FHandle);
    FOldRop2 = ::GetROP2(FHandle);
    FSavedAttrs = true;
  }
  if (need.Contains(csPenValid)) SelectPen();
  if (need.Contains(csBrushValid)) SelectBrush();
  if (need.Contains(csFontValid)) SelectFont();
}

void TCanvas::Changing() { OnChanging(this); }
void TCanvas::Changed() { OnChange(this); }

TPoint TCanvas::PenPos() {
  RequiredState(HandleOnly);
  POINT p{};
  ::GetCurrentPositionEx(FHandle, &p);
  return KwToPoint(p);
}

void TCanvas::MoveTo(int x, int y) {
  RequiredState(HandleOnly);
  ::MoveToEx(FHandle, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
  Changing();
  // The brush too: the gaps of a styled pen take the background colour.
  RequiredState(HandlePenBrush);
  ::LineTo(FHandle, x, y);
  Changed();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  Changing();
  RequiredState(HandlePenBrush);
  ::Rectangle(FHandle, left, top, right, bottom);
  Changed();
}

void TCanvas::RoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  Changing();
  RequiredState(HandlePenBrush);
  ::RoundRect(FHandle, left, top, right, bottom, ellipseWidth, ellipseHeight);
  Changed();
}

void TCanvas::Ellipse(int left, int top, int right, int bottom) {
  Changing();
  RequiredState(HandlePenBrush);
  ::Ellipse(FHandle, left, top, right, bottom);
  Changed();
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  Changing();
  RequiredState(HandlePenBrush);
  ::Arc(FHandle, x1, y1, x2, y2, x3, y3, x4, y4);
  Changed();
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  Changing();
  RequiredState(HandlePenBrush);
  ::Pie(FHandle, x1, y1, x2, y2, x3, y3, x4, y4);
  Changed();
}

void TCanvas::Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  Changing();
  RequiredState(HandlePenBrush);
  ::Chord(FHandle, x1, y1, x2, y2, x3, y3, x4, y4);
  Changed();
}

void TCanvas::Polygon(const TPoint* points, int count) {
  if (count <= 0) return;
  Changing();
  RequiredState(HandlePenBrush);
  ::Polygon(FHandle, KwPPoint(points), count);
  Changed();
}

void TCanvas::Polyline(const TPoint* points, int count) {
  if (count <= 0) return;
  Changing();
  RequiredState(HandlePenBrush);
  ::Polyline(FHandle, KwPPoint(points), count);
  Changed();
}

void TCanvas::PolyBezier(const TPoint* points, int count) {
  if (count <= 0) return;
  Changing();
  RequiredState(HandlePenBrush);
  ::PolyBezier(FHandle, KwPPoint(points), DWORD(count));
  Changed();
}

void TCanvas::FillRect(const TRect& r) {
  Changing();
  RequiredState(HandleBrush);
  ::FillRect(FHandle, KwPRect(&r), static_cast<HBRUSH>(KwResourceHandle(FSelBrush)));
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  Changing();
  RequiredState(HandleBrush);
  ::FrameRect(FHandle, KwPRect(&r), static_cast<HBRUSH>(KwResourceHandle(FSelBrush)));
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
  Changing();
  RequiredState(HandleBrush);
  ::DrawFocusRect(FHandle, KwPRect(&r));
  Changed();
}

void TCanvas::TextOut(int x, int y, const String& text) {
  Changing();
  RequiredState(HandleFontBrush);
  ::ExtTextOutW(FHandle, x, y, UINT(FTextFlags), nullptr, text.data(), UINT(text.size()), nullptr);
  // The pen follows the text, as the host's TextOut leaves it.
  SIZE s{};
  ::GetTextExtentPoint32W(FHandle, text.data(), int(text.size()), &s);
  ::MoveToEx(FHandle, x + s.cx, y, nullptr);
  Changed();
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const String& text) {
  Changing();
  RequiredState(HandleFontBrush);
  UINT options = ETO_CLIPPED | UINT(FTextFlags);
  if (FBrush->Style() != bsClear) options |= ETO_OPAQUE;
  ::ExtTextOutW(FHandle, x, y, options, KwPRect(&rect), text.data(), UINT(text.size()), nullptr);
  Changed();
}

int TCanvas::TextRect(TRect& rect, const String& text, TTextFormat format) {
  bool calc = format.Contains(tfCalcRect);
  // The text is ours only for reading, so DrawText may not write into it.
  UINT flags = KwTextFormatToFlags(format - TTextFormat{tfModifyString});
  if (FTextFlags & ETO_RTLREADING) flags |= DT_RTLREADING;
  if (!calc) Changing();
  RequiredState(HandleFontBrush);
  int height = ::DrawTextW(FHandle, text.data(), int(text.size()), KwPRect(&rect), flags);
  if (!calc) Changed();
  return height;
}

int TCanvas::TextRect(const TRect& rect, const String& text, TTextFormat format) {
  TRect r = rect;
  return TextRect(r, text, format);
}

TSize TCanvas::TextExtent(const String& text) {
  RequiredState(HandleFont);
  SIZE s{};
  ::GetTextExtentPoint32W(FHandle, text.data(), int(text.size()), &s);
  return KwToSize(s);
}

TColor TCanvas::Pixels(int x, int y) {
  RequiredState(HandleOnly);
  COLORREF c = ::GetPixel(FHandle, x, y);
  return c == CLR_INVALID ? clNone : TColor(c);
}

void TCanvas::SetPixels(int x, int y, TColor color) {
  Changing();
  RequiredState(HandlePen);
  ::SetPixel(FHandle, x, y, ToColorRef(color));
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source) {
  if (!canvas) return;
  Changing();
  // The brush takes part in raster operations that use a pattern.
  RequiredState(HandleFontBrush);
  canvas->RequiredState(HandleFontBrush);
  ::StretchBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(), canvas->FHandle, source.Left, source.Top,
               source.Width(), source.Height(), DWORD(FCopyMode));
  Changed();
}

void TCanvas::BrushCopy(const TRect& dest, HBITMAP__* bitmap, const TRect& source, TColor transparent) {
  if (!bitmap) return;
  int w = source.Width(), h = source.Height();
  if (w <= 0 || h <= 0) return;
  Changing();
  RequiredState(HandleBrush);
  HDC srcDC = KwCreateCompatibleDC(FHandle);
  HDC maskDC = KwCreateCompatibleDC(FHandle);
  HDC workDC = KwCreateCompatibleDC(FHandle);
  HBITMAP mask = KwCreateBitmap(w, h, 1, 1, nullptr);
  HBITMAP work = KwCreateCompatibleBitmap(FHandle, w, h);
  if (srcDC && maskDC && workDC && mask && work) {
    TSelectGuard s1(srcDC, bitmap), s2(maskDC, mask), s3(workDC, work);
    // The mask is white where the bitmap has the transparent colour.
    ::SetBkColor(srcDC, ToColorRef(transparent));
    ::BitBlt(maskDC, 0, 0, w, h, srcDC, source.Left, source.Top, SRCCOPY);
    ::BitBlt(workDC, 0, 0, w, h, srcDC, source.Left, source.Top, SRCCOPY);
    // Mono to colour maps white to the background and black to the text colour, so these
    // make the mask's bits count as all ones and all zeros.
    ::SetBkColor(workDC, RGB(255, 255, 255));
    ::SetTextColor(workDC, RGB(0, 0, 0));
    {
      TSelectGuard brush(workDC, static_cast<HGDIOBJ>(KwResourceHandle(FSelBrush)));
      // Where the mask is set the pattern, elsewhere the bitmap (DSPDxax).
      ::BitBlt(workDC, 0, 0, w, h, maskDC, 0, 0, 0x00E20746);
    }
    ::StretchBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(), workDC, 0, 0, w, h, SRCCOPY);
  }
  KwDeleteDC(workDC);
  KwDeleteDC(maskDC);
  KwDeleteDC(srcDC);
  KwDeleteObject(gkBitmap, work);
  KwDeleteObject(gkBitmap, mask);
  Changed();
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic) return;
  TSize size = KwGraphicSize(graphic);
  StretchDraw(Bounds(x, y, size.cx, size.cy), graphic);
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic) {
  if (!graphic) return;
  Changing();
  // Monochrome pictures take their colours from the text and background colours.
  RequiredState(HandleFontBrush);
  KwDrawGraphic(*this, rect, graphic);
  Changed();
}

TRect TCanvas::ClipRect() {
  RequiredState(HandleOnly);
  RECT r{};
  ::GetClipBox(FHandle, &r);
  return KwToRect(r);
}

void TCanvas::Lock() {
  FLock.lock();
  FLockCount.fetch_add(1);
}

void TCanvas::Unlock() {
  FLockCount.fetch_sub(1);
  FLock.unlock();
}

bool TCanvas::TryLock() {
  if (!FLock.try_lock()) return false;
  FLockCount.fetch_add(1);
  return true;
}

void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
  TPen saved;
  saved.Assign(canvas->Pen());
  canvas->Pen()->SetWidth(1);
  canvas->Pen()->SetStyle(psSolid);
  canvas->Pen()->SetMode(pmCopy);
  rect.Bottom--;
  rect.Right--;
  for (; width > 0; width--) {
    // Top-left first; the bottom-right pass then owns both far corners.
    TPoint first[3] = {Point(rect.Left, rect.Bottom), Point(rect.Left, rect.Top), Point(rect.Right, rect.Top)};
    TPoint second[3] = {Point(rect.Right, rect.Top), Point(rect.Right, rect.Bottom), Point(rect.Left - 1, rect.Bottom)};
    canvas->Pen()->SetColor(topColor);
    canvas->Polyline(first, 3);
    canvas->Pen()->SetColor(bottomColor);
    canvas->Polyline(second, 3);
    InflateRect(rect, -1, -1);
  }
  rect.Bottom++;
  rect.Right++;
  canvas->Pen()->Assign(&saved);
}

}  // namespace kw
