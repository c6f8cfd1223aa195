// Opening and closing the component, its description, buses, formats and initialisation, and
// the selectors it refuses.
#include <gtest/gtest.h>

#include <cstring>

#include "AUTestHost.h"
#include "AUv2/AUPlatformHost.h"
#include "AUv2/AUUtilities.h"
#include "AUv2/IEffectAU.h"
#include "UmbravoxAU.h"

using namespace umbra;
using namespace umbra::test;

TEST(AUComponent, OpensThroughTheFactoryAndAnswersItsDescription)
{
  AUTestHost host;
  ASSERT_TRUE(host.IsOpen()) << host.OpenStatus();

  AudioComponentDescription description{};
  ASSERT_EQ(AudioComponentGetDescription(AudioComponentInstanceGetComponent(host.Unit()), &description), noErr);
  EXPECT_EQ(description.componentType, 0x61756678u); // 'aufx'
  EXPECT_EQ(description.componentSubType, 0x556D5678u);
  EXPECT_EQ(description.componentManufacturer, 0x516C6C6Eu);

  // The state the unit hands out says the same about itself.
  CFPropertyListRef state = nullptr;
  ASSERT_EQ(host.Get(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, state), noErr);
  SInt32 type = 0, subtype = 0, manufacturer = 0;
  const auto dictionary = static_cast<CFDictionaryRef>(state);
  EXPECT_TRUE(GetNumber(dictionary, "type", type));
  EXPECT_TRUE(GetNumber(dictionary, "subtype", subtype));
  EXPECT_TRUE(GetNumber(dictionary, "manufacturer", manufacturer));
  EXPECT_EQ(static_cast<UInt32>(type), description.componentType);
  EXPECT_EQ(static_cast<UInt32>(subtype), description.componentSubType);
  EXPECT_EQ(static_cast<UInt32>(manufacturer), description.componentManufacturer);
  CFRelease(state);
}

TEST(AUComponent, LookupHasAMethodForEveryUnitSelectorAndNoneForTheOthers)
{
  AudioComponentPlugInInterface* record = Umbravox_Factory(nullptr);
  ASSERT_NE(record, nullptr);
  for (SInt16 selector : {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 14, 15, 16, 17, 18})
    EXPECT_NE(record->Lookup(selector), nullptr) << "selector " << selector;
  for (SInt16 selector : {0, 8, 12, 13, 19, 257, 258, -1})
    EXPECT_EQ(record->Lookup(selector), nullptr) << "selector " << selector;
  EXPECT_EQ(record->reserved, nullptr);
  // A record that was never opened closes all the same.
  EXPECT_EQ(record->Close(record), noErr);
}

TEST(AUComponent, InstancesAreIndependentAndCloseCleanly)
{
  AUTestHost first, second;
  ASSERT_TRUE(first.IsOpen());
  ASSERT_TRUE(second.IsOpen());
  ASSERT_EQ(AudioUnitSetParameter(first.Unit(), 2, kAudioUnitScope_Global, 0, 10.f, 0), noErr);
  AudioUnitParameterValue a = 0, b = 0;
  ASSERT_EQ(AudioUnitGetParameter(first.Unit(), 2, kAudioUnitScope_Global, 0, &a), noErr);
  ASSERT_EQ(AudioUnitGetParameter(second.Unit(), 2, kAudioUnitScope_Global, 0, &b), noErr);
  EXPECT_EQ(a, 10.f);
  EXPECT_EQ(b, 75.f); // "Init"
}

