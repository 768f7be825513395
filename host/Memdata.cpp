// The in-memory dataset: rows, the index order, key search, and the file form (a signature,
// the structure, then the rows, every value tagged null or present). No delta log.
#include "host/Memdata.h"

#include <algorithm>
#include <cstring>

#include "host/Filer.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw {

namespace {

constexpr char kSignature[4] = {'K', 'W', 'D', 'S'};
constexpr Word kVersion = 1;

enum TStoreKind { skInt, skBool, skFloat, skCurrency, skDate, skString, skBytes, skVariant, skNone };

TStoreKind StoreKind(TFieldType t) {
  switch (t) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: case ftLongWord:
    case ftShortint: case ftByte:
      return skInt;
    case ftBoolean: return skBool;
    case ftFloat: case ftCurrency: return skFloat;
    case ftBCD: return skCurrency;
    case ftDate: case ftTime: case ftDateTime: case ftTimeStamp: return skDate;
    case ftString: case ftFixedChar: case ftWideString: case ftFixedWideChar: case ftGuid: case ftFMTBcd:
      return skString;
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftTypedBinary: case ftOraBlob:
    case ftOraClob: case ftWideMemo: case ftBytes: case ftVarBytes:
      return skBytes;
    case ftVariant: return skVariant;
    default: return skNone;
  }
}

bool IsNullish(const Variant& v) { return v.IsNull() || v.IsEmpty(); }

// One sort value, taken out of its variant once so that sorting compares without copies.
struct TKeyValue {
  bool Null = true;
  Int64 I = 0;
  double D = 0;
  String S;
};

TKeyValue MakeKey(const Variant& v, TFieldType type) {
  TKeyValue k;
  if (IsNullish(v)) return k;
  k.Null = false;
  switch (StoreKind(type)) {
    case skInt: k.I = v.AsInt64(); break;
    case skBool: k.I = v.AsBoolean() ? 1 : 0; break;
    case skCurrency: k.I = v.AsCurrency().Raw(); break;
    case skFloat: case skDate: k.D = v.AsDouble(); break;
    case skString:
      if (type == ftFMTBcd) k.D = StrToFloatDef(v.AsString(), 0, TFormatSettings::Invariant());
      else k.S = v.AsString();
      break;
    case skBytes: {
      TBytes b = v.AsBytes();
      k.S.assign(b.begin(), b.end());
      break;
    }
    default: k.S = VarToStr(v); break;
  }
  return k;
}

