// Resource snapshots and their comparison. Counting windows walks the thread's top-level and
// message-only windows and every descendant; it changes nothing.
#include "tests/support/Counters.h"

#include <set>

#include "host/Graphics.h"
#include "host/Win.h"
#include "tests/support/Input.h"

namespace kw::testsupport {

namespace {

// The system gives a thread an IME window (and with it COM's message window) while the thread
// has top-level windows; they come and go with the first and the last of ours.
bool IsSystemWindow(HWND wnd) {
  wchar_t name[64];
  if (GetClassNameW(wnd, name, 64) <= 0) return false;
  for (const wchar_t* system : {L"IME", L"MSCTFIME UI", L"OleMainThreadWndClass"})
    if (lstrcmpW(name, system) == 0) return true;
  return false;
}

BOOL CALLBACK Collect(HWND wnd, LPARAM into) {
  if (!IsSystemWindow(wnd)) reinterpret_cast<std::set<HWND>*>(into)->insert(wnd);
  return TRUE;
}

int ThreadWindows() {
  std::set<HWND> tops, all;
  DWORD thread = GetCurrentThreadId();
  EnumThreadWindows(thread, Collect, LPARAM(&tops));
  // Message-only windows are not among the thread's top-level windows.
  HWND m = nullptr;
  for (int guard = 0; guard < 100000 && (m = FindWindowExW(HWND_MESSAGE, m, nullptr, nullptr)); ++guard)
    if (GetWindowThreadProcessId(m, nullptr) == thread && !IsSystemWindow(m)) tops.insert(m);
  for (HWND t : tops) {
    all.insert(t);
    EnumChildWindows(t, Collect, LPARAM(&all));  // all descendants, not only direct children
  }
  return int(all.size());
}

void Grew(::testing::AssertionResult& r, bool& failed, const char* name, int before, int after) {
  if (after <= before) return;
  r << (failed ? "; " : "") << name << " " << before << " -> " << after << " (+" << (after - before) << ")";
  failed = true;
}

}  // namespace

TResourceSnapshot TResourceSnapshot::Take() {
  TResourceSnapshot s;
  s.gdiTotal = KwGdiTotal();
  s.userObjects = int(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
  s.gdiObjectsProcess = int(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
  s.windows = ThreadWindows();
  return s;
}

::testing::AssertionResult NoLeaks(const TResourceSnapshot& before, const TResourceSnapshot& after) {
  ::testing::AssertionResult r = ::testing::AssertionFailure();
  r << "leaked: ";
  bool failed = false;
  Grew(r, failed, "gdiTotal", before.gdiTotal, after.gdiTotal);
  Grew(r, failed, "userObjects", before.userObjects, after.userObjects);
  Grew(r, failed, "gdiObjectsProcess", before.gdiObjectsProcess, after.gdiObjectsProcess);
  Grew(r, failed, "windows", before.windows, after.windows);
  return failed ? r : ::testing::AssertionSuccess();
}

TLeakCheck::TLeakCheck(std::string what, std::source_location where) : FWhat(std::move(what)), FWhere(where) {
  Pump();
  FBefore = TResourceSnapshot::Take();
}

TLeakCheck::~TLeakCheck() {
  Pump();
  ::testing::AssertionResult r = NoLeaks(FBefore, TResourceSnapshot::Take());
  if (!r) ADD_FAILURE_AT(FWhere.file_name(), int(FWhere.line())) << (FWhat.empty() ? "" : FWhat + ": ") << r.message();
}

}  // namespace kw::testsupport
