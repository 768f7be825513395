// Tests of the text form converters: round trips both ways over a sample with every
// construct, the text forms of tricky values, what the parser accepts and how it fails,
// format detection, file conversion, and a fuzz loop over the binary and text readers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <limits>
#include <random>

#include "host/Exceptions.h"
#include "host/Filer.h"
#include "host/Formtext.h"
#include "host/Sysutils.h"

using namespace kw;

namespace {

std::string LoadFile(const char* name) {
  TMemoryStream m;
  m.LoadFromFile(String(name, name + std::strlen(name)));
  return std::string(static_cast<const char*>(m.Memory()), size_t(m.Size()));
}

std::string NoCR(std::string s) {
  std::erase(s, '\r');
  return s;
}

TBytes TextToBinary(const std::string& text) {
  TBytesStream in(TBytes(text.begin(), text.end()));
  TBytesStream out;
  ObjectTextToBinary(in, out);
  return out.Bytes();
}

std::string BinaryToText(const TBytes& binary) {
  TBytesStream in(binary);
  TBytesStream out;
  ObjectBinaryToText(in, out);
  TBytes b = out.Bytes();
  return std::string(b.begin(), b.end());
}

TBytes Form(const std::function<void(TWriter&)>& props, const std::function<void(TWriter&)>& children = {}) {
  TBytesStream s;
  {
    TWriter w(s);
    w.WriteSignature();
    w.WriteStr(L"TForm1");
    w.WriteStr(L"Form1");
    props(w);
    w.WriteListEnd();
    if (children) children(w);
    w.WriteListEnd();
  }
  return s.Bytes();
}

// The property lines of a one-object text (without "object" and "end").
std::string PropsText(const TBytes& binary) {
  std::string t = NoCR(BinaryToText(binary));
  size_t a = t.find('\n') + 1;
  size_t b = t.rfind("end\n");
  return t.substr(a, b - a);
}

// Where two byte strings first differ (-1 when equal), for readable failures.
long FirstDifference(const TBytes& a, const TBytes& b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (a[i] != b[i]) return long(i);
  return a.size() == b.size() ? -1 : long(std::min(a.size(), b.size()));
}

String ParseError(const std::string& text) {
  try {
    TextToBinary(text);
  } catch (const EParserError& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no EParserError for: " << text;
  return L"";
}

}  // namespace

TEST(FormTextRoundTrip, SampleTextSurvivesBinaryAndBack) {
  std::string sample = LoadFile("data/sample.txt");
  TBytes binary = TextToBinary(sample);
  EXPECT_EQ(NoCR(BinaryToText(binary)), NoCR(sample));
  // And the binary it gives is stable too.
  EXPECT_EQ(TextToBinary(BinaryToText(binary)), binary);
}

TEST(FormTextRoundTrip, SampleTextHasTheValuesItShows) {
  TBytes binary = TextToBinary(LoadFile("data/sample.txt"));
  TBytesStream s(binary);
  TReader r(s);
  r.ReadSignature();
  EXPECT_EQ(r.ReadStr(), L"TForm1");
  EXPECT_EQ(r.ReadStr(), L"Form1");
  auto prop = [&](const wchar_t* name) { EXPECT_EQ(r.ReadStr(), name); };
  prop(L"Left");
  EXPECT_EQ(r.ReadInteger(), 10);
  prop(L"Top");
  EXPECT_EQ(r.ReadInteger(), -200);
  prop(L"Width");
  EXPECT_EQ(r.NextValue(), vaInt32);
  EXPECT_EQ(r.ReadInteger(), 70000);
  prop(L"Tag");
  EXPECT_EQ(r.ReadInteger(), INT32_MIN);
  prop(L"Big");
  EXPECT_EQ(r.NextValue(), vaInt64);
  EXPECT_EQ(r.ReadInt64(), 10000000000);
  prop(L"Small");
  EXPECT_EQ(r.ReadInt64(), INT64_MIN);
  prop(L"Caption");
  EXPECT_EQ(r.ReadString(), L"It's a form\r\nsecond line");
  prop(L"Hint");
  EXPECT_EQ(r.ReadString(), L"");
  prop(L"Accents");
  EXPECT_EQ(r.ReadString(), L"caf\u00E9 na\u00EFve \u20AC \U0001F600");
  prop(L"LongText");
  String longText = r.ReadString();
  EXPECT_EQ(longText.size(), 135u);
  EXPECT_EQ(longText.substr(longText.size() - 13), L"to the river.");
}

TEST(FormTextRoundTrip, BinaryWithEveryValueKindKeepsItsBytes) {
  TBytes binary = Form([](TWriter& w) {
    const Int64 ints[] = {0, -128, 127, -129, 32767, -32769, INT32_MAX, Int64(INT32_MAX) + 1, INT64_MIN, INT64_MAX};
    for (Int64 i : ints) {
      w.WriteStr(L"I");
      w.WriteInteger(i);
    }
    const double floats[] = {0.0, -0.0, 0.1, 1.0 / 3, 1e308, -1e-310, std::numeric_limits<double>::denorm_min(),
                             1e20, 123.0, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (double d : floats) {
      w.WriteStr(L"F");
      w.WriteFloat(d);
      w.WriteStr(L"D");
      w.WriteDouble(d);
      w.WriteStr(L"T");
      w.WriteDate(TDateTime(d));
      w.WriteStr(L"S");
      w.WriteSingle(float(d));
    }
    for (Int64 raw : {Int64(0), Int64(1), Int64(-1), Int64(123456789), INT64_MIN, INT64_MAX}) {
      w.WriteStr(L"C");
      w.WriteCurrency(Currency::FromRaw(raw));
    }
    if constexpr (std::numeric_limits<long double>::digits == 64) {
      // Extended values that no double holds: 1/3 and a value beyond double's range.
      const Byte third[10] = {0xAB, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xFD, 0x3F};
      const Byte huge[10] = {0x01, 0, 0, 0, 0, 0, 0, 0x80, 0xFE, 0x7F};
      for (const Byte* e : {third, huge}) {
        w.WriteStr(L"X");
        w.WriteValue(vaExtended);
        w.Write(e, 10);
      }
    }
    for (const wchar_t* s : {L"", L"plain", L"quote ' and ''", L"\t\r\n\x01", L"caf\u00E9 ok", L"\u65E5\u672C\u8A9E",
                             L"\U0001F600"}) {
      w.WriteStr(L"Str");
      w.WriteString(s);
    }
    w.WriteStr(L"Long");
    w.WriteString(String(700, L'a') + L"'" + String(70, L'\u00E9'));
    w.WriteStr(L"Id");
    w.WriteIdent(L"alClient");
    for (const wchar_t* s : {L"True", L"False", L"nil", L"Null"}) {
      w.WriteStr(L"K");
      w.WriteIdent(s);
    }
    w.WriteStr(L"Set");
    w.WriteValue(vaSet);
    w.WriteStr(L"a");
    w.WriteStr(L"b");
    w.WriteStr(L"");
    w.WriteStr(L"EmptySet");
    w.WriteValue(vaSet);
    w.WriteStr(L"");
    TBytes bin(100);
    for (size_t i = 0; i < bin.size(); ++i) bin[i] = Byte(i * 37);
    w.WriteStr(L"Bin");
    w.WriteBinary(bin.data(), Int64(bin.size()));
    w.WriteStr(L"List");
    w.WriteListBegin();
    w.WriteListBegin();
    w.WriteListEnd();
    w.WriteValue(vaCollection);
    w.WriteListBegin();
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteBinary("ab", 2);
    w.WriteString(String(100, L'z'));
    w.WriteListEnd();
    w.WriteStr(L"Coll");
    w.WriteValue(vaCollection);
    w.WriteInteger(5);
    w.WriteListBegin();
    w.WriteStr(L"Sub");
    w.WriteValue(vaCollection);
    w.WriteListBegin();
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteListBegin();
    w.WriteListEnd();
    w.WriteListEnd();
  }, [](TWriter& w) {
    w.WritePrefix(TFilerFlags{ffInherited, ffChildPos}, 1000);
    w.WriteStr(L"TChild");
    w.WriteStr(L"Child\u00C5");
    w.WriteListEnd();
    w.WriteListEnd();
    w.WritePrefix(TFilerFlags{ffInline}, 0);
    w.WriteStr(L"TFrame");
    w.WriteStr(L"");
    w.WriteStr(L"P");
    w.WriteInteger(1);
    w.WriteListEnd();
    w.WriteListEnd();
  });
  std::string text = BinaryToText(binary);
  EXPECT_EQ(FirstDifference(TextToBinary(text), binary), -1) << text;
}

TEST(FormTextOutput, ValuesAreWrittenInTheirTextForms) {
  TBytes binary = Form([](TWriter& w) {
    w.WriteStr(L"A");
    w.WriteString(L"It's\r\n\u00E9");
    w.WriteStr(L"B");
    w.WriteFloat(2);
    w.WriteStr(L"C");
    w.WriteSingle(0.1f);
    w.WriteStr(L"D");
    w.WriteCurrency(Currency::FromRaw(-123400));
    w.WriteStr(L"E");
    w.WriteDate(TDateTime(-1.25));
    w.WriteStr(L"F");
    w.WriteDouble(std::numeric_limits<double>::quiet_NaN());
    w.WriteStr(L"G");
    w.WriteBinary("\x01\xAB", 2);
    w.WriteStr(L"H");
    w.WriteValue(vaCollection);
    w.WriteListEnd();
  });
  EXPECT_EQ(PropsText(binary),
            "  A = 'It''s'#13#10#233\n"
            "  B = 2.0\n"
            "  C = 0.1s\n"
            "  D = -12.34c\n"
            "  E = -1.25d\n"
            "  F = +NANf\n"
            "  G = {\n"
            "    01AB}\n"
            "  H = <>\n");
}

TEST(FormTextOutput, LongStringsBreakIntoJoinedPieces) {
  String text = String(150, L'x');
  TBytes binary = Form([&](TWriter& w) {
    w.WriteStr(L"S");
    w.WriteString(text);
    w.WriteStr(L"L");
    w.WriteListBegin();
    w.WriteString(text);
    w.WriteListEnd();
  });
  std::string p(63, 'x');
  EXPECT_EQ(PropsText(binary), "  S =\n    '" + p + "' +\n    '" + p + "' +\n    '" + std::string(24, 'x') +
                                   "'\n  L = (\n    '" + p + "' +\n      '" + p + "' +\n      '" + std::string(24, 'x') +
                                   "')\n");
  TBytesStream s(TextToBinary(BinaryToText(binary)));
  TReader r(s);
  r.ReadSignature();
  r.ReadStr();
  r.ReadStr();
  r.ReadStr();
  EXPECT_EQ(r.ReadString(), text);
}

TEST(FormTextOutput, NonAsciiNamesGiveUtf8WithBom) {
  TBytes binary = Form([](TWriter& w) {
    w.WriteStr(L"Gr\u00F6\u00DFe");
    w.WriteIdent(L"\u00E9t\u00E9");
  });
  std::string text = BinaryToText(binary);
  EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(text.find("Gr\xC3\xB6\xC3\x9F" "e = \xC3\xA9t\xC3\xA9"), std::string::npos);
  EXPECT_EQ(TextToBinary(text), binary);
  EXPECT_EQ(BinaryToText(Form([](TWriter& w) { w.WriteStr(L"Plain"); w.WriteString(L"\u00E9"); })).substr(0, 6), "object");
}

TEST(FormTextParser, AcceptsTheLooseFormsOfText) {
  std::string text =
      "\xEF\xBB\xBF\n\n   OBJECT   Form1 :TForm1\n"
      "Caption='a' + #66\n   +\n 'c'#$44'e'\r\n"
      "Tag = $FF\n"
      "Mask = -$10\n"
      "Code = 3000000000\n"
      "Float = -.5e1\n"
      "Plus = +7\n"
      "Ref = Other.Button1\n"
      "Set = [ a ,b,1 ]\n"
      "Raw = 'caf\xC3\xA9'\n"
      "Bin = { 0a 0B\n ff }\n"
      "  end  \n\n";
  TBytes binary = TextToBinary(text);
  TBytesStream s(binary);
  TReader r(s);
  r.ReadSignature();
  EXPECT_EQ(r.ReadStr(), L"TForm1");
  EXPECT_EQ(r.ReadStr(), L"Form1");
  EXPECT_EQ(r.ReadStr(), L"Caption");
  EXPECT_EQ(r.ReadString(), L"aBcDe");
  EXPECT_EQ(r.ReadStr(), L"Tag");
  EXPECT_EQ(r.ReadInteger(), 255);
  EXPECT_EQ(r.ReadStr(), L"Mask");
  EXPECT_EQ(r.ReadInteger(), -16);
  EXPECT_EQ(r.ReadStr(), L"Code");
  EXPECT_EQ(r.NextValue(), vaInt64);
  EXPECT_EQ(r.ReadInt64(), 3000000000);
  EXPECT_EQ(r.ReadStr(), L"Float");
  EXPECT_EQ(r.NextValue(), vaExtended);
  EXPECT_EQ(r.ReadFloat(), -5.0);
  EXPECT_EQ(r.ReadStr(), L"Plus");
  EXPECT_EQ(r.ReadInteger(), 7);
  EXPECT_EQ(r.ReadStr(), L"Ref");
  EXPECT_EQ(r.ReadIdent(), L"Other.Button1");
  EXPECT_EQ(r.ReadStr(), L"Set");
  r.CheckValue(vaSet);
  EXPECT_EQ(r.ReadStr(), L"a");
  EXPECT_EQ(r.ReadStr(), L"b");
  EXPECT_EQ(r.ReadStr(), L"1");
  EXPECT_EQ(r.ReadStr(), L"");
  EXPECT_EQ(r.ReadStr(), L"Raw");
  EXPECT_EQ(r.ReadString(), L"caf\u00E9");
  EXPECT_EQ(r.ReadStr(), L"Bin");
  EXPECT_EQ(r.ReadBinary(), (TBytes{0x0A, 0x0B, 0xFF}));
  EXPECT_TRUE(r.EndOfList());
}

TEST(FormTextParser, ExtendedPrecisionAndCurrencyAreExact) {
  auto firstValue = [](const std::string& value) {
    TBytes b = TextToBinary("object A: B\n X = " + value + "\nend\n");
    return TBytes(b.begin() + 4 + 2 + 2 + 2, b.end() - 2);
  };
  Byte tenth[10];
  DoubleToExtended(0.1, tenth);
  TBytes expected{vaExtended};
  expected.insert(expected.end(), tenth, tenth + 10);
  EXPECT_EQ(firstValue("0.1"), expected);
  EXPECT_EQ(firstValue("1e-1"), expected);
  if constexpr (std::numeric_limits<long double>::digits == 64) {
    // More digits than any double needs: the nearest extended, not the double 0.1.
    const TBytes nearest{vaExtended, 0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F};
    EXPECT_EQ(firstValue("0.100000000000000000000"), nearest);
    EXPECT_EQ(firstValue("1.00000000000000000000e-1"), nearest);
  }
  auto currency = [&](const std::string& text) {
    TBytes b = firstValue(text);
    TBytesStream s(b);
    TReader r(s);
    return r.ReadCurrency().Raw();
  };
  EXPECT_EQ(currency("12.3456c"), 123456);
  EXPECT_EQ(currency("-0.00005c"), -1);  // half away from zero
  EXPECT_EQ(currency("0.00004c"), 0);
  EXPECT_EQ(currency("1.5e3c"), 15000000);
  EXPECT_EQ(currency("922337203685477.5807c"), INT64_MAX);
  EXPECT_EQ(currency("-922337203685477.5808c"), INT64_MIN);
  EXPECT_NE(ParseError("object A: B\n X = 922337203685477.5808c\nend\n").find(L"line 2"), String::npos);
}

TEST(FormTextParser, ErrorsNameTheLine) {
  struct Case { const char* text; const wchar_t* message; };
  const Case cases[] = {
      {"object A: B\n  X 5\nend\n", L"'=' expected on line 2"},
      {"object A: B\n  X = 'open\nend\n", L"Invalid string constant on line 2"},
      {"object A: B\n  X = 'a' +\n\n  5\nend\n", L"String expected on line 4"},
      {"object A: B\n  X = {\n  0G}\nend\n", L"Invalid binary value on line 3"},
      {"object A: B\n  X = {ABC}\nend\n", L"Invalid binary value on line 2"},
      {"object A: B\n  X = 12abc\nend\n", L"Number expected on line 2"},
      {"object A: B\n  X = 99999999999999999999\nend\n", L"'99999999999999999999' is not a valid integer value on line 2"},
      {"object A: B\n  X = (1\n", L"')' expected on line 3"},
      {"object A: B\n  X = 1\n", L"'end' expected on line 3"},
      {"object A: B\nend\nobject C: D\nend\n", L"End of file expected on line 3"},
      {"thing A: B\nend\n", L"'object' expected on line 1"},
      {"object A: B\n  X = <\n   item\n     Y = 1\n  >\nend\n", L"Identifier expected on line 5"},
      {"object A: B\n  X = (Null)\nend\n", L"Invalid property value on line 2"},
      {"object A: B\n  X = ]\nend\n", L"Invalid property value on line 2"},
      {"object A: B [x]\nend\n", L"Number expected on line 1"},
      {"", L"'object' expected on line 1"},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseError(c.text), c.message) << c.text;
  std::string deep = "object A: B\n X = ";
  for (int i = 0; i < MaxFilerNesting + 5; ++i) deep += "(";
  EXPECT_EQ(ParseError(deep), Format(SRes::SParseError, {SRes::SNestingTooDeep, 2}));
}

TEST(FormTextBinary, NestingAndBadInputRaiseReadErrors) {
  TBytes deep = Form([](TWriter& w) {
    w.WriteStr(L"X");
    for (int i = 0; i < MaxFilerNesting + 5; ++i) w.WriteListBegin();
    for (int i = 0; i < MaxFilerNesting + 5; ++i) w.WriteListEnd();
  });
  try {
    BinaryToText(deep);
    ADD_FAILURE() << "deep lists accepted";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), SRes::SNestingTooDeep);
  }
  EXPECT_THROW(BinaryToText(TBytes{'T', 'P', 'F', '0', 1, 'A'}), EReadError);
  EXPECT_THROW(BinaryToText(TBytes{'X', 'P', 'F', '0', 0, 0}), EInvalidImage);
  // Nothing reaches the output when the input fails half way.
  TBytes bad = Form([](TWriter& w) { w.WriteStr(L"X"); w.WriteValue(TValueType(30)); });
  TBytesStream in(bad);
  TBytesStream out;
  EXPECT_THROW(ObjectBinaryToText(in, out), EReadError);
  EXPECT_EQ(out.Size(), 0);
}

