// File-name manipulation and the thin file-system wrappers of the run-time library (existence,
// directories, time stamps, sizes, DOS dates, directory listing). No file I/O: streams do that.
#include "host/Win.h"

#include "host/Dateutils.h"
#include "host/Sysutils.h"

#undef DeleteFile

namespace kw {

namespace {

const String kPathDelims = L"\\/";
const String kAllDelims = L"\\/:";

bool IsPathDelim(wchar_t c) { return c == L'\\' || c == L'/'; }

TDateTime FromSystemTime(const SYSTEMTIME& st) {
  TDateTime dt;
  TryEncodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, dt);
  return dt;
}

bool LastWriteLocal(const String& name, bool allowDirectory, TDateTime& out) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data)) return false;
  if (!allowDirectory && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  SYSTEMTIME utc, local;
  // Converting through the time zone rules of that date keeps summer times right.
  if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    return false;
  out = FromSystemTime(local);
  return true;
}

// Splits "C:\a\b\" into its directory names, dropping empty parts.
std::vector<String> DirParts(const String& path) {
  std::vector<String> parts;
  for (const String& p : SplitString(path, kPathDelims))
    if (!p.empty()) parts.push_back(p);
  return parts;
}

}  // namespace

String ExtractFilePath(const String& name) { return Copy(name, 1, LastDelimiter(kAllDelims, name)); }

String ExtractFileDir(const String& name) {
  int i = LastDelimiter(kAllDelims, name);
  if (i > 1 && IsPathDelim(name[size_t(i - 1)]) && !IsDelimiter(kAllDelims, name, i - 1)) --i;
  return Copy(name, 1, i);
}

String ExtractFileName(const String& name) { return name.substr(size_t(LastDelimiter(kAllDelims, name))); }

String ExtractFileExt(const String& name) {
  int i = LastDelimiter(L".\\/:", name);
  return i > 0 && name[size_t(i - 1)] == L'.' ? name.substr(size_t(i - 1)) : String();
}

String ExtractFileDrive(const String& name) {
  if (name.size() >= 2 && name[1] == L':') return name.substr(0, 2);
  if (name.size() >= 2 && IsPathDelim(name[0]) && IsPathDelim(name[1])) {
    // "\\server\share": up to the delimiter after the share name.
    size_t server = name.find_first_of(kPathDelims, 2);
    if (server == String::npos) return name;
    size_t share = name.find_first_of(kPathDelims, server + 1);
    return share == String::npos ? name : name.substr(0, share);
  }
  return String();
}

String ChangeFileExt(const String& name, const String& ext) {
  int i = LastDelimiter(L".\\/:", name);
  if (i == 0 || name[size_t(i - 1)] != L'.') return name + ext;
  return name.substr(0, size_t(i - 1)) + ext;
}

String IncludeTrailingPathDelimiter(const String& s) {
  return !s.empty() && IsPathDelim(s.back()) ? s : s + L'\\';
}

String ExcludeTrailingPathDelimiter(const String& s) {
  return !s.empty() && IsPathDelim(s.back()) ? s.substr(0, s.size() - 1) : s;
}

String ExpandFileName(const String& name) {
  if (name.empty()) return name;
  String buf(MAX_PATH, L'\0');
  while (true) {
    DWORD n = GetFullPathNameW(name.c_str(), DWORD(buf.size()), buf.data(), nullptr);
    if (n == 0) return name;
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    buf.resize(n + 1);
  }
}

String ExtractRelativePath(const String& baseName, const String& destName) {
  String basePath = ExtractFilePath(baseName), destPath = ExtractFilePath(destName);
  if (!AnsiSameText(ExtractFileDrive(basePath), ExtractFileDrive(destPath))) return destName;
  size_t skip = ExtractFileDrive(basePath).size();
  std::vector<String> base = DirParts(basePath.substr(skip)), dest = DirParts(destPath.substr(skip));
  size_t common = 0;
  while (common < base.size() && common < dest.size() && AnsiSameText(base[common], dest[common])) ++common;
  String r;
  for (size_t i = common; i < base.size(); ++i) r += L"..\\";
  for (size_t i = common; i < dest.size(); ++i) r += dest[i] + L'\\';
  return r + ExtractFileName(destName);
}

