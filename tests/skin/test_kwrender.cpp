// kwrender as a skin author runs it: a job renders into a PNG whose pixels are checked, and
// bad jobs fail with a message naming the call and member, a non-zero exit and no output.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "host/Imaging.h"
#include "host/Sysutils.h"
#include "host/Win.h"
#include "tests/support/Process.h"

using namespace kw;

namespace {

struct TRun {
  DWORD Exit = 0;
  std::string Err;
  bool Output = false;
};

String Dir() { return testsupport::ProgramFolder(); }

// Writes the job beside the test program, runs kwrender on it and collects what it says.
TRun Render(const std::string& job, const String& name = L"kwrender_job") {
  String jobFile = Dir() + name + L".json", out = Dir() + name + L".png";
  DeleteFileW(out.c_str());
  std::ofstream(jobFile.c_str(), std::ios::binary) << job;
  testsupport::TProgramRun p =
      testsupport::RunProgram(L"\"" + Dir() + L"kwrender.exe\" \"" + jobFile + L"\" \"" + out + L"\"");
  TRun run;
  run.Exit = p.Exit;
  run.Err = p.Started ? p.Output : "could not start kwrender";
  run.Output = FileExists(out);
  return run;
}

void ExpectRefused(const std::string& calls, std::initializer_list<const char*> says) {
  TRun r = Render("{\"width\": 20, \"height\": 20, \"calls\": [" + calls + "]}");
  EXPECT_NE(r.Exit, 0u) << calls;
  EXPECT_FALSE(r.Output) << calls;
  for (const char* s : says) EXPECT_NE(r.Err.find(s), std::string::npos) << "'" << s << "' missing in: " << r.Err;
}

}  // namespace

TEST(KwRender, RendersTheCallsIntoAPng) {
  TRun r = Render(R"({"width": 40, "height": 30, "background": "$00FF8000", "calls": [
    {"call": "KwDrawGradient", "r": [0, 0, 20, 10], "style": "bgsDown", "start": "clWhite", "end": "clBlack"},
    {"call": "KwDrawSolidShape", "r": [20, 10, 35, 25], "shape": "shaTriangle", "brushColor": "clRed",
     "penStyle": "pesClear"},
    {"call": "KwDrawShapeEx", "r": [0, 20, 10, 30], "brushColor": "clLime", "penColor": "clLime"}]})",
                  L"kwrender_good");
  ASSERT_EQ(r.Exit, 0u) << r.Err;
  ASSERT_TRUE(r.Output);
  TPngImage png;
  png.LoadFromFile(Dir() + L"kwrender_good.png");
  ASSERT_EQ(png.Width(), 40);
  ASSERT_EQ(png.Height(), 30);
  EXPECT_EQ(png.Pixels(39, 0), TColor(0xFF8000));
  EXPECT_EQ(png.Pixels(5, 0), clWhite);
  EXPECT_EQ(png.Pixels(5, 9), TColor(0x1A1A1A));
  // The triangle points right: apex at the right edge, middle row.
  EXPECT_EQ(png.Pixels(34, 17), clRed);
  EXPECT_EQ(png.Pixels(34, 11), TColor(0xFF8000));
  EXPECT_EQ(png.Pixels(5, 25), clLime);
}

TEST(KwRender, BadJobsNameTheCallAndMember) {
  ExpectRefused(R"({"call": "KwDrawNothing", "r": [0, 0, 5, 5]})", {"call 1 (KwDrawNothing)", "unknown routine"});
  ExpectRefused(R"({"call": "KwDrawBox", "r": [0, 0, 5, 5]}, {"call": "KwDrawBox", "r": [0, 0, 5, 5], "colour": "clRed"})",
                {"call 2 (KwDrawBox)", "member 'colour'", "unknown member"});
  ExpectRefused(R"({"call": "KwDrawGradient", "r": [0, 0, 5]})", {"call 1 (KwDrawGradient)", "member 'r'"});
  ExpectRefused(R"({"call": "KwDrawGradient", "r": [0, 0, 5, 5], "maxSteps": "8"})", {"member 'maxSteps'", "integer"});
  ExpectRefused(R"({"call": "KwDrawGradient", "r": [0, 0, 5, 5], "style": "bgsSideways"})",
                {"member 'style'", "bgsSideways", "TKwBackGroundStyle"});
  ExpectRefused(R"({"call": "KwDrawSolidShape", "r": [0, 0, 5, 5], "penColor": "clNoSuchColour"})",
                {"call 1 (KwDrawSolidShape)", "member 'penColor'", "clNoSuchColour"});
  ExpectRefused(R"({"call": "KwDrawBox", "r": [0, 0, 5, 5], "down": 1})", {"member 'down'"});
  ExpectRefused(R"({"call": "KwDrawGradient", "r": [0, 0, 5, 5], "image": {"file": "missing.png"}})",
                {"member 'image'", "cannot read", "missing.png"});
  ExpectRefused(R"({"call": "KwDrawGradient", "r": [0, 0, 5, 5], "image": {"file": "kwrender_job.json"}})",
                {"member 'image'", "application controller"});
  TRun r = Render(R"({"width": 0, "height": 20})");
  EXPECT_NE(r.Exit, 0u);
  EXPECT_NE(r.Err.find("width"), std::string::npos) << r.Err;
  r = Render("{\"width\": 20,");
  EXPECT_NE(r.Exit, 0u);
  EXPECT_FALSE(r.Output);
}

// The README shows the example jobs' pictures: kwrender must still draw them so.
TEST(KwRender, TheReadmeExamplesStillRenderAsShown) {
  for (const wchar_t* name : {L"gradients", L"shapes"}) {
    String job = L"..\\..\\examples\\render\\" + String(name) + L".json";
    String shown = L"..\\..\\examples\\render\\" + String(name) + L".png";
    String out = Dir() + L"readme_" + name + L".png";
    DeleteFileW(out.c_str());
    testsupport::TProgramRun p =
        testsupport::RunProgram(L"\"" + Dir() + L"kwrender.exe\" \"" + job + L"\" \"" + out + L"\"");
    ASSERT_EQ(p.Exit, 0u) << p.Output;
    TPngImage a, b;
    a.LoadFromFile(shown);
    b.LoadFromFile(out);
    TBitmap ba, bb;
    ba.Assign(&a);
    bb.Assign(&b);
    ASSERT_EQ(ba.Width(), bb.Width());
    ASSERT_EQ(ba.Height(), bb.Height());
    int different = 0;
    for (int y = 0; y < ba.Height(); ++y)
      for (int x = 0; x < ba.Width(); ++x)
        if (ba.Canvas()->Pixels(x, y) != bb.Canvas()->Pixels(x, y)) ++different;
    EXPECT_LE(different, 40) << UTF8Encode(name);
    DeleteFileW(out.c_str());
  }
}