int CompareKeys(const TKeyValue& a, const TKeyValue& b, TFieldType type, bool caseInsensitive) {
  if (a.Null || b.Null) return a.Null == b.Null ? 0 : (a.Null ? -1 : 1);
  switch (StoreKind(type)) {
    case skInt: case skBool: case skCurrency: return a.I < b.I ? -1 : a.I > b.I ? 1 : 0;
    case skFloat: case skDate: return a.D < b.D ? -1 : a.D > b.D ? 1 : 0;
    case skString:
      if (type == ftFMTBcd) return a.D < b.D ? -1 : a.D > b.D ? 1 : 0;
      break;
    case skBytes: return a.S < b.S ? -1 : a.S > b.S ? 1 : 0;  // byte order
    default: break;
  }
  int c = caseInsensitive ? AnsiCompareText(a.S, b.S) : AnsiCompareStr(a.S, b.S);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// --- writing --------------------------------------------------------------------------------

class TOut {
public:
  explicit TOut(TStream& s) : FStream(s) {}
  void Bytes(const void* p, size_t n) { if (n) FStream.WriteBuffer(p, Int64(n)); }
  void U8(Byte v) { Bytes(&v, 1); }
  void U16(Word v) { Byte b[2] = {Byte(v), Byte(v >> 8)}; Bytes(b, 2); }
  void U32(Cardinal v) { Byte b[4] = {Byte(v), Byte(v >> 8), Byte(v >> 16), Byte(v >> 24)}; Bytes(b, 4); }
  void I64(Int64 v) { for (int i = 0; i < 8; ++i) U8(Byte(UInt64(v) >> (8 * i))); }
  void F64(double v) { Int64 bits; std::memcpy(&bits, &v, 8); I64(bits); }
  void Str(const String& s) {
    U32(Cardinal(s.size()));
    for (wchar_t c : s) U16(Word(c));
  }

private:
  TStream& FStream;
};

void WriteValue(TOut& out, const Variant& v, TFieldType type) {
  if (IsNullish(v)) {
    out.U8(0);
    return;
  }
  out.U8(1);
  switch (StoreKind(type)) {
    case skInt: out.I64(v.AsInt64()); break;
    case skBool: out.U8(v.AsBoolean() ? 1 : 0); break;
    case skFloat: case skDate: out.F64(v.AsDouble()); break;
    case skCurrency: out.I64(v.AsCurrency().Raw()); break;
    case skString: out.Str(v.AsString()); break;
    case skBytes: {
      TBytes b = v.AsBytes();
      out.U32(Cardinal(b.size()));
      out.Bytes(b.data(), b.size());
      break;
    }
    case skVariant: {
      TVarType t = v.VarType();
      if (VarIsStr(v)) { out.U8(3); out.Str(v.AsString()); }
      else if (t == varBoolean) { out.U8(4); out.U8(v.AsBoolean()); }
      else if (t == varCurrency) { out.U8(5); out.I64(v.AsCurrency().Raw()); }
      else if (t == varDate) { out.U8(6); out.F64(v.AsDouble()); }
      else if (VarIsFloat(v)) { out.U8(2); out.F64(v.AsDouble()); }
      else { out.U8(1); out.I64(v.AsInt64()); }
      break;
    }
    case skNone: break;
  }
}

// --- reading --------------------------------------------------------------------------------

// Reads from a byte image of the file and checks every length against what is left.
class TIn {
public:
  TIn(const TBytes& data, const String& source) : FData(data), FSource(source) {}
  [[noreturn]] void Fault(const String& what) const {
    throw EDatabaseError(Format(L"Cannot load dataset from %s: %s at byte %d", {FSource, what, int(FPos)}));
  }
  size_t Left() const { return FData.size() - FPos; }
  void Need(size_t n, const wchar_t* what) const {
    if (n > Left()) Fault(Format(L"%s needs %d bytes, %d left", {String(what), Int64(n), Int64(Left())}));
  }
  const Byte* Take(size_t n, const wchar_t* what) {
    Need(n, what);
    const Byte* p = FData.data() + FPos;
    FPos += n;
    return p;
  }
  Byte U8(const wchar_t* what) { return *Take(1, what); }
  Word U16(const wchar_t* what) { const Byte* p = Take(2, what); return Word(p[0] | (p[1] << 8)); }
  Cardinal U32(const wchar_t* what) {
    const Byte* p = Take(4, what);
    return Cardinal(p[0]) | (Cardinal(p[1]) << 8) | (Cardinal(p[2]) << 16) | (Cardinal(p[3]) << 24);
  }
  Int64 I64(const wchar_t* what) {
    const Byte* p = Take(8, what);
    UInt64 v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return Int64(v);
  }
  double F64(const wchar_t* what) { Int64 bits = I64(what); double d; std::memcpy(&d, &bits, 8); return d; }
  String Str(const wchar_t* what) {
    Cardinal n = U32(what);
    if (UInt64(n) * 2 > Left()) Fault(Format(L"%s length %d past the end", {String(what), Int64(n)}));
    String s(n, L'\0');
    for (Cardinal i = 0; i < n; ++i) s[i] = wchar_t(U16(what));
    return s;
  }

private:
  const TBytes& FData;
  String FSource;
  size_t FPos = 0;
};

Variant ReadValue(TIn& in, TFieldType type) {
  Byte tag = in.U8(L"value tag");
  if (tag == 0) return Null();
  if (tag != 1) in.Fault(Format(L"value tag %d invalid", {int(tag)}));
  switch (StoreKind(type)) {
    case skInt: return Variant((long long)in.I64(L"integer"));
    case skBool: {
      Byte b = in.U8(L"boolean");
      if (b > 1) in.Fault(Format(L"boolean value %d invalid", {int(b)}));
      return Variant(b == 1);
    }
    case skFloat: return Variant(in.F64(L"float"));
    case skDate: return Variant(TDateTime(in.F64(L"date")));
    case skCurrency: return Variant(Currency::FromRaw(in.I64(L"currency")));
    case skString: return Variant(in.Str(L"text"));
    case skBytes: {
      Cardinal n = in.U32(L"blob length");
      if (n > in.Left()) in.Fault(Format(L"blob length %d past the end", {Int64(n)}));
      const Byte* p = in.Take(n, L"blob");
      return Variant(TBytes(p, p + n));
    }
    case skVariant: {
      Byte k = in.U8(L"variant kind");
      switch (k) {
        case 1: return Variant((long long)in.I64(L"integer"));
        case 2: return Variant(in.F64(L"float"));
        case 3: return Variant(in.Str(L"text"));
        case 4: return Variant(in.U8(L"boolean") != 0);
        case 5: return Variant(Currency::FromRaw(in.I64(L"currency")));
        case 6: return Variant(TDateTime(in.F64(L"date")));
        default: in.Fault(Format(L"variant kind %d invalid", {int(k)}));
      }
    }
    case skNone: break;
  }
  in.Fault(L"field type without storage");
}

}  // namespace

