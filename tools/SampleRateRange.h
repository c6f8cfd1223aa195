#pragma once

namespace umbra {

// The sample rates the plug-in runs at. Files are refused outside them before anything is
// allocated for their length, and renders before the plug-in is made.
constexpr int kMinSampleRate = 8000;
constexpr int kMaxSampleRate = 384000;

} // namespace umbra
