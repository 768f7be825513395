// The graphic-format and clipboard-format registries, JPEG quality and TKwPicture's stream
// form. The host's own picture registry (host/Picture.h) is separate and left as it is.
#include "core/Kwformatgraphics.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>

#include "core/Kwlinks.h"
#include "host/Bitmap.h"
#include "host/Clipboard.h"
#include "host/Iconmeta.h"
#include "host/Imaging.h"
#include "host/Stringlist.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_DEFINE_ENUM(TKwQualityGraphic, L"qugHigh", L"qugMiddle", L"qugLow", L"qugVeryLow")

KW_BEGIN_CLASS(TKwPicture, TPicture) {
  b.Prop(L"AutoDetect", &TKwPicture::AutoDetect, &TKwPicture::SetAutoDetect).Default(true);
  b.Event(L"OnPictureChange", &TKwPicture::OnPictureChange);
}

namespace {

// Both registries may be asked from any thread; the lock is never held while calling out.
// Plain pointers, freed by KwEndFormatGraphics, because library end runs from a static
// destructor and must not meet registries that the exit sequence has already destroyed.
std::mutex& RegistryLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

std::vector<TKwFormatGraphic>* GFormats = nullptr;
TKwClipFormats* GClipFormats = nullptr;

bool GStarted = false;

bool IsGraphicClass(TGraphicClass cls) {
  return cls && cls->CanCreate() && cls->InheritsFrom(TGraphic::StaticClass());
}

std::unique_ptr<TGraphic> NewGraphic(TGraphicClass cls) {
  TObject* obj = cls->CreateInstance(nullptr);
  auto* graphic = dynamic_cast<TGraphic*>(obj);
  if (!graphic) {
    if (obj) obj->Free();
    throw EInvalidGraphic(Format(SRes::SUnknownGraphicClass, {cls->ClassName()}));
  }
  return std::unique_ptr<TGraphic>(graphic);
}

// Class names are plain ASCII in practice; anything else cannot be found again by name.
std::string ShortName(const String& name) {
  std::string result;
  for (wchar_t c : name) {
    if (int(result.size()) == KwPictureMaxName) break;
    result.push_back(c < 128 ? char(c) : '?');
  }
  return result;
}

void WriteWord(TStream& stream, Word value) {
  const Byte bytes[2] = {Byte(value), Byte(value >> 8)};
  stream.WriteBuffer(bytes, 2);
}

void WriteCardinal(TStream& stream, Cardinal value) {
  const Byte bytes[4] = {Byte(value), Byte(value >> 8), Byte(value >> 16), Byte(value >> 24)};
  stream.WriteBuffer(bytes, 4);
}

const bool GUnitAdded = (KwAddUnit(&KwInitFormatGraphics, &KwEndFormatGraphics), true);

}  // namespace

void KwRegisterFormatGraphic(const String& extension, const String& description, TGraphicClass graphicClass) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  if (!GFormats) GFormats = new std::vector<TKwFormatGraphic>;
  GFormats->push_back({extension, description, graphicClass});
}

void KwUnRegisterFormatGraphic(TGraphicClass graphicClass) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  if (GFormats)
    std::erase_if(*GFormats, [&](const TKwFormatGraphic& f) { return f.GraphicClass == graphicClass; });
}

std::vector<TKwFormatGraphic> KwFormatGraphicList() {
  std::lock_guard<std::mutex> guard(RegistryLock());
  return GFormats ? *GFormats : std::vector<TKwFormatGraphic>();
}

TGraphicClass KwFindGraphicClass(const String& className) {
  for (const TKwFormatGraphic& f : KwFormatGraphicList())
    if (f.GraphicClass && AnsiSameText(f.GraphicClass->ClassName(), className)) return f.GraphicClass;
  return nullptr;
}

TGraphicClass KwFindGraphicFileExt(const String& extension) {
  String ext = Trim(extension);
  if (!ext.empty() && ext[0] == L'.') ext.erase(0, 1);
  for (const TKwFormatGraphic& f : KwFormatGraphicList())
    if (AnsiSameText(f.Extension, ext)) return f.GraphicClass;
  return nullptr;
}

String KwFindGraphicDescription(TGraphicClass graphicClass) {
  for (const TKwFormatGraphic& f : KwFormatGraphicList())
    if (f.GraphicClass == graphicClass) return f.Description;
  return String();
}

