// Actions and action lists: execution and updating through the list, the application and the
// focused control, the values handed to linked clients, groups of checked actions, shortcuts.
// The clients' side of the links is in Controls.cpp, Menus.cpp and StdCtrls.cpp.
#include "host/ActnList.h"

#include <algorithm>

#include "host/Application.h"
#include "host/Forms.h"
#include "host/Menus.h"
#include "host/Stringlist.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw {

KW_DEFINE_ENUM(TActionListState, L"asNormal", L"asSuspended", L"asSuspendedEnabled")

// --- TContainedAction -------------------------------------------------------------------

KW_BEGIN_CLASS(TContainedAction, TBasicAction) {
  b.Prop(L"Category", &TContainedAction::Category, &TContainedAction::SetCategory).Default(L"");
}

TContainedAction::TContainedAction(TComponent* owner) : TBasicAction(owner) {}

TContainedAction::~TContainedAction() { SetActionList(nullptr); }

void TContainedAction::SetActionList(TCustomActionList* v) {
  if (v == FActionList) return;
  if (FActionList) FActionList->RemoveAction(this);
  if (v) v->AddAction(this);
}

int TContainedAction::Index() const { return FActionList ? FActionList->IndexOf(this) : -1; }

void TContainedAction::SetIndex(int v) {
  if (!FActionList) return;
  auto& list = FActionList->FActions;
  int cur = Index();
  v = std::clamp(v, 0, int(list.size()) - 1);
  if (cur == v) return;
  list.erase(list.begin() + cur);
  list.insert(list.begin() + v, this);
}

void TContainedAction::SetCategory(const String& v) {
  if (v == FCategory) return;
  FCategory = v;
  if (FActionList) FActionList->Change();
}

bool TContainedAction::Suspended() const { return FActionList && FActionList->State() != asNormal; }

TComponent* TContainedAction::GetParentComponent() const { return FActionList; }

void TContainedAction::SetParentComponent(TComponent* parent) {
  if (auto* list = dynamic_cast<TCustomActionList*>(parent)) SetActionList(list);
}

bool TContainedAction::Execute() {
  if (FActionList && FActionList->ExecuteAction(this)) return true;
  if (Application()->ExecuteAction(this)) return true;
  if (TBasicAction::Execute()) return true;
  // Nobody handles it: the focused control and its form may know the action.
  TWinControl* focused = Screen()->ActiveControl();
  if (focused && focused->ExecuteAction(this)) return true;
  TCustomForm* form = Screen()->ActiveCustomForm();
  return form && form->ExecuteAction(this);
}

bool TContainedAction::Update() {
  if (FActionList && FActionList->UpdateAction(this)) return true;
  if (Application()->UpdateAction(this)) return true;
  return TBasicAction::Update();
}

// --- TCustomAction -----------------------------------------------------------------------

KW_BEGIN_CLASS(TCustomAction, TContainedAction) {
  b.Prop(L"AutoCheck", &TCustomAction::AutoCheck, &TCustomAction::SetAutoCheck).Default(false);
  b.Prop(L"Caption", &TCustomAction::Caption, &TCustomAction::SetCaption).Default(L"");
  b.Prop(L"Checked", &TCustomAction::Checked, &TCustomAction::SetChecked).Default(false);
  b.Prop(L"DisableIfNoHandler", &TCustomAction::DisableIfNoHandler, &TCustomAction::SetDisableIfNoHandler)
      .Default(true);
  b.Prop(L"Enabled", &TCustomAction::Enabled, &TCustomAction::SetEnabled).Default(true);
  b.Prop(L"GroupIndex", &TCustomAction::GroupIndex, &TCustomAction::SetGroupIndex).Default(0);
  b.Prop(L"HelpContext", &TCustomAction::HelpContext, &TCustomAction::SetHelpContext).Default(0);
  b.Prop(L"Hint", &TCustomAction::Hint, &TCustomAction::SetHint).Default(L"");
  b.Prop(L"ImageIndex", &TCustomAction::ImageIndex, &TCustomAction::SetImageIndex).Default(-1);
  b.Prop(L"ShortCut", &TCustomAction::ShortCut, &TCustomAction::SetShortCut).Default(0);
  b.Prop(L"Visible", &TCustomAction::Visible, &TCustomAction::SetVisible).Default(true);
  b.Event(L"OnHint", &TCustomAction::OnHint);
}

KW_REGISTER_CLASS(TAction, TCustomAction)

