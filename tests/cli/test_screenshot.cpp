// "umbravox screenshot": the plug-in's editor and the example editor drawn without a window,
// checked in the pictures by pixel statistics.
#include <gtest/gtest.h>

#include <cairo.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SoundFile.h"

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

  // Runs the command for a new screenshot named name with args, and reads it back.
  struct Picture {
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface{nullptr, cairo_surface_destroy};
    int Width() const { return cairo_image_surface_get_width(surface.get()); }
    int Height() const { return cairo_image_surface_get_height(surface.get()); }
    // Red, green, blue of a pixel (device pixels).
    std::array<int, 3> At(int x, int y) const
    {
      const unsigned char* data = cairo_image_surface_get_data(surface.get());
      const unsigned pixel = *reinterpret_cast<const unsigned*>(data + y * cairo_image_surface_get_stride(surface.get()) + 4 * x);
      return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF), static_cast<int>(pixel & 0xFF)};
    }
    // Mean of (R + G + B) / 3 over [l, r) x [t, b).
    double MeanLevel(int l, int t, int r, int b) const
    {
      double sum = 0.0;
      for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x)
        {
          const auto p = At(x, y);
          sum += (p[0] + p[1] + p[2]) / 3.0;
        }
      return sum / ((r - l) * (b - t));
    }
  };
  Picture Shoot(const std::string& name, const std::string& args)
  {
    const fs::path out = mDir / name;
    Picture picture;
    EXPECT_EQ(Run("screenshot '" + out.string() + "' " + args), 0) << args;
    picture.surface.reset(cairo_image_surface_create_from_png(out.c_str()));
    EXPECT_EQ(cairo_surface_status(picture.surface.get()), CAIRO_STATUS_SUCCESS) << args;
    return picture;
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
  EXPECT_EQ(Run("screenshot --example '" + out + "' --scale 0.5"), 2);
  EXPECT_EQ(Run("screenshot --example '" + out + "' --frames 0"), 2);
  EXPECT_EQ(Run("screenshot --example"), 2);
  EXPECT_EQ(Run("screenshot --example '" + (mDir / "no" / "dir.png").string() + "'"), 2);
  EXPECT_TRUE(fs::is_empty(mDir));
  EXPECT_EQ(Run("screenshot --help"), 0);
}

// ---------------------------------------------------------------------------------------------
// The plug-in's editor. Its animated layers repeat exactly for the same frames and audio, but
// the checks below do not rely on that: they look at regions and colours.

TEST_F(Screenshot, EditorOverTheNightSceneAtScaleOneAndTwo)
{
  for (int scale : {1, 2})
  {
    const Picture shot = Shoot("editor" + std::to_string(scale) + ".png",
                               "--frames 5 --scale " + std::to_string(scale));
    ASSERT_EQ(shot.Width(), 1200 * scale);
    ASSERT_EQ(shot.Height(), 800 * scale);
    // The night scene: dark overall, with a pale moon high on the right and the title bright.
    EXPECT_LT(shot.MeanLevel(0, 0, shot.Width(), shot.Height()), 90);
    EXPECT_GT(shot.MeanLevel(830 * scale, 80 * scale, 850 * scale, 100 * scale), 120);
    EXPECT_GT(Brightest(shot.surface.get(), 500 * scale, 10 * scale, 700 * scale, 55 * scale), 180);
    // Not a flat fill: the corners differ from the sky.
    const double sky = shot.MeanLevel(300 * scale, 60 * scale, 400 * scale, 100 * scale);
    const double ground = shot.MeanLevel(0, 770 * scale, 200 * scale, 800 * scale);
    EXPECT_GT(std::abs(sky - ground), 5.0);
  }
}

TEST_F(Screenshot, EditorLightsTheLEDOfTheSelectedTab)
{
  // The octave tabs span 425..775 in five tabs of 70; each LED sits 9 pixels below the top (598).
  const Picture shot = Shoot("led.png", "--frames 5 --set Octave=+1");
  auto tealness = [&](int cx) {
    int best = 0;
    for (int y = 604; y <= 610; ++y)
      for (int x = cx - 3; x <= cx + 3; ++x)
      {
        const auto p = shot.At(x, y);
        best = std::max(best, std::min(p[1], p[2]) - p[0]);
      }
    return best;
  };
  EXPECT_GT(tealness(670), 50);  // "+1", selected
  EXPECT_LT(tealness(600), 25);  // "0", the Init preset's octave
  EXPECT_LT(tealness(460), 25);
}

