// BMP files: the reader (core, info and V2 to V5 headers; 1 to 32 bits; bit fields; RLE8 and
// RLE4) into a TDibImage, and the writer of BITMAPINFOHEADER (V5 for alpha) files. No GDI here:
// TBitmap turns the decoded image into a DIB section.
#include <climits>
#include <cstring>

#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Streams.h"

namespace kw {

namespace {

constexpr Cardinal kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

[[noreturn]] void Bad(const wchar_t* why) {
  throw EInvalidGraphic(String(SRes::SInvalidBitmap) + L": " + why);
}

class TBytesIn {
public:
  TBytesIn(const Byte* data, size_t size) : FData(data), FSize(size) {}
  bool Has(size_t offset, size_t count) const { return offset <= FSize && count <= FSize - offset; }
  Word U16(size_t offset) const { return Word(FData[offset] | FData[offset + 1] << 8); }
  Cardinal U32(size_t offset) const {
    return Cardinal(FData[offset]) | Cardinal(FData[offset + 1]) << 8 | Cardinal(FData[offset + 2]) << 16 |
           Cardinal(FData[offset + 3]) << 24;
  }
  Int32 I32(size_t offset) const { return Int32(U32(offset)); }
  const Byte* At(size_t offset) const { return FData + offset; }
  size_t Size() const { return FSize; }

private:
  const Byte* FData;
  size_t FSize;
};

// One channel of a bit-field pixel, scaled to eight bits.
struct TChannel {
  Cardinal Mask = 0;
  int Shift = 0;
  Cardinal Max = 0;
  explicit TChannel(Cardinal mask) : Mask(mask) {
    if (!mask) return;
    while (!((mask >> Shift) & 1)) ++Shift;
    Max = mask >> Shift;
  }
  Byte Get(Cardinal pixel) const {
    if (!Max) return 0;
    return Byte((UInt64((pixel & Mask) >> Shift) * 255 + Max / 2) / Max);
  }
};

// The RLE decoders write indices bottom-up into an 8 or 4-bit image; every run is checked
// against the row and every read against the data, so bad input raises instead of writing
// out of bounds.
class TRleDecoder {
public:
  TRleDecoder(const Byte* data, size_t size, TDibImage& image, bool four, bool topDown)
      : FIn(data, size), FImage(image), FFour(four), FTopDown(topDown),
        FStride(size_t(TDibImage::Stride(image.Width, image.Format))) {}

