// The control model: values and their parameters, dirty marking, what reaches the plug-in, the
// animation clock, and the ready-made controls.

#include <cmath>

#include "ControlTestHelpers.h"
#include "Controls/IBitmapControl.h"
#include "Controls/ILambdaControl.h"
#include "Controls/ISliderControlBase.h"
#include "Controls/ITextControl.h"

namespace umbra::ui::test {
namespace {

// The slider base leaves its look to each slider.
class TestSlider : public ISliderControlBase {
public:
  using ISliderControlBase::ISliderControlBase;
  void Draw(ICanvas&) override {}
};

class Controls : public ::testing::Test {
protected:
  Controls() { canvas.SetDelegate(plug); }

  template <typename T>
  T* Attach(T* control, int tag = -1)
  {
    canvas.AttachControl(control, tag);
    return control;
  }

  TestPlug plug;
  ICanvasHeadless canvas{100, 100};
};

// ---------------------------------------------------------------------------------------------
// Values and dirty

TEST_F(Controls, SetValueStoresUnclampedAndSetDirtyClamps)
{
  auto* c = Attach(new SwatchControl(IRECT(0, 0, 10, 10)));
  c->SetValue(1.7);
  EXPECT_DOUBLE_EQ(c->GetValue(), 1.7);
  c->SetDirty(false);
  EXPECT_DOUBLE_EQ(c->GetValue(), 1.0);
  c->SetValue(-0.3);
  c->SetDirty(false);
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.0);
}

TEST_F(Controls, OneValueControlTakesAnyValueIndexAsZero)
{
  int actions = 0;
  auto* c = Attach(new SwatchControl(IRECT(0, 0, 10, 10), kPlain));
  c->SetActionFunction([&](IControl*) { ++actions; });
  c->SetValue(1.5);
  c->SetDirty(true, 3);
  EXPECT_DOUBLE_EQ(c->GetValue(0), 1.0);
  ASSERT_EQ(plug.sent.size(), 1u);
  EXPECT_EQ(plug.sent[0].first, kPlain);
  EXPECT_DOUBLE_EQ(plug.sent[0].second, 1.0);
  EXPECT_EQ(actions, 1);
}

TEST_F(Controls, SetDirtyTrueSendsOnceAndUpdatesPeers)
{
  auto* mover = Attach(new SwatchControl(IRECT(0, 0, 10, 10), kPlain));
  auto* peer = Attach(new SwatchControl(IRECT(20, 0, 30, 10), kPlain));
  auto* other = Attach(new SwatchControl(IRECT(40, 0, 50, 10), kCurved));
  canvas.SetAllControlsClean();

  mover->SetValue(0.8);
  mover->SetDirty(true);

  ASSERT_EQ(plug.sent.size(), 1u);
  EXPECT_EQ(plug.sent[0], std::make_pair(int(kPlain), 0.8));
  EXPECT_NEAR(plug.GetParam(kPlain)->Value(), 80.0, 1e-9);
  EXPECT_DOUBLE_EQ(peer->GetValue(), 0.8);
  EXPECT_TRUE(peer->IsDirty());
  EXPECT_DOUBLE_EQ(other->GetValue(), 0.0);
  EXPECT_FALSE(other->IsDirty());
}

TEST_F(Controls, SetDirtyFalseSendsNothing)
{
  int actions = 0;
  auto* c = Attach(new SwatchControl(IRECT(0, 0, 10, 10), kPlain));
  c->SetActionFunction([&](IControl*) { ++actions; });
  c->SetValue(0.4);
  c->SetDirty(false);
  EXPECT_TRUE(plug.sent.empty());
  EXPECT_EQ(actions, 0);
}

TEST_F(Controls, ActionRunsForAControlWithoutParameter)
{
  int actions = 0;
  auto* c = Attach(new SwatchControl(IRECT(0, 0, 10, 10)));
  c->SetActionFunction([&](IControl*) { ++actions; });
  c->SetDirty(true);
  EXPECT_EQ(actions, 1);
  EXPECT_TRUE(plug.sent.empty());
}

TEST_F(Controls, UserInputOfTheStoredValueSendsNothing)
{
  int actions = 0;
  auto* c = Attach(new SwatchControl(IRECT(0, 0, 10, 10), kPlain));
  c->SetActionFunction([&](IControl*) { ++actions; });
  c->SetValueFromUserInput(0.25);
  EXPECT_EQ(plug.sent.size(), 1u);
  EXPECT_EQ(actions, 1);
  c->SetValueFromUserInput(0.25);
  EXPECT_EQ(plug.sent.size(), 1u);
  EXPECT_EQ(actions, 1);
}

TEST_F(Controls, DefaultGoesThroughShapeAndStep)
{
  auto* curved = Attach(new SwatchControl(IRECT(0, 0, 10, 10), kCurved));
  auto* stepped = Attach(new SwatchControl(IRECT(0, 0, 10, 10), kStepped));
  curved->SetValueToDefault();
  stepped->SetValueToDefault();
  // 25 of 0..100 on a square curve sits half way, not a quarter of the way.
  EXPECT_NEAR(curved->GetValue(), 0.5, 1e-9);
  // 3.4 rounds to the step: 3 of 0..10.
  EXPECT_NEAR(stepped->GetValue(), 0.3, 1e-9);
  // And both went to the plug-in.
  EXPECT_EQ(plug.sent.size(), 2u);
}

TEST_F(Controls, DelegateValueIsStoredWithoutSending)
{
  auto* c = Attach(new SwatchControl(IRECT(0, 0, 10, 10), kPlain));
  canvas.SetAllControlsClean();
  c->SetValueFromDelegate(0.6);
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.6);
  EXPECT_TRUE(c->IsDirty());
  EXPECT_TRUE(plug.sent.empty());
  // The same value again changes nothing, not even the dirty flag.
  c->SetClean();
  c->SetValueFromDelegate(0.6);
  EXPECT_FALSE(c->IsDirty());
}

