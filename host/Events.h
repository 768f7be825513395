// Events: a small holder around std::function that also remembers the published method it was
// bound to by name, so a form stream can bind it on reading and write it back.
#pragma once

#include <functional>
#include <memory>
#include <typeinfo>
#include <utility>

#include "host/System.h"

namespace kw {

class TObject;

// A published method of a class: a name, its signature, and a maker that binds it to an
// instance as a std::function of that signature (held type-erased).
struct TMethodInfo {
  String Name;
  const std::type_info* Signature = nullptr;
  std::function<std::shared_ptr<void>(TObject* instance)> Make;
};

class TEventBase {
public:
  virtual ~TEventBase() = default;
  virtual bool Assigned() const = 0;
  virtual void Clear() = 0;
  // Binds to a published method; false when the signatures differ.
  virtual bool BindMethod(const TMethodInfo& method, TObject* instance) = 0;
  // The published method's name and instance when bound by name, else empty and null.
  const String& MethodName() const { return FMethodName; }
  TObject* MethodData() const { return FData; }

protected:
  String FMethodName;
  TObject* FData = nullptr;
};

template <class Sig>
class TEvent;

template <class R, class... A>
class TEvent<R(A...)> : public TEventBase {
public:
  using Function = std::function<R(A...)>;
  TEvent() = default;
  TEvent(const TEvent& o) : FFunc(o.FFunc) { FMethodName = o.FMethodName; FData = o.FData; }
  TEvent& operator=(const TEvent& o) {
    FFunc = o.FFunc;
    FMethodName = o.FMethodName;
    FData = o.FData;
    return *this;
  }
  template <class F, class = std::enable_if_t<std::is_constructible_v<Function, F>>>
  TEvent& operator=(F&& f) {
    FFunc = Function(std::forward<F>(f));
    FMethodName.clear();
    FData = nullptr;
    return *this;
  }
  TEvent& operator=(std::nullptr_t) {
    Clear();
    return *this;
  }
  // Binds a member function; with a name, the binding can be written back to a stream.
  template <class C>
  void Bind(C* obj, R (C::*method)(A...), String name = {}) {
    FFunc = [obj, method](A... a) -> R { return (obj->*method)(std::forward<A>(a)...); };
    FMethodName = std::move(name);
    FData = obj;
  }

  R operator()(A... a) const {
    if (FFunc) return FFunc(std::forward<A>(a)...);
    if constexpr (!std::is_void_v<R>) return R{};
  }
  explicit operator bool() const { return bool(FFunc); }
  bool Assigned() const override { return bool(FFunc); }
  void Clear() override {
    FFunc = nullptr;
    FMethodName.clear();
    FData = nullptr;
  }
  bool BindMethod(const TMethodInfo& method, TObject* instance) override {
    if (!method.Signature || *method.Signature != typeid(R(A...))) return false;
    auto made = method.Make(instance);
    FFunc = *static_cast<Function*>(made.get());
    FMethodName = method.Name;
    FData = instance;
    return true;
  }
  const Function& Func() const { return FFunc; }

private:
  Function FFunc;
};

using TNotifyEvent = TEvent<void(TObject* Sender)>;

}  // namespace kw
