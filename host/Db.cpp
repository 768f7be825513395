// The dataset's state machine, cursor and events, data sources, data links and the field
// data link. Field classes are in Dbfields.cpp, blob streams in Dbblob.cpp, the in-memory
// dataset in Memdata.cpp.
#include "host/Db.h"

#include <algorithm>

#include "host/Controls.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw {

KW_DEFINE_ENUM(TDataSetState, L"dsInactive", L"dsBrowse", L"dsEdit", L"dsInsert", L"dsSetKey",
               L"dsCalcFields", L"dsFilter", L"dsNewValue", L"dsOldValue", L"dsCurValue",
               L"dsBlockRead", L"dsInternalCalc", L"dsOpening")

void DatabaseError(const String& message, TComponent* component) {
  if (component && !component->Name().empty()) throw EDatabaseError(component->Name() + L": " + message);
  throw EDatabaseError(message);
}

void DatabaseErrorFmt(const String& fmt, TVarRecs args, TComponent* component) {
  DatabaseError(Format(fmt, args), component);
}

namespace {

std::vector<String> SplitNames(const String& names) {
  std::vector<String> out;
  for (const String& s : SplitString(names, L";"))
    if (!Trim(s).empty()) out.push_back(Trim(s));
  return out;
}

bool SameValue(const Variant& a, const Variant& b, bool caseInsensitive) {
  bool an = a.IsNull() || a.IsEmpty(), bn = b.IsNull() || b.IsEmpty();
  if (an || bn) return an && bn;
  if (VarIsStr(a) && VarIsStr(b))
    return caseInsensitive ? AnsiSameText(a.AsString(), b.AsString()) : a.AsString() == b.AsString();
  try {
    return VarSameValue(a, b);
  } catch (const Exception&) {
    return false;  // a text that is no number never matches a number
  }
}

}  // namespace

// --- TDataSet -------------------------------------------------------------------------------

KW_BEGIN_CLASS(TDataSet, TComponent) {
  b.Prop(L"Active", &TDataSet::Active, &TDataSet::SetActive).Default(false);
  b.Prop(L"ReadOnly", &TDataSet::ReadOnly, &TDataSet::SetReadOnly).Default(false);
  b.Event(L"BeforeOpen", &TDataSet::BeforeOpen);
  b.Event(L"AfterOpen", &TDataSet::AfterOpen);
  b.Event(L"BeforeClose", &TDataSet::BeforeClose);
  b.Event(L"AfterClose", &TDataSet::AfterClose);
  b.Event(L"BeforeInsert", &TDataSet::BeforeInsert);
  b.Event(L"AfterInsert", &TDataSet::AfterInsert);
  b.Event(L"BeforeEdit", &TDataSet::BeforeEdit);
  b.Event(L"AfterEdit", &TDataSet::AfterEdit);
  b.Event(L"BeforePost", &TDataSet::BeforePost);
  b.Event(L"AfterPost", &TDataSet::AfterPost);
  b.Event(L"BeforeCancel", &TDataSet::BeforeCancel);
  b.Event(L"AfterCancel", &TDataSet::AfterCancel);
  b.Event(L"BeforeDelete", &TDataSet::BeforeDelete);
  b.Event(L"AfterDelete", &TDataSet::AfterDelete);
  b.Event(L"BeforeScroll", &TDataSet::BeforeScroll);
  b.Event(L"AfterScroll", &TDataSet::AfterScroll);
  b.Event(L"BeforeRefresh", &TDataSet::BeforeRefresh);
  b.Event(L"AfterRefresh", &TDataSet::AfterRefresh);
  b.Event(L"OnCalcFields", &TDataSet::OnCalcFields);
  b.Event(L"OnNewRecord", &TDataSet::OnNewRecord);
}

TDataSet::TDataSet(TComponent* owner)
    : TComponent(owner), FFields(std::make_unique<TFields>(this)), FFieldDefs(std::make_unique<TFieldDefs>(this)) {}

TDataSet::~TDataSet() {
  // Descendants close in their own destructors (their rows are gone by now); what is left is
  // the base's bookkeeping, done without calling into the descendant.
  if (FState != dsInactive) {
    FState = dsInactive;
    DataEvent(deUpdateState, 0);
  }
  while (!FDataSources.empty()) RemoveDataSource(FDataSources.back());
  DestroyDefaultFields();
  for (int i = FFields->Count() - 1; i >= 0; --i) FFields->Fields(i)->FDataSet = nullptr;
  FFields->Clear();
}

