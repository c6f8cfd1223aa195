// Bitmaps decoded from real PNG files written here, drawn at their logical size, and the
// canvas's own PNG output read back.

#include <stb_image.h>
#include <stb_image_write.h>

#include "DrawingTestHelpers.h"
#include "Drawing/CairoBitmap.h"

namespace umbra::ui::test {
namespace {

// A 20 × 20 image in four quadrants: opaque red, opaque green, half-transparent blue, white.
void WriteQuadrantPNG(const std::string& path)
{
  std::vector<unsigned char> rgba(20 * 20 * 4);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      unsigned char* p = &rgba[static_cast<size_t>((y * 20 + x) * 4)];
      const bool right = x >= 10, bottom = y >= 10;
      const IColor c = !bottom ? (right ? COLOR_GREEN : COLOR_RED)
                               : (right ? COLOR_WHITE : IColor(128, 0, 0, 255));
      p[0] = static_cast<unsigned char>(c.R);
      p[1] = static_cast<unsigned char>(c.G);
      p[2] = static_cast<unsigned char>(c.B);
      p[3] = static_cast<unsigned char>(c.A);
    }
  ASSERT_NE(stbi_write_png(path.c_str(), 20, 20, 4, rgba.data(), 20 * 4), 0);
}

class Bitmaps : public ::testing::Test {
protected:
  void SetUp() override { WriteQuadrantPNG(file.Path()); }