KW_BEGIN_CLASS(TClientDataSet, TDataSet) {
  b.Prop(L"FieldDefs", &TClientDataSet::FieldDefs, &TClientDataSet::SetFieldDefs);
  b.Prop(L"FileName", &TClientDataSet::FileName, &TClientDataSet::SetFileName);
  b.Prop(L"IndexFieldNames", &TClientDataSet::IndexFieldNames, &TClientDataSet::SetIndexFieldNames);
  b.Prop(L"IndexName", &TClientDataSet::IndexName, &TClientDataSet::SetIndexName);
}

TClientDataSet::TClientDataSet(TComponent* owner) : TDataSet(owner) {}

TClientDataSet::~TClientDataSet() {
  try {
    Close();
  } catch (...) {
    KwHandleCurrentException(this);
  }
}

void TClientDataSet::SetSchemaFromDefs() {
  FSchema.clear();
  for (int i = 0; i < FieldDefs()->Count(); ++i) {
    TFieldDef* d = FieldDefs()->Items(i);
    if (StoreKind(d->DataType()) == skNone)
      DatabaseErrorFmt(L"Field type %s is not supported", {FieldTypeName(d->DataType())}, this);
    FSchema.push_back({d->Name(), d->DataType(), d->Size(), d->Precision(), d->Required()});
  }
}

void TClientDataSet::CreateDataSet() {
  CheckInactive();
  if (FieldDefs()->Count() == 0) {
    for (int i = 0; i < Fields()->Count(); ++i) {
      TField* f = Fields()->Fields(i);
      if (f->FieldKind() == fkData) FieldDefs()->Add(f->FieldName(), f->DataType(), f->Size(), f->Required());
    }
  }
  if (FieldDefs()->Count() == 0) DatabaseError(L"Cannot create a dataset without fields", this);
  SetSchemaFromDefs();
  FHasSchema = true;
  FRows.clear();
  FView.clear();
  FAutoIncNext = 1;
  Open();
}

void TClientDataSet::EmptyDataSet() {
  CheckActive();
  Cancel();
  FRows.clear();
  FView.clear();
  Resync();
  First();
}

