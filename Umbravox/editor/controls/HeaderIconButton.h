#pragma once

#include "Controls/IBitmapControl.h"

namespace umbra {

// What the header's two icon buttons share: a bitmap that pulses behind a soft halo and grows a
// little while the mouse is over it. The buttons do not mark themselves dirty; the always
// animating background redraws them, so the pulse advances once per drawing.
class HeaderIconButton : public ui::IBitmapControl {
public:
  HeaderIconButton(const ui::IRECT& bounds, const ui::IBitmap& bitmap);

  void OnMouseOver(float x, float y, const ui::IMouseMod& mod) override;
  void OnMouseOut() override;
  void Draw(ui::ICanvas& g) override;

  bool IsHovered() const { return mHover; }
  float Phase() const { return mPhase; }

  // The halo's alpha for a phase, with or without the mouse over the button.
  static int HaloAlpha(float phase, bool hovered);
  // Where the icon is drawn: the bounds, or 1.1 times their size about the same centre.
  static ui::IRECT IconRect(const ui::IRECT& bounds, bool hovered);

protected:
  bool mHover = false;
  float mPhase = 0.f;
};

} // namespace umbra
