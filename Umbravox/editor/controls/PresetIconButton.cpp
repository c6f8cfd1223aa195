#include "PresetIconButton.h"

#include "ICanvas.h"
#include "PresetPopup.h"
#include "UmbravoxEditorParts.h"

namespace umbra {

void PresetIconButton::OnMouseDown(float, float, const ui::IMouseMod&)
{
  PresetPopup* popup = GetUI() ? PresetPopupOf(*GetUI()) : nullptr;
  if (!popup)
    return;
  if (popup->IsOpen())
    popup->Close();
  else
    popup->Open();
}

} // namespace umbra
