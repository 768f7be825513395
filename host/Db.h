// Data access: the abstract dataset (state machine, navigation, editing, events, the data
// events it sends), data sources, and data links with the field data link. Fields, field
// definitions and EDatabaseError with its texts are in Dbfields.h; the in-memory dataset in
// Memdata.h. No master-detail links, filters, bookmarks or cached updates.
#pragma once

#include <memory>
#include <vector>

#include "host/Classes.h"
#include "host/Dbfields.h"

namespace kw {

class TDataSource;
class TDataLink;
class TStream;
class TBasicAction;
class TControl;

enum TDataSetState {
  dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue,
  dsOldValue, dsCurValue, dsBlockRead, dsInternalCalc, dsOpening
};
KW_DECLARE_ENUM(TDataSetState)

enum TDataEvent {
  deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange,
  deUpdateRecord, deUpdateState, deCheckBrowseMode, dePropertyChange, deFieldListChange,
  deFocusControl, deParentScroll, deConnectChange, deReconcileError, deDisabledStateChange
};

enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

inline bool KwIsEditMode(TDataSetState s) { return s == dsEdit || s == dsInsert; }

using TDataSetNotifyEvent = TEvent<void(TDataSet* DataSet)>;

// A dataset addresses its rows by number (0-based) through the Internal* hooks below; the
// base keeps the cursor, the current record's buffer, the edit buffer and the state machine.
// Record buffers hold one variant per field slot: data fields first (by field number), then
// calculated and lookup fields.
class TDataSet : public TComponent {
  KW_CLASS(TDataSet, TComponent)
  explicit TDataSet(TComponent* owner);
  ~TDataSet() override;

  void Open();
  void Close();
  bool Active() const { return FState != dsInactive; }
  void SetActive(bool v);
  TDataSetState State() const { return FState; }

  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves up to distance records; gives how far it went. Sets Bof or Eof when it hit an edge.
  int MoveBy(int distance);
  bool Bof() const { return FBof; }
  bool Eof() const { return FEof; }
  bool IsEmpty() const;
  virtual int RecordCount() const;
  // 1-based number of the current record; 0 when there is none, -1 while inserting.
  virtual int RecNo() const;
  virtual void SetRecNo(int value);

  void Insert();
  void Append();
  void Edit();
  void Post();
  void Cancel();
  void Delete();
  void Refresh();
  void CheckBrowseMode();
  void UpdateRecord();
  bool Modified() const { return FModified; }
  virtual bool CanModify() const { return Active() && !FReadOnly; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v);
  // Finds the first record whose fields (names separated by ';') equal values, and goes there.
  bool Locate(const String& keyFields, const std::vector<Variant>& values, bool caseInsensitive = false);
  // The result fields' value (an array for several) of the first matching record; Null when none.
  virtual Variant Lookup(const String& keyFields, const std::vector<Variant>& values, const String& resultFields);

  TFields* Fields() const { return FFields.get(); }
  TFieldDefs* FieldDefs() const { return FFieldDefs.get(); }
  void SetFieldDefs(const TFieldDefs* v);
  TField* FindField(const String& name) const { return FFields->FindField(name); }
  TField* FieldByName(const String& name) const { return FFields->FieldByName(name); }
  int FieldCount() const { return FFields->Count(); }
  bool DefaultFields() const { return FDefaultFields; }
  // Owned by the caller. Raises for a closed dataset or a field that is not a blob field.
  virtual TStream* CreateBlobStream(TField* field, TBlobStreamMode mode);

  // Raise the host's closed or open dataset error.
  void CheckActive() const;
  void CheckInactive() const;

  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return FDisableCount > 0; }

  // The record buffer fields read and write now: the edit buffer while editing the current
  // record, the key buffer in dsSetKey, another record's while a link paints copies.
  std::vector<Variant>& ActiveBuffer();
  // Sends a data event to every data source (held back while controls are disabled).
  void DataEvent(TDataEvent event, NativeInt info);
  // Moves the record fields read without moving the cursor (for links painting copies):
  // index is a record number, -1 the current record.
  void SetTempRecord(int index);
  int CurrentIndex() const { return FCur; }
  // The row fields read now: the one SetTempRecord chose, else the current one.
  int ActiveIndex() const { return FTempIndex >= 0 ? FTempIndex : FCur; }
  // Asks the data sources' links to focus the control of a field.
  void FocusField(TField* field);

  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
  TDataSetNotifyEvent OnNewRecord, OnCalcFields;