void TDataSet::SetActive(bool v) {
  if (FComponentState.Contains(csLoading)) {
    FStreamedActive = v;
    return;
  }
  if (v) Open();
  else Close();
}

void TDataSet::Loaded() {
  TComponent::Loaded();
  if (FStreamedActive) {
    FStreamedActive = false;
    Open();
  }
}

void TDataSet::GetChildren(const TGetChildProc& proc, TComponent* root) {
  for (int i = 0; i < FFields->Count(); ++i) {
    TField* f = FFields->Fields(i);
    if (f->Owner() == root) proc(f);
  }
}

void TDataSet::SetReadOnly(bool v) {
  if (v == FReadOnly) return;
  CheckInactive();
  FReadOnly = v;
}

void TDataSet::SetFieldDefs(const TFieldDefs* v) {
  CheckInactive();
  FFieldDefs->Assign(v);
}

void TDataSet::CheckActive() const {
  if (FState == dsInactive) DatabaseError(SDb::SDataSetClosed, const_cast<TDataSet*>(this));
}

void TDataSet::CheckInactive() const {
  if (FState != dsInactive) DatabaseError(SDb::SDataSetOpen, const_cast<TDataSet*>(this));
}

void TDataSet::CheckCanModify() const {
  if (!CanModify()) DatabaseError(SDb::SDataSetReadOnly, const_cast<TDataSet*>(this));
}

void TDataSet::InitFieldDefs() {
  InternalInitFieldDefs();
  FFieldDefs->SetUpdated(true);
}

void TDataSet::CreateFields() {
  for (int i = 0; i < FFieldDefs->Count(); ++i) {
    TFieldDef* d = FFieldDefs->Items(i);
    TClass cls = DefaultFieldClass(d->DataType());
    if (!cls) continue;
    auto* f = dynamic_cast<TField*>(cls->CreateInstance(this));
    f->FFieldName = d->Name();
    f->FDataType = d->DataType();
    if (d->Size() > 0 || f->IsBlob()) f->FSize = d->Size();
    if (d->Precision() > 0) f->FPrecision = d->Precision();
    f->FRequired = d->Required();
    FFields->Add(f);
    f->FDataSet = this;
  }
  FDefaultFields = true;
}

void TDataSet::DestroyDefaultFields() {
  if (!FDefaultFields) return;
  FDefaultFields = false;
  for (int i = FFields->Count() - 1; i >= 0; --i) {
    TField* f = FFields->Fields(i);
    if (f->Owner() == this) {
      FFields->Remove(f);
      f->FDataSet = nullptr;
      delete f;
    }
  }
}

void TDataSet::BindFields(bool binding) {
  int defs = FFieldDefs->Count(), extra = 0;
  for (int i = 0; i < FFields->Count(); ++i) {
    TField* f = FFields->Fields(i);
    if (!binding) {
      f->FSlot = -1;
      f->FFieldNo = 0;
      continue;
    }
    if (f->FieldName().empty()) DatabaseError(SDb::SFieldNameMissing, this);
    if (FFields->FindField(f->FieldName()) != f) DatabaseErrorFmt(SDb::SDuplicateFieldName, {f->FieldName()}, this);
    if (f->FFieldKind == fkData) {
      int d = FFieldDefs->IndexOf(f->FieldName());
      if (d < 0) DatabaseErrorFmt(SDb::SFieldNotFound, {f->FieldName()}, this);
      TFieldType dt = FFieldDefs->Items(d)->DataType();
      TClass want = DefaultFieldClass(dt);
      if (dt != f->FDataType && !(want && f->InheritsFrom(want)))
        DatabaseErrorFmt(SDb::SFieldTypeMismatch, {f->FieldName(), FieldTypeName(f->FDataType), FieldTypeName(dt)}, this);
      f->FDataType = dt;
      f->FFieldNo = d + 1;
      f->FSlot = d;
    } else {
      if (f->FFieldKind == fkLookup && (!f->FLookupDataSet || f->FKeyFields.empty() ||
                                        f->FLookupKeyFields.empty() || f->FLookupResultField.empty()))
        DatabaseErrorFmt(SDb::SLookupInfoError, {f->DisplayName()}, this);
      f->FFieldNo = -1;
      f->FSlot = defs + extra++;
    }
  }
  FBufferSize = binding ? defs + extra : 0;
}

