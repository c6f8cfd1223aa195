// The update checker against a real HTTP server on 127.0.0.1, fetched by the real curl: every
// answer the service may give, the once-per-process rule, refused override addresses (nothing is
// run for them), concurrent starts, and the download page opener.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LocalHttpServer.h"
#include "TestHelpers.h"
#include "UpdateChecker.h"

namespace umbra::test {
namespace {

// No test may reach the maker's real service: before any test runs, an address that only a
// test changes, a closed port on the loopback address.
class LoopbackOnly : public ::testing::Environment {
public:
  void SetUp() override
  {
    setenv(UpdateChecker::kAddressEnvVar, "http://127.0.0.1:9/api/version.json", 1);
    unsetenv(UpdateChecker::kNoCheckEnvVar);
  }
};
[[maybe_unused]] ::testing::Environment* const gLoopbackOnly =
  ::testing::AddGlobalTestEnvironment(new LoopbackOnly);

std::string Answer(const std::string& version, const std::string& url = "https://example.org/dl",
                   const std::string& changelog = "Fixes")
{
  return "{\"version\":\"" + version + "\",\"url\":\"" + url + "\",\"changelog\":\"" + changelog +
         "\"}\n";
}

class UpdateCheck : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(server.Running());
    setenv(UpdateChecker::kAddressEnvVar, server.VersionFileAddress().c_str(), 1);
  }
  void TearDown() override
  {
    setenv(UpdateChecker::kAddressEnvVar, "http://127.0.0.1:9/api/version.json", 1);
  }

  // A fresh checker's state after one forced check of the answer.
  int CheckAnswer(const std::string& body)
  {
    server.SetAnswer(body);
    checker.CheckForUpdates(true);
    return checker.mState.load();
  }

  LocalHttpServer server;
  UpdateChecker checker;
};

TEST_F(UpdateCheck, NewerPatchIsOfferedWithItsStringsStored)
{
  EXPECT_EQ(checker.mState.load(), UpdateChecker::kUpdateIdle);
  EXPECT_EQ(CheckAnswer(Answer("1.0.1", "https://umbravox.example/get", "Quieter ghosts")),
            UpdateChecker::kUpdateAvailable);
  EXPECT_STREQ(checker.mLatestVersion, "1.0.1");
  EXPECT_STREQ(checker.mDownloadUrl, "https://umbravox.example/get");
  EXPECT_STREQ(checker.mChangelog, "Quieter ghosts");
  EXPECT_EQ(checker.LatestVersion(), "1.0.1");
  EXPECT_EQ(server.Requests(), 1);
  EXPECT_EQ(server.LastRequestLine(), "GET /api/version.json HTTP/1.1");
}

TEST_F(UpdateCheck, SameOlderAndOtherMajorVersionsAreUpToDate)
{
  for (const char* version : {"1.0.0", "0.9.9", "2.0.0", "7"}) {
    SCOPED_TRACE(version);
    EXPECT_EQ(CheckAnswer(Answer(version)), UpdateChecker::kUpdateUpToDate);
    EXPECT_STREQ(checker.mLatestVersion, version);
  }
}

TEST_F(UpdateCheck, TwoNumbersAreEnough)
{
  // 1.10 reads as (1, 10, 0), newer than (1, 0, 0).
  EXPECT_EQ(CheckAnswer(Answer("1.10")), UpdateChecker::kUpdateAvailable);
  EXPECT_EQ(CheckAnswer(Answer("1.0")), UpdateChecker::kUpdateUpToDate);
}

