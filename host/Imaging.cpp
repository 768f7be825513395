// The WIC codecs behind TPngImage, TJPEGImage and TGIFImage, and their drawing through
// premultiplied DIB sections. Animated GIF frames past the first and 16-bit PNG samples
// are read but not kept (samples are reduced to 8 bits).
#include "host/Imaging.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

#include <wincodec.h>

namespace kw {

KW_REGISTER_CLASS(TPngImage, TGraphic)
KW_REGISTER_CLASS(TJPEGImage, TGraphic)
KW_REGISTER_CLASS(TGIFImage, TGraphic)

namespace {

// The few COM pointers here are held by this rather than by a library wrapper, so the
// sources stay plain C++ and mingw headers.
template <class T>
class TCom {
public:
  TCom() = default;
  TCom(const TCom&) = delete;
  TCom& operator=(const TCom&) = delete;
  ~TCom() { Reset(); }
  void Reset() {
    if (FPtr) FPtr->Release();
    FPtr = nullptr;
  }
  T** operator&() { Reset(); return &FPtr; }
  T* operator->() const { return FPtr; }
  T* Get() const { return FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }

private:
  T* FPtr = nullptr;
};

[[noreturn]] void Invalid(const wchar_t* kind, const wchar_t* what) {
  throw EInvalidGraphic(Format(SRes::SInvalidImageData, {kind, what}));
}

void Check(HRESULT hr, const wchar_t* kind, const wchar_t* what) {
  if (FAILED(hr)) Invalid(kind, what);
}

IWICImagingFactory* Factory() {
  thread_local bool comReady = false;
  if (!comReady) {
    // S_FALSE and RPC_E_CHANGED_MODE both leave COM usable on this thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comReady = true;
  }
  // Kept for the life of the process: releasing it from a static destructor after the
  // codecs may already be unloaded would be the greater risk.
  static IWICImagingFactory* factory = [] {
    IWICImagingFactory* f = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&f))))
      f = nullptr;
    return f;
  }();
  return factory;
}

IWICImagingFactory* NeedFactory(const wchar_t* kind) {
  IWICImagingFactory* f = Factory();
  if (!f) Invalid(kind, L"the imaging component is not available");
  return f;
}

struct TFormatInfo {
  const GUID* Guid;
  int Bits;
  bool Indexed;
  bool Gray;
  bool Alpha;
};

const TFormatInfo Formats[] = {
    {&GUID_WICPixelFormat1bppIndexed, 1, true, false, false},
    {&GUID_WICPixelFormat2bppIndexed, 2, true, false, false},
    {&GUID_WICPixelFormat4bppIndexed, 4, true, false, false},
    {&GUID_WICPixelFormat8bppIndexed, 8, true, false, false},
    {&GUID_WICPixelFormatBlackWhite, 1, false, true, false},
    {&GUID_WICPixelFormat2bppGray, 2, false, true, false},
    {&GUID_WICPixelFormat4bppGray, 4, false, true, false},
    {&GUID_WICPixelFormat8bppGray, 8, false, true, false},
    {&GUID_WICPixelFormat16bppGray, 16, false, true, false},
    {&GUID_WICPixelFormat32bppBGRA, 8, false, false, true},
    {&GUID_WICPixelFormat32bppRGBA, 8, false, false, true},
    {&GUID_WICPixelFormat32bppPBGRA, 8, false, false, true},
    {&GUID_WICPixelFormat64bppRGBA, 16, false, false, true},
    {&GUID_WICPixelFormat48bppRGB, 16, false, false, false},
};

const TFormatInfo* FindFormat(const GUID& g) {
  for (const TFormatInfo& f : Formats)
    if (IsEqualGUID(*f.Guid, g)) return &f;
  return nullptr;
}

const GUID& ContainerGuid(TWicContainer c) {
  switch (c) {
    case TWicContainer::wcPng: return GUID_ContainerFormatPng;
    case TWicContainer::wcJpeg: return GUID_ContainerFormatJpeg;
    case TWicContainer::wcGif: return GUID_ContainerFormatGif;
    case TWicContainer::wcIco: return GUID_ContainerFormatIco;
    default: return GUID_ContainerFormatBmp;
  }
}

const wchar_t* ContainerName(TWicContainer c) {
  switch (c) {
    case TWicContainer::wcPng: return L"PNG";
    case TWicContainer::wcJpeg: return L"JPEG";
    case TWicContainer::wcGif: return L"GIF";
    case TWicContainer::wcIco: return L"icon";
    default: return L"bitmap";
  }
}

// Reads an indexed or greyscale frame in its own format and spreads the samples out to one
// byte each (greyscale scaled up to 0..255).
void UnpackNative(IWICBitmapSource* src, const TFormatInfo& fmt, TWicImage& out, const wchar_t* kind) {
  const UINT w = UINT(out.Width), h = UINT(out.Height);
  const UINT stride = (w * UINT(fmt.Bits) + 7) / 8;
  std::vector<Byte> raw(size_t(stride) * h);
  Check(src->CopyPixels(nullptr, stride, UINT(raw.size()), raw.data()), kind, L"pixel data");
  const int maxSample = (1 << std::min(fmt.Bits, 8)) - 1;
  for (UINT y = 0; y < h; ++y) {
    const Byte* in = raw.data() + size_t(y) * stride;
    Byte* o = out.Row(int(y));
    for (UINT x = 0; x < w; ++x) {
      int v;
      if (fmt.Bits == 16) v = in[x * 2 + 1];  // little-endian samples: the high byte
      else if (fmt.Bits == 8) v = in[x];
      else {
        const UINT bit = x * UINT(fmt.Bits);
        v = (in[bit / 8] >> (8 - fmt.Bits - bit % 8)) & maxSample;
      }
      if (fmt.Gray && fmt.Bits < 8) v = v * 255 / maxSample;
      o[x] = Byte(v);
    }
  }
}

}  // namespace

int TWicImage::BytesPerPixel() const {
  switch (Format) {
    case TWicPixels::wpBgra32: return 4;
    case TWicPixels::wpBgr24: return 3;
    default: return 1;
  }
}

void TWicImage::Allocate(int width, int height, TWicPixels format) {
  Width = width;
  Height = height;
  Format = format;
  Stride = width * BytesPerPixel();
  Pixels.assign(size_t(Stride) * size_t(height), 0);
}

bool WicAvailable() { return Factory() != nullptr; }

TBytes ReadRest(TStream& stream) {
  const Int64 left = stream.Size() - stream.Position();
  if (left <= 0) throw EInvalidGraphic(Format(SRes::SInvalidImageData, {L"image", L"no data"}));
  TBytes bytes(static_cast<size_t>(left));
  stream.ReadBuffer(bytes.data(), left);
  return bytes;
}

