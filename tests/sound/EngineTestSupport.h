#pragma once

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "Umbravox.h"

namespace umbra::test {

// The generator the frame processor draws from, written independently for checking.
inline uint32_t NextLcgState(uint32_t state) { return state * 1664525u + 1013904223u; }

inline uint32_t AdvanceLcg(uint32_t state, long draws)
{
  for (long i = 0; i < draws; ++i)
    state = NextLcgState(state);
  return state;
}

// A plug-in set up as a host would, stereo, at 48 kHz.
inline std::unique_ptr<Umbravox> MakeHostedPlug(int blockSize = 512, double sampleRate = 48000.0)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  plug->HostSetSampleRate(sampleRate);
  plug->HostSetBlockSize(blockSize);
  plug->HostInitialize();
  return plug;
}

// Calls ProcessBlock directly on double buffers, in blocks of blockSize.
inline std::vector<std::vector<double>> ProcessDirect(Umbravox& plug,
                                                      const std::vector<std::vector<double>>& input,
                                                      int blockSize)
{
  const int frames = static_cast<int>(input[0].size());
  std::vector<std::vector<double>> output(2, std::vector<double>(static_cast<size_t>(frames), 0.0));
  for (int start = 0; start < frames; start += blockSize)
  {
    const int n = std::min(blockSize, frames - start);
    double* in[2] = {const_cast<double*>(input[0].data()) + start, const_cast<double*>(input[1].data()) + start};
    double* out[2] = {output[0].data() + start, output[1].data() + start};
    plug.ProcessBlock(in, out, n);
  }
  return output;
}

inline std::vector<std::vector<double>> Sine(int frames, double cyclesPerSample, double amplitude)
{
  std::vector<std::vector<double>> signal(2, std::vector<double>(static_cast<size_t>(frames)));
  for (int s = 0; s < frames; ++s)
  {
    signal[0][s] = amplitude * std::sin(2.0 * M_PI * cyclesPerSample * s);
    signal[1][s] = amplitude * std::cos(2.0 * M_PI * cyclesPerSample * s);
  }
  return signal;
}

inline bool BitEqual(double a, double b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

} // namespace umbra::test
