// The haunted meter: built on the peak-and-average meter base with the editor's dB range, its
// seed, phases and flicker slots drawn from the C generator at construction, the value mapping
// of the sender's records, and which segments light up at a given level.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "HauntedMeterControl.h"
#include "RoutingTestHelpers.h"

namespace umbra::ui::test {
namespace {

using umbra::HauntedMeterControl;
using Record = HauntedMeterControl::Data;

// 50 wide and 320 tall, so that each column of the well (the bounds shrunk by 5) is 17 pixels
// wide and a segment's inside is clear of most of the cracks and specks drawn over it.
const IRECT kBounds(100.f, 100.f, 150.f, 420.f);
constexpr int kTag = 0;  // the input meter's tag

Record Averages(float avg0, float avg1)
{
  Record r;
  r.controlTag = kTag;
  r.channelCount = 2;
  r.channelOffset = 0;
  // The peaks are received but not drawn; give them something different from the averages.
  r.vals[0] = {avg0 * 2.f, avg0};
  r.vals[1] = {avg1 * 2.f, avg1};
  return r;
}

class HauntedMeter : public EditorFixture {
protected:
  HauntedMeterControl* AttachMeter()
  {
    return Attach(new HauntedMeterControl(kBounds, ""), kTag);
  }
  void Send(const Record& r) { canvas.SendControlMsgFromDelegate(kTag, 0, sizeof(Record), &r); }
};

// ---------------------------------------------------------------------------------------------
// Construction

TEST_F(HauntedMeter, BuiltOnTheMeterBaseWithTheEditorsRange)
{
  auto* m = AttachMeter();
  ASSERT_EQ(m->NVals(), 2);
  EXPECT_EQ(m->GetParamIdx(0), kNoParameter);
  EXPECT_EQ(m->GetParamIdx(1), kNoParameter);
  EXPECT_EQ(m->GetDirection(), kVertical);
  EXPECT_FLOAT_EQ(m->GetHighRangeDB(), 12.f);
  EXPECT_FLOAT_EQ(m->GetLowRangeDB(), -60.f);
  EXPECT_EQ(m->GetResponse(), EMeterResponse::Log);
  EXPECT_EQ(m->GetMarkers(), (std::vector<int>{0, -6, -12, -24, -48}));
  EXPECT_TRUE(m->GetStepBounds().empty());
}

TEST(HauntedMeterSeeding, SeedThenPhasesThenTwoDrawsPerFlickerSlot)
{
  std::srand(99);
  const int seed = std::rand() % 10000;
  const int p1 = std::rand() % 1000;
  const int p2 = std::rand() % 1000;
  for (int k = 0; k < 2 * HauntedMeterControl::kNumFlickerSlots; ++k)
    (void)std::rand();
  const int nextSeed = std::rand() % 10000;

  std::srand(99);
  HauntedMeterControl a(kBounds, "");
  HauntedMeterControl b(kBounds, "");
  EXPECT_EQ(a.GetSpeckSeed(), seed);
  EXPECT_FLOAT_EQ(a.GetPhase1(), static_cast<float>(p1) * 0.00628f);
  EXPECT_FLOAT_EQ(a.GetPhase2(), static_cast<float>(p2) * 0.00628f);
  // The second meter starts after all 20 slots' draws of the first (level and timer each).
  EXPECT_EQ(b.GetSpeckSeed(), nextSeed);
}

TEST(HauntedMeterSeeding, TwoMetersInARowGetDifferentPatterns)
{
  HauntedMeterControl a(kBounds, "");
  HauntedMeterControl b(kBounds, "");
  EXPECT_FALSE(a.GetSpeckSeed() == b.GetSpeckSeed() && a.GetPhase1() == b.GetPhase1());
  EXPECT_GE(a.GetSpeckSeed(), 0);
  EXPECT_LT(a.GetSpeckSeed(), 10000);
}

// ---------------------------------------------------------------------------------------------
// Values

TEST_F(HauntedMeter, AveragesMapThroughTheDbRange)
{
  auto* m = AttachMeter();
  Send(Averages(1.f, 0.001f));
  EXPECT_NEAR(m->GetValue(0), 60.0 / 72.0, 1e-6);
  EXPECT_NEAR(m->GetValue(1), 0.0, 1e-6);
  Send(Averages(4.f, 0.f));
  EXPECT_DOUBLE_EQ(m->GetValue(0), 1.0);
  EXPECT_DOUBLE_EQ(m->GetValue(1), 0.0);
  // Half a range up: -24 dB.
  Send(Averages(std::pow(10.f, -24.f / 20.f), 0.5f));
  EXPECT_NEAR(m->GetValue(0), 0.5, 1e-6);
  EXPECT_NEAR(m->GetValue(1), (20.0 * std::log10(0.5) + 60.0) / 72.0, 1e-6);
}

// ---------------------------------------------------------------------------------------------
// Segments

TEST(HauntedMeterSegments, ZeroDbLightsTheBottomFourteen)
{
  const double zeroDb = 60.0 / 72.0;
  for (int i = 0; i < HauntedMeterControl::kNumSegments; ++i)
    EXPECT_EQ(HauntedMeterControl::SegmentLit(zeroDb, i), i <= 13) << "segment " << i;
}

TEST(HauntedMeterSegments, FullScaleLightsAllAndSilenceNone)
{
  for (int i = 0; i < HauntedMeterControl::kNumSegments; ++i) {
    EXPECT_TRUE(HauntedMeterControl::SegmentLit(1.0, i)) << "segment " << i;
    EXPECT_FALSE(HauntedMeterControl::SegmentLit(0.0, i)) << "segment " << i;
  }
  // A segment lights 0.05 before the level reaches its top.
  EXPECT_TRUE(HauntedMeterControl::SegmentLit(1.0 / 16.0 - 0.05, 0));
  EXPECT_FALSE(HauntedMeterControl::SegmentLit(1.0 / 16.0 - 0.051, 0));
}

// The median colour over the inside of segment i of column c, as drawn: the well is the bounds
// shrunk by 5, sixteen rows of H / 16, two columns of (W - 6) / 2 with 2 pixels to the sides.
// The median, so that the cracks and dust specks drawn over a segment do not sway it.
struct Median {
  double r = 0, g = 0, b = 0;
};

Median SegmentMedian(const ICanvasCairo& canvas, int i, int column)
{
  const float WL = kBounds.L + 5.f, WR = kBounds.R - 5.f, WT = kBounds.T + 5.f, WB = kBounds.B - 5.f;
  const float h = (WB - WT) / 16.f, cw = (WR - WL - 6.f) / 2.f;
  const float yt = WB - static_cast<float>(i + 1) * h, yb = WB - static_cast<float>(i) * h - 1.f;
  const float l = column == 0 ? WL + 2.f : WR - 2.f - cw + 1.f;
  const float r = column == 0 ? WL + 2.f + cw - 1.f : WR - 2.f;
  std::vector<int> rs, gs, bs;
  // Two pixels in from every edge, clear of the glow and the highlight row.
  for (int y = static_cast<int>(yt) + 3; y < static_cast<int>(yb) - 2; ++y)
    for (int x = static_cast<int>(l) + 2; x < static_cast<int>(r) - 2; ++x) {
      const IColor c = canvas.GetPixel(x, y);
      rs.push_back(c.R);
      gs.push_back(c.G);
      bs.push_back(c.B);
    }
  auto median = [](std::vector<int>& v) {
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return static_cast<double>(v[v.size() / 2]);
  };
  return {median(rs), median(gs), median(bs)};
}

TEST_F(HauntedMeter, AtZeroDbTheBottomFourteenSegmentsShine)
{
  Attach(new SwatchControl(IRECT(0.f, 0.f, 1200.f, 800.f), kNoParameter, COLOR_BLACK));
  AttachMeter();
  Send(Averages(1.f, 1.f));
  canvas.RunFrames(3);
  for (int column = 0; column < 2; ++column) {
    for (int i = 0; i < HauntedMeterControl::kNumSegments; ++i) {
      const Median m = SegmentMedian(canvas, i, column);
      if (i <= 13)
        EXPECT_GT(m.b, 60.0) << "segment " << i << " column " << column;
      else
        EXPECT_LT(m.b, 40.0) << "segment " << i << " column " << column;
    }
  }
  // The top lit segment glows in the top colour band (120, 70, 140), the bottom one grey.
  const Median top = SegmentMedian(canvas, 13, 0);
  EXPECT_GT(top.b, top.g + 30.0);
  const Median bottom = SegmentMedian(canvas, 0, 0);
  EXPECT_LT(std::fabs(bottom.r - bottom.g), 15.0);
}

TEST_F(HauntedMeter, SilenceLeavesEverySegmentDark)
{
  Attach(new SwatchControl(IRECT(0.f, 0.f, 1200.f, 800.f), kNoParameter, COLOR_BLACK));
  AttachMeter();
  canvas.RunFrames(2);
  // Segment 0 is left out: the level bands float just above the well's floor, over it.
  for (int column = 0; column < 2; ++column)
    for (int i = 1; i < HauntedMeterControl::kNumSegments; ++i)
      EXPECT_LT(SegmentMedian(canvas, i, column).b, 40.0) << "segment " << i << " column " << column;
}

TEST_F(HauntedMeter, DrawsEveryFrameAndAdvancesItsPhases)
{
  auto* m = AttachMeter();
  const float p1 = m->GetPhase1();
  canvas.RunFrames(1);
  float e1 = p1 + 0.02f;
  if (e1 > 6.28318f)
    e1 -= 6.28318f;
  EXPECT_FLOAT_EQ(m->GetPhase1(), e1);
  EXPECT_TRUE(m->IsDirty());
  EXPECT_EQ(canvas.RunFrames(5), 5);
}

} // namespace
} // namespace umbra::ui::test
