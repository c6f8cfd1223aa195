#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "RealTransform.h"

// The per-bin passes are built twice, for the x86-64 baseline (SSE2) and for AVX2, and the
// program takes the one the processor can run when it starts. Neither uses fused multiply-adds,
// so both give the same bits.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(UMBRAVOX_NO_PROCESSOR_CLONES)
#define UMBRA_BIN_PASS __attribute__((target_clones("avx2", "default")))
#else
#define UMBRA_BIN_PASS
#endif

namespace umbra {

// The spectral frame processor. Each call windows the last N samples of an input ring,
// transforms them, rebuilds every bin from a decaying per-bin hold memory read at a pitch-shifted
// position (with phase smear and whisper texture), blends the result with the analysed bin,
// transforms back and overlap-adds into an output ring. One processor serves both channels: they
// share the hold memory and the random sequence.
//
// Its sound is defined for frames of 4096 samples at 48 kHz, one every 512. At another rate the
// block processor hands it a frame of the same length in seconds (see FrameTiming), and every
// constant that acts per frame or per bin is converted from its 48 kHz value, so a setting sounds
// the same at any rate and exactly as defined at 48 kHz.
class FFTProcessor {
public:
  static constexpr int kMaxChannels = 2;

  // fftSize samples at sampleRate, a frame every fftSize / 8 samples.
  explicit FFTProcessor(int fftSize, double sampleRate = 48000.0);
  ~FFTProcessor();
  FFTProcessor(const FFTProcessor&) = delete;
  FFTProcessor& operator=(const FFTProcessor&) = delete;

  // A frame is worked in steps (the transforms of each channel, and each channel's bins in
  // ranges), so a caller whose blocks are shorter than a hop can spread it over the hop's
  // callbacks instead of taking it all in one.
  //
  // The frame analyses the last N samples of each input ring (ringSize >= N; newest is the slot
  // of the newest sample) and, when its last step has run, has added N samples into each output
  // ring from firstOutput on (its frame sample i at slot firstOutput + i). The rings must hold
  // those samples until then. The settings below are taken as they stand here, for the whole
  // frame.
  void BeginFrame(double* const* inputs, double* const* outputs, int nChannels, int ringSize,
                  int newest, int firstOutput);
  int StepsLeft() const { return mStepCount - mStepsDone; }
  int StepsPerFrame() const { return mStepCount; }
  // Runs the steps due when `elapsed` of `span` samples have gone by since the frame began: as
  // much of the frame's work, by what each step has cost lately, as that share of the span.
  void RunStepsDue(int elapsed, int span);
  void RunSteps(int count);

  // One channel on rings of exactly N samples, the whole frame at once; the output goes where its
  // input came from. position is the ring index of the newest input.
  void Process(double* input, double* output, int position);

  // Clears the buffers, the per-bin memory and any frame in progress; the settings and the
  // random sequence run on.
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

  // The linear congruential generator behind every random draw.
  static constexpr uint32_t kRandomMul = 1664525u;
  static constexpr uint32_t kRandomAdd = 1013904223u;

  // The settings one frame works with.
  struct FrameSettings {
    float decay, possess, pitchRatio, formantGain, freeze, smear, whisper, resonance;
    int whisperMode;
  };

  // The steps of a frame, in order: each channel's analysis; then per channel, the hold updated
  // over each range of bins, the bins rebuilt over each range, and the synthesis. The channels'
  // rebuilds follow each other because they share the hold memory and the random sequence.
  static constexpr int kBinRanges = 8;
  static constexpr int kMaxSteps = kMaxChannels * (2 + 2 * kBinRanges);
  struct StepPlace {
    enum Kind { kAnalyse, kHold, kRebuild, kSynthesise } kind;
    int channel;
    int range; // of bins, for a hold update or a rebuild
  };
  static StepPlace PlaceOf(int step, int channels, int fftSize);
  void RunStep(int step);
  // What a step costs depends on the music (a hold update takes an arctangent for each bin that
  // rises) and the settings (the whisper's passes), so each step's cost is learnt as it runs: a
  // running average of its processor cycles, frame by frame.
  static double StartingCost(int step, int channels, int fftSize);
  void LearnCost(int step, double cycles);
  UMBRA_BIN_PASS void Analyse(int channel);
  void PrepareRebuild();
  UMBRA_BIN_PASS void Synthesise(int channel);

