#pragma once

// Small helpers between the wrapper's own types and the platform's CoreFoundation objects.

#include <string>

#include "AUPlatform.h"

namespace umbra {

class IEffectBase;

// A new string the caller releases.
CFStringRef MakeCFString(const char* text);
// The text of a string, or "" for none (or for something that is not a string).
std::string ToStdString(CFStringRef string);

// Holds one reference and lets it go at the end of the scope.
class ScopedCFRef {
public:
  explicit ScopedCFRef(CFTypeRef ref) : mRef(ref) {}
  ~ScopedCFRef() { if (mRef) CFRelease(mRef); }
  ScopedCFRef(const ScopedCFRef&) = delete;
  ScopedCFRef& operator=(const ScopedCFRef&) = delete;
  CFTypeRef Get() const { return mRef; }

private:
  CFTypeRef mRef;
};

// Dictionary entries under text keys.
void PutNumber(CFMutableDictionaryRef dictionary, const char* key, SInt32 value);
void PutString(CFMutableDictionaryRef dictionary, const char* key, const char* value);
void PutData(CFMutableDictionaryRef dictionary, const char* key, const UInt8* bytes, CFIndex size);
// The value under key when it is there and of that kind; none otherwise.
CFTypeRef GetEntry(CFDictionaryRef dictionary, const char* key, CFTypeID kind);
// A 32-bit whole number under key; false when missing, of another kind or not whole.
bool GetNumber(CFDictionaryRef dictionary, const char* key, SInt32& value);

// The factory presets as the host sees them: an array of preset records (number and name) that
// owns them. Each record is reference counted and made and freed through the CoreFoundation
// allocator; the array's callbacks retain, release, compare and describe it. The caller releases
// the array.
CFArrayRef MakeFactoryPresetArray(const IEffectBase& plugin);
// The array callbacks of such an array.
const CFArrayCallBacks& FactoryPresetCallBacks();

} // namespace umbra
