// Number formatting and parsing: Format, the float and currency conversions with their picture
// formats, and TFormatSettings read from the Windows locale. Rounding is half away from zero
// on decimal digits, as the host does. Date formatting is in Dateutils.cpp.
#include "host/Win.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "host/Sysutils.h"

namespace kw {

namespace {

union FormatSettingsStorage {
  constexpr FormatSettingsStorage() : Dummy(0) {}
  ~FormatSettingsStorage() {}
  char Dummy;
  TFormatSettings Value;
};
constinit FormatSettingsStorage gFormatSettings;
bool gFormatSettingsReady = false;

constexpr int kMaxWidth = 1 << 20;  // wider padding is surely a mistake; never allocate more

// A decimal value 0.Digits x 10^Exponent: no leading or trailing zeros, zero has no digits.
struct TDecimal {
  bool Negative = false;
  bool Nan = false;
  bool Inf = false;
  std::string Digits;
  int Exponent = 0;

  bool Special() const { return Nan || Inf; }
  bool Zero() const { return Digits.empty(); }

  void Normalize() {
    size_t lead = Digits.find_first_not_of('0');
    if (lead == std::string::npos) {
      Digits.clear();
      Exponent = 0;
      return;
    }
    Digits.erase(0, lead);
    Exponent -= int(lead);
    Digits.erase(Digits.find_last_not_of('0') + 1);
  }

