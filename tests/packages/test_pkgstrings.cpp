// The string package: header and version handling, older files, the three collections and their
// id rules, references resolving late and following changes, numbered library messages taken
// from a "System" string package, and a fuzz loop over the reader.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "core/Kwlinks.h"
#include "host/Filer.h"
#include "host/Streams.h"
#include "host/Stringlist.h"
#include "host/Sysutils.h"
#include "host/Win.h"
#include "packages/Kwexcept.h"
#include "packages/Kwpkgstrings.h"

using namespace kw;

namespace {

TKwAppStrings GApp;
const TKwAppStrings* TestApp() { return &GApp; }

String ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return L"(no error)";
}

TBytes PackageBytes(TKwPkgInfo* pkg) {
  TBytesStream s;
  pkg->SaveToStream(s);
  return s.Bytes();
}

void LoadBytes(TKwPkgInfo* pkg, const TBytes& bytes) {
  TBytesStream s(bytes);
  pkg->LoadFromStream(s);
}

// A string package file written by hand, for versions and contents the writer never makes.
TBytes HandMade(Word version, const std::function<void(TWriter&)>& body) {
  TBytesStream s;
  {
    TWriter w(s);
    KwWritePackageHeader(w, L"KwPkgStrings", version);
    w.WriteString(L"hand");
    body(w);
  }
  return s.Bytes();
}

class PkgStringsTest : public ::testing::Test {
protected:
  void SetUp() override {
    KwInitMainUnit();
    KwSetAppStringsAccessor(&TestApp);
    GApp = {};
  }
  void TearDown() override {
    KwSetAppStringsAccessor(nullptr);
    GApp = {};
  }
};

}  // namespace

TEST_F(PkgStringsTest, HeaderVersionsAndOlderFiles) {
  TKwPkgStrings pkg(nullptr);
  pkg.SetName(L"Strings1");
  pkg.SetDescription(L"Captions");
  pkg.Labels()->Add(3, L"Open", L"Opens a file")->SetProtected(true);
  pkg.Messages()->Add(3, L"Disk full");
  pkg.Texts()->Add(0, L"Long\r\ntext");
  pkg.EditorWindow = {10, 20, 300, 400, 2};
  TBytes bytes = PackageBytes(&pkg);
  ASSERT_GE(bytes.size(), 34u);
  EXPECT_EQ(bytes[0], 23);
  EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 24), std::string("\x01" "123456789" "\x01" "KwPkgStrings"));
  EXPECT_EQ(bytes[32] | (bytes[33] << 8), 5);

  // Everything comes back, the signature's letter case aside.
  TBytes lower = bytes;
  for (int i = 12; i < 24; ++i) lower[size_t(i)] = Byte(std::tolower(lower[size_t(i)]));
  TKwPkgStrings copy(nullptr);
  copy.SetName(L"Copy");
  LoadBytes(&copy, lower);
  EXPECT_EQ(copy.Description(), L"Captions");
  ASSERT_NE(copy.Labels()->FindId(3), nullptr);
  EXPECT_EQ(copy.Labels()->FindId(3)->Hint(), L"Opens a file");
  EXPECT_TRUE(copy.Labels()->FindId(3)->Protected());
  ASSERT_NE(copy.Messages()->FindId(3), nullptr) << "a message may share a label's id";
  EXPECT_EQ(copy.Messages()->FindId(3)->Text(), L"Disk full");
  EXPECT_FALSE(copy.Messages()->FindId(3)->Protected());
  EXPECT_EQ(copy.Texts()->FindId(0)->Text(), L"Long\r\ntext");
  EXPECT_EQ(copy.EditorWindow.Width, 300);
  EXPECT_EQ(copy.EditorWindow.State, 2);

  // Header faults (46, 47) name the stream and come before anything is cleared.
  TBytes newer = bytes;
  newer[32] = 6;
  EXPECT_EQ(ErrorOf([&] { LoadBytes(&copy, newer); }),
            L"Copy: Stream was written by a newer version of the string package");
  TBytes wrong = bytes;
  wrong[15] = 'X';
  EXPECT_EQ(ErrorOf([&] { LoadBytes(&copy, wrong); }), L"Copy: Stream is not a string package file");
  EXPECT_EQ(copy.Labels()->Count(), 1);
  EXPECT_EQ(copy.Messages()->Count(), 1);

  // Version 4: no flags, so nothing is protected; the window placement is there.
  TBytes v4 = HandMade(4, [](TWriter& w) {
    for (int c : {1, 1, 0}) w.WriteInteger(c);
    w.WriteInteger(7);
    w.WriteString(L"Save");
    w.WriteString(L"Saves");
    w.WriteInteger(2);
    w.WriteString(L"Saved");
    for (int v : {1, 2, 3, 4, 1}) w.WriteInteger(v);
  });
  LoadBytes(&copy, v4);
  ASSERT_EQ(copy.Labels()->Count(), 1);
  EXPECT_EQ(copy.Labels()->FindId(7)->Text(), L"Save");
  EXPECT_FALSE(copy.Labels()->FindId(7)->Protected());
  EXPECT_EQ(copy.Messages()->FindId(2)->Text(), L"Saved");
  EXPECT_EQ(copy.Texts()->Count(), 0);
  EXPECT_EQ(copy.EditorWindow.Height, 4);
  EXPECT_EQ(copy.EditorWindow.State, 1);

  // Version 2 has no window placement: the current one stays.
  copy.EditorWindow = {5, 6, 7, 8, 3};
  LoadBytes(&copy, HandMade(2, [](TWriter& w) {
              for (int c : {0, 0, 1}) w.WriteInteger(c);
              w.WriteInteger(0);
              w.WriteString(L"only");
            }));
  EXPECT_EQ(copy.Texts()->FindId(0)->Text(), L"only");
  EXPECT_EQ(copy.Labels()->Count(), 0);
  EXPECT_EQ(copy.EditorWindow.Left, 5);
  EXPECT_EQ(copy.EditorWindow.State, 3);

  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  String file = String(dir) + L"kw_desc.pst";
  pkg.SaveToFile(file);
  EXPECT_EQ(KwReadPkgStringsDescription(file), L"Captions");
  DeleteFileW(file.c_str());
}

