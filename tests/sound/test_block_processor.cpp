// The block processor: gains, mix, hop timing, levels, channel handling and hardening.
#include <gtest/gtest.h>

#include <xmmintrin.h>

#include "EngineTestSupport.h"

using namespace umbra;
using namespace umbra::test;

namespace {

// Settings in place before processing starts, as a session opens: the gains start at them.
void SetParams(Umbravox& plug, std::initializer_list<std::pair<int, double>> values)
{
  for (const auto& [idx, value] : values)
    plug.GetParam(idx)->StoreValue(value);
  plug.HostReset();
}

// A frame and the hop its work is spread over, at 48 kHz.
constexpr int kLatency = 4096 + 512;

} // namespace

TEST(BlockProcessor, ReportsTheFrameAndHopLatencyFromTheFirstReset)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  EXPECT_EQ(plug->GetLatency(), 0);
  plug->HostInitialize();
  EXPECT_EQ(plug->GetLatency(), kLatency);
}

TEST(BlockProcessor, NeutralPitchGivesExactlyUnitRatioAndSmearHasAFloor)
{
  auto plug = MakeHostedPlug();
  SetParams(*plug, {{kOctave, 2}, {kInterval, 0}, {kFine, 0}, {kSmear, 0}, {kHaunt, 100}});
  double* none[2] = {nullptr, nullptr};
  plug->ProcessBlock(none, none, 0);
  const FFTProcessor& fft = plug->GetFFTProcessor();
  EXPECT_EQ(fft.mPitchRatio, 1.f);
  EXPECT_EQ(fft.mFormantGain, 1.f);
  EXPECT_EQ(fft.mSmear, 0.05f);
  EXPECT_FLOAT_EQ(fft.mDecay, 0.99f);

  SetParams(*plug, {{kOctave, 3}, {kInterval, 7}, {kFine, -15}, {kHaunt, 0}});
  plug->ProcessBlock(none, none, 0);
  EXPECT_FLOAT_EQ(fft.mPitchRatio, std::pow(2.f, 18.85f / 12.f));
  EXPECT_FLOAT_EQ(fft.mFormantGain, std::pow(1.f / fft.mPitchRatio, 0.47f));
  EXPECT_EQ(fft.mDecay, 0.f);
}

TEST(BlockProcessor, AnEmptyBlockUpdatesSettingsAndTempoAndFloorsTheLevels)
{
  auto plug = MakeHostedPlug();
  auto input = Sine(1000, 0.01, 0.5);
  ProcessDirect(*plug, input, 1000);
  EXPECT_GT(plug->mInputPeakDb.load(), -20.f);
  const int pos = plug->GetWritePosition(), hop = plug->GetHopCounter();
  const uint32_t random = plug->GetFFTProcessor().RandomState();

  ITransportInfo transport;
  transport.mTempo = 93.5;
  plug->HostSetTransport(transport);
  plug->GetParam(kPossess)->StoreValue(20);
  double* none[2] = {nullptr, nullptr};
  plug->ProcessBlock(none, none, 0);

  EXPECT_EQ(plug->mTempo.load(), 93.5f);
  EXPECT_FLOAT_EQ(plug->GetFFTProcessor().mPossess, 0.2f);
  EXPECT_EQ(plug->mInputPeakDb.load(), -60.f);
  EXPECT_EQ(plug->mOutputPeakDb.load(), -60.f);
  EXPECT_EQ(plug->GetWritePosition(), pos);
  EXPECT_EQ(plug->GetHopCounter(), hop);
  EXPECT_EQ(plug->GetFFTProcessor().RandomState(), random);

  transport.mTempo = 0.0; // a host without a tempo
  plug->HostSetTransport(transport);
  plug->ProcessBlock(none, none, 0);
  EXPECT_EQ(plug->mTempo.load(), 120.f);
}

