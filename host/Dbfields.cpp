// Field classes: value storage in the dataset's record buffer, conversions between the field
// types and the As... accessors, display and edit text, field definitions and the field list.
// Blob fields' streams, memo text and the graphic header are in Dbblob.cpp.
#include "host/Dbfields.h"

#include <algorithm>
#include <cmath>
#include <cwctype>

#include "host/Db.h"
#include "host/Dateutils.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw {

KW_DEFINE_ENUM(TFieldType, L"ftUnknown", L"ftString", L"ftSmallint", L"ftInteger", L"ftWord",
               L"ftBoolean", L"ftFloat", L"ftCurrency", L"ftBCD", L"ftDate", L"ftTime",
               L"ftDateTime", L"ftBytes", L"ftVarBytes", L"ftAutoInc", L"ftBlob", L"ftMemo",
               L"ftGraphic", L"ftFmtMemo", L"ftParadoxOle", L"ftDBaseOle", L"ftTypedBinary",
               L"ftCursor", L"ftFixedChar", L"ftWideString", L"ftLargeint", L"ftADT", L"ftArray",
               L"ftReference", L"ftDataSet", L"ftOraBlob", L"ftOraClob", L"ftVariant",
               L"ftInterface", L"ftIDispatch", L"ftGuid", L"ftTimeStamp", L"ftFMTBcd",
               L"ftFixedWideChar", L"ftWideMemo", L"ftOraTimeStamp", L"ftOraInterval",
               L"ftLongWord", L"ftShortint", L"ftByte")
KW_DEFINE_ENUM(TFieldKind, L"fkData", L"fkCalculated", L"fkLookup", L"fkInternalCalc", L"fkAggregate")

String FieldTypeName(TFieldType type) {
  static const wchar_t* names[] = {
      L"Unknown", L"String", L"SmallInt", L"Integer", L"Word", L"Boolean", L"Float", L"Currency",
      L"BCD", L"Date", L"Time", L"DateTime", L"Bytes", L"VarBytes", L"AutoInc", L"Blob", L"Memo",
      L"Graphic", L"FmtMemo", L"ParadoxOle", L"DBaseOle", L"TypedBinary", L"Cursor",
      L"FixedChar", L"WideString", L"LargeInt", L"ADT", L"Array", L"Reference", L"DataSet",
      L"OraBlob", L"OraClob", L"Variant", L"Interface", L"IDispatch", L"Guid", L"TimeStamp",
      L"FMTBcd", L"FixedWideChar", L"WideMemo", L"OraTimeStamp", L"OraInterval", L"LongWord",
      L"ShortInt", L"Byte"};
  int i = int(type);
  return i >= 0 && i < int(std::size(names)) ? names[i] : L"Unknown";
}

// --- definitions ----------------------------------------------------------------------------

KW_BEGIN_CLASS(TFieldDef, TCollectionItem) {
  b.Prop(L"Name", &TFieldDef::Name, &TFieldDef::SetName);
  b.Prop(L"DataType", &TFieldDef::DataType, &TFieldDef::SetDataType).Default(ftUnknown);
  b.Prop(L"Precision", &TFieldDef::Precision, &TFieldDef::SetPrecision).Default(0);
  b.Prop(L"Size", &TFieldDef::Size, &TFieldDef::SetSize).Default(0);
  b.Prop(L"Required", &TFieldDef::Required, &TFieldDef::SetRequired).Default(false);
}

void TFieldDef::Assign(const TPersistent* source) {
  if (auto* d = dynamic_cast<const TFieldDef*>(source)) {
    FName = d->FName;
    FDataType = d->FDataType;
    FSize = d->FSize;
    FPrecision = d->FPrecision;
    FRequired = d->FRequired;
    Changed(false);
    return;
  }
  TCollectionItem::Assign(source);
}

void TFieldDef::SetDataType(TFieldType v) {
  FDataType = v;
  // The sizes the host gives a definition of these types when none is set.
  if (FSize == 0) {
    if (v == ftString || v == ftWideString || v == ftFixedChar || v == ftFixedWideChar) FSize = 20;
    else if (v == ftGuid) FSize = 38;
    else if (v == ftBCD || v == ftFMTBcd) FSize = 4;
  }
  Changed(false);
}

KW_REGISTER_CLASS(TFieldDefs, TOwnedCollection)

TFieldDefs::TFieldDefs(TPersistent* owner) : TOwnedCollection(owner, TFieldDef::StaticClass()) {}

TFieldDef* TFieldDefs::Add(const String& name, TFieldType type, int size, bool required) {
  if (name.empty()) DatabaseError(SDb::SFieldNameMissing);
  if (IndexOf(name) >= 0) DatabaseErrorFmt(SDb::SDuplicateFieldName, {name});
  auto* d = AddFieldDef();
  d->SetName(name);
  d->SetSize(size);
  d->SetDataType(type);
  d->SetRequired(required);
  return d;
}

TFieldDef* TFieldDefs::AddFieldDef() { return static_cast<TFieldDef*>(TCollection::Add()); }
TFieldDef* TFieldDefs::Items(int index) const { return static_cast<TFieldDef*>(TCollection::Items(index)); }

int TFieldDefs::IndexOf(const String& name) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiSameText(Items(i)->Name(), name)) return i;
  return -1;
}

TFieldDef* TFieldDefs::Find(const String& name) const {
  int i = IndexOf(name);
  if (i < 0) DatabaseErrorFmt(SDb::SFieldNotFound, {name});
  return Items(i);
}

