// The editor's resources as the build leaves them in the build tree's resources/: every font and
// bitmap the editor loads by name is there, the bitmaps have the sizes the layout expects at 1x
// and 2x, the fonts load through the canvas, and the art has the character the theme needs (a
// dark but detailed background, a pale ghost on a transparent square).
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "DrawingTestHelpers.h"

namespace umbra::ui::test {
namespace {

namespace fs = std::filesystem;

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

std::string BuildResource(const std::string& name)
{
  return (fs::path(UMBRAVOX_BUILD_RESOURCES) / name).string();
}

Surface LoadPNG(const std::string& name)
{
  return Surface(cairo_image_surface_create_from_png(BuildResource(name).c_str()),
                 &cairo_surface_destroy);
}

struct Pixel {
  int a, r, g, b;
};

// Cairo keeps ARGB32 premultiplied in native-endian words; this un-premultiplies one pixel.
Pixel At(cairo_surface_t* surface, int x, int y)
{
  const unsigned char* row = cairo_image_surface_get_data(surface)
                           + static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(surface);
  const auto word = reinterpret_cast<const std::uint32_t*>(row)[x];
  const int a = static_cast<int>(word >> 24);
  auto channel = [&](int shift) {
    const int premultiplied = static_cast<int>((word >> shift) & 0xFF);
    return a == 0 ? 0 : std::min(255, (premultiplied * 255 + a / 2) / a);
  };
  return {a, channel(16), channel(8), channel(0)};
}

double Luminance(const Pixel& p) { return (0.2126 * p.r + 0.7152 * p.g + 0.0722 * p.b) / 255.0; }

TEST(EditorResources, AllFilesPresent)
{
  for (const char* name : {"Roboto-Regular.ttf", "Cinzel-Regular.ttf", "GipsyCurse.ttf",
                           "background_ghost.png", "background_ghost@2x.png", "GhostIcon.png",
                           "GhostIcon@2x.png", "PresetIcon.png", "PresetIcon@2x.png"}) {
    const fs::path path = BuildResource(name);
    EXPECT_TRUE(fs::is_regular_file(path)) << path;
    EXPECT_GT(fs::exists(path) ? fs::file_size(path) : 0u, 1000u) << path;
  }
}

TEST(EditorResources, BitmapsHaveTheirPixelSizes)
{
  const struct {
    const char* name;
    int w, h;
  } expected[] = {
      {"background_ghost.png", 1200, 800}, {"background_ghost@2x.png", 2400, 1600},
      {"GhostIcon.png", 36, 36},           {"GhostIcon@2x.png", 72, 72},
      {"PresetIcon.png", 36, 36},          {"PresetIcon@2x.png", 72, 72},
  };
  for (const auto& e : expected) {
    const Surface png = LoadPNG(e.name);
    ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS) << e.name;
    EXPECT_EQ(cairo_image_surface_get_width(png.get()), e.w) << e.name;
    EXPECT_EQ(cairo_image_surface_get_height(png.get()), e.h) << e.name;
  }
}

TEST(EditorResources, CanvasPicksTheDoubleBackgroundAtScaleTwo)
{
  ICanvasHeadless canvas(1200, 800, 1.f, 2.f);
  const IBitmap background = canvas.LoadBitmap("background_ghost.png");
  ASSERT_TRUE(background.IsValid());
  EXPECT_EQ(background.GetScale(), 2.f);
  EXPECT_EQ(background.W(), 1200);
  EXPECT_EQ(background.H(), 800);
}

TEST(EditorResources, FontsLoadAndDrawThroughTheCanvas)
{
  // The identifiers the editor's layout uses; each face must ink the same word differently.
  const struct {
    const char* id;
    const char* file;
  } fonts[] = {
      {"Roboto-Regular", "Roboto-Regular.ttf"},
      {"Cinzel", "Cinzel-Regular.ttf"},
      {"GipsyCurse", "GipsyCurse.ttf"},
  };
  std::vector<Ink> inks;
  for (const auto& f : fonts) {
    ICanvasHeadless canvas(240, 60);
    ASSERT_TRUE(canvas.LoadFont(f.id, f.file)) << f.file;
    canvas.RenderFrame([&](ICanvas& c) {
      c.DrawText(IText(36.f, COLOR_BLACK, f.id), "Umbra Vox", IRECT(0.f, 0.f, 240.f, 60.f));
    });
    const Ink ink = FindInk(canvas);
    EXPECT_TRUE(ink.any) << f.file;
    inks.push_back(ink);
  }
  auto same = [](const Ink& a, const Ink& b) {
    return a.left == b.left && a.right == b.right && a.top == b.top && a.bottom == b.bottom;
  };
  EXPECT_FALSE(same(inks[0], inks[1]));
  EXPECT_FALSE(same(inks[0], inks[2]));
  EXPECT_FALSE(same(inks[1], inks[2]));
}

TEST(EditorResources, BackgroundIsDarkButNotFlat)
{
  for (const char* name : {"background_ghost.png", "background_ghost@2x.png"}) {
    const Surface png = LoadPNG(name);
    ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS) << name;
    const int w = cairo_image_surface_get_width(png.get());
    const int h = cairo_image_surface_get_height(png.get());
    double sum = 0, squares = 0, brightest = 0;
    int opaque = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Pixel p = At(png.get(), x, y);
        const double l = Luminance(p);
        sum += l;
        squares += l * l;
        brightest = std::max(brightest, l);
        opaque += p.a == 255;
      }
    const double n = static_cast<double>(w) * h;
    const double mean = sum / n;
    const double deviation = std::sqrt(std::max(0.0, squares / n - mean * mean));
    // Dark enough for pale text and controls on top ...
    EXPECT_LT(mean, 0.25) << name;
    // ... yet a picture: a spread of tones and a bright moon.
    EXPECT_GT(deviation, 0.02) << name;
    EXPECT_GT(brightest, 0.6) << name;
    // It covers the whole window.
    EXPECT_EQ(opaque, w * h) << name;
  }
}

