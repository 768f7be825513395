// Registration of classes and their published members, for source files only:
//   KW_REGISTER_CLASS(TFoo, TBase)            a class without published members of its own;
//   KW_BEGIN_CLASS(TFoo, TBase) { b.Prop(L"Width", &TFoo::Width, &TFoo::SetWidth).Default(0); }
// Properties are declared in the order they are written; accessors are member functions.
#pragma once

#include <type_traits>

#include "host/Collection.h"
#include "host/Typinfo.h"
#include "host/Variants.h"

namespace kw {

template <class T>
TMetaClass::TFactory KwFactory() {
  if constexpr (std::is_abstract_v<T>) {
    return nullptr;
  } else if constexpr (std::is_constructible_v<T, TComponent*>) {
    return [](TObject* arg) -> TObject* { return KwCreate<T>(dynamic_cast<TComponent*>(arg)); };
  } else if constexpr (std::is_constructible_v<T, TCollection*>) {
    return [](TObject* arg) -> TObject* { return KwCreate<T>(dynamic_cast<TCollection*>(arg)); };
  } else if constexpr (std::is_default_constructible_v<T>) {
    return [](TObject*) -> TObject* { return KwCreate<T>(); };
  } else {
    return nullptr;
  }
}

template <class T> struct TIsSet : std::false_type {};
template <class E> struct TIsSet<TSet<E>> : std::true_type {};

template <class G> struct TGetterTraits;
template <class R, class B> struct TGetterTraits<R (B::*)() const> {
  using Value = std::remove_cvref_t<R>;
  using Base = B;
};
template <class S> struct TSetterTraits;
template <class B, class V> struct TSetterTraits<void (B::*)(V)> {
  using Value = std::remove_cvref_t<V>;
  using Base = B;
};

// Value kinds as the stream sees them.
template <class V>
constexpr bool KwIsOrdinal = std::is_integral_v<V> || std::is_enum_v<V> || TIsSet<V>::value;

template <class V>
Int64 KwToOrd(const V& v) {
  if constexpr (TIsSet<V>::value) return Int64(v.Bits());
  else return Int64(v);
}
template <class V>
V KwFromOrd(Int64 v) {
  if constexpr (TIsSet<V>::value) return V::FromBits(UInt64(v));
  else if constexpr (std::is_same_v<V, bool>) return v != 0;
  else return static_cast<V>(v);
}

template <class C>
class TPropBuilder {
public:
  explicit TPropBuilder(TPropInfo* info) : FInfo(info) {}
  template <class T>
  TPropBuilder& Default(const T& value) {
    if constexpr (std::is_convertible_v<T, String> && !std::is_arithmetic_v<T>) {
      FInfo->DefaultStr = String(value);
    } else if constexpr (std::is_floating_point_v<T> || std::is_same_v<T, TDateTime>) {
      FInfo->DefaultFloat = double(value);
    } else if constexpr (std::is_same_v<T, Currency>) {
      FInfo->DefaultFloat = value.ToDouble();
    } else {
      FInfo->HasDefault = true;
      FInfo->Default = KwToOrd(value);
    }
    return *this;
  }
  TPropBuilder& Stored(bool stored) {
    FInfo->StoredConst = stored;
    return *this;
  }
  template <class B>
  TPropBuilder& Stored(bool (B::*pred)() const) {
    FInfo->Stored = [pred](const TObject* o) { return (static_cast<const C*>(o)->*pred)(); };
    return *this;
  }

private:
  TPropInfo* FInfo;
};

template <class C>
class TClassBuilder {
public:
  explicit TClassBuilder(TMetaClass& meta) : FMeta(meta) {}

