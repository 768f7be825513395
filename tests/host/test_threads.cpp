// Tests for TThread: lifetime, termination, fatal exceptions, priorities and the calls it
// marshals to the main thread. Thread pools and message loops are not covered here.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "host/Threads.h"
#include "host/Win.h"

using namespace kw;

namespace {

// A deadlock must fail the run, not hang it.
class TTimeoutGuard {
public:
  explicit TTimeoutGuard(int seconds) {
    FWatch = std::thread([this, seconds] {
      std::unique_lock<std::mutex> lock(FLock);
      if (!FCv.wait_for(lock, std::chrono::seconds(seconds), [this] { return FDone; })) {
        std::fprintf(stderr, "test_threads: timed out, probable deadlock\n");
        std::fflush(stderr);
        std::_Exit(3);
      }
    });
  }
  ~TTimeoutGuard() {
    {
      std::lock_guard<std::mutex> lock(FLock);
      FDone = true;
    }
    FCv.notify_all();
    FWatch.join();
  }

private:
  std::mutex FLock;
  std::condition_variable FCv;
  bool FDone = false;
  std::thread FWatch;
};

// Runs a lambda as Execute, so each test states its thread body inline.
class TLambdaThread : public TThread {
public:
  using TBody = std::function<void(TLambdaThread&)>;
  TLambdaThread(TBody body, bool suspended = false, std::atomic<bool>* destroyed = nullptr)
      : TThread(suspended), FBody(std::move(body)), FDestroyed(destroyed) {}
  ~TLambdaThread() override {
    if (FDestroyed) *FDestroyed = true;
  }
  using TThread::Synchronize;
  using TThread::Queue;
  std::atomic<int> TerminatedSetCalls{0};

protected:
  void Execute() override { FBody(*this); }
  void TerminatedSet() override { ++TerminatedSetCalls; }

private:
  TBody FBody;
  std::atomic<bool>* FDestroyed;
};

// Pumps main-thread calls until pred holds or the time runs out.
template <class P>
bool PumpUntil(P pred, int ms = 5000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    CheckSynchronize(10);
  }
  return true;
}

}  // namespace

TEST(ThreadLifetime, ExecuteRunsAndWaitForReturnsReturnValue) {
  TTimeoutGuard guard(20);
  std::atomic<DWORD> ranOn{0};
  auto* t = TThread::Create<TLambdaThread>([&](TLambdaThread& self) {
    ranOn = GetCurrentThreadId();
    self.SetReturnValue(42);
  });
  EXPECT_EQ(t->WaitFor(), 42);
  EXPECT_TRUE(t->Finished());
  EXPECT_EQ(ranOn.load(), t->ThreadID());
  EXPECT_NE(ranOn.load(), MainThreadID);
  EXPECT_TRUE(KwIsMainThread());
  EXPECT_TRUE(t->ClassType()->InheritsFrom(TThread::StaticClass()));
  t->Free();
}

TEST(ThreadLifetime, CreatedSuspendedWaitsForStart) {
  TTimeoutGuard guard(20);
  std::atomic<bool> ran{false};
  auto* t = TThread::Create<TLambdaThread>([&](TLambdaThread&) { ran = true; }, true);
  Sleep(50);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(t->Suspended());
  EXPECT_THROW(t->WaitFor(), EThread);
  t->Start();
  EXPECT_FALSE(t->Suspended());
  EXPECT_THROW(t->Start(), EThread);
  t->WaitFor();
  EXPECT_TRUE(ran);
  t->Free();

  // Destroying a thread that never started skips Execute and does not hang.
  std::atomic<bool> ran2{false};
  auto* idle = TThread::Create<TLambdaThread>([&](TLambdaThread&) { ran2 = true; }, true);
  idle->Free();
  EXPECT_FALSE(ran2);
}

