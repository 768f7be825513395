// TPersistent and TComponent: assignment, defined properties, ownership with free
// notifications, names, component state and the hooks that form streaming calls.
// Collections are in Collection.h, lists in Lists.h and Stringlist.h, streaming in Filer.h.
#pragma once

#include <unordered_map>

#include "host/Events.h"
#include "host/Exceptions.h"
#include "host/Objects.h"

namespace kw {

class TFiler;
class TReader;
class TWriter;
class TComponent;
class TBasicAction;

class TPersistent : public TObject {
  KW_CLASS(TPersistent, TObject)
  // Copies source into this object; raises EConvertError "Cannot assign a %s to a %s" when
  // neither side knows how.
  virtual void Assign(const TPersistent* source);
  virtual String GetNamePath() const;
  // The object that owns this one for name paths and the designer.
  virtual TPersistent* GetOwner() const { return nullptr; }
  // Declares the properties that streaming reads and writes beside the published ones.
  virtual void DefineProperties(TFiler& filer) {}

protected:
  // Copies this object into dest; the default raises the assignment error.
  virtual void AssignTo(TPersistent* dest) const;
  [[noreturn]] void AssignError(const TPersistent* source) const;
};

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag {
  csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor, csUpdating,
  csFixups, csFreeNotification, csInline, csDesignInstance
};
using TComponentState = TSet<TComponentStateFlag>;

enum TComponentStyleFlag { csInheritable, csCheckPropAvail, csSubComponent, csTransient };
using TComponentStyle = TSet<TComponentStyleFlag>;

using TGetChildProc = std::function<void(TComponent* child)>;

class TComponent : public TPersistent {
  KW_CLASS(TComponent, TPersistent)
  explicit TComponent(TComponent* owner);
  // Tells every component that asked for it, frees the owned components (last created
  // first), then leaves the owner.
  ~TComponent() override;
  void BeforeDestruction() override;

  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return int(FComponents.size()); }
  TComponent* Components(int index) const;
  int ComponentIndex() const;
  void SetComponentIndex(int index);
  TComponent* FindComponent(const String& name) const;  // case-insensitive; nullptr when none
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  void DestroyComponents();

  const String& Name() const { return FName; }
  // Raises EComponentError for an invalid identifier or a name taken within the owner.
  virtual void SetName(const String& name);
  NativeInt Tag() const { return FTag; }
  void SetTag(NativeInt tag) { FTag = tag; }
  TComponentState ComponentState() const { return FComponentState; }
  TComponentStyle ComponentStyle() const { return FComponentStyle; }
  void SetSubComponent(bool value);

  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);
  // Told of components inserted into or removed from the owner tree, and of the death of
  // components this one asked FreeNotification of; the default passes it to owned components.
  virtual void Notification(TComponent* component, TOperation operation);

  String GetNamePath() const override;
  TPersistent* GetOwner() const override { return FOwner; }

  // The streaming hooks.
  virtual bool HasParent() const { return false; }
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent* parent) {}
  virtual void GetChildren(const TGetChildProc& proc, TComponent* root);
  virtual TComponent* GetChildOwner() { return nullptr; }
  virtual TComponent* GetChildParent() { return this; }
  virtual void SetChildOrder(TComponent* child, int order) {}
  virtual void ReadState(TReader& reader);
  virtual void WriteState(TWriter& writer);
  // After the whole stream was read; clears csLoading. Safe to call again.
  virtual void Loaded();
  virtual void Loading() { FComponentState.Include(csLoading); }
  virtual void Updating() { FComponentState.Include(csUpdating); }
  virtual void Updated() { FComponentState.Exclude(csUpdating); }
  virtual void Destroying();
  virtual void ValidateRename(TComponent* component, const String& curName, const String& newName);
  virtual void ValidateContainer(TComponent* component) {}
  virtual void ValidateInsert(TComponent* component) {}

  virtual bool ExecuteAction(TBasicAction* action) { return false; }
  virtual bool UpdateAction(TBasicAction* action) { return false; }

  // State changes the streaming system and the designer make.
  void SetDesigning(bool value, bool setChildren = true);
  void SetInline(bool value);
  void SetAncestor(bool value);
  void SetDesignInstance(bool value);
  void IncludeState(TComponentStateFlag flag) { FComponentState.Include(flag); }
  void ExcludeState(TComponentStateFlag flag) { FComponentState.Exclude(flag); }

protected:
  void ChangeName(const String& name);
  TComponentState FComponentState;
  TComponentStyle FComponentStyle = {csInheritable};

private:
  void Insert(TComponent* component);
  void Remove(TComponent* component);
  void RemoveNotification(TComponent* component);
  TComponent* FOwner = nullptr;
  String FName;
  NativeInt FTag = 0;
  std::vector<TComponent*> FComponents;
  // Owned components by upper-cased name, so that finding and validating names stays fast
  // on forms with thousands of components.
  std::unordered_map<String, TComponent*> FNames;
  std::vector<TComponent*> FFreeNotifies;
};

// The host's test for a component name.
bool IsValidComponentName(const String& name);

// Called inside a catch block where an exception must not escape (a timer or window
// callback); the application sets it to report the exception and go on. Unset, the message
// goes to the debugger output.
extern void (*ApplicationHandleException)(TObject* sender);
// Hands the exception being handled to ApplicationHandleException; call it only in a catch.
void KwHandleCurrentException(TObject* sender);

}  // namespace kw
