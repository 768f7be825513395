// Appends 100,000 records of five fields to the in-memory dataset, scrolls through them and
// sorts them on one field, and does the same work on a std::vector of structs in the same
// run, so the ratios are measured side by side. Prints "name: value unit" lines.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "host/Memdata.h"
#include "host/Sysutils.h"

using namespace kw;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <class F>
double Time(F&& f) {
  auto t0 = Clock::now();
  f();
  return Ms(Clock::now() - t0);
}

struct Person {
  int Id;
  String Name;
  int Age;
  double Score;
  TDateTime Born;
};

String NameOf(int i) {
  // Scrambled so that sorting has work to do.
  unsigned k = unsigned(i) * 2654435761u;
  return L"Name" + IntToStr(Int64(k % 1000003u));
}

}  // namespace

int wmain() {
  const int count = 100000;
  TClientDataSet ds(nullptr);
  ds.FieldDefs()->Add(L"Id", ftInteger);
  ds.FieldDefs()->Add(L"Name", ftString, 24);
  ds.FieldDefs()->Add(L"Age", ftInteger);
  ds.FieldDefs()->Add(L"Score", ftFloat);
  ds.FieldDefs()->Add(L"Born", ftDateTime);
  ds.CreateDataSet();
  TField* id = ds.FieldByName(L"Id");
  TField* name = ds.FieldByName(L"Name");
  TField* age = ds.FieldByName(L"Age");
  TField* score = ds.FieldByName(L"Score");
  TField* born = ds.FieldByName(L"Born");

  double dsAppend = Time([&] {
    for (int i = 0; i < count; ++i) {
      ds.Append();
      id->SetAsInteger(i);
      name->SetAsString(NameOf(i));
      age->SetAsInteger(i % 90);
      score->SetAsFloat(i * 0.5);
      born->SetAsDateTime(TDateTime(30000.0 + i % 20000));
      ds.Post();
    }
  });
  Int64 dsSum = 0;
  double dsScroll = Time([&] {
    ds.First();
    while (!ds.Eof()) {
      dsSum += age->AsInteger() + Int64(name->AsString().size());
      ds.Next();
    }
  });
  double dsSort = Time([&] { ds.SetIndexFieldNames(L"Name"); });
  ds.First();
  String dsFirst = name->AsString();

  std::vector<Person> people;
  double vecAppend = Time([&] {
    for (int i = 0; i < count; ++i)
      people.push_back({i, NameOf(i), i % 90, i * 0.5, TDateTime(30000.0 + i % 20000)});
  });
  Int64 vecSum = 0;
  double vecScroll = Time([&] {
    for (const Person& p : people) vecSum += p.Age + Int64(p.Name.size());
  });
  // The same collation as the dataset's index, so only the machinery differs.
  double vecSort = Time([&] {
    std::stable_sort(people.begin(), people.end(),
                     [](const Person& a, const Person& b) { return AnsiCompareStr(a.Name, b.Name) < 0; });
  });

  std::printf("records: %d count\n", count);
  std::printf("fields: %d count\n", ds.FieldCount());
  std::printf("dataset_append: %.1f ms\n", dsAppend);
  std::printf("dataset_scroll: %.1f ms\n", dsScroll);
  std::printf("dataset_sort: %.1f ms\n", dsSort);
  std::printf("vector_append: %.1f ms\n", vecAppend);
  std::printf("vector_scroll: %.2f ms\n", vecScroll);
  std::printf("vector_sort: %.1f ms\n", vecSort);
  std::printf("append_ratio: %.1f x\n", dsAppend / std::max(vecAppend, 0.001));
  std::printf("scroll_ratio: %.1f x\n", dsScroll / std::max(vecScroll, 0.001));
  std::printf("sort_ratio: %.2f x\n", dsSort / std::max(vecSort, 0.001));
  // Both sides did the same work: the same sums and the same first name in order.
  std::printf("same_results: %d bool\n", int(dsSum == vecSum && dsFirst == people.front().Name));
  return 0;
}
