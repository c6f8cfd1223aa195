// The one symbol the DSP shared object exports: the host finds the plug-in through it.
#include <lv2/core/lv2.h>

#include "IEffectLV2.h"

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
  return index == 0 ? umbra::IEffectLV2::Descriptor() : nullptr;
}
