// TStrings, TStringList, TEncoding and TStringStream: index and sorting errors, name=value
// pairs, text and delimited text with fuzzed round trips, change events, encoding detection,
// file round trips and form streaming of the Strings property.
#include <gtest/gtest.h>
#include "host/Win.h"

#include <random>
#include <vector>

#include "host/Encoding.h"
#include "host/Formtext.h"
#include "host/Stringlist.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw {

class TSLTestObject : public TObject {
public:
  explicit TSLTestObject(int* freed) : FFreed(freed) {}
  ~TSLTestObject() override { ++*FFreed; }

private:
  int* FFreed;
};

// A component with a string list property, as controls publish their Items.
class TSLHolder : public TComponent {
  KW_CLASS(TSLHolder, TComponent)
  explicit TSLHolder(TComponent* owner) : TComponent(owner), FItems(new TStringList) {}
  ~TSLHolder() override { delete FItems; }
  TStringList* Items() const { return FItems; }
  void SetItems(TStringList* items) { FItems->Assign(items); }

private:
  TStringList* FItems;
};

KW_BEGIN_CLASS(TSLHolder, TComponent) { b.Prop(L"Items", &TSLHolder::Items, &TSLHolder::SetItems); }

namespace {

using Strings = std::vector<String>;

Strings Items(const TStrings& s) {
  Strings out;
  for (int i = 0; i < s.Count(); ++i) out.push_back(s.Strings(i));
  return out;
}

void Fill(TStrings& s, const Strings& items) {
  s.Clear();
  for (const String& item : items) s.Add(item);
}

template <class F>
String StringListError(F f) {
  try {
    f();
  } catch (const EStringListError& e) {
    return e.Message();
  }
  return L"no EStringListError";
}

TBytes Bytes(std::initializer_list<int> b) {
  TBytes out;
  for (int v : b) out.push_back(Byte(v));
  return out;
}

TBytes StreamBytes(TStream& s) {
  TBytes out(size_t(s.Size()));
  s.SetPosition(0);
  if (!out.empty()) s.ReadBuffer(out.data(), Int64(out.size()));
  return out;
}

TBytes FileBytes(const String& name) {
  TFileStream f(name, fmOpenRead);
  return StreamBytes(f);
}

String TempName(const wchar_t* tag) {
  return GetTempDirectory() + L"kwsl_" + IntToStr(Int64(GetCurrentProcessId())) + L"_" + tag + L".txt";
}

// An encoding that fails half way, to prove a failed save leaves the old file alone.
class TFailingEncoding : public TUTF8Encoding {
public:
  TBytes GetBytes(const wchar_t*, size_t) const override { throw EEncodingError(L"cannot encode"); }
  using TEncoding::GetBytes;
};

const String NonBMP = L"x\xD83D\xDE00y\x00E9\x4E2D";  // x, U+1F600, y, e-acute, a CJK ideograph

}  // namespace

TEST(StringListIndexErrors, RaiseStringListErrorsWithTheIndex) {
  TStringList list;
  Fill(list, {L"a", L"b", L"c"});
  EXPECT_EQ(StringListError([&] { list.Get(3); }), L"List index out of bounds (3)");
  EXPECT_EQ(StringListError([&] { list.Objects(-1); }), L"List index out of bounds (-1)");
  EXPECT_EQ(StringListError([&] { list.Insert(4, L"x"); }), L"List index out of bounds (4)");
  EXPECT_EQ(StringListError([&] { list.Delete(3); }), L"List index out of bounds (3)");
  EXPECT_EQ(StringListError([&] { list.Exchange(2, 3); }), L"List index out of bounds (3)");
  EXPECT_EQ(StringListError([&] { list.SetStrings(5, L"x"); }), L"List index out of bounds (5)");
  EXPECT_EQ(StringListError([&] { list.SetCapacity(2); }), L"List capacity out of bounds (2)");
  EXPECT_EQ(StringListError([&] { list.Move(0, 3); }), L"List index out of bounds (3)");
  EXPECT_EQ(Items(list), (Strings{L"a", L"b", L"c"}));
}