void TFieldDefs::Update() {
  auto* ds = dynamic_cast<TDataSet*>(GetOwner());
  if (ds && !ds->Active()) ds->InitFieldDefs();
  FUpdated = true;
}

// --- the field list -------------------------------------------------------------------------

KW_REGISTER_CLASS(TFields, TObject)

TField* TFields::Fields(int index) const {
  if (index < 0 || index >= Count()) DatabaseError(SDb::SFieldIndexError, FDataSet);
  return FList[index];
}

void TFields::Add(TField* field) {
  // A field being read gets its dataset before its name; the dataset checks it when opening.
  if (field->ComponentState().Contains(csReading) || field->ComponentState().Contains(csLoading)) {
    FList.push_back(field);
    return;
  }
  if (field->FieldName().empty()) DatabaseError(SDb::SFieldNameMissing, FDataSet);
  if (FindField(field->FieldName())) DatabaseErrorFmt(SDb::SDuplicateFieldName, {field->FieldName()}, FDataSet);
  FList.push_back(field);
}

void TFields::Remove(TField* field) { std::erase(FList, field); }

int TFields::IndexOf(const TField* field) const {
  for (int i = 0; i < Count(); ++i)
    if (FList[i] == field) return i;
  return -1;
}

TField* TFields::FindField(const String& name) const {
  for (TField* f : FList)
    if (AnsiSameText(f->FieldName(), name)) return f;
  return nullptr;
}

TField* TFields::FieldByName(const String& name) const {
  TField* f = FindField(name);
  if (!f) DatabaseErrorFmt(SDb::SFieldNotFound, {name}, FDataSet);
  return f;
}

void TFields::SetFieldIndex(TField* field, int index) {
  int cur = IndexOf(field);
  if (cur < 0) return;
  index = std::clamp(index, 0, Count() - 1);
  FList.erase(FList.begin() + cur);
  FList.insert(FList.begin() + index, field);
}

// --- TField ---------------------------------------------------------------------------------

KW_BEGIN_CLASS(TField, TComponent) {
  b.Prop(L"Alignment", &TField::Alignment, &TField::SetAlignment).Default(taLeftJustify);
  b.Prop(L"DisplayLabel", &TField::DisplayLabel, &TField::SetDisplayLabel).Stored(&TField::DisplayLabelStored);
  b.Prop(L"DisplayWidth", &TField::DisplayWidth, &TField::SetDisplayWidth).Stored(&TField::DisplayWidthStored);
  b.Prop(L"EditMask", &TField::EditMask, &TField::SetEditMask);
  b.Prop(L"FieldKind", &TField::FieldKind, &TField::SetFieldKind).Default(fkData);
  b.Prop(L"FieldName", &TField::FieldName, &TField::SetFieldName);
  b.Prop(L"KeyFields", &TField::KeyFields, &TField::SetKeyFields);
  b.Prop(L"LookupDataSet", &TField::LookupDataSet, &TField::SetLookupDataSet);
  b.Prop(L"LookupKeyFields", &TField::LookupKeyFields, &TField::SetLookupKeyFields);
  b.Prop(L"LookupResultField", &TField::LookupResultField, &TField::SetLookupResultField);
  b.Prop(L"ReadOnly", &TField::ReadOnly, &TField::SetReadOnly).Default(false);
  b.Prop(L"Required", &TField::Required, &TField::SetRequired).Default(false);
  b.Prop(L"Size", &TField::Size, &TField::SetSize).Default(0);
  b.Prop(L"Visible", &TField::Visible, &TField::SetVisible).Default(true);
  b.Event(L"OnChange", &TField::OnChange);
  b.Event(L"OnGetText", &TField::OnGetText);
  b.Event(L"OnSetText", &TField::OnSetText);
  b.Event(L"OnValidate", &TField::OnValidate);
}

TField::TField(TComponent* owner) : TComponent(owner) {}

TField::~TField() {
  if (FDataSet) {
    // Out of the list first (so closing cannot free it again), then, as the host does, an
    // open dataset closes, so that no link keeps this field.
    FDataSet->Fields()->Remove(this);
    if (FDataSet->Active()) {
      try {
        FDataSet->Close();
      } catch (...) {
        KwHandleCurrentException(FDataSet);
      }
    }
  }
  SetLookupDataSet(nullptr);
}

void TField::SetDataSet(TDataSet* v) {
  if (v == FDataSet) return;
  if (FDataSet) FDataSet->CheckInactive();
  if (v) {
    v->CheckInactive();
    v->Fields()->Add(this);
  }
  if (FDataSet) FDataSet->Fields()->Remove(this);
  FDataSet = v;
}

void TField::SetFieldName(const String& v) {
  if (v == FFieldName) return;
  if (FDataSet) {
    FDataSet->CheckInactive();
    TField* other = FDataSet->FindField(v);
    if (other && other != this) DatabaseErrorFmt(SDb::SDuplicateFieldName, {v}, FDataSet);
  }
  FFieldName = v;
}

void TField::SetFieldKind(TFieldKind v) {
  if (FDataSet) FDataSet->CheckInactive();
  FFieldKind = v;
}

void TField::SetSize(int v) {
  if (FDataSet) FDataSet->CheckInactive();
  if (v < 0) DatabaseError(SDb::SInvalidFieldSize, this);
  FSize = v;
}

int TField::Index() const { return FDataSet ? FDataSet->Fields()->IndexOf(this) : -1; }

void TField::SetIndex(int v) {
  if (FDataSet) FDataSet->Fields()->SetFieldIndex(this, v);
}

