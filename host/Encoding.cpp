// The encodings: code pages through the Win32 converters, UTF-8 and UTF-16 by hand so that
// malformed input decodes the same everywhere, and TStringStream over a byte array.
// Byte-order marks are only detected here; choosing an encoding for a file is up to the caller.
#include "host/Encoding.h"

#include "host/Win.h"

#include <algorithm>
#include <climits>

#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw {

KW_REGISTER_CLASS(TStringStream, TBytesStream)

namespace {

constexpr wchar_t SInvalidCodePage[] = L"Invalid code page %d";
constexpr wchar_t SEncodingTooLarge[] = L"Text too large to convert";
constexpr wchar_t Replacement = 0xFFFD;

// 7-bit ASCII without relying on the system having code page 20127.
class TASCIIEncoding : public TEncoding {
public:
  TBytes GetBytes(const wchar_t* chars, size_t count) const override {
    TBytes out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      wchar_t c = chars[i];
      // A surrogate pair is one character, so one replacement.
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && chars[i + 1] >= 0xDC00 && chars[i + 1] <= 0xDFFF) ++i;
      out.push_back(c < 0x80 ? Byte(c) : Byte('?'));
    }
    return out;
  }
  String GetString(const Byte* bytes, size_t count) const override {
    String out(count, L'\0');
    for (size_t i = 0; i < count; ++i) out[i] = bytes[i] < 0x80 ? wchar_t(bytes[i]) : L'?';
    return out;
  }
  TBytes GetPreamble() const override { return {}; }
  bool IsSingleByte() const override { return true; }
  unsigned CodePage() const override { return 20127; }
  String EncodingName() const override { return L"US-ASCII"; }
  std::unique_ptr<TEncoding> Clone() const override { return std::make_unique<TASCIIEncoding>(); }
};

bool StartsWith(const TBytes& buffer, const TBytes& preamble) {
  return !preamble.empty() && buffer.size() >= preamble.size() &&
         std::equal(preamble.begin(), preamble.end(), buffer.begin());
}

int CheckedInt(size_t n) {
  if (n > size_t(INT_MAX)) throw EEncodingError(SEncodingTooLarge);
  return int(n);
}

// The length of the well-formed sequence led by bytes[0] (1 to 4), or 0 when malformed; in
// that case bad is how many bytes make up the maximal ill-formed subpart, each such subpart
// decoding to one U+FFFD.
int DecodeUTF8(const Byte* p, size_t avail, char32_t& cp, size_t& bad) {
  Byte b = p[0];
  if (b < 0x80) {
    cp = b;
    return 1;
  }
  int need;
  Byte lo = 0x80, hi = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2;
    cp = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3;
    cp = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;  // nothing past U+10FFFF
  } else {
    bad = 1;
    return 0;
  }
  for (int k = 1; k <= need; ++k) {
    if (size_t(k) >= avail || p[k] < lo || p[k] > hi) {
      bad = size_t(k);
      return 0;
    }
    cp = (cp << 6) | (p[k] & 0x3F);
    lo = 0x80;
    hi = 0xBF;
  }
  return need + 1;
}

}  // namespace

TEncoding* TEncoding::ANSI() {
  static TMBCSEncoding instance(GetACP());
  return &instance;
}

TEncoding* TEncoding::ASCII() {
  static TASCIIEncoding instance;
  return &instance;
}

TEncoding* TEncoding::UTF8() {
  static TUTF8Encoding instance;
  return &instance;
}

TEncoding* TEncoding::Unicode() {
  static TUnicodeEncoding instance;
  return &instance;
}

TEncoding* TEncoding::BigEndianUnicode() {
  static TBigEndianUnicodeEncoding instance;
  return &instance;
}

TEncoding* TEncoding::Default() { return ANSI(); }

bool TEncoding::IsStandardEncoding(const TEncoding* encoding) {
  return encoding && (encoding == ANSI() || encoding == ASCII() || encoding == UTF8() ||
                      encoding == Unicode() || encoding == BigEndianUnicode());
}

