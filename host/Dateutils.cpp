// TDateTime routines: the proleptic Gregorian calendar on day serials from 1899-12-30,
// FormatDateTime and the date and time parsers. File time stamps are in Sysfiles.cpp.
#include "host/Dateutils.h"

#include "host/Win.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace kw {

namespace {

constexpr Int64 kMSecsPerDay = 86400000;
constexpr Int64 kMinSerial = -693593;  // 0001-01-01
constexpr Int64 kMaxSerial = 2958465;  // 9999-12-31

// Days from 1970-01-01 (Hinnant's civil calendar algorithms), shifted to the host's epoch.
Int64 SerialFromDate(int y, int m, int d) {
  y -= m <= 2;
  Int64 era = (y >= 0 ? y : y - 399) / 400;
  Int64 yoe = y - era * 400;
  Int64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  Int64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 25569;
}

void DateFromSerial(Int64 serial, int& y, int& m, int& d) {
  Int64 z = serial - 25569 + 719468;
  Int64 era = (z >= 0 ? z : z - 146096) / 146097;
  Int64 doe = z - era * 146097;
  Int64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  Int64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  Int64 mp = (5 * doy + 2) / 153;
  d = int(doy - (153 * mp + 2) / 5 + 1);
  m = int(mp < 10 ? mp + 3 : mp - 9);
  y = int(yoe + era * 400 + (m <= 2));
}

// A TDateTime split the host's way: the day serial carries the sign, the time of day is
// the rounded absolute fraction in milliseconds.
struct TStamp {
  Int64 Serial = 0;
  Int64 MSecs = 0;
  bool Valid = false;
};

TStamp ToStamp(double dt) {
  TStamp st;
  if (!std::isfinite(dt) || std::fabs(dt) > double(kMaxSerial + 1)) return st;
  Int64 total = std::llround(std::fabs(dt) * MSecsPerDay);
  st.Serial = total / kMSecsPerDay;
  if (dt < 0) st.Serial = -st.Serial;
  st.MSecs = total % kMSecsPerDay;
  st.Valid = st.Serial >= kMinSerial && st.Serial <= kMaxSerial;
  return st;
}

double Combine(double date, double time) { return date >= 0 ? date + time : date - time; }

[[noreturn]] void RaiseConvert(const wchar_t* fmt, const String& s) { throw EConvertError(fmt, {s}); }

}  // namespace

bool IsLeapYear(Word year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

Word MonthDays(bool leapYear, Word month) {
  static const Word days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && leapYear ? 29 : days[month - 1];
}

Word DaysInAMonth(Word year, Word month) { return MonthDays(IsLeapYear(year), month); }

bool TryEncodeDate(Word year, Word month, Word day, TDateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInAMonth(year, month)) return false;
  out = TDateTime(double(SerialFromDate(year, month, day)));
  return true;
}

TDateTime EncodeDate(Word year, Word month, Word day) {
  TDateTime dt;
  if (!TryEncodeDate(year, month, day, dt)) throw EConvertError(SRes::SDateEncodeError);
  return dt;
}

bool TryEncodeTime(Word hour, Word min, Word sec, Word msec, TDateTime& out) {
  if (hour > 23 || min > 59 || sec > 59 || msec > 999) return false;
  out = TDateTime((hour * 3600000.0 + min * 60000.0 + sec * 1000.0 + msec) / MSecsPerDay);
  return true;
}

TDateTime EncodeTime(Word hour, Word min, Word sec, Word msec) {
  TDateTime dt;
  if (!TryEncodeTime(hour, min, sec, msec, dt)) throw EConvertError(SRes::STimeEncodeError);
  return dt;
}

bool TryEncodeDateTime(Word year, Word month, Word day, Word hour, Word min, Word sec, Word msec, TDateTime& out) {
  TDateTime d, t;
  if (!TryEncodeDate(year, month, day, d) || !TryEncodeTime(hour, min, sec, msec, t)) return false;
  out = TDateTime(Combine(d, t));
  return true;
}

TDateTime EncodeDateTime(Word year, Word month, Word day, Word hour, Word min, Word sec, Word msec) {
  TDateTime dt;
  if (!TryEncodeDateTime(year, month, day, hour, min, sec, msec, dt)) throw EConvertError(SRes::SDateEncodeError);
  return dt;
}

void DecodeDate(TDateTime dt, Word& year, Word& month, Word& day) {
  TStamp st = ToStamp(dt);
  if (!st.Valid) {
    year = month = day = 0;
    return;
  }
  int y, m, d;
  DateFromSerial(st.Serial, y, m, d);
  year = Word(y);
  month = Word(m);
  day = Word(d);
}

