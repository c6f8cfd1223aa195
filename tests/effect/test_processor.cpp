// The processing frame: channel I/O strings, connections, scratch buffers, processing and
// pass-through with and without latency, and the offline host's block splitting.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TestHelpers.h"
#include "Umbravox.h"

using namespace umbra;
using umbra::test::SmallConfig;
using umbra::test::SmallPlug;

namespace {

struct ParsedIO {
  std::vector<std::unique_ptr<IOConfig>> configs;
  int count = 0, maxIn = -1, maxOut = -1, maxInBuses = -1, maxOutBuses = -1;
};

ParsedIO Parse(const char* text)
{
  ParsedIO parsed;
  parsed.count = IEffectProcessor::ParseChannelIOStr(text, parsed.configs, parsed.maxIn,
                                                      parsed.maxOut, parsed.maxInBuses,
                                                      parsed.maxOutBuses);
  return parsed;
}

std::vector<int> BusCounts(const IOConfig& config, ERoute direction)
{
  std::vector<int> counts;
  for (int i = 0; i < config.NBuses(direction); ++i)
    counts.push_back(config.GetBusInfo(direction, i)->mNChans);
  return counts;
}

// Host-side audio: one float buffer per channel.
struct HostAudio {
  HostAudio(int nIn, int nOut, int frames)
    : in(static_cast<size_t>(nIn), std::vector<float>(static_cast<size_t>(frames))),
      out(static_cast<size_t>(nOut), std::vector<float>(static_cast<size_t>(frames), 9.f))
  {
    for (int c = 0; c < nIn; ++c)
      for (int s = 0; s < frames; ++s)
        in[c][s] = static_cast<float>((c + 1) * 1000 + (s % 977) + 1) / 4096.f * (c % 2 ? -1.f : 1.f);
    for (auto& buffer : in)
      inPtrs.push_back(buffer.data());
    for (auto& buffer : out)
      outPtrs.push_back(buffer.data());
  }
  std::vector<std::vector<float>> in, out;
  std::vector<const float*> inPtrs;
  std::vector<float*> outPtrs;
};

// Records what ProcessBlock is handed, and the reset and activation calls.
class ProbePlug : public SmallPlug {
public:
  explicit ProbePlug(const Config& config) : SmallPlug(config) {}
  explicit ProbePlug(const char* channelIO = "2-2") : SmallPlug(SmallConfig(0, 0, channelIO)) {}

  void ProcessBlock(double** inputs, double** outputs, int nFrames) override
  {
    mBlockSizes.push_back(nFrames);
    mInputs.clear();
    mInputData.clear();
    for (int c = 0; c < MaxNChannels(kRouteInput); ++c)
    {
      mInputs.push_back(inputs[c]);
      mInputData.emplace_back(inputs[c], inputs[c] + nFrames);
    }
    mOutputs.assign(outputs, outputs + MaxNChannels(kRouteOutput));
    SmallPlug::ProcessBlock(inputs, outputs, nFrames);
  }
  void OnReset() override { mEvents.push_back("reset"); }
  void OnActivate(bool active) override { mEvents.push_back(active ? "activate" : "deactivate"); }

