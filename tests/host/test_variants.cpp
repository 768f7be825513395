// Tests of the host Variant: conversions at the range edges, rounding, Null and Empty rules,
// type names, comparison, arithmetic, arrays and by-reference variants. Date texts are
// covered with the date routines, not here.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/Sysutils.h"
#include "host/Variants.h"

using namespace kw;

namespace {

template <class E, class F>
String ThrownMessage(F f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  } catch (const std::exception& e) {
    ADD_FAILURE() << "other exception: " << e.what();
    return L"";
  }
  ADD_FAILURE() << "nothing raised";
  return L"";
}

// Restores the process settings whatever a test changed.
struct SettingsGuard {
  TFormatSettings Saved = FormatSettings;
  ~SettingsGuard() { FormatSettings = Saved; }
};

}  // namespace

TEST(VariantConstruct, TypeCodesFollowTheSourceType) {
  EXPECT_EQ(Variant().VarType(), varEmpty);
  EXPECT_EQ(Variant(true).VarType(), varBoolean);
  EXPECT_EQ(Variant((signed char)-1).VarType(), varShortInt);
  EXPECT_EQ(Variant(short(-1)).VarType(), varSmallint);
  EXPECT_EQ(Variant(1).VarType(), varInteger);
  EXPECT_EQ(Variant(Int64(1)).VarType(), varInt64);
  EXPECT_EQ(Variant(Byte(1)).VarType(), varByte);
  EXPECT_EQ(Variant(Word(1)).VarType(), varWord);
  EXPECT_EQ(Variant(Cardinal(1)).VarType(), varLongWord);
  EXPECT_EQ(Variant(UInt64(1)).VarType(), varUInt64);
  EXPECT_EQ(Variant(1.5f).VarType(), varSingle);
  EXPECT_EQ(Variant(1.5).VarType(), varDouble);
  EXPECT_EQ(Variant(Currency(2)).VarType(), varCurrency);
  EXPECT_EQ(Variant(TDateTime(1.0)).VarType(), varDate);
  EXPECT_EQ(Variant(L"x").VarType(), varUString);
  EXPECT_EQ(Variant(String(L"x")).VarType(), varUString);
  EXPECT_EQ(Variant(L'x').AsString(), L"x");
  EXPECT_EQ(Variant::OleStr(L"x").VarType(), varOleStr);
  EXPECT_EQ(Null().VarType(), varNull);
  EXPECT_EQ(Unassigned().VarType(), varEmpty);
  EXPECT_EQ(Variant(TBytes{1, 2}).VarType(), varArray | varByte);
}

