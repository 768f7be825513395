// TThread and the main-thread call list behind Synchronize, Queue and CheckSynchronize.
// The application's message loop is elsewhere; it only sets WakeMainThread and calls
// CheckSynchronize.
#include "host/Threads.h"

#include <process.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_REGISTER_CLASS(TThread, TObject)

unsigned long MainThreadID = GetCurrentThreadId();

std::function<void()> WakeMainThread = [] { PostThreadMessageW(MainThreadID, WM_NULL, 0, 0); };

bool KwIsMainThread() { return GetCurrentThreadId() == MainThreadID; }

namespace {

struct TSyncCall {
  std::function<void()> Method;
  TThread* Thread = nullptr;
  bool Synchronous = false;
  bool Done = false;
  std::exception_ptr Error;
};

// Synchronous calls live on the waiting worker's stack; queued ones are owned by the list.
struct TSyncState {
  std::mutex Lock;
  std::condition_variable Done;
  std::deque<TSyncCall*> Calls;
  HANDLE Event = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // set while calls are pending
};

TSyncState& SyncState() {
  static TSyncState state;
  return state;
}

void Post(TSyncCall* call) {
  TSyncState& s = SyncState();
  {
    std::lock_guard<std::mutex> lock(s.Lock);
    s.Calls.push_back(call);
  }
  SetEvent(s.Event);
  if (WakeMainThread) WakeMainThread();
}

[[noreturn]] void ThreadError(DWORD code) {
  throw EThread(SRes::SThreadError, {SysErrorMessage(code), int(code)});
}

String MessageOf(const std::exception_ptr& e) {
  try {
    std::rethrow_exception(e);
  } catch (const Exception& x) {
    return x.Message();
  } catch (const std::exception& x) {
    return UTF8ToString(x.what());
  } catch (...) {
    return L"Unknown exception";
  }
}

const int KPriorities[] = {THREAD_PRIORITY_IDLE,    THREAD_PRIORITY_LOWEST,       THREAD_PRIORITY_BELOW_NORMAL,
                           THREAD_PRIORITY_NORMAL,  THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                           THREAD_PRIORITY_TIME_CRITICAL};

}  // namespace

bool CheckSynchronize(int timeoutMs) {
  if (!KwIsMainThread()) throw EThread(SRes::SCheckSynchronizeError, {GetCurrentThreadId()});
  TSyncState& s = SyncState();
  if (timeoutMs > 0) {
    bool empty;
    {
      std::lock_guard<std::mutex> lock(s.Lock);
      empty = s.Calls.empty();
    }
    if (empty) WaitForSingleObject(s.Event, DWORD(timeoutMs));
  }
  ResetEvent(s.Event);
  size_t count;
  {
    std::lock_guard<std::mutex> lock(s.Lock);
    count = s.Calls.size();
  }
  // Only the calls pending now: a queued call that queues itself again must not spin here.
  // They are taken one at a time so RemoveQueuedEvents from inside a call still holds.
  bool ran = false;
  for (; count > 0; --count) {
    TSyncCall* call;
    {
      std::lock_guard<std::mutex> lock(s.Lock);
      if (s.Calls.empty()) break;
      call = s.Calls.front();
      s.Calls.pop_front();
    }
    ran = true;
    if (call->Synchronous) {
      try {
        call->Method();
      } catch (...) {
        call->Error = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> lock(s.Lock);
        call->Done = true;
      }
      s.Done.notify_all();
    } else {
      std::unique_ptr<TSyncCall> owned(call);
      owned->Method();  // nobody waits for it, so its exception goes to the loop that runs it
    }
  }
  return ran;
}

TThread::TThread(bool createSuspended) : FCreateSuspended(createSuspended) {
  unsigned id = 0;
  FHandle = reinterpret_cast<void*>(_beginthreadex(nullptr, 0, &ThreadProc, this, CREATE_SUSPENDED, &id));
  if (!FHandle) throw EThread(SRes::SThreadCreateError, {SysErrorMessage(GetLastError())});
  FThreadID = id;
}

TThread::~TThread() { Shutdown(); }

void TThread::BeforeDestruction() { Shutdown(); }

void TThread::Shutdown() {
  if (!FHandle) return;
  if (GetCurrentThreadId() != FThreadID) {
    // The owner is destroying it, so it must not free itself as well.
    FFreeOnTerminate = false;
    Terminate();
    // A thread that never ran still has to run out, skipping Execute.
    while (FSuspendCount > 0) Resume();
    WaitForEnd(nullptr);
  }
  CloseHandle(FHandle);
  FHandle = nullptr;
  RemoveQueuedEvents(this);
}