  std::vector<int> mBlockSizes;
  std::vector<double*> mInputs;
  std::vector<double*> mOutputs;
  std::vector<std::vector<double>> mInputData;
  std::vector<std::string> mEvents;
};

struct LatencyListener : IOfflineHostListener {
  void OnLatencyChanged(int samples) override { latencies.push_back(samples); }
  std::vector<int> latencies;
};

// Feeds the whole signal through HostProcess in host blocks of the sizes given, cycling.
void ProcessInPieces(IEffectOffline& plug, HostAudio& audio, int frames, const std::vector<int>& pieces)
{
  int done = 0;
  for (size_t i = 0; done < frames; ++i)
  {
    const int n = std::min(pieces[i % pieces.size()], frames - done);
    std::vector<const float*> in;
    std::vector<float*> out;
    for (auto& buffer : audio.in)
      in.push_back(buffer.data() + done);
    for (auto& buffer : audio.out)
      out.push_back(buffer.data() + done);
    plug.HostProcess(in.data(), out.data(), n);
    done += n;
  }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Channel I/O strings

TEST(ChannelIO, StereoInStereoOut)
{
  ParsedIO io = Parse("2-2");
  ASSERT_EQ(io.count, 1);
  ASSERT_EQ(io.configs.size(), 1u);
  EXPECT_EQ(BusCounts(*io.configs[0], kRouteInput), (std::vector<int>{2}));
  EXPECT_EQ(BusCounts(*io.configs[0], kRouteOutput), (std::vector<int>{2}));
  EXPECT_EQ(io.configs[0]->GetBusInfo(kRouteInput, 0)->mDirection, kRouteInput);
  EXPECT_EQ(io.configs[0]->GetBusInfo(kRouteOutput, 0)->mDirection, kRouteOutput);
  EXPECT_EQ(io.maxIn, 2);
  EXPECT_EQ(io.maxOut, 2);
  EXPECT_EQ(io.maxInBuses, 1);
  EXPECT_EQ(io.maxOutBuses, 1);
}

TEST(ChannelIO, TwoConfigurations)
{
  ParsedIO io = Parse("1-1 2-2");
  ASSERT_EQ(io.count, 2);
  EXPECT_EQ(BusCounts(*io.configs[0], kRouteInput), (std::vector<int>{1}));
  EXPECT_EQ(BusCounts(*io.configs[0], kRouteOutput), (std::vector<int>{1}));
  EXPECT_EQ(BusCounts(*io.configs[1], kRouteInput), (std::vector<int>{2}));
  EXPECT_EQ(BusCounts(*io.configs[1], kRouteOutput), (std::vector<int>{2}));
  EXPECT_EQ(io.maxIn, 2);
  EXPECT_EQ(io.maxOut, 2);
  EXPECT_EQ(io.maxInBuses, 1);
  EXPECT_EQ(io.maxOutBuses, 1);
}

TEST(ChannelIO, WildcardInput)
{
  ParsedIO io = Parse("*-2");
  ASSERT_EQ(io.count, 1);
  EXPECT_EQ(BusCounts(*io.configs[0], kRouteInput), (std::vector<int>{kWildcardChannels}));
  EXPECT_EQ(kWildcardChannels, -64);
  EXPECT_EQ(io.maxIn, 0); // a wildcard counts as its negative marker
  EXPECT_EQ(io.maxOut, 2);
  EXPECT_EQ(io.maxInBuses, 1);
  EXPECT_TRUE(io.configs[0]->ContainsWildcard(kRouteInput));
  EXPECT_FALSE(io.configs[0]->ContainsWildcard(kRouteOutput));
}

TEST(ChannelIO, ZeroBusesAreDropped)
{
  ParsedIO none = Parse("0-2");
  ASSERT_EQ(none.count, 1);
  EXPECT_EQ(none.configs[0]->NBuses(kRouteInput), 0);
  EXPECT_EQ(none.maxIn, 0);
  EXPECT_EQ(none.maxInBuses, 0);

  ParsedIO middle = Parse("2.0.2-2");
  EXPECT_EQ(BusCounts(*middle.configs[0], kRouteInput), (std::vector<int>{2, 2}));
  EXPECT_EQ(middle.maxIn, 4);
  EXPECT_EQ(middle.maxInBuses, 2);
}

TEST(ChannelIO, MultipleBuses)
{
  ParsedIO io = Parse("1.1-2");
  ASSERT_EQ(io.count, 1);
  EXPECT_EQ(BusCounts(*io.configs[0], kRouteInput), (std::vector<int>{1, 1}));
  EXPECT_EQ(io.configs[0]->GetTotalNChannels(kRouteInput), 2);
  EXPECT_EQ(io.maxIn, 2);
  EXPECT_EQ(io.maxOut, 2);
  EXPECT_EQ(io.maxInBuses, 2);
  EXPECT_EQ(io.maxOutBuses, 1);
}

TEST(ChannelIO, MaximaComeFromDifferentConfigurations)
{
  ParsedIO io = Parse("8-1 1.1.1-6");
  ASSERT_EQ(io.count, 2);
  EXPECT_EQ(io.maxIn, 8);
  EXPECT_EQ(io.maxOut, 6);
  EXPECT_EQ(io.maxInBuses, 3);
  EXPECT_EQ(io.maxOutBuses, 1);
}

TEST(ChannelIO, EmptyTextHasNoConfiguration)
{
  ParsedIO io = Parse("");
  EXPECT_EQ(io.count, 0);
  EXPECT_EQ(io.maxIn, 0);
  EXPECT_EQ(io.maxOut, 0);
  EXPECT_EQ(io.maxInBuses, 0);
  EXPECT_EQ(io.maxOutBuses, 0);
}

TEST(ChannelIO, LegalIOOfTheStereoPlugIn)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  EXPECT_EQ(plug->NIOConfigs(), 1);
  EXPECT_TRUE(plug->LegalIO(2, 2));
  EXPECT_TRUE(plug->LegalIO(-1, 2));
  EXPECT_TRUE(plug->LegalIO(2, -1));
  EXPECT_TRUE(plug->LegalIO(-1, -1));
  EXPECT_FALSE(plug->LegalIO(1, 2));
  EXPECT_FALSE(plug->LegalIO(2, 1));
  EXPECT_FALSE(plug->LegalIO(-1, 1));
  EXPECT_FALSE(plug->LegalIO(1, -1));
}

TEST(ChannelIO, LegalIOAcrossConfigurations)
{
  ProbePlug plug("1-1 2-2");
  EXPECT_TRUE(plug.LegalIO(1, 1));
  EXPECT_TRUE(plug.LegalIO(2, 2));
  EXPECT_FALSE(plug.LegalIO(1, 2)); // both counts must come from one configuration
  EXPECT_FALSE(plug.LegalIO(2, 1));
  EXPECT_TRUE(plug.LegalIO(-1, 1));
  EXPECT_TRUE(plug.LegalIO(2, -1));
  EXPECT_EQ(plug.MaxNChannels(kRouteInput), 2);
  EXPECT_EQ(plug.MaxNChannels(kRouteOutput), 2);
}

TEST(ChannelIO, NoConfigurationIsNeverLegal)
{
  ProbePlug plug("");
  EXPECT_EQ(plug.NIOConfigs(), 0);
  EXPECT_FALSE(plug.LegalIO(-1, -1));
  EXPECT_FALSE(plug.LegalIO(0, 0));
  EXPECT_EQ(plug.MaxNChannels(kRouteInput), 0);
  EXPECT_EQ(plug.MaxNBuses(kRouteInput), 0);
  EXPECT_EQ(plug.MaxNChannelsForBus(kRouteInput, 0), 0);
}

TEST(ChannelIO, MaxNBusesAndTheFirstConfigurationThatHasThem)
{
  ProbePlug plug("1-1 1.1-2 1.1-1.1.1 2-2");
  int configIdx = -1;
  EXPECT_EQ(plug.MaxNBuses(kRouteInput, &configIdx), 2);
  EXPECT_EQ(configIdx, 1);
  EXPECT_EQ(plug.MaxNBuses(kRouteOutput, &configIdx), 3);
  EXPECT_EQ(configIdx, 2);
  EXPECT_EQ(plug.MaxNBuses(kRouteOutput), 3);

  ProbePlug stereo("2-2");
  EXPECT_EQ(stereo.MaxNBuses(kRouteInput, &configIdx), 1);
  EXPECT_EQ(configIdx, 0);
}

TEST(ChannelIO, MaxNChannelsForBus)
{
  ProbePlug wildcard("*-2");
  EXPECT_EQ(wildcard.MaxNChannelsForBus(kRouteInput, 0), -1);
  EXPECT_EQ(wildcard.MaxNChannelsForBus(kRouteOutput, 0), 2);

  ProbePlug several("2.1-2 4-2 1-6");
  EXPECT_EQ(several.MaxNChannelsForBus(kRouteInput, 0), 4);
  EXPECT_EQ(several.MaxNChannelsForBus(kRouteInput, 1), 1);
  EXPECT_EQ(several.MaxNChannelsForBus(kRouteInput, 2), 0);
  EXPECT_EQ(several.MaxNChannelsForBus(kRouteOutput, 0), 6);

  ProbePlug laterWildcard("2-2 *-2"); // only the first configuration's wildcard counts
  EXPECT_EQ(laterWildcard.MaxNChannelsForBus(kRouteInput, 0), 2);

  ProbePlug noInputs("0-2");
  EXPECT_EQ(noInputs.MaxNChannelsForBus(kRouteInput, 0), 0);
}

TEST(ChannelIO, BusNames)
{
  ProbePlug plug;
  std::string name;
  plug.GetBusName(kRouteInput, 0, 1, name);
  EXPECT_EQ(name, "Input");
  plug.GetBusName(kRouteInput, 0, 2, name);
  EXPECT_EQ(name, "Main");
  plug.GetBusName(kRouteInput, 1, 2, name);
  EXPECT_EQ(name, "Aux");
  plug.GetBusName(kRouteInput, 2, 3, name);
  EXPECT_EQ(name, "Input 2");
  plug.GetBusName(kRouteOutput, 0, 1, name);
  EXPECT_EQ(name, "Output");
  plug.GetBusName(kRouteOutput, 1, 2, name);
  EXPECT_EQ(name, "Output 1");
  plug.GetBusName(kRouteOutput, 0, 3, name);
  EXPECT_EQ(name, "Output 0");
}

// ---------------------------------------------------------------------------------------------
// Connections and scratch buffers

TEST(ProcessorChannels, OfflineHostConnectsEveryChannelAtFirst)
{
  ProbePlug plug;
  EXPECT_EQ(plug.NChannelsConnected(kRouteInput), 2);
  EXPECT_EQ(plug.NChannelsConnected(kRouteOutput), 2);
}

TEST(ProcessorChannels, SetChannelConnectionsIsLimitedToTheChannelCount)
{
  ProbePlug plug;
  plug.SetChannelConnections(kRouteInput, 0, 2, false);
  plug.SetChannelConnections(kRouteInput, 1, 5, true);
  EXPECT_EQ(plug.NChannelsConnected(kRouteInput), 1);
  EXPECT_FALSE(plug.IsChannelConnected(kRouteInput, 0));
  EXPECT_TRUE(plug.IsChannelConnected(kRouteInput, 1));
  EXPECT_FALSE(plug.IsChannelConnected(kRouteInput, 2));
  EXPECT_FALSE(plug.IsChannelConnected(kRouteInput, -1));
}

TEST(ProcessorChannels, DisconnectedInputReadsSilenceFromItsOwnScratch)
{
  ProbePlug plug;
  plug.HostSetBlockSize(32);
  plug.HostSetChannels(1, 2);
  EXPECT_EQ(plug.NChannelsConnected(kRouteInput), 1);
  EXPECT_EQ(plug.NChannelsConnected(kRouteOutput), 2);
  EXPECT_TRUE(plug.IsChannelConnected(kRouteInput, 0));
  EXPECT_FALSE(plug.IsChannelConnected(kRouteInput, 1));
  plug.HostInitialize();

  HostAudio audio(1, 2, 32);
  plug.HostProcess(audio.inPtrs.data(), audio.outPtrs.data(), 32);

  ASSERT_EQ(plug.mInputs.size(), 2u);
  ASSERT_NE(plug.mInputs[1], nullptr);
  EXPECT_NE(plug.mInputs[1], plug.mInputs[0]);
  EXPECT_EQ(plug.mInputData[1], std::vector<double>(32, 0.0));
  for (int s = 0; s < 32; ++s)
  {
    EXPECT_EQ(plug.mInputData[0][s], static_cast<double>(audio.in[0][s]));
    EXPECT_EQ(audio.out[0][s], audio.in[0][s]);
    EXPECT_EQ(audio.out[1][s], 0.f);
  }
}

TEST(ProcessorChannels, RewiredInputIsSilentAfterReinitialising)
{
  ProbePlug plug;
  plug.HostSetBlockSize(32);
  plug.HostInitialize();
  HostAudio stereo(2, 2, 32);
  plug.HostProcess(stereo.inPtrs.data(), stereo.outPtrs.data(), 32);

  plug.HostSetChannels(1, 2);
  plug.HostInitialize();
  HostAudio mono(1, 2, 32);
  plug.HostProcess(mono.inPtrs.data(), mono.outPtrs.data(), 32);
  EXPECT_EQ(plug.mInputData[1], std::vector<double>(32, 0.0));
  EXPECT_EQ(mono.out[1], std::vector<float>(32, 0.f));
}

TEST(ProcessorChannels, RewiredInputIsSilentWithoutReinitialising)
{
  ProbePlug plug;
  plug.HostSetBlockSize(32);
  plug.HostInitialize();
  HostAudio stereo(2, 2, 32);
  plug.HostProcess(stereo.inPtrs.data(), stereo.outPtrs.data(), 32);

  plug.HostSetChannels(1, 2); // the host unplugs the right input between two blocks
  HostAudio mono(1, 2, 32);
  plug.HostProcess(mono.inPtrs.data(), mono.outPtrs.data(), 32);
  EXPECT_EQ(plug.mInputData[1], std::vector<double>(32, 0.0));
  EXPECT_EQ(mono.out[1], std::vector<float>(32, 0.f));
}

TEST(ProcessorChannels, SameBlockSizeLeavesScratchBuffersUntouched)
{
  ProbePlug plug;
  plug.HostSetBlockSize(64);
  plug.HostInitialize();
  HostAudio audio(2, 2, 64);
  plug.HostProcess(audio.inPtrs.data(), audio.outPtrs.data(), 64);
  ASSERT_EQ(audio.out[0], audio.in[0]);
  double* const scratchLeft = plug.mInputs[0];

  for (auto& buffer : audio.out)
    std::fill(buffer.begin(), buffer.end(), 0.f);
  plug.SetBlockSize(64);
  EXPECT_EQ(plug.GetBlockSize(), 64);
  plug.ProcessBuffers(64); // the same scratch blocks once more, without new host input
  EXPECT_EQ(plug.mInputs[0], scratchLeft);
  EXPECT_EQ(audio.out[0], audio.in[0]);
  EXPECT_EQ(audio.out[1], audio.in[1]);

  plug.SetBlockSize(32); // a new size zeroes the scratch blocks
  EXPECT_EQ(plug.GetBlockSize(), 32);
  plug.ProcessBuffers(32);
  EXPECT_EQ(plug.mBlockSizes.back(), 32);
  EXPECT_EQ(plug.mInputData[0], std::vector<double>(32, 0.0));
  EXPECT_EQ(std::vector<float>(audio.out[0].begin(), audio.out[0].begin() + 32), std::vector<float>(32, 0.f));
}

TEST(ProcessorChannels, ZeroScratchBuffersClearsTheBlocks)
{
  ProbePlug plug;
  plug.HostSetBlockSize(16);
  plug.HostInitialize();
  HostAudio audio(2, 2, 16);
  plug.HostProcess(audio.inPtrs.data(), audio.outPtrs.data(), 16);
  plug.ZeroScratchBuffers();
  plug.ProcessBuffers(16);
  EXPECT_EQ(plug.mInputData[0], std::vector<double>(16, 0.0));
  EXPECT_EQ(plug.mInputData[1], std::vector<double>(16, 0.0));
}

TEST(ProcessorChannels, ProcessBuffersNeverPassesMoreThanTheBlockSize)
{
  ProbePlug plug;
  plug.HostSetBlockSize(64);
  plug.HostInitialize();
  plug.ProcessBuffers(1000);
  plug.ProcessBuffers(-5);
  EXPECT_EQ(plug.mBlockSizes, (std::vector<int>{64, 0}));
}

// ---------------------------------------------------------------------------------------------
// Processing

TEST(ProcessorAudio, DefaultProcessBlockCopiesInputsToOutputs)
{
  ProbePlug plug;
  plug.HostSetBlockSize(128);
  plug.HostInitialize();
  HostAudio audio(2, 2, 128);
  plug.HostProcess(audio.inPtrs.data(), audio.outPtrs.data(), 128);
  EXPECT_EQ(audio.out[0], audio.in[0]);
  EXPECT_EQ(audio.out[1], audio.in[1]);
}

TEST(ProcessorAudio, DefaultProcessBlockZeroesOutputsWithoutAnInput)
{
  ProbePlug plug("1-2");
  plug.HostSetBlockSize(32);
  plug.HostInitialize();
  HostAudio audio(1, 2, 32);
  plug.HostProcess(audio.inPtrs.data(), audio.outPtrs.data(), 32);
  EXPECT_EQ(audio.out[0], audio.in[0]);
  EXPECT_EQ(audio.out[1], std::vector<float>(32, 0.f));

  ProbePlug narrow("2-1");
  narrow.HostSetBlockSize(32);
  narrow.HostInitialize();
  HostAudio stereoIn(2, 1, 32);
  narrow.HostProcess(stereoIn.inPtrs.data(), stereoIn.outPtrs.data(), 32);
  EXPECT_EQ(stereoIn.out[0], stereoIn.in[0]);
}

TEST(ProcessorAudio, HostProcessSplitsLongBlocks)
{
  ProbePlug plug;
  plug.HostSetBlockSize(64);
  plug.HostInitialize();
  HostAudio audio(2, 2, 200);
  plug.HostProcess(audio.inPtrs.data(), audio.outPtrs.data(), 200);
  EXPECT_EQ(plug.mBlockSizes, (std::vector<int>{64, 64, 64, 8}));
  EXPECT_EQ(audio.out[0], audio.in[0]);
  EXPECT_EQ(audio.out[1], audio.in[1]);
}

TEST(ProcessorAudio, MonoConnectionOfAStereoPlugIn)
{
  ProbePlug plug;
  plug.HostSetChannels(1, 1);
  EXPECT_EQ(plug.NChannelsConnected(kRouteInput), 1);
  EXPECT_EQ(plug.NChannelsConnected(kRouteOutput), 1);
  plug.HostSetBlockSize(256);
  plug.HostInitialize();
  HostAudio audio(1, 1, 1000);
  plug.HostProcess(audio.inPtrs.data(), audio.outPtrs.data(), 1000);
  EXPECT_EQ(audio.out[0], audio.in[0]);
  EXPECT_EQ(plug.mBlockSizes, (std::vector<int>{256, 256, 256, 232}));
}

TEST(ProcessorAudio, MonoConnectionOfUmbravox)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  plug->HostSetChannels(1, 1);
  EXPECT_EQ(plug->NChannelsConnected(kRouteInput), 1);
  EXPECT_EQ(plug->NChannelsConnected(kRouteOutput), 1);
  plug->HostSetBlockSize(256);
  plug->HostInitialize();