void TDataSet::ClearBuffers() {
  FCurBuffer.assign(FBufferSize, Null());
  FEditBuffer.clear();
  FTempBuffer.clear();
  FKeyBuffer.clear();
  FTempIndex = -1;
}

void TDataSet::Open() {
  if (Active()) return;
  BeforeOpen(this);
  try {
    InternalOpen();
    if (!FFieldDefs->Updated()) InitFieldDefs();
    if (FFields->Count() == 0) CreateFields();
    BindFields(true);
  } catch (...) {
    BindFields(false);
    DestroyDefaultFields();
    try {
      InternalClose();
    } catch (...) {
    }
    throw;
  }
  ClearBuffers();
  int count = InternalRecordCount();
  FCur = count > 0 ? 0 : -1;
  FBof = true;
  FEof = count == 0;
  FModified = false;
  // The state must say browse before the first record's calculated fields run.
  FState = dsBrowse;
  FetchCurrent();
  FState = dsInactive;
  SetState(dsBrowse);
  AfterOpen(this);
  if (count > 0) AfterScroll(this);
}

void TDataSet::Close() {
  if (!Active()) return;
  BeforeClose(this);
  SetState(dsInactive);
  InternalClose();
  BindFields(false);
  DestroyDefaultFields();
  FCur = -1;
  FBof = FEof = true;
  ClearBuffers();
  FCurBuffer.clear();
  AfterClose(this);
}

void TDataSet::SetState(TDataSetState value) {
  if (FState == value) return;
  FState = value;
  FModified = false;
  DataEvent(deUpdateState, 0);
}

std::vector<Variant>& TDataSet::ActiveBuffer() {
  if (FState == dsCalcFields && FCalcBuffer) return *FCalcBuffer;
  if (FState == dsSetKey) return FKeyBuffer;
  if (FTempIndex >= 0) return FTempBuffer;
  if (KwIsEditMode(FState)) return FEditBuffer;
  return FCurBuffer;
}

void TDataSet::FetchCurrent() {
  FCurBuffer.assign(FBufferSize, Null());
  if (FCur >= 0) {
    InternalGetRecord(FCur, FCurBuffer);
    CalculateFields(FCurBuffer);
  }
}

void TDataSet::SetTempRecord(int index) {
  CheckActive();
  if (index < 0 || index == FCur) {
    FTempIndex = -1;
    return;
  }
  // While inserting, the new record stands at FCur and the rows from there on move down one.
  int row = FState == dsInsert && index > FCur ? index - 1 : index;
  if (row >= InternalRecordCount()) DatabaseError(SDb::SFieldIndexError, this);
  FTempBuffer.assign(FBufferSize, Null());
  InternalGetRecord(row, FTempBuffer);
  FTempIndex = -1;
  CalculateFields(FTempBuffer);
  FTempIndex = index;
}

void TDataSet::CalculateFields(std::vector<Variant>& buffer) {
  bool any = false;
  for (int i = 0; i < FFields->Count() && !any; ++i) any = FFields->Fields(i)->FFieldKind != fkData;
  if (!any) return;
  TDataSetState saved = FState;
  std::vector<Variant>* savedBuffer = FCalcBuffer;
  FCalcBuffer = &buffer;
  FState = dsCalcFields;
  struct Restore {
    TDataSet* ds;
    TDataSetState s;
    std::vector<Variant>* b;
    ~Restore() { ds->FState = s; ds->FCalcBuffer = b; }
  } restore{this, saved, savedBuffer};
  for (int i = 0; i < FFields->Count(); ++i) {
    TField* f = FFields->Fields(i);
    if (f->FFieldKind == fkCalculated) buffer[f->FSlot] = Null();
    if (f->FFieldKind != fkLookup) continue;
    std::vector<Variant> keys;
    bool nullKey = false;
    for (const String& k : SplitNames(f->FKeyFields)) {
      keys.push_back(FieldByName(k)->AsVariant());
      nullKey = nullKey || keys.back().IsNull();
    }
    buffer[f->FSlot] = nullKey || !f->FLookupDataSet || !f->FLookupDataSet->Active()
                           ? Null()
                           : f->FLookupDataSet->Lookup(f->FLookupKeyFields, keys, f->FLookupResultField);
  }
  OnCalcFields(this);
}

