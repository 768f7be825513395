// Tests of the string, number, currency and file routines of host/Sysutils.h; locale-bound
// cases use fixed settings so they do not depend on the machine's locale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <limits>
#include <random>

#include "host/Dateutils.h"
#include "host/Sysutils.h"

using namespace kw;

namespace {

const TFormatSettings& Inv() {
  static const TFormatSettings fs = TFormatSettings::Invariant();
  return fs;
}

template <class F>
String ConvertErrorText(F f) {
  try {
    f();
  } catch (const EConvertError& e) {
    return e.Message();
  }
  return L"<no EConvertError>";
}

}  // namespace

TEST(IntegerText, WritesExtremesAndHex) {
  EXPECT_EQ(IntToStr(0), L"0");
  EXPECT_EQ(IntToStr(INT64_MIN), L"-9223372036854775808");
  EXPECT_EQ(IntToStr(INT64_MAX), L"9223372036854775807");
  EXPECT_EQ(UIntToStr(UINT64_MAX), L"18446744073709551615");
  EXPECT_EQ(IntToHex(255, 4), L"00FF");
  EXPECT_EQ(IntToHex(-1, 2), L"FFFFFFFF");
  EXPECT_EQ(IntToHex(Int64(-1), 2), L"FFFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToHex(0, 0), L"0");
  EXPECT_EQ(IntToHex(0x1234, 1000).size(), 64u);
}

TEST(IntegerText, ParsesDecimalHexAndRejectsJunk) {
  EXPECT_EQ(StrToInt(L"  42"), 42);
  EXPECT_EQ(StrToInt(L"-2147483648"), INT32_MIN);
  EXPECT_EQ(StrToInt(L"+7"), 7);
  EXPECT_EQ(StrToInt(L"$FF"), 255);
  EXPECT_EQ(StrToInt(L"0x1f"), 31);
  EXPECT_EQ(StrToInt(L"$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt64(L"-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(StrToInt64(L"9223372036854775807"), INT64_MAX);
  Integer i = 5;
  for (const wchar_t* bad : {L"", L" ", L"-", L"$", L"0x", L"12 ", L"1.5", L"2147483648", L"-2147483649", L"$100000000", L"abc"}) {
    EXPECT_FALSE(TryStrToInt(bad, i)) << bad;
  }
  Int64 j;
  EXPECT_FALSE(TryStrToInt64(L"9223372036854775808", j));
  EXPECT_FALSE(TryStrToInt64(L"99999999999999999999999", j));
  EXPECT_EQ(StrToIntDef(L"x", -3), -3);
  EXPECT_EQ(StrToInt64Def(L"12", 0), 12);
  EXPECT_EQ(ConvertErrorText([] { StrToInt(L"zz"); }), L"'zz' is not a valid integer value");
}

TEST(BooleanText, ConvertsBothWays) {
  EXPECT_EQ(BoolToStr(true), L"-1");
  EXPECT_EQ(BoolToStr(false), L"0");
  EXPECT_EQ(BoolToStr(true, true), L"True");
  EXPECT_TRUE(StrToBool(L"tRUe"));
  EXPECT_FALSE(StrToBool(L"FALSE"));
  EXPECT_FALSE(StrToBool(L"0"));
  EXPECT_TRUE(StrToBool(L"-1"));
  EXPECT_TRUE(StrToBool(L"2"));
  EXPECT_TRUE(StrToBoolDef(L"maybe", true));
  EXPECT_THROW(StrToBool(L"yes"), EConvertError);
}

TEST(FormatSpecifiers, ProducesHostText) {
  const TFormatSettings& fs = Inv();
  struct Case {
    const wchar_t* fmt;
    std::vector<TVarRec> args;
    const wchar_t* want;
  };
  String name = L"abc";
  const Case cases[] = {
      {L"%d|%5d|%-5d|%.3d|%5.3d", {42, -7, 3, -7, 9}, L"42|   -7|3    |-007|  009"},
      {L"%d", {INT64_MIN}, L"-9223372036854775808"},
      {L"%u", {-1}, L"4294967295"},
      {L"%u", {(long long)-1}, L"18446744073709551615"},
      {L"%x %x %.4x", {255, -1, 10}, L"FF FFFFFFFF 000A"},
      {L"%x", {(long long)-1}, L"FFFFFFFFFFFFFFFF"},
      {L"%s|%5s|%-5s|%.2s|%s", {name, L"x", L"y", name, L'c'}, L"abc|    x|y    |ab|c"},
      {L"%f|%.0f|%.3f|%f", {1.5, 2.5, -0.0005, -0.001}, L"1.50|3|-0.001|0.00"},
      {L"%e", {1.0}, L"1.00000000000000E+000"},
      {L"%.3e", {-12345.678}, L"-1.23E+004"},
      {L"%g|%g|%g", {0.1, 1e20, 123456.0}, L"0.1|1E20|123456"},
      {L"%n|%.0n", {1234567.891, -1000.0}, L"1,234,567.89|-1,000"},
      {L"%m", {Currency(-12.5)}, L"(\u00A412.50)"},
      {L"%.1f", {Currency::FromRaw(12345)}, L"1.2"},
      {L"%1:s %0:s %s", {L"a", L"b"}, L"b a b"},
      {L"%*d|%-*d|%.*f", {4, 1, 3, 2, 2, 3.14159}, L"   1|2  |3.14"},
      {L"100%%", {}, L"100%"},
      {L"%D %S", {5, L"u"}, L"5 u"},
      {L"%f", {std::numeric_limits<double>::infinity()}, L"INF"},
      {L"%.2f", {1.005}, L"1.01"},
      {L"%.2f", {0.125}, L"0.13"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Format(c.fmt, c.args.data(), c.args.size(), fs), c.want) << c.fmt;
  int x = 0;
  EXPECT_EQ(Format(L"%p", {static_cast<const void*>(nullptr)}, fs), L"0000000000000000");
  EXPECT_EQ(Format(L"%p", {static_cast<const void*>(&x)}, fs).size(), 16u);
}

TEST(FormatSpecifiers, RaisesOnMismatchAndMissingArguments) {
  const wchar_t* inv = L"Format '%d' invalid or incompatible with argument";
  EXPECT_EQ(ConvertErrorText([] { Format(L"%d", {1.5}); }), inv);
  EXPECT_EQ(ConvertErrorText([] { Format(L"%d %d", {1}); }), L"No argument for format '%d %d'");
  EXPECT_THROW(Format(L"%s", {true}), EConvertError);
  EXPECT_THROW(Format(L"%s", {5}), EConvertError);
  EXPECT_THROW(Format(L"%f", {5}), EConvertError);
  EXPECT_THROW(Format(L"%x", {L"a"}), EConvertError);
  EXPECT_THROW(Format(L"%p", {5}), EConvertError);
  EXPECT_THROW(Format(L"%q", {5}), EConvertError);
  EXPECT_THROW(Format(L"abc%", {}), EConvertError);
  EXPECT_THROW(Format(L"%5", {5}), EConvertError);
  EXPECT_THROW(Format(L"%9:d", {5}), EConvertError);
  EXPECT_THROW(Format(L"%*d", {L"w", 5}), EConvertError);
  // Absurd widths are clamped rather than allocated.
  EXPECT_LE(Format(L"%999999999999d", {1}).size(), size_t(1) << 20);
  EXPECT_LE(Format(L"%.999999999f", {1.0}).size(), 40u);
}

TEST(FormatSpecifiers, FuzzedFormatsNeverCrash) {
  std::mt19937 rng(20240611);
  const wchar_t alphabet[] = L"%%%%dsfxe*:-.0123456789gnmpu ";
  int good = 0, bad = 0;
  for (int round = 0; round < 3000; ++round) {
    String f;
    int len = int(rng() % 12);
    for (int i = 0; i < len; ++i) f += alphabet[rng() % (std::size(alphabet) - 1)];
    try {
      String out = Format(f, {7, 2.5, L"s", 3});
      ASSERT_LE(out.size(), f.size() * ((size_t(1) << 20) + 32)) << f;
      ++good;
    } catch (const EConvertError&) {
      ++bad;
    }
  }
  EXPECT_GT(good, 100);
  EXPECT_GT(bad, 100);
}

TEST(FloatText, GeneralFormatSwitchesToExponentLikeTheHost) {
  const TFormatSettings& fs = Inv();
  EXPECT_EQ(FloatToStr(0.0, fs), L"0");
  EXPECT_EQ(FloatToStr(-0.0, fs), L"0");
  EXPECT_EQ(FloatToStr(1.5, fs), L"1.5");
  EXPECT_EQ(FloatToStr(-2.25, fs), L"-2.25");
  EXPECT_EQ(FloatToStr(0.1 + 0.2, fs), L"0.3");
  EXPECT_EQ(FloatToStr(1.0 / 3, fs), L"0.333333333333333");
  EXPECT_EQ(FloatToStr(123456789012345.0, fs), L"123456789012345");
  EXPECT_EQ(FloatToStr(1e15, fs), L"1E15");
  EXPECT_EQ(FloatToStr(0.0001, fs), L"0.0001");
  EXPECT_EQ(FloatToStr(0.00001, fs), L"1E-5");
  EXPECT_EQ(FloatToStr(-1.5e-300, fs), L"-1.5E-300");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity(), fs), L"INF");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity(), fs), L"-INF");
  EXPECT_EQ(FloatToStr(std::nan(""), fs), L"NAN");
  EXPECT_EQ(FloatToStr(1.5, TFormatSettings::Create(L"fr-FR")), L"1,5");
}

