// Style sets: font, background and colour sets that hold the name of a display package set and
// fall back to a standard set, the registries of live sets, the 61 standard sets and the sets
// lock. The display package's set items are reached through the small item interfaces below;
// the items themselves, and the package, are the packages layer's.
#pragma once

#include <functional>
#include <memory>

#include "host/Classes.h"
#include "host/Colors.h"
#include "host/Events.h"
#include "skin/Kwmain.h"

namespace kw {

class TFont;
class TFiler;
class TKwMemoryImage;

// --- what the sets read from the display package ------------------------------------------

class TKwStyleList {
protected:
  ~TKwStyleList() = default;
};

// A named set item of the display package; List() is the collection that owns it.
class TKwStyleItem {
public:
  virtual const TKwStyleList* List() const = 0;

protected:
  ~TKwStyleItem() = default;
};

class TKwStyleItemColor : public TKwStyleItem {
public:
  virtual TColor Color() const = 0;

protected:
  ~TKwStyleItemColor() = default;
};

class TKwStyleItemBackGround : public TKwStyleItem {
public:
  virtual TColor StartGraColor() const = 0;
  virtual TColor EndGraColor() const = 0;
  virtual TColor SolidColor() const = 0;
  virtual TKwBackGroundStyle Style() const = 0;
  virtual bool Transparent() const = 0;
  // The item's image reference (never null for a package item).
  virtual TKwMemoryImage* Image() const = 0;

protected:
  ~TKwStyleItemBackGround() = default;
};

class TKwStyleItemFont : public TKwStyleItem {
public:
  virtual TFont* Font() const = 0;

protected:
  ~TKwStyleItemFont() = default;
};

// A named collection of the display package: Find is the package's lookup by name (null for
// none, and for a name that is blank).
class TKwStyleListColor : public TKwStyleList {
public:
  virtual TKwStyleItemColor* Find(const String& name) = 0;

protected:
  ~TKwStyleListColor() = default;
};

class TKwStyleListBackGround : public TKwStyleList {
public:
  virtual TKwStyleItemBackGround* Find(const String& name) = 0;

protected:
  ~TKwStyleListBackGround() = default;
};

class TKwStyleListFont : public TKwStyleList {
public:
  virtual TKwStyleItemFont* Find(const String& name) = 0;

protected:
  ~TKwStyleListFont() = default;
};

struct TKwStyleLists {
  TKwStyleListFont* Fonts = nullptr;
  TKwStyleListBackGround* BackGrounds = nullptr;
  TKwStyleListColor* Colors = nullptr;
};

// The lists of the active application controller's display package; null while there is no
// application controller. The application controller sets the accessor when the library
// starts; tests set their own.
using TKwStyleListsAccessor = const TKwStyleLists* (*)();
void KwSetStyleListsAccessor(TKwStyleListsAccessor accessor);
const TKwStyleLists* KwActiveStyleLists();

// --- style sets ---------------------------------------------------------------------------

// What the three kinds share: the name, the cached lookup, the fallback, the default flag,
// the registry entry and the "Name" stream property.
class TKwStyleSet : public TPersistent {
  KW_CLASS(TKwStyleSet, TPersistent)
  ~TKwStyleSet() override;

  const String& Name() const { return FName; }
  void SetName(const String& name);
  bool Default() const { return FDefault; }
  bool Checked() const { return FChecked; }
  // Unchecking a default set also unchecks the sets that fall back to it.
  void SetChecked(bool v);
  // An application controller exists and the name is not blank.
  bool Defined() const;
  void DefineProperties(TFiler& filer) override;
  virtual void Change();

  TNotifyEvent OnChange;

