// Text encodings (TEncoding with the ANSI, ASCII, UTF-8 and UTF-16 instances, byte-order marks
// and their detection) and TStringStream, a byte stream read and written as text. Line
// splitting and text files of lines are TStrings' business (Stringlist.h).
#pragma once

#include <memory>

#include "host/Exceptions.h"
#include "host/Streams.h"

namespace kw {

KW_EXCEPTION(EEncodingError, Exception)

class TEncoding {
public:
  TEncoding() = default;
  TEncoding(const TEncoding&) = delete;
  TEncoding& operator=(const TEncoding&) = delete;
  virtual ~TEncoding() = default;

  // The shared instances; never delete them. Default is the system's ANSI code page.
  static TEncoding* ANSI();
  static TEncoding* ASCII();
  static TEncoding* UTF8();
  static TEncoding* Unicode();  // UTF-16 little endian
  static TEncoding* BigEndianUnicode();
  static TEncoding* Default();
  static bool IsStandardEncoding(const TEncoding* encoding);
  // A new instance for a Windows code page, owned by the caller; raises EEncodingError for
  // a code page the system does not know.
  static std::unique_ptr<TEncoding> GetEncoding(unsigned codePage);

  // With encoding null, detects a UTF-8 or UTF-16 byte-order mark and sets encoding to what it
  // found, else to defaultEncoding (Default when null), returning the mark's length. With
  // encoding given, returns the length of its mark when the buffer starts with it, else 0.
  static int GetBufferEncoding(const TBytes& buffer, TEncoding*& encoding, TEncoding* defaultEncoding = nullptr);
  static TBytes Convert(const TEncoding* source, const TEncoding* dest, const TBytes& bytes);

  // Characters the encoding cannot hold become its replacement; malformed input decodes to
  // U+FFFD (UTF-8) or the code page's default character. Neither ever throws for bad data.
  virtual TBytes GetBytes(const wchar_t* chars, size_t count) const = 0;
  virtual String GetString(const Byte* bytes, size_t count) const = 0;
  TBytes GetBytes(const String& s) const { return GetBytes(s.data(), s.size()); }
  String GetString(const TBytes& bytes) const { return GetString(bytes.data(), bytes.size()); }
  // A range of bytes; index and count are clipped to the array.
  String GetString(const TBytes& bytes, size_t index, size_t count) const;
  size_t GetByteCount(const String& s) const { return GetBytes(s).size(); }
  size_t GetCharCount(const TBytes& bytes) const { return GetString(bytes).size(); }

  virtual TBytes GetPreamble() const = 0;
  virtual bool IsSingleByte() const = 0;
  virtual unsigned CodePage() const = 0;
  virtual String EncodingName() const = 0;
  virtual std::unique_ptr<TEncoding> Clone() const = 0;
};

// A Windows code page through the system's converters.
class TMBCSEncoding : public TEncoding {
public:
  explicit TMBCSEncoding(unsigned codePage);
  TBytes GetBytes(const wchar_t* chars, size_t count) const override;
  String GetString(const Byte* bytes, size_t count) const override;
  using TEncoding::GetBytes;
  using TEncoding::GetString;
  TBytes GetPreamble() const override { return {}; }
  bool IsSingleByte() const override { return FMaxCharSize == 1; }
  unsigned CodePage() const override { return FCodePage; }
  String EncodingName() const override;
  std::unique_ptr<TEncoding> Clone() const override;

private:
  unsigned FCodePage;
  unsigned FMaxCharSize = 1;
};

class TUTF8Encoding : public TEncoding {
public:
  TBytes GetBytes(const wchar_t* chars, size_t count) const override;
  String GetString(const Byte* bytes, size_t count) const override;
  using TEncoding::GetBytes;
  using TEncoding::GetString;
  TBytes GetPreamble() const override { return {0xEF, 0xBB, 0xBF}; }
  bool IsSingleByte() const override { return false; }
  unsigned CodePage() const override { return 65001; }
  String EncodingName() const override { return L"Unicode (UTF-8)"; }
  std::unique_ptr<TEncoding> Clone() const override { return std::make_unique<TUTF8Encoding>(); }
};

class TUnicodeEncoding : public TEncoding {
public:
  // An odd trailing byte is dropped; unpaired surrogates pass through unchanged.
  TBytes GetBytes(const wchar_t* chars, size_t count) const override;
  String GetString(const Byte* bytes, size_t count) const override;
  using TEncoding::GetBytes;
  using TEncoding::GetString;
  TBytes GetPreamble() const override { return {0xFF, 0xFE}; }
  bool IsSingleByte() const override { return false; }
  unsigned CodePage() const override { return 1200; }
  String EncodingName() const override { return L"Unicode"; }
  std::unique_ptr<TEncoding> Clone() const override { return std::make_unique<TUnicodeEncoding>(); }
};

class TBigEndianUnicodeEncoding : public TUnicodeEncoding {
public:
  TBytes GetBytes(const wchar_t* chars, size_t count) const override;
  String GetString(const Byte* bytes, size_t count) const override;
  using TEncoding::GetBytes;
  using TEncoding::GetString;
  TBytes GetPreamble() const override { return {0xFE, 0xFF}; }
  unsigned CodePage() const override { return 1201; }
  String EncodingName() const override { return L"Unicode (Big-Endian)"; }
  std::unique_ptr<TEncoding> Clone() const override { return std::make_unique<TBigEndianUnicodeEncoding>(); }
};

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF, no sequence cut short).
bool IsValidUTF8(const Byte* bytes, size_t count);
// True when every byte is below 0x80.
bool IsASCIIOnly(const Byte* bytes, size_t count);

// A byte stream with a text encoding. Positions and counts are in bytes.
class TStringStream : public TBytesStream {
  KW_CLASS(TStringStream, TBytesStream)
  TStringStream();  // empty, in the Default encoding
  explicit TStringStream(const String& s);  // in the Default encoding
  // Owns the encoding when told to and it is not one of the shared instances.
  TStringStream(const String& s, TEncoding* encoding, bool ownsEncoding = true);
  // Raw bytes, read in the Default encoding.
  explicit TStringStream(const TBytes& bytes);
  ~TStringStream() override;

  // All bytes of the stream as text.
  String DataString() const;
  // Up to count bytes from the position as text; the position moves past them.
  String ReadString(Int64 count);
  // Writes the text's bytes at the position.
  void WriteString(const String& s);
  TEncoding* Encoding() const { return FEncoding; }

private:
  TEncoding* FEncoding;
  bool FOwnsEncoding = false;
};

}  // namespace kw
