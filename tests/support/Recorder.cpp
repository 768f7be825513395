// The message recorder: one shared subclass procedure per watched window, the queue hook,
// message names for dumps, and sequence matching. Windows of other threads are refused.
#include "tests/support/Recorder.h"

#include <algorithm>
#include <map>
#include <memory>

#include "host/Exceptions.h"
#include "host/Sysutils.h"
#include "host/Win.h"

namespace kw::testsupport {

namespace {

// One per subclassed window, shared by every recorder watching it, so recorders can come and
// go in any order. It outlives the watches while someone subclassed the window after us.
struct TSubclass {
  WNDPROC Original = nullptr;
  std::vector<TMessageRecorder*> Recorders;
};
thread_local std::map<HWND, std::unique_ptr<TSubclass>> Subclasses;

thread_local HHOOK QueueHookHandle = nullptr;
thread_local std::vector<TMessageRecorder*> HookUsers;
// The message the queue hook saw last: when the window procedure next gets exactly it, the
// call is its dispatch.
struct TPending {
  HWND Wnd;
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  bool Valid;
};
thread_local TPending Pending{};

LRESULT CALLBACK RecordingProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto it = Subclasses.find(wnd);
  if (it == Subclasses.end()) return DefWindowProcW(wnd, msg, wp, lp);
  // Nothing of the entry is used after the call: the handler may unwatch or destroy.
  WNDPROC original = it->second->Original;
  unsigned flags = rfSent;
  if (Pending.Valid && Pending.Wnd == wnd && Pending.Msg == msg && Pending.WParam == wp && Pending.LParam == lp) {
    flags = rfPosted;
    Pending.Valid = false;
  }
  for (TMessageRecorder* r : it->second->Recorders)
    if (const String* tag = r->TagOf(wnd)) r->Add(*tag, msg, wp, lp, flags);
  LRESULT result = CallWindowProcW(original, wnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    auto gone = Subclasses.find(wnd);
    if (gone != Subclasses.end()) {
      for (TMessageRecorder* r : gone->second->Recorders) r->Forget(wnd);
      Subclasses.erase(gone);
    }
  }
  return result;
}

LRESULT CALLBACK QueueHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && wp == PM_REMOVE) {
    const MSG* m = reinterpret_cast<const MSG*>(lp);
    Pending = {m->hwnd, m->message, m->wParam, m->lParam, true};
    for (TMessageRecorder* r : HookUsers)
      if (r->RecordsQueue())
        if (const String* tag = r->TagOf(m->hwnd)) r->Add(*tag, m->message, m->wParam, m->lParam, rfBeforeDispatch);
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

std::map<unsigned, String>& ExtraNames() {
  static std::map<unsigned, String> names;
  return names;
}

struct TMsgName {
  unsigned Msg;
  const wchar_t* Name;
};
#define KW_MSG(m) {m, L## #m}
const TMsgName MessageNames[] = {
    KW_MSG(WM_NULL), KW_MSG(WM_CREATE), KW_MSG(WM_DESTROY), KW_MSG(WM_MOVE), KW_MSG(WM_SIZE),
    KW_MSG(WM_ACTIVATE), KW_MSG(WM_SETFOCUS), KW_MSG(WM_KILLFOCUS), KW_MSG(WM_ENABLE), KW_MSG(WM_SETREDRAW),
    KW_MSG(WM_SETTEXT), KW_MSG(WM_GETTEXT), KW_MSG(WM_GETTEXTLENGTH), KW_MSG(WM_PAINT), KW_MSG(WM_CLOSE),
    KW_MSG(WM_QUERYENDSESSION), KW_MSG(WM_QUIT), KW_MSG(WM_ERASEBKGND), KW_MSG(WM_SYSCOLORCHANGE),
    KW_MSG(WM_SHOWWINDOW), KW_MSG(WM_SETTINGCHANGE), KW_MSG(WM_ACTIVATEAPP), KW_MSG(WM_CANCELMODE),
    KW_MSG(WM_SETCURSOR), KW_MSG(WM_MOUSEACTIVATE), KW_MSG(WM_CHILDACTIVATE), KW_MSG(WM_GETMINMAXINFO),
    KW_MSG(WM_DRAWITEM), KW_MSG(WM_MEASUREITEM), KW_MSG(WM_DELETEITEM), KW_MSG(WM_SETFONT), KW_MSG(WM_GETFONT),
    KW_MSG(WM_COMPAREITEM), KW_MSG(WM_GETOBJECT), KW_MSG(WM_WINDOWPOSCHANGING), KW_MSG(WM_WINDOWPOSCHANGED),
    KW_MSG(WM_COPYDATA), KW_MSG(WM_NOTIFY), KW_MSG(WM_INPUTLANGCHANGE), KW_MSG(WM_HELP), KW_MSG(WM_CONTEXTMENU),
    KW_MSG(WM_STYLECHANGING), KW_MSG(WM_STYLECHANGED), KW_MSG(WM_DISPLAYCHANGE), KW_MSG(WM_GETICON),
    KW_MSG(WM_SETICON), KW_MSG(WM_NCCREATE), KW_MSG(WM_NCDESTROY), KW_MSG(WM_NCCALCSIZE), KW_MSG(WM_NCHITTEST),
    KW_MSG(WM_NCPAINT), KW_MSG(WM_NCACTIVATE), KW_MSG(WM_GETDLGCODE), KW_MSG(WM_SYNCPAINT),
    KW_MSG(WM_NCMOUSEMOVE), KW_MSG(WM_NCLBUTTONDOWN), KW_MSG(WM_NCLBUTTONUP), KW_MSG(WM_NCLBUTTONDBLCLK),
    KW_MSG(WM_NCRBUTTONDOWN), KW_MSG(WM_NCRBUTTONUP), KW_MSG(WM_KEYDOWN), KW_MSG(WM_KEYUP), KW_MSG(WM_CHAR),
    KW_MSG(WM_DEADCHAR), KW_MSG(WM_SYSKEYDOWN), KW_MSG(WM_SYSKEYUP), KW_MSG(WM_SYSCHAR), KW_MSG(WM_SYSDEADCHAR),
    KW_MSG(WM_UNICHAR), KW_MSG(WM_IME_STARTCOMPOSITION), KW_MSG(WM_IME_ENDCOMPOSITION), KW_MSG(WM_IME_COMPOSITION),
    KW_MSG(WM_INITDIALOG), KW_MSG(WM_COMMAND), KW_MSG(WM_SYSCOMMAND), KW_MSG(WM_TIMER), KW_MSG(WM_HSCROLL),
    KW_MSG(WM_VSCROLL), KW_MSG(WM_INITMENU), KW_MSG(WM_INITMENUPOPUP), KW_MSG(WM_MENUSELECT), KW_MSG(WM_MENUCHAR),
    KW_MSG(WM_ENTERIDLE), KW_MSG(WM_CHANGEUISTATE), KW_MSG(WM_UPDATEUISTATE), KW_MSG(WM_QUERYUISTATE),
    KW_MSG(WM_CTLCOLORMSGBOX), KW_MSG(WM_CTLCOLOREDIT), KW_MSG(WM_CTLCOLORLISTBOX), KW_MSG(WM_CTLCOLORBTN),
    KW_MSG(WM_CTLCOLORDLG), KW_MSG(WM_CTLCOLORSCROLLBAR), KW_MSG(WM_CTLCOLORSTATIC), KW_MSG(WM_MOUSEMOVE),
    KW_MSG(WM_LBUTTONDOWN), KW_MSG(WM_LBUTTONUP), KW_MSG(WM_LBUTTONDBLCLK), KW_MSG(WM_RBUTTONDOWN),
    KW_MSG(WM_RBUTTONUP), KW_MSG(WM_RBUTTONDBLCLK), KW_MSG(WM_MBUTTONDOWN), KW_MSG(WM_MBUTTONUP),
    KW_MSG(WM_MBUTTONDBLCLK), KW_MSG(WM_MOUSEWHEEL), KW_MSG(WM_XBUTTONDOWN), KW_MSG(WM_XBUTTONUP),
    KW_MSG(WM_XBUTTONDBLCLK), KW_MSG(WM_MOUSEHWHEEL), KW_MSG(WM_PARENTNOTIFY), KW_MSG(WM_ENTERMENULOOP),
    KW_MSG(WM_EXITMENULOOP), KW_MSG(WM_SIZING), KW_MSG(WM_CAPTURECHANGED), KW_MSG(WM_MOVING),
    KW_MSG(WM_ENTERSIZEMOVE), KW_MSG(WM_EXITSIZEMOVE), KW_MSG(WM_DROPFILES), KW_MSG(WM_IME_SETCONTEXT),
    KW_MSG(WM_IME_NOTIFY), KW_MSG(WM_MOUSEHOVER), KW_MSG(WM_MOUSELEAVE), KW_MSG(WM_NCMOUSELEAVE),
    KW_MSG(WM_CUT), KW_MSG(WM_COPY), KW_MSG(WM_PASTE), KW_MSG(WM_CLEAR), KW_MSG(WM_UNDO),
    KW_MSG(WM_PALETTECHANGED), KW_MSG(WM_HOTKEY), KW_MSG(WM_PRINT), KW_MSG(WM_PRINTCLIENT),
    KW_MSG(WM_THEMECHANGED), KW_MSG(WM_DEVICECHANGE),
};
#undef KW_MSG

String Hex(std::uintptr_t v) { return L"0x" + IntToHex(UInt64(v), 1); }

String ExpectedText(const TExpectedMsg& e) {
  if (e.flags & exEvent) return e.wnd ? L"event \"" + String(e.wnd) + L"\"" : L"any event";
  String s = String(e.wnd ? e.wnd : L"*") + L" " + MessageName(e.msg);
  if (e.flags & exWParam) s += L" wp=" + Hex(e.wp);
  if (e.flags & exLParam) s += L" lp=" + Hex(std::uintptr_t(e.lp));
  if (e.flags & exSent) s += L" sent";
  if (e.flags & exPosted) s += L" posted";
  if (e.flags & exBeforeDispatch) s += L" queued";
  if (e.flags & exOptional) s += L" (optional)";
  return s;
}

bool Matches(const TExpectedMsg& e, const TRecordedMsg& a) {
  if (bool(e.flags & exEvent) != bool(a.flags & rfEvent)) return false;
  if (e.flags & exEvent) return !e.wnd || a.wnd == e.wnd;
  if (bool(e.flags & exBeforeDispatch) != bool(a.flags & rfBeforeDispatch)) return false;
  if (e.msg != a.msg || (e.wnd && a.wnd != e.wnd)) return false;
  if ((e.flags & exWParam) && a.wp != e.wp) return false;
  if ((e.flags & exLParam) && a.lp != e.lp) return false;
  if ((e.flags & exSent) && !(a.flags & rfSent)) return false;
  if ((e.flags & exPosted) && !(a.flags & rfPosted)) return false;
  return true;
}

}  // namespace

