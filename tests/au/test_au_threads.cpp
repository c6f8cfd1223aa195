// A unit played as a host plays it: its render thread renders without pause, scheduling
// automation before each block, while the main thread sets parameters, schedules events, adds
// and removes render notifications, swaps the host callbacks and runs the main run loop with the
// editor open. Under ThreadSanitizer any data race between the two fails the run; in every build
// the test checks what such a race would break.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "AUTestHost.h"
#include "ICanvas.h"
#include "IControl.h"
#include "Umbravox.h"
#include "UmbravoxAU.h"
#include "UmbravoxParams.h"

using namespace umbra;
using namespace umbra::test;
using namespace std::chrono_literals;

namespace {

constexpr auto kPlayTime = 3s;
constexpr UInt32 kFrames = 128;

// A render notification's data. The host lets it go as soon as the removal returns; the
// notification must never be called after that.
struct NotifyData {
  std::atomic<bool> removed{false};
  std::atomic<int> calls{0};
};

std::atomic<int> gLateNotifications{0};

OSStatus CountNotification(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                           UInt32, UInt32, AudioBufferList*)
{
  auto* data = static_cast<NotifyData*>(refCon);
  if (data->removed.load())
    ++gLateNotifications;
  ++data->calls;
  return noErr;
}

// Two hosts' transports, each answering only for its own context: a record that mixes the
// procedures of one with the context of the other is caught. The first reports 100 BPM in 7/8
// with a playing transport, the second only its tempo, 140 BPM.
struct HostContext {
  double tempo;
};
HostContext gContexts[2] = {{100.0}, {140.0}};
std::atomic<int> gWrongContexts{0};

template <int N>
OSStatus BeatAndTempo(void* userData, Float64* beat, Float64* tempo)
{
  if (userData != &gContexts[N])
    ++gWrongContexts;
  *beat = 1.0;
  *tempo = gContexts[N].tempo;
  return noErr;
}

OSStatus MusicalTime(void* userData, UInt32* toNextBeat, Float32* numerator, UInt32* denominator,
                     Float64* downBeat)
{
  if (userData != &gContexts[0])
    ++gWrongContexts;
  *toNextBeat = 0;
  *numerator = 7.f;
  *denominator = 8;
  *downBeat = 4.0;
  return noErr;
}

OSStatus TransportState(void* userData, Boolean* playing, Boolean* changed, Float64* sample,
                        Boolean* cycling, Float64* cycleStart, Float64* cycleEnd)
{
  if (userData != &gContexts[0])
    ++gWrongContexts;
  *playing = true;
  *changed = false;
  *sample = 48000.0;
  *cycling = false;
  *cycleStart = 0.0;
  *cycleEnd = 0.0;
  return noErr;
}

HostCallbackInfo Callbacks(int which)
{
  HostCallbackInfo info{};
  info.hostUserData = &gContexts[which];
  if (which == 0)
  {
    info.beatAndTempoProc = BeatAndTempo<0>;
    info.musicalTimeLocationProc = MusicalTime;
    info.transportStateProc = TransportState;
  }
  else
  {
    info.beatAndTempoProc = BeatAndTempo<1>;
  }
  return info;
}

// What the render thread saw of the transport in each block: no callbacks yet, or one whole
// record.
bool TransportIsWhole(const ITransportInfo& info)
{
  return (info.mTempo == 120.0 && info.mNumerator == 4 && !info.mTransportIsRunning) ||
         (info.mTempo == 100.0 && info.mNumerator == 7 && info.mTransportIsRunning) ||
         (info.mTempo == 140.0 && info.mNumerator == 4 && !info.mTransportIsRunning);
}

Umbravox& PlugOf(AUTestHost& host)
{
  IEffectAU* plug = nullptr;
  EXPECT_EQ(host.Get(kUmbraPluginObjectProperty, kAudioUnitScope_Global, 0, plug), noErr);
  return *dynamic_cast<Umbravox*>(plug);
}

} // namespace