  HostAudio processed(1, 1, 1000);
  plug->HostProcess(processed.inPtrs.data(), processed.outPtrs.data(), 1000);
  for (int s = 0; s < 1000; ++s)
    ASSERT_NE(processed.out[0][s], 9.f) << "sample " << s << " was not written";

  plug->HostSetBypass(true);
  plug->HostReset(); // at once, and from silence
  const int latency = plug->GetLatency();
  const int frames = latency + 1000;
  HostAudio bypassed(1, 1, frames);
  ProcessInPieces(*plug, bypassed, frames, {256, 100});
  for (int s = 0; s < frames; ++s)
    ASSERT_EQ(bypassed.out[0][s], s < latency ? 0.f : bypassed.in[0][s - latency]) << s;
}

// Runs in a child process: a fault must not take the other tests down with it.
TEST(ProcessorAudioDeathTest, HostProcessHandlesMoreThanEightChannels)
{
  EXPECT_EXIT(
    {
      ProbePlug plug("10-10");
      plug.HostSetBlockSize(16);
      plug.HostInitialize();
      HostAudio audio(10, 10, 40);
      plug.HostProcess(audio.inPtrs.data(), audio.outPtrs.data(), 40);
      bool same = true;
      for (int c = 0; c < 10; ++c)
        same = same && audio.out[c] == audio.in[c];
      std::exit(same ? 0 : 1);
    },
    ::testing::ExitedWithCode(0), "");
}

