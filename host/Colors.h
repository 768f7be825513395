// Colour values of the graphics unit: TColor with its named and system colours, the ident
// and text conversions, RGB access and the type information that streams colours by name.
// Drawing objects (pens, brushes, canvases) are not here.
#pragma once

#include <cstdint>
#include <functional>

#include "host/Typinfo.h"

namespace kw {

// A colour is 0x00BBGGRR, a system colour 0xFF0000nn (nn a COLOR_* index), or one of the
// two markers clNone and clDefault. Any Int32 may be cast to a TColor.
enum TColor : Int32 {
  clBlack = 0x000000,
  clMaroon = 0x000080,
  clGreen = 0x008000,
  clOlive = 0x008080,
  clNavy = 0x800000,
  clPurple = 0x800080,
  clTeal = 0x808000,
  clGray = 0x808080,
  clSilver = 0xC0C0C0,
  clRed = 0x0000FF,
  clLime = 0x00FF00,
  clYellow = 0x00FFFF,
  clBlue = 0xFF0000,
  clFuchsia = 0xFF00FF,
  clAqua = 0xFFFF00,
  clWhite = 0xFFFFFF,
  clLtGray = clSilver,
  clDkGray = clGray,
  clMoneyGreen = 0xC0DCC0,
  clSkyBlue = 0xF0CAA6,
  clCream = 0xF0FBFF,
  clMedGray = 0xA4A0A0,
  clNone = 0x1FFFFFFF,
  clDefault = 0x20000000,

  clSystemColor = Int32(0xFF000000),
  clScrollBar = clSystemColor | 0,
  clBackground = clSystemColor | 1,
  clActiveCaption = clSystemColor | 2,
  clInactiveCaption = clSystemColor | 3,
  clMenu = clSystemColor | 4,
  clWindow = clSystemColor | 5,
  clWindowFrame = clSystemColor | 6,
  clMenuText = clSystemColor | 7,
  clWindowText = clSystemColor | 8,
  clCaptionText = clSystemColor | 9,
  clActiveBorder = clSystemColor | 10,
  clInactiveBorder = clSystemColor | 11,
  clAppWorkSpace = clSystemColor | 12,
  clHighlight = clSystemColor | 13,
  clHighlightText = clSystemColor | 14,
  clBtnFace = clSystemColor | 15,
  clBtnShadow = clSystemColor | 16,
  clGrayText = clSystemColor | 17,
  clBtnText = clSystemColor | 18,
  clInactiveCaptionText = clSystemColor | 19,
  clBtnHighlight = clSystemColor | 20,
  cl3DDkShadow = clSystemColor | 21,
  cl3DLight = clSystemColor | 22,
  clInfoText = clSystemColor | 23,
  clInfoBk = clSystemColor | 24,
  clHotLight = clSystemColor | 26,
  clGradientActiveCaption = clSystemColor | 27,
  clGradientInactiveCaption = clSystemColor | 28,
  clMenuHighlight = clSystemColor | 29,
  clMenuBar = clSystemColor | 30,
};

// Negative values are system colours and come back from GetSysColor (index in the low
// byte); every other value, clNone and clDefault included, is returned unchanged, as the
// host does. Callers that may hold a marker test for it before doing arithmetic.
Int32 ColorToRGB(TColor color);

// The identifier of a named colour ("clBtnFace"); aliases (clLtGray, clDkGray) are never
// produced, the primary name (clSilver, clGray) is. Identifiers compare case-insensitively.
bool ColorToIdent(Int32 color, String& ident);
bool IdentToColor(const String& ident, Int32& color);
// The identifier, else "$" and eight hex digits ("$00FF8040").
String ColorToString(TColor color);
// An identifier or an integer in the host's notation ("16711680", "$00FF0000"); raises
// EConvertError "'%s' is not a valid integer value" for anything else.
TColor StringToColor(const String& text);
// Calls proc with every colour identifier in the host's order.
void GetColorValues(const std::function<void(const String&)>& proc);

// windows.h has macros of these names with the same meaning; they are removed, as Win.h
// removes its other clashing macros, so that kw::GetRValue stays callable.
#undef GetRValue
#undef GetGValue
#undef GetBValue
constexpr Byte GetRValue(Int32 rgb) { return Byte(rgb & 0xFF); }
constexpr Byte GetGValue(Int32 rgb) { return Byte((rgb >> 8) & 0xFF); }
constexpr Byte GetBValue(Int32 rgb) { return Byte((rgb >> 16) & 0xFF); }
constexpr Int32 KwRGB(Byte r, Byte g, Byte b) { return Int32(r) | (Int32(g) << 8) | (Int32(b) << 16); }

// A published TColor property streams named colours as identifiers ("Color = clBtnFace").
template <>
struct TTypeInfoOf<TColor> {
  static const TTypeInfo* Get();
};

}  // namespace kw
