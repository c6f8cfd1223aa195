#include "PixelRuns.h"

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

} // namespace umbra::ui