unsigned __stdcall TThread::ThreadProc(void* param) {
  auto* thread = static_cast<TThread*>(param);
  try {
    if (!thread->FTerminated) thread->Execute();
  } catch (...) {
    thread->FFatalException = std::current_exception();
    thread->FFatalMessage = MessageOf(thread->FFatalException);
  }
  thread->FFinished = true;
  try {
    thread->DoTerminate();
  } catch (...) {
    if (!thread->FFatalException) {
      thread->FFatalException = std::current_exception();
      thread->FFatalMessage = MessageOf(thread->FFatalException);
    }
  }
  // Read after OnTerminate: either Execute or the handler may hand the object to itself.
  unsigned result = unsigned(thread->FReturnValue.load());
  if (thread->FFreeOnTerminate) thread->Free();
  return result;
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::Start() {
  if (FStarted || FFinished) throw EThread(SRes::SThreadStartError);
  Resume();
}

void TThread::Resume() {
  if (FSuspendCount == 0 || !FHandle) return;
  // Update the state first: once the thread runs it may free this object.
  if (--FSuspendCount == 0) {
    FSuspended = false;
    FStarted = true;
  }
  HANDLE handle = FHandle;
  if (ResumeThread(handle) == DWORD(-1)) ThreadError(GetLastError());
}

void TThread::Suspend() {
  if (!FHandle || FFinished) return;
  ++FSuspendCount;
  FSuspended = true;
  if (SuspendThread(FHandle) == DWORD(-1)) {
    --FSuspendCount;
    FSuspended = FSuspendCount > 0;
    ThreadError(GetLastError());
  }
}

void TThread::SetSuspended(bool value) {
  if (value) Suspend();
  else Resume();
}

void TThread::Terminate() {
  FTerminated = true;
  TerminatedSet();
}

int TThread::WaitFor() {
  std::exception_ptr queuedError;
  int result = WaitForEnd(&queuedError);
  if (queuedError) std::rethrow_exception(queuedError);
  return result;
}

int TThread::WaitForEnd(std::exception_ptr* queuedError) {
  HANDLE handle = FHandle;
  if (!handle) return FReturnValue;
  if (GetCurrentThreadId() == FThreadID) throw EThread(L"A thread cannot wait for itself");
  if (!FStarted) throw EThread(SRes::SThreadWaitSuspended);
  if (KwIsMainThread()) {
    // The worker may be blocked in Synchronize: keep serving it, or both wait forever.
    HANDLE handles[2] = {handle, SyncState().Event};
    for (;;) {
      DWORD r = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_SENDMESSAGE);
      if (r == WAIT_OBJECT_0) break;
      if (r == WAIT_OBJECT_0 + 1) {
        try {
          CheckSynchronize();
        } catch (...) {
          if (queuedError && !*queuedError) *queuedError = std::current_exception();
        }
      } else if (r == WAIT_OBJECT_0 + 2) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // delivers sent messages
      } else {
        ThreadError(GetLastError());
      }
    }
  } else {
    WaitForSingleObject(handle, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeThread(handle, &code);
  return int(code);
}

TThreadPriority TThread::Priority() const {
  int p = GetThreadPriority(FHandle);
  if (p == THREAD_PRIORITY_ERROR_RETURN) ThreadError(GetLastError());
  for (int i = 0; i < int(std::size(KPriorities)); ++i)
    if (KPriorities[i] == p) return TThreadPriority(i);
  return tpNormal;
}

void TThread::SetPriority(TThreadPriority value) {
  if (!SetThreadPriority(FHandle, KPriorities[value])) ThreadError(GetLastError());
}

void TThread::RaiseFatal() const {
  if (FFatalException) std::rethrow_exception(FFatalException);
}

void TThread::Synchronize(std::function<void()> method) { Synchronize(this, std::move(method)); }

void TThread::Synchronize(TThread* thread, std::function<void()> method) {
  if (KwIsMainThread()) {
    method();
    return;
  }
  TSyncCall call;
  call.Method = std::move(method);
  call.Thread = thread;
  call.Synchronous = true;
  Post(&call);
  TSyncState& s = SyncState();
  {
    std::unique_lock<std::mutex> lock(s.Lock);
    s.Done.wait(lock, [&] { return call.Done; });
  }
  if (call.Error) std::rethrow_exception(call.Error);
}

void TThread::Queue(std::function<void()> method) { Queue(this, std::move(method)); }

void TThread::Queue(TThread* thread, std::function<void()> method) {
  auto call = std::make_unique<TSyncCall>();
  call->Method = std::move(method);
  call->Thread = thread;
  Post(call.release());
}

void TThread::RemoveQueuedEvents(TThread* thread) {
  TSyncState& s = SyncState();
  std::lock_guard<std::mutex> lock(s.Lock);
  for (auto it = s.Calls.begin(); it != s.Calls.end();) {
    if (!(*it)->Synchronous && (*it)->Thread == thread) {
      delete *it;
      it = s.Calls.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace kw
