// The standard dataset actions (first, prior, next, last, insert, delete, edit, post, cancel,
// refresh): each handles a data source target, runs its operation and states when it applies.
// They are actions of action lists (TAction), with a data source of their own or the one offered.
#pragma once

#include "host/ActnList.h"
#include "host/Controls.h"
#include "host/Db.h"

namespace kw {

class TDataSetAction : public TAction {
  KW_CLASS(TDataSetAction, TAction)
  explicit TDataSetAction(TComponent* owner) : TAction(owner) {}
  ~TDataSetAction() override;
  // The fixed target; without one the action takes any data source offered to it.
  TDataSource* DataSource() const { return FDataSource; }
  void SetDataSource(TDataSource* v);
  bool HandlesTarget(TObject* target) override;
  // OnExecute / OnUpdate when assigned, else the action's own data source.
  bool Execute() override;
  bool Update() override;
  void Notification(TComponent* component, TOperation operation) override;

protected:
  TDataSet* GetDataSet(TObject* target) const;

private:
  TDataSource* FDataSource = nullptr;
};

#define KW_DATASET_ACTION(Name)                                  \
  class Name : public TDataSetAction {                           \
    KW_CLASS(Name, TDataSetAction)                               \
    explicit Name(TComponent* owner) : TDataSetAction(owner) {}  \
    void ExecuteTarget(TObject* target) override;                \
    void UpdateTarget(TObject* target) override;                 \
  };

KW_DATASET_ACTION(TDataSetFirst)
KW_DATASET_ACTION(TDataSetPrior)
KW_DATASET_ACTION(TDataSetNext)
KW_DATASET_ACTION(TDataSetLast)
KW_DATASET_ACTION(TDataSetInsert)
KW_DATASET_ACTION(TDataSetDelete)
KW_DATASET_ACTION(TDataSetEdit)
KW_DATASET_ACTION(TDataSetPost)
KW_DATASET_ACTION(TDataSetCancel)
KW_DATASET_ACTION(TDataSetRefresh)

#undef KW_DATASET_ACTION

}  // namespace kw
