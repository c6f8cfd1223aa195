#pragma once

// The editor's continuous-value control: a dark engraved track with six faintly flickering
// ticks and a worn-metal handle whose brightness breathes slowly. The value follows the absolute
// pointer position, so the handle's centre sits under the pointer. It redraws itself every frame.

#include "Controls/ISliderControlBase.h"

namespace umbra {

class WeatheredSliderControl : public ui::ISliderControlBase {
public:
  // direction kVertical: value grows upwards; kHorizontal: value grows to the right.
  WeatheredSliderControl(const ui::IRECT& bounds, int paramIdx, ui::EDirection direction);

  void OnMouseDown(float x, float y, const ui::IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const ui::IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const ui::IMouseMod& mod) override;
  void Draw(ui::ICanvas& g) override;

  // The track's ends lie this far inside the bounds, and the value maps onto the track.
  static constexpr float kTrackMargin = 10.f;

  // The value a pointer at (x, y) selects, clamped into 0..1.
  double ValueForPosition(float x, float y) const;
  // Where the handle is drawn for the current value.
  ui::IRECT GetTrackRect() const;
  ui::IRECT GetHandleRect() const;

  float GetPhase1() const { return mPhase1; }
  float GetPhase2() const { return mPhase2; }

private:
  // Only its red, green and blue are used; the body's alpha breathes.
  ui::IColor mHandleColor;
  // Drives the tick flicker.
  float mPhase1;
  // Drives the handle's brightness.
  float mPhase2;
};

} // namespace umbra
