// Version information of a module file: the fixed version numbers, the translation table and
// the string fields by name. Read-only; writing or updating a module's resources is left out.
#pragma once

#include <vector>

#include "host/System.h"

namespace kw {

// The nine string fields the labels and status panels show, in the order they list them.
enum TVersionField {
  vfCompanyName,
  vfFileDescription,
  vfFileVersion,
  vfInternalName,
  vfLegalCopyright,
  vfOriginalFilename,
  vfProductName,
  vfProductVersion,
  vfComments
};
inline constexpr int VersionFieldCount = 9;
// The field's name in a version resource ("CompanyName", ...).
const wchar_t* VersionFieldName(TVersionField field);

// Four parts of a version number, most significant first.
struct TVersionNumber {
  Word Major = 0, Minor = 0, Release = 0, Build = 0;
  bool operator==(const TVersionNumber&) const = default;
  String ToString() const;  // "1.2.3.4"
};

class TFileVersionInfo {
public:
  // Reads the version resource of fileName, or of the running program when it is empty.
  // A file without one (or no file at all) gives an object with empty answers.
  explicit TFileVersionInfo(const String& fileName = String());

  const String& FileName() const { return FFileName; }
  bool HasVersionInfo() const { return !FData.empty(); }
  bool HasFixedInfo() const { return FHasFixed; }
  TVersionNumber FileVersion() const { return FFileVersion; }
  TVersionNumber ProductVersion() const { return FProductVersion; }
  // VS_FF_* bits that hold (debug, pre-release, patched, ...), masked by the flags mask.
  Cardinal FileFlags() const { return FFileFlags; }

  // The language and code page the strings are read through: the first entry of the
  // translation table, else US English in the Windows Latin-1 or the Unicode code page,
  // whichever block the resource holds.
  Word Language() const { return FLanguage; }
  Word CodePage() const { return FCodePage; }
  // The same as the block's name, "040904E4".
  String TranslationKey() const;

  // The string of that name in the chosen translation; empty when there is none.
  String Value(const String& name) const;
  String Field(TVersionField field) const { return Value(VersionFieldName(field)); }
  String CompanyName() const { return Field(vfCompanyName); }
  String FileDescription() const { return Field(vfFileDescription); }
  String FileVersionText() const { return Field(vfFileVersion); }
  String InternalName() const { return Field(vfInternalName); }
  String LegalCopyright() const { return Field(vfLegalCopyright); }
  String OriginalFilename() const { return Field(vfOriginalFilename); }
  String ProductName() const { return Field(vfProductName); }
  String ProductVersionText() const { return Field(vfProductVersion); }
  String Comments() const { return Field(vfComments); }

private:
  bool Query(const String& path, const void*& value, unsigned& size) const;
  String FFileName;
  std::vector<Byte> FData;
  bool FHasFixed = false;
  TVersionNumber FFileVersion, FProductVersion;
  Cardinal FFileFlags = 0;
  Word FLanguage = 0x0409, FCodePage = 1252;
};

// The running program's version information, read once (labels and status panels ask on
// every refresh).
const TFileVersionInfo& KwProgramVersionInfo();

}  // namespace kw
