// The package base and the image package: the common header, storage modes and paths, ids and
// frames, references resolving through an application controller the tests provide, the
// front-most package winning, IMKW files and the clipboard, safe saving and loading, and a
// fuzz loop over the readers.
#include <gtest/gtest.h>

#include <random>

#include "core/Kwlinks.h"
#include "host/Clipboard.h"
#include "host/Filer.h"
#include "host/Formtext.h"
#include "host/Imaging.h"
#include "host/Streams.h"
#include "host/Typreg.h"
#include "host/Sysutils.h"
#include "host/Win.h"
#include "packages/Kwexcept.h"
#include "packages/Kwpkgimages.h"

using namespace kw;

namespace {

TKwAppImages GApp;
const TKwAppImages* TestApp() { return &GApp; }

// A package kind of the tests' own, to see the base's paths and modes.
class TTestPkg : public TKwPkgInfo {
public:
  explicit TTestPkg(TComponent* owner, bool fileOnly = false) : TKwPkgInfo(owner, fileOnly) { SetDefaultExt(L"dis"); }
  int loads = 0;

protected:
  void xLoadFromStream(TReader& r) override {
    KwReadPackageHeader(r, L"KwPkgDisplay", 9, this, HeaderArg(), 18, 19);
    FDescription = r.ReadString();
    ++loads;
  }
  void xSaveToStream(TWriter& w) override {
    KwWritePackageHeader(w, L"KwPkgDisplay", 9);
    w.WriteString(FDescription);
  }
};

TBytes PngBytes(TColor color, int w, int h) {
  TBitmap bmp(w, h);
  bmp.Canvas()->Brush()->SetColor(color);
  bmp.Canvas()->FillRect(TRect(0, 0, w, h));
  TPngImage png;
  png.Assign(&bmp);
  TBytesStream s;
  png.SaveToStream(s);
  return s.Bytes();
}

TBytes BmpBytes(TColor color, int w, int h) {
  TBitmap bmp(w, h);
  bmp.SetPixelFormat(pf24bit);
  bmp.Canvas()->Brush()->SetColor(color);
  bmp.Canvas()->FillRect(TRect(0, 0, w, h));
  TBytesStream s;
  bmp.SaveToStream(s);
  return s.Bytes();
}

void LoadBytes(TKwPkgImagesImage* image, const TBytes& bytes, TGraphicClass cls) {
  TBytesStream s(bytes);
  image->LoadFromStream(s, cls);
}

TBytes NativeOf(TKwPkgImagesImage* image) {
  TBytesStream s;
  image->SaveToStream(s);
  return s.Bytes();
}

TBytes PackageBytes(TKwPkgInfo* pkg) {
  TBytesStream s;
  pkg->SaveToStream(s);
  return s.Bytes();
}

// A graphic that claims a size no 16-bit field holds (the host's bitmaps refuse such sizes).
class TWideGraphic : public TGraphic {
  KW_CLASS(TWideGraphic, TGraphic)
  int Width() const override { return 70000; }
  int Height() const override { return 2; }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  bool Empty() const override { return false; }
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream&) override {}

protected:
  void Draw(TCanvas&, const TRect&) override {}
};

String TempFile(const String& name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return String(dir) + name;
}

String ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return L"(no error)";
}

class PkgImagesTest : public ::testing::Test {
protected:
  void SetUp() override {
    KwInitMainUnit();
    KwSetAppImagesAccessor(&TestApp);
    GApp = {};
  }
  void TearDown() override {
    KwSetAppImagesAccessor(nullptr);
    GApp = {};
  }
};

}  // namespace

KW_REGISTER_CLASS(TWideGraphic, TGraphic)

