// Fields: TField and a class per field type (strings, numbers, booleans, BCD, dates, blobs,
// memos, graphics), the field list TFields, field definitions, EDatabaseError and its texts.
// Blob streams and the graphic field's picture handling are in Dbblob.cpp.
#pragma once

#include <vector>

#include "host/Classes.h"
#include "host/Collection.h"
#include "host/StdCtrls.h"
#include "host/Typinfo.h"
#include "host/Variants.h"

namespace kw {

class TDataSet;
class TField;
class TStrings;
class TGraphic;
class TStream;

enum TFieldType {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
  ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic,
  ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString,
  ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant,
  ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd, ftFixedWideChar, ftWideMemo,
  ftOraTimeStamp, ftOraInterval, ftLongWord, ftShortint, ftByte
};
KW_DECLARE_ENUM(TFieldType)
enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };
KW_DECLARE_ENUM(TFieldKind)

KW_EXCEPTION(EDatabaseError, Exception)

// The host's data access message texts.
namespace SDb {
inline constexpr const wchar_t* SFieldNotFound = L"Field '%s' not found";
inline constexpr const wchar_t* SDataSetOpen = L"Cannot perform this operation on an open dataset";
inline constexpr const wchar_t* SDataSetClosed = L"Cannot perform this operation on a closed dataset";
inline constexpr const wchar_t* SDataSetEmpty = L"Cannot perform this operation on an empty dataset";
inline constexpr const wchar_t* SDataSetReadOnly = L"Cannot modify a read-only dataset";
inline constexpr const wchar_t* SNotEditing = L"Dataset not in edit or insert mode";
inline constexpr const wchar_t* SFieldRequired = L"Field '%s' must have a value";
inline constexpr const wchar_t* SFieldReadOnly = L"Field '%s' cannot be modified";
inline constexpr const wchar_t* SFieldAccessError = L"Cannot access field '%s' as type %s";
inline constexpr const wchar_t* SFieldTypeMismatch = L"Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const wchar_t* SDuplicateFieldName = L"Duplicate field name '%s'";
inline constexpr const wchar_t* SFieldNameMissing = L"Field name missing";
inline constexpr const wchar_t* SFieldIndexError = L"Field index out of range";
inline constexpr const wchar_t* SFieldRangeError = L"%s is not a valid value for field '%s'. The allowed range is %s to %s";
inline constexpr const wchar_t* SInvalidIntegerValue = L"'%s' is not a valid integer value for field '%s'";
inline constexpr const wchar_t* SInvalidFloatValue = L"'%s' is not a valid floating point value for field '%s'";
inline constexpr const wchar_t* SInvalidBoolValue = L"'%s' is not a valid boolean value for field '%s'";
inline constexpr const wchar_t* SInvalidDateTimeValue = L"'%s' is not a valid date and time for field '%s'";
inline constexpr const wchar_t* SInvalidBcdValue = L"'%s' is not a valid BCD value";
inline constexpr const wchar_t* SBcdOverflow = L"BCD overflow";
inline constexpr const wchar_t* SInvalidGuidValue = L"'%s' is not a valid GUID value for field '%s'";
inline constexpr const wchar_t* SNotABlobField = L"Field '%s' is not a blob field";
inline constexpr const wchar_t* SLookupInfoError = L"Lookup information for field '%s' is incomplete";
inline constexpr const wchar_t* SCircularDataLink = L"Circular datalinks are not allowed";
inline constexpr const wchar_t* SIndexNotFound = L"Index '%s' not found";
inline constexpr const wchar_t* SNoFieldIndexes = L"No index currently active";
inline constexpr const wchar_t* SFieldValueError = L"Invalid value for field '%s'";
inline constexpr const wchar_t* SInvalidFieldSize = L"Invalid field size";
inline constexpr const wchar_t* SInvalidCalcType = L"Field '%s' cannot be a calculated or lookup field";
inline constexpr const wchar_t* STextTrue = L"True";
inline constexpr const wchar_t* STextFalse = L"False";
}  // namespace SDb

// The host's name of a field type ("String", "Integer", ...), as the type mismatch text shows it.
String FieldTypeName(TFieldType type);

