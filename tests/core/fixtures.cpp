// The core tests' library components and test controllers.
#include "tests/core/fixtures.h"

#include <algorithm>
#include <cstring>

#include "host/Filer.h"
#include "host/Formtext.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw::coretest {

std::vector<String>& Log() {
  static std::vector<String> log;
  return log;
}

std::vector<String> LogOf(const String& prefix) {
  std::vector<String> out;
  for (const String& s : Log())
    if (s.compare(0, prefix.size(), prefix) == 0) out.push_back(s);
  return out;
}

KW_BEGIN_CLASS(TLinkComp, TComponent) {
  b.Prop(L"Code", &TLinkComp::Code, &TLinkComp::SetCode).Default(0);
  b.Prop(L"ThrowOnInit", &TLinkComp::ThrowOnInit, &TLinkComp::SetThrowOnInit).Default(false);
}

TLinkComp::TLinkComp(TComponent* owner, int code) : TComponent(owner) {
  FLink = std::make_unique<TKwLinkEvt>(this, code);
  FLink->OnInit.Bind(this, &TLinkComp::NotifyInit);
  FLink->OnEvt.Bind(this, &TLinkComp::NotifyEvt);
  FLink->OnUpdate.Bind(this, &TLinkComp::NotifyUpdate);
}

TLinkComp::~TLinkComp() {
  if (OnDying) OnDying();
}

void TLinkComp::Loaded() {
  TComponent::Loaded();
  Log().push_back((KwProcessInitLinks ? L"loaded* " : L"loaded ") + Name());
  FLink->InitLinks();
}

void TLinkComp::NotifyInit(TObject* sender) {
  Log().push_back(L"init " + Name() + (sender == FLink.get() ? L"" : L" (wrong sender)"));
  if (FThrowOnInit) throw Exception(L"init of " + Name() + L" failed");
}

void TLinkComp::NotifyEvt(int evt, void*) { Log().push_back(L"evt " + Name() + L" " + IntToStr(evt)); }

void TLinkComp::NotifyUpdate(TObject*) { Log().push_back(L"update " + Name()); }

KW_REGISTER_CLASS(TLinkControl, TCustomControl)

TLinkControl::TLinkControl(TComponent* owner) : TCustomControl(owner) {
  FLink = std::make_unique<TKwLinkEvt>(this, KwInitControls);
  FLink->OnInit.Bind(this, &TLinkControl::NotifyInit);
  FLink->OnEvt.Bind(this, &TLinkControl::NotifyEvt);
}

TLinkControl::~TLinkControl() = default;

void TLinkControl::Loaded() {
  TCustomControl::Loaded();
  Log().push_back((KwProcessInitLinks ? L"loaded* " : L"loaded ") + Name());
  FLink->InitLinks();
}

void TLinkControl::NotifyInit(TObject*) { Log().push_back(L"init " + Name()); }

void TLinkControl::NotifyEvt(int evt, void*) { Log().push_back(L"evt " + Name() + L" " + IntToStr(evt)); }

void TLinkControl::WndProc(TMessage& message) {
  if (KwMasterMessage && message.Msg == KwMasterMessage)
    Log().push_back(L"wnd " + Name() + L" " + IntToStr(int(message.WParam)));
  TCustomControl::WndProc(message);
}

KW_REGISTER_CLASS(TTestAppCtl, TLinkComp)

TTestAppCtl::TTestAppCtl(TComponent* owner) : TLinkComp(owner, KwInitApplication) {
  AppKind().Apps.push_back(this);
}

TTestAppCtl::~TTestAppCtl() {
  auto& apps = AppKind().Apps;
  apps.erase(std::remove(apps.begin(), apps.end(), this), apps.end());
}

KW_REGISTER_CLASS(TTestFormCtl, TLinkComp)

TTestFormCtl::TTestFormCtl(TComponent* owner) : TLinkComp(owner, KwInitFormControllers) {
  FormKind().Controllers.push_back(this);
}

TTestFormCtl::~TTestFormCtl() {
  auto& list = FormKind().Controllers;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TTestAppKind::Create(TComponent* owner) {
  auto* app = new TTestAppCtl(owner);
  app->SetName(L"AutoApp");
  Log().push_back(L"create app");
}

void TTestAppKind::InitLoaded(bool& terminate) {
  Log().push_back(L"hook InitLoaded");
  if (TerminateOnInit) terminate = true;
}

void TTestAppKind::BeforeLoaded(bool& terminate) {
  Log().push_back(L"hook BeforeLoaded");
  if (TerminateBefore) terminate = true;
}

TComponent* TTestFormKind::FindInForm(TCustomForm* form) {
  for (TTestFormCtl* c : Controllers)
    if (c->Owner() == form) return c;
  return nullptr;
}

TComponent* TTestFormKind::FindInControl(TControl* control) {
  auto* form = dynamic_cast<TCustomForm*>(control);
  return FindInForm(form ? form : KwGetOwnerForm(control));
}

void TTestFormKind::CreateAutomatic(TCustomForm* form) {
  auto* c = new TTestFormCtl(form);
  c->SetName(L"AutoForm");
  c->Automatic = true;
  Log().push_back(L"create form controller");
}

TTestAppKind& AppKind() {
  static TTestAppKind kind;
  return kind;
}

TTestFormKind& FormKind() {
  static TTestFormKind kind;
  return kind;
}

std::unique_ptr<TForm> ReadForm(const char* text) {
  TBytesStream in(TBytes(text, text + std::strlen(text))), bin;
  ObjectTextToBinary(in, bin);
  bin.SetPosition(0);
  return std::unique_ptr<TForm>(dynamic_cast<TForm*>(bin.ReadComponent(nullptr)));
}

}  // namespace kw::coretest
