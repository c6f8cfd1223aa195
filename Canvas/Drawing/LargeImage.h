#pragma once

#include <cairo.h>

namespace umbra::ui {

// An ARGB32 image for Cairo whose pixels, when there are megabytes of them, sit on the
// processor's large memory pages where the system offers them (Linux's transparent huge pages).
// A frame at screen scale 2 streams two such images through memory (the picture and the frame),
// and on ordinary 4 kB pages that is thousands of page-table walks every frame. Smaller images,
// and systems without large pages, get Cairo's own image.
cairo_surface_t* CreateLargeImageSurface(int width, int height);

} // namespace umbra::ui
