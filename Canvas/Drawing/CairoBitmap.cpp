#include "CairoBitmap.h"

#include <climits>

#include <stb_image.h>

#include "Drawing/LargeImage.h"

namespace umbra::ui {

CairoBitmap::CairoBitmap(cairo_surface_t* surface, int scale)
  : APIBitmap(cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface),
              static_cast<float>(scale < 1 ? 1 : scale)),
    mSurface(surface)
{
}

CairoBitmap::~CairoBitmap() { cairo_surface_destroy(mSurface); }

namespace {

std::uint32_t Premultiply(std::uint32_t c, std::uint32_t a) { return (c * a + 127u) / 255u; }

// stb_image gives R, G, B, A bytes; Cairo wants native-endian 32-bit words 0xAARRGGBB with the
// colour already multiplied by alpha.
std::shared_ptr<CairoBitmap> FromRGBA(stbi_uc* rgba, int width, int height, int scale)
{
  if (!rgba)
    return nullptr;
  cairo_surface_t* surface = CreateLargeImageSurface(width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    stbi_image_free(rgba);
    return nullptr;
  }
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    const stbi_uc* src = rgba + static_cast<std::ptrdiff_t>(y) * width * 4;
    for (int x = 0; x < width; ++x, src += 4) {
      const std::uint32_t a = src[3];
      row[x] = (a << 24) | (Premultiply(src[0], a) << 16) | (Premultiply(src[1], a) << 8) |
               Premultiply(src[2], a);
    }
  }
  cairo_surface_mark_dirty(surface);
  stbi_image_free(rgba);
  return std::make_shared<CairoBitmap>(surface, scale);
}

} // namespace

std::shared_ptr<CairoBitmap> LoadCairoBitmap(const std::string& path, int scale)
{
  int width = 0, height = 0, channels = 0;
  stbi_uc* rgba = stbi_load(path.c_str(), &width, &height, &channels, 4);
  return FromRGBA(rgba, width, height, scale);
}

std::shared_ptr<CairoBitmap> DecodeCairoBitmap(const std::uint8_t* data, std::size_t size,
                                               int scale)
{
  if (!data || size == 0 || size > static_cast<std::size_t>(INT_MAX))
    return nullptr;
  int width = 0, height = 0, channels = 0;
  stbi_uc* rgba =
    stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &channels, 4);
  return FromRGBA(rgba, width, height, scale);
}

} // namespace umbra::ui