void DecodeTime(TDateTime dt, Word& hour, Word& min, Word& sec, Word& msec) {
  TStamp st = ToStamp(dt);
  Int64 ms = st.Valid ? st.MSecs : 0;
  hour = Word(ms / 3600000);
  min = Word(ms / 60000 % 60);
  sec = Word(ms / 1000 % 60);
  msec = Word(ms % 1000);
}

void DecodeDateTime(TDateTime dt, Word& year, Word& month, Word& day, Word& hour, Word& min, Word& sec, Word& msec) {
  DecodeDate(dt, year, month, day);
  DecodeTime(dt, hour, min, sec, msec);
}

Word DayOfWeek(TDateTime dt) {
  TStamp st = ToStamp(dt);
  // Day 1 of year 1 was a Monday; the serial of that day is kMinSerial.
  Int64 fromYearOne = st.Serial - kMinSerial + 1;
  return Word(((fromYearOne % 7) + 7) % 7 + 1);
}

Word DayOfTheWeek(TDateTime dt) { return Word((DayOfWeek(dt) + 5) % 7 + 1); }

Word WeekOfTheYear(TDateTime dt, Word& isoYear) {
  TStamp st = ToStamp(dt);
  Int64 thursday = st.Serial - DayOfTheWeek(dt) + 4;
  int y, m, d;
  DateFromSerial(thursday, y, m, d);
  isoYear = Word(y);
  return Word((thursday - SerialFromDate(y, 1, 1)) / 7 + 1);
}

Word WeekOfTheYear(TDateTime dt) {
  Word y;
  return WeekOfTheYear(dt, y);
}

Word YearOf(TDateTime dt) {
  Word y, m, d;
  DecodeDate(dt, y, m, d);
  return y;
}
Word MonthOf(TDateTime dt) {
  Word y, m, d;
  DecodeDate(dt, y, m, d);
  return m;
}
Word DayOf(TDateTime dt) {
  Word y, m, d;
  DecodeDate(dt, y, m, d);
  return d;
}
Word HourOf(TDateTime dt) {
  Word h, n, s, ms;
  DecodeTime(dt, h, n, s, ms);
  return h;
}
Word MinuteOf(TDateTime dt) {
  Word h, n, s, ms;
  DecodeTime(dt, h, n, s, ms);
  return n;
}
Word SecondOf(TDateTime dt) {
  Word h, n, s, ms;
  DecodeTime(dt, h, n, s, ms);
  return s;
}
Word MilliSecondOf(TDateTime dt) {
  Word h, n, s, ms;
  DecodeTime(dt, h, n, s, ms);
  return ms;
}

TDateTime IncMonth(TDateTime dt, int months) {
  double date = std::trunc(dt.Val);
  double time = std::fabs(dt.Val - date);
  Word y, m, d;
  DecodeDate(date, y, m, d);
  if (y == 0) throw EConvertError(SRes::SDateEncodeError);
  Int64 index = Int64(y) * 12 + (m - 1) + months;
  if (index < 12 || index > 9999 * 12 + 11) throw EConvertError(SRes::SDateEncodeError);
  Word ny = Word(index / 12), nm = Word(index % 12 + 1);
  Word nd = std::min(d, DaysInAMonth(ny, nm));
  return TDateTime(Combine(EncodeDate(ny, nm, nd), time));
}

TDateTime IncYear(TDateTime dt, int years) { return IncMonth(dt, years * 12); }
TDateTime IncDay(TDateTime dt, int days) { return TDateTime(dt.Val + days); }

TDateTime StartOfTheMonth(TDateTime dt) {
  Word y, m, d;
  DecodeDate(dt, y, m, d);
  return EncodeDate(y, m, 1);
}

TDateTime EndOfTheMonth(TDateTime dt) {
  Word y, m, d;
  DecodeDate(dt, y, m, d);
  return EncodeDateTime(y, m, DaysInAMonth(y, m), 23, 59, 59, 999);
}

TDateTime DateOf(TDateTime dt) { return TDateTime(std::trunc(dt.Val)); }
TDateTime TimeOf(TDateTime dt) { return TDateTime(std::fabs(dt.Val - std::trunc(dt.Val))); }

TDateTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return EncodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}

TDateTime Date() { return DateOf(Now()); }
TDateTime Time() { return TimeOf(Now()); }

