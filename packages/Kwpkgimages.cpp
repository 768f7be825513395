// The image package, its entries, IMKW and the references. Every mutation runs in one order:
// sets lock, change, uncheck the references concerned, re-resolve them, package Change. Readers
// check every count against what remains and build fresh content before taking it.
#include "packages/Kwpkgimages.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "core/Kwformatgraphics.h"
#include "core/Kwlinks.h"
#include "host/Application.h"
#include "host/Clipboard.h"
#include "host/Controls.h"
#include "host/Filer.h"
#include "host/Forms.h"
#include "host/Graphics.h"
#include "host/Imaging.h"
#include "host/Picture.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"
#include "packages/Kwexcept.h"
#include "skin/Kwdrawutil.h"
#include "skin/Kwsets.h"

namespace kw {

KW_REGISTER_CLASS(TKwPkgImagesImage, TObject)
KW_REGISTER_CLASS(TKwPkgImagesImages, TObject)
KW_BEGIN_CLASS(TKwPkgImages, TKwPkgInfo) {
  b.Prop(L"PkgName", &TKwPkgImages::PkgName, &TKwPkgImages::SetPkgName);
  b.Prop(L"FileName", &TKwPkgImages::FileName, &TKwPkgImages::SetFileNameProp).Stored(&TKwPkgImages::FileNameStored);
  b.Prop(L"DefaultExt", &TKwPkgImages::DefaultExt, &TKwPkgImages::SetDefaultExt)
      .Stored(&TKwPkgImages::DefaultExtStored);
  b.Event(L"OnChange", &TKwPkgImages::OnChange);
}
KW_REGISTER_CLASS(TKwMemoryImage, TKwImageReference)
KW_REGISTER_CLASS(TKwImageIMKW, TGraphic)

namespace {

constexpr Word kImagesVersion = 7;
const wchar_t kImagesKind[] = L"KwPkgImages";
const wchar_t kImageKind[] = L"KwPkgImage";

TKwAppImagesAccessor GAppImages = nullptr;
TKwPkgActiveList* GActive = nullptr;
std::unordered_set<TKwMemoryImage*>* GReferences = nullptr;

bool ShuttingDown() {
  TApplication* app = KwApplicationIfAny();
  return app && app->ComponentState().Contains(csDestroying);
}

TGraphicClass ClassByName(const String& name) { return Trim(name).empty() ? nullptr : KwFindGraphicClass(name); }

TGraphicClass ClassByExtension(const String& ext) { return KwFindGraphicFileExt(ext); }

// A byte block of a record: its count, checked against what remains, then the bytes.
std::unique_ptr<TMemoryStream> ReadBlock(TReader& r) {
  Int64 count = r.ReadInteger();
  if (count < 0 || count > r.Remaining()) throw EReadError(L"Invalid block size in image data");
  if (count == 0) return nullptr;
  auto m = std::make_unique<TMemoryStream>();
  m->SetSize(count);
  r.Read(m->Memory(), count);
  return m;
}

void WriteBlock(TWriter& w, const TMemoryStream* m) {
  Int64 size = m ? const_cast<TMemoryStream*>(m)->Size() : 0;
  w.WriteInteger(size);
  if (size > 0) w.Write(m->Memory(), size);
}

std::unique_ptr<TMemoryStream> CopyStream(const TMemoryStream* m) {
  if (!m) return nullptr;
  auto c = std::make_unique<TMemoryStream>();
  Int64 size = const_cast<TMemoryStream*>(m)->Size();
  c->SetSize(size);
  if (size > 0) std::memcpy(c->Memory(), m->Memory(), size_t(size));
  return c;
}

std::unique_ptr<TMemoryStream> RegionData(HRGN region) {
  if (!region) return nullptr;
  DWORD size = GetRegionData(region, 0, nullptr);
  if (size == 0) return nullptr;
  auto m = std::make_unique<TMemoryStream>();
  m->SetSize(size);
  if (GetRegionData(region, size, static_cast<RGNDATA*>(m->Memory())) == 0) return nullptr;
  return m;
}

HRGN RegionFrom(const TMemoryStream* m) {
  if (!m) return nullptr;
  Int64 size = const_cast<TMemoryStream*>(m)->Size();
  if (size < Int64(sizeof(RGNDATAHEADER))) return nullptr;
  return KwExtCreateRegion(nullptr, DWORD(size), m->Memory());
}

// Image-record faults and value-level read errors are package errors naming the source.
[[noreturn]] void DataError(const TComponent* source, const String& arg, const String& fault) {
  KwExcept(source, Format(L"%s: %s", {arg, fault}));
}

}  // namespace

// --- TKwPkgImagesImage ----------------------------------------------------------------------------

TKwPkgImagesImage::TKwPkgImagesImage(TKwPkgImagesImages* owner) : FOwner(owner) {}

TKwPkgImagesImage::~TKwPkgImagesImage() {
  TKwSetsLock lock;
  // A package going away re-resolves once for all its images, after they are gone, and tells
  // no handler of its own while it is half destroyed.
  TKwPkgImages* pkg = Package();
  bool quiet = LoadingProps() || ShuttingDown() || (pkg && pkg->ComponentState().Contains(csDestroying));
  if (FOwner) {
    if (FId >= 0 && size_t(FId) < FOwner->FIndex.size() && FOwner->FIndex[size_t(FId)] == this)
      FOwner->FIndex[size_t(FId)] = nullptr;
    std::erase(FOwner->FList, this);
  }
  FreeStreams();
  if (!quiet) {
    KwUnCheckImage(this);
    KwUpdateImages();
    if (pkg) pkg->Change();
  } else {
    // Nothing may keep pointing here, even when nobody is told.
    KwUnCheckImage(this);
  }
}

TKwPkgImages* TKwPkgImagesImage::Package() const { return FOwner ? FOwner->Package() : nullptr; }

bool TKwPkgImagesImage::LoadingProps() const {
  TKwPkgImages* pkg = Package();
  return pkg && pkg->LoadingProps();
}

Int64 TKwPkgImagesImage::GetSize() const { return FNativeData ? FNativeData->Size() : 0; }

String TKwPkgImagesImage::GetGraphicName() const { return FGraphicClass ? FGraphicClass->ClassName() : FGraphicName; }

int TKwPkgImagesImage::FramesOf(int width, int height) {
  if (height < 1 || width % height != 0 || width / height > 4) return 1;
  return std::max(1, width / height);
}

void TKwPkgImagesImage::ClearMask() {
  MaskFlags[0] = false;
  MaskFlags[1] = MaskFlags[2] = true;
  std::fill(std::begin(MaskParams), std::end(MaskParams), 1);
}

void TKwPkgImagesImage::FreeStreams() {
  FBitmapCache.reset();
  FNativeData.reset();
  FExternalRegion.reset();
  FInternalRegion.reset();
}

void TKwPkgImagesImage::Changed() {
  if (LoadingProps()) return;
  KwUnCheckImage(this);
  KwUpdateImages();
  if (TKwPkgImages* pkg = Package()) pkg->Change();
}

void TKwPkgImagesImage::SetId(int id) {
  if (id == FId) return;
  TKwSetsLock lock;
  bool loading = LoadingProps();
  if (FOwner && !loading) FOwner->CheckId(id);
  if (FOwner) {
    if (FId >= 0 && size_t(FId) < FOwner->FIndex.size() && FOwner->FIndex[size_t(FId)] == this)
      FOwner->FIndex[size_t(FId)] = nullptr;
    if (id >= 0) FOwner->PlaceInIndex(this, id);
  }
  FId = id;
  if (!loading) {
    KwUnCheckNilImages();
    KwUnCheckImage(this);
    KwUpdateImages();
    if (TKwPkgImages* pkg = Package()) pkg->Change();
  }
}

void TKwPkgImagesImage::LoadFromStream(TStream& stream, TGraphicClass cls) {
  if (!cls) return;
  TKwSetsLock lock;
  auto data = std::make_unique<TMemoryStream>();
  stream.SetPosition(0);
  data->CopyFrom(stream, 0);
  ClearMask();
  FreeStreams();
  FGraphicClass = cls;
  FGraphicName = cls->ClassName();
  FNativeData = std::move(data);
  ReCalcSize();
  Changed();
}

void TKwPkgImagesImage::LoadFromStreamIMKW(TStream& stream) {
  TKwSetsLock lock;
  stream.SetPosition(0);
  // Read whole into a fresh image first: a bad stream leaves this one as it was.
  TKwPkgImagesImage fresh(nullptr);
  {
    TReader reader(stream, 4096);
    Word version = KwReadPackageHeader(reader, kImageKind, kImagesVersion, Package(), L"Stream");
    try {
      fresh.ReadRecord(reader, version, false);
    } catch (const EReadError& e) {
      DataError(Package(), L"Stream", e.Message());
    }
  }
  std::memcpy(MaskFlags, fresh.MaskFlags, sizeof(MaskFlags));
  std::memcpy(MaskParams, fresh.MaskParams, sizeof(MaskParams));
  FreeStreams();
  FNativeData = std::move(fresh.FNativeData);
  FExternalRegion = std::move(fresh.FExternalRegion);
  FInternalRegion = std::move(fresh.FInternalRegion);
  FGraphicName = fresh.FGraphicName;
  FGraphicClass = fresh.FGraphicClass;
  FWidth = fresh.FWidth;
  FHeight = fresh.FHeight;
  FProtected = fresh.FProtected;
  ReCalcSize();
  Changed();
}

void TKwPkgImagesImage::LoadFromFile(const String& path) {
  const TComponent* source = Package();
  if (Trim(path).empty()) KwExceptPkg(source, L"System", 3);
  String ext = ExtractFileExt(path);
  if (ext.empty()) KwExceptPkg(source, L"System", 4);
  if (SameText(ext, L".imkw")) {
    TFileStream file(path, fmOpenRead | fmShareExclusive);
    LoadFromStreamIMKW(file);
    return;
  }
  TGraphicClass cls = ClassByExtension(ext);
  if (!cls) KwExceptPkgArgs(source, L"System", 38, {ext});
  TFileStream file(path, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file, cls);
}

void TKwPkgImagesImage::SaveToStream(TStream& stream) const {
  if (Empty()) return;
  stream.SetPosition(0);
  FNativeData->SetPosition(0);
  stream.CopyFrom(*FNativeData, 0);
}

void TKwPkgImagesImage::SaveToStreamIMKW(TStream& stream) const {
  if (Empty()) return;
  stream.SetPosition(0);
  TWriter writer(stream, 4096);
  KwWritePackageHeader(writer, kImageKind, kImagesVersion);
  WriteRecord(writer);
}

void TKwPkgImagesImage::SaveToFile(const String& path) const {
  if (Trim(path).empty()) KwExceptPkg(Package(), L"System", 3);
  if (Empty()) return;
  if (SameText(ExtractFileExt(path), L".imkw")) {
    TSafeFileStream file(path);
    SaveToStreamIMKW(file);
    file.Commit();
    return;
  }
  if (!FGraphicClass) return;
  String ext = KwGraphicExtension(FGraphicClass);
  String target = ext.empty() ? path : ChangeFileExt(path, L"." + ext);
  TSafeFileStream file(target);
  SaveToStream(file);
  file.Commit();
}

std::unique_ptr<TGraphic> TKwPkgImagesImage::NewGraphic() const {
  if (!FNativeData || !FGraphicClass || !FGraphicClass->CanCreate()) return nullptr;
  std::unique_ptr<TObject> obj(FGraphicClass->CreateInstance(nullptr));
  auto* g = dynamic_cast<TGraphic*>(obj.get());
  if (!g) return nullptr;
  obj.release();
  std::unique_ptr<TGraphic> graphic(g);
  FNativeData->SetPosition(0);
  graphic->LoadFromStream(*FNativeData);
  return graphic;
}

void TKwPkgImagesImage::ReCalcSize() {
  if (!FGraphicClass || !FNativeData) return;
  try {
    if (auto g = NewGraphic()) {
      FWidth = g->Width();
      FHeight = g->Height();
    }
  } catch (const Exception&) {
    // Bytes the class cannot read keep the stored size; drawing will show nothing.
  }
}

TMemoryStream* TKwPkgImagesImage::ReadNativeStream() const {
  if (!FNativeData) return nullptr;
  FNativeData->SetPosition(0);
  return FNativeData.get();
}

TMemoryStream* TKwPkgImagesImage::ReadStream(bool asBitmap) {
  if (Empty() || !FGraphicClass) return nullptr;
  if (FGraphicClass->InheritsFrom(TBitmap::StaticClass()) ||
      (!asBitmap && FGraphicClass->InheritsFrom(TPngImage::StaticClass()))) {
    return ReadNativeStream();
  }
  if (!FBitmapCache) {
    std::unique_ptr<TGraphic> g = NewGraphic();
    if (!g) return nullptr;
    TBitmap bmp;
    bmp.SetPixelFormat(Kw8BitPalette() ? pf8bit : pf24bit);
    bmp.SetSize(std::max(1, g->Width()), std::max(1, g->Height()));
    if (Kw8BitPalette()) KwAssignBitmapPalette(&bmp);
    bmp.Canvas()->Draw(0, 0, g.get());
    auto cache = std::make_unique<TMemoryStream>();
    bmp.SaveToStream(*cache);
    FBitmapCache = std::move(cache);
  }
  FBitmapCache->SetPosition(0);
  return FBitmapCache.get();
}

std::unique_ptr<TBitmap> TKwPkgImagesImage::NewBitmap() {
  TMemoryStream* s = ReadStream(true);
  if (!s) return nullptr;
  auto bmp = std::make_unique<TBitmap>();
  bmp->LoadFromStream(*s);
  return bmp;
}

void TKwPkgImagesImage::PixelFormat(TPixelFormat format) {
  std::unique_ptr<TBitmap> bmp = NewBitmap();
  if (!bmp || bmp->PixelFormat() == format) return;
  bmp->SetPixelFormat(format);
  KwAssignBitmapPalette(bmp.get());
  auto data = std::make_unique<TMemoryStream>();
  bmp->SaveToStream(*data);
  if (FGraphicClass && FGraphicClass->InheritsFrom(TBitmap::StaticClass())) FNativeData = std::move(data);
  else FBitmapCache = std::move(data);
}

HRGN__* TKwPkgImagesImage::CreateExternalRgn() const { return RegionFrom(FExternalRegion.get()); }
HRGN__* TKwPkgImagesImage::CreateInternalRgn() const { return RegionFrom(FInternalRegion.get()); }

void TKwPkgImagesImage::CreateExternalMask(HRGN__* region) {
  TKwSetsLock lock;
  FExternalRegion = RegionData(region);
  Changed();
}

void TKwPkgImagesImage::CreateInternalMask(HRGN__* region) {
  TKwSetsLock lock;
  FInternalRegion = RegionData(region);
  Changed();
}

void TKwPkgImagesImage::SetWindowMask(TWinControl* control, HRGN__** regionOut) {
  if (regionOut) *regionOut = CreateExternalRgn();
  if (control && control->HandleAllocated()) KwHandRegionToWindow(control->Handle(), CreateExternalRgn(), true);
}

void TKwPkgImagesImage::Assign(const TKwPkgImagesImage* other) {
  if (!other || other == this) return;
  TKwSetsLock lock;
  FGraphicClass = other->FGraphicClass;
  FGraphicName = other->FGraphicName;
  FWidth = other->FWidth;
  FHeight = other->FHeight;
  std::memcpy(MaskFlags, other->MaskFlags, sizeof(MaskFlags));
  std::memcpy(MaskParams, other->MaskParams, sizeof(MaskParams));
  FNativeData = CopyStream(other->FNativeData.get());
  FExternalRegion = CopyStream(other->FExternalRegion.get());
  FInternalRegion = CopyStream(other->FInternalRegion.get());
  FBitmapCache.reset();
  Changed();
}

void TKwPkgImagesImage::Clear() {
  if (Empty()) return;
  TKwSetsLock lock;
  ClearMask();
  FreeStreams();
  FGraphicClass = nullptr;
  FWidth = FHeight = 0;
  Changed();
}

void TKwPkgImagesImage::SaveToClipBoard() const {
  if (Empty()) return;
  if (!GetExternalMask() && !GetInternalMask()) {
    if (std::unique_ptr<TGraphic> g = NewGraphic()) {
      Clipboard()->Assign(g.get());
      return;
    }
  }
  TKwImageIMKW imkw;
  imkw.Image()->Assign(this);
  imkw.Image()->SetProtected(FProtected);
  Clipboard()->Assign(&imkw);
}

void TKwPkgImagesImage::LoadFromClipBoard() {
  // The first clipboard format whose class the library knows (the system's bitmap formats
  // among them), read as a graphic of that class.
  std::unique_ptr<TGraphic> g = KwGraphicFromClipboard();
  if (!g) return;
  TMemoryStream m;
  g->SaveToStream(m);
  if (g->InheritsFrom(TKwImageIMKW::StaticClass())) LoadFromStreamIMKW(m);
  else LoadFromStream(m, g->ClassType());
}

void TKwPkgImagesImage::ReadRecord(TReader& r, Word version, bool takeId) {
  if (r.Remaining() < 8) throw EReadError(L"Image record cut short");
  Byte raw[8];
  r.Read(raw, 8);
  int id = raw[0] | (raw[1] << 8);
  FWidth = raw[4] | (raw[5] << 8);
  FHeight = raw[6] | (raw[7] << 8);
  FGraphicName = r.ReadString();
  if (version >= 2) r.ReadBoolean();
  FNativeData = ReadBlock(r);
  if (version >= 2) FExternalRegion = ReadBlock(r);
  if (version >= 3) {
    for (bool& f : MaskFlags) f = r.ReadBoolean();
  }
  if (version >= 5) {
    for (int& p : MaskParams) p = r.ReadInteger();
  }
  if (version >= 6) FInternalRegion = ReadBlock(r);
  if (version >= 7) FProtected = r.ReadBoolean();
  FGraphicClass = ClassByName(FGraphicName);
  if (takeId) FId = id;
}

void TKwPkgImagesImage::WriteRecord(TWriter& w) const {
  // Sizes are stored in 16 bits: a bigger image cannot be written without losing it.
  if (FWidth > 65535 || FHeight > 65535 || FWidth < 0 || FHeight < 0) {
    KwExcept(Package(), Format(L"Image %d is %d x %d pixels: images of more than 65535 pixels a side cannot be saved",
                               {FId, FWidth, FHeight}));
  }
  Byte raw[8] = {Byte(FId & 0xFF), Byte((FId >> 8) & 0xFF), 0, 0, Byte(FWidth & 0xFF), Byte(FWidth >> 8),
                 Byte(FHeight & 0xFF), Byte(FHeight >> 8)};
  w.Write(raw, 8);
  w.WriteString(GetGraphicName());
  w.WriteBoolean(false);
  WriteBlock(w, FNativeData.get());
  WriteBlock(w, FExternalRegion.get());
  for (bool f : MaskFlags) w.WriteBoolean(f);
  for (int p : MaskParams) w.WriteInteger(p);
  WriteBlock(w, FInternalRegion.get());
  w.WriteBoolean(FProtected);
}

// --- TKwPkgImagesImages ------------------------------------------------------------------------------

TKwPkgImagesImages::~TKwPkgImagesImages() {
  while (!FList.empty()) delete FList.back();
  FIndex.clear();
}

TKwPkgImagesImage* TKwPkgImagesImages::FindId(int id) const {
  if (id < 0 || size_t(id) >= FIndex.size()) return nullptr;
  return FIndex[size_t(id)];
}

void TKwPkgImagesImages::CheckId(int id) const {
  if (id < 0) KwExceptPkgArgs(FOwner, L"System", 22, {id});
  if (id > 9999) KwExceptPkgArgs(FOwner, L"System", 23, {id});
  if (FindId(id)) KwExceptPkgArgs(FOwner, L"System", 24, {id});
}

int TKwPkgImagesImages::UniqueId() const {
  for (size_t i = 0; i < FIndex.size(); ++i) {
    if (!FIndex[i]) return int(i);
  }
  return int(FIndex.size());
}

void TKwPkgImagesImages::PlaceInIndex(TKwPkgImagesImage* image, int id) {
  if (size_t(id) >= FIndex.size()) FIndex.resize(size_t(id) + 1, nullptr);
  FIndex[size_t(id)] = image;
}

TKwPkgImagesImage* TKwPkgImagesImages::Add(int id) {
  CheckId(id);
  auto* image = new TKwPkgImagesImage(this);
  FList.push_back(image);
  try {
    image->SetId(id);
  } catch (...) {
    delete image;
    throw;
  }
  return image;
}

void TKwPkgImagesImages::Clear() {
  TKwSetsLock lock;
  bool notify = FOwner && !FOwner->LoadingProps() && !ShuttingDown();
  std::unique_ptr<TKwScreenBatch> batch;
  if (notify) {
    batch = std::make_unique<TKwScreenBatch>();
    KwUnCheckAllImages(this);
  }
  if (FOwner) FOwner->BeginLoading();
  while (!FList.empty()) delete FList.back();
  FIndex.clear();
  if (FOwner) FOwner->EndLoading();
  if (notify) {
    KwUpdateImages();
    batch.reset();
    FOwner->Change();
  }
}

// --- TKwPkgImages ------------------------------------------------------------------------------------

TKwPkgActiveList* KwPkgImagesList() { return GActive; }

TKwPkgImages::TKwPkgImages(TComponent* owner) : TKwPkgInfo(owner), FImages(std::make_unique<TKwPkgImagesImages>(this)) {
  FDefaultExt = L"pim";
  // Packages inside the display package are initialised through it.
  if (!owner || owner->ClassName() != L"TKwPkgDisplay") FLink->SetCodInit(KwInitImages);
  if (!GActive) GActive = new TKwPkgActiveList();
  GActive->Add(this);
  if (ComponentState().Contains(csDesigning)) KwGlobalPerform(KwEvtImagePackages);
}

TKwPkgImages::~TKwPkgImages() {
  FComponentState.Include(csDestroying);
  FImages.reset();
  if (GActive) {
    GActive->Remove(this);
    if (GActive->Empty()) {
      delete GActive;
      GActive = nullptr;
    }
  }
  // References that found nothing may find a package of the same name now.
  if (!ShuttingDown()) {
    KwUnCheckNilImages();
    KwUpdateImages();
  }
}

void TKwPkgImages::SetPkgName(const String& name) {
  if (name == FPkgName) return;
  TKwSetsLock lock;
  if (LoadingProps()) {
    FPkgName = name;
    return;
  }
  bool onForm = dynamic_cast<TCustomForm*>(Owner()) != nullptr;
  if ((onForm && SameText(Trim(name), L"System")) || SameText(Trim(name), L"User")) KwExceptPkg(this, L"System", 67);
  if (GActive) GActive->MoveToEnd(this);
  FPkgName = name;
  TKwScreenBatch batch;
  KwUnCheckAllImages(FImages.get());
  KwUnCheckNilImages();
  KwUpdateImages();
  Change();
}

bool TKwPkgImages::GetActive() const { return GActive && GActive->First(FPkgName) == this; }

void TKwPkgImages::SetActive(bool v) {
  if (!GActive || v == GetActive()) return;
  TKwSetsLock lock;
  TKwScreenBatch batch;
  if (v) {
    if (auto* previous = dynamic_cast<TKwPkgImages*>(GActive->First(FPkgName))) KwUnCheckAllImages(previous->Images());
    GActive->MoveToFront(this);
  } else {
    KwUnCheckAllImages(FImages.get());
    GActive->MoveToEnd(this);
  }
  KwUnCheckNilImages();
  KwUpdateImages();
}

void TKwPkgImages::Update() {
  TKwScreenBatch batch;
  KwUnCheckNilImages();
  KwUpdateImages();
}

void TKwPkgImages::Clear() { FImages->Clear(); }

void TKwPkgImages::NotifyInit(TObject* sender) {
  TKwPkgInfo::NotifyInit(sender);
  bool design = ComponentState().Contains(csDesigning);
  bool inModule = dynamic_cast<TDataModule*>(Owner()) != nullptr;
  bool inDisplay = Owner() && Owner()->ClassName() == L"TKwPkgDisplay";
  if ((design || inModule) && !inDisplay) Update();
}

void TKwPkgImages::xLoadFromStream(TReader& r) {
  TKwSetsLock lock;
  String arg = HeaderArg();
  Word version = KwReadPackageHeader(r, kImagesKind, kImagesVersion, this, arg);
  // Everything is read before anything is replaced: a damaged file leaves the package whole.
  String description;
  std::vector<std::unique_ptr<TKwPkgImagesImage>> images;
  TKwEditorWindow editor = EditorWindow;
  TKwMaskWindow mask = MaskWindow;
  try {
    description = r.ReadString();
    int count = r.ReadInteger();
    // Each record takes at least its 8 raw bytes.
    if (count < 0 || Int64(count) * 8 > r.Remaining()) throw EReadError(L"Invalid image count");
    std::vector<bool> used;
    for (int i = 0; i < count; ++i) {
      auto image = std::make_unique<TKwPkgImagesImage>(nullptr);
      image->ReadRecord(r, version, true);
      images.push_back(std::move(image));
    }
    if (version >= 3) {
      editor.Left = r.ReadInteger();
      editor.Top = r.ReadInteger();
      editor.Width = r.ReadInteger();
      editor.Height = r.ReadInteger();
      mask.Left = r.ReadInteger();
      mask.Top = r.ReadInteger();
      mask.Width = r.ReadInteger();
      mask.Height = r.ReadInteger();
      mask.Zoom = r.ReadInteger();
      mask.State = Byte(r.ReadInteger());
    }
    if (version >= 4) editor.State = Byte(r.ReadInteger());
    if (version >= 6) {
      mask.Flag2 = r.ReadBoolean();
      mask.Flag1 = r.ReadBoolean();
    }
  } catch (const EReadError& e) {
    DataError(this, arg, e.Message());
  }
  bool loading = LoadingProps();
  std::unique_ptr<TKwScreenBatch> batch;
  if (!loading) batch = std::make_unique<TKwScreenBatch>();
  BeginLoading();
  KwUnCheckAllImages(FImages.get());
  FImages->Clear();
  FDescription = description;
  for (auto& image : images) {
    TKwPkgImagesImage* taken = image.release();
    taken->FOwner = FImages.get();
    FImages->FList.push_back(taken);
    // A file may repeat an id: the later record takes the slot, as the index is filled in order.
    if (taken->FId >= 0) FImages->PlaceInIndex(taken, taken->FId);
  }
  EditorWindow = editor;
  MaskWindow = mask;
  EndLoading();
  if (!loading) {
    KwUnCheckNilImages();
    KwUpdateImages();
  }
  Change();
}

void TKwPkgImages::xSaveToStream(TWriter& w) {
  KwWritePackageHeader(w, kImagesKind, kImagesVersion);
  w.WriteString(FDescription);
  w.WriteInteger(FImages->Count());
  for (int i = 0; i < FImages->Count(); ++i) FImages->GetItems(i)->WriteRecord(w);
  for (int v : {EditorWindow.Left, EditorWindow.Top, EditorWindow.Width, EditorWindow.Height, MaskWindow.Left,
                MaskWindow.Top, MaskWindow.Width, MaskWindow.Height, MaskWindow.Zoom, int(MaskWindow.State),
                int(EditorWindow.State)})
    w.WriteInteger(v);
  w.WriteBoolean(MaskWindow.Flag2);
  w.WriteBoolean(MaskWindow.Flag1);
}

TKwPkgImages* KwFindPkgImages(const String& name) {
  String n = Trim(name);
  if (SameText(n, L"System") || SameText(n, L"User")) {
    const TKwAppImages* app = KwAppImages();
    if (!app) return nullptr;
    return SameText(n, L"System") ? app->System : app->User;
  }
  return GActive ? static_cast<TKwPkgImages*>(GActive->Find(n)) : nullptr;
}

void KwPkgImagesActives(TStrings* list) {
  if (GActive) GActive->Names(list);
  else list->Clear();
}

void KwPkgImagesAll(TStrings* list) {
  if (GActive) GActive->All(list);
  else list->Clear();
}

String KwReadPkgImagesDescription(const String& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  TReader r(file, 4096);
  KwReadPackageHeader(r, kImagesKind, 0xFFFF, nullptr, fileName);
  return r.ReadString();
}

void KwSetAppImagesAccessor(TKwAppImagesAccessor accessor) { GAppImages = accessor; }
const TKwAppImages* KwAppImages() { return GAppImages ? GAppImages() : nullptr; }

// --- TKwMemoryImage ----------------------------------------------------------------------------------

TKwMemoryImage::TKwMemoryImage(const String& pkgName, int id, bool useDefault)
    : TKwPkgRefPair(pkgName, id, useDefault) {
  if (!GReferences) GReferences = new std::unordered_set<TKwMemoryImage*>();
  GReferences->insert(this);
}

TKwMemoryImage::TKwMemoryImage(TKwPkgImagesImage* image) : TKwMemoryImage() {
  FChecked = true;
  FCachedImage = image;
  if (image) {
    FPkgName = image->Package() ? image->Package()->PkgName() : String();
    FId = image->Id();
  }
}

TKwMemoryImage::~TKwMemoryImage() {
  if (!GReferences) return;
  GReferences->erase(this);
  if (GReferences->empty()) {
    delete GReferences;
    GReferences = nullptr;
  }
}

void TKwMemoryImage::SetPkgName(const String& name) {
  if (!StorePkgName(name)) return;
  Invalidate();
  Change();
}

void TKwMemoryImage::SetId(int id) {
  if (!StoreId(id)) return;
  Invalidate();
  Change();
}

void TKwMemoryImage::PkgId(const String& name, int id) {
  if (!StorePkgId(name, id)) return;
  Invalidate();
  Change();
}

void TKwMemoryImage::DefaultPkgId(const String& name, int id) {
  Invalidate();
  StoreDefaultPkgId(name, id);
  Change();
}

bool TKwMemoryImage::Defined() const {
  if (!KwAppImages()) return false;
  return PairDefined();
}

TKwPkgImagesImage* TKwMemoryImage::Info() {
  if (!KwAppImages()) return nullptr;
  if (!FChecked) {
    TKwPkgImagesImage* found = nullptr;
    if (FId >= 0 && Defined()) {
      if (TKwPkgImages* pkg = KwFindPkgImages(FPkgName)) found = pkg->Images()->FindId(FId);
    } else if (!Trim(FDefaultPkgName).empty() && FDefaultIdValue >= 0) {
      if (TKwPkgImages* pkg = KwFindPkgImages(FDefaultPkgName)) found = pkg->Images()->FindId(FDefaultIdValue);
    }
    FCachedImage = found;
    FChecked = true;
  }
  return FCachedImage && !FCachedImage->Empty() ? FCachedImage : nullptr;
}

bool TKwMemoryImage::Empty() {
  if (FId == -1) return true;
  TKwPkgImagesImage* image = Info();
  return !image || image->Empty();
}

int TKwMemoryImage::Width() {
  TKwPkgImagesImage* image = FId == -1 ? nullptr : Info();
  return image ? image->Width() : 0;
}

int TKwMemoryImage::Height() {
  TKwPkgImagesImage* image = FId == -1 ? nullptr : Info();
  return image ? image->Height() : 0;
}

int TKwMemoryImage::Frames() { return TKwPkgImagesImage::FramesOf(Width(), Height()); }
int TKwMemoryImage::FrameWidth() { return Width() / Frames(); }

void TKwMemoryImage::Assign(const TPersistent* source) {
  if (auto* s = dynamic_cast<const TKwMemoryImage*>(source)) {
    if (!CopyPair(*s)) return;
    FChecked = s->FChecked;
    FCachedImage = s->FCachedImage;
    Change();
    return;
  }
  TKwImageReference::Assign(source);
}

void TKwMemoryImage::DefineProperties(TFiler& filer) {
  DefinePair(filer, dynamic_cast<TKwMemoryImage*>(filer.Ancestor()), [this](const String& n) { SetPkgName(n); },
             [this](int id) { SetId(id); });
}

// --- free routines ------------------------------------------------------------------------------------

namespace {

std::vector<TKwMemoryImage*> References() {
  if (!GReferences) return {};
  return std::vector<TKwMemoryImage*>(GReferences->begin(), GReferences->end());
}

bool ReferenceAlive(TKwMemoryImage* m) { return GReferences && GReferences->count(m) != 0; }

}  // namespace

void KwReadPkgImage(const String& name, int id, TKwMemoryImage* reference) {
  if (!reference || (reference->PkgName() == name && reference->Id() == id)) return;
  reference->PkgId(name, id);
}

void KwReadPkgBitmap(const String& name, int id, TBitmap* bitmap) {
  if (id < 0 || Trim(name).empty() || !bitmap) return;
  TKwPkgImages* pkg = KwFindPkgImages(name);
  TKwPkgImagesImage* image = pkg ? pkg->Images()->FindId(id) : nullptr;
  if (!image) return;
  if (TMemoryStream* s = image->ReadStream(true)) bitmap->LoadFromStream(*s);
}

void KwUnCheckImage(const TKwPkgImagesImage* image) {
  if (!GReferences) return;
  for (TKwMemoryImage* m : *GReferences) {
    if (m->Checked() && m->CachedImage() == image) m->SetChecked(false);
  }
}

void KwUnCheckAllImages(const TKwPkgImagesImages* images) {
  if (!GReferences || !images) return;
  for (TKwMemoryImage* m : *GReferences) {
    if (m->Checked() && m->CachedImage() && m->CachedImage()->Owner() == images) m->SetChecked(false);
  }
}

void KwUnCheckNilImages() {
  if (!GReferences) return;
  for (TKwMemoryImage* m : *GReferences) {
    if (!m->CachedImage()) m->SetChecked(false);
  }
}

void KwUpdateImages() {
  if (ShuttingDown()) return;
  TKwScreenBatch batch;
  for (TKwMemoryImage* m : References()) {
    if (!ReferenceAlive(m) || m->Checked() || !m->Defined()) continue;
    bool had = m->FCachedImage != nullptr;
    m->FCachedImage = nullptr;  // the old one may be gone: never followed
    m->Info();
    if (had || m->FCachedImage) m->Change();
  }
}

int KwImageReferenceCount() { return GReferences ? int(GReferences->size()) : 0; }

// --- TKwImageIMKW -----------------------------------------------------------------------------------

Word KwClipboardFormatIMKW() {
  static Word format = Word(KwRegisterClipboardFormat(L"KW_IMAGE"));
  return format;
}

TKwImageIMKW::TKwImageIMKW() : FImage(std::make_unique<TKwPkgImagesImage>(nullptr)) {}
TKwImageIMKW::~TKwImageIMKW() = default;

TBitmap* TKwImageIMKW::CachedBitmap() const {
  if (!FBitmap) FBitmap = FImage->NewBitmap();
  return FBitmap.get();
}

void TKwImageIMKW::Draw(TCanvas& canvas, const TRect& rect) {
  if (TBitmap* b = CachedBitmap()) canvas.StretchDraw(rect, b);
}

void TKwImageIMKW::LoadFromStream(TStream& stream) {
  // The graphic reads from the stream's position, the image from a stream of its own.
  TMemoryStream m;
  m.CopyFrom(stream, stream.Size() - stream.Position());
  FImage->LoadFromStreamIMKW(m);
  FBitmap.reset();
  Changed(this);
}

void TKwImageIMKW::SaveToStream(TStream& stream) {
  TMemoryStream m;
  FImage->SaveToStreamIMKW(m);
  m.SetPosition(0);
  stream.CopyFrom(m, 0);
}

void TKwImageIMKW::LoadFromClipboardFormat(Word format, void* data, HPALETTE__*) {
  if (format != KwClipboardFormatIMKW()) throw EInvalidGraphic(L"Unsupported clipboard format");
  bool opened = false;
  if (!data) {
    Clipboard()->Open();
    opened = true;
    data = Clipboard()->GetAsHandle(format);
  }
  try {
    if (!data) throw EInvalidGraphic(L"The clipboard holds no image");
    HGLOBAL h = static_cast<HGLOBAL>(data);
    SIZE_T size = GlobalSize(h);
    const void* p = GlobalLock(h);
    if (!p) RaiseLastOSError();
    TMemoryStream m;
    m.SetSize(Int64(size));
    std::memcpy(m.Memory(), p, size);
    GlobalUnlock(h);
    FImage->LoadFromStreamIMKW(m);
    FBitmap.reset();
  } catch (...) {
    if (opened) Clipboard()->Close();
    throw;
  }
  if (opened) Clipboard()->Close();
  Changed(this);
}

void TKwImageIMKW::SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) {
  TMemoryStream m;
  FImage->SaveToStreamIMKW(m);
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(std::max<Int64>(m.Size(), 1)));
  if (!h) RaiseLastOSError();
  void* p = GlobalLock(h);
  if (m.Size() > 0) std::memcpy(p, m.Memory(), size_t(m.Size()));
  GlobalUnlock(h);
  format = KwClipboardFormatIMKW();
  data = h;
  palette = nullptr;
}

