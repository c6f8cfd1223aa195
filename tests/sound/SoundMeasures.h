#pragma once

// Measures of a rendered sound that do not depend on its sample rate, for comparing one preset's
// renders at different rates: a pink-noise burst that is the same sound at every rate, the time
// a tail takes to decay, and the long-term spectrum in third octaves.

#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "kiss_fftr.h"

namespace umbra::test {

// Half a second of pink noise, stereo: equal sines on a logarithmic grid from 40 Hz to 18 kHz
// (equal power per octave) with fixed random phases, faded in and out over 5 ms. The same
// continuous sound sampled at any rate from 44.1 kHz up.
inline std::vector<std::vector<double>> PinkBurst(double rate, double seconds, double tailSeconds)
{
  constexpr int kTones = 400;
  const int burst = static_cast<int>(seconds * rate);
  const int frames = burst + static_cast<int>(tailSeconds * rate);
  std::vector<std::vector<double>> out(2, std::vector<double>(static_cast<size_t>(frames), 0.0));
  uint32_t seed = 20261209u;
  auto phase = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return 2.0 * M_PI * (seed >> 8) / 16777216.0;
  };
  const double amplitude = 0.25 / std::sqrt(kTones / 2.0); // about -12 dBFS rms
  for (int c = 0; c < 2; ++c)
  {
    for (int t = 0; t < kTones; ++t)
    {
      const double f = 40.0 * std::pow(18000.0 / 40.0, t / (kTones - 1.0));
      // A rotating phasor: one complex product per sample instead of a sine.
      const std::complex<double> step = std::polar(1.0, 2.0 * M_PI * f / rate);
      std::complex<double> z = std::polar(amplitude, phase());
      for (int s = 0; s < burst; ++s)
      {
        out[c][s] += z.imag();
        z *= step;
      }
    }
    const int fade = static_cast<int>(0.005 * rate);
    for (int s = 0; s < fade; ++s)
    {
      const double g = 0.5 - 0.5 * std::cos(M_PI * s / fade);
      out[c][s] *= g;
      out[c][burst - 1 - s] *= g;
    }
  }
  return out;
}

// Seconds from `from` until the energy still to come (both channels) has fallen 40 dB below
// what was to come at `from`; negative when it never does within the render. Backward
// integration makes this steady even on a noisy tail.
inline double DecaySeconds40(const std::vector<std::vector<double>>& sound, double rate, double from)
{
  const size_t frames = sound[0].size();
  std::vector<double> remaining(frames + 1, 0.0);
  for (size_t s = frames; s-- > 0;)
    remaining[s] = remaining[s + 1] + sound[0][s] * sound[0][s] + sound[1][s] * sound[1][s];
  const size_t start = static_cast<size_t>(from * rate);
  const double limit = remaining[start] * 1e-4;
  for (size_t s = start; s < frames; ++s)
    if (remaining[s] <= limit)
      return (s - start) / rate;
  return -1.0;
}

// Mean power per third-octave band, 100 Hz to 16 kHz, in dB: averaged Hann-windowed periodograms
// of about a third of a second, scaled so that renders at different rates compare directly.
inline std::vector<double> ThirdOctaveLevels(const std::vector<std::vector<double>>& sound, double rate)
{
  int n = 1024;
  while (n < 0.3 * rate)
    n *= 2;
  kiss_fftr_cfg cfg = kiss_fftr_alloc(n, 0, nullptr, nullptr);
  std::vector<float> window(static_cast<size_t>(n)), frame(static_cast<size_t>(n));
  double windowPower = 0.0;
  for (int i = 0; i < n; ++i)
  {
    window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * M_PI * i / n));
    windowPower += window[i] * window[i];
  }
  std::vector<kiss_fft_cpx> spectrum(static_cast<size_t>(n / 2 + 1));
  std::vector<double> power(static_cast<size_t>(n / 2 + 1), 0.0);
  int segments = 0;
  for (const auto& channel : sound)
  {
    for (size_t start = 0; start + n <= channel.size(); start += static_cast<size_t>(n / 2))
    {
      for (int i = 0; i < n; ++i)
        frame[i] = static_cast<float>(channel[start + i]) * window[i];
      kiss_fftr(cfg, frame.data(), spectrum.data());
      for (int k = 0; k <= n / 2; ++k)
        power[k] += spectrum[k].r * spectrum[k].r + spectrum[k].i * spectrum[k].i;
      ++segments;
    }
  }
  kiss_fftr_free(cfg);

  std::vector<double> levels;
  for (int band = 20; band <= 42; ++band) // 100 Hz to 16 kHz
  {
    const double centre = 1000.0 * std::pow(2.0, (band - 30) / 3.0);
    const double low = centre * std::pow(2.0, -1.0 / 6.0), high = centre * std::pow(2.0, 1.0 / 6.0);
    double energy = 1e-30;
    for (int k = 0; k <= n / 2; ++k)
    {
      const double f = k * rate / n;
      if (f >= low && f < high)
        energy += power[k];
    }
    // One side of a periodogram adds up to n x windowPower / 2 times the segment's mean square.
    levels.push_back(10.0 * std::log10(2.0 * energy / (segments * n * windowPower)));
  }
  return levels;
}

} // namespace umbra::test