TEST(FloatText, FixedNumberExponentAndCurrencyFormats) {
  TFormatSettings fs = Inv();
  EXPECT_EQ(FloatToStrF(1234.5678, ffFixed, 15, 2, fs), L"1234.57");
  EXPECT_EQ(FloatToStrF(2.5, ffFixed, 15, 0, fs), L"3");
  EXPECT_EQ(FloatToStrF(-2.5, ffFixed, 15, 0, fs), L"-3");
  EXPECT_EQ(FloatToStrF(0.999, ffFixed, 15, 2, fs), L"1.00");
  EXPECT_EQ(FloatToStrF(1e20, ffFixed, 15, 2, fs), L"1.00000000000000E+20");
  EXPECT_EQ(FloatToStrF(1234567.891, ffNumber, 15, 2, fs), L"1,234,567.89");
  EXPECT_EQ(FloatToStrF(999.5, ffNumber, 15, 0, fs), L"1,000");
  EXPECT_EQ(FloatToStrF(1.5, ffExponent, 4, 2, fs), L"1.500E+00");
  EXPECT_EQ(FloatToStrF(0.00012, ffExponent, 3, 0, fs), L"1.20E-4");
  EXPECT_EQ(FloatToStrF(123456.0, ffGeneral, 3, 0, fs), L"1.23E5");
  fs.CurrencyString = L"$";
  const wchar_t* neg[16] = {L"($1.50)", L"-$1.50", L"$-1.50", L"$1.50-", L"(1.50$)", L"-1.50$",
                            L"1.50-$", L"1.50$-", L"-1.50 $", L"-$ 1.50", L"1.50 $-", L"$ 1.50-",
                            L"$ -1.50", L"1.50- $", L"($ 1.50)", L"(1.50 $)"};
  for (int i = 0; i < 16; ++i) {
    fs.NegCurrFormat = Byte(i);
    EXPECT_EQ(FloatToStrF(-1.5, ffCurrency, 15, 2, fs), neg[i]) << i;
  }
  const wchar_t* pos[4] = {L"$1.50", L"1.50$", L"$ 1.50", L"1.50 $"};
  for (int i = 0; i < 4; ++i) {
    fs.CurrencyFormat = Byte(i);
    EXPECT_EQ(FloatToStrF(1.5, ffCurrency, 15, 2, fs), pos[i]) << i;
  }
}

