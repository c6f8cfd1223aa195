#include <chrono>
#include <limits>

#include "ICanvas.h"
#include "IControl.h"

namespace umbra::ui {

void DefaultClickActionFunc(IControl* caller) { caller->SetAnimation(DefaultAnimationFunc, 100.0); }

void DefaultAnimationFunc(IControl* caller)
{
  if (caller->GetAnimationFunction() && caller->GetAnimationProgress() > 1.0)
    caller->OnEndAnimation();
}

double IControl::AnimationNowMs() const
{
  if (mGraphics)
    return mGraphics->GetAnimationClockMs();
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void IControl::SetGraphics(ICanvas* graphics)
{
  mGraphics = graphics;
  if (mAnimationFunc)
    StartAnimation(mAnimationDuration);
}

void IControl::StartAnimation(double durationMs)
{
  mAnimationStartTime = AnimationNowMs();
  mAnimationDuration = durationMs;
}

void IControl::SetAnimation(IAnimationFunction func, double durationMs)
{
  mAnimationFunc = std::move(func);
  StartAnimation(durationMs);
}

double IControl::GetAnimationProgress() const
{
  if (!mAnimationFunc)
    return 0.0;
  // An animation without length is over as soon as it starts; dividing would give NaN at its
  // first instant and keep it running for a frame.
  if (mAnimationDuration <= 0.0)
    return std::numeric_limits<double>::infinity();
  return (AnimationNowMs() - mAnimationStartTime) / mAnimationDuration;
}

void IControl::Animate()
{
  if (!mAnimationFunc)
    return;
  // The function may end the animation and so reset the member it is called through.
  const IAnimationFunction func = mAnimationFunc;
  func(this);
}

void IControl::OnEndAnimation()
{
  mAnimationFunc = nullptr;
  SetDirty(false);
  if (mAnimationEndActionFunc)
    mAnimationEndActionFunc(this);
}

} // namespace umbra::ui
