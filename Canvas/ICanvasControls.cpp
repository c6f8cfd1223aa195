// The canvas's control list: attaching, finding by tag or parameter, and the values the plug-in
// sends to its open editor.

#include "ICanvas.h"

#include "Controls/IPanelControl.h"

namespace umbra::ui {

ICanvas::~ICanvas() = default;

namespace {

// The order a control meets its canvas in: delegate and context first, then its own set-up in
// the order OnInit, OnResize, OnRescale, so that a control can size itself from what it loaded.
void Introduce(IControl& control, umbra::IEditorDelegate* delegate, ICanvas& canvas)
{
  if (delegate)
    control.SetDelegate(*delegate);
  control.SetGraphics(&canvas);
  control.OnInit();
  control.OnResize();
  control.OnRescale();
}

} // namespace

IControl* ICanvas::AttachControl(IControl* control, int tag, const char* group)
{
  if (!control)
    return nullptr;
  if (tag >= 0)
    mCtrlTags.try_emplace(tag, control);
  Introduce(*control, mDelegate, *this);
  control->SetGroup(group ? group : "");
  mControls.emplace_back(control);
  control->OnAttached();
  return control;
}

void ICanvas::AttachPanelBackground(const IPattern& pattern)
{
  auto* panel = new IPanelControl(
    IRECT(0.f, 0.f, static_cast<float>(Width()), static_cast<float>(Height())), pattern);
  Introduce(*panel, mDelegate, *this);
  mControls.emplace(mControls.begin(), panel);
}

IControl* ICanvas::GetControlWithTag(int tag) const
{
  const auto it = mCtrlTags.find(tag);
  return it == mCtrlTags.end() ? nullptr : it->second;
}

IControl* ICanvas::GetControlWithParamIdx(int paramIdx) const
{
  for (const auto& control : mControls)
    if (control->LinkedToParam(paramIdx) > kNoValIdx)
      return control.get();
  return nullptr;
}

void ICanvas::ForAllControlsFunc(const std::function<void(IControl*)>& func)
{
  ForStandardControlsFunc(func);
  // The special controls after the list, so that they draw over it; an open prompt last of all.
  if (mCornerResizer)
    func(mCornerResizer.get());
  if (mTextEntryControl)
    func(mTextEntryControl.get());
  if (mPopupMenuControl)
    func(mPopupMenuControl.get());
}

void ICanvas::ForStandardControlsFunc(const std::function<void(IControl*)>& func)
{
  for (const auto& control : mControls)
    func(control.get());
}

void ICanvas::SetAllControlsDirty()
{
  ForAllControlsFunc([](IControl* control) { control->SetDirty(false); });
}

void ICanvas::SetAllControlsClean()
{
  ForAllControlsFunc([](IControl* control) { control->SetClean(); });
}

void ICanvas::UpdatePeers(IControl* caller, int callerValIdx)
{
  const int paramIdx = caller->GetParamIdx(callerValIdx);
  if (paramIdx <= kNoParameter)
    return;
  const double value = caller->GetValue(callerValIdx);
  ForStandardControlsFunc([&](IControl* control) {
    if (control == caller)
      return;
    const int valIdx = control->LinkedToParam(paramIdx);
    if (valIdx > kNoValIdx)
      control->SetValueFromDelegate(value, valIdx);
  });
}

void ICanvas::RemoveAllControls()
{
  ReleaseMouseCapture();
  mMouseOver = nullptr;
  mMouseOverIdx = -1;
  mInTextEntry = nullptr;
  mInPopupMenu = nullptr;
  mResizingInProcess = false;
  mCtrlTags.clear();
  mControls.clear();
  mCornerResizer.reset();
  mPopupMenuControl.reset();
  mTextEntryControl.reset();
}

// ---------------------------------------------------------------------------------------------
// From the plug-in

void ICanvas::SetParamValueFromDelegate(int paramIdx, double normalized)
{
  ForStandardControlsFunc([&](IControl* control) {
    const int valIdx = control->LinkedToParam(paramIdx);
    if (valIdx > kNoValIdx)
      control->SetValueFromDelegate(normalized, valIdx);
  });
}

void ICanvas::SetControlValueFromDelegate(int ctrlTag, double normalized)
{
  if (IControl* control = GetControlWithTag(ctrlTag))
    control->SetValueFromDelegate(normalized, 0);
}

void ICanvas::SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data)
{
  if (IControl* control = GetControlWithTag(ctrlTag))
    control->OnMsgFromDelegate(msgTag, dataSize, data);
}

void* ICanvas::OpenWindow(void*) { return nullptr; }

void ICanvas::CloseWindow() { RemoveAllControls(); }

} // namespace umbra::ui
