// Reading components from a form stream: classes by name, properties by path, collections,
// defined properties, events bound by method name, references fixed up at the end, Loaded.
// The primitive values are read in Filer.cpp.
#include <algorithm>
#include <mutex>

#include "host/Collection.h"
#include "host/Filer.h"
#include "host/Sysutils.h"
#include "host/Typinfo.h"
#include "host/Variants.h"

namespace kw {

namespace {

struct TGlobalFixup {
  TPersistent* Instance;
  TComponent* Component;
  const TPropInfo* Prop;
  String RootName;
  String Path;  // the rest of the reference inside that root
};

struct TGlobals {
  std::recursive_mutex Lock;
  std::vector<TFindGlobalComponent> Finders;
  std::vector<TGlobalFixup> Fixups;
};

TGlobals& Globals() {
  static auto* g = new TGlobals;
  return *g;
}

// Follows "A.B.C" from a start component through owned components.
TComponent* FindNested(TComponent* start, const String& path) {
  TComponent* c = start;
  size_t from = 0;
  while (c && from <= path.size()) {
    size_t dot = path.find(L'.', from);
    String part = path.substr(from, dot == String::npos ? String::npos : dot - from);
    if (SameText(part, L"Owner")) c = c->Owner() ? c->Owner() : c;
    else c = c->FindComponent(part);
    if (dot == String::npos) break;
    from = dot + 1;
  }
  return c;
}

TComponent* ResolveGlobal(const String& rootName, const String& path) {
  TComponent* root = FindGlobalComponent(rootName);
  if (!root) return nullptr;
  if (path.empty() || SameText(path, L"Owner")) return root;
  return FindNested(root, path);
}

// Deeply nested streams are refused before they exhaust the stack.
class TDepthGuard {
public:
  explicit TDepthGuard(int& depth) : FDepth(depth) {
    if (++FDepth > MaxFilerNesting) {
      --FDepth;
      throw EReadError(SRes::SNestingTooDeep);
    }
  }
  ~TDepthGuard() { --FDepth; }

private:
  int& FDepth;
};

}  // namespace

void RegisterFindGlobalComponentProc(TFindGlobalComponent proc) {
  auto& g = Globals();
  std::lock_guard<std::recursive_mutex> guard(g.Lock);
  if (std::find(g.Finders.begin(), g.Finders.end(), proc) == g.Finders.end()) g.Finders.push_back(proc);
}

void UnregisterFindGlobalComponentProc(TFindGlobalComponent proc) {
  auto& g = Globals();
  std::lock_guard<std::recursive_mutex> guard(g.Lock);
  g.Finders.erase(std::remove(g.Finders.begin(), g.Finders.end(), proc), g.Finders.end());
}

TComponent* FindGlobalComponent(const String& name) {
  auto& g = Globals();
  std::lock_guard<std::recursive_mutex> guard(g.Lock);
  for (auto it = g.Finders.rbegin(); it != g.Finders.rend(); ++it)
    if (TComponent* c = (*it)(name)) return c;
  return nullptr;
}

void GlobalFixupReferences() {
  auto& g = Globals();
  std::lock_guard<std::recursive_mutex> guard(g.Lock);
  for (size_t i = 0; i < g.Fixups.size();) {
    TGlobalFixup f = g.Fixups[i];
    if (TComponent* target = ResolveGlobal(f.RootName, f.Path)) {
      g.Fixups.erase(g.Fixups.begin() + std::ptrdiff_t(i));
      f.Prop->SetObj(f.Instance, target);
      // Hear of the target's death so the reference never dangles.
      target->FreeNotification(f.Component);
    } else {
      ++i;
    }
  }
}

void RemoveFixups(TComponent* component) {
  auto& g = Globals();
  std::lock_guard<std::recursive_mutex> guard(g.Lock);
  g.Fixups.erase(std::remove_if(g.Fixups.begin(), g.Fixups.end(),
                                [component](const TGlobalFixup& f) { return f.Component == component; }),
                 g.Fixups.end());
}

int PendingFixupCount() {
  auto& g = Globals();
  std::lock_guard<std::recursive_mutex> guard(g.Lock);
  return int(g.Fixups.size());
}

bool TReader::Error(const String& message) {
  bool handled = false;
  OnError(*this, message, handled);
  if (!handled) throw EReadError(message);
  return true;
}

void TReader::SetRoot(TComponent* root) {
  FRoot = root;
  FLookupRoot = root;
}

void TReader::BeginReferences() { ++FReferenceLevel; }

void TReader::EndReferences() {
  if (FReferenceLevel > 0 && --FReferenceLevel == 0) FixupReferences();
}

TComponent* TReader::ResolveReference(const String& name) const {
  TComponent* root = FLookupRoot ? FLookupRoot : FRoot;
  if (!root) return nullptr;
  if (SameText(name, L"Owner")) return root;
  if (root->Name() != L"" && SameText(name, root->Name())) return root;
  return FindNested(root, name);
}

void TReader::FixupReferences() {
  std::vector<TFixup> fixups;
  fixups.swap(FFixups);
  for (const TFixup& f : fixups) {
    if (TComponent* target = ResolveReference(f.Name)) {
      f.Prop->SetObj(f.Instance, target);
      if (target != f.Component) target->FreeNotification(f.Component);
      continue;
    }
    // A reference into another root waits until that root exists.
    size_t dot = f.Name.find(L'.');
    String rootName = dot == String::npos ? f.Name : f.Name.substr(0, dot);
    String path = dot == String::npos ? String() : f.Name.substr(dot + 1);
    if (TComponent* target = ResolveGlobal(rootName, path)) {
      f.Prop->SetObj(f.Instance, target);
      target->FreeNotification(f.Component);
    } else if (dot != String::npos) {
      auto& g = Globals();
      std::lock_guard<std::recursive_mutex> guard(g.Lock);
      g.Fixups.push_back({f.Instance, f.Component, f.Prop, rootName, path});
      f.Component->IncludeState(csFixups);
    }
  }
}

TComponent* TReader::ReadRootComponent(TComponent* root) {
  ReadSignature();
  TFilerFlags flags;
  int childPos = 0;
  ReadPrefix(flags, childPos);
  String className = ReadStr();
  String name = ReadStr();
  bool created = false;
  TComponent* result = root;
  try {
    if (!result) {
      TClass cls = nullptr;
      OnFindComponentClass(*this, className, cls);
      if (!cls) cls = FindClass(className);
      if (!cls->InheritsFrom(TComponent::StaticClass())) throw EReadError(Format(SRes::SInvalidPropertyType, {className}));
      result = static_cast<TComponent*>(cls->CreateInstance(nullptr));
      created = true;
    }
    result->Loading();
    result->IncludeState(csReading);
    if (!result->ComponentState().Contains(csDesigning) || created) {
      OnSetName(*this, result, name);
      result->SetName(name);
    }
    if (flags.Contains(ffInline)) result->SetInline(true);
    SetRoot(result);
    FOwner = result;
    FParent = nullptr;
    FLoaded.clear();
    FLoaded.push_back(result);
    BeginReferences();
    result->ReadState(*this);
    result->ExcludeState(csReading);
    EndReferences();
  } catch (...) {
    FFixups.clear();
    FReferenceLevel = 0;
    // Leave nothing half-read behind: what this reader made goes, last made first.
    for (auto it = FCreated.rbegin(); it != FCreated.rend(); ++it) (*it)->Free();
    FCreated.clear();
    if (created) result->Free();
    else if (result) result->ExcludeState(csReading);
    throw;
  }
  FCreated.clear();
  std::vector<TComponent*> loaded;
  loaded.swap(FLoaded);
  for (TComponent* c : loaded) c->Loaded();
  GlobalFixupReferences();
  return result;
}

TComponent* TReader::CreateChild(const String& className, const String& name, TFilerFlags flags) {
  TComponent* result = nullptr;
  if (flags.Contains(ffInherited)) {
    result = FOwner ? FOwner->FindComponent(name) : nullptr;
    if (!result) {
      TClass cls = GetClass(className);
      OnAncestorNotFound(*this, name, cls, result);
      if (!result) throw EReadError(Format(SRes::SAncestorNotFound, {name}));
    }
    return result;
  }
  TClass cls = nullptr;
  OnFindComponentClass(*this, className, cls);
  if (!cls) cls = FindClass(className);
  if (!cls->InheritsFrom(TComponent::StaticClass())) throw EReadError(Format(SRes::SInvalidPropertyType, {className}));
  OnCreateComponent(*this, cls, result);
  if (!result) result = static_cast<TComponent*>(cls->CreateInstance(FOwner));
  FCreated.push_back(result);
  String newName = name;
  OnSetName(*this, result, newName);
  result->Loading();
  result->SetName(newName);
  return result;
}

namespace {

// Passes over one component's properties and children, for a class the handler gave up on.
void SkipComponentBody(TReader& reader, int depth) {
  if (depth > MaxFilerNesting) throw EReadError(SRes::SNestingTooDeep);
  while (!reader.EndOfList()) {
    reader.ReadStr();
    reader.SkipValue();
  }
  reader.ReadListEnd();
  while (!reader.EndOfList()) {
    TFilerFlags flags;
    int childPos = 0;
    reader.ReadPrefix(flags, childPos);
    reader.ReadStr();
    reader.ReadStr();
    SkipComponentBody(reader, depth + 1);
  }
  reader.ReadListEnd();
}

}  // namespace

TComponent* TReader::ReadComponent(TComponent* component) {
  TDepthGuard depth(FDepth);
  TFilerFlags flags;
  int childPos = 0;
  ReadPrefix(flags, childPos);
  String className = ReadStr();
  String name = ReadStr();
  TComponent* result = component;
  if (!result) {
    try {
      result = CreateChild(className, name, flags);
    } catch (const EClassNotFound& e) {
      // A handler that accepts an unknown class has the component left out whole.
      if (!OnError) throw;
      bool handled = false;
      OnError(*this, e.Message(), handled);
      if (!handled) throw;
      SkipComponentBody(*this, FDepth);
      return nullptr;
    }
  }
  result->Loading();
  result->IncludeState(csReading);
  if (flags.Contains(ffInline)) result->SetInline(true);
  // A component found by name (inherited) may already be listed; a new one cannot be.
  if (component || flags.Contains(ffInherited)) {
    if (std::find(FLoaded.begin(), FLoaded.end(), result) == FLoaded.end()) FLoaded.push_back(result);
  } else {
    FLoaded.push_back(result);
  }
  if (FParent && !flags.Contains(ffInherited)) result->SetParentComponent(FParent);
  result->ReadState(*this);
  result->ExcludeState(csReading);
  if (flags.Contains(ffChildPos) && FParent) FParent->SetChildOrder(result, childPos);
  return result;
}

void TReader::ReadComponents(TComponent* owner, TComponent* parent, const std::function<void(TComponent*)>& proc) {
  TComponent* oldOwner = FOwner;
  TComponent* oldParent = FParent;
  FOwner = owner;
  FParent = parent;
  SetRoot(owner);
  BeginReferences();
  try {
    while (!EndOfList()) {
      ReadSignature();
      TComponent* c = ReadComponent(nullptr);
      if (c && proc) proc(c);
    }
    ReadListEnd();
  } catch (...) {
    FOwner = oldOwner;
    FParent = oldParent;
    FReferenceLevel = 0;
    FFixups.clear();
    throw;
  }
  EndReferences();
  FOwner = oldOwner;
  FParent = oldParent;
  std::vector<TComponent*> loaded;
  loaded.swap(FLoaded);
  FCreated.clear();
  for (TComponent* c : loaded) c->Loaded();
}

void TReader::ReadData(TComponent* instance) {
  TComponent* saveComponent = FReadingComponent;
  FReadingComponent = instance;
  while (!EndOfList()) ReadProperty(instance);
  ReadListEnd();
  FReadingComponent = saveComponent;
  TComponent* oldOwner = FOwner;
  TComponent* oldParent = FParent;
  FOwner = instance->GetChildOwner();
  if (!FOwner) FOwner = FRoot;
  FParent = instance->GetChildParent();
  try {
    while (!EndOfList()) ReadComponent(nullptr);
    ReadListEnd();
  } catch (...) {
    FOwner = oldOwner;
    FParent = oldParent;
    throw;
  }
  FOwner = oldOwner;
  FParent = oldParent;
}

void TReader::ReadProperty(TPersistent* instance) {
  String path = ReadStr();
  Int64 valueStart = Position();
  try {
    TPersistent* target = instance;
    size_t from = 0;
    for (size_t dot; (dot = path.find(L'.', from)) != String::npos; from = dot + 1) {
      String part = path.substr(from, dot - from);
      const TPropInfo* p = target->ClassType()->FindProp(part);
      TObject* sub = p && p->GetObj ? p->GetObj(target) : nullptr;
      auto* next = dynamic_cast<TPersistent*>(sub);
      if (!next) throw EReadError(SRes::SInvalidPropertyPath);
      target = next;
    }
    String name = path.substr(from);
    if (const TPropInfo* p = target->ClassType()->FindProp(name)) {
      ReadPropValue(target, p);
      return;
    }
    // Not published: one of the object's defined properties, or unknown.
    String savedName = FPropName;
    FPropName = name;
    target->DefineProperties(*this);
    bool found = FPropName.empty();
    FPropName = savedName;
    if (!found) throw EReadError(Format(SRes::SUnknownProperty, {name}));
  } catch (const EReadError& e) {
    // Structural faults of the stream cannot be skipped past.
    if (e.Message() == SRes::SNestingTooDeep || e.Message() == SRes::SReadError) throw;
    String owner = FReadingComponent ? FReadingComponent->Name() : String();
    String message = owner.empty() ? e.Message() : Format(SRes::SPropertyException, {owner, String(L"."), path, e.Message()});
    if (!OnError) throw EReadError(message);
    Error(message);
    SetPosition(valueStart);
    SkipValue();
  } catch (const Exception& e) {
    String owner = FReadingComponent ? FReadingComponent->Name() : String();
    String message = Format(SRes::SPropertyException, {owner, String(owner.empty() ? L"" : L"."), path, e.Message()});
    if (!OnError) throw EReadError(message);
    Error(message);
    SetPosition(valueStart);
    SkipValue();
  }
}

void TReader::ReadPropValue(TPersistent* instance, const TPropInfo* prop) {
  const TTypeInfo* type = prop->PropType;
  auto needSetter = [&](bool has) {
    if (!has) throw EReadError(SRes::SReadOnlyProperty);
  };
  switch (type->Kind) {
    case tkInteger: {
      needSetter(bool(prop->SetOrd));
      Int64 v = 0;
      if (NextValue() == vaIdent && type->IdentToInt) {
        if (!type->IdentToInt(ReadIdent(), v)) throw EReadError(SRes::SInvalidPropertyValue);
      } else {
        v = ReadInt64();
      }
      if (v < type->MinValue || v > type->MaxValue) throw EReadError(SRes::SInvalidPropertyValue);
      prop->SetOrd(instance, v);
      break;
    }
    case tkInt64:
      needSetter(bool(prop->SetOrd));
      prop->SetOrd(instance, ReadInt64());
      break;
    case tkChar:
    case tkWChar:
      needSetter(bool(prop->SetOrd));
      prop->SetOrd(instance, Int64(ReadChar()));
      break;
    case tkEnumeration: {
      needSetter(bool(prop->SetOrd));
      TValueType next = NextValue();
      if (next == vaFalse || next == vaTrue) {
        prop->SetOrd(instance, ReadBoolean() ? 1 : 0);
        break;
      }
      if (next == vaInt8 || next == vaInt16 || next == vaInt32) {
        Int64 v = ReadInt64();
        if (v < type->MinValue || v > type->MaxValue) throw EReadError(SRes::SInvalidPropertyValue);
        prop->SetOrd(instance, v);
        break;
      }
      String ident = ReadIdent();
      int v = GetEnumValue(type, ident);
      if (v < 0) throw EReadError(SRes::SInvalidPropertyValue);
      prop->SetOrd(instance, v);
      break;
    }
    case tkSet:
      needSetter(bool(prop->SetOrd));
      prop->SetOrd(instance, Int64(ReadSet(type)));
      break;
    case tkFloat:
      if (prop->SetCurr) {
        prop->SetCurr(instance, NextValue() == vaCurrency ? ReadCurrency() : Currency(ReadFloat()));
      } else {
        needSetter(bool(prop->SetFloat));
        prop->SetFloat(instance, NextValue() == vaDate ? double(ReadDate()) : ReadFloat());
      }
      break;
    case tkString:
    case tkLString:
    case tkWString:
    case tkUString:
      needSetter(bool(prop->SetStr));
      prop->SetStr(instance, ReadString());
      break;
    case tkVariant:
      needSetter(bool(prop->SetVar));
      prop->SetVar(instance, ReadVariant());
      break;
    case tkMethod: {
      TEventBase* event = prop->GetEvent(instance);
      TValueType next = NextValue();
      String methodName = ReadIdent();
      if (next == vaNil || next == vaNull || methodName.empty()) {
        event->Clear();
        break;
      }
      TComponent* root = FRoot;
      const TMethodInfo* method = root ? root->ClassType()->FindMethod(methodName) : nullptr;
      if (!method) {
        bool error = true;
        OnFindMethod(*this, methodName, error);
        if (error) throw EReadError(Format(SRes::SMethodNotFound, {methodName}));
        break;
      }
      if (!event->BindMethod(*method, root)) throw EReadError(Format(SRes::SMethodNotFound, {methodName}));
      break;
    }
    case tkClass: {
      TValueType next = NextValue();
      if (next == vaCollection) {
        ReadValue();
        auto* collection = dynamic_cast<TCollection*>(prop->GetObj ? prop->GetObj(instance) : nullptr);
        if (!collection) throw EReadError(SRes::SInvalidPropertyValue);
        ReadCollection(collection);
        break;
      }
      if (!type->ClassType->InheritsFrom(TComponent::StaticClass())) throw EReadError(SRes::SInvalidPropertyValue);
      needSetter(bool(prop->SetObj));
      if (next == vaNil || next == vaNull) {
        ReadValue();
        prop->SetObj(instance, nullptr);
        break;
      }
      if (next != vaIdent) throw EReadError(SRes::SInvalidPropertyValue);
      String name = ReadIdent();
      OnReferenceName(*this, name);
      FFixups.push_back({instance, FReadingComponent ? FReadingComponent : FRoot, prop, name});
      if (FReferenceLevel == 0) FixupReferences();
      break;
    }
    default:
      throw EReadError(Format(SRes::SInvalidPropertyType, {type->Name}));
  }
}

void TReader::ReadCollection(TCollection* collection) {
  TDepthGuard depth(FDepth);
  collection->BeginUpdate();
  try {
    if (!EndOfList()) collection->Clear();
    while (!EndOfList()) {
      TValueType next = NextValue();
      if (next == vaInt8 || next == vaInt16 || next == vaInt32) ReadInteger();
      TCollectionItem* item = collection->Add();
      ReadListBegin();
      while (!EndOfList()) ReadProperty(item);
      ReadListEnd();
    }
    ReadListEnd();
  } catch (...) {
    collection->EndUpdate();
    throw;
  }
  collection->EndUpdate();
}

void TReader::DefineProperty(const String& name, const std::function<void(TReader&)>& readData,
                             const std::function<void(TWriter&)>&, bool) {
  if (!FPropName.empty() && readData && SameText(name, FPropName)) {
    FPropName.clear();
    readData(*this);
  }
}

void TReader::DefineBinaryProperty(const String& name, const std::function<void(TStream&)>& readData,
                                   const std::function<void(TStream&)>&, bool) {
  if (!FPropName.empty() && readData && SameText(name, FPropName)) {
    FPropName.clear();
    TBytesStream data(ReadBinary());
    readData(data);
  }
}

TComponent* TStream::ReadComponent(TComponent* instance) {
  TReader reader(*this);
  return reader.ReadRootComponent(instance);
}

}  // namespace kw
