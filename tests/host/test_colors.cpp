// Colour values: identifiers both ways, text forms, system colours through ColorToRGB, and
// TColor properties streaming named colours as identifiers.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "host/Colors.h"
#include "host/Filer.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

using namespace kw;

namespace kw {

class TColorTestBox : public TComponent {
  KW_CLASS(TColorTestBox, TComponent)
  explicit TColorTestBox(TComponent* owner) : TComponent(owner) {}
  TColor Color() const { return FColor; }
  void SetColor(TColor v) { FColor = v; }
  TColor FontColor() const { return FFontColor; }
  void SetFontColor(TColor v) { FFontColor = v; }

private:
  TColor FColor = clWindow;
  TColor FFontColor = clWindowText;
};

KW_BEGIN_CLASS(TColorTestBox, TComponent) {
  b.Prop(L"Color", &TColorTestBox::Color, &TColorTestBox::SetColor).Default(clWindow);
  b.Prop(L"FontColor", &TColorTestBox::FontColor, &TColorTestBox::SetFontColor).Default(clWindowText);
}

}  // namespace kw

namespace {

bool Contains(const TBytes& bytes, const char* text) {
  size_t n = std::strlen(text);
  for (size_t i = 0; i + n <= bytes.size(); ++i)
    if (std::memcmp(bytes.data() + i, text, n) == 0) return true;
  return false;
}

}  // namespace

TEST(ColorValues, MatchTheHostNumbering) {
  EXPECT_EQ(Int32(clRed), 0x0000FF);
  EXPECT_EQ(Int32(clBlue), 0xFF0000);
  EXPECT_EQ(Int32(clSkyBlue), 0xF0CAA6);
  EXPECT_EQ(Int32(clLtGray), Int32(clSilver));
  EXPECT_EQ(Int32(clDkGray), Int32(clGray));
  EXPECT_EQ(UInt64(std::uint32_t(clBtnFace)), 0xFF000000u | COLOR_BTNFACE);
  EXPECT_EQ(UInt64(std::uint32_t(clHotLight)), 0xFF000000u | COLOR_HOTLIGHT);
  EXPECT_EQ(UInt64(std::uint32_t(clMenuBar)), 0xFF000000u | COLOR_MENUBAR);
  EXPECT_LT(Int32(clScrollBar), 0);
  EXPECT_EQ(GetRValue(Int32(0x00123456)), 0x56);
  EXPECT_EQ(GetGValue(Int32(0x00123456)), 0x34);
  EXPECT_EQ(GetBValue(Int32(0x00123456)), 0x12);
  EXPECT_EQ(KwRGB(0x56, 0x34, 0x12), 0x00123456);
}