namespace {

String Padded(int v, int width) {
  String s = IntToStr(v);
  if (int(s.size()) < width) s.insert(0, size_t(width) - s.size(), L'0');
  return s;
}

bool StartsWithText(const String& f, size_t i, const wchar_t* word) {
  size_t n = wcslen(word);
  return f.size() - i >= n && SameText(f.substr(i, n), word);
}

// Whether an am/pm marker follows, which makes the hours of the format 12-hour ones.
bool HasHalfDay(const String& f, size_t from) {
  wchar_t quote = 0;
  for (size_t i = from; i < f.size(); ++i) {
    if (quote) {
      if (f[i] == quote) quote = 0;
    } else if (f[i] == L'\'' || f[i] == L'"') {
      quote = f[i];
    } else if (StartsWithText(f, i, L"am/pm") || StartsWithText(f, i, L"a/p") || StartsWithText(f, i, L"ampm")) {
      return true;
    }
  }
  return false;
}

void AppendFormat(String& out, const String& f, TDateTime dt, const TFormatSettings& fs, int depth) {
  if (depth > 2) return;
  Word y, mo, d, h, n, s, ms;
  DecodeDateTime(dt, y, mo, d, h, n, s, ms);
  const Word dow = Word(DayOfWeek(dt) - 1);
  bool lastWasHour = false;
  wchar_t quote = 0;
  for (size_t i = 0; i < f.size();) {
    wchar_t c = f[i];
    if (quote) {
      if (c == quote) quote = 0;
      else out += c;
      ++i;
      continue;
    }
    if (c == L'\'' || c == L'"') {
      quote = c;
      ++i;
      continue;
    }
    wchar_t u = UpCase(c);
    const bool specifier = u != 0 && wcschr(L"CDMYHNSZT", u);
    size_t count = 1;
    if (specifier)
      while (i + count < f.size() && UpCase(f[i + count]) == u) ++count;
    bool isHour = false;
    switch (u) {
      case L'C':
        AppendFormat(out, fs.ShortDateFormat, dt, fs, depth + 1);
        if (h || n || s || ms) {
          out += L' ';
          AppendFormat(out, fs.LongTimeFormat, dt, fs, depth + 1);
        }
        break;
      case L'D':
        if (count == 1) out += IntToStr(d);
        else if (count == 2) out += Padded(d, 2);
        else if (count == 3) out += fs.ShortDayNames[dow];
        else if (count == 4) out += fs.LongDayNames[dow];
        else if (count == 5) AppendFormat(out, fs.ShortDateFormat, dt, fs, depth + 1);
        else AppendFormat(out, fs.LongDateFormat, dt, fs, depth + 1);
        break;
      case L'M':
        if (lastWasHour && count <= 2) out += count == 1 ? IntToStr(n) : Padded(n, 2);
        else if (count == 1) out += IntToStr(mo);
        else if (count == 2) out += Padded(mo, 2);
        else if (mo == 0) break;
        else if (count == 3) out += fs.ShortMonthNames[mo - 1];
        else out += fs.LongMonthNames[mo - 1];
        break;
      case L'Y':
        out += count <= 2 ? Padded(y % 100, 2) : Padded(y, 4);
        break;
      case L'H': {
        int hour = h;
        if (HasHalfDay(f, i)) {
          hour %= 12;
          if (hour == 0) hour = 12;
        }
        out += count == 1 ? IntToStr(hour) : Padded(hour, 2);
        isHour = true;
        break;
      }
      case L'N':
        out += count == 1 ? IntToStr(n) : Padded(n, 2);
        break;
      case L'S':
        out += count == 1 ? IntToStr(s) : Padded(s, 2);
        break;
      case L'Z':
        out += count == 1 ? IntToStr(ms) : Padded(ms, 3);
        break;
      case L'T':
        AppendFormat(out, count == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, dt, fs, depth + 1);
        break;
      case L'A':
        if (StartsWithText(f, i, L"am/pm")) {
          bool lower = f[i] == L'a';
          out += h < 12 ? (lower ? L"am" : L"AM") : (lower ? L"pm" : L"PM");
          count = 5;
        } else if (StartsWithText(f, i, L"a/p")) {
          bool lower = f[i] == L'a';
          out += h < 12 ? (lower ? L'a' : L'A') : (lower ? L'p' : L'P');
          count = 3;
        } else if (StartsWithText(f, i, L"ampm")) {
          out += h < 12 ? fs.TimeAMString : fs.TimePMString;
          count = 4;
        } else {
          out += c;
        }
        break;
      case L'/':
        out += fs.DateSeparator;
        break;
      case L':':
        out += fs.TimeSeparator;
        break;
      default:
        out += c;
    }
    if (specifier) lastWasHour = isHour;
    i += count;
  }
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

void SkipBlanks(const String& s, size_t& i) {
  while (i < s.size() && s[i] == L' ') ++i;
}

bool ScanNumber(const String& s, size_t& i, int& value, int& digits) {
  value = 0;
  digits = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (digits < 9) value = value * 10 + (s[i] - L'0');
    ++digits;
    ++i;
  }
  return digits > 0 && digits <= 9;
}

bool ScanDate(const String& s, size_t& i, const TFormatSettings& fs, double& out) {
  String order;
  wchar_t quote = 0;
  for (wchar_t c : fs.ShortDateFormat) {
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == L'\'' || c == L'"') quote = c;
    wchar_t u = UpCase(c);
    if ((u == L'D' || u == L'M' || u == L'Y') && order.find(u) == String::npos) order += u;
  }
  if (order.size() != 3) order = L"MDY";
  int values[3], lengths[3], count = 0;
  SkipBlanks(s, i);
  while (count < 3) {
    if (!ScanNumber(s, i, values[count], lengths[count])) return false;
    ++count;
    if (count == 3 || i >= s.size() || s[i] != fs.DateSeparator) break;
    ++i;
  }
  if (count < 2) return false;
  int y = 0, m = 0, d = 0, yearLength = 4;
  Word thisYear = YearOf(Date());
  if (count == 2) {
    String dm = order;
    dm.erase(dm.find(L'Y'), 1);
    (dm[0] == L'M' ? m : d) = values[0];
    (dm[0] == L'M' ? d : m) = values[1];
    y = thisYear;
  } else {
    for (int k = 0; k < 3; ++k) {
      if (order[size_t(k)] == L'Y') {
        y = values[k];
        yearLength = lengths[k];
      } else {
        (order[size_t(k)] == L'M' ? m : d) = values[k];
      }
    }
  }
  if (yearLength <= 2 && y <= 99) {
    int base = thisYear - fs.TwoDigitYearCenturyWindow;
    y += base / 100 * 100;
    if (fs.TwoDigitYearCenturyWindow > 0 && y < base) y += 100;
  }
  if (y > 9999 || m > 12 || d > 31) return false;
  TDateTime dt;
  if (!TryEncodeDate(Word(y), Word(m), Word(d), dt)) return false;
  out = dt;
  return true;
}

