#include "FFTProcessor.h"

#include "BinMath.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace umbra {

namespace {
constexpr float kPi = 3.1415927f;

// The processor's cycle counter (an instruction, not a system call); 0 where there is none.
inline uint64_t CycleCount()
{
#if defined(__x86_64__) || defined(__i386__)
  return __rdtsc();
#else
  return 0;
#endif
}

// The frame the constants are defined for: 4096 samples at 48 kHz, 2049 bins.
constexpr int kReferenceSize = 4096;
constexpr double kReferenceRate = 48000.0;
constexpr double kReferenceHopsPerSecond = kReferenceRate / (kReferenceSize / 8);

// A 48 kHz constant as it stands scaled; exactly the constant where the scale is 1.
float Scaled(float value, double scale)
{
  return scale == 1.0 ? value : static_cast<float>(value * scale);
}
} // namespace

FFTProcessor::FFTProcessor(int fftSize, double sampleRate)
  : mFFTSize(fftSize)
  , mTimeScale((fftSize / 8.0) * kReferenceHopsPerSecond / sampleRate)
  , mPhaseDrift(Scaled(0.01f, mTimeScale))
  , mSmearGuard(Scaled(0.0001f, std::sqrt(static_cast<double>(fftSize) / kReferenceSize)))
  , mSizzleFloorSq(Scaled(0.001f, static_cast<double>(fftSize) / kReferenceSize))
  , mWindow(static_cast<size_t>(fftSize), 0.f)
  , mHeldMag(static_cast<size_t>(fftSize / 2 + 1), 0.f)
  , mHeldPhase(static_cast<size_t>(fftSize / 2 + 1), 0.f)
  , mPrevMag(static_cast<size_t>(fftSize / 2 + 1), 0.f)
{
  const int half = fftSize / 2;
  for (auto& transform : mTransforms)
    transform = std::make_unique<RealTransform>(fftSize);

  // Periodic Hann window: 0 at the first sample, 1 in the middle.
  for (int i = 0; i < fftSize; ++i)
    mWindow[i] = (1.f - std::cos(static_cast<float>(i) * 6.2831855f / static_cast<float>(fftSize))) * 0.5f;

  mBinPosition.resize(static_cast<size_t>(half + 1));
  mBinPositionSq.resize(static_cast<size_t>(half + 1));
  mFormantBumps.resize(static_cast<size_t>(half + 1));
  const double binScale = 1.0 / mTimeScale;
  constexpr float kReferenceBins = kReferenceSize / 2 + 1;
  for (int k = 0; k <= half; ++k)
  {
    const float x = static_cast<float>(k * binScale) / kReferenceBins;
    const float t1 = (x - 0.35f) * 12.f;
    const float t2 = (x - 0.15f) * 10.f;
    const float t3 = (x - 0.55f) * 15.f;
    const float e1 = std::exp(-(t1 * t1));
    const float e2 = std::exp(-(t2 * t2));
    const float e3 = std::exp(-(t3 * t3));
    mBinPosition[k] = x;
    mBinPositionSq[k] = x < 1.f ? x * x : 0.f;
    mFormantBumps[k] = 1.f + 0.3f * (e1 + e2 + e3);
  }
  mLookups.resize(static_cast<size_t>(half + 1));
  for (auto* bins : {&mBell, &mBellOnePlus2g, &mBellOnePlus4g, &mBellOnePlus5g, &mSizzleLift,
                     &mRe, &mIm, &mMag, &mOldHeldMag, &mOldHeldPhase, &mSourceMag, &mLevel,
                     &mPhase, &mCos, &mSin, &mDraws[0], &mDraws[1], &mDraws[2], &mDraws[3],
                     &mDraws[4]})
    bins->assign(static_cast<size_t>(half + 1), 0.f);
  mRefreshed.assign(static_cast<size_t>(half + 1), 0);
  mRefreshedBins.assign(static_cast<size_t>(half + 1), 0);

  // Jump-ahead coefficients of the random generator for up to five draws per bin.
  const int maxDraws = 5 * (half - 1);
  mJumpMul.resize(static_cast<size_t>(maxDraws + 1));
  mJumpAdd.resize(static_cast<size_t>(maxDraws + 1));
  mJumpMul[0] = 1u;
  mJumpAdd[0] = 0u;
  for (int n = 1; n <= maxDraws; ++n)
  {
    mJumpMul[n] = mJumpMul[n - 1] * kRandomMul;
    mJumpAdd[n] = mJumpAdd[n - 1] * kRandomMul + kRandomAdd;
  }
  UpdateLookups();
  UpdateResonance();
}

