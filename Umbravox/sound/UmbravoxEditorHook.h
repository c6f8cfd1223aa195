#pragma once

// How a plug-in instance gets its editor. The plug-in core is compiled once per host target and
// must not depend on the editor (an audio-only build, such as the DSP half of a plug-in whose
// editor lives in another shared object, has none). Each instance calls InstallUmbravoxEditor at
// the end of its construction; the definition comes from whichever of two libraries the target
// links: the editor library's installs the make-graphics and layout functions (and runs the
// process's start-up update check), umbravox_no_editor's does nothing.

#include <atomic>

namespace umbra {

class IEffectBase;

// The plug-in's values the editor's animated background follows, written by the audio thread.
struct UmbravoxLiveValues {
  std::atomic<float>* tempo = nullptr;
  std::atomic<float>* inputPeakDb = nullptr;
  std::atomic<float>* outputPeakDb = nullptr;
};

void InstallUmbravoxEditor(IEffectBase& plugin, const UmbravoxLiveValues& live);

} // namespace umbra