TEST_F(PkgImagesTest, HeaderSignatureVersionsAndDescriptionReader) {
  TKwPkgImages pkg(nullptr);
  pkg.SetName(L"Images1");
  pkg.SetDescription(L"Glyphs");
  pkg.Images()->Add(3);
  TBytes bytes = PackageBytes(&pkg);
  ASSERT_GE(bytes.size(), 34u);
  EXPECT_EQ(bytes[0], 22) << "length of the signature";
  EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 23), std::string("\x01" "123456789" "\x01" "KwPkgImages"));
  for (int i = 23; i < 32; ++i) EXPECT_EQ(bytes[size_t(i)], 0) << "filler at " << i;
  EXPECT_EQ(bytes[32] | (bytes[33] << 8), 7);

  // Another letter case is the same signature.
  TBytes lower = bytes;
  for (int i = 12; i < 23; ++i) lower[size_t(i)] = Byte(std::tolower(lower[size_t(i)]));
  TKwPkgImages other(nullptr);
  TBytesStream ls(lower);
  other.LoadFromStream(ls);
  EXPECT_EQ(other.Description(), L"Glyphs");
  EXPECT_EQ(other.Images()->Count(), 1);

  // A newer version is refused with message 40, naming the stream, and nothing changes.
  TBytes newer = bytes;
  newer[32] = 8;
  TBytesStream ns(newer);
  EXPECT_EQ(ErrorOf([&] { other.LoadFromStream(ns); }), L"Stream was written by a newer version of the package format");
  EXPECT_EQ(other.Images()->Count(), 1);
  TBytes wrong = bytes;
  wrong[14] = 'X';
  TBytesStream ws(wrong);
  other.SetName(L"Other");
  EXPECT_EQ(ErrorOf([&] { other.LoadFromStream(ws); }), L"Other: Stream is not a package file of this kind");

  String file = TempFile(L"kw_desc.pim");
  pkg.SaveToFile(file);
  EXPECT_EQ(KwReadPkgImagesDescription(file), L"Glyphs");
  DeleteFileW(file.c_str());
}

TEST_F(PkgImagesTest, AVersionTwoFileLoadsWithTheNewerFieldsAtTheirDefaults) {
  // Hand-built: header version 2, description, one record without mask settings or inner region.
  TBytesStream s;
  {
    TWriter w(s);
    KwWritePackageHeader(w, L"KwPkgImages", 2);
    w.WriteString(L"old");
    w.WriteInteger(1);
    Byte raw[8] = {5, 0, 0, 0, 96, 0, 24, 0};
    w.Write(raw, 8);
    w.WriteString(L"TPngImage");
    w.WriteBoolean(false);
    TBytes png = PngBytes(clRed, 96, 24);
    w.WriteInteger(Int64(png.size()));
    w.Write(png.data(), Int64(png.size()));
    w.WriteInteger(0);  // no outer region
  }
  TKwPkgImages pkg(nullptr);
  pkg.LoadFromStream(s);
  ASSERT_EQ(pkg.Images()->Count(), 1);
  TKwPkgImagesImage* image = pkg.Images()->FindId(5);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Width(), 96);
  EXPECT_EQ(image->Frames(), 4);
  EXPECT_FALSE(image->MaskFlags[0]);
  EXPECT_TRUE(image->MaskFlags[1]);
  EXPECT_EQ(image->MaskParams[7], 1);
  EXPECT_FALSE(image->GetInternalMask());
  EXPECT_FALSE(image->Protected());
  EXPECT_EQ(pkg.EditorWindow.Left, 2147483647) << "window placements came in version 3";
}

TEST_F(PkgImagesTest, PathsModesAndFileOnly) {
  TTestPkg pkg(nullptr);
  String dir = KwAppPath();
  EXPECT_TRUE(SameText(pkg.GetFileName(L"standard"), dir + L"standard.dis"));
  EXPECT_TRUE(SameText(pkg.GetFileName(L"skin.bin"), dir + L"skin.bin")) << "an extension of its own stays";
  pkg.SetFileName(L"skin");
  EXPECT_EQ(pkg.FileName(), L"") << "in the form, a file name means nothing";
  pkg.SetInitMode(rimFILE);
  pkg.SetFileName(L"");
  EXPECT_EQ(pkg.InitMode(), rimFILE);
  EXPECT_FALSE(pkg.FileModified()) << "no file";
  pkg.SetInitMode(rimDFM);
  EXPECT_FALSE(pkg.FileModified()) << "in the form";

  TTestPkg fileOnly(nullptr, true);
  EXPECT_EQ(fileOnly.InitMode(), rimFILE);
  fileOnly.SetInitMode(rimDFM);
  EXPECT_EQ(fileOnly.InitMode(), rimFILE);
  EXPECT_EQ(ErrorOf([&] { fileOnly.LoadFromFile(L"  "); }), L"The file name is empty");
}

