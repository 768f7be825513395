// The text form of component streams: a converter from the binary encoding to text, a
// tokenizer and parser back to binary, format detection and whole-file conversion.
// Component objects are never created here; only the encoding is translated.
#include "host/Formtext.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "host/Filer.h"
#include "host/Sysutils.h"

namespace kw {

namespace {

constexpr int LineBreakLength = 64;
constexpr int BinaryBytesPerLine = 32;

// The extended type of the encoding is the x87 80-bit format; where long double is that
// format too, text can carry extended values that no double holds.
constexpr bool NativeExtended =
    std::numeric_limits<long double>::digits == 64 && sizeof(long double) >= 10 && std::numeric_limits<long double>::radix == 2;

bool IsIntegerType(TValueType t) { return t == vaInt8 || t == vaInt16 || t == vaInt32 || t == vaInt64; }

std::string Ascii(const String& s) { return std::string(s.begin(), s.end()); }

std::string DoubleText(double d) {
  if (std::isnan(d)) return std::signbit(d) ? "-NAN" : "+NAN";
  if (std::isinf(d)) return d < 0 ? "-INF" : "+INF";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof(buf), d);
  std::string s(buf, r.ptr);
  // Without a point or exponent the text would read back as an integer.
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

std::string SingleText(float f) {
  if (std::isnan(f)) return std::signbit(f) ? "-NAN" : "+NAN";
  if (std::isinf(f)) return f < 0 ? "-INF" : "+INF";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof(buf), f);
  std::string s(buf, r.ptr);
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

// A double's value gets its shortest text; any other finite extended gets 21 significant
// digits, which is both enough to name it and more than a double's text ever has.
std::string ExtendedText(const Byte b[10]) {
  double d = ExtendedToDouble(b);
  Byte back[10];
  DoubleToExtended(d, back);
  if (std::memcmp(back, b, 10) == 0) return DoubleText(d);
  if constexpr (NativeExtended) {
    int e = (b[8] | (b[9] << 8)) & 0x7FFF;
    bool top = (b[7] & 0x80) != 0;
    bool canonical = e != 0x7FFF && (e == 0 ? !top : top);
    if (canonical) {
      long double ld = 0;
      std::memcpy(&ld, b, 10);
      char buf[64];
      auto r = std::to_chars(buf, buf + sizeof(buf), ld, std::chars_format::scientific, 20);
      return std::string(buf, r.ptr);
    }
  }
  return DoubleText(d);
}

std::string CurrencyText(Int64 raw) {
  UInt64 a = raw < 0 ? UInt64(0) - UInt64(raw) : UInt64(raw);
  std::string s = raw < 0 ? "-" : "";
  s += std::to_string(a / 10000);
  unsigned frac = unsigned(a % 10000);
  if (frac) {
    char buf[8];
    std::snprintf(buf, sizeof(buf), ".%04u", frac);
    std::string f = buf;
    while (f.back() == '0') f.pop_back();
    s += f;
  }
  return s;
}

class TBinaryToText {
public:
  explicit TBinaryToText(TReader& reader) : R(reader) {}

  std::string Convert() {
    R.ReadSignature();
    Object(0);
    Out += "\r\n";
    if (NonAscii) Out.insert(0, "\xEF\xBB\xBF");
    return std::move(Out);
  }

private:
  struct TGuard {
    int& Depth;
    explicit TGuard(int& d) : Depth(d) {
      if (++Depth > MaxFilerNesting) {
        --Depth;
        throw EReadError(SRes::SNestingTooDeep);
      }
    }
    ~TGuard() { --Depth; }
  };

  void StartLine(int indent) {
    if (!Out.empty()) Out += "\r\n";
    Out.append(size_t(indent), ' ');
  }
  void Put(const char* s) { Out += s; }
  void Put(const std::string& s) { Out += s; }
  void PutName(const String& s) {
    for (wchar_t c : s)
      if (c >= 0x80) NonAscii = true;
    Out += UTF8Encode(s);
  }

  void Object(int indent) {
    TGuard guard(Depth);
    TFilerFlags flags;
    int childPos;
    R.ReadPrefix(flags, childPos);
    String cls = R.ReadStr();
    String name = R.ReadStr();
    StartLine(indent);
    Put(flags.Contains(ffInline) ? "inline " : flags.Contains(ffInherited) ? "inherited " : "object ");
    if (!name.empty()) {
      PutName(name);
      Put(": ");
    }
    PutName(cls);
    if (flags.Contains(ffChildPos)) Put(" [" + std::to_string(childPos) + "]");
    while (!R.EndOfList()) Property(indent + 2);
    R.ReadListEnd();
    while (!R.EndOfList()) Object(indent + 2);
    R.ReadListEnd();
    StartLine(indent);
    Put("end");
  }

