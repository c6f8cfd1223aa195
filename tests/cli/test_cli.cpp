// The umbravox tool, run as a user runs it: output, files and exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "ToolRun.h"
#include "Umbravox.h"

namespace fs = std::filesystem;
using namespace umbra;
using namespace umbra::clitest;

namespace {

class UmbravoxTool : public ::testing::Test {
protected:
  void SetUp() override
  {
    mDir = fs::temp_directory_path() /
           ("umbravox-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(mDir);
    fs::create_directories(mDir);
  }
  void TearDown() override { fs::remove_all(mDir); }

  Result Run(const std::vector<std::string>& args)
  {
    std::string command = Quote(UMBRAVOX_TOOL);
    for (const auto& arg : args)
    {
      command += ' ';
      command += Quote(arg);
    }
    return RunCaptured(command, mDir / "stdout.txt", mDir / "stderr.txt");
  }

  // Every error is one line on stderr and exit status 2.
  void ExpectError(const std::vector<std::string>& args, const std::string& mention)
  {
    const Result result = Run(args);
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_NE(result.err.find(mention), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }

  std::vector<fs::path> FilesInDir() const
  {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(mDir))
      files.push_back(entry.path().filename());
    return files;
  }

  fs::path mDir;
};

} // namespace

TEST_F(UmbravoxTool, ParamsListsEveryParameterWithItsCurrentDisplay)
{
  const Result result = Run({"params"});
  ASSERT_EQ(result.status, 0) << result.err;
  for (const char* expected : {"Index", "Name", "Unit", "Range", "Default", "Init preset", "Whisper Mode",
                               "cents", "Octave: -2, -1, 0, +1, +2", "Whisper Mode: Sizzle, Ghosts"})
    EXPECT_NE(result.out.find(expected), std::string::npos) << expected;
  // Input: unit %, range 0 to 100, its own default 100, 50 in the "Init" preset.
  EXPECT_NE(result.out.find("    0  Input         %      0 to 100             100       50\n"),
            std::string::npos) << result.out;
}

TEST_F(UmbravoxTool, PresetsListsAllTenWithDisplayValues)
{
  const Result result = Run({"presets"});
  ASSERT_EQ(result.status, 0) << result.err;
  for (const char* expected : {"Init", "Ghost Choir", "Demonic Whisper", "-15 cents", "Tritone", "Ghosts"})
    EXPECT_NE(result.out.find(expected), std::string::npos) << expected;
}

TEST_F(UmbravoxTool, SaveWritesThePresetWithSettingsApplied)
{
  const fs::path out = mDir / "haunt.fxp";
  const Result saved = Run({"fxp", "save", out, "--preset", "Poltergeist", "--set",
                            "Whisper Mode=Sizzle", "--set", "Fine=-12", "--set", "Octave=#4",
                            "--set", "Interval=Tritone", "--set", "Haunt=12.5"});
  ASSERT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(fs::file_size(out), 108u);
  EXPECT_EQ(FilesInDir(), std::vector<fs::path>{"haunt.fxp"}); // no temporary left behind

  std::unique_ptr<Umbravox> plug(MakePlug());
  ASSERT_TRUE(plug->LoadPresetFromFXP(out.c_str()));
  EXPECT_STREQ(plug->GetPresetName(0), "Poltergeist");
  // Enumerated values are stepped back to whole indices; continuous ones travel as 32-bit floats.
  EXPECT_EQ(plug->GetParam(kWhisperMode)->Value(), 0.0);
  EXPECT_EQ(plug->GetParam(kOctave)->Value(), 4.0);
  EXPECT_EQ(plug->GetParam(kInterval)->Value(), 6.0);
  EXPECT_NEAR(plug->GetParam(kFine)->Value(), -12.0, 1e-4);
  EXPECT_NEAR(plug->GetParam(kHaunt)->Value(), 12.5, 1e-4);
  EXPECT_NEAR(plug->GetParam(kInput)->Value(), 70.0, 1e-4);

  const Result shown = Run({"fxp", "show", out});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("Program: Poltergeist"), std::string::npos);
  EXPECT_NE(shown.out.find("-12 cents"), std::string::npos);
  EXPECT_NE(shown.out.find("Tritone"), std::string::npos);
}

