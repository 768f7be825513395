// Currency arithmetic: exact sums, products and quotients on the 64-bit count of
// ten-thousandths with overflow checks. Text conversions are in Sysformat.cpp.
#include <cmath>
#include <cstdint>

#include "host/Exceptions.h"
#include "host/System.h"

namespace kw {

namespace {

constexpr UInt64 kMaxMagnitude = UInt64(INT64_MAX);

// An unsigned 128-bit value, enough for the product of two raw amounts.
struct U128 {
  UInt64 Hi = 0, Lo = 0;
};

U128 Multiply(UInt64 a, UInt64 b) {
  UInt64 a0 = a & 0xFFFFFFFFu, a1 = a >> 32, b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
  UInt64 p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  UInt64 mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
  U128 r;
  r.Lo = (mid << 32) | (p00 & 0xFFFFFFFFu);
  r.Hi = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
  return r;
}

// Quotient and remainder by shift and subtract; the quotient saturates past 64 bits,
// which callers treat as overflow anyway.
UInt64 Divide(U128 n, UInt64 d, UInt64& rem, bool& overflow) {
  overflow = n.Hi >= d;
  if (overflow) return 0;
  UInt64 q = 0, r = n.Hi;
  for (int i = 63; i >= 0; --i) {
    bool carry = (r >> 63) != 0;
    r = (r << 1) | ((n.Lo >> i) & 1);
    q <<= 1;
    if (carry || r >= d) {
      r -= d;
      q |= 1;
    }
  }
  rem = r;
  return q;
}

UInt64 Magnitude(Int64 v) { return v < 0 ? 0 - UInt64(v) : UInt64(v); }

Currency FromMagnitude(UInt64 m, bool negative) {
  if (m > kMaxMagnitude + (negative ? 1 : 0)) throw EIntOverflow(SRes::SIntOverflow);
  return Currency::FromRaw(negative ? Int64(0 - m) : Int64(m));
}

// Rounds q + rem/d half away from zero.
UInt64 RoundQuotient(UInt64 q, UInt64 rem, UInt64 d) {
  if (rem >= d - rem) {
    if (q == ~UInt64(0)) throw EIntOverflow(SRes::SIntOverflow);
    ++q;
  }
  return q;
}

}  // namespace

Currency::Currency(double v) {
  if (std::isnan(v)) throw EInvalidOp(L"Invalid floating point operation");
  long double scaled = static_cast<long double>(v) * Scale;
  long double r = scaled < 0 ? -std::floor(-scaled + 0.5L) : std::floor(scaled + 0.5L);
  if (!(r >= -9223372036854775808.0L && r < 9223372036854775808.0L)) throw EOverflow(SRes::SOverflow);
  FValue = static_cast<Int64>(r);
}

Currency Currency::operator+(Currency o) const {
  Int64 a = FValue, b = o.FValue;
  if ((b > 0 && a > INT64_MAX - b) || (b < 0 && a < INT64_MIN - b)) throw EIntOverflow(SRes::SIntOverflow);
  return FromRaw(a + b);
}

Currency Currency::operator-(Currency o) const {
  Int64 a = FValue, b = o.FValue;
  if ((b < 0 && a > INT64_MAX + b) || (b > 0 && a < INT64_MIN + b)) throw EIntOverflow(SRes::SIntOverflow);
  return FromRaw(a - b);
}

Currency Currency::operator*(Currency o) const {
  bool negative = (FValue < 0) != (o.FValue < 0);
  U128 p = Multiply(Magnitude(FValue), Magnitude(o.FValue));
  UInt64 rem;
  bool overflow;
  UInt64 q = Divide(p, UInt64(Scale), rem, overflow);
  if (overflow) throw EIntOverflow(SRes::SIntOverflow);
  return FromMagnitude(RoundQuotient(q, rem, UInt64(Scale)), negative);
}

Currency Currency::operator/(Currency o) const {
  if (o.FValue == 0) throw EZeroDivide(SRes::SZeroDivide);
  bool negative = (FValue < 0) != (o.FValue < 0);
  UInt64 d = Magnitude(o.FValue);
  U128 n = Multiply(Magnitude(FValue), UInt64(Scale));
  UInt64 rem;
  bool overflow;
  UInt64 q = Divide(n, d, rem, overflow);
  if (overflow) throw EIntOverflow(SRes::SIntOverflow);
  return FromMagnitude(RoundQuotient(q, rem, d), negative);
}

}  // namespace kw
