// Shared by the data tests: a small people dataset and a data link that logs every
// notification it receives, in order.
#pragma once

#include <memory>
#include <vector>

#include "host/Memdata.h"

namespace kw::datatest {

// Fields ID (auto-increment), Name (string 20, required), Age (integer), Pay (BCD 2),
// Born (date); rows ("Cleo", 31), ("Abe", 45), ("Bea", 27) unless empty is asked for.
std::unique_ptr<TClientDataSet> People(bool empty = false);
void AddPerson(TClientDataSet* ds, const String& name, int age);

class TLogLink : public TDataLink {
public:
  std::vector<String> Log;
  void Clear() { Log.clear(); }
  String Joined() const;

protected:
  void ActiveChanged() override { Log.push_back(L"active"); }
  void CheckBrowseMode() override { Log.push_back(L"check"); }
  void DataSetChanged() override { Log.push_back(L"changed"); }
  void DataSetScrolled(int d) override { Log.push_back(L"scrolled " + std::to_wstring(d)); }
  void EditingChanged() override { Log.push_back(Editing() ? L"editing on" : L"editing off"); }
  void LayoutChanged() override { Log.push_back(L"layout"); }
  void RecordChanged(TField* f) override { Log.push_back(L"record " + (f ? f->FieldName() : String(L"-"))); }
  void UpdateData() override { Log.push_back(L"update"); }
};

}  // namespace kw::datatest