TEST(StringListSorted, AddsInOrderAndRefusesPositionalEdits) {
  TStringList list;
  list.SetSorted(true);
  for (const wchar_t* s : {L"pear", L"Apple", L"fig", L"banana"}) list.Add(s);
  EXPECT_EQ(Items(list), (Strings{L"Apple", L"banana", L"fig", L"pear"}));
  EXPECT_EQ(StringListError([&] { list.Insert(0, L"x"); }), L"Operation not allowed on sorted list");
  EXPECT_EQ(StringListError([&] { list.SetStrings(0, L"x"); }), L"Operation not allowed on sorted list");
  // Refused before anything moved, so nothing is lost.
  EXPECT_EQ(StringListError([&] { list.Move(0, 2); }), L"Operation not allowed on sorted list");
  EXPECT_EQ(list.Count(), 4);
  int index = -1;
  EXPECT_TRUE(list.Find(L"FIG", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(list.Find(L"cherry", index));
  EXPECT_EQ(index, 2);  // where it would go
  EXPECT_EQ(list.IndexOf(L"PEAR"), 3);
  EXPECT_EQ(list.IndexOf(L"plum"), -1);
}

TEST(StringListSorted, DuplicatesPolicy) {
  TStringList list;
  list.SetSorted(true);
  list.Add(L"b");
  list.Add(L"d");
  EXPECT_EQ(list.Add(L"B"), 0);  // dupIgnore: the index of the one already there
  EXPECT_EQ(Items(list), (Strings{L"b", L"d"}));
  list.SetDuplicates(dupError);
  EXPECT_EQ(StringListError([&] { list.Add(L"D"); }), L"String list does not allow duplicates");
  EXPECT_EQ(list.Count(), 2);
  list.SetDuplicates(dupAccept);
  EXPECT_EQ(list.Add(L"D"), 1);  // before the equal one
  EXPECT_EQ(Items(list), (Strings{L"b", L"D", L"d"}));
  list.Add(L"d");
  list.Add(L"a");
  list.Add(L"z");
  EXPECT_EQ(list.Add(L"d"), 2);  // before the first of three equal ones
  int index = -1;
  EXPECT_TRUE(list.Find(L"D", index));
  EXPECT_EQ(index, 2);
  // Duplicates mean nothing to an unsorted list.
  TStringList plain;
  plain.SetDuplicates(dupError);
  plain.Add(L"a");
  plain.Add(L"a");
  EXPECT_EQ(plain.Count(), 2);
}

TEST(StringListCase, SensitivityDecidesMatches) {
  TStringList list;
  list.SetSorted(true);
  list.Add(L"abc");
  list.Add(L"ABC");
  EXPECT_EQ(list.Count(), 1);
  list.SetCaseSensitive(true);
  list.Add(L"ABC");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Strings(list.IndexOf(L"ABC")), L"ABC");
  EXPECT_EQ(list.IndexOf(L"Abc"), -1);
  // Switching sensitivity re-sorts, so that binary search stays right.
  TStringList mixed;
  mixed.SetSorted(true);
  mixed.SetDuplicates(dupAccept);
  for (const wchar_t* s : {L"a", L"A", L"b", L"B", L"c", L"C"}) mixed.Add(s);
  mixed.SetCaseSensitive(true);
  for (int i = 0; i + 1 < mixed.Count(); ++i)
    EXPECT_LE(mixed.CompareStrings(mixed.Strings(i), mixed.Strings(i + 1)), 0) << i;
  for (const wchar_t* s : {L"a", L"A", L"b", L"B", L"c", L"C"}) EXPECT_EQ(mixed.Strings(mixed.IndexOf(s)), s);
  TStringList plain;
  Fill(plain, {L"Name=1"});
  EXPECT_EQ(plain.IndexOf(L"NAME=1"), 0);
  plain.SetCaseSensitive(true);
  EXPECT_EQ(plain.IndexOf(L"NAME=1"), -1);
}

TEST(StringListSort, UsesTheLocaleAndCustomOrders) {
  TStringList list;
  Fill(list, {L"b", L"\x00E4", L"a", L"B"});
  list.SetCaseSensitive(true);
  list.Sort();
  // Linguistic order: a-umlaut sorts with a, not after z as its code would have it.
  EXPECT_EQ(list.Strings(0), L"a");
  EXPECT_EQ(list.Strings(1), L"\x00E4");
  Fill(list, {L"aa", L"a", L"aaa"});
  list.CustomSort([](TStringList* l, int i, int j) { return int(l->Strings(j).size()) - int(l->Strings(i).size()); });
  EXPECT_EQ(Items(list), (Strings{L"aaa", L"aa", L"a"}));
  // A list marked sorted is left as it is.
  list.SetSorted(true);
  list.CustomSort([](TStringList* l, int i, int j) { return int(l->Strings(j).size()) - int(l->Strings(i).size()); });
  EXPECT_EQ(Items(list), (Strings{L"a", L"aa", L"aaa"}));
}

TEST(StringListObjects, OwnedObjectsAreFreedOnceAndMovesKeepThem) {
  int freed = 0;
  {
    TStringList list(true);
    auto* a = new TSLTestObject(&freed);
    list.AddObject(L"a", a);
    list.AddObject(L"b", new TSLTestObject(&freed));
    list.AddObject(L"c", new TSLTestObject(&freed));
    list.Move(0, 2);
    EXPECT_EQ(freed, 0);
    EXPECT_EQ(list.Objects(2), a);
    EXPECT_EQ(list.IndexOfObject(a), 2);
    list.Exchange(0, 2);
    EXPECT_EQ(list.Objects(0), a);
    list.Delete(0);
    EXPECT_EQ(freed, 1);
    list.AddObject(L"d", new TSLTestObject(&freed));
    list.Clear();
    EXPECT_EQ(freed, 4);
    list.AddObject(L"e", new TSLTestObject(&freed));
  }
  EXPECT_EQ(freed, 5);
  auto* kept = new TSLTestObject(&freed);
  {
    TStringList list;
    list.AddObject(L"k", kept);
  }
  EXPECT_EQ(freed, 5);
  delete kept;
}

TEST(StringListValues, NamesValuesAndMissingNames) {
  TStringList list;
  Fill(list, {L"a=1", L"B=two=2", L"plain", L"=empty"});
  EXPECT_EQ(list.Values(L"b"), L"two=2");
  EXPECT_EQ(list.Values(L"missing"), L"");
  EXPECT_EQ(list.Values(L"plain"), L"");
  EXPECT_EQ(list.Names(1), L"B");
  EXPECT_EQ(list.Names(2), L"");
  EXPECT_EQ(list.ValueFromIndex(1), L"two=2");
  EXPECT_EQ(list.ValueFromIndex(2), L"");
  EXPECT_EQ(list.Values(L""), L"empty");
  EXPECT_EQ(list.IndexOfName(L"A"), 0);
  list.SetValues(L"a", L"9");
  list.SetValues(L"c", L"3");
  EXPECT_EQ(Items(list), (Strings{L"a=9", L"B=two=2", L"plain", L"=empty", L"c=3"}));
  list.SetValues(L"b", L"");  // an empty value deletes
  list.SetValues(L"nothing", L"");
  EXPECT_EQ(Items(list), (Strings{L"a=9", L"plain", L"=empty", L"c=3"}));
  list.SetValueFromIndex(3, L"4");
  EXPECT_EQ(list.Strings(3), L"c=4");
  list.SetNameValueSeparator(L':');
  list.Add(L"k:v");
  EXPECT_EQ(list.Values(L"K"), L"v");
  EXPECT_EQ(list.Values(L"a=9"), L"");
  list.AddPair(L"p", L"q");
  EXPECT_EQ(list.Strings(list.Count() - 1), L"p:q");
}

TEST(StringListText, SplitsOnEveryLineEndAndJoinsWithLineBreak) {
  TStringList list;
  list.SetText(L"a\nb\r\nc\rd");
  EXPECT_EQ(Items(list), (Strings{L"a", L"b", L"c", L"d"}));
  EXPECT_EQ(list.Text(), L"a\r\nb\r\nc\r\nd\r\n");
  list.SetText(L"a\r\n");
  EXPECT_EQ(Items(list), (Strings{L"a"}));
  list.SetText(L"\r\n\r\nx");
  EXPECT_EQ(Items(list), (Strings{L"", L"", L"x"}));
  list.SetText(L"a\n\rb");  // LF CR is two line ends
  EXPECT_EQ(Items(list), (Strings{L"a", L"", L"b"}));
  list.SetText(L"");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Text(), L"");
  list.SetLineBreak(L"|");
  list.SetText(L"x|y\nz|");
  EXPECT_EQ(Items(list), (Strings{L"x", L"y\nz"}));
  EXPECT_EQ(list.Text(), L"x|y\nz|");
  String huge(300000, L'q');
  list.SetLineBreak(L"\r\n");
  list.SetText(huge + L"\n" + huge);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Strings(1).size(), huge.size());
}

