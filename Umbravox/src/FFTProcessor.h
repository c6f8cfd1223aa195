#pragma once

#include <cstdint>
#include <vector>

#include "kiss_fftr.h"

namespace umbra {

// The spectral frame processor. Each call windows the last N samples of an input ring,
// transforms them, rebuilds every bin from a decaying per-bin hold memory read at a pitch-shifted
// position (with phase smear and whisper texture), blends the result with the analysed bin,
// transforms back and overlap-adds into an output ring. One processor serves both channels: they
// share the hold memory and the random sequence.
class FFTProcessor {
public:
  explicit FFTProcessor(int fftSize);
  ~FFTProcessor();
  FFTProcessor(const FFTProcessor&) = delete;
  FFTProcessor& operator=(const FFTProcessor&) = delete;

  // input and output are rings of N samples; position is the ring index of the newest input.
  void Process(double* input, double* output, int position);

  // Clears the buffers and the per-bin memory; the settings and the random sequence run on.
  void Reset();

  int Size() const { return mFFTSize; }

  // Settings, written by the block processor before every block.
  float mDecay = 0.f;
  float mPossess = 0.f;
  float mPitchRatio = 1.f;
  float mFormantGain = 1.f;
  float mFreeze = 0.f;
  float mSmear = 0.f;
  float mWhisper = 0.f;
  int mWhisperMode = 0;
  float mResonance = 0.5f;

  uint32_t RandomState() const { return mRandomState; }

private:
  // Where bin k reads the held memory for a given pitch ratio.
  struct Lookup {
    enum Kind : int { kNone, kInterpolate, kNearest } kind;
    int index;
    float fraction;
    float oneMinusFraction;
  };

  // Per-bin factors of the resonance bell g (they depend on the resonance setting alone).
  struct Resonance {
    float g;
    float onePlus2g;
    float onePlus4g;
    float onePlus5g;
    float sizzleLift; // 0.15 (1 + 3g)
  };

  float NextRandom()
  {
    mRandomState = mRandomState * 1664525u + 1013904223u;
    return static_cast<float>(static_cast<double>(mRandomState & 0x7FFFFFFFu) * (1.0 / 2147483648.0));
  }

  void UpdateLookups();
  void UpdateResonance();
  void RebuildBins();

  int mFFTSize;
  kiss_fftr_cfg mForwardConfig;
  kiss_fftr_cfg mInverseConfig;
  std::vector<float> mTimeIn;
  std::vector<float> mTimeOut;
  std::vector<kiss_fft_cpx> mSpectrum;
  std::vector<float> mWindow;
  std::vector<float> mHeldMag;
  std::vector<float> mHeldPhase;
  std::vector<float> mPrevMag;
  uint32_t mRandomState = 12345;

  // Quantities that depend only on the bin and the settings, computed when a setting changes
  // with exactly the arithmetic the per-bin loop would use.
  std::vector<float> mBinPosition;     // x = k / (half + 1)
  std::vector<float> mBinPositionSq;   // x * x
  std::vector<float> mFormantBumps;    // 1 + 0.3 (e1 + e2 + e3)
  std::vector<Lookup> mLookups;
  std::vector<Resonance> mResonanceTable;
  float mLookupRatio = 0.f;
  float mTableResonance = -1.f;
};

} // namespace umbra
