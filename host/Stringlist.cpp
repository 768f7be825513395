// TStrings' generic operations (pairs, text, delimited text, files, form streaming) and
// TStringList's storage, sorting and change events. Encodings themselves are in Encoding.cpp.
#include "host/Stringlist.h"

#include <algorithm>
#include <climits>

#include "host/Encoding.h"
#include "host/Filer.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw {

KW_REGISTER_CLASS(TStrings, TPersistent)
KW_REGISTER_CLASS(TStringList, TStrings)

namespace {

constexpr int MaxListSize = INT_MAX / 16;

// Keeps BeginUpdate and EndUpdate paired when an operation throws half way.
class TUpdateGuard {
public:
  explicit TUpdateGuard(TStrings* s) : FStrings(s) { FStrings->BeginUpdate(); }
  ~TUpdateGuard() { FStrings->EndUpdate(); }
  TUpdateGuard(const TUpdateGuard&) = delete;
  TUpdateGuard& operator=(const TUpdateGuard&) = delete;

private:
  TStrings* FStrings;
};

// Control characters and space separate unquoted items when the delimiter is not strict.
bool IsBlank(wchar_t c) { return c <= L' '; }

String Quoted(const String& s, wchar_t quote) {
  String out;
  out.reserve(s.size() + 2);
  out += quote;
  for (wchar_t c : s) {
    out += c;
    if (c == quote) out += quote;
  }
  out += quote;
  return out;
}

// Reads a quoted item at t[i] (which is the quote) and moves i past its closing quote;
// doubled quotes stand for one, and an unclosed item runs to the end.
String ExtractQuoted(const String& t, size_t& i, wchar_t quote) {
  String out;
  ++i;
  while (i < t.size()) {
    if (t[i] == quote) {
      if (i + 1 < t.size() && t[i + 1] == quote) {
        out += quote;
        i += 2;
        continue;
      }
      ++i;
      return out;
    }
    out += t[i++];
  }
  return out;
}

}  // namespace

TStrings::TStrings() : FDefaultEncoding(TEncoding::Default()) {}

TStrings::~TStrings() = default;

void TStrings::Error(const wchar_t* msg, int data) { throw EStringListError(Format(msg, {data})); }

void TStrings::Error(const wchar_t* msg) { throw EStringListError(msg); }

void TStrings::Put(int index, const String& s) {
  TObject* obj = GetObject(index);
  Delete(index);
  InsertObject(index, s, obj);
}

void TStrings::InsertObject(int index, const String& s, TObject* obj) {
  Insert(index, s);
  PutObject(index, obj);
}

int TStrings::Add(const String& s) {
  int result = GetCount();
  Insert(result, s);
  return result;
}

int TStrings::AddObject(const String& s, TObject* obj) {
  int result = Add(s);
  PutObject(result, obj);
  return result;
}

void TStrings::AddStrings(const TStrings* strings) {
  if (!strings) return;
  TUpdateGuard guard(this);
  // Counted once, so adding a list to itself doubles it rather than running forever.
  int n = strings->GetCount();
  for (int i = 0; i < n; ++i) AddObject(strings->Get(i), strings->GetObject(i));
}

void TStrings::Exchange(int index1, int index2) {
  TUpdateGuard guard(this);
  TObject* obj = GetObject(index1);
  String s = Get(index1);
  Put(index1, Get(index2));
  PutObject(index1, GetObject(index2));
  Put(index2, s);
  PutObject(index2, obj);
}

void TStrings::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  TUpdateGuard guard(this);
  String s = Get(curIndex);
  TObject* obj = GetObject(curIndex);
  // Detached first, so that a list owning its objects does not free this one.
  PutObject(curIndex, nullptr);
  Delete(curIndex);
  InsertObject(newIndex, s, obj);
}