TEST(VariantConvert, IntegerEdgesAndNarrowingOverflow) {
  EXPECT_EQ(Variant(Int64(2147483647)).AsInteger(), 2147483647);
  EXPECT_EQ(Variant(Int64(-2147483647 - 1)).AsInteger(), -2147483647 - 1);
  EXPECT_EQ(ThrownMessage<EVariantOverflowError>([] { Variant(Int64(2147483648LL)).AsInteger(); }),
            L"Overflow while converting variant of type (Int64) into type (Integer)");
  EXPECT_THROW(Variant(Int64(-2147483649LL)).AsInteger(), EVariantOverflowError);

  EXPECT_EQ(VarAsType(127, varShortInt).AsInteger(), 127);
  EXPECT_EQ(VarAsType(-128, varShortInt).VarType(), varShortInt);
  EXPECT_THROW(VarAsType(128, varShortInt), EVariantOverflowError);
  EXPECT_THROW(VarAsType(-129, varShortInt), EVariantOverflowError);
  EXPECT_EQ(VarAsType(-32768, varSmallint).AsInteger(), -32768);
  EXPECT_THROW(VarAsType(32768, varSmallint), EVariantOverflowError);
  EXPECT_EQ(ThrownMessage<EVariantOverflowError>([] { VarAsType(-1, varByte); }),
            L"Overflow while converting variant of type (Integer) into type (Byte)");
  EXPECT_THROW(VarAsType(256, varByte), EVariantOverflowError);
  EXPECT_EQ(VarAsType(65535, varWord).AsInteger(), 65535);
  EXPECT_THROW(VarAsType(65536, varWord), EVariantOverflowError);
  EXPECT_EQ(VarAsType(Int64(4294967295LL), varLongWord).AsInt64(), 4294967295LL);
  EXPECT_THROW(VarAsType(-1, varLongWord), EVariantOverflowError);

  const Int64 lo = std::numeric_limits<Int64>::min(), hi = std::numeric_limits<Int64>::max();
  EXPECT_EQ(Variant(lo).AsInt64(), lo);
  EXPECT_EQ(Variant(hi).AsInt64(), hi);
  EXPECT_EQ(Variant(hi).AsUInt64(), UInt64(hi));
  EXPECT_THROW(Variant(UInt64(hi) + 1).AsInt64(), EVariantOverflowError);
  EXPECT_EQ(Variant(std::numeric_limits<UInt64>::max()).AsUInt64(), std::numeric_limits<UInt64>::max());
  EXPECT_THROW(Variant(-1).AsUInt64(), EVariantOverflowError);
  EXPECT_EQ(Variant(L"18446744073709551615").AsUInt64(), std::numeric_limits<UInt64>::max());
  EXPECT_THROW(Variant(L"18446744073709551616").AsUInt64(), EVariantOverflowError);
}

TEST(VariantConvert, FloatsRoundToEvenWhenMadeIntegers) {
  EXPECT_EQ(Variant(2.5).AsInteger(), 2);
  EXPECT_EQ(Variant(3.5).AsInteger(), 4);
  EXPECT_EQ(Variant(-2.5).AsInteger(), -2);
  EXPECT_EQ(Variant(-3.5).AsInteger(), -4);
  EXPECT_EQ(Variant(-0.5).AsInteger(), 0);
  EXPECT_EQ(Variant(2.5000001).AsInteger(), 3);
  EXPECT_EQ(Variant(-2.7f).AsInteger(), -3);
  EXPECT_EQ(Variant(Currency::FromRaw(25000)).AsInteger(), 2);
  EXPECT_EQ(Variant(Currency::FromRaw(35000)).AsInteger(), 4);
  EXPECT_EQ(Variant(Currency::FromRaw(-25001)).AsInteger(), -3);
  EXPECT_EQ(Variant(2147483647.4).AsInteger(), 2147483647);
  EXPECT_THROW(Variant(2147483647.5).AsInteger(), EVariantOverflowError);
  EXPECT_THROW(Variant(1e19).AsInt64(), EVariantOverflowError);
  EXPECT_THROW(Variant(std::nan("")).AsInteger(), EVariantOverflowError);
  EXPECT_THROW(Variant(300.0).AsBytes(), EVariantTypeCastError);
  EXPECT_THROW(VarAsType(1e39, varSingle), EVariantOverflowError);
  // Double to Currency keeps four decimals, ties to even.
  EXPECT_EQ(Variant(1.23455).AsCurrency().Raw(), 12346);
  EXPECT_EQ(Variant(0.00005).AsCurrency().Raw(), 0);
  EXPECT_THROW(Variant(1e15).AsCurrency(), EVariantOverflowError);
  EXPECT_THROW(Variant(Int64(922337203685478LL)).AsCurrency(), EVariantOverflowError);
  EXPECT_EQ(Variant(Int64(922337203685477LL)).AsCurrency().Raw(), 9223372036854770000LL);
}

