#pragma once

#include <string>

namespace umbra::cli {

// The folder for staging files and copies of piped input: TMPDIR, or /tmp when it is unset or
// empty. One that is missing or that the user may not write in is refused by name, so the
// message tells what to fix rather than what failed inside.
std::string TemporaryFolder();

} // namespace umbra::cli