TEST_F(UpdateCheck, FailuresKeepThePreviousAnswer)
{
  ASSERT_EQ(CheckAnswer(Answer("1.0.1", "https://umbravox.example/a", "First")),
            UpdateChecker::kUpdateAvailable);

  const std::vector<std::string> failing = {
    // A space after the colon leaves the pattern unmatched.
    "{\"version\": \"1.0.2\",\"url\":\"https://umbravox.example/b\",\"changelog\":\"Second\"}",
    // Nothing at all.
    "",
    // No version.
    "{\"url\":\"https://umbravox.example/c\",\"changelog\":\"Third\"}",
    // An empty version, and one without its closing quote.
    "{\"version\":\"\",\"url\":\"https://umbravox.example/d\"}",
    "{\"version\":\"1.0.3",
  };
  for (const std::string& body : failing) {
    SCOPED_TRACE(body);
    EXPECT_EQ(CheckAnswer(body), UpdateChecker::kUpdateFailed);
    EXPECT_STREQ(checker.mLatestVersion, "1.0.1");
    EXPECT_STREQ(checker.mDownloadUrl, "https://umbravox.example/a");
    EXPECT_STREQ(checker.mChangelog, "First");
  }
  EXPECT_EQ(server.Requests(), 1 + static_cast<int>(failing.size()));
}

TEST_F(UpdateCheck, AnErrorPageFails)
{
  server.SetAnswer("<html>Not here</html>", 404);
  checker.CheckForUpdates(true);
  EXPECT_EQ(checker.mState.load(), UpdateChecker::kUpdateFailed);
}

TEST_F(UpdateCheck, NoServerFails)
{
  // The port of a server that has gone away.
  std::string address;
  {
    LocalHttpServer gone;
    address = gone.VersionFileAddress();
  }
  setenv(UpdateChecker::kAddressEnvVar, address.c_str(), 1);
  checker.CheckForUpdates(true);
  EXPECT_EQ(checker.mState.load(), UpdateChecker::kUpdateFailed);
  EXPECT_TRUE(checker.mHasChecked.load());
}

TEST_F(UpdateCheck, AnOversizedAnswerIsNoVersionFile)
{
  // A version at the front, then far more than any version file holds.
  EXPECT_EQ(CheckAnswer(Answer("1.0.1") + std::string(200 * 1024, ' ')),
            UpdateChecker::kUpdateFailed);
  EXPECT_STREQ(checker.mLatestVersion, "");
  // Just under the limit is still read.
  EXPECT_EQ(CheckAnswer(Answer("1.0.1") + std::string(60 * 1024, ' ')),
            UpdateChecker::kUpdateAvailable);
}

TEST_F(UpdateCheck, MembersAnywhereInTheTextAndLongValuesCut)
{
  const std::string longUrl = "https://umbravox.example/" + std::string(300, 'u');
  const std::string longLog(600, 'c');
  const std::string longVersion = "1.0.1" + std::string(40, '9');
  // Other members, another order, line breaks: only the three patterns matter.
  const std::string body = "{\n \"name\": \"Umbra Vox\",\n \"changelog\":\"" + longLog +
                           "\",\n \"url\":\"" + longUrl + "\",\n \"version\":\"" + longVersion +
                           "\"\n}\n";
  EXPECT_EQ(CheckAnswer(body), UpdateChecker::kUpdateAvailable);
  EXPECT_EQ(std::string(checker.mLatestVersion), longVersion.substr(0, 31));
  EXPECT_EQ(std::string(checker.mDownloadUrl), longUrl.substr(0, 255));
  EXPECT_EQ(std::string(checker.mChangelog), longLog.substr(0, 511));
}

TEST_F(UpdateCheck, OnlyAForcedCheckRunsTwice)
{
  server.SetAnswer(Answer("1.0.1"));
  checker.CheckForUpdates(false);
  EXPECT_EQ(checker.mState.load(), UpdateChecker::kUpdateAvailable);
  EXPECT_EQ(server.Requests(), 1);

  // The service changes its mind; an unforced check does not ask again.
  server.SetAnswer(Answer("1.0.0"));
  checker.CheckForUpdates(false);
  EXPECT_EQ(checker.mState.load(), UpdateChecker::kUpdateAvailable);
  EXPECT_EQ(server.Requests(), 1);

  checker.CheckForUpdates(true);
  EXPECT_EQ(checker.mState.load(), UpdateChecker::kUpdateUpToDate);
  EXPECT_EQ(server.Requests(), 2);

  checker.CheckForUpdates(false);
  EXPECT_EQ(server.Requests(), 2);
}

