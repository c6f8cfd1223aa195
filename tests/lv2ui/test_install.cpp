// The install rules as a packager and a user run them, with a prefix, a staging folder and a home
// of the test's own: the bundle lands where LV2 hosts look for it, and nothing is written
// anywhere else.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>


namespace fs = std::filesystem;

namespace {

// Every file below folder, as paths relative to it.
std::vector<std::string> FilesBelow(const fs::path& folder)
{
  std::vector<std::string> files;
  if (fs::exists(folder))
    for (const auto& entry : fs::recursive_directory_iterator(folder))
      if (!entry.is_directory())
        files.push_back(fs::relative(entry.path(), folder).string());
  return files;
}

class Install : public ::testing::Test {
protected:
  void SetUp() override
  {
    mDir = fs::temp_directory_path() / ("umbravox-install-" + std::to_string(::getpid()));
    fs::remove_all(mDir);
    fs::create_directories(mDir / "home");
  }
  void TearDown() override { fs::remove_all(mDir); }

  // cmake --install of the build with these arguments, HOME set to the test's own.
  bool CMakeInstall(const std::string& arguments, const std::string& environment = "")
  {
    const std::string command = "HOME='" + (mDir / "home").string() + "' " + environment +
                                " cmake --install '" UMBRAVOX_BINARY_DIR "' " + arguments + " >/dev/null";
    return std::system(command.c_str()) == 0;
  }

  void ExpectBundleIn(const fs::path& lv2)
  {
    for (const char* file : {"manifest.ttl", "umbravox.ttl", "presets.ttl", "umbravox.so", "umbravox_ui.so",
                             "resources/GhostIcon.png", "resources/Roboto-Regular.ttf"})
      EXPECT_TRUE(fs::exists(lv2 / "umbravox.lv2" / file)) << lv2 / "umbravox.lv2" / file;
  }

  fs::path mDir;
};

TEST_F(Install, APrefixGetsTheBundleInItsLibraryFolderAndNothingIsWrittenOutside)
{
  ASSERT_TRUE(CMakeInstall("--prefix '" + (mDir / "prefix").string() + "'"));
  ExpectBundleIn(mDir / "prefix" / UMBRAVOX_LV2_INSTALL_DIR);
  EXPECT_TRUE(FilesBelow(mDir / "home").empty());
  for (const std::string& file : FilesBelow(mDir))
    EXPECT_EQ(file.rfind("prefix/", 0), 0u) << file;
}

TEST_F(Install, DestdirStagesAPackagersInstall)
{
  ASSERT_TRUE(CMakeInstall("--prefix /usr", "DESTDIR='" + (mDir / "stage").string() + "'"));
  ExpectBundleIn(mDir / "stage" / "usr" / UMBRAVOX_LV2_INSTALL_DIR);
  EXPECT_TRUE(FilesBelow(mDir / "home").empty());
  for (const std::string& file : FilesBelow(mDir))
    EXPECT_EQ(file.rfind("stage/usr/", 0), 0u) << file;
}

TEST_F(Install, TheUserComponentGoesToHomeLv2)
{
  ASSERT_TRUE(CMakeInstall("--component lv2-user"));
  ExpectBundleIn(mDir / "home" / ".lv2");
  for (const std::string& file : FilesBelow(mDir))
    EXPECT_EQ(file.rfind("home/.lv2/umbravox.lv2/", 0), 0u) << file;
}

} // namespace
