#include "StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "CliSupport.h"
#include "Interrupts.h"

namespace umbra::cli {

namespace {

bool gStandardOutputClosed = false;

} // namespace

void GuardStandardStreams()
{
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
  {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    if (fd == STDOUT_FILENO)
      gStandardOutputClosed = true;
    // open() takes the lowest free descriptor, which is this one.
    ::open("/dev/null", O_RDONLY);
  }
}

bool StandardOutputIsClosed()
{
  return gStandardOutputClosed;
}

int FinishStandardOutput(int status)
{
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int error = errno;
  if (flushed && !std::ferror(stdout))
    return status;
  if (error == EPIPE)
    ExitForClosedPipe();
  std::fprintf(stderr, "umbravox: cannot write 'standard output': %s\n",
               error != 0 ? std::strerror(error) : "a write failed");
  return kExitError;
}

} // namespace umbra::cli