String MessageName(unsigned msg) {
  auto extra = ExtraNames().find(msg);
  if (extra != ExtraNames().end()) return extra->second;
  for (const TMsgName& n : MessageNames)
    if (n.Msg == msg) return n.Name;
  if (msg >= WM_APP && msg < 0xC000) return L"WM_APP+" + Hex(msg - WM_APP);
  if (msg >= WM_USER && msg < WM_APP) return L"WM_USER+" + Hex(msg - WM_USER);
  return Hex(msg);
}

void RegisterMessageName(unsigned msg, const wchar_t* name) { ExtraNames()[msg] = name; }

String TRecordedMsg::Text() const {
  if (flags & rfEvent) return L"event \"" + wnd + L"\"";
  String s = wnd + L" " + MessageName(msg) + L" wp=" + Hex(wp) + L" lp=" + Hex(std::uintptr_t(lp));
  if (flags & rfBeforeDispatch) s += L" queued";
  else s += (flags & rfPosted) ? L" posted" : L" sent";
  return s;
}

TMessageRecorder::TMessageRecorder(bool queueHook) : FQueueHook(queueHook) {
  auto noise = DefaultNoise();
  FFilter.insert(noise.begin(), noise.end());
  if (!FQueueHook) return;
  if (!QueueHookHandle) {
    QueueHookHandle = SetWindowsHookExW(WH_GETMESSAGE, QueueHook, nullptr, GetCurrentThreadId());
    if (!QueueHookHandle) RaiseLastOSError();
  }
  HookUsers.push_back(this);
}

