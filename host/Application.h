// The application object (message loop, idle, exceptions, hints, the main form), the screen
// (forms, data modules, the active form and control, monitors, cursors) and the hint window.
// The application's own window (Appwnd.cpp) and the MDI frame (Mdi.cpp) have sources of their own.
#pragma once

#include <functional>
#include <vector>

#include "host/Controls.h"
#include "host/Menus.h"
#include "host/Timers.h"

struct tagMSG;
struct HMONITOR__;

namespace kw {

class TCustomForm;
class TDataModule;
class THintWindow;
class TStrings;

using TMessageEvent = TEvent<void(tagMSG& Msg, bool& Handled)>;
using TIdleEvent = TEvent<void(TObject* Sender, bool& Done)>;
using TExceptionEvent = TEvent<void(TObject* Sender, const Exception& E)>;
using THelpEvent = TEvent<bool(Word Command, NativeInt Data, bool& CallHelp)>;
// A hook on the application window's procedure: true when it handled the message.
using TWindowHook = std::function<bool(TMessage& Message)>;

// Makes the hint window; which maker made the current window decides whether it is reused.
using THintWindowClass = THintWindow* (*)(TComponent* owner);

// What a control is told before its hint shows (CM_HINTSHOW carries a pointer to it).
struct THintInfo {
  TControl* HintControl = nullptr;
  TPoint CursorPos;
  TRect CursorRect;
  TPoint HintPos;
  int HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  String HintStr;
  int HideTimeout = 0;
  int ReshowTimeout = 0;
  // The application's class unless a control or OnShowHint asks for another.
  THintWindowClass HintWindowClass = nullptr;
  void* HintData = nullptr;
};
using TShowHintEvent = TEvent<void(String& HintStr, bool& CanShow, THintInfo& HintInfo)>;

class THintWindow : public TCustomControl {
  KW_CLASS(THintWindow, TCustomControl)
  explicit THintWindow(TComponent* owner);
  // The rectangle (at 0, 0) the hint text needs, wrapped at maxWidth.
  virtual TRect CalcHintRect(int maxWidth, const String& hint, void* data);
  // Shows the hint over rect (screen coordinates) without taking the focus.
  virtual void ActivateHint(const TRect& rect, const String& hint);
  void ReleaseHandle();
  bool Active() const { return FActive; }

protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void WndProc(TMessage& message) override;
  bool FActive = false;
};

class TApplication : public TComponent {
  KW_CLASS(TApplication, TComponent)
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  void Initialize() {}
  // Makes a form of class T owned by the application; the first becomes the main form.
  template <class T>
  void CreateForm(T*& ref) {
    ref = nullptr;
    T* form = KwCreate<T>(this);
    ref = form;
    if (!FMainForm) SetMainForm(form);
  }
  // Shows the main form and handles messages until Terminate.
  void Run();
  // Waits for and handles one message (idle processing when there is none).
  void HandleMessage();
  // Handles every message now waiting, without waiting for more.
  void ProcessMessages();
  // Handles one waiting message; false when there was none.
  bool ProcessMessage(tagMSG& msg);
  // What the loop does with a message before translating and dispatching it: OnMessage,
  // hints, keys through the controls, modeless dialogs. True when the message was used up.
  bool PreTranslate(tagMSG& msg);
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Back to running after Terminate (tests run many loops in one process).
  void ResetTerminated() { FTerminated = false; }
  void Minimize();
  void Restore();

  TCustomForm* MainForm() const { return FMainForm; }
  void SetMainForm(TCustomForm* form);
  void ClearMainForm() { FMainForm = nullptr; }
  bool ShowMainForm() const { return FShowMainForm; }
  void SetShowMainForm(bool v) { FShowMainForm = v; }
  const String& Title() const { return FTitle; }
  void SetTitle(const String& v);
  const String& ExeName() const { return FExeName; }

