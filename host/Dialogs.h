// The platform's common dialogs as components: the open and save file dialogs (and the one
// for pictures, filtered by the registered graphic formats) and the modeless find dialog.
// Colour, font, print-setup and replace dialogs are not here.
#pragma once

#include <memory>
#include <vector>

#include "host/Classes.h"
#include "host/Typinfo.h"
#include "host/Types.h"

struct HWND__;

namespace kw {

class TStrings;

namespace SRes {
inline constexpr const wchar_t* SDialogError = L"The dialog could not be shown (common dialog error 0x%x)";
inline constexpr const wchar_t* SDialogWindowError = L"The dialog's owner window could not be created: %s";
}  // namespace SRes

struct TDialogHooks;

// The base of the platform dialogs. Execute shows the dialog: a modal one returns whether the
// user accepted it, a modeless one whether it is up.
class TCommonDialog : public TComponent {
  KW_CLASS(TCommonDialog, TComponent)
  explicit TCommonDialog(TComponent* owner);
  ~TCommonDialog() override;

  // Owned by the thread's active window.
  bool Execute();
  virtual bool Execute(HWND__* parentWnd) = 0;

  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int value) { FHelpContext = value; }
  // The dialog's window while it is up, else null.
  HWND__* Handle() const { return FHandle; }

  // OnShow when the dialog's window has appeared (Handle is set), OnClose when it is gone.
  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

protected:
  virtual void DoShow();
  virtual void DoClose();
  // Runs a modal platform call; the first dialog window activated during it becomes Handle
  // and raises OnShow, and OnClose follows the call when OnShow was raised, even if it throws.
  virtual bool TaskModalDialog(const std::function<bool()>& dialogCall);
  HWND__* FHandle = nullptr;

private:
  friend struct TDialogHooks;
  int FHelpContext = 0;
  bool FShown = false;
};

enum TOpenOption {
  ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate,
  ofAllowMultiSelect, ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt,
  ofShareAware, ofNoReadOnlyReturn, ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames,
  ofOldStyleDialog, ofNoDereferenceLinks, ofEnableIncludeNotify, ofEnableSizing,
  ofDontAddToRecent, ofForceShowHidden
};
using TOpenOptions = TSet<TOpenOption>;
KW_DECLARE_ENUM(TOpenOption)

// The OFN_ flags of the options; OFN_EXPLORER is added unless ofOldStyleDialog is set.
unsigned KwOpenOptionsToFlags(TOpenOptions options);
// The options after the platform call: ofReadOnly and ofExtensionDifferent as the returned
// flags say, the others as they were.
TOpenOptions KwApplyOpenResultFlags(TOpenOptions options, unsigned flags);
// "Text files (*.txt)|*.txt|All (*.*)|*.*" in the platform's form: NUL after each string and
// one more at the end. A trailing "|" is ignored, a lone last item serves as description and
// pattern, an empty description takes the pattern, a pair without pattern is dropped (it would
// end the list early). Empty when nothing is left.
String KwFilterToPlatform(const String& filter);
// The files in a returned buffer of length characters: a directory then its names, each
// ending in NUL, the list in an empty string; or a single full path. Old-style dialogs
// separate with spaces instead. Names that are already absolute paths are kept as they are.
std::vector<String> KwParseSelectedFiles(const wchar_t* buffer, size_t length, bool oldStyle = false);

class TOpenDialog : public TCommonDialog {
  KW_CLASS(TOpenDialog, TCommonDialog)
  explicit TOpenDialog(TComponent* owner);
  ~TOpenDialog() override;

  using TCommonDialog::Execute;
  // True when the user chose a file; FileName, Files, FilterIndex and the result options are
  // then updated. Raises EInvalidOperation when the platform cannot show the dialog.
  bool Execute(HWND__* parentWnd) override;

