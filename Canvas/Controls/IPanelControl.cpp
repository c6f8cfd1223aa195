#include "IPanelControl.h"

#include "ICanvas.h"

namespace umbra::ui {

IPanelControl::IPanelControl(const IRECT& bounds, const IPattern& pattern, bool drawFrame,
                             const IColor& frameColor)
  : IControl(bounds, kNoParameter), mPattern(pattern), mDrawFrame(drawFrame),
    mFrameColor(frameColor)
{
  mIgnoreMouse = true;
}

void IPanelControl::Draw(ICanvas& g)
{
  // A path rather than FillRect: FillRect takes a colour, the background may be a gradient.
  g.PathClear();
  g.PathRect(mRECT);
  g.PathFill(mPattern, IFillOptions(), &mBlend);
  if (mDrawFrame)
    g.DrawRect(mFrameColor, mRECT, &mBlend);
}

void IPanelControl::SetPattern(const IPattern& pattern)
{
  mPattern = pattern;
  SetDirty(false);
}

} // namespace umbra::ui