  enum TKind { skFont, skBackGround, skColor };
  TKind Kind() const { return FKind; }
  // The set this one falls back to; null for the standard (default) sets.
  TKwStyleSet* DefaultSetBase() const { return FDefaultSet; }
  // What the last lookup found (may be stale while unchecked: compare only, never follow).
  const void* InfoCache() const { return FInfoCache; }

protected:
  TKwStyleSet(TKind kind, TKwStyleSet* defaultSet, bool isDefault);
  // The resolved item or null: own name, then the default set's, cached until unchecked.
  const void* InfoItem();
  void StoreDefaultSet(TKwStyleSet* set);
  void AssignSet(const TKwStyleSet& source);
  void SetDefaultFlag(bool v);
  void BindToItem(const String& name, const void* item);
  void BindName(const String& name) { FName = name; }
  void SetFallback(TKwStyleSet* set) { FDefaultSet = set; }

public:
  // KwUpdateSetsColor and its twins.
  static void Update(TKind kind);

private:
  const void* Lookup(const TKwStyleLists& lists) const;
  TKind FKind;
  String FName;
  bool FChecked = false;
  const void* FInfoCache = nullptr;
  TKwStyleSet* FDefaultSet = nullptr;
  bool FDefault = false;
  size_t FRegIndex = 0;
};

class TKwDefaultSetColor;
class TKwDefaultSetBackGround;
class TKwDefaultSetFont;

class TKwSetColor : public TKwStyleSet {
  KW_CLASS(TKwSetColor, TKwStyleSet)
  // With defaultSet null the set falls back to KwSetColBox.
  explicit TKwSetColor(TKwDefaultSetColor* defaultSet = nullptr, bool isDefault = false);
  // A set bound directly to a package item (the display package hands its items out so).
  TKwSetColor(const String& itemName, TKwStyleItemColor* item);
  void Assign(const TPersistent* source) override;
  TKwStyleItemColor* Info() { return static_cast<TKwStyleItemColor*>(const_cast<void*>(InfoItem())); }
  virtual TColor Color();
  TKwDefaultSetColor* DefaultSetColor() const;
  void SetDefaultSetColor(TKwDefaultSetColor* set);
  void SetDefault(bool v) { SetDefaultFlag(v); }
};

class TKwSetBackGround : public TKwStyleSet {
  KW_CLASS(TKwSetBackGround, TKwStyleSet)
  // With defaultSet null the set falls back to KwSetBackGround.
  explicit TKwSetBackGround(TKwDefaultSetBackGround* defaultSet = nullptr, bool isDefault = false);
  TKwSetBackGround(const String& itemName, TKwStyleItemBackGround* item);
  void Assign(const TPersistent* source) override;
  TKwStyleItemBackGround* Info() {
    return static_cast<TKwStyleItemBackGround*>(const_cast<void*>(InfoItem()));
  }
  // The item's solid colour, else the fallback's.
  virtual TColor Color();
  // No item, or an item painted solid.
  bool SolidStyle();
  TKwDefaultSetBackGround* DefaultSetBackGround() const;
  void SetDefaultSetBackGround(TKwDefaultSetBackGround* set);
  void SetDefault(bool v) { SetDefaultFlag(v); }
};

class TKwSetFont : public TKwStyleSet {
  KW_CLASS(TKwSetFont, TKwStyleSet)
  // With defaultSet null the set falls back to KwSetFont.
  explicit TKwSetFont(TKwDefaultSetFont* defaultSet = nullptr, bool isDefault = false);
  TKwSetFont(const String& itemName, TKwStyleItemFont* item);
  void Assign(const TPersistent* source) override;
  TKwStyleItemFont* Info() { return static_cast<TKwStyleItemFont*>(const_cast<void*>(InfoItem())); }
  virtual TFont* Font();
  TKwDefaultSetFont* DefaultSetFont() const;
  void SetDefaultSetFont(TKwDefaultSetFont* set);
  // Carried for the text painters, which scale the font size by ScaleMul / ScaleDiv.
  int ScaleMul = 1;
  int ScaleDiv = 1;
};

// The standard sets: a standard name and a built-in value, answered when no package set
// carries the standard name.
class TKwDefaultSetColor : public TKwSetColor {
  KW_CLASS(TKwDefaultSetColor, TKwSetColor)
  TKwDefaultSetColor(const String& name, TColor color);
  TColor Color() override;
  TColor BuiltIn() const { return FColor; }

private:
  TColor FColor;
};

class TKwDefaultSetBackGround : public TKwSetBackGround {
  KW_CLASS(TKwDefaultSetBackGround, TKwSetBackGround)
  TKwDefaultSetBackGround(const String& name, TColor color);
  TColor Color() override;
  TColor BuiltIn() const { return FColor; }

private:
  TColor FColor;
};

class TKwDefaultSetFont : public TKwSetFont {
  KW_CLASS(TKwDefaultSetFont, TKwSetFont)
  // font is not owned (the standard font set uses KwDefaultFont).
  TKwDefaultSetFont(const String& name, TFont* font);
  TFont* Font() override;

private:
  TFont* FFont;
};

// --- invalidation over the registries (the display package calls them) --------------------

void KwUnCheckAllSetsColor(const TKwStyleListColor* list);
void KwUnCheckAllSetsBackGround(const TKwStyleListBackGround* list);
void KwUnCheckAllSetsFont(const TKwStyleListFont* list);
void KwUnCheckNilSetsColor();
void KwUnCheckNilSetsBackGround();
void KwUnCheckNilSetsFont();
void KwUnCheckSetColor(const TKwStyleItemColor* item);
void KwUnCheckSetBackGround(const TKwStyleItemBackGround* item);
void KwUnCheckSetFont(const TKwStyleItemFont* item);
// Re-resolves the unchecked sets of a kind and tells the owners of those whose answer may
// have changed (a cached item before, or an item found now), inside one screen batch.
void KwUpdateSetsColor();
void KwUpdateSetsBackGround();
void KwUpdateSetsFont();
// Live sets of a kind (plain and standard alike).
int KwStyleSetCount(TKwStyleSet::TKind kind);

// --- the sets lock ---------------------------------------------------------------------------

// Serialises package changes against painting from timer threads. Recursive for its holder.
void KwLockSets();
// True (and locked) only when nobody holds or waits for the lock; never blocks.
bool KwTryLockSets();
void KwUnLockSets();

// Holds the sets lock for a scope.
class TKwSetsLock {
public:
  TKwSetsLock() { KwLockSets(); }
  ~TKwSetsLock() { KwUnLockSets(); }
  TKwSetsLock(const TKwSetsLock&) = delete;
  TKwSetsLock& operator=(const TKwSetsLock&) = delete;
};

// --- the standard sets -------------------------------------------------------------------------

// Creates KwDefaultFont and the 61 standard sets (once); KwEndStyleSets frees them in reverse.
void KwInitStyleSets();
void KwEndStyleSets();

extern TFont* KwDefaultFont;
extern TKwDefaultSetColor *KwSetColLight, *KwSetColMLight, *KwSetColNormal, *KwSetColMDark, *KwSetColDark,
    *KwSetColBlack, *KwSetColSelect, *KwSetColMSelect, *KwSetColLSelect;
extern TKwDefaultSetBackGround *KwSetBGLight, *KwSetBGMLight, *KwSetBGNormal, *KwSetBGMDark, *KwSetBGDark,
    *KwSetBGBlack, *KwSetBGSelect, *KwSetBGMSelect, *KwSetBGLSelect, *KwSetBackGround;
extern TKwDefaultSetFont* KwSetFont;
extern TKwDefaultSetColor *KwSetColText, *KwSetStandOut, *KwSetTextDisLight, *KwSetTextDisShadow, *KwSetColShadow,
    *KwSetColBox, *KwSet3DMLight, *KwSet3DLight, *KwSet3DShadow;
extern TKwDefaultSetBackGround *KwSetCkGrayedBG, *KwSetCkCheckedBG, *KwSetCkUnCheckedBG, *KwSetHelpBG, *KwSetHintBG;
extern TKwDefaultSetColor *KwSetEdColLight, *KwSetEdAccelChar;
extern TKwDefaultSetBackGround *KwSetEdBackGround, *KwSetEdDisabledBG;
extern TKwDefaultSetColor* KwSetEdSelectedText;
extern TKwDefaultSetBackGround *KwSetEdSelectedBG, *KwSetEdReadOnlyBG, *KwSetSBGeneralBG;
extern TKwDefaultSetColor* KwSetSBGeneralColBox;
extern TKwDefaultSetBackGround *KwSetSBPagesBG, *KwSetSBButtonsBGUp, *KwSetSBButtonsBGOver, *KwSetSBButtonsBGDown;
extern TKwDefaultSetColor *KwSetSBButtonsColBox, *KwSetSBButtonsColSelBox;
extern TKwDefaultSetBackGround *KwSetSBThumbsBGUp, *KwSetSBThumbsBGOver, *KwSetSBThumbsBGDown;
extern TKwDefaultSetColor *KwSetSBThumbsColBox, *KwSetSBThumbsColSelBox, *KwSetBBColFocus, *KwSetBBColDefault;
extern TKwDefaultSetBackGround* KwSetBBBackGround;
extern TKwDefaultSetColor* KwSetBBColBox;
extern TKwDefaultSetBackGround* KwSetSBBackGround;
extern TKwDefaultSetColor *KwSetSBColBox, *KwSetSBColSelBox;

}  // namespace kw
