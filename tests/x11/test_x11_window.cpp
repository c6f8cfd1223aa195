// The example editor in a real X11 window on a private Xvfb server, in this process, with the
// mouse moved and clicked by xdotool from outside as a user would.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ExampleEditor.h"
#include "ICanvasFactory.h"
#include "Platforms/ICanvasX11.h"
#include "Umbravox.h"
#include "UmbravoxParams.h"
#include "XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace umbra;
using namespace std::chrono_literals;

namespace {

// The example's Haunt slider: bounds (80, 160, 200, 620), the handle travelling from y 610
// (value 0) up to y 170 (value 1) at x 140.
constexpr int kSliderL = 80, kSliderT = 160, kSliderR = 200, kSliderB = 620;
constexpr int kSliderX = 140;
double SliderValueAt(int y) { return 1.0 - (y - 170.0) / 440.0; }

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

// The window's pixels within the slider, read back from the server: what is on screen.
std::vector<unsigned long> ReadSliderArea(const std::string& displayName, std::uintptr_t window)
{
  std::vector<unsigned long> pixels;
  Display* display = XOpenDisplay(displayName.c_str());
  if (!display)
    return pixels;
  auto* previous = XSetErrorHandler(IgnoreXErrors);
  if (XImage* image = XGetImage(display, static_cast<Window>(window), kSliderL, kSliderT,
                                kSliderR - kSliderL, kSliderB - kSliderT, AllPlanes, ZPixmap)) {
    for (int y = 0; y < image->height; ++y)
      for (int x = 0; x < image->width; ++x)
        pixels.push_back(XGetPixel(image, x, y));
    XDestroyImage(image);
  }
  XSync(display, False);
  XSetErrorHandler(previous);
  XCloseDisplay(display);
  return pixels;
}

// What the window manager sends when the user closes a window.
void SendCloseRequest(const std::string& displayName, std::uintptr_t window)
{
  Display* display = XOpenDisplay(displayName.c_str());
  ASSERT_NE(display, nullptr);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = static_cast<Window>(window);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, static_cast<Window>(window), False, NoEventMask, &event);
  XCloseDisplay(display);
}

// A plug-in with the example editor open in an X11 window, made through MakeGraphics as a host
// would get it.
class ExampleInWindow {
public:
  explicit ExampleInWindow(bool allowShm) : mPlug(MakePlug())
  {
    ui::SetDefaultPlatform(ui::EPlatform::kX11);
    mPlug->HostSetSampleRate(48000.0);
    mPlug->HostSetBlockSize(960);
    mPlug->HostInitialize();
    mPlug->SetMakeGraphicsFunc([this, allowShm]() -> std::unique_ptr<IEditorContext> {
      auto made = ui::MakeGraphics(*mPlug, example::kWidth, example::kHeight, 60, 1.f);
      mWindow = dynamic_cast<ui::ICanvasX11*>(made.get());
      if (mWindow)
        mWindow->SetAllowSharedMemory(allowShm);
      return made;
    });
    mPlug->SetLayoutFunc([](IEditorContext* context) {
      example::LayoutExampleEditor(*static_cast<ui::ICanvas*>(context));
    });
    mView = mPlug->OpenWindow(nullptr);
  }
  ~ExampleInWindow()
  {
    mPlug->CloseWindow();
    ui::SetDefaultPlatform(ui::EPlatform::kHeadless);
  }

  bool Opened() const { return mView != nullptr && mWindow != nullptr; }
  ui::ICanvasX11& Window() { return *mWindow; }
  Umbravox& Plug() { return *mPlug; }
  std::string Error() const { return mWindow ? mWindow->GetLastError() : "no X11 canvas was made"; }

  void Pump() { mWindow->Pump(); }
  // Pumps until done() holds or the time is up; returns done().
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      mWindow->Pump();
      mWindow->WaitForEvents(10ms);
    }
    return done();
  }
  void PumpFor(std::chrono::milliseconds time) { PumpUntil([] { return false; }, time); }
  double Haunt() { return mPlug->GetParam(kHaunt)->CurrentNormalized(); }

private:
  std::unique_ptr<Umbravox> mPlug;
  ui::ICanvasX11* mWindow = nullptr;
  void* mView = nullptr;
};

class X11Window : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override
  {
    if (!test::XvfbServer::Available())
      GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
    ASSERT_TRUE(mServer.Start()) << mServer.Error();
    setenv("DISPLAY", mServer.DisplayName().c_str(), 1);
  }

  // xdotool acting on the window while it keeps being pumped.
  int XDoTool(ExampleInWindow& editor, const std::vector<std::string>& actions)
  {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), actions.begin(), actions.end());
    return test::RunProgram(argv, 10s, [&] { editor.Pump(); });
  }

  test::XvfbServer mServer;
};