  // Keeps the first count digits, rounding half away from zero.
  void Keep(int count) {
    if (Special() || count >= int(Digits.size())) return;
    if (count < 0) {
      Digits.clear();
      Exponent = 0;
      return;
    }
    bool up = Digits[size_t(count)] >= '5';
    Digits.resize(size_t(count));
    if (up) {
      int i = count - 1;
      while (i >= 0 && Digits[size_t(i)] == '9') Digits[size_t(i--)] = '0';
      if (i < 0) {
        Digits.insert(Digits.begin(), '1');
        ++Exponent;
      } else {
        ++Digits[size_t(i)];
      }
    }
    Normalize();
  }
  void RoundSignificant(int count) { Keep(count); }
  void RoundDecimals(int decimals) {
    if (Zero()) return;
    Keep(Exponent + decimals);
  }
  char DigitAt(int index) const {  // index 0 is the first digit after "0."
    return index >= 0 && index < int(Digits.size()) ? Digits[size_t(index)] : '0';
  }
};

TDecimal FromDouble(double v) {
  TDecimal d;
  if (std::isnan(v)) {
    d.Nan = true;
    return d;
  }
  d.Negative = std::signbit(v);
  if (std::isinf(v)) {
    d.Inf = true;
    return d;
  }
  if (v == 0) return d;
  // Forty digits decide rounding to any precision this library asks for.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 40);
  char* e = std::find(buf, res.ptr, 'e');
  for (char* p = buf; p < e; ++p)
    if (*p != '.') d.Digits += *p;
  int exp = 0;
  std::from_chars(e + 1 + (e[1] == '+'), res.ptr, exp);
  d.Exponent = exp + 1;
  d.Normalize();
  return d;
}

TDecimal FromCurrency(Currency c) {
  TDecimal d;
  Int64 raw = c.Raw();
  d.Negative = raw < 0;
  UInt64 u = raw < 0 ? 0 - UInt64(raw) : UInt64(raw);
  d.Digits = std::to_string(u);
  d.Exponent = int(d.Digits.size()) - 4;
  d.Normalize();
  return d;
}

String SpecialText(const TDecimal& d) {
  if (d.Nan) return L"NAN";
  return d.Negative ? L"-INF" : L"INF";
}

String IntegerPart(const TDecimal& d, wchar_t thousands) {
  String s;
  if (d.Exponent <= 0) return L"0";
  for (int i = 0; i < d.Exponent; ++i) {
    if (thousands && i > 0 && (d.Exponent - i) % 3 == 0) s += thousands;
    s += wchar_t(d.DigitAt(i));
  }
  return s;
}

String FixedText(const TDecimal& d, int decimals, wchar_t thousands, const TFormatSettings& fs) {
  String s = IntegerPart(d, thousands);
  if (decimals > 0) {
    s += fs.DecimalSeparator;
    for (int i = 0; i < decimals; ++i) s += wchar_t(d.DigitAt(d.Exponent + i));
  }
  return s;
}

String ExponentDigits(int exp, int minDigits) {
  String s = UIntToStr(UInt64(exp < 0 ? -exp : exp));
  if (int(s.size()) < minDigits) s.insert(0, size_t(minDigits) - s.size(), L'0');
  return s;
}

// "d.ddd" with exactly precision digits, then E, a sign and at least expDigits digits.
String ExponentText(const TDecimal& d, int precision, int expDigits, const TFormatSettings& fs) {
  String s(1, wchar_t(d.Zero() ? '0' : d.DigitAt(0)));
  if (precision > 1) {
    s += fs.DecimalSeparator;
    for (int i = 1; i < precision; ++i) s += wchar_t(d.DigitAt(i));
  }
  int exp = d.Zero() ? 0 : d.Exponent - 1;
  s += exp < 0 ? L"E-" : L"E+";
  return s + ExponentDigits(exp, expDigits);
}

String GeneralText(const TDecimal& d, int precision, int expDigits, const TFormatSettings& fs) {
  if (d.Zero()) return L"0";
  if (d.Exponent > precision || d.Exponent < -3) {
    String s(1, wchar_t(d.Digits[0]));
    if (d.Digits.size() > 1) {
      s += fs.DecimalSeparator;
      for (size_t i = 1; i < d.Digits.size(); ++i) s += wchar_t(d.Digits[i]);
    }
    int exp = d.Exponent - 1;
    s += L'E';
    if (exp < 0) s += L'-';
    return s + ExponentDigits(exp, expDigits);
  }
  return FixedText(d, std::max(0, int(d.Digits.size()) - d.Exponent), 0, fs);
}

String CurrencyText(const String& amount, bool negative, const TFormatSettings& fs) {
  const String& c = fs.CurrencyString;
  if (!negative) {
    switch (fs.CurrencyFormat) {
      case 1: return amount + c;
      case 2: return c + L' ' + amount;
      case 3: return amount + L' ' + c;
      default: return c + amount;
    }
  }
  const String& a = amount;
  switch (fs.NegCurrFormat) {
    case 1: return L'-' + c + a;
    case 2: return c + L'-' + a;
    case 3: return c + a + L'-';
    case 4: return L'(' + a + c + L')';
    case 5: return L'-' + a + c;
    case 6: return a + L'-' + c;
    case 7: return a + c + L'-';
    case 8: return L'-' + a + L' ' + c;
    case 9: return L'-' + c + L' ' + a;
    case 10: return a + L' ' + c + L'-';
    case 11: return c + L' ' + a + L'-';
    case 12: return c + L' ' + L'-' + a;
    case 13: return a + L'-' + L' ' + c;
    case 14: return L"(" + c + L' ' + a + L')';
    case 15: return L'(' + a + L' ' + c + L')';
    default: return L'(' + c + a + L')';
  }
}

// The common tail of FloatToStrF, CurrToStrF and Format: d is rounded here to precision
// significant digits, then to the decimals the format shows.
String FormatDecimal(TDecimal d, TFloatFormat format, int precision, int digits, const TFormatSettings& fs) {
  if (d.Special()) return SpecialText(d);
  precision = std::clamp(precision, 1, 19);
  d.RoundSignificant(precision);
  String s;
  switch (format) {
    case ffGeneral:
      s = GeneralText(d, precision, std::clamp(digits, 0, 4), fs);
      break;
    case ffExponent:
      s = ExponentText(d, precision, std::clamp(digits, 0, 4), fs);
      break;
    default: {
      digits = std::clamp(digits, 0, 18);
      if (d.Exponent > precision) {
        s = ExponentText(d, precision, 0, fs);
        break;
      }
      d.RoundDecimals(digits);
      s = FixedText(d, digits, format == ffFixed ? 0 : fs.ThousandSeparator, fs);
      if (format == ffCurrency) return CurrencyText(s, d.Negative && !d.Zero(), fs);
    }
  }
  return d.Negative && !d.Zero() ? L'-' + s : s;
}

// The picture formats of FormatFloat and FormatCurr: sections "positive;negative;zero" of
// digit placeholders 0 and #, '.', ',', E+ / E- and quoted literals.
struct TPicture {
  int IntCount = 0;      // placeholders before the decimal point
  int IntMin = 0;        // of those, the ones from the first '0' on
  int DecMin = 0;        // decimals up to the last '0'
  int DecMax = 0;        // all decimal placeholders
  bool HasPoint = false;
  bool Thousands = false;
  bool Scientific = false;
  int ExpDigits = 0;
};

std::vector<String> PictureSections(const String& fmt) {
  std::vector<String> sections(1);
  wchar_t quote = 0;
  for (wchar_t c : fmt) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == L'\'' || c == L'"') {
      quote = c;
    } else if (c == L';') {
      if (sections.size() == 3) break;
      sections.emplace_back();
      continue;
    }
    sections.back() += c;
  }
  return sections;
}

