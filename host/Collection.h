// TCollection, TCollectionItem and TOwnedCollection: ordered items of one class with ids,
// update nesting and streaming as a collection value. Items are owned by their collection.
#pragma once

#include "host/Classes.h"

namespace kw {

class TCollection;

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

class TCollectionItem : public TPersistent {
  KW_CLASS(TCollectionItem, TPersistent)
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;

  TCollection* Collection() const { return FCollection; }
  // Moves the item to another collection (or out of any when null).
  virtual void SetCollection(TCollection* collection);
  int ID() const { return FID; }
  int Index() const;
  virtual void SetIndex(int index);
  virtual String DisplayName() const;
  virtual void SetDisplayName(const String& name);
  String GetNamePath() const override;
  TPersistent* GetOwner() const override;

protected:
  // Tells the collection that this item (or, with allItems, every item) changed.
  void Changed(bool allItems);

private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
  int FID = 0;
};

using TCollectionItemClass = TClass;

class TCollection : public TPersistent {
  KW_CLASS(TCollection, TPersistent)
  explicit TCollection(TCollectionItemClass itemClass);
  ~TCollection() override;

  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }
  int Count() const { return int(FItems.size()); }
  TCollectionItem* Items(int index) const;  // raises EListError out of range
  TCollectionItemClass ItemClass() const { return FItemClass; }
  TCollectionItem* FindItemID(int id) const;
  void Exchange(int index1, int index2);
  // Items are replaced by copies of the source's items, each through Assign.
  void Assign(const TPersistent* source) override;
  String GetNamePath() const override;
  // The published property of the owner that holds this collection, for name paths.
  String PropName() const;
  void SetPropName(const String& name) { FPropName = name; }
  int NextID() const { return FNextID; }

protected:
  // Called after a change when no update is pending; item is null when all changed.
  virtual void Update(TCollectionItem* item) {}
  virtual void Notify(TCollectionItem* item, TCollectionNotification action) {}
  virtual void Added(TCollectionItem* item) {}
  virtual void Deleting(TCollectionItem* item) {}
  void Changed();

private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item);
  void RemoveItem(TCollectionItem* item);
  void MoveItem(TCollectionItem* item, int index);
  TCollectionItemClass FItemClass;
  std::vector<TCollectionItem*> FItems;
  int FUpdateCount = 0;
  int FNextID = 0;
  mutable String FPropName;
};

// A collection that knows its owner, as every published collection does.
class TOwnedCollection : public TCollection {
  KW_CLASS(TOwnedCollection, TCollection)
  TOwnedCollection(TPersistent* owner, TCollectionItemClass itemClass)
      : TCollection(itemClass), FOwner(owner) {}
  TPersistent* GetOwner() const override { return FOwner; }

private:
  TPersistent* FOwner;
};

}  // namespace kw
