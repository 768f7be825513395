// The system image update: protected images keep their pixels and their flag through the merge,
// missing ids are added, the standard file is found in the installation's package folder, and
// the offer with its date check decides whether anything happens.
#include <gtest/gtest.h>

#include "core/Kwlinks.h"
#include "host/Imaging.h"
#include "host/Registry.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Win.h"
#include "packages/Kwsysimages.h"

using namespace kw;

namespace {

void Put(TKwPkgImages* pkg, int id, TColor color) {
  TBitmap bmp(8, 8);
  bmp.SetPixelFormat(pf24bit);
  bmp.Canvas()->Brush()->SetColor(color);
  bmp.Canvas()->FillRect(TRect(0, 0, 8, 8));
  TBytesStream s;
  bmp.SaveToStream(s);
  TKwPkgImagesImage* image = pkg->Images()->FindId(id);
  if (!image) image = pkg->Images()->Add(id);
  image->LoadFromStream(s, TBitmap::StaticClass());
}

TColor ColorOf(TKwPkgImages* pkg, int id) {
  std::unique_ptr<TBitmap> b = pkg->Images()->FindId(id)->NewBitmap();
  return b ? b->Canvas()->Pixels(4, 4) : clNone;
}

String GAsked;
bool GAnswer = true;
bool TestAsk(const String& title, const String& text) {
  GAsked = title + L"|" + text;
  return GAnswer;
}

// A temporary installation folder recorded where the installer would record it.
class TInstall {
public:
  TInstall() {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    Root = String(tmp) + L"kw_install_test";
    CreateDirectoryW(Root.c_str(), nullptr);
    CreateDirectoryW((Root + L"\\Packages").c_str(), nullptr);
    TRegistry reg;
    reg.OpenKey(L"Software\\KwSuite", true);
    reg.WriteString(L"InstallDir", Root);
  }
  ~TInstall() {
    TRegistry reg;
    reg.DeleteKey(L"Software\\KwSuite");
  }
  String Root;
};

}  // namespace

TEST(SystemImages, TheMergeKeepsProtectedImagesAndAddsMissingOnes) {
  KwInitMainUnit();
  TKwPkgImages mine(nullptr), fresh(nullptr);
  Put(&mine, 1, clRed);
  Put(&mine, 2, clRed);
  mine.Images()->FindId(2)->SetProtected(true);
  Put(&fresh, 1, clBlue);
  Put(&fresh, 2, clBlue);
  Put(&fresh, 5, clBlue);
  std::vector<int> steps;
  EXPECT_EQ(KwMergeSystemImages(&mine, &fresh, [&](int i) { steps.push_back(i); }), 2);
  EXPECT_EQ(steps, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(ColorOf(&mine, 1), clBlue);
  EXPECT_EQ(ColorOf(&mine, 2), clRed) << "protected";
  EXPECT_TRUE(mine.Images()->FindId(2)->Protected()) << "and still protected";
  ASSERT_NE(mine.Images()->FindId(5), nullptr);
  EXPECT_EQ(ColorOf(&mine, 5), clBlue);
}

TEST(SystemImages, TheFileComesFromTheInstallationAndTheOfferDecides) {
  KwInitMainUnit();
  TInstall install;
  String packages = install.Root + L"\\Packages\\";
  EXPECT_TRUE(SameText(KwInstallPackagesDir(), packages));
  EXPECT_TRUE(SameText(KwSystemImagesFile(L""), packages + L"Standard.dis"));
  EXPECT_TRUE(SameText(KwSystemImagesFile(L"Blue.dis"), packages + L"Blue.dis"));
  // A file missing elsewhere is taken from the installation when it is there.
  String there = packages + L"Std.dis";
  { TFileStream f(there, fmCreate); }
  EXPECT_TRUE(SameText(KwSystemImagesFile(L"C:\\nowhere\\Std.dis"), there));

  TKwPkgImages mine(nullptr);
  Put(&mine, 1, clRed);
  int loads = 0;
  auto loader = [&](const String& file) {
    ++loads;
    EXPECT_TRUE(SameText(file, there));
    auto pkg = std::make_unique<TKwPkgImages>(nullptr);
    Put(pkg.get(), 1, clBlue);
    return pkg;
  };
  KwSetAskUpdateProc(&TestAsk);
  TKwSystemImagesState state;
  GAnswer = false;
  EXPECT_FALSE(KwUpdateSystemImages(&mine, L"Std.dis", true, state, loader));
  EXPECT_EQ(loads, 0) << "declined";
  EXPECT_EQ(GAsked, L"Images Information:|" + KwSystemImagesNotice());
  EXPECT_NE(GAsked.find(L"click on the \"Later on\"  button"), String::npos);
  GAnswer = true;
  EXPECT_TRUE(KwUpdateSystemImages(&mine, L"Std.dis", true, state, loader));
  EXPECT_EQ(ColorOf(&mine, 1), clBlue);
  EXPECT_EQ(state.SourceFile, L"Std.dis") << "a file of the installation is named bare";
  EXPECT_GT(state.SourceDate, 0.0);
  // The same file again: not newer than what was merged, so no offer and no update.
  GAsked.clear();
  EXPECT_FALSE(KwUpdateSystemImages(&mine, L"Std.dis", true, state, loader));
  EXPECT_TRUE(GAsked.empty());
  EXPECT_EQ(loads, 1);
  KwSetAskUpdateProc(nullptr);
  DeleteFileW(there.c_str());
  RemoveDirectoryW(packages.c_str());
  RemoveDirectoryW(install.Root.c_str());
}
