// The string package: TKwPkgStrings with its labels (id-indexed), messages and texts, the package
// file content, the references TKwMemoryLabel/Message/Text with their re-resolution protocol, and
// the lookup that lets numbered library messages come from the "System" string package.
// The system string update belongs to the application controller and is not here.
#pragma once

#include <memory>
#include <vector>

#include "host/Events.h"
#include "host/Streams.h"
#include "packages/Kwpkginfo.h"
#include "packages/Kwpkgimages.h"

namespace kw {

class TKwPkgStrings;
class TKwPkgStringsList;

// The three item kinds; each has its own collection and its own reference list.
enum TKwStringKind { skLabel, skMessage, skText };

// What every string item shares: an id, a text, the protection flag and its collection.
class TKwPkgStringsItem : public TObject {
  KW_CLASS(TKwPkgStringsItem, TObject)
  TKwPkgStringsItem(TKwPkgStringsList* owner, TKwStringKind kind) : FOwner(owner), FKind(kind) {}
  ~TKwPkgStringsItem() override;

  TKwPkgStringsList* Owner() const { return FOwner; }
  TKwPkgStrings* Package() const;
  TKwStringKind Kind() const { return FKind; }
  int Id() const { return FId; }
  void SetId(int id);
  const String& Text() const { return FText; }
  void SetText(const String& text);
  bool Protected() const { return FProtected; }
  void SetProtected(bool v) { FProtected = v; }
  // Copies the text (and a label's hint), not the id nor the protection.
  void Assign(const TKwPkgStringsItem* other);

protected:
  friend class TKwPkgStringsList;
  friend class TKwPkgStrings;
  bool LoadingProps() const;
  // Uncheck the references to this item, re-resolve its kind, package Change.
  void Changed();
  TKwPkgStringsList* FOwner;
  TKwStringKind FKind;
  int FId = -1;
  String FText;
  String FHint;
  bool FProtected = false;
};

class TKwPkgStringsLabel : public TKwPkgStringsItem {
  KW_CLASS(TKwPkgStringsLabel, TKwPkgStringsItem)
  explicit TKwPkgStringsLabel(TKwPkgStringsList* owner = nullptr) : TKwPkgStringsItem(owner, skLabel) {}
  const String& Hint() const { return FHint; }
  void SetHint(const String& hint);
};

class TKwPkgStringsMessage : public TKwPkgStringsItem {
  KW_CLASS(TKwPkgStringsMessage, TKwPkgStringsItem)
  explicit TKwPkgStringsMessage(TKwPkgStringsList* owner = nullptr) : TKwPkgStringsItem(owner, skMessage) {}
};

class TKwPkgStringsText : public TKwPkgStringsItem {
  KW_CLASS(TKwPkgStringsText, TKwPkgStringsItem)
  explicit TKwPkgStringsText(TKwPkgStringsList* owner = nullptr) : TKwPkgStringsItem(owner, skText) {}
};

// A collection in file order. Labels also keep an id index (slot i holds the label with id i);
// messages and texts are searched from the front.
class TKwPkgStringsList : public TObject {
  KW_CLASS(TKwPkgStringsList, TObject)
  TKwPkgStringsList(TKwPkgStrings* owner, TKwStringKind kind) : FOwner(owner), FKind(kind) {}
  ~TKwPkgStringsList() override;
  TKwPkgStrings* Package() const { return FOwner; }
  TKwStringKind Kind() const { return FKind; }
  int Count() const { return int(FList.size()); }
  TKwPkgStringsItem* GetItem(int index) const { return FList.at(size_t(index)); }
  TKwPkgStringsItem* FindItem(int id) const;
  // Messages 22 (negative), 23 (above 9999), 24 (in use).
  void CheckId(int id) const;
  // Every text is accepted.
  void CheckText(const String&) const {}
  // The lowest free id (the length of the id table when none is free).
  int UniqueId() const;
  void Clear();

protected:
  friend class TKwPkgStringsItem;
  friend class TKwPkgStrings;
  TKwPkgStringsItem* AddItem(int id, const String& text, const String& hint);
  void PlaceInIndex(TKwPkgStringsItem* item, int id);
  TKwPkgStrings* FOwner;
  TKwStringKind FKind;
  std::vector<TKwPkgStringsItem*> FList;
  std::vector<TKwPkgStringsItem*> FIndex;  // labels only
};

class TKwPkgStringsLabels : public TKwPkgStringsList {
  KW_CLASS(TKwPkgStringsLabels, TKwPkgStringsList)
  explicit TKwPkgStringsLabels(TKwPkgStrings* owner = nullptr) : TKwPkgStringsList(owner, skLabel) {}
  TKwPkgStringsLabel* GetItems(int index) const { return static_cast<TKwPkgStringsLabel*>(GetItem(index)); }
  TKwPkgStringsLabel* FindId(int id) const { return static_cast<TKwPkgStringsLabel*>(FindItem(id)); }
  // The first label whose text equals text, letter case aside.
  TKwPkgStringsLabel* FindLabel(const String& text) const;
  TKwPkgStringsLabel* Add(int id, const String& text, const String& hint = String()) {
    return static_cast<TKwPkgStringsLabel*>(AddItem(id, text, hint));
  }
};

class TKwPkgStringsMessages : public TKwPkgStringsList {
  KW_CLASS(TKwPkgStringsMessages, TKwPkgStringsList)
  explicit TKwPkgStringsMessages(TKwPkgStrings* owner = nullptr) : TKwPkgStringsList(owner, skMessage) {}
  TKwPkgStringsMessage* GetItems(int index) const { return static_cast<TKwPkgStringsMessage*>(GetItem(index)); }
  TKwPkgStringsMessage* FindId(int id) const { return static_cast<TKwPkgStringsMessage*>(FindItem(id)); }
  TKwPkgStringsMessage* Add(int id, const String& text) {
    return static_cast<TKwPkgStringsMessage*>(AddItem(id, text, String()));
  }
};

class TKwPkgStringsTexts : public TKwPkgStringsList {
  KW_CLASS(TKwPkgStringsTexts, TKwPkgStringsList)
  explicit TKwPkgStringsTexts(TKwPkgStrings* owner = nullptr) : TKwPkgStringsList(owner, skText) {}
  TKwPkgStringsText* GetItems(int index) const { return static_cast<TKwPkgStringsText*>(GetItem(index)); }
  TKwPkgStringsText* FindId(int id) const { return static_cast<TKwPkgStringsText*>(FindItem(id)); }
  TKwPkgStringsText* Add(int id, const String& text) { return static_cast<TKwPkgStringsText*>(AddItem(id, text, String())); }
};

class TKwPkgStrings : public TKwPkgInfo {
  KW_CLASS(TKwPkgStrings, TKwPkgInfo)
  explicit TKwPkgStrings(TComponent* owner);
  ~TKwPkgStrings() override;

