// The primitive layer of component streaming: buffered byte access, every typed value of the
// stream encoding, the extended-float conversion, signatures and component prefixes.
// Reading and writing whole components is in Reader.cpp and Writer.cpp.
#include "host/Filer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "host/Sysutils.h"
#include "host/Typinfo.h"
#include "host/Typreg.h"
#include "host/Variants.h"

namespace kw {

KW_REGISTER_CLASS(TFiler, TObject)
KW_REGISTER_CLASS(TReader, TFiler)
KW_REGISTER_CLASS(TWriter, TFiler)

namespace {

template <class T>
T GetLE(const Byte* p) {
  UInt64 v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) v |= UInt64(p[i]) << (8 * i);
  return T(v);
}

template <class T>
void PutLE(Byte* p, T value) {
  UInt64 v = UInt64(value);
  for (size_t i = 0; i < sizeof(T); ++i) p[i] = Byte(v >> (8 * i));
}

[[noreturn]] void InvalidValue() { throw EReadError(SRes::SInvalidPropertyValue); }

bool IsIntegerType(TValueType t) { return t == vaInt8 || t == vaInt16 || t == vaInt32 || t == vaInt64; }

bool AllAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return Byte(c) < 0x80; });
}

bool AllAscii(const String& s) {
  return std::all_of(s.begin(), s.end(), [](wchar_t c) { return c < 0x80; });
}

// ANSI text from the host's older string kinds; plain ASCII needs no code page.
String DecodeAnsi(const std::string& bytes) {
  if (AllAscii(bytes)) return String(bytes.begin(), bytes.end());
  return AnsiToString(bytes, 0);
}

std::string ShortUtf8(const String& value) {
  std::string s = UTF8Encode(value);
  if (s.size() > 255) {
    size_t n = 255;
    while (n > 0 && (Byte(s[n]) & 0xC0) == 0x80) --n;
    s.resize(n);
  }
  return s;
}

// Counts nesting on the reader so hostile input cannot exhaust the C++ stack.
struct TDepthGuard {
  int& Depth;
  explicit TDepthGuard(int& depth) : Depth(depth) {
    if (++Depth > MaxFilerNesting) {
      --Depth;
      throw EReadError(SRes::SNestingTooDeep);
    }
  }
  ~TDepthGuard() { --Depth; }
  TDepthGuard(const TDepthGuard&) = delete;
  TDepthGuard& operator=(const TDepthGuard&) = delete;
};

}  // namespace

void DoubleToExtended(double value, Byte out[10]) {
  UInt64 bits = std::bit_cast<UInt64>(value);
  Word sign = Word((bits >> 63) << 15);
  int exp = int((bits >> 52) & 0x7FF);
  UInt64 frac = bits & ((UInt64(1) << 52) - 1);
  UInt64 mant = 0;
  int e = 0;
  if (exp == 0x7FF) {
    // Infinity keeps a bare integer bit; a NaN keeps its payload and quiet bit in place.
    e = 0x7FFF;
    mant = (UInt64(1) << 63) | (frac << 11);
  } else if (exp == 0) {
    if (frac != 0) {
      int lz = std::countl_zero(frac);
      mant = frac << lz;
      e = 15372 - lz;
    }
  } else {
    mant = (UInt64(1) << 63) | (frac << 11);
    e = exp + 15360;
  }
  PutLE<UInt64>(out, mant);
  PutLE<Word>(out + 8, Word(sign | Word(e)));
}