TEST(ColorToRGB, ResolvesSystemColoursAndPassesTheRest) {
  EXPECT_EQ(ColorToRGB(clBtnFace), Int32(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(ColorToRGB(clWindowText), Int32(GetSysColor(COLOR_WINDOWTEXT)));
  EXPECT_EQ(ColorToRGB(clHighlight), Int32(GetSysColor(COLOR_HIGHLIGHT)));
  EXPECT_EQ(ColorToRGB(TColor(0x00FF8040)), 0x00FF8040);
  EXPECT_EQ(ColorToRGB(clNone), 0x1FFFFFFF);
  EXPECT_EQ(ColorToRGB(clDefault), 0x20000000);
}

TEST(ColorIdents, EveryListedNameRoundTrips) {
  std::vector<String> names;
  GetColorValues([&](const String& s) { names.push_back(s); });
  ASSERT_EQ(names.size(), 52u);
  EXPECT_EQ(names.front(), L"clBlack");
  EXPECT_EQ(names[16], L"clMoneyGreen");
  std::set<Int32> values;
  for (const String& n : names) {
    Int32 v = 0;
    ASSERT_TRUE(IdentToColor(n, v)) << UTF8Encode(n);
    String back;
    ASSERT_TRUE(ColorToIdent(v, back));
    EXPECT_EQ(back, n);
    values.insert(v);
  }
  EXPECT_EQ(values.size(), names.size());
}

TEST(ColorIdents, CaseInsensitiveAndAliasesNotNamed) {
  Int32 v = 0;
  EXPECT_TRUE(IdentToColor(L"CLBTNFACE", v));
  EXPECT_EQ(v, Int32(clBtnFace));
  EXPECT_TRUE(IdentToColor(L"cl3ddkshadow", v));
  EXPECT_EQ(v, Int32(cl3DDkShadow));
  EXPECT_FALSE(IdentToColor(L"clLtGray", v));
  EXPECT_FALSE(IdentToColor(L"", v));
  String s;
  EXPECT_TRUE(ColorToIdent(clLtGray, s));
  EXPECT_EQ(s, L"clSilver");
  EXPECT_FALSE(ColorToIdent(0x00FF8040, s));
  EXPECT_FALSE(ColorToIdent(Int32(0xFF000019), s));  // index 25 has no name
}

TEST(ColorText, IdentOrEightHexDigits) {
  EXPECT_EQ(ColorToString(clBtnFace), L"clBtnFace");
  EXPECT_EQ(ColorToString(clNone), L"clNone");
  EXPECT_EQ(ColorToString(TColor(0x00FF8040)), L"$00FF8040");
  EXPECT_EQ(ColorToString(TColor(0x12)), L"$00000012");
  EXPECT_EQ(ColorToString(TColor(Int32(0xFF000063))), L"$FF000063");

  EXPECT_EQ(StringToColor(L"clinfobk"), clInfoBk);
  EXPECT_EQ(StringToColor(L"$00FF8040"), TColor(0x00FF8040));
  EXPECT_EQ(StringToColor(L"255"), clRed);
  EXPECT_EQ(StringToColor(L"$FF00000F"), clBtnFace);
  EXPECT_EQ(StringToColor(ColorToString(TColor(Int32(0x80000001)))), TColor(Int32(0x80000001)));
}

TEST(ColorText, JunkRaisesConvertError) {
  for (const wchar_t* junk : {L"clNoSuchColour", L"", L"$", L"12x", L"$1FFFFFFFF"}) {
    try {
      StringToColor(junk);
      ADD_FAILURE() << "accepted " << UTF8Encode(junk);
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), L"'" + String(junk) + L"' is not a valid integer value");
    }
  }
}

TEST(ColorStreaming, NamedColoursStreamAsIdentifiers) {
  EXPECT_EQ(TypeInfoOf<TColor>()->Name, L"TColor");
  EXPECT_EQ(TypeInfoOf<TColor>()->Kind, tkInteger);

  TColorTestBox box(nullptr);
  box.SetName(L"Box");
  box.SetColor(clBtnFace);
  box.SetFontColor(TColor(0x00FF8040));
  TBytesStream out;
  out.WriteComponent(&box);
  TBytes bytes = out.Bytes();
  EXPECT_TRUE(Contains(bytes, "Color"));
  EXPECT_TRUE(Contains(bytes, "clBtnFace"));
  EXPECT_FALSE(Contains(bytes, "clWindow"));  // defaults are not written

  TColorTestBox back(nullptr);
  back.SetColor(clBlack);
  back.SetFontColor(clBlack);
  TBytesStream in(bytes);
  in.ReadComponent(&back);
  EXPECT_EQ(back.Color(), clBtnFace);
  EXPECT_EQ(back.FontColor(), TColor(0x00FF8040));
}

TEST(ColorStreaming, UnknownIdentifierIsAReadError) {
  TColorTestBox box(nullptr);
  box.SetName(L"Box");
  box.SetColor(clBtnFace);
  TBytesStream out;
  out.WriteComponent(&box);
  TBytes bytes = out.Bytes();
  // Same length, so the stream stays well formed: only the name is unknown.
  const char* from = "clBtnFace";
  const char* to = "clBtnFaxe";
  for (size_t i = 0; i + 9 <= bytes.size(); ++i)
    if (std::memcmp(bytes.data() + i, from, 9) == 0) std::memcpy(bytes.data() + i, to, 9);
  TColorTestBox back(nullptr);
  TBytesStream in(bytes);
  EXPECT_THROW(in.ReadComponent(&back), EReadError);
}
