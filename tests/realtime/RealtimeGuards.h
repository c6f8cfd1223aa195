#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "SanitizerBuild.h"

// The first statement of every proof: under a sanitizer, whose runtime replaces the allocator
// and intercepts the lock and system calls itself, the guards below cannot be installed.
#define UMBRAVOX_SKIP_UNDER_SANITIZER()                                                      \
  do {                                                                                       \
    if (UMBRAVOX_RUNTIME_SANITIZER)                                                          \
      GTEST_SKIP() << "a sanitizer owns the allocator and the lock and system calls watched"; \
  } while (0)

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
