#pragma once

#include "IControl.h"

namespace umbra::ui {

// A rectangle filled with a pattern: the editor's background.
class IPanelControl : public IControl {
public:
  IPanelControl(const IRECT& bounds, const IPattern& pattern, bool drawFrame = false,
                const IColor& frameColor = COLOR_BLACK);

  void Draw(ICanvas& g) override;

  const IPattern& GetPattern() const { return mPattern; }
  void SetPattern(const IPattern& pattern);

private:
  IPattern mPattern;
  bool mDrawFrame;
  IColor mFrameColor;
};

} // namespace umbra::ui
