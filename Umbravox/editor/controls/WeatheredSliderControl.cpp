#include "WeatheredSliderControl.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ICanvas.h"
#include "UmbravoxTheme.h"

namespace umbra {

using namespace ui;

WeatheredSliderControl::WeatheredSliderControl(const IRECT& bounds, int paramIdx,
                                               EDirection direction)
  : ISliderControlBase(bounds, paramIdx, direction, 4.0, 0.f),
    mHandleColor(UIColors::weatheredHandle)
{
  // Two draws from the unseeded generator, in this order, so that neighbouring sliders start
  // out of step with each other and every opening of the editor looks a little different.
  mPhase1 = static_cast<float>(std::rand() % 1000) * 0.00628f;
  mPhase2 = static_cast<float>(std::rand() % 1000) * 0.00628f;
}

void WeatheredSliderControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  // A click jumps the value to the pointer.
  OnMouseDrag(x, y, 0.f, 0.f, mod);
}

void WeatheredSliderControl::OnMouseUp(float, float, const IMouseMod&) {}

double WeatheredSliderControl::ValueForPosition(float x, float y) const
{
  const float L = mRECT.L, T = mRECT.T, R = mRECT.R, B = mRECT.B;
  double v = mDirection == kHorizontal
               ? static_cast<double>(x - L - kTrackMargin) / static_cast<double>(R - L - 2.f * kTrackMargin)
               : static_cast<double>(B - kTrackMargin - y) / static_cast<double>(B - T - 2.f * kTrackMargin);
  v = std::min(v, 1.0);
  v = std::max(v, 0.0);
  return v;
}

void WeatheredSliderControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&)
{
  // Absolute positioning: deltas, gearing and modifiers play no part, so there is no fine mode.
  SetValue(ValueForPosition(x, y), 0);
  SetDirty(true);
}

IRECT WeatheredSliderControl::GetTrackRect() const
{
  const float L = mRECT.L, T = mRECT.T, R = mRECT.R, B = mRECT.B;
  if (mDirection == kVertical) {
    const float cx = (L + R) / 2.f;
    return {cx - 4.f, T + kTrackMargin, cx + 4.f, B - kTrackMargin};
  }
  const float cy = (T + B) / 2.f;
  return {L + kTrackMargin, cy - 4.f, R - kTrackMargin, cy + 4.f};
}

IRECT WeatheredSliderControl::GetHandleRect() const
{
  const float L = mRECT.L, T = mRECT.T, R = mRECT.R, B = mRECT.B;
  const IRECT track = GetTrackRect();
  const auto v = static_cast<float>(GetValue(0));
  // 20 pixels along the travel, 70 % of the control's breadth across it.
  if (mDirection == kVertical) {
    const float cx = (L + R) / 2.f;
    const float hw = (R - L) * 0.7f * 0.5f;
    const float y = track.B - v * (track.B - track.T);
    return {cx - hw, y - 10.f, cx + hw, y + 10.f};
  }
  const float cy = (T + B) / 2.f;
  const float hh = (B - T) * 0.7f * 0.5f;
  const float x = track.L + v * (track.R - track.L);
  return {x - 10.f, cy - hh, x + 10.f, cy + hh};
}

void WeatheredSliderControl::Draw(ICanvas& g)
{
  mPhase1 += 0.008f;
  mPhase2 += 0.012f;
  if (mPhase1 > kPhaseTurn)
    mPhase1 -= kPhaseTurn;
  if (mPhase2 > kPhaseTurn)
    mPhase2 -= kPhaseTurn;

  const bool vertical = mDirection == kVertical;
  const IRECT track = GetTrackRect();

  // Engraved track.
  g.FillRoundRect(IColor(200, 45, 35, 30), track, 3.f);
  g.FillRoundRect(IColor(180, 25, 22, 28), track.GetPadded(-2.f), 2.f);

  // Six ticks flickering slightly out of step with each other.
  for (int i = 0; i < 6; ++i) {
    const float f = static_cast<float>(i) * 0.2f;
    const IColor tick(OpacityToAlpha(std::sin(3.f * mPhase1 + static_cast<float>(i)) * 0.1f + 0.15f), 60, 45, 35);
    if (vertical) {
      const float p = track.T + f * (track.B - track.T);
      g.FillRect(tick, IRECT(track.L, p - 1.f, track.R, p + 1.f));
    }
    else {
      const float p = track.L + f * (track.R - track.L);
      g.FillRect(tick, IRECT(p - 1.f, track.T, p + 1.f, track.B));
    }
  }

  const IRECT hd = GetHandleRect();
  const float e = vertical ? 3.f : 2.f;
  const float m = (hd.T + hd.B) / 2.f;

  // Shadow, then the body breathing with phase 2.
  g.FillRoundRect(IColor(100, 0, 0, 0), hd.GetTranslated(2.f, 2.f), 4.f);
  g.FillRoundRect(IColor(OpacityToAlpha(std::sin(2.3f * mPhase2) * 0.1f + 0.9f), mHandleColor.R,
                         mHandleColor.G, mHandleColor.B),
                  hd, 4.f);

  // Worn highlights along the top and left edges.
  g.DrawLine(IColor(120, 200, 195, 210), hd.L + e, hd.T + 2.f, hd.R - e, hd.T + 2.f, nullptr, 1.5f);
  g.DrawLine(IColor(80, 160, 155, 170), hd.L + 2.f, hd.T + 3.f, hd.L + 2.f, hd.B - 3.f, nullptr, 1.f);

  // Engraved grooves across the middle.
  g.DrawLine(IColor(60, 20, 18, 15), hd.L + 4.f, m - 2.f, hd.R - 4.f, m - 2.f, nullptr, 1.f);
  g.DrawLine(IColor(60, 20, 18, 15), hd.L + 6.f, m + 2.f, hd.R - 6.f, m + 2.f, nullptr, 1.f);

  g.DrawRoundRect(IColor(160, 50, 45, 55), hd.GetPadded(-1.f), 3.f, nullptr, 1.f);

  // The grip runs along the travel.
  const IColor grip(140, 80, 75, 70);
  if (vertical) {
    const float cx = (hd.L + hd.R) / 2.f;
    g.DrawLine(grip, cx, hd.T + 4.f, cx, hd.B - 4.f, nullptr, 2.f);
  }
  else {
    g.DrawLine(grip, hd.L + 4.f, m, hd.R - 4.f, m, nullptr, 2.f);
  }

  // Stays dirty so the next frame draws it again.
  SetDirty(false);
}

} // namespace umbra