TEST_F(PkgStringsTest, IdsLookupsAndRepeatedIdsFromAFile) {
  TKwPkgStrings pkg(nullptr);
  pkg.SetName(L"Pkg");
  TKwPkgStringsLabels* labels = pkg.Labels();
  TKwPkgStringsMessages* messages = pkg.Messages();
  labels->Add(0, L"Zero");
  labels->Add(1, L"One");
  labels->Add(3, L"Three");
  EXPECT_EQ(labels->UniqueId(), 2);
  messages->Add(2, L"m2");
  messages->Add(0, L"m0");
  EXPECT_EQ(messages->UniqueId(), 1);
  messages->Add(1, L"m1");
  EXPECT_EQ(messages->UniqueId(), 3);
  EXPECT_EQ(pkg.Texts()->UniqueId(), 0);

  // Id errors leave everything as it was.
  String negative = ErrorOf([&] { labels->Add(-1, L"x"); });
  EXPECT_NE(negative.find(L"-1"), String::npos) << negative;
  EXPECT_NE(ErrorOf([&] { messages->Add(10000, L"x"); }).find(L"10000"), String::npos);
  EXPECT_NE(ErrorOf([&] { labels->FindId(1)->SetId(3); }), L"(no error)");
  EXPECT_NE(ErrorOf([&] { messages->FindId(0)->SetId(2); }), L"(no error)");
  EXPECT_EQ(labels->Count(), 3);
  EXPECT_EQ(labels->FindId(1)->Text(), L"One");
  EXPECT_EQ(labels->FindId(3)->Text(), L"Three");
  EXPECT_EQ(messages->FindId(0)->Text(), L"m0");
  EXPECT_EQ(messages->FindId(2)->Text(), L"m2");

  // Moving a label moves its index slot; freeing one empties it.
  labels->FindId(1)->SetId(8);
  EXPECT_EQ(labels->FindId(1), nullptr);
  EXPECT_EQ(labels->FindId(8)->Text(), L"One");
  EXPECT_EQ(labels->UniqueId(), 1);
  delete labels->FindId(0);
  EXPECT_EQ(labels->FindId(0), nullptr);
  EXPECT_EQ(labels->Count(), 2);

  EXPECT_EQ(labels->FindLabel(L"tHREE"), labels->FindId(3));
  EXPECT_EQ(labels->FindLabel(L"Four"), nullptr);

  // Assign takes the strings only.
  TKwPkgStringsLabel* three = labels->FindId(3);
  three->SetProtected(true);
  TKwPkgStringsLabel source;
  source.SetText(L"Drei");
  source.SetHint(L"Die Drei");
  three->Assign(&source);
  EXPECT_EQ(three->Text(), L"Drei");
  EXPECT_EQ(three->Hint(), L"Die Drei");
  EXPECT_EQ(three->Id(), 3);
  EXPECT_TRUE(three->Protected());

  // Reading checks no ids: of two messages with one id, FindId gives the first.
  LoadBytes(&pkg, HandMade(5, [](TWriter& w) {
              for (int c : {2, 2, 0}) w.WriteInteger(c);
              for (const wchar_t* t : {L"first label", L"second label"}) {
                w.WriteInteger(4);
                w.WriteString(t);
                w.WriteString(L"");
                w.WriteBoolean(false);
              }
              for (const wchar_t* t : {L"first", L"second"}) {
                w.WriteInteger(9);
                w.WriteString(t);
                w.WriteBoolean(false);
              }
              for (int v : {0, 0, 0, 0, 0}) w.WriteInteger(v);
            }));
  ASSERT_EQ(pkg.Messages()->Count(), 2);
  EXPECT_EQ(pkg.Messages()->FindId(9)->Text(), L"first");
  EXPECT_EQ(pkg.Labels()->Count(), 2);
  EXPECT_EQ(pkg.Labels()->FindId(4)->Text(), L"second label") << "the index is filled in file order";
  // Freeing the label that lost its slot leaves the other one found.
  delete pkg.Labels()->GetItems(0);
  ASSERT_NE(pkg.Labels()->FindId(4), nullptr);
  EXPECT_EQ(pkg.Labels()->FindId(4)->Text(), L"second label");
}

