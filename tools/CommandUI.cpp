// "umbravox ui": an editor in an X11 window, driven by this program's own main loop.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "ExampleEditor.h"
#include "ICanvasFactory.h"
#include "Platforms/ICanvasX11.h"
#include "Umbravox.h"

namespace umbra::cli {

namespace {

const char* const kUIHelp =
  "usage: umbravox ui --example [--frames N]\n"
  "\n"
  "Opens an editor in a window on the X display that DISPLAY names, until the window is closed.\n"
  "\n"
  "  --example    the example editor (as 'umbravox screenshot' draws it), bound to a running\n"
  "               plug-in fed with a test tone, so that its meter moves\n"
  "  --frames N   closes by itself after N frames (at 60 per second) instead\n";

struct UIOptions {
  bool example = false;
  long frames = 0; // 0: until closed
};

UIOptions ParseOptions(const std::vector<std::string>& args)
{
  UIOptions options;
  for (size_t i = 0; i < args.size(); ++i)
  {
    const std::string& arg = args[i];
    if (arg == "--example")
      options.example = true;
    else if (arg == "--frames")
    {
      if (i + 1 >= args.size())
        throw UsageError("--frames needs a value");
      const std::string& text = args[++i];
      char* end = nullptr;
      options.frames = std::strtol(text.c_str(), &end, 10);
      if (end == text.c_str() || *end || options.frames < 1 || options.frames > 10000000)
        throw UsageError("--frames expects a whole number from 1 to 10000000, got '" + text + "'");
    }
    else
      throw UsageError("unknown argument '" + arg + "' for 'ui'");
  }
  if (!options.example)
    throw UsageError("'ui' needs --example (the only editor it opens so far)");
  return options;
}

} // namespace

int RunUI(const std::vector<std::string>& args)
{
  if (WantsHelp(args))
  {
    std::fputs(kUIHelp, stdout);
    return 0;
  }
  const UIOptions options = ParseOptions(args);

  ui::SetDefaultPlatform(ui::EPlatform::kX11);
  // One block per tick of the plug-in's timer, so that audio keeps pace with the clock.
  const int blockFrames = static_cast<int>(example::kSampleRate * 0.020);
  ui::ICanvasX11* window = nullptr;
  const std::unique_ptr<Umbravox> plug = example::MakeExamplePlug(blockFrames, [&](ui::ICanvas& made) {
    window = dynamic_cast<ui::ICanvasX11*>(&made);
    if (window)
      window->SetWindowTitle("Umbra Vox - example editor");
  });

  if (!plug->OpenWindow(nullptr) || !window)
  {
    const std::string why = window ? window->GetLastError() : "no X11 canvas could be made";
    plug->CloseWindow();
    throw UsageError(why);
  }

  example::TestTone tone(blockFrames);
  window->SetTimerFunc([&]() { tone.PlayBlock(*plug); });

  while (!window->IsClosed() && (options.frames == 0 || window->FramesRun() < options.frames))
  {
    window->Pump();
    window->WaitForEvents(std::chrono::milliseconds(100));
  }
  plug->CloseWindow();
  return 0;
}

} // namespace umbra::cli
