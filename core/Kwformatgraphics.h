// The library's graphic formats: the extension and description registry over host graphic
// classes, the clipboard-format list (TKwClipFormats), JPEG decoding quality and TKwPicture.
// The library's own image class (IMKW) and its clipboard format are registered by its package.
#pragma once

#include <memory>
#include <vector>

#include "host/Picture.h"
#include "host/Typinfo.h"

namespace kw {

class TStrings;

namespace SRes {
inline constexpr const wchar_t* SKwPictureNameCut = L"Invalid picture stream: the class name is cut short";
}  // namespace SRes

// Registry of formats. Lookups take the first match, so a second registration of an
// extension waits behind the first until that one is unregistered.
void KwRegisterFormatGraphic(const String& extension, const String& description, TGraphicClass graphicClass);
// Removes every registration of exactly that class.
void KwUnRegisterFormatGraphic(TGraphicClass graphicClass);
// Case-insensitive, locale-aware; nullptr when no registration has that class name.
TGraphicClass KwFindGraphicClass(const String& className);
// Blanks around the extension and one leading dot are ignored; nullptr when none.
TGraphicClass KwFindGraphicFileExt(const String& extension);
// "" when the class has no registration.
String KwFindGraphicDescription(TGraphicClass graphicClass);
// The host's default extension of the class ("" when the host knows none).
String KwGraphicExtension(TGraphicClass graphicClass);
// Clears strings and adds every registered class name once, in registration order.
void KwFormatGraphics(TStrings* strings);
// The registered (extension, description, class) rows, in order.
struct TKwFormatGraphic {
  String Extension;
  String Description;
  TGraphicClass GraphicClass = nullptr;
};
std::vector<TKwFormatGraphic> KwFormatGraphicList();

// The start-up registrations (the host's eight formats and the GIF clipboard pair); run at
// library start and idempotent, so a unit that appends its own formats may call it first to
// keep the host's in front whatever the order in which units start.
void KwInitFormatGraphics();
// Frees both registries; later registrations start afresh.
void KwEndFormatGraphics();

// Clipboard format numbers mapped to graphic classes.
class TKwClipFormats {
public:
  // The host's metafile picture, enhanced metafile and bitmap formats.
  TKwClipFormats();
  void Add(Word format, TGraphicClass graphicClass);
  // The most recently added class for format; nullptr when none.
  TGraphicClass FindFormat(Word format) const;
  // The most recently added format of exactly that class; 65535 when none.
  Word FindGraphicClass(TGraphicClass graphicClass) const;
  // Removes every pair whose class is, or derives from, graphicClass.
  void Remove(TGraphicClass graphicClass);
  int Count() const { return int(FFormats.size()); }

private:
  std::vector<TGraphicClass> FClasses;
  std::vector<Word> FFormats;
};

TKwClipFormats* KwGetClipboardFormats();
void KwRegisterClipBoardFormat(Word format, TGraphicClass graphicClass);

// The graphic on the clipboard: the first format, in the clipboard's order, that the list
// above maps to a class the host picture also takes; nullptr when there is none.
std::unique_ptr<TGraphic> KwGraphicFromClipboard();

enum TKwQualityGraphic { qugHigh, qugMiddle, qugLow, qugVeryLow };
KW_DECLARE_ENUM(TKwQualityGraphic)

// JPEG images decode at full, half, quarter or eighth size; other graphics are left alone.
void SetGraphicQuality(TGraphic* graphic, TKwQualityGraphic quality);

// A picture whose stream either names the graphic's class in front of the data (AutoDetect)
// or holds the data of a fixed class, and which takes or leaves the 8-byte header that
// database graphic fields put in front of bitmaps.
class TKwPicture : public TPicture {
  KW_CLASS(TKwPicture, TPicture)
  TKwPicture();

  bool AutoDetect() const { return FAutoDetect; }
  void SetAutoDetect(bool value) { FAutoDetect = value; }
  TGraphicClass GraphicClass() const { return FGraphicClass; }
  void SetGraphicClass(TGraphicClass value) { FGraphicClass = value; }

  // Reads from position 0. An unknown or missing class leaves the picture alone; a class
  // name longer than 63 characters clears it. The graphic is taken only once it loaded whole.
  void LoadFromStream(TStream& stream);
  // Writes from the stream's position and leaves it at the end of the stream.
  void SaveToStream(TStream& stream);

  // Assign is the host's: pictures, graphics and null it takes itself, any other source (a
  // library blob) assigns itself through its own AssignTo, which is where blobs plug in.

  // Raised when the picture's graphic is replaced or cleared, not when the graphic draws.
  TNotifyEvent OnPictureChange;

protected:
  void Changed(TObject* sender) override;

private:
  bool FAutoDetect = true;
  TGraphicClass FGraphicClass = nullptr;
};

// The stream layout's fixed parts.
constexpr int KwPictureMaxName = 63;
constexpr Word KwDbBitmapSignature = 1;
constexpr Word KwDbBitmapVersion = 0x0100;

}  // namespace kw
