// TRegistry over the advapi32 registry calls: key navigation, recursive deletion, value
// enumeration and the typed reads and writes with the host's error texts.
#include "host/Registry.h"

#include <algorithm>
#include <cwchar>

#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_REGISTER_CLASS(TRegistry, TObject)

namespace {

HKEY H(void* key) { return static_cast<HKEY>(key); }

TRegDataType DataTypeToRegData(DWORD type) {
  switch (type) {
    case REG_SZ: return rdString;
    case REG_EXPAND_SZ: return rdExpandString;
    case REG_DWORD: return rdInteger;
    case REG_BINARY: return rdBinary;
    default: return rdUnknown;
  }
}

DWORD RegDataToDataType(TRegDataType type) {
  switch (type) {
    case rdString: return REG_SZ;
    case rdExpandString: return REG_EXPAND_SZ;
    case rdInteger: return REG_DWORD;
    case rdBinary: return REG_BINARY;
    default: return REG_NONE;
  }
}

// A leading '\' makes a path absolute (from the root key); the API wants it stripped.
bool IsRelative(const String& key) { return key.empty() || key[0] != L'\\'; }
String StripRoot(const String& key) { return IsRelative(key) ? key : key.substr(1); }

}  // namespace

TRegistry::TRegistry() : TRegistry(KEY_ALL_ACCESS) {}

