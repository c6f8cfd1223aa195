#pragma once

// Writes an LV2 bundle's data files (manifest.ttl, the plug-in's description and its factory
// presets) from a constructed instance: the parameter table gives the control ports (names,
// ranges, units, enumerations), the values right after construction give each port's default,
// and the preset store gives the presets. The build runs it, so the bundle always describes the
// code it ships with.

#include <string>

namespace umbra {

class IEffectLV2;

struct LV2BundleDescription {
  std::string pluginURI;
  std::string dspBinary;       // file name of the DSP shared object in the bundle
  std::string pluginFile;      // "umbravox.ttl"
  std::string presetsFile;     // "presets.ttl"
  std::string pluginClass;     // "lv2:ReverbPlugin"
  std::string licenceURI;
  std::string projectURI;
  std::string projectName;
  std::string homepage;        // left out of the data when empty
  std::string presetURIPrefix; // preset i is presetURIPrefix + i
  std::string stateURI;        // key of the state chunk (documented in the description)
  int minorVersion = 0;
  int microVersion = 0;
  // The editor's shared object, declared only when uiBinary is not empty.
  std::string uiURI;
  std::string uiBinary;
};

// Writes the files into dir (which must exist). False, with a message in error, when a file
// cannot be written.
bool WriteLV2Bundle(IEffectLV2& plugin, const LV2BundleDescription& description,
                    const std::string& dir, std::string& error);

} // namespace umbra
