// Common dialogs and the printer: filter, selection and option conversions; file dialogs run
// for real and answered by a thread timer; the modeless find dialog driven through its
// controls; the printer with or without installed printers. No test waits on a user.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/Bitmap.h"
#include "host/Dialogs.h"
#include "host/Formtext.h"
#include "host/Graphics.h"
#include "host/Picture.h"
#include "host/Printers.h"
#include "host/Streams.h"
#include "host/Stringlist.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

#include <commdlg.h>
#include <dlgs.h>

#undef FindText  // commdlg.h's name for FindTextW

using namespace kw;
using namespace std::string_literals;

namespace kw {
// A format of the test's own, so that registering and unregistering it touches nothing else.
class TDlgTestGraphic : public TBitmap {
  KW_CLASS(TDlgTestGraphic, TBitmap)
  TDlgTestGraphic() = default;
};
KW_REGISTER_CLASS(TDlgTestGraphic, TBitmap)
}  // namespace kw

namespace {

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Answers the next modal dialog of this thread from its own message loop: act gets the
// dialog window, then the button is pressed. A thread timer needs no second thread; windows
// up before are left alone.
std::vector<HWND> GBefore;
std::function<void(HWND)> GAct;
int GButton = IDCANCEL;
HWND GAnswered = nullptr;

std::vector<HWND> VisibleDialogs() {
  std::vector<HWND> found;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND wnd, LPARAM out) -> BOOL {
        wchar_t cls[16];
        if (IsWindowVisible(wnd) && GetClassNameW(wnd, cls, 16) && wcscmp(cls, L"#32770") == 0)
          reinterpret_cast<std::vector<HWND>*>(out)->push_back(wnd);
        return TRUE;
      },
      LPARAM(&found));
  return found;
}

void CALLBACK AnswerProc(HWND, UINT, UINT_PTR id, DWORD) {
  for (HWND dlg : VisibleDialogs()) {
    if (std::find(GBefore.begin(), GBefore.end(), dlg) != GBefore.end()) continue;
    KillTimer(nullptr, id);
    GAnswered = dlg;
    if (GAct) GAct(dlg);
    PostMessageW(dlg, WM_COMMAND, GButton, 0);
    return;
  }
}

void AnswerNextDialog(int button, std::function<void(HWND)> act = nullptr) {
  GBefore = VisibleDialogs();
  GButton = button;
  GAct = std::move(act);
  GAnswered = nullptr;
  SetTimer(nullptr, 0, 30, AnswerProc);
}

String TempDir(const String& tag) {
  String dir = GetTempDirectory() + L"kw_dialogs_" + tag + L"_" + IntToStr(Int64(GetCurrentProcessId())) + L"\\";
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

void Touch(const String& name) {
  HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(h);
}

}  // namespace

TEST(DialogFilters, BarsBecomeNulsWithOneMoreAtTheEnd) {
  EXPECT_EQ(KwFilterToPlatform(L"Text files (*.txt)|*.txt|All (*.*)|*.*"),
            L"Text files (*.txt)\0*.txt\0All (*.*)\0*.*\0\0"s);
  EXPECT_EQ(KwFilterToPlatform(L"Text|*.txt|"), L"Text\0*.txt\0\0"s);  // trailing bar
  EXPECT_EQ(KwFilterToPlatform(L""), L""s);
  EXPECT_EQ(KwFilterToPlatform(L"|"), L""s);
  EXPECT_EQ(KwFilterToPlatform(L"*.txt"), L"*.txt\0*.txt\0\0"s);             // lone pattern
  EXPECT_EQ(KwFilterToPlatform(L"|*.log|Text|*.txt"), L"*.log\0*.log\0Text\0*.txt\0\0"s);
  EXPECT_EQ(KwFilterToPlatform(L"Empty||Text|*.txt"), L"Text\0*.txt\0\0"s);  // no early end
}

