#include "SoundFile.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

namespace umbra::sound {

namespace {

// libsndfile's messages end in a full stop and now and then span lines; ours are one line.
std::string OneLine(const char* message)
{
  std::string text = message ? message : "unknown error";
  std::replace(text.begin(), text.end(), '\n', ' ');
  while (!text.empty() && (text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return text;
}

std::string Lowercase(std::string text)
{
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

int FormatOf(Encoding encoding)
{
  switch (encoding)
  {
    case Encoding::kWavFloat: return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    case Encoding::kFlac24: return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    case Encoding::kOggVorbis: return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case Encoding::kAiff24: return SF_FORMAT_AIFF | SF_FORMAT_PCM_24;
  }
  return 0;
}

// libsndfile takes the name "-" for standard input or output; here it is a file like any other.
std::string LibraryPath(const std::string& path)
{
  return path == "-" ? "./-" : path;
}

// The largest block moved through the interleaving buffer at once, so that a caller's huge
// request does not become a huge allocation.
constexpr int kChunkFrames = 8192;

} // namespace

std::optional<Encoding> EncodingForPath(const std::string& path)
{
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return std::nullopt;
  const std::string extension = Lowercase(path.substr(dot + 1));
  if (extension == "wav")
    return Encoding::kWavFloat;
  if (extension == "flac")
    return Encoding::kFlac24;
  if (extension == "ogg")
    return Encoding::kOggVorbis;
  if (extension == "aif" || extension == "aiff")
    return Encoding::kAiff24;
  return std::nullopt;
}

bool IsFixedPoint(Encoding encoding)
{
  return encoding == Encoding::kFlac24 || encoding == Encoding::kAiff24;
}

const char* EncodingName(Encoding encoding)
{
  switch (encoding)
  {
    case Encoding::kWavFloat: return "32-bit float WAV";
    case Encoding::kFlac24: return "24-bit FLAC";
    case Encoding::kOggVorbis: return "Ogg Vorbis";
    case Encoding::kAiff24: return "24-bit AIFF";
  }
  return "?";
}

SoundFile::SoundFile(sf_private_tag* file, std::string path, int nChannels, int sampleRate,
                     int64_t frames)
  : mFile(file), mPath(std::move(path)), mChannels(nChannels), mSampleRate(sampleRate), mFrames(frames)
{
}

SoundFile SoundFile::OpenForReading(const std::string& path)
{
  // libsndfile reports a missing file or a directory less plainly than the system does.
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0)
    throw SoundFileError("read", path, std::strerror(errno));
  if (S_ISDIR(status.st_mode))
    throw SoundFileError("read", path, "it is a directory");

  SF_INFO info {};
  SNDFILE* file = sf_open(LibraryPath(path).c_str(), SFM_READ, &info);
  if (!file)
    throw SoundFileError("read", path, OneLine(sf_strerror(nullptr)));
  if (info.channels < 1 || info.samplerate < 1)
  {
    sf_close(file);
    throw SoundFileError("read", path, "no audio in it");
  }
  return SoundFile(file, path, info.channels, info.samplerate, info.frames);
}

SoundFile SoundFile::Create(const std::string& path, Encoding encoding, int nChannels, int sampleRate)
{
  SF_INFO info {};
  info.channels = nChannels;
  info.samplerate = sampleRate;
  info.format = FormatOf(encoding);
  if (!sf_format_check(&info))
    throw SoundFileError("write", path,
                         std::string(EncodingName(encoding)) + " cannot hold " +
                           std::to_string(nChannels) + " channels at " +
                           std::to_string(sampleRate) + " Hz");
  SNDFILE* file = sf_open(LibraryPath(path).c_str(), SFM_WRITE, &info);
  if (!file)
    throw SoundFileError("write", path, OneLine(sf_strerror(nullptr)));
  // Without this, libsndfile wraps an over-full-scale sample around to the opposite sign.
  if (IsFixedPoint(encoding))
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return SoundFile(file, path, nChannels, sampleRate, 0);
}

SoundFile::SoundFile(SoundFile&& other) noexcept
  : mFile(std::exchange(other.mFile, nullptr))
  , mPath(std::move(other.mPath))
  , mChannels(other.mChannels)
  , mSampleRate(other.mSampleRate)
  , mFrames(other.mFrames)
  , mInterleaved(std::move(other.mInterleaved))
{
}

SoundFile& SoundFile::operator=(SoundFile&& other) noexcept
{
  if (this != &other)
  {
    if (mFile)
      sf_close(mFile);
    mFile = std::exchange(other.mFile, nullptr);
    mPath = std::move(other.mPath);
    mChannels = other.mChannels;
    mSampleRate = other.mSampleRate;
    mFrames = other.mFrames;
    mInterleaved = std::move(other.mInterleaved);
  }
  return *this;
}

SoundFile::~SoundFile()
{
  if (mFile)
    sf_close(mFile);
}

void SoundFile::Fail(const std::string& action) const
{
  throw SoundFileError(action, mPath, OneLine(sf_strerror(mFile)));
}

int SoundFile::Read(float* const* channels, int nFrames)
{
  if (!mFile)
    throw SoundFileError("read", mPath, "the file is closed");
  int done = 0;
  while (done < nFrames)
  {
    const int want = std::min(nFrames - done, kChunkFrames);
    mInterleaved.resize(static_cast<size_t>(want) * static_cast<size_t>(mChannels));
    const sf_count_t got = sf_readf_float(mFile, mInterleaved.data(), want);
    if (got <= 0)
    {
      if (sf_error(mFile) != SF_ERR_NO_ERROR)
        Fail("read");
      break;
    }
    for (sf_count_t s = 0; s < got; ++s)
      for (int c = 0; c < mChannels; ++c)
        channels[c][done + s] = mInterleaved[static_cast<size_t>(s * mChannels + c)];
    done += static_cast<int>(got);
    if (got < want)
      break;
  }
  return done;
}

void SoundFile::Write(const float* const* channels, int nFrames)
{
  if (!mFile)
    throw SoundFileError("write", mPath, "the file is closed");
  for (int done = 0; done < nFrames;)
  {
    const int n = std::min(nFrames - done, kChunkFrames);
    mInterleaved.resize(static_cast<size_t>(n) * static_cast<size_t>(mChannels));
    for (int s = 0; s < n; ++s)
      for (int c = 0; c < mChannels; ++c)
        mInterleaved[static_cast<size_t>(s * mChannels + c)] = channels[c][done + s];
    if (sf_writef_float(mFile, mInterleaved.data(), n) != n)
      Fail("write");
    done += n;
    mFrames += n;
  }
}

void SoundFile::Close()
{
  if (!mFile)
    return;
  SNDFILE* file = std::exchange(mFile, nullptr);
  // sf_close's own status says only that something failed; the file's error holds the reason.
  const int pending = sf_error(file);
  const std::string reason = OneLine(sf_strerror(file));
  if (sf_close(file) != 0 || pending != SF_ERR_NO_ERROR)
    throw SoundFileError("write", mPath, reason);
}

SoundData ReadSoundFile(const std::string& path)
{
  SoundFile file = SoundFile::OpenForReading(path);
  SoundData data;
  data.sampleRate = file.SampleRate();
  data.channels.assign(static_cast<size_t>(file.Channels()), {});

  std::vector<std::vector<float>> block(data.channels.size(), std::vector<float>(kChunkFrames));
  std::vector<float*> pointers;
  for (auto& channel : block)
    pointers.push_back(channel.data());
  for (;;)
  {
    const int n = file.Read(pointers.data(), kChunkFrames);
    if (n == 0)
      break;
    for (size_t c = 0; c < block.size(); ++c)
      data.channels[c].insert(data.channels[c].end(), block[c].begin(), block[c].begin() + n);
  }
  return data;
}

void WriteSoundFile(const std::string& path, Encoding encoding, const SoundData& data)
{
  SoundFile file = SoundFile::Create(path, encoding, static_cast<int>(data.channels.size()),
                                     data.sampleRate);
  std::vector<const float*> pointers;
  for (const auto& channel : data.channels)
    pointers.push_back(channel.data());
  for (int64_t done = 0; done < data.Frames();)
  {
    const int n = static_cast<int>(std::min<int64_t>(data.Frames() - done, kChunkFrames));
    file.Write(pointers.data(), n);
    for (auto& pointer : pointers)
      pointer += n;
    done += n;
  }
  file.Close();
}

} // namespace umbra::sound