TEST_F(PkgImagesTest, IdsAndFrames) {
  TKwPkgImages pkg(nullptr);
  pkg.SetName(L"Pkg");
  TKwPkgImagesImages* images = pkg.Images();
  EXPECT_EQ(images->UniqueId(), 0);
  images->Add(0);
  images->Add(1);
  images->Add(3);
  EXPECT_EQ(images->UniqueId(), 2);
  images->Add(2);
  EXPECT_EQ(images->UniqueId(), 4);
  EXPECT_EQ(ErrorOf([&] { images->Add(10000); }), L"Pkg: Id 10000 is greater than 9999");
  EXPECT_EQ(ErrorOf([&] { images->Add(-1); }), L"Pkg: Id -1 is negative");
  EXPECT_EQ(ErrorOf([&] { images->Add(3); }), L"Pkg: Id 3 is already used");
  EXPECT_EQ(images->Count(), 4) << "a refused id adds nothing";
  EXPECT_EQ(ErrorOf([&] { images->FindId(1)->SetId(2); }), L"Pkg: Id 2 is already used");
  EXPECT_EQ(images->FindId(1)->Id(), 1) << "keeps its old id";
  images->FindId(1)->SetId(7);
  EXPECT_EQ(images->FindId(1), nullptr);
  EXPECT_EQ(images->FindId(7)->Id(), 7);
  EXPECT_EQ(images->UniqueId(), 1);

  EXPECT_EQ(TKwPkgImagesImage::FramesOf(96, 24), 4);
  EXPECT_EQ(TKwPkgImagesImage::FramesOf(120, 24), 1);
  EXPECT_EQ(TKwPkgImagesImage::FramesOf(50, 24), 1);
  EXPECT_EQ(TKwPkgImagesImage::FramesOf(40, 0), 1);
}

TEST_F(PkgImagesTest, ReferencesResolveLateFollowTheFrontMostPackageAndAreToldOfChanges) {
  TKwMemoryImage ref;
  ref.PkgId(L"Glyphs", 4);
  int changes = 0;
  ref.OnChange = [&](TObject*) { ++changes; };
  EXPECT_TRUE(ref.Empty());
  changes = 0;

  // A package created afterwards satisfies the reference when it gets the image.
  auto* first = new TKwPkgImages(nullptr);
  first->SetPkgName(L"glyphs");
  TKwPkgImagesImage* red = first->Images()->Add(4);
  LoadBytes(red, PngBytes(clRed, 16, 16), TPngImage::StaticClass());
  EXPECT_GE(changes, 1);
  ASSERT_EQ(ref.Info(), red);
  EXPECT_EQ(ref.Width(), 16);

  // A second package of the same name stays behind the first until activated.
  auto* second = new TKwPkgImages(nullptr);
  TKwPkgImagesImage* blue = second->Images()->Add(4);
  LoadBytes(blue, PngBytes(clBlue, 20, 20), TPngImage::StaticClass());
  second->SetPkgName(L"Glyphs");
  EXPECT_EQ(ref.Info(), red) << "renaming to an earlier package's name leaves it winning";
  changes = 0;
  second->SetActive(true);
  EXPECT_EQ(ref.Info(), blue);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(second->GetActive());
  EXPECT_FALSE(first->GetActive());

  // The image it shows goes: it falls back to the other package, and is told.
  changes = 0;
  delete second;
  EXPECT_EQ(ref.Info(), red);
  EXPECT_GE(changes, 1);
  delete first;
  EXPECT_EQ(ref.Info(), nullptr);

  // Without an application controller nothing resolves, and -1 is empty even with a default.
  KwSetAppImagesAccessor(nullptr);
  EXPECT_FALSE(ref.Defined());
  KwSetAppImagesAccessor(&TestApp);
  TKwMemoryImage none(L"Glyphs", 4, false);
  EXPECT_EQ(none.Id(), -1);
  EXPECT_TRUE(none.Empty());

  // "System" is the application controller's.
  TKwPkgImages system(nullptr);
  LoadBytes(system.Images()->Add(1), PngBytes(clLime, 8, 8), TPngImage::StaticClass());
  GApp.System = &system;
  TKwMemoryImage sys(L"System", 1, true);
  EXPECT_EQ(sys.Id(), -2);
  EXPECT_EQ(sys.Width(), 8) << "the default pair resolves while the id is -2";
  GApp = {};
  KwUnCheckAllImages(system.Images());
}