int TStrings::IndexOf(const String& s) const {
  int n = GetCount();
  for (int i = 0; i < n; ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

int TStrings::IndexOfName(const String& name) const {
  int n = GetCount();
  for (int i = 0; i < n; ++i) {
    String s = Get(i);
    size_t p = s.find(FNameValueSeparator);
    if (p != String::npos && CompareStrings(s.substr(0, p), name) == 0) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(TObject* obj) const {
  int n = GetCount();
  for (int i = 0; i < n; ++i)
    if (GetObject(i) == obj) return i;
  return -1;
}

bool TStrings::Equals(const TStrings* strings) const {
  if (!strings) return false;
  int n = GetCount();
  if (n != strings->GetCount()) return false;
  for (int i = 0; i < n; ++i)
    if (Get(i) != strings->Get(i)) return false;
  return true;
}

String TStrings::Names(int index) const {
  String s = Get(index);
  size_t p = s.find(FNameValueSeparator);
  return p == String::npos ? String() : s.substr(0, p);
}

String TStrings::Values(const String& name) const {
  int i = IndexOfName(name);
  return i >= 0 ? ValueFromIndex(i) : String();
}

void TStrings::SetValues(const String& name, const String& value) {
  int i = IndexOfName(name);
  if (!value.empty()) {
    if (i < 0) i = Add(String());
    Put(i, name + FNameValueSeparator + value);
  } else if (i >= 0) {
    Delete(i);
  }
}

String TStrings::ValueFromIndex(int index) const {
  if (index < 0) return {};
  String s = Get(index);
  size_t p = s.find(FNameValueSeparator);
  return p == String::npos ? String() : s.substr(p + 1);
}

void TStrings::SetValueFromIndex(int index, const String& value) {
  if (!value.empty()) {
    if (index < 0) index = Add(String());
    Put(index, Names(index) + FNameValueSeparator + value);
  } else if (index >= 0) {
    Delete(index);
  }
}

String TStrings::Text() const {
  int n = GetCount();
  String out;
  size_t size = 0;
  for (int i = 0; i < n; ++i) size += Get(i).size() + FLineBreak.size();
  out.reserve(size);
  for (int i = 0; i < n; ++i) {
    out += Get(i);
    out += FLineBreak;
  }
  return out;
}

void TStrings::SetText(const String& text) {
  TUpdateGuard guard(this);
  Clear();
  size_t n = text.size();
  size_t i = 0;
  if (FLineBreak == L"\r\n") {
    while (i < n) {
      size_t start = i;
      while (i < n && text[i] != L'\r' && text[i] != L'\n') ++i;
      Add(text.substr(start, i - start));
      if (i < n && text[i] == L'\r') ++i;
      if (i < n && text[i] == L'\n') ++i;
    }
  } else if (FLineBreak.empty()) {
    if (n) Add(text);
  } else {
    while (i < n) {
      size_t p = text.find(FLineBreak, i);
      if (p == String::npos) p = n;
      Add(text.substr(i, p - i));
      i = p < n ? p + FLineBreak.size() : n;
    }
  }
}

String TStrings::CommaText() const { return DelimitedWith(L',', L'"'); }

void TStrings::SetCommaText(const String& text) { SetDelimitedWith(text, L',', L'"'); }

String TStrings::DelimitedText() const { return DelimitedWith(FDelimiter, FQuoteChar); }

void TStrings::SetDelimitedText(const String& text) { SetDelimitedWith(text, FDelimiter, FQuoteChar); }

String TStrings::DelimitedWith(wchar_t delimiter, wchar_t quoteChar) const {
  int n = GetCount();
  if (n == 1 && Get(0).empty()) return String(2, quoteChar);
  String out;
  for (int i = 0; i < n; ++i) {
    String s = Get(i);
    bool quote = std::any_of(s.begin(), s.end(), [&](wchar_t c) {
      return c == quoteChar || c == delimiter || c == L'\0' || (!FStrictDelimiter && IsBlank(c));
    });
    if (i) out += delimiter;
    out += quote ? Quoted(s, quoteChar) : s;
  }
  return out;
}

void TStrings::SetDelimitedWith(const String& text, wchar_t delimiter, wchar_t quoteChar) {
  TUpdateGuard guard(this);
  Clear();
  size_t n = text.size();
  size_t i = 0;
  auto skipBlanks = [&] {
    if (!FStrictDelimiter)
      while (i < n && IsBlank(text[i])) ++i;
  };
  skipBlanks();
  while (i < n) {
    String s;
    if (text[i] == quoteChar) {
      s = ExtractQuoted(text, i, quoteChar);
    } else {
      size_t start = i;
      while (i < n && (FStrictDelimiter || !IsBlank(text[i])) && text[i] != delimiter) ++i;
      s = text.substr(start, i - start);
    }
    Add(s);
    skipBlanks();
    if (i < n && text[i] == delimiter) {
      // A delimiter at the very end stands for a last, empty item.
      if (i + 1 == n) Add(String());
      ++i;
      skipBlanks();
    }
  }
}

void TStrings::BeginUpdate() {
  if (FUpdateCount == 0) SetUpdateState(true);
  ++FUpdateCount;
}

void TStrings::EndUpdate() {
  if (FUpdateCount <= 0) return;
  --FUpdateCount;
  if (FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::SetEncoding(TEncoding* encoding) {
  if (encoding == FEncoding) return;
  if (!encoding || TEncoding::IsStandardEncoding(encoding)) {
    FEncoding = encoding;
    FOwnEncoding.reset();
  } else {
    std::unique_ptr<TEncoding> copy = encoding->Clone();
    FEncoding = copy.get();
    FOwnEncoding = std::move(copy);
  }
}

void TStrings::SetDefaultEncoding(TEncoding* encoding) {
  if (encoding == FDefaultEncoding) return;
  if (!encoding) encoding = TEncoding::Default();
  if (TEncoding::IsStandardEncoding(encoding)) {
    FDefaultEncoding = encoding;
    FOwnDefaultEncoding.reset();
  } else {
    std::unique_ptr<TEncoding> copy = encoding->Clone();
    FDefaultEncoding = copy.get();
    FOwnDefaultEncoding = std::move(copy);
  }
}

void TStrings::LoadFromStream(TStream& stream, TEncoding* encoding) {
  TUpdateGuard guard(this);
  Int64 size = std::max<Int64>(stream.Size() - stream.Position(), 0);
  TBytes buffer(static_cast<size_t>(size));
  if (size) stream.ReadBuffer(buffer.data(), size);
  TEncoding* found = encoding;
  int bom = TEncoding::GetBufferEncoding(buffer, found, FDefaultEncoding);
  // Without a mark, text that uses UTF-8 sequences and is valid throughout is taken as UTF-8:
  // such bytes are almost never meant as a code page. Plain ASCII stays in the default.
  if (!encoding && bom == 0 && FDefaultEncoding->CodePage() != 1200 && FDefaultEncoding->CodePage() != 1201 &&
      !IsASCIIOnly(buffer.data(), buffer.size()) && IsValidUTF8(buffer.data(), buffer.size()))
    found = TEncoding::UTF8();
  SetEncoding(found);
  SetText(found->GetString(buffer.data() + bom, buffer.size() - size_t(bom)));
}

void TStrings::LoadFromFile(const String& fileName, TEncoding* encoding) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream, encoding);
}

void TStrings::SaveToStream(TStream& stream, TEncoding* encoding) const {
  if (!encoding) encoding = FEncoding ? FEncoding : FDefaultEncoding;
  if (FWriteBOM) {
    TBytes preamble = encoding->GetPreamble();
    if (!preamble.empty()) stream.WriteBuffer(preamble.data(), Int64(preamble.size()));
  }
  TBytes bytes = encoding->GetBytes(Text());
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), Int64(bytes.size()));
}

void TStrings::SaveToFile(const String& fileName, TEncoding* encoding) const {
  TSafeFileStream stream(fileName);
  SaveToStream(stream, encoding);
  stream.Commit();
}

void TStrings::Assign(const TPersistent* source) {
  if (auto* strings = dynamic_cast<const TStrings*>(source)) {
    if (strings == this) return;
    TUpdateGuard guard(this);
    Clear();
    FNameValueSeparator = strings->FNameValueSeparator;
    FQuoteChar = strings->FQuoteChar;
    FDelimiter = strings->FDelimiter;
    FLineBreak = strings->FLineBreak;
    FStrictDelimiter = strings->FStrictDelimiter;
    FWriteBOM = strings->FWriteBOM;
    SetDefaultEncoding(strings->FDefaultEncoding);
    AddStrings(strings);
    return;
  }
  TPersistent::Assign(source);
}

void TStrings::DefineProperties(TFiler& filer) {
  bool hasData;
  if (TPersistent* ancestor = filer.Ancestor()) {
    auto* strings = dynamic_cast<TStrings*>(ancestor);
    hasData = !strings || !Equals(strings);
  } else {
    hasData = GetCount() > 0;
  }
  filer.DefineProperty(
      L"Strings", [this](TReader& reader) { ReadData(reader); },
      [this](TWriter& writer) { WriteData(writer); }, hasData);
}

void TStrings::ReadData(TReader& reader) {
  reader.ReadListBegin();
  {
    TUpdateGuard guard(this);
    Clear();
    while (!reader.EndOfList()) Add(reader.ReadString());
  }
  reader.ReadListEnd();
}

void TStrings::WriteData(TWriter& writer) const {
  writer.WriteListBegin();
  int n = GetCount();
  for (int i = 0; i < n; ++i) writer.WriteString(Get(i));
  writer.WriteListEnd();
}

int TStrings::CompareStrings(const String& s1, const String& s2) const { return AnsiCompareText(s1, s2); }

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  if (FOwnsObjects) {
    std::vector<TStringItem> items;
    items.swap(FList);
    for (TStringItem& item : items)
      if (item.FObject) item.FObject->Free();
  }
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= GetCount()) Error(SRes::SListIndexError, index);
}

