// The editor's layout over the real plug-in: representative controls' rectangles, parameters,
// tags and attachment order, and the background picture under them.

#include <cstdlib>
#include <string>

#include "Controls/IBitmapControl.h"
#include "Controls/ITextControl.h"
#include "HauntedMeterControl.h"
#include "ICanvasFactory.h"
#include "LEDTabSwitchControl.h"
#include "RoutingTestHelpers.h"
#include "UmbravoxLayout.h"
#include "UmbravoxTheme.h"
#include "WeatheredSliderControl.h"
#include "WhisperModeButton.h"

namespace umbra::ui::test {
namespace {

class Layout : public EditorFixture {
protected:
  void SetUp() override
  {
    LayoutUmbravoxEditor(canvas, *plug,
                         UmbravoxLiveValues{&plug->mTempo, &plug->mInputPeakDb, &plug->mOutputPeakDb});
  }

  int IndexOf(const IControl* control) const
  {
    for (int i = 0; i < canvas.NControls(); ++i)
      if (canvas.GetControl(i) == control)
        return i;
    return -1;
  }

  // The label text of the control at idx, or "" when it is not a text control.
  std::string TextAt(int idx) const
  {
    const auto* text = dynamic_cast<const ITextControl*>(canvas.GetControl(idx));
    return text ? text->GetStr() : "";
  }

  // The first control of type T at or after index from.
  template <typename T>
  int FindFrom(int from) const
  {
    for (int i = from; i < canvas.NControls(); ++i)
      if (dynamic_cast<const T*>(canvas.GetControl(i)))
        return i;
    return -1;
  }
};

TEST_F(Layout, InputColumnIsLabelSliderCaptionMeterThenScale)
{
  IControl* slider = canvas.GetControlWithParamIdx(kInput);
  ASSERT_NE(slider, nullptr);
  ASSERT_NE(dynamic_cast<WeatheredSliderControl*>(slider), nullptr);
  EXPECT_EQ(slider->GetRECT(), IRECT(35, 155, 85, 720));
  EXPECT_EQ(slider->GetGroup(), "");

  const int i = IndexOf(slider);
  EXPECT_EQ(TextAt(i - 1), "INPUT");
  EXPECT_EQ(canvas.GetControl(i - 1)->GetRECT(), IRECT(20, 120, 140, 145));

  auto* caption = dynamic_cast<ICaptionControl*>(canvas.GetControl(i + 1));
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->GetParamIdx(), kInput);
  EXPECT_EQ(caption->GetRECT(), IRECT(20, 730, 100, 755));

  IControl* meter = canvas.GetControl(i + 2);
  EXPECT_EQ(meter, canvas.GetControlWithTag(kCtrlTagInputMeter));
  EXPECT_EQ(meter->GetRECT(), IRECT(95, 175, 135, 720));

  // The dB ruler, 15 pixels high, 0 centred at 175.5 and -48 at 611.5.
  EXPECT_EQ(TextAt(i + 3), "0");
  EXPECT_EQ(canvas.GetControl(i + 3)->GetRECT(), IRECT(138, 168, 173, 183));
  EXPECT_EQ(canvas.GetControl(i + 3)->GetRECT().MH(), 175.5f);
  EXPECT_EQ(TextAt(i + 7), "-48");
  EXPECT_EQ(canvas.GetControl(i + 7)->GetRECT().MH(), 611.5f);
}

TEST_F(Layout, MetersCarryTheirTagsAndTheRestNone)
{
  auto* input = dynamic_cast<HauntedMeterControl*>(canvas.GetControlWithTag(kCtrlTagInputMeter));
  auto* output = dynamic_cast<HauntedMeterControl*>(canvas.GetControlWithTag(kCtrlTagOutputMeter));
  ASSERT_NE(input, nullptr);
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(output->GetRECT(), IRECT(1065, 175, 1105, 720));
  // The third tag is the header's preset name display.
  EXPECT_NE(canvas.GetControlWithTag(kCtrlTagPresetName), nullptr);

  // The output column puts its meter before its slider.
  IControl* outSlider = canvas.GetControlWithParamIdx(kOutput);
  ASSERT_NE(outSlider, nullptr);
  EXPECT_EQ(outSlider->GetRECT(), IRECT(1115, 155, 1165, 720));
  EXPECT_EQ(IndexOf(outSlider), IndexOf(output) + 1);
  EXPECT_EQ(TextAt(IndexOf(output) - 1), "OUTPUT");
}

TEST_F(Layout, CentreRowIsLabelSliderAndShorterCaption)
{
  IControl* slider = canvas.GetControlWithParamIdx(kPossess);
  ASSERT_NE(dynamic_cast<WeatheredSliderControl*>(slider), nullptr);
  EXPECT_EQ(slider->GetRECT(), IRECT(425, 208, 775, 248));
  const int i = IndexOf(slider);
  EXPECT_EQ(TextAt(i - 1), "Possess");
  EXPECT_EQ(canvas.GetControl(i - 1)->GetRECT(), IRECT(315, 208, 420, 248));
  auto* caption = dynamic_cast<ICaptionControl*>(canvas.GetControl(i + 1));
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->GetParamIdx(), kPossess);
  EXPECT_EQ(caption->GetRECT(), IRECT(785, 216, 845, 240));
  EXPECT_EQ(TextAt(i + 2), "Freeze");
}

