// The run-time library's string, number, locale and file-name routines (Format, IntToStr,
// StrToFloat, TFormatSettings, Trim, UTF-8, file system helpers). Date routines live in
// host/Dateutils.h; Windows types stay out of this header.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "host/Exceptions.h"
#include "host/System.h"

namespace kw {

// Locale-dependent conventions for numbers, currency and dates. Date formats use the
// FormatDateTime specifiers with '/' and ':' standing for DateSeparator and TimeSeparator.
struct TFormatSettings {
  String CurrencyString;
  Byte CurrencyFormat = 0;   // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  Byte NegCurrFormat = 0;    // 0..15, the host's negative currency patterns
  Byte CurrencyDecimals = 2;
  wchar_t ThousandSeparator = L',';
  wchar_t DecimalSeparator = L'.';
  wchar_t DateSeparator = L'/';
  wchar_t TimeSeparator = L':';
  wchar_t ListSeparator = L',';
  String ShortDateFormat;
  String LongDateFormat;
  String TimeAMString;
  String TimePMString;
  String ShortTimeFormat;
  String LongTimeFormat;
  String ShortMonthNames[12];
  String LongMonthNames[12];
  String ShortDayNames[7];  // 0 = Sunday
  String LongDayNames[7];
  Word TwoDigitYearCenturyWindow = 50;

