// Pixel tests of the shape primitives, patterns, blends, clipping and transforms on a headless
// canvas.

#include "DrawingTestHelpers.h"
#include "Drawing/ImageFill.h"

namespace umbra::ui::test {
namespace {

constexpr IColor kOrange{255, 200, 100, 50};

struct ScaleCase {
  float drawScale;
  float screenScale;
};

class FilledRect : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(FilledRect, HasItsColourAndExactEdges)
{
  const ScaleCase sc = GetParam();
  ICanvasHeadless canvas(40, 30, sc.drawScale, sc.screenScale);
  const int s = static_cast<int>(canvas.GetBackingPixelScale());
  ASSERT_EQ(canvas.DeviceWidth(), 40 * s);
  ASSERT_EQ(canvas.DeviceHeight(), 30 * s);

  canvas.RenderFrame([](ICanvas& g) { g.FillRect(kOrange, IRECT(10, 5, 30, 25)); });

  // Inside, on all four edges' inner pixels.
  EXPECT_TRUE(ColorNear(canvas.GetPixel(10 * s, 5 * s), kOrange, 0));
  EXPECT_TRUE(ColorNear(canvas.GetPixel(30 * s - 1, 25 * s - 1), kOrange, 0));
  EXPECT_TRUE(ColorNear(canvas.GetPixel(20 * s, 15 * s), kOrange, 0));
  // Just outside each edge.
  EXPECT_EQ(canvas.GetPixel(10 * s - 1, 15 * s).A, 0);
  EXPECT_EQ(canvas.GetPixel(30 * s, 15 * s).A, 0);
  EXPECT_EQ(canvas.GetPixel(20 * s, 5 * s - 1).A, 0);
  EXPECT_EQ(canvas.GetPixel(20 * s, 25 * s).A, 0);

