// "umbravox render": sound files through the plug-in, as a host with latency compensation
// would play them back, into other sound files.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "OutputFile.h"
#include "ProgressLine.h"
#include "Render.h"
#include "SoundFile.h"
#include "Umbravox.h"

namespace umbra::cli {

namespace {

const char* const kRenderHelp =
  "usage: umbravox render IN OUT [options]\n"
  "       umbravox render --out-dir DIR IN... [options]\n"
  "options: [--preset NAME | --fxp FILE] [--set NAME=VALUE]... [--type wav|flac|ogg|aiff]\n"
  "         [--bits 16|24|32|float] [--no-dither] [--block FRAMES] [--tail SECONDS|auto] [--raw]\n"
  "         [--quiet]\n"
  "\n"
  "Plays the sound file IN (WAV, RF64, FLAC, Ogg Vorbis, AIFF and whatever else libsndfile\n"
  "reads; mono or stereo, at its own sample rate from 8 to 384 kHz) through the plug-in and\n"
  "writes the result to OUT, at the same sample rate and channel count. The parameters start\n"
  "from a new instance (the \"Init\" preset), then the factory preset NAME or the preset file\n"
  "FILE, then each --set. With --out-dir, each IN is rendered in turn by a new instance into\n"
  "DIR under its own file name, with one summary line per file.\n"
  "\n"
  "The output is what a host with latency compensation plays: the plug-in's latency is taken\n"
  "off the front and the effect's tail is rendered after the input, feeding it silence.\n"
  "\n"
  "  --preset NAME     a factory preset by its name or its number in 'umbravox presets'\n"
  "                    (--preset 1, --preset ghost-choir)\n"
  "  --fxp FILE        a preset file (see 'umbravox fxp save')\n"
  "  --set NAME=VALUE  a parameter, as for 'umbravox fxp save' (see 'umbravox params')\n"
  "  --type TYPE       the output format: wav, flac, ogg or aiff; needed where OUT has no\n"
  "                    extension to tell it (standard output, a device, a FIFO)\n"
  "  --bits BITS       16, 24 or 32 for whole-number WAV, FLAC (16 or 24) and AIFF; float for\n"
  "                    WAV (the default for WAV; FLAC and AIFF default to 24); whole numbers\n"
  "                    are rounded to nearest, and 16-bit output gets TPDF dither\n"
  "  --no-dither       16-bit output rounded without dither\n"
  "  --block FRAMES    the host's block size, 1 to 65536 (default 512)\n"
  "  --tail auto       render the tail until it has ended, at most 60 s (the default): until\n"
  "                    the output stays below -90 dBFS for a second (that second left out), or\n"
  "                    until its level stops falling, holding within 1 dB for two seconds (a\n"
  "                    steady noise floor; those seconds left out but for a 50 ms fade), which\n"
  "                    ever comes first; a tail still sounding at 60 s is faded out over 50 ms\n"
  "  --tail SECONDS    render exactly this much tail, 0 to 3600 seconds\n"
  "  --raw             exactly the input's length as the plug-in produced it: latency not\n"
  "                    compensated, no tail (not with --tail)\n"
  "  --quiet           no progress bar (it is drawn only on a terminal anyway)\n"
  "\n"
  "IN may be '-' for standard input, OUT '-' for standard output (with --type; the summary\n"
  "then goes to stderr). Otherwise OUT's extension chooses the format: .wav 32-bit float\n"
  "(RF64 by itself once past 4 GiB), .flac 24-bit, .ogg Vorbis, .aif/.aiff 24-bit. The effect\n"
  "adds gain, so the output can exceed full scale: a float WAV keeps such peaks, whole-number\n"
  "formats clip them, Ogg Vorbis keeps them but players may clip them; the summary says so.\n";

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
  std::vector<std::string> paths;
  std::optional<std::string> outDir;
  std::optional<std::string> preset;
  std::optional<std::string> fxp;
  std::vector<std::string> settings;
  std::optional<std::string> type;
  std::optional<std::string> bits;
  std::optional<int> blockSize;
  std::optional<std::string> tail;
  bool raw = false;
  bool quiet = false;
  bool noDither = false;
};

RenderArgs ParseArgs(const std::vector<std::string>& args)
{
  RenderArgs parsed;
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
    else if (arg == "--out-dir")
    {
      once(parsed.outDir, arg);
      parsed.outDir = NextValue(args, i, arg);
    }
    else if (arg == "--type")
    {
      once(parsed.type, arg);
      parsed.type = NextValue(args, i, arg);
      if (!sound::ContainerByName(*parsed.type))
        throw UsageError("--type expects wav, flac, ogg or aiff, got '" + *parsed.type + "'");
    }
    else if (arg == "--bits")
    {
      once(parsed.bits, arg);
      parsed.bits = NextValue(args, i, arg);
    }
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
    else if (arg == "--no-dither")
      parsed.noDither = true;
    else if (arg == "--quiet")
      parsed.quiet = true;
    else if (arg.size() > 1 && arg[0] == '-')
      UnknownOption(arg, "render");
    else
      parsed.paths.push_back(arg);
  }
  if (parsed.outDir)
  {
    if (parsed.paths.empty())
      throw UsageError("'render --out-dir' needs at least one input file (try 'umbravox render --help')");
  }
  else
  {
    if (parsed.paths.size() < 2)
      throw UsageError("'render' needs an input and an output file (try 'umbravox render --help')");
    if (parsed.paths.size() > 2)
      throw UsageError("'render' takes one input and one output file, got '" + parsed.paths[2] +
                       "' too (use --out-dir DIR for many)");
  }
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
  if (args.preset)
    RecallPreset(plug, *args.preset);
  if (args.fxp)
  {
    std::string why;
    if (!plug.LoadPresetFromFXP(args.fxp->c_str(), &why))
      throw UsageError("cannot load the preset file '" + *args.fxp + "': " + why);
  }
  for (const std::string& setting : args.settings)
    ApplySetting(plug, setting);
}

