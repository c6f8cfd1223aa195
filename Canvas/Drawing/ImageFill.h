#pragma once

// Anti-aliased fills of axis-aligned rectangles and ellipses, written straight into a
// premultiplied ARGB32 image with the source-over operator. Most of an animated editor's frame
// is such shapes in one colour (translucent fog, dust, glow bands): computing their coverage
// row by row and compositing whole runs of pixels in one loop avoids the general scan
// converter and its one compositing call per span.
//
// The arithmetic follows what Cairo and pixman do for the same fill, so a picture drawn here
// differs from theirs by anti-aliasing noise only: the colour is premultiplied and rounded to 8
// bits as Cairo hands it to pixman, coverage is applied to the source before the source is laid
// over the destination, and every product is rounded as pixman rounds it.

#include <cstdint>
#include <span>
#include <vector>

namespace umbra::ui {

// An image to fill, and the device-pixel rectangle (integers, right and bottom outside) that
// fills are confined to.
struct ImageTarget {
  std::uint32_t* pixels = nullptr;
  int stride = 0; // in pixels
  int clipL = 0, clipT = 0, clipR = 0, clipB = 0;
};

// The device pixels [x0, x1) x [y0, y1) an image laid with ImageFiller::CompositeImage lands
// on: the rectangle asked for, within the target's clip and within the image itself.
struct PixelBounds {
  int x0, y0, x1, y1;
};
PixelBounds ImageLanding(const ImageTarget& target, int imageWidth, int imageHeight, int offsetX,
                         int offsetY, int x0, int y0, int x1, int y1);

// Whether every pixel of an image is opaque.
bool IsOpaqueImage(const std::uint32_t* image, int stride, int width, int height);

// A colour ready to composite: 8-bit premultiplied ARGB.
std::uint32_t PremultipliedPixel(double r, double g, double b, double a);

// One stop of a linear gradient (un-premultiplied channels 0..1, offset 0..1, sorted).
struct GradientStop {
  double offset;
  double r, g, b, a;
};

// A linear gradient's colours at the centres of pixels i0 .. i1 - 1 along its axis, where it
// runs from position p0 (offset 0) to p1 (offset 1), padded beyond.
void LinearGradientColours(std::span<const GradientStop> stops, double p0, double p1, int i0,
                           int i1, std::uint32_t* out);

class ImageFiller {
public:
  // The rectangle [x0, x1) x [y0, y1) in device pixels.
  void FillRect(const ImageTarget& target, double x0, double y0, double x1, double y1,
                std::uint32_t colour);
  // The ellipse centred at (cx, cy) with half-axes rx, ry in device pixels.
  void FillEllipse(const ImageTarget& target, double cx, double cy, double rx, double ry,
                   std::uint32_t colour);
  // A convex quadrilateral with corners (x[i], y[i]) in order round its outline, in device
  // pixels: a straight line stroked with butt ends at any angle.
  void FillQuad(const ImageTarget& target, const double x[4], const double y[4],
                std::uint32_t colour);
  // A rectangle with rounded corners; each corner is a quarter ellipse with half-axes rx, ry,
  // in the order top-left, top-right, bottom-right, bottom-left.
  struct Corner {
    double rx, ry;
  };
  void FillRoundRect(const ImageTarget& target, double x0, double y0, double x1, double y1,
                     const Corner corners[4], std::uint32_t colour);
  // The ring between two rounded rectangles, the inner one within the outer: a rounded
  // rectangle's or a circle's outline (a circle is a square with corners of half its side).
  struct RoundRect {
    double x0, y0, x1, y1;
    Corner corners[4];
  };
  void FillRoundRectRing(const ImageTarget& target, const RoundRect& outer, const RoundRect& inner,
                         std::uint32_t colour);
  // The rectangle filled with a linear gradient that varies along one axis only: along y when
  // vertical, else along x, from position p0 (offset 0) to p1 (offset 1), padded beyond.
  void FillRectLinear(const ImageTarget& target, double x0, double y0, double x1, double y1,
                      bool vertical, double p0, double p1, std::span<const GradientStop> stops);
  // The rectangle filled with one colour per column: column x takes colours[x - firstColumn],
  // given for every column the rectangle and the clip share.
  void FillRectColumns(const ImageTarget& target, double x0, double y0, double x1, double y1,
                       const std::uint32_t* colours, int firstColumn);

  // Lays a premultiplied image over the target pixel for pixel: target pixel (x, y) takes image
  // pixel (x + offsetX, y + offsetY); nothing outside [x0, x1) x [y0, y1) or the image.
  // An opaque image is copied.
  void CompositeImage(const ImageTarget& target, const std::uint32_t* image, int imageStride,
                      int imageWidth, int imageHeight, bool opaque, int offsetX, int offsetY, int x0,
                      int y0, int x1, int y1);

  // Ellipses each strictly within the bounds of the one before (a fog of several rings): the
  // same as filling them one after the other, but where a row shows them nested, a pixel inside
  // several is composited once with their colours laid over each other first, which differs
  // from one by one only by rounding.
  struct Ellipse {
    double cx, cy, rx, ry;
    std::uint32_t colour;
  };
  static constexpr int kMaxNested = 8;
  void FillNestedEllipses(const ImageTarget& target, const Ellipse* ellipses, int count);

private:
  struct ShapeRow;
  struct EllipseExtent {
    double cx, cy, rx, inverseRy;
    bool operator()(double y, double& left, double& right) const;
  };
  static int EllipseSubRows(double rx, double ry);

  // Fills a shape given by its extent along rows: extent(y, left, right) is false where the
  // row at y (device pixels) misses the shape. The shape lies within the given bounds.
  template <typename Extent>
  void FillRows(const ImageTarget& target, double x0, double y0, double x1, double y1, int subRows,
                std::uint32_t colour, const Extent& extent);
  // The shape's extents on the sub-rows of row y; false where the row misses it.
  template <typename Extent>
  static bool MeasureRow(int y, int subRows, const double* middle, const Extent& extent,
                         ShapeRow& row);
  // The row's partly covered pixels, within the columns [ix0, ix1).
  void CompositeEdges(std::uint32_t* row, const ShapeRow& shape, int ix0, int ix1, float weight,
                      std::uint32_t colour);

  // An ellipse's coverage near its edges within one row, and a gradient's row of colours.
  std::vector<float> mArea;
  std::vector<float> mCover;
  std::vector<std::uint32_t> mColours;
};

} // namespace umbra::ui
