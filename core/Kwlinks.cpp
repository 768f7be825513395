// Event links, their two registries, the staged initialisation, the screen batch and the
// perform family. The message hooks and library start and end are in Kwhooks.cpp.
#include "core/Kwlinks.h"

#include <algorithm>

#include "host/Application.h"
#include "host/Forms.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_REGISTER_CLASS(TKwLinkEvt, TObject)
KW_REGISTER_CLASS(TKwScreen, TObject)

Cardinal KwMasterMessage = 0;
TKwLinkList* KwLinks = nullptr;
TKwLinkList* KwLinksPending = nullptr;
bool KwProcessInitLinks = false;
Cardinal KwInitLinksTick = 0;
TKwScreen* KwScreen = nullptr;

// A walk in progress over a link list; removals move it so no link is skipped or revisited.
struct TKwLinkWalk {
  TKwLinkList* List;
  int Index;
  int End;
  bool Backward;
};

namespace {

TKwAppControllerKind* GAppKind = nullptr;
TKwFormControllerKind* GFormKind = nullptr;
bool GFirstStartDone = false;
bool GFirstEndDone = false;
bool GTerminate = false;
// The link whose stage is running, cleared when it dies meanwhile.
TKwLinkEvt* GInitCurrent = nullptr;
// Copies of the link list that cancel mode walks; a dying link blanks itself in them.
std::vector<std::vector<TKwLinkEvt*>*> GSnapshots;

void FreeIfEmpty(TKwLinkList*& global) {
  TKwLinkList* list = global;
  if (list && list->Count() == 0 && list->Walks().empty()) {
    delete list;
    global = nullptr;
  }
}

// Visits the links of a list; links added meanwhile are left for the next walk.
template <class F>
void Walk(TKwLinkList*& global, bool backward, F&& visit) {
  TKwLinkList* list = global;
  if (!list) return;
  TKwLinkWalk walk{list, backward ? list->Count() - 1 : 0, list->Count(), backward};
  struct TGuard {
    TKwLinkList*& global;
    TKwLinkWalk& walk;
    std::vector<TKwLinkWalk*>& walks;
    ~TGuard() {
      walks.erase(std::find(walks.begin(), walks.end(), &walk));
      if (walks.empty() && walk.List->Count() == 0 && global == walk.List) {
        delete walk.List;
        global = nullptr;
      }
    }
  };
  auto& walks = list->Walks();
  walks.push_back(&walk);
  TGuard guard{global, walk, walks};
  if (backward) {
    for (; walk.Index >= 0; --walk.Index)
      if (walk.Index < list->Count()) visit(list->Items(walk.Index));
  } else {
    for (; walk.Index < walk.End; ++walk.Index) visit(list->Items(walk.Index));
  }
}

bool Designing(const TComponent* c) { return c && c->ComponentState().Contains(csDesigning); }
bool Destroying(const TComponent* c) { return c && c->ComponentState().Contains(csDestroying); }

void DetachFormHandlers() {
  TScreen* screen = Screen();
  for (int i = 0; i < screen->FormCount(); ++i) {
    screen->Forms(i)->OnCreate = nullptr;
    screen->Forms(i)->OnDestroy = nullptr;
  }
}

}  // namespace

// --- TKwLinkList -------------------------------------------------------------------------

int TKwLinkList::IndexOf(const TKwLinkEvt* link) const {
  for (int i = Count() - 1; i >= 0; --i)
    if (FItems[size_t(i)] == link) return i;
  return -1;
}

bool TKwLinkList::Remove(TKwLinkEvt* link) {
  int j = IndexOf(link);
  if (j < 0) return false;
  FItems.erase(FItems.begin() + j);
  for (TKwLinkWalk* w : FWalks) {
    if (w->Backward) {
      if (j < w->Index) --w->Index;
    } else {
      if (j < w->End) --w->End;
      if (j <= w->Index) --w->Index;
    }
  }
  return true;
}

// --- TKwLinkEvt ------------------------------------------------------------------------

TKwLinkEvt::TKwLinkEvt(TComponent* AOwner, int ACodInit)
    : FOwner(AOwner), FOwnerControl(dynamic_cast<TControl*>(AOwner)), FCodInit(ACodInit) {
  LinkEvt();
}

TKwLinkEvt::~TKwLinkEvt() {
  UnLinkEvt();
  if (GInitCurrent == this) GInitCurrent = nullptr;
  for (auto* snapshot : GSnapshots)
    std::replace(snapshot->begin(), snapshot->end(), this, static_cast<TKwLinkEvt*>(nullptr));
}

void TKwLinkEvt::LinkEvt() {
  if (!KwLinks) KwLinks = new TKwLinkList;
  if (!KwLinksPending) KwLinksPending = new TKwLinkList;
  KwLinks->Add(this);
  KwLinksPending->Add(this);
}