bool FileExists(const String& name) {
  DWORD a = GetFileAttributesW(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const String& name) {
  DWORD a = GetFileAttributesW(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const String& dir) {
  String d = ExcludeTrailingPathDelimiter(dir);
  if (d.empty()) return false;
  if (DirectoryExists(d)) return true;
  String parent = ExtractFilePath(d);
  if (!parent.empty() && parent.size() < d.size() && !ForceDirectories(parent)) return false;
  return CreateDir(d) || DirectoryExists(d);
}

bool CreateDir(const String& dir) { return CreateDirectoryW(dir.c_str(), nullptr) != 0; }
bool RemoveDir(const String& dir) { return RemoveDirectoryW(dir.c_str()) != 0; }
bool DeleteFile(const String& name) { return ::DeleteFileW(name.c_str()) != 0; }
bool RenameFile(const String& oldName, const String& newName) { return MoveFileW(oldName.c_str(), newName.c_str()) != 0; }

String GetCurrentDir() {
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return String();
  String buf(n, L'\0');
  n = GetCurrentDirectoryW(n, buf.data());
  buf.resize(n);
  return buf;
}

bool SetCurrentDir(const String& dir) { return SetCurrentDirectoryW(dir.c_str()) != 0; }

String GetTempDirectory() {
  wchar_t buf[MAX_PATH + 2];
  DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  if (n == 0 || n > MAX_PATH + 1) return String();
  return IncludeTrailingPathDelimiter(String(buf, n));
}

String GetModuleFileNameStr(void* module) {
  String buf(MAX_PATH, L'\0');
  while (true) {
    DWORD n = GetModuleFileNameW(static_cast<HMODULE>(module), buf.data(), DWORD(buf.size()));
    if (n == 0) return String();
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    if (buf.size() > 32768) return String();
    buf.resize(buf.size() * 2);
  }
}

bool FileAge(const String& name, TDateTime& out) { return LastWriteLocal(name, false, out); }
bool FileGetDateTime(const String& name, TDateTime& out) { return LastWriteLocal(name, true, out); }

bool FileSetDateTime(const String& name, TDateTime localTime) {
  SYSTEMTIME local{}, utc;
  Word y, mo, d, h, n, s, ms;
  DecodeDateTime(localTime, y, mo, d, h, n, s, ms);
  if (y == 0) return false;
  local.wYear = y;
  local.wMonth = mo;
  local.wDay = d;
  local.wHour = h;
  local.wMinute = n;
  local.wSecond = s;
  local.wMilliseconds = ms;
  FILETIME ft;
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &ft)) return false;
  HANDLE h32 = CreateFileW(name.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h32 == INVALID_HANDLE_VALUE) return false;
  bool ok = SetFileTime(h32, nullptr, nullptr, &ft) != 0;
  CloseHandle(h32);
  return ok;
}

Int64 FileSize(const String& name) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return -1;
  return Int64((UInt64(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

Integer DateTimeToFileDate(TDateTime dt) {
  Word y, mo, d, h, n, s, ms;
  DecodeDateTime(dt, y, mo, d, h, n, s, ms);
  if (y < 1980 || y > 2107) return 0;
  UInt64 date = UInt64(d) | (UInt64(mo) << 5) | (UInt64(y - 1980) << 9);
  UInt64 time = UInt64(s / 2) | (UInt64(n) << 5) | (UInt64(h) << 11);
  return Integer(std::uint32_t((date << 16) | time));
}

TDateTime FileDateToDateTime(Integer fileDate) {
  std::uint32_t v = std::uint32_t(fileDate);
  Word date = Word(v >> 16), time = Word(v & 0xFFFF);
  TDateTime d, t;
  if (!TryEncodeDate(Word((date >> 9) + 1980), Word((date >> 5) & 15), Word(date & 31), d) ||
      !TryEncodeTime(Word(time >> 11), Word((time >> 5) & 63), Word((time & 31) * 2), 0, t))
    throw EConvertError(SRes::SInvalidDateTime, {IntToHex(fileDate, 8)});
  return TDateTime(d + t);
}

std::vector<String> FindFiles(const String& dirMask) {
  std::vector<String> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(dirMask.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    String n = fd.cFileName;
    if (n != L"." && n != L"..") names.push_back(n);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return names;
}

}  // namespace kw