TEST(ProcessorAudio, PassThroughWithoutLatencyCopies)
{
  ProbePlug plug;
  plug.HostSetBlockSize(64);
  plug.HostSetBypass(true); // bypassed from the start
  plug.HostInitialize();
  EXPECT_TRUE(plug.GetBypassed());
  HostAudio audio(2, 2, 300);
  plug.HostProcess(audio.inPtrs.data(), audio.outPtrs.data(), 300);
  EXPECT_FALSE(plug.mBlockSizes.empty()); // the plug-in runs on, ready to take over
  EXPECT_EQ(audio.out[0], audio.in[0]);
  EXPECT_EQ(audio.out[1], audio.in[1]);
}

TEST(ProcessorAudio, PassThroughZeroesOutputsWithoutAnInput)
{
  for (int latency : {0, 10})
  {
    Config config = SmallConfig(0, 0, "1-2");
    config.latency = latency;
    ProbePlug plug(config);
    plug.HostSetBlockSize(64);
    plug.HostSetBypass(true); // bypassed from the start
    plug.HostInitialize();
    HostAudio audio(1, 2, 64);
    plug.HostProcess(audio.inPtrs.data(), audio.outPtrs.data(), 64);
    EXPECT_EQ(audio.out[1], std::vector<float>(64, 0.f)) << "latency " << latency;
  }
}

