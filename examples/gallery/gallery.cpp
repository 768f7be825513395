// The gallery: every host control in its states. Without a display it writes one PNG per
// form (into the gallery folder beside bin, or the folder given) and prints where; with
// --show it opens the windows and runs until the first form is closed.
#include <cstdio>

#include "examples/gallery/Gallery.h"
#include "host/Application.h"
#include "host/Imaging.h"
#include "host/Sysutils.h"
#include "host/Win.h"

using namespace kw;

int wmain(int argc, wchar_t** argv) {
  bool show = false;
  String out;
  for (int i = 1; i < argc; ++i) {
    String a = argv[i];
    if (a == L"--show") show = true;
    else out = a;
  }
  if (out.empty()) {
    String exe = Application()->ExeName();
    out = ExtractFilePath(ExcludeTrailingPathDelimiter(ExtractFilePath(exe))) + L"gallery";
  }
  int status = 0;
  try {
    std::vector<TForm*> forms = gallery::MakeForms();
    if (show) {
      Application()->SetMainForm(forms.front());
      for (TForm* f : forms) f->Show();
      Application()->Run();
    } else {
      ForceDirectories(out);
      for (TForm* f : forms) {
        auto bmp = gallery::RenderForm(f);
        TPngImage png;
        png.Assign(bmp.get());
        String file = IncludeTrailingPathDelimiter(out) + f->Name() + L".png";
        png.SaveToFile(file);
        std::printf("gallery: %s (%dx%d)\n", UTF8Encode(file).c_str(), bmp->Width(), bmp->Height());
      }
    }
    for (TForm* f : forms) delete f;
  } catch (const Exception& e) {
    std::fprintf(stderr, "gallery: %s\n", UTF8Encode(e.Message()).c_str());
    status = 1;
  }
  KwDoneApplication();
  return status;
}