TEST(VariantConvert, StringsReadAsNumbersAndBooleans) {
  SettingsGuard guard;
  FormatSettings.DecimalSeparator = L'.';
  FormatSettings.DateSeparator = L'/';
  EXPECT_EQ(Variant(L"12").AsInteger(), 12);
  EXPECT_EQ(Variant(L"-12").AsInt64(), -12);
  EXPECT_EQ(Variant(L"12.5").AsInteger(), 12);
  EXPECT_EQ(Variant(L"13.5").AsInteger(), 14);
  EXPECT_DOUBLE_EQ(Variant(L"1.25").AsDouble(), 1.25);
  EXPECT_EQ(Variant(L"1.25").AsCurrency().Raw(), 12500);
  EXPECT_EQ(Variant(L"True").AsInteger(), -1);
  EXPECT_TRUE(Variant(L"True").AsBoolean());
  EXPECT_FALSE(Variant(L"false").AsBoolean());
  EXPECT_FALSE(Variant(L"0").AsBoolean());
  EXPECT_TRUE(Variant(L"2").AsBoolean());
  EXPECT_THROW(Variant(L"3000000000").AsInteger(), EVariantOverflowError);
  EXPECT_EQ(ThrownMessage<EVariantTypeCastError>([] { Variant(L"abc").AsInteger(); }),
            L"Could not convert variant of type (UnicodeString) into type (Integer)");
  EXPECT_EQ(ThrownMessage<EVariantTypeCastError>([] { Variant::OleStr(L"1x").AsDouble(); }),
            L"Could not convert variant of type (OleStr) into type (Double)");
  EXPECT_EQ(ThrownMessage<EVariantTypeCastError>([] { Variant(L"yes").AsBoolean(); }),
            L"Could not convert variant of type (UnicodeString) into type (Boolean)");
  EXPECT_THROW(Variant(L"").AsInteger(), EVariantTypeCastError);
  EXPECT_EQ(ThrownMessage<EVariantTypeCastError>([] { Variant(L"no date").AsDateTime(); }),
            L"Could not convert variant of type (UnicodeString) into type (Date)");
  EXPECT_EQ(Variant(L"2.25").AsDateTime().Val, 2.25);

  FormatSettings.DecimalSeparator = L',';
  EXPECT_DOUBLE_EQ(Variant(L"1,5").AsDouble(), 1.5);
  EXPECT_THROW(Variant(L"1.5").AsDouble(), EVariantTypeCastError);
}

TEST(VariantConvert, ValuesToStrings) {
  SettingsGuard guard;
  FormatSettings.DecimalSeparator = L'.';
  EXPECT_EQ(Variant(-5).AsString(), L"-5");
  EXPECT_EQ(Variant(std::numeric_limits<Int64>::min()).AsString(), L"-9223372036854775808");
  EXPECT_EQ(Variant(std::numeric_limits<UInt64>::max()).AsString(), L"18446744073709551615");
  EXPECT_EQ(Variant(1.5).AsString(), L"1.5");
  EXPECT_EQ(Variant(0.1f).AsString(), L"0.1");
  EXPECT_EQ(Variant(Currency::FromRaw(12500)).AsString(), L"1.25");
  EXPECT_EQ(Variant(true).AsString(), L"True");
  EXPECT_EQ(Variant(false).AsString(), L"False");
  EXPECT_EQ(VarAsType(42, varOleStr).VarType(), varOleStr);
  // A date shown with the settings reads back with them.
  const TDateTime when(45000.5);
  EXPECT_NEAR(Variant(Variant(when).AsString()).AsDateTime().Val, when.Val, 1e-6);
  FormatSettings.DecimalSeparator = L',';
  EXPECT_EQ(Variant(1.5).AsString(), L"1,5");
  EXPECT_EQ(ThrownMessage<EVariantTypeCastError>([] { VarArrayOf({1}).AsString(); }),
            L"Could not convert variant of type (Array Variant) into type (UnicodeString)");
}

