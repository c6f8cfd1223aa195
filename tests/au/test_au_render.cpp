// Rendering through the unit: the same samples as the in-process host, bypass, latency and tail,
// render notification, input pulls, connections between units and the host's transport.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "AUTestHost.h"
#include "AUTestSignal.h"
#include "Umbravox.h"
#include "UmbravoxParams.h"
#include "XvfbServer.h"

using namespace umbra;
using namespace umbra::test;
using Channels = std::vector<std::vector<float>>;

namespace {

// The offline host's rendering of the test input (see offline_reference.cpp).
Channels RenderOffline(int nFrames, const std::vector<std::string>& options)
{
  char path[] = "/tmp/umbravox-au-reference-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0)
    return {};
  close(fd);
  std::vector<std::string> argv = {AU_OFFLINE_REFERENCE, path, "--frames", std::to_string(nFrames)};
  argv.insert(argv.end(), options.begin(), options.end());
  Channels output;
  if (RunProgram(argv, std::chrono::seconds(120)) == 0)
  {
    output.assign(2, std::vector<float>(static_cast<size_t>(nFrames)));
    FILE* file = std::fopen(path, "rb");
    for (auto& channel : output)
      if (!file || std::fread(channel.data(), sizeof(float), channel.size(), file) != channel.size())
        output.clear();
    if (file)
      std::fclose(file);
  }
  unlink(path);
  return output;
}

// Bit for bit: the index of the first sample that differs, or -1.
long FirstDifference(const Channels& a, const Channels& b)
{
  if (a.size() != b.size())
    return 0;
  for (size_t c = 0; c < a.size(); ++c)
  {
    if (a[c].size() != b[c].size())
      return 0;
    for (size_t s = 0; s < a[c].size(); ++s)
      if (std::memcmp(&a[c][s], &b[c][s], sizeof(float)) != 0)
        return static_cast<long>(s);
  }
  return -1;
}

double Energy(const std::vector<float>& samples)
{
  double sum = 0.0;
  for (float s : samples)
    sum += static_cast<double>(s) * s;
  return sum;
}

Umbravox& PlugOf(AUTestHost& host)
{
  IEffectAU* plug = nullptr;
  EXPECT_EQ(host.Get(kUmbraPluginObjectProperty, kAudioUnitScope_Global, 0, plug), noErr);
  return *dynamic_cast<Umbravox*>(plug);
}

struct ScheduledChange {
  int frame;
  AudioUnitParameterID param;
  float value;
};

} // namespace

TEST(AURender, SameSamplesAsTheOfflineHost)
{
  constexpr int kFrames = 96256; // whole blocks of 512
  const Channels input = MakeTestInput(kFrames, 48000.0);
  AUTestHost host;
  ASSERT_EQ(host.Prepare(48000.0, 512), noErr);
  host.SetInput(input);
  Channels out;
  for (int done = 0; done < kFrames; done += 512)
    ASSERT_EQ(host.Render(512, out), noErr);

  const Channels reference = RenderOffline(kFrames, {"--rate", "48000", "--block", "512"});
  ASSERT_EQ(reference.size(), 2u);
  EXPECT_EQ(FirstDifference(out, reference), -1);
  EXPECT_GT(Energy(out[0]), 100.0); // the wet signal is there, not two silences alike
  EXPECT_GT(Energy(out[1]), 100.0);
}

