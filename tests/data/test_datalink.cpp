// Data sources and links: the order of the notifications a link receives, the field data
// link's tracking of its field and editing, free notification of a destroyed data source,
// and a link's record window for painting copies.
#include <gtest/gtest.h>

#include "host/Bitmap.h"
#include "host/Dbactions.h"
#include "host/Dbctrls.h"
#include "host/Forms.h"
#include "tests/data/fixtures.h"

using namespace kw;
using namespace kw::datatest;

TEST(DataLinkEvents, ALinkHearsStateScrollRecordAndLayoutInOrder) {
  auto ds = People();
  TDataSource src(nullptr);
  int stateChanges = 0;
  std::vector<String> changed;
  src.OnStateChange = [&](TObject*) { ++stateChanges; };
  src.OnDataChange = [&](TObject*, TField* f) { changed.push_back(f ? f->FieldName() : L"-"); };
  TLogLink link;
  link.SetDataSource(&src);
  EXPECT_TRUE(link.Log.empty());  // no dataset yet
  src.SetDataSet(ds.get());
  EXPECT_EQ(link.Joined(), L"active");
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(stateChanges, 1);
  link.Clear();

  ds->Next();
  ds->MoveBy(1);
  ds->First();
  // Every move first asks the links to finish their pending edits.
  EXPECT_EQ(link.Joined(), L"check, scrolled 1, check, scrolled 1, check, changed");
  link.Clear();

  ds->Edit();
  EXPECT_EQ(link.Joined(), L"check, editing on, record -");
  link.Clear();
  changed.clear();
  ds->FieldByName(L"Age")->SetAsInteger(50);
  EXPECT_EQ(link.Joined(), L"record Age");
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0], L"Age");
  link.Clear();
  ds->Post();
  EXPECT_EQ(link.Joined(), L"update, check, editing off, changed");
  link.Clear();

  ds->DataEvent(deLayoutChange, 0);
  EXPECT_EQ(link.Joined(), L"layout");
  link.Clear();

  // A read-only link is never editing.
  link.SetReadOnly(true);
  ds->Edit();
  EXPECT_FALSE(link.Editing());
  ds->Cancel();
  link.Clear();

  src.SetEnabled(false);
  EXPECT_EQ(link.Joined(), L"active");
  EXPECT_FALSE(link.Active());
  src.SetEnabled(true);
  link.Clear();
  ds->Close();
  EXPECT_EQ(link.Joined(), L"active");
  EXPECT_EQ(src.State(), dsInactive);
  link.SetDataSource(nullptr);
}

namespace {

// The way a data-aware control extends the link: its hooks run after the host's handling.
class THookLink : public TFieldDataLink {
public:
  std::vector<TField*> Seen;

protected:
  void LayoutChanged() override {
    TFieldDataLink::LayoutChanged();
    Seen.push_back(Field());
  }
};

}  // namespace

TEST(FieldDataLink, FollowsItsFieldEditsThroughTheSourceAndWritesBackWhenModified) {
  auto ds = People();
  TDataSource src(nullptr);
  src.SetDataSet(ds.get());
  THookLink link;
  int data = 0, editing = 0, updates = 0;
  link.OnDataChange = [&](TObject*) { ++data; };
  link.OnEditingChange = [&](TObject*) { ++editing; };
  link.OnUpdateData = [&](TObject*) {
    ++updates;
    link.Field()->SetAsInteger(60);
  };
  link.SetFieldName(L"Age");
  link.SetDataSource(&src);
  EXPECT_EQ(link.Field(), ds->FieldByName(L"Age"));
  EXPECT_GE(data, 1);
  data = 0;

  // Another field's change does not concern the link; its own does.
  ds->Edit();
  EXPECT_TRUE(link.Editing());
  EXPECT_EQ(editing, 1);
  data = 0;
  ds->FieldByName(L"Name")->SetAsString(L"Zed");
  EXPECT_EQ(data, 0);
  ds->FieldByName(L"Age")->SetAsInteger(1);
  EXPECT_EQ(data, 1);

  // UpdateRecord asks the control only for a modified value; Reset drops the change.
  link.SetModified();
  link.Reset();
  EXPECT_FALSE(link.Modified());
  ds->UpdateRecord();
  EXPECT_EQ(updates, 0);
  link.SetModified();
  ds->Post();
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(ds->FieldByName(L"Age")->AsInteger(), 60);

  // Edit goes through AutoEdit.
  src.SetAutoEdit(false);
  EXPECT_FALSE(link.Edit());
  EXPECT_EQ(ds->State(), dsBrowse);
  src.SetAutoEdit(true);
  EXPECT_TRUE(link.Edit());
  EXPECT_EQ(ds->State(), dsEdit);
  ds->Cancel();

  // A read-only field cannot be edited through the link.
  ds->FieldByName(L"Age")->SetReadOnly(true);
  EXPECT_FALSE(link.CanModify());
  EXPECT_FALSE(link.Edit());
  ds->FieldByName(L"Age")->SetReadOnly(false);

  // New default fields after reopening: the hook sees the new field, not the freed one.
  ds->Close();
  EXPECT_EQ(link.Field(), nullptr);
  ds->Open();
  ds->DataEvent(deLayoutChange, 0);
  ASSERT_FALSE(link.Seen.empty());
  EXPECT_EQ(link.Seen.back(), ds->FieldByName(L"Age"));
  EXPECT_THROW(link.SetFieldName(L"Missing"), EDatabaseError);
  link.SetDataSource(nullptr);
}

