// Timers: TKwTimer instances sharing one system timer, handlers that free timers, interval
// changes, and thread timers on the main thread or their own, stopped from inside OnTimer and
// made and destroyed in a loop. Timing is checked by order and generous counts only.
#include <gtest/gtest.h>

#include <atomic>

#include "core/Kwtimer.h"
#include "host/Application.h"
#include "host/Win.h"
#include "tests/support/Input.h"

using namespace kw;
namespace ts = kw::testsupport;

namespace {

TKwTimer* MakeTimer(TComponent* owner, int interval, std::vector<char>& log, char tag) {
  auto* t = new TKwTimer(owner);
  t->SetInterval(interval);
  t->OnTimer = [&log, tag](TObject*) { log.push_back(tag); };
  return t;
}

}  // namespace

TEST(KwTimer, InstancesShareOneSystemTimerAndFireInTheirSequence) {
  std::vector<char> log;
  TComponent owner(nullptr);
  TKwTimer* a = MakeTimer(&owner, 100, log, 'a');
  TKwTimer* b = MakeTimer(&owner, 250, log, 'b');
  EXPECT_FALSE(a->Enabled()) << "a timer made in code starts disabled";
  EXPECT_EQ(KwTimerSystemId(), 0u);
  a->SetEnabled(true);
  b->SetEnabled(true);
  UInt64 id = KwTimerSystemId();
  EXPECT_NE(id, 0u);
  ASSERT_TRUE(ts::PumpUntil([&] { return std::count(log.begin(), log.end(), 'b') >= 3; }, 10000));
  int na = int(std::count(log.begin(), log.end(), 'a'));
  int nb = int(std::count(log.begin(), log.end(), 'b'));
  EXPECT_EQ(log[0], 'a') << "100 ms comes before 250 ms";
  EXPECT_GT(na, nb);
  EXPECT_LE(na, 4 * nb + 4);
  a->SetEnabled(false);
  b->SetEnabled(false);
  EXPECT_EQ(KwTimerSystemId(), 0u) << "no enabled instance: nothing armed";
  size_t before = log.size();
  ts::Pump(300);
  EXPECT_EQ(log.size(), before);
}

TEST(KwTimer, AHandlerThatFreesItsTimerLeavesTheOthersFiring) {
  std::vector<char> log;
  TComponent owner(nullptr);
  TKwTimer* self = MakeTimer(&owner, 30, log, 's');
  TKwTimer* other = MakeTimer(&owner, 40, log, 'o');
  self->OnTimer = [&](TObject* sender) {
    log.push_back('s');
    delete static_cast<TKwTimer*>(sender);
  };
  self->SetEnabled(true);
  other->SetEnabled(true);
  ASSERT_TRUE(ts::PumpUntil([&] { return std::count(log.begin(), log.end(), 'o') >= 4; }, 10000));
  EXPECT_EQ(std::count(log.begin(), log.end(), 's'), 1);
  EXPECT_EQ(KwTimerCount(), 1);
}

TEST(KwTimer, ChangingTheIntervalRestartsTheCount) {
  std::vector<char> log;
  TComponent owner(nullptr);
  TKwTimer* t = MakeTimer(&owner, 1000, log, 't');
  t->SetEnabled(true);
  ts::Pump(600);
  ASSERT_TRUE(log.empty());
  t->SetInterval(900);
  EXPECT_LT(t->Count(), 100) << "the 600 ms counted so far are dropped";
  // Without the restart the 600 ms already counted would make it fire within 300 ms.
  ts::Pump(450);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(ts::PumpUntil([&] { return !log.empty(); }, 5000));
}

namespace {

// Pumps as the application's loop does, synchronised calls included.
bool Serve(const std::function<bool()>& done, unsigned ms = 10000) {
  return ts::PumpUntil([&] {
    CheckSynchronize();
    return done();
  }, ms);
}

bool WorkersGone() {
  return Serve([] { return TKwThTimer::LiveCount() == 0; });
}

}  // namespace

TEST(KwThreadTimer, SynchronisedTicksRunOnTheMainThread) {
  std::vector<DWORD> threads;
  {
    TKwThreadTimer t(nullptr);
    t.SetInterval(15);
    t.OnTimer = [&](TObject*) { threads.push_back(GetCurrentThreadId()); };
    t.SetEnabled(true);
    ASSERT_NE(t.Thread(), nullptr);
    ASSERT_TRUE(Serve([&] { return threads.size() >= 3; }));
    for (DWORD id : threads) EXPECT_EQ(id, GetCurrentThreadId());
  }
  EXPECT_TRUE(WorkersGone());
}

