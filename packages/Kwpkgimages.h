// The image package: TKwPkgImages with its id-indexed list and its entries (native bytes,
// window-shape regions, frames), the package file content, the IMKW single-image format and its
// graphic class, and the image reference TKwMemoryImage with its re-resolution protocol.
// Painting an entry is the image renderer's; the system image update comes with the display package.
#pragma once

#include <memory>
#include <vector>

#include "host/Bitmap.h"
#include "host/Graphic.h"
#include "host/Streams.h"
#include "packages/Kwpkginfo.h"
#include "skin/Kwimageref.h"

struct HRGN__;

namespace kw {

class TKwPkgImages;
class TKwPkgImagesImages;
class TWinControl;

class TKwPkgImagesImage : public TObject {
  KW_CLASS(TKwPkgImagesImage, TObject)
  // An image of a package list, or (owner null) one that an IMKW graphic holds.
  explicit TKwPkgImagesImage(TKwPkgImagesImages* owner);
  ~TKwPkgImagesImage() override;

  TKwPkgImagesImages* Owner() const { return FOwner; }
  TKwPkgImages* Package() const;
  int Id() const { return FId; }
  void SetId(int id);
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  bool Protected() const { return FProtected; }
  void SetProtected(bool v) { FProtected = v; }
  bool Empty() const { return !FNativeData; }
  Int64 GetSize() const;
  String GetGraphicName() const;
  TGraphicClass GraphicClass() const { return FGraphicClass; }
  bool GetExternalMask() const { return FExternalRegion != nullptr; }
  bool GetInternalMask() const { return FInternalRegion != nullptr; }
  Int64 ExternalRegionSize() const { return FExternalRegion ? FExternalRegion->Size() : 0; }
  Int64 InternalRegionSize() const { return FInternalRegion ? FInternalRegion->Size() : 0; }
  // Up to four equal square frames side by side.
  static int FramesOf(int width, int height);
  int Frames() const { return FramesOf(FWidth, FHeight); }
  int FrameWidth() const { return FWidth / Frames(); }

  // Region-design settings: stored, copied, written and read unchanged.
  bool MaskFlags[3] = {false, true, true};
  int MaskParams[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  void ClearMask();

  // The whole stream (from position 0) as the image's bytes in the format of cls.
  void LoadFromStream(TStream& stream, TGraphicClass cls);
  // IMKW bytes: header and one image record; the image keeps its id.
  void LoadFromStreamIMKW(TStream& stream);
  // ".imkw" files as IMKW, others by the graphic format registered for their extension.
  void LoadFromFile(const String& path);
  void SaveToStream(TStream& stream) const;
  void SaveToStreamIMKW(TStream& stream) const;
  void SaveToFile(const String& path) const;
  // Takes Width and Height from the native bytes.
  void ReCalcSize();
  // The native bytes at position 0, or null when empty.
  TMemoryStream* ReadNativeStream() const;
  // The bytes to load a bitmap (asBitmap) or a bitmap or PNG from; non-bitmap images keep a
  // bitmap copy made on first use. Null when empty or of no known class.
  TMemoryStream* ReadStream(bool asBitmap);
  // A graphic of the image's class holding its bytes, or null.
  std::unique_ptr<TGraphic> NewGraphic() const;
  // A bitmap of the whole image (all frames), or null when empty.
  std::unique_ptr<TBitmap> NewBitmap();
  void PixelFormat(TPixelFormat format);
  // New regions from the stored region data (the caller owns them), or null.
  HRGN__* CreateExternalRgn() const;
  HRGN__* CreateInternalRgn() const;
  void CreateExternalMask(HRGN__* region);
  void CreateInternalMask(HRGN__* region);
  // Gives the control's window the outer shape (or none); regionOut, when asked, gets another copy.
  void SetWindowMask(TWinControl* control, HRGN__** regionOut = nullptr);
  // Copies the picture, regions and mask settings, not the id nor the protection.
  void Assign(const TKwPkgImagesImage* other);
  void Clear();
  void SaveToClipBoard() const;
  void LoadFromClipBoard();

  // The image record of package files and IMKW bodies.
  void ReadRecord(TReader& reader, Word version, bool takeId);
  void WriteRecord(TWriter& writer) const;

private:
  friend class TKwPkgImagesImages;
  friend class TKwPkgImages;
  bool LoadingProps() const;
  void FreeStreams();
  // The end of every change: uncheck the references to this image, re-resolve, package Change.
  void Changed();
  TKwPkgImagesImages* FOwner;
  int FId = -1;
  std::unique_ptr<TMemoryStream> FNativeData;
  std::unique_ptr<TMemoryStream> FBitmapCache;
  std::unique_ptr<TMemoryStream> FExternalRegion;
  std::unique_ptr<TMemoryStream> FInternalRegion;
  String FGraphicName;
  TGraphicClass FGraphicClass = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  bool FProtected = false;
};

class TKwPkgImagesImages : public TObject {
  KW_CLASS(TKwPkgImagesImages, TObject)
  explicit TKwPkgImagesImages(TKwPkgImages* owner) : FOwner(owner) {}
  ~TKwPkgImagesImages() override;
  TKwPkgImages* Package() const { return FOwner; }
  int Count() const { return int(FList.size()); }
  TKwPkgImagesImage* GetItems(int index) const { return FList.at(size_t(index)); }
  TKwPkgImagesImage* FindId(int id) const;
  // Messages 22 (negative), 23 (above 9999), 24 (in use).
  void CheckId(int id) const;
  // The lowest free id (the index length when none is free).
  int UniqueId() const;
  TKwPkgImagesImage* Add(int id);
  void Clear();

private:
  friend class TKwPkgImagesImage;
  friend class TKwPkgImages;
  void PlaceInIndex(TKwPkgImagesImage* image, int id);
  TKwPkgImages* FOwner;
  std::vector<TKwPkgImagesImage*> FList;
  std::vector<TKwPkgImagesImage*> FIndex;
};

// Placements of the package's design windows: only kept in the file.
struct TKwEditorWindow {
  int Left = 2147483647, Top = 2147483647, Width = 2147483647, Height = 2147483647;
  Byte State = 0;
};
struct TKwMaskWindow {
  int Left = 2147483647, Top = 2147483647, Width = 2147483647, Height = 2147483647;
  int Zoom = 1;
  Byte State = 0;
  bool Flag1 = true, Flag2 = true;
};

class TKwPkgImages : public TKwPkgInfo {
  KW_CLASS(TKwPkgImages, TKwPkgInfo)
  explicit TKwPkgImages(TComponent* owner);
  ~TKwPkgImages() override;