std::unique_ptr<TEncoding> TEncoding::GetEncoding(unsigned codePage) {
  switch (codePage) {
    case 65001: return std::make_unique<TUTF8Encoding>();
    case 1200: return std::make_unique<TUnicodeEncoding>();
    case 1201: return std::make_unique<TBigEndianUnicodeEncoding>();
    case 20127: return std::make_unique<TASCIIEncoding>();
    default: return std::make_unique<TMBCSEncoding>(codePage);
  }
}

int TEncoding::GetBufferEncoding(const TBytes& buffer, TEncoding*& encoding, TEncoding* defaultEncoding) {
  if (encoding) {
    TBytes preamble = encoding->GetPreamble();
    return StartsWith(buffer, preamble) ? int(preamble.size()) : 0;
  }
  for (TEncoding* candidate : {UTF8(), Unicode(), BigEndianUnicode()}) {
    TBytes preamble = candidate->GetPreamble();
    if (StartsWith(buffer, preamble)) {
      encoding = candidate;
      return int(preamble.size());
    }
  }
  encoding = defaultEncoding ? defaultEncoding : Default();
  return 0;
}

TBytes TEncoding::Convert(const TEncoding* source, const TEncoding* dest, const TBytes& bytes) {
  return dest->GetBytes(source->GetString(bytes));
}

String TEncoding::GetString(const TBytes& bytes, size_t index, size_t count) const {
  if (index >= bytes.size()) return {};
  count = std::min(count, bytes.size() - index);
  return GetString(bytes.data() + index, count);
}

TMBCSEncoding::TMBCSEncoding(unsigned codePage) : FCodePage(codePage) {
  CPINFO info;
  if (!GetCPInfo(codePage, &info)) throw EEncodingError(Format(SInvalidCodePage, {codePage}));
  FMaxCharSize = info.MaxCharSize;
}

TBytes TMBCSEncoding::GetBytes(const wchar_t* chars, size_t count) const {
  if (count == 0) return {};
  int n = CheckedInt(count);
  int size = WideCharToMultiByte(FCodePage, 0, chars, n, nullptr, 0, nullptr, nullptr);
  TBytes out(size_t(std::max(size, 0)));
  if (size > 0)
    WideCharToMultiByte(FCodePage, 0, chars, n, reinterpret_cast<char*>(out.data()), size, nullptr, nullptr);
  return out;
}

String TMBCSEncoding::GetString(const Byte* bytes, size_t count) const {
  if (count == 0) return {};
  int n = CheckedInt(count);
  const char* src = reinterpret_cast<const char*>(bytes);
  int size = MultiByteToWideChar(FCodePage, 0, src, n, nullptr, 0);
  String out(size_t(std::max(size, 0)), L'\0');
  if (size > 0) MultiByteToWideChar(FCodePage, 0, src, n, out.data(), size);
  return out;
}

String TMBCSEncoding::EncodingName() const {
  CPINFOEXW info;
  if (GetCPInfoExW(FCodePage, 0, &info)) return info.CodePageName;
  return L"Code page " + IntToStr(FCodePage);
}

std::unique_ptr<TEncoding> TMBCSEncoding::Clone() const { return std::make_unique<TMBCSEncoding>(FCodePage); }

