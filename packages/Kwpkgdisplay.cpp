// Display set items and their collections: names unique without regard to case, found through
// a lazily rebuilt hash, every change followed by the unchecking and re-resolution of the style
// sets concerned and the package's Change.
#include "packages/Kwpkgdisplay.h"

#include <algorithm>

#include "core/Kwlinks.h"
#include "host/Application.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "packages/Kwexcept.h"
#include "packages/Kwpkgimages.h"
#include "packages/Kwpkginfo.h"

namespace kw {

KW_REGISTER_CLASS(TKwPkgDisplaySetItem, TObject)
KW_REGISTER_CLASS(TKwPkgDisplaySetColor, TKwPkgDisplaySetItem)
KW_REGISTER_CLASS(TKwPkgDisplaySetBackGround, TKwPkgDisplaySetItem)
KW_REGISTER_CLASS(TKwPkgDisplaySetFont, TKwPkgDisplaySetItem)
KW_REGISTER_CLASS(TKwPkgDisplaySetsBase, TObject)
KW_REGISTER_CLASS(TKwPkgDisplaySetsColor, TKwPkgDisplaySetsBase)
KW_REGISTER_CLASS(TKwPkgDisplaySetsBackGround, TKwPkgDisplaySetsBase)
KW_REGISTER_CLASS(TKwPkgDisplaySetsFont, TKwPkgDisplaySetsBase)

namespace {

bool ShuttingDown() {
  TApplication* app = KwApplicationIfAny();
  return app && app->ComponentState().Contains(csDestroying);
}

}  // namespace

Cardinal KwIdHash(const String& text, Cardinal n) {
  if (text.empty() || n == 0) return 0;
  Cardinal h = 0;
  for (wchar_t c : text) {
    h = (h << 4) + Cardinal(c);
    Cardinal g = h & 0xF0000000u;
    if (g != 0) h ^= g >> 24;
    h &= ~g;
  }
  return h % n;
}

// --- items ---------------------------------------------------------------------------------------

TKwPkgDisplaySetItem::~TKwPkgDisplaySetItem() = default;

void TKwPkgDisplaySetItem::Detach() {
  TKwPkgDisplaySetsBase* c = FCollection;
  if (!c) return;
  TKwSetsLock lock;
  std::erase(c->FItems, this);
  c->FHashValid = false;
  UnCheckBound();
  FCollection = nullptr;
  if (!c->LoadingProps() && !ShuttingDown()) {
    c->UpdateKind();
    c->Changed();
  }
}

void TKwPkgDisplaySetItem::SetName(const String& name) {
  if (!FCollection || FCollection->LoadingProps()) {
    FName = name;
    if (FCollection) FCollection->FHashValid = false;
    return;
  }
  if (AnsiSameText(name, FName)) return;
  TKwSetsLock lock;
  if (TKwPkgDisplaySetItem* other = FCollection->FindItem(name); other && other != this) {
    KwExceptPkgArgs(FCollection->Package(), L"System", 15, {name});
  }
  FName = name;
  FCollection->FHashValid = false;
  UnCheckBound();
  FCollection->UnCheckNil();
  FCollection->UpdateKind();
  FCollection->Changed();
}

void TKwPkgDisplaySetItem::SetDescription(const String& text) {
  if (text == FDescription) return;
  FDescription = text;
  if (FCollection) FCollection->Changed();
}

void TKwPkgDisplaySetItem::ValueChanged() {
  if (!FCollection || FCollection->LoadingProps()) return;
  TKwSetsLock lock;
  UnCheckBound();
  FCollection->UpdateKind();
  FCollection->Changed();
}

TKwPkgDisplaySetColor::TKwPkgDisplaySetColor(TKwPkgDisplaySetsColor* collection) : TKwPkgDisplaySetItem(collection) {}

void TKwPkgDisplaySetColor::SetColor(TColor v) {
  if (v == FColor) return;
  TKwSetsLock lock;
  FColor = v;
  ValueChanged();
}

const TKwStyleList* TKwPkgDisplaySetColor::List() const {
  return static_cast<const TKwStyleListColor*>(static_cast<TKwPkgDisplaySetsColor*>(Collection()));
}

TKwPkgDisplaySetBackGround::TKwPkgDisplaySetBackGround(TKwPkgDisplaySetsBackGround* collection)
    : TKwPkgDisplaySetItem(collection), FImage(std::make_unique<TKwMemoryImage>()) {
  FImage->OnChange = [this](TObject*) { ValueChanged(); };
}

TKwPkgDisplaySetBackGround::~TKwPkgDisplaySetBackGround() { Detach(); }

#define KW_BG_SETTER(Name, Type, Field) \
  void TKwPkgDisplaySetBackGround::Set##Name(Type v) { \
    if (v == Field) return;                             \
    TKwSetsLock lock;                                   \
    Field = v;                                          \
    ValueChanged();                                     \
  }
KW_BG_SETTER(StartGraColor, TColor, FStartGraColor)
KW_BG_SETTER(EndGraColor, TColor, FEndGraColor)
KW_BG_SETTER(SolidColor, TColor, FSolidColor)
KW_BG_SETTER(Style, TKwBackGroundStyle, FStyle)
KW_BG_SETTER(Transparent, bool, FTransparent)
#undef KW_BG_SETTER

void TKwPkgDisplaySetBackGround::SetImage(const TKwMemoryImage* v) { FImage->Assign(v); }

