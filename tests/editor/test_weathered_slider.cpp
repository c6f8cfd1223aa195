// The weathered slider: absolute click and drag mapping with the track's 10-pixel margins and
// clamping, the phases drawn from the C generator at construction and advanced per drawing, and
// the handle drawn where the value puts it.

#include <cstdlib>

#include "RoutingTestHelpers.h"
#include "WeatheredSliderControl.h"

namespace umbra::ui::test {
namespace {

using umbra::WeatheredSliderControl;

// A vertical slider like the input column's: 40 wide, 300 tall.
const IRECT kVerticalBounds(100.f, 100.f, 140.f, 400.f);
// A horizontal slider like the centre rows': 300 wide, 30 tall.
const IRECT kHorizontalBounds(300.f, 500.f, 600.f, 530.f);

class WeatheredSlider : public EditorFixture {
protected:
  WeatheredSliderControl* Vertical()
  {
    return Attach(new WeatheredSliderControl(kVerticalBounds, kInput, kVertical));
  }
  WeatheredSliderControl* Horizontal()
  {
    return Attach(new WeatheredSliderControl(kHorizontalBounds, kMix, kHorizontal));
  }
};

// ---------------------------------------------------------------------------------------------
// Click mapping

TEST_F(WeatheredSlider, VerticalClickWithinTenPixelsOfTheBottomGivesZero)
{
  auto* s = Vertical();
  for (float y : {399.5f, 395.f, 390.f}) {
    s->SetValue(0.6);
    Click(120.f, y);
    EXPECT_DOUBLE_EQ(s->GetValue(), 0.0) << "y " << y;
  }
  // One pixel above the track's bottom end is just above 0.
  Click(120.f, 389.f);
  EXPECT_NEAR(s->GetValue(), 1.0 / 280.0, 1e-9);
}

TEST_F(WeatheredSlider, VerticalClickWithinTenPixelsOfTheTopGivesOne)
{
  auto* s = Vertical();
  for (float y : {100.5f, 105.f, 110.f}) {
    s->SetValue(0.2);
    Click(120.f, y);
    EXPECT_DOUBLE_EQ(s->GetValue(), 1.0) << "y " << y;
  }
}

TEST_F(WeatheredSlider, ClickAtTheTrackCentreGivesHalf)
{
  auto* v = Vertical();
  Click(120.f, 250.f);
  EXPECT_DOUBLE_EQ(v->GetValue(), 0.5);

  auto* h = Horizontal();
  Click(450.f, 515.f);
  EXPECT_DOUBLE_EQ(h->GetValue(), 0.5);
}

TEST_F(WeatheredSlider, VerticalValueGrowsUpwardsAlongTheTrack)
{
  auto* s = Vertical();
  // v = (B - 10 - y) / (B - T - 20): a quarter of the way up the 280-pixel track.
  Click(120.f, 320.f);
  EXPECT_NEAR(s->GetValue(), 0.25, 1e-9);
  EXPECT_NEAR(plug->GetParam(kInput)->CurrentNormalized(), 0.25, 1e-6);
}

TEST_F(WeatheredSlider, HorizontalValueGrowsToTheRightWithMarginsAndClamping)
{
  auto* s = Horizontal();
  // v = (x - L - 10) / (R - L - 20), over a 280-pixel track.
  Click(380.f, 515.f);
  EXPECT_NEAR(s->GetValue(), 70.0 / 280.0, 1e-9);
  EXPECT_NEAR(plug->GetParam(kMix)->CurrentNormalized(), 0.25, 1e-6);
  Click(305.f, 515.f);
  EXPECT_DOUBLE_EQ(s->GetValue(), 0.0);
  Click(595.f, 515.f);
  EXPECT_DOUBLE_EQ(s->GetValue(), 1.0);
  Click(590.f, 515.f);
  EXPECT_DOUBLE_EQ(s->GetValue(), 1.0);
}

TEST_F(WeatheredSlider, ClickTellsTheHostOfTheGesture)
{
  Vertical();
  Click(120.f, 250.f);
  ASSERT_FALSE(host.begins.empty());
  EXPECT_EQ(host.begins.front(), kInput);
  ASSERT_FALSE(host.ends.empty());
  EXPECT_EQ(host.ends.back(), kInput);
}

// ---------------------------------------------------------------------------------------------
// Drag mapping

TEST_F(WeatheredSlider, DragFollowsThePointerAndIgnoresDeltasAndModifiers)
{
  auto* s = Horizontal();
  Down(450.f, 515.f);
  EXPECT_DOUBLE_EQ(s->GetValue(), 0.5);
  // Deltas that a relative slider would scale by the gearing change nothing here.
  Drag(380.f, 515.f, -200.f, 40.f);
  EXPECT_NEAR(s->GetValue(), 0.25, 1e-9);
  // No fine-adjust mode with shift held.
  IMouseMod shift = LeftButton();
  shift.S = true;
  Drag(520.f, 515.f, 1.f, 0.f, shift);
  EXPECT_NEAR(s->GetValue(), 0.75, 1e-9);
  Up(520.f, 515.f);
  EXPECT_NEAR(plug->GetParam(kMix)->CurrentNormalized(), 0.75, 1e-6);
}

TEST_F(WeatheredSlider, DragOutsideTheControlStaysClamped)
{
  auto* s = Vertical();
  Down(120.f, 250.f);
  Drag(500.f, -300.f, 380.f, -550.f);
  EXPECT_DOUBLE_EQ(s->GetValue(), 1.0);
  Drag(10.f, 790.f, -490.f, 1090.f);
  EXPECT_DOUBLE_EQ(s->GetValue(), 0.0);
  // Back over the track, the value follows the pointer again, even with the pointer beside it.
  Drag(700.f, 320.f, 690.f, -470.f);
  EXPECT_NEAR(s->GetValue(), 0.25, 1e-9);
  Up(700.f, 320.f);
  EXPECT_NEAR(plug->GetParam(kInput)->CurrentNormalized(), 0.25, 1e-6);
}

TEST_F(WeatheredSlider, ValueForPositionClampsWithoutTouchingTheControl)
{
  WeatheredSliderControl s(kVerticalBounds, kInput, kVertical);
  s.SetValue(0.4);
  EXPECT_DOUBLE_EQ(s.ValueForPosition(120.f, 1000.f), 0.0);
  EXPECT_DOUBLE_EQ(s.ValueForPosition(120.f, -1000.f), 1.0);
  EXPECT_DOUBLE_EQ(s.GetValue(), 0.4);
}

// ---------------------------------------------------------------------------------------------
// Phases

TEST(WeatheredSliderPhases, DrawnFromTheGeneratorInOrder)
{
  std::srand(4321);
  const int d1 = std::rand() % 1000, d2 = std::rand() % 1000;
  const int d3 = std::rand() % 1000, d4 = std::rand() % 1000;

  std::srand(4321);
  WeatheredSliderControl a(kVerticalBounds, kInput, kVertical);
  WeatheredSliderControl b(kHorizontalBounds, kMix, kHorizontal);
  EXPECT_FLOAT_EQ(a.GetPhase1(), static_cast<float>(d1) * 0.00628f);
  EXPECT_FLOAT_EQ(a.GetPhase2(), static_cast<float>(d2) * 0.00628f);
  EXPECT_FLOAT_EQ(b.GetPhase1(), static_cast<float>(d3) * 0.00628f);
  EXPECT_FLOAT_EQ(b.GetPhase2(), static_cast<float>(d4) * 0.00628f);
}

TEST(WeatheredSliderPhases, TwoSlidersInARowGetDifferentPhases)
{
  WeatheredSliderControl a(kHorizontalBounds, kHaunt, kHorizontal);
  WeatheredSliderControl b(kHorizontalBounds, kPossess, kHorizontal);
  EXPECT_FALSE(a.GetPhase1() == b.GetPhase1() && a.GetPhase2() == b.GetPhase2());
  for (const auto* s : {&a, &b}) {
    EXPECT_GE(s->GetPhase1(), 0.f);
    EXPECT_LE(s->GetPhase1(), 6.27372f + 1e-4f);
    EXPECT_GE(s->GetPhase2(), 0.f);
    EXPECT_LE(s->GetPhase2(), 6.27372f + 1e-4f);
  }
}

TEST_F(WeatheredSlider, EachDrawingAdvancesThePhasesAndKeepsItDirty)
{
  auto* s = Vertical();
  const float p1 = s->GetPhase1(), p2 = s->GetPhase2();
  canvas.RunFrames(1);
  float e1 = p1 + 0.008f, e2 = p2 + 0.012f;
  if (e1 > 6.28318f)
    e1 -= 6.28318f;
  if (e2 > 6.28318f)
    e2 -= 6.28318f;
  EXPECT_FLOAT_EQ(s->GetPhase1(), e1);
  EXPECT_FLOAT_EQ(s->GetPhase2(), e2);
  EXPECT_TRUE(s->IsDirty());
  // Drawn on every frame, so a thousand frames wrap both phases and keep them in range.
  canvas.RunFrames(1000);
  EXPECT_GE(s->GetPhase1(), 0.f);
  EXPECT_LE(s->GetPhase1(), 6.28318f);
  EXPECT_GE(s->GetPhase2(), 0.f);
  EXPECT_LE(s->GetPhase2(), 6.28318f);
}

// ---------------------------------------------------------------------------------------------
// Handle geometry and pixels

TEST(WeatheredSliderGeometry, VerticalHandleSitsOnTheTrackEnds)
{
  WeatheredSliderControl s(kVerticalBounds, kInput, kVertical);
  s.SetValue(0.0);
  EXPECT_FLOAT_EQ(s.GetHandleRect().MH(), 390.f);
  s.SetValue(1.0);
  EXPECT_FLOAT_EQ(s.GetHandleRect().MH(), 110.f);
  // 20 along the travel, 70 % of the breadth across it.
  EXPECT_FLOAT_EQ(s.GetHandleRect().H(), 20.f);
  EXPECT_FLOAT_EQ(s.GetHandleRect().W(), 28.f);
  EXPECT_FLOAT_EQ(s.GetTrackRect().L, 116.f);
  EXPECT_FLOAT_EQ(s.GetTrackRect().R, 124.f);
}

TEST(WeatheredSliderGeometry, HorizontalHandleSitsOnTheTrack)
{
  WeatheredSliderControl s(kHorizontalBounds, kMix, kHorizontal);
  s.SetValue(0.25);
  EXPECT_FLOAT_EQ(s.GetHandleRect().MW(), 380.f);
  EXPECT_FLOAT_EQ(s.GetHandleRect().W(), 20.f);
  EXPECT_FLOAT_EQ(s.GetHandleRect().H(), 21.f);
}

// The rows (or columns) of one line of pixels where the opaque handle body shows: the body is
// drawn at 80 % opacity or more, the shadow and the track well below that.
struct Span {
  int first = -1, last = -1;
  double Mid() const { return 0.5 * (first + last + 1); }
};

Span BodySpan(const ICanvasCairo& canvas, bool vertical, int fixed, int from, int to)
{
  Span s;
  for (int p = from; p < to; ++p) {
    const IColor c = vertical ? canvas.GetPixel(fixed, p) : canvas.GetPixel(p, fixed);
    // Over the black backdrop the body leaves its own dim violet; the shadow stays black.
    if (c.B >= 60 && c.R >= 55) {
      if (s.first < 0)
        s.first = p;
      s.last = p;
    }
  }
  return s;
}

TEST_F(WeatheredSlider, HandleIsDrawnWhereAClickPutsIt)
{
  Attach(new SwatchControl(IRECT(0.f, 0.f, 1200.f, 800.f), kNoParameter, COLOR_BLACK));
  Vertical();
  // A quarter of the way up: the handle centre follows the pointer to y 320.
  Click(120.f, 320.f);
  canvas.RunFrames(1);
  // A column inside the handle but beside the track (116..124) and the grip.
  const Span v = BodySpan(canvas, true, 130, 100, 400);
  ASSERT_GE(v.first, 0);
  EXPECT_NEAR(v.Mid(), 320.0, 1.5);
  EXPECT_NEAR(v.last - v.first + 1, 20, 2);
  // The track stays dark away from the handle.
  EXPECT_LT(canvas.GetPixel(130, 200).B, 20);
}

TEST_F(WeatheredSlider, HorizontalHandleIsDrawnWhereItsValuePutsIt)
{
  Attach(new SwatchControl(IRECT(0.f, 0.f, 1200.f, 800.f), kNoParameter, COLOR_BLACK));
  auto* s = Horizontal();
  s->SetValueFromDelegate(0.75);
  canvas.RunFrames(1);
  // Row inside the handle (cy 515, half-height 10.5) away from the track (511..519).
  const Span h = BodySpan(canvas, false, 523, 300, 600);
  ASSERT_GE(h.first, 0);
  EXPECT_NEAR(h.Mid(), 310.0 + 0.75 * 280.0, 1.5);
  EXPECT_NEAR(h.last - h.first + 1, 20, 2);
}

} // namespace
} // namespace umbra::ui::test
