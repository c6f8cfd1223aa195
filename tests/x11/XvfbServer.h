#pragma once

// A private X server for tests: Xvfb on a free display number from :99 to :160 (where each
// test program starts looking depends on its process ID), reachable only through its local
// socket, stopped when the object goes.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace umbra::test {

class XvfbServer {
public:
  XvfbServer() = default;
  ~XvfbServer() { Stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // True when an Xvfb program is on PATH.
  static bool Available();

  // Starts the server with one screen of the given size and depth and waits until it accepts
  // connections; false (with Error()) when no display number up to :160 worked within the time
  // allowed.
  bool Start(const std::string& screen = "1280x1024x24");
  void Stop();

  const std::string& DisplayName() const { return mDisplay; }
  const std::string& Error() const { return mError; }

private:
  pid_t mPid = -1;
  // Our claim on the display number (a lock on a file of our own), held until the server has
  // gone: two test programs never start servers on one number, and a number is not taken again
  // while the server that had it is still shutting down. X servers racing for one number, or
  // one ending while another begins, remove each other's sockets by name.
  int mClaim = -1;
  std::string mDisplay;
  std::string mError;
};

// Runs a program (looked up on PATH, no shell) and waits for it, calling whileWaiting between
// checks. Returns its exit status, or -1 when it could not start, died from a signal or was
// killed after the timeout.
int RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
               const std::function<void()>& whileWaiting = {});

} // namespace umbra::test
