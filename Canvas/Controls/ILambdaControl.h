#pragma once

#include <functional>

#include "IControl.h"

namespace umbra::ui {

class ILambdaControl;
using ILambdaDrawFunction = std::function<void(ILambdaControl*, ICanvas&, const IRECT&)>;

// A control whose look is a function: overlays, separators and other one-off drawings. It can
// animate once on click, or loop an animation for as long as it lives.
class ILambdaControl : public IControl {
public:
  ILambdaControl(const IRECT& bounds, ILambdaDrawFunction drawFunc, int animationDuration = 1000,
                 bool loopAnimation = false, bool startImmediately = false,
                 int paramIdx = kNoParameter, bool ignoreMouse = false);

  void Draw(ICanvas& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  // A looping animation starts over, unless it has no length: that would end and restart
  // every frame, forever.
  void OnEndAnimation() override;

  struct MouseInfo {
    float x = 0.f, y = 0.f, dX = 0.f, dY = 0.f;
    IMouseMod ms;
  };
  const MouseInfo& GetMouseInfo() const { return mMouseInfo; }

private:
  MouseInfo mMouseInfo;
  ILambdaDrawFunction mDrawFunc;
  bool mLoopAnimation;
  int mAnimationDurationMs;
};

} // namespace umbra::ui
