// The class-info state (get, set, and every refusal) and the factory and current presets.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "AUTestHost.h"
#include "AUv2/AUUtilities.h"
#include "UmbravoxParams.h"

using namespace umbra;
using namespace umbra::test;

namespace {

constexpr SInt32 kType = 0x61756678, kSubtype = 0x556D5678, kManufacturer = 0x516C6C6E;

AudioUnitParameterValue GetValue(AUTestHost& host, AudioUnitParameterID id)
{
  AudioUnitParameterValue value = -1234.f;
  EXPECT_EQ(AudioUnitGetParameter(host.Unit(), id, kAudioUnitScope_Global, 0, &value), noErr);
  return value;
}

struct PresetInfo {
  SInt32 presetNumber = -1;
  std::string presetName;
};

PresetInfo GetPreset(AUTestHost& host, AudioUnitPropertyID id = kAudioUnitProperty_PresentPreset)
{
  AUPreset preset{-1, nullptr};
  EXPECT_EQ(host.Get(id, kAudioUnitScope_Global, 0, preset), noErr);
  return {preset.presetNumber, TakeString(preset.presetName)}; // the name is the caller's
}

// What a host would have stored: each entry may be left out or replaced by a value of another kind.
struct StateRecipe {
  bool version = true, type = true, subtype = true, manufacturer = true, name = true, data = true;
  SInt32 typeValue = kType, subtypeValue = kSubtype, manufacturerValue = kManufacturer;
  const char* presetName = "Init";
  std::vector<double> values = {50, 50, 75, 50, 2, 0, 0, 80, 64, 0, 0, 50, 100};
  bool nameAsNumber = false, dataAsString = false, versionAsString = false;
  int trimBytes = 0;
  int extraBytes = 0;

  CFMutableDictionaryRef Make() const
  {
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
      kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (version)
      versionAsString ? PutString(dictionary, "version", "0.9.2") : PutNumber(dictionary, "version", 0x902);
    if (type)
      PutNumber(dictionary, "type", typeValue);
    if (subtype)
      PutNumber(dictionary, "subtype", subtypeValue);
    if (manufacturer)
      PutNumber(dictionary, "manufacturer", manufacturerValue);
    if (name)
      nameAsNumber ? PutNumber(dictionary, "name", 7) : PutString(dictionary, "name", presetName);
    if (data)
    {
      std::vector<UInt8> bytes(values.size() * sizeof(double) + static_cast<size_t>(extraBytes), 0);
      if (!values.empty())
        std::memcpy(bytes.data(), values.data(), values.size() * sizeof(double)); // little-endian machine
      bytes.resize(bytes.size() - static_cast<size_t>(trimBytes));
      dataAsString ? PutString(dictionary, "data", "not bytes")
                   : PutData(dictionary, "data", bytes.data(), static_cast<CFIndex>(bytes.size()));
    }
    return dictionary;
  }
};

OSStatus SetState(AUTestHost& host, CFPropertyListRef state)
{
  return host.Set(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, state);
}

// Every parameter value and the current preset, to see that nothing changed.
struct Snapshot {
  std::vector<AudioUnitParameterValue> values;
  SInt32 preset = -1;
  std::string presetName;

  explicit Snapshot(AUTestHost& host)
  {
    for (AudioUnitParameterID i = 0; i < kNumParams; ++i)
      values.push_back(GetValue(host, i));
    const PresetInfo current = GetPreset(host);
    preset = current.presetNumber;
    presetName = current.presetName;
  }
  bool operator==(const Snapshot&) const = default;
};

} // namespace

TEST(AUPresets, TenFactoryPresetsByNumberAndName)
{
  AUTestHost host;
  CFArrayRef presets = nullptr;
  ASSERT_EQ(host.Get(kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, presets), noErr);
  ASSERT_EQ(CFArrayGetCount(presets), 10);
  const char* names[] = {"Init", "Ghost Choir", "Banshee Scream", "Wailing Spirits", "Crypt Dweller",
                         "Haunted Attic", "Spectral Drone", "Poltergeist", "Ethereal Pad", "Demonic Whisper"};
  for (CFIndex i = 0; i < 10; ++i)
  {
    const auto* preset = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, i));
    EXPECT_EQ(preset->presetNumber, i);
    EXPECT_EQ(ToStdString(preset->presetName), names[i]);
  }
  CFRelease(presets);
}

