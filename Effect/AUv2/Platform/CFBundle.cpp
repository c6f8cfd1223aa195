// Bundles and the URLs of their folders. Bundles live as long as the process.
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>

#include "../AUPlatformHost.h"
#include "CFObjects.h"

using namespace umbra::au::cf;

namespace {

struct Bundle : Object {
  Bundle() : Object(kTypeBundle) { immortal = true; }
  CFStringRef identifier = nullptr; // none for an unnamed program
  CFStringRef version = nullptr;
  std::string path;
};

struct Bundles {
  std::mutex mutex;
  Bundle main;
  std::vector<std::unique_ptr<Bundle>> registered;
};

// Never destroyed, like the platform's own bundles: the strings they hold stay reachable until
// the process ends.
Bundles& TheBundles()
{
  static Bundles* bundles = new Bundles;
  return *bundles;
}

void Describe(Bundle& bundle, const char* identifier, const char* version, const char* path)
{
  // The old strings may still be held by a caller: they are released, not destroyed.
  CFRelease(bundle.identifier);
  CFRelease(bundle.version);
  bundle.identifier = identifier && *identifier
                        ? CFStringCreateWithCString(nullptr, identifier, kCFStringEncodingUTF8)
                        : nullptr;
  bundle.version = CFStringCreateWithCString(nullptr, version ? version : "", kCFStringEncodingUTF8);
  bundle.path = path ? path : "";
}

CFBundleRef ToRef(Bundle* bundle)
{
  return reinterpret_cast<CFBundleRef>(static_cast<Object*>(bundle));
}

Bundle* FromRef(CFBundleRef ref)
{
  return AsMutable<Bundle>(ref, kTypeBundle);
}

bool SameText(CFStringRef a, CFStringRef b)
{
  return a && b && CFEqual(a, b);
}

} // namespace

namespace umbra::au {

void SetMainBundle(const char* identifier, const char* version, const char* path)
{
  Bundles& bundles = TheBundles();
  std::lock_guard lock(bundles.mutex);
  Describe(bundles.main, identifier, version, path);
}

void RegisterBundle(const char* identifier, const char* version, const char* path)
{
  if (!identifier || !*identifier)
    return;
  Bundles& bundles = TheBundles();
  std::lock_guard lock(bundles.mutex);
  CFStringRef key = CFStringCreateWithCString(nullptr, identifier, kCFStringEncodingUTF8);
  Bundle* target = nullptr;
  for (auto& bundle : bundles.registered)
    if (SameText(bundle->identifier, key))
      target = bundle.get();
  CFRelease(key);
  if (!target)
    target = bundles.registered.emplace_back(std::make_unique<Bundle>()).get();
  Describe(*target, identifier, version, path);
}

} // namespace umbra::au

extern "C" {

const CFStringRef kCFBundleVersionKey = MakeConstantString("CFBundleVersion");
const CFStringRef kCFBundleIdentifierKey = MakeConstantString("CFBundleIdentifier");

CFTypeID CFURLGetTypeID(void) { return kTypeURL; }

Boolean CFURLGetFileSystemRepresentation(CFURLRef ref, Boolean, UInt8* buffer, CFIndex maxBufLen)
{
  const URL* url = As<URL>(ref, kTypeURL);
  if (!url || !buffer || static_cast<CFIndex>(url->path.size()) + 1 > maxBufLen)
    return false;
  std::memcpy(buffer, url->path.c_str(), url->path.size() + 1);
  return true;
}

CFBundleRef CFBundleGetMainBundle(void)
{
  return ToRef(&TheBundles().main);
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef identifier)
{
  Bundles& bundles = TheBundles();
  std::lock_guard lock(bundles.mutex);
  if (SameText(bundles.main.identifier, identifier))
    return ToRef(&bundles.main);
  for (auto& bundle : bundles.registered)
    if (SameText(bundle->identifier, identifier))
      return ToRef(bundle.get());
  return nullptr;
}

CFStringRef CFBundleGetIdentifier(CFBundleRef ref)
{
  const Bundle* bundle = FromRef(ref);
  return bundle ? bundle->identifier : nullptr;
}

CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef ref, CFStringRef key)
{
  const Bundle* bundle = FromRef(ref);
  if (!bundle || !key)
    return nullptr;
  if (CFEqual(key, kCFBundleVersionKey))
    return bundle->version;
  if (CFEqual(key, kCFBundleIdentifierKey))
    return bundle->identifier;
  return nullptr;
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef ref)
{
  const Bundle* bundle = FromRef(ref);
  if (!bundle)
    return nullptr;
  return reinterpret_cast<CFURLRef>(static_cast<const Object*>(new URL(bundle->path)));
}

} // extern "C"
