#pragma once

// What the AudioUnit wrapper compiles against. On macOS that is the platform itself; elsewhere
// it is our own declaration of the same vocabulary (AUPlatformCF.h, AUPlatformAU.h) with the
// in-process implementation in Platform/, so that the wrapper is built and tested everywhere.

#if defined(__APPLE__)
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#define UMBRA_AU_IN_PROCESS_PLATFORM 0
#else
#include "AUPlatformAU.h"
#include "AUPlatformCF.h"
#define UMBRA_AU_IN_PROCESS_PLATFORM 1
#endif

// The property under which the unit hands its plug-in object to its own view factory.
constexpr AudioUnitPropertyID kUmbraPluginObjectProperty = static_cast<AudioUnitPropertyID>(-101);
