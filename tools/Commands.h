#pragma once

#include <string>
#include <vector>

namespace umbra::cli {

int RunParams(const std::vector<std::string>& args);
int RunPresets(const std::vector<std::string>& args);
int RunFxp(const std::vector<std::string>& args);
int RunRender(const std::vector<std::string>& args);
int RunDemo(const std::vector<std::string>& args);
int RunScreenshot(const std::vector<std::string>& args);
int RunUI(const std::vector<std::string>& args);

// True when args asks for help; any other argument is an error for commands that take none.
bool WantsHelp(const std::vector<std::string>& args);

} // namespace umbra::cli
