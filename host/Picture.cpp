// TPicture and the graphic-class registries with their start-up formats. Registration is
// process-wide and thread-safe; reading and writing "Data" follows the host's layout.
#include "host/Picture.h"

#include <algorithm>
#include <mutex>

#include "host/Bitmap.h"
#include "host/Filer.h"
#include "host/Iconmeta.h"
#include "host/Imaging.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

// Win.h leaves this one defined; the registry method shares its name.
#undef RegisterClipboardFormat

namespace kw {

KW_REGISTER_CLASS(TPicture, TPersistent)

namespace {

struct TFileFormat {
  String Extension;
  String Description;
  TGraphicClass Class;
};

struct TClipFormat {
  Word Format;
  TGraphicClass Class;
};

struct TRegistry {
  std::mutex Lock;
  std::vector<TFileFormat> Files;
  std::vector<TClipFormat> Clips;
  TRegistry() {
    Files = {
        {L"bmp", L"Bitmaps", TBitmap::StaticClass()},
        {L"ico", L"Icons", TIcon::StaticClass()},
        {L"emf", L"Enhanced Metafiles", TMetafile::StaticClass()},
        {L"wmf", L"Metafiles", TMetafile::StaticClass()},
        {L"jpeg", L"JPEG Image File", TJPEGImage::StaticClass()},
        {L"jpg", L"JPEG Image File", TJPEGImage::StaticClass()},
        {L"png", L"Portable Network Graphics", TPngImage::StaticClass()},
        {L"gif", L"GIF Image", TGIFImage::StaticClass()},
    };
    Clips = {
        {Word(CF_BITMAP), TBitmap::StaticClass()},
        {Word(CF_DIB), TBitmap::StaticClass()},
        {Word(CF_ENHMETAFILE), TMetafile::StaticClass()},
        {CF_PNG(), TPngImage::StaticClass()},
        {CF_GIF(), TGIFImage::StaticClass()},
    };
  }
};

TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

String StripDot(const String& ext) { return !ext.empty() && ext[0] == L'.' ? ext.substr(1) : ext; }

std::unique_ptr<TGraphic> NewGraphic(TGraphicClass cls) {
  TObject* obj = cls && cls->CanCreate() ? cls->CreateInstance(nullptr) : nullptr;
  auto* g = dynamic_cast<TGraphic*>(obj);
  if (!g) {
    if (obj) obj->Free();
    throw EInvalidGraphic(Format(SRes::SUnknownGraphicClass, {cls ? cls->ClassName() : String(L"nil")}));
  }
  return std::unique_ptr<TGraphic>(g);
}

}  // namespace

TPicture::TPicture() = default;

TPicture::~TPicture() {
  if (FGraphic) FGraphic->OnChange = nullptr;
}

void TPicture::Changed(TObject*) { OnChange(this); }

void TPicture::TakeGraphic(std::unique_ptr<TGraphic> graphic) {
  if (graphic) graphic->OnChange = [this](TObject* sender) { Changed(sender); };
  std::unique_ptr<TGraphic> old = std::move(FGraphic);
  FGraphic = std::move(graphic);
  if (old) old->OnChange = nullptr;
  Changed(this);
}

void TPicture::SetGraphic(TGraphic* value) {
  if (value == FGraphic.get() && value) return;
  if (!value) {
    TakeGraphic(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy = NewGraphic(value->ClassType());
  copy->Assign(value);
  TakeGraphic(std::move(copy));
}

template <class T>
T* TPicture::ForceGraphic() {
  if (auto* g = dynamic_cast<T*>(FGraphic.get())) return g;
  auto made = std::make_unique<T>();
  T* result = made.get();
  TakeGraphic(std::move(made));
  return result;
}

TBitmap* TPicture::Bitmap() { return ForceGraphic<TBitmap>(); }
TIcon* TPicture::Icon() { return ForceGraphic<TIcon>(); }
TMetafile* TPicture::Metafile() { return ForceGraphic<TMetafile>(); }
void TPicture::SetBitmap(TBitmap* value) { SetGraphic(value); }
void TPicture::SetIcon(TIcon* value) { SetGraphic(value); }
void TPicture::SetMetafile(TMetafile* value) { SetGraphic(value); }

int TPicture::Width() const { return FGraphic ? FGraphic->Width() : 0; }
int TPicture::Height() const { return FGraphic ? FGraphic->Height() : 0; }

void TPicture::LoadFromFile(const String& fileName) {
  const String ext = StripDot(ExtractFileExt(fileName));
  TGraphicClass cls = FileFormatClass(ext);
  if (!cls) throw EInvalidGraphic(Format(SRes::SUnknownExtension, {ext}));
  std::unique_ptr<TGraphic> g = NewGraphic(cls);
  g->LoadFromFile(fileName);
  TakeGraphic(std::move(g));
}

void TPicture::SaveToFile(const String& fileName) {
  if (!FGraphic) return;
  if (auto* m = dynamic_cast<TMetafile*>(FGraphic.get()))
    m->SetEnhanced(!SameText(StripDot(ExtractFileExt(fileName)), L"wmf"));
  FGraphic->SaveToFile(fileName);
}

void TPicture::LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette) {
  TGraphicClass cls = ClipboardFormatClass(format);
  if (!cls) throw EInvalidGraphic(SRes::SUnknownClipboardFormat);
  std::unique_ptr<TGraphic> g = NewGraphic(cls);
  g->LoadFromClipboardFormat(format, data, palette);
  TakeGraphic(std::move(g));
}

void TPicture::SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) {
  if (!FGraphic) throw EInvalidGraphicOperation(SRes::SUnknownClipboardFormat);
  FGraphic->SaveToClipboardFormat(format, data, palette);
}

void TPicture::Assign(const TPersistent* source) {
  if (!source) SetGraphic(nullptr);
  else if (auto* p = dynamic_cast<const TPicture*>(source)) SetGraphic(p->Graphic());
  else if (auto* g = dynamic_cast<const TGraphic*>(source)) SetGraphic(const_cast<TGraphic*>(g));
  else TPersistent::Assign(source);
}

void TPicture::AssignTo(TPersistent* dest) const {
  if (auto* g = dynamic_cast<TGraphic*>(dest); g && FGraphic) {
    g->Assign(FGraphic.get());
    return;
  }
  TPersistent::AssignTo(dest);
}

void TPicture::DefineProperties(TFiler& filer) {
  bool hasData = FGraphic != nullptr;
  if (auto* ancestor = dynamic_cast<TPicture*>(filer.Ancestor())) {
    TGraphic* theirs = ancestor->Graphic();
    hasData = FGraphic ? !FGraphic->Equals(theirs) : theirs != nullptr;
  }
  filer.DefineBinaryProperty(
      L"Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, hasData);
}

void TPicture::ReadData(TStream& stream) {
  Byte len = 0;
  stream.ReadBuffer(&len, 1);
  std::string name(len, '\0');
  if (len) stream.ReadBuffer(name.data(), len);
  const String className(name.begin(), name.end());
  TGraphicClass cls = FindGraphicClass(className);
  if (!cls) throw EInvalidGraphic(Format(SRes::SUnknownGraphicClass, {className}));
  std::unique_ptr<TGraphic> g = NewGraphic(cls);
  // An empty graphic is written as its name alone.
  if (stream.Position() < stream.Size()) g->LoadFromStream(stream);
  TakeGraphic(std::move(g));
}

void TPicture::WriteData(TStream& stream) {
  if (!FGraphic) return;
  const String& name = FGraphic->ClassName();
  std::string ansi;
  for (wchar_t c : name) ansi.push_back(c < 128 ? char(c) : '?');
  if (ansi.size() > 255) ansi.resize(255);
  const Byte len = Byte(ansi.size());
  stream.WriteBuffer(&len, 1);
  stream.WriteBuffer(ansi.data(), len);
  if (!FGraphic->Empty()) FGraphic->SaveToStream(stream);
}

void TPicture::RegisterFileFormat(const String& extension, const String& description, TGraphicClass graphicClass) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  r.Files.push_back({LowerCase(StripDot(extension)), description, graphicClass});
}

void TPicture::RegisterClipboardFormat(Word format, TGraphicClass graphicClass) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  r.Clips.push_back({format, graphicClass});
}

