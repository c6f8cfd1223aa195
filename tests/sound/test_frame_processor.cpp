// The spectral frame processor on its own: random sequence, draw counts, hold, pitch lookup.
#include <gtest/gtest.h>

#include <complex>

#include "EngineTestSupport.h"
#include "kiss_fftr.h"

using namespace umbra;
using namespace umbra::test;

namespace {

constexpr int N = 4096;

// Rings holding a steady sine at an exact bin, as the block processor would present them.
struct Rings {
  std::vector<double> in = std::vector<double>(N, 0.0);
  std::vector<double> out = std::vector<double>(N, 0.0);
  void FillSine(double bin, double amplitude)
  {
    for (int i = 0; i < N; ++i)
      in[i] = amplitude * std::sin(2.0 * M_PI * bin * i / N);
  }
  void Silence() { std::fill(in.begin(), in.end(), 0.0); }
};

// The bin where a frame's output is loudest.
int LoudestBin(const std::vector<double>& frame)
{
  kiss_fftr_cfg cfg = kiss_fftr_alloc(N, 0, nullptr, nullptr);
  std::vector<float> time(frame.begin(), frame.end());
  std::vector<kiss_fft_cpx> spectrum(N / 2 + 1);
  kiss_fftr(cfg, time.data(), spectrum.data());
  kiss_fftr_free(cfg);
  int best = 0;
  float bestMag = -1.f;
  for (int k = 1; k < N / 2; ++k)
  {
    const float mag = std::hypot(spectrum[k].r, spectrum[k].i);
    if (mag > bestMag)
    {
      bestMag = mag;
      best = k;
    }
  }
  return best;
}

double Energy(const std::vector<double>& x)
{
  double sum = 0.0;
  for (double v : x)
    sum += v * v;
  return sum;
}

void Quiet(FFTProcessor& fft)
{
  fft.mPossess = 1.f;
  fft.mSmear = 0.f; // below the smear threshold: no phase scatter, no draws
  fft.mWhisper = 0.f;
}

} // namespace

TEST(FrameProcessor, RandomSequenceStartsAt12345)
{
  EXPECT_EQ(NextLcgState(12345u), 87628868u);
  EXPECT_EQ(NextLcgState(87628868u), 71072467u);
  EXPECT_EQ(NextLcgState(71072467u), 2332836374u);
  EXPECT_NEAR((2332836374u & 0x7FFFFFFFu) * 0x1p-31, 0.0863, 1e-4);
  FFTProcessor fft(N);
  EXPECT_EQ(fft.RandomState(), 12345u);
}

TEST(FrameProcessor, DrawsOnePerBinForSmearAndThreeOrFourForWhisper)
{
  struct Case {
    float smear, whisper;
    int mode;
    long drawsPerBin;
  } cases[] = {
    {0.04f, 0.f, 0, 0},    {0.05f, 0.f, 0, 1},    {0.05f, 0.01f, 0, 1},
    {0.05f, 0.0101f, 1, 4}, {0.05f, 0.0101f, 0, 5}, {0.f, 0.5f, 1, 3}, {0.f, 0.5f, 0, 4},
  };
  for (const Case& c : cases)
  {
    FFTProcessor fft(N);
    Rings rings;
    rings.FillSine(37.3, 0.5);
    fft.mSmear = c.smear;
    fft.mWhisper = c.whisper;
    fft.mWhisperMode = c.mode;
    fft.Process(rings.in.data(), rings.out.data(), 0);
    fft.Process(rings.in.data(), rings.out.data(), 100);
    EXPECT_EQ(fft.RandomState(), AdvanceLcg(12345u, 2 * 2047 * c.drawsPerBin))
      << c.smear << " " << c.whisper << " " << c.mode;
  }
}

TEST(FrameProcessor, ResetClearsTheMemoryButNotTheRandomSequence)
{
  FFTProcessor a(N), b(N);
  Rings ra, rb;
  ra.FillSine(100, 0.5);
  rb.FillSine(100, 0.5);
  a.mSmear = b.mSmear = 0.5f;
  a.Process(ra.in.data(), ra.out.data(), 0);
  a.Reset();
  EXPECT_EQ(a.RandomState(), AdvanceLcg(12345u, 2047));

  // After a reset the memory behaves as new; only the random sequence differs.
  a.mSmear = b.mSmear = 0.f;
  std::fill(ra.out.begin(), ra.out.end(), 0.0);
  a.Process(ra.in.data(), ra.out.data(), 0);
  b.Process(rb.in.data(), rb.out.data(), 0);
  EXPECT_EQ(ra.out, rb.out);
}

