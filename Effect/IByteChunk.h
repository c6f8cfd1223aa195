#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace umbra {

// A growable byte buffer. Values are appended at the end and read from a given position;
// a read returns the position after the value, or -1 when the value would run past the end.
// Numbers are stored little-endian whatever the machine, so that chunks move between hosts.
class IByteChunk {
public:
  IByteChunk() = default;
  IByteChunk(const void* data, int size) { PutBytes(data, size); }

  template <typename T>
  int Put(const T* value)
  {
    static_assert(std::is_arithmetic_v<T>, "only plain numbers go into a chunk");
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
      ReverseBytes(bytes, sizeof(T));
    return PutBytes(bytes, sizeof(T));
  }

  template <typename T>
  int Get(T* value, int startPos) const
  {
    static_assert(std::is_arithmetic_v<T>, "only plain numbers come out of a chunk");
    if (startPos < 0 || static_cast<size_t>(startPos) + sizeof(T) > mBytes.size())
      return -1;
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, mBytes.data() + startPos, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
      ReverseBytes(bytes, sizeof(T));
    std::memcpy(value, bytes, sizeof(T));
    return startPos + static_cast<int>(sizeof(T));
  }

  // A string is stored as its byte count (int32) followed by its bytes.
  int PutStr(const char* str);
  int GetStr(std::string& str, int startPos) const;

  int PutBytes(const void* data, int size);
  int GetBytes(void* data, int size, int startPos) const;
  int PutChunk(const IByteChunk& other) { return PutBytes(other.GetData(), other.Size()); }

  void Clear() { mBytes.clear(); }
  int Size() const { return static_cast<int>(mBytes.size()); }
  int Resize(int newSize);
  const uint8_t* GetData() const { return mBytes.data(); }
  uint8_t* GetData() { return mBytes.data(); }
  bool IsEqual(const IByteChunk& other) const { return mBytes == other.mBytes; }

private:
  static void ReverseBytes(unsigned char* bytes, size_t n)
  {
    for (size_t i = 0; i < n / 2; ++i)
      std::swap(bytes[i], bytes[n - 1 - i]);
  }

  std::vector<uint8_t> mBytes;
};

} // namespace umbra
