// The properties the host sets. Every registered listener for the property hears of the call
// first; then the property is applied.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "AUUtilities.h"
#include "IEffectAU.h"

namespace umbra {

namespace {

// Beyond this a block would only be a way to make the unit allocate without end.
constexpr UInt32 kMaxFramesPerSliceLimit = 1u << 20;

template <typename T>
const T* In(const void* data, UInt32 size)
{
  return data && size >= sizeof(T) ? static_cast<const T*>(data) : nullptr;
}

} // namespace

OSStatus IEffectAU::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                AudioUnitElement element, const void* inData, UInt32 inDataSize)
{
  InformListeners(id, scope);
  const bool global = scope == kAudioUnitScope_Global;

  switch (id)
  {
    case kAudioUnitProperty_ClassInfo: {
      if (!global)
        return kAudioUnitErr_InvalidProperty;
      const auto* state = In<CFPropertyListRef>(inData, inDataSize);
      return state ? SetState(*state) : kAudioUnitErr_InvalidPropertyValue;
    }

    case kAudioUnitProperty_MakeConnection: {
      if (!global && scope != kAudioUnitScope_Input)
        return kAudioUnitErr_InvalidProperty;
      const auto* connection = In<AudioUnitConnection>(inData, inDataSize);
      return connection ? SetConnection(*connection) : kAudioUnitErr_InvalidPropertyValue;
    }

    case kAudioUnitProperty_SampleRate: {
      const auto* rate = In<Float64>(inData, inDataSize);
      if (!rate || !std::isfinite(*rate) || *rate <= 0.0)
        return kAudioUnitErr_InvalidPropertyValue;
      SetSampleRate(*rate);
      OnReset();
      return noErr;
    }

    case kAudioUnitProperty_StreamFormat: {
      const auto* format = In<AudioStreamBasicDescription>(inData, inDataSize);
      if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
        return kAudioUnitErr_InvalidProperty;
      return format ? SetStreamFormat(scope, element, *format) : kAudioUnitErr_InvalidPropertyValue;
    }

    case kAudioUnitProperty_MaximumFramesPerSlice: {
      const auto* frames = In<UInt32>(inData, inDataSize);
      if (!frames || *frames == 0 || *frames > kMaxFramesPerSliceLimit)
        return kAudioUnitErr_InvalidPropertyValue;
      SetMaxFramesPerSlice(static_cast<int>(*frames));
      return noErr;
    }

    case kAudioUnitProperty_BypassEffect: {
      const auto* bypass = In<UInt32>(inData, inDataSize);
      if (!bypass)
        return kAudioUnitErr_InvalidPropertyValue;
      // The render thread crossfades to the new state; the plug-in keeps running (and hearing
      // its input) while bypassed, so it is neither stopped nor reset and has nothing stale to
      // play when it comes back.
      SetBypassed(*bypass != 0);
      return noErr;
    }

    case kAudioUnitProperty_SetRenderCallback: {
      if (scope != kAudioUnitScope_Input)
        return kAudioUnitErr_InvalidProperty;
      const auto* callback = In<AURenderCallbackStruct>(inData, inDataSize);
      return callback ? SetRenderCallback(element, *callback) : kAudioUnitErr_InvalidPropertyValue;
    }

    case kAudioUnitProperty_ContextName: {
      const auto* name = In<CFStringRef>(inData, inDataSize);
      if (!name)
        return kAudioUnitErr_InvalidPropertyValue;
      mContextName = ToStdString(*name);
      return noErr;
    }

    case kAudioUnitProperty_HostCallbacks: {
      if (!global)
        return kAudioUnitErr_InvalidProperty;
      if (!inData)
        return kAudioUnitErr_InvalidPropertyValue;
      // Hosts written for older records pass fewer callbacks: the rest stay none.
      HostCallbackInfo callbacks{};
      std::memcpy(&callbacks, inData, std::min<size_t>(inDataSize, sizeof(callbacks)));
      const auto result = mHostCallbacks.Modify([&](HostCallbackInfo& published) {
        published = callbacks;
        return true;
      });
      if (result != IRealtimeShared<HostCallbackInfo>::EResult::kPublished)
        return kAudioUnitErr_CannotDoInCurrentContext;
      return noErr;
    }

    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset: {
      const auto* preset = In<AUPreset>(inData, inDataSize);
      if (!preset || !RestorePreset(static_cast<int>(preset->presetNumber)))
        return kAudioUnitErr_InvalidPropertyValue;
      return noErr;
    }

    case kAudioUnitProperty_OfflineRender: {
      const auto* offline = In<UInt32>(inData, inDataSize);
      if (!offline)
        return kAudioUnitErr_InvalidPropertyValue;
      mOffline = *offline != 0;
      return noErr;
    }

    case kAudioUnitProperty_AUHostIdentifier: {
      const auto* identifier = In<AUHostVersionIdentifier>(inData, inDataSize);
      if (!identifier)
        return kAudioUnitErr_InvalidPropertyValue;
      if (GetHost() == kHostUninit)
      {
        const UInt32 version = identifier->hostVersion;
        const int packed = static_cast<int>(((version >> 16) & 0xFFFF) << 16 |
                                            ((version >> 8) & 0xFF) << 8 | (version & 0xFF));
        SetHost(ToStdString(identifier->hostName).c_str(), packed);
      }
      return noErr;
    }

    case kAudioUnitProperty_MIDIOutputCallback: {
      const auto* callback = In<AUMIDIOutputCallbackStruct>(inData, inDataSize);
      if (!callback)
        return kAudioUnitErr_InvalidPropertyValue;
      mMidiCallback = *callback;
      return noErr;
    }

    default:
      return kAudioUnitErr_InvalidProperty;
  }
}

