// The installed bundle in Ardour, driven by its Lua interpreter with the dummy audio engine:
// - a session with a stereo track whose built-in sine generator feeds Umbra Vox on the
//   "Poltergeist" preset, bounced through the plug-in for three seconds: finite, not silent, and
//   not what the track gives without the effect;
// - a session saved after two controls were moved while the engine was stopped, reopened in a
//   new process and bounced: it sounds as the values Ardour shows, not as the ones before.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "HostTestHelpers.h"
#include "Render.h"
#include "SoundFile.h"
#include "Umbravox.h"

namespace fs = std::filesystem;

using namespace umbra::test;

namespace {


// The Lua script: a session in folder, the sine generator, then (withEffect) Umbra Vox with a
// factory preset, bounced from the chain's last processor into the session's audio files.
std::string Script(const fs::path& folder, bool withEffect)
{
  std::string lua = R"lua(
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_sample_rate(48000)
assert(AudioEngine:start(false) == 0)
local s = create_session(")lua" + folder.string() + R"lua(", "umbravox", 48000)
assert(s)
local t = s:new_audio_track(2, 2, nil, 1, "Sine", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()
local last = ARDOUR.LuaAPI.new_plugin(s, "SinGen", ARDOUR.PluginType.Lua, "")
assert(not last:isnil())
t:add_processor_by_index(last, 0, nil, true)
)lua";
  if (withEffect)
    lua += R"lua(
local fx = ARDOUR.LuaAPI.new_plugin(s, "urn:marrowfield:umbravox", ARDOUR.PluginType.LV2, "")
assert(not fx:isnil())
t:add_processor_by_index(fx, 1, nil, true)
local plug = fx:to_insert():plugin(0)
assert(plug:load_preset(plug:preset_by_label("Poltergeist")))
last = fx
)lua";
  lua += R"lua(
local region = t:bounce_range(0, 3 * 48000, ARDOUR.InterThreadInfo(), last, true, "bounce", false)
assert(not region:isnil())
print("BOUNCED " .. region:to_audioregion():source(0):to_filesource():path())
close_session()
)lua";
  return lua;
}

// Runs a script in a new ardour7-lua process in dir; everything it printed.
std::string RunArdour(const fs::path& dir, const std::string& lua)
{
  const fs::path script = dir / "script.lua";
  std::ofstream(script) << lua;
  const std::string command = "cd '" + dir.string() + "' && timeout 150 ardour7-lua '" + script.string() + "' 2>&1";
  return Output(command);
}

// The rest of the line the script printed after tag, or "" (and a failure) when it did not.
std::string Printed(const std::string& output, const std::string& tag)
{
  const auto at = output.find(tag + " ");
  if (at == std::string::npos)
  {
    ADD_FAILURE() << "no " << tag << " in:\n" << output;
    return "";
  }
  const std::string rest = output.substr(at + tag.size() + 1);
  return rest.substr(0, rest.find('\n'));
}

// A folder of the test's own with the bundle installed, where Ardour finds only our bundle and
// keeps its settings.
class Ardour : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!OnPath("ardour7-lua"))
      GTEST_SKIP() << "ardour7-lua is not installed (scripts/setup installs Ardour)";
    mDir = fs::temp_directory_path() / ("umbravox-ardour-" + std::to_string(::getpid()));
    fs::remove_all(mDir);
    fs::create_directories(mDir / "home");
    const fs::path lv2 = InstallBundle(mDir / "prefix");
    ASSERT_FALSE(lv2.empty());
    setenv("LV2_PATH", lv2.c_str(), 1);
    setenv("HOME", (mDir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (mDir / "home" / ".config").c_str(), 1);
    setenv("UMBRAVOX_NO_UPDATE_CHECK", "1", 1);
  }
  void TearDown() override
  {
    if (!mDir.empty())
      fs::remove_all(mDir);
  }

  fs::path mDir;
};

