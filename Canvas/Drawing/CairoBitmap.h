#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <cairo.h>

#include "IBitmap.h"

namespace umbra::ui {

// A decoded image held as a premultiplied ARGB32 Cairo image surface, the form Cairo composites
// fastest and without conversion.
class CairoBitmap : public APIBitmap {
public:
  // Takes over the caller's reference to surface.
  CairoBitmap(cairo_surface_t* surface, int scale);
  ~CairoBitmap() override;

  cairo_surface_t* GetSurface() const { return mSurface; }

private:
  cairo_surface_t* mSurface;
};

// PNG or JPEG (whatever stb_image decodes) from a file or from memory; null when it cannot be
// read or decoded.
std::shared_ptr<CairoBitmap> LoadCairoBitmap(const std::string& path, int scale);
std::shared_ptr<CairoBitmap> DecodeCairoBitmap(const std::uint8_t* data, std::size_t size,
                                               int scale);

} // namespace umbra::ui
