#pragma once

// Float samples into whole numbers for a 16-, 24- or 32-bit file. Rounded to nearest, so the
// error has no bias (truncating would put the whole signal half a step low), and clipped at full
// scale. 16-bit output can carry TPDF dither: the difference of two uniform draws, one step
// either way, which turns the error that follows the signal (audible as distortion on quiet
// fades) into a steady, signal-independent hiss, as sox does by default. Deeper formats need none:
// their steps lie below any converter's noise.

#include <cstdint>

namespace umbra::sound {

class Quantiser {
public:
  Quantiser(int bits, bool dither);

  // The sample as a whole number of the format's steps, scaled to the full 32-bit range (the
  // format's value shifted to the top), as libsndfile takes whole numbers of any width.
  int32_t operator()(float sample);

private:
  double NextUniform();

  double mSteps;     // steps from 0 to full scale
  int64_t mLowest;   // the format's range in steps
  int64_t mHighest;
  int mShift;        // to the top of 32 bits
  bool mDither;
  // A fixed start, so the same render gives the same bytes every time.
  uint64_t mState = 0x853C49E6748FEA9Bull;
};

} // namespace umbra::sound
