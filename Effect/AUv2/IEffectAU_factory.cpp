#include "IEffectAU_factory.h"

#include <cstring>
#include <type_traits>

namespace umbra {

namespace {

IEffectAU* Plug(void* self)
{
  return reinterpret_cast<AUComponentRecord*>(self)->plug;
}

// One trampoline per selector: the host calls with the component record as self.
OSStatus MethodInitialize(void* self) { return Plug(self)->Initialize(); }
OSStatus MethodUninitialize(void* self) { return Plug(self)->Uninitialize(); }

OSStatus MethodGetPropertyInfo(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                               AudioUnitElement element, UInt32* outDataSize, Boolean* outWritable)
{
  return Plug(self)->GetPropertyInfo(id, scope, element, outDataSize, outWritable);
}

OSStatus MethodGetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                           AudioUnitElement element, void* outData, UInt32* ioDataSize)
{
  return Plug(self)->GetProperty(id, scope, element, outData, ioDataSize);
}

OSStatus MethodSetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                           AudioUnitElement element, const void* inData, UInt32 inDataSize)
{
  return Plug(self)->SetProperty(id, scope, element, inData, inDataSize);
}

OSStatus MethodGetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope,
                            AudioUnitElement element, AudioUnitParameterValue* outValue)
{
  return Plug(self)->GetParameter(id, scope, element, outValue);
}

OSStatus MethodSetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope,
                            AudioUnitElement element, AudioUnitParameterValue value,
                            UInt32 bufferOffset)
{
  return Plug(self)->SetParameter(id, scope, element, value, bufferOffset);
}

OSStatus MethodReset(void* self, AudioUnitScope scope, AudioUnitElement element)
{
  return Plug(self)->Reset(scope, element);
}

OSStatus MethodAddPropertyListener(void* self, AudioUnitPropertyID id,
                                   AudioUnitPropertyListenerProc proc, void* userData)
{
  return Plug(self)->AddPropertyListener(id, proc, userData);
}

OSStatus MethodRemovePropertyListener(void* self, AudioUnitPropertyID id,
                                      AudioUnitPropertyListenerProc proc)
{
  return Plug(self)->RemovePropertyListener(id, proc, nullptr, false);
}

OSStatus MethodRemovePropertyListenerWithUserData(void* self, AudioUnitPropertyID id,
                                                  AudioUnitPropertyListenerProc proc,
                                                  void* userData)
{
  return Plug(self)->RemovePropertyListener(id, proc, userData, true);
}

OSStatus MethodRender(void* self, AudioUnitRenderActionFlags* ioActionFlags,
                      const AudioTimeStamp* inTimeStamp, UInt32 outputBus, UInt32 nFrames,
                      AudioBufferList* ioData)
{
  return Plug(self)->Render(ioActionFlags, inTimeStamp, outputBus, nFrames, ioData);
}

OSStatus MethodAddRenderNotify(void* self, AURenderCallback proc, void* userData)
{
  return Plug(self)->AddRenderNotify(proc, userData);
}

OSStatus MethodRemoveRenderNotify(void* self, AURenderCallback proc, void* userData)
{
  return Plug(self)->RemoveRenderNotify(proc, userData);
}

OSStatus MethodScheduleParameters(void* self, const AudioUnitParameterEvent* events,
                                  UInt32 numEvents)
{
  return Plug(self)->ScheduleParameters(events, numEvents);
}

template <typename Method>
AudioComponentMethod AsMethod(Method method)
{
  return reinterpret_cast<AudioComponentMethod>(method);
}

// The older dispatcher's parameters come last to first.
template <typename T>
T Param(const ComponentParameters* params, int index, int count)
{
  const long* slots = params->params; // as many as the call has, after the header
  const long raw = slots[count - index - 1];
  if constexpr (std::is_same_v<T, AudioUnitParameterValue>)
  {
    // A float travels as its bits.
    const auto bits = static_cast<UInt32>(raw);
    T value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
  }
  else if constexpr (std::is_pointer_v<T>)
  {
    return reinterpret_cast<T>(raw);
  }
  else
  {
    return static_cast<T>(raw);
  }
}

} // namespace

