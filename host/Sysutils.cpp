// String routines of the run-time library: integer and boolean conversions, case and
// comparison, trimming, quoting, searching and the UTF-8 and ANSI conversions. Number and date
// formatting live in Sysformat.cpp and Dateutils.cpp, file routines in Sysfiles.cpp.
#include "host/Sysutils.h"

#include "host/Win.h"

#include <algorithm>
#include <climits>

namespace kw {

namespace {

[[noreturn]] void RaiseConvert(const wchar_t* fmt, const String& value) {
  throw EConvertError(fmt, {value});
}

// The host's Val: leading blanks, a sign, decimal digits or a '$' / '0x' / 'x' hex prefix,
// nothing after. Hex takes the full unsigned range of the target as a bit pattern.
bool ParseInteger(const String& s, int bits, Int64& out) {
  size_t i = 0, n = s.size();
  while (i < n && s[i] == L' ') ++i;
  bool neg = false;
  if (i < n && (s[i] == L'-' || s[i] == L'+')) neg = s[i++] == L'-';
  bool hex = false;
  if (i < n && s[i] == L'$') {
    hex = true;
    ++i;
  } else if (i + 1 < n && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X')) {
    hex = true;
    i += 2;
  } else if (i < n && (s[i] == L'x' || s[i] == L'X')) {
    hex = true;
    ++i;
  }
  if (i >= n) return false;
  const UInt64 umax = bits == 64 ? ~UInt64(0) : (UInt64(1) << bits) - 1;
  const UInt64 limit = hex ? umax : (UInt64(1) << (bits - 1)) - (neg ? 0 : 1);
  const unsigned base = hex ? 16 : 10;
  UInt64 v = 0;
  for (; i < n; ++i) {
    wchar_t c = s[i];
    unsigned d;
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (hex && c >= L'a' && c <= L'f') d = c - L'a' + 10;
    else if (hex && c >= L'A' && c <= L'F') d = c - L'A' + 10;
    else return false;
    if (v > (limit - d) / base) return false;
    v = v * base + d;
  }
  if (hex && bits == 32 && v > 0x7FFFFFFFu) v |= ~UInt64(0xFFFFFFFFu);  // sign-extend the pattern
  out = neg ? Int64(0 - v) : Int64(v);
  return true;
}

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? wchar_t(c - 32) : c; }
wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; }

String MapCase(const String& s, DWORD flags) {
  if (s.empty()) return s;
  int n = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags | LCMAP_LINGUISTIC_CASING, s.data(), int(s.size()),
                        nullptr, 0, nullptr, nullptr, 0);
  if (n <= 0) return flags & LCMAP_UPPERCASE ? UpperCase(s) : LowerCase(s);
  String out(size_t(n), L'\0');
  LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags | LCMAP_LINGUISTIC_CASING, s.data(), int(s.size()), out.data(),
                n, nullptr, nullptr, 0);
  return out;
}

int LocaleCompare(const String& a, const String& b, DWORD flags) {
  int r = CompareStringEx(LOCALE_NAME_USER_DEFAULT, flags, a.data(), int(a.size()), b.data(), int(b.size()),
                          nullptr, nullptr, 0);
  if (r == 0) return flags ? CompareText(a, b) : CompareStr(a, b);
  return r - CSTR_EQUAL;
}

bool IsIdentStart(wchar_t c) {
  return c == L'_' || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= 0x80 && IsCharAlphaW(c));
}
bool IsIdentChar(wchar_t c) {
  return IsIdentStart(c) || (c >= L'0' && c <= L'9') || (c >= 0x80 && IsCharAlphaNumericW(c));
}

}  // namespace

String IntToStr(Int64 v) {
  wchar_t buf[24];
  wchar_t* p = buf + 24;
  UInt64 u = v < 0 ? 0 - UInt64(v) : UInt64(v);
  do {
    *--p = wchar_t(L'0' + u % 10);
    u /= 10;
  } while (u);
  if (v < 0) *--p = L'-';
  return String(p, buf + 24);
}

String UIntToStr(UInt64 v) {
  wchar_t buf[24];
  wchar_t* p = buf + 24;
  do {
    *--p = wchar_t(L'0' + v % 10);
    v /= 10;
  } while (v);
  return String(p, buf + 24);
}