TEST(DialogFilters, SelectionBuffersGiveFullPaths) {
  const String multi = L"C:\\docs\0a.txt\0b c.txt\0\0"s;
  EXPECT_EQ(KwParseSelectedFiles(multi.data(), multi.size()),
            (std::vector<String>{L"C:\\docs\\a.txt", L"C:\\docs\\b c.txt"}));
  const String single = L"C:\\docs\\a.txt\0\0"s;
  EXPECT_EQ(KwParseSelectedFiles(single.data(), single.size()), std::vector<String>{L"C:\\docs\\a.txt"});
  const String root = L"C:\\\0a.txt\0D:\\x\\b.txt\0\0"s;  // no doubled delimiter; absolute kept
  EXPECT_EQ(KwParseSelectedFiles(root.data(), root.size()), (std::vector<String>{L"C:\\a.txt", L"D:\\x\\b.txt"}));
  // A buffer without its terminators ends at its length.
  const String cut = L"C:\\d\0one\0twoXXX"s;
  EXPECT_EQ(KwParseSelectedFiles(cut.data(), 12), (std::vector<String>{L"C:\\d\\one", L"C:\\d\\two"}));
  const String old = L"C:\\DOCS A.TXT B.TXT\0"s;
  EXPECT_EQ(KwParseSelectedFiles(old.data(), old.size(), true), (std::vector<String>{L"C:\\DOCS\\A.TXT", L"C:\\DOCS\\B.TXT"}));
  const String empty = L"\0\0"s;
  EXPECT_TRUE(KwParseSelectedFiles(empty.data(), empty.size()).empty());
  EXPECT_TRUE(KwParseSelectedFiles(nullptr, 10).empty());
}

TEST(DialogFilters, OpenOptionsMapToTheirFlags) {
  const unsigned expected[] = {
      OFN_READONLY,         OFN_OVERWRITEPROMPT, OFN_HIDEREADONLY,     OFN_NOCHANGEDIR,        OFN_SHOWHELP,
      OFN_NOVALIDATE,       OFN_ALLOWMULTISELECT, OFN_EXTENSIONDIFFERENT, OFN_PATHMUSTEXIST, OFN_FILEMUSTEXIST,
      OFN_CREATEPROMPT,     OFN_SHAREAWARE,      OFN_NOREADONLYRETURN, OFN_NOTESTFILECREATE,  OFN_NONETWORKBUTTON,
      OFN_NOLONGNAMES,      0,                   OFN_NODEREFERENCELINKS, OFN_ENABLEINCLUDENOTIFY, OFN_ENABLESIZING,
      OFN_DONTADDTORECENT,  OFN_FORCESHOWHIDDEN};
  for (int i = 0; i <= ofForceShowHidden; ++i) {
    if (TOpenOption(i) == ofOldStyleDialog) continue;
    EXPECT_EQ(KwOpenOptionsToFlags({TOpenOption(i)}), OFN_EXPLORER | expected[i]) << i;
  }
  EXPECT_EQ(KwOpenOptionsToFlags(TOpenDialog(nullptr).Options()), unsigned(OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING));
  EXPECT_EQ(KwOpenOptionsToFlags({ofOldStyleDialog, ofAllowMultiSelect}), unsigned(OFN_ALLOWMULTISELECT));
  // Only the two flags the platform reports back change.
  const TOpenOptions start{ofReadOnly, ofFileMustExist};
  EXPECT_EQ(KwApplyOpenResultFlags(start, OFN_EXTENSIONDIFFERENT | OFN_HIDEREADONLY),
            (TOpenOptions{ofFileMustExist, ofExtensionDifferent}));
  EXPECT_EQ(KwApplyOpenResultFlags({}, OFN_READONLY), TOpenOptions{ofReadOnly});
}

