// A host moving Input, Output, Mix or the bypass between two blocks, as automation does: the
// output must not click. Measured as a musician hears a click: the largest step from one sample
// to the next, against the largest the steady sound makes by itself.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "EngineTestSupport.h"

using namespace umbra;
using namespace umbra::test;

namespace {

struct Move {
  std::string name;
  int param;      // -1: the bypass
  double before, after;
  double mix = 100.0;
};

// Renders a 440 Hz sine through the offline host in blocks of blockSize, making the move at the
// block boundary nearest one second; returns both channels, the frame the move came at and the
// plug-in's latency.
std::vector<std::vector<float>> Render(const Move& move, int blockSize, int& stepFrame, int& latency)
{
  constexpr double kRate = 48000.0;
  auto plug = MakeHostedPlug(blockSize, kRate);
  plug->GetParam(kWhisper)->StoreValue(0.0);
  plug->GetParam(kInput)->StoreValue(100.0);
  plug->GetParam(kOutput)->StoreValue(100.0);
  plug->GetParam(kMix)->StoreValue(move.mix);
  if (move.param >= 0)
    plug->GetParam(move.param)->StoreValue(move.before);
  else
    plug->HostSetBypass(move.before != 0.0);
  plug->HostReset();

  stepFrame = (48000 / blockSize) * blockSize;
  latency = plug->GetLatency();
  const int frames = stepFrame + latency + 48000;
  const auto sine = Sine(frames, 440.0 / kRate, 0.5);
  std::vector<std::vector<float>> in(2, std::vector<float>(static_cast<size_t>(frames)));
  std::vector<std::vector<float>> out = in;
  for (int c = 0; c < 2; ++c)
    for (int s = 0; s < frames; ++s)
      in[c][s] = static_cast<float>(sine[c][s]);

  for (int done = 0; done < frames; done += blockSize)
  {
    if (done == stepFrame)
    {
      if (move.param >= 0)
        plug->HostSetParameter(move.param, move.after);
      else
        plug->HostSetBypass(move.after != 0.0);
    }
    const int n = std::min(blockSize, frames - done);
    const float* inputs[2] = {in[0].data() + done, in[1].data() + done};
    float* outputs[2] = {out[0].data() + done, out[1].data() + done};
    plug->HostProcess(inputs, outputs, n);
  }
  return out;
}

double LargestJump(const std::vector<std::vector<float>>& out, int from, int to)
{
  double jump = 0.0;
  for (const auto& channel : out)
    for (int s = std::max(from, 1); s < to; ++s)
      jump = std::max(jump, static_cast<double>(std::fabs(channel[s] - channel[s - 1])));
  return jump;
}

} // namespace

TEST(GainSteps, AutomatedGainsAndBypassDoNotClickAtAnyBlockSize)
{
#ifdef UMBRAVOX_SANITIZED_BUILD
  const std::vector<int> blockSizes = {64, 4096};
#else
  const std::vector<int> blockSizes = {1, 64, 512, 4096};
#endif
  const std::vector<Move> moves = {
    {"Output 100 to 0", kOutput, 100, 0},      {"Output 0 to 100", kOutput, 0, 100},
    {"Mix 0 to 100", kMix, 0, 100, 0},         {"Mix 100 to 0", kMix, 100, 0, 100},
    {"Input 100 to 0 at Mix 50", kInput, 100, 0, 50},
    {"bypass on", -1, 0, 1},                   {"bypass off", -1, 1, 0},
  };
  for (const Move& move : moves)
  {
    for (int blockSize : blockSizes)
    {
      int step = 0, latency = 0;
      const auto out = Render(move, blockSize, step, latency);
      // An Input move reaches the dry output one frame later; everything is heard by then.
      const int heard = step + latency + 2400;
      const int frames = static_cast<int>(out[0].size());
      const double steady = std::max(LargestJump(out, 24000, step), LargestJump(out, heard, frames));
      const double atMove = LargestJump(out, step, heard);
      ASSERT_GT(steady, 0.0) << move.name;
      EXPECT_LE(20.0 * std::log10(atMove / steady), 3.0) << move.name << ", blocks of " << blockSize;
    }
  }
}