TWicImage WicDecode(const Byte* data, size_t size, const TWicDecodeOptions& options, const wchar_t* kind) {
  IWICImagingFactory* f = NeedFactory(kind);
  if (!data || size < 8 || size > 0x7FFFFFFF) Invalid(kind, L"no data");
  TCom<IWICStream> stream;
  Check(f->CreateStream(&stream), kind, L"stream");
  Check(stream->InitializeFromMemory(const_cast<Byte*>(data), DWORD(size)), kind, L"stream");
  TCom<IWICBitmapDecoder> decoder;
  Check(f->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder), kind,
        L"unknown format");
  UINT frames = 0;
  Check(decoder->GetFrameCount(&frames), kind, L"frame count");
  if (frames == 0 || UINT(options.Frame) >= frames) Invalid(kind, L"no such frame");
  TCom<IWICBitmapFrameDecode> frame;
  Check(decoder->GetFrame(UINT(options.Frame), &frame), kind, L"frame");
  UINT w = 0, h = 0;
  Check(frame->GetSize(&w, &h), kind, L"size");
  if (w == 0 || h == 0 || w > UINT(MaxImageDimension) || h > UINT(MaxImageDimension) ||
      Int64(w) * Int64(h) > MaxImagePixels)
    Invalid(kind, L"size out of range");
  WICPixelFormatGUID native{};
  Check(frame->GetPixelFormat(&native), kind, L"pixel format");
  const TFormatInfo* fmt = FindFormat(native);

  const int sourceWidth = int(w), sourceHeight = int(h);
  IWICBitmapSource* source = frame.Get();
  TCom<IWICBitmapScaler> scaler;
  const int div = std::clamp(options.ScaleDivisor, 1, 8);
  if (div > 1) {
    w = (w + UINT(div) - 1) / UINT(div);
    h = (h + UINT(div) - 1) / UINT(div);
    Check(f->CreateBitmapScaler(&scaler), kind, L"scaler");
    Check(scaler->Initialize(source, w, h, WICBitmapInterpolationModeFant), kind, L"scaler");
    source = scaler.Get();
    fmt = nullptr;  // the scaler may hand out another format; convert from here on
  }

  TWicImage out;
  out.FrameCount = int(frames);
  out.SourceWidth = sourceWidth;
  out.SourceHeight = sourceHeight;
  if (fmt && fmt->Alpha) out.HasAlpha = true;
  const bool gray = options.ForceGray || (options.KeepGray && fmt && fmt->Gray);
  if (!options.ForceGray && options.KeepIndexed && fmt && fmt->Indexed) {
    out.Allocate(int(w), int(h), TWicPixels::wpIndexed8);
    out.Bits = fmt->Bits;
    TCom<IWICPalette> palette;
    Check(f->CreatePalette(&palette), kind, L"palette");
    Check(frame->CopyPalette(palette.Get()), kind, L"palette");
    UINT count = 0;
    Check(palette->GetColorCount(&count), kind, L"palette");
    if (count == 0 || count > 256) Invalid(kind, L"palette");
    out.Palette.resize(count);
    Check(palette->GetColors(count, out.Palette.data(), &count), kind, L"palette");
    UnpackNative(source, *fmt, out, kind);
    for (Byte& v : out.Pixels)
      if (v >= out.Palette.size()) v = 0;  // indices past the palette show its first colour
    return out;
  }
  if (gray && fmt && fmt->Gray && fmt->Bits <= 8) {
    out.Allocate(int(w), int(h), TWicPixels::wpGray8);
    out.Bits = fmt->Bits;
    UnpackNative(source, *fmt, out, kind);
    return out;
  }
  const WICPixelFormatGUID& target = gray ? GUID_WICPixelFormat8bppGray
                                     : options.Opaque ? GUID_WICPixelFormat24bppBGR
                                                      : GUID_WICPixelFormat32bppBGRA;
  out.Allocate(int(w), int(h), gray ? TWicPixels::wpGray8 : options.Opaque ? TWicPixels::wpBgr24 : TWicPixels::wpBgra32);
  if (gray && fmt && fmt->Gray) out.Bits = fmt->Bits;
  TCom<IWICFormatConverter> conv;
  Check(f->CreateFormatConverter(&conv), kind, L"converter");
  Check(conv->Initialize(source, target, WICBitmapDitherTypeNone, nullptr, 0, WICBitmapPaletteTypeCustom), kind,
        L"pixel format");
  Check(conv->CopyPixels(nullptr, UINT(out.Stride), UINT(out.Pixels.size()), out.Pixels.data()), kind, L"pixel data");
  return out;
}