TEST(StringListDelimited, QuotesLikeTheHost) {
  TStringList list;
  Fill(list, {L"a b", L"c,d", L"e\"f", L"", L"g", L"tab\t"});
  EXPECT_EQ(list.CommaText(), L"\"a b\",\"c,d\",\"e\"\"f\",,g,\"tab\t\"");
  Fill(list, {L""});
  EXPECT_EQ(list.CommaText(), L"\"\"");
  Fill(list, {});
  EXPECT_EQ(list.CommaText(), L"");
  Fill(list, {L"a;b", L"c d", L"it's"});
  list.SetDelimiter(L';');
  list.SetQuoteChar(L'\'');
  EXPECT_EQ(list.DelimitedText(), L"'a;b';'c d';'it''s'");
  EXPECT_EQ(list.CommaText(), L"a;b,\"c d\",it's");  // CommaText keeps its own characters
  EXPECT_EQ(list.Delimiter(), L';');
  list.SetStrictDelimiter(true);
  EXPECT_EQ(list.DelimitedText(), L"'a;b';c d;'it''s'");
}

TEST(StringListDelimited, ParsesLikeTheHost) {
  TStringList list;
  auto parse = [&](const String& text) {
    list.SetCommaText(text);
    return Items(list);
  };
  EXPECT_EQ(parse(L"a,,b"), (Strings{L"a", L"", L"b"}));
  EXPECT_EQ(parse(L"a,"), (Strings{L"a", L""}));
  EXPECT_EQ(parse(L",a"), (Strings{L"", L"a"}));
  EXPECT_EQ(parse(L","), (Strings{L"", L""}));
  EXPECT_EQ(parse(L"\"\""), (Strings{L""}));
  EXPECT_EQ(parse(L""), (Strings{}));
  EXPECT_EQ(parse(L"  a , b  "), (Strings{L"a", L"b"}));
  EXPECT_EQ(parse(L"a b"), (Strings{L"a", L"b"}));  // spaces split when not strict
  EXPECT_EQ(parse(L"\"x\"\"y\",\"p,q\""), (Strings{L"x\"y", L"p,q"}));
  EXPECT_EQ(parse(L"\"a\"b,c"), (Strings{L"a", L"b", L"c"}));
  EXPECT_EQ(parse(L"\"unclosed, still"), (Strings{L"unclosed, still"}));
  list.SetStrictDelimiter(true);
  EXPECT_EQ(parse(L" a b ,c"), (Strings{L" a b ", L"c"}));
  EXPECT_EQ(parse(L"a,"), (Strings{L"a", L""}));
}

