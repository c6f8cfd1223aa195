// "umbravox ui": an editor in an X11 window, driven by this program's own main loop, with audio
// played through the plug-in on a thread of its own as a host's audio thread would.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "EditorSession.h"
#include "ExampleEditor.h"
#include "ICanvasFactory.h"
#include "Platforms/ICanvasX11.h"
#include "Umbravox.h"
#include "UmbravoxResources.h"

namespace umbra::cli {

namespace {

const char* const kUIHelp =
  "usage: umbravox ui [--preset NAME] [--set NAME=VALUE]... [--audio FILE] [--show about|presets]\n"
  "                   [--frames N] [--scale S]\n"
  "       umbravox ui --example [--frames N] [--scale S]\n"
  "\n"
  "Opens the editor of a fresh instance in a window on the X display that DISPLAY names, until\n"
  "the window is closed.\n"
  "\n"
  "  --preset NAME     a factory preset by its name or number (see 'umbravox presets')\n"
  "  --set NAME=VALUE  a parameter, after the preset (see 'umbravox params'); repeatable\n"
  "  --show WHICH      opens the About popup (about) or the preset browser (presets) at once\n"
  "  --audio FILE      plays FILE through the plug-in, looping, at real-time pace on a thread of\n"
  "                    its own (nothing is heard: there is no sound device), so that the meters\n"
  "                    and the animated background react as they do in a host\n"
  "  --frames N        closes by itself after N frames (at 60 per second) instead\n"
  "  --scale S         the screen scale, device pixels per logical pixel, from 1 to 4 (default:\n"
  "                    the display's, from its Xft.dpi resource)\n"
  "  --example         the framework's example editor instead, fed with a test tone\n";

struct UIOptions {
  bool example = false;
  long frames = 0; // 0: until closed
  float scale = 0.f; // 0: the display's
  EditorPlugOptions plug;
};

UIOptions ParseOptions(const std::vector<std::string>& args)
{
  UIOptions options;
  for (size_t i = 0; i < args.size(); ++i)
  {
    const std::string& arg = args[i];
    if (options.plug.Parse(args, i))
      continue;
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
    else if (arg == "--scale")
    {
      if (i + 1 >= args.size())
        throw UsageError("--scale needs a value");
      const std::string& text = args[++i];
      char* end = nullptr;
      const double scale = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end || !(scale >= 1.0 && scale <= 4.0))
        throw UsageError("--scale expects a number from 1 to 4, got '" + text + "'");
      options.scale = static_cast<float>(scale);
    }
    else if (arg.size() > 1 && arg[0] == '-')
      UnknownOption(arg, "ui");
    else
      throw UsageError("'ui' takes no file name, got '" + arg + "' (try 'umbravox ui --help')");
  }
  if (options.example && (options.plug.preset || !options.plug.settings.empty() || options.plug.audioPath ||
                          options.plug.show))
    throw UsageError("--example takes no --preset, --set, --audio or --show");
  return options;
}

// Runs the window until it is closed or has run frames frames (0: no limit).
void RunWindow(ui::ICanvasX11& window, long frames)
{
  while (!window.IsClosed() && (frames == 0 || window.FramesRun() < frames))
  {
    window.Pump();
    window.WaitForEvents(std::chrono::milliseconds(100));
  }
}

// Throws when the window did not open.
void CheckOpened(IEffectBase& plug, void* view, ui::ICanvasX11* window)
{
  if (view && window)
    return;
  const std::string why = window ? window->GetLastError() : "no X11 canvas could be made";
  plug.CloseWindow();
  throw UsageError(why);
}

int RunExample(const UIOptions& options)
{
  // One block per tick of the plug-in's timer, so that audio keeps pace with the clock.
  const int blockFrames = static_cast<int>(example::kSampleRate * kTimerSeconds);
  ui::ICanvasX11* window = nullptr;
  const std::unique_ptr<Umbravox> plug = example::MakeExamplePlug(blockFrames, [&](ui::ICanvas& made) {
    window = dynamic_cast<ui::ICanvasX11*>(&made);
    if (window)
      window->SetWindowTitle("Umbra Vox - example editor");
    if (options.scale > 0.f)
      made.SetScreenScale(options.scale);
  });
  void* view = plug->OpenWindow(nullptr);
  CheckOpened(*plug, view, window);

  example::TestTone tone(blockFrames);
  window->SetTimerFunc([&]() { tone.PlayBlock(*plug); });
  RunWindow(*window, options.frames);
  plug->CloseWindow();
  return 0;
}

// Plays audio through the plug-in in short blocks, each when its time comes by the wall clock,
// looping, until stopped. The plug-in's timer is not run here: the window's main loop runs it,
// as a host's main thread does.
class AudioThread {
public:
  AudioThread(Umbravox& plug, const sound::SoundData& audio)
    : mThread([this, &plug, &audio] { Run(plug, audio); })
  {
  }
  ~AudioThread()
  {
    mStop.store(true);
    mThread.join();
  }

