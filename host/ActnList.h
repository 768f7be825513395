// Actions: actions kept in an action list with a category (TContainedAction), actions with a
// caption, check mark, group, shortcut and image that their linked controls and menu items
// show (TCustomAction, TAction), and the action list. Standard actions are left out.
#pragma once

#include <vector>

#include "host/Controls.h"

namespace kw {

class TCustomActionList;
class TStrings;
struct TWMKey;

using TActionEvent = TEvent<void(TBasicAction* Action, bool& Handled)>;
using THintEvent = TEvent<void(String& HintStr, bool& CanShow)>;

enum TActionListState { asNormal, asSuspended, asSuspendedEnabled };
KW_DECLARE_ENUM(TActionListState)

class TContainedAction : public TBasicAction {
  KW_CLASS(TContainedAction, TBasicAction)
  explicit TContainedAction(TComponent* owner);
  ~TContainedAction() override;

  TCustomActionList* ActionList() const { return FActionList; }
  void SetActionList(TCustomActionList* v);
  int Index() const;
  void SetIndex(int v);
  const String& Category() const { return FCategory; }
  void SetCategory(const String& v);
  // The list's OnExecute, the application's, the action's own, then the focused control.
  bool Execute() override;
  bool Update() override;
  // True while the list is suspended.
  bool Suspended() const;

  bool HasParent() const override { return FActionList != nullptr; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

private:
  friend class TCustomActionList;
  TCustomActionList* FActionList = nullptr;
  String FCategory;
};

class TCustomAction : public TContainedAction {
  KW_CLASS(TCustomAction, TContainedAction)
  explicit TCustomAction(TComponent* owner);

  const String& Caption() const { return FCaption; }
  void SetCaption(const String& v);
  // A checked action with a GroupIndex above 0 unchecks the others of its group in its list.
  bool Checked() const { return FChecked; }
  void SetChecked(bool v);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  const String& Hint() const { return FHint; }
  void SetHint(const String& v);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int v);
  Word ShortCut() const { return FShortCut; }
  void SetShortCut(Word v);
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int v);
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int v);
  // Executing toggles Checked first (a checked action of a group stays checked).
  bool AutoCheck() const { return FAutoCheck; }
  void SetAutoCheck(bool v);
  // An action without OnExecute (its list's included) that no update handles is disabled.
  bool DisableIfNoHandler() const { return FDisableIfNoHandler; }
  void SetDisableIfNoHandler(bool v) { FDisableIfNoHandler = v; }

  bool Execute() override;
  bool Update() override;
  // Executes the action when shortcut is its own and it is enabled after an update.
  bool HandleShortCut(Word shortCut);

  THintEvent OnHint;

protected:
  // Applies f to every client link that carries these values.
  template <class F>
  void ForLinks(F f);
  String FCaption;
  bool FChecked = false;
  bool FChecking = false;
  bool FEnabled = true;
  bool FVisible = true;
  String FHint;
  int FImageIndex = -1;
  Word FShortCut = 0;
  int FHelpContext = 0;
  int FGroupIndex = 0;
  bool FAutoCheck = false;
  bool FDisableIfNoHandler = true;
};

class TAction : public TCustomAction {
  KW_CLASS(TAction, TCustomAction)
  explicit TAction(TComponent* owner) : TCustomAction(owner) {}
};

class TCustomActionList : public TComponent {
  KW_CLASS(TCustomActionList, TComponent)
  explicit TCustomActionList(TComponent* owner);
  // Frees its actions.
  ~TCustomActionList() override;

  int ActionCount() const { return int(FActions.size()); }
  TContainedAction* Actions(int index) const;
  int IndexOf(const TContainedAction* action) const;
  // The actions of one category, in list order.
  std::vector<TContainedAction*> ActionsOfCategory(const String& category) const;
  // Every category once, in order of first use; the empty category included when used.
  void GetCategories(TStrings* list) const;
  TActionListState State() const { return FState; }
  void SetState(TActionListState v);

  bool ExecuteAction(TBasicAction* action) override;
  bool UpdateAction(TBasicAction* action) override;
  // The enabled action of the key's shortcut is executed; true when one was.
  virtual bool IsShortCut(TWMKey& message);
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;
  void SetChildOrder(TComponent* child, int order) override;
  void Notification(TComponent* component, TOperation operation) override;

  TActionEvent OnExecute;
  TActionEvent OnUpdate;
  TNotifyEvent OnChange;
  TNotifyEvent OnStateChange;

protected:
  friend class TContainedAction;
  void AddAction(TContainedAction* action);
  void RemoveAction(TContainedAction* action);
  virtual void Change() { OnChange(this); }
  std::vector<TContainedAction*> FActions;
  TActionListState FState = asNormal;
};

class TActionList : public TCustomActionList {
  KW_CLASS(TActionList, TCustomActionList)
  explicit TActionList(TComponent* owner) : TCustomActionList(owner) {}
};

// Offers a key to the action lists owned by owner; true when one executed an action.
bool KwDispatchShortCut(TComponent* owner, TWMKey& message);

}  // namespace kw
