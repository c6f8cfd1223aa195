#include "DemoInput.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace umbra::demo {

namespace {

constexpr double kPi = 3.14159265358979323846;

// sin(2π·turns). A Taylor series on a quarter turn: the error stays below 1e-11, and every step
// is an IEEE operation, so the result does not depend on the maths library.
double SinTurns(double turns)
{
  double x = turns - std::floor(turns); // [0, 1)
  if (x >= 0.5)
    x -= 1.0;                           // [-0.5, 0.5)
  if (x > 0.25)
    x = 0.5 - x;
  else if (x < -0.25)
    x = -0.5 - x;                       // [-0.25, 0.25], same sine
  const double y = 2.0 * kPi * x;
  const double y2 = y * y;
  double term = y;
  double sum = y;
  for (int n = 1; n <= 8; ++n)
  {
    term *= -y2 / static_cast<double>((2 * n) * (2 * n + 1));
    sum += term;
  }
  return sum;
}

double CosTurns(double turns) { return SinTurns(turns + 0.25); }

// e^-x for the small x of a resonator's pole radius (x = π·bandwidth/rate, well under 0.1 here).
double ExpNegSmall(double x)
{
  double term = 1.0;
  double sum = 1.0;
  for (int n = 1; n <= 10; ++n)
  {
    term *= -x / static_cast<double>(n);
    sum += term;
  }
  return sum;
}

// A fixed-seed generator of our own (SplitMix64), so the noise is the same everywhere.
class Noise {
public:
  explicit Noise(uint64_t seed) : mState(seed) {}

  double Next() // uniform in [-1, 1)
  {
    mState += 0x9E3779B97F4A7C15ull;
    uint64_t z = mState;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (2.0 / 9007199254740992.0) - 1.0;
  }

private:
  uint64_t mState;
};

double SmoothStep(double x)
{
  x = std::clamp(x, 0.0, 1.0);
  return x * x * (3.0 - 2.0 * x);
}

// A two-pole resonator with unity gain at DC, so that a cascade of them shapes a spectrum the
// way a vocal tract does without the levels running away.
class Resonator {
public:
  void Set(double frequency, double bandwidth, double sampleRate)
  {
    const double r = ExpNegSmall(kPi * bandwidth / sampleRate);
    mB = 2.0 * r * CosTurns(frequency / sampleRate);
    mC = -r * r;
    mA = 1.0 - mB - mC;
  }

