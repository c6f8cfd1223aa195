#pragma once

#include <functional>

#include "SanitizerBuild.h"

namespace umbra::test {

// Counts heap allocations, frees and mutex locks made by the calling thread while enabled.
struct RealtimeCounts {
  long allocations = 0;
  long frees = 0;
  long locks = 0;
};

// Runs work with counting on for this thread and returns what it did.
RealtimeCounts CountRealtimeViolations(const std::function<void()>& work);

// Runs work in a forked child that may make no system call at all once prepare has run:
// any system call kills the child. True when work completed.
bool RunsWithoutSystemCalls(const std::function<void()>& prepare, const std::function<void()>& work);

} // namespace umbra::test
