#include "ImageFill.h"

#include <algorithm>
#include <cmath>

#include "PixelRuns.h"

namespace umbra::ui {

namespace {

// Sub-rows per pixel row for an ellipse's coverage (Cairo's scan converter uses 15); across a
// row the coverage is exact. A large ellipse's edge bends little within a row, so fewer do.
constexpr int kSubRows = 16;
constexpr int kLargeSubRows = 4;
constexpr double kLargeRadius = 24.0;
// An edge moving at most this many pixels across per row is steep; one moving at most a 64th of
// a pixel is as good as upright, and one sample per row measures it.
constexpr double kSteepSlope = 0.5;
constexpr double kUprightSlope = 1.0 / 64.0;
// Up to this many pixel-by-sub-row steps, an edge's coverage is added up pixel by pixel;
// beyond, through running sums over the row.
constexpr int kDirectCoverageWork = 64;

// One pixel partly inside: the coverage scales the source first.
inline void CompositeCovered(std::uint32_t& p, std::uint32_t colour, float coverage)
{
  const int m = static_cast<int>(coverage * 255.f + 0.5f);
  if (m <= 0)
    return;
  p = Over(m >= 255 ? colour : MulUn8x4(colour, static_cast<std::uint32_t>(m)), p);
}

// The part of the unit interval [i, i + 1) that [a, b) covers.
inline float Overlap(int i, double a, double b)
{
  return static_cast<float>(std::max(0.0, std::min(i + 1.0, b) - std::max(static_cast<double>(i), a)));
}

// Without SSE4.1 std::floor is a library call; positions on the image are well within int.
int FloorToInt(double v)
{
  const int i = static_cast<int>(v);
  return i - (v < i ? 1 : 0);
}
int CeilToInt(double v)
{
  const int i = static_cast<int>(v);
  return i + (v > i ? 1 : 0);
}

// The gradient's colour at offset t (padded), interpolated un-premultiplied, as pixman does.
std::uint32_t GradientPixel(std::span<const GradientStop> stops, double t)
{
  if (stops.empty())
    return 0;
  if (t <= stops.front().offset)
    return PremultipliedPixel(stops.front().r, stops.front().g, stops.front().b, stops.front().a);
  if (t >= stops.back().offset)
    return PremultipliedPixel(stops.back().r, stops.back().g, stops.back().b, stops.back().a);
  size_t i = 1;
  while (i + 1 < stops.size() && t > stops[i].offset)
    ++i;
  const GradientStop& s0 = stops[i - 1];
  const GradientStop& s1 = stops[i];
  const double span = s1.offset - s0.offset;
  const double f = span > 0.0 ? (t - s0.offset) / span : 1.0;
  auto mix = [f](double a, double b) { return a + (b - a) * f; };
  return PremultipliedPixel(mix(s0.r, s1.r), mix(s0.g, s1.g), mix(s0.b, s1.b), mix(s0.a, s1.a));
}

} // namespace

int ImageFiller::EllipseSubRows(double rx, double ry)
{
  return std::min(rx, ry) >= kLargeRadius ? kLargeSubRows : kSubRows;
}

bool ImageFiller::EllipseExtent::operator()(double y, double& left, double& right) const
{
  const double dy = (y - cy) * inverseRy;
  const double q = 1.0 - dy * dy;
  if (q <= 0.0)
    return false;
  const double hw = rx * std::sqrt(q);
  left = cx - hw;
  right = cx + hw;
  return true;
}

// Cairo keeps premultiplied 16-bit channels and pixman takes their top 8 bits.
std::uint32_t PremultipliedPixel(double r, double g, double b, double a)
{
  a = std::clamp(a, 0.0, 1.0);
  auto toShort = [](double v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0, 1.0) * 65535.0 + 0.5); };
  const std::uint32_t a8 = toShort(a) >> 8;
  const std::uint32_t r8 = toShort(r * a) >> 8;
  const std::uint32_t g8 = toShort(g * a) >> 8;
  const std::uint32_t b8 = toShort(b * a) >> 8;
  return (a8 << 24) | (r8 << 16) | (g8 << 8) | b8;
}

