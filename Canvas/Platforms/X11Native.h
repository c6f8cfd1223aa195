#pragma once

// What an open ICanvasX11 holds of the X server; shared by the window and its event handling.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <utility>
#include <vector>

#include "ICanvasX11.h"
#include "X11Image.h"

namespace umbra::ui {

struct ICanvasX11::Native {
  Display* display = nullptr;
  Window window = 0;
  bool topLevel = true;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0; // ours to free when not the screen's default
  bool ownsColormap = false;
  GC gc = nullptr;
  Atom wmProtocols = 0;
  Atom wmDeleteWindow = 0;
  Cursor arrowCursor = 0;
  Cursor resizeCursor = 0;
  X11Image image;
  bool mapped = false;
  // Covered entirely by other windows (or by its parent being covered), as the server last said.
  bool fullyObscured = false;
  // Mapped with all its ancestors. An embedding host that hides or minimises its own window
  // unmaps an ancestor, which the window hears nothing of: this is asked of the server now and
  // then (and at once after the window's own map and exposure events).
  bool viewable = true;
  std::chrono::steady_clock::time_point nextViewableCheck{};
  // The sequence number of the question about it still unanswered, or 0.
  unsigned int viewableQuestion = 0;
  // The window's size as the server last reported it, in device pixels.
  int windowWidth = 0;
  int windowHeight = 0;
  // Set while the editor follows a size the window already has.
  bool followingWindow = false;
  // Sizes asked of the server and not yet reported back, oldest first. The reports come in the
  // order asked, each a while later: one for a size since superseded (the corner dragged on) is
  // ours, not the user's resizing.
  std::vector<std::pair<int, int>> requestedSizes;

  // The pointer, in device pixels, as of the last event: drags report movement from here.
  int pointerX = 0;
  int pointerY = 0;
  // Click counting for double clicks.
  unsigned doubleClickMs = 400;
  unsigned lastClickButton = 0;
  Time lastClickTime = 0;
  int lastClickX = 0;
  int lastClickY = 0;
  int clickCount = 0;
};

} // namespace umbra::ui
