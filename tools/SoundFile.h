#pragma once

// Sound files through libsndfile: one open file per object, closed when the object goes. Samples
// travel as one float buffer per channel, at full scale ±1; libsndfile converts to and from the
// file's own sample format. Every failure is told in this program's words, with the file's name.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Quantiser.h"
#include "SampleRateRange.h"
#include "WavStream.h"

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

enum class Container { kWav, kFlac, kOgg, kAiff };
enum class Sample { kFloat, kInt16, kInt24, kInt32, kVorbis };

// What this program writes. By default each container holds the resolution a finished mix is
// delivered in: WAV 32-bit float (which keeps levels above full scale), FLAC and AIFF 24-bit.
struct Encoding {
  Container container;
  Sample sample;

  static const Encoding kWavFloat;
  static const Encoding kFlac24;
  static const Encoding kOggVorbis;
  static const Encoding kAiff24;

  bool operator==(const Encoding& other) const
  {
    return container == other.container && sample == other.sample;
  }
};
inline constexpr Encoding Encoding::kWavFloat{Container::kWav, Sample::kFloat};
inline constexpr Encoding Encoding::kFlac24{Container::kFlac, Sample::kInt24};
inline constexpr Encoding Encoding::kOggVorbis{Container::kOgg, Sample::kVorbis};
inline constexpr Encoding Encoding::kAiff24{Container::kAiff, Sample::kInt24};

// The container a file name asks for by its extension (any letter case), if it is one of ours.
std::optional<Container> ContainerForPath(const std::string& path);
// "wav", "flac", "ogg", "aiff" (or "aif"), in any letter case.
std::optional<Container> ContainerByName(const std::string& name);
Encoding DefaultEncoding(Container container);
// The default encoding for path's extension, if it has one of ours.
std::optional<Encoding> EncodingForPath(const std::string& path);
// The encoding for --bits: "16", "24", "32" (whole numbers; FLAC holds 16 and 24) or "float"
// (WAV only). Throws std::invalid_argument saying what the container takes.
Encoding EncodingWithBits(Container container, const std::string& bits);

// Whole-number formats cannot hold a sample beyond full scale; such a sample is clipped.
bool IsFixedPoint(Encoding encoding);
// 16, 24 or 32 for whole-number formats, else 0.
int WholeNumberBits(Encoding encoding);
// A Vorbis stream can carry such a sample, but players that decode to whole numbers clip it.
bool MayClipWhenPlayed(Encoding encoding);
// The writer goes back to finish its header, so it needs a file it can seek in.
bool NeedsSeekableFile(Encoding encoding);

std::string EncodingName(Encoding encoding);

class SoundFile {
public:
  // "-" is standard input.
  static SoundFile OpenForReading(const std::string& path);
  // Writes into fd (which stays the caller's) from its current position, naming the file name
  // in messages. fd must be seekable when NeedsSeekableFile(encoding). Whole numbers are
  // rounded to nearest; 16-bit ones get TPDF dither unless dither16 is false.
  static SoundFile Create(int fd, const std::string& name, Encoding encoding, int nChannels,
                          int sampleRate, bool dither16 = true);
  // A WAV written as it is made into fd, which need not be seekable (a pipe): see WavStream.
  static SoundFile CreateWavStream(int fd, const std::string& name, Encoding encoding, int nChannels,
                                   int sampleRate, bool dither16 = true);

  SoundFile(SoundFile&& other) noexcept;
  SoundFile& operator=(SoundFile&& other) noexcept;
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;
  ~SoundFile();

  int Channels() const { return mChannels; }
  int SampleRate() const { return mSampleRate; }
  // As the file's header tells it (-1: not told, as for a stream); Read() is what counts.
  int64_t Frames() const { return mFrames; }
  const std::string& Path() const { return mPath; }

  // Fills up to nFrames frames, one buffer per channel; fewer only at the end, 0 after it.
  int Read(float* const* channels, int nFrames);
  void Write(const float* const* channels, int nFrames);

  // Finishes the file. Encoders flush here, so a full disk may show only now; call it before
  // trusting a written file. The destructor closes quietly.
  void Close();

  // After Close, for a WAV: true when it came out as RF64 (past 4 GiB), false for plain WAV.
  bool WroteRf64() const { return mWroteRf64; }
  // The input ended before its header said it would, or was damaged after some audio: Read
  // ended it there.
  bool CutShort() const { return mCutShort; }

private:
  SoundFile(sf_private_tag* file, std::string path, int nChannels, int sampleRate, int64_t frames);
  [[noreturn]] void Fail(const std::string& action) const;

  sf_private_tag* mFile = nullptr;
  std::string mPath;
  int mChannels = 0;
  int mSampleRate = 0;
  int64_t mFrames = 0;
  int mFd = -1;                // the descriptor written to, for finishing a WAV's header
  bool mWav = false;
  bool mOgg = false;
  bool mWroteRf64 = false;
  bool mCutShort = false;
  int64_t mFramesRead = 0;
  std::vector<float> mInterleaved;
  std::optional<Quantiser> mQuantiser; // whole-number formats: the tool rounds, not libsndfile
  std::vector<int32_t> mWholeNumbers;
  std::unique_ptr<WavStream> mStream;  // instead of libsndfile, for a WAV written as it is made
};

// A whole file in memory.
struct SoundData {
  int sampleRate = 0;
  std::vector<std::vector<float>> channels; // all of the same length

  int64_t Frames() const { return channels.empty() ? 0 : static_cast<int64_t>(channels[0].size()); }
};

SoundData ReadSoundFile(const std::string& path);
// Writes a new file at path (replacing one there), or through an open descriptor.
void WriteSoundFile(const std::string& path, Encoding encoding, const SoundData& data);
void WriteSoundFile(int fd, const std::string& name, Encoding encoding, const SoundData& data);

// Libsndfile's RF64 writer stamps a PEAK chunk with the time of writing, which would make two
// identical renders differ. Turns that chunk of the finished WAV or RF64 at fd into an empty
// JUNK chunk that every reader skips; returns the container's four-letter id ("RIFF", "RF64"),
// or "" when fd could not be read back.
std::string FinishWavHeader(int fd);

} // namespace umbra::sound
