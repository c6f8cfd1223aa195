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
#include "RenderFiles.h"
#include "SoundFile.h"
#include "Umbravox.h"

namespace umbra::cli {

namespace {

const char* const kRenderHelp =
  "usage: umbravox render IN OUT [options]\n"
  "       umbravox render --out-dir DIR IN... [options]\n"
  "options: [--preset NAME | --fxp FILE] [--set NAME=VALUE]... [--type wav|flac|ogg|aiff]\n"
  "         [--bits 16|24|32|float] [--no-dither] [--gain DB | --norm[=DB]] [--block FRAMES]\n"
  "         [--tail SECONDS|auto] [--raw] [-q|--quiet] [--]\n"
  "\n"
  "Plays the sound file IN (WAV, RF64, FLAC, Ogg Vorbis, AIFF and whatever else libsndfile\n"
  "reads; mono or stereo, at its own sample rate from 8 to 384 kHz) through the plug-in and\n"
  "writes the result to OUT, at the same sample rate and channel count. The parameters start\n"
  "from a new instance (the \"Init\" preset), then the factory preset NAME or the preset file\n"
  "FILE, then each --set. With --out-dir, each IN is rendered in turn by a new instance into\n"
  "DIR under its own file name, with one summary line per file; a file that fails is told and\n"
  "the others are rendered all the same, and a last line counts them (\"2 written, 1 failed\",\n"
  "exit status 2 if any failed).\n"
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
  "  --gain DB         scale the plug-in's output by DB decibels before it is written (-100 to\n"
  "                    +60; the wet path adds about 13 dB, which --gain -13 roughly takes back)\n"
  "  --norm[=DB]       scale the output so that its peak is DB dBFS (default -1, from -100 to\n"
  "                    0); the whole output is held in the temporary folder until its end\n"
  "  -q, --quiet       no progress bar and no summary line; warnings and errors still show\n"
  "  --                every argument after it is a file name, even one starting with '-'\n"
  "\n"
  "An option's value may also follow an '=' (--tail=2, --set=Mix=50).\n"
  "\n"
  "IN may be '-' for standard input, OUT '-' for standard output (with --type; the summary\n"
  "then goes to stderr). A WAV or AIFF from a pipe is read as it arrives, and a WAV into one\n"
  "is written as it is made, so a render in a pipeline starts at once. Otherwise OUT's\n"
  "extension chooses the format: .wav 32-bit float (RF64 by itself once past 4 GiB), .flac\n"
  "24-bit, .ogg Vorbis, .aif/.aiff 24-bit; with --type, an extension OUT has must be that\n"
  "type's. The effect adds gain, so the output can exceed full scale: a float WAV keeps such\n"
  "peaks, whole-number formats clip them, Ogg Vorbis keeps them but players may clip them; the\n"
  "summary says so.\n";

template <typename... Args>
std::string Format(const char* format, Args... args)
{
  char text[160];
  std::snprintf(text, sizeof(text), format, args...);
  return text;
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
  std::optional<double> gainDb;
  std::optional<double> normDb;
};

// A level in dB within [lowest, highest], as --gain and --norm take it ("-6", "+3.5", "-6dB").
double ParseDecibels(const std::string& option, const std::string& text, double lowest, double highest)
{
  std::string number = text;
  if (number.size() > 2 && SameName(number.substr(number.size() - 2), "db"))
    number.resize(number.size() - 2);
  if (!number.empty() && number[0] == '+')
    number.erase(0, 1);
  double value = 0.0;
  const char* first = number.data();
  const char* last = first + number.size();
  const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
  if (ec != std::errc() || end != last || first == last || !(value >= lowest && value <= highest))
    throw UsageError(option + " expects a level in dB from " + Format("%+g", lowest) + " to " +
                     Format("%+g", highest) + ", got '" + text + "'");
  return value;
}

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
    else if (arg == "--quiet" || arg == "-q")
      parsed.quiet = true;
    else if (arg == "--gain")
    {
      once(parsed.gainDb, arg);
      parsed.gainDb = ParseDecibels(arg, NextValue(args, i, arg), -100.0, 60.0);
    }
    else if (arg == "--norm" || arg.rfind("--norm=", 0) == 0)
    {
      once(parsed.normDb, "--norm");
      parsed.normDb = arg == "--norm" ? -1.0 : ParseDecibels("--norm", arg.substr(7), -100.0, 0.0);
    }
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
  if (parsed.gainDb && parsed.normDb)
    throw UsageError("--gain and --norm cannot be used together: --norm sets the level by itself");
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
    // Any extension but the type's own would mislead: no WAV under .mp3.
    const bool hasExtension = outPath != "-" && !std::filesystem::path(outPath).extension().empty();
    if (hasExtension && (!hasNamed || named != container))
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
  RequireMonoOrStereo(input.Path(), input.Channels());
  // Writing over the input would destroy it before it is read to the end.
  if (output.IsSameFileAs(inPath))
    throw UsageError("the output '" + output.Name() + "' is the input file");

