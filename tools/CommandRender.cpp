// "umbravox render": a sound file through the plug-in, as a host with latency compensation
// would play it back, into another sound file.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "Render.h"
#include "SoundFile.h"
#include "Umbravox.h"

namespace umbra::cli {

namespace {

const char* const kRenderHelp =
  "usage: umbravox render IN OUT [--preset NAME | --fxp FILE] [--set NAME=VALUE]...\n"
  "                       [--block FRAMES] [--tail SECONDS|auto] [--raw] [--quiet]\n"
  "\n"
  "Plays the sound file IN (WAV, FLAC, Ogg Vorbis, AIFF and whatever else libsndfile reads;\n"
  "mono or stereo, at its own sample rate) through the plug-in and writes the result to OUT,\n"
  "at the same sample rate and channel count. The parameters start from a new instance (the\n"
  "\"Init\" preset), then the factory preset NAME or the preset file FILE, then each --set.\n"
  "\n"
  "The output is what a host with latency compensation plays: the plug-in's latency is taken\n"
  "off the front and the effect's tail is rendered after the input, feeding it silence.\n"
  "\n"
  "  --preset NAME     a factory preset, by its exact name (see 'umbravox presets')\n"
  "  --fxp FILE        a preset file (see 'umbravox fxp save')\n"
  "  --set NAME=VALUE  a parameter, as for 'umbravox fxp save' (see 'umbravox params')\n"
  "  --block FRAMES    the host's block size, 1 to 65536 (default 512)\n"
  "  --tail auto       render the tail until the output stays below -90 dBFS for a second,\n"
  "                    leaving that quiet second out; at most 60 s, faded out over the last\n"
  "                    50 ms if still sounding there (the default)\n"
  "  --tail SECONDS    render exactly this much tail, 0 to 3600 seconds\n"
  "  --raw             exactly the input's length as the plug-in produced it: latency not\n"
  "                    compensated, no tail (not with --tail)\n"
  "  --quiet           no progress bar (it is drawn only on a terminal anyway)\n"
  "\n"
  "OUT's extension chooses the format: .wav 32-bit float, .flac 24-bit, .ogg Vorbis,\n"
  ".aif/.aiff 24-bit. The effect adds gain, so the output can exceed full scale: a float WAV\n"
  "keeps such peaks, 24-bit FLAC and AIFF clip them, and the summary says so.\n";

std::string NextValue(const std::vector<std::string>& args, size_t& i, const std::string& option)
{
  if (i + 1 >= args.size())
    throw UsageError(option + " needs a value");
  return args[++i];
}

int ParseBlockSize(const std::string& text)
{
  long long value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last || first == last || value < 1 || value > render::kMaxBlockSize)
    throw UsageError("--block expects a whole number of frames from 1 to " +
                     std::to_string(render::kMaxBlockSize) + ", got '" + text + "'");
  return static_cast<int>(value);
}

double ParseTailSeconds(const std::string& text)
{
  double value = 0.0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
  if (ec != std::errc() || end != last || first == last || !std::isfinite(value) || value < 0.0 ||
      value > render::kMaxTailSeconds)
    throw UsageError("--tail expects 'auto' or a number of seconds from 0 to " +
                     std::to_string(static_cast<int>(render::kMaxTailSeconds)) + ", got '" + text + "'");
  return value;
}

struct RenderArgs {
  std::string inPath;
  std::string outPath;
  std::optional<std::string> preset;
  std::optional<std::string> fxp;
  std::vector<std::string> settings;
  std::optional<int> blockSize;
  std::optional<std::string> tail;
  bool raw = false;
  bool quiet = false;
};

RenderArgs ParseArgs(const std::vector<std::string>& args)
{
  RenderArgs parsed;
  std::vector<std::string> paths;
  auto once = [](auto& slot, const std::string& option) {
    if (slot)
      throw UsageError(option + " given twice");
  };
  for (size_t i = 0; i < args.size(); ++i)
  {
    const std::string& arg = args[i];
    if (arg == "--preset")
    {
      once(parsed.preset, arg);
      parsed.preset = NextValue(args, i, arg);
    }
    else if (arg == "--fxp")
    {
      once(parsed.fxp, arg);
      parsed.fxp = NextValue(args, i, arg);
    }
    else if (arg == "--set")
      parsed.settings.push_back(NextValue(args, i, arg));
    else if (arg == "--block")
    {
      once(parsed.blockSize, arg);
      parsed.blockSize = ParseBlockSize(NextValue(args, i, arg));
    }
    else if (arg == "--tail")
    {
      once(parsed.tail, arg);
      parsed.tail = NextValue(args, i, arg);
      if (*parsed.tail != "auto")
        ParseTailSeconds(*parsed.tail);
    }
    else if (arg == "--raw")
      parsed.raw = true;
    else if (arg == "--quiet")
      parsed.quiet = true;
    else if (arg.size() > 1 && arg[0] == '-')
      throw UsageError("unknown option '" + arg + "' for 'render'");
    else
      paths.push_back(arg);
  }
  if (paths.size() < 2)
    throw UsageError("'render' needs an input and an output file (try 'umbravox render --help')");
  if (paths.size() > 2)
    throw UsageError("'render' takes one input and one output file, got '" + paths[2] + "' too");
  parsed.inPath = paths[0];
  parsed.outPath = paths[1];
  if (parsed.preset && parsed.fxp)
    throw UsageError("--preset and --fxp cannot be used together");
  if (parsed.raw && parsed.tail)
    throw UsageError("--raw and --tail cannot be used together");
  return parsed;
}

render::RenderOptions OptionsFrom(const RenderArgs& args)
{
  render::RenderOptions options;
  options.blockSize = args.blockSize.value_or(options.blockSize);
  if (args.raw)
    options.tail = render::TailMode::kRaw;
  else if (args.tail && *args.tail != "auto")
  {
    options.tail = render::TailMode::kFixed;
    options.tailSeconds = ParseTailSeconds(*args.tail);
  }
  return options;
}

void ApplyParameters(Umbravox& plug, const RenderArgs& args)
{
  if (args.preset && !plug.RestorePreset(args.preset->c_str()))
    throw UsageError("unknown preset '" + *args.preset + "' (see 'umbravox presets')");
  if (args.fxp)
  {
    // Tell an unreadable file from one that is not ours.
    FILE* file = std::fopen(args.fxp->c_str(), "rb");
    if (!file)
      throw UsageError("cannot read '" + *args.fxp + "': " + std::strerror(errno));
    std::fclose(file);
    if (!plug.LoadPresetFromFXP(args.fxp->c_str()))
      throw UsageError("'" + *args.fxp + "' is not a usable Umbravox preset file");
  }
  for (const std::string& setting : args.settings)
    ApplySetting(plug, setting);
}

// Writing over the input would destroy it before it is read to the end. Names can differ for
// the same file (links, "./", symbolic links), so compare what the names lead to.
void RefuseOverwritingInput(const std::string& inPath, const std::string& outPath)
{
  struct stat in {}, out {};
  if (::stat(outPath.c_str(), &out) != 0)
    return;
  if (S_ISDIR(out.st_mode))
    throw UsageError("cannot write '" + outPath + "': it is a directory");
  if (::stat(inPath.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
    throw UsageError("the output '" + outPath + "' is the input file");
}

class FileSource : public render::IRenderSource {
public:
  explicit FileSource(sound::SoundFile& file) : mFile(file) {}
  int Read(float* const* channels, int maxFrames) override { return mFile.Read(channels, maxFrames); }

private:
  sound::SoundFile& mFile;
};

// Counts what a fixed-point format will clip: it holds -1 but not +1.
class FileSink : public render::IRenderSink {
public:
  explicit FileSink(sound::SoundFile& file) : mFile(file) {}

  void Write(const float* const* channels, int nFrames) override
  {
    for (int c = 0; c < mFile.Channels(); ++c)
      for (int s = 0; s < nFrames; ++s)
        if (channels[c][s] >= 1.0f || channels[c][s] < -1.0f)
          ++mOverFullScale;
    mFile.Write(channels, nFrames);
  }

  int64_t OverFullScale() const { return mOverFullScale; }

private:
  sound::SoundFile& mFile;
  int64_t mOverFullScale = 0;
};

template <typename... Args>
std::string Format(const char* format, Args... args)
{
  char text[128];
  std::snprintf(text, sizeof(text), format, args...);
  return text;
}

// One line on stderr, redrawn in place, wiped when done (or when an error is about to be
// printed).
class ProgressBar {
public:
  explicit ProgressBar(bool enabled) : mEnabled(enabled), mStart(Clock::now()) {}
  ~ProgressBar() { Clear(); }

  void Update(const render::RenderProgress& progress)
  {
    if (!mEnabled)
      return;
    const Clock::time_point now = Clock::now();
    if (mDrawn && now - mLastDraw < std::chrono::milliseconds(100))
      return;
    mLastDraw = now;

    const int64_t done = progress.inputFramesDone + progress.tailFramesDone;
    double fraction = 0.0;
    if (progress.tailFramesPlanned >= 0)
    {
      const int64_t total = std::max(progress.inputFramesExpected, progress.inputFramesDone) +
                            progress.tailFramesPlanned;
      fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
    }
    else if (progress.inputFramesExpected > 0)
      fraction = static_cast<double>(progress.inputFramesDone) /
                 static_cast<double>(progress.inputFramesExpected);
    fraction = std::clamp(fraction, 0.0, 1.0);

    const double elapsed = std::chrono::duration<double>(now - mStart).count();
    const double audio = static_cast<double>(done) / progress.sampleRate;
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(fraction * kWidth);
    std::string line = "\r[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(kWidth - filled), '.') + "] " +
                       Format("%3d%%  %.1f s", static_cast<int>(fraction * 100.0), elapsed);
    if (elapsed >= 0.25) // before that, the speed says more about start-up than rendering
      line += Format("  %.1fx real time", audio / elapsed);
    if (progress.tailFramesPlanned < 0 && progress.tailFramesDone > 0)
      line += Format("  tail %.1f s", static_cast<double>(progress.tailFramesDone) / progress.sampleRate);
    const int length = static_cast<int>(line.size());
    std::fprintf(stderr, "%s%*s", line.c_str(), std::max(0, mLastLength - length), "");
    std::fflush(stderr);
    mLastLength = length;
    mDrawn = true;
  }

  void Clear()
  {
    if (!mDrawn)
      return;
    std::fprintf(stderr, "\r%*s\r", mLastLength, "");
    std::fflush(stderr);
    mDrawn = false;
  }

private:
  using Clock = std::chrono::steady_clock;
  bool mEnabled;
  bool mDrawn = false;
  int mLastLength = 0;
  Clock::time_point mStart;
  Clock::time_point mLastDraw;
};

// A long render stopped with Ctrl-C would leave its temporary file behind if the signal simply
// ended the program; instead the render stops at the next block and cleans up as after any error.
volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int)
{
  gInterrupted = 1;
}

class InterruptCatcher {
public:
  InterruptCatcher()
  {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &mOldInt);
    sigaction(SIGTERM, &action, &mOldTerm);
  }
  ~InterruptCatcher()
  {
    sigaction(SIGINT, &mOldInt, nullptr);
    sigaction(SIGTERM, &mOldTerm, nullptr);
  }
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

