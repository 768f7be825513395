// Tests of the primitive stream values: every value type at its edges through a writer and a
// reader, the extended-float conversion, buffering against the stream position, and the
// limits that protect a reader from bad input. Component streaming is tested elsewhere.
#include <gtest/gtest.h>

#include <algorithm>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "host/Exceptions.h"
#include "host/Filer.h"
#include "host/Sysutils.h"
#include "host/Typinfo.h"
#include "host/Variants.h"

using namespace kw;

namespace {

TBytes Written(const std::function<void(TWriter&)>& write, int bufSize = 4096) {
  TBytesStream s;
  {
    TWriter w(s, bufSize);
    write(w);
  }
  return s.Bytes();
}

template <class F>
String ReadError(const TBytes& bytes, F f) {
  TBytesStream s(bytes);
  TReader r(s);
  try {
    f(r);
  } catch (const EReadError& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no EReadError";
  return L"";
}

UInt64 Bits(double d) { return std::bit_cast<UInt64>(d); }

TBytes Ext(UInt64 mant, Word se) {
  TBytes b(10);
  for (int i = 0; i < 8; ++i) b[size_t(i)] = Byte(mant >> (8 * i));
  b[8] = Byte(se);
  b[9] = Byte(se >> 8);
  return b;
}

double FromExt(UInt64 mant, Word se) { return ExtendedToDouble(Ext(mant, se).data()); }

}  // namespace

TEST(FilerIntegers, WidthFollowsRangeAndReadsBackAtEveryEdge) {
  struct Case { Int64 v; TValueType type; size_t size; };
  const Case cases[] = {
      {0, vaInt8, 2}, {-128, vaInt8, 2}, {127, vaInt8, 2}, {-129, vaInt16, 3}, {128, vaInt16, 3},
      {-32768, vaInt16, 3}, {32767, vaInt16, 3}, {-32769, vaInt32, 5}, {32768, vaInt32, 5},
      {INT32_MIN, vaInt32, 5}, {INT32_MAX, vaInt32, 5}, {Int64(INT32_MAX) + 1, vaInt64, 9},
      {Int64(INT32_MIN) - 1, vaInt64, 9}, {INT64_MIN, vaInt64, 9}, {INT64_MAX, vaInt64, 9}};
  for (const Case& c : cases) {
    TBytes b = Written([&](TWriter& w) { w.WriteInteger(c.v); });
    ASSERT_EQ(b.size(), c.size) << c.v;
    EXPECT_EQ(b[0], c.type) << c.v;
    TBytesStream s(b);
    TReader r(s);
    EXPECT_EQ(r.ReadInt64(), c.v);
    r.SetPosition(0);
    EXPECT_EQ(r.ReadFloat(), double(c.v));
    r.SetPosition(0);
    if (c.type == vaInt64) {
      EXPECT_THROW(r.ReadInteger(), EReadError) << c.v;
    } else {
      EXPECT_EQ(r.ReadInteger(), c.v);
    }
  }
  // Little-endian payload.
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(0x12345678); }), (TBytes{vaInt32, 0x78, 0x56, 0x34, 0x12}));
}

TEST(FilerIntegers, ReadsAsCharCurrencyAndDate) {
  TBytes b = Written([](TWriter& w) {
    w.WriteInteger(65);
    w.WriteInteger(70000);
    w.WriteInteger(-3);
    w.WriteInteger(40000);
    w.WriteInteger(-1);
  });
  TBytesStream s(b);
  TReader r(s);
  EXPECT_EQ(r.ReadChar(), L'A');
  EXPECT_THROW(r.ReadChar(), EReadError);  // beyond a UTF-16 unit
  EXPECT_EQ(r.ReadCurrency(), Currency(-3));
  EXPECT_EQ(r.ReadDate().Val, 40000.0);
  EXPECT_THROW(r.ReadChar(), EReadError);
}