void ImageFiller::FillRect(const ImageTarget& t, double x0, double y0, double x1, double y1,
                           std::uint32_t colour)
{
  const int iy0 = std::max(t.clipT, FloorToInt(y0)), iy1 = std::min(t.clipB, CeilToInt(y1));
  const int ix0 = std::max(t.clipL, FloorToInt(x0)), ix1 = std::min(t.clipR, CeilToInt(x1));
  if (colour == 0 || iy0 >= iy1 || ix0 >= ix1)
    return;
  // Whole columns: those the rectangle covers from edge to edge.
  const int full0 = std::max(ix0, CeilToInt(x0)), full1 = std::min(ix1, FloorToInt(x1));
  for (int y = iy0; y < iy1; ++y) {
    std::uint32_t* row = t.pixels + static_cast<std::ptrdiff_t>(y) * t.stride;
    const float cy = Overlap(y, y0, y1);
    if (cy >= 1.f && full0 < full1) {
      for (int x = ix0; x < full0; ++x)
        CompositeCovered(row[x], colour, Overlap(x, x0, x1));
      CompositeRun(row + full0, full1 - full0, colour);
      for (int x = full1; x < ix1; ++x)
        CompositeCovered(row[x], colour, Overlap(x, x0, x1));
    }
    else if (full0 < full1) {
      // A partly covered row: the coverage scales the colour once for the whole run.
      const int m = static_cast<int>(cy * 255.f + 0.5f);
      for (int x = ix0; x < full0; ++x)
        CompositeCovered(row[x], colour, cy * Overlap(x, x0, x1));
      if (m > 0)
        CompositeRun(row + full0, full1 - full0, m >= 255 ? colour : MulUn8x4(colour, static_cast<std::uint32_t>(m)));
      for (int x = full1; x < ix1; ++x)
        CompositeCovered(row[x], colour, cy * Overlap(x, x0, x1));
    }
    else {
      for (int x = ix0; x < ix1; ++x)
        CompositeCovered(row[x], colour, cy * Overlap(x, x0, x1));
    }
  }
}

void ImageFiller::FillEllipse(const ImageTarget& t, double cx, double cy, double rx, double ry,
                              std::uint32_t colour)
{
  if (!(rx > 0.0) || !(ry > 0.0))
    return;
  FillRows(t, cx - rx, cy - ry, cx + rx, cy + ry, EllipseSubRows(rx, ry), colour,
           EllipseExtent{cx, cy, rx, 1.0 / ry});
}

void ImageFiller::FillQuad(const ImageTarget& t, const double x[4], const double y[4],
                           std::uint32_t colour)
{
  // Each row meets the outline's edges where they cross it; a convex outline spans from the
  // leftmost crossing to the rightmost.
  struct Edge {
    double y0, y1, x0, slope;
  };
  Edge edges[4];
  int count = 0;
  double x0 = x[0], x1 = x[0], y0 = y[0], y1 = y[0];
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    x0 = std::min(x0, x[i]);
    x1 = std::max(x1, x[i]);
    y0 = std::min(y0, y[i]);
    y1 = std::max(y1, y[i]);
    if (y[i] == y[j])
      continue;
    const bool down = y[i] < y[j];
    const double ex0 = down ? x[i] : x[j], ey0 = down ? y[i] : y[j], ey1 = down ? y[j] : y[i];
    edges[count++] = {ey0, ey1, ex0, (down ? x[j] - x[i] : x[i] - x[j]) / (ey1 - ey0)};
  }
  if (count == 0)
    return;
  const auto extent = [&edges, count](double sy, double& left, double& right) {
             left = 1e30;
             right = -1e30;
             for (int i = 0; i < count; ++i) {
               const Edge& e = edges[i];
               if (sy < e.y0 || sy >= e.y1)
                 continue;
               const double ex = e.x0 + (sy - e.y0) * e.slope;
               left = std::min(left, ex);
               right = std::max(right, ex);
             }
             return left < right;
           };
  // Between the second and the third corner from the top only the two long sides cross the
  // rows; where they are steep, an edge moves little within a row and a few sub-rows measure
  // its coverage as well as many.
  double sorted[4] = {y[0], y[1], y[2], y[3]};
  std::sort(sorted, sorted + 4);
  const double band0 = std::ceil(sorted[1]), band1 = std::floor(sorted[2]);
  double steepest = 0.0;
  for (int i = 0; i < count; ++i)
    if (edges[i].y0 <= band0 && edges[i].y1 >= band1)
      steepest = std::max(steepest, std::abs(edges[i].slope));
  if (band0 < band1 && steepest <= kSteepSlope) {
    FillRows(t, x0, y0, x1, band0, kSubRows, colour, extent);
    FillRows(t, x0, band0, x1, band1, steepest <= kUprightSlope ? 1 : kLargeSubRows, colour, extent);
    FillRows(t, x0, band1, x1, y1, kSubRows, colour, extent);
  }
  else {
    FillRows(t, x0, y0, x1, y1, kSubRows, colour, extent);
  }
}