TEST(FrameProcessor, PossessZeroPassesTheSpectrumUnchanged)
{
  FFTProcessor fft(N);
  fft.mPossess = 0.f;
  fft.mSmear = 0.5f;
  fft.mWhisper = 0.7f;
  Rings rings;
  rings.FillSine(12.5, 0.25);
  fft.Process(rings.in.data(), rings.out.data(), 0);
  // One frame alone: input x Hann^2 x 1.5.
  for (int i = 0; i < N; i += 7)
  {
    const double w = (1.0 - std::cos(2.0 * M_PI * i / N)) * 0.5;
    ASSERT_NEAR(rings.out[i], rings.in[i] * w * w * 1.5, 1e-6) << i;
  }
}

TEST(FrameProcessor, OctaveUpMovesContentToTwiceTheBin)
{
  FFTProcessor fft(N);
  Quiet(fft);
  fft.mPitchRatio = 2.f;
  Rings rings;
  rings.FillSine(100, 0.5);
  for (int i = 0; i < 3; ++i) // the hold takes the previous frame's level
    fft.Process(rings.in.data(), rings.out.data(), 0);
  std::fill(rings.out.begin(), rings.out.end(), 0.0);
  fft.Process(rings.in.data(), rings.out.data(), 0);
  EXPECT_EQ(LoudestBin(rings.out), 200);
}

TEST(FrameProcessor, OctaveDownMovesContentToHalfTheBinAndEmptiesTheTopHalf)
{
  FFTProcessor fft(N);
  Quiet(fft);
  fft.mPitchRatio = 0.5f;
  Rings rings;
  rings.FillSine(300, 0.5);
  for (int i = 0; i < 3; ++i)
    fft.Process(rings.in.data(), rings.out.data(), 0);
  std::fill(rings.out.begin(), rings.out.end(), 0.0);
  fft.Process(rings.in.data(), rings.out.data(), 0);
  EXPECT_EQ(LoudestBin(rings.out), 150);

  // Material above the middle of the range has no source an octave up from it: silence.
  FFTProcessor high(N);
  Quiet(high);
  high.mPitchRatio = 0.5f;
  Rings top;
  top.FillSine(1500, 0.5);
  for (int i = 0; i < 3; ++i)
    high.Process(top.in.data(), top.out.data(), 0);
  std::fill(top.out.begin(), top.out.end(), 0.0);
  high.Process(top.in.data(), top.out.data(), 0);
  EXPECT_EQ(LoudestBin(top.out), 750);
}

TEST(FrameProcessor, FreezeHoldsTheSpectrumAfterTheInputStops)
{
  auto tailEnergy = [](float freeze, float decay) {
    FFTProcessor fft(N);
    Quiet(fft);
    fft.mFreeze = freeze;
    fft.mDecay = decay;
    Rings rings;
    rings.FillSine(80, 0.5);
    for (int i = 0; i < 4; ++i)
      fft.Process(rings.in.data(), rings.out.data(), 0);
    rings.Silence();
    for (int i = 0; i < 50; ++i)
      fft.Process(rings.in.data(), rings.out.data(), 0);
    std::fill(rings.out.begin(), rings.out.end(), 0.0);
    fft.Process(rings.in.data(), rings.out.data(), 0);
    return Energy(rings.out);
  };
  const double frozen = tailEnergy(1.f, 0.f);  // decay 0.9999 per frame
  const double free = tailEnergy(0.f, 0.f);    // gone after a frame
  const double hold = tailEnergy(0.f, 0.9f);   // decays by 0.9 per frame
  EXPECT_GT(frozen, 1.0);
  EXPECT_EQ(free, 0.0);
  EXPECT_GT(frozen, hold * 1000.0);
  EXPECT_GT(hold, 0.0);
}
