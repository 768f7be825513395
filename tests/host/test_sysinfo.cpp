// System services: the program's own version resource, special folders, the shell's failure
// report, folder browsing, the thread keyboard hook, wheel settings, scroll-bar calls, clip
// tests, the operating system's version and the monitor of a form. Nothing is launched.
#include <gtest/gtest.h>

#include "host/Application.h"
#include "host/Bitmap.h"
#include "host/Forms.h"
#include "host/Sysinfo.h"
#include "host/Sysutils.h"
#include "host/Version.h"
#include "host/Win.h"
#include "tests/support/Input.h"

using namespace kw;
namespace ts = kw::testsupport;

namespace {

// A key pressed and released as the keyboard does it: the system hook is called for input
// the queue takes from the keyboard, not for key messages a program posts.
void TypeKey(Word vk) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
  ts::Pump();
}

// A shown form with the keyboard focus, recording the keys that reach it.
class KeyboardHookTest : public ::testing::Test {
protected:
  void SetUp() override {
    form = new TForm(nullptr);
    form->AfterConstruction();
    form->OnKeyDown = [this](TObject*, Word& key, TShiftState) { reached.push_back(key); };
    form->Show();
    SetForegroundWindow(form->Handle());
    SetFocus(form->Handle());
    ts::Pump();
    ASSERT_EQ(GetFocus(), form->Handle());
  }
  void TearDown() override {
    Application()->OnException = nullptr;
    delete form;
  }
  TForm* form = nullptr;
  std::vector<Word> reached;
};

// Answers the folder browser once it shows, as a user would, and notes what it showed.
struct TBrowserUser {
  static inline int Button = IDOK;
  static inline String SeenText;
  static inline bool Found = false;
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND wnd, LPARAM) -> BOOL {
          wchar_t cls[32] = {};
          GetClassNameW(wnd, cls, 32);
          if (Found || !IsWindowVisible(wnd) || String(cls) != L"#32770") return TRUE;
          Found = true;
          EnumChildWindows(
              wnd,
              [](HWND child, LPARAM) -> BOOL {
                wchar_t text[256] = {};
                GetWindowTextW(child, text, 256);
                SeenText += String(text) + L"|";
                return TRUE;
              },
              0);
          PostMessageW(wnd, WM_COMMAND, MAKEWPARAM(Button, BN_CLICKED), 0);
          return FALSE;
        },
        0);
  }
  static String Run(int button, const String& caption, const String& start) {
    Button = button;
    SeenText.clear();
    Found = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, &Tick);
    String chosen = KwBrowseForFolder(caption, start);
    KillTimer(nullptr, timer);
    return chosen;
  }
};

}  // namespace

TEST(VersionInfo, TheProgramsOwnResourceGivesEveryFieldThroughItsFirstTranslation) {
  TFileVersionInfo info;
  ASSERT_TRUE(info.HasVersionInfo()) << info.FileName();
  EXPECT_TRUE(SameText(info.FileName(), GetModuleFileNameStr()));
  // The table's first entry is Spanish in Unicode; the US English block must not be read.
  EXPECT_EQ(info.Language(), 0x0C0A);
  EXPECT_EQ(info.CodePage(), 1200);
  EXPECT_EQ(info.TranslationKey(), L"0C0A04B0");
  const wchar_t* expected[][2] = {{L"CompanyName", L"Kw Test Works"},
                                  {L"FileDescription", L"Host framework tests"},
                                  {L"FileVersion", L"3.14.159.2653"},
                                  {L"InternalName", L"test_host"},
                                  {L"LegalCopyright", L"Copyright 2026 Kw Test Works"},
                                  {L"OriginalFilename", L"test_host.exe"},
                                  {L"ProductName", L"Kw Suite"},
                                  {L"ProductVersion", L"7.0 beta"},
                                  {L"Comments", L"Read back by the version tests"}};
  static_assert(std::size(expected) == VersionFieldCount);
  for (int i = 0; i < VersionFieldCount; ++i) {
    EXPECT_STREQ(VersionFieldName(TVersionField(i)), expected[i][0]);
    EXPECT_EQ(info.Field(TVersionField(i)), expected[i][1]) << expected[i][0];
  }
  EXPECT_EQ(info.Comments(), L"Read back by the version tests");
  EXPECT_EQ(info.Value(L"LegalTrademarks"), L"Kw is a mark of nobody");
  EXPECT_EQ(info.Value(L"NoSuchField"), L"");

  ASSERT_TRUE(info.HasFixedInfo());
  EXPECT_EQ(info.FileVersion(), (TVersionNumber{3, 14, 159, 2653}));
  EXPECT_EQ(info.ProductVersion(), (TVersionNumber{7, 0, 1, 42}));
  EXPECT_EQ(info.FileVersion().ToString(), L"3.14.159.2653");
  EXPECT_TRUE(info.FileFlags() & VS_FF_PRERELEASE);
  EXPECT_FALSE(info.FileFlags() & VS_FF_DEBUG);
  EXPECT_EQ(TFileVersionInfo(GetModuleFileNameStr()).ProductName(), L"Kw Suite");
  EXPECT_EQ(KwProgramVersionInfo().InternalName(), L"test_host");
}