String KwGraphicExtension(TGraphicClass graphicClass) { return TPicture::GraphicExtension(graphicClass); }

void KwFormatGraphics(TStrings* strings) {
  if (!strings) return;
  std::vector<TGraphicClass> seen;
  for (const TKwFormatGraphic& f : KwFormatGraphicList())
    if (f.GraphicClass && std::find(seen.begin(), seen.end(), f.GraphicClass) == seen.end())
      seen.push_back(f.GraphicClass);
  strings->BeginUpdate();
  try {
    strings->Clear();
    for (TGraphicClass cls : seen) strings->Add(cls->ClassName());
  } catch (...) {
    strings->EndUpdate();
    throw;
  }
  strings->EndUpdate();
}

void KwInitFormatGraphics() {
  {
    std::lock_guard<std::mutex> guard(RegistryLock());
    if (GStarted) return;
    GStarted = true;
  }
  KwRegisterFormatGraphic(L"bmp", L"Bitmap", TBitmap::StaticClass());
  KwRegisterFormatGraphic(L"ico", L"Icon", TIcon::StaticClass());
  KwRegisterFormatGraphic(L"wmf", L"Metafile", TMetafile::StaticClass());
  KwRegisterFormatGraphic(L"emf", L"Metafile", TMetafile::StaticClass());
  KwRegisterFormatGraphic(L"jpeg", L"JPeg", TJPEGImage::StaticClass());
  KwRegisterFormatGraphic(L"jpg", L"JPeg", TJPEGImage::StaticClass());
  KwRegisterFormatGraphic(L"gif", L"Gif", TGIFImage::StaticClass());
  KwRegisterFormatGraphic(L"png", L"Png", TPngImage::StaticClass());
  KwRegisterClipBoardFormat(CF_GIF(), TGIFImage::StaticClass());
}

void KwEndFormatGraphics() {
  std::vector<TKwFormatGraphic>* formats;
  TKwClipFormats* clip;
  {
    std::lock_guard<std::mutex> guard(RegistryLock());
    formats = std::exchange(GFormats, nullptr);
    clip = std::exchange(GClipFormats, nullptr);
    GStarted = false;
  }
  delete formats;
  delete clip;
}

TKwClipFormats::TKwClipFormats() {
  Add(Word(CF_METAFILEPICT), TMetafile::StaticClass());
  Add(Word(CF_ENHMETAFILE), TMetafile::StaticClass());
  Add(Word(CF_BITMAP), TBitmap::StaticClass());
}

void TKwClipFormats::Add(Word format, TGraphicClass graphicClass) {
  FFormats.push_back(format);
  FClasses.push_back(graphicClass);
}

TGraphicClass TKwClipFormats::FindFormat(Word format) const {
  for (size_t i = FFormats.size(); i-- > 0;)
    if (FFormats[i] == format) return FClasses[i];
  return nullptr;
}

Word TKwClipFormats::FindGraphicClass(TGraphicClass graphicClass) const {
  for (size_t i = FClasses.size(); i-- > 0;)
    if (FClasses[i] == graphicClass) return FFormats[i];
  return 65535;
}

void TKwClipFormats::Remove(TGraphicClass graphicClass) {
  if (!graphicClass) return;
  for (size_t i = FClasses.size(); i-- > 0;) {
    if (FClasses[i] && FClasses[i]->InheritsFrom(graphicClass)) {
      FClasses.erase(FClasses.begin() + std::ptrdiff_t(i));
      FFormats.erase(FFormats.begin() + std::ptrdiff_t(i));
    }
  }
}

TKwClipFormats* KwGetClipboardFormats() {
  std::lock_guard<std::mutex> guard(RegistryLock());
  if (!GClipFormats) GClipFormats = new TKwClipFormats;
  return GClipFormats;
}

void KwRegisterClipBoardFormat(Word format, TGraphicClass graphicClass) {
  KwGetClipboardFormats()->Add(format, graphicClass);
}

