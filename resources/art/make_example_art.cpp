// Draws the example editor's bitmap, a small ghost, at 1x and 2x into the build tree's resources
// folder. Built and run at build time: no picture is kept in the repository.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

void DrawGhost(cairo_t* cr, double size)
{
  const double s = size / 64.0;
  cairo_scale(cr, s, s);

  // Body: a dome over a wavy hem.
  cairo_new_path(cr);
  cairo_arc(cr, 32, 26, 20, M_PI, 2 * M_PI);
  cairo_line_to(cr, 52, 54);
  for (int i = 0; i < 4; ++i)
  {
    const double x = 52 - (i + 1) * 10;
    cairo_curve_to(cr, x + 7, 46, x + 3, 60, x, 54);
  }
  cairo_close_path(cr);
  cairo_pattern_t* glow = cairo_pattern_create_linear(0, 6, 0, 58);
  cairo_pattern_add_color_stop_rgba(glow, 0.0, 0.92, 0.95, 1.0, 0.95);
  cairo_pattern_add_color_stop_rgba(glow, 1.0, 0.55, 0.70, 0.85, 0.55);
  cairo_set_source(cr, glow);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(glow);
  cairo_set_source_rgba(cr, 0.25, 0.35, 0.5, 0.9);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);

  // Eyes and mouth.
  cairo_set_source_rgba(cr, 0.08, 0.06, 0.12, 1.0);
  cairo_arc(cr, 25, 27, 3.5, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_arc(cr, 39, 27, 3.5, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_save(cr);
  cairo_translate(cr, 32, 38);
  cairo_scale(cr, 1.0, 1.4);
  cairo_arc(cr, 0, 0, 3, 0, 2 * M_PI);
  cairo_restore(cr);
  cairo_fill(cr);
}

bool Write(const std::string& path, int pixels)
{
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels);
  cairo_t* cr = cairo_create(surface);
  DrawGhost(cr, pixels);
  cairo_destroy(cr);
  const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok;
}

} // namespace

int main(int argc, char** argv)
{
  if (argc != 2)
  {
    std::fprintf(stderr, "usage: make_example_art OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  if (!Write(dir + "/example_ghost.png", 64) || !Write(dir + "/example_ghost@2x.png", 128))
  {
    std::fprintf(stderr, "make_example_art: cannot write into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
