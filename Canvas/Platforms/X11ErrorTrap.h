#pragma once

// Xlib's default error handler ends the process, which a plug-in inside a host must never do for
// a request that may legitimately fail (attaching shared memory on a remote server, embedding in
// a parent window that has just gone away). While a trap is alive, errors are counted instead.
// Main thread only, like the rest of the platform layer; traps do not nest.

#include <X11/Xlib.h>

namespace umbra::ui {

class X11ErrorTrap {
public:
  // Whose errors are those of requests already sent: their makers' (the server is asked to
  // answer them first, outside the trap), or this trap's, for a connection of one's own being
  // torn down after its window may have gone with the last frame still on its way.
  enum class Earlier { kTheirs, kTrapped };
  explicit X11ErrorTrap(Display* display, Earlier earlier = Earlier::kTheirs);
  ~X11ErrorTrap();
  X11ErrorTrap(const X11ErrorTrap&) = delete;
  X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

  // Waits for the server to answer everything sent so far; true when any of it failed.
  bool Failed();

private:
  Display* mDisplay;
  int (*mPrevious)(Display*, XErrorEvent*);
};

} // namespace umbra::ui
