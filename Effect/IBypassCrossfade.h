#pragma once

#include <vector>

namespace umbra {

// A click-free switch between a plug-in's own output and its bypass path. Both run all the
// time; while the switch moves, the two are mixed with gains on a raised cosine (no corner at
// either end, and the two gains always add up to one), one step per frame. Render thread only,
// but for construction.
class BypassCrossfade {
public:
  static constexpr int kFadeFrames = 1024;

  BypassCrossfade();

  void SetTarget(bool bypassed) { mTarget = bypassed ? kFadeFrames : 0; }
  // Goes to the target at once (activation, reset).
  void Settle() { mPos = mTarget; }

  // 0 while processing, kFadeFrames while bypassed, in between while moving.
  int Position() const { return mPos; }
  bool IsSettled() const { return mPos == mTarget; }
  bool IsBypassedThroughout() const { return mPos == kFadeFrames && mTarget == kFadeFrames; }

  // outputs[c][s] = outputs[c][s] x (1 - g) + bypass[c][s] x g, moving g one step per frame.
  void Mix(float* const* outputs, const float* const* bypass, int nChans, int nFrames);

private:
  std::vector<float> mCurve; // kFadeFrames + 1 gains of the bypass path
  int mPos = 0;
  int mTarget = 0;
};

} // namespace umbra
