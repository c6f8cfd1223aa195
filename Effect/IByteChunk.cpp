#include "IByteChunk.h"

namespace umbra {

int IByteChunk::PutBytes(const void* data, int size)
{
  if (size > 0 && data)
  {
    const auto* bytes = static_cast<const uint8_t*>(data);
    mBytes.insert(mBytes.end(), bytes, bytes + size);
  }
  return Size();
}

int IByteChunk::GetBytes(void* data, int size, int startPos) const
{
  if (size < 0 || startPos < 0 || static_cast<size_t>(startPos) + size > mBytes.size())
    return -1;
  if (size > 0)
    std::memcpy(data, mBytes.data() + startPos, static_cast<size_t>(size));
  return startPos + size;
}

int IByteChunk::PutStr(const char* str)
{
  const int32_t len = str ? static_cast<int32_t>(std::strlen(str)) : 0;
  Put(&len);
  return PutBytes(str, len);
}

int IByteChunk::GetStr(std::string& str, int startPos) const
{
  int32_t len = 0;
  const int pos = Get(&len, startPos);
  if (pos < 0 || len < 0 || static_cast<size_t>(pos) + static_cast<size_t>(len) > mBytes.size())
    return -1;
  str.assign(reinterpret_cast<const char*>(mBytes.data()) + pos, static_cast<size_t>(len));
  return pos + len;
}

int IByteChunk::Resize(int newSize)
{
  mBytes.resize(newSize > 0 ? static_cast<size_t>(newSize) : 0, 0);
  return Size();
}

} // namespace umbra
