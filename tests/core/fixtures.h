// Library components for the core tests: a component and a window control with a link of any
// initialisation code, test application and form controllers behind the registration points,
// and a shared log. Real controllers belong to a later layer.
#pragma once

#include <memory>
#include <vector>

#include "core/Kwlinks.h"
#include "host/Forms.h"

namespace kw::coretest {

// What the fixtures did, in order.
std::vector<String>& Log();
// The log entries that start with prefix.
std::vector<String> LogOf(const String& prefix);

// A library component (a package, say) with a link of the code its Code property gives.
class TLinkComp : public TComponent {
  KW_CLASS(TLinkComp, TComponent)
  explicit TLinkComp(TComponent* owner, int code = 0);
  ~TLinkComp() override;
  int Code() const { return FLink ? FLink->CodInit() : -1; }
  void SetCode(int v) { FLink->SetCodInit(v); }
  bool ThrowOnInit() const { return FThrowOnInit; }
  void SetThrowOnInit(bool v) { FThrowOnInit = v; }
  TKwLinkEvt* Link() const { return FLink.get(); }
  void Loaded() override;
  void NotifyInit(TObject* sender);
  void NotifyEvt(int evt, void* data);
  void NotifyUpdate(TObject* sender);
  // Run from the destructor: a broadcast while the owner takes down its components.
  std::function<void()> OnDying;

private:
  std::unique_ptr<TKwLinkEvt> FLink;
  bool FThrowOnInit = false;
};

// A library control: hears broadcasts in NotifyEvt and in its window procedure.
class TLinkControl : public TCustomControl {
  KW_CLASS(TLinkControl, TCustomControl)
  explicit TLinkControl(TComponent* owner);
  ~TLinkControl() override;
  TKwLinkEvt* Link() const { return FLink.get(); }
  void Loaded() override;
  void NotifyInit(TObject* sender);
  void NotifyEvt(int evt, void* data);
  void WndProc(TMessage& message) override;

private:
  std::unique_ptr<TKwLinkEvt> FLink;
};

// The controllers the staged initialisation creates; each registers with its kind.
class TTestAppCtl : public TLinkComp {
  KW_CLASS(TTestAppCtl, TLinkComp)
  explicit TTestAppCtl(TComponent* owner);
  ~TTestAppCtl() override;
};

class TTestFormCtl : public TLinkComp {
  KW_CLASS(TTestFormCtl, TLinkComp)
  explicit TTestFormCtl(TComponent* owner);
  ~TTestFormCtl() override;
  bool Automatic = false;
};

struct TTestAppKind : TKwAppControllerKind {
  std::vector<TTestAppCtl*> Apps;
  bool TerminateOnInit = false;
  bool TerminateBefore = false;
  bool Exists() override { return !Apps.empty(); }
  void Create(TComponent* owner) override;
  void InitLoaded(bool& terminate) override;
  void BeforeLoaded(bool& terminate) override;
};

struct TTestFormKind : TKwFormControllerKind {
  std::vector<TTestFormCtl*> Controllers;
  std::vector<TComponent*> ExtClicks;
  TComponent* FindInForm(TCustomForm* form) override;
  TComponent* FindInControl(TControl* control) override;
  void CreateAutomatic(TCustomForm* form) override;
  void ExtClick(TComponent* clicked) override { ExtClicks.push_back(clicked); }
};

TTestAppKind& AppKind();
TTestFormKind& FormKind();

// Reads a form from its text.
std::unique_ptr<TForm> ReadForm(const char* text);

}  // namespace kw::coretest
