#include "Quantiser.h"

#include <algorithm>
#include <cmath>

namespace umbra::sound {

Quantiser::Quantiser(int bits, bool dither)
  : mSteps(std::ldexp(1.0, bits - 1))
  , mLowest(-(int64_t{1} << (bits - 1)))
  , mHighest((int64_t{1} << (bits - 1)) - 1)
  , mShift(32 - bits)
  , mDither(dither)
{
}

double Quantiser::NextUniform()
{
  // xorshift64*: fast, and far longer than any render.
  mState ^= mState >> 12;
  mState ^= mState << 25;
  mState ^= mState >> 27;
  return static_cast<double>((mState * 0x2545F4914F6CDD1Dull) >> 11) * 0x1.0p-53;
}

int32_t Quantiser::operator()(float sample)
{
  double scaled = std::isfinite(sample) ? static_cast<double>(sample) * mSteps : 0.0;
  if (mDither)
    scaled += NextUniform() - NextUniform();
  const double rounded = std::nearbyint(std::clamp(scaled, static_cast<double>(mLowest), static_cast<double>(mHighest)));
  const int64_t value = static_cast<int64_t>(rounded);
  return static_cast<int32_t>(static_cast<uint32_t>(value) << mShift);
}

} // namespace umbra::sound
