// kwpkg on the files the package tests make: dump's JSON fields for an image package, an IMKW
// file and a string package, check's verdict on sound and damaged files.
#include <gtest/gtest.h>

#include "host/Imaging.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Win.h"
#include "packages/Kwpkgimages.h"
#include "packages/Kwpkgstrings.h"
#include "tests/support/Process.h"

using namespace kw;
namespace ts = kw::testsupport;

namespace {

ts::TProgramRun Kwpkg(const String& verb, const String& file) {
  return ts::RunProgram(L"\"" + ts::ProgramFolder() + L"kwpkg.exe\" " + verb + L" \"" + file + L"\"");
}

void AddBitmap(TKwPkgImages* pkg, int id, int w, int h) {
  TBitmap bmp(w, h);
  bmp.SetPixelFormat(pf24bit);
  TBytesStream s;
  bmp.SaveToStream(s);
  pkg->Images()->Add(id)->LoadFromStream(s, TBitmap::StaticClass());
}

}  // namespace

TEST(Kwpkg, DumpsAndChecksImagePackagesAndIMKWFiles) {
  String pim = ts::ProgramFolder() + L"kwpkg_test.pim", imkw = ts::ProgramFolder() + L"kwpkg_test.imkw";
  Int64 bytes;
  {
    TKwPkgImages pkg(nullptr);
    pkg.SetDescription(L"Test \"glyphs\"");
    AddBitmap(&pkg, 4, 32, 8);
    AddBitmap(&pkg, 9, 5, 5);
    HRGN r = CreateRectRgn(0, 0, 3, 3);
    pkg.Images()->FindId(9)->CreateExternalMask(r);
    DeleteObject(r);
    pkg.Images()->FindId(9)->SetProtected(true);
    bytes = pkg.Images()->FindId(4)->GetSize();
    pkg.SaveToFile(pim);
    pkg.Images()->FindId(4)->SaveToFile(imkw);
  }
  ts::TProgramRun dump = Kwpkg(L"dump", pim);
  ASSERT_TRUE(dump.Started);
  EXPECT_EQ(dump.Exit, 0u) << dump.Output;
  const std::string& j = dump.Output;
  EXPECT_NE(j.find("\"kind\": \"KwPkgImages\""), std::string::npos) << j;
  EXPECT_NE(j.find("\"version\": 7"), std::string::npos);
  EXPECT_NE(j.find("\"description\": \"Test \\\"glyphs\\\"\""), std::string::npos) << j;
  EXPECT_NE(j.find("{\"id\": 4, \"width\": 32, \"height\": 8, \"graphic\": \"TBitmap\", \"bytes\": " +
                   std::to_string(bytes) + ", \"externalRegion\": 0, \"internalRegion\": 0, \"protected\": false}"),
            std::string::npos)
      << j;
  EXPECT_NE(j.find("\"id\": 9"), std::string::npos);
  EXPECT_EQ(j.find("\"externalRegion\": 0, \"internalRegion\": 0, \"protected\": true"), std::string::npos)
      << "image 9 has an outer region";
  EXPECT_NE(j.find("\"protected\": true"), std::string::npos);

  ts::TProgramRun one = Kwpkg(L"dump", imkw);
  EXPECT_EQ(one.Exit, 0u) << one.Output;
  EXPECT_NE(one.Output.find("\"kind\": \"KwPkgImage\""), std::string::npos) << one.Output;
  EXPECT_NE(one.Output.find("\"width\": 32"), std::string::npos);

  EXPECT_EQ(Kwpkg(L"check", pim).Exit, 0u);
  // Cut short: check fails and names the file.
  {
    TFileStream f(pim, fmOpenReadWrite);
    f.SetSize(f.Size() - 30);
  }
  ts::TProgramRun bad = Kwpkg(L"check", pim);
  EXPECT_EQ(bad.Exit, 1u);
  EXPECT_NE(bad.Output.find("kwpkg_test.pim"), std::string::npos) << bad.Output;
  ts::TProgramRun missing = Kwpkg(L"check", ts::ProgramFolder() + L"no_such.pim");
  EXPECT_EQ(missing.Exit, 1u);
  EXPECT_NE(missing.Output.find("no_such.pim"), std::string::npos) << missing.Output;
  DeleteFileW(pim.c_str());
  DeleteFileW(imkw.c_str());
}

TEST(Kwpkg, DumpsAndChecksStringPackages) {
  String pst = ts::ProgramFolder() + L"kwpkg_test.pst";
  {
    TKwPkgStrings pkg(nullptr);
    pkg.SetDescription(L"Captions");
    pkg.Labels()->Add(12, L"Open \"file\"", L"Opens\ta file")->SetProtected(true);
    pkg.Labels()->Add(3, L"Close");
    pkg.Messages()->Add(12, L"Disk full");
    pkg.Texts()->Add(0, L"Line 1\r\nLine 2");
    pkg.SaveToFile(pst);
  }
  ts::TProgramRun dump = Kwpkg(L"dump", pst);
  ASSERT_TRUE(dump.Started);
  EXPECT_EQ(dump.Exit, 0u) << dump.Output;
  const std::string& j = dump.Output;
  EXPECT_NE(j.find("\"kind\": \"KwPkgStrings\""), std::string::npos) << j;
  EXPECT_NE(j.find("\"version\": 5"), std::string::npos) << j;
  EXPECT_NE(j.find("\"description\": \"Captions\""), std::string::npos) << j;
  size_t labels = j.find("\"labels\""), messages = j.find("\"messages\""), texts = j.find("\"texts\"");
  ASSERT_NE(labels, std::string::npos) << j;
  ASSERT_NE(messages, std::string::npos) << j;
  ASSERT_NE(texts, std::string::npos) << j;
  size_t open = j.find("{\"id\": 12, \"text\": \"Open \\\"file\\\"\", \"hint\": \"Opens\\ta file\", \"protected\": true}");
  size_t close = j.find("{\"id\": 3, \"text\": \"Close\", \"hint\": \"\", \"protected\": false}");
  ASSERT_NE(open, std::string::npos) << j;
  ASSERT_NE(close, std::string::npos) << j;
  EXPECT_TRUE(labels < open && open < close && close < messages) << "labels in list order, under labels";
  size_t disk = j.find("{\"id\": 12, \"text\": \"Disk full\", \"protected\": false}");
  EXPECT_TRUE(disk != std::string::npos && messages < disk && disk < texts) << j;
  size_t line = j.find("{\"id\": 0, \"text\": \"Line 1\\r\\nLine 2\", \"protected\": false}");
  EXPECT_TRUE(line != std::string::npos && texts < line) << j;

  EXPECT_EQ(Kwpkg(L"check", pst).Exit, 0u);
  {
    TFileStream f(pst, fmOpenReadWrite);
    f.SetSize(f.Size() - 12);
  }
  ts::TProgramRun bad = Kwpkg(L"check", pst);
  EXPECT_EQ(bad.Exit, 1u);
  EXPECT_NE(bad.Output.find("kwpkg_test.pst"), std::string::npos) << bad.Output;
  DeleteFileW(pst.c_str());
}
