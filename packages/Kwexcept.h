// The library's numbered error messages: raising with the reporting component's name in
// front, messages looked up in a string package (the "System" package holds the library's own),
// and the built-in English texts that stand for "System" until string packages exist.
#pragma once

#include "host/Classes.h"
#include "host/Exceptions.h"

namespace kw {

KW_EXCEPTION(EKwError, Exception)

// Raises EKwError with text, prefixed by "Name: " when source has a name.
[[noreturn]] void KwExcept(const TComponent* source, const String& text);
// Raises message number of the string package pkgName (formatted with args), or
// "Message Unknown (%s) (%d)" with the package name and number when it has none.
[[noreturn]] void KwExceptPkg(const TComponent* source, const String& pkgName, int number);
[[noreturn]] void KwExceptPkgArgs(const TComponent* source, const String& pkgName, int number, TVarRecs args);

// Finds the text of message number in the string package pkgName; false when the package or
// the message is missing. The string packages set it; until then only "System" answers, from
// the built-in texts.
using TKwMessageLookup = bool (*)(const String& pkgName, int number, String& text);
void KwSetMessageLookup(TKwMessageLookup lookup);
// The library's own text for a "System" message number; false for a number it has none for.
bool KwSystemMessage(int number, String& text);

}  // namespace kw