FFTProcessor::~FFTProcessor() = default;

void FFTProcessor::Reset()
{
  for (auto& transform : mTransforms)
  {
    std::fill(transform->Time(), transform->Time() + mFFTSize, 0.f);
    std::fill(transform->Bins(), transform->Bins() + 2 * (mFFTSize / 2 + 1), 0.f);
  }
  mChannels = 0;
  mStepCount = 0;
  mStepsDone = 0;
  std::fill(mHeldMag.begin(), mHeldMag.end(), 0.f);
  std::fill(mHeldPhase.begin(), mHeldPhase.end(), 0.f);
  std::fill(mPrevMag.begin(), mPrevMag.end(), 0.f);
}

void FFTProcessor::UpdateLookups()
{
  const int half = mFFTSize / 2;
  for (int k = 0; k <= half; ++k)
  {
    const float src = static_cast<float>(k) / mFrame.pitchRatio;
    Lookup lookup{Lookup::kNone, 0, 0.f, 0.f};
    if (src >= 1.f && src < static_cast<float>(half))
    {
      const int i = static_cast<int>(src);
      const float f = src - static_cast<float>(i);
      lookup = {Lookup::kInterpolate, i, f, 1.f - f};
    }
    else if (src >= 1.f && src < static_cast<float>(half + 1))
    {
      const int j = static_cast<int>(src + 0.5f);
      if (j >= 1 && j <= half)
        lookup = {Lookup::kNearest, j, 0.f, 0.f};
    }
    mLookups[k] = lookup;
  }
  mLookupRatio = mFrame.pitchRatio;
}

void FFTProcessor::UpdateResonance()
{
  const float resonance = mFrame.resonance;
  const float s = (1.f - resonance) * 0.05f + 0.03f;
  for (size_t k = 0; k < mBell.size(); ++k)
  {
    const float x = mBinPosition[k];
    const float g = std::exp(-((x - resonance) * (x - resonance)) / (2.f * (s * s)));
    mBell[k] = g;
    mBellOnePlus2g[k] = 1.f + 2.f * g;
    mBellOnePlus4g[k] = 1.f + 4.f * g;
    mBellOnePlus5g[k] = 1.f + 5.f * g;
    mSizzleLift[k] = 0.15f * (1.f + 3.f * g);
  }
  mTableResonance = resonance;
}

void FFTProcessor::BeginFrame(double* const* inputs, double* const* outputs, int nChannels,
                              int ringSize, int newest, int firstOutput)
{
  mFrame = {mDecay, mPossess, mPitchRatio, mFormantGain, mFreeze, mSmear, mWhisper, mResonance,
            mWhisperMode};
  mChannels = std::clamp(nChannels, 0, kMaxChannels);
  for (int c = 0; c < mChannels; ++c)
  {
    mInputs[c] = inputs[c];
    mOutputs[c] = outputs[c];
  }
  mRingSize = ringSize;
  mNewest = newest;
  mFirstOutput = firstOutput;
  const int rebuildSteps = mFFTSize >= 4 ? 2 * kBinRanges : 0;
  mStepCount = mChannels * (2 + rebuildSteps);
  mStepsDone = 0;
  if (mCostedChannels != mChannels)
  {
    for (int step = 0; step < mStepCount; ++step)
    {
      mStepCost[step] = StartingCost(step, mChannels, mFFTSize);
      mStepTimed[step] = false;
    }
    mCostedChannels = mChannels;
  }
  mCostDone = 0.0;
  mCostPerFrame = 0.0;
  for (int step = 0; step < mStepCount; ++step)
    mCostPerFrame += mStepCost[step];
}

void FFTProcessor::RunSteps(int count)
{
  for (int end = std::min(mStepCount, mStepsDone + count); mStepsDone < end; ++mStepsDone)
  {
    mCostDone += mStepCost[mStepsDone];
    const uint64_t start = CycleCount();
    RunStep(mStepsDone);
    LearnCost(mStepsDone, static_cast<double>(CycleCount() - start));
  }
}

