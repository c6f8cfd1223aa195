// Rendering sound files through the plug-in: the render and demo commands as a user runs them,
// the renderer itself with small effects whose output is known exactly, and the demo input.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "DemoInput.h"
#include "Render.h"
#include "ToolRun.h"
#include "Umbravox.h"

namespace fs = std::filesystem;
using namespace umbra;
using namespace umbra::clitest;

namespace {

using Channels = std::vector<std::vector<float>>;

// Waits up to ten seconds for the tool's temporary output (a "*.tmp.*" file) in folder: the
// render is then under way.
bool TemporaryFileAppears(const fs::path& folder)
{
  for (int i = 0; i < 1000; ++i)
  {
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.path().filename().string().find(".tmp.") != std::string::npos)
        return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

struct Sound {
  int sampleRate = 0;
  int format = 0;
  Channels channels;

  sf_count_t Frames() const { return channels.empty() ? 0 : static_cast<sf_count_t>(channels[0].size()); }
};

// Straight through libsndfile, not through the tool's own wrapper, so the two check each other.
void WriteSound(const fs::path& path, int format, int sampleRate, const Channels& channels)
{
  SF_INFO info {};
  info.channels = static_cast<int>(channels.size());
  info.samplerate = sampleRate;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  const size_t frames = channels[0].size();
  std::vector<float> interleaved(frames * channels.size());
  for (size_t s = 0; s < frames; ++s)
    for (size_t c = 0; c < channels.size(); ++c)
      interleaved[s * channels.size() + c] = channels[c][s];
  EXPECT_EQ(sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(frames)),
            static_cast<sf_count_t>(frames));
  EXPECT_EQ(sf_close(file), 0);
}

Sound ReadSound(const fs::path& path)
{
  SF_INFO info {};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file)
    throw std::runtime_error("cannot read " + path.string() + ": " + sf_strerror(nullptr));
  std::vector<float> interleaved(static_cast<size_t>(info.frames * info.channels));
  const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
  sf_close(file);
  Sound sound;
  sound.sampleRate = info.samplerate;
  sound.format = info.format;
  sound.channels.assign(static_cast<size_t>(info.channels), std::vector<float>(static_cast<size_t>(got)));
  for (sf_count_t s = 0; s < got; ++s)
    for (int c = 0; c < info.channels; ++c)
      sound.channels[c][s] = interleaved[static_cast<size_t>(s * info.channels + c)];
  return sound;
}

// A few partials with a different phase per channel: never silent for long, never the same on
// both sides.
Channels TestSignal(int nChannels, size_t frames, double sampleRate, double amplitude = 0.5)
{
  Channels channels(static_cast<size_t>(nChannels), std::vector<float>(frames));
  for (int c = 0; c < nChannels; ++c)
    for (size_t s = 0; s < frames; ++s)
    {
      const double t = static_cast<double>(s) / sampleRate;
      channels[c][s] = static_cast<float>(
        amplitude * (0.6 * std::sin(2.0 * M_PI * 220.0 * t + c) + 0.4 * std::sin(2.0 * M_PI * 331.0 * t)));
    }
  return channels;
}

double PeakDb(const Channels& channels)
{
  return 20.0 * std::log10(render::Peak(channels));
}

// ---------------------------------------------------------------------------------------------
// The tool, run as a user runs it.

class UmbravoxRender : public ::testing::Test {
protected:
  static constexpr int kRate = 22050;
  static constexpr size_t kFrames = 11025; // half a second

  void SetUp() override
  {
    mDir = fs::temp_directory_path() /
           ("umbravox-render-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(mDir);
    fs::create_directories(mDir);
  }
  void TearDown() override
  {
    // A test may leave a directory it made unwritable.
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(mDir, ignored))
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(mDir);
  }

  Result Run(const std::vector<std::string>& args, const fs::path& workingDir = {})
  {
    std::string command;
    if (!workingDir.empty())
      command = "cd " + Quote(workingDir) + " && ";
    command += Quote(UMBRAVOX_TOOL);
    for (const auto& arg : args)
      command += " " + Quote(arg);
    // Caught outside the test's folder, whose files some tests count.
    const fs::path outFile = fs::temp_directory_path() / ("umbravox-render-out-" + std::to_string(::getpid()));
    const fs::path errFile = fs::temp_directory_path() / ("umbravox-render-err-" + std::to_string(::getpid()));
    return RunCaptured(command, outFile, errFile);
  }

  // A success says one line on stdout and nothing on stderr (which is not a terminal here, so
  // there is no progress bar).
  Result RunOk(const std::vector<std::string>& args)
  {
    Result result = Run(args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return result;
  }

  // Every error is one line on stderr and exit status 2.
  void ExpectError(const std::vector<std::string>& args, const std::string& mention)
  {
    const Result result = Run(args);
    EXPECT_EQ(result.status, 2) << args.back() << ": " << result.err;
    EXPECT_NE(result.err.find(mention), std::string::npos) << result.err;
    EXPECT_EQ(CountLines(result.err), 1u) << result.err;
    EXPECT_EQ(result.out, "");
  }

  std::set<std::string> FilesInDir() const
  {
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(mDir))
      files.insert(entry.path().filename().string());
    return files;
  }

  fs::path MakeInput(const std::string& name, int nChannels = 2, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                     int sampleRate = kRate, size_t frames = kFrames)
  {
    const fs::path path = mDir / name;
    WriteSound(path, format, sampleRate, TestSignal(nChannels, frames, sampleRate));
    return path;
  }

  fs::path mDir;
};

