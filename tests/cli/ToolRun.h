#pragma once

// Running the umbravox tool from its tests as a shell runs it, with what it says caught.

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace umbra::clitest {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// One argument for a POSIX shell, whatever it holds.
inline std::string Quote(const std::string& arg)
{
  std::string quoted = "'";
  for (char c : arg)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::string ReadBytes(const std::filesystem::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline size_t CountLines(const std::string& text)
{
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Runs a shell command line with nothing on standard input, its standard output and error caught
// in the two files given (removed afterwards).
inline Result RunCaptured(const std::string& command, const std::filesystem::path& outFile,
                          const std::filesystem::path& errFile)
{
  const std::string full = command + " >" + Quote(outFile) + " 2>" + Quote(errFile) + " </dev/null";
  const int raw = std::system(full.c_str());
  Result result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadBytes(outFile);
  result.err = ReadBytes(errFile);
  std::filesystem::remove(outFile);
  std::filesystem::remove(errFile);
  return result;
}

} // namespace umbra::clitest
