#include "LV2UITestHost.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include <lv2/atom/atom.h>

#include "UmbravoxLV2Ports.h"

namespace umbra::test {

LV2UITestHost::LV2UITestHost(std::string bundle) : mBundle(std::move(bundle))
{
  const std::string dsp = mBundle + "/" + lv2::kDSPBinary;
  const std::string ui = mBundle + "/" + lv2::kUIBinary;
  mDSPLibrary = dlopen(dsp.c_str(), RTLD_NOW | RTLD_LOCAL);
  mUILibrary = dlopen(ui.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!mDSPLibrary || !mUILibrary)
  {
    mError = dlerror();
    return;
  }
  auto dspEntry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(mDSPLibrary, "lv2_descriptor"));
  auto uiEntry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(mUILibrary, "lv2ui_descriptor"));
  mDSPDescriptor = dspEntry ? dspEntry(0) : nullptr;
  mUIDescriptor = uiEntry ? uiEntry(0) : nullptr;
  if (!mDSPDescriptor || !mUIDescriptor)
    mError = "a descriptor is missing";
  mControls.assign(lv2::kNumPorts, 0.f);
  for (auto& buffer : mAudio)
    buffer.assign(4096, 0.f);
  mResize = {this, Resize};
  mTouch = {this, TouchPort};
  mMap = {this, Map};
}

LV2UITestHost::~LV2UITestHost()
{
  CloseEditor();
  if (mPlugin)
  {
    mDSPDescriptor->deactivate(mPlugin);
    mDSPDescriptor->cleanup(mPlugin);
  }
  // The libraries stay loaded, as many hosts keep them: their process-wide caches (fonts,
  // resources) would otherwise show up as leaks in the sanitizer build.
}

bool LV2UITestHost::StartPlugin()
{
  const LV2_Feature* none[] = {nullptr};
  mPlugin = mDSPDescriptor->instantiate(mDSPDescriptor, 48000.0, mBundle.c_str(), none);
  if (!mPlugin)
    return false;
  // The "Init" values a host reads from the ports' defaults.
  const float init[lv2::kPortNumParams] = {50, 50, 75, 50, 2, 0, 0, 80, 64, 0, 0, 50, 100};
  for (uint32_t p = 0; p < lv2::kPortNumParams; ++p)
    mControls[p] = init[p];
  mControls[lv2::kPortEnabled] = 1.f;
  for (uint32_t p = 0; p < lv2::kNumPorts; ++p)
  {
    if (p >= lv2::kPortAudioInL && p <= lv2::kPortAudioOutR)
      mDSPDescriptor->connect_port(mPlugin, p, mAudio[p - lv2::kPortAudioInL].data());
    else if (p != lv2::kPortTime)
      mDSPDescriptor->connect_port(mPlugin, p, &mControls[p]);
  }
  mDSPDescriptor->activate(mPlugin);
  return true;
}

void LV2UITestHost::Run(uint32_t frames)
{
  for (uint32_t s = 0; s < frames && s < 4096; ++s)
    mAudio[0][s] = mAudio[1][s] = 0.3f * static_cast<float>(std::sin(0.05 * s));
  mDSPDescriptor->run(mPlugin, frames);
}

bool LV2UITestHost::OpenEditor(bool instanceAccess, float scaleFactor)
{
  mScaleFactor = scaleFactor;
  LV2_Feature resize{LV2_UI__resize, &mResize};
  LV2_Feature touch{LV2_UI__touch, &mTouch};
  LV2_Feature idle{LV2_UI__idleInterface, nullptr};
  LV2_Feature instance{LV2_INSTANCE_ACCESS_URI, mPlugin};
  LV2_Feature map{LV2_URID__map, &mMap};
  const LV2_Options_Option options[] = {
    {LV2_OPTIONS_INSTANCE, 0, Map(this, LV2_UI__scaleFactor), sizeof(float), Map(this, LV2_ATOM__Float),
     &mScaleFactor},
    {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
  std::vector<const LV2_Feature*> features{&resize, &touch, &idle, &map};
  if (instanceAccess)
    features.push_back(&instance);
  if (scaleFactor > 0.f)
    features.push_back(&optionsFeature);
  features.push_back(nullptr);
  mUI = mUIDescriptor->instantiate(mUIDescriptor, lv2::kPluginURI, mBundle.c_str(), Write, this,
                                   &mWidget, features.data());
  if (!mUI)
    return false;
  mIdle = static_cast<const LV2UI_Idle_Interface*>(mUIDescriptor->extension_data(LV2_UI__idleInterface));
  return mIdle != nullptr;
}

void LV2UITestHost::CloseEditor()
{
  if (mUI)
    mUIDescriptor->cleanup(mUI);
  mUI = nullptr;
  mWidget = nullptr;
}

int LV2UITestHost::Idle(int ms)
{
  int result = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do
  {
    result = mIdle->idle(mUI);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < end);
  return result;
}

void LV2UITestHost::PortEvent(uint32_t port, float value)
{
  mUIDescriptor->port_event(mUI, port, sizeof(float), 0, &value);
}

int LV2UITestHost::Show(bool shown)
{
  const auto* show =
    static_cast<const LV2UI_Show_Interface*>(mUIDescriptor->extension_data(LV2_UI__showInterface));
  if (!show)
    return -1;
  return shown ? show->show(mUI) : show->hide(mUI);
}

float LV2UITestHost::LastWrite(uint32_t port) const
{
  for (auto it = writes.rbegin(); it != writes.rend(); ++it)
    if (it->port == port)
      return it->value;
  return std::numeric_limits<float>::quiet_NaN();
}

void LV2UITestHost::Write(LV2UI_Controller controller, uint32_t port, uint32_t size,
                          uint32_t protocol, const void* buffer)
{
  auto* host = static_cast<LV2UITestHost*>(controller);
  if (protocol != 0 || size != sizeof(float))
    return;
  float value = 0.f;
  std::memcpy(&value, buffer, sizeof(float));
  host->writes.push_back({port, value});
}

int LV2UITestHost::Resize(LV2UI_Feature_Handle handle, int width, int height)
{
  static_cast<LV2UITestHost*>(handle)->resizes.push_back({width, height});
  return 0;
}

LV2_URID LV2UITestHost::Map(LV2_URID_Map_Handle handle, const char* uri)
{
  auto& uris = static_cast<LV2UITestHost*>(handle)->mURIs;
  for (size_t i = 0; i < uris.size(); ++i)
    if (uris[i] == uri)
      return static_cast<LV2_URID>(i + 1);
  uris.emplace_back(uri);
  return static_cast<LV2_URID>(uris.size());
}

void LV2UITestHost::TouchPort(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed)
{
  static_cast<LV2UITestHost*>(handle)->touches.push_back({port, grabbed});
}

} // namespace umbra::test
