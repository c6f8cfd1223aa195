#pragma once

// The entry points of the AudioUnit build: the component factory and the older dispatcher that
// the host finds by name, and the view factory named in the unit's Cocoa UI property.

#include "AUv2/AUPlatform.h"
#include "AUv2/IEffectAU_view_factory.h"

extern "C" {

__attribute__((visibility("default")))
AudioComponentPlugInInterface* Umbravox_Factory(const AudioComponentDescription* description);

__attribute__((visibility("default")))
OSStatus Umbravox_Entry(ComponentParameters* params, void* storage);

// The view factory's uiViewForAudioUnit: the editor of unit, in parent (none for a top-level
// window), or none.
__attribute__((visibility("default")))
void* Umbravox_View(AudioUnit unit, void* parent);

} // extern "C"

namespace umbra {

// The view factory behind Umbravox_View (interface version and description).
const IEffectAUViewFactory& UmbravoxViewFactory();

} // namespace umbra
