#include "X11FrameStats.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace umbra::ui {

namespace {

constexpr int Index(X11FrameStats::Phase phase) { return static_cast<int>(phase); }

double Milliseconds(X11FrameStats::Clock::duration d)
{
  return std::chrono::duration<double, std::milli>(d).count();
}

// The value below which the fraction q of the values lie (nearest rank); 0 for none.
double Quantile(std::vector<double>& values, double q)
{
  if (values.empty())
    return 0.0;
  const size_t rank = std::min(values.size() - 1, static_cast<size_t>(q * static_cast<double>(values.size())));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank), values.end());
  return values[rank];
}

} // namespace

std::unique_ptr<X11FrameStats> X11FrameStats::FromEnvironment()
{
  const char* value = std::getenv("UMBRAVOX_FRAME_STATS");
  if (!value || !*value)
    return nullptr;
  double seconds = std::strtod(value, nullptr);
  if (!(seconds >= 0.1 && seconds <= 3600.0))
    seconds = 1.0;
  return std::make_unique<X11FrameStats>(
    std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
}

X11FrameStats::X11FrameStats(Clock::duration interval)
  : mInterval(interval), mIntervalStart(Clock::now())
{
  mPumps.reserve(4096);
}

void X11FrameStats::WindowOpened(int width, int height, float scale, bool sharedMemory) const
{
  std::fprintf(stderr, "umbravox frame stats: window %dx%d scale %g shared-memory %s\n", width, height,
               static_cast<double>(scale), sharedMemory ? "yes" : "no");
}

void X11FrameStats::BeginPump()
{
  mCurrent = PumpTimes{};
  mPumpStart = mLastMark = Clock::now();
}

void X11FrameStats::Mark(Phase phase)
{
  const auto now = Clock::now();
  mCurrent.phase[Index(phase)] += Milliseconds(now - mLastMark);
  mLastMark = now;
}

void X11FrameStats::EndPump()
{
  const auto now = Clock::now();
  mCurrent.total = Milliseconds(now - mPumpStart);
  mPumps.push_back(mCurrent);
  if (now - mIntervalStart >= mInterval)
    Report(now);
}

void X11FrameStats::Report(Clock::time_point now)
{
  std::vector<double> hold, draw, upload, rest;
  double restMax = 0.0;
  double otherMax[Index(Phase::kCount)] = {};
  int frames = 0;
  for (const PumpTimes& p : mPumps) {
    hold.push_back(p.total);
    for (int i = 0; i < Index(Phase::kCount); ++i)
      otherMax[i] = std::max(otherMax[i], p.phase[i]);
    if (!p.frame)
      continue;
    ++frames;
    const double d = p.phase[Index(Phase::kDraw)], u = p.phase[Index(Phase::kUpload)];
    draw.push_back(d);
    upload.push_back(u);
    rest.push_back(p.total - d - u);
    restMax = std::max(restMax, p.total - d - u);
  }
  const double holdMax = hold.empty() ? 0.0 : *std::max_element(hold.begin(), hold.end());
  std::fprintf(stderr,
               "umbravox frame stats: %.2f s %d frames %zu pumps hold-ms median %.2f p99 %.2f max %.2f "
               "frame-ms draw %.2f upload %.2f rest %.2f rest-max %.2f "
               "other-max events %.2f timer %.2f viewable %.2f\n",
               std::chrono::duration<double>(now - mIntervalStart).count(), frames, mPumps.size(),
               Quantile(hold, 0.5), Quantile(hold, 0.99), holdMax, Quantile(draw, 0.5),
               Quantile(upload, 0.5), Quantile(rest, 0.5), restMax, otherMax[Index(Phase::kEvents)],
               otherMax[Index(Phase::kTimer)], otherMax[Index(Phase::kViewable)]);
  mPumps.clear();
  mIntervalStart = now;
}

} // namespace umbra::ui
