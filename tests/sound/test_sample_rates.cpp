// A preset sounds the same at every sample rate: the same pink-noise burst, rendered at 44.1, 96
// and 192 kHz, decays in the time it takes at 48 kHz and keeps its long-term spectrum.
// UMBRAVOX_ALL_PRESET_RATES=1 checks every factory preset and prints the figures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "EngineTestSupport.h"
#include "SoundMeasures.h"

using namespace umbra;
using namespace umbra::test;

namespace {

constexpr double kBurstSeconds = 0.5;

// One pink burst and its tail through a new instance at the rate, as a host with delay
// compensation plays it (the latency taken off the front).
std::vector<std::vector<double>> RenderBurst(int preset, double rate, double tailSeconds, uint32_t seed)
{
  auto plug = MakeHostedPlug(512, rate);
  plug->RestorePreset(preset);
  auto input = PinkBurst(rate, kBurstSeconds, tailSeconds, seed);
  const int latency = plug->GetLatency();
  for (auto& channel : input)
    channel.resize(channel.size() + static_cast<size_t>(latency), 0.0);
  auto output = ProcessDirect(*plug, input, 512);
  for (auto& channel : output)
    channel.erase(channel.begin(), channel.begin() + latency);
  return output;
}

struct RateFigures {
  double decaySeconds;
  std::vector<double> bands;
};

// The decay of one burst; the spectrum as the power mean over several bursts. A held spectrum is
// a snapshot of one burst's random detail, which moves a band by up to 3 dB from one burst to
// another at any rate: the mean is what says whether the rate changed the sound.
RateFigures MeasureAt(int preset, double rate, double tailSeconds, int bursts)
{
  RateFigures figures;
  figures.decaySeconds = DecaySeconds40(RenderBurst(preset, rate, tailSeconds, 1), rate, kBurstSeconds);
  std::vector<double> power;
  for (int burst = 0; burst < bursts; ++burst)
  {
    const auto levels = ThirdOctaveLevels(RenderBurst(preset, rate, 3.0, 100u + burst), rate);
    power.resize(levels.size(), 0.0);
    for (size_t b = 0; b < levels.size(); ++b)
      power[b] += std::pow(10.0, levels[b] / 10.0) / bursts;
  }
  for (double p : power)
    figures.bands.push_back(10.0 * std::log10(p));
  return figures;
}

} // namespace

TEST(SampleRates, APresetDecaysAndSoundsAsAt48kHz)
{
  const bool allPresets = std::getenv("UMBRAVOX_ALL_PRESET_RATES") != nullptr;
#ifdef UMBRAVOX_SANITIZED_BUILD
  const std::vector<double> rates = {44100.0};
  const double tail = 3.0;
  const int bursts = 3;
#else
  const std::vector<double> rates = {44100.0, 96000.0, 192000.0};
  const double tail = 12.0;
  const int bursts = 3;
#endif
  auto names = MakeHostedPlug();
  const int first = allPresets ? 0 : 1; // "Ghost Choir", a long tail
  const int last = allPresets ? names->PresetCount() : 2;
  for (int preset = first; preset < last; ++preset)
  {
    const RateFigures reference = MeasureAt(preset, 48000.0, tail, bursts);
    for (double rate : rates)
    {
      const RateFigures figures = MeasureAt(preset, rate, tail, bursts);
      double worstBand = 0.0;
      for (size_t b = 0; b < figures.bands.size(); ++b)
        worstBand = std::max(worstBand, std::fabs(figures.bands[b] - reference.bands[b]));
      if (allPresets)
        std::printf("%-16s %6.0f Hz: decay %.2f s (48 kHz %.2f s), spectrum within %.2f dB\n",
                    names->GetPresetName(preset), rate, figures.decaySeconds,
                    reference.decaySeconds, worstBand);
      const char* name = names->GetPresetName(preset);
      if (reference.decaySeconds > 0.0)
        EXPECT_NEAR(figures.decaySeconds / reference.decaySeconds, 1.0, 0.05) << name << " at " << rate;
      else
        EXPECT_LT(figures.decaySeconds, 0.0) << name << " at " << rate << " decays, but not at 48 kHz";
      EXPECT_LE(worstBand, 1.5) << name << " at " << rate;
    }
  }
}