void FFTProcessor::RunStepsDue(int elapsed, int span)
{
  // A step runs once the work due has reached its middle, so each call's work lands within half
  // a step of its share.
  const double due = mCostPerFrame * elapsed / span;
  while (mStepsDone < mStepCount && mCostDone + 0.5 * mStepCost[mStepsDone] <= due)
    RunSteps(1);
}

// In units of a hold update over a range of bins, until the steps have been timed: a transform
// with its windowing costs about eight, a range's rebuild (with its sines and cosines) six.
double FFTProcessor::StartingCost(int step, int channels, int fftSize)
{
  switch (PlaceOf(step, channels, fftSize).kind)
  {
    case StepPlace::kHold:
      return 1.0;
    case StepPlace::kRebuild:
      return 6.0;
    default:
      return 8.0;
  }
}

void FFTProcessor::LearnCost(int step, double cycles)
{
  if (cycles <= 0.0)
    return; // no cycle counter here: the starting costs stand
  // The first timing replaces the starting guess in units; after that a quarter of each new
  // timing goes in, and a call the thread was preempted in counts as no more than four times the
  // average.
  double& cost = mStepCost[step];
  if (!mStepTimed[step])
    cost = cycles;
  else
    cost += 0.25 * (std::min(cycles, 4.0 * cost) - cost);
  mStepTimed[step] = true;
}

void FFTProcessor::Process(double* input, double* output, int position)
{
  BeginFrame(&input, &output, 1, mFFTSize, position, position);
  RunSteps(StepsLeft());
}

// Steps 0 to channels - 1 analyse; then, channel by channel, kBinRanges hold updates,
// kBinRanges rebuilds and a synthesis (just the synthesis for frames too short to rebuild).
FFTProcessor::StepPlace FFTProcessor::PlaceOf(int step, int channels, int fftSize)
{
  if (step < channels)
    return {StepPlace::kAnalyse, step, 0};
  const int rebuildSteps = fftSize >= 4 ? 2 * kBinRanges : 0;
  const int channel = (step - channels) / (rebuildSteps + 1);
  const int inChannel = (step - channels) % (rebuildSteps + 1);
  if (inChannel == rebuildSteps)
    return {StepPlace::kSynthesise, channel, 0};
  if (inChannel < kBinRanges)
    return {StepPlace::kHold, channel, inChannel};
  return {StepPlace::kRebuild, channel, inChannel - kBinRanges};
}

void FFTProcessor::RunStep(int step)
{
  const StepPlace place = PlaceOf(step, mChannels, mFFTSize);
  mRebuildChannel = place.channel;
  switch (place.kind)
  {
    case StepPlace::kAnalyse:
      Analyse(place.channel);
      break;
    case StepPlace::kHold:
      if (place.range == 0)
        PrepareRebuild();
      UpdateHold(RangeBegin(place.range), RangeBegin(place.range + 1));
      break;
    case StepPlace::kRebuild:
      RebuildRange(RangeBegin(place.range), RangeBegin(place.range + 1));
      break;
    case StepPlace::kSynthesise:
      Synthesise(place.channel);
      break;
  }
}

// Bins 1 to N/2 - 1 (DC and the top bin pass unchanged) in kBinRanges ranges.
int FFTProcessor::RangeBegin(int range) const
{
  const int bins = mFFTSize / 2 - 1;
  return 1 + static_cast<int>(static_cast<long>(bins) * range / kBinRanges);
}

void FFTProcessor::Analyse(int channel)
{
  const int N = mFFTSize;
  const double* input = mInputs[channel];
  float* time = mTransforms[channel]->Time();

  // Frame sample 0 is the newest input; samples 1 to N - 1 are the N - 1 before it, oldest first.
  time[0] = static_cast<float>(static_cast<double>(mWindow[0]) * input[mNewest]);
  const int oldest = (mNewest - (N - 1) + mRingSize) % mRingSize;
  const int firstRun = std::min(N - 1, mRingSize - oldest);
  for (int i = 1; i <= firstRun; ++i)
    time[i] = static_cast<float>(static_cast<double>(mWindow[i]) * input[oldest + i - 1]);
  for (int i = firstRun + 1; i < N; ++i)
    time[i] = static_cast<float>(static_cast<double>(mWindow[i]) * input[i - 1 - firstRun]);

  mTransforms[channel]->Forward();
}