void TDataSet::DataEvent(TDataEvent event, NativeInt info) {
  if (event == deFieldChange) {
    auto* f = reinterpret_cast<TField*>(info);
    if (f->FFieldKind == fkData || f->FFieldKind == fkInternalCalc) FModified = true;
    if (FState != dsSetKey) CalculateFields(ActiveBuffer());
  }
  if (FDisableCount == 0) {
    std::vector<TDataSource*> sources = FDataSources;
    for (TDataSource* s : sources)
      if (std::find(FDataSources.begin(), FDataSources.end(), s) != FDataSources.end()) s->DataEvent(event, info);
  } else if ((event == deUpdateState && FState == dsInactive) || event == deLayoutChange) {
    FEnableEvent = deLayoutChange;
  }
}

void TDataSet::DisableControls() {
  if (FDisableCount == 0) {
    FDisableState = FState;
    FEnableEvent = deDataSetChange;
  }
  ++FDisableCount;
}

void TDataSet::EnableControls() {
  if (FDisableCount == 0) return;
  if (--FDisableCount > 0) return;
  if (FDisableState != FState) DataEvent(deUpdateState, 0);
  if (FDisableState != dsInactive && FState != dsInactive) DataEvent(FEnableEvent, 0);
}

void TDataSet::FocusField(TField* field) {
  TField* f = field;
  DataEvent(deFocusControl, reinterpret_cast<NativeInt>(&f));
}

void TDataSet::AddDataSource(TDataSource* source) {
  FDataSources.push_back(source);
  source->FDataSet = this;
  source->UpdateState();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
  source->FDataSet = nullptr;
  std::erase(FDataSources, source);
  source->UpdateState();
}

bool TDataSet::IsEmpty() const {
  if (!Active()) return true;
  return FState != dsInsert && InternalRecordCount() == 0;
}

int TDataSet::RecordCount() const {
  CheckActive();
  return InternalRecordCount();
}

int TDataSet::RecNo() const {
  if (!Active()) return -1;
  if (FState == dsInsert) return -1;
  return FCur + 1;
}

void TDataSet::SetRecNo(int value) {
  CheckBrowseMode();
  int count = InternalRecordCount();
  if (value < 1 || value > count || value == FCur + 1) return;
  MoveBy(value - 1 - FCur);
}

void TDataSet::Resync() {
  int count = InternalRecordCount();
  if (FCur >= count) FCur = count - 1;
  if (FCur < 0 && count > 0) FCur = 0;
  FTempIndex = -1;
  FetchCurrent();
  DataEvent(deDataSetChange, 0);
}

void TDataSet::Reposition(int index) {
  FCur = index;
  FBof = FEof = InternalRecordCount() == 0;
  Resync();
}

void TDataSet::First() {
  CheckBrowseMode();
  BeforeScroll(this);
  int count = InternalRecordCount();
  FCur = count > 0 ? 0 : -1;
  FTempIndex = -1;
  FetchCurrent();
  FBof = true;
  FEof = count == 0;
  DataEvent(deDataSetChange, 0);
  AfterScroll(this);
}

void TDataSet::Last() {
  CheckBrowseMode();
  BeforeScroll(this);
  int count = InternalRecordCount();
  FCur = count - 1;
  FTempIndex = -1;
  FetchCurrent();
  FEof = true;
  FBof = count == 0;
  DataEvent(deDataSetChange, 0);
  AfterScroll(this);
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  BeforeScroll(this);
  if ((distance > 0 && !FEof) || (distance < 0 && !FBof)) {
    FBof = FEof = false;
    int count = InternalRecordCount();
    Int64 target = Int64(FCur) + distance;
    if (target >= count) {
      target = count - 1;
      FEof = true;
    }
    if (target < 0) {
      target = count > 0 ? 0 : -1;
      FBof = true;
    }
    if (count == 0) FBof = FEof = true;
    moved = int(target - FCur);
    if (moved != 0) {
      FCur = int(target);
      FTempIndex = -1;
      FetchCurrent();
      DataEvent(deDataSetScroll, moved);
    }
    AfterScroll(this);
  }
  return moved;
}

