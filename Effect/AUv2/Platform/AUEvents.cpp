// Parameter and property events: listeners register the events they want, and a notification
// reaches every listener registered for it (but the one sending it), on the caller's thread.
// A parameter value change carries the value read back from the unit, as the platform does.
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "../AUPlatform.h"

struct AUListenerBase {
  AUEventListenerProc proc = nullptr;
  void* userData = nullptr;
  struct Wanted {
    void* object;
    AudioUnitEvent event;
  };
  std::vector<Wanted> wanted;
};

namespace {

constexpr AudioUnitParameterID kAnyParameter = 0xFFFFFFFF;

struct Listeners {
  std::mutex mutex;
  std::vector<AUListenerBase*> all;
};

Listeners& TheListeners()
{
  static Listeners listeners;
  return listeners;
}

bool SameEvent(const AudioUnitEvent& want, const AudioUnitEvent& have)
{
  if (want.mEventType != have.mEventType)
    return false;
  if (have.mEventType == kAudioUnitEvent_PropertyChange)
  {
    const AudioUnitProperty& a = want.mArgument.mProperty;
    const AudioUnitProperty& b = have.mArgument.mProperty;
    return a.mAudioUnit == b.mAudioUnit && a.mPropertyID == b.mPropertyID &&
           a.mScope == b.mScope && a.mElement == b.mElement;
  }
  const AudioUnitParameter& a = want.mArgument.mParameter;
  const AudioUnitParameter& b = have.mArgument.mParameter;
  return a.mAudioUnit == b.mAudioUnit &&
         (a.mParameterID == kAnyParameter || a.mParameterID == b.mParameterID) &&
         a.mScope == b.mScope && a.mElement == b.mElement;
}

} // namespace

extern "C" {

OSStatus AUEventListenerCreate(AUEventListenerProc proc, void* userData, CFRunLoopRef,
                               CFRunLoopMode, Float32, Float32, AUEventListenerRef* outListener)
{
  if (!proc || !outListener)
    return paramErr;
  auto* listener = new AUListenerBase;
  listener->proc = proc;
  listener->userData = userData;
  Listeners& listeners = TheListeners();
  std::lock_guard lock(listeners.mutex);
  listeners.all.push_back(listener);
  *outListener = listener;
  return noErr;
}

OSStatus AUEventListenerAddEventType(AUEventListenerRef listener, void* object,
                                     const AudioUnitEvent* event)
{
  if (!listener || !event)
    return paramErr;
  std::lock_guard lock(TheListeners().mutex);
  listener->wanted.push_back({object, *event});
  return noErr;
}

OSStatus AUEventListenerRemoveEventType(AUEventListenerRef listener, void* object,
                                        const AudioUnitEvent* event)
{
  if (!listener || !event)
    return paramErr;
  std::lock_guard lock(TheListeners().mutex);
  std::erase_if(listener->wanted, [&](const AUListenerBase::Wanted& wanted) {
    return wanted.object == object && SameEvent(wanted.event, *event);
  });
  return noErr;
}

OSStatus AUListenerDispose(AUEventListenerRef listener)
{
  if (!listener)
    return paramErr;
  {
    Listeners& listeners = TheListeners();
    std::lock_guard lock(listeners.mutex);
    std::erase(listeners.all, listener);
  }
  delete listener;
  return noErr;
}

OSStatus AUEventListenerNotify(AUEventListenerRef sendingListener, void* sendingObject,
                               const AudioUnitEvent* event)
{
  if (!event)
    return paramErr;

  struct Delivery {
    AUEventListenerProc proc;
    void* userData;
    void* object;
  };
  std::vector<Delivery> deliveries;
  {
    Listeners& listeners = TheListeners();
    std::lock_guard lock(listeners.mutex);
    for (AUListenerBase* listener : listeners.all)
    {
      if (listener == sendingListener)
        continue;
      for (const auto& wanted : listener->wanted)
      {
        if (wanted.object == sendingObject && sendingObject)
          continue; // the sender's own object does not hear itself
        if (SameEvent(wanted.event, *event))
        {
          deliveries.push_back({listener->proc, listener->userData, wanted.object});
          break;
        }
      }
    }
  }

  AudioUnitParameterValue value = 0.f;
  if (event->mEventType == kAudioUnitEvent_ParameterValueChange)
  {
    const AudioUnitParameter& parameter = event->mArgument.mParameter;
    AudioUnitGetParameter(parameter.mAudioUnit, parameter.mParameterID, parameter.mScope,
                          parameter.mElement, &value);
  }
  for (const Delivery& delivery : deliveries)
    delivery.proc(delivery.userData, delivery.object, event, 0, value);
  return noErr;
}

} // extern "C"
