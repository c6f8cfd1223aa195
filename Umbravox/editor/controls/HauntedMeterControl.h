#pragma once

// The stereo level meter of the input and output columns: two columns of 16 segments in a
// riveted, cracked and dusty glass well. Lit segments flicker individually like failing bulbs,
// the well now and then dims for a frame, and a soft band floats just above each channel's
// level. Levels arrive through the peak-and-average meter base; only the averages are shown.

#include <array>

#include "Controls/IVMeterControl.h"

namespace umbra {

class HauntedMeterControl : public ui::IVPeakAvgMeterControl<2> {
public:
  static constexpr int kNumSegments = 16;
  // More flicker slots than segments; the spare ones still take their share of the random draws
  // at construction, so the sequence of draws stays the same whatever the segment count.
  static constexpr int kNumFlickerSlots = 20;

  HauntedMeterControl(const ui::IRECT& bounds, const char* label,
                      const ui::IVStyle& style = ui::DEFAULT_STYLE);
  ~HauntedMeterControl() override = default;

  void Draw(ui::ICanvas& g) override;

  // Whether segment i (0 at the bottom) is lit at value v: a segment lights a little before the
  // level reaches its top edge, so a level just under a boundary still shows the segment.
  static bool SegmentLit(double v, int i)
  {
    const double f = static_cast<double>(i + 1) / kNumSegments;
    return v >= f - 0.05;
  }

  float GetPhase1() const { return mPhase1; }
  float GetPhase2() const { return mPhase2; }
  int GetSpeckSeed() const { return mSpeckSeed; }

private:
  float mPhase1;
  float mPhase2;
  // Fixes the cracks and dust specks for the life of the control.
  int mSpeckSeed;
  std::array<float, kNumFlickerSlots> mFlickerLevel{};
  std::array<float, kNumFlickerSlots> mFlickerTarget{};
  std::array<float, kNumFlickerSlots> mFlickerTimer{};
};

} // namespace umbra
