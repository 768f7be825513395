// The in-memory dataset: index orders, key search, the file round trip, a save that fails
// and leaves the old file, and a reader that refuses damaged files.
#include <gtest/gtest.h>

#include <random>

#include "host/Dateutils.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "tests/data/fixtures.h"

using namespace kw;
using namespace kw::datatest;

namespace {

String Column(TDataSet* ds, const wchar_t* field) {
  String s;
  ds->DisableControls();
  int at = ds->RecNo();
  ds->First();
  while (!ds->Eof()) {
    TField* f = ds->FieldByName(field);
    s += (s.empty() ? L"" : L",") + (f->IsNull() ? String(L"null") : f->AsString());
    ds->Next();
  }
  ds->SetRecNo(at);
  ds->EnableControls();
  return s;
}

String TempFile(const wchar_t* name) { return GetTempDirectory() + L"kwdata_" + name; }

TBytes FileBytes(const String& name) {
  TFileStream f(name, fmOpenRead);
  TBytes b(size_t(f.Size()));
  if (!b.empty()) f.ReadBuffer(b.data(), Int64(b.size()));
  return b;
}

}  // namespace

TEST(MemDataIndexes, IndexOrdersRowsAndKeepsTheCurrentOne) {
  auto ds = People();
  ds->Next();  // Abe
  ds->SetIndexFieldNames(L"Name");
  EXPECT_EQ(Column(ds.get(), L"Name"), L"Abe,Bea,Cleo");
  EXPECT_EQ(ds->FieldByName(L"Name")->AsString(), L"Abe");
  EXPECT_EQ(ds->RecNo(), 1);
  // A posted record goes where the index puts it, and stays current.
  AddPerson(ds.get(), L"Aaron", 9);
  EXPECT_EQ(ds->RecNo(), 1);
  ds->Edit();
  ds->FieldByName(L"Name")->SetAsString(L"Zoe");
  ds->Post();
  EXPECT_EQ(ds->RecNo(), 4);
  EXPECT_EQ(Column(ds.get(), L"Name"), L"Abe,Bea,Cleo,Zoe");

  // Descending and case-insensitive through a named index; nulls sort first ascending.
  ds->Append();
  ds->FieldByName(L"Name")->SetAsString(L"bob");
  ds->Post();
  ds->AddIndex(L"ByNameDesc", L"Name", {ixDescending, ixCaseInsensitive});
  ds->SetIndexName(L"ByNameDesc");
  EXPECT_EQ(Column(ds.get(), L"Name"), L"Zoe,Cleo,bob,Bea,Abe");
  ds->SetIndexFieldNames(L"Age");
  EXPECT_EQ(Column(ds.get(), L"Age"), L"null,9,27,31,45");
  EXPECT_EQ(ds->IndexName(), L"");
  EXPECT_THROW(ds->SetIndexName(L"Nope"), EDatabaseError);
  EXPECT_THROW(ds->SetIndexFieldNames(L"Nope"), EDatabaseError);
  EXPECT_EQ(ds->IndexFieldNames(), L"Age");  // a refused index leaves the old one
  ds->SetIndexFieldNames(L"");
  EXPECT_EQ(Column(ds.get(), L"Name"), L"Cleo,Abe,Bea,Zoe,bob");
}

TEST(MemDataIndexes, KeySearchUsesTheIndexFields) {
  auto ds = People();
  EXPECT_THROW(ds->FindKey({Variant(L"Bea")}), EDatabaseError);  // no index
  EXPECT_EQ(ds->State(), dsBrowse);
  ds->SetIndexFieldNames(L"Name");
  EXPECT_TRUE(ds->FindKey({Variant(L"Bea")}));
  EXPECT_EQ(ds->FieldByName(L"Age")->AsInteger(), 27);
  EXPECT_FALSE(ds->FindKey({Variant(L"Bob")}));
  EXPECT_EQ(ds->FieldByName(L"Name")->AsString(), L"Bea");
  ds->FindNearest({Variant(L"Bob")});
  EXPECT_EQ(ds->FieldByName(L"Name")->AsString(), L"Cleo");
  ds->SetKey();
  EXPECT_EQ(ds->State(), dsSetKey);
  ds->FieldByName(L"Name")->SetAsString(L"Abe");
  EXPECT_EQ(ds->FieldByName(L"Name")->AsString(), L"Abe");
  EXPECT_TRUE(ds->GotoKey());
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RecNo(), 1);
}

