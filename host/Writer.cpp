// Writing components to a form stream: only what differs from the default or the ancestor,
// nested objects by property path, collections, references by name, events by method name.
// The primitive values are written in Filer.cpp.
#include <cmath>
#include <cstring>

#include "host/Collection.h"
#include "host/Filer.h"
#include "host/Sysutils.h"
#include "host/Typinfo.h"
#include "host/Variants.h"

namespace kw {

namespace {

// The ancestor object is usable for a property only when it has that property too.
TPersistent* AncestorFor(TPersistent* ancestor, const TPropInfo* prop) {
  return ancestor && ancestor->InheritsFrom(prop->Owner) ? ancestor : nullptr;
}

// An inherited child whose stream holds only its header and two list ends changed nothing.
bool IsUnchangedInherited(TMemoryStream& s) {
  auto* b = static_cast<const Byte*>(s.Memory());
  Int64 size = s.Size();
  if (size < 5 || b[0] != (0xF0 | 1)) return false;
  Int64 pos = 1;
  pos += 1 + b[pos];
  if (pos >= size) return false;
  pos += 1 + b[pos];
  return pos + 2 == size && b[pos] == 0 && b[pos + 1] == 0;
}

// Puts a writer field back when the scope ends, normally or by an exception.
template <class T>
class TRestoreOnExit {
public:
  explicit TRestoreOnExit(T& field) : FField(field), FSaved(field) {}
  ~TRestoreOnExit() { FField = FSaved; }
  TRestoreOnExit(const TRestoreOnExit&) = delete;
  TRestoreOnExit& operator=(const TRestoreOnExit&) = delete;

private:
  T& FField;
  T FSaved;
};

}  // namespace

void TWriter::SetRoot(TComponent* root) {
  FRoot = root;
  FLookupRoot = root;
}

void TWriter::WriteRootComponent(TComponent* root) { WriteDescendent(root, nullptr); }

void TWriter::WriteDescendent(TComponent* root, TComponent* ancestor) {
  FRootAncestor = ancestor;
  FAncestor = ancestor;
  SetRoot(root);
  WriteSignature();
  WriteComponent(root);
}

void TWriter::WriteComponent(TComponent* component) {
  TRestoreOnExit<TPersistent*> ancestor(FAncestor);
  TRestoreOnExit<TComponent*> rootAncestor(FRootAncestor);
  component->IncludeState(csWriting);
  try {
    component->WriteState(*this);
  } catch (...) {
    component->ExcludeState(csWriting);
    throw;
  }
  component->ExcludeState(csWriting);
}

void TWriter::WriteChild(TComponent* child) {
  TComponent* ancestor = nullptr;
  int ancestorIndex = -1;
  if (FHasAncestorList)
    for (size_t i = 0; i < FAncestorList.size(); ++i)
      if (SameText(FAncestorList[i]->Name(), child->Name())) {
        ancestor = FAncestorList[i];
        ancestorIndex = int(i);
        break;
      }
  if (!ancestor) {
    TRestoreOnExit<TPersistent*> parentAncestor(FAncestor);
    FAncestor = nullptr;
    FUseChildPos = false;
    WriteComponent(child);
    ++FChildPos;
    return;
  }
  // Written aside first, so an inherited child that changed nothing can be left out.
  TMemoryStream temp;
  {
    TWriter sub(temp);
    sub.FRoot = FRoot;
    sub.FLookupRoot = FLookupRoot;
    sub.FRootAncestor = FRootAncestor;
    sub.FIgnoreChildren = FIgnoreChildren;
    sub.FAncestor = ancestor;
    sub.FChildPos = FChildPos;
    sub.FUseChildPos = ancestorIndex != FChildPos;
    sub.WriteComponent(child);
  }
  if (!IsUnchangedInherited(temp)) Write(temp.Memory(), temp.Size());
  ++FChildPos;
}

void TWriter::WriteData(TComponent* instance) {
  TFilerFlags flags;
  if (FAncestor) flags << ffInherited;
  if (instance->ComponentState().Contains(csInline)) flags << ffInline;
  if (FUseChildPos) flags << ffChildPos;
  WritePrefix(flags, FChildPos);
  FUseChildPos = false;
  WriteStr(instance->ClassName());
  WriteStr(instance->Name());
  {
    TRestoreOnExit<String> path(FPropPath);
    FPropPath.clear();
    WriteProperties(instance);
  }
  WriteListEnd();

  std::vector<TComponent*> oldList;
  oldList.swap(FAncestorList);
  bool oldHasList = FHasAncestorList;
  int oldChildPos = FChildPos;
  TComponent* oldRoot = FRoot;
  TComponent* oldLookupRoot = FLookupRoot;
  TComponent* oldRootAncestor = FRootAncestor;
  FHasAncestorList = false;
  FChildPos = 0;
  auto restore = [&] {
    FAncestorList.swap(oldList);
    FHasAncestorList = oldHasList;
    FChildPos = oldChildPos;
    FRoot = oldRoot;
    FLookupRoot = oldLookupRoot;
    FRootAncestor = oldRootAncestor;
  };
  try {
    if (!FIgnoreChildren) {
      if (auto* ancestor = dynamic_cast<TComponent*>(FAncestor)) {
        if (ancestor->ComponentState().Contains(csInline)) FRootAncestor = ancestor;
        ancestor->GetChildren([this](TComponent* c) { FAncestorList.push_back(c); }, FRootAncestor);
        FHasAncestorList = true;
      }
      // An inline component (a frame) is the root of its own children.
      if (instance->ComponentState().Contains(csInline)) {
        FRoot = instance;
        FLookupRoot = instance;
      }
      instance->GetChildren([this](TComponent* c) { WriteChild(c); }, FRoot);
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
  WriteListEnd();
}

void TWriter::WriteProperties(TPersistent* instance) {
  for (const TPropInfo* prop : instance->ClassType()->Props())
    if (prop->IsStored(instance)) WriteProperty(instance, prop);
  instance->DefineProperties(*this);
}

void TWriter::WritePropName(const String& name) { WriteStr(FPropPath + name); }

String TWriter::ReferenceName(TComponent* component) const {
  if (!component) return {};
  if (component->Owner() == FLookupRoot) return component->Name();
  if (component == FLookupRoot) return L"Owner";
  if (component->Owner() && !component->Owner()->Name().empty() && !component->Name().empty())
    return component->Owner()->Name() + L"." + component->Name();
  if (!component->Name().empty()) return component->Name() + L".Owner";
  return {};
}

void TWriter::WriteProperty(TPersistent* instance, const TPropInfo* prop) {
  const TTypeInfo* type = prop->PropType;
  TPersistent* ancestor = AncestorFor(FAncestor, prop);
  // Only properties that can be read back are written; objects are written into.
  if (prop->IsReadOnly() && type->Kind != tkClass) return;
  switch (type->Kind) {
    case tkInteger:
    case tkInt64:
    case tkChar:
    case tkWChar:
    case tkEnumeration:
    case tkSet: {
      Int64 value = prop->GetOrd(instance);
      if (ancestor ? value == prop->GetOrd(ancestor) : (prop->HasDefault && value == prop->Default)) return;
      WritePropName(prop->Name);
      if (type->Kind == tkEnumeration) {
        if (type->Name == L"Boolean") WriteBoolean(value != 0);
        else WriteIdent(GetEnumName(type, int(value)));
      } else if (type->Kind == tkSet) {
        WriteSet(type, UInt64(value));
      } else if (type->Kind == tkChar || type->Kind == tkWChar) {
        WriteChar(wchar_t(value));
      } else {
        String ident;
        if (type->IntToIdent && type->IntToIdent(value, ident)) WriteIdent(ident);
        else WriteInteger(value);
      }
      return;
    }
    case tkFloat: {
      if (prop->GetCurr) {
        Currency value = prop->GetCurr(instance);
        if (ancestor ? value == prop->GetCurr(ancestor) : value.ToDouble() == prop->DefaultFloat) return;
        WritePropName(prop->Name);
        WriteCurrency(value);
        return;
      }
      double value = prop->GetFloat(instance);
      if (ancestor ? value == prop->GetFloat(ancestor) : value == prop->DefaultFloat) {
        // Equal by value but not by sign: -0 must survive the round trip.
        if (!(value == 0 && std::signbit(value) != std::signbit(ancestor ? prop->GetFloat(ancestor) : prop->DefaultFloat)))
          return;
      }
      WritePropName(prop->Name);
      if (type->FloatType == ftSingle) WriteSingle(float(value));
      else if (type->IsDate) WriteDate(TDateTime(value));
      else WriteFloat(value);
      return;
    }
    case tkString:
    case tkLString:
    case tkWString:
    case tkUString: {
      String value = prop->GetStr(instance);
      if (ancestor ? value == prop->GetStr(ancestor) : value == prop->DefaultStr) return;
      WritePropName(prop->Name);
      WriteString(value);
      return;
    }
    case tkVariant: {
      Variant value = prop->GetVar(instance);
      if (ancestor) {
        Variant old = prop->GetVar(ancestor);
        if (value.VarType() == old.VarType() && (value.IsEmpty() || value.IsNull() || VarSameValue(value, old))) return;
      } else if (value.IsEmpty()) {
        return;
      }
      WritePropName(prop->Name);
      WriteVariant(value);
      return;
    }
    case tkMethod: {
      TEventBase* event = prop->GetEvent(instance);
      String name = event->Assigned() ? event->MethodName() : String();
      String old = ancestor && prop->GetEvent(ancestor)->Assigned() ? prop->GetEvent(ancestor)->MethodName() : String();
      if (SameText(name, old)) return;
      WritePropName(prop->Name);
      if (name.empty()) WriteValue(vaNil);
      else WriteIdent(name);
      return;
    }
    case tkClass: {
      TObject* value = prop->GetObj ? prop->GetObj(instance) : nullptr;
      TObject* old = ancestor && prop->GetObj ? prop->GetObj(ancestor) : nullptr;
      auto* component = dynamic_cast<TComponent*>(value);
      bool isReference = type->ClassType->InheritsFrom(TComponent::StaticClass()) &&
                         !(component && component->ComponentStyle().Contains(csSubComponent));
      if (isReference) {
        if (!prop->SetObj) return;
        String name = ReferenceName(component);
        if (component && name.empty()) return;
        auto* oldComponent = dynamic_cast<TComponent*>(old);
        String oldName;
        if (oldComponent) {
          // The ancestor's reference is named against the ancestor's own root.
          if (oldComponent->Owner() == FRootAncestor) oldName = oldComponent->Name();
          else if (oldComponent == FRootAncestor) oldName = L"Owner";
          else if (oldComponent->Owner()) oldName = oldComponent->Owner()->Name() + L"." + oldComponent->Name();
        }
        if (ancestor ? SameText(name, oldName) && (component == nullptr) == (oldComponent == nullptr) : !component) return;
        WritePropName(prop->Name);
        if (!component) WriteValue(vaNil);
        else WriteIdent(name);
        return;
      }
      if (auto* collection = dynamic_cast<TCollection*>(value)) {
        if (auto* oldCollection = dynamic_cast<TCollection*>(old)) {
          TMemoryStream a, b;
          {
            TWriter wa(a);
            wa.SetRoot(FRoot);
            wa.WriteCollection(collection);
          }
          {
            TWriter wb(b);
            wb.SetRoot(FRootAncestor);
            wb.WriteCollection(oldCollection);
          }
          if (a.Size() == b.Size() && std::memcmp(a.Memory(), b.Memory(), size_t(a.Size())) == 0) return;
        } else if (collection->Count() == 0) {
          return;
        }
        WritePropName(prop->Name);
        WriteCollection(collection);
        return;
      }
      if (auto* nested = dynamic_cast<TPersistent*>(value)) {
        TRestoreOnExit<String> path(FPropPath);
        TRestoreOnExit<TPersistent*> ancestorOfNested(FAncestor);
        FPropPath += prop->Name + L".";
        FAncestor = dynamic_cast<TPersistent*>(old);
        WriteProperties(nested);
      }
      return;
    }
    default:
      return;
  }
}

void TWriter::WriteCollection(TCollection* collection) {
  WriteValue(vaCollection);
  {
    TRestoreOnExit<String> path(FPropPath);
    TRestoreOnExit<TPersistent*> ancestor(FAncestor);
    FPropPath.clear();
    FAncestor = nullptr;
    for (int i = 0; i < collection->Count(); ++i) {
      WriteListBegin();
      WriteProperties(collection->Items(i));
      WriteListEnd();
    }
  }
  WriteListEnd();
}

void TWriter::DefineProperty(const String& name, const std::function<void(TReader&)>&,
                             const std::function<void(TWriter&)>& writeData, bool hasData) {
  if (!hasData || !writeData) return;
  WritePropName(name);
  writeData(*this);
}

void TWriter::DefineBinaryProperty(const String& name, const std::function<void(TStream&)>&,
                                   const std::function<void(TStream&)>& writeData, bool hasData) {
  if (!hasData || !writeData) return;
  TMemoryStream data;
  writeData(data);
  WritePropName(name);
  WriteBinary(data.Memory(), data.Size());
}

void TStream::WriteComponent(TComponent* instance) { WriteDescendent(instance, nullptr); }

void TStream::WriteDescendent(TComponent* instance, TComponent* ancestor) {
  TWriter writer(*this);
  writer.WriteDescendent(instance, ancestor);
}

}  // namespace kw
