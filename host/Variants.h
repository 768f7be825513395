// The host's Variant: a tagged value with the host's type codes, conversions, comparison,
// variant arrays of any rank and by-reference variants. COM interfaces (varDispatch,
// varUnknown) and custom variant types are not supported: they exist here only as type codes.
#pragma once

#include <initializer_list>
#include <vector>

#include "host/System.h"

namespace kw {

using TVarType = Word;

inline constexpr TVarType varEmpty = 0x0000;
inline constexpr TVarType varNull = 0x0001;
inline constexpr TVarType varSmallint = 0x0002;
inline constexpr TVarType varInteger = 0x0003;
inline constexpr TVarType varSingle = 0x0004;
inline constexpr TVarType varDouble = 0x0005;
inline constexpr TVarType varCurrency = 0x0006;
inline constexpr TVarType varDate = 0x0007;
inline constexpr TVarType varOleStr = 0x0008;
inline constexpr TVarType varDispatch = 0x0009;
inline constexpr TVarType varError = 0x000A;
inline constexpr TVarType varBoolean = 0x000B;
inline constexpr TVarType varVariant = 0x000C;
inline constexpr TVarType varUnknown = 0x000D;
inline constexpr TVarType varShortInt = 0x0010;
inline constexpr TVarType varByte = 0x0011;
inline constexpr TVarType varWord = 0x0012;
inline constexpr TVarType varLongWord = 0x0013;
inline constexpr TVarType varInt64 = 0x0014;
inline constexpr TVarType varUInt64 = 0x0015;
inline constexpr TVarType varString = 0x0100;
inline constexpr TVarType varAny = 0x0101;
inline constexpr TVarType varUString = 0x0102;
inline constexpr TVarType varTypeMask = 0x0FFF;
inline constexpr TVarType varArray = 0x2000;
inline constexpr TVarType varByRef = 0x4000;

enum TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };

struct TVarArrayData;

// Value semantics: copies of arrays are deep, copies of a by-reference variant refer to the
// same target. Assigning to a by-reference variant replaces it (it stops being a reference),
// as in the host; SetValue writes through the reference instead.
class Variant {
public:
  Variant() noexcept {}
  Variant(bool v) : FVType(varBoolean) { FU.Bool = v; }
  Variant(signed char v) : FVType(varShortInt) { FU.Int = v; }
  Variant(short v) : FVType(varSmallint) { FU.Int = v; }
  Variant(int v) : FVType(varInteger) { FU.Int = v; }
  Variant(long v) : FVType(varInteger) { FU.Int = v; }
  Variant(long long v) : FVType(varInt64) { FU.Int = v; }
  Variant(unsigned char v) : FVType(varByte) { FU.Int = v; }
  Variant(unsigned short v) : FVType(varWord) { FU.Int = v; }
  Variant(unsigned v) : FVType(varLongWord) { FU.Int = v; }
  Variant(unsigned long v) : FVType(varLongWord) { FU.Int = Int64(v); }
  Variant(unsigned long long v) : FVType(varUInt64) { FU.UInt = v; }
  Variant(float v) : FVType(varSingle) { FU.Single = v; }
  Variant(double v) : FVType(varDouble) { FU.Double = v; }
  Variant(Currency v) : FVType(varCurrency) { FU.Int = v.Raw(); }
  Variant(TDateTime v) : FVType(varDate) { FU.Double = v.Val; }
  Variant(wchar_t v) : FVType(varUString), FStr(1, v) {}  // a character becomes a string
  Variant(const wchar_t* v) : FVType(varUString), FStr(v ? v : L"") {}
  Variant(const String& v) : FVType(varUString), FStr(v) {}
  Variant(String&& v) : FVType(varUString), FStr(std::move(v)) {}
  Variant(const TBytes& v);  // varArray | varByte, low bound 0
  // Narrow characters, narrow strings and raw pointers would otherwise silently become
  // numbers or booleans.
  Variant(const char*) = delete;
  Variant(char) = delete;
  Variant(const void*) = delete;

  Variant(const Variant& o);
  Variant(Variant&& o) noexcept;
  Variant& operator=(const Variant& o);
  Variant& operator=(Variant&& o) noexcept;
  ~Variant();

  static Variant Null();
  static Variant OleStr(String s);  // varOleStr: the COM string type

  // The type code; for a by-reference variant varByRef | the target's current type.
  TVarType VarType() const;
  bool IsEmpty() const;
  bool IsNull() const;
  bool IsArray() const;
  bool IsByRef() const { return FVType == varByRef; }
  // The variant a by-reference variant stands for (itself otherwise).
  const Variant& Deref() const;
  Variant& Deref();
  // Writes through a by-reference variant: a target holding a simple value keeps its type
  // and receives the value converted to it; an Empty, Null or array target takes the value
  // as it is. On a plain variant this is assignment.
  void SetValue(const Variant& v);

