// Full 1200 x 800 frames of the example editor, drawn without a window, at screen scales 1 and 2:
// the worst case of the frame loop, every control redrawn. The time column is milliseconds per
// frame.
#include <benchmark/benchmark.h>

#include <memory>

#include "ExampleEditor.h"
#include "ICanvasFactory.h"
#include "Platforms/ICanvasHeadless.h"
#include "Umbravox.h"

using namespace umbra;

namespace {

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

BENCHMARK(FullFrames)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
