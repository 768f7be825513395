// Message sequences for window tests: a recorder that subclasses the windows it watches (and
// hooks the thread's queue to tell posted from sent messages), text events logged in between,
// and matching against expected tables. It records the current thread's windows only.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "host/System.h"

struct HWND__;

namespace kw::testsupport {

// How an entry came.
enum TRecordFlag : unsigned {
  rfSent = 1,            // a call of the window procedure that no DispatchMessage made
  rfPosted = 2,          // a call of the window procedure by DispatchMessage of a queued message
  rfBeforeDispatch = 4,  // a queued message taken from the queue, before its dispatch (own entry)
  rfEvent = 8,           // a text given to Log
};

struct TRecordedMsg {
  String wnd;  // the tag given to Watch; for an event, its text
  unsigned msg = 0;
  std::uintptr_t wp = 0;
  std::intptr_t lp = 0;
  unsigned flags = 0;
  // One readable line: "main WM_LBUTTONDOWN wp=0x1 lp=0x140010 posted".
  String Text() const;
};

// Flags of an expected entry. Without exBeforeDispatch it matches a window-procedure entry;
// with exEvent, wnd holds the event's text.
enum TExpectFlag : unsigned {
  exOptional = 1,        // may be absent
  exWParam = 2,          // wParam must equal wp
  exLParam = 4,          // lParam must equal lp
  exSent = 8,            // must have been sent
  exPosted = 16,         // must have been dispatched from the queue
  exBeforeDispatch = 32, // matches the queue entry (rfBeforeDispatch) instead
  exEvent = 64,          // a Log text
};

struct TExpectedMsg {
  const wchar_t* wnd;  // tag; null matches any window
  unsigned msg;
  unsigned flags = 0;
  std::uintptr_t wp = 0;
  std::intptr_t lp = 0;
};

constexpr TExpectedMsg ExpectEvent(const wchar_t* text, unsigned flags = 0) {
  return {text, 0, flags | exEvent, 0, 0};
}

// "WM_LBUTTONDOWN", "WM_USER+0x5", or "0xC123" for a message without a name.
String MessageName(unsigned msg);
// Names of messages the table lacks (a control's own messages), for the dumps.
void RegisterMessageName(unsigned msg, const wchar_t* name);

class TMessageRecorder {
public:
  // queueHook: hook the thread's queue (WH_GETMESSAGE) so dispatched messages are told from
  // sent ones; without it every window-procedure call counts as sent.
  explicit TMessageRecorder(bool queueHook = true);
  ~TMessageRecorder();
  TMessageRecorder(const TMessageRecorder&) = delete;
  TMessageRecorder& operator=(const TMessageRecorder&) = delete;

  // Records what the window procedure of wnd receives, under tag. wnd must belong to this thread.
  void Watch(HWND__* wnd, const String& tag);
  // Stops recording wnd. Our subclass is taken out when nobody subclassed the window after us;
  // otherwise it stays in the chain and passes everything through.
  void Unwatch(HWND__* wnd);
  void UnwatchAll();
  bool Watching(HWND__* wnd) const;

  // Also record each queued message for a watched window as it leaves the queue
  // (rfBeforeDispatch). Needs the queue hook. Off by default.
  void SetRecordQueue(bool on) { FRecordQueue = on; }
  // Filters for messages (events always pass): only those listed, or all but those listed.
  void RecordOnly(std::initializer_list<unsigned> msgs);
  void RecordAllBut(std::initializer_list<unsigned> msgs);
  // WM_GETICON, WM_NCHITTEST, WM_SETCURSOR, WM_GETTEXT and other traffic that tests rarely
  // mean; the filter a recorder starts with is all but these.
  static std::vector<unsigned> DefaultNoise();
  bool Records(unsigned msg) const;
  // Pausing keeps the watches but records nothing, events included.
  void SetPaused(bool paused) { FPaused = paused; }

  void Log(const String& text);
  void Clear() { FEntries.clear(); }
  const std::vector<TRecordedMsg>& Entries() const { return FEntries; }
  // The entries, one numbered line each.
  String Dump() const;

  // Used by the window procedure and the hook.
  void Add(const String& tag, unsigned msg, std::uintptr_t wp, std::intptr_t lp, unsigned flags);
  const String* TagOf(HWND__* wnd) const;
  void Forget(HWND__* wnd);
  bool RecordsQueue() const { return FRecordQueue && FQueueHook && !FPaused; }

private:
  struct TWatch {
    HWND__* Wnd;
    String Tag;
  };
  std::vector<TWatch> FWatched;
  std::vector<TRecordedMsg> FEntries;
  std::set<unsigned> FFilter;
  bool FOnly = false;  // FFilter lists what is recorded, not what is left out
  bool FQueueHook;
  bool FRecordQueue = false;
  bool FPaused = false;
};

// Matches when the entries equal the table from first to last, entries marked exOptional
// allowed to be missing; otherwise describes both sequences and where they part.
::testing::AssertionResult MatchesSequence(const TMessageRecorder& recorder, const TExpectedMsg* table,
                                           size_t count);
template <size_t N>
::testing::AssertionResult MatchesSequence(const TMessageRecorder& recorder, const TExpectedMsg (&table)[N]) {
  return MatchesSequence(recorder, table, N);
}

}  // namespace kw::testsupport
