// Pixel tests of text drawing with the real Roboto font: alignment, measuring, blends, scales.

#include "DrawingTestHelpers.h"
#include "Drawing/TextRuns.h"

namespace umbra::ui::test {
namespace {

class TextDrawing : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(LoadTestFont(canvas)); }

  ICanvasHeadless canvas{200, 100};
};

TEST_F(TextDrawing, FontLoadsOnceAndRefusesNothingUsable)
{
  EXPECT_TRUE(canvas.LoadAPIFont(kTestFontID, {})); // already registered: the bytes are not needed
  EXPECT_FALSE(canvas.LoadAPIFont("NotAFont", {1, 2, 3, 4}));
  EXPECT_FALSE(canvas.LoadAPIFont("Empty", {}));
}

TEST_F(TextDrawing, CentredTextLiesCentred)
{
  const IText style(40.f, COLOR_BLACK, kTestFontID, kAlignCenter, kVAlignMiddle);
  const IRECT bounds(0, 0, 200, 100);
  canvas.RenderFrame([&](ICanvas& g) { g.DrawText(style, "HOH", bounds); });
  const Ink ink = FindInk(canvas, 64);
  ASSERT_TRUE(ink.any);
  EXPECT_NEAR(ink.MidX(), 100.0, 1.5);

  IRECT measured = bounds;
  const float width = canvas.MeasureText(style, "HOH", measured);
  EXPECT_NEAR(measured.W(), width, 1e-3);
  EXPECT_NEAR(measured.MW(), 100.f, 1e-3);
  EXPECT_NEAR(measured.MH(), 50.f, 1e-3);
  EXPECT_NEAR(measured.H(), 40.f, 1e-3); // the size is the ascender-to-descender height
  // The ink lies within the measured box.
  EXPECT_GE(ink.left, static_cast<int>(measured.L));
  EXPECT_LE(ink.right, static_cast<int>(std::ceil(measured.R)));
  EXPECT_GE(ink.top, static_cast<int>(measured.T));
  EXPECT_LE(ink.bottom, static_cast<int>(std::ceil(measured.B)));
}

TEST_F(TextDrawing, NearTopAndFarBottomHugTheirCorners)
{
  const IRECT bounds(10, 10, 190, 90);
  canvas.RenderFrame([&](ICanvas& g) {
    g.DrawText(IText(30.f, COLOR_BLACK, kTestFontID, kAlignNear, kVAlignTop), "H", bounds);
  });
  Ink ink = FindInk(canvas, 64);
  EXPECT_GE(ink.left, 10);
  EXPECT_LE(ink.left, 14);
  EXPECT_GE(ink.top, 10);
  EXPECT_LE(ink.top, 17);

  ICanvasHeadless other(200, 100);
  other.RenderFrame([&](ICanvas& g) {
    g.DrawText(IText(30.f, COLOR_BLACK, kTestFontID, kAlignFar, kVAlignBottom), "H", bounds);
  });
  ink = FindInk(other, 64);
  EXPECT_LE(ink.right, 190);
  EXPECT_GE(ink.right, 186);
  // The baseline sits the descender's depth above the bottom edge.
  EXPECT_LE(ink.bottom, 90 - 4);
  EXPECT_GE(ink.bottom, 90 - 12);
}

TEST_F(TextDrawing, BlendWeightHalvesTheOpacity)
{
  const IText style(40.f, COLOR_BLACK, kTestFontID);
  canvas.RenderFrame([&](ICanvas& g) { g.DrawText(style, "HIH", IRECT(0, 0, 200, 100)); });
  const Ink full = FindInk(canvas);
  ICanvasHeadless half(200, 100);
  half.RenderFrame([&](ICanvas& g) { g.DrawText(style, "HIH", IRECT(0, 0, 200, 100), &BLEND_50); });
  const Ink halved = FindInk(half);
  EXPECT_EQ(full.maxAlpha, 255);
  EXPECT_NEAR(halved.maxAlpha, 128, 1);
  EXPECT_EQ(halved.left, full.left);
  EXPECT_EQ(halved.right, full.right);
}

TEST_F(TextDrawing, ColourComesFromTheStyle)
{
  canvas.RenderFrame([&](ICanvas& g) {
    g.DrawText(IText(60.f, COLOR_BLUE, kTestFontID), "I", IRECT(0, 0, 200, 100));
  });
  EXPECT_EQ(canvas.GetPixel(100, 50), COLOR_BLUE); // the middle of the I's stem
}

TEST_F(TextDrawing, LayoutScalesWithTheCanvas)
{
  const IText style(24.f, COLOR_BLACK, kTestFontID);
  canvas.RenderFrame([&](ICanvas& g) { g.DrawText(style, "Umbra Vox", IRECT(0, 0, 200, 100)); });
  ICanvasHeadless big(200, 100, 1.f, 2.f);
  ASSERT_TRUE(LoadTestFont(big));
  big.RenderFrame([&](ICanvas& g) { g.DrawText(style, "Umbra Vox", IRECT(0, 0, 200, 100)); });
  const Ink a = FindInk(canvas, 100);
  const Ink b = FindInk(big, 100);
  EXPECT_NEAR(b.left, 2 * a.left, 2);
  EXPECT_NEAR(b.right, 2 * a.right, 2);
  EXPECT_NEAR(b.top, 2 * a.top, 2);
  EXPECT_NEAR(b.bottom, 2 * a.bottom, 2);
}