TCustomAction::TCustomAction(TComponent* owner) : TContainedAction(owner) {}

template <class F>
void TCustomAction::ForLinks(F f) {
  std::vector<TBasicActionLink*> clients = FClients;
  for (TBasicActionLink* c : clients) {
    if (std::find(FClients.begin(), FClients.end(), c) == FClients.end()) continue;
    if (auto* link = dynamic_cast<TActionLink*>(c)) f(link);
  }
}

void TCustomAction::SetCaption(const String& v) {
  if (v == FCaption) return;
  ForLinks([&](TActionLink* l) { l->SetCaption(v); });
  FCaption = v;
  Change();
}

void TCustomAction::SetChecked(bool v) {
  if (v == FChecked || FChecking) return;
  FChecking = true;
  try {
    ForLinks([&](TActionLink* l) { l->SetChecked(v); });
    FChecked = v;
    if (FGroupIndex > 0 && v && ActionList()) {
      for (int i = 0; i < ActionList()->ActionCount(); ++i) {
        auto* other = dynamic_cast<TCustomAction*>(ActionList()->Actions(i));
        if (other && other != this && other->FGroupIndex == FGroupIndex) other->SetChecked(false);
      }
    }
    Change();
  } catch (...) {
    FChecking = false;
    throw;
  }
  FChecking = false;
}

void TCustomAction::SetEnabled(bool v) {
  if (v == FEnabled) return;
  // A list suspended with its actions enabled keeps them so.
  if (ActionList() && ActionList()->State() == asSuspendedEnabled && !v) return;
  ForLinks([&](TActionLink* l) { l->SetEnabled(v); });
  FEnabled = v;
  Change();
}

void TCustomAction::SetVisible(bool v) {
  if (v == FVisible) return;
  ForLinks([&](TActionLink* l) { l->SetVisible(v); });
  FVisible = v;
  Change();
}

void TCustomAction::SetHint(const String& v) {
  if (v == FHint) return;
  ForLinks([&](TActionLink* l) { l->SetHint(v); });
  FHint = v;
  Change();
}

void TCustomAction::SetImageIndex(int v) {
  if (v == FImageIndex) return;
  ForLinks([&](TActionLink* l) { l->SetImageIndex(v); });
  FImageIndex = v;
  Change();
}

void TCustomAction::SetShortCut(Word v) {
  if (v == FShortCut) return;
  ForLinks([&](TActionLink* l) { l->SetShortCut(v); });
  FShortCut = v;
  Change();
}

void TCustomAction::SetHelpContext(int v) {
  if (v == FHelpContext) return;
  ForLinks([&](TActionLink* l) { l->SetHelpContext(v); });
  FHelpContext = v;
  Change();
}

void TCustomAction::SetGroupIndex(int v) {
  if (v == FGroupIndex) return;
  ForLinks([&](TActionLink* l) { l->SetGroupIndex(v); });
  FGroupIndex = v;
  // Joining a group with a checked member leaves one checked: the newcomer gives way.
  if (FChecked && v > 0 && ActionList()) {
    for (int i = 0; i < ActionList()->ActionCount(); ++i) {
      auto* other = dynamic_cast<TCustomAction*>(ActionList()->Actions(i));
      if (other && other != this && other->FGroupIndex == v && other->FChecked) {
        SetChecked(false);
        break;
      }
    }
  }
  Change();
}

void TCustomAction::SetAutoCheck(bool v) {
  if (v == FAutoCheck) return;
  ForLinks([&](TActionLink* l) { l->SetAutoCheck(v); });
  FAutoCheck = v;
  Change();
}

bool TCustomAction::Execute() {
  if (Suspended()) return false;
  Update();
  if (FEnabled && FAutoCheck && (!FChecked || FGroupIndex == 0)) SetChecked(!FChecked);
  return FEnabled && TContainedAction::Execute();
}

bool TCustomAction::Update() {
  if (ActionList() && ActionList()->State() != asNormal) return false;
  bool handled = TContainedAction::Update();
  // Never enables: an action switched off in code stays off.
  if (!handled && FDisableIfNoHandler && !OnExecute && !(ActionList() && ActionList()->OnExecute)) SetEnabled(false);
  return handled;
}

bool TCustomAction::HandleShortCut(Word shortCut) {
  if (shortCut == 0 || shortCut != FShortCut) return false;
  // As the host does, a hidden action's key still works; a disabled one's does not.
  return Execute();
}