TEST_F(UmbravoxRender, FlacRoundTrip)
{
  const fs::path in = MakeInput("in.flac", 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
  const fs::path out = mDir / "out.flac";
  const Result result = RunOk({"render", in, out, "--tail", "0.2"});
  EXPECT_EQ(CountLines(result.out), 1u);

  const Sound sound = ReadSound(out);
  EXPECT_EQ(sound.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
  EXPECT_EQ(sound.sampleRate, kRate);
  ASSERT_EQ(sound.channels.size(), 2u);
  EXPECT_EQ(sound.Frames(), static_cast<sf_count_t>(kFrames + 4410));
  EXPECT_NE(result.out.find(std::to_string(kFrames + 4410) + " frames"), std::string::npos) << result.out;
  EXPECT_EQ(FilesInDir(), (std::set<std::string>{"in.flac", "out.flac"}));
}

TEST_F(UmbravoxRender, MonoInIsMonoOut)
{
  const fs::path in = MakeInput("mono.wav", 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100);
  const fs::path out = mDir / "mono-out.wav";
  RunOk({"render", in, out, "--tail", "0.1", "--preset", "Ghost Choir"});
  const Sound sound = ReadSound(out);
  EXPECT_EQ(sound.channels.size(), 1u);
  EXPECT_EQ(sound.sampleRate, 44100);
  EXPECT_EQ(sound.Frames(), static_cast<sf_count_t>(kFrames + 4410));
}

TEST_F(UmbravoxRender, RawKeepsTheInputLength)
{
  const fs::path in = MakeInput("in.wav");
  const fs::path out = mDir / "raw.wav";
  RunOk({"render", in, out, "--raw", "--block", "100"});
  const Sound sound = ReadSound(out);
  EXPECT_EQ(sound.Frames(), static_cast<sf_count_t>(kFrames));
  EXPECT_EQ(sound.channels.size(), 2u);
}

TEST_F(UmbravoxRender, DefaultAddsAnAutomaticTailThatEnds)
{
  const fs::path in = MakeInput("in.wav");
  const fs::path out = mDir / "out.wav";
  const Result result = RunOk({"render", in, out});
  const Sound sound = ReadSound(out);
  // The tail lasts as long as the effect rings, never beyond the cap.
  EXPECT_GE(sound.Frames(), static_cast<sf_count_t>(kFrames));
  EXPECT_LE(sound.Frames(), static_cast<sf_count_t>(kFrames + 60 * kRate));
  EXPECT_NE(result.out.find(std::to_string(sound.Frames()) + " frames"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("tail"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("dBFS"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("real time"), std::string::npos) << result.out;
}

// Whatever the plug-in does, the automatic tail is the same render as a fixed one, cut where the
// output last rose above -90 dBFS before a quiet second, or faded where it settled on a steady
// floor or reached the cap.
TEST_F(UmbravoxRender, AutomaticTailIsAFixedOneCutShort)
{
  const fs::path in = MakeInput("in.wav");
  const Result summary = RunOk({"render", in, mDir / "auto.wav", "--preset", "Ghost Choir"});
  RunOk({"render", in, mDir / "none.wav", "--preset", "Ghost Choir", "--tail", "0"});
  const Sound automatic = ReadSound(mDir / "auto.wav");
  const Sound none = ReadSound(mDir / "none.wav");
  const size_t tail = automatic.channels[0].size() - kFrames;
  ASSERT_EQ(none.channels[0].size(), kFrames);
  for (int c = 0; c < 2; ++c)
    EXPECT_TRUE(std::equal(none.channels[c].begin(), none.channels[c].end(), automatic.channels[c].begin()));

  char seconds[32];
  std::snprintf(seconds, sizeof(seconds), "%.6f", static_cast<double>(tail + kRate) / kRate);
  RunOk({"render", in, mDir / "longer.wav", "--preset", "Ghost Choir", "--tail", seconds});
  const Sound longer = ReadSound(mDir / "longer.wav");
  ASSERT_EQ(longer.channels[0].size(), kFrames + tail + kRate);
  const size_t capped = static_cast<size_t>(std::llround(render::kTailCapSeconds * kRate));
  const size_t fade = static_cast<size_t>(std::llround(render::kCapFadeSeconds * kRate));
  const bool faded = tail == capped || summary.out.find("steady floor") != std::string::npos;
  const size_t compared = faded ? kFrames + tail - fade : kFrames + tail;
  for (int c = 0; c < 2; ++c)
    EXPECT_TRUE(std::equal(longer.channels[c].begin(), longer.channels[c].begin() + compared,
                           automatic.channels[c].begin()));
  if (faded)
    EXPECT_EQ(automatic.channels[0].back(), 0.0f);
  else if (tail > 0)
  {
    auto loud = [&](size_t s) {
      return std::fabs(longer.channels[0][s]) >= render::kQuietLevel ||
             std::fabs(longer.channels[1][s]) >= render::kQuietLevel;
    };
    EXPECT_TRUE(loud(kFrames + tail - 1));
    for (size_t s = kFrames + tail; s < longer.channels[0].size(); ++s)
      ASSERT_FALSE(loud(s)) << s;
  }
}

TEST_F(UmbravoxRender, FixedTailIsExact)
{
  const fs::path in = MakeInput("in.wav");
  for (const char* tail : {"2", "0", "0.5"})
  {
    const fs::path out = mDir / "out.wav";
    RunOk({"render", in, out, "--tail", tail});
    EXPECT_EQ(ReadSound(out).Frames(),
              static_cast<sf_count_t>(kFrames + std::llround(std::stod(tail) * kRate))) << tail;
  }
}

TEST_F(UmbravoxRender, TheExtensionChoosesTheFormat)
{
  const fs::path in = MakeInput("in.wav");
  const struct {
    const char* name;
    int format;
  } cases[] = {
    // RF64 that stays a plain (extensible) WAV below 4 GiB.
    {"a.wav", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT}, {"b.WAV", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT},
    {"c.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24}, {"d.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    {"e.aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},  {"f.AIFF", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
  };
  for (const auto& c : cases)
  {
    RunOk({"render", in, mDir / c.name, "--raw"});
    const Sound sound = ReadSound(mDir / c.name);
    EXPECT_EQ(sound.format, c.format) << c.name;
    EXPECT_EQ(sound.sampleRate, kRate) << c.name;
    EXPECT_EQ(sound.channels.size(), 2u) << c.name;
    EXPECT_EQ(sound.Frames(), static_cast<sf_count_t>(kFrames)) << c.name;
  }
  // What the tool writes it reads, Vorbis included.
  RunOk({"render", mDir / "d.ogg", mDir / "g.wav", "--raw"});
  EXPECT_EQ(ReadSound(mDir / "g.wav").Frames(), static_cast<sf_count_t>(kFrames));

  // --type where the name tells nothing, --bits for the resolution.
  const struct {
    std::vector<std::string> options;
    const char* name;
    int format;
  } chosen[] = {
    {{"--type", "flac"}, "h", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
    {{"--type", "AIFF", "--bits", "16"}, "i", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
    {{"--bits", "16"}, "j.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16},
    {{"--bits", "32"}, "k.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_32},
    {{"--bits", "float"}, "l.wav", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT},
    {{"--bits", "16"}, "m.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    {{"--bits", "32"}, "n.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_32},
  };
  for (const auto& c : chosen)
  {
    std::vector<std::string> args = {"render", in, mDir / c.name, "--raw"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Result result = RunOk(args);
    EXPECT_EQ(ReadSound(mDir / c.name).format, c.format) << c.name;
  }
  ExpectError({"render", in, mDir / "x.flac", "--bits", "32"}, "FLAC takes --bits 16 or 24");
  ExpectError({"render", in, mDir / "x.aiff", "--bits", "float"}, "AIFF takes --bits 16, 24 or 32");
  ExpectError({"render", in, mDir / "x.ogg", "--bits", "16"}, "Ogg Vorbis");
  ExpectError({"render", in, mDir / "x.wav", "--bits", "8"}, "--bits");
  ExpectError({"render", in, mDir / "x.wav", "--type", "flac"}, "does not match");
  ExpectError({"render", in, mDir / "x.wav", "--type", "mp3"}, "--type");
}

// Against the float render of the same input, whole-number output is rounded to nearest (mean
// error 0, at most half a step), and 16-bit output carries TPDF dither by default: triangular,
// one step either way, so the error's rms is sqrt(1/12 + 1/6) = 0.5 step instead of 0.29.
TEST_F(UmbravoxRender, WholeNumbersAreRoundedAnd16BitIsDithered)
{
  const fs::path in = mDir / "in.wav";
  WriteSound(in, SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, TestSignal(2, 2 * kFrames, kRate, 0.05));
  RunOk({"render", in, mDir / "float.wav", "--tail", "0"});
  const Channels reference = ReadSound(mDir / "float.wav").channels;
  struct Case {
    std::string name;
    std::vector<std::string> options;
    double steps; // full scale in steps of the format
    double rms;
  } cases[] = {
    {"dithered.wav", {"--bits", "16"}, 32768.0, 0.5},
    {"dithered.flac", {"--bits", "16"}, 32768.0, 0.5},
    {"plain.wav", {"--bits", "16", "--no-dither"}, 32768.0, std::sqrt(1.0 / 12.0)},
    {"24.wav", {"--bits", "24"}, 8388608.0, std::sqrt(1.0 / 12.0)},
    {"24.aiff", {}, 8388608.0, std::sqrt(1.0 / 12.0)},
    {"24.flac", {}, 8388608.0, std::sqrt(1.0 / 12.0)},
  };
  for (const Case& c : cases)
  {
    std::vector<std::string> args = {"render", in, mDir / c.name, "--tail", "0"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    RunOk(args);
    const Channels written = ReadSound(mDir / c.name).channels;
    ASSERT_EQ(written.size(), reference.size());
    double sum = 0.0, sumSquares = 0.0, largest = 0.0;
    size_t n = 0;
    for (size_t ch = 0; ch < written.size(); ++ch)
    {
      ASSERT_EQ(written[ch].size(), reference[ch].size()) << c.name;
      for (size_t s = 0; s < written[ch].size(); ++s)
      {
        const double error = (static_cast<double>(written[ch][s]) - reference[ch][s]) * c.steps;
        sum += error;
        sumSquares += error * error;
        largest = std::max(largest, std::fabs(error));
        ++n;
      }
    }
    const double rms = std::sqrt(sumSquares / static_cast<double>(n));
    EXPECT_NEAR(sum / static_cast<double>(n), 0.0, 0.02) << c.name;
    EXPECT_NEAR(rms, c.rms, 0.03) << c.name;
    EXPECT_LE(largest, c.rms > 0.4 ? 1.5 : 0.5 + 1e-6) << c.name;
  }
  // The same render twice, dither and all, is the same file.
  RunOk({"render", in, mDir / "again.wav", "--tail", "0", "--bits", "16"});
  EXPECT_EQ(ReadBytes(mDir / "again.wav"), ReadBytes(mDir / "dithered.wav"));
}

TEST_F(UmbravoxRender, FixedPointFormatsClipAndSaySo)
{
  // Far above full scale, on the dry path at unity gain.
  const fs::path in = mDir / "loud.wav";
  WriteSound(in, SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, TestSignal(2, kFrames, kRate, 8.0));
  auto renderDry = [&](const fs::path& from, const std::string& to) {
    return RunOk({"render", from, mDir / to, "--set", "Mix=0", "--set", "Input=100", "--set",
                  "Output=100", "--tail", "0"});
  };

  const Result flac = renderDry(in, "loud.flac");
  EXPECT_NE(flac.out.find("clipped"), std::string::npos) << flac.out;
  EXPECT_NE(flac.out.find("peak +"), std::string::npos) << flac.out;
  EXPECT_LE(render::Peak(ReadSound(mDir / "loud.flac").channels), 1.0);

  const Result aiff = renderDry(in, "loud.aiff");
  EXPECT_NE(aiff.out.find("clipped"), std::string::npos) << aiff.out;

  // Vorbis keeps such samples, but players decoding to whole numbers clip them.
  const Result ogg = renderDry(in, "loud.ogg");
  EXPECT_NE(ogg.out.find("beyond full scale"), std::string::npos) << ogg.out;
  EXPECT_NE(ogg.out.find("players"), std::string::npos) << ogg.out;

  // Float keeps what is above full scale: nothing is clipped.
  const Result wav = renderDry(in, "loud-out.wav");
  EXPECT_EQ(wav.out.find("clipped"), std::string::npos) << wav.out;
  EXPECT_GT(render::Peak(ReadSound(mDir / "loud-out.wav").channels), 4.0);

  // A quiet render says nothing of clipping.
  const Result fine = renderDry(MakeInput("quiet.wav"), "quiet.flac");
  EXPECT_EQ(fine.out.find("clipped"), std::string::npos) << fine.out;
}

TEST_F(UmbravoxRender, ParametersComeFromPresetFileAndSettings)
{
  const fs::path in = MakeInput("in.wav");
  const fs::path fxp = mDir / "p.fxp";
  ASSERT_EQ(Run({"fxp", "save", fxp, "--preset", "Poltergeist"}).status, 0);
  RunOk({"render", in, mDir / "a.wav", "--fxp", fxp, "--set", "Whisper Mode=Ghosts", "--tail", "0.1"});
  RunOk({"render", in, mDir / "b.wav", "--preset", "Demonic Whisper", "--set", "Fine=-12",
         "--set", "Octave=+1", "--tail", "0.1"});
  EXPECT_EQ(ReadSound(mDir / "a.wav").Frames(), static_cast<sf_count_t>(kFrames + 2205));
  EXPECT_EQ(ReadSound(mDir / "b.wav").Frames(), static_cast<sf_count_t>(kFrames + 2205));
}

TEST_F(UmbravoxRender, ReplacesAnExistingOutputWhole)
{
  const fs::path in = MakeInput("in.wav");
  const fs::path out = mDir / "out.wav";
  std::ofstream(out) << std::string(500000, 'x');
  RunOk({"render", in, out, "--raw"});
  EXPECT_EQ(ReadSound(out).Frames(), static_cast<sf_count_t>(kFrames));
  EXPECT_EQ(FilesInDir(), (std::set<std::string>{"in.wav", "out.wav"}));
}

TEST_F(UmbravoxRender, ErrorsLeaveNothingBehindAndTheInputAlone)
{
  const fs::path in = MakeInput("in.wav");
  const std::string before = ReadBytes(in);
  const fs::path three = MakeInput("three.wav", 3);
  const fs::path text = mDir / "text.wav";
  std::ofstream(text) << "not a sound file, only words";
  const fs::path hard = mDir / "hard.wav";
  fs::create_hard_link(in, hard);
  const fs::path link = mDir / "link.wav";
  fs::create_symlink(in.filename(), link);
  const fs::path out = mDir / "out.wav";
  const std::set<std::string> files = FilesInDir();

  // The input.
  ExpectError({"render", mDir / "missing.wav", out}, "missing.wav");
  ExpectError({"render", text, out}, "text.wav");
  ExpectError({"render", mDir, out}, "directory");
  ExpectError({"render", three, out}, "3 channels");

  // Parameters.
  ExpectError({"render", in, out, "--preset", "Nobody Home"}, "Nobody Home");
  ExpectError({"render", in, out, "--set", "Input=abc"}, "abc");
  ExpectError({"render", in, out, "--set", "Input=150"}, "range");
  ExpectError({"render", in, out, "--set", "Haunting=5"}, "Haunting");
  ExpectError({"render", in, out, "--set", "Input"}, "NAME=VALUE");
  ExpectError({"render", in, out, "--preset", "Init", "--fxp", mDir / "p.fxp"}, "--fxp");
  ExpectError({"render", in, out, "--fxp", mDir / "missing.fxp"}, "missing.fxp");
  ExpectError({"render", in, out, "--fxp", text}, "text.wav");

  // Options.
  for (const char* block : {"0", "-5", "65537", "1.5", "abc", ""})
    ExpectError({"render", in, out, "--block", block}, "--block");
  for (const char* tail : {"-1", "abc", "nan", "inf", "1e3", "3601", "2s", ""})
    ExpectError({"render", in, out, "--tail", tail}, "--tail");
  ExpectError({"render", in, out, "--raw", "--tail", "2"}, "--raw");
  ExpectError({"render", in, out, "--tail"}, "--tail");
  ExpectError({"render", in, out, "--loud"}, "--loud");
  ExpectError({"render", in}, "output");
  ExpectError({"render", in, out, mDir / "extra.wav"}, "extra.wav");

  // The output.
  ExpectError({"render", in, mDir / "out.mp3"}, "out.mp3");
  ExpectError({"render", in, mDir / "out"}, "extension");
  ExpectError({"render", in, in}, "input");
  ExpectError({"render", in, hard}, "input");
  ExpectError({"render", in, link}, "input");
  ExpectError({"render", link, in}, "input");
  ExpectError({"render", in, (mDir / "." / "in.wav").string()}, "input");
  ExpectError({"render", in, mDir / "no" / "such" / "out.wav"}, "out.wav");
  ExpectError({"render", in, in / "out.wav"}, "out.wav"); // a file where a directory should be
  if (::geteuid() != 0) // the superuser writes anywhere
  {
    const fs::path locked = mDir / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    ExpectError({"render", in, locked / "out.wav"}, "out.wav");
    EXPECT_TRUE(fs::is_empty(locked));
    fs::remove(locked);
  }

  EXPECT_EQ(FilesInDir(), files);
  EXPECT_EQ(ReadBytes(in), before);
  EXPECT_TRUE(fs::is_symlink(link));
}

// Ctrl-C, SIGTERM, a closed terminal (SIGHUP) and SIGQUIT all remove the unfinished output and
// exit as shells expect of a program a signal ended: 128 plus the signal's number. The
// unfinished output is found through its folder also when the folder was moved meanwhile.
TEST_F(UmbravoxRender, InterruptedRenderLeavesNothingBehind)
{
  const fs::path in = MakeInput("in.wav");
  const fs::path err = fs::temp_directory_path() / ("umbravox-render-int-" + std::to_string(::getpid()));
  const std::string tool = UMBRAVOX_TOOL;
  fs::create_directory(mDir / "out");
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, 0})
  {
    const bool moveFolder = signal == 0;
    if (moveFolder)
      signal = SIGTERM;
    // An hour of tail: far longer than the test waits.
    std::vector<std::string> args = {tool, "render", in, mDir / "out" / "out.wav", "--tail", "3600", "--block", "16"};
    std::vector<char*> argv;
    for (std::string& arg : args)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    // Once the temporary output is there, the render is under way.
    EXPECT_TRUE(TemporaryFileAppears(mDir / "out")) << signal;
    if (moveFolder)
      fs::rename(mDir / "out", mDir / "moved");
    ::kill(pid, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << signal;
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    const std::string message = ReadBytes(err);
    EXPECT_NE(message.find("interrupted"), std::string::npos) << message;
    EXPECT_EQ(CountLines(message), 1u) << message;
    EXPECT_TRUE(fs::is_empty(moveFolder ? mDir / "moved" : mDir / "out")) << signal;
  }
  fs::remove(err);
}

// A folder moved while a render writes into it still gets the finished file, under its name,
// with no temporary file left beside it: the file is put in place through the folder's handle.
TEST_F(UmbravoxRender, AFolderMovedDuringARenderGetsItsFile)
{
  const std::string bytes = ReadBytes(MakeInput("in.wav"));
  const fs::path fifo = mDir / "feed";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(mDir / "out");
  std::string tool = UMBRAVOX_TOOL;
  std::vector<std::string> args = {tool, "render", fifo, mDir / "out" / "out.wav", "--tail", "0", "-q"};
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv.data(), environ), 0);

  // Half the input: the render is under way and waits for the rest.
  const int feed = ::open(fifo.c_str(), O_WRONLY);
  ASSERT_GE(feed, 0);
  ASSERT_EQ(::write(feed, bytes.data(), bytes.size() / 2), static_cast<ssize_t>(bytes.size() / 2));
  EXPECT_TRUE(TemporaryFileAppears(mDir / "out"));
  fs::rename(mDir / "out", mDir / "moved");
  const size_t rest = bytes.size() - bytes.size() / 2;
  EXPECT_EQ(::write(feed, bytes.data() + bytes.size() / 2, rest), static_cast<ssize_t>(rest));
  ::close(feed);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(mDir / "moved"))
    files.insert(entry.path().filename().string());
  EXPECT_EQ(files, std::set<std::string>{"out.wav"});
  EXPECT_EQ(ReadSound(mDir / "moved" / "out.wav").Frames(), static_cast<sf_count_t>(kFrames));
}

// In a pipeline a WAV is read as it arrives and written as it is made: with only the first few
// blocks past the plug-in's latency fed in, their output is already out, before the input ends.
// The whole stream is the same render as from and to files.
TEST_F(UmbravoxRender, StreamsThroughPipesAsTheInputArrives)
{
  constexpr int kBlock = 256;
  const std::unique_ptr<Umbravox> plug(MakePlug());
  plug->HostSetSampleRate(kRate);
  plug->HostSetBlockSize(kBlock);
  plug->HostSetChannels(2, 2);
  plug->HostInitialize();
  const size_t latency = static_cast<size_t>(plug->GetLatency());

  const fs::path in = MakeInput("in.wav", 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, 4 * kFrames);
  const std::string bytes = ReadBytes(in);
  const size_t dataStart = bytes.find("data") + 8;
  const size_t firstPart = dataStart + (latency + 4 * kBlock) * 2 * sizeof(float);
  ASSERT_LT(firstPart, bytes.size() / 2);

  int toTool[2], fromTool[2];
  ASSERT_EQ(::pipe(toTool), 0);
  ASSERT_EQ(::pipe(fromTool), 0);
  std::string tool = UMBRAVOX_TOOL;
  std::vector<std::string> args = {tool, "render", "-", "-", "--type", "wav", "--tail", "0", "--block",
                                   std::to_string(kBlock), "-q"};
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toTool[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fromTool[1], STDOUT_FILENO);
  for (int fd : {toTool[0], toTool[1], fromTool[0], fromTool[1]})
    posix_spawn_file_actions_addclose(&actions, fd);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(toTool[0]);
  ::close(fromTool[1]);

  ASSERT_EQ(::write(toTool[1], bytes.data(), firstPart), static_cast<ssize_t>(firstPart));
  std::string out;
  char buffer[65536];
  // A header and a block of audio; the poll's limit only keeps a broken tool from hanging the test.
  while (out.size() < 44 + kBlock * 2 * sizeof(float))
  {
    struct pollfd ready {fromTool[0], POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 60000), 1) << "no output while the input is still open";
    const ssize_t n = ::read(fromTool[0], buffer, sizeof(buffer));
    ASSERT_GT(n, 0);
    out.append(buffer, static_cast<size_t>(n));
  }

  std::thread rest([&] {
    EXPECT_EQ(::write(toTool[1], bytes.data() + firstPart, bytes.size() - firstPart),
              static_cast<ssize_t>(bytes.size() - firstPart));
    ::close(toTool[1]);
  });
  for (ssize_t n; (n = ::read(fromTool[0], buffer, sizeof(buffer))) > 0;)
    out.append(buffer, static_cast<size_t>(n));
  rest.join();
  ::close(fromTool[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  std::ofstream(mDir / "streamed.wav", std::ios::binary) << out;
  RunOk({"render", in, mDir / "from-file.wav", "--tail", "0", "--block", std::to_string(kBlock)});
  const Sound streamed = ReadSound(mDir / "streamed.wav");
  EXPECT_EQ(streamed.Frames(), static_cast<sf_count_t>(4 * kFrames));
  EXPECT_TRUE(streamed.channels == ReadSound(mDir / "from-file.wav").channels);
}

TEST_F(UmbravoxRender, Help)
{
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"render", "--help"}, {"demo", "--help"}, {"--help"}})
  {
    const Result result = Run(args);
    EXPECT_EQ(result.status, 0) << args.front();
    EXPECT_NE(result.out.find("usage"), std::string::npos) << args.front();
  }
  const Result usage = Run({"--help"});
  EXPECT_NE(usage.out.find("render IN OUT"), std::string::npos);
  EXPECT_NE(usage.out.find("demo [DIR]"), std::string::npos);
}

TEST_F(UmbravoxRender, DemoWritesTheDryInputAndEveryPreset)
{
  const fs::path dir = mDir / "made" / "here";
  const Result result = RunOk({"demo", dir});

  const std::unique_ptr<Umbravox> plug(MakePlug());
  std::set<std::string> expected = {"00-dry.wav", "editor.png"};
  for (int p = 0; p < plug->PresetCount(); ++p)
  {
    char prefix[16];
    std::snprintf(prefix, sizeof(prefix), "%02d-", p + 1);
    std::string name = plug->GetPresetName(p);
    std::replace(name.begin(), name.end(), ' ', '-');
    expected.insert(prefix + name + ".wav");
  }
  std::set<std::string> written;
  for (const auto& entry : fs::directory_iterator(dir))
    written.insert(entry.path().filename().string());
  EXPECT_EQ(written.size(), 12u);
  EXPECT_EQ(written, expected);
  EXPECT_TRUE(written.count("02-Ghost-Choir.wav"));

  for (const std::string& name : written)
  {
    EXPECT_NE(result.out.find(name), std::string::npos) << name;
    if (name == "editor.png")
      continue; // the screenshot tests look inside pictures
    const Sound sound = ReadSound(dir / name);
    EXPECT_EQ(sound.format, SF_FORMAT_WAVEX | SF_FORMAT_FLOAT) << name;
    EXPECT_EQ(sound.sampleRate, 48000) << name;
    EXPECT_EQ(sound.channels.size(), 2u) << name;
    EXPECT_GE(sound.Frames(), 384000) << name;
  }
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 13) << result.out;
  EXPECT_NE(result.out.find("dBFS"), std::string::npos);
  // The dry file is the made-up input, sample for sample.
  EXPECT_EQ(ReadSound(dir / "00-dry.wav").channels, demo::SynthesizeDemoInput());
}

TEST_F(UmbravoxRender, DemoErrors)
{
  const fs::path file = mDir / "file";
  std::ofstream(file) << "x";
  ExpectError({"demo", file}, "file");
  ExpectError({"demo", mDir / "a", mDir / "b"}, "b");
  ExpectError({"demo", "--fast"}, "--fast");
  EXPECT_EQ(FilesInDir(), std::set<std::string>{"file"});
}

// ---------------------------------------------------------------------------------------------
// The renderer, with effects simple enough to know their output exactly.

Config TestEffectConfig()
{
  Config config = Umbravox::MakeConfig();
  config.nParams = 0;
  config.nPresets = 0;
  config.latency = 0;
  return config;
}

// Delays its input by a whole number of samples and reports that as its latency, may add echoes
// that fade by a fixed factor each period, and may hum on forever at a fixed level.
class TestEffect : public IEffectOffline {
public:
  struct Behaviour {
    int delay = 0;
    double feedback = 0.0;
    int echoPeriod = 100;
    double hum = 0.0;
    int humPeriod = 0; // if not 0: the hum is 0.4 times as loud in every other half period
  };

  explicit TestEffect(const Behaviour& behaviour)
    : IEffectOffline(TestEffectConfig(), InstanceInfo {}), mBehaviour(behaviour)
  {
  }

  void OnReset() override
  {
    SetLatency(mBehaviour.delay);
    for (int c = 0; c < 2; ++c)
    {
      mDelayLine[c].assign(static_cast<size_t>(mBehaviour.delay), 0.0);
      mEchoes[c].assign(static_cast<size_t>(mBehaviour.echoPeriod), 0.0);
    }
    mDelayPos = mEchoPos = mHumPos = 0;
    ++mResets;
  }

  void ProcessBlock(double** inputs, double** outputs, int nFrames) override
  {
    mConnected = NChannelsConnected(kRouteInput);
    mLargestBlock = std::max(mLargestBlock, nFrames);
    size_t delayPos = mDelayPos, echoPos = mEchoPos;
    for (int c = 0; c < 2; ++c)
    {
      delayPos = mDelayPos;
      echoPos = mEchoPos;
      for (int s = 0; s < nFrames; ++s)
      {
        double y = inputs[c][s];
        if (mBehaviour.delay > 0)
        {
          std::swap(y, mDelayLine[c][delayPos]);
          delayPos = (delayPos + 1) % mDelayLine[c].size();
        }
        if (mBehaviour.feedback != 0.0)
        {
          y += mBehaviour.feedback * mEchoes[c][echoPos];
          mEchoes[c][echoPos] = y;
          echoPos = (echoPos + 1) % mEchoes[c].size();
        }
        double hum = mBehaviour.hum;
        const size_t period = static_cast<size_t>(mBehaviour.humPeriod);
        if (period > 0 && (mHumPos + static_cast<size_t>(s)) % period >= period / 2)
          hum *= 0.4;
        outputs[c][s] = y + hum;
      }
    }
    mDelayPos = delayPos;
    mEchoPos = echoPos;
    mHumPos += static_cast<size_t>(nFrames);
  }

  int mConnected = 0;
  int mLargestBlock = 0;
  int mResets = 0;

private:
  Behaviour mBehaviour;
  std::vector<double> mDelayLine[2];
  std::vector<double> mEchoes[2];
  size_t mDelayPos = 0;
  size_t mEchoPos = 0;
  size_t mHumPos = 0;
};

constexpr double kTestRate = 8000.0;

render::RenderOptions Options(render::TailMode tail, double seconds = 0.0, int blockSize = 64)
{
  render::RenderOptions options;
  options.tail = tail;
  options.tailSeconds = seconds;
  options.blockSize = blockSize;
  return options;
}

TEST(RenderFunction, PassThroughHasNoTail)
{
  TestEffect effect(TestEffect::Behaviour {});
  const Channels input = TestSignal(2, 3000, kTestRate);
  render::RenderResult result;
  const Channels output = render::RenderFrames(effect, kTestRate, input, Options(render::TailMode::kAuto), &result);
  EXPECT_EQ(output, input);
  EXPECT_EQ(result.tailFrames, 0);
  EXPECT_EQ(result.inputFrames, 3000);
  EXPECT_EQ(result.outputFrames, 3000);
  EXPECT_FALSE(result.tailCapped);
  EXPECT_DOUBLE_EQ(result.peak, render::Peak(input));
  EXPECT_EQ(effect.mResets, 1); // initialised once, as a host does
}

TEST(RenderFunction, LatencyIsTakenOffTheFrontWhateverTheBlockSize)
{
  const Channels input = TestSignal(2, 5000, kTestRate);
  for (int blockSize : {1, 7, 64, 299, 300, 512, 4999, 5000, 65536})
  {
    TestEffect effect({.delay = 300});
    render::RenderResult result;
    const Channels output =
      render::RenderFrames(effect, kTestRate, input, Options(render::TailMode::kAuto, 0, blockSize), &result);
    EXPECT_EQ(result.latency, 300) << blockSize;
    EXPECT_EQ(output, input) << blockSize;
    EXPECT_LE(effect.mLargestBlock, blockSize);
  }
}

TEST(RenderFunction, RawIsWhatThePluginProduced)
{
  TestEffect effect({.delay = 300});
  const Channels input = TestSignal(2, 5000, kTestRate);
  render::RenderResult result;
  const Channels output = render::RenderFrames(effect, kTestRate, input, Options(render::TailMode::kRaw), &result);
  ASSERT_EQ(output[0].size(), 5000u);
  EXPECT_EQ(result.latency, 0);
  for (int c = 0; c < 2; ++c)
  {
    EXPECT_TRUE(std::all_of(output[c].begin(), output[c].begin() + 300, [](float x) { return x == 0.0f; }));
    EXPECT_TRUE(std::equal(output[c].begin() + 300, output[c].end(), input[c].begin()));
  }
}

TEST(RenderFunction, FixedTailIsExactWithLatency)
{
  const Channels input = TestSignal(2, 1000, kTestRate);
  for (double seconds : {0.0, 0.01, 0.5, 2.0})
  {
    TestEffect effect({.delay = 123, .feedback = 0.9, .echoPeriod = 50});
    render::RenderResult result;
    const Channels output = render::RenderFrames(effect, kTestRate, input,
                                                 Options(render::TailMode::kFixed, seconds), &result);
    const size_t tail = static_cast<size_t>(std::llround(seconds * kTestRate));
    EXPECT_EQ(output[0].size(), 1000 + tail) << seconds;
    EXPECT_EQ(output[1].size(), 1000 + tail) << seconds;
    EXPECT_EQ(result.tailFrames, static_cast<int64_t>(tail)) << seconds;
  }
}

TEST(RenderFunction, AutomaticTailEndsWhereTheLastSoundIs)
{
  // Echoes every 100 samples, each half the last: they sink below -90 dBFS after a while, with
  // silent gaps between them that must not end the tail early.
  const Channels input = TestSignal(2, 1000, kTestRate);
  TestEffect reference({.delay = 37, .feedback = 0.5, .echoPeriod = 100});
  const Channels rung = render::RenderFrames(reference, kTestRate, input, Options(render::TailMode::kFixed, 3.0));
  size_t lastLoud = 0;
  for (size_t s = 0; s < rung[0].size(); ++s)
    if (std::fabs(rung[0][s]) >= render::kQuietLevel || std::fabs(rung[1][s]) >= render::kQuietLevel)
      lastLoud = s;
  ASSERT_GT(lastLoud, 1500u);
  ASSERT_LT(lastLoud + 8000, rung[0].size());

  for (int blockSize : {1, 64, 4096})
  {
    TestEffect effect({.delay = 37, .feedback = 0.5, .echoPeriod = 100});
    render::RenderResult result;
    const Channels output = render::RenderFrames(effect, kTestRate, input,
                                                 Options(render::TailMode::kAuto, 0, blockSize), &result);
    // Everything up to the last sound, none of the quiet second after it.
    ASSERT_EQ(output[0].size(), lastLoud + 1) << blockSize;
    EXPECT_EQ(result.tailFrames, static_cast<int64_t>(lastLoud + 1 - 1000));
    EXPECT_FALSE(result.tailCapped);
    for (int c = 0; c < 2; ++c)
      EXPECT_TRUE(std::equal(output[c].begin(), output[c].end(), rung[c].begin())) << blockSize;
  }
}

TEST(RenderFunction, AutomaticTailIsCappedAndFadedOut)
{
  // A hum that swells and fades by 8 dB every half second never settles on a floor.
  TestEffect effect({.delay = 10, .hum = 0.25, .humPeriod = 4000});
  const Channels input(2, std::vector<float>(800, 0.0f));
  render::RenderResult result;
  const Channels output = render::RenderFrames(effect, kTestRate, input, Options(render::TailMode::kAuto, 0, 512), &result);

  TestEffect reference({.delay = 10, .hum = 0.25, .humPeriod = 4000});
  const Channels full = render::RenderFrames(reference, kTestRate, input,
                                             Options(render::TailMode::kFixed, render::kTailCapSeconds, 512));
  const size_t cap = static_cast<size_t>(std::llround(render::kTailCapSeconds * kTestRate));
  const size_t fade = static_cast<size_t>(std::llround(render::kCapFadeSeconds * kTestRate));
  ASSERT_EQ(output[0].size(), 800 + cap);
  EXPECT_TRUE(result.tailCapped);
  EXPECT_EQ(result.tailEnd, render::TailEnd::kCapped);
  EXPECT_EQ(result.tailFrames, static_cast<int64_t>(cap));
  for (int c = 0; c < 2; ++c)
  {
    const std::vector<float>& x = output[c];
    EXPECT_TRUE(std::equal(x.begin(), x.end() - fade, full[c].begin()));
    EXPECT_EQ(x.back(), 0.0f);
    for (size_t i = 0; i < fade; ++i)
      EXPECT_NEAR(x[x.size() - fade + i], full[c][x.size() - fade + i] * static_cast<double>(fade - 1 - i) / fade, 1e-6) << i;
  }
}

// Echoes fading into a steady hum at -70 dBFS, as the plug-in's whisper keeps a floor on
// silence: the tail ends two seconds into the floor, leaving those seconds out but for a fade.
TEST(RenderFunction, AutomaticTailEndsOnASteadyFloor)
{
  const Channels input = TestSignal(2, 1000, kTestRate);
  const TestEffect::Behaviour behaviour{.delay = 37, .feedback = 0.5, .echoPeriod = 100, .hum = 3e-4};
  TestEffect effect(behaviour);
  render::RenderResult result;
  const Channels output = render::RenderFrames(effect, kTestRate, input, Options(render::TailMode::kAuto), &result);
  EXPECT_EQ(result.tailEnd, render::TailEnd::kSteadyFloor);
  const size_t fade = static_cast<size_t>(std::llround(render::kCapFadeSeconds * kTestRate));
  // The echoes are under the hum within a quarter of a second; the floor is found two seconds
  // after, at a window's end.
  EXPECT_GE(result.tailFrames, static_cast<int64_t>(fade));
  EXPECT_LE(result.tailFrames, static_cast<int64_t>(0.5 * kTestRate) + static_cast<int64_t>(fade));

  TestEffect reference(behaviour);
  const Channels full = render::RenderFrames(reference, kTestRate, input, Options(render::TailMode::kFixed, 3.0));
  for (int c = 0; c < 2; ++c)
  {
    EXPECT_TRUE(std::equal(output[c].begin(), output[c].end() - fade, full[c].begin()));
    EXPECT_EQ(output[c].back(), 0.0f);
  }
}

TEST(RenderFunction, MonoIsOneConnectedChannel)
{
  TestEffect effect({.delay = 5});
  const Channels input = TestSignal(1, 2000, kTestRate);
  const Channels output = render::RenderFrames(effect, kTestRate, input, Options(render::TailMode::kFixed, 0.1));
  EXPECT_EQ(effect.mConnected, 1);
  ASSERT_EQ(output.size(), 1u);
  EXPECT_EQ(output[0].size(), 2800u);
  EXPECT_TRUE(std::equal(input[0].begin(), input[0].end(), output[0].begin()));
}

TEST(RenderFunction, EmptyInputStillGetsItsTail)
{
  TestEffect effect({.delay = 50});
  const Channels input(2);
  render::RenderResult result;
  const Channels output = render::RenderFrames(effect, kTestRate, input, Options(render::TailMode::kFixed, 0.5), &result);
  EXPECT_EQ(output[0].size(), 4000u);
  EXPECT_EQ(result.inputFrames, 0);
}

TEST(RenderFunction, RefusesWhatNoHostWouldDo)
{
  TestEffect effect(TestEffect::Behaviour {});
  const Channels stereo = TestSignal(2, 100, kTestRate);
  EXPECT_THROW(render::RenderFrames(effect, kTestRate, stereo, Options(render::TailMode::kAuto, 0, 0)),
               std::invalid_argument);
  EXPECT_THROW(render::RenderFrames(effect, kTestRate, stereo, Options(render::TailMode::kAuto, 0, 65537)),
               std::invalid_argument);
  EXPECT_THROW(render::RenderFrames(effect, kTestRate, stereo, Options(render::TailMode::kFixed, -1.0)),
               std::invalid_argument);
  EXPECT_THROW(render::RenderFrames(effect, kTestRate, TestSignal(3, 100, kTestRate), Options(render::TailMode::kAuto)),
               std::invalid_argument);
  EXPECT_THROW(render::RenderFrames(effect, 0.0, stereo, Options(render::TailMode::kAuto)), std::invalid_argument);
  EXPECT_THROW(render::RenderFrames(effect, kTestRate, Channels{}, Options(render::TailMode::kAuto)),
               std::invalid_argument);
}

TEST(RenderFunction, UmbravoxDryAndWetLeaveInTimeWithTheInput)
{
  const Channels input = TestSignal(2, 4096 * 6, 48000.0, 0.1);
  auto render = [&](const char* preset, std::initializer_list<std::pair<int, double>> settings) {
    const std::unique_ptr<Umbravox> plug(MakePlug());
    EXPECT_TRUE(plug->RestorePreset(preset));
    for (const auto& [param, value] : settings)
      plug->GetParam(param)->StoreValue(value);
    return render::RenderFrames(*plug, 48000.0, input, Options(render::TailMode::kFixed, 0.0, 512));
  };

  // The dry path alone is the input itself, on every preset.
  const std::unique_ptr<Umbravox> presets(MakePlug());
  for (int i = 0; i < presets->PresetCount(); ++i)
    EXPECT_EQ(render(presets->GetPresetName(i), {{kInput, 100}, {kOutput, 100}, {kMix, 0}}), input)
      << presets->GetPresetName(i);

  // An unchanged spectrum comes back 4.5 times as loud: half dry and half wet is 2.75 times the
  // input, in time with it, once eight frames overlap.
  const Channels mixed =
    render("Init", {{kInput, 100}, {kOutput, 100}, {kPossess, 0}, {kWhisper, 0}, {kMix, 50}});
  for (int c = 0; c < 2; ++c)
    for (size_t s = 8 * 512; s < input[c].size(); ++s)
      ASSERT_NEAR(mixed[c][s], 2.75 * input[c][s], 2e-6) << c << " " << s;
}

TEST(RenderFunction, UmbravoxRendersWithWhateverLatencyItReports)
{
  const Channels input = TestSignal(2, 4800, 48000.0);
  const std::unique_ptr<Umbravox> plug(MakePlug());
  ASSERT_TRUE(plug->RestorePreset("Ghost Choir"));
  render::RenderResult result;
  const Channels output = render::RenderFrames(*plug, 48000.0, input, render::RenderOptions {}, &result);
  EXPECT_EQ(result.latency, plug->GetLatency());
  EXPECT_EQ(output[0].size(), 4800u + static_cast<size_t>(result.tailFrames));
  EXPECT_LE(result.tailFrames, static_cast<int64_t>(render::kTailCapSeconds * 48000.0));
  for (const auto& channel : output)
    EXPECT_TRUE(std::all_of(channel.begin(), channel.end(), [](float x) { return std::isfinite(x); }));

  const std::unique_ptr<Umbravox> raw(MakePlug());
  EXPECT_EQ(render::RenderFrames(*raw, 48000.0, input, Options(render::TailMode::kRaw, 0, 512))[1].size(), 4800u);
}

// "Ghost Choir" whispers on over silence (its "Sizzle" keeps a floor near -73 dBFS), so only the
// steady-floor rule ends its tail: on the demo phrase, well before the 60 s cap.
TEST(RenderFunction, GhostChoirTailOnTheDemoPhraseEndsOnItsFloor)
{
  const Channels input = demo::SynthesizeDemoInput(48000.0);
  const std::unique_ptr<Umbravox> plug(MakePlug());
  ASSERT_TRUE(plug->RestorePreset("Ghost Choir"));
  render::RenderResult result;
  render::RenderFrames(*plug, 48000.0, input, render::RenderOptions {}, &result);
  EXPECT_EQ(result.tailEnd, render::TailEnd::kSteadyFloor);
  EXPECT_LE(result.tailFrames, 15 * 48000);
}

// ---------------------------------------------------------------------------------------------
// The demo input.

TEST(DemoInput, EightSecondsOfStereoAt48k)
{
  const Channels input = demo::SynthesizeDemoInput();
  ASSERT_EQ(input.size(), 2u);
  EXPECT_EQ(input[0].size(), 384000u);
  EXPECT_EQ(input[1].size(), 384000u);
  const Channels at44 = demo::SynthesizeDemoInput(44100.0);
  ASSERT_EQ(at44.size(), 2u);
  EXPECT_EQ(at44[0].size(), 352800u);
}

TEST(DemoInput, PeaksNearMinus12dBFS)
{
  EXPECT_NEAR(PeakDb(demo::SynthesizeDemoInput()), -12.0, 1.5);
  EXPECT_NEAR(PeakDb(demo::SynthesizeDemoInput(44100.0)), -12.0, 1.5);
}

TEST(DemoInput, IsTheSameEveryTime)
{
  const Channels first = demo::SynthesizeDemoInput();
  const Channels second = demo::SynthesizeDemoInput();
  ASSERT_EQ(first.size(), second.size());
  for (size_t c = 0; c < first.size(); ++c)
  {
    ASSERT_EQ(first[c].size(), second[c].size());
    EXPECT_EQ(std::memcmp(first[c].data(), second[c].data(), first[c].size() * sizeof(float)), 0);
  }
}

TEST(DemoInput, VoiceThenPauseThenChordInStereo)
{
  const Channels input = demo::SynthesizeDemoInput();
  auto span = [&](double from, double to) {
    Channels part(2);
    for (int c = 0; c < 2; ++c)
      part[c].assign(input[c].begin() + static_cast<long>(from * 48000), input[c].begin() + static_cast<long>(to * 48000));
    return part;
  };
  EXPECT_GT(PeakDb(span(0.5, 4.3)), -24.0);  // singing
  EXPECT_EQ(render::Peak(span(4.8, 5.19)), 0.0); // the pause
  EXPECT_GT(PeakDb(span(5.2, 5.6)), -18.0);  // the pluck
  EXPECT_GT(PeakDb(span(7.0, 7.4)), -50.0);  // strings still ringing
  EXPECT_LT(PeakDb(span(7.99, 8.0)), -60.0);  // faded by the end
  EXPECT_NE(input[0], input[1]);
  for (const auto& channel : input)
    EXPECT_TRUE(std::all_of(channel.begin(), channel.end(), [](float x) { return std::isfinite(x); }));
}

} // namespace
