// The header: the two icon buttons (toggling their popups, hover, pulse, the update badge) and
// the preset name display, over real plug-ins in a headless editor.

#include <cmath>

#include "GhostIconButton.h"
#include "PopupTestHelpers.h"
#include "PresetIconButton.h"

namespace umbra::test {
namespace {

using namespace ui;

template <typename T>
T* Find(ICanvas& g)
{
  for (int i = 0; i < g.NControls(); ++i)
    if (auto* c = dynamic_cast<T*>(g.GetControl(i)))
      return c;
  return nullptr;
}

class Header : public ::testing::Test {
protected:
  Header() : plug(MakePlug()), editor(*plug) { editor.AttachHeaderAndPopups(); }

  std::unique_ptr<Umbravox> plug;
  PopupEditor editor;
};

TEST_F(Header, IconsAndNameInTheirPlaces)
{
  ICanvas& g = editor.canvas;
  auto* ghost = Find<GhostIconButton>(g);
  auto* presets = Find<PresetIconButton>(g);
  ASSERT_NE(ghost, nullptr);
  ASSERT_NE(presets, nullptr);
  EXPECT_EQ(ghost->GetRECT(), IRECT(12, 10, 48, 46));
  EXPECT_EQ(presets->GetRECT(), IRECT(1152, 10, 1188, 46));
  EXPECT_TRUE(ghost->GetBitmap().IsValid());
  EXPECT_TRUE(presets->GetBitmap().IsValid());
  EXPECT_EQ(ghost->GetParamIdx(), ui::kNoParameter);

  auto* name = dynamic_cast<PresetNameControl*>(g.GetControlWithTag(kCtrlTagPresetName));
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name, editor.Name());
  EXPECT_EQ(name->GetRECT(), IRECT(1000, 18, 1146, 40));
  EXPECT_STREQ(name->GetStr(), "Init");
  EXPECT_EQ(name->GetText().mAlign, kAlignFar);
  EXPECT_EQ(name->GetText().mSize, 14.f);

  // The popups lie over everything, the preset browser topmost, both hidden.
  ASSERT_NE(editor.About(), nullptr);
  ASSERT_NE(editor.Presets(), nullptr);
  EXPECT_EQ(g.GetControl(g.NControls() - 2), editor.About());
  EXPECT_EQ(g.GetControl(g.NControls() - 1), editor.Presets());
  EXPECT_FALSE(editor.About()->IsVisible());
  EXPECT_FALSE(editor.Presets()->IsOpen());
  EXPECT_TRUE(editor.About()->GetTargetRECT().Empty());
  EXPECT_TRUE(editor.Presets()->GetTargetRECT().Empty());
}

TEST_F(Header, GhostIconTogglesTheAboutPopup)
{
  editor.Click(30, 28);
  EXPECT_TRUE(editor.About()->IsVisible());
  EXPECT_EQ(editor.About()->GetTargetRECT(), editor.Bounds());
  // The popup now covers the icon; the second click, outside its panel, hides it as well.
  editor.Click(30, 28);
  EXPECT_FALSE(editor.About()->IsVisible());
  EXPECT_TRUE(editor.About()->GetTargetRECT().Empty());
  editor.Click(30, 28);
  EXPECT_TRUE(editor.About()->IsVisible());

  // The button itself toggles, whatever lies over it.
  auto* ghost = Find<GhostIconButton>(editor.canvas);
  ghost->OnMouseDown(30, 28, LeftMouse());
  EXPECT_FALSE(editor.About()->IsVisible());
  ghost->OnMouseDown(30, 28, LeftMouse());
  EXPECT_TRUE(editor.About()->IsVisible());
  ghost->OnMouseDown(30, 28, LeftMouse());
  EXPECT_FALSE(editor.About()->IsVisible());
}

TEST_F(Header, EachIconTogglesOnlyItsOwnPopup)
{
  auto* ghost = Find<GhostIconButton>(editor.canvas);
  auto* presets = Find<PresetIconButton>(editor.canvas);
  ghost->OnMouseDown(30, 28, LeftMouse());
  presets->OnMouseDown(1170, 28, LeftMouse());
  EXPECT_TRUE(editor.About()->IsVisible());
  EXPECT_TRUE(editor.Presets()->IsOpen());
  presets->OnMouseDown(1170, 28, LeftMouse());
  EXPECT_TRUE(editor.About()->IsVisible());
  EXPECT_FALSE(editor.Presets()->IsOpen());
  EXPECT_TRUE(editor.Presets()->GetTargetRECT().Empty());
}

TEST(HeaderAlone, IconsDoNothingWithoutTheirPopups)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  PopupEditor editor(*plug);
  AttachHeader(&editor.canvas, kEditorDesignWidth, plug.get());
  ASSERT_EQ(editor.About(), nullptr);
  ASSERT_EQ(editor.Presets(), nullptr);
  const int controls = editor.canvas.NControls();
  editor.Click(30, 28);
  editor.Click(1170, 28);
  EXPECT_EQ(editor.canvas.NControls(), controls);
  EXPECT_EQ(plug->CurrentPresetIndex(), 0);
}

