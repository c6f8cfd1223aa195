// The parameter model: initialisation, stepping and clamping, shapes, display texts and typed
// text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "IEffectParameter.h"

using namespace umbra;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string Display(const IParam& param, double value, bool normalized = false,
                    bool withDisplayText = true)
{
  std::string text;
  param.GetDisplay(value, normalized, text, withDisplayText);
  return text;
}

// The "Octave" parameter of the plug-in: five values shown as signed octaves.
void InitOctave(IParam& param)
{
  param.InitEnum("Octave", 2, 5, "", 0, "", {"-2", "-1", "0", "+1", "+2"});
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Construction and initialisation

TEST(ParamInit, FreshParameterHasNeutralFields)
{
  IParam param;
  EXPECT_EQ(param.Type(), IParam::kTypeNone);
  EXPECT_EQ(param.Unit(), IParam::kUnitCustom);
  EXPECT_EQ(static_cast<int>(param.Unit()), 21);
  EXPECT_EQ(param.Value(), 0.0);
  EXPECT_EQ(param.GetMin(), 0.0);
  EXPECT_EQ(param.GetMax(), 1.0);
  EXPECT_EQ(param.GetStep(), 1.0);
  EXPECT_EQ(param.GetDefault(), 0.0);
  EXPECT_EQ(param.GetDisplayPrecision(), 0);
  EXPECT_EQ(param.GetFlags(), 0);
  EXPECT_STREQ(param.GetName(), "");
  EXPECT_STREQ(param.GetLabel(), "");
  EXPECT_STREQ(param.GetGroup(), "");
  EXPECT_EQ(param.GetDisplayType(), kDisplayLinear);
  EXPECT_EQ(param.NDisplayTexts(), 0);
}

TEST(ParamInit, InitDoubleCopiesEveryField)
{
  IParam param;
  param.InitDouble("Gain", 3.0, -12.0, 12.0, 0.5, "dB", IParam::kFlagMeta, "Levels",
                   ShapeLinear(), IParam::kUnitDB);
  EXPECT_EQ(param.Type(), IParam::kTypeDouble);
  EXPECT_STREQ(param.GetName(), "Gain");
  EXPECT_STREQ(param.GetLabel(), "dB");
  EXPECT_STREQ(param.GetGroup(), "Levels");
  EXPECT_EQ(param.Unit(), IParam::kUnitDB);
  EXPECT_EQ(param.GetFlags(), IParam::kFlagMeta);
  EXPECT_TRUE(param.GetMeta());
  EXPECT_FALSE(param.GetStepped());
  EXPECT_TRUE(param.GetCanAutomate());
  EXPECT_EQ(param.GetMin(), -12.0);
  EXPECT_EQ(param.GetMax(), 12.0);
  EXPECT_EQ(param.GetStep(), 0.5);
  EXPECT_EQ(param.GetDefault(), 3.0);
  EXPECT_EQ(param.Value(), 3.0);
  EXPECT_EQ(param.GetDisplayPrecision(), 1);
  double lo = 0.0, hi = 0.0;
  param.GetBounds(lo, hi);
  EXPECT_EQ(lo, -12.0);
  EXPECT_EQ(hi, 12.0);
}

TEST(ParamInit, DefaultOutsideRangeIsKeptButValueIsClamped)
{
  IParam param;
  param.InitDouble("Level", 150.0, 0.0, 100.0, 1.0, "%");
  EXPECT_EQ(param.GetDefault(), 150.0);
  EXPECT_EQ(param.Value(), 100.0);
  param.StoreValue(20.0);
  param.StoreDefault();
  EXPECT_EQ(param.Value(), 100.0);
}

TEST(ParamInit, CannotAutomateFlagIsReported)
{
  IParam param;
  param.InitDouble("Hidden", 0.0, 0.0, 1.0, 0.1, "", IParam::kFlagCannotAutomate);
  EXPECT_FALSE(param.GetCanAutomate());
}

TEST(ParamInit, MaximumBelowMinimumPlusStepIsRaised)
{
  IParam below;
  below.InitDouble("Below", 10.0, 10.0, 5.0, 1.0);
  EXPECT_EQ(below.GetMin(), 10.0);
  EXPECT_EQ(below.GetMax(), 11.0);

  IParam equal;
  equal.InitDouble("Equal", 0.0, 2.0, 2.0, 0.25);
  EXPECT_EQ(equal.GetMax(), 2.25);

  IParam slightlyShort;
  slightlyShort.InitDouble("Short", 0.0, 0.0, 0.5, 1.0);
  EXPECT_EQ(slightlyShort.GetMax(), 1.0);

  IParam wide; // a maximum already beyond min + step is kept
  wide.InitDouble("Wide", 0.0, 0.0, 100.0, 1.0);
  EXPECT_EQ(wide.GetMax(), 100.0);
}

TEST(ParamInit, DisplayPrecisionFollowsTheStep)
{
  struct Case {
    double step;
    int precision;
  } cases[] = {
    {0.01, 2}, {0.25, 2}, {0.001, 3}, {1e-7, 6}, {5.0, 0}, {1.0, 0}, {0.1, 1}, {0.5, 1},
    {0.125, 3}, {0.00001, 5}, {0.000001, 6}, {2.5, 1}, {100.0, 0},
  };
  for (const Case& c : cases)
  {
    IParam param;
    param.InitDouble("p", 0.0, 0.0, 1000.0, c.step);
    EXPECT_EQ(param.GetDisplayPrecision(), c.precision) << "step " << c.step;
  }
}

TEST(ParamInit, SetDisplayPrecisionOverridesTheStep)
{
  IParam param;
  param.InitDouble("p", 0.5, 0.0, 1.0, 0.01);
  param.SetDisplayPrecision(4);
  EXPECT_EQ(param.GetDisplayPrecision(), 4);
  EXPECT_EQ(Display(param, 0.5), "0.5000");
}

TEST(ParamInit, TextFieldsHoldAtMost31Characters)
{
  const std::string longText(40, 'x');
  IParam param;
  param.InitDouble(longText.c_str(), 0.0, 0.0, 1.0, 0.1, longText.c_str(), 0, longText.c_str());
  param.SetDisplayText(0.5, longText.c_str());
  EXPECT_EQ(std::string(param.GetName()), std::string(31, 'x'));
  EXPECT_EQ(std::string(param.GetCustomLabel()), std::string(31, 'x'));
  EXPECT_EQ(std::string(param.GetGroup()), std::string(31, 'x'));
  EXPECT_EQ(std::string(param.GetDisplayText(0.5)), std::string(31, 'x'));
}

TEST(ParamInit, InitEnumMakesASteppedRangeWithTexts)
{
  IParam param;
  param.InitEnum("Mode", 1, 3, "", IParam::kFlagCannotAutomate, "Group", {"A", "B", "C"});
  EXPECT_EQ(param.Type(), IParam::kTypeEnum);
  EXPECT_EQ(param.GetMin(), 0.0);
  EXPECT_EQ(param.GetMax(), 2.0);
  EXPECT_EQ(param.GetStep(), 1.0);
  EXPECT_EQ(param.GetDefault(), 1.0);
  EXPECT_EQ(param.Value(), 1.0);
  EXPECT_EQ(param.GetFlags(), IParam::kFlagCannotAutomate | IParam::kFlagStepped);
  EXPECT_EQ(param.Unit(), IParam::kUnitCustom);
  EXPECT_EQ(param.GetDisplayType(), kDisplayLinear);
  EXPECT_STREQ(param.GetGroup(), "Group");
  ASSERT_EQ(param.NDisplayTexts(), 3);
  for (int i = 0; i < 3; ++i)
  {
    double value = -1.0;
    const char* text = param.GetDisplayTextAtIdx(i, &value);
    EXPECT_EQ(value, static_cast<double>(i));
    EXPECT_EQ(std::string(text), std::string(1, static_cast<char>('A' + i)));
  }
  EXPECT_STREQ(param.GetDisplayTextAtIdx(3), "");
  EXPECT_STREQ(param.GetDisplayTextAtIdx(-1), "");
}

TEST(ParamInit, InitEnumWithoutTextsHasNone)
{
  IParam param;
  param.InitEnum("Steps", 0, 4);
  EXPECT_EQ(param.NDisplayTexts(), 0);
  EXPECT_EQ(Display(param, 3.0), "3");
}

TEST(ParamInit, AnEarlierTypeIsKept)
{
  IParam boolean;
  boolean.InitBool("Switch", true);
  EXPECT_EQ(boolean.Type(), IParam::kTypeBool);
  EXPECT_EQ(boolean.Value(), 1.0);
  EXPECT_EQ(boolean.GetMax(), 1.0);
  EXPECT_TRUE(boolean.GetStepped());
  EXPECT_EQ(Display(boolean, 0.0), "off");
  EXPECT_EQ(Display(boolean, 1.0), "on");

  IParam integer;
  integer.InitInt("Count", 3, 1, 8);
  EXPECT_EQ(integer.Type(), IParam::kTypeInt);
  EXPECT_TRUE(integer.GetStepped());
  EXPECT_EQ(integer.Value(), 3.0);
}

// ---------------------------------------------------------------------------------------------
// Stepping and clamping

TEST(ParamValue, EnumWithFiveValuesRoundsNormalisedHalvesAwayFromZero)
{
  IParam param;
  InitOctave(param);
  struct Case {
    double normalized;
    double value;
  } cases[] = {
    {0.0, 0.0}, {0.5, 2.0}, {0.375, 2.0}, {0.37, 1.0}, {0.125, 1.0}, {0.124, 0.0},
    {0.625, 3.0}, {0.874, 3.0}, {0.875, 4.0}, {1.0, 4.0}, {-0.3, 0.0}, {1.7, 4.0},
  };
  for (const Case& c : cases)
  {
    param.StoreNormalized(c.normalized);
    EXPECT_EQ(param.Value(), c.value) << "normalised " << c.normalized;
    EXPECT_EQ(param.ValueFromNormalized(c.normalized), c.value) << "normalised " << c.normalized;
  }
}

TEST(ParamValue, SteppedValuesRoundHalvesAwayFromZero)
{
  IParam param;
  param.InitInt("Semitones", 0, -10, 10);
  struct Case {
    double in;
    double out;
  } cases[] = {
    {2.5, 3.0}, {-2.5, -3.0}, {2.49, 2.0}, {-2.49, -2.0}, {0.5, 1.0}, {-0.5, -1.0},
    {7.0, 7.0}, {10.4, 10.0}, {10.6, 10.0}, {-11.0, -10.0}, {1e9, 10.0},
  };
  for (const Case& c : cases)
  {
    EXPECT_EQ(param.ConstrainValue(c.in), c.out) << c.in;
    param.StoreValue(c.in);
    EXPECT_EQ(param.Value(), c.out) << c.in;
  }
}

TEST(ParamValue, SteppedValuesFollowAFractionalStep)
{
  IParam param;
  param.InitDouble("Quarter", 0.0, 0.0, 2.0, 0.25, "", IParam::kFlagStepped);
  EXPECT_EQ(param.ConstrainValue(0.3), 0.25);
  EXPECT_EQ(param.ConstrainValue(0.375), 0.5); // 1.5 steps round up
  EXPECT_EQ(param.ConstrainValue(0.374), 0.25);
  EXPECT_EQ(param.ConstrainValue(1.9), 2.0);
  EXPECT_EQ(param.ConstrainValue(3.0), 2.0);
}

TEST(ParamValue, UnsteppedValuesAreOnlyClamped)
{
  IParam param;
  param.InitDouble("Level", 50.0, 0.0, 100.0, 1.0, "%");
  param.StoreValue(42.37);
  EXPECT_EQ(param.Value(), 42.37);
  param.StoreValue(-3.0);
  EXPECT_EQ(param.Value(), 0.0);
  param.StoreValue(100.5);
  EXPECT_EQ(param.Value(), 100.0);
}

TEST(ParamValue, NormalisedConversionsAreClampedAndLinear)
{
  IParam param;
  param.InitDouble("Fine", 0.0, -50.0, 50.0, 1.0, "cents");
  EXPECT_EQ(param.NormalizedFromValue(0.0), 0.5);
  EXPECT_EQ(param.NormalizedFromValue(-50.0), 0.0);
  EXPECT_EQ(param.NormalizedFromValue(25.0), 0.75);
  EXPECT_EQ(param.NormalizedFromValue(500.0), 1.0);
  EXPECT_EQ(param.NormalizedFromValue(-500.0), 0.0);
  EXPECT_EQ(param.ValueFromNormalized(0.25), -25.0);
  param.StoreNormalized(0.9);
  EXPECT_DOUBLE_EQ(param.Value(), 40.0);
  EXPECT_DOUBLE_EQ(param.CurrentNormalized(), 0.9);
  EXPECT_EQ(param.CurrentValue(), param.Value());
}

TEST(ParamValue, NonFiniteValuesAreNotStored)
{
  IParam param;
  param.InitDouble("Level", 50.0, 0.0, 100.0, 1.0, "%");
  param.StoreValue(37.0);
  for (double bad : {kNaN, kInf, -kInf})
  {
    param.StoreValue(bad);
    EXPECT_EQ(param.Value(), 37.0) << bad;
    param.StoreNormalized(bad);
    EXPECT_EQ(param.Value(), 37.0) << bad;
  }
  EXPECT_FALSE(std::isnan(param.CurrentNormalized()));
}

TEST(ParamValue, NonFiniteValuesAreNotStoredInSteppedParameters)
{
  IParam param;
  InitOctave(param);
  param.StoreValue(3.0);
  for (double bad : {kNaN, kInf, -kInf})
  {
    param.StoreValue(bad);
    param.StoreNormalized(bad);
    EXPECT_EQ(param.Value(), 3.0) << bad;
  }
}

// ---------------------------------------------------------------------------------------------
// Shapes

TEST(ParamShape, LinearShape)
{
  IParam param;
  param.InitDouble("p", 0.0, 20.0, 120.0, 0.01);
  EXPECT_EQ(param.GetDisplayType(), kDisplayLinear);
  EXPECT_DOUBLE_EQ(param.ValueFromNormalized(0.3), 50.0);
  EXPECT_DOUBLE_EQ(param.NormalizedFromValue(95.0), 0.75);
}

TEST(ParamShape, PowCurveDisplayTypes)
{
  struct Case {
    double exponent;
    int displayType;
  } cases[] = {
    {3.0, kDisplayCubeRoot},   {2.51, kDisplayCubeRoot}, {2.5, kDisplaySquareRoot},
    {2.0, kDisplaySquareRoot}, {1.51, kDisplaySquareRoot}, {1.5, kDisplayLinear},
    {1.0, kDisplayLinear},     {2.0 / 3.0, kDisplayLinear}, {0.6, kDisplaySquared},
    {0.5, kDisplaySquared},    {0.4, kDisplaySquared},  {0.39, kDisplayCubed},
    {0.25, kDisplayCubed},
  };
  for (const Case& c : cases)
  {
    EXPECT_EQ(ShapePowCurve(c.exponent).GetDisplayType(), c.displayType) << c.exponent;
    IParam param;
    param.InitDouble("p", 0.0, 0.0, 1.0, 0.01, "", 0, "", ShapePowCurve(c.exponent));
    EXPECT_EQ(param.GetDisplayType(), c.displayType) << c.exponent;
  }
}

TEST(ParamShape, PowCurveMapsBothWays)
{
  IParam param;
  param.InitDouble("Time", 0.0, 0.0, 100.0, 0.01, "ms", 0, "", ShapePowCurve(2.0));
  EXPECT_DOUBLE_EQ(param.ValueFromNormalized(0.5), 25.0);
  EXPECT_DOUBLE_EQ(param.ValueFromNormalized(0.8), 64.0);
  EXPECT_DOUBLE_EQ(param.NormalizedFromValue(25.0), 0.5);
  EXPECT_DOUBLE_EQ(param.NormalizedFromValue(64.0), 0.8);
  EXPECT_EQ(param.NormalizedFromValue(0.0), 0.0);
  EXPECT_EQ(param.NormalizedFromValue(100.0), 1.0);

  IParam offset; // the curve is applied above the minimum
  offset.InitDouble("Offset", 10.0, 10.0, 110.0, 0.01, "", 0, "", ShapePowCurve(3.0));
  EXPECT_DOUBLE_EQ(offset.ValueFromNormalized(0.5), 10.0 + 12.5);
  EXPECT_DOUBLE_EQ(offset.NormalizedFromValue(10.0 + 12.5), 0.5);
}

TEST(ParamShape, ExpShapeMapsLogarithmically)
{
  IParam param;
  param.InitDouble("Freq", 1000.0, 20.0, 20000.0, 1.0, "Hz", 0, "", ShapeExp(),
                   IParam::kUnitFrequency);
  EXPECT_EQ(param.GetDisplayType(), kDisplayLog);
  EXPECT_NEAR(param.ValueFromNormalized(0.0), 20.0, 1e-9);
  EXPECT_NEAR(param.ValueFromNormalized(1.0), 20000.0, 1e-6);
  EXPECT_NEAR(param.ValueFromNormalized(0.5), std::sqrt(20.0 * 20000.0), 1e-9);
  EXPECT_NEAR(param.NormalizedFromValue(200.0), 1.0 / 3.0, 1e-12);
  EXPECT_NEAR(param.NormalizedFromValue(2000.0), 2.0 / 3.0, 1e-12);
}

TEST(ParamShape, ExpShapeWithZeroMinimumStartsAtTinyLowerEnd)
{
  IParam param;
  param.InitDouble("Amount", 0.0, 0.0, 1e8, 1e-7, "", 0, "", ShapeExp());
  // Lower end 1e-8: halfway between 1e-8 and 1e8 on a log scale is 1.
  EXPECT_NEAR(param.ValueFromNormalized(0.5), 1.0, 1e-9);
  EXPECT_NEAR(param.ValueFromNormalized(0.0), 1e-8, 1e-20);
  EXPECT_EQ(param.NormalizedFromValue(0.0), 0.0); // log of 0 is clamped, not NaN
  EXPECT_NEAR(param.NormalizedFromValue(1.0), 0.5, 1e-12);
}

TEST(ParamShape, ShapeIsInitialisedAfterTheRangeIsFixed)
{
  IParam param; // the maximum is raised to 20 before the shape is told the range
  param.InitDouble("Raised", 10.0, 10.0, 5.0, 10.0, "", 0, "", ShapeExp());
  EXPECT_EQ(param.GetMax(), 20.0);
  EXPECT_NEAR(param.ValueFromNormalized(1.0), 20.0, 1e-9);
}

// ---------------------------------------------------------------------------------------------
// Display

TEST(ParamDisplay, PrecisionZeroRoundsHalvesAwayFromZero)
{
  IParam param;
  param.InitDouble("Level", 0.0, -100.0, 100.0, 1.0);
  EXPECT_EQ(Display(param, 2.5), "3");
  EXPECT_EQ(Display(param, -2.5), "-3");
  EXPECT_EQ(Display(param, 2.49), "2");
  EXPECT_EQ(Display(param, 50.0), "50");
  EXPECT_EQ(Display(param, 0.0), "0");
  EXPECT_EQ(Display(param, -0.4), "0");
}

TEST(ParamDisplay, DecimalsFollowThePrecision)
{
  IParam param;
  param.InitDouble("Mix", 0.0, 0.0, 1.0, 0.01);
  EXPECT_EQ(Display(param, 0.5), "0.50");
  EXPECT_EQ(Display(param, 0.126), "0.13");
  EXPECT_EQ(Display(param, 1.0), "1.00");
}

TEST(ParamDisplay, NegateDisplayNeverShowsNegativeZero)
{
  IParam coarse;
  coarse.InitDouble("Coarse", 0.0, -10.0, 10.0, 1.0, "", IParam::kFlagNegateDisplay);
  EXPECT_EQ(Display(coarse, 0.0), "0");
  EXPECT_EQ(Display(coarse, 4.0), "-4");

  IParam fine;
  fine.InitDouble("Fine", 0.0, -10.0, 10.0, 0.5, "", IParam::kFlagNegateDisplay);
  EXPECT_EQ(Display(fine, 0.0), "0.0");
  EXPECT_EQ(Display(fine, -3.5), "3.5");
  EXPECT_EQ(Display(fine, 3.5), "-3.5");
}

TEST(ParamDisplay, StoredNegativeZeroShowsAsZero)
{
  IParam param;
  param.InitDouble("Pan", 0.0, -1.0, 1.0, 0.01);
  param.StoreValue(-0.0);
  std::string text;
  param.GetDisplayWithLabel(text);
  EXPECT_EQ(text, "0.00");
  EXPECT_EQ(Display(param, -0.0), "0.00");
}

TEST(ParamDisplay, SignDisplayAddsAPlusAboveZero)
{
  IParam param;
  param.InitDouble("Shift", 0.0, -10.0, 10.0, 0.1, "", IParam::kFlagSignDisplay);
  EXPECT_EQ(Display(param, 2.5), "+2.5");
  EXPECT_EQ(Display(param, 0.0), "0.0");
  EXPECT_EQ(Display(param, -0.0), "0.0");
  EXPECT_EQ(Display(param, -2.5), "-2.5");

  IParam twoDecimals;
  twoDecimals.InitDouble("Shift", 0.0, -10.0, 10.0, 0.01, "", IParam::kFlagSignDisplay);
  EXPECT_EQ(Display(twoDecimals, 1.25), "+1.25");

  IParam whole; // with precision 0 "%d" is used and the flag has no effect
  whole.InitDouble("Shift", 0.0, -10.0, 10.0, 1.0, "", IParam::kFlagSignDisplay);
  EXPECT_EQ(Display(whole, 3.0), "3");
  EXPECT_EQ(Display(whole, -3.0), "-3");
}

TEST(ParamDisplay, SignAndNegateTogether)
{
  IParam param;
  param.InitDouble("Both", 0.0, -10.0, 10.0, 0.1, "",
                   IParam::kFlagSignDisplay | IParam::kFlagNegateDisplay);
  EXPECT_EQ(Display(param, -2.5), "+2.5");
  EXPECT_EQ(Display(param, 2.5), "-2.5");
  EXPECT_EQ(Display(param, 0.0), "0.0");
}

TEST(ParamDisplay, DisplayTextsReplaceTheNumber)
{
  IParam param;
  InitOctave(param);
  EXPECT_EQ(Display(param, 0.0), "-2");
  EXPECT_EQ(Display(param, 2.0), "0");
  EXPECT_EQ(Display(param, 3.0), "+1");
  EXPECT_EQ(Display(param, 3.0, false, false), "3");
  EXPECT_EQ(Display(param, 2.0, false, false), "2");
  // A value between two entries has no text of its own.
  EXPECT_EQ(Display(param, 2.5), "3");
}

TEST(ParamDisplay, NormalisedInputIsMappedAndSteppedFirst)
{
  IParam param;
  InitOctave(param);
  EXPECT_EQ(Display(param, 0.75, true), "+1");
  EXPECT_EQ(Display(param, 0.6, true), "0");   // 2.4 steps to 2
  EXPECT_EQ(Display(param, 0.625, true), "+1"); // 2.5 steps to 3
  EXPECT_EQ(Display(param, 1.5, true), "+2");  // clamped

  IParam level;
  level.InitDouble("Level", 0.0, 0.0, 100.0, 1.0, "%");
  EXPECT_EQ(Display(level, 0.5, true), "50");
  EXPECT_EQ(Display(level, 2.0, true), "100");
}

TEST(ParamDisplay, EmptyDisplayTextFallsBackToTheNumber)
{
  IParam param;
  param.InitDouble("Odd", 0.0, 0.0, 10.0, 1.0);
  param.SetDisplayText(1.0, "");
  param.SetDisplayText(2.0, "two");
  EXPECT_EQ(Display(param, 1.0), "1");
  EXPECT_EQ(Display(param, 2.0), "two");
  EXPECT_EQ(param.NDisplayTexts(), 2);
}

TEST(ParamDisplay, DisplayFunctionReplacesAllFormatting)
{
  IParam param;
  param.InitDouble("Custom", 0.0, 0.0, 4.0, 1.0, "units", IParam::kFlagNegateDisplay, "",
                   ShapeLinear(), IParam::kUnitCustom,
                   [](double value, std::string& text) { text = "v=" + std::to_string(static_cast<int>(value)); });
  param.SetDisplayText(2.0, "two");
  EXPECT_EQ(Display(param, 2.0), "v=2");
  EXPECT_EQ(Display(param, 3.0), "v=3");
  EXPECT_EQ(Display(param, 0.25, true), "v=1");
}

TEST(ParamDisplay, DisplayIsLimitedTo31Characters)
{
  IParam param;
  param.InitDouble("Huge", 0.0, 0.0, 1e300, 0.01);
  const std::string text = Display(param, 1e40);
  EXPECT_LE(text.size(), 31u);
  EXPECT_EQ(text.substr(0, 5), "10000");
}

TEST(ParamDisplay, LabelAndDisplayWithLabel)
{
  IParam level;
  level.InitDouble("Level", 50.0, 0.0, 100.0, 1.0, "%");
  EXPECT_EQ(level.GetDisplayWithLabel(), "50 %");
  EXPECT_STREQ(level.GetLabel(), "%");

  IParam fine;
  fine.InitDouble("Fine", 0.0, -50.0, 50.0, 1.0, "cents");
  EXPECT_EQ(fine.GetDisplayWithLabel(), "0 cents");

  IParam plain;
  plain.InitDouble("Plain", 0.25, 0.0, 1.0, 0.01);
  EXPECT_EQ(plain.GetDisplayWithLabel(), "0.25"); // no blank without a label
}

TEST(ParamDisplay, LabelIsEmptyWhenTheValueHasADisplayText)
{
  IParam octave;
  octave.InitEnum("Octave", 2, 5, "oct", 0, "", {"-2", "-1", "0", "+1", "+2"});
  octave.StoreValue(3.0);
  EXPECT_STREQ(octave.GetLabel(), "");
  EXPECT_STREQ(octave.GetCustomLabel(), "oct");
  EXPECT_EQ(octave.GetDisplayWithLabel(), "+1");
  EXPECT_EQ(octave.GetDisplayWithLabel(false), "3");

  IParam partial; // the label test truncates the value toward zero
  partial.InitDouble("Partial", 0.0, -5.0, 5.0, 0.1, "dB");
  partial.SetDisplayText(1.0, "one");
  partial.StoreValue(1.7);
  EXPECT_STREQ(partial.GetLabel(), "");
  EXPECT_EQ(partial.GetDisplayWithLabel(), "1.7");
  partial.StoreValue(2.3);
  EXPECT_STREQ(partial.GetLabel(), "dB");
  EXPECT_EQ(partial.GetDisplayWithLabel(), "2.3 dB");
  partial.StoreValue(-1.7); // truncates to -1, which has no text
  EXPECT_STREQ(partial.GetLabel(), "dB");
}

TEST(ParamDisplay, DisplayTextLookups)
{
  IParam param;
  InitOctave(param);
  EXPECT_STREQ(param.GetDisplayText(4.0), "+2");
  EXPECT_STREQ(param.GetDisplayText(4.5), "");
  double value = -1.0;
  EXPECT_TRUE(param.MapDisplayText("-1", &value));
  EXPECT_EQ(value, 1.0);
  value = -7.0;
  EXPECT_FALSE(param.MapDisplayText("+3", &value));
  EXPECT_EQ(value, -7.0);
  EXPECT_FALSE(param.MapDisplayText(nullptr, &value));
  EXPECT_FALSE(param.MapDisplayText("+1 ", &value)); // exact match only
}

// ---------------------------------------------------------------------------------------------
// Typed text

TEST(ParamStringToValue, DisplayTextsMapToTheirValues)
{
  IParam interval;
  interval.InitEnum("Interval", 0, 12, "", 0, "",
                    {"Unison", "Minor 2nd", "Major 2nd", "Minor 3rd", "Major 3rd", "Perfect 4th",
                     "Tritone", "Perfect 5th", "Minor 6th", "Major 6th", "Minor 7th", "Major 7th"});
  EXPECT_EQ(interval.StringToValue("Tritone"), 6.0);
  EXPECT_EQ(interval.StringToValue("Major 7th"), 11.0);
  EXPECT_EQ(interval.StringToValue("tritone"), 0.0); // texts compare exactly
}

TEST(ParamStringToValue, EnumAndBoolWithoutAMatchGiveZero)
{
  IParam octave;
  InitOctave(octave);
  octave.StoreValue(4.0);
  EXPECT_EQ(octave.StringToValue("abc"), 0.0);
  EXPECT_EQ(octave.StringToValue("3"), 0.0); // numbers are not read for enums
  EXPECT_EQ(octave.StringToValue("+1"), 3.0);

  IParam boolean;
  boolean.InitBool("Switch", false);
  EXPECT_EQ(boolean.StringToValue("on"), 1.0);
  EXPECT_EQ(boolean.StringToValue("1"), 0.0);
}

TEST(ParamStringToValue, NumbersAreReadSteppedAndClamped)
{
  IParam level;
  level.InitDouble("Level", 50.0, 0.0, 100.0, 1.0, "%");
  EXPECT_EQ(level.StringToValue("150"), 100.0);
  EXPECT_EQ(level.StringToValue("-20"), 0.0);
  EXPECT_EQ(level.StringToValue("42.5"), 42.5); // not stepped: kept
  EXPECT_EQ(level.StringToValue("  7.25 %"), 7.25);
  EXPECT_EQ(level.StringToValue("abc"), 0.0);
  EXPECT_EQ(level.StringToValue("inf"), 100.0);
  EXPECT_EQ(level.StringToValue("-inf"), 0.0);

  IParam stepped;
  stepped.InitInt("Count", 0, -10, 10);
  EXPECT_EQ(stepped.StringToValue("2.5"), 3.0);
  EXPECT_EQ(stepped.StringToValue("-2.5"), -3.0);
  EXPECT_EQ(stepped.StringToValue("2.4"), 2.0);
}

TEST(ParamStringToValue, NegateDisplayNegatesTypedNumbers)
{
  IParam param;
  param.InitDouble("Depth", 0.0, -10.0, 10.0, 0.5, "", IParam::kFlagNegateDisplay);
  EXPECT_EQ(param.StringToValue("3"), -3.0);
  EXPECT_EQ(param.StringToValue("-4.5"), 4.5);
  EXPECT_EQ(param.StringToValue("20"), -10.0);
}

TEST(ParamStringToValue, NanTextGivesTheCurrentValue)
{
  IParam param;
  param.InitDouble("Level", 50.0, 0.0, 100.0, 1.0, "%");
  param.StoreValue(33.0);
  EXPECT_EQ(param.StringToValue("nan"), 33.0);
  EXPECT_EQ(param.StringToValue("NaN"), 33.0);
  EXPECT_EQ(param.StringToValue("-nan"), 33.0);
}
