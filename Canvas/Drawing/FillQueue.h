#pragma once

// Direct fills held back and then run band by band. An animated editor's frame lays a dozen
// layers over the whole window (panel, picture, glow, fog, dust…), and run one after the other
// each pass streams the whole image through memory again: at screen scale 2 the image is 15 MB,
// far more than the caches hold. Run over one band of rows at a time, every fill of the batch
// meets pixels that are still in the cache. Every fill works row by row, so the pixels come out
// exactly as if the fills had run one after the other over the whole image.

#include <cstdint>
#include <vector>

#include <cairo.h>

#include "ImageFill.h"

namespace umbra::ui {

class FillQueue {
public:
  FillQueue() = default;
  FillQueue(const FillQueue&) = delete;
  FillQueue& operator=(const FillQueue&) = delete;
  ~FillQueue() { Clear(); }

  bool Empty() const { return mOps.empty(); }

  // The same fills as ImageFiller's, confined to the target's clip; the target's pixels and
  // stride must be the same for every fill until Run.
  void FillRect(const ImageTarget& target, double x0, double y0, double x1, double y1,
                std::uint32_t colour);
  void FillEllipse(const ImageTarget& target, double cx, double cy, double rx, double ry,
                   std::uint32_t colour);
  void FillQuad(const ImageTarget& target, const double x[4], const double y[4],
                std::uint32_t colour);
  void FillRoundRectRing(const ImageTarget& target, const ImageFiller::RoundRect& outer,
                         const ImageFiller::RoundRect& inner, std::uint32_t colour);
  void FillRoundRect(const ImageTarget& target, double x0, double y0, double x1, double y1,
                     const ImageFiller::Corner corners[4], std::uint32_t colour);
  void FillRectLinear(const ImageTarget& target, double x0, double y0, double x1, double y1,
                      bool vertical, double p0, double p1, const std::vector<GradientStop>& stops);
  // The image is kept alive until the fills have run.
  void CompositeImage(const ImageTarget& target, cairo_surface_t* image, bool opaque, int offsetX,
                      int offsetY, int x0, int y0, int x1, int y1);

  // Runs every fill held, in order, and forgets them. The union of the rows they may have
  // touched is given back, for Cairo to be told.
  void Run(ImageFiller& filler, int& dirtyT, int& dirtyB);
  // Forgets every fill held without running it.
  void Clear();

private:
  enum class Kind { kRect, kEllipse, kQuad, kRoundRect, kRing, kLinear, kImage };
  struct Op {
    Kind kind = Kind::kRect;
    ImageTarget target; // the clip, narrowed to the fill's own bounds
    double a = 0.0, b = 0.0, c = 0.0, d = 0.0; // the rectangle, or centre and half-axes
    std::uint32_t colour = 0;
    ImageFiller::Corner corners[4] = {};
    double qx[4] = {}, qy[4] = {}; // a quadrilateral's corners
    ImageFiller::RoundRect outer{}, inner{}; // a ring
    bool vertical = false, opaque = false;
    double p0 = 0.0, p1 = 0.0;
    int first = 0, count = 0; // a vertical gradient's stops in mStops
    int columns = 0, firstColumn = 0; // a horizontal gradient's colours in mColumns
    cairo_surface_t* image = nullptr;
    int offsetX = 0, offsetY = 0, ix0 = 0, iy0 = 0, ix1 = 0, iy1 = 0;
    // Ellipses held one after the other, each within the bounds of the one before, run as one
    // group: the first holds the group's size and the clip as it was given; the others are
    // marked as nested.
    int group = 1;
    bool nested = false;
    ImageTarget given;
  };

  static Op MakeOp(Kind kind, const ImageTarget& target, double a, double b, double c, double d);
  // Keeps the fill, its clip narrowed to the pixels its bounds reach, when any are left.
  void Add(Op op, double left, double top, double right, double bottom);
  // An opaque picture hides whatever was filled beneath it: the fills held so far that lie
  // wholly under it are dropped, since none of their pixels could show.
  void DropCoveredBy(const ImageTarget& target, cairo_surface_t* image, int offsetX, int offsetY,
                     int x0, int y0, int x1, int y1);
  void RunOp(ImageFiller& filler, const Op& op, int bandT, int bandB);

  // Whether the last fill held is an ellipse whose group can take this one, within its bounds.
  bool JoinsGroup(const ImageTarget& target, double cx, double cy, double rx, double ry) const;

  std::vector<Op> mOps;
  std::ptrdiff_t mOpenGroup = -1; // the first ellipse of the group at the end of mOps
  std::vector<GradientStop> mStops;
  std::vector<std::uint32_t> mColumns;
};

} // namespace umbra::ui
