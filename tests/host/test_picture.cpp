// TPicture: loading by extension, the format registries and their filter texts, the graphic
// accessors, the "Data" defined property inside a form stream, and clipboard round trips.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "host/Bitmap.h"
#include "host/Clipboard.h"
#include "host/Iconmeta.h"
#include "host/Imaging.h"
#include "host/Picture.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

#undef RegisterClipboardFormat  // shares its name with the registry method

namespace kw {

// A component publishing a picture, as a form's image control would.
class TPictureHolder : public TComponent {
  KW_CLASS(TPictureHolder, TComponent)
  explicit TPictureHolder(TComponent* owner) : TComponent(owner) {}
  TPicture* Picture() const { return FPicture.get(); }
  void SetPicture(TPicture* value) { FPicture->Assign(value); }
  int Tail() const { return FTail; }
  void SetTail(int v) { FTail = v; }

private:
  std::unique_ptr<TPicture> FPicture = std::make_unique<TPicture>();
  int FTail = 0;
};

// A format a later unit might add, to check registration and removal.
class TPngVariant : public TPngImage {
  KW_CLASS(TPngVariant, TPngImage)
  TPngVariant() = default;
};

KW_BEGIN_CLASS(TPictureHolder, TComponent) {
  b.Prop(L"Picture", &TPictureHolder::Picture, &TPictureHolder::SetPicture);
  b.Prop(L"Tail", &TPictureHolder::Tail, &TPictureHolder::SetTail).Default(0);
}
KW_REGISTER_CLASS(TPngVariant, TPngImage)

namespace {

class PictureTest : public ::testing::Test {
protected:
  void SetUp() override { FStart = KwGdiTotal(); }
  void TearDown() override { EXPECT_EQ(KwGdiTotal(), FStart) << "GDI objects leaked"; }
  int FStart = 0;
};

String TempFile(const String& name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return String(dir) + L"kwpic_" + name;
}

// 6 x 4, alpha 128 at (2, 1), colour (10, 200, 30) there.
void MakePng(TPngImage& png) {
  png.CreateBlank(COLOR_RGBALPHA, 8, 6, 4);
  for (int y = 0; y < 4; ++y) std::memset(png.AlphaScanline(y), 255, 6);
  png.AlphaScanline(1)[2] = 128;
  png.SetPixels(2, 1, TColor(KwRGB(10, 200, 30)));
}

void ExpectPngSample(TGraphic* g) {
  auto* png = dynamic_cast<TPngImage*>(g);
  ASSERT_NE(png, nullptr) << (g ? "wrong graphic class" : "no graphic");
  EXPECT_EQ(png->Width(), 6);
  EXPECT_EQ(png->Height(), 4);
  ASSERT_NE(png->AlphaScanline(1), nullptr);
  EXPECT_EQ(png->AlphaScanline(1)[2], 128);
  EXPECT_EQ(png->AlphaScanline(0)[0], 255);
  EXPECT_EQ(ColorToRGB(png->Pixels(2, 1)), KwRGB(10, 200, 30));
}

using PictureFiles = PictureTest;

TEST_F(PictureFiles, LoadsByExtensionCaseInsensitively) {
  TPngImage png;
  MakePng(png);
  const String pngName = TempFile(L"a.PNG");
  png.SaveToFile(pngName);
  TBitmap bmp;
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(5, 3);
  const String jpgName = TempFile(L"b.Jpg");
  TJPEGImage jpeg;
  jpeg.Assign(&bmp);
  jpeg.SaveToFile(jpgName);

  TPicture pic;
  int changes = 0;
  pic.OnChange = [&](TObject*) { ++changes; };
  pic.LoadFromFile(pngName);
  ExpectPngSample(pic.Graphic());
  EXPECT_GE(changes, 1);
  pic.LoadFromFile(jpgName);
  EXPECT_EQ(pic.Graphic()->ClassType(), TJPEGImage::StaticClass());
  EXPECT_EQ(pic.Width(), 5);

  // A metafile saved under .wmf is a placeable metafile and loads back as one.
  pic.Metafile()->SetWidth(10);
  pic.Metafile()->SetHeight(10);
  { TMetafileCanvas c(pic.Metafile(), nullptr); c.Rectangle(0, 0, 10, 10); }
  const String wmfName = TempFile(L"c.wmf");
  pic.SaveToFile(wmfName);
  TPicture wmf;
  wmf.LoadFromFile(wmfName);
  ASSERT_NE(dynamic_cast<TMetafile*>(wmf.Graphic()), nullptr);
  EXPECT_FALSE(wmf.Metafile()->Enhanced());

  try {
    pic.LoadFromFile(TempFile(L"x.xyz"));
    ADD_FAILURE() << "no exception";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), L"Unknown picture file extension (.xyz)");
  }
  // A file that does not decode leaves the picture as it was.
  const String bad = TempFile(L"bad.gif");
  TBytesStream junk(TBytes{'G', 'I', 'F', '8', '9', 'a', 1, 2, 3, 4, 5, 6, 7, 8, 9});
  junk.SaveToFile(bad);
  EXPECT_THROW(pic.LoadFromFile(bad), EInvalidGraphic);
  EXPECT_NE(dynamic_cast<TMetafile*>(pic.Graphic()), nullptr);
  for (const String& f : {pngName, jpgName, wmfName, bad}) DeleteFile(f);
}

