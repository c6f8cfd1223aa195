#pragma once

// A WAV written as it is made, for a pipe or standard output that cannot be gone back over:
// the header goes first with its sizes open-ended (0xFFFFFFFF, the usual mark of a WAV of unknown
// length; readers then read to the end of the stream), then the samples, block by block,
// straight to the descriptor, so the next program in a pipeline hears the first of the output
// while the rest is still being rendered.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Quantiser.h"

namespace umbra::sound {

class WavStream {
public:
  // bits: 16, 24 or 32 for whole numbers, 0 for 32-bit float.
  WavStream(int fd, std::string name, int nChannels, int sampleRate, int bits, bool dither16);

  // nFrames interleaved frames.
  void Write(const float* interleaved, int nFrames);

private:
  void WriteBytes(const unsigned char* data, size_t length);

  int mFd;
  std::string mName;
  int mNChannels;
  int mBytesPerSample;
  std::optional<Quantiser> mQuantiser;
  std::vector<unsigned char> mBytes;
};

} // namespace umbra::sound
