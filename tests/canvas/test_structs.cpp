// The value types of the UI layer: rectangle arithmetic, colour sets, blends, gradients and
// transforms, text styles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

#include "ICanvasStructs.h"

using namespace umbra::ui;

namespace {

void ExpectRect(const IRECT& r, float l, float t, float rr, float b)
{
  EXPECT_FLOAT_EQ(r.L, l);
  EXPECT_FLOAT_EQ(r.T, t);
  EXPECT_FLOAT_EQ(r.R, rr);
  EXPECT_FLOAT_EQ(r.B, b);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Rectangles

TEST(RectContains, EmptyRectangleHoldsNoPointNotEvenItsOrigin)
{
  const IRECT empty;
  EXPECT_TRUE(empty.Empty());
  EXPECT_FALSE(empty.Contains(0.f, 0.f));
  EXPECT_FALSE(IRECT(0.f, 0.f, 0.f, 0.f).Contains(0.f, 0.f));
}

TEST(RectContains, LeftAndTopEdgesInsideRightAndBottomOutside)
{
  const IRECT r(10.f, 20.f, 30.f, 50.f);
  EXPECT_TRUE(r.Contains(10.f, 20.f));
  EXPECT_TRUE(r.Contains(10.f, 49.99f));
  EXPECT_TRUE(r.Contains(29.99f, 20.f));
  EXPECT_FALSE(r.Contains(30.f, 30.f));
  EXPECT_FALSE(r.Contains(20.f, 50.f));
  EXPECT_FALSE(r.Contains(30.f, 50.f));
  EXPECT_FALSE(r.Contains(9.99f, 30.f));
  EXPECT_FALSE(r.Contains(20.f, 19.99f));
}

TEST(RectContains, RectangleAtTheOriginIsNotEmpty)
{
  // Only all four values 0 make the empty rectangle; one touching the origin still holds it.
  const IRECT r(0.f, 0.f, 5.f, 5.f);
  EXPECT_FALSE(r.Empty());
  EXPECT_TRUE(r.Contains(0.f, 0.f));
}

TEST(RectCombine, EmptyRectangleIsTheIdentityOfUnion)
{
  const IRECT r(-5.f, 3.f, 7.f, 9.f);
  EXPECT_EQ(r.Union(IRECT()), r);
  EXPECT_EQ(IRECT().Union(r), r);
  EXPECT_TRUE(IRECT().Union(IRECT()).Empty());
  // Were the empty rectangle an ordinary one, the union would stretch to the origin.
  EXPECT_EQ(IRECT(10.f, 10.f, 20.f, 20.f).Union(IRECT()), IRECT(10.f, 10.f, 20.f, 20.f));
}

TEST(RectCombine, UnionSpansBothAndIntersectionKeepsTheCommonPart)
{
  const IRECT a(0.f, 0.f, 10.f, 10.f);
  const IRECT b(5.f, -5.f, 20.f, 8.f);
  EXPECT_EQ(a.Union(b), IRECT(0.f, -5.f, 20.f, 10.f));
  EXPECT_EQ(a.Intersect(b), IRECT(5.f, 0.f, 10.f, 8.f));
  EXPECT_EQ(b.Intersect(a), a.Intersect(b));
  EXPECT_EQ(a.Intersect(IRECT(2.f, 2.f, 4.f, 4.f)), IRECT(2.f, 2.f, 4.f, 4.f));
}

TEST(RectCombine, IntersectionWithoutCommonAreaIsEmpty)
{
  const IRECT a(0.f, 0.f, 10.f, 10.f);
  EXPECT_TRUE(a.Intersect(IRECT(20.f, 20.f, 30.f, 30.f)).Empty());
  EXPECT_TRUE(a.Intersect(IRECT(10.f, 0.f, 20.f, 10.f)).Empty()); // touching edges
  EXPECT_TRUE(a.Intersect(IRECT()).Empty());
}

TEST(RectDerive, PaddingGrowsAndNegativePaddingShrinks)
{
  const IRECT r(10.f, 20.f, 110.f, 70.f);
  EXPECT_EQ(r.GetPadded(5.f), IRECT(5.f, 15.f, 115.f, 75.f));
  EXPECT_EQ(r.GetPadded(-10.f), IRECT(20.f, 30.f, 100.f, 60.f));
  EXPECT_EQ(r.GetPadded(1.f, 2.f, 3.f, 4.f), IRECT(9.f, 18.f, 113.f, 74.f));
  EXPECT_EQ(r.GetPadded(-1.f, -2.f, -3.f, -4.f), IRECT(11.f, 22.f, 107.f, 66.f));
  EXPECT_EQ(r, IRECT(10.f, 20.f, 110.f, 70.f));
}

TEST(RectDerive, SlicesAndRemaindersFromEachSide)
{
  const IRECT r(10.f, 20.f, 110.f, 70.f);
  EXPECT_EQ(r.GetFromTop(15.f), IRECT(10.f, 20.f, 110.f, 35.f));
  EXPECT_EQ(r.GetFromBottom(15.f), IRECT(10.f, 55.f, 110.f, 70.f));
  EXPECT_EQ(r.GetFromLeft(30.f), IRECT(10.f, 20.f, 40.f, 70.f));
  EXPECT_EQ(r.GetFromRight(30.f), IRECT(80.f, 20.f, 110.f, 70.f));
  // A slice and the remainder from the same side tile the rectangle.
  EXPECT_EQ(r.GetReducedFromTop(15.f), IRECT(10.f, 35.f, 110.f, 70.f));
  EXPECT_EQ(r.GetReducedFromBottom(15.f), IRECT(10.f, 20.f, 110.f, 55.f));
  EXPECT_EQ(r.GetReducedFromLeft(30.f), IRECT(40.f, 20.f, 110.f, 70.f));
  EXPECT_EQ(r.GetReducedFromRight(30.f), IRECT(10.f, 20.f, 80.f, 70.f));
}

TEST(RectDerive, EqualStripsTileWithoutGapsEvenForAwkwardSizes)
{
  const IRECT r(0.1f, 3.3f, 100.7f, 45.9f);
  for (int n : {1, 3, 7, 12}) {
    EXPECT_EQ(r.GetColumn(0, n).L, r.L);
    EXPECT_EQ(r.GetRow(0, n).T, r.T);
    for (int i = 0; i + 1 < n; ++i) {
      EXPECT_EQ(r.GetColumn(i, n).R, r.GetColumn(i + 1, n).L) << n << " " << i;
      EXPECT_EQ(r.GetRow(i, n).B, r.GetRow(i + 1, n).T) << n << " " << i;
    }
    EXPECT_NEAR(r.GetColumn(n - 1, n).R, r.R, 1e-4f);
    EXPECT_NEAR(r.GetRow(n - 1, n).B, r.B, 1e-4f);
    // The other dimension is untouched.
    EXPECT_EQ(r.GetColumn(n - 1, n).T, r.T);
    EXPECT_EQ(r.GetColumn(n - 1, n).B, r.B);
    EXPECT_EQ(r.GetRow(n - 1, n).L, r.L);
    EXPECT_EQ(r.GetRow(n - 1, n).R, r.R);
  }
  ExpectRect(IRECT(0.f, 0.f, 120.f, 60.f).GetColumn(2, 12), 20.f, 0.f, 30.f, 60.f);
  ExpectRect(IRECT(0.f, 0.f, 120.f, 60.f).GetGridCell(1, 2, 3, 4), 60.f, 20.f, 90.f, 40.f);
}

TEST(RectDerive, CentringTranslatingAndScaling)
{
  const IRECT r(100.f, 50.f, 300.f, 150.f);
  EXPECT_EQ(r.GetCentredInside(40.f, 16.f), IRECT(180.f, 92.f, 220.f, 108.f));
  // A larger rectangle sticks out evenly.
  EXPECT_EQ(r.GetCentredInside(300.f, 100.f), IRECT(50.f, 50.f, 350.f, 150.f));
  EXPECT_EQ(r.GetTranslated(-10.f, 5.f), IRECT(90.f, 55.f, 290.f, 155.f));
  EXPECT_EQ(r.GetScaled(2.f), IRECT(200.f, 100.f, 600.f, 300.f));
  EXPECT_FLOAT_EQ(r.MW(), 200.f);
  EXPECT_FLOAT_EQ(r.MH(), 100.f);
}

TEST(RectDerive, PixelAlignmentCoversTheRectangleOnTheDeviceGrid)
{
  const IRECT r(1.2f, 2.7f, 3.2f, 4.1f);
  ExpectRect(r.GetPixelAligned(1.f), 1.f, 2.f, 4.f, 5.f);
  ExpectRect(r.GetPixelAligned(2.f), 1.f, 2.5f, 3.5f, 4.5f);
  ExpectRect(r.GetPixelAligned(1.5f), 1.f / 1.5f, 4.f / 1.5f, 5.f / 1.5f, 7.f / 1.5f);

  // Edges already on the grid stay where they are.
  const IRECT onGrid(2.f, 3.5f, 10.5f, 20.f);
  EXPECT_EQ(onGrid.GetPixelAligned(2.f), onGrid);
  EXPECT_EQ(IRECT(2.f, 3.f, 10.f, 20.f).GetPixelAligned(1.f), IRECT(2.f, 3.f, 10.f, 20.f));

  // A control's bounds grown by 0.75, the usual dirty region.
  ExpectRect(IRECT(10.f, 10.f, 20.f, 20.f).GetPadded(0.75f).GetPixelAligned(1.f), 9.f, 9.f, 21.f,
             21.f);
  ExpectRect(IRECT(10.f, 10.f, 20.f, 20.f).GetPadded(0.75f).GetPixelAligned(2.f), 9.f, 9.f, 21.f,
             21.f);
}

// ---------------------------------------------------------------------------------------------
// Colours and blends

TEST(Color, DefaultIsOpaqueBlackAndOpacityIsRoundedAndClamped)
{
  EXPECT_EQ(IColor(), COLOR_BLACK);
  EXPECT_EQ(COLOR_RED.WithOpacity(0.5f), IColor(128, 255, 0, 0));
  EXPECT_EQ(COLOR_RED.WithOpacity(0.2f), IColor(51, 255, 0, 0));
  EXPECT_EQ(COLOR_RED.WithOpacity(2.f), COLOR_RED);
  EXPECT_EQ(COLOR_RED.WithOpacity(-1.f), IColor(0, 255, 0, 0));
}

TEST(ColorSpec, ThreeColoursFillTheFirstRolesAndDefaultsTheRest)
{
  const IColor a(255, 1, 2, 3), b(255, 4, 5, 6), c(255, 7, 8, 9);
  const IVColorSpec spec{a, b, c};
  EXPECT_EQ(spec[kBG], a);
  EXPECT_EQ(spec[kFG], b);
  EXPECT_EQ(spec[kPR], c);
  EXPECT_EQ(spec[kFR], DEFAULT_FRCOLOR);
  EXPECT_EQ(spec[kHL], DEFAULT_HLCOLOR);
  EXPECT_EQ(spec[kSH], DEFAULT_SHCOLOR);
  EXPECT_EQ(spec[kX1], DEFAULT_X1COLOR);
  EXPECT_EQ(spec[kX2], DEFAULT_X2COLOR);
  EXPECT_EQ(spec[kX3], DEFAULT_X3COLOR);
}

TEST(ColorSpec, DefaultsAndColoursBeyondTheLastRole)
{
  EXPECT_EQ(IVColorSpec{}, DEFAULT_COLOR_SPEC);
  EXPECT_EQ(DEFAULT_COLOR_SPEC[kBG], COLOR_TRANSPARENT);
  EXPECT_EQ(DEFAULT_COLOR_SPEC[kSH], IColor(60, 0, 0, 0));

  IVColorSpec ten{COLOR_RED,   COLOR_RED,   COLOR_RED,   COLOR_RED,   COLOR_RED,
                  COLOR_RED,   COLOR_RED,   COLOR_RED,   COLOR_WHITE, COLOR_BLUE};
  EXPECT_EQ(ten[kX3], COLOR_WHITE);
  EXPECT_EQ(ten[kX2], COLOR_RED);
}

TEST(Blend, NoBlendIsSourceOverAtFullWeight)
{
  EXPECT_FLOAT_EQ(BlendWeight(nullptr), 1.f);
  EXPECT_EQ(BlendMethod(nullptr), kBlendDefault);
  EXPECT_FLOAT_EQ(BlendWeight(&BLEND_25), 0.25f);
  EXPECT_EQ(BlendMethod(&BLEND_25), kBlendDefault);
  EXPECT_EQ(BlendMethod(&BLEND_DST_IN), kBlendDestIn);
  EXPECT_EQ(BlendMethod(&BLEND_DST_OVER), kBlendDestOver);
  EXPECT_FLOAT_EQ(BlendWeight(&BLEND_DST_IN), 1.f);
  EXPECT_EQ(static_cast<int>(kBlendAdd), 8);
  EXPECT_EQ(static_cast<int>(kBlendXOR), 9);
}

// ---------------------------------------------------------------------------------------------
// Transforms and gradients

TEST(Matrix, InverseUndoesTheTransform)
{
  const IMatrix m(2.0, 0.5, -1.25, 3.0, 17.0, -4.5);
  IMatrix inv = m;
  inv.Invert();
  for (auto [x0, y0] : {std::pair{0.0, 0.0}, std::pair{1.0, -2.0}, std::pair{123.5, 77.25}}) {
    double x = x0, y = y0;
    m.Transform(x, y);
    inv.Transform(x, y);
    EXPECT_NEAR(x, x0, 1e-9);
    EXPECT_NEAR(y, y0, 1e-9);
  }
  const IMatrix id = m * inv;
  EXPECT_NEAR(id.mXX, 1.0, 1e-12);
  EXPECT_NEAR(id.mYX, 0.0, 1e-12);
  EXPECT_NEAR(id.mXY, 0.0, 1e-12);
  EXPECT_NEAR(id.mYY, 1.0, 1e-12);
  EXPECT_NEAR(id.mTX, 0.0, 1e-12);
  EXPECT_NEAR(id.mTY, 0.0, 1e-12);
}

TEST(Matrix, SingularMatrixIsLeftAsItIs)
{
  IMatrix m(1.0, 2.0, 2.0, 4.0, 5.0, 6.0);
  m.Invert();
  EXPECT_EQ(m, IMatrix(1.0, 2.0, 2.0, 4.0, 5.0, 6.0));
}

TEST(Matrix, ProductAppliesTheRightFactorFirst)
{
  const IMatrix translate(1.0, 0.0, 0.0, 1.0, 10.0, 0.0);
  const IMatrix scale(2.0, 0.0, 0.0, 2.0, 0.0, 0.0);
  double x = 1.0, y = 1.0;
  (scale * translate).Transform(x, y); // translate, then scale
  EXPECT_DOUBLE_EQ(x, 22.0);
  EXPECT_DOUBLE_EQ(y, 2.0);
  float fx = 1.f, fy = 1.f;
  (translate * scale).Transform(fx, fy); // scale, then translate
  EXPECT_FLOAT_EQ(fx, 12.f);
  EXPECT_FLOAT_EQ(fy, 2.f);
}

TEST(Pattern, SolidPatternHoldsOneStopAndDropsTheSeventeenth)
{
  IPattern solid(COLOR_ORANGE);
  EXPECT_EQ(solid.mKind, kPatternSolid);
  ASSERT_EQ(solid.NStops(), 1);
  EXPECT_EQ(solid.GetStop(0).mColor, COLOR_ORANGE);
  for (int i = 1; i < 20; ++i)
    solid.AddStop(IColor(255, i, 0, 0), 0.05f * static_cast<float>(i));
  ASSERT_EQ(solid.NStops(), IPattern::kMaxStops);
  EXPECT_EQ(solid.GetStop(15).mColor, IColor(255, 15, 0, 0));
}

TEST(Pattern, VerticalGradientRunsAlongGradientY)
{
  const IPattern p = IPattern::CreateLinearGradient(0.f, 0.f, 0.f, 100.f,
                                                    {{COLOR_BLACK, 0.f}, {COLOR_WHITE, 1.f}});
  EXPECT_EQ(p.mKind, kPatternLinear);
  EXPECT_EQ(p.mSpread, kSpreadPad);
  ASSERT_EQ(p.NStops(), 2);
  EXPECT_EQ(p.GetStop(1).mColor, COLOR_WHITE);
  EXPECT_FLOAT_EQ(p.GetStop(1).mOffset, 1.f);
  const IMatrix& m = p.mTransform;
  EXPECT_DOUBLE_EQ(m.mXX, 0.01);
  EXPECT_DOUBLE_EQ(m.mYX, 0.0);
  EXPECT_DOUBLE_EQ(m.mXY, 0.0);
  EXPECT_DOUBLE_EQ(m.mYY, 0.01);
  EXPECT_DOUBLE_EQ(m.mTX, 0.0);
  EXPECT_DOUBLE_EQ(m.mTY, 0.0);
  double x = 0.0, y = 50.0;
  m.Transform(x, y);
  EXPECT_NEAR(x, 0.0, 1e-12);
  EXPECT_NEAR(y, 0.5, 1e-12);
}

TEST(Pattern, HorizontalGradientIsTurnedAQuarter)
{
  const IPattern p = IPattern::CreateLinearGradient(0.f, 0.f, 100.f, 0.f,
                                                    {{COLOR_BLACK, 0.f}, {COLOR_WHITE, 1.f}});
  // a = atan2(100, 0) = pi/2: s = 0.01 and c = cos(pi/2)/100, zero up to rounding.
  const IMatrix& m = p.mTransform;
  const double s = std::sin(std::numbers::pi / 2) / 100.0;
  const double c = std::cos(std::numbers::pi / 2) / 100.0;
  EXPECT_DOUBLE_EQ(m.mXX, c);
  EXPECT_DOUBLE_EQ(m.mYX, s);
  EXPECT_DOUBLE_EQ(m.mXY, -s);
  EXPECT_DOUBLE_EQ(m.mYY, c);
  EXPECT_NEAR(m.mTX, 0.0, 1e-15);
  EXPECT_NEAR(m.mTY, 0.0, 1e-15);
  double x = 50.0, y = 0.0;
  m.Transform(x, y);
  EXPECT_NEAR(x, 0.0, 1e-12);
  EXPECT_NEAR(y, 0.5, 1e-12);
}

TEST(Pattern, InvertedGradientTransformGivesBackTheEndPoints)
{
  const IPattern p = IPattern::CreateLinearGradient(30.f, 40.f, 130.f, -20.f, {});
  EXPECT_EQ(p.NStops(), 0);
  double x = 30.0, y = 40.0;
  p.mTransform.Transform(x, y);
  EXPECT_NEAR(x, 0.0, 1e-9);
  EXPECT_NEAR(y, 0.0, 1e-9);
  x = 130.0, y = -20.0;
  p.mTransform.Transform(x, y);
  EXPECT_NEAR(x, 0.0, 1e-9);
  EXPECT_NEAR(y, 1.0, 1e-9);

  IMatrix inv = p.mTransform;
  inv.Invert();
  x = 0.0, y = 1.0;
  inv.Transform(x, y);
  EXPECT_NEAR(x, 130.0, 1e-9);
  EXPECT_NEAR(y, -20.0, 1e-9);
}

TEST(Pattern, GradientWithSeventeenStopsKeepsTheFirstSixteen)
{
  const IPattern p = IPattern::CreateLinearGradient(
    0.f, 0.f, 10.f, 10.f,
    {{IColor(255, 0, 0, 0), 0.f},     {IColor(255, 1, 0, 0), 0.0625f},  {IColor(255, 2, 0, 0), 0.125f},
     {IColor(255, 3, 0, 0), 0.1875f}, {IColor(255, 4, 0, 0), 0.25f},    {IColor(255, 5, 0, 0), 0.3125f},
     {IColor(255, 6, 0, 0), 0.375f},  {IColor(255, 7, 0, 0), 0.4375f},  {IColor(255, 8, 0, 0), 0.5f},
     {IColor(255, 9, 0, 0), 0.5625f}, {IColor(255, 10, 0, 0), 0.625f}, {IColor(255, 11, 0, 0), 0.6875f},
     {IColor(255, 12, 0, 0), 0.75f},  {IColor(255, 13, 0, 0), 0.8125f}, {IColor(255, 14, 0, 0), 0.875f},
     {IColor(255, 15, 0, 0), 0.9375f}, {IColor(255, 16, 0, 0), 1.f}});
  ASSERT_EQ(p.NStops(), 16);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(p.GetStop(i).mColor.R, i);
  EXPECT_FLOAT_EQ(p.GetStop(15).mOffset, 0.9375f);
}

// ---------------------------------------------------------------------------------------------
// Text and style

TEST(Text, NamedStylesDifferInSizeAndVerticalPlace)
{
  EXPECT_STREQ(DEFAULT_TEXT.mFont, "Roboto-Regular");
  EXPECT_FLOAT_EQ(DEFAULT_TEXT.mSize, 14.f);
  EXPECT_EQ(DEFAULT_TEXT.mAlign, kAlignCenter);
  EXPECT_EQ(DEFAULT_TEXT.mVAlign, kVAlignMiddle);
  EXPECT_EQ(DEFAULT_TEXT.mFGColor, COLOR_BLACK);
  EXPECT_EQ(DEFAULT_TEXT.mTextEntryBGColor, COLOR_WHITE);
  EXPECT_EQ(DEFAULT_TEXT.mTextEntryFGColor, COLOR_BLACK);
  EXPECT_FLOAT_EQ(DEFAULT_TEXT.mAngle, 0.f);

  EXPECT_STREQ(DEFAULT_LABEL_TEXT.mFont, "Roboto-Regular");
  EXPECT_FLOAT_EQ(DEFAULT_LABEL_TEXT.mSize, 19.f);
  EXPECT_EQ(DEFAULT_LABEL_TEXT.mAlign, kAlignCenter);
  EXPECT_EQ(DEFAULT_LABEL_TEXT.mVAlign, kVAlignTop);

  EXPECT_FLOAT_EQ(DEFAULT_VALUE_TEXT.mSize, 14.f);
  EXPECT_EQ(DEFAULT_VALUE_TEXT.mVAlign, kVAlignBottom);

  const IText plain;
  EXPECT_STREQ(plain.mFont, DEFAULT_TEXT.mFont);
  EXPECT_EQ(plain.mVAlign, DEFAULT_TEXT.mVAlign);
}

TEST(Text, FontNameIsCutToTheFieldAndAlwaysTerminated)
{
  const std::string longName(100, 'x');
  const IText t(12.f, COLOR_RED, longName.c_str(), kAlignNear);
  EXPECT_EQ(std::strlen(t.mFont), 63u);
  EXPECT_EQ(t.mAlign, kAlignNear);
  EXPECT_EQ(t.mFGColor, COLOR_RED);
  EXPECT_STREQ(t.WithFont("Cinzel-Regular").mFont, "Cinzel-Regular");
  EXPECT_STREQ(t.WithFont(nullptr).mFont, "");
  // Renaming to a shorter font leaves nothing of the longer name behind.
  const IText renamed = t.WithFont("A");
  for (int i = 1; i < IText::kMaxFontLength; ++i)
    EXPECT_EQ(renamed.mFont[i], '\0');
}

TEST(Style, DefaultStyleAndNamedChanges)
{
  EXPECT_TRUE(DEFAULT_STYLE.mHideCursor);
  EXPECT_TRUE(DEFAULT_STYLE.mShowLabel);
  EXPECT_TRUE(DEFAULT_STYLE.mShowValue);
  EXPECT_TRUE(DEFAULT_STYLE.mDrawFrame);
  EXPECT_TRUE(DEFAULT_STYLE.mDrawShadows);
  EXPECT_FALSE(DEFAULT_STYLE.mEmboss);
  EXPECT_FLOAT_EQ(DEFAULT_STYLE.mRoundness, 0.f);
  EXPECT_FLOAT_EQ(DEFAULT_STYLE.mFrameThickness, 1.f);
  EXPECT_FLOAT_EQ(DEFAULT_STYLE.mShadowOffset, 3.f);
  EXPECT_FLOAT_EQ(DEFAULT_STYLE.mWidgetFrac, 1.f);
  EXPECT_EQ(DEFAULT_STYLE.mColorSpec, DEFAULT_COLOR_SPEC);
  EXPECT_FLOAT_EQ(DEFAULT_STYLE.mLabelText.mSize, 19.f);
  EXPECT_EQ(DEFAULT_STYLE.mValueText.mVAlign, kVAlignBottom);

  const IVStyle quiet{.mShowLabel = false, .mShowValue = false};
  EXPECT_FALSE(quiet.mShowLabel);
  EXPECT_TRUE(quiet.mDrawFrame);
}

TEST(MouseMod, NothingHeldByDefault)
{
  const IMouseMod mod;
  EXPECT_FALSE(mod.L || mod.R || mod.S || mod.C || mod.A);
  EXPECT_EQ(mod.touchID, 0u);
  const IMouseMod rightClick{.R = true};
  EXPECT_TRUE(rightClick.R);
  EXPECT_FALSE(rightClick.L);
}
