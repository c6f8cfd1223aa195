// "umbravox ui": the example editor in a window of its own process.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

TEST(UICommand, NeedsTheExample)
{
  std::string errors;
  EXPECT_EQ(RunTool(":161", "ui", errors), 2);
  EXPECT_EQ(RunTool(":161", "ui --example --frames zero", errors), 2);
}

} // namespace