TBytes WicEncode(TWicContainer container, const TWicImage& image, int quality) {
  const wchar_t* kind = ContainerName(container);
  IWICImagingFactory* f = NeedFactory(kind);
  if (image.Width <= 0 || image.Height <= 0) throw EInvalidGraphicOperation(Format(SRes::SInvalidImageData, {kind, L"empty image"}));
  TCom<IStream> memory;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &memory))) throw EOutOfResources(SRes::SOutOfMemory);
  TCom<IWICBitmapEncoder> encoder;
  Check(f->CreateEncoder(ContainerGuid(container), nullptr, &encoder), kind, L"no encoder");
  Check(encoder->Initialize(memory.Get(), WICBitmapEncoderNoCache), kind, L"encoder");
  TCom<IWICBitmapFrameEncode> frame;
  TCom<IPropertyBag2> props;
  Check(encoder->CreateNewFrame(&frame, &props), kind, L"frame");
  if (container == TWicContainer::wcJpeg && props) {
    PROPBAG2 name{};
    name.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R4;
    v.fltVal = float(std::clamp(quality, 1, 100)) / 100.0f;
    props->Write(1, &name, &v);
  }
  Check(frame->Initialize(props.Get()), kind, L"frame");
  Check(frame->SetSize(UINT(image.Width), UINT(image.Height)), kind, L"size");

  // Indexed and grey rows are packed to the requested depth; an encoder that will not take
  // that depth is asked for 8 bits instead.
  const bool indexed = image.Format == TWicPixels::wpIndexed8;
  const bool gray = image.Format == TWicPixels::wpGray8;
  int bits = (indexed || gray) ? image.Bits : 8;
  if (bits != 1 && bits != 2 && bits != 4) bits = 8;
  auto wanted = [&](int b) -> WICPixelFormatGUID {
    if (indexed) return b == 1 ? GUID_WICPixelFormat1bppIndexed : b == 2 ? GUID_WICPixelFormat2bppIndexed
                      : b == 4 ? GUID_WICPixelFormat4bppIndexed : GUID_WICPixelFormat8bppIndexed;
    if (gray) return b == 1 ? GUID_WICPixelFormatBlackWhite : b == 2 ? GUID_WICPixelFormat2bppGray
                   : b == 4 ? GUID_WICPixelFormat4bppGray : GUID_WICPixelFormat8bppGray;
    return image.Format == TWicPixels::wpBgr24 ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat32bppBGRA;
  };
  WICPixelFormatGUID want = wanted(bits);
  WICPixelFormatGUID got = want;
  Check(frame->SetPixelFormat(&got), kind, L"pixel format");
  if (!IsEqualGUID(got, want) && bits != 8) {
    bits = 8;
    want = got = wanted(8);
    Check(frame->SetPixelFormat(&got), kind, L"pixel format");
  }
  if (indexed) {
    TCom<IWICPalette> palette;
    Check(f->CreatePalette(&palette), kind, L"palette");
    std::vector<WICColor> colors(image.Palette.begin(), image.Palette.end());
    if (colors.empty()) colors.push_back(0xFF000000);
    Check(palette->InitializeCustom(colors.data(), UINT(colors.size())), kind, L"palette");
    Check(frame->SetPalette(palette.Get()), kind, L"palette");
  }

  if (IsEqualGUID(got, want)) {
    const UINT stride = (UINT(image.Width) * UINT(indexed || gray ? bits : image.BytesPerPixel() * 8) + 7) / 8;
    std::vector<Byte> rows(size_t(stride) * UINT(image.Height), 0);
    const int maxSample = (1 << bits) - 1;
    for (int y = 0; y < image.Height; ++y) {
      const Byte* in = image.Row(y);
      Byte* o = rows.data() + size_t(y) * stride;
      if (bits == 8 || !(indexed || gray)) {
        std::memcpy(o, in, std::min<size_t>(stride, size_t(image.Stride)));
        continue;
      }
      for (int x = 0; x < image.Width; ++x) {
        const int v = gray ? in[x] * maxSample / 255 : std::min<int>(in[x], maxSample);
        const UINT bit = UINT(x) * UINT(bits);
        o[bit / 8] |= Byte(v << (8 - bits - bit % 8));
      }
    }
    Check(frame->WritePixels(UINT(image.Height), stride, UINT(rows.size()), rows.data()), kind, L"pixel data");
  } else {
    // The encoder chose its own format: let the imaging component convert our rows.
    TCom<IWICBitmap> bmp;
    Check(f->CreateBitmapFromMemory(UINT(image.Width), UINT(image.Height), wanted(8), UINT(image.Stride),
                                    UINT(image.Pixels.size()), const_cast<Byte*>(image.Pixels.data()), &bmp),
          kind, L"pixel data");
    if (indexed) {
      TCom<IWICPalette> palette;
      Check(f->CreatePalette(&palette), kind, L"palette");
      std::vector<WICColor> colors(image.Palette.begin(), image.Palette.end());
      if (colors.empty()) colors.push_back(0xFF000000);
      Check(palette->InitializeCustom(colors.data(), UINT(colors.size())), kind, L"palette");
      Check(bmp->SetPalette(palette.Get()), kind, L"palette");
    }
    Check(frame->WriteSource(bmp.Get(), nullptr), kind, L"pixel data");
  }
  Check(frame->Commit(), kind, L"commit");
  Check(encoder->Commit(), kind, L"commit");

  HGLOBAL mem = nullptr;
  Check(GetHGlobalFromStream(memory.Get(), &mem), kind, L"output");
  STATSTG st{};
  Check(memory->Stat(&st, STATFLAG_NONAME), kind, L"output");
  TBytes out(static_cast<size_t>(st.cbSize.QuadPart));
  if (!out.empty()) {
    const void* p = GlobalLock(mem);
    std::memcpy(out.data(), p, out.size());
    GlobalUnlock(mem);
  }
  return out;
}

namespace {

void* BytesToGlobal(const TBytes& bytes) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
  if (!h) throw EOutOfResources(SRes::SOutOfMemory);
  if (!bytes.empty()) std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
  GlobalUnlock(h);
  return h;
}

TBytes GlobalToBytes(void* data, const wchar_t* kind) {
  const SIZE_T size = data ? GlobalSize(data) : 0;
  const void* p = size ? GlobalLock(data) : nullptr;
  if (!p) Invalid(kind, L"no clipboard data");
  TBytes bytes(static_cast<const Byte*>(p), static_cast<const Byte*>(p) + size);
  GlobalUnlock(data);
  return bytes;
}

// Draws w x h premultiplied BGRA pixels, produced row by row, stretched into rect.
template <class F>
void BlendDraw(TCanvas& canvas, const TRect& rect, int w, int h, F&& fillRow) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC dc = canvas.Handle();
  void* bits = nullptr;
  HBITMAP dib = KwCreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits);
  if (!dib) throw EOutOfResources(SRes::SOutOfMemory);
  for (int y = 0; y < h; ++y) fillRow(y, static_cast<Byte*>(bits) + size_t(y) * size_t(w) * 4);
  HDC mem = KwCreateCompatibleDC(dc);
  if (!mem) {
    KwDeleteObject(gkBitmap, dib);
    throw EOutOfResources(SRes::SOutOfMemory);
  }
  HGDIOBJ old = SelectObject(mem, dib);
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, rect.Left, rect.Top, rect.Width(), rect.Height(), mem, 0, 0, w, h, bf);
  SelectObject(mem, old);
  KwDeleteDC(mem);
  KwDeleteObject(gkBitmap, dib);
}

inline void PutPremultiplied(Byte* o, int b, int g, int r, int a) {
  o[0] = Byte((b * a + 127) / 255);
  o[1] = Byte((g * a + 127) / 255);
  o[2] = Byte((r * a + 127) / 255);
  o[3] = Byte(a);
}

std::unique_ptr<TBitmap> NewBitmap(TPixelFormat format, int w, int h) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(format);
  bmp->SetSize(w, h);
  return bmp;
}

// TColor is 0x00BBGGRR, palettes here are 0xAARRGGBB.
inline TColor ArgbToColor(Cardinal c) { return TColor(KwRGB(Byte(c >> 16), Byte(c >> 8), Byte(c))); }
inline Cardinal ColorToArgb(TColor c, Byte alpha = 255) {
  const Int32 v = ColorToRGB(c);
  return (Cardinal(alpha) << 24) | (Cardinal(GetRValue(v)) << 16) | (Cardinal(GetGValue(v)) << 8) | GetBValue(v);
}

