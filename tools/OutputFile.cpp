#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "CliSupport.h"
#include "StandardStreams.h"
#include "TemporaryFolder.h"

namespace umbra::cli {

namespace {

constexpr int kMaxLinkHops = 40; // as the kernel allows

std::string DirectoryOf(const std::string& path)
{
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool CanAccess(const std::string& path, int mode)
{
  // By the effective user, as opening the file will be judged.
  return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

int ReadWriteFlags(const std::string& path)
{
  return CanAccess(path, R_OK) ? O_RDWR : O_WRONLY;
}

// Writers that finish by going back also read back what they wrote (a WAV's PEAK chunk, an Ogg
// stream's pages), so a descriptor open for writing only gets a staging file too.
bool SeekableAndReadable(int fd)
{
  struct stat status {};
  return ::fstat(fd, &status) == 0 && (S_ISREG(status.st_mode) || S_ISBLK(status.st_mode)) &&
         (::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDWR;
}

bool WriteAll(int fd, const char* data, size_t length)
{
  while (length > 0)
  {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno == EPIPE)
      ExitForClosedPipe();
    if (n <= 0)
      return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

} // namespace

OutputFile::OutputFile(const std::string& path)
  : mName(path == "-" ? "standard output" : path)
{
  if (path == "-")
  {
    mWay = Way::kStandardOutput;
    if (StandardOutputIsClosed())
      Fail("it is closed");
    if (::isatty(STDOUT_FILENO))
      throw UsageError("standard output is a terminal: redirect it to a file or a program");
    return;
  }
  if (path.empty())
    throw UsageError("an output file name is empty");

  // Follow symbolic links to the file they lead to, even one that does not exist yet.
  mResolved = path;
  for (int hops = 0;; ++hops)
  {
    struct stat link {};
    if (::lstat(mResolved.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
      break;
    if (hops == kMaxLinkHops)
      Fail(std::strerror(ELOOP));
    std::vector<char> target(PATH_MAX + 1);
    const ssize_t n = ::readlink(mResolved.c_str(), target.data(), target.size() - 1);
    if (n < 0)
      Fail(std::strerror(errno));
    const std::string to(target.data(), static_cast<size_t>(n));
    mResolved = to.front() == '/' ? to : DirectoryOf(mResolved) + "/" + to;
  }

  const std::string dir = DirectoryOf(mResolved);
  struct stat status {};
  if (::stat(mResolved.c_str(), &status) != 0)
  {
    if (errno != ENOENT)
      Fail(std::strerror(errno));
    struct stat dirStatus {};
    if (::stat(dir.c_str(), &dirStatus) != 0)
      Fail(std::strerror(errno));
    if (!S_ISDIR(dirStatus.st_mode))
      Fail(std::strerror(ENOTDIR));
    if (!CanAccess(dir, W_OK | X_OK))
      Fail(std::strerror(errno));
    mWay = Way::kReplace;
    return;
  }
  if (S_ISDIR(status.st_mode))
    Fail("it is a directory");
  if (S_ISSOCK(status.st_mode))
    Fail("it is a socket");
  if (!CanAccess(mResolved, W_OK))
    Fail(std::strerror(errno));
  if (!S_ISREG(status.st_mode))
  {
    mWay = Way::kDevice;
    return;
  }

  mExisted = true;
  mOldMode = status.st_mode & 07777;
  mOldUid = status.st_uid;
  mOldGid = status.st_gid;
  // Renaming over the file needs the directory's permission, and in a sticky directory (/tmp)
  // also owning the file or the directory.
  struct stat dirStatus {};
  bool replaceable = ::stat(dir.c_str(), &dirStatus) == 0 && CanAccess(dir, W_OK | X_OK);
  const uid_t me = ::geteuid();
  if (replaceable && (dirStatus.st_mode & S_ISVTX) && me != 0 && dirStatus.st_uid != me &&
      status.st_uid != me)
    replaceable = false;
  mWay = replaceable ? Way::kReplace : Way::kInPlace;
}

OutputFile::~OutputFile()
{
  if (mStagingFd >= 0)
    ::close(mStagingFd);
  if (mStagingGuard)
    mStagingGuard->Remove();
  if (mFd >= 0 && mWay != Way::kStandardOutput)
    ::close(mFd);
  if (mTemporaryGuard)
    mTemporaryGuard->Remove();
}

void OutputFile::Fail(const std::string& reason) const
{
  throw UsageError("cannot write '" + mName + "': " + reason);
}

bool OutputFile::IsSameFileAs(const std::string& otherPath) const
{
  struct stat other {}, mine {};
  if (otherPath == "-" || ::stat(otherPath.c_str(), &other) != 0)
    return false;
  const bool found = mWay == Way::kStandardOutput ? ::fstat(STDOUT_FILENO, &mine) == 0
                                                  : ::stat(mResolved.c_str(), &mine) == 0;
  return found && mine.st_dev == other.st_dev && mine.st_ino == other.st_ino;
}

void OutputFile::OpenTarget()
{
  if (mFd >= 0)
    return;
  switch (mWay)
  {
    case Way::kReplace:
    {
      std::string pattern = mResolved + ".tmp.XXXXXX";
      const SignalBlock block;
      mFd = ::mkostemp(pattern.data(), O_CLOEXEC);
      if (mFd < 0)
        Fail(std::strerror(errno));
      mTemporary = pattern;
      mTemporaryGuard.emplace(mTemporary);
      break;
    }
    // Read access too, where the user has it, lets a writer read back what it wrote.
    case Way::kInPlace:
      mFd = ::open(mResolved.c_str(), ReadWriteFlags(mResolved) | O_TRUNC | O_CLOEXEC);
      break;
    case Way::kDevice:
      mFd = ::open(mResolved.c_str(), ReadWriteFlags(mResolved) | O_CLOEXEC);
      break;
    case Way::kStandardOutput:
      mFd = STDOUT_FILENO;
      break;
  }
  if (mFd < 0)
    Fail(std::strerror(errno));
}

void OutputFile::MakeStaging()
{
  std::string pattern = TemporaryFolder() + "/umbravox.XXXXXX";
  const SignalBlock block;
  mStagingFd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (mStagingFd < 0)
    Fail("no staging file: " + std::string(std::strerror(errno)));
  mStaging = pattern;
  mStagingGuard.emplace(mStaging);
}

int OutputFile::Open(bool needsSeek)
{
  OpenTarget();
  if (needsSeek && !SeekableAndReadable(mFd))
  {
    MakeStaging();
    return mStagingFd;
  }
  return mFd;
}

bool OutputFile::CanGoBack()
{
  OpenTarget();
  return SeekableAndReadable(mFd);
}

void OutputFile::CopyStagingIntoTarget()
{
  std::vector<char> buffer(1 << 16);
  if (::lseek(mStagingFd, 0, SEEK_SET) != 0)
    Fail(std::strerror(errno));
  for (;;)
  {
    const ssize_t n = ::read(mStagingFd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      Fail(std::strerror(errno));
    if (n == 0)
      break;
    if (!WriteAll(mFd, buffer.data(), static_cast<size_t>(n)))
      Fail(std::strerror(errno));
  }
  ::close(mStagingFd);
  mStagingFd = -1;
  mStagingGuard->Remove();
  mStagingGuard.reset();
  mStaging.clear();
}

void OutputFile::KeepOldFileAttributes()
{
  mode_t mode = 0;
  if (mExisted)
  {
    mode = static_cast<mode_t>(mOldMode);
    // Only the superuser may give a file away; a group the user belongs to may still be kept.
    if (::fchown(mFd, mOldUid, mOldGid) != 0)
    {
      if (::fchown(mFd, static_cast<uid_t>(-1), mOldGid) != 0 && mOldGid != ::getegid())
        mode &= ~static_cast<mode_t>(S_ISGID);
      mode &= ~static_cast<mode_t>(S_ISUID);
    }
  }
  else
  {
    // mkstemp makes the file private; a new file gets what any new file of the user gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(mFd, mode);
}

void OutputFile::Commit()
{
  if (mFd < 0)
    OpenTarget();
  if (mStagingFd >= 0)
    CopyStagingIntoTarget();

  switch (mWay)
  {
    case Way::kReplace:
      KeepOldFileAttributes();
      if (::fsync(mFd) != 0)
        Fail(std::strerror(errno));
      if (::close(std::exchange(mFd, -1)) != 0)
        Fail(std::strerror(errno));
      // Through the folder's handle: a folder moved meanwhile still gets its file.
      if (!mTemporaryGuard->RenameTo(std::filesystem::path(mResolved).filename().string()))
        Fail(std::strerror(errno));
      mTemporaryGuard.reset();
      mTemporary.clear();
      break;
    case Way::kInPlace:
      if (::fsync(mFd) != 0)
        Fail(std::strerror(errno));
      [[fallthrough]];
    case Way::kDevice:
      if (::close(std::exchange(mFd, -1)) != 0)
        Fail(std::strerror(errno));
      break;
    case Way::kStandardOutput:
      break;
  }
}

void OutputFile::WriteByName(const std::function<bool(const std::string& path)>& write)
{
  if (mWay == Way::kReplace)
  {
    OpenTarget();
    if (!write(mTemporary))
      Fail("it could not be written whole");
  }
  else
  {
    MakeStaging();
    if (!write(mStaging))
      Fail("it could not be written whole");
    OpenTarget();
  }
  Commit();
}

} // namespace umbra::cli