TEST(AUComponent, ElementCountsNamesAndSupportedChannels)
{
  AUTestHost host;
  UInt32 count = 0;
  ASSERT_EQ(host.Get(kAudioUnitProperty_ElementCount, kAudioUnitScope_Global, 0, count), noErr);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(host.Get(kAudioUnitProperty_ElementCount, kAudioUnitScope_Input, 0, count), noErr);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(host.Get(kAudioUnitProperty_ElementCount, kAudioUnitScope_Output, 0, count), noErr);
  EXPECT_EQ(count, 1u);

  CFStringRef name = nullptr;
  ASSERT_EQ(host.Get(kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 0, name), noErr);
  EXPECT_EQ(TakeString(name), "Input");
  ASSERT_EQ(host.Get(kAudioUnitProperty_ElementName, kAudioUnitScope_Output, 0, name), noErr);
  EXPECT_EQ(TakeString(name), "Output");
  EXPECT_EQ(host.Get(kAudioUnitProperty_ElementName, kAudioUnitScope_Global, 0, name),
            kAudioUnitErr_InvalidScope);
  EXPECT_EQ(host.Get(kAudioUnitProperty_ElementName, kAudioUnitScope_Output, 1, name),
            kAudioUnitErr_InvalidElement);

  UInt32 size = 0;
  Boolean writable = true;
  ASSERT_EQ(AudioUnitGetPropertyInfo(host.Unit(), kAudioUnitProperty_SupportedNumChannels,
                                     kAudioUnitScope_Global, 0, &size, &writable), noErr);
  EXPECT_EQ(size, sizeof(AUChannelInfo));
  EXPECT_FALSE(writable);
  AUChannelInfo channels{};
  ASSERT_EQ(host.Get(kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0, channels), noErr);
  EXPECT_EQ(channels.inChannels, 2);
  EXPECT_EQ(channels.outChannels, 2);

  AudioChannelLayoutTag tag = 0;
  ASSERT_EQ(host.Get(kAudioUnitProperty_SupportedChannelLayoutTags, kAudioUnitScope_Input, 0, tag), noErr);
  EXPECT_EQ(tag, static_cast<AudioChannelLayoutTag>(kAudioChannelLayoutTag_Stereo));
  EXPECT_EQ(AudioUnitGetPropertyInfo(host.Unit(), kAudioUnitProperty_AudioChannelLayout,
                                     kAudioUnitScope_Output, 0, &size, &writable),
            kAudioUnitErr_InvalidPropertyValue);
}

TEST(AUComponent, StreamFormatsFollowTheChannelConfiguration)
{
  AUTestHost host;
  AudioStreamBasicDescription format{};
  ASSERT_EQ(host.Get(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, format), noErr);
  EXPECT_EQ(format.mFormatID, static_cast<UInt32>(kAudioFormatLinearPCM));
  EXPECT_EQ(format.mChannelsPerFrame, 2u);
  EXPECT_EQ(format.mBitsPerChannel, 32u);
  EXPECT_TRUE(format.mFormatFlags & kAudioFormatFlagIsFloat);
  EXPECT_TRUE(format.mFormatFlags & kAudioFormatFlagIsNonInterleaved);
  EXPECT_EQ(format.mSampleRate, 48000.0);

  // "2-2" takes no single input channel: the call fails and the bus keeps its two.
  EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 0, 1, 44100.0), kAudioUnitErr_InvalidProperty);
  ASSERT_EQ(host.Get(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, format), noErr);
  EXPECT_EQ(format.mChannelsPerFrame, 2u);
  EXPECT_EQ(format.mSampleRate, 48000.0);

  // Integer samples would be misread: refused too.
  AudioStreamBasicDescription integer = AUTestHost::FloatFormat(2, 48000.0);
  integer.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
  integer.mBitsPerChannel = 16;
  EXPECT_EQ(host.Set(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, integer),
            kAudioUnitErr_InvalidProperty);

  // Two channels are taken, with the rate.
  EXPECT_EQ(host.SetFormat(kAudioUnitScope_Output, 0, 2, 96000.0), noErr);
  ASSERT_EQ(host.Get(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, format), noErr);
  EXPECT_EQ(format.mSampleRate, 96000.0);
  Float64 rate = 0;
  ASSERT_EQ(host.Get(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, rate), noErr);
  EXPECT_EQ(rate, 96000.0);

  EXPECT_EQ(host.SetFormat(kAudioUnitScope_Output, 1, 2, 48000.0), kAudioUnitErr_InvalidElement);
  EXPECT_EQ(host.SetFormat(kAudioUnitScope_Global, 0, 2, 48000.0), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(host.Get(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 1, format),
            kAudioUnitErr_InvalidElement);
}