// A 32-bit copy of any bitmap, for reading its pixels without touching it.
std::unique_ptr<TBitmap> Bitmap32(const TBitmap* source) {
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(source);
  if (copy->PixelFormat() != pf32bit) copy->SetPixelFormat(pf32bit);
  return copy;
}

bool IsPngSignature(const TBytes& b) {
  static const Byte sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return b.size() >= 8 && std::memcmp(b.data(), sig, 8) == 0;
}

// Walks the blocks of a GIF up to its first image. With patch >= 0 it marks that index
// transparent in the first control extension, inserting one when there is none.
int WalkGif(TBytes* patch, const Byte* data, size_t size, int index) {
  if (size < 13 || std::memcmp(data, "GIF8", 4) != 0) return -1;
  size_t p = 13;
  if (data[10] & 0x80) p += size_t(3) << ((data[10] & 7) + 1);
  while (p < size) {
    if (data[p] == 0x2C) {
      if (patch) {
        const Byte gce[8] = {0x21, 0xF9, 4, 1, 0, 0, Byte(index), 0};
        patch->insert(patch->begin() + std::ptrdiff_t(p), gce, gce + 8);
      }
      return -1;
    }
    if (data[p] != 0x21 || p + 2 >= size) return -1;
    if (data[p + 1] == 0xF9 && p + 7 < size && data[p + 2] == 4) {
      if (patch) {
        (*patch)[p + 3] = Byte(((*patch)[p + 3] & ~0x1C) | 1);  // keep disposal 0, flag transparency
        (*patch)[p + 6] = Byte(index);
        return index;
      }
      return (data[p + 3] & 1) ? data[p + 6] : -1;
    }
    p += 2;
    while (p < size && data[p] != 0) p += size_t(data[p]) + 1;
    ++p;
  }
  return -1;
}

}  // namespace

int KwGifTransparentIndex(const Byte* data, size_t size) { return WalkGif(nullptr, data, size, 0); }

Word CF_PNG() {
  static const Word format = Word(RegisterClipboardFormatW(L"PNG"));
  return format;
}

Word CF_GIF() {
  static const Word format = Word(RegisterClipboardFormatW(L"GIF"));
  return format;
}

std::unique_ptr<TBitmap> KwGraphicToBitmap(TGraphic* graphic) {
  if (auto* b = dynamic_cast<TBitmap*>(graphic)) {
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(b);
    return copy;
  }
  auto bmp = NewBitmap(pf32bit, graphic ? graphic->Width() : 0, graphic ? graphic->Height() : 0);
  if (graphic && !graphic->Empty()) {
    bmp->Canvas()->Brush()->SetColor(clWhite);
    bmp->Canvas()->FillRect(Rect(0, 0, bmp->Width(), bmp->Height()));
    bmp->Canvas()->Draw(0, 0, graphic);
  }
  return bmp;
}

// ---------------------------------------------------------------------------- TPngImage

TPngImage::TPngImage() : FBitmap(std::make_unique<TBitmap>()) { FBitmap->SetPixelFormat(pf32bit); }

TPngImage::~TPngImage() = default;

void TPngImage::CreateBlank(Byte colorType, int bitDepth, int width, int height) {
  const bool depthOk =
      (colorType == COLOR_PALETTE && (bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8)) ||
      (colorType == COLOR_GRAYSCALE && (bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16)) ||
      ((colorType == COLOR_RGB || colorType == COLOR_RGBALPHA || colorType == COLOR_GRAYSCALEALPHA) &&
       (bitDepth == 8 || bitDepth == 16));
  if (!depthOk) throw EInvalidGraphic(SRes::SInvalidColorType);
  if (width <= 0 || height <= 0 || width > MaxImageDimension || height > MaxImageDimension ||
      Int64(width) * height > MaxImagePixels)
    throw EInvalidGraphic(Format(SRes::SInvalidImageData, {L"PNG", L"size out of range"}));
  TWicImage img;
  img.Allocate(width, height, colorType == COLOR_PALETTE ? TWicPixels::wpIndexed8 : TWicPixels::wpBgra32);
  if (colorType == COLOR_PALETTE) {
    const int n = 1 << bitDepth;
    for (int i = 0; i < n; ++i) {
      const Cardinal v = Cardinal(i * 255 / (n - 1));
      img.Palette.push_back(0xFF000000 | (v << 16) | (v << 8) | v);
    }
  } else {
    std::fill(img.Pixels.begin(), img.Pixels.end(), Byte(255));
    if (colorType == COLOR_RGBALPHA || colorType == COLOR_GRAYSCALEALPHA)
      for (size_t i = 3; i < img.Pixels.size(); i += 4) img.Pixels[i] = 0;
  }
  TakeDecoded(img, colorType, bitDepth);
}

// Builds every plane first and swaps them in only at the end, so a failure leaves the image
// as it was.
void TPngImage::TakeDecoded(TWicImage& img, Byte colorType, int bitDepth) {
  const int w = img.Width, h = img.Height;
  auto bmp = NewBitmap(pf32bit, w, h);
  std::vector<Byte> alpha, indices;
  std::vector<Cardinal> palette;
  const bool alphaType = colorType == COLOR_RGBALPHA || colorType == COLOR_GRAYSCALEALPHA;
  if (img.Format == TWicPixels::wpIndexed8) {
    indices = img.Pixels;
    palette = img.Palette;
  } else if (alphaType) {
    alpha.resize(size_t(w) * h, 255);
  }
  for (int y = 0; y < h; ++y) {
    const Byte* in = img.Row(y);
    Byte* o = static_cast<Byte*>(bmp->ScanLine(y));
    for (int x = 0; x < w; ++x, o += 4) {
      switch (img.Format) {
        case TWicPixels::wpIndexed8: {
          const Cardinal c = palette[in[x]];
          o[0] = Byte(c); o[1] = Byte(c >> 8); o[2] = Byte(c >> 16); o[3] = Byte(c >> 24);
          break;
        }
        case TWicPixels::wpGray8:
          o[0] = o[1] = o[2] = in[x]; o[3] = 255;
          break;
        case TWicPixels::wpBgr24:
          o[0] = in[x * 3]; o[1] = in[x * 3 + 1]; o[2] = in[x * 3 + 2]; o[3] = 255;
          break;
        default:
          std::memcpy(o, in + x * 4, 4);
          if (alphaType) alpha[size_t(y) * w + x] = in[x * 4 + 3];
          else o[3] = 255;
      }
    }
  }
  FBitmap = std::move(bmp);
  FAlpha = std::move(alpha);
  FIndices = std::move(indices);
  FPaletteEntries = std::move(palette);
  FColorType = colorType;
  FBitDepth = bitDepth;
  FWidth = w;
  FHeight = h;
  CopyAlphaToBitmap();
}