AudioComponentMethod AUComponentLookup(SInt16 selector)
{
  switch (selector)
  {
    case kAudioUnitInitializeSelect: return AsMethod(MethodInitialize);
    case kAudioUnitUninitializeSelect: return AsMethod(MethodUninitialize);
    case kAudioUnitGetPropertyInfoSelect: return AsMethod(MethodGetPropertyInfo);
    case kAudioUnitGetPropertySelect: return AsMethod(MethodGetProperty);
    case kAudioUnitSetPropertySelect: return AsMethod(MethodSetProperty);
    case kAudioUnitGetParameterSelect: return AsMethod(MethodGetParameter);
    case kAudioUnitSetParameterSelect: return AsMethod(MethodSetParameter);
    case kAudioUnitResetSelect: return AsMethod(MethodReset);
    case kAudioUnitAddPropertyListenerSelect: return AsMethod(MethodAddPropertyListener);
    case kAudioUnitRemovePropertyListenerSelect: return AsMethod(MethodRemovePropertyListener);
    case kAudioUnitRenderSelect: return AsMethod(MethodRender);
    case kAudioUnitAddRenderNotifySelect: return AsMethod(MethodAddRenderNotify);
    case kAudioUnitRemoveRenderNotifySelect: return AsMethod(MethodRemoveRenderNotify);
    case kAudioUnitScheduleParametersSelect: return AsMethod(MethodScheduleParameters);
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
      return AsMethod(MethodRemovePropertyListenerWithUserData);
    default: return nullptr;
  }
}

OSStatus AUComponentOpen(void* self, AudioComponentInstance instance)
{
  auto* record = reinterpret_cast<AUComponentRecord*>(self);
  return record->construct(record, instance);
}

OSStatus AUComponentClose(void* self)
{
  auto* record = reinterpret_cast<AUComponentRecord*>(self);
  record->destruct(record);
  return noErr;
}