TEST_F(Layout, WhisperRowIsSplitWithModeAndResonance)
{
  IControl* whisper = canvas.GetControlWithParamIdx(kWhisper);
  ASSERT_NE(dynamic_cast<WeatheredSliderControl*>(whisper), nullptr);
  const int i = IndexOf(whisper);
  EXPECT_EQ(TextAt(i - 1), "Whisper");
  EXPECT_EQ(canvas.GetControl(i - 1)->GetRECT(), IRECT(315, 412, 420, 452));
  EXPECT_EQ(whisper->GetRECT(), IRECT(425, 412, 495, 452));

  auto* caption = dynamic_cast<ICaptionControl*>(canvas.GetControl(i + 1));
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->GetParamIdx(), kWhisper);
  EXPECT_EQ(caption->GetRECT(), IRECT(500, 420, 550, 444));

  auto* mode = dynamic_cast<WhisperModeButton*>(canvas.GetControl(i + 2));
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(mode->GetParamIdx(), kWhisperMode);
  EXPECT_EQ(mode->GetRECT(), IRECT(555, 417, 620, 447));

  EXPECT_EQ(TextAt(i + 3), "Res");
  EXPECT_EQ(canvas.GetControl(i + 3)->GetRECT(), IRECT(620, 420, 670, 444));

  auto* res = dynamic_cast<WeatheredSliderControl*>(canvas.GetControl(i + 4));
  ASSERT_NE(res, nullptr);
  EXPECT_EQ(res->GetParamIdx(), kResonance);
  EXPECT_EQ(res->GetRECT(), IRECT(675, 412, 775, 452));
  // No caption follows the resonance: the Mix row does.
  EXPECT_EQ(TextAt(i + 5), "Mix");
}

TEST_F(Layout, LEDTabsSitInThePitchPanelWithTheirLabels)
{
  const int octave = FindFrom<LEDTabSwitchControl>(0);
  ASSERT_GE(octave, 0);
  auto* oct = static_cast<LEDTabSwitchControl*>(canvas.GetControl(octave));
  EXPECT_EQ(oct->GetParamIdx(), kOctave);
  EXPECT_EQ(oct->GetRECT(), IRECT(425, 598, 775, 633));
  EXPECT_EQ(oct->NumLabels(), 5);
  EXPECT_EQ(TextAt(octave - 1), "Octave");
  EXPECT_EQ(TextAt(octave - 2), "PITCH SHIFT");

  const int interval = FindFrom<LEDTabSwitchControl>(octave + 1);
  ASSERT_EQ(interval, octave + 2);
  auto* itv = static_cast<LEDTabSwitchControl*>(canvas.GetControl(interval));
  EXPECT_EQ(itv->GetParamIdx(), kInterval);
  EXPECT_EQ(itv->GetRECT(), IRECT(340, 653, 860, 688));
  EXPECT_EQ(itv->NumLabels(), 12);
  EXPECT_EQ(TextAt(interval - 1), "Interval");
  EXPECT_EQ(canvas.GetControl(interval - 1)->GetRECT(), IRECT(240, 648, 335, 688));

  // The interval's value 5/11 selects its sixth label, "P4".
  itv->SetValue(5.0 / 11.0);
  EXPECT_EQ(itv->SelectedIndex(), 5);

  // Fine's caption closes the panel; only the two popups come after it.
  IControl* fine = canvas.GetControlWithParamIdx(kFine);
  ASSERT_NE(fine, nullptr);
  EXPECT_EQ(fine->GetRECT(), IRECT(425, 703, 775, 743));
  EXPECT_EQ(canvas.GetControl(canvas.NControls() - 3)->GetRECT(), IRECT(785, 711, 845, 731));
}