void TPngImage::CopyAlphaToBitmap() {
  if (Empty()) return;
  const bool alpha = Transparent();
  for (int y = 0; y < FHeight; ++y) {
    Byte* o = static_cast<Byte*>(FBitmap->ScanLine(y));
    for (int x = 0; x < FWidth; ++x) {
      const size_t i = size_t(y) * FWidth + x;
      o[x * 4 + 3] = !FAlpha.empty() ? FAlpha[i] : !FIndices.empty() ? Byte(FPaletteEntries[FIndices[i]] >> 24) : 255;
    }
  }
  // Straight alpha: a consumer drawing the bitmap itself blends it.
  FBitmap->SetAlphaFormat(alpha ? afDefined : afIgnored);
}

bool TPngImage::Transparent() const {
  if (!FAlpha.empty()) return true;
  for (Cardinal c : FPaletteEntries)
    if ((c >> 24) != 255) return true;
  return false;
}

void TPngImage::SetSize(int width, int height) {
  if (width == FWidth && height == FHeight) return;
  if (width <= 0 || height <= 0) {
    FBitmap = std::make_unique<TBitmap>();
    FBitmap->SetPixelFormat(pf32bit);
    FAlpha.clear();
    FIndices.clear();
    FWidth = FHeight = 0;
    Changed(this);
    return;
  }
  auto resize = [&](std::vector<Byte>& plane, Byte fill) {
    if (plane.empty()) return;
    std::vector<Byte> n(size_t(width) * height, fill);
    for (int y = 0; y < std::min(height, FHeight); ++y)
      std::memcpy(&n[size_t(y) * width], &plane[size_t(y) * FWidth], size_t(std::min(width, FWidth)));
    plane.swap(n);
  };
  if (Empty()) {
    CreateBlank(FColorType, FBitDepth, width, height);
  } else {
    resize(FAlpha, 0);
    resize(FIndices, 0);
    FBitmap->SetSize(width, height);
    FWidth = width;
    FHeight = height;
    if (!FIndices.empty()) PaintFromIndices();
    CopyAlphaToBitmap();
  }
  Changed(this);
}

void* TPngImage::Scanline(int row) {
  if (row < 0 || row >= FHeight) throw EInvalidGraphicOperation(SRes::SScanLine);
  return FBitmap->ScanLine(row);
}

Byte* TPngImage::AlphaScanline(int row) {
  if (FAlpha.empty()) return nullptr;
  if (row < 0 || row >= FHeight) throw EInvalidGraphicOperation(SRes::SScanLine);
  return FAlpha.data() + size_t(row) * FWidth;
}

Byte* TPngImage::IndexScanline(int row) {
  if (FIndices.empty()) return nullptr;
  if (row < 0 || row >= FHeight) throw EInvalidGraphicOperation(SRes::SScanLine);
  return FIndices.data() + size_t(row) * FWidth;
}

void TPngImage::PaintFromIndices() {
  for (int y = 0; y < FHeight; ++y) {
    Byte* o = static_cast<Byte*>(FBitmap->ScanLine(y));
    const Byte* in = FIndices.data() + size_t(y) * FWidth;
    for (int x = 0; x < FWidth; ++x) {
      const Cardinal c = in[x] < FPaletteEntries.size() ? FPaletteEntries[in[x]] : 0xFF000000;
      o[x * 4] = Byte(c); o[x * 4 + 1] = Byte(c >> 8); o[x * 4 + 2] = Byte(c >> 16); o[x * 4 + 3] = Byte(c >> 24);
    }
  }
}

void TPngImage::SetPaletteEntries(const std::vector<Cardinal>& entries) {
  if (FColorType != COLOR_PALETTE || entries.empty() || entries.size() > (size_t(1) << FBitDepth))
    throw EInvalidGraphicOperation(SRes::SInvalidColorType);
  FPaletteEntries = entries;
  for (Byte& i : FIndices)
    if (i >= entries.size()) i = 0;
  PaintFromIndices();
  CopyAlphaToBitmap();
  Changed(this);
}

TColor TPngImage::Pixels(int x, int y) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return clNone;
  const Byte* p = static_cast<const Byte*>(FBitmap->ScanLine(y)) + x * 4;
  return TColor(KwRGB(p[2], p[1], p[0]));
}

void TPngImage::SetPixels(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
  const Int32 rgb = ColorToRGB(color);
  if (!FIndices.empty()) {
    // Palette images take the nearest entry, so the index plane stays the truth.
    int best = 0;
    long bestDist = 1L << 30;
    for (size_t i = 0; i < FPaletteEntries.size(); ++i) {
      const Cardinal c = FPaletteEntries[i];
      const long dr = long((c >> 16) & 255) - GetRValue(rgb), dg = long((c >> 8) & 255) - GetGValue(rgb),
                 db = long(c & 255) - GetBValue(rgb);
      const long d = dr * dr + dg * dg + db * db;
      if (d < bestDist) { bestDist = d; best = int(i); }
    }
    FIndices[size_t(y) * FWidth + x] = Byte(best);
    PaintFromIndices();
  } else {
    Byte* p = static_cast<Byte*>(FBitmap->ScanLine(y)) + x * 4;
    p[0] = GetBValue(rgb); p[1] = GetGValue(rgb); p[2] = GetRValue(rgb);
  }
  Changed(this);
}

void TPngImage::LoadFromStream(TStream& stream) {
  TBytes bytes = ReadRest(stream);
  if (!IsPngSignature(bytes) || bytes.size() < 33 || std::memcmp(&bytes[12], "IHDR", 4) != 0)
    Invalid(L"PNG", L"not a PNG file");
  const int bitDepth = bytes[24];
  const Byte colorType = bytes[25];
  if (colorType != COLOR_GRAYSCALE && colorType != COLOR_RGB && colorType != COLOR_PALETTE &&
      colorType != COLOR_GRAYSCALEALPHA && colorType != COLOR_RGBALPHA)
    throw EInvalidGraphic(SRes::SInvalidColorType);
  TWicDecodeOptions opt;
  opt.KeepIndexed = colorType == COLOR_PALETTE;
  opt.KeepGray = colorType == COLOR_GRAYSCALE;
  TWicImage img = WicDecode(bytes.data(), bytes.size(), opt, L"PNG");
  // A palette file the codec expanded (or a grey one it coloured) is kept as it came out.
  Byte type = colorType;
  if (type == COLOR_PALETTE && img.Format != TWicPixels::wpIndexed8) type = img.HasAlpha ? COLOR_RGBALPHA : COLOR_RGB;
  if (type == COLOR_GRAYSCALE && img.Format != TWicPixels::wpGray8) type = COLOR_RGB;
  TakeDecoded(img, type, type == colorType ? bitDepth : 8);
  Changed(this);
}