class TFieldDef : public TCollectionItem {
  KW_CLASS(TFieldDef, TCollectionItem)
  explicit TFieldDef(TCollection* collection) : TCollectionItem(collection) {}
  void Assign(const TPersistent* source) override;
  String DisplayName() const override { return FName; }
  const String& Name() const { return FName; }
  void SetName(const String& v) { FName = v; Changed(false); }
  TFieldType DataType() const { return FDataType; }
  void SetDataType(TFieldType v);
  int Size() const { return FSize; }
  void SetSize(int v) { FSize = v; Changed(false); }
  int Precision() const { return FPrecision; }
  void SetPrecision(int v) { FPrecision = v; Changed(false); }
  bool Required() const { return FRequired; }
  void SetRequired(bool v) { FRequired = v; Changed(false); }
  int FieldNo() const { return Index() + 1; }

private:
  String FName;
  TFieldType FDataType = ftUnknown;
  int FSize = 0;
  int FPrecision = 0;
  bool FRequired = false;
};

class TFieldDefs : public TOwnedCollection {
  KW_CLASS(TFieldDefs, TOwnedCollection)
  explicit TFieldDefs(TPersistent* owner);
  TFieldDef* Add(const String& name, TFieldType type, int size = 0, bool required = false);
  TFieldDef* AddFieldDef();
  TFieldDef* Items(int index) const;
  int IndexOf(const String& name) const;  // case-insensitive; -1 when none
  TFieldDef* Find(const String& name) const;  // raises SFieldNotFound
  // Reads the definitions from the dataset when they are not up to date.
  void Update();
  bool Updated() const { return FUpdated; }
  void SetUpdated(bool v) { FUpdated = v; }

protected:
  void Update(TCollectionItem* item) override { FUpdated = false; }

private:
  bool FUpdated = false;
};

// The dataset's fields in order; it does not own them (their owner component does).
class TFields : public TObject {
  KW_CLASS(TFields, TObject)
  explicit TFields(TDataSet* dataSet) : FDataSet(dataSet) {}
  int Count() const { return int(FList.size()); }
  TField* Fields(int index) const;
  TField* operator[](int index) const { return Fields(index); }
  void Add(TField* field);
  void Remove(TField* field);
  void Clear() { FList.clear(); }
  int IndexOf(const TField* field) const;
  TField* FindField(const String& name) const;
  TField* FieldByName(const String& name) const;  // raises SFieldNotFound
  TDataSet* DataSet() const { return FDataSet; }
  void SetFieldIndex(TField* field, int index);

private:
  TDataSet* FDataSet;
  std::vector<TField*> FList;
};

using TFieldNotifyEvent = TEvent<void(TField* Sender)>;
using TFieldGetTextEvent = TEvent<void(TField* Sender, String& Text, bool DisplayText)>;
using TFieldSetTextEvent = TEvent<void(TField* Sender, const String& Text)>;

// A column of a dataset: reads and writes its slot of the dataset's active record buffer,
// converts between its value and the As... types, and formats text for display and editing.
class TField : public TComponent {
  KW_CLASS(TField, TComponent)
  explicit TField(TComponent* owner);
  ~TField() override;