  void Loaded() override;
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;

protected:
  friend class TField;
  friend class TFields;
  friend class TDataSource;
  friend class TFieldDefs;

  // The row source. InternalOpen makes the field definitions available (InitFieldDefs).
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual void InternalInitFieldDefs() = 0;
  virtual int InternalRecordCount() const = 0;
  // Fills the data slots (0 .. FieldDefs count - 1) of values from the row at index.
  virtual void InternalGetRecord(int index, std::vector<Variant>& values) = 0;
  // Stores the edit buffer: a new row (before the row at index, at the end when index is the
  // count) or the row at index; gives the row number where the record now stands.
  virtual int InternalPost(int index, bool inserting, std::vector<Variant>& values) = 0;
  virtual void InternalDelete(int index) = 0;
  virtual void InternalRefresh() {}
  // Fresh record values: all Null; descendants add defaults.
  virtual void InternalInitRecord(std::vector<Variant>& values);
  // The number of the first row at or after which the key buffer's index fields match
  // (dsSetKey); -1 when none. The base has no indexes.
  virtual int InternalGotoKey(const std::vector<Variant>& key, bool nearest) { return -1; }
  virtual void DoOnNewRecord() { OnNewRecord(this); }

  void InitFieldDefs();
  void CheckCanModify() const;
  void CheckRequiredFields();
  void SetState(TDataSetState value);
  void SetModified(bool value) { FModified = value; }
  // Reads the current record again and tells the links.
  void Resync();
  void CalculateFields(std::vector<Variant>& buffer);
  // Makes the row at index current (none for -1) and tells the links, without scroll events.
  void Reposition(int index);
  void BeginSetKey();
  bool EndSetKey(bool nearest);
  std::vector<Variant>& KeyBuffer() { return FKeyBuffer; }
  // Slot count of a record buffer.
  int BufferSize() const { return FBufferSize; }

private:
  void BeginInsert(bool atEnd);
  void CreateFields();
  void BindFields(bool binding);
  void DestroyDefaultFields();
  void FetchCurrent();
  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);
  void ClearBuffers();

  TDataSetState FState = dsInactive;
  std::unique_ptr<TFields> FFields;
  std::unique_ptr<TFieldDefs> FFieldDefs;
  std::vector<TDataSource*> FDataSources;
  std::vector<Variant> FCurBuffer, FEditBuffer, FTempBuffer, FKeyBuffer;
  int FBufferSize = 0;
  int FCur = -1;          // the current row number (the new record's place while inserting); -1: none
  int FInsertAt = -1;     // where an inserted record goes
  int FSavedCur = -1;     // the current row before Insert, for Cancel
  int FTempIndex = -1;    // the row SetTempRecord points at
  std::vector<Variant>* FCalcBuffer = nullptr;
  bool FBof = true, FEof = true;
  bool FModified = false;
  bool FReadOnly = false;
  bool FDefaultFields = false;
  bool FStreamedActive = false;
  int FDisableCount = 0;
  TDataSetState FDisableState = dsInactive;
  TDataEvent FEnableEvent = deDataSetChange;
};

using TDataChangeEvent = TEvent<void(TObject* Sender, TField* Field)>;

// Connects data links to a dataset: passes the dataset's data events on, tracks its state
// and answers AutoEdit.
class TDataSource : public TComponent {
  KW_CLASS(TDataSource, TComponent)
  explicit TDataSource(TComponent* owner);
  ~TDataSource() override;

  TDataSet* DataSet() const { return FDataSet; }
  void SetDataSet(TDataSet* v);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  bool AutoEdit() const { return FAutoEdit; }
  void SetAutoEdit(bool v) { FAutoEdit = v; }
  TDataSetState State() const { return FState; }
  // Puts the dataset into edit when AutoEdit allows and it is browsing.
  void Edit();
  int DataLinkCount() const { return int(FDataLinks.size()); }
  TDataLink* DataLinks(int i) const { return FDataLinks[i]; }