void TClientDataSet::InternalOpen() {
  if (!FHasSchema) {
    if (FFileName.empty()) DatabaseError(L"Missing data provider or data packet", this);
    TBytes data;
    {
      TFileStream f(FFileName, fmOpenRead | fmShareDenyWrite);
      data.resize(size_t(f.Size()));
      if (!data.empty()) f.ReadBuffer(data.data(), Int64(data.size()));
    }
    std::vector<TSchemaField> schema;
    std::vector<std::unique_ptr<TRow>> rows;
    Parse(data, FFileName, schema, rows);
    Adopt(std::move(schema), std::move(rows));
  }
  FieldDefs()->SetUpdated(false);
  ApplyIndex();
}

void TClientDataSet::InternalClose() {}

void TClientDataSet::InternalInitFieldDefs() {
  // Without a structure of its own the definitions are the caller's, waiting for CreateDataSet.
  if (!FHasSchema) return;
  FieldDefs()->BeginUpdate();
  FieldDefs()->Clear();
  for (const TSchemaField& s : FSchema) {
    TFieldDef* d = FieldDefs()->AddFieldDef();
    d->SetName(s.Name);
    d->SetSize(s.Size);
    d->SetDataType(s.Type);
    d->SetPrecision(s.Precision);
    d->SetRequired(s.Required);
  }
  FieldDefs()->EndUpdate();
}

void TClientDataSet::InternalGetRecord(int index, std::vector<Variant>& values) {
  const TRow& r = *FView[index];
  std::copy(r.begin(), r.end(), values.begin());
}

int TClientDataSet::InternalPost(int index, bool inserting, std::vector<Variant>& values) {
  size_t n = FSchema.size();
  if (inserting) {
    for (size_t i = 0; i < n; ++i)
      if (FSchema[i].Type == ftAutoInc && IsNullish(values[i])) values[i] = Variant((long long)FAutoIncNext++);
  }
  for (size_t i = 0; i < n; ++i)
    if (FSchema[i].Type == ftAutoInc && !IsNullish(values[i])) FAutoIncNext = std::max(FAutoIncNext, values[i].AsInt64() + 1);
  TRow* row;
  if (inserting) {
    FRows.push_back(std::make_unique<TRow>(values.begin(), values.begin() + n));
    row = FRows.back().get();
  } else {
    row = FView[index];
    std::copy(values.begin(), values.begin() + n, row->begin());
    FView.erase(FView.begin() + index);
  }
  int at = FSortKeys.empty() ? std::clamp(index, 0, int(FView.size())) : SortedPosition(*row);
  FView.insert(FView.begin() + at, row);
  return at;
}

void TClientDataSet::InternalDelete(int index) {
  TRow* row = FView[index];
  FView.erase(FView.begin() + index);
  auto it = std::find_if(FRows.rbegin(), FRows.rend(), [row](const std::unique_ptr<TRow>& r) { return r.get() == row; });
  if (it != FRows.rend()) FRows.erase(std::next(it).base());
}

int TClientDataSet::CompareRows(const TRow& a, const TRow& b, size_t keyCount) const {
  for (size_t i = 0; i < keyCount && i < FSortKeys.size(); ++i) {
    const TSortKey& k = FSortKeys[i];
    int c = CompareKeys(MakeKey(a[k.Slot], k.Type), MakeKey(b[k.Slot], k.Type), k.Type, k.CaseInsensitive);
    if (c != 0) return k.Descending ? -c : c;
  }
  return 0;
}

int TClientDataSet::SortedPosition(const TRow& row) const {
  auto it = std::upper_bound(FView.begin(), FView.end(), &row,
                             [this](const TRow* a, const TRow* b) { return CompareRows(*a, *b, FSortKeys.size()) < 0; });
  return int(it - FView.begin());
}

