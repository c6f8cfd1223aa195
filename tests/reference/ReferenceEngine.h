#pragma once

// A plain, unoptimised transcription of the spectral engine: every formula written out in the
// order and precision the design gives, one bin at a time. The shipped engine must produce the
// same samples bit for bit; this is what lets it be optimised safely.

#include <cstdint>
#include <vector>

#include "kiss_fftr.h"

namespace umbra::reference {

class RefFFTProcessor {
public:
  explicit RefFFTProcessor(int fftSize);
  ~RefFFTProcessor();
  RefFFTProcessor(const RefFFTProcessor&) = delete;
  RefFFTProcessor& operator=(const RefFFTProcessor&) = delete;

  void Process(double* input, double* output, int position);
  void Reset();

  float mDecay = 0.f;
  float mPossess = 0.f;
  float mPitchRatio = 1.f;
  float mFormantGain = 1.f;
  float mFreeze = 0.f;
  float mSmear = 0.f;
  float mWhisper = 0.f;
  int mWhisperMode = 0;
  float mResonance = 0.5f;
  uint32_t mRandomState = 12345;
  // Moves every bin by one unit in the last place after each transform: the reference as another
  // FFT would round it, which shows how far float rounding alone carries a preset's sound.
  bool mRoundingJitter = false;

private:
  float NextRandom();

  int mFFTSize;
  kiss_fftr_cfg mForwardConfig;
  kiss_fftr_cfg mInverseConfig;
  std::vector<float> mTimeIn, mTimeOut;
  std::vector<kiss_fft_cpx> mSpectrum;
  std::vector<float> mWindow;
  std::vector<float> mHeldMag, mHeldPhase, mPrevMag;
};

// The block processor around it, with the thirteen parameter values in their own units.
class RefBlockProcessor {
public:
  RefBlockProcessor();

  void ProcessBlock(const double* const* inputs, double** outputs, int blockFrames,
                    const double* params, double hostTempo, int nConnectedOutputs);
  void OnReset();

  float mTempo = 120.f;
  float mInputPeakDb = -60.f;
  float mOutputPeakDb = -60.f;
  RefFFTProcessor mFFTProcessor{4096};

private:
  std::vector<double> mInputRing[2], mOutputRing[2];
  int mWritePos = 0;
  int mHopCounter = 0;
};

} // namespace umbra::reference