TEST(VariantNullEmpty, NullRaisesEmptyIsZero) {
  EXPECT_EQ(ThrownMessage<EVariantTypeCastError>([] { Null().AsInteger(); }),
            L"Could not convert variant of type (Null) into type (Integer)");
  EXPECT_THROW(Null().AsString(), EVariantTypeCastError);
  EXPECT_THROW(Null().AsBoolean(), EVariantTypeCastError);
  EXPECT_THROW(Null().AsDouble(), EVariantTypeCastError);
  EXPECT_THROW(Null().AsCurrency(), EVariantTypeCastError);
  EXPECT_THROW(Null().AsBytes(), EVariantTypeCastError);
  EXPECT_EQ(VarAsType(Null(), varNull).VarType(), varNull);
  EXPECT_EQ(VarToStr(Null()), L"");
  EXPECT_EQ(VarToStrDef(Null(), L"-"), L"-");
  EXPECT_EQ(VarToStrDef(7, L"-"), L"7");

  Variant e;
  EXPECT_EQ(e.AsInteger(), 0);
  EXPECT_EQ(e.AsDouble(), 0.0);
  EXPECT_EQ(e.AsString(), L"");
  EXPECT_FALSE(e.AsBoolean());
  EXPECT_TRUE(e.AsBytes().empty());
  EXPECT_TRUE(VarIsClear(e));
  EXPECT_TRUE(VarIsEmpty(e));
  EXPECT_FALSE(VarIsNull(e));
  EXPECT_TRUE(VarIsNull(Null()));
  EXPECT_FALSE(VarIsEmpty(Null()));
}

TEST(VariantTypes, ClassificationAndNames) {
  EXPECT_TRUE(VarIsOrdinal(true));
  EXPECT_TRUE(VarIsOrdinal(UInt64(1)));
  EXPECT_FALSE(VarIsOrdinal(1.0));
  EXPECT_TRUE(VarIsFloat(Currency(1)));
  EXPECT_FALSE(VarIsFloat(TDateTime(1.0)));
  EXPECT_TRUE(VarIsNumeric(Byte(1)));
  EXPECT_FALSE(VarIsNumeric(L"1"));
  EXPECT_TRUE(VarIsStr(Variant::OleStr(L"")));
  EXPECT_TRUE(VarIsStr(VarAsType(1, varString)));
  EXPECT_FALSE(VarIsStr(Null()));
  EXPECT_TRUE(VarIsArray(VarArrayOf({})));
  EXPECT_FALSE(VarIsArray(L"ab"));

  EXPECT_EQ(VarTypeAsText(varEmpty), L"Empty");
  EXPECT_EQ(VarTypeAsText(varSmallint), L"SmallInt");
  EXPECT_EQ(VarTypeAsText(varShortInt), L"ShortInt");
  EXPECT_EQ(VarTypeAsText(varLongWord), L"LongWord");
  EXPECT_EQ(VarTypeAsText(varUInt64), L"UInt64");
  EXPECT_EQ(VarTypeAsText(varDate), L"Date");
  EXPECT_EQ(VarTypeAsText(varString), L"String");
  EXPECT_EQ(VarTypeAsText(varUString), L"UnicodeString");
  EXPECT_EQ(VarTypeAsText(varAny), L"Any");
  EXPECT_EQ(VarTypeAsText(varArray | varByte), L"Array Byte");
  EXPECT_EQ(VarTypeAsText(varByRef | varDouble), L"ByRef Double");
  EXPECT_EQ(VarTypeAsText(0x30), L"$0030");
  EXPECT_THROW(VarAsType(1, varDispatch), EVariantBadVarTypeError);
  EXPECT_EQ(VarAsType(TBytes{3}, varArray | varByte).AsBytes(), TBytes{3});
  EXPECT_THROW(VarAsType(TBytes{3}, varArray | varInteger), EVariantTypeCastError);
  EXPECT_THROW(VarAsType(3, varArray | varInteger), EVariantTypeCastError);
}

