#pragma once

#include <vector>

#include "../IEffectAPIBase.h"
#include "../IEffectProcessor.h"

namespace umbra {

// What an in-process host sees happen: gestures, parameter notifications, preset and latency
// changes. Tools and tests listen through it.
class IOfflineHostListener {
public:
  virtual ~IOfflineHostListener() = default;
  virtual void OnBeginGesture(int paramIdx) { (void)paramIdx; }
  virtual void OnParamChanged(int paramIdx, double normalized) { (void)paramIdx; (void)normalized; }
  virtual void OnEndGesture(int paramIdx) { (void)paramIdx; }
  virtual void OnPresetChanged() {}
  virtual void OnLatencyChanged(int samples) { (void)samples; }
};

// An in-process host for tools and tests. It makes the calls a host makes, in the order a host
// makes them: sample rate and block size, initialise (which resets), per-block processing,
// parameter automation, state save and restore, and the main-thread idle pump.
class IEffectOffline : public IEffectAPIBase, public IEffectProcessor {
public:
  IEffectOffline(const Config& config, const InstanceInfo& info);
  ~IEffectOffline() override;

  // Set-up, while not processing.
  void HostSetSampleRate(double sampleRate);
  void HostSetBlockSize(int maxFrames);
  void HostSetChannels(int nInputs, int nOutputs); // how many of the plug-in's channels are wired
  void HostInitialize();                           // activates, then resets
  void HostUninitialize();
  void HostReset();
  void HostSetBypass(bool bypassed);
  void HostSetTransport(const ITransportInfo& info) { SetTransportInfo(info); }
  bool IsInitialized() const { return mInitialized; }

  // Audio: one call per host block of any length; split into blocks the plug-in was prepared
  // for. One buffer per connected channel.
  void HostProcess(const float* const* inputs, float* const* outputs, int nFrames);

  // Automation from the host, in the parameter's own units or normalised.
  void HostSetParameter(int paramIdx, double value, int sampleOffset = 0);
  void HostSetParameterNormalized(int paramIdx, double normalized, int sampleOffset = 0);
  double HostGetParameter(int paramIdx) const { return GetParam(paramIdx)->Value(); }

  // The state the host stores with its project.
  bool HostGetState(IByteChunk& chunk) const { return SerializeState(chunk); }
  bool HostSetState(const IByteChunk& chunk);

  // The host's idle callback on the main thread.
  void HostIdle() { PumpTimer(); }

  void SetHostListener(IOfflineHostListener* listener) { mListener = listener; }

  // Wrapper side of the plug-in.
  void BeginInformHostOfParamChange(int paramIdx) override;
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChange(int paramIdx) override;
  void InformHostOfPresetChange() override;
  bool SendMidiMsg(const IMidiMsg& msg) override { (void)msg; return false; }
  void SetLatency(int samples) override;

  const InstanceInfo& GetInstanceInfo() const { return mInstanceInfo; }

private:
  InstanceInfo mInstanceInfo;
  std::vector<float*> mInputPointers;  // one per channel the plug-in has, sized once
  std::vector<float*> mOutputPointers;
  IOfflineHostListener* mListener = nullptr;
  bool mInitialized = false;
};

} // namespace umbra
