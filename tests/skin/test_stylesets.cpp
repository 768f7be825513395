// Style sets: resolution order and re-resolution through a display package the tests provide,
// the "<Default>" name, Assign and fallback changes, unchecking through default sets, the
// "Name" stream property's rules and the sets lock across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "host/Filer.h"
#include "host/Formtext.h"
#include "host/Graphics.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Encoding.h"
#include "host/Typreg.h"
#include "skin/Kwsets.h"

using namespace kw;

namespace {

class TTestColorList;

class TTestColorItem : public TKwStyleItemColor {
public:
  TTestColorItem(TTestColorList* list, String name, TColor color) : FList(list), Name(std::move(name)), Value(color) {}
  const TKwStyleList* List() const override;
  TColor Color() const override { return Value; }
  TTestColorList* FList;
  String Name;
  TColor Value;
};

// A display package's colour list as the sets see it: counts its lookups.
class TTestColorList : public TKwStyleListColor {
public:
  TKwStyleItemColor* Find(const String& name) override {
    ++finds;
    for (auto& item : items) {
      if (!Trim(name).empty() && SameText(item->Name, name)) return item.get();
    }
    return nullptr;
  }
  TTestColorItem* Add(const String& name, TColor c) {
    items.push_back(std::make_unique<TTestColorItem>(this, name, c));
    return items.back().get();
  }
  void Remove(TTestColorItem* item) {
    KwUnCheckSetColor(item);
    std::erase_if(items, [item](auto& p) { return p.get() == item; });
  }
  std::vector<std::unique_ptr<TTestColorItem>> items;
  int finds = 0;
};

const TKwStyleList* TTestColorItem::List() const { return FList; }

TTestColorList* GColors = nullptr;
TKwStyleLists GLists;
const TKwStyleLists* TestLists() { return GColors ? &GLists : nullptr; }

class StyleSetTest : public ::testing::Test {
protected:
  void SetUp() override {
    KwInitStyleSets();
    colors = std::make_unique<TTestColorList>();
    GColors = colors.get();
    GLists.Colors = colors.get();
    KwSetStyleListsAccessor(&TestLists);
    // The standard sets may hold "nothing found" from an earlier test's package.
    KwUnCheckNilSetsColor();
  }
  void TearDown() override {
    UncheckEverything();
    KwSetStyleListsAccessor(nullptr);
    GColors = nullptr;
    GLists = {};
  }
  // Every registered colour set forgets its answer before the package goes.
  void UncheckEverything() {
    for (auto& item : colors->items) KwUnCheckSetColor(item.get());
    KwUnCheckNilSetsColor();
  }
  std::unique_ptr<TTestColorList> colors;
};

// A component that publishes a colour set, as controls do.
class TSetHolder : public TComponent {
  KW_CLASS(TSetHolder, TComponent)
  explicit TSetHolder(TComponent* owner) : TComponent(owner), FPlain(new TKwSetColor(KwSetColText, false)),
                                           FDefaulted(new TKwSetColor(KwSetColText, true)) {}
  TKwSetColor* Plain() const { return FPlain.get(); }
  void SetPlain(TKwSetColor* v) { FPlain->Assign(v); }
  TKwSetColor* Defaulted() const { return FDefaulted.get(); }
  void SetDefaulted(TKwSetColor* v) { FDefaulted->Assign(v); }

private:
  std::unique_ptr<TKwSetColor> FPlain, FDefaulted;
};

KW_BEGIN_CLASS(TSetHolder, TComponent) {
  b.Prop(L"Plain", &TSetHolder::Plain, &TSetHolder::SetPlain);
  b.Prop(L"Defaulted", &TSetHolder::Defaulted, &TSetHolder::SetDefaulted);
}

std::string WriteText(TComponent* root) {
  TBytesStream bin;
  {
    TWriter w(bin);
    w.WriteRootComponent(root);
  }
  bin.SetPosition(0);
  TBytesStream text;
  ObjectBinaryToText(bin, text);
  TBytes b = text.Bytes();
  return std::string(b.begin(), b.end());
}

}  // namespace

TEST_F(StyleSetTest, ResolvesOwnNameThenTheStandardNameThenTheBuiltInValue) {
  TKwSetColor set(KwSetColText, false);
  EXPECT_EQ(set.Color(), clWindowText) << "nothing in the package";
  set.SetName(L"Title");
  TTestColorItem* standard = colors->Add(L"Dft_ColText", clNavy);
  KwUnCheckNilSetsColor();
  EXPECT_EQ(set.Color(), clNavy) << "the standard name in the package";
  TTestColorItem* own = colors->Add(L"TITLE", clMaroon);
  KwUnCheckNilSetsColor();
  EXPECT_EQ(set.Color(), clNavy) << "a resolved set keeps its answer until unchecked";
  KwUnCheckSetColor(standard);
  EXPECT_EQ(set.Color(), clMaroon) << "own name first, found without regard to case";
  colors->Remove(own);
  EXPECT_EQ(set.Color(), clNavy);
  colors->Remove(standard);
  EXPECT_EQ(set.Color(), clWindowText) << "back to the built-in value";
  // A lookup that found nothing is cached too: no search until the next invalidation.
  int finds = colors->finds;
  EXPECT_EQ(set.Color(), clWindowText);
  EXPECT_EQ(colors->finds, finds);
}

