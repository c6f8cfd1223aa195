// The installed bundle in jalv, the console host, on a JACK server of its own with the dummy
// driver: controls set on its command line, and a factory preset applied from its prompt.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

#include "HostTestHelpers.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using namespace umbra::test;

namespace {

constexpr const char* kURI = "urn:marrowfield:umbravox";



// The value jalv printed last for a control, or NaN.
double LastPrinted(const std::string& text, const std::string& symbol)
{
  const std::regex line("(^|\\n)(> )?" + symbol + " = ([-0-9.]+)");
  double value = NAN;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it)
    value = std::stod((*it)[3]);
  return value;
}

TEST(Jalv, RunsThePluginWithControlsAndAPresetFromItsPrompt)
{
  for (const char* program : {"jalv", "jackd"})
    if (!OnPath(program))
      GTEST_SKIP() << program << " is not installed (scripts/setup installs it)";
  const fs::path dir = fs::temp_directory_path() / ("umbravox-jalv-console-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  const fs::path lv2 = InstallBundle(dir / "prefix");
  ASSERT_FALSE(lv2.empty());

  const std::string server = "umbravox-console-" + std::to_string(::getpid());
  const std::string env = "JACK_DEFAULT_SERVER=" + server + " LV2_PATH='" + lv2.string() +
                          "' UMBRAVOX_NO_UPDATE_CHECK=1 ";
  ASSERT_EQ(std::system(("JACK_DEFAULT_SERVER=" + server + " jackd --no-realtime -n " + server +
                         " -d dummy -r 48000 -p 256 >'" + (dir / "jackd.log").string() + "' 2>&1 & echo $! >'" +
                         (dir / "jackd.pid").string() + "'")
                          .c_str()),
            0);
  std::this_thread::sleep_for(1500ms);

  // "presets" lists (and loads) the bundle's presets; "preset URI" applies one, and jalv prints
  // every control it set.
  const std::string commands = "(sleep 2; echo presets; sleep 1; echo 'preset " + std::string(kURI) +
                               "#preset7'; sleep 2; echo controls; sleep 1)";
  const std::string text = Output(commands + " | " + env + "timeout 30 jalv -c mix=60 " + kURI + " 2>&1");
  std::system(("kill $(cat '" + (dir / "jackd.pid").string() + "') 2>/dev/null").c_str());

  EXPECT_NE(text.find("Poltergeist"), std::string::npos) << text;
  // Before the preset: "Init" with the command line's mix; after it: "Poltergeist".
  const std::regex firstMix("mix = 60\\.0");
  EXPECT_TRUE(std::regex_search(text, firstMix)) << text;
  EXPECT_EQ(LastPrinted(text, "whisper_mode"), 1.0) << text;
  EXPECT_EQ(LastPrinted(text, "haunt"), 45.0) << text;
  fs::remove_all(dir);
}

} // namespace