TEST(FloatText, PictureFormats) {
  const TFormatSettings& fs = Inv();
  struct Case {
    const wchar_t* fmt;
    double v;
    const wchar_t* want;
  };
  const Case cases[] = {
      {L"0.00", 3.14159, L"3.14"},
      {L"0.00", -3.146, L"-3.15"},
      {L"#,##0.00", 1234567.5, L"1,234,567.50"},
      {L"#,##0", -999.5, L"-1,000"},
      {L"#.##", 0.5, L".5"},
      {L"0.##", 1.0, L"1"},
      {L"0.0##", 2.5, L"2.5"},
      {L"00000", 42, L"00042"},
      {L"0", 123456, L"123456"},
      {L"0.###E+00", 12345.678, L"1.235E+04"},
      {L"0.00E-00", 0.000123, L"1.23E-04"},
      {L"0.0E+0", 5, L"5.0E+0"},
      {L"0.00;(0.00)", -2.5, L"(2.50)"},
      {L"0.00;(0.00);'zero'", 0.001, L"zero"},
      {L"0.00;;nil", 0, L"nil"},
      {L"'#'0' pcs'", 7, L"#7 pcs"},
      {L"\"x\"0", 3, L"x3"},
      {L"0.00", 1.005, L"1.01"},
      {L"", 1.5, L"1.5"},
      {L"0.00", -0.001, L"0.00"},
      {L"000-00", 12345, L"123-45"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatFloat(c.fmt, c.v, fs), c.want) << c.fmt;
  EXPECT_EQ(FormatFloat(L"0.00", std::numeric_limits<double>::infinity(), fs), L"INF");
  EXPECT_EQ(FormatFloat(L"#,##0.00", 1234.5, TFormatSettings::Create(L"de-DE")), L"1.234,50");
}

TEST(FloatText, ParsesWithSettingsAndRoundTrips) {
  const TFormatSettings& fs = Inv();
  double v = 0;
  EXPECT_DOUBLE_EQ(StrToFloat(L"  1.5e3 ", fs), 1500);
  EXPECT_DOUBLE_EQ(StrToFloat(L"-.5", fs), -0.5);
  EXPECT_DOUBLE_EQ(StrToFloat(L"5.", fs), 5);
  EXPECT_DOUBLE_EQ(StrToFloat(L"+2E-2", fs), 0.02);
  EXPECT_EQ(StrToFloat(L"1e-400", fs), 0.0);
  EXPECT_TRUE(std::isinf(StrToFloat(L"-INF", fs)));
  EXPECT_TRUE(std::isnan(StrToFloat(L"nan", fs)));
  for (const wchar_t* bad : {L"", L".", L"1,5", L"1e", L"1e+", L"--1", L"1.2.3", L"0x10", L"1e400", L"1 2"})
    EXPECT_FALSE(TryStrToFloat(bad, v, fs)) << bad;
  EXPECT_EQ(StrToFloatDef(L"bad", 2.5, fs), 2.5);
  TFormatSettings fr = TFormatSettings::Create(L"fr-FR");
  EXPECT_EQ(fr.DecimalSeparator, L',');
  EXPECT_DOUBLE_EQ(StrToFloat(L"3,25", fr), 3.25);
  EXPECT_FALSE(TryStrToFloat(L"3.25", v, fr));
  EXPECT_EQ(ConvertErrorText([&] { StrToFloat(L"x1", fs); }), L"'x1' is not a valid floating point value");

  const double samples[] = {0.1, 1.0 / 3, -2.5e-308, 1.7976931348623157e308, 4.9e-324, 123456789.125, 1e21, -0.0};
  for (double d : samples) EXPECT_EQ(StrToFloat(FloatToStrRoundTrip(d), fs), d) << d;
  for (double d : {0.1, -2.5, 123456789012345.0, 1.25e-7, 9.99999999999999e300})
    EXPECT_EQ(StrToFloat(FloatToStr(d, fs), fs), d) << d;
  EXPECT_EQ(FloatToStrRoundTrip(0.1), L"0.1");
  EXPECT_EQ(FloatToStrRoundTrip(1e21), L"1E21");
  EXPECT_EQ(FloatToStrRoundTrip(-0.0), L"0");
  std::mt19937_64 rng(7);
  for (int i = 0; i < 2000; ++i) {
    double d = std::ldexp(double(rng() >> 11) / double(1ull << 53), int(rng() % 200) - 100);
    ASSERT_EQ(StrToFloat(FloatToStrRoundTrip(d), fs), d);
    // FloatToStr keeps fifteen digits, so it reads back within one part in 1e14.
    ASSERT_NEAR(StrToFloat(FloatToStr(d, fs), fs), d, std::fabs(d) * 1e-14);
  }
}

TEST(CurrencyValue, ArithmeticIsExactAndChecked) {
  EXPECT_EQ(Currency(0.1) + Currency(0.2), Currency(0.3));
  EXPECT_EQ(Currency(0.00005).Raw(), 1);
  EXPECT_EQ(Currency(-0.00005).Raw(), -1);
  EXPECT_EQ(Currency(2.5).Raw(), 25000);
  EXPECT_EQ((Currency(1.5) * Currency(1.5)).Raw(), 22500);
  EXPECT_EQ((Currency::FromRaw(1) * Currency::FromRaw(5000)).Raw(), 1);  // 0.00005 rounds away
  EXPECT_EQ((Currency::FromRaw(-1) * Currency::FromRaw(5000)).Raw(), -1);
  EXPECT_EQ((Currency(1) / Currency(3)).Raw(), 3333);
  EXPECT_EQ((Currency(2) / Currency(3)).Raw(), 6667);
  EXPECT_EQ((Currency(-2) / Currency(3)).Raw(), -6667);
  const Currency big = Currency::FromRaw(INT64_MAX);
  EXPECT_EQ((big * Currency(1)).Raw(), INT64_MAX);
  EXPECT_EQ((big / Currency(1)).Raw(), INT64_MAX);
  EXPECT_EQ((Currency::FromRaw(INT64_MIN) + Currency()).Raw(), INT64_MIN);
  EXPECT_THROW(big + Currency::FromRaw(1), EIntOverflow);
  EXPECT_THROW(Currency::FromRaw(INT64_MIN) - Currency::FromRaw(1), EIntOverflow);
  EXPECT_THROW(big * Currency(2), EIntOverflow);
  EXPECT_THROW(big / Currency(0.5), EIntOverflow);
  EXPECT_THROW(Currency(1) / Currency(), EZeroDivide);
  EXPECT_THROW(Currency(1e300), EOverflow);
  EXPECT_THROW(Currency(std::numeric_limits<double>::infinity()), EOverflow);
}

TEST(CurrencyValue, TextIsExact) {
  const TFormatSettings& fs = Inv();
  EXPECT_EQ(CurrToStr(Currency::FromRaw(INT64_MAX), fs), L"922337203685477.5807");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(INT64_MIN), fs), L"-922337203685477.5808");
  EXPECT_EQ(CurrToStr(Currency(1.5), fs), L"1.5");
  EXPECT_EQ(CurrToStr(Currency(), fs), L"0");
  EXPECT_EQ(CurrToStrF(Currency(1234.5), ffNumber, 2, fs), L"1,234.50");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(12345), ffFixed, 9, fs), L"1.2345");
  EXPECT_EQ(FormatCurr(L"#,##0.00", Currency::FromRaw(INT64_MAX), fs), L"922,337,203,685,477.58");
  EXPECT_EQ(StrToCurr(L"922337203685477.5807", fs).Raw(), INT64_MAX);
  EXPECT_EQ(StrToCurr(L"-922337203685477.5808", fs).Raw(), INT64_MIN);
  EXPECT_EQ(StrToCurr(L"0.1", fs) + StrToCurr(L"0.2", fs), StrToCurr(L"0.3", fs));
  EXPECT_EQ(StrToCurr(L"1.23455", fs).Raw(), 12346);
  EXPECT_EQ(StrToCurr(L"-1.23455", fs).Raw(), -12346);
  EXPECT_EQ(StrToCurr(L"1.5e2", fs).Raw(), 1500000);
  EXPECT_EQ(StrToCurr(L"1e-9", fs).Raw(), 0);
  Currency c;
  for (const wchar_t* bad : {L"922337203685477.5808", L"1e16", L"", L"1,5", L"abc", L"1e99999999999"})
    EXPECT_FALSE(TryStrToCurr(bad, c, fs)) << bad;
  EXPECT_EQ(StrToCurrDef(L"?", Currency(7), fs), Currency(7));
  EXPECT_THROW(StrToCurr(L"?", fs), EConvertError);
}