  TKwPkgStringsLabels* Labels() const { return FLabels.get(); }
  TKwPkgStringsMessages* Messages() const { return FMessages.get(); }
  TKwPkgStringsTexts* Texts() const { return FTexts.get(); }
  TKwPkgStringsList* ListOf(TKwStringKind kind) const;
  TKwEditorWindow EditorWindow;

  // Message 67 for "User", and for "System" on a form.
  void SetPkgName(const String& name) override;
  // Active: the first package of its name in the strings list.
  bool GetActive() const;
  void SetActive(bool v);
  void Update();
  void Clear() override;
  bool DefaultExtStored() const { return FDefaultExt != L"pst"; }
  bool FileNameStored() const { return false; }
  void SetFileNameProp(const String& name) { SetFileName(name); }

protected:
  std::unique_ptr<TKwPkgStringsLabels> FLabels;
  std::unique_ptr<TKwPkgStringsMessages> FMessages;
  std::unique_ptr<TKwPkgStringsTexts> FTexts;
  void NotifyInit(TObject* sender) override;
  void xLoadFromStream(TReader& reader) override;
  void xSaveToStream(TWriter& writer) override;
};

// The live string packages, front-most first.
TKwPkgActiveList* KwPkgStringsList();
// "System" and "User" are the application controller's; other names search the list.
TKwPkgStrings* KwFindPkgStrings(const String& name);
void KwPkgStringsActives(TStrings* list);
void KwPkgStringsAll(TStrings* list);
// The Description of a string package file, without loading the rest.
String KwReadPkgStringsDescription(const String& fileName);

// The application controller's "System" and "User" string packages; null while there is no
// controller. The controller sets the accessor.
struct TKwAppStrings {
  TKwPkgStrings* System = nullptr;
  TKwPkgStrings* User = nullptr;
};
using TKwAppStringsAccessor = const TKwAppStrings* (*)();
void KwSetAppStringsAccessor(TKwAppStringsAccessor accessor);
const TKwAppStrings* KwAppStrings();

// The text of an item found by package name and id; empty when either is missing.
String KwReadPkgLabelText(const String& name, int id);
String KwReadPkgLabelHint(const String& name, int id);
String KwReadPkgMessage(const String& name, int id);
String KwReadPkgText(const String& name, int id);

// A reference to a string item by package name and id (-1 none, -2 the default pair).
class TKwMemoryString : public TPersistent, public TKwPkgRefPair {
  KW_CLASS(TKwMemoryString, TPersistent)
  TKwMemoryString(TKwStringKind kind, const String& pkgName, int id, bool useDefault);
  ~TKwMemoryString() override;

