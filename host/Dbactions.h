// The standard dataset actions (first, prior, next, last, insert, delete, edit, post, cancel,
// refresh): each handles a data source target, runs its operation and states when it applies.
// They stand on TBasicAction through TDataSetAction until the action list's TAction is there.
#pragma once

#include "host/Controls.h"
#include "host/Db.h"

namespace kw {

class TDataSetAction : public TBasicAction {
  KW_CLASS(TDataSetAction, TBasicAction)
  explicit TDataSetAction(TComponent* owner) : TBasicAction(owner) {}
  ~TDataSetAction() override;
  // The fixed target; without one the action takes any data source offered to it.
  TDataSource* DataSource() const { return FDataSource; }
  void SetDataSource(TDataSource* v);
  // Whether the operation applies now, as UpdateTarget last found it.
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  bool HandlesTarget(TObject* target) override;
  // OnExecute / OnUpdate when assigned, else the action's own data source.
  bool Execute() override;
  bool Update() override;
  void Notification(TComponent* component, TOperation operation) override;

protected:
  TDataSet* GetDataSet(TObject* target) const;

private:
  TDataSource* FDataSource = nullptr;
  bool FEnabled = true;
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
