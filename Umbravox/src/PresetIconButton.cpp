#include "PresetIconButton.h"

#include "PresetPopup.h"
#include "UmbravoxTheme.h"

namespace umbra {

void PresetIconButton::OnMouseDown(float, float, const ui::IMouseMod&)
{
  if (!gPresetPopup)
    return;
  if (gPresetPopup->IsOpen())
    gPresetPopup->Close();
  else
    gPresetPopup->Open();
}

} // namespace umbra