  TDataSet* DataSet() const { return FDataSet; }
  void SetDataSet(TDataSet* v);
  const String& FieldName() const { return FFieldName; }
  void SetFieldName(const String& v);
  int FieldNo() const { return FFieldNo; }
  TFieldType DataType() const { return FDataType; }
  TFieldKind FieldKind() const { return FFieldKind; }
  void SetFieldKind(TFieldKind v);
  bool Calculated() const { return FFieldKind == fkCalculated; }
  bool Lookup() const { return FFieldKind == fkLookup; }
  int Index() const;
  void SetIndex(int v);
  int Size() const { return FSize; }
  virtual void SetSize(int v);
  String DisplayLabel() const { return FDisplayLabel.empty() ? FFieldName : FDisplayLabel; }
  void SetDisplayLabel(const String& v) { FDisplayLabel = v == FFieldName ? String() : v; }
  bool DisplayLabelStored() const { return !FDisplayLabel.empty(); }
  String DisplayName() const { return DisplayLabel(); }
  int DisplayWidth() const { return FDisplayWidth > 0 ? FDisplayWidth : DefaultDisplayWidth(); }
  void SetDisplayWidth(int v) { FDisplayWidth = v; }
  bool DisplayWidthStored() const { return FDisplayWidth > 0; }
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v) { FAlignment = v; }
  bool Required() const { return FRequired; }
  void SetRequired(bool v) { FRequired = v; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v) { FReadOnly = v; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool v) { FVisible = v; }
  const String& EditMask() const { return FEditMask; }
  void SetEditMask(const String& v) { FEditMask = v; }
  // Numeric and date fields use these; others ignore them.
  const String& DisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const String& v) { FDisplayFormat = v; }
  const String& EditFormat() const { return FEditFormat; }
  void SetEditFormat(const String& v) { FEditFormat = v; }
  int Precision() const { return FPrecision; }
  void SetPrecision(int v) { FPrecision = v; }
  // Lookup fields: KeyFields of this dataset matched against LookupKeyFields of LookupDataSet.
  TDataSet* LookupDataSet() const { return FLookupDataSet; }
  void SetLookupDataSet(TDataSet* v);
  const String& KeyFields() const { return FKeyFields; }
  void SetKeyFields(const String& v) { FKeyFields = v; }
  const String& LookupKeyFields() const { return FLookupKeyFields; }
  void SetLookupKeyFields(const String& v) { FLookupKeyFields = v; }
  const String& LookupResultField() const { return FLookupResultField; }
  void SetLookupResultField(const String& v) { FLookupResultField = v; }

  bool IsNull() const;
  virtual bool IsBlob() const { return false; }
  bool CanModify() const;
  void Clear() { SetAsVariant(Null()); }
  void FocusControl();

  Variant Value() const { return AsVariant(); }
  void SetValue(const Variant& v) { SetAsVariant(v); }
  virtual Variant AsVariant() const;
  virtual void SetAsVariant(const Variant& v);
  virtual String AsString() const;
  virtual void SetAsString(const String& v);
  String AsWideString() const { return AsString(); }
  void SetAsWideString(const String& v) { SetAsString(v); }
  virtual Integer AsInteger() const;
  virtual void SetAsInteger(Integer v);
  virtual Int64 AsLargeInt() const;
  virtual void SetAsLargeInt(Int64 v);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double v);
  virtual Currency AsCurrency() const;
  virtual void SetAsCurrency(Currency v);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool v);
  virtual TDateTime AsDateTime() const;
  virtual void SetAsDateTime(TDateTime v);
  virtual TBytes AsBytes() const;
  virtual void SetAsBytes(const TBytes& v);

  // Through OnGetText / OnSetText when assigned.
  String Text() const;
  void SetText(const String& v);
  String DisplayText() const;

  TFieldNotifyEvent OnChange;
  TFieldNotifyEvent OnValidate;
  TFieldGetTextEvent OnGetText;
  TFieldSetTextEvent OnSetText;

  // The slot of the record buffer this field owns; -1 while unbound.
  int Slot() const { return FSlot; }
  // The raw stored value (Null when empty), without conversion.
  const Variant& Data() const;
  // Validates (read-only, edit state, OnValidate) and stores a raw value, then tells the
  // dataset and fires OnChange. The value must already have the field's storage type.
  void SetData(const Variant& v);

  void Notification(TComponent* component, TOperation operation) override;
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

protected:
  friend class TDataSet;
  friend class TFieldDefs;
  void SetDataType(TFieldType v) { FDataType = v; }
  virtual int DefaultDisplayWidth() const { return 10; }
  virtual void GetText(String& text, bool displayText) const;
  // The host's access error for an As... accessor the field does not support.
  [[noreturn]] void AccessError(const wchar_t* typeName) const;
  void CheckDataSet() const;
  // Whether a value may be written: dataset active and editing (or computing fields).
  void CheckWritable() const;

  TDataSet* FDataSet = nullptr;
  String FFieldName;
  int FFieldNo = 0;
  int FSlot = -1;
  TFieldType FDataType = ftUnknown;
  TFieldKind FFieldKind = fkData;
  int FSize = 0;
  int FPrecision = 0;
  String FDisplayLabel;
  int FDisplayWidth = 0;
  TAlignment FAlignment = taLeftJustify;
  bool FRequired = false;
  bool FReadOnly = false;
  bool FVisible = true;
  String FEditMask;
  String FDisplayFormat;
  String FEditFormat;
  TDataSet* FLookupDataSet = nullptr;
  String FKeyFields, FLookupKeyFields, FLookupResultField;
  // The value OnValidate is asked about; reads see it while the handler runs.
  const Variant* FValidating = nullptr;
};

