#pragma once

// Shared by the pixel tests: the test font, colour comparison and the inked box of a render.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "Platforms/ICanvasHeadless.h"

namespace umbra::ui::test {

inline constexpr const char* kTestFontID = "Roboto-Regular";
inline constexpr const char* kTestFontFile =
  "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";

inline std::vector<std::uint8_t> ReadFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool LoadTestFont(ICanvas& canvas)
{
  return canvas.LoadAPIFont(kTestFontID, ReadFile(kTestFontFile));
}

inline ::testing::AssertionResult ColorNear(const IColor& actual, const IColor& expected,
                                            int tolerance = 1)
{
  auto off = [tolerance](int a, int b) { return std::abs(a - b) > tolerance; };
  if (off(actual.A, expected.A) || off(actual.R, expected.R) || off(actual.G, expected.G) ||
      off(actual.B, expected.B))
    return ::testing::AssertionFailure()
           << "got (" << actual.A << ", " << actual.R << ", " << actual.G << ", " << actual.B
           << "), expected (" << expected.A << ", " << expected.R << ", " << expected.G << ", "
           << expected.B << ")";
  return ::testing::AssertionSuccess();
}

// Device pixels whose alpha exceeds the threshold: their bounding box (right and bottom
// exclusive) and the largest alpha seen. An empty render gives an empty box.
struct Ink {
  int left = 0, top = 0, right = 0, bottom = 0;
  int maxAlpha = 0;
  bool any = false;
  double MidX() const { return 0.5 * (left + right); }
  double MidY() const { return 0.5 * (top + bottom); }
};

inline Ink FindInk(const ICanvasCairo& canvas, int threshold = 0)
{
  Ink ink;
  for (int y = 0; y < canvas.DeviceHeight(); ++y)
    for (int x = 0; x < canvas.DeviceWidth(); ++x) {
      const int a = canvas.GetPixel(x, y).A;
      if (a > ink.maxAlpha)
        ink.maxAlpha = a;
      if (a <= threshold)
        continue;
      if (!ink.any) {
        ink = {x, y, x + 1, y + 1, ink.maxAlpha, true};
        continue;
      }
      ink.left = std::min(ink.left, x);
      ink.top = std::min(ink.top, y);
      ink.right = std::max(ink.right, x + 1);
      ink.bottom = std::max(ink.bottom, y + 1);
    }
  return ink;
}

// A fresh file name in the system's temporary folder, removed with the object.
class TempFile {
public:
  explicit TempFile(const std::string& name)
    : mPath(std::filesystem::temp_directory_path() /
            ("umbravox_" + std::to_string(::getpid()) + "_" + name))
  {
  }
  ~TempFile()
  {
    std::error_code ec;
    std::filesystem::remove(mPath, ec);
  }
  std::string Path() const { return mPath.string(); }

private:
  std::filesystem::path mPath;
};

} // namespace umbra::ui::test