TEST(ProcessorAudio, BypassedWithLatencyDelaysByExactlyTheLatency)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  LatencyListener listener;
  plug->SetHostListener(&listener);
  plug->SetLatency(4096);
  EXPECT_EQ(plug->GetLatency(), 4096);
  EXPECT_EQ(listener.latencies, (std::vector<int>{4096}));

  plug->HostSetBlockSize(64);
  plug->HostSetBypass(true); // bypassed from the start
  plug->HostInitialize(); // the plug-in's own latency from here on
  const int latency = plug->GetLatency();
  ASSERT_EQ(latency, 4608);

  const int frames = 3 * 4096 + 777;
  HostAudio audio(2, 2, frames);
  ProcessInPieces(*plug, audio, frames, {1, 37, 64, 100, 5, 63, 2});

  for (int c = 0; c < 2; ++c)
  {
    int mismatches = 0;
    for (int s = 0; s < frames; ++s)
    {
      const float expected = s < latency ? 0.f : audio.in[c][s - latency];
      if (audio.out[c][s] != expected && ++mismatches <= 5)
        ADD_FAILURE() << "channel " << c << " sample " << s << ": " << audio.out[c][s]
                      << " instead of " << expected;
    }
    EXPECT_EQ(mismatches, 0) << "channel " << c;
  }
}

