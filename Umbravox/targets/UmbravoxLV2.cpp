// The LV2 build's factory: a new Umbravox on the LV2 wrapper, with its live values wired to the
// level and tempo output ports.
#include "Umbravox.h"

namespace umbra {

IEffectLV2* MakeLV2Instance()
{
  Umbravox* plugin = MakePlug();
  plugin->SetLiveValues(&plugin->mInputPeakDb, &plugin->mOutputPeakDb, &plugin->mTempo);
  return plugin;
}

} // namespace umbra