  TempFile file{"quadrants@2x.png"};
};

TEST_F(Bitmaps, DecodesPremultipliedAtItsScale)
{
  ICanvasHeadless canvas(30, 30, 1.f, 2.f);
  auto api = canvas.LoadAPIBitmap(file.Path(), 2);
  ASSERT_NE(api, nullptr);
  EXPECT_EQ(api->GetWidth(), 20);
  EXPECT_EQ(api->GetHeight(), 20);
  EXPECT_EQ(api->GetScale(), 2.f);

  const IBitmap bitmap(api, 1, false, "quadrants.png");
  EXPECT_EQ(bitmap.W(), 10);
  EXPECT_EQ(bitmap.H(), 10);

  // Cairo's words are 0xAARRGGBB with the colour multiplied by alpha.
  auto* cairoBitmap = dynamic_cast<CairoBitmap*>(api.get());
  ASSERT_NE(cairoBitmap, nullptr);
  cairo_surface_t* surface = cairoBitmap->GetSurface();
  ASSERT_EQ(cairo_image_surface_get_format(surface), CAIRO_FORMAT_ARGB32);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  auto word = [&](int x, int y) {
    return reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
  };
  EXPECT_EQ(word(0, 0), 0xffff0000u);
  EXPECT_EQ(word(19, 0), 0xff00ff00u);
  EXPECT_EQ(word(0, 19), 0x80000080u);
  EXPECT_EQ(word(19, 19), 0xffffffffu);
}

TEST_F(Bitmaps, DoubleSizeImageDrawsAtItsLogicalSizeOnADoubleScaleCanvas)
{
  ICanvasHeadless canvas(30, 30, 1.f, 2.f);
  const IBitmap bitmap(canvas.LoadAPIBitmap(file.Path(), 2), 1, false, "quadrants.png");
  canvas.RenderFrame([&](ICanvas& g) { g.DrawBitmap(bitmap, IRECT(5, 5, 15, 15), 0, 0); });

  // Logical (5, 5)..(15, 15) is device (10, 10)..(30, 30), one device pixel per image pixel.
  EXPECT_EQ(canvas.GetPixel(10, 10), COLOR_RED);
  EXPECT_EQ(canvas.GetPixel(19, 19), COLOR_RED);
  EXPECT_EQ(canvas.GetPixel(20, 10), COLOR_GREEN);
  EXPECT_EQ(canvas.GetPixel(29, 19), COLOR_GREEN);
  EXPECT_TRUE(ColorNear(canvas.GetPixel(10, 29), IColor(128, 0, 0, 255)));
  EXPECT_EQ(canvas.GetPixel(29, 29), COLOR_WHITE);
  const Ink ink = FindInk(canvas);
  EXPECT_EQ(ink.left, 10);
  EXPECT_EQ(ink.top, 10);
  EXPECT_EQ(ink.right, 30);
  EXPECT_EQ(ink.bottom, 30);
}

TEST_F(Bitmaps, SourceOffsetPicksThePart)
{
  ICanvasHeadless canvas(10, 10, 1.f, 2.f);
  const IBitmap bitmap(canvas.LoadAPIBitmap(file.Path(), 2), 1, false, "quadrants.png");
  canvas.RenderFrame([&](ICanvas& g) { g.DrawBitmap(bitmap, IRECT(0, 0, 5, 5), 5, 0); });
  EXPECT_EQ(canvas.GetPixel(0, 0), COLOR_GREEN);
  EXPECT_EQ(canvas.GetPixel(9, 9), COLOR_GREEN);
  EXPECT_EQ(canvas.GetPixel(10, 10).A, 0);
}

TEST_F(Bitmaps, BlendWeightHalvesTheOpacity)
{
  ICanvasHeadless canvas(10, 10, 1.f, 2.f);
  const IBitmap bitmap(canvas.LoadAPIBitmap(file.Path(), 2), 1, false, "quadrants.png");
  canvas.RenderFrame([&](ICanvas& g) { g.DrawBitmap(bitmap, IRECT(0, 0, 10, 10), 0, 0, &BLEND_50); });
  EXPECT_TRUE(ColorNear(canvas.GetPixel(0, 0), IColor(128, 255, 0, 0)));
  EXPECT_TRUE(ColorNear(canvas.GetPixel(19, 19), IColor(128, 255, 255, 255)));
  EXPECT_TRUE(ColorNear(canvas.GetPixel(0, 19), IColor(64, 0, 0, 255), 2));
}

TEST_F(Bitmaps, FittedBitmapStretchesOverTheBounds)
{
  ICanvasHeadless canvas(40, 20);
  const IBitmap bitmap(canvas.LoadAPIBitmap(file.Path(), 2), 1, false, "quadrants.png");
  canvas.RenderFrame([&](ICanvas& g) { g.DrawFittedBitmap(bitmap, IRECT(0, 0, 40, 20)); });
  EXPECT_EQ(canvas.GetPixel(5, 5), COLOR_RED);
  EXPECT_EQ(canvas.GetPixel(35, 5), COLOR_GREEN);
  EXPECT_EQ(canvas.GetPixel(35, 15), COLOR_WHITE);
}

TEST_F(Bitmaps, DecodesFromMemory)
{
  const std::vector<std::uint8_t> bytes = ReadFile(file.Path());
  ICanvasHeadless canvas(10, 10);
  auto api = canvas.LoadAPIBitmap(bytes.data(), bytes.size(), 1);
  ASSERT_NE(api, nullptr);
  EXPECT_EQ(api->GetWidth(), 20);
  EXPECT_EQ(canvas.LoadAPIBitmap(bytes.data(), 8, 1), nullptr); // a truncated file
}

TEST(BitmapLoading, MissingOrUndecodableFilesGiveNoBitmap)
{
  ICanvasHeadless canvas(10, 10);
  EXPECT_EQ(canvas.LoadAPIBitmap("/nonexistent/knob.png", 1), nullptr);
  TempFile junk("junk.png");
  {
    std::ofstream out(junk.Path(), std::ios::binary);
    out << "not an image";
  }
  EXPECT_EQ(canvas.LoadAPIBitmap(junk.Path(), 1), nullptr);

  // The empty bitmap draws nothing.
  canvas.RenderFrame([](ICanvas& g) { g.DrawBitmap(IBitmap(), IRECT(0, 0, 10, 10), 0, 0); });
  EXPECT_FALSE(FindInk(canvas).any);
  EXPECT_EQ(IBitmap().W(), 0);
  EXPECT_FALSE(IBitmap().IsValid());
}

TEST(BitmapLoading, ExtensionsAreCheckedWithoutRegardToCase)
{
  ICanvasHeadless canvas(10, 10);
  for (const char* ext : {"png", "PNG", ".png", "jpg", "JPEG", "jpeg"})
    EXPECT_TRUE(canvas.BitmapExtSupported(ext)) << ext;
  for (const char* ext : {"gif", "", "svg", "pngx"})
    EXPECT_FALSE(canvas.BitmapExtSupported(ext)) << ext;
  EXPECT_FALSE(canvas.BitmapExtSupported(nullptr));
}

TEST(SavePNG, WritesTheImageThatReadsBackTheSame)
{
  ICanvasHeadless canvas(20, 10, 2.f);
  canvas.RenderFrame([](ICanvas& g) {
    g.FillRect(COLOR_RED, IRECT(0, 0, 10, 10));
    g.FillRect(IColor(128, 0, 0, 255), IRECT(10, 0, 20, 10));
  });
  TempFile png("canvas.png");
  ASSERT_TRUE(canvas.SavePNG(png.Path()));

  int w = 0, h = 0, n = 0;
  stbi_uc* rgba = stbi_load(png.Path().c_str(), &w, &h, &n, 4);
  ASSERT_NE(rgba, nullptr);
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 20);
  auto at = [&](int x, int y) {
    const stbi_uc* p = rgba + (y * w + x) * 4;
    return IColor(p[3], p[0], p[1], p[2]);
  };
  for (int y = 0; y < h; y += 7)
    for (int x = 0; x < w; x += 3)
      EXPECT_TRUE(ColorNear(at(x, y), canvas.GetPixel(x, y))) << x << ", " << y;
  EXPECT_EQ(at(0, 0), COLOR_RED);
  EXPECT_TRUE(ColorNear(at(39, 19), IColor(128, 0, 0, 255)));
  stbi_image_free(rgba);