TEST(VersionInfo, AFileWithoutAResourceAnswersEmpty) {
  String text = GetTempDirectory() + L"kw_noversion.txt";
  HANDLE f = CreateFileW(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(f, "MZ, but no program", 18, &written, nullptr);
  CloseHandle(f);
  for (const String& name : {text, GetTempDirectory() + L"kw_no_such_module.dll"}) {
    TFileVersionInfo info(name);
    EXPECT_FALSE(info.HasVersionInfo()) << name;
    EXPECT_FALSE(info.HasFixedInfo());
    EXPECT_EQ(info.FileVersion(), TVersionNumber{});
    for (int i = 0; i < VersionFieldCount; ++i) EXPECT_EQ(info.Field(TVersionField(i)), L"");
  }
  DeleteFileW(text);
}

TEST(SystemFolders, EverySpecialFolderIsAnExistingDirectory) {
  for (TSpecialFolder f : {sfDesktop, sfPersonal, sfAppData, sfLocalAppData, sfCommonAppData, sfProgramFiles,
                           sfWindows, sfSystem, sfTemp}) {
    String path = KwSpecialFolder(f, true);
    EXPECT_TRUE(DirectoryExists(path)) << int(f) << " " << path;
    EXPECT_NE(path.back(), L'\\') << path;
  }
  wchar_t buf[MAX_PATH];
  GetWindowsDirectoryW(buf, MAX_PATH);
  EXPECT_TRUE(SameText(KwSpecialFolder(sfWindows), ExcludeTrailingPathDelimiter(buf)));
  GetSystemDirectoryW(buf, MAX_PATH);
  EXPECT_TRUE(SameText(KwSpecialFolder(sfSystem), ExcludeTrailingPathDelimiter(buf)));
  EXPECT_FALSE(SameText(KwSpecialFolder(sfAppData), KwSpecialFolder(sfPersonal)));
  EXPECT_FALSE(SameText(KwSpecialFolder(sfCommonAppData), KwSpecialFolder(sfAppData)));
}

TEST(Shell, OpeningAMissingFileReportsTheSystemsError) {
  TShellResult r = KwShellOpen(KwSpecialFolder(sfTemp) + L"\\kw_missing_dir\\no_such_document.kwx");
  EXPECT_FALSE(r);
  EXPECT_TRUE(r.ErrorCode == ERROR_FILE_NOT_FOUND || r.ErrorCode == ERROR_PATH_NOT_FOUND) << r.ErrorCode;
  EXPECT_EQ(r.Message, SysErrorMessage(r.ErrorCode));
  EXPECT_FALSE(r.Message.empty());
  EXPECT_NE(KwShellOpen(L"").ErrorCode, 0u);
}

TEST(Shell, TheFolderBrowserStartsAtTheGivenFolderAndCancelGivesNothing) {
  String start = KwSpecialFolder(sfWindows);
  String chosen = TBrowserUser::Run(IDOK, L"Pick the package folder", start);
  ASSERT_TRUE(TBrowserUser::Found);
  EXPECT_NE(TBrowserUser::SeenText.find(L"Pick the package folder"), String::npos) << TBrowserUser::SeenText;
  EXPECT_TRUE(SameText(chosen, start)) << chosen;
  EXPECT_EQ(TBrowserUser::Run(IDCANCEL, L"Cancel me", start), L"");
  EXPECT_TRUE(TBrowserUser::Found);
}

TEST_F(KeyboardHookTest, TheNewestHookSeesAKeyFirstAndSwallowsWhatItClaims) {
  std::vector<String> seen;
  auto note = [&](const wchar_t* who, Word key, NativeInt data) {
    seen.push_back(String(who) + IntToStr(key) + (TKeyboardHook::IsRelease(data) ? L" up" : L" down"));
  };
  {
    TKeyboardHook older([&](Word key, NativeInt data) { return note(L"older ", key, data), false; });
    TKeyboardHook newer([&](Word key, NativeInt data) { return note(L"newer ", key, data), key == VK_F5; });
    EXPECT_NE(TKeyboardHook::Handle(), nullptr);
    TypeKey(VK_F6);
    TypeKey(VK_F5);
    EXPECT_EQ(seen, (std::vector<String>{L"newer 117 down", L"older 117 down", L"newer 117 up", L"older 117 up",
                                         L"newer 116 down", L"newer 116 up"}));
    EXPECT_EQ(reached, (std::vector<Word>{VK_F6}));
  }
  EXPECT_EQ(TKeyboardHook::Handle(), nullptr);
  seen.clear();
  TypeKey(VK_F5);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(reached, (std::vector<Word>{VK_F6, VK_F5}));
}

TEST_F(KeyboardHookTest, AnExceptionInTheCallbackIsReportedAndTheKeyGoesOn) {
  std::vector<String> reported;
  Application()->OnException = [&](TObject*, const Exception& e) { reported.push_back(e.Message()); };
  int older = 0;
  TKeyboardHook first([&](Word, NativeInt) { return ++older, false; });
  TKeyboardHook thrower([&](Word key, NativeInt data) -> bool {
    if (!TKeyboardHook::IsRelease(data)) throw EConvertError(L"no key " + IntToStr(key));
    return false;
  });
  TypeKey(VK_F7);
  EXPECT_EQ(reported, (std::vector<String>{L"no key 118"}));
  EXPECT_EQ(older, 2);  // down and up both went on to the older hook
  EXPECT_EQ(reached, (std::vector<Word>{VK_F7}));
}

TEST(MouseWheel, LinesPerNotchFollowTheUsersSetting) {
  UINT saved = 3;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &saved, 0));
  int now = KwWheelScrollLines();
  EXPECT_TRUE(now > 0 || now == WheelScrollPage) << now;
  SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, 7, nullptr, 0);
  EXPECT_EQ(KwWheelScrollLines(), 7);
  SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, WHEEL_PAGESCROLL, nullptr, 0);
  EXPECT_EQ(KwWheelScrollLines(), WheelScrollPage);
  SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, saved, nullptr, 0);
  EXPECT_GT(KwWheelScrollChars(), 0);

  EXPECT_EQ(KwWheelLines(WHEEL_DELTA, 3, 20), -3);      // a notch away from the user: three lines up
  EXPECT_EQ(KwWheelLines(-2 * WHEEL_DELTA, 3, 20), 6);  // two notches toward: six down
  EXPECT_EQ(KwWheelLines(WHEEL_DELTA / 2, 3, 20), -1);  // half a notch of a fine wheel
  EXPECT_EQ(KwWheelLines(WHEEL_DELTA, WheelScrollPage, 20), -20);
  EXPECT_EQ(KwWheelLines(-WHEEL_DELTA, WheelScrollPage, 0), 1);
}