  static constexpr int kBlockFrames = 256;

private:
  void Run(Umbravox& plug, const sound::SoundData& audio)
  {
    using Clock = std::chrono::steady_clock;
    std::vector<float> in[2], out[2];
    for (int c = 0; c < 2; ++c)
    {
      in[c].assign(kBlockFrames, 0.f);
      out[c].assign(kBlockFrames, 0.f);
    }
    const float* inputs[2] = {in[0].data(), in[1].data()};
    float* outputs[2] = {out[0].data(), out[1].data()};
    const auto blockTime = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(kBlockFrames / static_cast<double>(audio.sampleRate)));

    const size_t length = static_cast<size_t>(audio.Frames());
    size_t position = 0;
    auto due = Clock::now();
    while (!mStop.load())
    {
      for (int s = 0; s < kBlockFrames; ++s, position = (position + 1) % length)
        for (int c = 0; c < 2; ++c)
          in[c][static_cast<size_t>(s)] = audio.channels[static_cast<size_t>(c)][position];
      plug.HostProcess(inputs, outputs, kBlockFrames);

      due += blockTime;
      const auto now = Clock::now();
      // After a long stall (a suspended process, say) catch up at once rather than racing.
      if (now - due > std::chrono::seconds(1))
        due = now;
      std::this_thread::sleep_until(due);
    }
  }

  std::atomic<bool> mStop{false};
  std::thread mThread;
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
  if (options.example)
    return RunExample(options);

  if (const std::string missing = MissingEditorResources(); !missing.empty())
    throw UsageError(missing);
  sound::SoundData audio;
  if (options.plug.audioPath)
    audio = ReadEditorAudio(*options.plug.audioPath);
  const double sampleRate = options.plug.audioPath ? audio.sampleRate : kEditorDefaultSampleRate;
  const std::unique_ptr<Umbravox> plug =
    MakeEditorPlug(options.plug, sampleRate, AudioThread::kBlockFrames);
  if (options.scale > 0.f)
  {
    // Given to the canvas before its window opens, the scale stands over the display's.
    const float scale = options.scale;
    auto make = plug->GetMakeGraphicsFunc();
    plug->SetMakeGraphicsFunc([make, scale]() {
      auto graphics = make ? make() : nullptr;
      if (graphics)
        graphics->SetScreenScale(scale);
      return graphics;
    });
  }

  void* view = plug->OpenWindow(nullptr);
  auto* window = dynamic_cast<ui::ICanvasX11*>(plug->GetUI());
  CheckOpened(*plug, view, window);
  ShowRequestedPopup(options.plug, *plug);
  // The plug-in's 20 ms timer on the main thread: meter data and parameter changes from the
  // audio thread reach the editor here.
  window->SetTimerFunc([&]() { plug->OnTimer(); });

  {
    std::unique_ptr<AudioThread> audioThread;
    if (options.plug.audioPath)
      audioThread = std::make_unique<AudioThread>(*plug, audio);
    RunWindow(*window, options.frames);
  }
  plug->CloseWindow();
  return 0;
}

} // namespace umbra::cli
