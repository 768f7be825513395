// Form resources embedded by kw_form_resources (base.kfm, derived.kfm) and by broken.rc: finding
// them, reading an inherited form over its ancestor's, binding events, and failing cleanly.
#include <gtest/gtest.h>

#include <memory>

#include "host/Win.h"

#include "host/Exceptions.h"
#include "host/Formres.h"
#include "tests/forms/fixtures.h"

namespace kw {
namespace {

template <class T>
struct TFreer {
  void operator()(T* p) const { p->Free(); }
};
template <class T>
using TOwned = std::unique_ptr<T, TFreer<T>>;

TResItem* Item(TComponent* root, const wchar_t* name) {
  return dynamic_cast<TResItem*>(root->FindComponent(name));
}

TEST(FormResources, FoundByUpperCasedClassNameInTheProgram) {
  EXPECT_TRUE(KwFindFormResource(L"TFormsBase"));
  EXPECT_TRUE(KwFindFormResource(L"tformsderived"));
  EXPECT_TRUE(KwFindFormResource(L"TFormsBase", GetModuleHandleW(nullptr)));
  EXPECT_FALSE(KwFindFormResource(L"TFormsBase", GetModuleHandleW(L"kernel32.dll")));
  EXPECT_FALSE(KwFindFormResource(L"TFormsPlain"));
  EXPECT_FALSE(KwFindFormResource(L"TResRoot"));
}

TEST(FormResources, InheritedFormReadsAncestorFormFirstThenItsOwn) {
  TOwned<TFormsDerived> form(new TFormsDerived(nullptr));
  EXPECT_TRUE(InitInheritedComponent(form.get(), TComponent::StaticClass()));
  EXPECT_EQ(form->Name(), L"FormsDerived");
  EXPECT_EQ(form->Title(), L"Base title");
  ASSERT_EQ(form->ComponentCount(), 3);
  const wchar_t* names[] = {L"Item1", L"Item2", L"Item3"};
  for (int i = 0; i < 3; ++i) {
    auto* item = dynamic_cast<TResItem*>(form->Components(i));
    ASSERT_NE(item, nullptr) << i;
    EXPECT_EQ(item->Name(), names[i]);
    EXPECT_EQ(item->Owner(), form.get());
    EXPECT_FALSE(item->ComponentState().Contains(csLoading)) << i;
    EXPECT_FALSE(item->ComponentState().Contains(csReading)) << i;
  }
  TResItem* item1 = Item(form.get(), L"Item1");
  TResItem* item2 = Item(form.get(), L"Item2");
  TResItem* item3 = Item(form.get(), L"Item3");
  // Overridden by the derived form, kept from the ancestor's, and added.
  EXPECT_EQ(item1->Caption(), L"Derived caption");
  EXPECT_EQ(item1->Width(), 10);
  EXPECT_EQ(item2->Caption(), L"Second");
  EXPECT_EQ(item2->Buddy(), item1);
  EXPECT_EQ(item3->Caption(), L"Added");
  EXPECT_EQ(item3->Buddy(), item2);
  EXPECT_FALSE(form->ComponentState().Contains(csLoading));
}

TEST(FormResources, EventsFromBothFormsCallTheRootsPublishedMethods) {
  TOwned<TFormsDerived> form(new TFormsDerived(nullptr));
  ASSERT_TRUE(InitInheritedComponent(form.get(), TComponent::StaticClass()));
  TResItem* item1 = Item(form.get(), L"Item1");
  TResItem* item3 = Item(form.get(), L"Item3");
  EXPECT_EQ(item1->OnClick.MethodName(), L"ItemClick");
  EXPECT_EQ(item1->OnClick.MethodData(), form.get());
  EXPECT_FALSE(Item(form.get(), L"Item2")->OnClick.Assigned());
  item1->OnClick(item1);
  item3->OnClick(item3);
  std::vector<String> expected{L"ItemClick:Item1", L"OtherClick:Item3"};
  EXPECT_EQ(form->Clicks, expected);
}

TEST(FormResources, ClassesWithoutFormsArePassedOver) {
  // Only the ancestor has a form.
  TOwned<TFormsPlain> plain(new TFormsPlain(nullptr));
  EXPECT_TRUE(InitInheritedComponent(plain.get(), TComponent::StaticClass()));
  EXPECT_EQ(plain->Name(), L"FormsBase");
  ASSERT_EQ(plain->ComponentCount(), 2);
  EXPECT_EQ(Item(plain.get(), L"Item1")->Caption(), L"Base caption");

  // None has one: nothing changes.
  TOwned<TResRoot> bare(new TResRoot(nullptr));
  bare->SetName(L"Bare");
  bare->SetTitle(L"untouched");
  (new TResItem(bare.get()))->SetName(L"Own");
  EXPECT_FALSE(InitInheritedComponent(bare.get(), TComponent::StaticClass()));
  EXPECT_EQ(bare->Name(), L"Bare");
  EXPECT_EQ(bare->Title(), L"untouched");
  ASSERT_EQ(bare->ComponentCount(), 1);
  EXPECT_EQ(bare->Components(0)->Name(), L"Own");
}

TEST(FormResources, RootAncestorsOwnFormIsNotRead) {
  TOwned<TFormsDerived> form(new TFormsDerived(nullptr));
  // Without the ancestor's form, the derived one's inherited Item1 has nothing to update.
  try {
    InitInheritedComponent(form.get(), TFormsBase::StaticClass());
    FAIL() << "no error";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), L"Ancestor for 'Item1' not found");
  }
  EXPECT_EQ(form->ComponentCount(), 0);
  EXPECT_THROW(InitInheritedComponent(form.get(), TFormsPlain::StaticClass()), EInvalidCast);
}

TEST(FormResources, TruncatedFormRaisesAndFreesWhatItMade) {
  TOwned<TFormsBroken> form(new TFormsBroken(nullptr));
  auto* keeper = new TResItem(form.get());
  keeper->SetName(L"Keeper");
  int created = TResItem::Created;
  int live = TResItem::Live;
  EXPECT_THROW(InitInheritedComponent(form.get(), TComponent::StaticClass()), EReadError);
  // The reader got as far as making First and Second, and freed both.
  EXPECT_EQ(TResItem::Created, created + 2);
  EXPECT_EQ(TResItem::Live, live);
  ASSERT_EQ(form->ComponentCount(), 1);
  EXPECT_EQ(form->Components(0), keeper);
  EXPECT_FALSE(form->ComponentState().Contains(csReading));
}

TEST(FormResources, ReadComponentResByName) {
  TOwned<TResRoot> root(new TResRoot(nullptr));
  ReadComponentRes(L"tformsbase", root.get());
  ASSERT_EQ(root->ComponentCount(), 2);
  Item(root.get(), L"Item1")->OnClick(nullptr);
  EXPECT_EQ(root->Clicks, std::vector<String>{L"ItemClick:?"});

  TOwned<TResRoot> other(new TResRoot(nullptr));
  try {
    ReadComponentRes(L"NoSuchForm", other.get());
    FAIL() << "no error";
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message(), L"Resource NoSuchForm not found");
  }
  EXPECT_THROW(ReadComponentRes(L"NotAForm", other.get()), EInvalidImage);
  EXPECT_EQ(other->ComponentCount(), 0);
  EXPECT_EQ(other->Name(), L"");
}

}  // namespace
}  // namespace kw
