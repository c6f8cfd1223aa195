#pragma once

#include "HeaderIconButton.h"

namespace umbra {

// The header's left icon: shows and hides the About popup, and wears a small green badge while
// the update checker offers a newer version.
class GhostIconButton : public HeaderIconButton {
public:
  using HeaderIconButton::HeaderIconButton;

  void OnMouseDown(float x, float y, const ui::IMouseMod& mod) override;
  void Draw(ui::ICanvas& g) override;

  // Whether the badge shows for an update checker state.
  static bool ShowsBadge(int updateState);
};

} // namespace umbra