TEST_F(UpdateCheck, AFailedCheckStillCountsAsMade)
{
  server.SetAnswer("");
  checker.CheckForUpdates(false);
  EXPECT_EQ(checker.mState.load(), UpdateChecker::kUpdateFailed);
  checker.CheckForUpdates(false);
  EXPECT_EQ(server.Requests(), 1);
}

TEST_F(UpdateCheck, TwoThreadsStartingAtOnceMakeOneCheck)
{
  server.SetAnswer(Answer("1.0.1"));
  server.SetDelay(std::chrono::milliseconds(1500));
  std::thread first([this] { checker.CheckForUpdates(true); });
  // The second finds the first running (its answer is held back) and returns at once.
  while (checker.mState.load() != UpdateChecker::kUpdateChecking)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const auto start = std::chrono::steady_clock::now();
  checker.CheckForUpdates(true);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(checker.mState.load(), UpdateChecker::kUpdateChecking);
  first.join();
  EXPECT_EQ(checker.mState.load(), UpdateChecker::kUpdateAvailable);
  EXPECT_EQ(server.Requests(), 1);

  // Many at once: still one request each round.
  server.SetDelay(std::chrono::milliseconds(300));
  std::vector<std::thread> many;
  for (int i = 0; i < 8; ++i)
    many.emplace_back([this] { checker.CheckForUpdates(true); });
  for (std::thread& t : many)
    t.join();
  EXPECT_GE(server.Requests(), 2);
  EXPECT_LE(server.Requests(), 9);
  EXPECT_EQ(checker.mState.load(), UpdateChecker::kUpdateAvailable);
}

// ---------------------------------------------------------------------------------------------
// The address

TEST_F(UpdateCheck, RefusedOverrideRunsNothing)
{
  TempDir dir;
  ASSERT_TRUE(dir.Valid());
  const std::string marker = dir.File("ran");
  server.SetAnswer(Answer("1.0.1"));
  const std::string base = server.VersionFileAddress();
  const std::vector<std::string> refused = {
    base + "?a=$(touch " + marker + ")",
    base + "\"; touch " + marker + "; echo \"",
    base + "`touch " + marker + "`",
    base + " -o " + marker,
    base + "\ntouch " + marker,
    base + "#x",
    base + "?a=b;c",
    "",
    // Too long for the command line.
    base + "?" + std::string(600, 'a'),
  };
  for (const std::string& address : refused) {
    SCOPED_TRACE(address);
    EXPECT_FALSE(UpdateChecker::IsAcceptableAddress(address));
    setenv(UpdateChecker::kAddressEnvVar, address.c_str(), 1);
    EXPECT_EQ(UpdateChecker::VersionFileAddress(), "");
    checker.CheckForUpdates(true);
    EXPECT_EQ(checker.mState.load(), UpdateChecker::kUpdateFailed);
  }
  EXPECT_EQ(server.Requests(), 0);
  struct stat st;
  EXPECT_NE(stat(marker.c_str(), &st), 0) << "a refused address reached a shell";
}

TEST_F(UpdateCheck, EveryAllowedCharacterIsAccepted)
{
  // Query characters the address may carry reach the server unchanged.
  const std::string address = server.VersionFileAddress() + "?v=0.9.2&os=linux-x86_64+a~b%20c";
  ASSERT_TRUE(UpdateChecker::IsAcceptableAddress(address));
  setenv(UpdateChecker::kAddressEnvVar, address.c_str(), 1);
  EXPECT_EQ(CheckAnswer(Answer("1.0.1")), UpdateChecker::kUpdateAvailable);
  EXPECT_EQ(server.LastRequestLine(),
            "GET /api/version.json?v=0.9.2&os=linux-x86_64+a~b%20c HTTP/1.1");
}

TEST(UpdateAddress, TheServiceUnlessOverridden)
{
  const std::string saved = std::getenv(UpdateChecker::kAddressEnvVar);
  unsetenv(UpdateChecker::kAddressEnvVar);
  EXPECT_EQ(UpdateChecker::VersionFileAddress(), UpdateChecker::kServiceAddress);
  EXPECT_EQ(UpdateChecker::HasService(), *UpdateChecker::kServiceAddress != '\0');
  setenv(UpdateChecker::kAddressEnvVar, saved.c_str(), 1);
  EXPECT_EQ(UpdateChecker::VersionFileAddress(), saved);
  EXPECT_TRUE(UpdateChecker::HasService());
}