TEST_F(PkgImagesTest, NativeBytesSurviveAPackageFileByteForByte) {
  String file = TempFile(L"kw_native.pim");
  TBytes png = PngBytes(clRed, 12, 10), bmp = BmpBytes(clBlue, 9, 7);
  TBytes jpeg, gif;
  {
    TBitmap b(10, 10);
    TJPEGImage j;
    j.Assign(&b);
    TBytesStream s;
    j.SaveToStream(s);
    jpeg = s.Bytes();
    TGIFImage g;
    g.Assign(&b);
    TBytesStream t;
    g.SaveToStream(t);
    gif = t.Bytes();
  }
  {
    TKwPkgImages pkg(nullptr);
    LoadBytes(pkg.Images()->Add(0), png, TPngImage::StaticClass());
    LoadBytes(pkg.Images()->Add(1), bmp, TBitmap::StaticClass());
    LoadBytes(pkg.Images()->Add(2), jpeg, TJPEGImage::StaticClass());
    LoadBytes(pkg.Images()->Add(3), gif, TGIFImage::StaticClass());
    pkg.Images()->FindId(3)->SetProtected(true);
    HRGN r = CreateEllipticRgn(0, 0, 10, 10);
    pkg.Images()->FindId(0)->CreateExternalMask(r);
    DeleteObject(r);
    pkg.SaveToFile(file);
  }
  TKwPkgImages back(nullptr);
  back.LoadFromFile(file);
  ASSERT_EQ(back.Images()->Count(), 4);
  EXPECT_EQ(NativeOf(back.Images()->FindId(0)), png);
  EXPECT_EQ(NativeOf(back.Images()->FindId(1)), bmp);
  EXPECT_EQ(NativeOf(back.Images()->FindId(2)), jpeg);
  EXPECT_EQ(NativeOf(back.Images()->FindId(3)), gif);
  EXPECT_EQ(back.Images()->FindId(1)->Width(), 9);
  EXPECT_EQ(back.Images()->FindId(0)->GetGraphicName(), L"TPngImage");
  EXPECT_TRUE(back.Images()->FindId(3)->Protected());
  HRGN outer = back.Images()->FindId(0)->CreateExternalRgn();
  ASSERT_NE(outer, nullptr);
  EXPECT_TRUE(PtInRegion(outer, 5, 5));
  EXPECT_FALSE(PtInRegion(outer, 0, 0));
  KwDeleteObject(gkRegion, outer);
  DeleteFileW(file.c_str());
}

TEST_F(PkgImagesTest, SavingAndLoadingNeverLeaveHalfAFile) {
  String file = TempFile(L"kw_safe.pim");
  TKwPkgImages pkg(nullptr);
  LoadBytes(pkg.Images()->Add(0), PngBytes(clRed, 4, 4), TPngImage::StaticClass());
  pkg.SaveToFile(file);
  TBytes before;
  {
    TFileStream f(file, fmOpenRead);
    before.resize(size_t(f.Size()));
    f.Read(before.data(), f.Size());
  }
  pkg.Images()->Add(1);
  {
    // Held open without sharing: the new file cannot take its place.
    TFileStream lock(file, fmOpenRead | fmShareExclusive);
    EXPECT_THROW(pkg.SaveToFile(file), Exception);
  }
  TBytes after;
  {
    TFileStream f(file, fmOpenRead);
    after.resize(size_t(f.Size()));
    f.Read(after.data(), f.Size());
  }
  EXPECT_EQ(after, before);

  // A damaged file leaves the package as it was.
  TBytes cut(before.begin(), before.end() - 20);
  TBytesStream s(cut);
  int count = pkg.Images()->Count();
  EXPECT_THROW(pkg.LoadFromStream(s), EKwError);
  EXPECT_EQ(pkg.Images()->Count(), count);

  // An image too big for the file's 16-bit sizes is refused, not cut.
  TKwPkgImages big(nullptr);
  LoadBytes(big.Images()->Add(0), TBytes{1, 2, 3}, TWideGraphic::StaticClass());
  EXPECT_EQ(big.Images()->FindId(0)->Width(), 70000);
  TBytesStream out;
  EXPECT_THROW(big.SaveToStream(out), EKwError);
  DeleteFileW(file.c_str());
}

