// Variant storage, conversions, comparison, arithmetic and arrays. Texts of numbers and dates
// go through host/Sysutils.h and host/Dateutils.h with the process FormatSettings; COM
// interfaces and custom variant types are left out.
#include "host/Variants.h"

#include <cfloat>
#include <cmath>
#include <limits>
#include <new>
#include <utility>

#include "host/Dateutils.h"
#include "host/Sysutils.h"

namespace kw {

struct TVarArrayData {
  TVarType ElemType = varVariant;
  std::vector<std::pair<int, int>> Bounds;  // low, high per dimension; the first varies fastest
  std::vector<Variant> Items;               // every element type except varByte
  TBytes Bytes;                             // varByte elements stay packed: they carry binary data

  size_t Count() const { return ElemType == varByte ? Bytes.size() : Items.size(); }
};

namespace {

constexpr Int64 kCurrMaxUnits = 922337203685477;  // whole units a Currency can hold
constexpr Int64 kInt64Min = std::numeric_limits<Int64>::min();
constexpr Int64 kInt64Max = std::numeric_limits<Int64>::max();
constexpr double kTwo63 = 9223372036854775808.0;
constexpr double kTwo64 = 18446744073709551616.0;

enum class Cls { Empty, Null, Str, Bool, Ord, Float, Curr, Array, Other };

bool IsStrType(TVarType t) { return t == varString || t == varUString || t == varOleStr; }

bool IsOrdType(TVarType t) {
  switch (t) {
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord:
    case varLongWord: case varInt64: case varUInt64:
      return true;
    default:
      return false;
  }
}

bool IsArrayElemType(TVarType t) {
  switch (t) {
    case varSmallint: case varInteger: case varSingle: case varDouble: case varCurrency:
    case varDate: case varOleStr: case varBoolean: case varVariant: case varShortInt:
    case varByte: case varWord: case varLongWord: case varInt64: case varUInt64:
      return true;
    default:
      return false;
  }
}

[[noreturn]] void CastError(TVarType from, TVarType to) {
  throw EVariantTypeCastError(SRes::SVarTypeCouldNotConvert, {VarTypeAsText(from), VarTypeAsText(to)});
}

[[noreturn]] void OverflowError(TVarType from, TVarType to) {
  throw EVariantOverflowError(SRes::SVarTypeConvertOverflow, {VarTypeAsText(from), VarTypeAsText(to)});
}

[[noreturn]] void ArithOverflow() { throw EVariantOverflowError(SRes::SIntOverflow); }
[[noreturn]] void NotAnArray() { throw EVariantNotAnArrayError(SRes::SVarNotArray); }
[[noreturn]] void BadIndex() { throw EVariantBadIndexError(SRes::SVarArrayBounds); }
[[noreturn]] void CreateError() { throw EVariantArrayCreateError(SRes::SVarArrayCreate); }

// Ties go to the even neighbour, as the host's Round does; independent of the FPU mode.
double RoundHalfEven(double d) {
  double r = std::floor(d);
  double diff = d - r;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
  return r;
}

Int64 CurrRawToUnits(Int64 raw) {
  Int64 q = raw / Currency::Scale, rem = raw % Currency::Scale;
  if (rem > 5000 || (rem == 5000 && (q & 1))) ++q;
  if (rem < -5000 || (rem == -5000 && (q & 1))) --q;
  return q;
}

bool AddOv(Int64 a, Int64 b, Int64& r) {
  if ((b > 0 && a > kInt64Max - b) || (b < 0 && a < kInt64Min - b)) return false;
  r = a + b;
  return true;
}

bool SubOv(Int64 a, Int64 b, Int64& r) {
  if ((b < 0 && a > kInt64Max + b) || (b > 0 && a < kInt64Min + b)) return false;
  r = a - b;
  return true;
}

bool MulOv(Int64 a, Int64 b, Int64& r) {
  if (a == 0 || b == 0) { r = 0; return true; }
  if ((a == -1 && b == kInt64Min) || (b == -1 && a == kInt64Min)) return false;
  Int64 p = Int64(UInt64(a) * UInt64(b));
  if (p / b != a) return false;
  r = p;
  return true;
}

// Booleans as text, for conversions of strings that are not numbers.
bool BoolText(const String& s, bool& out) {
  String t = Trim(s);
  if (SameText(t, L"True")) { out = true; return true; }
  if (SameText(t, L"False")) { out = false; return true; }
  return false;
}

// Decimal digits only: TryStrToInt64 stops at the signed range.
bool ParseUInt64(const String& s, UInt64& out, bool& overflow) {
  String t = Trim(s);
  size_t i = (!t.empty() && t[0] == L'+') ? 1 : 0;
  if (i >= t.size()) return false;
  UInt64 v = 0;
  overflow = false;
  for (; i < t.size(); ++i) {
    if (t[i] < L'0' || t[i] > L'9') return false;
    unsigned d = unsigned(t[i] - L'0');
    if (v > (std::numeric_limits<UInt64>::max() - d) / 10) overflow = true;
    v = v * 10 + d;
  }
  out = v;
  return true;
}

}  // namespace

// The private side of Variant, kept out of the header.
struct VariantAccess {
  static Variant MakeInt(TVarType t, Int64 v) { Variant r; r.FVType = t; r.FU.Int = v; return r; }
  static Variant MakeUInt(UInt64 v) { Variant r; r.FVType = varUInt64; r.FU.UInt = v; return r; }
  static Variant MakeDouble(TVarType t, double v) { Variant r; r.FVType = t; r.FU.Double = v; return r; }
  static Variant MakeSingle(float v) { Variant r; r.FVType = varSingle; r.FU.Single = v; return r; }
  static Variant MakeBool(bool v) { Variant r; r.FVType = varBoolean; r.FU.Bool = v; return r; }
  static Variant MakeStr(TVarType t, String s) { Variant r; r.FVType = t; r.FStr = std::move(s); return r; }