  // The application's hidden window, made on first use: it owns the forms when the main form
  // is not on the taskbar (then it is the taskbar button, with the system menu), and receives
  // the application-wide messages (activation, end of session, system commands).
  HWND__* Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  // True (the default): the main form has the taskbar button and the application window stays
  // hidden. False: the application window is the button and owns every form, so minimising it
  // hides them all. A change recreates the main form's window.
  bool ShowMainFormOnTaskBar() const { return FShowMainFormOnTaskBar; }
  void SetShowMainFormOnTaskBar(bool v);
  // Hooks see every message of the application window before it does, the last added first;
  // the cookie unhooks. Unhooking from inside a hook is safe.
  int HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(int cookie);
  // Whether one of the application's windows is the active one.
  bool Active() const { return FActive; }

  // Reports the exception being handled (inside a catch): OnException, else a message box.
  void HandleException(TObject* sender);
  void ShowException(const Exception& e);
  bool HelpContext(int context);

  const String& Hint() const { return FHint; }
  void SetHint(const String& v);
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool v);
  TColor HintColor() const { return FHintColor; }
  void SetHintColor(TColor v) { FHintColor = v; }
  int HintPause() const { return FHintPause; }
  void SetHintPause(int v) { FHintPause = v; }
  int HintShortPause() const { return FHintShortPause; }
  void SetHintShortPause(int v) { FHintShortPause = v; }
  int HintHidePause() const { return FHintHidePause; }
  void SetHintHidePause(int v) { FHintHidePause = v; }
  void CancelHint();
  // The control whose hint is showing or pending, and the hint window when shown.
  TControl* HintControl() const { return FHintControl; }
  THintWindow* HintWindow() const { return FHintWindow; }
  // Checks the control under the mouse for a hint; the loop calls it on every mouse move.
  void HintMouseMessage(TControl* control, const TPoint& screenPos);
  static THintWindowClass HintWindowClass;

  // Forms released while they had no window are freed at the next idle time.
  void ReleaseLater(TComponent* component);

  // OnShortCut, then the main form's shortcuts (unless it is the active form, asked already).
  bool IsShortCut(TWMKey& message);
  // The application's say on an action its list did not handle: OnActionExecute/OnActionUpdate.
  bool ExecuteAction(TBasicAction* action) override;
  bool UpdateAction(TBasicAction* action) override;
  TShortCutEvent OnShortCut;
  TEvent<void(TBasicAction* Action, bool& Handled)> OnActionExecute;
  TEvent<void(TBasicAction* Action, bool& Handled)> OnActionUpdate;

  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TExceptionEvent OnException;
  TIdleEvent OnIdle;
  TMessageEvent OnMessage;
  TNotifyEvent OnHint;
  TShowHintEvent OnShowHint;
  THelpEvent OnHelp;

protected:
  friend class TCustomForm;
  void Idle(const tagMSG& msg);
  void AppWndProc(TMessage& message);
  static void DeclareDpiAwareness();
  bool IsMDIMsg(tagMSG& msg);
  void DestroyHandle();
  // Shows the application window's taskbar button while the main form shows, in the mode
  // where the application window is the button.
  void UpdateTaskButton(bool mainFormShowing);
  void DoneReleases();
  void ActivateHint(const TPoint& screenPos);
  void HintTimerExpired();

  TCustomForm* FMainForm = nullptr;
  bool FTerminated = false;
  bool FShowMainForm = true;
  bool FRunning = false;
  String FTitle;
  String FExeName;
  String FHint;
  bool FShowHint = true;
  TColor FHintColor = clInfoBk;
  int FHintPause = 500;
  int FHintShortPause = 50;
  int FHintHidePause = 2500;
  bool FHintActive = false;
  TControl* FHintControl = nullptr;
  THintWindow* FHintWindow = nullptr;
  THintWindowClass FHintWindowMaker = nullptr;
  std::unique_ptr<TTimer> FHintTimer;
  bool FHintHiding = false;
  std::vector<TComponent*> FReleases;
  HWND__* FHandle = nullptr;
  bool FShowMainFormOnTaskBar = true;
  bool FActive = false;
  std::vector<std::pair<int, std::shared_ptr<TWindowHook>>> FHooks;
  int FNextHook = 0;
};