  const String& FileName() const { return FFileName; }
  void SetFileName(const String& value);
  // Every file chosen by the last Execute (one unless ofAllowMultiSelect).
  TStrings* Files() const { return FFiles.get(); }
  const String& Filter() const { return FFilter; }
  void SetFilter(const String& value);
  // 1-based position in Filter.
  int FilterIndex() const { return FFilterIndex; }
  void SetFilterIndex(int value);
  const String& InitialDir() const { return FInitialDir; }
  void SetInitialDir(const String& value);
  // Added to a typed name without extension; a leading dot is ignored.
  const String& DefaultExt() const { return FDefaultExt; }
  void SetDefaultExt(const String& value);
  const String& Title() const { return FTitle; }
  void SetTitle(const String& value);
  TOpenOptions Options() const { return FOptions; }
  void SetOptions(TOpenOptions value);
  // Filter is streamed only when it differs from the one a new dialog starts with.
  bool IsFilterStored() const { return FFilter != DefaultFilter(); }

protected:
  virtual String DefaultFilter() const { return String(); }
  // Runs GetSaveFileNameW when save is set, else GetOpenFileNameW.
  bool DoExecute(HWND__* parentWnd, bool save);

private:
  String FFileName;
  std::unique_ptr<TStrings> FFiles;
  String FFilter;
  int FFilterIndex = 1;
  String FInitialDir;
  String FDefaultExt;
  String FTitle;
  TOpenOptions FOptions = {ofHideReadOnly, ofEnableSizing};
};

class TSaveDialog : public TOpenDialog {
  KW_CLASS(TSaveDialog, TOpenDialog)
  explicit TSaveDialog(TComponent* owner) : TOpenDialog(owner) {}
  using TCommonDialog::Execute;
  bool Execute(HWND__* parentWnd) override;
};

// An open dialog whose filter starts as every registered graphic format (TPicture's
// registry), all of them first, then one entry per format.
class TOpenPictureDialog : public TOpenDialog {
  KW_CLASS(TOpenPictureDialog, TOpenDialog)
  explicit TOpenPictureDialog(TComponent* owner);

protected:
  String DefaultFilter() const override;
};

enum TFindOption {
  frDown, frFindNext, frHideMatchCase, frHideWholeWord, frHideUpDown, frMatchCase,
  frDisableMatchCase, frDisableUpDown, frDisableWholeWord, frReplace, frReplaceAll,
  frWholeWord, frShowHelp
};
using TFindOptions = TSet<TFindOption>;
KW_DECLARE_ENUM(TFindOption)

// The FR_ flags of the options, and back.
unsigned KwFindOptionsToFlags(TFindOptions options);
TFindOptions KwFlagsToFindOptions(unsigned flags);

// Gives a message of the application's loop to every live modeless dialog (IsDialogMessageW);
// true when one of them took it, and it must then not be dispatched. msg is a MSG*.
bool KwIsDialogMessage(void* msg);

// The modeless find dialog. It reports to a hidden window of its own, which decodes the
// platform's FINDMSGSTRING notices: a search updates FindText and Options and raises OnFind.
class TFindDialog : public TCommonDialog {
  KW_CLASS(TFindDialog, TCommonDialog)
  explicit TFindDialog(TComponent* owner);
  // Closes the dialog without raising OnClose.
  ~TFindDialog() override;

  using TCommonDialog::Execute;
  // Shows the dialog, or brings it forward when it is up; true when it is up. Raises
  // EInvalidOperation when the platform refuses it.
  bool Execute(HWND__* parentWnd) override;
  // Closes the dialog as its Cancel button does (OnClose follows); nothing when it is not up.
  void CloseDialog();

  // Sources that include <commdlg.h> must undefine its FindText macro to call this.
  const String& FindText() const { return FFindText; }
  // Also shown in the dialog's edit box when it is up.
  void SetFindText(const String& value);
  TFindOptions Options() const { return FOptions; }
  void SetOptions(TFindOptions value);
  // The dialog's top-left corner on screen: the window's while it is up, else the one it had
  // when it closed or was set. Unset, the platform places the dialog.
  TPoint Position() const;
  void SetPosition(const TPoint& value);

  TNotifyEvent OnFind;

protected:
  virtual void Find();

private:
  friend struct TDialogHooks;
  struct TState;
  // After the dialog's window is gone (or about to be): forgets it, then raises OnClose.
  void Closed(bool notify);
  std::unique_ptr<TState> FState;
  String FFindText;
  TFindOptions FOptions = {frDown};
  TPoint FPosition;
  bool FPositionSet = false;
  bool FDestroying = false;
};

}  // namespace kw