void TDataSet::InternalInitRecord(std::vector<Variant>& values) {
  for (Variant& v : values) v = Null();
}

void TDataSet::Insert() { BeginInsert(false); }

void TDataSet::Append() { BeginInsert(true); }

// Insert and Append differ only in where the new record goes and where the cursor then stands.
void TDataSet::BeginInsert(bool atEnd) {
  CheckBrowseMode();
  CheckCanModify();
  BeforeInsert(this);
  BeforeScroll(this);
  FSavedCur = FCur;
  FInsertAt = atEnd ? InternalRecordCount() : FCur < 0 ? 0 : FCur;
  FCur = FInsertAt;
  FEditBuffer.assign(FBufferSize, Null());
  InternalInitRecord(FEditBuffer);
  FTempIndex = -1;
  SetState(dsInsert);
  try {
    DoOnNewRecord();
  } catch (...) {
    FCur = FSavedCur;
    SetState(dsBrowse);
    Resync();
    throw;
  }
  FModified = false;
  CalculateFields(FEditBuffer);
  FBof = false;
  FEof = atEnd;
  DataEvent(deDataSetChange, 0);
  AfterInsert(this);
  AfterScroll(this);
}

void TDataSet::Edit() {
  if (KwIsEditMode(FState)) return;
  CheckActive();
  if (InternalRecordCount() == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  BeforeEdit(this);
  FTempIndex = -1;
  FEditBuffer = FCurBuffer;
  SetState(dsEdit);
  DataEvent(deRecordChange, 0);
  AfterEdit(this);
}

void TDataSet::CheckRequiredFields() {
  for (int i = 0; i < FFields->Count(); ++i) {
    TField* f = FFields->Fields(i);
    if (f->FFieldKind != fkData || !f->Required() || f->ReadOnly() || f->DataType() == ftAutoInc) continue;
    if (f->IsNull()) {
      f->FocusControl();
      DatabaseErrorFmt(SDb::SFieldRequired, {f->DisplayName()}, this);
    }
  }
}

void TDataSet::UpdateRecord() {
  if (!KwIsEditMode(FState) && FState != dsSetKey) DatabaseError(SDb::SNotEditing, this);
  DataEvent(deUpdateRecord, 0);
}

void TDataSet::Post() {
  UpdateRecord();
  if (FState == dsSetKey) {
    SetState(dsBrowse);
    return;
  }
  DataEvent(deCheckBrowseMode, 0);
  BeforePost(this);
  CheckRequiredFields();
  bool inserting = FState == dsInsert;
  // The descendant refuses by raising: the state and the edit buffer stay as they were.
  int at = InternalPost(inserting ? FInsertAt : FCur, inserting, FEditBuffer);
  FCur = at;
  SetState(dsBrowse);
  FBof = FEof = false;
  Resync();
  AfterPost(this);
}

void TDataSet::Cancel() {
  if (FState == dsSetKey) {
    SetState(dsBrowse);
    return;
  }
  if (!KwIsEditMode(FState)) return;
  DataEvent(deCheckBrowseMode, 0);
  BeforeCancel(this);
  bool inserting = FState == dsInsert;
  if (inserting) FCur = FSavedCur;
  SetState(dsBrowse);
  if (inserting) {
    int count = InternalRecordCount();
    FBof = count == 0 || FCur <= 0;
    FEof = count == 0;
  }
  Resync();
  AfterCancel(this);
}

void TDataSet::Delete() {
  CheckActive();
  if (FState == dsInsert || FState == dsSetKey) {
    Cancel();
    return;
  }
  if (InternalRecordCount() == 0) DatabaseError(SDb::SDataSetEmpty, this);
  CheckCanModify();
  DataEvent(deCheckBrowseMode, 0);
  BeforeDelete(this);
  BeforeScroll(this);
  InternalDelete(FCur);
  int count = InternalRecordCount();
  if (FCur >= count) FCur = count - 1;
  SetState(dsBrowse);
  FBof = FEof = count == 0;
  Resync();
  AfterDelete(this);
  AfterScroll(this);
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  BeforeRefresh(this);
  InternalRefresh();
  Resync();
  AfterRefresh(this);
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode, 0);
  if (KwIsEditMode(FState)) {
    UpdateRecord();
    if (FModified) Post();
    else Cancel();
  } else if (FState == dsSetKey) {
    SetState(dsBrowse);
  }
}

