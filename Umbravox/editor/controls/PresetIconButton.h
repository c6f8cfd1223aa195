#pragma once

#include "HeaderIconButton.h"

namespace umbra {

// The header's right icon: opens the preset browser on the current preset, and closes it.
class PresetIconButton : public HeaderIconButton {
public:
  using HeaderIconButton::HeaderIconButton;

  void OnMouseDown(float x, float y, const ui::IMouseMod& mod) override;
};

} // namespace umbra
