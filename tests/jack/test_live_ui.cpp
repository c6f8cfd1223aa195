// umbravox-live with its editor, on a private Xvfb server and a jackd of the test's own: the
// window opens with the client's name as its title, a click on an octave tab is what the state
// saved at exit holds, and closing the window ends the program.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <utility>
#include <vector>
#include <regex>
#include <string>
#include <thread>

#include <X11/Xlib.h>

#include "JackTestServer.h"
#include "TestSessionManager.h"
#include "XvfbServer.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace umbra::test;

namespace {

// What a shell command prints on its standard output.
std::string Output(const std::string& command)
{
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r"))
  {
    char buffer[512];
    while (fgets(buffer, sizeof(buffer), pipe))
      text += buffer;
    pclose(pipe);
  }
  return text;
}

std::string Trimmed(std::string text)
{
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  return text;
}

int ReadGeometry(const std::string& shell, const char* key)
{
  std::smatch m;
  return std::regex_search(shell, m, std::regex(std::string(key) + "=(-?[0-9]+)")) ? std::stoi(m[1]) : 0;
}

// What the window manager sends when the user closes a window.
void SendCloseRequest(const std::string& displayName, const std::string& id)
{
  Display* display = XOpenDisplay(displayName.c_str());
  ASSERT_NE(display, nullptr);
  const Window window = static_cast<Window>(std::stoul(id));
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XCloseDisplay(display);
}

// Each test has an X server, a JACK server and a folder of its own, and starts umbravox-live in
// them.
class LiveWindow : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!XvfbServer::Available() || !JackTestServer::Available() || std::system("command -v xdotool >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "Xvfb, jackd and xdotool are needed (scripts/setup installs them)";
    ASSERT_TRUE(mJack.Start(1024)) << mJack.Error();
    mDir = fs::temp_directory_path() /
           ("umbravox-live-ui-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
            std::to_string(getpid()));
    fs::remove_all(mDir);
    fs::create_directories(mDir);
  }

  void TearDown() override
  {
    if (!mDir.empty())
      fs::remove_all(mDir);
  }

  // The X server with one screen of the given size, the display of every program started here.
  bool StartDisplay(const std::string& screen = "1280x1024x24")
  {
    if (!mDisplay.Start(screen))
      return false;
    setenv("DISPLAY", mDisplay.DisplayName().c_str(), 1);
    return true;
  }

  // umbravox-live with these arguments, on this test's JACK server, keeping its settings in this
  // test's folder; its standard error in errFile there.
  std::unique_ptr<ChildProgram> StartLive(const std::vector<std::string>& args, const std::string& errFile = "live.err",
                                          std::map<std::string, std::string> env = {})
  {
    std::vector<std::string> argv = {UMBRAVOX_LIVE};
    argv.insert(argv.end(), args.begin(), args.end());
    env["JACK_DEFAULT_SERVER"] = mJack.Name();
    env["XDG_CONFIG_HOME"] = (mDir / "config").string();
    return std::make_unique<ChildProgram>(argv, env, (mDir / errFile).string());
  }

  // The window titled "Umbra Vox" once it is shown.
  static bool FindWindow(std::string& id)
  {
    return WaitFor(
      [&] {
        id = Trimmed(Output("xdotool search --onlyvisible --name '^Umbra Vox$' 2>/dev/null | head -n 1"));
        return !id.empty();
      },
      20s);
  }

  std::string State() const { return ReadTextFile((mDir / "config" / "umbravox" / "live.state").string()); }

  XvfbServer mDisplay;
  JackTestServer mJack;
  fs::path mDir;
};

