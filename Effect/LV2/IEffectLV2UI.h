#pragma once

// The editor of an LV2 plug-in in its own shared object, embedded in the host's X11 window.
// It edits either the running plug-in (when the host grants instance access) or a parameter-only
// model of it, and keeps the host's control ports in step with what the plug-in holds:
// - the editor's own changes are written to the ports at once, bracketed by the host's touch
//   notifications where it offers them;
// - any other change made inside the plug-in (a preset or preset file recalled) is written back
//   on the next idle call, all parameters after a recall (a state the host restores is not: the
//   host restores its ports with it, and the plug-in follows them);
// - the host's port values reach a model as host changes; the running plug-in takes them in its
//   own run().
// Everything here runs on the host's UI thread, driven by ui:idleInterface.

#include <cstdint>
#include <functional>
#include <vector>

#include <lv2/ui/ui.h>

#include "IEditorHostLink.h"
#include "IEffectAPIBase.h"
#include "IEffectLV2UIFeatures.h"

namespace umbra {

class IEffectLV2UI : public IEditorHostLink {
public:
  struct Ports {
    // The control input port of each parameter, in parameter order.
    std::vector<uint32_t> params;
  };
  // For a parameter-only model: applies a parameter port's value from the host to the model as
  // a host change. Empty when the editor edits the running plug-in, which reads its ports itself.
  using ApplyToModelFunc = std::function<void(uint32_t port, float value)>;
  // Any port that is not a parameter's (levels, tempo...).
  using OtherPortFunc = std::function<void(uint32_t port, float value)>;

  IEffectLV2UI(IEffectAPIBase& plugin, const LV2UIHostFeatures& host, LV2UI_Write_Function write,
               LV2UI_Controller controller, Ports ports, ApplyToModelFunc applyToModel,
               OtherPortFunc otherPort);
  ~IEffectLV2UI() override;
  IEffectLV2UI(const IEffectLV2UI&) = delete;
  IEffectLV2UI& operator=(const IEffectLV2UI&) = delete;

  // Opens the editor in the host's parent window (or a window of its own without one) and tells
  // the host its size. The X11 window id, or null when no editor could be opened.
  void* Open();

  // port_event with the float protocol.
  void PortEvent(uint32_t port, float value);

  // ui:idleInterface: the window's events, the plug-in's 20 ms timer, a frame when due, and the
  // write-back of inside changes. Non-zero once the editor cannot go on (its window is gone).
  int Idle();
  // ui:showInterface: the host shows or hides the editor. Hidden, it draws nothing; the idle
  // calls still run the timer and the write-back. Non-zero when there is no window to show.
  int Show(bool shown);

  // IEditorHostLink
  void BeginParamGesture(int paramIdx) override;
  void ParamChangedFromEditor(int paramIdx, double normalized) override;
  void EndParamGesture(int paramIdx) override;
  bool ResizeEditor(int width, int height) override;
  void StateRestored() override;

  IEffectAPIBase& Plugin() { return mPlugin; }
  bool IsModel() const { return static_cast<bool>(mApplyToModel); }

private:
  void WritePort(int paramIdx, float value);
  void WriteBackInsideChanges();
  int ParamOfPort(uint32_t port) const;

  IEffectAPIBase& mPlugin;
  LV2UIHostFeatures mHost;
  LV2UI_Write_Function mWrite;
  LV2UI_Controller mController;
  Ports mPorts;
  ApplyToModelFunc mApplyToModel;
  OtherPortFunc mOtherPort;
  // Per parameter: what the host's port holds as far as this editor knows (NaN: not heard yet),
  // and the plug-in's value when last looked at, to tell its own changes from the host's.
  std::vector<float> mPortValues;
  std::vector<float> mPluginValues;
  std::atomic<bool> mWriteAll{false};
  bool mOpen = false;
};

} // namespace umbra
