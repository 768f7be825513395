// Event links: the registry of every library component (TKwLinkEvt, KwLinks, KwLinksPending),
// the staged initialisation, the screen batch (KwScreen), the KwPerform family, the library
// event codes and the message hooks. The controllers, menus, scroll boxes and hint receivers
// the hooks and the staged initialisation reach belong to later units: they fill the
// registration points declared here.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/Classes.h"

struct HWND__;

namespace kw {

class TControl;
class TWinControl;
class TCustomForm;
class TKwLinkEvt;
struct TKwLinkWalk;

// The library's private window message ("__Kw_MessageMaster__"): WParam the event code,
// LParam the data. Registered by KwInitMainUnit.
extern Cardinal KwMasterMessage;

// Library event codes (WParam of KwMasterMessage, AEvt of OnEvt).
constexpr int KwEvtWakeUp = 0;
constexpr int KwEvtInsertKey = 2;
constexpr int KwEvtLocale = 3;
constexpr int KwEvtCheckPending = 4;
constexpr int KwEvtAskBackGround = 5;
constexpr int KwEvtBackGroundChanged = 6;
constexpr int KwEvtLockKey = 7;
constexpr int KwEvtRefAdjust = 8;
constexpr int KwEvtRequiredMissing = 9;
constexpr int KwEvtStringPackages = 10;
constexpr int KwEvtImagePackages = 11;
constexpr int KwEvtVarsPackages = 12;
constexpr int KwEvtAppController = 16;
constexpr int KwEvtPosSize = 17;
constexpr int KwEvtSaveState = 23;
constexpr int KwEvtLoadState = 24;
constexpr int KwEvtRecreateMDIChild = 25;
constexpr int KwEvtLabelClick = 26;
constexpr int KwEvtRecreate = 30;
constexpr int KwEvtPrivileges = 31;
constexpr int KwEvtSetsGroup = 33;
constexpr int KwEvtTipsChanged = 34;
constexpr int KwEvtCompanionGone = 35;
constexpr int KwEvtDatabaseSettings = 37;
constexpr int KwEvtScrollBarSkin = 38;
constexpr int KwEvtKeepEnter = 39;
constexpr int KwEvtActiveControl = 40;
constexpr int KwEvtMainButtonsSkin = 41;
constexpr int KwEvtActiveControlSaved = 43;
constexpr int KwEvtCommonWindowsSkin = 44;
constexpr int KwEvtFocusGroup = 45;
constexpr int KwEvtFocusGroupNext = 46;
constexpr int KwEvtFocusGroupPrior = 47;
constexpr int KwEvtHint = 48;
constexpr int KwEvtHintsSkin = 49;
constexpr int KwEvtPrivilegesList = 50;
constexpr int KwEvtPrivilegeItem = 51;
constexpr int KwEvtDeleteShortcut = 66;

// Initialisation codes: the stage in which a component is initialised.
constexpr int KwInitOtherPackages = 0;
constexpr int KwInitApplication = 1;
constexpr int KwInitStrings = 2;
constexpr int KwInitImages = 3;
constexpr int KwInitVariables = 4;
constexpr int KwInitPrivileges = 5;
constexpr int KwInitFormControllers = 6;
constexpr int KwInitControls = 7;
constexpr int KwInitTimers = 8;

using TKwLinkEvtNotifyEvt = TEvent<void(int AEvt, void* AData)>;
using TKwLinkEvtNotifyCancelMode = TEvent<void(TObject* Sender, int AMessage)>;

// An ordered list of links. Walks over it survive links leaving it (or being destroyed)
// meanwhile: the walk's place moves with the removal, and the list is not freed under a walk.
class TKwLinkList {
public:
  int Count() const { return int(FItems.size()); }
  TKwLinkEvt* Items(int index) const { return FItems.at(size_t(index)); }
  int IndexOf(const TKwLinkEvt* link) const;
  const std::vector<TKwLinkEvt*>& List() const { return FItems; }
  // The walks now running over the list (kept by the walks themselves).
  std::vector<TKwLinkWalk*>& Walks() { return FWalks; }

private:
  friend class TKwLinkEvt;
  void Add(TKwLinkEvt* link) { FItems.push_back(link); }
  // False when the link was not in the list.
  bool Remove(TKwLinkEvt* link);
  std::vector<TKwLinkEvt*> FItems;
  std::vector<TKwLinkWalk*> FWalks;
};

// Every registered link, in registration order; null while there is none.
extern TKwLinkList* KwLinks;
// The links still waiting for their initialisation stage; null while there is none.
extern TKwLinkList* KwLinksPending;
// True while the staged initialisation runs.
extern bool KwProcessInitLinks;
// The system tick count at the end of the first complete staged initialisation (0 before).
extern Cardinal KwInitLinksTick;

class TKwLinkEvt : public TObject {
  KW_CLASS(TKwLinkEvt, TObject)
  TKwLinkEvt(TComponent* AOwner, int ACodInit);
  ~TKwLinkEvt() override;

  TComponent* Owner() const { return FOwner; }
  bool Active() const { return FActive; }
  void SetActive(bool value);
  int CodInit() const { return FCodInit; }
  void SetCodInit(int value);
  bool Modified() const { return FModified; }
  void SetModified(bool value) { FModified = value; }
  TCustomForm* ParentForm() const { return GetParentForm(); }
  TWinControl* ParentWindow() const { return GetParentWindow(); }
  bool LoadingProps() const { return GetLoadingProps(); }