void TKwLinkEvt::UnLinkEvt() {
  if (KwLinks && KwLinks->Remove(this)) FreeIfEmpty(KwLinks);
  if (KwLinksPending && KwLinksPending->Remove(this)) FreeIfEmpty(KwLinksPending);
}

void TKwLinkEvt::Init() {
  if (KwLinksPending && KwLinksPending->Remove(this)) FreeIfEmpty(KwLinksPending);
}

void TKwLinkEvt::SetActive(bool value) {
  if (value == FActive) return;
  if (value) LinkEvt();
  else UnLinkEvt();
  FActive = value;
}

void TKwLinkEvt::SetCodInit(int value) {
  if (value == FCodInit) return;
  if (FActive) {
    UnLinkEvt();
    FCodInit = value;
    LinkEvt();
  } else {
    FCodInit = value;
  }
}

TCustomForm* TKwLinkEvt::GetParentForm() const {
  if (FOwnerControl) return KwGetOwnerForm(FOwnerControl);
  if (FOwner && FOwner->Owner()) return dynamic_cast<TCustomForm*>(FOwner->Owner());
  return nullptr;
}

TWinControl* TKwLinkEvt::GetParentWindow() const {
  return FOwnerControl ? FOwnerControl->Parent() : nullptr;
}

bool TKwLinkEvt::GetLoadingProps() const {
  return FCountLoading > 0 || (FOwner && FOwner->ComponentState().Contains(csLoading));
}

void TKwLinkEvt::EndLoading() {
  if (FCountLoading > 0) --FCountLoading;
}

void TKwLinkEvt::NotifyChange(TObject*) {
  if (GetLoadingProps()) return;
  FModified = true;
  DoUpdate();
}

void TKwLinkEvt::DoUpdate() {
  if (Destroying(FOwner)) return;
  if (KwScreen && !KwScreen->Update() && FActive) return;
  if (!FModified || !OnUpdate) return;
  // Cleared first: the handler may free the owner, and this link with it.
  FModified = false;
  OnUpdate(this);
}

void TKwLinkEvt::OwnerWndProc(int AEvt, void* AData) {
  FOwnerControl->Perform(KwMasterMessage, std::uintptr_t(AEvt), std::intptr_t(AData));
}

void TKwLinkEvt::DoEvt(int AEvt, void* AData) {
  if (!FActive || GetLoadingProps() || Destroying(FOwner)) return;
  if (!FOwnerControl) {
    OnEvt(AEvt, AData);
    return;
  }
  // The handler may free the control (and this link): its life token tells.
  std::weak_ptr<int> life = FOwnerControl->LifeToken();
  OnEvt(AEvt, AData);
  if (!life.expired()) OwnerWndProc(AEvt, AData);
}

void TKwLinkEvt::MsgEvt(int AEvt, void* AData) {
  if (!FOwnerControl) {
    OnEvt(AEvt, AData);
    return;
  }
  std::weak_ptr<int> life = FOwnerControl->LifeToken();
  OnEvt(AEvt, AData);
  if (!life.expired()) OwnerWndProc(AEvt, AData);
}

void TKwLinkEvt::DoInit() {
  if (FActive && OnInit) OnInit(this);
}

void TKwLinkEvt::DoCancelMode(TControl* Control, int AMessage) {
  if (FActive && OnCancelMode) OnCancelMode(Control, AMessage);
}

void TKwLinkEvt::NotifyInit(int ACodInit) {
  Walk(KwLinksPending, true, [ACodInit](TKwLinkEvt* link) {
    if (link->FCodInit != ACodInit) return;
    GInitCurrent = link;
    try {
      if (link->FOwner) link->FOwner->Loaded();
      if (GInitCurrent && ACodInit != 0) link->DoInit();
    } catch (...) {
      KwHandleCurrentException(GInitCurrent);
    }
    // A link that died in its owner's Loaded has left the list already.
    if (GInitCurrent) link->Init();
    GInitCurrent = nullptr;
  });
}

void TKwLinkEvt::InitLinks() {
  if (KwProcessInitLinks || !KwLinksPending || GTerminate) return;
  KwProcessInitLinks = true;
  struct TRunning {
    ~TRunning() { KwProcessInitLinks = false; }
  } running;
  const bool design = Designing(FOwner);
  if (!design && GAppKind && !GAppKind->Exists()) GAppKind->Create(GetParentForm());
  if (!design && GFormKind) {
    if (TCustomForm* form = GetParentForm())
      if (!GFormKind->FindInForm(form)) GFormKind->CreateAutomatic(form);
  }
  if (!GFirstStartDone) {
    GFirstStartDone = true;
    GTerminate = false;
    if (!design && GAppKind && GAppKind->Exists()) GAppKind->InitLoaded(GTerminate);
    if (GTerminate) {
      Application()->Terminate();
      DetachFormHandlers();
      return;
    }
  }
  for (int code : {KwInitStrings, KwInitImages, KwInitApplication, KwInitVariables, KwInitPrivileges,
                   KwInitFormControllers, KwInitControls, KwInitTimers, KwInitOtherPackages})
    NotifyInit(code);
  KwProcessInitLinks = false;
  if (!GFirstEndDone) {
    GFirstEndDone = true;
    KwInitLinksTick = Cardinal(GetTickCount());
    GTerminate = false;
    if (!design && GAppKind && GAppKind->Exists()) GAppKind->BeforeLoaded(GTerminate);
    if (GTerminate) {
      Application()->Terminate();
      DetachFormHandlers();
    }
  }
}

