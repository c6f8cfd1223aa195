#include "FrameTiming.h"

#include <algorithm>
#include <cmath>

namespace umbra {

namespace {

constexpr double kReferenceRate = 48000.0;
constexpr int kReferenceHop = 512;
constexpr int kHopsPerFrame = 8; // the Hann window used twice sums to a constant at this overlap
// Bounds that keep a frame meaningful and its memory sane whatever rate a host claims.
constexpr int kMinHop = 8;
constexpr int kMaxHop = 8192;

bool OnlyFactors235(int n)
{
  for (int p : {2, 3, 5})
    while (n % p == 0)
      n /= p;
  return n == 1;
}

} // namespace

FrameTiming FrameTimingFor(double sampleRate)
{
  if (!(sampleRate > 0.0) || !std::isfinite(sampleRate))
    sampleRate = kReferenceRate;
  const double ideal = kReferenceHop * sampleRate / kReferenceRate;
  const int low = std::clamp(static_cast<int>(std::floor(ideal * 0.8)), kMinHop, kMaxHop);
  const int high = std::clamp(static_cast<int>(std::ceil(ideal * 1.25)), kMinHop, kMaxHop);

  // Nearest by ratio, so that a hop too long counts as much as one as much too short.
  int best = low;
  double bestDistance = HUGE_VAL;
  for (int hop = low; hop <= high; ++hop)
  {
    if (!OnlyFactors235(hop))
      continue;
    const double distance = std::fabs(std::log(hop / ideal));
    if (distance < bestDistance)
    {
      best = hop;
      bestDistance = distance;
    }
  }

  FrameTiming timing;
  timing.hopSize = best;
  timing.frameSize = best * kHopsPerFrame;
  timing.timeScale = (best * (kReferenceRate / kReferenceHop)) / sampleRate;
  return timing;
}

} // namespace umbra
