#include "JackTestServer.h"

#include <signal.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace umbra::test {

namespace {

void Quiet(const char*) {}

bool OnPath(const std::string& program)
{
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':'))
    if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0)
      return true;
  return false;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            const std::string& errFile)
{
  const pid_t pid = fork();
  if (pid != 0)
    return pid;
  for (const auto& [name, value] : env)
    setenv(name.c_str(), value.c_str(), 1);
  const int devNull = open("/dev/null", O_RDWR);
  const int err = errFile.empty() ? devNull : open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(devNull, STDIN_FILENO);
  dup2(devNull, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

int WaitChild(pid_t& pid, std::chrono::milliseconds timeout)
{
  if (pid <= 0)
    return -1;
  int status = 0;
  const bool exited = WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeout);
  if (!exited)
  {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  pid = -1;
  return exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done())
  {
    if (std::chrono::steady_clock::now() > end)
      return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string ReadTextFile(const std::string& path)
{
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool JackTestServer::Available()
{
  return OnPath("jackd");
}

bool JackTestServer::Start(int period)
{
  static std::atomic<int> serial{0};
  mName = "umbravox-test-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
  mPeriod = period;
  return Launch();
}

bool JackTestServer::Restart()
{
  Stop();
  return Launch();
}

bool JackTestServer::Launch()
{
  jack_set_error_function(Quiet);
  jack_set_info_function(Quiet);
  // Synchronous, with a generous client time-out: every cycle waits until each client has
  // processed it, so a machine busy with other tests (or a sanitizer build) is slower than real
  // time but never skips a client's cycle.
  mPid = Spawn({"jackd", "--no-realtime", "--sync", "--timeout", "5000", "-n", mName, "-d", "dummy", "-r",
                std::to_string(kSampleRate), "-p", std::to_string(mPeriod)},
               {}, "");
  const bool up = WaitFor(
    [&] {
      jack_client_t* probe = OpenClient("probe");
      if (probe)
        jack_client_close(probe);
      return probe != nullptr;
    },
    std::chrono::seconds(10));
  if (!up)
  {
    mError = "jackd did not start as '" + mName + "'";
    Stop();
  }
  return up;
}

void JackTestServer::Stop()
{
  if (mPid <= 0)
    return;
  kill(mPid, SIGTERM);
  WaitChild(mPid, std::chrono::seconds(10));
}

jack_client_t* JackTestServer::OpenClient(const std::string& clientName) const
{
  jack_status_t status{};
  return jack_client_open(clientName.c_str(),
                          static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
                          mName.c_str());
}

bool JackTestServer::WaitUntilClientGone(const std::string& clientName, std::chrono::milliseconds timeout) const
{
  jack_client_t* probe = OpenClient("gone-probe");
  if (!probe)
    return false;
  const std::string pattern = "^" + clientName + ":";
  const bool gone = WaitFor(
    [&] {
      const char** ports = jack_get_ports(probe, pattern.c_str(), nullptr, 0);
      const bool none = !ports || !ports[0];
      jack_free(ports);
      return none;
    },
    timeout);
  jack_client_close(probe);
  return gone;
}

ChildProgram::ChildProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                           const std::string& errFile)
  : mPid(Spawn(argv, env, errFile)), mErrFile(errFile)
{
}

ChildProgram::~ChildProgram()
{
  // Asked to stop first: a JACK client killed outright stays in its server, which then never
  // finishes stopping (see WaitUntilClientGone). WaitChild kills it if it does not end.
  if (mPid > 0)
  {
    kill(mPid, SIGTERM);
    WaitChild(mPid, std::chrono::seconds(5));
  }
}

void ChildProgram::Signal(int signal) const
{
  if (mPid > 0)
    kill(mPid, signal);
}

int ChildProgram::Wait(std::chrono::milliseconds timeout)
{
  return WaitChild(mPid, timeout);
}

std::string ChildProgram::Stderr() const
{
  return ReadTextFile(mErrFile);
}

} // namespace umbra::test
