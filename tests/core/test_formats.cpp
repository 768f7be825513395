// Graphic formats: the format registry's order and lookups, the clipboard-format list and a
// real clipboard round trip, JPEG quality, TKwPicture's byte layout checked against hand-built
// bytes, and a bounded fuzz of its reader. The IMKW class is registered by a later layer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>

#include "core/Kwformatgraphics.h"
#include "host/Bitmap.h"
#include "host/Clipboard.h"
#include "host/Iconmeta.h"
#include "host/Imaging.h"
#include "host/Streams.h"
#include "host/Stringlist.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace {

// The largest single allocation while the fuzz watches, to catch a reader that trusts a count.
std::atomic<bool> GWatchAllocations{false};
std::atomic<std::size_t> GLargestAllocation{0};

}  // namespace

void* operator new(std::size_t size) {
  if (GWatchAllocations.load(std::memory_order_relaxed) && size > GLargestAllocation.load(std::memory_order_relaxed))
    GLargestAllocation = size;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace kw {

// Graphics of the tests' own, so registrations can come and go without touching the host's.
class TFmtTestGraphic : public TBitmap {
  KW_CLASS(TFmtTestGraphic, TBitmap)
};
class TFmtTestOther : public TBitmap {
  KW_CLASS(TFmtTestOther, TBitmap)
};
class TFmtTestDerived : public TFmtTestGraphic {
  KW_CLASS(TFmtTestDerived, TFmtTestGraphic)
};
KW_REGISTER_CLASS(TFmtTestGraphic, TBitmap)
KW_REGISTER_CLASS(TFmtTestOther, TBitmap)
KW_REGISTER_CLASS(TFmtTestDerived, TFmtTestGraphic)

// A bitmap class whose name is 70 characters long.
const wchar_t* const KLongName = L"TFmtBitmapWhoseClassNameIsFarLongerThanAnyShortStringOfThisStreamHolds";
class TFmtLongName : public TBitmap {
  KW_CLASS(TFmtLongName, TBitmap)
};
TClass TFmtLongName::StaticClass() {
  static TMetaClass meta(KLongName, TBitmap::StaticClass(), KwFactory<TFmtLongName>(), nullptr);
  return &meta;
}

namespace {

TBytes BytesOf(TStream& stream) {
  TBytes bytes(size_t(stream.Size()));
  stream.SetPosition(0);
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), Int64(bytes.size()));
  return bytes;
}

TBytes SavedBy(TGraphic& graphic) {
  TMemoryStream s;
  graphic.SaveToStream(s);
  return BytesOf(s);
}

void Append(TBytes& to, const TBytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }
void AppendName(TBytes& to, const std::string& name) {
  to.push_back(Byte(name.size()));
  to.insert(to.end(), name.begin(), name.end());
}
void AppendDbHeader(TBytes& to, Cardinal count) {
  Append(to, {1, 0, 0, 1, Byte(count), Byte(count >> 8), Byte(count >> 16), Byte(count >> 24)});
}

// A small 24-bit bitmap whose every pixel differs, so a lost row or column shows.
void Paint(TBitmap& bmp, int w = 5, int h = 3) {
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bmp.Canvas()->SetPixels(x, y, TColor(KwRGB(40 * x, 80 * y, 200 - 10 * x)));
}

void ExpectPainted(TGraphic* graphic, int w = 5, int h = 3) {
  auto* bmp = dynamic_cast<TBitmap*>(graphic);
  ASSERT_NE(bmp, nullptr);
  ASSERT_EQ(bmp->Width(), w);
  ASSERT_EQ(bmp->Height(), h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ASSERT_EQ(ColorToRGB(bmp->Canvas()->Pixels(x, y)), KwRGB(40 * x, 80 * y, 200 - 10 * x)) << x << "," << y;
}

void Load(TKwPicture& picture, const TBytes& bytes) {
  TBytesStream s(bytes);
  picture.LoadFromStream(s);
}

TEST(FormatRegistry, StartsWithTheHostFormatsInTheirOrder) {
  const std::vector<TKwFormatGraphic> list = KwFormatGraphicList();
  const TKwFormatGraphic expected[] = {
      {L"bmp", L"Bitmap", TBitmap::StaticClass()},     {L"ico", L"Icon", TIcon::StaticClass()},
      {L"wmf", L"Metafile", TMetafile::StaticClass()}, {L"emf", L"Metafile", TMetafile::StaticClass()},
      {L"jpeg", L"JPeg", TJPEGImage::StaticClass()},   {L"jpg", L"JPeg", TJPEGImage::StaticClass()},
      {L"gif", L"Gif", TGIFImage::StaticClass()},      {L"png", L"Png", TPngImage::StaticClass()},
  };
  ASSERT_GE(list.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(list[i].Extension, expected[i].Extension) << i;
    EXPECT_EQ(list[i].Description, expected[i].Description) << i;
    EXPECT_EQ(list[i].GraphicClass, expected[i].GraphicClass) << i;
  }

  // Each class once, in registration order, replacing what the list held.
  TStringList names;
  names.Add(L"stale");
  KwFormatGraphics(&names);
  const wchar_t* classes[] = {L"TBitmap", L"TIcon", L"TMetafile", L"TJPEGImage", L"TGIFImage", L"TPngImage"};
  ASSERT_GE(names.Count(), int(std::size(classes)));
  for (size_t i = 0; i < std::size(classes); ++i) EXPECT_EQ(names.Get(int(i)), classes[i]) << i;
  EXPECT_EQ(names.IndexOf(L"stale"), -1);
}

TEST(FormatRegistry, LookupsIgnoreCaseBlanksAndOneDot) {
  EXPECT_EQ(KwFindGraphicFileExt(L"jpg"), TJPEGImage::StaticClass());
  EXPECT_EQ(KwFindGraphicFileExt(L".JPG "), KwFindGraphicFileExt(L"jpg"));
  EXPECT_EQ(KwFindGraphicFileExt(L" Png"), TPngImage::StaticClass());
  EXPECT_EQ(KwFindGraphicFileExt(L"..jpg"), nullptr);
  EXPECT_EQ(KwFindGraphicFileExt(L""), nullptr);
  EXPECT_EQ(KwFindGraphicFileExt(L"tiff"), nullptr);

  EXPECT_EQ(KwFindGraphicClass(L"tpngimage"), TPngImage::StaticClass());
  EXPECT_EQ(KwFindGraphicClass(L"TMETAFILE"), TMetafile::StaticClass());
  EXPECT_EQ(KwFindGraphicClass(L"TGraphic"), nullptr);
  EXPECT_EQ(KwFindGraphicClass(L""), nullptr);

  EXPECT_EQ(KwFindGraphicDescription(TIcon::StaticClass()), L"Icon");
  EXPECT_EQ(KwFindGraphicDescription(TGIFImage::StaticClass()), L"Gif");
  EXPECT_EQ(KwFindGraphicDescription(TFmtTestOther::StaticClass()), L"");
  EXPECT_EQ(KwGraphicExtension(TPngImage::StaticClass()), L"png");
  EXPECT_EQ(KwGraphicExtension(TBitmap::StaticClass()), L"bmp");
}

TEST(FormatRegistry, ASecondRegistrationWaitsUntilTheFirstIsRemoved) {
  const TClass first = TFmtTestGraphic::StaticClass();
  const TClass second = TFmtTestOther::StaticClass();
  const TClass derived = TFmtTestDerived::StaticClass();
  KwRegisterFormatGraphic(L"kwt", L"First", first);
  KwRegisterFormatGraphic(L"kwt", L"Second", second);
  KwRegisterFormatGraphic(L"kwd", L"Derived", derived);
  KwRegisterFormatGraphic(L"kwu", L"First again", first);
  EXPECT_EQ(KwFindGraphicFileExt(L"KWT"), first);
  EXPECT_EQ(KwFindGraphicDescription(first), L"First");
  EXPECT_EQ(KwFindGraphicDescription(second), L"Second");

  TStringList names;
  KwFormatGraphics(&names);
  const int at = names.IndexOf(L"TFmtTestGraphic");
  ASSERT_GE(at, 0);
  EXPECT_EQ(names.IndexOf(L"TFmtTestOther"), at + 1);
  EXPECT_EQ(names.IndexOf(L"TFmtTestDerived"), at + 2);
  EXPECT_EQ(names.Count(), at + 3) << "a class registered twice is named once";

  // Unregistering takes that class only, every registration of it, and not its descendants.
  KwUnRegisterFormatGraphic(first);
  EXPECT_EQ(KwFindGraphicFileExt(L"kwt"), second);
  EXPECT_EQ(KwFindGraphicFileExt(L"kwu"), nullptr);
  EXPECT_EQ(KwFindGraphicFileExt(L"kwd"), derived);
  EXPECT_EQ(KwFindGraphicClass(L"TFmtTestGraphic"), nullptr);
  KwUnRegisterFormatGraphic(second);
  KwUnRegisterFormatGraphic(derived);
  EXPECT_EQ(KwFindGraphicFileExt(L"kwt"), nullptr);
  EXPECT_EQ(KwFindGraphicFileExt(L"bmp"), TBitmap::StaticClass());
}

TEST(ClipFormats, PairsAnswerLatestFirstAndRemoveTakesDescendants) {
  TKwClipFormats list;
  EXPECT_EQ(list.FindFormat(Word(CF_METAFILEPICT)), TMetafile::StaticClass());
  EXPECT_EQ(list.FindFormat(Word(CF_ENHMETAFILE)), TMetafile::StaticClass());
  EXPECT_EQ(list.FindFormat(Word(CF_BITMAP)), TBitmap::StaticClass());
  EXPECT_EQ(list.FindFormat(Word(CF_DIB)), nullptr);
  EXPECT_EQ(list.FindGraphicClass(TMetafile::StaticClass()), Word(CF_ENHMETAFILE));
  EXPECT_EQ(list.FindGraphicClass(TPngImage::StaticClass()), 65535);

  list.Add(Word(CF_BITMAP), TFmtTestDerived::StaticClass());
  list.Add(Word(CF_DIB), TFmtTestGraphic::StaticClass());
  EXPECT_EQ(list.FindFormat(Word(CF_BITMAP)), TFmtTestDerived::StaticClass());
  list.Remove(TFmtTestGraphic::StaticClass());
  EXPECT_EQ(list.FindFormat(Word(CF_BITMAP)), TBitmap::StaticClass());
  EXPECT_EQ(list.FindFormat(Word(CF_DIB)), nullptr);
  list.Remove(TBitmap::StaticClass());
  EXPECT_EQ(list.FindFormat(Word(CF_BITMAP)), nullptr);
  EXPECT_EQ(list.Count(), 2);

  // The library's own list has the host's GIF format too.
  EXPECT_EQ(KwGetClipboardFormats(), KwGetClipboardFormats());
  EXPECT_EQ(KwGetClipboardFormats()->FindFormat(CF_GIF()), TGIFImage::StaticClass());
  EXPECT_EQ(KwGetClipboardFormats()->FindGraphicClass(TGIFImage::StaticClass()), CF_GIF());
}

TEST(ClipFormats, BitmapGoesThroughTheClipboardByTheLibrarysList) {
  TBitmap bmp;
  Paint(bmp);
  Clipboard()->Assign(&bmp);
  std::unique_ptr<TGraphic> back = KwGraphicFromClipboard();
  ExpectPainted(back.get());

  // Without the list's bitmap pair nothing is taken, though the host picture knows the data.
  TKwClipFormats* list = KwGetClipboardFormats();
  list->Remove(TBitmap::StaticClass());
  EXPECT_EQ(KwGraphicFromClipboard().get(), nullptr);
  KwRegisterClipBoardFormat(Word(CF_BITMAP), TBitmap::StaticClass());
  ExpectPainted(KwGraphicFromClipboard().get());
  EXPECT_EQ(list->FindGraphicClass(TBitmap::StaticClass()), Word(CF_BITMAP));

  Clipboard()->SetAsText(L"no picture");
  EXPECT_EQ(KwGraphicFromClipboard().get(), nullptr);
  Clipboard()->Clear();
}

TEST(GraphicQuality, ScalesJpegDecodingOnly) {
  TBitmap bmp;
  Paint(bmp, 64, 48);
  TJPEGImage jpeg;
  jpeg.Assign(&bmp);
  jpeg.Compress();
  const int widths[] = {64, 32, 16, 8};  // qugHigh .. qugVeryLow
  for (int q : {1, 2, 3, 0}) {
    SetGraphicQuality(&jpeg, TKwQualityGraphic(q));
    EXPECT_EQ(jpeg.Width(), widths[q]) << q;
    EXPECT_EQ(jpeg.Height(), widths[q] * 3 / 4) << q;
  }
  SetGraphicQuality(&bmp, qugVeryLow);
  EXPECT_EQ(bmp.Width(), 64);
  SetGraphicQuality(nullptr, qugLow);
}

TEST(KwPictureStream, BitmapLayoutsAreByteExact) {
  TBitmap bmp;
  Paint(bmp);
  const TBytes data = SavedBy(bmp);
  TKwPicture picture;
  picture.SetGraphic(&bmp);

  // Named: the class as a short string, the header with the patched count, the bitmap.
  TBytes named;
  AppendName(named, "TBitmap");
  AppendDbHeader(named, Cardinal(data.size()));
  Append(named, data);
  TMemoryStream s;
  picture.SaveToStream(s);
  EXPECT_EQ(BytesOf(s), named);

  // Written from the stream's position, leaving it at the end.
  TMemoryStream later;
  later.WriteBuffer("abcde", 5);
  picture.SaveToStream(later);
  EXPECT_EQ(later.Position(), later.Size());
  TBytes expectLater = {'a', 'b', 'c', 'd', 'e'};
  Append(expectLater, named);
  EXPECT_EQ(BytesOf(later), expectLater);

  // Fixed class: the header and the bitmap only.
  picture.SetAutoDetect(false);
  TBytes fixed;
  AppendDbHeader(fixed, Cardinal(data.size()));
  Append(fixed, data);
  TMemoryStream f;
  picture.SaveToStream(f);
  EXPECT_EQ(BytesOf(f), fixed);

  // Other graphics carry no header.
  TPngImage png;
  png.Assign(&bmp);
  TKwPicture pngPicture;
  pngPicture.SetGraphic(&png);
  TBytes pngNamed;
  AppendName(pngNamed, "TPngImage");
  Append(pngNamed, SavedBy(png));
  TMemoryStream p;
  pngPicture.SaveToStream(p);
  EXPECT_EQ(BytesOf(p), pngNamed);
}

TEST(KwPictureStream, FixedClassBitmapReadsWithAndWithoutTheHeader) {
  TBitmap bmp;
  Paint(bmp);
  const TBytes data = SavedBy(bmp);
  TBytes withHeader;
  AppendDbHeader(withHeader, Cardinal(data.size()));
  Append(withHeader, data);

  for (const TBytes* bytes : std::initializer_list<const TBytes*>{&withHeader, &data}) {
    TKwPicture picture;
    picture.SetAutoDetect(false);
    picture.SetGraphicClass(TBitmap::StaticClass());
    Load(picture, *bytes);
    ExpectPainted(picture.Graphic());
  }

  // Written by the picture itself with AutoDetect false, and read back.
  TKwPicture writer;
  writer.SetAutoDetect(false);
  writer.SetGraphic(&bmp);
  TMemoryStream s;
  writer.SaveToStream(s);
  TKwPicture reader;
  reader.SetAutoDetect(false);
  reader.SetGraphicClass(TBitmap::StaticClass());
  reader.LoadFromStream(s);
  ExpectPainted(reader.Graphic());

  // A header whose count does not match is the bitmap's data, which then is not a bitmap:
  // the read fails and the picture keeps what it had.
  TBytes wrongCount;
  AppendDbHeader(wrongCount, Cardinal(data.size() + 1));
  Append(wrongCount, data);
  TGraphic* before = reader.Graphic();
  EXPECT_THROW(Load(reader, wrongCount), EInvalidGraphic);
  EXPECT_EQ(reader.Graphic(), before);
  ExpectPainted(reader.Graphic());

  // A header with nothing after it is an empty bitmap.
  TBytes headerOnly;
  AppendDbHeader(headerOnly, 0);
  Load(reader, headerOnly);
  ASSERT_NE(dynamic_cast<TBitmap*>(reader.Graphic()), nullptr);
  EXPECT_TRUE(reader.Graphic()->Empty());
}

TEST(KwPictureStream, ClassNamesAreCutAt63AndLongerStoredNamesClear) {
  TBitmap bmp;
  Paint(bmp);
  TFmtLongName longer;
  longer.Assign(&bmp);
  ASSERT_EQ(longer.ClassName().size(), 70u);
  TKwPicture picture;
  picture.SetGraphic(&longer);
  TMemoryStream s;
  picture.SaveToStream(s);
  const TBytes bytes = BytesOf(s);
  ASSERT_GT(bytes.size(), 64u + 8u);
  EXPECT_EQ(bytes[0], 63);
  EXPECT_EQ(String(bytes.begin() + 1, bytes.begin() + 64), String(KLongName).substr(0, 63));
  EXPECT_EQ(bytes[64], 1) << "the bitmap header follows the cut name";

  // The cut name is no registered class: the picture is left alone.
  KwRegisterFormatGraphic(L"kwlong", L"Long", TFmtLongName::StaticClass());
  TKwPicture reader;
  reader.SetGraphic(&bmp);
  TGraphic* before = reader.Graphic();
  Load(reader, bytes);
  EXPECT_EQ(reader.Graphic(), before);
  KwUnRegisterFormatGraphic(TFmtLongName::StaticClass());

  // A stored length above 63 clears the picture and reads nothing more.
  int changes = 0;
  reader.OnPictureChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &reader);
    ++changes;
  };
  TBytes tooLong = bytes;
  tooLong[0] = 64;
  Load(reader, tooLong);
  EXPECT_EQ(reader.Graphic(), nullptr);
  EXPECT_EQ(changes, 1);
}