TEST(AUPresets, PresetRecordsAreOwnedByTheArrayAndOutliveItWhenRetained)
{
  AUTestHost host;
  CFArrayRef presets = nullptr;
  ASSERT_EQ(host.Get(kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, presets), noErr);
  const CFArrayCallBacks& callBacks = FactoryPresetCallBacks();
  const void* record = CFArrayGetValueAtIndex(presets, 8);
  callBacks.retain(kCFAllocatorDefault, record); // a host keeping one record
  EXPECT_TRUE(callBacks.equal(record, CFArrayGetValueAtIndex(presets, 8)));
  EXPECT_FALSE(callBacks.equal(record, CFArrayGetValueAtIndex(presets, 7)));
  EXPECT_EQ(TakeString(callBacks.copyDescription(record)), "AUPreset 8: Ethereal Pad");
  CFRelease(presets);
  EXPECT_EQ(ToStdString(static_cast<const AUPreset*>(record)->presetName), "Ethereal Pad");
  callBacks.release(kCFAllocatorDefault, record);
}

TEST(AUPresets, PresentAndCurrentPresetSetAndGet)
{
  AUTestHost host;
  PresetInfo preset = GetPreset(host);
  EXPECT_EQ(preset.presetNumber, 0);
  EXPECT_EQ(preset.presetName, "Init");

  ASSERT_EQ(host.Set(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, AUPreset{7, nullptr}), noErr);
  EXPECT_EQ(GetValue(host, kFine), 25.f);
  EXPECT_EQ(GetValue(host, kWhisperMode), 1.f);
  preset = GetPreset(host, kAudioUnitProperty_CurrentPreset);
  EXPECT_EQ(preset.presetNumber, 7);
  EXPECT_EQ(preset.presetName, "Poltergeist");

  ASSERT_EQ(host.Set(kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, AUPreset{9, nullptr}), noErr);
  EXPECT_EQ(GetValue(host, kFine), -15.f);
  EXPECT_EQ(GetPreset(host).presetNumber, 9);

  const Snapshot before(host);
  EXPECT_EQ(host.Set(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, AUPreset{10, nullptr}),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(host.Set(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, AUPreset{-1, nullptr}),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_TRUE(Snapshot(host) == before);
}

TEST(AUState, ClassInfoHoldsIdentityPresetNameAndEveryValue)
{
  AUTestHost host;
  CFPropertyListRef state = nullptr;
  ASSERT_EQ(host.Get(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, state), noErr);
  ASSERT_EQ(CFGetTypeID(state), CFDictionaryGetTypeID());
  const auto dictionary = static_cast<CFDictionaryRef>(state);
  SInt32 version = 0;
  EXPECT_TRUE(GetNumber(dictionary, "version", version));
  EXPECT_EQ(version, 0x10000);
  EXPECT_EQ(ToStdString(static_cast<CFStringRef>(GetEntry(dictionary, "name", CFStringGetTypeID()))), "Init");
  const auto data = static_cast<CFDataRef>(GetEntry(dictionary, "data", CFDataGetTypeID()));
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(CFDataGetLength(data), 104);
  double values[13];
  std::memcpy(values, CFDataGetBytePtr(data), sizeof(values));
  EXPECT_EQ(values[kInput], 50.0);
  EXPECT_EQ(values[kHaunt], 75.0);
  EXPECT_EQ(values[kFreeze], 80.0);
  EXPECT_EQ(values[kMix], 100.0);
  CFRelease(state);
}

TEST(AUState, RoundTripBetweenInstances)
{
  AUTestHost from, to;
  ASSERT_EQ(from.Set(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, AUPreset{5, nullptr}), noErr);
  ASSERT_EQ(AudioUnitSetParameter(from.Unit(), kHaunt, kAudioUnitScope_Global, 0, 33.f, 0), noErr);
  ASSERT_EQ(AudioUnitSetParameter(from.Unit(), kOctave, kAudioUnitScope_Global, 0, 4.f, 0), noErr);

  CFPropertyListRef state = nullptr;
  ASSERT_EQ(from.Get(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, state), noErr);
  ASSERT_EQ(SetState(to, state), noErr);
  CFRelease(state);

  EXPECT_TRUE(Snapshot(to) == Snapshot(from));
  EXPECT_EQ(GetValue(to, kHaunt), 33.f);
  EXPECT_EQ(GetValue(to, kOctave), 4.f);
  EXPECT_EQ(GetPreset(to).presetNumber, 5); // found by the stored name
}

TEST(AUState, EveryRefusedDictionaryChangesNothing)
{
  std::vector<std::pair<const char*, StateRecipe>> refused;
  auto add = [&](const char* what, auto change) {
    StateRecipe recipe;
    recipe.presetName = "Poltergeist"; // would change the current preset if it got that far
    change(recipe);
    refused.emplace_back(what, recipe);
  };
  add("no version", [](StateRecipe& r) { r.version = false; });
  add("no type", [](StateRecipe& r) { r.type = false; });
  add("no subtype", [](StateRecipe& r) { r.subtype = false; });
  add("no manufacturer", [](StateRecipe& r) { r.manufacturer = false; });
  add("no name", [](StateRecipe& r) { r.name = false; });
  add("no data", [](StateRecipe& r) { r.data = false; });
  add("another type", [](StateRecipe& r) { r.typeValue = 0x61756D75; /* 'aumu' */ });
  add("another subtype", [](StateRecipe& r) { r.subtypeValue = 0x556D5679; });
  add("another manufacturer", [](StateRecipe& r) { r.manufacturerValue = 0x4170706C; });
  add("name not a string", [](StateRecipe& r) { r.nameAsNumber = true; });
  add("data not bytes", [](StateRecipe& r) { r.dataAsString = true; });
  add("version not a number", [](StateRecipe& r) { r.versionAsString = true; });
  add("data one byte short", [](StateRecipe& r) { r.trimBytes = 1; });
  add("data of twelve values", [](StateRecipe& r) { r.values.pop_back(); });
  add("empty data", [](StateRecipe& r) { r.values.clear(); });

  AUTestHost host;
  ASSERT_EQ(host.Set(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, AUPreset{2, nullptr}), noErr);
  ASSERT_EQ(AudioUnitSetParameter(host.Unit(), kHaunt, kAudioUnitScope_Global, 0, 12.f, 0), noErr);
  const Snapshot before(host);
  for (const auto& [what, recipe] : refused)
  {
    ScopedCFRef state(recipe.Make());
    EXPECT_EQ(SetState(host, state.Get()), kAudioUnitErr_InvalidPropertyValue) << what;
    EXPECT_TRUE(Snapshot(host) == before) << what;
  }

  // Not a dictionary at all, or nothing.
  ScopedCFRef string(MakeCFString("state"));
  EXPECT_EQ(SetState(host, string.Get()), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(SetState(host, nullptr), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(AudioUnitSetProperty(host.Unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                 nullptr, 0), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_TRUE(Snapshot(host) == before);

  // The same recipe whole is taken.
  ScopedCFRef good(StateRecipe{}.Make());
  EXPECT_EQ(SetState(host, good.Get()), noErr);
  EXPECT_EQ(GetPreset(host).presetNumber, 0);
}

TEST(AUState, ValuesThatAreNotFiniteAreNotApplied)
{
  AUTestHost host;
  StateRecipe recipe;
  recipe.presetName = "Ghost Choir"; // Haunt 78, Mix 78 come from the preset
  recipe.values[kHaunt] = std::numeric_limits<double>::quiet_NaN();
  recipe.values[kMix] = std::numeric_limits<double>::infinity();
  recipe.values[kFreeze] = -std::numeric_limits<double>::infinity();
  recipe.values[kInput] = 150.0; // clamped
  recipe.values[kOctave] = 2.6;  // stepped
  recipe.values[kFine] = 12.0;
  recipe.extraBytes = 16;        // a longer chunk is read as far as the parameters go
  ScopedCFRef state(recipe.Make());
  ASSERT_EQ(SetState(host, state.Get()), noErr);

  EXPECT_EQ(GetPreset(host).presetNumber, 1);
  EXPECT_EQ(GetValue(host, kHaunt), 78.f);
  EXPECT_EQ(GetValue(host, kMix), 78.f);
  EXPECT_EQ(GetValue(host, kFreeze), 84.f);
  EXPECT_EQ(GetValue(host, kInput), 100.f);
  EXPECT_EQ(GetValue(host, kOctave), 3.f);
  EXPECT_EQ(GetValue(host, kFine), 12.f);
}

TEST(AUState, AnUnknownPresetNameKeepsTheCurrentPreset)
{
  AUTestHost host;
  ASSERT_EQ(host.Set(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, AUPreset{3, nullptr}), noErr);
  StateRecipe recipe;
  recipe.presetName = "poltergeist"; // names compare exactly
  recipe.values[kSmear] = 11.0;
  ScopedCFRef state(recipe.Make());
  ASSERT_EQ(SetState(host, state.Get()), noErr);
  EXPECT_EQ(GetPreset(host).presetNumber, 3);
  EXPECT_EQ(GetValue(host, kSmear), 11.f);
}
