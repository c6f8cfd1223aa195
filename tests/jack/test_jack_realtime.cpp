// The JACK process callback allocates nothing, locks nothing and makes no system call: the
// callback umbravox-live gives JACK, run on a real client of a jackd of the test's own, with
// parameters moving as the editor moves them and as MIDI moves them through the wrapper's MIDI
// map (a preset, a controller, the hold pedal). The client is left inactive so that the test's
// thread, not JACK's, is the one that runs the callback and is watched.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "JackTestServer.h"
#include "RealtimeGuards.h"
#include "Umbravox.h"

using namespace umbra;

namespace {

constexpr int kPeriod = 256;

std::unique_ptr<Umbravox> OpenOn(const test::JackTestServer& server)
{
  setenv("JACK_DEFAULT_SERVER", server.Name().c_str(), 1);
  std::unique_ptr<Umbravox> plug(MakePlug());
  std::string error;
  if (!plug->HostOpen("Umbra Vox", error))
    return nullptr;
  // As umbravox-live runs it: the dry path undelayed, MIDI mapped.
  plug->SetDryUndelayed(true);
  plug->Midi().MapController(11, kMix);
  plug->Midi().MapController(64, JackMidiMap::kHold);
  plug->Midi().SetHold(kFreeze, 100.0);
  plug->Midi().CapturePresets(*plug);
  // The first cycle of a fresh client as any other.
  IEffectJack::ProcessCallback(kPeriod, plug.get());
  return plug;
}

void Work(Umbravox& plug)
{
  for (int cycle = 0; cycle < 120; ++cycle)
  {
    plug.SetParameterValue(kHaunt, (cycle % 100) / 100.0);
    plug.SetParameterValue(kOctave, (cycle % 5) / 4.0);
    const auto byte = [](int value) { return static_cast<uint8_t>(value); };
    plug.Midi().Apply(plug, IMidiMsg{0, 0xC0, byte(cycle % 10), 0});
    plug.Midi().Apply(plug, IMidiMsg{0, 0xB0, 11, byte(cycle)});
    plug.Midi().Apply(plug, IMidiMsg{0, 0xB0, 64, byte(cycle % 2 ? 127 : 0)});
    IEffectJack::ProcessCallback(kPeriod, &plug);
  }
}

class JackRealtime : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!test::JackTestServer::Available())
      GTEST_SKIP() << "jackd is not installed (scripts/setup installs it)";
    ASSERT_TRUE(mServer.Start(kPeriod)) << mServer.Error();
  }
  test::JackTestServer mServer;
};

TEST_F(JackRealtime, ProcessCallbackNeitherAllocatesNorLocks)
{
  const std::unique_ptr<Umbravox> plug = OpenOn(mServer);
  ASSERT_NE(plug, nullptr);
  const auto counts = test::CountRealtimeViolations([&] { Work(*plug); });
  EXPECT_EQ(counts.allocations, 0);
  EXPECT_EQ(counts.frees, 0);
  EXPECT_EQ(counts.locks, 0);
}

TEST_F(JackRealtime, ProcessCallbackMakesNoSystemCall)
{
  std::unique_ptr<Umbravox> plug;
  const bool clean = test::RunsWithoutSystemCalls([&] { plug = OpenOn(mServer); },
                                                  [&] {
                                                    if (plug)
                                                      Work(*plug);
                                                    else
                                                      std::abort();
                                                  });
  EXPECT_TRUE(clean);
  // The client died with the process that opened it: the server must drop it before it stops.
  EXPECT_TRUE(mServer.WaitUntilClientGone("Umbra Vox", std::chrono::seconds(10)));
}

} // namespace