TEST(VariantCompare, RelationshipTable) {
  struct Row {
    Variant A, B;
    TVariantRelationship R;
  };
  const Row rows[] = {
      {1, 1.0, vrEqual},
      {1, 2, vrLessThan},
      {Byte(200), (signed char)-1, vrGreaterThan},
      {L"10", 9, vrGreaterThan},    // a string meets a number as a number
      {L"10", L"9", vrLessThan},    // two strings compare as text
      {L"abc", L"abc", vrEqual},
      {L"2.5", 2.5, vrEqual},
      {Null(), Null(), vrEqual},
      {Null(), 0, vrNotEqual},
      {0, Null(), vrNotEqual},
      {Null(), Variant(), vrNotEqual},
      {Variant(), Variant(), vrEqual},
      {Variant(), 0, vrEqual},
      {Variant(), L"", vrEqual},
      {Variant(), false, vrEqual},
      {Variant(), 5, vrLessThan},
      {-5, Variant(), vrLessThan},
      {true, -1, vrEqual},
      {true, L"true", vrEqual},
      {false, true, vrLessThan},
      {std::numeric_limits<Int64>::max(), UInt64(1) << 63, vrLessThan},
      {std::numeric_limits<UInt64>::max(), -1, vrGreaterThan},
      {Currency::FromRaw(15000), 1.5, vrEqual},
      {Currency(2), 2, vrEqual},
      {Currency(2), Int64(922337203685478LL), vrLessThan},
      {Int64(-922337203685478LL), Currency(2), vrLessThan},
      {Currency(3), L"2.5", vrGreaterThan},
      {TDateTime(2.0), 2, vrEqual},
      {std::nan(""), std::nan(""), vrNotEqual},
      {VarArrayOf({1, 2}), VarArrayOf({1, 2}), vrEqual},
      {VarArrayOf({1, 2}), VarArrayOf({1, 3}), vrNotEqual},
      {VarArrayOf({1}), 1, vrNotEqual},
  };
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(VarCompareValue(rows[i].A, rows[i].B), rows[i].R) << "row " << i;
}

TEST(VariantCompare, OperatorsAndSameValue) {
  EXPECT_TRUE(Variant(1) == 1.0);
  EXPECT_TRUE(Variant(1) != 2);
  EXPECT_TRUE(Variant(1) < 2);
  EXPECT_TRUE(Variant(2) >= 2);
  EXPECT_FALSE(Null() < 1);
  EXPECT_FALSE(Null() >= 1);
  EXPECT_TRUE(Null() == Null());
  EXPECT_THROW((void)(Variant(L"abc") == 1), EVariantTypeCastError);

  EXPECT_TRUE(VarSameValue(Variant(), Variant()));
  EXPECT_FALSE(VarSameValue(Variant(), 0));
  EXPECT_FALSE(VarSameValue(L"", Variant()));
  EXPECT_TRUE(VarSameValue(Null(), Null()));
  EXPECT_FALSE(VarSameValue(Null(), Variant()));
  EXPECT_TRUE(VarSameValue(1, L"1"));
}

TEST(VariantArith, NumbersStringsAndNull) {
  Variant s = Variant(2) + 3;
  EXPECT_EQ(s.VarType(), varInteger);
  EXPECT_EQ(s.AsInteger(), 5);
  Variant big = Variant(2147483647) + 1;
  EXPECT_EQ(big.VarType(), varInt64);
  EXPECT_EQ(big.AsInt64(), 2147483648LL);
  EXPECT_THROW(Variant(std::numeric_limits<Int64>::max()) + 1, EVariantOverflowError);
  EXPECT_THROW(Variant(std::numeric_limits<Int64>::min()) * -1, EVariantOverflowError);
  EXPECT_EQ((Variant(L"a") + L"b").AsString(), L"ab");
  Variant mixed = Variant(L"1") + 2;
  EXPECT_EQ(mixed.VarType(), varDouble);
  EXPECT_EQ(mixed.AsDouble(), 3.0);
  EXPECT_EQ((Variant(7) / 2).AsDouble(), 3.5);
  EXPECT_THROW(Variant(1) / 0, EZeroDivide);
  EXPECT_EQ((Variant(5) - 7).AsInteger(), -2);
  EXPECT_TRUE((Null() + 1).IsNull());
  EXPECT_EQ((Variant() + 1).AsInteger(), 1);
  EXPECT_EQ((Variant(TDateTime(10.0)) + 1).VarType(), varDate);
  EXPECT_EQ((Variant(TDateTime(10.0)) - Variant(TDateTime(4.0))).VarType(), varDouble);
  Variant c = Variant(Currency::FromRaw(15000)) * 3;
  EXPECT_EQ(c.VarType(), varCurrency);
  EXPECT_EQ(c.AsCurrency().Raw(), 45000);
  EXPECT_EQ((Variant(Currency::FromRaw(15000)) * Variant(Currency::FromRaw(25000))).AsCurrency().Raw(), 37500);
  EXPECT_THROW(VarArrayOf({1}) + 1, EVariantInvalidOpError);
  Variant acc = 1;
  acc += 2;
  EXPECT_EQ(acc.AsInteger(), 3);
}