  static TFormatSettings Create();  // the user's locale
  static TFormatSettings Create(const String& localeName);  // e.g. L"fr-FR"; unknown names give the user's locale
  static TFormatSettings Invariant();
};

// The process-wide settings, read from the user's locale before any other static
// initialisation of a unit that includes this header runs.
extern TFormatSettings& FormatSettings;
namespace detail {
struct FormatSettingsInit {
  FormatSettingsInit();
};
static FormatSettingsInit formatSettingsInit;
}  // namespace detail

String Format(const String& fmt, TVarRecs args);
String Format(const String& fmt, TVarRecs args, const TFormatSettings& settings);
String Format(const String& fmt, const TVarRec* args, size_t count, const TFormatSettings& settings);

String IntToStr(Int64 v);
String UIntToStr(UInt64 v);
// Hex of the two's complement: 8 digits at least for negative 32-bit types, 16 for 64-bit.
String IntToHexBits(UInt64 bits, int digits);
template <class T>
String IntToHex(T v, int digits) {
  static_assert(std::is_integral_v<T>, "IntToHex takes integers");
  if constexpr (sizeof(T) <= 4)
    return IntToHexBits(UInt64(std::uint32_t(v)), digits);
  else
    return IntToHexBits(UInt64(v), digits);
}
Integer StrToInt(const String& s);
Integer StrToIntDef(const String& s, Integer def);
bool TryStrToInt(const String& s, Integer& out);
Int64 StrToInt64(const String& s);
Int64 StrToInt64Def(const String& s, Int64 def);
bool TryStrToInt64(const String& s, Int64& out);

String BoolToStr(bool b, bool useBoolStrs = false);
bool StrToBool(const String& s);
bool StrToBoolDef(const String& s, bool def);
bool TryStrToBool(const String& s, bool& out);

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

String FloatToStr(double v);
String FloatToStr(double v, const TFormatSettings& settings);
String FloatToStrF(double v, TFloatFormat format, int precision, int digits);
String FloatToStrF(double v, TFloatFormat format, int precision, int digits, const TFormatSettings& settings);
String FormatFloat(const String& fmt, double v);
String FormatFloat(const String& fmt, double v, const TFormatSettings& settings);
double StrToFloat(const String& s);
double StrToFloat(const String& s, const TFormatSettings& settings);
double StrToFloatDef(const String& s, double def);
double StrToFloatDef(const String& s, double def, const TFormatSettings& settings);
bool TryStrToFloat(const String& s, double& out);
bool TryStrToFloat(const String& s, double& out, const TFormatSettings& settings);
// The shortest text with '.' that reads back to the same double ("INF", "-INF", "NAN" too).
String FloatToStrRoundTrip(double v);

String CurrToStr(Currency c);
String CurrToStr(Currency c, const TFormatSettings& settings);
String CurrToStrF(Currency c, TFloatFormat format, int digits);
String CurrToStrF(Currency c, TFloatFormat format, int digits, const TFormatSettings& settings);
String FormatCurr(const String& fmt, Currency c);
String FormatCurr(const String& fmt, Currency c, const TFormatSettings& settings);
Currency StrToCurr(const String& s);
Currency StrToCurr(const String& s, const TFormatSettings& settings);
Currency StrToCurrDef(const String& s, Currency def);
Currency StrToCurrDef(const String& s, Currency def, const TFormatSettings& settings);
bool TryStrToCurr(const String& s, Currency& out);
bool TryStrToCurr(const String& s, Currency& out, const TFormatSettings& settings);

// ASCII-only case mapping and comparison, as the host's plain routines.
String UpperCase(const String& s);
String LowerCase(const String& s);
wchar_t UpCase(wchar_t c);
int CompareStr(const String& a, const String& b);
int CompareText(const String& a, const String& b);
bool SameStr(const String& a, const String& b);
bool SameText(const String& a, const String& b);
// Linguistic case mapping and comparison in the user's locale.
String AnsiUpperCase(const String& s);
String AnsiLowerCase(const String& s);
int AnsiCompareStr(const String& a, const String& b);
int AnsiCompareText(const String& a, const String& b);
bool AnsiSameStr(const String& a, const String& b);
bool AnsiSameText(const String& a, const String& b);

// Trimming removes every character <= ' '.
String Trim(const String& s);
String TrimLeft(const String& s);
String TrimRight(const String& s);

enum TReplaceFlag { rfReplaceAll, rfIgnoreCase };
using TReplaceFlags = TSet<TReplaceFlag>;
String StringReplace(const String& s, const String& oldPattern, const String& newPattern, TReplaceFlags flags);

String QuotedStr(const String& s);
String AnsiQuotedStr(const String& s, wchar_t quote);
// Strips the quotes and undoubles inner ones; a string not starting with quote comes back as is.
String AnsiDequotedStr(const String& s, wchar_t quote);
// Reads a quoted string at p and moves p past it; empty (p unmoved) if p is not at quote.
String AnsiExtractQuotedStr(const wchar_t*& p, wchar_t quote);

// 1-based positions; 0 means not found.
int Pos(const String& sub, const String& s);
int PosEx(const String& sub, const String& s, int offset = 1);
String Copy(const String& s, int index, int count);
void Delete(String& s, int index, int count);
void Insert(const String& sub, String& s, int index);
String StringOfChar(wchar_t c, int count);
String DupeString(const String& s, int count);
String LeftStr(const String& s, int count);
String RightStr(const String& s, int count);
String MidStr(const String& s, int start, int count);
String ReverseString(const String& s);
bool StartsStr(const String& sub, const String& s);
bool EndsStr(const String& sub, const String& s);
bool StartsText(const String& sub, const String& s);
bool EndsText(const String& sub, const String& s);
bool ContainsStr(const String& s, const String& sub);
bool ContainsText(const String& s, const String& sub);
bool IsValidIdent(const String& s, bool allowDots = false);
int LastDelimiter(const String& delimiters, const String& s);
bool IsDelimiter(const String& delimiters, const String& s, int index);
String AdjustLineBreaks(const String& s);  // CR, LF and LF CR become CR LF
std::vector<String> SplitString(const String& s, const String& delimiters);

// UTF-8 conversions never throw: invalid input becomes U+FFFD.
std::string UTF8Encode(const String& s);
String UTF8ToString(const std::string& s);
std::string StringToAnsi(const String& s, unsigned int codePage = 0);  // 0 = the system's ANSI code page
String AnsiToString(const std::string& s, unsigned int codePage = 0);

// File names: '\' and '/' both delimit, ':' ends a drive.
String ExtractFilePath(const String& name);
String ExtractFileDir(const String& name);
String ExtractFileName(const String& name);
String ExtractFileExt(const String& name);
String ExtractFileDrive(const String& name);
String ChangeFileExt(const String& name, const String& ext);
String IncludeTrailingPathDelimiter(const String& s);
String ExcludeTrailingPathDelimiter(const String& s);
String ExpandFileName(const String& name);
String ExtractRelativePath(const String& baseName, const String& destName);

bool FileExists(const String& name);
bool DirectoryExists(const String& name);
bool ForceDirectories(const String& dir);
bool CreateDir(const String& dir);
bool RemoveDir(const String& dir);
#pragma push_macro("DeleteFile")
#undef DeleteFile
bool DeleteFile(const String& name);
#pragma pop_macro("DeleteFile")
// windows.h maps DeleteFile to DeleteFileW; this keeps kw::DeleteFile callable either way.
inline bool DeleteFileW(const String& name) {
#pragma push_macro("DeleteFile")
#undef DeleteFile
  return DeleteFile(name);
#pragma pop_macro("DeleteFile")
}
bool RenameFile(const String& oldName, const String& newName);
String GetCurrentDir();
bool SetCurrentDir(const String& dir);
String GetTempDirectory();  // with a trailing '\'
String GetModuleFileNameStr(void* module = nullptr);  // nullptr: the executable
bool FileAge(const String& name, TDateTime& out);  // local time of the last write; false for directories
bool FileGetDateTime(const String& name, TDateTime& out);  // files and directories
bool FileSetDateTime(const String& name, TDateTime localTime);
Int64 FileSize(const String& name);  // -1 when missing
Integer DateTimeToFileDate(TDateTime dt);  // DOS date in the high word, time in the low; 0 out of range
TDateTime FileDateToDateTime(Integer fileDate);
std::vector<String> FindFiles(const String& dirMask);  // names only, without "." and ".."

}  // namespace kw
