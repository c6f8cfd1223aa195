// What the unit tells the host and its editor: property listeners, parameter events for the
// editor's gestures, and the main run loop's timer that carries host changes to the editor.
#include <gtest/gtest.h>

#include <vector>

#include "AUTestHost.h"
#include "ICanvas.h"
#include "IControl.h"
#include "UmbravoxAU.h"
#include "UmbravoxParams.h"

using namespace umbra;
using namespace umbra::test;

namespace {

struct Heard {
  AudioUnit unit;
  AudioUnitPropertyID id;
  AudioUnitScope scope;
  AudioUnitElement element;
  double latencyThen; // the latency the listener read back during its call
};

struct PropertyLog {
  std::vector<Heard> heard;

  static void Listen(void* refCon, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                     AudioUnitElement element)
  {
    Float64 latency = -1.0;
    UInt32 size = sizeof(latency);
    AudioUnitGetProperty(unit, kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, &latency, &size);
    static_cast<PropertyLog*>(refCon)->heard.push_back({unit, id, scope, element, latency});
  }
  static void Other(void* refCon, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                    AudioUnitElement element)
  {
    Listen(refCon, unit, id, scope, element);
  }
};

IEffectAU& PlugOf(AUTestHost& host)
{
  IEffectAU* plug = nullptr;
  EXPECT_EQ(host.Get(kUmbraPluginObjectProperty, kAudioUnitScope_Global, 0, plug), noErr);
  return *plug;
}

} // namespace

TEST(AUListeners, ANotifiedSetReachesEachListenerOnce)
{
  AUTestHost host;
  PropertyLog log;
  ASSERT_EQ(AudioUnitAddPropertyListener(host.Unit(), kAudioUnitProperty_SampleRate, PropertyLog::Listen, &log), noErr);
  ASSERT_EQ(AudioUnitAddPropertyListener(host.Unit(), kAudioUnitProperty_SampleRate, PropertyLog::Listen, &log), noErr);
  ASSERT_EQ(host.Set(kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, Float64{44100.0}), noErr);
  ASSERT_EQ(log.heard.size(), 1u); // added once
  EXPECT_EQ(log.heard[0].unit, host.Unit());
  EXPECT_EQ(log.heard[0].id, static_cast<AudioUnitPropertyID>(kAudioUnitProperty_SampleRate));
  EXPECT_EQ(log.heard[0].scope, static_cast<AudioUnitScope>(kAudioUnitScope_Output));
  EXPECT_EQ(log.heard[0].element, 0u);

  // Other properties are not heard.
  ASSERT_EQ(host.Set(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, UInt32{1}), noErr);
  EXPECT_EQ(log.heard.size(), 1u);

  // Removing needs the same user data with this call; then the listener is gone.
  int other = 0;
  ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(host.Unit(), kAudioUnitProperty_SampleRate,
                                                        PropertyLog::Listen, &other), noErr);
  ASSERT_EQ(host.Set(kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, Float64{48000.0}), noErr);
  EXPECT_EQ(log.heard.size(), 2u);
  ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(host.Unit(), kAudioUnitProperty_SampleRate,
                                                        PropertyLog::Listen, &log), noErr);
  ASSERT_EQ(host.Set(kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, Float64{96000.0}), noErr);
  EXPECT_EQ(log.heard.size(), 2u);
}

TEST(AUListeners, TheOlderRemovalTakesTheFirstEntryForThatProcedure)
{
  AUTestHost host;
  PropertyLog log;
  ASSERT_EQ(AudioUnitAddPropertyListener(host.Unit(), kAudioUnitProperty_BypassEffect, PropertyLog::Listen, &log), noErr);
  ASSERT_EQ(AudioUnitAddPropertyListener(host.Unit(), kAudioUnitProperty_BypassEffect, PropertyLog::Other, &log), noErr);
  ASSERT_EQ(AudioUnitRemovePropertyListener(host.Unit(), kAudioUnitProperty_BypassEffect, PropertyLog::Listen), noErr);
  ASSERT_EQ(host.Set(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, UInt32{1}), noErr);
  EXPECT_EQ(log.heard.size(), 1u); // only Other is left
}

TEST(AUListeners, LatencyListenersHearTheChangeBeforeItLands)
{
  AUTestHost host;
  PropertyLog log;
  ASSERT_EQ(AudioUnitAddPropertyListener(host.Unit(), kAudioUnitProperty_Latency, PropertyLog::Listen, &log), noErr);
  ASSERT_EQ(host.Set(kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, Float64{48000.0}), noErr);
  ASSERT_EQ(log.heard.size(), 1u);
  EXPECT_EQ(log.heard[0].latencyThen, 0.0); // the old value
  EXPECT_DOUBLE_EQ(host.Latency(), 4608.0 / 48000.0);

  ASSERT_EQ(host.Set(kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, Float64{44100.0}), noErr);
  ASSERT_EQ(log.heard.size(), 2u);
  EXPECT_DOUBLE_EQ(log.heard[1].latencyThen, 4608.0 / 44100.0); // samples unchanged, at the new rate
  ASSERT_EQ(AudioUnitReset(host.Unit(), kAudioUnitScope_Global, 0), noErr);
  EXPECT_EQ(log.heard.size(), 3u);
}