TEST(AURender, SameSamplesWithAPresetAutomationAndUnevenBlocks)
{
  constexpr int kFrames = 88200;
  const std::vector<ScheduledChange> changes = {
    {20000, kHaunt, 20.f}, {40000, kOctave, 4.f}, {50000, kWhisperMode, 1.f}, {60001, kFine, -33.f}};
  AUTestHost host;
  ASSERT_EQ(host.Prepare(44100.0, 512), noErr);
  ASSERT_EQ(host.Set(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, AUPreset{1, nullptr}), noErr);
  host.SetInput(MakeTestInput(kFrames, 44100.0));

  const UInt32 pattern[] = {100, 512, 7, 300, 1, 512};
  Channels out;
  size_t next = 0;
  for (int done = 0, i = 0; done < kFrames; ++i)
  {
    while (next < changes.size() && changes[next].frame == done)
    {
      // Half of them as scheduled events, as a host's automation lane sends them.
      if (next % 2 == 0)
      {
        ASSERT_EQ(AudioUnitSetParameter(host.Unit(), changes[next].param, kAudioUnitScope_Global, 0,
                                        changes[next].value, 0), noErr);
      }
      else
      {
        AudioUnitParameterEvent event{};
        event.scope = kAudioUnitScope_Global;
        event.parameter = changes[next].param;
        event.eventType = kParameterEvent_Immediate;
        event.eventValues.immediate = {0, changes[next].value};
        ASSERT_EQ(AudioUnitScheduleParameters(host.Unit(), &event, 1), noErr);
      }
      ++next;
    }
    int n = std::min<int>(pattern[i % 6], kFrames - done);
    if (next < changes.size())
      n = std::min(n, changes[next].frame - done);
    ASSERT_EQ(host.Render(static_cast<UInt32>(n), out), noErr);
    done += n;
  }

  std::vector<std::string> options = {"--rate", "44100", "--block", "512", "--preset", "1"};
  for (const ScheduledChange& change : changes)
  {
    char text[64];
    std::snprintf(text, sizeof(text), "%d:%u=%.9g", change.frame, change.param, change.value);
    options.insert(options.end(), {"--set", text});
  }
  const Channels reference = RenderOffline(kFrames, options);
  ASSERT_EQ(reference.size(), 2u);
  EXPECT_EQ(FirstDifference(out, reference), -1);
}

TEST(AURender, TheUnitFillsItsOwnBuffersWhenTheHostGivesNone)
{
  const Channels input = MakeTestInput(16384, 48000.0);
  AUTestHost withBuffers, without;
  ASSERT_EQ(withBuffers.Prepare(48000.0, 512), noErr);
  ASSERT_EQ(without.Prepare(48000.0, 512), noErr);
  withBuffers.SetInput(input);
  without.SetInput(input);
  Channels a, b;
  for (int done = 0; done < 16384; done += 512)
  {
    ASSERT_EQ(withBuffers.Render(512, a, true), noErr);
    ASSERT_EQ(without.Render(512, b, false), noErr);
  }
  EXPECT_EQ(FirstDifference(a, b), -1);
}

TEST(AURender, BypassCrossfadesAndComesBackWithNothingStale)
{
  // Bypassed at one block and back at another, while playing: in between, once the crossfade
  // is over, the input one latency late; afterwards exactly what a unit never bypassed plays,
  // since the plug-in kept hearing its input all along.
  constexpr int kBlock = 512, kFrames = 48000, kOn = 30 * kBlock, kOff = 60 * kBlock;
  const Channels input = MakeTestInput(kFrames, 48000.0);
  AUTestHost toggled, steady;
  for (AUTestHost* unit : {&toggled, &steady})
  {
    ASSERT_EQ(unit->Prepare(48000.0, kBlock), noErr);
    unit->SetInput(input);
  }
  Channels out, reference;
  for (int done = 0; done < kFrames; done += kBlock)
  {
    if (done == kOn || done == kOff)
    {
      ASSERT_EQ(toggled.Set(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0,
                            UInt32{done == kOn ? 1u : 0u}), noErr);
    }
    ASSERT_EQ(toggled.Render(kBlock, out), noErr);
    ASSERT_EQ(steady.Render(kBlock, reference), noErr);
  }

  const int latency = static_cast<int>(std::lround(toggled.Latency() * 48000.0));
  auto largestStep = [&](int from, int to) {
    float step = 0.f;
    for (int c = 0; c < 2; ++c)
      for (int s = from; s < to; ++s)
        step = std::max(step, std::fabs(out[c][s] - out[c][s - 1]));
    return step;
  };
  const float steadyStep = std::max(largestStep(latency + kBlock, kOn), largestStep(kOn + 1024, kOff));
  for (int c = 0; c < 2; ++c)
  {
    for (int s = kOn + 1024; s < kOff; ++s)
      ASSERT_EQ(out[c][s], input[c][s - latency]) << "channel " << c << " frame " << s;
    for (int s = kOff + 1024; s < kFrames; ++s)
      ASSERT_EQ(out[c][s], reference[c][s]) << "channel " << c << " frame " << s;
  }
  EXPECT_LE(largestStep(kOn, kOn + 1024), steadyStep * 1.4125f); // +3 dB
  EXPECT_LE(largestStep(kOff, kOff + 1024), steadyStep * 1.4125f);
}

