// The dataset's state machine, cursor edges, refusals of bad input and the order of its
// before and after events.
#include <gtest/gtest.h>

#include "host/Sysutils.h"
#include "tests/data/fixtures.h"

using namespace kw;
using namespace kw::datatest;

namespace {

String Names(TDataSet* ds) {
  String s;
  ds->First();
  while (!ds->Eof()) {
    s += (s.empty() ? L"" : L",") + ds->FieldByName(L"Name")->AsString();
    ds->Next();
  }
  return s;
}

template <class F>
String ErrorOf(F&& f) {
  try {
    f();
  } catch (const Exception& e) {
    return String(e.ClassName()) + L": " + e.Message();
  }
  return L"no error";
}

}  // namespace

TEST(DataSetStates, EditPostAndCancelMoveBetweenStatesAndKeepOrDropChanges) {
  auto ds = People();
  TField* age = ds->FieldByName(L"Age");
  ds->Edit();
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_FALSE(ds->Modified());
  age->SetAsInteger(99);
  EXPECT_TRUE(ds->Modified());
  EXPECT_EQ(age->AsInteger(), 99);
  ds->Cancel();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(age->AsInteger(), 31);

  ds->Edit();
  age->SetAsInteger(32);
  ds->Post();
  ds->Next();
  ds->Prior();
  EXPECT_EQ(age->AsInteger(), 32);

  // Insert goes before the current record; the rows after it move down.
  ds->Next();
  ds->Insert();
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_EQ(ds->RecNo(), -1);
  EXPECT_TRUE(age->IsNull());
  ds->FieldByName(L"Name")->SetAsString(L"Dan");
  ds->Post();
  EXPECT_EQ(ds->RecNo(), 2);
  EXPECT_EQ(ds->FieldByName(L"ID")->AsInteger(), 4);
  EXPECT_EQ(Names(ds.get()), L"Cleo,Dan,Abe,Bea");

  // A cancelled append leaves the rows and the cursor as they were.
  ds->SetRecNo(3);
  ds->Append();
  ds->FieldByName(L"Name")->SetAsString(L"Eve");
  ds->Cancel();
  EXPECT_EQ(ds->RecordCount(), 4);
  EXPECT_EQ(ds->FieldByName(L"Name")->AsString(), L"Abe");

  // Edit on an empty dataset inserts instead; CheckBrowseMode posts a modified record.
  ds->EmptyDataSet();
  ds->Edit();
  EXPECT_EQ(ds->State(), dsInsert);
  ds->FieldByName(L"Name")->SetAsString(L"Fay");
  ds->CheckBrowseMode();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 1);

  // Delete of the last row leaves the cursor on the new last one.
  AddPerson(ds.get(), L"Gus", 5);
  ds->Last();
  ds->Delete();
  EXPECT_EQ(ds->FieldByName(L"Name")->AsString(), L"Fay");
  ds->Delete();
  EXPECT_TRUE(ds->IsEmpty());
}

TEST(DataSetStates, AnInsertLeftUnmodifiedIsDroppedByBrowseMode) {
  auto ds = People();
  ds->OnNewRecord = [](TDataSet* d) { d->FieldByName(L"Age")->SetAsInteger(18); };
  ds->Append();
  EXPECT_EQ(ds->FieldByName(L"Age")->AsInteger(), 18);
  // Defaults set in OnNewRecord do not count as a change of the user.
  EXPECT_FALSE(ds->Modified());
  ds->Next();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 3);
}

TEST(DataSetCursor, BofAndEofAtTheEdgesAndOnAnEmptyDataSet) {
  auto ds = People();
  EXPECT_TRUE(ds->Bof());
  EXPECT_FALSE(ds->Eof());
  ds->Next();
  ds->Next();
  EXPECT_EQ(ds->RecNo(), 3);
  EXPECT_FALSE(ds->Eof());
  EXPECT_EQ(ds->MoveBy(1), 0);
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(ds->RecNo(), 3);
  ds->Prior();
  EXPECT_FALSE(ds->Eof());
  EXPECT_FALSE(ds->Bof());
  ds->First();
  EXPECT_EQ(ds->MoveBy(-1), 0);
  EXPECT_TRUE(ds->Bof());
  EXPECT_EQ(ds->MoveBy(10), 2);
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(ds->MoveBy(-10), -2);
  EXPECT_TRUE(ds->Bof());
  ds->Last();
  EXPECT_TRUE(ds->Eof());
  EXPECT_FALSE(ds->Bof());

  auto empty = People(true);
  EXPECT_TRUE(empty->Bof());
  EXPECT_TRUE(empty->Eof());
  EXPECT_TRUE(empty->IsEmpty());
  EXPECT_EQ(empty->RecNo(), 0);
  EXPECT_EQ(empty->MoveBy(1), 0);
  empty->Last();
  EXPECT_TRUE(empty->Bof() && empty->Eof());
  EXPECT_TRUE(empty->FieldByName(L"Name")->IsNull());
}

TEST(DataSetCursor, LocateAndLookupFindRowsByValue) {
  auto ds = People();
  EXPECT_TRUE(ds->Locate(L"Name", {Variant(L"bea")}, true));
  EXPECT_EQ(ds->RecNo(), 3);
  EXPECT_FALSE(ds->Locate(L"Name", {Variant(L"bea")}, false));
  EXPECT_EQ(ds->RecNo(), 3);
  EXPECT_TRUE(ds->Locate(L"Name;Age", {Variant(L"Abe"), Variant(45)}));
  EXPECT_EQ(ds->RecNo(), 2);
  EXPECT_EQ(ds->Lookup(L"Age", {Variant(31)}, L"Name").AsString(), L"Cleo");
  EXPECT_TRUE(ds->Lookup(L"Age", {Variant(1)}, L"Name").IsNull());
  EXPECT_EQ(ds->RecNo(), 2);  // Lookup does not move
}

