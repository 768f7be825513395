// Running a program of the build (a tool) from a test: its exit code and what it wrote to
// standard output and standard error, together.
#pragma once

#include <string>

#include "host/System.h"

namespace kw::testsupport {

struct TProgramRun {
  unsigned long Exit = 0;
  std::string Output;
  bool Started = false;
};

// The folder of the running test program, where the build puts the tools too.
String ProgramFolder();
// Runs commandLine (the program's path quoted by the caller) and waits for it.
TProgramRun RunProgram(const String& commandLine);

}  // namespace kw::testsupport