namespace {

// A rounded rectangle's extent along the row at y: false where the row misses it.
struct RoundRectExtent {
  double x0, y0, x1, y1;
  const ImageFiller::Corner* corners;

  // How far a corner's arc stands in from the straight side, dy below (or above) its start.
  static double Inset(const ImageFiller::Corner& c, double dy)
  {
    const double f = 1.0 - dy / c.ry;
    return c.rx * (1.0 - std::sqrt(std::max(0.0, 1.0 - f * f)));
  }

  bool operator()(double y, double& left, double& right) const
  {
    if (y <= y0 || y >= y1)
      return false;
    left = x0;
    right = x1;
    const ImageFiller::Corner &tl = corners[0], &tr = corners[1], &br = corners[2], &bl = corners[3];
    if (y < y0 + tl.ry)
      left = x0 + Inset(tl, y - y0);
    else if (y > y1 - bl.ry)
      left = x0 + Inset(bl, y1 - y);
    if (y < y0 + tr.ry)
      right = x1 - Inset(tr, y - y0);
    else if (y > y1 - br.ry)
      right = x1 - Inset(br, y1 - y);
    return left < right;
  }
};

} // namespace

void ImageFiller::FillRoundRect(const ImageTarget& t, double x0, double y0, double x1, double y1,
                                const Corner corners[4], std::uint32_t colour)
{
  // Between the corners' rows it is a plain rectangle; only the rows the corners reach need
  // their extent followed.
  const double top = std::max(corners[0].ry, corners[1].ry);
  const double bottom = std::max(corners[2].ry, corners[3].ry);
  const double band0 = std::ceil(y0 + top), band1 = std::floor(y1 - bottom);
  const RoundRectExtent extent{x0, y0, x1, y1, corners};
  if (band0 < band1) {
    FillRows(t, x0, y0, x1, band0, kSubRows, colour, extent);
    FillRect(t, x0, band0, x1, band1, colour);
    FillRows(t, x0, band1, x1, y1, kSubRows, colour, extent);
  }
  else {
    FillRows(t, x0, y0, x1, y1, kSubRows, colour, extent);
  }
}