double ExtendedToDouble(const Byte in[10]) {
  UInt64 mant = GetLE<UInt64>(in);
  Word se = GetLE<Word>(in + 8);
  UInt64 sign = UInt64(se >> 15) << 63;
  int e = se & 0x7FFF;
  if (e == 0x7FFF) {
    UInt64 frac = (mant >> 11) & ((UInt64(1) << 52) - 1);
    if ((mant & ~(UInt64(1) << 63)) == 0) return std::bit_cast<double>(sign | (UInt64(0x7FF) << 52));
    if (frac == 0) frac = UInt64(1) << 51;  // payload only in the dropped bits: still a NaN
    return std::bit_cast<double>(sign | (UInt64(0x7FF) << 52) | frac);
  }
  if (mant == 0) return std::bit_cast<double>(sign);
  // value = mant * 2^e2; denormal and unnormal encodings are taken at their numeric value.
  int e2 = (e == 0 ? 1 : e) - 16446;
  int lz = std::countl_zero(mant);
  mant <<= lz;
  e2 -= lz;
  int x = e2 + 63;  // the value lies in [2^x, 2^(x+1))
  if (x > 1023) return std::bit_cast<double>(sign | (UInt64(0x7FF) << 52));
  if (x >= -1022) {
    UInt64 q = mant >> 11;
    UInt64 rem = mant & 0x7FF;
    if (rem > 0x400 || (rem == 0x400 && (q & 1))) ++q;
    if (q == (UInt64(1) << 53)) {
      q >>= 1;
      ++x;
      if (x > 1023) return std::bit_cast<double>(sign | (UInt64(0x7FF) << 52));
    }
    return std::bit_cast<double>(sign | (UInt64(x + 1023) << 52) | (q & ((UInt64(1) << 52) - 1)));
  }
  // A double denormal: f * 2^-1074, rounded to nearest even; rounding up to 2^52 lands
  // exactly on the smallest normal, which the same bit pattern expresses.
  int s = -(e2 + 1074);
  if (s > 64) return std::bit_cast<double>(sign);
  UInt64 q, rem, half;
  if (s == 64) {
    q = 0;
    rem = mant;
    half = UInt64(1) << 63;
  } else {
    q = mant >> s;
    rem = mant & ((UInt64(1) << s) - 1);
    half = UInt64(1) << (s - 1);
  }
  if (rem > half || (rem == half && (q & 1))) ++q;
  return std::bit_cast<double>(sign | q);
}

TFiler::TFiler(TStream& stream, int bufSize) : FStream(stream), FBuffer(size_t(std::max(bufSize, 1))) {}

TFiler::~TFiler() = default;

TReader::TReader(TStream& stream, int bufSize) : TFiler(stream, bufSize) {}

TReader::~TReader() {
  try {
    FlushBuffer();
  } catch (...) {
    // A destructor must not throw; the stream is left where the failed seek left it.
  }
}

void TReader::ReadBufferFill() {
  Int64 n = FStream.Read(FBuffer.data(), Int64(FBuffer.size()));
  FBufPos = 0;
  FBufEnd = n > 0 ? int(n) : 0;
  if (FBufEnd == 0) throw EReadError(SRes::SReadError);
}

void TReader::Read(void* buffer, Int64 count) {
  if (count < 0) throw EReadError(SRes::SReadError);
  auto* p = static_cast<Byte*>(buffer);
  while (count > 0) {
    int avail = FBufEnd - FBufPos;
    if (avail == 0) {
      // Large blocks go straight from the stream instead of through the buffer.
      if (count >= Int64(FBuffer.size())) {
        FBufPos = FBufEnd = 0;
        if (FStream.Read(p, count) != count) throw EReadError(SRes::SReadError);
        return;
      }
      ReadBufferFill();
      avail = FBufEnd;
    }
    int n = int(std::min<Int64>(avail, count));
    std::memcpy(p, FBuffer.data() + FBufPos, size_t(n));
    FBufPos += n;
    p += n;
    count -= n;
  }
}

Int64 TReader::Position() const { return FStream.Position() - FBufEnd + FBufPos; }

void TReader::SetPosition(Int64 pos) {
  Int64 streamPos = FStream.Position();
  Int64 base = streamPos - FBufEnd;
  if (pos >= base && pos <= streamPos) {
    FBufPos = int(pos - base);
  } else {
    FStream.SetPosition(pos);
    FBufPos = FBufEnd = 0;
  }
}

Int64 TReader::Remaining() const { return FStream.Size() - Position(); }

