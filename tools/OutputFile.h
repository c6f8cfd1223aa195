#pragma once

// Where one output goes. Everything that could refuse the output is settled when the object is
// made, before any work: a name the user cannot write, a directory, a socket. Then:
// - a regular file (or a new one) is written under a temporary name beside it, flushed to disk
//   and renamed into place, taking the old file's mode, owner and group, so that a crash or an
//   error never leaves half a file and never destroys the old one;
// - a symbolic link is followed: the file it leads to is the one written;
// - a device, a FIFO or standard output is written in place, never renamed over, truncated or
//   flushed to disk; a writer that must go back to finish a header gets a staging file, which
//   is copied into it once complete;
// - a file the user may write in a directory where they may not make files is written in place.

#include <functional>
#include <optional>
#include <string>

#include "Interrupts.h"

namespace umbra::cli {

class OutputFile {
public:
  // "-" is standard output.
  explicit OutputFile(const std::string& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The name for messages: as the user gave it, or "standard output".
  const std::string& Name() const { return mName; }
  bool IsStandardOutput() const { return mWay == Way::kStandardOutput; }
  // The output is the file otherPath names (by any name, link or symbolic link).
  bool IsSameFileAs(const std::string& otherPath) const;

  // Opens the output and returns the descriptor to write from its start; it stays ours.
  // needsSeek: the writer goes back to finish what it wrote (a WAV or AIFF header).
  int Open(bool needsSeek);
  // Opens the output; true when a writer may go back over what it wrote there (a regular file
  // open for reading too), false for a pipe, a FIFO or a device, which Open(true) would stage.
  bool CanGoBack();

  // The writing through Open's descriptor is complete: puts the output in place.
  void Commit();

  // For writers that open files by name: write(path) writes a complete file there (false on
  // failure), which then goes where this output goes.
  void WriteByName(const std::function<bool(const std::string& path)>& write);

  // Fails with "cannot write 'NAME': reason".
  [[noreturn]] void Fail(const std::string& reason) const;

private:
  enum class Way {
    kReplace,        // a temporary file beside the target, renamed over it
    kInPlace,        // a regular file truncated and written where it is
    kDevice,         // a device or FIFO, written where it is
    kStandardOutput,
  };

  void OpenTarget();
  void MakeStaging();
  void CopyStagingIntoTarget();
  void KeepOldFileAttributes();

  std::string mName;
  std::string mResolved; // the path with symbolic links followed
  Way mWay = Way::kReplace;
  bool mExisted = false;
  unsigned mOldMode = 0;
  unsigned mOldUid = 0;
  unsigned mOldGid = 0;

  int mFd = -1;           // the target, or the temporary file that will become it
  std::string mTemporary; // kReplace: the temporary name beside the target
  std::optional<TemporaryFileGuard> mTemporaryGuard;
  int mStagingFd = -1;
  std::string mStaging;
  std::optional<TemporaryFileGuard> mStagingGuard;
};

} // namespace umbra::cli
