// The library's timers: the shared system timer of every TKwTimer (one callback fires the due
// ones and re-arms for the nearest next) and the thread timers' workers. Thread timers never
// free their worker from the worker: the owner joins it, or hands it off when it is the worker
// that waits for the owner (the timer destroyed from its own OnTimer).
#include "core/Kwtimer.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_DEFINE_ENUM(TThreadPriority, L"tpIdle", L"tpLowest", L"tpLower", L"tpNormal", L"tpHigher",
               L"tpHighest", L"tpTimeCritical")

KW_BEGIN_CLASS(TKwCustomTimer, TComponent) {
  b.Prop(L"Enabled", &TKwCustomTimer::Enabled, &TKwCustomTimer::SetEnabled).Stored(true);
  b.Prop(L"Interval", &TKwCustomTimer::Interval, &TKwCustomTimer::SetInterval).Default(1000);
  b.Event(L"OnTimer", &TKwCustomTimer::OnTimer);
}
KW_REGISTER_CLASS(TKwTimer, TKwCustomTimer)
KW_BEGIN_CLASS(TKwThreadTimer, TKwCustomTimer) {
  b.Prop(L"Priority", &TKwThreadTimer::Priority, &TKwThreadTimer::SetPriority).Default(tpNormal);
  b.Prop(L"Synchronize", &TKwThreadTimer::Synchronize, &TKwThreadTimer::SetSynchronize).Default(true);
}
KW_REGISTER_CLASS(TKwThTimer, TThread)

// --- TKwCustomTimer --------------------------------------------------------------------

TKwCustomTimer::TKwCustomTimer(TComponent* owner)
    : TComponent(owner),
      FEnabled(owner && owner->ComponentState().Contains(csDesigning)),
      FStreamEnabled(FEnabled.load()) {
  FLinkEvt = std::make_unique<TKwLinkEvt>(this, KwInitTimers);
  FLinkEvt->OnInit.Bind(this, &TKwCustomTimer::NotifyInit);
}

TKwCustomTimer::~TKwCustomTimer() = default;

void TKwCustomTimer::SetEnabled(bool value) {
  FEnabled = value;
  FStreamEnabled = value;
}

void TKwCustomTimer::SetInterval(int value) { FInterval = value; }

void TKwCustomTimer::DoTimer() {
  if (ComponentState().Contains(csDestroying) || !OnTimer) return;
  // A copy: the handler may free this timer, and the handler stored in it.
  TNotifyEvent handler = OnTimer;
  handler(this);
}

void TKwCustomTimer::Loaded() {
  TComponent::Loaded();
  FLinkEvt->InitLinks();
}

void TKwCustomTimer::NotifyInit(TObject*) { SetEnabled(FStreamEnabled); }

// --- TKwTimer: one system timer for all ------------------------------------------------

struct TKwTimerSchedule {
  std::vector<TKwTimer*>* Timers = nullptr;
  UINT_PTR Id = 0;
  DWORD LastTick = 0;
  bool Running = false;
  // Due lists of callbacks in progress; a dying timer blanks itself in them.
  std::vector<std::vector<TKwTimer*>*> Due;

  static TKwTimerSchedule& Get() {
    static TKwTimerSchedule schedule;
    return schedule;
  }
  static void CALLBACK Proc(HWND, UINT, UINT_PTR, DWORD) { KwTimerCallback(); }