TMessageRecorder::~TMessageRecorder() {
  UnwatchAll();
  if (!FQueueHook) return;
  HookUsers.erase(std::remove(HookUsers.begin(), HookUsers.end(), this), HookUsers.end());
  if (HookUsers.empty() && QueueHookHandle) {
    UnhookWindowsHookEx(QueueHookHandle);
    QueueHookHandle = nullptr;
    Pending.Valid = false;
  }
}

void TMessageRecorder::Watch(HWND wnd, const String& tag) {
  if (!wnd || !IsWindow(wnd)) throw Exception(L"Watch: no such window");
  if (GetWindowThreadProcessId(wnd, nullptr) != GetCurrentThreadId())
    throw Exception(L"Watch: the window belongs to another thread");
  for (TWatch& w : FWatched)
    if (w.Wnd == wnd) {
      w.Tag = tag;
      return;
    }
  auto& sub = Subclasses[wnd];
  if (!sub) {
    auto fresh = std::make_unique<TSubclass>();
    // Set before the switch, so a message arriving meanwhile still reaches the window.
    fresh->Original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(wnd, GWLP_WNDPROC));
    sub = std::move(fresh);
    SetLastError(0);
    LONG_PTR previous = SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc));
    if (!previous && GetLastError() != 0) {
      DWORD code = GetLastError();
      Subclasses.erase(wnd);
      RaiseLastOSError(code);
    }
    sub->Original = reinterpret_cast<WNDPROC>(previous);
  }
  sub->Recorders.push_back(this);
  FWatched.push_back({wnd, tag});
}

