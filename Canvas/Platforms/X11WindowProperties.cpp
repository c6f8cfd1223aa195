#include "X11WindowProperties.h"

#include <unistd.h>

#include <climits>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "Drawing/CairoBitmap.h"

namespace umbra::ui {

X11Icon X11IconFromBitmap(const IBitmap& bitmap)
{
  X11Icon icon;
  const auto* cairoBitmap = dynamic_cast<const CairoBitmap*>(bitmap.GetAPIBitmap());
  cairo_surface_t* surface = cairoBitmap ? cairoBitmap->GetSurface() : nullptr;
  if (!surface || cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32)
    return icon;
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  icon.width = cairo_image_surface_get_width(surface);
  icon.height = cairo_image_surface_get_height(surface);
  if (!data || icon.width <= 0 || icon.height <= 0)
    return {};

  // Cairo keeps colours multiplied by their alpha; the property wants them straight.
  icon.argb.reserve(static_cast<size_t>(icon.width) * static_cast<size_t>(icon.height));
  for (int y = 0; y < icon.height; ++y)
  {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < icon.width; ++x)
    {
      const std::uint32_t p = row[x];
      const std::uint32_t a = p >> 24;
      auto straight = [a](std::uint32_t c) { return a == 0 ? 0u : (c * 255u + a / 2u) / a; };
      icon.argb.push_back(a << 24 | straight((p >> 16) & 0xFFu) << 16 | straight((p >> 8) & 0xFFu) << 8 |
                          straight(p & 0xFFu));
    }
  }
  return icon;
}

void SetX11WindowOwnerAndIcon(Display* display, Window window, const X11Icon& icon)
{
  char host[HOST_NAME_MAX + 1] = {};
  if (gethostname(host, sizeof(host) - 1) == 0 && host[0])
  {
    char* names[] = {host};
    XTextProperty machine{};
    if (XStringListToTextProperty(names, 1, &machine))
    {
      XSetWMClientMachine(display, window, &machine);
      XFree(machine.value);
      // Format 32 properties travel as longs, whatever their width on the wire.
      const long pid = static_cast<long>(getpid());
      XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                      PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    }
  }

  if (icon.Empty())
    return;
  std::vector<long> cardinals;
  cardinals.reserve(icon.argb.size() + 2);
  cardinals.push_back(icon.width);
  cardinals.push_back(icon.height);
  for (std::uint32_t pixel : icon.argb)
    cardinals.push_back(static_cast<long>(pixel));
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(cardinals.data()),
                  static_cast<int>(cardinals.size()));
}

} // namespace umbra::ui