TEST(DialogFilters, FindOptionsMapBothWays) {
  EXPECT_EQ(KwFindOptionsToFlags({frDown, frMatchCase, frDisableWholeWord}), unsigned(FR_DOWN | FR_MATCHCASE | FR_NOWHOLEWORD));
  EXPECT_EQ(KwFlagsToFindOptions(FR_FINDNEXT | FR_WHOLEWORD | FR_NOMATCHCASE | FR_HIDEUPDOWN),
            (TFindOptions{frFindNext, frWholeWord, frDisableMatchCase, frHideUpDown}));
  unsigned seen = 0;
  for (int i = 0; i <= frShowHelp; ++i) {
    const unsigned flag = KwFindOptionsToFlags({TFindOption(i)});
    EXPECT_EQ(__builtin_popcount(flag), 1) << i;
    EXPECT_EQ(seen & flag, 0u) << i;  // every option its own flag
    seen |= flag;
    EXPECT_EQ(KwFlagsToFindOptions(flag), TFindOptions{TFindOption(i)}) << i;
  }
  EXPECT_EQ(KwFlagsToFindOptions(FR_DIALOGTERM), TFindOptions{});
}

TEST(Dialogs, PropertiesStreamWithTheirDefaults) {
  TComponent root(nullptr);
  root.SetName(L"Root");
  auto* open = new TOpenDialog(&root);
  open->SetName(L"Open1");
  open->SetFilter(L"Text|*.txt");
  open->SetOptions({ofAllowMultiSelect, ofFileMustExist});
  open->SetDefaultExt(L"txt");
  auto* pictures = new TOpenPictureDialog(&root);
  pictures->SetName(L"Pictures1");
  auto* find = new TFindDialog(&root);
  find->SetName(L"Find1");
  find->SetFindText(L"needle");
  TMemoryStream bin, text;
  bin.WriteComponent(&root);
  bin.SetPosition(0);
  ObjectBinaryToText(bin, text);
  const std::string form(static_cast<const char*>(text.Memory()), size_t(text.Size()));
  EXPECT_NE(form.find("Options = [ofAllowMultiSelect, ofFileMustExist]"), std::string::npos) << form;
  EXPECT_EQ(form.find("FilterIndex"), std::string::npos) << form;  // default 1
  // The picture dialog's filter is its default and stays out of the stream.
  const size_t picStart = form.find("Pictures1");
  EXPECT_EQ(form.find("Filter", picStart), std::string::npos) << form;
  bin.SetPosition(0);
  std::unique_ptr<TComponent> copy(bin.ReadComponent(nullptr));
  auto* open2 = dynamic_cast<TOpenDialog*>(copy->FindComponent(L"Open1"));
  auto* pictures2 = dynamic_cast<TOpenPictureDialog*>(copy->FindComponent(L"Pictures1"));
  auto* find2 = dynamic_cast<TFindDialog*>(copy->FindComponent(L"Find1"));
  ASSERT_TRUE(open2 && pictures2 && find2);
  EXPECT_EQ(open2->Filter(), L"Text|*.txt");
  EXPECT_EQ(open2->Options(), (TOpenOptions{ofAllowMultiSelect, ofFileMustExist}));
  EXPECT_EQ(open2->DefaultExt(), L"txt");
  EXPECT_EQ(pictures2->Filter(), pictures->Filter());
  EXPECT_EQ(find2->FindText(), L"needle");
  EXPECT_EQ(find2->Options(), TFindOptions{frDown});
}

