// Field classes: conversions per field type with the host's errors, display and edit text,
// OnGetText/OnSetText/OnValidate/OnChange, calculated and lookup fields.
#include <gtest/gtest.h>

#include "host/Dateutils.h"
#include "host/Sysutils.h"
#include "tests/data/fixtures.h"

using namespace kw;
using namespace kw::datatest;

namespace {

// Every scalar field type, one record in edit state.
std::unique_ptr<TClientDataSet> AllTypes() {
  auto ds = std::make_unique<TClientDataSet>(nullptr);
  ds->SetName(L"All");
  auto* d = ds->FieldDefs();
  d->Add(L"S", ftString, 5);
  d->Add(L"W", ftWideString, 10);
  d->Add(L"F", ftFixedChar, 4);
  d->Add(L"G", ftGuid, 38);
  d->Add(L"V", ftVariant);
  d->Add(L"I", ftInteger);
  d->Add(L"SI", ftSmallint);
  d->Add(L"B8", ftByte);
  d->Add(L"L", ftLargeint);
  d->Add(L"A", ftAutoInc);
  d->Add(L"Bo", ftBoolean);
  d->Add(L"Fl", ftFloat);
  d->Add(L"C", ftCurrency);
  d->Add(L"Bcd", ftBCD, 2);
  d->Add(L"Fmt", ftFMTBcd, 3)->SetPrecision(10);
  d->Add(L"D", ftDate);
  d->Add(L"T", ftTime);
  d->Add(L"DT", ftDateTime);
  d->Add(L"TS", ftTimeStamp);
  ds->CreateDataSet();
  ds->Append();
  return ds;
}

struct SettingsGuard {
  TFormatSettings saved = FormatSettings;
  SettingsGuard() {
    FormatSettings.DecimalSeparator = L'.';
    FormatSettings.ThousandSeparator = L',';
    FormatSettings.CurrencyString = L"$";
    FormatSettings.CurrencyFormat = 0;
    FormatSettings.CurrencyDecimals = 2;
    FormatSettings.ShortDateFormat = L"dd/mm/yyyy";
    FormatSettings.DateSeparator = L'/';
  }
  ~SettingsGuard() { FormatSettings = saved; }
};

template <class E, class F>
String Raises(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  } catch (const Exception& e) {
    return L"wrong class " + String(e.ClassName()) + L": " + e.Message();
  }
  return L"no error";
}

}  // namespace

TEST(FieldClasses, DefaultFieldsHaveTheClassOfTheirType) {
  auto ds = AllTypes();
  EXPECT_EQ(ds->FieldByName(L"S")->ClassName(), L"TStringField");
  EXPECT_EQ(ds->FieldByName(L"G")->ClassName(), L"TGuidField");
  EXPECT_EQ(ds->FieldByName(L"SI")->ClassName(), L"TSmallintField");
  EXPECT_EQ(ds->FieldByName(L"A")->ClassName(), L"TAutoIncField");
  EXPECT_EQ(ds->FieldByName(L"C")->ClassName(), L"TCurrencyField");
  EXPECT_EQ(ds->FieldByName(L"Fmt")->ClassName(), L"TFMTBCDField");
  EXPECT_EQ(ds->FieldByName(L"TS")->ClassName(), L"TSQLTimeStampField");
  EXPECT_EQ(ds->FieldByName(L"F")->DataType(), ftFixedChar);
  EXPECT_EQ(ds->FieldByName(L"I")->Alignment(), taRightJustify);
  EXPECT_EQ(ds->FieldByName(L"S")->Alignment(), taLeftJustify);
  EXPECT_EQ(ds->FieldByName(L"Fmt")->Precision(), 10);
}

