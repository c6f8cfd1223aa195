#include "AUUtilities.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "../IEffectBase.h"

namespace umbra {

CFStringRef MakeCFString(const char* text)
{
  return CFStringCreateWithCString(kCFAllocatorDefault, text ? text : "", kCFStringEncodingUTF8);
}

std::string ToStdString(CFStringRef string)
{
  if (!string || CFGetTypeID(string) != CFStringGetTypeID())
    return {};
  const CFIndex size =
    CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
  std::vector<char> text(static_cast<size_t>(size), '\0');
  if (!CFStringGetCString(string, text.data(), size, kCFStringEncodingUTF8))
    return {};
  return text.data();
}

void PutNumber(CFMutableDictionaryRef dictionary, const char* key, SInt32 value)
{
  ScopedCFRef cfKey(MakeCFString(key));
  ScopedCFRef number(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value));
  CFDictionarySetValue(dictionary, cfKey.Get(), number.Get());
}

void PutString(CFMutableDictionaryRef dictionary, const char* key, const char* value)
{
  ScopedCFRef cfKey(MakeCFString(key));
  ScopedCFRef string(MakeCFString(value));
  CFDictionarySetValue(dictionary, cfKey.Get(), string.Get());
}

void PutData(CFMutableDictionaryRef dictionary, const char* key, const UInt8* bytes, CFIndex size)
{
  ScopedCFRef cfKey(MakeCFString(key));
  ScopedCFRef data(CFDataCreate(kCFAllocatorDefault, bytes, size));
  CFDictionarySetValue(dictionary, cfKey.Get(), data.Get());
}

CFTypeRef GetEntry(CFDictionaryRef dictionary, const char* key, CFTypeID kind)
{
  ScopedCFRef cfKey(MakeCFString(key));
  CFTypeRef value = CFDictionaryGetValue(dictionary, cfKey.Get());
  return value && CFGetTypeID(value) == kind ? value : nullptr;
}

bool GetNumber(CFDictionaryRef dictionary, const char* key, SInt32& value)
{
  const auto number = static_cast<CFNumberRef>(GetEntry(dictionary, key, CFNumberGetTypeID()));
  return number && CFNumberGetValue(number, kCFNumberSInt32Type, &value);
}

// ---------------------------------------------------------------------------------------------
// Factory preset records

namespace {

struct PresetRecord {
  AUPreset preset; // first, so that the record is read as the host's preset record
  std::atomic<int> refs{1};
};

PresetRecord* MakePresetRecord(int number, const char* name)
{
  void* memory = CFAllocatorAllocate(kCFAllocatorDefault, sizeof(PresetRecord), 0);
  if (!memory)
    return nullptr;
  auto* record = new (memory) PresetRecord;
  record->preset.presetNumber = number;
  record->preset.presetName = MakeCFString(name);
  return record;
}

const void* RetainRecord(CFAllocatorRef, const void* value)
{
  static_cast<PresetRecord*>(const_cast<void*>(value))->refs.fetch_add(1);
  return value;
}

void ReleaseRecord(CFAllocatorRef allocator, const void* value)
{
  auto* record = static_cast<PresetRecord*>(const_cast<void*>(value));
  if (record->refs.fetch_sub(1) != 1)
    return;
  if (record->preset.presetName)
    CFRelease(record->preset.presetName);
  std::destroy_at(record);
  CFAllocatorDeallocate(allocator, record);
}

Boolean RecordsEqual(const void* a, const void* b)
{
  const auto* first = static_cast<const PresetRecord*>(a);
  const auto* second = static_cast<const PresetRecord*>(b);
  return first->preset.presetNumber == second->preset.presetNumber &&
         CFEqual(first->preset.presetName, second->preset.presetName);
}

CFStringRef DescribeRecord(const void* value)
{
  const auto* record = static_cast<const PresetRecord*>(value);
  char text[300];
  std::snprintf(text, sizeof(text), "AUPreset %d: %s", static_cast<int>(record->preset.presetNumber),
                ToStdString(record->preset.presetName).c_str());
  return MakeCFString(text);
}

const CFArrayCallBacks kPresetCallBacks = {0, RetainRecord, ReleaseRecord, DescribeRecord,
                                           RecordsEqual};

} // namespace

const CFArrayCallBacks& FactoryPresetCallBacks()
{
  return kPresetCallBacks;
}

CFArrayRef MakeFactoryPresetArray(const IEffectBase& plugin)
{
  const int count = plugin.PresetCount();
  CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, count, &kPresetCallBacks);
  for (int i = 0; i < count; ++i)
  {
    PresetRecord* record = MakePresetRecord(i, plugin.GetPresetName(i));
    if (!record)
      continue;
    CFArrayAppendValue(array, record); // the array takes its own reference
    ReleaseRecord(kCFAllocatorDefault, record);
  }
  return array;
}

} // namespace umbra