TEST_F(StyleSetTest, WithoutAnApplicationControllerTheBuiltInValueAnswersAndNothingIsCached) {
  colors->Add(L"Dft_ColText", clNavy);
  KwSetStyleListsAccessor(nullptr);
  TKwSetColor set(KwSetColText, false);
  EXPECT_EQ(set.Color(), clWindowText);
  EXPECT_FALSE(set.Checked());
  EXPECT_FALSE(set.Defined());
  KwSetStyleListsAccessor(&TestLists);
  EXPECT_EQ(set.Color(), clNavy);
  EXPECT_TRUE(set.Checked());
}

TEST_F(StyleSetTest, TheDefaultNameIsNeverSearchedForInAnyCase) {
  colors->Add(L"<Default>", clRed);
  colors->Add(L"Dft_ColText", clNavy);
  for (const wchar_t* name : {L"<Default>", L"<DEFAULT>", L"  <default> "}) {
    TKwSetColor set(KwSetColText, false);
    set.SetName(name);
    int finds = colors->finds;
    KwUnCheckNilSetsColor();
    KwSetColText->SetChecked(false);
    EXPECT_EQ(set.Color(), clNavy) << "falls back to the default set for " << UTF8Encode(name);
    EXPECT_EQ(colors->finds, finds + 1) << "only the default set's own name was searched";
  }
}

TEST_F(StyleSetTest, AssignAndFallbackChangesRaiseTheirChanges) {
  TKwSetColor a(KwSetColText, false), b(KwSetColText, false);
  int changes = 0;
  a.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &a);
    ++changes;
  };
  a.SetName(L"Caption");
  EXPECT_EQ(changes, 1);
  a.SetName(L"CAPTION");
  EXPECT_EQ(changes, 1) << "a change of case only is stored silently";
  EXPECT_EQ(a.Name(), L"CAPTION");
  b.SetName(L"caption");
  a.Assign(&b);
  EXPECT_EQ(changes, 1) << "same name: no change";
  b.SetName(L"Other");
  a.Assign(&b);
  EXPECT_EQ(changes, 2) << "another name: exactly one change";
  EXPECT_EQ(a.Name(), L"Other");

  a.SetDefaultSetColor(nullptr);
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(a.DefaultSetColor(), KwSetColBox);
  a.SetName(L"");
  EXPECT_EQ(a.Color(), clBlack) << "the box colour's built-in value";

  TKwSetBackGround bg;
  EXPECT_THROW(a.Assign(&bg), EConvertError);
  TKwSetFont f1, f2;
  f2.ScaleMul = 3;
  f2.ScaleDiv = 2;
  f1.Assign(&f2);
  EXPECT_EQ(f1.ScaleMul, 3);
  EXPECT_EQ(f1.ScaleDiv, 2);
}

TEST_F(StyleSetTest, UncheckingADefaultSetReachesOnlyItsDependants) {
  TKwSetColor onText(KwSetColText, false), onBox(KwSetColBox, false);
  colors->Add(L"Dft_ColText", clNavy);
  colors->Add(L"Dft_ColBox", clTeal);
  KwUnCheckNilSetsColor();
  EXPECT_EQ(onText.Color(), clNavy);
  EXPECT_EQ(onBox.Color(), clTeal);
  ASSERT_TRUE(onText.Checked());
  ASSERT_TRUE(KwSetColText->Checked());
  KwSetColText->SetChecked(false);
  EXPECT_FALSE(onText.Checked());
  EXPECT_TRUE(onBox.Checked());
  EXPECT_TRUE(KwSetColBox->Checked());
}

TEST_F(StyleSetTest, UpdateTellsOnlyTheSetsWhoseAnswerMayHaveChanged) {
  // The untouched set falls back to a standard set that found its package item, so the walk
  // over sets that found nothing (which unchecks the standard sets that did and their
  // dependants) passes it by.
  TKwSetColor found(KwSetColText, false), missing(KwSetColText, false), untouched(KwSetColBox, false);
  colors->Add(L"Dft_ColBox", clGray);
  KwUnCheckNilSetsColor();
  EXPECT_EQ(KwSetColBox->Color(), clGray);
  found.SetName(L"Found");
  missing.SetName(L"Missing");
  untouched.SetName(L"Untouched");
  TTestColorItem* item = colors->Add(L"Found", clRed);
  colors->Add(L"Untouched", clBlue);
  found.Color();
  missing.Color();
  untouched.Color();
  int foundChanges = 0, missingChanges = 0, untouchedChanges = 0;
  found.OnChange = [&](TObject*) { ++foundChanges; };
  missing.OnChange = [&](TObject*) { ++missingChanges; };
  untouched.OnChange = [&](TObject*) { ++untouchedChanges; };
  item->Value = clLime;
  KwUnCheckSetColor(item);
  KwUpdateSetsColor();
  EXPECT_EQ(foundChanges, 1) << "it had an item";
  EXPECT_EQ(found.Color(), clLime);
  EXPECT_EQ(missingChanges, 0) << "still nothing found";
  colors->Add(L"Missing", clYellow);
  KwUnCheckNilSetsColor();
  KwUpdateSetsColor();
  EXPECT_EQ(missingChanges, 1) << "found now";
  EXPECT_EQ(missing.Color(), clYellow);
  EXPECT_EQ(untouchedChanges, 0);
}

