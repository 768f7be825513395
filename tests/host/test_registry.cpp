// The registry object against the real registry, under a scratch key of HKCU that each test
// creates and deletes: key paths, recursive deletion, enumeration, typed values and errors.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/Registry.h"
#include "host/Sysutils.h"
#include "host/Win.h"

using namespace kw;

namespace {

class RegistryTest : public testing::Test {
protected:
  void SetUp() override {
    Base = L"Software\\KwSuiteTests\\" + IntToStr(GetCurrentProcessId()) + L"_" + IntToStr(GetTickCount64()) +
           L"_" + IntToStr(++Counter);
    ASSERT_TRUE(Reg.OpenKey(L"\\" + Base, true));
  }
  void TearDown() override {
    TRegistry cleanup;
    cleanup.DeleteKey(L"\\" + Base);
    EXPECT_FALSE(cleanup.KeyExists(L"\\" + Base));
    // Not recursive: the parent goes only when no other test run still has a key in it.
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\KwSuiteTests");
  }
  static inline int Counter = 0;
  String Base;
  TRegistry Reg;
};

template <class F>
String ErrorOf(F f) {
  try {
    f();
  } catch (const ERegistryException& e) {
    return e.Message();
  }
  return L"(no error)";
}

}  // namespace

TEST_F(RegistryTest, DefaultsAndCurrentPath) {
  TRegistry r;
  EXPECT_EQ(r.RootKey(), static_cast<void*>(HKEY_CURRENT_USER));
  EXPECT_EQ(r.Access(), unsigned(KEY_ALL_ACCESS));
  EXPECT_EQ(r.CurrentKey(), nullptr);
  EXPECT_TRUE(r.LazyWrite());
  EXPECT_EQ(Reg.CurrentPath(), Base);
  EXPECT_NE(Reg.CurrentKey(), nullptr);
}

TEST_F(RegistryTest, RelativePathsExtendTheCurrentKeyAbsoluteOnesStartAtRoot) {
  ASSERT_TRUE(Reg.OpenKey(L"A\\B", true));
  EXPECT_EQ(Reg.CurrentPath(), Base + L"\\A\\B");
  Reg.WriteInteger(L"Deep", 7);
  ASSERT_TRUE(Reg.OpenKey(L"\\" + Base + L"\\A", false));
  EXPECT_EQ(Reg.CurrentPath(), Base + L"\\A");
  EXPECT_TRUE(Reg.KeyExists(L"B"));
  EXPECT_FALSE(Reg.KeyExists(L"C"));
  EXPECT_TRUE(Reg.KeyExists(L"\\" + Base + L"\\A\\B"));
  EXPECT_FALSE(Reg.OpenKey(L"Missing", false));
  EXPECT_EQ(Reg.CurrentPath(), Base + L"\\A");  // a failed open keeps the current key
  ASSERT_TRUE(Reg.OpenKey(L"B", false));
  EXPECT_EQ(Reg.ReadInteger(L"Deep"), 7);
  Reg.CloseKey();
  EXPECT_EQ(Reg.CurrentKey(), nullptr);
  EXPECT_EQ(Reg.CurrentPath(), L"");
  // With no key open, a relative path starts at the root.
  ASSERT_TRUE(Reg.OpenKey(Base + L"\\A\\B", false));
  EXPECT_EQ(Reg.ReadInteger(L"Deep"), 7);
}