TEST_F(Controls, SnapToMouseVertical)
{
  auto* c = Attach(new SwatchControl(IRECT(0, 0, 20, 300), kPlain));
  const IRECT track = c->GetRECT();
  c->SnapToMouse(10, track.B, kVertical, track);
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.0);
  c->SnapToMouse(10, track.T, kVertical, track);
  EXPECT_DOUBLE_EQ(c->GetValue(), 1.0);
  c->SnapToMouse(10, 100, kVertical, track);
  EXPECT_NEAR(c->GetValue(), 0.667, 1e-12);
  // Beyond the track clamps; horizontal reads x.
  c->SnapToMouse(10, 900, kVertical, track);
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.0);
  c->SnapToMouse(5, 0, kHorizontal, track);
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.25);
  EXPECT_EQ(plug.sent.size(), 5u);
}

TEST_F(Controls, LinkedToParamAndGetParam)
{
  auto* multi = Attach(new SwatchControl(IRECT(0, 0, 10, 10)));
  EXPECT_EQ(multi->GetParam(), nullptr);
  multi->SetParamIdx(kChoice);
  EXPECT_EQ(multi->LinkedToParam(kChoice), 0);
  EXPECT_EQ(multi->LinkedToParam(kPlain), -1);
  EXPECT_EQ(multi->GetParam(), plug.GetParam(kChoice));
  multi->SetParamIdx(99);
  EXPECT_EQ(multi->GetParam(), nullptr);
  EXPECT_THROW(multi->SetParamIdx(kPlain, 1), std::out_of_range);
}

TEST_F(Controls, HideDisableAndGeometry)
{
  auto* c = Attach(new SwatchControl(IRECT(10, 10, 30, 20)));
  c->SetClean();
  c->Hide(true);
  EXPECT_TRUE(c->IsHidden());
  EXPECT_TRUE(c->IsDirty());
  c->SetDisabled(true);
  EXPECT_FLOAT_EQ(c->GetBlend().mWeight, 0.25f);
  c->SetDisabled(false);
  EXPECT_FLOAT_EQ(c->GetBlend().mWeight, 1.f);

  c->SetTargetRECT(IRECT(5, 5, 35, 25));
  c->SetPosition(-4, 40);
  EXPECT_EQ(c->GetRECT(), IRECT(0, 40, 20, 50));
  EXPECT_EQ(c->GetTargetRECT(), IRECT(-5, 35, 25, 55));
  c->SetSize(8, 6);
  EXPECT_EQ(c->GetRECT(), IRECT(0, 40, 8, 46));
  EXPECT_EQ(c->GetTargetRECT(), c->GetRECT());
}

// ---------------------------------------------------------------------------------------------
// Slider wheel

TEST_F(Controls, WheelNudgesAPlainSlider)
{
  auto* s = Attach(new TestSlider(IRECT(0, 0, 20, 100), kPlain));
  s->SetValue(0.5);
  s->OnMouseWheel(0, 0, IMouseMod(), 1.f);
  EXPECT_NEAR(s->GetValue(), 0.51, 1e-12);
  IMouseMod shift;
  shift.S = true;
  s->OnMouseWheel(0, 0, shift, 1.f);
  EXPECT_NEAR(s->GetValue(), 0.511, 1e-12);
  IMouseMod control;
  control.C = true;
  s->OnMouseWheel(0, 0, control, -2.f);
  EXPECT_NEAR(s->GetValue(), 0.509, 1e-12);
  EXPECT_EQ(plug.sent.size(), 3u);
  // Clamped at the top.
  s->SetValue(0.995);
  s->OnMouseWheel(0, 0, IMouseMod(), 1.f);
  EXPECT_DOUBLE_EQ(s->GetValue(), 1.0);
}

