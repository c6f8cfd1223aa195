#pragma once

// Measures of a rendered sound that do not depend on its sample rate, for comparing one preset's
// renders at different rates: a pink-noise burst that is the same sound at every rate, the time
// a tail takes to decay, and the long-term spectrum in third octaves.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "kiss_fftr.h"

namespace umbra::test {

// A burst of pink noise, stereo, followed by silence: every 2 Hz from 40 Hz to 18 kHz a sine
// of amplitude 1 / sqrt(f) (equal power per octave) with a random phase drawn for that frequency,
// so the burst is the same continuous sound sampled at any rate from 44.1 kHz up; faded in and
// out over 5 ms. Dense enough (six sines to a bin of the engine) to act as noise.
inline std::vector<std::vector<double>> PinkBurst(double rate, double seconds, double tailSeconds,
                                                  uint32_t seed = 20261209u)
{
  const int burst = static_cast<int>(std::lround(seconds * rate)) & ~1;
  const int frames = burst + static_cast<int>(tailSeconds * rate);
  const double spacing = rate / burst; // 1 / seconds, whatever the rate
  std::vector<std::vector<double>> out(2, std::vector<double>(static_cast<size_t>(frames), 0.0));
  kiss_fftr_cfg inverse = kiss_fftr_alloc(burst, 1, nullptr, nullptr);
  std::vector<kiss_fft_cpx> spectrum(static_cast<size_t>(burst / 2 + 1));
  std::vector<float> samples(static_cast<size_t>(burst));
  for (int c = 0; c < 2; ++c)
  {
    std::fill(spectrum.begin(), spectrum.end(), kiss_fft_cpx{0.f, 0.f});
    for (int m = 1; m < burst / 2; ++m)
    {
      const double f = m * spacing;
      if (f < 40.0 || f > 18000.0)
        continue;
      seed = seed * 1664525u + 1013904223u;
      const double phase = 2.0 * M_PI * (seed >> 8) / 16777216.0;
      const std::complex<double> bin = std::polar(0.05 / std::sqrt(f), phase);
      spectrum[m] = {static_cast<float>(bin.real()), static_cast<float>(bin.imag())};
    }
    kiss_fftri(inverse, spectrum.data(), samples.data());
    const int fade = static_cast<int>(0.005 * rate);
    for (int s = 0; s < burst; ++s)
    {
      const double edge = std::min(s, burst - 1 - s);
      const double g = edge < fade ? 0.5 - 0.5 * std::cos(M_PI * edge / fade) : 1.0;
      out[c][s] = samples[s] * g;
    }
  }
  kiss_fftr_free(inverse);
  return out;
}

// Seconds from `from` until the energy still to come (both channels) has fallen 40 dB below
// what was to come at `from`; negative when that takes until the last second of the render (the
// tail is still sounding). Backward integration makes this steady even on a noisy tail.
inline double DecaySeconds40(const std::vector<std::vector<double>>& sound, double rate, double from)
{
  const size_t frames = sound[0].size();
  std::vector<double> remaining(frames + 1, 0.0);
  for (size_t s = frames; s-- > 0;)
    remaining[s] = remaining[s + 1] + sound[0][s] * sound[0][s] + sound[1][s] * sound[1][s];
  const size_t start = static_cast<size_t>(from * rate);
  const double limit = remaining[start] * 1e-4;
  const size_t end = frames - std::min(frames, static_cast<size_t>(rate));
  for (size_t s = start; s < end; ++s)
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
