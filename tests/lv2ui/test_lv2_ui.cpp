// The LV2 editor (umbravox_ui.so) in a host of our own, in this process: with instance access it
// edits the running plug-in, without it a parameter-only model; in both the host's ports follow
// what the plug-in holds. The editor's window is clicked with xdotool on a private Xvfb server.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "LV2UITestHost.h"
#include "UmbravoxLV2Ports.h"
#include "XvfbServer.h"

using namespace umbra;
using namespace std::chrono_literals;

namespace {

// Editor positions (logical pixels): the octave tabs span 425..775 in five, the preset icon sits
// at the header's right, the browser's rows start at 233 and are 32 apart.
constexpr int kOctavePlus2X = 740, kOctaveY = 620;
constexpr int kPresetIconX = 1170, kPresetIconY = 27;
constexpr int kPresetRowX = 470, kFirstPresetRowY = 233, kPresetRowStep = 32;
constexpr int kPoltergeist = 7;

class LV2Editor : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!test::XvfbServer::Available())
      GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
    ASSERT_TRUE(mServer.Start()) << mServer.Error();
    setenv("DISPLAY", mServer.DisplayName().c_str(), 1);
    mHost = std::make_unique<test::LV2UITestHost>(UMBRAVOX_LV2_BUNDLE);
    ASSERT_TRUE(mHost->Loaded()) << mHost->Error();
  }
  void TearDown() override
  {
    mHost.reset();
    if (mDesktop)
      XCloseDisplay(mDesktop);
  }

  // A click in the editor's window, while the editor keeps idling.
  void ClickAt(int x, int y)
  {
    const std::string id = std::to_string(mHost->EditorWindow());
    ASSERT_EQ(test::RunProgram({"xdotool", "mousemove", "--window", id, std::to_string(x),
                                std::to_string(y), "click", "1"},
                               10s, [&] { mHost->Idle(0); }),
              0);
    mHost->Idle(150);
  }

  // The host sends every parameter port's value, as hosts do when an editor opens.
  void SendPortValues(const std::vector<float>& values)
  {
    for (uint32_t p = 0; p < values.size(); ++p)
      mHost->PortEvent(p, values[p]);
  }

  // What a desktop announcing a dense display puts in the root window's resources. The
  // connection stays open: a server left without clients resets and forgets them.
  void SetServerResources(const std::string& resources)
  {
    if (!mDesktop)
      mDesktop = XOpenDisplay(mServer.DisplayName().c_str());
    ASSERT_NE(mDesktop, nullptr);
    XChangeProperty(mDesktop, DefaultRootWindow(mDesktop), XA_RESOURCE_MANAGER, XA_STRING, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(resources.data()),
                    static_cast<int>(resources.size()));
    XSync(mDesktop, False);
  }

  // The editor window as the X server has it.
  XWindowAttributes EditorWindowAttributes()
  {
    Display* display = XOpenDisplay(mServer.DisplayName().c_str());
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, static_cast<Window>(mHost->EditorWindow()), &attributes);
    XCloseDisplay(display);
    return attributes;
  }
  std::pair<int, int> EditorWindowSize()
  {
    const XWindowAttributes attributes = EditorWindowAttributes();
    return {attributes.width, attributes.height};
  }

  test::XvfbServer mServer;
  std::unique_ptr<test::LV2UITestHost> mHost;
  Display* mDesktop = nullptr;
};

const std::vector<float> kInit = {50, 50, 75, 50, 2, 0, 0, 80, 64, 0, 0, 50, 100};

TEST_F(LV2Editor, AModelWithoutInstanceAccessWritesTheHostsPorts)
{
  ASSERT_TRUE(mHost->OpenEditor(false));
  ASSERT_NE(mHost->EditorWindow(), 0u);
  ASSERT_FALSE(mHost->resizes.empty());
  EXPECT_EQ(mHost->resizes.back(), std::make_pair(1200, 800));

  // The session's values reach the model; none is echoed back.
  std::vector<float> session = kInit;
  session[umbra::lv2::kPortFirstParam + 2] = 30.f; // haunt
  SendPortValues(session);
  mHost->PortEvent(umbra::lv2::kPortOutputLevel, -12.f);
  mHost->Idle(100);
  EXPECT_TRUE(mHost->writes.empty());

  // A click on a tab: one port write with a touch around it.
  ClickAt(kOctavePlus2X, kOctaveY);
  ASSERT_EQ(mHost->writes.size(), 1u);
  EXPECT_EQ(mHost->writes[0].port, 4u);
  EXPECT_EQ(mHost->writes[0].value, 4.f);
  ASSERT_EQ(mHost->touches.size(), 2u);
  EXPECT_TRUE(mHost->touches[0].grabbed && mHost->touches[0].port == 4u);
  EXPECT_FALSE(mHost->touches[1].grabbed);

  // A preset recalled in the browser: every parameter port is written.
  mHost->writes.clear();
  ClickAt(kPresetIconX, kPresetIconY);
  ClickAt(kPresetRowX, kFirstPresetRowY + kPoltergeist * kPresetRowStep);
  std::vector<bool> written(umbra::lv2::kPortNumParams, false);
  for (const auto& w : mHost->writes)
    if (w.port < umbra::lv2::kPortNumParams)
      written[w.port] = true;
  for (uint32_t p = 0; p < umbra::lv2::kPortNumParams; ++p)
    EXPECT_TRUE(written[p]) << "port " << p << " not written after the recall";
  EXPECT_EQ(mHost->LastWrite(umbra::lv2::kPortFirstParam + 10), 1.f); // Poltergeist whispers "Ghosts"

  mHost->CloseEditor();
}