TEST_F(Ardour, BouncesASineThroughThePluginWithAPreset)
{
  const std::string wet = Printed(RunArdour(mDir, Script(mDir / "wet", true)), "BOUNCED");
  const std::string dry = Printed(RunArdour(mDir, Script(mDir / "dry", false)), "BOUNCED");
  ASSERT_FALSE(wet.empty());
  ASSERT_FALSE(dry.empty());
  const auto a = umbra::sound::ReadSoundFile(wet);
  const auto b = umbra::sound::ReadSoundFile(dry);
  ASSERT_EQ(a.channels.size(), 1u);
  ASSERT_EQ(a.Frames(), 3 * 48000);
  ASSERT_EQ(b.Frames(), a.Frames());

  double energy = 0.0, difference = 0.0;
  bool finite = true;
  for (size_t s = 0; s < a.channels[0].size(); ++s)
  {
    const double x = a.channels[0][s], y = b.channels[0][s];
    finite = finite && std::isfinite(x);
    energy += x * x;
    difference += (x - y) * (x - y);
  }
  EXPECT_TRUE(finite);
  EXPECT_GT(energy, 1.0);       // not silent
  EXPECT_GT(difference, 1.0);   // the effect changed the sound
}

// The first process: "Banshee Scream" playing (Haunt 94, Octave +2), the engine stopped, Haunt
// and Octave moved to their defaults (75 and "0", index 2), the session saved.
std::string SaveScript(const fs::path& folder)
{
  return R"lua(
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_sample_rate(48000)
assert(AudioEngine:start(false) == 0)
local s = create_session(")lua" + folder.string() + R"lua(", "umbravox", 48000)
assert(s)
local t = s:new_audio_track(2, 2, nil, 1, "Sine", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()
t:add_processor_by_index(ARDOUR.LuaAPI.new_plugin(s, "SinGen", ARDOUR.PluginType.Lua, ""), 0, nil, true)
local fx = ARDOUR.LuaAPI.new_plugin(s, "urn:marrowfield:umbravox", ARDOUR.PluginType.LV2, "")
assert(not fx:isnil())
t:add_processor_by_index(fx, 1, nil, true)
local plug = fx:to_insert():plugin(0)
assert(plug:load_preset(plug:preset_by_label("Banshee Scream")))
ARDOUR.LuaAPI.usleep(500000)
AudioEngine:stop(false)
assert(ARDOUR.LuaAPI.set_processor_param(fx, 2, 75))
assert(ARDOUR.LuaAPI.set_processor_param(fx, 4, 2))
s:save_state("", false, false, false, false, false)
close_session()
print("SAVED")
)lua";
}

// The second process: the session reopened; the thirteen values Ardour shows, then three seconds
// bounced through the plug-in and, for the input it was given, through the generator alone.
std::string ReopenScript(const fs::path& folder)
{
  return R"lua(
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_sample_rate(48000)
assert(AudioEngine:start(false) == 0)
local s = load_session(")lua" + folder.string() + R"lua(", "umbravox")
assert(s)
local t = s:route_by_name("Sine"):to_track()
local gen = t:nth_plugin(0)
local fx = t:nth_plugin(1)
local shown = ""
for i = 0, 12 do shown = shown .. " " .. ARDOUR.LuaAPI.get_processor_param(fx, i) end
print("SHOWN" .. shown)
local wet = t:bounce_range(0, 3 * 48000, ARDOUR.InterThreadInfo(), fx, true, "wet", false):to_audioregion()
print("WET " .. wet:source(0):to_filesource():path())
local dry = t:bounce_range(0, 3 * 48000, ARDOUR.InterThreadInfo(), gen, true, "dry", false):to_audioregion()
print("DRY " .. dry:source(0):to_filesource():path())
print("DRYR " .. dry:source(1):to_filesource():path())
close_session()
)lua";
}

