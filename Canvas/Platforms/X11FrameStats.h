#pragma once

// How long the window's pumps hold their caller's thread (a host's GUI thread, in an LV2 host),
// and where that time goes, for measuring the editor inside a real host. Turned on by the
// environment variable UMBRAVOX_FRAME_STATS (a number of seconds per report, 1 if it is not a
// number); then, after a line about the window when it opens, every such interval one line goes
// to stderr:
//
//   umbravox frame stats: 1.00 s 60 frames 61 pumps hold-ms median 2.41 p99 3.90 max 3.90
//   frame-ms draw 2.20 upload 0.18 rest 0.03 rest-max 0.40 other-max events 0.02 timer 0.31 viewable 0.00
//
// hold: a whole Pump(); in pumps that ran a frame, the medians of drawing, of handing the picture
// to the server, and of the rest; the most any pump spent on events, on the owner's timer and on
// asking whether the window can be seen. Off, it costs one test of a null pointer per pump.

#include <chrono>
#include <memory>
#include <vector>

namespace umbra::ui {

class X11FrameStats {
public:
  using Clock = std::chrono::steady_clock;
  enum class Phase { kEvents, kTimer, kViewable, kDraw, kUpload, kCount };

  // Made when UMBRAVOX_FRAME_STATS is set, else none.
  static std::unique_ptr<X11FrameStats> FromEnvironment();

  explicit X11FrameStats(Clock::duration interval);

  // One line when the window opens: its size in device pixels, its screen scale and whether the
  // picture travels through shared memory (MIT-SHM).
  void WindowOpened(int width, int height, float scale, bool sharedMemory) const;

  void BeginPump();
  // The time since the last mark (or the pump's start) went to phase.
  void Mark(Phase phase);
  void FramePresented() { mCurrent.frame = true; }
  void EndPump();

private:
  struct PumpTimes {
    double phase[static_cast<int>(Phase::kCount)] = {};
    double total = 0.0;
    bool frame = false;
  };

  void Report(Clock::time_point now);

  Clock::duration mInterval;
  Clock::time_point mIntervalStart;
  Clock::time_point mPumpStart;
  Clock::time_point mLastMark;
  PumpTimes mCurrent;
  std::vector<PumpTimes> mPumps;
};

} // namespace umbra::ui