TEST(CaseAndCompare, AsciiAndLocaleVariants) {
  EXPECT_EQ(UpperCase(L"abc\u00e9"), L"ABC\u00e9");
  EXPECT_EQ(LowerCase(L"ABC\u00c9"), L"abc\u00c9");
  EXPECT_EQ(AnsiUpperCase(L"abc\u00e9"), L"ABC\u00c9");
  EXPECT_EQ(AnsiLowerCase(L"\u00c9X"), L"\u00e9x");
  EXPECT_LT(CompareStr(L"ABC", L"abc"), 0);
  EXPECT_LT(CompareStr(L"ab", L"abc"), 0);
  EXPECT_GT(CompareStr(L"b", L"abc"), 0);
  EXPECT_EQ(CompareText(L"Hello", L"hELLO"), 0);
  EXPECT_LT(CompareText(L"a", L"B"), 0);
  EXPECT_TRUE(SameText(L"Abc", L"aBC"));
  EXPECT_FALSE(SameText(L"Abc", L"aBCd"));
  EXPECT_FALSE(SameText(L"\u00e9", L"\u00c9"));
  EXPECT_TRUE(AnsiSameText(L"\u00e9t\u00e9", L"\u00c9T\u00c9"));
  EXPECT_FALSE(AnsiSameStr(L"a", L"A"));
  EXPECT_LT(AnsiCompareText(L"apple", L"Banana"), 0);
  EXPECT_EQ(AnsiCompareStr(L"x", L"x"), 0);
}