  const double sampleRate = input.SampleRate();
  // A WAV into a pipe is written as it is made, so the next program hears it at once; other
  // formats there go back over their header and are staged.
  const bool stream = encoding.container == sound::Container::kWav && !args.normDb && !output.CanGoBack();
  sound::SoundFile file =
    stream ? sound::SoundFile::CreateWavStream(output.Open(false), output.Name(), encoding, input.Channels(),
                                               input.SampleRate(), !args.noDither)
           : sound::SoundFile::Create(output.Open(sound::NeedsSeekableFile(encoding)), output.Name(),
                                      encoding, input.Channels(), input.SampleRate(), !args.noDither);
  FileSource source(input);
  FileSink sink(file, encoding, args.gainDb ? std::pow(10.0, *args.gainDb / 20.0) : 1.0);
  std::optional<NormalisingSink> normalising;
  if (args.normDb)
    normalising.emplace(sink, input.Channels(), std::pow(10.0, *args.normDb / 20.0));
  ProgressLine bar(ProgressWanted(args.quiet));
  const render::RenderResult result = render::Render(
    *plug, sampleRate, input.Channels(), source, normalising ? static_cast<render::IRenderSink&>(*normalising) : sink,
    options, std::max<int64_t>(0, input.Frames()), [&](const render::RenderProgress& progress) {
      if (!bar.Due())
        return;
      double fraction = 0.0;
      const std::string detail = ProgressDetail(progress, bar.SecondsSinceStart(), &fraction);
      bar.Draw(fraction, detail);
    });
  if (normalising)
    normalising->Finish();
  file.Close();
  output.Commit();
  const double seconds = bar.SecondsSinceStart();
  bar.Clear();

  const std::string inName = Printable(input.Path());
  if (input.CutShort() || (input.Frames() > 0 && result.inputFrames < input.Frames()))
    std::fprintf(stderr, "umbravox: warning: '%s' is cut short or damaged: rendered the %lld frames (%.3f s) it holds\n",
                 inName.c_str(), static_cast<long long>(result.inputFrames),
                 static_cast<double>(result.inputFrames) / sampleRate);
  if (source.Unplayable() > 0)
    std::fprintf(stderr, "umbravox: warning: '%s' has %lld samples that are not numbers or lie beyond "
                 "+-100000: the plug-in heard silence in their place\n",
                 inName.c_str(), static_cast<long long>(source.Unplayable()));
  if (args.quiet)
    return;

  std::string format = sound::EncodingName(encoding);
  if (file.WroteRf64())
    format.replace(format.size() - 3, 3, "RF64 (past 4 GiB)");
  const double duration = static_cast<double>(result.outputFrames) / sampleRate;
  std::string summary = "wrote " + Printable(output.Name()) + " (" + format + "): " +
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
  const std::string peak = render::FormatDbfs(sink.Peak());
  summary += ", peak " + peak + " dBFS";
  if (sink.OverFullScale() > 0 && sound::IsFixedPoint(encoding))
    summary += "; clipped: " + std::to_string(sink.OverFullScale()) + " samples beyond full scale in " +
               sound::EncodingName(encoding) + " (peak " + peak +
               " dBFS; write a float .wav, or lower the level with --gain or --norm, to keep them)";
  else if (sink.OverFullScale() > 0 && sound::MayClipWhenPlayed(encoding))
    summary += "; " + std::to_string(sink.OverFullScale()) +
               " samples beyond full scale, kept in the Ogg Vorbis stream but clipped by players that "
               "decode to whole numbers (write a float .wav, or use --gain or --norm, to be sure)";
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
  // With --out-dir, one bad input does not stop the others: each failure is told, and counted.
  int failed = 0;
  for (size_t i = 0; i < inputs.size(); ++i)
  {
    try
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
    catch (const std::exception& error)
    {
      if (!parsed.outDir)
        throw;
      std::fflush(stdout);
      std::fprintf(stderr, "umbravox: %s\n", Printable(error.what()).c_str());
      ++failed;
    }
    outputs[i].reset(); // a failed output's temporary file goes now, not at the end
  }
  if (parsed.outDir && (!parsed.quiet || failed > 0))
    std::fprintf(parsed.quiet ? stderr : stdout, "%zu written, %d failed\n",
                 inputs.size() - static_cast<size_t>(failed), failed);
  return failed > 0 ? kExitError : 0;
}

} // namespace umbra::cli