void TField::SetLookupDataSet(TDataSet* v) {
  if (v == FLookupDataSet) return;
  if (v == FDataSet && v) DatabaseError(SDb::SCircularDataLink, this);
  if (FLookupDataSet) FLookupDataSet->RemoveFreeNotification(this);
  FLookupDataSet = v;
  if (v) v->FreeNotification(this);
}

void TField::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == FLookupDataSet) FLookupDataSet = nullptr;
}

TComponent* TField::GetParentComponent() const { return FDataSet; }
void TField::SetParentComponent(TComponent* parent) { SetDataSet(dynamic_cast<TDataSet*>(parent)); }

void TField::CheckDataSet() const {
  if (!FDataSet) DatabaseErrorFmt(L"Field '%s' has no dataset", {DisplayName()});
  if (!FDataSet->Active() || FSlot < 0) DatabaseError(SDb::SDataSetClosed, FDataSet);
}

const Variant& TField::Data() const {
  if (FValidating) return *FValidating;
  CheckDataSet();
  return FDataSet->ActiveBuffer()[FSlot];
}

bool TField::IsNull() const {
  const Variant& v = Data();
  return v.IsNull() || v.IsEmpty();
}

bool TField::CanModify() const {
  if (FReadOnly || FFieldKind == fkLookup || !FDataSet) return false;
  if (FFieldKind == fkCalculated) return FDataSet->State() == dsCalcFields;
  return FDataSet->CanModify();
}

void TField::CheckWritable() const {
  CheckDataSet();
  TDataSetState s = FDataSet->State();
  if (s != dsEdit && s != dsInsert && s != dsSetKey && s != dsCalcFields)
    DatabaseError(SDb::SNotEditing, FDataSet);
  if (s != dsSetKey && s != dsCalcFields) {
    if (FReadOnly || FFieldKind != fkData) DatabaseErrorFmt(SDb::SFieldReadOnly, {DisplayName()}, FDataSet);
    if (!FDataSet->CanModify()) DatabaseError(SDb::SDataSetReadOnly, FDataSet);
  }
}

void TField::SetData(const Variant& v) {
  CheckWritable();
  TDataSetState s = FDataSet->State();
  bool quiet = s == dsCalcFields || s == dsSetKey;
  if (!quiet && OnValidate) {
    // The handler reads the value about to be stored; it raises to refuse it.
    FValidating = &v;
    try {
      OnValidate(this);
    } catch (...) {
      FValidating = nullptr;
      throw;
    }
    FValidating = nullptr;
  }
  FDataSet->ActiveBuffer()[FSlot] = v;
  if (quiet) return;
  FDataSet->DataEvent(deFieldChange, reinterpret_cast<NativeInt>(this));
  OnChange(this);
}

void TField::FocusControl() {
  if (FDataSet) FDataSet->FocusField(this);
}

void TField::AccessError(const wchar_t* typeName) const {
  DatabaseErrorFmt(SDb::SFieldAccessError, {DisplayName(), String(typeName)});
}

Variant TField::AsVariant() const {
  const Variant& v = Data();
  return v.IsEmpty() ? Null() : v;
}
void TField::SetAsVariant(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) SetData(Null());
  else AccessError(L"Variant");
}
String TField::AsString() const { AccessError(L"String"); }
void TField::SetAsString(const String&) { AccessError(L"String"); }
Integer TField::AsInteger() const { AccessError(L"Integer"); }
void TField::SetAsInteger(Integer) { AccessError(L"Integer"); }
Int64 TField::AsLargeInt() const { return AsInteger(); }
void TField::SetAsLargeInt(Int64 v) {
  if (v < INT32_MIN || v > INT32_MAX) AccessError(L"LargeInt");
  SetAsInteger(Integer(v));
}
double TField::AsFloat() const { AccessError(L"Float"); }
void TField::SetAsFloat(double) { AccessError(L"Float"); }
Currency TField::AsCurrency() const { return Currency(AsFloat()); }
void TField::SetAsCurrency(Currency v) { SetAsFloat(v.ToDouble()); }
bool TField::AsBoolean() const { AccessError(L"Boolean"); }
void TField::SetAsBoolean(bool) { AccessError(L"Boolean"); }
TDateTime TField::AsDateTime() const { AccessError(L"DateTime"); }
void TField::SetAsDateTime(TDateTime) { AccessError(L"DateTime"); }
TBytes TField::AsBytes() const { AccessError(L"Bytes"); }
void TField::SetAsBytes(const TBytes&) { AccessError(L"Bytes"); }

void TField::GetText(String& text, bool) const { text = IsNull() ? String() : AsString(); }

String TField::Text() const {
  String s;
  if (OnGetText) OnGetText(const_cast<TField*>(this), s, false);
  else GetText(s, false);
  return s;
}

String TField::DisplayText() const {
  String s;
  if (OnGetText) OnGetText(const_cast<TField*>(this), s, true);
  else GetText(s, true);
  return s;
}

void TField::SetText(const String& v) {
  if (OnSetText) OnSetText(this, v);
  else SetAsString(v);
}

// --- strings --------------------------------------------------------------------------------

KW_REGISTER_CLASS(TStringField, TField)

TStringField::TStringField(TComponent* owner) : TField(owner) {
  FDataType = ftString;
  FSize = 20;
}

String TStringField::IntToStrW(Int64 v) { return IntToStr(v); }

void TStringField::SetFixedChar(bool v) {
  bool wide = FDataType == ftWideString || FDataType == ftFixedWideChar;
  FDataType = v ? (wide ? ftFixedWideChar : ftFixedChar) : (wide ? ftWideString : ftString);
}

