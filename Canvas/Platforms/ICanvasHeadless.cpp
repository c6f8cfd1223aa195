#include "ICanvasHeadless.h"

namespace umbra::ui {

ICanvasHeadless::ICanvasHeadless(int width, int height, float drawScale, float screenScale)
  : ICanvasCairo(width, height, drawScale)
{
  SetScreenScale(screenScale);
}

int ICanvasHeadless::RunFrames(int n)
{
  int drawn = 0;
  for (int i = 0; i < n; ++i) {
    AdvanceFrameClock();
    if (RunFrame())
      ++drawn;
  }
  return drawn;
}

void ICanvasHeadless::RenderFrame(const std::function<void(ICanvas&)>& paint)
{
  const IRECT all(0.f, 0.f, static_cast<float>(Width()), static_cast<float>(Height()));
  BeginFrame();
  PrepareRegion(all);
  if (paint)
    paint(*this);
  CompleteRegion(all);
  EndFrame();
}

// ---------------------------------------------------------------------------------------------
// Animation clock

double ICanvasHeadless::GetAnimationClockMs() const
{
  return mClockBaseMs + static_cast<double>(mClockFrames) * 1000.0 / mClockFPS;
}

void ICanvasHeadless::SetClockMs(double ms)
{
  mClockBaseMs = ms;
  mClockFrames = 0;
}

void ICanvasHeadless::AdvanceClockMs(double ms)
{
  mClockBaseMs += ms;
}

void ICanvasHeadless::AdvanceFrameClock()
{
  ++mClockFrames;
}

void ICanvasHeadless::SetClockFPS(int fps)
{
  // The frames counted so far keep the length they had.
  SetClockMs(GetAnimationClockMs());
  mClockFPS = fps < 1 ? 1 : fps;
}

} // namespace umbra::ui
