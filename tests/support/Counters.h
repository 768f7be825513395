// Resource counts for leak tests: our GDI accounting, the system's GDI and USER object counts
// for the process, and the windows of the current thread. Handles made elsewhere are not seen
// by the first; the system counts may stay 0 on some platforms.
#pragma once

#include <source_location>
#include <string>

#include <gtest/gtest.h>

namespace kw::testsupport {

struct TResourceSnapshot {
  int gdiTotal = 0;           // KwGdiTotal(): objects made through the Kw* wrappers
  int userObjects = 0;        // GetGuiResources GR_USEROBJECTS
  int gdiObjectsProcess = 0;  // GetGuiResources GR_GDIOBJECTS
  int windows = 0;            // windows of this thread with all their descendants, IME windows aside
  static TResourceSnapshot Take();
};

// Fails naming each count that grew from before to after ("windows 2 -> 3 (+1)").
::testing::AssertionResult NoLeaks(const TResourceSnapshot& before, const TResourceSnapshot& after);

// Takes a snapshot now and another at destruction, pumping pending messages first each time
// (windows freed by a posted message go then); a count that grew is a non-fatal failure
// reported at the place the check was made.
class TLeakCheck {
public:
  explicit TLeakCheck(std::string what = {}, std::source_location where = std::source_location::current());
  ~TLeakCheck();
  TLeakCheck(const TLeakCheck&) = delete;
  TLeakCheck& operator=(const TLeakCheck&) = delete;
  const TResourceSnapshot& Before() const { return FBefore; }

private:
  std::string FWhat;
  std::source_location FWhere;
  TResourceSnapshot FBefore;
};

}  // namespace kw::testsupport