TEST_F(PkgStringsTest, ReferencesResolveLateAndFollowChanges) {
  TKwMemoryLabel caption;
  caption.PkgId(L"Captions", 5);
  TKwMemoryMessage message;
  message.PkgId(L"Captions", 5);
  int changes = 0;
  caption.OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(caption.Text(), L"");
  changes = 0;

  // A package made afterwards satisfies the references when it gets the items.
  auto* first = new TKwPkgStrings(nullptr);
  first->SetPkgName(L"captions");
  first->Labels()->Add(5, L"Open", L"Opens");
  EXPECT_GE(changes, 1);
  EXPECT_EQ(caption.Text(), L"Open");
  EXPECT_EQ(caption.Hint(), L"Opens");
  EXPECT_EQ(message.Text(), L"") << "labels and messages are different collections";
  first->Messages()->Add(5, L"Cannot open");
  EXPECT_EQ(message.Text(), L"Cannot open");
  EXPECT_EQ(caption.Text(), L"Open");

  // An item resolves whatever its text, and a new text reaches the reference.
  changes = 0;
  first->Labels()->FindId(5)->SetText(L"");
  EXPECT_GE(changes, 1);
  EXPECT_NE(caption.Info(), nullptr);
  EXPECT_EQ(caption.Text(), L"");
  first->Labels()->FindId(5)->SetText(L"Open...");
  EXPECT_EQ(caption.Text(), L"Open...");

  // A second package of the name wins only once activated.
  auto* second = new TKwPkgStrings(nullptr);
  second->Labels()->Add(5, L"Öffnen");
  second->SetPkgName(L"Captions");
  EXPECT_EQ(caption.Text(), L"Open...");
  changes = 0;
  second->SetActive(true);
  EXPECT_EQ(caption.Text(), L"Öffnen");
  EXPECT_EQ(changes, 1);
  TStringList names;
  KwPkgStringsActives(&names);
  ASSERT_EQ(names.Count(), 1) << "one entry per distinct name";
  EXPECT_EQ(names.Objects(0), second);

  // Clearing the winner falls back to nothing there (the front-most package still answers).
  changes = 0;
  second->Clear();
  EXPECT_EQ(caption.Text(), L"");
  EXPECT_GE(changes, 1);
  // Its going lets the other answer again.
  delete second;
  EXPECT_EQ(caption.Text(), L"Open...");
  // A label removed: the reference is told and shows nothing, never a freed item.
  changes = 0;
  delete first->Labels()->FindId(5);
  EXPECT_GE(changes, 1);
  EXPECT_EQ(caption.Info(), nullptr);
  // A package going away re-resolves its references once and raises no changes of its own.
  int packageChanges = 0;
  first->OnChange = [&](TObject*) { ++packageChanges; };
  int messageChanges = 0;
  message.OnChange = [&](TObject*) { ++messageChanges; };
  EXPECT_EQ(message.Text(), L"Cannot open");
  delete first;
  EXPECT_EQ(packageChanges, 0);
  EXPECT_EQ(messageChanges, 1);
  EXPECT_EQ(message.Text(), L"");

  // The default pair answers while the id is -2; -1 is nothing.
  TKwPkgStrings system(nullptr);
  system.Texts()->Add(1, L"Welcome");
  GApp.System = &system;
  TKwMemoryText welcome(L"System", 1, true);
  EXPECT_EQ(welcome.Id(), -2);
  EXPECT_EQ(welcome.Text(), L"Welcome");
  welcome.SetId(-1);
  EXPECT_EQ(welcome.Text(), L"");
  EXPECT_EQ(KwReadPkgText(L"System", 1), L"Welcome");
  EXPECT_EQ(KwReadPkgMessage(L"NoSuchPackage", 1), L"");
  EXPECT_EQ(KwReadPkgLabelHint(L"System", 1), L"");

  // Without an application controller nothing resolves.
  KwSetAppStringsAccessor(nullptr);
  welcome.SetId(-2);
  EXPECT_FALSE(welcome.Defined());
  EXPECT_EQ(welcome.Text(), L"");
  GApp = {};
}

