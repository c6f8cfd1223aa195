// "umbravox demo": a made-up phrase, dry and through every factory preset, as WAV files to
// listen to.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "CliSupport.h"
#include "Commands.h"
#include "DemoInput.h"
#include "EditorScreenshot.h"
#include "OutputFile.h"
#include "Render.h"
#include "SoundFile.h"
#include "Umbravox.h"

namespace umbra::cli {

namespace {

const char* const kDemoHelp =
  "usage: umbravox demo [DIR]\n"
  "\n"
  "Makes up eight seconds of stereo at 48 kHz (a sung phrase, a pause, a plucked chord) and\n"
  "writes it to DIR (default ./umbravox-demo, made if missing) as 00-dry.wav, then renders it\n"
  "through every factory preset as 'umbravox render' does by default (latency compensated,\n"
  "tail until quiet): 01-Init.wav, 02-Ghost-Choir.wav and so on. 32-bit float WAV throughout.\n"
  "Last, editor.png: the editor with the \"Ghost Choir\" preset after the first 1.5 seconds of\n"
  "the phrase, as 'umbravox screenshot --audio' draws it.\n";

constexpr double kDemoSampleRate = 48000.0;
constexpr const char* kScreenshotPreset = "Ghost Choir";

// A preset name as a file name: blanks become dashes, and only plain characters remain.
std::string FileNameFor(int number, const std::string& name)
{
  char prefix[16];
  std::snprintf(prefix, sizeof(prefix), "%02d-", number);
  std::string fileName = prefix;
  for (char c : name)
  {
    if (c == ' ')
      fileName += '-';
    else if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_')
      fileName += c;
  }
  return fileName + ".wav";
}

void WriteWav(const std::filesystem::path& path, const std::vector<std::vector<float>>& channels)
{
  sound::SoundData data;
  data.sampleRate = static_cast<int>(kDemoSampleRate);
  data.channels = channels;
  OutputFile output(path.string());
  sound::WriteSoundFile(output.Open(sound::NeedsSeekableFile(sound::Encoding::kWavFloat)),
                        output.Name(), sound::Encoding::kWavFloat, data);
  output.Commit();
  std::printf("wrote %-40s %7.3f s  peak %s dBFS\n", path.c_str(),
              static_cast<double>(data.Frames()) / kDemoSampleRate,
              render::FormatDbfs(render::Peak(channels)).c_str());
  std::fflush(stdout);
}

} // namespace

int RunDemo(const std::vector<std::string>& args)
{
  if (WantsHelp(args))
  {
    std::fputs(kDemoHelp, stdout);
    return 0;
  }
  std::string dir = "umbravox-demo";
  bool dirGiven = false;
  for (const std::string& arg : args)
  {
    if (arg.size() > 1 && arg[0] == '-')
      UnknownOption(arg, "demo");
    if (dirGiven)
      throw UsageError("'demo' takes one directory, got '" + arg + "' too");
    dir = arg;
    dirGiven = true;
  }

  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error || !std::filesystem::is_directory(dir))
    throw UsageError("cannot make the directory '" + dir + "'" +
                     (error ? ": " + error.message() : std::string()));

  const std::vector<std::vector<float>> input = demo::SynthesizeDemoInput(kDemoSampleRate);
  WriteWav(std::filesystem::path(dir) / "00-dry.wav", input);

  const render::RenderOptions options; // what 'umbravox render' does without options
  const std::unique_ptr<Umbravox> names(MakePlug());
  for (int p = 0; p < names->PresetCount(); ++p)
  {
    // A new instance for each, as a host loading the preset into a fresh track would have.
    const std::unique_ptr<Umbravox> plug(MakePlug());
    if (!plug->RestorePreset(p))
      throw UsageError("factory preset " + std::to_string(p) + " cannot be recalled");
    const std::vector<std::vector<float>> output =
      render::RenderFrames(*plug, kDemoSampleRate, input, options);
    WriteWav(std::filesystem::path(dir) / FileNameFor(p + 1, plug->GetPresetName(p)), output);
  }

  // The editor reacting to the phrase (the dry file, read back as 'screenshot --audio' would).
  EditorScreenshotRequest screenshot;
  screenshot.plug.preset = kScreenshotPreset;
  sound::SoundData audio;
  audio.sampleRate = static_cast<int>(kDemoSampleRate);
  audio.channels = input;
  const std::string screenshotPath = (std::filesystem::path(dir) / "editor.png").string();
  OutputFile screenshotOutput(screenshotPath);
  const EditorScreenshotResult shot = TakeEditorScreenshot(screenshot, &audio, screenshotOutput);
  std::printf("wrote %-40s %d x %d pixels\n", screenshotPath.c_str(), shot.width, shot.height);

  std::printf("%d files in %s\n", names->PresetCount() + 2, dir.c_str());
  return 0;
}

} // namespace umbra::cli