TEST(AUComponent, SampleRateAndMaximumFramesPerSlice)
{
  AUTestHost host;
  UInt32 frames = 0;
  ASSERT_EQ(host.Get(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, frames), noErr);
  EXPECT_EQ(frames, 512u);
  ASSERT_EQ(host.Set(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, UInt32{1024}), noErr);
  ASSERT_EQ(host.Get(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, frames), noErr);
  EXPECT_EQ(frames, 1024u);
  EXPECT_EQ(host.Set(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, UInt32{0}),
            kAudioUnitErr_InvalidPropertyValue);

  EXPECT_EQ(host.Set(kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, Float64{44100.0}), noErr);
  Float64 rate = 0;
  ASSERT_EQ(host.Get(kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, rate), noErr);
  EXPECT_EQ(rate, 44100.0);
  EXPECT_EQ(host.Set(kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, Float64{-1.0}),
            kAudioUnitErr_InvalidPropertyValue);

  // A record too small for the answer is refused rather than overrun.
  UInt16 small = 0;
  EXPECT_EQ(host.Get(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, small),
            kAudioUnitErr_InvalidPropertyValue);
}

TEST(AUComponent, InitialiseTakesTheChannelsTheHostSet)
{
  AUTestHost host;
  ASSERT_EQ(host.SetFormat(kAudioUnitScope_Input, 0, 2, 48000.0), noErr);
  ASSERT_EQ(host.SetFormat(kAudioUnitScope_Output, 0, 2, 48000.0), noErr);
  EXPECT_EQ(AudioUnitInitialize(host.Unit()), noErr);
  EXPECT_EQ(AudioUnitUninitialize(host.Unit()), noErr);

  // A refused format leaves the side unset, which initialises as "whatever the unit offers".
  AUTestHost mono;
  EXPECT_EQ(mono.SetFormat(kAudioUnitScope_Output, 0, 1, 48000.0), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitInitialize(mono.Unit()), noErr);
}

TEST(AUComponent, InitialiseIdentifiesTheHostFromItsBundle)
{
  umbra::au::SetMainBundle("com.example.Logic Pro", "10.7.3", "/Applications/Logic Pro.app");
  AUTestHost host;
  ASSERT_EQ(AudioUnitInitialize(host.Unit()), noErr);
  IEffectAU* plug = nullptr;
  ASSERT_EQ(host.Get(kUmbraPluginObjectProperty, kAudioUnitScope_Global, 0, plug), noErr);
  EXPECT_EQ(plug->GetHost(), kHostLogic);
  EXPECT_EQ(plug->GetHostVersionStr(), "v10.7.3");
  umbra::au::SetMainBundle("", "", "");

  // A host that names itself before initialising is taken at its word; later names are not.
  AUTestHost named;
  ScopedCFRef reaper(MakeCFString("REAPER"));
  ASSERT_EQ(named.Set(kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0,
                      AUHostVersionIdentifier{static_cast<CFStringRef>(reaper.Get()), 0x00070F02}), noErr);
  ScopedCFRef live(MakeCFString("Live"));
  ASSERT_EQ(named.Set(kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0,
                      AUHostVersionIdentifier{static_cast<CFStringRef>(live.Get()), 0x000B0000}), noErr);
  ASSERT_EQ(named.Get(kUmbraPluginObjectProperty, kAudioUnitScope_Global, 0, plug), noErr);
  EXPECT_EQ(plug->GetHost(), kHostReaper);
  EXPECT_EQ(plug->GetHostVersionStr(), "v7.15.2");
}