TEST(DataSetBadInput, RefusalsRaiseTheHostTextsAndChangeNothing) {
  auto ds = People();
  TField* name = ds->FieldByName(L"Name");
  TField* age = ds->FieldByName(L"Age");

  ds->Append();
  age->SetAsInteger(1);
  EXPECT_EQ(ErrorOf([&] { ds->Post(); }), L"EDatabaseError: People: Field 'Name' must have a value");
  EXPECT_EQ(ds->State(), dsInsert);
  ds->Cancel();
  EXPECT_EQ(ds->RecordCount(), 3);

  EXPECT_EQ(ErrorOf([&] { age->SetAsInteger(5); }), L"EDatabaseError: People: Dataset not in edit or insert mode");
  EXPECT_EQ(ErrorOf([&] { ds->Post(); }), L"EDatabaseError: People: Dataset not in edit or insert mode");
  EXPECT_EQ(age->AsInteger(), 31);

  ds->Edit();
  EXPECT_EQ(ErrorOf([&] { age->SetAsString(L"abc"); }), L"EConvertError: 'abc' is not a valid integer value for field 'Age'");
  EXPECT_EQ(age->AsInteger(), 31);
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_FALSE(ds->Modified());
  ds->Cancel();

  EXPECT_EQ(ErrorOf([&] { ds->SetReadOnly(true); }), L"EDatabaseError: People: Cannot perform this operation on an open dataset");
  ds->Close();
  ds->SetReadOnly(true);
  ds->Open();
  // Closing freed the default fields; opening made them anew.
  name = ds->FieldByName(L"Name");
  for (auto op : {&TDataSet::Edit, &TDataSet::Insert, &TDataSet::Delete})
    EXPECT_EQ(ErrorOf([&] { (ds.get()->*op)(); }), L"EDatabaseError: People: Cannot modify a read-only dataset");
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 3);
  EXPECT_EQ(name->AsString(), L"Cleo");

  auto empty = People(true);
  EXPECT_EQ(ErrorOf([&] { empty->Delete(); }), L"EDatabaseError: People: Cannot perform this operation on an empty dataset");
  empty->Close();
  EXPECT_EQ(ErrorOf([&] { empty->Next(); }), L"EDatabaseError: People: Cannot perform this operation on a closed dataset");
  EXPECT_EQ(ErrorOf([&] { ds->FieldByName(L"Nope"); }), L"EDatabaseError: People: Field 'Nope' not found");
}

TEST(DataSetEvents, BeforeAndAfterEventsComeInTheHostOrder) {
  auto ds = People();
  std::vector<String> log;
  auto on = [&](TDataSetNotifyEvent& e, const wchar_t* name) { e = [&log, name](TDataSet*) { log.push_back(name); }; };
  on(ds->BeforeEdit, L"BeforeEdit");
  on(ds->AfterEdit, L"AfterEdit");
  on(ds->BeforePost, L"BeforePost");
  on(ds->AfterPost, L"AfterPost");
  on(ds->BeforeInsert, L"BeforeInsert");
  on(ds->AfterInsert, L"AfterInsert");
  on(ds->OnNewRecord, L"OnNewRecord");
  on(ds->BeforeScroll, L"BeforeScroll");
  on(ds->AfterScroll, L"AfterScroll");
  on(ds->BeforeDelete, L"BeforeDelete");
  on(ds->AfterDelete, L"AfterDelete");
  on(ds->BeforeCancel, L"BeforeCancel");
  on(ds->AfterCancel, L"AfterCancel");
  auto take = [&] {
    String s;
    for (auto& e : log) s += (s.empty() ? L"" : L" ") + e;
    log.clear();
    return s;
  };
  ds->Edit();
  ds->FieldByName(L"Age")->SetAsInteger(1);
  ds->Post();
  EXPECT_EQ(take(), L"BeforeEdit AfterEdit BeforePost AfterPost");
  ds->Next();
  EXPECT_EQ(take(), L"BeforeScroll AfterScroll");
  ds->Append();
  EXPECT_EQ(take(), L"BeforeInsert BeforeScroll OnNewRecord AfterInsert AfterScroll");
  ds->Cancel();
  EXPECT_EQ(take(), L"BeforeCancel AfterCancel");
  ds->Delete();
  EXPECT_EQ(take(), L"BeforeDelete BeforeScroll AfterDelete AfterScroll");

  // A BeforePost that aborts keeps the record in edit with its change.
  ds->BeforePost = [](TDataSet*) { Abort(); };
  ds->Edit();
  ds->FieldByName(L"Age")->SetAsInteger(77);
  EXPECT_THROW(ds->Post(), EAbort);
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(ds->FieldByName(L"Age")->AsInteger(), 77);
  ds->Cancel();
  EXPECT_NE(ds->FieldByName(L"Age")->AsInteger(), 77);
}

TEST(DataSetEvents, DisabledControlsHearOneChangeWhenEnabledAgain) {
  auto ds = People();
  TDataSource src(nullptr);
  src.SetDataSet(ds.get());
  TLogLink link;
  link.SetDataSource(&src);
  link.Clear();
  ds->DisableControls();
  ds->DisableControls();
  ds->Next();
  ds->Last();
  ds->EnableControls();
  EXPECT_TRUE(link.Log.empty());
  ds->EnableControls();
  EXPECT_EQ(link.Joined(), L"changed");
  link.Clear();
  ds->DisableControls();
  ds->Edit();
  ds->EnableControls();
  EXPECT_EQ(link.Joined(), L"editing on, changed");
  link.SetDataSource(nullptr);
}
