// TDateTime routines: encoding and decoding, calendar arithmetic, formatting and parsing with
// TFormatSettings. File time stamps are in host/Sysutils.h.
#pragma once

#include "host/Sysutils.h"

namespace kw {

inline constexpr double MSecsPerDay = 86400000.0;

TDateTime EncodeDate(Word year, Word month, Word day);  // raises EConvertError
bool TryEncodeDate(Word year, Word month, Word day, TDateTime& out);
TDateTime EncodeTime(Word hour, Word min, Word sec, Word msec);  // raises EConvertError
bool TryEncodeTime(Word hour, Word min, Word sec, Word msec, TDateTime& out);
TDateTime EncodeDateTime(Word year, Word month, Word day, Word hour, Word min, Word sec, Word msec);
bool TryEncodeDateTime(Word year, Word month, Word day, Word hour, Word min, Word sec, Word msec, TDateTime& out);
// Negative values: the date is the truncated part, the time the absolute fraction.
void DecodeDate(TDateTime dt, Word& year, Word& month, Word& day);
void DecodeTime(TDateTime dt, Word& hour, Word& min, Word& sec, Word& msec);
void DecodeDateTime(TDateTime dt, Word& year, Word& month, Word& day, Word& hour, Word& min, Word& sec, Word& msec);

Word DayOfWeek(TDateTime dt);     // 1 = Sunday .. 7 = Saturday
Word DayOfTheWeek(TDateTime dt);  // ISO 8601: 1 = Monday .. 7 = Sunday
bool IsLeapYear(Word year);
Word DaysInAMonth(Word year, Word month);
Word MonthDays(bool leapYear, Word month);
Word WeekOfTheYear(TDateTime dt);  // ISO 8601
Word WeekOfTheYear(TDateTime dt, Word& isoYear);
Word YearOf(TDateTime dt);
Word MonthOf(TDateTime dt);
Word DayOf(TDateTime dt);
Word HourOf(TDateTime dt);
Word MinuteOf(TDateTime dt);
Word SecondOf(TDateTime dt);
Word MilliSecondOf(TDateTime dt);

// Keeps the time; a day past the end of the target month becomes its last day.
TDateTime IncMonth(TDateTime dt, int months = 1);
TDateTime IncYear(TDateTime dt, int years = 1);
TDateTime IncDay(TDateTime dt, int days = 1);
TDateTime StartOfTheMonth(TDateTime dt);
TDateTime EndOfTheMonth(TDateTime dt);  // 23:59:59.999 on the last day
TDateTime DateOf(TDateTime dt);
TDateTime TimeOf(TDateTime dt);

TDateTime Now();
TDateTime Date();
TDateTime Time();

String FormatDateTime(const String& fmt, TDateTime dt);
String FormatDateTime(const String& fmt, TDateTime dt, const TFormatSettings& settings);
String DateToStr(TDateTime dt);
String DateToStr(TDateTime dt, const TFormatSettings& settings);
String TimeToStr(TDateTime dt);
String TimeToStr(TDateTime dt, const TFormatSettings& settings);
String DateTimeToStr(TDateTime dt);
String DateTimeToStr(TDateTime dt, const TFormatSettings& settings);

// Parsing follows the order of day, month and year in ShortDateFormat; a missing year is the
// current one, two-digit years fall in the TwoDigitYearCenturyWindow.
TDateTime StrToDate(const String& s);
TDateTime StrToDate(const String& s, const TFormatSettings& settings);
TDateTime StrToDateDef(const String& s, TDateTime def);
TDateTime StrToDateDef(const String& s, TDateTime def, const TFormatSettings& settings);
bool TryStrToDate(const String& s, TDateTime& out);
bool TryStrToDate(const String& s, TDateTime& out, const TFormatSettings& settings);
TDateTime StrToTime(const String& s);
TDateTime StrToTime(const String& s, const TFormatSettings& settings);
TDateTime StrToTimeDef(const String& s, TDateTime def);
TDateTime StrToTimeDef(const String& s, TDateTime def, const TFormatSettings& settings);
bool TryStrToTime(const String& s, TDateTime& out);
bool TryStrToTime(const String& s, TDateTime& out, const TFormatSettings& settings);
TDateTime StrToDateTime(const String& s);
TDateTime StrToDateTime(const String& s, const TFormatSettings& settings);
TDateTime StrToDateTimeDef(const String& s, TDateTime def);
TDateTime StrToDateTimeDef(const String& s, TDateTime def, const TFormatSettings& settings);
bool TryStrToDateTime(const String& s, TDateTime& out);
bool TryStrToDateTime(const String& s, TDateTime& out, const TFormatSettings& settings);

}  // namespace kw