  void Run() {
    size_t pos = 0;
    int x = 0, y = 0;
    const int w = FImage.Width, h = FImage.Height;
    for (;;) {
      if (!FIn.Has(pos, 2)) Bad(L"RLE data ends before the end-of-bitmap mark");
      int count = *FIn.At(pos), value = *FIn.At(pos + 1);
      pos += 2;
      if (count > 0) {
        Check(x, y, count);
        for (int i = 0; i < count; ++i) Put(x + i, y, FFour ? ((i & 1) ? value & 15 : value >> 4) : value);
        x += count;
        continue;
      }
      if (value == 0) {
        x = 0;
        ++y;
        if (y > h) Bad(L"RLE rows past the bottom of the image");
      } else if (value == 1) {
        return;
      } else if (value == 2) {
        if (!FIn.Has(pos, 2)) Bad(L"RLE delta cut short");
        x += *FIn.At(pos);
        y += *FIn.At(pos + 1);
        pos += 2;
        if (x > w || y > h) Bad(L"RLE delta moves past the image");
      } else {
        count = value;
        size_t bytes = FFour ? size_t(count + 1) / 2 : size_t(count);
        bytes += bytes & 1;
        if (!FIn.Has(pos, bytes)) Bad(L"RLE literal run cut short");
        Check(x, y, count);
        const Byte* src = FIn.At(pos);
        for (int i = 0; i < count; ++i) Put(x + i, y, FFour ? ((i & 1) ? src[i / 2] & 15 : src[i / 2] >> 4) : src[i]);
        x += count;
        pos += bytes;
      }
    }
  }

private:
  void Check(int x, int y, int count) const {
    if (y >= FImage.Height) Bad(L"RLE run below the last row");
    if (x + count > FImage.Width) Bad(L"RLE run past the end of a row");
  }
  void Put(int x, int y, int index) {
    int row = FTopDown ? FImage.Height - 1 - y : y;
    Byte* line = FImage.Bits.data() + size_t(row) * FStride;
    if (!FFour) {
      line[x] = Byte(index);
    } else if (x & 1) {
      line[x / 2] = Byte((line[x / 2] & 0xF0) | index);
    } else {
      line[x / 2] = Byte((line[x / 2] & 0x0F) | index << 4);
    }
  }
  TBytesIn FIn;
  TDibImage& FImage;
  bool FFour, FTopDown;
  size_t FStride;
};

void PutU16(TBytes& b, Word v) {
  b.push_back(Byte(v));
  b.push_back(Byte(v >> 8));
}
void PutU32(TBytes& b, Cardinal v) {
  for (int i = 0; i < 4; ++i) b.push_back(Byte(v >> (8 * i)));
}

}  // namespace

int TDibImage::BitCount(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

int TDibImage::Stride(int width, TPixelFormat format) {
  return int(((Int64(width) * BitCount(format) + 31) / 32) * 4);
}

void KwReadBmp(const Byte* data, size_t size, TDibImage& image) {
  TBytesIn in(data, size);
  if (!in.Has(0, 2) || data[0] != 'B' || data[1] != 'M') Bad(L"wrong signature");
  if (!in.Has(0, 18)) Bad(L"file header cut short");
  const Cardinal offBits = in.U32(10);
  const Cardinal headerSize = in.U32(14);
  if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
      headerSize != 124)
    Bad(L"unknown header size");
  if (!in.Has(14, headerSize)) Bad(L"info header cut short");

  Int64 width, height;
  int bitCount;
  Cardinal compression = kRgb, colorsUsed = 0, imageSize = 0;
  Cardinal masks[4] = {0, 0, 0, 0};
  size_t entrySize = 4;
  if (headerSize == 12) {
    width = in.U16(18);
    height = in.U16(20);
    bitCount = in.U16(24);
    entrySize = 3;
  } else {
    width = in.I32(18);
    height = in.I32(22);
    bitCount = in.U16(28);
    compression = in.U32(30);
    imageSize = in.U32(34);
    colorsUsed = in.U32(46);
    for (int i = 0; i < 4 && 40 + 4 * (i + 1) <= int(headerSize); ++i) masks[i] = in.U32(54 + 4 * i);
  }
  size_t pos = 14 + headerSize;
  if (headerSize == 40 && (compression == kBitFields || compression == kAlphaBitFields)) {
    int n = compression == kBitFields ? 3 : 4;
    if (!in.Has(pos, size_t(4 * n))) Bad(L"colour masks cut short");
    for (int i = 0; i < n; ++i) masks[i] = in.U32(pos + 4 * i);
    pos += size_t(4 * n);
  }

  const bool topDown = height < 0;
  if (height < 0) height = -height;
  if (width < 0) Bad(L"negative width");
  if (width > KwMaxBitmapSide || height > KwMaxBitmapSide)
    throw EInvalidGraphic(SRes::SBitmapTooLarge, {Int64(width), Int64(height)});

  bool valid = false;
  switch (compression) {
    case kRgb: valid = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32; break;
    case kRle8: valid = bitCount == 8; break;
    case kRle4: valid = bitCount == 4; break;
    case kBitFields:
    case kAlphaBitFields: valid = bitCount == 16 || bitCount == 32; break;
    default: Bad(L"unsupported compression");
  }
  if (!valid) Bad(L"bit count does not suit the compression");
  if (headerSize == 12 && bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) Bad(L"bit count");

  std::vector<Cardinal> colors;
  if (bitCount <= 8) {
    Cardinal count = 1u << bitCount;
    if (colorsUsed && colorsUsed < count) count = colorsUsed;
    if (!in.Has(pos, count * entrySize)) Bad(L"colour table cut short");
    colors.resize(count);
    for (Cardinal i = 0; i < count; ++i) {
      const Byte* e = in.At(pos + i * entrySize);
      colors[i] = Cardinal(e[0]) | Cardinal(e[1]) << 8 | Cardinal(e[2]) << 16;
    }
    pos += count * entrySize;
  }
  size_t dataStart = pos;
  if (offBits) {
    if (offBits < 14 + headerSize) Bad(L"pixel data offset inside the header");
    if (offBits > size) Bad(L"pixel data offset past the end of the file");
    dataStart = offBits;
  }
  const size_t avail = size - dataStart;

  TDibImage result;
  result.Width = int(width);
  result.Height = int(height);
  result.Colors = std::move(colors);
  if (width == 0 || height == 0) {
    result.Width = result.Height = 0;
    image = std::move(result);
    return;
  }
  const Byte* src = in.At(dataStart);

  if (compression == kRle8 || compression == kRle4) {
    result.Format = compression == kRle8 ? pf8bit : pf4bit;
    size_t packed = imageSize && imageSize < avail ? imageSize : avail;
    // Runs can expand a few bytes a long way; this bound keeps a tiny file from asking for
    // an enormous image while leaving every sensible one alone.
    if (UInt64(width) * UInt64(height) > UInt64(packed) * 2048 + (1u << 20)) Bad(L"RLE image larger than its data allows");
    result.Bits.assign(size_t(TDibImage::Stride(result.Width, result.Format)) * size_t(height), 0);
    TRleDecoder(src, packed, result, compression == kRle4, topDown).Run();
    image = std::move(result);
    return;
  }

  const size_t srcStride = size_t(((width * bitCount + 31) / 32) * 4);
  if (UInt64(srcStride) * UInt64(height) > avail) Bad(L"pixel data cut short");
  auto srcRow = [&](Int64 y) {  // y counts from the bottom
    return src + srcStride * size_t(topDown ? height - 1 - y : y);
  };

  const bool fields = compression == kBitFields || compression == kAlphaBitFields;
  if (fields && !(masks[0] | masks[1] | masks[2])) Bad(L"empty colour masks");
  TPixelFormat raw = pfCustom;
  switch (bitCount) {
    case 1: raw = pf1bit; break;
    case 4: raw = pf4bit; break;
    case 8: raw = pf8bit; break;
    case 24: raw = pf24bit; break;
    case 16:
      if (!fields || (masks[0] == 0x7C00 && masks[1] == 0x3E0 && masks[2] == 0x1F)) raw = pf15bit;
      else if (masks[0] == 0xF800 && masks[1] == 0x7E0 && masks[2] == 0x1F) raw = pf16bit;
      break;
    case 32:
      if (!fields || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF &&
                      (masks[3] == 0 || masks[3] == 0xFF000000))) {
        raw = pf32bit;
        result.HasAlpha = headerSize >= 56 && masks[3] == 0xFF000000;
        if (compression == kAlphaBitFields) result.HasAlpha = masks[3] == 0xFF000000;
      }
      break;
  }
  if (raw != pfCustom) {
    result.Format = raw;
    result.Bits.resize(srcStride * size_t(height));
    for (Int64 y = 0; y < height; ++y) std::memcpy(result.Bits.data() + srcStride * size_t(y), srcRow(y), srcStride);
    image = std::move(result);
    return;
  }