TEST_F(Controls, WheelStepsASteppedSlider)
{
  auto* s = Attach(new TestSlider(IRECT(0, 0, 20, 100), kStepped));
  s->SetValue(0.3);
  s->OnMouseWheel(0, 0, IMouseMod(), 0.2f);
  EXPECT_NEAR(s->GetValue(), 0.4, 1e-12);
  s->OnMouseWheel(0, 0, IMouseMod(), -5.f);
  EXPECT_NEAR(s->GetValue(), 0.3, 1e-12);
  s->SetValue(1.0);
  s->OnMouseWheel(0, 0, IMouseMod(), 1.f);
  EXPECT_DOUBLE_EQ(s->GetValue(), 1.0);
}

TEST_F(Controls, SliderTrackFollowsBounds)
{
  auto* s = Attach(new TestSlider(IRECT(0, 0, 20, 100), kPlain));
  EXPECT_EQ(s->GetTrack(), IRECT(0, 0, 20, 100));
  s->SetSize(10, 50);
  EXPECT_EQ(s->GetTrack(), IRECT(0, 0, 10, 50));
}

// ---------------------------------------------------------------------------------------------
// Animation

TEST_F(Controls, ProgressIsNotCappedAndDefaultEnds)
{
  int ended = 0;
  auto* c = Attach(new SwatchControl(IRECT(0, 0, 10, 10)));
  c->SetAnimationEndActionFunction([&](IControl*) { ++ended; });
  EXPECT_DOUBLE_EQ(c->GetAnimationProgress(), 0.0);
  canvas.SetClockMs(1000);
  DefaultClickActionFunc(c);
  EXPECT_TRUE(c->GetAnimationFunction());
  EXPECT_DOUBLE_EQ(c->GetAnimationDuration(), 100.0);
  canvas.AdvanceClockMs(50);
  EXPECT_DOUBLE_EQ(c->GetAnimationProgress(), 0.5);
  c->Animate();
  EXPECT_TRUE(c->GetAnimationFunction());
  canvas.AdvanceClockMs(100);
  EXPECT_DOUBLE_EQ(c->GetAnimationProgress(), 1.5);
  c->Animate();
  EXPECT_FALSE(c->GetAnimationFunction());
  EXPECT_EQ(ended, 1);
}

TEST_F(Controls, LambdaLoopsItsAnimation)
{
  int ends = 0;
  auto* c = Attach(new ILambdaControl(IRECT(0, 0, 10, 10), nullptr, 100, true, true));
  c->SetAnimationEndActionFunction([&](IControl*) { ++ends; });
  EXPECT_TRUE(c->GetAnimationFunction());
  canvas.AdvanceClockMs(60);
  c->Animate();
  EXPECT_NEAR(c->GetAnimationProgress(), 0.6, 1e-12);
  canvas.AdvanceClockMs(60);
  c->Animate(); // past its end: starts over
  EXPECT_TRUE(c->GetAnimationFunction());
  EXPECT_DOUBLE_EQ(c->GetAnimationProgress(), 0.0);
  canvas.AdvanceClockMs(250);
  c->Animate();
  EXPECT_TRUE(c->GetAnimationFunction());
  EXPECT_EQ(ends, 0);
}

TEST_F(Controls, LambdaOfZeroDurationEndsOnceAndStaysEnded)
{
  int ends = 0;
  auto* c = Attach(new ILambdaControl(IRECT(0, 0, 10, 10), nullptr, 0, true, true));
  c->SetAnimationEndActionFunction([&](IControl*) { ++ends; });
  EXPECT_TRUE(c->GetAnimationFunction());
  canvas.RunFrames(5);
  EXPECT_FALSE(c->GetAnimationFunction());
  EXPECT_EQ(ends, 1);
}

TEST_F(Controls, LambdaWithoutLoopEndsAndRestartsOnClick)
{
  int drawn = 0;
  auto* c = Attach(new ILambdaControl(
    IRECT(0, 0, 10, 10), [&](ILambdaControl*, ICanvas&, const IRECT&) { ++drawn; }, 100));
  EXPECT_FALSE(c->GetAnimationFunction());
  IMouseMod mod;
  mod.L = true;
  c->OnMouseDown(3, 4, mod);
  EXPECT_TRUE(c->GetAnimationFunction());
  EXPECT_FLOAT_EQ(c->GetMouseInfo().x, 3.f);
  canvas.AdvanceClockMs(150);
  canvas.RunFrames(1);
  EXPECT_FALSE(c->GetAnimationFunction());
  EXPECT_GT(drawn, 0);
}

// ---------------------------------------------------------------------------------------------
// Captions, text and bitmaps

class Captions : public Controls {
protected:
  void SetUp() override { ASSERT_TRUE(LoadTestFont(canvas)); }
};

