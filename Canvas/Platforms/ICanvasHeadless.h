#pragma once

#include <functional>

#include "Drawing/ICanvasCairo.h"

namespace umbra::ui {

// The canvas without a window, for tests and tools: frames are drawn on request into the
// back end's image, which can then be read pixel by pixel or saved as a PNG.
class ICanvasHeadless : public ICanvasCairo {
public:
  // drawScale is the editor's zoom, screenScale the density of the imagined display; the image
  // has (width, height) times their product in device pixels.
  ICanvasHeadless(int width, int height, float drawScale = 1.f, float screenScale = 1.f);

  // One frame in which paint draws over the whole editor area. The frame loop over dirty
  // controls (IsDirty, Draw, DrawControl) comes with the control list and runs beside this.
  void RenderFrame(const std::function<void(ICanvas&)>& paint);
};

} // namespace umbra::ui