void TStringList::Changing() {
  if (UpdateCount() == 0) OnChanging(this);
}

void TStringList::Changed() {
  if (UpdateCount() == 0) OnChange(this);
}

void TStringList::SetUpdateState(bool updating) {
  if (updating)
    Changing();
  else
    Changed();
}

String TStringList::Get(int index) const {
  CheckIndex(index);
  return FList[size_t(index)].FString;
}

TObject* TStringList::GetObject(int index) const {
  CheckIndex(index);
  return FList[size_t(index)].FObject;
}

void TStringList::Put(int index, const String& s) {
  if (FSorted) Error(SRes::SSortedListError);
  CheckIndex(index);
  Changing();
  FList[size_t(index)].FString = s;
  Changed();
}

void TStringList::PutObject(int index, TObject* obj) {
  CheckIndex(index);
  Changing();
  FList[size_t(index)].FObject = obj;
  Changed();
}

void TStringList::InsertObject(int index, const String& s, TObject* obj) {
  if (FSorted) Error(SRes::SSortedListError);
  if (index < 0 || index > GetCount()) Error(SRes::SListIndexError, index);
  InsertItem(index, s, obj);
}

void TStringList::InsertItem(int index, const String& s, TObject* obj) {
  Changing();
  if (GetCount() == FCapacity) Grow();
  FList.insert(FList.begin() + index, TStringItem{s, obj});
  Changed();
}

