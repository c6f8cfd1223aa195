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

  // n frames of the frame loop, as a platform's frame timer would run them: each advances the
  // animation clock by one frame, then redraws what is dirty. Returns how many drew anything.
  int RunFrames(int n = 1);

  // Paints straight over the whole editor area, outside the control list: for drawing tests
  // that exercise the drawing interface without a control around it.
  void RenderFrame(const std::function<void(ICanvas&)>& paint);

  // -------------------------------------------------------------------------------------------
  // Animation clock. It stands still until its driver moves it, so animations in a headless run
  // depend on the frames drawn, not on how long they took. It starts at 0 ms.

  double GetAnimationClockMs() const override;
  void SetClockMs(double ms);
  void AdvanceClockMs(double ms);
  // One frame's worth, 1000 / fps ms. The frame loop calls this once per frame, before the
  // controls animate; a tool driving frames by hand calls it itself.
  void AdvanceFrameClock();
  // The frame rate of the imagined display (60 unless set); values below 1 are taken as 1.
  void SetClockFPS(int fps);
  int GetClockFPS() const { return mClockFPS; }

private:
  // Frames are counted rather than summed so that frame n reads exactly base + n * 1000 / fps,
  // with no rounding drift however long the run.
  double mClockBaseMs = 0.0;
  long long mClockFrames = 0;
  int mClockFPS = 60;
};

} // namespace umbra::ui