TWicImage TPngImage::ToWic() {
  TWicImage img;
  if (FColorType == COLOR_PALETTE) {
    img.Allocate(FWidth, FHeight, TWicPixels::wpIndexed8);
    img.Pixels = FIndices;
    img.Palette = FPaletteEntries;
    img.Bits = FBitDepth;
    return img;
  }
  const bool gray = FColorType == COLOR_GRAYSCALE;
  const bool alpha = !FAlpha.empty();
  img.Allocate(FWidth, FHeight, gray ? TWicPixels::wpGray8 : alpha ? TWicPixels::wpBgra32 : TWicPixels::wpBgr24);
  img.Bits = gray ? FBitDepth : 8;
  for (int y = 0; y < FHeight; ++y) {
    const Byte* in = static_cast<const Byte*>(FBitmap->ScanLine(y));
    Byte* o = img.Row(y);
    for (int x = 0; x < FWidth; ++x, in += 4) {
      if (gray) {
        o[x] = Byte((in[2] * 77 + in[1] * 150 + in[0] * 29 + 128) >> 8);
      } else if (alpha) {
        o[x * 4] = in[0]; o[x * 4 + 1] = in[1]; o[x * 4 + 2] = in[2];
        o[x * 4 + 3] = FAlpha[size_t(y) * FWidth + x];
      } else {
        o[x * 3] = in[0]; o[x * 3 + 1] = in[1]; o[x * 3 + 2] = in[2];
      }
    }
  }
  return img;
}

void TPngImage::SaveToStream(TStream& stream) {
  if (Empty()) return;
  const TBytes bytes = WicEncode(TWicContainer::wcPng, ToWic());
  stream.WriteBuffer(bytes.data(), Int64(bytes.size()));
}

void TPngImage::AssignBitmap(TBitmap* source) {
  if (!source || source->Empty()) {
    SetSize(0, 0);
    return;
  }
  auto copy = Bitmap32(source);
  const bool alpha = source->PixelFormat() == pf32bit && source->AlphaFormat() != afIgnored;
  const bool premultiplied = source->AlphaFormat() == afPremultiplied;
  TWicImage img;
  img.Allocate(copy->Width(), copy->Height(), TWicPixels::wpBgra32);
  for (int y = 0; y < img.Height; ++y) {
    const Byte* in = static_cast<const Byte*>(copy->ScanLine(y));
    Byte* o = img.Row(y);
    std::memcpy(o, in, size_t(img.Width) * 4);
    if (premultiplied)
      for (int x = 0; x < img.Width; ++x) {
        const int a = o[x * 4 + 3];
        for (int c = 0; c < 3 && a; ++c) o[x * 4 + c] = Byte(std::min(255, (o[x * 4 + c] * 255 + a / 2) / a));
      }
  }
  TakeDecoded(img, alpha ? COLOR_RGBALPHA : COLOR_RGB, 8);
  Changed(this);
}

void TPngImage::Assign(const TPersistent* source) {
  if (auto* png = dynamic_cast<const TPngImage*>(source)) {
    if (png == this) return;
    auto bmp = std::make_unique<TBitmap>();
    bmp->Assign(png->FBitmap.get());
    FBitmap = std::move(bmp);
    FAlpha = png->FAlpha;
    FIndices = png->FIndices;
    FPaletteEntries = png->FPaletteEntries;
    FColorType = png->FColorType;
    FBitDepth = png->FBitDepth;
    FWidth = png->FWidth;
    FHeight = png->FHeight;
    Changed(this);
  } else if (auto* bmp = dynamic_cast<const TBitmap*>(source)) {
    AssignBitmap(const_cast<TBitmap*>(bmp));
  } else if (auto* g = dynamic_cast<const TGraphic*>(source)) {
    AssignBitmap(KwGraphicToBitmap(const_cast<TGraphic*>(g)).get());
  } else if (!source) {
    SetSize(0, 0);
  } else {
    TGraphic::Assign(source);
  }
}

void TPngImage::AssignTo(TPersistent* dest) const {
  if (auto* bmp = dynamic_cast<TBitmap*>(dest)) {
    if (Empty()) {
      bmp->SetSize(0, 0);
      return;
    }
    const_cast<TPngImage*>(this)->CopyAlphaToBitmap();
    bmp->Assign(FBitmap.get());
    return;
  }
  TGraphic::AssignTo(dest);
}

void TPngImage::Draw(TCanvas& canvas, const TRect& rect) {
  if (!Transparent()) {
    KwDrawGraphic(canvas, rect, FBitmap.get());
    return;
  }
  BlendDraw(canvas, rect, FWidth, FHeight, [this](int y, Byte* o) {
    const Byte* in = static_cast<const Byte*>(FBitmap->ScanLine(y));
    for (int x = 0; x < FWidth; ++x, o += 4, in += 4) {
      const size_t i = size_t(y) * FWidth + x;
      const int a = !FAlpha.empty() ? FAlpha[i] : int(FPaletteEntries[FIndices[i]] >> 24);
      PutPremultiplied(o, in[0], in[1], in[2], a);
    }
  });
}

namespace {

// PNG and GIF images travel on the clipboard as their own file bytes in a registered format,
// and take a bitmap format from anyone else.
void LoadOwnOrBitmapFormat(TGraphic& graphic, Word own, const wchar_t* name, Word format, void* data,
                           HPALETTE__* palette, const std::function<void(TBitmap*)>& assignBitmap) {
  if (format == own) {
    TBytesStream s(GlobalToBytes(data, name));
    graphic.LoadFromStream(s);
    return;
  }
  TBitmap bmp;
  bmp.LoadFromClipboardFormat(format, data, palette);
  assignBitmap(&bmp);
}

void SaveOwnFormat(TGraphic& graphic, Word own, Word& format, void*& data, HPALETTE__*& palette) {
  TBytesStream s;
  graphic.SaveToStream(s);
  data = BytesToGlobal(s.Bytes());
  format = own;
  palette = nullptr;
}

}  // namespace

void TPngImage::LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette) {
  LoadOwnOrBitmapFormat(*this, CF_PNG(), L"PNG", format, data, palette, [this](TBitmap* b) { AssignBitmap(b); });
}

void TPngImage::SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) {
  SaveOwnFormat(*this, CF_PNG(), format, data, palette);
}

