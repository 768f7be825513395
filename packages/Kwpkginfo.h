// The package base: name, storage mode (in the form or in a file of its own), paths, the
// 34-byte common file header, loading and saving, modification tracking, the form-stream keys
// and the active lists by which references find packages. The kinds' contents are theirs.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "host/Classes.h"
#include "host/Dateutils.h"
#include "host/Typinfo.h"

namespace kw {

class TKwLinkEvt;
class TReader;
class TWriter;
class TStream;
class TStrings;
class TFiler;

enum TKwRegisterInitMode { rimDFM, rimFILE };
KW_DECLARE_ENUM(TKwRegisterInitMode)

// The common header: a length byte, the signature (0x01, "123456789", 0x01 and the kind
// word), zero filler up to offset 32, and the 16-bit little-endian version at 32.
constexpr int KwPackageHeaderSize = 34;
void KwWritePackageHeader(TWriter& writer, const String& kindWord, Word version);
// Reads and checks a header; a signature other than the kind's (letter case aside) raises
// message signatureMsg, a version above maxVersion message versionMsg, both with arg and
// reported under source. Returns the version.
Word KwReadPackageHeader(TReader& reader, const String& kindWord, Word maxVersion, const TComponent* source,
                         const String& arg, int signatureMsg = 39, int versionMsg = 40);

// The application's package directory with a trailing delimiter: the program's folder, or
// the application controller's Path expanded against it.
String KwAppPath();
// The application controller's Path (empty while there is none); the controller sets it.
using TKwAppPathProc = String (*)();
void KwSetAppPathProc(TKwAppPathProc proc);
// Expands path against the program's folder without touching the current directory, and
// adds a trailing "\" unless it ends in "\" or "/".
String KwExpandPackagePath(const String& path);

class TKwPkgInfo : public TComponent {
  KW_CLASS(TKwPkgInfo, TComponent)
  // fileOnly packages are stored in files for ever (the privileges package).
  explicit TKwPkgInfo(TComponent* owner, bool fileOnly = false);
  ~TKwPkgInfo() override;

  TKwLinkEvt* Link() const { return FLink.get(); }
  const String& PkgName() const { return FPkgName; }
  // The base ignores the name; the kinds that are found by name take it.
  virtual void SetPkgName(const String& name) {}
  TKwRegisterInitMode InitMode() const { return FInitMode; }
  void SetInitMode(TKwRegisterInitMode mode);
  const String& FileName() const { return FFileName; }
  void SetFileName(const String& name);
  const String& Description() const { return FDescription; }
  void SetDescription(const String& text);
  const String& DefaultExt() const { return FDefaultExt; }
  void SetDefaultExt(const String& ext) { FDefaultExt = ext; }
  virtual bool GetModified() const { return FModified; }
  virtual void SetModified(bool value) { FModified = value; }
  bool Modified() const { return GetModified(); }
  TDateTime FileDate() const { return FFileDate; }
  const String& LoadingFileName() const { return FLoadingFileName; }
  bool FileOnly() const { return FFileOnly; }

  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);
  void LoadFromFile(const String& path);
  // Written beside the file and swapped in when whole: a failure leaves the old file.
  void SaveToFile(const String& path);
  // The full path of a package file: the package directory, the name, DefaultExt when the
  // name has no extension.
  String GetFileName(const String& name) const;
  virtual String GetPathFileName() const;
  void LoadFile();
  void SaveFile();
  void LoadFileEx(const String& name, TKwRegisterInitMode mode);
  void SaveFileEx(const String& name, TKwRegisterInitMode mode);
  // The file exists and its date differs from the one at the last load or save.
  bool FileModified() const;
  bool Iss(const String& name) const;
  virtual void Change();
  bool LoadingProps() const;
  void BeginLoading();
  void EndLoading();
  virtual void Clear() {}
  // Same mode, not rimFILE, and the same "Data" bytes.
  bool KwEquals(TKwPkgInfo* other);

