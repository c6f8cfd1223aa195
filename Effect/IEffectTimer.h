#pragma once

#include <chrono>
#include <functional>

namespace umbra {

// A main-thread timer without a thread of its own: whoever owns the main thread (a host's idle
// callback, a window's event pump, a tool's loop, a test) calls Pump(), and the callback runs
// when its interval has passed on the monotonic clock. A late pump fires once and does not try to
// catch up on the ticks it missed.
class IEffectTimer {
public:
  using Clock = std::chrono::steady_clock;
  using Callback = std::function<void()>;

  IEffectTimer(Callback callback, std::chrono::milliseconds interval);

  // Returns true when the callback ran.
  bool Pump() { return Pump(Clock::now()); }
  bool Pump(Clock::time_point now);

  // Runs the callback now and starts the next interval from here.
  void Fire(Clock::time_point now = Clock::now());

  std::chrono::milliseconds Interval() const { return mInterval; }
  Clock::time_point NextDue() const { return mNextDue; }

private:
  Callback mCallback;
  std::chrono::milliseconds mInterval;
  Clock::time_point mNextDue;
};

} // namespace umbra
