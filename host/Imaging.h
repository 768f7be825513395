// The compressed image formats over the Windows Imaging Component: the WIC plumbing (decode
// and encode between bytes and plain pixel buffers), TPngImage, TJPEGImage and TGIFImage.
// Icons and metafiles are in Iconmeta.h, the picture holder and format registry in Picture.h.
#pragma once

#include <memory>
#include <vector>

#include "host/Bitmap.h"

namespace kw {

namespace SRes {
inline constexpr const wchar_t* SInvalidImageData = L"Invalid %s image: %s";
inline constexpr const wchar_t* SJPEGSizeChange = L"Cannot change the size of a JPEG image";
inline constexpr const wchar_t* SInvalidColorType = L"Invalid PNG color type or bit depth";
}  // namespace SRes

// Decoded pixels as the imaging component hands them over, and the codec calls on them.
enum class TWicContainer { wcBmp, wcPng, wcJpeg, wcGif, wcIco };
enum class TWicPixels { wpBgra32, wpBgr24, wpGray8, wpIndexed8 };

// One decoded frame: rows top-down, Stride bytes apart. Indexed8 and Gray8 hold one byte per
// pixel whatever Bits says; Bits is the sample depth of the file (1, 2, 4, 8 or 16), kept so
// an encoder can write the image back at the depth it came in.
struct TWicImage {
  int Width = 0;
  int Height = 0;
  TWicPixels Format = TWicPixels::wpBgra32;
  int Bits = 8;
  int Stride = 0;
  std::vector<Byte> Pixels;
  std::vector<Cardinal> Palette;  // 0xAARRGGBB, for Indexed8
  bool HasAlpha = false;          // Bgra32 whose source format carries alpha
  int FrameCount = 1;
  int SourceWidth = 0;   // the frame's size before scaling
  int SourceHeight = 0;
  int BytesPerPixel() const;
  void Allocate(int width, int height, TWicPixels format);
  Byte* Row(int y) { return Pixels.data() + size_t(y) * Stride; }
  const Byte* Row(int y) const { return Pixels.data() + size_t(y) * Stride; }
};

struct TWicDecodeOptions {
  bool KeepIndexed = false;  // an indexed source comes as Indexed8 with its palette
  bool KeepGray = false;     // a greyscale source comes as Gray8
  bool ForceGray = false;    // every source comes as Gray8
  bool Opaque = false;       // Bgr24 rather than Bgra32 for true-colour output
  int ScaleDivisor = 1;      // 1, 2, 4 or 8: decode at that fraction of the size (rounded up)
  int Frame = 0;
};

// Larger images are refused before anything is allocated for them.
constexpr int MaxImageDimension = 32768;
constexpr Int64 MaxImagePixels = Int64(1) << 28;

// Initialises COM on the calling thread on first use (apartment-threaded unless the thread
// chose otherwise) and returns whether the imaging factory can be had.
bool WicAvailable();
// Raises EInvalidGraphic naming kind ("PNG", "JPEG", ...) for data the codec rejects.
TWicImage WicDecode(const Byte* data, size_t size, const TWicDecodeOptions& options, const wchar_t* kind);
// Quality 1..100 applies to JPEG only.
TBytes WicEncode(TWicContainer container, const TWicImage& image, int quality = 90);
// All the bytes of stream from its position to its end; EInvalidGraphic when there are none.
TBytes ReadRest(TStream& stream);

// Registered clipboard formats named "PNG" and "GIF", as other programs name them.
Word CF_PNG();
Word CF_GIF();

// Draws any graphic into a new 32-bit bitmap of its size; the caller owns the result.
std::unique_ptr<TBitmap> KwGraphicToBitmap(TGraphic* graphic);

// PNG colour types as the file numbers them.
constexpr Byte COLOR_GRAYSCALE = 0;
constexpr Byte COLOR_RGB = 2;
constexpr Byte COLOR_PALETTE = 3;
constexpr Byte COLOR_GRAYSCALEALPHA = 4;
constexpr Byte COLOR_RGBALPHA = 6;

// A PNG picture. The colour rows live in a pf32bit TBitmap (the Canvas draws there). Alpha
// lives in a separate plane of one byte per pixel, which AlphaScanline returns: GDI drawing
// clears the fourth byte of 32-bit rows, so that byte is not trusted; the bitmap gets
// afDefined and a copy of the alpha plane whenever the image is loaded or made.
// Palette images also keep one index per pixel (IndexScanline) and the palette
// (0xAARRGGBB, alpha from the file's transparency chunk); for them the indices, not the
// bitmap, are what is saved. Greyscale images save the bitmap's luminance as grey.
// 16-bit samples are reduced to 8 bits on loading; grey with alpha is saved as RGBA.
class TPngImage : public TGraphic {
  KW_CLASS(TPngImage, TGraphic)
  TPngImage();
  ~TPngImage() override;
  void Assign(const TPersistent* source) override;

  // A blank image: white opaque colour, fully transparent alpha for the alpha types, index
  // 0 of a grey-ramp palette for palette images.
  void CreateBlank(Byte colorType, int bitDepth, int width, int height);
  Byte ColorType() const { return FColorType; }
  int BitDepth() const { return FBitDepth; }
  bool HasAlphaPlane() const { return !FAlpha.empty(); }

  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int value) override { SetSize(value, FHeight); }
  void SetHeight(int value) override { SetSize(FWidth, value); }
  // Keeps the overlapping part of every plane; new pixels are white and transparent.
  void SetSize(int width, int height) override;
  bool Empty() const override { return FWidth == 0 || FHeight == 0; }
  // True when the image has an alpha plane or a palette entry that is not opaque.
  bool Transparent() const override;

