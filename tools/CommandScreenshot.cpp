// "umbravox screenshot": an editor drawn without a window, into a PNG.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "EditorScreenshot.h"
#include "ExampleEditor.h"
#include "ICanvasFactory.h"
#include "OutputFile.h"
#include "ProgressLine.h"
#include "Platforms/ICanvasHeadless.h"
#include "Umbravox.h"

namespace umbra::cli {

namespace {

const char* const kScreenshotHelp =
  "usage: umbravox screenshot OUT.png [--preset NAME] [--set NAME=VALUE]... [--audio FILE]\n"
  "                           [--show about|presets] [--frames N] [--scale S] [--quiet]\n"
  "       umbravox screenshot --example OUT.png [--frames N] [--scale S]\n"
  "\n"
  "Draws the editor of a fresh instance without a window and saves it as a PNG.\n"
  "\n"
  "  --preset NAME     a factory preset by its name or number (see 'umbravox presets')\n"
  "  --set NAME=VALUE  a parameter, after the preset (see 'umbravox params'); repeatable\n"
  "  --audio FILE      plays FILE through the plug-in in step with the frames, one 60th of a\n"
  "                    second per frame, so that the meters and the animated background react;\n"
  "                    the plug-in runs at the file's sample rate\n"
  "  --show WHICH      opens the About popup (about) or the preset browser (presets) first, as a\n"
  "                    click on its icon does\n"
  "  --frames N        frames run before the picture is taken, at 60 per second (default 90)\n"
  "  --scale S         the screen scale, device pixels per logical pixel (default 1; 2 draws\n"
  "                    2400 x 1600 pixels with the @2x bitmaps); from 1 to 4\n"
  "  --quiet           no progress bar (drawn only on a terminal, for more than 300 frames)\n"
  "  --example         the framework's example editor instead: a panel, two sliders, captions,\n"
  "                    a level meter fed with a test tone, a text and a bitmap\n"
  "\n"
  "OUT may be '-' (standard output), a device or a FIFO; a file name's extension, if any, must\n"
  "be .png.\n";

// Drawing this many frames takes long enough to want a progress bar.
constexpr long kFramesWorthAProgressBar = 300;

struct ScreenshotOptions {
  std::string outPath;
  bool example = false;
  bool quiet = false;
  EditorScreenshotRequest request;
};

ScreenshotOptions ParseOptions(const std::vector<std::string>& args)
{
  ScreenshotOptions options;
  auto value = [&](size_t& i) -> const std::string& {
    if (i + 1 >= args.size())
      throw UsageError(args[i] + " needs a value");
    return args[++i];
  };
  for (size_t i = 0; i < args.size(); ++i)
  {
    const std::string& arg = args[i];
    if (options.request.plug.Parse(args, i))
      continue;
    if (arg == "--example")
      options.example = true;
    else if (arg == "--quiet" || arg == "-q")
      options.quiet = true;
    else if (arg == "--scale")
    {
      const std::string& text = value(i);
      char* end = nullptr;
      options.request.scale = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end || !(options.request.scale >= 1.0 && options.request.scale <= 4.0))
        throw UsageError("--scale expects a number from 1 to 4, got '" + text + "'");
    }
    else if (arg == "--frames")
    {
      const std::string& text = value(i);
      char* end = nullptr;
      options.request.frames = std::strtol(text.c_str(), &end, 10);
      if (end == text.c_str() || *end || options.request.frames < 1 || options.request.frames > 100000)
        throw UsageError("--frames expects a whole number from 1 to 100000, got '" + text + "'");
    }
    else if (arg.size() > 1 && arg[0] == '-')
      UnknownOption(arg, "screenshot");
    else if (options.outPath.empty())
      options.outPath = arg;
    else
      throw UsageError("'screenshot' takes one output file, got '" + arg + "' too");
  }
  if (options.outPath.empty())
    throw UsageError("'screenshot' needs an output file (try 'umbravox screenshot --help')");
  // A PNG under another picture format's name would only mislead.
  const std::string extension = std::filesystem::path(options.outPath).extension().string();
  if (!extension.empty() && !SameName(extension, ".png"))
    throw UsageError("'" + options.outPath + "' does not end in .png: 'screenshot' writes PNG pictures");
  const EditorPlugOptions& plug = options.request.plug;
  if (options.example && (plug.preset || !plug.settings.empty() || plug.audioPath || plug.show))
    throw UsageError("--example takes no --preset, --set, --audio or --show");
  return options;
}

// The example editor, fed with its test tone one frame's worth at a time.
void ShootExample(const ScreenshotOptions& options, OutputFile& output)
{
  ui::SetDefaultPlatform(ui::EPlatform::kHeadless);
  const int blockFrames = static_cast<int>(example::kSampleRate) / example::kFPS;
  ui::ICanvasHeadless* canvas = nullptr;
  const std::unique_ptr<Umbravox> plug = example::MakeExamplePlug(blockFrames, [&](ui::ICanvas& made) {
    canvas = dynamic_cast<ui::ICanvasHeadless*>(&made);
    made.SetScreenScale(static_cast<float>(options.request.scale));
  });
  plug->OpenWindow(nullptr);
  if (!canvas)
    throw UsageError("no windowless canvas could be made");

  example::TestTone tone(blockFrames);
  for (long frame = 0; frame < options.request.frames; ++frame)
  {
    tone.PlayBlock(*plug);
    canvas->RunFrames(1);
  }

  output.WriteByName([&](const std::string& path) { return canvas->SavePNG(path); });
  if (!options.quiet)
    std::fprintf(output.IsStandardOutput() ? stderr : stdout, "wrote %s (%d x %d pixels)\n",
                 Printable(output.Name()).c_str(), canvas->DeviceWidth(), canvas->DeviceHeight());
  plug->CloseWindow();
}

} // namespace

int RunScreenshot(const std::vector<std::string>& args)
{
  if (WantsHelp(args))
  {
    std::fputs(kScreenshotHelp, stdout);
    return 0;
  }
  const ScreenshotOptions options = ParseOptions(args);
  OutputFile output(options.outPath);
  if (options.example)
  {
    ShootExample(options, output);
    return 0;
  }

  sound::SoundData audio;
  if (options.request.plug.audioPath)
    audio = ReadEditorAudio(*options.request.plug.audioPath);
  ProgressLine bar(ProgressWanted(options.quiet) && options.request.frames > kFramesWorthAProgressBar);
  const EditorScreenshotResult result = TakeEditorScreenshot(
    options.request, options.request.plug.audioPath ? &audio : nullptr, output, [&](long done, long all) {
      if (bar.Due() || done == all)
        bar.Draw(static_cast<double>(done) / static_cast<double>(all),
                 "frame " + std::to_string(done) + " of " + std::to_string(all));
    });
  bar.Clear();
  if (!options.quiet)
    std::fprintf(output.IsStandardOutput() ? stderr : stdout, "wrote %s (%d x %d pixels)\n",
                 Printable(output.Name()).c_str(), result.width, result.height);
  return 0;
}

} // namespace umbra::cli
