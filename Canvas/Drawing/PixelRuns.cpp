#include "PixelRuns.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define UMBRA_X86_RUNS 1
#endif

namespace umbra::ui {

namespace {

void CompositeRunScalar(std::uint32_t* p, int i, int n, std::uint32_t colour)
{
  if ((colour >> 24) == 255u) {
    for (; i < n; ++i)
      p[i] = colour;
    return;
  }
  const std::uint32_t ia = 255u - (colour >> 24);
  for (; i < n; ++i)
    p[i] = colour + MulUn8x4(p[i], ia);
}

void CompositeRowScalar(std::uint32_t* p, const std::uint32_t* source, int i, int n)
{
  for (; i < n; ++i)
    if (source[i] != 0)
      p[i] = Over(source[i], p[i]);
}

void CompositeCoverageScalar(std::uint32_t* p, const float* coverage, int i, int n,
                             std::uint32_t colour)
{
  for (; i < n; ++i) {
    const int m = static_cast<int>(coverage[i] * 255.f + 0.5f);
    if (m > 0)
      p[i] = Over(m >= 255 ? colour : MulUn8x4(colour, static_cast<std::uint32_t>(m)), p[i]);
  }
}

float SpanCoverageScalar(const float* a, const float* b, int count, float x, float weight)
{
  const auto part = [x, a, b](int k) {
    return std::min(1.f, std::max(0.f, std::min(x + 1.f, b[k]) - std::max(x, a[k])));
  };
  float p0 = 0.f, p1 = 0.f, p2 = 0.f, p3 = 0.f;
  for (int k = 0; k < count; k += 4) {
    p0 += part(k);
    p1 += part(k + 1);
    p2 += part(k + 2);
    p3 += part(k + 3);
  }
  return std::min(1.f, ((p0 + p2) + (p1 + p3)) * weight);
}

#if defined(UMBRA_X86_RUNS)

// Each 16-bit lane holds a channel; t * a / 255 is rounded as ((t + 128) + ((t + 128) >> 8)) >> 8,
// as in MulUn8x4. For every 16-bit u, (u + (u >> 8)) >> 8 equals the high half of u * 257: one
// instruction instead of four.
#define UMBRA_DIV255(V, mulhi, set1) mulhi(V, set1(257))

// Returns the index after the last pixel done.
int CompositeRunSSE2(std::uint32_t* p, int n, std::uint32_t colour)
{
  int i = 0;
  const __m128i source = _mm_set1_epi32(static_cast<int>(colour));
  if ((colour >> 24) == 255u) {
    for (; i + 4 <= n; i += 4)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), source);
    return i;
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128i factor = _mm_set1_epi16(static_cast<short>(255u - (colour >> 24)));
  const __m128i half = _mm_set1_epi16(0x80);
  for (; i + 4 <= n; i += 4) {
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), factor), half);
    __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), factor), half);
    lo = UMBRA_DIV255(lo, _mm_mulhi_epu16, _mm_set1_epi16);
    hi = UMBRA_DIV255(hi, _mm_mulhi_epu16, _mm_set1_epi16);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), _mm_add_epi8(_mm_packus_epi16(lo, hi), source));
  }
  return i;
}

// One colour over eight pixels, 255 minus its alpha in every 16-bit lane of factor.
__attribute__((target("avx2"), always_inline)) inline __m256i OverAVX2(__m256i d, __m256i source,
                                                                        __m256i factor)
{
  const __m256i zero = _mm256_setzero_si256();
  const __m256i half = _mm256_set1_epi16(0x80);
  __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), factor), half);
  __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), factor), half);
  lo = UMBRA_DIV255(lo, _mm256_mulhi_epu16, _mm256_set1_epi16);
  hi = UMBRA_DIV255(hi, _mm256_mulhi_epu16, _mm256_set1_epi16);
  return _mm256_add_epi8(_mm256_packus_epi16(lo, hi), source);
}

// Short runs are common (the rows of small shapes), so the last few pixels are done in one
// masked step rather than one by one.
__attribute__((target("avx2"))) int CompositeRunAVX2(std::uint32_t* p, int n, std::uint32_t colour)
{
  int i = 0;
  const __m256i source = _mm256_set1_epi32(static_cast<int>(colour));
  const __m256i tail = _mm256_cmpgt_epi32(_mm256_set1_epi32(n % 8), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  const int whole = n - n % 8;
  if ((colour >> 24) == 255u) {
    for (; i < whole; i += 8)
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), source);
    if (i < n)
      _mm256_maskstore_epi32(reinterpret_cast<int*>(p + i), tail, source);
    return n;
  }
  const __m256i factor = _mm256_set1_epi16(static_cast<short>(255u - (colour >> 24)));
  for (; i < whole; i += 8)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i),
                        OverAVX2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)), source, factor));
  if (i < n)
    _mm256_maskstore_epi32(reinterpret_cast<int*>(p + i), tail,
                           OverAVX2(_mm256_maskload_epi32(reinterpret_cast<const int*>(p + i), tail), source, factor));
  return n;
}

