#pragma once

// Ctrl-C, SIGTERM, closing the terminal (SIGHUP), SIGQUIT and a pipe closed by its reader
// (SIGPIPE) end the program at once, as they would by default, but first remove the temporary
// files still open and wipe a progress line, then exit with 128 plus the signal's number (130
// for Ctrl-C, 143 for SIGTERM, 141 for a closed pipe), as shells report a program a signal
// ended. Everything the handler does is safe inside a signal handler: it unlinks names copied
// here beforehand, through handles on their folders opened beforehand, and writes fixed bytes.

#include <string>

namespace umbra::cli {

void InstallInterruptCleanup();

// A write found its pipe closed (EPIPE: whoever started us ignores SIGPIPE): ends the program as
// SIGPIPE would have.
[[noreturn]] void ExitForClosedPipe();

// A file the program is making and would rather not leave behind: the handler removes it while
// the object lives. Create the file and the object with signals blocked (SignalBlock), so that
// no signal falls between the two. The file is reached through a handle on its folder, so it is
// still found when someone moves or renames the folder meanwhile.
class TemporaryFileGuard {
public:
  explicit TemporaryFileGuard(const std::string& path);
  ~TemporaryFileGuard();
  TemporaryFileGuard(const TemporaryFileGuard&) = delete;
  TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

  // Removes the file, wherever its folder is now, and lets it go.
  void Remove();
  // Renames the file to name in its folder and lets it go; false (errno set) if that failed,
  // and the file is still guarded.
  bool RenameTo(const std::string& name);
  // The file has been renamed into place or removed: nothing is left to clean up.
  void Release();

private:
  int mSlot = -1;
  int mFolder = -1;
  std::string mName;
};

// Holds the interrupting signals back while it lives; they are handled when it goes.
class SignalBlock {
public:
  SignalBlock();
  ~SignalBlock();
  SignalBlock(const SignalBlock&) = delete;
  SignalBlock& operator=(const SignalBlock&) = delete;

private:
  unsigned char mOld[128]; // a sigset_t, kept out of this header
};

// Where the handler writes its line: stderr, or a copy of it while stderr itself is pointed
// elsewhere for a moment (MuffledStderr).
void SetMessageDescriptor(int fd);

// The width of the progress line now drawn on stderr (0: none), so that an interruption can
// wipe it before its message.
void SetProgressLineWidth(int width);

} // namespace umbra::cli
