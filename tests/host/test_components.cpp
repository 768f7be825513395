// Object model: class registry, ownership and destruction order, free notifications, names,
// assignment errors, name paths and collections.
#include <gtest/gtest.h>

#include "tests/host/fixtures.h"

using namespace kw;

TEST(ClassRegistry, FindsRegisteredClassesByNameIgnoringCase) {
  EXPECT_EQ(FindClass(L"TWidget"), TWidget::StaticClass());
  EXPECT_EQ(GetClass(L"twidget"), TWidget::StaticClass());
  EXPECT_EQ(GetClass(L"TNoSuchThing"), nullptr);
  try {
    FindClass(L"TNoSuchThing");
    FAIL();
  } catch (const EClassNotFound& e) {
    EXPECT_EQ(e.Message(), L"Class TNoSuchThing not found");
  }
  EXPECT_TRUE(TWidget::StaticClass()->InheritsFrom(TComponent::StaticClass()));
  EXPECT_FALSE(TComponent::StaticClass()->InheritsFrom(TWidget::StaticClass()));
  EXPECT_EQ(TWidget::StaticClass()->ClassParent(), TComponent::StaticClass());
}

TEST(ClassRegistry, AliasAndUnregister) {
  RegisterClassAlias(TWidget::StaticClass(), L"TOldWidget");
  EXPECT_EQ(GetClass(L"TOldWidget"), TWidget::StaticClass());
  UnRegisterClass(TWFont::StaticClass());
  EXPECT_EQ(GetClass(L"TWFont"), nullptr);
  RegisterClass(TWFont::StaticClass());
  EXPECT_EQ(GetClass(L"TWFont"), TWFont::StaticClass());
}

TEST(ClassRegistry, PropertiesInheritedFirstInDeclarationOrder) {
  const auto& props = TWidget::StaticClass()->Props();
  ASSERT_GE(props.size(), 4u);
  EXPECT_EQ(props[0]->Name, L"Name");
  EXPECT_EQ(props[1]->Name, L"Tag");
  EXPECT_EQ(props[2]->Name, L"Left");
  EXPECT_EQ(TWidget::StaticClass()->FindProp(L"caption")->PropType->Kind, tkUString);
  EXPECT_EQ(TWidget::StaticClass()->FindProp(L"Options")->PropType->Kind, tkSet);
  EXPECT_EQ(TWidget::StaticClass()->FindProp(L"Big")->PropType->Kind, tkInt64);
  EXPECT_TRUE(TWidget::StaticClass()->FindProp(L"When")->PropType->IsDate);
}

TEST(ClassRegistry, ByNameRoutinesReachProperties) {
  TWidget w(nullptr);
  SetEnumProp(&w, L"Align", L"waLeft");
  EXPECT_EQ(w.Align(), waLeft);
  SetSetProp(&w, L"Options", L"[woItalic,woStrike]");
  EXPECT_EQ(GetSetProp(&w, L"Options", true), L"[woItalic,woStrike]");
  SetStrProp(&w, L"Caption", L"x");
  EXPECT_EQ(GetStrProp(&w, L"Caption"), L"x");
  SetOrdProp(&w, L"Left", -5);
  EXPECT_EQ(GetOrdProp(&w, L"Left"), -5);
  EXPECT_THROW(SetEnumProp(&w, L"Align", L"waDiagonal"), EPropertyConvertError);
  EXPECT_THROW(GetOrdProp(&w, L"Nope"), EPropertyError);
  EXPECT_EQ(GetObjectProp(&w, L"Font"), w.Font());
}

TEST(Ownership, OwnedComponentsDieWithOwnerLastCreatedFirst) {
  Journal().clear();
  auto* owner = new TWidget(nullptr);
  owner->SetName(L"Owner1");
  for (const wchar_t* n : {L"A", L"B", L"C"}) (new TWidget(owner))->SetName(n);
  EXPECT_EQ(owner->ComponentCount(), 3);
  owner->Free();
  std::vector<String> expected = {L"destroy Owner1", L"destroy C", L"destroy B", L"destroy A"};
  EXPECT_EQ(Journal(), expected);
}

TEST(Ownership, DeletingAComponentRemovesItFromItsOwner) {
  TWidget owner(nullptr);
  auto* a = new TWidget(&owner);
  auto* b = new TWidget(&owner);
  a->SetName(L"A");
  b->SetName(L"B");
  delete a;
  ASSERT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(owner.Components(0), b);
  EXPECT_EQ(owner.FindComponent(L"a"), nullptr);
  EXPECT_EQ(owner.FindComponent(L"b"), b);
  EXPECT_THROW(owner.Components(1), EListError);
}

TEST(Ownership, FreeNotificationArrivesBeforeTheReferenceDies) {
  Journal().clear();
  TWidget holder(nullptr);
  holder.SetName(L"Holder");
  auto* target = new TWidget(nullptr);
  target->SetName(L"Target");
  holder.SetBuddy(target);
  target->Free();
  EXPECT_EQ(holder.Buddy(), nullptr);
  // The notification came while the target could still tell its name, then it died.
  ASSERT_EQ(Journal().size(), 2u);
  EXPECT_EQ(Journal()[0], L"destroy Target");
  EXPECT_EQ(Journal()[1], L"notified Holder of Target");
}