TEST(ThreadTerminate, StopsLoopPollingTerminated) {
  TTimeoutGuard guard(20);
  std::atomic<int> loops{0};
  auto* t = TThread::Create<TLambdaThread>([&](TLambdaThread& self) {
    while (!self.Terminated()) {
      ++loops;
      Sleep(1);
    }
    self.SetReturnValue(7);
  });
  while (loops < 3) Sleep(1);
  EXPECT_FALSE(t->Terminated());
  t->Terminate();
  EXPECT_TRUE(t->Terminated());
  EXPECT_EQ(t->TerminatedSetCalls, 1);
  EXPECT_EQ(t->WaitFor(), 7);
  t->Free();
}

TEST(ThreadFatalException, ReachesWaitForCaller) {
  TTimeoutGuard guard(20);
  auto* t = TThread::Create<TLambdaThread>([](TLambdaThread&) { throw EConvertError(L"bad number"); });
  t->WaitFor();
  ASSERT_TRUE(t->FatalException());
  EXPECT_EQ(t->FatalMessage(), L"bad number");
  try {
    t->RaiseFatal();
    ADD_FAILURE() << "RaiseFatal did not throw";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"bad number");
  }
  t->Free();

  auto* s = TThread::Create<TLambdaThread>([](TLambdaThread&) { throw std::runtime_error("plain"); });
  s->WaitFor();
  EXPECT_EQ(s->FatalMessage(), L"plain");
  EXPECT_THROW(s->RaiseFatal(), std::runtime_error);
  s->Free();

  auto* ok = TThread::Create<TLambdaThread>([](TLambdaThread&) {});
  ok->WaitFor();
  EXPECT_FALSE(ok->FatalException());
  EXPECT_NO_THROW(ok->RaiseFatal());
  ok->Free();
}

TEST(ThreadSynchronize, RunsOnMainThreadAndReturnsExceptions) {
  TTimeoutGuard guard(20);
  std::atomic<DWORD> syncOn{0};
  std::atomic<bool> workerSawAfter{false};
  String caught;
  auto* t = TThread::Create<TLambdaThread>([&](TLambdaThread& self) {
    int value = 0;
    self.Synchronize([&] {
      syncOn = GetCurrentThreadId();
      value = 5;
    });
    workerSawAfter = value == 5;  // Synchronize waited for the call
    try {
      TThread::Synchronize(&self, [] { throw EListError(L"from main"); });
    } catch (const EListError& e) {
      caught = e.Message();
    }
  });
  EXPECT_TRUE(PumpUntil([&] { return t->Finished(); }));
  t->WaitFor();
  EXPECT_EQ(syncOn.load(), MainThreadID);
  EXPECT_TRUE(workerSawAfter);
  EXPECT_EQ(caught, L"from main");
  EXPECT_FALSE(t->FatalException());
  t->Free();

  // On the main thread it simply runs.
  DWORD direct = 0;
  TThread::Synchronize(nullptr, [&] { direct = GetCurrentThreadId(); });
  EXPECT_EQ(direct, MainThreadID);
  EXPECT_FALSE(CheckSynchronize());
}

TEST(ThreadQueue, RunsLaterInFifoOrder) {
  TTimeoutGuard guard(20);
  std::vector<int> order;
  std::vector<DWORD> ranOn;
  auto* t = TThread::Create<TLambdaThread>([&](TLambdaThread& self) {
    for (int i = 1; i <= 5; ++i) self.Queue([&, i] {
        order.push_back(i);
        ranOn.push_back(GetCurrentThreadId());
      });
  });
  t->WaitFor();
  CheckSynchronize();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
  for (DWORD id : ranOn) EXPECT_EQ(id, MainThreadID);
  t->Free();

  // Queued from the main thread it is deferred too, and a later Synchronize'd call
  // from a worker runs after it.
  order.clear();
  TThread::Queue(nullptr, [&] { order.push_back(10); });
  TThread::Queue(nullptr, [&] { order.push_back(11); });
  EXPECT_TRUE(order.empty());
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_FALSE(CheckSynchronize());
  EXPECT_EQ(order, (std::vector<int>{10, 11}));
}

