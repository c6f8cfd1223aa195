// "umbravox screenshot": the example editor drawn without a window, checked in the picture.
#include <gtest/gtest.h>

#include <cairo.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class Screenshot : public ::testing::Test {
protected:
  void SetUp() override
  {
    mDir = fs::temp_directory_path() / ("umbravox-shot-" + std::to_string(::getpid()));
    fs::create_directories(mDir);
  }
  void TearDown() override { fs::remove_all(mDir); }

  int Run(const std::string& args)
  {
    const std::string command = std::string("'") + UMBRAVOX_TOOL + "' " + args + " >/dev/null 2>&1";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  fs::path mDir;
};

// The brightest channel of the picture within r (device pixels).
int Brightest(cairo_surface_t* image, int l, int t, int r, int b)
{
  const unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  int best = 0;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x)
    {
      const unsigned pixel = *reinterpret_cast<const unsigned*>(data + y * stride + 4 * x);
      best = std::max({best, static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
                       static_cast<int>(pixel & 0xFF)});
    }
  return best;
}

} // namespace

TEST_F(Screenshot, DrawsTheExampleEditorAtScaleOneAndTwo)
{
  for (int scale : {1, 2})
  {
    const fs::path out = mDir / ("shot" + std::to_string(scale) + ".png");
    ASSERT_EQ(Run("screenshot --example '" + out.string() + "' --scale " + std::to_string(scale) + " --frames 20"), 0);
    cairo_surface_t* image = cairo_image_surface_create_from_png(out.c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(image), 1200 * scale);
    EXPECT_EQ(cairo_image_surface_get_height(image), 800 * scale);
    // The title text and the ghost bitmap are light on the dark panel; the panel's corner is dark.
    EXPECT_GT(Brightest(image, 60 * scale, 40 * scale, 500 * scale, 100 * scale), 150);
    EXPECT_GT(Brightest(image, 1000 * scale, 40 * scale, 1064 * scale, 104 * scale), 150);
    EXPECT_LT(Brightest(image, 0, 0, 20 * scale, 20 * scale), 80);
    cairo_surface_destroy(image);
  }
}

TEST_F(Screenshot, RefusesBadArgumentsAndLeavesNoFile)
{
  const std::string out = (mDir / "bad.png").string();
  EXPECT_EQ(Run("screenshot '" + out + "'"), 2);                      // no --example
  EXPECT_EQ(Run("screenshot --example '" + out + "' --scale 0.5"), 2);
  EXPECT_EQ(Run("screenshot --example '" + out + "' --frames 0"), 2);
  EXPECT_EQ(Run("screenshot --example"), 2);
  EXPECT_EQ(Run("screenshot --example '" + (mDir / "no" / "dir.png").string() + "'"), 2);
  EXPECT_TRUE(fs::is_empty(mDir));
  EXPECT_EQ(Run("screenshot --help"), 0);
}