class TStringField : public TField {
  KW_CLASS(TStringField, TField)
  explicit TStringField(TComponent* owner);
  // Fixed-length character data (ftFixedChar), padded on reading as the server would keep it.
  bool FixedChar() const { return FDataType == ftFixedChar || FDataType == ftFixedWideChar; }
  void SetFixedChar(bool v);
  Variant AsVariant() const override;
  void SetAsVariant(const Variant& v) override;
  String AsString() const override;
  void SetAsString(const String& v) override;
  Integer AsInteger() const override;
  void SetAsInteger(Integer v) override { SetAsString(IntToStrW(v)); }
  Int64 AsLargeInt() const override;
  void SetAsLargeInt(Int64 v) override { SetAsString(IntToStrW(v)); }
  double AsFloat() const override;
  void SetAsFloat(double v) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool v) override;
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime v) override;

protected:
  int DefaultDisplayWidth() const override { return FSize; }
  static String IntToStrW(Int64 v);
};

class TWideStringField : public TStringField {
  KW_CLASS(TWideStringField, TStringField)
  explicit TWideStringField(TComponent* owner);
};

// A GUID as its 38-character text "{...}".
class TGuidField : public TStringField {
  KW_CLASS(TGuidField, TStringField)
  explicit TGuidField(TComponent* owner);
  void SetAsString(const String& v) override;
  void SetSize(int v) override;
};

// Any variant value; As... convert it as variants do.
class TVariantField : public TField {
  KW_CLASS(TVariantField, TField)
  explicit TVariantField(TComponent* owner);
  void SetAsVariant(const Variant& v) override;
  String AsString() const override;
  void SetAsString(const String& v) override { SetAsVariant(v); }
  Integer AsInteger() const override;
  void SetAsInteger(Integer v) override { SetAsVariant(v); }
  Int64 AsLargeInt() const override;
  void SetAsLargeInt(Int64 v) override { SetAsVariant(v); }
  double AsFloat() const override;
  void SetAsFloat(double v) override { SetAsVariant(v); }
  Currency AsCurrency() const override;
  void SetAsCurrency(Currency v) override { SetAsVariant(v); }
  bool AsBoolean() const override;
  void SetAsBoolean(bool v) override { SetAsVariant(v); }
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime v) override { SetAsVariant(v); }
};

class TNumericField : public TField {
  KW_CLASS(TNumericField, TField)
  explicit TNumericField(TComponent* owner);
};

// The integer kinds share one class; the range comes from the type.
class TIntegerField : public TNumericField {
  KW_CLASS(TIntegerField, TNumericField)
  explicit TIntegerField(TComponent* owner);
  Int64 MinValue() const { return FMinValue; }
  void SetMinValue(Int64 v) { FMinValue = v; }
  Int64 MaxValue() const { return FMaxValue; }
  void SetMaxValue(Int64 v) { FMaxValue = v; }
  Variant AsVariant() const override;
  void SetAsVariant(const Variant& v) override;
  String AsString() const override;
  void SetAsString(const String& v) override;
  Integer AsInteger() const override;
  void SetAsInteger(Integer v) override { SetAsLargeInt(v); }
  Int64 AsLargeInt() const override;
  void SetAsLargeInt(Int64 v) override;
  double AsFloat() const override { return double(AsLargeInt()); }
  void SetAsFloat(double v) override;
  Currency AsCurrency() const override { return Currency(AsLargeInt()); }
  void SetAsCurrency(Currency v) override { SetAsFloat(v.ToDouble()); }
  bool AsBoolean() const override { return AsLargeInt() != 0; }

protected:
  TIntegerField(TComponent* owner, TFieldType type, Int64 lo, Int64 hi);
  void GetText(String& text, bool displayText) const override;
  int DefaultDisplayWidth() const override { return 11; }
  void CheckRange(Int64 v) const;
  Int64 FMinValue = 0, FMaxValue = 0;  // 0 and 0: the type's own range
  Int64 FTypeMin, FTypeMax;
};

class TSmallintField : public TIntegerField {
  KW_CLASS(TSmallintField, TIntegerField)
  explicit TSmallintField(TComponent* owner);
};
class TShortintField : public TIntegerField {
  KW_CLASS(TShortintField, TIntegerField)
  explicit TShortintField(TComponent* owner);
};
class TByteField : public TIntegerField {
  KW_CLASS(TByteField, TIntegerField)
  explicit TByteField(TComponent* owner);
};
class TWordField : public TIntegerField {
  KW_CLASS(TWordField, TIntegerField)
  explicit TWordField(TComponent* owner);
};
class TLongWordField : public TIntegerField {
  KW_CLASS(TLongWordField, TIntegerField)
  explicit TLongWordField(TComponent* owner);
};
// Numbered by the dataset when a record is posted without a value; read-only to users.
class TAutoIncField : public TIntegerField {
  KW_CLASS(TAutoIncField, TIntegerField)
  explicit TAutoIncField(TComponent* owner);
};
class TLargeintField : public TIntegerField {
  KW_CLASS(TLargeintField, TIntegerField)
  explicit TLargeintField(TComponent* owner);

protected:
  int DefaultDisplayWidth() const override { return 15; }
};