TEST(DataSourceLife, ControlsActionsAndSourcesForgetWhatIsDestroyed) {
  auto ds = People();
  auto* form = KwCreate<TForm>(nullptr);
  auto* src = new TDataSource(form);
  src->SetDataSet(ds.get());
  auto* edit = new TDBEdit(form);
  edit->SetParent(form);
  edit->SetDataSource(src);
  edit->SetDataField(L"Name");
  auto* text = new TDBText(form);
  text->SetParent(form);
  text->SetDataSource(src);
  text->SetDataField(L"Age");
  auto* next = new TDataSetNext(nullptr);
  next->SetDataSource(src);
  EXPECT_EQ(edit->Text(), L"Cleo");
  EXPECT_TRUE(text->DataLink()->Active());
  delete src;
  EXPECT_EQ(edit->DataSource(), nullptr);
  EXPECT_EQ(text->DataSource(), nullptr);
  EXPECT_EQ(next->DataSource(), nullptr);
  EXPECT_FALSE(edit->DataLink()->Active());
  EXPECT_EQ(edit->Field(), nullptr);
  EXPECT_FALSE(next->Execute());
  ds->Next();  // nobody listens any more

  // A dataset destroyed under a source leaves it inactive and without a dataset.
  auto src2 = std::make_unique<TDataSource>(nullptr);
  src2->SetDataSet(ds.get());
  edit->SetDataSource(src2.get());
  EXPECT_TRUE(edit->DataLink()->Active());
  ds.reset();
  EXPECT_EQ(src2->DataSet(), nullptr);
  EXPECT_EQ(src2->State(), dsInactive);
  EXPECT_FALSE(edit->DataLink()->Active());
  delete next;
  delete form;
}

TEST(DataLinkWindow, BufferCountGivesAWindowThatFollowsTheCursor) {
  auto ds = People();
  AddPerson(ds.get(), L"Dan", 50);
  AddPerson(ds.get(), L"Eve", 60);
  TDataSource src(nullptr);
  src.SetDataSet(ds.get());
  TLogLink link;
  link.SetBufferCount(3);
  link.SetDataSource(&src);
  ds->First();
  link.Clear();
  EXPECT_EQ(link.ActiveRecord(), 0);
  EXPECT_EQ(link.RecordCount(), 3);
  ds->Next();
  ds->Next();
  EXPECT_EQ(link.ActiveRecord(), 2);
  EXPECT_EQ(link.Joined(), L"check, scrolled 0, check, scrolled 0");
  link.Clear();
  ds->Next();  // the window moves by one row
  EXPECT_EQ(link.ActiveRecord(), 2);
  EXPECT_EQ(link.Joined(), L"check, scrolled 1");
  TField* name = ds->FieldByName(L"Name");
  EXPECT_EQ(name->AsString(), L"Dan");
  // Pointing at another record of the window: fields read it; back to the current one.
  link.SetActiveRecord(0);
  EXPECT_EQ(name->AsString(), L"Abe");
  link.SetActiveRecord(1);
  EXPECT_EQ(name->AsString(), L"Bea");
  link.SetActiveRecord(2);
  EXPECT_EQ(name->AsString(), L"Dan");
  EXPECT_THROW(link.SetActiveRecord(3), EDatabaseError);
  ds->Last();
  EXPECT_EQ(link.ActiveRecord(), 2);

  // An inserted record takes its own place in the window; the rows after it move down.
  ds->First();
  ds->Next();
  ds->Insert();
  EXPECT_EQ(link.ActiveRecord(), 1);
  EXPECT_EQ(link.RecordCount(), 3);
  std::vector<String> seen;
  for (int i = 0; i < 3; ++i) {
    link.SetActiveRecord(i);
    seen.push_back(name->IsNull() ? L"(new)" : name->AsString());
  }
  EXPECT_EQ(seen, (std::vector<String>{L"Cleo", L"(new)", L"Abe"}));
  link.SetActiveRecord(1);
  ds->Cancel();
  EXPECT_EQ(name->AsString(), L"Abe");
  ds->Append();
  EXPECT_EQ(link.ActiveRecord(), 2);
  seen.clear();
  for (int i = 0; i < 3; ++i) {
    link.SetActiveRecord(i);
    seen.push_back(name->IsNull() ? L"(new)" : name->AsString());
  }
  EXPECT_EQ(seen, (std::vector<String>{L"Dan", L"Eve", L"(new)"}));
  ds->Cancel();
  link.SetDataSource(nullptr);
}