// The output's format: --type, else the name's extension; --bits on top.
sound::Encoding EncodingFor(const std::string& outPath, const RenderArgs& args)
{
  // By value and flag: GCC takes an optional enum here for uninitialised.
  sound::Container named = sound::Container::kWav;
  bool hasNamed = false;
  if (outPath != "-")
    if (const std::optional<sound::Container> fromName = sound::ContainerForPath(outPath))
    {
      named = *fromName;
      hasNamed = true;
    }
  sound::Container container = named;
  if (args.type)
  {
    container = sound::ContainerByName(*args.type).value_or(sound::Container::kWav);
    if (hasNamed && named != container)
      throw UsageError("--type " + *args.type + " does not match the extension of '" + outPath + "'");
  }
  else if (hasNamed)
    container = named;
  else if (outPath == "-")
    throw UsageError("standard output needs --type wav, flac, ogg or aiff to tell its format");
  else
    throw UsageError("cannot tell the format of '" + outPath +
                     "' from its extension: use .wav, .flac, .ogg, .aif or .aiff, or --type");
  if (!args.bits)
    return sound::DefaultEncoding(container);
  try
  {
    return sound::EncodingWithBits(container, *args.bits);
  }
  catch (const std::invalid_argument& error)
  {
    throw UsageError(std::string("--bits: ") + error.what());
  }
}

// With --out-dir: DIR/NAME for input NAME, with the extension --type asks for, or .wav for an
// input in a format this program does not write.
std::string OutputPathInDir(const std::string& dir, const std::string& inPath, const RenderArgs& args)
{
  if (inPath == "-")
    throw UsageError("standard input has no name to give its output in --out-dir");
  std::filesystem::path name = std::filesystem::path(inPath).filename();
  if (args.type)
  {
    static const char* const kExtensions[] = {".wav", ".flac", ".ogg", ".aiff"};
    name.replace_extension(kExtensions[static_cast<int>(*sound::ContainerByName(*args.type))]);
  }
  else if (!sound::ContainerForPath(name.string()))
    name.replace_extension(".wav");
  return (std::filesystem::path(dir) / name).string();
}

class FileSource : public render::IRenderSource {
public:
  explicit FileSource(sound::SoundFile& file) : mFile(file) {}
  int Read(float* const* channels, int maxFrames) override { return mFile.Read(channels, maxFrames); }

private:
  sound::SoundFile& mFile;
};

