#include "XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

namespace umbra::test {

namespace {

using Clock = std::chrono::steady_clock;

// closeInChild: a descriptor the child must not inherit, or -1.
pid_t Spawn(const std::vector<std::string>& argv, bool quiet, int closeInChild = -1)
{
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (closeInChild >= 0)
    posix_spawn_file_actions_addclose(&actions, closeInChild);
  if (quiet) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed ? -1 : pid;
}

// Waits for pid up to timeout; kills it after that. The exit status, else -1.
int Reap(pid_t pid, std::chrono::milliseconds timeout, const std::function<void()>& whileWaiting)
{
  const auto deadline = Clock::now() + timeout;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0)
      return -1;
    if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    if (whileWaiting)
      whileWaiting();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// The claim on a display number: an exclusive lock on a file named after it, -1 when another
// test program holds it. Closing the descriptor (or the program's end) gives it up.
int ClaimDisplay(int number)
{
  const std::string path = "/tmp/umbravox-test-display-" + std::to_string(number) + ".lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0)
    return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0)
  {
    close(fd);
    return -1;
  }
  return fd;
}

bool DisplayTaken(int number)
{
  namespace fs = std::filesystem;
  std::error_code ec;
  return fs::exists("/tmp/.X" + std::to_string(number) + "-lock", ec) ||
         fs::exists("/tmp/.X11-unix/X" + std::to_string(number), ec);
}

} // namespace

bool XvfbServer::Available()
{
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/Xvfb";
    if (access(candidate.c_str(), X_OK) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

bool XvfbServer::Start(const std::string& screen)
{
  // Each test program starts looking at a number of its own. A server that is shutting down
  // unlinks its socket by name, so a number it has just given up, taken again at once by a test
  // running beside it, can lose its socket under the new server's clients.
  constexpr int kFirst = 99, kCount = 62;
  const int offset = static_cast<int>(getpid() % kCount);
  for (int i = 0; i < kCount; ++i) {
    const int number = kFirst + (offset + i) % kCount;
    const int claim = ClaimDisplay(number);
    if (claim < 0)
      continue;
    if (DisplayTaken(number))
    {
      close(claim);
      continue;
    }
    const std::string name = ":" + std::to_string(number);
    // Xvfb writes the display number to this pipe once it accepts connections; it exits instead
    // when another server holds the number (tests run in parallel), so there is no window in
    // which we could mistake someone else's server for ours.
    int ready[2];
    if (pipe(ready) != 0) {
      close(claim);
      mError = "cannot make a pipe";
      return false;
    }
    // -noreset: an X server resets when its last client leaves, and a program connecting while
    // it does is refused; a test's xdotool polls come and go while the program under test starts.
    const pid_t pid = Spawn({"Xvfb", name, "-noreset", "-nolisten", "tcp", "-screen", "0", screen,
                             "-displayfd", std::to_string(ready[1])},
                            true, ready[0]);
    close(ready[1]);
    if (pid < 0) {
      close(ready[0]);
      close(claim);
      mError = "cannot start Xvfb";
      return false;
    }
    std::string answer;
    pollfd fd{ready[0], POLLIN, 0};
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (answer.find('\n') == std::string::npos && Clock::now() < deadline) {
      if (poll(&fd, 1, 100) <= 0)
        continue;
      char buffer[32];
      const ssize_t n = read(ready[0], buffer, sizeof buffer);
      if (n <= 0)
        break; // gone without a display
      answer.append(buffer, static_cast<size_t>(n));
    }
    close(ready[0]);
    if (answer.find('\n') != std::string::npos && std::atoi(answer.c_str()) == number) {
      mPid = pid;
      mClaim = claim;
      mDisplay = name;
      return true;
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(claim);
  }
  mError = "no display from :99 to :160 could be served by Xvfb";
  return false;
}

void XvfbServer::Stop()
{
  if (mPid <= 0)
    return;
  kill(mPid, SIGTERM);
  // Killed outright (and collected) if it does not go within the time.
  Reap(mPid, std::chrono::seconds(5), {});
  mPid = -1;
  close(mClaim); // only now that the server, and its sockets, are gone
  mClaim = -1;
  mDisplay.clear();
}

int RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
               const std::function<void()>& whileWaiting)
{
  const pid_t pid = Spawn(argv, false);
  if (pid < 0)
    return -1;
  return Reap(pid, timeout, whileWaiting);
}

} // namespace umbra::test