bool IsExponentAt(const String& f, size_t i) {
  return (f[i] == L'E' || f[i] == L'e') && i + 1 < f.size() && (f[i + 1] == L'+' || f[i + 1] == L'-');
}

TPicture ParsePicture(const String& f) {
  TPicture p;
  bool inDecimals = false;
  int firstZero = -1;
  wchar_t quote = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    wchar_t c = f[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == L'\'' || c == L'"') {
      quote = c;
    } else if (c == L'0' || c == L'#') {
      if (inDecimals) {
        ++p.DecMax;
        if (c == L'0') p.DecMin = p.DecMax;
      } else {
        if (c == L'0' && firstZero < 0) firstZero = p.IntCount;
        ++p.IntCount;
      }
    } else if (c == L'.' && !inDecimals) {
      inDecimals = p.HasPoint = true;
    } else if (c == L',' && !inDecimals) {
      p.Thousands = true;
    } else if (IsExponentAt(f, i) && !p.Scientific) {
      p.Scientific = true;
      i += 2;
      while (i < f.size() && f[i] == L'0') {
        ++p.ExpDigits;
        ++i;
      }
      --i;
    }
  }
  if (firstZero >= 0) p.IntMin = p.IntCount - firstZero;
  return p;
}

String RenderPicture(const String& f, const TPicture& p, const TDecimal& value, const TFormatSettings& fs) {
  TDecimal d = value;
  int exp = 0;
  if (p.Scientific) {
    int intDigits = std::max(1, p.IntCount);
    d.RoundSignificant(intDigits + p.DecMax);
    if (!d.Zero()) {
      exp = d.Exponent - intDigits;
      d.Exponent = intDigits;
    }
  } else {
    d.RoundDecimals(p.DecMax);
  }
  String intDigits;
  for (int i = 0; i < d.Exponent; ++i) intDigits += wchar_t(d.DigitAt(i));
  if (int(intDigits.size()) < p.IntMin) intDigits.insert(0, size_t(p.IntMin) - intDigits.size(), L'0');
  String decDigits;
  for (int i = 0; i < p.DecMax; ++i) decDigits += wchar_t(d.DigitAt(d.Exponent + i));
  while (int(decDigits.size()) > p.DecMin && decDigits.back() == L'0') decDigits.pop_back();

  String out;
  const int total = int(intDigits.size());
  int next = 0;         // next integer digit to emit
  int placeholder = 0;  // integer placeholders seen
  auto emitInt = [&](int upTo) {
    for (; next < upTo; ++next) {
      out += intDigits[size_t(next)];
      int left = total - next - 1;
      if (p.Thousands && left > 0 && left % 3 == 0 && !p.Scientific) out += fs.ThousandSeparator;
    }
  };
  bool inDecimals = false;
  int dec = 0;
  wchar_t quote = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    wchar_t c = f[i];
    if (quote) {
      if (c == quote) quote = 0;
      else out += c;
      continue;
    }
    if (c == L'\'' || c == L'"') {
      quote = c;
    } else if (c == L'0' || c == L'#') {
      if (inDecimals) {
        if (dec < int(decDigits.size())) out += decDigits[size_t(dec)];
        ++dec;
      } else {
        ++placeholder;
        // The first placeholder takes the digits the picture has no room for.
        emitInt(total - (p.IntCount - placeholder));
      }
    } else if (c == L'.' && !inDecimals) {
      emitInt(total);
      inDecimals = true;
      if (!decDigits.empty()) out += fs.DecimalSeparator;
    } else if (c == L',' && !inDecimals) {
    } else if (IsExponentAt(f, i) && p.Scientific) {
      emitInt(total);
      out += c;
      if (exp < 0) out += L'-';
      else if (f[i + 1] == L'+') out += L'+';
      i += 2;
      int n = 0;
      while (i < f.size() && f[i] == L'0') {
        ++n;
        ++i;
      }
      --i;
      out += ExponentDigits(exp, n);
    } else {
      out += c;
    }
  }
  emitInt(total);
  return out;
}

