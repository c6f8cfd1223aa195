#include "IControl.h"

#include <algorithm>
#include <cmath>

#include "ICanvas.h"

namespace umbra::ui {

double NormalizedFromReal(const IParam& param, double value)
{
  // The parameter already rounds to its step and clamps on the way through its shape.
  return std::clamp(param.NormalizedFromValue(value), 0.0, 1.0);
}

IControl::IControl(const IRECT& bounds, int paramIdx, IActionFunction actionFunc)
  : mRECT(bounds), mTargetRECT(bounds), mActionFunc(std::move(actionFunc))
{
  mVals.push_back({paramIdx, 0.0});
}

IControl::IControl(const IRECT& bounds, std::initializer_list<int> params,
                   IActionFunction actionFunc)
  : mRECT(bounds), mTargetRECT(bounds), mActionFunc(std::move(actionFunc))
{
  for (int idx : params)
    mVals.push_back({idx, 0.0});
}

IControl::IControl(const IRECT& bounds, IActionFunction actionFunc)
  : IControl(bounds, kNoParameter, std::move(actionFunc))
{
}

IControl::~IControl() = default;

// ---------------------------------------------------------------------------------------------
// Mouse defaults

void IControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  if (mod.R)
    PromptUserInput(GetValIdxForPos(x, y));
}

void IControl::OnMouseDblClick(float x, float y, const IMouseMod&)
{
  SetValueToDefault(GetValIdxForPos(x, y));
}

void IControl::OnMouseOver(float, float, const IMouseMod&)
{
  if (!mMouseIsOver) {
    mMouseIsOver = true;
    SetDirty(false);
  }
}

void IControl::OnMouseOut()
{
  if (mMouseIsOver) {
    mMouseIsOver = false;
    SetDirty(false);
  }
}

void IControl::OnGesture(const IGestureInfo& info)
{
  const auto it = mGestureFuncs.find(info.type);
  if (it != mGestureFuncs.end() && it->second)
    it->second(this, info);
}

IControl* IControl::AttachGestureRecognizer(EGestureType type, IGestureFunc func)
{
  mGestureFuncs[type] = std::move(func);
  return this;
}

void IControl::OnPopupMenuSelection(IPopupMenu* menu, int valIdx)
{
  if (!menu || valIdx < 0 || mDisablePrompt)
    return;
  const int chosen = menu->GetChosenItemIdx();
  const IParam* param = GetParam(valIdx);
  if (chosen < 0 || !param)
    return;
  // The menu lists the parameter's values in order, so the item index is the real value.
  SetValueFromUserInput(NormalizedFromReal(*param, chosen), valIdx);
}

// ---------------------------------------------------------------------------------------------
// Values and parameters

void IControl::SetParamIdx(int paramIdx, int valIdx)
{
  mVals.at(static_cast<size_t>(valIdx)).idx = paramIdx;
  SetDirty(false);
}

int IControl::GetValIdxForPos(float, float) const { return NVals() == 1 ? 0 : kNoValIdx; }

void IControl::SetValue(double value, int valIdx) { mVals[static_cast<size_t>(valIdx)].value = value; }

void IControl::SetValueFromDelegate(double value, int valIdx)
{
  // While the user drags this control, host echoes of older values would make it jump back.
  if (mGraphics && mGraphics->IsCaptured(this))
    return;
  if (GetValue(valIdx) != value) {
    SetValue(value, valIdx);
    SetDirty(false);
  }
}

void IControl::SetValueFromUserInput(double value, int valIdx)
{
  if (GetValue(valIdx) != value) {
    SetValue(value, valIdx);
    SetDirty(true, valIdx);
  }
}

void IControl::SetValueToDefault(int valIdx)
{
  if (NVals() == 1)
    valIdx = 0;
  auto reset = [this](int i) {
    if (const IParam* param = GetParam(i))
      SetValue(NormalizedFromReal(*param, param->GetDefault()), i);
  };
  if (valIdx == kNoValIdx)
    for (int i = 0; i < NVals(); ++i)
      reset(i);
  else
    reset(valIdx);
  SetDirty(true, valIdx);
}

int IControl::LinkedToParam(int paramIdx) const
{
  for (int i = 0; i < NVals(); ++i)
    if (mVals[static_cast<size_t>(i)].idx == paramIdx)
      return i;
  return kNoValIdx;
}

