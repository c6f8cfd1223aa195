#include "IEffectAPIBase.h"

#include <algorithm>
#include <cmath>

namespace umbra {

IEffectAPIBase::IEffectAPIBase(const Config& config)
  : IEffectBase(config.nParams, config.nPresets, config.pluginName, config.productName,
                config.mfrName, config.vendorVersion, config.uniqueID, config.mfrID,
                config.plugDoesChunks, config.bundleID, config.appGroupID)
  , mHasUI(config.plugHasUI)
  , mHostResize(config.plugHostResize)
  , mParamChangedFromHost(static_cast<size_t>(std::max(config.nParams, 0)))
{
  SetEditorSize(config.plugWidth, config.plugHeight);
  SetSizeConstraints(config.plugMinWidth, config.plugMaxWidth, config.plugMinHeight,
                     config.plugMaxHeight);
  mTimer = std::make_unique<IEffectTimer>([this] { OnTimer(); }, kTimerInterval);
}

IEffectAPIBase::~IEffectAPIBase() = default;

void IEffectAPIBase::OnTimer()
{
  if (mHasUI)
  {
    // The flag goes before the value is read: a change stored after this read sets it again
    // and is shown at the next tick.
    for (size_t i = 0; i < mParamChangedFromHost.size(); ++i)
      if (mParamChangedFromHost[i].exchange(false, std::memory_order_acquire))
      {
        const int paramIdx = static_cast<int>(i);
        SendParameterValueFromDelegate(paramIdx, GetParam(paramIdx)->Value(), false);
      }

    IMidiMsg msg;
    while (mMidiMsgsFromProcessor.Pop(msg))
      SendMidiMsgFromDelegate(msg);

    while (mSysExDataFromProcessor.Pop(mSysExScratch))
      SendSysexMsgFromDelegate(mSysExScratch);
  }
  OnIdle();
}

// ---------------------------------------------------------------------------------------------
// Host to plug-in and editor

void IEffectAPIBase::SendParameterValueFromAPI(int paramIdx, double value, bool normalized)
{
  (void)normalized; // the editor is shown the value stored, in whatever form it came
  if (!IsValidParamIdx(paramIdx) || !std::isfinite(value))
    return;
  // Release: the value stored before this is what the timer reads after clearing the flag.
  mParamChangedFromHost[static_cast<size_t>(paramIdx)].store(true, std::memory_order_release);
}

bool IEffectAPIBase::TransmitMidiMsgFromProcessor(const IMidiMsg& msg)
{
  return mMidiMsgsFromProcessor.Push(msg);
}

bool IEffectAPIBase::TransmitSysExDataFromProcessor(const ISysEx& data)
{
  return mSysExDataFromProcessor.Push(data);
}

// ---------------------------------------------------------------------------------------------
// Editor to plug-in and host

void IEffectAPIBase::SetParameterValue(int paramIdx, double normalizedValue)
{
  GetParam(paramIdx)->StoreNormalized(normalizedValue);
  InformHostOfParamChange(paramIdx, normalizedValue);
  OnParamChange(paramIdx, kUI, -1);
}

void IEffectAPIBase::SendParameterValueFromUI(int paramIdx, double normalizedValue)
{
  if (!IsValidParamIdx(paramIdx) || !std::isfinite(normalizedValue))
    return;
  SetParameterValue(paramIdx, normalizedValue);
  GetParam(paramIdx)->StoreNormalized(normalizedValue);
  if (IEditorHostLink* link = mEditorHostLink.load())
    link->ParamChangedFromEditor(paramIdx, normalizedValue);
  OnParamChangeUI(paramIdx, kUI);
}

void IEffectAPIBase::BeginInformHostOfParamChangeFromUI(int paramIdx)
{
  BeginInformHostOfParamChange(paramIdx);
  if (IEditorHostLink* link = mEditorHostLink.load(); link && IsValidParamIdx(paramIdx))
    link->BeginParamGesture(paramIdx);
}

void IEffectAPIBase::EndInformHostOfParamChangeFromUI(int paramIdx)
{
  EndInformHostOfParamChange(paramIdx);
  if (IEditorHostLink* link = mEditorHostLink.load(); link && IsValidParamIdx(paramIdx))
    link->EndParamGesture(paramIdx);
}

void IEffectAPIBase::DirtyParametersFromUI()
{
  for (int i = 0; i < NParams(); ++i)
    InformHostOfParamChange(i, GetParam(i)->CurrentNormalized());
}

bool IEffectAPIBase::EditorResizeFromUI(int width, int height, bool needsPlatformResize)
{
  if (!needsPlatformResize)
    return true;
  if (IEditorHostLink* link = mEditorHostLink.load())
    return link->ResizeEditor(width, height);
  return EditorResize(width, height);
}

void IEffectAPIBase::OnRestoreState()
{
  IEffectBase::OnRestoreState();
  if (IEditorHostLink* link = mEditorHostLink.load())
    link->StateRestored();
}

void IEffectAPIBase::SendMidiMsgFromUI(const IMidiMsg& msg)
{
  mMidiMsgsFromEditor.Push(msg);
}

void IEffectAPIBase::SendSysexMsgFromUI(const ISysEx& msg)
{
  mSysExDataFromEditor.Push(msg);
}

} // namespace umbra