TBytes TUTF8Encoding::GetBytes(const wchar_t* chars, size_t count) const {
  TBytes out;
  out.reserve(count + count / 2);
  for (size_t i = 0; i < count; ++i) {
    char32_t c = chars[i];
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c <= 0xDBFF && i + 1 < count && chars[i + 1] >= 0xDC00 && chars[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(chars[i + 1]) - 0xDC00);
        ++i;
      } else {
        c = Replacement;  // an unpaired surrogate has no UTF-8 form
      }
    }
    if (c < 0x80) {
      out.push_back(Byte(c));
    } else if (c < 0x800) {
      out.push_back(Byte(0xC0 | (c >> 6)));
      out.push_back(Byte(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(Byte(0xE0 | (c >> 12)));
      out.push_back(Byte(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(Byte(0x80 | (c & 0x3F)));
    } else {
      out.push_back(Byte(0xF0 | (c >> 18)));
      out.push_back(Byte(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(Byte(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(Byte(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

String TUTF8Encoding::GetString(const Byte* bytes, size_t count) const {
  String out;
  out.reserve(count);
  size_t i = 0;
  while (i < count) {
    char32_t cp = 0;
    size_t bad = 0;
    int len = DecodeUTF8(bytes + i, count - i, cp, bad);
    if (len == 0) {
      out.push_back(Replacement);
      i += bad;
    } else {
      if (cp >= 0x10000) {
        out.push_back(wchar_t(0xD800 + ((cp - 0x10000) >> 10)));
        out.push_back(wchar_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      } else {
        out.push_back(wchar_t(cp));
      }
      i += size_t(len);
    }
  }
  return out;
}

bool IsValidUTF8(const Byte* bytes, size_t count) {
  size_t i = 0;
  while (i < count) {
    char32_t cp;
    size_t bad;
    int len = DecodeUTF8(bytes + i, count - i, cp, bad);
    if (len == 0) return false;
    i += size_t(len);
  }
  return true;
}

bool IsASCIIOnly(const Byte* bytes, size_t count) {
  return std::all_of(bytes, bytes + count, [](Byte b) { return b < 0x80; });
}

TBytes TUnicodeEncoding::GetBytes(const wchar_t* chars, size_t count) const {
  TBytes out(count * 2);
  for (size_t i = 0; i < count; ++i) {
    out[2 * i] = Byte(chars[i] & 0xFF);
    out[2 * i + 1] = Byte(chars[i] >> 8);
  }
  return out;
}

String TUnicodeEncoding::GetString(const Byte* bytes, size_t count) const {
  String out(count / 2, L'\0');
  for (size_t i = 0; i < out.size(); ++i) out[i] = wchar_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return out;
}

TBytes TBigEndianUnicodeEncoding::GetBytes(const wchar_t* chars, size_t count) const {
  TBytes out(count * 2);
  for (size_t i = 0; i < count; ++i) {
    out[2 * i] = Byte(chars[i] >> 8);
    out[2 * i + 1] = Byte(chars[i] & 0xFF);
  }
  return out;
}

String TBigEndianUnicodeEncoding::GetString(const Byte* bytes, size_t count) const {
  String out(count / 2, L'\0');
  for (size_t i = 0; i < out.size(); ++i) out[i] = wchar_t((bytes[2 * i] << 8) | bytes[2 * i + 1]);
  return out;
}

TStringStream::TStringStream() : FEncoding(TEncoding::Default()) {}

TStringStream::TStringStream(const String& s) : TStringStream(s, TEncoding::Default(), false) {}

TStringStream::TStringStream(const String& s, TEncoding* encoding, bool ownsEncoding)
    : TBytesStream((encoding ? encoding : TEncoding::Default())->GetBytes(s)),
      FEncoding(encoding ? encoding : TEncoding::Default()),
      FOwnsEncoding(ownsEncoding && encoding && !TEncoding::IsStandardEncoding(encoding)) {}

TStringStream::TStringStream(const TBytes& bytes) : TBytesStream(bytes), FEncoding(TEncoding::Default()) {}

TStringStream::~TStringStream() {
  if (FOwnsEncoding) delete FEncoding;
}

String TStringStream::DataString() const { return FEncoding->GetString(FMemory, size_t(FSize)); }

String TStringStream::ReadString(Int64 count) {
  if (FPosition < 0 || FPosition >= FSize || count <= 0) return {};
  count = std::min(count, FSize - FPosition);
  String result = FEncoding->GetString(FMemory + FPosition, size_t(count));
  FPosition += count;
  return result;
}

void TStringStream::WriteString(const String& s) {
  TBytes bytes = FEncoding->GetBytes(s);
  if (!bytes.empty()) WriteBuffer(bytes.data(), Int64(bytes.size()));
}

}  // namespace kw
