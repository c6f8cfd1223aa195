#include "ProgressLine.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "Interrupts.h"

namespace umbra::cli {

ProgressLine::ProgressLine(bool enabled) : mEnabled(enabled), mStart(Clock::now()) {}

ProgressLine::~ProgressLine()
{
  Clear();
}

bool ProgressLine::Due() const
{
  return mEnabled && (!mDrawn || Clock::now() - mLastDraw >= std::chrono::milliseconds(100));
}

double ProgressLine::SecondsSinceStart() const
{
  return std::chrono::duration<double>(Clock::now() - mStart).count();
}

void ProgressLine::Draw(double fraction, const std::string& detail)
{
  if (!mEnabled)
    return;
  mLastDraw = Clock::now();
  fraction = std::clamp(fraction, 0.0, 1.0);
  constexpr int kWidth = 30;
  const int filled = static_cast<int>(fraction * kWidth);
  char percent[16];
  std::snprintf(percent, sizeof(percent), "%3d%%", static_cast<int>(fraction * 100.0));
  const std::string line = "\r[" + std::string(static_cast<size_t>(filled), '#') +
                           std::string(static_cast<size_t>(kWidth - filled), '.') + "] " + percent +
                           (detail.empty() ? "" : "  " + detail);
  const int length = static_cast<int>(line.size());
  std::fprintf(stderr, "%s%*s", line.c_str(), std::max(0, mLastLength - length), "");
  std::fflush(stderr);
  mLastLength = std::max(length, mLastLength);
  SetProgressLineWidth(mLastLength);
  mDrawn = true;
}

void ProgressLine::Clear()
{
  if (!mDrawn)
    return;
  std::fprintf(stderr, "\r%*s\r", mLastLength, "");
  std::fflush(stderr);
  SetProgressLineWidth(0);
  mDrawn = false;
  mLastLength = 0;
}

bool ProgressWanted(bool quiet)
{
  return !quiet && ::isatty(STDERR_FILENO);
}

} // namespace umbra::cli