void TClientDataSet::ApplyIndex() {
  FSortKeys.clear();
  String fields = FIndexFieldNames;
  TIndexOptions options;
  if (fields.empty() && !FIndexName.empty()) {
    auto it = std::find_if(FIndexes.begin(), FIndexes.end(), [&](const TIndex& x) { return AnsiSameText(x.Name, FIndexName); });
    if (it == FIndexes.end()) DatabaseErrorFmt(SDb::SIndexNotFound, {FIndexName}, this);
    fields = it->Fields;
    options = it->Options;
  }
  for (const String& name : SplitString(fields, L";")) {
    String n = Trim(name);
    if (n.empty()) continue;
    auto s = std::find_if(FSchema.begin(), FSchema.end(), [&](const TSchemaField& f) { return AnsiSameText(f.Name, n); });
    if (s == FSchema.end()) DatabaseErrorFmt(SDb::SFieldNotFound, {n}, this);
    FSortKeys.push_back({int(s - FSchema.begin()), s->Type, options.Contains(ixDescending), options.Contains(ixCaseInsensitive)});
  }
  FView.clear();
  FView.reserve(FRows.size());
  for (auto& r : FRows) FView.push_back(r.get());
  if (FSortKeys.empty()) return;
  // Each row's keys are taken out once; the sort then compares them in place, stably, so
  // equal keys keep their insertion order.
  struct TEntry {
    TRow* Row;
    std::vector<TKeyValue> Keys;
  };
  std::vector<TEntry> entries;
  entries.reserve(FView.size());
  for (TRow* r : FView) {
    TEntry e{r, {}};
    e.Keys.reserve(FSortKeys.size());
    for (const TSortKey& k : FSortKeys) e.Keys.push_back(MakeKey((*r)[k.Slot], k.Type));
    entries.push_back(std::move(e));
  }
  std::stable_sort(entries.begin(), entries.end(), [this](const TEntry& a, const TEntry& b) {
    for (size_t i = 0; i < FSortKeys.size(); ++i) {
      const TSortKey& k = FSortKeys[i];
      int c = CompareKeys(a.Keys[i], b.Keys[i], k.Type, k.CaseInsensitive);
      if (c != 0) return k.Descending ? c > 0 : c < 0;
    }
    return false;
  });
  for (size_t i = 0; i < entries.size(); ++i) FView[i] = entries[i].Row;
}

void TClientDataSet::SetIndexFieldNames(const String& v) {
  if (v == FIndexFieldNames && FIndexName.empty()) return;
  String oldFields = FIndexFieldNames, oldName = FIndexName;
  FIndexFieldNames = v;
  FIndexName.clear();
  if (!Active()) return;
  CheckBrowseMode();
  // Keep the current row current in the new order.
  TRow* cur = CurrentIndex() >= 0 ? FView[CurrentIndex()] : nullptr;
  try {
    ApplyIndex();
  } catch (...) {
    FIndexFieldNames = oldFields;
    FIndexName = oldName;
    ApplyIndex();
    throw;
  }
  int at = cur ? int(std::find(FView.begin(), FView.end(), cur) - FView.begin()) : -1;
  Reposition(at);
}

void TClientDataSet::AddIndex(const String& name, const String& fields, TIndexOptions options) {
  if (name.empty()) DatabaseError(L"Index name missing", this);
  for (const TIndex& x : FIndexes)
    if (AnsiSameText(x.Name, name)) DatabaseErrorFmt(L"Duplicate index name '%s'", {name}, this);
  FIndexes.push_back({name, fields, options});
}

void TClientDataSet::DeleteIndex(const String& name) {
  auto it = std::find_if(FIndexes.begin(), FIndexes.end(), [&](const TIndex& x) { return AnsiSameText(x.Name, name); });
  if (it == FIndexes.end()) DatabaseErrorFmt(SDb::SIndexNotFound, {name}, this);
  bool active = AnsiSameText(FIndexName, name);
  FIndexes.erase(it);
  if (active) SetIndexName(String());
}

void TClientDataSet::SetIndexName(const String& v) {
  if (!v.empty() && std::none_of(FIndexes.begin(), FIndexes.end(), [&](const TIndex& x) { return AnsiSameText(x.Name, v); }))
    DatabaseErrorFmt(SDb::SIndexNotFound, {v}, this);
  FIndexName = v;
  String fields = FIndexFieldNames;
  FIndexFieldNames.clear();
  if (!Active()) return;
  CheckBrowseMode();
  TRow* cur = CurrentIndex() >= 0 ? FView[CurrentIndex()] : nullptr;
  ApplyIndex();
  (void)fields;
  Reposition(cur ? int(std::find(FView.begin(), FView.end(), cur) - FView.begin()) : -1);
}

