// Style sets: resolution through the active display package with the default-set fallback,
// the registries and their invalidation walks, the "Name" stream property, the standard sets
// and the sets lock. Painting with the sets is the renderers' business.
#include "skin/Kwsets.h"

#include <cmath>
#include <functional>
#include <unordered_set>
#include <vector>

#include "host/Filer.h"
#include "host/Graphics.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"
#include "core/Kwlinks.h"
#include "skin/Kwdrawutil.h"

namespace kw {

KW_REGISTER_CLASS(TKwStyleSet, TPersistent)
KW_REGISTER_CLASS(TKwSetColor, TKwStyleSet)
KW_REGISTER_CLASS(TKwSetBackGround, TKwStyleSet)
KW_REGISTER_CLASS(TKwSetFont, TKwStyleSet)
KW_REGISTER_CLASS(TKwDefaultSetColor, TKwSetColor)
KW_REGISTER_CLASS(TKwDefaultSetBackGround, TKwSetBackGround)
KW_REGISTER_CLASS(TKwDefaultSetFont, TKwSetFont)

namespace {

const wchar_t kDefaultName[] = L"<Default>";

TKwStyleListsAccessor GAccessor = nullptr;
bool GInitializing = false;
bool GInitialized = false;

// One registry per kind, made with its first set and freed with its last.
std::unordered_set<TKwStyleSet*>* GRegistry[3] = {nullptr, nullptr, nullptr};

std::unordered_set<TKwStyleSet*>& Registry(TKwStyleSet::TKind kind) {
  auto*& r = GRegistry[kind];
  if (!r) r = new std::unordered_set<TKwStyleSet*>();
  return *r;
}

bool IsDefaultName(const String& name) { return AnsiSameText(Trim(name), kDefaultName); }

// The walks copy the registry first: a handler may make or free sets while they run.
std::vector<TKwStyleSet*> Snapshot(TKwStyleSet::TKind kind) {
  if (!GRegistry[kind]) return {};
  return std::vector<TKwStyleSet*>(GRegistry[kind]->begin(), GRegistry[kind]->end());
}

bool Alive(TKwStyleSet::TKind kind, TKwStyleSet* s) { return GRegistry[kind] && GRegistry[kind]->count(s) != 0; }

// The sets lock: S guards the sets, C the count of holders and waiters.
struct TSetsLockState {
  CRITICAL_SECTION S;
  CRITICAL_SECTION C;
  int Holders = 0;
  TSetsLockState() {
    InitializeCriticalSection(&S);
    InitializeCriticalSection(&C);
  }
};

TSetsLockState& LockState() {
  static TSetsLockState* state = new TSetsLockState();  // lives as long as the process
  return *state;
}

}  // namespace

void KwSetStyleListsAccessor(TKwStyleListsAccessor accessor) { GAccessor = accessor; }

const TKwStyleLists* KwActiveStyleLists() { return GAccessor ? GAccessor() : nullptr; }

// --- TKwStyleSet ------------------------------------------------------------------------------

TKwStyleSet::TKwStyleSet(TKind kind, TKwStyleSet* defaultSet, bool isDefault) : FKind(kind) {
  Registry(kind).insert(this);
  FDefaultSet = defaultSet;
  if (isDefault) {
    FName = kDefaultName;
    FDefault = true;
  }
}

TKwStyleSet::~TKwStyleSet() {
  auto*& r = GRegistry[FKind];
  if (!r) return;
  r->erase(this);
  // Sets that fell back to this one (a standard set going at library end) keep no dangling
  // pointer: they answer their kind's neutral value from now on.
  for (TKwStyleSet* s : *r) {
    if (s->FDefaultSet == this) {
      s->FDefaultSet = nullptr;
      s->FChecked = false;
      s->FInfoCache = nullptr;
    }
  }
  if (r->empty()) {
    delete r;
    r = nullptr;
  }
}

void TKwStyleSet::SetName(const String& name) {
  if (AnsiSameText(name, FName)) {
    FName = name;
    return;
  }
  FName = name;
  FChecked = false;
  FInfoCache = nullptr;
  Change();
}

void TKwStyleSet::SetChecked(bool v) {
  if (v == FChecked) return;
  FChecked = v;
  if (v || FDefaultSet) return;
  for (TKwStyleSet* s : Snapshot(FKind)) {
    if (s->FDefaultSet == this) s->FChecked = false;
  }
}

bool TKwStyleSet::Defined() const { return KwActiveStyleLists() && !Trim(FName).empty(); }

void TKwStyleSet::Change() { OnChange(this); }

void TKwStyleSet::StoreDefaultSet(TKwStyleSet* set) {
  FChecked = false;
  FInfoCache = nullptr;
  FDefaultSet = set;
  Change();
}

void TKwStyleSet::SetDefaultFlag(bool v) {
  FName = v ? String(kDefaultName) : String();
  FDefault = v;
}

void TKwStyleSet::BindToItem(const String& name, const void* item) {
  FName = name;
  FChecked = true;
  FInfoCache = item;
}

void TKwStyleSet::AssignSet(const TKwStyleSet& source) {
  if (AnsiSameText(source.FName, FName)) {
    FName = source.FName;
    return;
  }
  FName = source.FName;
  FChecked = source.FChecked;
  FInfoCache = source.FInfoCache;
  Change();
}

const void* TKwStyleSet::Lookup(const TKwStyleLists& lists) const {
  switch (FKind) {
    case skFont:
      return lists.Fonts ? static_cast<const void*>(lists.Fonts->Find(FName)) : nullptr;
    case skBackGround:
      return lists.BackGrounds ? static_cast<const void*>(lists.BackGrounds->Find(FName)) : nullptr;
    case skColor:
      return lists.Colors ? static_cast<const void*>(lists.Colors->Find(FName)) : nullptr;
  }
  return nullptr;
}

const void* TKwStyleSet::InfoItem() {
  const TKwStyleLists* lists = KwActiveStyleLists();
  if (!lists) return nullptr;
  if (FChecked) return FInfoCache;
  FChecked = true;
  FInfoCache = IsDefaultName(FName) ? nullptr : Lookup(*lists);
  if (!FInfoCache && FDefaultSet) FInfoCache = FDefaultSet->InfoItem();
  return FInfoCache;
}

void TKwStyleSet::DefineProperties(TFiler& filer) {
  bool store;
  if (TPersistent* a = filer.Ancestor()) {
    auto* ancestor = dynamic_cast<TKwStyleSet*>(a);
    store = !ancestor || ancestor->FKind != FKind || ancestor->FName != FName;
  } else {
    store = FDefault ? FName != kDefaultName : !FName.empty();
  }
  filer.DefineProperty(
      L"Name", [this](TReader& r) { SetName(r.ReadString()); }, [this](TWriter& w) { w.WriteString(FName); },
      store);
}

// --- the three kinds -------------------------------------------------------------------------

// A plain set made before the library started still gets its standard fallback.
static void EnsureStandardSets() {
  if (!GInitializing && !GInitialized) KwInitStyleSets();
}

TKwSetColor::TKwSetColor(TKwDefaultSetColor* defaultSet, bool isDefault)
    : TKwStyleSet(skColor, defaultSet, isDefault) {
  if (!defaultSet) {
    EnsureStandardSets();
    SetFallback(KwSetColBox);
  }
}

TKwSetColor::TKwSetColor(const String& itemName, TKwStyleItemColor* item) : TKwSetColor(nullptr, false) {
  BindToItem(itemName, static_cast<const void*>(item));
}

void TKwSetColor::Assign(const TPersistent* source) {
  if (auto* s = dynamic_cast<const TKwSetColor*>(source)) {
    AssignSet(*s);
    return;
  }
  TKwStyleSet::Assign(source);
}

TColor TKwSetColor::Color() {
  if (TKwStyleItemColor* item = Info()) return item->Color();
  auto* d = DefaultSetColor();
  return d ? d->Color() : clNone;
}

TKwDefaultSetColor* TKwSetColor::DefaultSetColor() const { return static_cast<TKwDefaultSetColor*>(DefaultSetBase()); }

void TKwSetColor::SetDefaultSetColor(TKwDefaultSetColor* set) { StoreDefaultSet(set ? set : KwSetColBox); }

TKwSetBackGround::TKwSetBackGround(TKwDefaultSetBackGround* defaultSet, bool isDefault)
    : TKwStyleSet(skBackGround, defaultSet, isDefault) {
  if (!defaultSet) {
    EnsureStandardSets();
    SetFallback(KwSetBackGround);
  }
}

TKwSetBackGround::TKwSetBackGround(const String& itemName, TKwStyleItemBackGround* item)
    : TKwSetBackGround(nullptr, false) {
  BindToItem(itemName, static_cast<const void*>(item));
}

void TKwSetBackGround::Assign(const TPersistent* source) {
  if (auto* s = dynamic_cast<const TKwSetBackGround*>(source)) {
    AssignSet(*s);
    return;
  }
  TKwStyleSet::Assign(source);
}

TColor TKwSetBackGround::Color() {
  if (TKwStyleItemBackGround* item = Info()) return item->SolidColor();
  auto* d = DefaultSetBackGround();
  return d ? d->Color() : clBtnFace;
}

bool TKwSetBackGround::SolidStyle() {
  TKwStyleItemBackGround* item = Info();
  return !item || item->Style() == bgsSolid;
}

TKwDefaultSetBackGround* TKwSetBackGround::DefaultSetBackGround() const {
  return static_cast<TKwDefaultSetBackGround*>(DefaultSetBase());
}

void TKwSetBackGround::SetDefaultSetBackGround(TKwDefaultSetBackGround* set) {
  StoreDefaultSet(set ? set : KwSetBackGround);
}

TKwSetFont::TKwSetFont(TKwDefaultSetFont* defaultSet, bool isDefault) : TKwStyleSet(skFont, defaultSet, isDefault) {
  if (!defaultSet) {
    EnsureStandardSets();
    SetFallback(KwSetFont);
  }
}

TKwSetFont::TKwSetFont(const String& itemName, TKwStyleItemFont* item) : TKwSetFont(nullptr, false) {
  BindToItem(itemName, static_cast<const void*>(item));
}

void TKwSetFont::Assign(const TPersistent* source) {
  if (auto* s = dynamic_cast<const TKwSetFont*>(source)) {
    ScaleMul = s->ScaleMul;
    ScaleDiv = s->ScaleDiv;
    AssignSet(*s);
    return;
  }
  TKwStyleSet::Assign(source);
}

TFont* TKwSetFont::Font() {
  if (TKwStyleItemFont* item = Info()) return item->Font();
  auto* d = DefaultSetFont();
  return d ? d->Font() : KwDefaultFont;
}

TKwDefaultSetFont* TKwSetFont::DefaultSetFont() const { return static_cast<TKwDefaultSetFont*>(DefaultSetBase()); }

void TKwSetFont::SetDefaultSetFont(TKwDefaultSetFont* set) { StoreDefaultSet(set ? set : KwSetFont); }

// The standard sets run the plain constructor without a fallback of their own.
TKwDefaultSetColor::TKwDefaultSetColor(const String& name, TColor color)
    : TKwSetColor(static_cast<TKwDefaultSetColor*>(nullptr), false), FColor(color) {
  SetFallback(nullptr);
  BindName(name);
}

TColor TKwDefaultSetColor::Color() {
  if (TKwStyleItemColor* item = Info()) return item->Color();
  return FColor;
}

TKwDefaultSetBackGround::TKwDefaultSetBackGround(const String& name, TColor color)
    : TKwSetBackGround(static_cast<TKwDefaultSetBackGround*>(nullptr), false), FColor(color) {
  SetFallback(nullptr);
  BindName(name);
}

TColor TKwDefaultSetBackGround::Color() {
  if (TKwStyleItemBackGround* item = Info()) return item->SolidColor();
  return FColor;
}

TKwDefaultSetFont::TKwDefaultSetFont(const String& name, TFont* font)
    : TKwSetFont(static_cast<TKwDefaultSetFont*>(nullptr), false), FFont(font) {
  SetFallback(nullptr);
  BindName(name);
}

TFont* TKwDefaultSetFont::Font() {
  if (TKwStyleItemFont* item = Info()) return item->Font();
  return FFont;
}

// --- invalidation ------------------------------------------------------------------------------

void KwStyleSetsUnCheck(TKwStyleSet::TKind kind, const std::function<bool(TKwStyleSet&)>& which) {
  for (TKwStyleSet* s : Snapshot(kind)) {
    if (Alive(kind, s) && which(*s)) s->SetChecked(false);
  }
}

namespace {

template <class TList>
void UnCheckAll(TKwStyleSet::TKind kind, const TList* list) {
  KwStyleSetsUnCheck(kind, [kind, list](TKwStyleSet& s) {
    // Only checked sets hold a cache that is safe to follow.
    if (!s.Checked() || !s.InfoCache()) return false;
    const TKwStyleItem* item = nullptr;
    switch (kind) {
      case TKwStyleSet::skColor: item = static_cast<const TKwStyleItemColor*>(s.InfoCache()); break;
      case TKwStyleSet::skBackGround: item = static_cast<const TKwStyleItemBackGround*>(s.InfoCache()); break;
      case TKwStyleSet::skFont: item = static_cast<const TKwStyleItemFont*>(s.InfoCache()); break;
    }
    return item->List() == list;
  });
}

void UnCheckNil(TKwStyleSet::TKind kind) {
  KwStyleSetsUnCheck(kind, [](TKwStyleSet& s) { return s.InfoCache() == nullptr; });
}

void UnCheckItem(TKwStyleSet::TKind kind, const void* item) {
  KwStyleSetsUnCheck(kind, [item](TKwStyleSet& s) { return s.Checked() && s.InfoCache() == item; });
}

}  // namespace

void KwUnCheckAllSetsColor(const TKwStyleListColor* list) { UnCheckAll(TKwStyleSet::skColor, list); }
void KwUnCheckAllSetsBackGround(const TKwStyleListBackGround* list) { UnCheckAll(TKwStyleSet::skBackGround, list); }
void KwUnCheckAllSetsFont(const TKwStyleListFont* list) { UnCheckAll(TKwStyleSet::skFont, list); }
void KwUnCheckNilSetsColor() { UnCheckNil(TKwStyleSet::skColor); }
void KwUnCheckNilSetsBackGround() { UnCheckNil(TKwStyleSet::skBackGround); }
void KwUnCheckNilSetsFont() { UnCheckNil(TKwStyleSet::skFont); }
void KwUnCheckSetColor(const TKwStyleItemColor* item) { UnCheckItem(TKwStyleSet::skColor, item); }
void KwUnCheckSetBackGround(const TKwStyleItemBackGround* item) { UnCheckItem(TKwStyleSet::skBackGround, item); }
void KwUnCheckSetFont(const TKwStyleItemFont* item) { UnCheckItem(TKwStyleSet::skFont, item); }

void TKwStyleSet::Update(TKind kind) {
  // The owners told here repaint once, when the outermost batch ends.
  TKwScreenBatch batch;
  for (TKwStyleSet* s : Snapshot(kind)) {
    if (!Alive(kind, s) || s->FChecked) continue;
    bool had = s->FInfoCache != nullptr;
    if (KwActiveStyleLists()) {
      s->InfoItem();
    } else {
      s->FInfoCache = nullptr;
    }
    if (had || s->FInfoCache) s->Change();
  }
}

void KwUpdateSetsColor() { TKwStyleSet::Update(TKwStyleSet::skColor); }
void KwUpdateSetsBackGround() { TKwStyleSet::Update(TKwStyleSet::skBackGround); }
void KwUpdateSetsFont() { TKwStyleSet::Update(TKwStyleSet::skFont); }

int KwStyleSetCount(TKwStyleSet::TKind kind) { return GRegistry[kind] ? int(GRegistry[kind]->size()) : 0; }

// --- the lock ----------------------------------------------------------------------------------

void KwLockSets() {
  TSetsLockState& l = LockState();
  EnterCriticalSection(&l.C);
  if (l.Holders == INT32_MAX) {
    LeaveCriticalSection(&l.C);
    throw EIntOverflow(L"Arithmetic overflow");
  }
  ++l.Holders;
  LeaveCriticalSection(&l.C);
  EnterCriticalSection(&l.S);
}

bool KwTryLockSets() {
  TSetsLockState& l = LockState();
  EnterCriticalSection(&l.C);
  bool free = l.Holders == 0;
  if (free) KwLockSets();  // C is re-entered by its own holder; S is free since nobody counts
  LeaveCriticalSection(&l.C);
  return free;
}

void KwUnLockSets() {
  TSetsLockState& l = LockState();
  LeaveCriticalSection(&l.S);
  EnterCriticalSection(&l.C);
  --l.Holders;
  LeaveCriticalSection(&l.C);
}

// --- the standard sets -------------------------------------------------------------------------

TFont* KwDefaultFont = nullptr;
TKwDefaultSetColor *KwSetColLight, *KwSetColMLight, *KwSetColNormal, *KwSetColMDark, *KwSetColDark, *KwSetColBlack,
    *KwSetColSelect, *KwSetColMSelect, *KwSetColLSelect;
TKwDefaultSetBackGround *KwSetBGLight, *KwSetBGMLight, *KwSetBGNormal, *KwSetBGMDark, *KwSetBGDark, *KwSetBGBlack,
    *KwSetBGSelect, *KwSetBGMSelect, *KwSetBGLSelect, *KwSetBackGround;
TKwDefaultSetFont* KwSetFont;
TKwDefaultSetColor *KwSetColText, *KwSetStandOut, *KwSetTextDisLight, *KwSetTextDisShadow, *KwSetColShadow,
    *KwSetColBox, *KwSet3DMLight, *KwSet3DLight, *KwSet3DShadow;
TKwDefaultSetBackGround *KwSetCkGrayedBG, *KwSetCkCheckedBG, *KwSetCkUnCheckedBG, *KwSetHelpBG, *KwSetHintBG;
TKwDefaultSetColor *KwSetEdColLight, *KwSetEdAccelChar;
TKwDefaultSetBackGround *KwSetEdBackGround, *KwSetEdDisabledBG;
TKwDefaultSetColor* KwSetEdSelectedText;
TKwDefaultSetBackGround *KwSetEdSelectedBG, *KwSetEdReadOnlyBG, *KwSetSBGeneralBG;
TKwDefaultSetColor* KwSetSBGeneralColBox;
TKwDefaultSetBackGround *KwSetSBPagesBG, *KwSetSBButtonsBGUp, *KwSetSBButtonsBGOver, *KwSetSBButtonsBGDown;
TKwDefaultSetColor *KwSetSBButtonsColBox, *KwSetSBButtonsColSelBox;
TKwDefaultSetBackGround *KwSetSBThumbsBGUp, *KwSetSBThumbsBGOver, *KwSetSBThumbsBGDown;
TKwDefaultSetColor *KwSetSBThumbsColBox, *KwSetSBThumbsColSelBox, *KwSetBBColFocus, *KwSetBBColDefault;
TKwDefaultSetBackGround* KwSetBBBackGround;
TKwDefaultSetColor* KwSetBBColBox;
TKwDefaultSetBackGround* KwSetSBBackGround;
TKwDefaultSetColor *KwSetSBColBox, *KwSetSBColSelBox;

namespace {

// The standard sets in the order they are made; freed in reverse.
std::vector<TKwStyleSet*>* GStandard = nullptr;

template <class T, class V>
T* Make(T*& global, const wchar_t* name, V value) {
  global = new T(name, value);
  GStandard->push_back(global);
  return global;
}

}  // namespace

void KwInitStyleSets() {
  if (GInitialized || GInitializing) return;
  GInitializing = true;
  LockState();
  GStandard = new std::vector<TKwStyleSet*>();
  const TColor grey = TColor(0xE2E2E2);
  TColor m = KwIntermediateColor(clWhite, clBtnFace, 2, 3);
  TColor mDark = KwIntermediateColor(clBtnFace, clBtnShadow, 1, 2);
  TColor mSelect = KwIntermediateColor(clHighlight, m, 5, 8);
  TColor lSelect = KwIntermediateColor(clHighlight, m, 7, 8);
  Make(KwSetColLight, L"Dft_ColLight", clWhite);
  Make(KwSetColMLight, L"Dft_ColMLight", m);
  Make(KwSetColNormal, L"Dft_ColNormal", clBtnFace);
  Make(KwSetColMDark, L"Dft_ColMDark", mDark);
  Make(KwSetColDark, L"Dft_ColDark", clBtnShadow);
  Make(KwSetColBlack, L"Dft_ColBlack", clBlack);
  Make(KwSetColSelect, L"Dft_ColSelect", clHighlight);
  Make(KwSetColMSelect, L"Dft_ColMSelect", mSelect);
  Make(KwSetColLSelect, L"Dft_ColLSelect", lSelect);
  Make(KwSetBGLight, L"Dft_BGLight", clWhite);
  Make(KwSetBGMLight, L"Dft_BGMLight", m);
  Make(KwSetBGNormal, L"Dft_BGNormal", clBtnFace);
  Make(KwSetBGMDark, L"Dft_BGMDark", mDark);
  Make(KwSetBGDark, L"Dft_BGDark", clBtnShadow);
  Make(KwSetBGBlack, L"Dft_BGBlack", clBlack);
  Make(KwSetBGSelect, L"Dft_BGSelect", clHighlight);
  Make(KwSetBGMSelect, L"Dft_BGMSelect", mSelect);
  Make(KwSetBGLSelect, L"Dft_BGLSelect", lSelect);
  Make(KwSetBackGround, L"Dft_BackGround", clBtnFace);
  KwDefaultFont = new TFont();
  Make(KwSetFont, L"Dft_Font", KwDefaultFont);
  Make(KwSetColText, L"Dft_ColText", clWindowText);
  Make(KwSetStandOut, L"Dft_StandOut", clRed);
  Make(KwSetTextDisLight, L"Dft_TextDisLight", clBtnHighlight);
  Make(KwSetTextDisShadow, L"Dft_TextDisShadow", clBtnShadow);
  Make(KwSetColShadow, L"Dft_ColShadow", clBtnShadow);
  Make(KwSetColBox, L"Dft_ColBox", clBlack);
  Make(KwSet3DMLight, L"Dft_3DMLight", grey);
  Make(KwSet3DLight, L"Dft_3DLight", clBtnHighlight);
  Make(KwSet3DShadow, L"Dft_3DShadow", clBtnShadow);
  Make(KwSetCkGrayedBG, L"Dft_CkGrayedBG", grey);
  Make(KwSetCkCheckedBG, L"Dft_CkCheckedBG", clBtnShadow);
  Make(KwSetCkUnCheckedBG, L"Dft_CkUnCheckedBG", clBtnHighlight);
  Make(KwSetHelpBG, L"Dft_HelpBG", clInfoBk);
  Make(KwSetHintBG, L"Dft_HintBG", clInfoBk);
  Make(KwSetEdColLight, L"Dft_EdColLight", clInfoBk);
  Make(KwSetEdAccelChar, L"Dft_EdAccelChar", clWindowText);
  Make(KwSetEdBackGround, L"Dft_EdBackGround", clWindow);
  Make(KwSetEdDisabledBG, L"Dft_EdDisabledBG", grey);
  Make(KwSetEdSelectedText, L"Dft_EdSelectedText", clHighlightText);
  Make(KwSetEdSelectedBG, L"Dft_EdSelectedBG", clHighlight);
  Make(KwSetEdReadOnlyBG, L"Dft_EdReadOnlyBG", clWindow);
  Make(KwSetSBGeneralBG, L"Dft_SBGeneralBG", grey);
  Make(KwSetSBGeneralColBox, L"Dft_SBGeneralColBox", clBtnHighlight);
  Make(KwSetSBPagesBG, L"Dft_SBPagesBG", clBlack);
  Make(KwSetSBButtonsBGUp, L"Dft_SBButtonsBGUp", clBtnFace);
  Make(KwSetSBButtonsBGOver, L"Dft_SBButtonsBGOver", clBtnShadow);
  Make(KwSetSBButtonsBGDown, L"Dft_SBButtonsBGDown", clBlack);
  Make(KwSetSBButtonsColBox, L"Dft_SBButtonsColBox", clBtnShadow);
  Make(KwSetSBButtonsColSelBox, L"Dft_SBButtonsColSelBox", clBtnShadow);
  Make(KwSetSBThumbsBGUp, L"Dft_SBThumbsBGUp", clBtnFace);
  Make(KwSetSBThumbsBGOver, L"Dft_SBThumbsBGOver", clBtnShadow);
  Make(KwSetSBThumbsBGDown, L"Dft_SBThumbsBGDown", clBlack);
  Make(KwSetSBThumbsColBox, L"Dft_SBThumbsColBox", clBtnShadow);
  Make(KwSetSBThumbsColSelBox, L"Dft_SBThumbsColSelBox", clBtnShadow);
  Make(KwSetBBColFocus, L"Dft_BBColFocus", clHighlight);
  Make(KwSetBBColDefault, L"Dft_BBColDefault", clBlack);
  Make(KwSetBBBackGround, L"Dft_BBBackGround", clBtnFace);
  Make(KwSetBBColBox, L"Dft_BBColBox", clBlack);
  Make(KwSetSBBackGround, L"Dft_SBBackGround", clBtnFace);
  Make(KwSetSBColBox, L"Dft_SBColBox", clBlack);
  Make(KwSetSBColSelBox, L"Dft_SBColSelBox", clHighlight);
  GInitializing = false;
  GInitialized = true;
}

// The standard sets come and go with the library.
const bool GUnitAdded = (KwAddUnit(&KwInitStyleSets, &KwEndStyleSets), true);

void KwEndStyleSets() {
  if (!GInitialized) return;
  while (!GStandard->empty()) {
    delete GStandard->back();
    GStandard->pop_back();
  }
  delete GStandard;
  GStandard = nullptr;
  delete KwDefaultFont;
  KwDefaultFont = nullptr;
  GInitialized = false;
}

}  // namespace kw
