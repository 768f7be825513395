// Window-less timers: SetTimer with a callback, the timer ids mapped back to their
// components. Events that raise are reported through ApplicationHandleException.
#include "host/Timers.h"

#include <map>
#include <mutex>

#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_BEGIN_CLASS(TTimer, TComponent) {
  b.Prop(L"Enabled", &TTimer::Enabled, &TTimer::SetEnabled).Default(true);
  b.Prop(L"Interval", &TTimer::Interval, &TTimer::SetInterval).Default(1000u);
  b.Event(L"OnTimer", &TTimer::OnTimer);
}

namespace {

std::mutex& TimersLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

std::map<UInt64, TTimer*>& Timers() {
  static auto* timers = new std::map<UInt64, TTimer*>;
  return *timers;
}

void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD) { KwTimerFired(UInt64(id)); }

}  // namespace

void KwTimerFired(UInt64 id) {
  TTimer* timer = nullptr;
  {
    std::lock_guard<std::mutex> guard(TimersLock());
    auto it = Timers().find(id);
    if (it != Timers().end()) timer = it->second;
  }
  if (!timer) return;
  try {
    timer->Timer();
  } catch (...) {
    KwHandleCurrentException(timer);
  }
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
  FEnabled = false;
  UpdateTimer();
}

void TTimer::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  UpdateTimer();
}

void TTimer::SetInterval(Cardinal value) {
  if (value == FInterval) return;
  FInterval = value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent::Function handler) {
  OnTimer = std::move(handler);
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (FTimerId) {
    KillTimer(nullptr, UINT_PTR(FTimerId));
    std::lock_guard<std::mutex> guard(TimersLock());
    Timers().erase(FTimerId);
    FTimerId = 0;
  }
  // A timer read from a stream starts when loading ends and its event is bound.
  if (!FEnabled || FInterval == 0 || !OnTimer.Assigned() || ComponentState().Contains(csLoading) ||
      ComponentState().Contains(csDestroying))
    return;
  UINT_PTR id = SetTimer(nullptr, 0, FInterval, TimerProc);
  if (!id) throw EOutOfResources(L"Not enough timers available");
  std::lock_guard<std::mutex> guard(TimersLock());
  FTimerId = UInt64(id);
  Timers()[FTimerId] = this;
}

void TTimer::Timer() { OnTimer(this); }

}  // namespace kw