TEST(ProcessorAudio, LatencyFromTheConfigurationDelaysBypassedAudio)
{
  Config config = SmallConfig(0, 0, "2-2");
  config.latency = 100;
  ProbePlug plug(config);
  EXPECT_EQ(plug.GetLatency(), 100);
  plug.HostSetBlockSize(32);
  plug.HostSetBypass(true); // bypassed from the start
  plug.HostInitialize();
  HostAudio audio(2, 2, 500);
  ProcessInPieces(plug, audio, 500, {32, 7});
  for (int s = 0; s < 500; ++s)
  {
    ASSERT_EQ(audio.out[0][s], s < 100 ? 0.f : audio.in[0][s - 100]) << s;
    ASSERT_EQ(audio.out[1][s], s < 100 ? 0.f : audio.in[1][s - 100]) << s;
  }
}

TEST(ProcessorAudio, SetLatencyRestartsTheDelayAndAcceptsLongerDelays)
{
  Config config = SmallConfig(0, 0, "2-2");
  config.latency = 8;
  ProbePlug plug(config);
  plug.HostSetBlockSize(16);
  plug.HostSetBypass(true); // bypassed from the start
  plug.HostInitialize();
  HostAudio first(2, 2, 16);
  plug.HostProcess(first.inPtrs.data(), first.outPtrs.data(), 16);

  plug.SetLatency(8); // the stored signal is dropped: silence again for 8 samples
  HostAudio second(2, 2, 16);
  plug.HostProcess(second.inPtrs.data(), second.outPtrs.data(), 16);
  for (int s = 0; s < 16; ++s)
    EXPECT_EQ(second.out[0][s], s < 8 ? 0.f : second.in[0][s - 8]) << s;

  plug.SetLatency(5000); // beyond the room reserved up front
  EXPECT_EQ(plug.GetLatency(), 5000);
  HostAudio third(2, 2, 6000);
  ProcessInPieces(plug, third, 6000, {16});
  for (int s = 0; s < 6000; ++s)
    ASSERT_EQ(third.out[1][s], s < 5000 ? 0.f : third.in[1][s - 5000]) << s;

  plug.SetLatency(0); // no latency: a plain copy
  HostAudio fourth(2, 2, 16);
  plug.HostProcess(fourth.inPtrs.data(), fourth.outPtrs.data(), 16);
  EXPECT_EQ(fourth.out[0], fourth.in[0]);

  plug.SetLatency(-3);
  EXPECT_EQ(plug.GetLatency(), 0);
}