  // Conversions as the host's casts: Empty gives 0 / "" / false, Null raises
  // EVariantTypeCastError, values out of range raise EVariantOverflowError, floats round to
  // the nearest integer with ties to even, True is -1. Strings are read with FormatSettings
  // as integers, then floats, then "True"/"False".
  Integer AsInteger() const;
  Int64 AsInt64() const;
  UInt64 AsUInt64() const;
  double AsDouble() const;
  Currency AsCurrency() const;
  TDateTime AsDateTime() const;
  bool AsBoolean() const;
  String AsString() const;
  TBytes AsBytes() const;  // from a one-dimensional array; Empty gives no bytes

  // Array elements: one index per dimension, each within that dimension's bounds.
  Variant GetElement(std::initializer_list<int> indices) const;
  Variant GetElement(const std::vector<int>& indices) const;
  void PutElement(std::initializer_list<int> indices, const Variant& value);
  void PutElement(const std::vector<int>& indices, const Variant& value);

  // Equality after conversion (the host's "="): Null equals only Null, Empty equals the
  // zero value of any type, a string meets a number as a number (raising
  // EVariantTypeCastError when it is none) and a Boolean as a Boolean, True is -1 against
  // numbers; arrays compare element by element.
  friend bool operator==(const Variant& a, const Variant& b);
  // Ordering with the host's rules; false whenever VarCompareValue gives vrNotEqual.
  friend bool operator<(const Variant& a, const Variant& b);
  friend bool operator>(const Variant& a, const Variant& b);
  friend bool operator<=(const Variant& a, const Variant& b);
  friend bool operator>=(const Variant& a, const Variant& b);

  // Arithmetic on numbers (Null in gives Null out, Empty counts as 0), + also joins strings
  // when both sides are strings. A string with a number is added as a number, as the host does.
  friend Variant operator+(const Variant& a, const Variant& b);
  friend Variant operator-(const Variant& a, const Variant& b);
  friend Variant operator*(const Variant& a, const Variant& b);
  friend Variant operator/(const Variant& a, const Variant& b);  // always a Double
  Variant& operator+=(const Variant& b) { return *this = *this + b; }

private:
  friend struct VariantAccess;
  TVarType FVType = varEmpty;
  union {
    Int64 Int;
    UInt64 UInt;
    double Double;
    float Single;
    bool Bool;
    Variant* Ref;
  } FU{};
  String FStr;
  TVarArrayData* FArray = nullptr;  // owned; a raw pointer so inline constructors need no complete type
};

Variant Null();
Variant Unassigned();

TVarType VarType(const Variant& v);
bool VarIsNull(const Variant& v);
bool VarIsEmpty(const Variant& v);
bool VarIsClear(const Variant& v);
bool VarIsNumeric(const Variant& v);  // ordinal or float
bool VarIsStr(const Variant& v);      // varString, varUString, varOleStr
bool VarIsOrdinal(const Variant& v);  // integer types and Boolean
bool VarIsFloat(const Variant& v);    // Single, Double, Currency
bool VarIsArray(const Variant& v);
bool VarIsByRef(const Variant& v);

// The text of a value, Null giving "" (VarToStr) or the default (VarToStrDef).
String VarToStr(const Variant& v);
String VarToStrDef(const Variant& v, const String& def);
// The value converted to the simple type t (varEmpty, varNull, varVariant also allowed).
Variant VarAsType(const Variant& v, TVarType t);
// The host's names: "Integer", "UnicodeString", "Array Byte", "ByRef Double", ...
String VarTypeAsText(TVarType t);

TVariantRelationship VarCompareValue(const Variant& a, const Variant& b);
// Like "=" except that Empty and Null each equal only themselves.
bool VarSameValue(const Variant& a, const Variant& b);

// Arrays. Bounds are low/high pairs, one pair per dimension; dimensions count from 1.
Variant VarArrayOf(std::initializer_list<Variant> items);  // varArray | varVariant, from 0
Variant VarArrayOf(const std::vector<Variant>& items);
Variant VarArrayCreate(const std::vector<int>& bounds, TVarType elementType);
int VarArrayDimCount(const Variant& v);  // 0 for a non-array
int VarArrayLowBound(const Variant& v, int dim);
int VarArrayHighBound(const Variant& v, int dim);
// Moves the high bound of the last dimension, keeping the elements that stay in range.
void VarArrayRedim(Variant& v, int newHigh);

// A variant that refers to target: reads and writes reach it until the reference is
// replaced. The target must outlive the reference and every copy of it.
Variant VarByRef(Variant& target);

}  // namespace kw
