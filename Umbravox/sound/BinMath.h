#pragma once

namespace umbra {

// Sines and cosines of a run of bins' phases, several bins per instruction (SLEEF, within one
// unit in the last place of the exact values). The widest vector unit the processor has is chosen
// once, when the program starts: AVX2 where present, SSE2 on any x86-64.
void SinCosBins(const float* phase, float* sine, float* cosine, int count);

// Which of them runs here ("avx2" or "sse2"), for the benchmarks.
const char* SinCosBinsKind();

} // namespace umbra
