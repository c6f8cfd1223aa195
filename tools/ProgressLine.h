#pragma once

// A progress bar on one line of stderr, redrawn in place at most ten times a second and wiped
// when done (or when an error or an interruption is about to be printed). Drawn only when
// enabled, which callers make depend on stderr being a terminal.

#include <chrono>
#include <string>

namespace umbra::cli {

class ProgressLine {
public:
  explicit ProgressLine(bool enabled);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Time to draw again (always false when disabled).
  bool Due() const;
  // "[#########.....]  45%  detail"; fraction is clamped to 0 to 1.
  void Draw(double fraction, const std::string& detail);
  void Clear();

  double SecondsSinceStart() const;

private:
  using Clock = std::chrono::steady_clock;
  bool mEnabled;
  bool mDrawn = false;
  int mLastLength = 0;
  Clock::time_point mStart;
  Clock::time_point mLastDraw;
};

// True when a progress line should be drawn: stderr is a terminal and the user did not ask
// for quiet.
bool ProgressWanted(bool quiet);

} // namespace umbra::cli