void TReader::FlushBuffer() {
  int unread = FBufEnd - FBufPos;
  FBufPos = FBufEnd = 0;
  if (unread > 0) FStream.Seek(-Int64(unread), soCurrent);
}

namespace {

// Bounds a length read from the stream by what is left, before anything is allocated.
void CheckLength(TReader& r, Int64 length) {
  if (length < 0 || length > r.Remaining()) throw EReadError(SRes::SLengthTooLarge, {length});
}

std::string ReadBytes(TReader& r, Int64 length) {
  CheckLength(r, length);
  std::string s(size_t(length), '\0');
  if (length) r.Read(s.data(), length);
  return s;
}

Byte ReadByte(TReader& r) {
  Byte b;
  r.Read(&b, 1);
  return b;
}

template <class T>
T ReadLE(TReader& r) {
  Byte b[sizeof(T)];
  r.Read(b, sizeof(T));
  return GetLE<T>(b);
}

Int64 ReadIntPayload(TReader& r, TValueType t) {
  switch (t) {
    case vaInt8: return Int64(std::int8_t(ReadByte(r)));
    case vaInt16: return Int64(ReadLE<std::int16_t>(r));
    case vaInt32: return Int64(ReadLE<std::int32_t>(r));
    case vaInt64: return ReadLE<Int64>(r);
    default: InvalidValue();
  }
}

String ReadStringPayload(TReader& r, TValueType t) {
  switch (t) {
    case vaString: return DecodeAnsi(ReadBytes(r, ReadByte(r)));
    case vaLString: return DecodeAnsi(ReadBytes(r, ReadLE<std::int32_t>(r)));
    case vaUTF8String: return UTF8ToString(ReadBytes(r, ReadLE<std::int32_t>(r)));
    case vaWString: {
      Int64 n = ReadLE<std::int32_t>(r);
      if (n < 0) CheckLength(r, n);
      CheckLength(r, n * 2);
      std::string bytes = ReadBytes(r, n * 2);
      String s(size_t(n), L'\0');
      for (Int64 i = 0; i < n; ++i) s[size_t(i)] = wchar_t(GetLE<Word>(reinterpret_cast<const Byte*>(bytes.data()) + 2 * i));
      return s;
    }
    default: InvalidValue();
  }
}

// Any numeric kind as a double; false when t is not numeric.
bool ReadFloatPayload(TReader& r, TValueType t, double& out) {
  switch (t) {
    case vaExtended: {
      Byte b[10];
      r.Read(b, 10);
      out = ExtendedToDouble(b);
      return true;
    }
    case vaDouble:
    case vaDate: out = std::bit_cast<double>(ReadLE<UInt64>(r)); return true;
    case vaSingle: out = double(std::bit_cast<float>(ReadLE<std::uint32_t>(r))); return true;
    case vaCurrency: out = Currency::FromRaw(ReadLE<Int64>(r)).ToDouble(); return true;
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64: out = double(ReadIntPayload(r, t)); return true;
    default: return false;
  }
}

}  // namespace

TValueType TReader::ReadValue() {
  Byte b = ReadByte(*this);
  if (b > vaLast) InvalidValue();
  return TValueType(b);
}

TValueType TReader::NextValue() {
  if (FBufPos == FBufEnd) ReadBufferFill();
  return TValueType(FBuffer[size_t(FBufPos)]);
}

void TReader::CheckValue(TValueType expected) {
  if (ReadValue() != expected) InvalidValue();
}

bool TReader::EndOfList() { return NextValue() == vaNull; }

void TReader::ReadListBegin() { CheckValue(vaList); }

void TReader::ReadListEnd() { CheckValue(vaNull); }

namespace {
void SkipBytes(TReader& r, Int64 count) {
  CheckLength(r, count);
  r.SetPosition(r.Position() + count);
}
}  // namespace

