// "umbravox ui" seen from the desktop: its window names the process and machine that own it,
// carries its title in UTF-8 and shows the ghost as its icon, so that window managers,
// 'xdotool search --pid' and 'wmctrl -p' find it.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "XvfbServer.h"

extern char** environ;

namespace {

std::string Output(const std::string& command)
{
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r"))
  {
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
      text.append(buffer, n);
    pclose(pipe);
  }
  return text;
}

TEST(WindowProperties, TheEditorWindowIsFoundByItsProcessAndShowsTheGhost)
{
  if (!umbra::test::XvfbServer::Available())
    GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
  umbra::test::XvfbServer server;
  ASSERT_TRUE(server.Start()) << server.Error();
  setenv("DISPLAY", server.DisplayName().c_str(), 1);

  pid_t pid = -1;
  const char* argv[] = {UMBRAVOX_TOOL, "ui", "--frames", "100000", nullptr};
  ASSERT_EQ(posix_spawn(&pid, UMBRAVOX_TOOL, nullptr, nullptr, const_cast<char**>(argv), environ), 0);

  const std::string display = "DISPLAY='" + server.DisplayName() + "' ";
  std::string window = Output(display + "timeout 30 xdotool search --sync --pid " + std::to_string(pid));
  window = window.substr(0, window.find('\n'));
  ASSERT_FALSE(window.empty()) << "xdotool found no window of the process";
  const std::string props =
    Output(display + "xprop -id " + window + " _NET_WM_PID WM_CLIENT_MACHINE _NET_WM_NAME _NET_WM_ICON");
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);

  char host[HOST_NAME_MAX + 1] = {};
  gethostname(host, sizeof(host) - 1);
  EXPECT_NE(props.find("_NET_WM_PID(CARDINAL) = " + std::to_string(pid) + "\n"), std::string::npos) << props;
  EXPECT_NE(props.find("WM_CLIENT_MACHINE(STRING) = \"" + std::string(host) + "\""), std::string::npos) << props;
  EXPECT_NE(props.find("_NET_WM_NAME(UTF8_STRING) = \"Umbravox\""), std::string::npos) << props.substr(0, 400);
  // The 36 x 36 ghost (72 x 72 on a dense screen), which is not all transparent.
  EXPECT_NE(props.find("_NET_WM_ICON(CARDINAL) = \tIcon (36 x 36):"), std::string::npos) << props.substr(0, 400);
  // xprop draws the icon as text, one line per row: the ghost is not all blank.
  std::string rows = props.substr(props.find("Icon (36 x 36):") + 15);
  size_t end = 0;
  for (int row = 0; row <= 36 && end != std::string::npos; ++row)
    end = rows.find('\n', end + 1);
  rows = rows.substr(0, end);
  EXPECT_NE(rows.find_first_not_of(" \n\t"), std::string::npos) << rows;
}

} // namespace
