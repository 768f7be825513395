// Tests of the TDateTime routines of host/Dateutils.h: calendar edges, arithmetic, week
// numbers, FormatDateTime patterns and parsing under fixed format settings.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "host/Dateutils.h"

using namespace kw;

namespace {

const TFormatSettings& Inv() {
  static const TFormatSettings fs = TFormatSettings::Invariant();
  return fs;
}

struct Parts {
  Word y, m, d, h, n, s, ms;
};

Parts Decode(TDateTime dt) {
  Parts p{};
  DecodeDateTime(dt, p.y, p.m, p.d, p.h, p.n, p.s, p.ms);
  return p;
}

#define EXPECT_PARTS(dt, Y, M, D, H, N, S, MS)                                          \
  do {                                                                                 \
    Parts p_ = Decode(dt);                                                             \
    EXPECT_EQ((std::vector<int>{p_.y, p_.m, p_.d, p_.h, p_.n, p_.s, p_.ms}),           \
              (std::vector<int>{Y, M, D, H, N, S, MS}));                               \
  } while (0)

}  // namespace

TEST(DateEncoding, SerialsMatchTheHostEpoch) {
  EXPECT_EQ(double(EncodeDate(1899, 12, 30)), 0);
  EXPECT_EQ(double(EncodeDate(1900, 1, 1)), 2);
  EXPECT_EQ(double(EncodeDate(2000, 1, 1)), 36526);
  EXPECT_EQ(double(EncodeDate(1, 1, 1)), -693593);
  EXPECT_EQ(double(EncodeDate(9999, 12, 31)), 2958465);
  EXPECT_DOUBLE_EQ(double(EncodeTime(12, 0, 0, 0)), 0.5);
  EXPECT_DOUBLE_EQ(double(EncodeTime(6, 0, 0, 0)), 0.25);
  TDateTime dt;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, dt));
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29, dt));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, dt));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, dt));
  EXPECT_FALSE(TryEncodeDate(2024, 13, 1, dt));
  EXPECT_FALSE(TryEncodeDate(2024, 4, 31, dt));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, dt));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, dt));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, dt));
  try {
    EncodeDate(2023, 2, 29);
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"Invalid argument to date encode");
  }
  EXPECT_THROW(EncodeTime(25, 0, 0, 0), EConvertError);
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2100));
  EXPECT_EQ(DaysInAMonth(2023, 2), 28);
  EXPECT_EQ(MonthDays(true, 2), 29);
  EXPECT_EQ(MonthDays(false, 13), 0);
}

TEST(DateEncoding, NegativeValuesAndRoundingFollowTheHost) {
  EXPECT_PARTS(TDateTime(-1.25), 1899, 12, 29, 6, 0, 0, 0);
  EXPECT_DOUBLE_EQ(double(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0)), -1.25);
  EXPECT_PARTS(TDateTime(-0.5), 1899, 12, 30, 12, 0, 0, 0);
  EXPECT_PARTS(TDateTime(0.99999999999), 1899, 12, 31, 0, 0, 0, 0);
  EXPECT_DOUBLE_EQ(double(DateOf(-1.25)), -1);
  EXPECT_DOUBLE_EQ(double(TimeOf(-1.25)), 0.25);
  EXPECT_PARTS(TDateTime(1e12), 0, 0, 0, 0, 0, 0, 0);
  EXPECT_PARTS(TDateTime(std::nan("")), 0, 0, 0, 0, 0, 0, 0);
  std::mt19937 rng(31);
  for (int i = 0; i < 2000; ++i) {
    Word y = Word(1 + rng() % 9999), m = Word(1 + rng() % 12), d = Word(1 + rng() % DaysInAMonth(y, m));
    Word h = Word(rng() % 24), n = Word(rng() % 60), s = Word(rng() % 60), ms = Word(rng() % 1000);
    Parts p = Decode(EncodeDateTime(y, m, d, h, n, s, ms));
    ASSERT_EQ((std::vector<int>{p.y, p.m, p.d, p.h, p.n, p.s, p.ms}), (std::vector<int>{y, m, d, h, n, s, ms}));
  }
}