TEST(AURender, LatencyIsZeroUntilTheFirstResetThenTheFrameAndHop)
{
  AUTestHost host;
  EXPECT_EQ(host.Latency(), 0.0);
  ASSERT_EQ(host.Set(kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, Float64{48000.0}), noErr);
  EXPECT_DOUBLE_EQ(host.Latency(), 4608.0 / 48000.0);
  ASSERT_EQ(host.Set(kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, Float64{44100.0}), noErr);
  EXPECT_DOUBLE_EQ(host.Latency(), 4320.0 / 44100.0); // frame and hop keep their length in seconds

  AUTestHost reset;
  ASSERT_EQ(AudioUnitReset(reset.Unit(), kAudioUnitScope_Global, 0), noErr);
  EXPECT_DOUBLE_EQ(reset.Latency(), 4608.0 / 48000.0);

  Float64 tail = -1.0;
  ASSERT_EQ(host.Get(kAudioUnitProperty_TailTime, kAudioUnitScope_Global, 0, tail), noErr);
  EXPECT_EQ(tail, 0.0);
}

TEST(AURender, BypassPlaysTheInputDelayedByTheLatency)
{
  constexpr int kFrames = 12288;
  const Channels input = MakeTestInput(kFrames, 48000.0);
  AUTestHost host;
  ASSERT_EQ(host.Prepare(48000.0, 1024), noErr);
  ASSERT_EQ(host.Set(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, UInt32{1}), noErr);
  UInt32 bypassed = 0;
  ASSERT_EQ(host.Get(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, bypassed), noErr);
  EXPECT_EQ(bypassed, 1u);
  host.SetInput(input);
  Channels out;
  for (int done = 0; done < kFrames; done += 1024)
    ASSERT_EQ(host.Render(1024, out), noErr);

  const int latency = static_cast<int>(std::lround(host.Latency() * 48000.0));
  ASSERT_EQ(latency, 4608);
  for (int c = 0; c < 2; ++c)
    for (int s = 0; s < kFrames; ++s)
      ASSERT_EQ(out[c][s], s < latency ? 0.f : input[c][s - latency]) << "channel " << c << " frame " << s;

  ASSERT_EQ(host.Set(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, UInt32{0}), noErr);
  ASSERT_EQ(host.Get(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, bypassed), noErr);
  EXPECT_EQ(bypassed, 0u);
}

TEST(AURender, MoreFramesThanTheMaximumOrNoSampleTimeFail)
{
  AUTestHost host;
  ASSERT_EQ(host.Prepare(48000.0, 256), noErr);
  Channels out;
  EXPECT_EQ(host.Render(257, out), kAudioUnitErr_TooManyFramesToProcess);
  EXPECT_EQ(host.RenderAt(0.0, 64, out, true, kAudioTimeStampHostTimeValid), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(host.InputPulls(), 0);
  EXPECT_EQ(host.Render(256, out), noErr);
}

TEST(AURender, TheInputIsPulledOncePerSampleTime)
{
  AUTestHost host;
  ASSERT_EQ(host.Prepare(48000.0, 512), noErr);
  Channels out;
  ASSERT_EQ(host.RenderAt(0.0, 512, out), noErr);
  ASSERT_EQ(host.RenderAt(0.0, 512, out), noErr);
  EXPECT_EQ(host.InputPulls(), 1);
  ASSERT_EQ(host.RenderAt(512.0, 512, out), noErr);
  EXPECT_EQ(host.InputPulls(), 2);
  EXPECT_EQ(host.PullTimes().back(), 512.0);
}

namespace {

struct NotifyLog {
  std::vector<AudioUnitRenderActionFlags> flags;
  static OSStatus Record(void* refCon, AudioUnitRenderActionFlags* ioFlags, const AudioTimeStamp*,
                         UInt32, UInt32, AudioBufferList*)
  {
    static_cast<NotifyLog*>(refCon)->flags.push_back(*ioFlags);
    return noErr;
  }
};

OSStatus FailingInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                      AudioBufferList*)
{
  return -1234;
}

} // namespace