bool IEffectAU::CheckLegalIO(AudioUnitScope scope, int busIdx, int nChannels) const
{
  // The channel counts per direction if this bus took nChannels; a direction without any count
  // set is open.
  int sums[2] = {-1, -1};
  const int changed = scope == kAudioUnitScope_Input ? kRouteInput : kRouteOutput;
  for (int d = 0; d < 2; ++d)
  {
    for (int b = 0; b < NBuses(static_cast<ERoute>(d)); ++b)
    {
      const int n = d == changed && b == busIdx ? nChannels : mBusChannels[d][b].nHostChannels;
      if (n >= 0)
        sums[d] = std::max(sums[d], 0) + n;
    }
  }
  return LegalIO(sums[kRouteInput], sums[kRouteOutput]);
}

OSStatus IEffectAU::SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                    const AudioStreamBasicDescription& format)
{
  BusChannels* bus = GetBus(scope, element);
  if (!bus)
    return kAudioUnitErr_InvalidElement;

  // The render path reads and writes one buffer of 32-bit floats per channel: anything else is
  // refused rather than misread.
  const int nChannels = static_cast<int>(format.mChannelsPerFrame);
  const bool readable = format.mFormatID == kAudioFormatLinearPCM && nChannels > 0 &&
                        (format.mFormatFlags & kAudioFormatFlagIsFloat) &&
                        format.mBitsPerChannel == 32 &&
                        (nChannels == 1 || (format.mFormatFlags & kAudioFormatFlagIsNonInterleaved));
  OSStatus status = kAudioUnitErr_InvalidProperty;
  if (readable && CheckLegalIO(scope, static_cast<int>(element), nChannels))
  {
    bus->nHostChannels = nChannels;
    if (format.mSampleRate > 0.0 && std::isfinite(format.mSampleRate) &&
        format.mSampleRate != GetSampleRate())
    {
      SetSampleRate(format.mSampleRate);
      OnReset();
    }
    status = noErr;
  }
  AssessInputConnections();
  return status;
}

OSStatus IEffectAU::SetConnection(const AudioUnitConnection& connection)
{
  if (connection.destInputNumber >= static_cast<UInt32>(NBuses(kRouteInput)))
    return kAudioUnitErr_InvalidElement;

  InputBusConnection& input = mInBusConnections[connection.destInputNumber];
  input = {};
  OSStatus status = noErr;
  if (connection.sourceAudioUnit)
  {
    AudioStreamBasicDescription format{};
    UInt32 size = sizeof(format);
    status = AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_StreamFormat,
                                  kAudioUnitScope_Output, connection.sourceOutputNumber, &format,
                                  &size);
    if (status == noErr)
      status = SetStreamFormat(kAudioUnitScope_Input, connection.destInputNumber, format);
    if (status == noErr)
    {
      input.sourceUnit = connection.sourceAudioUnit;
      input.sourceOutput = connection.sourceOutputNumber;
      input.upstreamObject = GetComponentInstanceStorage(connection.sourceAudioUnit);
      AudioComponentMethod fastRender = nullptr;
      size = sizeof(fastRender);
      // The fast procedure is called with the source's own storage, so it needs both.
      if (input.upstreamObject &&
          AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_FastDispatch,
                               kAudioUnitScope_Global, kAudioUnitRenderSelect, &fastRender,
                               &size) == noErr && fastRender)
      {
        input.fastRender = fastRender;
        input.type = ESourceType::DirectFastProc;
      }
      else
      {
        input.type = ESourceType::DirectNoFastProc;
      }
    }
  }
  AssessInputConnections();
  return status;
}

OSStatus IEffectAU::SetRenderCallback(AudioUnitElement element, const AURenderCallbackStruct& callback)
{
  if (element >= static_cast<AudioUnitElement>(NBuses(kRouteInput)))
    return kAudioUnitErr_InvalidElement;
  InputBusConnection& input = mInBusConnections[element];
  input = {};
  if (callback.inputProc)
  {
    input.type = ESourceType::RenderCallback;
    input.callback = callback.inputProc;
    input.callbackRefCon = callback.inputProcRefCon;
  }
  AssessInputConnections();
  return noErr;
}

void IEffectAU::SetMaxFramesPerSlice(int frames)
{
  SetBlockSize(frames);
  ResizeScratchBuffers();
  OnReset();
}

} // namespace umbra
