#include "FFTProcessor.h"

#include <algorithm>
#include <cmath>

namespace umbra {

namespace {
constexpr float kPi = 3.1415927f;
}

FFTProcessor::FFTProcessor(int fftSize)
  : mFFTSize(fftSize)
  , mForwardConfig(kiss_fftr_alloc(fftSize, 0, nullptr, nullptr))
  , mInverseConfig(kiss_fftr_alloc(fftSize, 1, nullptr, nullptr))
  , mTimeIn(static_cast<size_t>(fftSize), 0.f)
  , mTimeOut(static_cast<size_t>(fftSize), 0.f)
  , mSpectrum(static_cast<size_t>(fftSize / 2 + 1), kiss_fft_cpx{0.f, 0.f})
  , mWindow(static_cast<size_t>(fftSize), 0.f)
  , mHeldMag(static_cast<size_t>(fftSize / 2 + 1), 0.f)
  , mHeldPhase(static_cast<size_t>(fftSize / 2 + 1), 0.f)
  , mPrevMag(static_cast<size_t>(fftSize / 2 + 1), 0.f)
{
  const int half = fftSize / 2;

  // Periodic Hann window: 0 at the first sample, 1 in the middle.
  for (int i = 0; i < fftSize; ++i)
    mWindow[i] = (1.f - std::cos(static_cast<float>(i) * 6.2831855f / static_cast<float>(fftSize))) * 0.5f;

  mBinPosition.resize(static_cast<size_t>(half + 1));
  mBinPositionSq.resize(static_cast<size_t>(half + 1));
  mFormantBumps.resize(static_cast<size_t>(half + 1));
  for (int k = 0; k <= half; ++k)
  {
    const float x = static_cast<float>(k) / static_cast<float>(half + 1);
    const float t1 = (x - 0.35f) * 12.f;
    const float t2 = (x - 0.15f) * 10.f;
    const float t3 = (x - 0.55f) * 15.f;
    const float e1 = std::exp(-(t1 * t1));
    const float e2 = std::exp(-(t2 * t2));
    const float e3 = std::exp(-(t3 * t3));
    mBinPosition[k] = x;
    mBinPositionSq[k] = x * x;
    mFormantBumps[k] = 1.f + 0.3f * (e1 + e2 + e3);
  }
  mLookups.resize(static_cast<size_t>(half + 1));
  mResonanceTable.resize(static_cast<size_t>(half + 1));
  UpdateLookups();
  UpdateResonance();
}

FFTProcessor::~FFTProcessor()
{
  kiss_fftr_free(mForwardConfig);
  kiss_fftr_free(mInverseConfig);
}

void FFTProcessor::Reset()
{
  std::fill(mTimeIn.begin(), mTimeIn.end(), 0.f);
  std::fill(mTimeOut.begin(), mTimeOut.end(), 0.f);
  std::fill(mSpectrum.begin(), mSpectrum.end(), kiss_fft_cpx{0.f, 0.f});
  std::fill(mHeldMag.begin(), mHeldMag.end(), 0.f);
  std::fill(mHeldPhase.begin(), mHeldPhase.end(), 0.f);
  std::fill(mPrevMag.begin(), mPrevMag.end(), 0.f);
}

void FFTProcessor::UpdateLookups()
{
  const int half = mFFTSize / 2;
  for (int k = 0; k <= half; ++k)
  {
    const float src = static_cast<float>(k) / mPitchRatio;
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
  mLookupRatio = mPitchRatio;
}

void FFTProcessor::UpdateResonance()
{
  const float s = (1.f - mResonance) * 0.05f + 0.03f;
  for (size_t k = 0; k < mResonanceTable.size(); ++k)
  {
    const float x = mBinPosition[k];
    const float g = std::exp(-((x - mResonance) * (x - mResonance)) / (2.f * (s * s)));
    mResonanceTable[k] = {g, 1.f + 2.f * g, 1.f + 4.f * g, 1.f + 5.f * g, 0.15f * (1.f + 3.f * g)};
  }
  mTableResonance = mResonance;
}

void FFTProcessor::Process(double* input, double* output, int position)
{
  const int N = mFFTSize;

  // Analysis: frame sample i is ring sample position + i, so sample 0 is the newest input.
  const int firstRun = N - position;
  for (int i = 0; i < firstRun; ++i)
    mTimeIn[i] = static_cast<float>(static_cast<double>(mWindow[i]) * input[position + i]);
  for (int i = firstRun; i < N; ++i)
    mTimeIn[i] = static_cast<float>(static_cast<double>(mWindow[i]) * input[i - firstRun]);

  kiss_fftr(mForwardConfig, mTimeIn.data(), mSpectrum.data());

  if (N >= 4)
    RebuildBins();

  kiss_fftri(mInverseConfig, mSpectrum.data(), mTimeOut.data());

  const float scale = 1.5f / static_cast<float>(N);
  for (int i = 0; i < firstRun; ++i)
    output[position + i] += static_cast<double>(mTimeOut[i] * mWindow[i] * scale);
  for (int i = firstRun; i < N; ++i)
    output[i - firstRun] += static_cast<double>(mTimeOut[i] * mWindow[i] * scale);
}

void FFTProcessor::RebuildBins()
{
  if (mPitchRatio != mLookupRatio)
    UpdateLookups();
  if (mResonance != mTableResonance)
    UpdateResonance();

  const int half = mFFTSize / 2;
  const float decay = std::min(0.9999f, mDecay + (1.f - mDecay) * mFreeze);
  const float freezeLift = mFreeze * 0.2f + 1.f;
  const float formantGain = mFormantGain;
  const float possess = mPossess;
  const float keep = 1.f - mPossess;
  const bool smear = mSmear > 0.04f;
  const float smearAmount = mSmear;
  const bool whisper = mWhisper > 0.01f;
  const bool ghosts = mWhisperMode != 0;
  const float w = mWhisper;
  const float a = mResonance * 0.5f + 0.5f;

  float* heldMag = mHeldMag.data();
  float* heldPhase = mHeldPhase.data();
  float* prevMag = mPrevMag.data();

  for (int k = 1; k < half; ++k)
  {
    const float re = mSpectrum[k].r;
    const float im = mSpectrum[k].i;
    const float mag = std::sqrt(re * re + im * im);
    const float prev = prevMag[k];
    prevMag[k] = mag;

    // Loud material refreshes the hold (with the previous frame's level); otherwise it decays and
    // its phase drifts.
    if (prev > decay * heldMag[k])
    {
      heldMag[k] = prev;
      heldPhase[k] = std::atan2(im, re);
    }
    else
    {
      heldMag[k] = decay * heldMag[k];
      heldPhase[k] = heldPhase[k] + 0.01f;
    }

    // Lookups at or below k see this frame's hold, above k the previous call's.
    const Lookup& lookup = mLookups[k];
    float m = 0.f;
    float p = 0.f;
    if (lookup.kind == Lookup::kInterpolate)
    {
      const int i = lookup.index;
      m = heldMag[i] * lookup.oneMinusFraction + heldMag[i + 1] * lookup.fraction;
      p = heldPhase[i] * lookup.oneMinusFraction + heldPhase[i + 1] * lookup.fraction;
    }
    else if (lookup.kind == Lookup::kNearest)
    {
      m = heldMag[lookup.index];
      p = heldPhase[lookup.index];
    }

    float M = m * 1.5f * freezeLift * formantGain;

    if (smear)
    {
      const float q = std::min(10.f, m / (mag + 0.0001f));
      const float b = 2.f * NextRandom() - 1.f;
      p = p + (q + 2.f) * (smearAmount * b) * kPi * 3.f;
    }

    if (whisper)
    {
      const Resonance& res = mResonanceTable[k];
      if (ghosts)
      {
        const float r1 = NextRandom();
        const float r2 = NextRandom();
        const float r3 = NextRandom();
        const float qm = std::sqrt(M * M + m * m);
        const float u = (2.f * r1 - 1.f) * 0.5f + 0.5f;
        const float amp = std::fabs(2.f * r2 - 1.f) * u * qm * 0.4f;
        M = M + res.onePlus4g * (heldMag[k] * res.g * 0.25f + amp * mFormantBumps[k]) * w * 2.5f * a;
        p = p + (2.f * r3 - 1.f) * kPi * w * (0.5f * u + 0.5f);
      }
      else
      {
        const float r1 = NextRandom();
        const float r2 = NextRandom();
        const float r3 = NextRandom();
        const float r4 = NextRandom();
        const float n = std::fabs((2.f * r1 - 1.f) * 0.5f + (2.f * r2 - 1.f) * 0.3f) * mBinPositionSq[k];
        const float M1 = M + res.onePlus5g * std::sqrt(m * m + mag * mag + 0.001f) * n * 0.8f * w * 3.f * a;
        M = M1 * (1.f + res.sizzleLift * std::fabs(2.f * r3 - 1.f) * w);
        p = p + (2.f * r4 - 1.f) * kPi * 0.6f * w * res.onePlus2g;
      }
    }

    float sinP, cosP;
    ::sincosf(p, &sinP, &cosP);
    mSpectrum[k].r = keep * re + possess * M * cosP;
    mSpectrum[k].i = keep * im + possess * M * sinP;
  }
}

} // namespace umbra
