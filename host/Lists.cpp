// TList, TObjectList and TBits with the host's growth steps, index errors and notification
// order. The typed TListOf<T> is header-only.
#include "host/Lists.h"

#include <algorithm>
#include <bit>
#include <climits>

#include "host/Exceptions.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw {

KW_REGISTER_CLASS(TList, TObject)
KW_REGISTER_CLASS(TObjectList, TList)
KW_REGISTER_CLASS(TBits, TObject)

namespace {

constexpr int MaxListSize = INT_MAX / 16;

// The host's quicksort, with bounds on the inner scans so that a comparison that is not a
// consistent order cannot walk off the array. The smaller part recurses, the larger loops,
// which bounds the stack without changing the result.
void QuickSort(std::vector<void*>& a, int l, int r, const TListSortCompare& compare) {
  while (l < r) {
    int i = l, j = r;
    void* pivot = a[size_t(l + r) >> 1];
    do {
      while (i < r && compare(a[i], pivot) < 0) ++i;
      while (j > l && compare(a[j], pivot) > 0) --j;
      if (i <= j) {
        if (i != j) std::swap(a[i], a[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - l < r - i) {
      if (l < j) QuickSort(a, l, j, compare);
      l = i;
    } else {
      if (i < r) QuickSort(a, i, r, compare);
      r = j;
    }
  }
}

}  // namespace

TList::~TList() { Clear(); }

void TList::Error(const wchar_t* msg, int data) { throw EListError(Format(msg, {data})); }

void TList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) Error(SRes::SListIndexError, index);
}

void TList::Grow() {
  int delta = FCapacity > 64 ? FCapacity / 4 : FCapacity > 8 ? 16 : 4;
  SetCapacity(FCapacity + delta);
}

int TList::Add(void* item) {
  int result = Count();
  if (result == FCapacity) Grow();
  FList.push_back(item);
  if (item) Notify(item, lnAdded);
  return result;
}

void TList::Insert(int index, void* item) {
  if (index < 0 || index > Count()) Error(SRes::SListIndexError, index);
  if (Count() == FCapacity) Grow();
  FList.insert(FList.begin() + index, item);
  if (item) Notify(item, lnAdded);
}

void TList::Delete(int index) {
  CheckIndex(index);
  void* item = FList[size_t(index)];
  FList.erase(FList.begin() + index);
  if (item) Notify(item, lnDeleted);
}

int TList::Remove(void* item) {
  int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

void* TList::Extract(void* item) {
  int index = IndexOf(item);
  if (index < 0) return nullptr;
  // Cleared first, so the deletion itself sends no notice.
  FList[size_t(index)] = nullptr;
  Delete(index);
  if (item) Notify(item, lnExtracted);
  return item;
}

int TList::IndexOf(void* item) const {
  auto it = std::find(FList.begin(), FList.end(), item);
  return it == FList.end() ? -1 : int(it - FList.begin());
}

void* TList::Get(int index) const {
  CheckIndex(index);
  return FList[size_t(index)];
}

void TList::Put(int index, void* item) {
  CheckIndex(index);
  void* old = FList[size_t(index)];
  if (item == old) return;
  FList[size_t(index)] = item;
  if (old) Notify(old, lnDeleted);
  if (item) Notify(item, lnAdded);
}

void* TList::First() const { return Get(0); }

void* TList::Last() const { return Get(Count() - 1); }

void TList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(FList[size_t(index1)], FList[size_t(index2)]);
}

void TList::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  if (newIndex < 0 || newIndex >= Count()) Error(SRes::SListIndexError, newIndex);
  void* item = Get(curIndex);
  FList.erase(FList.begin() + curIndex);
  FList.insert(FList.begin() + newIndex, item);
}

void TList::Sort(const TListSortCompare& compare) {
  if (Count() > 1) QuickSort(FList, 0, Count() - 1, compare);
}

void TList::Pack() {
  for (int i = Count() - 1; i >= 0; --i)
    if (!FList[size_t(i)]) FList.erase(FList.begin() + i);
}

void TList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

TList* TList::Expand() {
  if (Count() == FCapacity) Grow();
  return this;
}

void TList::SetCount(int count) {
  if (count < 0 || count > MaxListSize) Error(SRes::SListCountError, count);
  if (count > FCapacity) SetCapacity(count);
  if (count > Count())
    FList.resize(size_t(count), nullptr);
  else
    for (int i = Count() - 1; i >= count; --i) Delete(i);
}

