// The gallery's data page: an edit and a text label bound to an in-memory dataset of three
// people, shown on the first record and, on a second form, after a scroll to the next one.
#include "examples/gallery/Gallery.h"

#include "host/Dbctrls.h"
#include "host/Memdata.h"
#include "host/StdCtrls.h"

namespace kw::gallery {

namespace {

TForm* PeopleForm(const wchar_t* name, const wchar_t* caption, int moves) {
  TForm* f = NewForm(name, caption, 300, 110);
  auto* people = new TClientDataSet(f);
  people->SetName(L"People");
  people->FieldDefs()->Add(L"Name", ftString, 20);
  people->FieldDefs()->Add(L"Age", ftInteger);
  people->CreateDataSet();
  for (auto [who, age] : {std::pair{L"Cleo", 31}, {L"Abe", 45}, {L"Bea", 27}}) {
    people->Append();
    people->FieldByName(L"Name")->SetAsString(who);
    people->FieldByName(L"Age")->SetAsInteger(age);
    people->Post();
  }
  people->First();
  auto* source = new TDataSource(f);
  source->SetName(L"PeopleSource");
  source->SetDataSet(people);

  Put<TLabel>(f, L"NameLabel", 10, 14, 60, 16)->SetCaption(L"Name:");
  auto* edit = Put<TDBEdit>(f, L"NameEdit", 70, 10, 150, 21);
  edit->SetDataSource(source);
  edit->SetDataField(L"Name");
  Put<TLabel>(f, L"AgeLabel", 10, 44, 60, 16)->SetCaption(L"Age:");
  auto* age = Put<TDBText>(f, L"AgeText", 70, 44, 80, 16);
  age->SetDataSource(source);
  age->SetDataField(L"Age");
  age->Font()->SetStyle({fsBold});
  people->MoveBy(moves);
  return f;
}

TForm* DataForm() { return PeopleForm(L"Data", L"Data controls", 0); }
TForm* DataScrolledForm() { return PeopleForm(L"DataScrolled", L"Data controls after a scroll", 1); }

PageRegistration dataPage(90, DataForm);
PageRegistration dataScrolledPage(91, DataScrolledForm);

}  // namespace

}  // namespace kw::gallery
