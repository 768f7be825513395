// Golden-image comparison: both pictures as 32-bit rows, channel by channel.
#include "tests/support/Golden.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "host/Imaging.h"
#include "host/Sysutils.h"

namespace kw::testsupport {

namespace {

// The tests run in tests/<folder>, so the goldens are one folder up.
String SourceTests() { return ExpandFileName(GetCurrentDir() + L"\\..\\"); }

bool UpdateWanted() {
  const char* v = std::getenv("KW_UPDATE_GOLDENS");
  return v && std::strcmp(v, "1") == 0;
}

std::unique_ptr<TBitmap> As32(TBitmap& source) {
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(&source);
  copy->SetPixelFormat(pf32bit);
  copy->SetAlphaFormat(afIgnored);
  return copy;
}

void SavePng(TBitmap& bmp, const String& file) {
  ForceDirectories(ExtractFileDir(file));
  TPngImage png;
  png.Assign(&bmp);
  png.SaveToFile(file);
}

}  // namespace

String GoldenPath(const String& name) { return SourceTests() + L"golden\\" + name + L".png"; }

String FailurePath(const String& name, const String& suffix) {
  return ExpandFileName(ExtractFilePath(GetModuleFileNameStr(nullptr)) + L"..\\golden-failures\\" + name + suffix +
                        L".png");
}

::testing::AssertionResult MatchesGolden(TBitmap& actual, const String& name, int tolerance, int maxDifferent) {
  String path = GoldenPath(name);
  auto mine = As32(actual);
  if (!FileExists(path)) {
    if (UpdateWanted()) {
      SavePng(*mine, path);
      return ::testing::AssertionSuccess() << "wrote new golden " << UTF8Encode(path);
    }
    return ::testing::AssertionFailure() << "no golden " << UTF8Encode(path)
                                         << " (run with KW_UPDATE_GOLDENS=1 to write it)";
  }
  TPngImage png;
  png.LoadFromFile(path);
  auto golden = As32(*png.Bitmap());
  if (golden->Width() != mine->Width() || golden->Height() != mine->Height()) {
    if (UpdateWanted()) {
      SavePng(*mine, path);
      return ::testing::AssertionSuccess() << "rewrote golden " << UTF8Encode(path);
    }
    SavePng(*mine, FailurePath(name, L".actual"));
    return ::testing::AssertionFailure() << "size " << mine->Width() << "x" << mine->Height() << " against golden "
                                         << golden->Width() << "x" << golden->Height();
  }
  int w = mine->Width(), h = mine->Height();
  TBitmap diff(w, h);
  diff.SetPixelFormat(pf32bit);
  int different = 0, worst = 0;
  for (int y = 0; y < h; ++y) {
    auto* a = static_cast<const Byte*>(mine->ScanLine(y));
    auto* g = static_cast<const Byte*>(golden->ScanLine(y));
    auto* d = static_cast<Byte*>(diff.ScanLine(y));
    for (int x = 0; x < w; ++x) {
      int delta = 0;
      for (int c = 0; c < 3; ++c) delta = std::max(delta, std::abs(int(a[x * 4 + c]) - int(g[x * 4 + c])));
      worst = std::max(worst, delta);
      bool off = delta > tolerance;
      different += off;
      // Differences in red over a faded copy of the actual picture.
      for (int c = 0; c < 3; ++c) d[x * 4 + c] = off ? (c == 2 ? 255 : 0) : Byte(192 + a[x * 4 + c] / 4);
      d[x * 4 + 3] = 255;
    }
  }
  if (different <= maxDifferent) return ::testing::AssertionSuccess();
  if (UpdateWanted()) {
    SavePng(*mine, path);
    return ::testing::AssertionSuccess() << "rewrote golden " << UTF8Encode(path);
  }
  SavePng(*mine, FailurePath(name, L".actual"));
  SavePng(diff, FailurePath(name, L".diff"));
  return ::testing::AssertionFailure() << different << " pixels differ from " << UTF8Encode(path)
                                       << " (largest channel difference " << worst << "); see "
                                       << UTF8Encode(FailurePath(name, L".diff"));
}

}  // namespace kw::testsupport
