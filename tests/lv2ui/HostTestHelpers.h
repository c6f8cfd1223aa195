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

// cmake --install of the lv2 component into folder (never ~/.lv2); true when it worked.
inline bool InstallBundle(const std::filesystem::path& folder)
{
  const std::string command = "cmake -DUMBRAVOX_LV2_INSTALL_DIR='" + folder.string() +
                              "' -DCMAKE_INSTALL_COMPONENT=lv2 -P '" UMBRAVOX_BINARY_DIR
                              "/cmake_install.cmake' >/dev/null";
  return std::system(command.c_str()) == 0 && std::filesystem::exists(folder / "umbravox.lv2" / "umbravox.so");
}

} // namespace umbra::test
