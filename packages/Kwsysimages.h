// The system image update: a newer standard image set merged into the application's system
// images (protected images kept), with the file found in the installation's package folder, an
// offer the user may decline and a progress window. Reading the standard display file is the
// display package's: the caller hands in a loader.
#pragma once

#include <functional>
#include <memory>

#include "host/Dateutils.h"
#include "packages/Kwpkgimages.h"

namespace kw {

// The "Packages" folder of the library's installation (HKCU\Software\KwSuite, value
// "InstallDir"), with a trailing delimiter; empty when not recorded or missing.
String KwInstallPackagesDir();
// The file the update reads: an empty name is "Standard.dis"; a bare name lies in the
// installation's package folder; a missing file outside that folder is replaced by the file of
// the same name in it when there is one. Empty when there is nothing to read.
String KwSystemImagesFile(const String& fileName);

// The offer shown before an update (title "Images Information:"): true when the user accepts.
// The default is a plain form with "Update" and "Later on"; tests and applications may replace it.
using TKwAskUpdateProc = bool (*)(const String& title, const String& text);
void KwSetAskUpdateProc(TKwAskUpdateProc proc);
String KwSystemImagesNotice();

// Each image of source, in position order, goes into target: the image of the same id is found
// or added and, unless protected, takes the new picture. progress(i) comes before image i.
// Returns the number of images replaced or added.
int KwMergeSystemImages(TKwPkgImages* target, TKwPkgImages* source, const std::function<void(int)>& progress = {});

struct TKwSystemImagesState {
  TDateTime SourceDate = 0;
  String SourceFile;
};
// The whole update: the file, the offer (with ask, only for a file newer than SourceDate), a
// progress window over the merge, then SourceDate and SourceFile (the bare name when the file lies
// in the installation's package folder). loader reads the system images of a display file.
// False when nothing was updated.
using TKwSystemImagesLoader = std::function<std::unique_ptr<TKwPkgImages>(const String& file)>;
bool KwUpdateSystemImages(TKwPkgImages* target, const String& fileName, bool ask, TKwSystemImagesState& state,
                          const TKwSystemImagesLoader& loader);

}  // namespace kw