// Matches an am/pm marker at i: the locale's strings, "AM"/"PM" or "A"/"P".
int ScanHalfDay(const String& s, size_t& i, const TFormatSettings& fs) {
  const String am[] = {fs.TimeAMString, L"AM", L"A"}, pm[] = {fs.TimePMString, L"PM", L"P"};
  for (int k = 0; k < 3; ++k) {
    if (!am[k].empty() && StartsWithText(s, i, am[k].c_str())) {
      i += am[k].size();
      return 1;
    }
    if (!pm[k].empty() && StartsWithText(s, i, pm[k].c_str())) {
      i += pm[k].size();
      return 2;
    }
  }
  return 0;
}

bool ScanTime(const String& s, size_t& i, const TFormatSettings& fs, double& out) {
  SkipBlanks(s, i);
  int half = ScanHalfDay(s, i, fs);
  SkipBlanks(s, i);
  int parts[3] = {0, 0, 0}, len, count = 0, ms = 0;
  while (count < 3) {
    if (!ScanNumber(s, i, parts[count], len)) return false;
    ++count;
    if (i >= s.size() || s[i] != fs.TimeSeparator) break;
    ++i;
  }
  if (count == 3 && i < s.size() && (s[i] == fs.DecimalSeparator || s[i] == L'.')) {
    ++i;
    int scale = 100;
    if (i >= s.size() || !IsDigit(s[i])) return false;
    for (; i < s.size() && IsDigit(s[i]); ++i, scale /= 10) ms += (s[i] - L'0') * scale;
  }
  SkipBlanks(s, i);
  if (!half) half = ScanHalfDay(s, i, fs);
  if (count < 2 && !half) return false;
  int h = parts[0];
  if (half) {
    if (h < 1 || h > 12) return false;
    if (half == 1 && h == 12) h = 0;
    if (half == 2 && h < 12) h += 12;
  }
  if (h > 23 || parts[1] > 59 || parts[2] > 59) return false;
  TDateTime t;
  if (!TryEncodeTime(Word(h), Word(parts[1]), Word(parts[2]), Word(ms), t)) return false;
  out = t;
  return true;
}

