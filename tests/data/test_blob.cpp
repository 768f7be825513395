// Blob fields: stream round trips in each mode, memo text, the graphic field's bitmap
// header, and the refusals of a closed or browsing dataset.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "host/Bitmap.h"
#include "host/Picture.h"
#include "host/Streams.h"
#include "host/Stringlist.h"
#include "tests/data/fixtures.h"

using namespace kw;

namespace {

std::unique_ptr<TClientDataSet> Blobs() {
  auto ds = std::make_unique<TClientDataSet>(nullptr);
  ds->SetName(L"Blobs");
  ds->FieldDefs()->Add(L"Data", ftBlob);
  ds->FieldDefs()->Add(L"Note", ftMemo);
  ds->FieldDefs()->Add(L"Wide", ftWideMemo);
  ds->FieldDefs()->Add(L"Pic", ftGraphic);
  ds->FieldDefs()->Add(L"Ora", ftOraBlob);
  ds->FieldDefs()->Add(L"Clob", ftOraClob);
  ds->CreateDataSet();
  return ds;
}

TBytes ReadAll(TStream& s) {
  TBytes b(size_t(s.Size()));
  s.SetPosition(0);
  if (!b.empty()) s.ReadBuffer(b.data(), Int64(b.size()));
  return b;
}

}  // namespace

TEST(BlobStreams, WriteReplacesReadReadsAndReadWriteKeepsAndExtends) {
  auto ds = Blobs();
  TField* data = ds->FieldByName(L"Data");
  std::mt19937 rng(7);
  TBytes bytes(1000);
  for (Byte& b : bytes) b = Byte(rng());
  ds->Append();
  {
    std::unique_ptr<TStream> w(ds->CreateBlobStream(data, bmWrite));
    w->WriteBuffer(bytes.data(), 600);
    w->WriteBuffer(bytes.data() + 600, 400);
  }
  ds->Post();
  EXPECT_EQ(data->AsBytes(), bytes);
  EXPECT_EQ(static_cast<TBlobField*>(data)->BlobSize(), 1000);
  {
    std::unique_ptr<TStream> r(ds->CreateBlobStream(data, bmRead));
    EXPECT_EQ(ReadAll(*r), bytes);
    Byte one = 1;
    EXPECT_THROW(r->Write(&one, 1), EStreamError);
  }
  ds->Edit();
  {
    std::unique_ptr<TStream> w(ds->CreateBlobStream(data, bmWrite));
    w->WriteBuffer("abc", 3);
  }
  EXPECT_EQ(data->AsBytes(), (TBytes{'a', 'b', 'c'}));
  {
    std::unique_ptr<TStream> rw(ds->CreateBlobStream(data, bmReadWrite));
    EXPECT_EQ(rw->Size(), 3);
    rw->Seek(0, soEnd);
    rw->WriteBuffer("de", 2);
  }
  ds->Post();
  EXPECT_EQ(data->AsString(), L"abcde");
  EXPECT_EQ(data->DisplayText(), L"(BLOB)");
  ds->Edit();
  data->Clear();
  EXPECT_EQ(data->DisplayText(), L"(blob)");
  ds->Cancel();
  EXPECT_EQ(data->AsString(), L"abcde");
}

TEST(BlobStreams, ClosedAndBrowsingDataSetsRefuseStreams) {
  auto ds = Blobs();
  TField* data = ds->FieldByName(L"Data");
  ds->Append();
  data->SetAsString(L"kept");
  ds->Post();
  // Reading is fine in browse state; writing is not, and leaves the value alone.
  EXPECT_EQ(ReadAll(*std::unique_ptr<TStream>(ds->CreateBlobStream(data, bmRead))), (TBytes{'k', 'e', 'p', 't'}));
  try {
    std::unique_ptr<TStream> w(ds->CreateBlobStream(data, bmWrite));
    FAIL() << "a write stream in browse state";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), L"Blobs: Dataset not in edit or insert mode");
  }
  EXPECT_EQ(data->AsString(), L"kept");
  EXPECT_THROW(ds->CreateBlobStream(nullptr, bmRead), EDatabaseError);
  ds->Close();
  auto other = Blobs();
  TField* foreign = other->FieldByName(L"Data");
  try {
    std::unique_ptr<TStream> r(ds->CreateBlobStream(foreign, bmRead));
    FAIL() << "a stream of a closed dataset";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), L"Blobs: Cannot perform this operation on a closed dataset");
  }
}

