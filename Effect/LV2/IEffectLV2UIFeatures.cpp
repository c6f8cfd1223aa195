#include "IEffectLV2UIFeatures.h"

#include <cmath>
#include <cstring>

#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

namespace umbra {

namespace {

// The scale factor among the options, when the host both maps URIs and gives options.
float ReadScaleFactor(const LV2_URID_Map* map, const LV2_Options_Option* options)
{
  if (!map || !options)
    return 0.f;
  const LV2_URID scaleKey = map->map(map->handle, LV2_UI__scaleFactor);
  const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
  for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o)
  {
    if (o->key != scaleKey || o->type != floatType || o->size != sizeof(float) || !o->value)
      continue;
    float scale = 0.f;
    std::memcpy(&scale, o->value, sizeof(float));
    // A scale nobody could mean is ignored rather than trusted.
    return std::isfinite(scale) && scale >= 0.5f && scale <= 8.f ? scale : 0.f;
  }
  return 0.f;
}

} // namespace

LV2UIHostFeatures LV2UIHostFeatures::Read(const LV2_Feature* const* features)
{
  LV2UIHostFeatures host;
  const LV2_URID_Map* map = nullptr;
  const LV2_Options_Option* options = nullptr;
  for (const LV2_Feature* const* f = features; f && *f; ++f)
  {
    const char* uri = (*f)->URI;
    void* data = (*f)->data;
    if (!uri)
      continue;
    if (!std::strcmp(uri, LV2_UI__parent))
      host.parent = data;
    else if (!std::strcmp(uri, LV2_UI__resize))
      host.resize = static_cast<const LV2UI_Resize*>(data);
    else if (!std::strcmp(uri, LV2_UI__touch))
      host.touch = static_cast<const LV2UI_Touch*>(data);
    else if (!std::strcmp(uri, LV2_INSTANCE_ACCESS_URI))
      host.instance = data;
    else if (!std::strcmp(uri, LV2_URID__map))
      map = static_cast<const LV2_URID_Map*>(data);
    else if (!std::strcmp(uri, LV2_OPTIONS__options))
      options = static_cast<const LV2_Options_Option*>(data);
  }
  host.scaleFactor = ReadScaleFactor(map, options);
  return host;
}

} // namespace umbra