TEST(Dialogs, PictureDialogFiltersEveryRegisteredFormat) {
  TPicture::RegisterFileFormat(L"kwdt", L"Dialog test images", TDlgTestGraphic::StaticClass());
  TOpenPictureDialog dialog(nullptr);
  const String& filter = dialog.Filter();
  ASSERT_EQ(filter.rfind(L"All (", 0), 0u) << filter;
  const size_t maskStart = filter.find(L'|') + 1;
  const String all = L";" + filter.substr(maskStart, filter.find(L'|', maskStart) - maskStart) + L";";
  for (const wchar_t* ext : {L"bmp", L"ico", L"emf", L"wmf", L"jpeg", L"jpg", L"png", L"gif", L"kwdt"}) {
    EXPECT_NE(all.find(L";*."s + ext + L";"), String::npos) << ext;              // in the "All" entry...
    EXPECT_NE(filter.find(L"(*."s + ext + L")|*." + ext), String::npos) << ext;  // ...and on its own
  }
  EXPECT_NE(filter.find(L"Dialog test images (*.kwdt)|*.kwdt"), String::npos);
  EXPECT_FALSE(dialog.IsFilterStored());
  dialog.SetFilter(L"Bitmaps|*.bmp");
  EXPECT_TRUE(dialog.IsFilterStored());
  TPicture::UnregisterGraphicClass(TDlgTestGraphic::StaticClass());
  // A later dialog no longer lists the removed format.
  EXPECT_EQ(TOpenPictureDialog(nullptr).Filter().find(L"kwdt"), String::npos);
}

TEST(Dialogs, CancelledOpenDialogReturnsFalseBetweenShowAndClose) {
  TOpenDialog dialog(nullptr);
  dialog.SetFileName(L"keep.txt");
  std::vector<String> events;
  HWND shown = nullptr;
  dialog.OnShow = [&](TObject* sender) {
    EXPECT_EQ(sender, &dialog);
    shown = dialog.Handle();
    events.push_back(L"show");
  };
  dialog.OnClose = [&](TObject*) { events.push_back(L"close"); };
  const int gdi = KwGdiTotal();
  AnswerNextDialog(IDCANCEL);
  EXPECT_FALSE(dialog.Execute());
  EXPECT_NE(GAnswered, nullptr) << "the dialog never appeared";
  EXPECT_EQ(shown, GAnswered);
  EXPECT_EQ(events, (std::vector<String>{L"show", L"close"}));
  EXPECT_EQ(dialog.Handle(), nullptr);
  EXPECT_EQ(dialog.FileName(), L"keep.txt");
  EXPECT_EQ(KwGdiTotal(), gdi);
}

TEST(Dialogs, AcceptedOpenDialogReportsFilesAndFilterIndex) {
  const String dir = TempDir(L"open");
  Touch(dir + L"a.txt");
  Touch(dir + L"b.txt");
  TOpenDialog dialog(nullptr);
  dialog.SetFilter(L"Logs|*.log|Text|*.txt");
  dialog.SetInitialDir(dir);
  dialog.SetOptions(dialog.Options() + TOpenOptions{ofAllowMultiSelect, ofFileMustExist});
  dialog.SetFileName(L"\"a.txt\" \"b.txt\"");
  AnswerNextDialog(IDOK, [](HWND dlg) {
    // The user picks the second filter.
    HWND combo = GetDlgItem(dlg, cmb1);
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE), LPARAM(combo));
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), LPARAM(combo));
  });
  ASSERT_TRUE(dialog.Execute(nullptr));
  ASSERT_EQ(dialog.Files()->Count(), 2);
  EXPECT_TRUE(SameText(dialog.Files()->Strings(0), dir + L"a.txt")) << dialog.Files()->Strings(0);
  EXPECT_TRUE(SameText(dialog.Files()->Strings(1), dir + L"b.txt")) << dialog.Files()->Strings(1);
  EXPECT_EQ(dialog.FileName(), dialog.Files()->Strings(0));
  EXPECT_EQ(dialog.FilterIndex(), 2);

  // Saving adds the default extension, given with its dot.
  TSaveDialog save(nullptr);
  save.SetInitialDir(dir);
  save.SetFileName(L"report");
  save.SetDefaultExt(L".txt");
  AnswerNextDialog(IDOK);
  ASSERT_TRUE(save.Execute(nullptr));
  EXPECT_TRUE(SameText(save.FileName(), dir + L"report.txt")) << save.FileName();
  EXPECT_EQ(save.Files()->Count(), 1);
  DeleteFileW((dir + L"a.txt").c_str());
  DeleteFileW((dir + L"b.txt").c_str());
  RemoveDirectoryW(dir.c_str());
}

