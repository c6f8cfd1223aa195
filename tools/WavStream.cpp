#include "WavStream.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Interrupts.h"
#include "SoundFile.h"

namespace umbra::sound {

namespace {

constexpr uint32_t kOpenEnded = 0xFFFFFFFFu;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;

void Put16(std::vector<unsigned char>& out, uint16_t value)
{
  out.push_back(static_cast<unsigned char>(value));
  out.push_back(static_cast<unsigned char>(value >> 8));
}

void Put32(std::vector<unsigned char>& out, uint32_t value)
{
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutTag(std::vector<unsigned char>& out, const char* tag)
{
  out.insert(out.end(), tag, tag + 4);
}

} // namespace

WavStream::WavStream(int fd, std::string name, int nChannels, int sampleRate, int bits, bool dither16)
  : mFd(fd), mName(std::move(name)), mNChannels(nChannels), mBytesPerSample(bits ? bits / 8 : 4)
{
  if (bits)
    mQuantiser.emplace(bits, dither16 && bits == 16);
  const uint32_t blockAlign = static_cast<uint32_t>(nChannels * mBytesPerSample);
  std::vector<unsigned char> header;
  PutTag(header, "RIFF");
  Put32(header, kOpenEnded);
  PutTag(header, "WAVE");
  PutTag(header, "fmt ");
  Put32(header, 16);
  Put16(header, bits ? kFormatPcm : kFormatFloat);
  Put16(header, static_cast<uint16_t>(nChannels));
  Put32(header, static_cast<uint32_t>(sampleRate));
  Put32(header, static_cast<uint32_t>(sampleRate) * blockAlign);
  Put16(header, static_cast<uint16_t>(blockAlign));
  Put16(header, static_cast<uint16_t>(mBytesPerSample * 8));
  PutTag(header, "data");
  Put32(header, kOpenEnded);
  WriteBytes(header.data(), header.size());
}

void WavStream::Write(const float* interleaved, int nFrames)
{
  const size_t nSamples = static_cast<size_t>(nFrames) * static_cast<size_t>(mNChannels);
  mBytes.resize(nSamples * static_cast<size_t>(mBytesPerSample));
  unsigned char* out = mBytes.data();
  for (size_t i = 0; i < nSamples; ++i)
  {
    uint32_t value = 0;
    if (mQuantiser)
      // The quantiser puts the format's value at the top of 32 bits; a WAV holds its low bytes
      // first, so the top mBytesPerSample bytes are the sample.
      value = static_cast<uint32_t>((*mQuantiser)(interleaved[i])) >> (32 - 8 * mBytesPerSample);
    else
      std::memcpy(&value, &interleaved[i], 4);
    for (int b = 0; b < mBytesPerSample; ++b)
      *out++ = static_cast<unsigned char>(value >> (8 * b));
  }
  WriteBytes(mBytes.data(), mBytes.size());
}

void WavStream::WriteBytes(const unsigned char* data, size_t length)
{
  while (length > 0)
  {
    const ssize_t n = ::write(mFd, data, length);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno == EPIPE)
      cli::ExitForClosedPipe();
    if (n <= 0)
      throw SoundFileError("write", mName, std::strerror(errno));
    data += n;
    length -= static_cast<size_t>(n);
  }
}

} // namespace umbra::sound
