#pragma once

// Source-over compositing of premultiplied ARGB32 pixels with pixman's 8-bit rounding, one
// pixel at a time and in runs (with SSE2, and AVX2 where the processor has it: the same
// integer arithmetic, so the same pixels, either way).

#include <cstdint>

namespace umbra::ui {

// x * a / 255 for the four channels of x, rounded as pixman rounds.
inline std::uint32_t MulUn8x4(std::uint32_t x, std::uint32_t a)
{
  std::uint32_t rb = (x & 0x00ff00ffu) * a + 0x00800080u;
  rb = ((rb + ((rb >> 8) & 0x00ff00ffu)) >> 8) & 0x00ff00ffu;
  std::uint32_t ag = ((x >> 8) & 0x00ff00ffu) * a + 0x00800080u;
  ag = (ag + ((ag >> 8) & 0x00ff00ffu)) & 0xff00ff00u;
  return rb | ag;
}

inline std::uint32_t Over(std::uint32_t src, std::uint32_t dst)
{
  return src + MulUn8x4(dst, 255u - (src >> 24));
}

// One colour over n pixels.
void CompositeRun(std::uint32_t* p, int n, std::uint32_t colour);
// A row of source pixels over n pixels.
void CompositeRow(std::uint32_t* p, const std::uint32_t* source, int n);
// One colour over n pixels, scaled first at pixel i by coverage[i] (0..1): coverage * 255
// rounded to a whole level, as a shape's anti-aliased edge is laid.
void CompositeCoverage(std::uint32_t* p, const float* coverage, int n, std::uint32_t colour);

// One colour over the n pixels at x = firstX .. firstX + n - 1, each scaled first by its
// coverage: weight times the sum over k < count (a multiple of 4) of the part of [x, x + 1)
// that the sub-row span [a[k], b[k]) covers, at most 1 (laid as CompositeCoverage lays it). The
// sum runs over four interleaved partial sums, (k = 0, 4, 8… + k = 2, 6, 10…) + (k = 1, 5… +
// k = 3, 7…), the same order for every pixel and every processor.
void CompositeSpanCoverage(std::uint32_t* p, int n, const float* a, const float* b, int count,
                           int firstX, float weight, std::uint32_t colour);

} // namespace umbra::ui