void TStringList::Grow() {
  int delta = FCapacity > 64 ? FCapacity / 4 : FCapacity > 8 ? 16 : 4;
  SetCapacity(FCapacity + delta);
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  TObject* obj = FOwnsObjects ? FList[size_t(index)].FObject : nullptr;
  FList.erase(FList.begin() + index);
  if (obj) obj->Free();
  Changed();
}

void TStringList::Clear() {
  if (FList.empty()) return;
  Changing();
  std::vector<TStringItem> items;
  items.swap(FList);
  FCapacity = 0;
  // Freed once the list is already empty, so a destructor that looks at it sees it so.
  if (FOwnsObjects)
    for (TStringItem& item : items)
      if (item.FObject) item.FObject->Free();
  Changed();
}

int TStringList::AddObject(const String& s, TObject* obj) {
  int result = GetCount();
  if (FSorted && Find(s, result)) {
    if (FDuplicates == dupIgnore) return result;
    if (FDuplicates == dupError) Error(SRes::SDuplicateString);
  }
  InsertItem(result, s, obj);
  return result;
}

void TStringList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  ExchangeItems(index1, index2);
  Changed();
}

void TStringList::ExchangeItems(int index1, int index2) { std::swap(FList[size_t(index1)], FList[size_t(index2)]); }