void TReader::SkipValue() {
  switch (ReadValue()) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil: break;
    case vaList: {
      TDepthGuard guard(FDepth);
      while (!EndOfList()) SkipValue();
      ReadListEnd();
      break;
    }
    case vaInt8: SkipBytes(*this, 1); break;
    case vaInt16: SkipBytes(*this, 2); break;
    case vaInt32:
    case vaSingle: SkipBytes(*this, 4); break;
    case vaInt64:
    case vaCurrency:
    case vaDate:
    case vaDouble: SkipBytes(*this, 8); break;
    case vaExtended: SkipBytes(*this, 10); break;
    case vaString:
    case vaIdent: SkipBytes(*this, ReadByte(*this)); break;
    case vaLString:
    case vaUTF8String:
    case vaBinary: SkipBytes(*this, ReadLE<std::int32_t>(*this)); break;
    case vaWString: {
      Int64 n = ReadLE<std::int32_t>(*this);
      SkipBytes(*this, n < 0 ? n : n * 2);
      break;
    }
    case vaSet:
      for (Byte n; (n = ReadByte(*this)) != 0;) SkipBytes(*this, n);
      break;
    case vaCollection: {
      TDepthGuard guard(FDepth);
      while (!EndOfList()) {
        if (IsIntegerType(NextValue())) SkipValue();
        CheckValue(vaList);
        while (!EndOfList()) {
          SkipBytes(*this, ReadByte(*this));
          SkipValue();
        }
        ReadListEnd();
      }
      ReadListEnd();
      break;
    }
  }
}

bool TReader::ReadBoolean() {
  TValueType t = ReadValue();
  if (t == vaTrue) return true;
  if (t == vaFalse) return false;
  InvalidValue();
}

wchar_t TReader::ReadChar() {
  TValueType t = ReadValue();
  if (IsIntegerType(t)) {
    Int64 v = ReadIntPayload(*this, t);
    if (v < 0 || v > 0xFFFF) InvalidValue();
    return wchar_t(v);
  }
  String s = ReadStringPayload(*this, t);
  if (s.size() != 1) InvalidValue();
  return s[0];
}

Int64 TReader::ReadInt64() { return ReadIntPayload(*this, ReadValue()); }

int TReader::ReadInteger() {
  Int64 v = ReadInt64();
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) InvalidValue();
  return int(v);
}

double TReader::ReadFloat() {
  double d;
  if (!ReadFloatPayload(*this, ReadValue(), d)) InvalidValue();
  return d;
}

float TReader::ReadSingle() {
  TValueType t = ReadValue();
  if (t == vaSingle) return std::bit_cast<float>(ReadLE<std::uint32_t>(*this));
  if (!IsIntegerType(t)) InvalidValue();
  return float(ReadIntPayload(*this, t));
}

double TReader::ReadDouble() { return ReadFloat(); }

Currency TReader::ReadCurrency() {
  TValueType t = ReadValue();
  if (t == vaCurrency) return Currency::FromRaw(ReadLE<Int64>(*this));
  if (IsIntegerType(t)) {
    Int64 v = ReadIntPayload(*this, t);
    if (v > INT64_MAX / Currency::Scale || v < INT64_MIN / Currency::Scale) InvalidValue();
    return Currency(v);
  }
  double d;
  if (!ReadFloatPayload(*this, t, d)) InvalidValue();
  // Beyond about 9.2e14 the count of ten-thousandths no longer fits 64 bits.
  if (!(d > -9.2e14 && d < 9.2e14)) InvalidValue();
  return Currency(d);
}

TDateTime TReader::ReadDate() {
  double d;
  if (!ReadFloatPayload(*this, ReadValue(), d)) InvalidValue();
  return TDateTime(d);
}

String TReader::ReadIdent() {
  switch (ReadValue()) {
    case vaIdent: return UTF8ToString(ReadBytes(*this, ReadByte(*this)));
    case vaFalse: return L"False";
    case vaTrue: return L"True";
    case vaNil: return L"nil";
    case vaNull: return L"Null";
    default: InvalidValue();
  }
}

String TReader::ReadString() { return ReadStringPayload(*this, ReadValue()); }

String TReader::ReadStr() { return UTF8ToString(ReadBytes(*this, ReadByte(*this))); }