String FormatPicture(const String& fmt, TDecimal d, const TFormatSettings& fs) {
  if (d.Special()) return SpecialText(d);
  if (fmt.empty()) return FormatDecimal(d, ffGeneral, 15, 0, fs);
  std::vector<String> sections = PictureSections(fmt);
  size_t section = d.Negative && !d.Zero() && sections.size() > 1 && !sections[1].empty() ? 1 : 0;
  TPicture p = ParsePicture(sections[section]);
  // The zero section applies to values that round to zero in the chosen section.
  TDecimal rounded = d;
  if (p.Scientific) rounded.RoundSignificant(std::max(1, p.IntCount) + p.DecMax);
  else rounded.RoundDecimals(p.DecMax);
  if (rounded.Zero() && sections.size() > 2 && !sections[2].empty()) {
    section = 2;
    p = ParsePicture(sections[2]);
  }
  String s = RenderPicture(sections[section], p, d, fs);
  if (section == 0 && d.Negative && !rounded.Zero()) s.insert(0, 1, L'-');
  return s;
}

// Strict number syntax: blanks, sign, digits with one decimal separator, optional exponent,
// blanks. Returns the digits as an ASCII number for from_chars.
bool ScanNumber(const String& s, wchar_t decimal, std::string& out, bool& negative, bool allowExponent) {
  size_t i = 0, n = s.size();
  while (i < n && s[i] <= L' ') ++i;
  while (n > i && s[n - 1] <= L' ') --n;
  negative = false;
  if (i < n && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
  out.clear();
  int digits = 0;
  bool point = false;
  for (; i < n; ++i) {
    wchar_t c = s[i];
    if (c >= L'0' && c <= L'9') {
      out += char(c);
      ++digits;
    } else if (c == decimal && !point) {
      out += '.';
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < n && allowExponent && (s[i] == L'e' || s[i] == L'E')) {
    out += 'e';
    ++i;
    if (i < n && (s[i] == L'+' || s[i] == L'-')) out += char(s[i++]);
    size_t start = i;
    for (; i < n && s[i] >= L'0' && s[i] <= L'9'; ++i) out += char(s[i]);
    if (i == start) return false;
  }
  return i == n;
}

bool ParseSpecial(const String& s, double& out) {
  String t = UpperCase(Trim(s));
  if (t == L"NAN") out = std::numeric_limits<double>::quiet_NaN();
  else if (t == L"INF" || t == L"+INF") out = std::numeric_limits<double>::infinity();
  else if (t == L"-INF") out = -std::numeric_limits<double>::infinity();
  else return false;
  return true;
}

[[noreturn]] void RaiseFormat(const wchar_t* text, const String& fmt) {
  String msg(text);
  size_t at = msg.find(L"%s");
  if (at != String::npos) msg.replace(at, 2, fmt);
  throw EConvertError(msg);
}

String LocaleString(const wchar_t* locale, LCTYPE type, const wchar_t* fallback) {
  wchar_t buf[256];
  int n = GetLocaleInfoEx(locale, type, buf, 256);
  return n > 1 ? String(buf, size_t(n - 1)) : String(fallback);
}

int LocaleNumber(const wchar_t* locale, LCTYPE type, int fallback) {
  Integer v;
  return TryStrToInt(LocaleString(locale, type, L""), v) ? v : fallback;
}

// Windows pictures ("M/d/yyyy", "h:mm:ss tt") become the host's: lower-case month letters,
// '/' and ':' for the separators, "AMPM" for the day half, 'n' for minutes.
String TranslateDateTimeFormat(const String& f, wchar_t separator, wchar_t placeholder, bool time) {
  String r;
  wchar_t quote = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    wchar_t c = f[i];
    if (quote) {
      r += c;
      if (c == quote) quote = 0;
    } else if (c == L'\'' || c == L'"') {
      quote = c;
      r += c;
    } else if (c == separator) {
      r += placeholder;
    } else if (time && (c == L't')) {
      while (i + 1 < f.size() && f[i + 1] == L't') ++i;
      r += L"AMPM";
    } else if (time && (c == L'm' || c == L'M')) {
      r += L'n';
    } else if (c == L'H') {
      r += L'h';
    } else if (c == L'M') {
      r += L'm';
    } else if (c == L'g') {
    } else {
      r += c;
    }
  }
  return Trim(r);
}

TFormatSettings FromLocale(const wchar_t* loc) {
  TFormatSettings fs = TFormatSettings::Invariant();
  fs.CurrencyString = LocaleString(loc, LOCALE_SCURRENCY, L"\u00A4");
  fs.CurrencyFormat = Byte(LocaleNumber(loc, LOCALE_ICURRENCY, 0));
  fs.NegCurrFormat = Byte(LocaleNumber(loc, LOCALE_INEGCURR, 0));
  fs.CurrencyDecimals = Byte(LocaleNumber(loc, LOCALE_ICURRDIGITS, 2));
  auto first = [&](LCTYPE t, wchar_t def) {
    String s = LocaleString(loc, t, L"");
    return s.empty() ? def : s[0];
  };
  fs.ThousandSeparator = first(LOCALE_STHOUSAND, L',');
  fs.DecimalSeparator = first(LOCALE_SDECIMAL, L'.');
  fs.DateSeparator = first(LOCALE_SDATE, L'/');
  fs.TimeSeparator = first(LOCALE_STIME, L':');
  fs.ListSeparator = first(LOCALE_SLIST, L',');
  fs.ShortDateFormat = TranslateDateTimeFormat(LocaleString(loc, LOCALE_SSHORTDATE, L"MM/dd/yyyy"), fs.DateSeparator, L'/', false);
  fs.LongDateFormat = TranslateDateTimeFormat(LocaleString(loc, LOCALE_SLONGDATE, L"dddd, dd MMMM yyyy"), fs.DateSeparator, L'/', false);
  fs.TimeAMString = LocaleString(loc, LOCALE_S1159, L"AM");
  fs.TimePMString = LocaleString(loc, LOCALE_S2359, L"PM");
  fs.ShortTimeFormat = TranslateDateTimeFormat(LocaleString(loc, LOCALE_SSHORTTIME, L"HH:mm"), fs.TimeSeparator, L':', true);
  fs.LongTimeFormat = TranslateDateTimeFormat(LocaleString(loc, LOCALE_STIMEFORMAT, L"HH:mm:ss"), fs.TimeSeparator, L':', true);
  for (int m = 0; m < 12; ++m) {
    fs.ShortMonthNames[m] = LocaleString(loc, LOCALE_SABBREVMONTHNAME1 + m, fs.ShortMonthNames[m].c_str());
    fs.LongMonthNames[m] = LocaleString(loc, LOCALE_SMONTHNAME1 + m, fs.LongMonthNames[m].c_str());
  }
  for (int d = 0; d < 7; ++d) {
    // Windows counts from Monday, the host from Sunday.
    LCTYPE offset = LCTYPE((d + 6) % 7);
    fs.ShortDayNames[d] = LocaleString(loc, LOCALE_SABBREVDAYNAME1 + offset, fs.ShortDayNames[d].c_str());
    fs.LongDayNames[d] = LocaleString(loc, LOCALE_SDAYNAME1 + offset, fs.LongDayNames[d].c_str());
  }
  return fs;
}

bool CurrencyFromDecimal(const TDecimal& d, Currency& out) {
  TDecimal r = d;
  r.RoundDecimals(4);
  if (r.Zero()) {
    out = Currency();
    return true;
  }
  if (r.Exponent > 15) return false;
  UInt64 raw = 0;
  for (int i = 0; i < r.Exponent + 4; ++i) raw = raw * 10 + UInt64(r.DigitAt(i) - '0');
  if (raw > UInt64(INT64_MAX) + (r.Negative ? 1 : 0)) return false;
  out = Currency::FromRaw(r.Negative ? Int64(0 - raw) : Int64(raw));
  return true;
}

}  // namespace