TEST(AUComponent, UnknownPropertiesAndScopesAreRefused)
{
  AUTestHost host;
  UInt32 value = 0;
  EXPECT_EQ(host.Get(9999, kAudioUnitScope_Global, 0, value), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(host.Set(9999, kAudioUnitScope_Global, 0, value), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(host.Get(kMusicDeviceProperty_InstrumentCount, kAudioUnitScope_Global, 0, value),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(host.Get(kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global, kAudioUnitRenderSelect, value),
            kAudioUnitErr_InvalidElement);
  Float64 latency = 0;
  EXPECT_EQ(host.Get(kAudioUnitProperty_Latency, kAudioUnitScope_Input, 0, latency),
            kAudioUnitErr_InvalidProperty);
  UInt32 mpe = 1;
  ASSERT_EQ(host.Get(kAudioUnitProperty_SupportsMPE, kAudioUnitScope_Global, 0, mpe), noErr);
  EXPECT_EQ(mpe, 0u);
  OSStatus lastError = -1;
  ASSERT_EQ(host.Get(kAudioUnitProperty_LastRenderError, kAudioUnitScope_Global, 0, lastError), noErr);
  EXPECT_EQ(lastError, noErr);

  CFArrayRef midiOut = nullptr;
  ASSERT_EQ(host.Get(kAudioUnitProperty_MIDIOutputCallbackInfo, kAudioUnitScope_Global, 0, midiOut), noErr);
  ASSERT_EQ(CFArrayGetCount(midiOut), 1);
  EXPECT_EQ(ToStdString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(midiOut, 0))), "midiOut");
  CFRelease(midiOut);
}

TEST(AUComponent, MIDISelectorsAreRefused)
{
  AUTestHost host;
  EXPECT_EQ(MusicDeviceMIDIEvent(host.Unit(), 0x90, 60, 100, 0), badComponentSelector);
}

// The older dispatcher: parameters come last to first.
namespace {

struct EntryCall {
  ComponentParameters params{};
  long more[6] = {};

  EntryCall(SInt16 what, std::initializer_list<long> args)
  {
    params.what = what;
    params.paramSize = static_cast<UInt8>(args.size() * sizeof(long));
    long* slots = params.params;
    int i = static_cast<int>(args.size());
    for (long arg : args)
      slots[--i] = arg;
  }
};

} // namespace

TEST(AUComponent, OlderDispatcherOpensAnswersAndCloses)
{
  AudioComponentInstance instance = nullptr;
  // The dispatcher stores its record with the instance; the platform's instance record holds it.
  {
    AUTestHost owner; // any instance record of the platform serves as the component instance
    instance = owner.Unit();
    EntryCall open(kComponentOpenSelect, {reinterpret_cast<long>(instance)});
    ASSERT_EQ(Umbravox_Entry(&open.params, nullptr), noErr);
    void* storage = GetComponentInstanceStorage(instance);
    ASSERT_NE(storage, nullptr);

    EntryCall version(kComponentVersionSelect, {});
    EXPECT_EQ(Umbravox_Entry(&version.params, storage), 0x10000);
    EntryCall canDo(kComponentCanDoSelect, {kAudioUnitRenderSelect});
    EXPECT_EQ(Umbravox_Entry(&canDo.params, storage), 1);
    EntryCall cannotDo(kComponentCanDoSelect, {kMusicDeviceMIDIEventSelect});
    EXPECT_EQ(Umbravox_Entry(&cannotDo.params, storage), 0);

    Float64 rate = 0;
    UInt32 size = sizeof(rate);
    EntryCall get(kAudioUnitGetPropertySelect,
                  {kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0,
                   reinterpret_cast<long>(&rate), reinterpret_cast<long>(&size)});
    EXPECT_EQ(Umbravox_Entry(&get.params, storage), noErr);
    EXPECT_EQ(rate, 48000.0);

    float value = 33.f;
    UInt32 bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    EntryCall set(kAudioUnitSetParameterSelect, {2, kAudioUnitScope_Global, 0, static_cast<long>(bits), 0});
    EXPECT_EQ(Umbravox_Entry(&set.params, storage), noErr);
    AudioUnitParameterValue haunt = 0;
    EntryCall read(kAudioUnitGetParameterSelect, {2, kAudioUnitScope_Global, 0, reinterpret_cast<long>(&haunt)});
    EXPECT_EQ(Umbravox_Entry(&read.params, storage), noErr);
    EXPECT_EQ(haunt, 33.f);

    EntryCall midi(kMusicDeviceMIDIEventSelect, {0x90, 60, 100, 0});
    EXPECT_EQ(Umbravox_Entry(&midi.params, storage), badComponentSelector);
    EntryCall sysex(kMusicDeviceSysExSelect, {0, 0});
    EXPECT_EQ(Umbravox_Entry(&sysex.params, storage), badComponentSelector);
    EntryCall unknown(13, {});
    EXPECT_EQ(Umbravox_Entry(&unknown.params, storage), badComponentSelector);

    EntryCall close(kComponentCloseSelect, {reinterpret_cast<long>(instance)});
    EXPECT_EQ(Umbravox_Entry(&close.params, storage), noErr);
    SetComponentInstanceStorage(instance, nullptr);
  }
}