  static void ThrowIfInterrupted()
  {
    if (gInterrupted)
      throw UsageError("interrupted; nothing written");
  }

private:
  struct sigaction mOldInt {};
  struct sigaction mOldTerm {};
};

} // namespace

int RunRender(const std::vector<std::string>& args)
{
  if (WantsHelp(args))
  {
    std::fputs(kRenderHelp, stdout);
    return 0;
  }
  const RenderArgs parsed = ParseArgs(args);
  const render::RenderOptions options = OptionsFrom(parsed);

  const std::unique_ptr<Umbravox> plug(MakePlug());
  ApplyParameters(*plug, parsed);

  const std::optional<sound::Encoding> encoding = sound::EncodingForPath(parsed.outPath);
  if (!encoding)
    throw UsageError("cannot tell the format of '" + parsed.outPath +
                     "' from its extension: use .wav, .flac, .ogg, .aif or .aiff");

  sound::SoundFile input = sound::SoundFile::OpenForReading(parsed.inPath);
  if (input.Channels() > 2)
    throw UsageError("'" + parsed.inPath + "' has " + std::to_string(input.Channels()) +
                     " channels; only mono and stereo can be rendered");
  RefuseOverwritingInput(parsed.inPath, parsed.outPath);

  const double sampleRate = input.SampleRate();
  render::RenderResult result;
  int64_t overFullScale = 0;
  double seconds = 0.0;
  {
    const InterruptCatcher interrupts;
    ProgressBar bar(!parsed.quiet && ::isatty(STDERR_FILENO));
    WriteFileAtomically(parsed.outPath, [&](const std::string& temporary) {
      try
      {
        sound::SoundFile output =
          sound::SoundFile::Create(temporary, *encoding, input.Channels(), input.SampleRate());
        FileSource source(input);
        FileSink sink(output);
        const auto start = std::chrono::steady_clock::now();
        result = render::Render(*plug, sampleRate, input.Channels(), source, sink, options,
                                input.Frames(),
                                [&](const render::RenderProgress& progress) {
                                  InterruptCatcher::ThrowIfInterrupted();
                                  bar.Update(progress);
                                });
        output.Close();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        overFullScale = sink.OverFullScale();
      }
      catch (const sound::SoundFileError& error)
      {
        // The temporary file is ours alone; the user knows the name they gave.
        if (error.Path() == temporary)
          throw error.For(parsed.outPath);
        throw;
      }
      return true;
    });
  }

  const double duration = static_cast<double>(result.outputFrames) / sampleRate;
  std::string summary = "wrote " + parsed.outPath + ": " + std::to_string(result.outputFrames) +
                        " frames" + Format(" (%.3f s", duration);
  if (options.tail != render::TailMode::kRaw)
    summary += Format(", of which %.3f s tail%s", static_cast<double>(result.tailFrames) / sampleRate,
                      result.tailCapped ? ", cut at the cap and faded out" : "");
  summary += ")";
  if (seconds > 0.0)
    summary += Format(", %.1fx real time", duration / seconds);
  summary += ", peak " + render::FormatDbfs(result.peak) + " dBFS";
  if (sound::IsFixedPoint(*encoding) && overFullScale > 0)
    summary += "; clipped: " + std::to_string(overFullScale) + " samples beyond full scale in " +
               sound::EncodingName(*encoding) + " (peak " + render::FormatDbfs(result.peak) +
               " dBFS; write .wav to keep them)";
  std::puts(summary.c_str());
  return 0;
}

} // namespace umbra::cli