TEST(FindDialog, ReportsTheSearchThroughItsOwnWindow) {
  TFindDialog dialog(nullptr);
  dialog.SetFindText(L"first");
  dialog.SetOptions({frDown, frHideWholeWord});
  dialog.SetPosition(TPoint(40, 50));
  int finds = 0, closes = 0;
  String seenText;
  TFindOptions seenOptions;
  dialog.OnFind = [&](TObject*) {
    ++finds;
    seenText = dialog.FindText();
    seenOptions = dialog.Options();
  };
  dialog.OnClose = [&](TObject*) { ++closes; };
  ASSERT_TRUE(dialog.Execute());
  HWND dlg = dialog.Handle();
  ASSERT_TRUE(IsWindow(dlg));
  EXPECT_TRUE(dialog.Execute());  // already up: the same window
  EXPECT_EQ(dialog.Handle(), dlg);
  RECT r;
  GetWindowRect(dlg, &r);
  EXPECT_EQ(TPoint(r.left, r.top), TPoint(40, 50));
  wchar_t shown[64] = {};
  GetDlgItemTextW(dlg, edt1, shown, 64);
  EXPECT_STREQ(shown, L"first");
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, chx1)));  // whole word hidden as asked

  SetWindowTextW(GetDlgItem(dlg, edt1), L"needle");
  SendMessageW(GetDlgItem(dlg, chx2), BM_SETCHECK, BST_CHECKED, 0);  // match case
  SendMessageW(dlg, WM_COMMAND, IDOK, 0);
  Pump();
  EXPECT_EQ(finds, 1);
  EXPECT_EQ(seenText, L"needle");
  EXPECT_EQ(seenOptions, (TFindOptions{frDown, frFindNext, frMatchCase, frHideWholeWord}));

  dialog.SetFindText(L"other");
  GetDlgItemTextW(dlg, edt1, shown, 64);
  EXPECT_STREQ(shown, L"other");

  dialog.CloseDialog();
  Pump();
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(dialog.Handle(), nullptr);
  EXPECT_FALSE(IsWindow(dlg));
  dialog.CloseDialog();  // nothing to close
  EXPECT_EQ(closes, 1);
}

TEST(FindDialog, TheMessageLoopHookServesLiveDialogsOnly) {
  TFindDialog dialog(nullptr);
  int closes = 0;
  dialog.OnClose = [&](TObject*) { ++closes; };
  ASSERT_TRUE(dialog.Execute(nullptr));
  HWND edit = GetDlgItem(dialog.Handle(), edt1);
  HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  MSG elsewhere{other, WM_KEYDOWN, VK_ESCAPE, 0};
  EXPECT_FALSE(KwIsDialogMessage(&elsewhere));
  EXPECT_FALSE(KwIsDialogMessage(nullptr));
  MSG escape{edit, WM_KEYDOWN, VK_ESCAPE, 0};
  EXPECT_TRUE(KwIsDialogMessage(&escape));  // Escape in the dialog cancels it
  Pump();
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(dialog.Handle(), nullptr);
  MSG again{edit, WM_KEYDOWN, VK_ESCAPE, 0};
  EXPECT_FALSE(KwIsDialogMessage(&again));
  DestroyWindow(other);
}

TEST(FindDialog, FreedWithItsWindowUpAndHandlersThatThrow) {
  static int reported;
  reported = 0;
  auto old = ApplicationHandleException;
  ApplicationHandleException = [](TObject*) { ++reported; };
  int closes = 0;
  HWND dlg;
  {
    TFindDialog dialog(nullptr);
    dialog.OnFind = [](TObject*) { throw Exception(L"find failed"); };
    dialog.OnClose = [&](TObject*) { ++closes; };
    ASSERT_TRUE(dialog.Execute(nullptr));
    dlg = dialog.Handle();
    SetWindowTextW(GetDlgItem(dlg, edt1), L"x");
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(reported, 1);  // reported, not thrown through the platform
  }
  Pump();
  ApplicationHandleException = old;
  EXPECT_FALSE(IsWindow(dlg));
  EXPECT_EQ(closes, 0);
}

