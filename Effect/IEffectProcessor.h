#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "IBypassCrossfade.h"
#include "IEffectConstants.h"
#include "IEffectDelayLine.h"
#include "IEffectStructs.h"

namespace umbra {

// One channel of the processing frame: its own scratch block of doubles, and where the host's
// buffer for it lies.
struct IChannelData {
  bool mConnected = false;
  double** mData = nullptr;      // this channel's slot in the scratch-pointer array
  float* mIncomingData = nullptr; // the host's output buffer, recorded by AttachBuffers
  std::vector<double> mScratchBuf;
  std::string mLabel;
};

// The audio side of the plug-in base: channel layouts, sample rate and block size, latency,
// bypass, the host's transport, and the conversion between the host's float buffers and the
// double blocks that ProcessBlock works on. Nothing here allocates once the block size is set.
class IEffectProcessor {
public:
  // Room reserved for the bypass delay, so that reporting a latency up to this many samples
  // never allocates.
  static constexpr int kMaxReservedLatency = 4096;

  explicit IEffectProcessor(const Config& config);
  virtual ~IEffectProcessor();

  IEffectProcessor(const IEffectProcessor&) = delete;
  IEffectProcessor& operator=(const IEffectProcessor&) = delete;

  virtual void ProcessBlock(double** inputs, double** outputs, int nFrames);
  virtual void ProcessMidiMsg(const IMidiMsg& msg) { (void)msg; }
  virtual void ProcessSysEx(const ISysEx& msg) { (void)msg; }
  virtual void OnReset() {}
  virtual void OnActivate(bool active) { (void)active; }
  virtual bool SendMidiMsg(const IMidiMsg& msg) = 0;
  virtual bool SendMidiMsgs(const std::vector<IMidiMsg>& msgs);
  virtual bool SendSysEx(const ISysEx& msg) { (void)msg; return false; }
  virtual void GetBusName(ERoute direction, int busIdx, int nBuses, std::string& name) const;
  virtual void SetLatency(int samples);
  virtual void SetTailSize(int samples) { mTailSize = samples; }

  // Channel I/O strings: configurations separated by blanks, each "inputs-outputs", buses
  // separated by ".", "*" for a bus of any width.
  static int ParseChannelIOStr(const char* text, std::vector<std::unique_ptr<IOConfig>>& configs,
                               int& maxNInChans, int& maxNOutChans, int& maxNInBuses,
                               int& maxNOutBuses);
  bool LegalIO(int nIn, int nOut) const;
  int MaxNBuses(ERoute direction, int* configIdx = nullptr) const;
  int MaxNChannelsForBus(ERoute direction, int busIdx) const;
  int NIOConfigs() const { return static_cast<int>(mIOConfigs.size()); }
  const IOConfig* GetIOConfig(int idx) const
  {
    return idx >= 0 && idx < NIOConfigs() ? mIOConfigs[idx].get() : nullptr;
  }

  int MaxNChannels(ERoute direction) const { return static_cast<int>(mChannelData[direction].size()); }
  int NChannelsConnected(ERoute direction) const;
  bool IsChannelConnected(ERoute direction, int chIdx) const;
  void SetChannelConnections(ERoute direction, int idx, int n, bool connected);

  // The render path.
  // Input buffers are only read. A wrapper hands at most GetBlockSize() frames at a time.
  void AttachBuffers(ERoute direction, int idx, int n, float* const* buffers, int nFrames);
  void ProcessBuffers(int nFrames);
  void PassThroughBuffers(int nFrames);
  // The plug-in and the bypass path (PassThroughBuffers) both run, into the outputs last
  // attached, and the bypass crossfade mixes them as the bypass state moves: either can take
  // over at any sample, with nothing stale in it. Returns whether the whole block was the bypass
  // path.
  bool ProcessBuffersWithBypass(int nFrames);
  // The crossfade jumps to the bypass state (activation, reset).
  // Until the first block after that, a change of state is taken at once as well.
  void SettleBypass()
  {
    mBypassFade.SetTarget(GetBypassed());
    mBypassFade.Settle();
    mBlockSinceBypassSettled = false;
  }
  int BypassFadePosition() const { return mBypassFade.Position(); }
  void ZeroScratchBuffers();

  void SetBlockSize(int blockSize);
  void InitLatencyDelay();

  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  int GetLatency() const { return mLatency; }
  int GetTailSize() const { return mTailSize; }
  bool GetBypassed() const { return mBypassed.load(std::memory_order_relaxed); }
  const ITransportInfo& GetTransportInfo() const { return mTimeInfo; }
  double GetTempo() const { return mTimeInfo.mTempo; }
  int GetPlugType() const { return mPlugType; }
  bool DoesMIDIIn() const { return mDoesMIDIIn; }
  bool DoesMIDIOut() const { return mDoesMIDIOut; }
  bool DoesMPE() const { return mDoesMPE; }
  int32_t GetAUPluginType() const;

protected:
  // Written by the host wrapper. The bypass state may be set on any thread; the render thread
  // follows it with the crossfade.
  void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  void SetBypassed(bool bypassed) { mBypassed.store(bypassed, std::memory_order_relaxed); }
  void SetTransportInfo(const ITransportInfo& info) { mTimeInfo = info; }

private:
  void ConvertOutputsToHost(int nFrames);

  int mPlugType;
  bool mDoesMIDIIn;
  bool mDoesMIDIOut;
  bool mDoesMPE;
  int mLatency;
  double mSampleRate = 48000.0;
  int mBlockSize = 0;
  int mTailSize = 0;
  std::atomic<bool> mBypassed{false};
  BypassCrossfade mBypassFade;
  bool mBlockSinceBypassSettled = false; // a block has run since SettleBypass
  std::vector<float> mBypassScratch;      // the bypass path, one block per output channel
  std::vector<float> mDiscardScratch;     // the plug-in's output while fully bypassed
  std::vector<float*> mHostOutputs, mBypassOutputs;
  std::vector<std::unique_ptr<IOConfig>> mIOConfigs;
  std::vector<double*> mScratchData[2];
  std::vector<std::unique_ptr<IChannelData>> mChannelData[2];
  ITransportInfo mTimeInfo;
  std::unique_ptr<NChanDelayLine<double>> mLatencyDelay;
};

} // namespace umbra