OSStatus DispatchAUEntry(ComponentParameters* params, AUComponentRecord* record,
                         AudioComponentPlugInInterface* (*factory)(const AudioComponentDescription*))
{
  if (!params)
    return paramErr;
  const SInt16 what = params->what;

  if (what == kComponentOpenSelect)
  {
    const auto instance = Param<ComponentInstance>(params, 0, 1);
    AudioComponentPlugInInterface* interface = factory(nullptr);
    if (!interface)
      return kAudioUnitErr_FailedInitialization;
    const OSStatus status = AUComponentOpen(interface, instance);
    if (status != noErr)
    {
      AUComponentClose(interface);
      return status;
    }
    SetComponentInstanceStorage(instance, reinterpret_cast<Handle>(interface));
    return noErr;
  }

  if (!record || !record->plug)
    return paramErr;
  IEffectAU* plug = record->plug;

  switch (what)
  {
    case kComponentCloseSelect: return AUComponentClose(record);
    case kComponentVersionSelect: return plug->GetPluginVersion(false);
    case kComponentCanDoSelect: {
      const auto selector = Param<SInt16>(params, 0, 1);
      const bool midi = selector == kMusicDeviceMIDIEventSelect || selector == kMusicDeviceSysExSelect;
      return (selector >= kComponentVersionSelect && selector <= kComponentOpenSelect) ||
             AUComponentLookup(selector) != nullptr || (midi && plug->DoesMIDIIn());
    }
    case kAudioUnitInitializeSelect: return plug->Initialize();
    case kAudioUnitUninitializeSelect: return plug->Uninitialize();
    case kAudioUnitGetPropertyInfoSelect:
      return plug->GetPropertyInfo(Param<AudioUnitPropertyID>(params, 0, 5),
                                   Param<AudioUnitScope>(params, 1, 5),
                                   Param<AudioUnitElement>(params, 2, 5),
                                   Param<UInt32*>(params, 3, 5), Param<Boolean*>(params, 4, 5));
    case kAudioUnitGetPropertySelect:
      return plug->GetProperty(Param<AudioUnitPropertyID>(params, 0, 5),
                               Param<AudioUnitScope>(params, 1, 5),
                               Param<AudioUnitElement>(params, 2, 5), Param<void*>(params, 3, 5),
                               Param<UInt32*>(params, 4, 5));
    case kAudioUnitSetPropertySelect:
      return plug->SetProperty(Param<AudioUnitPropertyID>(params, 0, 5),
                               Param<AudioUnitScope>(params, 1, 5),
                               Param<AudioUnitElement>(params, 2, 5),
                               Param<const void*>(params, 3, 5), Param<UInt32>(params, 4, 5));
    case kAudioUnitGetParameterSelect:
      return plug->GetParameter(Param<AudioUnitParameterID>(params, 0, 4),
                                Param<AudioUnitScope>(params, 1, 4),
                                Param<AudioUnitElement>(params, 2, 4),
                                Param<AudioUnitParameterValue*>(params, 3, 4));
    case kAudioUnitSetParameterSelect:
      return plug->SetParameter(Param<AudioUnitParameterID>(params, 0, 5),
                                Param<AudioUnitScope>(params, 1, 5),
                                Param<AudioUnitElement>(params, 2, 5),
                                Param<AudioUnitParameterValue>(params, 3, 5),
                                Param<UInt32>(params, 4, 5));
    case kAudioUnitResetSelect:
      return plug->Reset(Param<AudioUnitScope>(params, 0, 2), Param<AudioUnitElement>(params, 1, 2));
    case kAudioUnitAddPropertyListenerSelect:
      return plug->AddPropertyListener(Param<AudioUnitPropertyID>(params, 0, 3),
                                       Param<AudioUnitPropertyListenerProc>(params, 1, 3),
                                       Param<void*>(params, 2, 3));
    case kAudioUnitRemovePropertyListenerSelect:
      return plug->RemovePropertyListener(Param<AudioUnitPropertyID>(params, 0, 2),
                                          Param<AudioUnitPropertyListenerProc>(params, 1, 2),
                                          nullptr, false);
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
      return plug->RemovePropertyListener(Param<AudioUnitPropertyID>(params, 0, 3),
                                          Param<AudioUnitPropertyListenerProc>(params, 1, 3),
                                          Param<void*>(params, 2, 3), true);
    case kAudioUnitRenderSelect:
      return plug->Render(Param<AudioUnitRenderActionFlags*>(params, 0, 5),
                          Param<const AudioTimeStamp*>(params, 1, 5), Param<UInt32>(params, 2, 5),
                          Param<UInt32>(params, 3, 5), Param<AudioBufferList*>(params, 4, 5));
    case kAudioUnitAddRenderNotifySelect:
      return plug->AddRenderNotify(Param<AURenderCallback>(params, 0, 2), Param<void*>(params, 1, 2));
    case kAudioUnitRemoveRenderNotifySelect:
      return plug->RemoveRenderNotify(Param<AURenderCallback>(params, 0, 2),
                                      Param<void*>(params, 1, 2));
    case kAudioUnitScheduleParametersSelect:
      return plug->ScheduleParameters(Param<const AudioUnitParameterEvent*>(params, 0, 2),
                                      Param<UInt32>(params, 1, 2));
    case kMusicDeviceMIDIEventSelect:
      return plug->MIDIEvent(Param<UInt32>(params, 0, 4), Param<UInt32>(params, 1, 4),
                             Param<UInt32>(params, 2, 4), Param<UInt32>(params, 3, 4));
    case kMusicDeviceSysExSelect:
      return plug->SysEx(Param<const UInt8*>(params, 0, 2), Param<UInt32>(params, 1, 2));
    default: return badComponentSelector;
  }
}

} // namespace umbra
