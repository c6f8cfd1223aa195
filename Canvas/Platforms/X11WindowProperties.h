#pragma once

// The properties by which a desktop ties a window to its program: the process and machine that
// own it (window managers, 'xdotool search --pid' and 'wmctrl -p' go by them) and the icon it
// shows in task bars and switchers.

#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

#include "IBitmap.h"

namespace umbra::ui {

// An icon as _NET_WM_ICON carries it: rows of 32-bit ARGB pixels, not premultiplied.
struct X11Icon {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;

  bool Empty() const { return argb.empty(); }
};

// The pixels of a bitmap of the Cairo back end; empty when there are none.
X11Icon X11IconFromBitmap(const IBitmap& bitmap);

// _NET_WM_PID with WM_CLIENT_MACHINE (the one means nothing without the other), and _NET_WM_ICON
// when icon is not empty.
void SetX11WindowOwnerAndIcon(Display* display, Window window, const X11Icon& icon);

} // namespace umbra::ui
