// Component streaming: round trips of every property kind, defaults and ancestors writing only
// differences, references and fix-ups across roots, events by method name, Loaded order,
// reading errors and their recovery, and a fuzz loop over whole form streams.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>

#include "host/Formtext.h"
#include "host/Sysutils.h"
#include "tests/host/fixtures.h"

using namespace kw;

namespace {

TBytes Save(TComponent* root, TComponent* ancestor = nullptr) {
  TBytesStream s;
  s.WriteDescendent(root, ancestor);
  return s.Bytes();
}

template <class T>
T* Load(const TBytes& bytes, TComponent* into = nullptr) {
  TBytesStream s(bytes);
  return dynamic_cast<T*>(s.ReadComponent(into));
}

bool Contains(const TBytes& bytes, const char* text) {
  size_t n = std::strlen(text);
  for (size_t i = 0; i + n <= bytes.size(); ++i)
    if (std::memcmp(bytes.data() + i, text, n) == 0) return true;
  return false;
}

// A form with two parented widgets set to edge values, a reference between them and an
// event bound by method name.
TWForm* BuildForm() {
  auto* form = new TWForm(nullptr);
  form->SetName(L"Form1");
  auto* w1 = new TWidget(form);
  w1->SetName(L"W1");
  auto* w2 = new TWidget(form);
  w2->SetName(L"W2");
  w2->SetParent(w1);
  w1->SetLeft(INT_MIN);
  w1->SetSmall(255);
  w1->SetVisible(false);
  w1->SetAlign(waRight);
  w1->SetOptions({woBold, woItalic, woUnderline, woStrike});
  w1->SetCaption(String(L"It's \U0001F600 caf\u00e9 ") + String(300, L'x'));
  w1->SetRatio(0.1);
  w1->SetScale(1.5f);
  w1->SetPrice(Currency::FromRaw(INT64_MAX));
  w1->SetWhen(TDateTime(45000.75));
  w1->SetBig(INT64_MIN);
  w1->SetLetter(L'\u00e9');
  w1->SetData(Variant(String(L"variant text")));
  w1->Font()->SetName(L"Courier New");
  w1->Font()->SetStyle({woItalic});
  static_cast<TWItem*>(w1->Items()->Add())->SetCaption(L"first");
  static_cast<TWItem*>(w1->Items()->Add())->SetWidth(-1);
  w1->SetBuddy(w2);
  w1->Extra = L"defined";
  w1->Blob = {0, 1, 2, 255};
  w1->OnClick.Bind(form, &TWForm::WidgetClick, L"WidgetClick");
  w2->SetLeft(127);
  w2->SetBig(Int64(INT_MAX) + 1);
  w2->SetOptions({});
  w2->SetRatio(-0.0);
  w2->SetData(Null());
  w2->SetBuddy(w1);
  return form;
}

TComponent* FindForm1(const String& name);
TComponent* GFormForFinder = nullptr;
TComponent* FindForm1(const String& name) {
  return GFormForFinder && SameText(GFormForFinder->Name(), name) ? GFormForFinder : nullptr;
}

}  // namespace

