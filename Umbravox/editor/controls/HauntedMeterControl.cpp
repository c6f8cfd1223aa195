#include "HauntedMeterControl.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ICanvas.h"
#include "UmbravoxTheme.h"

namespace umbra {

using namespace ui;

HauntedMeterControl::HauntedMeterControl(const IRECT& bounds, const char* label,
                                         const IVStyle& style)
  : IVPeakAvgMeterControl<2>(bounds, label, style, kVertical, {}, 0, EMeterResponse::Log, -60.f,
                             12.f, {0, -6, -12, -24, -48})
{
  // The draws happen in this order so that every meter built in a row gets its own pattern; the
  // generator is never seeded, as each opening of the editor should look a little different.
  mSpeckSeed = std::rand() % 10000;
  mPhase1 = static_cast<float>(std::rand() % 1000) * 0.00628f;
  mPhase2 = static_cast<float>(std::rand() % 1000) * 0.00628f;
  for (int k = 0; k < kNumFlickerSlots; ++k) {
    const auto s = static_cast<size_t>(k);
    mFlickerLevel[s] = static_cast<float>(std::rand() % 200) * 0.001f + 0.8f;
    mFlickerTarget[s] = 0.9f;
    mFlickerTimer[s] = static_cast<float>(std::rand() % 1000) * 0.001f;
  }
}

void HauntedMeterControl::Draw(ICanvas& g)
{
  mPhase1 += 0.02f;
  mPhase2 += 0.015f;
  if (mPhase1 > kPhaseTurn)
    mPhase1 -= kPhaseTurn;
  if (mPhase2 > kPhaseTurn)
    mPhase2 -= kPhaseTurn;

  const float L = mRECT.L, T = mRECT.T, R = mRECT.R, B = mRECT.B;

  // Housing and its bevel.
  g.FillRoundRect(IColor(220, 35, 30, 38), mRECT, 4.f);
  g.FillRoundRect(IColor(200, 20, 18, 22), mRECT.GetPadded(-3.f), 3.f);
  g.DrawLine(IColor(100, 180, 175, 195), L + 3.f, T + 2.f, R - 3.f, T + 2.f);
  g.DrawLine(IColor(102, 180, 175, 195), L + 2.f, T + 3.f, L + 2.f, B - 3.f);

  // Rivets down both edges, breathing with phase 1.
  for (int j = 0; j < 4; ++j) {
    const float y = T + (B - T) * static_cast<float>(j) / 3.f;
    const float a = std::sin(mPhase1 + static_cast<float>(j)) * 0.2f + 0.3f;
    g.FillCircle(IColor(OpacityToAlpha(a), 55, 40, 35), L + 2.f, y, 3.f);
    g.FillCircle(IColor(OpacityToAlpha(0.7f * a), 55, 40, 35), R - 2.f, y + 10.f, 2.f);
  }

  // The glass well with a glint down its left side.
  const IRECT well = mRECT.GetPadded(-5.f);
  const float WL = well.L, WT = well.T, WR = well.R, WB = well.B;
  const float H = WB - WT;
  g.FillRect(IColor(240, 15, 14, 18), well);
  g.DrawLine(IColor(40, 150, 145, 160), WL + 2.f, WT + 2.f, WL + 2.f, WT + 0.3f * H);

  const double u0 = GetValue(0);
  const double u1 = GetValue(1);
  const float h = H / kNumSegments;
  const float cw = (WR - WL - 6.f) / 2.f;

  for (int i = 0; i < kNumSegments; ++i) {
    const auto s = static_cast<size_t>(i);
    const float f = static_cast<float>(i + 1) / kNumSegments;

    // The bulb of this row drifts towards its target and now and then picks a new one; it runs
    // whether or not the row is lit, so a row that lights up is already mid-flicker.
    mFlickerTimer[s] += 0.016f;
    mFlickerLevel[s] = mFlickerLevel[s] + (mFlickerTarget[s] - mFlickerLevel[s]) * 0.08f;
    const float threshold = static_cast<float>(std::rand() % 100) * 0.003f + 0.1f;
    if (mFlickerTimer[s] > threshold) {
      mFlickerTimer[s] = 0.f;
      mFlickerTarget[s] = static_cast<float>(std::rand() % 400) * 0.001f + 0.6f;
      if (std::rand() % 30 == 0)
        mFlickerTarget[s] = 0.1f;
    }

    int r = 100, gr = 100, b = 110;
    if (f >= 0.85f) {
      r = 120; gr = 70; b = 140;
    }
    else if (f >= 0.6f) {
      r = 70; gr = 100; b = 140;
    }

    const float yt = WB - static_cast<float>(i + 1) * h;
    const float yb = WB - static_cast<float>(i) * h - 1.f;
    const IRECT cols[2] = {IRECT(WL + 2.f, yt, WL + 2.f + cw - 1.f, yb),
                           IRECT(WR - 2.f - cw + 1.f, yt, WR - 2.f, yb)};
    const double vals[2] = {u0, u1};
    const float l = mFlickerLevel[s];

    for (int c = 0; c < 2; ++c) {
      const IRECT& seg = cols[c];
      if (!SegmentLit(vals[c], i)) {
        g.FillRect(IColor(20, r, gr, b), seg);
        continue;
      }
      g.FillRect(IColor(OpacityToAlpha(0.9f * l), r, gr, b), seg);
      g.FillRect(IColor(OpacityToAlpha(0.3f * l), r, gr, b), seg.GetPadded(1.f));
      g.FillRect(IColor(static_cast<int>(180.f * l), 255, 255, 255),
                 IRECT(seg.L + 1.f, yt, seg.R - 1.f, yt + 1.f));
    }
  }

  // A soft band floating just above each channel's level.
  const IColor band(OpacityToAlpha(std::sin(2.f * mPhase2) * 0.1f + 0.15f), 100, 140, 120);
  const float y0 = WB - static_cast<float>(u0) * H;
  const float y1 = WB - static_cast<float>(u1) * H;
  g.FillRect(band, IRECT(WL + 2.f, y0 - 10.f, WL + 2.f + cw - 1.f, y0 - 2.f));
  g.FillRect(band, IRECT(WR - 2.f - cw + 1.f, y1 - 10.f, WR - 2.f, y1 - 2.f));

  // Cracks in the glass, placed by the seed.
  const float ww = WR - WL;
  const float xs = WL + static_cast<float>((mSpeckSeed * 7) % 100) * 0.01f * ww * 0.3f;
  const float xr = WL + ww * 0.5f + static_cast<float>((mSpeckSeed * 13) % 100) * 0.01f * ww * 0.3f;
  g.DrawLine(IColor(60, 120, 115, 110), xs + 5.f, WT, xs + 15.f, WT + 0.4f * H);
  g.DrawLine(IColor(60, 120, 115, 110), xs + 15.f, WT + 0.4f * H, xs + 8.f, WT + 0.7f * H);
  g.DrawLine(IColor(127, 120, 115, 110), xs + 15.f, WT + 0.4f * H, xs + 25.f, WT + 0.5f * H);
  g.DrawLine(IColor(178, 120, 115, 110), xr, WB, xr - 10.f, WB - 0.3f * H);
  g.DrawLine(IColor(102, 120, 115, 110), xr - 10.f, WB - 0.3f * H, xr + 5.f, WB - 0.5f * H);

  // Dust on the glass.
  for (int k = 0; k < 6; ++k) {
    const float cx = WL + ww * static_cast<float>((mSpeckSeed + 137 * k) % 100) * 0.01f;
    const float cy = WT + H * static_cast<float>((mSpeckSeed + 211 * k) % 100) * 0.01f;
    const float rad = static_cast<float>((mSpeckSeed + 73 * k) % 30) * 0.1f + 1.f;
    g.FillCircle(IColor(80, 60, 55, 50), cx, cy, rad);
  }

  // Scratches on the housing's edges.
  g.DrawLine(IColor(100, 80, 75, 70), L + 1.f, T + 20.f, L + 1.f, T + 40.f);
  g.DrawLine(IColor(100, 80, 75, 70), R - 1.f, B - 30.f, R - 1.f, B - 60.f);

  // A rare one-frame brown-out of the whole well.
  const float sn = std::sin(7.3f * mPhase1);
  const float d = (std::rand() % 200 == 0) ? 0.7f : 0.95f + 0.05f * sn;
  if (d < 0.9f)
    g.FillRect(IColor(static_cast<int>((1.f - d) * 100.f), 0, 0, 0), well);

  // Keeps the meter on the next frame's list even when no new level arrives.
  SetDirty(false);
}

} // namespace umbra
