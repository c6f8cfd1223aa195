// The installed bundle in Ardour, driven by its Lua interpreter with the dummy audio engine: a
// session with a stereo track whose built-in sine generator feeds Umbra Vox on the "Poltergeist"
// preset, bounced through the plug-in for three seconds. The result is finite, not silent, and
// not what the track gives without the effect.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "HostTestHelpers.h"
#include "SoundFile.h"

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
local fx = ARDOUR.LuaAPI.new_plugin(s, "https://umbravox.example/plugins/umbravox", ARDOUR.PluginType.LV2, "")
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

// Runs the script; the left channel's file, or "".
std::string RunArdour(const fs::path& dir, const std::string& lua)
{
  const fs::path script = dir / "script.lua";
  std::ofstream(script) << lua;
  const std::string command = "cd '" + dir.string() + "' && timeout 150 ardour7-lua '" + script.string() + "' 2>&1";
  const std::string output = Output(command);
  const auto at = output.find("BOUNCED ");
  if (at == std::string::npos)
  {
    ADD_FAILURE() << output;
    return "";
  }
  std::string path = output.substr(at + 8);
  path = path.substr(0, path.find('\n'));
  return path;
}

TEST(Ardour, BouncesASineThroughThePluginWithAPreset)
{
  if (!OnPath("ardour7-lua"))
    GTEST_SKIP() << "ardour7-lua is not installed (scripts/setup installs Ardour)";
  const fs::path dir = fs::temp_directory_path() / ("umbravox-ardour-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "home");
  const fs::path lv2 = InstallBundle(dir / "prefix");
  ASSERT_FALSE(lv2.empty());
  // Ardour finds only our bundle, and keeps its settings in the test's folder.
  setenv("LV2_PATH", lv2.c_str(), 1);
  setenv("HOME", (dir / "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (dir / "home" / ".config").c_str(), 1);
  setenv("UMBRAVOX_NO_UPDATE_CHECK", "1", 1);

  const std::string wet = RunArdour(dir, Script(dir / "wet", true));
  const std::string dry = RunArdour(dir, Script(dir / "dry", false));
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
  fs::remove_all(dir);
}

} // namespace