namespace {

int InkIn(TBitmap& bmp, int w, int h) {
  int n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (TColor c = bmp.Canvas()->Pixels(x, y); (c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF) < 300) ++n;
  return n;
}

}  // namespace

TEST(DataLinkWindow, ATextControlPaintsEachRecordOfTheWindowAsACopy) {
  auto ds = People(true);
  AddPerson(ds.get(), L"I", 1);
  AddPerson(ds.get(), L"WWWWWW", 2);
  ds->Append();
  ds->FieldByName(L"Name")->SetAsString(L" ");
  ds->Post();
  ds->First();
  auto* form = KwCreate<TForm>(nullptr);
  form->SetBounds(0, 0, 300, 100);
  TDataSource src(nullptr);
  src.SetDataSet(ds.get());
  auto* text = new TDBText(form);
  text->SetParent(form);
  text->SetBounds(0, 0, 120, 20);
  text->Font()->SetColor(clBlack);
  text->SetColor(clWhite);
  text->SetParentColor(false);
  text->SetDataSource(&src);
  text->SetDataField(L"Name");
  form->Show();
  // As a control grid does: a window of three records, each painted in turn.
  text->DataLink()->SetBufferCount(3);
  int ink[3];
  for (int i = 0; i < 3; ++i) {
    text->DataLink()->SetActiveRecord(i);
    text->SetControlState(text->ControlState() + TControlState{csPaintCopy});
    TBitmap bmp(120, 20);
    text->PaintTo(bmp.Canvas(), 0, 0);
    text->SetControlState(text->ControlState() - TControlState{csPaintCopy});
    ink[i] = InkIn(bmp, 120, 20);
  }
  text->DataLink()->SetActiveRecord(0);
  EXPECT_GT(ink[0], 3);           // "I"
  EXPECT_GT(ink[1], ink[0] * 5);  // "WWWWWW"
  EXPECT_EQ(ink[2], 0);           // a blank
  EXPECT_EQ(ds->RecNo(), 1);
  EXPECT_EQ(text->Field()->AsString(), L"I");
  delete form;
}

TEST(DataSourceLife, AFieldDestroyedUnderAnOpenDataSetClosesItFirst) {
  auto ds = People();
  TDataSource src(nullptr);
  src.SetDataSet(ds.get());
  TFieldDataLink link;
  int changes = 0;
  link.OnDataChange = [&](TObject*) { ++changes; };
  link.SetDataSource(&src);
  link.SetFieldName(L"Age");
  ASSERT_NE(link.Field(), nullptr);
  delete ds->FieldByName(L"Age");  // a default field, freed by hand
  EXPECT_FALSE(ds->Active());
  EXPECT_EQ(link.Field(), nullptr);
  EXPECT_EQ(ds->FindField(L"Age"), nullptr);
  ds->Open();
  EXPECT_EQ(link.Field(), ds->FieldByName(L"Age"));
  link.SetDataSource(nullptr);
  EXPECT_GT(changes, 1);
}
