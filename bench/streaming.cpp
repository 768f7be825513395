// Writes and reads a form of 10,000 components, and copies the same stream byte for byte, in
// one run, so the ratios are measured side by side. Prints "name: value unit" lines.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "host/Filer.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw {

enum TBenchKind { bkPlain, bkBold, bkFramed };
KW_DECLARE_ENUM(TBenchKind)

class TBenchPart : public TComponent {
  KW_CLASS(TBenchPart, TComponent)
  explicit TBenchPart(TComponent* owner) : TComponent(owner) {}
  int Left() const { return FLeft; }
  void SetLeft(int v) { FLeft = v; }
  int Top() const { return FTop; }
  void SetTop(int v) { FTop = v; }
  const String& Caption() const { return FCaption; }
  void SetCaption(const String& v) { FCaption = v; }
  TBenchKind Kind() const { return FKind; }
  void SetKind(TBenchKind v) { FKind = v; }
  double Weight() const { return FWeight; }
  void SetWeight(double v) { FWeight = v; }
  TBenchPart* Link() const { return FLink; }
  void SetLink(TBenchPart* v) { FLink = v; }

private:
  int FLeft = 0, FTop = 0;
  String FCaption;
  TBenchKind FKind = bkPlain;
  double FWeight = 0;
  TBenchPart* FLink = nullptr;
};

KW_DEFINE_ENUM(TBenchKind, L"bkPlain", L"bkBold", L"bkFramed")
KW_BEGIN_CLASS(TBenchPart, TComponent) {
  b.Prop(L"Left", &TBenchPart::Left, &TBenchPart::SetLeft).Default(0);
  b.Prop(L"Top", &TBenchPart::Top, &TBenchPart::SetTop).Default(0);
  b.Prop(L"Caption", &TBenchPart::Caption, &TBenchPart::SetCaption);
  b.Prop(L"Kind", &TBenchPart::Kind, &TBenchPart::SetKind).Default(bkPlain);
  b.Prop(L"Weight", &TBenchPart::Weight, &TBenchPart::SetWeight);
  b.Prop(L"Link", &TBenchPart::Link, &TBenchPart::SetLink);
}

}  // namespace kw

using namespace kw;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The best of several rounds: the machine is shared and noisy.
template <class F>
double Best(int rounds, F&& f) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    auto t0 = Clock::now();
    f();
    best = std::min(best, Ms(Clock::now() - t0));
  }
  return best;
}

}  // namespace

int wmain() {
  const int count = 10000;
  TComponent root(nullptr);
  root.SetName(L"BenchForm");
  std::vector<TBenchPart*> parts;
  for (int i = 0; i < count; ++i) {
    auto* p = new TBenchPart(&root);
    p->SetName(L"Part" + IntToStr(Int64(i)));
    p->SetLeft(i % 800);
    p->SetTop(i / 800 * 20);
    p->SetCaption(L"Caption of part " + IntToStr(Int64(i)));
    p->SetKind(TBenchKind(i % 3));
    p->SetWeight(i * 0.25);
    if (i) p->SetLink(parts[size_t(i) / 2]);
    parts.push_back(p);
  }
  TMemoryStream stream;
  double writeMs = Best(5, [&] {
    stream.Clear();
    stream.WriteComponent(&root);
  });
  double freeMs = 0;
  double readMs = Best(5, [&] {
    stream.SetPosition(0);
    TComponent* copy = stream.ReadComponent(nullptr);
    auto t0 = Clock::now();
    copy->Free();
    freeMs = Ms(Clock::now() - t0);
  }) - freeMs;
  TMemoryStream target;
  double copyMs = Best(20, [&] {
    target.Clear();
    target.CopyFrom(stream, 0);
  });
  std::printf("components: %d count\n", count);
  std::printf("stream_size: %lld bytes\n", static_cast<long long>(stream.Size()));
  std::printf("write_form: %.2f ms\n", writeMs);
  std::printf("read_form: %.2f ms\n", readMs);
  std::printf("free_form: %.2f ms\n", freeMs);
  std::printf("byte_copy: %.3f ms\n", copyMs);
  std::printf("write_to_copy_ratio: %.1f x\n", writeMs / copyMs);
  std::printf("read_to_copy_ratio: %.1f x\n", readMs / copyMs);
  return 0;
}
