// The drawing core: GDI object accounting and the wrappers that create and free GDI objects,
// the drawing tools TPen, TBrush and TFont over a shared handle cache, and TCanvas with
// Frame3D. Pictures (TGraphic, TBitmap, ...) are in Graphic.h; colours are in Colors.h.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "host/Classes.h"
#include "host/Colors.h"
#include "host/Types.h"

struct HDC__;
struct HPEN__;
struct HBRUSH__;
struct HFONT__;
struct HBITMAP__;
struct HRGN__;
struct HPALETTE__;
struct HWND__;

namespace kw {

// GDI accounting. Every host unit creates and frees GDI objects through these wrappers, so
// the counts are exact; tests compare KwGdiTotal before and after to prove nothing leaks.
enum TGdiKind { gkPen, gkBrush, gkFont, gkBitmap, gkRegion, gkDC, gkPalette };
int KwGdiCount(TGdiKind kind);
int KwGdiTotal();
void KwGdiCreated(TGdiKind kind);
void KwGdiDeleted(TGdiKind kind);

// Each returns nullptr on failure and counts only what it really made.
HPEN__* KwCreatePen(int style, int width, TColor color);
// A geometric pen (PS_GEOMETRIC is added) with the given end and join bits in style.
HPEN__* KwExtCreatePen(unsigned style, unsigned width, TColor color);
HBRUSH__* KwCreateSolidBrush(TColor color);
HBRUSH__* KwCreateHatchBrush(int hatch, TColor color);
HBRUSH__* KwCreatePatternBrush(HBITMAP__* bitmap);  // the bitmap stays the caller's
HFONT__* KwCreateFontIndirect(const void* logFontW);  // a LOGFONTW
HBITMAP__* KwCreateCompatibleBitmap(HDC__* dc, int width, int height);
HBITMAP__* KwCreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel, const void* bits);
HBITMAP__* KwCreateDIBSection(HDC__* dc, const void* bitmapInfo, unsigned usage, void** bits,
                              void* section = nullptr, unsigned long offset = 0);
HRGN__* KwCreateRectRgn(int left, int top, int right, int bottom);
HRGN__* KwCreateRectRgn(const TRect& r);
HRGN__* KwCreateEllipticRgn(int left, int top, int right, int bottom);
HRGN__* KwCreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
HRGN__* KwCreatePolygonRgn(const TPoint* points, int count);  // ALTERNATE fill mode
HRGN__* KwExtCreateRegion(const void* xform, unsigned long count, const void* rgnData);
HPALETTE__* KwCreatePalette(const void* logPalette);
HDC__* KwCreateCompatibleDC(HDC__* dc);
void KwDeleteDC(HDC__* dc);
// Frees a pen, brush, font, bitmap, region or palette made by the wrappers; null is ignored.
void KwDeleteObject(TGdiKind kind, void* handle);
// SetWindowRgn: the window owns the region from then on, so it leaves the count and is
// never deleted by us. A null region removes the window's region.
void KwHandRegionToWindow(HWND__* wnd, HRGN__* rgn, bool redraw);
// A handle made elsewhere (LoadImage, CopyImage, a clipboard read) that we now own.
void KwAdoptGdiObject(TGdiKind kind, void* handle);

// The process-wide cache of pens, brushes and fonts by logical description: equal drawing
// tools share one handle, freed when its last user lets go. Thread-safe.
struct TGdiResource;
void* KwResourceHandle(const TGdiResource* res);
void KwResourceAddRef(TGdiResource* res);
void KwResourceRelease(TGdiResource* res);  // null is ignored
// Number of distinct handles the cache holds, per kind (gkPen, gkBrush, gkFont).
int KwResourceCount(TGdiKind kind);