TEST(FormStreaming, RoundTripsEveryPropertyKindAtItsEdges) {
  std::unique_ptr<TWForm> form(BuildForm());
  TBytes bytes = Save(form.get());
  ASSERT_TRUE(bytes.size() > 4 && std::memcmp(bytes.data(), "TPF0", 4) == 0);
  std::unique_ptr<TWForm> copy(Load<TWForm>(bytes));
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Name(), L"Form1");
  ASSERT_EQ(copy->ComponentCount(), 2);
  auto* w1 = dynamic_cast<TWidget*>(copy->FindComponent(L"W1"));
  auto* w2 = dynamic_cast<TWidget*>(copy->FindComponent(L"W2"));
  ASSERT_TRUE(w1 && w2);
  auto* o1 = static_cast<TWidget*>(form->FindComponent(L"W1"));
  EXPECT_EQ(w1->Left(), INT_MIN);
  EXPECT_EQ(w1->Small(), 255);
  EXPECT_FALSE(w1->Visible());
  EXPECT_EQ(w1->Align(), waRight);
  EXPECT_EQ(w1->Options(), (TWOptions{woBold, woItalic, woUnderline, woStrike}));
  EXPECT_EQ(w1->Caption(), o1->Caption());
  EXPECT_EQ(w1->Ratio(), 0.1);
  EXPECT_EQ(w1->Scale(), 1.5f);
  EXPECT_EQ(w1->Price(), Currency::FromRaw(INT64_MAX));
  EXPECT_EQ(double(w1->When()), 45000.75);
  EXPECT_EQ(w1->Big(), INT64_MIN);
  EXPECT_EQ(w1->Letter(), L'\u00e9');
  EXPECT_EQ(w1->Data().AsString(), L"variant text");
  EXPECT_EQ(w1->Font()->Name(), L"Courier New");
  EXPECT_EQ(w1->Font()->Size(), 8);
  EXPECT_EQ(w1->Font()->Style(), TWOptions{woItalic});
  ASSERT_EQ(w1->Items()->Count(), 2);
  EXPECT_EQ(static_cast<TWItem*>(w1->Items()->Items(0))->Caption(), L"first");
  EXPECT_EQ(static_cast<TWItem*>(w1->Items()->Items(1))->Width(), -1);
  EXPECT_EQ(w1->Buddy(), w2);
  EXPECT_EQ(w2->Buddy(), w1);
  EXPECT_EQ(w1->Extra, L"defined");
  EXPECT_EQ(w1->Blob, (TBytes{0, 1, 2, 255}));
  EXPECT_EQ(w2->Parent(), w1);
  EXPECT_EQ(w2->Left(), 127);
  EXPECT_EQ(w2->Big(), Int64(INT_MAX) + 1);
  EXPECT_TRUE(w2->Options().Empty());
  EXPECT_TRUE(std::signbit(w2->Ratio()));
  EXPECT_TRUE(w2->Data().IsNull());
  // The event was bound by name to the new form's method.
  w1->OnClick(w1);
  EXPECT_EQ(copy->Clicks, 1);
  EXPECT_EQ(copy->LastSender, w1);
  EXPECT_EQ(form->Clicks, 0);
  // Writing the copy again gives the same bytes.
  EXPECT_EQ(Save(copy.get()), bytes);
}

TEST(FormStreaming, DefaultValuesAreNotWritten) {
  TWForm form(nullptr);
  form.SetName(L"F");
  (new TWidget(&form))->SetName(L"W");
  TBytes bytes = Save(&form);
  const char expected[] = "TPF0\x06TWForm\x01" "F\x00\x07TWidget\x01W\x00\x00\x00";
  ASSERT_EQ(bytes.size(), sizeof(expected) - 1);
  EXPECT_EQ(std::memcmp(bytes.data(), expected, bytes.size()), 0);
}

TEST(FormStreaming, DescendantWritesOnlyDifferencesFromItsAncestor) {
  TWForm ancestor(nullptr);
  ancestor.SetName(L"Base");
  auto* a1 = new TWidget(&ancestor);
  a1->SetName(L"W1");
  a1->SetCaption(L"inherited caption");
  a1->SetLeft(1);
  auto* a2 = new TWidget(&ancestor);
  a2->SetName(L"W2");
  a2->SetCaption(L"untouched");
  TBytes base = Save(&ancestor);

  std::unique_ptr<TWForm> derived(Load<TWForm>(base));
  static_cast<TWidget*>(derived->FindComponent(L"W1"))->SetLeft(5);
  auto* added = new TWidget(derived.get());
  added->SetName(L"W3");
  added->SetCaption(L"new one");
  TBytes diff = Save(derived.get(), &ancestor);
  EXPECT_FALSE(Contains(diff, "inherited caption"));
  EXPECT_FALSE(Contains(diff, "W2"));  // an unchanged inherited child is left out
  EXPECT_TRUE(Contains(diff, "new one"));
  EXPECT_EQ(diff[4], 0xF1);  // the root is marked inherited

  // Reading the ancestor, then the difference, into one root rebuilds the descendant.
  std::unique_ptr<TWForm> rebuilt(Load<TWForm>(base));
  Load<TWForm>(diff, rebuilt.get());
  auto* r1 = static_cast<TWidget*>(rebuilt->FindComponent(L"W1"));
  ASSERT_TRUE(r1);
  EXPECT_EQ(r1->Left(), 5);
  EXPECT_EQ(r1->Caption(), L"inherited caption");
  ASSERT_TRUE(rebuilt->FindComponent(L"W3"));
  EXPECT_EQ(static_cast<TWidget*>(rebuilt->FindComponent(L"W3"))->Caption(), L"new one");
  EXPECT_EQ(rebuilt->ComponentCount(), 3);
}