TEST(FieldConversions, StringsCutPadAndParse) {
  auto ds = AllTypes();
  TField* s = ds->FieldByName(L"S");
  s->SetAsString(L"abcdefgh");
  EXPECT_EQ(s->AsString(), L"abcde");
  s->SetAsString(L" 12 ");
  EXPECT_EQ(s->AsInteger(), 12);
  s->SetAsString(L"4 2");
  EXPECT_EQ(Raises<EConvertError>([&] { s->AsInteger(); }), L"'4 2' is not a valid integer value for field 'S'");
  TField* f = ds->FieldByName(L"F");
  f->SetAsString(L"ab");
  EXPECT_EQ(f->Data().AsString(), L"ab  ");
  EXPECT_EQ(f->AsString(), L"ab");
  TField* g = ds->FieldByName(L"G");
  g->SetAsString(L"{0a1b2c3d-0000-1111-2222-333344445555}");
  EXPECT_EQ(g->AsString(), L"{0A1B2C3D-0000-1111-2222-333344445555}");
  EXPECT_EQ(Raises<EConvertError>([&] { g->SetAsString(L"{nope}"); }), L"'{nope}' is not a valid GUID value for field 'G'");
  EXPECT_EQ(g->AsString(), L"{0A1B2C3D-0000-1111-2222-333344445555}");
  TField* v = ds->FieldByName(L"V");
  v->SetAsVariant(Variant(42));
  EXPECT_EQ(v->AsString(), L"42");
  EXPECT_EQ(v->AsFloat(), 42.0);
  v->SetAsString(L"hi");
  EXPECT_EQ(v->AsVariant().VarType(), varUString);
}

TEST(FieldConversions, IntegersRoundCheckRangesAndFormat) {
  SettingsGuard g;
  auto ds = AllTypes();
  TField* i = ds->FieldByName(L"I");
  i->SetAsString(L" 42 ");
  EXPECT_EQ(i->AsInteger(), 42);
  EXPECT_EQ(i->AsFloat(), 42.0);
  EXPECT_EQ(i->AsVariant().VarType(), varInteger);
  i->SetAsFloat(2.5);
  EXPECT_EQ(i->AsInteger(), 2);  // halves to even, as the host rounds
  i->SetAsFloat(3.5);
  EXPECT_EQ(i->AsInteger(), 4);
  EXPECT_EQ(Raises<EConvertError>([&] { i->SetAsString(L"4.5"); }), L"'4.5' is not a valid integer value for field 'I'");
  EXPECT_EQ(i->AsInteger(), 4);
  i->SetAsString(L"");
  EXPECT_TRUE(i->IsNull());
  EXPECT_EQ(i->AsString(), L"");

  TField* si = ds->FieldByName(L"SI");
  EXPECT_EQ(Raises<EDatabaseError>([&] { si->SetAsInteger(40000); }),
            L"40000 is not a valid value for field 'SI'. The allowed range is -32768 to 32767");
  EXPECT_TRUE(si->IsNull());
  EXPECT_THROW(ds->FieldByName(L"B8")->SetAsInteger(-1), EDatabaseError);
  auto* ranged = static_cast<TIntegerField*>(i);
  ranged->SetMinValue(1);
  ranged->SetMaxValue(9);
  EXPECT_THROW(i->SetAsInteger(10), EDatabaseError);
  ranged->SetMaxValue(0);
  ranged->SetMinValue(0);

  TField* l = ds->FieldByName(L"L");
  l->SetAsLargeInt(Int64(1) << 40);
  EXPECT_EQ(l->AsLargeInt(), Int64(1) << 40);
  EXPECT_EQ(l->AsVariant().VarType(), varInt64);
  EXPECT_EQ(Raises<EDatabaseError>([&] { l->AsInteger(); }), L"Cannot access field 'L' as type Integer");

  i->SetAsInteger(1234567);
  static_cast<TNumericField*>(i)->SetDisplayFormat(L"#,##0");
  EXPECT_EQ(i->DisplayText(), L"1,234,567");
  EXPECT_EQ(i->Text(), L"1,234,567");  // without an edit format the display format serves
  static_cast<TNumericField*>(i)->SetEditFormat(L"0.00");
  EXPECT_EQ(i->Text(), L"1234567.00");
}