void ImageFiller::FillRoundRectRing(const ImageTarget& t, const RoundRect& outer,
                                    const RoundRect& inner, std::uint32_t colour)
{
  const int iy0 = std::max(t.clipT, FloorToInt(outer.y0)), iy1 = std::min(t.clipB, CeilToInt(outer.y1));
  const int ix0 = std::max(t.clipL, FloorToInt(outer.x0)), ix1 = std::min(t.clipR, CeilToInt(outer.x1));
  if (colour == 0 || iy0 >= iy1 || ix0 >= ix1)
    return;
  const RoundRectExtent outside{outer.x0, outer.y0, outer.x1, outer.y1, outer.corners};
  const RoundRectExtent hole{inner.x0, inner.y0, inner.x1, inner.y1, inner.corners};
  // Rows within both shapes' straight sides meet the same spans on every sub-row: one is
  // enough there.
  const double straight0 = std::max(outer.y0 + std::max(outer.corners[0].ry, outer.corners[1].ry),
                                    inner.y0 + std::max(inner.corners[0].ry, inner.corners[1].ry));
  const double straight1 = std::min(outer.y1 - std::max(outer.corners[2].ry, outer.corners[3].ry),
                                    inner.y1 - std::max(inner.corners[2].ry, inner.corners[3].ry));
  // Every sub-row crosses the ring in at most two spans: left of the hole and right of it.
  float a[2 * kSubRows], b[2 * kSubRows];
  for (int y = iy0; y < iy1; ++y) {
    const int subRows = y >= straight0 && y + 1 <= straight1 ? 1 : kSubRows;
    int spans = 0, solidRows = 0, holeRows = 0;
    double minL = 1e30, maxL = -1e30, minR = 1e30, maxR = -1e30, maxHoleL = -1e30, minHoleR = 1e30;
    for (int k = 0; k < subRows; ++k) {
      const double sy = y + (k + 0.5) / subRows;
      double l = 0.0, r = 0.0, hl = 0.0, hr = 0.0;
      if (!outside(sy, l, r))
        continue;
      minL = std::min(minL, l);
      maxL = std::max(maxL, l);
      minR = std::min(minR, r);
      maxR = std::max(maxR, r);
      if (hole(sy, hl, hr)) {
        ++holeRows;
        maxHoleL = std::max(maxHoleL, hl);
        minHoleR = std::min(minHoleR, hr);
        a[spans] = static_cast<float>(l);
        b[spans++] = static_cast<float>(hl);
        a[spans] = static_cast<float>(hr);
        b[spans++] = static_cast<float>(r);
      }
      else {
        ++solidRows;
        a[spans] = static_cast<float>(l);
        b[spans++] = static_cast<float>(r);
      }
    }
    if (spans == 0)
      continue;
    for (; spans % 4 != 0; ++spans)
      a[spans] = b[spans] = 0.f;
    const float weight = 1.f / static_cast<float>(subRows);
    // Between the corners, over the hole, every pixel is covered by the sub-rows without a
    // hole and by nothing else: one coverage for the whole stretch.
    const int middle0 = std::max(CeilToInt(maxL), holeRows > 0 ? CeilToInt(maxHoleL) : ix0);
    const int middle1 = std::min(FloorToInt(minR), holeRows > 0 ? FloorToInt(minHoleR) : ix1);
    std::uint32_t* row = t.pixels + static_cast<std::ptrdiff_t>(y) * t.stride;
    const int from = std::max(ix0, FloorToInt(minL)), to = std::min(ix1, CeilToInt(maxR));
    const auto covered = [&](int x0, int x1) {
      if (x0 >= x1)
        return;
      CompositeSpanCoverage(row + x0, x1 - x0, a, b, spans, x0, weight, colour);
    };
    const int run0 = std::max(from, middle0), run1 = std::min(to, middle1);
    if (run0 < run1) {
      covered(from, run0);
      const int m = static_cast<int>(static_cast<float>(solidRows) * weight * 255.f + 0.5f);
      if (m > 0)
        CompositeRun(row + run0, run1 - run0, m >= 255 ? colour : MulUn8x4(colour, static_cast<std::uint32_t>(m)));
      covered(run1, to);
    }
    else {
      covered(from, to);
    }
  }
}

// One pixel row of a shape: its extent on every sub-row that meets it, the pixels it touches,
// and the run of pixels every sub-row covers whole.
struct ImageFiller::ShapeRow {
  int rows = 0;
  double left[kSubRows], right[kSubRows];
  int from = 0, to = 0;
  bool hasInner = false;
  int inner0 = 0, inner1 = 0;
};

template <typename Extent>
bool ImageFiller::MeasureRow(int y, int subRows, const double* middle, const Extent& extent,
                             ShapeRow& r)
{
  // The shape's extent on each sub-row, sampled at the sub-row's middle.
  r.rows = 0;
  double minL = 1e30, maxL = -1e30, minR = 1e30, maxR = -1e30;
  for (int k = 0; k < subRows; ++k) {
    if (!extent(y + middle[k], r.left[r.rows], r.right[r.rows]))
      continue;
    minL = std::min(minL, r.left[r.rows]);
    maxL = std::max(maxL, r.left[r.rows]);
    minR = std::min(minR, r.right[r.rows]);
    maxR = std::max(maxR, r.right[r.rows]);
    ++r.rows;
  }
  if (r.rows == 0)
    return false;
  r.from = FloorToInt(minL);
  r.to = CeilToInt(maxR);
  // Pixels inside every sub-row's extent are fully covered; only the two edge zones need
  // their coverage added up.
  r.inner0 = CeilToInt(maxL);
  r.inner1 = FloorToInt(minR);
  r.hasInner = r.rows == subRows && r.inner0 < r.inner1;
  return true;
}

