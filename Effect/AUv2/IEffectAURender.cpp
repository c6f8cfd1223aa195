// The render call: pull the inputs, attach the host's buffers, process (crossfading to the
// latency-aligned input while bypassed), and the transport. Nothing here allocates, locks or
// calls the system: every list and scratch block is sized by the property calls before
// rendering, and what property calls may change during a render (the render notifications, the
// host callbacks) is read through IRealtimeShared.
#include <algorithm>
#include <cstddef>

#include "IEffectAU.h"

namespace umbra {

namespace {

// The buffers of a list, as many as it says it holds.
AudioBuffer* Buffers(AudioBufferList* list)
{
  return list->mBuffers;
}

using FastRenderProc = OSStatus (*)(void* self, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                    UInt32, UInt32, AudioBufferList*);

} // namespace

void IEffectAU::ResizeScratchBuffers()
{
  const auto blockSize = static_cast<size_t>(GetBlockSize());
  mInScratch.assign(blockSize * static_cast<size_t>(MaxNChannels(kRouteInput)), 0.f);
  mOutScratch.assign(blockSize * static_cast<size_t>(MaxNChannels(kRouteOutput)), 0.f);
  const size_t nBuffers = static_cast<size_t>(std::max(MaxNChannels(kRouteInput), 1));
  mPullListStorage.assign(offsetof(AudioBufferList, mBuffers) + nBuffers * sizeof(AudioBuffer), 0);
}

void IEffectAU::AssessInputConnections()
{
  SetChannelConnections(kRouteInput, 0, MaxNChannels(kRouteInput), false);
  for (int b = 0; b < NBuses(kRouteInput); ++b)
  {
    BusChannels& bus = mBusChannels[kRouteInput][b];
    bus.connected = mInBusConnections[b].type != ESourceType::NotConnected;
    if (!bus.connected)
      continue;
    const int n = std::min(BusChannelCount(bus), bus.nPlugChannels);
    SetChannelConnections(kRouteInput, bus.plugChannelStartIdx, n, true);
    SetChannelConnections(kRouteInput, bus.plugChannelStartIdx + n, bus.nPlugChannels - n, false);
  }
}

void IEffectAU::SetChannelsConnected(ERoute direction, int first, int count, int nConnected)
{
  // Only channels whose state changes are touched: a disconnection clears the channel's scratch.
  for (int c = 0; c < count; ++c)
  {
    const bool connected = c < nConnected;
    if (IsChannelConnected(direction, first + c) != connected)
      SetChannelConnections(direction, first + c, 1, connected);
  }
}

OSStatus IEffectAU::PullInputBus(int busIdx, AudioUnitRenderActionFlags*,
                                 const AudioTimeStamp* timeStamp, UInt32 nFrames)
{
  const BusChannels& bus = mBusChannels[kRouteInput][busIdx];
  const InputBusConnection& source = mInBusConnections[busIdx];
  const int n = std::min(BusChannelCount(bus), bus.nPlugChannels);
  const auto blockSize = static_cast<size_t>(GetBlockSize());

  auto* list = reinterpret_cast<AudioBufferList*>(mPullListStorage.data());
  list->mNumberBuffers = static_cast<UInt32>(n);
  AudioBuffer* buffers = Buffers(list);
  for (int c = 0; c < n; ++c)
  {
    buffers[c].mNumberChannels = 1;
    buffers[c].mDataByteSize = nFrames * sizeof(float);
    buffers[c].mData = mInScratch.data() + static_cast<size_t>(bus.plugChannelStartIdx + c) * blockSize;
  }

  AudioUnitRenderActionFlags flags = 0;
  OSStatus status = noErr;
  switch (source.type)
  {
    case ESourceType::RenderCallback:
      status = source.callback(source.callbackRefCon, &flags, timeStamp,
                               static_cast<UInt32>(busIdx), nFrames, list);
      break;
    case ESourceType::DirectFastProc:
      status = reinterpret_cast<FastRenderProc>(source.fastRender)(
        source.upstreamObject, &flags, timeStamp, source.sourceOutput, nFrames, list);
      break;
    case ESourceType::DirectNoFastProc:
      status = AudioUnitRender(source.sourceUnit, &flags, timeStamp, source.sourceOutput, nFrames,
                               list);
      break;
    case ESourceType::NotConnected:
      return noErr;
  }
  if (status != noErr)
    return status;

  // A source may hand back buffers of its own instead of filling ours.
  for (int c = 0; c < n; ++c)
  {
    mHostPointers[c] = buffers[c].mData
                         ? static_cast<float*>(buffers[c].mData)
                         : mInScratch.data() + static_cast<size_t>(bus.plugChannelStartIdx + c) * blockSize;
  }
  AttachBuffers(kRouteInput, bus.plugChannelStartIdx, n, mHostPointers.data(),
                static_cast<int>(nFrames));
  return noErr;
}

void IEffectAU::CallRenderNotify(AudioUnitRenderActionFlags flags, const AudioTimeStamp* timeStamp,
                                 UInt32 bus, UInt32 nFrames, AudioBufferList* ioData)
{
  const auto list = mRenderNotify.Read();
  for (int i = 0; i < list->count; ++i)
  {
    const RenderNotify& notify = list->entries[static_cast<size_t>(i)];
    AudioUnitRenderActionFlags notifyFlags = flags;
    notify.proc(notify.userData, &notifyFlags, timeStamp, bus, nFrames, ioData);
  }
}

OSStatus IEffectAU::Render(AudioUnitRenderActionFlags* ioActionFlags,
                           const AudioTimeStamp* inTimeStamp, UInt32 outputBus, UInt32 nFrames,
                           AudioBufferList* ioData)
{
  if (!inTimeStamp || !ioData)
    return paramErr;
  mLastRenderTimeStamp = *inTimeStamp;
  if (!(inTimeStamp->mFlags & kAudioTimeStampSampleTimeValid))
    return kAudioUnitErr_InvalidPropertyValue;
  if (nFrames > static_cast<UInt32>(GetBlockSize()))
    return kAudioUnitErr_TooManyFramesToProcess;
  if (outputBus >= static_cast<UInt32>(NBuses(kRouteOutput)))
    return kAudioUnitErr_InvalidElement;

  const AudioUnitRenderActionFlags actionFlags = ioActionFlags ? *ioActionFlags : 0;
  CallRenderNotify(actionFlags | kAudioUnitRenderAction_PreRender, inTimeStamp, outputBus, nFrames,
                   ioData);

  if (!mPulledOnce || inTimeStamp->mSampleTime != mLastInputSampleTime)
  {
    for (int b = 0; b < NBuses(kRouteInput); ++b)
    {
      if (!mBusChannels[kRouteInput][b].connected)
        continue;
      const OSStatus status = PullInputBus(b, ioActionFlags, inTimeStamp, nFrames);
      if (status != noErr)
        return status;
    }
    mLastInputSampleTime = inTimeStamp->mSampleTime;
    mPulledOnce = true;
  }

  // The host's buffers for this bus, or the unit's own where it passes none.
  const BusChannels& bus = mBusChannels[kRouteOutput][outputBus];
  const int n = std::min(static_cast<int>(ioData->mNumberBuffers), bus.nPlugChannels);
  const auto blockSize = static_cast<size_t>(GetBlockSize());
  AudioBuffer* buffers = Buffers(ioData);
  for (int c = 0; c < n; ++c)
  {
    if (!buffers[c].mData)
    {
      buffers[c].mData = mOutScratch.data() + static_cast<size_t>(bus.plugChannelStartIdx + c) * blockSize;
      buffers[c].mDataByteSize = nFrames * sizeof(float);
    }
    else if (buffers[c].mDataByteSize < nFrames * sizeof(float))
    {
      return paramErr;
    }
    mHostPointers[c] = static_cast<float*>(buffers[c].mData);
  }
  SetChannelsConnected(kRouteOutput, bus.plugChannelStartIdx, bus.nPlugChannels, n);
  AttachBuffers(kRouteOutput, bus.plugChannelStartIdx, n, mHostPointers.data(),
                static_cast<int>(nFrames));

  if (outputBus + 1 == static_cast<UInt32>(NBuses(kRouteOutput)))
  {
    IMidiMsg msg;
    while (mMidiMsgsFromHost.Pop(msg))
      ProcessMidiMsg(msg);
    while (MidiMsgsFromEditor().Pop(msg))
      ProcessMidiMsg(msg);
    while (mSysExFromHost.Pop(mRenderSysExScratch))
      ProcessSysEx(mRenderSysExScratch);
    while (SysExFromEditor().Pop(mRenderSysExScratch))
      ProcessSysEx(mRenderSysExScratch);
    PreProcess();
    ProcessBuffersWithBypass(static_cast<int>(nFrames));
  }

  CallRenderNotify(actionFlags | kAudioUnitRenderAction_PostRender, inTimeStamp, outputBus,
                   nFrames, ioData);
  return noErr;
}

void IEffectAU::PreProcess()
{
  ITransportInfo info;
  // Held until the host has been asked: the procedures and their context belong together.
  const auto callbacks = mHostCallbacks.Read();
  const HostCallbackInfo& host = *callbacks;

  if (host.beatAndTempoProc)
  {
    Float64 beat = 0.0, tempo = 0.0;
    if (host.beatAndTempoProc(host.hostUserData, &beat, &tempo) == noErr)
    {
      if (tempo > 0.0)
        info.mTempo = tempo;
      info.mPPQPos = beat;
    }
  }

  if (host.transportStateProc)
  {
    Boolean playing = false, changed = false, cycling = false;
    Float64 samplePos = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
    if (host.transportStateProc(host.hostUserData, &playing, &changed, &samplePos, &cycling,
                                &cycleStart, &cycleEnd) == noErr)
    {
      info.mTransportIsRunning = playing;
      info.mTransportLoopEnabled = cycling;
      info.mSamplePos = samplePos > 0.0 ? samplePos : -1.0;
      info.mCycleStart = cycleStart > 0.0 ? cycleStart : -1.0;
      info.mCycleEnd = cycleEnd > 0.0 ? cycleEnd : -1.0;
    }
  }

  if (host.musicalTimeLocationProc)
  {
    UInt32 toNextBeat = 0, denominator = 0;
    Float32 numerator = 0.f;
    Float64 lastBar = 0.0;
    if (host.musicalTimeLocationProc(host.hostUserData, &toNextBeat, &numerator, &denominator,
                                     &lastBar) == noErr)
    {
      // A signature that makes no sense keeps 4/4.
      if (numerator >= 1.f && denominator >= 1)
      {
        info.mNumerator = static_cast<int>(numerator);
        info.mDenominator = static_cast<int>(denominator);
      }
      info.mLastBar = lastBar > 0.0 ? lastBar : -1.0;
    }
  }

  SetTransportInfo(info);
}

} // namespace umbra