// ---------------------------------------------------------------------------------------------
// Versions, the start-up check and the process's instance

TEST(UpdateVersion, ReadAsThreeDottedNumbers)
{
  int v[3];
  EXPECT_EQ(ParseDottedVersion("0.9.2", v), 3);
  EXPECT_EQ(v[0], 0);
  EXPECT_EQ(v[1], 9);
  EXPECT_EQ(v[2], 2);
  EXPECT_EQ(ParseDottedVersion("0.10", v), 2);
  EXPECT_EQ(v[1], 10);
  EXPECT_EQ(v[2], 0);
  EXPECT_EQ(ParseDottedVersion("7", v), 1);
  EXPECT_EQ(ParseDottedVersion("v1.2.3", v), 0);
  EXPECT_EQ(ParseDottedVersion("1.2.3.4-beta", v), 3);
  EXPECT_EQ(ParseDottedVersion(" 1. 2", v), 2);
  EXPECT_EQ(ParseDottedVersion("1 .2", v), 1);
  // Far beyond int: saturated, never overflowing.
  EXPECT_EQ(ParseDottedVersion("99999999999999999999.1", v), 2);
  EXPECT_EQ(v[0], INT_MAX);
  EXPECT_EQ(ParseDottedVersion("0.-99999999999999999999", v), 2);
  EXPECT_EQ(v[1], INT_MIN);
}

TEST(UpdateParse, StoresNothingWithoutAVersion)
{
  UpdateChecker checker;
  EXPECT_FALSE(checker.ParseVersionJSON("{\"url\":\"https://x\",\"changelog\":\"c\"}"));
  EXPECT_STREQ(checker.mDownloadUrl, "");
  EXPECT_TRUE(checker.ParseVersionJSON("{\"version\":\"1.0\"}"));
  EXPECT_STREQ(checker.mLatestVersion, "1.0");
  EXPECT_STREQ(checker.mDownloadUrl, "");
  EXPECT_STREQ(checker.mChangelog, "");
  // Nothing to parse: the fetch never ran.
  EXPECT_EQ(checker.mState.load(), UpdateChecker::kUpdateIdle);
  EXPECT_FALSE(checker.mHasChecked.load());
}

TEST(UpdateStartup, SkippedWhenAskedThenOncePerProcess)
{
  LocalHttpServer server;
  ASSERT_TRUE(server.Running());
  server.SetAnswer(Answer("1.0.1"));
  setenv(UpdateChecker::kAddressEnvVar, server.VersionFileAddress().c_str(), 1);

  UpdateChecker& shared = UpdateChecker::Get();
  EXPECT_EQ(&shared, &UpdateChecker::Get());

  setenv(UpdateChecker::kNoCheckEnvVar, "1", 1);
  RunStartupUpdateCheck();
  EXPECT_EQ(shared.mState.load(), UpdateChecker::kUpdateIdle);
  EXPECT_FALSE(shared.mHasChecked.load());
  EXPECT_EQ(server.Requests(), 0);

  // A build without a service address asks nobody, and the state stays without a badge.
  if (*UpdateChecker::kServiceAddress == '\0') {
    unsetenv(UpdateChecker::kNoCheckEnvVar);
    unsetenv(UpdateChecker::kAddressEnvVar);
    RunStartupUpdateCheck();
    EXPECT_EQ(shared.mState.load(), UpdateChecker::kUpdateIdle);
    EXPECT_FALSE(shared.mHasChecked.load());
    setenv(UpdateChecker::kAddressEnvVar, server.VersionFileAddress().c_str(), 1);
  }

  unsetenv(UpdateChecker::kNoCheckEnvVar);
  RunStartupUpdateCheck();
  EXPECT_EQ(shared.mState.load(), UpdateChecker::kUpdateAvailable);
  // Every later instance of the process finds the check made.
  RunStartupUpdateCheck();
  RunStartupUpdateCheck();
  EXPECT_EQ(server.Requests(), 1);

  setenv(UpdateChecker::kAddressEnvVar, "http://127.0.0.1:9/api/version.json", 1);
}

