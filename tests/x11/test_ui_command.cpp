// "umbravox ui": the plug-in's editor and the example editor in a window of their own process.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SoundFile.h"
#include "XvfbServer.h"

namespace fs = std::filesystem;

namespace {

// Runs the tool through the shell with the given DISPLAY, keeping its stderr; the exit status.
int RunTool(const std::string& display, const std::string& args, std::string& errors)
{
  const fs::path errFile = fs::temp_directory_path() / ("umbravox-ui-" + std::to_string(::getpid()) + ".err");
  const std::string command = "DISPLAY='" + display + "' timeout 60 '" + UMBRAVOX_TOOL + "' " + args +
                              " >/dev/null 2>'" + errFile.string() + "'";
  const int raw = std::system(command.c_str());
  std::ifstream in(errFile);
  std::stringstream text;
  text << in.rdbuf();
  errors = text.str();
  fs::remove(errFile);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(UICommand, RunsTheExampleForSomeFramesAndQuits)
{
  if (!umbra::test::XvfbServer::Available())
    GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
  umbra::test::XvfbServer server;
  ASSERT_TRUE(server.Start()) << server.Error();
  std::string errors;
  EXPECT_EQ(RunTool(server.DisplayName(), "ui --example --frames 30", errors), 0) << errors;
  EXPECT_EQ(errors, "");
}

TEST(UICommand, WithoutADisplayFailsWithOneLine)
{
  std::string errors;
  EXPECT_EQ(RunTool(":161", "ui --example --frames 5", errors), 2);
  EXPECT_NE(errors.find("cannot open the X display ':161'"), std::string::npos) << errors;
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors.find('\n'), errors.size() - 1) << errors;
}

TEST(UICommand, RunsTheEditorWithAudioOnItsOwnThread)
{
  if (!umbra::test::XvfbServer::Available())
    GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
  // A short loud tone, looped by the audio thread while the window runs.
  umbra::sound::SoundData tone;
  tone.sampleRate = 48000;
  tone.channels.assign(1, std::vector<float>(4800));
  for (size_t s = 0; s < tone.channels[0].size(); ++s)
    tone.channels[0][s] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * 300.0 * static_cast<double>(s) / 48000.0));
  const fs::path audio = fs::temp_directory_path() / ("umbravox-ui-" + std::to_string(::getpid()) + ".wav");
  umbra::sound::WriteSoundFile(audio.string(), umbra::sound::Encoding::kWavFloat, tone);

  umbra::test::XvfbServer server;
  ASSERT_TRUE(server.Start()) << server.Error();
  std::string errors;
  EXPECT_EQ(RunTool(server.DisplayName(),
                    "ui --preset Poltergeist --set Mix=80 --audio '" + audio.string() + "' --frames 45", errors),
            0)
    << errors;
  EXPECT_EQ(errors, "");
  EXPECT_EQ(RunTool(server.DisplayName(), "ui --frames 10", errors), 0) << errors;
  EXPECT_EQ(RunTool(server.DisplayName(), "ui --show presets --frames 10", errors), 0) << errors;
  EXPECT_EQ(RunTool(server.DisplayName(), "ui --scale 2 --frames 10", errors), 0) << errors;
  fs::remove(audio);
}

TEST(UICommand, RefusesBadArguments)
{
  std::string errors;
  EXPECT_EQ(RunTool(":161", "ui --frames zero", errors), 2);
  EXPECT_EQ(RunTool(":161", "ui --preset 'No Such Preset' --frames 5", errors), 2);
  EXPECT_NE(errors.find("No Such Preset"), std::string::npos) << errors;
  EXPECT_EQ(RunTool(":161", "ui --audio /nonexistent.wav --frames 5", errors), 2);
  EXPECT_EQ(RunTool(":161", "ui --example --audio /nonexistent.wav", errors), 2);
  EXPECT_EQ(RunTool(":161", "ui --show everything --frames 5", errors), 2);
  EXPECT_EQ(RunTool(":161", "ui --scale 0.5 --frames 5", errors), 2);
}

} // namespace