void KwResetFirstInitLinks() {
  GFirstStartDone = false;
  GFirstEndDone = false;
  GTerminate = false;
  KwInitLinksTick = 0;
}

void KwRegisterAppControllerKind(TKwAppControllerKind* kind) { GAppKind = kind; }
void KwRegisterFormControllerKind(TKwFormControllerKind* kind) { GFormKind = kind; }
TKwAppControllerKind* KwAppControllerKind() { return GAppKind; }
TKwFormControllerKind* KwFormControllerKind() { return GFormKind; }

// --- TKwScreen -------------------------------------------------------------------------

void TKwScreen::BeginUpdate() {
  if (!FApply) ++FCountBeginUpdate;
}

void TKwScreen::EndUpdate() {
  if (FApply || FCountBeginUpdate <= 0) return;
  --FCountBeginUpdate;
  if (FCountBeginUpdate != 0) return;
  TApplication* app = KwApplicationIfAny();
  if (app && app->ComponentState().Contains(csDestroying)) return;
  ApplyChanges();
}

void TKwScreen::ApplyChanges() {
  FApply = true;
  struct TApplying {
    bool& flag;
    ~TApplying() { flag = false; }
  } applying{FApply};
  Walk(KwLinks, false, [](TKwLinkEvt* link) {
    if (link->Modified()) link->DoUpdate();
  });
}

// --- The perform family ----------------------------------------------------------------

void KwPerform(TControl* control, int code, std::intptr_t data) {
  if (control) control->Perform(KwMasterMessage, std::uintptr_t(code), data);
}

void KwControlsPerform(TWinControl* control, int code, std::intptr_t data) {
  if (!control) return;
  for (int i = 0; i < control->ControlCount(); ++i) KwPerform(control->Controls(i), code, data);
}

void KwFormPerform(TCustomForm* form, int code, std::intptr_t data) {
  if (!form) return;
  KwPerform(form, code, data);
  Walk(KwLinks, false, [form, code, data](TKwLinkEvt* link) {
    if (link->GetParentForm() == form) link->DoEvt(code, reinterpret_cast<void*>(data));
  });
}

void KwFormsPerform(int code, std::intptr_t data) {
  TScreen* screen = Screen();
  for (int i = 0; i < screen->FormCount(); ++i) KwPerform(screen->Forms(i), code, data);
}

void KwGlobalPerform(int code, std::intptr_t data) {
  TScreen* screen = Screen();
  for (int i = 0; i < screen->FormCount(); ++i) KwFormPerform(screen->Forms(i), code, data);
}

void KwLinksPerform(int code, std::intptr_t data) {
  Walk(KwLinks, false, [code, data](TKwLinkEvt* link) { link->DoEvt(code, reinterpret_cast<void*>(data)); });
}

void KwActiveControl(TControl* control) {
  if (!control) return;
  if (control->Parent()) KwActiveControl(control->Parent());
  control->Perform(KwMasterMessage, std::uintptr_t(KwEvtActiveControl), 0);
}

void KwNotifyCancelMode(TControl* control, int message) {
  if (!KwLinks) return;
  std::vector<TKwLinkEvt*> copy;
  for (TKwLinkEvt* link : KwLinks->List())
    if (link->OnCancelMode) copy.push_back(link);
  GSnapshots.push_back(&copy);
  struct TPop {
    ~TPop() { GSnapshots.pop_back(); }
  } pop;
  // A handler may free the clicked control too: later handlers then hear of no control.
  std::weak_ptr<int> life;
  if (control) life = control->LifeToken();
  for (size_t i = 0; i < copy.size(); ++i) {
    TKwLinkEvt* link = copy[i];
    if (!link || !link->OnCancelMode) continue;
    link->DoCancelMode(control && !life.expired() ? control : nullptr, message);
  }
}

TCustomForm* KwGetOwnerForm(const TControl* control) {
  if (!control) return nullptr;
  for (TWinControl* p = control->Parent(); p; p = p->Parent())
    if (auto* form = dynamic_cast<TCustomForm*>(p)) return form;
  return nullptr;
}

}  // namespace kw