  TKwStringKind Kind() const { return FKind; }
  void SetPkgName(const String& name);
  void SetId(int id);
  void PkgId(const String& name, int id);
  void DefaultPkgId(const String& name, int id);
  bool Checked() const { return FChecked; }
  void SetChecked(bool v) { FChecked = v; }
  TKwPkgStringsItem* CachedItem() const { return FCachedItem; }
  bool Defined() const;
  // The resolved item (whatever its text), or null.
  TKwPkgStringsItem* Item();
  // The resolved item's text, or an empty string.
  String Text();
  TNotifyEvent OnChange;
  virtual void Change() { OnChange(this); }
  void Assign(const TPersistent* source) override;
  void DefineProperties(TFiler& filer) override;

private:
  friend void KwUpdateStrings(TKwStringKind kind);
  void Invalidate() {
    FChecked = false;
    FCachedItem = nullptr;
  }
  TKwStringKind FKind;
  bool FChecked = false;
  TKwPkgStringsItem* FCachedItem = nullptr;
  bool FHasDefault = false;
};

class TKwMemoryLabel : public TKwMemoryString {
  KW_CLASS(TKwMemoryLabel, TKwMemoryString)
  explicit TKwMemoryLabel(const String& pkgName = String(), int id = -1, bool useDefault = false)
      : TKwMemoryString(skLabel, pkgName, id, useDefault) {}
  TKwPkgStringsLabel* Info() { return static_cast<TKwPkgStringsLabel*>(Item()); }
  String Hint();
};

class TKwMemoryMessage : public TKwMemoryString {
  KW_CLASS(TKwMemoryMessage, TKwMemoryString)
  explicit TKwMemoryMessage(const String& pkgName = String(), int id = -1, bool useDefault = false)
      : TKwMemoryString(skMessage, pkgName, id, useDefault) {}
  TKwPkgStringsMessage* Info() { return static_cast<TKwPkgStringsMessage*>(Item()); }
};

class TKwMemoryText : public TKwMemoryString {
  KW_CLASS(TKwMemoryText, TKwMemoryString)
  explicit TKwMemoryText(const String& pkgName = String(), int id = -1, bool useDefault = false)
      : TKwMemoryString(skText, pkgName, id, useDefault) {}
  TKwPkgStringsText* Info() { return static_cast<TKwPkgStringsText*>(Item()); }
};

// The uncheck and update routines, each over its own kind's references.
void KwUnCheckLabel(const TKwPkgStringsLabel* item);
void KwUnCheckMessage(const TKwPkgStringsMessage* item);
void KwUnCheckText(const TKwPkgStringsText* item);
void KwUnCheckAllLabels(const TKwPkgStringsLabels* labels);
void KwUnCheckAllMessages(const TKwPkgStringsMessages* messages);
void KwUnCheckAllTexts(const TKwPkgStringsTexts* texts);
void KwUnCheckNilLabels();
void KwUnCheckNilMessages();
void KwUnCheckNilTexts();
// Re-resolve the unchecked, defined references and tell those whose item may have changed.
void KwUpdateLabels();
void KwUpdateMessages();
void KwUpdateTexts();
void KwUnCheckString(const TKwPkgStringsItem* item);
void KwUnCheckAllStrings(const TKwPkgStringsList* list);
void KwUnCheckNilStrings(TKwStringKind kind);
void KwUpdateStrings(TKwStringKind kind);
int KwStringReferenceCount(TKwStringKind kind);

}  // namespace kw
