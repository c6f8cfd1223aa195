#include "IEffectOffline.h"

#include <algorithm>

namespace umbra {

IEffectOffline::IEffectOffline(const Config& config, const InstanceInfo& info)
  : IEffectAPIBase(config), IEffectProcessor(config), mInstanceInfo(info)
{
  mInputPointers.assign(static_cast<size_t>(MaxNChannels(kRouteInput)), nullptr);
  mOutputPointers.assign(static_cast<size_t>(MaxNChannels(kRouteOutput)), nullptr);
  SetChannelConnections(kRouteInput, 0, MaxNChannels(kRouteInput), true);
  SetChannelConnections(kRouteOutput, 0, MaxNChannels(kRouteOutput), true);
  InitLatencyDelay();
}

IEffectOffline::~IEffectOffline() = default;

void IEffectOffline::HostSetSampleRate(double sampleRate)
{
  if (!(sampleRate > 0.0) || sampleRate == GetSampleRate())
    return;
  SetSampleRate(sampleRate);
  if (mInitialized)
    OnReset();
}

void IEffectOffline::HostSetBlockSize(int maxFrames)
{
  if (maxFrames <= 0 || maxFrames == GetBlockSize())
    return;
  SetBlockSize(maxFrames);
  if (mInitialized)
    OnReset();
}

void IEffectOffline::HostSetChannels(int nInputs, int nOutputs)
{
  SetChannelConnections(kRouteInput, 0, MaxNChannels(kRouteInput), false);
  SetChannelConnections(kRouteOutput, 0, MaxNChannels(kRouteOutput), false);
  SetChannelConnections(kRouteInput, 0, nInputs, true);
  SetChannelConnections(kRouteOutput, 0, nOutputs, true);
}

void IEffectOffline::HostInitialize()
{
  if (GetBlockSize() == 0)
    SetBlockSize(512);
  OnActivate(true);
  mInitialized = true;
  HostReset();
}

void IEffectOffline::HostUninitialize()
{
  if (!mInitialized)
    return;
  mInitialized = false;
  OnActivate(false);
}

void IEffectOffline::HostReset()
{
  ZeroScratchBuffers();
  OnReset();
  SettleBypass();
}

void IEffectOffline::HostSetBypass(bool bypassed)
{
  // Processing crossfades to the new state; the plug-in runs on while bypassed.
  SetBypassed(bypassed);
}

void IEffectOffline::HostProcess(const float* const* inputs, float* const* outputs, int nFrames)
{
  const int nIn = NChannelsConnected(kRouteInput);
  const int nOut = NChannelsConnected(kRouteOutput);
  const int blockSize = std::max(GetBlockSize(), 1);

  for (int done = 0; done < nFrames;)
  {
    const int n = std::min(blockSize, nFrames - done);
    for (int c = 0; c < nIn; ++c)
      mInputPointers[c] = const_cast<float*>(inputs[c]) + done; // inputs are only read
    for (int c = 0; c < nOut; ++c)
      mOutputPointers[c] = outputs[c] + done;

    AttachBuffers(kRouteInput, 0, MaxNChannels(kRouteInput), mInputPointers.data(), n);
    AttachBuffers(kRouteOutput, 0, MaxNChannels(kRouteOutput), mOutputPointers.data(), n);
    ProcessBuffersWithBypass(n);
    done += n;
  }
}

void IEffectOffline::HostSetParameter(int paramIdx, double value, int sampleOffset)
{
  if (!IsValidParamIdx(paramIdx))
    return;
  GetParam(paramIdx)->StoreValue(value);
  SendParameterValueFromAPI(paramIdx, value, false);
  OnParamChange(paramIdx, kHost, sampleOffset);
}

void IEffectOffline::HostSetParameterNormalized(int paramIdx, double normalized, int sampleOffset)
{
  if (!IsValidParamIdx(paramIdx))
    return;
  GetParam(paramIdx)->StoreNormalized(normalized);
  SendParameterValueFromAPI(paramIdx, normalized, true);
  OnParamChange(paramIdx, kHost, sampleOffset);
}

bool IEffectOffline::HostSetState(const IByteChunk& chunk)
{
  // A short chunk still applies the values it holds; say so, but refresh the editor either way.
  const int pos = UnserializeState(chunk, 0);
  OnRestoreState();
  return pos > 0;
}

void IEffectOffline::BeginInformHostOfParamChange(int paramIdx)
{
  if (mListener)
    mListener->OnBeginGesture(paramIdx);
}

void IEffectOffline::InformHostOfParamChange(int paramIdx, double normalizedValue)
{
  if (mListener)
    mListener->OnParamChanged(paramIdx, normalizedValue);
}

void IEffectOffline::EndInformHostOfParamChange(int paramIdx)
{
  if (mListener)
    mListener->OnEndGesture(paramIdx);
}

void IEffectOffline::InformHostOfPresetChange()
{
  if (mListener)
    mListener->OnPresetChanged();
}

void IEffectOffline::SetLatency(int samples)
{
  IEffectProcessor::SetLatency(samples);
  if (mListener)
    mListener->OnLatencyChanged(samples);
}

} // namespace umbra
