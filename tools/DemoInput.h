#pragma once

#include <vector>

namespace umbra::demo {

// About eight seconds of stereo made up on the spot, peaking at -12 dBFS: a sung phrase (a
// pulse train carrying a short melody with vibrato, through three formant resonators gliding
// from "ah" to "oo"), a pause, then a plucked D minor chord. Only plain IEEE arithmetic (the four
// operations, square root, floor) goes into it, never the C library's transcendental functions
// or a global random generator, so it comes out bit for bit the same on every machine and build.
// Returns two channels of equal length.
std::vector<std::vector<float>> SynthesizeDemoInput(double sampleRate = 48000.0);

// The length of SynthesizeDemoInput's result.
constexpr double kDemoSeconds = 8.0;
// Its peak level: 10^(-12/20).
constexpr double kDemoPeak = 0.251188643150958;

} // namespace umbra::demo
