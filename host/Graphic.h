// TGraphic: the abstract picture of the graphics unit (size, transparency, change notice,
// stream, file and clipboard loading, the "Data" layout of a graphic property in a form stream).
// Concrete formats (bitmaps, icons, ...) and the canvas live in their own units.
#pragma once

#include "host/Classes.h"
#include "host/Events.h"

struct HPALETTE__;

namespace kw {

class TCanvas;
struct TRect;
class TStream;
class TFiler;

// A class of graphic, used where the host passes a metaclass (TGraphicClass(...)->CreateInstance).
using TGraphicClass = TClass;

class TGraphic : public TPersistent {
  KW_CLASS(TGraphic, TPersistent)
  TGraphic() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int value) = 0;
  virtual void SetHeight(int value) = 0;
  // Sets both at once so that a format can resize in one step; the default sets each.
  virtual void SetSize(int width, int height);
  virtual bool Empty() const = 0;

  virtual bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool value);
  bool Modified() const { return FModified; }
  // true raises OnChange (as any change does); false only clears the flag.
  void SetModified(bool value);

  // Palette hooks: formats without a palette keep the default null handle and ignore sets.
  virtual HPALETTE__* Palette() { return nullptr; }
  virtual void SetPalette(HPALETTE__*) {}
  bool PaletteModified() const { return FPaletteModified; }
  void SetPaletteModified(bool value) { FPaletteModified = value; }

  // Streams hold the format's own file layout, read from the stream's position.
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  // A format error names the file.
  void LoadFromFile(const String& fileName);
  // Written beside the file and swapped in when complete.
  void SaveToFile(const String& fileName);
  // Clipboard formats: data is an HGLOBAL. The defaults raise EInvalidGraphicOperation.
  virtual void LoadFromClipboardFormat(Word format, void* data, HPALETTE__* palette);
  virtual void SaveToClipboardFormat(Word& format, void*& data, HPALETTE__*& palette);

  // Same class and the same saved stream.
  virtual bool Equals(const TGraphic* graphic);

  // Writes the binary property "Data" with WriteData, unless the graphic is empty or equal to
  // the filer's ancestor.
  void DefineProperties(TFiler& filer) override;

  TNotifyEvent OnChange;
  TNotifyEvent OnProgress;  // reserved for formats that load in stages

protected:
  virtual void Changed(TObject* sender);
  // Draws the whole picture stretched into rect; the canvas calls it through KwDrawGraphic.
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
  // The "Data" property; the defaults are LoadFromStream and SaveToStream.
  virtual void ReadData(TStream& stream);
  virtual void WriteData(TStream& stream);

  friend void KwDrawGraphic(TCanvas& canvas, const TRect& rect, TGraphic* graphic);

  bool FTransparent = false;
  bool FModified = false;
  bool FPaletteModified = false;
};

// The canvas's entry to a graphic's protected Draw; a null or empty graphic draws nothing.
void KwDrawGraphic(TCanvas& canvas, const TRect& rect, TGraphic* graphic);

}  // namespace kw