TRegistry::TRegistry(unsigned access) : FRootKey(HKEY_CURRENT_USER), FAccess(access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(void* key) {
  if (key == FRootKey) return;
  CloseKey();
  FRootKey = key;
}

void* TRegistry::BaseKey(bool relative) const {
  return FCurrentKey && relative ? FCurrentKey : FRootKey;
}

void* TRegistry::GetKey(const String& key) const {
  HKEY result = nullptr;
  if (RegOpenKeyExW(H(BaseKey(IsRelative(key))), StripRoot(key).c_str(), 0, FAccess, &result) != ERROR_SUCCESS)
    return nullptr;
  return result;
}

void TRegistry::ChangeKey(void* key, const String& path) {
  CloseKey();
  FCurrentKey = key;
  FCurrentPath = path;
}

void TRegistry::CloseKey() {
  if (!FCurrentKey) return;
  if (!FLazyWrite) RegFlushKey(H(FCurrentKey));
  RegCloseKey(H(FCurrentKey));
  FCurrentKey = nullptr;
  FCurrentPath.clear();
}

bool TRegistry::OpenKey(const String& key, bool canCreate) {
  bool relative = IsRelative(key);
  String path = StripRoot(key);
  HKEY result = nullptr;
  LONG rc;
  if (!canCreate || path.empty()) {
    rc = RegOpenKeyExW(H(BaseKey(relative)), path.c_str(), 0, FAccess, &result);
  } else {
    DWORD disposition = 0;
    rc = RegCreateKeyExW(H(BaseKey(relative)), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess,
                         nullptr, &result, &disposition);
  }
  if (rc != ERROR_SUCCESS) return false;
  if (FCurrentKey && relative && !FCurrentPath.empty()) path = path.empty() ? FCurrentPath : FCurrentPath + L"\\" + path;
  ChangeKey(result, path);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const String& key) {
  unsigned old = FAccess;
  unsigned wow = old & (KEY_WOW64_32KEY | KEY_WOW64_64KEY);
  bool ok = false;
  for (unsigned access : {unsigned(KEY_READ), unsigned(STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS),
                          unsigned(KEY_QUERY_VALUE)}) {
    FAccess = access | wow;
    if ((ok = OpenKey(key, false))) break;
  }
  FAccess = old;
  return ok;
}

bool TRegistry::CreateKey(const String& key) {
  HKEY result = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(H(BaseKey(IsRelative(key))), StripRoot(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      FAccess, nullptr, &result, &disposition) != ERROR_SUCCESS)
    throw ERegistryException(SRes::SRegCreateFailed, {key});
  RegCloseKey(result);
  return true;
}

bool TRegistry::DeleteKey(const String& key) {
  bool relative = IsRelative(key);
  void* target = GetKey(key);
  if (target) {
    // Subkeys are deleted through this object with the target as the current key, then
    // the current key is put back whatever happens.
    void* old = FCurrentKey;
    FCurrentKey = target;
    try {
      for (const String& name : GetKeyNames()) DeleteKey(name);
    } catch (...) {
      FCurrentKey = old;
      RegCloseKey(H(target));
      throw;
    }
    FCurrentKey = old;
    RegCloseKey(H(target));
  }
  return RegDeleteKeyW(H(BaseKey(relative)), StripRoot(key).c_str()) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const String& key) {
  unsigned old = FAccess;
  FAccess = STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | (old & (KEY_WOW64_32KEY | KEY_WOW64_64KEY));
  void* k = GetKey(key);
  FAccess = old;
  if (k) RegCloseKey(H(k));
  return k != nullptr;
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& info) const {
  info = TRegKeyInfo{};
  if (!FCurrentKey) return false;
  DWORD subKeys = 0, maxSubKeyLen = 0, values = 0, maxValueLen = 0, maxDataLen = 0;
  FILETIME ft{};
  if (RegQueryInfoKeyW(H(FCurrentKey), nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLen, nullptr, &values,
                       &maxValueLen, &maxDataLen, nullptr, &ft) != ERROR_SUCCESS)
    return false;
  info.NumSubKeys = int(subKeys);
  info.MaxSubKeyLen = int(maxSubKeyLen);
  info.NumValues = int(values);
  info.MaxValueLen = int(maxValueLen);
  info.MaxDataLen = int(maxDataLen);
  info.FileTime = Int64((UInt64(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
  return true;
}

bool TRegistry::HasSubKeys() const {
  TRegKeyInfo info;
  return GetKeyInfo(info) && info.NumSubKeys > 0;
}

std::vector<String> TRegistry::GetKeyNames() const {
  std::vector<String> names;
  TRegKeyInfo info;
  if (!GetKeyInfo(info)) return names;
  // Names are limited to 255 characters; the reported maximum may lag behind a change.
  String buf(size_t(std::max(info.MaxSubKeyLen, 255)) + 1, L'\0');
  for (DWORD i = 0;; ++i) {
    DWORD len = DWORD(buf.size());
    LONG rc = RegEnumKeyExW(H(FCurrentKey), i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    names.emplace_back(buf.data(), len);
  }
  return names;
}

std::vector<String> TRegistry::GetValueNames() const {
  std::vector<String> names;
  TRegKeyInfo info;
  if (!GetKeyInfo(info)) return names;
  String buf(size_t(std::max(info.MaxValueLen, 16383)) + 1, L'\0');
  for (DWORD i = 0;; ++i) {
    DWORD len = DWORD(buf.size());
    LONG rc = RegEnumValueW(H(FCurrentKey), i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    names.emplace_back(buf.data(), len);
  }
  return names;
}

bool TRegistry::GetDataInfo(const String& name, TRegDataInfo& info) const {
  info = TRegDataInfo{};
  if (!FCurrentKey) return false;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(H(FCurrentKey), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  info.RegData = DataTypeToRegData(type);
  info.DataSize = int(size);
  return true;
}

bool TRegistry::ValueExists(const String& name) const {
  TRegDataInfo info;
  return GetDataInfo(name, info);
}

bool TRegistry::DeleteValue(const String& name) {
  return FCurrentKey && RegDeleteValueW(H(FCurrentKey), name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::RenameValue(const String& oldName, const String& newName) {
  TRegDataInfo info;
  if (!GetDataInfo(oldName, info) || ValueExists(newName)) return false;
  DWORD type = 0, size = DWORD(info.DataSize);
  TBytes data(size);
  if (RegQueryValueExW(H(FCurrentKey), oldName.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
    return false;
  if (RegSetValueExW(H(FCurrentKey), newName.c_str(), 0, type, data.data(), size) != ERROR_SUCCESS) return false;
  return DeleteValue(oldName);
}

int TRegistry::GetDataSize(const String& name) const {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.DataSize : -1;
}

TRegDataType TRegistry::GetDataType(const String& name) const {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.RegData : rdUnknown;
}

void TRegistry::PutData(const String& name, const void* buffer, int size, TRegDataType type) {
  if (!FCurrentKey || RegSetValueExW(H(FCurrentKey), name.c_str(), 0, RegDataToDataType(type),
                                     static_cast<const BYTE*>(buffer), DWORD(size)) != ERROR_SUCCESS)
    throw ERegistryException(SRes::SRegSetDataFailed, {name});
}

int TRegistry::GetData(const String& name, void* buffer, int size, TRegDataType& type) const {
  DWORD regType = 0, len = DWORD(size);
  if (!FCurrentKey || RegQueryValueExW(H(FCurrentKey), name.c_str(), nullptr, &regType,
                                       static_cast<BYTE*>(buffer), &len) != ERROR_SUCCESS)
    throw ERegistryException(SRes::SRegGetDataFailed, {name});
  type = DataTypeToRegData(regType);
  return int(len);
}

void TRegistry::ReadError(const String& name) const {
  throw ERegistryException(SRes::SInvalidRegType, {name});
}

String TRegistry::ReadString(const String& name) const {
  int len = GetDataSize(name);
  if (len <= 1) return String();
  // One spare character: stored strings need not end in a null.
  String result(size_t(len) / sizeof(wchar_t) + 1, L'\0');
  TRegDataType type;
  GetData(name, result.data(), len, type);
  if (type != rdString && type != rdExpandString) ReadError(name);
  result.resize(wcsnlen(result.c_str(), result.size()));
  return result;
}

void TRegistry::WriteString(const String& name, const String& value) {
  PutData(name, value.c_str(), int((value.size() + 1) * sizeof(wchar_t)), rdString);
}

void TRegistry::WriteExpandString(const String& name, const String& value) {
  PutData(name, value.c_str(), int((value.size() + 1) * sizeof(wchar_t)), rdExpandString);
}

Integer TRegistry::ReadInteger(const String& name) const {
  Integer result = 0;
  TRegDataType type;
  GetData(name, &result, sizeof(result), type);
  if (type != rdInteger) ReadError(name);
  return result;
}

void TRegistry::WriteInteger(const String& name, Integer value) {
  PutData(name, &value, sizeof(value), rdInteger);
}

bool TRegistry::ReadBool(const String& name) const { return ReadInteger(name) != 0; }

void TRegistry::WriteBool(const String& name, bool value) { WriteInteger(name, value ? 1 : 0); }

double TRegistry::ReadFloat(const String& name) const {
  double result = 0;
  TRegDataType type;
  int len = GetData(name, &result, sizeof(result), type);
  if (type != rdBinary || len != int(sizeof(result))) ReadError(name);
  return result;
}

void TRegistry::WriteFloat(const String& name, double value) {
  PutData(name, &value, sizeof(value), rdBinary);
}

Currency TRegistry::ReadCurrency(const String& name) const {
  Int64 raw = 0;
  TRegDataType type;
  int len = GetData(name, &raw, sizeof(raw), type);
  if (type != rdBinary || len != int(sizeof(raw))) ReadError(name);
  return Currency::FromRaw(raw);
}

void TRegistry::WriteCurrency(const String& name, Currency value) {
  Int64 raw = value.Raw();
  PutData(name, &raw, sizeof(raw), rdBinary);
}

TDateTime TRegistry::ReadDateTime(const String& name) const { return TDateTime(ReadFloat(name)); }

void TRegistry::WriteDateTime(const String& name, TDateTime value) { WriteFloat(name, value.Val); }

int TRegistry::ReadBinaryData(const String& name, void* buffer, int bufSize) const {
  TRegDataInfo info;
  if (!GetDataInfo(name, info)) return 0;
  if ((info.RegData != rdBinary && info.RegData != rdUnknown) || info.DataSize > bufSize) ReadError(name);
  TRegDataType type;
  return GetData(name, buffer, info.DataSize, type);
}

TBytes TRegistry::ReadBinaryData(const String& name) const {
  TRegDataInfo info;
  if (!GetDataInfo(name, info)) return TBytes();
  if (info.RegData != rdBinary && info.RegData != rdUnknown) ReadError(name);
  TBytes data(size_t(info.DataSize));
  TRegDataType type;
  data.resize(size_t(GetData(name, data.data(), info.DataSize, type)));
  return data;
}

void TRegistry::WriteBinaryData(const String& name, const void* buffer, int bufSize) {
  PutData(name, buffer, bufSize, rdBinary);
}

void TRegistry::WriteBinaryData(const String& name, const TBytes& data) {
  PutData(name, data.data(), int(data.size()), rdBinary);
}

}  // namespace kw