const IParam* IControl::GetParam(int valIdx) const
{
  if (!mDelegate || valIdx < 0 || valIdx >= NVals())
    return nullptr;
  const int paramIdx = GetParamIdx(valIdx);
  return mDelegate->IsValidParamIdx(paramIdx) ? mDelegate->GetParam(paramIdx) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Dirty state

void IControl::SendValue(int valIdx)
{
  const int paramIdx = GetParamIdx(valIdx);
  if (paramIdx <= kNoParameter)
    return;
  if (mDelegate)
    mDelegate->SendParameterValueFromUI(paramIdx, GetValue(valIdx));
  if (mGraphics)
    mGraphics->UpdatePeers(this, valIdx);
}

void IControl::SetDirty(bool triggerAction, int valIdx)
{
  if (NVals() == 1)
    valIdx = 0;

  if (valIdx >= 0 && valIdx < NVals()) {
    SetValue(std::clamp(GetValue(valIdx), 0.0, 1.0), valIdx);
    mDirty = true;
    if (triggerAction)
      SendValue(valIdx);
  }
  else {
    // Every value; for a control without values this only marks it dirty.
    for (int i = 0; i < NVals(); ++i)
      SetValue(std::clamp(GetValue(i), 0.0, 1.0), i);
    mDirty = true;
    if (triggerAction)
      for (int i = 0; i < NVals(); ++i)
        SendValue(i);
  }

  if (triggerAction && mActionFunc)
    mActionFunc(this);
}

bool IControl::IsDirty()
{
  if (mAnimationFunc)
    return true;
  return mDirty;
}

// ---------------------------------------------------------------------------------------------
// Geometry and state

void IControl::SetPosition(float x, float y)
{
  x = std::max(x, 0.f);
  y = std::max(y, 0.f);
  const float dx = x - mRECT.L;
  const float dy = y - mRECT.T;
  // Both rectangles move before OnResize, so that a control that derives its target from its
  // bounds there sees them in their final place.
  mRECT = mRECT.GetTranslated(dx, dy);
  mTargetRECT = mTargetRECT.GetTranslated(dx, dy);
  mMouseIsOver = false;
  OnResize();
}

void IControl::SetSize(float w, float h)
{
  mRECT = IRECT(mRECT.L, mRECT.T, mRECT.L + w, mRECT.T + h);
  mTargetRECT = mRECT;
  mMouseIsOver = false;
  OnResize();
}

void IControl::Hide(bool hide)
{
  mHide = hide;
  SetDirty(false);
}

void IControl::SetDisabled(bool disable)
{
  mBlend.mWeight = disable ? 0.25f : 1.f;
  mDisabled = disable;
  SetDirty(false);
}

void IControl::SnapToMouse(float x, float y, EDirection direction, const IRECT& bounds,
                           int valIdx, double minClip, double maxClip)
{
  x = std::clamp(x, bounds.L, bounds.R);
  y = std::clamp(y, bounds.T, bounds.B);

  double v = direction == kVertical ? 1.0 - (y - bounds.T) / bounds.H()
                                    : (x - bounds.L) / bounds.W();
  // Thousandths keep values typed back in and values dragged to the same point equal.
  v = std::clamp(std::round(v / 0.001) * 0.001, minClip, maxClip);

  if (valIdx == kNoValIdx)
    for (int i = 0; i < NVals(); ++i)
      SetValue(v, i);
  else
    SetValue(v, valIdx);
  SetDirty(true, valIdx);
}

// ---------------------------------------------------------------------------------------------
// Prompts

void IControl::PromptUserInput(int valIdx)
{
  if (valIdx < 0 || mDisablePrompt)
    return;
  const IParam* param = GetParam(valIdx);
  if (!param)
    return;
  if (param->NDisplayTexts() > 0)
    PromptUserInput(mRECT, valIdx);
  else
    PromptUserInput(mRECT.GetCentredInside(40.f, 16.f), valIdx);
}

void IControl::PromptUserInput(const IRECT& bounds, int valIdx)
{
  if (valIdx < 0 || mDisablePrompt || !GetParam(valIdx))
    return;
  if (mGraphics)
    mGraphics->PromptUserInput(*this, bounds, valIdx);
  SetDirty(false);
}

} // namespace umbra::ui
