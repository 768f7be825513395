// The shell, special folders, beeps, clip tests, the thread keyboard hook, wheel and scroll-bar
// settings and the operating system's version. Version resources are read in Version.cpp.
#include "host/Sysinfo.h"

#include <algorithm>
#include <vector>

#include "host/Classes.h"
#include "host/Exceptions.h"
#include "host/Sysutils.h"
#include "host/Win.h"

#include <shellapi.h>
#include <shlobj.h>

namespace kw {

// --- Shell ---------------------------------------------------------------------------------

namespace {

// ShellExecuteEx reports some failures only through its old SE_ERR_ codes.
DWORD ShellErrorCode(HINSTANCE inst) {
  switch (reinterpret_cast<INT_PTR>(inst)) {
    case 0:
    case SE_ERR_OOM: return ERROR_NOT_ENOUGH_MEMORY;
    case SE_ERR_FNF: return ERROR_FILE_NOT_FOUND;
    case SE_ERR_PNF: return ERROR_PATH_NOT_FOUND;
    case SE_ERR_ACCESSDENIED: return ERROR_ACCESS_DENIED;
    case SE_ERR_SHARE: return ERROR_SHARING_VIOLATION;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC: return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY: return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND: return ERROR_DLL_NOT_FOUND;
    case ERROR_BAD_FORMAT: return ERROR_BAD_FORMAT;
    default: return ERROR_GEN_FAILURE;
  }
}

// COM for the shell's calls, on the calling thread, for as long as the object lives.
class TComScope {
public:
  TComScope() : FResult(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~TComScope() {
    if (SUCCEEDED(FResult)) CoUninitialize();
  }

private:
  HRESULT FResult;
};

}  // namespace

TShellResult KwShellOpen(const String& fileName, const String& parameters, const String& directory, HWND__* owner,
                         int showCommand) {
  TComScope com;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.hwnd = owner;
  info.lpVerb = L"open";
  info.lpFile = fileName.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
  info.nShow = showCommand;
  TShellResult result;
  SetLastError(0);
  if (!fileName.empty() && ShellExecuteExW(&info)) {
    result.Ok = true;
    return result;
  }
  DWORD code = fileName.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
  if (code == 0) code = ShellErrorCode(info.hInstApp);
  result.ErrorCode = code;
  result.Message = SysErrorMessage(code);
  if (result.Message.empty()) result.Message = L"Cannot open " + fileName;
  return result;
}

namespace {

int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data) SendMessageW(wnd, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

String KwBrowseForFolder(const String& caption, const String& initialDir, HWND__* owner) {
  TComScope com;
  // The dialog wants a path without the trailing delimiter, except for a drive's root.
  String start = initialDir;
  if (start.size() > 3) start = ExcludeTrailingPathDelimiter(start);
  BROWSEINFOW info{};
  info.hwndOwner = owner ? owner : GetActiveWindow();
  info.lpszTitle = caption.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = &BrowseCallback;
  info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
  if (!list) return String();
  wchar_t path[MAX_PATH * 2] = {};
  bool ok = SHGetPathFromIDListW(list, path);
  CoTaskMemFree(list);
  return ok ? String(path) : String();
}

String KwSpecialFolder(TSpecialFolder folder, bool create) {
  if (folder == sfTemp) return ExcludeTrailingPathDelimiter(GetTempDirectory());
  static const int ids[] = {CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL,      CSIDL_APPDATA,
                            CSIDL_LOCAL_APPDATA,    CSIDL_COMMON_APPDATA, CSIDL_PROGRAM_FILES,
                            CSIDL_WINDOWS,          CSIDL_SYSTEM};
  int index = int(folder);
  if (index < 0 || index >= int(std::size(ids))) return String();
  wchar_t path[MAX_PATH] = {};
  int id = ids[index] | (create ? CSIDL_FLAG_CREATE : 0);
  if (FAILED(SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path))) return String();
  String result = path;
  return result.size() > 3 ? ExcludeTrailingPathDelimiter(result) : result;
}

// --- Sounds and drawing --------------------------------------------------------------------

bool KwMessageBeep(TMessageBeep kind) {
  static const UINT types[] = {0xFFFFFFFF, MB_OK, MB_ICONHAND, MB_ICONEXCLAMATION, MB_ICONQUESTION, MB_ICONASTERISK};
  int index = std::clamp(int(kind), 0, int(std::size(types)) - 1);
  return ::MessageBeep(types[index]) != FALSE;
}

bool KwRectVisible(HDC__* dc, const TRect& r) {
  RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  return dc && ::RectVisible(dc, &rc) != FALSE;
}

// --- Keyboard hook -------------------------------------------------------------------------

// The hooks of one thread: a system hook takes no context, so one per thread serves them all.
struct TKeyboardHooks {
  HHOOK Hook = nullptr;
  std::vector<TKeyboardHook*> List;

