#pragma once

namespace umbra {

// Parameter indices: the host's parameter IDs and the order of values in the state chunk and in
// every preset. Never reorder.
enum EParams {
  kInput = 0,
  kOutput,
  kHaunt,
  kPossess,
  kOctave,
  kInterval,
  kFine,
  kFreeze,
  kSmear,
  kWhisper,
  kWhisperMode,
  kResonance,
  kMix,
  kNumParams
};

// Tags under which the plug-in addresses editor controls.
enum ECtrlTags { kCtrlTagInputMeter = 0, kCtrlTagOutputMeter, kCtrlTagPresetName };

constexpr int kNumPresets = 10;

} // namespace umbra