  EXPECT_FALSE(canvas.SavePNG("/nonexistent/dir/canvas.png"));
}

// A picture of megabytes over shapes filled before it, on a canvas of megabytes: both images
// take the large-page path. What lies wholly under the opaque picture may be skipped, but a
// shape reaching past its edge must still show there, and the canvas starts transparent.
TEST(LargeBitmaps, OpaquePictureHidesOnlyWhatLiesUnderIt)
{
  constexpr int kW = 1000, kH = 600;
  std::vector<unsigned char> rgb(static_cast<size_t>(kW * kH * 3));
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = 10;
    rgb[i + 1] = 200;
    rgb[i + 2] = 30;
  }
  TempFile file{"opaque.png"};
  ASSERT_NE(stbi_write_png(file.Path().c_str(), kW, kH, 3, rgb.data(), kW * 3), 0);

  ICanvasHeadless canvas(1100, 700);
  const IBitmap bitmap(canvas.LoadAPIBitmap(file.Path(), 1), 1, false, "opaque.png");
  canvas.RenderFrame([&](ICanvas& g) {
    g.FillRect(COLOR_RED, IRECT(20, 20, 400, 300));
    g.FillEllipse(COLOR_BLUE, IRECT(900, 100, 1060, 200)); // reaches past the picture's edge
    g.DrawBitmap(bitmap, IRECT(10, 10, 10 + kW, 10 + kH), 0, 0);
  });
  EXPECT_EQ(canvas.GetPixel(100, 100), IColor(255, 10, 200, 30));
  EXPECT_EQ(canvas.GetPixel(1000, 150), IColor(255, 10, 200, 30));
  EXPECT_EQ(canvas.GetPixel(1030, 150), COLOR_BLUE);
  EXPECT_EQ(canvas.GetPixel(1090, 690).A, 0);
}

} // namespace
} // namespace umbra::ui::test
