// The standard dataset actions: the target test, execution on the data source's dataset and
// the enabled state each operation takes from the dataset's state and position.
#include "host/Dbactions.h"

#include "host/Typreg.h"

namespace kw {

KW_BEGIN_CLASS(TDataSetAction, TAction) {
  b.Prop(L"DataSource", &TDataSetAction::DataSource, &TDataSetAction::SetDataSource);
}

TDataSetAction::~TDataSetAction() { SetDataSource(nullptr); }

void TDataSetAction::SetDataSource(TDataSource* v) {
  if (v == FDataSource) return;
  if (FDataSource) FDataSource->RemoveFreeNotification(this);
  FDataSource = v;
  if (v) v->FreeNotification(this);
}

void TDataSetAction::Notification(TComponent* component, TOperation operation) {
  TAction::Notification(component, operation);
  if (operation == opRemove && component == FDataSource) FDataSource = nullptr;
}

bool TDataSetAction::HandlesTarget(TObject* target) {
  auto* source = dynamic_cast<TDataSource*>(target);
  if (!source || !source->DataSet()) return false;
  return !FDataSource || source == FDataSource;
}

TDataSet* TDataSetAction::GetDataSet(TObject* target) const {
  auto* source = dynamic_cast<TDataSource*>(target);
  return source ? source->DataSet() : nullptr;
}

bool TDataSetAction::Execute() {
  if (OnExecute) return TAction::Execute();
  if (!FDataSource || !HandlesTarget(FDataSource)) return false;
  if (!Enabled()) return false;
  ExecuteTarget(FDataSource);
  return true;
}

bool TDataSetAction::Update() {
  if (OnUpdate) return TAction::Update();
  if (!FDataSource || !HandlesTarget(FDataSource)) return false;
  UpdateTarget(FDataSource);
  return true;
}

#define KW_ACTION_BODY(Name, Exec, Enable)                                           \
  KW_REGISTER_CLASS(Name, TDataSetAction)                                            \
  void Name::ExecuteTarget(TObject* target) {                                        \
    if (TDataSet* ds = GetDataSet(target)) ds->Exec();                               \
  }                                                                                  \
  void Name::UpdateTarget(TObject* target) {                                         \
    TDataSet* ds = GetDataSet(target);                                               \
    SetEnabled(ds && ds->Active() && (Enable));                                      \
  }

KW_ACTION_BODY(TDataSetFirst, First, !ds->Bof())
KW_ACTION_BODY(TDataSetPrior, Prior, !ds->Bof())
KW_ACTION_BODY(TDataSetNext, Next, !ds->Eof())
KW_ACTION_BODY(TDataSetLast, Last, !ds->Eof())
KW_ACTION_BODY(TDataSetInsert, Insert, ds->CanModify() && !KwIsEditMode(ds->State()))
KW_ACTION_BODY(TDataSetDelete, Delete, ds->CanModify() && !(ds->Bof() && ds->Eof()))
KW_ACTION_BODY(TDataSetEdit, Edit, ds->CanModify() && !KwIsEditMode(ds->State()))
KW_ACTION_BODY(TDataSetPost, Post, KwIsEditMode(ds->State()))
KW_ACTION_BODY(TDataSetCancel, Cancel, KwIsEditMode(ds->State()))
KW_ACTION_BODY(TDataSetRefresh, Refresh, true)

#undef KW_ACTION_BODY

}  // namespace kw