TEST(VariantArray, MultiDimensionalBoundsAndElements) {
  Variant a = VarArrayCreate({1, 3, -1, 0}, varInteger);
  EXPECT_EQ(a.VarType(), varArray | varInteger);
  EXPECT_EQ(VarArrayDimCount(a), 2);
  EXPECT_EQ(VarArrayLowBound(a, 1), 1);
  EXPECT_EQ(VarArrayHighBound(a, 1), 3);
  EXPECT_EQ(VarArrayLowBound(a, 2), -1);
  EXPECT_EQ(VarArrayHighBound(a, 2), 0);
  EXPECT_EQ(a.GetElement({2, -1}).VarType(), varInteger);
  EXPECT_EQ(a.GetElement({2, -1}).AsInteger(), 0);
  for (int i = 1; i <= 3; ++i)
    for (int j = -1; j <= 0; ++j) a.PutElement({i, j}, i * 10 + j);
  for (int i = 1; i <= 3; ++i)
    for (int j = -1; j <= 0; ++j) EXPECT_EQ(a.GetElement(std::vector<int>{i, j}).AsInteger(), i * 10 + j);

  a.PutElement({1, 0}, L"77");  // converted to the element type
  EXPECT_EQ(a.GetElement({1, 0}).VarType(), varInteger);
  EXPECT_EQ(a.GetElement({1, 0}).AsInteger(), 77);
  EXPECT_THROW(a.PutElement({1, 0}, L"x"), EVariantTypeCastError);
  EXPECT_THROW(a.PutElement({1, 0}, Int64(1) << 40), EVariantOverflowError);

  EXPECT_EQ(ThrownMessage<EVariantBadIndexError>([&] { a.GetElement({4, 0}); }), SRes::SVarArrayBounds);
  EXPECT_THROW(a.GetElement({0, 0}), EVariantBadIndexError);
  EXPECT_THROW(a.GetElement({1, 1}), EVariantBadIndexError);
  EXPECT_THROW(a.GetElement({1}), EVariantBadIndexError);
  EXPECT_THROW(a.PutElement({1, 0, 0}, 1), EVariantBadIndexError);
  EXPECT_THROW(VarArrayLowBound(a, 3), EVariantBadIndexError);
  EXPECT_THROW(VarArrayHighBound(a, 0), EVariantBadIndexError);

  Variant scalar = 5;
  EXPECT_EQ(ThrownMessage<EVariantNotAnArrayError>([&] { scalar.GetElement({0}); }), SRes::SVarNotArray);
  EXPECT_THROW(scalar.PutElement({0}, 1), EVariantNotAnArrayError);
  EXPECT_THROW(VarArrayHighBound(scalar, 1), EVariantNotAnArrayError);
  EXPECT_EQ(VarArrayDimCount(scalar), 0);
}