Variant TStringField::AsVariant() const { return IsNull() ? Null() : Variant(AsString()); }
void TStringField::SetAsVariant(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) SetData(Null());
  else SetAsString(v.AsString());
}

String TStringField::AsString() const {
  const Variant& v = Data();
  if (v.IsNull() || v.IsEmpty()) return String();
  String s = v.AsString();
  // Fixed-width values keep their padding in the record; readers get the text alone.
  if (FixedChar()) s = TrimRight(s);
  return s;
}

void TStringField::SetAsString(const String& v) {
  String s = v;
  if (FSize > 0 && int(s.size()) > FSize) s.resize(FSize);
  if (FixedChar() && FSize > 0) s.resize(FSize, L' ');
  SetData(Variant(s));
}

Integer TStringField::AsInteger() const {
  Int64 v = AsLargeInt();
  if (v < INT32_MIN || v > INT32_MAX) throw EConvertError(Format(SDb::SInvalidIntegerValue, {AsString(), DisplayName()}));
  return Integer(v);
}

Int64 TStringField::AsLargeInt() const {
  String s = Trim(AsString());
  Int64 v = 0;
  if (!TryStrToInt64(s, v)) throw EConvertError(Format(SDb::SInvalidIntegerValue, {s, DisplayName()}));
  return v;
}

double TStringField::AsFloat() const {
  String s = Trim(AsString());
  double v = 0;
  if (!TryStrToFloat(s, v)) throw EConvertError(Format(SDb::SInvalidFloatValue, {s, DisplayName()}));
  return v;
}
void TStringField::SetAsFloat(double v) { SetAsString(FloatToStr(v)); }

bool TStringField::AsBoolean() const {
  String s = Trim(AsString());
  bool b = false;
  if (!TryStrToBool(s, b)) DatabaseErrorFmt(SDb::SInvalidBoolValue, {s, DisplayName()});
  return b;
}
void TStringField::SetAsBoolean(bool v) { SetAsString(v ? L"True" : L"False"); }

TDateTime TStringField::AsDateTime() const { return StrToDateTime(Trim(AsString())); }
void TStringField::SetAsDateTime(TDateTime v) { SetAsString(DateTimeToStr(v)); }

KW_REGISTER_CLASS(TWideStringField, TStringField)
TWideStringField::TWideStringField(TComponent* owner) : TStringField(owner) { FDataType = ftWideString; }

KW_REGISTER_CLASS(TGuidField, TStringField)
TGuidField::TGuidField(TComponent* owner) : TStringField(owner) {
  FDataType = ftGuid;
  FSize = 38;
}

void TGuidField::SetSize(int v) {
  if (v != 38) DatabaseError(SDb::SInvalidFieldSize, this);
  TStringField::SetSize(v);
}

void TGuidField::SetAsString(const String& v) {
  if (v.empty()) {
    SetData(Null());
    return;
  }
  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
  bool ok = v.size() == 38 && v[0] == L'{' && v[37] == L'}';
  for (size_t i = 1; ok && i < 37; ++i) {
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    ok = dash ? v[i] == L'-' : std::iswxdigit(v[i]) != 0;
  }
  if (!ok) throw EConvertError(Format(SDb::SInvalidGuidValue, {v, DisplayName()}));
  SetData(Variant(UpperCase(v)));
}

// --- variants -------------------------------------------------------------------------------

KW_REGISTER_CLASS(TVariantField, TField)
TVariantField::TVariantField(TComponent* owner) : TField(owner) { FDataType = ftVariant; }

void TVariantField::SetAsVariant(const Variant& v) { SetData(v.IsEmpty() ? Null() : v); }
String TVariantField::AsString() const { return VarToStr(Data()); }
Integer TVariantField::AsInteger() const { return AsVariant().AsInteger(); }
Int64 TVariantField::AsLargeInt() const { return AsVariant().AsInt64(); }
double TVariantField::AsFloat() const { return AsVariant().AsDouble(); }
Currency TVariantField::AsCurrency() const { return AsVariant().AsCurrency(); }
bool TVariantField::AsBoolean() const { return AsVariant().AsBoolean(); }
TDateTime TVariantField::AsDateTime() const { return AsVariant().AsDateTime(); }

// --- integers -------------------------------------------------------------------------------

KW_BEGIN_CLASS(TNumericField, TField) {
  b.Prop(L"DisplayFormat", &TNumericField::DisplayFormat, &TNumericField::SetDisplayFormat);
  b.Prop(L"EditFormat", &TNumericField::EditFormat, &TNumericField::SetEditFormat);
}
TNumericField::TNumericField(TComponent* owner) : TField(owner) { FAlignment = taRightJustify; }

KW_BEGIN_CLASS(TIntegerField, TNumericField) {
  b.Prop(L"MaxValue", &TIntegerField::MaxValue, &TIntegerField::SetMaxValue).Default(0);
  b.Prop(L"MinValue", &TIntegerField::MinValue, &TIntegerField::SetMinValue).Default(0);
}

TIntegerField::TIntegerField(TComponent* owner) : TIntegerField(owner, ftInteger, INT32_MIN, INT32_MAX) {}
TIntegerField::TIntegerField(TComponent* owner, TFieldType type, Int64 lo, Int64 hi)
    : TNumericField(owner), FTypeMin(lo), FTypeMax(hi) {
  FDataType = type;
}

