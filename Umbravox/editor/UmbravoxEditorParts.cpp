#include "UmbravoxEditorParts.h"

#include "AboutPopup.h"
#include "ICanvas.h"
#include "PresetNameControl.h"
#include "PresetPopup.h"
#include "UmbravoxParams.h"

namespace umbra {

namespace {

// The popups are attached last, so the search starts from the top of the drawing order.
template <typename T>
T* TopmostOf(const ui::ICanvas& g)
{
  for (int i = g.NControls() - 1; i >= 0; --i)
    if (auto* control = dynamic_cast<T*>(g.GetControl(i)))
      return control;
  return nullptr;
}

} // namespace

PresetNameControl* PresetNameCtrlOf(const ui::ICanvas& g)
{
  return dynamic_cast<PresetNameControl*>(g.GetControlWithTag(kCtrlTagPresetName));
}

AboutPopup* AboutPopupOf(const ui::ICanvas& g)
{
  return TopmostOf<AboutPopup>(g);
}

PresetPopup* PresetPopupOf(const ui::ICanvas& g)
{
  return TopmostOf<PresetPopup>(g);
}

} // namespace umbra
