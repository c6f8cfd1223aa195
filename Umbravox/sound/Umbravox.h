#pragma once

#include <array>
#include <atomic>
#include <memory>

#include "CircularBuffer.h"
#include "FFTProcessor.h"
#include "FrameTiming.h"
#include "IEffectSmoother.h"
#include "ISender.h"
#include "UmbravoxParams.h"

// The plug-in is compiled once per host target, each time on top of that target's wrapper.
#if defined(UMBRAVOX_API_OFFLINE)
#include "Offline/IEffectOffline.h"
namespace umbra { using UmbravoxWrapper = IEffectOffline; }
#elif defined(UMBRAVOX_API_AU)
#include "AUv2/IEffectAU.h"
namespace umbra { using UmbravoxWrapper = IEffectAU; }
#elif defined(UMBRAVOX_API_LV2)
#include "LV2/IEffectLV2.h"
namespace umbra { using UmbravoxWrapper = IEffectLV2; }
#elif defined(UMBRAVOX_API_JACK)
#include "JACK/IEffectJack.h"
namespace umbra { using UmbravoxWrapper = IEffectJack; }
#else
#error "Define the host target this build of Umbravox is for (UMBRAVOX_API_...)"
#endif

namespace umbra {

class Umbravox : public UmbravoxWrapper {
public:
  explicit Umbravox(const InstanceInfo& info);
  ~Umbravox() override;

  void OnUIClose() override {}

  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;
  void OnReset() override;
  void OnIdle() override;
  // A restored state or preset is heard at once: the gains jump to it rather than ramp.
  int UnserializeState(const IByteChunk& chunk, int startPos) override;

  // The compiled configuration of this plug-in.
  static Config MakeConfig();

  // The engine's frame (also the ring size and the reported latency) and hop follow the sample
  // rate: 4096 and 512 at 48 kHz, the same length in seconds at other rates (FrameTimingFor).
  static constexpr int kMaxChannels = 2;
  // How long Input, Output and Mix take to reach a new value: longer than a host period, so
  // values sent once per period join up, and short enough to follow a fader.
  static constexpr double kGainRampSeconds = 0.02;

  // Read by the editor's animated background.
  std::atomic<float> mTempo{120.f};
  std::atomic<float> mInputPeakDb{-60.f};
  std::atomic<float> mOutputPeakDb{-60.f};

  // For tests and tools that look inside the engine.
  const FFTProcessor& GetFFTProcessor() const { return *mFFTProcessor; }
  int GetWritePosition() const { return mWritePos; }
  int GetFrameSize() const { return mTiming.frameSize; }
  int GetHopCounter() const { return mHopCounter; }

  // On a stage nothing compensates the frame's delay, so a singer must hear the dry voice at
  // once: the dry path then takes each sample as it enters instead of one frame later, while the
  // wet path keeps its latency. Off by default, where a host lines both up with the timeline.
  void SetDryUndelayed(bool undelayed) { mDryUndelayed.store(undelayed, std::memory_order_relaxed); }
  bool IsDryUndelayed() const { return mDryUndelayed.load(std::memory_order_relaxed); }

private:
  void InitParameters();
  void RegisterFactoryPresets();
  void UpdateFrameSettings();

  // Builds the engine for the current sample rate, if it is not built for it already (this
  // allocates: only ever on a reset, never on the audio thread).
  void PrepareEngineForRate();
  // Input, Output and the wet weight of Mix as gains, from the parameters.
  struct GainTargets {
    double input, output, wet;
  };
  GainTargets GainTargetsFromParams() const;
  void SnapGainsToParams();

  // What one block's samples share.
  struct BlockContext {
    double** inputs;
    double** outputs;
    int nChans;
    double inputPeak, outputPeak; // channel 0
  };
  // Per-sample gains of up to kGainChunk samples, taken from the smoothers.
  static constexpr int kGainChunk = 64;
  struct GainChunk {
    double input[kGainChunk], wet[kGainChunk], output[kGainChunk];
  };
  void FillGains(GainChunk& gains, int count);
  // Samples that complete no hop, all within one turn of the rings.
  void ProcessRun(BlockContext& block, int start, int count);
  // The sample that completes a hop: the frame in progress ends and the next begins.
  void ProcessFrameSample(BlockContext& block, int s);

  IPeakAvgSender<kMaxChannels, 64> mInputMeterSender;
  IPeakAvgSender<kMaxChannels, 64> mOutputMeterSender;
  std::array<std::unique_ptr<CircularBuffer>, kMaxChannels> mInputBuffers;
  std::array<std::unique_ptr<CircularBuffer>, kMaxChannels> mOutputBuffers;
  std::unique_ptr<FFTProcessor> mFFTProcessor; // declared last: released first
  FrameTiming mTiming;
  double mEngineRate = 48000.0;
  int mWritePos = 0;
  int mHopCounter = 0;
  LinearSmoother mInputGain, mOutputGain, mWetGain;
  std::atomic<bool> mSnapGains{true}; // set by a restore, taken by the next block
  std::atomic<bool> mDryUndelayed{false};
};

// Builds an instance in the memory given (which must fit a Umbravox), or in new memory.
Umbravox* MakePlug(void* memory = nullptr);

} // namespace umbra
