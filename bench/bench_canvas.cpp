// Full 1200 x 800 frames drawn without a window, at screen scales 1 and 2; the time column is
// milliseconds per frame.
// - EditorFrames: the plug-in's editor as it runs in a host, with the demo phrase looping
//   through the plug-in (a 60th of a second of it per frame, not timed) and its 20 ms timer
//   feeding the meters. The animated background covers the window, so every frame redraws
//   every pixel.
// - FullFrames: the framework's example editor with every control redrawn.
#include <benchmark/benchmark.h>

#include <memory>

#include "DemoInput.h"
#include "EditorSession.h"
#include "ExampleEditor.h"
#include "ICanvasFactory.h"
#include "Platforms/ICanvasHeadless.h"
#include "Umbravox.h"

using namespace umbra;

namespace {

void EditorFrames(benchmark::State& state)
{
  const float scale = static_cast<float>(state.range(0));
  constexpr double kRate = 48000.0;
  ui::SetDefaultPlatform(ui::EPlatform::kHeadless);
  const std::unique_ptr<Umbravox> plug =
    cli::MakeEditorPlug({}, kRate, cli::HostClock::MaxBlockFor(kRate));
  plug->OpenWindow(nullptr);
  auto* canvas = dynamic_cast<ui::ICanvasHeadless*>(plug->GetUI());
  if (!canvas)
  {
    state.SkipWithError("no headless editor");
    return;
  }
  plug->SetScreenScale(scale);

  sound::SoundData audio;
  audio.sampleRate = static_cast<int>(kRate);
  audio.channels = demo::SynthesizeDemoInput(kRate);
  cli::HostClock clock(*plug, kRate, &audio, true);
  // Past the first second, where every layer has something to show.
  for (int frame = 0; frame < 60; ++frame)
  {
    clock.Advance(800);
    canvas->RunFrames(1);
  }

  for (auto _ : state)
  {
    state.PauseTiming();
    clock.Advance(800);
    state.ResumeTiming();
    canvas->RunFrames(1);
  }
  plug->CloseWindow();
}

void FullFrames(benchmark::State& state)
{
  const float scale = static_cast<float>(state.range(0));
  std::unique_ptr<Umbravox> plug(MakePlug());
  ui::ICanvasHeadless canvas(example::kWidth, example::kHeight, 1.f, scale);
  canvas.SetDelegate(*plug);
  example::LayoutExampleEditor(canvas);
  canvas.RunFrames(1);

  for (auto _ : state)
  {
    canvas.SetAllControlsDirty();
    canvas.RunFrames(1);
  }
}

} // namespace

BENCHMARK(EditorFrames)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(FullFrames)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
