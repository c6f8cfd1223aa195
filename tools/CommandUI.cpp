// "umbravox ui": an editor in an X11 window, driven by this program's own main loop.
#include <chrono>
#include <cmath>
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

// A 220 Hz sine at -6 dBFS on the left and -12 dBFS on the right, continuous across blocks.
class TestTone {
public:
  explicit TestTone(double sampleRate) : mSampleRate(sampleRate) {}

  void Fill(std::vector<float>& left, std::vector<float>& right)
  {
    for (size_t s = 0; s < left.size(); ++s, ++mSample)
    {
      left[s] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * 220.0 * static_cast<double>(mSample) / mSampleRate));
      right[s] = 0.5f * left[s];
    }
  }

private:
  double mSampleRate;
  long long mSample = 0;
};

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
  const std::unique_ptr<Umbravox> plug(MakePlug());
  constexpr double kSampleRate = 48000.0;
  constexpr int kFPS = 60;
  // One block per tick of the plug-in's timer, so that audio keeps pace with the clock.
  const int blockFrames = static_cast<int>(kSampleRate * 0.020);
  plug->HostSetSampleRate(kSampleRate);
  plug->HostSetBlockSize(blockFrames);
  plug->HostInitialize();

  ui::ICanvasX11* window = nullptr;
  plug->SetMakeGraphicsFunc([&]() -> std::unique_ptr<IEditorContext> {
    auto made = ui::MakeGraphics(*plug, example::kWidth, example::kHeight, kFPS, 1.f);
    window = dynamic_cast<ui::ICanvasX11*>(made.get());
    if (window)
      window->SetWindowTitle("Umbra Vox - example editor");
    return made;
  });
  plug->SetLayoutFunc([](IEditorContext* context) {
    example::LayoutExampleEditor(*static_cast<ui::ICanvas*>(context));
  });

  if (!plug->OpenWindow(nullptr) || !window)
  {
    const std::string why = window ? window->GetLastError() : "no X11 canvas could be made";
    plug->CloseWindow();
    throw UsageError(why);
  }

  TestTone tone(kSampleRate);
  std::vector<float> left(static_cast<size_t>(blockFrames)), right(left.size());
  std::vector<float> outLeft(left.size()), outRight(left.size());
  window->SetTimerFunc([&]() {
    tone.Fill(left, right);
    const float* in[2] = {left.data(), right.data()};
    float* out[2] = {outLeft.data(), outRight.data()};
    plug->HostProcess(in, out, blockFrames);
    plug->OnTimer(); // hands the meter data and host changes to the editor
  });

  while (!window->IsClosed() && (options.frames == 0 || window->FramesRun() < options.frames))
  {
    window->Pump();
    window->WaitForEvents(std::chrono::milliseconds(100));
  }
  plug->CloseWindow();
  return 0;
}

} // namespace umbra::cli