void ImageFiller::CompositeEdges(std::uint32_t* row, const ShapeRow& r, int ix0, int ix1,
                                 float weight, std::uint32_t colour)
{
  const int zones[2][2] = {{r.from, r.hasInner ? r.inner0 : r.to},
                           {r.hasInner ? r.inner1 : 0, r.hasInner ? r.to : 0}};
  for (const auto& zone : zones) {
    const int z0 = std::max(zone[0], ix0), z1 = std::min(zone[1], ix1);
    if (z0 >= z1)
      continue;
    const int n = z1 - z0;
    if (n * r.rows <= kDirectCoverageWork) {
      // Narrow: each pixel's share of every sub-row's extent, added up in registers.
      float a[kSubRows], b[kSubRows];
      for (int k = 0; k < r.rows; ++k) {
        a[k] = static_cast<float>(r.left[k] - z0);
        b[k] = static_cast<float>(r.right[k] - z0);
      }
      // Missing sub-rows cover nothing.
      const int padded = (r.rows + 3) & ~3;
      for (int k = r.rows; k < padded; ++k)
        a[k] = b[k] = 0.f;
      CompositeSpanCoverage(row + z0, n, a, b, padded, 0, weight, colour);
      continue;
    }
    if (mArea.size() < static_cast<size_t>(n) + 1)
      mArea.resize(static_cast<size_t>(n) + 1);
    if (mCover.size() < static_cast<size_t>(n) + 2)
      mCover.resize(static_cast<size_t>(n) + 2);
    std::fill(mArea.begin(), mArea.begin() + n, 0.f);
    std::fill(mCover.begin(), mCover.begin() + n + 1, 0.f);
    for (int k = 0; k < r.rows; ++k) {
      const double a = std::max(r.left[k], static_cast<double>(z0)) - z0;
      const double b = std::min(r.right[k], static_cast<double>(z1)) - z0;
      if (!(a < b))
        continue;
      const int ia = static_cast<int>(a), ib = std::min(static_cast<int>(b), n - 1);
      if (ia == ib) {
        mArea[ia] += static_cast<float>(b - a);
        continue;
      }
      mArea[ia] += static_cast<float>(ia + 1 - a);
      mCover[ia + 1] += 1.f;
      mCover[ib] -= 1.f;
      mArea[ib] += static_cast<float>(b - ib);
    }
    float running = 0.f;
    for (int i = 0; i < n; ++i) {
      running += mCover[i];
      mArea[i] = std::min(1.f, (running + mArea[i]) * weight);
    }
    CompositeCoverage(row + z0, mArea.data(), n, colour);
  }
}

namespace {

// The sub-rows' middles within a row, worked out once per shape rather than divided out on
// every row.
void SubRowMiddles(int subRows, double* middle)
{
  for (int k = 0; k < subRows; ++k)
    middle[k] = (k + 0.5) / subRows;
}

// One colour over the pixels [x0, x1) of a row, within the clip's columns.
void CompositeSpan(std::uint32_t* row, int x0, int x1, int clipL, int clipR, std::uint32_t colour)
{
  x0 = std::max(x0, clipL);
  x1 = std::min(x1, clipR);
  if (x0 < x1)
    CompositeRun(row + x0, x1 - x0, colour);
}

} // namespace

template <typename Extent>
void ImageFiller::FillRows(const ImageTarget& t, double bx0, double by0, double bx1, double by1,
                           int subRows, std::uint32_t colour, const Extent& extent)
{
  if (colour == 0)
    return;
  const int iy0 = std::max(t.clipT, FloorToInt(by0)), iy1 = std::min(t.clipB, CeilToInt(by1));
  const int ix0 = std::max(t.clipL, FloorToInt(bx0)), ix1 = std::min(t.clipR, CeilToInt(bx1));
  if (iy0 >= iy1 || ix0 >= ix1)
    return;
  const float weight = 1.f / static_cast<float>(subRows);
  double middle[kSubRows];
  SubRowMiddles(subRows, middle);
  ShapeRow r;
  for (int y = iy0; y < iy1; ++y) {
    if (!MeasureRow(y, subRows, middle, extent, r))
      continue;
    std::uint32_t* row = t.pixels + static_cast<std::ptrdiff_t>(y) * t.stride;
    CompositeEdges(row, r, ix0, ix1, weight, colour);
    if (r.hasInner)
      CompositeSpan(row, r.inner0, r.inner1, ix0, ix1, colour);
  }
}

