// Blob fields: bytes, memo text (ANSI or UTF-16), the graphic field with the 8-byte bitmap
// header of the host's graphic fields, and the blob streams a dataset hands out.
// The other field classes are in Dbfields.cpp.
#include <cstring>

#include "host/Bitmap.h"
#include "host/Db.h"
#include "host/Picture.h"
#include "host/Streams.h"
#include "host/Stringlist.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw {

namespace {

bool IsBlobType(TFieldType t) {
  switch (t) {
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftTypedBinary: case ftOraBlob:
    case ftOraClob: case ftWideMemo: case ftBytes: case ftVarBytes: case ftParadoxOle: case ftDBaseOle:
      return true;
    default:
      return false;
  }
}

TBytes StreamBytes(TStream& stream) {
  Int64 n = stream.Size() - stream.Position();
  TBytes bytes(size_t(std::max<Int64>(n, 0)));
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), Int64(bytes.size()));
  return bytes;
}

// A memory copy of one field's bytes; a writing stream stores its content back into the
// field when it is freed, as the host's blob streams do.
class TFieldBlobStream : public TMemoryStream {
public:
  TFieldBlobStream(TBlobField* field, TBlobStreamMode mode) : FField(field), FMode(mode) {
    if (mode != bmWrite) {
      TBytes b = field->AsBytes();
      if (!b.empty()) TMemoryStream::Write(b.data(), Int64(b.size()));
      SetPosition(0);
    } else {
      FModified = true;  // opening for writing empties the blob
    }
  }
  ~TFieldBlobStream() override {
    if (FMode == bmRead || !FModified) return;
    try {
      const Byte* p = static_cast<const Byte*>(Memory());
      FField->SetAsBytes(TBytes(p, p + Size()));
      FField->SetModified(true);
    } catch (...) {
      KwHandleCurrentException(FField);
    }
  }
  Int64 Write(const void* buffer, Int64 count) override {
    if (FMode == bmRead) throw EStreamError(SRes::SWriteError);
    FModified = true;
    return TMemoryStream::Write(buffer, count);
  }
  void SetSize(Int64 size) override {
    if (FMode == bmRead) throw EStreamError(SRes::SWriteError);
    FModified = true;
    TMemoryStream::SetSize(size);
  }

private:
  TBlobField* FField;
  TBlobStreamMode FMode;
  bool FModified = false;
};

}  // namespace

TStream* TDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  CheckActive();
  auto* blob = dynamic_cast<TBlobField*>(field);
  if (!blob || field->DataSet() != this) DatabaseErrorFmt(SDb::SNotABlobField, {field ? field->DisplayName() : String()}, this);
  if (mode != bmRead) field->CheckWritable();
  return new TFieldBlobStream(blob, mode);
}

// --- TBlobField -----------------------------------------------------------------------------

KW_REGISTER_CLASS(TBlobField, TField)

TBlobField::TBlobField(TComponent* owner) : TField(owner) { FDataType = ftBlob; }

void TBlobField::SetBlobType(TFieldType v) {
  if (!IsBlobType(v)) DatabaseErrorFmt(SDb::SFieldTypeMismatch, {DisplayName(), FieldTypeName(ftBlob), FieldTypeName(v)});
  if (FDataSet) FDataSet->CheckInactive();
  FDataType = v;
}

int TBlobField::BlobSize() const { return int(AsBytes().size()); }

TBytes TBlobField::AsBytes() const {
  const Variant& v = Data();
  if (v.IsNull() || v.IsEmpty()) return {};
  return v.AsBytes();
}

void TBlobField::SetAsBytes(const TBytes& v) {
  SetData(v.empty() ? Null() : Variant(v));
}

Variant TBlobField::AsVariant() const { return IsNull() ? Null() : Variant(AsBytes()); }

void TBlobField::SetAsVariant(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) SetData(Null());
  else if (VarIsStr(v)) SetAsString(v.AsString());
  else if (VarIsArray(v)) SetAsBytes(v.AsBytes());
  else AccessError(L"Variant");
}

String TBlobField::AsString() const {
  TBytes b = AsBytes();
  return AnsiToString(std::string(b.begin(), b.end()));
}

void TBlobField::SetAsString(const String& v) {
  std::string a = StringToAnsi(v);
  SetAsBytes(TBytes(a.begin(), a.end()));
}

void TBlobField::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  SetAsBytes(StreamBytes(stream));
}

void TBlobField::SaveToStream(TStream& stream) const {
  TBytes b = AsBytes();
  if (!b.empty()) stream.WriteBuffer(b.data(), Int64(b.size()));
}