// Counts the samples beyond full scale (a whole-number format holds -1 but not +1), and keeps
// an AIFF within the 4 GiB its 32-bit sizes can tell.
class FileSink : public render::IRenderSink {
public:
  FileSink(sound::SoundFile& file, sound::Encoding encoding) : mFile(file), mEncoding(encoding) {}

  void Write(const float* const* channels, int nFrames) override
  {
    for (int c = 0; c < mFile.Channels(); ++c)
      for (int s = 0; s < nFrames; ++s)
        if (channels[c][s] >= 1.0f || channels[c][s] < -1.0f)
          ++mOverFullScale;
    if (mEncoding.container == sound::Container::kAiff)
    {
      constexpr int64_t kAiffLimit = 0xFFFFFFFFll - 4096; // room for the header
      mBytes += static_cast<int64_t>(nFrames) * mFile.Channels() * BytesPerSample();
      if (mBytes > kAiffLimit)
        throw sound::SoundFileError("write", mFile.Path(),
                                    "an AIFF cannot hold more than 4 GiB; write .wav or .flac");
    }
    mFile.Write(channels, nFrames);
  }

  int64_t OverFullScale() const { return mOverFullScale; }

private:
  int BytesPerSample() const
  {
    switch (mEncoding.sample)
    {
      case sound::Sample::kInt16: return 2;
      case sound::Sample::kInt24: return 3;
      default: return 4;
    }
  }

  sound::SoundFile& mFile;
  sound::Encoding mEncoding;
  int64_t mOverFullScale = 0;
  int64_t mBytes = 0;
};

template <typename... Args>
std::string Format(const char* format, Args... args)
{
  char text[160];
  std::snprintf(text, sizeof(text), format, args...);
  return text;
}

std::string ProgressDetail(const render::RenderProgress& progress, double elapsed, double* fraction)
{
  const int64_t done = progress.inputFramesDone + progress.tailFramesDone;
  *fraction = 0.0;
  if (progress.tailFramesPlanned >= 0)
  {
    const int64_t total = std::max(progress.inputFramesExpected, progress.inputFramesDone) +
                          progress.tailFramesPlanned;
    *fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
  }
  else if (progress.inputFramesExpected > 0)
    *fraction = static_cast<double>(progress.inputFramesDone) /
                static_cast<double>(progress.inputFramesExpected);

  std::string detail = Format("%.1f s", elapsed);
  const double audio = static_cast<double>(done) / progress.sampleRate;
  if (elapsed >= 0.25) // before that, the speed says more about start-up than rendering
    detail += Format("  %.1fx real time", audio / elapsed);
  if (progress.tailFramesPlanned < 0 && progress.tailFramesDone > 0)
    detail += Format("  tail %.1f s", static_cast<double>(progress.tailFramesDone) / progress.sampleRate);
  return detail;
}

