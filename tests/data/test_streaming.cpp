// Data components in a form stream: the dataset's structure and rows, its persistent fields
// (children of the dataset), the data source and a bound control come back bound and open.
#include <gtest/gtest.h>

#include "host/Dbctrls.h"
#include "host/Forms.h"
#include "host/Streams.h"
#include "tests/data/fixtures.h"

using namespace kw;
using namespace kw::datatest;

TEST(DataStreaming, AFormBringsBackItsDataSetFieldsAndBoundControls) {
  TBytesStream stream;
  {
    TForm* form = KwCreate<TForm>(nullptr);
    form->SetName(L"PeopleForm");
    auto* ds = new TClientDataSet(form);
    ds->SetName(L"People");
    ds->FieldDefs()->Add(L"Name", ftString, 20);
    ds->FieldDefs()->Add(L"Age", ftInteger);
    auto* name = new TStringField(form);
    name->SetName(L"PeopleName");
    name->SetFieldName(L"Name");
    name->SetDisplayLabel(L"Full name");
    name->SetDataSet(ds);
    auto* age = new TIntegerField(form);
    age->SetName(L"PeopleAge");
    age->SetFieldName(L"Age");
    age->SetDisplayFormat(L"0 years");
    age->SetDataSet(ds);
    ds->CreateDataSet();
    for (auto [n, a] : {std::pair{L"Cleo", 31}, {L"Abe", 45}}) {
      ds->Append();
      name->SetAsString(n);
      age->SetAsInteger(a);
      ds->Post();
    }
    ds->First();
    auto* src = new TDataSource(form);
    src->SetName(L"PeopleSource");
    src->SetDataSet(ds);
    auto* edit = new TDBEdit(form);
    edit->SetName(L"NameEdit");
    edit->SetParent(form);
    edit->SetDataSource(src);
    edit->SetDataField(L"Name");
    stream.WriteComponent(form);
    delete form;
  }
  stream.SetPosition(0);
  std::unique_ptr<TForm> form(dynamic_cast<TForm*>(stream.ReadComponent(nullptr)));
  ASSERT_TRUE(form);
  auto* ds = dynamic_cast<TClientDataSet*>(form->FindComponent(L"People"));
  auto* edit = dynamic_cast<TDBEdit*>(form->FindComponent(L"NameEdit"));
  auto* age = dynamic_cast<TIntegerField*>(form->FindComponent(L"PeopleAge"));
  ASSERT_TRUE(ds && edit && age);
  EXPECT_TRUE(ds->Active());
  EXPECT_FALSE(ds->DefaultFields());
  EXPECT_EQ(age->DataSet(), ds);
  EXPECT_EQ(ds->FieldByName(L"Name")->DisplayLabel(), L"Full name");
  EXPECT_EQ(ds->RecordCount(), 2);
  EXPECT_EQ(age->DisplayText(), L"31 years");
  EXPECT_EQ(edit->Text(), L"Cleo");
  ds->Next();
  EXPECT_EQ(edit->Text(), L"Abe");
}

TEST(DataStreaming, ClosedDefinitionsAnswerUpdateWithoutLosingThem) {
  TClientDataSet ds(nullptr);
  ds.FieldDefs()->Add(L"Name", ftString, 20, true);
  ds.FieldDefs()->Update();
  ASSERT_EQ(ds.FieldDefs()->Count(), 1);
  EXPECT_TRUE(ds.FieldDefs()->Items(0)->Required());
  EXPECT_THROW(ds.Open(), EDatabaseError);  // definitions alone are no data
  ds.CreateDataSet();
  ds.Close();
  ds.FieldDefs()->Update();
  EXPECT_EQ(ds.FieldDefs()->Find(L"name")->Size(), 20);
  EXPECT_THROW(ds.FieldDefs()->Find(L"Age"), EDatabaseError);
}