using PictureRegistry = PictureTest;

TEST_F(PictureRegistry, StartFormatsFiltersAndExtensions) {
  EXPECT_EQ(TPicture::FileFormatClass(L"bmp"), TBitmap::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass(L".JPEG"), TJPEGImage::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass(L"ico"), TIcon::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass(L"wmf"), TMetafile::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass(L"gif"), TGIFImage::StaticClass());
  EXPECT_EQ(TPicture::GraphicExtension(TJPEGImage::StaticClass()), L"jpg");
  EXPECT_EQ(TPicture::GraphicExtension(TPngImage::StaticClass()), L"png");
  EXPECT_EQ(TPicture::GraphicFilter(TMetafile::StaticClass()),
            L"All (*.emf;*.wmf)|*.emf;*.wmf|Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf");
  const String all = TPicture::GraphicFilter(TGraphic::StaticClass());
  // The host's own formats first; the library's layers may register more after them.
  EXPECT_EQ(all.rfind(L"All (*.bmp;*.ico;*.emf;*.wmf;*.jpeg;*.jpg;*.png;*.gif", 0), 0u) << all;
  EXPECT_NE(all.find(L"|Portable Network Graphics (*.png)|*.png"), String::npos);
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_DIB));
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_PNG()));
  EXPECT_FALSE(TPicture::SupportsClipboardFormat(CF_TEXT));
}

TEST_F(PictureRegistry, RegisteringAndUnregisteringADerivedClass) {
  const Word format = Word(KwRegisterClipboardFormat(L"KwTestPngVariant"));
  TPicture::RegisterFileFormat(L"pngv", L"PNG variant", TPngVariant::StaticClass());
  TPicture::RegisterClipboardFormat(format, TPngVariant::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass(L"PNGV"), TPngVariant::StaticClass());
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(format));
  EXPECT_NE(TPicture::GraphicFilter(TPngImage::StaticClass()).find(L"PNG variant (*.pngv)|*.pngv"), String::npos);

  TPicture::UnregisterGraphicClass(TPngVariant::StaticClass());
  EXPECT_EQ(TPicture::FileFormatClass(L"pngv"), nullptr);
  EXPECT_FALSE(TPicture::SupportsClipboardFormat(format));
  EXPECT_EQ(TPicture::FileFormatClass(L"png"), TPngImage::StaticClass());  // the base stays
  EXPECT_EQ(TPicture::GraphicFilter(TPngVariant::StaticClass()), L"");
}

using PictureGraphic = PictureTest;

TEST_F(PictureGraphic, AccessorsReplaceTheKindAndSetGraphicCopies) {
  TPicture pic;
  TPngImage png;
  MakePng(png);
  pic.SetGraphic(&png);
  ASSERT_NE(pic.Graphic(), &png);
  ExpectPngSample(pic.Graphic());
  png.SetPixels(0, 0, clRed);  // the copy does not follow the original
  EXPECT_NE(ColorToRGB(dynamic_cast<TPngImage*>(pic.Graphic())->Pixels(0, 0)), KwRGB(255, 0, 0));

  int changes = 0;
  pic.OnChange = [&](TObject*) { ++changes; };
  TBitmap* bmp = pic.Bitmap();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(pic.Graphic(), bmp);
  EXPECT_TRUE(bmp->Empty());
  EXPECT_EQ(pic.Bitmap(), bmp);  // already a bitmap: kept
  bmp->SetSize(3, 2);             // changes of the graphic reach the picture
  EXPECT_GE(changes, 2);
  EXPECT_EQ(pic.Width(), 3);
  EXPECT_NE(pic.Icon(), nullptr);
  EXPECT_EQ(pic.Graphic()->ClassType(), TIcon::StaticClass());

  TPicture other;
  other.Assign(&pic);
  EXPECT_EQ(other.Graphic()->ClassType(), TIcon::StaticClass());
  other.Assign(nullptr);
  EXPECT_EQ(other.Graphic(), nullptr);
  EXPECT_EQ(other.Width(), 0);
}