constinit TFormatSettings& FormatSettings = gFormatSettings.Value;

detail::FormatSettingsInit::FormatSettingsInit() {
  if (gFormatSettingsReady) return;
  gFormatSettingsReady = true;
  new (&gFormatSettings.Value) TFormatSettings(TFormatSettings::Create());
}

TFormatSettings TFormatSettings::Create() { return FromLocale(LOCALE_NAME_USER_DEFAULT); }

TFormatSettings TFormatSettings::Create(const String& localeName) {
  if (localeName.empty() || !IsValidLocaleName(localeName.c_str())) return Create();
  return FromLocale(localeName.c_str());
}

TFormatSettings TFormatSettings::Invariant() {
  static const wchar_t* const shortMonths[12] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                                  L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
  static const wchar_t* const longMonths[12] = {L"January", L"February", L"March",     L"April",
                                                 L"May",     L"June",     L"July",      L"August",
                                                 L"September", L"October", L"November", L"December"};
  static const wchar_t* const shortDays[7] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
  static const wchar_t* const longDays[7] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday",
                                              L"Thursday", L"Friday", L"Saturday"};
  TFormatSettings fs;
  fs.CurrencyString = L"\u00A4";
  fs.ShortDateFormat = L"MM/dd/yyyy";
  fs.LongDateFormat = L"dddd, dd MMMM yyyy";
  fs.TimeAMString = L"AM";
  fs.TimePMString = L"PM";
  fs.ShortTimeFormat = L"hh:nn";
  fs.LongTimeFormat = L"hh:nn:ss";
  for (int i = 0; i < 12; ++i) {
    fs.ShortMonthNames[i] = shortMonths[i];
    fs.LongMonthNames[i] = longMonths[i];
  }
  for (int i = 0; i < 7; ++i) {
    fs.ShortDayNames[i] = shortDays[i];
    fs.LongDayNames[i] = longDays[i];
  }
  return fs;
}

