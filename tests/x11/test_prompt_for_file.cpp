// Asking for a file: the hook that tests use, and the desktop chooser run as a program.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Platforms/PromptForFile.h"

namespace fs = std::filesystem;
using namespace umbra::ui;

namespace {

class PromptForFileTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    mDir = fs::temp_directory_path() / ("umbravox-prompt-" + std::to_string(::getpid()));
    fs::create_directories(mDir);
    const char* path = std::getenv("PATH");
    mSavedPath = path ? path : "";
  }
  void TearDown() override
  {
    SetFileChooserHook({});
    setenv("PATH", mSavedPath.c_str(), 1);
    fs::remove_all(mDir);
  }

  // A stand-in chooser program on an otherwise empty PATH: it writes its arguments, one a line,
  // to args.txt and answers with output and status.
  void InstallFakeChooser(const std::string& name, const std::string& output, int status)
  {
    const fs::path program = mDir / name;
    std::ofstream script(program);
    script << "#!/bin/sh\n"
           << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << (mDir / "args.txt").string() << "'\n"
           << "printf '%s\\n' '" << output << "'\n"
           << "exit " << status << "\n";
    script.close();
    fs::permissions(program, fs::perms::owner_all);
    setenv("PATH", mDir.c_str(), 1);
  }

  std::string Arguments()
  {
    std::ifstream in(mDir / "args.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path mDir;
  std::string mSavedPath;
};

TEST_F(PromptForFileTest, HookChoosesAndSplitsTheResult)
{
  IFileRequest seen;
  SetFileChooserHook([&](const IFileRequest& request) -> std::optional<std::string> {
    seen = request;
    return std::string("/home/ghost/presets/Frozen.fxp");
  });
  std::string fileName = "Init.fxp", path = "/home/ghost";
  std::string completedName, completedPath;
  EXPECT_TRUE(PromptForFile(fileName, path, EFileAction::kSave, "fxp",
                            [&](const std::string& n, const std::string& p) {
                              completedName = n;
                              completedPath = p;
                            }));
  EXPECT_EQ(seen.action, EFileAction::kSave);
  EXPECT_EQ(seen.fileName, "Init.fxp");
  EXPECT_EQ(seen.directory, "/home/ghost");
  EXPECT_EQ(seen.extensions, "fxp");
  EXPECT_EQ(fileName, "Frozen.fxp");
  EXPECT_EQ(path, "/home/ghost/presets");
  EXPECT_EQ(completedName, "Frozen.fxp");
  EXPECT_EQ(completedPath, "/home/ghost/presets");
}

TEST_F(PromptForFileTest, CancelEmptiesTheNameAndKeepsThePath)
{
  SetFileChooserHook([](const IFileRequest&) -> std::optional<std::string> { return std::nullopt; });
  std::string fileName = "Init.fxp", path = "/home/ghost";
  EXPECT_FALSE(PromptForFile(fileName, path, EFileAction::kOpen, "fxp"));
  EXPECT_EQ(fileName, "");
  EXPECT_EQ(path, "/home/ghost");
}

TEST_F(PromptForFileTest, ZenityIsRunWithTheFilterAndItsAnswerTaken)
{
  InstallFakeChooser("zenity", "/tmp/ghosts/Whisper.fxp", 0);
  std::string fileName, path = "/tmp";
  EXPECT_TRUE(PromptForFile(fileName, path, EFileAction::kOpen, "fxp .wav"));
  EXPECT_EQ(fileName, "Whisper.fxp");
  EXPECT_EQ(path, "/tmp/ghosts");
  // Without a shell, each argument arrives whole, spaces included.
  EXPECT_EQ(Arguments(), "--file-selection\n--filename=/tmp/\n--file-filter=*.fxp *.wav\n");
}

TEST_F(PromptForFileTest, ZenityForSavingSuggestsTheName)
{
  InstallFakeChooser("zenity", "/tmp/Mine.fxp", 0);
  std::string fileName = "Mine.fxp", path = "/tmp";
  EXPECT_TRUE(PromptForFile(fileName, path, EFileAction::kSave, "fxp"));
  EXPECT_EQ(Arguments(), "--file-selection\n--save\n--filename=/tmp/Mine.fxp\n--file-filter=*.fxp\n");
}

TEST_F(PromptForFileTest, ChooserClosedWithoutChoiceIsCancelled)
{
  InstallFakeChooser("zenity", "", 1);
  std::string fileName = "x.fxp", path = "/tmp";
  EXPECT_FALSE(PromptForFile(fileName, path, EFileAction::kOpen, "fxp"));
  EXPECT_EQ(fileName, "");
}

TEST_F(PromptForFileTest, KDialogWhenZenityIsMissing)
{
  InstallFakeChooser("kdialog", "/tmp/Drone.fxp", 0);
  std::string fileName, path = "/tmp";
  EXPECT_TRUE(PromptForFile(fileName, path, EFileAction::kOpen, "fxp"));
  EXPECT_EQ(fileName, "Drone.fxp");
  EXPECT_EQ(Arguments(), "--getopenfilename\n/tmp/\n*.fxp\n");
}

TEST_F(PromptForFileTest, NoChooserInstalledCancelsAndSaysSoOnce)
{
  setenv("PATH", mDir.c_str(), 1);
  ::testing::internal::CaptureStderr();
  std::string fileName = "a.fxp", path = "/tmp";
  EXPECT_FALSE(PromptForFile(fileName, path, EFileAction::kOpen, "fxp"));
  fileName = "b.fxp";
  EXPECT_FALSE(PromptForFile(fileName, path, EFileAction::kSave, "fxp"));
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(fileName, "");
  EXPECT_NE(said.find("no file chooser"), std::string::npos);
  EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
}

} // namespace