TEST(FormStreaming, InheritedChildMissingFromTheRootIsAnError) {
  TWForm ancestor(nullptr);
  ancestor.SetName(L"Base");
  auto* a1 = new TWidget(&ancestor);
  a1->SetName(L"W1");
  TWForm derived(nullptr);
  derived.SetName(L"Base");
  auto* d1 = new TWidget(&derived);
  d1->SetName(L"W1");
  d1->SetLeft(9);
  TBytes diff = Save(&derived, &ancestor);
  TWForm empty(nullptr);
  try {
    Load<TWForm>(diff, &empty);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), L"Ancestor for 'W1' not found");
  }
}

TEST(FormStreaming, ReferencesIntoAnotherRootWaitUntilItIsFound) {
  TWForm form1(nullptr);
  form1.SetName(L"Form1");
  auto* target = new TWidget(&form1);
  target->SetName(L"Target");
  TWForm form2(nullptr);
  form2.SetName(L"Form2");
  auto* w = new TWidget(&form2);
  w->SetName(L"W");
  w->SetBuddy(target);
  TBytes bytes = Save(&form2);
  EXPECT_TRUE(Contains(bytes, "Form1.Target"));

  int before = PendingFixupCount();
  std::unique_ptr<TWForm> loaded(Load<TWForm>(bytes));
  auto* lw = static_cast<TWidget*>(loaded->FindComponent(L"W"));
  EXPECT_EQ(lw->Buddy(), nullptr);
  EXPECT_EQ(PendingFixupCount(), before + 1);
  GFormForFinder = &form1;
  RegisterFindGlobalComponentProc(&FindForm1);
  GlobalFixupReferences();
  EXPECT_EQ(lw->Buddy(), target);
  EXPECT_EQ(PendingFixupCount(), before);

  // A component that dies with its reference still pending leaves no fix-up behind.
  UnregisterFindGlobalComponentProc(&FindForm1);
  GFormForFinder = nullptr;
  auto* again = Load<TWForm>(bytes);
  EXPECT_EQ(PendingFixupCount(), before + 1);
  again->Free();
  EXPECT_EQ(PendingFixupCount(), before);
}

TEST(FormStreaming, LoadedRunsOnceEachInReadingOrderAfterTheWholeStream) {
  std::unique_ptr<TWForm> form(BuildForm());
  TBytes bytes = Save(form.get());
  Journal().clear();
  std::unique_ptr<TWForm> copy(Load<TWForm>(bytes));
  std::vector<String> expected = {L"loaded Form1", L"loaded W1", L"loaded W2"};
  EXPECT_EQ(Journal(), expected);
  auto* w1 = static_cast<TWidget*>(copy->FindComponent(L"W1"));
  EXPECT_TRUE(w1->LoadingSeenInLoaded);
  EXPECT_FALSE(w1->ComponentState().Contains(csLoading));
  EXPECT_FALSE(copy->ComponentState().Contains(csReading));
  // The references were fixed up before Loaded ran: Buddy is set in the copy.
  EXPECT_NE(w1->Buddy(), nullptr);
  w1->Loaded();  // a second call is harmless
  EXPECT_FALSE(w1->ComponentState().Contains(csLoading));
}

namespace {

// Builds "TPF0 TWForm F ( TWidget W1 <props> ) )" with the given property writer.
TBytes HandMade(const std::function<void(TWriter&)>& props, const wchar_t* childClass = L"TWidget") {
  TBytesStream s;
  {
    TWriter w(s);
    w.WriteSignature();
    w.WriteStr(L"TWForm");
    w.WriteStr(L"F");
    w.WriteListEnd();
    w.WriteStr(childClass);
    w.WriteStr(L"W1");
    props(w);
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteListEnd();
  }
  return s.Bytes();
}

}  // namespace

TEST(FormStreamingErrors, UnknownPropertyNamesComponentAndProperty) {
  TBytes bytes = HandMade([](TWriter& w) {
    w.WriteStr(L"Bogus");
    w.WriteInteger(1);
  });
  try {
    Load<TWForm>(bytes);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), L"Error reading W1.Bogus: Property Bogus does not exist");
  }
}

TEST(FormStreamingErrors, UnknownClassRaisesClassNotFound) {
  TBytes bytes = HandMade([](TWriter&) {}, L"TMissingWidget");
  try {
    Load<TWForm>(bytes);
    FAIL();
  } catch (const EClassNotFound& e) {
    EXPECT_EQ(e.Message(), L"Class TMissingWidget not found");
  }
}