TEST(Ownership, OwnerNotificationReachesSiblings) {
  Journal().clear();
  TWidget owner(nullptr);
  auto* a = new TWidget(&owner);
  auto* b = new TWidget(&owner);
  a->SetName(L"A");
  b->SetName(L"B");
  a->SetBuddy(b);
  b->Free();
  EXPECT_EQ(a->Buddy(), nullptr);
}

TEST(Ownership, DestroyingHolderFirstLeavesNoDanglingNotification) {
  auto* target = new TWidget(nullptr);
  target->SetName(L"T");
  {
    TWidget holder(nullptr);
    holder.SetName(L"H");
    holder.SetBuddy(target);
  }
  Journal().clear();
  target->Free();  // must not notify the dead holder
  EXPECT_EQ(Journal(), std::vector<String>{L"destroy T"});
}

TEST(ComponentName, ValidatesIdentifiersAndUniquenessWithinOwner) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  a->SetName(L"Button1");
  try {
    b->SetName(L"button1");
    FAIL();
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message(), L"A component named button1 already exists");
  }
  try {
    b->SetName(L"1st");
    FAIL();
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message(), L"'1st' is not a valid component name");
  }
  b->SetName(L"Button2");
  a->SetName(L"BUTTON1");  // a new case of its own name is fine
  a->SetName(L"");
  b->SetName(L"");
  EXPECT_EQ(owner.FindComponent(L""), nullptr);
  TComponent lone(nullptr);
  lone.SetName(L"Button1");
  EXPECT_EQ(lone.GetNamePath(), L"Button1");
}

TEST(Persistent, AssignErrorNamesBothClasses) {
  TWFont font;
  TWidget w(nullptr);
  try {
    font.Assign(&w);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"Cannot assign a TWidget to a TWFont");
  }
  try {
    font.Assign(nullptr);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"Cannot assign a nil to a TWFont");
  }
}

TEST(Collections, IdsIndexesMovesAndNamePaths) {
  TWidget w(nullptr);
  w.SetName(L"W1");
  auto* items = w.Items();
  auto* a = static_cast<TWItem*>(items->Add());
  auto* b = static_cast<TWItem*>(items->Add());
  auto* c = static_cast<TWItem*>(items->Add());
  EXPECT_EQ(a->ID(), 0);
  EXPECT_EQ(c->ID(), 2);
  c->SetIndex(0);
  EXPECT_EQ(items->Items(0), c);
  EXPECT_EQ(a->Index(), 1);
  items->Delete(1);
  EXPECT_EQ(items->Count(), 2);
  EXPECT_EQ(items->FindItemID(0), nullptr);
  EXPECT_EQ(items->FindItemID(1), b);
  EXPECT_EQ(b->GetNamePath(), L"W1.Items[1]");
  auto* d = static_cast<TWItem*>(items->Add());
  EXPECT_EQ(d->ID(), 3);  // ids are never reused
  EXPECT_THROW(items->Items(5), EListError);
  delete b;  // an item leaves its collection when deleted
  EXPECT_EQ(items->Count(), 2);
}

TEST(Collections, AssignCopiesItemsAndUpdateNests) {
  struct TCounting : TCollection {
    using TCollection::TCollection;
    void Update(TCollectionItem*) override { ++Updates; }
    int Updates = 0;
  };
  TCounting src(TWItem::StaticClass());
  static_cast<TWItem*>(src.Add())->SetCaption(L"one");
  static_cast<TWItem*>(src.Add())->SetCaption(L"two");
  TCounting dst(TWItem::StaticClass());
  dst.Add();
  dst.Updates = 0;
  dst.BeginUpdate();
  dst.BeginUpdate();
  dst.Assign(&src);
  dst.EndUpdate();
  EXPECT_EQ(dst.Updates, 0);
  dst.EndUpdate();
  EXPECT_EQ(dst.Updates, 1);
  ASSERT_EQ(dst.Count(), 2);
  EXPECT_EQ(static_cast<TWItem*>(dst.Items(1))->Caption(), L"two");
  static_cast<TWItem*>(src.Items(1))->SetCaption(L"changed");
  EXPECT_EQ(static_cast<TWItem*>(dst.Items(1))->Caption(), L"two");
}

TEST(Events, CallingAnUnassignedEventDoesNothing) {
  TWidget w(nullptr);
  w.OnClick(&w);
  int v = 3;
  w.OnChangeValue(&w, v);
  EXPECT_EQ(v, 3);
  TWForm f(nullptr);
  w.OnChangeValue.Bind(&f, &TWForm::ValueChanged, L"ValueChanged");
  w.OnChangeValue(&w, v);
  EXPECT_EQ(v, 6);
  EXPECT_EQ(w.OnChangeValue.MethodName(), L"ValueChanged");
  w.OnChangeValue = nullptr;
  EXPECT_FALSE(w.OnChangeValue.Assigned());
}