void TDataSet::BeginSetKey() {
  CheckBrowseMode();
  FKeyBuffer.assign(FBufferSize, Null());
  SetState(dsSetKey);
}

bool TDataSet::EndSetKey(bool nearest) {
  if (FState != dsSetKey) DatabaseError(SDb::SNotEditing, this);
  std::vector<Variant> key = FKeyBuffer;
  SetState(dsBrowse);
  int at = InternalGotoKey(key, nearest);
  if (at < 0) return false;
  BeforeScroll(this);
  FCur = at;
  FBof = FEof = false;
  Resync();
  AfterScroll(this);
  return true;
}

bool TDataSet::Locate(const String& keyFields, const std::vector<Variant>& values, bool caseInsensitive) {
  CheckBrowseMode();
  std::vector<TField*> fields;
  for (const String& n : SplitNames(keyFields)) fields.push_back(FieldByName(n));
  if (fields.size() != values.size()) DatabaseError(SDb::SFieldIndexError, this);
  int count = InternalRecordCount();
  std::vector<Variant> buf;
  for (int i = 0; i < count; ++i) {
    buf.assign(FBufferSize, Null());
    InternalGetRecord(i, buf);
    if (std::any_of(fields.begin(), fields.end(), [](TField* f) { return f->FFieldKind != fkData; })) CalculateFields(buf);
    bool match = true;
    for (size_t k = 0; k < fields.size() && match; ++k) match = SameValue(buf[fields[k]->FSlot], values[k], caseInsensitive);
    if (!match) continue;
    BeforeScroll(this);
    FCur = i;
    FBof = FEof = false;
    Resync();
    AfterScroll(this);
    return true;
  }
  return false;
}

Variant TDataSet::Lookup(const String& keyFields, const std::vector<Variant>& values, const String& resultFields) {
  CheckActive();
  std::vector<TField*> keys, results;
  for (const String& n : SplitNames(keyFields)) keys.push_back(FieldByName(n));
  for (const String& n : SplitNames(resultFields)) results.push_back(FieldByName(n));
  if (keys.size() != values.size()) DatabaseError(SDb::SFieldIndexError, this);
  int count = InternalRecordCount();
  std::vector<Variant> buf;
  for (int i = 0; i < count; ++i) {
    buf.assign(FBufferSize, Null());
    InternalGetRecord(i, buf);
    bool match = true;
    for (size_t k = 0; k < keys.size() && match; ++k) match = SameValue(buf[keys[k]->FSlot], values[k], false);
    if (!match) continue;
    if (results.size() == 1) return buf[results[0]->FSlot];
    std::vector<Variant> out;
    for (TField* r : results) out.push_back(buf[r->FSlot]);
    return VarArrayOf(out);
  }
  return Null();
}

// --- TDataSource ----------------------------------------------------------------------------

KW_BEGIN_CLASS(TDataSource, TComponent) {
  b.Prop(L"AutoEdit", &TDataSource::AutoEdit, &TDataSource::SetAutoEdit).Default(true);
  b.Prop(L"DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet);
  b.Prop(L"Enabled", &TDataSource::Enabled, &TDataSource::SetEnabled).Default(true);
  b.Event(L"OnStateChange", &TDataSource::OnStateChange);
  b.Event(L"OnDataChange", &TDataSource::OnDataChange);
  b.Event(L"OnUpdateData", &TDataSource::OnUpdateData);
}

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  while (!FDataLinks.empty()) RemoveDataLink(FDataLinks.back());
}

void TDataSource::SetDataSet(TDataSet* v) {
  if (v == FDataSet) return;
  if (FDataSet) FDataSet->RemoveDataSource(this);
  if (v) v->AddDataSource(this);
}

void TDataSource::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  UpdateState();
}

void TDataSource::Edit() {
  if (FAutoEdit && FState == dsBrowse && FDataSet) FDataSet->Edit();
}

void TDataSource::UpdateState() { SetState(FEnabled && FDataSet ? FDataSet->State() : dsInactive); }

