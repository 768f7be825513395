// The people dataset and the logging link of the data tests.
#include "tests/data/fixtures.h"

namespace kw::datatest {

void AddPerson(TClientDataSet* ds, const String& name, int age) {
  ds->Append();
  ds->FieldByName(L"Name")->SetAsString(name);
  ds->FieldByName(L"Age")->SetAsInteger(age);
  ds->Post();
}

std::unique_ptr<TClientDataSet> People(bool empty) {
  auto ds = std::make_unique<TClientDataSet>(nullptr);
  ds->SetName(L"People");
  ds->FieldDefs()->Add(L"ID", ftAutoInc);
  ds->FieldDefs()->Add(L"Name", ftString, 20, true);
  ds->FieldDefs()->Add(L"Age", ftInteger);
  ds->FieldDefs()->Add(L"Pay", ftBCD, 2);
  ds->FieldDefs()->Add(L"Born", ftDate);
  ds->CreateDataSet();
  if (!empty) {
    AddPerson(ds.get(), L"Cleo", 31);
    AddPerson(ds.get(), L"Abe", 45);
    AddPerson(ds.get(), L"Bea", 27);
    ds->First();
  }
  return ds;
}

String TLogLink::Joined() const {
  String s;
  for (const String& e : Log) s += (s.empty() ? L"" : L", ") + e;
  return s;
}

}  // namespace kw::datatest