void TBlobField::LoadFromFile(const String& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TBlobField::SaveToFile(const String& fileName) const {
  TMemoryStream m;
  SaveToStream(m);
  m.SaveToFile(fileName);
}

void TBlobField::Assign(const TPersistent* source) {
  if (!source) {
    Clear();
    return;
  }
  if (auto* f = dynamic_cast<const TBlobField*>(source)) {
    SetAsBytes(f->AsBytes());
    return;
  }
  if (auto* s = dynamic_cast<const TStrings*>(source)) {
    SetAsString(s->Text());
    return;
  }
  TField::Assign(source);
}

void TBlobField::GetText(String& text, bool) const {
  String name = UpperCase(FieldTypeName(FDataType));
  if (FDataType == ftBlob || FDataType == ftOraBlob) name = FDataType == ftBlob ? L"BLOB" : L"ORABLOB";
  text = L"(" + (IsNull() ? LowerCase(name) : name) + L")";
}

// --- memos ----------------------------------------------------------------------------------

KW_REGISTER_CLASS(TMemoField, TBlobField)

TMemoField::TMemoField(TComponent* owner) : TBlobField(owner) { FDataType = ftMemo; }

String TMemoField::AsString() const {
  TBytes b = AsBytes();
  if (IsWide()) {
    String s(b.size() / 2, L'\0');
    if (!s.empty()) std::memcpy(s.data(), b.data(), s.size() * 2);
    return s;
  }
  return AnsiToString(std::string(b.begin(), b.end()));
}

void TMemoField::SetAsString(const String& v) {
  if (IsWide()) {
    TBytes b(v.size() * 2);
    if (!b.empty()) std::memcpy(b.data(), v.data(), b.size());
    SetAsBytes(b);
  } else {
    std::string a = StringToAnsi(v);
    SetAsBytes(TBytes(a.begin(), a.end()));
  }
}

void TMemoField::SetAsVariant(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) SetData(Null());
  else if (VarIsArray(v)) SetAsBytes(v.AsBytes());
  else SetAsString(v.AsString());
}

void TMemoField::Assign(const TPersistent* source) {
  if (auto* s = dynamic_cast<const TStrings*>(source)) {
    SetAsString(s->Text());
    return;
  }
  TBlobField::Assign(source);
}

void TMemoField::AssignTo(TPersistent* dest) const {
  if (auto* s = dynamic_cast<TStrings*>(dest)) {
    s->SetText(AsString());
    return;
  }
  TBlobField::AssignTo(dest);
}

void TMemoField::GetText(String& text, bool displayText) const {
  if (displayText) TBlobField::GetText(text, true);
  else text = AsString();
}

KW_REGISTER_CLASS(TWideMemoField, TMemoField)
TWideMemoField::TWideMemoField(TComponent* owner) : TMemoField(owner) { FDataType = ftWideMemo; }

// --- graphics -------------------------------------------------------------------------------

KW_REGISTER_CLASS(TGraphicField, TBlobField)

TGraphicField::TGraphicField(TComponent* owner) : TBlobField(owner) { FDataType = ftGraphic; }

namespace {

void PutWord(TBytes& b, size_t at, Word v) {
  b[at] = Byte(v & 0xFF);
  b[at + 1] = Byte(v >> 8);
}

Word GetWord(const TBytes& b, size_t at) { return Word(b[at] | (b[at + 1] << 8)); }

}  // namespace

void TGraphicField::Assign(const TPersistent* source) {
  const TBitmap* bmp = dynamic_cast<const TBitmap*>(source);
  if (auto* pic = dynamic_cast<const TPicture*>(source)) {
    if (!pic->Graphic()) {
      Clear();
      return;
    }
    bmp = dynamic_cast<const TBitmap*>(pic->Graphic());
    if (!bmp) AssignError(pic->Graphic());
  }
  if (!bmp) {
    TBlobField::Assign(source);
    return;
  }
  TMemoryStream m;
  const_cast<TBitmap*>(bmp)->SaveToStream(m);
  // The header: 1, 0x0100, then the byte count of the bitmap that follows.
  TBytes b(8 + size_t(m.Size()));
  PutWord(b, 0, 1);
  PutWord(b, 2, 0x0100);
  Cardinal n = Cardinal(m.Size());
  for (int i = 0; i < 4; ++i) b[4 + i] = Byte(n >> (8 * i));
  if (m.Size() > 0) std::memcpy(b.data() + 8, m.Memory(), size_t(m.Size()));
  SetAsBytes(b);
}

TBytes TGraphicField::BitmapBytes() const {
  TBytes b = AsBytes();
  if (b.size() >= 8 && GetWord(b, 0) == 1 && GetWord(b, 2) == 0x0100) {
    Cardinal n = Cardinal(b[4]) | (Cardinal(b[5]) << 8) | (Cardinal(b[6]) << 16) | (Cardinal(b[7]) << 24);
    if (n == b.size() - 8) return TBytes(b.begin() + 8, b.end());
  }
  return b;
}

void TGraphicField::AssignTo(TPersistent* dest) const {
  TBitmap* target = dynamic_cast<TBitmap*>(dest);
  TPicture* pic = dynamic_cast<TPicture*>(dest);
  if (!target && !pic) {
    TBlobField::AssignTo(dest);
    return;
  }
  TBytes b = BitmapBytes();
  if (b.empty()) {
    if (pic) pic->SetGraphic(nullptr);
    else target->Assign(nullptr);
    return;
  }
  TBytesStream s(b);
  if (pic) {
    TBitmap loaded;
    loaded.LoadFromStream(s);
    pic->SetGraphic(&loaded);
  } else {
    target->LoadFromStream(s);
  }
}

}  // namespace kw
