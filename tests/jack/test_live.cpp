// umbravox-live on a JACK server of the test's own (the dummy driver): a file played through it
// by a client of ours comes back as 'umbravox render --raw' renders it; ports, latency ranges
// and --connect; the dry path undelayed or aligned; the state remembered across runs, per client
// name and through SIGHUP; a damaged state file; the server going away and coming back; no server
// at all.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <jack/midiport.h>

#include "JackTestServer.h"
#include "SoundFile.h"
#include "TestSessionManager.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace umbra::test;
using umbra::sound::SoundData;

namespace {

constexpr int kPeriod = 1024;

// The plug-in's own latency (the wet path's), as the --verbose line tells it.
int WetLatency(const std::string& told)
{
  std::smatch match;
  return std::regex_search(told, match, std::regex("latency [0-9]+ samples \\(wet ([0-9]+)\\)")) ? std::stoi(match[1])
                                                                                               : -1;
}

// A second and a half of a sung-like tone with a noisy onset, different on each side.
SoundData MakeTestSound()
{
  SoundData sound;
  sound.sampleRate = JackTestServer::kSampleRate;
  const size_t frames = 72000;
  sound.channels.assign(2, std::vector<float>(frames));
  uint32_t noise = 1;
  for (size_t s = 0; s < frames; ++s)
  {
    noise = noise * 1664525u + 1013904223u;
    const double t = static_cast<double>(s) / sound.sampleRate;
    const double hiss = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * std::exp(-8.0 * t);
    sound.channels[0][s] = static_cast<float>(0.3 * std::sin(2.0 * M_PI * 220.0 * t) + 0.2 * hiss);
    sound.channels[1][s] = static_cast<float>(0.25 * std::sin(2.0 * M_PI * 330.0 * t) - 0.2 * hiss);
  }
  return sound;
}

// Two clients of ours: "player" plays a sound into a client's inputs from the cycle Start() is
// seen in, "recorder" records that client's outputs from the same cycle on. The player comes
// before the effect in JACK's order and the recorder after it, so all three run in one cycle.
class PlayRecord {
public:
  PlayRecord(const JackTestServer& server, const SoundData& sound, size_t recordFrames)
    : mServer(server), mSound(sound)
  {
    for (auto& channel : mRecorded)
      channel.assign(recordFrames, 0.f);
  }
  ~PlayRecord()
  {
    for (jack_client_t* client : {mPlayer, mRecorder})
      if (client)
        jack_client_close(client);
  }