  // Any other bit-field layout is spread out to 32 bits.
  result.Format = pf32bit;
  result.HasAlpha = masks[3] != 0;
  const TChannel r(masks[0]), g(masks[1]), b(masks[2]), a(masks[3]);
  const size_t outStride = size_t(width) * 4;
  result.Bits.resize(outStride * size_t(height));
  for (Int64 y = 0; y < height; ++y) {
    const Byte* s = srcRow(y);
    Byte* d = result.Bits.data() + outStride * size_t(y);
    for (Int64 x = 0; x < width; ++x, d += 4) {
      Cardinal px = bitCount == 16 ? Cardinal(s[2 * x] | s[2 * x + 1] << 8)
                                   : Cardinal(s[4 * x]) | Cardinal(s[4 * x + 1]) << 8 |
                                         Cardinal(s[4 * x + 2]) << 16 | Cardinal(s[4 * x + 3]) << 24;
      d[0] = b.Get(px);
      d[1] = g.Get(px);
      d[2] = r.Get(px);
      d[3] = a.Get(px);
    }
  }
  image = std::move(result);
}

void KwWriteBmp(TStream& stream, int width, int height, TPixelFormat format, const Cardinal* colors,
                int colorCount, const void* bits, bool alpha) {
  const int bitCount = TDibImage::BitCount(format);
  const Cardinal stride = Cardinal(TDibImage::Stride(width, format));
  const bool v5 = bitCount == 32 && alpha;
  const bool masks565 = format == pf16bit;
  if (bitCount > 8) colorCount = 0;
  const Cardinal headerSize = v5 ? 124 : 40;
  const Cardinal offBits = 14 + headerSize + (masks565 ? 12 : 0) + Cardinal(colorCount) * 4;
  const Cardinal imageSize = stride * Cardinal(height);

  TBytes h;
  h.reserve(offBits);
  h.push_back('B');
  h.push_back('M');
  PutU32(h, offBits + imageSize);
  PutU32(h, 0);
  PutU32(h, offBits);
  PutU32(h, headerSize);
  PutU32(h, Cardinal(width));
  PutU32(h, Cardinal(height));
  PutU16(h, 1);
  PutU16(h, Word(bitCount));
  PutU32(h, v5 || masks565 ? kBitFields : kRgb);
  PutU32(h, imageSize);
  PutU32(h, 3780);  // 96 dots per inch
  PutU32(h, 3780);
  PutU32(h, Cardinal(colorCount));
  PutU32(h, 0);
  if (v5) {
    PutU32(h, 0xFF0000);
    PutU32(h, 0xFF00);
    PutU32(h, 0xFF);
    PutU32(h, 0xFF000000);
    PutU32(h, 0x73524742);  // LCS_sRGB
    h.resize(h.size() + 36 + 12, 0);  // end points and gamma, unused for sRGB
    PutU32(h, 4);  // LCS_GM_IMAGES
    PutU32(h, 0);
    PutU32(h, 0);
    PutU32(h, 0);
  }
  if (masks565) {
    PutU32(h, 0xF800);
    PutU32(h, 0x7E0);
    PutU32(h, 0x1F);
  }
  for (int i = 0; i < colorCount; ++i) PutU32(h, colors[i] & 0xFFFFFF);
  stream.WriteBuffer(h.data(), Int64(h.size()));
  stream.WriteBuffer(bits, Int64(imageSize));
}

}  // namespace kw
