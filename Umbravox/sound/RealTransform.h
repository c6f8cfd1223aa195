#pragma once

#include <complex>

#include <fftw3.h>

namespace umbra {

// A real-to-complex transform pair of one size on FFTW, single precision: N real samples to
// N/2 + 1 bins and back, unnormalised both ways (a round trip scales by N). Made and destroyed on
// the main thread only (FFTW's planner is not thread-safe; every plan in the process is made
// under one lock); Forward and Inverse run on the audio thread, without allocation or lock.
class RealTransform {
public:
  explicit RealTransform(int size);
  ~RealTransform();
  RealTransform(const RealTransform&) = delete;
  RealTransform& operator=(const RealTransform&) = delete;

  int Size() const { return mSize; }

  // Buffers aligned for FFTW's vector code: the time frame (N) and the bins (N/2 + 1), as
  // interleaved real and imaginary floats. Both transforms run on these.
  float* Time() { return mTime; }
  float* Bins() { return reinterpret_cast<float*>(mBins); }
  const float* Bins() const { return reinterpret_cast<const float*>(mBins); }

  // Time() to Bins().
  void Forward();
  // Bins() to Time(); the bins are destroyed on the way.
  void Inverse();

private:
  int mSize;
  float* mTime;
  fftwf_complex* mBins;
  fftwf_plan mForward;
  fftwf_plan mInverse;
};

} // namespace umbra
