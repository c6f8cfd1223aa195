#pragma once

// Asks the maker's web service for the latest released version, compares it with this build's
// version and keeps the outcome for the About popup and the ghost icon's badge. One instance per
// process, shared by every plug-in instance and editor.
//
// The version file is fetched by the curl tool, run through the shell; the address comes from the
// build's configuration or, for tests, from UMBRAVOX_UPDATE_URL in the environment, and is refused
// unless every character is harmless inside a double-quoted shell word. A build configured
// without an address has no service: it never runs curl unless the environment names one.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "UmbravoxRelease.h"

namespace umbra {

class UpdateChecker {
public:
  enum EUpdateState : int {
    kUpdateIdle = 0,      // no check yet
    kUpdateChecking = 1,  // a check is running
    kUpdateUpToDate = 2,  // no update to offer
    kUpdateAvailable = 3, // a newer version with the same major number exists
    kUpdateFailed = 4,    // no answer, or no "version" in it
  };

  // This build's version, compared with the service's.
  static constexpr const char* kCurrentVersion = kUmbravoxVersion;
  // The version file of the maker's web service, as the build was configured with it
  // (UMBRAVOX_UPDATE_URL); empty by default, and then nothing is ever asked.
  static constexpr const char* kServiceAddress = kUmbravoxUpdateAddress;
  // Overrides the address (tests point it at a server on the loopback address).
  static constexpr const char* kAddressEnvVar = "UMBRAVOX_UPDATE_URL";
  // Set to 1, the start-up check is skipped.
  static constexpr const char* kNoCheckEnvVar = "UMBRAVOX_NO_UPDATE_CHECK";

  // The process's instance, made on first use.
  static UpdateChecker& Get();

  // A separate instance starts idle like the process's one; tests use their own.
  UpdateChecker() = default;
  UpdateChecker(const UpdateChecker&) = delete;
  UpdateChecker& operator=(const UpdateChecker&) = delete;

  // Runs a check on the caller's thread (blocking it for up to about 5 seconds) unless one is
  // running, or unless a check was made already and force is false.
  void CheckForUpdates(bool force);

  // The service's answer, empty on any failure (and without running anything when the address
  // is refused). An answer longer than 64 KiB is no version file: empty as well.
  std::string FetchVersionInfo() const;

  // Stores "version", "url" and "changelog" and returns true when a non-empty version was
  // found; otherwise stores nothing and returns false. Each value must follow its key as
  // "key":" exactly and runs to the next quote.
  bool ParseVersionJSON(const std::string& text);

  // The address checks fetch from: UMBRAVOX_UPDATE_URL when set, else the constant. Empty when
  // the override is refused (empty, too long for the command, or with a character outside
  // A-Z a-z 0-9 : / . _ ~ ? & = % + -).
  static std::string VersionFileAddress();
  // Whether there is a service to ask: the build names one or the environment does. Without one
  // the start-up check is skipped and the About popup offers no check.
  static bool HasService();
  static bool IsAcceptableAddress(const std::string& address);

  // Copies of the stored answer, safe against a check writing them on another thread.
  std::string LatestVersion() const;
  std::string DownloadUrl() const;
  std::string Changelog() const;

  // The outcome (EUpdateState); read without a lock by the editor while it draws.
  std::atomic<int> mState{kUpdateIdle};
  // A check has been started at least once; never cleared.
  std::atomic<bool> mHasChecked{false};
  // The last good answer, zero-terminated, cut at these lengths. Written under mStringsMutex;
  // read them through the copies above.
  char mLatestVersion[32] = {};
  char mDownloadUrl[256] = {};
  char mChangelog[512] = {};

private:
  // Makes the state test and the change to "checking" one step, so that two threads cannot
  // both start a check.
  std::mutex mStartMutex;
  mutable std::mutex mStringsMutex;
};

// "%d.%d.%d" as sscanf reads it, into numbers (missing ones stay 0), saturating instead of
// overflowing; returns how many numbers were read.
int ParseDottedVersion(const char* text, int numbers[3]);

// The check a new plug-in instance runs once per process: CheckForUpdates(false), unless
// UMBRAVOX_NO_UPDATE_CHECK is 1 or there is no service (then the state stays idle).
void RunStartupUpdateCheck();

// Hands a download address to the desktop's opener (xdg-open), started without a shell with the
// address as its single argument. Only http:// and https:// addresses of at most 511 characters
// without blanks or control characters are opened. True when the opener was started.
bool OpenDownloadPage(const std::string& url);
bool IsOpenableDownloadAddress(const std::string& url);

// Replaces the opener for every later acceptable address (tests); an empty function restores
// xdg-open.
void SetDownloadOpenerHook(std::function<bool(const std::string& url)> opener);

} // namespace umbra