void FFTProcessor::Synthesise(int channel)
{
  const int N = mFFTSize;
  mTransforms[channel]->Inverse();
  const float* time = mTransforms[channel]->Time();
  double* output = mOutputs[channel];

  const float scale = 1.5f / static_cast<float>(N);
  const int firstRun = std::min(N, mRingSize - mFirstOutput);
  for (int i = 0; i < firstRun; ++i)
    output[mFirstOutput + i] += static_cast<double>(time[i] * mWindow[i] * scale);
  for (int i = firstRun; i < N; ++i)
    output[i - firstRun] += static_cast<double>(time[i] * mWindow[i] * scale);
}

// The bins are rebuilt in passes, each over a range of bins, rather than bin by bin: the passes
// without library calls then run on vector units. Every value is computed with exactly the
// arithmetic, in exactly the order, of the bin-by-bin formulation. The hold is updated over all
// ranges before any is rebuilt, because a pitch-shifted read reaches into other ranges.
void FFTProcessor::PrepareRebuild()
{
  if (mFrame.pitchRatio != mLookupRatio)
    UpdateLookups();
  if (mFrame.resonance != mTableResonance)
    UpdateResonance();

  // The hold's decay is defined per 48 kHz hop; over a hop of another length it decays by the
  // same amount per second.
  float decay = std::min(0.9999f, mFrame.decay + (1.f - mFrame.decay) * mFrame.freeze);
  if (mTimeScale != 1.0)
    decay = static_cast<float>(std::pow(static_cast<double>(decay), mTimeScale));
  mFrameDecay = decay;
  mSmearOn = mFrame.smear > 0.04f;
  mWhisperOn = mFrame.whisper > 0.01f;
  mGhostsOn = mFrame.whisperMode != 0;

  // The channel's draws all come from the state it starts with (see DrawRandomValues).
  mDrawsPerBin = (mSmearOn ? 1 : 0) + (mWhisperOn ? (mGhostsOn ? 3 : 4) : 0);
  mDrawStart = mRandomState;
  const int total = (mFFTSize / 2 - 1) * mDrawsPerBin;
  mRandomState = mJumpMul[total] * mDrawStart + mJumpAdd[total];
}

void FFTProcessor::RebuildRange(int begin, int end)
{
  ReadShiftedHold(begin, end);
  DrawRandomValues(begin, end);
  if (mSmearOn)
    ApplySmear(begin, end);
  if (mWhisperOn)
  {
    if (mGhostsOn)
      ApplyGhosts(begin, end);
    else
      ApplySizzle(begin, end);
  }
  Blend(begin, end);
}

void FFTProcessor::UpdateHold(int begin, int end)
{
  // Read as plain floats, real and imaginary interleaved, which the vectoriser handles.
  const float* __restrict spectrum = mTransforms[mRebuildChannel]->Bins();
  float* __restrict re = mRe.data();
  float* __restrict im = mIm.data();
  float* __restrict mag = mMag.data();
  float* __restrict prevMag = mPrevMag.data();
  float* __restrict heldMag = mHeldMag.data();
  float* __restrict heldPhase = mHeldPhase.data();
  float* __restrict oldMag = mOldHeldMag.data();
  float* __restrict oldPhase = mOldHeldPhase.data();
  int* __restrict refreshed = mRefreshed.data();
  const float drift = mPhaseDrift;
  const float decay = mFrameDecay;

  #pragma GCC ivdep // the per-bin arrays are distinct
  for (int k = begin; k < end; ++k)
  {
    const float r = spectrum[2 * k];
    const float i = spectrum[2 * k + 1];
    re[k] = r;
    im[k] = i;
    const float current = std::sqrt(r * r + i * i);
    const float prev = prevMag[k];
    mag[k] = current;
    prevMag[k] = current;

    // Loud material refreshes the hold (with the previous frame's level); otherwise it decays
    // and its phase drifts. A refreshed bin takes the current phase, filled in below.
    const float held = heldMag[k];
    const float phase = heldPhase[k];
    oldMag[k] = held;
    oldPhase[k] = phase;
    const bool refresh = prev > decay * held;
    heldMag[k] = refresh ? prev : decay * held;
    heldPhase[k] = refresh ? phase : phase + drift;
    refreshed[k] = refresh;
  }

  // Which bins refresh follows the music, so a branch per bin would be mispredicted half the
  // time: list them without branching first, then take their phases.
  int nRefreshed = 0;
  for (int k = begin; k < end; ++k)
  {
    mRefreshedBins[nRefreshed] = k;
    nRefreshed += refreshed[k];
  }
  for (int n = 0; n < nRefreshed; ++n)
  {
    const int k = mRefreshedBins[n];
    heldPhase[k] = std::atan2(im[k], re[k]);
  }
}

