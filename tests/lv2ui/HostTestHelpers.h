#pragma once

// What the tests of real LV2 hosts share: finding the host programs, reading what a command
// prints, and installing the bundle as a user does into a folder of the test's own.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace umbra::test {

inline bool OnPath(const char* program)
{
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Everything a shell command prints on its standard output.
inline std::string Output(const std::string& command)
{
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r"))
  {
    char buffer[512];
    while (fgets(buffer, sizeof(buffer), pipe))
      text += buffer;
    pclose(pipe);
  }
  return text;
}

// The bundle installed as a packager installs it, cmake --install of the lv2 component with its
// own prefix (never ~/.lv2): the folder holding umbravox.lv2 (for LV2_PATH), or an empty path
// when that failed.
inline std::filesystem::path InstallBundle(const std::filesystem::path& prefix)
{
  const std::string command = "cmake --install '" UMBRAVOX_BINARY_DIR "' --component lv2 --prefix '" +
                              prefix.string() + "' >/dev/null";
  const std::filesystem::path lv2 = prefix / UMBRAVOX_LV2_INSTALL_DIR;
  if (std::system(command.c_str()) != 0 || !std::filesystem::exists(lv2 / "umbravox.lv2" / "umbravox.so"))
    return {};
  return lv2;
}

} // namespace umbra::test