  int Stop() {
    if (!Id) return 0;
    KillTimer(nullptr, Id);
    Id = 0;
    return int(GetTickCount() - LastTick);
  }
  void Arm(int ms) {
    Stop();
    Id = SetTimer(nullptr, 0, UINT(std::max(ms, 1)), &Proc);
  }
  void Fire(TKwTimer* timer, std::vector<TKwTimer*>& due, size_t i) {
    timer->FExecute = false;
    try {
      timer->DoTimer();
    } catch (...) {
      KwHandleCurrentException(due[i]);
    }
    if (due[i]) timer->FCount = 0;
  }
  void Callback() {
    if (Running) return;
    Running = true;
    struct TDone {
      bool& flag;
      ~TDone() { flag = false; }
    } done{Running};
    Int64 elapsed = Stop();
    DWORD start = GetTickCount();
    if (Timers) {
      std::vector<TKwTimer*> due;
      for (TKwTimer* t : *Timers)
        if (t->FExecute) due.push_back(t);
      Due.push_back(&due);
      struct TPop {
        std::vector<std::vector<TKwTimer*>*>& due;
        ~TPop() { due.pop_back(); }
      } pop{Due};
      for (size_t i = 0; i < due.size(); ++i)
        if (due[i] && due[i]->Enabled()) Fire(due[i], due, i);
    }
    elapsed += Int64(GetTickCount() - start);
    Int64 next = INT_MAX;
    if (Timers) {
      for (TKwTimer* t : *Timers) {
        int interval = t->Interval();
        if (!t->Enabled() || interval <= 0) continue;
        Int64 count = t->FCount + elapsed;
        if (count >= interval) {
          t->FExecute = true;
          count = interval;
        }
        t->FCount = int(count);
        next = std::min<Int64>(next, interval - count);
      }
    }
    LastTick = GetTickCount();
    if (next < INT_MAX) Arm(int(next));
  }
};

void KwTimerCallback() { TKwTimerSchedule::Get().Callback(); }
UInt64 KwTimerSystemId() { return TKwTimerSchedule::Get().Id; }
int KwTimerCount() {
  auto& s = TKwTimerSchedule::Get();
  return s.Timers ? int(s.Timers->size()) : 0;
}

TKwTimer::TKwTimer(TComponent* owner) : TKwCustomTimer(owner) {
  auto& s = TKwTimerSchedule::Get();
  if (!s.Timers) s.Timers = new std::vector<TKwTimer*>;
  s.Timers->push_back(this);
}

TKwTimer::~TKwTimer() {
  auto& s = TKwTimerSchedule::Get();
  for (auto* due : s.Due) std::replace(due->begin(), due->end(), this, static_cast<TKwTimer*>(nullptr));
  if (!s.Timers) return;
  s.Timers->erase(std::remove(s.Timers->begin(), s.Timers->end(), this), s.Timers->end());
  if (s.Timers->empty()) {
    s.Stop();
    delete s.Timers;
    s.Timers = nullptr;
  }
}

void TKwTimer::SetEnabled(bool value) {
  if (Loading()) {
    FStreamEnabled = value;
    return;
  }
  if (value == FEnabled) return;
  // Credits the time gone by to the others before this one joins.
  if (value && !Designing()) KwTimerCallback();
  TKwCustomTimer::SetEnabled(value);
  if (!Designing()) {
    FCount = 0;
    FExecute = false;
    KwTimerCallback();
  }
}

void TKwTimer::SetInterval(int value) {
  if (value == FInterval) return;
  const bool live = !Loading() && !Designing();
  // Credits the time gone by first, so the restarted count begins at 0.
  if (live) KwTimerCallback();
  TKwCustomTimer::SetInterval(value);
  if (live) {
    FCount = 0;
    FExecute = false;
    KwTimerCallback();
  }
}

// --- TKwThreadTimer --------------------------------------------------------------------

namespace {
std::atomic<int> GLiveWorkers{0};
}

TKwThreadTimer::TKwThreadTimer(TComponent* owner) : TKwCustomTimer(owner) {}

TKwThreadTimer::~TKwThreadTimer() {
  FDestroying = true;
  DeActiveThread();
}

void TKwThreadTimer::SetEnabled(bool value) {
  // A worker only runs once loading is over, and must not read the owner's state.
  if (KwIsMainThread() && Loading()) {
    FStreamEnabled = value;
    return;
  }
  if (value == FEnabled) return;
  TKwCustomTimer::SetEnabled(value);
  if (Designing()) return;
  // From inside the timer event the worker sees the change itself when the event returns.
  if (FThread && FThread->CallerInsideEvent()) return;
  if (value && FInterval >= 1) ActiveThread();
  else DeActiveThread();
}