void TList::SetCapacity(int capacity) {
  if (capacity < Count() || capacity > MaxListSize) Error(SRes::SListCapacityError, capacity);
  if (capacity == FCapacity) return;
  if (capacity < int(FList.capacity())) {
    std::vector<void*> fresh;
    fresh.reserve(size_t(capacity));
    fresh.assign(FList.begin(), FList.end());
    FList.swap(fresh);
  } else {
    FList.reserve(size_t(capacity));
  }
  FCapacity = capacity;
}

void TList::Assign(const TList* listA, TListAssignOp op, const TList* listB) {
  const TList* sourceList = listA;
  if (listB) {
    Assign(listA);
    sourceList = listB;
  }
  if (!sourceList) return;
  // A snapshot, so that assigning a list to itself behaves like assigning a copy.
  const std::vector<void*> source = sourceList->FList;
  int sourceCapacity = sourceList->Capacity();
  auto inSource = [&source](void* p) { return std::find(source.begin(), source.end(), p) != source.end(); };
  switch (op) {
    case laCopy:
      Clear();
      SetCapacity(std::max(sourceCapacity, int(source.size())));
      for (void* p : source) Add(p);
      break;
    case laAnd:
      for (int i = Count() - 1; i >= 0; --i)
        if (!inSource(FList[size_t(i)])) Delete(i);
      break;
    case laOr:
      for (void* p : source)
        if (IndexOf(p) < 0) Add(p);
      break;
    case laXor: {
      std::vector<void*> extra;
      for (void* p : source)
        if (IndexOf(p) < 0) extra.push_back(p);
      for (int i = Count() - 1; i >= 0; --i)
        if (inSource(FList[size_t(i)])) Delete(i);
      if (Capacity() < Count() + int(extra.size())) SetCapacity(Count() + int(extra.size()));
      for (void* p : extra) Add(p);
      break;
    }
    case laSrcUnique:
      for (int i = Count() - 1; i >= 0; --i)
        if (inSource(FList[size_t(i)])) Delete(i);
      break;
    case laDestUnique: {
      std::vector<void*> kept;
      for (void* p : source)
        if (IndexOf(p) < 0) kept.push_back(p);
      Clear();
      SetCapacity(int(kept.size()));
      for (void* p : kept) Add(p);
      break;
    }
  }
}

TObjectList::~TObjectList() { Clear(); }

void TObjectList::Notify(void* ptr, TListNotification action) {
  if (action == lnDeleted && FOwnsObjects) static_cast<TObject*>(ptr)->Free();
  TList::Notify(ptr, action);
}

int TObjectList::FindInstanceOf(TClass cls, bool exact, int startAt) const {
  for (int i = std::max(startAt, 0); i < Count(); ++i) {
    TObject* obj = Items(i);
    if (!obj) continue;
    if (exact ? obj->ClassType() == cls : obj->InheritsFrom(cls)) return i;
  }
  return -1;
}

void TBits::Error() { throw EBitsError(SRes::SBitsIndexError); }

void TBits::SetSize(int size) {
  if (size < 0) Error();
  if (size == FSize) return;
  FWords.resize((size_t(size) + 63) / 64, 0);
  // Bits beyond the new end are cleared, so that growing again brings back false bits.
  if (size % 64) FWords.back() &= (UInt64(1) << (size % 64)) - 1;
  FSize = size;
}

bool TBits::Bits(int index) const {
  if (index < 0 || index >= FSize) Error();
  return (FWords[size_t(index) / 64] >> (index % 64)) & 1;
}

void TBits::SetBits(int index, bool value) {
  if (index < 0 || index == INT_MAX) Error();
  if (index >= FSize) SetSize(index + 1);
  UInt64 mask = UInt64(1) << (index % 64);
  if (value)
    FWords[size_t(index) / 64] |= mask;
  else
    FWords[size_t(index) / 64] &= ~mask;
}

int TBits::OpenBit() const {
  for (size_t w = 0; w < FWords.size(); ++w) {
    if (~FWords[w] != 0) {
      int index = int(w * 64) + std::countr_zero(~FWords[w]);
      return std::min(index, FSize);
    }
  }
  return FSize;
}

int TBits::Count() const {
  int n = 0;
  for (UInt64 w : FWords) n += std::popcount(w);
  return n;
}

}  // namespace kw
