// Reference counting, memory, strings, numbers and bytes.
#include "CFObjects.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace umbra::au::cf;

namespace umbra::au::cf {

bool Number::Equals(const Object& other) const
{
  if (other.type != kTypeNumber)
    return false;
  const auto& number = static_cast<const Number&>(other);
  if (isReal || number.isReal)
    return (isReal ? real : static_cast<double>(whole)) ==
           (number.isReal ? number.real : static_cast<double>(number.whole));
  return whole == number.whole;
}

CFStringRef MakeConstantString(const char* text)
{
  auto* string = new String(text);
  string->immortal = true;
  return reinterpret_cast<CFStringRef>(static_cast<const Object*>(string));
}

} // namespace umbra::au::cf

namespace {

template <typename Ref>
Ref ToRef(const Object* object)
{
  return reinterpret_cast<Ref>(object);
}

} // namespace

extern "C" {

const CFAllocatorRef kCFAllocatorDefault = nullptr;

CFTypeRef CFRetain(CFTypeRef ref)
{
  if (ref)
    static_cast<const Object*>(ref)->refs.fetch_add(1, std::memory_order_relaxed);
  return ref;
}

void CFRelease(CFTypeRef ref)
{
  if (!ref)
    return;
  const auto* object = static_cast<const Object*>(ref);
  if (object->immortal)
    return;
  if (object->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
    delete object;
}

CFIndex CFGetRetainCount(CFTypeRef ref)
{
  return ref ? static_cast<const Object*>(ref)->refs.load(std::memory_order_relaxed) : 0;
}

CFTypeID CFGetTypeID(CFTypeRef ref)
{
  return ref ? static_cast<const Object*>(ref)->type : 0;
}

Boolean CFEqual(CFTypeRef a, CFTypeRef b)
{
  if (a == b)
    return true;
  if (!a || !b)
    return false;
  return static_cast<const Object*>(a)->Equals(*static_cast<const Object*>(b));
}

void* CFAllocatorAllocate(CFAllocatorRef, CFIndex size, CFOptionFlags)
{
  return size > 0 ? std::malloc(static_cast<size_t>(size)) : nullptr;
}

void CFAllocatorDeallocate(CFAllocatorRef, void* memory)
{
  std::free(memory);
}

// Strings -------------------------------------------------------------------------------------

CFTypeID CFStringGetTypeID(void) { return kTypeString; }

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* text, CFStringEncoding encoding)
{
  if (!text || encoding != kCFStringEncodingUTF8)
    return nullptr;
  return ToRef<CFStringRef>(new String(text));
}

CFIndex CFStringGetLength(CFStringRef ref)
{
  // Counted in UTF-16 units as the platform does: every byte that does not continue a sequence
  // starts a character, and characters beyond the basic plane take two units.
  const String* string = As<String>(ref, kTypeString);
  if (!string)
    return 0;
  CFIndex units = 0;
  for (unsigned char c : string->text)
  {
    if ((c & 0xC0) != 0x80)
      ++units;
    if (c >= 0xF0)
      ++units;
  }
  return units;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding)
{
  return length * 3;
}

Boolean CFStringGetCString(CFStringRef ref, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding)
{
  const String* string = As<String>(ref, kTypeString);
  if (!string || !buffer || encoding != kCFStringEncodingUTF8 ||
      static_cast<CFIndex>(string->text.size()) + 1 > bufferSize)
    return false;
  std::memcpy(buffer, string->text.c_str(), string->text.size() + 1);
  return true;
}

// Numbers -------------------------------------------------------------------------------------

CFTypeID CFNumberGetTypeID(void) { return kTypeNumber; }

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* value)
{
  if (!value)
    return nullptr;
  auto* number = new Number;
  switch (type)
  {
    case kCFNumberSInt32Type: number->whole = *static_cast<const SInt32*>(value); break;
    case kCFNumberIntType: number->whole = *static_cast<const int*>(value); break;
    case kCFNumberSInt64Type: number->whole = *static_cast<const SInt64*>(value); break;
    case kCFNumberFloat32Type:
      number->isReal = true;
      number->real = *static_cast<const Float32*>(value);
      break;
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
      number->isReal = true;
      number->real = *static_cast<const Float64*>(value);
      break;
    default: delete number; return nullptr;
  }
  return ToRef<CFNumberRef>(number);
}

Boolean CFNumberGetValue(CFNumberRef ref, CFNumberType type, void* value)
{
  const Number* number = As<Number>(ref, kTypeNumber);
  if (!number || !value)
    return false;
  // As the platform does: the value is converted, and the answer says whether it was exact.
  const double real = number->isReal ? number->real : static_cast<double>(number->whole);
  const SInt64 whole = number->isReal ? (std::isfinite(real) && std::fabs(real) < 9.2e18
                                           ? static_cast<SInt64>(real) : 0)
                                      : number->whole;
  switch (type)
  {
    case kCFNumberSInt32Type:
    case kCFNumberIntType: {
      const auto narrowed = static_cast<SInt32>(whole);
      std::memcpy(value, &narrowed, sizeof(narrowed));
      return !number->isReal && narrowed == whole;
    }
    case kCFNumberSInt64Type:
      std::memcpy(value, &whole, sizeof(whole));
      return !number->isReal;
    case kCFNumberFloat32Type: {
      const auto narrowed = static_cast<Float32>(real);
      std::memcpy(value, &narrowed, sizeof(narrowed));
      return true;
    }
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
      std::memcpy(value, &real, sizeof(real));
      return true;
    default: return false;
  }
}

// Bytes ---------------------------------------------------------------------------------------

CFTypeID CFDataGetTypeID(void) { return kTypeData; }

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length)
{
  if (length < 0 || (length > 0 && !bytes))
    return nullptr;
  auto* data = new Data;
  data->bytes.assign(bytes, bytes + length);
  return ToRef<CFDataRef>(data);
}

CFIndex CFDataGetLength(CFDataRef ref)
{
  const Data* data = As<Data>(ref, kTypeData);
  return data ? static_cast<CFIndex>(data->bytes.size()) : 0;
}

const UInt8* CFDataGetBytePtr(CFDataRef ref)
{
  const Data* data = As<Data>(ref, kTypeData);
  return data ? data->bytes.data() : nullptr;
}

} // extern "C"