TEST(BlobMemos, MemoTextKeepsItsEncodingAndLines) {
  auto ds = Blobs();
  ds->Append();
  TField* note = ds->FieldByName(L"Note");
  TField* wide = ds->FieldByName(L"Wide");
  TField* clob = ds->FieldByName(L"Clob");
  note->SetAsString(L"one\r\ntwo");
  EXPECT_EQ(note->AsBytes().size(), 8u);  // one byte a character
  wide->SetAsString(L"\u03b1\u03b2\u03b3");
  EXPECT_EQ(wide->AsBytes(), (TBytes{0xB1, 0x03, 0xB2, 0x03, 0xB3, 0x03}));
  EXPECT_EQ(wide->AsString(), L"\u03b1\u03b2\u03b3");
  EXPECT_EQ(clob->ClassName(), L"TMemoField");
  EXPECT_EQ(ds->FieldByName(L"Ora")->ClassName(), L"TBlobField");
  TStringList lines;
  lines.Assign(note);
  ASSERT_EQ(lines.Count(), 2);
  EXPECT_EQ(lines.Strings(1), L"two");
  lines.Add(L"three");
  clob->Assign(&lines);
  EXPECT_EQ(clob->AsString(), L"one\r\ntwo\r\nthree\r\n");
  EXPECT_EQ(note->DisplayText(), L"(MEMO)");
  EXPECT_EQ(note->Text(), L"one\r\ntwo");
  ds->Post();
  EXPECT_EQ(wide->AsVariant().AsString(), L"\u03b1\u03b2\u03b3");
}

TEST(BlobGraphics, TheGraphicFieldKeepsABitmapBehindTheEightByteHeader) {
  auto ds = Blobs();
  auto* pic = static_cast<TGraphicField*>(ds->FieldByName(L"Pic"));
  TBitmap bmp(3, 2);
  bmp.Canvas()->SetPixels(0, 0, clRed);
  bmp.Canvas()->SetPixels(2, 1, clBlue);
  ds->Append();
  pic->Assign(&bmp);
  TBytes b = pic->AsBytes();
  ASSERT_GT(b.size(), 8u);
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(b[1], 0);
  EXPECT_EQ(b[2], 0);
  EXPECT_EQ(b[3], 1);
  Cardinal count = b[4] | (b[5] << 8) | (b[6] << 16) | (b[7] << 24);
  EXPECT_EQ(count, b.size() - 8);
  EXPECT_EQ(b[8], 'B');
  EXPECT_EQ(b[9], 'M');
  TBitmap back;
  back.Assign(pic);
  EXPECT_EQ(back.Width(), 3);
  EXPECT_EQ(back.Canvas()->Pixels(0, 0), clRed);
  EXPECT_EQ(back.Canvas()->Pixels(2, 1), clBlue);

  // Bitmap bytes stored without the header read the same.
  pic->SetAsBytes(pic->BitmapBytes());
  TPicture picture;
  picture.Assign(pic);
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_EQ(picture.Bitmap()->Canvas()->Pixels(2, 1), clBlue);
  // A header whose count disagrees is data, not a header.
  TBytes odd = pic->AsBytes();
  TBytes fake(8 + odd.size());
  const Byte header[8] = {1, 0, 0, 1, 9, 0, 0, 0};
  std::copy(header, header + 8, fake.begin());
  std::copy(odd.begin(), odd.end(), fake.begin() + 8);
  pic->SetAsBytes(fake);
  EXPECT_EQ(pic->BitmapBytes().size(), fake.size());
  ds->Cancel();
}