int TClientDataSet::InternalGotoKey(const std::vector<Variant>& key, bool nearest) {
  if (FSortKeys.empty()) DatabaseError(SDb::SNoFieldIndexes, this);
  size_t used = 0;
  while (used < FSortKeys.size() && !IsNullish(key[FSortKeys[used].Slot])) ++used;
  if (used == 0) return nearest && !FView.empty() ? 0 : -1;
  TRow probe(key.begin(), key.begin() + FSchema.size());
  auto it = std::lower_bound(FView.begin(), FView.end(), &probe,
                             [&](const TRow* a, const TRow* b) { return CompareRows(*a, *b, used) < 0; });
  int at = int(it - FView.begin());
  if (nearest) return FView.empty() ? -1 : std::min(at, int(FView.size()) - 1);
  if (it == FView.end() || CompareRows(**it, probe, used) != 0) return -1;
  return at;
}

bool TClientDataSet::FindKey(const std::vector<Variant>& values) {
  SetKey();
  try {
    for (size_t i = 0; i < values.size() && i < FSortKeys.size(); ++i) KeyBuffer()[FSortKeys[i].Slot] = values[i];
  } catch (...) {
    Cancel();
    throw;
  }
  return GotoKey();
}

void TClientDataSet::FindNearest(const std::vector<Variant>& values) {
  SetKey();
  for (size_t i = 0; i < values.size() && i < FSortKeys.size(); ++i) KeyBuffer()[FSortKeys[i].Slot] = values[i];
  GotoNearest();
}

// --- files ----------------------------------------------------------------------------------

void TClientDataSet::SaveToStream(TStream& stream) {
  if (!FHasSchema) DatabaseError(L"Missing data provider or data packet", this);
  if (Active()) CheckBrowseMode();
  TOut out(stream);
  out.Bytes(kSignature, 4);
  out.U16(kVersion);
  out.U32(Cardinal(FSchema.size()));
  for (const TSchemaField& f : FSchema) {
    out.Str(f.Name);
    out.U16(Word(f.Type));
    out.U32(Cardinal(f.Size));
    out.U32(Cardinal(f.Precision));
    out.U8(f.Required ? 1 : 0);
  }
  out.U32(Cardinal(FRows.size()));
  for (const auto& r : FRows)
    for (size_t i = 0; i < FSchema.size(); ++i) WriteValue(out, (*r)[i], FSchema[i].Type);
}

void TClientDataSet::SaveToFile(const String& fileName) {
  // The whole image first, so nothing reaches the disk unless it is complete.
  TMemoryStream image;
  SaveToStream(image);
  TSafeFileStream f(fileName);
  f.WriteBuffer(image.Memory(), image.Size());
  f.Commit();
}

void TClientDataSet::LoadFromFile(const String& fileName) {
  TBytes data;
  {
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    data.resize(size_t(f.Size()));
    if (!data.empty()) f.ReadBuffer(data.data(), Int64(data.size()));
  }
  TBytesStream s(data);
  LoadFromStream(s, fileName);
}

void TClientDataSet::DefineProperties(TFiler& filer) {
  TDataSet::DefineProperties(filer);
  filer.DefineBinaryProperty(
      L"Data",
      [this](TStream& s) {
        TBytes data(size_t(std::max<Int64>(s.Size() - s.Position(), 0)));
        if (!data.empty()) s.ReadBuffer(data.data(), Int64(data.size()));
        std::vector<TSchemaField> schema;
        std::vector<std::unique_ptr<TRow>> rows;
        Parse(data, Name().empty() ? String(L"Data") : Name() + L".Data", schema, rows);
        Close();
        Adopt(std::move(schema), std::move(rows));
      },
      [this](TStream& s) { SaveToStream(s); }, FHasSchema);
}