class TBooleanField : public TField {
  KW_CLASS(TBooleanField, TField)
  explicit TBooleanField(TComponent* owner);
  // "True;False" by default: the texts shown and accepted for true and false.
  const String& DisplayValues() const { return FDisplayValues; }
  void SetDisplayValues(const String& v);
  Variant AsVariant() const override;
  void SetAsVariant(const Variant& v) override;
  String AsString() const override;
  void SetAsString(const String& v) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool v) override;
  Integer AsInteger() const override { return AsBoolean() ? 1 : 0; }
  void SetAsInteger(Integer v) override { SetAsBoolean(v != 0); }

protected:
  int DefaultDisplayWidth() const override { return 5; }

private:
  String FDisplayValues = L"True;False";
  String FTrueText = SDb::STextTrue, FFalseText = SDb::STextFalse;
};

class TFloatField : public TNumericField {
  KW_CLASS(TFloatField, TNumericField)
  explicit TFloatField(TComponent* owner);
  // Shown as money (ffCurrency) when true.
  bool IsCurrency() const { return FCurrency; }
  void SetCurrency(bool v) { FCurrency = v; }
  double MinValue() const { return FMinValue; }
  void SetMinValue(double v) { FMinValue = v; }
  double MaxValue() const { return FMaxValue; }
  void SetMaxValue(double v) { FMaxValue = v; }
  Variant AsVariant() const override;
  void SetAsVariant(const Variant& v) override;
  String AsString() const override;
  void SetAsString(const String& v) override;
  Integer AsInteger() const override;
  void SetAsInteger(Integer v) override { SetAsFloat(v); }
  Int64 AsLargeInt() const override;
  void SetAsLargeInt(Int64 v) override { SetAsFloat(double(v)); }
  double AsFloat() const override;
  void SetAsFloat(double v) override;
  Currency AsCurrency() const override { return Currency(AsFloat()); }
  void SetAsCurrency(Currency v) override { SetAsFloat(v.ToDouble()); }

protected:
  void GetText(String& text, bool displayText) const override;
  int DefaultDisplayWidth() const override { return 10; }
  bool FCurrency = false;
  double FMinValue = 0, FMaxValue = 0;
};

class TCurrencyField : public TFloatField {
  KW_CLASS(TCurrencyField, TFloatField)
  explicit TCurrencyField(TComponent* owner);
};

// Exact decimals held as the host's Currency; Size is the number of decimals (at most 4).
class TBCDField : public TNumericField {
  KW_CLASS(TBCDField, TNumericField)
  explicit TBCDField(TComponent* owner);
  bool IsCurrency() const { return FCurrency; }
  void SetCurrency(bool v) { FCurrency = v; }
  void SetSize(int v) override;
  Variant AsVariant() const override;
  void SetAsVariant(const Variant& v) override;
  String AsString() const override;
  void SetAsString(const String& v) override;
  Integer AsInteger() const override;
  void SetAsInteger(Integer v) override { SetAsCurrency(Currency(v)); }
  Int64 AsLargeInt() const override { return AsCurrency().Trunc(); }
  void SetAsLargeInt(Int64 v) override { SetAsCurrency(Currency(v)); }
  double AsFloat() const override { return AsCurrency().ToDouble(); }
  void SetAsFloat(double v) override { SetAsCurrency(Currency(v)); }
  Currency AsCurrency() const override;
  void SetAsCurrency(Currency v) override;

protected:
  void GetText(String& text, bool displayText) const override;
  bool FCurrency = false;
};

// Decimals of any precision held as their canonical text ("-123.4500" with Size decimals);
// Precision counts all digits, Size the decimals.
class TFMTBCDField : public TNumericField {
  KW_CLASS(TFMTBCDField, TNumericField)
  explicit TFMTBCDField(TComponent* owner);
  void SetSize(int v) override;
  Variant AsVariant() const override;
  void SetAsVariant(const Variant& v) override;
  String AsString() const override;
  void SetAsString(const String& v) override;
  Integer AsInteger() const override;
  void SetAsInteger(Integer v) override { SetAsString(std::to_wstring(v)); }
  Int64 AsLargeInt() const override;
  void SetAsLargeInt(Int64 v) override { SetAsString(std::to_wstring(v)); }
  double AsFloat() const override;
  void SetAsFloat(double v) override;
  Currency AsCurrency() const override;
  void SetAsCurrency(Currency v) override;
  // The canonical text of a decimal with the given precision and scale; raises the BCD errors.
  static String Normalize(const String& text, int precision, int scale);

protected:
  void GetText(String& text, bool displayText) const override;
};