TEST_F(LiveWindow, OpensWithItsTitleAndAClickOnAnOctaveTabIsSavedWhenItCloses)
{
  ASSERT_TRUE(StartDisplay()) << mDisplay.Error();
  auto live = StartLive({"--fresh"});
  std::string id;
  ASSERT_TRUE(FindWindow(id)) << live->Stderr();
  EXPECT_EQ(Trimmed(Output("xdotool getwindowname " + id)), "Umbra Vox");
  // What the desktop entry's StartupWMClass names, so docks group the window with its launcher.
  EXPECT_EQ(Trimmed(Output("xprop -id " + id + " WM_CLASS")),
            "WM_CLASS(STRING) = \"umbravox-live\", \"umbravox-live\"");

  // The first of the five octave tabs (-2 octaves; "Init" has 0), wherever the window's size puts
  // it: the editor is 1200 x 800 and the tabs span x 425 to 775 at y 598 to 633.
  const std::string geometry = Output("xdotool getwindowgeometry --shell " + id);
  const int width = ReadGeometry(geometry, "WIDTH"), height = ReadGeometry(geometry, "HEIGHT");
  ASSERT_GT(width, 0);
  std::this_thread::sleep_for(1s); // the first frames
  const std::string click = "xdotool mousemove --window " + id + " " + std::to_string(455 * width / 1200) + " " +
                            std::to_string(615 * height / 800) + " click 1 >/dev/null 2>&1";
  ASSERT_EQ(std::system(click.c_str()), 0);
  std::this_thread::sleep_for(500ms);

  SendCloseRequest(mDisplay.DisplayName(), id);
  EXPECT_EQ(live->Wait(15s), 0) << live->Stderr();
  const std::string state = State();
  EXPECT_NE(state.find("\nOctave=0\n"), std::string::npos) << state;
}

// xdotool's windowkill closes the X connection of the client that owns the window, as a crashed
// or restarted X server does: the settings are saved all the same.
TEST_F(LiveWindow, SavesTheSettingsWhenItsXConnectionIsLost)
{
  ASSERT_TRUE(StartDisplay()) << mDisplay.Error();
  auto live = StartLive({"--fresh", "--set", "Mix=35"});
  std::string id;
  ASSERT_TRUE(FindWindow(id)) << live->Stderr();
  ASSERT_EQ(std::system(("xdotool windowkill " + id + " >/dev/null 2>&1").c_str()), 0);
  EXPECT_EQ(live->Wait(15s), 1) << live->Stderr();
  EXPECT_NE(live->Stderr().find("the connection to the X display was lost"), std::string::npos) << live->Stderr();
  const std::string state = State();
  EXPECT_NE(state.find("\nMix=35\n"), std::string::npos) << state;
  EXPECT_TRUE(mJack.WaitUntilClientGone("Umbra Vox", 5s));
}

// The server goes while the window is open: the window stays and its title says so, until the
// server is back.
TEST_F(LiveWindow, StaysWhenTheServerGoesAndSaysSoInItsTitle)
{
  ASSERT_TRUE(StartDisplay()) << mDisplay.Error();
  auto live = StartLive({"--fresh"});
  std::string id;
  ASSERT_TRUE(FindWindow(id)) << live->Stderr();
  auto title = [&] { return Trimmed(Output("xdotool getwindowname " + id)); };

  mJack.Stop();
  EXPECT_TRUE(WaitFor([&] { return title() == "Umbra Vox (JACK server gone, waiting for it)"; }, 15s)) << title();
  ASSERT_TRUE(mJack.Restart()) << mJack.Error();
  EXPECT_TRUE(WaitFor([&] { return title() == "Umbra Vox"; }, 15s)) << title();

  SendCloseRequest(mDisplay.DisplayName(), id);
  EXPECT_EQ(live->Wait(15s), 0) << live->Stderr();
}

