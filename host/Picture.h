// TPicture: the holder of one graphic of any registered class, with the process-wide
// registries of file extensions and clipboard formats that pick the class. The formats
// themselves are in Bitmap.h, Imaging.h and Iconmeta.h.
#pragma once

#include <memory>

#include "host/Graphic.h"

struct HPALETTE__;

namespace kw {

class TBitmap;
class TIcon;
class TMetafile;

namespace SRes {
inline constexpr const wchar_t* SUnknownExtension = L"Unknown picture file extension (.%s)";
inline constexpr const wchar_t* SUnknownGraphicClass = L"Unknown graphic class %s";
inline constexpr const wchar_t* SAllFilter = L"All";
}  // namespace SRes

class TPicture : public TPersistent {
  KW_CLASS(TPicture, TPersistent)
  TPicture();
  ~TPicture() override;

  // The owned graphic (null when none). SetGraphic stores a copy of value, of its class.
  TGraphic* Graphic() const { return FGraphic.get(); }
  void SetGraphic(TGraphic* value);
  // Each makes the graphic that kind (an empty one) unless it already is.
  TBitmap* Bitmap();
  TIcon* Icon();
  TMetafile* Metafile();
  void SetBitmap(TBitmap* value);
  void SetIcon(TIcon* value);
  void SetMetafile(TMetafile* value);
  int Width() const;
  int Height() const;

  // The class comes from the extension; EInvalidGraphic "Unknown picture file extension"
  // for others. The picture changes only when the file was read whole.
  void LoadFromFile(const String& fileName);
  // Through the graphic (a safe save); a metafile is written as placeable WMF for ".wmf".
  void SaveToFile(const String& fileName);
  // EInvalidGraphic "Unsupported clipboard format" for formats without a class.
  void LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette);
  void SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette);

  // Pictures and graphics; null clears.
  void Assign(const TPersistent* source) override;
  // "Data": the class name as a short string, then the graphic's own stream.
  void DefineProperties(TFiler& filer) override;

  TNotifyEvent OnChange;

  // The registries. Extensions are kept without the dot and matched case-insensitively;
  // a later registration of an extension wins.
  static void RegisterFileFormat(const String& extension, const String& description, TGraphicClass graphicClass);
  static void RegisterClipboardFormat(Word format, TGraphicClass graphicClass);
  // Removes every file and clipboard entry of graphicClass and of classes derived from it.
  static void UnregisterGraphicClass(TGraphicClass graphicClass);
  static bool SupportsClipboardFormat(Word format);
  // "All (*.a;*.b)|*.a;*.b|Desc A (*.a)|*.a|..." over the formats whose class derives
  // from graphicClass.
  static String GraphicFilter(TGraphicClass graphicClass);
  // "*.a;*.b" for the same formats.
  static String GraphicFileMask(TGraphicClass graphicClass);
  // The extension registered last for exactly that class ("jpg" for JPEG), "" when none.
  static String GraphicExtension(TGraphicClass graphicClass);
  // Lookups for callers that pick a class themselves (nullptr when none).
  static TGraphicClass FileFormatClass(const String& extension);  // with or without the dot
  static TGraphicClass ClipboardFormatClass(Word format);
  static TGraphicClass FindGraphicClass(const String& className);

protected:
  void AssignTo(TPersistent* dest) const override;
  virtual void Changed(TObject* sender);
  void ReadData(TStream& stream);
  void WriteData(TStream& stream);
  // Makes graphic the picture's own (no copy) and raises the change.
  void TakeGraphic(std::unique_ptr<TGraphic> graphic);

private:
  template <class T>
  T* ForceGraphic();
  std::unique_ptr<TGraphic> FGraphic;
};

}  // namespace kw