// --- TCustomActionList ---------------------------------------------------------------------

KW_BEGIN_CLASS(TCustomActionList, TComponent) {
  b.Prop(L"State", &TCustomActionList::State, &TCustomActionList::SetState).Default(asNormal);
  b.Event(L"OnChange", &TCustomActionList::OnChange);
  b.Event(L"OnExecute", &TCustomActionList::OnExecute);
  b.Event(L"OnStateChange", &TCustomActionList::OnStateChange);
  b.Event(L"OnUpdate", &TCustomActionList::OnUpdate);
}

KW_REGISTER_CLASS(TActionList, TCustomActionList)

TCustomActionList::TCustomActionList(TComponent* owner) : TComponent(owner) {}

TCustomActionList::~TCustomActionList() {
  while (!FActions.empty()) {
    TContainedAction* a = FActions.back();
    RemoveAction(a);
    a->Free();
  }
}

TContainedAction* TCustomActionList::Actions(int index) const {
  if (index < 0 || index >= ActionCount()) throw EListError(Format(SRes::SListIndexError, {index}));
  return FActions[size_t(index)];
}

int TCustomActionList::IndexOf(const TContainedAction* action) const {
  auto it = std::find(FActions.begin(), FActions.end(), action);
  return it == FActions.end() ? -1 : int(it - FActions.begin());
}

std::vector<TContainedAction*> TCustomActionList::ActionsOfCategory(const String& category) const {
  std::vector<TContainedAction*> out;
  for (TContainedAction* a : FActions)
    if (SameText(a->Category(), category)) out.push_back(a);
  return out;
}

void TCustomActionList::GetCategories(TStrings* list) const {
  list->BeginUpdate();
  list->Clear();
  for (TContainedAction* a : FActions) {
    bool seen = false;
    for (int i = 0; i < list->Count() && !seen; ++i) seen = SameText(list->Strings(i), a->Category());
    if (!seen) list->Add(a->Category());
  }
  list->EndUpdate();
}

void TCustomActionList::SetState(TActionListState v) {
  if (v == FState) return;
  FState = v;
  if (v == asSuspendedEnabled) {
    for (TContainedAction* a : FActions)
      if (auto* c = dynamic_cast<TCustomAction*>(a)) c->SetEnabled(true);
  }
  OnStateChange(this);
}

void TCustomActionList::AddAction(TContainedAction* action) {
  FActions.push_back(action);
  action->FActionList = this;
  action->FreeNotification(this);
  Change();
}

void TCustomActionList::RemoveAction(TContainedAction* action) {
  auto it = std::find(FActions.begin(), FActions.end(), action);
  if (it == FActions.end()) return;
  FActions.erase(it);
  action->FActionList = nullptr;
  action->RemoveFreeNotification(this);
  if (!FComponentState.Contains(csDestroying)) Change();
}

void TCustomActionList::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove) {
    if (auto* a = dynamic_cast<TContainedAction*>(component)) RemoveAction(a);
  }
}

bool TCustomActionList::ExecuteAction(TBasicAction* action) {
  bool handled = false;
  OnExecute(action, handled);
  return handled;
}

bool TCustomActionList::UpdateAction(TBasicAction* action) {
  bool handled = false;
  OnUpdate(action, handled);
  return handled;
}

bool TCustomActionList::IsShortCut(TWMKey& message) {
  if (FState != asNormal) return false;
  TShortCut sc = ShortCutFromMessage(message);
  if (sc == 0) return false;
  std::vector<TContainedAction*> actions = FActions;
  for (TContainedAction* a : actions) {
    auto* c = dynamic_cast<TCustomAction*>(a);
    if (c && c->HandleShortCut(sc)) return true;
  }
  return false;
}

void TCustomActionList::GetChildren(const TGetChildProc& proc, TComponent* root) {
  for (TContainedAction* a : FActions)
    if (a->Owner() == root) proc(a);
}

void TCustomActionList::SetChildOrder(TComponent* child, int order) {
  if (auto* a = dynamic_cast<TContainedAction*>(child)) {
    if (a->ActionList() == this) a->SetIndex(order);
  }
}

bool KwDispatchShortCut(TComponent* owner, TWMKey& message) {
  if (!owner) return false;
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    if (auto* list = dynamic_cast<TCustomActionList*>(owner->Components(i))) {
      if (list->IsShortCut(message)) return true;
    }
  }
  return false;
}

}  // namespace kw
