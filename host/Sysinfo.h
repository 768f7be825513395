// System services over Win32 for controls and windows: the shell's "open" verb, folder browsing
// and special folders, message beeps, clip tests, a keyboard hook, wheel and scroll-bar settings
// and the operating system's version. Version resources are in Version.h, monitors with the screen.
#pragma once

#include <functional>

#include "host/Scrolling.h"
#include "host/Types.h"

struct HWND__;
struct HDC__;
struct HHOOK__;

namespace kw {

// --- Shell ---------------------------------------------------------------------------------

// What a shell call came to: on failure the system's error code and its text.
struct TShellResult {
  bool Ok = false;
  Cardinal ErrorCode = 0;
  String Message;
  explicit operator bool() const { return Ok; }
};

// Opens a document, folder, program or address with the shell's "open" verb, owned by owner
// (for the system's own windows). Never shows the shell's error box: a failure comes back.
TShellResult KwShellOpen(const String& fileName, const String& parameters = String(),
                         const String& directory = String(), HWND__* owner = nullptr, int showCommand = 1);

// Lets the user pick a folder in the system's folder browser, which starts at initialDir and
// shows caption above the tree. The chosen folder, or empty when the user cancels.
String KwBrowseForFolder(const String& caption, const String& initialDir = String(), HWND__* owner = nullptr);

enum TSpecialFolder {
  sfDesktop,
  sfPersonal,  // the user's documents
  sfAppData,
  sfLocalAppData,
  sfCommonAppData,
  sfProgramFiles,
  sfWindows,
  sfSystem,
  sfTemp
};
// The folder's path without a trailing delimiter; empty when the system has none. With create,
// a per-user folder that does not exist yet is made.
String KwSpecialFolder(TSpecialFolder folder, bool create = false);

// --- Sounds and drawing --------------------------------------------------------------------

enum TMessageBeep { mbeSimple, mbeDefault, mbeError, mbeWarning, mbeQuestion, mbeInformation };
// Plays the system's sound for that kind of message; false when it could not be played.
bool KwMessageBeep(TMessageBeep kind = mbeDefault);

// Whether any part of r (logical coordinates) lies inside the clip region of dc.
bool KwRectVisible(HDC__* dc, const TRect& r);

// --- Keyboard hook -------------------------------------------------------------------------

// Sees the key messages of the calling thread as its message loop takes them from the queue,
// before any window does. The callback gets the virtual key and the key data (lParam: repeat
// count, scan code, bit 31 set on release) and returns true to swallow the key. Hooks of one
// thread share one system hook; the newest is asked first, and a swallowed key goes no further.
class TKeyboardHook {
public:
  using TCallback = std::function<bool(Word key, NativeInt keyData)>;
  explicit TKeyboardHook(TCallback callback);
  ~TKeyboardHook();
  TKeyboardHook(const TKeyboardHook&) = delete;
  TKeyboardHook& operator=(const TKeyboardHook&) = delete;

  static bool IsRelease(NativeInt keyData) { return (keyData & (NativeInt(1) << 31)) != 0; }
  // The system hook while any object is alive on this thread.
  static HHOOK__* Handle();

private:
  friend struct TKeyboardHooks;
  TCallback FCallback;
};

// --- Mouse wheel ---------------------------------------------------------------------------

// KwWheelScrollLines answers this when one notch scrolls a whole page.
inline constexpr int WheelScrollPage = -1;
// Lines one notch of the vertical wheel scrolls (the user's setting), or WheelScrollPage.
int KwWheelScrollLines();
// Characters one notch of the horizontal wheel scrolls.
int KwWheelScrollChars();
// Lines to scroll for a wheel delta (120 a notch, positive away from the user: lines up),
// given the lines a notch scrolls (or WheelScrollPage) and the lines a page holds.
int KwWheelLines(int delta, int linesPerNotch, int pageLines);

// --- Scroll bars ---------------------------------------------------------------------------

struct TScrollBarInfo {
  int Min = 0;
  int Max = 0;
  int Page = 0;
  int Position = 0;
  int TrackPos = 0;  // read only: the thumb's place while the user drags it
  bool operator==(const TScrollBarInfo&) const = default;
};

// The bar these calls reach is the horizontal or vertical bar of wnd, or wnd itself when wnd
// is a scroll-bar control (its kind is then ignored).
// Sets range, page and position; returns the position the system kept (clamped to the range).
int KwSetScrollInfo(HWND__* wnd, TScrollBarKind kind, const TScrollBarInfo& info, bool redraw = true);
// Zeroes when the window has no such bar.
TScrollBarInfo KwGetScrollInfo(HWND__* wnd, TScrollBarKind kind);
int KwGetScrollPos(HWND__* wnd, TScrollBarKind kind);
int KwSetScrollPos(HWND__* wnd, TScrollBarKind kind, int pos, bool redraw = true);
void KwShowScrollBar(HWND__* wnd, TScrollBarKind kind, bool show);
bool KwScrollBarShown(HWND__* wnd, TScrollBarKind kind);
// System metrics: the thickness of a bar, the length of its arrow buttons, the thumb's
// shortest length.
int KwScrollBarSize(TScrollBarKind kind);
int KwScrollArrowSize(TScrollBarKind kind);
int KwScrollThumbSize(TScrollBarKind kind);

// --- Operating system ----------------------------------------------------------------------

struct TOSVersion {
  Cardinal Major = 0;
  Cardinal Minor = 0;
  Cardinal Build = 0;
  Cardinal Platform = 2;  // VER_PLATFORM_WIN32_NT
  Word ServicePackMajor = 0;
  bool Server = false;
  String ServicePack;  // "Service Pack 1", or empty
  // "Windows 10", "Windows Server 2012 R2", ...
  String Name() const;
  // At least major.minor.
  bool Check(Cardinal major, Cardinal minor = 0) const {
    return Major > major || (Major == major && Minor >= minor);
  }
};
// The version the system really runs, read once from the kernel (the compatibility layer
// makes the older calls answer the version a program was built for).
const TOSVersion& KwOSVersion();
// The readable name of a Windows version.
String KwWindowsName(Cardinal major, Cardinal minor, Cardinal build, bool server);

}  // namespace kw