String IntToHexBits(UInt64 bits, int digits) {
  static const wchar_t hex[] = L"0123456789ABCDEF";
  String s;
  do {
    s += hex[bits & 15];
    bits >>= 4;
  } while (bits);
  if (digits > 64) digits = 64;
  while (int(s.size()) < digits) s += L'0';
  std::reverse(s.begin(), s.end());
  return s;
}

bool TryStrToInt(const String& s, Integer& out) {
  Int64 v;
  if (!ParseInteger(s, 32, v)) return false;
  out = Integer(v);
  return true;
}

Integer StrToInt(const String& s) {
  Integer v;
  if (!TryStrToInt(s, v)) RaiseConvert(SRes::SInvalidInteger, s);
  return v;
}

Integer StrToIntDef(const String& s, Integer def) {
  Integer v;
  return TryStrToInt(s, v) ? v : def;
}

bool TryStrToInt64(const String& s, Int64& out) { return ParseInteger(s, 64, out); }

Int64 StrToInt64(const String& s) {
  Int64 v;
  if (!TryStrToInt64(s, v)) RaiseConvert(SRes::SInvalidInteger, s);
  return v;
}

Int64 StrToInt64Def(const String& s, Int64 def) {
  Int64 v;
  return TryStrToInt64(s, v) ? v : def;
}

String BoolToStr(bool b, bool useBoolStrs) {
  if (useBoolStrs) return b ? L"True" : L"False";
  return b ? L"-1" : L"0";
}

bool TryStrToBool(const String& s, bool& out) {
  Int64 i;
  double d;
  if (TryStrToInt64(s, i)) out = i != 0;
  else if (TryStrToFloat(s, d)) out = d != 0;
  else if (SameText(s, L"True")) out = true;
  else if (SameText(s, L"False")) out = false;
  else return false;
  return true;
}

bool StrToBool(const String& s) {
  bool b;
  if (!TryStrToBool(s, b)) RaiseConvert(SRes::SInvalidBoolean, s);
  return b;
}

bool StrToBoolDef(const String& s, bool def) {
  bool b;
  return TryStrToBool(s, b) ? b : def;
}

String UpperCase(const String& s) {
  String r(s);
  for (auto& c : r) c = AsciiUpper(c);
  return r;
}

String LowerCase(const String& s) {
  String r(s);
  for (auto& c : r) c = AsciiLower(c);
  return r;
}

wchar_t UpCase(wchar_t c) { return AsciiUpper(c); }