TEST(TextRoutines, TrimReplaceQuote) {
  EXPECT_EQ(Trim(L"\t  a b \r\n"), L"a b");
  EXPECT_EQ(Trim(L"   "), L"");
  EXPECT_EQ(TrimLeft(L"  a "), L"a ");
  EXPECT_EQ(TrimRight(L"  a \x01"), L"  a");
  EXPECT_EQ(StringReplace(L"aXbxc", L"x", L"-", {}), L"aXb-c");
  EXPECT_EQ(StringReplace(L"aXbxc", L"x", L"-", {rfReplaceAll, rfIgnoreCase}), L"a-b-c");
  EXPECT_EQ(StringReplace(L"aaa", L"a", L"aa", {rfReplaceAll}), L"aaaaaa");
  EXPECT_EQ(StringReplace(L"abc", L"", L"x", {rfReplaceAll}), L"abc");
  EXPECT_EQ(QuotedStr(L"it's"), L"'it''s'");
  EXPECT_EQ(AnsiQuotedStr(L"a\"b", L'"'), L"\"a\"\"b\"");
  EXPECT_EQ(AnsiDequotedStr(L"'it''s'", L'\''), L"it's");
  EXPECT_EQ(AnsiDequotedStr(L"plain", L'\''), L"plain");
  EXPECT_EQ(AnsiDequotedStr(L"'open", L'\''), L"'open");
  EXPECT_EQ(AnsiDequotedStr(L"''", L'\''), L"");
  const wchar_t* p = L"'a''b' rest";
  EXPECT_EQ(AnsiExtractQuotedStr(p, L'\''), L"a'b");
  EXPECT_STREQ(p, L" rest");
  const wchar_t* q = L"x'";
  EXPECT_EQ(AnsiExtractQuotedStr(q, L'\''), L"");
  EXPECT_STREQ(q, L"x'");
  const wchar_t* none = nullptr;
  EXPECT_EQ(AnsiExtractQuotedStr(none, L'\''), L"");
}

