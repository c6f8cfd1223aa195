#include "Interrupts.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace umbra::cli {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// A few names at most are open at once (an output and its staging copy).
constexpr int kSlots = 4;
constexpr size_t kMaxPath = 4096;
char gNames[kSlots][kMaxPath];
int gFolders[kSlots];
volatile sig_atomic_t gUsed[kSlots];
volatile sig_atomic_t gProgressWidth = 0;
volatile sig_atomic_t gMessageFd = STDERR_FILENO;

void WriteAll(const char* text, size_t length)
{
  while (length > 0)
  {
    const ssize_t n = ::write(gMessageFd, text, length);
    if (n <= 0)
      return;
    text += n;
    length -= static_cast<size_t>(n);
  }
}

extern "C" [[noreturn]] void OnInterrupt(int signal)
{
  bool removed = false;
  for (int i = 0; i < kSlots; ++i)
    if (gUsed[i] && ::unlinkat(gFolders[i], gNames[i], 0) == 0)
      removed = true;

  if (const int width = gProgressWidth; width > 0)
  {
    static const char kBlanks[] = "                                                                ";
    WriteAll("\r", 1);
    for (int left = width; left > 0; left -= static_cast<int>(sizeof(kBlanks) - 1))
      WriteAll(kBlanks, static_cast<size_t>(left < static_cast<int>(sizeof(kBlanks) - 1) ? left : sizeof(kBlanks) - 1));
    WriteAll("\r", 1);
  }
  static const char kMessage[] = "umbravox: interrupted";
  static const char kClosed[] = "umbravox: the output was closed by its reader";
  static const char kRemoved[] = "; the unfinished output was removed";
  if (signal == SIGPIPE)
    WriteAll(kClosed, sizeof(kClosed) - 1);
  else
    WriteAll(kMessage, sizeof(kMessage) - 1);
  if (removed)
    WriteAll(kRemoved, sizeof(kRemoved) - 1);
  WriteAll("\n", 1);
  ::_exit(128 + signal);
}

sigset_t InterruptSet()
{
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kSignals)
    sigaddset(&set, signal);
  return set;
}

} // namespace

void InstallInterruptCleanup()
{
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_mask = InterruptSet(); // one cleanup at a time
  for (int signal : kSignals)
  {
    // A signal ignored by whoever started us (nohup, a shell's background job) stays ignored.
    struct sigaction old {};
    sigaction(signal, nullptr, &old);
    if (old.sa_handler != SIG_IGN)
      sigaction(signal, &action, nullptr);
  }
}

void ExitForClosedPipe()
{
  const SignalBlock block; // no second cleanup on top of this one
  OnInterrupt(SIGPIPE);
}

TemporaryFileGuard::TemporaryFileGuard(const std::string& path)
{
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  mName = slash == std::string::npos ? path : path.substr(slash + 1);
  if (mName.size() >= kMaxPath)
    return; // the system refuses such names anyway
  mFolder = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (mFolder < 0)
    return; // the file was just made there, so this hardly happens; the name alone is left
  const SignalBlock block;
  for (int i = 0; i < kSlots; ++i)
    if (!gUsed[i])
    {
      std::memcpy(gNames[i], mName.c_str(), mName.size() + 1);
      gFolders[i] = mFolder;
      gUsed[i] = 1;
      mSlot = i;
      return;
    }
  throw std::logic_error("too many temporary files at once");
}

TemporaryFileGuard::~TemporaryFileGuard()
{
  Release();
}

void TemporaryFileGuard::Remove()
{
  if (mFolder >= 0)
    ::unlinkat(mFolder, mName.c_str(), 0);
  Release();
}

bool TemporaryFileGuard::RenameTo(const std::string& name)
{
  if (mFolder < 0 || ::renameat(mFolder, mName.c_str(), mFolder, name.c_str()) != 0)
    return false;
  Release();
  return true;
}

void TemporaryFileGuard::Release()
{
  {
    const SignalBlock block;
    if (mSlot >= 0)
      gUsed[mSlot] = 0;
    mSlot = -1;
  }
  if (mFolder >= 0)
    ::close(mFolder);
  mFolder = -1;
}

SignalBlock::SignalBlock()
{
  static_assert(sizeof(sigset_t) <= sizeof(mOld));
  const sigset_t set = InterruptSet();
  sigprocmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(mOld));
}

SignalBlock::~SignalBlock()
{
  sigprocmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(mOld), nullptr);
}

void SetMessageDescriptor(int fd)
{
  gMessageFd = fd;
}

void SetProgressLineWidth(int width)
{
  gProgressWidth = width;
}

} // namespace umbra::cli
