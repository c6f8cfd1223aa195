#include "ISliderControlBase.h"

#include <algorithm>

namespace umbra::ui {

ISliderControlBase::ISliderControlBase(const IRECT& bounds, int paramIdx, EDirection dir,
                                       double gearing, float handleSize)
  : IControl(bounds, paramIdx), mDirection(dir), mHandleSize(handleSize), mGearing(gearing)
{
}

ISliderControlBase::ISliderControlBase(const IRECT& bounds, IActionFunction actionFunc,
                                       EDirection dir, double gearing, float handleSize)
  : IControl(bounds, std::move(actionFunc)), mDirection(dir), mHandleSize(handleSize),
    mGearing(gearing)
{
}

void ISliderControlBase::OnResize()
{
  mTrackBounds = mRECT;
  mTargetRECT = mRECT;
  SetDirty(false);
}

void ISliderControlBase::OnMouseWheel(float, float, const IMouseMod& mod, float d)
{
  const double gearing = (mod.S || mod.C) ? 0.001 : 0.01;
  const IParam* param = GetParam();
  double value = GetValue();

  if (param && param->GetStepped() && param->GetStep() > 0.0) {
    // A stepped parameter moves by whole steps in its own units, whatever its shape.
    if (d != 0.f) {
      const double step = param->GetStep();
      const double real = param->ConstrainValue(param->ValueFromNormalized(value));
      const double next = param->ConstrainValue(real + (d > 0.f ? step : -step));
      value = NormalizedFromReal(*param, next);
    }
  }
  else {
    value += gearing * d;
  }

  SetValue(value);
  SetDirty(true);
}

} // namespace umbra::ui
