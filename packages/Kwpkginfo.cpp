// The package base: header reading and writing, paths, loading and saving (saving beside the
// file and swapping it in), the form-stream keys and the active lists.
#include "packages/Kwpkginfo.h"

#include <algorithm>
#include <cstring>

#include "core/Kwlinks.h"
#include "host/Filer.h"
#include "host/Forms.h"
#include "host/Streams.h"
#include "host/Stringlist.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"
#include "packages/Kwexcept.h"

namespace kw {

KW_DEFINE_ENUM(TKwRegisterInitMode, L"rimDFM", L"rimFILE")
KW_REGISTER_CLASS(TKwPkgInfo, TComponent)

namespace {

TKwAppPathProc GAppPath = nullptr;

std::string Signature(const String& kindWord) {
  std::string s = "\x01" "123456789" "\x01";
  for (wchar_t c : kindWord) s += char(c);
  return s;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

String ProgramFolder() {
  wchar_t path[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
  return ExtractFilePath(String(path, n));
}

}  // namespace

void KwWritePackageHeader(TWriter& writer, const String& kindWord, Word version) {
  std::string sig = Signature(kindWord);
  Byte header[KwPackageHeaderSize] = {};
  size_t n = std::min<size_t>(sig.size(), 31);
  header[0] = Byte(n);
  std::memcpy(header + 1, sig.data(), n);
  header[32] = Byte(version & 0xFF);
  header[33] = Byte(version >> 8);
  writer.Write(header, KwPackageHeaderSize);
}

Word KwReadPackageHeader(TReader& reader, const String& kindWord, Word maxVersion, const TComponent* source,
                         const String& arg, int signatureMsg, int versionMsg) {
  if (reader.Remaining() < KwPackageHeaderSize) KwExceptPkgArgs(source, L"System", signatureMsg, {arg});
  Byte header[KwPackageHeaderSize];
  reader.Read(header, KwPackageHeaderSize);
  std::string sig = Signature(kindWord);
  bool same = header[0] == sig.size() && sig.size() <= 31;
  for (size_t i = 0; same && i < sig.size(); ++i) same = Lower(char(header[1 + i])) == Lower(sig[i]);
  if (!same) KwExceptPkgArgs(source, L"System", signatureMsg, {arg});
  Word version = Word(header[32] | (header[33] << 8));
  if (version > maxVersion) KwExceptPkgArgs(source, L"System", versionMsg, {arg});
  return version;
}

void KwSetAppPathProc(TKwAppPathProc proc) { GAppPath = proc; }

String KwExpandPackagePath(const String& path) {
  String p = Trim(path);
  String base = ProgramFolder();
  String full;
  bool absolute = (p.size() >= 2 && p[1] == L':') || (p.size() >= 2 && (p[0] == L'\\' || p[0] == L'/') &&
                                                       (p[1] == L'\\' || p[1] == L'/'));
  if (p.empty()) {
    full = base;
  } else {
    String joined = absolute ? p : (p[0] == L'\\' || p[0] == L'/') ? base.substr(0, 2) + p : base + p;
    // GetFullPathNameW only normalises the text; unlike changing directory, nothing global moves.
    wchar_t out[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(joined.c_str(), DWORD(std::size(out)), out, nullptr);
    full = n > 0 && n < std::size(out) ? String(out, n) : joined;
  }
  if (full.empty() || (full.back() != L'\\' && full.back() != L'/')) full += L'\\';
  return full;
}

String KwAppPath() {
  String path = GAppPath ? GAppPath() : String();
  if (Trim(path).empty()) return KwExpandPackagePath(String());
  return KwExpandPackagePath(path);
}

// --- TKwPkgInfo ---------------------------------------------------------------------------------

TKwPkgInfo::TKwPkgInfo(TComponent* owner, bool fileOnly) : TComponent(owner), FFileOnly(fileOnly) {
  FLink = std::make_unique<TKwLinkEvt>(this, KwInitOtherPackages);
  FLink->OnInit = [this](TObject* sender) { NotifyInit(sender); };
  FLink->OnEvt = [this](int evt, void* data) { NotifyEvt(evt, data); };
  FLink->OnUpdate = [this](TObject* sender) { NotifyUpdate(sender); };
  FInitMode = fileOnly ? rimFILE : rimDFM;
  FFileDate = Now();
}

TKwPkgInfo::~TKwPkgInfo() = default;

bool TKwPkgInfo::OwnerLoadingProps() const {
  auto* pkg = dynamic_cast<TKwPkgInfo*>(Owner());
  return pkg && pkg->LoadingProps();
}

bool TKwPkgInfo::LoadingProps() const {
  return (FLink && FLink->LoadingProps()) || OwnerLoadingProps();
}

void TKwPkgInfo::BeginLoading() {
  if (FLink) FLink->BeginLoading();
}

void TKwPkgInfo::EndLoading() {
  if (FLink) FLink->EndLoading();
}

void TKwPkgInfo::Change() {
  if (LoadingProps()) return;
  SetModified(true);
  OnChange(this);
}

void TKwPkgInfo::SetInitMode(TKwRegisterInitMode mode) {
  TKwRegisterInitMode effective = FFileOnly ? rimFILE : mode;
  if (effective == FInitMode) return;
  FInitMode = effective;
  FFileName.clear();
  if (!LoadingProps()) LoadFile();
}

void TKwPkgInfo::SetFileName(const String& name) {
  if (name == FFileName) return;
  bool loading = LoadingProps();
  // In rimDFM a name means nothing, and is dropped (except while the form is read).
  if (loading || FInitMode == rimFILE) FFileName = name;
  if (!loading) LoadFile();
}

void TKwPkgInfo::SetDescription(const String& text) {
  if (text == FDescription) return;
  FDescription = text;
  Change();
}

void TKwPkgInfo::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  TReader reader(stream, 4096);
  xLoadFromStream(reader);
}

void TKwPkgInfo::SaveToStream(TStream& stream) {
  stream.SetPosition(0);
  TWriter writer(stream, 4096);
  xSaveToStream(writer);
}

void TKwPkgInfo::LoadFromFile(const String& path) {
  if (Trim(path).empty()) KwExceptPkg(this, L"System", 3);
  TFileStream file(path, fmOpenRead | fmShareDenyWrite);
  FLoadingFileName = ExtractFileName(path);
  try {
    LoadFromStream(file);
  } catch (...) {
    FLoadingFileName.clear();
    throw;
  }
  FLoadingFileName.clear();
  TDateTime date;
  if (FileAge(path, date)) FFileDate = date;
}

void TKwPkgInfo::SaveToFile(const String& path) {
  if (Trim(path).empty()) KwExceptPkg(this, L"System", 3);
  FLoadingFileName = ExtractFileName(path);
  try {
    TSafeFileStream file(path);
    SaveToStream(file);
    file.Commit();
  } catch (...) {
    FLoadingFileName.clear();
    throw;
  }
  FLoadingFileName.clear();
  TDateTime date;
  if (FileAge(path, date)) FFileDate = date;
}

String TKwPkgInfo::GetPathFileName() const { return KwAppPath(); }

String TKwPkgInfo::GetFileName(const String& name) const {
  String file = name;
  if (ExtractFileExt(file).empty()) {
    String ext = FDefaultExt;
    if (!ext.empty() && ext[0] != L'.') ext = L"." + ext;
    file += ext;
  }
  return IncludeTrailingPathDelimiter(GetPathFileName()) + file;
}

void TKwPkgInfo::LoadFile() {
  if (FInitMode != rimFILE || FFileName.empty()) return;
  String path = GetFileName(FFileName);
  if (!FileExists(path)) KwExcept(this, Format(L"File '%s' not found", {path}));
  LoadFromFile(path);
  SetModified(false);
}

void TKwPkgInfo::SaveFile() {
  if (FInitMode != rimFILE || FFileName.empty()) return;
  SaveToFile(GetFileName(FFileName));
  SetModified(false);
}

void TKwPkgInfo::LoadFileEx(const String& name, TKwRegisterInitMode mode) { FileEx(name, mode, false); }

void TKwPkgInfo::SaveFileEx(const String& name, TKwRegisterInitMode mode) { FileEx(name, mode, true); }

// The file is read or written first; the name and mode are taken only when that went well.
void TKwPkgInfo::FileEx(const String& name, TKwRegisterInitMode mode, bool save) {
  if (!name.empty()) {
    if (save) SaveToFile(GetFileName(name));
    else LoadFromFile(GetFileName(name));
    SetModified(false);
  }
  FFileName = mode == rimFILE ? name : String();
  if (!FFileOnly) FInitMode = mode;
}

bool TKwPkgInfo::FileModified() const {
  if (FInitMode != rimFILE || FFileName.empty()) return false;
  String path = GetFileName(FFileName);
  TDateTime date;
  if (!FileExists(path) || !FileAge(path, date)) return false;
  return date != FFileDate;
}

bool TKwPkgInfo::Iss(const String& name) const { return AnsiSameText(name, FPkgName); }

void TKwPkgInfo::ReadData(TStream& stream) {
  if (FInitMode == rimFILE) return;
  LoadFromStream(stream);
  SetModified(false);
}

void TKwPkgInfo::WriteData(TStream& stream) {
  if (FInitMode == rimFILE) return;
  SaveToStream(stream);
  SetModified(false);
}

bool TKwPkgInfo::KwEquals(TKwPkgInfo* other) {
  if (!other || other->FInitMode != FInitMode || FInitMode == rimFILE) return false;
  TBytesStream a, b;
  WriteData(a);
  other->WriteData(b);
  return a.Bytes() == b.Bytes();
}

void TKwPkgInfo::DefineProperties(TFiler& filer) {
  TComponent::DefineProperties(filer);
  auto* ancestor = dynamic_cast<TKwPkgInfo*>(filer.Ancestor());
  if (ancestor && ancestor->ClassType() != ClassType()) ancestor = nullptr;
  bool storeMode = FFileOnly ? false : ancestor ? ancestor->FInitMode != FInitMode : FInitMode == rimFILE;
  bool storeName = ancestor ? ancestor->FFileName != FFileName : !FFileName.empty();
  bool storeData = ancestor ? !KwEquals(ancestor) : true;
  filer.DefineProperty(
      L"InitMode",
      [this](TReader& r) {
        String ident = r.ReadIdent();
        int v = GetEnumValue(TypeInfoOf<TKwRegisterInitMode>(), ident);
        if (v < 0) throw EReadError(Format(L"Invalid property value %s", {ident}));
        SetInitMode(TKwRegisterInitMode(v));
      },
      [this](TWriter& w) { w.WriteIdent(GetEnumName(TypeInfoOf<TKwRegisterInitMode>(), FInitMode)); }, storeMode);
  filer.DefineProperty(
      L"FileName", [this](TReader& r) { SetFileName(r.ReadString()); },
      [this](TWriter& w) { w.WriteString(FFileName); }, storeName);
  filer.DefineBinaryProperty(
      L"Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, storeData);
}

void TKwPkgInfo::Loaded() {
  TComponent::Loaded();
  FLink->InitLinks();
}

void TKwPkgInfo::SetParentComponent(TComponent* parent) {
  TComponent::SetParentComponent(parent);
  if (!LoadingProps()) FLink->Init();
}

void TKwPkgInfo::NotifyInit(TObject*) {
  BeginLoading();
  try {
    if (FInitMode == rimFILE) LoadFile();
    SetModified(false);
  } catch (...) {
    EndLoading();
    throw;
  }
  EndLoading();
}

// --- references ---------------------------------------------------------------------------------

TKwPkgRefPair::TKwPkgRefPair(const String& pkgName, int id, bool useDefault)
    : FDefaultPkgName(pkgName), FDefaultIdValue(id) {
  if (useDefault) {
    FId = -2;
    FHasDefault = true;
  }
}

bool TKwPkgRefPair::StorePkgName(const String& name) {
  if (name == FPkgName) return false;
  bool same = SameText(name, FPkgName);
  FPkgName = name;
  return !same;
}

bool TKwPkgRefPair::StoreId(int id) {
  if (id == FId) return false;
  FId = id;
  return true;
}

bool TKwPkgRefPair::StorePkgId(const String& name, int id) {
  if (name == FPkgName && id == FId) return false;
  FPkgName = name;
  FId = id;
  return true;
}

void TKwPkgRefPair::StoreDefaultPkgId(const String& name, int id) {
  FDefaultPkgName = name;
  FDefaultIdValue = id;
  FId = -2;
  FHasDefault = true;
}

bool TKwPkgRefPair::PairDefined() const { return (!Trim(FPkgName).empty() && FId >= 0) || FId == -2; }

bool TKwPkgRefPair::CopyPair(const TKwPkgRefPair& s) {
  if (SameText(s.FPkgName, FPkgName) && s.FId == FId) return false;
  if (s.FId == -2) {
    FPkgName = s.FDefaultPkgName;
    FId = s.FDefaultIdValue;
  } else {
    FPkgName = s.FPkgName;
    FId = s.FId;
  }
  return true;
}

void TKwPkgRefPair::DefinePair(TFiler& filer, const TKwPkgRefPair* ancestor, std::function<void(const String&)> setName,
                               std::function<void(int)> setId) {
  bool storeName = ancestor ? ancestor->FPkgName != FPkgName : !FPkgName.empty();
  bool storeId = ancestor ? ancestor->FId != FId : (FHasDefault ? FId != -2 : FId >= 0);
  filer.DefineProperty(
      L"PkgName", [setName](TReader& r) { setName(r.ReadString()); },
      [this](TWriter& w) { w.WriteString(FPkgName); }, storeName);
  filer.DefineProperty(
      L"Id", [setId](TReader& r) { setId(r.ReadInteger()); }, [this](TWriter& w) { w.WriteInteger(FId); }, storeId);
}

// --- active lists ------------------------------------------------------------------------------

void TKwPkgActiveList::Remove(TKwPkgInfo* pkg) { std::erase(FItems, pkg); }

TKwPkgInfo* TKwPkgActiveList::Find(const String& name) {
  if (Trim(name).empty()) return nullptr;
  for (auto it = FItems.begin(); it != FItems.end(); ++it) {
    TKwPkgInfo* p = *it;
    if (p->ComponentState().Contains(csDestroying) || !p->Iss(name)) continue;
    // Packages in use come first, so later lookups find them sooner.
    std::rotate(FItems.begin(), it, it + 1);
    return p;
  }
  return nullptr;
}

TKwPkgInfo* TKwPkgActiveList::First(const String& name) const {
  for (TKwPkgInfo* p : FItems) {
    if (!p->ComponentState().Contains(csDestroying) && p->Iss(name)) return p;
  }
  return nullptr;
}

void TKwPkgActiveList::MoveToFront(TKwPkgInfo* pkg) {
  auto it = std::find(FItems.begin(), FItems.end(), pkg);
  if (it != FItems.end()) std::rotate(FItems.begin(), it, it + 1);
}

void TKwPkgActiveList::MoveToEnd(TKwPkgInfo* pkg) {
  auto it = std::find(FItems.begin(), FItems.end(), pkg);
  if (it != FItems.end()) std::rotate(it, it + 1, FItems.end());
}

void TKwPkgActiveList::Names(TStrings* list) const {
  list->Clear();
  for (TKwPkgInfo* p : FItems) {
    if (!p->PkgName().empty() && list->IndexOf(p->PkgName()) < 0) list->Add(p->PkgName());
  }
}

void TKwPkgActiveList::All(TStrings* list) const {
  list->Clear();
  for (TKwPkgInfo* p : FItems) {
    if (dynamic_cast<TCustomForm*>(p->Owner())) list->AddObject(Trim(p->PkgName()), p);
  }
}

}  // namespace kw