// --------------------------------------------------------------------------- TJPEGImage

TJPEGImage::TJPEGImage() = default;

TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::SetCompressionQuality(int value) { FQuality = std::clamp(value, 1, 100); }

// A change of decoding option throws the decoded picture away; an assigned bitmap that was
// never compressed is compressed first, since it would be lost otherwise.
void TJPEGImage::DropBitmap() {
  JPEGNeeded();
  FBitmap.reset();
  Changed(this);
}

void TJPEGImage::SetScale(TJPEGScale value) {
  if (value == FScale) return;
  FScale = value;
  DropBitmap();
}

void TJPEGImage::SetGrayscale(bool value) {
  if (value == FGrayscale) return;
  FGrayscale = value;
  DropBitmap();
}

void TJPEGImage::SetPixelFormat(TJPEGPixelFormat value) {
  if (value == FPixelFormat) return;
  FPixelFormat = value;
  DropBitmap();
}

int TJPEGImage::Width() const {
  if (FBitmap) return FBitmap->Width();
  const int div = 1 << int(FScale);
  return FData.empty() ? 0 : (FFullWidth + div - 1) / div;
}

int TJPEGImage::Height() const {
  if (FBitmap) return FBitmap->Height();
  const int div = 1 << int(FScale);
  return FData.empty() ? 0 : (FFullHeight + div - 1) / div;
}

void TJPEGImage::SetWidth(int) { throw EInvalidGraphicOperation(SRes::SJPEGSizeChange); }

void TJPEGImage::SetHeight(int) { throw EInvalidGraphicOperation(SRes::SJPEGSizeChange); }

std::unique_ptr<TBitmap> TJPEGImage::Decode(const TBytes& data, int* fullWidth, int* fullHeight) const {
  if (data.size() < 4 || data[0] != 0xFF || data[1] != 0xD8) Invalid(L"JPEG", L"not a JPEG file");
  TWicDecodeOptions opt;
  opt.ScaleDivisor = 1 << int(FScale);
  opt.KeepGray = true;
  opt.Opaque = true;
  TWicImage img = WicDecode(data.data(), data.size(), opt, L"JPEG");
  // The full size, for Width and Height at other scales before they are decoded.
  if (fullWidth) *fullWidth = img.SourceWidth;
  if (fullHeight) *fullHeight = img.SourceHeight;
  const bool gray = FGrayscale || img.Format == TWicPixels::wpGray8;
  if (gray && img.Format == TWicPixels::wpBgr24) {
    // Our own weights, the host's grey: the codecs' converters differ between systems.
    TWicImage g;
    g.Allocate(img.Width, img.Height, TWicPixels::wpGray8);
    for (int y = 0; y < img.Height; ++y)
      for (int x = 0; x < img.Width; ++x) {
        const Byte* p = img.Row(y) + x * 3;
        g.Row(y)[x] = Byte((p[2] * 30 + p[1] * 59 + p[0] * 11 + 50) / 100);
      }
    img = std::move(g);
  }
  auto bmp = NewBitmap(gray ? pf8bit : pf24bit, img.Width, img.Height);
  if (gray) {
    std::vector<TColor> ramp(256);
    for (int i = 0; i < 256; ++i) ramp[size_t(i)] = TColor(KwRGB(Byte(i), Byte(i), Byte(i)));
    bmp->SetColorTable(ramp);
  }
  for (int y = 0; y < img.Height; ++y)
    std::memcpy(bmp->ScanLine(y), img.Row(y), size_t(img.Width) * (gray ? 1 : 3));
  if (!gray && FPixelFormat == jf8Bit) bmp->SetPixelFormat(pf8bit);
  return bmp;
}

TBitmap* TJPEGImage::Bitmap() {
  DIBNeeded();
  return FBitmap.get();
}

void TJPEGImage::DIBNeeded() {
  if (!FBitmap && !FData.empty()) FBitmap = Decode(FData);
}

void TJPEGImage::JPEGNeeded() {
  if (FData.empty() && FBitmap && !FBitmap->Empty()) Compress();
}

void TJPEGImage::Compress() {
  DIBNeeded();
  if (!FBitmap || FBitmap->Empty()) return;
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(FBitmap.get());
  copy->SetPixelFormat(pf24bit);
  TWicImage img;
  img.Allocate(copy->Width(), copy->Height(), TWicPixels::wpBgr24);
  for (int y = 0; y < img.Height; ++y) std::memcpy(img.Row(y), copy->ScanLine(y), size_t(img.Stride));
  FData = WicEncode(TWicContainer::wcJpeg, img, FQuality);
  if (FScale == jsFullSize) {
    FFullWidth = img.Width;
    FFullHeight = img.Height;
  }
}

void TJPEGImage::LoadFromStream(TStream& stream) {
  TBytes bytes = ReadRest(stream);
  int fullWidth = 0, fullHeight = 0;
  std::unique_ptr<TBitmap> bmp = Decode(bytes, &fullWidth, &fullHeight);
  FFullWidth = fullWidth;
  FFullHeight = fullHeight;
  FData = std::move(bytes);
  FBitmap = std::move(bmp);
  Changed(this);
}

void TJPEGImage::SaveToStream(TStream& stream) {
  JPEGNeeded();
  if (!FData.empty()) stream.WriteBuffer(FData.data(), Int64(FData.size()));
}

void TJPEGImage::Assign(const TPersistent* source) {
  if (auto* j = dynamic_cast<const TJPEGImage*>(source)) {
    if (j == this) return;
    FData = j->FData;
    FFullWidth = j->FFullWidth;
    FFullHeight = j->FFullHeight;
    FQuality = j->FQuality;
    FScale = j->FScale;
    FGrayscale = j->FGrayscale;
    FPixelFormat = j->FPixelFormat;
    FBitmap.reset();
    if (j->FBitmap) {
      FBitmap = std::make_unique<TBitmap>();
      FBitmap->Assign(j->FBitmap.get());
    }
    Changed(this);
  } else if (auto* g = dynamic_cast<const TGraphic*>(source)) {
    auto bmp = KwGraphicToBitmap(const_cast<TGraphic*>(g));
    FData.clear();
    FScale = jsFullSize;
    FFullWidth = bmp->Width();
    FFullHeight = bmp->Height();
    FBitmap = bmp->Empty() ? nullptr : std::move(bmp);
    Changed(this);
  } else if (!source) {
    FData.clear();
    FBitmap.reset();
    Changed(this);
  } else {
    TGraphic::Assign(source);
  }
}