TEST(TextRoutines, PositionsAndPiecesAreOneBasedAndClamped) {
  EXPECT_EQ(Pos(L"b", L"abcb"), 2);
  EXPECT_EQ(Pos(L"", L"abc"), 0);
  EXPECT_EQ(Pos(L"z", L"abc"), 0);
  EXPECT_EQ(PosEx(L"b", L"abcb", 3), 4);
  EXPECT_EQ(PosEx(L"b", L"abcb", 0), 0);
  EXPECT_EQ(PosEx(L"b", L"abcb", 9), 0);
  EXPECT_EQ(Copy(L"abcdef", 2, 3), L"bcd");
  EXPECT_EQ(Copy(L"abcdef", 0, 2), L"ab");
  EXPECT_EQ(Copy(L"abcdef", 5, 100), L"ef");
  EXPECT_EQ(Copy(L"abcdef", 7, 1), L"");
  EXPECT_EQ(Copy(L"abcdef", 2, -1), L"");
  String s = L"abcdef";
  Delete(s, 2, 2);
  EXPECT_EQ(s, L"adef");
  Delete(s, 0, 2);
  Delete(s, 9, 2);
  EXPECT_EQ(s, L"adef");
  Insert(L"XY", s, 2);
  EXPECT_EQ(s, L"aXYdef");
  Insert(L"!", s, 100);
  EXPECT_EQ(s, L"aXYdef!");
  EXPECT_EQ(StringOfChar(L'-', 3), L"---");
  EXPECT_EQ(StringOfChar(L'-', -3), L"");
  EXPECT_EQ(DupeString(L"ab", 3), L"ababab");
  EXPECT_EQ(LeftStr(L"abc", 5), L"abc");
  EXPECT_EQ(RightStr(L"abc", 2), L"bc");
  EXPECT_EQ(MidStr(L"abcde", 2, 2), L"bc");
  EXPECT_EQ(ReverseString(L"abc"), L"cba");
  EXPECT_TRUE(StartsStr(L"ab", L"abc"));
  EXPECT_FALSE(StartsStr(L"abcd", L"abc"));
  EXPECT_TRUE(EndsStr(L"bc", L"abc"));
  EXPECT_FALSE(EndsStr(L"Bc", L"abc"));
  EXPECT_TRUE(StartsText(L"AB", L"abc"));
  EXPECT_TRUE(EndsText(L"BC", L"abc"));
  EXPECT_TRUE(ContainsStr(L"abc", L"bc"));
  EXPECT_TRUE(ContainsText(L"abc", L"BC"));
  EXPECT_FALSE(ContainsStr(L"abc", L"BC"));
}

TEST(TextRoutines, IdentifiersDelimitersLinesAndSplits) {
  EXPECT_TRUE(IsValidIdent(L"_a1"));
  EXPECT_FALSE(IsValidIdent(L"1a"));
  EXPECT_FALSE(IsValidIdent(L""));
  EXPECT_FALSE(IsValidIdent(L"a.b"));
  EXPECT_TRUE(IsValidIdent(L"a.b", true));
  EXPECT_FALSE(IsValidIdent(L"a..b", true));
  EXPECT_FALSE(IsValidIdent(L"a.", true));
  EXPECT_FALSE(IsValidIdent(L"a-b"));
  EXPECT_EQ(LastDelimiter(L"\\.", L"c:\\a.b\\c"), 7);
  EXPECT_EQ(LastDelimiter(L";", L"abc"), 0);
  EXPECT_TRUE(IsDelimiter(L",;", L"a;b", 2));
  EXPECT_FALSE(IsDelimiter(L",;", L"a;b", 4));
  EXPECT_EQ(AdjustLineBreaks(L"a\nb\rc\r\nd\n\re"), L"a\r\nb\r\nc\r\nd\r\ne");
  EXPECT_EQ(SplitString(L"a,,b;c", L",;"), (std::vector<String>{L"a", L"", L"b", L"c"}));
  EXPECT_EQ(SplitString(L"a,", L","), (std::vector<String>{L"a", L""}));
  EXPECT_TRUE(SplitString(L"", L",").empty());
}