String Format(const String& fmt, TVarRecs args) { return Format(fmt, args.begin(), args.size(), FormatSettings); }

String Format(const String& fmt, TVarRecs args, const TFormatSettings& settings) {
  return Format(fmt, args.begin(), args.size(), settings);
}

String Format(const String& fmt, const TVarRec* args, size_t count, const TFormatSettings& fs) {
  String out;
  size_t argIndex = 0;
  const size_t n = fmt.size();
  auto invalid = [&]() { RaiseFormat(SRes::SInvalidFormat, fmt); };
  auto next = [&]() -> const TVarRec& {
    if (argIndex >= count) RaiseFormat(SRes::SArgumentMissing, fmt);
    return args[argIndex++];
  };
  // A number or '*' (taken from the arguments); -1 when neither is there.
  auto number = [&](size_t& i) -> int {
    if (i < n && fmt[i] == L'*') {
      ++i;
      const TVarRec& a = next();
      if (a.VType != TVarRec::vtInteger && a.VType != TVarRec::vtInt64) invalid();
      return int(std::clamp<Int64>(a.VInt64, 0, kMaxWidth));
    }
    if (i >= n || fmt[i] < L'0' || fmt[i] > L'9') return -1;
    Int64 v = 0;
    for (; i < n && fmt[i] >= L'0' && fmt[i] <= L'9'; ++i) v = std::min<Int64>(v * 10 + (fmt[i] - L'0'), kMaxWidth);
    return int(v);
  };

  for (size_t i = 0; i < n;) {
    if (fmt[i] != L'%') {
      out += fmt[i++];
      continue;
    }
    if (++i >= n) invalid();
    if (fmt[i] == L'%') {
      out += L'%';
      ++i;
      continue;
    }
    bool left = false;
    int width = number(i);
    if (width >= 0 && i < n && fmt[i] == L':') {
      argIndex = size_t(width);
      ++i;
      width = -1;
    }
    if (width < 0) {
      if (i < n && fmt[i] == L'-') {
        left = true;
        ++i;
      }
      width = number(i);
    }
    int prec = -1;
    if (i < n && fmt[i] == L'.') {
      ++i;
      prec = number(i);
      if (prec < 0) prec = 0;
    }
    if (i >= n) invalid();
    wchar_t type = UpCase(fmt[i++]);
    if (!wcschr(L"DUEFGNMPSX", type)) invalid();
    const TVarRec& a = next();
    const bool isInt = a.VType == TVarRec::vtInteger || a.VType == TVarRec::vtInt64;
    const bool isFloat = a.VType == TVarRec::vtExtended || a.VType == TVarRec::vtCurrency;
    String s;
    switch (type) {
      case L'D':
      case L'U':
      case L'X': {
        if (!isInt) invalid();
        UInt64 bits = UInt64(a.VInt64);
        if (a.VType == TVarRec::vtInteger) bits &= 0xFFFFFFFFu;
        bool neg = false;
        if (type == L'D') {
          neg = a.VInt64 < 0;
          s = UIntToStr(neg ? 0 - UInt64(a.VInt64) : UInt64(a.VInt64));
        } else {
          s = type == L'U' ? UIntToStr(bits) : IntToHexBits(bits, 0);
        }
        if (prec > int(s.size())) s.insert(0, size_t(std::min(prec, kMaxWidth)) - s.size(), L'0');
        if (neg) s.insert(0, 1, L'-');
        break;
      }
      case L'P':
        if (a.VType != TVarRec::vtPointer) invalid();
        s = IntToHexBits(UInt64(reinterpret_cast<std::uintptr_t>(a.VPointer)), 16);
        break;
      case L'S':
        if (a.VType == TVarRec::vtUnicodeString) s = a.Str();
        else if (a.VType == TVarRec::vtWideChar) s = String(1, a.VWideChar);
        else invalid();
        if (prec >= 0 && size_t(prec) < s.size()) s.resize(size_t(prec));
        break;
      default: {
        if (!isFloat) invalid();
        bool cur = a.VType == TVarRec::vtCurrency;
        TDecimal d = cur ? FromCurrency(Currency::FromRaw(a.VCurrency)) : FromDouble(a.VExtended);
        // Doubles are good for fifteen digits; the fixed formats keep more integer digits.
        const int sig = cur ? 19 : 15;
        if (!cur) d.RoundSignificant(sig);
        const int fixedPrecision = cur ? 19 : 18;
        switch (type) {
          case L'E': s = FormatDecimal(d, ffExponent, prec < 0 ? 15 : std::min(prec, sig), 3, fs); break;
          case L'F': s = FormatDecimal(d, ffFixed, fixedPrecision, prec < 0 ? 2 : prec, fs); break;
          case L'G': s = FormatDecimal(d, ffGeneral, prec < 0 ? 15 : std::min(std::max(prec, 1), sig), 0, fs); break;
          case L'N': s = FormatDecimal(d, ffNumber, fixedPrecision, prec < 0 ? 2 : prec, fs); break;
          default: s = FormatDecimal(d, ffCurrency, fixedPrecision, prec < 0 ? fs.CurrencyDecimals : prec, fs); break;
        }
      }
    }
    if (width > int(s.size())) {
      if (left) s.append(size_t(width) - s.size(), L' ');
      else s.insert(0, size_t(width) - s.size(), L' ');
    }
    out += s;
  }
  return out;
}

