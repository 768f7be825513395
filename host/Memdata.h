// TClientDataSet: a dataset whose rows live in memory, with its structure from field
// definitions, indexes on fields, key search, and a file form saved safely and read with
// every length checked. No providers, deltas or nested datasets.
#pragma once

#include <memory>

#include "host/Db.h"

namespace kw {

enum TIndexOption { ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression, ixNonMaintained };
using TIndexOptions = TSet<TIndexOption>;

class TClientDataSet : public TDataSet {
  KW_CLASS(TClientDataSet, TDataSet)
  explicit TClientDataSet(TComponent* owner);
  ~TClientDataSet() override;

  // Makes an empty dataset of the field definitions (or of the persistent data fields when
  // there are none) and opens it.
  void CreateDataSet();
  void EmptyDataSet();

  // Field names separated by ';': the order of the rows (ascending). Empty: insertion order.
  const String& IndexFieldNames() const { return FIndexFieldNames; }
  void SetIndexFieldNames(const String& v);
  // Named indexes; IndexName picks one (and clears IndexFieldNames).
  void AddIndex(const String& name, const String& fields, TIndexOptions options = {});
  void DeleteIndex(const String& name);
  const String& IndexName() const { return FIndexName; }
  void SetIndexName(const String& v);

  // Key search on the active index's fields (dsSetKey): fill the key fields, then GotoKey.
  void SetKey() { BeginSetKey(); }
  bool GotoKey() { return EndSetKey(false); }
  void GotoNearest() { EndSetKey(true); }
  bool FindKey(const std::vector<Variant>& values);
  void FindNearest(const std::vector<Variant>& values);

  // A file of the dataset's structure and rows, written beside the target and swapped in;
  // a failed save leaves the old file as it was.
  void SaveToFile(const String& fileName);
  void SaveToStream(TStream& stream);
  // Reads the whole file (a stream from its position on) into new rows first, then replaces
  // the dataset's structure and rows and opens it. Raises EDatabaseError naming the file and
  // the fault.
  void LoadFromFile(const String& fileName);
  void LoadFromStream(TStream& stream, const String& sourceName = L"stream");
  // Opening a dataset without a structure loads this file when it is set.
  const String& FileName() const { return FFileName; }
  void SetFileName(const String& v) { FFileName = v; }
  // A form keeps the structure and rows in "Data" (the file form), as it keeps a picture.
  void DefineProperties(TFiler& filer) override;

protected:
  void InternalOpen() override;
  void InternalClose() override;
  void InternalInitFieldDefs() override;
  int InternalRecordCount() const override { return int(FView.size()); }
  void InternalGetRecord(int index, std::vector<Variant>& values) override;
  int InternalPost(int index, bool inserting, std::vector<Variant>& values) override;
  void InternalDelete(int index) override;
  int InternalGotoKey(const std::vector<Variant>& key, bool nearest) override;

private:
  struct TIndex {
    String Name, Fields;
    TIndexOptions Options;
  };
  struct TSortKey {
    int Slot;
    TFieldType Type;
    bool Descending, CaseInsensitive;
  };
  struct TSchemaField {
    String Name;
    TFieldType Type;
    int Size, Precision;
    bool Required;
  };
  using TRow = std::vector<Variant>;
  void ApplyIndex();
  int CompareRows(const TRow& a, const TRow& b, size_t keyCount) const;
  int SortedPosition(const TRow& row) const;
  void SetSchemaFromDefs();
  static void Parse(const TBytes& data, const String& sourceName, std::vector<TSchemaField>& schema,
                    std::vector<std::unique_ptr<TRow>>& rows);
  void Adopt(std::vector<TSchemaField> schema, std::vector<std::unique_ptr<TRow>> rows);

  std::vector<TSchemaField> FSchema;
  bool FHasSchema = false;
  std::vector<std::unique_ptr<TRow>> FRows;  // insertion order
  std::vector<TRow*> FView;                  // the active index's order
  std::vector<TIndex> FIndexes;
  std::vector<TSortKey> FSortKeys;
  String FIndexFieldNames, FIndexName, FFileName;
  Int64 FAutoIncNext = 1;
};

}  // namespace kw