using PictureStreaming = PictureTest;

TEST_F(PictureStreaming, DataPropertyRoundTripsInsideAFormStream) {
  TPictureHolder holder(nullptr);
  holder.SetName(L"Image1");
  TPngImage png;
  MakePng(png);
  holder.Picture()->SetGraphic(&png);
  holder.SetTail(7);
  TMemoryStream s;
  s.WriteComponent(&holder);

  // The binary value holds the class name as a short string, then the PNG file.
  const Byte* mem = static_cast<const Byte*>(s.Memory());
  const std::string raw(reinterpret_cast<const char*>(mem), size_t(s.Size()));
  const size_t at = raw.find("\x09TPngImage\x89PNG");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NE(raw.find("Picture.Data"), std::string::npos);

  s.SetPosition(0);
  TPictureHolder back(nullptr);
  s.ReadComponent(&back);
  ExpectPngSample(back.Picture()->Graphic());
  EXPECT_EQ(back.Tail(), 7);  // the value after the picture is still read

  // A picture without a graphic writes no Data.
  TPictureHolder empty(nullptr);
  TMemoryStream e;
  e.WriteComponent(&empty);
  const std::string rawEmpty(static_cast<const char*>(e.Memory()), size_t(e.Size()));
  EXPECT_EQ(rawEmpty.find("Picture.Data"), std::string::npos);
}

TEST_F(PictureStreaming, UnknownClassNameRaisesInvalidGraphic) {
  TPictureHolder holder(nullptr);
  TPngImage png;
  MakePng(png);
  holder.Picture()->SetGraphic(&png);
  TMemoryStream s;
  s.WriteComponent(&holder);
  // Rename the class in place to one nobody registered (same length).
  Byte* mem = static_cast<Byte*>(s.Memory());
  std::string raw(reinterpret_cast<const char*>(mem), size_t(s.Size()));
  const size_t at = raw.find("TPngImage");
  ASSERT_NE(at, std::string::npos);
  std::memcpy(mem + at, "TXyzImage", 9);
  s.SetPosition(0);
  TPictureHolder back(nullptr);
  try {
    s.ReadComponent(&back);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find(L"Unknown graphic class TXyzImage"), String::npos) << e.what();
  }
}

using PictureClipboard = PictureTest;

TEST_F(PictureClipboard, PngAndBitmapRoundTrip) {
  TPicture pic;
  TPngImage png;
  MakePng(png);
  pic.SetGraphic(&png);
  Clipboard()->Assign(&pic);
  EXPECT_TRUE(Clipboard()->HasFormat(CF_PNG()));
  TPicture back;
  back.Assign(Clipboard());
  ExpectPngSample(back.Graphic());

  TBitmap bmp;
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(4, 4);
  bmp.Canvas()->Brush()->SetColor(TColor(KwRGB(0, 128, 255)));
  bmp.Canvas()->FillRect(Rect(0, 0, 4, 4));
  Clipboard()->Assign(&bmp);
  back.Assign(Clipboard());
  auto* got = dynamic_cast<TBitmap*>(back.Graphic());
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->Width(), 4);
  EXPECT_EQ(ColorToRGB(got->Canvas()->Pixels(2, 2)), KwRGB(0, 128, 255));
  // A graphic destination takes the first format of its own class.
  TBitmap direct;
  direct.Assign(Clipboard());
  EXPECT_EQ(direct.Height(), 4);

  Clipboard()->SetAsText(L"no picture");
  EXPECT_THROW(back.Assign(Clipboard()), EConvertError);
  EXPECT_THROW(pic.LoadFromClipboardFormat(CF_TEXT, nullptr, nullptr), EInvalidGraphic);
  Clipboard()->Clear();
}

}  // namespace
}  // namespace kw