void ImageFiller::FillNestedEllipses(const ImageTarget& t, const Ellipse* ellipses, int count)
{
  if (count <= 0)
    return;
  if (count > kMaxNested) {
    for (int k = 0; k < count; ++k)
      FillEllipse(t, ellipses[k].cx, ellipses[k].cy, ellipses[k].rx, ellipses[k].ry, ellipses[k].colour);
    return;
  }
  const Ellipse& outer = ellipses[0];
  const int iy0 = std::max(t.clipT, FloorToInt(outer.cy - outer.ry));
  const int iy1 = std::min(t.clipB, CeilToInt(outer.cy + outer.ry));
  const int ix0 = std::max(t.clipL, FloorToInt(outer.cx - outer.rx));
  const int ix1 = std::min(t.clipR, CeilToInt(outer.cx + outer.rx));
  if (iy0 >= iy1 || ix0 >= ix1)
    return;

  struct Shape {
    EllipseExtent extent;
    int subRows;
    float weight;
    double middle[kSubRows];
    // What the pixels inside this ellipse and every one around it take: the colours laid one
    // over the other, outermost first.
    std::uint32_t stacked;
  };
  Shape shapes[kMaxNested];
  std::uint32_t below = 0;
  for (int k = 0; k < count; ++k) {
    const Ellipse& e = ellipses[k];
    Shape& s = shapes[k];
    s.extent = EllipseExtent{e.cx, e.cy, e.rx, 1.0 / e.ry};
    s.subRows = EllipseSubRows(e.rx, e.ry);
    s.weight = 1.f / static_cast<float>(s.subRows);
    SubRowMiddles(s.subRows, s.middle);
    below = Over(e.colour, below);
    s.stacked = below;
  }

  ShapeRow rows[kMaxNested];
  for (int y = iy0; y < iy1; ++y) {
    // The ellipses this row meets, and whether each lies within the run the one around it
    // covers whole; near their tops and bottoms they may not, and there each is laid on its own.
    int depth = 0;
    bool nested = true;
    for (int k = 0; k < count; ++k) {
      if (!MeasureRow(y, shapes[k].subRows, shapes[k].middle, shapes[k].extent, rows[k]))
        break;
      if (k > 0 && (!rows[k - 1].hasInner || rows[k].from < rows[k - 1].inner0 ||
                    rows[k].to > rows[k - 1].inner1))
        nested = false;
      ++depth;
    }
    if (depth == 0)
      continue;
    std::uint32_t* row = t.pixels + static_cast<std::ptrdiff_t>(y) * t.stride;
    if (!nested) {
      for (int k = 0; k < count; ++k) {
        if (k >= depth && !MeasureRow(y, shapes[k].subRows, shapes[k].middle, shapes[k].extent, rows[k]))
          continue;
        CompositeEdges(row, rows[k], ix0, ix1, shapes[k].weight, ellipses[k].colour);
        if (rows[k].hasInner)
          CompositeSpan(row, rows[k].inner0, rows[k].inner1, ix0, ix1, ellipses[k].colour);
      }
      continue;
    }
    // Each pixel once for the whole stack it lies in: the outermost edge, then, level by
    // level, the run inside it around the next ellipse, and the next ellipse's edge over its
    // stack.
    CompositeEdges(row, rows[0], ix0, ix1, shapes[0].weight, ellipses[0].colour);
    for (int k = 0; k < depth; ++k) {
      const ShapeRow& r = rows[k];
      if (!r.hasInner)
        break;
      if (k + 1 == depth) {
        CompositeSpan(row, r.inner0, r.inner1, ix0, ix1, shapes[k].stacked);
        break;
      }
      const ShapeRow& next = rows[k + 1];
      CompositeSpan(row, r.inner0, next.from, ix0, ix1, shapes[k].stacked);
      CompositeSpan(row, next.to, r.inner1, ix0, ix1, shapes[k].stacked);
      if (next.hasInner) {
        CompositeSpan(row, next.from, next.inner0, ix0, ix1, shapes[k].stacked);
        CompositeSpan(row, next.inner1, next.to, ix0, ix1, shapes[k].stacked);
      }
      else {
        CompositeSpan(row, next.from, next.to, ix0, ix1, shapes[k].stacked);
      }
      CompositeEdges(row, next, ix0, ix1, shapes[k + 1].weight, ellipses[k + 1].colour);
    }
  }
}