  static Variant ZeroOf(TVarType t) {
    switch (t) {
      case varVariant: return Variant();
      case varOleStr: case varString: case varUString: return MakeStr(t, String());
      case varBoolean: return MakeBool(false);
      case varSingle: return MakeSingle(0);
      case varDouble: case varDate: return MakeDouble(t, 0);
      case varUInt64: return MakeUInt(0);
      default: return MakeInt(t, 0);
    }
  }

  static Cls ClassOf(const Variant& v) {
    TVarType t = v.FVType;
    if (v.FArray) return Cls::Array;
    if (t == varEmpty) return Cls::Empty;
    if (t == varNull) return Cls::Null;
    if (IsStrType(t)) return Cls::Str;
    if (t == varBoolean) return Cls::Bool;
    if (IsOrdType(t)) return Cls::Ord;
    if (t == varSingle || t == varDouble || t == varDate) return Cls::Float;
    if (t == varCurrency) return Cls::Curr;
    return Cls::Other;
  }

  static double FloatOf(const Variant& v) { return v.FVType == varSingle ? double(v.FU.Single) : v.FU.Double; }

  // All conversions below take a variant that is not a reference.

  static Int64 FloatToInt(double d, TVarType from, TVarType to) {
    if (!std::isfinite(d)) OverflowError(from, to);
    double r = RoundHalfEven(d);
    if (r < -kTwo63 || r >= kTwo63) OverflowError(from, to);
    return Int64(r);
  }

  static Int64 ToInt(const Variant& v, TVarType to, Int64 lo, Int64 hi) {
    TVarType from = v.FVType;
    Int64 r = 0;
    switch (ClassOf(v)) {
      case Cls::Empty: return 0;
      case Cls::Bool: r = v.FU.Bool ? -1 : 0; break;
      case Cls::Ord:
        if (from == varUInt64 && v.FU.UInt > UInt64(kInt64Max)) OverflowError(from, to);
        r = v.FU.Int;
        break;
      case Cls::Float: r = FloatToInt(FloatOf(v), from, to); break;
      case Cls::Curr: r = CurrRawToUnits(v.FU.Int); break;
      case Cls::Str: {
        double d;
        bool b;
        if (TryStrToInt64(v.FStr, r)) break;
        if (TryStrToFloat(v.FStr, d, FormatSettings)) { r = FloatToInt(d, from, to); break; }
        if (BoolText(v.FStr, b)) { r = b ? -1 : 0; break; }
        CastError(from, to);
      }
      default: CastError(v.VarType(), to);
    }
    if (r < lo || r > hi) OverflowError(from, to);
    return r;
  }

  static UInt64 ToUInt64(const Variant& v) {
    TVarType from = v.FVType;
    auto fromFloat = [&](double d) -> UInt64 {
      if (!std::isfinite(d)) OverflowError(from, varUInt64);
      double r = RoundHalfEven(d);
      if (r < 0 || r >= kTwo64) OverflowError(from, varUInt64);
      return UInt64(r);
    };
    switch (ClassOf(v)) {
      case Cls::Ord:
        if (from == varUInt64) return v.FU.UInt;
        if (v.FU.Int < 0) OverflowError(from, varUInt64);
        return UInt64(v.FU.Int);
      case Cls::Float: return fromFloat(FloatOf(v));
      case Cls::Str: {
        UInt64 u;
        bool overflow = false;
        double d;
        if (ParseUInt64(v.FStr, u, overflow)) {
          if (overflow) OverflowError(from, varUInt64);
          return u;
        }
        if (TryStrToFloat(v.FStr, d, FormatSettings)) return fromFloat(d);
        return UInt64(ToInt(v, varUInt64, 0, kInt64Max));
      }
      default: return UInt64(ToInt(v, varUInt64, 0, kInt64Max));
    }
  }