TEST_F(LV2Editor, WithInstanceAccessItEditsTheRunningPlugin)
{
  ASSERT_TRUE(mHost->StartPlugin());
  mHost->Run(512);
  ASSERT_TRUE(mHost->OpenEditor(true));
  SendPortValues(kInit);
  mHost->Idle(100);
  EXPECT_TRUE(mHost->writes.empty());

  // The editor changes the running plug-in and writes the port; the host applies it.
  ClickAt(kOctavePlus2X, kOctaveY);
  ASSERT_EQ(mHost->LastWrite(4), 4.f);
  *mHost->ParamPort(4) = 4.f;
  mHost->PortEvent(4, 4.f);
  mHost->Run(256);

  // Automation moves a port: the plug-in takes it in run(), and the editor does not write the
  // old value back even when it idles before the run.
  mHost->writes.clear();
  *mHost->ParamPort(2) = 20.f;
  mHost->PortEvent(2, 20.f);
  mHost->Idle(60);
  mHost->Run(256);
  mHost->Idle(60);
  EXPECT_TRUE(std::isnan(mHost->LastWrite(2))) << mHost->LastWrite(2);

  // The meters show the running plug-in's audio.
  for (int block = 0; block < 20; ++block)
  {
    mHost->Run(480);
    mHost->Idle(10);
  }
  mHost->CloseEditor();

  // The editor can be opened again on the same instance, after the first one's cleanup.
  ASSERT_TRUE(mHost->OpenEditor(true));
  mHost->Idle(50);
  mHost->CloseEditor();
  mHost->Run(256);
}

TEST_F(LV2Editor, OpensAtTheHostsScaleAndAtTheDisplaysWithoutOne)
{
  // The display announces scale 2, the host offers 1: the host wins.
  SetServerResources("Xft.dpi:\t192\n");
  ASSERT_TRUE(mHost->OpenEditor(false, 1.f));
  mHost->Idle(50);
  EXPECT_EQ(mHost->resizes.back(), std::make_pair(1200, 800));
  EXPECT_EQ(EditorWindowSize(), std::make_pair(1200, 800));
  mHost->CloseEditor();

  // Without the host's scale, the display's.
  ASSERT_TRUE(mHost->OpenEditor(false));
  mHost->Idle(50);
  EXPECT_EQ(mHost->resizes.back(), std::make_pair(2400, 1600));
  EXPECT_EQ(EditorWindowSize(), std::make_pair(2400, 1600));
  mHost->CloseEditor();

  // A plain display and a host offering 2.
  SetServerResources("");
  ASSERT_TRUE(mHost->StartPlugin());
  ASSERT_TRUE(mHost->OpenEditor(true, 2.f));
  mHost->Idle(50);
  EXPECT_EQ(mHost->resizes.back(), std::make_pair(2400, 1600));
  EXPECT_EQ(EditorWindowSize(), std::make_pair(2400, 1600));
  mHost->CloseEditor();
}

TEST_F(LV2Editor, TheHostHidesAndShowsTheEditor)
{
  ASSERT_TRUE(mHost->OpenEditor(false));
  mHost->Idle(50);
  EXPECT_EQ(EditorWindowAttributes().map_state, IsViewable);
  ASSERT_EQ(mHost->Show(false), 0);
  EXPECT_EQ(mHost->Idle(50), 0);
  EXPECT_EQ(EditorWindowAttributes().map_state, IsUnmapped);
  ASSERT_EQ(mHost->Show(true), 0);
  mHost->Idle(50);
  EXPECT_EQ(EditorWindowAttributes().map_state, IsViewable);
  mHost->CloseEditor();
}

TEST_F(LV2Editor, ABundleWithoutItsResourcesOpensNoEditor)
{
  // A copy of the bundle with its fonts and pictures gone, and nothing else to find them in.
  namespace fs = std::filesystem;
  const fs::path bundle = fs::temp_directory_path() /
                          ("umbravox-bare-" + std::to_string(::getpid())) / "umbravox.lv2";
  fs::create_directories(bundle);
  for (const auto& entry : fs::directory_iterator(UMBRAVOX_LV2_BUNDLE))
    if (entry.is_regular_file())
      fs::copy_file(entry.path(), bundle / entry.path().filename());
  const char* resources = std::getenv("UMBRAVOX_RESOURCES");
  const std::string saved = resources ? resources : "";
  unsetenv("UMBRAVOX_RESOURCES");

  test::LV2UITestHost bare(bundle.string());
  ASSERT_TRUE(bare.Loaded()) << bare.Error();
  // Failed instantiation: the host shows its own controls instead of a blank window.
  EXPECT_FALSE(bare.OpenEditor(false));

  if (resources)
    setenv("UMBRAVOX_RESOURCES", saved.c_str(), 1);
  fs::remove_all(bundle.parent_path());
}

} // namespace
