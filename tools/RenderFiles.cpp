#include "RenderFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

#include "TemporaryFolder.h"

namespace umbra::cli {

namespace {

// Where the plug-in stops trusting a sample and plays silence instead.
constexpr float kLargestPlayable = 1e5f;

void WriteWhole(int fd, const void* data, size_t length)
{
  const char* bytes = static_cast<const char*>(data);
  while (length > 0)
  {
    const ssize_t n = ::write(fd, bytes, length);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      throw sound::SoundFileError("hold", "the output for --norm", std::strerror(errno));
    bytes += n;
    length -= static_cast<size_t>(n);
  }
}

} // namespace

int FileSource::Read(float* const* channels, int maxFrames)
{
  const int n = mFile.Read(channels, maxFrames);
  for (int c = 0; c < mFile.Channels(); ++c)
    for (int s = 0; s < n; ++s)
      if (!(std::fabs(channels[c][s]) <= kLargestPlayable))
        ++mUnplayable;
  return n;
}

FileSink::FileSink(sound::SoundFile& file, sound::Encoding encoding, double gain)
  : mFile(file), mEncoding(encoding), mGain(gain), mScaled(static_cast<size_t>(file.Channels()))
{
}

void FileSink::Write(const float* const* channels, int nFrames)
{
  const float* scaled[8] = {};
  for (int c = 0; c < mFile.Channels(); ++c)
  {
    std::vector<float>& out = mScaled[static_cast<size_t>(c)];
    out.resize(static_cast<size_t>(nFrames));
    for (int s = 0; s < nFrames; ++s)
    {
      const float x = mGain == 1.0 ? channels[c][s] : static_cast<float>(channels[c][s] * mGain);
      out[static_cast<size_t>(s)] = x;
      if (x >= 1.0f || x < -1.0f)
        ++mOverFullScale;
      mPeak = std::max(mPeak, static_cast<double>(std::fabs(x)));
    }
    scaled[c] = out.data();
  }
  if (mEncoding.container == sound::Container::kAiff)
  {
    constexpr int64_t kAiffLimit = 0xFFFFFFFFll - 4096; // room for the header
    mBytes += static_cast<int64_t>(nFrames) * mFile.Channels() * BytesPerSample();
    if (mBytes > kAiffLimit)
      throw sound::SoundFileError("write", mFile.Path(),
                                  "an AIFF cannot hold more than 4 GiB; write .wav or .flac");
  }
  mFile.Write(scaled, nFrames);
}

int FileSink::BytesPerSample() const
{
  switch (mEncoding.sample)
  {
    case sound::Sample::kInt16: return 2;
    case sound::Sample::kInt24: return 3;
    default: return 4;
  }
}

NormalisingSink::NormalisingSink(FileSink& next, int nChannels, double targetPeak)
  : mNext(next), mNChannels(nChannels), mTargetPeak(targetPeak)
{
  std::string pattern = TemporaryFolder() + "/umbravox-norm.XXXXXX";
  mFd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (mFd < 0)
    throw sound::SoundFileError("hold", "the output for --norm", std::strerror(errno));
  // Unnamed at once: nothing to clean up however the program ends.
  ::unlink(pattern.c_str());
}

NormalisingSink::~NormalisingSink()
{
  if (mFd >= 0)
    ::close(mFd);
}

void NormalisingSink::Write(const float* const* channels, int nFrames)
{
  mInterleaved.resize(static_cast<size_t>(nFrames) * static_cast<size_t>(mNChannels));
  for (int s = 0; s < nFrames; ++s)
    for (int c = 0; c < mNChannels; ++c)
    {
      const float x = channels[c][s];
      mInterleaved[static_cast<size_t>(s * mNChannels + c)] = x;
      mPeak = std::max(mPeak, static_cast<double>(std::fabs(x)));
    }
  WriteWhole(mFd, mInterleaved.data(), mInterleaved.size() * sizeof(float));
  mFrames += nFrames;
}

void NormalisingSink::Finish()
{
  mNext.SetGain(mPeak > 0.0 ? mTargetPeak / mPeak : 1.0);
  constexpr int kChunk = 8192;
  std::vector<float> interleaved(static_cast<size_t>(kChunk) * static_cast<size_t>(mNChannels));
  std::vector<std::vector<float>> planar(static_cast<size_t>(mNChannels), std::vector<float>(kChunk));
  const float* pointers[8] = {};
  for (int c = 0; c < mNChannels; ++c)
    pointers[c] = planar[static_cast<size_t>(c)].data();
  off_t at = 0;
  for (int64_t done = 0; done < mFrames;)
  {
    const int n = static_cast<int>(std::min<int64_t>(kChunk, mFrames - done));
    const size_t bytes = static_cast<size_t>(n) * static_cast<size_t>(mNChannels) * sizeof(float);
    if (::pread(mFd, interleaved.data(), bytes, at) != static_cast<ssize_t>(bytes))
      throw sound::SoundFileError("read back", "the output held for --norm", std::strerror(errno));
    for (int s = 0; s < n; ++s)
      for (int c = 0; c < mNChannels; ++c)
        planar[static_cast<size_t>(c)][static_cast<size_t>(s)] = interleaved[static_cast<size_t>(s * mNChannels + c)];
    mNext.Write(pointers, n);
    at += static_cast<off_t>(bytes);
    done += n;
  }
}

} // namespace umbra::cli
