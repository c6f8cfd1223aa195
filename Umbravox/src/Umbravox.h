#pragma once

#include "UmbravoxParams.h"

// The plug-in is compiled once per host target, each time on top of that target's wrapper.
#if defined(UMBRAVOX_API_OFFLINE)
#include "Offline/IEffectOffline.h"
namespace umbra { using UmbravoxWrapper = IEffectOffline; }
#else
#error "Define the host target this build of Umbravox is for (UMBRAVOX_API_...)"
#endif

namespace umbra {

class Umbravox : public UmbravoxWrapper {
public:
  explicit Umbravox(const InstanceInfo& info);
  ~Umbravox() override;

  void OnUIClose() override {}

  // The compiled configuration of this plug-in.
  static Config MakeConfig();

private:
  void InitParameters();
  void RegisterFactoryPresets();
};

// Builds an instance in the memory given (which must fit a Umbravox), or in new memory.
Umbravox* MakePlug(void* memory = nullptr);

} // namespace umbra