void TDataSource::SetState(TDataSetState v) {
  if (v == FState) return;
  TDataSetState prior = FState;
  FState = v;
  NotifyDataLinks(deUpdateState, 0);
  if (FComponentState.Contains(csDestroying)) return;
  OnStateChange(this);
  if (prior == dsInactive) OnDataChange(this, nullptr);
}

void TDataSource::NotifyDataLinks(TDataEvent event, NativeInt info) {
  std::vector<TDataLink*> links = FDataLinks;
  for (TDataLink* l : links)
    if (std::find(FDataLinks.begin(), FDataLinks.end(), l) != FDataLinks.end()) l->DataEvent(event, info);
}

void TDataSource::DataEvent(TDataEvent event, NativeInt info) {
  if (event == deUpdateState) {
    UpdateState();
    return;
  }
  if (FState == dsInactive) return;
  NotifyDataLinks(event, info);
  switch (event) {
    case deFieldChange: OnDataChange(this, reinterpret_cast<TField*>(info)); break;
    case deRecordChange: case deDataSetChange: case deDataSetScroll: case deLayoutChange:
      OnDataChange(this, nullptr);
      break;
    case deUpdateRecord: OnUpdateData(this); break;
    default: break;
  }
}

void TDataSource::AddDataLink(TDataLink* link) {
  FDataLinks.push_back(link);
  link->FDataSource = this;
  link->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* link) {
  link->FDataSource = nullptr;
  std::erase(FDataLinks, link);
  link->UpdateState();
}

// --- TDataLink ------------------------------------------------------------------------------

KW_REGISTER_CLASS(TDataLink, TPersistent)

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
  // Quietly: the client is being destroyed and must not be called back.
  FActive = false;
  FEditing = false;
  FDataSourceFixed = false;
  if (FDataSource) {
    std::erase(FDataSource->FDataLinks, this);
    FDataSource = nullptr;
  }
}

TDataSet* TDataLink::DataSet() const { return FDataSource ? FDataSource->DataSet() : nullptr; }

void TDataLink::SetDataSource(TDataSource* v) {
  if (v == FDataSource) return;
  if (FDataSourceFixed) DatabaseError(L"DataSource cannot be changed");
  if (FDataSource) FDataSource->RemoveDataLink(this);
  if (v) v->AddDataLink(this);
}

void TDataLink::SetReadOnly(bool v) {
  if (v == FReadOnly) return;
  FReadOnly = v;
  UpdateState();
}

void TDataLink::UpdateState() {
  SetActive(FDataSource && FDataSource->State() != dsInactive);
  SetEditing(FDataSource && KwIsEditMode(FDataSource->State()) && !FReadOnly);
}

void TDataLink::SetActive(bool v) {
  if (v == FActive) return;
  FActive = v;
  if (v) UpdateRange();
  else FFirstRecord = 0;
  ActiveChanged();
}

void TDataLink::SetEditing(bool v) {
  if (v == FEditing) return;
  FEditing = v;
  EditingChanged();
}

bool TDataLink::Edit() {
  if (!FReadOnly && FDataSource) FDataSource->Edit();
  return FEditing;
}

void TDataLink::UpdateRecord() {
  FUpdating = true;
  try {
    UpdateData();
  } catch (...) {
    FUpdating = false;
    throw;
  }
  FUpdating = false;
}

void TDataLink::UpdateRange() {
  TDataSet* ds = DataSet();
  if (!ds || !ds->Active()) {
    FFirstRecord = 0;
    return;
  }
  // An inserted record takes a place in the window of its own.
  int cur = ds->CurrentIndex(), count = ds->RecordCount() + (ds->State() == dsInsert ? 1 : 0);
  if (cur < 0) {
    FFirstRecord = 0;
    return;
  }
  if (cur < FFirstRecord) FFirstRecord = cur;
  if (cur >= FFirstRecord + FBufferCount) FFirstRecord = cur - FBufferCount + 1;
  // Keep the window full where the rows allow it.
  if (FFirstRecord + FBufferCount > count) FFirstRecord = std::max(0, count - FBufferCount);
}

void TDataLink::SetBufferCount(int v) {
  v = std::max(1, v);
  if (v == FBufferCount) return;
  FBufferCount = v;
  if (FActive) UpdateRange();
}

