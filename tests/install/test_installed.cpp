// Umbra Vox as a user gets it. Installed with cmake --install under a prefix of the test's own and
// then moved elsewhere whole, and unpacked from the Debian package cpack makes of this build: the
// programs run from there on their own files alone (no UMBRAVOX_RESOURCES, nothing of the build
// tree), the editor they draw equals the build tree's, the bundle renders in lv2apply, and the
// desktop files, man pages and package pass the tools that judge them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "RenderFiles.h"
#include "SoundFile.h"
#include "UmbravoxRelease.h"

namespace fs = std::filesystem;

namespace {

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

// What a shell command prints on its standard output, and its exit status.
struct Result {
  std::string out;
  int status = -1;
};

Result Shell(const std::string& command)
{
  Result result;
  if (FILE* pipe = popen(command.c_str(), "r"))
  {
    char buffer[512];
    while (fgets(buffer, sizeof(buffer), pipe))
      result.out += buffer;
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return result;
}

bool OnPath(const char* program)
{
  return Shell(std::string("command -v ") + program + " >/dev/null 2>&1").status == 0;
}

std::string ReadFile(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Installed : public ::testing::Test {
protected:
  void SetUp() override
  {
    mDir = fs::temp_directory_path() / ("umbravox-installed-" + std::to_string(::getpid()));
    fs::remove_all(mDir);
    fs::create_directories(mDir / "home");
    // A user's own environment: nothing points at the build tree, nothing asks the network.
    setenv("HOME", (mDir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (mDir / "home" / ".config").c_str(), 1);
    setenv("UMBRAVOX_NO_UPDATE_CHECK", "1", 1);
    unsetenv("UMBRAVOX_RESOURCES");
    unsetenv("UMBRAVOX_UPDATE_URL");
  }
  void TearDown() override { fs::remove_all(mDir); }

  // One second of a decaying chord, stereo at 48 kHz.
  fs::path WriteInput()
  {
    const fs::path path = mDir / "in.wav";
    umbra::test::WriteChordFile(path, 48000);
    return path;
  }

  // Everything a user runs, from the tree whose bin/, lib/ and share/ are below prefix.
  void ExpectWorkingInstall(const fs::path& prefix)
  {
    const fs::path bin = prefix / "bin";
    const fs::path share = prefix / "share";
    const fs::path bundle = prefix / UMBRAVOX_LV2_INSTALL_DIR / "umbravox.lv2";
    for (const fs::path& file :
         {bin / "umbravox", bin / "umbravox-live", bundle / "manifest.ttl", bundle / "umbravox.so",
          bundle / "umbravox_ui.so", bundle / "resources" / "GhostIcon.png",
          share / "umbravox" / "resources" / "Cinzel-Regular.ttf",
          share / "man" / "man1" / "umbravox.1.gz", share / "man" / "man1" / "umbravox-live.1.gz",
          share / "bash-completion" / "completions" / "umbravox",
          share / "applications" / "umbravox-live.desktop",
          share / "icons" / "hicolor" / "scalable" / "apps" / "umbravox-live.svg",
          share / "metainfo" / "org.marrowfield.UmbraVox.metainfo.xml",
          share / "doc" / "umbravox" / "README.md", share / "doc" / "umbravox" / "LICENSE",
          share / "doc" / "umbravox" / "CHANGELOG.md", share / "doc" / "umbravox" / "copyright"})
      EXPECT_TRUE(fs::is_regular_file(file)) << file;

    const std::string version = umbra::kUmbravoxVersion;
    EXPECT_EQ(Shell(Quote(bin / "umbravox") + " --version").out, "umbravox " + version + "\n");
    EXPECT_EQ(Shell(Quote(bin / "umbravox-live") + " --version").out, "umbravox-live " + version + "\n");
    EXPECT_NE(Shell(Quote(bin / "umbravox-live") + " --help").out.find("UMBRAVOX_NO_UPDATE_CHECK=1"),
              std::string::npos);

    // The same render, the same bytes.
    const fs::path input = WriteInput();
    const std::string renderArgs = " --preset 'Ghost Choir' --tail 1 --quiet";
    ASSERT_EQ(Shell(Quote(bin / "umbravox") + " render " + Quote(input) + " " +
                  Quote(mDir / "installed.wav") + renderArgs).status, 0);
    ASSERT_EQ(Shell(UMBRAVOX_TOOL " render " + Quote(input) + " " + Quote(mDir / "built.wav") +
                  renderArgs).status, 0);
    EXPECT_EQ(ReadFile(mDir / "installed.wav"), ReadFile(mDir / "built.wav"));

    // The editor from the installed fonts and pictures, byte for byte the build tree's picture.
    const std::string shotArgs = " --preset 'Ghost Choir' --frames 5 --show about --quiet";
    ASSERT_EQ(Shell(Quote(bin / "umbravox") + " screenshot " + Quote(mDir / "installed.png") +
                  shotArgs).status, 0);
    ASSERT_EQ(Shell(UMBRAVOX_TOOL " screenshot " + Quote(mDir / "built.png") + shotArgs).status, 0);
    EXPECT_EQ(ReadFile(mDir / "installed.png"), ReadFile(mDir / "built.png"));

    // Without its resources an install says so in one line instead of drawing a blank editor.
    fs::rename(share / "umbravox", share / "umbravox.away");
    const Result missing = Shell(Quote(bin / "umbravox") + " screenshot " + Quote(mDir / "blank.png") +
                               " 2>&1");
    fs::rename(share / "umbravox.away", share / "umbravox");
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(std::count(missing.out.begin(), missing.out.end(), '\n'), 1) << missing.out;
    EXPECT_NE(missing.out.find("fonts and pictures are missing"), std::string::npos) << missing.out;
    EXPECT_FALSE(fs::exists(mDir / "blank.png"));

    // The installed bundle, alone on LV2_PATH, in LV2's own host.
    const Result applied =
      Shell("LV2_PATH=" + Quote(prefix / UMBRAVOX_LV2_INSTALL_DIR) + " lv2apply -i " + Quote(input) +
          " -o " + Quote(mDir / "lv2.wav") + " urn:marrowfield:umbravox 2>&1");
    ASSERT_EQ(applied.status, 0) << applied.out;
    ASSERT_EQ(Shell(Quote(bin / "umbravox") + " render " + Quote(input) + " " + Quote(mDir / "raw.wav") +
                  " --raw --quiet").status, 0);
    EXPECT_LE(umbra::test::MaxRenderDifference(mDir / "lv2.wav", mDir / "raw.wav"), 1e-6);

    const std::string ttl = ReadFile(bundle / "umbravox.ttl");
    EXPECT_NE(ttl.find("doap:license <http://spdx.org/licenses/GPL-3.0-or-later>"), std::string::npos);
    EXPECT_NE(ttl.find("lv2:minorVersion " + std::to_string(umbra::kUmbravoxVersionMinor) + " ;\n" +
                       "  lv2:microVersion " + std::to_string(umbra::kUmbravoxVersionPatch) + " ;"),
              std::string::npos);
    // No placeholder address anywhere, programs and plug-in included.
    for (const auto& entry : fs::recursive_directory_iterator(prefix))
    {
      if (!entry.is_regular_file())
        continue;
      EXPECT_EQ(ReadFile(entry.path()).find(".example"), std::string::npos) << entry.path();
    }

    // The judges of desktop files and man pages.
    const Result desktop =
      Shell("desktop-file-validate " + Quote(share / "applications" / "umbravox-live.desktop") + " 2>&1");
    EXPECT_EQ(desktop.status, 0) << desktop.out;
    EXPECT_EQ(desktop.out, "");
    const Result metainfo = Shell("appstreamcli validate --no-net " +
                                Quote(share / "metainfo" / "org.marrowfield.UmbraVox.metainfo.xml") +
                                " 2>&1");
    EXPECT_EQ(metainfo.status, 0) << metainfo.out;
    for (const char* page : {"umbravox.1.gz", "umbravox-live.1.gz"})
    {
      const Result man = Shell("MANWIDTH=80 man --warnings -l " + Quote(share / "man" / "man1" / page) +
                             " 2>&1 >/dev/null");
      EXPECT_EQ(man.status, 0) << page;
      EXPECT_EQ(man.out, "") << page;
    }
  }

  fs::path mDir;
};

TEST_F(Installed, FromAPrefixMovedElsewhere)
{
  ASSERT_EQ(Shell("cmake --install '" UMBRAVOX_BINARY_DIR "' --prefix " + Quote(mDir / "first") +
                " >/dev/null").status, 0);
  // Relocatable: nothing in it names the folder it was installed to.
  fs::rename(mDir / "first", mDir / "moved");
  ExpectWorkingInstall(mDir / "moved");
}

TEST_F(Installed, FromTheDebianPackage)
{
  for (const char* tool : {"cpack", "dpkg-deb", "dpkg-shlibdeps"})
    ASSERT_TRUE(OnPath(tool)) << tool << " is missing: run scripts/setup";
  const Result packed = Shell("cpack --config '" UMBRAVOX_BINARY_DIR "/CPackConfig.cmake' -G DEB -B " +
                            Quote(mDir / "package") + " 2>&1");
  ASSERT_EQ(packed.status, 0) << packed.out;
  const fs::path deb =
    mDir / "package" / ("umbravox_" + std::string(umbra::kUmbravoxVersion) + "_amd64.deb");
  ASSERT_TRUE(fs::exists(deb)) << packed.out;

  // Dependencies worked out from the shared libraries the programs and plug-in link.
  const std::string depends = Shell("dpkg-deb -f " + Quote(deb) + " Depends").out;
  for (const char* library : {"libc6", "libcairo2", "libsndfile1", "libjack"})
    EXPECT_NE(depends.find(library), std::string::npos) << depends;

  if (OnPath("lintian"))
  {
    const Result lint = Shell("lintian --fail-on error --tag-display-limit 0 " + Quote(deb) + " 2>&1");
    EXPECT_EQ(lint.status, 0) << lint.out;
  }

  ASSERT_EQ(Shell("dpkg-deb -x " + Quote(deb) + " " + Quote(mDir / "root")).status, 0);
  ExpectWorkingInstall(mDir / "root" / "usr");
}

} // namespace
