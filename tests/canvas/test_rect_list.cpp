// The dirty-region list. Every optimisation case is judged by painting: each resulting rectangle
// adds one to the pixels it covers, and every pixel of the original union must end at exactly one
// and every other pixel at zero.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "IRECTList.h"

using namespace umbra::ui;

namespace {

constexpr int kGrid = 64;

std::string Describe(const IRECT& r)
{
  std::ostringstream out;
  out << "(" << r.L << ", " << r.T << ", " << r.R << ", " << r.B << ")";
  return out.str();
}

std::string Describe(const std::vector<IRECT>& rects)
{
  std::string text;
  for (const IRECT& r : rects)
    text += Describe(r) + " ";
  return text;
}

// Adds `amount` to every grid pixel of r, where one grid pixel is 1/scale logical pixels. Fails
// when r does not lie on the grid.
testing::AssertionResult Paint(std::vector<int>& grid, const IRECT& r, float scale, int amount)
{
  const float edges[4] = {r.L * scale, r.T * scale, r.R * scale, r.B * scale};
  for (float e : edges) {
    if (std::fabs(e - std::round(e)) > 1e-3f || e < 0.f || e > static_cast<float>(kGrid))
      return testing::AssertionFailure() << Describe(r) << " is off the grid";
  }
  const int l = static_cast<int>(std::lround(edges[0])), t = static_cast<int>(std::lround(edges[1]));
  const int rr = static_cast<int>(std::lround(edges[2])), b = static_cast<int>(std::lround(edges[3]));
  for (int y = t; y < b; ++y)
    for (int x = l; x < rr; ++x)
      grid[static_cast<size_t>(y * kGrid + x)] += amount;
  return testing::AssertionSuccess();
}

// The optimised list covers every pixel of the originals' union exactly once and nothing else;
// its members all have area and no two of them still share a whole edge.
testing::AssertionResult CoversExactlyOnce(const std::vector<IRECT>& originals,
                                           const IRECTList& list, float scale = 1.f)
{
  std::vector<int> wanted(kGrid * kGrid, 0), painted(kGrid * kGrid, 0);
  for (const IRECT& r : originals) {
    if (auto ok = Paint(wanted, r, scale, 1); !ok)
      return ok;
  }
  std::vector<IRECT> result(list.begin(), list.end());
  for (const IRECT& r : result) {
    if (!(r.W() > 0.f && r.H() > 0.f))
      return testing::AssertionFailure() << "member without area " << Describe(r);
    if (auto ok = Paint(painted, r, scale, 1); !ok)
      return ok;
  }
  for (int y = 0; y < kGrid; ++y) {
    for (int x = 0; x < kGrid; ++x) {
      const size_t i = static_cast<size_t>(y * kGrid + x);
      const int expected = wanted[i] > 0 ? 1 : 0;
      if (painted[i] != expected)
        return testing::AssertionFailure()
               << "pixel (" << x << ", " << y << ") painted " << painted[i] << " times, wanted "
               << expected << "\n  originals: " << Describe(originals)
               << "\n  result:    " << Describe(result);
    }
  }
  for (size_t i = 0; i < result.size(); ++i) {
    for (size_t j = i + 1; j < result.size(); ++j) {
      const IRECT& a = result[i];
      const IRECT& b = result[j];
      if ((a.L == b.L && a.R == b.R && (a.B == b.T || b.B == a.T)) ||
          (a.T == b.T && a.B == b.B && (a.R == b.L || b.R == a.L)))
        return testing::AssertionFailure() << Describe(a) << " and " << Describe(b)
                                           << " share a whole edge but were not joined";
    }
  }
  return testing::AssertionSuccess();
}

// The same rectangles in any order.
testing::AssertionResult SameMembers(const IRECTList& list, std::vector<IRECT> expected)
{
  std::vector<IRECT> actual(list.begin(), list.end());
  auto less = [](const IRECT& a, const IRECT& b) {
    return std::tie(a.L, a.T, a.R, a.B) < std::tie(b.L, b.T, b.R, b.B);
  };
  std::sort(actual.begin(), actual.end(), less);
  std::sort(expected.begin(), expected.end(), less);
  if (actual == expected)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "got " << Describe(actual) << "wanted " << Describe(expected);
}

IRECTList MakeList(const std::vector<IRECT>& rects)
{
  IRECTList list;
  for (const IRECT& r : rects)
    list.Add(r);
  return list;
}

IRECTList Optimized(const std::vector<IRECT>& rects)
{
  IRECTList list = MakeList(rects);
  list.Optimize();
  return list;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The list itself

TEST(RectList, AddGetClearAndBounds)
{
  IRECTList list;
  EXPECT_EQ(list.Size(), 0);
  EXPECT_TRUE(list.Bounds().Empty());
  list.Add(IRECT(10.f, 20.f, 30.f, 40.f));
  list.Add(IRECT(5.f, 25.f, 15.f, 60.f));
  ASSERT_EQ(list.Size(), 2);
  EXPECT_EQ(list.Get(1), IRECT(5.f, 25.f, 15.f, 60.f));
  EXPECT_EQ(list.Bounds(), IRECT(5.f, 20.f, 30.f, 60.f));
  list.Clear();
  EXPECT_EQ(list.Size(), 0);
}

TEST(RectList, PixelAlignSnapsEveryMember)
{
  IRECTList list = MakeList({{9.25f, 9.25f, 20.75f, 20.75f}, {0.1f, 0.6f, 1.4f, 1.5f}});
  list.PixelAlign(2.f);
  EXPECT_EQ(list.Get(0), IRECT(9.f, 9.f, 21.f, 21.f));
  EXPECT_EQ(list.Get(1), IRECT(0.f, 0.5f, 1.5f, 1.5f));
}

// ---------------------------------------------------------------------------------------------
// Optimisation of two members

TEST(RectListOptimize, ContainedAndEqualMembersAreRemoved)
{
  const std::vector<IRECT> inner = {{20.f, 20.f, 30.f, 30.f}, {10.f, 10.f, 40.f, 40.f}};
  IRECTList list = Optimized(inner);
  ASSERT_EQ(list.Size(), 1);
  EXPECT_EQ(list.Get(0), IRECT(10.f, 10.f, 40.f, 40.f));

  const std::vector<IRECT> touchingInside = {{10.f, 10.f, 40.f, 40.f}, {10.f, 10.f, 40.f, 20.f}};
  list = Optimized(touchingInside);
  ASSERT_EQ(list.Size(), 1);
  EXPECT_EQ(list.Get(0), IRECT(10.f, 10.f, 40.f, 40.f));

  const std::vector<IRECT> equal(3, IRECT(5.f, 6.f, 7.f, 8.f));
  list = Optimized(equal);
  ASSERT_EQ(list.Size(), 1);
  EXPECT_EQ(list.Get(0), IRECT(5.f, 6.f, 7.f, 8.f));
}

TEST(RectListOptimize, OverlapOverAWholeSideShrinksThatMember)
{
  const IRECT big(20.f, 20.f, 40.f, 40.f);
  // A narrower member reaching into big from each side in turn; the overlap spans its whole
  // inner side, so it is cut back to the part outside big.
  const std::vector<IRECT> poking = {{10.f, 25.f, 30.f, 35.f},  // from the left
                                     {30.f, 25.f, 50.f, 35.f},  // from the right
                                     {25.f, 10.f, 35.f, 30.f},  // from above
                                     {25.f, 30.f, 35.f, 50.f}}; // from below
  for (const IRECT& other : poking) {
    for (bool bigFirst : {true, false}) {
      const std::vector<IRECT> rects = bigFirst ? std::vector<IRECT>{big, other}
                                                : std::vector<IRECT>{other, big};
      const IRECTList list = Optimized(rects);
      EXPECT_TRUE(CoversExactlyOnce(rects, list));
      EXPECT_EQ(list.Size(), 2) << Describe(other);
      EXPECT_TRUE(list.Get(0) == big || list.Get(1) == big) << Describe(other);
    }
  }
}

TEST(RectListOptimize, MembersOfEqualExtentOverlappingEndToEndBecomeOne)
{
  const std::vector<IRECT> sideways = {{0.f, 0.f, 10.f, 10.f}, {5.f, 0.f, 15.f, 10.f}};
  IRECTList list = Optimized(sideways);
  EXPECT_TRUE(CoversExactlyOnce(sideways, list));
  ASSERT_EQ(list.Size(), 1);
  EXPECT_EQ(list.Get(0), IRECT(0.f, 0.f, 15.f, 10.f));

  const std::vector<IRECT> upright = {{3.f, 8.f, 9.f, 20.f}, {3.f, 2.f, 9.f, 10.f}};
  list = Optimized(upright);
  EXPECT_TRUE(CoversExactlyOnce(upright, list));
  ASSERT_EQ(list.Size(), 1);
  EXPECT_EQ(list.Get(0), IRECT(3.f, 2.f, 9.f, 20.f));
}

TEST(RectListOptimize, CornerOverlapSplitsTheSmallerMemberIntoTwo)
{
  const IRECT big(10.f, 10.f, 40.f, 40.f);
  // A small member over each corner of big, so that big covers the opposite corner of the small
  // one: each of the four splitting rules is used once. The part beside the overlap keeps the
  // overlap's height; the other part takes the member's full width where it can.
  struct Case {
    IRECT small;
    std::vector<IRECT> parts;
  };
  const std::vector<Case> cases = {
    {{30.f, 30.f, 45.f, 48.f}, {{40.f, 30.f, 45.f, 40.f}, {30.f, 40.f, 45.f, 48.f}}}, // top-left
    {{2.f, 30.f, 20.f, 44.f}, {{2.f, 30.f, 10.f, 40.f}, {2.f, 40.f, 20.f, 44.f}}},   // top-right
    {{32.f, 4.f, 50.f, 20.f}, {{32.f, 4.f, 50.f, 10.f}, {40.f, 10.f, 50.f, 20.f}}},  // bottom-left
    {{3.f, 1.f, 15.f, 18.f}, {{3.f, 1.f, 15.f, 10.f}, {3.f, 10.f, 10.f, 18.f}}},     // bottom-right
  };
  for (const Case& c : cases) {
    for (bool bigFirst : {true, false}) {
      const std::vector<IRECT> rects = bigFirst ? std::vector<IRECT>{big, c.small}
                                                : std::vector<IRECT>{c.small, big};
      const IRECTList list = Optimized(rects);
      EXPECT_TRUE(CoversExactlyOnce(rects, list));
      EXPECT_TRUE(SameMembers(list, {big, c.parts[0], c.parts[1]})) << Describe(c.small);
    }
  }
}

TEST(RectListOptimize, CornerOverlapOfEqualSizes)
{
  const std::vector<std::vector<IRECT>> cases = {
    {{10.f, 10.f, 30.f, 30.f}, {20.f, 20.f, 40.f, 40.f}},
    {{10.f, 10.f, 30.f, 30.f}, {20.f, 0.f, 40.f, 20.f}},
    {{10.f, 10.f, 30.f, 30.f}, {0.f, 20.f, 20.f, 40.f}},
    {{10.f, 10.f, 30.f, 30.f}, {0.f, 0.f, 20.f, 20.f}},
  };
  for (const auto& rects : cases) {
    const IRECTList list = Optimized(rects);
    EXPECT_TRUE(CoversExactlyOnce(rects, list));
    EXPECT_EQ(list.Size(), 3);
  }
}

TEST(RectListOptimize, MembersCrossingLikeAPlusSign)
{
  // The overlap spans neither a whole side nor a corner of either member.
  const std::vector<IRECT> plus = {{0.f, 10.f, 40.f, 20.f}, {15.f, 0.f, 25.f, 30.f}};
  for (bool reversed : {false, true}) {
    const std::vector<IRECT> rects = reversed ? std::vector<IRECT>{plus[1], plus[0]} : plus;
    const IRECTList list = Optimized(rects);
    EXPECT_TRUE(CoversExactlyOnce(rects, list));
    // The smaller, upright bar is cut above and below the wide one.
    EXPECT_TRUE(SameMembers(list, {plus[0], {15.f, 0.f, 25.f, 10.f}, {15.f, 20.f, 25.f, 30.f}}));
  }
}

TEST(RectListOptimize, MembersWithoutAreaAreDropped)
{
  const std::vector<IRECT> rects = {{5.f, 5.f, 5.f, 20.f}, {1.f, 1.f, 9.f, 1.f}, {}, {2.f, 2.f, 4.f, 4.f}};
  const IRECTList list = Optimized(rects);
  ASSERT_EQ(list.Size(), 1);
  EXPECT_EQ(list.Get(0), IRECT(2.f, 2.f, 4.f, 4.f));
}

// ---------------------------------------------------------------------------------------------
// Joining neighbours

TEST(RectListOptimize, NeighboursSharingAWholeEdgeAreJoined)
{
  const std::vector<IRECT> row = {{30.f, 0.f, 40.f, 5.f}, {0.f, 0.f, 10.f, 5.f},
                                  {20.f, 0.f, 30.f, 5.f}, {10.f, 0.f, 20.f, 5.f}};
  IRECTList list = Optimized(row);
  ASSERT_EQ(list.Size(), 1);
  EXPECT_EQ(list.Get(0), IRECT(0.f, 0.f, 40.f, 5.f));

  const std::vector<IRECT> column = {{2.f, 10.f, 6.f, 20.f}, {2.f, 0.f, 6.f, 10.f}, {2.f, 20.f, 6.f, 21.f}};
  list = Optimized(column);
  ASSERT_EQ(list.Size(), 1);
  EXPECT_EQ(list.Get(0), IRECT(2.f, 0.f, 6.f, 21.f));

  // Four quadrants become one square, whichever pairs join first.
  const std::vector<IRECT> quads = {{0.f, 0.f, 5.f, 5.f}, {5.f, 5.f, 10.f, 10.f},
                                    {5.f, 0.f, 10.f, 5.f}, {0.f, 5.f, 5.f, 10.f}};
  list = Optimized(quads);
  ASSERT_EQ(list.Size(), 1);
  EXPECT_EQ(list.Get(0), IRECT(0.f, 0.f, 10.f, 10.f));
}

TEST(RectListOptimize, NeighboursSharingPartOfAnEdgeStaySeparate)
{
  const std::vector<IRECT> ell = {{0.f, 0.f, 10.f, 5.f}, {0.f, 5.f, 5.f, 15.f}};
  IRECTList list = Optimized(ell);
  EXPECT_TRUE(CoversExactlyOnce(ell, list));
  EXPECT_EQ(list.Size(), 2);

  const std::vector<IRECT> apart = {{0.f, 0.f, 10.f, 5.f}, {0.f, 6.f, 10.f, 10.f}};
  list = Optimized(apart);
  EXPECT_EQ(list.Size(), 2);
}

// ---------------------------------------------------------------------------------------------
// Three and more members

TEST(RectListOptimize, ThreeAndMoreOverlappingMembers)
{
  const std::vector<std::vector<IRECT>> cases = {
    // A diagonal staircase: each overlaps the next at a corner, the first and last too.
    {{0.f, 0.f, 20.f, 20.f}, {10.f, 10.f, 30.f, 30.f}, {15.f, 15.f, 40.f, 40.f}},
    // A plus sign over a square.
    {{0.f, 10.f, 40.f, 20.f}, {15.f, 0.f, 25.f, 30.f}, {12.f, 8.f, 28.f, 22.f}},
    // A frame of four bars overlapping at the corners, around a hole.
    {{0.f, 0.f, 30.f, 6.f}, {24.f, 0.f, 30.f, 30.f}, {0.f, 24.f, 30.f, 30.f}, {0.f, 0.f, 6.f, 30.f}},
    // A brick wall.
    {{0.f, 0.f, 12.f, 6.f}, {10.f, 0.f, 22.f, 6.f}, {5.f, 4.f, 17.f, 10.f}, {15.f, 4.f, 27.f, 10.f},
     {0.f, 8.f, 12.f, 14.f}, {10.f, 8.f, 22.f, 14.f}},
    // One member overlapping three others that overlap each other.
    {{5.f, 5.f, 35.f, 35.f}, {0.f, 0.f, 10.f, 40.f}, {0.f, 0.f, 40.f, 10.f}, {30.f, 0.f, 40.f, 40.f},
     {20.f, 20.f, 25.f, 45.f}},
    // Nested members and a duplicate among crossing ones.
    {{10.f, 10.f, 50.f, 20.f}, {20.f, 0.f, 30.f, 40.f}, {22.f, 2.f, 28.f, 38.f},
     {10.f, 10.f, 50.f, 20.f}, {0.f, 15.f, 60.f, 17.f}},
  };
  for (const auto& rects : cases) {
    const IRECTList list = Optimized(rects);
    EXPECT_TRUE(CoversExactlyOnce(rects, list));
  }
}

TEST(RectListOptimize, RandomListsWithIntegerCoordinates)
{
  std::mt19937 rng(20240601u);
  std::uniform_int_distribution<int> count(1, 14);
  std::uniform_int_distribution<int> pos(0, kGrid - 2);
  std::uniform_int_distribution<int> size(1, 24);
  for (int trial = 0; trial < 400; ++trial) {
    std::vector<IRECT> rects;
    const int n = count(rng);
    for (int k = 0; k < n; ++k) {
      const int l = pos(rng), t = pos(rng);
      const int r = std::min(kGrid, l + size(rng)), b = std::min(kGrid, t + size(rng));
      rects.emplace_back(static_cast<float>(l), static_cast<float>(t), static_cast<float>(r),
                         static_cast<float>(b));
    }
    const IRECTList list = Optimized(rects);
    ASSERT_TRUE(CoversExactlyOnce(rects, list)) << "trial " << trial;
  }
}

TEST(RectListOptimize, RandomGrownRegionsAlignedAtDoubleScale)
{
  // As in a frame: control bounds grown by 0.75, snapped to the pixel grid of a 2x screen, then
  // optimised. The painting grid is the device grid.
  std::mt19937 rng(7u);
  std::uniform_int_distribution<int> count(2, 10);
  std::uniform_int_distribution<int> pos(4, 2 * (kGrid / 2 - 12));
  std::uniform_int_distribution<int> size(1, 16);
  for (int trial = 0; trial < 200; ++trial) {
    IRECTList list;
    const int n = count(rng);
    for (int k = 0; k < n; ++k) {
      const float l = 0.5f * static_cast<float>(pos(rng)), t = 0.5f * static_cast<float>(pos(rng));
      const IRECT bounds(l, t, l + 0.5f * static_cast<float>(size(rng)),
                         t + 0.5f * static_cast<float>(size(rng)));
      list.Add(bounds.GetPadded(0.75f));
    }
    list.PixelAlign(2.f);
    const std::vector<IRECT> aligned(list.begin(), list.end());
    list.Optimize();
    ASSERT_TRUE(CoversExactlyOnce(aligned, list, 2.f)) << "trial " << trial;
  }
}
