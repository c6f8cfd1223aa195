#include "JackMidiMap.h"

#include "../IByteChunk.h"
#include "../IEffectAPIBase.h"

namespace umbra {

namespace {

constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
// The MIDI convention for switches: a controller at 64 or more is on.
constexpr uint8_t kSwitchOn = 64;

} // namespace

void JackMidiMap::MapController(int cc, int target)
{
  if (cc >= 0 && cc < kControllers)
    mControllers[static_cast<size_t>(cc)] = target;
}

void JackMidiMap::SetHold(int paramIdx, double value)
{
  mHoldParam = paramIdx;
  mHoldValue = value;
}

void JackMidiMap::CapturePresets(const IEffectBase& plug)
{
  mPresetValues.assign(static_cast<size_t>(plug.PresetCount()), {});
  for (int p = 0; p < plug.PresetCount(); ++p)
  {
    const IPreset* preset = plug.GetPreset(p);
    if (!preset || !preset->mInitialized)
      continue;
    std::vector<double>& values = mPresetValues[static_cast<size_t>(p)];
    int pos = 0;
    for (int i = 0; i < plug.NParams() && pos >= 0; ++i)
    {
      double value = 0.0;
      pos = preset->mChunk.Get(&value, pos);
      if (pos >= 0)
        values.push_back(value);
    }
  }
}

void JackMidiMap::Store(IEffectAPIBase& plug, int paramIdx, double value)
{
  plug.GetParam(paramIdx)->StoreValue(value);
  // Shown by the editor at its next tick, as a host's automation is.
  plug.SendParameterValueFromAPI(paramIdx, value, false);
}

void JackMidiMap::Apply(IEffectAPIBase& plug, const IMidiMsg& msg)
{
  const uint8_t kind = msg.mStatus & 0xF0;
  if (kind == kProgramChange)
  {
    const size_t preset = msg.mData1;
    if (preset >= mPresetValues.size() || mPresetValues[preset].empty())
      return;
    const std::vector<double>& values = mPresetValues[preset];
    for (int i = 0; i < plug.NParams() && i < static_cast<int>(values.size()); ++i)
      Store(plug, i, values[static_cast<size_t>(i)]);
    // A held parameter stays held; the preset's value is what the release gives back.
    if (mHolding && mHoldParam >= 0 && mHoldParam < static_cast<int>(values.size()))
    {
      mValueBeforeHold = values[static_cast<size_t>(mHoldParam)];
      Store(plug, mHoldParam, mHoldValue);
    }
    mRecalledPreset.store(static_cast<int>(preset));
    return;
  }
  if (kind != kControlChange || msg.mData1 >= kControllers)
    return;
  const int target = mControllers[msg.mData1];
  if (target == kHold)
  {
    if (mHoldParam < 0 || mHoldParam >= plug.NParams())
      return;
    const bool pressed = msg.mData2 >= kSwitchOn;
    if (pressed && !mHolding)
    {
      mValueBeforeHold = plug.GetParam(mHoldParam)->Value();
      Store(plug, mHoldParam, mHoldValue);
    }
    else if (!pressed && mHolding)
      Store(plug, mHoldParam, mValueBeforeHold);
    mHolding = pressed;
  }
  else if (target >= 0 && target < plug.NParams())
  {
    IParam& param = *plug.GetParam(target);
    param.StoreNormalized(static_cast<double>(msg.mData2 & 0x7F) / 127.0);
    plug.SendParameterValueFromAPI(target, param.Value(), false);
  }
}

} // namespace umbra