TEST(MemDataFiles, EveryTypeAndNullSurvivesTheFile) {
  auto ds = std::make_unique<TClientDataSet>(nullptr);
  auto* d = ds->FieldDefs();
  d->Add(L"A", ftAutoInc);
  d->Add(L"S", ftWideString, 30);
  d->Add(L"L", ftLargeint);
  d->Add(L"B", ftBoolean);
  d->Add(L"F", ftFloat);
  d->Add(L"C", ftBCD, 4);
  d->Add(L"M", ftFMTBcd, 2);
  d->Add(L"D", ftDateTime);
  d->Add(L"Blob", ftBlob);
  d->Add(L"Memo", ftWideMemo);
  d->Add(L"V", ftVariant);
  ds->CreateDataSet();
  ds->Append();
  ds->FieldByName(L"S")->SetAsString(L"na\u00efve \u20ac");
  ds->FieldByName(L"L")->SetAsLargeInt(-(Int64(1) << 50));
  ds->FieldByName(L"B")->SetAsBoolean(true);
  ds->FieldByName(L"F")->SetAsFloat(-0.1);
  ds->FieldByName(L"C")->SetAsCurrency(Currency::FromRaw(-12345678));
  ds->FieldByName(L"M")->SetAsString(L"98765432109876.54");
  ds->FieldByName(L"D")->SetAsDateTime(EncodeDateTime(1999, 12, 31, 23, 59, 59, 500));
  ds->FieldByName(L"Blob")->SetAsBytes({0, 255, 0, 1});
  ds->FieldByName(L"Memo")->SetAsString(L"line\r\nline");
  ds->FieldByName(L"V")->SetAsVariant(Variant(Currency::FromRaw(5)));
  ds->Post();
  ds->Append();
  ds->FieldByName(L"S")->SetAsString(L"nulls");
  ds->Post();
  String file = TempFile(L"roundtrip.kds");
  ds->SaveToFile(file);

  auto back = std::make_unique<TClientDataSet>(nullptr);
  back->LoadFromFile(file);
  EXPECT_TRUE(back->Active());
  ASSERT_EQ(back->RecordCount(), 2);
  ASSERT_EQ(back->FieldCount(), 11);
  EXPECT_EQ(back->FieldDefs()->Items(1)->Size(), 30);
  for (int i = 0; i < 11; ++i) {
    ds->First();
    back->First();
    for (int r = 0; r < 2; ++r) {
      Variant a = ds->Fields()->Fields(i)->AsVariant(), b = back->Fields()->Fields(i)->AsVariant();
      EXPECT_TRUE(VarSameValue(a, b) || (a.IsNull() && b.IsNull())) << "field " << i << " row " << r;
      EXPECT_EQ(a.VarType(), b.VarType()) << "field " << i << " row " << r;
      ds->Next();
      back->Next();
    }
  }
  // The auto-increment numbering carries on after the last stored value.
  back->Append();
  back->FieldByName(L"S")->SetAsString(L"third");
  back->Post();
  EXPECT_EQ(back->FieldByName(L"A")->AsInteger(), 3);
  DeleteFile(file);
}

TEST(MemDataFiles, AFailedSaveLeavesTheOldFileWhole) {
  auto ds = People();
  String file = TempFile(L"keep.kds");
  ds->SaveToFile(file);
  TBytes before = FileBytes(file);
  AddPerson(ds.get(), L"Dan", 50);
  {
    // Another program holds the file open without sharing: the replace cannot happen.
    TFileStream lock(file, fmOpenRead | fmShareExclusive);
    EXPECT_THROW(ds->SaveToFile(file), Exception);
  }
  EXPECT_EQ(FileBytes(file), before);
  for (const String& n : FindFiles(GetTempDirectory() + L"*"))
    EXPECT_FALSE(StartsText(L"kwdata_keep.kds", n) && n != L"kwdata_keep.kds") << "left behind: " << n;
  auto back = std::make_unique<TClientDataSet>(nullptr);
  back->LoadFromFile(file);
  EXPECT_EQ(back->RecordCount(), 3);
  // A save with the structure missing raises before touching the disk.
  TClientDataSet none(nullptr);
  EXPECT_THROW(none.SaveToFile(file), EDatabaseError);
  EXPECT_EQ(FileBytes(file), before);
  DeleteFile(file);
}

TEST(MemDataFiles, DamagedFilesAreRefusedWithTheFileAndTheFault) {
  auto ds = People();
  TMemoryStream good;
  ds->SaveToStream(good);
  const Byte* p = static_cast<const Byte*>(good.Memory());
  TBytes image(p, p + good.Size());
  auto load = [&](const TBytes& bytes) -> String {
    TBytesStream s(bytes);
    TClientDataSet target(nullptr);
    try {
      target.LoadFromStream(s, L"people.kds");
    } catch (const EDatabaseError& e) {
      EXPECT_FALSE(target.Active());
      return e.Message();
    }
    return L"loaded";
  };
  EXPECT_EQ(load(image), L"loaded");
  TBytes bad = image;
  bad[0] = 'X';
  EXPECT_EQ(load(bad), L"Cannot load dataset from people.kds: not a dataset file at byte 4");
  TBytes cut(image.begin(), image.end() - 3);
  String msg = load(cut);
  EXPECT_TRUE(StartsStr(L"Cannot load dataset from people.kds: ", msg)) << msg;
  bad = image;
  bad[6] = 0xFF;  // a field count no file can hold
  bad[7] = 0xFF;
  EXPECT_EQ(load(bad), L"Cannot load dataset from people.kds: field count 65535 invalid at byte 10");
  TBytes extra = image;
  extra.push_back(0);
  EXPECT_EQ(load(extra), L"Cannot load dataset from people.kds: 1 bytes after the last row at byte " +
                             std::to_wstring(image.size()));

  // A dataset that fails to load keeps what it had.
  TBytesStream broken(cut);
  EXPECT_THROW(ds->LoadFromStream(broken, L"x"), EDatabaseError);
  EXPECT_EQ(ds->RecordCount(), 3);
  EXPECT_TRUE(ds->Active());

  // Random damage: every outcome is a load or the database error, never anything else.
  std::mt19937 rng(1234);
  int refused = 0;
  for (int round = 0; round < 400; ++round) {
    TBytes t = image;
    int flips = 1 + int(rng() % 4);
    for (int k = 0; k < flips; ++k) t[rng() % t.size()] = Byte(rng());
    if (rng() % 3 == 0) t.resize(rng() % t.size());
    TBytesStream s(t);
    TClientDataSet target(nullptr);
    try {
      target.LoadFromStream(s, L"fuzz");
    } catch (const EDatabaseError&) {
      ++refused;
    }
  }
  EXPECT_GT(refused, 100);
}