TEST_F(Screenshot, EditorDrawsTheSliderHandleWhereItsValueIs)
{
  // The Haunt slider runs from 425 to 775 with 10-pixel margins: its handle's centre travels
  // from 435 to 765. Find the brightest 20-pixel-wide stretch of the row.
  auto handleCentre = [](const Picture& shot) {
    std::vector<double> column;
    for (int x = 425; x < 775; ++x)
      column.push_back(shot.MeanLevel(x, 150, x + 1, 170));
    int best = 0;
    double bestSum = -1.0;
    for (size_t x = 0; x + 20 <= column.size(); ++x)
    {
      double sum = 0.0;
      for (size_t i = x; i < x + 20; ++i)
        sum += column[i];
      if (sum > bestSum)
      {
        bestSum = sum;
        best = static_cast<int>(x);
      }
    }
    return 425 + best + 10;
  };
  EXPECT_NEAR(handleCentre(Shoot("low.png", "--frames 5 --set Haunt=0")), 435, 8);
  EXPECT_NEAR(handleCentre(Shoot("mid.png", "--frames 5 --set Haunt=50")), 600, 8);
  EXPECT_NEAR(handleCentre(Shoot("high.png", "--frames 5 --set Haunt=100")), 765, 8);
}

TEST_F(Screenshot, EditorMetersLightUpWithAudio)
{
  // Half a second of a loud 440 Hz tone, stereo at 44.1 kHz (735 samples a frame).
  umbra::sound::SoundData tone;
  tone.sampleRate = 44100;
  tone.channels.assign(2, std::vector<float>(22050));
  for (size_t s = 0; s < tone.channels[0].size(); ++s)
    tone.channels[0][s] = tone.channels[1][s] =
      static_cast<float>(0.7 * std::sin(2.0 * M_PI * 440.0 * static_cast<double>(s) / 44100.0));
  const fs::path audio = mDir / "tone.wav";
  umbra::sound::WriteSoundFile(audio.string(), umbra::sound::Encoding::kWavFloat, tone);

  const Picture quiet = Shoot("quiet.png", "--frames 24");
  const Picture loud = Shoot("loud.png", "--frames 24 --audio '" + audio.string() + "'");
  // The input meter (95..135) and the output meter (1065..1105), 175..720 high.
  EXPECT_GT(loud.MeanLevel(95, 175, 135, 720), quiet.MeanLevel(95, 175, 135, 720) + 15);
  EXPECT_GT(loud.MeanLevel(1065, 175, 1105, 720), quiet.MeanLevel(1065, 175, 1105, 720) + 10);
}

TEST_F(Screenshot, EditorSeparatorShowsItsTealMiddle)
{
  const Picture shot = Shoot("separator.png", "--frames 5");
  // Half-opaque teal over the scene: greener and bluer than the rows just above and below it,
  // in the middle of the line, and not beyond its faded ends.
  auto tealGain = [&](int x) {
    const auto line = shot.At(x, 543);
    const auto above = shot.At(x, 539);
    const auto below = shot.At(x, 548);
    const double gainG = line[1] - (above[1] + below[1]) / 2.0;
    const double gainR = line[0] - (above[0] + below[0]) / 2.0;
    return gainG - gainR;
  };
  EXPECT_GT(tealGain(600), 10.0);
  EXPECT_GT(tealGain(450), 10.0);
  EXPECT_LT(std::abs(tealGain(300)), 4.0);
}

TEST_F(Screenshot, EditorRefusesBadArgumentsAndLeavesNoFile)
{
  const std::string out = (mDir / "bad.png").string();
  EXPECT_EQ(Run("screenshot '" + out + "' --preset 'No Such Preset'"), 2);
  EXPECT_EQ(Run("screenshot '" + out + "' --set Haunt=101"), 2);
  EXPECT_EQ(Run("screenshot '" + out + "' --audio '" + (mDir / "missing.wav").string() + "'"), 2);
  EXPECT_EQ(Run("screenshot --example '" + out + "' --preset Init"), 2);
  EXPECT_TRUE(fs::is_empty(mDir));
}

TEST_F(Screenshot, EditorWithAPopupShownAsItsIconOpensIt)
{
  const Picture plain = Shoot("plain.png", "--frames 5");
  for (const char* which : {"about", "presets"})
  {
    const Picture shot = Shoot(std::string(which) + ".png", std::string("--frames 5 --show ") + which);
    // The editor around the popup's panel is dimmed; the panel (390..810 wide) is drawn.
    EXPECT_LT(shot.MeanLevel(0, 100, 300, 700), 0.8 * plain.MeanLevel(0, 100, 300, 700)) << which;
    EXPECT_NE(shot.MeanLevel(400, 200, 800, 300), plain.MeanLevel(400, 200, 800, 300)) << which;
  }
  EXPECT_EQ(Run("screenshot '" + (mDir / "bad.png").string() + "' --show settings"), 2);
  EXPECT_FALSE(fs::exists(mDir / "bad.png"));
}