// Bin k reads the hold at k / ratio. Going up the range one bin at a time, a read at or below k
// would see this frame's hold and a read above k the previous frame's: hence the two copies.
void FFTProcessor::ReadShiftedHold(int begin, int end)
{
  const float freezeLift = mFrame.freeze * 0.2f + 1.f;
  const float formantGain = mFrame.formantGain;

  if (mFrame.pitchRatio == 1.f)
  {
    // Without a shift every bin interpolates between its own new hold (weight 1) and its upper
    // neighbour's old one (weight 0): the same arithmetic, in one straight pass.
    const float* __restrict held = mHeldMag.data();
    const float* __restrict phase = mHeldPhase.data();
    const float* __restrict oldHeld = mOldHeldMag.data();
    const float* __restrict oldPhase = mOldHeldPhase.data();
    float* __restrict source = mSourceMag.data();
    float* __restrict sourcePhase = mPhase.data();
    float* __restrict level = mLevel.data();
#pragma GCC ivdep // the per-bin arrays are distinct
    for (int k = begin; k < end; ++k)
    {
      const float m = held[k] * 1.f + oldHeld[k + 1] * 0.f;
      source[k] = m;
      sourcePhase[k] = phase[k] * 1.f + oldPhase[k + 1] * 0.f;
      level[k] = m * 1.5f * freezeLift * formantGain;
    }
    return;
  }

  for (int k = begin; k < end; ++k)
  {
    const Lookup& lookup = mLookups[k];
    float m = 0.f;
    float p = 0.f;
    if (lookup.kind == Lookup::kInterpolate)
    {
      const int i = lookup.index;
      const float* __restrict magLo = i <= k ? mHeldMag.data() : mOldHeldMag.data();
      const float* __restrict phaseLo = i <= k ? mHeldPhase.data() : mOldHeldPhase.data();
      const float* __restrict magHi = i + 1 <= k ? mHeldMag.data() : mOldHeldMag.data();
      const float* __restrict phaseHi = i + 1 <= k ? mHeldPhase.data() : mOldHeldPhase.data();
      m = magLo[i] * lookup.oneMinusFraction + magHi[i + 1] * lookup.fraction;
      p = phaseLo[i] * lookup.oneMinusFraction + phaseHi[i + 1] * lookup.fraction;
    }
    else if (lookup.kind == Lookup::kNearest)
    {
      const int j = lookup.index;
      m = (j <= k ? mHeldMag : mOldHeldMag)[j];
      p = (j <= k ? mHeldPhase : mOldHeldPhase)[j];
    }
    mSourceMag[k] = m;
    mPhase[k] = p;
    mLevel[k] = m * 1.5f * freezeLift * formantGain;
  }
}

// Draw n of this frame (counting from 1) comes from state A(n) x s + C(n), where s is the state
// before the frame: with those coefficients tabulated, every draw of the frame is computed at
// once, in the order-free way vector units like, and gives exactly the sequential values.
void FFTProcessor::DrawRandomValues(int begin, int end)
{
  const int perBin = mDrawsPerBin;
  if (perBin == 0)
    return;

  const uint32_t start = mDrawStart;
  const int firstUse = mSmearOn ? 0 : 1;
  for (int d = 0; d < perBin; ++d)
  {
    float* __restrict out = mDraws[firstUse + d].data();
    const uint32_t* __restrict mul = mJumpMul.data();
    const uint32_t* __restrict add = mJumpAdd.data();
    // Bin k's draw d is draw number (k - 1) x perBin + d + 1.
    #pragma GCC ivdep // the per-bin arrays are distinct
    for (int k = begin; k < end; ++k)
    {
      const int n = (k - 1) * perBin + d + 1;
      const uint32_t state = mul[n] * start + add[n];
      out[k] = static_cast<float>(static_cast<int32_t>(state & 0x7FFFFFFFu)) * 0x1p-31f;
    }
  }
}

