#pragma once

// A small LV2 UI host for tests: loads the bundle's shared objects with dlopen, instantiates the
// plug-in and its editor through their descriptors as a host does, and records what the editor
// tells the host (port writes, touches, resizes). Everything stays in this process, so a test can
// also drive the editor's window with xdotool and pump it through the idle interface.

#include <dlfcn.h>

#include <cstdint>
#include <string>
#include <vector>

#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

namespace umbra::test {

struct PortWrite {
  uint32_t port;
  float value;
};

struct Touch {
  uint32_t port;
  bool grabbed;
};

class LV2UITestHost {
public:
  explicit LV2UITestHost(std::string bundle);
  ~LV2UITestHost();

  bool Loaded() const { return mUIDescriptor && mDSPDescriptor; }
  const std::string& Error() const { return mError; }

  // The running plug-in: instantiated at 48 kHz without features, every port connected, the
  // parameter ports holding the host's values, activated.
  bool StartPlugin();
  void Run(uint32_t frames);
  float* ParamPort(uint32_t port) { return &mControls[port]; }
  LV2_Handle PluginHandle() const { return mPlugin; }

  // The editor, with instance access to the running plug-in or without (a model of its own);
  // a scale above 0 is offered as the host's ui:scaleFactor.
  bool OpenEditor(bool instanceAccess, float scaleFactor = 0.f);
  void CloseEditor();
  // Pumps the editor for about ms milliseconds through its idle interface; the last idle result.
  int Idle(int ms);
  void PortEvent(uint32_t port, float value);
  // ui:showInterface's show or hide; its result.
  int Show(bool shown);
  std::uintptr_t EditorWindow() const { return reinterpret_cast<std::uintptr_t>(mWidget); }

  std::vector<PortWrite> writes;
  std::vector<Touch> touches;
  std::vector<std::pair<int, int>> resizes;

  // The last value written to a port, or NaN.
  float LastWrite(uint32_t port) const;

private:
  static void Write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                    const void* buffer);
  static int Resize(LV2UI_Feature_Handle handle, int width, int height);
  static void TouchPort(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed);
  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri);

  std::string mBundle;
  std::string mError;
  void* mDSPLibrary = nullptr;
  void* mUILibrary = nullptr;
  const LV2_Descriptor* mDSPDescriptor = nullptr;
  const LV2UI_Descriptor* mUIDescriptor = nullptr;
  const LV2UI_Idle_Interface* mIdle = nullptr;
  LV2_Handle mPlugin = nullptr;
  LV2UI_Handle mUI = nullptr;
  LV2UI_Widget mWidget = nullptr;
  std::vector<float> mControls;
  std::vector<float> mAudio[4];
  LV2UI_Resize mResize{};
  LV2UI_Touch mTouch{};
  LV2_URID_Map mMap{};
  std::vector<std::string> mURIs;
  float mScaleFactor = 0.f;
};

} // namespace umbra::test