class TDateTimeField : public TField {
  KW_CLASS(TDateTimeField, TField)
  explicit TDateTimeField(TComponent* owner);
  Variant AsVariant() const override;
  void SetAsVariant(const Variant& v) override;
  String AsString() const override;
  void SetAsString(const String& v) override;
  double AsFloat() const override { return AsDateTime().Val; }
  void SetAsFloat(double v) override { SetAsDateTime(v); }
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime v) override;

protected:
  TDateTimeField(TComponent* owner, TFieldType type);
  void GetText(String& text, bool displayText) const override;
  int DefaultDisplayWidth() const override { return 18; }
  // The value kept: dates lose the time, times the date.
  virtual TDateTime Truncate(TDateTime v) const { return v; }
};
class TDateField : public TDateTimeField {
  KW_CLASS(TDateField, TDateTimeField)
  explicit TDateField(TComponent* owner);

protected:
  TDateTime Truncate(TDateTime v) const override;
};
class TTimeField : public TDateTimeField {
  KW_CLASS(TTimeField, TDateTimeField)
  explicit TTimeField(TComponent* owner);

protected:
  TDateTime Truncate(TDateTime v) const override;
};
class TSQLTimeStampField : public TDateTimeField {
  KW_CLASS(TSQLTimeStampField, TDateTimeField)
  explicit TSQLTimeStampField(TComponent* owner);
};

// Bytes of any length; the Ora blob kind is a blob field of type ftOraBlob.
class TBlobField : public TField {
  KW_CLASS(TBlobField, TField)
  explicit TBlobField(TComponent* owner);
  bool IsBlob() const override { return true; }
  // Blob kinds (ftBlob, ftOraBlob, ftMemo, ftOraClob, ...) for definitions made in code.
  void SetBlobType(TFieldType v);
  TFieldType BlobType() const { return FDataType; }
  int BlobSize() const;
  bool Modified() const { return FModified; }
  void SetModified(bool v) { FModified = v; }
  Variant AsVariant() const override;
  void SetAsVariant(const Variant& v) override;
  String AsString() const override;
  void SetAsString(const String& v) override;
  TBytes AsBytes() const override;
  void SetAsBytes(const TBytes& v) override;
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  void LoadFromFile(const String& fileName);
  void SaveToFile(const String& fileName) const;
  void Assign(const TPersistent* source) override;

protected:
  void GetText(String& text, bool displayText) const override;
  bool FModified = false;
};

// Text kept in a blob: ANSI bytes for ftMemo and ftOraClob, UTF-16 for the wide memo.
class TMemoField : public TBlobField {
  KW_CLASS(TMemoField, TBlobField)
  explicit TMemoField(TComponent* owner);
  String AsString() const override;
  void SetAsString(const String& v) override;
  Variant AsVariant() const override { return IsNull() ? Null() : Variant(AsString()); }
  void SetAsVariant(const Variant& v) override;
  bool IsWide() const { return FDataType == ftWideMemo; }
  void Assign(const TPersistent* source) override;

protected:
  void GetText(String& text, bool displayText) const override;
  void AssignTo(TPersistent* dest) const override;
};
class TWideMemoField : public TMemoField {
  KW_CLASS(TWideMemoField, TMemoField)
  explicit TWideMemoField(TComponent* owner);
};

// A picture kept as a bitmap behind the 8-byte header of the host's graphic fields
// (1, 0x0100, byte count); reading accepts bitmap bytes without the header too.
class TGraphicField : public TBlobField {
  KW_CLASS(TGraphicField, TBlobField)
  explicit TGraphicField(TComponent* owner);
  // From a bitmap (or a picture holding one); anything else raises the assignment error.
  void Assign(const TPersistent* source) override;
  // The stored bitmap bytes without the header.
  TBytes BitmapBytes() const;

protected:
  void AssignTo(TPersistent* dest) const override;
};

// The field class the dataset makes for a definition of this type (nullptr when none).
TClass DefaultFieldClass(TFieldType type);

}  // namespace kw