void TIntegerField::CheckRange(Int64 v) const {
  Int64 lo = FTypeMin, hi = FTypeMax;
  if (FMinValue != 0 || FMaxValue != 0) {
    lo = std::max(lo, FMinValue);
    hi = std::min(hi, FMaxValue);
  }
  if (v < lo || v > hi)
    DatabaseErrorFmt(SDb::SFieldRangeError, {IntToStr(v), DisplayName(), IntToStr(lo), IntToStr(hi)});
}

Variant TIntegerField::AsVariant() const {
  const Variant& v = Data();
  if (v.IsNull() || v.IsEmpty()) return Null();
  if (FDataType == ftLargeint) return Variant((long long)v.AsInt64());
  if (FDataType == ftLongWord) return Variant(unsigned(v.AsInt64()));
  return Variant(v.AsInteger());
}

void TIntegerField::SetAsVariant(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) SetData(Null());
  else if (VarIsStr(v)) SetAsString(v.AsString());
  else if (VarIsFloat(v)) SetAsFloat(v.AsDouble());
  else SetAsLargeInt(v.AsInt64());
}

String TIntegerField::AsString() const { return IsNull() ? String() : IntToStr(AsLargeInt()); }

void TIntegerField::SetAsString(const String& v) {
  String s = Trim(v);
  if (s.empty()) {
    SetData(Null());
    return;
  }
  Int64 n = 0;
  if (!TryStrToInt64(s, n)) throw EConvertError(Format(SDb::SInvalidIntegerValue, {v, DisplayName()}));
  SetAsLargeInt(n);
}

Integer TIntegerField::AsInteger() const {
  Int64 v = AsLargeInt();
  if (v < INT32_MIN || v > INT32_MAX) AccessError(L"Integer");
  return Integer(v);
}

Int64 TIntegerField::AsLargeInt() const {
  const Variant& v = Data();
  return v.IsNull() || v.IsEmpty() ? 0 : v.AsInt64();
}

void TIntegerField::SetAsLargeInt(Int64 v) {
  CheckRange(v);
  SetData(Variant((long long)v));
}

void TIntegerField::SetAsFloat(double v) {
  // The host's Round: halves go to the even neighbour.
  double r = std::nearbyint(v);
  if (!(r >= double(FTypeMin) && r <= double(FTypeMax)))
    DatabaseErrorFmt(SDb::SFieldRangeError, {FloatToStr(v), DisplayName(), IntToStr(FTypeMin), IntToStr(FTypeMax)});
  SetAsLargeInt(Int64(r));
}

void TIntegerField::GetText(String& text, bool displayText) const {
  if (IsNull()) {
    text.clear();
    return;
  }
  const String& fmt = displayText || FEditFormat.empty() ? FDisplayFormat : FEditFormat;
  Int64 v = AsLargeInt();
  text = fmt.empty() ? IntToStr(v) : FormatFloat(fmt, double(v));
}

KW_REGISTER_CLASS(TSmallintField, TIntegerField)
TSmallintField::TSmallintField(TComponent* owner) : TIntegerField(owner, ftSmallint, INT16_MIN, INT16_MAX) {}
KW_REGISTER_CLASS(TShortintField, TIntegerField)
TShortintField::TShortintField(TComponent* owner) : TIntegerField(owner, ftShortint, INT8_MIN, INT8_MAX) {}
KW_REGISTER_CLASS(TByteField, TIntegerField)
TByteField::TByteField(TComponent* owner) : TIntegerField(owner, ftByte, 0, UINT8_MAX) {}
KW_REGISTER_CLASS(TWordField, TIntegerField)
TWordField::TWordField(TComponent* owner) : TIntegerField(owner, ftWord, 0, UINT16_MAX) {}
KW_REGISTER_CLASS(TLongWordField, TIntegerField)
TLongWordField::TLongWordField(TComponent* owner) : TIntegerField(owner, ftLongWord, 0, UINT32_MAX) {}
KW_REGISTER_CLASS(TAutoIncField, TIntegerField)
TAutoIncField::TAutoIncField(TComponent* owner) : TIntegerField(owner, ftAutoInc, INT32_MIN, INT32_MAX) {}
KW_REGISTER_CLASS(TLargeintField, TIntegerField)
TLargeintField::TLargeintField(TComponent* owner) : TIntegerField(owner, ftLargeint, INT64_MIN, INT64_MAX) {}

// --- booleans -------------------------------------------------------------------------------

KW_BEGIN_CLASS(TBooleanField, TField) {
  b.Prop(L"DisplayValues", &TBooleanField::DisplayValues, &TBooleanField::SetDisplayValues);
}

TBooleanField::TBooleanField(TComponent* owner) : TField(owner) { FDataType = ftBoolean; }

void TBooleanField::SetDisplayValues(const String& v) {
  FDisplayValues = v;
  size_t p = v.find(L';');
  if (v.empty()) {
    FTrueText = SDb::STextTrue;
    FFalseText = SDb::STextFalse;
  } else if (p == String::npos) {
    FTrueText = v;
    FFalseText.clear();
  } else {
    FTrueText = v.substr(0, p);
    FFalseText = v.substr(p + 1);
  }
}

Variant TBooleanField::AsVariant() const { return IsNull() ? Null() : Variant(AsBoolean()); }
void TBooleanField::SetAsVariant(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) SetData(Null());
  else if (VarIsStr(v)) SetAsString(v.AsString());
  else SetAsBoolean(v.AsBoolean());
}

bool TBooleanField::AsBoolean() const {
  const Variant& v = Data();
  return !(v.IsNull() || v.IsEmpty()) && v.AsBoolean();
}
void TBooleanField::SetAsBoolean(bool v) { SetData(Variant(v)); }