TEST_F(TextDrawing, TurnedTextTurnsAboutItsAlignedPoint)
{
  ICanvasHeadless square(200, 200);
  square.RenderFrame([&](ICanvas& g) {
    g.DrawText(IText(30.f, COLOR_BLACK, kTestFontID).WithAngle(90.f), "HHHHH",
               IRECT(0, 0, 200, 200));
  });
  const Ink ink = FindInk(square, 64);
  EXPECT_GT(ink.bottom - ink.top, 2 * (ink.right - ink.left));
  EXPECT_NEAR(ink.MidY(), 100.0, 2.0);
}

TEST_F(TextDrawing, EmptyStringsAndUnknownFontsDrawNothing)
{
  canvas.RenderFrame([&](ICanvas& g) {
    g.DrawText(IText(30.f, COLOR_BLACK, kTestFontID), "", IRECT(0, 0, 200, 100));
    g.DrawText(IText(30.f, COLOR_BLACK, kTestFontID), nullptr, IRECT(0, 0, 200, 100));
    g.DrawText(IText(30.f, COLOR_BLACK, "NoSuchFont"), "H", IRECT(0, 0, 200, 100));
  });
  EXPECT_FALSE(FindInk(canvas).any);
  IRECT r(1, 2, 3, 4);
  EXPECT_EQ(canvas.MeasureText(IText(30.f, COLOR_BLACK, "NoSuchFont"), "H", r), 0.f);
  EXPECT_EQ(r, IRECT(1, 2, 3, 4));
}

TEST_F(TextDrawing, DrawingTextLeavesThePathAlone)
{
  canvas.RenderFrame([&](ICanvas& g) {
    g.PathRect(IRECT(0, 0, 10, 10));
    g.DrawText(IText(30.f, COLOR_BLACK, kTestFontID), "H", IRECT(100, 0, 200, 100));
    g.PathFill(COLOR_RED);
  });
  EXPECT_EQ(canvas.GetPixel(5, 5), COLOR_RED);
}

// Symbols the style's font lacks come from the fallback font instead of its missing-glyph box.
TEST_F(TextDrawing, SymbolsTheFontLacksAreDrawnFromTheFallbackFont)
{
  const IText style(40.f, COLOR_BLACK, kTestFontID, kAlignNear, kVAlignTop);
  auto inkOf = [&](const char* str) {
    ICanvasHeadless fresh(200, 100);
    fresh.RenderFrame([&](ICanvas& g) { g.DrawText(style, str, IRECT(0, 0, 200, 100)); });
    return FindInk(fresh, 64);
  };
  // U+FFFE is in no font: it stays the style's missing glyph (Roboto's is blank).
  const Ink missing = inkOf("\xEF\xBF\xBE");
  const Ink check = inkOf("\xE2\x9C\x93"); // U+2713 CHECK MARK, which Roboto lacks
  ASSERT_TRUE(check.any);
  EXPECT_FALSE(missing.any && missing.left == check.left && missing.right == check.right &&
               missing.top == check.top && missing.bottom == check.bottom);
  // A mark about as tall as a capital of the same style.
  const Ink capital = inkOf("H");
  EXPECT_NEAR(check.bottom - check.top, capital.bottom - capital.top, 8);

  // The runs follow each other on one baseline: "a" then the mark then "b" is as wide as the
  // three measured alone.
  IRECT r(0, 0, 200, 100);
  const float whole = canvas.MeasureText(style, "a\xE2\x9C\x93" "b", r);
  const float parts = canvas.MeasureText(style, "a", r) + canvas.MeasureText(style, "\xE2\x9C\x93", r) +
                      canvas.MeasureText(style, "b", r);
  EXPECT_NEAR(whole, parts, 0.01f);
}

TEST(TextRuns, SplitByWhichFontHasTheGlyph)
{
  // The style's font has everything but U+2713; the fallback has that and nothing else.
  auto has = [](std::uint32_t cp, bool fallback) { return fallback ? cp == 0x2713 : cp != 0x2713; };
  const auto plain = SplitTextRuns("Check \xC3\xA9t\xC3\xA9", has);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_FALSE(plain[0].fallback);

  const auto mixed = SplitTextRuns("\xE2\x9C\x93 Update", has);
  ASSERT_EQ(mixed.size(), 2u);
  EXPECT_TRUE(mixed[0].fallback);
  EXPECT_EQ(mixed[0].text, "\xE2\x9C\x93");
  EXPECT_EQ(mixed[1].text, " Update");

  // Malformed and cut-off sequences are kept, byte for byte, with the style's font.
  const auto broken = SplitTextRuns("a\xE2\x9C", has);
  ASSERT_EQ(broken.size(), 1u);
  EXPECT_EQ(broken[0].text, "a\xE2\x9C");
  EXPECT_TRUE(SplitTextRuns(nullptr, has).empty());
}

} // namespace
} // namespace umbra::ui::test
