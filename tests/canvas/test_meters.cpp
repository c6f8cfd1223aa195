// The level meters: peak-and-average records turned into track values, the plain meter's
// one-float records, the style holder's layout, track rectangles, hover tracking and the base
// look.

#include <cmath>
#include <limits>

#include "ControlTestHelpers.h"
#include "Controls/IVMeterControl.h"

namespace umbra::ui::test {
namespace {

using PeakAvgMeter = IVPeakAvgMeterControl<2>;
using PeakAvgRecord = PeakAvgMeter::Data;
using PlainMeter = IVMeterControl<2>;
using PlainRecord = PlainMeter::Data;

constexpr int kMeterTag = 0;
constexpr int kUpdate = 0;

PeakAvgRecord Record(float peak0, float avg0, float peak1, float avg1, int count = 2, int offset = 0)
{
  PeakAvgRecord r;
  r.controlTag = kMeterTag;
  r.channelCount = count;
  r.channelOffset = offset;
  r.vals[0] = {peak0, avg0};
  r.vals[1] = {peak1, avg1};
  return r;
}

class Meters : public ::testing::Test {
protected:
  Meters() { canvas.SetDelegate(plug); }

  PeakAvgMeter* AttachMeter(const IRECT& bounds = IRECT(10, 10, 50, 90), EDirection dir = kVertical)
  {
    auto* m = new PeakAvgMeter(bounds, "", DEFAULT_STYLE, dir);
    canvas.AttachControl(m, kMeterTag);
    return m;
  }

  void Send(const PeakAvgRecord& r, int msgTag = kUpdate, int size = sizeof(PeakAvgRecord))
  {
    canvas.SendControlMsgFromDelegate(kMeterTag, msgTag, size, &r);
  }