TEST(AURender, RenderNotifyBracketsEachRender)
{
  AUTestHost host;
  ASSERT_EQ(host.Prepare(48000.0, 512), noErr);
  NotifyLog log;
  ASSERT_EQ(AudioUnitAddRenderNotify(host.Unit(), NotifyLog::Record, &log), noErr);
  Channels out;
  ASSERT_EQ(host.Render(128, out), noErr);
  ASSERT_EQ(log.flags.size(), 2u);
  EXPECT_TRUE(log.flags[0] & kAudioUnitRenderAction_PreRender);
  EXPECT_FALSE(log.flags[0] & kAudioUnitRenderAction_PostRender);
  EXPECT_TRUE(log.flags[1] & kAudioUnitRenderAction_PostRender);
  EXPECT_FALSE(log.flags[1] & kAudioUnitRenderAction_PreRender);

  // No duplicate check: added twice, called twice; each removal takes one.
  ASSERT_EQ(AudioUnitAddRenderNotify(host.Unit(), NotifyLog::Record, &log), noErr);
  log.flags.clear();
  ASSERT_EQ(host.Render(128, out), noErr);
  EXPECT_EQ(log.flags.size(), 4u);
  ASSERT_EQ(AudioUnitRemoveRenderNotify(host.Unit(), NotifyLog::Record, &log), noErr);
  log.flags.clear();
  ASSERT_EQ(host.Render(128, out), noErr);
  EXPECT_EQ(log.flags.size(), 2u);
  ASSERT_EQ(AudioUnitRemoveRenderNotify(host.Unit(), NotifyLog::Record, &log), noErr);
  log.flags.clear();
  ASSERT_EQ(host.Render(128, out), noErr);
  EXPECT_TRUE(log.flags.empty());
}

namespace {

// A one-shot notification: it removes itself from inside its first call, on the render thread,
// and then tries one change more within the same walk.
struct OneShot {
  AudioUnit unit;
  int calls = 0;
  OSStatus removal = -1;
  OSStatus secondChange = -1;
  static OSStatus Notify(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                         UInt32, AudioBufferList*)
  {
    auto* self = static_cast<OneShot*>(refCon);
    if (++self->calls == 1)
    {
      self->removal = AudioUnitRemoveRenderNotify(self->unit, Notify, self);
      self->secondChange = AudioUnitAddRenderNotify(self->unit, Notify, self);
    }
    return noErr;
  }
};

} // namespace

TEST(AURender, ANotificationMayRemoveItselfDuringTheRender)
{
  AUTestHost host;
  ASSERT_EQ(host.Prepare(48000.0, 512), noErr);
  OneShot shot{host.Unit()};
  ASSERT_EQ(AudioUnitAddRenderNotify(host.Unit(), OneShot::Notify, &shot), noErr);
  Channels out;
  ASSERT_EQ(host.Render(64, out), noErr);
  EXPECT_EQ(shot.removal, noErr);
  // A second change would rewrite the list the walk in progress is reading.
  EXPECT_EQ(shot.secondChange, kAudioUnitErr_CannotDoInCurrentContext);
  ASSERT_EQ(host.Render(64, out), noErr);
  EXPECT_EQ(shot.calls, 1); // not even after the render it was removed in
}

TEST(AURender, ThirtyTwoNotificationsAtMost)
{
  AUTestHost host;
  ASSERT_EQ(host.Prepare(48000.0, 512), noErr);
  NotifyLog log;
  for (int i = 0; i < IEffectAU::kMaxRenderNotify; ++i)
    ASSERT_EQ(AudioUnitAddRenderNotify(host.Unit(), NotifyLog::Record, &log), noErr) << i;
  EXPECT_EQ(AudioUnitAddRenderNotify(host.Unit(), NotifyLog::Record, &log), kAudio_MemFullError);
  Channels out;
  ASSERT_EQ(host.Render(64, out), noErr);
  EXPECT_EQ(log.flags.size(), 64u);
  ASSERT_EQ(AudioUnitRemoveRenderNotify(host.Unit(), NotifyLog::Record, &log), noErr);
  EXPECT_EQ(AudioUnitAddRenderNotify(host.Unit(), NotifyLog::Record, &log), noErr);
}

TEST(AURender, AFailingInputPullFailsTheRender)
{
  AUTestHost host;
  ASSERT_EQ(host.Prepare(48000.0, 512), noErr);
  ASSERT_EQ(host.Set(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                     AURenderCallbackStruct{FailingInput, nullptr}), noErr);
  Channels out;
  EXPECT_EQ(host.Render(64, out), -1234);
  EXPECT_EQ(host.Set(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 1,
                     AURenderCallbackStruct{FailingInput, nullptr}), kAudioUnitErr_InvalidElement);

  // Without a source the input is silence: the bypassed unit plays nothing.
  ASSERT_EQ(host.Set(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                     AURenderCallbackStruct{nullptr, nullptr}), noErr);
  ASSERT_EQ(host.Set(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, UInt32{1}), noErr);
  for (int i = 0; i < 20; ++i)
    ASSERT_EQ(host.Render(512, out), noErr);
  EXPECT_EQ(Energy(out[0]) + Energy(out[1]), 0.0);
}