TEST(BlockProcessor, PeakLevelsOfChannelZeroWithAFloorOfMinus60)
{
  auto plug = MakeHostedPlug();
  SetParams(*plug, {{kInput, 100}, {kOutput, 100}, {kMix, 0}});
  std::vector<std::vector<double>> input(2, std::vector<double>(64, 0.0));
  input[0][10] = -1.0;
  input[1][20] = 0.9; // channel 1 does not count
  ProcessDirect(*plug, input, 64);
  EXPECT_EQ(plug->mInputPeakDb.load(), 0.f);
  EXPECT_EQ(plug->mOutputPeakDb.load(), -60.f); // the output is one latency late
  const std::vector<std::vector<double>> silence(2, std::vector<double>(kLatency - 64, 0.0));
  ProcessDirect(*plug, silence, 512);
  ProcessDirect(*plug, std::vector<std::vector<double>>(2, std::vector<double>(64, 0.0)), 64);
  EXPECT_EQ(plug->mInputPeakDb.load(), -60.f);
  EXPECT_EQ(plug->mOutputPeakDb.load(), 0.f);

  SetParams(*plug, {{kInput, 50}});
  ProcessDirect(*plug, input, 64);
  EXPECT_NEAR(plug->mInputPeakDb.load(), -6.0206f, 1e-3f);

  std::vector<std::vector<double>> quiet(2, std::vector<double>(64, 0.000001));
  SetParams(*plug, {{kInput, 100}});
  ProcessDirect(*plug, quiet, 64);
  EXPECT_EQ(plug->mInputPeakDb.load(), -60.f);
  EXPECT_EQ(plug->mOutputPeakDb.load(), -60.f);
}

TEST(BlockProcessor, MixZeroIsTheGainedInputOneLatencyLate)
{
  // The dry path has the latency the plug-in reports, as the wet path does.
  auto plug = MakeHostedPlug();
  SetParams(*plug, {{kInput, 80}, {kOutput, 30}, {kMix, 0}});
  const auto input = Sine(7000, 0.013, 0.7);
  const auto output = ProcessDirect(*plug, input, 256);
  for (int c = 0; c < 2; ++c)
    for (int s = 0; s < 7000; ++s)
    {
      const double late = s >= kLatency ? input[c][s - kLatency] * 0.8 : 0.0;
      ASSERT_EQ(output[c][s], (late * 1.0 + 0.0 * 0.0) * 0.3) << c << " " << s;
    }
}

TEST(BlockProcessor, PossessZeroPassesTheInputDelayedByTheFrameTimesFourAndAHalf)
{
  auto plug = MakeHostedPlug();
  SetParams(*plug, {{kInput, 100}, {kOutput, 100}, {kMix, 100}, {kPossess, 0}, {kWhisper, 0}});
  const int frames = 4096 * 4;
  const auto input = Sine(frames, 440.0 / 48000.0, 0.1);
  const auto output = ProcessDirect(*plug, input, 512);

  // Nothing comes through before the latency has passed (but rounding noise of the transforms);
  // once eight frames overlap it is 4.5 x input.
  for (int s = 0; s < kLatency; ++s)
    ASSERT_LT(std::fabs(output[0][s]), 1e-6) << s;
  for (int c = 0; c < 2; ++c)
    for (int s = kLatency + 8 * 512; s < frames; ++s)
      ASSERT_NEAR(output[c][s], 4.5 * input[c][s - kLatency], 2e-6) << c << " " << s;
}

TEST(BlockProcessor, TheFirstFrameBeginsAtThe512thSampleAfterAResetAndIsWorkedInTheNextHop)
{
  auto plug = MakeHostedPlug();
  SetParams(*plug, {{kSmear, 50}, {kWhisper, 0}}); // one draw per bin and frame
  const auto input = Sine(512, 0.01, 0.5);
  const uint32_t start = plug->GetFFTProcessor().RandomState();

  std::vector<std::vector<double>> first(2, std::vector<double>(input[0].begin(), input[0].begin() + 511));
  ProcessDirect(*plug, first, 511);
  EXPECT_EQ(plug->GetFFTProcessor().RandomState(), start);

  std::vector<std::vector<double>> one(2, std::vector<double>(1, 0.1));
  ProcessDirect(*plug, one, 1);
  EXPECT_EQ(plug->GetHopCounter(), 0);
  EXPECT_EQ(plug->GetFFTProcessor().StepsLeft(), plug->GetFFTProcessor().StepsPerFrame());

  // Sample by sample through the next hop, the frame's steps go by evenly.
  int most = 0;
  for (int s = 0; s < 511; ++s)
  {
    const int before = plug->GetFFTProcessor().StepsLeft();
    ProcessDirect(*plug, one, 1);
    most = std::max(most, before - plug->GetFFTProcessor().StepsLeft());
  }
  EXPECT_EQ(most, 1);
  EXPECT_LE(plug->GetFFTProcessor().StepsLeft(), 1);
  EXPECT_EQ(plug->GetFFTProcessor().RandomState(), AdvanceLcg(start, 2 * 2047)); // both channels

  // A reset starts the hop again but the random sequence runs on.
  const uint32_t afterFrame = plug->GetFFTProcessor().RandomState();
  plug->HostReset();
  EXPECT_EQ(plug->GetWritePosition(), 0);
  EXPECT_EQ(plug->GetFFTProcessor().RandomState(), afterFrame);
  std::vector<std::vector<double>> twoHops(2, std::vector<double>(1024, 0.0));
  ProcessDirect(*plug, twoHops, 100);
  EXPECT_EQ(plug->GetFFTProcessor().RandomState(), AdvanceLcg(afterFrame, 2 * 2047));
}

