#include "BinMath.h"

#include <sleef.h>

namespace umbra {

// Built for AVX2 and FMA in a file of its own, called only where the processor has both.
void SinCosBinsAvx2(const float* phase, float* sine, float* cosine, int count);

namespace {

void SinCosBinsSse2(const float* phase, float* sine, float* cosine, int count)
{
  int k = 0;
  for (; k + 4 <= count; k += 4)
  {
    const Sleef___m128_2 sc = Sleef_sincosf4_u10sse2(_mm_loadu_ps(phase + k));
    _mm_storeu_ps(sine + k, sc.x);
    _mm_storeu_ps(cosine + k, sc.y);
  }
  if (k < count)
  {
    alignas(16) float in[4] = {}, s[4], c[4];
    for (int i = 0; k + i < count; ++i)
      in[i] = phase[k + i];
    const Sleef___m128_2 sc = Sleef_sincosf4_u10sse2(_mm_load_ps(in));
    _mm_store_ps(s, sc.x);
    _mm_store_ps(c, sc.y);
    for (int i = 0; k + i < count; ++i)
    {
      sine[k + i] = s[i];
      cosine[k + i] = c[i];
    }
  }
}

using SinCosFunction = void (*)(const float*, float*, float*, int);

bool HasAvx2()
{
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

const bool kAvx2 = HasAvx2();
const SinCosFunction kSinCos = kAvx2 ? SinCosBinsAvx2 : SinCosBinsSse2;

} // namespace

void SinCosBins(const float* phase, float* sine, float* cosine, int count)
{
  kSinCos(phase, sine, cosine, count);
}

const char* SinCosBinsKind()
{
  return kAvx2 ? "avx2" : "sse2";
}

} // namespace umbra
