#include "UmbravoxAU.h"

#include "AUv2/IEffectAU_factory.h"
#include "Umbravox.h"

extern "C" {

AudioComponentPlugInInterface* Umbravox_Factory(const AudioComponentDescription* description)
{
  return umbra::MakeAUComponent<umbra::Umbravox, &umbra::MakePlug>(description);
}

OSStatus Umbravox_Entry(ComponentParameters* params, void* storage)
{
  return umbra::DispatchAUEntry<umbra::Umbravox, &umbra::MakePlug>(params, storage);
}

void* Umbravox_View(AudioUnit unit, void* parent)
{
  return umbra::UmbravoxViewFactory().UIViewForAudioUnit(unit, parent);
}

} // extern "C"

namespace umbra {

const IEffectAUViewFactory& UmbravoxViewFactory()
{
  static const IEffectAUViewFactory factory("Umbravox");
  return factory;
}

} // namespace umbra