  double Process(double x)
  {
    const double y = mA * x + mB * mY1 + mC * mY2;
    mY2 = mY1;
    mY1 = y;
    return y;
  }

private:
  double mA = 1.0, mB = 0.0, mC = 0.0;
  double mY1 = 0.0, mY2 = 0.0;
};

struct Note {
  double frequency;
  double seconds;
};

// A3, D4, F4, E4, D4: a phrase in D minor, the last note held.
constexpr Note kMelody[] = {
  {220.0, 0.70}, {293.6647679174076, 0.70}, {349.2282314330039, 0.90},
  {329.6275569128699, 0.60}, {293.6647679174076, 1.40},
};
constexpr double kVoiceStart = 0.15;
constexpr double kVoiceAttack = 0.12;
constexpr double kVoiceRelease = 0.30;
constexpr double kPortamento = 0.07;
constexpr double kVibratoRate = 5.3;
constexpr double kVibratoDepth = 0.012; // of the frequency, about ±20 cents
constexpr double kVibratoOnset = 0.40;
constexpr double kBreath = 0.03;

// Formant centres and bandwidths in Hz, "ah" then "oo".
constexpr double kAh[3][2] = {{730.0, 90.0}, {1090.0, 110.0}, {2440.0, 160.0}};
constexpr double kOo[3][2] = {{300.0, 70.0}, {870.0, 100.0}, {2240.0, 150.0}};

// The strings of a D minor chord, low to high, each with its place across the stereo field.
struct String {
  double frequency;
  double pan; // -1 left to +1 right
};
constexpr String kChord[] = {
  {146.8323839587038, -0.45}, {220.0, -0.20}, {293.6647679174076, 0.05},
  {349.2282314330039, 0.30}, {440.0, 0.55},
};
constexpr double kChordStart = 5.20;
constexpr double kStrumSpacing = 0.03;
constexpr double kStringLoss = 0.9965;
constexpr double kChordFade = 0.50; // to silence by the end of the input

// The voice is mono at heart; a faint delayed copy, added on one side and subtracted on the
// other, spreads it a little and cancels again when the channels are summed.
constexpr double kWidthDelay = 0.011;
constexpr double kWidthGain = 0.2;

size_t Frames(double seconds, double sampleRate)
{
  return static_cast<size_t>(seconds * sampleRate + 0.5);
}

double PhraseSeconds()
{
  double total = 0.0;
  for (const Note& note : kMelody)
    total += note.seconds;
  return total;
}

// The pitch at time t into the phrase, with a short glide from the previous note.
double MelodyFrequency(double t, double& timeIntoNote)
{
  double start = 0.0;
  const size_t count = std::size(kMelody);
  for (size_t i = 0; i < count; ++i)
  {
    const bool last = i + 1 == count;
    if (t < start + kMelody[i].seconds || last)
    {
      timeIntoNote = t - start;
      if (i > 0 && timeIntoNote < kPortamento)
      {
        const double from = kMelody[i - 1].frequency;
        return from + (kMelody[i].frequency - from) * SmoothStep(timeIntoNote / kPortamento);
      }
      return kMelody[i].frequency;
    }
    start += kMelody[i].seconds;
  }
  return kMelody[0].frequency;
}

std::vector<double> SingVoice(double sampleRate, size_t nFrames)
{
  std::vector<double> voice(nFrames, 0.0);
  const double phrase = PhraseSeconds();
  const double top = std::min(8000.0, 0.45 * sampleRate); // no harmonic reaches Nyquist
  const double taper = 0.75 * top;
  Noise breath(0x5EED0001u);
  Resonator formants[3];
  double phase = 0.0, vibratoPhase = 0.0;

  const size_t first = Frames(kVoiceStart, sampleRate);
  const size_t last = std::min(nFrames, Frames(kVoiceStart + phrase + kVoiceRelease, sampleRate));
  for (size_t n = first; n < last; ++n)
  {
    const double t = (static_cast<double>(n) - static_cast<double>(first)) / sampleRate;

    double timeIntoNote = 0.0;
    double f0 = MelodyFrequency(t, timeIntoNote);
    // The vibrato grows in after each note starts, as a singer's does.
    f0 *= 1.0 + kVibratoDepth * SmoothStep(timeIntoNote / kVibratoOnset) * SinTurns(vibratoPhase);
    vibratoPhase += kVibratoRate / sampleRate;
    vibratoPhase -= std::floor(vibratoPhase);

    // The harmonics of f0 as cosines, by the Chebyshev recurrence cos(kθ) = 2cosθ·cos((k-1)θ) -
    // cos((k-2)θ), falling 3 dB an octave (brighter than a speaking voice, as a trained singer
    // is) and faded out as they near the top.
    const double c1 = CosTurns(phase);
    double cPrev = 1.0, cCur = c1, pulse = 0.0;
    for (int k = 1; k * f0 < top; ++k)
    {
      const double h = k * f0;
      const double weight = h < taper ? 1.0 : (top - h) / (top - taper);
      pulse += weight * cCur / std::sqrt(static_cast<double>(k));
      const double cNext = 2.0 * c1 * cCur - cPrev;
      cPrev = cCur;
      cCur = cNext;
    }
    phase += f0 / sampleRate;
    phase -= std::floor(phase);

    // "ah" to "oo" over the middle of the phrase.
    const double vowel = SmoothStep((t - 0.8) / (phrase - 1.4));
    double y = pulse + kBreath * breath.Next();
    for (int i = 0; i < 3; ++i)
    {
      formants[i].Set(kAh[i][0] + (kOo[i][0] - kAh[i][0]) * vowel,
                      kAh[i][1] + (kOo[i][1] - kAh[i][1]) * vowel, sampleRate);
      y = formants[i].Process(y);
    }

    double envelope = SmoothStep(t / kVoiceAttack);
    if (t > phrase)
      envelope *= 1.0 - SmoothStep((t - phrase) / kVoiceRelease);
    voice[n] = y * envelope;
  }
  return voice;
}

// Karplus-Strong: a period of noise circulating through a delay line whose loop averages
// neighbouring samples, so the highs die first. A first-order all-pass makes up the fraction of
// a sample the delay line cannot, to keep the string in tune.
void PluckString(const String& string, double onset, double sampleRate, Noise& noise,
                 std::vector<double>& left, std::vector<double>& right)
{
  const double period = sampleRate / string.frequency;
  const int length = std::max(2, static_cast<int>(std::floor(period - 0.6)));
  const double fraction = period - 0.5 - length; // within [0.1, 1.1): a stable all-pass
  const double allpass = (1.0 - fraction) / (1.0 + fraction);

  // The pluck: one period of noise, softened by a one-pole low-pass.
  std::vector<double> line(static_cast<size_t>(length));
  double soft = 0.0;
  for (double& sample : line)
  {
    soft += 0.5 * (noise.Next() - soft);
    sample = soft;
  }

  const double gainLeft = std::sqrt(0.5 * (1.0 - string.pan));
  const double gainRight = std::sqrt(0.5 * (1.0 + string.pan));
  double previous = 0.0, apIn = 0.0, apOut = 0.0;
  size_t position = 0;
  for (size_t n = Frames(onset, sampleRate); n < left.size(); ++n)
  {
    const double out = line[position];
    const double averaged = 0.5 * (out + previous);
    previous = out;
    const double tuned = allpass * averaged + apIn - allpass * apOut;
    apIn = averaged;
    apOut = tuned;
    line[position] = kStringLoss * tuned;
    position = position + 1 == line.size() ? 0 : position + 1;
    left[n] += gainLeft * out;
    right[n] += gainRight * out;
  }
}

// Scales both channels of [first, last) so that their peak is kDemoPeak.
void Normalize(std::vector<double>& left, std::vector<double>& right, size_t first, size_t last)
{
  double peak = 0.0;
  for (size_t n = first; n < last; ++n)
    peak = std::max({peak, std::fabs(left[n]), std::fabs(right[n])});
  if (peak == 0.0)
    return;
  const double gain = kDemoPeak / peak;
  for (size_t n = first; n < last; ++n)
  {
    left[n] *= gain;
    right[n] *= gain;
  }
}

} // namespace

