#pragma once

#include <cairo.h>

namespace umbra::ui {

// Reverses the last sub-path of cr's current path when it does not already run in the given
// direction on the device (clockwise as seen on screen, y down). Cairo has no per-sub-path
// winding of its own; under the nonzero fill rule the direction decides what is a hole.
void SetLastSubpathWinding(cairo_t* cr, bool clockwise);

} // namespace umbra::ui