TEST(FormStreamingErrors, ErrorHandlerCanLeaveOutAComponentOfAnUnknownClass) {
  TBytesStream s;
  {
    TWriter w(s);
    w.WriteSignature();
    w.WriteStr(L"TWForm");
    w.WriteStr(L"F");
    w.WriteListEnd();
    w.WriteStr(L"TGone");
    w.WriteStr(L"Lost");
    w.WriteStr(L"Anything");
    w.WriteListBegin();
    w.WriteInteger(1);
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteStr(L"TWidget");  // a child of the lost one goes with it
    w.WriteStr(L"LostChild");
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteStr(L"TWidget");
    w.WriteStr(L"Kept");
    w.WriteStr(L"Left");
    w.WriteInteger(3);
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteListEnd();
  }
  s.SetPosition(0);
  TReader reader(s);
  String message;
  reader.OnError = [&](TReader&, const String& m, bool& handled) {
    message = m;
    handled = true;
  };
  std::unique_ptr<TComponent> form(reader.ReadRootComponent(nullptr));
  EXPECT_EQ(message, L"Class TGone not found");
  ASSERT_EQ(form->ComponentCount(), 1);
  EXPECT_EQ(static_cast<TWidget*>(form->FindComponent(L"Kept"))->Left(), 3);
}

TEST(FormStreamingErrors, ErrorHandlerSkipsBadValuesAndReadingGoesOn) {
  TBytes bytes = HandMade([](TWriter& w) {
    w.WriteStr(L"Bogus");
    w.WriteListBegin();  // a nested value to skip
    w.WriteString(L"a");
    w.WriteInteger(70000);
    w.WriteListEnd();
    w.WriteStr(L"Align");
    w.WriteIdent(L"waDiagonal");
    w.WriteStr(L"OnClick");
    w.WriteIdent(L"NoSuchMethod");
    w.WriteStr(L"Small");
    w.WriteInteger(256);  // out of the Byte range
    w.WriteStr(L"Left");
    w.WriteInteger(42);
  });
  TBytesStream s(bytes);
  TReader reader(s);
  std::vector<String> messages;
  reader.OnError = [&](TReader&, const String& message, bool& handled) {
    messages.push_back(message);
    handled = true;
  };
  std::unique_ptr<TWForm> form(dynamic_cast<TWForm*>(reader.ReadRootComponent(nullptr)));
  ASSERT_TRUE(form);
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[1], L"Error reading W1.Align: Invalid property value");
  EXPECT_EQ(messages[2], L"Error reading W1.OnClick: Method NoSuchMethod not found");
  EXPECT_EQ(static_cast<TWidget*>(form->FindComponent(L"W1"))->Left(), 42);
  EXPECT_EQ(static_cast<TWidget*>(form->FindComponent(L"W1"))->Small(), 0);
}

TEST(FormStreamingErrors, AFailedReadIntoARootLeavesNothingItMadeBehind) {
  TBytesStream s;
  {
    TWriter w(s);
    w.WriteSignature();
    w.WriteStr(L"TWForm");
    w.WriteStr(L"F");
    w.WriteListEnd();
    w.WriteStr(L"TWidget");
    w.WriteStr(L"Good");
    w.WriteListEnd();
    w.WriteStr(L"TWidget");
    w.WriteStr(L"Inner");
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteStr(L"TWidget");
    w.WriteStr(L"Bad");
    w.WriteStr(L"Left");
    w.WriteString(L"not a number");
  }
  TWForm root(nullptr);
  auto* mine = new TWidget(&root);
  mine->SetName(L"Mine");
  s.SetPosition(0);
  EXPECT_THROW(s.ReadComponent(&root), EReadError);
  ASSERT_EQ(root.ComponentCount(), 1);
  EXPECT_EQ(root.Components(0), mine);
}

TEST(FormStreamingErrors, TruncatedStreamsRaiseReadErrors) {
  std::unique_ptr<TWForm> form(BuildForm());
  TBytes bytes = Save(form.get());
  for (size_t cut : {size_t(0), size_t(3), size_t(4), size_t(10), bytes.size() / 2, bytes.size() - 1}) {
    TBytes part(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut));
    EXPECT_THROW(Load<TWForm>(part), Exception) << "cut at " << cut;
  }
}