TEST(BlockProcessor, WithOneOutputChannelOnlyChannelZeroIsProcessed)
{
  auto plug = MakeHostedPlug();
  plug->SetChannelConnections(kRouteOutput, 1, 1, false);
  SetParams(*plug, {{kSmear, 50}, {kWhisper, 0}});
  const uint32_t start = plug->GetFFTProcessor().RandomState();

  std::vector<double> in0(2048), in1(2048, 777.0), out0(2048), out1(2048, 123.0);
  for (int s = 0; s < 2048; ++s)
    in0[s] = 0.3 * std::sin(0.05 * s);
  double* in[2] = {in0.data(), in1.data()};
  double* out[2] = {out0.data(), out1.data()};
  plug->ProcessBlock(in, out, 2048);

  for (double v : out1)
    ASSERT_EQ(v, 123.0);
  // Four hops end in the block; the fourth one's frame is only begun. One channel each.
  EXPECT_EQ(plug->GetFFTProcessor().RandomState(), AdvanceLcg(start, 3 * 2047));
}

TEST(BlockProcessor, NonFiniteAndAbsurdInputIsSilenceAndLeavesNoTrace)
{
  const int frames = 48000;
  auto clean = Sine(frames, 0.0071, 0.4);
  auto dirty = clean;
  const double bad[] = {NAN, INFINITY, -INFINITY, 1e30, -1e30, 1.00001e5};
  for (int burst = 0; burst < 6; ++burst)
  {
    for (int s = 5000 + burst * 7000; s < 5000 + burst * 7000 + 300; ++s)
    {
      dirty[burst % 2][s] = bad[burst];
      clean[burst % 2][s] = 0.0;
    }
  }

  auto plugA = MakeHostedPlug();
  auto plugB = MakeHostedPlug();
  plugA->RestorePreset("Ghost Choir");
  plugB->RestorePreset("Ghost Choir");
  const auto outA = ProcessDirect(*plugA, clean, 512);
  const auto outB = ProcessDirect(*plugB, dirty, 512);
  for (int c = 0; c < 2; ++c)
    for (int s = 0; s < frames; ++s)
      ASSERT_TRUE(BitEqual(outA[c][s], outB[c][s])) << c << " " << s;

  // Loud but sane audio is not touched.
  auto loud = Sine(kLatency + 64, 0.01, 1e5);
  auto plugC = MakeHostedPlug();
  SetParams(*plugC, {{kMix, 0}, {kInput, 100}, {kOutput, 100}});
  const auto outC = ProcessDirect(*plugC, loud, 512);
  EXPECT_EQ(outC[0][kLatency + 25], loud[0][25]);
}

TEST(BlockProcessor, FlushesSubnormalsWhileProcessingAndRestoresTheCallersMode)
{
  auto plug = MakeHostedPlug();
  SetParams(*plug, {{kMix, 0}, {kInput, 100}, {kOutput, 100}});
  constexpr unsigned kModeBits = ~0x3Fu; // everything but the sticky exception flags
  const unsigned before = _mm_getcsr() & ~0x8040u; // the caller keeps subnormals
  _mm_setcsr(before);

  std::vector<std::vector<double>> tiny(2, std::vector<double>(kLatency + 16, 4.9e-320));
  ASSERT_NE(tiny[0][0] * 1.0, 0.0);
  const auto out = ProcessDirect(*plug, tiny, kLatency + 16);
  EXPECT_EQ(out[0][kLatency], 0.0); // treated as zero inside the block
  EXPECT_EQ(_mm_getcsr() & kModeBits, before & kModeBits);
}

TEST(BlockProcessor, WorksAtSampleRatesFrom8kTo384k)
{
  for (double rate : {8000.0, 22050.0, 44100.0, 96000.0, 192000.0, 384000.0})
  {
    auto plug = MakeHostedPlug(512, rate);
    plug->RestorePreset("Spectral Drone");
    const auto out = ProcessDirect(*plug, Sine(8192, 0.01, 0.3), 512);
    for (double v : out[0])
      ASSERT_TRUE(std::isfinite(v)) << rate;
  }
}
