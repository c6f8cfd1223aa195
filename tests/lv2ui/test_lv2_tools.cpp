// The installed bundle in LV2's own tools: lv2_validate finds no error in its .ttl files, lv2ls
// lists it, and lv2apply renders a sound file through it to the same samples as
// 'umbravox render --raw', with the port defaults ("Init") and with controls set.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "HostTestHelpers.h"
#include "RenderFiles.h"
#include "SoundFile.h"

namespace fs = std::filesystem;

using namespace umbra::test;

namespace {

constexpr const char* kURI = "urn:marrowfield:umbravox";



std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

class LV2Tools : public ::testing::Test {
protected:
  void SetUp() override
  {
    for (const char* program : {"lv2_validate", "lv2ls", "lv2apply"})
      if (!OnPath(program))
        GTEST_SKIP() << program << " is not installed (scripts/setup installs it)";
    mDir = fs::temp_directory_path() / ("umbravox-lv2tools-" + std::to_string(::getpid()));
    fs::remove_all(mDir);
    // The bundle as a packager installs it, under a prefix that holds nothing else.
    mLV2 = InstallBundle(mDir / "prefix");
    ASSERT_FALSE(mLV2.empty());
    mBundle = mLV2 / "umbravox.lv2";
  }
  void TearDown() override
  {
    if (!mDir.empty())
      fs::remove_all(mDir);
  }

  // Two seconds of a chord with a beat, stereo at 48 kHz.
  fs::path WriteInput()
  {
    const fs::path path = mDir / "in.wav";
    WriteChordFile(path, 96000);
    return path;
  }

  fs::path mDir, mLV2, mBundle;
};

TEST_F(LV2Tools, ValidatesAndIsListed)
{
  std::string ttl;
  for (const char* name : {"manifest.ttl", "umbravox.ttl", "presets.ttl"})
    ttl += " " + Quote(mBundle / name);
  const std::string report = Output("lv2_validate" + ttl + " 2>&1");
  EXPECT_NE(report.find("Found 0 errors"), std::string::npos) << report;

  const std::string listed = Output("LV2_PATH=" + Quote(mLV2) + " lv2ls");
  EXPECT_NE(listed.find(kURI), std::string::npos) << listed;
}

TEST_F(LV2Tools, Lv2applyRendersWhatTheToolRenders)
{
  const fs::path input = WriteInput();
  const std::string lv2apply = "LV2_PATH=" + Quote(mLV2) + " lv2apply -i " + Quote(input);
  const std::string render = std::string("'") + UMBRAVOX_TOOL + "' render " + Quote(input);

  // The port defaults are "Init", as a new instance starts.
  ASSERT_EQ(std::system((lv2apply + " -o " + Quote(mDir / "lv2-init.wav") + " " + kURI + " >/dev/null 2>&1").c_str()), 0);
  ASSERT_EQ(std::system((render + " " + Quote(mDir / "tool-init.wav") + " --raw --quiet").c_str()), 0);
  EXPECT_LE(MaxRenderDifference(mDir / "lv2-init.wav", mDir / "tool-init.wav"), 1e-6);

  // Controls set on the command line, in the ports' units.
  ASSERT_EQ(std::system((lv2apply + " -o " + Quote(mDir / "lv2-set.wav") +
                         " -c haunt 30 -c octave 3 -c whisper_mode 1 -c mix 60 " + kURI + " >/dev/null 2>&1").c_str()),
            0);
  ASSERT_EQ(std::system((render + " " + Quote(mDir / "tool-set.wav") +
                         " --raw --quiet --set Haunt=30 --set Octave=+1 --set 'Whisper Mode=Ghosts' --set Mix=60").c_str()),
            0);
  EXPECT_LE(MaxRenderDifference(mDir / "lv2-set.wav", mDir / "tool-set.wav"), 1e-6);
  // And the settings made a difference.
  EXPECT_GT(MaxRenderDifference(mDir / "lv2-set.wav", mDir / "lv2-init.wav"), 1e-3);
}

} // namespace