TEST(FormTextDetect, TellsBinaryFromTextWithoutMoving) {
  struct Case { std::string bytes; TStreamOriginalFormat format; };
  const Case cases[] = {{"TPF0\x06TForm1", sofBinary},         {"object Form1: TForm1\r\nend", sofText},
                        {"  \r\n\tInherited A: B", sofText},   {"\xEF\xBB\xBFinline X: Y", sofUTF8Text},
                        {"\xEF\xBB\xBFhello", sofUnknown},     {"objects", sofUnknown},
                        {"", sofUnknown},                      {"TPF", sofUnknown}};
  for (const Case& c : cases) {
    TBytesStream s(TBytes(c.bytes.begin(), c.bytes.end()));
    EXPECT_EQ(TestStreamFormat(s), c.format) << c.bytes;
    EXPECT_EQ(s.Position(), 0);
  }
}

TEST(FormTextFiles, ConvertsBothWaysThroughSafeFiles) {
  String dir = GetTempDirectory() + L"kw_formtext_test\\";
  ForceDirectories(dir);
  String text = dir + L"in.txt", bin = dir + L"out.kwf", back = dir + L"back.txt", bad = dir + L"bad.txt";
  std::string sample = LoadFile("data/sample.txt");
  TBytesStream s(TBytes(sample.begin(), sample.end()));
  s.SaveToFile(text);
  EXPECT_EQ(ConvertFormFile(text, bin), sofText);
  EXPECT_EQ(ConvertFormFile(bin, back), sofBinary);
  TMemoryStream m;
  m.LoadFromFile(back);
  EXPECT_EQ(NoCR(std::string(static_cast<const char*>(m.Memory()), size_t(m.Size()))), NoCR(sample));

  TBytesStream junk(TBytes{'o', 'b', 'j', 'e', 'c', 't', ' ', 'A', '\n', '=', '\n'});
  junk.SaveToFile(bad);
  DeleteFileW(dir + L"none.kwf");
  try {
    ConvertFormFile(bad, dir + L"none.kwf");
    ADD_FAILURE() << "bad text accepted";
  } catch (const EParserError& e) {
    EXPECT_EQ(e.Message(), bad + L": Identifier expected on line 2");
  }
  EXPECT_FALSE(FileExists(dir + L"none.kwf"));
  for (const String& f : {text, bin, back, bad}) DeleteFileW(f);
  RemoveDir(dir);
}

