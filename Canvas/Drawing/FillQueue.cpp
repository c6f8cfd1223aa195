#include "FillQueue.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace umbra::ui {

namespace {

// A band's pixels should stay in the processor's second-level cache while every fill of the
// batch passes over them, with room to spare for what the fills read besides.
constexpr int kBandBytes = 128 * 1024;

} // namespace

FillQueue::Op FillQueue::MakeOp(Kind kind, const ImageTarget& target, double a, double b, double c,
                                double d)
{
  Op op;
  op.kind = kind;
  op.target = target;
  op.a = a;
  op.b = b;
  op.c = c;
  op.d = d;
  return op;
}

void FillQueue::Add(Op op, double left, double top, double right, double bottom)
{
  op.target.clipL = std::max(op.target.clipL, static_cast<int>(std::floor(left)));
  op.target.clipR = std::min(op.target.clipR, static_cast<int>(std::ceil(right)));
  op.target.clipT = std::max(op.target.clipT, static_cast<int>(std::floor(top)));
  op.target.clipB = std::min(op.target.clipB, static_cast<int>(std::ceil(bottom)));
  if (op.target.clipT >= op.target.clipB || op.target.clipL >= op.target.clipR)
    return;
  if (op.image)
    cairo_surface_reference(op.image);
  mOps.push_back(op);
}

void FillQueue::FillRect(const ImageTarget& target, double x0, double y0, double x1, double y1,
                         std::uint32_t colour)
{
  if (colour == 0)
    return;
  Op op = MakeOp(Kind::kRect, target, x0, y0, x1, y1);
  op.colour = colour;
  Add(op, x0, y0, x1, y1);
}

void FillQueue::FillEllipse(const ImageTarget& target, double cx, double cy, double rx, double ry,
                            std::uint32_t colour)
{
  if (colour == 0 || !(rx > 0.0) || !(ry > 0.0))
    return;
  Op op = MakeOp(Kind::kEllipse, target, cx, cy, rx, ry);
  op.colour = colour;
  op.given = target;
  const bool joins = JoinsGroup(target, cx, cy, rx, ry);
  const size_t held = mOps.size();
  Add(op, cx - rx, cy - ry, cx + rx, cy + ry);
  if (mOps.size() == held)
    return;
  if (joins) {
    mOps.back().nested = true;
    ++mOps[static_cast<size_t>(mOpenGroup)].group;
  }
  else {
    mOpenGroup = static_cast<std::ptrdiff_t>(held);
  }
}

bool FillQueue::JoinsGroup(const ImageTarget& target, double cx, double cy, double rx,
                           double ry) const
{
  if (mOpenGroup < 0 || mOps.empty())
    return false;
  const Op& head = mOps[static_cast<size_t>(mOpenGroup)];
  const Op& last = mOps.back();
  const ImageTarget& g = head.given;
  return head.kind == Kind::kEllipse && last.kind == Kind::kEllipse &&
         static_cast<size_t>(mOpenGroup + head.group) == mOps.size() &&
         head.group < ImageFiller::kMaxNested && cx - rx > last.a - last.c &&
         cx + rx < last.a + last.c && cy - ry > last.b - last.d && cy + ry < last.b + last.d &&
         g.pixels == target.pixels && g.stride == target.stride &&
         g.clipL == target.clipL && g.clipT == target.clipT && g.clipR == target.clipR &&
         g.clipB == target.clipB;
}

void FillQueue::FillQuad(const ImageTarget& target, const double x[4], const double y[4],
                         std::uint32_t colour)
{
  if (colour == 0)
    return;
  Op op = MakeOp(Kind::kQuad, target, 0.0, 0.0, 0.0, 0.0);
  op.colour = colour;
  std::copy(x, x + 4, op.qx);
  std::copy(y, y + 4, op.qy);
  Add(op, *std::min_element(x, x + 4), *std::min_element(y, y + 4), *std::max_element(x, x + 4),
      *std::max_element(y, y + 4));
}

void FillQueue::FillRoundRectRing(const ImageTarget& target, const ImageFiller::RoundRect& outer,
                                  const ImageFiller::RoundRect& inner, std::uint32_t colour)
{
  if (colour == 0)
    return;
  Op op = MakeOp(Kind::kRing, target, 0.0, 0.0, 0.0, 0.0);
  op.colour = colour;
  op.outer = outer;
  op.inner = inner;
  Add(op, outer.x0, outer.y0, outer.x1, outer.y1);
}

void FillQueue::FillRoundRect(const ImageTarget& target, double x0, double y0, double x1, double y1,
                              const ImageFiller::Corner corners[4], std::uint32_t colour)
{
  if (colour == 0)
    return;
  Op op = MakeOp(Kind::kRoundRect, target, x0, y0, x1, y1);
  op.colour = colour;
  std::copy(corners, corners + 4, op.corners);
  Add(op, x0, y0, x1, y1);
}

void FillQueue::FillRectLinear(const ImageTarget& target, double x0, double y0, double x1,
                               double y1, bool vertical, double p0, double p1,
                               const std::vector<GradientStop>& stops)
{
  Op op = MakeOp(Kind::kLinear, target, x0, y0, x1, y1);
  op.vertical = vertical;
  op.p0 = p0;
  op.p1 = p1;
  if (vertical) {
    op.first = static_cast<int>(mStops.size());
    op.count = static_cast<int>(stops.size());
    mStops.insert(mStops.end(), stops.begin(), stops.end());
  }
  else {
    // The same colours in every band: worked out once.
    const int ix0 = std::max(target.clipL, static_cast<int>(std::floor(x0)));
    const int ix1 = std::min(target.clipR, static_cast<int>(std::ceil(x1)));
    if (ix0 >= ix1 || p0 == p1)
      return;
    op.firstColumn = ix0;
    op.columns = static_cast<int>(mColumns.size());
    mColumns.resize(mColumns.size() + static_cast<size_t>(ix1 - ix0));
    LinearGradientColours(stops, p0, p1, ix0, ix1, mColumns.data() + op.columns);
  }
  Add(op, x0, y0, x1, y1);
}