TEST_P(X11Window, ClickAndDragOnSliderChangeTheParameterAndTheWindow)
{
  ExampleInWindow editor(GetParam());
  ASSERT_TRUE(editor.Opened()) << editor.Error();
  ui::ICanvasX11& window = editor.Window();
  // Xvfb is local, so it takes shared memory whenever it is allowed.
  EXPECT_EQ(window.UsesSharedMemory(), GetParam());
  ASSERT_TRUE(editor.PumpUntil([&] { return window.IsMapped() && window.FramesPresented() > 0; }, 5s));
  editor.PumpFor(100ms);
  const std::string id = std::to_string(window.GetWindowID());

  const double before = editor.Haunt();
  const std::vector<unsigned long> shownBefore = ReadSliderArea(mServer.DisplayName(), window.GetWindowID());
  ASSERT_FALSE(shownBefore.empty());

  constexpr int kClickY = 250;
  ASSERT_EQ(XDoTool(editor, {"mousemove", "--window", id, std::to_string(kSliderX), std::to_string(kClickY),
                             "click", "1"}), 0);
  EXPECT_TRUE(editor.PumpUntil([&] { return std::abs(editor.Haunt() - before) > 0.01; }, 5s))
    << "the click did not reach the slider";
  EXPECT_NEAR(editor.Haunt(), SliderValueAt(kClickY), 0.01);

  // The handle moved on screen, not only in the picture.
  EXPECT_TRUE(editor.PumpUntil([&] {
    return ReadSliderArea(mServer.DisplayName(), window.GetWindowID()) != shownBefore;
  }, 3s)) << "the window was not repainted";

  // A drag ending outside the slider keeps moving it (down to the bottom), wherever it goes.
  constexpr int kDragY = 450;
  ASSERT_EQ(XDoTool(editor, {"mousemove", "--window", id, std::to_string(kSliderX), "300",
                             "mousedown", "1",
                             "mousemove", "--window", id, std::to_string(kSliderX), std::to_string(kDragY),
                             "mousemove", "--window", id, "400", std::to_string(kDragY),
                             "mouseup", "1"}), 0);
  EXPECT_TRUE(editor.PumpUntil([&] { return std::abs(editor.Haunt() - SliderValueAt(kDragY)) < 0.01; }, 5s))
    << "Haunt is " << editor.Haunt() << " after the drag";
}

TEST_P(X11Window, WheelNudgesTheSliderUnderThePointer)
{
  ExampleInWindow editor(GetParam());
  ASSERT_TRUE(editor.Opened()) << editor.Error();
  ASSERT_TRUE(editor.PumpUntil([&] { return editor.Window().IsMapped(); }, 5s));
  const std::string id = std::to_string(editor.Window().GetWindowID());
  const double before = editor.Haunt();

  // Button 4 is one step up, button 5 one step down: 0.01 of the range each.
  ASSERT_EQ(XDoTool(editor, {"mousemove", "--window", id, std::to_string(kSliderX), "400",
                             "click", "--repeat", "3", "--delay", "1", "4"}), 0);
  EXPECT_TRUE(editor.PumpUntil([&] { return std::abs(editor.Haunt() - (before + 0.03)) < 0.001; }, 5s))
    << "Haunt is " << editor.Haunt();
  ASSERT_EQ(XDoTool(editor, {"click", "5"}), 0);
  EXPECT_TRUE(editor.PumpUntil([&] { return std::abs(editor.Haunt() - (before + 0.02)) < 0.001; }, 5s))
    << "Haunt is " << editor.Haunt();
}