TEST(ScrollBars, InfoRoundTripsOnAWindowsBarsAndOnABarControl) {
  HWND frame = CreateWindowExW(0, L"Static", L"", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL, 0, 0, 300, 200,
                               nullptr, nullptr, nullptr, nullptr);
  HWND bar = CreateWindowExW(0, L"ScrollBar", L"", WS_CHILD | WS_VISIBLE | SBS_HORZ, 0, 0, 200, 16, frame, nullptr,
                             nullptr, nullptr);
  ASSERT_TRUE(frame && bar);
  EXPECT_EQ(KwSetScrollInfo(frame, sbVertical, TScrollBarInfo{10, 200, 30, 50, 0}), 50);
  EXPECT_EQ(KwGetScrollInfo(frame, sbVertical), (TScrollBarInfo{10, 200, 30, 50, 50}));  // not dragged: track = pos
  EXPECT_EQ(KwGetScrollInfo(frame, sbHorizontal).Max, 100);  // the other bar is untouched
  EXPECT_EQ(KwSetScrollPos(frame, sbVertical, 500), 200 - 30 + 1);  // clamped to the last page
  EXPECT_EQ(KwGetScrollPos(frame, sbVertical), 200 - 30 + 1);

  // A bar control is its own bar, whatever kind is asked for.
  KwSetScrollInfo(bar, sbVertical, TScrollBarInfo{0, 40, 10, 12, 0});
  EXPECT_EQ(KwGetScrollPos(bar, sbHorizontal), 12);
  EXPECT_EQ(KwGetScrollInfo(bar, sbHorizontal).Max, 40);
  EXPECT_EQ(KwGetScrollInfo(frame, sbHorizontal).Max, 100);

  RECT with, without;
  GetClientRect(frame, &with);
  EXPECT_TRUE(KwScrollBarShown(frame, sbVertical));
  KwShowScrollBar(frame, sbVertical, false);
  EXPECT_FALSE(KwScrollBarShown(frame, sbVertical));
  EXPECT_TRUE(KwScrollBarShown(frame, sbHorizontal));
  GetClientRect(frame, &without);
  EXPECT_EQ(without.right - with.right, KwScrollBarSize(sbVertical));  // the bar's thickness
  KwShowScrollBar(frame, sbVertical, true);
  EXPECT_TRUE(KwScrollBarShown(frame, sbVertical));
  DestroyWindow(frame);
}