TEST(StringListDelimited, RoundTripsFuzzedItems) {
  std::mt19937 rng(20240611);
  const wchar_t alphabet[] = L"ab ,\"';\t\x00E9";
  for (int strict = 0; strict < 2; ++strict) {
    for (int round = 0; round < 400; ++round) {
      TStringList list, back;
      list.SetStrictDelimiter(strict != 0);
      back.SetStrictDelimiter(strict != 0);
      int n = int(rng() % 5);
      for (int i = 0; i < n; ++i) {
        String s;
        int len = int(rng() % 5);
        for (int k = 0; k < len; ++k) s += alphabet[rng() % (sizeof(alphabet) / sizeof(wchar_t) - 1)];
        list.Add(s);
      }
      back.SetCommaText(list.CommaText());
      ASSERT_EQ(Items(back), Items(list)) << "text: " << testing::PrintToString(list.CommaText());
      list.SetDelimiter(L';');
      list.SetQuoteChar(L'\'');
      back.SetDelimiter(L';');
      back.SetQuoteChar(L'\'');
      back.SetDelimitedText(list.DelimitedText());
      ASSERT_EQ(Items(back), Items(list));
    }
  }
}

TEST(StringListEvents, UpdateNestingFiresOncePerOutermostPair) {
  TStringList list;
  std::vector<String> log;
  list.OnChanging = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    log.push_back(L"changing");
  };
  list.OnChange = [&](TObject*) { log.push_back(L"change"); };
  list.Add(L"a");
  EXPECT_EQ(log, (std::vector<String>{L"changing", L"change"}));
  log.clear();
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add(L"b");
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(log, (std::vector<String>{L"changing"}));
  list.EndUpdate();
  EXPECT_EQ(log, (std::vector<String>{L"changing", L"change"}));
  log.clear();
  list.SetText(L"1\r\n2\r\n3");
  list.SetCommaText(L"x,y");
  EXPECT_EQ(log, (std::vector<String>{L"changing", L"change", L"changing", L"change"}));
  log.clear();
  list.EndUpdate();  // unbalanced: ignored
  list.Add(L"z");
  EXPECT_EQ(log.size(), 2u);
}

