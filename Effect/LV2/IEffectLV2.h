#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "../IEffectAPIBase.h"
#include "../IEffectProcessor.h"
#include "UmbravoxLV2Ports.h"

namespace umbra {

// The LV2 wrapper: one object per LV2 instance, the LV2_Handle the host holds. It makes the
// calls a host makes on the plug-in core, in the usual order: sample rate and block size at
// instantiation, initialise and reset at activation, attach buffers and process per block, store
// parameter values and queue them for the editor, hand the state chunk out and back.
//
// Every feature is optional. Without urid:map there is no state and no transport (the plug-in
// still runs); without options or a maximum block length, blocks of up to 4096 frames are
// prepared and longer run() calls are split.
//
// Control ports are the host's truth: run() applies a parameter port only when its value differs
// from the one it last saw on that port, so values set inside the plug-in (editor, presets,
// files) stand until the host moves the port. Those inside changes reach the host through the
// editor's port writes (IEditorHostLink). The saved state is what the ports show (a port moved
// while run() was not called counts), and a restore takes every port again, the connected ones
// at once and the rest at the next run(): the host restores its ports with the state, and what
// it shows is what plays.
class IEffectLV2 : public IEffectAPIBase, public IEffectProcessor {
public:
  IEffectLV2(const Config& config, const InstanceInfo& info);
  ~IEffectLV2() override;

  // The host's calls, made by the LV2 descriptor's entry points.
  // Instantiation: the sample rate and the host's features (urid:map, options).
  void HostInstantiate(double sampleRate, const LV2_Feature* const* features);
  void HostConnectPort(uint32_t port, void* data);
  void HostActivate();   // initialise, then reset
  void HostRun(uint32_t nFrames);
  void HostDeactivate(); // uninitialise
  LV2_State_Status HostSaveState(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status HostRestoreState(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);
  bool IsActive() const { return mActive; }

  // Editor side. A parameter port's value from the host, applied as run() applies a changed
  // port (the parameter-only model of an editor without instance access calls it from its
  // port_event). Not for the running instance's own ports: run() reads those.
  void ApplyHostPortValue(uint32_t port, float value);
  // The value run() last saw on a parameter port; NaN before the first run.
  float LastSeenPortValue(uint32_t port) const;

  // The plug-in's live values the level and tempo output ports report (set by the plug-in).
  void SetLiveValues(std::atomic<float>* inputPeakDb, std::atomic<float>* outputPeakDb,
                     std::atomic<float>* tempo);


  // Wrapper side of the plug-in.
  bool SendMidiMsg(const IMidiMsg& msg) override { (void)msg; return false; }

  const InstanceInfo& GetInstanceInfo() const { return mInstanceInfo; }

  // The LV2 descriptor of this plug-in (entry points call MakeLV2Instance, defined by the
  // plug-in).
  static const LV2_Descriptor* Descriptor();

private:
  struct URIDs {
    LV2_URID atomBlank = 0, atomObject = 0, atomChunk = 0, atomFloat = 0, atomDouble = 0,
             atomInt = 0, atomLong = 0, atomSequence = 0;
    LV2_URID timePosition = 0, timeBPM = 0, timeSpeed = 0, timeFrame = 0, timeBarBeat = 0,
             timeBar = 0, timeBeatsPerBar = 0, timeBeatUnit = 0;
    LV2_URID bufMaxBlock = 0, bufNominalBlock = 0, atomIntOpt = 0;
    LV2_URID stateKey = 0;
  };

  void ApplyParamPort(int paramIdx, float value);
  void ReadControlPorts();
  void ReadParamPorts(); // those that moved since last seen
  void ReadTransport(uint32_t nFrames);
  void AdvanceTransport(uint32_t nFrames);
  // Returns whether the stretch was the bypass path throughout.
  bool ProcessStretch(const float* const* inputs, float* const* outputs, int nFrames);
  void WriteOutputPorts();

  InstanceInfo mInstanceInfo;
  LV2_URID_Map* mMap = nullptr;
  URIDs mURIDs;
  bool mActive = false;

  // Ports as connected by the host (null until connected).
  std::array<const float*, lv2::kPortNumParams> mParamPorts{};
  std::array<std::atomic<float>, lv2::kPortNumParams> mLastSeen;
  const float* mAudioIn[2] = {nullptr, nullptr};
  float* mAudioOut[2] = {nullptr, nullptr};
  const float* mEnabledPort = nullptr;
  float* mLatencyPort = nullptr;
  float* mInputLevelPort = nullptr;
  float* mOutputLevelPort = nullptr;
  float* mTempoPort = nullptr;
  const void* mTimePort = nullptr;

  std::atomic<float>* mLiveInputDb = nullptr;
  std::atomic<float>* mLiveOutputDb = nullptr;
  std::atomic<float>* mLiveTempo = nullptr;

  // The enabled port sets the bypass state each run(); the processing frame's crossfade follows
  // it (ProcessBuffersWithBypass).
  std::vector<float> mSilence;               // stands in for unconnected audio inputs
  std::vector<float> mDiscard;               // and unconnected outputs
  float* mInputPointers[2] = {nullptr, nullptr};
  float* mOutputPointers[2] = {nullptr, nullptr};
  float mBypassPeakIn = 0.f, mBypassPeakOut = 0.f;
};

// Defined by the plug-in: a new instance of it, on its LV2 wrapper.
IEffectLV2* MakeLV2Instance();

} // namespace umbra
