#pragma once

// Offline rendering: runs audio through a plug-in instance the way a host with latency
// compensation plays it back, including the tail the effect rings on with after the input ends.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "SampleRateRange.h"

namespace umbra {

class IEffectOffline;

namespace render {

enum class TailMode {
  kAuto,  // until the output has been quiet for a while, within a cap
  kFixed, // exactly RenderOptions::tailSeconds
  kRaw,   // none, and no latency compensation: the frames as the plug-in produced them
};

struct RenderOptions {
  int blockSize = 512;
  TailMode tail = TailMode::kAuto;
  double tailSeconds = 0.0; // for TailMode::kFixed
};

constexpr int kMaxBlockSize = 65536;
constexpr double kMaxTailSeconds = 3600.0;

// The automatic tail ends at whichever comes first:
// - the output has stayed below kQuietLevel (-90 dBFS) on every channel for kQuietSeconds; that
//   quiet stretch is left out;
// - its level has stopped falling: over kSteadySeconds, the level of every kLevelWindowSeconds
//   (RMS over all channels) stayed within kSteadyRangeDb, as over a noise floor the effect keeps
//   on silence; that steady stretch is left out but for its first kCapFadeSeconds, faded out;
// - kTailCapSeconds: a tail still sounding there is faded out over the last kCapFadeSeconds so
//   it does not end in a click.
constexpr double kQuietLevel = 3.1622776601683795e-05;
constexpr double kQuietSeconds = 1.0;
constexpr double kLevelWindowSeconds = 0.1;
constexpr double kSteadySeconds = 2.0;
constexpr double kSteadyRangeDb = 1.0;
constexpr double kTailCapSeconds = 60.0;
constexpr double kCapFadeSeconds = 0.05;

enum class TailEnd {
  kNone,        // not an automatic tail, or not ended yet
  kQuiet,       // below -90 dBFS
  kSteadyFloor, // the level stopped falling
  kCapped,      // at the cap, still sounding
};

// Where the input comes from and the output goes, a block at a time, one buffer per channel.
class IRenderSource {
public:
  virtual ~IRenderSource() = default;
  // Fills up to maxFrames frames; fewer only at the end of the input, 0 after it.
  virtual int Read(float* const* channels, int maxFrames) = 0;
};

class IRenderSink {
public:
  virtual ~IRenderSink() = default;
  virtual void Write(const float* const* channels, int nFrames) = 0;
};

struct RenderProgress {
  int64_t inputFramesDone = 0;
  int64_t inputFramesExpected = 0; // what the source announced; the input may end elsewhere
  int64_t tailFramesDone = 0;
  int64_t tailFramesPlanned = -1;  // -1 while an automatic tail has yet to find its end
  double sampleRate = 0.0;
};
using ProgressFunc = std::function<void(const RenderProgress&)>;

struct RenderResult {
  int64_t inputFrames = 0;
  int64_t tailFrames = 0;
  int64_t outputFrames = 0;
  int latency = 0;        // what the plug-in reported after initialisation (0 counted when raw)
  TailEnd tailEnd = TailEnd::kNone; // how an automatic tail ended
  bool tailCapped = false; // an automatic tail reached the cap still sounding, and was faded
  double peak = 0.0;      // largest magnitude written, on any channel
};

// Sets the plug-in up as a host does (sample rate, block size, nChannels in and out connected,
// initialise) and plays the source through it in blocks of options.blockSize, writing the
// output to the sink. Parameters are whatever the instance holds when called. The sample rate
// must be one the plug-in runs at, kMinSampleRate to kMaxSampleRate. Unless raw, the
// reported latency is taken off the front and the tail is appended, so the output has the
// input's frames plus the tail's. Throws std::invalid_argument for options out of range.
RenderResult Render(IEffectOffline& plug, double sampleRate, int nChannels, IRenderSource& source,
                    IRenderSink& sink, const RenderOptions& options,
                    int64_t inputFramesExpected = 0, const ProgressFunc& progress = {});

// The same with the whole input and output in memory, one vector per channel.
std::vector<std::vector<float>> RenderFrames(IEffectOffline& plug, double sampleRate,
                                             const std::vector<std::vector<float>>& input,
                                             const RenderOptions& options,
                                             RenderResult* result = nullptr);

// The largest magnitude in the frames, on any channel.
double Peak(const std::vector<std::vector<float>>& channels);

// A level in dBFS for display: "-12.0", "+3.1", "-inf".
std::string FormatDbfs(double magnitude);

} // namespace render
} // namespace umbra
