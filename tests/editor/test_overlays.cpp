// The animated overlays: their shared counters, the level factor and the candidate counts of the
// glitch, the glow's breathing with the tempo, and that all four draw at any level.

#include "Controls/IPanelControl.h"
#include "DrawingTestHelpers.h"
#include "RoutingTestHelpers.h"
#include "UmbravoxOverlays.h"
#include "UmbravoxTheme.h"

namespace umbra::ui::test {
namespace {

const IRECT kWindow(0, 0, 1200, 800);

class Overlays : public EditorFixture {
protected:
  // The counters are process-wide; put them back so that other tests drawing overlays see the
  // same animation phase whether or not these ran first.
  Overlays()
    : mGlow(overlays::GlowFrame()), mFog(overlays::FogTime()), mDust(overlays::DustFrame()),
      mGlitch(overlays::GlitchFrame())
  {
  }
  ~Overlays() override
  {
    overlays::GlowFrame() = mGlow;
    overlays::FogTime() = mFog;
    overlays::DustFrame() = mDust;
    overlays::GlitchFrame() = mGlitch;
  }

  // The four overlays as the editor attaches them, over the plug-in's live values.
  void AttachAll()
  {
    Umbravox& p = *plug;
    Attach(CreateHauntedGlowOverlay(kWindow, UIColors::glowPurple, &p.mTempo, &p.mInputPeakDb,
                                    &p.mOutputPeakDb));
    Attach(CreateDriftingFogOverlay(kWindow, UIColors::paleGhost, UIColors::glowPurple,
                                    &p.mTempo, &p.mOutputPeakDb));
    Attach(CreateFallingDustOverlay(kWindow, UIColors::paleGhost, UIColors::glowPurple,
                                    &p.mTempo, &p.mInputPeakDb));
    Attach(CreateHauntedGlitchOverlay(kWindow, UIColors::paleGhost, UIColors::glowPurple,
                                      &p.mTempo, &p.mOutputPeakDb));
  }

private:
  int mGlow;
  float mFog;
  int mDust;
  int mGlitch;
};

TEST(OverlayLevel, FactorRunsFromSilenceToFullScale)
{
  EXPECT_EQ(overlays::LevelFactor(-60.f), 0.f);
  EXPECT_EQ(overlays::LevelFactor(-90.f), 0.f);
  EXPECT_EQ(overlays::LevelFactor(-30.f), 0.5f);
  EXPECT_EQ(overlays::LevelFactor(0.f), 1.f);
  EXPECT_EQ(overlays::LevelFactor(6.f), 1.f);
}

TEST(OverlayLevel, GlitchCandidatesGrowWithTheLevel)
{
  const auto quiet = overlays::GlitchCandidateCounts(overlays::LevelFactor(-60.f));
  EXPECT_EQ(quiet.tears, 3);
  EXPECT_EQ(quiet.verticalTears, 1);
  EXPECT_EQ(quiet.specks, 15);
  const auto loud = overlays::GlitchCandidateCounts(overlays::LevelFactor(0.f));
  EXPECT_EQ(loud.tears, 6);
  EXPECT_EQ(loud.verticalTears, 3);
  EXPECT_EQ(loud.specks, 23);
}

TEST(OverlayHash, KeepsTheSignAndStaysInsideOne)
{
  bool negative = false, positive = false;
  for (int i = 0; i < 200; ++i) {
    const float h = overlays::Hash(0.37f * static_cast<float>(i));
    EXPECT_GT(h, -1.f);
    EXPECT_LT(h, 1.f);
    negative |= h < 0.f;
    positive |= h > 0.f;
  }
  EXPECT_TRUE(negative);
  EXPECT_TRUE(positive);
}

TEST(OverlayGlow, BreathesOncePerFourBeats)
{
  // 120 bpm: one cycle in 2 s, 125 frames of 0.016 s.
  for (int f : {1, 17, 40, 90})
    EXPECT_NEAR(overlays::GlowAlpha(f, 120.f, 0.f), overlays::GlowAlpha(f + 125, 120.f, 0.f),
                1e-4f);
  // A quarter of the way through it is brightest, three quarters darkest.
  EXPECT_GT(overlays::GlowAlpha(31, 120.f, 0.f), overlays::GlowAlpha(94, 120.f, 0.f) + 0.07f);
  // Twice the tempo, twice the rate.
  for (int f : {3, 20, 50})
    EXPECT_NEAR(overlays::GlowAlpha(f, 240.f, 0.f), overlays::GlowAlpha(2 * f, 120.f, 0.f),
                1e-4f);
}

TEST(OverlayGlow, SilenceStaysFaintAndFullLevelIsHalfAgainBrighter)
{
  for (int f = 1; f <= 125; ++f) {
    const float quiet = overlays::GlowAlpha(f, 120.f, overlays::LevelFactor(-60.f));
    EXPECT_GE(quiet, 0.1f - 1e-6f);
    EXPECT_LE(quiet, 0.18f + 1e-6f);
    EXPECT_FLOAT_EQ(overlays::GlowAlpha(f, 120.f, overlays::LevelFactor(3.f)), 1.5f * quiet);
  }
}

TEST_F(Overlays, AreLoopingAnimationsThatIgnoreTheMouse)
{
  auto* glow = Attach(CreateHauntedGlowOverlay(kWindow, UIColors::glowPurple, &plug->mTempo,
                                               &plug->mInputPeakDb, &plug->mOutputPeakDb));
  EXPECT_TRUE(glow->GetIgnoreMouse());
  EXPECT_TRUE(glow->GetAnimationFunction());
  EXPECT_EQ(glow->GetParamIdx(), kNoParameter);
  EXPECT_EQ(canvas.RunFrames(5), 5);
  EXPECT_TRUE(glow->GetAnimationFunction());
}

TEST_F(Overlays, EachCounterAdvancesOncePerDrawingOfEachInstance)
{
  AttachAll();
  const int glow = overlays::GlowFrame();
  const float fog = overlays::FogTime();
  const int dust = overlays::DustFrame();
  const int glitch = overlays::GlitchFrame();
  canvas.RunFrames(3);
  EXPECT_EQ(overlays::GlowFrame(), glow + 3);
  EXPECT_NEAR(overlays::FogTime(), fog + 0.048f, 1e-4f);
  EXPECT_EQ(overlays::DustFrame(), dust + 3);
  EXPECT_EQ(overlays::GlitchFrame(), glitch + 3);

  // A second glow shares the counter, which then moves twice per frame.
  Attach(CreateHauntedGlowOverlay(kWindow, UIColors::glowPurple, &plug->mTempo,
                                  &plug->mInputPeakDb, &plug->mOutputPeakDb));
  canvas.RunFrames(2);
  EXPECT_EQ(overlays::GlowFrame(), glow + 7);
  EXPECT_EQ(overlays::DustFrame(), dust + 5);
}

TEST_F(Overlays, DrawAtSilenceAndAtFullLevel)
{
  AttachAll();
  for (float db : {-60.f, -120.f, 0.f, 12.f}) {
    plug->mInputPeakDb = db;
    plug->mOutputPeakDb = db;
    EXPECT_NO_THROW(canvas.RunFrames(4)) << db;
    const Ink ink = FindInk(canvas);
    EXPECT_TRUE(ink.any) << db;
  }
}

TEST_F(Overlays, LouderOutputBrightensTheGlow)
{
  Attach(new IPanelControl(kWindow, COLOR_BLACK));
  Attach(CreateHauntedGlowOverlay(kWindow, UIColors::glowPurple, &plug->mTempo,
                                  &plug->mInputPeakDb, &plug->mOutputPeakDb));
  // The bottom edge, where the glow is strongest.
  overlays::GlowFrame() = 30;
  canvas.RunFrames(1);
  const IColor quiet = canvas.GetPixel(600, 799);
  plug->mOutputPeakDb = 0.f;
  plug->mInputPeakDb = -60.f;
  overlays::GlowFrame() = 30;
  canvas.RunFrames(1);
  const IColor loud = canvas.GetPixel(600, 799);
  EXPECT_GT(loud.B, quiet.B + 10) << quiet.B << " " << loud.B;
  // The input level plays no part in the glow.
  plug->mInputPeakDb = 0.f;
  overlays::GlowFrame() = 30;
  canvas.RunFrames(1);
  EXPECT_EQ(canvas.GetPixel(600, 799), loud);
}

TEST_F(Overlays, GlowFollowsTheHostTempo)
{
  Attach(new IPanelControl(kWindow, COLOR_BLACK));
  Attach(CreateHauntedGlowOverlay(kWindow, UIColors::glowPurple, &plug->mTempo,
                                  &plug->mInputPeakDb, &plug->mOutputPeakDb));
  auto topAt = [&](float bpm) {
    plug->mTempo = bpm;
    overlays::GlowFrame() = 30; // the next drawing is frame 31
    canvas.RunFrames(1);
    return canvas.GetPixel(600, 0);
  };
  auto expectedBlue = [](float bpm) {
    const float a = overlays::GlowAlpha(31, bpm, 0.f);
    return static_cast<float>(static_cast<int>(255.f * a)) / 255.f *
           static_cast<float>(UIColors::glowPurple.B);
  };
  // 120 bpm is at the top of its breath; 240 half a cycle further; 360 three quarters, at its faintest.
  const IColor at120 = topAt(120.f);
  const IColor at240 = topAt(240.f);
  const IColor at360 = topAt(360.f);
  EXPECT_NEAR(at120.B, expectedBlue(120.f), 2.f);
  EXPECT_NEAR(at240.B, expectedBlue(240.f), 2.f);
  EXPECT_NEAR(at360.B, expectedBlue(360.f), 2.f);
  EXPECT_GT(at120.B, at240.B);
  EXPECT_GT(at240.B, at360.B);
}

TEST_F(Overlays, FogIgnoresTheTempo)
{
  Attach(new IPanelControl(kWindow, COLOR_BLACK));
  Attach(CreateDriftingFogOverlay(kWindow, UIColors::paleGhost, UIColors::glowPurple,
                                  &plug->mTempo, &plug->mOutputPeakDb));
  auto render = [&](float bpm) {
    plug->mTempo = bpm;
    overlays::FogTime() = 12.f;
    canvas.RunFrames(1);
    std::vector<IColor> px;
    for (int y = 0; y < 800; y += 37)
      for (int x = 0; x < 1200; x += 41)
        px.push_back(canvas.GetPixel(x, y));
    return px;
  };
  const auto slow = render(60.f);
  const auto fast = render(200.f);
  EXPECT_EQ(slow, fast);
  bool lit = false;
  for (const IColor& c : slow)
    lit |= c.R > 0;
  EXPECT_TRUE(lit);
}

TEST_F(Overlays, DustFallsFasterAtAHigherTempo)
{
  Attach(new IPanelControl(kWindow, COLOR_BLACK));
  Attach(CreateFallingDustOverlay(kWindow, UIColors::paleGhost, UIColors::glowPurple,
                                  &plug->mTempo, &plug->mInputPeakDb));
  auto render = [&](float bpm, int frame) {
    plug->mTempo = bpm;
    overlays::DustFrame() = frame - 1;
    canvas.RunFrames(1);
    std::vector<IColor> px;
    for (int y = 0; y < 800; y += 3)
      for (int x = 0; x < 1200; x += 3)
        px.push_back(canvas.GetPixel(x, y));
    return px;
  };
  // Motes sit where the beat time puts them, so the pictures differ between tempos at the
  // same frame.
  EXPECT_NE(render(120.f, 200), render(240.f, 200));
}

} // namespace
} // namespace umbra::ui::test
