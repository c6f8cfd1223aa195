// The class-info dictionary: the host's copy of the plug-in's state.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "AUUtilities.h"
#include "IEffectAU.h"

namespace umbra {

namespace {

constexpr const char* kVersionKey = "version";
constexpr const char* kTypeKey = "type";
constexpr const char* kSubtypeKey = "subtype";
constexpr const char* kManufacturerKey = "manufacturer";
constexpr const char* kNameKey = "name";
constexpr const char* kDataKey = "data";

} // namespace

OSStatus IEffectAU::GetState(CFPropertyListRef* outState)
{
  if (!outState)
    return paramErr;
  CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
    kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  PutNumber(dictionary, kVersionKey, GetPluginVersion(false));
  PutNumber(dictionary, kTypeKey, GetAUPluginType());
  PutNumber(dictionary, kSubtypeKey, GetUniqueID());
  PutNumber(dictionary, kManufacturerKey, GetMfrID());
  PutString(dictionary, kNameKey, GetPresetName(CurrentPresetIndex()));

  IByteChunk chunk;
  if (SerializeState(chunk))
    PutData(dictionary, kDataKey, chunk.GetData(), chunk.Size());

  *outState = dictionary;
  return noErr;
}

OSStatus IEffectAU::SetState(CFPropertyListRef state)
{
  // Everything is checked before anything is restored: a dictionary that fails any check
  // changes nothing, not even the current preset.
  if (!state || CFGetTypeID(state) != CFDictionaryGetTypeID())
    return kAudioUnitErr_InvalidPropertyValue;
  const auto dictionary = static_cast<CFDictionaryRef>(state);

  SInt32 version = 0, type = 0, subtype = 0, manufacturer = 0;
  const auto name = static_cast<CFStringRef>(GetEntry(dictionary, kNameKey, CFStringGetTypeID()));
  const auto data = static_cast<CFDataRef>(GetEntry(dictionary, kDataKey, CFDataGetTypeID()));
  if (!GetNumber(dictionary, kVersionKey, version) || !GetNumber(dictionary, kTypeKey, type) ||
      !GetNumber(dictionary, kSubtypeKey, subtype) ||
      !GetNumber(dictionary, kManufacturerKey, manufacturer) || !name || !data)
    return kAudioUnitErr_InvalidPropertyValue;

  if (type != GetAUPluginType() || subtype != GetUniqueID() || manufacturer != GetMfrID())
    return kAudioUnitErr_InvalidPropertyValue;

  // One 8-byte value per parameter at least (the version is read but not compared).
  const CFIndex size = CFDataGetLength(data);
  if (size < static_cast<CFIndex>(NParams()) * static_cast<CFIndex>(sizeof(double)))
    return kAudioUnitErr_InvalidPropertyValue;

  RestorePreset(ToStdString(name).c_str()); // when one of that name exists it becomes current

  // Values that are not finite are passed over: the parameter keeps the value it has.
  const IByteChunk chunk(CFDataGetBytePtr(data), static_cast<int>(std::min<CFIndex>(size, INT32_MAX)));
  UnserializeState(chunk, 0);
  OnRestoreState();
  return noErr;
}

} // namespace umbra