int CompareStr(const String& a, const String& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return int(a[i]) - int(b[i]);
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int CompareText(const String& a, const String& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    wchar_t x = AsciiUpper(a[i]), y = AsciiUpper(b[i]);
    if (x != y) return int(x) - int(y);
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool SameStr(const String& a, const String& b) { return a == b; }
bool SameText(const String& a, const String& b) { return a.size() == b.size() && CompareText(a, b) == 0; }

String AnsiUpperCase(const String& s) { return MapCase(s, LCMAP_UPPERCASE); }
String AnsiLowerCase(const String& s) { return MapCase(s, LCMAP_LOWERCASE); }
int AnsiCompareStr(const String& a, const String& b) { return LocaleCompare(a, b, 0); }
int AnsiCompareText(const String& a, const String& b) { return LocaleCompare(a, b, NORM_IGNORECASE); }
bool AnsiSameStr(const String& a, const String& b) { return AnsiCompareStr(a, b) == 0; }
bool AnsiSameText(const String& a, const String& b) { return AnsiCompareText(a, b) == 0; }

String Trim(const String& s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= L' ') ++b;
  while (e > b && s[e - 1] <= L' ') --e;
  return s.substr(b, e - b);
}

String TrimLeft(const String& s) {
  size_t b = 0;
  while (b < s.size() && s[b] <= L' ') ++b;
  return s.substr(b);
}

String TrimRight(const String& s) {
  size_t e = s.size();
  while (e > 0 && s[e - 1] <= L' ') --e;
  return s.substr(0, e);
}

String StringReplace(const String& s, const String& oldPattern, const String& newPattern, TReplaceFlags flags) {
  if (oldPattern.empty() || s.empty()) return s;
  const bool ignoreCase = flags.Contains(rfIgnoreCase);
  String hay = s, needle = oldPattern;
  if (ignoreCase) {
    hay = AnsiUpperCase(s);
    needle = AnsiUpperCase(oldPattern);
    // Positions index the original, so a mapping that changes lengths falls back to ASCII.
    if (hay.size() != s.size() || needle.size() != oldPattern.size()) {
      hay = UpperCase(s);
      needle = UpperCase(oldPattern);
    }
  }
  String out;
  size_t from = 0;
  while (true) {
    size_t at = hay.find(needle, from);
    if (at == String::npos) break;
    out.append(s, from, at - from);
    out += newPattern;
    from = at + needle.size();
    if (!flags.Contains(rfReplaceAll)) break;
  }
  out.append(s, from, String::npos);
  return out;
}

String QuotedStr(const String& s) { return AnsiQuotedStr(s, L'\''); }

String AnsiQuotedStr(const String& s, wchar_t quote) {
  String r(1, quote);
  for (wchar_t c : s) {
    r += c;
    if (c == quote) r += c;
  }
  r += quote;
  return r;
}

String AnsiExtractQuotedStr(const wchar_t*& p, wchar_t quote) {
  String r;
  if (!p || *p != quote) return r;
  ++p;
  while (*p) {
    if (*p == quote) {
      if (p[1] != quote) {
        ++p;
        return r;
      }
      ++p;
    }
    r += *p++;
  }
  return r;
}

String AnsiDequotedStr(const String& s, wchar_t quote) {
  const wchar_t* p = s.c_str();
  String r = AnsiExtractQuotedStr(p, quote);
  if ((r.empty() || *p == 0) && !s.empty() && (s.front() != quote || s.back() != quote || s.size() < 2))
    return s;
  return r;
}

int Pos(const String& sub, const String& s) { return PosEx(sub, s, 1); }

int PosEx(const String& sub, const String& s, int offset) {
  if (sub.empty() || offset < 1 || size_t(offset) > s.size()) return 0;
  size_t at = s.find(sub, size_t(offset - 1));
  return at == String::npos ? 0 : int(at) + 1;
}

String Copy(const String& s, int index, int count) {
  if (index < 1) index = 1;
  if (count <= 0 || size_t(index) > s.size()) return String();
  return s.substr(size_t(index - 1), size_t(count));
}

void Delete(String& s, int index, int count) {
  if (index < 1 || size_t(index) > s.size() || count <= 0) return;
  s.erase(size_t(index - 1), size_t(count));
}

void Insert(const String& sub, String& s, int index) {
  if (index < 1) index = 1;
  s.insert(std::min(size_t(index - 1), s.size()), sub);
}

String StringOfChar(wchar_t c, int count) { return count > 0 ? String(size_t(count), c) : String(); }

String DupeString(const String& s, int count) {
  String r;
  if (count <= 0) return r;
  r.reserve(s.size() * size_t(count));
  for (int i = 0; i < count; ++i) r += s;
  return r;
}

String LeftStr(const String& s, int count) { return Copy(s, 1, count); }

String RightStr(const String& s, int count) {
  if (count <= 0) return String();
  return size_t(count) >= s.size() ? s : s.substr(s.size() - size_t(count));
}

String MidStr(const String& s, int start, int count) { return Copy(s, start, count); }

String ReverseString(const String& s) { return String(s.rbegin(), s.rend()); }

bool StartsStr(const String& sub, const String& s) { return s.compare(0, sub.size(), sub) == 0 && s.size() >= sub.size(); }
bool EndsStr(const String& sub, const String& s) {
  return s.size() >= sub.size() && s.compare(s.size() - sub.size(), sub.size(), sub) == 0;
}
bool StartsText(const String& sub, const String& s) {
  return s.size() >= sub.size() && AnsiSameText(s.substr(0, sub.size()), sub);
}
bool EndsText(const String& sub, const String& s) {
  return s.size() >= sub.size() && AnsiSameText(s.substr(s.size() - sub.size()), sub);
}
bool ContainsStr(const String& s, const String& sub) { return s.find(sub) != String::npos; }
bool ContainsText(const String& s, const String& sub) {
  return AnsiUpperCase(s).find(AnsiUpperCase(sub)) != String::npos;
}

bool IsValidIdent(const String& s, bool allowDots) {
  bool start = true;
  for (wchar_t c : s) {
    if (start) {
      if (!IsIdentStart(c)) return false;
      start = false;
    } else if (c == L'.' && allowDots) {
      start = true;
    } else if (!IsIdentChar(c)) {
      return false;
    }
  }
  return !start;
}

int LastDelimiter(const String& delimiters, const String& s) {
  size_t at = s.find_last_of(delimiters);
  return at == String::npos ? 0 : int(at) + 1;
}

bool IsDelimiter(const String& delimiters, const String& s, int index) {
  if (index < 1 || size_t(index) > s.size()) return false;
  return delimiters.find(s[size_t(index - 1)]) != String::npos;
}

String AdjustLineBreaks(const String& s) {
  String r;
  r.reserve(s.size() + s.size() / 16);
  for (size_t i = 0; i < s.size(); ++i) {
    wchar_t c = s[i];
    if (c == L'\r' || c == L'\n') {
      r += L"\r\n";
      wchar_t other = c == L'\r' ? L'\n' : L'\r';
      if (i + 1 < s.size() && s[i + 1] == other) ++i;
    } else {
      r += c;
    }
  }
  return r;
}

std::vector<String> SplitString(const String& s, const String& delimiters) {
  std::vector<String> parts;
  if (s.empty()) return parts;
  size_t from = 0;
  while (true) {
    size_t at = s.find_first_of(delimiters, from);
    if (at == String::npos) {
      parts.push_back(s.substr(from));
      return parts;
    }
    parts.push_back(s.substr(from, at - from));
    from = at + 1;
  }
}

std::string UTF8Encode(const String& s) {
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (cp < 0x80) {
      r += char(cp);
    } else if (cp < 0x800) {
      r += char(0xC0 | (cp >> 6));
      r += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      r += char(0xE0 | (cp >> 12));
      r += char(0x80 | ((cp >> 6) & 0x3F));
      r += char(0x80 | (cp & 0x3F));
    } else {
      r += char(0xF0 | (cp >> 18));
      r += char(0x80 | ((cp >> 12) & 0x3F));
      r += char(0x80 | ((cp >> 6) & 0x3F));
      r += char(0x80 | (cp & 0x3F));
    }
  }
  return r;
}

