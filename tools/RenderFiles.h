#pragma once

// The ends of a render that touch files: the input as the renderer reads it, and the output on
// its way into a sound file, with the level changes sox users expect (--gain, --norm).

#include <cstdint>
#include <vector>

#include "Render.h"
#include "SoundFile.h"

namespace umbra::cli {

// Reads the input, counting the samples the plug-in will hear as silence (not finite, or so far
// beyond full scale that they can only be garbage), so the user can be told.
class FileSource : public render::IRenderSource {
public:
  explicit FileSource(sound::SoundFile& file) : mFile(file) {}
  int Read(float* const* channels, int maxFrames) override;
  int64_t Unplayable() const { return mUnplayable; }

private:
  sound::SoundFile& mFile;
  int64_t mUnplayable = 0;
};

// Writes the output scaled by a gain, counting the samples beyond full scale (a whole-number
// format holds -1 but not +1) and the peak written, and keeps an AIFF within the 4 GiB its
// 32-bit sizes can tell.
class FileSink : public render::IRenderSink {
public:
  FileSink(sound::SoundFile& file, sound::Encoding encoding, double gain);
  void Write(const float* const* channels, int nFrames) override;
  void SetGain(double gain) { mGain = gain; }

  int64_t OverFullScale() const { return mOverFullScale; }
  double Peak() const { return mPeak; }

private:
  int BytesPerSample() const;

  sound::SoundFile& mFile;
  sound::Encoding mEncoding;
  double mGain;
  std::vector<std::vector<float>> mScaled;
  int64_t mOverFullScale = 0;
  int64_t mBytes = 0;
  double mPeak = 0.0;
};

// Peak normalisation needs the whole output before the first sample is written: it is held in
// an unnamed file in the temporary folder, then handed on, scaled so that its peak lands on
// targetPeak. Silence is handed on as it is.
class NormalisingSink : public render::IRenderSink {
public:
  NormalisingSink(FileSink& next, int nChannels, double targetPeak);
  ~NormalisingSink() override;
  NormalisingSink(const NormalisingSink&) = delete;
  NormalisingSink& operator=(const NormalisingSink&) = delete;

  void Write(const float* const* channels, int nFrames) override;
  // Everything has been written: scales it and hands it on.
  void Finish();

private:
  FileSink& mNext;
  int mNChannels;
  double mTargetPeak;
  int mFd = -1;
  double mPeak = 0.0;
  int64_t mFrames = 0;
  std::vector<float> mInterleaved;
};

} // namespace umbra::cli
