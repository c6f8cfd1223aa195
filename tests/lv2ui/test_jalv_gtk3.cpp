// The bundle as a user installs it, in jalv.gtk3 on a private Xvfb server and a JACK server of
// its own (the dummy driver): the editor shows embedded in jalv's window, and a click on it
// changes a parameter that jalv then saves in its state.
#include <gtest/gtest.h>

#include <cairo.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "HostTestHelpers.h"
#include "XvfbServer.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using namespace umbra::test;

namespace {


// A program running beside the test, stopped when the object goes.
class Background {
public:
  Background(const std::vector<std::string>& argv, const fs::path& log)
  {
    std::vector<char*> args;
    for (const std::string& arg : argv)
      args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    if (posix_spawnp(&mPid, args[0], &actions, nullptr, args.data(), environ) != 0)
      mPid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Background()
  {
    if (mPid <= 0)
      return;
    kill(mPid, SIGTERM);
    for (int i = 0; i < 50; ++i)
    {
      if (waitpid(mPid, nullptr, WNOHANG) == mPid)
        return;
      std::this_thread::sleep_for(100ms);
    }
    kill(mPid, SIGKILL);
    waitpid(mPid, nullptr, 0);
  }
  bool Running() const { return mPid > 0 && waitpid(mPid, nullptr, WNOHANG) == 0; }

private:
  pid_t mPid = -1;
};


// Waits for a visible window named exactly name; its id, or "".
std::string WaitForWindow(const std::string& name, std::chrono::seconds timeout)
{
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end)
  {
    std::string id = Output("xdotool search --onlyvisible --name '^" + name + "$' 2>/dev/null | head -n 1");
    while (!id.empty() && (id.back() == '\n' || id.back() == ' '))
      id.pop_back();
    if (!id.empty())
      return id;
    std::this_thread::sleep_for(200ms);
  }
  return "";
}

int Xdo(const std::string& args) { return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

struct Geometry {
  int x = 0, y = 0, w = 0, h = 0;
};

Geometry WindowGeometry(const std::string& id)
{
  Geometry g;
  const std::string shell = Output("xdotool getwindowgeometry --shell " + id);
  std::smatch m;
  auto read = [&](const char* key) {
    const std::regex pattern(std::string(key) + "=(-?[0-9]+)");
    return std::regex_search(shell, m, pattern) ? std::stoi(m[1]) : 0;
  };
  g.x = read("X");
  g.y = read("Y");
  g.w = read("WIDTH");
  g.h = read("HEIGHT");
  return g;
}

class JalvGtk3 : public ::testing::Test {
protected:
  void SetUp() override
  {
    for (const char* program : {"jalv.gtk3", "jackd", "xdotool", "import"})
      if (!OnPath(program))
        GTEST_SKIP() << program << " is not installed (scripts/setup installs it)";
    if (!umbra::test::XvfbServer::Available())
      GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
    ASSERT_TRUE(mServer.Start()) << mServer.Error();

    mDir = fs::temp_directory_path() / ("umbravox-jalv-" + std::to_string(::getpid()));
    fs::remove_all(mDir);
    fs::create_directories(mDir / "home");
    // The bundle installed as a packager installs it, under a prefix of the test's own.
    const fs::path lv2 = InstallBundle(mDir / "prefix");
    ASSERT_FALSE(lv2.empty());
    ASSERT_TRUE(fs::exists(lv2 / "umbravox.lv2" / "umbravox_ui.so"));

    setenv("DISPLAY", mServer.DisplayName().c_str(), 1);
    setenv("LV2_PATH", lv2.c_str(), 1);
    setenv("HOME", (mDir / "home").c_str(), 1);
    setenv("UMBRAVOX_NO_UPDATE_CHECK", "1", 1);
    const std::string jackName = "umbravox-test-" + std::to_string(::getpid());
    setenv("JACK_DEFAULT_SERVER", jackName.c_str(), 1);
    mJack = std::make_unique<Background>(
      std::vector<std::string>{"jackd", "--no-realtime", "-n", jackName, "-d", "dummy", "-r", "48000", "-p", "256"},
      mDir / "jackd.log");
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(mJack->Running()) << "jackd did not start";
  }

  void TearDown() override
  {
    mJalv.reset();
    mJack.reset();
    if (!mDir.empty() && !HasFailure())
      fs::remove_all(mDir);
  }

  umbra::test::XvfbServer mServer;
  fs::path mDir;
  std::unique_ptr<Background> mJack;
  std::unique_ptr<Background> mJalv;
};

TEST_F(JalvGtk3, ShowsTheEditorEmbeddedAndAClickChangesTheSavedParameter)
{
  mJalv = std::make_unique<Background>(
    std::vector<std::string>{"jalv.gtk3", "urn:marrowfield:umbravox"}, mDir / "jalv.log");
  const std::string window = WaitForWindow("Umbravox", 30s);
  ASSERT_FALSE(window.empty()) << "no jalv window; see " << (mDir / "jalv.log");
  std::this_thread::sleep_for(1500ms); // a few frames drawn

  // jalv's menu bar is above the editor, which starts this far down the window.
  const Geometry frame = WindowGeometry(window);
  const int top = frame.h - 800;
  ASSERT_GE(top, 0) << frame.h;

  // The editor drawn in jalv's window: the title's pale letters, the lit LED of octave "0".
  const fs::path shot = mDir / "jalv.png";
  ASSERT_EQ(std::system(("import -window " + window + " '" + shot.string() + "'").c_str()), 0);
  cairo_surface_t* image = cairo_image_surface_create_from_png(shot.c_str());
  ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
  const unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  auto pixel = [&](int x, int y) {
    const unsigned p = *reinterpret_cast<const unsigned*>(data + (y + top) * stride + 4 * x);
    return std::array<int, 3>{int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
  };
  int brightest = 0, tealest = 0;
  for (int y = 15; y < 50; ++y)
    for (int x = 520; x < 680; ++x)
      brightest = std::max(brightest, pixel(x, y)[0]);
  for (int y = 603; y < 612; ++y)
    for (int x = 596; x < 605; ++x)
    {
      const auto p = pixel(x, y);
      tealest = std::max(tealest, std::min(p[1], p[2]) - p[0]);
    }
  cairo_surface_destroy(image);
  EXPECT_GT(brightest, 160);
  EXPECT_GT(tealest, 50);

  // A click on octave "+2", then jalv's File > Save into a folder of ours.
  ASSERT_EQ(Xdo("mousemove --window " + window + " 740 " + std::to_string(top + 620) + " click 1"), 0);
  std::this_thread::sleep_for(500ms);
  ASSERT_EQ(Xdo("mousemove --window " + window + " 19 12 click 1"), 0);
  std::this_thread::sleep_for(700ms);
  ASSERT_EQ(Xdo("mousemove --window " + window + " 46 37 click 1"), 0);
  const std::string dialog = WaitForWindow("Save State", 15s);
  ASSERT_FALSE(dialog.empty()) << "jalv's save dialog did not open";
  std::this_thread::sleep_for(700ms);
  const Geometry g = WindowGeometry(dialog);
  // The name entry along the top, the Save button in the bottom right corner.
  ASSERT_EQ(Xdo("mousemove " + std::to_string(g.x + g.w / 2) + " " + std::to_string(g.y + 26) + " click 1"), 0);
  // A whole path: the chooser starts in jalv's working folder, which is not ours to write in.
  const fs::path saved = mDir / "home" / "saved";
  ASSERT_EQ(Xdo("type --delay 20 '" + saved.string() + "'"), 0);
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(Xdo("mousemove " + std::to_string(g.x + g.w - 43) + " " + std::to_string(g.y + g.h - 24) + " click 1"), 0);

  const fs::path state = saved / "state.ttl";
  for (int i = 0; i < 50 && !fs::exists(state); ++i)
    std::this_thread::sleep_for(200ms);
  if (!fs::exists(state))
    std::system(("import -window root '" + (mDir / "screen.png").string() + "'").c_str());
  ASSERT_TRUE(fs::exists(state)) << "jalv saved no state; the screen is in " << (mDir / "screen.png");
  std::this_thread::sleep_for(300ms);
  std::ifstream in(state);
  std::stringstream text;
  text << in.rdbuf();
  const std::regex octave("lv2:symbol \"octave\"\\s*;\\s*pset:value ([0-9.]+)");
  std::smatch m;
  const std::string content = text.str();
  ASSERT_TRUE(std::regex_search(content, m, octave)) << content;
  EXPECT_EQ(std::stod(m[1]), 4.0) << content;
}

} // namespace
