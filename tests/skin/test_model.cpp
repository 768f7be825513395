// The shape model: member names of the enumerations as streams see them, TKwBasicShape's
// defaults, setters and the single change its Assign raises.
#include <gtest/gtest.h>

#include "host/Typinfo.h"
#include "skin/Kwmain.h"

using namespace kw;

TEST(ShapeModelEnums, MemberNamesInOrdinalOrder) {
  const TTypeInfo* shapes = TypeInfoOf<TKwShapes>();
  ASSERT_EQ(shapes->EnumNames.size(), 44u);
  EXPECT_EQ(GetEnumName(shapes, shaTriangleBorder1), L"shaTriangleBorder1");
  EXPECT_EQ(GetEnumName(shapes, shaCilinder), L"shaCilinder");
  EXPECT_EQ(GetEnumName(shapes, shaDonut), L"shaDonut");
  EXPECT_EQ(GetEnumValue(shapes, L"shaArcRect"), int(shaArcRect));
  const TTypeInfo* bgs = TypeInfoOf<TKwBackGroundStyle>();
  ASSERT_EQ(bgs->EnumNames.size(), 21u);
  EXPECT_EQ(GetEnumName(bgs, bgsCenter), L"bgsCenter");
  EXPECT_EQ(GetEnumName(bgs, bgsGrid), L"bgsGrid");
  // The break and brush styles share the prefix and keep their own names.
  EXPECT_EQ(GetEnumValue(TypeInfoOf<TKwBreakStyle>(), L"brs3DBottom"), 3);
  EXPECT_EQ(GetEnumValue(TypeInfoOf<TKwBrushStyle>(), L"brsGrid"), 8);
  EXPECT_EQ(GetEnumName(TypeInfoOf<TKwMoveDirection>(), mvdNone), L"mvdNone");
  EXPECT_EQ(GetEnumName(TypeInfoOf<TKwProgressBarOrientation>(), pboDown), L"pboDown");
  EXPECT_EQ(GetEnumName(TypeInfoOf<TKwCheckState>(), cksGrayed), L"cksGrayed");
  EXPECT_EQ(GetEnumName(TypeInfoOf<TKwFocusStyle>(), fcsDouble), L"fcsDouble");
}

TEST(BasicShape, DefaultsAndPublishedProperties) {
  TKwBasicShape s;
  EXPECT_EQ(s.Shape(), shaRectangle);
  EXPECT_FALSE(s.Reflection());
  EXPECT_EQ(s.Orientation(), sorDefault);
  const TPropInfo* shape = TKwBasicShape::StaticClass()->FindProp(L"Shape");
  ASSERT_NE(shape, nullptr);
  EXPECT_EQ(shape->Default, Int64(shaRectangle));
  SetEnumProp(&s, L"Shape", L"shaStar");
  EXPECT_EQ(s.Shape(), shaStar);
  EXPECT_EQ(GetEnumProp(&s, L"Orientation"), L"sorDefault");
}

TEST(BasicShape, SettersAndAssignRaiseOnlyOnRealChanges) {
  TKwBasicShape a, b;
  int changes = 0;
  a.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &a);
    changes++;
  };
  a.SetShape(shaRectangle);
  EXPECT_EQ(changes, 0);
  a.SetOrientation(sorLeft);
  EXPECT_EQ(changes, 1);
  b.SetShape(shaStar);
  b.SetReflection(true);
  b.SetOrientation(sorDown);
  changes = 0;
  a.Assign(&b);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(a.Shape(), shaStar);
  EXPECT_TRUE(a.Reflection());
  EXPECT_EQ(a.Orientation(), sorDown);
  a.Assign(&b);
  EXPECT_EQ(changes, 1);
  // The handler is the owner's again after the copy.
  a.SetShape(shaOk);
  EXPECT_EQ(changes, 2);
}
