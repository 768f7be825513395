// The string package, its items and collections, the references and the message lookup. Every
// mutation runs in one order: sets lock, change, uncheck the references concerned, re-resolve
// them, package Change. The reader checks every count against what remains and builds fresh
// content before taking it. The controller's system string update is not here.
#include "packages/Kwpkgstrings.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "core/Kwlinks.h"
#include "host/Application.h"
#include "host/Filer.h"
#include "host/Forms.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "packages/Kwexcept.h"
#include "skin/Kwsets.h"

namespace kw {

KW_REGISTER_CLASS(TKwPkgStringsItem, TObject)
KW_REGISTER_CLASS(TKwPkgStringsLabel, TKwPkgStringsItem)
KW_REGISTER_CLASS(TKwPkgStringsMessage, TKwPkgStringsItem)
KW_REGISTER_CLASS(TKwPkgStringsText, TKwPkgStringsItem)
KW_REGISTER_CLASS(TKwPkgStringsList, TObject)
KW_REGISTER_CLASS(TKwPkgStringsLabels, TKwPkgStringsList)
KW_REGISTER_CLASS(TKwPkgStringsMessages, TKwPkgStringsList)
KW_REGISTER_CLASS(TKwPkgStringsTexts, TKwPkgStringsList)
KW_BEGIN_CLASS(TKwPkgStrings, TKwPkgInfo) {
  b.Prop(L"PkgName", &TKwPkgStrings::PkgName, &TKwPkgStrings::SetPkgName);
  b.Prop(L"FileName", &TKwPkgStrings::FileName, &TKwPkgStrings::SetFileNameProp)
      .Stored(&TKwPkgStrings::FileNameStored);
  b.Prop(L"DefaultExt", &TKwPkgStrings::DefaultExt, &TKwPkgStrings::SetDefaultExt)
      .Stored(&TKwPkgStrings::DefaultExtStored);
  b.Event(L"OnChange", &TKwPkgStrings::OnChange);
}
KW_REGISTER_CLASS(TKwMemoryString, TPersistent)
KW_REGISTER_CLASS(TKwMemoryLabel, TKwMemoryString)
KW_REGISTER_CLASS(TKwMemoryMessage, TKwMemoryString)
KW_REGISTER_CLASS(TKwMemoryText, TKwMemoryString)

namespace {

constexpr Word kStringsVersion = 5;
const wchar_t kStringsKind[] = L"KwPkgStrings";
constexpr TKwStringKind kKinds[] = {skLabel, skMessage, skText};

TKwAppStringsAccessor GAppStrings = nullptr;
TKwPkgActiveList* GActive = nullptr;
// One reference list per kind.
std::array<std::unordered_set<TKwMemoryString*>*, 3> GReferences = {};

bool ShuttingDown() {
  TApplication* app = KwApplicationIfAny();
  return app && app->ComponentState().Contains(csDestroying);
}

std::unique_ptr<TKwPkgStringsItem> NewItem(TKwStringKind kind) {
  switch (kind) {
    case skLabel: return std::make_unique<TKwPkgStringsLabel>();
    case skMessage: return std::make_unique<TKwPkgStringsMessage>();
    default: return std::make_unique<TKwPkgStringsText>();
  }
}

std::vector<TKwMemoryString*> References(TKwStringKind kind) {
  auto* set = GReferences[kind];
  if (!set) return {};
  return std::vector<TKwMemoryString*>(set->begin(), set->end());
}

bool ReferenceAlive(TKwMemoryString* m) {
  auto* set = GReferences[m->Kind()];
  return set && set->count(m) != 0;
}

// Invalidate every reference into the package's three collections.
void UnCheckPackage(const TKwPkgStrings* pkg) {
  for (TKwStringKind k : kKinds) KwUnCheckAllStrings(pkg->ListOf(k));
}

void UnCheckNilAndUpdateAll() {
  for (TKwStringKind k : kKinds) KwUnCheckNilStrings(k);
  for (TKwStringKind k : kKinds) KwUpdateStrings(k);
}

// The message lookup: a string package of that name answers first; "System" falls back on the
// library's own texts for a number its package lacks, so errors stay readable without the file.
bool PackageMessage(const String& pkgName, int number, String& text) {
  if (TKwPkgStrings* pkg = KwFindPkgStrings(pkgName)) {
    if (TKwPkgStringsMessage* m = pkg->Messages()->FindId(number)) {
      text = m->Text();
      return true;
    }
  }
  if (SameText(Trim(pkgName), L"System")) return KwSystemMessage(number, text);
  return false;
}

}  // namespace

// --- TKwPkgStringsItem ----------------------------------------------------------------------------

TKwPkgStringsItem::~TKwPkgStringsItem() {
  TKwSetsLock lock;
  // A package going away tells nobody item by item: its destructor re-resolves once.
  TKwPkgStrings* pkg = Package();
  bool quiet = LoadingProps() || ShuttingDown() || (pkg && pkg->ComponentState().Contains(csDestroying));
  if (FOwner) {
    if (FId >= 0 && size_t(FId) < FOwner->FIndex.size() && FOwner->FIndex[size_t(FId)] == this)
      FOwner->FIndex[size_t(FId)] = nullptr;
    std::erase(FOwner->FList, this);
  }
  // Nothing may keep pointing here, even when nobody is told.
  KwUnCheckString(this);
  if (!quiet) {
    KwUpdateStrings(FKind);
    if (pkg) pkg->Change();
  }
}

TKwPkgStrings* TKwPkgStringsItem::Package() const { return FOwner ? FOwner->Package() : nullptr; }

bool TKwPkgStringsItem::LoadingProps() const {
  TKwPkgStrings* pkg = Package();
  return pkg && pkg->LoadingProps();
}

void TKwPkgStringsItem::Changed() {
  if (LoadingProps()) return;
  KwUnCheckString(this);
  KwUpdateStrings(FKind);
  if (TKwPkgStrings* pkg = Package()) pkg->Change();
}

void TKwPkgStringsItem::SetId(int id) {
  if (id == FId) return;
  TKwSetsLock lock;
  bool loading = LoadingProps();
  if (FOwner && !loading) FOwner->CheckId(id);
  if (FOwner && FKind == skLabel) {
    if (FId >= 0 && size_t(FId) < FOwner->FIndex.size() && FOwner->FIndex[size_t(FId)] == this)
      FOwner->FIndex[size_t(FId)] = nullptr;
    if (id >= 0) FOwner->PlaceInIndex(this, id);
  }
  FId = id;
  if (!loading) {
    KwUnCheckString(this);
    KwUnCheckNilStrings(FKind);
    KwUpdateStrings(FKind);
    if (TKwPkgStrings* pkg = Package()) pkg->Change();
  }
}

void TKwPkgStringsItem::SetText(const String& text) {
  if (text == FText) return;
  TKwSetsLock lock;
  if (FOwner && !LoadingProps()) FOwner->CheckText(text);
  FText = text;
  Changed();
}

void TKwPkgStringsLabel::SetHint(const String& hint) {
  if (hint == FHint) return;
  TKwSetsLock lock;
  if (FOwner && !LoadingProps()) FOwner->CheckText(hint);
  FHint = hint;
  Changed();
}

void TKwPkgStringsItem::Assign(const TKwPkgStringsItem* other) {
  if (!other || other == this) return;
  TKwSetsLock lock;
  FText = other->FText;
  if (FKind == skLabel && other->FKind == skLabel) FHint = other->FHint;
  Changed();
}

// --- TKwPkgStringsList -----------------------------------------------------------------------------

TKwPkgStringsList::~TKwPkgStringsList() {
  while (!FList.empty()) delete FList.back();
  FIndex.clear();
}

TKwPkgStringsItem* TKwPkgStringsList::FindItem(int id) const {
  if (id < 0) return nullptr;
  if (FKind == skLabel) return size_t(id) < FIndex.size() ? FIndex[size_t(id)] : nullptr;
  for (TKwPkgStringsItem* item : FList) {
    if (item->FId == id) return item;
  }
  return nullptr;
}

void TKwPkgStringsList::CheckId(int id) const {
  if (id < 0) KwExceptPkgArgs(FOwner, L"System", 22, {id});
  if (id > 9999) KwExceptPkgArgs(FOwner, L"System", 23, {id});
  if (FindItem(id)) KwExceptPkgArgs(FOwner, L"System", 24, {id});
}

int TKwPkgStringsList::UniqueId() const {
  if (FKind != skLabel) {
    // A temporary index over the list, as messages and texts keep none.
    std::vector<bool> used;
    for (TKwPkgStringsItem* item : FList) {
      if (item->FId < 0 || item->FId > 9999) continue;
      if (size_t(item->FId) >= used.size()) used.resize(size_t(item->FId) + 1, false);
      used[size_t(item->FId)] = true;
    }
    auto free = std::find(used.begin(), used.end(), false);
    return int(free - used.begin());
  }
  for (size_t i = 0; i < FIndex.size(); ++i) {
    if (!FIndex[i]) return int(i);
  }
  return int(FIndex.size());
}

void TKwPkgStringsList::PlaceInIndex(TKwPkgStringsItem* item, int id) {
  if (size_t(id) >= FIndex.size()) FIndex.resize(size_t(id) + 1, nullptr);
  FIndex[size_t(id)] = item;
}

TKwPkgStringsItem* TKwPkgStringsList::AddItem(int id, const String& text, const String& hint) {
  CheckId(id);
  CheckText(text);
  std::unique_ptr<TKwPkgStringsItem> fresh = NewItem(FKind);
  TKwPkgStringsItem* item = fresh.release();
  item->FOwner = this;
  FList.push_back(item);
  item->FText = text;
  item->FHint = hint;
  try {
    item->SetId(id);
  } catch (...) {
    delete item;
    throw;
  }
  return item;
}

void TKwPkgStringsList::Clear() {
  TKwSetsLock lock;
  bool notify = FOwner && !FOwner->LoadingProps() && !ShuttingDown();
  std::unique_ptr<TKwScreenBatch> batch;
  if (notify) {
    batch = std::make_unique<TKwScreenBatch>();
    KwUnCheckAllStrings(this);
  }
  if (FOwner) FOwner->BeginLoading();
  while (!FList.empty()) delete FList.front();
  FIndex.clear();
  if (FOwner) FOwner->EndLoading();
  if (notify) {
    KwUpdateStrings(FKind);
    batch.reset();
    FOwner->Change();
  }
}

TKwPkgStringsLabel* TKwPkgStringsLabels::FindLabel(const String& text) const {
  for (TKwPkgStringsItem* item : FList) {
    if (SameText(item->Text(), text)) return static_cast<TKwPkgStringsLabel*>(item);
  }
  return nullptr;
}

// --- TKwPkgStrings ---------------------------------------------------------------------------------

TKwPkgActiveList* KwPkgStringsList() { return GActive; }

TKwPkgStrings::TKwPkgStrings(TComponent* owner)
    : TKwPkgInfo(owner),
      FLabels(std::make_unique<TKwPkgStringsLabels>(this)),
      FMessages(std::make_unique<TKwPkgStringsMessages>(this)),
      FTexts(std::make_unique<TKwPkgStringsTexts>(this)) {
  FDefaultExt = L"pst";
  // Packages inside the language package are initialised through it.
  if (!owner || owner->ClassName() != L"TKwPkgLanguage") FLink->SetCodInit(KwInitStrings);
  if (!GActive) GActive = new TKwPkgActiveList();
  GActive->Add(this);
  if (ComponentState().Contains(csDesigning)) KwGlobalPerform(KwEvtStringPackages);
}

TKwPkgStrings::~TKwPkgStrings() {
  FComponentState.Include(csDestroying);
  FLabels.reset();
  FMessages.reset();
  FTexts.reset();
  if (GActive) {
    GActive->Remove(this);
    if (GActive->Empty()) {
      delete GActive;
      GActive = nullptr;
    }
  }
  // References that found nothing may find a package of the same name now.
  if (!ShuttingDown()) UnCheckNilAndUpdateAll();
  if (ComponentState().Contains(csDesigning)) KwGlobalPerform(KwEvtStringPackages);
}

TKwPkgStringsList* TKwPkgStrings::ListOf(TKwStringKind kind) const {
  switch (kind) {
    case skLabel: return FLabels.get();
    case skMessage: return FMessages.get();
    default: return FTexts.get();
  }
}

void TKwPkgStrings::SetPkgName(const String& name) {
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
  UnCheckPackage(this);
  UnCheckNilAndUpdateAll();
  Change();
}

bool TKwPkgStrings::GetActive() const { return GActive && GActive->First(FPkgName) == this; }

void TKwPkgStrings::SetActive(bool v) {
  if (!GActive || v == GetActive()) return;
  TKwSetsLock lock;
  TKwScreenBatch batch;
  if (v) {
    if (auto* previous = dynamic_cast<TKwPkgStrings*>(GActive->First(FPkgName))) UnCheckPackage(previous);
    GActive->MoveToFront(this);
  } else {
    UnCheckPackage(this);
    GActive->MoveToEnd(this);
  }
  UnCheckNilAndUpdateAll();
}

void TKwPkgStrings::Update() {
  TKwScreenBatch batch;
  UnCheckNilAndUpdateAll();
}

void TKwPkgStrings::Clear() {
  TKwSetsLock lock;
  bool notify = !LoadingProps() && !ShuttingDown();
  std::unique_ptr<TKwScreenBatch> batch;
  if (notify) {
    batch = std::make_unique<TKwScreenBatch>();
    UnCheckPackage(this);
  }
  BeginLoading();
  FLabels->Clear();
  FMessages->Clear();
  FTexts->Clear();
  EndLoading();
  if (notify) {
    for (TKwStringKind k : kKinds) KwUpdateStrings(k);
    batch.reset();
    Change();
  }
}

void TKwPkgStrings::NotifyInit(TObject* sender) {
  TKwPkgInfo::NotifyInit(sender);
  bool design = ComponentState().Contains(csDesigning);
  bool inModule = dynamic_cast<TDataModule*>(Owner()) != nullptr;
  bool inLanguage = Owner() && Owner()->ClassName() == L"TKwPkgLanguage";
  if ((design || inModule) && !inLanguage) Update();
}

void TKwPkgStrings::xLoadFromStream(TReader& r) {
  TKwSetsLock lock;
  String arg = HeaderArg();
  Word version = KwReadPackageHeader(r, kStringsKind, kStringsVersion, this, arg, 46, 47);
  // Everything is read before anything is replaced: a damaged file leaves the package whole.
  String description;
  std::array<std::vector<std::unique_ptr<TKwPkgStringsItem>>, 3> items;
  TKwEditorWindow editor = EditorWindow;
  try {
    description = r.ReadString();
    int counts[3];
    for (int& c : counts) c = r.ReadInteger();
    // The least each record takes: an integer and a string of two bytes each, one more string
    // for a label, and the flag byte since version 5.
    const Int64 least[3] = {6 + (version >= 5), 4 + (version >= 5), 4 + (version >= 5)};
    Int64 need = 0;
    for (int k = 0; k < 3; ++k) {
      if (counts[k] < 0) throw EReadError(L"Invalid string count");
      need += Int64(counts[k]) * least[k];
    }
    if (need > r.Remaining()) throw EReadError(L"Invalid string count");
    for (TKwStringKind k : kKinds) {
      for (int i = 0; i < counts[k]; ++i) {
        std::unique_ptr<TKwPkgStringsItem> item = NewItem(k);
        item->FId = r.ReadInteger();
        item->FText = r.ReadString();
        if (k == skLabel) item->FHint = r.ReadString();
        if (version >= 5) item->FProtected = r.ReadBoolean();
        items[k].push_back(std::move(item));
      }
    }
    if (version >= 3) {
      editor.Left = r.ReadInteger();
      editor.Top = r.ReadInteger();
      editor.Width = r.ReadInteger();
      editor.Height = r.ReadInteger();
    }
    if (version >= 4) editor.State = Byte(r.ReadInteger());
  } catch (const EReadError& e) {
    KwExcept(this, Format(L"%s: %s", {arg, e.Message()}));
  }
  bool loading = LoadingProps();
  std::unique_ptr<TKwScreenBatch> batch;
  if (!loading) batch = std::make_unique<TKwScreenBatch>();
  BeginLoading();
  UnCheckPackage(this);
  Clear();
  FDescription = description;
  for (TKwStringKind k : kKinds) {
    TKwPkgStringsList* list = ListOf(k);
    for (auto& item : items[k]) {
      TKwPkgStringsItem* taken = item.release();
      taken->FOwner = list;
      list->FList.push_back(taken);
      // Reading checks no ids: a repeated label id gives the slot to the later one.
      if (k == skLabel && taken->FId >= 0 && taken->FId <= 9999) list->PlaceInIndex(taken, taken->FId);
    }
  }
  EditorWindow = editor;
  EndLoading();
  if (!loading) UnCheckNilAndUpdateAll();
  Change();
}

void TKwPkgStrings::xSaveToStream(TWriter& w) {
  KwWritePackageHeader(w, kStringsKind, kStringsVersion);
  w.WriteString(FDescription);
  for (TKwStringKind k : kKinds) w.WriteInteger(ListOf(k)->Count());
  for (TKwStringKind k : kKinds) {
    TKwPkgStringsList* list = ListOf(k);
    for (int i = 0; i < list->Count(); ++i) {
      TKwPkgStringsItem* item = list->GetItem(i);
      w.WriteInteger(item->Id());
      w.WriteString(item->Text());
      if (k == skLabel) w.WriteString(item->FHint);
      w.WriteBoolean(item->Protected());
    }
  }
  for (int v : {EditorWindow.Left, EditorWindow.Top, EditorWindow.Width, EditorWindow.Height, int(EditorWindow.State)})
    w.WriteInteger(v);
}

// --- free routines ----------------------------------------------------------------------------------

TKwPkgStrings* KwFindPkgStrings(const String& name) {
  String n = Trim(name);
  if (SameText(n, L"System") || SameText(n, L"User")) {
    const TKwAppStrings* app = KwAppStrings();
    if (!app) return nullptr;
    return SameText(n, L"System") ? app->System : app->User;
  }
  return GActive ? static_cast<TKwPkgStrings*>(GActive->Find(n)) : nullptr;
}

void KwPkgStringsActives(TStrings* list) {
  list->Clear();
  if (!GActive) return;
  // Each distinct name once, with the package that answers to it.
  for (TKwPkgInfo* p : GActive->Items()) {
    if (!p->PkgName().empty() && list->IndexOf(p->PkgName()) < 0) list->AddObject(p->PkgName(), p);
  }
}

void KwPkgStringsAll(TStrings* list) {
  if (GActive) GActive->All(list);
  else list->Clear();
}

String KwReadPkgStringsDescription(const String& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  TReader r(file, 4096);
  KwReadPackageHeader(r, kStringsKind, 0xFFFF, nullptr, fileName);
  return r.ReadString();
}

void KwSetAppStringsAccessor(TKwAppStringsAccessor accessor) { GAppStrings = accessor; }
const TKwAppStrings* KwAppStrings() { return GAppStrings ? GAppStrings() : nullptr; }

namespace {

TKwPkgStringsItem* FindStringItem(const String& name, int id, TKwStringKind kind) {
  if (id < 0) return nullptr;
  TKwPkgStrings* pkg = KwFindPkgStrings(name);
  return pkg ? pkg->ListOf(kind)->FindItem(id) : nullptr;
}

}  // namespace

String KwReadPkgLabelText(const String& name, int id) {
  TKwPkgStringsItem* item = FindStringItem(name, id, skLabel);
  return item ? item->Text() : String();
}

String KwReadPkgLabelHint(const String& name, int id) {
  auto* item = static_cast<TKwPkgStringsLabel*>(FindStringItem(name, id, skLabel));
  return item ? item->Hint() : String();
}

String KwReadPkgMessage(const String& name, int id) {
  TKwPkgStringsItem* item = FindStringItem(name, id, skMessage);
  return item ? item->Text() : String();
}

String KwReadPkgText(const String& name, int id) {
  TKwPkgStringsItem* item = FindStringItem(name, id, skText);
  return item ? item->Text() : String();
}

void KwUnCheckString(const TKwPkgStringsItem* item) {
  if (!item) return;
  auto* set = GReferences[item->Kind()];
  if (!set) return;
  for (TKwMemoryString* m : *set) {
    if (m->Checked() && m->CachedItem() == item) m->SetChecked(false);
  }
}

void KwUnCheckAllStrings(const TKwPkgStringsList* list) {
  if (!list) return;
  auto* set = GReferences[list->Kind()];
  if (!set) return;
  for (TKwMemoryString* m : *set) {
    if (m->Checked() && m->CachedItem() && m->CachedItem()->Owner() == list) m->SetChecked(false);
  }
}

void KwUnCheckNilStrings(TKwStringKind kind) {
  auto* set = GReferences[kind];
  if (!set) return;
  for (TKwMemoryString* m : *set) {
    if (!m->CachedItem()) m->SetChecked(false);
  }
}

void KwUpdateStrings(TKwStringKind kind) {
  if (ShuttingDown()) return;
  TKwScreenBatch batch;
  for (TKwMemoryString* m : References(kind)) {
    if (!ReferenceAlive(m) || m->Checked() || !m->Defined()) continue;
    bool had = m->FCachedItem != nullptr;
    m->FCachedItem = nullptr;  // the old one may be gone: never followed
    m->Item();
    if (had || m->FCachedItem) m->Change();
  }
}

int KwStringReferenceCount(TKwStringKind kind) { return GReferences[kind] ? int(GReferences[kind]->size()) : 0; }

void KwUnCheckLabel(const TKwPkgStringsLabel* item) { KwUnCheckString(item); }
void KwUnCheckMessage(const TKwPkgStringsMessage* item) { KwUnCheckString(item); }
void KwUnCheckText(const TKwPkgStringsText* item) { KwUnCheckString(item); }
void KwUnCheckAllLabels(const TKwPkgStringsLabels* labels) { KwUnCheckAllStrings(labels); }
void KwUnCheckAllMessages(const TKwPkgStringsMessages* messages) { KwUnCheckAllStrings(messages); }
void KwUnCheckAllTexts(const TKwPkgStringsTexts* texts) { KwUnCheckAllStrings(texts); }
void KwUnCheckNilLabels() { KwUnCheckNilStrings(skLabel); }
void KwUnCheckNilMessages() { KwUnCheckNilStrings(skMessage); }
void KwUnCheckNilTexts() { KwUnCheckNilStrings(skText); }
void KwUpdateLabels() { KwUpdateStrings(skLabel); }
void KwUpdateMessages() { KwUpdateStrings(skMessage); }
void KwUpdateTexts() { KwUpdateStrings(skText); }

// --- references --------------------------------------------------------------------------------------

TKwMemoryString::TKwMemoryString(TKwStringKind kind, const String& pkgName, int id, bool useDefault)
    : TKwPkgRefPair(pkgName, id, useDefault), FKind(kind) {
  if (!GReferences[kind]) GReferences[kind] = new std::unordered_set<TKwMemoryString*>();
  GReferences[kind]->insert(this);
}

TKwMemoryString::~TKwMemoryString() {
  auto*& set = GReferences[FKind];
  if (!set) return;
  set->erase(this);
  if (set->empty()) {
    delete set;
    set = nullptr;
  }
}

void TKwMemoryString::SetPkgName(const String& name) {
  if (!StorePkgName(name)) return;
  Invalidate();
  Change();
}

void TKwMemoryString::SetId(int id) {
  if (!StoreId(id)) return;
  Invalidate();
  Change();
}

void TKwMemoryString::PkgId(const String& name, int id) {
  if (!StorePkgId(name, id)) return;
  Invalidate();
  Change();
}

void TKwMemoryString::DefaultPkgId(const String& name, int id) {
  Invalidate();
  StoreDefaultPkgId(name, id);
  Change();
}

bool TKwMemoryString::Defined() const {
  if (!KwAppStrings()) return false;
  return PairDefined();
}

TKwPkgStringsItem* TKwMemoryString::Item() {
  if (!KwAppStrings()) return nullptr;
  if (!FChecked) {
    TKwPkgStringsItem* found = nullptr;
    if (FId >= 0 && Defined()) found = FindStringItem(FPkgName, FId, FKind);
    else if (FId == -2 && !Trim(FDefaultPkgName).empty() && FDefaultIdValue >= 0)
      found = FindStringItem(FDefaultPkgName, FDefaultIdValue, FKind);
    FCachedItem = found;
    FChecked = true;
  }
  return FCachedItem;
}

String TKwMemoryString::Text() {
  TKwPkgStringsItem* item = FId == -1 ? nullptr : Item();
  return item ? item->Text() : String();
}

String TKwMemoryLabel::Hint() {
  TKwPkgStringsLabel* item = Id() == -1 ? nullptr : Info();
  return item ? item->Hint() : String();
}

void TKwMemoryString::Assign(const TPersistent* source) {
  if (auto* s = dynamic_cast<const TKwMemoryString*>(source); s && s->FKind == FKind) {
    if (!CopyPair(*s)) return;
    FChecked = s->FChecked;
    FCachedItem = s->FCachedItem;
    Change();
    return;
  }
  TPersistent::Assign(source);
}

void TKwMemoryString::DefineProperties(TFiler& filer) {
  DefinePair(filer, dynamic_cast<TKwMemoryString*>(filer.Ancestor()), [this](const String& n) { SetPkgName(n); },
             [this](int id) { SetId(id); });
}

namespace {

void RegisterStrings() { KwSetMessageLookup(&PackageMessage); }
void UnregisterStrings() { KwSetMessageLookup(nullptr); }

const bool GStringsUnit = (KwAddUnit(&RegisterStrings, &UnregisterStrings), true);

}  // namespace

}  // namespace kw
