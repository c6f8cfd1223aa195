// Compiled with AVX2 and FMA enabled; reached only through SinCosBins, on processors that have
// them.
#include <sleef.h>

namespace umbra {

void SinCosBinsAvx2(const float* phase, float* sine, float* cosine, int count)
{
  int k = 0;
  for (; k + 8 <= count; k += 8)
  {
    const Sleef___m256_2 sc = Sleef_sincosf8_u10avx2(_mm256_loadu_ps(phase + k));
    _mm256_storeu_ps(sine + k, sc.x);
    _mm256_storeu_ps(cosine + k, sc.y);
  }
  if (k < count)
  {
    alignas(32) float in[8] = {}, s[8], c[8];
    for (int i = 0; k + i < count; ++i)
      in[i] = phase[k + i];
    const Sleef___m256_2 sc = Sleef_sincosf8_u10avx2(_mm256_load_ps(in));
    _mm256_store_ps(s, sc.x);
    _mm256_store_ps(c, sc.y);
    for (int i = 0; k + i < count; ++i)
    {
      sine[k + i] = s[i];
      cosine[k + i] = c[i];
    }
  }
}

} // namespace umbra
