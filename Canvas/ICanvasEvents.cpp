// Mouse, wheel and key routing from the platform to the controls, with capture and hover; the
// value prompts (menus and text fields, the framework's own controls); the corner resizer's drag.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "Controls/ICornerResizerControl.h"
#include "Controls/IPopupMenuControl.h"
#include "Controls/ITextEntryControl.h"
#include "ICanvas.h"

namespace umbra::ui {

// ---------------------------------------------------------------------------------------------
// Special controls

void ICanvas::IntroduceSpecial(IControl& control)
{
  if (mDelegate)
    control.SetDelegate(*mDelegate);
  control.SetGraphics(this);
  control.OnInit();
  control.OnResize();
  control.OnRescale();
  control.OnAttached();
}

void ICanvas::AttachCornerResizer(EUIResizerMode mode, bool layoutOnResize, const IColor& color,
                                  const IColor& mouseOverColor, const IColor& dragColor,
                                  float size)
{
  if (mCornerResizer)
    return;
  mCornerResizer = std::make_unique<ICornerResizerControl>(size, mode, layoutOnResize, color,
                                                           mouseOverColor, dragColor);
  IntroduceSpecial(*mCornerResizer);
}

void ICanvas::EnsurePromptControls()
{
  if (!mPopupMenuControl) {
    mPopupMenuControl = std::make_unique<IPopupMenuControl>();
    IntroduceSpecial(*mPopupMenuControl);
  }
  if (!mTextEntryControl) {
    mTextEntryControl = std::make_unique<ITextEntryControl>();
    IntroduceSpecial(*mTextEntryControl);
  }
}

ICornerResizerControl* ICanvas::GetCornerResizer() const
{
  return static_cast<ICornerResizerControl*>(mCornerResizer.get());
}

IPopupMenuControl* ICanvas::GetPopupMenuControl() const
{
  return static_cast<IPopupMenuControl*>(mPopupMenuControl.get());
}

ITextEntryControl* ICanvas::GetTextEntryControl() const
{
  return static_cast<ITextEntryControl*>(mTextEntryControl.get());
}

// ---------------------------------------------------------------------------------------------
// Capture and hit testing

bool ICanvas::IsCaptured(const IControl* control) const
{
  for (const auto& [touch, captured] : mCapturedMap)
    if (captured == control)
      return true;
  return false;
}

void ICanvas::ReleaseMouseCapture()
{
  mCapturedMap.clear();
  // No platform hides the cursor during drags yet; the flag keeps the promise to show it again.
  mCursorHidden = false;
}

IControl* ICanvas::GetMouseControl(float x, float y, bool capture, bool mouseOver,
                                   std::uint64_t touchID)
{
  if (const auto it = mCapturedMap.find(touchID); it != mCapturedMap.end())
    return it->second;

  IControl* found = nullptr;
  int foundIdx = -1;
  const IPopupMenuControl* popup = GetPopupMenuControl();
  const ITextEntryControl* entry = GetTextEntryControl();

  // An open prompt is modal: it takes everything until it closes.
  if (popup && popup->IsOpen())
    found = mPopupMenuControl.get();
  else if (entry && entry->IsEditing())
    found = mTextEntryControl.get();
  else if (mCornerResizer && mCornerResizer->GetRECT().Contains(x, y))
    found = mCornerResizer.get();
  else if (!mouseOver || mHandleMouseOver) {
    // The background never hovers: it would swallow every mouse-over the editor shows.
    const int lowest = mouseOver ? 1 : 0;
    for (int i = NControls() - 1; i >= lowest; --i) {
      IControl* control = GetControl(i);
      if (control->IsHidden() || control->GetIgnoreMouse())
        continue;
      if (control->IsDisabled() && !(mouseOver ? control->GetMouseOverWhenDisabled()
                                               : control->GetMouseEventsWhenDisabled()))
        continue;
      if (control->IsHit(x, y)) {
        found = control;
        foundIdx = i;
        break;
      }
    }
  }

  if (capture && found)
    mCapturedMap[touchID] = found;
  if (mouseOver)
    mMouseOverIdx = foundIdx;
  return found;
}

namespace {

// Gesture begin or end toward the host for every value of the control bound to a parameter.
template <typename Inform>
void ForEachLinkedParam(IControl& control, umbra::IEditorDelegate* delegate, Inform&& inform)
{
  if (!delegate)
    return;
  for (int v = 0; v < control.NVals(); ++v) {
    const int paramIdx = control.GetParamIdx(v);
    if (delegate->IsValidParamIdx(paramIdx))
      inform(*delegate, paramIdx);
  }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Mouse

void ICanvas::OnMouseDown(const std::vector<IMouseInfo>& points)
{
  if (points.size() == 1) {
    mMouseDownX = points[0].x;
    mMouseDownY = points[0].y;
  }

  for (const IMouseInfo& p : points) {
    IControl* control = GetMouseControl(p.x, p.y, true, false, p.ms.touchID);
    if (!control)
      continue;

    const int valIdx = std::max(0, control->GetValIdxForPos(p.x, p.y));
    const int paramIdx = valIdx < control->NVals() ? control->GetParamIdx(valIdx) : kNoParameter;

    if (p.ms.R && paramIdx >= 0) {
      // A right click on a parameter control is the context menu's, and nothing else's.
      ReleaseMouseCapture();
      mContextMenu.Clear();
      control->CreateContextMenu(mContextMenu);
      if (mContextMenu.NItems() > 0)
        DoCreatePopupMenu(*control, mContextMenu, IRECT(p.x, p.y, p.x, p.y), valIdx, true);
      return;
    }

    ForEachLinkedParam(*control, mDelegate, [](umbra::IEditorDelegate& d, int idx) {
      d.BeginInformHostOfParamChangeFromUI(idx);
    });
    control->OnMouseDown(p.x, p.y, p.ms);
  }
}

void ICanvas::OnMouseUp(const std::vector<IMouseInfo>& points)
{
  for (const IMouseInfo& p : points) {
    const auto it = mCapturedMap.find(p.ms.touchID);
    if (it == mCapturedMap.end())
      continue;
    IControl* control = it->second;
    control->OnMouseUp(p.x, p.y, p.ms);
    ForEachLinkedParam(*control, mDelegate, [](umbra::IEditorDelegate& d, int idx) {
      d.EndInformHostOfParamChangeFromUI(idx);
    });
    // Looked up again: the control's handler may have released the capture itself.
    mCapturedMap.erase(p.ms.touchID);
  }

  if (mResizingInProcess)
    EndDragResize();

  if (points.size() == 1 && points[0].ms.touchID == 0)
    OnMouseOver(points[0].x, points[0].y, points[0].ms);
}

void ICanvas::OnMouseDrag(const std::vector<IMouseInfo>& points)
{
  if (mResizingInProcess) {
    if (!points.empty())
      OnDragResize(points[0].x, points[0].y);
    return;
  }

  const ITextEntryControl* entry = GetTextEntryControl();
  const bool editing = entry && entry->IsEditing();
  for (const IMouseInfo& p : points) {
    const auto it = mCapturedMap.find(p.ms.touchID);
    if (it == mCapturedMap.end())
      continue;
    IControl* control = it->second;
    if (editing && control != mTextEntryControl.get())
      continue;
    if (p.dX == 0.f && p.dY == 0.f)
      continue;
    control->OnMouseDrag(p.x, p.y, p.dX, p.dY, p.ms);
  }
}

bool ICanvas::OnMouseDblClick(float x, float y, const IMouseMod& mod)
{
  IControl* control = GetMouseControl(x, y, true, false, mod.touchID);
  if (!control)
    return false;
  if (control->GetDblAsSingleClick()) {
    OnMouseDown({IMouseInfo{x, y, 0.f, 0.f, mod}});
  }
  else {
    control->OnMouseDblClick(x, y, mod);
    ReleaseMouseCapture();
  }
  return true;
}

bool ICanvas::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  IControl* control = GetMouseControl(x, y, false, true);
  if (control != mMouseOver) {
    if (mMouseOver)
      mMouseOver->OnMouseOut();
    mMouseOver = control;
  }
  if (control)
    control->OnMouseOver(x, y, mod);
  return control != nullptr;
}

void ICanvas::OnMouseOut()
{
  ChangeMouseCursor(ECursor::kArrow);
  ForAllControlsFunc([](IControl* control) { control->OnMouseOut(); });
  mMouseOver = nullptr;
  mMouseOverIdx = -1;
}

bool ICanvas::OnMouseWheel(float x, float y, const IMouseMod& mod, float d)
{
  // Scrolling elsewhere is a loss of focus for an open text field.
  if (ITextEntryControl* entry = GetTextEntryControl(); entry && entry->IsEditing())
    entry->CommitEdit();

  IControl* control = GetMouseControl(x, y, false);
  if (!control)
    return false;
  control->OnMouseWheel(x, y, mod, d);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Keys

bool ICanvas::OnKeyDown(float x, float y, const IKeyPress& key)
{
  bool handled = false;
  IControl* control = GetMouseControl(x, y, false);
  // The background is under the mouse everywhere; keys it saw would never reach the host.
  if (control && !(NControls() > 0 && control == GetControl(0)))
    handled = control->OnKeyDown(x, y, key);
  if (!handled && mKeyHandlerFunc)
    handled = mKeyHandlerFunc(key, false);
  return handled;
}

bool ICanvas::OnKeyUp(float x, float y, const IKeyPress& key)
{
  bool handled = false;
  IControl* control = GetMouseControl(x, y, false);
  if (control && !(NControls() > 0 && control == GetControl(0)))
    handled = control->OnKeyUp(x, y, key);
  if (!handled && mKeyHandlerFunc)
    handled = mKeyHandlerFunc(key, true);
  return handled;
}

void ICanvas::OnGUIIdle()
{
  ForAllControlsFunc([](IControl* control) { control->OnGUIIdle(); });
}

// ---------------------------------------------------------------------------------------------
// Value prompts

void ICanvas::PromptUserInput(IControl& control, const IRECT& bounds, int valIdx)
{
  const IParam* param = control.GetParam(valIdx);
  if (!param)
    return;

  const double value = control.GetValue(valIdx);
  const bool menu = param->Type() == IParam::kTypeEnum ||
                    (param->Type() == IParam::kTypeBool && param->NDisplayTexts() > 0);
  if (menu) {
    std::string current;
    param->GetDisplay(value, true, current);

    std::vector<std::pair<double, std::string>> texts;
    for (int i = 0; i < param->NDisplayTexts(); ++i) {
      double textValue = 0.0;
      const char* text = param->GetDisplayTextAtIdx(i, &textValue);
      texts.emplace_back(textValue, text ? text : "");
    }
    // Item i stands for the real value i, so the texts go in value order.
    std::stable_sort(texts.begin(), texts.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    mPromptPopupMenu.Clear();
    mPromptPopupMenu.SetRootTitle(param->GetName());
    for (const auto& [textValue, text] : texts)
      mPromptPopupMenu.AddItem(text, text == current ? IPopupMenu::Item::kChecked
                                                     : IPopupMenu::Item::kNoFlags);
    DoCreatePopupMenu(control, mPromptPopupMenu, bounds, valIdx, false);
  }
  else {
    std::string str;
    param->GetDisplay(value, true, str);
    if (control.GetPromptShowsParamLabel()) {
      str += " ";
      str += param->GetLabel();
    }
    CreateTextEntry(control, control.GetText(), bounds, str.c_str(), valIdx);
  }
}

void ICanvas::DoCreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& bounds,
                                int valIdx, bool isContext)
{
  // Opened from the control's mouse down, the menu inherits the gesture that began there; the
  // control's release no longer ends it, the choice does.
  const bool endsGesture = !isContext && IsCaptured(&control);
  ReleaseMouseCapture();

  EnsurePromptControls();
  IPopupMenuControl* popup = GetPopupMenuControl();
  if (popup->IsOpen())
    popup->CloseMenu(-1);

  mInPopupMenu = &control;
  mPopupMenuValIdx = valIdx;
  mIsContextMenu = isContext;
  mPopupEndsGesture = endsGesture;
  popup->OpenMenu(menu, bounds);
}

void ICanvas::SetControlValueAfterPopupMenu(IPopupMenu* menu)
{
  IControl* control = mInPopupMenu;
  if (!control)
    return;
  const int valIdx = mPopupMenuValIdx;
  const bool isContext = mIsContextMenu;
  const bool endsGesture = mPopupEndsGesture;
  // Forgotten first: a control may open another prompt from its selection handler.
  mInPopupMenu = nullptr;
  mPopupMenuValIdx = kNoValIdx;
  mIsContextMenu = false;
  mPopupEndsGesture = false;

  if (isContext)
    control->OnContextSelection(menu ? menu->GetChosenItemIdx() : -1);
  else
    control->OnPopupMenuSelection(menu, valIdx);

  if (endsGesture)
    ForEachLinkedParam(*control, mDelegate, [](umbra::IEditorDelegate& d, int idx) {
      d.EndInformHostOfParamChangeFromUI(idx);
    });
}

void ICanvas::CreateTextEntry(IControl& control, const IText& text, const IRECT& bounds,
                              const char* str, int valIdx)
{
  EnsurePromptControls();
  ITextEntryControl* entry = GetTextEntryControl();
  if (entry->IsEditing())
    return;
  mInTextEntry = &control;
  mTextEntryValIdx = valIdx;
  const int paramIdx =
    valIdx >= 0 && valIdx < control.NVals() ? control.GetParamIdx(valIdx) : kNoParameter;
  entry->CreateTextEntry(paramIdx, text, bounds, control.GetTextEntryLength(), str);
  control.SetDirty(false);
}

void ICanvas::SetControlValueAfterTextEdit(const char* str)
{
  IControl* control = mInTextEntry;
  if (!control)
    return;
  const int valIdx = mTextEntryValIdx;
  mInTextEntry = nullptr;
  mTextEntryValIdx = kNoValIdx;

  if (!str) {
    control->SetDirty(false);
    return;
  }
  if (const IParam* param = control->GetParam(valIdx))
    control->SetValueFromUserInput(NormalizedFromReal(*param, param->StringToValue(str)), valIdx);
  else
    control->OnTextEntryCompletion(str, valIdx);
}

// ---------------------------------------------------------------------------------------------
// Drag-resize

void ICanvas::OnDragResize(float x, float y)
{
  const auto* resizer = GetCornerResizer();
  if (!resizer)
    return;

  if (resizer->GetMode() == EUIResizerMode::kScale) {
    if (mMouseDownX <= 0.f || mMouseDownY <= 0.f)
      return;
    // Logical positions times the scale they were measured at are window positions, so the
    // ratio to the press point is how far the window has grown.
    const float scale = mDrawScale;
    const float newScale =
      std::clamp(std::min(x * scale / mMouseDownX, y * scale / mMouseDownY), mMinScale, mMaxScale);
    if (newScale != scale) {
      Resize(mWidth, mHeight, newScale, true);
      ForAllControlsFunc([](IControl* control) {
        control->OnRescale();
        control->SetDirty(false);
      });
    }
  }
  else {
    Resize(static_cast<int>(x), static_cast<int>(y), mDrawScale, true);
  }
}

void ICanvas::EndDragResize()
{
  mResizingInProcess = false;
  const auto* resizer = GetCornerResizer();
  if (resizer && resizer->GetMode() == EUIResizerMode::kScale)
    ForAllControlsFunc([](IControl* control) {
      control->OnRescale();
      control->SetDirty(false);
    });
  else if (mCornerResizer)
    mCornerResizer->SetDirty(false);
}

} // namespace umbra::ui
