// Pointer lists and bit arrays: TList with its notification hook, the owning TObjectList, the
// typed wrapper TListOf<T> and TBits. String lists are in Stringlist.h, collections in
// Collection.h.
#pragma once

#include <functional>
#include <vector>

#include "host/Objects.h"

namespace kw {

enum TListNotification { lnAdded, lnExtracted, lnDeleted };
enum TListAssignOp { laCopy, laAnd, laOr, laXor, laSrcUnique, laDestUnique };

// Negative when item1 sorts before item2, zero when equal, positive after.
using TListSortCompare = std::function<int(void* item1, void* item2)>;

class TList : public TObject {
  KW_CLASS(TList, TObject)
  TList() = default;
  // Subclasses that override Notify must Clear in their own destructor: by the time this
  // one runs, their override is gone.
  ~TList() override;

  int Add(void* item);
  void Insert(int index, void* item);
  void Delete(int index);
  // The index the item had, or -1 when it was not in the list.
  int Remove(void* item);
  // Takes the first occurrence out without the deletion notice; nullptr when absent.
  void* Extract(void* item);
  int IndexOf(void* item) const;
  void* Get(int index) const;
  void Put(int index, void* item);
  void* Items(int index) const { return Get(index); }
  void SetItems(int index, void* item) { Put(index, item); }
  void* First() const;
  void* Last() const;
  void Exchange(int index1, int index2);
  void Move(int curIndex, int newIndex);
  void Sort(const TListSortCompare& compare);
  // Removes the null entries.
  void Pack();
  virtual void Clear();
  TList* Expand();
  // Copies, intersects, unites, ... with listA; with listB given, listA is copied first and
  // the operation is done with listB.
  void Assign(const TList* listA, TListAssignOp op = laCopy, const TList* listB = nullptr);

  int Count() const { return int(FList.size()); }
  // Growing fills with nulls; shrinking deletes from the end (with notices).
  void SetCount(int count);
  int Capacity() const { return FCapacity; }
  void SetCapacity(int capacity);
  void* const* List() const { return FList.data(); }

protected:
  virtual void Notify(void* ptr, TListNotification action) {}
  virtual void Grow();
  [[noreturn]] static void Error(const wchar_t* msg, int data);

private:
  void CheckIndex(int index) const;
  std::vector<void*> FList;
  int FCapacity = 0;
};

// The same list, typed: no checks beyond the static cast.
template <class T>
class TListOf : public TList {
public:
  int Add(T* item) { return TList::Add(item); }
  void Insert(int index, T* item) { TList::Insert(index, item); }
  int Remove(T* item) { return TList::Remove(item); }
  T* Extract(T* item) { return static_cast<T*>(TList::Extract(item)); }
  int IndexOf(T* item) const { return TList::IndexOf(item); }
  T* Items(int index) const { return static_cast<T*>(Get(index)); }
  void SetItems(int index, T* item) { Put(index, item); }
  T* operator[](int index) const { return Items(index); }
  T* First() const { return static_cast<T*>(TList::First()); }
  T* Last() const { return static_cast<T*>(TList::Last()); }
  void Sort(const std::function<int(T*, T*)>& compare) {
    TList::Sort([&compare](void* a, void* b) { return compare(static_cast<T*>(a), static_cast<T*>(b)); });
  }
};

// A list of objects that frees them on deletion when it owns them (the default).
class TObjectList : public TList {
  KW_CLASS(TObjectList, TList)
  explicit TObjectList(bool ownsObjects = true) : FOwnsObjects(ownsObjects) {}
  ~TObjectList() override;

  int Add(TObject* obj) { return TList::Add(obj); }
  void Insert(int index, TObject* obj) { TList::Insert(index, obj); }
  int Remove(TObject* obj) { return TList::Remove(obj); }
  TObject* Extract(TObject* obj) { return static_cast<TObject*>(TList::Extract(obj)); }
  int IndexOf(TObject* obj) const { return TList::IndexOf(obj); }
  TObject* Items(int index) const { return static_cast<TObject*>(Get(index)); }
  void SetItems(int index, TObject* obj) { Put(index, obj); }
  TObject* First() const { return static_cast<TObject*>(TList::First()); }
  TObject* Last() const { return static_cast<TObject*>(TList::Last()); }
  // The first index from startAt holding an instance of cls (exactly, or of a descendant).
  int FindInstanceOf(TClass cls, bool exact = true, int startAt = 0) const;

  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool value) { FOwnsObjects = value; }

protected:
  void Notify(void* ptr, TListNotification action) override;

private:
  bool FOwnsObjects;
};

// An array of bits that grows when a bit past its end is set.
class TBits : public TObject {
  KW_CLASS(TBits, TObject)
  TBits() = default;

  int Size() const { return FSize; }
  void SetSize(int size);  // new bits are false; negative raises EBitsError
  bool Bits(int index) const;  // past the end or negative raises EBitsError
  void SetBits(int index, bool value);
  // The first false bit, or Size when every bit is set.
  int OpenBit() const;
  // How many bits are set.
  int Count() const;

private:
  [[noreturn]] static void Error();
  std::vector<UInt64> FWords;
  int FSize = 0;
};

}  // namespace kw