TEST_F(RegistryTest, CreateKeyLeavesTheCurrentKeyAndDeleteKeyIsRecursive) {
  EXPECT_TRUE(Reg.CreateKey(L"X\\Y\\Z"));
  EXPECT_EQ(Reg.CurrentPath(), Base);
  ASSERT_TRUE(Reg.OpenKey(L"X\\Y", false));
  Reg.WriteString(L"v", L"w");
  ASSERT_TRUE(Reg.OpenKey(L"\\" + Base, false));
  Reg.CreateKey(L"X\\Other");
  EXPECT_TRUE(Reg.HasSubKeys());
  EXPECT_TRUE(Reg.DeleteKey(L"X"));
  EXPECT_FALSE(Reg.KeyExists(L"X"));
  EXPECT_FALSE(Reg.HasSubKeys());
  EXPECT_EQ(Reg.CurrentPath(), Base);  // still usable after deleting below it
  Reg.WriteInteger(L"after", 1);
  EXPECT_TRUE(Reg.ValueExists(L"after"));
  EXPECT_FALSE(Reg.DeleteKey(L"X"));
}

TEST_F(RegistryTest, CreateKeyFailureRaisesWithTheKeyName) {
  Reg.CloseKey();
  Reg.SetRootKey(reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(ErrorOf([&] { Reg.CreateKey(L"Nope"); }), L"Failed to create key Nope");
  EXPECT_FALSE(Reg.OpenKey(L"Nope", true));
}

TEST_F(RegistryTest, EnumeratesKeysAndValues) {
  for (const wchar_t* k : {L"One", L"Two", L"Three"}) Reg.CreateKey(k);
  Reg.WriteString(L"a", L"1");
  Reg.WriteInteger(L"b", 2);
  Reg.WriteString(L"", L"default");
  auto keys = Reg.GetKeyNames();
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<String>{L"One", L"Three", L"Two"}));
  auto values = Reg.GetValueNames();
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<String>{L"", L"a", L"b"}));
  TRegKeyInfo info;
  ASSERT_TRUE(Reg.GetKeyInfo(info));
  EXPECT_EQ(info.NumSubKeys, 3);
  EXPECT_EQ(info.NumValues, 3);
  EXPECT_EQ(Reg.ReadString(L""), L"default");
}

TEST_F(RegistryTest, TypedValuesRoundTrip) {
  String text = L"caf\u00e9 \U0001F600 " + String(500, L'z');
  Reg.WriteString(L"s", text);
  Reg.WriteString(L"empty", L"");
  Reg.WriteExpandString(L"e", L"%TEMP%\\x");
  Reg.WriteInteger(L"i", -123456789);
  Reg.WriteBool(L"t", true);
  Reg.WriteBool(L"f", false);
  Reg.WriteFloat(L"d", -1.5e300);
  Reg.WriteDateTime(L"dt", TDateTime(45000.75));
  Reg.WriteCurrency(L"c", Currency::FromRaw(-922337203685477580LL));
  TBytes blob = {0, 1, 2, 255, 0, 7};
  Reg.WriteBinaryData(L"bin", blob);

  EXPECT_EQ(Reg.ReadString(L"s"), text);
  EXPECT_EQ(Reg.ReadString(L"empty"), L"");
  EXPECT_EQ(Reg.ReadString(L"e"), L"%TEMP%\\x");  // read as stored, not expanded
  EXPECT_EQ(Reg.ReadInteger(L"i"), -123456789);
  EXPECT_TRUE(Reg.ReadBool(L"t"));
  EXPECT_FALSE(Reg.ReadBool(L"f"));
  EXPECT_EQ(Reg.ReadFloat(L"d"), -1.5e300);
  EXPECT_EQ(Reg.ReadDateTime(L"dt").Val, 45000.75);
  EXPECT_EQ(Reg.ReadCurrency(L"c"), Currency::FromRaw(-922337203685477580LL));
  EXPECT_EQ(Reg.ReadBinaryData(L"bin"), blob);
  Byte buf[16] = {};
  EXPECT_EQ(Reg.ReadBinaryData(L"bin", buf, sizeof(buf)), 6);
  EXPECT_EQ(buf[3], 255);

  EXPECT_EQ(Reg.GetDataType(L"s"), rdString);
  EXPECT_EQ(Reg.GetDataType(L"e"), rdExpandString);
  EXPECT_EQ(Reg.GetDataType(L"i"), rdInteger);
  EXPECT_EQ(Reg.GetDataType(L"d"), rdBinary);
  EXPECT_EQ(Reg.GetDataType(L"nothing"), rdUnknown);
  EXPECT_EQ(Reg.GetDataSize(L"s"), int((text.size() + 1) * 2));
  EXPECT_EQ(Reg.GetDataSize(L"i"), 4);
  EXPECT_EQ(Reg.GetDataSize(L"dt"), 8);
  EXPECT_EQ(Reg.GetDataSize(L"nothing"), -1);
}