  void Property(int indent) {
    StartLine(indent);
    PutName(R.ReadStr());
    Put(" =");
    Value(indent, true);
  }

  // The current line holds "Name =" (afterEquals) or the indentation of a list element.
  void Value(int indent, bool afterEquals) {
    const char* sep = afterEquals ? " " : "";
    TValueType t = R.NextValue();
    switch (t) {
      case vaList: {
        TGuard guard(Depth);
        R.ReadValue();
        Put(sep);
        Put("(");
        while (!R.EndOfList()) {
          StartLine(indent + 2);
          Value(indent + 2, false);
        }
        R.ReadListEnd();
        Put(")");
        break;
      }
      case vaInt8:
      case vaInt16:
      case vaInt32:
      case vaInt64:
        Put(sep);
        Put(std::to_string(R.ReadInt64()));
        break;
      case vaExtended: {
        Byte b[10];
        R.ReadValue();
        R.Read(b, 10);
        Put(sep);
        Put(ExtendedText(b));
        break;
      }
      case vaSingle:
        Put(sep);
        Put(SingleText(R.ReadSingle()) + "s");
        break;
      case vaDouble:
        Put(sep);
        Put(DoubleText(R.ReadFloat()) + "f");
        break;
      case vaDate:
        Put(sep);
        Put(DoubleText(R.ReadDate().Val) + "d");
        break;
      case vaCurrency:
        Put(sep);
        Put(CurrencyText(R.ReadCurrency().Raw()) + "c");
        break;
      case vaString:
      case vaLString:
      case vaWString:
      case vaUTF8String: StringValue(R.ReadString(), indent, afterEquals); break;
      case vaIdent:
      case vaFalse:
      case vaTrue:
      case vaNil:
      case vaNull:
        Put(sep);
        PutName(R.ReadIdent());
        break;
      case vaBinary: {
        TBytes bytes = R.ReadBinary();
        static const char hex[] = "0123456789ABCDEF";
        Put(sep);
        Put("{");
        for (size_t i = 0; i < bytes.size(); ++i) {
          if (i % BinaryBytesPerLine == 0) StartLine(indent + 2);
          Out += hex[bytes[i] >> 4];
          Out += hex[bytes[i] & 15];
        }
        Put("}");
        break;
      }
      case vaSet: {
        R.ReadValue();
        Put(sep);
        Put("[");
        for (bool first = true;; first = false) {
          String member = R.ReadStr();
          if (member.empty()) break;
          if (!first) Put(", ");
          PutName(member);
        }
        Put("]");
        break;
      }
      case vaCollection: {
        TGuard guard(Depth);
        R.ReadValue();
        Put(sep);
        Put("<");
        while (!R.EndOfList()) {
          StartLine(indent + 2);
          Put("item");
          if (IsIntegerType(R.NextValue())) Put(" [" + std::to_string(R.ReadInt64()) + "]");
          R.ReadListBegin();
          while (!R.EndOfList()) Property(indent + 4);
          R.ReadListEnd();
          StartLine(indent + 2);
          Put("end");
        }
        R.ReadListEnd();
        Put(">");
        break;
      }
      default:
        R.ReadValue();  // raises for an unknown value type
        throw EReadError(SRes::SInvalidPropertyValue);
    }
  }

  // Printable ASCII goes in quotes, everything else as #code; long texts are cut into
  // pieces joined by '+', each on a line of its own.
  void StringValue(const String& s, int indent, bool afterEquals) {
    std::vector<std::string> pieces;
    std::string cur;
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
      wchar_t c = s[i];
      if (c >= 32 && c < 127) {
        if (!quoted) {
          cur += '\'';
          quoted = true;
        }
        cur += char(c);
        if (c == L'\'') cur += '\'';
      } else {
        if (quoted) {
          cur += '\'';
          quoted = false;
        }
        cur += '#' + std::to_string(unsigned(c));
      }
      if (int(cur.size()) >= LineBreakLength && i + 1 < s.size()) {
        if (quoted) cur += '\'';
        quoted = false;
        pieces.push_back(std::move(cur));
        cur.clear();
      }
    }
    if (quoted) cur += '\'';
    if (cur.empty() && pieces.empty()) cur = "''";
    if (!cur.empty()) pieces.push_back(std::move(cur));
    if (pieces.size() == 1) {
      if (afterEquals) Put(" ");
      Put(pieces[0]);
      return;
    }
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) Put(" +");
      if (i > 0 || afterEquals) StartLine(indent + 2);
      Put(pieces[i]);
    }
  }

  TReader& R;
  std::string Out;
  bool NonAscii = false;
  int Depth = 0;
};

