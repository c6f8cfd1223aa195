#include "IEffectAU_view_factory.h"

#include "IEffectAU.h"

namespace umbra {

IEffectAUViewFactory::IEffectAUViewFactory(const char* pluginName)
  : mDescription(std::string(pluginName ? pluginName : "") + " View")
{
}

void* IEffectAUViewFactory::UIViewForAudioUnit(AudioUnit unit, void* parent) const
{
  IEffectAU* plug = nullptr;
  UInt32 size = sizeof(plug);
  if (AudioUnitGetProperty(unit, kUmbraPluginObjectProperty, kAudioUnitScope_Global, 0, &plug,
                           &size) != noErr ||
      !plug || !plug->HasUI())
    return nullptr;
  return plug->OpenWindow(parent);
}

} // namespace umbra