String TBooleanField::AsString() const {
  if (IsNull()) return String();
  return AsBoolean() ? FTrueText : FFalseText;
}

void TBooleanField::SetAsString(const String& v) {
  String s = Trim(v);
  if (s.empty()) {
    SetData(Null());
    return;
  }
  // As the host: a leading part of either text is enough.
  auto starts = [&](const String& full) { return !full.empty() && s.size() <= full.size() && AnsiSameText(s, full.substr(0, s.size())); };
  if (starts(FTrueText)) SetAsBoolean(true);
  else if (starts(FFalseText)) SetAsBoolean(false);
  else DatabaseErrorFmt(SDb::SInvalidBoolValue, {v, DisplayName()});
}

// --- floats ---------------------------------------------------------------------------------

KW_BEGIN_CLASS(TFloatField, TNumericField) {
  b.Prop(L"Currency", &TFloatField::IsCurrency, &TFloatField::SetCurrency).Default(false);
  b.Prop(L"Precision", &TFloatField::Precision, &TFloatField::SetPrecision).Default(15);
  b.Prop(L"MaxValue", &TFloatField::MaxValue, &TFloatField::SetMaxValue).Default(0.0);
  b.Prop(L"MinValue", &TFloatField::MinValue, &TFloatField::SetMinValue).Default(0.0);
}

TFloatField::TFloatField(TComponent* owner) : TNumericField(owner) {
  FDataType = ftFloat;
  FPrecision = 15;
}

Variant TFloatField::AsVariant() const { return IsNull() ? Null() : Variant(AsFloat()); }
void TFloatField::SetAsVariant(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) SetData(Null());
  else if (VarIsStr(v)) SetAsString(v.AsString());
  else SetAsFloat(v.AsDouble());
}

double TFloatField::AsFloat() const {
  const Variant& v = Data();
  return v.IsNull() || v.IsEmpty() ? 0.0 : v.AsDouble();
}

void TFloatField::SetAsFloat(double v) {
  if ((FMinValue != 0 || FMaxValue != 0) && (v < FMinValue || v > FMaxValue))
    DatabaseErrorFmt(SDb::SFieldRangeError, {FloatToStr(v), DisplayName(), FloatToStr(FMinValue), FloatToStr(FMaxValue)});
  SetData(Variant(v));
}

Integer TFloatField::AsInteger() const {
  double v = std::round(AsFloat());
  if (!(v >= INT32_MIN && v <= INT32_MAX)) AccessError(L"Integer");
  return Integer(v);
}
Int64 TFloatField::AsLargeInt() const { return Int64(std::round(AsFloat())); }

String TFloatField::AsString() const {
  return IsNull() ? String() : FloatToStrF(AsFloat(), ffGeneral, FPrecision, 0);
}

void TFloatField::SetAsString(const String& v) {
  String s = Trim(v);
  if (s.empty()) {
    SetData(Null());
    return;
  }
  double d = 0;
  if (!TryStrToFloat(s, d)) throw EConvertError(Format(SDb::SInvalidFloatValue, {v, DisplayName()}));
  SetAsFloat(d);
}

void TFloatField::GetText(String& text, bool displayText) const {
  if (IsNull()) {
    text.clear();
    return;
  }
  double v = AsFloat();
  const String& fmt = displayText || FEditFormat.empty() ? FDisplayFormat : FEditFormat;
  if (!fmt.empty()) text = FormatFloat(fmt, v);
  else if (FCurrency) text = FloatToStrF(v, displayText ? ffCurrency : ffFixed, FPrecision, FormatSettings.CurrencyDecimals);
  else text = FloatToStrF(v, ffGeneral, FPrecision, 0);
}

KW_REGISTER_CLASS(TCurrencyField, TFloatField)
TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner) {
  FDataType = ftCurrency;
  FCurrency = true;
}

// --- BCD ------------------------------------------------------------------------------------

KW_BEGIN_CLASS(TBCDField, TNumericField) {
  b.Prop(L"Currency", &TBCDField::IsCurrency, &TBCDField::SetCurrency).Default(false);
  b.Prop(L"Precision", &TBCDField::Precision, &TBCDField::SetPrecision).Default(0);
}

TBCDField::TBCDField(TComponent* owner) : TNumericField(owner) {
  FDataType = ftBCD;
  FSize = 4;
}

void TBCDField::SetSize(int v) {
  if (v < 0 || v > 4) DatabaseError(SDb::SInvalidFieldSize, this);
  TField::SetSize(v);
}

Variant TBCDField::AsVariant() const { return IsNull() ? Null() : Variant(AsCurrency()); }
void TBCDField::SetAsVariant(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) SetData(Null());
  else if (VarIsStr(v)) SetAsString(v.AsString());
  else SetAsCurrency(v.AsCurrency());
}

Currency TBCDField::AsCurrency() const {
  const Variant& v = Data();
  return v.IsNull() || v.IsEmpty() ? Currency() : v.AsCurrency();
}

void TBCDField::SetAsCurrency(Currency v) {
  // Round half away from zero to Size decimals.
  Int64 step = 1;
  for (int i = FSize; i < 4; ++i) step *= 10;
  Int64 raw = v.Raw();
  if (step > 1) {
    Int64 rem = raw % step;
    raw -= rem;
    if (rem * 2 >= step) raw += step;
    else if (rem * 2 <= -step) raw -= step;
  }
  if (FPrecision > 0 && FPrecision - FSize < 15) {
    Int64 limit = 1;
    for (int i = 0; i < FPrecision - FSize; ++i) limit *= 10;
    if (raw / Currency::Scale >= limit || raw / Currency::Scale <= -limit) DatabaseError(SDb::SBcdOverflow, this);
  }
  SetData(Variant(Currency::FromRaw(raw)));
}