Variant TReader::ReadVariant() {
  TValueType t = ReadValue();
  switch (t) {
    case vaNil: return Unassigned();
    case vaNull: return Null();
    case vaFalse: return Variant(false);
    case vaTrue: return Variant(true);
    case vaInt8:
    case vaInt16:
    case vaInt32: return Variant(int(ReadIntPayload(*this, t)));
    case vaInt64: return Variant(static_cast<long long>(ReadIntPayload(*this, t)));
    case vaSingle: return Variant(std::bit_cast<float>(ReadLE<std::uint32_t>(*this)));
    case vaCurrency: return Variant(Currency::FromRaw(ReadLE<Int64>(*this)));
    case vaDate: return Variant(TDateTime(std::bit_cast<double>(ReadLE<UInt64>(*this))));
    case vaExtended:
    case vaDouble: {
      double d;
      ReadFloatPayload(*this, t, d);
      return Variant(d);
    }
    case vaString:
    case vaLString:
    case vaWString:
    case vaUTF8String: return Variant(ReadStringPayload(*this, t));
    case vaBinary: {
      std::string bytes = ReadBytes(*this, ReadLE<std::int32_t>(*this));
      return Variant(TBytes(bytes.begin(), bytes.end()));
    }
    case vaList: {
      TDepthGuard guard(FDepth);
      std::vector<Variant> items;
      while (!EndOfList()) items.push_back(ReadVariant());
      ReadListEnd();
      return VarArrayOf(items);
    }
    default: InvalidValue();
  }
}

UInt64 TReader::ReadSet(const TTypeInfo* setType) {
  CheckValue(vaSet);
  const TTypeInfo* comp = setType ? setType->CompType : nullptr;
  UInt64 bits = 0;
  for (;;) {
    String name = ReadStr();
    if (name.empty()) break;
    int value = -1;
    if (comp && comp->Kind == tkEnumeration) {
      for (size_t i = 0; i < comp->EnumNames.size() && i < 64; ++i)
        if (SameText(comp->EnumNames[i], name)) {
          value = int(i);
          break;
        }
    } else if (!TryStrToInt(name, value)) {
      value = -1;
    }
    if (value < 0 || value > 63) InvalidValue();
    bits |= UInt64(1) << value;
  }
  return bits;
}

TBytes TReader::ReadBinary() {
  CheckValue(vaBinary);
  std::string bytes = ReadBytes(*this, ReadLE<std::int32_t>(*this));
  return TBytes(bytes.begin(), bytes.end());
}

void TReader::ReadSignature() {
  char sig[4];
  if (Remaining() < 4) throw EInvalidImage(SRes::SInvalidImage);
  Read(sig, 4);
  if (std::memcmp(sig, FilerSignature, 4) != 0) throw EInvalidImage(SRes::SInvalidImage);
}

void TReader::ReadPrefix(TFilerFlags& flags, int& childPos) {
  flags = TFilerFlags();
  childPos = 0;
  Byte b = Byte(NextValue());
  if ((b & 0xF0) != 0xF0) return;
  ReadByte(*this);
  flags = TFilerFlags::FromBits(b & 0x07);
  if (flags.Contains(ffChildPos)) childPos = ReadInteger();
}

TWriter::TWriter(TStream& stream, int bufSize) : TFiler(stream, bufSize) {}

TWriter::~TWriter() {
  try {
    WriteBuffer();
  } catch (...) {
    // A destructor must not throw; whoever needs to know calls FlushBuffer first.
  }
}

void TWriter::WriteBuffer() {
  int n = FBufPos;
  // Dropped even on failure, so a later flush cannot write the same bytes twice.
  FBufPos = 0;
  if (n > 0 && FStream.Write(FBuffer.data(), n) != n) throw EWriteError(SRes::SWriteError);
}

void TWriter::FlushBuffer() { WriteBuffer(); }

