// Event-link benchmark over 10,000 links: one broadcast to every link beside a plain virtual
// call per object, one staged initialisation of 10,000 pending components, and one screen
// batch applying 10,000 changes. Prints "name: value unit" lines.
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/Kwlinks.h"
#include "host/Application.h"

using namespace kw;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kLinks = 10000;
constexpr int kRounds = 200;

double Ns(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::nano>(b - a).count();
}

long long GHeard = 0;

class TBenchComp : public TComponent {
public:
  explicit TBenchComp(TComponent* owner, int code) : TComponent(owner) {
    Link = std::make_unique<TKwLinkEvt>(this, code);
    Link->OnEvt.Bind(this, &TBenchComp::NotifyEvt);
    Link->OnUpdate.Bind(this, &TBenchComp::NotifyUpdate);
    Link->OnInit.Bind(this, &TBenchComp::NotifyInit);
  }
  void NotifyEvt(int evt, void*) { GHeard += evt; }
  void NotifyUpdate(TObject*) { ++GHeard; }
  void NotifyInit(TObject*) { ++GHeard; }
  void Loaded() override {
    TComponent::Loaded();
    Link->InitLinks();
  }
  std::unique_ptr<TKwLinkEvt> Link;
};

// The same work behind a plain virtual call, for the ratio.
struct TPlainBase {
  virtual ~TPlainBase() = default;
  virtual void Notify(int evt) = 0;
};
// Two kinds mixed, with bodies kept out of line, so the loop makes real indirect calls.
struct TPlain : TPlainBase {
  [[gnu::noinline]] void Notify(int evt) override { GHeard += evt; }
};
struct TPlainOther : TPlainBase {
  [[gnu::noinline]] void Notify(int evt) override { GHeard += evt + 1; }
};

}  // namespace

int wmain() {
  std::vector<TBenchComp*> comps;
  {
    TComponent owner(nullptr);
    for (int i = 0; i < kLinks; ++i) comps.push_back(new TBenchComp(&owner, i % 9));
    for (auto* c : comps) c->IncludeState(csLoading);

    // Staged initialisation: the first Loaded runs every stage over all pending links.
    auto t0 = Clock::now();
    comps[0]->Loaded();
    auto t1 = Clock::now();
    for (auto* c : comps) c->ExcludeState(csLoading);
    std::printf("initlinks_10000: %.3f ms\n", Ns(t0, t1) / 1e6);
    std::printf("initlinks_per_component: %.1f ns\n", Ns(t0, t1) / kLinks);

    t0 = Clock::now();
    for (int r = 0; r < kRounds; ++r) KwLinksPerform(KwEvtLockKey, 0);
    t1 = Clock::now();
    double perBroadcast = Ns(t0, t1) / kRounds;
    std::printf("links_perform_10000: %.3f ms\n", perBroadcast / 1e6);
    std::printf("links_perform_per_link: %.2f ns\n", perBroadcast / kLinks);

    std::vector<std::unique_ptr<TPlainBase>> plain;
      for (int i = 0; i < kLinks; ++i) {
      if (i % 2) plain.push_back(std::make_unique<TPlainOther>());
      else plain.push_back(std::make_unique<TPlain>());
    }
    t0 = Clock::now();
    for (int r = 0; r < kRounds; ++r)
      for (auto& p : plain) p->Notify(KwEvtLockKey);
    t1 = Clock::now();
    double perVirtual = Ns(t0, t1) / kRounds / kLinks;
    std::printf("virtual_call_per_object: %.2f ns\n", perVirtual);
    std::printf("broadcast_to_virtual_ratio: %.1f x\n", perBroadcast / kLinks / perVirtual);

    t0 = Clock::now();
    KwScreen->BeginUpdate();
    for (auto* c : comps) c->Link->Change();
    auto t2 = Clock::now();
    KwScreen->EndUpdate();
    t1 = Clock::now();
    std::printf("screen_batch_10000_changes: %.3f ms\n", Ns(t0, t1) / 1e6);
    std::printf("screen_batch_apply: %.3f ms\n", Ns(t2, t1) / 1e6);
    std::printf("screen_batch_per_change: %.1f ns\n", Ns(t0, t1) / kLinks);
  }
  std::printf("heard: %lld events\n", GHeard);
  KwDoneApplication();
  return 0;
}