TEST(KwPictureStream, ReadsFromTheStartAndStopsOnUnknownClasses) {
  TBitmap bmp;
  Paint(bmp);
  TKwPicture writer;
  writer.SetGraphic(&bmp);
  TMemoryStream s;
  writer.SaveToStream(s);

  // The reader rewinds whatever the stream's position.
  TKwPicture picture;
  s.SetPosition(7);
  picture.LoadFromStream(s);
  ExpectPainted(picture.Graphic());

  TGraphic* before = picture.Graphic();
  TBytes unknown;
  AppendName(unknown, "TNoSuchGraphic");
  Append(unknown, SavedBy(bmp));
  Load(picture, unknown);
  EXPECT_EQ(picture.Graphic(), before);
  Load(picture, {});
  EXPECT_EQ(picture.Graphic(), before);
  TBytes cut = {7, 'T', 'B', 'i'};
  EXPECT_THROW(Load(picture, cut), EInvalidGraphic);
  EXPECT_EQ(picture.Graphic(), before);

  // Fixed choice without a class reads nothing.
  picture.SetAutoDetect(false);
  Load(picture, SavedBy(bmp));
  EXPECT_EQ(picture.Graphic(), before);
}

TEST(KwPictureStream, PictureChangeFollowsTheGraphicNotItsDrawing) {
  TKwPicture picture;
  int pictureChanges = 0, changes = 0;
  picture.OnPictureChange = [&](TObject*) { ++pictureChanges; };
  picture.OnChange = [&](TObject*) { ++changes; };
  TBitmap bmp;
  Paint(bmp);
  picture.SetGraphic(&bmp);
  EXPECT_EQ(pictureChanges, 1);
  static_cast<TBitmap*>(picture.Graphic())->Canvas()->SetPixels(0, 0, clRed);
  EXPECT_EQ(pictureChanges, 1);
  EXPECT_GT(changes, 1) << "the graphic's own change still reaches OnChange";
  picture.SetGraphic(nullptr);
  EXPECT_EQ(pictureChanges, 2);
}

