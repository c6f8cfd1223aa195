#pragma once

#include <vector>

#include "IControl.h"

namespace umbra {

// A dark strip of equal tabs for an enumerated parameter; the selected tab carries a small LED
// above its label that flickers like a failing lamp. It redraws itself every frame.
class LEDTabSwitchControl : public ui::IControl {
public:
  // The label texts must outlive the control (string literals do); at least two are needed for a
  // meaningful switch.
  LEDTabSwitchControl(const ui::IRECT& bounds, int paramIdx, const std::vector<const char*>& labels,
                      const ui::IColor& ledColor, const ui::IColor& textColor);

  void OnMouseDown(float x, float y, const ui::IMouseMod& mod) override;
  void Draw(ui::ICanvas& g) override;

  // Up to this many positions keep a flicker state of their own; beyond it they share.
  static constexpr int kNumSlots = 16;

  int NumLabels() const { return static_cast<int>(mLabels.size()); }
  // The position the current value selects (nearest, half rounding up).
  int SelectedIndex() const;
  float Phase() const { return mPhase; }
  int StainSeed() const { return mStainSeed; }
  float SlotLevel(int k) const { return mLevel[k]; }
  float SlotTimer(int k) const { return mTimer[k]; }

private:
  // Advances slot k by one drawing and returns its brightness.
  float UpdateFlicker(int k);
  void DrawLED(ui::ICanvas& g, float cx, float cy, float brightness) const;

  std::vector<const char*> mLabels;
  ui::IColor mLEDColor;
  ui::IColor mTextColor;
  float mLevel[kNumSlots] = {};
  float mTarget[kNumSlots] = {};
  float mSpeed[kNumSlots] = {};
  float mTimer[kNumSlots] = {};
  float mInterval[kNumSlots] = {};
  float mPhase = 0.f;
  int mStainSeed = 0;
};

} // namespace umbra
