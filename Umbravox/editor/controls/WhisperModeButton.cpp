#include "WhisperModeButton.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ICanvas.h"
#include "UmbravoxTheme.h"

namespace umbra {

using namespace ui;

// The lamp's flicker and the stains draw from the C library's generator, never seeded here, so
// the button starts differently each time the editor opens.
WhisperModeButton::WhisperModeButton(const IRECT& bounds, int paramIdx, const IColor& textColor)
  : IControl(bounds, paramIdx), mTextColor(textColor)
{
  mTimer = 2.f * (static_cast<float>(std::rand() % 1000) * 0.001f);
  mInterval = static_cast<float>(std::rand() % 100) * 0.002f + 0.05f;
  mStainSeed = std::rand() % 10000;
  mPhase = static_cast<float>(std::rand() % 1000) * 0.00628f;
}

IColor WhisperModeButton::LampColorFor(double value)
{
  return IsGhost(value) ? IColor(255, 80, 100, 180) : IColor(255, 100, 80, 160);
}

void WhisperModeButton::OnMouseDown(float, float, const IMouseMod&)
{
  // Every click toggles, wherever it lands.
  SetValue(IsGhost(GetValue(0)) ? 0.0 : 1.0, 0);
  SetDirty(true);
}

void WhisperModeButton::Draw(ICanvas& g)
{
  const float L = mRECT.L, T = mRECT.T, R = mRECT.R, B = mRECT.B;
  const double v = GetValue(0);

  mPhase += 0.01f;
  if (mPhase > kPhaseTurn)
    mPhase -= kPhaseTurn;

  mTimer += 0.016f;
  mLevel = mLevel + (mTarget - mLevel) * mSpeed;
  if (mTimer >= mInterval) {
    mTimer = 0.f;
    mInterval = static_cast<float>(std::rand() % 1000) * 0.00038f + 0.02f;
    mTarget = static_cast<float>(std::rand() % 1000) * 0.0006f + 0.4f;
    mSpeed = static_cast<float>(std::rand() % 1000) * 0.0002f + 0.03f;
    const int r = std::rand();
    if (r % 10 == 0) {
      // The lamp dips and recovers quickly.
      mLevel = static_cast<float>(std::rand() % 100) * 0.004f + 0.3f;
      mSpeed = 0.15f;
    }
  }

  // Plate and bevel.
  g.FillRoundRect(IColor(220, 35, 32, 42), mRECT, 6.f);
  g.FillRoundRect(IColor(200, 22, 20, 28), mRECT.GetPadded(-2.f), 5.f);
  g.DrawLine(IColor(100, 180, 175, 190), L + 4.f, T + 2.f, R - 4.f, T + 2.f, nullptr, 1.f);
  g.DrawLine(IColor(102, 180, 175, 190), L + 2.f, T + 4.f, L + 2.f, B - 4.f, nullptr, 1.f);

  // Stains: fixed places from the seed, pulsing with the phase.
  static constexpr int kStainA[3] = {0, 137, 274};
  static constexpr int kStainB[3] = {0, 211, 422};
  static constexpr float kStainPhase[3] = {0.f, 2.f, 4.f};
  static constexpr float kStainRadius[3] = {2.f, 3.f, 2.f};
  for (int j = 0; j < 3; ++j) {
    const float x = L + (R - L) * static_cast<float>((mStainSeed + kStainA[j]) % 100) * 0.01f;
    const float y = T + (B - T) * static_cast<float>((mStainSeed + kStainB[j]) % 100) * 0.01f;
    const float a = std::sin(mPhase + kStainPhase[j]) * 0.15f + 0.3f;
    g.FillCircle(IColor(OpacityToAlpha(a), 55, 42, 38), x, y, kStainRadius[j]);
  }

  const float b = std::max(std::min(mLevel, 1.f), 0.25f);
  const IColor lamp = LampColorFor(v);

  g.DrawRoundRect(IColor(160, 60, 55, 65), mRECT.GetPadded(-1.f), 5.f, nullptr, 1.5f);
  g.DrawLine(IColor(80, 90, 85, 80), L + 3.f, T + 5.f, L + 8.f, T + 3.f, nullptr, 1.f);
  g.DrawLine(IColor(127, 90, 85, 80), R - 10.f, B - 4.f, R - 4.f, B - 6.f, nullptr, 1.f);

  const float cx = L + 14.f, cy = (T + B) / 2.f;
  g.FillCircle(IColor(200, 45, 40, 50), cx, cy, 8.f);
  g.DrawCircle(IColor(160, 60, 55, 65), cx, cy, 8.f, nullptr, 1.f);
  g.DrawArc(IColor(127, 180, 175, 190), cx, cy, 7.f, 200.f, 340.f, nullptr, 1.5f);
  g.FillCircle(IColor(static_cast<int>(255.f * std::min(b * 0.5f, 1.f)), lamp.R, lamp.G, lamp.B),
               cx, cy, 6.f);
  g.FillCircle(IColor(OpacityToAlpha(b * 0.5f + 0.5f), lamp.R, lamp.G, lamp.B), cx, cy, 4.f);
  g.FillCircle(IColor(255, 255, 255, static_cast<int>(b * 160.f)), cx - 1.f, cy - 1.f, 1.6f);
  g.FillCircle(IColor(40, 80, 75, 70), cx + 1.f, cy + 1.f, 2.f);

  const IText style(14.f,
                    IColor(OpacityToAlpha(std::sin(mPhase * 0.5f) * 0.1f + 0.85f), mTextColor.R,
                           mTextColor.G, mTextColor.B),
                    "Roboto-Regular", kAlignCenter, kVAlignMiddle);
  g.DrawText(style, LabelFor(v), IRECT(L + 24.f, T, R, B));

  // Keep animating: draw again on the next frame without sending anything.
  SetDirty(false);
}

} // namespace umbra
