// The editor's window draws nothing nobody sees: unmapped (minimised), covered by another window
// or hidden by its owner, it runs no frames while its timer goes on; it draws again as soon as
// it can be seen.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "ICanvasFactory.h"
#include "Platforms/ICanvasX11.h"
#include "Umbravox.h"
#include "XvfbServer.h"

#include <X11/Xlib.h>

using namespace umbra;
using namespace std::chrono_literals;

namespace {

class HiddenWindow : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!test::XvfbServer::Available())
      GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
    ASSERT_TRUE(mServer.Start()) << mServer.Error();
    setenv("DISPLAY", mServer.DisplayName().c_str(), 1);
    ui::SetDefaultPlatform(ui::EPlatform::kX11);
    mPlug.reset(MakePlug());
    ASSERT_NE(mPlug->OpenWindow(nullptr), nullptr);
    mWindow = dynamic_cast<ui::ICanvasX11*>(mPlug->GetUI());
    ASSERT_NE(mWindow, nullptr);
    mWindow->SetTimerFunc([this] { ++mTicks; });
    // A second client, as a window manager or another application would act.
    mOther = XOpenDisplay(mServer.DisplayName().c_str());
    ASSERT_NE(mOther, nullptr);
  }
  void TearDown() override
  {
    if (mOther)
      XCloseDisplay(mOther);
    if (mPlug)
      mPlug->CloseWindow();
    ui::SetDefaultPlatform(ui::EPlatform::kHeadless);
  }

  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < deadline)
    {
      mWindow->Pump();
      mWindow->WaitForEvents(10ms);
    }
    return done();
  }

  // Frames run and timer ticks over a fifth of a second of pumping, as a host idles.
  std::pair<long, int> CountOver200ms()
  {
    const long frames = mWindow->FramesRun();
    const int ticks = mTicks;
    PumpUntil([] { return false; }, 200ms);
    return {mWindow->FramesRun() - frames, mTicks - ticks};
  }

  void ExpectDrawing()
  {
    const long frames = mWindow->FramesPresented();
    EXPECT_TRUE(PumpUntil([&] { return mWindow->FramesPresented() >= frames + 3; }, 2s));
  }

  // No frame at all, and the timer still at its pace (10 ticks in 200 ms).
  void ExpectNotDrawing()
  {
    const auto [frames, ticks] = CountOver200ms();
    EXPECT_EQ(frames, 0);
    EXPECT_GE(ticks, 7);
  }

  Window EditorWindow() const { return static_cast<Window>(mWindow->GetWindowID()); }

  test::XvfbServer mServer;
  std::unique_ptr<Umbravox> mPlug;
  ui::ICanvasX11* mWindow = nullptr;
  Display* mOther = nullptr;
  int mTicks = 0;
};

TEST_F(HiddenWindow, RunsNoFramesWhileUnmappedCoveredOrHidden)
{
  ASSERT_TRUE(PumpUntil([&] { return mWindow->IsShowing(); }, 5s));
  ExpectDrawing();

  // Unmapped, as a window manager does to a minimised window.
  XUnmapWindow(mOther, EditorWindow());
  XFlush(mOther);
  ASSERT_TRUE(PumpUntil([&] { return !mWindow->IsMapped(); }, 2s));
  ExpectNotDrawing();
  XMapWindow(mOther, EditorWindow());
  XFlush(mOther);
  ExpectDrawing();

  // Covered entirely by another application's window.
  const int screen = DefaultScreen(mOther);
  const Window cover = XCreateSimpleWindow(mOther, RootWindow(mOther, screen), 0, 0, 3000, 2000, 0,
                                           0, BlackPixel(mOther, screen));
  XMapRaised(mOther, cover);
  XFlush(mOther);
  ASSERT_TRUE(PumpUntil([&] { return !mWindow->IsShowing(); }, 2s));
  ExpectNotDrawing();
  XDestroyWindow(mOther, cover);
  XFlush(mOther);
  ExpectDrawing();

  // Hidden by its owner (an LV2 host's show interface), then shown again.
  mWindow->SetShown(false);
  ExpectNotDrawing();
  mWindow->SetShown(true);
  ExpectDrawing();
}

TEST_F(HiddenWindow, RunsNoFramesWhileTheEmbeddingWindowIsHidden)
{
  // Embedded as a host embeds it; the host then unmaps its own window (minimised, a tab hidden).
  const std::unique_ptr<Umbravox> embedded(MakePlug());
  const int screen = DefaultScreen(mOther);
  const Window host = XCreateSimpleWindow(mOther, RootWindow(mOther, screen), 0, 0, 1300, 900, 0, 0,
                                          BlackPixel(mOther, screen));
  XMapWindow(mOther, host);
  XSync(mOther, False);
  ASSERT_NE(embedded->OpenWindow(reinterpret_cast<void*>(static_cast<std::uintptr_t>(host))), nullptr);
  mWindow = dynamic_cast<ui::ICanvasX11*>(embedded->GetUI());
  ASSERT_NE(mWindow, nullptr);
  mWindow->SetTimerFunc([this] { ++mTicks; });
  ASSERT_TRUE(PumpUntil([&] { return mWindow->IsShowing(); }, 5s));
  ExpectDrawing();

  XUnmapWindow(mOther, host);
  XFlush(mOther);
  ASSERT_TRUE(PumpUntil([&] { return !mWindow->IsShowing(); }, 2s));
  EXPECT_TRUE(mWindow->IsMapped()); // the editor's own window never heard of it
  ExpectNotDrawing();
  XMapWindow(mOther, host);
  XFlush(mOther);
  ExpectDrawing();

  // The host destroys its window before closing the editor: closing still goes quietly.
  XDestroyWindow(mOther, host);
  XSync(mOther, False);
  embedded->CloseWindow();
}

} // namespace