TEST_P(X11Window, DraggingTheCornerZoomsTheEditorAndTheWindow)
{
  ExampleInWindow editor(GetParam());
  ASSERT_TRUE(editor.Opened()) << editor.Error();
  ui::ICanvasX11& window = editor.Window();
  ASSERT_TRUE(editor.PumpUntil([&] { return window.IsMapped(); }, 5s));
  const std::string id = std::to_string(window.GetWindowID());

  // From inside the corner handle at (1190, 790) three quarters of the way back to the origin.
  ASSERT_EQ(XDoTool(editor, {"mousemove", "--window", id, "1190", "790", "mousedown", "1",
                             "mousemove", "--window", id, "1000", "700",
                             "mousemove", "--window", id, "893", "593", "mouseup", "1"}), 0);
  EXPECT_TRUE(editor.PumpUntil([&] { return window.GetDrawScale() < 0.8f; }, 5s))
    << "draw scale " << window.GetDrawScale();
  EXPECT_NEAR(window.GetDrawScale(), 0.75f, 0.01f);
  EXPECT_EQ(window.Width(), example::kWidth);
  EXPECT_EQ(window.DeviceWidth(), static_cast<int>(std::ceil(example::kWidth * window.GetDrawScale())));

  // The window itself follows, as the server sees it.
  unsigned width = 0, height = 0;
  EXPECT_TRUE(editor.PumpUntil([&] {
    Display* display = XOpenDisplay(mServer.DisplayName().c_str());
    if (!display)
      return false;
    Window root;
    int x, y;
    unsigned border, depth;
    XGetGeometry(display, static_cast<Window>(window.GetWindowID()), &root, &x, &y, &width, &height,
                 &border, &depth);
    XCloseDisplay(display);
    return static_cast<int>(width) == window.DeviceWidth() && static_cast<int>(height) == window.DeviceHeight();
  }, 5s)) << width << " x " << height;

  // Frames drawn at the new size reach the window: the server shows what the canvas drew, also
  // where the old, larger image ended and the new one begins. The meter keeps animating and
  // this test reads the window on a connection of its own, which the server may serve before
  // the editor's last upload, so it looks again after each pump until the two agree.
  Display* display = XOpenDisplay(mServer.DisplayName().c_str());
  ASSERT_NE(display, nullptr);
  int differing = -1;
  EXPECT_TRUE(editor.PumpUntil([&] {
    XImage* shown = XGetImage(display, static_cast<Window>(window.GetWindowID()), 0, 0,
                              static_cast<unsigned>(window.DeviceWidth()),
                              static_cast<unsigned>(window.DeviceHeight()), AllPlanes, ZPixmap);
    if (!shown)
      return false;
    differing = 0;
    for (int y = 0; y < window.DeviceHeight(); y += 7) {
      for (int x = 0; x < window.DeviceWidth(); x += 7) {
        const ui::IColor drawn = window.GetPixel(x, y);
        const unsigned long pixel = XGetPixel(shown, x, y);
        if (static_cast<int>((pixel >> 16) & 0xFF) != drawn.R ||
            static_cast<int>((pixel >> 8) & 0xFF) != drawn.G || static_cast<int>(pixel & 0xFF) != drawn.B)
          ++differing;
      }
    }
    XDestroyImage(shown);
    return differing == 0;
  }, 5s)) << differing << " sampled pixels differ";
  XCloseDisplay(display);
}

// Resized from outside (by the user, through the window manager), the editor takes the new
// room at its zoom; the sizes it asked for itself while zooming are not taken for that.
TEST_P(X11Window, ResizedFromOutsideTheEditorTakesTheRoom)
{
  ExampleInWindow editor(GetParam());
  ASSERT_TRUE(editor.Opened()) << editor.Error();
  ui::ICanvasX11& window = editor.Window();
  ASSERT_TRUE(editor.PumpUntil([&] { return window.IsMapped(); }, 5s));
  const std::string id = std::to_string(window.GetWindowID());
  ASSERT_EQ(XDoTool(editor, {"windowsize", id, "700", "500"}), 0);
  EXPECT_TRUE(editor.PumpUntil([&] { return window.Width() == 700 && window.Height() == 500; }, 5s))
    << window.Width() << " x " << window.Height();
  EXPECT_EQ(window.DeviceWidth(), 700);
  EXPECT_EQ(window.GetDrawScale(), 1.f);
}

TEST_P(X11Window, CloseRequestFromTheWindowManagerIsReported)
{
  ExampleInWindow editor(GetParam());
  ASSERT_TRUE(editor.Opened()) << editor.Error();
  ASSERT_TRUE(editor.PumpUntil([&] { return editor.Window().IsMapped(); }, 5s));
  EXPECT_FALSE(editor.Window().IsClosed());
  SendCloseRequest(mServer.DisplayName(), editor.Window().GetWindowID());
  EXPECT_TRUE(editor.PumpUntil([&] { return editor.Window().IsClosed(); }, 5s));
}

TEST_P(X11Window, FramesRunAtTheEditorsRate)
{
  ExampleInWindow editor(GetParam());
  ASSERT_TRUE(editor.Opened()) << editor.Error();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(editor.PumpUntil([&] { return editor.Window().FramesRun() >= 30; }, 8s));
  // 30 frames at 60 per second take half a second; never less, and not wildly more.
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 450ms);
  EXPECT_LT(took, 4s);
}

INSTANTIATE_TEST_SUITE_P(Presentation, X11Window, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "SharedMemory" : "PlainImage";
                         });

TEST(X11WindowWithoutDisplay, OpeningFailsWithAReason)
{
  const char* saved = std::getenv("DISPLAY");
  const std::string restore = saved ? saved : "";
  setenv("DISPLAY", ":161", 1); // no server there: test servers stop at :160
  {
    ExampleInWindow editor(true);
    EXPECT_FALSE(editor.Opened());
    EXPECT_NE(editor.Error().find(":161"), std::string::npos) << editor.Error();
  }
  if (saved)
    setenv("DISPLAY", restore.c_str(), 1);
  else
    unsetenv("DISPLAY");
}

} // namespace