  void UpdateLookups();
  void UpdateResonance();
  UMBRA_BIN_PASS void UpdateHold(int begin, int end);
  void RebuildRange(int begin, int end);
  UMBRA_BIN_PASS void ReadShiftedHold(int begin, int end);
  UMBRA_BIN_PASS void DrawRandomValues(int begin, int end);
  UMBRA_BIN_PASS void ApplySmear(int begin, int end);
  UMBRA_BIN_PASS void ApplyGhosts(int begin, int end);
  UMBRA_BIN_PASS void ApplySizzle(int begin, int end);
  UMBRA_BIN_PASS void Blend(int begin, int end);
  int RangeBegin(int range) const;

  int mFFTSize;
  // A hop's length in seconds over the 48 kHz hop's (exactly 1 at 48 kHz); the width of a
  // 48 kHz bin in this frame's bins.
  double mTimeScale;
  // Constants of the 48 kHz frame as they stand for this one: the phase a held bin drifts by per
  // frame, and the magnitude floors, which follow the transform's gain for noise (the square root
  // of the frame length).
  float mPhaseDrift;
  float mSmearGuard;
  float mSizzleFloorSq;
  // One transform (with its buffers) per channel: a channel's bins wait in it between its
  // analysis and its rebuild.
  std::unique_ptr<RealTransform> mTransforms[kMaxChannels];

  // The frame in progress.
  FrameSettings mFrame{};
  double* mInputs[kMaxChannels] = {};
  double* mOutputs[kMaxChannels] = {};
  int mChannels = 0;
  int mRingSize = 0;
  int mNewest = 0;
  int mFirstOutput = 0;
  int mStepCount = 0;
  int mStepsDone = 0;
  double mStepCost[kMaxSteps] = {};
  bool mStepTimed[kMaxSteps] = {};
  int mCostedChannels = 0;
  double mCostPerFrame = 0.0;
  double mCostDone = 0.0;
  // Worked out when a channel's rebuild begins.
  float mFrameDecay = 0.f;
  bool mSmearOn = false, mWhisperOn = false, mGhostsOn = false;
  int mDrawsPerBin = 0;
  int mRebuildChannel = 0;
  uint32_t mDrawStart = 0;
  std::vector<float> mWindow;
  std::vector<float> mHeldMag;
  std::vector<float> mHeldPhase;
  std::vector<float> mPrevMag;
  uint32_t mRandomState = 12345;

  // Quantities that depend only on the bin and the settings, computed when a setting changes
  // with exactly the arithmetic the per-bin loop would use.
  // x = the bin's frequency over 24011.7 Hz (at 48 kHz: k / 2049), which places the resonance
  // and the formants at the same frequencies at every rate.
  std::vector<float> mBinPosition;
  // x * x, the sizzle's tilt; 0 above the 48 kHz range, where nothing was ever added.
  std::vector<float> mBinPositionSq;
  std::vector<float> mFormantBumps;    // 1 + 0.3 (e1 + e2 + e3)
  std::vector<Lookup> mLookups;

  // Per-bin working arrays of one frame, so that each step runs as one pass over the bins:
  // the analysed bin, the hold before this frame's update, and the rebuilt level and phase.
  std::vector<float> mRe, mIm, mMag;
  std::vector<float> mOldHeldMag, mOldHeldPhase;
  std::vector<int> mRefreshed;     // per bin: 1 when the hold took this frame's level
  std::vector<int> mRefreshedBins; // the bins that did, in ascending order
  std::vector<float> mSourceMag, mLevel, mPhase;
  std::vector<float> mCos, mSin;
  // The frame's random draws, by use: smear, then whisper r1 to r4, in the order they are drawn.
  std::vector<float> mDraws[5];
  std::vector<uint32_t> mJumpMul, mJumpAdd; // state after n draws = mul[n] x state + add[n]
  // Per-bin factors of the resonance bell g, which depends on the resonance setting alone.
  std::vector<float> mBell, mBellOnePlus2g, mBellOnePlus4g, mBellOnePlus5g;
  std::vector<float> mSizzleLift; // 0.15 (1 + 3g)
  float mLookupRatio = 0.f;
  float mTableResonance = -1.f;
};

} // namespace umbra
