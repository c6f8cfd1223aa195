// umbravox_lv2_ttl DIR [--ui BINARY]: writes the bundle's .ttl files into DIR from a freshly
// constructed instance. The build runs it; --ui declares the editor's shared object.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "IEffectLV2.h"
#include "IEffectLV2TTL.h"

int main(int argc, char** argv)
{
  using namespace umbra;
  if (argc < 2)
  {
    std::fprintf(stderr, "usage: %s DIR [--ui BINARY]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];

  LV2BundleDescription d;
  d.pluginURI = lv2::kPluginURI;
  d.dspBinary = lv2::kDSPBinary;
  d.pluginFile = "umbravox.ttl";
  d.presetsFile = "presets.ttl";
  d.pluginClass = "lv2:ReverbPlugin";
  d.licenceURI = "http://spdx.org/licenses/GPL-3.0-or-later";
  d.projectURI = "urn:marrowfield:umbravox:project";
  d.projectName = "Umbra Vox";
  d.presetURIPrefix = lv2::kPresetURIPrefix;
  d.stateURI = lv2::kStateURI;
  d.uiURI = lv2::kUIURI;
  for (int i = 2; i < argc; ++i)
  {
    if (!std::strcmp(argv[i], "--ui") && i + 1 < argc)
      d.uiBinary = argv[++i];
    else
    {
      std::fprintf(stderr, "%s: unknown argument %s\n", argv[0], argv[i]);
      return 2;
    }
  }

  std::unique_ptr<IEffectLV2> plugin(MakeLV2Instance());
  plugin->PruneUninitializedPresets();
  const int version = plugin->GetPluginVersion(false);
  d.minorVersion = VersionMinor(version);
  d.microVersion = VersionPatch(version);

  std::string error;
  if (!WriteLV2Bundle(*plugin, d, dir, error))
  {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
    return 1;
  }
  return 0;
}