  void DefineProperties(TFiler& filer) override;
  void Loaded() override;
  void SetParentComponent(TComponent* parent) override;

  TNotifyEvent OnChange;

protected:
  // The "Data" block: the whole package stream in rimDFM, nothing in rimFILE.
  virtual void ReadData(TStream& stream);
  virtual void WriteData(TStream& stream);
  virtual void NotifyInit(TObject* sender);
  virtual void NotifyEvt(int evt, void* data) {}
  virtual void NotifyUpdate(TObject* sender) {}
  virtual void xLoadFromStream(TReader& reader) {}
  virtual void xSaveToStream(TWriter& writer) {}
  // The owner's own loading (a display or language package over its sub-packages, the
  // application controller over its packages).
  virtual bool OwnerLoadingProps() const;
  void StoreFileName(const String& name) { FFileName = name; }
  void FileEx(const String& name, TKwRegisterInitMode mode, bool save);
  void StorePkgName(const String& name) { FPkgName = name; }
  // The header's argument while reading: the file being read, else "Stream".
  String HeaderArg() const { return FLoadingFileName.empty() ? String(L"Stream") : FLoadingFileName; }

  std::unique_ptr<TKwLinkEvt> FLink;
  String FPkgName;
  TKwRegisterInitMode FInitMode = rimDFM;
  String FFileName;
  String FDescription;
  String FDefaultExt;
  bool FModified = false;
  TDateTime FFileDate = 0;
  String FLoadingFileName;
  bool FFileOnly = false;
};

// What every package reference (image, label, message, text) holds: a package name and an
// id (-1 none, -2 the default pair) with its default pair. The Store... operations answer
// whether what the reference denotes may have changed; the reference then drops its cache
// and tells its owner.
class TKwPkgRefPair {
public:
  const String& PkgName() const { return FPkgName; }
  int Id() const { return FId; }
  const String& DefaultPkgName() const { return FDefaultPkgName; }
  int DefaultIdValue() const { return FDefaultIdValue; }
  bool HasDefault() const { return FHasDefault; }

protected:
  TKwPkgRefPair(const String& pkgName, int id, bool useDefault);
  // A change of letter case only is stored without a change.
  bool StorePkgName(const String& name);
  bool StoreId(int id);
  bool StorePkgId(const String& name, int id);
  void StoreDefaultPkgId(const String& name, int id);
  // A name and an id, or the default pair (the application controller aside).
  bool PairDefined() const;
  // Takes source's pair (its default pair while its id is -2); false when both already
  // denote the same name and id.
  bool CopyPair(const TKwPkgRefPair& source);
  // The "PkgName" and "Id" form-stream keys, stored only where they differ from the ancestor's
  // (or, without one, from the constructed state).
  void DefinePair(TFiler& filer, const TKwPkgRefPair* ancestor, std::function<void(const String&)> setName,
                  std::function<void(int)> setId);
  String FPkgName;
  int FId = -1;
  String FDefaultPkgName;
  int FDefaultIdValue = -1;
  bool FHasDefault = false;
};

// The ordered list of live packages of one kind (images, strings, variables): found by name
// from the front, the found one moving to the front.
class TKwPkgActiveList {
public:
  void Add(TKwPkgInfo* pkg) { FItems.push_back(pkg); }
  void Remove(TKwPkgInfo* pkg);
  bool Empty() const { return FItems.empty(); }
  const std::vector<TKwPkgInfo*>& Items() const { return FItems; }
  // The first live package of that name (not blank), moved to the front.
  TKwPkgInfo* Find(const String& name);
  // The first package of that name, left where it is.
  TKwPkgInfo* First(const String& name) const;
  void MoveToFront(TKwPkgInfo* pkg);
  void MoveToEnd(TKwPkgInfo* pkg);
  // Each distinct non-empty name, in list order.
  void Names(TStrings* list) const;
  // Every package owned by a form: its trimmed name with the package attached.
  void All(TStrings* list) const;

private:
  std::vector<TKwPkgInfo*> FItems;
};

}  // namespace kw
