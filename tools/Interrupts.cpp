#include "Interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace umbra::cli {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// A few names at most are open at once (an output and its staging copy).
constexpr int kSlots = 4;
constexpr size_t kMaxPath = 4096;
char gPaths[kSlots][kMaxPath];
volatile sig_atomic_t gUsed[kSlots];
volatile sig_atomic_t gProgressWidth = 0;

void WriteAll(const char* text, size_t length)
{
  while (length > 0)
  {
    const ssize_t n = ::write(STDERR_FILENO, text, length);
    if (n <= 0)
      return;
    text += n;
    length -= static_cast<size_t>(n);
  }
}

extern "C" void OnInterrupt(int signal)
{
  bool removed = false;
  for (int i = 0; i < kSlots; ++i)
    if (gUsed[i] && ::unlink(gPaths[i]) == 0)
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
  static const char kRemoved[] = "; the unfinished output was removed";
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

TemporaryFileGuard::TemporaryFileGuard(const std::string& path)
{
  if (path.size() >= kMaxPath)
    return; // the system refuses such names anyway
  const SignalBlock block;
  for (int i = 0; i < kSlots; ++i)
    if (!gUsed[i])
    {
      std::memcpy(gPaths[i], path.c_str(), path.size() + 1);
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

void TemporaryFileGuard::Release()
{
  if (mSlot >= 0)
    gUsed[mSlot] = 0;
  mSlot = -1;
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

void SetProgressLineWidth(int width)
{
  gProgressWidth = width;
}

} // namespace umbra::cli
