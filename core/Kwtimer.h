// The library's timers: TKwCustomTimer (initialised in stage 8 of the staged initialisation),
// TKwTimer (every instance on one window-less system timer) and TKwThreadTimer with its worker
// TKwThTimer. The host's own TTimer (host/Timers.h) is a separate, simpler component.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "core/Kwlinks.h"
#include "host/Threads.h"
#include "host/Typinfo.h"

namespace kw {

KW_DECLARE_ENUM(TThreadPriority)

class TKwCustomTimer : public TComponent {
  KW_CLASS(TKwCustomTimer, TComponent)
  explicit TKwCustomTimer(TComponent* owner);
  ~TKwCustomTimer() override;

  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool value);
  int Interval() const { return FInterval; }
  virtual void SetInterval(int value);
  virtual void DoTimer();
  bool StreamEnabled() const { return FStreamEnabled; }
  TKwLinkEvt* LinkEvt() const { return FLinkEvt.get(); }

  void Loaded() override;
  void NotifyInit(TObject* Sender);

  TNotifyEvent OnTimer;

protected:
  bool Loading() const { return TKwLinkEvt::LoadingPropsOf(FLinkEvt.get()); }
  bool Designing() const { return ComponentState().Contains(csDesigning); }
  // Read by thread timers' workers without a lock.
  std::atomic<bool> FEnabled;
  std::atomic<bool> FStreamEnabled;
  std::atomic<int> FInterval{1000};
  std::unique_ptr<TKwLinkEvt> FLinkEvt;
};

class TKwTimer : public TKwCustomTimer {
  KW_CLASS(TKwTimer, TKwCustomTimer)
  explicit TKwTimer(TComponent* owner);
  ~TKwTimer() override;
  void SetEnabled(bool value) override;
  void SetInterval(int value) override;
  // Milliseconds counted since the last firing, and whether the timer is due.
  int Count() const { return FCount; }
  bool Execute() const { return FExecute; }

private:
  friend struct TKwTimerSchedule;
  int FCount = 0;
  bool FExecute = false;
};

// The shared system timer's identifier (0 when none is armed), the number of live TKwTimer
// instances, and the timer callback itself (run with no arguments to reschedule).
UInt64 KwTimerSystemId();
int KwTimerCount();
void KwTimerCallback();

class TKwThTimer;

class TKwThreadTimer : public TKwCustomTimer {
  KW_CLASS(TKwThreadTimer, TKwCustomTimer)
  explicit TKwThreadTimer(TComponent* owner);
  // Waits for the worker, unless the worker is the one waiting (destroyed from its OnTimer).
  ~TKwThreadTimer() override;
  void SetEnabled(bool value) override;
  void SetInterval(int value) override;
  void DoTimer() override;
  TThreadPriority Priority() const { return FPriority; }
  void SetPriority(TThreadPriority value);
  bool Synchronize() const { return FSynchronize; }
  void SetSynchronize(bool value) { FSynchronize = value; }
  void ActiveThread();
  void DeActiveThread();
  bool GetTerminated() const;
  TKwThTimer* Thread() const { return FThread; }

private:
  friend class TKwThTimer;
  TKwThTimer* FThread = nullptr;
  TThreadPriority FPriority = tpNormal;
  std::atomic<bool> FSynchronize{true};
  std::atomic<bool> FDestroying{false};
};

// The worker of a thread timer: waits on its event with the interval as time-out.
class TKwThTimer : public TThread {
  KW_CLASS(TKwThTimer, TThread)
  explicit TKwThTimer(TKwThreadTimer* owner);
  ~TKwThTimer() override;
  // The timer event is running (on this thread, or synchronised on the main thread).
  bool InternalThread() const { return FInternalThread; }
  // The caller is inside the timer event: the synchronised handler, or the worker itself.
  bool CallerInsideEvent() const;
  // Live workers of the process, those ending by themselves included.
  static int LiveCount();

protected:
  void Execute() override;
  // Terminate wakes the worker from its wait.
  void TerminatedSet() override;

private:
  friend class TKwThreadTimer;
  std::atomic<TKwThreadTimer*> FOwner;
  // Orders the worker's decision to end against the owner's check whether it still runs.
  std::mutex FStateLock;
  bool FEnding = false;
  void* FEvent = nullptr;
  std::atomic<bool> FInternalThread{false};
  // Main-thread only: the synchronised event is running now.
  bool FInSync = false;
};

}  // namespace kw