TEST(EditorResources, BothBackgroundsShowTheSamePicture)
{
  const Surface one = LoadPNG("background_ghost.png");
  const Surface two = LoadPNG("background_ghost@2x.png");
  ASSERT_EQ(cairo_surface_status(one.get()), CAIRO_STATUS_SUCCESS);
  ASSERT_EQ(cairo_surface_status(two.get()), CAIRO_STATUS_SUCCESS);
  // Sample a coarse grid; each 1x pixel against the mean of its 2 × 2 block in the 2x picture.
  double difference = 0;
  int samples = 0;
  for (int y = 10; y < 800; y += 40)
    for (int x = 10; x < 1200; x += 40) {
      double twice = 0;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) twice += Luminance(At(two.get(), 2 * x + dx, 2 * y + dy));
      difference += std::abs(Luminance(At(one.get(), x, y)) - twice / 4);
      ++samples;
    }
  EXPECT_LT(difference / samples, 0.03);
}

TEST(EditorResources, GhostIconIsPaleOnTransparentCorners)
{
  for (const char* name : {"GhostIcon.png", "GhostIcon@2x.png", "PresetIcon.png", "PresetIcon@2x.png"}) {
    const Surface png = LoadPNG(name);
    ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS) << name;
    const int size = cairo_image_surface_get_width(png.get());
    for (const auto& [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
      EXPECT_LT(At(png.get(), x, y).a, 8) << name << " corner " << x << "," << y;
    int pale = 0, dark = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const Pixel p = At(png.get(), x, y);
        if (p.a > 240 && Luminance(p) > 0.75) ++pale;
        if (p.a > 240 && Luminance(p) < 0.2) ++dark;
      }
    // A good share of the square is the pale figure.
    EXPECT_GT(pale, size * size / 10) << name;
    // The ghost looks out of two dark eyes; the list icon has no dark parts.
    if (std::string(name).rfind("Ghost", 0) == 0)
      EXPECT_GT(dark, size * size / 100) << name;
    else
      EXPECT_EQ(dark, 0) << name;
  }
}

} // namespace
} // namespace umbra::ui::test