String UTF8ToString(const std::string& s) {
  String r;
  r.reserve(s.size());
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    unsigned b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      r += wchar_t(b);
      ++i;
      continue;
    }
    int len;
    unsigned cp, lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) { len = 2; cp = b & 0x1F; }
    else if (b >= 0xE0 && b <= 0xEF) {
      len = 3; cp = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;  // overlong
      if (b == 0xED) hi = 0x9F;  // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4; cp = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
      r += wchar_t(0xFFFD);
      ++i;
      continue;
    }
    // A broken sequence yields one U+FFFD for its longest valid prefix.
    size_t j = i + 1;
    bool ok = true;
    for (int k = 1; k < len; ++k, ++j) {
      unsigned c = j < n ? static_cast<unsigned char>(s[j]) : 0;
      if (j >= n || c < lo || c > hi) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
      lo = 0x80;
      hi = 0xBF;
    }
    i = j;
    if (!ok) {
      r += wchar_t(0xFFFD);
    } else if (cp >= 0x10000) {
      cp -= 0x10000;
      r += wchar_t(0xD800 + (cp >> 10));
      r += wchar_t(0xDC00 + (cp & 0x3FF));
    } else {
      r += wchar_t(cp);
    }
  }
  return r;
}

std::string StringToAnsi(const String& s, unsigned int codePage) {
  if (s.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string r(size_t(n), '\0');
  WideCharToMultiByte(codePage, 0, s.data(), int(s.size()), r.data(), n, nullptr, nullptr);
  return r;
}

String AnsiToString(const std::string& s, unsigned int codePage) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, s.data(), int(s.size()), nullptr, 0);
  if (n <= 0) return {};
  String r(size_t(n), L'\0');
  MultiByteToWideChar(codePage, 0, s.data(), int(s.size()), r.data(), n);
  return r;
}

}  // namespace kw