void FFTProcessor::ApplySmear(int begin, int end)
{
  const float amount = mFrame.smear;
  const float guard = mSmearGuard;
  const float* __restrict m = mSourceMag.data();
  const float* __restrict mag = mMag.data();
  const float* __restrict r = mDraws[0].data();
  float* __restrict p = mPhase.data();
  #pragma GCC ivdep // the per-bin arrays are distinct
  for (int k = begin; k < end; ++k)
  {
    const float ratio = m[k] / (mag[k] + guard);
    const float q = ratio < 10.f ? ratio : 10.f;
    const float b = 2.f * r[k] - 1.f;
    p[k] = p[k] + (q + 2.f) * (amount * b) * kPi * 3.f;
  }
}

void FFTProcessor::ApplyGhosts(int begin, int end)
{
  const float w = mFrame.whisper;
  const float a = mFrame.resonance * 0.5f + 0.5f;
  const float* __restrict m = mSourceMag.data();
  const float* __restrict held = mHeldMag.data();
  const float* __restrict bumps = mFormantBumps.data();
  const float* __restrict r1 = mDraws[1].data();
  const float* __restrict r2 = mDraws[2].data();
  const float* __restrict r3 = mDraws[3].data();
  const float* __restrict g = mBell.data();
  const float* __restrict onePlus4g = mBellOnePlus4g.data();
  float* __restrict level = mLevel.data();
  float* __restrict p = mPhase.data();
  #pragma GCC ivdep // the per-bin arrays are distinct
  for (int k = begin; k < end; ++k)
  {
    const float M = level[k];
    const float qm = std::sqrt(M * M + m[k] * m[k]);
    const float u = (2.f * r1[k] - 1.f) * 0.5f + 0.5f;
    const float amp = std::fabs(2.f * r2[k] - 1.f) * u * qm * 0.4f;
    level[k] = M + onePlus4g[k] * (held[k] * g[k] * 0.25f + amp * bumps[k]) * w * 2.5f * a;
    p[k] = p[k] + (2.f * r3[k] - 1.f) * kPi * w * (0.5f * u + 0.5f);
  }
}

void FFTProcessor::ApplySizzle(int begin, int end)
{
  const float w = mFrame.whisper;
  const float a = mFrame.resonance * 0.5f + 0.5f;
  const float floorSq = mSizzleFloorSq;
  const float* __restrict m = mSourceMag.data();
  const float* __restrict mag = mMag.data();
  const float* __restrict xx = mBinPositionSq.data();
  const float* __restrict r1 = mDraws[1].data();
  const float* __restrict r2 = mDraws[2].data();
  const float* __restrict r3 = mDraws[3].data();
  const float* __restrict r4 = mDraws[4].data();
  const float* __restrict onePlus2g = mBellOnePlus2g.data();
  const float* __restrict onePlus5g = mBellOnePlus5g.data();
  const float* __restrict lift = mSizzleLift.data();
  float* __restrict level = mLevel.data();
  float* __restrict p = mPhase.data();
  #pragma GCC ivdep // the per-bin arrays are distinct
  for (int k = begin; k < end; ++k)
  {
    const float n = std::fabs((2.f * r1[k] - 1.f) * 0.5f + (2.f * r2[k] - 1.f) * 0.3f) * xx[k];
    const float M1 = level[k] + onePlus5g[k] * std::sqrt(m[k] * m[k] + mag[k] * mag[k] + floorSq) * n * 0.8f * w * 3.f * a;
    level[k] = M1 * (1.f + lift[k] * std::fabs(2.f * r3[k] - 1.f) * w);
    p[k] = p[k] + (2.f * r4[k] - 1.f) * kPi * 0.6f * w * onePlus2g[k];
  }
}

void FFTProcessor::Blend(int begin, int end)
{
  SinCosBins(mPhase.data() + begin, mSin.data() + begin, mCos.data() + begin, end - begin);

  const float possess = mFrame.possess;
  const float keep = 1.f - mFrame.possess;
  const float* __restrict re = mRe.data();
  const float* __restrict im = mIm.data();
  const float* __restrict level = mLevel.data();
  const float* __restrict c = mCos.data();
  const float* __restrict s = mSin.data();
  float* __restrict spectrum = mTransforms[mRebuildChannel]->Bins();
  #pragma GCC ivdep // the per-bin arrays are distinct
  for (int k = begin; k < end; ++k)
  {
    spectrum[2 * k] = keep * re[k] + possess * level[k] * c[k];
    spectrum[2 * k + 1] = keep * im[k] + possess * level[k] * s[k];
  }
}

} // namespace umbra