String FloatToStr(double v) { return FloatToStr(v, FormatSettings); }
String FloatToStr(double v, const TFormatSettings& settings) { return FloatToStrF(v, ffGeneral, 15, 0, settings); }

String FloatToStrF(double v, TFloatFormat format, int precision, int digits) {
  return FloatToStrF(v, format, precision, digits, FormatSettings);
}

String FloatToStrF(double v, TFloatFormat format, int precision, int digits, const TFormatSettings& settings) {
  return FormatDecimal(FromDouble(v), format, std::clamp(precision, 1, 18), digits, settings);
}

String FormatFloat(const String& fmt, double v) { return FormatFloat(fmt, v, FormatSettings); }

String FormatFloat(const String& fmt, double v, const TFormatSettings& settings) {
  TDecimal d = FromDouble(v);
  d.RoundSignificant(15);
  return FormatPicture(fmt, d, settings);
}

bool TryStrToFloat(const String& s, double& out) { return TryStrToFloat(s, out, FormatSettings); }

bool TryStrToFloat(const String& s, double& out, const TFormatSettings& settings) {
  std::string text;
  bool negative;
  if (!ScanNumber(s, settings.DecimalSeparator, text, negative, true)) return ParseSpecial(s, out);
  double v = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    // from_chars reports both ends; only the large one is an error.
    size_t e = text.find('e');
    long long exp = 0;
    if (e != std::string::npos) std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exp);
    std::string mant = text.substr(0, e);
    size_t point = mant.find('.');
    size_t firstDigit = mant.find_first_not_of("0.");
    long long intDigits = point == std::string::npos ? (long long)mant.size() : (long long)point;
    long long magnitude = firstDigit == std::string::npos ? -1000 : intDigits - (long long)firstDigit + exp;
    if (magnitude > 0) return false;
    v = 0;
  } else if (res.ec != std::errc()) {
    return false;
  }
  out = negative ? -v : v;
  return true;
}

