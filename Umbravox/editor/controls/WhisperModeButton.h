#pragma once

#include "IControl.h"

namespace umbra {

// A small dark plate that toggles the two whisper modes: a flickering lamp at the left, coloured
// by the mode, and the mode's name beside it. It redraws itself every frame.
class WhisperModeButton : public ui::IControl {
public:
  WhisperModeButton(const ui::IRECT& bounds, int paramIdx, const ui::IColor& textColor);

  void OnMouseDown(float x, float y, const ui::IMouseMod& mod) override;
  void Draw(ui::ICanvas& g) override;

  // "Ghost" above 0.5, "Wind" otherwise (exactly 0.5 is "Wind").
  static bool IsGhost(double value) { return value > 0.5; }
  static const char* LabelFor(double value) { return IsGhost(value) ? "Ghost" : "Wind"; }
  // The lamp's colour for the mode of the value; only R, G, B are meaningful.
  static ui::IColor LampColorFor(double value);

  float Phase() const { return mPhase; }
  float Level() const { return mLevel; }
  float Timer() const { return mTimer; }
  int StainSeed() const { return mStainSeed; }

private:
  ui::IColor mTextColor;
  float mLevel = 0.8f;
  float mTarget = 1.f;
  float mSpeed = 0.05f;
  float mTimer = 0.f;
  float mInterval = 0.f;
  float mPhase = 0.f;
  int mStainSeed = 0;
};

} // namespace umbra