TEST(KwThreadTimer, UnsynchronisedTicksRunOnTheWorker) {
  std::atomic<int> ticks{0};
  std::atomic<DWORD> where{0};
  {
    TKwThreadTimer t(nullptr);
    t.SetSynchronize(false);
    t.SetInterval(10);
    t.OnTimer = [&](TObject*) {
      where = GetCurrentThreadId();
      ++ticks;
    };
    t.SetEnabled(true);
    for (int i = 0; i < 1000 && ticks < 3; ++i) Sleep(10);
    ASSERT_GE(ticks.load(), 3);
    EXPECT_NE(where.load(), GetCurrentThreadId());
  }
  int after = ticks;
  Sleep(50);
  EXPECT_EQ(ticks.load(), after) << "no tick after the timer is gone";
  EXPECT_TRUE(WorkersGone());
}

TEST(KwThreadTimer, DisablingFromOnTimerEndsTheWorker) {
  for (bool sync : {true, false}) {
    SCOPED_TRACE(sync ? "synchronised" : "on the worker");
    std::atomic<int> ticks{0};
    TKwThreadTimer t(nullptr);
    t.SetSynchronize(sync);
    t.SetInterval(10);
    t.OnTimer = [&](TObject* sender) {
      ++ticks;
      static_cast<TKwThreadTimer*>(sender)->SetEnabled(false);
    };
    t.SetEnabled(true);
    ASSERT_TRUE(Serve([&] { return ticks >= 1; }));
    ASSERT_TRUE(Serve([&] { return !t.Thread() || t.Thread()->Finished(); }));
    Serve([] { return false; }, 100);
    EXPECT_EQ(ticks.load(), 1);
    EXPECT_FALSE(t.Enabled());
    // Enabled again, it ticks again on a new worker.
    t.OnTimer = [&](TObject*) { ++ticks; };
    t.SetEnabled(true);
    EXPECT_TRUE(Serve([&] { return ticks >= 3; }));
    t.SetEnabled(false);
    EXPECT_TRUE(Serve([&] { return !t.Thread() || t.Thread()->Finished(); }));
  }
  EXPECT_TRUE(WorkersGone());
}

TEST(KwThreadTimer, ATimerFreedByItsOwnHandlerDoesNotDeadlock) {
  bool freed = false;
  auto* t = new TKwThreadTimer(nullptr);
  t->SetInterval(10);
  t->OnTimer = [&](TObject* sender) {
    freed = true;
    delete static_cast<TKwThreadTimer*>(sender);
  };
  t->SetEnabled(true);
  ASSERT_TRUE(Serve([&] { return freed; }));
  EXPECT_TRUE(WorkersGone()) << "the worker ends by itself";
}

TEST(KwThreadTimer, NoIntervalMeansNoThread) {
  TKwThreadTimer t(nullptr);
  t.SetInterval(0);
  t.SetEnabled(true);
  EXPECT_EQ(t.Thread(), nullptr);
  EXPECT_TRUE(t.GetTerminated());
  t.SetInterval(20);
  EXPECT_NE(t.Thread(), nullptr) << "a positive interval starts the enabled timer";
  t.SetInterval(0);
  EXPECT_EQ(t.Thread(), nullptr);
}

TEST(KwThreadTimer, TwoHundredCyclesLeaveNoThreadBehind) {
  DWORD handlesBefore = 0, handlesAfter = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
  std::atomic<int> ticks{0};
  for (int i = 0; i < 200; ++i) {
    auto* t = new TKwThreadTimer(nullptr);
    t->SetSynchronize(i % 2 == 0);
    t->SetInterval(1);
    t->OnTimer = [&](TObject*) { ++ticks; };
    t->SetEnabled(true);
    if (i % 4 == 0) Serve([] { return false; }, 3);
    if (i % 3 == 0) t->SetEnabled(false);
    delete t;
  }
  EXPECT_TRUE(WorkersGone());
  GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
  EXPECT_LE(handlesAfter, handlesBefore + 8) << "threads and events are closed";
}