TEST(FilerExtended, KnownEncodings) {
  Byte b[10];
  DoubleToExtended(1.0, b);
  EXPECT_EQ(TBytes(b, b + 10), Ext(0x8000000000000000ull, 0x3FFF));
  DoubleToExtended(0.1, b);
  EXPECT_EQ(TBytes(b, b + 10), Ext(0xCCCCCCCCCCCCD000ull, 0x3FFB));
  DoubleToExtended(-2.0, b);
  EXPECT_EQ(TBytes(b, b + 10), Ext(0x8000000000000000ull, 0xC000));
  DoubleToExtended(-0.0, b);
  EXPECT_EQ(TBytes(b, b + 10), Ext(0, 0x8000));
  DoubleToExtended(std::numeric_limits<double>::denorm_min(), b);
  EXPECT_EQ(TBytes(b, b + 10), Ext(0x8000000000000000ull, 16383 - 1074));
  DoubleToExtended(std::numeric_limits<double>::infinity(), b);
  EXPECT_EQ(TBytes(b, b + 10), Ext(0x8000000000000000ull, 0x7FFF));
}

TEST(FilerExtended, EveryDoubleSurvivesTheRoundTrip) {
  const double values[] = {0.0, -0.0, 0.1, -0.1, 1.0 / 3, 1e308, -1e308,
                           std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
                           std::numeric_limits<double>::denorm_min(), 3 * std::numeric_limits<double>::denorm_min(),
                           std::bit_cast<double>(0x000FFFFFFFFFFFFFull), 123456789.125, -4.9e-300,
                           std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  for (double d : values) {
    Byte b[10];
    DoubleToExtended(d, b);
    EXPECT_EQ(Bits(ExtendedToDouble(b)), Bits(d)) << d;
  }
  Byte b[10];
  DoubleToExtended(std::bit_cast<double>(0x7FF8000000000123ull), b);
  EXPECT_EQ(Bits(ExtendedToDouble(b)), 0x7FF8000000000123ull);  // NaN payload kept
}

TEST(FilerExtended, RoundsToNearestEven) {
  const UInt64 one = 0x8000000000000000ull;
  EXPECT_EQ(FromExt(one | 0x400, 0x3FFF), 1.0);  // exactly half an ulp: stays even
  EXPECT_EQ(FromExt(one | 0x401, 0x3FFF), 1.0 + 0x1p-52);
  EXPECT_EQ(FromExt(one | 0xC00, 0x3FFF), 1.0 + 0x1p-51);  // half, odd below: up
  EXPECT_EQ(FromExt(one | 0x3FF, 0x3FFF), 1.0);
  EXPECT_EQ(FromExt(~0ull, 0x3FFF), 2.0);  // carry into the exponent
  EXPECT_EQ(Bits(FromExt(0xAAAAAAAAAAAAAAABull, 0x3FFD)), Bits(1.0 / 3));
}

TEST(FilerExtended, OutOfRangeAndDenormals) {
  const UInt64 one = 0x8000000000000000ull;
  double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(FromExt(one, 0x7FFE), inf);
  EXPECT_EQ(FromExt(one, 0xFFFE), -inf);
  EXPECT_EQ(FromExt(~0ull, 0x3FFF + 1023), inf);  // rounds past DBL_MAX
  EXPECT_EQ(Bits(FromExt(one, 1)), 0ull);
  EXPECT_EQ(Bits(FromExt(one, 0x8001)), Bits(-0.0));
  double dmin = std::numeric_limits<double>::denorm_min();
  EXPECT_EQ(FromExt(one, 16383 - 1075), 0.0);                    // half of the smallest: even
  EXPECT_EQ(FromExt(one | (one >> 1), 16383 - 1075), dmin);      // three quarters: up
  EXPECT_EQ(FromExt(one | (one >> 1), 16383 - 1074), 2 * dmin);  // 1.5 of it: tie to even
  EXPECT_EQ(FromExt(~0ull, 16383 - 1023), std::numeric_limits<double>::min());  // rounds up to normal
  EXPECT_EQ(FromExt(0x123, 0), 0.0);                             // extended denormal
  EXPECT_TRUE(std::isnan(FromExt(one | 1, 0x7FFF)));             // payload only in dropped bits
  EXPECT_TRUE(std::isnan(FromExt(one | (one >> 1), 0x7FFF)));
  EXPECT_EQ(FromExt(0, 0x7FFF), inf);
}

TEST(FilerFloats, EachKindReadsAsTheWiderKinds) {
  TBytes b = Written([](TWriter& w) {
    w.WriteFloat(0.1);
    w.WriteSingle(2.5f);
    w.WriteDouble(1e-310);
    w.WriteCurrency(Currency::FromRaw(123456));
    w.WriteDate(TDateTime(45000.5));
    w.WriteSingle(0.1f);
    w.WriteCurrency(Currency::FromRaw(-7));
    w.WriteFloat(12.34567);
    w.WriteFloat(1e20);
  });
  EXPECT_EQ(b[0], vaExtended);
  EXPECT_EQ(b[11], vaSingle);
  TBytesStream s(b);
  TReader r(s);
  EXPECT_EQ(Bits(r.ReadFloat()), Bits(0.1));
  EXPECT_EQ(r.ReadSingle(), 2.5f);
  EXPECT_EQ(Bits(r.ReadDouble()), Bits(1e-310));
  EXPECT_EQ(r.ReadFloat(), 12.3456);
  EXPECT_EQ(r.ReadFloat(), 45000.5);
  EXPECT_EQ(r.ReadDouble(), double(0.1f));
  EXPECT_EQ(r.ReadCurrency().Raw(), -7);
  EXPECT_EQ(r.ReadCurrency().Raw(), 123457);  // rounded to four decimals
  EXPECT_THROW(r.ReadCurrency(), EReadError);  // too large for a currency
  r.SetPosition(0);
  EXPECT_EQ(r.ReadDate().Val, 0.1);
  EXPECT_EQ(r.ReadCurrency(), Currency(2.5));
  EXPECT_THROW(r.ReadSingle(), EReadError);  // a double never narrows silently
}

TEST(FilerStrings, KindFollowsContentAndAllKindsReadBack) {
  struct Case { String s; TValueType type; };
  const Case cases[] = {{L"", vaString},
                        {String(255, L'x'), vaString},
                        {String(256, L'y'), vaLString},
                        {L"\u00E9", vaWString},        // 2 UTF-8 bytes are not fewer than 2 UTF-16 bytes
                        {L"a\u00E9", vaUTF8String},
                        {L"\u65E5\u672C", vaWString},
                        {L"x\U0001F600y", vaUTF8String},
                        {String(300, L'\u00E9') + L"abc", vaUTF8String},
                        {String(300, L'\u65E5'), vaWString}};
  for (const Case& c : cases) {
    TBytes b = Written([&](TWriter& w) { w.WriteString(c.s); });
    EXPECT_EQ(b[0], c.type);
    TBytesStream s(b);
    TReader r(s);
    EXPECT_EQ(r.ReadString(), c.s);
    EXPECT_EQ(r.Position(), Int64(b.size()));
  }
  TBytes b = Written([](TWriter& w) {
    w.WriteWideString(L"ab");
    w.WriteUTF8Str(L"\u00FCber");
    w.WriteChar(L'\u20AC');
    w.WriteChar(L'q');
  });
  EXPECT_EQ(b[0], vaWString);
  TBytesStream s(b);
  TReader r(s);
  EXPECT_EQ(r.ReadString(), L"ab");
  EXPECT_EQ(r.NextValue(), vaUTF8String);
  EXPECT_EQ(r.ReadWideString(), L"\u00FCber");
  EXPECT_EQ(r.ReadChar(), L'\u20AC');
  EXPECT_EQ(r.ReadChar(), L'q');
}

TEST(FilerStrings, AnsiBytesUseTheCodePage) {
  TBytesStream s(TBytes{vaString, 2, 'a', 0xE9, vaLString, 1, 0, 0, 0, 'z'});
  TReader r(s);
  EXPECT_EQ(r.ReadString(), AnsiToString("a\xE9"));
  EXPECT_EQ(r.ReadString(), L"z");
}

TEST(FilerStrings, ShortStringsAreUtf8CutAtACharacter) {
  TBytes b = Written([](TWriter& w) {
    w.WriteStr(String(300, L'\u00E9'));
    w.WriteStr(L"Caf\u00E9");
  });
  ASSERT_EQ(b[0], 254);  // 127 two-byte characters: 255 would split one
  TBytesStream s(b);
  TReader r(s);
  EXPECT_EQ(r.ReadStr(), String(127, L'\u00E9'));
  EXPECT_EQ(r.ReadStr(), L"Caf\u00E9");
  TBytesStream bad(TBytes{3, 'a', 0xFF, 'b'});
  TReader rb(bad);
  EXPECT_EQ(rb.ReadStr(), L"a\uFFFDb");
}

TEST(FilerIdents, SpecialNamesGetTheirOwnTypes) {
  TBytes b = Written([](TWriter& w) {
    w.WriteIdent(L"true");
    w.WriteIdent(L"FALSE");
    w.WriteIdent(L"Nil");
    w.WriteIdent(L"null");
    w.WriteIdent(L"alClient");
    w.WriteBoolean(true);
    w.WriteBoolean(false);
  });
  EXPECT_EQ(b, (TBytes{vaTrue, vaFalse, vaNil, vaNull, vaIdent, 8, 'a', 'l', 'C', 'l', 'i', 'e', 'n', 't', vaTrue, vaFalse}));
  TBytesStream s(b);
  TReader r(s);
  EXPECT_EQ(r.ReadIdent(), L"True");
  EXPECT_EQ(r.ReadIdent(), L"False");
  EXPECT_EQ(r.ReadIdent(), L"nil");
  EXPECT_EQ(r.ReadIdent(), L"Null");
  EXPECT_EQ(r.ReadIdent(), L"alClient");
  EXPECT_TRUE(r.ReadBoolean());
  EXPECT_FALSE(r.ReadBoolean());
}

TEST(FilerValues, WrongKindsRaiseInvalidPropertyValue) {
  TBytes str = Written([](TWriter& w) { w.WriteString(L"x"); });
  TBytes num = Written([](TWriter& w) { w.WriteInteger(1); });
  TBytes two = Written([](TWriter& w) { w.WriteString(L"ab"); });
  const String invalid = SRes::SInvalidPropertyValue;
  EXPECT_EQ(ReadError(str, [](TReader& r) { r.ReadInteger(); }), invalid);
  EXPECT_EQ(ReadError(str, [](TReader& r) { r.ReadFloat(); }), invalid);
  EXPECT_EQ(ReadError(str, [](TReader& r) { r.ReadBoolean(); }), invalid);
  EXPECT_EQ(ReadError(str, [](TReader& r) { r.ReadIdent(); }), invalid);
  EXPECT_EQ(ReadError(num, [](TReader& r) { r.ReadString(); }), invalid);
  EXPECT_EQ(ReadError(num, [](TReader& r) { r.ReadBinary(); }), invalid);
  EXPECT_EQ(ReadError(two, [](TReader& r) { r.ReadChar(); }), invalid);
  EXPECT_EQ(ReadError(TBytes{22}, [](TReader& r) { r.ReadValue(); }), invalid);
  EXPECT_EQ(ReadError(TBytes{0xFF}, [](TReader& r) { r.SkipValue(); }), invalid);
  EXPECT_EQ(ReadError(num, [](TReader& r) { r.ReadListBegin(); }), invalid);
}

TEST(FilerVariants, EveryKindRoundTrips) {
  Variant values[] = {Unassigned(), Null(), Variant(true), Variant(-5), Variant(100000),
                      Variant(static_cast<long long>(1) << 40), Variant(1.5f), Variant(0.1),
                      Variant(Currency::FromRaw(-12345)), Variant(TDateTime(45000.25)), Variant(L"h\u00E9llo"),
                      VarArrayOf({Variant(1), Variant(L"two"), VarArrayOf({Variant(3.25), Unassigned()})}),
                      Variant(TBytes{1, 2, 255})};
  const TVarType types[] = {varEmpty, varNull, varBoolean, varInteger, varInteger, varInt64, varSingle, varDouble,
                            varCurrency, varDate, varUString, varArray | varVariant, varArray | varByte};
  TBytes b = Written([&](TWriter& w) {
    for (const Variant& v : values) w.WriteVariant(v);
  });
  TBytesStream s(b);
  TReader r(s);
  for (size_t i = 0; i < std::size(values); ++i) {
    Variant v = r.ReadVariant();
    EXPECT_EQ(VarType(v), types[i]) << i;
    EXPECT_TRUE(VarSameValue(v, values[i])) << i;
  }
  EXPECT_EQ(r.Remaining(), 0);
  Variant d = Variant(0.1);
  TBytes db = Written([&](TWriter& w) { w.WriteVariant(d); });
  EXPECT_EQ(db[0], vaDouble);
  // vaNull ends a list, so a Null element has no encoding inside one.
  TBytesStream out;
  TWriter w(out);
  EXPECT_THROW(w.WriteVariant(VarArrayOf({Variant(1), Null()})), EWriteError);
}

TEST(FilerSets, MembersByNameInEitherCase) {
  const TTypeInfo* anchors = MakeSetTypeInfo(MakeEnumTypeInfo(L"TFilerTestAnchor", {L"akLeft", L"akTop", L"akRight", L"akBottom"}));
  TBytes b = Written([&](TWriter& w) {
    w.WriteSet(anchors, 0b1011);
    w.WriteSet(anchors, 0);
  });
  TBytes expected{vaSet, 6, 'a', 'k', 'L', 'e', 'f', 't', 5, 'a', 'k', 'T', 'o', 'p',
                  8, 'a', 'k', 'B', 'o', 't', 't', 'o', 'm', 0, vaSet, 0};
  EXPECT_EQ(b, expected);
  TBytesStream s(b);
  TReader r(s);
  EXPECT_EQ(r.ReadSet(anchors), 0b1011u);
  EXPECT_EQ(r.ReadSet(anchors), 0u);
  TBytesStream lower(TBytes{vaSet, 7, 'a', 'k', 'r', 'i', 'g', 'h', 't', 0});
  TReader rl(lower);
  EXPECT_EQ(rl.ReadSet(anchors), 0b0100u);
  TBytes unknown{vaSet, 2, 'n', 'o', 0};
  EXPECT_EQ(ReadError(unknown, [&](TReader& r) { r.ReadSet(anchors); }), SRes::SInvalidPropertyValue);
  TBytesStream out;
  TWriter w(out);
  EXPECT_THROW(w.WriteSet(anchors, 1u << 4), EWriteError);
}

TEST(FilerBinary, BytesAndSignatureAndPrefix) {
  TBytes data(5000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = Byte(i * 7);
  TBytes b = Written([&](TWriter& w) {
    w.WriteSignature();
    w.WritePrefix(TFilerFlags{ffInherited, ffChildPos}, 300);
    w.WritePrefix(TFilerFlags{}, 5);
    w.WritePrefix(TFilerFlags{ffInline}, 0);
    w.WriteBinary(data.data(), Int64(data.size()));
    w.WriteBinary(nullptr, 0);
  }, 64);
  EXPECT_EQ(TBytes(b.begin(), b.begin() + 9), (TBytes{'T', 'P', 'F', '0', 0xF3, vaInt16, 0x2C, 0x01, 0xF4}));
  TBytesStream s(b);
  TReader r(s, 100);
  r.ReadSignature();
  TFilerFlags flags;
  int pos;
  r.ReadPrefix(flags, pos);
  EXPECT_TRUE(flags == (TFilerFlags{ffInherited, ffChildPos}));
  EXPECT_EQ(pos, 300);
  r.ReadPrefix(flags, pos);
  EXPECT_TRUE(flags == TFilerFlags{ffInline});
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(r.ReadBinary(), data);
  EXPECT_TRUE(r.ReadBinary().empty());
  TBytesStream bad(TBytes{'T', 'P', 'F', '1', 0});
  TReader rb(bad);
  EXPECT_THROW(rb.ReadSignature(), EInvalidImage);
  TBytesStream shortSig(TBytes{'T', 'P'});
  TReader rs(shortSig);
  EXPECT_THROW(rs.ReadSignature(), EInvalidImage);
}

TEST(FilerBuffering, RawAndTypedValuesMixAtAnyBufferSize) {
  for (int bufSize : {1, 3, 7, 4096}) {
    TBytesStream s;
    s.Write("HDR", 3);
    {
      TWriter w(s, bufSize);
      EXPECT_EQ(w.Position(), 3);
      w.WriteInteger(1000);
      w.Write("raw!", 4);
      w.WriteString(L"text");
      EXPECT_EQ(w.Position(), 3 + 3 + 4 + 6);
      w.WriteFloat(2.5);
    }
    EXPECT_EQ(s.Position(), 27) << bufSize;
    EXPECT_EQ(s.Size(), 27);
    s.Write("TAIL", 4);
    s.SetPosition(3);
    {
      TReader r(s, bufSize);
      EXPECT_EQ(r.Position(), 3);
      EXPECT_EQ(r.ReadInteger(), 1000);
      char raw[4];
      r.Read(raw, 4);
      EXPECT_EQ(std::memcmp(raw, "raw!", 4), 0);
      EXPECT_EQ(r.ReadString(), L"text");
      EXPECT_EQ(r.Position(), 16);
      EXPECT_EQ(r.Remaining(), 15);
      EXPECT_EQ(r.ReadFloat(), 2.5);
    }
    // The reader read ahead, but gives back what it did not use.
    EXPECT_EQ(s.Position(), 27) << bufSize;
    char tail[4];
    EXPECT_EQ(s.Read(tail, 4), 4);
    EXPECT_EQ(std::memcmp(tail, "TAIL", 4), 0);
  }
}

TEST(FilerBuffering, SetPositionInsideAndOutsideTheBuffer) {
  TBytes b = Written([](TWriter& w) {
    for (int i = 0; i < 100; ++i) w.WriteInteger(i * 1000);
  });
  TBytesStream s(b);
  TReader r(s, 16);
  EXPECT_EQ(r.ReadInteger(), 0);      // 2 bytes
  EXPECT_EQ(r.ReadInteger(), 1000);   // 3 bytes
  r.SetPosition(2);
  EXPECT_EQ(r.ReadInteger(), 1000);
  r.SetPosition(Int64(b.size()) - 5);
  EXPECT_EQ(r.ReadInteger(), 99000);
  EXPECT_EQ(r.Remaining(), 0);
  EXPECT_THROW(r.ReadValue(), EReadError);
  r.SetPosition(0);
  r.SkipValue();
  r.SkipValue();
  EXPECT_EQ(r.Position(), 5);
  r.FlushBuffer();
  EXPECT_EQ(s.Position(), 5);
  EXPECT_EQ(r.ReadInteger(), 2000);
}

namespace {
class TBrokenStream : public TBytesStream {
public:
  Int64 Write(const void*, Int64) override { return 0; }
};
}  // namespace

TEST(FilerBuffering, FailedFlushRaisesButDestructorDoesNot) {
  TBrokenStream s;
  {
    TWriter w(s, 64);
    w.WriteString(L"abc");
    EXPECT_THROW(w.FlushBuffer(), EWriteError);
    w.WriteString(L"def");
  }
  TBrokenStream s2;
  TWriter w2(s2, 8);
  EXPECT_THROW(w2.Write("0123456789", 10), EWriteError);  // larger than the buffer: written straight
}

TEST(FilerLimits, LengthsPastTheEndFailBeforeAllocating) {
  const TBytes bad[] = {
      {vaLString, 0xFF, 0xFF, 0xFF, 0x7F, 'a'},
      {vaUTF8String, 0x00, 0x00, 0x00, 0x40},
      {vaWString, 0xFF, 0xFF, 0xFF, 0x3F, 'a', 0},
      {vaWString, 0x02, 0x00, 0x00, 0x00, 'a', 0},
      {vaLString, 0xFF, 0xFF, 0xFF, 0xFF},  // negative
      {vaString, 10, 'a', 'b'},
      {vaInt32, 1, 2},
      {vaExtended, 0, 0, 0},
  };
  for (const TBytes& b : bad) {
    EXPECT_FALSE(ReadError(b, [](TReader& r) { r.ReadString(); }).empty());
    EXPECT_FALSE(ReadError(b, [](TReader& r) { r.SkipValue(); }).empty());
  }
  EXPECT_EQ(ReadError(TBytes{vaBinary, 0xFF, 0xFF, 0xFF, 0x7F}, [](TReader& r) { r.ReadBinary(); }),
            Format(SRes::SLengthTooLarge, {0x7FFFFFFF}));
  EXPECT_FALSE(ReadError(TBytes{vaBinary, 0xFF, 0xFF, 0xFF, 0x7F}, [](TReader& r) { r.ReadVariant(); }).empty());
  EXPECT_FALSE(ReadError(TBytes{5, 'a'}, [](TReader& r) { r.ReadStr(); }).empty());
  EXPECT_FALSE(ReadError(TBytes{vaSet, 3, 'a', 0}, [](TReader& r) { r.SkipValue(); }).empty());
}

TEST(FilerLimits, SkipValueCrossesEveryKindAndStopsDeepNesting) {
  const TTypeInfo* set = MakeSetTypeInfo(MakeEnumTypeInfo(L"TFilerTestSkip", {L"a", L"b"}));
  TBytes b = Written([&](TWriter& w) {
    w.WriteListBegin();
    w.WriteInteger(1);
    w.WriteInteger(300);
    w.WriteInteger(1 << 20);
    w.WriteInteger(Int64(1) << 40);
    w.WriteFloat(1);
    w.WriteSingle(1);
    w.WriteDouble(1);
    w.WriteCurrency(1);
    w.WriteDate(1);
    w.WriteString(L"s");
    w.WriteString(String(300, L'l'));
    w.WriteString(L"\u65E5");
    w.WriteUTF8Str(L"u");
    w.WriteIdent(L"id");
    w.WriteIdent(L"nil");
    w.WriteBoolean(true);
    w.WriteSet(set, 3);
    w.WriteBinary("xyz", 3);
    w.WriteValue(vaCollection);
    w.WriteInteger(4);
    w.WriteListBegin();
    w.WriteStr(L"Width");
    w.WriteInteger(10);
    w.WriteListEnd();
    w.WriteListBegin();
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteInteger(77);
  });
  TBytesStream s(b);
  TReader r(s, 5);
  r.SkipValue();
  EXPECT_EQ(r.ReadInteger(), 77);

  TBytes deep(2 * (MaxFilerNesting + 1), vaNull);
  std::fill(deep.begin(), deep.begin() + MaxFilerNesting + 1, Byte(vaList));
  EXPECT_EQ(ReadError(deep, [](TReader& r) { r.SkipValue(); }), SRes::SNestingTooDeep);
  EXPECT_EQ(ReadError(deep, [](TReader& r) { r.ReadVariant(); }), SRes::SNestingTooDeep);
  TBytes ok(2 * MaxFilerNesting, vaNull);
  std::fill(ok.begin(), ok.begin() + MaxFilerNesting, Byte(vaList));
  TBytesStream so(ok);
  TReader ro(so);
  ro.SkipValue();
  EXPECT_EQ(ro.Remaining(), 0);
}