TEST(FormTextFuzz, MutatedInputRaisesOnlyHostExceptions) {
  const TBytes valid = TextToBinary(LoadFile("data/sample.txt"));
  const std::string validText = LoadFile("data/sample.txt");
  std::mt19937 rng(20240611);
  auto pick = [&](size_t n) { return size_t(rng() % std::max<size_t>(n, 1)); };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
  int runs = 0, accepted = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    ++runs;
    TBytes b = valid;
    switch (rng() % 4) {
      case 0: b.resize(pick(b.size())); break;
      case 1:
        for (int k = 0, n = 1 + int(rng() % 4); k < n; ++k) b[pick(b.size())] = Byte(rng());
        break;
      case 2: {
        size_t at = pick(b.size() - 4);
        const Byte huge[] = {0xFF, 0xFF, 0xFF, 0x7F};
        std::memcpy(b.data() + at, huge, 4);
        break;
      }
      case 3: {
        size_t at = pick(b.size());
        b.insert(b.begin() + Int64(at), Byte(rng() % 24));
        break;
      }
    }
    try {
      std::string text = BinaryToText(b);
      ++accepted;
      if (runs % 8 == 0) TextToBinary(text);  // what the converter writes, the parser may reject, but not crash on
    } catch (const Exception&) {
    } catch (const std::exception& e) {
      FAIL() << "non-host exception: " << e.what() << " at run " << runs;
    }
    std::string t = validText;
    if (rng() % 2) {
      t.resize(pick(t.size()));
    } else {
      for (int k = 0, n = 1 + int(rng() % 3); k < n; ++k) t[pick(t.size())] = "'#+(){}<>[]=$-.,:0aZ\n\x80"[rng() % 22];
    }
    try {
      TextToBinary(t);
    } catch (const Exception&) {
    } catch (const std::exception& e) {
      FAIL() << "non-host exception from text: " << e.what() << " at run " << runs;
    }
  }
  EXPECT_GT(runs, 50);
  EXPECT_GT(accepted, 0);
}
