#include "UpdateChecker.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace umbra {

namespace {

// The command and its buffer: the address is pasted between the quotes.
constexpr const char* kCommandFormat = "curl -s --max-time 5 \"%s\" 2>/dev/null";
constexpr size_t kCommandSize = 512;
constexpr size_t kReadChunk = 256;
// A version file is a few hundred bytes; an answer beyond this is no version file, and reading
// on would let a broken or hostile server fill the memory.
constexpr size_t kMaxAnswer = 64 * 1024;
constexpr size_t kMaxOpenLength = 511;

// What the command line holds besides the address ("%s" is replaced).
constexpr size_t CommandOverhead()
{
  return std::char_traits<char>::length(kCommandFormat) - 2;
}

bool IsAddressChar(char c)
{
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
    return true;
  return std::strchr(":/._~?&=%+-", c) != nullptr && c != '\0';
}

// The value after "key":" up to the next quote; empty without the pattern or the closing quote.
std::string FindValue(const std::string& text, const char* key)
{
  const std::string pattern = std::string("\"") + key + "\":\"";
  const size_t at = text.find(pattern);
  if (at == std::string::npos)
    return {};
  const size_t start = at + pattern.size();
  const size_t end = text.find('"', start);
  if (end == std::string::npos)
    return {};
  return text.substr(start, end - start);
}

// Copies value into a zero-terminated field of size bytes, cut at size - 1 characters.
template <size_t N>
void StoreField(char (&field)[N], const std::string& value)
{
  const size_t n = std::min(value.size(), N - 1);
  std::memcpy(field, value.data(), n);
  field[n] = '\0';
}

std::mutex gOpenerMutex;
std::function<bool(const std::string&)> gOpenerHook;

} // namespace

UpdateChecker& UpdateChecker::Get()
{
  static UpdateChecker instance;
  return instance;
}

bool UpdateChecker::IsAcceptableAddress(const std::string& address)
{
  if (address.empty() || address.size() + CommandOverhead() >= kCommandSize)
    return false;
  for (char c : address)
    if (!IsAddressChar(c))
      return false;
  return true;
}

std::string UpdateChecker::VersionFileAddress()
{
  const char* override = std::getenv(kAddressEnvVar);
  const std::string address = override ? override : kServiceAddress;
  return IsAcceptableAddress(address) ? address : std::string();
}

bool UpdateChecker::HasService()
{
  return std::getenv(kAddressEnvVar) != nullptr || *kServiceAddress != '\0';
}

std::string UpdateChecker::FetchVersionInfo() const
{
  const std::string address = VersionFileAddress();
  if (address.empty())
    return {};

  char command[kCommandSize];
  std::snprintf(command, sizeof command, kCommandFormat, address.c_str());

  FILE* pipe = popen(command, "r");
  if (!pipe)
    return {};
  std::string result;
  char buffer[kReadChunk];
  bool tooLong = false;
  while (std::fgets(buffer, sizeof buffer, pipe)) {
    result += buffer;
    if (result.size() > kMaxAnswer) {
      tooLong = true;
      break;
    }
  }
  // Closing the pipe early ends curl's writing; pclose waits for it.
  pclose(pipe);
  return tooLong ? std::string() : result;
}

bool UpdateChecker::ParseVersionJSON(const std::string& text)
{
  const std::string version = FindValue(text, "version");
  const std::string url = FindValue(text, "url");
  const std::string changelog = FindValue(text, "changelog");
  if (version.empty())
    return false;

  std::lock_guard<std::mutex> lock(mStringsMutex);
  StoreField(mLatestVersion, version);
  StoreField(mDownloadUrl, url);
  StoreField(mChangelog, changelog);
  return true;
}

std::string UpdateChecker::LatestVersion() const
{
  std::lock_guard<std::mutex> lock(mStringsMutex);
  return mLatestVersion;
}

std::string UpdateChecker::DownloadUrl() const
{
  std::lock_guard<std::mutex> lock(mStringsMutex);
  return mDownloadUrl;
}

std::string UpdateChecker::Changelog() const
{
  std::lock_guard<std::mutex> lock(mStringsMutex);
  return mChangelog;
}

void UpdateChecker::CheckForUpdates(bool force)
{
  {
    std::lock_guard<std::mutex> lock(mStartMutex);
    if (mState.load() == kUpdateChecking)
      return;
    if (!force && mHasChecked.load())
      return;
    mState.store(kUpdateChecking);
    mHasChecked.store(true);
  }

  const std::string text = FetchVersionInfo();
  if (text.empty()) {
    mState.store(kUpdateFailed);
    return;
  }
  if (!ParseVersionJSON(text)) {
    mState.store(kUpdateFailed);
    return;
  }

  int latest[3] = {};
  int current[3] = {};
  const int nLatest = ParseDottedVersion(LatestVersion().c_str(), latest);
  const int nCurrent = ParseDottedVersion(kCurrentVersion, current);
  if (nLatest < 2 || nCurrent < 2) {
    mState.store(kUpdateUpToDate);
    return;
  }

  const bool newer = latest[0] > current[0] ||
                     (latest[0] == current[0] && latest[1] > current[1]) ||
                     (latest[0] == current[0] && latest[1] == current[1] && latest[2] > current[2]);
  // A newer version with another major number is not offered as an update.
  mState.store(newer && latest[0] == current[0] ? kUpdateAvailable : kUpdateUpToDate);
}

int ParseDottedVersion(const char* text, int numbers[3])
{
  numbers[0] = numbers[1] = numbers[2] = 0;
  const char* p = text;
  int count = 0;
  while (count < 3) {
    if (count > 0) {
      if (*p != '.')
        break;
      ++p;
    }
    // As %d: leading white space, an optional sign, at least one digit.
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
      ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
      negative = *p++ == '-';
    if (*p < '0' || *p > '9')
      break;
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
      value = std::min<long long>(value * 10 + (*p - '0'), static_cast<long long>(INT_MAX) + 1);
      ++p;
    }
    if (negative)
      value = -value;
    numbers[count++] = static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
  }
  return count;
}

void RunStartupUpdateCheck()
{
  const char* skip = std::getenv(UpdateChecker::kNoCheckEnvVar);
  if ((skip && std::strcmp(skip, "1") == 0) || !UpdateChecker::HasService())
    return;
  UpdateChecker::Get().CheckForUpdates(false);
}

bool IsOpenableDownloadAddress(const std::string& url)
{
  if (url.empty() || url.size() > kMaxOpenLength)
    return false;
  if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0)
    return false;
  // Blanks and control characters have no place in an address.
  for (unsigned char c : url)
    if (c <= ' ' || c == 0x7f)
      return false;
  return true;
}

void SetDownloadOpenerHook(std::function<bool(const std::string&)> opener)
{
  std::lock_guard<std::mutex> lock(gOpenerMutex);
  gOpenerHook = std::move(opener);
}

bool OpenDownloadPage(const std::string& url)
{
  if (!IsOpenableDownloadAddress(url))
    return false;

  std::function<bool(const std::string&)> hook;
  {
    std::lock_guard<std::mutex> lock(gOpenerMutex);
    hook = gOpenerHook;
  }
  if (hook)
    return hook(url);

  // The address is the opener's only argument; no shell sees it.
  std::string program = "xdg-open";
  std::string argument = url;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0)
    return false;
  // The opener may stay until the browser has started; it is waited for off the caller's
  // thread so that it leaves no zombie behind and the editor never blocks.
  std::thread([pid]() {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

} // namespace umbra
