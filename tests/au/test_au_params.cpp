// Parameters as a host sees them: the list, the info records, values, display strings, names
// and clumps, and automation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AUTestHost.h"
#include "AUv2/AUUtilities.h"
#include "UmbravoxParams.h"

using namespace umbra;
using namespace umbra::test;

namespace {

struct ParamInfo {
  AudioUnitParameterInfo raw{};
  std::string cfName, unitName;

  ParamInfo(AUTestHost& host, AudioUnitParameterID id, OSStatus* status = nullptr)
  {
    const OSStatus result = host.Get(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, raw);
    if (status)
      *status = result;
    // The host releases what the flags say it owns.
    if (result == noErr && (raw.flags & kAudioUnitParameterFlag_CFNameRelease))
    {
      cfName = TakeString(raw.cfNameString);
      if (raw.unit == kAudioUnitParameterUnit_CustomUnit)
        unitName = TakeString(raw.unitName);
    }
  }
};

AudioUnitParameterValue GetValue(AUTestHost& host, AudioUnitParameterID id)
{
  AudioUnitParameterValue value = -1234.f;
  EXPECT_EQ(AudioUnitGetParameter(host.Unit(), id, kAudioUnitScope_Global, 0, &value), noErr);
  return value;
}

std::string StringFromValue(AUTestHost& host, AudioUnitParameterID id, const AudioUnitParameterValue* value)
{
  AudioUnitParameterStringFromValue request{id, value, nullptr};
  EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0, request), noErr);
  return TakeString(request.outString);
}

AudioUnitParameterValue ValueFromString(AUTestHost& host, AudioUnitParameterID id, const char* text)
{
  ScopedCFRef string(MakeCFString(text));
  AudioUnitParameterValueFromString request{id, static_cast<CFStringRef>(string.Get()), -1234.f};
  EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, request), noErr);
  return request.outValue;
}

} // namespace

TEST(AUParams, TheListHoldsThirteenIDsInGlobalScopeOnly)
{
  AUTestHost host;
  UInt32 size = 0;
  ASSERT_EQ(AudioUnitGetPropertyInfo(host.Unit(), kAudioUnitProperty_ParameterList,
                                     kAudioUnitScope_Global, 0, &size, nullptr), noErr);
  ASSERT_EQ(size, 13 * sizeof(AudioUnitParameterID));
  std::vector<AudioUnitParameterID> ids(13, 99);
  ASSERT_EQ(AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterList,
                                 kAudioUnitScope_Global, 0, ids.data(), &size), noErr);
  for (AudioUnitParameterID i = 0; i < 13; ++i)
    EXPECT_EQ(ids[i], i);
  ASSERT_EQ(AudioUnitGetPropertyInfo(host.Unit(), kAudioUnitProperty_ParameterList,
                                     kAudioUnitScope_Input, 0, &size, nullptr), noErr);
  EXPECT_EQ(size, 0u);
}

TEST(AUParams, InfoCarriesNameRangeDefaultUnitAndFlags)
{
  AUTestHost host;
  constexpr UInt32 kBaseFlags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
                                kAudioUnitParameterFlag_IsHighResolution |
                                kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_CFNameRelease;

  const ParamInfo octave(host, kOctave);
  EXPECT_STREQ(octave.raw.name, "Octave");
  EXPECT_EQ(octave.cfName, "Octave");
  EXPECT_EQ(octave.raw.unit, static_cast<UInt32>(kAudioUnitParameterUnit_Indexed));
  EXPECT_EQ(octave.raw.flags, kBaseFlags | kAudioUnitParameterFlag_ValuesHaveStrings);
  EXPECT_EQ(octave.raw.minValue, 0.f);
  EXPECT_EQ(octave.raw.maxValue, 4.f);
  EXPECT_EQ(octave.raw.defaultValue, 2.f);
  EXPECT_EQ(octave.raw.clumpID, 0u);

  const ParamInfo fine(host, kFine);
  EXPECT_EQ(fine.raw.unit, static_cast<UInt32>(kAudioUnitParameterUnit_CustomUnit));
  EXPECT_EQ(fine.unitName, "cents");
  EXPECT_EQ(fine.raw.flags, kBaseFlags);
  EXPECT_EQ(fine.raw.minValue, -50.f);
  EXPECT_EQ(fine.raw.maxValue, 50.f);
  EXPECT_EQ(fine.raw.defaultValue, 0.f);

  const ParamInfo input(host, kInput);
  EXPECT_EQ(input.raw.unit, static_cast<UInt32>(kAudioUnitParameterUnit_CustomUnit));
  EXPECT_EQ(input.unitName, "%");
  EXPECT_EQ(input.raw.minValue, 0.f);
  EXPECT_EQ(input.raw.maxValue, 100.f);
  EXPECT_EQ(input.raw.defaultValue, 100.f); // the declared default, not "Init"'s 50

  const ParamInfo mode(host, kWhisperMode);
  EXPECT_STREQ(mode.raw.name, "Whisper Mode");
  EXPECT_EQ(mode.raw.flags, kBaseFlags | kAudioUnitParameterFlag_ValuesHaveStrings);

  OSStatus status = noErr;
  const ParamInfo none(host, 13, &status);
  EXPECT_EQ(status, kAudioUnitErr_InvalidElement);
  AudioUnitParameterInfo info{};
  EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Input, 0, info),
            kAudioUnitErr_InvalidProperty);
}