void TMessageRecorder::Unwatch(HWND wnd) {
  auto mine = std::find_if(FWatched.begin(), FWatched.end(), [&](const TWatch& w) { return w.Wnd == wnd; });
  if (mine == FWatched.end()) return;
  FWatched.erase(mine);
  auto it = Subclasses.find(wnd);
  if (it == Subclasses.end()) return;
  auto& users = it->second->Recorders;
  users.erase(std::remove(users.begin(), users.end(), this), users.end());
  if (!users.empty()) return;
  // Someone who subclassed after us still calls RecordingProc: it stays and passes through.
  if (GetWindowLongPtrW(wnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&RecordingProc)) return;
  SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second->Original));
  Subclasses.erase(it);
}

void TMessageRecorder::UnwatchAll() {
  // Latest first, so windows watched later are released before those they may wrap.
  while (!FWatched.empty()) Unwatch(FWatched.back().Wnd);
}

bool TMessageRecorder::Watching(HWND wnd) const { return TagOf(wnd) != nullptr; }

const String* TMessageRecorder::TagOf(HWND wnd) const {
  for (const TWatch& w : FWatched)
    if (w.Wnd == wnd) return &w.Tag;
  return nullptr;
}

void TMessageRecorder::Forget(HWND wnd) {
  FWatched.erase(std::remove_if(FWatched.begin(), FWatched.end(), [&](const TWatch& w) { return w.Wnd == wnd; }),
                 FWatched.end());
}

