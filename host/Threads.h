// TThread: a worker thread object with termination, priorities, fatal-exception capture and
// calls marshalled to the main thread (Synchronize, Queue, CheckSynchronize).
// Thread pools, tasks and synchronisation objects (events, critical sections) are not here.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <utility>

#include "host/Events.h"
#include "host/Exceptions.h"
#include "host/Objects.h"

namespace kw {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A subclass overrides Execute. The OS thread is always created suspended, because a base
// constructor cannot reach the subclass's Execute; it runs once Start (or Resume) is called.
// TFoo::Create<TFoo>(args...) or TThread::Create<TFoo>(args...) constructs and starts in one
// step unless the object was constructed with createSuspended = true.
// Destroy a running thread with Free(): it terminates and waits while the subclass is still
// whole. A plain delete does the same from ~TThread, when the subclass's members are gone.
class TThread : public TObject {
  KW_CLASS(TThread, TObject)

  explicit TThread(bool createSuspended = false);
  ~TThread() override;

  template <class T, class... A>
  static T* Create(A&&... args) {
    T* thread = new T(std::forward<A>(args)...);
    if (!thread->FCreateSuspended) thread->Start();
    return thread;
  }

  // Terminates and waits for the thread before any subclass destructor runs.
  void BeforeDestruction() override;

  // Releases a thread created suspended; raises EThread when it already runs.
  void Start();
  void Resume();
  void Suspend();
  // Asks the thread to stop: Execute should poll Terminated().
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Waits until Execute has returned (serving Synchronize calls when on the main thread)
  // and gives the exit code.
  int WaitFor();

  bool FreeOnTerminate() const { return FFreeOnTerminate; }
  void SetFreeOnTerminate(bool value) { FFreeOnTerminate = value; }
  TThreadPriority Priority() const;
  void SetPriority(TThreadPriority value);
  bool Suspended() const { return FSuspended; }
  void SetSuspended(bool value);
  bool Finished() const { return FFinished; }
  unsigned long ThreadID() const { return FThreadID; }
  void* Handle() const { return FHandle; }
  int ReturnValue() const { return FReturnValue; }
  void SetReturnValue(int value) { FReturnValue = value; }
  // The exception that escaped Execute, or null; its message is kept for display.
  std::exception_ptr FatalException() const { return FFatalException; }
  const String& FatalMessage() const { return FFatalMessage; }
  // Rethrows FatalException, if any, in the caller.
  void RaiseFatal() const;

  // Runs on the main thread, after Execute, while the object is still alive.
  TNotifyEvent OnTerminate;

  // Runs method on the main thread and waits for it; exceptions come back to the caller.
  void Synchronize(std::function<void()> method);
  static void Synchronize(TThread* thread, std::function<void()> method);
  // Runs method later on the main thread without waiting.
  void Queue(std::function<void()> method);
  static void Queue(TThread* thread, std::function<void()> method);
  // Drops the calls queued for thread that have not run yet.
  static void RemoveQueuedEvents(TThread* thread);

protected:
  virtual void Execute() = 0;
  // Called by Terminate, on the terminating thread, after the flag is set.
  virtual void TerminatedSet() {}
  virtual void DoTerminate();

private:
  static unsigned __stdcall ThreadProc(void* param);
  void Shutdown();
  int WaitForEnd(std::exception_ptr* queuedError);

  void* FHandle = nullptr;
  unsigned long FThreadID = 0;
  bool FCreateSuspended;
  int FSuspendCount = 1;  // ours, so Resume need not touch the object after the thread runs
  std::atomic<bool> FSuspended{true};
  std::atomic<bool> FStarted{false};
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FFreeOnTerminate{false};
  std::atomic<int> FReturnValue{0};
  std::exception_ptr FFatalException;
  String FFatalMessage;
};

// Runs pending Synchronize and Queue calls; call it on the main thread only. Waits up to
// timeoutMs for a call when none is pending. Returns whether it ran any.
bool CheckSynchronize(int timeoutMs = 0);
// Called whenever a call is posted for the main thread, so an idle message loop wakes up;
// by default it posts WM_NULL to the main thread.
extern std::function<void()> WakeMainThread;
// The thread that ran static initialisation.
extern unsigned long MainThreadID;
bool KwIsMainThread();

}  // namespace kw
