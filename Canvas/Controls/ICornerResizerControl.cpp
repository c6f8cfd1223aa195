#include "ICornerResizerControl.h"

namespace umbra::ui {

ICornerResizerControl::ICornerResizerControl(float size, EUIResizerMode mode, bool layoutOnResize,
                                             const IColor& color, const IColor& mouseOverColor,
                                             const IColor& dragColor)
  : IControl(IRECT()), mSize(size), mMode(mode), mLayoutOnResize(layoutOnResize), mColor(color),
    mMouseOverColor(mouseOverColor), mDragColor(dragColor)
{
}

void ICornerResizerControl::Draw(ICanvas& g)
{
  const IColor& color = g.GetResizingInProcess() ? mDragColor
                        : mMouseIsOver            ? mMouseOverColor
                                                  : mColor;
  g.FillTriangle(color, mRECT.L, mRECT.B, mRECT.R, mRECT.T, mRECT.R, mRECT.B);
}

void ICornerResizerControl::OnRescale()
{
  if (!mGraphics)
    return;
  const float side = mSize / mGraphics->GetDrawScale();
  const float w = static_cast<float>(mGraphics->Width());
  const float h = static_cast<float>(mGraphics->Height());
  SetTargetAndDrawRECTs(IRECT(w - side, h - side, w, h));
  SetDirty(false);
}

void ICornerResizerControl::OnMouseDown(float, float, const IMouseMod&)
{
  if (mGraphics)
    mGraphics->StartDragResize();
  SetDirty(false);
}

void ICornerResizerControl::OnMouseUp(float, float, const IMouseMod&)
{
  // The canvas ends the drag once the release has been delivered.
  SetDirty(false);
}

void ICornerResizerControl::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  if (!mMouseIsOver && mGraphics) {
    mPrevCursor = mGraphics->GetMouseCursor();
    mGraphics->ChangeMouseCursor(ECursor::kSizeNWSE);
  }
  IControl::OnMouseOver(x, y, mod);
}

void ICornerResizerControl::OnMouseOut()
{
  if (mMouseIsOver && mGraphics)
    mGraphics->ChangeMouseCursor(mPrevCursor);
  IControl::OnMouseOut();
}

} // namespace umbra::ui