TEST_F(PkgImagesTest, IMKWFilesAndTheClipboard) {
  TKwPkgImages pkg(nullptr);
  TKwPkgImagesImage* image = pkg.Images()->Add(2);
  LoadBytes(image, PngBytes(clRed, 48, 24), TPngImage::StaticClass());
  HRGN r = CreateRectRgn(0, 0, 20, 20);
  image->CreateInternalMask(r);
  DeleteObject(r);
  image->MaskParams[3] = 9;
  String file = TempFile(L"kw_one.IMKW");
  image->SaveToFile(file);
  TKwPkgImagesImage* copy = pkg.Images()->Add(5);
  copy->LoadFromFile(file);
  EXPECT_EQ(copy->Id(), 5) << "an IMKW file leaves the id alone";
  EXPECT_EQ(NativeOf(copy), NativeOf(image));
  EXPECT_EQ(copy->MaskParams[3], 9);
  EXPECT_TRUE(copy->GetInternalMask());
  EXPECT_EQ(copy->Frames(), 2);
  DeleteFileW(file.c_str());
  EXPECT_EQ(ErrorOf([&] { copy->LoadFromFile(L"noextension"); }), L"The image file name has no extension");
  EXPECT_EQ(ErrorOf([&] { copy->LoadFromFile(L"x.zzz"); }), L"No graphic format is registered for the extension '.zzz'");

  // With a region the clipboard gets the IMKW format, and it comes back whole.
  image->SaveToClipBoard();
  EXPECT_TRUE(Clipboard()->HasFormat(KwClipboardFormatIMKW()));
  TKwPkgImagesImage* pasted = pkg.Images()->Add(6);
  pasted->LoadFromClipBoard();
  EXPECT_EQ(NativeOf(pasted), NativeOf(image));
  EXPECT_TRUE(pasted->GetInternalMask());
  // Without regions it is a plain picture the system knows.
  TKwPkgImagesImage* plain = pkg.Images()->Add(7);
  LoadBytes(plain, BmpBytes(clBlue, 6, 6), TBitmap::StaticClass());
  plain->SaveToClipBoard();
  EXPECT_FALSE(Clipboard()->HasFormat(KwClipboardFormatIMKW()));
  EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
  TKwPkgImagesImage* bitmap = pkg.Images()->Add(8);
  bitmap->LoadFromClipBoard();
  EXPECT_EQ(bitmap->Width(), 6);
  std::unique_ptr<TBitmap> b = bitmap->NewBitmap();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Canvas()->Pixels(3, 3), clBlue);
}

TEST_F(PkgImagesTest, ReadersSurviveDamagedInput) {
  TKwPkgImages pkg(nullptr);
  LoadBytes(pkg.Images()->Add(0), PngBytes(clRed, 8, 8), TPngImage::StaticClass());
  LoadBytes(pkg.Images()->Add(1), BmpBytes(clBlue, 4, 4), TBitmap::StaticClass());
  TBytes good = PackageBytes(&pkg);
  TBytesStream imkw;
  pkg.Images()->FindId(0)->SaveToStreamIMKW(imkw);
  TBytes goodImkw = imkw.Bytes();
  std::mt19937 rng(20261207);
  int refused = 0;
  for (int round = 0; round < 300; ++round) {
    const TBytes& base = round % 2 ? good : goodImkw;
    TBytes bad = base;
    int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      size_t at = 34 + rng() % (bad.size() - 34);
      switch (rng() % 3) {
        case 0: bad[at] = Byte(rng()); break;
        case 1: bad.resize(at); break;
        default: bad.insert(bad.begin() + long(at), 4, Byte(0xFF)); break;
      }
      if (bad.size() <= 34) break;
    }
    TBytesStream s(bad);
    try {
      if (round % 2) {
        TKwPkgImages target(nullptr);
        target.LoadFromStream(s);
      } else {
        TKwPkgImagesImage target(nullptr);
        target.LoadFromStreamIMKW(s);
      }
    } catch (const Exception&) {
      ++refused;
    }
  }
  EXPECT_GT(refused, 30) << "damage is noticed, not read as data";
}

