#include "IEffectTimer.h"

namespace umbra {

IEffectTimer::IEffectTimer(Callback callback, std::chrono::milliseconds interval)
  : mCallback(std::move(callback)), mInterval(interval), mNextDue(Clock::now() + interval)
{
}

bool IEffectTimer::Pump(Clock::time_point now)
{
  if (now < mNextDue)
    return false;
  mNextDue += mInterval;
  if (mNextDue <= now)
    mNextDue = now + mInterval;
  if (mCallback)
    mCallback();
  return true;
}

void IEffectTimer::Fire(Clock::time_point now)
{
  mNextDue = now + mInterval;
  if (mCallback)
    mCallback();
}

} // namespace umbra
