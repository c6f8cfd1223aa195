#include "LEDTabSwitchControl.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ICanvas.h"
#include "UmbravoxTheme.h"

namespace umbra {

using namespace ui;

// The flicker and stains draw from the C library's generator, never seeded here, so that each
// switch of an editor starts from a different point of the same stream.
LEDTabSwitchControl::LEDTabSwitchControl(const IRECT& bounds, int paramIdx,
                                         const std::vector<const char*>& labels,
                                         const IColor& ledColor, const IColor& textColor)
  : IControl(bounds, paramIdx), mLabels(labels), mLEDColor(ledColor), mTextColor(textColor)
{
  mStainSeed = std::rand() % 10000;
  mPhase = static_cast<float>(std::rand() % 1000) * 0.00628f;
  for (int k = 0; k < kNumSlots; ++k) {
    mLevel[k] = static_cast<float>(std::rand() % 100) * 0.003f + 0.7f;
    mTarget[k] = static_cast<float>(std::rand() % 100) * 0.002f + 0.8f;
    mSpeed[k] = static_cast<float>(std::rand() % 100) * 0.001f + 0.04f;
    mTimer[k] = static_cast<float>(std::rand() % 1000) * 0.002f;
    mInterval[k] = static_cast<float>(std::rand() % 1000) * 0.0003f + 0.05f;
  }
}

int LEDTabSwitchControl::SelectedIndex() const
{
  const int n = NumLabels();
  if (n == 0)
    return 0;
  const int s = static_cast<int>(GetValue(0) * (n - 1) + 0.5);
  return std::clamp(s, 0, n - 1);
}

void LEDTabSwitchControl::OnMouseDown(float x, float, const IMouseMod&)
{
  const int n = NumLabels();
  if (n == 0)
    return;
  // Only the column counts: a click anywhere in a tab selects it.
  const float tabWidth = mRECT.W() / static_cast<float>(n);
  const int i = std::clamp(static_cast<int>((x - mRECT.L) / tabWidth), 0, n - 1);
  // A single label has only one position, which is 0.
  const double value = n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0.0;
  SetValue(value, 0);
  SetDirty(true);
}

float LEDTabSwitchControl::UpdateFlicker(int k)
{
  mTimer[k] += 0.016f;
  mLevel[k] = mLevel[k] + (mTarget[k] - mLevel[k]) * mSpeed[k];
  if (mTimer[k] >= mInterval[k]) {
    mTimer[k] = 0.f;
    mInterval[k] = static_cast<float>(std::rand() % 1000) * 0.00035f + 0.02f;
    mTarget[k] = static_cast<float>(std::rand() % 1000) * 0.0006f + 0.4f;
    mSpeed[k] = static_cast<float>(std::rand() % 1000) * 0.00018f + 0.03f;
    const int r = std::rand();
    if (r % 12 == 0) {
      // The lamp dips and recovers quickly.
      mLevel[k] = static_cast<float>(std::rand() % 100) * 0.003f + 0.3f;
      mSpeed[k] = 0.12f;
    }
  }
  return std::max(std::min(mLevel[k], 1.f), 0.25f);
}

void LEDTabSwitchControl::DrawLED(ICanvas& g, float cx, float cy, float b) const
{
  g.FillCircle(IColor(180, 40, 38, 48), cx, cy, 6.f);
  g.DrawCircle(IColor(120, 55, 50, 60), cx, cy, 6.f, nullptr, 1.f);
  g.DrawArc(IColor(80, 160, 155, 170), cx, cy, 5.5f, 200.f, 340.f, nullptr, 1.f);
  g.FillCircle(IColor(static_cast<int>(255.f * std::min(b * 0.5f, 1.f)), mLEDColor.R, mLEDColor.G,
                      mLEDColor.B),
               cx, cy, 4.5f);
  g.FillCircle(IColor(OpacityToAlpha(b * 0.5f + 0.5f), mLEDColor.R, mLEDColor.G, mLEDColor.B), cx, cy, 3.f);
  g.FillCircle(IColor(255, 255, 255, static_cast<int>(b * 140.f)), cx - 0.5f, cy - 0.5f, 1.2f);
  g.FillCircle(IColor(30, 60, 55, 50), cx + 0.5f, cy + 0.5f, 1.2f);
}

void LEDTabSwitchControl::Draw(ICanvas& g)
{
  const float L = mRECT.L, T = mRECT.T, R = mRECT.R, B = mRECT.B;
  const int n = NumLabels();

  mPhase += 0.008f;
  if (mPhase > kPhaseTurn)
    mPhase -= kPhaseTurn;
  if (n == 0)
    return;

  // Body and bevel.
  g.FillRoundRect(IColor(220, 35, 32, 42), mRECT, 5.f);
  g.FillRoundRect(IColor(200, 22, 20, 28), mRECT.GetPadded(-2.f), 4.f);
  g.DrawLine(IColor(90, 170, 165, 180), L + 4.f, T + 2.f, R - 4.f, T + 2.f, nullptr, 1.f);
  g.DrawLine(IColor(89, 170, 165, 180), L + 2.f, T + 4.f, L + 2.f, B - 4.f, nullptr, 1.f);

  // Stains: fixed places from the seed, pulsing faintly with the phase.
  static constexpr int kStainA[5] = {0, 97, 194, 291, 388};
  static constexpr int kStainB[5] = {0, 151, 302, 453, 604};
  static constexpr float kStainPhase[5] = {0.f, 1.7f, 3.4f, 5.1f, 6.8f};
  static constexpr float kStainRadius[5] = {1.5f, 2.5f, 1.5f, 2.5f, 1.5f};
  for (int j = 0; j < 5; ++j) {
    const float x = L + (R - L) * static_cast<float>((mStainSeed + kStainA[j]) % 100) * 0.01f;
    const float y = T + (B - T) * static_cast<float>((mStainSeed + kStainB[j]) % 100) * 0.01f;
    const float a = std::sin(mPhase + kStainPhase[j]) * 0.1f + 0.25f;
    g.FillCircle(IColor(OpacityToAlpha(a), 55, 42, 38), x, y, kStainRadius[j]);
  }

  const int s = SelectedIndex();
  const int k = s % kNumSlots;
  const float w = (R - L) / static_cast<float>(n);
  for (int i = 0; i < n; ++i) {
    const IRECT tab(L + static_cast<float>(i) * w, T, L + static_cast<float>(i + 1) * w, B);
    if (i == s)
      DrawLED(g, (tab.L + tab.R) / 2.f, T + 9.f, UpdateFlicker(k));
    if (i < n - 1) {
      const float x = tab.R;
      g.DrawLine(IColor(80, 50, 48, 55), x, T + 3.f, x, B - 3.f, nullptr, 1.f);
      g.DrawLine(IColor(40, 80, 75, 70), x + 1.f, T + 5.f, x + 1.f, B - 5.f, nullptr, 1.f);
    }
    const float a = i == s ? std::sin(mPhase) * 0.05f + 0.9f : 0.55f;
    const IText style(12.f, IColor(OpacityToAlpha(a), mTextColor.R, mTextColor.G, mTextColor.B),
                      "Roboto-Regular", kAlignCenter, kVAlignMiddle);
    // The selected label moves down to make room for its LED.
    g.DrawText(style, mLabels[static_cast<size_t>(i)], i == s ? tab.GetTranslated(0.f, 5.f) : tab);
  }

  g.DrawRoundRect(IColor(140, 55, 52, 62), mRECT.GetPadded(-1.f), 4.f, nullptr, 1.5f);
  g.DrawLine(IColor(60, 80, 75, 70), L + 2.f, T + 3.f, L + 6.f, T + 2.f, nullptr, 1.f);
  g.DrawLine(IColor(127, 80, 75, 70), R - 8.f, B - 2.f, R - 3.f, B - 4.f, nullptr, 1.f);

  // Keep animating: draw again on the next frame without sending anything.
  SetDirty(false);
}

} // namespace umbra
