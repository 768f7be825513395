// TStrings, the abstract list of strings with objects, name=value pairs, text, delimited text,
// files and form streaming, and TStringList, its sorted, change-notifying implementation.
// Encodings are in Encoding.h.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "host/Classes.h"

namespace kw {

class TEncoding;
class TStream;

class TStrings : public TPersistent {
  KW_CLASS(TStrings, TPersistent)
  TStrings();
  ~TStrings() override;

  virtual String Get(int index) const = 0;
  virtual int GetCount() const = 0;
  virtual TObject* GetObject(int index) const { return nullptr; }
  virtual void Put(int index, const String& s);
  virtual void PutObject(int index, TObject* obj) {}
  virtual void Insert(int index, const String& s) = 0;
  virtual void InsertObject(int index, const String& s, TObject* obj);
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual int Add(const String& s);
  virtual int AddObject(const String& s, TObject* obj);
  int AddPair(const String& name, const String& value) { return Add(name + FNameValueSeparator + value); }
  void Append(const String& s) { Add(s); }
  virtual void AddStrings(const TStrings* strings);
  virtual void Exchange(int index1, int index2);
  virtual void Move(int curIndex, int newIndex);
  virtual int IndexOf(const String& s) const;
  int IndexOfName(const String& name) const;
  int IndexOfObject(TObject* obj) const;
  // Same strings in the same order, compared exactly.
  bool Equals(const TStrings* strings) const;

  int Count() const { return GetCount(); }
  String Strings(int index) const { return Get(index); }
  void SetStrings(int index, const String& s) { Put(index, s); }
  TObject* Objects(int index) const { return GetObject(index); }
  void SetObjects(int index, TObject* obj) { PutObject(index, obj); }
  virtual int Capacity() const { return GetCount(); }
  virtual void SetCapacity(int capacity) {}

  // The part before the first separator, empty when there is none.
  String Names(int index) const;
  // The value of the first entry whose name matches (per CompareStrings); empty when none.
  String Values(const String& name) const;
  // An empty value deletes the entry; a new name is added.
  void SetValues(const String& name, const String& value);
  String ValueFromIndex(int index) const;
  void SetValueFromIndex(int index, const String& value);
  wchar_t NameValueSeparator() const { return FNameValueSeparator; }
  void SetNameValueSeparator(wchar_t c) { FNameValueSeparator = c; }

  // Every string followed by LineBreak.
  String Text() const;
  // With the CR LF line break, lines end at CR, LF or CR LF; otherwise at LineBreak only.
  virtual void SetText(const String& text);
  const String& LineBreak() const { return FLineBreak; }
  void SetLineBreak(const String& s) { FLineBreak = s; }

  String CommaText() const;
  void SetCommaText(const String& text);
  // Items holding the quote, the delimiter, or (unless StrictDelimiter) a character up to
  // space are quoted with inner quotes doubled; a single empty item is two quotes.
  String DelimitedText() const;
  void SetDelimitedText(const String& text);
  wchar_t Delimiter() const { return FDelimiter; }
  void SetDelimiter(wchar_t c) { FDelimiter = c; }
  wchar_t QuoteChar() const { return FQuoteChar; }
  void SetQuoteChar(wchar_t c) { FQuoteChar = c; }
  bool StrictDelimiter() const { return FStrictDelimiter; }
  void SetStrictDelimiter(bool v) { FStrictDelimiter = v; }

  // Nesting is counted; the update state changes at the outermost pair only.
  void BeginUpdate();
  void EndUpdate();

  // Without an encoding the byte-order mark decides; without one, bytes that hold UTF-8
  // sequences and are valid UTF-8 read as UTF-8, anything else in DefaultEncoding. The
  // encoding found is kept for saving.
  virtual void LoadFromStream(TStream& stream, TEncoding* encoding = nullptr);
  virtual void LoadFromFile(const String& fileName, TEncoding* encoding = nullptr);
  // Without an encoding, the one the text was loaded in, else DefaultEncoding. The encoding's
  // byte-order mark is written first when WriteBOM is set.
  virtual void SaveToStream(TStream& stream, TEncoding* encoding = nullptr) const;
  // Written beside the file and swapped in, so a failure leaves the old file whole.
  virtual void SaveToFile(const String& fileName, TEncoding* encoding = nullptr) const;
  // The encoding of the last load; nullptr before any.
  TEncoding* Encoding() const { return FEncoding; }
  TEncoding* DefaultEncoding() const { return FDefaultEncoding; }
  // Shared instances are kept, others copied.
  void SetDefaultEncoding(TEncoding* encoding);
  bool WriteBOM() const { return FWriteBOM; }
  void SetWriteBOM(bool v) { FWriteBOM = v; }

