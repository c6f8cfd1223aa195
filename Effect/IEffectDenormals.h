#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace umbra {

// Flushes subnormal results to zero and treats subnormal inputs as zero while it lives, and
// gives the caller back its own floating-point mode afterwards. Decaying feedback paths otherwise
// crawl through subnormals, many times slower on most processors.
class ScopedFlushDenormals {
public:
  ScopedFlushDenormals()
  {
#if defined(__SSE__) || defined(__x86_64__)
    mSaved = _mm_getcsr();
    _mm_setcsr(mSaved | kFlushToZero | kDenormalsAreZero);
#elif defined(__aarch64__)
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(mSaved));
    const unsigned long flushed = mSaved | (1ul << 24);
    __asm__ __volatile__("msr fpcr, %0" : : "r"(flushed));
#endif
  }

  ~ScopedFlushDenormals()
  {
#if defined(__SSE__) || defined(__x86_64__)
    _mm_setcsr(mSaved);
#elif defined(__aarch64__)
    __asm__ __volatile__("msr fpcr, %0" : : "r"(mSaved));
#endif
  }

  ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
  ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

private:
#if defined(__SSE__) || defined(__x86_64__)
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;
  unsigned mSaved = 0;
#elif defined(__aarch64__)
  unsigned long mSaved = 0;
#endif
};

} // namespace umbra