  static double ToDouble(const Variant& v, TVarType to) {
    switch (ClassOf(v)) {
      case Cls::Empty: return 0;
      case Cls::Bool: return v.FU.Bool ? -1 : 0;
      case Cls::Ord: return v.FVType == varUInt64 ? double(v.FU.UInt) : double(v.FU.Int);
      case Cls::Float: return FloatOf(v);
      case Cls::Curr: return double(v.FU.Int) / double(Currency::Scale);
      case Cls::Str: {
        double d;
        bool b;
        if (TryStrToFloat(v.FStr, d, FormatSettings)) return d;
        if (BoolText(v.FStr, b)) return b ? -1 : 0;
        CastError(v.FVType, to);
      }
      default: CastError(v.VarType(), to);
    }
  }

  static Int64 FloatToCurrRaw(double d, TVarType from) {
    double scaled = d * double(Currency::Scale);
    if (!std::isfinite(scaled)) OverflowError(from, varCurrency);
    double r = RoundHalfEven(scaled);
    if (r < -kTwo63 || r >= kTwo63) OverflowError(from, varCurrency);
    return Int64(r);
  }

  static Int64 ToCurrRaw(const Variant& v) {
    TVarType from = v.FVType;
    switch (ClassOf(v)) {
      case Cls::Empty: return 0;
      case Cls::Bool: return v.FU.Bool ? -Currency::Scale : 0;
      case Cls::Ord:
        if (from == varUInt64 ? v.FU.UInt > UInt64(kCurrMaxUnits)
                              : (v.FU.Int > kCurrMaxUnits || v.FU.Int < -kCurrMaxUnits))
          OverflowError(from, varCurrency);
        return v.FU.Int * Currency::Scale;
      case Cls::Float: return FloatToCurrRaw(FloatOf(v), from);
      case Cls::Curr: return v.FU.Int;
      case Cls::Str: {
        Currency c;
        double d;
        bool b;
        if (TryStrToCurr(v.FStr, c, FormatSettings)) return c.Raw();
        if (TryStrToFloat(v.FStr, d, FormatSettings)) return FloatToCurrRaw(d, from);
        if (BoolText(v.FStr, b)) return b ? -Currency::Scale : 0;
        CastError(from, varCurrency);
      }
      default: CastError(v.VarType(), varCurrency);
    }
  }

  static double ToDate(const Variant& v) {
    if (ClassOf(v) == Cls::Str) {
      TDateTime dt;
      double d;
      if (TryStrToDateTime(v.FStr, dt, FormatSettings)) return dt.Val;
      if (TryStrToFloat(v.FStr, d, FormatSettings)) return d;
      CastError(v.FVType, varDate);
    }
    return ToDouble(v, varDate);
  }

  static bool ToBool(const Variant& v) {
    switch (ClassOf(v)) {
      case Cls::Empty: return false;
      case Cls::Bool: return v.FU.Bool;
      case Cls::Ord: return v.FU.Int != 0;  // UInt64 shares the bits
      case Cls::Float: return FloatOf(v) != 0;
      case Cls::Curr: return v.FU.Int != 0;
      case Cls::Str: {
        bool b;
        Int64 i;
        double d;
        if (BoolText(v.FStr, b)) return b;
        if (TryStrToInt64(v.FStr, i)) return i != 0;
        if (TryStrToFloat(v.FStr, d, FormatSettings)) return d != 0;
        CastError(v.FVType, varBoolean);
      }
      default: CastError(v.VarType(), varBoolean);
    }
  }

  static String ToStr(const Variant& v, TVarType to) {
    switch (ClassOf(v)) {
      case Cls::Empty: return String();
      case Cls::Bool: return v.FU.Bool ? L"True" : L"False";
      case Cls::Ord: return v.FVType == varUInt64 ? UIntToStr(v.FU.UInt) : IntToStr(v.FU.Int);
      case Cls::Float:
        if (v.FVType == varDate) return DateTimeToStr(TDateTime(v.FU.Double), FormatSettings);
        // A Single shows the digits it holds, not the noise of its widening to double.
        if (v.FVType == varSingle) return FloatToStrF(double(v.FU.Single), ffGeneral, 7, 0, FormatSettings);
        return FloatToStr(v.FU.Double, FormatSettings);
      case Cls::Curr: return CurrToStr(Currency::FromRaw(v.FU.Int), FormatSettings);
      case Cls::Str: return v.FStr;
      default: CastError(v.VarType(), to);
    }
  }

