// Sound files for the tests that render through the installed programs and plug-in and compare
// what they wrote: a test input, and how far two renders lie apart.
#pragma once

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "SoundFile.h"

namespace umbra::test {

// A decaying chord (220 and 330 Hz, one per channel, struck every half second), stereo float WAV
// at 48 kHz, of the given length.
inline void WriteChordFile(const std::filesystem::path& path, size_t frames)
{
  umbra::sound::SoundData input;
  input.sampleRate = 48000;
  input.channels.assign(2, std::vector<float>(frames));
  for (size_t s = 0; s < frames; ++s)
  {
    const double t = static_cast<double>(s) / 48000.0;
    const double env = std::exp(-3.0 * std::fmod(t, 0.5));
    input.channels[0][s] = static_cast<float>(0.3 * env * std::sin(2.0 * M_PI * 220.0 * t));
    input.channels[1][s] = static_cast<float>(0.3 * env * std::sin(2.0 * M_PI * 330.0 * t));
  }
  umbra::sound::WriteSoundFile(path.string(), umbra::sound::Encoding::kWavFloat, input);
}

// Largest difference between two renders, or infinity when they differ in shape.
inline double MaxRenderDifference(const std::filesystem::path& a, const std::filesystem::path& b)
{
  const auto x = umbra::sound::ReadSoundFile(a.string());
  const auto y = umbra::sound::ReadSoundFile(b.string());
  if (x.channels.size() != y.channels.size() || x.Frames() != y.Frames() || x.Frames() == 0)
    return INFINITY;
  double most = 0.0;
  for (size_t c = 0; c < x.channels.size(); ++c)
    for (size_t s = 0; s < x.channels[c].size(); ++s)
      most = std::max(most, std::abs(static_cast<double>(x.channels[c][s]) - y.channels[c][s]));
  return most;
}

} // namespace umbra::test
