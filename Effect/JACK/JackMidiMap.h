#pragma once

#include <array>
#include <atomic>
#include <vector>

#include "../IEffectStructs.h"

namespace umbra {

class IEffectAPIBase;
class IEffectBase;

// What MIDI from a player's controllers does to the plug-in, on any channel: a Program Change
// recalls a preset, a Control Change moves the parameter its controller is mapped to, and a hold
// controller (a sustain pedal) holds one parameter at a value while it is pressed and gives the
// parameter back as it was when released.
//
// Threads: the map, the hold and the presets' values are set on the main thread before the
// client goes live; Apply runs on the audio thread, at the event's frame, and only stores
// parameter values (atomics) and raises flags: no allocation, lock or system call. The preset a
// Program Change recalled is handed to the main thread (TakeRecalledPreset), which names it.
class JackMidiMap {
public:
  static constexpr int kControllers = 128;
  static constexpr int kUnmapped = -1;
  static constexpr int kHold = -2; // the controller holds the hold parameter

  // Controller cc moves the parameter at index target, holds (kHold), or does nothing.
  void MapController(int cc, int target);
  int ControllerTarget(int cc) const { return cc >= 0 && cc < kControllers ? mControllers[static_cast<size_t>(cc)] : kUnmapped; }
  // Which parameter a hold controller holds, and at what value (in the parameter's units).
  void SetHold(int paramIdx, double value);
  // The values each of plug's presets holds, read once so the audio thread recalls a preset
  // without touching the preset store.
  void CapturePresets(const IEffectBase& plug);

  // Audio thread.
  void Apply(IEffectAPIBase& plug, const IMidiMsg& msg);

  // Main thread: the last preset a Program Change recalled since the last call, or -1.
  int TakeRecalledPreset() { return mRecalledPreset.exchange(-1); }

private:
  void Store(IEffectAPIBase& plug, int paramIdx, double value);

  std::array<int, kControllers> mControllers = MakeUnmapped();
  int mHoldParam = -1;
  double mHoldValue = 0.0;
  bool mHolding = false;
  double mValueBeforeHold = 0.0;
  std::vector<std::vector<double>> mPresetValues;
  std::atomic<int> mRecalledPreset{-1};

  static std::array<int, kControllers> MakeUnmapped()
  {
    std::array<int, kControllers> controllers;
    controllers.fill(kUnmapped);
    return controllers;
  }
};

} // namespace umbra