class TGraphicsObject : public TPersistent {
  KW_CLASS(TGraphicsObject, TPersistent)
  ~TGraphicsObject() override;
  TNotifyEvent OnChange;
  // The cached GDI resource of the current description, made on first use.
  TGdiResource* Resource() const;
  bool HandleAllocated() const { return FResource != nullptr; }

protected:
  // Lets go of the cached handle and raises OnChange; setters call it on a real change only.
  virtual void Changed();
  virtual TGdiResource* MakeResource() const = 0;
  mutable TGdiResource* FResource = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
KW_DECLARE_ENUM(TPenStyle)
KW_DECLARE_ENUM(TPenMode)
// The R2_* drawing mode of a pen mode.
int KwPenModeToRop2(TPenMode mode);

class TPen : public TGraphicsObject {
  KW_CLASS(TPen, TGraphicsObject)
  TPen() = default;
  void Assign(const TPersistent* source) override;
  TColor Color() const { return FColor; }
  void SetColor(TColor value);
  int Width() const { return FWidth; }
  void SetWidth(int value);  // below 1 becomes 1
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle value);
  // The mode is a DC setting, not part of the GDI pen: the canvas applies it.
  TPenMode Mode() const { return FMode; }
  void SetMode(TPenMode value);
  HPEN__* Handle() const;

protected:
  TGdiResource* MakeResource() const override;

private:
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
KW_DECLARE_ENUM(TBrushStyle)

class TBrush : public TGraphicsObject {
  KW_CLASS(TBrush, TGraphicsObject)
  TBrush() = default;
  void Assign(const TPersistent* source) override;
  TColor Color() const { return FColor; }
  void SetColor(TColor value);  // a clear brush becomes solid, as the host does
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle value);
  // A pattern: the brush paints with this bitmap, which stays the caller's and must outlive
  // the brush's use of it. Null goes back to Style and Color.
  HBITMAP__* Bitmap() const { return FBitmap; }
  void SetBitmap(HBITMAP__* value);
  HBRUSH__* Handle() const;  // the stock hollow brush for bsClear without a bitmap

protected:
  TGdiResource* MakeResource() const override;

private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  HBITMAP__* FBitmap = nullptr;
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
enum TFontQuality { fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType, fqClearTypeNatural };
using TFontCharset = Byte;
KW_DECLARE_ENUM(TFontStyle)
KW_DECLARE_ENUM(TFontPitch)
KW_DECLARE_ENUM(TFontQuality)
constexpr TFontCharset DEFAULT_FONT_CHARSET = 1;  // DEFAULT_CHARSET

// The screen's LOGPIXELSY, read once (96 under Wine).
int KwScreenPixelsPerInch();

class TFont : public TGraphicsObject {
  KW_CLASS(TFont, TGraphicsObject)
  TFont();
  void Assign(const TPersistent* source) override;
  const String& Name() const { return FName; }
  void SetName(const String& value);  // an empty name is ignored
  // Size in points and Height in pixels are two views of one value: Height is negative for
  // a character height (the usual case), Size = -Height * 72 / PixelsPerInch, rounded.
  int Size() const;
  void SetSize(int value);
  int Height() const { return FHeight; }
  void SetHeight(int value);
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int value);  // keeps Height, so Size reads differently
  TColor Color() const { return FColor; }
  void SetColor(TColor value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles value);
  TFontCharset Charset() const { return FCharset; }
  void SetCharset(TFontCharset value);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch value);
  TFontQuality Quality() const { return FQuality; }
  void SetQuality(TFontQuality value);
  // Tenths of a degree, counter-clockwise; text drawn with it runs at that angle.
  int Orientation() const { return FOrientation; }
  void SetOrientation(int value);
  HFONT__* Handle() const;

protected:
  TGdiResource* MakeResource() const override;

private:
  String FName = L"Tahoma";
  int FHeight;
  int FPixelsPerInch;
  TColor FColor = clWindowText;
  TFontStyles FStyle;
  TFontCharset FCharset = DEFAULT_FONT_CHARSET;
  TFontPitch FPitch = fpDefault;
  TFontQuality FQuality = fqDefault;
  int FOrientation = 0;
};