void FillQueue::CompositeImage(const ImageTarget& target, cairo_surface_t* image, bool opaque,
                               int offsetX, int offsetY, int x0, int y0, int x1, int y1)
{
  Op op = MakeOp(Kind::kImage, target, 0.0, 0.0, 0.0, 0.0);
  op.image = image;
  op.opaque = opaque;
  op.offsetX = offsetX;
  op.offsetY = offsetY;
  op.ix0 = x0;
  op.iy0 = y0;
  op.ix1 = x1;
  op.iy1 = y1;
  if (opaque)
    DropCoveredBy(target, image, offsetX, offsetY, x0, y0, x1, y1);
  Add(op, x0, y0, x1, y1);
}

void FillQueue::DropCoveredBy(const ImageTarget& target, cairo_surface_t* image, int offsetX,
                              int offsetY, int x0, int y0, int x1, int y1)
{
  const PixelBounds at = ImageLanding(target, cairo_image_surface_get_width(image),
                                      cairo_image_surface_get_height(image), offsetX, offsetY, x0,
                                      y0, x1, y1);
  // A group goes as a whole: its first ellipse holds all the others.
  bool groupCovered = false;
  std::erase_if(mOps, [&](const Op& op) {
    if (op.nested)
      return groupCovered;
    const ImageTarget& o = op.target;
    const bool covered = o.pixels == target.pixels && o.clipL >= at.x0 && o.clipR <= at.x1 &&
                         o.clipT >= at.y0 && o.clipB <= at.y1;
    groupCovered = covered;
    if (covered && op.image)
      cairo_surface_destroy(op.image);
    return covered;
  });
  mOpenGroup = -1;
}

void FillQueue::RunOp(ImageFiller& filler, const Op& op, int bandT, int bandB)
{
  ImageTarget t = op.target;
  t.clipT = std::max(t.clipT, bandT);
  t.clipB = std::min(t.clipB, bandB);
  switch (op.kind) {
  case Kind::kRect:
    filler.FillRect(t, op.a, op.b, op.c, op.d, op.colour);
    break;
  case Kind::kEllipse:
    filler.FillEllipse(t, op.a, op.b, op.c, op.d, op.colour);
    break;
  case Kind::kQuad:
    filler.FillQuad(t, op.qx, op.qy, op.colour);
    break;
  case Kind::kRing:
    filler.FillRoundRectRing(t, op.outer, op.inner, op.colour);
    break;
  case Kind::kRoundRect:
    filler.FillRoundRect(t, op.a, op.b, op.c, op.d, op.corners, op.colour);
    break;
  case Kind::kLinear:
    if (op.vertical) {
      filler.FillRectLinear(t, op.a, op.b, op.c, op.d, true, op.p0, op.p1,
                            std::span<const GradientStop>(mStops).subspan(op.first, op.count));
    }
    else {
      filler.FillRectColumns(t, op.a, op.b, op.c, op.d, mColumns.data() + op.columns,
                             op.firstColumn);
    }
    break;
  case Kind::kImage:
    filler.CompositeImage(t, reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(op.image)),
                          cairo_image_surface_get_stride(op.image) / 4,
                          cairo_image_surface_get_width(op.image),
                          cairo_image_surface_get_height(op.image), op.opaque, op.offsetX,
                          op.offsetY, op.ix0, op.iy0, op.ix1, op.iy1);
    break;
  }
}

void FillQueue::Run(ImageFiller& filler, int& dirtyT, int& dirtyB)
{
  dirtyT = INT_MAX;
  dirtyB = INT_MIN;
  for (const Op& op : mOps) {
    dirtyT = std::min(dirtyT, op.target.clipT);
    dirtyB = std::max(dirtyB, op.target.clipB);
  }
  if (mOps.empty()) {
    dirtyT = dirtyB = 0;
    return;
  }
  const int rowBytes = std::max(1, mOps.front().target.stride) * 4;
  const int bandRows = std::max(1, kBandBytes / rowBytes);
  ImageFiller::Ellipse group[ImageFiller::kMaxNested];
  for (int bandT = dirtyT; bandT < dirtyB; bandT += bandRows) {
    const int bandB = std::min(dirtyB, bandT + bandRows);
    for (size_t i = 0; i < mOps.size(); ++i) {
      const Op& op = mOps[i];
      if (op.nested || op.target.clipT >= bandB || op.target.clipB <= bandT)
        continue;
      if (op.group == 1) {
        RunOp(filler, op, bandT, bandB);
        continue;
      }
      for (int k = 0; k < op.group; ++k) {
        const Op& e = mOps[i + static_cast<size_t>(k)];
        group[k] = {e.a, e.b, e.c, e.d, e.colour};
      }
      ImageTarget t = op.target;
      t.clipT = std::max(t.clipT, bandT);
      t.clipB = std::min(t.clipB, bandB);
      filler.FillNestedEllipses(t, group, op.group);
    }
  }
  Clear();
}

void FillQueue::Clear()
{
  for (const Op& op : mOps)
    if (op.image)
      cairo_surface_destroy(op.image);
  mOps.clear();
  mOpenGroup = -1;
  mStops.clear();
  mColumns.clear();
}

} // namespace umbra::ui
