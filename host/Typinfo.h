// Published-property type information: type descriptors (ordinal, enumeration and set types
// with member names, floats, strings, classes, events, variants), property descriptors with
// type-erased accessors, and the by-name property routines. Registration helpers: Typreg.h.
#pragma once

#include <functional>
#include <memory>

#include "host/Objects.h"

namespace kw {

class Variant;
class TEventBase;

enum TTypeKind : Byte {
  tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod,
  tkWChar, tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64,
  tkDynArray, tkUString, tkClassRef, tkPointer, tkProcedure
};
enum TOrdType : Byte { otSByte, otUByte, otSWord, otUWord, otSLong, otULong };
enum TFloatType : Byte { ftSingle, ftDouble, ftExtended, ftComp, ftCurr };

struct TTypeInfo {
  TTypeKind Kind = tkUnknown;
  String Name;
  TOrdType OrdType = otSLong;
  TFloatType FloatType = ftDouble;
  bool IsDate = false;                 // TDateTime among the floats
  Int64 MinValue = 0, MaxValue = 0;    // ordinals and enumerations
  std::vector<String> EnumNames;       // enumerations, by value from 0
  const TTypeInfo* CompType = nullptr; // sets: the element enumeration
  TClass ClassType = nullptr;          // classes
  // Integer types with named values (colours, cursors) stream those values as identifiers.
  bool (*IntToIdent)(Int64 value, String& ident) = nullptr;
  bool (*IdentToInt)(const String& ident, Int64& value) = nullptr;
};

const TTypeInfo* MakeEnumTypeInfo(const wchar_t* name, std::initializer_list<const wchar_t*> names);
const TTypeInfo* MakeSetTypeInfo(const TTypeInfo* element);
const TTypeInfo* MakeClassTypeInfo(TClass cls);
// A 32-bit integer type of its own name, optionally with identifiers for some values.
const TTypeInfo* MakeIntegerTypeInfo(const wchar_t* name, Int64 minValue, Int64 maxValue,
                                     bool (*intToIdent)(Int64, String&) = nullptr,
                                     bool (*identToInt)(const String&, Int64&) = nullptr);

// The type descriptor of a C++ type. Enumerations declare theirs with KW_DECLARE_ENUM in the
// header and define it with KW_DEFINE_ENUM in one source file.
template <class T, class = void>
struct TTypeInfoOf;
template <class T>
const TTypeInfo* TypeInfoOf() { return TTypeInfoOf<T>::Get(); }

#define KW_BASIC_TYPEINFO(T) \
  template <> struct TTypeInfoOf<T> { static const TTypeInfo* Get(); };
KW_BASIC_TYPEINFO(bool)
KW_BASIC_TYPEINFO(signed char)
KW_BASIC_TYPEINFO(unsigned char)
KW_BASIC_TYPEINFO(short)
KW_BASIC_TYPEINFO(unsigned short)
KW_BASIC_TYPEINFO(int)
KW_BASIC_TYPEINFO(unsigned int)
KW_BASIC_TYPEINFO(long)
KW_BASIC_TYPEINFO(long long)
KW_BASIC_TYPEINFO(unsigned long long)
KW_BASIC_TYPEINFO(wchar_t)
KW_BASIC_TYPEINFO(float)
KW_BASIC_TYPEINFO(double)
KW_BASIC_TYPEINFO(Currency)
KW_BASIC_TYPEINFO(TDateTime)
KW_BASIC_TYPEINFO(String)
KW_BASIC_TYPEINFO(Variant)
#undef KW_BASIC_TYPEINFO

template <class E>
struct TTypeInfoOf<TSet<E>> {
  static const TTypeInfo* Get() {
    static const TTypeInfo* info = MakeSetTypeInfo(TypeInfoOf<E>());
    return info;
  }
};

template <class C>
struct TTypeInfoOf<C*, std::enable_if_t<std::is_base_of_v<TObject, C>>> {
  static const TTypeInfo* Get() {
    static const TTypeInfo* info = MakeClassTypeInfo(C::StaticClass());
    return info;
  }
};

#define KW_DECLARE_ENUM(E) \
  template <> struct TTypeInfoOf<E> { static const TTypeInfo* Get(); };
#define KW_DEFINE_ENUM(E, ...)                                              \
  const ::kw::TTypeInfo* TTypeInfoOf<E>::Get() {                           \
    static const ::kw::TTypeInfo* info = ::kw::MakeEnumTypeInfo(L## #E, {__VA_ARGS__}); \
    return info;                                                            \
  }

// A published property. Only the accessors of its kind are set; a missing setter makes it
// read-only (streamed into, for objects, but never assigned).
struct TPropInfo {
  String Name;
  const TTypeInfo* PropType = nullptr;
  TClass Owner = nullptr;  // the declaring class
  int Index = 0;           // position among all properties of the declaring class

  bool HasDefault = false;  // ordinals, sets, Int64: the declared default
  Int64 Default = 0;
  double DefaultFloat = 0;  // floats are stored unless equal to this
  String DefaultStr;        // strings are stored unless equal to this
  bool StoredConst = true;                      // 'stored false'
  std::function<bool(const TObject*)> Stored;   // 'stored IsFooStored'

  std::function<Int64(const TObject*)> GetOrd;  // integers, chars, enumerations, sets (bits), Int64
  std::function<void(TObject*, Int64)> SetOrd;
  std::function<double(const TObject*)> GetFloat;
  std::function<void(TObject*, double)> SetFloat;
  std::function<Currency(const TObject*)> GetCurr;  // currency, exact
  std::function<void(TObject*, Currency)> SetCurr;
  std::function<String(const TObject*)> GetStr;
  std::function<void(TObject*, const String&)> SetStr;
  std::function<TObject*(const TObject*)> GetObj;
  std::function<void(TObject*, TObject*)> SetObj;
  std::function<Variant(const TObject*)> GetVar;
  std::function<void(TObject*, const Variant&)> SetVar;
  std::function<TEventBase*(TObject*)> GetEvent;  // events are fields

  bool IsReadOnly() const;
  bool IsStored(const TObject* instance) const;
};

// By-name routines of the host's type-information unit; unknown names raise EPropertyError.
String GetEnumName(const TTypeInfo* type, int value);  // empty when out of range
int GetEnumValue(const TTypeInfo* type, const String& name);  // -1 when unknown
String SetToString(const TTypeInfo* setType, UInt64 bits, bool brackets = false);
UInt64 StringToSet(const TTypeInfo* setType, const String& value);  // raises on unknown names

const TPropInfo* GetPropInfo(const TObject* instance, const String& name);  // nullptr when none
bool IsPublishedProp(const TObject* instance, const String& name);
Int64 GetOrdProp(const TObject* instance, const String& name);
void SetOrdProp(TObject* instance, const String& name, Int64 value);
String GetEnumProp(const TObject* instance, const String& name);
void SetEnumProp(TObject* instance, const String& name, const String& value);
String GetSetProp(const TObject* instance, const String& name, bool brackets = false);
void SetSetProp(TObject* instance, const String& name, const String& value);
double GetFloatProp(const TObject* instance, const String& name);
void SetFloatProp(TObject* instance, const String& name, double value);
String GetStrProp(const TObject* instance, const String& name);
void SetStrProp(TObject* instance, const String& name, const String& value);
TObject* GetObjectProp(const TObject* instance, const String& name);
void SetObjectProp(TObject* instance, const String& name, TObject* value);
Variant GetPropValue(const TObject* instance, const String& name);
void SetPropValue(TObject* instance, const String& name, const Variant& value);

}  // namespace kw
