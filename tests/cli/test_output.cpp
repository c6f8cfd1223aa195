// What the tool does to the files it writes and reads, run as a user runs it: regular files,
// symbolic links, devices made with mknod, FIFOs, read-only files and another user, pipes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sndfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "SoundFile.h"
#include "ToolRun.h"

namespace fs = std::filesystem;
using namespace umbra::clitest;

namespace {

const std::string kTool = Quote(UMBRAVOX_TOOL);

class ToolOutput : public ::testing::Test {
protected:
  void SetUp() override
  {
    mDir = fs::temp_directory_path() /
           ("umbravox-output-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(mDir);
    fs::create_directories(mDir);
    // Half a second of a quiet stereo tone at 22.05 kHz.
    mInput = mDir / "in.wav";
    SF_INFO info {};
    info.channels = 2;
    info.samplerate = 22050;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(mInput.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<float> frames(2 * 11025);
    for (size_t s = 0; s < frames.size(); ++s)
      frames[s] = 0.2f * static_cast<float>(std::sin(0.05 * static_cast<double>(s)));
    sf_writef_float(file, frames.data(), 11025);
    sf_close(file);
  }
  void TearDown() override { fs::remove_all(mDir); }

  // Runs a shell command line in which TOOL stands for the tool.
  Result Shell(std::string command)
  {
    for (size_t at = command.find("TOOL"); at != std::string::npos; at = command.find("TOOL", at))
      command.replace(at, 4, kTool);
    return RunCaptured("cd " + Quote(mDir) + " && ( " + command + " )", mDir / ".stdout", mDir / ".stderr");
  }

  Result Run(const std::vector<std::string>& args)
  {
    std::string command = "TOOL";
    for (const auto& arg : args)
      command += " " + Quote(arg);
    return Shell(command);
  }

  void ExpectError(const Result& result, const std::string& mention)
  {
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_NE(result.err.find(mention), std::string::npos) << result.err;
    EXPECT_EQ(CountLines(result.err), 1u) << result.err;
  }

  // The writing commands, each into path.
  std::vector<std::vector<std::string>> Writers(const std::string& path)
  {
    return {{"fxp", "save", path},
            {"render", mInput.string(), path, "--type", "wav", "--tail", "0"},
            {"render", mInput.string(), path, "--type", "flac", "--tail", "0"},
            {"screenshot", path, "--frames", "1"}};
  }

  fs::path mDir;
  fs::path mInput;
};

bool IsCharacterDevice(const fs::path& path)
{
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISCHR(status.st_mode);
}

} // namespace

// A symbolic link is followed: its target gets the new contents and the link stays a link, also
// when the target does not exist yet. An existing file keeps its mode and owner.
TEST_F(ToolOutput, LinksAreFollowedAndModeAndOwnerKept)
{
  std::ofstream(mDir / "target.fxp") << "old";
  fs::create_symlink("target.fxp", mDir / "link.fxp");
  fs::create_symlink("new.fxp", mDir / "dangling.fxp");
  ASSERT_EQ(Run({"fxp", "save", "link.fxp"}).status, 0);
  ASSERT_EQ(Run({"fxp", "save", "dangling.fxp"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(mDir / "link.fxp"));
  EXPECT_TRUE(fs::is_symlink(mDir / "dangling.fxp"));
  EXPECT_EQ(fs::file_size(mDir / "target.fxp"), 108u);
  EXPECT_EQ(fs::file_size(mDir / "new.fxp"), 108u);

  const fs::path secret = mDir / "secret.wav";
  std::ofstream(secret) << "old";
  ::chmod(secret.c_str(), 0600);
  const bool root = ::geteuid() == 0;
  if (root)
  {
    ASSERT_EQ(::chown(secret.c_str(), 65534, 65534), 0);
  }
  ASSERT_EQ(Run({"render", mInput.string(), secret.string(), "--tail", "0"}).status, 0);
  struct stat status {};
  ASSERT_EQ(::stat(secret.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);
  if (root)
  {
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 65534u);
  }
  EXPECT_EQ(umbra::sound::ReadSoundFile(secret.string()).Frames(), 11025);
}

// Devices are written where they are, never renamed over, never truncated: /dev/null takes
// everything, /dev/full refuses with the system's reason, and both stay devices.
TEST_F(ToolOutput, DevicesAreWrittenInPlace)
{
  const fs::path null = mDir / "null", full = mDir / "full";
  if (::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
      ::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "mknod is not allowed here: " << std::strerror(errno);
  for (const auto& args : Writers("null"))
  {
    const Result result = Run(args);
    EXPECT_EQ(result.status, 0) << args[0] << ": " << result.err;
    EXPECT_NE(result.out.find("wrote null"), std::string::npos) << result.out;
  }
  for (const auto& args : Writers("full"))
    ExpectError(Run(args), "cannot write 'full': No space left on device");
  EXPECT_TRUE(IsCharacterDevice(null));
  EXPECT_TRUE(IsCharacterDevice(full));
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(mDir))
    ++files;
  EXPECT_EQ(files, 3u); // in.wav, null, full
}

// A FIFO is a pipeline's end: the WAV comes through it whole, header and all.
TEST_F(ToolOutput, FifosAreWrittenInPlace)
{
  const fs::path fifo = mDir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto reader = std::async(std::launch::async, [&] { return ReadBytes(fifo); });
  const Result result = Run({"render", mInput.string(), "fifo", "--type", "wav", "--raw"});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string bytes = reader.get();
  EXPECT_TRUE(fs::is_fifo(fifo));
  std::ofstream(mDir / "copy.wav", std::ios::binary) << bytes;
  EXPECT_EQ(umbra::sound::ReadSoundFile((mDir / "copy.wav").string()).Frames(), 11025);
}

// What makes no sense to write into is refused with one line, before anything is done.
TEST_F(ToolOutput, DirectoriesSocketsAndUnwritableNamesAreRefused)
{
  fs::create_directory(mDir / "dir");
  for (const auto& args : Writers("dir"))
    ExpectError(Run(args), "cannot write 'dir': it is a directory");

  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address {};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (mDir / "sock").string();
  ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
  std::strcpy(address.sun_path, socketPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ExpectError(Run({"fxp", "save", "sock"}), "it is a socket");
  ::close(sock);

  ExpectError(Run({"fxp", "save", "no/such/p.fxp"}), "No such file or directory");
  ExpectError(Run({"fxp", "save", "in.wav/p.fxp"}), "Not a directory");
  ExpectError(Run({"screenshot", "x.jpg"}), "does not end in .png");
  ExpectError(Run({"fxp", "save", "p.wav"}), "does not end in .fxp");
}

// Another user may not overwrite a read-only file, even in a directory anyone may write to, and
// writes a file they may write but not replace (someone else's, in a sticky directory) in place.
TEST_F(ToolOutput, AnotherUserCannotReplaceAReadOnlyFile)
{
  std::string as; // the prefix that runs a command as an ordinary user
  if (::geteuid() == 0)
  {
    if (std::system("setpriv --reuid=65534 --regid=65534 --clear-groups true >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "no way to run as another user here";
    as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  const fs::path shared = mDir / "shared";
  fs::create_directory(shared);
  ::chmod(shared.c_str(), 01777);
  ::chmod(mDir.c_str(), 0755);
  ::chmod(mInput.c_str(), 0644);
  const fs::path readOnly = shared / "ro.fxp";
  std::ofstream(readOnly) << "keep";
  ::chmod(readOnly.c_str(), 0444);
  const fs::path open = shared / "open.fxp";
  std::ofstream(open) << "old";
  ::chmod(open.c_str(), 0666);

  ExpectError(Shell(as + "TOOL fxp save shared/ro.fxp"), "cannot write 'shared/ro.fxp': Permission denied");
  const fs::path readOnlyWav = shared / "ro.wav";
  std::ofstream(readOnlyWav) << "keep";
  ::chmod(readOnlyWav.c_str(), 0444);
  ExpectError(Shell(as + "TOOL render in.wav shared/ro.wav"), "Permission denied");
  EXPECT_EQ(ReadBytes(readOnly), "keep");
  EXPECT_EQ(ReadBytes(readOnlyWav), "keep");

  struct stat before {};
  ::stat(open.c_str(), &before);
  const Result result = Shell(as + "TOOL fxp save shared/open.fxp");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(fs::file_size(open), 108u);
  struct stat status {};
  ::stat(open.c_str(), &status);
  EXPECT_EQ(status.st_uid, before.st_uid);
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(shared))
    ++files;
  EXPECT_EQ(files, 3u);
}

// The same render twice gives the same bytes: a plain WAV without a time-stamped PEAK chunk.
TEST_F(ToolOutput, RendersAreByteForByteReproducible)
{
  ASSERT_EQ(Run({"render", "in.wav", "a.wav", "--tail", "0.5"}).status, 0);
  ::sleep(1); // a time stamp in seconds would now differ
  ASSERT_EQ(Run({"render", "in.wav", "b.wav", "--tail", "0.5"}).status, 0);
  const std::string a = ReadBytes(mDir / "a.wav");
  EXPECT_EQ(a, ReadBytes(mDir / "b.wav"));
  EXPECT_EQ(a.substr(0, 4), "RIFF");
  EXPECT_EQ(a.find("PEAK"), std::string::npos);
  EXPECT_EQ(umbra::sound::ReadSoundFile((mDir / "a.wav").string()).Frames(), 11025 + 11025);
}

// Standard input and output for pipelines: the summary goes to stderr, the format from --type.
TEST_F(ToolOutput, StandardInputAndOutput)
{
  for (const char* type : {"wav", "flac", "ogg", "aiff"})
  {
    const Result result =
      Shell(std::string("cat in.wav | TOOL render - - --raw --type ") + type + " | TOOL render - out.wav --raw");
    EXPECT_EQ(result.status, 0) << type << ": " << result.err;
    EXPECT_NE(result.err.find("wrote standard output"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("wrote out.wav"), std::string::npos) << result.out;
    EXPECT_EQ(umbra::sound::ReadSoundFile((mDir / "out.wav").string()).Frames(), 11025) << type;
  }
  ExpectError(Run({"render", "in.wav", "-"}), "--type");
  // FXP and PNG go to standard output too.
  const Result fxp = Shell("TOOL fxp save - | wc -c");
  EXPECT_EQ(fxp.out, "108\n");
}

// A reader that stops early (head) ends the writer as Ctrl-C does: one line, exit 141, nothing
// left in the temporary folder, also when whoever started it ignores SIGPIPE. Output that cannot
// be written whole is a failure, and a bad temporary folder is named.
TEST_F(ToolOutput, ClosedPipesAndUnwritableStandardOutput)
{
  fs::create_directory(mDir / "tmp");
  for (const std::string ignore : {"", "trap '' PIPE; "})
    for (const std::string command :
         {"render in.wav - --type wav --tail 2", "render in.wav - --type flac --tail 4", "screenshot - --frames 1"})
    {
      const Result result =
        Shell(ignore + "{ TMPDIR=tmp TOOL " + command + "; echo $? >status; } | head -c 10 >/dev/null");
      EXPECT_EQ(ReadBytes(mDir / "status"), "141\n") << ignore << command << ": " << result.err;
      EXPECT_NE(result.err.find("closed"), std::string::npos) << result.err;
      EXPECT_EQ(CountLines(result.err), 1u) << result.err;
      EXPECT_TRUE(fs::is_empty(mDir / "tmp")) << ignore << command;
    }

  umbra::clitest::RunCaptured(kTool + " fxp save " + Quote(mDir / "a.fxp"), mDir / ".o", mDir / ".e");
  for (const std::string command : {"params", "presets", "--help", "--version", "fxp show a.fxp"})
    ExpectError(Shell("TOOL " + command + " >/dev/full"), "cannot write 'standard output'");
  ExpectError(Shell("TOOL params >&-"), "cannot write 'standard output'");
  ExpectError(Shell("TOOL render in.wav - --type wav >&-"), "'standard output': it is closed");

  ExpectError(Shell("TMPDIR=/nonexistent TOOL render in.wav - --type flac --tail 0 >/dev/null"),
              "temporary folder '/nonexistent' (TMPDIR)");
  EXPECT_EQ(Shell("TMPDIR= TOOL render in.wav - --type flac --tail 0 >/dev/null").status, 0);
}

// Sample rates the plug-in does not run at are refused; a cut-short file is rendered as far as
// it goes, with a warning; libsndfile's messages come in this program's words.
TEST_F(ToolOutput, BadInputsAreToldPlainly)
{
  std::string wav = ReadBytes(mInput);
  const size_t fmt = wav.find("fmt ");
  ASSERT_NE(fmt, std::string::npos);
  std::string forged = wav;
  const uint32_t rate = 2000000000;
  std::memcpy(forged.data() + fmt + 12, &rate, 4);
  std::ofstream(mDir / "forged.wav", std::ios::binary) << forged;
  ExpectError(Run({"render", "forged.wav", "out.wav"}), "2000000000 Hz is outside the 8000 to 384000 Hz");
  ExpectError(Run({"screenshot", "s.png", "--audio", "forged.wav"}), "outside the 8000 to 384000 Hz");

  std::ofstream(mDir / "cut.wav", std::ios::binary) << wav.substr(0, wav.size() / 2);
  const Result cut = Run({"render", "cut.wav", "out.wav", "--raw"});
  EXPECT_EQ(cut.status, 0);
  EXPECT_NE(cut.err.find("warning: 'cut.wav' is cut short"), std::string::npos) << cut.err;
  EXPECT_EQ(CountLines(cut.err), 1u) << cut.err;

  std::ofstream(mDir / "text.wav") << "words, not sound";
  const Result text = Run({"render", "text.wav", "out.wav"});
  ExpectError(text, "cannot read 'text.wav': not a sound file");
  EXPECT_EQ(text.err.find("Format not recognised"), std::string::npos);
  // A pipe of endless zeros is refused at once, not copied until the disk is full.
  ExpectError(Shell("head -c 50000000 /dev/zero | TOOL render - out.wav"), "standard input");
}

// Many files at once, each named after its input, one line each.
TEST_F(ToolOutput, RenderIntoADirectory)
{
  fs::copy_file(mInput, mDir / "second.wav");
  fs::create_directory(mDir / "out");
  const Result result = Run({"render", "--out-dir", "out", "in.wav", "second.wav", "--type", "flac", "--tail", "0"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(CountLines(result.out), 3u) << result.out;
  EXPECT_NE(result.out.find("\n2 written, 0 failed\n"), std::string::npos) << result.out;
  EXPECT_TRUE(fs::exists(mDir / "out" / "in.flac"));
  EXPECT_TRUE(fs::exists(mDir / "out" / "second.flac"));
  ExpectError(Run({"render", "--out-dir", "out", "in.wav", "out/../in.wav"}), "both");
  ExpectError(Run({"render", "--out-dir", ".", "in.wav"}), "is the input file");
}

// What sox users reach for: levels in dB, "--opt=value", "--" before odd names, -q, and
// listings for scripts.
TEST_F(ToolOutput, OptionsAsSoxUsersTypeThem)
{
  auto peak = [&](const std::string& name) {
    double largest = 0.0;
    for (const auto& channel : umbra::sound::ReadSoundFile((mDir / name).string()).channels)
      for (float x : channel)
        largest = std::max(largest, static_cast<double>(std::fabs(x)));
    return largest;
  };
  const Result quiet = Run({"render", "in.wav", "plain.wav", "--tail=0.2", "--set=Mix=50", "-q"});
  EXPECT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.out + quiet.err, "");
  EXPECT_EQ(Run({"render", "in.wav", "soft.wav", "--tail", "0.2", "--set", "Mix=50", "--gain", "-6"}).status, 0);
  EXPECT_NEAR(peak("soft.wav") / peak("plain.wav"), std::pow(10.0, -6.0 / 20.0), 1e-5);
  EXPECT_EQ(Run({"render", "in.wav", "norm.wav", "--tail", "0.2", "--norm"}).status, 0);
  EXPECT_NEAR(peak("norm.wav"), std::pow(10.0, -1.0 / 20.0), 1e-5);
  EXPECT_EQ(Run({"render", "in.wav", "norm6.flac", "--tail", "0.2", "--norm=-6dB"}).status, 0);
  EXPECT_NEAR(peak("norm6.flac"), std::pow(10.0, -6.0 / 20.0), 1e-4);
  ExpectError(Run({"render", "in.wav", "x.wav", "--gain", "-6", "--norm"}), "--norm");
  ExpectError(Run({"render", "in.wav", "x.wav", "--gain", "loud"}), "--gain expects");
  ExpectError(Run({"render", "in.wav", "x.wav", "--norm=3"}), "--norm expects");

  fs::copy_file(mInput, mDir / "-in.wav");
  EXPECT_EQ(Run({"render", "--tail", "0", "--", "-in.wav", "-out.wav"}).status, 0);
  EXPECT_TRUE(fs::exists(mDir / "-out.wav"));

  // Full precision for programs: Ghost Choir's Possess is 91 % as a float in the file.
  ASSERT_EQ(Run({"fxp", "save", "g.fxp", "--preset=ghost-choir"}).status, 0);
  const Result tsv = Run({"fxp", "show", "g.fxp", "--format=tsv"});
  EXPECT_NE(tsv.out.find("Ghost Choir\tPossess\t91.00000262260437\t91 %\n"), std::string::npos) << tsv.out;
  const Result params = Run({"params", "--format", "tsv"});
  EXPECT_EQ(CountLines(params.out), 14u) << params.out;
  EXPECT_NE(params.out.find("4\tOctave\t\t0\t4\t2\t2\t-2|-1|0|+1|+2\n"), std::string::npos) << params.out;
  const Result json = Run({"presets", "--format", "json"});
  EXPECT_EQ(json.out.substr(0, 2), "[\n");
  EXPECT_NE(json.out.find("{\"index\": 1, \"name\": \"Ghost Choir\", \"values\": {\"Input\": 55, "),
            std::string::npos) << json.out;
  ExpectError(Run({"params", "--format", "xml"}), "--format expects tsv or json");
}

// One line for each thing wrong, in the tool's words: names with control characters escaped,
// libmpg123's chatter kept out, and silenced samples owned up to. Every render command plays
// mono and stereo only; --out-dir goes on past a bad file; every type keeps to its extension;
// Ogg repeats byte for byte.
TEST_F(ToolOutput, BadNamesAndInputsAreToldInOneLine)
{
  std::ofstream(mDir / "bad\nname.wav") << "RIFF";
  const Result named = Run({"render", "bad\nname.wav", "out.wav"});
  ExpectError(named, "'bad\\nname.wav'");

  auto writeWav = [&](const std::string& name, int channels, float value) {
    SF_INFO info {};
    info.channels = channels;
    info.samplerate = 22050;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open((mDir / name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<float> frames(static_cast<size_t>(channels) * 2205, value);
    sf_writef_float(file, frames.data(), 2205);
    sf_close(file);
  };
  writeWav("six.wav", 6, 0.1f);
  ExpectError(Run({"render", "six.wav", "out.wav"}), "only mono and stereo");
  ExpectError(Run({"screenshot", "s.png", "--audio", "six.wav", "--frames", "1"}), "only mono and stereo");
  writeWav("nan.wav", 2, std::nanf(""));
  const Result nan = Run({"render", "nan.wav", "out.wav", "-q"});
  EXPECT_EQ(nan.status, 0);
  EXPECT_NE(nan.err.find("warning: 'nan.wav' has 4410 samples that are not numbers"), std::string::npos) << nan.err;
  EXPECT_EQ(CountLines(nan.err), 1u) << nan.err;

  // Frame headers of MPEG-1 layer III with noise for their contents.
  std::string mp3;
  uint32_t noise = 1;
  for (int frame = 0; frame < 100; ++frame)
  {
    mp3 += std::string("\xFF\xFB\x90\x64", 4);
    for (int i = 0; i < 413; ++i)
      mp3 += static_cast<char>((noise = noise * 1664525u + 1013904223u) >> 24);
  }
  std::ofstream(mDir / "damaged.mp3", std::ios::binary) << mp3;
  const Result damaged = Run({"render", "damaged.mp3", "out.wav", "-q"});
  EXPECT_LE(CountLines(damaged.err), 1u) << damaged.err;
  EXPECT_EQ(damaged.err.find("libmpg123"), std::string::npos) << damaged.err;

  fs::create_directory(mDir / "out");
  const Result many = Run({"render", "--out-dir", "out", "in.wav", "missing.wav", "nan.wav", "--tail", "0"});
  EXPECT_EQ(many.status, 2);
  EXPECT_NE(many.err.find("'missing.wav'"), std::string::npos) << many.err;
  EXPECT_NE(many.out.find("2 written, 1 failed\n"), std::string::npos) << many.out;
  EXPECT_TRUE(fs::exists(mDir / "out" / "in.wav") && fs::exists(mDir / "out" / "nan.wav"));

  for (const std::string type : {"wav", "flac", "ogg", "aiff"})
    ExpectError(Run({"render", "in.wav", "out.mp3", "--type", type}), "does not match the extension");

  ASSERT_EQ(Run({"render", "in.wav", "a.ogg", "--tail", "0"}).status, 0);
  ASSERT_EQ(Shell("TOOL render in.wav - --type ogg --tail 0 > b.ogg").status, 0);
  EXPECT_TRUE(ReadBytes(mDir / "a.ogg") == ReadBytes(mDir / "b.ogg"));
  EXPECT_EQ(umbra::sound::ReadSoundFile((mDir / "b.ogg").string()).Frames(), 11025);
}

TEST_F(ToolOutput, VersionUnknownOptionsAndProgress)
{
  const Result version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "umbravox 1.0.0\n");
  for (const std::string command : {"render", "fxp save", "screenshot", "demo", "ui"})
    ExpectError(Shell("TOOL " + command + " --loud"), "unknown option '--loud' for '" + command + "'");
  ExpectError(Run({"--loud"}), "unknown option '--loud'");

  // On a terminal, a long screenshot shows how far it has got.
  if (std::system("script --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no 'script' to give the tool a terminal";
  const Result shot = Shell("script -qec \"TOOL screenshot s.png --frames 301\" /dev/null");
  EXPECT_EQ(shot.status, 0) << shot.err;
  EXPECT_NE(shot.out.find("frame 301 of 301"), std::string::npos) << shot.out;
}

// An RF64 past 4 GiB, written for real: too big and slow for every run, so it runs only when
// UMBRAVOX_BIG_TESTS is set. Below that size the same writer makes a plain WAV (above).
TEST_F(ToolOutput, WavPast4GiBBecomesRf64)
{
  if (!std::getenv("UMBRAVOX_BIG_TESTS"))
    GTEST_SKIP() << "set UMBRAVOX_BIG_TESTS=1 to write 4 GiB";
  const fs::path big = mDir / "big.wav";
  const int fd = ::open(big.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  constexpr int kBlock = 65536;
  const int64_t frames = (int64_t{1} << 32) / 8 + kBlock; // stereo float: 8 bytes a frame
  std::vector<float> left(kBlock, 0.25f), right(kBlock, -0.25f);
  const float* channels[2] = {left.data(), right.data()};
  {
    auto file = umbra::sound::SoundFile::Create(fd, big.string(), umbra::sound::Encoding::kWavFloat, 2, 48000);
    for (int64_t done = 0; done < frames; done += kBlock)
      file.Write(channels, kBlock);
    file.Close();
    EXPECT_TRUE(file.WroteRf64());
  }
  char id[4] = {};
  EXPECT_EQ(::pread(fd, id, 4, 0), 4);
  EXPECT_EQ(std::string(id, 4), "RF64");
  ::close(fd);
  SF_INFO info {};
  SNDFILE* read = sf_open(big.c_str(), SFM_READ, &info);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(info.frames, (frames + kBlock - 1) / kBlock * kBlock);
  sf_close(read);
}