Integer TBCDField::AsInteger() const {
  Int64 v = AsCurrency().Trunc();
  if (v < INT32_MIN || v > INT32_MAX) AccessError(L"Integer");
  return Integer(v);
}

String TBCDField::AsString() const { return IsNull() ? String() : CurrToStr(AsCurrency()); }

void TBCDField::SetAsString(const String& v) {
  String s = Trim(v);
  if (s.empty()) {
    SetData(Null());
    return;
  }
  Currency c;
  if (!TryStrToCurr(s, c)) throw EConvertError(Format(SDb::SInvalidFloatValue, {v, DisplayName()}));
  SetAsCurrency(c);
}

void TBCDField::GetText(String& text, bool displayText) const {
  if (IsNull()) {
    text.clear();
    return;
  }
  Currency c = AsCurrency();
  const String& fmt = displayText || FEditFormat.empty() ? FDisplayFormat : FEditFormat;
  if (!fmt.empty()) text = FormatCurr(fmt, c);
  else if (FCurrency) text = CurrToStrF(c, displayText ? ffCurrency : ffFixed, FormatSettings.CurrencyDecimals);
  else text = CurrToStr(c);
}

// --- FMT-BCD --------------------------------------------------------------------------------

KW_BEGIN_CLASS(TFMTBCDField, TNumericField) {
  b.Prop(L"Precision", &TFMTBCDField::Precision, &TFMTBCDField::SetPrecision).Default(0);
}

TFMTBCDField::TFMTBCDField(TComponent* owner) : TNumericField(owner) {
  FDataType = ftFMTBcd;
  FSize = 4;
  FPrecision = 32;
}

void TFMTBCDField::SetSize(int v) {
  if (v < 0 || v > 64) DatabaseError(SDb::SInvalidFieldSize, this);
  TField::SetSize(v);
}

String TFMTBCDField::Normalize(const String& text, int precision, int scale) {
  String s = Trim(text);
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == L'-' || s[i] == L'+')) neg = s[i++] == L'-';
  String intPart, frac;
  bool dot = false, any = false;
  for (; i < s.size(); ++i) {
    wchar_t c = s[i];
    if (c >= L'0' && c <= L'9') {
      (dot ? frac : intPart) += c;
      any = true;
    } else if (!dot && (c == L'.' || c == FormatSettings.DecimalSeparator)) {
      dot = true;
    } else {
      throw EConvertError(Format(SDb::SInvalidBcdValue, {text}));
    }
  }
  if (!any) throw EConvertError(Format(SDb::SInvalidBcdValue, {text}));
  // Round half away from zero at the scale.
  bool up = int(frac.size()) > scale && frac[scale] >= L'5';
  frac.resize(std::max<size_t>(scale, 0), L'0');
  if (int(frac.size()) > scale) frac.resize(scale);
  String digits = intPart + frac;
  if (up) {
    int k = int(digits.size()) - 1;
    for (; k >= 0; --k) {
      if (digits[k] == L'9') digits[k] = L'0';
      else {
        ++digits[k];
        break;
      }
    }
    if (k < 0) digits.insert(digits.begin(), L'1');
  }
  intPart = digits.substr(0, digits.size() - scale);
  frac = digits.substr(digits.size() - scale);
  size_t nz = intPart.find_first_not_of(L'0');
  intPart = nz == String::npos ? String(L"0") : intPart.substr(nz);
  int intDigits = intPart == L"0" ? 0 : int(intPart.size());
  if (precision > 0 && intDigits + scale > precision) throw EDatabaseError(SDb::SBcdOverflow);
  bool zero = intPart == L"0" && frac.find_first_not_of(L'0') == String::npos;
  String out = (neg && !zero ? L"-" : L"") + intPart;
  if (scale > 0) out += L"." + frac;
  return out;
}

Variant TFMTBCDField::AsVariant() const { return IsNull() ? Null() : Data(); }
void TFMTBCDField::SetAsVariant(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) SetData(Null());
  else if (VarIsStr(v)) SetAsString(v.AsString());
  else if (v.VarType() == varCurrency) SetAsCurrency(v.AsCurrency());
  else if (VarIsFloat(v)) SetAsFloat(v.AsDouble());
  else SetAsLargeInt(v.AsInt64());
}

String TFMTBCDField::AsString() const {
  if (IsNull()) return String();
  String s = Data().AsString();
  if (FormatSettings.DecimalSeparator != L'.') std::replace(s.begin(), s.end(), L'.', FormatSettings.DecimalSeparator);
  return s;
}

void TFMTBCDField::SetAsString(const String& v) {
  if (Trim(v).empty()) {
    SetData(Null());
    return;
  }
  SetData(Variant(Normalize(v, FPrecision, FSize)));
}

double TFMTBCDField::AsFloat() const {
  return IsNull() ? 0.0 : StrToFloat(Data().AsString(), TFormatSettings::Invariant());
}
void TFMTBCDField::SetAsFloat(double v) {
  if (!std::isfinite(v)) throw EConvertError(Format(SDb::SInvalidBcdValue, {FloatToStr(v)}));
  wchar_t buf[400];
  std::swprintf(buf, std::size(buf), L"%.*f", FSize, v);
  SetData(Variant(Normalize(buf, FPrecision, FSize)));
}
Currency TFMTBCDField::AsCurrency() const {
  return IsNull() ? Currency() : StrToCurr(Data().AsString(), TFormatSettings::Invariant());
}
void TFMTBCDField::SetAsCurrency(Currency v) { SetAsString(CurrToStr(v)); }
Int64 TFMTBCDField::AsLargeInt() const {
  if (IsNull()) return 0;
  String s = Data().AsString();
  return StrToInt64(s.substr(0, s.find(L'.')));
}
Integer TFMTBCDField::AsInteger() const {
  Int64 v = AsLargeInt();
  if (v < INT32_MIN || v > INT32_MAX) AccessError(L"Integer");
  return Integer(v);
}

