#include "LargeImage.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace umbra::ui {

namespace {

constexpr std::size_t kLargePage = 2u * 1024u * 1024u;

void FreePixels(void* pixels) { std::free(pixels); }

} // namespace

cairo_surface_t* CreateLargeImageSurface(int width, int height)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
  if (width > 0 && height > 0 && stride > 0) {
    const std::size_t bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    if (bytes >= kLargePage) {
      const std::size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
      if (void* pixels = std::aligned_alloc(kLargePage, rounded)) {
        // Only advice: where the system keeps large pages for those who ask, it uses them.
        madvise(pixels, rounded, MADV_HUGEPAGE);
        // Transparent black, as Cairo's own images start.
        std::memset(pixels, 0, bytes);
        cairo_surface_t* surface = cairo_image_surface_create_for_data(
          static_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, width, height, stride);
        static cairo_user_data_key_t pixelsKey;
        if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS &&
            cairo_surface_set_user_data(surface, &pixelsKey, pixels, FreePixels) ==
              CAIRO_STATUS_SUCCESS)
          return surface;
        cairo_surface_destroy(surface);
        std::free(pixels);
      }
    }
  }
#endif
  return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
}

} // namespace umbra::ui