namespace {

class TPkgRoot : public TComponent {
  KW_CLASS(TPkgRoot, TComponent)
  explicit TPkgRoot(TComponent* owner) : TComponent(owner) {}
};

std::string RootText(TComponent* root, TBytes* binary = nullptr) {
  TBytesStream bin;
  {
    TWriter w(bin);
    w.WriteRootComponent(root);
  }
  if (binary) *binary = bin.Bytes();
  bin.SetPosition(0);
  TBytesStream text;
  ObjectBinaryToText(bin, text);
  TBytes b = text.Bytes();
  return std::string(b.begin(), b.end());
}

}  // namespace

KW_REGISTER_CLASS(TPkgRoot, TComponent)

TEST_F(PkgImagesTest, FormStreamsCarryTheModeTheNameAndTheData) {
  TPkgRoot root(nullptr);
  root.SetName(L"Root");
  auto* pkg = new TKwPkgImages(&root);
  pkg->SetName(L"Images");
  pkg->SetPkgName(L"Glyphs");
  LoadBytes(pkg->Images()->Add(2), PngBytes(clRed, 6, 6), TPngImage::StaticClass());
  TBytes binary;
  std::string text = RootText(&root, &binary);
  EXPECT_NE(text.find("PkgName = 'Glyphs'"), std::string::npos) << text;
  EXPECT_NE(text.find("Data = {"), std::string::npos) << text;
  EXPECT_EQ(text.find("InitMode"), std::string::npos) << "rimDFM is not written";
  EXPECT_EQ(text.find("FileName"), std::string::npos);

  // Read back: the images come with the form.
  TPkgRoot back(nullptr);
  {
    TBytesStream in(binary);
    TReader r(in);
    r.ReadRootComponent(&back);
  }
  auto* copy = dynamic_cast<TKwPkgImages*>(back.FindComponent(L"Images"));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->PkgName(), L"Glyphs");
  ASSERT_NE(copy->Images()->FindId(2), nullptr);
  EXPECT_EQ(NativeOf(copy->Images()->FindId(2)), NativeOf(pkg->Images()->FindId(2)));
  EXPECT_FALSE(copy->Modified());
  EXPECT_TRUE(copy->KwEquals(pkg));

  // In a file of its own, the form keeps the mode and the name, and no content.
  pkg->SaveFileEx(L"kw_form_glyphs", rimFILE);
  EXPECT_EQ(pkg->InitMode(), rimFILE);
  EXPECT_FALSE(pkg->FileModified());
  text = RootText(&root);
  DeleteFileW(pkg->GetFileName(L"kw_form_glyphs").c_str());
  EXPECT_NE(text.find("InitMode = rimFILE"), std::string::npos) << text;
  EXPECT_NE(text.find("FileName = 'kw_form_glyphs'"), std::string::npos) << text;
  EXPECT_EQ(text.find("Data = {\r\n      "), std::string::npos) << "no bytes in the block";
  EXPECT_FALSE(copy->KwEquals(pkg)) << "another mode";
}

TEST_F(PkgImagesTest, APackageGoingAwayTellsItsReferencesOnceAndNoHandlerOfItsOwn) {
  auto* pkg = new TKwPkgImages(nullptr);
  pkg->SetPkgName(L"Going");
  for (int id = 0; id < 3; ++id) LoadBytes(pkg->Images()->Add(id), PngBytes(clRed, 4, 4), TPngImage::StaticClass());
  int packageChanges = 0;
  pkg->OnChange = [&](TObject*) { ++packageChanges; };
  std::vector<std::unique_ptr<TKwMemoryImage>> refs;
  int told = 0;
  for (int id = 0; id < 3; ++id) {
    refs.push_back(std::make_unique<TKwMemoryImage>());
    refs.back()->PkgId(L"Going", id);
    ASSERT_NE(refs.back()->Info(), nullptr);
    refs.back()->OnChange = [&](TObject*) { ++told; };
  }
  delete pkg;
  EXPECT_EQ(packageChanges, 0) << "no handler runs on a package half destroyed";
  EXPECT_EQ(told, 3) << "each reference hears once that its image went";
  for (auto& r : refs) EXPECT_EQ(r->Info(), nullptr);
}