void TClientDataSet::LoadFromStream(TStream& stream, const String& sourceName) {
  TBytes data(size_t(std::max<Int64>(stream.Size() - stream.Position(), 0)));
  if (!data.empty()) stream.ReadBuffer(data.data(), Int64(data.size()));
  std::vector<TSchemaField> schema;
  std::vector<std::unique_ptr<TRow>> rows;
  Parse(data, sourceName, schema, rows);
  Close();
  Adopt(std::move(schema), std::move(rows));
  Open();
}

void TClientDataSet::Parse(const TBytes& data, const String& sourceName, std::vector<TSchemaField>& schema,
                           std::vector<std::unique_ptr<TRow>>& rows) {
  TIn in(data, sourceName);
  const Byte* sig = in.Take(4, L"signature");
  if (std::memcmp(sig, kSignature, 4) != 0) in.Fault(L"not a dataset file");
  Word version = in.U16(L"version");
  if (version != kVersion) in.Fault(Format(L"version %d not supported", {int(version)}));
  Cardinal fieldCount = in.U32(L"field count");
  schema.clear();
  rows.clear();
  // A field takes at least 15 bytes: an empty name, type, size, precision and flag.
  if (fieldCount == 0 || UInt64(fieldCount) * 15 > in.Left()) in.Fault(Format(L"field count %d invalid", {Int64(fieldCount)}));
  for (Cardinal i = 0; i < fieldCount; ++i) {
    TSchemaField f;
    f.Name = in.Str(L"field name");
    if (f.Name.empty()) in.Fault(L"field name empty");
    for (const TSchemaField& o : schema)
      if (AnsiSameText(o.Name, f.Name)) in.Fault(Format(L"field name '%s' repeated", {f.Name}));
    Word t = in.U16(L"field type");
    if (t > Word(ftByte) || StoreKind(TFieldType(t)) == skNone) in.Fault(Format(L"field type %d invalid", {int(t)}));
    f.Type = TFieldType(t);
    Cardinal size = in.U32(L"field size"), precision = in.U32(L"field precision");
    if (size > 0x7FFFFFFF || precision > 1000) in.Fault(Format(L"field size %d or precision %d invalid", {Int64(size), Int64(precision)}));
    f.Size = int(size);
    f.Precision = int(precision);
    Byte req = in.U8(L"required flag");
    if (req > 1) in.Fault(Format(L"required flag %d invalid", {int(req)}));
    f.Required = req == 1;
    schema.push_back(std::move(f));
  }
  Cardinal rowCount = in.U32(L"row count");
  // Every value takes at least its tag byte.
  if (UInt64(rowCount) * fieldCount > in.Left()) in.Fault(Format(L"row count %d past the end", {Int64(rowCount)}));
  rows.reserve(rowCount);
  for (Cardinal r = 0; r < rowCount; ++r) {
    auto row = std::make_unique<TRow>(fieldCount);
    for (Cardinal i = 0; i < fieldCount; ++i) (*row)[i] = ReadValue(in, schema[i].Type);
    rows.push_back(std::move(row));
  }
  if (in.Left() != 0) in.Fault(Format(L"%d bytes after the last row", {Int64(in.Left())}));
}

void TClientDataSet::Adopt(std::vector<TSchemaField> schema, std::vector<std::unique_ptr<TRow>> rows) {
  FSchema = std::move(schema);
  FRows = std::move(rows);
  FView.clear();
  FHasSchema = true;
  FAutoIncNext = 1;
  for (size_t i = 0; i < FSchema.size(); ++i)
    if (FSchema[i].Type == ftAutoInc)
      for (auto& r : FRows)
        if (!IsNullish((*r)[i])) FAutoIncNext = std::max(FAutoIncNext, (*r)[i].AsInt64() + 1);
  InternalInitFieldDefs();
}

}  // namespace kw
