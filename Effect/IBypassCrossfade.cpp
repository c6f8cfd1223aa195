#include "IBypassCrossfade.h"

#include <cmath>
#include <numbers>

namespace umbra {

BypassCrossfade::BypassCrossfade() : mCurve(kFadeFrames + 1)
{
  for (int i = 0; i <= kFadeFrames; ++i)
    mCurve[i] = static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * i / kFadeFrames));
}

void BypassCrossfade::Mix(float* const* outputs, const float* const* bypass, int nChans, int nFrames)
{
  const int step = mTarget > mPos ? 1 : -1;
  for (int s = 0; s < nFrames; ++s)
  {
    const float g = mCurve[mPos];
    for (int c = 0; c < nChans; ++c)
      outputs[c][s] = outputs[c][s] * (1.f - g) + bypass[c][s] * g;
    if (mPos != mTarget)
      mPos += step;
  }
}

} // namespace umbra