void TPicture::UnregisterGraphicClass(TGraphicClass graphicClass) {
  if (!graphicClass) return;
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  std::erase_if(r.Files, [&](const TFileFormat& f) { return f.Class->InheritsFrom(graphicClass); });
  std::erase_if(r.Clips, [&](const TClipFormat& f) { return f.Class->InheritsFrom(graphicClass); });
}

bool TPicture::SupportsClipboardFormat(Word format) { return ClipboardFormatClass(format) != nullptr; }

TGraphicClass TPicture::FileFormatClass(const String& extension) {
  const String ext = StripDot(extension);
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  for (auto it = r.Files.rbegin(); it != r.Files.rend(); ++it)
    if (SameText(it->Extension, ext)) return it->Class;
  return nullptr;
}

TGraphicClass TPicture::ClipboardFormatClass(Word format) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  for (auto it = r.Clips.rbegin(); it != r.Clips.rend(); ++it)
    if (it->Format == format) return it->Class;
  return nullptr;
}

TGraphicClass TPicture::FindGraphicClass(const String& className) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  for (const TFileFormat& f : r.Files)
    if (SameText(f.Class->ClassName(), className)) return f.Class;
  for (const TClipFormat& f : r.Clips)
    if (SameText(f.Class->ClassName(), className)) return f.Class;
  return nullptr;
}

String TPicture::GraphicFileMask(TGraphicClass graphicClass) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  String mask;
  for (const TFileFormat& f : r.Files) {
    if (!graphicClass || !f.Class->InheritsFrom(graphicClass)) continue;
    if (!mask.empty()) mask += L';';
    mask += L"*." + f.Extension;
  }
  return mask;
}

String TPicture::GraphicFilter(TGraphicClass graphicClass) {
  const String mask = GraphicFileMask(graphicClass);
  if (mask.empty()) return String();
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  String result = String(SRes::SAllFilter) + L" (" + mask + L")|" + mask;
  for (const TFileFormat& f : r.Files)
    if (f.Class->InheritsFrom(graphicClass))
      result += L"|" + f.Description + L" (*." + f.Extension + L")|*." + f.Extension;
  return result;
}

String TPicture::GraphicExtension(TGraphicClass graphicClass) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  for (auto it = r.Files.rbegin(); it != r.Files.rend(); ++it)
    if (it->Class == graphicClass) return it->Extension;
  return String();
}

}  // namespace kw