void TJPEGImage::AssignTo(TPersistent* dest) const {
  if (auto* bmp = dynamic_cast<TBitmap*>(dest)) {
    TBitmap* mine = const_cast<TJPEGImage*>(this)->Bitmap();
    if (mine) bmp->Assign(mine);
    else bmp->SetSize(0, 0);
    return;
  }
  TGraphic::AssignTo(dest);
}

void TJPEGImage::Draw(TCanvas& canvas, const TRect& rect) { KwDrawGraphic(canvas, rect, Bitmap()); }

void TJPEGImage::LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette) {
  TBitmap bmp;
  bmp.LoadFromClipboardFormat(format, data, palette);
  Assign(&bmp);
}

void TJPEGImage::SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) {
  TBitmap* bmp = Bitmap();
  if (!bmp) throw EInvalidGraphicOperation(SRes::SUnknownClipboardFormat);
  bmp->SaveToClipboardFormat(format, data, palette);
}

// ---------------------------------------------------------------------------- TGIFImage

TGIFImage::TGIFImage() : FBitmap(std::make_unique<TBitmap>()) { FBitmap->SetPixelFormat(pf8bit); }

TGIFImage::~TGIFImage() = default;

void TGIFImage::SetSize(int width, int height) {
  if (width == Width() && height == Height()) return;
  FBitmap->SetSize(width, height);
  Changed(this);
}

void TGIFImage::SetTransparentIndex(int value) {
  if (value < -1 || value >= std::max<int>(1, int(FBitmap->ColorTable().size())) || value > 255)
    throw EInvalidGraphicOperation(Format(SRes::SInvalidImageData, {L"GIF", L"transparent index out of range"}));
  if (value == FTransparentIndex) return;
  FTransparentIndex = value;
  Changed(this);
}

void TGIFImage::LoadFromStream(TStream& stream) {
  const TBytes bytes = ReadRest(stream);
  if (bytes.size() < 13 || (std::memcmp(bytes.data(), "GIF87a", 6) != 0 && std::memcmp(bytes.data(), "GIF89a", 6) != 0))
    Invalid(L"GIF", L"not a GIF file");
  TWicDecodeOptions opt;
  opt.KeepIndexed = true;
  TWicImage img = WicDecode(bytes.data(), bytes.size(), opt, L"GIF");
  if (img.Format != TWicPixels::wpIndexed8) Invalid(L"GIF", L"not an indexed image");
  auto bmp = NewBitmap(pf8bit, img.Width, img.Height);
  std::vector<TColor> colors;
  for (Cardinal c : img.Palette) colors.push_back(ArgbToColor(c));
  bmp->SetColorTable(colors);
  for (int y = 0; y < img.Height; ++y) std::memcpy(bmp->ScanLine(y), img.Row(y), size_t(img.Width));
  int trans = KwGifTransparentIndex(bytes.data(), bytes.size());
  if (trans >= int(colors.size())) trans = -1;
  FBitmap = std::move(bmp);
  FTransparentIndex = trans;
  FFrameCount = img.FrameCount;
  Changed(this);
}

void TGIFImage::SaveToStream(TStream& stream) {
  if (Empty()) return;
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(FBitmap.get());
  if (copy->PixelFormat() != pf8bit) copy->SetPixelFormat(pf8bit);
  TWicImage img;
  img.Allocate(copy->Width(), copy->Height(), TWicPixels::wpIndexed8);
  for (TColor c : copy->ColorTable()) img.Palette.push_back(ColorToArgb(c));
  for (int y = 0; y < img.Height; ++y) std::memcpy(img.Row(y), copy->ScanLine(y), size_t(img.Width));
  TBytes bytes = WicEncode(TWicContainer::wcGif, img);
  if (FTransparentIndex >= 0) {
    const TBytes plain = bytes;
    WalkGif(&bytes, plain.data(), plain.size(), FTransparentIndex);
  }
  stream.WriteBuffer(bytes.data(), Int64(bytes.size()));
}

void TGIFImage::AssignBitmap(const TBitmap* source) {
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(source);
  if (!copy->Empty() && copy->PixelFormat() != pf8bit) copy->SetPixelFormat(pf8bit);
  FBitmap = std::move(copy);
  FTransparentIndex = -1;
  FFrameCount = FBitmap->Empty() ? 0 : 1;
  Changed(this);
}

void TGIFImage::Assign(const TPersistent* source) {
  if (auto* gif = dynamic_cast<const TGIFImage*>(source)) {
    if (gif == this) return;
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(gif->FBitmap.get());
    FBitmap = std::move(copy);
    FTransparentIndex = gif->FTransparentIndex;
    FFrameCount = gif->FFrameCount;
    Changed(this);
  } else if (auto* bmp = dynamic_cast<const TBitmap*>(source)) {
    AssignBitmap(bmp);
  } else if (auto* g = dynamic_cast<const TGraphic*>(source)) {
    AssignBitmap(KwGraphicToBitmap(const_cast<TGraphic*>(g)).get());
  } else if (!source) {
    AssignBitmap(nullptr);
  } else {
    TGraphic::Assign(source);
  }
}

void TGIFImage::AssignTo(TPersistent* dest) const {
  if (auto* bmp = dynamic_cast<TBitmap*>(dest)) {
    bmp->Assign(FBitmap.get());
    if (FTransparentIndex >= 0) {
      bmp->SetTransparentColor(FBitmap->ColorTable()[size_t(FTransparentIndex)]);
      bmp->SetTransparent(true);
    }
    return;
  }
  TGraphic::AssignTo(dest);
}

void TGIFImage::Draw(TCanvas& canvas, const TRect& rect) {
  if (FTransparentIndex < 0) {
    KwDrawGraphic(canvas, rect, FBitmap.get());
    return;
  }
  std::vector<Cardinal> palette;
  for (TColor c : FBitmap->ColorTable()) palette.push_back(ColorToArgb(c));
  palette.resize(256, 0xFF000000);
  BlendDraw(canvas, rect, Width(), Height(), [&](int y, Byte* o) {
    const Byte* in = static_cast<const Byte*>(FBitmap->ScanLine(y));
    for (int x = 0; x < Width(); ++x, o += 4) {
      const Cardinal c = palette[in[x]];
      PutPremultiplied(o, Byte(c), Byte(c >> 8), Byte(c >> 16), in[x] == FTransparentIndex ? 0 : 255);
    }
  });
}

void TGIFImage::LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette) {
  LoadOwnOrBitmapFormat(*this, CF_GIF(), L"GIF", format, data, palette, [this](TBitmap* b) { AssignBitmap(b); });
}

void TGIFImage::SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) {
  SaveOwnFormat(*this, CF_GIF(), format, data, palette);
}

}  // namespace kw
