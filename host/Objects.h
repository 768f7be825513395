// The root of the object model: TObject, its metaclass TMetaClass (class name, parent, factory,
// published properties and methods) and the process-wide class registry used by streaming.
// Property descriptors live in Typinfo.h; the registration templates in Typreg.h.
#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "host/System.h"

namespace kw {

class TObject;
class TMetaClass;
struct TPropInfo;
struct TMethodInfo;
using TClass = const TMetaClass*;

// One per class. Built on first use of T::StaticClass(); its published members are
// filled in lazily by the class's registration block, the first time they are asked for.
class TMetaClass {
public:
  using TFactory = TObject* (*)(TObject* arg);
  using TInit = void (*)(TMetaClass& meta);

  TMetaClass(const wchar_t* name, TClass parent, TFactory factory, TInit init);
  TMetaClass(const TMetaClass&) = delete;
  ~TMetaClass();

  const String& ClassName() const { return FName; }
  TClass ClassParent() const { return FParent; }
  bool InheritsFrom(TClass other) const;
  // A class is abstract for streaming when it has no factory.
  bool CanCreate() const { return FFactory != nullptr; }
  // Creates an instance: arg is the owner for components, the collection for collection items.
  TObject* CreateInstance(TObject* arg) const;

  // Published properties declared by this class alone, in declaration order.
  const std::vector<const TPropInfo*>& OwnProps() const;
  // All published properties, inherited ones first.
  const std::vector<const TPropInfo*>& Props() const;
  const TPropInfo* FindProp(const String& name) const;  // case-insensitive
  const TMethodInfo* FindMethod(const String& name) const;  // this class and its parents

  // The module (exe or package DLL) whose code registered the class.
  void* Module() const { return FModule; }
  void SetModule(void* module) { FModule = module; }

  // Used by registration blocks only.
  void AddProp(std::unique_ptr<TPropInfo> prop);
  void AddMethod(std::unique_ptr<TMethodInfo> method);

private:
  void EnsureInit() const;
  String FName;
  TClass FParent;
  TFactory FFactory;
  TInit FInit;
  void* FModule = nullptr;
  mutable std::once_flag FInitOnce;
  mutable std::vector<std::unique_ptr<TPropInfo>> FOwnStore;
  mutable std::vector<const TPropInfo*> FOwn;
  mutable std::vector<const TPropInfo*> FAll;
  mutable std::vector<std::unique_ptr<TMethodInfo>> FMethods;
  mutable bool FAllBuilt = false;
  mutable std::mutex FAllLock;
};

// Declares the metaclass members of a class; put it first in the class body. Leaves the
// class body in public access.
#define KW_CLASS(Name, Parent)                                \
 public:                                                      \
  using inherited = Parent;                                   \
  static ::kw::TClass StaticClass();                          \
  ::kw::TClass ClassType() const override { return StaticClass(); }

class TObject {
public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  static TClass StaticClass();
  virtual TClass ClassType() const { return StaticClass(); }
  const String& ClassName() const { return ClassType()->ClassName(); }
  TClass ClassParent() const { return ClassType()->ClassParent(); }
  bool InheritsFrom(TClass cls) const { return ClassType()->InheritsFrom(cls); }

  // Destroys the object after giving it the chance to act while still whole.
  void Free() {
    BeforeDestruction();
    delete this;
  }
  virtual void BeforeDestruction() {}
  // Runs once the most derived constructor has finished: streaming factories and KwCreate
  // call it, so that a form can read its own class's form resource.
  virtual void AfterConstruction() {}
};

// Creates an object and lets it finish its construction (AfterConstruction).
template <class T, class... A>
T* KwCreate(A&&... args) {
  T* obj = new T(std::forward<A>(args)...);
  try {
    obj->AfterConstruction();
  } catch (...) {
    obj->Free();
    throw;
  }
  return obj;
}

// Deletes through Free when not null (the host's FreeAndNil).
template <class T>
void FreeAndNil(T*& obj) {
  T* o = obj;
  obj = nullptr;
  if (o) o->Free();
}

// The class registry: streaming finds classes here by name.
void RegisterClass(TClass cls);
// The same, for sources where <windows.h> has turned RegisterClass into RegisterClassW.
void RegisterClassW(TClass cls);
void RegisterClasses(std::initializer_list<TClass> classes);
void RegisterClassAlias(TClass cls, const String& alias);
void UnRegisterClass(TClass cls);
TClass GetClass(const String& name);   // nullptr when unknown
TClass FindClass(const String& name);  // raises EClassNotFound
std::vector<TClass> RegisteredClasses();

// Run-time packages: a DLL whose classes registered themselves when it was loaded.
void* LoadPackage(const String& fileName);  // raises EPackageError
void UnloadPackage(void* module);           // unregisters the module's classes first
void UnRegisterModuleClasses(void* module);

// Registers a class automatically at program or package start; used by KW_REGISTER.
struct TClassRegistrar {
  explicit TClassRegistrar(TClass (*staticClass)());
};

}  // namespace kw