void TFMTBCDField::GetText(String& text, bool displayText) const {
  if (IsNull()) {
    text.clear();
    return;
  }
  const String& fmt = displayText || FEditFormat.empty() ? FDisplayFormat : FEditFormat;
  text = fmt.empty() ? AsString() : FormatFloat(fmt, AsFloat());
}

// --- dates and times ------------------------------------------------------------------------

KW_BEGIN_CLASS(TDateTimeField, TField) {
  b.Prop(L"DisplayFormat", &TDateTimeField::DisplayFormat, &TDateTimeField::SetDisplayFormat);
}

TDateTimeField::TDateTimeField(TComponent* owner) : TDateTimeField(owner, ftDateTime) {}
TDateTimeField::TDateTimeField(TComponent* owner, TFieldType type) : TField(owner) { FDataType = type; }

Variant TDateTimeField::AsVariant() const { return IsNull() ? Null() : Variant(AsDateTime()); }
void TDateTimeField::SetAsVariant(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) SetData(Null());
  else if (VarIsStr(v)) SetAsString(v.AsString());
  else SetAsDateTime(v.AsDateTime());
}

TDateTime TDateTimeField::AsDateTime() const {
  const Variant& v = Data();
  return v.IsNull() || v.IsEmpty() ? TDateTime() : v.AsDateTime();
}
void TDateTimeField::SetAsDateTime(TDateTime v) { SetData(Variant(Truncate(v))); }

String TDateTimeField::AsString() const {
  String s;
  GetText(s, false);
  return s;
}

void TDateTimeField::SetAsString(const String& v) {
  String s = Trim(v);
  if (s.empty()) {
    SetData(Null());
    return;
  }
  // The RTL's parsers raise the host's conversion errors with their own texts.
  if (FDataType == ftDate) SetAsDateTime(StrToDate(s));
  else if (FDataType == ftTime) SetAsDateTime(StrToTime(s));
  else SetAsDateTime(StrToDateTime(s));
}

void TDateTimeField::GetText(String& text, bool displayText) const {
  if (IsNull()) {
    text.clear();
    return;
  }
  String fmt = displayText ? FDisplayFormat : String();
  if (fmt.empty()) fmt = FDataType == ftDate ? L"ddddd" : FDataType == ftTime ? L"tt" : L"c";
  text = FormatDateTime(fmt, AsDateTime());
}

KW_REGISTER_CLASS(TDateField, TDateTimeField)
TDateField::TDateField(TComponent* owner) : TDateTimeField(owner, ftDate) {}
TDateTime TDateField::Truncate(TDateTime v) const { return std::trunc(v.Val); }
KW_REGISTER_CLASS(TTimeField, TDateTimeField)
TTimeField::TTimeField(TComponent* owner) : TDateTimeField(owner, ftTime) {}
TDateTime TTimeField::Truncate(TDateTime v) const { return std::fabs(v.Val - std::trunc(v.Val)); }
KW_REGISTER_CLASS(TSQLTimeStampField, TDateTimeField)
TSQLTimeStampField::TSQLTimeStampField(TComponent* owner) : TDateTimeField(owner, ftTimeStamp) {}

// --- the class of a type --------------------------------------------------------------------

TClass DefaultFieldClass(TFieldType type) {
  switch (type) {
    case ftString: case ftFixedChar: return TStringField::StaticClass();
    case ftWideString: case ftFixedWideChar: return TWideStringField::StaticClass();
    case ftGuid: return TGuidField::StaticClass();
    case ftVariant: return TVariantField::StaticClass();
    case ftSmallint: return TSmallintField::StaticClass();
    case ftInteger: return TIntegerField::StaticClass();
    case ftWord: return TWordField::StaticClass();
    case ftShortint: return TShortintField::StaticClass();
    case ftByte: return TByteField::StaticClass();
    case ftLongWord: return TLongWordField::StaticClass();
    case ftAutoInc: return TAutoIncField::StaticClass();
    case ftLargeint: return TLargeintField::StaticClass();
    case ftBoolean: return TBooleanField::StaticClass();
    case ftFloat: return TFloatField::StaticClass();
    case ftCurrency: return TCurrencyField::StaticClass();
    case ftBCD: return TBCDField::StaticClass();
    case ftFMTBcd: return TFMTBCDField::StaticClass();
    case ftDate: return TDateField::StaticClass();
    case ftTime: return TTimeField::StaticClass();
    case ftDateTime: return TDateTimeField::StaticClass();
    case ftTimeStamp: return TSQLTimeStampField::StaticClass();
    case ftBlob: case ftOraBlob: case ftBytes: case ftVarBytes: case ftTypedBinary: return TBlobField::StaticClass();
    case ftMemo: case ftOraClob: case ftFmtMemo: return TMemoField::StaticClass();
    case ftWideMemo: return TWideMemoField::StaticClass();
    case ftGraphic: return TGraphicField::StaticClass();
    default: return nullptr;
  }
}

}  // namespace kw
