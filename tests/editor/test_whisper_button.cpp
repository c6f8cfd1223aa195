// The whisper mode button: toggling around 0.5, its two labels and lamp colours, the order of its
// random draws and the lamp it draws.

#include <cstdlib>

#include "Controls/IPanelControl.h"
#include "RoutingTestHelpers.h"
#include "UmbravoxTheme.h"
#include "WhisperModeButton.h"

namespace umbra::ui::test {
namespace {

using WhisperButton = EditorFixture;

// Its place in the Whisper row.
const IRECT kButtonRect(555, 417, 620, 447);

WhisperModeButton* MakeButton()
{
  return new WhisperModeButton(kButtonRect, kWhisperMode, UIColors::paleGhost);
}

TEST_F(WhisperButton, ExactlyHalfIsWindAndAClickSetsGhost)
{
  auto* button = Attach(MakeButton());
  button->SetValue(0.5);
  EXPECT_STREQ(WhisperModeButton::LabelFor(button->GetValue()), "Wind");
  Click(kButtonRect.L + 2.f, kButtonRect.T + 2.f);
  EXPECT_EQ(button->GetValue(), 1.0);
  EXPECT_STREQ(WhisperModeButton::LabelFor(button->GetValue()), "Ghost");
  EXPECT_EQ(plug->GetParam(kWhisperMode)->Value(), 1.0);
}

TEST_F(WhisperButton, EveryClickToggles)
{
  auto* button = Attach(MakeButton());
  button->SetValue(0.0);
  Click(kButtonRect.R - 2.f, kButtonRect.B - 2.f);
  EXPECT_EQ(button->GetValue(), 1.0);
  Click(kButtonRect.MW(), kButtonRect.MH());
  EXPECT_EQ(button->GetValue(), 0.0);
  EXPECT_EQ(plug->GetParam(kWhisperMode)->Value(), 0.0);
  button->SetValue(0.51);
  Click(kButtonRect.MW(), kButtonRect.MH());
  EXPECT_EQ(button->GetValue(), 0.0);
}

TEST_F(WhisperButton, LabelsAreTheButtonsOwnNotTheParameters)
{
  EXPECT_STREQ(WhisperModeButton::LabelFor(0.0), "Wind");
  EXPECT_STREQ(WhisperModeButton::LabelFor(1.0), "Ghost");
  EXPECT_STREQ(WhisperModeButton::LabelFor(0.5), "Wind");
  EXPECT_EQ(WhisperModeButton::LampColorFor(1.0), IColor(255, 80, 100, 180));
  EXPECT_EQ(WhisperModeButton::LampColorFor(0.5), IColor(255, 100, 80, 160));
}

TEST_F(WhisperButton, ConstructionDrawsTimerIntervalSeedAndPhaseInOrder)
{
  std::srand(99);
  const float timer = 2.f * (static_cast<float>(std::rand() % 1000) * 0.001f);
  std::rand();
  const int seed = std::rand() % 10000;
  const float phase = static_cast<float>(std::rand() % 1000) * 0.00628f;

  std::srand(99);
  auto* button = Attach(MakeButton());
  EXPECT_EQ(button->Timer(), timer);
  EXPECT_EQ(button->StainSeed(), seed);
  EXPECT_EQ(button->Phase(), phase);
  EXPECT_EQ(button->Level(), 0.8f);
}

TEST_F(WhisperButton, LampColourFollowsTheModeOnTheNextFrame)
{
  ASSERT_TRUE(LoadTestFont(canvas));
  Attach(new IPanelControl(IRECT(0, 0, 1200, 800), COLOR_BLACK));
  auto* button = Attach(MakeButton());
  // A pixel of the core beside the glint and the shade.
  const int x = static_cast<int>(kButtonRect.L + 14.f) + 2;
  const int y = static_cast<int>(kButtonRect.MH()) - 3;

  button->SetValue(1.0);
  EXPECT_EQ(canvas.RunFrames(2), 2);
  const IColor ghost = canvas.GetPixel(x, y);
  EXPECT_GT(ghost.B, ghost.R + 40) << ghost.R << " " << ghost.G << " " << ghost.B;
  EXPECT_GT(ghost.G, ghost.R);

  button->SetValue(0.0);
  canvas.RunFrames(1);
  const IColor wind = canvas.GetPixel(x, y);
  EXPECT_GT(wind.R, wind.G) << wind.R << " " << wind.G << " " << wind.B;
  EXPECT_GT(wind.B, wind.R);
}

} // namespace
} // namespace umbra::ui::test
