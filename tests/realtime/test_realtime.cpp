// The audio path allocates nothing, locks nothing and makes no system call.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

#include "RealtimeGuards.h"
#include "Umbravox.h"

using namespace umbra;
using umbra::test::CountRealtimeViolations;
using umbra::test::RunsWithoutSystemCalls;

namespace {

struct StereoBuffers {
  explicit StereoBuffers(int frames)
    : in(2, std::vector<float>(frames)), out(2, std::vector<float>(frames))
  {
    for (int s = 0; s < frames; ++s)
    {
      in[0][s] = 0.25f * static_cast<float>((s % 97) - 48) / 48.f;
      in[1][s] = -in[0][s];
    }
    inPtrs = {in[0].data(), in[1].data()};
    outPtrs = {out[0].data(), out[1].data()};
  }
  std::vector<std::vector<float>> in, out;
  std::vector<const float*> inPtrs;
  std::vector<float*> outPtrs;
};

std::unique_ptr<Umbravox> PreparedPlug(int blockSize)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  plug->HostSetSampleRate(48000.0);
  plug->HostSetBlockSize(blockSize);
  plug->HostInitialize();
  return plug;
}

void RunAudioWork(Umbravox& plug, StereoBuffers& buffers, int frames)
{
  for (int block = 0; block < 200; ++block)
  {
    plug.HostSetParameter(kHaunt, block % 100);        // host automation, queued for the editor
    plug.HostSetParameter(kMix, (block * 37) % 100);   // gains ramp from block to block
    plug.HostSetParameterNormalized(kOctave, 0.75);
    plug.HostProcess(buffers.inPtrs.data(), buffers.outPtrs.data(), frames);
  }
  plug.HostSetBypass(true);
  plug.SetLatency(4096); // a wrapper may report latency from its render-thread reset
  for (int block = 0; block < 50; ++block)
    plug.HostProcess(buffers.inPtrs.data(), buffers.outPtrs.data(), frames);
  plug.HostSetBypass(false);
  plug.HostReset();
}

} // namespace

TEST(Realtime, CountersSeeAllocationsAndLocks)
{
  UMBRAVOX_SKIP_UNDER_SANITIZER();
  std::mutex mutex;
  const auto counts = CountRealtimeViolations([&] {
    auto p = std::make_unique<std::vector<int>>(100);
    std::lock_guard<std::mutex> lock(mutex);
  });
  EXPECT_GE(counts.allocations, 2);
  EXPECT_GE(counts.frees, 2);
  EXPECT_GE(counts.locks, 1);
}

TEST(Realtime, AudioPathNeitherAllocatesNorLocks)
{
  UMBRAVOX_SKIP_UNDER_SANITIZER();
  for (int blockSize : {1, 7, 512, 4096})
  {
    auto plug = PreparedPlug(blockSize);
    StereoBuffers buffers(3 * blockSize + 5); // host blocks longer than the plug-in's block
    const auto counts = CountRealtimeViolations([&] {
      RunAudioWork(*plug, buffers, 3 * blockSize + 5);
    });
    EXPECT_EQ(counts.allocations, 0) << "block size " << blockSize;
    EXPECT_EQ(counts.frees, 0) << "block size " << blockSize;
    EXPECT_EQ(counts.locks, 0) << "block size " << blockSize;
  }
}

TEST(Realtime, EveryPresetResetsAndSampleRateChangesAllocateNothing)
{
  UMBRAVOX_SKIP_UNDER_SANITIZER();
  auto plug = PreparedPlug(512);
  StereoBuffers buffers(1500);
  umbra::test::RealtimeCounts total;
  auto add = [&](const umbra::test::RealtimeCounts& counts) {
    total.allocations += counts.allocations;
    total.frees += counts.frees;
    total.locks += counts.locks;
  };

  for (int preset = 0; preset < plug->PresetCount(); ++preset)
  {
    ASSERT_TRUE(plug->RestorePreset(preset)); // main thread, not counted
    add(CountRealtimeViolations([&] {
      for (int block = 0; block < 20; ++block)
        plug->HostProcess(buffers.inPtrs.data(), buffers.outPtrs.data(), 1500);
      plug->HostReset();
    }));
  }
  // A change of rate rebuilds the engine for a frame of that rate on the host's main thread;
  // what the audio thread then does at that rate allocates nothing.
  for (double rate : {8000.0, 384000.0, 44100.0, 96000.0, 11025.0, 192000.0})
  {
    plug->HostSetSampleRate(rate);
    add(CountRealtimeViolations([&] {
      for (int block = 0; block < 4; ++block)
        plug->HostProcess(buffers.inPtrs.data(), buffers.outPtrs.data(), 1500);
      plug->HostReset();
    }));
  }
  EXPECT_EQ(total.allocations, 0);
  EXPECT_EQ(total.frees, 0);
  EXPECT_EQ(total.locks, 0);
}

TEST(Realtime, AudioPathMakesNoSystemCall)
{
  UMBRAVOX_SKIP_UNDER_SANITIZER();
  std::unique_ptr<Umbravox> plug;
  std::unique_ptr<StereoBuffers> buffers;
  const bool clean = RunsWithoutSystemCalls(
    [&] {
      plug = PreparedPlug(512);
      buffers = std::make_unique<StereoBuffers>(2048);
    },
    [&] { RunAudioWork(*plug, *buffers, 2048); });
  EXPECT_TRUE(clean);
}

TEST(Realtime, SystemCallGuardCatchesASystemCall)
{
  UMBRAVOX_SKIP_UNDER_SANITIZER();
  EXPECT_FALSE(RunsWithoutSystemCalls([] {}, [] { (void)getppid(); }));
}
