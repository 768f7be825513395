// The exception family's shared behaviour: messages kept as UTF-16 and UTF-8 (for what()),
// and the Win32 error texts.
#include "host/Exceptions.h"

#include "host/Win.h"

#include "host/Sysutils.h"

namespace kw {

namespace {
std::string ToUtf8(const String& s) {
  if (s.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}
}  // namespace

Exception::Exception(String msg, int helpContext)
    : FMessage(std::move(msg)), FUtf8(ToUtf8(FMessage)), FHelpContext(helpContext) {}

Exception::Exception(const String& fmt, TVarRecs args) : Exception(Format(fmt, args)) {}

void Exception::SetMessage(String msg) {
  FMessage = std::move(msg);
  FUtf8 = ToUtf8(FMessage);
}

void Abort() { throw EAbort(SRes::SOperationAborted); }

String SysErrorMessage(unsigned long code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  String s;
  if (n && buf) s.assign(buf, n);
  if (buf) LocalFree(buf);
  while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ' || s.back() == L'.'))
    s.pop_back();
  if (!s.empty()) s += L'.';
  return s;
}

void RaiseLastOSError(unsigned long code) {
  if (code == 0) throw EOSError(SRes::SUnkOSError, 0);
  throw EOSError(Format(SRes::SOSError, {int(code), SysErrorMessage(code)}), code);
}

void RaiseLastOSError() { RaiseLastOSError(GetLastError()); }

void Win32Check(bool ok) {
  if (!ok) RaiseLastOSError();
}

}  // namespace kw