bool AtEnd(const String& s, size_t i) {
  SkipBlanks(s, i);
  return i >= s.size();
}

}  // namespace

String FormatDateTime(const String& fmt, TDateTime dt) { return FormatDateTime(fmt, dt, FormatSettings); }

String FormatDateTime(const String& fmt, TDateTime dt, const TFormatSettings& settings) {
  String out;
  AppendFormat(out, fmt.empty() ? String(L"c") : fmt, dt, settings, 0);
  return out;
}

String DateToStr(TDateTime dt) { return DateToStr(dt, FormatSettings); }
String DateToStr(TDateTime dt, const TFormatSettings& settings) { return FormatDateTime(settings.ShortDateFormat, dt, settings); }
String TimeToStr(TDateTime dt) { return TimeToStr(dt, FormatSettings); }
String TimeToStr(TDateTime dt, const TFormatSettings& settings) { return FormatDateTime(settings.LongTimeFormat, dt, settings); }
String DateTimeToStr(TDateTime dt) { return DateTimeToStr(dt, FormatSettings); }
String DateTimeToStr(TDateTime dt, const TFormatSettings& settings) { return FormatDateTime(L"c", dt, settings); }

bool TryStrToDate(const String& s, TDateTime& out) { return TryStrToDate(s, out, FormatSettings); }

bool TryStrToDate(const String& s, TDateTime& out, const TFormatSettings& settings) {
  size_t i = 0;
  double d;
  if (!ScanDate(s, i, settings, d) || !AtEnd(s, i)) return false;
  out = d;
  return true;
}

TDateTime StrToDate(const String& s) { return StrToDate(s, FormatSettings); }

TDateTime StrToDate(const String& s, const TFormatSettings& settings) {
  TDateTime dt;
  if (!TryStrToDate(s, dt, settings)) RaiseConvert(SRes::SInvalidDate, s);
  return dt;
}

TDateTime StrToDateDef(const String& s, TDateTime def) { return StrToDateDef(s, def, FormatSettings); }

TDateTime StrToDateDef(const String& s, TDateTime def, const TFormatSettings& settings) {
  TDateTime dt;
  return TryStrToDate(s, dt, settings) ? dt : def;
}

bool TryStrToTime(const String& s, TDateTime& out) { return TryStrToTime(s, out, FormatSettings); }

bool TryStrToTime(const String& s, TDateTime& out, const TFormatSettings& settings) {
  size_t i = 0;
  double t;
  if (!ScanTime(s, i, settings, t) || !AtEnd(s, i)) return false;
  out = t;
  return true;
}

TDateTime StrToTime(const String& s) { return StrToTime(s, FormatSettings); }

TDateTime StrToTime(const String& s, const TFormatSettings& settings) {
  TDateTime dt;
  if (!TryStrToTime(s, dt, settings)) RaiseConvert(SRes::SInvalidTime, s);
  return dt;
}

TDateTime StrToTimeDef(const String& s, TDateTime def) { return StrToTimeDef(s, def, FormatSettings); }

TDateTime StrToTimeDef(const String& s, TDateTime def, const TFormatSettings& settings) {
  TDateTime dt;
  return TryStrToTime(s, dt, settings) ? dt : def;
}

bool TryStrToDateTime(const String& s, TDateTime& out) { return TryStrToDateTime(s, out, FormatSettings); }

bool TryStrToDateTime(const String& s, TDateTime& out, const TFormatSettings& settings) {
  size_t i = 0;
  double d, t;
  if (ScanDate(s, i, settings, d)) {
    if (AtEnd(s, i)) {
      out = d;
      return true;
    }
    if (ScanTime(s, i, settings, t) && AtEnd(s, i)) {
      out = Combine(d, t);
      return true;
    }
  }
  return TryStrToTime(s, out, settings);
}

TDateTime StrToDateTime(const String& s) { return StrToDateTime(s, FormatSettings); }

TDateTime StrToDateTime(const String& s, const TFormatSettings& settings) {
  TDateTime dt;
  if (!TryStrToDateTime(s, dt, settings)) RaiseConvert(SRes::SInvalidDateTime, s);
  return dt;
}

TDateTime StrToDateTimeDef(const String& s, TDateTime def) { return StrToDateTimeDef(s, def, FormatSettings); }

TDateTime StrToDateTimeDef(const String& s, TDateTime def, const TFormatSettings& settings) {
  TDateTime dt;
  return TryStrToDateTime(s, dt, settings) ? dt : def;
}

}  // namespace kw
