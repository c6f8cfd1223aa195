#include "ImageFill.h"

#include <algorithm>
#include <cmath>

#include "PixelRuns.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// How much of the pixel [x, x + 1) the spans [a[k], b[k]) cover together, k < count (a multiple
// of 4), each clamped to the pixel.
inline float SpanCoverage(const float* a, const float* b, int count, float x)
{
#if defined(__SSE2__)
  const __m128 x0 = _mm_set1_ps(x), x1 = _mm_set1_ps(x + 1.f);
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.f);
  __m128 sum = zero;
  for (int k = 0; k < count; k += 4) {
    const __m128 part = _mm_sub_ps(_mm_min_ps(x1, _mm_loadu_ps(b + k)), _mm_max_ps(x0, _mm_loadu_ps(a + k)));
    sum = _mm_add_ps(sum, _mm_min_ps(one, _mm_max_ps(zero, part)));
  }
  sum = _mm_add_ps(sum, _mm_movehl_ps(sum, sum));
  sum = _mm_add_ss(sum, _mm_shuffle_ps(sum, sum, 1));
  return _mm_cvtss_f32(sum);
#else
  float sum = 0.f;
  for (int k = 0; k < count; ++k)
    sum += std::clamp(std::min(x + 1.f, b[k]) - std::max(x, a[k]), 0.f, 1.f);
  return sum;
#endif
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
  const int subRows = std::min(rx, ry) >= kLargeRadius ? kLargeSubRows : kSubRows;
  FillRows(t, cx - rx, cy - ry, cx + rx, cy + ry, subRows, colour,
           [cx, cy, rx, inverseRy = 1.0 / ry](double y, double& left, double& right) {
             const double dy = (y - cy) * inverseRy;
             const double q = 1.0 - dy * dy;
             if (q <= 0.0)
               return false;
             const double hw = rx * std::sqrt(q);
             left = cx - hw;
             right = cx + hw;
             return true;
           });
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
    for (int x = from; x < to; ++x) {
      if (x >= middle0 && x < middle1) {
        const int m = static_cast<int>(static_cast<float>(solidRows) * weight * 255.f + 0.5f);
        const int end = std::min(middle1, to);
        if (m > 0)
          CompositeRun(row + x, end - x, m >= 255 ? colour : MulUn8x4(colour, static_cast<std::uint32_t>(m)));
        x = end - 1;
        continue;
      }
      CompositeCovered(row[x], colour,
                       std::min(1.f, SpanCoverage(a, b, spans, static_cast<float>(x)) * weight));
    }
  }
}

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
  const size_t width = static_cast<size_t>(ix1 - ix0);
  if (mArea.size() < width + 1) {
    mArea.resize(width + 1);
    mCover.resize(width + 2);
  }
  double left[kSubRows], right[kSubRows];
  const float weight = 1.f / static_cast<float>(subRows);
  // The sub-rows' middles within a row, worked out once rather than divided out on every row.
  double middle[kSubRows];
  for (int k = 0; k < subRows; ++k)
    middle[k] = (k + 0.5) / subRows;

  for (int y = iy0; y < iy1; ++y) {
    // The shape's extent on each sub-row, sampled at the sub-row's middle.
    int rows = 0;
    double minL = 1e30, maxL = -1e30, minR = 1e30, maxR = -1e30;
    for (int k = 0; k < subRows; ++k) {
      if (!extent(y + middle[k], left[rows], right[rows]))
        continue;
      minL = std::min(minL, left[rows]);
      maxL = std::max(maxL, left[rows]);
      minR = std::min(minR, right[rows]);
      maxR = std::max(maxR, right[rows]);
      ++rows;
    }
    if (rows == 0)
      continue;
    std::uint32_t* row = t.pixels + static_cast<std::ptrdiff_t>(y) * t.stride;

    // Pixels inside every sub-row's extent are fully covered; only the two edge zones need
    // their coverage added up.
    const int inner0 = CeilToInt(maxL), inner1 = FloorToInt(minR);
    const bool hasInner = rows == subRows && inner0 < inner1;
    const int zones[2][2] = {{FloorToInt(minL), hasInner ? inner0 : CeilToInt(maxR)},
                             {hasInner ? inner1 : 0, hasInner ? CeilToInt(maxR) : 0}};
    for (const auto& zone : zones) {
      const int z0 = std::max(zone[0], ix0), z1 = std::min(zone[1], ix1);
      if (z0 >= z1)
        continue;
      const int n = z1 - z0;
      if (n * rows <= kDirectCoverageWork) {
        // Narrow: each pixel's share of every sub-row's extent, added up in registers.
        float a[kSubRows], b[kSubRows];
        for (int k = 0; k < rows; ++k) {
          a[k] = static_cast<float>(left[k] - z0);
          b[k] = static_cast<float>(right[k] - z0);
        }
        // Missing sub-rows cover nothing.
        const int padded = (rows + 3) & ~3;
        for (int k = rows; k < padded; ++k)
          a[k] = b[k] = 0.f;
        for (int i = 0; i < n; ++i)
          CompositeCovered(row[z0 + i], colour,
                           std::min(1.f, SpanCoverage(a, b, padded, static_cast<float>(i)) * weight));
        continue;
      }
      std::fill(mArea.begin(), mArea.begin() + n, 0.f);
      std::fill(mCover.begin(), mCover.begin() + n + 1, 0.f);
      for (int k = 0; k < rows; ++k) {
        const double a = std::max(left[k], static_cast<double>(z0)) - z0;
        const double b = std::min(right[k], static_cast<double>(z1)) - z0;
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
        CompositeCovered(row[z0 + i], colour, std::min(1.f, (running + mArea[i]) * weight));
      }
    }
    if (hasInner)
      CompositeRun(row + std::max(inner0, ix0), std::min(inner1, ix1) - std::max(inner0, ix0), colour);
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
  x0 = std::max({x0, t.clipL, -offsetX});
  x1 = std::min({x1, t.clipR, imageWidth - offsetX});
  y0 = std::max({y0, t.clipT, -offsetY});
  y1 = std::min({y1, t.clipB, imageHeight - offsetY});
  if (x0 >= x1)
    return;
  for (int y = y0; y < y1; ++y) {
    std::uint32_t* to = t.pixels + static_cast<std::ptrdiff_t>(y) * t.stride + x0;
    const std::uint32_t* from = image + static_cast<std::ptrdiff_t>(y + offsetY) * imageStride + x0 + offsetX;
    if (opaque)
      std::copy(from, from + (x1 - x0), to);
    else
      CompositeRow(to, from, x1 - x0);
  }
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
