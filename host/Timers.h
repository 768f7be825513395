// TTimer: a component that raises OnTimer every Interval milliseconds on the thread that
// enabled it, over a window-less system timer served by that thread's message loop.
#pragma once

#include "host/Classes.h"

namespace kw {

// Called by the system timer's callback with the timer's id.
void KwTimerFired(UInt64 id);

class TTimer : public TComponent {
  KW_CLASS(TTimer, TComponent)
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  Cardinal Interval() const { return FInterval; }
  void SetInterval(Cardinal value);
  // Assigning OnTimer through SetOnTimer starts the timer when it is enabled; assigning the
  // event member directly needs a call to UpdateTimer.
  TNotifyEvent OnTimer;
  void SetOnTimer(TNotifyEvent::Function handler);
  void UpdateTimer();
  // Whether a system timer is running for this component.
  bool Running() const { return FTimerId != 0; }

protected:
  virtual void Timer();
  void Loaded() override;

private:
  friend void KwTimerFired(UInt64 id);
  bool FEnabled = true;
  Cardinal FInterval = 1000;
  UInt64 FTimerId = 0;
};

}  // namespace kw