TEST(StringListAssign, CopiesStringsObjectsAndSettings) {
  TStringList source, dest;
  TObject marker;
  source.AddObject(L"one", &marker);
  source.Add(L"two");
  source.SetDelimiter(L';');
  source.SetQuoteChar(L'\'');
  source.SetNameValueSeparator(L':');
  source.SetStrictDelimiter(true);
  dest.Add(L"old");
  dest.Assign(&source);
  EXPECT_EQ(Items(dest), (Strings{L"one", L"two"}));
  EXPECT_EQ(dest.Objects(0), &marker);
  EXPECT_EQ(dest.Delimiter(), L';');
  EXPECT_EQ(dest.QuoteChar(), L'\'');
  EXPECT_EQ(dest.NameValueSeparator(), L':');
  EXPECT_TRUE(dest.StrictDelimiter());
  EXPECT_TRUE(dest.Equals(&source));
  dest.SetStrings(1, L"TWO");
  EXPECT_FALSE(dest.Equals(&source));
  dest.AddStrings(&dest);
  EXPECT_EQ(dest.Count(), 4);

  TPersistent other;
  try {
    dest.Assign(&other);
    ADD_FAILURE() << "assigned a TPersistent";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"Cannot assign a TPersistent to a TStringList");
  }
  try {
    other.Assign(&dest);
    ADD_FAILURE() << "assigned to a TPersistent";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"Cannot assign a TStringList to a TPersistent");
  }
}

