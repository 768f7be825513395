// TBitmap: a picture held in a DIB section, with its canvas, pixel formats, transparency,
// alpha and BMP files (the codec is in Bmpcodec.cpp). Device-dependent bitmaps are not kept:
// handles given to SetHandle are copied into a DIB section.
#pragma once

#include <vector>

#include "host/Colors.h"
#include "host/Graphic.h"
#include "host/Graphics.h"

struct HBITMAP__;
struct HDC__;
struct HPALETTE__;

namespace kw {

// pfDevice is kept as 32 bits per pixel without alpha; pfCustom is only reported, for DIBs
// whose layout is none of the others (it cannot be set).
enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode { tmAuto, tmFixed };
enum TAlphaFormat { afIgnored, afDefined, afPremultiplied };

class TBitmap;

// A canvas over a memory DC with the bitmap selected, made on first use and freed whenever
// the bitmap changes its DIB or is freed.
class TBitmapCanvas : public TCanvas {
public:
  explicit TBitmapCanvas(TBitmap* bitmap);
  ~TBitmapCanvas() override;
  TBitmap* Bitmap() const { return FBitmap; }
  // Deselects the bitmap and deletes the DC; the next drawing makes a new one.
  void FreeContext() { FreeHandle(); }

protected:
  void CreateHandle() override;
  void FreeHandle() override;
  // Drawing through the canvas is a change of the bitmap.
  void Changed() override;

private:
  TBitmap* FBitmap;
  void* FOldBitmap = nullptr;
  HDC__* FDC = nullptr;
};

// A decoded BMP file, shared by TBitmap and its codec. Rows are bottom-up (the first row in
// Bits is the bottom one), each padded to four bytes; Colors are RGBQUAD values (0x00RRGGBB).
struct TDibImage {
  int Width = 0;
  int Height = 0;
  TPixelFormat Format = pf24bit;  // pf1bit .. pf32bit
  std::vector<Cardinal> Colors;
  TBytes Bits;
  bool HasAlpha = false;  // 32 bits with a defined alpha channel
  static int BitCount(TPixelFormat format);
  static int Stride(int width, TPixelFormat format);
};

// Largest width or height a file may declare.
constexpr int KwMaxBitmapSide = 32768;

// Reads a whole BMP file from data; raises EInvalidGraphic naming the fault.
void KwReadBmp(const Byte* data, size_t size, TDibImage& image);
// Writes a BMP file (BITMAPINFOHEADER, or V5 for 32 bits with alpha). bits are bottom-up.
void KwWriteBmp(TStream& stream, int width, int height, TPixelFormat format, const Cardinal* colors,
                int colorCount, const void* bits, bool alpha);

class TBitmap : public TGraphic {
  KW_CLASS(TBitmap, TGraphic)
  TBitmap();
  TBitmap(int width, int height);
  ~TBitmap() override;

  void Assign(const TPersistent* source) override;

  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int value) override { SetSize(value, FHeight); }
  void SetHeight(int value) override { SetSize(FWidth, value); }
  // Keeps the picture in the overlapping part; new area is white.
  void SetSize(int width, int height) override;
  bool Empty() const override { return FDib == nullptr; }

  TCanvas* Canvas();
  // The DIB section; null when empty. The bitmap keeps owning it.
  HBITMAP__* Handle() const { return FDib; }
  // Takes a bitmap (DIB or DDB): its picture is copied into a new DIB and the handle is freed
  // through KwDeleteObject. Null empties the bitmap.
  void SetHandle(HBITMAP__* value);
  // Gives the DIB to the caller (who must free it with KwDeleteObject) and leaves the bitmap
  // empty.
  HBITMAP__* ReleaseHandle();

  TPixelFormat PixelFormat() const { return FPixelFormat; }
  // Converts, keeping the picture through GDI (colours are mapped to the new palette).
  void SetPixelFormat(TPixelFormat value);
  bool Monochrome() const;
  void SetMonochrome(bool value);
  // The first byte of a row, row 0 the top one. Flushes pending GDI drawing first.
  void* ScanLine(int row);
  int BytesPerScanLine() const;

  // tmAuto: the bottom-left pixel; tmFixed: the colour set. clDefault selects tmAuto.
  TColor TransparentColor();
  void SetTransparentColor(TColor value);
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode value);
  TAlphaFormat AlphaFormat() const { return FAlphaFormat; }
  // afDefined and afPremultiplied make Draw blend 32-bit pixels; afPremultiplied also
  // multiplies the pixels when they were straight (afDefined) before, and back.
  void SetAlphaFormat(TAlphaFormat value);

  // The colour table of a 1, 4 or 8-bit bitmap (empty for others).
  std::vector<TColor> ColorTable() const;
  void SetColorTable(const std::vector<TColor>& colors);
  // A palette made from the colour table, owned by the bitmap (null above 8 bits).
  HPALETTE__* Palette() override;
  // Copies the palette's entries into the colour table; the caller keeps the handle.
  void SetPalette(HPALETTE__* value) override;

  // Frees the canvas DC and the palette handle; the picture stays.
  void Dormant();
  void FreeImage() { Dormant(); }

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // CF_DIB and CF_BITMAP in, CF_DIB out.
  void LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette) override;
  void SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) override;

protected:
  void Draw(TCanvas& canvas, const TRect& rect) override;
  // Int32 byte count, then the BMP file (the host's layout of a bitmap property).
  void ReadData(TStream& stream) override;
  void WriteData(TStream& stream) override;

private:
  friend class TBitmapCanvas;
  struct TNewDib {
    HBITMAP__* Handle = nullptr;
    Byte* Bits = nullptr;
  };
  // Creates a white DIB (counted); raises EOutOfResources when GDI refuses.
  static TNewDib CreateDib(int width, int height, TPixelFormat format, const std::vector<Cardinal>& colors);
  static std::vector<Cardinal> DefaultColors(TPixelFormat format);
  void ReplaceDib(TNewDib dib, int width, int height, TPixelFormat format, std::vector<Cardinal> colors);
  void FreeDib();
  void TakeImage(TDibImage& image);
  // Copies any bitmap handle (DIB or DDB) into a new DIB of the matching format.
  void CopyHandle(HBITMAP__* source);
  void ReadBmp(TStream& stream, Int64 size);
  void Premultiply(bool forward);
  HDC__* SourceDC();

  HBITMAP__* FDib = nullptr;
  Byte* FBits = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  TPixelFormat FPixelFormat = pfDevice;
  std::vector<Cardinal> FColors;
  TBitmapCanvas* FCanvas = nullptr;
  HPALETTE__* FPalette = nullptr;
  TColor FTransparentColor = clDefault;
  TTransparentMode FTransparentMode = tmAuto;
  TAlphaFormat FAlphaFormat = afIgnored;
};

}  // namespace kw