void TWriter::Write(const void* buffer, Int64 count) {
  if (count <= 0) return;
  auto* p = static_cast<const Byte*>(buffer);
  Int64 size = Int64(FBuffer.size());
  if (count > size - FBufPos) {
    WriteBuffer();
    if (count >= size) {
      if (FStream.Write(p, count) != count) throw EWriteError(SRes::SWriteError);
      return;
    }
  }
  std::memcpy(FBuffer.data() + FBufPos, p, size_t(count));
  FBufPos += int(count);
}

Int64 TWriter::Position() const { return FStream.Position() + FBufPos; }

void TWriter::WriteValue(TValueType value) {
  Byte b = Byte(value);
  Write(&b, 1);
}

namespace {
template <class T>
void WriteLE(TWriter& w, T value) {
  Byte b[sizeof(T)];
  PutLE<T>(b, value);
  w.Write(b, sizeof(T));
}

void WriteInt32Length(TWriter& w, size_t length) {
  if (length > size_t(std::numeric_limits<std::int32_t>::max())) throw EWriteError(SRes::SWriteError);
  WriteLE<std::int32_t>(w, std::int32_t(length));
}
}  // namespace

void TWriter::WriteBoolean(bool value) { WriteValue(value ? vaTrue : vaFalse); }

void TWriter::WriteChar(wchar_t value) { WriteString(String(1, value)); }

void TWriter::WriteInteger(Int64 value) {
  if (value >= -128 && value <= 127) {
    WriteValue(vaInt8);
    WriteLE<std::int8_t>(*this, std::int8_t(value));
  } else if (value >= -32768 && value <= 32767) {
    WriteValue(vaInt16);
    WriteLE<std::int16_t>(*this, std::int16_t(value));
  } else if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()) {
    WriteValue(vaInt32);
    WriteLE<std::int32_t>(*this, std::int32_t(value));
  } else {
    WriteValue(vaInt64);
    WriteLE<Int64>(*this, value);
  }
}

void TWriter::WriteFloat(double value) {
  Byte b[10];
  DoubleToExtended(value, b);
  WriteValue(vaExtended);
  Write(b, 10);
}

void TWriter::WriteSingle(float value) {
  WriteValue(vaSingle);
  WriteLE<std::uint32_t>(*this, std::bit_cast<std::uint32_t>(value));
}

void TWriter::WriteDouble(double value) {
  WriteValue(vaDouble);
  WriteLE<UInt64>(*this, std::bit_cast<UInt64>(value));
}

void TWriter::WriteCurrency(Currency value) {
  WriteValue(vaCurrency);
  WriteLE<Int64>(*this, value.Raw());
}

void TWriter::WriteDate(TDateTime value) {
  WriteValue(vaDate);
  WriteLE<UInt64>(*this, std::bit_cast<UInt64>(value.Val));
}

void TWriter::WriteIdent(const String& ident) {
  if (SameText(ident, L"False")) {
    WriteValue(vaFalse);
  } else if (SameText(ident, L"True")) {
    WriteValue(vaTrue);
  } else if (SameText(ident, L"nil")) {
    WriteValue(vaNil);
  } else if (SameText(ident, L"Null")) {
    WriteValue(vaNull);
  } else {
    WriteValue(vaIdent);
    WriteStr(ident);
  }
}

void TWriter::WriteString(const String& value) {
  if (AllAscii(value)) {
    if (value.size() <= 255) {
      WriteValue(vaString);
      WriteLE<Byte>(*this, Byte(value.size()));
    } else {
      WriteValue(vaLString);
      WriteInt32Length(*this, value.size());
    }
    std::string bytes(value.begin(), value.end());
    Write(bytes.data(), Int64(bytes.size()));
    return;
  }
  std::string utf8 = UTF8Encode(value);
  if (utf8.size() < value.size() * 2) {
    WriteValue(vaUTF8String);
    WriteInt32Length(*this, utf8.size());
    Write(utf8.data(), Int64(utf8.size()));
  } else {
    WriteWideString(value);
  }
}

void TWriter::WriteWideString(const String& value) {
  WriteValue(vaWString);
  WriteInt32Length(*this, value.size());
  std::vector<Byte> bytes(value.size() * 2);
  for (size_t i = 0; i < value.size(); ++i) PutLE<Word>(bytes.data() + 2 * i, Word(value[i]));
  Write(bytes.data(), Int64(bytes.size()));
}

