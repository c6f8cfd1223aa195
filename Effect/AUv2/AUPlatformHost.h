#pragma once

// What the in-process platform needs to be told that the real one learns from the system: the
// host program's bundle (its identifier and version, as its information file would give them)
// and the bundles of loaded plug-ins. A host, or a test posing as one, calls these before it
// opens units; the wrapper never does.

#include "AUPlatform.h"

#if UMBRA_AU_IN_PROCESS_PLATFORM

namespace umbra::au {

// The main bundle: the program hosting the units.
void SetMainBundle(const char* identifier, const char* version, const char* path);

// Makes a bundle findable by its identifier (CFBundleGetBundleWithIdentifier); a second call
// with the same identifier updates it.
void RegisterBundle(const char* identifier, const char* version, const char* path);

// Forgets every registered component (not their instances, which must be disposed first).
void UnregisterAllComponents();

} // namespace umbra::au

#endif
