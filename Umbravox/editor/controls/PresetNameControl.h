#pragma once

#include "Controls/ITextControl.h"

namespace umbra {

class IEffectBase;

// The current preset's name, right-aligned in the header over a faint breathing glow. Its
// animation never ends, so it is redrawn every frame.
class PresetNameControl : public ui::ITextControl {
public:
  // Only R, G and B of glowColor are used.
  PresetNameControl(const ui::IRECT& bounds, const ui::IText& text, const ui::IColor& glowColor);

  void Draw(ui::ICanvas& g) override;

  // Shows the plug-in's current preset name, "Default" when it has none; nothing without a
  // plug-in.
  void UpdatePresetName(IEffectBase* plugin);

  // The name shown for the plug-in's current preset.
  static const char* DisplayNameOf(const IEffectBase& plugin);
  // The glow's opacity for a phase, 0.015..0.075.
  static float GlowOpacity(float phase);

  float Phase() const { return mPhase; }

private:
  ui::IColor mGlowColor;
  float mPhase = 0.f;
};

} // namespace umbra