TEST(FormStreamingErrors, DeepNestingIsRefusedNotOverflowed) {
  TBytesStream s;
  {
    TWriter w(s);
    w.WriteSignature();
    w.WriteStr(L"TWForm");
    w.WriteStr(L"F");
    w.WriteListEnd();
    for (int i = 0; i < 5000; ++i) {
      w.WriteStr(L"TWidget");
      w.WriteStr(L"W" + IntToStr(Int64(i)));
      w.WriteListEnd();
    }
  }
  s.SetPosition(0);
  try {
    s.ReadComponent(nullptr);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), SRes::SNestingTooDeep);
  }
}

TEST(FormStreamingFuzz, MutatedStreamsRaiseHostExceptionsOnly) {
  std::unique_ptr<TWForm> form(BuildForm());
  const TBytes good = Save(form.get());
  std::mt19937 rng(20261206);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  int runs = 0, accepted = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    TBytes b = good;
    int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      size_t at = rng() % b.size();
      switch (rng() % 4) {
        case 0: b[at] = Byte(rng()); break;
        case 1: b.resize(at + 1); break;
        case 2: b[at] = Byte(0xFF); break;
        case 3: b.insert(b.begin() + std::ptrdiff_t(at), Byte(rng() % 22)); break;
      }
      if (b.empty()) b.push_back(0);
    }
    try {
      TComponent* c = Load<TComponent>(b);
      if (c) c->Free();
      ++accepted;
    } catch (const Exception&) {
    }
    ++runs;
  }
  EXPECT_GT(runs, 50);
  EXPECT_LT(accepted, runs);
}

TEST(TextForms, AHandWrittenTextFormLoadsIntoComponents) {
  const char* text =
      "object Form7: TWForm\n"
      "  object W1: TWidget\n"
      "    Caption = 'Line one'#13#10'line '#8364' two'\n"
      "    Font.Name = 'Arial'\n"
      "    Font.Style = [woBold, woStrike]\n"
      "    Align = waBottom\n"
      "    Ratio = 2.5\n"
      "    Price = 3.1415c\n"
      "    Big = 9000000000\n"
      "    Items = <\n"
      "      item\n"
      "        Caption = 'a'\n"
      "      end\n"
      "      item\n"
      "        Width = 7\n"
      "      end>\n"
      "    Buddy = W2\n"
      "    OnClick = WidgetClick\n"
      "    object W2: TWidget\n"
      "      Visible = False\n"
      "    end\n"
      "  end\n"
      "end\n";
  TBytesStream in(TBytes(text, text + std::strlen(text))), bin;
  ObjectTextToBinary(in, bin);
  bin.SetPosition(0);
  std::unique_ptr<TWForm> form(dynamic_cast<TWForm*>(bin.ReadComponent(nullptr)));
  ASSERT_TRUE(form);
  auto* w1 = static_cast<TWidget*>(form->FindComponent(L"W1"));
  auto* w2 = static_cast<TWidget*>(form->FindComponent(L"W2"));
  ASSERT_TRUE(w1 && w2);
  EXPECT_EQ(w1->Caption(), L"Line one\r\nline \u20ac two");
  EXPECT_EQ(w1->Font()->Name(), L"Arial");
  EXPECT_EQ(w1->Font()->Style(), (TWOptions{woBold, woStrike}));
  EXPECT_EQ(w1->Align(), waBottom);
  EXPECT_EQ(w1->Ratio(), 2.5);
  EXPECT_EQ(w1->Price(), Currency::FromRaw(31415));
  EXPECT_EQ(w1->Big(), 9000000000LL);
  ASSERT_EQ(w1->Items()->Count(), 2);
  EXPECT_EQ(static_cast<TWItem*>(w1->Items()->Items(1))->Width(), 7);
  EXPECT_EQ(w1->Buddy(), w2);
  EXPECT_EQ(w2->Parent(), w1);
  EXPECT_FALSE(w2->Visible());
  w1->OnClick(w1);
  EXPECT_EQ(form->Clicks, 1);

  // And back to text: the same form, in the writer's own layout.
  TBytesStream again, textOut;
  again.WriteComponent(form.get());
  again.SetPosition(0);
  ObjectBinaryToText(again, textOut);
  TBytes out = textOut.Bytes();
  std::string written(out.begin(), out.end());
  EXPECT_NE(written.find("Font.Name = 'Arial'"), std::string::npos) << written;
  EXPECT_NE(written.find("Buddy = W2"), std::string::npos) << written;
  EXPECT_NE(written.find("OnClick = WidgetClick"), std::string::npos) << written;
}
