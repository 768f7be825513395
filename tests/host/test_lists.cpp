// TList, TObjectList and TBits: index errors and their texts, growth, notices, set
// operations, ownership. String lists are tested in test_stringlist.cpp.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "host/Lists.h"
#include "host/Typreg.h"

namespace kw {

class TListTestItem : public TObject {
  KW_CLASS(TListTestItem, TObject)
  explicit TListTestItem(int* freed = nullptr) : FFreed(freed) {}
  ~TListTestItem() override {
    if (FFreed) ++*FFreed;
  }

private:
  int* FFreed;
};

class TListTestItemSub : public TListTestItem {
  KW_CLASS(TListTestItemSub, TListTestItem)
  using TListTestItem::TListTestItem;
};

KW_REGISTER_CLASS(TListTestItem, TObject)
KW_REGISTER_CLASS(TListTestItemSub, TListTestItem)

namespace {

void* P(std::intptr_t v) { return reinterpret_cast<void*>(v); }

std::vector<std::intptr_t> Values(const TList& list) {
  std::vector<std::intptr_t> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(reinterpret_cast<std::intptr_t>(list.Get(i)));
  return out;
}

TList* Make(TList& list, std::initializer_list<int> values) {
  for (int v : values) list.Add(P(v));
  return &list;
}

template <class F>
String ListErrorText(F f) {
  try {
    f();
  } catch (const EListError& e) {
    return e.Message();
  }
  return L"no EListError";
}

class TRecordingList : public TList {
public:
  ~TRecordingList() override { Clear(); }
  std::vector<std::pair<std::intptr_t, TListNotification>> Log;

protected:
  void Notify(void* ptr, TListNotification action) override {
    Log.push_back({reinterpret_cast<std::intptr_t>(ptr), action});
  }
};

using Notices = std::vector<std::pair<std::intptr_t, TListNotification>>;

}  // namespace

TEST(ListIndexErrors, NameTheBadIndexInTheHostText) {
  TList list;
  Make(list, {1, 2, 3});
  EXPECT_EQ(ListErrorText([&] { list.Get(5); }), L"List index out of bounds (5)");
  EXPECT_EQ(ListErrorText([&] { list.Get(-1); }), L"List index out of bounds (-1)");
  EXPECT_EQ(ListErrorText([&] { list.Put(3, nullptr); }), L"List index out of bounds (3)");
  EXPECT_EQ(ListErrorText([&] { list.Insert(4, nullptr); }), L"List index out of bounds (4)");
  EXPECT_EQ(ListErrorText([&] { list.Delete(3); }), L"List index out of bounds (3)");
  EXPECT_EQ(ListErrorText([&] { list.Exchange(0, 7); }), L"List index out of bounds (7)");
  EXPECT_EQ(ListErrorText([&] { list.Move(0, 3); }), L"List index out of bounds (3)");
  EXPECT_EQ(ListErrorText([&] { list.SetCount(-2); }), L"List count out of bounds (-2)");
  EXPECT_EQ(ListErrorText([&] { list.SetCapacity(2); }), L"List capacity out of bounds (2)");
  TList empty;
  EXPECT_EQ(ListErrorText([&] { empty.First(); }), L"List index out of bounds (0)");
  EXPECT_EQ(ListErrorText([&] { empty.Last(); }), L"List index out of bounds (-1)");
  // Inserting at the end is allowed.
  list.Insert(3, P(4));
  EXPECT_EQ(Values(list), (std::vector<std::intptr_t>{1, 2, 3, 4}));
}

TEST(ListGrowth, FollowsTheHostSteps) {
  TList list;
  std::vector<int> caps;
  for (int i = 0; i < 100; ++i) {
    list.Add(nullptr);
    if (caps.empty() || caps.back() != list.Capacity()) caps.push_back(list.Capacity());
  }
  EXPECT_EQ(caps, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(ListCount, GrowsWithNullsAndPackRemovesThem) {
  TList list;
  Make(list, {1, 2});
  list.SetCount(5);
  EXPECT_EQ(Values(list), (std::vector<std::intptr_t>{1, 2, 0, 0, 0}));
  list.Put(3, P(9));
  list.Pack();
  EXPECT_EQ(Values(list), (std::vector<std::intptr_t>{1, 2, 9}));
  list.SetCount(1);
  EXPECT_EQ(Values(list), (std::vector<std::intptr_t>{1}));
}

TEST(ListEditing, RemoveExtractMoveExchange) {
  TList list;
  Make(list, {1, 2, 3, 2, 5});
  EXPECT_EQ(list.Remove(P(2)), 1);  // the first occurrence
  EXPECT_EQ(list.Remove(P(42)), -1);
  EXPECT_EQ(Values(list), (std::vector<std::intptr_t>{1, 3, 2, 5}));
  EXPECT_EQ(list.Extract(P(3)), P(3));
  EXPECT_EQ(list.Extract(P(3)), nullptr);
  list.Move(0, 2);
  EXPECT_EQ(Values(list), (std::vector<std::intptr_t>{2, 5, 1}));
  list.Exchange(0, 2);
  EXPECT_EQ(Values(list), (std::vector<std::intptr_t>{1, 5, 2}));
  EXPECT_EQ(list.IndexOf(P(2)), 2);
  EXPECT_EQ(list.First(), P(1));
  EXPECT_EQ(list.Last(), P(2));
}

TEST(ListNotify, SendsTheHostNotices) {
  TRecordingList list;
  list.Add(P(1));
  list.Add(nullptr);  // nulls are not announced
  list.Insert(0, P(2));
  list.Put(1, P(3));  // old one deleted, then the new one added
  list.Put(1, P(3));  // the same pointer: nothing
  list.Extract(P(2));
  list.Move(0, 1);    // moves send nothing
  list.Delete(1);
  EXPECT_EQ(list.Log, (Notices{{1, lnAdded}, {2, lnAdded}, {1, lnDeleted}, {3, lnAdded}, {2, lnExtracted}, {3, lnDeleted}}));
  list.Log.clear();
  Make(list, {7, 8, 9});
  list.Log.clear();
  list.SetCount(1);  // deletes from the end
  EXPECT_EQ(list.Log, (Notices{{9, lnDeleted}, {8, lnDeleted}, {7, lnDeleted}}));
}

TEST(ListSort, OrdersAndSurvivesAnInconsistentCompare) {
  TList list;
  std::mt19937 rng(7);
  for (int i = 0; i < 500; ++i) list.Add(P(std::intptr_t(rng() % 1000)));
  list.Sort([](void* a, void* b) {
    auto x = reinterpret_cast<std::intptr_t>(a), y = reinterpret_cast<std::intptr_t>(b);
    return x < y ? -1 : x > y ? 1 : 0;
  });
  std::vector<std::intptr_t> v = Values(list);
  EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
  EXPECT_EQ(v.size(), 500u);
  // A comparison that answers at random must not walk off the list or lose items.
  list.Sort([&rng](void*, void*) { return int(rng() % 3) - 1; });
  std::vector<std::intptr_t> w = Values(list);
  std::sort(w.begin(), w.end());
  EXPECT_EQ(w, v);
}

TEST(ListAssign, SetOperations) {
  TList b;
  Make(b, {3, 4, 5, 6});
  auto run = [&](TListAssignOp op) {
    TList a;
    Make(a, {1, 2, 3, 4});
    a.Assign(&b, op);
    return Values(a);
  };
  using V = std::vector<std::intptr_t>;
  EXPECT_EQ(run(laCopy), (V{3, 4, 5, 6}));
  EXPECT_EQ(run(laAnd), (V{3, 4}));
  EXPECT_EQ(run(laOr), (V{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(run(laXor), (V{1, 2, 5, 6}));
  EXPECT_EQ(run(laSrcUnique), (V{1, 2}));
  EXPECT_EQ(run(laDestUnique), (V{5, 6}));

  TList a, dest;
  Make(a, {1, 2, 3, 4});
  Make(dest, {9});
  dest.Assign(&a, laAnd, &b);  // listA copied first, then intersected with listB
  EXPECT_EQ(Values(dest), (V{3, 4}));
  a.Assign(&a);
  EXPECT_EQ(Values(a), (V{1, 2, 3, 4}));
}

TEST(ListTyped, WrapsPointersOfOneType) {
  int x = 1, y = 2;
  TListOf<int> list;
  list.Add(&y);
  list.Add(&x);
  list.Sort([](int* a, int* b) { return *a - *b; });
  EXPECT_EQ(list[0], &x);
  EXPECT_EQ(*list.Last(), 2);
}

TEST(ObjectListOwnership, FreesExactlyOnceAndNeverOnExtract) {
  int freed = 0;
  auto* kept = new TListTestItem(&freed);
  {
    TObjectList list;
    auto* a = new TListTestItem(&freed);
    auto* b = new TListTestItem(&freed);
    auto* c = new TListTestItem(&freed);
    list.Add(a);
    list.Add(b);
    list.Add(c);
    list.Add(kept);
    list.Delete(0);
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(list.Remove(b), 0);
    EXPECT_EQ(freed, 2);
    EXPECT_EQ(list.Extract(kept), kept);
    EXPECT_EQ(freed, 2);
    list.SetItems(0, new TListTestItem(&freed));  // replacing frees the old one (c)
    EXPECT_EQ(freed, 3);
    list.Add(new TListTestItem(&freed));
  }
  EXPECT_EQ(freed, 5);  // the two left were freed by the destructor
  {
    TObjectList list(false);
    list.Add(kept);
    list.Clear();
  }
  EXPECT_EQ(freed, 5);
  kept->Free();
  EXPECT_EQ(freed, 6);
}

TEST(ObjectListFind, ExactOrInheritedInstances) {
  TObjectList list;
  list.Add(new TListTestItem);
  list.Add(nullptr);
  list.Add(new TListTestItemSub);
  list.Add(new TListTestItem);
  EXPECT_EQ(list.FindInstanceOf(TListTestItemSub::StaticClass()), 2);
  EXPECT_EQ(list.FindInstanceOf(TListTestItem::StaticClass(), true, 1), 3);
  EXPECT_EQ(list.FindInstanceOf(TListTestItem::StaticClass(), false, 1), 2);
  EXPECT_EQ(list.FindInstanceOf(TList::StaticClass(), false), -1);
  EXPECT_EQ(list.IndexOf(list.Items(3)), 3);
}

TEST(BitsAccess, GrowsOnSetAndRaisesOnReadPastTheEnd) {
  TBits bits;
  auto bitsError = [&](auto f) {
    try {
      f();
    } catch (const EBitsError& e) {
      return e.Message();
    }
    return String(L"no EBitsError");
  };
  EXPECT_EQ(bitsError([&] { bits.Bits(0); }), L"Bits index out of range");
  bits.SetBits(100, true);
  EXPECT_EQ(bits.Size(), 101);
  EXPECT_TRUE(bits.Bits(100));
  EXPECT_FALSE(bits.Bits(64));
  EXPECT_EQ(bitsError([&] { bits.Bits(101); }), L"Bits index out of range");
  EXPECT_EQ(bitsError([&] { bits.SetBits(-1, true); }), L"Bits index out of range");
  EXPECT_EQ(bitsError([&] { bits.SetSize(-1); }), L"Bits index out of range");
  EXPECT_EQ(bits.OpenBit(), 0);
  for (int i = 0; i < 70; ++i) bits.SetBits(i, true);
  EXPECT_EQ(bits.OpenBit(), 70);
  EXPECT_EQ(bits.Count(), 71);
  // Shrinking and growing again brings back false bits.
  bits.SetSize(65);
  bits.SetSize(200);
  EXPECT_FALSE(bits.Bits(100));
  EXPECT_FALSE(bits.Bits(66));
  EXPECT_EQ(bits.Count(), 65);
  TBits full;
  for (int i = 0; i < 64; ++i) full.SetBits(i, true);
  EXPECT_EQ(full.OpenBit(), 64);
}

}  // namespace kw
