// TPersistent and TComponent: assignment errors, name paths, ownership, free notifications,
// names and the default streaming hooks.
#include "host/Classes.h"

#include <algorithm>

#include "host/Filer.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_REGISTER_CLASS(TPersistent, TObject)

KW_BEGIN_CLASS(TComponent, TPersistent) {
  // The name is written in the component's header, never as a property.
  b.Prop(L"Name", &TComponent::Name, &TComponent::SetName).Stored(false);
  b.Prop(L"Tag", &TComponent::Tag, &TComponent::SetTag).Default(0);
}

void TPersistent::Assign(const TPersistent* source) {
  if (source) source->AssignTo(this);
  else AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* dest) const { dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
  String sourceName = source ? source->ClassName() : String(L"nil");
  throw EConvertError(Format(SRes::SAssignError, {sourceName, ClassName()}));
}

String TPersistent::GetNamePath() const {
  String result = ClassName();
  if (TPersistent* owner = GetOwner()) {
    String path = owner->GetNamePath();
    if (!path.empty()) result = path + L"." + result;
  }
  return result;
}

bool IsValidComponentName(const String& name) { return name.empty() || IsValidIdent(name); }

void (*ApplicationHandleException)(TObject* sender) = nullptr;

void KwHandleCurrentException(TObject* sender) {
  if (ApplicationHandleException) {
    ApplicationHandleException(sender);
    return;
  }
  String text;
  try {
    throw;
  } catch (const EAbort&) {
    return;
  } catch (const Exception& e) {
    text = String(e.ClassName()) + L": " + e.Message();
  } catch (const std::exception& e) {
    text = UTF8ToString(e.what());
  } catch (...) {
    text = L"Unknown exception";
  }
  OutputDebugStringW((text + L"\n").c_str());
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

void TComponent::BeforeDestruction() {
  if (!FComponentState.Contains(csDestroying)) Destroying();
}

TComponent::~TComponent() {
  if (!FComponentState.Contains(csDestroying)) Destroying();
  // Everyone holding a reference hears of the death before it happens.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    auto& back = other->FFreeNotifies;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FComponentState.Contains(csFixups)) RemoveFixups(this);
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::Destroying() {
  if (FComponentState.Contains(csDestroying)) return;
  FComponentState.Include(csDestroying);
  for (TComponent* c : FComponents) c->Destroying();
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) throw EListError(Format(SRes::SListIndexError, {index}));
  return FComponents[size_t(index)];
}

int TComponent::ComponentIndex() const {
  if (!FOwner) return -1;
  auto& list = FOwner->FComponents;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : int(it - list.begin());
}

void TComponent::SetComponentIndex(int index) {
  if (!FOwner) return;
  auto& list = FOwner->FComponents;
  int cur = ComponentIndex();
  if (cur < 0) return;
  index = std::clamp(index, 0, int(list.size()) - 1);
  if (index == cur) return;
  list.erase(list.begin() + cur);
  list.insert(list.begin() + index, this);
}

namespace {
// Names compare without regard to ASCII case, as identifiers do.
String NameKey(const String& name) { return UpperCase(name); }
}  // namespace

TComponent* TComponent::FindComponent(const String& name) const {
  if (name.empty()) return nullptr;
  auto it = FNames.find(NameKey(name));
  return it == FNames.end() ? nullptr : it->second;
}

void TComponent::ChangeName(const String& name) {
  if (FOwner) {
    if (!FName.empty()) {
      auto it = FOwner->FNames.find(NameKey(FName));
      if (it != FOwner->FNames.end() && it->second == this) FOwner->FNames.erase(it);
    }
    if (!name.empty()) FOwner->FNames[NameKey(name)] = this;
  }
  FName = name;
}

void TComponent::InsertComponent(TComponent* component) {
  component->ValidateContainer(this);
  ValidateRename(component, L"", component->FName);
  Insert(component);
  if (FComponentState.Contains(csDesigning)) component->SetDesigning(true);
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  ValidateRename(component, component->FName, L"");
  Notification(component, opRemove);
  Remove(component);
}

void TComponent::Insert(TComponent* component) {
  FComponents.push_back(component);
  component->FOwner = this;
  if (!component->FName.empty()) FNames[NameKey(component->FName)] = component;
}

void TComponent::Remove(TComponent* component) {
  // Removal is usually of the last one (destruction runs last first).
  auto it = std::find(FComponents.rbegin(), FComponents.rend(), component);
  if (it != FComponents.rend()) FComponents.erase(std::next(it).base());
  if (!component->FName.empty()) {
    auto named = FNames.find(NameKey(component->FName));
    if (named != FNames.end() && named->second == component) FNames.erase(named);
  }
  component->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  // Last created first; each one leaves the list as it dies.
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    Remove(c);
    c->Free();
  }
}

void TComponent::SetName(const String& name) {
  if (FName == name) return;
  if (!IsValidComponentName(name)) throw EComponentError(Format(SRes::SInvalidName, {name}));
  if (FOwner) FOwner->ValidateRename(this, FName, name);
  else ValidateRename(nullptr, FName, name);
  ChangeName(name);
}

void TComponent::ValidateRename(TComponent* component, const String& curName, const String& newName) {
  if (component && !SameText(curName, newName) && !newName.empty()) {
    TComponent* other = FindComponent(newName);
    if (other && other != component) throw EComponentError(Format(SRes::SDuplicateName, {newName}));
  }
}

void TComponent::SetSubComponent(bool value) {
  if (value) FComponentStyle.Include(csSubComponent);
  else FComponentStyle.Exclude(csSubComponent);
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  FComponentState.Include(csFreeNotification);
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end()) {
    FFreeNotifies.push_back(component);
    component->FFreeNotifies.push_back(this);
  }
}

void TComponent::RemoveNotification(TComponent* component) {
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), component), FFreeNotifies.end());
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  RemoveNotification(component);
  component->RemoveNotification(this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) RemoveFreeNotification(component);
  // Walk down by index, tolerating components that leave during the walk.
  for (int i = int(FComponents.size()) - 1; i >= 0; --i) {
    if (i >= int(FComponents.size())) i = int(FComponents.size()) - 1;
    if (i < 0) break;
    FComponents[size_t(i)]->Notification(component, operation);
  }
}

String TComponent::GetNamePath() const { return FName; }

void TComponent::GetChildren(const TGetChildProc& proc, TComponent* root) {
  // A root streams the components it owns that no parent control will stream.
  if (root != this) return;
  for (TComponent* c : std::vector<TComponent*>(FComponents))
    if (!c->HasParent()) proc(c);
}

void TComponent::ReadState(TReader& reader) { reader.ReadData(this); }

void TComponent::WriteState(TWriter& writer) { writer.WriteData(this); }

void TComponent::Loaded() { FComponentState.Exclude(csLoading); }

void TComponent::SetDesigning(bool value, bool setChildren) {
  if (value) FComponentState.Include(csDesigning);
  else FComponentState.Exclude(csDesigning);
  if (setChildren)
    for (TComponent* c : FComponents) c->SetDesigning(value, true);
}

void TComponent::SetInline(bool value) {
  if (value) FComponentState.Include(csInline);
  else FComponentState.Exclude(csInline);
}

void TComponent::SetAncestor(bool value) {
  if (value) FComponentState.Include(csAncestor);
  else FComponentState.Exclude(csAncestor);
  for (TComponent* c : FComponents) c->SetAncestor(value);
}

void TComponent::SetDesignInstance(bool value) {
  if (value) FComponentState.Include(csDesignInstance);
  else FComponentState.Exclude(csDesignInstance);
}

}  // namespace kw