TEST(AUThreads, RenderingGoesOnWhileTheMainThreadChangesTheUnit)
{
  AUTestHost host;
  ASSERT_EQ(host.Prepare(48000.0, 512), noErr);
  Umbravox& plug = PlugOf(host);
  // Without a display the editor is drawn off screen; the run loop's timer still feeds it.
  Umbravox_View(host.Unit(), nullptr);
  auto* canvas = dynamic_cast<ui::ICanvas*>(plug.GetUI());
  ASSERT_NE(canvas, nullptr);

  std::atomic<bool> stop{false};
  std::atomic<long> renders{0};
  std::atomic<int> failedRenders{0};
  std::atomic<int> tornTransports{0};
  std::thread renderThread([&] {
    std::vector<std::vector<float>> out;
    AudioUnitParameterEvent event{};
    event.scope = kAudioUnitScope_Global;
    event.parameter = kFine;
    event.eventType = kParameterEvent_Immediate;
    for (long block = 0; !stop.load(); ++block)
    {
      // Automation scheduled on the render thread, as hosts do before each slice.
      event.eventValues.immediate = {0, static_cast<float>(block % 200 - 100)};
      AudioUnitScheduleParameters(host.Unit(), &event, 1);
      out.clear();
      if (host.Render(kFrames, out) != noErr)
        ++failedRenders;
      if (!TransportIsWhole(plug.GetTransportInfo()))
        ++tornTransports;
      ++renders;
    }
  });

  std::deque<std::unique_ptr<NotifyData>> notifications;
  std::vector<std::unique_ptr<NotifyData>> removed; // kept to check that none is called late
  long changes = 0;
  const auto end = std::chrono::steady_clock::now() + kPlayTime;
  while (std::chrono::steady_clock::now() < end)
  {
    const auto value = static_cast<float>(changes % 101);
    EXPECT_EQ(AudioUnitSetParameter(host.Unit(), kHaunt, kAudioUnitScope_Global, 0, value, 0), noErr);
    AudioUnitParameterEvent event{};
    event.scope = kAudioUnitScope_Global;
    event.parameter = kMix;
    event.eventType = kParameterEvent_Immediate;
    event.eventValues.immediate = {0, value};
    EXPECT_EQ(AudioUnitScheduleParameters(host.Unit(), &event, 1), noErr);

    notifications.push_back(std::make_unique<NotifyData>());
    EXPECT_EQ(AudioUnitAddRenderNotify(host.Unit(), CountNotification, notifications.back().get()), noErr);
    if (notifications.size() > 3)
    {
      // Removal takes the first entry with this procedure: the oldest.
      EXPECT_EQ(AudioUnitRemoveRenderNotify(host.Unit(), CountNotification, notifications.front().get()), noErr);
      notifications.front()->removed.store(true);
      removed.push_back(std::move(notifications.front()));
      notifications.pop_front();
    }

    const HostCallbackInfo callbacks = Callbacks(static_cast<int>(changes % 2));
    EXPECT_EQ(host.Set(kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, callbacks), noErr);

    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false);
    ++changes;
    std::this_thread::sleep_for(200us);
  }
  const long rendersWhileChanging = renders.load();
  stop.store(true);
  renderThread.join();

  EXPECT_GT(rendersWhileChanging, 50);
  EXPECT_GT(changes, 50);
  EXPECT_EQ(failedRenders.load(), 0);
  EXPECT_EQ(tornTransports.load(), 0);
  EXPECT_EQ(gWrongContexts.load(), 0);
  EXPECT_EQ(gLateNotifications.load(), 0);
  int called = 0;
  for (const auto& data : removed)
    called += data->calls.load() > 0 ? 1 : 0;
  EXPECT_GT(called, 0);

  // Whichever thread made the last change, the editor shows it after the next tick.
  CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.05, false);
  for (int paramIdx : {kHaunt, kMix, kFine})
  {
    ui::IControl* control = canvas->GetControlWithParamIdx(paramIdx);
    ASSERT_NE(control, nullptr);
    EXPECT_DOUBLE_EQ(control->GetValue(), plug.GetParam(paramIdx)->CurrentNormalized()) << paramIdx;
  }
  plug.CloseWindow();
}