class TMonitor : public TObject {
  KW_CLASS(TMonitor, TObject)
  TMonitor(HMONITOR__* handle, int number) : FHandle(handle), FMonitorNum(number) {}
  HMONITOR__* Handle() const { return FHandle; }
  int MonitorNum() const { return FMonitorNum; }
  TRect BoundsRect() const;
  TRect WorkareaRect() const;
  int Left() const { return BoundsRect().Left; }
  int Top() const { return BoundsRect().Top; }
  int Width() const { return BoundsRect().Width(); }
  int Height() const { return BoundsRect().Height(); }
  bool Primary() const;
  int PixelsPerInch() const;

private:
  HMONITOR__* FHandle;
  int FMonitorNum;
};

enum TMonitorDefaultTo { mdNearest, mdNull, mdPrimary };

class TScreen : public TComponent {
  KW_CLASS(TScreen, TComponent)
  explicit TScreen(TComponent* owner);
  ~TScreen() override;

  int FormCount() const { return int(FForms.size()); }
  TCustomForm* Forms(int index) const { return FForms.at(size_t(index)); }
  int CustomFormCount() const { return FormCount(); }
  TCustomForm* CustomForms(int index) const { return Forms(index); }
  int DataModuleCount() const { return int(FDataModules.size()); }
  TDataModule* DataModules(int index) const { return FDataModules.at(size_t(index)); }
  TCustomForm* ActiveForm() const { return FActiveForm; }
  TCustomForm* ActiveCustomForm() const { return FActiveForm; }
  TWinControl* ActiveControl() const { return FActiveControl; }

  int MonitorCount();
  TMonitor* Monitors(int index);
  TMonitor* PrimaryMonitor();
  TMonitor* MonitorFromWindow(HWND__* wnd, TMonitorDefaultTo def = mdNearest);
  TMonitor* MonitorFromPoint(const TPoint& p, TMonitorDefaultTo def = mdNearest);
  TMonitor* MonitorFromRect(const TRect& r, TMonitorDefaultTo def = mdNearest);
  int Width() const;
  int Height() const;
  // The monitor showing most of form (by its window, else by its bounds); for no form the
  // main form's; the primary monitor when there is no main form either.
  TMonitor* FormMonitor(const TCustomForm* form = nullptr);
  TRect WorkAreaRect() const;
  TRect DesktopRect() const;
  int PixelsPerInch() const;

  TCursor Cursor() const { return KwScreenCursor(); }
  void SetCursor(TCursor v) { KwSetScreenCursor(v); }
  HICON__* Cursors(TCursor index) const { return KwCursorHandle(index); }
  void SetCursors(TCursor index, HICON__* handle) { KwSetCursorHandle(index, handle); }
  TStrings* Fonts();

  TNotifyEvent OnActiveFormChange;
  TNotifyEvent OnActiveControlChange;

  // Bookkeeping the forms and data modules do themselves.
  void AddForm(TCustomForm* form);
  void RemoveForm(TCustomForm* form);
  void AddDataModule(TDataModule* module);
  void RemoveDataModule(TDataModule* module);
  void SetActiveForm(TCustomForm* form);
  void SetActiveControl(TWinControl* control);

private:
  void GetMonitors();
  // The monitor object of a platform monitor handle, the list read again once when missing.
  TMonitor* FindMonitor(HMONITOR__* handle);
  std::vector<TCustomForm*> FForms;
  std::vector<TDataModule*> FDataModules;
  std::vector<std::unique_ptr<TMonitor>> FMonitors;
  std::unique_ptr<TStrings> FFonts;
  TCustomForm* FActiveForm = nullptr;
  TWinControl* FActiveControl = nullptr;
};

// The process's application and screen, made on first use.
TApplication* Application();
TScreen* Screen();
// Frees the application (and its forms) and the screen; programs and test mains call it
// before they return, while the rest of the host is still whole.
void KwDoneApplication();
// The application when one exists, without making one (null before and after).
TApplication* KwApplicationIfAny();

// The short part of a hint "short|long" and the long part (the whole text when no "|").
String GetShortHint(const String& hint);
String GetLongHint(const String& hint);

}  // namespace kw
