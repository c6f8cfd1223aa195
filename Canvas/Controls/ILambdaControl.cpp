#include "ILambdaControl.h"

namespace umbra::ui {

ILambdaControl::ILambdaControl(const IRECT& bounds, ILambdaDrawFunction drawFunc,
                               int animationDuration, bool loopAnimation, bool startImmediately,
                               int paramIdx, bool ignoreMouse)
  : IControl(bounds, paramIdx, DefaultClickActionFunc), mDrawFunc(std::move(drawFunc)),
    mLoopAnimation(loopAnimation), mAnimationDurationMs(animationDuration)
{
  mDblAsSingleClick = true;
  mIgnoreMouse = ignoreMouse;
  if (startImmediately)
    SetAnimation(DefaultAnimationFunc, animationDuration);
}

void ILambdaControl::Draw(ICanvas& g)
{
  if (mDrawFunc)
    mDrawFunc(this, g, mRECT);
}

void ILambdaControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  mMouseInfo.x = x;
  mMouseInfo.y = y;
  mMouseInfo.ms = mod;
  SetAnimation(DefaultAnimationFunc, mAnimationDurationMs);
}

void ILambdaControl::OnMouseUp(float x, float y, const IMouseMod&)
{
  mMouseInfo.x = x;
  mMouseInfo.y = y;
  mMouseInfo.ms = IMouseMod();
  SetDirty(false);
}

void ILambdaControl::OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod)
{
  mMouseInfo = {x, y, dX, dY, mod};
  SetDirty(false);
}

void ILambdaControl::OnEndAnimation()
{
  if (mLoopAnimation && mAnimationDurationMs != 0)
    StartAnimation(mAnimationDurationMs);
  else
    IControl::OnEndAnimation();
  SetDirty(false);
}

} // namespace umbra::ui