  static TKeyboardHooks& Local() {
    thread_local TKeyboardHooks hooks;
    return hooks;
  }

  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    TKeyboardHooks& self = Local();
    // HC_NOREMOVE: the message stays in the queue and comes again; answer it then, once.
    if (code == HC_ACTION) {
      std::vector<TKeyboardHook*> snapshot(self.List.rbegin(), self.List.rend());
      for (TKeyboardHook* hook : snapshot) {
        // A callback may free other hooks; only the living are asked.
        if (std::find(self.List.begin(), self.List.end(), hook) == self.List.end()) continue;
        // An exception must not unwind through the system's frames: it is reported, and
        // the key goes on as if the callback had let it pass.
        try {
          if (hook->FCallback && hook->FCallback(Word(wParam), NativeInt(lParam))) return 1;
        } catch (...) {
          KwHandleCurrentException(nullptr);
        }
      }
    }
    return CallNextHookEx(self.Hook, code, wParam, lParam);
  }
};

TKeyboardHook::TKeyboardHook(TCallback callback) : FCallback(std::move(callback)) {
  TKeyboardHooks& hooks = TKeyboardHooks::Local();
  if (!hooks.Hook) {
    hooks.Hook = SetWindowsHookExW(WH_KEYBOARD, &TKeyboardHooks::Proc, nullptr, GetCurrentThreadId());
    if (!hooks.Hook) RaiseLastOSError();
  }
  hooks.List.push_back(this);
}

TKeyboardHook::~TKeyboardHook() {
  TKeyboardHooks& hooks = TKeyboardHooks::Local();
  hooks.List.erase(std::remove(hooks.List.begin(), hooks.List.end(), this), hooks.List.end());
  if (hooks.List.empty() && hooks.Hook) {
    UnhookWindowsHookEx(hooks.Hook);
    hooks.Hook = nullptr;
  }
}

HHOOK__* TKeyboardHook::Handle() { return TKeyboardHooks::Local().Hook; }

// --- Mouse wheel ---------------------------------------------------------------------------

int KwWheelScrollLines() {
  UINT lines = 3;
  if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) return 3;
  return lines == WHEEL_PAGESCROLL ? WheelScrollPage : int(std::min<UINT>(lines, 0x7FFF));
}

int KwWheelScrollChars() {
  UINT chars = 3;
  if (!SystemParametersInfoW(SPI_GETWHEELSCROLLCHARS, 0, &chars, 0)) return 3;
  return int(std::min<UINT>(chars, 0x7FFF));
}

int KwWheelLines(int delta, int linesPerNotch, int pageLines) {
  int perNotch = linesPerNotch == WheelScrollPage ? std::max(pageLines, 1) : linesPerNotch;
  // Away from the user means back up the document, so fewer lines: a negative count.
  return -int(Int64(delta) * perNotch / WHEEL_DELTA);
}

// --- Scroll bars ---------------------------------------------------------------------------

namespace {

bool IsScrollBarControl(HWND wnd) {
  wchar_t name[16] = {};
  return GetClassNameW(wnd, name, int(std::size(name))) && CompareText(name, L"ScrollBar") == 0;
}

int BarOf(HWND wnd, TScrollBarKind kind) {
  if (IsScrollBarControl(wnd)) return SB_CTL;
  return kind == sbHorizontal ? SB_HORZ : SB_VERT;
}

}  // namespace

int KwSetScrollInfo(HWND__* wnd, TScrollBarKind kind, const TScrollBarInfo& info, bool redraw) {
  SCROLLINFO si{sizeof(si)};
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = info.Min;
  si.nMax = info.Max;
  si.nPage = UINT(std::max(info.Page, 0));
  si.nPos = info.Position;
  return SetScrollInfo(wnd, BarOf(wnd, kind), &si, redraw);
}

TScrollBarInfo KwGetScrollInfo(HWND__* wnd, TScrollBarKind kind) {
  SCROLLINFO si{sizeof(si)};
  si.fMask = SIF_ALL;
  TScrollBarInfo info;
  if (!GetScrollInfo(wnd, BarOf(wnd, kind), &si)) return info;
  info.Min = si.nMin;
  info.Max = si.nMax;
  info.Page = int(si.nPage);
  info.Position = si.nPos;
  info.TrackPos = si.nTrackPos;
  return info;
}

