#include "LiveSignals.h"

#include <pthread.h>
#include <signal.h>

namespace umbra::live {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t gStopRequested = 0;

void RequestStop(int)
{
  gStopRequested = 1;
}

} // namespace

void BlockStopSignals(bool block)
{
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kStopSignals)
    sigaddset(&set, signal);
  pthread_sigmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

void HandleStopSignals()
{
  struct sigaction action = {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  for (const int signal : kStopSignals)
    sigaction(signal, &action, nullptr);
  BlockStopSignals(false);
}

bool StopRequested()
{
  return gStopRequested != 0;
}

bool StopSignalPending()
{
  sigset_t pending;
  sigpending(&pending);
  for (const int signal : kStopSignals)
    if (sigismember(&pending, signal))
      return true;
  return StopRequested();
}

} // namespace umbra::live
