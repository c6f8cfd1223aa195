#pragma once

#include <algorithm>
#include <cmath>

namespace umbra {

// Moves a gain to a new value in a straight line over a fixed time, one step per sample.
//
// Linear rather than exponential: the ramp arrives at the target exactly, so once it is over the
// gain is the very value a fixed setting gives (a one-pole only approaches it and needs a final
// jump of its own). A new target part way through starts a new ramp from wherever the gain
// stands, so values a host sends once per period join up into one continuous line instead of a
// staircase.
class LinearSmoother {
public:
  // The ramp's length; takes effect with the next target.
  void SetRampFrames(int frames) { mRampFrames = std::max(frames, 1); }
  void SetRampTime(double seconds, double sampleRate)
  {
    SetRampFrames(static_cast<int>(std::lround(seconds * sampleRate)));
  }

  // Jumps to the value at once: nothing is left to ramp.
  void Snap(double value)
  {
    mStart = mTarget = mCurrent = value;
    mRamping = false;
  }

  // Heads for the value from where the gain stands now. The same target again changes nothing.
  void SetTarget(double value)
  {
    if (value == mTarget)
      return;
    mStart = mCurrent;
    mTarget = value;
    mStep = 0;
    mRamping = true;
  }

  bool IsRamping() const { return mRamping; }
  double Current() const { return mCurrent; }
  double Target() const { return mTarget; }

  // The gain for the next sample. Each value is worked out from the ramp's start rather than
  // accumulated, so the line does not drift and its last step lands on the target exactly.
  double Next()
  {
    if (!mRamping)
      return mCurrent;
    if (++mStep >= mRampFrames)
    {
      mCurrent = mTarget;
      mRamping = false;
    }
    else
    {
      mCurrent = mStart + (mTarget - mStart) * (static_cast<double>(mStep) / mRampFrames);
    }
    return mCurrent;
  }

private:
  double mStart = 0.0;
  double mTarget = 0.0;
  double mCurrent = 0.0;
  int mRampFrames = 1;
  int mStep = 0;
  bool mRamping = false;
};

} // namespace umbra