  template <class G, class S>
  TPropBuilder<C> Prop(const wchar_t* name, G getter, S setter) {
    using V = typename TGetterTraits<G>::Value;
    auto info = NewProp(name, TypeInfoOf<V>());
    SetGetter<V>(*info, getter);
    if constexpr (!std::is_same_v<S, std::nullptr_t>) SetSetter<V>(*info, setter);
    return Add(std::move(info));
  }
  template <class G>
  TPropBuilder<C> Prop(const wchar_t* name, G getter) {
    return Prop(name, getter, nullptr);
  }
  template <class E, class B>
  TPropBuilder<C> Event(const wchar_t* name, E B::*field) {
    static const TTypeInfo* methodType = [] {
      auto* t = new TTypeInfo;
      t->Kind = tkMethod;
      t->Name = L"TMethod";
      return t;
    }();
    auto info = NewProp(name, methodType);
    info->GetEvent = [field](TObject* o) -> TEventBase* { return &(static_cast<C*>(o)->*field); };
    return Add(std::move(info));
  }
  // A published method that form streams can bind events to by name.
  template <class R, class B, class... A>
  void Method(const wchar_t* name, R (B::*method)(A...)) {
    auto info = std::make_unique<TMethodInfo>();
    info->Name = name;
    info->Signature = &typeid(R(A...));
    info->Make = [method](TObject* instance) -> std::shared_ptr<void> {
      C* obj = static_cast<C*>(instance);
      return std::make_shared<std::function<R(A...)>>(
          [obj, method](A... a) -> R { return (obj->*method)(std::forward<A>(a)...); });
    };
    FMeta.AddMethod(std::move(info));
  }

private:
  std::unique_ptr<TPropInfo> NewProp(const wchar_t* name, const TTypeInfo* type) {
    auto info = std::make_unique<TPropInfo>();
    info->Name = name;
    info->PropType = type;
    info->Owner = &FMeta;
    return info;
  }
  TPropBuilder<C> Add(std::unique_ptr<TPropInfo> info) {
    TPropInfo* raw = info.get();
    FMeta.AddProp(std::move(info));
    return TPropBuilder<C>(raw);
  }
  template <class V, class G>
  static void SetGetter(TPropInfo& info, G g) {
    auto self = [g](const TObject* o) -> decltype(auto) { return (static_cast<const C*>(o)->*g)(); };
    if constexpr (KwIsOrdinal<V>) info.GetOrd = [self](const TObject* o) { return KwToOrd<V>(self(o)); };
    else if constexpr (std::is_same_v<V, Currency>) info.GetCurr = [self](const TObject* o) { return self(o); };
    else if constexpr (std::is_floating_point_v<V> || std::is_same_v<V, TDateTime>)
      info.GetFloat = [self](const TObject* o) { return double(self(o)); };
    else if constexpr (std::is_same_v<V, String>) info.GetStr = [self](const TObject* o) { return String(self(o)); };
    else if constexpr (std::is_same_v<V, Variant>) info.GetVar = [self](const TObject* o) { return Variant(self(o)); };
    else if constexpr (std::is_pointer_v<V>)
      info.GetObj = [self](const TObject* o) -> TObject* { return const_cast<std::remove_const_t<std::remove_pointer_t<V>>*>(self(o)); };
    else static_assert(sizeof(V) == 0, "unsupported published property type");
  }
  template <class V, class S>
  static void SetSetter(TPropInfo& info, S s) {
    using P = typename TSetterTraits<S>::Value;
    auto self = [s](TObject* o, P v) { (static_cast<C*>(o)->*s)(std::move(v)); };
    if constexpr (KwIsOrdinal<V>) info.SetOrd = [self](TObject* o, Int64 v) { self(o, P(KwFromOrd<V>(v))); };
    else if constexpr (std::is_same_v<V, Currency>) info.SetCurr = [self](TObject* o, Currency v) { self(o, v); };
    else if constexpr (std::is_floating_point_v<V> || std::is_same_v<V, TDateTime>)
      info.SetFloat = [self](TObject* o, double v) { self(o, P(V(v))); };
    else if constexpr (std::is_same_v<V, String>) info.SetStr = [self](TObject* o, const String& v) { self(o, v); };
    else if constexpr (std::is_same_v<V, Variant>) info.SetVar = [self](TObject* o, const Variant& v) { self(o, v); };
    else if constexpr (std::is_pointer_v<V>)
      info.SetObj = [self](TObject* o, TObject* v) {
        using T = std::remove_const_t<std::remove_pointer_t<P>>;
        T* typed = v ? dynamic_cast<T*>(v) : nullptr;
        if (v && !typed) throw EPropertyError(L"Invalid property value");
        self(o, typed);
      };
  }
  TMetaClass& FMeta;
};

}  // namespace kw

#define KW_REGISTER_CLASS(Name, Parent)                                                   \
  ::kw::TClass Name::StaticClass() {                                                      \
    static ::kw::TMetaClass meta(L## #Name, Parent::StaticClass(), ::kw::KwFactory<Name>(), nullptr); \
    return &meta;                                                                         \
  }                                                                                       \
  static ::kw::TClassRegistrar kw_registrar_##Name(&Name::StaticClass);

#define KW_BEGIN_CLASS(Name, Parent)                                                      \
  static void kw_init_##Name(::kw::TClassBuilder<Name>& b);                               \
  ::kw::TClass Name::StaticClass() {                                                      \
    static ::kw::TMetaClass meta(L## #Name, Parent::StaticClass(), ::kw::KwFactory<Name>(), \
                                 [](::kw::TMetaClass& m) {                                \
                                   ::kw::TClassBuilder<Name> b(m);                        \
                                   kw_init_##Name(b);                                     \
                                 });                                                      \
    return &meta;                                                                         \
  }                                                                                       \
  static ::kw::TClassRegistrar kw_registrar_##Name(&Name::StaticClass);                   \
  static void kw_init_##Name(::kw::TClassBuilder<Name>& b)
