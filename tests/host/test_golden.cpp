// A painted scene against its golden image, and the golden check itself: one changed pixel
// is caught, and the failure pictures are written.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/Graphics.h"
#include "host/Sysutils.h"
#include "tests/support/Golden.h"

using namespace kw;
using kw::testsupport::MatchesGolden;

namespace {

void PaintScene(TBitmap& bmp) {
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(200, 120);
  TCanvas* c = bmp.Canvas();
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(Rect(0, 0, 200, 120));
  TRect bevel = Rect(4, 4, 196, 116);
  Frame3D(c, bevel, clBtnHighlight, clBtnShadow, 2);
  c->Brush()->SetStyle(bsFDiagonal);
  c->Brush()->SetColor(clNavy);
  c->Pen()->SetStyle(psDash);
  c->Pen()->SetColor(clMaroon);
  c->Ellipse(12, 12, 92, 62);
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clCream);
  c->Pen()->SetStyle(psSolid);
  c->Pen()->SetWidth(3);
  c->RoundRect(104, 12, 188, 62, 16, 16);
  c->Pen()->SetWidth(1);
  c->Font()->SetName(L"Liberation Sans");
  c->Font()->SetSize(10);
  c->Font()->SetStyle({fsBold});
  c->Brush()->SetStyle(bsClear);
  c->TextOut(14, 70, L"Bold");
  c->Font()->SetStyle({fsItalic, fsUnderline});
  c->TextOut(70, 70, L"Italic");
  TRect box = Rect(12, 90, 188, 110);
  c->Font()->SetStyle({});
  c->TextRect(box, L"centred", {tfCenter, tfSingleLine, tfVerticalCenter});
}

}  // namespace

TEST(GoldenImages, PaintedSceneMatchesItsGolden) {
  TBitmap bmp;
  PaintScene(bmp);
  EXPECT_TRUE(MatchesGolden(bmp, L"canvas_scene", 8, 0));
}

TEST(GoldenImages, TheCheckCatchesOneChangedPixelAndWritesItsPictures) {
  if (!FileExists(kw::testsupport::GoldenPath(L"canvas_scene"))) GTEST_SKIP() << "no golden yet";
  // Updating would take the changed pixel into the golden.
  if (const char* v = std::getenv("KW_UPDATE_GOLDENS"); v && *v == '1') GTEST_SKIP() << "updating goldens";
  TBitmap bmp;
  PaintScene(bmp);
  bmp.Canvas()->SetPixels(100, 100, clLime);
  DeleteFile(kw::testsupport::FailurePath(L"canvas_scene", L".diff"));
  EXPECT_FALSE(MatchesGolden(bmp, L"canvas_scene", 8, 0));
  EXPECT_TRUE(FileExists(kw::testsupport::FailurePath(L"canvas_scene", L".diff")));
  EXPECT_TRUE(MatchesGolden(bmp, L"canvas_scene", 8, 1));
}
