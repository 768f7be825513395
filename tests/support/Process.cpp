// RunProgram: a child process with one pipe for both of its output streams, read to the end.
#include "tests/support/Process.h"

#include "host/Sysutils.h"
#include "host/Win.h"

namespace kw::testsupport {

String ProgramFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return ExtractFilePath(path);
}

TProgramRun RunProgram(const String& commandLine) {
  TProgramRun run;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readOut, writeOut;
  if (!CreatePipe(&readOut, &writeOut, &sa, 0)) return run;
  SetHandleInformation(readOut, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdError = writeOut;
  si.hStdOutput = writeOut;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  String cmd = commandLine;
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(readOut);
    CloseHandle(writeOut);
    run.Exit = DWORD(-1);
    return run;
  }
  run.Started = true;
  CloseHandle(writeOut);
  char buf[512];
  DWORD got;
  while (ReadFile(readOut, buf, sizeof buf, &got, nullptr) && got) run.Output.append(buf, got);
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, &run.Exit);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(readOut);
  return run;
}

}  // namespace kw::testsupport
