// Finding form resources by name in the program and the loaded packages, and reading them into
// a component over the resource's own memory. Class lookup and streaming are the reader's.
#include "host/Formres.h"

#include "host/Win.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "host/Exceptions.h"
#include "host/Filer.h"
#include "host/Sysutils.h"

namespace kw {

namespace {

constexpr const wchar_t* SResNotFound = L"Resource %s not found";
constexpr const wchar_t* SResNotForm = L"Resource %s is not a form stream";

// Resource memory lives as long as its module and is never written.
class TResourceMemory : public TCustomMemoryStream {
public:
  TResourceMemory(const void* data, Int64 size) { SetPointer(const_cast<void*>(data), size); }
  Int64 Write(const void*, Int64) override { throw EWriteError(SRes::SWriteError); }
};

struct TFormResource {
  HMODULE Module = nullptr;
  HRSRC Info = nullptr;
  explicit operator bool() const { return Info != nullptr; }
};

TFormResource FindIn(HMODULE module, const String& upperName) {
  if (!module) return {};
  HRSRC info = FindResourceW(module, upperName.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
  return info ? TFormResource{module, info} : TFormResource{};
}

// The program first, then every module that registered classes: packages bring their own forms.
std::vector<HMODULE> SearchModules() {
  std::vector<HMODULE> modules{GetModuleHandleW(nullptr)};
  for (TClass cls : RegisteredClasses()) {
    auto module = static_cast<HMODULE>(cls->Module());
    if (module && std::find(modules.begin(), modules.end(), module) == modules.end()) modules.push_back(module);
  }
  return modules;
}

TFormResource Locate(const String& upperName, HMODULE preferred) {
  if (TFormResource res = FindIn(preferred, upperName)) return res;
  for (HMODULE module : SearchModules())
    if (module != preferred)
      if (TFormResource res = FindIn(module, upperName)) return res;
  return {};
}

void ReadResource(const TFormResource& res, const String& upperName, TComponent* instance) {
  HGLOBAL global = LoadResource(res.Module, res.Info);
  if (!global) RaiseLastOSError();
  const void* data = LockResource(global);
  DWORD size = SizeofResource(res.Module, res.Info);
  if (!data || size < sizeof(FilerSignature) || std::memcmp(data, FilerSignature, sizeof(FilerSignature)) != 0)
    throw EInvalidImage(Format(SResNotForm, {upperName}));
  TResourceMemory stream(data, size);
  TReader reader(stream);
  reader.ReadRootComponent(instance);
}

}  // namespace

bool KwFindFormResource(const String& className, HINSTANCE__* module) {
  String upper = UpperCase(className);
  if (module) return bool(FindIn(module, upper));
  return bool(Locate(upper, nullptr));
}

bool InitInheritedComponent(TComponent* instance, TClass rootAncestor) {
  if (!instance) throw EArgumentException(L"InitInheritedComponent needs an instance");
  if (rootAncestor && !instance->InheritsFrom(rootAncestor)) throw EInvalidCast(SRes::SInvalidCast);
  std::vector<TClass> chain;
  for (TClass cls = instance->ClassType(); cls && cls != rootAncestor; cls = cls->ClassParent()) chain.push_back(cls);
  bool read = false;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    String upper = UpperCase((*it)->ClassName());
    // A class's form is looked for first beside its code.
    TFormResource res = Locate(upper, static_cast<HMODULE>((*it)->Module()));
    if (!res) continue;
    ReadResource(res, upper, instance);
    read = true;
  }
  return read;
}

void ReadComponentRes(const String& resName, TComponent* instance) {
  String upper = UpperCase(resName);
  TFormResource res = Locate(upper, nullptr);
  if (!res) throw EResNotFound(Format(SResNotFound, {resName}));
  ReadResource(res, upper, instance);
}

}  // namespace kw
