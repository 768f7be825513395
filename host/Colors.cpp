// The colour identifier table, ColorToRGB through the system colours, the text conversions
// and TColor's type information. No drawing here.
#include "host/Colors.h"

#include <climits>

#include "host/Sysutils.h"
#include "host/Win.h"

namespace kw {

namespace {

struct TColorIdent {
  Int32 Value;
  const wchar_t* Name;
};

// The host's order: the sixteen basic colours, the four extra ones, then the system colours
// alphabetically with the two markers among them.
const TColorIdent ColorIdents[] = {
    {clBlack, L"clBlack"},
    {clMaroon, L"clMaroon"},
    {clGreen, L"clGreen"},
    {clOlive, L"clOlive"},
    {clNavy, L"clNavy"},
    {clPurple, L"clPurple"},
    {clTeal, L"clTeal"},
    {clGray, L"clGray"},
    {clSilver, L"clSilver"},
    {clRed, L"clRed"},
    {clLime, L"clLime"},
    {clYellow, L"clYellow"},
    {clBlue, L"clBlue"},
    {clFuchsia, L"clFuchsia"},
    {clAqua, L"clAqua"},
    {clWhite, L"clWhite"},
    {clMoneyGreen, L"clMoneyGreen"},
    {clSkyBlue, L"clSkyBlue"},
    {clCream, L"clCream"},
    {clMedGray, L"clMedGray"},
    {clActiveBorder, L"clActiveBorder"},
    {clActiveCaption, L"clActiveCaption"},
    {clAppWorkSpace, L"clAppWorkSpace"},
    {clBackground, L"clBackground"},
    {clBtnFace, L"clBtnFace"},
    {clBtnHighlight, L"clBtnHighlight"},
    {clBtnShadow, L"clBtnShadow"},
    {clBtnText, L"clBtnText"},
    {clCaptionText, L"clCaptionText"},
    {clDefault, L"clDefault"},
    {clGradientActiveCaption, L"clGradientActiveCaption"},
    {clGradientInactiveCaption, L"clGradientInactiveCaption"},
    {clGrayText, L"clGrayText"},
    {clHighlight, L"clHighlight"},
    {clHighlightText, L"clHighlightText"},
    {clHotLight, L"clHotLight"},
    {clInactiveBorder, L"clInactiveBorder"},
    {clInactiveCaption, L"clInactiveCaption"},
    {clInactiveCaptionText, L"clInactiveCaptionText"},
    {clInfoBk, L"clInfoBk"},
    {clInfoText, L"clInfoText"},
    {clMenu, L"clMenu"},
    {clMenuBar, L"clMenuBar"},
    {clMenuHighlight, L"clMenuHighlight"},
    {clMenuText, L"clMenuText"},
    {clNone, L"clNone"},
    {clScrollBar, L"clScrollBar"},
    {cl3DDkShadow, L"cl3DDkShadow"},
    {cl3DLight, L"cl3DLight"},
    {clWindow, L"clWindow"},
    {clWindowFrame, L"clWindowFrame"},
    {clWindowText, L"clWindowText"},
};

bool StreamIntToIdent(Int64 value, String& ident) {
  if (value < INT32_MIN || value > INT32_MAX) return false;
  return ColorToIdent(Int32(value), ident);
}

bool StreamIdentToInt(const String& ident, Int64& value) {
  Int32 v;
  if (!IdentToColor(ident, v)) return false;
  value = v;
  return true;
}

}  // namespace

Int32 ColorToRGB(TColor color) {
  if (Int32(color) < 0) return Int32(GetSysColor(int(Int32(color) & 0xFF)));
  return Int32(color);
}

bool ColorToIdent(Int32 color, String& ident) {
  for (const TColorIdent& e : ColorIdents) {
    if (e.Value == color) {
      ident = e.Name;
      return true;
    }
  }
  return false;
}

bool IdentToColor(const String& ident, Int32& color) {
  for (const TColorIdent& e : ColorIdents) {
    if (SameText(ident, e.Name)) {
      color = e.Value;
      return true;
    }
  }
  return false;
}

String ColorToString(TColor color) {
  String ident;
  if (ColorToIdent(Int32(color), ident)) return ident;
  return L"$" + IntToHex(Int32(color), 8);
}

TColor StringToColor(const String& text) {
  Int32 v;
  if (IdentToColor(text, v)) return TColor(v);
  return TColor(StrToInt(text));
}

void GetColorValues(const std::function<void(const String&)>& proc) {
  for (const TColorIdent& e : ColorIdents) proc(e.Name);
}

const TTypeInfo* TTypeInfoOf<TColor>::Get() {
  static const TTypeInfo* info =
      MakeIntegerTypeInfo(L"TColor", INT32_MIN, INT32_MAX, &StreamIntToIdent, &StreamIdentToInt);
  return info;
}

}  // namespace kw