TEST(AURender, AUnitConnectedToAnotherPullsItsOutput)
{
  constexpr int kFrames = 16384;
  const Channels input = MakeTestInput(kFrames, 48000.0);
  AUTestHost source, chained;
  ASSERT_EQ(source.Prepare(48000.0, 512), noErr);
  source.SetInput(input);
  ASSERT_EQ(chained.Prepare(48000.0, 512), noErr);
  for (AUTestHost* unit : {&source, &chained})
    ASSERT_EQ(unit->Set(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, UInt32{1}), noErr);

  ASSERT_EQ(chained.Set(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0,
                        AudioUnitConnection{source.Unit(), 0, 0}), noErr);
  EXPECT_EQ(chained.Set(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0,
                        AudioUnitConnection{source.Unit(), 0, 3}), kAudioUnitErr_InvalidElement);
  Channels out;
  for (int done = 0; done < kFrames; done += 512)
    ASSERT_EQ(chained.Render(512, out), noErr);
  // Two bypassed units: the input twice delayed.
  EXPECT_EQ(source.InputPulls(), kFrames / 512);
  for (int c = 0; c < 2; ++c)
    for (int s = 0; s < kFrames; ++s)
      ASSERT_EQ(out[c][s], s < 2 * 4608 ? 0.f : input[c][s - 2 * 4608]) << "frame " << s;
}

namespace {

struct Transport {
  static OSStatus BeatAndTempo(void*, Float64* beat, Float64* tempo)
  {
    *beat = 17.5;
    *tempo = 93.0;
    return noErr;
  }
  static OSStatus MusicalTime(void*, UInt32* toNextBeat, Float32* numerator, UInt32* denominator,
                              Float64* downBeat)
  {
    *toNextBeat = 0;
    *numerator = 7.f;
    *denominator = 8;
    *downBeat = 14.0;
    return noErr;
  }
  static OSStatus State(void*, Boolean* playing, Boolean* changed, Float64* sample, Boolean* cycling,
                        Float64* cycleStart, Float64* cycleEnd)
  {
    *playing = true;
    *changed = false;
    *sample = 44100.0;
    *cycling = true;
    *cycleStart = 8.0;
    *cycleEnd = 0.0;
    return noErr;
  }
};

} // namespace

TEST(AURender, TheTransportComesFromTheHostCallbacks)
{
  AUTestHost host;
  ASSERT_EQ(host.Prepare(48000.0, 512), noErr);
  Channels out;
  ASSERT_EQ(host.Render(64, out), noErr);
  Umbravox& plug = PlugOf(host);
  EXPECT_EQ(plug.GetTransportInfo().mTempo, 120.0); // no callbacks
  EXPECT_EQ(plug.GetTransportInfo().mNumerator, 4);

  HostCallbackInfo callbacks{};
  callbacks.beatAndTempoProc = Transport::BeatAndTempo;
  callbacks.musicalTimeLocationProc = Transport::MusicalTime;
  callbacks.transportStateProc = Transport::State;
  ASSERT_EQ(host.Set(kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, callbacks), noErr);
  ASSERT_EQ(host.Render(64, out), noErr);
  const ITransportInfo& info = plug.GetTransportInfo();
  EXPECT_EQ(info.mTempo, 93.0);
  EXPECT_EQ(info.mPPQPos, 17.5);
  EXPECT_EQ(info.mNumerator, 7);
  EXPECT_EQ(info.mDenominator, 8);
  EXPECT_EQ(info.mLastBar, 14.0);
  EXPECT_TRUE(info.mTransportIsRunning);
  EXPECT_TRUE(info.mTransportLoopEnabled);
  EXPECT_EQ(info.mSamplePos, 44100.0);
  EXPECT_EQ(info.mCycleStart, 8.0);
  EXPECT_EQ(info.mCycleEnd, -1.0);
  EXPECT_EQ(plug.mTempo.load(), 93.f); // what the editor's background follows
}
