// "umbravox screenshot": an editor drawn without a window, into a PNG.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "ExampleEditor.h"
#include "ICanvasFactory.h"
#include "Platforms/ICanvasHeadless.h"
#include "Umbravox.h"

namespace umbra::cli {

namespace {

const char* const kScreenshotHelp =
  "usage: umbravox screenshot --example OUT.png [--scale S] [--frames N]\n"
  "\n"
  "Draws an editor without a window and saves it as a PNG.\n"
  "\n"
  "  --example    the example editor: a panel, two sliders, captions, a level meter fed with a\n"
  "               test tone through the plug-in, a text and a bitmap (bound to a real instance)\n"
  "  --scale S    the screen scale, device pixels per logical pixel (default 1; 2 draws the\n"
  "               picture twice as large with the @2x bitmaps); from 1 to 4\n"
  "  --frames N   frames run before the picture is taken, at 60 per second (default 30)\n";

struct ScreenshotOptions {
  std::string outPath;
  bool example = false;
  double scale = 1.0;
  long frames = 30;
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
    if (arg == "--example")
      options.example = true;
    else if (arg == "--scale")
    {
      const std::string& text = value(i);
      char* end = nullptr;
      options.scale = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end || !(options.scale >= 1.0 && options.scale <= 4.0))
        throw UsageError("--scale expects a number from 1 to 4, got '" + text + "'");
    }
    else if (arg == "--frames")
    {
      const std::string& text = value(i);
      char* end = nullptr;
      options.frames = std::strtol(text.c_str(), &end, 10);
      if (end == text.c_str() || *end || options.frames < 1 || options.frames > 100000)
        throw UsageError("--frames expects a whole number from 1 to 100000, got '" + text + "'");
    }
    else if (arg.rfind("--", 0) == 0)
      throw UsageError("unknown option '" + arg + "' for 'screenshot'");
    else if (options.outPath.empty())
      options.outPath = arg;
    else
      throw UsageError("'screenshot' takes one output file, got '" + arg + "' too");
  }
  if (!options.example)
    throw UsageError("'screenshot' needs --example (the only editor it draws so far)");
  if (options.outPath.empty())
    throw UsageError("'screenshot' needs an output file (try 'umbravox screenshot --help')");
  return options;
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

  ui::SetDefaultPlatform(ui::EPlatform::kHeadless);
  // One frame's worth of audio per frame drawn.
  const int blockFrames = static_cast<int>(example::kSampleRate) / example::kFPS;
  ui::ICanvasHeadless* canvas = nullptr;
  const std::unique_ptr<Umbravox> plug = example::MakeExamplePlug(blockFrames, [&](ui::ICanvas& made) {
    canvas = dynamic_cast<ui::ICanvasHeadless*>(&made);
    made.SetScreenScale(static_cast<float>(options.scale));
  });
  plug->OpenWindow(nullptr);
  if (!canvas)
    throw UsageError("no windowless canvas could be made");

  example::TestTone tone(blockFrames);
  for (long frame = 0; frame < options.frames; ++frame)
  {
    tone.PlayBlock(*plug);
    canvas->RunFrames(1);
  }

  WriteFileAtomically(options.outPath, [&](const std::string& temporary) {
    return canvas->SavePNG(temporary);
  });
  std::printf("wrote %s (%d x %d pixels)\n", options.outPath.c_str(), canvas->DeviceWidth(),
              canvas->DeviceHeight());
  plug->CloseWindow();
  return 0;
}

} // namespace umbra::cli