TEST(EncodingBytes, UTF8AndUTF16Forms) {
  EXPECT_EQ(TEncoding::UTF8()->GetBytes(String(L"\xD83D\xDE00\x00E9")), Bytes({0xF0, 0x9F, 0x98, 0x80, 0xC3, 0xA9}));
  EXPECT_EQ(TEncoding::UTF8()->GetString(Bytes({0xF0, 0x9F, 0x98, 0x80, 0x41})), L"\xD83D\xDE00" L"A");
  EXPECT_EQ(TEncoding::Unicode()->GetBytes(String(L"A\x20AC")), Bytes({0x41, 0x00, 0xAC, 0x20}));
  EXPECT_EQ(TEncoding::BigEndianUnicode()->GetBytes(String(L"A\x20AC")), Bytes({0x00, 0x41, 0x20, 0xAC}));
  EXPECT_EQ(TEncoding::BigEndianUnicode()->GetString(Bytes({0x00, 0x41, 0x20, 0xAC, 0x00})), L"A\x20AC");
  // An unpaired surrogate has no UTF-8 form.
  EXPECT_EQ(TEncoding::UTF8()->GetBytes(String(L"\xD800" L"a")), Bytes({0xEF, 0xBF, 0xBD, 0x61}));
  EXPECT_EQ(TEncoding::ASCII()->GetBytes(String(L"a\x00E9\xD83D\xDE00")), Bytes({0x61, '?', '?'}));
  EXPECT_EQ(TEncoding::UTF8()->GetPreamble(), Bytes({0xEF, 0xBB, 0xBF}));
  EXPECT_EQ(TEncoding::Unicode()->GetPreamble(), Bytes({0xFF, 0xFE}));
  EXPECT_EQ(TEncoding::BigEndianUnicode()->GetPreamble(), Bytes({0xFE, 0xFF}));
  EXPECT_TRUE(TEncoding::ANSI()->GetPreamble().empty());
  EXPECT_EQ(TEncoding::ANSI()->CodePage(), GetACP());
  EXPECT_EQ(TEncoding::Default(), TEncoding::ANSI());
  EXPECT_TRUE(TEncoding::ASCII()->IsSingleByte());
  EXPECT_FALSE(TEncoding::UTF8()->IsSingleByte());
  EXPECT_FALSE(TEncoding::Unicode()->IsSingleByte());
  EXPECT_THROW(TEncoding::GetEncoding(12345), EEncodingError);
  EXPECT_EQ(TEncoding::GetEncoding(65001)->GetBytes(String(L"\x00E9")), Bytes({0xC3, 0xA9}));
}

TEST(EncodingBytes, InvalidUTF8DecodesToReplacementCharacters) {
  auto decode = [](std::initializer_list<int> b) { return TEncoding::UTF8()->GetString(Bytes(b)); };
  EXPECT_EQ(decode({0x61, 0xFF, 0x62}), L"a\xFFFD" L"b");
  EXPECT_EQ(decode({0xC3}), L"\xFFFD");                      // cut short at the end
  EXPECT_EQ(decode({0xE2, 0x82, 0x41}), L"\xFFFD" L"A");     // one mark for the cut sequence
  EXPECT_EQ(decode({0xC0, 0xAF}), L"\xFFFD\xFFFD");          // overlong
  EXPECT_EQ(decode({0xED, 0xA0, 0x80}), L"\xFFFD\xFFFD\xFFFD");  // an encoded surrogate
  EXPECT_EQ(decode({0xF4, 0x90, 0x80, 0x80}), L"\xFFFD\xFFFD\xFFFD\xFFFD");  // past U+10FFFF
  EXPECT_EQ(decode({0x80}), L"\xFFFD");
  std::mt19937 rng(99);
  for (int round = 0; round < 300; ++round) {
    TBytes junk(rng() % 40);
    for (Byte& b : junk) b = Byte(rng());
    String s = TEncoding::UTF8()->GetString(junk);
    EXPECT_LE(s.size(), junk.size());
    TBytes again = TEncoding::UTF8()->GetBytes(s);
    EXPECT_TRUE(IsValidUTF8(again.data(), again.size()));
    // Valid input survives the round trip; invalid input shows where it was bad.
    if (IsValidUTF8(junk.data(), junk.size()))
      EXPECT_EQ(again, junk);
    else
      EXPECT_NE(s.find(L'\xFFFD'), String::npos);
  }
}

TEST(EncodingDetection, ByteOrderMarks) {
  auto detect = [](const TBytes& b, TEncoding* given = nullptr) {
    TEncoding* e = given;
    int n = TEncoding::GetBufferEncoding(b, e);
    return std::make_pair(n, e);
  };
  EXPECT_EQ(detect(Bytes({0xEF, 0xBB, 0xBF, 0x41})), std::make_pair(3, TEncoding::UTF8()));
  EXPECT_EQ(detect(Bytes({0xFF, 0xFE, 0x41, 0})), std::make_pair(2, TEncoding::Unicode()));
  EXPECT_EQ(detect(Bytes({0xFE, 0xFF, 0, 0x41})), std::make_pair(2, TEncoding::BigEndianUnicode()));
  EXPECT_EQ(detect(Bytes({0xEF, 0xBB})), std::make_pair(0, TEncoding::Default()));
  EXPECT_EQ(detect(Bytes({})), std::make_pair(0, TEncoding::Default()));
  // A given encoding is kept; only its own mark counts.
  EXPECT_EQ(detect(Bytes({0xFF, 0xFE, 0x41, 0}), TEncoding::UTF8()), std::make_pair(0, TEncoding::UTF8()));
  EXPECT_EQ(detect(Bytes({0xFF, 0xFE, 0x41, 0}), TEncoding::Unicode()), std::make_pair(2, TEncoding::Unicode()));
}