int CompositeRowSSE2(std::uint32_t* p, const std::uint32_t* source, int n)
{
  int i = 0;
  const __m128i zero = _mm_setzero_si128();
  const __m128i half = _mm_set1_epi16(0x80);
  const __m128i ones = _mm_set1_epi16(255);
  for (; i + 4 <= n; i += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    // Each pixel's 255 - alpha in all four of its 16-bit lanes.
    const __m128i alo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(_mm_unpacklo_epi8(s, zero), 0xff), 0xff);
    const __m128i ahi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(_mm_unpackhi_epi8(s, zero), 0xff), 0xff);
    __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_sub_epi16(ones, alo)), half);
    __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_sub_epi16(ones, ahi)), half);
    lo = UMBRA_DIV255(lo, _mm_mulhi_epu16, _mm_set1_epi16);
    hi = UMBRA_DIV255(hi, _mm_mulhi_epu16, _mm_set1_epi16);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), _mm_add_epi8(_mm_packus_epi16(lo, hi), s));
  }
  return i;
}

__attribute__((target("avx2"))) int CompositeRowAVX2(std::uint32_t* p, const std::uint32_t* source, int n)
{
  int i = 0;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i half = _mm256_set1_epi16(0x80);
  const __m256i ones = _mm256_set1_epi16(255);
  for (; i + 8 <= n; i += 8) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    const __m256i alo = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(_mm256_unpacklo_epi8(s, zero), 0xff), 0xff);
    const __m256i ahi = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(_mm256_unpackhi_epi8(s, zero), 0xff), 0xff);
    __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), _mm256_sub_epi16(ones, alo)), half);
    __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), _mm256_sub_epi16(ones, ahi)), half);
    lo = UMBRA_DIV255(lo, _mm256_mulhi_epu16, _mm256_set1_epi16);
    hi = UMBRA_DIV255(hi, _mm256_mulhi_epu16, _mm256_set1_epi16);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), _mm256_add_epi8(_mm256_packus_epi16(lo, hi), s));
  }
  return i;
}

// Eight pixels of an edge: the colour scaled by each pixel's coverage level m (0..255, as
// int32), then laid over d. A level of 0 leaves the pixel as it was, as skipping it would.
__attribute__((target("avx2"), always_inline)) inline __m256i CoveredOverAVX2(__m256i d, __m256i m,
                                                                               __m256i colour16)
{
  const __m256i zero = _mm256_setzero_si256();
  const __m256i half = _mm256_set1_epi16(0x80);
  const __m256i ones = _mm256_set1_epi16(255);
  // Each pixel's level in its four 16-bit lanes, laid out as unpacking d's bytes lays out its
  // channels: pixels 0, 1 | 4, 5 in the low halves and 2, 3 | 6, 7 in the high ones.
  m = _mm256_or_si256(m, _mm256_slli_epi32(m, 16));
  const __m256i mlo = _mm256_unpacklo_epi32(m, m), mhi = _mm256_unpackhi_epi32(m, m);
  __m256i slo = _mm256_add_epi16(_mm256_mullo_epi16(colour16, mlo), half);
  __m256i shi = _mm256_add_epi16(_mm256_mullo_epi16(colour16, mhi), half);
  slo = UMBRA_DIV255(slo, _mm256_mulhi_epu16, _mm256_set1_epi16);
  shi = UMBRA_DIV255(shi, _mm256_mulhi_epu16, _mm256_set1_epi16);
  const __m256i alo = _mm256_sub_epi16(ones, _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(slo, 0xff), 0xff));
  const __m256i ahi = _mm256_sub_epi16(ones, _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(shi, 0xff), 0xff));
  __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), alo), half);
  __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), ahi), half);
  lo = UMBRA_DIV255(lo, _mm256_mulhi_epu16, _mm256_set1_epi16);
  hi = UMBRA_DIV255(hi, _mm256_mulhi_epu16, _mm256_set1_epi16);
  return _mm256_add_epi8(_mm256_packus_epi16(lo, hi), _mm256_packus_epi16(slo, shi));
}

// The levels of eight coverages, rounded as the scalar code rounds them, held to 0..255.
__attribute__((target("avx2"), always_inline)) inline __m256i CoverageLevelsAVX2(__m256 coverage)
{
  const __m256i m = _mm256_cvttps_epi32(
    _mm256_add_ps(_mm256_mul_ps(coverage, _mm256_set1_ps(255.f)), _mm256_set1_ps(0.5f)));
  return _mm256_min_epi32(_mm256_max_epi32(m, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

__attribute__((target("avx2"))) int CompositeCoverageAVX2(std::uint32_t* p, const float* coverage,
                                                          int n, std::uint32_t colour)
{
  const __m256i colour16 =
    _mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(colour)), _mm256_setzero_si256());
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i m = CoverageLevelsAVX2(_mm256_loadu_ps(coverage + i));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), CoveredOverAVX2(d, m, colour16));
  }
  // Edges are mostly a few pixels wide: the rest in one masked step.
  if (i < n) {
    const __m256i tail = _mm256_cmpgt_epi32(_mm256_set1_epi32(n - i), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    const __m256i m = CoverageLevelsAVX2(_mm256_maskload_ps(coverage + i, tail));
    const __m256i d = _mm256_maskload_epi32(reinterpret_cast<const int*>(p + i), tail);
    _mm256_maskstore_epi32(reinterpret_cast<int*>(p + i), tail, CoveredOverAVX2(d, m, colour16));
  }
  return n;
}

