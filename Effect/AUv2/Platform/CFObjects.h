#pragma once

// The in-process CoreFoundation objects behind the opaque references: one reference-counted
// base and a subclass per kind. Only the Platform/ files see this.

#include <atomic>
#include <string>
#include <vector>

#include "../AUPlatformCF.h"

namespace umbra::au::cf {

enum ETypeID : CFTypeID {
  kTypeString = 7,
  kTypeNumber = 22,
  kTypeData = 20,
  kTypeDictionary = 18,
  kTypeArray = 19,
  kTypeURL = 29,
  kTypeBundle = 31,
  kTypeRunLoop = 43,
  kTypeRunLoopTimer = 44,
};

struct Object {
  explicit Object(CFTypeID typeID) : type(typeID) {}
  virtual ~Object() = default;
  virtual bool Equals(const Object& other) const { return this == &other; }

  mutable std::atomic<long> refs{1};
  const CFTypeID type;
  // Objects the platform keeps for the whole process (constants, bundles) ignore release.
  bool immortal = false;
};

struct String : Object {
  explicit String(std::string value) : Object(kTypeString), text(std::move(value)) {}
  bool Equals(const Object& other) const override
  {
    return other.type == kTypeString && static_cast<const String&>(other).text == text;
  }
  std::string text;
};

// Whole numbers keep their whole value and real numbers theirs; either converts on request.
struct Number : Object {
  Number() : Object(kTypeNumber) {}
  bool Equals(const Object& other) const override;
  bool isReal = false;
  SInt64 whole = 0;
  double real = 0.0;
};

struct Data : Object {
  Data() : Object(kTypeData) {}
  bool Equals(const Object& other) const override
  {
    return other.type == kTypeData && static_cast<const Data&>(other).bytes == bytes;
  }
  std::vector<UInt8> bytes;
};

struct URL : Object {
  explicit URL(std::string p) : Object(kTypeURL), path(std::move(p)) {}
  std::string path;
};

// The object behind a reference of the given kind, or none when it is of another kind.
template <typename T>
const T* As(CFTypeRef ref, CFTypeID type)
{
  const auto* object = static_cast<const Object*>(ref);
  return object && object->type == type ? static_cast<const T*>(object) : nullptr;
}

template <typename T>
T* AsMutable(CFTypeRef ref, CFTypeID type)
{
  return const_cast<T*>(As<T>(ref, type));
}

// A constant string that lives as long as the process.
CFStringRef MakeConstantString(const char* text);

} // namespace umbra::au::cf