  static Variant AsType(const Variant& s, TVarType t) {
    TVarType st = s.FVType;
    if (t & varByRef) throw EVariantBadVarTypeError(SRes::SVarBadType);
    if (t & varArray) {
      if (st == t) return s;
      CastError(st, t);
    }
    switch (t) {
      case varEmpty: return Variant();
      case varNull: return Variant::Null();
      case varVariant: return s;
      default: break;
    }
    if (st == varNull || s.FArray) {
      if (IsArrayElemType(t) || IsStrType(t)) CastError(st, t);
      throw EVariantBadVarTypeError(SRes::SVarBadType);
    }
    switch (t) {
      case varShortInt: return MakeInt(t, ToInt(s, t, -128, 127));
      case varSmallint: return MakeInt(t, ToInt(s, t, -32768, 32767));
      case varInteger: return MakeInt(t, ToInt(s, t, -2147483648LL, 2147483647LL));
      case varByte: return MakeInt(t, ToInt(s, t, 0, 255));
      case varWord: return MakeInt(t, ToInt(s, t, 0, 65535));
      case varLongWord: return MakeInt(t, ToInt(s, t, 0, 4294967295LL));
      case varInt64: return MakeInt(t, ToInt(s, t, kInt64Min, kInt64Max));
      case varUInt64: return MakeUInt(ToUInt64(s));
      case varSingle: {
        double d = ToDouble(s, t);
        if (std::isfinite(d) && std::fabs(d) > FLT_MAX) OverflowError(st, t);
        return MakeSingle(float(d));
      }
      case varDouble: return MakeDouble(t, ToDouble(s, t));
      case varDate: return MakeDouble(t, ToDate(s));
      case varCurrency: return MakeInt(t, ToCurrRaw(s));
      case varBoolean: return MakeBool(ToBool(s));
      case varOleStr: case varString: case varUString: return MakeStr(t, ToStr(s, t));
      default: throw EVariantBadVarTypeError(SRes::SVarBadType);
    }
  }

  // Arrays.

  static TVarArrayData& ArrayOf(Variant& v) {
    Variant& s = v.Deref();
    if (!s.FArray) NotAnArray();
    return *s.FArray;
  }

  static const TVarArrayData& ArrayOf(const Variant& v) {
    const Variant& s = v.Deref();
    if (!s.FArray) NotAnArray();
    return *s.FArray;
  }

  static size_t FlatIndex(const TVarArrayData& a, const int* idx, size_t n) {
    if (n != a.Bounds.size()) BadIndex();
    size_t flat = 0, stride = 1;
    for (size_t k = 0; k < n; ++k) {
      auto [lo, hi] = a.Bounds[k];
      if (idx[k] < lo || idx[k] > hi) BadIndex();
      flat += size_t(Int64(idx[k]) - lo) * stride;
      stride *= size_t(Int64(hi) - lo + 1);
    }
    return flat;
  }

  static Variant ItemAt(const TVarArrayData& a, size_t flat) {
    if (a.ElemType == varByte) return MakeInt(varByte, a.Bytes[flat]);
    return a.Items[flat];
  }

  static void StoreAt(TVarArrayData& a, size_t flat, const Variant& value) {
    const Variant& s = value.Deref();
    if (a.ElemType == varByte)
      a.Bytes[flat] = Byte(ToIntOf(s, varByte, 0, 255));
    else if (a.ElemType == varVariant)
      a.Items[flat] = s;  // a copy of the value: elements never hold references
    else
      a.Items[flat] = AsType(s, a.ElemType);
  }

  static Int64 ToIntOf(const Variant& s, TVarType to, Int64 lo, Int64 hi) {
    if (s.FVType == varNull || s.FArray) CastError(s.FVType, to);
    return ToInt(s, to, lo, hi);
  }

  static Variant NewArray(std::vector<std::pair<int, int>> bounds, TVarType elem) {
    size_t count = 1;
    for (auto [lo, hi] : bounds) {
      Int64 len = Int64(hi) - lo + 1;
      if (len < 0) CreateError();
      if (len > 0 && count > size_t(0x7FFFFFFF) / size_t(len)) CreateError();
      count *= size_t(len);
    }
    Variant r;
    auto* a = new TVarArrayData;
    r.FArray = a;
    r.FVType = TVarType(varArray | elem);
    a->ElemType = elem;
    a->Bounds = std::move(bounds);
    try {
      if (elem == varByte)
        a->Bytes.assign(count, 0);
      else
        a->Items.assign(count, ZeroOf(elem));
    } catch (const std::bad_alloc&) {
      CreateError();
    }
    return r;
  }

  static bool ArraysEqual(const TVarArrayData& a, const TVarArrayData& b) {
    if (a.Bounds != b.Bounds) return false;
    if (a.ElemType == varByte && b.ElemType == varByte) return a.Bytes == b.Bytes;
    for (size_t i = 0, n = a.Count(); i < n; ++i)
      if (!(ItemAt(a, i) == ItemAt(b, i))) return false;
    return true;
  }

  // Comparison.

  struct Ord {
    bool Big;  // a UInt64 above the Int64 range
    Int64 S;
    UInt64 U;
  };

  static Ord OrdOf(const Variant& v) {
    if (v.FVType == varBoolean) return {false, v.FU.Bool ? -1 : 0, 0};
    if (v.FVType == varUInt64 && v.FU.UInt > UInt64(kInt64Max)) return {true, 0, v.FU.UInt};
    return {false, v.FU.Int, 0};
  }

  template <class T>
  static TVariantRelationship Rel(T a, T b) {
    return a < b ? vrLessThan : b < a ? vrGreaterThan : vrEqual;
  }