void TStringList::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  // Checked before anything moves: the generic Move deletes first and would lose the item.
  if (FSorted) Error(SRes::SSortedListError);
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  TStrings::Move(curIndex, newIndex);
}

int TStringList::IndexOf(const String& s) const {
  if (!FSorted) return TStrings::IndexOf(s);
  int index;
  return Find(s, index) ? index : -1;
}

void TStringList::SetCapacity(int capacity) {
  if (capacity < GetCount() || capacity > MaxListSize) Error(SRes::SListCapacityError, capacity);
  if (capacity == FCapacity) return;
  if (size_t(capacity) < FList.capacity()) {
    std::vector<TStringItem> fresh;
    fresh.reserve(size_t(capacity));
    std::move(FList.begin(), FList.end(), std::back_inserter(fresh));
    FList.swap(fresh);
  } else {
    FList.reserve(size_t(capacity));
  }
  FCapacity = capacity;
}

bool TStringList::Find(const String& s, int& index) const {
  bool result = false;
  int l = 0, h = GetCount() - 1;
  while (l <= h) {
    int i = (l + h) >> 1;
    int c = CompareStrings(FList[size_t(i)].FString, s);
    if (c < 0) {
      l = i + 1;
    } else {
      h = i - 1;
      if (c == 0) {
        result = true;
        // With duplicates accepted the search goes on to the first of the equal strings.
        if (FDuplicates != dupAccept) l = i;
      }
    }
  }
  index = l;
  return result;
}

void TStringList::Sort() {
  CustomSort([](TStringList* list, int i, int j) {
    return list->CompareStrings(list->FList[size_t(i)].FString, list->FList[size_t(j)].FString);
  });
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
  if (FSorted || GetCount() <= 1) return;
  Changing();
  QuickSort(0, GetCount() - 1, compare);
  Changed();
}

// The host's quicksort over indices, the pivot followed as items move. The inner scans are
// bounded so that an inconsistent comparison cannot run off the list; the smaller part
// recurses and the larger loops, which bounds the stack.
void TStringList::QuickSort(int l, int r, const TStringListSortCompare& compare) {
  while (l < r) {
    int i = l, j = r, p = (l + r) >> 1;
    do {
      while (i < r && compare(this, i, p) < 0) ++i;
      while (j > l && compare(this, j, p) > 0) --j;
      if (i <= j) {
        if (i != j) ExchangeItems(i, j);
        if (p == i)
          p = j;
        else if (p == j)
          p = i;
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - l < r - i) {
      if (l < j) QuickSort(l, j, compare);
      l = i;
    } else {
      if (i < r) QuickSort(i, r, compare);
      r = j;
    }
  }
}

void TStringList::SetSorted(bool value) {
  if (FSorted == value) return;
  if (value) Sort();
  FSorted = value;
}

void TStringList::SetCaseSensitive(bool value) {
  if (FCaseSensitive == value) return;
  FCaseSensitive = value;
  if (FSorted) {
    // Sort does nothing on a list marked sorted, so the mark goes off for the re-sort.
    FSorted = false;
    SetSorted(true);
  }
}

int TStringList::CompareStrings(const String& s1, const String& s2) const {
  return FCaseSensitive ? AnsiCompareStr(s1, s2) : AnsiCompareText(s1, s2);
}

}  // namespace kw