// Names in any letter case with dashes for blanks; presets also by number and demo file name;
// numbers that equal an enumerated parameter's display text mean that text, #N its index.
TEST_F(UmbravoxTool, NamesAndValuesAsPeopleTypeThem)
{
  auto saved = [&](const std::vector<std::string>& options) {
    std::vector<std::string> args = {"fxp", "save", (mDir / "p.fxp").string()};
    args.insert(args.end(), options.begin(), options.end());
    const Result result = Run(args);
    EXPECT_EQ(result.status, 0) << result.err;
    std::unique_ptr<Umbravox> plug(MakePlug());
    EXPECT_TRUE(plug->LoadPresetFromFXP((mDir / "p.fxp").c_str()));
    return plug;
  };
  const std::pair<const char*, double> octaves[] = {{"1", 3}, {"+1", 3}, {"0", 2}, {"+0", 2},
                                                    {"-0", 2}, {"-2", 0}, {"2", 4}, {"#1", 1}};
  for (const auto& [text, index] : octaves)
    EXPECT_EQ(saved({"--set", std::string("octave=") + text})->GetParam(kOctave)->Value(), index) << text;
  const auto plug = saved({"--set", "INTERVAL=tritone", "--set", "whisper-mode=GHOSTS", "--set", "haunt=30"});
  EXPECT_EQ(plug->GetParam(kInterval)->Value(), 6.0);
  EXPECT_EQ(plug->GetParam(kWhisperMode)->Value(), 1.0);
  EXPECT_NEAR(plug->GetParam(kHaunt)->Value(), 30.0, 1e-4);
  for (const char* preset : {"1", "Ghost-Choir", "ghost choir", "02-Ghost-Choir"})
    EXPECT_STREQ(saved({"--preset", preset})->GetPresetName(0), "Ghost Choir") << preset;
  EXPECT_STREQ(saved({"--preset", "0"})->GetPresetName(0), "Init");
}

TEST_F(UmbravoxTool, SaveReplacesAnExistingFileWhole)
{
  const fs::path out = mDir / "p.fxp";
  std::ofstream(out) << std::string(5000, 'x');
  ASSERT_EQ(Run({"fxp", "save", out}).status, 0);
  EXPECT_EQ(fs::file_size(out), 108u);
}

TEST_F(UmbravoxTool, BadValuesAreErrorsNeverZero)
{
  const fs::path out = mDir / "x.fxp";
  ExpectError({"fxp", "save", out, "--set", "Input=abc"}, "Input");
  ExpectError({"fxp", "save", out, "--set", "Input=50abc"}, "50abc");
  ExpectError({"fxp", "save", out, "--set", "Input=nan"}, "nan");
  ExpectError({"fxp", "save", out, "--set", "Input=inf"}, "inf");
  ExpectError({"fxp", "save", out, "--set", "Input="}, "Input");
  ExpectError({"fxp", "save", out, "--set", "Input=150"}, "range");
  ExpectError({"fxp", "save", out, "--set", "Octave=5"}, "Octave");
  ExpectError({"fxp", "save", out, "--set", "Octave=1.5"}, "Octave");
  ExpectError({"fxp", "save", out, "--set", "Octave=#5"}, "#0 to #4");
  ExpectError({"fxp", "save", out, "--set", "Interval=6"}, "#0 to #11");
  ExpectError({"fxp", "save", out, "--set", "Interval=Tritones"}, "Tritones");
  ExpectError({"fxp", "save", out, "--set", "inputs=50"}, "inputs");
  ExpectError({"fxp", "save", out, "--set", "Input"}, "NAME=VALUE");
  ExpectError({"fxp", "save", out, "--set"}, "--set");
  ExpectError({"fxp", "save", out, "--preset", "poltergeists"}, "poltergeists");
  ExpectError({"fxp", "save", out, "--preset", "10"}, "'10'");
  ExpectError({"fxp", "save", out, "--preset", "01-Ghost-Choir"}, "01-Ghost-Choir");
  ExpectError({"fxp", "save", out, "--bogus"}, "--bogus");
  ExpectError({"fxp", "save"}, "output file");
  EXPECT_TRUE(FilesInDir().empty());
}