  static TVariantRelationship CompareStrings(const String& a, const String& b) {
    if (a == b) return vrEqual;
    int r = AnsiCompareStr(a, b);
    // The locale may call different strings equal; order them by code units then.
    if (r == 0) r = a.compare(b);
    return r < 0 ? vrLessThan : vrGreaterThan;
  }

  static TVariantRelationship CompareNumbers(const Variant& a, const Variant& b) {
    Cls ca = ClassOf(a), cb = ClassOf(b);
    if (ca == Cls::Float || cb == Cls::Float) {
      double x = ToDouble(a, varDouble), y = ToDouble(b, varDouble);
      if (std::isnan(x) || std::isnan(y)) return vrNotEqual;
      return Rel(x, y);
    }
    if (ca == Cls::Curr && cb == Cls::Curr) return Rel(a.FU.Int, b.FU.Int);
    if (ca == Cls::Curr || cb == Cls::Curr) {
      bool currFirst = ca == Cls::Curr;
      Int64 raw = currFirst ? a.FU.Int : b.FU.Int;
      Ord o = OrdOf(currFirst ? b : a);
      TVariantRelationship r;
      if (o.Big || o.S > kCurrMaxUnits)
        r = vrLessThan;
      else if (o.S < -kCurrMaxUnits)
        r = vrGreaterThan;
      else
        r = Rel(raw, o.S * Currency::Scale);
      if (!currFirst && r != vrEqual) r = r == vrLessThan ? vrGreaterThan : vrLessThan;
      return r;
    }
    Ord x = OrdOf(a), y = OrdOf(b);
    if (x.Big && y.Big) return Rel(x.U, y.U);
    if (x.Big) return vrGreaterThan;
    if (y.Big) return vrLessThan;
    return Rel(x.S, y.S);
  }

  // A string compared with a number is read as that kind of number.
  static Variant StrAsNumberLike(const Variant& str, const Variant& other) {
    if (other.FVType == varDate) return MakeDouble(varDate, ToDate(str));
    if (other.FVType == varCurrency) return MakeInt(varCurrency, ToCurrRaw(str));
    Int64 i;
    if (TryStrToInt64(str.FStr, i)) return MakeInt(varInt64, i);
    return MakeDouble(varDouble, ToDouble(str, varDouble));
  }

  static TVariantRelationship Compare(const Variant& a0, const Variant& b0) {
    const Variant& a = a0.Deref();
    const Variant& b = b0.Deref();
    Cls ca = ClassOf(a), cb = ClassOf(b);
    if (ca == Cls::Null || cb == Cls::Null) return ca == cb ? vrEqual : vrNotEqual;
    if (ca == Cls::Array || cb == Cls::Array)
      return ca == cb && ArraysEqual(*a.FArray, *b.FArray) ? vrEqual : vrNotEqual;
    if (ca == Cls::Other || cb == Cls::Other)
      return a.FVType == b.FVType && a.FU.Int == b.FU.Int ? vrEqual : vrNotEqual;
    if (ca == Cls::Empty && cb == Cls::Empty) return vrEqual;
    if (ca == Cls::Empty) return Compare(ZeroOf(cb == Cls::Str ? varUString : cb == Cls::Bool ? varBoolean : varInteger), b);
    if (cb == Cls::Empty) return Compare(a, ZeroOf(ca == Cls::Str ? varUString : ca == Cls::Bool ? varBoolean : varInteger));
    if (ca == Cls::Str && cb == Cls::Str) return CompareStrings(a.FStr, b.FStr);
    if ((ca == Cls::Str || ca == Cls::Bool) && (cb == Cls::Str || cb == Cls::Bool))
      return Rel(int(ToBool(a)), int(ToBool(b)));
    if (ca == Cls::Str) return CompareNumbers(StrAsNumberLike(a, b), b);
    if (cb == Cls::Str) return CompareNumbers(a, StrAsNumberLike(b, a));
    return CompareNumbers(a, b);
  }

  // Arithmetic.

  static bool Narrow(TVarType t) { return t != varInt64 && t != varUInt64 && t != varLongWord; }