std::unique_ptr<TGraphic> KwGraphicFromClipboard() {
  TClipboard* clipboard = Clipboard();
  TKwClipFormats* list = KwGetClipboardFormats();
  clipboard->Open();
  try {
    std::unique_ptr<TGraphic> result;
    const int count = clipboard->FormatCount();
    for (int i = 0; i < count && !result; ++i) {
      const unsigned format = clipboard->Formats(i);
      if (format > 0xFFFF || !TPicture::SupportsClipboardFormat(Word(format))) continue;
      TGraphicClass cls = list->FindFormat(Word(format));
      if (!IsGraphicClass(cls)) continue;
      void* data = clipboard->GetAsHandle(format);
      if (!data) continue;
      HPALETTE palette = clipboard->HasFormat(CF_PALETTE) ? HPALETTE(clipboard->GetAsHandle(CF_PALETTE)) : nullptr;
      std::unique_ptr<TGraphic> graphic = NewGraphic(cls);
      graphic->LoadFromClipboardFormat(Word(format), data, palette);
      result = std::move(graphic);
    }
    clipboard->Close();
    return result;
  } catch (...) {
    clipboard->Close();
    throw;
  }
}

void SetGraphicQuality(TGraphic* graphic, TKwQualityGraphic quality) {
  auto* jpeg = dynamic_cast<TJPEGImage*>(graphic);
  if (!jpeg) return;
  switch (quality) {
    case qugHigh: jpeg->SetScale(jsFullSize); break;
    case qugMiddle: jpeg->SetScale(jsHalf); break;
    case qugLow: jpeg->SetScale(jsQuarter); break;
    case qugVeryLow: jpeg->SetScale(jsEighth); break;
  }
}

TKwPicture::TKwPicture() = default;

void TKwPicture::Changed(TObject* sender) {
  TPicture::Changed(sender);
  if (sender == this) OnPictureChange(this);
}

void TKwPicture::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  const Int64 size = stream.Size();
  TGraphicClass cls = FGraphicClass;
  if (FAutoDetect) {
    Byte length = 0;
    if (stream.Read(&length, 1) != 1) return;
    if (length > KwPictureMaxName) {
      TakeGraphic(nullptr);
      return;
    }
    if (size - stream.Position() < length) throw EInvalidGraphic(SRes::SKwPictureNameCut);
    char name[KwPictureMaxName];
    stream.ReadBuffer(name, length);
    String className;
    for (int i = 0; i < length; ++i) className.push_back(wchar_t(Byte(name[i])));
    cls = KwFindGraphicClass(className);
  }
  if (!IsGraphicClass(cls)) return;

  if (cls->InheritsFrom(TBitmap::StaticClass())) {
    const Int64 start = stream.Position();
    const Int64 remaining = size - start;
    if (remaining >= 8) {
      Byte header[8];
      stream.ReadBuffer(header, 8);
      const Word signature = Word(header[0] | header[1] << 8);
      const Word version = Word(header[2] | header[3] << 8);
      const Cardinal count = Cardinal(header[4]) | Cardinal(header[5]) << 8 | Cardinal(header[6]) << 16 |
                             Cardinal(header[7]) << 24;
      if (signature != KwDbBitmapSignature || version != KwDbBitmapVersion || Int64(count) != remaining - 8)
        stream.SetPosition(start);
    }
  }

  std::unique_ptr<TGraphic> graphic = NewGraphic(cls);
  // A graphic with no data left is an empty one of its class, as it was written.
  if (stream.Position() < size) graphic->LoadFromStream(stream);
  TakeGraphic(std::move(graphic));
}

void TKwPicture::SaveToStream(TStream& stream) {
  TGraphic* graphic = Graphic();
  if (!graphic) return;
  if (FAutoDetect) {
    const std::string name = ShortName(graphic->ClassName());
    const Byte length = Byte(name.size());
    stream.WriteBuffer(&length, 1);
    if (length) stream.WriteBuffer(name.data(), length);
  }
  if (!dynamic_cast<TBitmap*>(graphic)) {
    graphic->SaveToStream(stream);
    return;
  }
  const Int64 headerAt = stream.Position();
  WriteWord(stream, KwDbBitmapSignature);
  WriteWord(stream, KwDbBitmapVersion);
  WriteCardinal(stream, 0);
  graphic->SaveToStream(stream);
  const Int64 end = stream.Position();
  stream.SetPosition(headerAt + 4);
  WriteCardinal(stream, Cardinal(end - 8 - headerAt));
  stream.Seek(0, soEnd);
}

}  // namespace kw
