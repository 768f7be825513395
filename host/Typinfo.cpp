// Type descriptors of the basic types, enumeration and set names, and the by-name property
// routines.
#include "host/Typinfo.h"

#include <climits>
#include <deque>

#include "host/Events.h"
#include "host/Exceptions.h"
#include "host/Sysutils.h"
#include "host/Variants.h"

namespace kw {

namespace {

// Descriptors live for the whole process; a deque keeps their addresses stable.
std::deque<TTypeInfo>& Store() {
  static auto* store = new std::deque<TTypeInfo>;
  return *store;
}
std::mutex& StoreLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

const TTypeInfo* Keep(TTypeInfo info) {
  std::lock_guard<std::mutex> guard(StoreLock());
  Store().push_back(std::move(info));
  return &Store().back();
}

const TTypeInfo* Ordinal(const wchar_t* name, TTypeKind kind, TOrdType ord, Int64 lo, Int64 hi) {
  TTypeInfo t;
  t.Kind = kind;
  t.Name = name;
  t.OrdType = ord;
  t.MinValue = lo;
  t.MaxValue = hi;
  return Keep(std::move(t));
}

const TTypeInfo* Float(const wchar_t* name, TFloatType ft, bool isDate = false) {
  TTypeInfo t;
  t.Kind = tkFloat;
  t.Name = name;
  t.FloatType = ft;
  t.IsDate = isDate;
  return Keep(std::move(t));
}

const TPropInfo& NeedProp(const TObject* instance, const String& name) {
  const TPropInfo* p = GetPropInfo(instance, name);
  if (!p) throw EPropertyError(Format(SRes::SUnknownProperty, {name}));
  return *p;
}

[[noreturn]] void ReadOnly() { throw EPropertyError(SRes::SReadOnlyProperty); }

}  // namespace

#define KW_BASIC(T, expr) \
  const TTypeInfo* TTypeInfoOf<T>::Get() { static const TTypeInfo* info = expr; return info; }
KW_BASIC(bool, MakeEnumTypeInfo(L"Boolean", {L"False", L"True"}))
KW_BASIC(signed char, Ordinal(L"ShortInt", tkInteger, otSByte, -128, 127))
KW_BASIC(unsigned char, Ordinal(L"Byte", tkInteger, otUByte, 0, 255))
KW_BASIC(short, Ordinal(L"SmallInt", tkInteger, otSWord, -32768, 32767))
KW_BASIC(unsigned short, Ordinal(L"Word", tkInteger, otUWord, 0, 65535))
KW_BASIC(int, Ordinal(L"Integer", tkInteger, otSLong, INT_MIN, INT_MAX))
KW_BASIC(unsigned int, Ordinal(L"Cardinal", tkInteger, otULong, 0, UINT_MAX))
KW_BASIC(long, Ordinal(L"Integer", tkInteger, otSLong, INT_MIN, INT_MAX))
KW_BASIC(long long, Ordinal(L"Int64", tkInt64, otSLong, LLONG_MIN, LLONG_MAX))
KW_BASIC(unsigned long long, Ordinal(L"UInt64", tkInt64, otULong, 0, LLONG_MAX))
KW_BASIC(wchar_t, Ordinal(L"WideChar", tkWChar, otUWord, 0, 65535))
KW_BASIC(float, Float(L"Single", ftSingle))
KW_BASIC(double, Float(L"Double", ftDouble))
KW_BASIC(Currency, Float(L"Currency", ftCurr))
KW_BASIC(TDateTime, Float(L"TDateTime", ftDouble, true))
KW_BASIC(String, ([] { TTypeInfo t; t.Kind = tkUString; t.Name = L"string"; return Keep(std::move(t)); }()))
KW_BASIC(Variant, ([] { TTypeInfo t; t.Kind = tkVariant; t.Name = L"Variant"; return Keep(std::move(t)); }()))
#undef KW_BASIC

const TTypeInfo* MakeEnumTypeInfo(const wchar_t* name, std::initializer_list<const wchar_t*> names) {
  TTypeInfo t;
  t.Kind = tkEnumeration;
  t.Name = name;
  t.OrdType = otUByte;
  for (const wchar_t* n : names) t.EnumNames.push_back(n);
  t.MinValue = 0;
  t.MaxValue = Int64(t.EnumNames.size()) - 1;
  return Keep(std::move(t));
}

const TTypeInfo* MakeSetTypeInfo(const TTypeInfo* element) {
  TTypeInfo t;
  t.Kind = tkSet;
  t.Name = L"set of " + element->Name;
  t.CompType = element;
  return Keep(std::move(t));
}

const TTypeInfo* MakeIntegerTypeInfo(const wchar_t* name, Int64 minValue, Int64 maxValue,
                                     bool (*intToIdent)(Int64, String&), bool (*identToInt)(const String&, Int64&)) {
  TTypeInfo t;
  t.Kind = tkInteger;
  t.Name = name;
  t.OrdType = otSLong;
  t.MinValue = minValue;
  t.MaxValue = maxValue;
  t.IntToIdent = intToIdent;
  t.IdentToInt = identToInt;
  return Keep(std::move(t));
}

const TTypeInfo* MakeClassTypeInfo(TClass cls) {
  TTypeInfo t;
  t.Kind = tkClass;
  t.Name = cls->ClassName();
  t.ClassType = cls;
  return Keep(std::move(t));
}

bool TPropInfo::IsReadOnly() const {
  return !SetOrd && !SetFloat && !SetCurr && !SetStr && !SetObj && !SetVar && !GetEvent;
}

bool TPropInfo::IsStored(const TObject* instance) const {
  if (!StoredConst) return false;
  return Stored ? Stored(instance) : true;
}

String GetEnumName(const TTypeInfo* type, int value) {
  if (!type || value < 0 || size_t(value) >= type->EnumNames.size()) return {};
  return type->EnumNames[size_t(value)];
}

int GetEnumValue(const TTypeInfo* type, const String& name) {
  if (!type) return -1;
  for (size_t i = 0; i < type->EnumNames.size(); ++i)
    if (SameText(type->EnumNames[i], name)) return int(i);
  return -1;
}

String SetToString(const TTypeInfo* setType, UInt64 bits, bool brackets) {
  String out;
  const TTypeInfo* e = setType->CompType;
  for (size_t i = 0; e && i < e->EnumNames.size() && i < 64; ++i)
    if (bits & (UInt64(1) << i)) {
      if (!out.empty()) out += L',';
      out += e->EnumNames[i];
    }
  return brackets ? L"[" + out + L"]" : out;
}

UInt64 StringToSet(const TTypeInfo* setType, const String& value) {
  String s = Trim(value);
  if (!s.empty() && s.front() == L'[') s.erase(0, 1);
  if (!s.empty() && s.back() == L']') s.pop_back();
  UInt64 bits = 0;
  for (const String& part : SplitString(s, L",")) {
    String name = Trim(part);
    if (name.empty()) continue;
    int v = GetEnumValue(setType->CompType, name);
    if (v < 0 || v >= 64) throw EPropertyConvertError(Format(SRes::SInvalidPropertyElement, {name}));
    bits |= UInt64(1) << v;
  }
  return bits;
}

const TPropInfo* GetPropInfo(const TObject* instance, const String& name) {
  return instance ? instance->ClassType()->FindProp(name) : nullptr;
}

bool IsPublishedProp(const TObject* instance, const String& name) { return GetPropInfo(instance, name) != nullptr; }

Int64 GetOrdProp(const TObject* instance, const String& name) {
  const TPropInfo& p = NeedProp(instance, name);
  if (!p.GetOrd) throw EPropertyError(Format(SRes::SInvalidPropertyType, {p.PropType->Name}));
  return p.GetOrd(instance);
}

void SetOrdProp(TObject* instance, const String& name, Int64 value) {
  const TPropInfo& p = NeedProp(instance, name);
  if (!p.SetOrd) ReadOnly();
  p.SetOrd(instance, value);
}

String GetEnumProp(const TObject* instance, const String& name) {
  const TPropInfo& p = NeedProp(instance, name);
  return GetEnumName(p.PropType, int(GetOrdProp(instance, name)));
}

void SetEnumProp(TObject* instance, const String& name, const String& value) {
  const TPropInfo& p = NeedProp(instance, name);
  int v = GetEnumValue(p.PropType, value);
  if (v < 0) throw EPropertyConvertError(Format(SRes::SInvalidPropertyElement, {value}));
  SetOrdProp(instance, name, v);
}

String GetSetProp(const TObject* instance, const String& name, bool brackets) {
  const TPropInfo& p = NeedProp(instance, name);
  if (p.PropType->Kind != tkSet) throw EPropertyError(Format(SRes::SInvalidPropertyType, {p.PropType->Name}));
  return SetToString(p.PropType, UInt64(p.GetOrd(instance)), brackets);
}

void SetSetProp(TObject* instance, const String& name, const String& value) {
  const TPropInfo& p = NeedProp(instance, name);
  if (p.PropType->Kind != tkSet) throw EPropertyError(Format(SRes::SInvalidPropertyType, {p.PropType->Name}));
  SetOrdProp(instance, name, Int64(StringToSet(p.PropType, value)));
}

double GetFloatProp(const TObject* instance, const String& name) {
  const TPropInfo& p = NeedProp(instance, name);
  if (p.GetFloat) return p.GetFloat(instance);
  if (p.GetCurr) return p.GetCurr(instance).ToDouble();
  throw EPropertyError(Format(SRes::SInvalidPropertyType, {p.PropType->Name}));
}

void SetFloatProp(TObject* instance, const String& name, double value) {
  const TPropInfo& p = NeedProp(instance, name);
  if (p.SetFloat) return p.SetFloat(instance, value);
  if (p.SetCurr) return p.SetCurr(instance, Currency(value));
  ReadOnly();
}

String GetStrProp(const TObject* instance, const String& name) {
  const TPropInfo& p = NeedProp(instance, name);
  if (!p.GetStr) throw EPropertyError(Format(SRes::SInvalidPropertyType, {p.PropType->Name}));
  return p.GetStr(instance);
}

void SetStrProp(TObject* instance, const String& name, const String& value) {
  const TPropInfo& p = NeedProp(instance, name);
  if (!p.SetStr) ReadOnly();
  p.SetStr(instance, value);
}

TObject* GetObjectProp(const TObject* instance, const String& name) {
  const TPropInfo& p = NeedProp(instance, name);
  if (!p.GetObj) throw EPropertyError(Format(SRes::SInvalidPropertyType, {p.PropType->Name}));
  return p.GetObj(instance);
}

void SetObjectProp(TObject* instance, const String& name, TObject* value) {
  const TPropInfo& p = NeedProp(instance, name);
  if (!p.SetObj) ReadOnly();
  p.SetObj(instance, value);
}

Variant GetPropValue(const TObject* instance, const String& name) {
  const TPropInfo& p = NeedProp(instance, name);
  switch (p.PropType->Kind) {
    case tkEnumeration:
      if (p.PropType->EnumNames.size() == 2 && p.PropType->Name == L"Boolean") return Variant(p.GetOrd(instance) != 0);
      return Variant(GetEnumName(p.PropType, int(p.GetOrd(instance))));
    case tkSet: return Variant(SetToString(p.PropType, UInt64(p.GetOrd(instance))));
    case tkInteger: case tkChar: case tkWChar: return Variant(int(p.GetOrd(instance)));
    case tkInt64: return Variant(p.GetOrd(instance));
    case tkFloat:
      if (p.GetCurr) return Variant(p.GetCurr(instance));
      if (p.PropType->IsDate) return Variant(TDateTime(p.GetFloat(instance)));
      return Variant(p.GetFloat(instance));
    case tkUString: case tkString: case tkLString: case tkWString: return Variant(p.GetStr(instance));
    case tkVariant: return p.GetVar(instance);
    default: throw EPropertyError(Format(SRes::SInvalidPropertyType, {p.PropType->Name}));
  }
}

void SetPropValue(TObject* instance, const String& name, const Variant& value) {
  const TPropInfo& p = NeedProp(instance, name);
  switch (p.PropType->Kind) {
    case tkEnumeration:
      if (VarIsStr(value)) return SetEnumProp(instance, name, value.AsString());
      return SetOrdProp(instance, name, value.AsInt64());
    case tkSet: return SetSetProp(instance, name, value.AsString());
    case tkInteger: case tkChar: case tkWChar: case tkInt64: return SetOrdProp(instance, name, value.AsInt64());
    case tkFloat:
      if (p.SetCurr) return p.SetCurr(instance, value.AsCurrency());
      return SetFloatProp(instance, name, value.AsDouble());
    case tkUString: case tkString: case tkLString: case tkWString: return SetStrProp(instance, name, value.AsString());
    case tkVariant:
      if (!p.SetVar) ReadOnly();
      return p.SetVar(instance, value);
    default: throw EPropertyError(Format(SRes::SInvalidPropertyType, {p.PropType->Name}));
  }
}

}  // namespace kw