  static Variant Arith(const Variant& a0, const Variant& b0, wchar_t op) {
    const Variant& a = a0.Deref();
    const Variant& b = b0.Deref();
    Cls ca = ClassOf(a), cb = ClassOf(b);
    if (ca == Cls::Array || cb == Cls::Array || ca == Cls::Other || cb == Cls::Other)
      throw EVariantInvalidOpError(SRes::SVarInvalidOp);
    if (ca == Cls::Null || cb == Cls::Null) return Variant::Null();
    if (op == L'+' && (ca == Cls::Str || cb == Cls::Str) && (ca == Cls::Str || ca == Cls::Empty) &&
        (cb == Cls::Str || cb == Cls::Empty))
      return MakeStr(varUString, ToStr(a, varUString) + ToStr(b, varUString));
    // Strings take part as Doubles, Empty as Integer 0, huge UInt64s as Doubles.
    auto numeric = [](const Variant& v, Cls c) -> Variant {
      if (c == Cls::Str) return MakeDouble(varDouble, ToDouble(v, varDouble));
      if (c == Cls::Empty) return MakeInt(varInteger, 0);
      if (v.FVType == varUInt64 && v.FU.UInt > UInt64(kInt64Max)) return MakeDouble(varDouble, double(v.FU.UInt));
      return v;
    };
    Variant x = numeric(a, ca), y = numeric(b, cb);
    Cls cx = ClassOf(x), cy = ClassOf(y);
    if (op == L'/') {
      double d = ToDouble(y, varDouble);
      if (d == 0) throw EZeroDivide(SRes::SZeroDivide);
      return MakeDouble(varDouble, ToDouble(x, varDouble) / d);
    }
    if (cx == Cls::Float || cy == Cls::Float) {
      double p = ToDouble(x, varDouble), q = ToDouble(y, varDouble);
      bool dx = x.FVType == varDate, dy = y.FVType == varDate;
      double r = op == L'+' ? p + q : op == L'-' ? p - q : p * q;
      // A date moved by a number stays a date; the distance of two dates is a number.
      bool isDate = (op == L'+' && (dx || dy)) || (op == L'-' && dx && !dy);
      return MakeDouble(isDate ? varDate : varDouble, r);
    }
    if (cx == Cls::Curr || cy == Cls::Curr) {
      Int64 p = ToCurrRaw(x), q = ToCurrRaw(y), r;
      if (op == L'+') {
        if (!AddOv(p, q, r)) ArithOverflow();
      } else if (op == L'-') {
        if (!SubOv(p, q, r)) ArithOverflow();
      } else if (cx != Cls::Curr || cy != Cls::Curr) {
        Int64 n = ToInt(cx == Cls::Curr ? y : x, varInt64, kInt64Min, kInt64Max);
        if (!MulOv(cx == Cls::Curr ? p : q, n, r)) ArithOverflow();
      } else {
        long double prod = (long double)p * (long double)q / Currency::Scale;
        if (!(prod > -9223372036854775808.0L && prod < 9223372036854775807.0L)) ArithOverflow();
        r = Int64(std::nearbyintl(prod));
      }
      return MakeInt(varCurrency, r);
    }
    Int64 p = OrdOf(x).S, q = OrdOf(y).S, r;
    bool ok = op == L'+' ? AddOv(p, q, r) : op == L'-' ? SubOv(p, q, r) : MulOv(p, q, r);
    if (!ok) ArithOverflow();
    if (Narrow(x.FVType) && Narrow(y.FVType) && r >= -2147483648LL && r <= 2147483647LL)
      return MakeInt(varInteger, r);
    return MakeInt(varInt64, r);
  }

  static bool RefersTo(const Variant& v, const Variant* target) {
    const Variant* p = &v;
    while (p->FVType == varByRef) {
      p = p->FU.Ref;
      if (p == target) return true;
    }
    return false;
  }