TEST(ProcessorAudio, UnbypassedProcessingIsNotDelayedByTheLatency)
{
  ProbePlug plug;
  plug.SetLatency(4096);
  plug.HostSetBlockSize(64);
  plug.HostInitialize();
  HostAudio audio(2, 2, 128);
  plug.HostProcess(audio.inPtrs.data(), audio.outPtrs.data(), 128);
  EXPECT_EQ(audio.out[0], audio.in[0]); // the plug-in's own ProcessBlock decides
}

// ---------------------------------------------------------------------------------------------
// Host settings

TEST(ProcessorHost, TransportRecordDefaultsAndUpdates)
{
  ProbePlug plug;
  const ITransportInfo& info = plug.GetTransportInfo();
  EXPECT_EQ(info.mTempo, 120.0);
  EXPECT_EQ(info.mSamplePos, -1.0);
  EXPECT_EQ(info.mPPQPos, -1.0);
  EXPECT_EQ(info.mLastBar, -1.0);
  EXPECT_EQ(info.mCycleStart, -1.0);
  EXPECT_EQ(info.mCycleEnd, -1.0);
  EXPECT_EQ(info.mNumerator, 4);
  EXPECT_EQ(info.mDenominator, 4);
  EXPECT_FALSE(info.mTransportIsRunning);
  EXPECT_FALSE(info.mTransportLoopEnabled);

  ITransportInfo update;
  update.mTempo = 93.5;
  update.mNumerator = 7;
  update.mDenominator = 8;
  update.mTransportIsRunning = true;
  plug.HostSetTransport(update);
  EXPECT_EQ(plug.GetTempo(), 93.5);
  EXPECT_EQ(plug.GetTransportInfo().mNumerator, 7);
  EXPECT_EQ(plug.GetTransportInfo().mDenominator, 8);
  EXPECT_TRUE(plug.GetTransportInfo().mTransportIsRunning);
}

