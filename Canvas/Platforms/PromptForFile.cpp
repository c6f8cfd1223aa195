#include "PromptForFile.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <vector>

extern char** environ;

namespace umbra::ui {

namespace {

std::mutex gHookMutex;
IFileChooser gHook;
std::atomic<bool> gToldNoChooser{false};

std::string FindOnPath(const std::string& program)
{
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty())
      continue;
    const std::string candidate = dir + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

// "fxp .wav *.aif" → "*.fxp *.wav *.aif".
std::string GlobPatterns(const std::string& extensions)
{
  std::istringstream words(extensions);
  std::string word, patterns;
  while (words >> word) {
    if (word.rfind("*.", 0) == 0)
      word.erase(0, 2);
    else if (word.rfind('.', 0) == 0)
      word.erase(0, 1);
    if (word.empty())
      continue;
    if (!patterns.empty())
      patterns += ' ';
    patterns += "*." + word;
  }
  return patterns;
}

std::string StartPath(const IFileRequest& request)
{
  std::string start = request.directory;
  if (!start.empty() && start.back() != '/')
    start += '/';
  return start + request.fileName;
}

std::vector<std::string> ZenityArguments(const std::string& program, const IFileRequest& request)
{
  std::vector<std::string> argv{program, "--file-selection"};
  if (request.action == EFileAction::kSave)
    argv.push_back("--save");
  const std::string start = StartPath(request);
  if (!start.empty())
    argv.push_back("--filename=" + start);
  const std::string patterns = GlobPatterns(request.extensions);
  if (!patterns.empty())
    argv.push_back("--file-filter=" + patterns);
  return argv;
}

std::vector<std::string> KDialogArguments(const std::string& program, const IFileRequest& request)
{
  // kdialog needs a starting place; the working directory when none is given.
  const std::string start = StartPath(request);
  std::vector<std::string> argv{program,
                                request.action == EFileAction::kSave ? "--getsavefilename"
                                                                     : "--getopenfilename",
                                start.empty() ? std::string(1, '.') : start};
  const std::string patterns = GlobPatterns(request.extensions);
  if (!patterns.empty())
    argv.push_back(patterns);
  return argv;
}

// Runs argv with its standard output captured; the output when it exits with status 0.
std::optional<std::string> RunForOutput(const std::vector<std::string>& argv)
{
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    return std::nullopt;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (failed) {
    close(fds[0]);
    return std::nullopt;
  }

  std::string output;
  char buffer[512];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n > 0)
      output.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR)
      break;
  }
  close(fds[0]);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
    output.pop_back();
  if (output.empty())
    return std::nullopt;
  return output;
}

} // namespace

void SetFileChooserHook(IFileChooser chooser)
{
  std::lock_guard<std::mutex> lock(gHookMutex);
  gHook = std::move(chooser);
}

std::optional<std::string> RunDesktopFileChooser(const IFileRequest& request)
{
  if (const std::string zenity = FindOnPath("zenity"); !zenity.empty())
    return RunForOutput(ZenityArguments(zenity, request));
  if (const std::string kdialog = FindOnPath("kdialog"); !kdialog.empty())
    return RunForOutput(KDialogArguments(kdialog, request));
  if (!gToldNoChooser.exchange(true))
    std::fputs("no file chooser installed (zenity or kdialog): file prompts are cancelled\n", stderr);
  return std::nullopt;
}

bool PromptForFile(std::string& fileName, std::string& path, EFileAction action,
                   const std::string& extensions,
                   const std::function<void(const std::string&, const std::string&)>& completion)
{
  IFileRequest request;
  request.action = action;
  request.directory = path;
  request.fileName = fileName;
  request.extensions = extensions;

  IFileChooser chooser;
  {
    std::lock_guard<std::mutex> lock(gHookMutex);
    chooser = gHook;
  }
  const std::optional<std::string> chosen = chooser ? chooser(request) : RunDesktopFileChooser(request);

  if (chosen && !chosen->empty()) {
    const size_t slash = chosen->find_last_of('/');
    if (slash == std::string::npos) {
      fileName = *chosen;
    }
    else {
      path = chosen->substr(0, slash == 0 ? 1 : slash);
      fileName = chosen->substr(slash + 1);
    }
  }
  else {
    fileName.clear();
  }
  if (completion)
    completion(fileName, path);
  return !fileName.empty();
}

} // namespace umbra::ui