TEST(AUParams, GetAndSetInTheParametersOwnUnits)
{
  AUTestHost host;
  EXPECT_EQ(GetValue(host, kFreeze), 80.f); // "Init"
  EXPECT_EQ(GetValue(host, kSmear), 64.f);

  ASSERT_EQ(AudioUnitSetParameter(host.Unit(), kFine, kAudioUnitScope_Global, 0, -12.f, 0), noErr);
  EXPECT_EQ(GetValue(host, kFine), -12.f);
  ASSERT_EQ(AudioUnitSetParameter(host.Unit(), kOctave, kAudioUnitScope_Global, 0, 2.6f, 0), noErr);
  EXPECT_EQ(GetValue(host, kOctave), 3.f); // stepped
  ASSERT_EQ(AudioUnitSetParameter(host.Unit(), kHaunt, kAudioUnitScope_Global, 0, 150.f, 0), noErr);
  EXPECT_EQ(GetValue(host, kHaunt), 100.f); // clamped

  AudioUnitParameterValue value = 0;
  EXPECT_EQ(AudioUnitSetParameter(host.Unit(), kHaunt, kAudioUnitScope_Input, 0, 1.f, 0),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitGetParameter(host.Unit(), kHaunt, kAudioUnitScope_Output, 0, &value),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitSetParameter(host.Unit(), 13, kAudioUnitScope_Global, 0, 1.f, 0),
            kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitGetParameter(host.Unit(), 13, kAudioUnitScope_Global, 0, &value),
            kAudioUnitErr_InvalidParameter);
}

TEST(AUParams, ScheduledImmediateEventsApplyAndRampsAreIgnored)
{
  AUTestHost host;
  AudioUnitParameterEvent events[3] = {};
  events[0].scope = kAudioUnitScope_Global;
  events[0].parameter = kMix;
  events[0].eventType = kParameterEvent_Immediate;
  events[0].eventValues.immediate = {64, 25.f};
  events[1].scope = kAudioUnitScope_Global;
  events[1].parameter = kResonance;
  events[1].eventType = kParameterEvent_Ramped;
  events[1].eventValues.ramp = {0, 256, 0.f, 10.f};
  events[2] = events[0];
  events[2].parameter = kWhisper;
  events[2].eventValues.immediate = {0, 40.f};
  ASSERT_EQ(AudioUnitScheduleParameters(host.Unit(), events, 3), noErr);
  EXPECT_EQ(GetValue(host, kMix), 25.f);
  EXPECT_EQ(GetValue(host, kResonance), 50.f); // untouched
  EXPECT_EQ(GetValue(host, kWhisper), 40.f);

  AudioUnitParameterEvent wrongScope = events[0];
  wrongScope.scope = kAudioUnitScope_Input;
  EXPECT_EQ(AudioUnitScheduleParameters(host.Unit(), &wrongScope, 1), kAudioUnitErr_InvalidProperty);
}

TEST(AUParams, ValueStringsListEveryTextOfAnEnumeratedParameter)
{
  AUTestHost host;
  CFArrayRef texts = nullptr;
  ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, kOctave, texts), noErr);
  const std::vector<std::string> octaves = {"-2", "-1", "0", "+1", "+2"};
  ASSERT_EQ(CFArrayGetCount(texts), 5);
  for (CFIndex i = 0; i < 5; ++i)
    EXPECT_EQ(ToStdString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(texts, i))), octaves[i]);
  CFRelease(texts);

  ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, kInterval, texts), noErr);
  ASSERT_EQ(CFArrayGetCount(texts), 12);
  EXPECT_EQ(ToStdString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(texts, 6))), "Tritone");
  CFRelease(texts);

  EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, kInput, texts),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, 20, texts),
            kAudioUnitErr_InvalidElement);
}

TEST(AUParams, StringsFromValuesAndValuesFromStrings)
{
  AUTestHost host;
  const AudioUnitParameterValue tritone = 6.f, ghosts = 1.f, octaveZero = 2.f, fine = 0.f;
  EXPECT_EQ(StringFromValue(host, kInterval, &tritone), "Tritone");
  EXPECT_EQ(StringFromValue(host, kWhisperMode, &ghosts), "Ghosts");
  EXPECT_EQ(StringFromValue(host, kOctave, &octaveZero), "0");
  EXPECT_EQ(StringFromValue(host, kFine, &fine), "0");
  EXPECT_EQ(StringFromValue(host, kHaunt, nullptr), "75"); // the current value
  EXPECT_EQ(StringFromValue(host, kInterval, nullptr), "Unison");

  EXPECT_EQ(ValueFromString(host, kInterval, "Perfect 5th"), 7.f);
  EXPECT_EQ(ValueFromString(host, kHaunt, "42"), 42.f);
  EXPECT_EQ(ValueFromString(host, kFine, "-80"), -50.f);

  AudioUnitParameterStringFromValue bad{40, nullptr, nullptr};
  EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0, bad),
            kAudioUnitErr_InvalidElement);
}

TEST(AUParams, IDNamesAreCutToTheLengthAsked)
{
  AUTestHost host;
  auto name = [&](SInt32 length) {
    AudioUnitParameterNameInfo request{kWhisperMode, length, nullptr};
    EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterIDName, kAudioUnitScope_Global, 0, request), noErr);
    return TakeString(request.outName);
  };
  EXPECT_EQ(name(7), "Whisper");
  EXPECT_EQ(name(kAudioUnitParameterName_Full), "Whisper Mode");
  EXPECT_EQ(name(100), "Whisper Mode");
  EXPECT_EQ(name(0), "");
}

TEST(AUParams, NoClumpIsInUse)
{
  AUTestHost host;
  for (SInt32 clump : {0, -1, 1})
  {
    AudioUnitParameterNameInfo request{static_cast<AudioUnitParameterID>(clump), kAudioUnitParameterName_Full, nullptr};
    EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global, 0, request),
              kAudioUnitErr_PropertyNotInUse) << "clump " << clump;
  }
}