TEST(ThreadQueue, RemoveQueuedEventsDropsOnlyThatThreadsCalls) {
  TTimeoutGuard guard(20);
  std::vector<int> order;
  auto* t = TThread::Create<TLambdaThread>([&](TLambdaThread& self) {
    self.Queue([&] { order.push_back(1); });
    TThread::Queue(nullptr, [&] { order.push_back(2); });
    self.Queue([&] { order.push_back(3); });
  });
  // Wait without WaitFor, which would run the calls while it waits.
  while (!t->Finished()) Sleep(1);
  TThread::RemoveQueuedEvents(t);
  CheckSynchronize();
  EXPECT_EQ(order, (std::vector<int>{2}));
  t->Free();
}

TEST(ThreadDestroy, FreeWhileWorkerInSynchronizeCompletes) {
  TTimeoutGuard guard(20);
  std::atomic<bool> entering{false};
  std::atomic<bool> destroyed{false};
  std::atomic<DWORD> syncOn{0};
  auto* t = TThread::Create<TLambdaThread>(
      [&](TLambdaThread& self) {
        entering = true;
        self.Synchronize([&] { syncOn = GetCurrentThreadId(); });
      },
      false, &destroyed);
  while (!entering) Sleep(1);
  Sleep(50);  // let the worker block in Synchronize
  t->Free();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(syncOn.load(), MainThreadID);
}

TEST(ThreadDestroy, FreeOnTerminateSetInsideExecuteFreesObject) {
  TTimeoutGuard guard(20);
  std::atomic<bool> destroyed{false};
  std::atomic<DWORD> terminateOn{0};
  auto* t = TThread::Create<TLambdaThread>(
      [&](TLambdaThread& self) { self.SetFreeOnTerminate(true); }, true, &destroyed);
  EXPECT_FALSE(t->FreeOnTerminate());
  t->OnTerminate = [&](TObject*) { terminateOn = GetCurrentThreadId(); };
  t->Start();
  // t may be gone from here on.
  EXPECT_TRUE(PumpUntil([&] { return destroyed.load(); }));
  EXPECT_EQ(terminateOn.load(), MainThreadID);  // OnTerminate ran before the object went
}

TEST(ThreadOnTerminate, RunsOnMainThreadWithThreadAsSender) {
  TTimeoutGuard guard(20);
  DWORD ranOn = 0;
  TObject* sender = nullptr;
  std::atomic<bool> executed{false};
  auto* t = TThread::Create<TLambdaThread>([&](TLambdaThread&) { executed = true; }, true);
  t->OnTerminate = [&](TObject* s) {
    ranOn = GetCurrentThreadId();
    sender = s;
    EXPECT_TRUE(executed);
  };
  t->Start();
  t->WaitFor();  // serves the OnTerminate call while waiting
  EXPECT_EQ(ranOn, MainThreadID);
  EXPECT_EQ(sender, t);
  t->Free();
}

TEST(ThreadPriority, ChangesWhileRunning) {
  TTimeoutGuard guard(20);
  std::atomic<bool> running{false};
  auto* t = TThread::Create<TLambdaThread>([&](TLambdaThread& self) {
    running = true;
    while (!self.Terminated()) Sleep(1);
  });
  while (!running) Sleep(1);
  EXPECT_EQ(t->Priority(), tpNormal);
  t->SetPriority(tpLowest);
  EXPECT_EQ(GetThreadPriority(t->Handle()), THREAD_PRIORITY_LOWEST);
  EXPECT_EQ(t->Priority(), tpLowest);
  t->SetPriority(tpHigher);
  EXPECT_EQ(GetThreadPriority(t->Handle()), THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_EQ(t->Priority(), tpHigher);
  t->SetPriority(tpIdle);
  EXPECT_EQ(t->Priority(), tpIdle);
  t->Free();  // terminates the loop and waits
}

TEST(ThreadCheckSynchronize, RefusesOtherThreads) {
  TTimeoutGuard guard(20);
  std::atomic<bool> raised{false};
  std::thread other([&] {
    try {
      CheckSynchronize();
    } catch (const EThread&) {
      raised = true;
    }
  });
  other.join();
  EXPECT_TRUE(raised);
}