  void LinkEvt();
  void UnLinkEvt();
  // Leaves the pending list for good: the owner initialises itself.
  void Init();
  TCustomForm* GetParentForm() const;
  TWinControl* GetParentWindow() const;
  bool GetLoadingProps() const;
  // The loading state of a component that may have no link (yet, or any more).
  static bool LoadingPropsOf(const TKwLinkEvt* link) { return !link || link->GetLoadingProps(); }
  void BeginLoading() { ++FCountLoading; }
  void EndLoading();
  int CountLoading() const { return FCountLoading; }

  void Change() { NotifyChange(nullptr); }
  void NotifyChange(TObject* Sender);
  void DoUpdate();
  void DoEvt(int AEvt, void* AData);
  void MsgEvt(int AEvt, void* AData);
  void DoInit();
  void DoCancelMode(TControl* Control, int AMessage);

  // Runs one initialisation stage over the pending links.
  static void NotifyInit(int ACodInit);
  // The staged initialisation; components call it from Loaded, after the inherited Loaded.
  void InitLinks();

  TNotifyEvent OnUpdate;
  TKwLinkEvtNotifyEvt OnEvt;
  TNotifyEvent OnInit;
  TKwLinkEvtNotifyCancelMode OnCancelMode;

private:
  void OwnerWndProc(int AEvt, void* AData);
  TComponent* FOwner;
  TControl* FOwnerControl;  // the owner when it is a control, found once
  bool FActive = true;
  int FCodInit;
  bool FModified = false;
  int FCountLoading = 0;
};

// The screen batch: updates of active links wait until the outermost EndUpdate.
class TKwScreen : public TObject {
  KW_CLASS(TKwScreen, TObject)
  void BeginUpdate();
  void EndUpdate();
  // True when no batch is open.
  bool Update() const { return FCountBeginUpdate == 0; }
  void ApplyChanges();
  int CountBeginUpdate() const { return FCountBeginUpdate; }

private:
  int FCountBeginUpdate = 0;
  bool FApply = false;
};

extern TKwScreen* KwScreen;

// The perform family.
void KwPerform(TControl* control, int code, std::intptr_t data = 0);
void KwControlsPerform(TWinControl* control, int code, std::intptr_t data = 0);
void KwFormPerform(TCustomForm* form, int code, std::intptr_t data = 0);
void KwFormsPerform(int code, std::intptr_t data = 0);
void KwGlobalPerform(int code, std::intptr_t data = 0);
void KwLinksPerform(int code, std::intptr_t data = 0);
void KwActiveControl(TControl* control);
void KwNotifyCancelMode(TControl* control, int message);

// The nearest form among the control's ancestors (its parent first); null when none.
TCustomForm* KwGetOwnerForm(const TControl* control);

// Library start and end: the master message, KwScreen and the two message hooks of the
// calling thread. Both are idempotent; start runs when the program loads the library.
void KwInitMainUnit();
void KwEndMainUnit();
// A unit above core that starts and ends with the library: init runs in KwInitMainUnit (at
// once when the library has started already), end in KwEndMainUnit, the last added first.
void KwAddUnit(void (*init)(), void (*end)());

// A screen batch for a scope (KwScreen's BeginUpdate and EndUpdate); nothing without KwScreen.
class TKwScreenBatch {
public:
  TKwScreenBatch();
  ~TKwScreenBatch();
  TKwScreenBatch(const TKwScreenBatch&) = delete;
  TKwScreenBatch& operator=(const TKwScreenBatch&) = delete;

private:
  bool FOpen = false;
};
bool KwHooksInstalled();

// Lets another batch of loaded components count as the process's first (the start and end
// hooks run again): for programs that restart their application object, and for tests.
void KwResetFirstInitLinks();

// Registration points filled by the controller units.
class TKwAppControllerKind {
public:
  virtual ~TKwAppControllerKind() = default;
  // Whether any application controller exists.
  virtual bool Exists() = 0;
  // Creates an application controller owned by owner (which may be null).
  virtual void Create(TComponent* owner) = 0;
  // The application controller's start hook (OnInitLoaded) and end hook (OnBeforeLoaded),
  // each called only when assigned; either may set terminate.
  virtual void InitLoaded(bool& terminate) = 0;
  virtual void BeforeLoaded(bool& terminate) = 0;
};

class TKwFormControllerKind {
public:
  virtual ~TKwFormControllerKind() = default;
  virtual TComponent* FindInForm(TCustomForm* form) = 0;
  virtual TComponent* FindInControl(TControl* control) = 0;
  // Creates the controller a form gets automatically (it does not free the form on close).
  virtual void CreateAutomatic(TCustomForm* form) = 0;
  // A click anywhere: every form controller hears of it with the clicked form's controller.
  virtual void ExtClick(TComponent* clicked) = 0;
};

// Not owned; null unregisters.
void KwRegisterAppControllerKind(TKwAppControllerKind* kind);
void KwRegisterFormControllerKind(TKwFormControllerKind* kind);
TKwAppControllerKind* KwAppControllerKind();
TKwFormControllerKind* KwFormControllerKind();

// What the get-message hook hands to later units.
struct TKwHookTargets {
  // A mouse move: refresh hint receivers (KwUpdateHints).
  std::function<void()> UpdateHints;
  // A wheel message over control (of window wnd): true when a library menu took it.
  std::function<bool(TControl* control, HWND__* wnd, std::uintptr_t wp, std::intptr_t lp)> MenuWheel;
  // The library scroll box that takes the wheel for control, or null.
  std::function<TControl*(TControl* control)> WheelScrollBox;
  // Hands the wheel to the scroll box.
  std::function<void(TControl* box, std::uintptr_t wp, std::intptr_t lp)> WheelMessage;
};
TKwHookTargets& KwHookTargets();

}  // namespace kw
