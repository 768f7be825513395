// TIcon (.ico files, an HICON made from the best-fitting entry) and TMetafile (enhanced
// metafiles, reading and writing placeable Windows metafiles too) with TMetafileCanvas for
// recording. Cursors and animated icons are not handled.
#pragma once

#include "host/Graphic.h"
#include "host/Graphics.h"

struct HICON__;
struct HENHMETAFILE__;
struct HDC__;

namespace kw {

namespace SRes {
inline constexpr const wchar_t* SInvalidIcon = L"Icon image is not valid";
inline constexpr const wchar_t* SInvalidMetafile = L"Metafile is not valid";
}  // namespace SRes

// An icon: the .ico bytes as loaded (saved back unchanged) and the handle made from the
// entry nearest the requested size (SetSize before loading; 0 x 0 picks the largest).
// Assigning a bitmap builds a one-entry 32-bit icon whose mask follows the bitmap's alpha.
class TIcon : public TGraphic {
  KW_CLASS(TIcon, TGraphic)
  TIcon();
  ~TIcon() override;
  void Assign(const TPersistent* source) override;

  // Made from the data on first use; the icon keeps owning it.
  HICON__* Handle();
  // Takes ownership of value (null empties the icon); the loaded data is dropped.
  void SetHandle(HICON__* value);
  // The caller now owns the handle (DestroyIcon) and the icon is empty.
  HICON__* ReleaseHandle();
  bool HandleAllocated() const { return FHandle != nullptr; }

  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int value) override { SetSize(value, FRequestHeight); }
  void SetHeight(int value) override { SetSize(FRequestWidth, value); }
  // The size to pick among the entries; with data loaded the handle is made again.
  void SetSize(int width, int height) override;
  bool Empty() const override { return !FHandle && FData.empty(); }
  bool Transparent() const override { return true; }

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;

protected:
  void AssignTo(TPersistent* dest) const override;
  void Draw(TCanvas& canvas, const TRect& rect) override;

private:
  void FreeHandle();
  void MakeHandle(const TBytes& data, HICON__*& handle, int& width, int& height) const;
  TBytes FData;
  HICON__* FHandle = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  int FRequestWidth = 0;
  int FRequestHeight = 0;
};

// An enhanced metafile. Width and Height are pixels at the screen's resolution, MMWidth and
// MMHeight the frame in hundredths of a millimetre. With Enhanced false SaveToStream
// writes a placeable Windows metafile of Inch units per inch.
class TMetafile : public TGraphic {
  KW_CLASS(TMetafile, TGraphic)
  TMetafile();
  ~TMetafile() override;
  void Assign(const TPersistent* source) override;
  void Clear();

  HENHMETAFILE__* Handle() const { return FHandle; }
  // Takes ownership; the frame size comes from the metafile's header.
  void SetHandle(HENHMETAFILE__* value);
  HENHMETAFILE__* ReleaseHandle();

  int Width() const override;
  int Height() const override;
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  int MMWidth() const { return FMMWidth; }
  int MMHeight() const { return FMMHeight; }
  void SetMMWidth(int value);
  void SetMMHeight(int value);
  bool Enhanced() const { return FEnhanced; }
  void SetEnhanced(bool value) { FEnhanced = value; }
  Word Inch() const { return FInch; }
  void SetInch(Word value) { FInch = value; }
  bool Empty() const override { return FHandle == nullptr; }
  bool Transparent() const override { return true; }

  // Either kind, told apart by the placeable header's key.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // CF_ENHMETAFILE: data is an HENHMETAFILE (copied on both ways).
  void LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette) override;
  void SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette) override;

protected:
  void AssignTo(TPersistent* dest) const override;
  void Draw(TCanvas& canvas, const TRect& rect) override;

private:
  void Take(HENHMETAFILE__* handle, int mmWidth, int mmHeight, bool enhanced);
  HENHMETAFILE__* FHandle = nullptr;
  int FMMWidth = 0;
  int FMMHeight = 0;
  bool FEnhanced = true;
  Word FInch = 0;
};

// Records drawing into a new enhanced metafile the size of metafile (or of the reference
// device's screen when that is empty); the recording replaces the metafile's picture when
// the canvas is destroyed.
class TMetafileCanvas : public TCanvas {
public:
  TMetafileCanvas(TMetafile* metafile, HDC__* referenceDevice);
  ~TMetafileCanvas() override;

private:
  TMetafile* FMetafile;
  HDC__* FRecordDC = nullptr;
};

}  // namespace kw
