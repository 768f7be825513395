// Basic value types of the host run-time library: strings, integers, Currency, TDateTime,
// small enum sets and the argument record of Format. No Win32 here: this header is everywhere.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kw {

using String = std::wstring;
using Byte = std::uint8_t;
using Word = std::uint16_t;
using Cardinal = std::uint32_t;
using Integer = std::int32_t;
using Int32 = std::int32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using NativeInt = std::intptr_t;
using TBytes = std::vector<Byte>;

// Fixed point with four decimals, stored as a 64-bit count of ten-thousandths, so sums and
// differences are exact.
class Currency {
public:
  static constexpr Int64 Scale = 10000;
  constexpr Currency() = default;
  constexpr Currency(int v) : FValue(Int64(v) * Scale) {}
  constexpr Currency(Int64 v) : FValue(v * Scale) {}
  Currency(double v);  // rounds half away from zero to four decimals; raises on overflow
  static constexpr Currency FromRaw(Int64 raw) { Currency c; c.FValue = raw; return c; }
  constexpr Int64 Raw() const { return FValue; }
  double ToDouble() const { return double(FValue) / double(Scale); }
  explicit operator double() const { return ToDouble(); }
  Int64 Trunc() const { return FValue / Scale; }

  Currency operator-() const { return FromRaw(-FValue); }
  Currency operator+(Currency o) const;
  Currency operator-(Currency o) const;
  Currency operator*(Currency o) const;  // rounds half away from zero
  Currency operator/(Currency o) const;  // rounds half away from zero; raises on zero
  Currency& operator+=(Currency o) { return *this = *this + o; }
  Currency& operator-=(Currency o) { return *this = *this - o; }
  Currency& operator*=(Currency o) { return *this = *this * o; }
  Currency& operator/=(Currency o) { return *this = *this / o; }
  friend constexpr bool operator==(Currency a, Currency b) { return a.FValue == b.FValue; }
  friend constexpr auto operator<=>(Currency a, Currency b) { return a.FValue <=> b.FValue; }

private:
  Int64 FValue = 0;
};

// Days since 30 December 1899, the fraction the time of day. A distinct type so that type
// information can tell a date property from a plain float.
struct TDateTime {
  double Val = 0;
  constexpr TDateTime() = default;
  constexpr TDateTime(double v) : Val(v) {}
  constexpr operator double() const { return Val; }
};

// A set of up to 64 members of an enumeration whose values start at 0.
template <class E>
class TSet {
public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items) {
    for (E e : items) FBits |= Bit(e);
  }
  static constexpr TSet FromBits(UInt64 bits) { TSet s; s.FBits = bits; return s; }
  constexpr UInt64 Bits() const { return FBits; }
  constexpr bool Contains(E e) const { return (FBits & Bit(e)) != 0; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr TSet& operator<<(E e) { FBits |= Bit(e); return *this; }
  constexpr TSet& operator>>(E e) { FBits &= ~Bit(e); return *this; }
  constexpr TSet& Include(E e) { return *this << e; }
  constexpr TSet& Exclude(E e) { return *this >> e; }
  constexpr TSet operator+(TSet o) const { return FromBits(FBits | o.FBits); }
  constexpr TSet operator-(TSet o) const { return FromBits(FBits & ~o.FBits); }
  constexpr TSet operator*(TSet o) const { return FromBits(FBits & o.FBits); }
  friend constexpr bool operator==(TSet a, TSet b) { return a.FBits == b.FBits; }

private:
  static constexpr UInt64 Bit(E e) { return UInt64(1) << unsigned(e); }
  UInt64 FBits = 0;
};

// One argument of Format: the host's "array of const" element. Strings are referenced,
// not copied, so a record lives no longer than the call it is built for.
struct TVarRec {
  enum TKind : Byte { vtInteger, vtInt64, vtExtended, vtCurrency, vtWideChar, vtUnicodeString, vtPointer, vtBoolean };
  TKind VType;
  union {
    Int64 VInt64;
    double VExtended;
    Int64 VCurrency;  // raw ten-thousandths
    wchar_t VWideChar;
    const void* VPointer;
    bool VBoolean;
    struct { const wchar_t* Ptr; size_t Len; } VString;
  };
  TVarRec(int v) : VType(vtInteger), VInt64(v) {}
  TVarRec(unsigned v) : VType(vtInt64), VInt64(v) {}
  TVarRec(long v) : VType(vtInteger), VInt64(v) {}
  TVarRec(unsigned long v) : VType(vtInt64), VInt64(Int64(v)) {}
  TVarRec(long long v) : VType(vtInt64), VInt64(v) {}
  TVarRec(unsigned long long v) : VType(vtInt64), VInt64(Int64(v)) {}
  TVarRec(double v) : VType(vtExtended), VExtended(v) {}
  TVarRec(float v) : VType(vtExtended), VExtended(v) {}
  TVarRec(TDateTime v) : VType(vtExtended), VExtended(v.Val) {}
  TVarRec(Currency v) : VType(vtCurrency), VCurrency(v.Raw()) {}
  TVarRec(wchar_t v) : VType(vtWideChar), VWideChar(v) {}
  TVarRec(bool v) : VType(vtBoolean), VBoolean(v) {}
  TVarRec(const wchar_t* v) : VType(vtUnicodeString) { VString.Ptr = v ? v : L""; VString.Len = std::char_traits<wchar_t>::length(VString.Ptr); }
  TVarRec(const String& v) : VType(vtUnicodeString) { VString.Ptr = v.data(); VString.Len = v.size(); }
  TVarRec(const void* v) : VType(vtPointer), VPointer(v) {}
  String Str() const { return String(VString.Ptr, VString.Len); }
};

using TVarRecs = std::initializer_list<TVarRec>;

}  // namespace kw
