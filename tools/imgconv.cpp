// imgconv: converts a picture file between the registered graphic formats, the output kind
// chosen by its extension. Decoding and encoding live in the graphic classes (host/Picture).
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Iconmeta.h"
#include "host/Imaging.h"
#include "host/Picture.h"
#include "host/Streams.h"
#include "host/Sysutils.h"

namespace {

void PrintError(const std::string& message) { std::fputs(("imgconv: " + message + "\n").c_str(), stderr); }

kw::String Extension(const kw::String& fileName) {
  kw::String ext = kw::ExtractFileExt(fileName);
  return !ext.empty() && ext[0] == L'.' ? ext.substr(1) : ext;
}

void Convert(const kw::String& input, const kw::String& output) {
  using namespace kw;
  // Both extensions are checked before anything is read or written.
  TGraphicClass outClass = TPicture::FileFormatClass(Extension(output));
  if (!outClass) throw EInvalidGraphic(Format(SRes::SUnknownExtension, {Extension(output)}));
  TPicture picture;
  picture.LoadFromFile(input);
  TGraphic* source = picture.Graphic();
  if (!source || source->Empty()) throw EInvalidGraphic(L"The input holds no picture");

  std::unique_ptr<TObject> made(outClass->CreateInstance(nullptr));
  auto* target = dynamic_cast<TGraphic*>(made.get());
  if (!target) throw EInvalidGraphic(Format(SRes::SUnknownExtension, {Extension(output)}));
  try {
    target->Assign(source);
  } catch (const EConvertError&) {
    // The target does not know the source's class: go through a plain bitmap.
    target->Assign(KwGraphicToBitmap(source).get());
  }
  if (auto* meta = dynamic_cast<TMetafile*>(target)) meta->SetEnhanced(!SameText(Extension(output), L"wmf"));
  if (target->Empty()) throw EInvalidGraphic(L"The converted picture is empty");

  TSafeFileStream stream(output);
  target->SaveToStream(stream);
  stream.Commit();
  std::fputs(("imgconv: " + UTF8Encode(input) + " -> " + UTF8Encode(output) + " (" +
              std::to_string(target->Width()) + " x " + std::to_string(target->Height()) + ", " +
              UTF8Encode(target->ClassName()) + ")\n")
                 .c_str(),
             stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: imgconv INPUT OUTPUT\n"
               "  Converts between .bmp, .png, .jpg/.jpeg, .gif, .ico, .emf and .wmf files;\n"
               "  the output format follows the output file's extension.\n",
               stderr);
    return 2;
  }
  try {
    Convert(argv[1], argv[2]);
    return 0;
  } catch (const kw::Exception& e) {
    PrintError(kw::UTF8Encode(argv[1]) + ": " + e.what());
  } catch (const std::exception& e) {
    PrintError(e.what());
  } catch (...) {
    PrintError("unexpected failure");
  }
  return 1;
}
