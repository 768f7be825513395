// Two host data controls bound to a field through TFieldDataLink: TDBEdit (edits the field
// of the current record) and TDBText (shows it, and paints other records' values as copies).
// Grids, memos, images and lookup controls are not here.
#pragma once

#include "host/Db.h"
#include "host/StdCtrls.h"

struct HDC__;

namespace kw {

class TDBEdit : public TCustomEdit {
  KW_CLASS(TDBEdit, TCustomEdit)
  explicit TDBEdit(TComponent* owner);
  ~TDBEdit() override;

  TDataSource* DataSource() const { return FDataLink->DataSource(); }
  void SetDataSource(TDataSource* v);
  const String& DataField() const { return FDataLink->FieldName(); }
  void SetDataField(const String& v) { FDataLink->SetFieldName(v); }
  TField* Field() const { return FDataLink->Field(); }
  TFieldDataLink* DataLink() const { return FDataLink.get(); }
  // The link's read-only flag; the window is read-only also while the field cannot be edited.
  bool ReadOnly() const { return FDataLink->ReadOnly(); }
  void SetReadOnly(bool v);

  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  bool ExecuteAction(TBasicAction* action) override;
  bool UpdateAction(TBasicAction* action) override;

protected:
  void Change() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(wchar_t& key) override;

private:
  void DataChange(TObject* sender);
  void EditingChange(TObject* sender);
  void UpdateData(TObject* sender);
  void PaintFieldText(HDC__* dc);
  std::unique_ptr<TFieldDataLink> FDataLink;
  bool FFocused = false;
};

class TDBText : public TCustomLabel {
  KW_CLASS(TDBText, TCustomLabel)
  explicit TDBText(TComponent* owner);
  ~TDBText() override;

  TDataSource* DataSource() const { return FDataLink->DataSource(); }
  void SetDataSource(TDataSource* v);
  const String& DataField() const { return FDataLink->FieldName(); }
  void SetDataField(const String& v) { FDataLink->SetFieldName(v); }
  TField* Field() const { return FDataLink->Field(); }
  TFieldDataLink* DataLink() const { return FDataLink.get(); }

  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  bool ExecuteAction(TBasicAction* action) override;
  bool UpdateAction(TBasicAction* action) override;

protected:
  // The field's display text of the record the link points at (another one while a grid
  // paints copies with csPaintCopy).
  String GetLabelText() const override;

private:
  void DataChange(TObject* sender);
  std::unique_ptr<TFieldDataLink> FDataLink;
};

}  // namespace kw