std::vector<std::vector<float>> SynthesizeDemoInput(double sampleRate)
{
  if (!(sampleRate >= 8000.0 && sampleRate <= 768000.0))
    throw std::invalid_argument("the demo input is made at 8 kHz to 768 kHz");
  const size_t nFrames = Frames(kDemoSeconds, sampleRate);
  std::vector<double> left(nFrames, 0.0), right(nFrames, 0.0);

  const std::vector<double> voice = SingVoice(sampleRate, nFrames);
  const size_t widthDelay = Frames(kWidthDelay, sampleRate);
  for (size_t n = 0; n < nFrames; ++n)
  {
    const double delayed = n >= widthDelay ? voice[n - widthDelay] : 0.0;
    left[n] = voice[n] + kWidthGain * delayed;
    right[n] = voice[n] - kWidthGain * delayed;
  }
  // The voice and the chord never overlap; each is brought to the same peak on its own.
  const size_t chordFirst = Frames(kChordStart, sampleRate);
  Normalize(left, right, 0, chordFirst);

  std::vector<double> chordLeft(nFrames, 0.0), chordRight(nFrames, 0.0);
  Noise pluck(0x5EED0002u);
  for (size_t i = 0; i < std::size(kChord); ++i)
    PluckString(kChord[i], kChordStart + kStrumSpacing * static_cast<double>(i), sampleRate, pluck,
                chordLeft, chordRight);
  const size_t fadeFirst = nFrames - std::min(nFrames, Frames(kChordFade, sampleRate));
  for (size_t n = fadeFirst; n < nFrames; ++n)
  {
    const double gain = 1.0 - SmoothStep(static_cast<double>(n - fadeFirst) /
                                         static_cast<double>(nFrames - fadeFirst));
    chordLeft[n] *= gain;
    chordRight[n] *= gain;
  }
  Normalize(chordLeft, chordRight, chordFirst, nFrames);
  for (size_t n = chordFirst; n < nFrames; ++n)
  {
    left[n] += chordLeft[n];
    right[n] += chordRight[n];
  }

  std::vector<std::vector<float>> out(2, std::vector<float>(nFrames));
  for (size_t n = 0; n < nFrames; ++n)
  {
    out[0][n] = static_cast<float>(left[n]);
    out[1][n] = static_cast<float>(right[n]);
  }
  return out;
}

} // namespace umbra::demo