// Mean power of the last two seconds at log-spaced frequencies from 100 Hz to 16 kHz, in dB:
// Hann-windowed frames of 4096 samples, half overlapping, each frequency by Goertzel's recursion.
std::vector<double> SpectrumDb(const std::vector<float>& x)
{
  constexpr int kFrame = 4096, kPoints = 48;
  const size_t start = x.size() - 2 * 48000;
  std::vector<double> db;
  for (int k = 0; k < kPoints; ++k)
  {
    const double f = 100.0 * std::pow(160.0, k / (kPoints - 1.0));
    const double coeff = 2.0 * std::cos(2.0 * M_PI * f / 48000.0);
    double power = 0.0;
    int frames = 0;
    for (size_t at = start; at + kFrame <= x.size(); at += kFrame / 2, ++frames)
    {
      double s1 = 0.0, s2 = 0.0;
      for (int n = 0; n < kFrame; ++n)
      {
        const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * n / kFrame);
        const double s0 = w * x[at + n] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
      }
      power += s1 * s1 + s2 * s2 - coeff * s1 * s2;
    }
    db.push_back(10.0 * std::log10(power / frames + 1e-12));
  }
  return db;
}

double MeanDifferenceDb(const std::vector<double>& a, const std::vector<double>& b)
{
  double sum = 0.0;
  for (size_t i = 0; i < a.size(); ++i)
    sum += std::fabs(a[i] - b[i]);
  return sum / static_cast<double>(a.size());
}

// The input through a fresh instance with these values, as 'umbravox render' plays it; left.
std::vector<float> Rendered(const std::vector<std::vector<float>>& input, const std::vector<double>& values)
{
  const std::unique_ptr<umbra::Umbravox> plug(umbra::MakePlug());
  for (size_t i = 0; i < values.size(); ++i)
    plug->GetParam(static_cast<int>(i))->StoreValue(values[i]);
  umbra::render::RenderOptions options;
  options.tail = umbra::render::TailMode::kFixed;
  return umbra::render::RenderFrames(*plug, 48000.0, input, options)[0];
}

TEST_F(Ardour, AReopenedSessionPlaysTheValuesItShows)
{
  const std::string saved = RunArdour(mDir, SaveScript(mDir / "session"));
  ASSERT_NE(saved.find("SAVED"), std::string::npos) << saved;
  const std::string reopened = RunArdour(mDir, ReopenScript(mDir / "session"));

  std::vector<double> shown;
  std::istringstream values(Printed(reopened, "SHOWN"));
  for (double v; values >> v;)
    shown.push_back(v);
  ASSERT_EQ(shown.size(), 13u) << reopened;
  EXPECT_EQ(shown[umbra::kHaunt], 75.0);
  EXPECT_EQ(shown[umbra::kOctave], 2.0);
  EXPECT_EQ(shown[umbra::kInterval], 6.0); // the rest is still "Banshee Scream"

  const auto wet = umbra::sound::ReadSoundFile(Printed(reopened, "WET"));
  const auto left = umbra::sound::ReadSoundFile(Printed(reopened, "DRY"));
  const auto right = umbra::sound::ReadSoundFile(Printed(reopened, "DRYR"));
  ASSERT_EQ(wet.Frames(), 3 * 48000);
  ASSERT_EQ(left.Frames(), wet.Frames());
  ASSERT_EQ(right.Frames(), wet.Frames());
  const std::vector<std::vector<float>> input = {left.channels[0], right.channels[0]};

  // The engine's random texture and its per-bin memory make no two runs alike, so the sound is
  // compared by its spectrum: against the values shown, and against those before the move
  // (Octave +2 puts the shifted voice two octaves up, Haunt 94 holds it longer).
  std::vector<double> before = shown;
  before[umbra::kHaunt] = 94.0;
  before[umbra::kOctave] = 4.0;
  const auto bounced = SpectrumDb(wet.channels[0]);
  const auto asShown = SpectrumDb(Rendered(input, shown));
  const auto asBefore = SpectrumDb(Rendered(input, before));
  const double toShown = MeanDifferenceDb(bounced, asShown);
  const double toBefore = MeanDifferenceDb(bounced, asBefore);
  std::cout << "mean spectral difference to the values shown " << toShown << " dB, to those before "
            << toBefore << " dB\n";
  EXPECT_LT(1.3 * toShown, toBefore);
  auto loudest = [](const std::vector<double>& db) { return std::max_element(db.begin(), db.end()) - db.begin(); };
  EXPECT_LE(std::abs(loudest(bounced) - loudest(asShown)), 1);
  EXPECT_GT(std::abs(loudest(bounced) - loudest(asBefore)), 4);
}

} // namespace
