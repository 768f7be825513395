// Timers: ticks arrive through the thread's message loop, stop when disabled or freed,
// start after a stream is loaded, and an exception in a tick is reported, not thrown.
#include <gtest/gtest.h>

#include "host/Filer.h"
#include "host/Timers.h"
#include "host/Win.h"

using namespace kw;

namespace {

// Pumps this thread's messages until the predicate holds or the time is up.
template <class F>
bool PumpUntil(F&& done, DWORD ms) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(1);
  }
  return true;
}

int GReported = 0;
void CountReport(TObject*) { ++GReported; }

}  // namespace

TEST(Timers, TicksThroughTheMessageLoopAndStopWhenDisabled) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(10);
  EXPECT_FALSE(timer.Running());  // no handler yet
  timer.SetOnTimer([&](TObject* sender) {
    EXPECT_EQ(sender, &timer);
    ++ticks;
  });
  EXPECT_TRUE(timer.Running());
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 3000));
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Running());
  int stopped = ticks;
  PumpUntil([] { return false; }, 60);
  EXPECT_EQ(ticks, stopped);
}

TEST(Timers, AFreedTimerNeverTicksAgain) {
  int ticks = 0;
  auto* timer = new TTimer(nullptr);
  timer->SetInterval(5);
  timer->SetOnTimer([&](TObject*) { ++ticks; });
  delete timer;
  PumpUntil([] { return false; }, 60);
  EXPECT_EQ(ticks, 0);
}

TEST(Timers, AnExceptionInATickIsReportedAndTheTimerGoesOn) {
  GReported = 0;
  auto old = ApplicationHandleException;
  ApplicationHandleException = &CountReport;
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(5);
  timer.SetOnTimer([&](TObject*) {
    ++ticks;
    throw Exception(L"tick failed");
  });
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 2; }, 3000));
  ApplicationHandleException = old;
  EXPECT_GE(GReported, 2);
}

TEST(Timers, StreamedTimerKeepsItsSettingsAndWaitsForLoading) {
  TComponent root(nullptr);
  root.SetName(L"Root");
  auto* t = new TTimer(&root);
  t->SetName(L"T1");
  t->SetInterval(250);
  t->SetEnabled(false);
  TMemoryStream s;
  s.WriteComponent(&root);
  s.SetPosition(0);
  std::unique_ptr<TComponent> copy(s.ReadComponent(nullptr));
  auto* t2 = dynamic_cast<TTimer*>(copy->FindComponent(L"T1"));
  ASSERT_NE(t2, nullptr);
  EXPECT_EQ(t2->Interval(), 250u);
  EXPECT_FALSE(t2->Enabled());
  EXPECT_FALSE(t2->Running());
}
