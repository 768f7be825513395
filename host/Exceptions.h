// The host's exception family: every failure in the system is raised as one of these, with a
// UTF-16 message. Exception classes carry their host class name for handlers that show it.
#pragma once

#include <exception>
#include <string>

#include "host/System.h"

namespace kw {

class Exception : public std::exception {
public:
  explicit Exception(String msg, int helpContext = 0);
  // Message with Format arguments: Exception(L"Bad %s", {name}).
  Exception(const String& fmt, TVarRecs args);
  const String& Message() const { return FMessage; }
  void SetMessage(String msg);
  int HelpContext() const { return FHelpContext; }
  virtual const wchar_t* ClassName() const { return L"Exception"; }
  // Throws a copy of the most derived type (so a handler can keep and rethrow it).
  [[noreturn]] virtual void Raise() const { throw *this; }
  const char* what() const noexcept override { return FUtf8.c_str(); }

private:
  String FMessage;
  std::string FUtf8;
  int FHelpContext = 0;
};

#define KW_EXCEPTION(Name, Parent)                                          \
  class Name : public Parent {                                              \
  public:                                                                   \
    using Parent::Parent;                                                   \
    const wchar_t* ClassName() const override { return L## #Name; }         \
    [[noreturn]] void Raise() const override { throw *this; }               \
  };

KW_EXCEPTION(EAbort, Exception)
KW_EXCEPTION(EHeapException, Exception)
KW_EXCEPTION(EOutOfMemory, EHeapException)
KW_EXCEPTION(EInvalidPointer, EHeapException)
KW_EXCEPTION(EOutOfResources, EOutOfMemory)
KW_EXCEPTION(EInOutError, Exception)
KW_EXCEPTION(EExternal, Exception)
KW_EXCEPTION(EAccessViolation, EExternal)
KW_EXCEPTION(EIntError, Exception)
KW_EXCEPTION(EDivByZero, EIntError)
KW_EXCEPTION(ERangeError, EIntError)
KW_EXCEPTION(EIntOverflow, EIntError)
KW_EXCEPTION(EMathError, Exception)
KW_EXCEPTION(EInvalidOp, EMathError)
KW_EXCEPTION(EZeroDivide, EMathError)
KW_EXCEPTION(EOverflow, EMathError)
KW_EXCEPTION(EUnderflow, EMathError)
KW_EXCEPTION(EConvertError, Exception)
KW_EXCEPTION(EInvalidCast, Exception)
KW_EXCEPTION(EVariantError, Exception)
KW_EXCEPTION(EVariantTypeCastError, EVariantError)
KW_EXCEPTION(EVariantOverflowError, EVariantError)
KW_EXCEPTION(EVariantInvalidArgError, EVariantError)
KW_EXCEPTION(EVariantBadVarTypeError, EVariantError)
KW_EXCEPTION(EVariantBadIndexError, EVariantError)
KW_EXCEPTION(EVariantArrayCreateError, EVariantError)
KW_EXCEPTION(EVariantArrayLockedError, EVariantError)
KW_EXCEPTION(EVariantNotAnArrayError, EVariantError)
KW_EXCEPTION(EVariantInvalidOpError, EVariantError)
KW_EXCEPTION(EArgumentException, Exception)
KW_EXCEPTION(EArgumentOutOfRangeException, EArgumentException)
KW_EXCEPTION(ENotSupportedException, Exception)
KW_EXCEPTION(ENotImplemented, Exception)
KW_EXCEPTION(EPropertyError, Exception)
KW_EXCEPTION(EPropertyConvertError, Exception)
KW_EXCEPTION(EStreamError, Exception)
KW_EXCEPTION(EFileStreamError, EStreamError)
KW_EXCEPTION(EFCreateError, EFileStreamError)
KW_EXCEPTION(EFOpenError, EFileStreamError)
KW_EXCEPTION(EFilerError, EStreamError)
KW_EXCEPTION(EReadError, EFilerError)
KW_EXCEPTION(EWriteError, EFilerError)
KW_EXCEPTION(EClassNotFound, EFilerError)
KW_EXCEPTION(EMethodNotFound, EFilerError)
KW_EXCEPTION(EInvalidImage, EFilerError)
KW_EXCEPTION(EResNotFound, Exception)
KW_EXCEPTION(EListError, Exception)
KW_EXCEPTION(EBitsError, Exception)
KW_EXCEPTION(EStringListError, Exception)
KW_EXCEPTION(EComponentError, Exception)
KW_EXCEPTION(EParserError, Exception)
KW_EXCEPTION(EInvalidOperation, Exception)
KW_EXCEPTION(EPackageError, Exception)
KW_EXCEPTION(EInvalidGraphic, Exception)
KW_EXCEPTION(EInvalidGraphicOperation, Exception)
KW_EXCEPTION(EOleError, Exception)
KW_EXCEPTION(EThread, Exception)

// A Win32 failure: the error code and the system's own text for it.
class EOSError : public Exception {
public:
  EOSError(String msg, unsigned long code) : Exception(std::move(msg)), ErrorCode(code) {}
  const wchar_t* ClassName() const override { return L"EOSError"; }
  [[noreturn]] void Raise() const override { throw *this; }
  unsigned long ErrorCode;
};

// The silent exception: application handlers ignore it.
[[noreturn]] void Abort();
// The system's message text for a Win32 error code, without the trailing line break.
String SysErrorMessage(unsigned long code);
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseLastOSError(unsigned long code);
// Raises EOSError for a failed Win32 call (result false).
void Win32Check(bool ok);

// The host's message texts, kept in one place because tests and callers match them.
namespace SRes {
inline constexpr const wchar_t* SAssignError = L"Cannot assign a %s to a %s";
inline constexpr const wchar_t* SFCreateError = L"Cannot create file %s";
inline constexpr const wchar_t* SFCreateErrorEx = L"Cannot create file \"%s\". %s";
inline constexpr const wchar_t* SFOpenError = L"Cannot open file %s";
inline constexpr const wchar_t* SFOpenErrorEx = L"Cannot open file \"%s\". %s";
inline constexpr const wchar_t* SReadError = L"Stream read error";
inline constexpr const wchar_t* SWriteError = L"Stream write error";
inline constexpr const wchar_t* SMemoryStreamError = L"Out of memory while expanding memory stream";
inline constexpr const wchar_t* SListIndexError = L"List index out of bounds (%d)";
inline constexpr const wchar_t* SListCapacityError = L"List capacity out of bounds (%d)";
inline constexpr const wchar_t* SListCountError = L"List count out of bounds (%d)";
inline constexpr const wchar_t* SDuplicateString = L"String list does not allow duplicates";
inline constexpr const wchar_t* SSortedListError = L"Operation not allowed on sorted list";
inline constexpr const wchar_t* SDuplicateItem = L"List does not allow duplicates ($0%x)";
inline constexpr const wchar_t* SBitsIndexError = L"Bits index out of range";
inline constexpr const wchar_t* SClassNotFound = L"Class %s not found";
inline constexpr const wchar_t* SDuplicateClass = L"A class named %s already exists";
inline constexpr const wchar_t* SInvalidImage = L"Invalid stream format";
inline constexpr const wchar_t* SUnknownProperty = L"Property %s does not exist";
inline constexpr const wchar_t* SPropertyException = L"Error reading %s%s%s: %s";
inline constexpr const wchar_t* SInvalidPropertyValue = L"Invalid property value";
inline constexpr const wchar_t* SInvalidPropertyPath = L"Invalid property path";
inline constexpr const wchar_t* SInvalidPropertyType = L"Invalid property type: %s";
inline constexpr const wchar_t* SInvalidPropertyElement = L"Invalid property element: %s";
inline constexpr const wchar_t* SReadOnlyProperty = L"Property is read-only";
inline constexpr const wchar_t* SPropertyOutOfRange = L"Property %s out of range";
inline constexpr const wchar_t* SMethodNotFound = L"Method %s not found";
inline constexpr const wchar_t* SAncestorNotFound = L"Ancestor for '%s' not found";
inline constexpr const wchar_t* SDuplicateName = L"A component named %s already exists";
inline constexpr const wchar_t* SInvalidName = L"'%s' is not a valid component name";
inline constexpr const wchar_t* SInvalidBinary = L"Invalid binary value";
inline constexpr const wchar_t* SInvalidString = L"Invalid string constant";
inline constexpr const wchar_t* SIdentifierExpected = L"Identifier expected";
inline constexpr const wchar_t* SStringExpected = L"String expected";
inline constexpr const wchar_t* SNumberExpected = L"Number expected";
inline constexpr const wchar_t* SCharExpected = L"'%s' expected";
inline constexpr const wchar_t* SSymbolExpected = L"%s expected";
inline constexpr const wchar_t* SParseError = L"%s on line %d";
inline constexpr const wchar_t* SLineTooLong = L"Line too long";
inline constexpr const wchar_t* SInvalidCast = L"Invalid class typecast";
inline constexpr const wchar_t* SInvalidVarCast = L"Invalid variant type conversion";
inline constexpr const wchar_t* SVarTypeCouldNotConvert = L"Could not convert variant of type (%s) into type (%s)";
inline constexpr const wchar_t* SVarTypeConvertOverflow = L"Overflow while converting variant of type (%s) into type (%s)";
inline constexpr const wchar_t* SVarInvalid = L"Invalid argument";
inline constexpr const wchar_t* SVarBadType = L"Invalid variant type";
inline constexpr const wchar_t* SVarArrayBounds = L"Variant or safe array index out of bounds";
inline constexpr const wchar_t* SVarArrayCreate = L"Error creating variant or safe array";
inline constexpr const wchar_t* SVarNotArray = L"Variant is not an array";
inline constexpr const wchar_t* SVarInvalidOp = L"Invalid variant operation";
inline constexpr const wchar_t* SInvalidInteger = L"'%s' is not a valid integer value";
inline constexpr const wchar_t* SInvalidFloat = L"'%s' is not a valid floating point value";
inline constexpr const wchar_t* SInvalidCurrency = L"'%s' is not a valid currency value";
inline constexpr const wchar_t* SInvalidDate = L"'%s' is not a valid date";
inline constexpr const wchar_t* SInvalidTime = L"'%s' is not a valid time";
inline constexpr const wchar_t* SInvalidDateTime = L"'%s' is not a valid date and time";
inline constexpr const wchar_t* SInvalidBoolean = L"'%s' is not a valid boolean value";
inline constexpr const wchar_t* SInvalidGUID = L"'%s' is not a valid GUID value";
inline constexpr const wchar_t* SInvalidFormat = L"Format '%s' invalid or incompatible with argument";
inline constexpr const wchar_t* SArgumentMissing = L"No argument for format '%s'";
inline constexpr const wchar_t* SDateEncodeError = L"Invalid argument to date encode";
inline constexpr const wchar_t* STimeEncodeError = L"Invalid argument to time encode";
inline constexpr const wchar_t* SOperationAborted = L"Operation aborted";
inline constexpr const wchar_t* SOutOfMemory = L"Out of memory";
inline constexpr const wchar_t* SDivByZero = L"Division by zero";
inline constexpr const wchar_t* SRangeError = L"Range check error";
inline constexpr const wchar_t* SIntOverflow = L"Arithmetic overflow";
inline constexpr const wchar_t* SOverflow = L"Floating point overflow";
inline constexpr const wchar_t* SZeroDivide = L"Floating point division by zero";
inline constexpr const wchar_t* SOSError = L"System Error.  Code: %d.\r\n%s";
inline constexpr const wchar_t* SUnkOSError = L"A call to an OS function failed";
inline constexpr const wchar_t* SInvalidFileName = L"Invalid file name - %s";
inline constexpr const wchar_t* SErrorLoadingPackage = L"Can't load package %s.\r\n%s";
inline constexpr const wchar_t* SNestingTooDeep = L"Stream nesting too deep";
inline constexpr const wchar_t* SNoCanvasHandle = L"Canvas does not allow drawing";
inline constexpr const wchar_t* SLengthTooLarge = L"Stream value length %d past the end";
inline constexpr const wchar_t* SInvalidBitmap = L"Bitmap image is not valid";
inline constexpr const wchar_t* SUnknownClipboardFormat = L"Unsupported clipboard format";
inline constexpr const wchar_t* SScanLine = L"Scan line index out of range";
inline constexpr const wchar_t* SInvalidPixelFormat = L"Invalid pixel format";
inline constexpr const wchar_t* SOutOfResources = L"Out of system resources";
inline constexpr const wchar_t* SBitmapTooLarge = L"Bitmap image is too large (%d x %d)";
inline constexpr const wchar_t* SThreadCreateError = L"Thread creation error: %s";
inline constexpr const wchar_t* SThreadError = L"Thread Error: %s (%d)";
inline constexpr const wchar_t* SThreadStartError = L"Cannot call Start on a running or suspended thread";
inline constexpr const wchar_t* SThreadWaitSuspended = L"Cannot wait for a thread that was never started";
inline constexpr const wchar_t* SCheckSynchronizeError =
    L"CheckSynchronize called from thread $%x, which is NOT the main thread";
}  // namespace SRes

}  // namespace kw
