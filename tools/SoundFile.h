#pragma once

// Sound files through libsndfile: one open file per object, closed when the object goes. Samples
// travel as one float buffer per channel, at full scale ±1; libsndfile converts to and from the
// file's own sample format.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct sf_private_tag; // libsndfile's SNDFILE, kept out of this header

namespace umbra::sound {

// Anything that goes wrong opening, reading or writing a sound file: "cannot ACTION 'PATH':
// REASON".
class SoundFileError : public std::runtime_error {
public:
  SoundFileError(std::string action, std::string path, std::string reason)
    : std::runtime_error("cannot " + action + " '" + path + "': " + reason)
    , mAction(std::move(action)), mPath(std::move(path)), mReason(std::move(reason))
  {
  }

  const std::string& Path() const { return mPath; }
  const std::string& Reason() const { return mReason; }

  // The same failure told of another name, such as the file a temporary one stands in for.
  SoundFileError For(const std::string& path) const { return {mAction, path, mReason}; }

private:
  std::string mAction;
  std::string mPath;
  std::string mReason;
};

// The formats this program writes, each at the resolution a finished mix is delivered in.
enum class Encoding {
  kWavFloat,  // .wav: 32-bit float, keeps levels above full scale
  kFlac24,    // .flac: 24-bit
  kOggVorbis, // .ogg: Vorbis
  kAiff24,    // .aif, .aiff: 24-bit
};

// The encoding a file name asks for by its extension (any letter case), if it is one of ours.
std::optional<Encoding> EncodingForPath(const std::string& path);

// Fixed-point formats cannot hold a sample beyond full scale; such a sample is clipped.
bool IsFixedPoint(Encoding encoding);

const char* EncodingName(Encoding encoding);

class SoundFile {
public:
  static SoundFile OpenForReading(const std::string& path);
  static SoundFile Create(const std::string& path, Encoding encoding, int nChannels, int sampleRate);

  SoundFile(SoundFile&& other) noexcept;
  SoundFile& operator=(SoundFile&& other) noexcept;
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;
  ~SoundFile();

  int Channels() const { return mChannels; }
  int SampleRate() const { return mSampleRate; }
  // As the file's header tells it; Read() is what counts.
  int64_t Frames() const { return mFrames; }
  const std::string& Path() const { return mPath; }

  // Fills up to nFrames frames, one buffer per channel; fewer only at the end, 0 after it.
  int Read(float* const* channels, int nFrames);
  void Write(const float* const* channels, int nFrames);

  // Finishes the file. Encoders flush here, so a full disk may show only now; call it before
  // trusting a written file. The destructor closes quietly.
  void Close();

private:
  SoundFile(sf_private_tag* file, std::string path, int nChannels, int sampleRate, int64_t frames);
  [[noreturn]] void Fail(const std::string& action) const;

  sf_private_tag* mFile = nullptr;
  std::string mPath;
  int mChannels = 0;
  int mSampleRate = 0;
  int64_t mFrames = 0;
  std::vector<float> mInterleaved;
};

// A whole file in memory.
struct SoundData {
  int sampleRate = 0;
  std::vector<std::vector<float>> channels; // all of the same length

  int64_t Frames() const { return channels.empty() ? 0 : static_cast<int64_t>(channels[0].size()); }
};

SoundData ReadSoundFile(const std::string& path);
void WriteSoundFile(const std::string& path, Encoding encoding, const SoundData& data);

} // namespace umbra::sound
