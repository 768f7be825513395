// The common dialogs over comdlg32: option and filter conversions, the modal file dialogs with
// a CBT hook that finds their window for OnShow, and the modeless find dialog with its hidden
// owner window and the list of live dialogs for the message loop. No hooks change the dialogs.
#include "host/Dialogs.h"

#include <algorithm>
#include <mutex>

#include "host/Picture.h"
#include "host/Stringlist.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

#include <cderr.h>
#include <commdlg.h>
#include <dlgs.h>

// commdlg.h maps these to their W forms; the names are the host's own here.
#undef FindText
#undef ReplaceText

namespace kw {

KW_DEFINE_ENUM(TOpenOption, L"ofReadOnly", L"ofOverwritePrompt", L"ofHideReadOnly", L"ofNoChangeDir", L"ofShowHelp",
               L"ofNoValidate", L"ofAllowMultiSelect", L"ofExtensionDifferent", L"ofPathMustExist",
               L"ofFileMustExist", L"ofCreatePrompt", L"ofShareAware", L"ofNoReadOnlyReturn",
               L"ofNoTestFileCreate", L"ofNoNetworkButton", L"ofNoLongNames", L"ofOldStyleDialog",
               L"ofNoDereferenceLinks", L"ofEnableIncludeNotify", L"ofEnableSizing", L"ofDontAddToRecent",
               L"ofForceShowHidden")
KW_DEFINE_ENUM(TFindOption, L"frDown", L"frFindNext", L"frHideMatchCase", L"frHideWholeWord", L"frHideUpDown",
               L"frMatchCase", L"frDisableMatchCase", L"frDisableUpDown", L"frDisableWholeWord", L"frReplace",
               L"frReplaceAll", L"frWholeWord", L"frShowHelp")

KW_BEGIN_CLASS(TCommonDialog, TComponent) {
  b.Prop(L"HelpContext", &TCommonDialog::HelpContext, &TCommonDialog::SetHelpContext).Default(0);
  b.Event(L"OnClose", &TCommonDialog::OnClose);
  b.Event(L"OnShow", &TCommonDialog::OnShow);
}

KW_BEGIN_CLASS(TOpenDialog, TCommonDialog) {
  b.Prop(L"DefaultExt", &TOpenDialog::DefaultExt, &TOpenDialog::SetDefaultExt);
  b.Prop(L"FileName", &TOpenDialog::FileName, &TOpenDialog::SetFileName);
  b.Prop(L"Filter", &TOpenDialog::Filter, &TOpenDialog::SetFilter).Stored(&TOpenDialog::IsFilterStored);
  b.Prop(L"FilterIndex", &TOpenDialog::FilterIndex, &TOpenDialog::SetFilterIndex).Default(1);
  b.Prop(L"InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::SetInitialDir);
  b.Prop(L"Options", &TOpenDialog::Options, &TOpenDialog::SetOptions)
      .Default(TOpenOptions{ofHideReadOnly, ofEnableSizing});
  b.Prop(L"Title", &TOpenDialog::Title, &TOpenDialog::SetTitle);
}

KW_REGISTER_CLASS(TSaveDialog, TOpenDialog)
KW_REGISTER_CLASS(TOpenPictureDialog, TOpenDialog)

KW_BEGIN_CLASS(TFindDialog, TCommonDialog) {
  b.Prop(L"FindText", &TFindDialog::FindText, &TFindDialog::SetFindText);
  b.Prop(L"Options", &TFindDialog::Options, &TFindDialog::SetOptions).Default(TFindOptions{frDown});
  b.Event(L"OnFind", &TFindDialog::OnFind);
}

namespace {

// Option order as in TOpenOption; ofOldStyleDialog has no flag of its own (it drops OFN_EXPLORER).
const DWORD OpenFlags[] = {
    OFN_READONLY,          OFN_OVERWRITEPROMPT,     OFN_HIDEREADONLY,     OFN_NOCHANGEDIR,  OFN_SHOWHELP,
    OFN_NOVALIDATE,        OFN_ALLOWMULTISELECT,    OFN_EXTENSIONDIFFERENT, OFN_PATHMUSTEXIST, OFN_FILEMUSTEXIST,
    OFN_CREATEPROMPT,      OFN_SHAREAWARE,          OFN_NOREADONLYRETURN, OFN_NOTESTFILECREATE,
    OFN_NONETWORKBUTTON,   OFN_NOLONGNAMES,         0,                    OFN_NODEREFERENCELINKS,
    OFN_ENABLEINCLUDENOTIFY, OFN_ENABLESIZING,      OFN_DONTADDTORECENT,  OFN_FORCESHOWHIDDEN};
static_assert(sizeof(OpenFlags) / sizeof(OpenFlags[0]) == ofForceShowHidden + 1);

// In TFindOption order.
const DWORD FindFlags[] = {FR_DOWN,      FR_FINDNEXT,   FR_HIDEMATCHCASE, FR_HIDEWHOLEWORD, FR_HIDEUPDOWN,
                           FR_MATCHCASE, FR_NOMATCHCASE, FR_NOUPDOWN,     FR_NOWHOLEWORD,   FR_REPLACE,
                           FR_REPLACEALL, FR_WHOLEWORD,  FR_SHOWHELP};
static_assert(sizeof(FindFlags) / sizeof(FindFlags[0]) == frShowHelp + 1);

// What a search reports back, as opposed to how the dialog is set up.
constexpr DWORD FindCommandFlags = FR_FINDNEXT | FR_REPLACE | FR_REPLACEALL | FR_DIALOGTERM;

bool IsAbsolutePath(const String& name) {
  return (name.size() >= 2 && name[1] == L':') || (!name.empty() && (name[0] == L'\\' || name[0] == L'/'));
}

bool IsDialogWindow(HWND wnd) {
  wchar_t cls[16];
  return GetClassNameW(wnd, cls, 16) > 0 && wcscmp(cls, L"#32770") == 0;
}

// The modal dialog running on this thread and its hook; a dialog run from OnShow nests.
thread_local TCommonDialog* ModalDialog = nullptr;
thread_local HHOOK ModalHook = nullptr;

std::mutex& LiveLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

// Windows of the modeless dialogs that are up, for KwIsDialogMessage.
std::vector<HWND>& LiveDialogs() {
  static auto* list = new std::vector<HWND>;
  return *list;
}

void AddLive(HWND wnd) {
  std::lock_guard<std::mutex> guard(LiveLock());
  LiveDialogs().push_back(wnd);
}

void RemoveLive(HWND wnd) {
  std::lock_guard<std::mutex> guard(LiveLock());
  auto& list = LiveDialogs();
  list.erase(std::remove(list.begin(), list.end(), wnd), list.end());
}

const wchar_t* const FindOwnerClass = L"KwFindDialogOwner";

UINT FindMessageId() {
  static const UINT id = RegisterWindowMessageW(FINDMSGSTRINGW);
  return id;
}

}  // namespace

unsigned KwOpenOptionsToFlags(TOpenOptions options) {
  unsigned flags = options.Contains(ofOldStyleDialog) ? 0 : OFN_EXPLORER;
  for (int i = 0; i <= ofForceShowHidden; ++i)
    if (options.Contains(TOpenOption(i))) flags |= OpenFlags[i];
  return flags;
}

TOpenOptions KwApplyOpenResultFlags(TOpenOptions options, unsigned flags) {
  options.Exclude(ofReadOnly).Exclude(ofExtensionDifferent);
  if (flags & OFN_READONLY) options.Include(ofReadOnly);
  if (flags & OFN_EXTENSIONDIFFERENT) options.Include(ofExtensionDifferent);
  return options;
}

String KwFilterToPlatform(const String& filter) {
  std::vector<String> parts;
  size_t start = 0;
  for (;;) {
    size_t bar = filter.find(L'|', start);
    parts.push_back(filter.substr(start, bar == String::npos ? String::npos : bar - start));
    if (bar == String::npos) break;
    start = bar + 1;
  }
  if (!parts.empty() && parts.back().empty()) parts.pop_back();
  if (parts.size() % 2) parts.push_back(parts.back());
  String result;
  for (size_t i = 0; i < parts.size(); i += 2) {
    const String& pattern = parts[i + 1];
    if (pattern.empty()) continue;
    result += parts[i].empty() ? pattern : parts[i];
    result += L'\0';
    result += pattern;
    result += L'\0';
  }
  if (!result.empty()) result += L'\0';
  return result;
}

std::vector<String> KwParseSelectedFiles(const wchar_t* buffer, size_t length, bool oldStyle) {
  std::vector<String> items;
  if (!buffer) return items;
  size_t end = 0;
  if (oldStyle) {
    while (end < length && buffer[end]) ++end;
    const String all(buffer, end);
    size_t pos = 0;
    while (pos < all.size()) {
      size_t space = all.find(L' ', pos);
      if (space == String::npos) space = all.size();
      if (space > pos) items.push_back(all.substr(pos, space - pos));
      pos = space + 1;
    }
  } else {
    size_t pos = 0;
    while (pos < length && buffer[pos]) {
      end = pos;
      while (end < length && buffer[end]) ++end;
      items.emplace_back(buffer + pos, end - pos);
      pos = end + 1;
    }
  }
  if (items.size() <= 1) return items;
  const String dir = IncludeTrailingPathDelimiter(items[0]);
  std::vector<String> files;
  for (size_t i = 1; i < items.size(); ++i) files.push_back(IsAbsolutePath(items[i]) ? items[i] : dir + items[i]);
  return files;
}

unsigned KwFindOptionsToFlags(TFindOptions options) {
  unsigned flags = 0;
  for (int i = 0; i <= frShowHelp; ++i)
    if (options.Contains(TFindOption(i))) flags |= FindFlags[i];
  return flags;
}

TFindOptions KwFlagsToFindOptions(unsigned flags) {
  TFindOptions options;
  for (int i = 0; i <= frShowHelp; ++i)
    if (flags & FindFlags[i]) options.Include(TFindOption(i));
  return options;
}

bool KwIsDialogMessage(void* msg) {
  if (!msg) return false;
  std::vector<HWND> live;
  {
    std::lock_guard<std::mutex> guard(LiveLock());
    live = LiveDialogs();
  }
  // A dialog may close while it handles the message, so the list is a copy.
  for (HWND wnd : live)
    if (IsWindow(wnd) && IsDialogMessageW(wnd, static_cast<MSG*>(msg))) return true;
  return false;
}

// The callbacks of the platform, with access to the dialogs' private state.
struct TDialogHooks {
  static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    TCommonDialog* dialog = ModalDialog;
    if (code == HCBT_ACTIVATE && dialog && !dialog->FShown && IsDialogWindow(HWND(wParam))) {
      dialog->FHandle = HWND(wParam);
      dialog->FShown = true;
      try {
        dialog->DoShow();
      } catch (...) {
        KwHandleCurrentException(dialog);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static LRESULT CALLBACK FindOwnerProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// ---- TCommonDialog ----

TCommonDialog::TCommonDialog(TComponent* owner) : TComponent(owner) {}

TCommonDialog::~TCommonDialog() = default;

bool TCommonDialog::Execute() { return Execute(GetActiveWindow()); }

void TCommonDialog::DoShow() { OnShow(this); }

void TCommonDialog::DoClose() { OnClose(this); }

bool TCommonDialog::TaskModalDialog(const std::function<bool()>& dialogCall) {
  TCommonDialog* outer = ModalDialog;
  HHOOK hook = nullptr;
  if (!ModalHook) hook = ModalHook = SetWindowsHookExW(WH_CBT, &TDialogHooks::CbtProc, nullptr, GetCurrentThreadId());
  ModalDialog = this;
  FShown = false;
  auto finish = [&] {
    ModalDialog = outer;
    if (hook) {
      UnhookWindowsHookEx(hook);
      ModalHook = nullptr;
    }
    FHandle = nullptr;
  };
  bool result;
  try {
    result = dialogCall();
  } catch (...) {
    finish();
    if (FShown) DoClose();
    throw;
  }
  finish();
  if (FShown) DoClose();
  return result;
}

// ---- TOpenDialog ----

namespace {

// Characters for the returned names: one path, or a directory with many names. Too small a
// buffer makes the dialog fail after the user chose, and it is then shown again.
constexpr size_t SingleFileBuffer = 4096;
constexpr size_t MultiFileBuffer = 65536;
constexpr int MaxDialogAttempts = 4;

}  // namespace

TOpenDialog::TOpenDialog(TComponent* owner) : TCommonDialog(owner), FFiles(std::make_unique<TStringList>()) {}

TOpenDialog::~TOpenDialog() = default;

void TOpenDialog::SetFileName(const String& value) {
  if (value != FFileName) FFileName = value;
}

void TOpenDialog::SetFilter(const String& value) {
  if (value != FFilter) FFilter = value;
}

void TOpenDialog::SetFilterIndex(int value) {
  if (value != FFilterIndex) FFilterIndex = value;
}

void TOpenDialog::SetInitialDir(const String& value) {
  if (value != FInitialDir) FInitialDir = value;
}

void TOpenDialog::SetDefaultExt(const String& value) {
  if (value != FDefaultExt) FDefaultExt = value;
}

void TOpenDialog::SetTitle(const String& value) {
  if (value != FTitle) FTitle = value;
}

void TOpenDialog::SetOptions(TOpenOptions value) {
  if (value != FOptions) FOptions = value;
}

bool TOpenDialog::Execute(HWND__* parentWnd) { return DoExecute(parentWnd, false); }

bool TOpenDialog::DoExecute(HWND__* parentWnd, bool save) {
  const String filter = KwFilterToPlatform(FFilter);
  const String defaultExt = !FDefaultExt.empty() && FDefaultExt[0] == L'.' ? FDefaultExt.substr(1) : FDefaultExt;
  const bool multi = FOptions.Contains(ofAllowMultiSelect);
  String initialName = FFileName;
  size_t size = multi ? MultiFileBuffer : SingleFileBuffer;
  for (int attempt = 1;; ++attempt) {
    std::vector<wchar_t> buffer(std::max(size, initialName.size() + 2), L'\0');
    std::copy(initialName.begin(), initialName.end(), buffer.begin());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = parentWnd;
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = DWORD(std::max(FFilterIndex, 0));
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = DWORD(buffer.size());
    ofn.lpstrInitialDir = FInitialDir.empty() ? nullptr : FInitialDir.c_str();
    ofn.lpstrTitle = FTitle.empty() ? nullptr : FTitle.c_str();
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    ofn.Flags = KwOpenOptionsToFlags(FOptions);
    const bool ok = TaskModalDialog([&] { return (save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn)) != FALSE; });
    if (ok) {
      std::vector<String> names = multi ? KwParseSelectedFiles(buffer.data(), buffer.size(), FOptions.Contains(ofOldStyleDialog))
                                        : std::vector<String>{String(buffer.data())};
      FFiles->BeginUpdate();
      FFiles->Clear();
      for (const String& name : names) FFiles->Add(name);
      FFiles->EndUpdate();
      FFileName = names.empty() ? String() : names[0];
      FFilterIndex = int(ofn.nFilterIndex);
      FOptions = KwApplyOpenResultFlags(FOptions, ofn.Flags);
      return true;
    }
    const DWORD error = CommDlgExtendedError();
    if (error == 0) return false;  // cancelled
    if (attempt < MaxDialogAttempts && error == FNERR_BUFFERTOOSMALL) {
      // The first character then holds the length the choice needs.
      size = std::max<size_t>(size * 2, size_t(Word(buffer[0])) + 2);
      continue;
    }
    if (attempt < MaxDialogAttempts && error == FNERR_INVALIDFILENAME && !initialName.empty()) {
      initialName.clear();  // a bad starting name must not keep the dialog from opening
      continue;
    }
    throw EInvalidOperation(Format(SRes::SDialogError, {unsigned(error)}));
  }
}

bool TSaveDialog::Execute(HWND__* parentWnd) { return DoExecute(parentWnd, true); }

TOpenPictureDialog::TOpenPictureDialog(TComponent* owner) : TOpenDialog(owner) { SetFilter(DefaultFilter()); }

String TOpenPictureDialog::DefaultFilter() const { return TPicture::GraphicFilter(TGraphic::StaticClass()); }

// ---- TFindDialog ----

// What the platform reads while the dialog is up: the record and its text buffer live as long
// as the dialog's window, the owner window as long as the component.
struct TFindDialog::TState {
  FINDREPLACEW Record{};
  std::vector<wchar_t> Buffer;
  HWND Owner = nullptr;
};

namespace {

// Room for typed text: the platform keeps the edit box within the buffer.
constexpr size_t FindBufferChars = 1024;

bool RegisterFindOwnerClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &TDialogHooks::FindOwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = FindOwnerClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

}  // namespace

LRESULT CALLBACK TDialogHooks::FindOwnerProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, LONG_PTR(cs->lpCreateParams));
  } else if (msg == FindMessageId() && lParam) {
    auto* dialog = reinterpret_cast<TFindDialog*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    auto* record = reinterpret_cast<FINDREPLACEW*>(lParam);
    if (!dialog || !dialog->FState || record != &dialog->FState->Record) return 0;
    try {
      if (record->Flags & FR_DIALOGTERM) {
        dialog->Closed(!dialog->FDestroying);
      } else {
        dialog->FFindText = record->lpstrFindWhat;
        dialog->FOptions = KwFlagsToFindOptions(record->Flags);
        if ((record->Flags & FR_FINDNEXT) && !dialog->FDestroying) dialog->Find();
      }
    } catch (...) {
      KwHandleCurrentException(dialog);
    }
    return 0;
  }
  return DefWindowProcW(wnd, msg, wParam, lParam);
}

TFindDialog::TFindDialog(TComponent* owner) : TCommonDialog(owner), FState(std::make_unique<TState>()) {}

TFindDialog::~TFindDialog() {
  FDestroying = true;
  CloseDialog();
  if (FState->Owner) DestroyWindow(FState->Owner);
}

void TFindDialog::Find() { OnFind(this); }

void TFindDialog::SetFindText(const String& value) {
  if (value == FFindText) return;
  FFindText = value;
  if (FHandle) {
    // The edit box is bounded by the buffer, which the dialog reads back on a search.
    const String shown = value.substr(0, FState->Buffer.size() - 1);
    std::fill(FState->Buffer.begin(), FState->Buffer.end(), L'\0');
    std::copy(shown.begin(), shown.end(), FState->Buffer.begin());
    SetDlgItemTextW(FHandle, edt1, shown.c_str());
  }
}

void TFindDialog::SetOptions(TFindOptions value) {
  if (value == FOptions) return;
  FOptions = value;
  // Read when the dialog is made; kept in the record so that it reports them back.
  if (FHandle) FState->Record.Flags = KwFindOptionsToFlags(value) & ~FindCommandFlags;
}

TPoint TFindDialog::Position() const {
  RECT r;
  if (FHandle && GetWindowRect(FHandle, &r)) return TPoint(r.left, r.top);
  return FPosition;
}

void TFindDialog::SetPosition(const TPoint& value) {
  FPosition = value;
  FPositionSet = true;
  if (FHandle) SetWindowPos(FHandle, nullptr, value.X, value.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TFindDialog::Execute(HWND__* parentWnd) {
  if (FHandle) {
    SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetActiveWindow(FHandle);
    return true;
  }
  TState& state = *FState;
  if (!state.Owner) {
    if (!RegisterFindOwnerClass()) RaiseLastOSError();
    // Never shown; a popup so that it can own the dialog and itself be owned by parentWnd.
    state.Owner = CreateWindowExW(0, FindOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, parentWnd, nullptr,
                                  GetModuleHandleW(nullptr), this);
    if (!state.Owner) throw EInvalidOperation(Format(SRes::SDialogWindowError, {SysErrorMessage(GetLastError())}));
  } else {
    SetWindowLongPtrW(state.Owner, GWLP_HWNDPARENT, LONG_PTR(parentWnd));
  }
  state.Buffer.assign(std::max(FindBufferChars, FFindText.size() + 1), L'\0');
  if (state.Buffer.size() > 0xFFFF) state.Buffer.resize(0xFFFF);
  std::copy_n(FFindText.begin(), std::min(FFindText.size(), state.Buffer.size() - 1), state.Buffer.begin());
  state.Record = FINDREPLACEW{};
  state.Record.lStructSize = sizeof(FINDREPLACEW);
  state.Record.hwndOwner = state.Owner;
  state.Record.Flags = KwFindOptionsToFlags(FOptions) & ~FindCommandFlags;
  state.Record.lpstrFindWhat = state.Buffer.data();
  state.Record.wFindWhatLen = WORD(state.Buffer.size());
  HWND dlg = FindTextW(&state.Record);
  if (!dlg) throw EInvalidOperation(Format(SRes::SDialogError, {unsigned(CommDlgExtendedError())}));
  FHandle = dlg;
  AddLive(dlg);
  if (FPositionSet) SetWindowPos(dlg, nullptr, FPosition.X, FPosition.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  DoShow();
  return true;
}

void TFindDialog::CloseDialog() {
  HWND dlg = FHandle;
  if (!dlg) return;
  // Cancel makes the dialog say FR_DIALOGTERM and destroy itself, which calls Closed.
  SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  if (FHandle == dlg) {
    DestroyWindow(dlg);
    if (FHandle == dlg) Closed(!FDestroying);
  }
}

void TFindDialog::Closed(bool notify) {
  HWND dlg = FHandle;
  if (!dlg) return;
  RECT r;
  if (GetWindowRect(dlg, &r)) {
    FPosition = TPoint(r.left, r.top);
    FPositionSet = true;  // shown again where it was left
  }
  RemoveLive(dlg);
  FHandle = nullptr;
  if (notify) DoClose();
}

}  // namespace kw