  TNotifyEvent OnStateChange;
  TDataChangeEvent OnDataChange;
  TNotifyEvent OnUpdateData;

private:
  friend class TDataSet;
  friend class TDataLink;
  void DataEvent(TDataEvent event, NativeInt info);
  void NotifyDataLinks(TDataEvent event, NativeInt info);
  void UpdateState();
  void SetState(TDataSetState v);
  void AddDataLink(TDataLink* link);
  void RemoveDataLink(TDataLink* link);
  TDataSet* FDataSet = nullptr;
  bool FEnabled = true;
  bool FAutoEdit = true;
  TDataSetState FState = dsInactive;
  std::vector<TDataLink*> FDataLinks;
};

// One client's view of a data source: virtual notifications for every data event, the
// client's record window (BufferCount, ActiveRecord) and its editing flag.
class TDataLink : public TPersistent {
  KW_CLASS(TDataLink, TPersistent)
  TDataLink();
  ~TDataLink() override;

  TDataSource* DataSource() const { return FDataSource; }
  void SetDataSource(TDataSource* v);
  TDataSet* DataSet() const;
  bool Active() const { return FActive; }
  bool Editing() const { return FEditing; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v);
  bool DataSourceFixed() const { return FDataSourceFixed; }
  void SetDataSourceFixed(bool v) { FDataSourceFixed = v; }
  // Puts the dataset into edit through the data source; true when the link is then editing.
  bool Edit();
  // Asks the client for its pending value (UpdateData), guarded against re-entry.
  void UpdateRecord();

  int BufferCount() const { return FBufferCount; }
  void SetBufferCount(int v);
  // The current record's place in the link's window of BufferCount records; setting it
  // points the fields at another record of the window (for painting copies).
  int ActiveRecord() const;
  void SetActiveRecord(int v);
  // Records in the window (at most BufferCount).
  int RecordCount() const;
  bool Bof() const;
  bool Eof() const;
  int MoveBy(int distance);

  virtual bool ExecuteAction(TBasicAction* action);
  virtual bool UpdateAction(TBasicAction* action);

protected:
  friend class TDataSource;
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int distance) { DataSetChanged(); }
  virtual void EditingChanged() {}
  virtual void FocusControl(TField** field) {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField* field) {}
  virtual void UpdateData() {}
  virtual void DataEvent(TDataEvent event, NativeInt info);

private:
  void UpdateState();
  void SetActive(bool v);
  void SetEditing(bool v);
  void UpdateRange();
  TDataSource* FDataSource = nullptr;
  bool FActive = false;
  bool FEditing = false;
  bool FReadOnly = false;
  bool FUpdating = false;
  bool FDataSourceFixed = false;
  int FBufferCount = 1;
  int FFirstRecord = 0;  // the row number shown first in the window
};

// The link of a control bound to one field: tracks the field by name, knows whether the
// control may change it, and calls the control back.
class TFieldDataLink : public TDataLink {
  KW_CLASS(TFieldDataLink, TDataLink)
  TFieldDataLink() = default;

  TComponent* Control() const { return FControl; }
  void SetControl(TComponent* v) { FControl = v; }
  const String& FieldName() const { return FFieldName; }
  void SetFieldName(const String& v);
  TField* Field() const { return FField; }
  bool CanModify() const;
  bool Editing() const { return FEditing; }
  bool Edit();
  bool Modified() const { return FModified; }
  // Marks the control's value as changed.
  void SetModified() { FModified = true; }
  // Re-reads the field into the control, dropping the pending change.
  void Reset() { RecordChanged(nullptr); }

  TNotifyEvent OnActiveChange;
  TNotifyEvent OnDataChange;
  TNotifyEvent OnEditingChange;
  TNotifyEvent OnUpdateData;

protected:
  void ActiveChanged() override;
  void EditingChanged() override;
  void FocusControl(TField** field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* field) override;
  void UpdateData() override;

private:
  void UpdateField();
  void SetField(TField* v);
  void SetFieldEditing(bool v);
  TComponent* FControl = nullptr;
  String FFieldName;
  TField* FField = nullptr;
  bool FEditing = false;
  bool FModified = false;
};

[[noreturn]] void DatabaseError(const String& message, TComponent* component = nullptr);
[[noreturn]] void DatabaseErrorFmt(const String& fmt, TVarRecs args, TComponent* component = nullptr);

}  // namespace kw
