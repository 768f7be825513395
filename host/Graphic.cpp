// TGraphic's shared behaviour: change notice, files through streams, equality by saved
// stream, the "Data" property and the canvas's entry to Draw. Formats implement the rest.
#include "host/Graphic.h"

#include <cstring>

#include "host/Exceptions.h"
#include "host/Filer.h"
#include "host/Graphics.h"
#include "host/Streams.h"
#include "host/Typreg.h"

namespace kw {

KW_REGISTER_CLASS(TGraphic, TPersistent)

void TGraphic::SetSize(int width, int height) {
  SetWidth(width);
  SetHeight(height);
}

void TGraphic::SetTransparent(bool value) {
  if (value == FTransparent) return;
  FTransparent = value;
  Changed(this);
}

void TGraphic::SetModified(bool value) {
  if (value) Changed(this);
  else FModified = false;
}

void TGraphic::Changed(TObject*) {
  FModified = true;
  OnChange(this);
}

void TGraphic::LoadFromFile(const String& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  try {
    LoadFromStream(stream);
  } catch (EInvalidGraphic& e) {
    e.SetMessage(e.Message() + L" in " + fileName);
    throw;
  }
}

void TGraphic::SaveToFile(const String& fileName) {
  TSafeFileStream stream(fileName);
  SaveToStream(stream);
  stream.Commit();
}

void TGraphic::LoadFromClipboardFormat(Word, void*, HPALETTE__*) {
  throw EInvalidGraphicOperation(SRes::SUnknownClipboardFormat);
}

void TGraphic::SaveToClipboardFormat(Word&, void*&, HPALETTE__*&) {
  throw EInvalidGraphicOperation(SRes::SUnknownClipboardFormat);
}

bool TGraphic::Equals(const TGraphic* graphic) {
  if (graphic == this) return true;
  if (!graphic || graphic->ClassType() != ClassType()) return false;
  if (Empty() || graphic->Empty()) return Empty() == graphic->Empty();
  TMemoryStream mine, theirs;
  WriteData(mine);
  const_cast<TGraphic*>(graphic)->WriteData(theirs);
  return mine.Size() == theirs.Size() && std::memcmp(mine.Memory(), theirs.Memory(), size_t(mine.Size())) == 0;
}

void TGraphic::DefineProperties(TFiler& filer) {
  bool hasData = !Empty();
  if (auto* ancestor = dynamic_cast<TGraphic*>(filer.Ancestor())) hasData = !Equals(ancestor);
  filer.DefineBinaryProperty(
      L"Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, hasData);
}

void TGraphic::ReadData(TStream& stream) { LoadFromStream(stream); }

void TGraphic::WriteData(TStream& stream) { SaveToStream(stream); }

void KwDrawGraphic(TCanvas& canvas, const TRect& rect, TGraphic* graphic) {
  if (!graphic || graphic->Empty() || rect.Width() == 0 || rect.Height() == 0) return;
  graphic->Draw(canvas, rect);
}

TSize KwGraphicSize(const TGraphic* graphic) {
  if (!graphic) return TSize();
  return TSize(graphic->Width(), graphic->Height());
}

}  // namespace kw
