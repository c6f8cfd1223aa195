#pragma once

// The component factory and the older component dispatcher. A plug-in's AudioUnit build exports
// two functions made from these templates:
//
//   extern "C" AudioComponentPlugInInterface* MyPlug_Factory(const AudioComponentDescription* d)
//   { return umbra::MakeAUComponent<MyPlug, &umbra::MakePlug>(d); }
//   extern "C" OSStatus MyPlug_Entry(ComponentParameters* params, void* storage)
//   { return umbra::DispatchAUEntry<MyPlug, &umbra::MakePlug>(params, storage); }

#include <memory>
#include <new>

#include "IEffectAU.h"

namespace umbra {

// The record the factory hands out: the component interface (open, close, lookup, a reserved
// slot), then the construct and destruct procedures, then the plug-in instance once opened.
struct AUComponentRecord {
  AudioComponentPlugInInterface interface;
  OSStatus (*construct)(AUComponentRecord* record, AudioComponentInstance instance);
  void (*destruct)(AUComponentRecord* record); // destroys the plug-in and frees the record
  IEffectAU* plug;
};

// The record with room for the plug-in's instance after it.
template <typename Plug>
struct AUComponentRecordFor : AUComponentRecord {
  alignas(Plug) unsigned char room[sizeof(Plug)];
};

// The methods of every component, by selector (none for a selector the unit does not take).
AudioComponentMethod AUComponentLookup(SInt16 selector);
OSStatus AUComponentOpen(void* self, AudioComponentInstance instance);
OSStatus AUComponentClose(void* self);

// The older dispatcher, given a record made by the factory (or none, to open one).
OSStatus DispatchAUEntry(ComponentParameters* params, AUComponentRecord* record,
                         AudioComponentPlugInInterface* (*factory)(const AudioComponentDescription*));

template <typename Plug, Plug* (*Make)(void*)>
OSStatus ConstructAUPlug(AUComponentRecord* record, AudioComponentInstance instance)
{
  try
  {
    Plug* plug = Make(static_cast<AUComponentRecordFor<Plug>*>(record)->room);
    record->plug = plug;
    plug->SetComponentInstance(instance);
    plug->PruneUninitializedPresets();
    return noErr;
  }
  catch (...) // nothing is thrown across the host boundary
  {
    record->plug = nullptr;
    return kAudioUnitErr_FailedInitialization;
  }
}

template <typename Plug>
void DestructAUPlug(AUComponentRecord* record)
{
  auto* full = static_cast<AUComponentRecordFor<Plug>*>(record);
  if (record->plug)
    std::destroy_at(static_cast<Plug*>(record->plug));
  delete full;
}

template <typename Plug, Plug* (*Make)(void*)>
AudioComponentPlugInInterface* MakeAUComponent(const AudioComponentDescription*)
{
  auto* record = new (std::nothrow) AUComponentRecordFor<Plug>;
  if (!record)
    return nullptr;
  record->interface = {AUComponentOpen, AUComponentClose, AUComponentLookup, nullptr};
  record->construct = ConstructAUPlug<Plug, Make>;
  record->destruct = DestructAUPlug<Plug>;
  record->plug = nullptr;
  return &record->interface;
}

template <typename Plug, Plug* (*Make)(void*)>
OSStatus DispatchAUEntry(ComponentParameters* params, void* storage)
{
  return DispatchAUEntry(params, static_cast<AUComponentRecord*>(storage), MakeAUComponent<Plug, Make>);
}

} // namespace umbra