int KwGetScrollPos(HWND__* wnd, TScrollBarKind kind) { return GetScrollPos(wnd, BarOf(wnd, kind)); }

int KwSetScrollPos(HWND__* wnd, TScrollBarKind kind, int pos, bool redraw) {
  SCROLLINFO si{sizeof(si)};
  si.fMask = SIF_POS;
  si.nPos = pos;
  return SetScrollInfo(wnd, BarOf(wnd, kind), &si, redraw);
}

void KwShowScrollBar(HWND__* wnd, TScrollBarKind kind, bool show) {
  Win32Check(ShowScrollBar(wnd, BarOf(wnd, kind), show) != FALSE);
}

bool KwScrollBarShown(HWND__* wnd, TScrollBarKind kind) {
  int bar = BarOf(wnd, kind);
  if (bar == SB_CTL) return IsWindowVisible(wnd) != FALSE;
  LONG style = GetWindowLongW(wnd, GWL_STYLE);
  return (style & (bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)) != 0;
}

int KwScrollBarSize(TScrollBarKind kind) { return GetSystemMetrics(kind == sbVertical ? SM_CXVSCROLL : SM_CYHSCROLL); }
int KwScrollArrowSize(TScrollBarKind kind) { return GetSystemMetrics(kind == sbVertical ? SM_CYVSCROLL : SM_CXHSCROLL); }
int KwScrollThumbSize(TScrollBarKind kind) { return GetSystemMetrics(kind == sbVertical ? SM_CYVTHUMB : SM_CXHTHUMB); }

// --- Operating system ----------------------------------------------------------------------

String KwWindowsName(Cardinal major, Cardinal minor, Cardinal build, bool server) {
  auto v = [&](Cardinal ma, Cardinal mi) { return major == ma && minor == mi; };
  if (major > 10 || (major == 10 && minor > 0)) return L"Windows " + IntToStr(major) + L"." + IntToStr(minor);
  if (v(10, 0)) {
    if (server) return build >= 26100 ? L"Windows Server 2025" : build >= 20348 ? L"Windows Server 2022"
                     : build >= 17763 ? L"Windows Server 2019" : L"Windows Server 2016";
    return build >= 22000 ? L"Windows 11" : L"Windows 10";
  }
  if (v(6, 3)) return server ? L"Windows Server 2012 R2" : L"Windows 8.1";
  if (v(6, 2)) return server ? L"Windows Server 2012" : L"Windows 8";
  if (v(6, 1)) return server ? L"Windows Server 2008 R2" : L"Windows 7";
  if (v(6, 0)) return server ? L"Windows Server 2008" : L"Windows Vista";
  if (v(5, 2)) return server ? L"Windows Server 2003" : L"Windows XP Professional x64";
  if (v(5, 1)) return L"Windows XP";
  if (v(5, 0)) return L"Windows 2000";
  return L"Windows " + IntToStr(major) + L"." + IntToStr(minor);
}

String TOSVersion::Name() const {
  String name = KwWindowsName(Major, Minor, Build, Server);
  if (!ServicePack.empty()) name += L" " + ServicePack;
  return name;
}

const TOSVersion& KwOSVersion() {
  static const TOSVersion version = [] {
    TOSVersion v;
    RTL_OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    using TRtlGetVersion = LONG(WINAPI*)(RTL_OSVERSIONINFOEXW*);
    auto get = reinterpret_cast<TRtlGetVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (!get || get(&info) != 0) {
      // Without the kernel's answer the compatibility-shaped one is the best there is.
      OSVERSIONINFOEXW old{};
      old.dwOSVersionInfoSize = sizeof(old);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
      if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&old))) return v;
#pragma GCC diagnostic pop
      static_assert(sizeof(old) == sizeof(info));
      memcpy(&info, &old, sizeof(info));
    }
    v.Major = info.dwMajorVersion;
    v.Minor = info.dwMinorVersion;
    v.Build = info.dwBuildNumber & 0xFFFF;
    v.Platform = info.dwPlatformId;
    v.ServicePackMajor = info.wServicePackMajor;
    v.Server = info.wProductType != 0 && info.wProductType != VER_NT_WORKSTATION;
    v.ServicePack = info.szCSDVersion;
    return v;
  }();
  return version;
}

}  // namespace kw
