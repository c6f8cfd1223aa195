// Components and their instances: a registry of factories, and the unit calls, each dispatched
// to the method the instance's lookup function returns for its selector.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../AUPlatformHost.h"

struct OpaqueAudioComponent {
  AudioComponentDescription description;
  std::string name;
  UInt32 version;
  AudioComponentFactoryFunction factory;
};

struct ComponentInstanceRecord {
  AudioComponent component = nullptr;
  AudioComponentPlugInInterface* plugin = nullptr;
  Handle storage = nullptr; // the older dispatcher's
};

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<std::unique_ptr<OpaqueAudioComponent>> components;
};

Registry& TheRegistry()
{
  static Registry registry;
  return registry;
}

bool Matches(const AudioComponentDescription& have, const AudioComponentDescription* want)
{
  // Zero fields in what is looked for match anything.
  return !want ||
         ((!want->componentType || want->componentType == have.componentType) &&
          (!want->componentSubType || want->componentSubType == have.componentSubType) &&
          (!want->componentManufacturer ||
           want->componentManufacturer == have.componentManufacturer));
}

template <typename Method, typename... Args>
OSStatus Dispatch(AudioUnit unit, SInt16 selector, Args... args)
{
  if (!unit || !unit->plugin)
    return paramErr;
  AudioComponentMethod method = unit->plugin->Lookup(selector);
  if (!method)
    return badComponentSelector;
  return reinterpret_cast<Method>(method)(unit->plugin, args...);
}

} // namespace

namespace umbra::au {

void UnregisterAllComponents()
{
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.components.clear();
}

} // namespace umbra::au

extern "C" {

// Components ----------------------------------------------------------------------------------

AudioComponent AudioComponentRegister(const AudioComponentDescription* description,
                                      CFStringRef name, UInt32 version,
                                      AudioComponentFactoryFunction factory)
{
  if (!description || !factory)
    return nullptr;
  auto component = std::make_unique<OpaqueAudioComponent>();
  component->description = *description;
  char text[256] = {};
  if (name)
    CFStringGetCString(name, text, sizeof(text), kCFStringEncodingUTF8);
  component->name = text;
  component->version = version;
  component->factory = factory;
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.components.emplace_back(std::move(component)).get();
}

AudioComponent AudioComponentFindNext(AudioComponent after,
                                      const AudioComponentDescription* description)
{
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  bool passed = after == nullptr;
  for (auto& component : registry.components)
  {
    if (!passed)
    {
      passed = component.get() == after;
      continue;
    }
    if (Matches(component->description, description))
      return component.get();
  }
  return nullptr;
}

OSStatus AudioComponentGetDescription(AudioComponent component,
                                      AudioComponentDescription* description)
{
  if (!component || !description)
    return paramErr;
  *description = component->description;
  return noErr;
}

OSStatus AudioComponentInstanceNew(AudioComponent component, AudioComponentInstance* instance)
{
  if (!component || !instance)
    return paramErr;
  *instance = nullptr;
  AudioComponentPlugInInterface* plugin = component->factory(&component->description);
  if (!plugin)
    return kAudioUnitErr_FailedInitialization;
  auto record = std::make_unique<ComponentInstanceRecord>();
  record->component = component;
  record->plugin = plugin;
  const OSStatus status = plugin->Open(plugin, record.get());
  if (status != noErr)
  {
    plugin->Close(plugin);
    return status;
  }
  *instance = record.release();
  return noErr;
}

OSStatus AudioComponentInstanceDispose(AudioComponentInstance instance)
{
  if (!instance)
    return paramErr;
  const OSStatus status = instance->plugin ? instance->plugin->Close(instance->plugin) : noErr;
  delete instance;
  return status;
}

AudioComponent AudioComponentInstanceGetComponent(AudioComponentInstance instance)
{
  return instance ? instance->component : nullptr;
}

void SetComponentInstanceStorage(ComponentInstance instance, Handle storage)
{
  if (instance)
    instance->storage = storage;
}

Handle GetComponentInstanceStorage(ComponentInstance instance)
{
  return instance ? instance->storage : nullptr;
}

// Unit calls ----------------------------------------------------------------------------------

OSStatus AudioUnitInitialize(AudioUnit unit)
{
  return Dispatch<OSStatus (*)(void*)>(unit, kAudioUnitInitializeSelect);
}

OSStatus AudioUnitUninitialize(AudioUnit unit)
{
  return Dispatch<OSStatus (*)(void*)>(unit, kAudioUnitUninitializeSelect);
}

OSStatus AudioUnitGetPropertyInfo(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                                  AudioUnitElement element, UInt32* outDataSize,
                                  Boolean* outWritable)
{
  using Method = OSStatus (*)(void*, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement,
                              UInt32*, Boolean*);
  return Dispatch<Method>(unit, kAudioUnitGetPropertyInfoSelect, id, scope, element, outDataSize,
                          outWritable);
}

OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, void* outData, UInt32* ioDataSize)
{
  using Method = OSStatus (*)(void*, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void*,
                              UInt32*);
  return Dispatch<Method>(unit, kAudioUnitGetPropertySelect, id, scope, element, outData,
                          ioDataSize);
}

OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, const void* inData, UInt32 inDataSize)
{
  using Method = OSStatus (*)(void*, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement,
                              const void*, UInt32);
  return Dispatch<Method>(unit, kAudioUnitSetPropertySelect, id, scope, element, inData,
                          inDataSize);
}

OSStatus AudioUnitAddPropertyListener(AudioUnit unit, AudioUnitPropertyID id,
                                      AudioUnitPropertyListenerProc proc, void* userData)
{
  using Method = OSStatus (*)(void*, AudioUnitPropertyID, AudioUnitPropertyListenerProc, void*);
  return Dispatch<Method>(unit, kAudioUnitAddPropertyListenerSelect, id, proc, userData);
}

OSStatus AudioUnitRemovePropertyListener(AudioUnit unit, AudioUnitPropertyID id,
                                         AudioUnitPropertyListenerProc proc)
{
  using Method = OSStatus (*)(void*, AudioUnitPropertyID, AudioUnitPropertyListenerProc);
  return Dispatch<Method>(unit, kAudioUnitRemovePropertyListenerSelect, id, proc);
}

OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit unit, AudioUnitPropertyID id,
                                                     AudioUnitPropertyListenerProc proc,
                                                     void* userData)
{
  using Method = OSStatus (*)(void*, AudioUnitPropertyID, AudioUnitPropertyListenerProc, void*);
  return Dispatch<Method>(unit, kAudioUnitRemovePropertyListenerWithUserDataSelect, id, proc,
                          userData);
}

OSStatus AudioUnitAddRenderNotify(AudioUnit unit, AURenderCallback proc, void* userData)
{
  using Method = OSStatus (*)(void*, AURenderCallback, void*);
  return Dispatch<Method>(unit, kAudioUnitAddRenderNotifySelect, proc, userData);
}

OSStatus AudioUnitRemoveRenderNotify(AudioUnit unit, AURenderCallback proc, void* userData)
{
  using Method = OSStatus (*)(void*, AURenderCallback, void*);
  return Dispatch<Method>(unit, kAudioUnitRemoveRenderNotifySelect, proc, userData);
}

OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* outValue)
{
  using Method = OSStatus (*)(void*, AudioUnitParameterID, AudioUnitScope, AudioUnitElement,
                              AudioUnitParameterValue*);
  return Dispatch<Method>(unit, kAudioUnitGetParameterSelect, id, scope, element, outValue);
}

OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value,
                               UInt32 bufferOffsetInFrames)
{
  using Method = OSStatus (*)(void*, AudioUnitParameterID, AudioUnitScope, AudioUnitElement,
                              AudioUnitParameterValue, UInt32);
  return Dispatch<Method>(unit, kAudioUnitSetParameterSelect, id, scope, element, value,
                          bufferOffsetInFrames);
}

OSStatus AudioUnitScheduleParameters(AudioUnit unit, const AudioUnitParameterEvent* events,
                                     UInt32 numEvents)
{
  using Method = OSStatus (*)(void*, const AudioUnitParameterEvent*, UInt32);
  return Dispatch<Method>(unit, kAudioUnitScheduleParametersSelect, events, numEvents);
}

OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                         UInt32 inNumberFrames, AudioBufferList* ioData)
{
  using Method = OSStatus (*)(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                              UInt32, AudioBufferList*);
  return Dispatch<Method>(unit, kAudioUnitRenderSelect, ioActionFlags, inTimeStamp,
                          inOutputBusNumber, inNumberFrames, ioData);
}

OSStatus AudioUnitReset(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element)
{
  return Dispatch<OSStatus (*)(void*, AudioUnitScope, AudioUnitElement)>(
    unit, kAudioUnitResetSelect, scope, element);
}

OSStatus MusicDeviceMIDIEvent(AudioUnit unit, UInt32 status, UInt32 data1, UInt32 data2,
                              UInt32 offsetSampleFrame)
{
  using Method = OSStatus (*)(void*, UInt32, UInt32, UInt32, UInt32);
  return Dispatch<Method>(unit, kMusicDeviceMIDIEventSelect, status, data1, data2,
                          offsetSampleFrame);
}

} // extern "C"
