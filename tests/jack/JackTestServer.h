#pragma once

// What the JACK tests share: a jackd of their own on the dummy driver under a name no other test
// uses, programs started with their stderr kept, and small waits.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <jack/jack.h>

namespace umbra::test {

class JackTestServer {
public:
  static constexpr int kSampleRate = 48000;

  JackTestServer() = default;
  ~JackTestServer() { Stop(); }
  JackTestServer(const JackTestServer&) = delete;
  JackTestServer& operator=(const JackTestServer&) = delete;

  // True when jackd is on PATH.
  static bool Available();

  // Starts "jackd --no-realtime --sync -n NAME -d dummy" with the given period and waits until it
  // takes clients; false (with Error()) when it did not within ten seconds.
  bool Start(int period);
  // Stops the server and waits for it to go.
  void Stop();
  // Stops it and starts it again under the same name and period, as a user restarts jackd.
  bool Restart();

  const std::string& Name() const { return mName; }
  int Period() const { return mPeriod; }
  const std::string& Error() const { return mError; }

  // A client of ours on this server (not activated), or none.
  jack_client_t* OpenClient(const std::string& clientName) const;
  // Waits until the server has let go of a client whose process ended without closing it (its
  // ports gone). jackd 1.9 stopped while it still holds such a client never finishes stopping
  // and, killed then, leaves its entry in the shared registry, which takes no more servers once
  // eight such entries stand.
  bool WaitUntilClientGone(const std::string& clientName, std::chrono::milliseconds timeout) const;

private:
  bool Launch();

  pid_t mPid = -1;
  int mPeriod = 0;
  std::string mName;
  std::string mError;
};

// A program started with extra environment variables, its stderr in a file.
class ChildProgram {
public:
  ChildProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::string& errFile);
  ~ChildProgram();

  bool Started() const { return mPid > 0; }
  void Signal(int signal) const;
  // The exit status, or -1 when it died from a signal or was still running after timeout (then
  // it is killed).
  int Wait(std::chrono::milliseconds timeout);
  std::string Stderr() const;

private:
  pid_t mPid = -1;
  std::string mErrFile;
};

// Polls until done() holds or the time is up; the last answer.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

std::string ReadTextFile(const std::string& path);

} // namespace umbra::test