  void Assign(const TPersistent* source) override;
  void DefineProperties(TFiler& filer) override;

  // The comparison of IndexOf, IndexOfName and Values: the locale's, without case.
  virtual int CompareStrings(const String& s1, const String& s2) const;

protected:
  virtual void SetUpdateState(bool updating) {}
  int UpdateCount() const { return FUpdateCount; }
  [[noreturn]] static void Error(const wchar_t* msg, int data);
  [[noreturn]] static void Error(const wchar_t* msg);
  void ReadData(TReader& reader);
  void WriteData(TWriter& writer) const;

private:
  String DelimitedWith(wchar_t delimiter, wchar_t quoteChar) const;
  void SetDelimitedWith(const String& text, wchar_t delimiter, wchar_t quoteChar);
  void SetEncoding(TEncoding* encoding);
  TEncoding* FEncoding = nullptr;
  TEncoding* FDefaultEncoding;
  std::unique_ptr<TEncoding> FOwnEncoding;
  std::unique_ptr<TEncoding> FOwnDefaultEncoding;
  String FLineBreak = L"\r\n";
  wchar_t FDelimiter = L',';
  wchar_t FQuoteChar = L'"';
  wchar_t FNameValueSeparator = L'=';
  bool FStrictDelimiter = false;
  bool FWriteBOM = true;
  int FUpdateCount = 0;
};

class TStringList;
enum TDuplicates { dupIgnore, dupAccept, dupError };
// Compares the items at two indices of the list, as CompareStrings does.
using TStringListSortCompare = std::function<int(TStringList* list, int index1, int index2)>;

class TStringList : public TStrings {
  KW_CLASS(TStringList, TStrings)
  explicit TStringList(bool ownsObjects = false) : FOwnsObjects(ownsObjects) {}
  // Frees the objects when it owns them; no change events are sent.
  ~TStringList() override;

  String Get(int index) const override;
  int GetCount() const override { return int(FList.size()); }
  TObject* GetObject(int index) const override;
  // Put and Insert raise EStringListError on a sorted list.
  void Put(int index, const String& s) override;
  void PutObject(int index, TObject* obj) override;
  void Insert(int index, const String& s) override { InsertObject(index, s, nullptr); }
  void InsertObject(int index, const String& s, TObject* obj) override;
  void Delete(int index) override;
  void Clear() override;
  int Add(const String& s) override { return AddObject(s, nullptr); }
  // On a sorted list, at its place: an equal string is ignored (its index returned), accepted
  // before the equal ones, or refused, as Duplicates says.
  int AddObject(const String& s, TObject* obj) override;
  void Exchange(int index1, int index2) override;
  void Move(int curIndex, int newIndex) override;
  int IndexOf(const String& s) const override;
  int Capacity() const override { return FCapacity; }
  void SetCapacity(int capacity) override;

  // Binary search, meaningful on a sorted list: true when found; index is where s is, or
  // where it would go.
  bool Find(const String& s, int& index) const;
  virtual void Sort();
  // Does nothing on a list that is Sorted (it already is).
  virtual void CustomSort(const TStringListSortCompare& compare);

  bool Sorted() const { return FSorted; }
  void SetSorted(bool value);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates value) { FDuplicates = value; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool value);
  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool value) { FOwnsObjects = value; }
  int CompareStrings(const String& s1, const String& s2) const override;

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

protected:
  void SetUpdateState(bool updating) override;
  virtual void Changing();
  virtual void Changed();
  void InsertItem(int index, const String& s, TObject* obj);
  void ExchangeItems(int index1, int index2);

private:
  struct TStringItem {
    String FString;
    TObject* FObject = nullptr;
  };
  void CheckIndex(int index) const;
  void Grow();
  void QuickSort(int l, int r, const TStringListSortCompare& compare);
  std::vector<TStringItem> FList;
  int FCapacity = 0;
  bool FSorted = false;
  TDuplicates FDuplicates = dupIgnore;
  bool FCaseSensitive = false;
  bool FOwnsObjects;
};

}  // namespace kw