// One input into one output, which was checked before any work began.
void RenderOne(const std::string& inPath, OutputFile& output, sound::Encoding encoding,
               const RenderArgs& args)
{
  const render::RenderOptions options = OptionsFrom(args);
  const std::unique_ptr<Umbravox> plug(MakePlug());
  ApplyParameters(*plug, args);

  sound::SoundFile input = sound::SoundFile::OpenForReading(inPath);
  if (input.Channels() > 2)
    throw UsageError("'" + input.Path() + "' has " + std::to_string(input.Channels()) +
                     " channels; only mono and stereo can be rendered");
  // Writing over the input would destroy it before it is read to the end.
  if (output.IsSameFileAs(inPath))
    throw UsageError("the output '" + output.Name() + "' is the input file");

  const double sampleRate = input.SampleRate();
  sound::SoundFile file = sound::SoundFile::Create(output.Open(sound::NeedsSeekableFile(encoding)),
                                                   output.Name(), encoding, input.Channels(),
                                                   input.SampleRate(), !args.noDither);
  FileSource source(input);
  FileSink sink(file, encoding);
  ProgressLine bar(ProgressWanted(args.quiet));
  const render::RenderResult result =
    render::Render(*plug, sampleRate, input.Channels(), source, sink, options,
                   std::max<int64_t>(0, input.Frames()), [&](const render::RenderProgress& progress) {
                     if (!bar.Due())
                       return;
                     double fraction = 0.0;
                     const std::string detail = ProgressDetail(progress, bar.SecondsSinceStart(), &fraction);
                     bar.Draw(fraction, detail);
                   });
  file.Close();
  output.Commit();
  const double seconds = bar.SecondsSinceStart();
  bar.Clear();

  if (input.CutShort() || (input.Frames() > 0 && result.inputFrames < input.Frames()))
    std::fprintf(stderr, "umbravox: warning: '%s' is cut short or damaged: rendered the %lld frames (%.3f s) it holds\n",
                 input.Path().c_str(), static_cast<long long>(result.inputFrames),
                 static_cast<double>(result.inputFrames) / sampleRate);

  std::string format = sound::EncodingName(encoding);
  if (file.WroteRf64())
    format.replace(format.size() - 3, 3, "RF64 (past 4 GiB)");
  const double duration = static_cast<double>(result.outputFrames) / sampleRate;
  std::string summary = "wrote " + output.Name() + " (" + format + "): " +
                        std::to_string(result.outputFrames) + " frames" + Format(" (%.3f s", duration);
  if (options.tail != render::TailMode::kRaw)
  {
    const char* ending = "";
    if (result.tailEnd == render::TailEnd::kCapped)
      ending = ", cut at the cap and faded out";
    else if (result.tailEnd == render::TailEnd::kSteadyFloor)
      ending = ", ended on a steady floor";
    summary += Format(", of which %.3f s tail%s", static_cast<double>(result.tailFrames) / sampleRate, ending);
  }
  summary += ")";
  if (seconds > 0.0)
    summary += Format(", %.1fx real time", duration / seconds);
  summary += ", peak " + render::FormatDbfs(result.peak) + " dBFS";
  if (sink.OverFullScale() > 0 && sound::IsFixedPoint(encoding))
    summary += "; clipped: " + std::to_string(sink.OverFullScale()) + " samples beyond full scale in " +
               sound::EncodingName(encoding) + " (peak " + render::FormatDbfs(result.peak) +
               " dBFS; write a float .wav to keep them)";
  else if (sink.OverFullScale() > 0 && sound::MayClipWhenPlayed(encoding))
    summary += "; " + std::to_string(sink.OverFullScale()) +
               " samples beyond full scale, kept in the Ogg Vorbis stream but clipped by players that "
               "decode to whole numbers (write a float .wav to be sure)";
  std::fprintf(output.IsStandardOutput() ? stderr : stdout, "%s\n", summary.c_str());
  std::fflush(stdout);
}

} // namespace

int RunRender(const std::vector<std::string>& args)
{
  if (WantsHelp(args))
  {
    std::fputs(kRenderHelp, stdout);
    return 0;
  }
  const RenderArgs parsed = ParseArgs(args);

  // Every output is checked before the first is rendered.
  std::vector<std::string> inputs;
  std::vector<std::string> outPaths;
  if (parsed.outDir)
  {
    std::error_code error;
    if (!std::filesystem::is_directory(*parsed.outDir, error))
      throw UsageError("cannot write into '" + *parsed.outDir + "': not a directory");
    std::set<std::string> seen;
    for (const std::string& in : parsed.paths)
    {
      inputs.push_back(in);
      outPaths.push_back(OutputPathInDir(*parsed.outDir, in, parsed));
      if (!seen.insert(outPaths.back()).second)
        throw UsageError("two inputs would both be written to '" + outPaths.back() + "'");
    }
  }
  else
  {
    inputs.push_back(parsed.paths[0]);
    outPaths.push_back(parsed.paths[1]);
  }
  std::vector<sound::Encoding> encodings;
  std::vector<std::unique_ptr<OutputFile>> outputs;
  for (const std::string& outPath : outPaths)
  {
    encodings.push_back(EncodingFor(outPath, parsed));
    outputs.push_back(std::make_unique<OutputFile>(outPath));
  }
  for (size_t i = 0; i < inputs.size(); ++i)
  {
    try
    {
      RenderOne(inputs[i], *outputs[i], encodings[i], parsed);
    }
    catch (const std::invalid_argument& error)
    {
      throw UsageError("cannot render '" + inputs[i] + "': " + error.what());
    }
  }
  return 0;
}

} // namespace umbra::cli