TEST(AUListeners, PresetAndParameterDetailChangesAreAnnounced)
{
  AUTestHost host;
  PropertyLog presets, details;
  ASSERT_EQ(AudioUnitAddPropertyListener(host.Unit(), kAudioUnitProperty_PresentPreset, PropertyLog::Listen, &presets), noErr);
  ASSERT_EQ(AudioUnitAddPropertyListener(host.Unit(), kAudioUnitProperty_ParameterInfo, PropertyLog::Listen, &details), noErr);
  ASSERT_EQ(AudioUnitAddPropertyListener(host.Unit(), kAudioUnitProperty_ParameterList, PropertyLog::Listen, &details), noErr);

  IEffectAU& plug = PlugOf(host);
  plug.InformHostOfPresetChange();
  ASSERT_EQ(presets.heard.size(), 1u);
  EXPECT_EQ(presets.heard[0].id, static_cast<AudioUnitPropertyID>(kAudioUnitProperty_PresentPreset));

  plug.InformHostOfParameterDetailsChange();
  ASSERT_EQ(details.heard.size(), 2u);
  EXPECT_EQ(details.heard[0].id, static_cast<AudioUnitPropertyID>(kAudioUnitProperty_ParameterList));
  EXPECT_EQ(details.heard[1].id, static_cast<AudioUnitPropertyID>(kAudioUnitProperty_ParameterInfo));
}

namespace {

struct EventLog {
  struct Event {
    AudioUnitEventType type;
    AudioUnitParameterID param;
    AudioUnitParameterValue value;
  };
  std::vector<Event> events;

  static void Listen(void* refCon, void*, const AudioUnitEvent* event, UInt64, AudioUnitParameterValue value)
  {
    static_cast<EventLog*>(refCon)->events.push_back(
      {event->mEventType, event->mArgument.mParameter.mParameterID, value});
  }
};

} // namespace

TEST(AUListeners, AnEditorGestureSendsBeginValueAndEndEvents)
{
  AUTestHost host;
  EventLog log;
  AUEventListenerRef listener = nullptr;
  ASSERT_EQ(AUEventListenerCreate(EventLog::Listen, &log, CFRunLoopGetMain(), kCFRunLoopDefaultMode,
                                  0.f, 0.f, &listener), noErr);
  for (AudioUnitEventType type : {kAudioUnitEvent_BeginParameterChangeGesture,
                                  kAudioUnitEvent_ParameterValueChange,
                                  kAudioUnitEvent_EndParameterChangeGesture})
  {
    AudioUnitEvent event{};
    event.mEventType = type;
    event.mArgument.mParameter = {host.Unit(), kHaunt, kAudioUnitScope_Global, 0};
    ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &event), noErr);
  }

  // What a control does while the user drags it.
  IEffectAU& plug = PlugOf(host);
  plug.BeginInformHostOfParamChangeFromUI(kHaunt);
  plug.SendParameterValueFromUI(kHaunt, 0.3);
  plug.SendParameterValueFromUI(kHaunt, 0.4);
  plug.EndInformHostOfParamChangeFromUI(kHaunt);
  // Another parameter is not what this listener asked for.
  plug.SendParameterValueFromUI(kMix, 0.5);

  ASSERT_EQ(log.events.size(), 4u);
  EXPECT_EQ(log.events[0].type, static_cast<AudioUnitEventType>(kAudioUnitEvent_BeginParameterChangeGesture));
  EXPECT_EQ(log.events[1].type, static_cast<AudioUnitEventType>(kAudioUnitEvent_ParameterValueChange));
  EXPECT_EQ(log.events[1].value, 30.f); // read back from the unit
  EXPECT_EQ(log.events[2].value, 40.f);
  EXPECT_EQ(log.events[3].type, static_cast<AudioUnitEventType>(kAudioUnitEvent_EndParameterChangeGesture));
  for (const auto& event : log.events)
    EXPECT_EQ(event.param, static_cast<AudioUnitParameterID>(kHaunt));
  AUListenerDispose(listener);
}

TEST(AUListeners, TheMainRunLoopCarriesHostChangesToTheOpenEditor)
{
  AUTestHost host;
  // Without a display the editor is drawn off screen: there is no view to hand back, but it is
  // an editor all the same.
  Umbravox_View(host.Unit(), nullptr);
  IEffectAU& plug = PlugOf(host);
  auto* canvas = dynamic_cast<ui::ICanvas*>(plug.GetUI());
  ASSERT_NE(canvas, nullptr);
  ui::IControl* haunt = canvas->GetControlWithParamIdx(kHaunt);
  ASSERT_NE(haunt, nullptr);
  EXPECT_DOUBLE_EQ(haunt->GetValue(), 0.75);

  ASSERT_EQ(AudioUnitSetParameter(host.Unit(), kHaunt, kAudioUnitScope_Global, 0, 20.f, 0), noErr);
  EXPECT_DOUBLE_EQ(haunt->GetValue(), 0.75); // not from the host's thread
  CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.1, false);
  EXPECT_DOUBLE_EQ(haunt->GetValue(), 0.20);
  plug.CloseWindow();
}
