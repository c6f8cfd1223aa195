// "umbravox screenshot": an editor drawn without a window, into a PNG.
#include <cmath>
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
  const std::unique_ptr<Umbravox> plug(MakePlug());
  constexpr double kSampleRate = 48000.0;
  constexpr int kFPS = 60;
  plug->HostSetSampleRate(kSampleRate);
  plug->HostSetBlockSize(static_cast<int>(kSampleRate) / kFPS);
  plug->HostInitialize();

  ui::ICanvasHeadless* canvas = nullptr;
  plug->SetMakeGraphicsFunc([&]() -> std::unique_ptr<IEditorContext> {
    auto made = ui::MakeGraphics(*plug, example::kWidth, example::kHeight, kFPS, 1.f);
    canvas = dynamic_cast<ui::ICanvasHeadless*>(made.get());
    made->SetScreenScale(static_cast<float>(options.scale));
    return made;
  });
  plug->SetLayoutFunc([](IEditorContext* context) {
    example::LayoutExampleEditor(*static_cast<ui::ICanvas*>(context));
  });
  plug->OpenWindow(nullptr);
  if (!canvas)
    throw UsageError("no windowless canvas could be made");

  // A frame's worth of a 220 Hz test tone at -6 dBFS per frame, through the plug-in, so the
  // meter shows what a running plug-in sends it.
  const int blockFrames = plug->GetBlockSize();
  std::vector<float> left(static_cast<size_t>(blockFrames)), right(static_cast<size_t>(blockFrames));
  std::vector<float> outLeft(left.size()), outRight(right.size());
  const float* in[2] = {left.data(), right.data()};
  float* out[2] = {outLeft.data(), outRight.data()};
  long sample = 0;
  for (long frame = 0; frame < options.frames; ++frame)
  {
    for (int s = 0; s < blockFrames; ++s, ++sample)
    {
      left[s] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * 220.0 * sample / kSampleRate));
      right[s] = 0.5f * left[s];
    }
    plug->HostProcess(in, out, blockFrames);
    plug->OnTimer(); // the idle call that hands meter data to the editor
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