TEST_F(RegistryTest, ValuesOfTheWrongKindOrMissingRaiseTheHostTexts) {
  Reg.WriteString(L"s", L"12");
  Reg.WriteInteger(L"i", 12);
  Reg.WriteBinaryData(L"short", TBytes{1, 2, 3, 4});
  EXPECT_EQ(ErrorOf([&] { Reg.ReadInteger(L"missing"); }), L"Failed to get data for 'missing'");
  EXPECT_EQ(Reg.ReadString(L"missing"), L"");
  EXPECT_EQ(Reg.ReadBinaryData(L"missing", nullptr, 0), 0);
  EXPECT_EQ(ErrorOf([&] { Reg.ReadString(L"i"); }), L"Invalid data type for 'i'");
  EXPECT_EQ(ErrorOf([&] { Reg.ReadBool(L"short"); }), L"Invalid data type for 'short'");
  EXPECT_EQ(ErrorOf([&] { Reg.ReadFloat(L"short"); }), L"Invalid data type for 'short'");
  EXPECT_EQ(ErrorOf([&] { Reg.ReadFloat(L"i"); }), L"Invalid data type for 'i'");
  EXPECT_EQ(ErrorOf([&] { Reg.ReadBinaryData(L"s"); }), L"Invalid data type for 's'");
  Byte small[2];
  EXPECT_EQ(ErrorOf([&] { Reg.ReadBinaryData(L"short", small, 2); }), L"Invalid data type for 'short'");
  // Writing with no key open has nowhere to go.
  Reg.CloseKey();
  EXPECT_EQ(ErrorOf([&] { Reg.WriteInteger(L"x", 1); }), L"Failed to set data for 'x'");
}

TEST_F(RegistryTest, ReadOnlyKeysRefuseWritesAndValuesCanBeRenamedAndDeleted) {
  Reg.WriteInteger(L"keep", 5);
  TRegistry ro;
  ASSERT_TRUE(ro.OpenKeyReadOnly(L"\\" + Base));
  EXPECT_EQ(ro.Access(), unsigned(KEY_ALL_ACCESS));
  EXPECT_EQ(ro.ReadInteger(L"keep"), 5);
  EXPECT_EQ(ErrorOf([&] { ro.WriteInteger(L"new", 1); }), L"Failed to set data for 'new'");
  EXPECT_FALSE(ro.ValueExists(L"new"));
  EXPECT_FALSE(ro.OpenKeyReadOnly(L"\\" + Base + L"\\Missing"));

  EXPECT_TRUE(Reg.RenameValue(L"keep", L"kept"));
  EXPECT_FALSE(Reg.ValueExists(L"keep"));
  EXPECT_EQ(Reg.ReadInteger(L"kept"), 5);
  EXPECT_EQ(Reg.GetDataType(L"kept"), rdInteger);
  EXPECT_TRUE(Reg.DeleteValue(L"kept"));
  EXPECT_FALSE(Reg.DeleteValue(L"kept"));
  EXPECT_TRUE(Reg.GetValueNames().empty());
}

TEST_F(RegistryTest, FlushingCloseKeepsData) {
  Reg.SetLazyWrite(false);
  Reg.WriteString(L"flushed", L"yes");
  Reg.CloseKey();
  TRegistry other;
  ASSERT_TRUE(other.OpenKey(L"\\" + Base, false));
  EXPECT_EQ(other.ReadString(L"flushed"), L"yes");
}
