#include "IEffectLV2UI.h"

#include <cmath>
#include <limits>
#include <utility>

#include "Platforms/ICanvasX11.h"

namespace umbra {

namespace {

constexpr float kUnknown = std::numeric_limits<float>::quiet_NaN();
constexpr uint32_t kFloatProtocol = 0;

} // namespace

IEffectLV2UI::IEffectLV2UI(IEffectAPIBase& plugin, const LV2UIHostFeatures& host,
                           LV2UI_Write_Function write, LV2UI_Controller controller, Ports ports,
                           ApplyToModelFunc applyToModel, OtherPortFunc otherPort)
  : mPlugin(plugin), mHost(host), mWrite(write), mController(controller), mPorts(std::move(ports)),
    mApplyToModel(std::move(applyToModel)), mOtherPort(std::move(otherPort)),
    mPortValues(mPorts.params.size(), kUnknown), mPluginValues(mPorts.params.size(), kUnknown)
{
  for (size_t i = 0; i < mPorts.params.size() && static_cast<int>(i) < mPlugin.NParams(); ++i)
    mPluginValues[i] = static_cast<float>(mPlugin.GetParam(static_cast<int>(i))->Value());
  mPlugin.SetEditorHostLink(this);
}

IEffectLV2UI::~IEffectLV2UI()
{
  mPlugin.SetEditorHostLink(nullptr);
  if (mOpen)
    mPlugin.CloseWindow();
}

void* IEffectLV2UI::Open()
{
  if (mHost.scaleFactor > 0.f)
  {
    // Made at the host's density, before the layout loads its bitmaps and opens the window.
    const float scale = mHost.scaleFactor;
    auto make = mPlugin.GetMakeGraphicsFunc();
    if (make)
      mPlugin.SetMakeGraphicsFunc([make, scale]() {
        auto graphics = make();
        if (graphics)
          graphics->SetScreenScale(scale);
        return graphics;
      });
  }
  void* view = mPlugin.OpenWindow(mHost.parent);
  auto* window = dynamic_cast<ui::ICanvasX11*>(mPlugin.GetUI());
  if (!view || !window)
  {
    mPlugin.CloseWindow();
    return nullptr;
  }
  mOpen = true;
  // The host's idle calls drive the window; the plug-in's timer rides on them.
  IEffectAPIBase& plugin = mPlugin;
  window->SetTimerFunc([&plugin] { plugin.OnTimer(); });
  if (mHost.resize)
    mHost.resize->ui_resize(mHost.resize->handle, window->DeviceWidth(), window->DeviceHeight());
  return view;
}

int IEffectLV2UI::ParamOfPort(uint32_t port) const
{
  for (size_t i = 0; i < mPorts.params.size(); ++i)
    if (mPorts.params[i] == port)
      return static_cast<int>(i);
  return -1;
}

void IEffectLV2UI::PortEvent(uint32_t port, float value)
{
  const int paramIdx = ParamOfPort(port);
  if (paramIdx < 0)
  {
    if (mOtherPort)
      mOtherPort(port, value);
    return;
  }
  if (!std::isfinite(value))
    return;
  const size_t i = static_cast<size_t>(paramIdx);
  mPortValues[i] = value;
  if (mApplyToModel)
  {
    mApplyToModel(port, value);
    // The model took the host's value (within its range and steps): not an inside change.
    mPluginValues[i] = static_cast<float>(mPlugin.GetParam(paramIdx)->Value());
  }
}

int IEffectLV2UI::Idle()
{
  WriteBackInsideChanges();
  auto* window = dynamic_cast<ui::ICanvasX11*>(mPlugin.GetUI());
  if (!window || !window->IsOpen())
    return 1;
  window->Pump();
  WriteBackInsideChanges();
  return window->IsClosed() ? 1 : 0;
}

int IEffectLV2UI::Show(bool shown)
{
  auto* window = dynamic_cast<ui::ICanvasX11*>(mPlugin.GetUI());
  if (!window || !window->IsOpen())
    return 1;
  window->SetShown(shown);
  return 0;
}

void IEffectLV2UI::WriteBackInsideChanges()
{
  const bool all = mWriteAll.exchange(false);
  for (size_t i = 0; i < mPorts.params.size() && static_cast<int>(i) < mPlugin.NParams(); ++i)
  {
    const float value = static_cast<float>(mPlugin.GetParam(static_cast<int>(i))->Value());
    // A value that moved since last time, and is not what the port already holds, was changed
    // inside the plug-in. One that moved to the port's value was the host's own change arriving.
    const bool moved = !(value == mPluginValues[i]);
    mPluginValues[i] = value;
    if (all || (moved && !(value == mPortValues[i])))
      WritePort(static_cast<int>(i), value);
  }
}

void IEffectLV2UI::WritePort(int paramIdx, float value)
{
  const size_t i = static_cast<size_t>(paramIdx);
  mPortValues[i] = value;
  mPluginValues[i] = value;
  if (mWrite)
    mWrite(mController, mPorts.params[i], sizeof(float), kFloatProtocol, &value);
}

void IEffectLV2UI::BeginParamGesture(int paramIdx)
{
  if (mHost.touch && paramIdx >= 0 && paramIdx < static_cast<int>(mPorts.params.size()))
    mHost.touch->touch(mHost.touch->handle, mPorts.params[static_cast<size_t>(paramIdx)], true);
}

void IEffectLV2UI::ParamChangedFromEditor(int paramIdx, double normalized)
{
  (void)normalized; // the plug-in has stored it; the port takes the value in its own units
  if (paramIdx < 0 || paramIdx >= static_cast<int>(mPorts.params.size()))
    return;
  WritePort(paramIdx, static_cast<float>(mPlugin.GetParam(paramIdx)->Value()));
}

void IEffectLV2UI::EndParamGesture(int paramIdx)
{
  if (mHost.touch && paramIdx >= 0 && paramIdx < static_cast<int>(mPorts.params.size()))
    mHost.touch->touch(mHost.touch->handle, mPorts.params[static_cast<size_t>(paramIdx)], false);
}

bool IEffectLV2UI::ResizeEditor(int width, int height)
{
  if (!mHost.resize)
    return false;
  return mHost.resize->ui_resize(mHost.resize->handle, width, height) == 0;
}

void IEffectLV2UI::StateRestored()
{
  mWriteAll.store(true);
}

} // namespace umbra