TEST(DateCalendar, WeekdaysAndIsoWeeks) {
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 1)), 2);     // Monday
  EXPECT_EQ(DayOfTheWeek(EncodeDate(2024, 1, 1)), 1);
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);   // Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 24)), 1);   // Sunday, before the epoch
  EXPECT_EQ(DayOfTheWeek(EncodeDate(1899, 12, 24)), 7);
  EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);
  EXPECT_EQ(DayOfWeek(EncodeDateTime(2024, 1, 6, 23, 0, 0, 0)), 7);
  struct Case {
    Word y, m, d, week, isoYear;
  };
  const Case cases[] = {{2021, 1, 3, 53, 2020}, {2021, 1, 4, 1, 2021},  {2020, 12, 31, 53, 2020},
                        {2024, 12, 30, 1, 2025}, {2026, 1, 1, 1, 2026}, {2008, 12, 29, 1, 2009},
                        {2010, 1, 3, 53, 2009},  {2024, 6, 15, 24, 2024}, {2018, 12, 31, 1, 2019}};
  for (const Case& c : cases) {
    Word isoYear = 0;
    EXPECT_EQ(WeekOfTheYear(EncodeDate(c.y, c.m, c.d), isoYear), c.week) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(isoYear, c.isoYear);
  }
  const TDateTime dt = EncodeDateTime(2024, 3, 5, 14, 7, 9, 45);
  EXPECT_EQ(YearOf(dt), 2024);
  EXPECT_EQ(MonthOf(dt), 3);
  EXPECT_EQ(DayOf(dt), 5);
  EXPECT_EQ(HourOf(dt), 14);
  EXPECT_EQ(MinuteOf(dt), 7);
  EXPECT_EQ(SecondOf(dt), 9);
  EXPECT_EQ(MilliSecondOf(dt), 45);
}

TEST(DateCalendar, MonthArithmeticKeepsTimeAndClampsDay) {
  const TDateTime jan31 = EncodeDateTime(2023, 1, 31, 12, 34, 0, 0);
  EXPECT_PARTS(IncMonth(jan31), 2023, 2, 28, 12, 34, 0, 0);
  EXPECT_PARTS(IncMonth(EncodeDate(2024, 1, 31)), 2024, 2, 29, 0, 0, 0, 0);
  EXPECT_PARTS(IncMonth(EncodeDate(2024, 2, 29), 12), 2025, 2, 28, 0, 0, 0, 0);
  EXPECT_PARTS(IncYear(EncodeDate(2024, 2, 29), 4), 2028, 2, 29, 0, 0, 0, 0);
  EXPECT_PARTS(IncMonth(EncodeDate(2024, 3, 31), -1), 2024, 2, 29, 0, 0, 0, 0);
  EXPECT_PARTS(IncMonth(EncodeDate(2024, 1, 15), -13), 2022, 12, 15, 0, 0, 0, 0);
  EXPECT_PARTS(IncMonth(TDateTime(-1.25), 1), 1900, 1, 29, 6, 0, 0, 0);
  EXPECT_PARTS(IncDay(jan31, 1), 2023, 2, 1, 12, 34, 0, 0);
  EXPECT_THROW(IncMonth(EncodeDate(9999, 12, 1), 1), EConvertError);
  EXPECT_THROW(IncMonth(EncodeDate(1, 1, 1), -1), EConvertError);
  EXPECT_PARTS(StartOfTheMonth(jan31), 2023, 1, 1, 0, 0, 0, 0);
  EXPECT_PARTS(EndOfTheMonth(EncodeDate(2024, 2, 10)), 2024, 2, 29, 23, 59, 59, 999);
}

TEST(DateCalendar, ClockReadsLocalTime) {
  const double before = Now();
  const double date = Date(), time = Time();
  const double after = Now();
  EXPECT_TRUE(date == std::trunc(before) || date == std::trunc(after));
  EXPECT_GE(time, 0);
  EXPECT_LT(time, 1);
  EXPECT_GE(date + time, before - 1.0 / 86400);
  EXPECT_LE(date + time, after + 1.0 / 86400);
  EXPECT_GT(YearOf(Now()), 2000);
}