// The part of each of eight pixels [x0, x1) that the span [a, b) covers.
__attribute__((target("avx2"), always_inline)) inline __m256 SpanPartAVX2(__m256 x0, __m256 x1,
                                                                         float a, float b)
{
  const __m256 span = _mm256_sub_ps(_mm256_min_ps(x1, _mm256_set1_ps(b)), _mm256_max_ps(x0, _mm256_set1_ps(a)));
  return _mm256_min_ps(_mm256_set1_ps(1.f), _mm256_max_ps(_mm256_setzero_ps(), span));
}

// Eight pixels at a time, their coverage kept in registers; the sub-rows go round four partial
// sums as in the scalar code.
__attribute__((target("avx2"))) void CompositeSpanCoverageAVX2(std::uint32_t* p, int n,
                                                               const float* a, const float* b,
                                                               int count, int firstX, float weight,
                                                               std::uint32_t colour)
{
  const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.f);
  const __m256 w = _mm256_set1_ps(weight);
  const __m256i colour16 =
    _mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(colour)), _mm256_setzero_si256());
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  for (int i = 0; i < n; i += 8) {
    const __m256 x0 = _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(firstX + i), lanes));
    const __m256 x1 = _mm256_add_ps(x0, one);
    __m256 p0 = zero, p1 = zero, p2 = zero, p3 = zero;
    for (int k = 0; k < count; k += 4) {
      p0 = _mm256_add_ps(p0, SpanPartAVX2(x0, x1, a[k], b[k]));
      p1 = _mm256_add_ps(p1, SpanPartAVX2(x0, x1, a[k + 1], b[k + 1]));
      p2 = _mm256_add_ps(p2, SpanPartAVX2(x0, x1, a[k + 2], b[k + 2]));
      p3 = _mm256_add_ps(p3, SpanPartAVX2(x0, x1, a[k + 3], b[k + 3]));
    }
    const __m256 sum = _mm256_add_ps(_mm256_add_ps(p0, p2), _mm256_add_ps(p1, p3));
    const __m256i m = CoverageLevelsAVX2(_mm256_min_ps(one, _mm256_mul_ps(sum, w)));
    if (i + 8 <= n) {
      const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), CoveredOverAVX2(d, m, colour16));
    }
    else {
      const __m256i tail = _mm256_cmpgt_epi32(_mm256_set1_epi32(n - i), lanes);
      const __m256i d = _mm256_maskload_epi32(reinterpret_cast<const int*>(p + i), tail);
      _mm256_maskstore_epi32(reinterpret_cast<int*>(p + i), tail, CoveredOverAVX2(d, m, colour16));
    }
  }
}

bool ProcessorHasAVX2()
{
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

const bool kHasAVX2 = ProcessorHasAVX2();

#endif

} // namespace

void CompositeRun(std::uint32_t* p, int n, std::uint32_t colour)
{
  if (n <= 0 || colour == 0)
    return;
  int i = 0;
#if defined(UMBRA_X86_RUNS)
  i = kHasAVX2 ? CompositeRunAVX2(p, n, colour) : CompositeRunSSE2(p, n, colour);
#endif
  CompositeRunScalar(p, i, n, colour);
}

void CompositeRow(std::uint32_t* p, const std::uint32_t* source, int n)
{
  int i = 0;
#if defined(UMBRA_X86_RUNS)
  i = kHasAVX2 ? CompositeRowAVX2(p, source, n) : CompositeRowSSE2(p, source, n);
#endif
  CompositeRowScalar(p, source, i, n);
}

void CompositeCoverage(std::uint32_t* p, const float* coverage, int n, std::uint32_t colour)
{
  if (n <= 0 || colour == 0)
    return;
  int i = 0;
#if defined(UMBRA_X86_RUNS)
  if (kHasAVX2)
    i = CompositeCoverageAVX2(p, coverage, n, colour);
#endif
  CompositeCoverageScalar(p, coverage, i, n, colour);
}

void CompositeSpanCoverage(std::uint32_t* p, int n, const float* a, const float* b, int count,
                           int firstX, float weight, std::uint32_t colour)
{
  if (n <= 0 || colour == 0)
    return;
#if defined(UMBRA_X86_RUNS)
  if (kHasAVX2) {
    CompositeSpanCoverageAVX2(p, n, a, b, count, firstX, weight, colour);
    return;
  }
#endif
  for (int i = 0; i < n; ++i) {
    const float coverage = SpanCoverageScalar(a, b, count, static_cast<float>(firstX + i), weight);
    CompositeCoverageScalar(p + i, &coverage, 0, 1, colour);
  }
}

} // namespace umbra::ui
