// Dictionaries and arrays, which own their entries through the callbacks they are made with.
#include <algorithm>
#include <utility>

#include "CFObjects.h"

using namespace umbra::au::cf;

namespace {

const void* RetainObject(CFAllocatorRef, const void* value) { return CFRetain(value); }
void ReleaseObject(CFAllocatorRef, const void* value) { CFRelease(value); }
Boolean EqualObjects(const void* a, const void* b) { return CFEqual(a, b); }

struct Dictionary : Object {
  Dictionary() : Object(kTypeDictionary) {}
  ~Dictionary() override
  {
    for (auto& [key, value] : entries)
      Drop(key, value);
  }

  void Drop(const void* key, const void* value) const
  {
    if (keyCallBacks.release)
      keyCallBacks.release(nullptr, key);
    if (valueCallBacks.release)
      valueCallBacks.release(nullptr, value);
  }

  bool KeysEqual(const void* a, const void* b) const
  {
    return keyCallBacks.equal ? keyCallBacks.equal(a, b) : a == b;
  }

  std::vector<std::pair<const void*, const void*>>::const_iterator Find(const void* key) const
  {
    return std::find_if(entries.begin(), entries.end(),
                        [&](const auto& entry) { return KeysEqual(entry.first, key); });
  }

  CFDictionaryKeyCallBacks keyCallBacks{};
  CFDictionaryValueCallBacks valueCallBacks{};
  std::vector<std::pair<const void*, const void*>> entries;
};

struct Array : Object {
  Array() : Object(kTypeArray) {}
  ~Array() override
  {
    if (callBacks.release)
      for (const void* value : values)
        callBacks.release(nullptr, value);
  }

  CFArrayCallBacks callBacks{};
  std::vector<const void*> values;
};

} // namespace

extern "C" {

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, RetainObject, ReleaseObject, nullptr,
                                                EqualObjects};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {
  0, RetainObject, ReleaseObject, nullptr, EqualObjects, nullptr};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {
  0, RetainObject, ReleaseObject, nullptr, EqualObjects};

// Dictionaries --------------------------------------------------------------------------------

CFTypeID CFDictionaryGetTypeID(void) { return kTypeDictionary; }

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks)
{
  auto* dictionary = new Dictionary;
  if (keyCallBacks)
    dictionary->keyCallBacks = *keyCallBacks;
  if (valueCallBacks)
    dictionary->valueCallBacks = *valueCallBacks;
  return reinterpret_cast<CFMutableDictionaryRef>(static_cast<Object*>(dictionary));
}

void CFDictionarySetValue(CFMutableDictionaryRef ref, const void* key, const void* value)
{
  auto* dictionary = AsMutable<Dictionary>(ref, kTypeDictionary);
  if (!dictionary)
    return;
  // The new entry is taken before the old one is let go: the two may be the same object.
  if (dictionary->keyCallBacks.retain)
    key = dictionary->keyCallBacks.retain(nullptr, key);
  if (dictionary->valueCallBacks.retain)
    value = dictionary->valueCallBacks.retain(nullptr, value);
  auto found = dictionary->Find(key);
  if (found != dictionary->entries.end())
  {
    const auto old = *found;
    dictionary->entries.erase(found);
    dictionary->Drop(old.first, old.second);
  }
  dictionary->entries.emplace_back(key, value);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef ref, const void* key)
{
  auto* dictionary = AsMutable<Dictionary>(ref, kTypeDictionary);
  if (!dictionary)
    return;
  auto found = dictionary->Find(key);
  if (found == dictionary->entries.end())
    return;
  const auto old = *found;
  dictionary->entries.erase(found);
  dictionary->Drop(old.first, old.second);
}

const void* CFDictionaryGetValue(CFDictionaryRef ref, const void* key)
{
  const auto* dictionary = As<Dictionary>(ref, kTypeDictionary);
  if (!dictionary)
    return nullptr;
  auto found = dictionary->Find(key);
  return found != dictionary->entries.end() ? found->second : nullptr;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef ref)
{
  const auto* dictionary = As<Dictionary>(ref, kTypeDictionary);
  return dictionary ? static_cast<CFIndex>(dictionary->entries.size()) : 0;
}

// Arrays --------------------------------------------------------------------------------------

CFTypeID CFArrayGetTypeID(void) { return kTypeArray; }

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks)
{
  auto* array = new Array;
  if (callBacks)
    array->callBacks = *callBacks;
  if (capacity > 0)
    array->values.reserve(static_cast<size_t>(capacity));
  return reinterpret_cast<CFMutableArrayRef>(static_cast<Object*>(array));
}

void CFArrayAppendValue(CFMutableArrayRef ref, const void* value)
{
  auto* array = AsMutable<Array>(ref, kTypeArray);
  if (!array)
    return;
  if (array->callBacks.retain)
    value = array->callBacks.retain(nullptr, value);
  array->values.push_back(value);
}

CFIndex CFArrayGetCount(CFArrayRef ref)
{
  const auto* array = As<Array>(ref, kTypeArray);
  return array ? static_cast<CFIndex>(array->values.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef ref, CFIndex index)
{
  const auto* array = As<Array>(ref, kTypeArray);
  if (!array || index < 0 || index >= static_cast<CFIndex>(array->values.size()))
    return nullptr;
  return array->values[static_cast<size_t>(index)];
}

} // extern "C"