// A raster operation for CopyRect: one of these or any ternary raster-op value.
using TCopyMode = Int32;
constexpr TCopyMode cmBlackness = 0x00000042;
constexpr TCopyMode cmDstInvert = 0x00550009;
constexpr TCopyMode cmMergeCopy = 0x00C000CA;
constexpr TCopyMode cmMergePaint = 0x00BB0226;
constexpr TCopyMode cmNotSrcCopy = 0x00330008;
constexpr TCopyMode cmNotSrcErase = 0x001100A6;
constexpr TCopyMode cmPatCopy = 0x00F00021;
constexpr TCopyMode cmPatInvert = 0x005A0049;
constexpr TCopyMode cmPatPaint = 0x00FB0A09;
constexpr TCopyMode cmSrcAnd = 0x008800C6;
constexpr TCopyMode cmSrcCopy = 0x00CC0020;
constexpr TCopyMode cmSrcErase = 0x00440328;
constexpr TCopyMode cmSrcInvert = 0x00660046;
constexpr TCopyMode cmSrcPaint = 0x00EE0086;
constexpr TCopyMode cmWhiteness = 0x00FF0062;

enum TTextFormats {
  tfBottom, tfCalcRect, tfCenter, tfEditControl, tfEndEllipsis, tfPathEllipsis, tfExpandTabs,
  tfExternalLeading, tfLeft, tfModifyString, tfNoClip, tfNoPrefix, tfRight, tfRtlReading,
  tfSingleLine, tfTop, tfVerticalCenter, tfWordBreak, tfHidePrefix, tfNoFullWidthCharBreak,
  tfPrefixOnly, tfTabStop, tfWordEllipsis
};
using TTextFormat = TSet<TTextFormats>;
KW_DECLARE_ENUM(TTextFormats)
// The DrawTextW flags of a text format.
unsigned KwTextFormatToFlags(TTextFormat format);

enum TCanvasStates { csHandleValid, csFontValid, csPenValid, csBrushValid };
using TCanvasState = TSet<TCanvasStates>;

class TGraphic;
class TCanvas;
// Defined with TGraphic in Graphic.cpp: draws graphic into rect of canvas (its protected Draw).
void KwDrawGraphic(TCanvas& canvas, const TRect& rect, TGraphic* graphic);
// Defined with TGraphic in Graphic.cpp: the graphic's natural width and height.
TSize KwGraphicSize(const TGraphic* graphic);

class TCanvas : public TPersistent {
  KW_CLASS(TCanvas, TPersistent)
  TCanvas();
  // Lets go of the handle (restoring the DC's objects). A derived canvas that made its DC
  // frees it in its own destructor through FreeHandle.
  ~TCanvas() override;
  void Assign(const TPersistent* source) override;  // pen, brush, font and copy mode

  // The DC; CreateHandle is asked for one when there is none, and EInvalidOperation
  // "Canvas does not allow drawing" is raised when none can be had.
  HDC__* Handle();
  // Takes dc to draw on; the DC's original pen, brush, font, colours and modes are put back
  // when the canvas lets it go (another SetHandle, SetHandle(nullptr), or destruction).
  void SetHandle(HDC__* dc);
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Deselects the drawing tools; the next drawing call selects them again.
  void Refresh();

  TPen* Pen() const { return FPen; }
  void SetPen(const TPen* value) { FPen->Assign(value); }
  TBrush* Brush() const { return FBrush; }
  void SetBrush(const TBrush* value) { FBrush->Assign(value); }
  TFont* Font() const { return FFont; }
  void SetFont(const TFont* value) { FFont->Assign(value); }
  TCopyMode CopyMode() const { return FCopyMode; }
  void SetCopyMode(TCopyMode value) { FCopyMode = value; }
  TPoint PenPos();
  void SetPenPos(const TPoint& value) { MoveTo(value.X, value.Y); }
  // ExtTextOut options added to every TextOut and TextRect (ETO_RTLREADING, ...).
  int TextFlags() const { return FTextFlags; }
  void SetTextFlags(int value) { FTextFlags = value; }

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Rectangle(int left, int top, int right, int bottom);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void RoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
  void RoundRect(const TRect& r, int ellipseWidth, int ellipseHeight) {
    RoundRect(r.Left, r.Top, r.Right, r.Bottom, ellipseWidth, ellipseHeight);
  }
  void Ellipse(int left, int top, int right, int bottom);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Polygon(const TPoint* points, int count);
  void Polygon(const std::vector<TPoint>& points) { Polygon(points.data(), int(points.size())); }
  void Polyline(const TPoint* points, int count);
  void Polyline(const std::vector<TPoint>& points) { Polyline(points.data(), int(points.size())); }
  // count is 3n + 1: a start point and three per curve.
  void PolyBezier(const TPoint* points, int count);
  void PolyBezier(const std::vector<TPoint>& points) { PolyBezier(points.data(), int(points.size())); }

