// Linked into every test program whose plug-ins carry the editor: such a plug-in runs the
// update check when it is made, and a test must never reach the network. Set before main, so
// it holds for a direct run as much as under CTest, and for every child the program starts
// (the umbravox tool among them). Should a check run all the same, its address is a closed port
// on the loopback address.
#include <cstdlib>

namespace {

[[maybe_unused]] const bool gNoUpdateCheck = [] {
  setenv("UMBRAVOX_NO_UPDATE_CHECK", "1", 1);
  setenv("UMBRAVOX_UPDATE_URL", "http://127.0.0.1:9/api/version.json", 0);
  return true;
}();

} // namespace