TEST_F(Header, HoverGrowsTheIconAndBrightensTheHalo)
{
  auto* ghost = Find<GhostIconButton>(editor.canvas);
  editor.canvas.OnMouseOver(30, 28, IMouseMod());
  EXPECT_TRUE(ghost->IsHovered());
  editor.canvas.OnMouseOver(600, 400, IMouseMod());
  EXPECT_FALSE(ghost->IsHovered());

  EXPECT_EQ(HeaderIconButton::IconRect(IRECT(12, 10, 48, 46), false), IRECT(12, 10, 48, 46));
  const IRECT grown = HeaderIconButton::IconRect(IRECT(12, 10, 48, 46), true);
  EXPECT_FLOAT_EQ(grown.W(), 39.6f);
  EXPECT_FLOAT_EQ(grown.MW(), 30.f);
  EXPECT_FLOAT_EQ(grown.MH(), 28.f);
  // a = sin(1.5 phase) * 0.15 + 0.3 (+ 0.3 hovered), halo alpha 255 * a / 2.
  EXPECT_EQ(HeaderIconButton::HaloAlpha(0.f, false), 38);
  EXPECT_EQ(HeaderIconButton::HaloAlpha(0.f, true), 76);
  EXPECT_EQ(HeaderIconButton::HaloAlpha(3.14159265f / 3.f, false), 57);
}

TEST_F(Header, IconsPulseOncePerDrawing)
{
  auto* ghost = Find<GhostIconButton>(editor.canvas);
  auto* name = editor.Name();
  editor.canvas.RunFrames(3);
  // The name display animates every frame, and redraws the icons with it only where they meet;
  // the icons are drawn each time their area is redrawn.
  EXPECT_NEAR(name->Phase(), 0.15f, 1e-5f);
  const float before = ghost->Phase();
  ghost->SetDirty(false);
  editor.canvas.RunFrames(1);
  EXPECT_NEAR(ghost->Phase() - before, 0.05f, 1e-5f);
}

TEST(PresetName, GlowBreathesBetweenItsBounds)
{
  EXPECT_NEAR(PresetNameControl::GlowOpacity(0.f), 0.045f, 1e-6f);
  EXPECT_NEAR(PresetNameControl::GlowOpacity(3.14159265f / 2.f), 0.075f, 1e-6f);
  EXPECT_NEAR(PresetNameControl::GlowOpacity(3.f * 3.14159265f / 2.f), 0.015f, 1e-6f);

  // The phase turns over past 6.28318.
  PresetNameControl name(IRECT(0, 0, 100, 20), UIText::presetName, UIColors::glowPurple);
  for (int i = 0; i < 126; ++i)
    name.Animate();
  EXPECT_NEAR(name.Phase(), 126 * 0.05f - 6.28318f, 1e-4f);
  EXPECT_TRUE(name.IsDirty());
}

TEST(PresetName, WithoutAPluginTheNameStaysEmpty)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  PopupEditor editor(*plug);
  editor.AttachHeaderAndPopups(false);
  ASSERT_NE(editor.Name(), nullptr);
  EXPECT_STREQ(editor.Name()->GetStr(), "");
  editor.Name()->UpdatePresetName(nullptr);
  EXPECT_STREQ(editor.Name()->GetStr(), "");
  editor.Name()->UpdatePresetName(plug.get());
  EXPECT_STREQ(editor.Name()->GetStr(), "Init");
}

TEST(PresetName, AnUnnamedPresetShowsDefault)
{
  SmallPlug blank(SmallConfig(2, 1));
  blank.GetParam(0)->InitDouble("A", 0.5, 0.0, 1.0, 0.01);
  blank.GetParam(1)->InitDouble("B", 0.5, 0.0, 1.0, 0.01);
  const double values[2] = {0.25, 0.75};
  blank.MakePresetFromValues("", values, 2);
  blank.RestorePreset(0);
  ASSERT_STREQ(blank.GetPresetName(0), "");
  PopupEditor blankEditor(blank);
  blankEditor.AttachHeaderAndPopups();
  EXPECT_STREQ(blankEditor.Name()->GetStr(), "Default");

  // A plug-in without presets has no current preset name either.
  PresetsPlug none(0);
  PopupEditor noneEditor(none);
  noneEditor.AttachHeaderAndPopups();
  EXPECT_STREQ(noneEditor.Name()->GetStr(), "Default");
}

// ---------------------------------------------------------------------------------------------
// The update badge