TEST(VariantArray, CreateRejectsBadBoundsAndTypes) {
  EXPECT_THROW(VarArrayCreate({0}, varInteger), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreate({}, varInteger), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreate({5, 3}, varInteger), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreate({0, 1}, varUString), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreate({0, 1}, varNull), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreate({0, 65535, 0, 65535}, varVariant), EVariantArrayCreateError);
  Variant none = VarArrayCreate({3, 2}, varVariant);  // an empty range is allowed
  EXPECT_EQ(VarArrayHighBound(none, 1), 2);
  EXPECT_THROW(none.GetElement({3}), EVariantBadIndexError);
  Variant s = VarArrayCreate({0, 1}, varOleStr);
  EXPECT_EQ(s.GetElement({1}).VarType(), varOleStr);
  s.PutElement({1}, 12);
  EXPECT_EQ(s.GetElement({1}).AsString(), L"12");
}

TEST(VariantArray, RedimKeepsElementsOfTheLastDimension) {
  Variant a = VarArrayCreate({0, 1, 0, 1}, varVariant);
  a.PutElement({0, 0}, L"a");
  a.PutElement({1, 0}, L"b");
  a.PutElement({0, 1}, L"c");
  a.PutElement({1, 1}, L"d");
  VarArrayRedim(a, 2);
  EXPECT_EQ(VarArrayHighBound(a, 2), 2);
  EXPECT_EQ(a.GetElement({0, 0}).AsString(), L"a");
  EXPECT_EQ(a.GetElement({1, 0}).AsString(), L"b");
  EXPECT_EQ(a.GetElement({0, 1}).AsString(), L"c");
  EXPECT_EQ(a.GetElement({1, 1}).AsString(), L"d");
  EXPECT_TRUE(a.GetElement({1, 2}).IsEmpty());
  VarArrayRedim(a, 0);
  EXPECT_EQ(a.GetElement({1, 0}).AsString(), L"b");
  EXPECT_THROW(a.GetElement({0, 1}), EVariantBadIndexError);
  VarArrayRedim(a, -1);
  EXPECT_THROW(a.GetElement({0, 0}), EVariantBadIndexError);
  EXPECT_THROW(VarArrayRedim(a, -2), EVariantArrayCreateError);

  Variant bytes(TBytes{1, 2, 3});
  VarArrayRedim(bytes, 4);
  EXPECT_EQ(bytes.AsBytes(), (TBytes{1, 2, 3, 0, 0}));
  Variant scalar = 1;
  EXPECT_THROW(VarArrayRedim(scalar, 3), EVariantNotAnArrayError);
}

TEST(VariantArray, CopiesAreIndependent) {
  Variant inner = VarArrayOf({1, 2});
  Variant outer = VarArrayOf({inner, L"x"});
  Variant copy = outer;
  Variant innerCopy = copy.GetElement({0});
  innerCopy.PutElement({0}, 99);
  copy.PutElement({0}, innerCopy);
  copy.PutElement({1}, L"y");
  EXPECT_EQ(outer.GetElement({0}).GetElement({0}).AsInteger(), 1);
  EXPECT_EQ(outer.GetElement({1}).AsString(), L"x");
  EXPECT_EQ(copy.GetElement({0}).GetElement({0}).AsInteger(), 99);

  Variant b(TBytes{5, 6});
  Variant bc = b;
  bc.PutElement({0}, 7);
  EXPECT_EQ(b.AsBytes(), (TBytes{5, 6}));
  EXPECT_EQ(bc.AsBytes(), (TBytes{7, 6}));

  Variant moved = std::move(bc);
  EXPECT_EQ(moved.AsBytes(), (TBytes{7, 6}));
}