TEST(Clipping, RectVisibleFollowsTheClipRegion) {
  TBitmap bmp;
  bmp.SetSize(100, 100);
  HDC dc = bmp.Canvas()->Handle();
  int saved = SaveDC(dc);
  IntersectClipRect(dc, 10, 10, 50, 50);
  ExcludeClipRect(dc, 20, 20, 30, 30);
  EXPECT_FALSE(KwRectVisible(dc, TRect(0, 0, 5, 5)));
  EXPECT_TRUE(KwRectVisible(dc, TRect(45, 45, 60, 60)));
  EXPECT_FALSE(KwRectVisible(dc, TRect(50, 50, 70, 70)));  // the right and bottom edges are outside
  EXPECT_FALSE(KwRectVisible(dc, TRect(21, 21, 29, 29)));  // inside the hole
  EXPECT_TRUE(KwRectVisible(dc, TRect(25, 25, 35, 35)));
  SetWindowOrgEx(dc, 40, 40, nullptr);  // logical coordinates: the clip moves with the origin
  EXPECT_TRUE(KwRectVisible(dc, TRect(50, 50, 55, 55)));
  EXPECT_FALSE(KwRectVisible(dc, TRect(10, 10, 15, 15)));
  RestoreDC(dc, saved);
  EXPECT_TRUE(KwRectVisible(dc, TRect(0, 0, 5, 5)));
  EXPECT_FALSE(KwRectVisible(nullptr, TRect(0, 0, 5, 5)));
}

TEST(OperatingSystem, TheKernelsVersionAndItsName) {
  const TOSVersion& v = KwOSVersion();
  EXPECT_EQ(v.Platform, Cardinal(VER_PLATFORM_WIN32_NT));
  EXPECT_GE(v.Major, 5u);
  EXPECT_GT(v.Build, 0u);
  EXPECT_TRUE(v.Check(v.Major, v.Minor));
  EXPECT_FALSE(v.Check(v.Major + 1));
  EXPECT_FALSE(v.Check(v.Major, v.Minor + 1));
  EXPECT_TRUE(StartsStr(L"Windows", v.Name())) << v.Name();

  EXPECT_EQ(KwWindowsName(10, 0, 22631, false), L"Windows 11");
  EXPECT_EQ(KwWindowsName(10, 0, 17763, true), L"Windows Server 2019");
  EXPECT_EQ(KwWindowsName(6, 1, 7601, true), L"Windows Server 2008 R2");
  EXPECT_EQ(KwWindowsName(5, 1, 2600, false), L"Windows XP");
  EXPECT_EQ(KwWindowsName(12, 1, 1, false), L"Windows 12.1");
}

TEST(ScreenMonitors, AFormAndTheMainFormAreOnThePrimaryMonitor) {
  TMonitor* primary = Screen()->PrimaryMonitor();
  ASSERT_NE(primary, nullptr);
  TCustomForm* savedMain = Application()->MainForm();
  Application()->ClearMainForm();
  EXPECT_EQ(Screen()->FormMonitor(nullptr), primary);

  auto* form = new TForm(nullptr);
  form->AfterConstruction();
  form->SetBounds(40, 40, 200, 100);
  EXPECT_EQ(form->Monitor(), primary);  // by its bounds, without making a window
  EXPECT_FALSE(form->HandleAllocated());
  form->Show();
  ts::Pump();
  EXPECT_EQ(form->Monitor(), primary);
  Application()->SetMainForm(form);
  EXPECT_EQ(Screen()->FormMonitor(nullptr), primary);

  // Far off every monitor the nearest is still one; the null default gives none.
  TRect bounds = primary->BoundsRect();
  TPoint away(bounds.Right + 50000, bounds.Bottom + 50000);
  EXPECT_EQ(Screen()->MonitorFromPoint(away, mdNull), nullptr);
  EXPECT_EQ(Screen()->MonitorFromPoint(away, mdNearest), primary);
  EXPECT_EQ(Screen()->MonitorFromPoint(away, mdPrimary), primary);
  EXPECT_EQ(Screen()->MonitorFromRect(TRect(away.X, away.Y, away.X + 10, away.Y + 10), mdNull), nullptr);
  EXPECT_EQ(Screen()->MonitorFromPoint(TPoint(bounds.Left + 1, bounds.Top + 1), mdNull), primary);
  form->SetBounds(away.X, away.Y, 200, 100);
  EXPECT_EQ(form->Monitor(), primary);
  EXPECT_EQ(Screen()->MonitorFromWindow(form->Handle(), mdNull), nullptr);

  Application()->ClearMainForm();
  delete form;
  if (savedMain) Application()->SetMainForm(savedMain);
}
