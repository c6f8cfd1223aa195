// The LED tab switch: which tab a value selects, which value a click sends, the empty switch, the
// order of its random draws and the lit LED on the selected tab.

#include <cstdlib>

#include "Controls/IPanelControl.h"
#include "LEDTabSwitchControl.h"
#include "RoutingTestHelpers.h"
#include "UmbravoxTheme.h"

namespace umbra::ui::test {
namespace {

using LEDTabs = EditorFixture;

const std::vector<const char*> kOctaveLabels = {"-2", "-1", "0", "+1", "+2"};
const std::vector<const char*> kIntervalLabels = {"Uni", "m2", "M2",  "m3", "M3", "P4",
                                                  "Tri", "P5", "m6", "M6", "m7", "M7"};
// The pitch panel's rectangles.
const IRECT kOctaveRect(425, 598, 775, 633);
const IRECT kIntervalRect(340, 653, 860, 688);

LEDTabSwitchControl* MakeInterval()
{
  return new LEDTabSwitchControl(kIntervalRect, kInterval, kIntervalLabels, UIColors::pitchLED,
                                 UIColors::paleGhost);
}

TEST_F(LEDTabs, ValueSelectsTheNearestTab)
{
  auto* octave = Attach(new LEDTabSwitchControl(kOctaveRect, kOctave, kOctaveLabels,
                                                UIColors::pitchLED, UIColors::paleGhost));
  octave->SetValue(0.5);
  EXPECT_STREQ(kOctaveLabels[static_cast<size_t>(octave->SelectedIndex())], "0");

  auto* interval = Attach(MakeInterval());
  interval->SetValue(5.0 / 11.0);
  EXPECT_STREQ(kIntervalLabels[static_cast<size_t>(interval->SelectedIndex())], "P4");

  // Between two positions the nearer wins, and exactly half way rounds up.
  octave->SetValue(0.3);
  EXPECT_EQ(octave->SelectedIndex(), 1);
  octave->SetValue(0.375);
  EXPECT_EQ(octave->SelectedIndex(), 2);
  octave->SetValue(0.37);
  EXPECT_EQ(octave->SelectedIndex(), 1);
  octave->SetValue(1.0);
  EXPECT_EQ(octave->SelectedIndex(), 4);
}

TEST_F(LEDTabs, ClickSelectsTheTabUnderThePointerAndSendsItsPosition)
{
  auto* interval = Attach(MakeInterval());
  const float w = kIntervalRect.W() / 12.f;

  // The sixth column, near its bottom: only the column counts.
  Click(kIntervalRect.L + 5.5f * w, kIntervalRect.B - 1.f);
  EXPECT_EQ(interval->GetValue(), 5.0 / 11.0);
  EXPECT_EQ(interval->SelectedIndex(), 5);
  EXPECT_EQ(plug->GetParam(kInterval)->Value(), 5.0);

  Click(kIntervalRect.L + 0.5f, kIntervalRect.T + 1.f);
  EXPECT_EQ(interval->GetValue(), 0.0);
  EXPECT_EQ(plug->GetParam(kInterval)->Value(), 0.0);
}

TEST_F(LEDTabs, RightEdgeSelectsTheLastTab)
{
  auto* interval = Attach(MakeInterval());
  // The edge itself computes index 12, one past the last: it is clamped.
  interval->OnMouseDown(kIntervalRect.R, kIntervalRect.MH(), LeftButton());
  EXPECT_EQ(interval->GetValue(), 1.0);
  EXPECT_EQ(interval->SelectedIndex(), 11);
  EXPECT_EQ(plug->GetParam(kInterval)->Value(), 11.0);
}

TEST_F(LEDTabs, WithoutLabelsNothingIsDrawnAndClicksAreIgnored)
{
  auto* empty = Attach(new LEDTabSwitchControl(kOctaveRect, kOctave, {}, UIColors::pitchLED,
                                               UIColors::paleGhost));
  const double before = empty->GetValue();
  Click(kOctaveRect.MW(), kOctaveRect.MH());
  EXPECT_EQ(empty->GetValue(), before);

  const float phase = empty->Phase();
  canvas.RunFrames(1);
  EXPECT_FALSE(FindInk(canvas).any);
  // The phase still moves, but the control does not ask to be drawn again.
  EXPECT_FLOAT_EQ(empty->Phase(), phase + 0.008f);
  EXPECT_EQ(canvas.RunFrames(2), 0);
}

TEST_F(LEDTabs, ConstructionDrawsStainSeedPhaseAndSlotsInOrder)
{
  std::srand(1234);
  const int seed = std::rand() % 10000;
  const float phase = static_cast<float>(std::rand() % 1000) * 0.00628f;
  const float level0 = static_cast<float>(std::rand() % 100) * 0.003f + 0.7f;
  for (int i = 0; i < 2; ++i)
    std::rand();
  const float timer0 = static_cast<float>(std::rand() % 1000) * 0.002f;

  std::srand(1234);
  auto* tabs = Attach(MakeInterval());
  EXPECT_EQ(tabs->StainSeed(), seed);
  EXPECT_EQ(tabs->Phase(), phase);
  EXPECT_EQ(tabs->SlotLevel(0), level0);
  EXPECT_EQ(tabs->SlotTimer(0), timer0);
  EXPECT_GE(tabs->SlotLevel(15), 0.7f);
  EXPECT_LT(tabs->SlotLevel(15), 1.0f);
}

TEST_F(LEDTabs, OnlyTheSelectedSlotFlickersAndItKeepsAnimating)
{
  auto* tabs = Attach(MakeInterval());
  tabs->SetValue(5.0 / 11.0);
  const float other = tabs->SlotTimer(0);
  EXPECT_EQ(canvas.RunFrames(3), 3);
  EXPECT_EQ(tabs->SlotTimer(0), other);
}

TEST_F(LEDTabs, SelectedTabCarriesALitLED)
{
  ASSERT_TRUE(LoadTestFont(canvas));
  Attach(new IPanelControl(IRECT(0, 0, 1200, 800), COLOR_BLACK));
  auto* tabs = Attach(MakeInterval());
  tabs->SetValue(5.0 / 11.0);
  canvas.RunFrames(1);

  const float w = kIntervalRect.W() / 12.f;
  auto ledAt = [&](int i) {
    // Beside the glint and the shade, inside the core of radius 3.
    const float cx = kIntervalRect.L + (static_cast<float>(i) + 0.5f) * w;
    return canvas.GetPixel(static_cast<int>(cx) + 1, static_cast<int>(kIntervalRect.T + 9.f) - 2);
  };
  const IColor lit = ledAt(5);
  EXPECT_GT(lit.G, 100) << lit.R << " " << lit.G << " " << lit.B;
  EXPECT_GT(lit.B, 110);
  EXPECT_GT(lit.B, lit.R + 40);
  for (int i : {0, 4, 6, 11}) {
    const IColor dark = ledAt(i);
    EXPECT_LT(dark.G, 70) << "tab " << i;
    EXPECT_LT(dark.B, 70) << "tab " << i;
  }
}

} // namespace
} // namespace umbra::ui::test
