// formconv: converts a form file between the binary stream form and the text form, in the
// direction its content calls for. The conversion itself lives in host/Formtext.
#include <cstdio>
#include <exception>
#include <string>

#include "host/Exceptions.h"
#include "host/Formtext.h"
#include "host/Sysutils.h"

namespace {

void PrintError(const std::string& message) {
  std::fputs(("formconv: " + message + "\n").c_str(), stderr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: formconv INPUT OUTPUT\n"
               "  Converts a binary form (TPF0) to text, or a text form to binary.\n",
               stderr);
    return 2;
  }
  try {
    kw::TStreamOriginalFormat format = kw::ConvertFormFile(argv[1], argv[2]);
    std::string what = format == kw::sofBinary ? "binary to text" : "text to binary";
    std::fputs(("formconv: " + kw::UTF8Encode(argv[1]) + ": " + what + "\n").c_str(), stdout);
    return 0;
  } catch (const kw::Exception& e) {
    PrintError(e.what());
  } catch (const std::exception& e) {
    PrintError(e.what());
  } catch (...) {
    PrintError("unexpected failure");
  }
  return 1;
}