TEST(StringStream, ReadsAndWritesTextAtThePosition) {
  TStringStream s(L"h\x00E9llo", TEncoding::UTF8(), false);
  EXPECT_EQ(s.Size(), 6);
  EXPECT_EQ(s.Encoding(), TEncoding::UTF8());
  EXPECT_EQ(s.ReadString(3), L"h\x00E9");
  EXPECT_EQ(s.ReadString(100), L"llo");
  EXPECT_EQ(s.ReadString(5), L"");
  s.SetPosition(1);
  s.WriteString(L"\xD83D\xDE00");  // four bytes over the e-acute and "ll"
  EXPECT_EQ(s.DataString(), L"h\xD83D\xDE00o");
  EXPECT_EQ(s.Position(), 5);
  TStringStream plain(L"abc");
  EXPECT_EQ(plain.Encoding(), TEncoding::Default());
  EXPECT_EQ(plain.ClassName(), L"TStringStream");
  plain.SetPosition(3);
  plain.WriteString(L"de");
  EXPECT_EQ(plain.DataString(), L"abcde");
  TStringStream owned(L"x", TEncoding::GetEncoding(1201).release());  // freed with the stream
  EXPECT_EQ(owned.Bytes(), Bytes({0, 0x78}));
}

TEST(StringListLoad, DetectsTheEncoding) {
  struct Case {
    TBytes bytes;
    Strings lines;
    TEncoding* encoding;
  };
  const Case cases[] = {
      {Bytes({0xEF, 0xBB, 0xBF, 0xC3, 0xA9, 0x0D, 0x0A, 0x62}), {L"\x00E9", L"b"}, TEncoding::UTF8()},
      {Bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE, 0x0A, 0x00, 0x63, 0x00}), {L"\xD83D\xDE00", L"c"}, TEncoding::Unicode()},
      {Bytes({0xFE, 0xFF, 0xD8, 0x3D, 0xDE, 0x00}), {L"\xD83D\xDE00"}, TEncoding::BigEndianUnicode()},
      {Bytes({0xC3, 0xA9, 0x0A, 0x78}), {L"\x00E9", L"x"}, TEncoding::UTF8()},  // no mark, valid UTF-8
      {Bytes({0x61, 0x62}), {L"ab"}, TEncoding::Default()},                      // plain ASCII
      // Cut in the middle of a surrogate pair: the odd byte is dropped, the rest kept.
      {Bytes({0xFF, 0xFE, 0x61, 0x00, 0x3D, 0xD8, 0x00}), {L"a\xD83D"}, TEncoding::Unicode()},
      {Bytes({0xEF, 0xBB, 0xBF, 0x61, 0xE2, 0x82}), {L"a\xFFFD"}, TEncoding::UTF8()},
  };
  for (const Case& c : cases) {
    TBytesStream stream(c.bytes);
    TStringList list;
    list.LoadFromStream(stream);
    EXPECT_EQ(Items(list), c.lines);
    EXPECT_EQ(list.Encoding(), c.encoding);
  }
  // Bytes that are not UTF-8 and carry no mark are read in the ANSI code page.
  TBytes ansi = Bytes({0x61, 0xE9, 0x62});
  TBytesStream stream(ansi);
  TStringList list;
  list.LoadFromStream(stream);
  EXPECT_EQ(list.Encoding(), TEncoding::ANSI());
  EXPECT_EQ(list.Strings(0), TEncoding::ANSI()->GetString(ansi));
  // An explicit encoding is obeyed and its mark skipped.
  TBytesStream marked(Bytes({0xEF, 0xBB, 0xBF, 0xC3, 0xA9}));
  list.LoadFromStream(marked, TEncoding::UTF8());
  EXPECT_EQ(list.Strings(0), L"\x00E9");
}

