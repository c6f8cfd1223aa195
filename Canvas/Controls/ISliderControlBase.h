#pragma once

#include "IControl.h"

namespace umbra::ui {

// The base of sliders: a value moved along a track in one direction. Press, drag and release
// are left to each slider's own feel; the wheel nudges the value.
class ISliderControlBase : public IControl {
public:
  ISliderControlBase(const IRECT& bounds, int paramIdx = kNoParameter,
                     EDirection dir = kVertical, double gearing = 4.0, float handleSize = 0.f);
  ISliderControlBase(const IRECT& bounds, IActionFunction actionFunc,
                     EDirection dir = kVertical, double gearing = 4.0, float handleSize = 0.f);

  // The track follows the bounds.
  void OnResize() override;
  // d > 0 raises the value: one step of a stepped parameter, else 0.01 (0.001 with shift or
  // control held) per unit of d.
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override;

  EDirection GetDirection() const { return mDirection; }
  const IRECT& GetTrack() const { return mTrackBounds; }

protected:
  bool mHideCursorOnDrag = true;
  EDirection mDirection;
  IRECT mTrackBounds;
  float mHandleSize;
  double mGearing;
  bool mMouseDown = false;
};

} // namespace umbra::ui