  TestPlug plug;
  ICanvasHeadless canvas{100, 100};
};

// ---------------------------------------------------------------------------------------------
// Construction

TEST_F(Meters, BuiltWithTwoUnboundTracksAndTheEditorsRange)
{
  auto* m = AttachMeter();
  ASSERT_EQ(m->NVals(), 2);
  EXPECT_EQ(m->GetParamIdx(0), kNoParameter);
  EXPECT_EQ(m->GetParamIdx(1), kNoParameter);
  EXPECT_EQ(m->NTracks(), 2);
  EXPECT_FLOAT_EQ(m->GetHighRangeDB(), 12.f);
  EXPECT_FLOAT_EQ(m->GetLowRangeDB(), -60.f);
  EXPECT_EQ(m->GetResponse(), EMeterResponse::Log);
  EXPECT_EQ(m->GetMarkers(), (std::vector<int>{0, -6, -12, -24, -48}));
  EXPECT_EQ(m->GetMouseOverTrack(), -1);
  EXPECT_TRUE(m->GetStepBounds().empty());
}

// ---------------------------------------------------------------------------------------------
// Peak-and-average records

TEST_F(Meters, AverageMapsThroughTheDbRange)
{
  auto* m = AttachMeter();
  Send(Record(1.f, 1.f, 0.001f, 0.001f));
  EXPECT_NEAR(m->GetValue(0), 60.0 / 72.0, 1e-6);
  EXPECT_NEAR(m->GetValue(1), 0.0, 1e-6);
  EXPECT_NEAR(m->GetPeak(0), 60.0 / 72.0, 1e-6);

  Send(Record(4.f, 4.f, 0.5f, 0.5f));
  EXPECT_DOUBLE_EQ(m->GetValue(0), 1.0);
  // The peak keeps what lies beyond the top of the range.
  EXPECT_GT(m->GetPeak(0), 1.f);
  EXPECT_NEAR(m->GetValue(1), (20.0 * std::log10(0.5) + 60.0) / 72.0, 1e-6);
}

TEST_F(Meters, SilenceGivesZeroAndAPeakOfMinusInfinity)
{
  auto* m = AttachMeter();
  Send(Record(1.f, 1.f, 1.f, 1.f));
  Send(Record(0.f, 0.f, 0.f, 0.f));
  EXPECT_DOUBLE_EQ(m->GetValue(0), 0.0);
  EXPECT_DOUBLE_EQ(m->GetValue(1), 0.0);
  EXPECT_EQ(m->GetPeak(0), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(m->GetPeak(1), -std::numeric_limits<float>::infinity());
}

TEST_F(Meters, NegativeAmplitudesCountByMagnitude)
{
  auto* m = AttachMeter();
  Send(Record(-1.f, -1.f, 0.f, 0.f));
  EXPECT_NEAR(m->GetValue(0), 60.0 / 72.0, 1e-6);
}

TEST_F(Meters, ShortRecordReadsAsSilence)
{
  auto* m = AttachMeter();
  Send(Record(1.f, 1.f, 1.f, 1.f));
  ASSERT_GT(m->GetValue(0), 0.5);
  Send(Record(1.f, 1.f, 1.f, 1.f), kUpdate, 27);
  EXPECT_DOUBLE_EQ(m->GetValue(0), 0.0);
  EXPECT_DOUBLE_EQ(m->GetValue(1), 0.0);
}

TEST_F(Meters, DisabledMeterIgnoresRecords)
{
  auto* m = AttachMeter();
  Send(Record(1.f, 1.f, 1.f, 1.f));
  m->SetDisabled(true);
  Send(Record(0.f, 0.f, 0.f, 0.f));
  EXPECT_NEAR(m->GetValue(0), 60.0 / 72.0, 1e-6);
  EXPECT_NEAR(m->GetPeak(1), 60.0 / 72.0, 1e-6);
}

TEST_F(Meters, OnlyTheUpdateMessageIsHandled)
{
  auto* m = AttachMeter();
  Send(Record(1.f, 1.f, 1.f, 1.f), 1);
  EXPECT_DOUBLE_EQ(m->GetValue(0), 0.0);
  EXPECT_DOUBLE_EQ(m->GetValue(1), 0.0);
}

TEST_F(Meters, ChannelOffsetOneUpdatesOnlyTrackOne)
{
  auto* m = AttachMeter();
  Send(Record(0.5f, 0.5f, 0.5f, 0.5f));
  const double before = m->GetValue(0);
  const float peakBefore = m->GetPeak(0);
  // Values are indexed by absolute channel: channel 1 reads the record's second pair.
  Send(Record(1.f, 1.f, 1.f, 1.f, 1, 1));
  EXPECT_DOUBLE_EQ(m->GetValue(0), before);
  EXPECT_EQ(m->GetPeak(0), peakBefore);
  EXPECT_NEAR(m->GetValue(1), 60.0 / 72.0, 1e-6);
}

TEST_F(Meters, ChannelCountZeroLeavesTheValuesButMarksDirty)
{
  auto* m = AttachMeter();
  Send(Record(1.f, 1.f, 0.5f, 0.5f));
  const double v0 = m->GetValue(0), v1 = m->GetValue(1);
  canvas.RunFrames(1);
  ASSERT_FALSE(m->IsDirty());
  Send(Record(0.f, 0.f, 0.f, 0.f, 0));
  EXPECT_DOUBLE_EQ(m->GetValue(0), v0);
  EXPECT_DOUBLE_EQ(m->GetValue(1), v1);
  EXPECT_TRUE(m->IsDirty());
}

TEST_F(Meters, RecordsNeverReachThePlugIn)
{
  AttachMeter();
  Send(Record(1.f, 1.f, 1.f, 1.f));
  EXPECT_TRUE(plug.sent.empty());
}

TEST_F(Meters, ChannelsBeyondTheTracksAreIgnored)
{
  auto* m = AttachMeter();
  Send(Record(1.f, 1.f, 1.f, 1.f, 5, 1));
  EXPECT_DOUBLE_EQ(m->GetValue(0), 0.0);
  EXPECT_NEAR(m->GetValue(1), 60.0 / 72.0, 1e-6);
}

// ---------------------------------------------------------------------------------------------
// The plain meter's one-float records

TEST(PlainMeters, LogResponseMapsAndClamps)
{
  PlainMeter m(IRECT(0, 0, 20, 40), "");
  PlainRecord r;
  r.vals = {1.f, 8.f};
  m.OnMsgFromDelegate(kUpdate, sizeof(r), &r);
  EXPECT_NEAR(m.GetValue(0), 60.0 / 72.0, 1e-6);
  EXPECT_DOUBLE_EQ(m.GetValue(1), 1.0);

  // Short: silence on both tracks.
  m.OnMsgFromDelegate(kUpdate, sizeof(r) - 1, &r);
  EXPECT_DOUBLE_EQ(m.GetValue(0), 0.0);
  EXPECT_DOUBLE_EQ(m.GetValue(1), 0.0);
}

TEST(PlainMeters, LinearResponseClampsTheAmplitude)
{
  PlainMeter m(IRECT(0, 0, 20, 40), "", DEFAULT_STYLE, kVertical, {}, 0, EMeterResponse::Linear);
  PlainRecord r;
  r.vals = {0.25f, 3.f};
  m.OnMsgFromDelegate(kUpdate, sizeof(r), &r);
  EXPECT_DOUBLE_EQ(m.GetValue(0), 0.25);
  EXPECT_DOUBLE_EQ(m.GetValue(1), 1.0);
}

// ---------------------------------------------------------------------------------------------
// Layout

TEST_F(Meters, VerticalTracksStandSideBySide)
{
  auto* m = AttachMeter(IRECT(10, 20, 41, 100));
  // Label and value strings are empty: the widget is the whole of the bounds.
  EXPECT_EQ(m->GetWidgetBounds(), IRECT(10, 20, 41, 100));
  EXPECT_EQ(m->GetTargetRECT(), IRECT(10, 20, 41, 100));
  EXPECT_EQ(m->GetTrackBounds(0), IRECT(10, 20, 10 + 31.f / 2.f, 100));
  EXPECT_EQ(m->GetTrackBounds(1), IRECT(10 + 31.f / 2.f, 20, 41, 100));
}

TEST_F(Meters, HorizontalTracksAreStacked)
{
  auto* m = AttachMeter(IRECT(10, 20, 90, 45), kHorizontal);
  EXPECT_EQ(m->GetTrackBounds(0), IRECT(10, 20, 90, 32.5f));
  EXPECT_EQ(m->GetTrackBounds(1), IRECT(10, 32.5f, 90, 45));
}

TEST_F(Meters, PaddingSeparatesTracksOfEqualSize)
{
  auto* m = AttachMeter(IRECT(0, 0, 42, 10));
  m->SetTrackPadding(2.f);
  EXPECT_EQ(m->GetTrackBounds(0), IRECT(0, 0, 20, 10));
  EXPECT_EQ(m->GetTrackBounds(1), IRECT(22, 0, 42, 10));
}

TEST_F(Meters, ResizeLaysOutAgain)
{
  auto* m = AttachMeter(IRECT(0, 0, 20, 20));
  m->SetSize(40.f, 60.f);
  EXPECT_EQ(m->GetTrackBounds(1), IRECT(20, 0, 40, 60));
  m->SetPosition(10.f, 5.f);
  EXPECT_EQ(m->GetTrackBounds(0), IRECT(10, 5, 30, 65));
  EXPECT_EQ(m->GetTargetRECT(), IRECT(10, 5, 50, 65));
}

TEST_F(Meters, LabelAndValueStripsShrinkTheWidget)
{
  IVStyle style;
  style.mWidgetFrac = 0.5f;
  auto* m = new PeakAvgMeter(IRECT(0, 0, 40, 100), "In", style);
  canvas.AttachControl(m);
  m->SetValueStr("-3 dB");
  const float lh = style.mLabelText.mSize, vh = style.mValueText.mSize;
  EXPECT_EQ(m->GetLabelBounds(), IRECT(0, 0, 40, lh));
  EXPECT_EQ(m->GetValueBounds(), IRECT(0, 100 - vh, 40, 100));
  const IRECT rest(0, lh, 40, 100 - vh);
  EXPECT_EQ(m->GetWidgetBounds(), rest.GetCentredInside(20.f, 0.5f * rest.H()));
  EXPECT_EQ(m->GetTargetRECT(), m->GetWidgetBounds());
  EXPECT_EQ(m->GetTrackBounds(0).L, m->GetWidgetBounds().L);
  EXPECT_EQ(m->GetTrackBounds(1).R, m->GetWidgetBounds().R);

  // Strips the style hides take no room.
  style.mShowLabel = false;
  style.mShowValue = false;
  style.mWidgetFrac = 1.f;
  m->SetStyle(style);
  EXPECT_TRUE(m->GetLabelBounds().Empty());
  EXPECT_TRUE(m->GetValueBounds().Empty());
  EXPECT_EQ(m->GetWidgetBounds(), IRECT(0, 0, 40, 100));
}

TEST_F(Meters, StripsNeverTakeMoreThanTheBounds)
{
  auto* m = new PeakAvgMeter(IRECT(0, 0, 40, 10), "Label", DEFAULT_STYLE);
  canvas.AttachControl(m);
  m->SetValueStr("0");
  EXPECT_EQ(m->GetLabelBounds(), IRECT(0, 0, 40, 10));
  EXPECT_GE(m->GetWidgetBounds().H(), 0.f);
}

// ---------------------------------------------------------------------------------------------
// Positions and hover

TEST_F(Meters, ValueIndexForPositionFollowsContainment)
{
  auto* m = AttachMeter(IRECT(10, 10, 50, 90));
  EXPECT_EQ(m->GetValIdxForPos(10.f, 10.f), 0);   // top-left corner is inside
  EXPECT_EQ(m->GetValIdxForPos(29.99f, 89.9f), 0);
  EXPECT_EQ(m->GetValIdxForPos(30.f, 50.f), 1);   // the shared edge belongs to the right track
  EXPECT_EQ(m->GetValIdxForPos(49.99f, 10.f), 1);
  EXPECT_EQ(m->GetValIdxForPos(50.f, 50.f), -1);  // right edge is outside
  EXPECT_EQ(m->GetValIdxForPos(20.f, 90.f), -1);  // bottom edge is outside
  EXPECT_EQ(m->GetValIdxForPos(9.99f, 50.f), -1);
  EXPECT_EQ(m->GetValIdxForPos(20.f, 9.99f), -1);
}

TEST_F(Meters, HoverFollowsTheTrackUnderTheMouse)
{
  auto* m = AttachMeter(IRECT(10, 10, 50, 90));
  canvas.RunFrames(1);
  m->OnMouseOver(40.f, 50.f, IMouseMod());
  EXPECT_EQ(m->GetMouseOverTrack(), 1);
  EXPECT_TRUE(m->GetMouseIsOver());
  EXPECT_TRUE(m->IsDirty());
  m->OnMouseOver(15.f, 50.f, IMouseMod());
  EXPECT_EQ(m->GetMouseOverTrack(), 0);
  m->OnMouseOver(60.f, 50.f, IMouseMod());
  EXPECT_EQ(m->GetMouseOverTrack(), -1);
  m->OnMouseOver(15.f, 50.f, IMouseMod());
  canvas.RunFrames(1);
  m->OnMouseOut();
  EXPECT_EQ(m->GetMouseOverTrack(), -1);
  EXPECT_FALSE(m->GetMouseIsOver());
  EXPECT_TRUE(m->IsDirty());
}

// ---------------------------------------------------------------------------------------------
// Pixels

// Device pixels of column x painted in colour c.
int CountInColumn(const ICanvasHeadless& canvas, int x, const IColor& c)
{
  int n = 0;
  for (int y = 0; y < canvas.DeviceHeight(); ++y)
    if (ColorNear(canvas.GetPixel(x, y), c, 2))
      ++n;
  return n;
}

TEST_F(Meters, BaseLookShowsTheLouderTrackTaller)
{
  AttachMeter(IRECT(10, 10, 50, 90));
  // Track 0 at 0 dB (60/72 of 80 px = 66.7 px), track 1 at -40 dB (20/72 of 80 px = 22.2 px).
  Send(Record(1.f, 1.f, 0.01f, 0.01f));
  canvas.RunFrames(1);
  const IColor bar = DEFAULT_STYLE.mColorSpec[kFG];
  const int loud = CountInColumn(canvas, 20, bar);
  const int quiet = CountInColumn(canvas, 40, bar);
  EXPECT_NEAR(loud, 66, 2);
  EXPECT_NEAR(quiet, 22, 2);
  // Both bars stand on the bottom of the meter; above them lies the track background.
  EXPECT_TRUE(ColorNear(canvas.GetPixel(20, 88), bar, 2));
  EXPECT_TRUE(ColorNear(canvas.GetPixel(40, 88), bar, 2));
  EXPECT_TRUE(ColorNear(canvas.GetPixel(40, 40), DEFAULT_STYLE.mColorSpec[kSH], 2));
}

} // namespace
} // namespace umbra::ui::test
