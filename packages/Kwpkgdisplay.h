// The display package's named sets as style sets read them: font, background and colour set
// items, their collections with the 53-bucket name hash, and KwIdHash. The display package's
// file content and its two image packages come with the display package itself.
#pragma once

#include <memory>
#include <vector>

#include "host/Graphics.h"
#include "skin/Kwsets.h"

namespace kw {

class TKwPkgInfo;
class TKwMemoryImage;
class TKwPkgDisplaySetsBase;

// The classic ELF string hash over the UTF-16 characters, modulo n (0 for an empty text).
Cardinal KwIdHash(const String& text, Cardinal n);

// What the three kinds of items share: name, description and their collection.
class TKwPkgDisplaySetItem : public TObject {
  KW_CLASS(TKwPkgDisplaySetItem, TObject)
  ~TKwPkgDisplaySetItem() override;
  const String& Name() const { return FName; }
  // Message 15 when another item of the collection has the name (letter case aside).
  void SetName(const String& name);
  const String& Description() const { return FDescription; }
  void SetDescription(const String& text);
  TKwPkgDisplaySetsBase* Collection() const { return FCollection; }

protected:
  explicit TKwPkgDisplaySetItem(TKwPkgDisplaySetsBase* collection) : FCollection(collection) {}
  // A value changed: the style sets bound to the item re-resolve, the package changes.
  void ValueChanged();
  virtual void UnCheckBound() = 0;
  // Leaves the collection, unchecking the sets bound to it; each kind's destructor calls it
  // while the item is still whole.
  void Detach();

private:
  friend class TKwPkgDisplaySetsBase;
  TKwPkgDisplaySetsBase* FCollection;
  String FName;
  String FDescription;
  TKwPkgDisplaySetItem* FNextInBucket = nullptr;
};

class TKwPkgDisplaySetsBase : public TObject {
  KW_CLASS(TKwPkgDisplaySetsBase, TObject)
  ~TKwPkgDisplaySetsBase() override;
  TKwPkgInfo* Package() const { return FPackage; }
  int Count() const { return int(FItems.size()); }
  TKwPkgDisplaySetItem* Item(int index) const { return FItems.at(size_t(index)); }
  TKwPkgDisplaySetItem* FindItem(const String& name);
  void InitHash();
  void Clear();
  bool LoadingProps() const;

protected:
  explicit TKwPkgDisplaySetsBase(TKwPkgInfo* package) : FPackage(package) {}
  TKwPkgDisplaySetItem* AddItem(std::unique_ptr<TKwPkgDisplaySetItem> item, const String& name);
  virtual void UnCheckAll() = 0;
  virtual void UnCheckNil() = 0;
  virtual void UpdateKind() = 0;

private:
  friend class TKwPkgDisplaySetItem;
  void Changed();
  TKwPkgInfo* FPackage;
  std::vector<TKwPkgDisplaySetItem*> FItems;
  TKwPkgDisplaySetItem* FBuckets[53] = {};
  bool FHashValid = false;
  bool FClearing = false;
};

class TKwPkgDisplaySetsColor;
class TKwPkgDisplaySetsBackGround;
class TKwPkgDisplaySetsFont;

class TKwPkgDisplaySetColor : public TKwPkgDisplaySetItem, public TKwStyleItemColor {
  KW_CLASS(TKwPkgDisplaySetColor, TKwPkgDisplaySetItem)
  explicit TKwPkgDisplaySetColor(TKwPkgDisplaySetsColor* collection);
  ~TKwPkgDisplaySetColor() override { Detach(); }
  TColor Color() const override { return FColor; }
  void SetColor(TColor v);
  const TKwStyleList* List() const override;

protected:
  void UnCheckBound() override { KwUnCheckSetColor(this); }

private:
  TColor FColor = clNone;
};

class TKwPkgDisplaySetBackGround : public TKwPkgDisplaySetItem, public TKwStyleItemBackGround {
  KW_CLASS(TKwPkgDisplaySetBackGround, TKwPkgDisplaySetItem)
  explicit TKwPkgDisplaySetBackGround(TKwPkgDisplaySetsBackGround* collection);
  ~TKwPkgDisplaySetBackGround() override;
  TColor StartGraColor() const override { return FStartGraColor; }
  void SetStartGraColor(TColor v);
  TColor EndGraColor() const override { return FEndGraColor; }
  void SetEndGraColor(TColor v);
  TColor SolidColor() const override { return FSolidColor; }
  void SetSolidColor(TColor v);
  TKwBackGroundStyle Style() const override { return FStyle; }
  void SetStyle(TKwBackGroundStyle v);
  bool Transparent() const override { return FTransparent; }
  void SetTransparent(bool v);
  TKwMemoryImage* Image() const override { return FImage.get(); }
  void SetImage(const TKwMemoryImage* v);
  const TKwStyleList* List() const override;

protected:
  void UnCheckBound() override { KwUnCheckSetBackGround(this); }

private:
  TColor FStartGraColor = clWhite;
  TColor FEndGraColor = clBtnFace;
  TColor FSolidColor = clBtnFace;
  TKwBackGroundStyle FStyle = bgsSolid;
  bool FTransparent = false;
  std::unique_ptr<TKwMemoryImage> FImage;
};

class TKwPkgDisplaySetFont : public TKwPkgDisplaySetItem, public TKwStyleItemFont {
  KW_CLASS(TKwPkgDisplaySetFont, TKwPkgDisplaySetItem)
  explicit TKwPkgDisplaySetFont(TKwPkgDisplaySetsFont* collection);
  ~TKwPkgDisplaySetFont() override { Detach(); }
  TFont* Font() const override { return FFont.get(); }
  void SetFont(const TFont* v) { FFont->Assign(v); }
  const TKwStyleList* List() const override;

protected:
  void UnCheckBound() override { KwUnCheckSetFont(this); }

private:
  std::unique_ptr<TFont> FFont;
};

class TKwPkgDisplaySetsColor : public TKwPkgDisplaySetsBase, public TKwStyleListColor {
  KW_CLASS(TKwPkgDisplaySetsColor, TKwPkgDisplaySetsBase)
  explicit TKwPkgDisplaySetsColor(TKwPkgInfo* package) : TKwPkgDisplaySetsBase(package) {}
  ~TKwPkgDisplaySetsColor() override;
  TKwStyleItemColor* Find(const String& name) override;
  TKwPkgDisplaySetColor* Add(const String& name);
  TKwPkgDisplaySetColor* GetSetColor(int index) const;

protected:
  void UnCheckAll() override { KwUnCheckAllSetsColor(this); }
  void UnCheckNil() override { KwUnCheckNilSetsColor(); }
  void UpdateKind() override { KwUpdateSetsColor(); }
};

class TKwPkgDisplaySetsBackGround : public TKwPkgDisplaySetsBase, public TKwStyleListBackGround {
  KW_CLASS(TKwPkgDisplaySetsBackGround, TKwPkgDisplaySetsBase)
  explicit TKwPkgDisplaySetsBackGround(TKwPkgInfo* package) : TKwPkgDisplaySetsBase(package) {}
  ~TKwPkgDisplaySetsBackGround() override;
  TKwStyleItemBackGround* Find(const String& name) override;
  TKwPkgDisplaySetBackGround* Add(const String& name);
  TKwPkgDisplaySetBackGround* GetSetBackGround(int index) const;

protected:
  void UnCheckAll() override { KwUnCheckAllSetsBackGround(this); }
  void UnCheckNil() override { KwUnCheckNilSetsBackGround(); }
  void UpdateKind() override { KwUpdateSetsBackGround(); }
};

class TKwPkgDisplaySetsFont : public TKwPkgDisplaySetsBase, public TKwStyleListFont {
  KW_CLASS(TKwPkgDisplaySetsFont, TKwPkgDisplaySetsBase)
  explicit TKwPkgDisplaySetsFont(TKwPkgInfo* package) : TKwPkgDisplaySetsBase(package) {}
  ~TKwPkgDisplaySetsFont() override;
  TKwStyleItemFont* Find(const String& name) override;
  TKwPkgDisplaySetFont* Add(const String& name);
  TKwPkgDisplaySetFont* GetSetFont(int index) const;

protected:
  void UnCheckAll() override { KwUnCheckAllSetsFont(this); }
  void UnCheckNil() override { KwUnCheckNilSetsFont(); }
  void UpdateKind() override { KwUpdateSetsFont(); }
};

}  // namespace kw
