// Byte streams over handles, files and memory, and the safe replacement of files.
#include "host/Streams.h"

#include "host/Win.h"

#include <algorithm>
#include <cstring>

#include "host/Exceptions.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw {

KW_REGISTER_CLASS(TStream, TObject)
KW_REGISTER_CLASS(THandleStream, TStream)
KW_REGISTER_CLASS(TFileStream, THandleStream)
KW_REGISTER_CLASS(TCustomMemoryStream, TStream)
KW_REGISTER_CLASS(TMemoryStream, TCustomMemoryStream)
KW_REGISTER_CLASS(TBytesStream, TCustomMemoryStream)
KW_REGISTER_CLASS(TSafeFileStream, THandleStream)

Int64 TStream::Size() {
  Int64 pos = Seek(0, soCurrent);
  Int64 size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(Int64) { throw EStreamError(L"Stream does not support resizing"); }

void TStream::ReadBuffer(void* buffer, Int64 count) {
  if (count < 0 || Read(buffer, count) != count) throw EReadError(SRes::SReadError);
}

void TStream::WriteBuffer(const void* buffer, Int64 count) {
  if (count < 0 || Write(buffer, count) != count) throw EWriteError(SRes::SWriteError);
}

Int64 TStream::CopyFrom(TStream& source, Int64 count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  Int64 result = count;
  std::vector<Byte> buf(size_t(std::min<Int64>(count, 0xF000)) + 1);
  while (count > 0) {
    Int64 n = std::min<Int64>(count, Int64(buf.size()));
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    count -= n;
  }
  return result;
}

Int64 THandleStream::Read(void* buffer, Int64 count) {
  Int64 total = 0;
  auto* p = static_cast<Byte*>(buffer);
  while (count > 0) {
    DWORD chunk = DWORD(std::min<Int64>(count, 0x40000000));
    DWORD got = 0;
    if (!ReadFile(FHandle, p, chunk, &got, nullptr)) return total;
    if (got == 0) break;
    total += got;
    p += got;
    count -= got;
  }
  return total;
}

Int64 THandleStream::Write(const void* buffer, Int64 count) {
  Int64 total = 0;
  auto* p = static_cast<const Byte*>(buffer);
  while (count > 0) {
    DWORD chunk = DWORD(std::min<Int64>(count, 0x40000000));
    DWORD put = 0;
    if (!WriteFile(FHandle, p, chunk, &put, nullptr) || put == 0) break;
    total += put;
    p += put;
    count -= put;
  }
  return total;
}

Int64 THandleStream::Seek(Int64 offset, TSeekOrigin origin) {
  LARGE_INTEGER dist, pos;
  dist.QuadPart = offset;
  DWORD method = origin == soBeginning ? FILE_BEGIN : origin == soCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(FHandle, dist, &pos, method)) return -1;
  return pos.QuadPart;
}

void THandleStream::SetSize(Int64 size) {
  Int64 pos = Position();
  SetPosition(size);
  Win32Check(SetEndOfFile(FHandle));
  if (pos < size) SetPosition(pos);
}

TFileStream::TFileStream(const String& fileName, Word mode) : THandleStream(INVALID_HANDLE_VALUE), FFileName(fileName) {
  static const DWORD access[3] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
  static const DWORD share[5] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
  bool create = (mode & 0xFF00) == fmCreate;
  DWORD shareMode = share[std::min(4, (mode & 0xF0) >> 4)];
  HANDLE h;
  if (create) {
    h = CreateFileW(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, (mode & 0xF0) ? shareMode : 0,
                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD code = GetLastError();
      throw EFCreateError(Format(SRes::SFCreateErrorEx, {ExpandFileName(fileName), SysErrorMessage(code)}));
    }
  } else {
    int a = mode & 3;
    if (a > 2) a = 2;
    h = CreateFileW(fileName.c_str(), access[a], shareMode, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD code = GetLastError();
      throw EFOpenError(Format(SRes::SFOpenErrorEx, {ExpandFileName(fileName), SysErrorMessage(code)}));
    }
  }
  FHandle = h;
}

TFileStream::~TFileStream() {
  if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
}

Int64 TCustomMemoryStream::Read(void* buffer, Int64 count) {
  if (FPosition < 0 || count <= 0) return 0;
  Int64 n = std::min(count, FSize - FPosition);
  if (n <= 0) return 0;
  std::memcpy(buffer, FMemory + FPosition, size_t(n));
  FPosition += n;
  return n;
}