TEST_F(PkgStringsTest, ReservedNamesAndMessagesFromTheSystemPackage) {
  TKwPkgStrings pkg(nullptr);
  pkg.SetName(L"Pkg");
  pkg.SetPkgName(L"Mine");
  String refused = ErrorOf([&] { pkg.SetPkgName(L"user"); });
  EXPECT_NE(refused, L"(no error)");
  EXPECT_EQ(pkg.PkgName(), L"Mine");

  // Without a "System" package the library's own texts answer.
  String builtIn;
  ASSERT_TRUE(KwSystemMessage(67, builtIn));
  EXPECT_EQ(refused, L"Pkg: " + builtIn);

  // With one, its messages answer, formatted with the arguments.
  TKwPkgStrings system(nullptr);
  system.Messages()->Add(24, L"Die Nummer %d ist schon vergeben");
  system.Messages()->Add(67, L"Reservierter Name");
  GApp.System = &system;
  pkg.Labels()->Add(2, L"two");
  EXPECT_EQ(ErrorOf([&] { pkg.Labels()->Add(2, L"again"); }), L"Pkg: Die Nummer 2 ist schon vergeben");
  EXPECT_EQ(ErrorOf([&] { pkg.SetPkgName(L"User"); }), L"Pkg: Reservierter Name");
  // A number the package lacks: the built-in text, then the unknown-message text.
  String negative;
  ASSERT_TRUE(KwSystemMessage(22, negative));
  EXPECT_EQ(ErrorOf([&] { pkg.Labels()->Add(-4, L"x"); }), L"Pkg: " + Format(negative, {-4}));
  EXPECT_EQ(ErrorOf([&] { KwExceptPkg(nullptr, L"System", 4321); }), L"Message Unknown (System) (4321)");
  EXPECT_EQ(ErrorOf([&] { KwExceptPkg(&pkg, L"Other", 24); }), L"Pkg: Message Unknown (Other) (24)");
  // A message changed in the package is the next error's text.
  system.Messages()->FindId(67)->SetText(L"Name reserved here");
  EXPECT_EQ(ErrorOf([&] { pkg.SetPkgName(L"User"); }), L"Pkg: Name reserved here");

  // Any other package answers for its own name.
  TKwPkgStrings app(nullptr);
  app.SetPkgName(L"AppMessages");
  app.Messages()->Add(1, L"%s is missing");
  EXPECT_EQ(ErrorOf([&] { KwExceptPkgArgs(nullptr, L"appmessages", 1, {String(L"a.txt")}); }), L"a.txt is missing");
  EXPECT_EQ(pkg.PkgName(), L"Mine");
  GApp = {};
}

TEST_F(PkgStringsTest, TheReaderSurvivesDamagedInput) {
  TKwPkgStrings pkg(nullptr);
  for (int i = 0; i < 6; ++i) {
    pkg.Labels()->Add(i, L"Label " + IntToStr(i), L"Hint " + IntToStr(i));
    pkg.Messages()->Add(i * 2, L"Message " + IntToStr(i));
  }
  pkg.Texts()->Add(0, String(300, L'x'));
  TBytes good = PackageBytes(&pkg);
  std::mt19937 rng(20261207);
  int refused = 0;
  TKwPkgStrings target(nullptr);
  target.Labels()->Add(99, L"kept");
  for (int round = 0; round < 300; ++round) {
    TBytes bad = good;
    int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits && bad.size() > 35; ++e) {
      size_t at = 34 + rng() % (bad.size() - 34);
      switch (rng() % 3) {
        case 0: bad[at] = Byte(rng()); break;
        case 1: bad.resize(at); break;
        default: bad.insert(bad.begin() + long(at), 4, Byte(0xFF)); break;
      }
    }
    int before = target.Labels()->Count();
    TKwPkgStringsLabel* kept = target.Labels()->FindId(99);
    try {
      LoadBytes(&target, bad);
    } catch (const Exception&) {
      ++refused;
      // A refused file leaves the package as it was.
      EXPECT_EQ(target.Labels()->Count(), before);
      EXPECT_EQ(target.Labels()->FindId(99), kept);
    }
    target.Clear();
    target.Labels()->Add(99, L"kept");
  }
  EXPECT_GT(refused, 30) << "damage is noticed, not read as data";
  LoadBytes(&target, good);
  EXPECT_EQ(target.Labels()->Count(), 6);
  EXPECT_EQ(target.Messages()->FindId(10)->Text(), L"Message 5");
}
