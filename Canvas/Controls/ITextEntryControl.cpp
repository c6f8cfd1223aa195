#include "ITextEntryControl.h"

#include <algorithm>

#include "ICanvas.h"

namespace umbra::ui {

ITextEntryControl::ITextEntryControl() : IControl(IRECT())
{
  mHide = true;
  mDblAsSingleClick = true;
}

void ITextEntryControl::CreateTextEntry(int paramIdx, const IText& text, const IRECT& bounds,
                                        int length, const char* str)
{
  if (mEditing)
    return;

  mAllowed.clear();
  if (mDelegate && mDelegate->IsValidParamIdx(paramIdx)) {
    switch (mDelegate->GetParam(paramIdx)->Type()) {
      case IParam::kTypeBool:
      case IParam::kTypeInt:
      case IParam::kTypeEnum:
        mAllowed = "0123456789-+";
        break;
      default:
        mAllowed = "0123456789.-+";
        break;
    }
  }

  mText = text;
  mLength = std::max(length, 0);
  // The starting text is shown whole even when longer than what may be typed.
  mEditStr = str ? str : "";
  mCaret = static_cast<int>(mEditStr.size());
  mEditing = true;
  SetTargetAndDrawRECTs(bounds);
  Hide(false);
}

void ITextEntryControl::EndEdit()
{
  mEditing = false;
  // Still dirty over its old bounds, so the frame redraws what it covered.
  Hide(true);
}

void ITextEntryControl::CommitEdit()
{
  if (!mEditing)
    return;
  const std::string str = mEditStr;
  EndEdit();
  if (mGraphics) {
    mGraphics->SetControlValueAfterTextEdit(str.c_str());
    mGraphics->SetAllControlsDirty();
  }
}

void ITextEntryControl::CancelEdit()
{
  if (!mEditing)
    return;
  EndEdit();
  if (mGraphics) {
    mGraphics->SetControlValueAfterTextEdit(nullptr);
    mGraphics->SetAllControlsDirty();
  }
}

bool ITextEntryControl::CharAllowed(char c) const
{
  if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
    return false;
  return mAllowed.empty() || mAllowed.find(c) != std::string::npos;
}

void ITextEntryControl::Draw(ICanvas& g)
{
  if (!mEditing)
    return;
  g.FillRect(mText.mTextEntryBGColor, mRECT);
  const IText style = mText.WithFGColor(mText.mTextEntryFGColor);
  g.DrawText(style, mEditStr.c_str(), mRECT);

  // The caret sits after the measured prefix, wherever the alignment put the whole text.
  IRECT measured;
  const float whole = mEditStr.empty() ? 0.f : g.MeasureText(style, mEditStr.c_str(), measured);
  const std::string prefix = mEditStr.substr(0, static_cast<size_t>(mCaret));
  const float before = prefix.empty() ? 0.f : g.MeasureText(style, prefix.c_str(), measured);
  float start = mRECT.L;
  if (style.mAlign == kAlignCenter)
    start = mRECT.MW() - 0.5f * whole;
  else if (style.mAlign == kAlignFar)
    start = mRECT.R - whole;
  const float x = std::clamp(start + before, mRECT.L + 1.f, mRECT.R - 1.f);
  const float h = std::min(mRECT.H() - 2.f, style.mSize * 1.2f);
  g.DrawLine(mText.mTextEntryFGColor, x, mRECT.MH() - 0.5f * h, x, mRECT.MH() + 0.5f * h);
}

void ITextEntryControl::OnMouseDown(float x, float y, const IMouseMod&)
{
  if (mEditing && !mRECT.Contains(x, y))
    CommitEdit();
}

bool ITextEntryControl::OnKeyDown(float, float, const IKeyPress& key)
{
  if (!mEditing)
    return false;

  const int size = static_cast<int>(mEditStr.size());
  switch (key.VK) {
    case kVK_ESCAPE:
      CancelEdit();
      return true;
    case kVK_RETURN:
      CommitEdit();
      return true;
    case kVK_BACK:
      if (mCaret > 0) {
        mEditStr.erase(static_cast<size_t>(mCaret - 1), 1);
        --mCaret;
      }
      break;
    case kVK_DELETE:
      if (mCaret < size)
        mEditStr.erase(static_cast<size_t>(mCaret), 1);
      break;
    case kVK_LEFT:
      mCaret = std::max(mCaret - 1, 0);
      break;
    case kVK_RIGHT:
      mCaret = std::min(mCaret + 1, size);
      break;
    case kVK_HOME:
      mCaret = 0;
      break;
    case kVK_END:
      mCaret = size;
      break;
    default: {
      // One printable character at a time; shortcuts with control or alt type nothing.
      const char c = key.utf8[0];
      if (!key.C && !key.A && c != '\0' && key.utf8[1] == '\0' && CharAllowed(c) &&
          size < mLength) {
        mEditStr.insert(static_cast<size_t>(mCaret), 1, c);
        ++mCaret;
      }
      break;
    }
  }
  SetDirty(false);
  // The field holds the keyboard while it is open.
  return true;
}

} // namespace umbra::ui