TEST_F(Layout, BackgroundAndHeaderComeFirst)
{
  // The panel, then the picture over the whole window.
  auto* picture = dynamic_cast<IBitmapControl*>(canvas.GetControl(1));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->GetRECT(), IRECT(0, 0, 1200, 800));
  EXPECT_TRUE(picture->GetBitmap().IsValid());
  EXPECT_NE(canvas.GetCornerResizer(), nullptr);

  // The title precedes the input column.
  const int input = IndexOf(canvas.GetControlWithParamIdx(kInput));
  // Title, ghost icon, preset icon and preset name, then the input column.
  EXPECT_EQ(TextAt(input - 5), "Umbra Vox");
  EXPECT_EQ(canvas.GetControl(input - 5)->GetRECT(), IRECT(0, 8, 1200, 55));
}

TEST_F(Layout, BackgroundPictureShowsThroughTheEmptyParts)
{
  canvas.RunFrames(1);
  // Written for a developer to look at; not compared.
  canvas.SavePNG("/tmp/umbravox_editor.png");

  // The same picture alone, at the same size.
  ICanvasHeadless alone(1200, 800);
  const IBitmap picture = alone.LoadBitmap("background_ghost.png");
  ASSERT_TRUE(picture.IsValid());
  alone.RenderFrame([&](ICanvas& c) {
    c.FillRect(kEditorPanelColor, IRECT(0, 0, 1200, 800));
    c.DrawBitmap(picture, IRECT(0, 0, 1200, 800), 0, 0);
  });

  // A bright patch of the picture (the moon) between the title and the Haunt caption, where no
  // control but the overlays draws.
  double toPicture = 0.0;
  double toPanel = 0.0;
  int n = 0;
  for (int y = 70; y < 112; y += 3)
    for (int x = 820; x < 862; x += 3) {
      const IColor got = canvas.GetPixel(x, y);
      const IColor want = alone.GetPixel(x, y);
      toPicture += std::abs(got.R - want.R) + std::abs(got.G - want.G) + std::abs(got.B - want.B);
      toPanel += std::abs(got.R - kEditorPanelColor.R) + std::abs(got.G - kEditorPanelColor.G) +
                 std::abs(got.B - kEditorPanelColor.B);
      ++n;
    }
  // The translucent overlays (whose random marks depend on what ran before) tint the picture a
  // little; the bare panel is far darker.
  SCOPED_TRACE("to picture " + std::to_string(toPicture / n) + ", to panel " +
               std::to_string(toPanel / n));
  EXPECT_GT(toPanel / n, 150.0);
  EXPECT_LT(toPicture, 0.25 * toPanel);
}

// The plug-in opens this editor by itself, as a host asks it to: its constructor installed the
// make-graphics and layout functions.
TEST(EditorInstall, ANewInstanceOpensTheUmbravoxEditor)
{
  SetDefaultPlatform(EPlatform::kHeadless);
  std::unique_ptr<Umbravox> plug(MakePlug());
  plug->OpenWindow(nullptr); // a windowless editor has no view to hand back
  auto* opened = dynamic_cast<ICanvas*>(plug->GetUI());
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(opened->Width(), 1200);
  EXPECT_EQ(opened->Height(), 800);
  EXPECT_NE(opened->GetControlWithParamIdx(kHaunt), nullptr);
  EXPECT_NE(opened->GetControlWithTag(kCtrlTagInputMeter), nullptr);
  plug->CloseWindow();
  EXPECT_EQ(plug->GetUI(), nullptr);
}

} // namespace
} // namespace umbra::ui::test
