#pragma once

// The controls of one editor that its other controls reach: the preset name display and the two
// popups. They are looked up in the graphics context the asking control lives in, so the editors
// of two instances open at once never reach each other's, and nothing is left pointing into an
// editor once it has closed.

namespace umbra {

namespace ui {
class ICanvas;
}

class PresetNameControl;
class AboutPopup;
class PresetPopup;

// The display under the tag kCtrlTagPresetName, or none.
PresetNameControl* PresetNameCtrlOf(const ui::ICanvas& g);
// The topmost popup of each kind, or none.
AboutPopup* AboutPopupOf(const ui::ICanvas& g);
PresetPopup* PresetPopupOf(const ui::ICanvas& g);

} // namespace umbra
