#pragma once

#include "ICanvas.h"
#include "IControl.h"

namespace umbra::ui {

// The handle in the bottom-right corner that zooms (or, in size mode, enlarges) the editor when
// dragged. It keeps the same size on screen whatever the zoom. The drag itself is run by the
// canvas once the handle has started it.
class ICornerResizerControl : public IControl {
public:
  ICornerResizerControl(float size, EUIResizerMode mode, bool layoutOnResize, const IColor& color,
                        const IColor& mouseOverColor, const IColor& dragColor);

  void Draw(ICanvas& g) override;
  // Back into the corner, at size / draw scale.
  void OnRescale() override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  // The resize cursor while over the handle; the cursor from before on leaving.
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;

  EUIResizerMode GetMode() const { return mMode; }
  bool GetLayoutOnResize() const { return mLayoutOnResize; }
  float GetSize() const { return mSize; }

private:
  float mSize;
  EUIResizerMode mMode;
  bool mLayoutOnResize;
  IColor mColor;
  IColor mMouseOverColor;
  IColor mDragColor;
  ECursor mPrevCursor = ECursor::kArrow;
};

} // namespace umbra::ui
