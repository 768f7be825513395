// Collections: item ownership, ids, moves, update nesting and copying.
#include "host/Collection.h"

#include <algorithm>

#include "host/Sysutils.h"
#include "host/Typinfo.h"
#include "host/Typreg.h"

namespace kw {

KW_REGISTER_CLASS(TCollectionItem, TPersistent)
KW_REGISTER_CLASS(TCollection, TPersistent)
KW_REGISTER_CLASS(TOwnedCollection, TCollection)

TCollectionItem::TCollectionItem(TCollection* collection) { SetCollection(collection); }

TCollectionItem::~TCollectionItem() {
  if (FCollection) FCollection->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* collection) {
  if (collection == FCollection) return;
  if (FCollection) FCollection->RemoveItem(this);
  if (collection) collection->InsertItem(this);
}

int TCollectionItem::Index() const {
  if (!FCollection) return -1;
  auto& items = FCollection->FItems;
  auto it = std::find(items.begin(), items.end(), this);
  return it == items.end() ? -1 : int(it - items.begin());
}

void TCollectionItem::SetIndex(int index) {
  if (!FCollection) return;
  int cur = Index();
  if (index < 0 || index == cur) return;
  FCollection->MoveItem(this, index);
  Changed(true);
}

String TCollectionItem::DisplayName() const { return ClassName(); }

void TCollectionItem::SetDisplayName(const String&) { Changed(false); }

String TCollectionItem::GetNamePath() const {
  if (!FCollection) return ClassName();
  return FCollection->GetNamePath() + L"[" + IntToStr(Int64(Index())) + L"]";
}

TPersistent* TCollectionItem::GetOwner() const { return FCollection; }

void TCollectionItem::Changed(bool allItems) {
  if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(allItems ? nullptr : this);
}

TCollection::TCollection(TCollectionItemClass itemClass) : FItemClass(itemClass) {}

TCollection::~TCollection() {
  // Updates are pointless while dying; items are freed last first.
  ++FUpdateCount;
  while (!FItems.empty()) FItems.back()->Free();
}

TCollectionItem* TCollection::Add() {
  TObject* obj = FItemClass->CreateInstance(this);
  auto* item = dynamic_cast<TCollectionItem*>(obj);
  if (!item) {
    delete obj;
    throw EInvalidCast(SRes::SInvalidCast);
  }
  if (item->FCollection != this) item->SetCollection(this);
  Added(item);
  return item;
}

TCollectionItem* TCollection::Insert(int index) {
  TCollectionItem* item = Add();
  item->SetIndex(index);
  return item;
}

void TCollection::Delete(int index) {
  TCollectionItem* item = Items(index);
  Notify(item, cnDeleting);
  item->Free();
}

void TCollection::Clear() {
  if (FItems.empty()) return;
  BeginUpdate();
  try {
    while (!FItems.empty()) FItems.back()->Free();
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCollection::BeginUpdate() { ++FUpdateCount; }

void TCollection::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TCollection::Changed() {
  if (FUpdateCount == 0) Update(nullptr);
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SRes::SListIndexError, {index}));
  return FItems[size_t(index)];
}

TCollectionItem* TCollection::FindItemID(int id) const {
  for (TCollectionItem* item : FItems)
    if (item->FID == id) return item;
  return nullptr;
}

void TCollection::Exchange(int index1, int index2) {
  Items(index1);
  Items(index2);
  std::swap(FItems[size_t(index1)], FItems[size_t(index2)]);
  Changed();
}

void TCollection::Assign(const TPersistent* source) {
  auto* src = dynamic_cast<const TCollection*>(source);
  if (!src) return TPersistent::Assign(source);
  BeginUpdate();
  try {
    Clear();
    for (TCollectionItem* item : src->FItems) Add()->Assign(item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

String TCollection::PropName() const {
  if (!FPropName.empty()) return FPropName;
  // Find the published property of the owner that holds this collection.
  TPersistent* owner = GetOwner();
  if (!owner) return {};
  for (const TPropInfo* p : owner->ClassType()->Props())
    if (p->GetObj && p->GetObj(owner) == this) return FPropName = p->Name;
  return {};
}

String TCollection::GetNamePath() const {
  TPersistent* owner = GetOwner();
  if (!owner) return ClassName();
  String path = owner->GetNamePath();
  if (path.empty()) return ClassName();
  String prop = PropName();
  return prop.empty() ? path : path + L"." + prop;
}

void TCollection::InsertItem(TCollectionItem* item) {
  FItems.push_back(item);
  item->FCollection = this;
  item->FID = FNextID++;
  Notify(item, cnAdded);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
  Notify(item, cnExtracting);
  auto it = std::find(FItems.begin(), FItems.end(), item);
  if (it != FItems.end()) FItems.erase(it);
  item->FCollection = nullptr;
  Changed();
}

void TCollection::MoveItem(TCollectionItem* item, int index) {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  if (it == FItems.end()) return;
  FItems.erase(it);
  index = std::min(index, int(FItems.size()));
  FItems.insert(FItems.begin() + index, item);
}

}  // namespace kw
