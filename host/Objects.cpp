// The metaclass, the class registry and run-time packages.
#include "host/Objects.h"

#include "host/Win.h"

#include <algorithm>
#include <map>

#include "host/Events.h"
#include "host/Exceptions.h"
#include "host/Sysutils.h"
#include "host/Typinfo.h"

namespace kw {

namespace {

String Upper(const String& s) { return UpperCase(s); }

struct TClassRegistry {
  std::mutex Lock;
  std::map<String, TClass> ByName;  // upper-case names and aliases
};

TClassRegistry& Registry() {
  static TClassRegistry* registry = new TClassRegistry;  // lives to the end of the process
  return *registry;
}

void* ModuleOf(const void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<LPCWSTR>(address), &module);
  return module;
}

String& PendingRegistrationError() {
  static thread_local String fault;
  return fault;
}

}  // namespace

TMetaClass::TMetaClass(const wchar_t* name, TClass parent, TFactory factory, TInit init)
    : FName(name), FParent(parent), FFactory(factory), FInit(init) {}

TMetaClass::~TMetaClass() = default;

bool TMetaClass::InheritsFrom(TClass other) const {
  for (TClass c = this; c; c = c->FParent)
    if (c == other) return true;
  return false;
}

TObject* TMetaClass::CreateInstance(TObject* arg) const {
  if (!FFactory) throw EInvalidOperation(L"Cannot create an instance of abstract class " + FName);
  return FFactory(arg);
}

void TMetaClass::EnsureInit() const {
  std::call_once(FInitOnce, [this] {
    if (FInit) FInit(const_cast<TMetaClass&>(*this));
  });
}

const std::vector<const TPropInfo*>& TMetaClass::OwnProps() const {
  EnsureInit();
  return FOwn;
}

const std::vector<const TPropInfo*>& TMetaClass::Props() const {
  std::lock_guard<std::mutex> guard(FAllLock);
  if (!FAllBuilt) {
    std::vector<const TPropInfo*> all;
    if (FParent) all = FParent->Props();
    for (const TPropInfo* p : OwnProps()) {
      // A class may republish an inherited property: the later declaration replaces it in place.
      auto same = std::find_if(all.begin(), all.end(), [p](const TPropInfo* q) { return SameText(q->Name, p->Name); });
      if (same != all.end()) *same = p;
      else all.push_back(p);
    }
    FAll = std::move(all);
    FAllBuilt = true;
  }
  return FAll;
}

const TPropInfo* TMetaClass::FindProp(const String& name) const {
  for (const TPropInfo* p : Props())
    if (SameText(p->Name, name)) return p;
  return nullptr;
}

const TMethodInfo* TMetaClass::FindMethod(const String& name) const {
  for (TClass c = this; c; c = c->FParent) {
    c->EnsureInit();
    for (const auto& m : c->FMethods)
      if (SameText(m->Name, name)) return m.get();
  }
  return nullptr;
}

void TMetaClass::AddProp(std::unique_ptr<TPropInfo> prop) {
  prop->Index = int(FOwn.size());
  FOwn.push_back(prop.get());
  FOwnStore.push_back(std::move(prop));
}

void TMetaClass::AddMethod(std::unique_ptr<TMethodInfo> method) { FMethods.push_back(std::move(method)); }

TClass TObject::StaticClass() {
  static TMetaClass meta(L"TObject", nullptr, nullptr, nullptr);
  return &meta;
}

void RegisterClass(TClass cls) {
  auto& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  auto [it, added] = r.ByName.emplace(Upper(cls->ClassName()), cls);
  // Registering the same class twice is harmless; a different class of the same name is not.
  if (!added && it->second != cls) throw EFilerError(Format(SRes::SDuplicateClass, {cls->ClassName()}));
}

void RegisterClassW(TClass cls) { RegisterClass(cls); }

void RegisterClasses(std::initializer_list<TClass> classes) {
  for (TClass c : classes) RegisterClass(c);
}

void RegisterClassAlias(TClass cls, const String& alias) {
  auto& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  r.ByName[Upper(alias)] = cls;
}

void UnRegisterClass(TClass cls) {
  auto& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  for (auto it = r.ByName.begin(); it != r.ByName.end();)
    it = it->second == cls ? r.ByName.erase(it) : std::next(it);
}

TClass GetClass(const String& name) {
  auto& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  auto it = r.ByName.find(Upper(name));
  return it == r.ByName.end() ? nullptr : it->second;
}

TClass FindClass(const String& name) {
  TClass c = GetClass(name);
  if (!c) throw EClassNotFound(Format(SRes::SClassNotFound, {name}));
  return c;
}

std::vector<TClass> RegisteredClasses() {
  auto& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  std::vector<TClass> out;
  for (auto& [name, cls] : r.ByName)
    if (std::find(out.begin(), out.end(), cls) == out.end()) out.push_back(cls);
  return out;
}

void UnRegisterModuleClasses(void* module) {
  auto& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  for (auto it = r.ByName.begin(); it != r.ByName.end();)
    it = it->second->Module() == module ? r.ByName.erase(it) : std::next(it);
}

void* LoadPackage(const String& fileName) {
  PendingRegistrationError().clear();
  HMODULE module = LoadLibraryW(fileName.c_str());
  if (!module) {
    DWORD code = GetLastError();
    throw EPackageError(Format(SRes::SErrorLoadingPackage, {fileName, SysErrorMessage(code)}));
  }
  String fault = PendingRegistrationError();
  if (!fault.empty()) {
    PendingRegistrationError().clear();
    UnloadPackage(module);
    throw EPackageError(Format(SRes::SErrorLoadingPackage, {fileName, fault}));
  }
  return module;
}

void UnloadPackage(void* module) {
  if (!module) return;
  UnRegisterModuleClasses(module);
  FreeLibrary(static_cast<HMODULE>(module));
}

TClassRegistrar::TClassRegistrar(TClass (*staticClass)()) {
  TClass cls = staticClass();
  const_cast<TMetaClass*>(cls)->SetModule(ModuleOf(reinterpret_cast<const void*>(staticClass)));
  // This runs during program or DLL start, where an exception cannot be caught: keep the
  // fault for LoadPackage to report.
  try {
    RegisterClass(cls);
  } catch (const Exception& e) {
    PendingRegistrationError() = e.Message();
  }
}

}  // namespace kw
