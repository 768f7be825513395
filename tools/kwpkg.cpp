// kwpkg: looks into the library's package files. "dump FILE" prints a package or IMKW file as
// JSON; "check FILE" exits 0 for a sound file, else 1 with a message naming the file and fault.
// Image packages, IMKW files and string packages; the other kinds answer that they are not known yet.
#include <cstdio>
#include <string>

#include "core/Kwlinks.h"
#include "host/Application.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "packages/Kwexcept.h"
#include "packages/Kwpkgimages.h"
#include "packages/Kwpkgstrings.h"

using namespace kw;

namespace {

std::string Json(const String& s) {
  std::string out = "\"";
  for (char c : UTF8Encode(s)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

// The kind word and version of the file's header; throws when it has none of ours.
void ReadKind(const String& file, String& kind, int& version) {
  TFileStream f(file, fmOpenRead | fmShareDenyWrite);
  Byte header[KwPackageHeaderSize] = {};
  if (f.Read(header, KwPackageHeaderSize) != KwPackageHeaderSize) throw EKwError(file + L": too short for a package header");
  const char fixed[] = "\x01" "123456789" "\x01";
  int length = header[0];
  if (length < 12 || length > 31 || std::string(reinterpret_cast<char*>(header + 1), 11) != fixed)
    throw EKwError(file + L": not a package file (no package signature)");
  kind.assign(header + 12, header + 1 + length);
  version = header[32] | (header[33] << 8);
}

std::string ImageJson(TKwPkgImagesImage* image) {
  char buf[256];
  std::snprintf(buf, sizeof buf,
                "{\"id\": %d, \"width\": %d, \"height\": %d, \"graphic\": %s, \"bytes\": %lld, "
                "\"externalRegion\": %lld, \"internalRegion\": %lld, \"protected\": %s}",
                image->Id(), image->Width(), image->Height(), Json(image->GetGraphicName()).c_str(),
                static_cast<long long>(image->GetSize()), static_cast<long long>(image->ExternalRegionSize()),
                static_cast<long long>(image->InternalRegionSize()), image->Protected() ? "true" : "false");
  return buf;
}

// One array of string items: id, text, the hint for labels, protected.
std::string StringsJson(const TKwPkgStringsList* list) {
  std::string out;
  for (int i = 0; i < list->Count(); ++i) {
    TKwPkgStringsItem* item = list->GetItem(i);
    out += (i ? ",\n    " : "\n    ") + std::string("{\"id\": ") + std::to_string(item->Id()) +
           ", \"text\": " + Json(item->Text());
    if (auto* label = dynamic_cast<TKwPkgStringsLabel*>(item)) out += ", \"hint\": " + Json(label->Hint());
    out += std::string(", \"protected\": ") + (item->Protected() ? "true" : "false") + "}";
  }
  return out + (out.empty() ? "" : "\n  ");
}

int Run(const String& verb, const String& file) {
  String kind;
  int version = 0;
  ReadKind(file, kind, version);
  std::string images;
  String description;
  if (SameText(kind, L"KwPkgImages")) {
    TKwPkgImages pkg(nullptr);
    pkg.LoadFromFile(file);
    description = pkg.Description();
    for (int i = 0; i < pkg.Images()->Count(); ++i) {
      images += (i ? ",\n    " : "\n    ") + ImageJson(pkg.Images()->GetItems(i));
    }
  } else if (SameText(kind, L"KwPkgImage")) {
    TKwPkgImagesImage image(nullptr);
    TFileStream f(file, fmOpenRead | fmShareDenyWrite);
    image.LoadFromStreamIMKW(f);
    images = "\n    " + ImageJson(&image);
  } else if (SameText(kind, L"KwPkgStrings")) {
    TKwPkgStrings pkg(nullptr);
    pkg.LoadFromFile(file);
    if (verb == L"check") return 0;
    std::printf("{\n  \"kind\": %s,\n  \"version\": %d,\n  \"description\": %s,\n  \"labels\": [%s],\n"
                "  \"messages\": [%s],\n  \"texts\": [%s]\n}\n",
                Json(kind).c_str(), version, Json(pkg.Description()).c_str(), StringsJson(pkg.Labels()).c_str(),
                StringsJson(pkg.Messages()).c_str(), StringsJson(pkg.Texts()).c_str());
    return 0;
  } else {
    throw EKwError(file + L": package kind '" + kind + L"' is not known to this version of kwpkg");
  }
  if (verb == L"check") return 0;
  std::printf("{\n  \"kind\": %s,\n  \"version\": %d,\n  \"description\": %s,\n  \"images\": [%s%s]\n}\n",
              Json(kind).c_str(), version, Json(description).c_str(), images.c_str(), images.empty() ? "" : "\n  ");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 || (String(argv[1]) != L"dump" && String(argv[1]) != L"check")) {
    std::fprintf(stderr, "usage: kwpkg dump FILE | kwpkg check FILE\n");
    return 2;
  }
  int status;
  try {
    KwInitMainUnit();
    status = Run(argv[1], argv[2]);
  } catch (const Exception& e) {
    String text = e.Message();
    // Errors raised inside the reader name the package; make sure the file is named too.
    if (text.find(ExtractFileName(argv[2])) == String::npos) text = String(argv[2]) + L": " + text;
    std::fprintf(stderr, "kwpkg: %s\n", UTF8Encode(text).c_str());
    status = 1;
  }
  KwDoneApplication();
  return status;
}