double StrToFloat(const String& s) { return StrToFloat(s, FormatSettings); }

double StrToFloat(const String& s, const TFormatSettings& settings) {
  double v;
  if (!TryStrToFloat(s, v, settings)) throw EConvertError(SRes::SInvalidFloat, {s});
  return v;
}

double StrToFloatDef(const String& s, double def) { return StrToFloatDef(s, def, FormatSettings); }

double StrToFloatDef(const String& s, double def, const TFormatSettings& settings) {
  double v;
  return TryStrToFloat(s, v, settings) ? v : def;
}

String FloatToStrRoundTrip(double v) {
  if (std::isnan(v)) return L"NAN";
  if (std::isinf(v)) return v < 0 ? L"-INF" : L"INF";
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  String s(buf, res.ptr);
  if (s == L"-0") s = L"0";
  size_t e = s.find(L'e');
  if (e != String::npos) {
    // "1e+20" reads as "1E20" everywhere the host reads floats.
    String exp = s.substr(e + 1);
    if (!exp.empty() && exp[0] == L'+') exp.erase(0, 1);
    s = s.substr(0, e) + L'E' + exp;
  }
  return s;
}

String CurrToStr(Currency c) { return CurrToStr(c, FormatSettings); }
String CurrToStr(Currency c, const TFormatSettings& settings) { return CurrToStrF(c, ffGeneral, 0, settings); }

String CurrToStrF(Currency c, TFloatFormat format, int digits) { return CurrToStrF(c, format, digits, FormatSettings); }

String CurrToStrF(Currency c, TFloatFormat format, int digits, const TFormatSettings& settings) {
  if (format != ffGeneral && format != ffExponent) digits = std::clamp(digits, 0, 4);
  return FormatDecimal(FromCurrency(c), format, 19, digits, settings);
}

String FormatCurr(const String& fmt, Currency c) { return FormatCurr(fmt, c, FormatSettings); }

String FormatCurr(const String& fmt, Currency c, const TFormatSettings& settings) {
  TDecimal d = FromCurrency(c);
  if (fmt.empty()) return FormatDecimal(d, ffGeneral, 19, 0, settings);
  return FormatPicture(fmt, d, settings);
}

bool TryStrToCurr(const String& s, Currency& out) { return TryStrToCurr(s, out, FormatSettings); }

bool TryStrToCurr(const String& s, Currency& out, const TFormatSettings& settings) {
  std::string text;
  bool negative;
  if (!ScanNumber(s, settings.DecimalSeparator, text, negative, true)) return false;
  TDecimal d;
  d.Negative = negative;
  size_t e = text.find('e');
  long long exp = 0;
  if (e != std::string::npos) {
    auto r = std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exp);
    if (r.ec != std::errc()) return false;
    text.resize(e);
  }
  size_t point = text.find('.');
  long long intDigits = point == std::string::npos ? (long long)text.size() : (long long)point;
  if (point != std::string::npos) text.erase(point, 1);
  exp += intDigits;
  d.Digits = text;
  if (exp > 1000 || exp < -1000) {
    if (text.find_first_not_of('0') == std::string::npos) exp = 0;
    else if (exp > 0) return false;
    else exp = -1000;
  }
  d.Exponent = int(exp);
  d.Normalize();
  return CurrencyFromDecimal(d, out);
}

Currency StrToCurr(const String& s) { return StrToCurr(s, FormatSettings); }

Currency StrToCurr(const String& s, const TFormatSettings& settings) {
  Currency c;
  if (!TryStrToCurr(s, c, settings)) throw EConvertError(SRes::SInvalidCurrency, {s});
  return c;
}

Currency StrToCurrDef(const String& s, Currency def) { return StrToCurrDef(s, def, FormatSettings); }

Currency StrToCurrDef(const String& s, Currency def, const TFormatSettings& settings) {
  Currency c;
  return TryStrToCurr(s, c, settings) ? c : def;
}

}  // namespace kw