TEST(DateFormatting, SpecifiersProduceHostText) {
  const TFormatSettings& fs = Inv();
  const TDateTime dt = EncodeDateTime(2024, 3, 5, 14, 7, 9, 45);
  struct Case {
    const wchar_t* fmt;
    const wchar_t* want;
  };
  const Case cases[] = {
      {L"yyyy-mm-dd hh:nn:ss.zzz", L"2024-03-05 14:07:09.045"},
      {L"d/m/yy", L"5/3/24"},
      {L"ddd dddd mmm mmmm", L"Tue Tuesday Mar March"},
      {L"hh:mm", L"14:07"},
      {L"h:mm am/pm", L"2:07 pm"},
      {L"hh:mm AM/PM", L"02:07 PM"},
      {L"h a/p", L"2 p"},
      {L"h ampm", L"2 PM"},
      {L"h:n:s z", L"14:7:9 45"},
      {L"'Time' hh", L"Time 14"},
      {L"\"dd\"dd", L"dd05"},
      {L"c", L"03/05/2024 14:07:09"},
      {L"", L"03/05/2024 14:07:09"},
      {L"ddddd", L"03/05/2024"},
      {L"dddddd", L"Tuesday, 05 March 2024"},
      {L"t|tt", L"14:07|14:07:09"},
      {L"mm/dd", L"03/05"},
      {L"YYYY MM DD", L"2024 03 05"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.fmt, dt, fs), c.want) << c.fmt;
  EXPECT_EQ(FormatDateTime(L"c", EncodeDate(2024, 3, 5), fs), L"03/05/2024");
  EXPECT_EQ(FormatDateTime(L"h:nn am/pm", EncodeTime(0, 30, 0, 0), fs), L"12:30 am");
  EXPECT_EQ(FormatDateTime(L"h:nn am/pm", EncodeTime(12, 5, 0, 0), fs), L"12:05 pm");
  EXPECT_EQ(FormatDateTime(L"yyyy-mm-dd hh:nn", TDateTime(-1.25), fs), L"1899-12-29 06:00");
  EXPECT_EQ(FormatDateTime(L"dd mmm", TDateTime(1e12), fs), L"00 ");
  TFormatSettings dots = fs;
  dots.DateSeparator = L'.';
  dots.TimeSeparator = L'h';
  EXPECT_EQ(FormatDateTime(L"dd/mm/yyyy hh:nn", dt, dots), L"05.03.2024 14h07");
  EXPECT_EQ(DateToStr(dt, fs), L"03/05/2024");
  EXPECT_EQ(TimeToStr(dt, fs), L"14:07:09");
  EXPECT_EQ(DateTimeToStr(dt, fs), L"03/05/2024 14:07:09");
  const TFormatSettings fr = TFormatSettings::Create(L"fr-FR");
  EXPECT_EQ(FormatDateTime(L"dddd d mmmm yyyy", dt, fr), L"mardi 5 mars 2024");
  EXPECT_EQ(DateToStr(dt, fr), L"05/03/2024");
}

TEST(DateParsing, FollowsShortDateOrderAndSeparators) {
  const TFormatSettings& fs = Inv();
  EXPECT_PARTS(StrToDate(L" 3/5/2024 ", fs), 2024, 3, 5, 0, 0, 0, 0);
  EXPECT_PARTS(StrToDate(L"3/5", fs), YearOf(Date()), 3, 5, 0, 0, 0, 0);
  const TFormatSettings fr = TFormatSettings::Create(L"fr-FR");
  EXPECT_PARTS(StrToDate(L"05/03/2024", fr), 2024, 3, 5, 0, 0, 0, 0);
  const TFormatSettings de = TFormatSettings::Create(L"de-DE");
  EXPECT_PARTS(StrToDate(L"05.03.2024", de), 2024, 3, 5, 0, 0, 0, 0);
  TFormatSettings ymd = fs;
  ymd.ShortDateFormat = L"yyyy/mm/dd";
  ymd.DateSeparator = L'-';
  EXPECT_PARTS(StrToDate(L"2024-03-05", ymd), 2024, 3, 5, 0, 0, 0, 0);
  TDateTime dt;
  for (const wchar_t* bad : {L"", L"abc", L"13/1/2024", L"2/30/2024", L"1/2/3/4", L"1/2/2024 x", L"1/2/10000", L"1-2-2024", L"5"})
    EXPECT_FALSE(TryStrToDate(bad, dt, fs)) << bad;
  EXPECT_EQ(double(StrToDateDef(L"?", TDateTime(7), fs)), 7);
  try {
    StrToDate(L"31/31/2024", fs);
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"'31/31/2024' is not a valid date");
  }
}

