// The JACK wrapper on a real client in this process: the tempo of JACK's transport reaches the
// plug-in when a timebase master gives one (and the default stays when none does), and a new
// buffer size prepares and resets the plug-in while the client runs on.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "JackTestServer.h"
#include "Umbravox.h"

using namespace umbra;
using namespace std::chrono_literals;

namespace {

constexpr int kPeriod = 256;

// A timebase master of ours: 3/4 at 90 beats per minute.
void Timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* pos, int, void*)
{
  pos->valid = JackPositionBBT;
  pos->bar = 2;
  pos->beat = 1;
  pos->tick = 0;
  pos->beats_per_bar = 3.f;
  pos->beat_type = 4.f;
  pos->ticks_per_beat = 1920.0;
  pos->beats_per_minute = 90.0;
}

TEST(JackTransport, TheTimebaseMastersTempoReachesThePlugin)
{
  if (!test::JackTestServer::Available())
    GTEST_SKIP() << "jackd is not installed (scripts/setup installs it)";
  test::JackTestServer server;
  ASSERT_TRUE(server.Start(kPeriod)) << server.Error();
  setenv("JACK_DEFAULT_SERVER", server.Name().c_str(), 1);
  const std::unique_ptr<Umbravox> plug(MakePlug());
  std::string error;
  ASSERT_TRUE(plug->HostOpen("Umbra Vox", error)) << error;

  // Its client stays inactive: the test's thread runs the process callback.
  IEffectJack::ProcessCallback(kPeriod, plug.get());
  EXPECT_EQ(plug->mTempo.load(), 120.f);
  EXPECT_FALSE(plug->GetTransportInfo().mTransportIsRunning);

  jack_client_t* master = server.OpenClient("timebase");
  ASSERT_NE(master, nullptr);
  ASSERT_EQ(jack_set_timebase_callback(master, 0, Timebase, nullptr), 0);
  ASSERT_EQ(jack_activate(master), 0);
  jack_transport_start(master);
  EXPECT_TRUE(test::WaitFor(
    [&] {
      IEffectJack::ProcessCallback(kPeriod, plug.get());
      return plug->mTempo.load() == 90.f;
    },
    10s));
  const ITransportInfo& info = plug->GetTransportInfo();
  EXPECT_TRUE(info.mTransportIsRunning);
  EXPECT_EQ(info.mNumerator, 3);
  EXPECT_EQ(info.mDenominator, 4);
  EXPECT_DOUBLE_EQ(info.mLastBar, 3.0); // bar 2 starts after three quarter notes
  jack_client_close(master);
}

TEST(JackWrapper, ANewBufferSizePreparesThePluginForIt)
{
  if (!test::JackTestServer::Available())
    GTEST_SKIP() << "jackd is not installed (scripts/setup installs it)";
  test::JackTestServer server;
  ASSERT_TRUE(server.Start(kPeriod)) << server.Error();
  setenv("JACK_DEFAULT_SERVER", server.Name().c_str(), 1);
  const std::unique_ptr<Umbravox> plug(MakePlug());
  std::string error;
  ASSERT_TRUE(plug->HostOpen("Umbra Vox", error)) << error;
  EXPECT_EQ(plug->GetBlockSize(), kPeriod);
  EXPECT_EQ(plug->GetSampleRate(), test::JackTestServer::kSampleRate);
  ASSERT_TRUE(plug->HostActivate(error)) << error;
  ASSERT_TRUE(test::WaitFor([&] { return plug->HasProcessed(); }, 10s));

  jack_client_t* other = server.OpenClient("other");
  ASSERT_NE(other, nullptr);
  ASSERT_EQ(jack_set_buffer_size(other, 4 * kPeriod), 0);
  EXPECT_TRUE(test::WaitFor([&] { return plug->GetBlockSize() == 4 * kPeriod; }, 10s));
  EXPECT_EQ(plug->GetLatency(), 4096 + 512);
  // It runs on at the new size: the engine's ring position moves (a period a quarter of the ring).
  const int position = plug->GetWritePosition();
  EXPECT_TRUE(test::WaitFor([&] { return plug->GetWritePosition() != position; }, 10s));
  jack_client_close(other);
  plug->HostClose();
}

} // namespace