TEST_F(UmbravoxTool, UnreadableRefusedAndUnwritableFilesAreErrors)
{
  ExpectError({"fxp", "show", (mDir / "missing.fxp").string()}, "missing.fxp");
  const fs::path junk = mDir / "junk.fxp";
  std::ofstream(junk) << "CcnK but not really a preset file at all, just words......";
  ExpectError({"fxp", "show", junk}, "junk.fxp");
  ExpectError({"fxp", "save", (mDir / "no" / "such" / "dir.fxp").string()}, "dir.fxp");
  ExpectError({"fxp", "show"}, "fxp show");
}

// A preset file is loaded whole or refused, by 'fxp show' and 'render --fxp' alike; a file of an
// earlier version (0 in the byte-size field) still loads.
TEST_F(UmbravoxTool, CutShortOrMismatchedPresetFilesAreRefused)
{
  const fs::path whole = mDir / "ghost.fxp";
  ASSERT_EQ(Run({"fxp", "save", whole, "--preset", "Ghost Choir"}).status, 0);
  const std::string bytes = ReadBytes(whole);
  ASSERT_EQ(bytes.size(), 108u);
  EXPECT_EQ(bytes.substr(4, 4), std::string("\0\0\0\x64", 4)); // 100 bytes follow the field

  auto write = [&](const std::string& name, const std::string& content) {
    std::ofstream(mDir / name, std::ios::binary) << content;
    return (mDir / name).string();
  };
  std::string earlier = bytes;
  earlier.replace(4, 4, std::string(4, '\0'));
  const Result old = Run({"fxp", "show", write("earlier.fxp", earlier)});
  EXPECT_EQ(old.status, 0) << old.err;
  EXPECT_NE(old.out.find("Program: Ghost Choir"), std::string::npos) << old.out;

  std::string fiveParams = bytes, twoHundred = bytes, wrongSize = bytes;
  fiveParams[27] = 5;
  twoHundred[27] = static_cast<char>(200);
  wrongSize[7] = 99;
  for (const auto& [name, content, reason] :
       {std::tuple<std::string, std::string, std::string>{"57.fxp", bytes.substr(0, 57), "cut short"},
        {"70.fxp", bytes.substr(0, 70), "cut short"},
        {"five.fxp", fiveParams, "it holds 5 parameters"},
        {"200.fxp", twoHundred, "it holds 200 parameters"},
        {"size.fxp", wrongSize, "its size field says 99"}})
  {
    const std::string path = write(name, content);
    ExpectError({"fxp", "show", path}, "'" + path + "': " + reason);
    ExpectError({"render", "/dev/null", mDir / "out.wav", "--fxp", path}, "'" + path + "': " + reason);
  }
  EXPECT_FALSE(fs::exists(mDir / "out.wav"));
}

TEST_F(UmbravoxTool, UnknownCommandsAndHelp)
{
  ExpectError({"haunt"}, "haunt");
  ExpectError({"fxp", "load"}, "load");
  ExpectError({"params", "extra"}, "extra");
  EXPECT_EQ(Run({}).status, 2);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"params", "--help"}, {"presets", "--help"},
        {"fxp", "--help"}, {"fxp", "save", "--help"}, {"fxp", "show", "--help"}})
  {
    const Result result = Run(args);
    EXPECT_EQ(result.status, 0) << args.back();
    EXPECT_NE(result.out.find("usage"), std::string::npos) << args.back();
  }
}