enum TToken { tEOF, tSymbol, tString, tInteger, tFloat, tChar };

bool IsIdentStart(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_' || c >= 0x80; }
bool IsIdentChar(wchar_t c) { return IsIdentStart(c) || (c >= L'0' && c <= L'9') || c == L'.'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

class TTextParser {
public:
  TTextParser(const String& text, TWriter& writer) : S(text), W(writer) { Next(); }

  void Run() {
    W.WriteSignature();
    Object();
    if (Tok != tEOF) Error(Format(SRes::SSymbolExpected, {L"End of file"}));
  }

private:
  [[noreturn]] void Error(const String& msg) { throw EParserError(SRes::SParseError, {msg, TokLine}); }
  [[noreturn]] void Expected(const wchar_t* what) { Error(Format(SRes::SSymbolExpected, {String(what)})); }

  struct TGuard {
    TTextParser& P;
    explicit TGuard(TTextParser& p) : P(p) {
      if (++P.Depth > MaxFilerNesting) {
        --P.Depth;
        P.Error(SRes::SNestingTooDeep);
      }
    }
    ~TGuard() { --P.Depth; }
  };

  wchar_t Ch(size_t at = 0) const { return Pos + at < S.size() ? S[Pos + at] : L'\0'; }
  bool AtEnd() const { return Pos >= S.size(); }

  void SkipBlanks() {
    while (!AtEnd() && S[Pos] <= L' ') {
      if (S[Pos] == L'\n') ++Line;
      ++Pos;
    }
  }

  void Next() {
    SkipBlanks();
    TokLine = Line;
    Text.clear();
    if (AtEnd()) {
      Tok = tEOF;
      return;
    }
    wchar_t c = S[Pos];
    if (IsIdentStart(c)) {
      size_t start = Pos;
      while (!AtEnd() && IsIdentChar(S[Pos])) ++Pos;
      Text = S.substr(start, Pos - start);
      Tok = tSymbol;
    } else if (c == L'\'' || c == L'#') {
      ScanString();
    } else if (IsDigit(c) || c == L'$' ||
               ((c == L'-' || c == L'+') && (IsDigit(Ch(1)) || Ch(1) == L'$' || Ch(1) == L'.' || IsSpecial(Pos + 1)))) {
      ScanNumber();
    } else {
      Tok = tChar;
      Text = String(1, c);
      ++Pos;
    }
  }

  bool IsSpecial(size_t at) const {
    if (at + 3 > S.size()) return false;
    String w = S.substr(at, 3);
    return SameText(w, L"INF") || SameText(w, L"NAN");
  }

  void ScanString() {
    Tok = tString;
    for (;;) {
      if (Ch() == L'\'') {
        ++Pos;
        for (;;) {
          if (AtEnd() || S[Pos] == L'\r' || S[Pos] == L'\n') Error(SRes::SInvalidString);
          if (S[Pos] == L'\'') {
            if (Ch(1) != L'\'') {
              ++Pos;
              break;
            }
            ++Pos;
          }
          Text += S[Pos++];
        }
      } else if (Ch() == L'#') {
        ++Pos;
        UInt64 v = 0;
        size_t digits = 0;
        if (Ch() == L'$') {
          ++Pos;
          for (int h; (h = HexValue(Ch())) >= 0 && v <= 0x10FFFF; ++Pos, ++digits) v = v * 16 + UInt64(h);
        } else {
          for (; IsDigit(Ch()) && v <= 0x10FFFF; ++Pos, ++digits) v = v * 10 + UInt64(Ch() - L'0');
        }
        if (digits == 0 || v > 0x10FFFF) Error(SRes::SInvalidString);
        if (v > 0xFFFF) {
          v -= 0x10000;
          Text += wchar_t(0xD800 + (v >> 10));
          Text += wchar_t(0xDC00 + (v & 0x3FF));
        } else {
          Text += wchar_t(v);
        }
      } else {
        break;
      }
      if (Ch() == L'\'' || Ch() == L'#') continue;
      size_t savePos = Pos;
      int saveLine = Line;
      SkipBlanks();
      if (Ch() == L'+') {
        ++Pos;
        SkipBlanks();
        if (Ch() == L'\'' || Ch() == L'#') continue;
        TokLine = Line;
        Error(SRes::SStringExpected);
      }
      Pos = savePos;
      Line = saveLine;
      break;
    }
  }

  void ScanNumber() {
    size_t start = Pos;
    bool negative = false;
    if (Ch() == L'-' || Ch() == L'+') negative = S[Pos++] == L'-';
    Suffix = 0;
    if (Ch() == L'$') {
      ++Pos;
      UInt64 v = 0;
      size_t digits = 0;
      for (int h; (h = HexValue(Ch())) >= 0; ++Pos, ++digits) v = v * 16 + UInt64(h);
      if (digits == 0 || digits > 16 || IsIdentChar(Ch())) Error(SRes::SNumberExpected);
      Tok = tInteger;
      IntValue = negative ? Int64(UInt64(0) - v) : Int64(v);
      return;
    }
    bool isFloat = false;
    if (IsSpecial(Pos)) {
      Pos += 3;
      isFloat = true;
    } else {
      size_t digits = 0;
      for (; IsDigit(Ch()); ++Pos) ++digits;
      if (Ch() == L'.') {
        isFloat = true;
        for (++Pos; IsDigit(Ch()); ++Pos) ++digits;
      }
      if (digits == 0) Error(SRes::SNumberExpected);
      if (Ch() == L'e' || Ch() == L'E') {
        isFloat = true;
        ++Pos;
        if (Ch() == L'+' || Ch() == L'-') ++Pos;
        if (!IsDigit(Ch())) Error(SRes::SNumberExpected);
        while (IsDigit(Ch())) ++Pos;
      }
    }
    Text = S.substr(start, Pos - start);
    wchar_t s = wchar_t(Ch() | 0x20);
    if ((s == L's' || s == L'c' || s == L'd' || s == L'f') && !IsIdentChar(Ch(1))) {
      Suffix = char(s);
      isFloat = true;
      ++Pos;
    }
    if (IsIdentChar(Ch())) Error(SRes::SNumberExpected);
    if (!isFloat) {
      std::string a = Ascii(Text[0] == L'+' ? Text.substr(1) : Text);
      auto r = std::from_chars(a.data(), a.data() + a.size(), IntValue);
      if (r.ec != std::errc() || r.ptr != a.data() + a.size()) Error(Format(SRes::SInvalidInteger, {Text}));
      Tok = tInteger;
    } else {
      Tok = tFloat;
    }
  }

  // Reads the hex digits after '{' up to '}' straight from the text.
  TBytes ScanBinary() {
    TBytes bytes;
    int high = -1;
    for (;;) {
      SkipBlanks();
      TokLine = Line;
      if (AtEnd()) Error(SRes::SInvalidBinary);
      wchar_t c = S[Pos++];
      if (c == L'}') break;
      int h = HexValue(c);
      if (h < 0) Error(SRes::SInvalidBinary);
      if (high < 0) {
        high = h;
      } else {
        bytes.push_back(Byte(high * 16 + h));
        high = -1;
      }
    }
    if (high >= 0) Error(SRes::SInvalidBinary);
    return bytes;
  }

  bool IsSymbol(const wchar_t* word) const { return Tok == tSymbol && SameText(Text, word); }
  bool IsChar(wchar_t c) const { return Tok == tChar && Text[0] == c; }
  bool IsObjectStart() const { return IsSymbol(L"object") || IsSymbol(L"inherited") || IsSymbol(L"inline"); }

  void ExpectChar(wchar_t c) {
    if (!IsChar(c)) {
      wchar_t what[] = {L'\'', c, L'\'', 0};
      Expected(what);
    }
    Next();
  }

  String ExpectSymbol() {
    if (Tok != tSymbol) Error(SRes::SIdentifierExpected);
    String s = Text;
    Next();
    return s;
  }

  Int64 ExpectInteger() {
    if (Tok != tInteger) Error(SRes::SNumberExpected);
    Int64 v = IntValue;
    Next();
    return v;
  }

  void Object() {
    TGuard guard(*this);
    TFilerFlags flags;
    if (IsSymbol(L"inherited"))
      flags << ffInherited;
    else if (IsSymbol(L"inline"))
      flags << ffInline;
    else if (!IsSymbol(L"object"))
      Expected(L"'object'");
    Next();
    String name = ExpectSymbol();
    String cls;
    if (IsChar(L':')) {
      Next();
      cls = ExpectSymbol();
    } else {
      cls = name;
      name.clear();
    }
    int childPos = 0;
    if (IsChar(L'[')) {
      Next();
      Int64 pos = ExpectInteger();
      if (pos < std::numeric_limits<std::int32_t>::min() || pos > std::numeric_limits<std::int32_t>::max())
        Error(SRes::SNumberExpected);
      childPos = int(pos);
      ExpectChar(L']');
      flags << ffChildPos;
    }
    W.WritePrefix(flags, childPos);
    W.WriteStr(cls);
    W.WriteStr(name);
    while (!IsObjectStart() && !IsSymbol(L"end")) Property();
    W.WriteListEnd();
    while (IsObjectStart()) Object();
    W.WriteListEnd();
    if (!IsSymbol(L"end")) Expected(L"'end'");
    Next();
  }

  void Property() {
    if (Tok != tSymbol) Error(Tok == tEOF ? Format(SRes::SSymbolExpected, {L"'end'"}) : String(SRes::SIdentifierExpected));
    W.WriteStr(Text);
    Next();
    ExpectChar(L'=');
    Value();
  }

  void Value() {
    switch (Tok) {
      case tString: W.WriteString(Text); break;
      case tInteger: W.WriteInteger(IntValue); break;
      case tFloat: FloatValue(); break;
      case tSymbol: W.WriteIdent(Text); break;
      case tChar:
        switch (Text[0]) {
          case L'[': SetValue(); return;
          case L'(': ListValue(); return;
          case L'<': CollectionValue(); return;
          case L'{': {
            TBytes bytes = ScanBinary();
            W.WriteBinary(bytes.data(), Int64(bytes.size()));
            break;
          }
          default: Error(SRes::SInvalidPropertyValue);
        }
        break;
      default: Error(SRes::SInvalidPropertyValue);
    }
    Next();
  }

  void SetValue() {
    W.WriteValue(vaSet);
    Next();
    if (!IsChar(L']')) {
      for (;;) {
        if (Tok == tSymbol)
          W.WriteStr(Text);
        else if (Tok == tInteger)
          W.WriteStr(IntToStr(IntValue));
        else
          Error(SRes::SIdentifierExpected);
        Next();
        if (!IsChar(L',')) break;
        Next();
      }
    }
    ExpectChar(L']');
    W.WriteStr(String());
  }

  void ListValue() {
    TGuard guard(*this);
    W.WriteListBegin();
    Next();
    while (!IsChar(L')')) {
      if (Tok == tEOF) Expected(L"')'");
      // vaNull ends a list, so a Null element cannot be stored in one.
      if (IsSymbol(L"Null")) Error(SRes::SInvalidPropertyValue);
      Value();
    }
    W.WriteListEnd();
    Next();
  }

  void CollectionValue() {
    TGuard guard(*this);
    W.WriteValue(vaCollection);
    Next();
    while (IsSymbol(L"item")) {
      Next();
      if (IsChar(L'[')) {
        Next();
        W.WriteInteger(ExpectInteger());
        ExpectChar(L']');
      }
      W.WriteListBegin();
      while (!IsSymbol(L"end")) Property();
      W.WriteListEnd();
      Next();
    }
    ExpectChar(L'>');
    W.WriteListEnd();
  }

  [[noreturn]] void BadFloat() { Error(Format(SRes::SInvalidFloat, {Text})); }

  // Special values and range edges; false when the text is not a number.
  template <class T>
  bool ParseBinaryFloat(const std::string& a, T& out) {
    if (a.size() >= 4 && (a[0] == '+' || a[0] == '-') && (a[1] == 'I' || a[1] == 'i' || a[1] == 'N' || a[1] == 'n')) {
      bool neg = a[0] == '-';
      if (a[1] == 'I' || a[1] == 'i')
        out = neg ? -std::numeric_limits<T>::infinity() : std::numeric_limits<T>::infinity();
      else
        out = neg ? -std::numeric_limits<T>::quiet_NaN() : std::numeric_limits<T>::quiet_NaN();
      return true;
    }
    const char* b = a.data() + (a[0] == '+' ? 1 : 0);
    const char* e = a.data() + a.size();
    auto r = std::from_chars(b, e, out);
    if (r.ptr != e) return false;
    if (r.ec == std::errc::result_out_of_range) {
      // Past the range: the C library gives the infinity or the zero that the value rounds to.
      if constexpr (std::is_same_v<T, float>)
        out = std::strtof(a.c_str(), nullptr);
      else
        out = std::strtod(a.c_str(), nullptr);
      return true;
    }
    return r.ec == std::errc();
  }

  static int SignificantDigits(const std::string& a) {
    int n = 0;
    bool leading = true;
    for (char c : a) {
      if (c == 'e' || c == 'E') break;
      if (c < '0' || c > '9') continue;
      if (leading && c == '0') continue;
      leading = false;
      ++n;
    }
    return n;
  }

  void FloatValue() {
    std::string a = Ascii(Text);
    switch (Suffix) {
      case 0: {
        Byte b[10];
        if constexpr (NativeExtended) {
          // More digits than a double's text ever needs ask for the extended value itself.
          if (SignificantDigits(a) > 17) {
            long double ld = std::strtold(a.c_str(), nullptr);
            Byte raw[sizeof(long double)] = {};
            std::memcpy(raw, &ld, sizeof(long double));
            W.WriteValue(vaExtended);
            W.Write(raw, 10);
            return;
          }
        }
        double d;
        if (!ParseBinaryFloat(a, d)) BadFloat();
        DoubleToExtended(d, b);
        W.WriteValue(vaExtended);
        W.Write(b, 10);
        return;
      }
      case 's': {
        float f;
        if (!ParseBinaryFloat(a, f)) BadFloat();
        W.WriteSingle(f);
        return;
      }
      case 'f':
      case 'd': {
        double d;
        if (!ParseBinaryFloat(a, d)) BadFloat();
        if (Suffix == 'f')
          W.WriteDouble(d);
        else
          W.WriteDate(TDateTime(d));
        return;
      }
      case 'c': W.WriteCurrency(Currency::FromRaw(ParseCurrency(a))); return;
    }
  }

  // Exact decimal to ten-thousandths, rounding half away from zero past four decimals.
  Int64 ParseCurrency(const std::string& a) {
    size_t i = 0;
    bool neg = false;
    if (i < a.size() && (a[i] == '+' || a[i] == '-')) neg = a[i++] == '-';
    std::string digits;
    int exp = 0;
    for (; i < a.size() && a[i] >= '0' && a[i] <= '9'; ++i) digits += a[i];
    if (i < a.size() && a[i] == '.')
      for (++i; i < a.size() && a[i] >= '0' && a[i] <= '9'; ++i, --exp) digits += a[i];
    if (i < a.size() && (a[i] == 'e' || a[i] == 'E')) {
      int e = 0;
      size_t at = i + 1 + (i + 1 < a.size() && a[i + 1] == '+' ? 1 : 0);
      auto r = std::from_chars(a.data() + at, a.data() + a.size(), e);
      if (r.ec != std::errc() || r.ptr != a.data() + a.size() || e > 100000 || e < -100000)
        Error(Format(SRes::SInvalidCurrency, {Text}));
      exp += e;
    } else if (i != a.size()) {
      Error(Format(SRes::SInvalidCurrency, {Text}));
    }
    size_t first = digits.find_first_not_of('0');
    digits = first == std::string::npos ? std::string() : digits.substr(first);
    while (!digits.empty() && digits.back() == '0') {
      digits.pop_back();
      ++exp;
    }
    if (digits.empty()) return 0;
    exp += 4;
    if (digits.size() > 19) Error(Format(SRes::SInvalidCurrency, {Text}));
    UInt64 m = std::stoull(digits);
    const UInt64 limit = neg ? UInt64(1) << 63 : (UInt64(1) << 63) - 1;
    if (exp >= 0) {
      for (int k = 0; k < exp; ++k) {
        if (m > limit / 10) Error(Format(SRes::SInvalidCurrency, {Text}));
        m *= 10;
      }
    } else if (-exp > 19) {
      m = 0;
    } else {
      UInt64 p = 1;
      for (int k = 0; k < -exp; ++k) p *= 10;
      UInt64 q = m / p, r = m % p;
      if (r >= p - r) ++q;
      m = q;
    }
    if (m > limit) Error(Format(SRes::SInvalidCurrency, {Text}));
    return neg ? Int64(UInt64(0) - m) : Int64(m);
  }

  const String& S;
  TWriter& W;
  size_t Pos = 0;
  int Line = 1;
  int TokLine = 1;
  TToken Tok = tEOF;
  String Text;
  Int64 IntValue = 0;
  char Suffix = 0;
  int Depth = 0;
};

bool IsValidUtf8(const std::string& s) {
  size_t i = 0, n = s.size();
  while (i < n) {
    Byte c = Byte(s[i]);
    int len;
    UInt64 cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + size_t(len) > n) return false;
    for (int k = 1; k < len; ++k) {
      Byte d = Byte(s[i + size_t(k)]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    static const UInt64 minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += size_t(len);
  }
  return true;
}

// A text form in UTF-8 (with or without BOM), UTF-16 with BOM, or else the ANSI code page.
String DecodeText(const std::string& bytes) {
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return UTF8ToString(bytes.substr(3));
  if (bytes.size() >= 2 && Byte(bytes[0]) == 0xFF && Byte(bytes[1]) == 0xFE) {
    String s;
    s.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) s += wchar_t(Byte(bytes[i]) | (Byte(bytes[i + 1]) << 8));
    return s;
  }
  if (IsValidUtf8(bytes)) return UTF8ToString(bytes);
  return AnsiToString(bytes, 0);
}

bool StartsWithKeyword(const char* p, size_t n) {
  size_t i = 0;
  while (i < n && (p[i] == ' ' || p[i] == '\t' || p[i] == '\r' || p[i] == '\n')) ++i;
  for (const char* word : {"object", "inherited", "inline"}) {
    size_t len = std::strlen(word);
    if (i + len < n) {
      bool same = true;
      for (size_t k = 0; k < len && same; ++k) same = (p[i + k] | 0x20) == word[k];
      if (same && Byte(p[i + len]) <= ' ') return true;
    }
  }
  return false;
}

}  // namespace

void ObjectBinaryToText(TStream& input, TStream& output) {
  std::string text;
  {
    TReader reader(input, 4096);
    text = TBinaryToText(reader).Convert();
  }
  output.WriteBuffer(text.data(), Int64(text.size()));
}

void ObjectTextToBinary(TStream& input, TStream& output) {
  Int64 size = input.Size() - input.Position();
  std::string bytes(size_t(size > 0 ? size : 0), '\0');
  if (!bytes.empty()) input.ReadBuffer(bytes.data(), Int64(bytes.size()));
  String text = DecodeText(bytes);
  TMemoryStream binary;
  {
    TWriter writer(binary, 4096);
    TTextParser(text, writer).Run();
    writer.FlushBuffer();
  }
  output.WriteBuffer(binary.Memory(), binary.Size());
}

TStreamOriginalFormat TestStreamFormat(TStream& stream) {
  Int64 pos = stream.Position();
  char buf[64];
  Int64 n = stream.Read(buf, sizeof(buf));
  stream.SetPosition(pos);
  if (n <= 0) return sofUnknown;
  size_t len = size_t(n);
  if (len >= 4 && std::memcmp(buf, FilerSignature, 4) == 0) return sofBinary;
  if (len >= 3 && std::memcmp(buf, "\xEF\xBB\xBF", 3) == 0)
    return StartsWithKeyword(buf + 3, len - 3) ? sofUTF8Text : sofUnknown;
  return StartsWithKeyword(buf, len) ? sofText : sofUnknown;
}

TStreamOriginalFormat ConvertFormFile(const String& inputName, const String& outputName) {
  TMemoryStream source;
  source.LoadFromFile(inputName);
  TMemoryStream result;
  TStreamOriginalFormat format = TestStreamFormat(source);
  try {
    switch (format) {
      case sofBinary: ObjectBinaryToText(source, result); break;
      case sofText:
      case sofUTF8Text: ObjectTextToBinary(source, result); break;
      default: throw EInvalidImage(SRes::SInvalidImage);
    }
  } catch (Exception& e) {
    e.SetMessage(inputName + L": " + e.Message());
    throw;
  }
  TSafeFileStream target(outputName);
  target.WriteBuffer(result.Memory(), result.Size());
  target.Commit();
  return format;
}

}  // namespace kw
