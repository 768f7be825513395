// Numbered messages: the lookup through the string packages (or the built-in texts) and the
// raising routines. The texts are the library's English ones for the numbers its packages raise.
#include "packages/Kwexcept.h"

#include "host/Sysutils.h"

namespace kw {

namespace {

struct TSystemText {
  int Number;
  const wchar_t* Text;
};

const TSystemText kSystemTexts[] = {
    {3, L"The file name is empty"},
    {4, L"The image file name has no extension"},
    {5, L"Invalid mask: %s"},
    {15, L"A set named '%s' already exists"},
    {18, L"%s is not a display package file"},
    {19, L"%s was written by a newer version of the display package"},
    {22, L"Id %d is negative"},
    {23, L"Id %d is greater than 9999"},
    {24, L"Id %d is already used"},
    {38, L"No graphic format is registered for the extension '%s'"},
    {39, L"%s is not a package file of this kind"},
    {40, L"%s was written by a newer version of the package format"},
    {46, L"%s is not a string package file"},
    {47, L"%s was written by a newer version of the string package"},
    {67, L"The package name is reserved"},
};

bool BuiltInLookup(const String& pkgName, int number, String& text) {
  if (!SameText(Trim(pkgName), L"System")) return false;
  return KwSystemMessage(number, text);
}

TKwMessageLookup GLookup = &BuiltInLookup;

String MessageText(const String& pkgName, int number, bool& found) {
  String text;
  found = GLookup && GLookup(pkgName, number, text);
  if (!found) return Format(L"Message Unknown (%s) (%d)", {pkgName, number});
  return text;
}

}  // namespace

bool KwSystemMessage(int number, String& text) {
  for (const TSystemText& t : kSystemTexts) {
    if (t.Number == number) {
      text = t.Text;
      return true;
    }
  }
  return false;
}

void KwSetMessageLookup(TKwMessageLookup lookup) { GLookup = lookup ? lookup : &BuiltInLookup; }

void KwExcept(const TComponent* source, const String& text) {
  if (source && !source->Name().empty()) throw EKwError(source->Name() + L": " + text);
  throw EKwError(text);
}

void KwExceptPkg(const TComponent* source, const String& pkgName, int number) {
  bool found;
  String text = MessageText(pkgName, number, found);
  KwExcept(source, text);
}

void KwExceptPkgArgs(const TComponent* source, const String& pkgName, int number, TVarRecs args) {
  bool found;
  String text = MessageText(pkgName, number, found);
  KwExcept(source, found ? Format(text, args) : text);
}

}  // namespace kw