TEST(FieldConversions, BooleansFloatsAndDecimals) {
  SettingsGuard g;
  auto ds = AllTypes();
  auto* bo = static_cast<TBooleanField*>(ds->FieldByName(L"Bo"));
  bo->SetDisplayValues(L"Yes;No");
  bo->SetAsString(L"y");
  EXPECT_TRUE(bo->AsBoolean());
  EXPECT_EQ(bo->AsString(), L"Yes");
  bo->SetAsString(L"NO");
  EXPECT_FALSE(bo->AsBoolean());
  EXPECT_EQ(Raises<EDatabaseError>([&] { bo->SetAsString(L"maybe"); }), L"'maybe' is not a valid boolean value for field 'Bo'");
  EXPECT_FALSE(bo->AsBoolean());
  EXPECT_EQ(bo->AsVariant().VarType(), varBoolean);

  TField* fl = ds->FieldByName(L"Fl");
  fl->SetAsString(L"1.5e3");
  EXPECT_EQ(fl->AsFloat(), 1500.0);
  EXPECT_EQ(fl->AsInteger(), 1500);
  EXPECT_EQ(Raises<EConvertError>([&] { fl->SetAsString(L"1,5,"); }), L"'1,5,' is not a valid floating point value for field 'Fl'");
  fl->SetAsFloat(1.0 / 3.0);
  EXPECT_EQ(fl->AsString(), L"0.333333333333333");  // fifteen digits of precision

  TField* c = ds->FieldByName(L"C");
  c->SetAsFloat(1234.5);
  EXPECT_EQ(c->DisplayText(), L"$1,234.50");
  EXPECT_EQ(c->Text(), L"1234.50");

  TField* bcd = ds->FieldByName(L"Bcd");
  bcd->SetAsString(L"2.345");
  EXPECT_EQ(bcd->AsCurrency(), Currency::FromRaw(23500));
  bcd->SetAsString(L"-2.345");
  EXPECT_EQ(bcd->AsCurrency(), Currency::FromRaw(-23500));
  EXPECT_EQ(bcd->AsVariant().VarType(), varCurrency);
  EXPECT_THROW(bcd->SetAsString(L"two"), EConvertError);

  TField* fmt = ds->FieldByName(L"Fmt");
  fmt->SetAsString(L"123.4565");
  EXPECT_EQ(fmt->AsString(), L"123.457");
  EXPECT_DOUBLE_EQ(fmt->AsFloat(), 123.457);
  fmt->SetAsString(L"-0.0004");
  EXPECT_EQ(fmt->AsString(), L"0.000");
  fmt->SetAsString(L"9.9996");
  EXPECT_EQ(fmt->AsString(), L"10.000");
  EXPECT_EQ(Raises<EDatabaseError>([&] { fmt->SetAsString(L"12345678.9"); }), L"BCD overflow");
  EXPECT_EQ(Raises<EConvertError>([&] { fmt->SetAsString(L"1e5"); }), L"'1e5' is not a valid BCD value");
  EXPECT_EQ(fmt->AsString(), L"10.000");
  fmt->SetAsFloat(-0.5);
  EXPECT_EQ(fmt->AsString(), L"-0.500");
}

TEST(FieldConversions, DatesKeepTheirPartAndRefuseOtherAccess) {
  SettingsGuard g;
  auto ds = AllTypes();
  TDateTime when = EncodeDateTime(2024, 2, 29, 13, 45, 0, 0);
  TField* d = ds->FieldByName(L"D");
  d->SetAsDateTime(when);
  EXPECT_EQ(d->AsDateTime().Val, EncodeDate(2024, 2, 29).Val);
  EXPECT_EQ(d->AsString(), L"29/02/2024");
  TField* t = ds->FieldByName(L"T");
  t->SetAsDateTime(when);
  EXPECT_NEAR(t->AsDateTime().Val, EncodeTime(13, 45, 0, 0).Val, 1e-9);
  TField* dt = ds->FieldByName(L"DT");
  dt->SetAsDateTime(when);
  EXPECT_EQ(dt->AsDateTime().Val, when.Val);
  static_cast<TDateTimeField*>(dt)->SetDisplayFormat(L"yyyy-mm-dd hh:nn");
  EXPECT_EQ(dt->DisplayText(), L"2024-02-29 13:45");
  d->SetAsString(L"01/03/2024");
  EXPECT_EQ(d->AsDateTime().Val, EncodeDate(2024, 3, 1).Val);
  EXPECT_THROW(d->SetAsString(L"31/31/2024"), EConvertError);
  EXPECT_EQ(d->AsDateTime().Val, EncodeDate(2024, 3, 1).Val);
  EXPECT_EQ(Raises<EDatabaseError>([&] { d->AsBoolean(); }), L"Cannot access field 'D' as type Boolean");
  EXPECT_EQ(d->AsVariant().VarType(), varDate);
}