TEST(StringListFiles, SaveAndLoadRoundTripsNonBMPText) {
  String name = TempName(L"round");
  for (TEncoding* encoding : {TEncoding::UTF8(), TEncoding::Unicode(), TEncoding::BigEndianUnicode()}) {
    TStringList list;
    Fill(list, {NonBMP, L"", L"last"});
    list.SaveToFile(name, encoding);
    TBytes bytes = FileBytes(name);
    TBytes bom = encoding->GetPreamble();
    ASSERT_GE(bytes.size(), bom.size());
    EXPECT_TRUE(std::equal(bom.begin(), bom.end(), bytes.begin()));
    TStringList back;
    back.LoadFromFile(name);
    EXPECT_EQ(Items(back), Items(list));
    EXPECT_EQ(back.Encoding(), encoding);
    // Saving again without an encoding keeps the one it was loaded in.
    back.SaveToFile(name);
    EXPECT_EQ(FileBytes(name), bytes);
  }
  TStringList list;
  Fill(list, {NonBMP});
  list.SetWriteBOM(false);
  list.SaveToFile(name, TEncoding::UTF8());
  EXPECT_EQ(FileBytes(name), TEncoding::UTF8()->GetBytes(NonBMP + L"\r\n"));
  TStringList back;
  back.LoadFromFile(name);
  EXPECT_EQ(Items(back), Items(list));
  DeleteFileW(name);
  EXPECT_THROW(back.LoadFromFile(name), EFOpenError);
}

TEST(StringListFiles, AFailedSaveLeavesTheOldFile) {
  String name = TempName(L"safe");
  TStringList list;
  Fill(list, {L"old"});
  list.SaveToFile(name, TEncoding::UTF8());
  TBytes before = FileBytes(name);
  Fill(list, {L"new"});
  TFailingEncoding failing;
  EXPECT_THROW(list.SaveToFile(name, &failing), EEncodingError);
  EXPECT_EQ(FileBytes(name), before);
  String dir = ExtractFilePath(name);
  EXPECT_EQ(FindFiles(dir + ExtractFileName(name) + L"*").size(), 1u);  // no partial file left
  DeleteFileW(name);
}

TEST(StringListStreaming, StringsPropertyLoadsFromAFormAndWritesBack) {
  std::string text =
      "object Holder1: TSLHolder\r\n"
      "  Items.Strings = (\r\n"
      "    'a'\r\n"
      "    'b c'\r\n"
      "    '')\r\n"
      "end\r\n";
  TMemoryStream input, binary;
  input.WriteBuffer(text.data(), Int64(text.size()));
  input.SetPosition(0);
  ObjectTextToBinary(input, binary);
  binary.SetPosition(0);
  TComponent* read = binary.ReadComponent(nullptr);
  ASSERT_NE(read, nullptr);
  auto* holder = dynamic_cast<TSLHolder*>(read);
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(Items(*holder->Items()), (Strings{L"a", L"b c", L""}));

  TMemoryStream written, back;
  written.WriteComponent(holder);
  written.SetPosition(0);
  ObjectBinaryToText(written, back);
  TBytes bytes = StreamBytes(back);
  std::string out(bytes.begin(), bytes.end());
  EXPECT_NE(out.find("Items.Strings = (\r\n    'a'\r\n    'b c'\r\n    '')"), std::string::npos) << out;

  // An empty list, or one equal to the ancestor's, is not written at all.
  TSLHolder same(nullptr);
  same.Items()->Assign(holder->Items());
  TMemoryStream descendant, descendantText;
  descendant.WriteDescendent(&same, holder);
  descendant.SetPosition(0);
  ObjectBinaryToText(descendant, descendantText);
  bytes = StreamBytes(descendantText);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("Strings"), std::string::npos);
  TSLHolder empty(nullptr);
  TMemoryStream emptyStream;
  emptyStream.WriteComponent(&empty);
  bytes = StreamBytes(emptyStream);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("Strings"), std::string::npos);
  read->Free();
}

}  // namespace kw
