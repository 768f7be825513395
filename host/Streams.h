// Byte streams: TStream and its handle, file, memory and byte-array kinds, and TSafeFileStream,
// the one way persistent files are saved (written beside the target, then swapped in).
// Text streams with encodings (TStringStream, TEncoding) are in Encoding.h.
#pragma once

#include "host/Exceptions.h"
#include "host/Objects.h"

namespace kw {

class TComponent;

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
  KW_CLASS(TStream, TObject)
  // Read and Write move up to count bytes and return how many moved.
  virtual Int64 Read(void* buffer, Int64 count) = 0;
  virtual Int64 Write(const void* buffer, Int64 count) = 0;
  virtual Int64 Seek(Int64 offset, TSeekOrigin origin) = 0;

  Int64 Position() { return Seek(0, soCurrent); }
  void SetPosition(Int64 pos) { Seek(pos, soBeginning); }
  virtual Int64 Size();
  virtual void SetSize(Int64 size);

  // Move exactly count bytes or raise EReadError / EWriteError.
  void ReadBuffer(void* buffer, Int64 count);
  void WriteBuffer(const void* buffer, Int64 count);
  // Copies count bytes from source's position; 0 copies the whole of source from its start.
  Int64 CopyFrom(TStream& source, Int64 count);

  // Component streaming in binary form ("TPF0").
  TComponent* ReadComponent(TComponent* instance);
  void WriteComponent(TComponent* instance);
  void WriteDescendent(TComponent* instance, TComponent* ancestor);
};

// A stream over a Win32 handle that it does not own.
class THandleStream : public TStream {
  KW_CLASS(THandleStream, TStream)
  explicit THandleStream(void* handle) : FHandle(handle) {}
  void* Handle() const { return FHandle; }
  Int64 Read(void* buffer, Int64 count) override;
  Int64 Write(const void* buffer, Int64 count) override;
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  void SetSize(Int64 size) override;

protected:
  void* FHandle;
};

// Open modes and sharing as the host numbers them.
constexpr Word fmCreate = 0xFF00;
constexpr Word fmOpenRead = 0x0000;
constexpr Word fmOpenWrite = 0x0001;
constexpr Word fmOpenReadWrite = 0x0002;
constexpr Word fmShareCompat = 0x0000;
constexpr Word fmShareExclusive = 0x0010;
constexpr Word fmShareDenyWrite = 0x0020;
constexpr Word fmShareDenyRead = 0x0030;
constexpr Word fmShareDenyNone = 0x0040;

class TFileStream : public THandleStream {
  KW_CLASS(TFileStream, THandleStream)
  // Raises EFCreateError or EFOpenError with the system's reason.
  TFileStream(const String& fileName, Word mode);
  ~TFileStream() override;
  const String& FileName() const { return FFileName; }

private:
  String FFileName;
};

class TCustomMemoryStream : public TStream {
  KW_CLASS(TCustomMemoryStream, TStream)
  Int64 Read(void* buffer, Int64 count) override;
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  Int64 Size() override { return FSize; }
  void* Memory() { return FMemory; }
  const void* Memory() const { return FMemory; }
  void SaveToStream(TStream& stream);
  void SaveToFile(const String& fileName);  // through TSafeFileStream

protected:
  void SetPointer(void* ptr, Int64 size) { FMemory = static_cast<Byte*>(ptr); FSize = size; }
  Byte* FMemory = nullptr;
  Int64 FSize = 0;
  Int64 FPosition = 0;
};

class TMemoryStream : public TCustomMemoryStream {
  KW_CLASS(TMemoryStream, TCustomMemoryStream)
  TMemoryStream() = default;
  ~TMemoryStream() override;
  Int64 Write(const void* buffer, Int64 count) override;
  void SetSize(Int64 size) override;
  void Clear();
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const String& fileName);
  Int64 Capacity() const { return FCapacity; }
  void SetCapacity(Int64 capacity);

private:
  Int64 FCapacity = 0;
};

// A memory stream over a byte array it owns.
class TBytesStream : public TCustomMemoryStream {
  KW_CLASS(TBytesStream, TCustomMemoryStream)
  TBytesStream() = default;
  explicit TBytesStream(TBytes bytes);
  Int64 Write(const void* buffer, Int64 count) override;
  void SetSize(Int64 size) override;
  // The bytes written so far (the array may be longer than Size while growing).
  TBytes Bytes() const { return TBytes(FBytes.begin(), FBytes.begin() + FSize); }

protected:
  TBytes FBytes;
};

// Writes a new version of a file beside it; Commit flushes it to disk and replaces the target
// in one step. Destroyed without Commit, it removes the partial file and leaves the old one.
class TSafeFileStream : public THandleStream {
  KW_CLASS(TSafeFileStream, THandleStream)
  explicit TSafeFileStream(const String& fileName);
  ~TSafeFileStream() override;
  void Commit();
  const String& FileName() const { return FFileName; }
  const String& TempName() const { return FTempName; }

private:
  String FFileName;
  String FTempName;
  bool FCommitted = false;
};

}  // namespace kw