  // With the brush; right and bottom edges exclusive.
  void FillRect(const TRect& r);
  // A one-pixel border in the brush.
  void FrameRect(const TRect& r);
  void DrawFocusRect(const TRect& r);

  void TextOut(int x, int y, const String& text);
  // Text at x, y clipped to rect, whose background the brush fills unless it is clear.
  void TextRect(const TRect& rect, int x, int y, const String& text);
  // Text laid out in rect by format; with tfCalcRect nothing is drawn and rect receives the
  // size the text needs. Returns the height of the text.
  int TextRect(TRect& rect, const String& text, TTextFormat format = {});
  int TextRect(const TRect& rect, const String& text, TTextFormat format);
  TSize TextExtent(const String& text);
  int TextWidth(const String& text) { return TextExtent(text).cx; }
  int TextHeight(const String& text) { return TextExtent(text).cy; }

  TColor Pixels(int x, int y);  // clNone outside the clip region
  void SetPixels(int x, int y, TColor color);
  void SetPixel(int x, int y, TColor color) { SetPixels(x, y, color); }

  // Copies source of canvas into dest of this canvas under CopyMode, stretching to fit.
  void CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source);
  // Copies source of bitmap into dest, painting the brush where the bitmap has the
  // transparent colour.
  void BrushCopy(const TRect& dest, HBITMAP__* bitmap, const TRect& source, TColor transparent);
  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const TRect& rect, TGraphic* graphic);
  // The bounds of the clip region in logical units.
  TRect ClipRect();

  // A recursive lock per canvas: a thread painting with this canvas holds it; TryLock fails
  // at once when another thread holds it.
  void Lock();
  void Unlock();
  bool TryLock();
  int LockCount() const { return FLockCount.load(); }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

protected:
  virtual void CreateHandle() {}
  // Releases the handle; a canvas that made its DC overrides it to free the DC as well.
  virtual void FreeHandle() { SetHandle(nullptr); }
  // Makes sure the DC is there and the asked-for tools are selected into it.
  void RequiredState(TCanvasState state);
  virtual void Changing();
  virtual void Changed();
  HDC__* FHandle = nullptr;

private:
  void DeselectHandles();
  void SelectPen();
  void SelectBrush();
  void SelectFont();
  void ToolChanged(TObject* sender);
  TPen* FPen;
  TBrush* FBrush;
  TFont* FFont;
  TCanvasState FState;
  TCopyMode FCopyMode = cmSrcCopy;
  int FTextFlags = 0;
  // What the canvas replaced in the DC, put back when it lets the DC go.
  void* FOldPen = nullptr;
  void* FOldBrush = nullptr;
  void* FOldFont = nullptr;
  bool FSavedAttrs = false;
  unsigned long FOldTextColor = 0;
  unsigned long FOldBkColor = 0;
  int FOldBkMode = 0;
  int FOldRop2 = 0;
  // The attributes the canvas last set, so unchanged ones are not set again; forgotten
  // whenever outside code may have touched the DC (Handle, Refresh, a new DC).
  void ForgetAttrs();
  unsigned long FCurTextColor, FCurBkColor;
  int FCurBkMode, FCurRop2;
  // The cache entries the DC holds, kept alive while selected.
  TGdiResource* FSelPen = nullptr;
  TGdiResource* FSelBrush = nullptr;
  TGdiResource* FSelFont = nullptr;
  std::recursive_mutex FLock;
  std::atomic<int> FLockCount{0};
};

// Draws a width-pixel raised (or sunken, with the colours swapped) border: top and left in
// topColor, bottom and right in bottomColor, then shrinks rect by width on every side.
void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

}  // namespace kw
