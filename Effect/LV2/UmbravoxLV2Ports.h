#pragma once

// The LV2 face of Umbra Vox: URIs, port indices and symbols. Shared by the DSP shared object
// (umbravox.so), the editor's shared object (umbravox_ui.so) and the program that writes the
// bundle's .ttl files, so the three can never disagree. Plain constants only: no LV2 header and
// no framework header is needed to include it.
//
// Port layout. The thirteen parameter ports come first, so a parameter's index is its port index.
//
//   0..12  control inputs, one per parameter (kInput .. kMix), in the parameter's own units
//   13, 14 audio inputs, left and right
//   15, 16 audio outputs, left and right
//   17     control input "enabled" (lv2:enabled, toggled): 0 bypasses, 1 processes
//   18     control output "latency" (lv2:latency, integer): a frame and a hop once activated (4608 at 48 kHz)
//   19     control output "input_level": peak of the last block's input (left), dB, -60..+24
//   20     control output "output_level": peak of the last block's output (left), dB, -60..+24
//   21     control output "tempo": the host's tempo the plug-in follows, beats per minute
//   22     atom input "time" (time:Position, lv2:connectionOptional): the host's transport
//
// Reaching the running plug-in from an editor with instance access (LV2 instance-access
// feature): the LV2_Handle the host hands out is the instance's IEffectLV2 base, that is
//   auto* plugin = static_cast<umbra::Umbravox*>(static_cast<umbra::IEffectLV2*>(handle));
// (the object is always a umbra::Umbravox built with UMBRAVOX_API_LV2). The same pointer is also
// returned by the plug-in's extension_data for kInstanceURI, as a UmbravoxLV2Instance record,
// for hosts that hand out something else than the handle.
//
// What IEffectLV2 (Effect/LV2/IEffectLV2.h) offers an editor, running or parameter-only:
//   ApplyHostPortValue(port, value)        a parameter port's value from the host, applied as
//                                          run() applies a changed port (store, queue for the
//                                          editor, OnParamChange with source host); the
//                                          parameter-only model calls it from port_event
//   LastSeenPortValue(port)                the value run() last saw on a parameter port (NaN
//                                          before the first run)
//   PumpTimer()                            (IEffectAPIBase) the 20 ms timer: editor queue, OnIdle
// Changes made inside the plug-in (editor, preset recall, FXP file) reach the
// host's ports through the IEditorHostLink the editor sets with SetEditorHostLink (IEffectAPIBase);
// the DSP side never writes a control input port itself.

#include <cstdint>

namespace umbra { class IEffectLV2; }

namespace umbra::lv2 {

// Identifiers hosts keep in their sessions and preset banks: never to change. A URN, as the
// project owns no web address for them to name.
inline constexpr const char* kPluginURI = "urn:marrowfield:umbravox";
inline constexpr const char* kUIURI = "urn:marrowfield:umbravox#ui";
// Key of the state chunk in the host's saved state (an atom:Chunk of 13 little-endian doubles).
inline constexpr const char* kStateURI = "urn:marrowfield:umbravox#state";
// extension_data key: returns a const UmbravoxLV2Instance* (see below).
inline constexpr const char* kInstanceURI = "urn:marrowfield:umbravox#instance";
// Factory presets: kPresetURIPrefix followed by the preset's index, "preset0" .. "preset9".
inline constexpr const char* kPresetURIPrefix = "urn:marrowfield:umbravox#preset";

inline constexpr const char* kBundleName = "umbravox.lv2";
inline constexpr const char* kDSPBinary = "umbravox.so";
inline constexpr const char* kUIBinary = "umbravox_ui.so";

enum EPorts : uint32_t {
  kPortFirstParam = 0, // parameter i is port kPortFirstParam + i
  kPortNumParams = 13,
  kPortAudioInL = 13,
  kPortAudioInR = 14,
  kPortAudioOutL = 15,
  kPortAudioOutR = 16,
  kPortEnabled = 17,
  kPortLatency = 18,
  kPortInputLevel = 19,
  kPortOutputLevel = 20,
  kPortTempo = 21,
  kPortTime = 22,
  kNumPorts = 23
};

// Symbols of the parameter ports, in parameter index order (the parameter name in lower case,
// blanks as underscores).
inline constexpr const char* kParamSymbols[kPortNumParams] = {
  "input", "output", "haunt", "possess", "octave", "interval", "fine",
  "freeze", "smear", "whisper", "whisper_mode", "resonance", "mix"};

inline constexpr const char* kPortSymbols[kNumPorts] = {
  "input", "output", "haunt", "possess", "octave", "interval", "fine",
  "freeze", "smear", "whisper", "whisper_mode", "resonance", "mix",
  "in_l", "in_r", "out_l", "out_r",
  "enabled", "latency", "input_level", "output_level", "tempo", "time"};

// Range of the two level ports; -60 also means silence.
inline constexpr float kLevelFloorDb = -60.f;
inline constexpr float kLevelCeilingDb = 24.f;

// Frames of the crossfade between processing and bypass when "enabled" changes.
inline constexpr int kBypassFadeFrames = 1024;

// The longest stretch run() hands to the plug-in core at once; longer run() calls are split.
inline constexpr int kMaxBlockFrames = 4096;

// Returned by the plug-in's extension_data(kInstanceURI): maps an LV2_Handle of this plug-in to
// its IEffectLV2 base (the object is a umbra::Umbravox).
struct InstanceAccess {
  umbra::IEffectLV2* (*plugin)(void* lv2Handle);
};

} // namespace umbra::lv2
