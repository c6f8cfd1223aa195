// The plug-in's own editor, opened by the plug-in as a host opens it, in a real X11 window on a
// private Xvfb server, worked by the mouse through xdotool while audio runs on another thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ICanvasFactory.h"
#include "Platforms/ICanvasX11.h"
#include "Umbravox.h"
#include "UmbravoxParams.h"
#include "XvfbServer.h"

using namespace umbra;
using namespace std::chrono_literals;

namespace {

class EditorWindow : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!test::XvfbServer::Available())
      GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
    ASSERT_TRUE(mServer.Start()) << mServer.Error();
    setenv("DISPLAY", mServer.DisplayName().c_str(), 1);
    ui::SetDefaultPlatform(ui::EPlatform::kX11);

    mPlug.reset(MakePlug());
    mPlug->HostSetSampleRate(48000.0);
    mPlug->HostSetBlockSize(256);
    mPlug->HostInitialize();
    ASSERT_NE(mPlug->OpenWindow(nullptr), nullptr);
    mWindow = dynamic_cast<ui::ICanvasX11*>(mPlug->GetUI());
    ASSERT_NE(mWindow, nullptr);
    mWindow->SetTimerFunc([this] { mPlug->OnTimer(); });
    ASSERT_TRUE(PumpUntil([&] { return mWindow->IsMapped() && mWindow->FramesPresented() > 0; }, 5s));
  }

  void TearDown() override
  {
    StopAudio();
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
      mWindow->WaitForEvents(5ms);
    }
    return done();
  }

  int XDoTool(const std::vector<std::string>& actions)
  {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), actions.begin(), actions.end());
    return test::RunProgram(argv, 10s, [&] { mWindow->Pump(); });
  }

  int ClickAt(int x, int y)
  {
    return XDoTool({"mousemove", "--window", std::to_string(mWindow->GetWindowID()),
                    std::to_string(x), std::to_string(y), "click", "1"});
  }

  double Value(int param) const { return mPlug->GetParam(param)->Value(); }

  // A 200 Hz tone through the plug-in in 256-frame blocks, as a host's audio thread plays it.
  void StartAudio()
  {
    mAudio = std::thread([this] {
      std::vector<float> left(256), right(256), outL(256), outR(256);
      long long n = 0;
      while (!mStopAudio.load())
      {
        for (size_t s = 0; s < left.size(); ++s, ++n)
          left[s] = right[s] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * 200.0 * n / 48000.0));
        const float* in[2] = {left.data(), right.data()};
        float* out[2] = {outL.data(), outR.data()};
        mPlug->HostProcess(in, out, 256);
        std::this_thread::sleep_for(2ms);
      }
    });
  }
  void StopAudio()
  {
    mStopAudio.store(true);
    if (mAudio.joinable())
      mAudio.join();
  }

  test::XvfbServer mServer;
  std::unique_ptr<Umbravox> mPlug;
  ui::ICanvasX11* mWindow = nullptr;
  std::thread mAudio;
  std::atomic<bool> mStopAudio{false};
};

TEST_F(EditorWindow, EveryKindOfControlAnswersTheMouse)
{
  StartAudio();

  // The octave tabs: five of 70 pixels from x 425, 598..633 high; "+2" is the last.
  ASSERT_EQ(ClickAt(740, 620), 0);
  EXPECT_TRUE(PumpUntil([&] { return Value(kOctave) == 4.0; }, 5s)) << Value(kOctave);

  // The interval tabs: twelve over 340..860; "P5" is the eighth.
  ASSERT_EQ(ClickAt(340 + 7 * 520 / 12 + 20, 670), 0);
  EXPECT_TRUE(PumpUntil([&] { return Value(kInterval) == 7.0; }, 5s)) << Value(kInterval);

  // The whisper mode button toggles.
  const double mode = Value(kWhisperMode);
  ASSERT_EQ(ClickAt(587, 432), 0);
  EXPECT_TRUE(PumpUntil([&] { return Value(kWhisperMode) != mode; }, 5s));

  // The Haunt slider (425..775 with 10-pixel margins): a press sets the value where it lands,
  // and a drag past the end stops at the end (started away from the click, which would
  // otherwise make a double click).
  ASSERT_EQ(ClickAt(600, 160), 0);
  EXPECT_TRUE(PumpUntil([&] { return std::abs(Value(kHaunt) - 50.0) <= 1.0; }, 5s)) << Value(kHaunt);
  const std::string id = std::to_string(mWindow->GetWindowID());
  ASSERT_EQ(XDoTool({"mousemove", "--window", id, "520", "165", "mousedown", "1",
                     "mousemove", "--window", id, "900", "170", "mouseup", "1"}), 0);
  EXPECT_TRUE(PumpUntil([&] { return Value(kHaunt) == 100.0; }, 5s)) << Value(kHaunt);

  // Meanwhile the audio thread's levels reached the editor's live values.
  EXPECT_TRUE(PumpUntil([&] { return mPlug->mInputPeakDb.load() > -30.f; }, 5s)) << mPlug->mInputPeakDb.load();
}

} // namespace