  TBitmap* Bitmap() const { return FBitmap.get(); }
  TCanvas* Canvas() { return FBitmap->Canvas(); }
  void* Scanline(int row);
  Byte* AlphaScanline(int row);  // nullptr without an alpha plane
  Byte* IndexScanline(int row);  // nullptr unless a palette image
  const std::vector<Cardinal>& PaletteEntries() const { return FPaletteEntries; }
  // Replaces the palette and repaints the bitmap from the indices.
  void SetPaletteEntries(const std::vector<Cardinal>& entries);
  TColor Pixels(int x, int y);
  void SetPixels(int x, int y, TColor color);

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // CF_PNG carries the file itself; CF_DIB and CF_BITMAP are read as well.
  void LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette) override;
  void SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) override;

protected:
  void AssignTo(TPersistent* dest) const override;
  void Draw(TCanvas& canvas, const TRect& rect) override;

private:
  void TakeDecoded(TWicImage& image, Byte colorType, int bitDepth);
  void PaintFromIndices();
  void CopyAlphaToBitmap();
  void AssignBitmap(TBitmap* bitmap);
  TWicImage ToWic();
  Byte FColorType = COLOR_RGB;
  int FBitDepth = 8;
  int FWidth = 0;
  int FHeight = 0;
  std::unique_ptr<TBitmap> FBitmap;
  std::vector<Byte> FAlpha;
  std::vector<Byte> FIndices;
  std::vector<Cardinal> FPaletteEntries;
};

enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };
enum TJPEGPixelFormat { jf24Bit, jf8Bit };

// A JPEG picture: the compressed bytes are what it is, the bitmap a decoding made on demand
// at the chosen Scale, Grayscale and PixelFormat. Assigning a bitmap keeps it and compresses
// at CompressionQuality when the data is next needed (Compress forces it).
class TJPEGImage : public TGraphic {
  KW_CLASS(TJPEGImage, TGraphic)
  TJPEGImage();
  ~TJPEGImage() override;
  void Assign(const TPersistent* source) override;

  int CompressionQuality() const { return FQuality; }
  void SetCompressionQuality(int value);  // clamped to 1..100
  TJPEGScale Scale() const { return FScale; }
  void SetScale(TJPEGScale value);
  bool Grayscale() const { return FGrayscale; }
  void SetGrayscale(bool value);
  TJPEGPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TJPEGPixelFormat value);

  // Sizes of the decoded picture at the current Scale.
  int Width() const override;
  int Height() const override;
  void SetWidth(int value) override;   // raises EInvalidGraphicOperation
  void SetHeight(int value) override;  // raises EInvalidGraphicOperation
  bool Empty() const override { return FData.empty() && !FBitmap; }

  void Compress();
  void DIBNeeded();
  void JPEGNeeded();
  TBitmap* Bitmap();  // the decoded picture; nullptr when empty
  const TBytes& Data() const { return FData; }

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette) override;
  void SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) override;

protected:
  void AssignTo(TPersistent* dest) const override;
  void Draw(TCanvas& canvas, const TRect& rect) override;

private:
  std::unique_ptr<TBitmap> Decode(const TBytes& data, int* fullWidth = nullptr, int* fullHeight = nullptr) const;
  void DropBitmap();
  TBytes FData;
  mutable std::unique_ptr<TBitmap> FBitmap;
  int FFullWidth = 0;
  int FFullHeight = 0;
  int FQuality = 90;
  TJPEGScale FScale = jsFullSize;
  bool FGrayscale = false;
  TJPEGPixelFormat FPixelFormat = jf24Bit;
};

// A GIF picture: its first frame as a pf8bit bitmap whose colour table is the GIF palette,
// and the transparent index (-1 for none), which Draw leaves unpainted and saving keeps.
class TGIFImage : public TGraphic {
  KW_CLASS(TGIFImage, TGraphic)
  TGIFImage();
  ~TGIFImage() override;
  void Assign(const TPersistent* source) override;

  int Width() const override { return FBitmap->Width(); }
  int Height() const override { return FBitmap->Height(); }
  void SetWidth(int value) override { SetSize(value, Height()); }
  void SetHeight(int value) override { SetSize(Width(), value); }
  void SetSize(int width, int height) override;
  bool Empty() const override { return FBitmap->Empty(); }
  bool Transparent() const override { return FTransparentIndex >= 0; }
  int TransparentIndex() const { return FTransparentIndex; }
  void SetTransparentIndex(int value);  // -1 or an index of the palette
  int FrameCount() const { return FFrameCount; }
  TBitmap* Bitmap() const { return FBitmap.get(); }

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette) override;
  void SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) override;

protected:
  void AssignTo(TPersistent* dest) const override;
  void Draw(TCanvas& canvas, const TRect& rect) override;

private:
  void AssignBitmap(const TBitmap* source);
  std::unique_ptr<TBitmap> FBitmap;
  int FTransparentIndex = -1;
  int FFrameCount = 0;
};

// The GIF's first Graphic Control Extension: the transparent index, or -1.
int KwGifTransparentIndex(const Byte* data, size_t size);

}  // namespace kw