// The ghost icon alone over black, drawn once in the given update state.
IColor BadgePixel(int state)
{
  CheckerReset reset;
  UpdateChecker::Get().mState.store(state);
  ICanvasHeadless canvas(100, 60);
  canvas.AttachPanelBackground(IPattern(COLOR_BLACK));
  // An empty bitmap: only the halo and the badge are drawn.
  canvas.AttachControl(new GhostIconButton(IRECT(12, 10, 48, 46), IBitmap()));
  canvas.RunFrames(1);
  return canvas.GetPixel(42, 16);
}

TEST(UpdateBadge, OnlyWhileAnUpdateIsAvailable)
{
  EXPECT_TRUE(GhostIconButton::ShowsBadge(UpdateChecker::kUpdateAvailable));
  const IColor badge = BadgePixel(UpdateChecker::kUpdateAvailable);
  // The badge's centre: (255, 100, 220, 120).
  EXPECT_NEAR(badge.R, 100, 3);
  EXPECT_NEAR(badge.G, 220, 3);
  EXPECT_NEAR(badge.B, 120, 3);

  for (int state : {UpdateChecker::kUpdateIdle, UpdateChecker::kUpdateChecking,
                    UpdateChecker::kUpdateUpToDate, UpdateChecker::kUpdateFailed}) {
    SCOPED_TRACE(state);
    EXPECT_FALSE(GhostIconButton::ShowsBadge(state));
    const IColor plain = BadgePixel(state);
    // Only the grey halo there.
    EXPECT_EQ(plain.R, plain.G);
    EXPECT_EQ(plain.G, plain.B);
    EXPECT_LT(plain.G, 100);
  }
}

// ---------------------------------------------------------------------------------------------
// The preset icon

TEST(PresetIcon, OpensOnTheCurrentPresetScrolledIntoView)
{
  PresetsPlug plug(20);
  PopupEditor editor(plug);
  editor.AttachHeaderAndPopups();

  plug.RestorePreset(15);
  editor.Click(1170, 28);
  ASSERT_TRUE(editor.Presets()->IsOpen());
  EXPECT_EQ(editor.Presets()->SelectedPreset(), 15);
  EXPECT_EQ(editor.Presets()->FirstVisibleRow(), 4);
  EXPECT_EQ(editor.Presets()->GetTargetRECT(), editor.Bounds());
  // Preset 15 is the last row shown.
  EXPECT_EQ(editor.Presets()->RowPreset(11), 15);

  editor.Press(27);
  ASSERT_FALSE(editor.Presets()->IsOpen());
  plug.RestorePreset(11);
  editor.Click(1170, 28);
  EXPECT_EQ(editor.Presets()->SelectedPreset(), 11);
  EXPECT_EQ(editor.Presets()->FirstVisibleRow(), 0);

  editor.Press(27);
  plug.RestorePreset(12);
  editor.Click(1170, 28);
  EXPECT_EQ(editor.Presets()->FirstVisibleRow(), 1);
  EXPECT_EQ(editor.Presets()->RowPreset(11), 12);
}

TEST(ShowPopup, OpensAsAClickOnTheIconWould)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  PopupEditor editor(*plug);
  editor.AttachHeaderAndPopups();
  plug->RestorePreset(3);

  EXPECT_FALSE(ShowEditorPopup(editor.canvas, "nothing"));
  EXPECT_FALSE(editor.About()->IsVisible());

  EXPECT_TRUE(ShowEditorPopup(editor.canvas, "presets"));
  EXPECT_TRUE(editor.Presets()->IsOpen());
  EXPECT_EQ(editor.Presets()->SelectedPreset(), 3);
  // Asked again, it stays open.
  EXPECT_TRUE(ShowEditorPopup(editor.canvas, "presets"));
  EXPECT_TRUE(editor.Presets()->IsOpen());
  editor.Press(27);

  EXPECT_TRUE(ShowEditorPopup(editor.canvas, "about"));
  EXPECT_TRUE(editor.About()->IsVisible());
  EXPECT_TRUE(ShowEditorPopup(editor.canvas, "about"));
  EXPECT_TRUE(editor.About()->IsVisible());

  // The About popup covers the preset icon; the browser opens all the same, over it.
  EXPECT_TRUE(ShowEditorPopup(editor.canvas, "presets"));
  EXPECT_TRUE(editor.Presets()->IsOpen());
  EXPECT_TRUE(editor.About()->IsVisible());
  // And the other way round.
  editor.Press(27);
  editor.Press(27);
  ASSERT_FALSE(editor.About()->IsVisible());
  ASSERT_FALSE(editor.Presets()->IsOpen());
  EXPECT_TRUE(ShowEditorPopup(editor.canvas, "presets"));
  EXPECT_TRUE(ShowEditorPopup(editor.canvas, "about"));
  EXPECT_TRUE(editor.Presets()->IsOpen());
  EXPECT_TRUE(editor.About()->IsVisible());

  // Without a header there is no icon to click.
  ICanvasHeadless bare(1200, 800);
  EXPECT_FALSE(ShowEditorPopup(bare, "about"));
}

} // namespace
} // namespace umbra::test