const TKwStyleList* TKwPkgDisplaySetBackGround::List() const {
  return static_cast<const TKwStyleListBackGround*>(static_cast<TKwPkgDisplaySetsBackGround*>(Collection()));
}

TKwPkgDisplaySetFont::TKwPkgDisplaySetFont(TKwPkgDisplaySetsFont* collection)
    : TKwPkgDisplaySetItem(collection), FFont(std::make_unique<TFont>()) {
  FFont->OnChange = [this](TObject*) { ValueChanged(); };
}

const TKwStyleList* TKwPkgDisplaySetFont::List() const {
  return static_cast<const TKwStyleListFont*>(static_cast<TKwPkgDisplaySetsFont*>(Collection()));
}

// --- collections -------------------------------------------------------------------------------

TKwPkgDisplaySetsBase::~TKwPkgDisplaySetsBase() = default;

bool TKwPkgDisplaySetsBase::LoadingProps() const { return FClearing || (FPackage && FPackage->LoadingProps()); }

void TKwPkgDisplaySetsBase::Changed() {
  if (FPackage) FPackage->Change();
}

void TKwPkgDisplaySetsBase::InitHash() {
  std::fill(std::begin(FBuckets), std::end(FBuckets), nullptr);
  for (TKwPkgDisplaySetItem* item : FItems) {
    if (Trim(item->FName).empty()) continue;
    Cardinal b = KwIdHash(AnsiUpperCase(item->FName), 53);
    item->FNextInBucket = FBuckets[b];
    FBuckets[b] = item;
  }
  FHashValid = true;
}

TKwPkgDisplaySetItem* TKwPkgDisplaySetsBase::FindItem(const String& name) {
  if (!FHashValid) InitHash();
  if (Trim(name).empty()) return nullptr;
  for (TKwPkgDisplaySetItem* item = FBuckets[KwIdHash(AnsiUpperCase(name), 53)]; item; item = item->FNextInBucket) {
    if (AnsiSameText(item->FName, name)) return item;
  }
  return nullptr;
}

TKwPkgDisplaySetItem* TKwPkgDisplaySetsBase::AddItem(std::unique_ptr<TKwPkgDisplaySetItem> item, const String& name) {
  TKwSetsLock lock;
  bool loading = LoadingProps();
  if (!loading && FindItem(name)) KwExceptPkgArgs(FPackage, L"System", 15, {name});
  TKwPkgDisplaySetItem* added = item.release();
  FItems.push_back(added);
  added->FName = name;
  FHashValid = false;
  if (!loading) {
    UnCheckNil();
    UpdateKind();
    Changed();
  }
  return added;
}

void TKwPkgDisplaySetsBase::Clear() {
  TKwSetsLock lock;
  bool notify = !LoadingProps() && !ShuttingDown();
  {
    std::unique_ptr<TKwScreenBatch> batch;
    if (notify) {
      batch = std::make_unique<TKwScreenBatch>();
      UnCheckAll();
    }
    FClearing = true;
    while (!FItems.empty()) delete FItems.front();
    FClearing = false;
    FHashValid = false;
    if (notify) UpdateKind();
  }
  if (notify) Changed();
}

TKwPkgDisplaySetsColor::~TKwPkgDisplaySetsColor() { Clear(); }
TKwPkgDisplaySetsBackGround::~TKwPkgDisplaySetsBackGround() { Clear(); }
TKwPkgDisplaySetsFont::~TKwPkgDisplaySetsFont() { Clear(); }

TKwStyleItemColor* TKwPkgDisplaySetsColor::Find(const String& name) {
  return static_cast<TKwPkgDisplaySetColor*>(FindItem(name));
}
TKwPkgDisplaySetColor* TKwPkgDisplaySetsColor::Add(const String& name) {
  return static_cast<TKwPkgDisplaySetColor*>(AddItem(std::make_unique<TKwPkgDisplaySetColor>(this), name));
}
TKwPkgDisplaySetColor* TKwPkgDisplaySetsColor::GetSetColor(int index) const {
  return static_cast<TKwPkgDisplaySetColor*>(Item(index));
}

TKwStyleItemBackGround* TKwPkgDisplaySetsBackGround::Find(const String& name) {
  return static_cast<TKwPkgDisplaySetBackGround*>(FindItem(name));
}
TKwPkgDisplaySetBackGround* TKwPkgDisplaySetsBackGround::Add(const String& name) {
  return static_cast<TKwPkgDisplaySetBackGround*>(AddItem(std::make_unique<TKwPkgDisplaySetBackGround>(this), name));
}
TKwPkgDisplaySetBackGround* TKwPkgDisplaySetsBackGround::GetSetBackGround(int index) const {
  return static_cast<TKwPkgDisplaySetBackGround*>(Item(index));
}

TKwStyleItemFont* TKwPkgDisplaySetsFont::Find(const String& name) {
  return static_cast<TKwPkgDisplaySetFont*>(FindItem(name));
}
TKwPkgDisplaySetFont* TKwPkgDisplaySetsFont::Add(const String& name) {
  return static_cast<TKwPkgDisplaySetFont*>(AddItem(std::make_unique<TKwPkgDisplaySetFont>(this), name));
}
TKwPkgDisplaySetFont* TKwPkgDisplaySetsFont::GetSetFont(int index) const {
  return static_cast<TKwPkgDisplaySetFont*>(Item(index));
}

}  // namespace kw