  TKwPkgImagesImages* Images() const { return FImages.get(); }
  TKwEditorWindow EditorWindow;
  TKwMaskWindow MaskWindow;
  void AssignMaskWindow(const TKwPkgImages* other) { MaskWindow = other->MaskWindow; }

  // Message 67 for "User", and for "System" on a form.
  void SetPkgName(const String& name) override;
  // Active: the first package of its name in the images list.
  bool GetActive() const;
  void SetActive(bool v);
  void Update();
  void Clear() override;
  bool DefaultExtStored() const { return FDefaultExt != L"pim"; }
  bool FileNameStored() const { return false; }
  void SetFileNameProp(const String& name) { SetFileName(name); }

protected:
  std::unique_ptr<TKwPkgImagesImages> FImages;
  void NotifyInit(TObject* sender) override;
  void xLoadFromStream(TReader& reader) override;
  void xSaveToStream(TWriter& writer) override;
};

// The live image packages, front-most first.
TKwPkgActiveList* KwPkgImagesList();
// "System" and "User" are the application controller's; other names search the list.
TKwPkgImages* KwFindPkgImages(const String& name);
void KwPkgImagesActives(TStrings* list);
void KwPkgImagesAll(TStrings* list);
// The Description of an image package file, without loading the rest.
String KwReadPkgImagesDescription(const String& fileName);

// What the references ask of the application controller: its "System" and "User" image
// packages. Null while there is no application controller; the controller sets the accessor.
struct TKwAppImages {
  TKwPkgImages* System = nullptr;
  TKwPkgImages* User = nullptr;
};
using TKwAppImagesAccessor = const TKwAppImages* (*)();
void KwSetAppImagesAccessor(TKwAppImagesAccessor accessor);
const TKwAppImages* KwAppImages();

// A reference to an image by package name and id (-1 none, -2 the default pair).
class TKwMemoryImage : public TKwImageReference, public TKwPkgRefPair {
  KW_CLASS(TKwMemoryImage, TKwImageReference)
  explicit TKwMemoryImage(const String& pkgName = String(), int id = -1, bool useDefault = false);
  // Already resolved to image (for temporary drawing).
  explicit TKwMemoryImage(TKwPkgImagesImage* image);
  ~TKwMemoryImage() override;

  void SetPkgName(const String& name);
  void SetId(int id);
  void PkgId(const String& name, int id);
  void DefaultPkgId(const String& name, int id);
  bool Checked() const { return FChecked; }
  void SetChecked(bool v) { FChecked = v; }
  TKwPkgImagesImage* CachedImage() const { return FCachedImage; }
  bool Defined() const;
  TKwPkgImagesImage* Info();
  bool Empty() override;
  int Width() override;
  int Height() override;
  int Frames();
  int FrameWidth();
  virtual void Change() { OnChange(this); }
  void Assign(const TPersistent* source) override;
  void DefineProperties(TFiler& filer) override;

private:
  friend void KwUpdateImages();
  void Invalidate() {
    FChecked = false;
    FCachedImage = nullptr;
  }
  bool FChecked = false;
  TKwPkgImagesImage* FCachedImage = nullptr;
  bool FHasDefault = false;
};

void KwReadPkgImage(const String& name, int id, TKwMemoryImage* reference);
void KwReadPkgBitmap(const String& name, int id, TBitmap* bitmap);
void KwUnCheckImage(const TKwPkgImagesImage* image);
void KwUnCheckAllImages(const TKwPkgImagesImages* images);
void KwUnCheckNilImages();
// Re-resolves the unchecked, defined references and tells those whose image may have changed.
void KwUpdateImages();
int KwImageReferenceCount();

// The IMKW single-image graphic ("imkw", "KwSuite Image File", clipboard "KW_IMAGE").
class TKwImageIMKW : public TGraphic {
  KW_CLASS(TKwImageIMKW, TGraphic)
  TKwImageIMKW();
  ~TKwImageIMKW() override;
  TKwPkgImagesImage* Image() const { return FImage.get(); }
  int Width() const override { return FImage->Width(); }
  int Height() const override { return FImage->Height(); }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  bool Empty() const override { return FImage->Empty(); }
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette) override;
  void SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) override;
  bool Equals(const TGraphic* graphic) override;
  void Assign(const TPersistent* source) override;

protected:
  void Draw(TCanvas& canvas, const TRect& rect) override;
  void AssignTo(TPersistent* dest) const override;

private:
  TBitmap* CachedBitmap() const;
  std::unique_ptr<TKwPkgImagesImage> FImage;
  mutable std::unique_ptr<TBitmap> FBitmap;
};

// The clipboard format "KW_IMAGE" (registered on first use).
Word KwClipboardFormatIMKW();

}  // namespace kw