TEST(Encodings, Utf8RoundTripAndReplacement) {
  const String text = L"A\u00e9\u20ac\U0001F600";
  const std::string utf8 = UTF8Encode(text);
  EXPECT_EQ(utf8, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(UTF8ToString(utf8), text);
  EXPECT_EQ(UTF8Encode(String(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
  const String fffd(1, wchar_t(0xFFFD));
  EXPECT_EQ(UTF8ToString("a\xFF" "b"), L"a" + fffd + L"b");
  EXPECT_EQ(UTF8ToString("\xC0\xAF"), fffd + fffd);             // overlong
  EXPECT_EQ(UTF8ToString("\xED\xA0\x80"), fffd + fffd + fffd);  // encoded surrogate
  EXPECT_EQ(UTF8ToString("\xE2\x82"), fffd);                    // truncated at the end
  EXPECT_EQ(UTF8ToString("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd);
  EXPECT_EQ(UTF8ToString(std::string("a\0b", 3)), String(L"a\0b", 3));
  std::mt19937 rng(99);
  for (int i = 0; i < 500; ++i) {
    std::string junk;
    for (int k = int(rng() % 16); k > 0; --k) junk += char(rng());
    String w = UTF8ToString(junk);
    EXPECT_EQ(UTF8ToString(UTF8Encode(w)), w);
  }
  EXPECT_EQ(AnsiToString(StringToAnsi(L"caf\u00e9", 1252), 1252), L"caf\u00e9");
  EXPECT_EQ(StringToAnsi(L"\u00e9", 1252), "\xE9");
  EXPECT_EQ(AnsiToString("", 1252), L"");
}

TEST(FileNames, SplitsAndJoins) {
  EXPECT_EQ(ExtractFilePath(L"C:\\dir\\file.txt"), L"C:\\dir\\");
  EXPECT_EQ(ExtractFileDir(L"C:\\dir\\file.txt"), L"C:\\dir");
  EXPECT_EQ(ExtractFileDir(L"C:\\file.txt"), L"C:\\");
  EXPECT_EQ(ExtractFileName(L"C:\\dir\\file.txt"), L"file.txt");
  EXPECT_EQ(ExtractFileName(L"C:file.txt"), L"file.txt");
  EXPECT_EQ(ExtractFileName(L"a/b/c.d"), L"c.d");
  EXPECT_EQ(ExtractFileExt(L"C:\\d.x\\file.tar.gz"), L".gz");
  EXPECT_EQ(ExtractFileExt(L"C:\\d.x\\file"), L"");
  EXPECT_EQ(ExtractFileExt(L"name."), L".");
  EXPECT_EQ(ExtractFileDrive(L"C:\\dir"), L"C:");
  EXPECT_EQ(ExtractFileDrive(L"\\\\server\\share\\dir\\f"), L"\\\\server\\share");
  EXPECT_EQ(ExtractFileDrive(L"dir\\f"), L"");
  EXPECT_EQ(ChangeFileExt(L"C:\\d.x\\file.txt", L".bak"), L"C:\\d.x\\file.bak");
  EXPECT_EQ(ChangeFileExt(L"C:\\d.x\\file", L".bak"), L"C:\\d.x\\file.bak");
  EXPECT_EQ(ChangeFileExt(L"file.txt", L""), L"file");
  EXPECT_EQ(IncludeTrailingPathDelimiter(L"C:\\a"), L"C:\\a\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter(L"C:\\a\\"), L"C:\\a\\");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(L"C:\\a\\"), L"C:\\a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(L"C:\\a"), L"C:\\a");
  EXPECT_EQ(ExtractRelativePath(L"C:\\a\\b\\", L"C:\\a\\c\\f.txt"), L"..\\c\\f.txt");
  EXPECT_EQ(ExtractRelativePath(L"C:\\A\\base.txt", L"c:\\a\\sub\\f.txt"), L"sub\\f.txt");
  EXPECT_EQ(ExtractRelativePath(L"C:\\a\\", L"D:\\x\\f.txt"), L"D:\\x\\f.txt");
  EXPECT_EQ(ExpandFileName(L"C:\\a\\b\\..\\c.txt"), L"C:\\a\\c.txt");
}

TEST(FileSystem, WorksOnATemporaryFolder) {
  const String root = GetTempDirectory() + L"kw_sysutils_" + IntToStr(Int64(double(Now()) * MSecsPerDay)) + L"\\";
  ASSERT_EQ(GetTempDirectory().back(), L'\\');
  const String deep = root + L"a\\b\\c";
  ASSERT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_FALSE(FileExists(deep));
  EXPECT_FALSE(ForceDirectories(L""));
  const String file = root + L"f\u00e9.txt";
  EXPECT_EQ(FileSize(file), -1);
  TDateTime age;
  EXPECT_FALSE(FileAge(file, age));
  {
    FILE* f = _wfopen(file.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    fwrite("hello", 1, 5, f);
    fclose(f);
  }
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(FileSize(file), 5);
  ASSERT_TRUE(FileAge(file, age));
  EXPECT_NEAR(double(age), double(Now()), 1.0 / 24);
  EXPECT_FALSE(FileAge(root, age));
  EXPECT_TRUE(FileGetDateTime(root, age));
  const TDateTime stamp = EncodeDateTime(2020, 7, 15, 10, 30, 42, 0);
  ASSERT_TRUE(FileSetDateTime(file, stamp));
  ASSERT_TRUE(FileAge(file, age));
  EXPECT_NEAR(double(age), double(stamp), 1.0 / MSecsPerDay * 10);
  const String moved = root + L"g.txt";
  EXPECT_TRUE(RenameFile(file, moved));
  EXPECT_FALSE(FileExists(file));
  std::vector<String> names = FindFiles(root + L"*");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<String>{L"a", L"g.txt"}));
  EXPECT_TRUE(FindFiles(root + L"nothing*").empty());
  const String cwd = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(deep));
  EXPECT_TRUE(SameText(IncludeTrailingPathDelimiter(GetCurrentDir()), IncludeTrailingPathDelimiter(ExpandFileName(deep))));
  EXPECT_TRUE(SetCurrentDir(cwd));
  EXPECT_FALSE(RemoveDir(root + L"a"));  // not empty
  EXPECT_TRUE(DeleteFile(moved));
  EXPECT_FALSE(DeleteFile(moved));
  EXPECT_TRUE(RemoveDir(deep));
  EXPECT_TRUE(RemoveDir(root + L"a\\b"));
  EXPECT_TRUE(RemoveDir(root + L"a"));
  EXPECT_TRUE(RemoveDir(root));
  EXPECT_FALSE(DirectoryExists(root));
  EXPECT_TRUE(EndsText(L".exe", GetModuleFileNameStr()));
}

TEST(FileSystem, DosDatesRoundTripToTwoSeconds) {
  const TDateTime dt = EncodeDateTime(2021, 3, 4, 5, 6, 7, 0);
  const Integer fd = DateTimeToFileDate(dt);
  EXPECT_EQ(UInt64(std::uint32_t(fd)), (UInt64((41u << 9) | (3u << 5) | 4u) << 16) | ((5u << 11) | (6u << 5) | 3u));
  EXPECT_NEAR(double(FileDateToDateTime(fd)), double(EncodeDateTime(2021, 3, 4, 5, 6, 6, 0)), 1e-9);
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31)), 0);
  EXPECT_THROW(FileDateToDateTime(0), EConvertError);
}

TEST(FormatSettingsLocale, GlobalIsTheUserLocaleAndDrivesPlainOverloads) {
  const TFormatSettings user = TFormatSettings::Create();
  EXPECT_EQ(FormatSettings.DecimalSeparator, user.DecimalSeparator);
  EXPECT_EQ(FormatSettings.ShortDateFormat, user.ShortDateFormat);
  EXPECT_EQ(TFormatSettings::Create(L"no-such-locale").ShortDateFormat, user.ShortDateFormat);
  const TFormatSettings saved = FormatSettings;
  FormatSettings.DecimalSeparator = L'#';
  FormatSettings.ThousandSeparator = L'_';
  EXPECT_EQ(FloatToStr(1.5), L"1#5");
  EXPECT_EQ(Format(L"%.1f|%n", {2.5, 1234.0}), L"2#5|1_234#00");
  EXPECT_EQ(StrToFloat(L"1#25"), 1.25);
  EXPECT_EQ(CurrToStr(StrToCurr(L"3#5")), L"3#5");
  FormatSettings = saved;
  EXPECT_EQ(FloatToStr(1.5), FloatToStr(1.5, user));
}

TEST(FormatSettingsLocale, WindowsPicturesBecomeHostPictures) {
  const TFormatSettings us = TFormatSettings::Create(L"en-US");
  EXPECT_EQ(us.ShortDateFormat, L"m/d/yyyy");
  EXPECT_EQ(us.LongTimeFormat, L"h:nn:ss AMPM");
  EXPECT_EQ(us.TimeAMString, L"AM");
  EXPECT_EQ(us.CurrencyString, L"$");
  EXPECT_EQ(us.LongDayNames[0], L"Sunday");
  EXPECT_EQ(us.ShortMonthNames[11], L"Dec");
  const TFormatSettings de = TFormatSettings::Create(L"de-DE");
  EXPECT_EQ(de.DateSeparator, L'.');
  // The locale's '.' becomes the '/' placeholder; Windows versions differ on leading zeros.
  EXPECT_FALSE(ContainsStr(de.ShortDateFormat, L"."));
  const String deDate = DateToStr(EncodeDate(2024, 3, 5), de);
  EXPECT_TRUE(deDate == L"05.03.2024" || deDate == L"5.3.2024") << deDate.c_str();
  EXPECT_EQ(de.DecimalSeparator, L',');
  EXPECT_EQ(de.LongMonthNames[2], L"M\u00e4rz");
  EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 15, 2, de), L"-1.234,50 \u20ac");
  const TFormatSettings inv = TFormatSettings::Invariant();
  EXPECT_EQ(inv.ShortDateFormat, L"MM/dd/yyyy");
  EXPECT_EQ(inv.LongTimeFormat, L"hh:nn:ss");
  EXPECT_EQ(inv.TwoDigitYearCenturyWindow, 50);
}