  bool Open()
  {
    mPlayer = mServer.OpenClient("player");
    mRecorder = mServer.OpenClient("recorder");
    if (!mPlayer || !mRecorder)
      return false;
    for (int c = 0; c < 2; ++c)
    {
      const std::string n = std::to_string(c + 1);
      mOut[c] = jack_port_register(mPlayer, ("out_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
      mIn[c] = jack_port_register(mRecorder, ("in_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    }
    jack_set_process_callback(mPlayer, [](jack_nframes_t n, void* self) { return static_cast<PlayRecord*>(self)->Play(n); }, this);
    jack_set_process_callback(mRecorder, [](jack_nframes_t n, void* self) { return static_cast<PlayRecord*>(self)->Record(n); }, this);
    return jack_activate(mPlayer) == 0 && jack_activate(mRecorder) == 0;
  }

  // Wires player -> target -> recorder.
  bool Connect(const std::string& target)
  {
    bool ok = true;
    for (int c = 0; c < 2; ++c)
    {
      const std::string n = std::to_string(c + 1);
      ok &= jack_connect(mPlayer, jack_port_name(mOut[c]), (target + ":in_" + n).c_str()) == 0;
      ok &= jack_connect(mRecorder, (target + ":out_" + n).c_str(), jack_port_name(mIn[c])) == 0;
    }
    return ok;
  }

  void Start() { mStartRequested.store(true); }
  bool Finished() const { return mFinished.load(); }
  jack_nframes_t PlayStart() const { return mPlayStart.load(); }
  jack_nframes_t RecordStart() const { return mRecordStart; }
  const std::vector<float>& Recorded(int c) const { return mRecorded[c]; }

private:
  int Play(jack_nframes_t n)
  {
    float* out[2] = {static_cast<float*>(jack_port_get_buffer(mOut[0], n)),
                     static_cast<float*>(jack_port_get_buffer(mOut[1], n))};
    if (!mPlaying && mStartRequested.load())
    {
      mPlaying = true;
      mPlayStart.store(jack_last_frame_time(mPlayer));
      mPlayStarted.store(true);
    }
    for (int c = 0; c < 2; ++c)
      for (jack_nframes_t s = 0; s < n; ++s)
      {
        const size_t at = mPlayPos + s;
        out[c][s] = mPlaying && at < mSound.channels[c].size() ? mSound.channels[c][at] : 0.f;
      }
    if (mPlaying)
      mPlayPos += n;
    return 0;
  }

  int Record(jack_nframes_t n)
  {
    const jack_nframes_t now = jack_last_frame_time(mRecorder);
    if (!mRecording)
    {
      if (!mPlayStarted.load() || now < mPlayStart.load())
        return 0;
      mRecording = true;
      mRecordStart = now;
    }
    for (int c = 0; c < 2; ++c)
    {
      const float* in = static_cast<const float*>(jack_port_get_buffer(mIn[c], n));
      for (jack_nframes_t s = 0; s < n && mRecordPos + s < mRecorded[c].size(); ++s)
        mRecorded[c][mRecordPos + s] = in[s];
    }
    mRecordPos += n;
    if (mRecordPos >= mRecorded[0].size())
      mFinished.store(true);
    return 0;
  }

  const JackTestServer& mServer;
  const SoundData& mSound;
  jack_client_t* mPlayer = nullptr;
  jack_client_t* mRecorder = nullptr;
  jack_port_t* mOut[2] = {};
  jack_port_t* mIn[2] = {};
  std::vector<float> mRecorded[2];
  std::atomic<bool> mStartRequested{false}, mPlayStarted{false}, mFinished{false};
  std::atomic<jack_nframes_t> mPlayStart{0};
  bool mPlaying = false, mRecording = false;
  size_t mPlayPos = 0, mRecordPos = 0;
  jack_nframes_t mRecordStart = 0;
};

// A client of ours with a MIDI output: the events given to Send() go out in its next cycle, one
// frame apart, in order.
class MidiSender {
public:
  explicit MidiSender(const JackTestServer& server) : mClient(server.OpenClient("midi-sender"))
  {
    if (!mClient)
      return;
    mPort = jack_port_register(mClient, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(mClient, [](jack_nframes_t n, void* self) { return static_cast<MidiSender*>(self)->Run(n); }, this);
    if (!mPort || jack_activate(mClient) != 0)
    {
      jack_client_close(mClient);
      mClient = nullptr;
    }
  }
  ~MidiSender()
  {
    if (mClient)
      jack_client_close(mClient);
  }
  bool Connect(const std::string& to) const
  {
    return mClient && jack_connect(mClient, jack_port_name(mPort), to.c_str()) == 0;
  }
  // Sends the events and waits until they are out.
  bool Send(std::vector<std::vector<uint8_t>> events)
  {
    mEvents = std::move(events);
    mPending.store(true);
    return WaitFor([&] { return !mPending.load(); }, 10s);
  }

private:
  int Run(jack_nframes_t n)
  {
    void* buffer = jack_port_get_buffer(mPort, n);
    jack_midi_clear_buffer(buffer);
    if (mPending.load())
    {
      for (size_t e = 0; e < mEvents.size(); ++e)
        jack_midi_event_write(buffer, static_cast<jack_nframes_t>(e), mEvents[e].data(), mEvents[e].size());
      mPending.store(false);
    }
    return 0;
  }

  jack_client_t* mClient = nullptr;
  jack_port_t* mPort = nullptr;
  std::vector<std::vector<uint8_t>> mEvents;
  std::atomic<bool> mPending{false};
};

class LiveOnJack : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!JackTestServer::Available())
      GTEST_SKIP() << "jackd is not installed (scripts/setup installs it)";
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    mDir = fs::temp_directory_path() / ("umbravox-live-" + std::to_string(getpid()) + "-" + info->name());
    fs::remove_all(mDir);
    fs::create_directories(mDir);
    ASSERT_TRUE(mServer.Start(kPeriod)) << mServer.Error();
  }
  void TearDown() override
  {
    mServer.Stop();
    fs::remove_all(mDir);
  }

  std::unique_ptr<ChildProgram> StartLive(std::vector<std::string> args, std::map<std::string, std::string> env = {})
  {
    args.insert(args.begin(), UMBRAVOX_LIVE);
    const std::string errFile = (mDir / ("live-" + std::to_string(mRuns++) + ".err")).string();
    env["JACK_DEFAULT_SERVER"] = mServer.Name();
    env["XDG_CONFIG_HOME"] = (mDir / "config").string();
    return std::make_unique<ChildProgram>(args, env, errFile);
  }

  // Started with --verbose, it says so once its first cycle has run.
  static bool WaitUntilRunning(const ChildProgram& live)
  {
    return WaitFor([&] { return live.Stderr().find(" running at ") != std::string::npos; }, 15s);
  }

  // Runs umbravox-live headless with args until it runs, then stops it with SIGTERM; its exit
  // status, its stderr in errors.
  int RunUntilStopped(const std::vector<std::string>& args, std::string& errors)
  {
    std::vector<std::string> all = {"--no-ui", "--verbose"};
    all.insert(all.end(), args.begin(), args.end());
    auto live = StartLive(all);
    const bool running = WaitUntilRunning(*live);
    live->Signal(SIGTERM);
    const int status = live->Wait(15s);
    errors = live->Stderr();
    return running ? status : -1;
  }

  fs::path StatePath() const { return mDir / "config" / "umbravox" / "live.state"; }

  JackTestServer mServer;
  fs::path mDir;
  int mRuns = 0;
};

TEST_F(LiveOnJack, PlaysAFileThroughTheEffectAsRenderRendersIt)
{
  const SoundData sound = MakeTestSound();
  // Aligned, both paths are late by the plug-in's latency, as in a host.
  auto live = StartLive({"--no-ui", "--verbose", "--aligned", "--preset", "Ghost Choir"});
  ASSERT_TRUE(WaitUntilRunning(*live)) << live->Stderr();
  std::smatch match;
  const std::string told = live->Stderr();
  ASSERT_TRUE(std::regex_search(told, match, std::regex("from frame ([0-9]+)"))) << told;
  const int64_t firstFrame = std::stoll(match[1]);
  const int latency = WetLatency(told);
  ASSERT_GT(latency, 0) << told;

  const size_t recordFrames = sound.channels[0].size() + latency + 4 * kPeriod;
  PlayRecord client(mServer, sound, recordFrames);
  ASSERT_TRUE(client.Open());
  ASSERT_TRUE(client.Connect("Umbra Vox"));
  client.Start();
  ASSERT_TRUE(WaitFor([&] { return client.Finished(); }, 30s));
  live->Signal(SIGTERM);
  EXPECT_EQ(live->Wait(15s), 0) << live->Stderr();

  // What the effect heard: silence from its first cycle until the file began, then the file.
  const int64_t silence = static_cast<int64_t>(client.PlayStart()) - firstFrame;
  ASSERT_GE(silence, 0);
  ASSERT_EQ(silence % kPeriod, 0);
  SoundData heard;
  heard.sampleRate = sound.sampleRate;
  heard.channels.resize(2);
  for (int c = 0; c < 2; ++c)
  {
    heard.channels[c].assign(static_cast<size_t>(silence), 0.f);
    heard.channels[c].insert(heard.channels[c].end(), sound.channels[c].begin(), sound.channels[c].end());
    heard.channels[c].resize(heard.channels[c].size() + recordFrames + 4 * kPeriod, 0.f);
  }
  const std::string heardPath = (mDir / "heard.wav").string();
  const std::string renderedPath = (mDir / "rendered.wav").string();
  umbra::sound::WriteSoundFile(heardPath, umbra::sound::Encoding::kWavFloat, heard);
  ChildProgram render({UMBRAVOX_TOOL, "render", heardPath, renderedPath, "--raw", "--quiet", "--preset", "Ghost Choir"},
                      {}, (mDir / "render.err").string());
  ASSERT_EQ(render.Wait(60s), 0) << render.Stderr();
  const SoundData rendered = umbra::sound::ReadSoundFile(renderedPath);
  ASSERT_EQ(rendered.channels.size(), 2u);

  float peak = 0.f;
  for (int c = 0; c < 2; ++c)
    for (float v : client.Recorded(c))
      peak = std::max(peak, std::fabs(v));
  EXPECT_GT(peak, 0.05f);

  // The recording starts where the render is at the recorder's first frame, give or take whole
  // periods JACK may have put between the clients.
  int alignedAt = -1;
  for (int delay = 0; delay <= 2 && alignedAt < 0; ++delay)
  {
    const int64_t offset = static_cast<int64_t>(client.RecordStart()) - firstFrame - delay * kPeriod;
    if (offset < 0)
      continue;
    bool same = true;
    for (int c = 0; c < 2 && same; ++c)
      same = std::equal(client.Recorded(c).begin(), client.Recorded(c).end(),
                        rendered.channels[c].begin() + offset);
    if (same)
      alignedAt = delay;
  }
  EXPECT_GE(alignedAt, 0) << "the recording equals the render at no whole-period offset";
  EXPECT_EQ(alignedAt, 0) << "JACK put " << alignedAt << " periods between the clients";
}

TEST_F(LiveOnJack, ConnectsToTheSystemPortsAndReportsItsLatencyWhenAligned)
{
  auto live = StartLive({"--no-ui", "--verbose", "--connect", "--aligned"});
  ASSERT_TRUE(WaitUntilRunning(*live)) << live->Stderr();
  const int latency = WetLatency(live->Stderr());
  ASSERT_GT(latency, 0) << live->Stderr();
  jack_client_t* probe = mServer.OpenClient("probe");
  ASSERT_NE(probe, nullptr);

  // Each port, the system port it is wired to, and the system port on the far side of the
  // effect whose latency it passes on.
  const struct {
    const char* name;
    int flags;
    const char* system;
    const char* farSide;
  } ports[] = {{"in_1", JackPortIsInput, "system:capture_1", "system:playback_1"},
               {"in_2", JackPortIsInput, "system:capture_2", "system:playback_2"},
               {"out_1", JackPortIsOutput, "system:playback_1", "system:capture_1"},
               {"out_2", JackPortIsOutput, "system:playback_2", "system:capture_2"}};
  for (const auto& expected : ports)
  {
    jack_port_t* port = jack_port_by_name(probe, (std::string("Umbra Vox:") + expected.name).c_str());
    ASSERT_NE(port, nullptr) << expected.name;
    EXPECT_TRUE(jack_port_flags(port) & expected.flags) << expected.name;
    EXPECT_STREQ(jack_port_type(port), JACK_DEFAULT_AUDIO_TYPE);
    EXPECT_TRUE(jack_port_connected_to(port, expected.system)) << expected.name;

    // Aligned, the outputs' capture latency is the capture ports' plus the effect's; the inputs'
    // playback latency is the playback ports' plus the effect's.
    const bool isInput = expected.flags == JackPortIsInput;
    const auto mode = isInput ? JackPlaybackLatency : JackCaptureLatency;
    jack_latency_range_t system{}, ours{};
    jack_port_get_latency_range(jack_port_by_name(probe, expected.farSide), mode, &system);
    jack_port_get_latency_range(port, mode, &ours);
    EXPECT_GT(system.max, 0u) << expected.farSide;
    EXPECT_EQ(ours.min, system.min + latency) << expected.name;
    EXPECT_EQ(ours.max, system.max + latency) << expected.name;
  }
  jack_client_close(probe);
  live->Signal(SIGTERM);
  EXPECT_EQ(live->Wait(15s), 0) << live->Stderr();
}

// The server stops: the program stays with its settings saved, and when a server comes back
// under the same name it is there again, wired as before, without a restart.
TEST_F(LiveOnJack, WaitsForTheServerToComeBackAndReconnectsAsItWas)
{
  auto live = StartLive({"--no-ui", "--verbose", "--fresh", "--connect", "--set", "Mix=45"});
  ASSERT_TRUE(WaitUntilRunning(*live)) << live->Stderr();
  std::this_thread::sleep_for(200ms); // the connections noted

  mServer.Stop();
  ASSERT_TRUE(WaitFor([&] { return live->Stderr().find("waiting for it to come back") != std::string::npos; }, 15s))
    << live->Stderr();
  EXPECT_NE(ReadTextFile(StatePath().string()).find("\nMix=45\n"), std::string::npos);

  ASSERT_TRUE(mServer.Restart()) << mServer.Error();
  ASSERT_TRUE(WaitFor([&] { return live->Stderr().find("connected to the JACK server again") != std::string::npos; }, 15s))
    << live->Stderr();
  jack_client_t* probe = mServer.OpenClient("probe");
  ASSERT_NE(probe, nullptr);
  for (const auto& [ours, system] : {std::pair{"in_1", "system:capture_1"}, std::pair{"in_2", "system:capture_2"},
                                     std::pair{"out_1", "system:playback_1"}, std::pair{"out_2", "system:playback_2"}})
  {
    jack_port_t* port = jack_port_by_name(probe, (std::string("Umbra Vox:") + ours).c_str());
    ASSERT_NE(port, nullptr) << ours;
    EXPECT_TRUE(jack_port_connected_to(port, system)) << ours;
  }
  jack_client_close(probe);
  // It runs again, and Ctrl-C still ends it.
  ASSERT_TRUE(WaitFor([&] { return live->Stderr().rfind(" running at ") > live->Stderr().find("again"); }, 15s))
    << live->Stderr();
  live->Signal(SIGINT);
  EXPECT_EQ(live->Wait(15s), 0) << live->Stderr();
}

TEST_F(LiveOnJack, LetsTheDryClickThroughAtOnceOrAlignedWithTheWetPath)
{
  SoundData click;
  click.sampleRate = JackTestServer::kSampleRate;
  constexpr size_t kClickAt = 1500;
  click.channels.assign(2, std::vector<float>(kClickAt + 1, 0.f));
  click.channels[0][kClickAt] = click.channels[1][kClickAt] = 1.f;

  for (const bool aligned : {false, true})
  {
    SCOPED_TRACE(aligned ? "--aligned" : "undelayed");
    std::vector<std::string> args = {"--no-ui", "--verbose", "--fresh", "--set", "Input=100", "--set", "Output=100", "--set", "Mix=0"};
    if (aligned)
      args.push_back("--aligned");
    auto live = StartLive(args);
    ASSERT_TRUE(WaitUntilRunning(*live)) << live->Stderr();
    const int latency = WetLatency(live->Stderr());
    ASSERT_GT(latency, 0) << live->Stderr();

    PlayRecord client(mServer, click, kClickAt + latency + 2 * kPeriod);
    ASSERT_TRUE(client.Open());
    ASSERT_TRUE(client.Connect("Umbra Vox"));
    client.Start();
    ASSERT_TRUE(WaitFor([&] { return client.Finished(); }, 30s));
    ASSERT_EQ(client.RecordStart(), client.PlayStart());

    for (int c = 0; c < 2; ++c)
    {
      const std::vector<float>& recorded = client.Recorded(c);
      const auto loud = std::find_if(recorded.begin(), recorded.end(), [](float v) { return std::fabs(v) > 0.4f; });
      ASSERT_NE(loud, recorded.end());
      EXPECT_FLOAT_EQ(*loud, 1.f);
      const auto delay = static_cast<int>(loud - recorded.begin()) - static_cast<int>(kClickAt);
      if (aligned)
        EXPECT_EQ(delay, latency) << "channel " << c;
      else
        EXPECT_TRUE(delay >= 0 && delay < kPeriod) << "channel " << c << ": " << delay;
    }

    jack_client_t* probe = mServer.OpenClient("probe");
    ASSERT_NE(probe, nullptr);
    jack_latency_range_t range{};
    jack_port_get_latency_range(jack_port_by_name(probe, "Umbra Vox:out_1"), JackCaptureLatency, &range);
    EXPECT_EQ(range.max, aligned ? static_cast<jack_nframes_t>(latency) : 0u);
    jack_client_close(probe);

    live->Signal(SIGTERM);
    ASSERT_EQ(live->Wait(15s), 0) << live->Stderr();
  }
}

TEST_F(LiveOnJack, RemembersTheStateFromOneRunToTheNext)
{
  std::string errors;
  // The editor's own labels as well as the tool's values.
  ASSERT_EQ(RunUntilStopped({"--preset", "Poltergeist", "--set", "Mix=60", "--set", "Interval=P5", "--set",
                             "Whisper=30%", "--set", "Fine=-20 cents", "--set", "Interval=m2"},
                            errors),
            0)
    << errors;
  std::string state = ReadTextFile(StatePath().string());
  for (const char* line : {"Interval=1", "Whisper=30", "Fine=-20"})
    EXPECT_NE(state.find(std::string("\n") + line + "\n"), std::string::npos) << line << "\n" << state;
  EXPECT_NE(state.find("\npreset=Poltergeist\n"), std::string::npos) << state;
  EXPECT_NE(state.find("\nMix=60\n"), std::string::npos) << state;

  // The next start restores it; its settings go on top.
  ASSERT_EQ(RunUntilStopped({"--set", "Haunt=10"}, errors), 0) << errors;
  state = ReadTextFile(StatePath().string());
  EXPECT_NE(state.find("\npreset=Poltergeist\n"), std::string::npos) << state;
  EXPECT_NE(state.find("\nMix=60\n"), std::string::npos) << state;
  EXPECT_NE(state.find("\nHaunt=10\n"), std::string::npos) << state;
  EXPECT_EQ(fs::directory_iterator(StatePath().parent_path()) == fs::directory_iterator(), false);
  EXPECT_EQ(std::distance(fs::directory_iterator(StatePath().parent_path()), fs::directory_iterator()), 1)
    << "a temporary file was left behind";

  ASSERT_EQ(RunUntilStopped({"--fresh"}, errors), 0) << errors;
  state = ReadTextFile(StatePath().string());
  EXPECT_NE(state.find("\npreset=Init\n"), std::string::npos) << state;
  EXPECT_NE(state.find("\nMix=100\n"), std::string::npos) << state;

  // A client of another name keeps a state of its own and leaves this one alone.
  ASSERT_EQ(RunUntilStopped({"--name", "Second Vox", "--set", "Mix=20"}, errors), 0) << errors;
  EXPECT_EQ(ReadTextFile(StatePath().string()), state);
  const std::string second = ReadTextFile((StatePath().parent_path() / "live-Second_Vox.state").string());
  EXPECT_NE(second.find("\nMix=20\n"), std::string::npos) << second;
}

TEST_F(LiveOnJack, IgnoresADamagedStateFileWithOneLine)
{
  // A word, and a number --set would refuse (strtod reads it as sixteen).
  for (const char* damage : {"Input=loud", "Input=0x10"})
  {
    SCOPED_TRACE(damage);
    fs::create_directories(StatePath().parent_path());
    std::ofstream(StatePath()) << "format=1\npreset=Poltergeist\n" << damage << "\n";
    std::string errors;
    ASSERT_EQ(RunUntilStopped({"--set", "Mix=40"}, errors), 0) << errors;
    const std::string expected = "umbravox-live: ignoring the damaged state file '" + StatePath().string() + "'\n";
    EXPECT_EQ(errors.substr(0, errors.find('\n') + 1), expected) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2) << errors; // and the running line

    // It started from "Init" with the command line's setting, and the exit wrote a good file.
    const std::string state = ReadTextFile(StatePath().string());
    EXPECT_NE(state.find("\npreset=Init\n"), std::string::npos) << state;
    EXPECT_NE(state.find("\nHaunt=75\n"), std::string::npos) << state;
    EXPECT_NE(state.find("\nMix=40\n"), std::string::npos) << state;
  }
}

// A closed terminal saves as SIGTERM does; two clients started under one name keep a state each,
// named after what JACK called them; a save killed half-way leaves nothing behind for good.
TEST_F(LiveOnJack, SavesOnHangUpPerClientNameAndClearsStaleTemporaries)
{
  const fs::path folder = StatePath().parent_path();
  fs::create_directories(folder);
  std::ofstream(folder / "live.state.tmp.Ab12Cd") << "format=1\npreset=Init\n";

  auto first = StartLive({"--no-ui", "--verbose", "--fresh", "--set", "Mix=30"});
  ASSERT_TRUE(WaitUntilRunning(*first)) << first->Stderr();
  auto second = StartLive({"--no-ui", "--verbose", "--fresh", "--set", "Mix=70"});
  ASSERT_TRUE(WaitUntilRunning(*second)) << second->Stderr();
  EXPECT_NE(second->Stderr().find("\"Umbra Vox-01\" running"), std::string::npos) << second->Stderr();
  EXPECT_FALSE(fs::exists(folder / "live.state.tmp.Ab12Cd"));

  for (auto* live : {first.get(), second.get()})
  {
    live->Signal(SIGHUP);
    EXPECT_EQ(live->Wait(15s), 0) << live->Stderr();
  }
  EXPECT_NE(ReadTextFile(StatePath().string()).find("\nMix=30\n"), std::string::npos);
  EXPECT_NE(ReadTextFile((folder / "live-Umbra_Vox-01.state").string()).find("\nMix=70\n"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

// From a controller: a Program Change recalls a factory preset, Control Change 11 moves Mix by
// the default map, a controller mapped with --cc moves its parameter, the sustain pedal holds
// Freeze at 100; all of it, and the map, saved.
TEST_F(LiveOnJack, TakesProgramAndControlChangesAndSavesThemWithTheMap)
{
  auto live = StartLive({"--no-ui", "--verbose", "--fresh", "--cc", "20=Haunt"});
  ASSERT_TRUE(WaitUntilRunning(*live)) << live->Stderr();
  MidiSender controller(mServer);
  ASSERT_TRUE(controller.Connect("Umbra Vox:midi_in"));
  ASSERT_TRUE(controller.Send({{0xC0, 2}, {0xB3, 11, 0}, {0xB0, 20, 64}, {0xB0, 64, 127}}));
  std::this_thread::sleep_for(300ms); // the main thread's next ticks name the preset
  live->Signal(SIGTERM);
  ASSERT_EQ(live->Wait(15s), 0) << live->Stderr();

  const std::string state = ReadTextFile(StatePath().string());
  for (const char* line : {"preset=Banshee Scream", "Input=55", "Resonance=15", "Mix=0", "Freeze=100", "cc11=Mix",
                           "cc20=Haunt", "cc64=hold"})
    EXPECT_NE(state.find(std::string("\n") + line + "\n"), std::string::npos) << line << "\n" << state;
  EXPECT_NE(state.find("\nHaunt=50.39"), std::string::npos) << state; // 64 of 127
}

// Under a session manager: it announces itself, joins JACK under the client ID it is given,
// saves in the session's folder when asked (and nowhere else), and the next session opens that
// state again.
TEST_F(LiveOnJack, KeepsItsStateInTheSessionsFolderUnderNsm)
{
  const fs::path session = mDir / "session";
  fs::create_directories(session);
  const std::string instance = (session / "Umbra Vox.nUVXT").string();
  for (const bool first : {true, false})
  {
    SCOPED_TRACE(first ? "new session" : "session reopened");
    TestSessionManager manager;
    ASSERT_FALSE(manager.Url().empty());
    std::vector<std::string> args = {"--no-ui", "--verbose"};
    if (first)
      args.insert(args.end(), {"--set", "Mix=33"});
    auto live = StartLive(args, {{"NSM_URL", manager.Url()}});
    std::string name, capabilities;
    ASSERT_TRUE(manager.WaitForAnnouncement(name, capabilities)) << live->Stderr();
    EXPECT_EQ(name, "Umbra Vox");
    EXPECT_EQ(capabilities, ":"); // no window to show or hide

    manager.Send("/nsm/client/open", {instance, "Umbra Vox", "nUVXT"});
    ASSERT_TRUE(manager.WaitForReply("/nsm/client/open")) << live->Stderr();
    ASSERT_TRUE(WaitUntilRunning(*live)) << live->Stderr();
    EXPECT_NE(live->Stderr().find("\"nUVXT\" running"), std::string::npos) << live->Stderr();

    manager.Send("/nsm/client/save");
    ASSERT_TRUE(manager.WaitForReply("/nsm/client/save")) << live->Stderr();
    const std::string state = ReadTextFile(instance + ".state");
    EXPECT_NE(state.find("\nMix=33\n"), std::string::npos) << state;

    live->Signal(SIGTERM);
    EXPECT_EQ(live->Wait(15s), 0) << live->Stderr();
  }
  EXPECT_FALSE(fs::exists(mDir / "config")) << "a session's client keeps nothing outside it";
}

TEST_F(LiveOnJack, RefusesANameLongerThanJackAllowsSayingWhy)
{
  auto live = StartLive({"--no-ui", "--name", std::string(static_cast<size_t>(jack_client_name_size()), 'v')});
  EXPECT_EQ(live->Wait(15s), 2);
  EXPECT_NE(live->Stderr().find("is longer than JACK allows ("), std::string::npos) << live->Stderr();
}

TEST(LiveWithoutServer, SaysSoInOneLineAndExitsWithStatus2)
{
  const fs::path dir = fs::temp_directory_path() / ("umbravox-live-noserver-" + std::to_string(getpid()));
  fs::create_directories(dir);
  ChildProgram live({UMBRAVOX_LIVE, "--no-ui"},
                    {{"JACK_DEFAULT_SERVER", "umbravox-none-" + std::to_string(getpid())},
                     {"XDG_CONFIG_HOME", (dir / "config").string()}},
                    (dir / "live.err").string());
  EXPECT_EQ(live.Wait(15s), 2);
  const std::string errors = live.Stderr();
  EXPECT_EQ(errors.rfind("umbravox-live: no JACK server is running", 0), 0u) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  EXPECT_FALSE(fs::exists(dir / "config")) << "nothing is written when it cannot start";
  fs::remove_all(dir);
}

} // namespace
