#include "ReferenceEngine.h"

#include <algorithm>
#include <cmath>

namespace umbra::reference {

namespace {
constexpr float kPi = 3.1415927f;

// One unit in the last place up or down on every bin, alternating: a transform that rounds
// differently, as any other FFT does.
void JitterLastBits(std::vector<kiss_fft_cpx>& spectrum)
{
  for (size_t k = 0; k < spectrum.size(); ++k)
  {
    const float toward = (k % 2 == 0) ? 1e30f : -1e30f;
    if (std::isnormal(spectrum[k].r))
      spectrum[k].r = std::nextafter(spectrum[k].r, toward);
    if (std::isnormal(spectrum[k].i))
      spectrum[k].i = std::nextafter(spectrum[k].i, -toward);
  }
}
} // namespace

RefFFTProcessor::RefFFTProcessor(int fftSize)
  : mFFTSize(fftSize)
  , mForwardConfig(kiss_fftr_alloc(fftSize, 0, nullptr, nullptr))
  , mInverseConfig(kiss_fftr_alloc(fftSize, 1, nullptr, nullptr))
  , mTimeIn(fftSize, 0.f)
  , mTimeOut(fftSize, 0.f)
  , mSpectrum(fftSize / 2 + 1, kiss_fft_cpx{0.f, 0.f})
  , mWindow(fftSize, 0.f)
  , mHeldMag(fftSize / 2 + 1, 0.f)
  , mHeldPhase(fftSize / 2 + 1, 0.f)
  , mPrevMag(fftSize / 2 + 1, 0.f)
{
  for (int i = 0; i < fftSize; i++)
    mWindow[i] = (1.f - std::cos(static_cast<float>(i) * 6.2831855f / static_cast<float>(fftSize))) * 0.5f;
}

RefFFTProcessor::~RefFFTProcessor()
{
  kiss_fftr_free(mForwardConfig);
  kiss_fftr_free(mInverseConfig);
}

void RefFFTProcessor::Reset()
{
  std::fill(mTimeIn.begin(), mTimeIn.end(), 0.f);
  std::fill(mTimeOut.begin(), mTimeOut.end(), 0.f);
  std::fill(mSpectrum.begin(), mSpectrum.end(), kiss_fft_cpx{0.f, 0.f});
  std::fill(mHeldMag.begin(), mHeldMag.end(), 0.f);
  std::fill(mHeldPhase.begin(), mHeldPhase.end(), 0.f);
  std::fill(mPrevMag.begin(), mPrevMag.end(), 0.f);
}

float RefFFTProcessor::NextRandom()
{
  mRandomState = mRandomState * 1664525u + 1013904223u;
  return static_cast<float>(static_cast<double>(mRandomState & 0x7FFFFFFFu) * (1.0 / 2147483648.0));
}

void RefFFTProcessor::Process(double* input, double* output, int position)
{
  const int N = mFFTSize;
  const int half = N / 2;

  // 1. Analysis.
  for (int i = 0; i < N; i++)
    mTimeIn[i] = static_cast<float>(static_cast<double>(mWindow[i]) * input[(position + i) % N]);
  if (mRoundingJitter)
    for (int i = 0; i < N; i += 3)
      if (std::isnormal(mTimeIn[i]))
        mTimeIn[i] = std::nextafter(mTimeIn[i], 0.f);

  // 2. Forward transform.
  kiss_fftr(mForwardConfig, mTimeIn.data(), mSpectrum.data());
  if (mRoundingJitter)
    JitterLastBits(mSpectrum);

  // 3. Rebuild bins 1 .. half - 1.
  if (N >= 4)
  {
    for (int k = 1; k < half; k++)
    {
      // 4. Magnitude.
      const float re = mSpectrum[k].r;
      const float im = mSpectrum[k].i;
      const float mag = std::sqrt(re * re + im * im);
      const float prev = mPrevMag[k];
      mPrevMag[k] = mag;

      // 5. Hold.
      const float d = std::min(0.9999f, mDecay + (1.f - mDecay) * mFreeze);
      if (prev > d * mHeldMag[k])
      {
        mHeldMag[k] = prev;
        mHeldPhase[k] = std::atan2(im, re);
      }
      else
      {
        mHeldMag[k] = d * mHeldMag[k];
        mHeldPhase[k] = mHeldPhase[k] + 0.01f;
      }

      // 6. Pitch lookup.
      const float src = static_cast<float>(k) / mPitchRatio;
      float m = 0.f;
      float p = 0.f;
      if (src >= 1.f && src < static_cast<float>(half))
      {
        const int i = static_cast<int>(src);
        const float f = src - static_cast<float>(i);
        m = mHeldMag[i] * (1.f - f) + mHeldMag[i + 1] * f;
        p = mHeldPhase[i] * (1.f - f) + mHeldPhase[i + 1] * f;
      }
      else if (src >= 1.f && src < static_cast<float>(half + 1))
      {
        const int j = static_cast<int>(src + 0.5f);
        if (j >= 1 && j <= half)
        {
          m = mHeldMag[j];
          p = mHeldPhase[j];
        }
      }

      // 7. Level.
      float M = m * 1.5f * (mFreeze * 0.2f + 1.f) * mFormantGain;

      // 8. Smear.
      if (mSmear > 0.04f)
      {
        const float q = std::min(10.f, m / (mag + 0.0001f));
        const float b = 2.f * NextRandom() - 1.f;
        p = p + (q + 2.f) * (mSmear * b) * kPi * 3.f;
      }

      // 9. Whisper.
      if (mWhisper > 0.01f)
      {
        const float x = static_cast<float>(k) / static_cast<float>(half + 1);
        const float s = (1.f - mResonance) * 0.05f + 0.03f;
        const float g = std::exp(-((x - mResonance) * (x - mResonance)) / (2.f * (s * s)));
        const float a = mResonance * 0.5f + 0.5f;

        if (mWhisperMode != 0)
        {
          const float r1 = NextRandom();
          const float r2 = NextRandom();
          const float r3 = NextRandom();
          const float qm = std::sqrt(M * M + m * m);
          const float u = (2.f * r1 - 1.f) * 0.5f + 0.5f;
          const float amp = std::fabs(2.f * r2 - 1.f) * u * qm * 0.4f;
          const float t1 = (x - 0.35f) * 12.f;
          const float t2 = (x - 0.15f) * 10.f;
          const float t3 = (x - 0.55f) * 15.f;
          const float e1 = std::exp(-(t1 * t1));
          const float e2 = std::exp(-(t2 * t2));
          const float e3 = std::exp(-(t3 * t3));
          M = M + (1.f + 4.f * g) * (mHeldMag[k] * g * 0.25f + amp * (1.f + 0.3f * (e1 + e2 + e3))) *
                    mWhisper * 2.5f * a;
          p = p + (2.f * r3 - 1.f) * kPi * mWhisper * (0.5f * u + 0.5f);
        }
        else
        {
          const float r1 = NextRandom();
          const float r2 = NextRandom();
          const float r3 = NextRandom();
          const float r4 = NextRandom();
          const float n = std::fabs((2.f * r1 - 1.f) * 0.5f + (2.f * r2 - 1.f) * 0.3f) * (x * x);
          const float M1 = M + (1.f + 5.f * g) * std::sqrt(m * m + mag * mag + 0.001f) * n * 0.8f *
                                 mWhisper * 3.f * a;
          M = M1 * (1.f + 0.15f * (1.f + 3.f * g) * std::fabs(2.f * r3 - 1.f) * mWhisper);
          p = p + (2.f * r4 - 1.f) * kPi * 0.6f * mWhisper * (1.f + 2.f * g);
        }
      }

      // 10. Blend.
      mSpectrum[k].r = (1.f - mPossess) * re + mPossess * M * std::cos(p);
      mSpectrum[k].i = (1.f - mPossess) * im + mPossess * M * std::sin(p);
    }
  }

  // 12. Inverse transform.
  if (mRoundingJitter)
    JitterLastBits(mSpectrum);
  kiss_fftri(mInverseConfig, mSpectrum.data(), mTimeOut.data());

  // 13. Overlap-add.
  const float scale = 1.5f / static_cast<float>(N);
  for (int i = 0; i < N; i++)
    output[(position + i) % N] += static_cast<double>(mTimeOut[i] * mWindow[i] * scale);
}

// ---------------------------------------------------------------------------------------------

RefBlockProcessor::RefBlockProcessor()
{
  for (int c = 0; c < 2; c++)
  {
    mInputRing[c].assign(4096, 0.0);
    mOutputRing[c].assign(4096, 0.0);
  }
}

void RefBlockProcessor::OnReset()
{
  mWritePos = 0;
  mHopCounter = 0;
  mFFTProcessor.Reset();
  for (int c = 0; c < 2; c++)
  {
    std::fill(mInputRing[c].begin(), mInputRing[c].end(), 0.0);
    std::fill(mOutputRing[c].begin(), mOutputRing[c].end(), 0.0);
  }
}

void RefBlockProcessor::ProcessBlock(const double* const* inputs, double** outputs, int blockFrames,
                                     const double* params, double hostTempo, int nConnectedOutputs)
{
  // Block start.
  const double inputGain = params[0] / 100.0;
  const double outputGain = params[1] / 100.0;
  const float mixF = static_cast<float>(params[12]) / 100.f;
  const double wet = static_cast<double>(mixF);
  const double dry = 1.0 - wet;

  const float h = static_cast<float>(params[2]) / 100.f;
  mFFTProcessor.mDecay = (1.f - std::pow(1.f - h, 3.f)) * 0.99f;
  mFFTProcessor.mPossess = static_cast<float>(params[3]) / 100.f;
  const int octave = static_cast<int>(params[4]);
  const int interval = static_cast<int>(params[5]);
  const float semitones = static_cast<float>(interval + 12 * octave - 24) + static_cast<float>(params[6]) / 100.f;
  mFFTProcessor.mPitchRatio = std::pow(2.f, semitones / 12.f);
  mFFTProcessor.mFormantGain = mFFTProcessor.mPitchRatio == 1.f ? 1.f : std::pow(1.f / mFFTProcessor.mPitchRatio, 0.47f);
  mFFTProcessor.mFreeze = static_cast<float>(params[7]) / 100.f;
  mFFTProcessor.mSmear = std::max(0.05f, static_cast<float>(params[8]) / 100.f);
  mFFTProcessor.mWhisper = static_cast<float>(params[9]) / 100.f;
  mFFTProcessor.mWhisperMode = static_cast<int>(params[10]);
  mFFTProcessor.mResonance = static_cast<float>(params[11]) / 100.f;
  mTempo = hostTempo > 0.0 ? static_cast<float>(hostTempo) : 120.f;
  const int n = std::min(nConnectedOutputs, 2);

  // Sample loop.
  for (int s = 0; s < blockFrames; s++)
  {
    const double d0 = inputs[0][s] * inputGain;
    const double d1 = n == 2 ? inputs[1][s] * inputGain : 0.0;
    const double d[2] = {d0, d1};
    // The dry path is delayed by the frame, as the wet path is: the sample written 4096 samples
    // ago, read before this one takes its place.
    const double late0 = mInputRing[0][mWritePos % 4096];
    const double late1 = n == 2 ? mInputRing[1][mWritePos % 4096] : 0.0;
    for (int c = 0; c < n; c++)
      mInputRing[c][mWritePos % 4096] = d[c];

    const int oldHop = mHopCounter;
    mHopCounter = mHopCounter + 1;
    if (oldHop >= 511)
    {
      mHopCounter = 0;
      for (int c = 0; c < n; c++)
        mFFTProcessor.Process(mInputRing[c].data(), mOutputRing[c].data(), mWritePos);
    }

    const double w0 = mOutputRing[0][mWritePos % 4096];
    const double w1 = n == 2 ? mOutputRing[1][mWritePos % 4096] : 0.0;
    outputs[0][s] = (late0 * dry + w0 * wet) * outputGain;
    if (n == 2)
      outputs[1][s] = (late1 * dry + w1 * wet) * outputGain;

    for (int c = 0; c < n; c++)
      mOutputRing[c][mWritePos % 4096] = 0.0;
    mWritePos = (mWritePos + 1) % 4096;
  }

  // Block end.
  if (blockFrames > 0)
  {
    double inPeak = 0.0, outPeak = 0.0;
    for (int s = 0; s < blockFrames; s++)
    {
      inPeak = std::max(inPeak, std::fabs(inputs[0][s] * inputGain));
      outPeak = std::max(outPeak, std::fabs(outputs[0][s]));
    }
    mInputPeakDb = inPeak > 0.000001 ? 20.f * std::log10(static_cast<float>(inPeak)) : -60.f;
    mOutputPeakDb = outPeak > 0.000001 ? 20.f * std::log10(static_cast<float>(outPeak)) : -60.f;
  }
  else
  {
    mInputPeakDb = -60.f;
    mOutputPeakDb = -60.f;
  }
}

} // namespace umbra::reference