bool TKwImageIMKW::Equals(const TGraphic* graphic) {
  auto* other = dynamic_cast<const TKwImageIMKW*>(graphic);
  return other && other->FImage.get() == FImage.get();
}

void TKwImageIMKW::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TKwImageIMKW*>(source)) {
    TMemoryStream m;
    other->FImage->SaveToStreamIMKW(m);
    if (m.Size() > 0) FImage->LoadFromStreamIMKW(m);
    else FImage->Clear();
    FBitmap.reset();
    Changed(this);
    return;
  }
  if (dynamic_cast<const TClipboard*>(source)) {
    LoadFromClipboardFormat(KwClipboardFormatIMKW(), nullptr, nullptr);
    return;
  }
  TGraphic::Assign(source);
}

void TKwImageIMKW::AssignTo(TPersistent* dest) const {
  if (auto* bmp = dynamic_cast<TBitmap*>(dest)) {
    if (TBitmap* b = CachedBitmap()) bmp->Assign(b);
    return;
  }
  TGraphic::AssignTo(dest);
}

namespace {

// What the renderers draw for a reference: a bitmap of its resolved image.
std::unique_ptr<TBitmap> ResolveImage(const TKwMemoryImage* reference) {
  if (!reference) return nullptr;
  TKwPkgImagesImage* image = const_cast<TKwMemoryImage*>(reference)->Info();
  return image ? image->NewBitmap() : nullptr;
}

// The IMKW class and its clipboard format come with the library, and so does the renderers'
// way to images.
void RegisterIMKW() {
  // The host's formats first, whichever unit starts first.
  KwInitFormatGraphics();
  KwRegisterFormatGraphic(L"imkw", L"KwImage", TKwImageIMKW::StaticClass());
  KwRegisterClipBoardFormat(KwClipboardFormatIMKW(), TKwImageIMKW::StaticClass());
  TPicture::RegisterFileFormat(L"imkw", L"KwSuite Image File", TKwImageIMKW::StaticClass());
  TPicture::RegisterClipboardFormat(KwClipboardFormatIMKW(), TKwImageIMKW::StaticClass());
  KwResolveImage = &ResolveImage;
  KwSetImageReferenceFactory([]() -> TKwImageReference* { return new TKwMemoryImage(); });
}

void UnregisterIMKW() {
  KwResolveImage = nullptr;
  KwSetImageReferenceFactory(nullptr);
  KwUnRegisterFormatGraphic(TKwImageIMKW::StaticClass());
  KwGetClipboardFormats()->Remove(TKwImageIMKW::StaticClass());
  TPicture::UnregisterGraphicClass(TKwImageIMKW::StaticClass());
}

const bool GIMKWUnit = (KwAddUnit(&RegisterIMKW, &UnregisterIMKW), true);

}  // namespace

}  // namespace kw
