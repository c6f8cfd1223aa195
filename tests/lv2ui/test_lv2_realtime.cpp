// The LV2 plug-in's run() allocates nothing, locks nothing and makes no system call: blocks of
// every length, parameter ports moving, the bypass switched back and forth, as a host's audio
// thread drives it.
#include <gtest/gtest.h>

#include <memory>

#include "LV2UITestHost.h"
#include "RealtimeGuards.h"
#include "UmbravoxLV2Ports.h"

using namespace umbra;

namespace {

void Work(test::LV2UITestHost& host, uint32_t frames)
{
  for (int block = 0; block < 120; ++block)
  {
    *host.ParamPort(lv2::kPortFirstParam + 2) = static_cast<float>(block % 100); // haunt
    *host.ParamPort(lv2::kPortFirstParam + 4) = static_cast<float>(block % 5);   // octave
    *host.ParamPort(lv2::kPortEnabled) = (block / 20) % 2 == 0 ? 1.f : 0.f;      // bypass
    host.Run(frames);
  }
}

} // namespace

TEST(LV2Realtime, RunNeitherAllocatesNorLocks)
{
  UMBRAVOX_SKIP_UNDER_SANITIZER();
  for (uint32_t frames : {1u, 7u, 512u, 4096u})
  {
    test::LV2UITestHost host(UMBRAVOX_LV2_BUNDLE);
    ASSERT_TRUE(host.Loaded()) << host.Error();
    ASSERT_TRUE(host.StartPlugin());
    host.Run(frames); // the first block of a fresh instance as any other
    const auto counts = test::CountRealtimeViolations([&] { Work(host, frames); });
    EXPECT_EQ(counts.allocations, 0) << frames << " frames";
    EXPECT_EQ(counts.frees, 0) << frames << " frames";
    EXPECT_EQ(counts.locks, 0) << frames << " frames";
  }
}

TEST(LV2Realtime, RunMakesNoSystemCall)
{
  UMBRAVOX_SKIP_UNDER_SANITIZER();
  std::unique_ptr<test::LV2UITestHost> host;
  const bool clean = test::RunsWithoutSystemCalls(
    [&] {
      host = std::make_unique<test::LV2UITestHost>(UMBRAVOX_LV2_BUNDLE);
      if (host->Loaded() && host->StartPlugin())
        host->Run(512);
    },
    [&] { Work(*host, 512); });
  EXPECT_TRUE(clean);
}
