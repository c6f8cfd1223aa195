#pragma once

// The input both hosts play in the comparison tests: a sung-like tone with vibrato and a plucked
// chord on the right, made of sines and a little noise, the same on every machine.

#include <cmath>
#include <cstdint>
#include <vector>

namespace umbra::test {

inline std::vector<std::vector<float>> MakeTestInput(int nFrames, double sampleRate)
{
  std::vector<std::vector<float>> channels(2, std::vector<float>(static_cast<size_t>(nFrames)));
  uint32_t noise = 0x12345678u;
  constexpr double kTwoPi = 6.283185307179586;
  for (int s = 0; s < nFrames; ++s)
  {
    const double t = s / sampleRate;
    noise = noise * 1664525u + 1013904223u;
    const double hiss = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.02;
    const double vibrato = 220.0 * (1.0 + 0.01 * std::sin(kTwoPi * 5.0 * t));
    const double voice = 0.3 * std::sin(kTwoPi * vibrato * t) + 0.1 * std::sin(kTwoPi * 2 * vibrato * t);
    const double pluck = std::exp(-3.0 * std::fmod(t, 0.5)) *
                         (0.2 * std::sin(kTwoPi * 330.0 * t) + 0.15 * std::sin(kTwoPi * 415.3 * t));
    channels[0][static_cast<size_t>(s)] = static_cast<float>(voice + hiss);
    channels[1][static_cast<size_t>(s)] = static_cast<float>(0.5 * voice + pluck - hiss);
  }
  return channels;
}

} // namespace umbra::test
