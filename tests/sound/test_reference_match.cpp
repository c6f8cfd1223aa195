// The shipped engine against the plain transcription of its design: the same samples, bit for
// bit, for every factory preset and block sizes that do and do not divide the hop.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "DemoInput.h"
#include "EngineTestSupport.h"
#include "IEffectDenormals.h"
#include "ReferenceEngine.h"

using namespace umbra;
using namespace umbra::test;

namespace {

#ifdef UMBRAVOX_SANITIZED_BUILD
constexpr double kSeconds = 3.0; // the sanitizers make everything ten times slower
#else
constexpr double kSeconds = 30.0;
#endif

// The demo input, repeated to the test length.
const std::vector<std::vector<double>>& LongInput()
{
  static const std::vector<std::vector<double>> input = [] {
    const auto demo = demo::SynthesizeDemoInput(48000.0);
    const size_t frames = static_cast<size_t>(kSeconds * 48000.0);
    std::vector<std::vector<double>> channels(2, std::vector<double>(frames));
    for (int c = 0; c < 2; ++c)
      for (size_t s = 0; s < frames; ++s)
        channels[c][s] = demo[c][s % demo[c].size()];
    return channels;
  }();
  return input;
}

std::vector<std::vector<double>> RenderReference(int preset)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  plug->RestorePreset(preset);
  double params[kNumParams];
  for (int i = 0; i < kNumParams; ++i)
    params[i] = plug->GetParam(i)->Value();

  const auto& input = LongInput();
  const int frames = static_cast<int>(input[0].size());
  std::vector<std::vector<double>> output(2, std::vector<double>(static_cast<size_t>(frames)));
  auto reference = std::make_unique<reference::RefBlockProcessor>();
  reference->OnReset();
  // The plug-in processes with subnormals flushed; so does its reference.
  ScopedFlushDenormals flush;
  for (int start = 0; start < frames; start += 512)
  {
    const int n = std::min(512, frames - start);
    const double* in[2] = {input[0].data() + start, input[1].data() + start};
    double* out[2] = {output[0].data() + start, output[1].data() + start};
    reference->ProcessBlock(in, out, n, params, 120.0, 2);
  }
  return output;
}

class ReferenceMatch : public ::testing::TestWithParam<int> {};

} // namespace

TEST_P(ReferenceMatch, ShippedEngineEqualsTheReferenceBitForBit)
{
  const int preset = GetParam();
  const auto expected = RenderReference(preset);
  for (int blockSize : {1, 7, 512, 4096})
  {
    auto plug = MakeHostedPlug(blockSize);
    ASSERT_TRUE(plug->RestorePreset(preset));
    const auto actual = ProcessDirect(*plug, LongInput(), blockSize);
    for (int c = 0; c < 2; ++c)
    {
      for (size_t s = 0; s < actual[c].size(); ++s)
      {
        if (!BitEqual(actual[c][s], expected[c][s]))
        {
          FAIL() << plug->GetPresetName(preset) << ", block " << blockSize << ", channel " << c
                 << ", sample " << s << ": " << actual[c][s] << " vs " << expected[c][s];
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(FactoryPresets, ReferenceMatch, ::testing::Range(0, kNumPresets));
