#include "OggPages.h"

#include <unistd.h>

#include <array>
#include <cstring>
#include <vector>

namespace umbra::sound {

namespace {

// The Ogg page checksum: CRC-32 with polynomial 0x04C11DB7, not reflected, starting from 0,
// over the whole page with its checksum field zeroed.
const std::array<uint32_t, 256>& CrcTable()
{
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> made {};
    for (uint32_t i = 0; i < 256; ++i)
    {
      uint32_t r = i << 24;
      for (int bit = 0; bit < 8; ++bit)
        r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
      made[i] = r;
    }
    return made;
  }();
  return table;
}

uint32_t PageCrc(const unsigned char* page, size_t length)
{
  const auto& table = CrcTable();
  uint32_t crc = 0;
  for (size_t i = 0; i < length; ++i)
    crc = (crc << 8) ^ table[((crc >> 24) ^ page[i]) & 0xFF];
  return crc;
}

void PutLittleEndian32(unsigned char* at, uint32_t value)
{
  for (int i = 0; i < 4; ++i)
    at[i] = static_cast<unsigned char>(value >> (8 * i));
}

constexpr size_t kHeaderSize = 27;    // up to the segment count
constexpr size_t kSerialAt = 14;
constexpr size_t kChecksumAt = 22;

} // namespace

bool StampOggSerial(int fd, uint32_t serial)
{
  std::vector<unsigned char> page;
  for (off_t at = 0;;)
  {
    unsigned char header[kHeaderSize];
    const ssize_t got = ::pread(fd, header, kHeaderSize, at);
    if (got == 0)
      return at > 0;
    if (got != static_cast<ssize_t>(kHeaderSize) || std::memcmp(header, "OggS", 4) != 0)
      return false;
    const size_t nSegments = header[26];
    page.assign(header, header + kHeaderSize);
    page.resize(kHeaderSize + nSegments);
    if (::pread(fd, page.data() + kHeaderSize, nSegments, at + static_cast<off_t>(kHeaderSize)) !=
        static_cast<ssize_t>(nSegments))
      return false;
    size_t bodySize = 0;
    for (size_t s = 0; s < nSegments; ++s)
      bodySize += page[kHeaderSize + s];
    const size_t headerSize = page.size();
    page.resize(headerSize + bodySize);
    if (::pread(fd, page.data() + headerSize, bodySize, at + static_cast<off_t>(headerSize)) !=
        static_cast<ssize_t>(bodySize))
      return false;
    PutLittleEndian32(page.data() + kSerialAt, serial);
    PutLittleEndian32(page.data() + kChecksumAt, 0);
    PutLittleEndian32(page.data() + kChecksumAt, PageCrc(page.data(), page.size()));
    // Only the header changes: the serial and the checksum.
    if (::pwrite(fd, page.data(), headerSize, at) != static_cast<ssize_t>(headerSize))
      return false;
    at += static_cast<off_t>(page.size());
  }
}

} // namespace umbra::sound
