// The gallery's page of staged initialisation: controls that take their captions from a text
// store initialised in an earlier stage (though made after them), and a host label that a
// library timer updates until it stops itself. Skinned controls are not shown here.
#include <map>

#include "core/Kwtimer.h"
#include "examples/gallery/Gallery.h"
#include "host/ExtCtrls.h"
#include "host/StdCtrls.h"
#include "host/Sysutils.h"

namespace kw::gallery {

namespace {

const wchar_t* const kNotReady = L"(texts not ready)";

// Fills itself in the strings stage, as a string package loads its file there.
class TStageTexts : public TComponent {
public:
  explicit TStageTexts(TComponent* owner) : TComponent(owner), FLink(this, KwInitStrings) {
    FLink.OnInit.Bind(this, &TStageTexts::NotifyInit);
  }
  void Loaded() override {
    TComponent::Loaded();
    FLink.InitLinks();
  }
  void NotifyInit(TObject*) {
    FTexts[L"Title"] = L"Captions taken from a stage-2 component";
    FTexts[L"Panel"] = L"Panel of stage 7";
    FTexts[L"Button"] = L"Button of stage 7";
  }
  String Text(const String& name) const {
    auto it = FTexts.find(name);
    return it == FTexts.end() ? String(kNotReady) : it->second;
  }

private:
  TKwLinkEvt FLink;
  std::map<String, String> FTexts;
};

String TextFor(TControl* control, const String& name) {
  if (TComponent* owner = control->Owner())
    for (int i = 0; i < owner->ComponentCount(); ++i)
      if (auto* texts = dynamic_cast<TStageTexts*>(owner->Components(i))) return texts->Text(name);
  return kNotReady;
}

// A host control of the controls stage that asks the text store for its caption.
template <class Base>
class TStageControl : public Base {
public:
  explicit TStageControl(TComponent* owner) : Base(owner), FLink(this, KwInitControls) {
    FLink.OnInit.Bind(this, &TStageControl::NotifyInit);
  }
  void Loaded() override {
    Base::Loaded();
    FLink.InitLinks();
  }
  void NotifyInit(TObject*) { this->SetCaption(TextFor(this, this->Name().substr(5))); }

private:
  TKwLinkEvt FLink;
};

TForm* LinksForm() {
  TForm* f = NewForm(L"Links", L"Staged initialisation", 360, 170);
  // Made in the order a form stream would hold them: the controls before their text store.
  auto* title = Put<TStageControl<TLabel>>(f, L"StageTitle", 10, 10, 340, 16);
  title->Font()->SetStyle({fsBold});
  auto* panel = Put<TStageControl<TPanel>>(f, L"StagePanel", 10, 40, 160, 60);
  auto* button = Put<TStageControl<TButton>>(f, L"StageButton", 190, 40, 150, 25);
  auto* ticks = Put<TLabel>(f, L"TimerLabel", 10, 120, 200, 16);
  ticks->SetCaption(L"Timer not started");
  auto* timer = new TKwTimer(f);
  timer->SetName(L"Timer");
  auto* texts = new TStageTexts(f);
  texts->SetName(L"Texts");
  std::vector<TComponent*> streamed = {title, panel, button, timer, texts};
  for (TComponent* c : streamed) c->IncludeState(csLoading);
  timer->SetInterval(150);
  timer->SetEnabled(true);  // kept for stage 8, as a streamed value would be
  auto count = std::make_shared<int>(0);
  timer->OnTimer = [ticks, count](TObject* sender) {
    if (++*count < 3) {
      ticks->SetCaption(L"Timer ticks: " + IntToStr(*count));
      return;
    }
    ticks->SetCaption(L"Timer stopped after " + IntToStr(*count) + L" ticks");
    static_cast<TKwTimer*>(sender)->SetEnabled(false);
  };
  // The reader's Loaded calls; the first runs every stage.
  for (TComponent* c : streamed) c->Loaded();
  return f;
}

PageRegistration linksPage(50, LinksForm);

}  // namespace

}  // namespace kw::gallery
