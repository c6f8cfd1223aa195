#include "PresetNameControl.h"

#include <algorithm>
#include <cmath>

#include "ICanvas.h"
#include "IEffectBase.h"
#include "UmbravoxTheme.h"

namespace umbra {

using namespace ui;

PresetNameControl::PresetNameControl(const IRECT& bounds, const IText& text,
                                     const IColor& glowColor)
  : ITextControl(bounds, "", text, DEFAULT_BGCOLOR, false), mGlowColor(glowColor)
{
  SetAnimation([](IControl* caller) {
    auto* self = static_cast<PresetNameControl*>(caller);
    self->mPhase += 0.05f;
    if (self->mPhase > kPhaseTurn)
      self->mPhase -= kPhaseTurn;
    self->SetDirty(false);
  });
  StartAnimation(50.0);
}

const char* PresetNameControl::DisplayNameOf(const IEffectBase& plugin)
{
  const char* name = plugin.GetPresetName(plugin.CurrentPresetIndex());
  return name && *name ? name : "Default";
}

void PresetNameControl::UpdatePresetName(IEffectBase* plugin)
{
  if (plugin)
    SetStr(DisplayNameOf(*plugin));
}

float PresetNameControl::GlowOpacity(float phase)
{
  return std::clamp((std::sin(phase) * 0.1f + 0.15f) * 0.3f, 0.f, 1.f);
}

void PresetNameControl::Draw(ICanvas& g)
{
  const IColor glow(static_cast<int>(255.f * GlowOpacity(mPhase)), mGlowColor.R, mGlowColor.G,
                    mGlowColor.B);
  g.FillRoundRect(glow, mRECT.GetPadded(-2.f), 4.f, nullptr);
  ITextControl::Draw(g);
}

} // namespace umbra