TEST(FieldEvents, GetTextSetTextValidateAndChange) {
  auto ds = People();
  TField* age = ds->FieldByName(L"Age");
  age->OnGetText = [](TField* f, String& text, bool display) {
    text = display ? L"<" + f->AsString() + L">" : f->AsString();
  };
  age->OnSetText = [](TField* f, const String& text) { f->SetAsInteger(StrToInt(text.substr(1))); };
  EXPECT_EQ(age->DisplayText(), L"<31>");
  EXPECT_EQ(age->Text(), L"31");
  ds->Edit();
  age->SetText(L"x40");
  EXPECT_EQ(age->AsInteger(), 40);

  std::vector<String> seen;
  age->OnValidate = [&](TField* f) {
    // The handler sees the value about to be stored.
    seen.push_back(f->AsString());
    if (f->AsInteger() < 0) throw EDatabaseError(L"negative");
  };
  int changes = 0;
  age->OnChange = [&](TField*) { ++changes; };
  ASSERT_THROW(age->SetAsInteger(-5), EDatabaseError);
  EXPECT_EQ(age->AsInteger(), 40);
  EXPECT_EQ(changes, 0);
  age->SetAsInteger(41);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(seen, (std::vector<String>{L"-5", L"41"}));
  ds->Post();
}

TEST(FieldKinds, CalculatedAndLookupFieldsFollowTheRecord) {
  auto kinds = std::make_unique<TClientDataSet>(nullptr);
  kinds->FieldDefs()->Add(L"Age", ftInteger);
  kinds->FieldDefs()->Add(L"Label", ftString, 10);
  kinds->CreateDataSet();
  for (auto [a, l] : {std::pair{31, L"thirty-one"}, {45, L"forty-five"}}) {
    kinds->Append();
    kinds->FieldByName(L"Age")->SetAsInteger(a);
    kinds->FieldByName(L"Label")->SetAsString(l);
    kinds->Post();
  }

  auto ds = People();
  ds->Close();
  TComponent owner(nullptr);
  for (const wchar_t* n : {L"ID", L"Name", L"Age", L"Pay", L"Born"}) {
    TField* f = nullptr;
    if (String(n) == L"Name") f = new TStringField(&owner);
    else if (String(n) == L"ID") f = new TAutoIncField(&owner);
    else if (String(n) == L"Age") f = new TIntegerField(&owner);
    else if (String(n) == L"Pay") f = new TBCDField(&owner);
    else f = new TDateField(&owner);
    f->SetFieldName(n);
    f->SetDataSet(ds.get());
  }
  auto* calc = new TStringField(&owner);
  calc->SetFieldName(L"Tag");
  calc->SetFieldKind(fkCalculated);
  calc->SetDataSet(ds.get());
  auto* look = new TStringField(&owner);
  look->SetFieldName(L"AgeText");
  look->SetFieldKind(fkLookup);
  look->SetDataSet(ds.get());
  look->SetLookupDataSet(kinds.get());
  look->SetKeyFields(L"Age");
  look->SetLookupKeyFields(L"Age");
  look->SetLookupResultField(L"Label");
  int calcs = 0;
  ds->OnCalcFields = [&](TDataSet* d) {
    ++calcs;
    d->FieldByName(L"Tag")->SetAsString(d->FieldByName(L"Name")->AsString() + L"/" + d->FieldByName(L"Age")->AsString());
  };
  ds->Open();
  EXPECT_FALSE(ds->DefaultFields());
  EXPECT_EQ(calc->AsString(), L"Cleo/31");
  EXPECT_EQ(look->AsString(), L"thirty-one");
  ds->Next();
  EXPECT_EQ(calc->AsString(), L"Abe/45");
  EXPECT_EQ(look->AsString(), L"forty-five");
  ds->Next();
  EXPECT_TRUE(look->IsNull());
  // A change of a field the calculation reads recomputes it at once.
  ds->Edit();
  ds->FieldByName(L"Age")->SetAsInteger(31);
  EXPECT_EQ(calc->AsString(), L"Bea/31");
  EXPECT_EQ(look->AsString(), L"thirty-one");
  EXPECT_THROW(calc->SetAsString(L"x"), EDatabaseError);  // only OnCalcFields writes it
  ds->Post();
  EXPECT_GT(calcs, 3);

  // Lookup information must be complete when the dataset opens.
  ds->Close();
  look->SetLookupResultField(L"");
  EXPECT_THROW(ds->Open(), EDatabaseError);
  EXPECT_FALSE(ds->Active());
  look->SetLookupResultField(L"Label");
  ds->Open();
  EXPECT_TRUE(ds->Active());
  ds->Close();
  // A persistent field whose type the definition does not have is refused.
  ds->FieldByName(L"Born")->SetDataSet(nullptr);
  auto* wrong = new TIntegerField(&owner);
  wrong->SetFieldName(L"Born");
  wrong->SetDataSet(ds.get());
  EXPECT_THROW(ds->Open(), EDatabaseError);
  ds.reset();
}