int TDataLink::ActiveRecord() const {
  TDataSet* ds = DataSet();
  if (!FActive || !ds) return 0;
  return std::max(0, ds->ActiveIndex() - FFirstRecord);
}

void TDataLink::SetActiveRecord(int v) {
  TDataSet* ds = DataSet();
  if (!FActive || !ds) return;
  if (v < 0 || v >= RecordCount()) DatabaseError(SDb::SFieldIndexError, ds);
  ds->SetTempRecord(FFirstRecord + v);
}

int TDataLink::RecordCount() const {
  TDataSet* ds = DataSet();
  if (!FActive || !ds) return 0;
  int n = ds->RecordCount() + (ds->State() == dsInsert ? 1 : 0) - FFirstRecord;
  return std::clamp(n, 0, FBufferCount);
}

bool TDataLink::Bof() const { return DataSet() ? DataSet()->Bof() : true; }
bool TDataLink::Eof() const { return DataSet() ? DataSet()->Eof() : true; }
int TDataLink::MoveBy(int distance) { return DataSet() ? DataSet()->MoveBy(distance) : 0; }

bool TDataLink::ExecuteAction(TBasicAction* action) {
  if (!action->HandlesTarget(FDataSource)) return false;
  action->ExecuteTarget(FDataSource);
  return true;
}

bool TDataLink::UpdateAction(TBasicAction* action) {
  if (!action->HandlesTarget(FDataSource)) return false;
  action->UpdateTarget(FDataSource);
  return true;
}

void TDataLink::DataEvent(TDataEvent event, NativeInt info) {
  if (event == deUpdateState) {
    UpdateState();
    return;
  }
  if (!FActive) return;
  switch (event) {
    case deFieldChange:
    case deRecordChange:
      if (!FUpdating) RecordChanged(reinterpret_cast<TField*>(info));
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
      int before = FFirstRecord;
      UpdateRange();
      if (event == deDataSetScroll) DataSetScrolled(FFirstRecord - before);
      else if (event == deLayoutChange) LayoutChanged();
      else DataSetChanged();
      break;
    }
    case deUpdateRecord: UpdateRecord(); break;
    case deCheckBrowseMode: CheckBrowseMode(); break;
    case deFocusControl: FocusControl(reinterpret_cast<TField**>(info)); break;
    default: break;
  }
}

// --- TFieldDataLink -------------------------------------------------------------------------

KW_REGISTER_CLASS(TFieldDataLink, TDataLink)

void TFieldDataLink::SetFieldName(const String& v) {
  if (v == FFieldName) return;
  FFieldName = v;
  UpdateField();
}

void TFieldDataLink::UpdateField() {
  if (Active() && !FFieldName.empty()) {
    FField = nullptr;
    SetField(DataSet()->FieldByName(FFieldName));
  } else {
    SetField(nullptr);
  }
}

void TFieldDataLink::SetField(TField* v) {
  if (v == FField) return;
  FField = v;
  EditingChanged();
  RecordChanged(nullptr);
}

bool TFieldDataLink::CanModify() const { return !ReadOnly() && FField && FField->CanModify(); }

bool TFieldDataLink::Edit() {
  if (CanModify()) TDataLink::Edit();
  return FEditing;
}

void TFieldDataLink::SetFieldEditing(bool v) {
  if (v == FEditing) return;
  FEditing = v;
  FModified = false;
  OnEditingChange(this);
}

void TFieldDataLink::ActiveChanged() {
  UpdateField();
  OnActiveChange(this);
}

void TFieldDataLink::EditingChanged() { SetFieldEditing(TDataLink::Editing() && CanModify()); }

void TFieldDataLink::FocusControl(TField** field) {
  if (!*field || *field != FField) return;
  auto* c = dynamic_cast<TWinControl*>(FControl);
  if (c && c->CanFocus()) {
    *field = nullptr;
    c->SetFocus();
  }
}

void TFieldDataLink::LayoutChanged() { UpdateField(); }

void TFieldDataLink::RecordChanged(TField* field) {
  if (field && field != FField) return;
  OnDataChange(this);
  FModified = false;
}

void TFieldDataLink::UpdateData() {
  if (!FModified) return;
  if (FField) OnUpdateData(this);
  FModified = false;
}

}  // namespace kw