// On a laptop's 1366 x 768 screen the window opens small enough to show the whole editor, with
// size hints that keep its aspect; resized to 800 x 533 it zooms the editor (a click lands on
// the zoomed octave tab); the size is remembered and the next start opens at it.
TEST_F(LiveWindow, ZoomsTheEditorToItsSizeAndOpensAtTheSizeItWasLeft)
{
  ASSERT_TRUE(StartDisplay("1366x768x24")) << mDisplay.Error();
  auto size = [&](const std::string& id) {
    const std::string geometry = Output("xdotool getwindowgeometry --shell " + id);
    return std::pair{ReadGeometry(geometry, "WIDTH"), ReadGeometry(geometry, "HEIGHT")};
  };

  auto live = StartLive({"--fresh"}, "first.err");
  std::string id;
  ASSERT_TRUE(FindWindow(id)) << live->Stderr();
  const auto [width, height] = size(id);
  EXPECT_LE(height, 768 - 40) << width << " x " << height;
  EXPECT_NEAR(static_cast<double>(width) / height, 1.5, 0.01);
  const std::string hints = Output("xprop -id " + id + " WM_NORMAL_HINTS");
  EXPECT_NE(hints.find("minimum aspect ratio: 1200/800"), std::string::npos) << hints;
  EXPECT_NE(hints.find("maximum aspect ratio: 1200/800"), std::string::npos) << hints;

  ASSERT_EQ(std::system(("xdotool windowsize " + id + " 800 533").c_str()), 0);
  ASSERT_TRUE(WaitFor([&] { return size(id) == std::pair{800, 533}; }, 10s));
  std::this_thread::sleep_for(1s); // frames at the new zoom
  // The first octave tab (-2; "Init" has 0) at x 425 to 775, y 598 to 633 of the 1200 x 800 editor.
  const std::string click = "xdotool mousemove --window " + id + " " + std::to_string(455 * 800 / 1200) + " " +
                            std::to_string(615 * 800 / 1200) + " click 1 >/dev/null 2>&1";
  ASSERT_EQ(std::system(click.c_str()), 0);
  std::this_thread::sleep_for(500ms);
  SendCloseRequest(mDisplay.DisplayName(), id);
  ASSERT_EQ(live->Wait(15s), 0) << live->Stderr();
  const std::string state = State();
  EXPECT_NE(state.find("\nOctave=0\n"), std::string::npos) << state;
  EXPECT_NE(state.find("\nwindow=800x533\n"), std::string::npos) << state;

  // Gone from the server first, or JACK would name the second one "Umbra Vox-01".
  EXPECT_TRUE(mJack.WaitUntilClientGone("Umbra Vox", 10s));
  live = StartLive({}, "second.err");
  ASSERT_TRUE(FindWindow(id)) << live->Stderr();
  EXPECT_EQ(size(id), (std::pair{800, 533}));
  SendCloseRequest(mDisplay.DisplayName(), id);
  EXPECT_EQ(live->Wait(15s), 0) << live->Stderr();
}

// In a session the window is an optional one: hidden and shown when the session manager asks,
// each time told back; closing it only hides it.
TEST_F(LiveWindow, HidesAndShowsOnTheSessionManagersRequest)
{
  ASSERT_TRUE(StartDisplay()) << mDisplay.Error();
  TestSessionManager manager;
  auto live = StartLive({}, "live.err", {{"NSM_URL", manager.Url()}});
  std::string name, capabilities;
  ASSERT_TRUE(manager.WaitForAnnouncement(name, capabilities)) << live->Stderr();
  EXPECT_EQ(capabilities, ":optional-gui:");
  manager.Send("/nsm/client/open", {(mDir / "Umbra Vox.nWXYZ").string(), "Umbra Vox", "nWXYZ"});
  ASSERT_TRUE(manager.WaitForReply("/nsm/client/open")) << live->Stderr();
  ASSERT_TRUE(manager.WaitForMessage("/nsm/client/gui_is_shown")) << live->Stderr();
  auto visible = [] { return !Trimmed(Output("xdotool search --onlyvisible --name '^nWXYZ$' 2>/dev/null")).empty(); };
  ASSERT_TRUE(WaitFor(visible, 20s));
  const std::string id = Trimmed(Output("xdotool search --name '^nWXYZ$' 2>/dev/null | head -n 1"));

  manager.Forget();
  manager.Send("/nsm/client/hide_optional_gui");
  ASSERT_TRUE(manager.WaitForMessage("/nsm/client/gui_is_hidden"));
  EXPECT_TRUE(WaitFor([&] { return !visible(); }, 10s));
  manager.Send("/nsm/client/show_optional_gui");
  ASSERT_TRUE(manager.WaitForMessage("/nsm/client/gui_is_shown"));
  EXPECT_TRUE(WaitFor(visible, 10s));

  manager.Forget();
  SendCloseRequest(mDisplay.DisplayName(), id);
  ASSERT_TRUE(manager.WaitForMessage("/nsm/client/gui_is_hidden"));
  EXPECT_TRUE(WaitFor([&] { return !visible(); }, 10s));
  live->Signal(SIGTERM);
  EXPECT_EQ(live->Wait(15s), 0) << live->Stderr();
  EXPECT_TRUE(fs::exists(mDir / "Umbra Vox.nWXYZ.state"));
}

} // namespace