void TMessageRecorder::RecordOnly(std::initializer_list<unsigned> msgs) {
  FFilter = msgs;
  FOnly = true;
}

void TMessageRecorder::RecordAllBut(std::initializer_list<unsigned> msgs) {
  FFilter = msgs;
  FOnly = false;
}

std::vector<unsigned> TMessageRecorder::DefaultNoise() {
  return {WM_GETICON,   WM_NCHITTEST,      WM_SETCURSOR,  WM_GETTEXT,      WM_GETTEXTLENGTH, WM_GETOBJECT,
          WM_ENTERIDLE, WM_IME_SETCONTEXT, WM_IME_NOTIFY, WM_DEVICECHANGE, WM_QUERYUISTATE,
          0x031F /* WM_DWMNCRENDERINGCHANGED */};
}

bool TMessageRecorder::Records(unsigned msg) const { return FFilter.count(msg) ? FOnly : !FOnly; }

void TMessageRecorder::Log(const String& text) {
  if (!FPaused) FEntries.push_back({text, 0, 0, 0, rfEvent});
}

void TMessageRecorder::Add(const String& tag, unsigned msg, std::uintptr_t wp, std::intptr_t lp, unsigned flags) {
  if (FPaused || !Records(msg)) return;
  try {
    FEntries.push_back({tag, msg, wp, lp, flags});
  } catch (...) {
    // Called from a window procedure: nothing may escape into the system.
  }
}

String TMessageRecorder::Dump() const {
  String s;
  for (size_t i = 0; i < FEntries.size(); ++i) s += L"  " + IntToStr(int(i)) + L"  " + FEntries[i].Text() + L"\n";
  return s.empty() ? L"  (none)\n" : s;
}

::testing::AssertionResult MatchesSequence(const TMessageRecorder& recorder, const TExpectedMsg* table,
                                           size_t count) {
  const auto& actual = recorder.Entries();
  size_t n = count, m = actual.size();
  // reach[i][j]: the first i expected entries can account for the first j actual ones.
  std::vector<std::vector<char>> reach(n + 1, std::vector<char>(m + 1, 0));
  reach[0][0] = 1;
  for (size_t i = 0; i <= n; ++i)
    for (size_t j = 0; j <= m; ++j) {
      if (!reach[i][j] || i == n) continue;
      if (table[i].flags & exOptional) reach[i + 1][j] = 1;
      if (j < m && Matches(table[i], actual[j])) reach[i + 1][j + 1] = 1;
    }
  if (reach[n][m]) return ::testing::AssertionSuccess();

  // Where the two part: the furthest actual entry any partial match reached.
  size_t bi = 0, bj = 0;
  for (size_t i = 0; i <= n; ++i)
    for (size_t j = 0; j <= m; ++j)
      if (reach[i][j] && (j > bj || (j == bj && i > bi))) bi = i, bj = j;
  String s;
  if (bi == n) s = L"unexpected entry at actual #" + IntToStr(int(bj));
  else if (bj == m) s = L"expected #" + IntToStr(int(bi)) + L" is missing";
  else s = L"expected #" + IntToStr(int(bi)) + L" does not match actual #" + IntToStr(int(bj));
  s += L"\nexpected:\n";
  for (size_t i = 0; i < n; ++i) s += String(i == bi ? L"> " : L"  ") + IntToStr(int(i)) + L"  " + ExpectedText(table[i]) + L"\n";
  s += L"actual:\n";
  for (size_t j = 0; j < m; ++j)
    s += String(j == bj ? L"> " : L"  ") + IntToStr(int(j)) + L"  " + actual[j].Text() + L"\n";
  if (m == 0) s += L"  (none)\n";
  return ::testing::AssertionFailure() << UTF8Encode(s);
}

}  // namespace kw::testsupport