void ImageFiller::FillRectLinear(const ImageTarget& t, double x0, double y0, double x1, double y1,
                                 bool vertical, double p0, double p1,
                                 std::span<const GradientStop> stops)
{
  const int iy0 = std::max(t.clipT, FloorToInt(y0)), iy1 = std::min(t.clipB, CeilToInt(y1));
  const int ix0 = std::max(t.clipL, FloorToInt(x0)), ix1 = std::min(t.clipR, CeilToInt(x1));
  if (iy0 >= iy1 || ix0 >= ix1 || p0 == p1)
    return;
  // The colour varies along one axis: computed once per row or once per column, at the pixel
  // centres as pixman samples it.
  auto offsetAt = [p0, p1](int i) { return (i + 0.5 - p0) / (p1 - p0); };
  if (vertical) {
    for (int y = iy0; y < iy1; ++y) {
      FillRect(t, std::max(x0, static_cast<double>(ix0)), std::max(y0, static_cast<double>(y)),
               x1, std::min(y1, y + 1.0), GradientPixel(stops, offsetAt(y)));
    }
    return;
  }
  mColours.resize(static_cast<size_t>(ix1 - ix0));
  LinearGradientColours(stops, p0, p1, ix0, ix1, mColours.data());
  FillRectColumns(t, x0, y0, x1, y1, mColours.data(), ix0);
}

void ImageFiller::FillRectColumns(const ImageTarget& t, double x0, double y0, double x1, double y1,
                                  const std::uint32_t* colours, int firstColumn)
{
  const int iy0 = std::max(t.clipT, FloorToInt(y0)), iy1 = std::min(t.clipB, CeilToInt(y1));
  const int ix0 = std::max(t.clipL, FloorToInt(x0)), ix1 = std::min(t.clipR, CeilToInt(x1));
  if (iy0 >= iy1 || ix0 >= ix1)
    return;
  const std::uint32_t* at = colours - firstColumn; // at[x] is column x's colour
  // Whole rows over whole columns: one row of colours laid over every row.
  const int full0 = std::max(ix0, CeilToInt(x0)), full1 = std::min(ix1, FloorToInt(x1));
  for (int y = iy0; y < iy1; ++y) {
    std::uint32_t* row = t.pixels + static_cast<std::ptrdiff_t>(y) * t.stride;
    const float cy = Overlap(y, y0, y1);
    if (cy >= 1.f && full0 < full1) {
      for (int x = ix0; x < full0; ++x)
        CompositeCovered(row[x], at[x], Overlap(x, x0, x1));
      CompositeRow(row + full0, at + full0, full1 - full0);
      for (int x = full1; x < ix1; ++x)
        CompositeCovered(row[x], at[x], Overlap(x, x0, x1));
      continue;
    }
    for (int x = ix0; x < ix1; ++x) {
      const std::uint32_t c = at[x];
      const float coverage = cy * Overlap(x, x0, x1);
      if (coverage >= 1.f) {
        if (c != 0)
          row[x] = Over(c, row[x]);
      }
      else {
        CompositeCovered(row[x], c, coverage);
      }
    }
  }
}

void LinearGradientColours(std::span<const GradientStop> stops, double p0, double p1, int i0,
                           int i1, std::uint32_t* out)
{
  for (int i = i0; i < i1; ++i)
    out[i - i0] = GradientPixel(stops, (i + 0.5 - p0) / (p1 - p0));
}

void ImageFiller::CompositeImage(const ImageTarget& t, const std::uint32_t* image, int imageStride,
                                 int imageWidth, int imageHeight, bool opaque, int offsetX,
                                 int offsetY, int x0, int y0, int x1, int y1)
{
  const PixelBounds at = ImageLanding(t, imageWidth, imageHeight, offsetX, offsetY, x0, y0, x1, y1);
  if (at.x0 >= at.x1)
    return;
  for (int y = at.y0; y < at.y1; ++y) {
    std::uint32_t* to = t.pixels + static_cast<std::ptrdiff_t>(y) * t.stride + at.x0;
    const std::uint32_t* from = image + static_cast<std::ptrdiff_t>(y + offsetY) * imageStride + at.x0 + offsetX;
    if (opaque)
      std::copy(from, from + (at.x1 - at.x0), to);
    else
      CompositeRow(to, from, at.x1 - at.x0);
  }
}

PixelBounds ImageLanding(const ImageTarget& t, int imageWidth, int imageHeight, int offsetX,
                         int offsetY, int x0, int y0, int x1, int y1)
{
  return {std::max({x0, t.clipL, -offsetX}), std::max({y0, t.clipT, -offsetY}),
          std::min({x1, t.clipR, imageWidth - offsetX}), std::min({y1, t.clipB, imageHeight - offsetY})};
}

bool IsOpaqueImage(const std::uint32_t* image, int stride, int width, int height)
{
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if ((image[static_cast<std::ptrdiff_t>(y) * stride + x] >> 24) != 255u)
        return false;
  return true;
}

} // namespace umbra::ui