TEST(DateParsing, TwoDigitYearsFallInTheCenturyWindow) {
  TFormatSettings fs = Inv();
  const int base = YearOf(Date()) - fs.TwoDigitYearCenturyWindow;
  for (int yy : {0, 25, 49, 50, 75, 99}) {
    int y = YearOf(StrToDate(L"1/2/" + (yy < 10 ? String(L"0") : String()) + IntToStr(yy), fs));
    EXPECT_EQ(y % 100, yy);
    EXPECT_GE(y, base);
    EXPECT_LT(y, base + 100);
  }
  EXPECT_EQ(YearOf(StrToDate(L"1/2/0099", fs)), 99);
  fs.TwoDigitYearCenturyWindow = 0;
  EXPECT_EQ(YearOf(StrToDate(L"1/2/05", fs)), YearOf(Date()) / 100 * 100 + 5);
}

TEST(DateParsing, TimesAndDateTimes) {
  const TFormatSettings& fs = Inv();
  EXPECT_PARTS(StrToTime(L"14:07", fs), 1899, 12, 30, 14, 7, 0, 0);
  EXPECT_PARTS(StrToTime(L"2:07:09 PM", fs), 1899, 12, 30, 14, 7, 9, 0);
  EXPECT_PARTS(StrToTime(L"12:00 am", fs), 1899, 12, 30, 0, 0, 0, 0);
  EXPECT_PARTS(StrToTime(L"12:00PM", fs), 1899, 12, 30, 12, 0, 0, 0);
  EXPECT_PARTS(StrToTime(L"10 PM", fs), 1899, 12, 30, 22, 0, 0, 0);
  EXPECT_PARTS(StrToTime(L"14:07:09.5", fs), 1899, 12, 30, 14, 7, 9, 500);
  TDateTime dt;
  for (const wchar_t* bad : {L"", L"10", L"25:00", L"13:00 PM", L"0:00 AM", L"12:60", L"1:2:3:4", L"12:00 xx", L"1:2:3."})
    EXPECT_FALSE(TryStrToTime(bad, dt, fs)) << bad;
  EXPECT_PARTS(StrToDateTime(L"3/5/2024 14:07:09", fs), 2024, 3, 5, 14, 7, 9, 0);
  EXPECT_PARTS(StrToDateTime(L"3/5/2024", fs), 2024, 3, 5, 0, 0, 0, 0);
  EXPECT_PARTS(StrToDateTime(L"14:07", fs), 1899, 12, 30, 14, 7, 0, 0);
  EXPECT_PARTS(StrToDateTime(L"12/29/1899 6:00", fs), 1899, 12, 29, 6, 0, 0, 0);
  EXPECT_FALSE(TryStrToDateTime(L"3/5/2024 99:00", dt, fs));
  EXPECT_EQ(double(StrToTimeDef(L"x", TDateTime(0.5), fs)), 0.5);
  EXPECT_EQ(double(StrToDateTimeDef(L"x", TDateTime(2), fs)), 2);
  try {
    StrToDateTime(L"nope", fs);
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"'nope' is not a valid date and time");
  }
  EXPECT_THROW(StrToTime(L"nope", fs), EConvertError);
  for (const TFormatSettings& s : {Inv(), TFormatSettings::Create(L"fr-FR"), TFormatSettings::Create(L"en-US")}) {
    const TDateTime v = EncodeDateTime(2031, 11, 7, 21, 45, 30, 0);
    EXPECT_DOUBLE_EQ(double(StrToDateTime(DateTimeToStr(v, s), s)), double(v)) << DateTimeToStr(v, s).size();
  }
}