TEST(Printer, WithoutPrintersNothingPrints) {
  TPrinter printer;
  if (printer.Printers()->Count() > 0) GTEST_SKIP() << "printers are installed";
  EXPECT_EQ(printer.PrinterIndex(), -1);
  try {
    printer.BeginDoc();
    FAIL() << "BeginDoc printed without a printer";
  } catch (const EPrinter& e) {
    EXPECT_EQ(e.Message(), L"There is no default printer currently selected");
  }
  EXPECT_FALSE(printer.Printing());
  EXPECT_THROW(printer.PageWidth(), EPrinter);
  EXPECT_THROW(printer.Canvas()->TextOut(0, 0, L"x"), EPrinter);
  EXPECT_THROW(printer.SetPrinterIndex(0), EPrinter);
  EXPECT_THROW(printer.EndDoc(), EPrinter);  // not printing
  EXPECT_THROW(printer.NewPage(), EPrinter);
  printer.SetPrinterIndex(-1);
  printer.SetCopies(0);
  EXPECT_EQ(printer.Copies(), 1);
}

TEST(Printer, TheGlobalPrinterCanBeReplaced) {
  TPrinter* first = Printer();
  EXPECT_EQ(Printer(), first);
  auto* mine = new TPrinter;
  EXPECT_EQ(SetPrinter(mine), first);
  EXPECT_EQ(Printer(), mine);
  EXPECT_EQ(SetPrinter(first), mine);
  delete mine;
}

TEST(Printer, PrintsPagesToAFile) {
  if (TPrinter().Printers()->Count() == 0) GTEST_SKIP() << "no printer installed";
  const int gdi = KwGdiTotal();
  const String file = GetTempDirectory() + L"kw_dialogs_print.out";
  DeleteFileW(file.c_str());
  {
    TPrinter printer;
    if (printer.PrinterIndex() < 0) printer.SetPrinterIndex(0);
    EXPECT_GT(printer.PageWidth(), 0);
    EXPECT_GT(printer.PageHeight(), 0);
    printer.SetOrientation(poLandscape);
    EXPECT_GT(printer.PageWidth(), printer.PageHeight());
    printer.SetTitle(L"kw test page");
    printer.SetOutputFile(file);
    printer.BeginDoc();
    EXPECT_TRUE(printer.Printing());
    EXPECT_EQ(printer.PageNumber(), 1);
    EXPECT_THROW(printer.SetOrientation(poPortrait), EPrinter);
    EXPECT_THROW(printer.BeginDoc(), EPrinter);
    printer.Canvas()->TextOut(100, 100, L"page one");
    // Text keeps its size in points at the printer's resolution.
    EXPECT_EQ(printer.Canvas()->Font()->PixelsPerInch(), GetDeviceCaps(printer.Handle(), LOGPIXELSY));
    EXPECT_EQ(printer.Canvas()->Font()->Size(), 8);
    printer.NewPage();
    EXPECT_EQ(printer.PageNumber(), 2);
    printer.Canvas()->Rectangle(100, 100, 400, 300);
    printer.EndDoc();
    EXPECT_FALSE(printer.Printing());
    EXPECT_FALSE(printer.Aborted());
    EXPECT_EQ(printer.PageNumber(), 0);
    WIN32_FILE_ATTRIBUTE_DATA info{};
    ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &info));
    EXPECT_GT(info.nFileSizeLow, 0u);

    printer.BeginDoc();
    printer.Abort();
    EXPECT_TRUE(printer.Aborted());
    EXPECT_FALSE(printer.Printing());
  }
  EXPECT_EQ(KwGdiTotal(), gdi);
  DeleteFileW(file.c_str());
}
