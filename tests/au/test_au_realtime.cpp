// The AudioUnit render path allocates nothing, locks nothing and makes no system call: the
// unit's render call with its input pull, host automation between blocks, scheduled events and
// bypass, as a host's render thread makes them.
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "AUTestHost.h"
#include "AUTestSignal.h"
#include "RealtimeGuards.h"
#include "UmbravoxParams.h"

using namespace umbra;
using namespace umbra::test;

namespace {

// A render thread's state, all made before it runs.
struct RenderThread {
  explicit RenderThread(AudioUnit unit, UInt32 frames)
    : unit(unit), frames(frames), input(MakeTestInput(static_cast<int>(frames), 48000.0)),
      output(2, std::vector<float>(frames)),
      listStorage(offsetof(AudioBufferList, mBuffers) + 2 * sizeof(AudioBuffer))
  {
    list = reinterpret_cast<AudioBufferList*>(listStorage.data());
  }

  static OSStatus Input(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                        UInt32 nFrames, AudioBufferList* ioData)
  {
    auto* thread = static_cast<RenderThread*>(refCon);
    AudioBuffer* buffers = ioData->mBuffers;
    for (UInt32 c = 0; c < ioData->mNumberBuffers; ++c)
    {
      auto* samples = static_cast<float*>(buffers[c].mData);
      for (UInt32 s = 0; s < nFrames; ++s)
        samples[s] = thread->input[c][s];
    }
    return noErr;
  }

  bool Render(bool ownBuffers)
  {
    list->mNumberBuffers = 2;
    AudioBuffer* buffers = list->mBuffers;
    for (int c = 0; c < 2; ++c)
      buffers[c] = {1, ownBuffers ? 0 : frames * 4, ownBuffers ? nullptr : output[c].data()};
    AudioTimeStamp timeStamp{};
    timeStamp.mSampleTime = sampleTime;
    timeStamp.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    sampleTime += frames;
    return AudioUnitRender(unit, &flags, &timeStamp, 0, frames, list) == noErr;
  }

  void Work()
  {
    AudioUnitParameterEvent event{};
    event.scope = kAudioUnitScope_Global;
    event.parameter = kOctave;
    event.eventType = kParameterEvent_Immediate;
    for (int block = 0; block < 200; ++block)
    {
      AudioUnitSetParameter(unit, kHaunt, kAudioUnitScope_Global, 0, static_cast<float>(block % 100), 0);
      event.eventValues.immediate = {0, static_cast<float>(block % 5)};
      AudioUnitScheduleParameters(unit, &event, 1);
      ok &= Render(block % 3 == 0);
    }
    UInt32 bypass = 1;
    AudioUnitSetProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &bypass, sizeof(bypass));
    for (int block = 0; block < 50; ++block)
      ok &= Render(false);
    bypass = 0;
    AudioUnitSetProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &bypass, sizeof(bypass));
    AudioUnitReset(unit, kAudioUnitScope_Global, 0);
    ok &= Render(false);
  }

  AudioUnit unit;
  UInt32 frames;
  std::vector<std::vector<float>> input, output;
  std::vector<unsigned char> listStorage;
  AudioBufferList* list = nullptr;
  double sampleTime = 0.0;
  bool ok = true;
};

void Prepare(AUTestHost& host, RenderThread& thread, UInt32 frames)
{
  ASSERT_EQ(host.Prepare(48000.0, frames), noErr);
  ASSERT_EQ(host.Set(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                     AURenderCallbackStruct{RenderThread::Input, &thread}), noErr);
}

} // namespace

TEST(AURealtime, RenderNeitherAllocatesNorLocks)
{
  UMBRAVOX_SKIP_UNDER_SANITIZER();
  for (UInt32 frames : {1u, 7u, 512u, 4096u})
  {
    AUTestHost host;
    RenderThread thread(host.Unit(), frames);
    Prepare(host, thread, frames);
    const auto counts = CountRealtimeViolations([&] { thread.Work(); });
    EXPECT_TRUE(thread.ok);
    EXPECT_EQ(counts.allocations, 0) << frames << " frames";
    EXPECT_EQ(counts.frees, 0) << frames << " frames";
    EXPECT_EQ(counts.locks, 0) << frames << " frames";
  }
}

TEST(AURealtime, RenderMakesNoSystemCall)
{
  UMBRAVOX_SKIP_UNDER_SANITIZER();
  std::unique_ptr<AUTestHost> host;
  std::unique_ptr<RenderThread> thread;
  const bool clean = RunsWithoutSystemCalls(
    [&] {
      host = std::make_unique<AUTestHost>();
      thread = std::make_unique<RenderThread>(host->Unit(), 512);
      Prepare(*host, *thread, 512);
    },
    [&] { thread->Work(); });
  EXPECT_TRUE(clean);
}