// A stand-in for the data layer's blob: the picture hands it the assignment.
class TFmtBlob : public TPersistent {
  KW_CLASS(TFmtBlob, TPersistent)
  TBytes Data;

protected:
  void AssignTo(TPersistent* dest) const override {
    if (auto* picture = dynamic_cast<TKwPicture*>(dest)) Load(*picture, Data);
    else TPersistent::AssignTo(dest);
  }
};
KW_REGISTER_CLASS(TFmtBlob, TPersistent)

TEST(KwPictureStream, AnotherSourceAssignsItself) {
  TBitmap bmp;
  Paint(bmp);
  TKwPicture writer;
  writer.SetGraphic(&bmp);
  TMemoryStream s;
  writer.SaveToStream(s);
  TFmtBlob blob;
  blob.Data = BytesOf(s);
  TKwPicture picture;
  picture.Assign(&blob);
  ExpectPainted(picture.Graphic());
}

TEST(KwPictureStream, HostileBytesNeitherCrashNorAllocateHugely) {
  TBitmap bmp;
  Paint(bmp);
  TBitmap indexed;
  indexed.SetPixelFormat(pf8bit);
  indexed.SetSize(6, 4);
  TIcon icon;
  icon.Assign(&bmp);
  std::vector<TBytes> seeds;
  for (TGraphic* g : std::initializer_list<TGraphic*>{&bmp, &indexed, &icon}) {
    for (bool named : {true, false}) {
      TKwPicture w;
      w.SetAutoDetect(named);
      w.SetGraphic(g);
      TMemoryStream s;
      w.SaveToStream(s);
      seeds.push_back(BytesOf(s));
    }
  }

  std::mt19937 random(20261207);
  int loaded = 0, refused = 0;
  GLargestAllocation = 0;
  GWatchAllocations = true;
  for (int round = 0; round < 1500; ++round) {
    const size_t pick = random() % seeds.size();
    TBytes bytes = seeds[pick];
    switch (random() % 5) {
      case 0:  // flip a few bytes
        for (int k = 0, n = 1 + int(random() % 6); k < n; ++k) bytes[random() % bytes.size()] = Byte(random());
        break;
      case 1:  // cut short
        bytes.resize(random() % bytes.size());
        break;
      case 2: {  // a hostile 32-bit value where a count or size may sit
        const size_t at = random() % (bytes.size() >= 4 ? bytes.size() - 3 : 1);
        const Cardinal v = random() % 2 ? 0xFFFFFFF0u : Cardinal(random());
        for (int k = 0; k < 4 && at + k < bytes.size(); ++k) bytes[at + k] = Byte(v >> (8 * k));
        break;
      }
      case 3:  // a random name length
        bytes[0] = Byte(random());
        break;
      default:  // random tail
        for (int k = 0, n = int(random() % 64); k < n; ++k) bytes.push_back(Byte(random()));
    }
    TKwPicture picture;
    picture.SetAutoDetect(pick % 2 == 0);
    picture.SetGraphicClass(pick < 4 ? TBitmap::StaticClass() : TIcon::StaticClass());
    picture.SetGraphic(&bmp);
    TGraphic* before = picture.Graphic();
    try {
      Load(picture, bytes);
      ++loaded;
    } catch (const Exception&) {
      ++refused;
      EXPECT_EQ(picture.Graphic(), before) << "round " << round;
    }
  }
  GWatchAllocations = false;
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
  EXPECT_GE(GLargestAllocation.load(), seeds[2].size() / 2) << "the watch saw the readers' buffers";
  EXPECT_LT(GLargestAllocation.load(), size_t(8) << 20);
}

}  // namespace
}  // namespace kw