void TWriter::WriteUTF8Str(const String& value) {
  std::string utf8 = UTF8Encode(value);
  WriteValue(vaUTF8String);
  WriteInt32Length(*this, utf8.size());
  Write(utf8.data(), Int64(utf8.size()));
}

void TWriter::WriteStr(const String& value) {
  std::string s = ShortUtf8(value);
  WriteLE<Byte>(*this, Byte(s.size()));
  Write(s.data(), Int64(s.size()));
}

void TWriter::WriteVariant(const Variant& value) {
  const Variant& v = value.Deref();
  TVarType t = v.VarType();
  if (t & varArray) {
    if (VarArrayDimCount(v) != 1) throw EWriteError(SRes::SInvalidPropertyValue);
    if ((t & varTypeMask) == varByte) {
      TBytes bytes = v.AsBytes();
      WriteBinary(bytes.data(), Int64(bytes.size()));
      return;
    }
    WriteListBegin();
    for (int i = VarArrayLowBound(v, 1), hi = VarArrayHighBound(v, 1); i <= hi; ++i) {
      Variant item = v.GetElement({i});
      // vaNull ends a list: a Null element would cut the array short when read back.
      if (item.Deref().IsNull()) throw EWriteError(SRes::SInvalidPropertyValue);
      WriteVariant(item);
    }
    WriteListEnd();
    return;
  }
  switch (t & varTypeMask) {
    case varEmpty: WriteValue(vaNil); break;
    case varNull: WriteValue(vaNull); break;
    case varShortInt:
    case varByte:
    case varSmallint:
    case varWord:
    case varInteger:
    case varLongWord:
    case varInt64: WriteInteger(v.AsInt64()); break;
    case varUInt64: {
      UInt64 u = v.AsUInt64();
      if (u > UInt64(std::numeric_limits<Int64>::max())) throw EWriteError(SRes::SInvalidPropertyValue);
      WriteInteger(Int64(u));
      break;
    }
    case varSingle: WriteSingle(float(v.AsDouble())); break;
    case varDouble: WriteDouble(v.AsDouble()); break;
    case varCurrency: WriteCurrency(v.AsCurrency()); break;
    case varDate: WriteDate(v.AsDateTime()); break;
    case varBoolean: WriteBoolean(v.AsBoolean()); break;
    case varOleStr:
    case varString:
    case varUString: WriteString(v.AsString()); break;
    default: throw EWriteError(SRes::SInvalidPropertyValue);
  }
}

void TWriter::WriteSet(const TTypeInfo* setType, UInt64 bits) {
  const TTypeInfo* comp = setType ? setType->CompType : nullptr;
  bool named = comp && comp->Kind == tkEnumeration;
  WriteValue(vaSet);
  for (int i = 0; i < 64; ++i) {
    if (!(bits & (UInt64(1) << i))) continue;
    if (named) {
      if (size_t(i) >= comp->EnumNames.size()) throw EWriteError(SRes::SInvalidPropertyValue);
      WriteStr(comp->EnumNames[size_t(i)]);
    } else {
      WriteStr(IntToStr(i));
    }
  }
  WriteStr(String());
}

void TWriter::WriteBinary(const void* data, Int64 count) {
  if (count < 0 || count > std::numeric_limits<std::int32_t>::max()) throw EWriteError(SRes::SWriteError);
  WriteValue(vaBinary);
  WriteLE<std::int32_t>(*this, std::int32_t(count));
  Write(data, count);
}

void TWriter::WriteSignature() { Write(FilerSignature, 4); }

void TWriter::WritePrefix(TFilerFlags flags, int childPos) {
  if (flags.Empty()) return;
  Byte b = Byte(0xF0 | (flags.Bits() & 0x07));
  Write(&b, 1);
  if (flags.Contains(ffChildPos)) WriteInteger(childPos);
}

}  // namespace kw
