#include "TemporaryFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "CliSupport.h"

namespace umbra::cli {

std::string TemporaryFolder()
{
  const char* fromEnvironment = std::getenv("TMPDIR");
  const bool named = fromEnvironment && *fromEnvironment;
  const std::string folder = named ? fromEnvironment : "/tmp";
  auto refuse = [&](const std::string& reason) {
    throw UsageError("cannot use the temporary folder '" + folder + "'" + (named ? " (TMPDIR)" : "") +
                     ": " + reason);
  };
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0)
    refuse(std::strerror(errno));
  if (!S_ISDIR(status.st_mode))
    refuse("not a directory");
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    refuse(std::strerror(errno));
  return folder;
}

} // namespace umbra::cli