TEST(VariantArray, VarArrayOfAndBytes) {
  Variant a = VarArrayOf({1, L"a", Null()});
  EXPECT_EQ(a.VarType(), varArray | varVariant);
  EXPECT_EQ(VarArrayLowBound(a, 1), 0);
  EXPECT_EQ(VarArrayHighBound(a, 1), 2);
  EXPECT_EQ(a.GetElement({0}).VarType(), varInteger);
  EXPECT_EQ(a.GetElement({1}).VarType(), varUString);
  EXPECT_TRUE(a.GetElement({2}).IsNull());

  TBytes data{0, 1, 127, 128, 255};
  Variant v(data);
  EXPECT_EQ(VarArrayHighBound(v, 1), 4);
  EXPECT_EQ(v.GetElement({4}).VarType(), varByte);
  EXPECT_EQ(v.GetElement({4}).AsInteger(), 255);
  EXPECT_EQ(v.AsBytes(), data);
  EXPECT_EQ(Variant(TBytes{}).AsBytes(), TBytes{});
  EXPECT_EQ(VarArrayOf({1, 2, 255}).AsBytes(), (TBytes{1, 2, 255}));
  EXPECT_THROW(VarArrayOf({256}).AsBytes(), EVariantOverflowError);
  EXPECT_THROW(v.PutElement({0}, 300), EVariantOverflowError);
  EXPECT_THROW(v.PutElement({0}, Null()), EVariantTypeCastError);
  EXPECT_THROW(Variant(L"ab").AsBytes(), EVariantTypeCastError);
  EXPECT_THROW(VarArrayCreate({0, 1, 0, 1}, varByte).AsBytes(), EVariantTypeCastError);
  EXPECT_TRUE(Variant(TBytes{1, 2}) == VarArrayOf({1, 2}));
}

TEST(VariantByRef, ReadsAndWritesReachTheTarget) {
  Variant x = 5;
  Variant r = VarByRef(x);
  EXPECT_TRUE(r.IsByRef());
  EXPECT_EQ(r.VarType(), varByRef | varInteger);
  EXPECT_EQ(VarTypeAsText(VarType(r)), L"ByRef Integer");
  EXPECT_EQ(r.AsInteger(), 5);
  EXPECT_TRUE(r == 5);

  r.SetValue(L"12");  // the target keeps its type
  EXPECT_EQ(x.VarType(), varInteger);
  EXPECT_EQ(x.AsInteger(), 12);
  EXPECT_THROW(r.SetValue(L"abc"), EVariantTypeCastError);
  EXPECT_EQ(x.AsInteger(), 12);

  Variant c = r;  // a copy refers to the same target
  c.SetValue(7);
  EXPECT_EQ(x.AsInteger(), 7);
  x = L"text";  // reads follow the target's current value
  EXPECT_EQ(r.VarType(), varByRef | varUString);
  EXPECT_EQ(r.AsString(), L"text");
  EXPECT_TRUE(VarIsStr(r));

  r = 3;  // plain assignment replaces the reference
  EXPECT_FALSE(r.IsByRef());
  EXPECT_EQ(x.AsString(), L"text");

  Variant e;
  Variant re = VarByRef(e);
  re.SetValue(2.5);  // an Empty target takes the value's type
  EXPECT_EQ(e.VarType(), varDouble);
  EXPECT_FALSE(VarIsNull(VarByRef(x)));

  Variant self = 4;
  self = VarByRef(self);  // must not become a reference to itself
  EXPECT_FALSE(self.IsByRef());
  EXPECT_EQ(self.AsInteger(), 4);
}

TEST(VariantByRef, ArrayOperationsReachTheTarget) {
  Variant arr = VarArrayCreate({0, 1}, varInteger);
  Variant r = VarByRef(arr);
  EXPECT_EQ(r.VarType(), varByRef | varArray | varInteger);
  EXPECT_TRUE(VarIsArray(r));
  r.PutElement({1}, 9);
  EXPECT_EQ(arr.GetElement({1}).AsInteger(), 9);
  VarArrayRedim(r, 3);
  EXPECT_EQ(VarArrayHighBound(arr, 1), 3);
  Variant held = VarArrayOf({VarByRef(arr)});  // elements hold values, never references
  arr.PutElement({1}, 10);
  EXPECT_EQ(held.GetElement({0}).GetElement({1}).AsInteger(), 9);
  r.SetValue(VarArrayOf({L"a"}));
  EXPECT_EQ(arr.VarType(), varArray | varVariant);
}