TEST_F(StyleSetTest, NameIsStreamedOnlyWhenTheRulesSayAndReadsBack) {
  auto* holder = new TSetHolder(nullptr);
  holder->SetName(L"Holder");
  std::string text = WriteText(holder);
  EXPECT_EQ(text.find("Name ="), text.rfind("Name =")) << text;  // only the component's own
  EXPECT_EQ(text.find("Plain.Name"), std::string::npos) << "empty name, not default";
  EXPECT_EQ(text.find("Defaulted.Name"), std::string::npos) << "default set still <Default>";

  holder->Plain()->SetName(L"Heading");
  holder->Defaulted()->SetName(L"");
  text = WriteText(holder);
  EXPECT_NE(text.find("Plain.Name = 'Heading'"), std::string::npos) << text;
  EXPECT_NE(text.find("Defaulted.Name = ''"), std::string::npos) << "a cleared default is written" << text;

  // Read back into a fresh holder.
  TBytesStream bin;
  {
    TWriter w(bin);
    w.WriteRootComponent(holder);
  }
  bin.SetPosition(0);
  auto* copy = new TSetHolder(nullptr);
  {
    TReader r(bin);
    r.ReadRootComponent(copy);
  }
  EXPECT_EQ(copy->Plain()->Name(), L"Heading");
  EXPECT_EQ(copy->Defaulted()->Name(), L"");
  delete copy;
  delete holder;
}

TEST(StyleSetLock, TryLockAnswersFalseWhileAnotherThreadHoldsOrWaits) {
  KwInitStyleSets();
  EXPECT_TRUE(KwTryLockSets());
  EXPECT_FALSE(KwTryLockSets()) << "a holder counts, even this thread";
  KwLockSets();  // while a plain lock is recursive for its holder
  KwUnLockSets();
  KwUnLockSets();

  std::atomic<int> stage{0};
  std::atomic<bool> otherTry{true};
  std::thread holder([&] {
    KwLockSets();
    stage = 1;
    while (stage < 2) std::this_thread::yield();
    KwUnLockSets();
  });
  while (stage < 1) std::this_thread::yield();
  EXPECT_FALSE(KwTryLockSets()) << "held by another thread";
  // A waiter counts too: this thread now waits while the holder tries.
  std::thread waiter([&] {
    KwLockSets();
    KwUnLockSets();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  stage = 2;
  holder.join();
  waiter.join();
  std::thread late([&] {
    otherTry = KwTryLockSets();
    if (otherTry) KwUnLockSets();
  });
  late.join();
  EXPECT_TRUE(otherTry) << "free again once everyone left";
}

TEST(StandardSets, SixtyOneSetsWithTheirStandardNamesAndValues) {
  KwInitStyleSets();
  EXPECT_GE(KwStyleSetCount(TKwStyleSet::skColor) + KwStyleSetCount(TKwStyleSet::skBackGround) +
                KwStyleSetCount(TKwStyleSet::skFont),
            61);
  EXPECT_EQ(KwSetColText->Name(), L"Dft_ColText");
  EXPECT_EQ(KwSetBackGround->Name(), L"Dft_BackGround");
  EXPECT_EQ(KwSetFont->Name(), L"Dft_Font");
  EXPECT_EQ(KwSetFont->Font(), KwDefaultFont);
  EXPECT_EQ(KwSet3DMLight->BuiltIn(), TColor(0xE2E2E2));
  EXPECT_EQ(KwSetStandOut->BuiltIn(), clRed);
  // The intermediate tones are palette-relative colours computed from the system colours.
  Cardinal face = Cardinal(ColorToRGB(clBtnFace));
  TColor m = KwSetColMLight->BuiltIn();
  EXPECT_EQ(Cardinal(m) >> 24, 0x02u);
  int faceRed = int(face & 0xFF);
  EXPECT_EQ(int(Cardinal(m) & 0xFF), int(std::nearbyint(255 + 2 * (faceRed - 255) / 3.0)));
  EXPECT_EQ(KwSetBGMLight->BuiltIn(), m);
  TKwSetColor plain;
  EXPECT_EQ(plain.DefaultSetColor(), KwSetColBox) << "a plain set falls back to the box colour";
  TKwSetBackGround bg;
  EXPECT_EQ(bg.DefaultSetBackGround(), KwSetBackGround);
  EXPECT_TRUE(bg.SolidStyle());
  EXPECT_EQ(bg.Color(), clBtnFace);
}