void TKwThreadTimer::SetInterval(int value) {
  if (value == FInterval) return;
  TKwCustomTimer::SetInterval(value);
  if (Loading() || Designing() || !FEnabled) return;
  if (FThread && FThread->CallerInsideEvent()) return;
  // A worker with no interval would fire without pause: it ends, and a positive one starts it.
  if (value >= 1) ActiveThread();
  else DeActiveThread();
}

void TKwThreadTimer::DoTimer() {
  if (FDestroying) return;
  if (KwIsMainThread()) {
    TKwCustomTimer::DoTimer();
  } else if (OnTimer) {
    TNotifyEvent handler = OnTimer;
    handler(this);
  }
}

void TKwThreadTimer::SetPriority(TThreadPriority value) {
  if (value == FPriority) return;
  FPriority = value;
  if (FThread) FThread->SetPriority(value);
}

void TKwThreadTimer::ActiveThread() {
  if (FThread) {
    bool ending;
    {
      std::lock_guard<std::mutex> lock(FThread->FStateLock);
      ending = FThread->FEnding;
    }
    if (!ending) return;
    DeActiveThread();
  }
  auto* thread = new TKwThTimer(this);
  thread->SetPriority(FPriority);
  FThread = thread;
  thread->Start();
}

void TKwThreadTimer::DeActiveThread() {
  TKwThTimer* thread = FThread;
  if (!thread) return;
  FThread = nullptr;
  if (thread->CallerInsideEvent()) {
    // The worker waits for this very call to return: it ends by itself, without its owner.
    thread->FOwner = nullptr;
    thread->SetFreeOnTerminate(true);
    thread->Terminate();
    return;
  }
  thread->Free();
}

bool TKwThreadTimer::GetTerminated() const { return !FThread || FThread->Terminated(); }

// --- TKwThTimer ------------------------------------------------------------------------

TKwThTimer::TKwThTimer(TKwThreadTimer* owner) : TThread(true), FOwner(owner) {
  FEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!FEvent) throw EThread(SysErrorMessage(GetLastError()));
  ++GLiveWorkers;
}

TKwThTimer::~TKwThTimer() {
  // The thread must be gone before its event; TThread's own shutdown ran in BeforeDestruction
  // (or the thread is freeing itself after Execute).
  if (Handle() && GetCurrentThreadId() != ThreadID()) {
    Terminate();
    try {
      WaitFor();
    } catch (...) {
      KwHandleCurrentException(this);
    }
  }
  CloseHandle(FEvent);
  --GLiveWorkers;
}

bool TKwThTimer::CallerInsideEvent() const {
  return GetCurrentThreadId() == ThreadID() || (KwIsMainThread() && FInSync);
}

int TKwThTimer::LiveCount() { return GLiveWorkers; }

void TKwThTimer::TerminatedSet() { SetEvent(FEvent); }

void TKwThTimer::Execute() {
  while (!Terminated()) {
    TKwThreadTimer* owner = FOwner;
    if (!owner) break;
    int interval;
    {
      std::lock_guard<std::mutex> lock(FStateLock);
      interval = owner->FInterval;
      if (!owner->FEnabled || interval < 1) {
        FEnding = true;
        break;
      }
    }
    if (WaitForSingleObject(FEvent, DWORD(interval)) != WAIT_TIMEOUT) break;
    if (Terminated()) break;
    FInternalThread = true;
    if (owner->FSynchronize) {
      Synchronize([this] {
        TKwThreadTimer* o = FOwner;
        if (!o || Terminated()) return;
        FInSync = true;
        try {
          o->DoTimer();
        } catch (...) {
          KwHandleCurrentException(FOwner.load());
        }
        FInSync = false;
      });
    } else {
      try {
        owner->DoTimer();
      } catch (...) {
        // Reported on the main thread, where the application's handler may show it.
        std::exception_ptr error = std::current_exception();
        TThread::Queue(nullptr, [error] {
          try {
            std::rethrow_exception(error);
          } catch (...) {
            KwHandleCurrentException(nullptr);
          }
        });
      }
    }
    FInternalThread = false;
  }
}

}  // namespace kw