TEST_F(Captions, ShowTheDisplayTextAndLabel)
{
  auto* plain = Attach(new ICaptionControl(IRECT(0, 0, 100, 20), kPlain,
                                           IText(12.f, COLOR_BLACK, kTestFontID), COLOR_WHITE));
  auto* choice = Attach(new ICaptionControl(IRECT(0, 30, 100, 50), kChoice,
                                            IText(12.f, COLOR_BLACK, kTestFontID), COLOR_WHITE,
                                            false));
  plain->SetValueFromDelegate(plug.GetParam(kPlain)->NormalizedFromValue(42.5));
  choice->SetValueFromDelegate(plug.GetParam(kChoice)->NormalizedFromValue(2));
  canvas.RunFrames(1);

  std::string expected;
  plug.GetParam(kPlain)->GetDisplay(0.425, true, expected);
  EXPECT_EQ(std::string(plain->GetStr()), expected + " %");
  EXPECT_EQ(std::string(choice->GetStr()), "High");
}

TEST_F(Captions, TriangleOnlyForEnumeratedParameters)
{
  const IText style(12.f, COLOR_BLACK, kTestFontID);
  auto* plain = Attach(new ICaptionControl(IRECT(0, 0, 100, 20), kPlain, style));
  auto* choice = Attach(new ICaptionControl(IRECT(0, 30, 100, 50), kChoice, style));
  auto* rightAligned = Attach(
    new ICaptionControl(IRECT(0, 60, 100, 80), kChoice, style.WithAlign(kAlignFar)));

  EXPECT_EQ(plain->GetTriangleRECT(), IRECT());
  // Width 0.5 s, height 0.33 s, centred in the s-wide strip at the right edge (left when the
  // text hugs the right).
  const IRECT t = choice->GetTriangleRECT();
  EXPECT_FLOAT_EQ(t.W(), 6.f);
  EXPECT_NEAR(t.H(), 3.96f, 1e-5);
  EXPECT_FLOAT_EQ(t.MW(), 94.f);
  EXPECT_FLOAT_EQ(t.MH(), 40.f);
  EXPECT_FLOAT_EQ(rightAligned->GetTriangleRECT().MW(), 6.f);

  // Pixels: the triangle shows at half weight where the plain caption has none.
  canvas.RunFrames(1);
  EXPECT_GT(canvas.GetPixel(94, 39).A, 0);
  EXPECT_LT(canvas.GetPixel(94, 39).A, 255);
  EXPECT_EQ(canvas.GetPixel(94, 9).A, 0);
}

TEST_F(Captions, TextControlIgnoresTheMouseAndCaptionDoesNot)
{
  auto* text = Attach(new ITextControl(IRECT(0, 0, 50, 20), "Hi"));
  auto* caption = Attach(new ICaptionControl(IRECT(0, 0, 50, 20), kPlain));
  EXPECT_TRUE(text->GetIgnoreMouse());
  EXPECT_FALSE(caption->GetIgnoreMouse());
  EXPECT_FALSE(caption->GetPromptDisabled());
  EXPECT_TRUE(caption->GetDblAsSingleClick());
  text->SetStrFmt(3, "%d", 123456);
  EXPECT_STREQ(text->GetStr(), "123");
}

TEST_F(Controls, BitmapFrameFollowsTheValue)
{
  auto api = std::make_shared<APIBitmap>(10, 40, 1.f);
  auto* c = Attach(new IBitmapControl(0, 0, IBitmap(api, 4, false, "strip.png"), kPlain));
  EXPECT_EQ(c->GetRECT(), IRECT(0, 0, 10, 10));
  int x = -1, y = -1;
  c->SetValue(0.0);
  EXPECT_EQ(c->GetFrame(), 1);
  c->SetValue(0.5);
  EXPECT_EQ(c->GetFrame(), 3); // trunc(0.5 + 1.5) = 2
  c->SetValue(1.0);
  EXPECT_EQ(c->GetFrame(), 4);
  c->GetSourceOffset(3, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 20);

  auto* h = Attach(new IBitmapControl(0, 0, IBitmap(api, 2, true, "strip.png")));
  EXPECT_EQ(h->GetRECT(), IRECT(0, 0, 5, 40));
  h->GetSourceOffset(2, x, y);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 0);
}

// ---------------------------------------------------------------------------------------------
// Pixels

TEST_F(Controls, DisabledControlDrawsAtAQuarter)
{
  auto* c = Attach(new SwatchControl(IRECT(10, 10, 30, 30), kNoParameter, COLOR_RED));
  c->SetDisabled(true);
  canvas.RunFrames(1);
  EXPECT_TRUE(ColorNear(canvas.GetPixel(20, 20), IColor(64, 255, 0, 0), 2));
}

} // namespace
} // namespace umbra::ui::test
