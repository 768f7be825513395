// TRegistry: keys and typed values of the Win32 registry through one current key, with the
// host's relative and absolute key paths. Remote registries, hive loading and the .ini-style
// wrapper are left out.
#pragma once

#include <vector>

#include "host/Exceptions.h"
#include "host/Objects.h"

namespace kw {

KW_EXCEPTION(ERegistryException, Exception)

namespace SRes {
inline constexpr const wchar_t* SRegCreateFailed = L"Failed to create key %s";
inline constexpr const wchar_t* SRegSetDataFailed = L"Failed to set data for '%s'";
inline constexpr const wchar_t* SRegGetDataFailed = L"Failed to get data for '%s'";
inline constexpr const wchar_t* SInvalidRegType = L"Invalid data type for '%s'";
}  // namespace SRes

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  int DataSize = 0;
};

struct TRegKeyInfo {
  int NumSubKeys = 0;
  int MaxSubKeyLen = 0;
  int NumValues = 0;
  int MaxValueLen = 0;
  int MaxDataLen = 0;
  Int64 FileTime = 0;  // last write, FILETIME ticks
};

class TRegistry : public TObject {
  KW_CLASS(TRegistry, TObject)
  // Access rights are Win32 REGSAM values; the default is KEY_ALL_ACCESS.
  TRegistry();
  explicit TRegistry(unsigned access);
  ~TRegistry() override;

  // An HKEY; changing it closes the current key. Default HKEY_CURRENT_USER.
  void* RootKey() const { return FRootKey; }
  void SetRootKey(void* key);
  unsigned Access() const { return FAccess; }
  void SetAccess(unsigned access) { FAccess = access; }
  void* CurrentKey() const { return FCurrentKey; }
  // The path of the current key below the root, without a leading '\'.
  const String& CurrentPath() const { return FCurrentPath; }
  // When false, CloseKey flushes the key to disk before closing it.
  bool LazyWrite() const { return FLazyWrite; }
  void SetLazyWrite(bool value) { FLazyWrite = value; }

  // Key paths starting with '\' are taken from the root, others from the current key (or
  // the root when none is open). False when the key cannot be opened or created.
  bool OpenKey(const String& key, bool canCreate);
  // Tries KEY_READ, then the bare query and enumerate rights; Access is left unchanged.
  bool OpenKeyReadOnly(const String& key);
  // Raises ERegistryException "Failed to create key %s" on failure; the current key stays.
  bool CreateKey(const String& key);
  void CloseKey();
  // Deletes the key with all its subkeys.
  bool DeleteKey(const String& key);
  bool KeyExists(const String& key);
  bool GetKeyInfo(TRegKeyInfo& info) const;
  bool HasSubKeys() const;
  std::vector<String> GetKeyNames() const;
  std::vector<String> GetValueNames() const;

  // Values of the current key; an empty name is the key's default value.
  bool ValueExists(const String& name) const;
  bool DeleteValue(const String& name);
  bool RenameValue(const String& oldName, const String& newName);
  bool GetDataInfo(const String& name, TRegDataInfo& info) const;
  int GetDataSize(const String& name) const;  // -1 when the value is missing
  TRegDataType GetDataType(const String& name) const;  // rdUnknown when missing

  // A missing value reads as "" (host behaviour); a value of another type raises
  // "Invalid data type for '%s'".
  String ReadString(const String& name) const;
  void WriteString(const String& name, const String& value);
  void WriteExpandString(const String& name, const String& value);
  // Missing values raise "Failed to get data for '%s'".
  Integer ReadInteger(const String& name) const;
  void WriteInteger(const String& name, Integer value);
  bool ReadBool(const String& name) const;
  void WriteBool(const String& name, bool value);
  // Floats, currency and dates are 8 raw bytes of binary data.
  double ReadFloat(const String& name) const;
  void WriteFloat(const String& name, double value);
  Currency ReadCurrency(const String& name) const;
  void WriteCurrency(const String& name, Currency value);
  TDateTime ReadDateTime(const String& name) const;
  void WriteDateTime(const String& name, TDateTime value);
  // Returns the size read; 0 for a missing value; raises for a value of another type than
  // binary or one larger than bufSize.
  int ReadBinaryData(const String& name, void* buffer, int bufSize) const;
  TBytes ReadBinaryData(const String& name) const;
  void WriteBinaryData(const String& name, const void* buffer, int bufSize);
  void WriteBinaryData(const String& name, const TBytes& data);

private:
  void* BaseKey(bool relative) const;
  void* GetKey(const String& key) const;  // opened with Access; nullptr when not
  void ChangeKey(void* key, const String& path);
  void PutData(const String& name, const void* buffer, int size, TRegDataType type);
  int GetData(const String& name, void* buffer, int size, TRegDataType& type) const;
  [[noreturn]] void ReadError(const String& name) const;

  void* FRootKey;
  void* FCurrentKey = nullptr;
  String FCurrentPath;
  unsigned FAccess;
  bool FLazyWrite = true;
};

}  // namespace kw
