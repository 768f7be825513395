// The host's data controls and dataset actions on a real form: typing starts editing, leaving
// the edit writes the field, Escape restores it, and the actions reach the dataset through a
// control's data link.
#include <gtest/gtest.h>

#include "host/Bitmap.h"
#include "host/Dbactions.h"
#include "host/Dbctrls.h"
#include "host/Forms.h"
#include "host/Win.h"
#include "tests/data/fixtures.h"
#include "tests/support/Input.h"

using namespace kw;
using namespace kw::datatest;
namespace ts = kw::testsupport;

namespace {

class DataControls : public testing::Test {
protected:
  void SetUp() override {
    FData = People();
    FForm = KwCreate<TForm>(nullptr);
    FForm->SetBounds(50, 50, 300, 200);
    FSource = new TDataSource(FForm);
    FSource->SetDataSet(FData.get());
    FEdit = new TDBEdit(FForm);
    FEdit->SetParent(FForm);
    FEdit->SetBounds(10, 10, 150, 22);
    FEdit->SetDataSource(FSource);
    FEdit->SetDataField(L"Name");
    FOther = new TEdit(FForm);
    FOther->SetParent(FForm);
    FOther->SetBounds(10, 40, 150, 22);
    FForm->Show();
    ts::Pump();
  }
  void TearDown() override {
    delete FForm;
    FData.reset();
  }
  std::unique_ptr<TClientDataSet> FData;
  TForm* FForm = nullptr;
  TDataSource* FSource = nullptr;
  TDBEdit* FEdit = nullptr;
  TEdit* FOther = nullptr;
};

}  // namespace

TEST_F(DataControls, TypingEditsAndLeavingWritesTheField) {
  EXPECT_EQ(FEdit->Text(), L"Cleo");
  EXPECT_TRUE(FEdit->TCustomEdit::ReadOnly());  // browsing: the window takes no keys itself
  ts::Focus(FEdit->Handle());
  ts::TypeText(FEdit->Handle(), L"Max");
  EXPECT_EQ(FData->State(), dsEdit);
  EXPECT_FALSE(FEdit->TCustomEdit::ReadOnly());
  EXPECT_EQ(FEdit->Text(), L"Max");
  EXPECT_TRUE(FEdit->DataLink()->Modified());
  EXPECT_EQ(FData->FieldByName(L"Name")->AsString(), L"Cleo");  // not before leaving
  ts::Focus(FOther->Handle());
  EXPECT_EQ(FData->FieldByName(L"Name")->AsString(), L"Max");
  FData->Post();
  FData->Next();
  EXPECT_EQ(FEdit->Text(), L"Abe");
  FData->Prior();
  EXPECT_EQ(FEdit->Text(), L"Max");

  // Escape puts the field's value back.
  ts::Focus(FEdit->Handle());
  ts::TypeText(FEdit->Handle(), L"Zz");
  EXPECT_EQ(FEdit->Text(), L"Zz");
  ts::Char(FEdit->Handle(), wchar_t(VK_ESCAPE));
  ts::Pump();
  EXPECT_EQ(FEdit->Text(), L"Max");
  EXPECT_FALSE(FEdit->DataLink()->Modified());
  FData->Cancel();
}

TEST_F(DataControls, AMissingRequiredValueFocusesItsControl) {
  ts::Focus(FOther->Handle());
  FData->Append();
  FData->FieldByName(L"Age")->SetAsInteger(3);
  EXPECT_THROW(FData->Post(), EDatabaseError);
  EXPECT_EQ(GetFocus(), FEdit->Handle());
  EXPECT_EQ(FData->State(), dsInsert);
  FData->Cancel();
}

namespace {

std::vector<String> gReported;

void Report(TObject*) {
  try {
    throw;
  } catch (const Exception& e) {
    gReported.push_back(e.Message());
  }
}

}  // namespace

TEST_F(DataControls, TextThatDoesNotConvertStaysInTheEditAndTheFieldKeepsItsValue) {
  auto* ageEdit = new TDBEdit(FForm);
  ageEdit->SetParent(FForm);
  ageEdit->SetBounds(10, 70, 150, 22);
  ageEdit->SetDataSource(FSource);
  ageEdit->SetDataField(L"Age");
  auto saved = ApplicationHandleException;
  ApplicationHandleException = &Report;
  gReported.clear();
  ts::Focus(ageEdit->Handle());
  ts::TypeText(ageEdit->Handle(), L"old");
  ts::Focus(FOther->Handle());
  ApplicationHandleException = saved;
  ASSERT_EQ(gReported.size(), 1u);
  EXPECT_EQ(gReported[0], L"'old' is not a valid integer value for field 'Age'");
  EXPECT_EQ(FData->FieldByName(L"Age")->AsInteger(), 31);
  EXPECT_EQ(ageEdit->Text(), L"old");
  EXPECT_EQ(GetFocus(), ageEdit->Handle());
  FData->Cancel();
  EXPECT_EQ(ageEdit->Text(), L"31");
}

