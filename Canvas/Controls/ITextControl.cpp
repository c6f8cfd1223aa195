#include "ITextControl.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "ICanvas.h"

namespace umbra::ui {

ITextControl::ITextControl(const IRECT& bounds, const char* str, const IText& text,
                           const IColor& bgColor, bool setBoundsBasedOnStr)
  : IControl(bounds), mStr(str ? str : ""), mBGColor(bgColor),
    mSetBoundsBasedOnStr(setBoundsBasedOnStr)
{
  mText = text;
  mIgnoreMouse = true;
}

void ITextControl::Draw(ICanvas& g)
{
  g.FillRect(mBGColor, mRECT, &mBlend);
  // While the value is typed in place the text field shows it.
  const bool typedInPlace = mGraphics && mGraphics->GetControlInTextEntry() == this;
  if (!mStr.empty() && !typedInPlace)
    g.DrawText(mText, mStr.c_str(), mRECT, &mBlend);
}

void ITextControl::OnInit()
{
  if (mSetBoundsBasedOnStr)
    SetBoundsBasedOnStr();
}

void ITextControl::SetBoundsBasedOnStr()
{
  // Measuring needs the canvas's fonts.
  if (!mGraphics)
    return;
  IRECT measured;
  mGraphics->MeasureText(mText, mStr.c_str(), measured);
  mRECT = mRECT.GetCentredInside(measured.W(), measured.H());
  mTargetRECT = mRECT;
  OnResize();
}

void ITextControl::SetStr(const char* str)
{
  const char* s = str ? str : "";
  if (mStr == s)
    return;
  mStr = s;
  if (mSetBoundsBasedOnStr)
    SetBoundsBasedOnStr();
  SetDirty(false);
}

void ITextControl::SetStrFmt(int maxlen, const char* format, ...)
{
  std::vector<char> buffer(static_cast<size_t>(maxlen < 0 ? 0 : maxlen) + 1, '\0');
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  mStr = buffer.data();
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------------

ICaptionControl::ICaptionControl(const IRECT& bounds, int paramIdx, const IText& text,
                                 const IColor& bgColor, bool showParamLabel)
  : ITextControl(bounds, "", text, bgColor), mShowParamLabel(showParamLabel)
{
  SetParamIdx(paramIdx);
  mDisablePrompt = false;
  mDblAsSingleClick = true;
  mIgnoreMouse = false;
}

void ICaptionControl::Draw(ICanvas& g)
{
  if (const IParam* param = GetParam()) {
    std::string display;
    param->GetDisplay(GetValue(), true, display);
    if (mShowParamLabel) {
      display += " ";
      display += param->GetLabel();
    }
    // Assigned rather than set through SetStr: this frame draws it, so marking the control
    // dirty again would only cost another frame.
    mStr = display;
  }

  ITextControl::Draw(g);

  if (mTriangleRect.W() > 0.f) {
    const IRECT& t = mTriangleRect;
    if (mMouseIsOver)
      g.FillTriangle(mTriangleMouseOverColor, t.L, t.T, t.R, t.T, t.MW(), t.B);
    else
      g.FillTriangle(mTriangleColor, t.L, t.T, t.R, t.T, t.MW(), t.B, &BLEND_50);
  }
}

void ICaptionControl::OnResize()
{
  const IParam* param = GetParam();
  if (param && param->Type() == IParam::kTypeEnum) {
    const float s = mText.mSize;
    const IRECT strip = mText.mAlign == kAlignFar ? mRECT.GetFromLeft(s) : mRECT.GetFromRight(s);
    mTriangleRect = strip.GetCentredInside(0.5f * s, 0.33f * s);
  }
  else {
    mTriangleRect = IRECT();
  }
}

void ICaptionControl::OnMouseDown(float, float, const IMouseMod& mod)
{
  if ((mod.L || mod.R) && GetParam() && !mDisablePrompt && mGraphics)
    mGraphics->PromptUserInput(*this, mRECT, 0);
}

} // namespace umbra::ui