// ---------------------------------------------------------------------------------------------
// The download page opener

TEST(DownloadOpener, OnlyWebAddressesOfBoundedLength)
{
  EXPECT_TRUE(IsOpenableDownloadAddress("https://umbravox.example/download"));
  EXPECT_TRUE(IsOpenableDownloadAddress("http://umbravox.example/?a=b&c=$(d)"));
  EXPECT_TRUE(IsOpenableDownloadAddress("https://x/" + std::string(501, 'a'))); // 511
  EXPECT_FALSE(IsOpenableDownloadAddress("https://x/" + std::string(502, 'a')));
  EXPECT_FALSE(IsOpenableDownloadAddress(""));
  EXPECT_FALSE(IsOpenableDownloadAddress("--help"));
  EXPECT_FALSE(IsOpenableDownloadAddress("-https://umbravox.example/"));
  EXPECT_FALSE(IsOpenableDownloadAddress("file:///etc/passwd"));
  EXPECT_FALSE(IsOpenableDownloadAddress("javascript:alert(1)"));
  EXPECT_FALSE(IsOpenableDownloadAddress("HTTPS://umbravox.example/"));
  EXPECT_FALSE(IsOpenableDownloadAddress("https://umbravox.example/ --x"));
  EXPECT_FALSE(IsOpenableDownloadAddress("https://umbravox.example/\n"));
}

// A stand-in xdg-open first on PATH writes how many arguments it got and each on its own line.
class FakeOpener : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(dir.Valid());
    log = dir.File("opened");
    const std::string script = dir.File("xdg-open");
    std::ofstream(script) << "#!/bin/sh\n{ echo \"$#\"; for a in \"$@\"; do echo \"$a\"; done; } > \""
                          << log << ".tmp\" && mv \"" << log << ".tmp\" \"" << log << "\"\n";
    chmod(script.c_str(), 0755);
    const char* path = std::getenv("PATH");
    savedPath = path ? path : "";
    setenv("PATH", (dir.Path().string() + ":" + savedPath).c_str(), 1);
  }
  void TearDown() override
  {
    setenv("PATH", savedPath.c_str(), 1);
    SetDownloadOpenerHook({});
  }

  // The opener's log, waited for up to five seconds; empty when it never came.
  std::string WaitForLog(std::chrono::milliseconds limit = std::chrono::milliseconds(5000))
  {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      std::ifstream in(log);
      if (in) {
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
  }

  TempDir dir;
  std::string log;
  std::string savedPath;
};

TEST_F(FakeOpener, TheAddressIsTheOnlyArgumentAndNoShellSeesIt)
{
  const std::string url =
    "https://umbravox.example/get?a=1&b=$(touch${IFS}" + dir.File("bad") + ");c=`id`|x";
  ASSERT_TRUE(OpenDownloadPage(url));
  EXPECT_EQ(WaitForLog(), "1\n" + url + "\n");
  struct stat st;
  EXPECT_NE(stat(dir.File("bad").c_str(), &st), 0);
}

TEST_F(FakeOpener, RefusedAddressesStartNothing)
{
  for (const std::string url : {"-h", "--help", "ftp://umbravox.example/", "",
                                "https://umbravox.example/ two"}) {
    SCOPED_TRACE(url);
    EXPECT_FALSE(OpenDownloadPage(url));
  }
  EXPECT_EQ(WaitForLog(std::chrono::milliseconds(300)), "");
}

TEST_F(FakeOpener, AHookTakesThePlaceOfTheOpener)
{
  std::vector<std::string> seen;
  SetDownloadOpenerHook([&seen](const std::string& url) {
    seen.push_back(url);
    return true;
  });
  EXPECT_TRUE(OpenDownloadPage("https://umbravox.example/a"));
  EXPECT_FALSE(OpenDownloadPage("-x"));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "https://umbravox.example/a");
  EXPECT_EQ(WaitForLog(std::chrono::milliseconds(200)), "");
}

} // namespace
} // namespace umbra::test