TEST_F(DataControls, PaintedAsACopyTheEditShowsTheFieldOfTheLinksRecord) {
  auto ink = [](TWinControl* c) {
    TBitmap b(c->Width(), c->Height());
    c->PaintTo(b.Canvas(), 0, 0);
    TColor bg = b.Canvas()->Pixels(c->Width() - 5, c->Height() / 2);
    int n = 0;
    for (int y = 0; y < c->Height(); ++y)
      for (int x = 0; x < c->Width(); ++x) n += b.Canvas()->Pixels(x, y) != bg;
    return n;
  };
  int cleo = ink(FEdit);
  FData->Next();
  int abe = ink(FEdit);
  FData->First();
  ts::Focus(FEdit->Handle());
  FEdit->SelectAll();
  ts::TypeText(FEdit->Handle(), L"WWWWWWWWWW");
  ASSERT_EQ(FEdit->Text(), L"WWWWWWWWWW");
  EXPECT_EQ(ink(FEdit), cleo);  // the typing is not the field's yet
  // As a control grid paints its other rows: the link points at another record of its window.
  FEdit->DataLink()->SetBufferCount(3);
  FEdit->DataLink()->SetActiveRecord(1);
  EXPECT_EQ(ink(FEdit), abe);
  FEdit->DataLink()->SetActiveRecord(0);
  auto* plain = new TEdit(FForm);
  plain->SetParent(FForm);
  plain->SetBounds(10, 100, FEdit->Width(), FEdit->Height());
  plain->SetText(L"WWWWWWWWWW");
  EXPECT_GT(ink(plain), cleo + 40);
  FData->Cancel();
}

TEST_F(DataControls, AFieldThatCannotChangeSwallowsTheKeys) {
  FData->FieldByName(L"Name")->SetReadOnly(true);
  ts::Focus(FEdit->Handle());
  ts::TypeText(FEdit->Handle(), L"Q");
  EXPECT_EQ(FEdit->Text(), L"Cleo");
  EXPECT_EQ(FData->State(), dsBrowse);
  FData->FieldByName(L"Name")->SetReadOnly(false);
  FSource->SetAutoEdit(false);
  ts::TypeText(FEdit->Handle(), L"Q");
  EXPECT_EQ(FData->State(), dsBrowse);
  EXPECT_EQ(FEdit->Text(), L"Cleo");
}

TEST_F(DataControls, ActionsReachTheDataSetThroughTheControlsLink) {
  // The form's shortcut handling asks the focused control for its link this way.
  auto* link = reinterpret_cast<TDataLink*>(FEdit->Perform(CM_GETDATALINK));
  ASSERT_EQ(link, FEdit->DataLink());
  EXPECT_EQ(link->DataSet(), FData.get());

  TDataSetNext next(nullptr);
  TDataSetPrior prior(nullptr);
  TDataSetDelete del(nullptr);
  TDataSetPost post(nullptr);
  EXPECT_TRUE(FEdit->UpdateAction(&prior));
  EXPECT_FALSE(prior.Enabled());  // at the first record
  EXPECT_TRUE(FEdit->ExecuteAction(&next));
  EXPECT_EQ(FEdit->Text(), L"Abe");
  FEdit->UpdateAction(&prior);
  EXPECT_TRUE(prior.Enabled());
  FEdit->UpdateAction(&post);
  EXPECT_FALSE(post.Enabled());
  FData->Edit();
  FEdit->UpdateAction(&post);
  EXPECT_TRUE(post.Enabled());
  FData->Cancel();
  FData->Last();
  next.SetDataSource(FSource);
  next.Update();
  EXPECT_FALSE(next.Enabled());  // at the end
  EXPECT_FALSE(next.Execute());

  // A delete action disables itself once the rows are gone.
  for (int i = 0; i < 3; ++i) FEdit->ExecuteAction(&del);
  EXPECT_TRUE(FData->IsEmpty());
  FEdit->UpdateAction(&del);
  EXPECT_FALSE(del.Enabled());
  EXPECT_EQ(FEdit->Text(), L"");

  // An action tied to another data source leaves this control's alone.
  TDataSource elsewhere(nullptr);
  TDataSetInsert insert(nullptr);
  insert.SetDataSource(&elsewhere);
  EXPECT_FALSE(FEdit->ExecuteAction(&insert));
  EXPECT_EQ(FData->State(), dsBrowse);
}