Int64 TCustomMemoryStream::Seek(Int64 offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning: FPosition = offset; break;
    case soCurrent: FPosition += offset; break;
    case soEnd: FPosition = FSize + offset; break;
  }
  return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) {
  if (FSize) stream.WriteBuffer(FMemory, FSize);
}

void TCustomMemoryStream::SaveToFile(const String& fileName) {
  TSafeFileStream fs(fileName);
  SaveToStream(fs);
  fs.Commit();
}

TMemoryStream::~TMemoryStream() { std::free(FMemory); }

void TMemoryStream::SetCapacity(Int64 capacity) {
  if (capacity == FCapacity) return;
  if (capacity < 0) throw EStreamError(SRes::SMemoryStreamError);
  void* p = capacity ? std::realloc(FMemory, size_t(capacity)) : (std::free(FMemory), nullptr);
  if (capacity && !p) throw EOutOfMemory(SRes::SMemoryStreamError);
  FMemory = static_cast<Byte*>(p);
  FCapacity = capacity;
}

void TMemoryStream::SetSize(Int64 size) {
  if (size < 0) throw EStreamError(SRes::SMemoryStreamError);
  if (size > FCapacity) SetCapacity(std::max(size, FCapacity + FCapacity / 4));
  if (size > FSize) std::memset(FMemory + FSize, 0, size_t(size - FSize));
  FSize = size;
  if (FPosition > size) FPosition = size;
}

Int64 TMemoryStream::Write(const void* buffer, Int64 count) {
  if (FPosition < 0 || count <= 0) return 0;
  Int64 end = FPosition + count;
  if (end > FSize) {
    if (end > FCapacity) SetCapacity(std::max<Int64>(end, std::max<Int64>(FCapacity * 2, 256)));
    if (FPosition > FSize) std::memset(FMemory + FSize, 0, size_t(FPosition - FSize));
    FSize = end;
  }
  std::memcpy(FMemory + FPosition, buffer, size_t(count));
  FPosition = end;
  return count;
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  FSize = 0;
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  Int64 n = stream.Size();
  SetSize(n);
  if (n) stream.ReadBuffer(FMemory, n);
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const String& fileName) {
  TFileStream fs(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(fs);
}

TBytesStream::TBytesStream(TBytes bytes) : FBytes(std::move(bytes)) { SetPointer(FBytes.data(), Int64(FBytes.size())); }

void TBytesStream::SetSize(Int64 size) {
  if (size < 0) throw EStreamError(SRes::SMemoryStreamError);
  if (size > Int64(FBytes.size())) FBytes.resize(size_t(size));
  SetPointer(FBytes.data(), size);
  if (FPosition > size) FPosition = size;
}

Int64 TBytesStream::Write(const void* buffer, Int64 count) {
  if (FPosition < 0 || count <= 0) return 0;
  Int64 end = FPosition + count;
  if (end > Int64(FBytes.size())) FBytes.resize(size_t(std::max<Int64>(end, Int64(FBytes.size()) * 2)));
  if (end > FSize) FSize = end;
  SetPointer(FBytes.data(), FSize);
  std::memcpy(FBytes.data() + FPosition, buffer, size_t(count));
  FPosition = end;
  return count;
}

TSafeFileStream::TSafeFileStream(const String& fileName) : THandleStream(INVALID_HANDLE_VALUE), FFileName(fileName) {
  // The partial file sits in the target's own folder, so the final rename stays on one volume.
  FTempName = fileName + L"." + IntToStr(Int64(GetCurrentProcessId())) + L".~tmp";
  HANDLE h = CreateFileW(FTempName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    throw EFCreateError(Format(SRes::SFCreateErrorEx, {ExpandFileName(fileName), SysErrorMessage(code)}));
  }
  FHandle = h;
}

TSafeFileStream::~TSafeFileStream() {
  if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
  if (!FCommitted) DeleteFileW(FTempName.c_str());
}

void TSafeFileStream::Commit() {
  if (FCommitted) return;
  bool ok = FlushFileBuffers(FHandle) != 0;
  DWORD code = ok ? 0 : GetLastError();
  CloseHandle(FHandle);
  FHandle = INVALID_HANDLE_VALUE;
  if (ok && !MoveFileExW(FTempName.c_str(), FFileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    code = GetLastError();
  }
  if (!ok) {
    DeleteFileW(FTempName.c_str());
    throw EFCreateError(Format(SRes::SFCreateErrorEx, {ExpandFileName(FFileName), SysErrorMessage(code)}));
  }
  FCommitted = true;
}

}  // namespace kw
