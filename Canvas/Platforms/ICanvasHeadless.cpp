#include "ICanvasHeadless.h"

namespace umbra::ui {

ICanvasHeadless::ICanvasHeadless(int width, int height, float drawScale, float screenScale)
  : ICanvasCairo(width, height, drawScale)
{
  SetScreenScale(screenScale);
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

} // namespace umbra::ui