TEST(ProcessorHost, TailSize)
{
  ProbePlug plug;
  EXPECT_EQ(plug.GetTailSize(), 0);
  plug.SetTailSize(48000);
  EXPECT_EQ(plug.GetTailSize(), 48000);
}

TEST(ProcessorHost, ResetsHappenOnlyWhenSomethingChangesWhileInitialised)
{
  ProbePlug plug;
  plug.HostSetSampleRate(44100.0); // not initialised yet: no reset
  EXPECT_EQ(plug.GetSampleRate(), 44100.0);
  EXPECT_TRUE(plug.mEvents.empty());

  plug.HostInitialize();
  EXPECT_TRUE(plug.IsInitialized());
  EXPECT_EQ(plug.mEvents, (std::vector<std::string>{"activate", "reset"}));
  EXPECT_GT(plug.GetBlockSize(), 0);

  plug.mEvents.clear();
  plug.HostSetSampleRate(44100.0); // unchanged
  plug.HostSetSampleRate(0.0);     // not a rate
  plug.HostSetSampleRate(-48000.0);
  EXPECT_TRUE(plug.mEvents.empty());
  EXPECT_EQ(plug.GetSampleRate(), 44100.0);

  plug.HostSetSampleRate(96000.0);
  plug.HostSetBlockSize(plug.GetBlockSize()); // unchanged
  plug.HostSetBlockSize(0);                   // not a size
  plug.HostSetBlockSize(128);
  plug.HostSetBypass(false);
  plug.HostSetBypass(true); // crossfades while the plug-in runs on: no reset
  plug.HostReset();
  EXPECT_EQ(plug.mEvents, (std::vector<std::string>{"reset", "reset", "reset"}));
  EXPECT_EQ(plug.GetSampleRate(), 96000.0);
  EXPECT_EQ(plug.GetBlockSize(), 128);

  plug.mEvents.clear();
  plug.HostUninitialize();
  plug.HostUninitialize();
  EXPECT_FALSE(plug.IsInitialized());
  EXPECT_EQ(plug.mEvents, (std::vector<std::string>{"deactivate"}));
}

// Hosts make instances on several threads at once; each one plans its transforms when it is made
// and again at a new rate. Eight made on eight threads together, at two rates, must each work
// and sound as one made alone (ThreadSanitizer runs this too).
TEST(ProcessorThreads, EightInstancesMadeAtOnceSoundAsOneMadeAlone)
{
  constexpr int kThreads = 8;
  constexpr int kFrames = 16384;
  std::vector<double> tone(kFrames);
  for (int s = 0; s < kFrames; ++s)
    tone[s] = 0.3 * std::sin(0.02 * s);

  auto render = [&](double rate) {
    std::unique_ptr<Umbravox> plug(MakePlug());
    plug->HostSetSampleRate(rate);
    plug->HostSetBlockSize(512);
    plug->HostInitialize();
    std::vector<double> left(kFrames), right(kFrames);
    for (int start = 0; start < kFrames; start += 512)
    {
      double* in[2] = {tone.data() + start, tone.data() + start};
      double* out[2] = {left.data() + start, right.data() + start};
      plug->ProcessBlock(in, out, 512);
    }
    return left;
  };

  std::atomic<int> waiting{kThreads};
  std::vector<std::vector<double>> outputs(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
  {
    threads.emplace_back([&, t] {
      waiting.fetch_sub(1);
      while (waiting.load() > 0)
        std::this_thread::yield();
      outputs[t] = render(t % 2 == 0 ? 48000.0 : 96000.0);
    });
  }
  for (auto& thread : threads)
    thread.join();

  const std::vector<double> alone48 = render(48000.0), alone96 = render(96000.0);
  for (int t = 0; t < kThreads; ++t)
    EXPECT_EQ(outputs[t], t % 2 == 0 ? alone48 : alone96) << "instance " << t;
  EXPECT_NE(alone48, std::vector<double>(kFrames, 0.0));
}