  const Ink ink = FindInk(canvas);
  EXPECT_EQ(ink.left, 10 * s);
  EXPECT_EQ(ink.top, 5 * s);
  EXPECT_EQ(ink.right, 30 * s);
  EXPECT_EQ(ink.bottom, 25 * s);
}

INSTANTIATE_TEST_SUITE_P(Scales, FilledRect,
                         ::testing::Values(ScaleCase{1.f, 1.f}, ScaleCase{2.f, 1.f},
                                           ScaleCase{1.f, 2.f}));

TEST(Arc, ZeroToNinetyDegreesIsTheUpperRightQuarter)
{
  ICanvasHeadless canvas(40, 40);
  canvas.RenderFrame([](ICanvas& g) { g.FillArc(COLOR_RED, 20, 20, 15, 0, 90); });
  EXPECT_EQ(canvas.GetPixel(27, 13).A, 255); // top right
  EXPECT_EQ(canvas.GetPixel(13, 13).A, 0);   // top left
  EXPECT_EQ(canvas.GetPixel(27, 27).A, 0);   // bottom right
  EXPECT_EQ(canvas.GetPixel(13, 27).A, 0);   // bottom left
  const Ink ink = FindInk(canvas, 128);
  EXPECT_EQ(ink.left, 20);
  EXPECT_EQ(ink.bottom, 20);
  EXPECT_EQ(ink.right, 35);
  EXPECT_EQ(ink.top, 5);
}

TEST(Arc, StrokedArcRunsFromTwelveToThreeOClock)
{
  ICanvasHeadless canvas(40, 40);
  canvas.RenderFrame([](ICanvas& g) { g.DrawArc(COLOR_RED, 20, 20, 15, 0, 90, nullptr, 2.f); });
  EXPECT_GT(canvas.GetPixel(30, 9).A, 128);  // 45 degrees: on the arc
  EXPECT_EQ(canvas.GetPixel(9, 9).A, 0);     // 315 degrees
  EXPECT_EQ(canvas.GetPixel(30, 30).A, 0);   // 135 degrees
  EXPECT_GT(canvas.GetPixel(20, 5).A, 100);  // the start, at twelve o'clock
  EXPECT_GT(canvas.GetPixel(34, 19).A, 100); // the end, at three o'clock
}

TEST(Arc, CounterClockwiseSweepTakesTheOtherWay)
{
  ICanvasHeadless canvas(40, 40);
  canvas.RenderFrame([](ICanvas& g) {
    g.FillArc(COLOR_RED, 20, 20, 15, 0, 270, nullptr, kWindingCCW); // twelve to nine o'clock
  });
  EXPECT_EQ(canvas.GetPixel(13, 13).A, 255);
  EXPECT_EQ(canvas.GetPixel(27, 13).A, 0);
}

TEST(RoundRect, RadiusZeroIsAPlainRectangle)
{
  ICanvasHeadless round(40, 30, 2.f);
  ICanvasHeadless plain(40, 30, 2.f);
  const IRECT r(3.5f, 4.25f, 31.f, 22.75f);
  round.RenderFrame([&](ICanvas& g) { g.FillRoundRect(kOrange, r, 0.f); });
  plain.RenderFrame([&](ICanvas& g) { g.FillRect(kOrange, r); });
  for (int y = 0; y < plain.DeviceHeight(); ++y)
    for (int x = 0; x < plain.DeviceWidth(); ++x)
      ASSERT_EQ(round.GetPixel(x, y), plain.GetPixel(x, y)) << x << ", " << y;
}

TEST(RoundRect, CornersAreCutAndTheMiddleFilled)
{
  ICanvasHeadless canvas(40, 40);
  canvas.RenderFrame([](ICanvas& g) { g.FillRoundRect(COLOR_RED, IRECT(0, 0, 40, 40), 10.f); });
  EXPECT_EQ(canvas.GetPixel(0, 0).A, 0);
  EXPECT_EQ(canvas.GetPixel(39, 39).A, 0);
  EXPECT_EQ(canvas.GetPixel(20, 0).A, 255);
  EXPECT_EQ(canvas.GetPixel(0, 20).A, 255);
}

TEST(Blend, WeightHalvesTheOpacityOfAFill)
{
  ICanvasHeadless canvas(20, 20);
  canvas.RenderFrame([](ICanvas& g) { g.FillRect(COLOR_RED, IRECT(0, 0, 20, 20), &BLEND_50); });
  EXPECT_TRUE(ColorNear(canvas.GetPixel(10, 10), IColor(128, 255, 0, 0)));
}

TEST(Blend, WeightScalesEveryGradientStop)
{
  ICanvasHeadless canvas(100, 10);
  canvas.RenderFrame([](ICanvas& g) {
    g.PathRect(IRECT(0, 0, 100, 10));
    g.PathFill(IPattern::CreateLinearGradient(0, 0, 100, 0, {{COLOR_RED, 0.f}, {COLOR_RED, 1.f}}),
               IFillOptions(), &BLEND_25);
  });
  EXPECT_TRUE(ColorNear(canvas.GetPixel(50, 5), IColor(64, 255, 0, 0)));
}

TEST(Blend, AdditiveAddsAndSaturates)
{
  ICanvasHeadless canvas(20, 20);
  const IBlend add(kBlendAdd, 1.f);
  canvas.RenderFrame([&](ICanvas& g) {
    g.FillRect(IColor(255, 100, 200, 0), IRECT(0, 0, 20, 20));
    g.FillRect(IColor(255, 50, 100, 30), IRECT(0, 0, 20, 20), &add);
  });
  EXPECT_TRUE(ColorNear(canvas.GetPixel(10, 10), IColor(255, 150, 255, 30)));
}

TEST(Blend, DestinationInKeepsTheDestinationOnlyInsideTheShape)
{
  ICanvasHeadless canvas(20, 20);
  canvas.RenderFrame([](ICanvas& g) {
    g.FillRect(COLOR_RED, IRECT(0, 0, 20, 20));
    g.FillRect(COLOR_BLACK.WithOpacity(0.5f), IRECT(0, 0, 10, 20), &BLEND_DST_IN);
  });
  // Inside the shape the destination keeps the shape's opacity; outside it is untouched.
  EXPECT_TRUE(ColorNear(canvas.GetPixel(5, 10), IColor(128, 255, 0, 0)));
  EXPECT_TRUE(ColorNear(canvas.GetPixel(15, 10), COLOR_RED, 0));
}

TEST(Gradient, ThreeStopsShowTheMiddleColour)
{
  ICanvasHeadless canvas(101, 10);
  canvas.RenderFrame([](ICanvas& g) {
    g.PathRect(IRECT(0, 0, 101, 10));
    g.PathFill(IPattern::CreateLinearGradient(
      0, 0, 101, 0, {{COLOR_TRANSPARENT, 0.f}, {COLOR_RED, 0.5f}, {COLOR_TRANSPARENT, 1.f}}));
  });
  const IColor middle = canvas.GetPixel(50, 5);
  EXPECT_GE(middle.A, 250);
  EXPECT_TRUE(ColorNear(middle, IColor(middle.A, 255, 0, 0)));
  EXPECT_LE(canvas.GetPixel(0, 5).A, 5);
  EXPECT_LE(canvas.GetPixel(100, 5).A, 5);
  // Halfway between a transparent end and the red middle.
  EXPECT_NEAR(canvas.GetPixel(25, 5).A, 128, 6);
  EXPECT_NEAR(canvas.GetPixel(75, 5).A, 128, 6);
}

TEST(Gradient, FollowsItsDirection)
{
  ICanvasHeadless canvas(10, 100);
  canvas.RenderFrame([](ICanvas& g) {
    g.PathRect(IRECT(0, 0, 10, 100));
    g.PathFill(IPattern::CreateLinearGradient(0, 0, 0, 100, {{COLOR_RED, 0.f}, {COLOR_BLUE, 1.f}}));
  });
  EXPECT_TRUE(ColorNear(canvas.GetPixel(5, 0), COLOR_RED, 3));
  EXPECT_TRUE(ColorNear(canvas.GetPixel(5, 99), COLOR_BLUE, 3));
}

TEST(Gradient, RadialRunsFromTheOriginToTheUnitCircleOfItsSpace)
{
  IPattern radial(kPatternRadial);
  radial.mTransform = IMatrix(1.0 / 40.0, 0.0, 0.0, 1.0 / 40.0, -50.0 / 40.0, -50.0 / 40.0);
  radial.AddStop(COLOR_RED, 0.f);
  radial.AddStop(COLOR_BLUE, 1.f);
  ICanvasHeadless canvas(100, 100);
  canvas.RenderFrame([&](ICanvas& g) {
    g.PathRect(IRECT(0, 0, 100, 100));
    g.PathFill(radial);
  });
  EXPECT_TRUE(ColorNear(canvas.GetPixel(50, 50), COLOR_RED, 6)); // the pixel centre is 0.7 from the origin
  EXPECT_TRUE(ColorNear(canvas.GetPixel(95, 50), COLOR_BLUE, 0)); // beyond the circle: padded
  const IColor half = canvas.GetPixel(70, 50);
  EXPECT_NEAR(half.R, 128, 8);
  EXPECT_NEAR(half.B, 128, 8);
}

TEST(Clip, RegionLimitsDrawing)
{
  for (float scale : {1.f, 2.f}) {
    ICanvasHeadless canvas(40, 40, scale);
    const int s = static_cast<int>(scale);
    canvas.BeginFrame();
    canvas.PrepareRegion(IRECT(10, 10, 20, 30));
    EXPECT_EQ(canvas.GetClipRECT(), IRECT(10, 10, 20, 30));
    canvas.FillRect(COLOR_RED, IRECT(0, 0, 40, 40));
    canvas.CompleteRegion(IRECT(10, 10, 20, 30));
    canvas.EndFrame();
    const Ink ink = FindInk(canvas);
    EXPECT_EQ(ink.left, 10 * s);
    EXPECT_EQ(ink.top, 10 * s);
    EXPECT_EQ(ink.right, 20 * s);
    EXPECT_EQ(ink.bottom, 30 * s);
    EXPECT_EQ(ink.maxAlpha, 255);
  }
}

TEST(Clip, PrepareRegionResetsTheTransformAndThePath)
{
  ICanvasHeadless canvas(40, 40);
  canvas.BeginFrame();
  canvas.PathTransformTranslate(100, 100);
  canvas.PathTransformSave();
  canvas.PathRect(IRECT(0, 0, 5, 5));
  canvas.PrepareRegion(IRECT(0, 0, 40, 40));
  EXPECT_EQ(canvas.GetTransform(), IMatrix());
  canvas.PathTransformRestore(); // the stack was cleared: nothing to restore
  EXPECT_EQ(canvas.GetTransform(), IMatrix());
  canvas.PathRect(IRECT(20, 20, 25, 25));
  canvas.PathFill(COLOR_RED);
  canvas.EndFrame();
  const Ink ink = FindInk(canvas);
  EXPECT_EQ(ink.left, 20);
  EXPECT_EQ(ink.top, 20);
}

TEST(Clip, FramesKeepWhatIsOutsideTheRegion)
{
  ICanvasHeadless canvas(20, 20);
  canvas.RenderFrame([](ICanvas& g) { g.FillRect(COLOR_RED, IRECT(0, 0, 20, 20)); });
  canvas.BeginFrame();
  canvas.PrepareRegion(IRECT(0, 0, 10, 20));
  canvas.FillRect(COLOR_BLUE, IRECT(0, 0, 20, 20));
  canvas.EndFrame();
  EXPECT_EQ(canvas.GetPixel(5, 5), COLOR_BLUE);
  EXPECT_EQ(canvas.GetPixel(15, 5), COLOR_RED);
}

TEST(Path, FillConsumesThePathUnlessPreserved)
{
  ICanvasHeadless canvas(20, 20);
  canvas.RenderFrame([](ICanvas& g) {
    g.PathRect(IRECT(0, 0, 10, 10));
    g.PathFill(COLOR_RED);
    g.PathFill(COLOR_BLUE); // no path any more
  });
  EXPECT_EQ(canvas.GetPixel(5, 5), COLOR_RED);

  canvas.RenderFrame([](ICanvas& g) {
    IFillOptions keep;
    keep.mPreserve = true;
    g.PathRect(IRECT(0, 0, 10, 10));
    g.PathFill(COLOR_RED, keep);
    g.PathFill(COLOR_BLUE);
  });
  EXPECT_EQ(canvas.GetPixel(5, 5), COLOR_BLUE);
}

TEST(Path, EvenOddFillLeavesTheInnerShapeEmpty)
{
  ICanvasHeadless canvas(30, 30);
  canvas.RenderFrame([](ICanvas& g) {
    g.PathRect(IRECT(0, 0, 30, 30));
    g.PathRect(IRECT(10, 10, 20, 20));
    IFillOptions evenOdd;
    evenOdd.mFillRule = kFillEvenOdd;
    g.PathFill(COLOR_RED, evenOdd);
  });
  EXPECT_EQ(canvas.GetPixel(5, 5).A, 255);
  EXPECT_EQ(canvas.GetPixel(15, 15).A, 0);
}

TEST(Path, CounterClockwiseSubpathCutsAHoleUnderTheWindingRule)
{
  ICanvasHeadless canvas(30, 30);
  canvas.RenderFrame([](ICanvas& g) {
    g.PathRect(IRECT(0, 0, 30, 30));
    g.PathRect(IRECT(10, 10, 20, 20));
    g.PathFill(COLOR_RED);
  });
  EXPECT_EQ(canvas.GetPixel(15, 15).A, 255); // both clockwise: no hole

  ICanvasHeadless holed(30, 30);
  holed.RenderFrame([](ICanvas& g) {
    g.PathRect(IRECT(0, 0, 30, 30));
    g.PathRect(IRECT(10, 10, 20, 20));
    g.PathSetWinding(false);
    g.PathFill(COLOR_RED);
  });
  EXPECT_EQ(holed.GetPixel(5, 5).A, 255);
  EXPECT_EQ(holed.GetPixel(15, 15).A, 0);

  // Asking for the direction a sub-path already has changes nothing.
  ICanvasHeadless kept(30, 30);
  kept.RenderFrame([](ICanvas& g) {
    g.PathRect(IRECT(0, 0, 30, 30));
    g.PathRect(IRECT(10, 10, 20, 20));
    g.PathSetWinding(true);
    g.PathFill(COLOR_RED);
  });
  EXPECT_EQ(kept.GetPixel(15, 15).A, 255);
}

TEST(Path, StrokeDrawsOnTheOutlineOnly)
{
  ICanvasHeadless canvas(30, 30);
  canvas.RenderFrame([](ICanvas& g) { g.DrawRect(COLOR_RED, IRECT(5, 5, 25, 25), nullptr, 2.f); });
  EXPECT_EQ(canvas.GetPixel(5, 15).A, 255);
  EXPECT_EQ(canvas.GetPixel(4, 15).A, 255);
  EXPECT_EQ(canvas.GetPixel(15, 15).A, 0);
  EXPECT_EQ(canvas.GetPixel(2, 15).A, 0);
}

TEST(Path, DottedLineAlternates)
{
  ICanvasHeadless canvas(40, 10);
  canvas.RenderFrame([](ICanvas& g) {
    g.DrawDottedLine(COLOR_RED, 0, 5, 40, 5, nullptr, 2.f, 4.f);
  });
  EXPECT_EQ(canvas.GetPixel(1, 5).A, 255);
  EXPECT_EQ(canvas.GetPixel(5, 5).A, 0);
  EXPECT_EQ(canvas.GetPixel(9, 5).A, 255);
}

TEST(Transform, TranslateAndScaleMoveShapes)
{
  ICanvasHeadless canvas(40, 40);
  canvas.RenderFrame([](ICanvas& g) {
    g.PathTransformTranslate(10, 20);
    g.PathTransformScale(2.f);
    g.FillRect(COLOR_RED, IRECT(0, 0, 5, 5));
  });
  const Ink ink = FindInk(canvas);
  EXPECT_EQ(ink.left, 10);
  EXPECT_EQ(ink.top, 20);
  EXPECT_EQ(ink.right, 20);
  EXPECT_EQ(ink.bottom, 30);
}

TEST(Transform, RotationIsClockwise)
{
  ICanvasHeadless canvas(40, 40);
  canvas.RenderFrame([](ICanvas& g) {
    g.PathTransformTranslate(20, 20);
    g.PathTransformRotate(90.f);
    g.FillRect(COLOR_RED, IRECT(0, -2, 15, 2)); // pointing right, turned to point down
  });
  EXPECT_EQ(canvas.GetPixel(20, 30).A, 255);
  EXPECT_EQ(canvas.GetPixel(30, 20).A, 0);
}

TEST(Transform, SingularScaleDrawsNothingAndRecovers)
{
  ICanvasHeadless canvas(20, 20);
  canvas.RenderFrame([](ICanvas& g) {
    g.PathTransformSave();
    g.PathTransformScale(0.f);
    g.FillRect(COLOR_RED, IRECT(0, 0, 20, 20));
    g.PathTransformRestore();
    g.FillRect(COLOR_BLUE, IRECT(0, 0, 10, 10));
  });
  EXPECT_EQ(canvas.GetPixel(5, 5), COLOR_BLUE);
  EXPECT_EQ(canvas.GetPixel(15, 15).A, 0);
}

TEST(Shapes, CircleEllipseAndTriangleCoverTheirInsides)
{
  ICanvasHeadless canvas(60, 60);
  canvas.RenderFrame([](ICanvas& g) {
    g.FillCircle(COLOR_RED, 15, 15, 10);
    g.FillEllipse(COLOR_GREEN, IRECT(30, 5, 60, 25));
    g.FillTriangle(COLOR_BLUE, 5, 55, 25, 35, 25, 55);
  });
  EXPECT_EQ(canvas.GetPixel(15, 15), COLOR_RED);
  EXPECT_EQ(canvas.GetPixel(6, 6).A, 0); // outside the circle, inside its box
  EXPECT_EQ(canvas.GetPixel(45, 15), COLOR_GREEN);
  EXPECT_EQ(canvas.GetPixel(31, 6).A, 0);
  EXPECT_EQ(canvas.GetPixel(22, 52), COLOR_BLUE);
  EXPECT_EQ(canvas.GetPixel(8, 38).A, 0);
}

TEST(Canvas, ResizeRecreatesTheImage)
{
  ICanvasHeadless canvas(40, 30);
  canvas.RenderFrame([](ICanvas& g) { g.FillRect(COLOR_RED, IRECT(0, 0, 40, 30)); });
  canvas.Resize(50, 20, 2.f);
  EXPECT_EQ(canvas.DeviceWidth(), 100);
  EXPECT_EQ(canvas.DeviceHeight(), 40);
  EXPECT_EQ(canvas.GetPixel(0, 0).A, 0);
  canvas.RenderFrame([](ICanvas& g) { g.FillRect(COLOR_RED, IRECT(49, 19, 50, 20)); });
  EXPECT_EQ(canvas.GetPixel(99, 39), COLOR_RED);
  EXPECT_EQ(canvas.GetPixel(97, 39).A, 0);

  canvas.SetScreenScale(1.5f);
  EXPECT_FLOAT_EQ(canvas.GetBackingPixelScale(), 3.f);
  EXPECT_EQ(canvas.DeviceWidth(), 150);

  canvas.Resize(50, 20, 10.f); // beyond the largest zoom
  EXPECT_FLOAT_EQ(canvas.GetDrawScale(), 4.f);
}

} // namespace
// Rings of translucent ellipses, each inside the one before but not all of one centre, the
// image's clip cutting through them: filled as one nested group they give the pixels of filling
// them one by one, within the rounding of compositing once instead of several times.
TEST(Shapes, NestedEllipsesEqualFillingThemOneByOne)
{
  constexpr int kW = 200, kH = 120;
  std::vector<std::uint32_t> oneByOne(kW * kH, 0xff281e3cu), nested = oneByOne;
  ImageFiller::Ellipse rings[4];
  for (int k = 0; k < 4; ++k) {
    const double s = 1.0 - 0.2 * k;
    rings[k] = {100.0 + 6.0 * k, 60.3, 95.0 * s, 58.0 * s,
                PremultipliedPixel(0.9, 0.86, 0.98, 0.35 * s)};
  }
  ImageFiller filler;
  ImageTarget target{oneByOne.data(), kW, 0, 10, 190, kH};
  for (const auto& e : rings)
    filler.FillEllipse(target, e.cx, e.cy, e.rx, e.ry, e.colour);
  target.pixels = nested.data();
  filler.FillNestedEllipses(target, rings, 4);

  int worst = 0, changed = 0;
  for (size_t i = 0; i < oneByOne.size(); ++i) {
    changed += oneByOne[i] != 0xff281e3cu;
    for (int shift = 0; shift < 32; shift += 8) {
      const int a = static_cast<int>((oneByOne[i] >> shift) & 0xffu);
      const int b = static_cast<int>((nested[i] >> shift) & 0xffu);
      worst = std::max(worst, std::abs(a - b));
    }
  }
  EXPECT_GT(changed, 10000);
  EXPECT_LE(worst, 2);
  // Nothing outside the clip.
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      if (y < 10 || x >= 190) {
        ASSERT_EQ(nested[static_cast<size_t>(y * kW + x)], 0xff281e3cu) << x << ", " << y;
      }
    }
  }
}

} // namespace umbra::ui::test