  static Variant MakeRef(Variant& target) {
    Variant r;
    r.FVType = varByRef;
    r.FU.Ref = &target.Deref();
    return r;
  }
};

using VA = VariantAccess;

Variant::Variant(const TBytes& v) {
  if (v.size() > size_t(0x7FFFFFFF)) CreateError();
  auto* a = new TVarArrayData;
  a->ElemType = varByte;
  a->Bounds.push_back({0, int(v.size()) - 1});
  a->Bytes = v;
  FArray = a;
  FVType = varArray | varByte;
}

Variant::Variant(const Variant& o)
    : FVType(o.FVType), FU(o.FU), FStr(o.FStr), FArray(o.FArray ? new TVarArrayData(*o.FArray) : nullptr) {}

Variant::Variant(Variant&& o) noexcept : FVType(o.FVType), FU(o.FU), FStr(std::move(o.FStr)), FArray(o.FArray) {
  o.FArray = nullptr;
  o.FVType = varEmpty;
  o.FStr.clear();
}

Variant& Variant::operator=(const Variant& o) {
  // A reference that leads back here would make this variant refer to itself; its value is
  // already this variant's value.
  if (this == &o || VA::RefersTo(o, this)) return *this;
  Variant copy(o);
  return *this = std::move(copy);
}

Variant& Variant::operator=(Variant&& o) noexcept {
  if (this == &o || VA::RefersTo(o, this)) return *this;
  delete FArray;
  FVType = o.FVType;
  FU = o.FU;
  FStr = std::move(o.FStr);
  FArray = o.FArray;
  o.FArray = nullptr;
  o.FVType = varEmpty;
  o.FStr.clear();
  return *this;
}

Variant::~Variant() { delete FArray; }

Variant Variant::Null() {
  Variant r;
  r.FVType = varNull;
  return r;
}

Variant Variant::OleStr(String s) { return VA::MakeStr(varOleStr, std::move(s)); }

TVarType Variant::VarType() const {
  if (FVType == varByRef) return TVarType(varByRef | Deref().FVType);
  return FVType;
}

bool Variant::IsEmpty() const { return Deref().FVType == varEmpty; }
bool Variant::IsNull() const { return Deref().FVType == varNull; }
bool Variant::IsArray() const { return Deref().FArray != nullptr; }

const Variant& Variant::Deref() const {
  const Variant* p = this;
  while (p->FVType == varByRef) p = p->FU.Ref;
  return *p;
}

Variant& Variant::Deref() {
  Variant* p = this;
  while (p->FVType == varByRef) p = p->FU.Ref;
  return *p;
}

void Variant::SetValue(const Variant& v) {
  if (FVType != varByRef) {
    *this = v;
    return;
  }
  Variant& target = Deref();
  const Variant& value = v.Deref();
  if (target.FVType == varEmpty || target.FVType == varNull || target.FArray)
    target = Variant(value);
  else
    target = VA::AsType(value, target.FVType);
}

Integer Variant::AsInteger() const { return Integer(VarAsType(*this, varInteger).FU.Int); }
Int64 Variant::AsInt64() const { return VarAsType(*this, varInt64).FU.Int; }
UInt64 Variant::AsUInt64() const { return VarAsType(*this, varUInt64).FU.UInt; }
double Variant::AsDouble() const { return VarAsType(*this, varDouble).FU.Double; }
Currency Variant::AsCurrency() const { return Currency::FromRaw(VarAsType(*this, varCurrency).FU.Int); }
TDateTime Variant::AsDateTime() const { return TDateTime(VarAsType(*this, varDate).FU.Double); }
bool Variant::AsBoolean() const { return VarAsType(*this, varBoolean).FU.Bool; }

String Variant::AsString() const {
  const Variant& s = Deref();
  if (IsStrType(s.FVType)) return s.FStr;
  return std::move(VarAsType(s, varUString).FStr);
}

TBytes Variant::AsBytes() const {
  const Variant& s = Deref();
  constexpr TVarType target = varArray | varByte;
  if (s.FVType == varEmpty) return {};
  if (!s.FArray || s.FArray->Bounds.size() != 1) CastError(s.VarType(), target);
  const TVarArrayData& a = *s.FArray;
  if (a.ElemType == varByte) return a.Bytes;
  TBytes out(a.Items.size());
  for (size_t i = 0; i < out.size(); ++i) out[i] = Byte(VA::ToIntOf(a.Items[i], varByte, 0, 255));
  return out;
}

Variant Variant::GetElement(std::initializer_list<int> indices) const {
  const TVarArrayData& a = VA::ArrayOf(*this);
  return VA::ItemAt(a, VA::FlatIndex(a, indices.begin(), indices.size()));
}

Variant Variant::GetElement(const std::vector<int>& indices) const {
  const TVarArrayData& a = VA::ArrayOf(*this);
  return VA::ItemAt(a, VA::FlatIndex(a, indices.data(), indices.size()));
}

void Variant::PutElement(std::initializer_list<int> indices, const Variant& value) {
  TVarArrayData& a = VA::ArrayOf(*this);
  VA::StoreAt(a, VA::FlatIndex(a, indices.begin(), indices.size()), value);
}

void Variant::PutElement(const std::vector<int>& indices, const Variant& value) {
  TVarArrayData& a = VA::ArrayOf(*this);
  VA::StoreAt(a, VA::FlatIndex(a, indices.data(), indices.size()), value);
}

bool operator==(const Variant& a, const Variant& b) { return VA::Compare(a, b) == vrEqual; }
bool operator<(const Variant& a, const Variant& b) { return VA::Compare(a, b) == vrLessThan; }
bool operator>(const Variant& a, const Variant& b) { return VA::Compare(a, b) == vrGreaterThan; }

bool operator<=(const Variant& a, const Variant& b) {
  TVariantRelationship r = VA::Compare(a, b);
  return r == vrLessThan || r == vrEqual;
}

bool operator>=(const Variant& a, const Variant& b) {
  TVariantRelationship r = VA::Compare(a, b);
  return r == vrGreaterThan || r == vrEqual;
}

Variant operator+(const Variant& a, const Variant& b) { return VA::Arith(a, b, L'+'); }
Variant operator-(const Variant& a, const Variant& b) { return VA::Arith(a, b, L'-'); }
Variant operator*(const Variant& a, const Variant& b) { return VA::Arith(a, b, L'*'); }
Variant operator/(const Variant& a, const Variant& b) { return VA::Arith(a, b, L'/'); }

Variant Null() { return Variant::Null(); }
Variant Unassigned() { return Variant(); }

TVarType VarType(const Variant& v) { return v.VarType(); }
bool VarIsNull(const Variant& v) { return v.IsNull(); }
bool VarIsEmpty(const Variant& v) { return v.IsEmpty(); }
bool VarIsClear(const Variant& v) { return v.IsEmpty(); }
bool VarIsNumeric(const Variant& v) { return VarIsOrdinal(v) || VarIsFloat(v); }

bool VarIsStr(const Variant& v) { return IsStrType(v.Deref().VarType()); }

bool VarIsOrdinal(const Variant& v) {
  TVarType t = v.Deref().VarType();
  return t == varBoolean || IsOrdType(t);
}

bool VarIsFloat(const Variant& v) {
  TVarType t = v.Deref().VarType();
  return t == varSingle || t == varDouble || t == varCurrency;
}

bool VarIsArray(const Variant& v) { return v.IsArray(); }
bool VarIsByRef(const Variant& v) { return v.IsByRef(); }

String VarToStr(const Variant& v) { return v.IsNull() ? String() : v.AsString(); }
String VarToStrDef(const Variant& v, const String& def) { return v.IsNull() ? def : v.AsString(); }

Variant VarAsType(const Variant& v, TVarType t) { return VA::AsType(v.Deref(), t); }

String VarTypeAsText(TVarType t) {
  static const wchar_t* const names[] = {
      L"Empty",   L"Null",    L"SmallInt", L"Integer",  L"Single",   L"Double",  L"Currency", L"Date",
      L"OleStr",  L"Dispatch", L"Error",   L"Boolean",  L"Variant",  L"Unknown", L"Decimal",  nullptr,
      L"ShortInt", L"Byte",   L"Word",     L"LongWord", L"Int64",    L"UInt64"};
  TVarType base = t & varTypeMask;
  String r;
  if (base < sizeof(names) / sizeof(names[0]) && names[base])
    r = names[base];
  else if (base == varString)
    r = L"String";
  else if (base == varAny)
    r = L"Any";
  else if (base == varUString)
    r = L"UnicodeString";
  else
    r = L"$" + IntToHex(unsigned(base), 4);
  if (t & varArray) r = L"Array " + r;
  if (t & varByRef) r = L"ByRef " + r;
  return r;
}

TVariantRelationship VarCompareValue(const Variant& a, const Variant& b) { return VA::Compare(a, b); }

bool VarSameValue(const Variant& a, const Variant& b) {
  bool ea = a.IsEmpty(), eb = b.IsEmpty(), na = a.IsNull(), nb = b.IsNull();
  if (ea || eb) return ea && eb;
  if (na || nb) return na && nb;
  return a == b;
}

Variant VarArrayOf(std::initializer_list<Variant> items) {
  return VarArrayOf(std::vector<Variant>(items));
}

Variant VarArrayOf(const std::vector<Variant>& items) {
  if (items.size() > size_t(0x7FFFFFFF)) CreateError();
  Variant r = VA::NewArray({{0, int(items.size()) - 1}}, varVariant);
  TVarArrayData& a = VA::ArrayOf(r);
  for (size_t i = 0; i < items.size(); ++i) a.Items[i] = items[i].Deref();
  return r;
}

Variant VarArrayCreate(const std::vector<int>& bounds, TVarType elementType) {
  if (bounds.empty() || bounds.size() % 2 != 0 || !IsArrayElemType(elementType)) CreateError();
  std::vector<std::pair<int, int>> pairs;
  for (size_t i = 0; i < bounds.size(); i += 2) pairs.push_back({bounds[i], bounds[i + 1]});
  return VA::NewArray(std::move(pairs), elementType);
}

int VarArrayDimCount(const Variant& v) {
  const Variant& s = v.Deref();
  return s.IsArray() ? int(VA::ArrayOf(s).Bounds.size()) : 0;
}

int VarArrayLowBound(const Variant& v, int dim) {
  const TVarArrayData& a = VA::ArrayOf(v);
  if (dim < 1 || size_t(dim) > a.Bounds.size()) BadIndex();
  return a.Bounds[size_t(dim - 1)].first;
}

int VarArrayHighBound(const Variant& v, int dim) {
  const TVarArrayData& a = VA::ArrayOf(v);
  if (dim < 1 || size_t(dim) > a.Bounds.size()) BadIndex();
  return a.Bounds[size_t(dim - 1)].second;
}

void VarArrayRedim(Variant& v, int newHigh) {
  TVarArrayData& a = VA::ArrayOf(v);
  auto& last = a.Bounds.back();
  Int64 len = Int64(newHigh) - last.first + 1;
  if (len < 0) CreateError();
  // The last dimension varies slowest, so its elements form whole blocks at the end.
  size_t block = 1;
  for (size_t k = 0; k + 1 < a.Bounds.size(); ++k) block *= size_t(Int64(a.Bounds[k].second) - a.Bounds[k].first + 1);
  if (len > 0 && block > 0 && size_t(len) > size_t(0x7FFFFFFF) / block) CreateError();
  size_t count = block * size_t(len);
  try {
    if (a.ElemType == varByte)
      a.Bytes.resize(count, 0);
    else
      a.Items.resize(count, VA::ZeroOf(a.ElemType));
  } catch (const std::bad_alloc&) {
    CreateError();
  }
  last.second = newHigh;
}

Variant VarByRef(Variant& target) { return VA::MakeRef(target); }

}  // namespace kw
