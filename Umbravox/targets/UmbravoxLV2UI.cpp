// The LV2 editor of Umbra Vox (umbravox_ui.so): the plug-in's own editor embedded in the host's
// window. With instance access it edits the running plug-in, meters and all; without, it builds a
// parameter-only Umbravox of its own whose changes go to the host as port writes and whose
// animated background follows the level and tempo output ports (the meters then stay dark).
#include <cstring>
#include <memory>

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include "ICanvasFactory.h"
#include "IEffectLV2UI.h"
#include "Umbravox.h"
#include "UmbravoxEditorHook.h"
#include "UmbravoxLV2Ports.h"

namespace umbra {

namespace {

// One editor: the model it may own and the link to the host.
struct UmbravoxLV2Editor {
  std::unique_ptr<Umbravox> model;
  Umbravox* plugin = nullptr;
  std::unique_ptr<IEffectLV2UI> ui;

  ~UmbravoxLV2Editor()
  {
    ui.reset();
    if (!model && plugin)
    {
      // The running plug-in outlives this shared object: it must not keep functions whose code
      // goes when the host unloads us.
      plugin->SetMakeGraphicsFunc({});
      plugin->SetLayoutFunc({});
    }
  }
};

IEffectLV2UI::Ports ParameterPorts()
{
  IEffectLV2UI::Ports ports;
  for (uint32_t i = 0; i < lv2::kPortNumParams; ++i)
    ports.params.push_back(lv2::kPortFirstParam + i);
  return ports;
}

// The model's live values follow the plug-in's output ports.
void FollowOutputPort(Umbravox& model, uint32_t port, float value)
{
  switch (port)
  {
    case lv2::kPortInputLevel: model.mInputPeakDb.store(value); break;
    case lv2::kPortOutputLevel: model.mOutputPeakDb.store(value); break;
    case lv2::kPortTempo: model.mTempo.store(value); break;
    default: break;
  }
}

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* pluginURI, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features)
{
  if (!pluginURI || std::strcmp(pluginURI, lv2::kPluginURI) != 0 || !widget)
    return nullptr;
  const LV2UIHostFeatures host = LV2UIHostFeatures::Read(features);
  ui::SetDefaultPlatform(ui::EPlatform::kX11);

  auto editor = std::make_unique<UmbravoxLV2Editor>();
  IEffectLV2UI::ApplyToModelFunc applyToModel;
  IEffectLV2UI::OtherPortFunc otherPort;
  if (host.instance)
  {
    editor->plugin = static_cast<Umbravox*>(static_cast<IEffectLV2*>(host.instance));
    // The running plug-in was built without an editor: this shared object brings it (and runs
    // the process's update check, once, here on the editor's side).
    InstallUmbravoxEditor(*editor->plugin, UmbravoxLiveValues{&editor->plugin->mTempo,
                                                              &editor->plugin->mInputPeakDb,
                                                              &editor->plugin->mOutputPeakDb});
  }
  else
  {
    // The model's constructor installs the editor from this shared object's editor library.
    editor->model.reset(MakePlug());
    editor->plugin = editor->model.get();
    Umbravox* model = editor->plugin;
    applyToModel = [model](uint32_t port, float value) { model->ApplyHostPortValue(port, value); };
    otherPort = [model](uint32_t port, float value) { FollowOutputPort(*model, port, value); };
  }

  editor->ui = std::make_unique<IEffectLV2UI>(*editor->plugin, host, write, controller,
                                              ParameterPorts(), std::move(applyToModel),
                                              std::move(otherPort));
  void* view = editor->ui->Open();
  if (!view)
    return nullptr;
  *widget = view;
  return editor.release();
}

void Cleanup(LV2UI_Handle handle)
{
  delete static_cast<UmbravoxLV2Editor*>(handle);
}

void PortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
  if (format != 0 || size != sizeof(float) || !buffer)
    return;
  float value = 0.f;
  std::memcpy(&value, buffer, sizeof(float));
  static_cast<UmbravoxLV2Editor*>(handle)->ui->PortEvent(port, value);
}

int Idle(LV2UI_Handle handle)
{
  return static_cast<UmbravoxLV2Editor*>(handle)->ui->Idle();
}

int Show(LV2UI_Handle handle)
{
  return static_cast<UmbravoxLV2Editor*>(handle)->ui->Show(true);
}

int Hide(LV2UI_Handle handle)
{
  return static_cast<UmbravoxLV2Editor*>(handle)->ui->Show(false);
}

const void* ExtensionData(const char* uri)
{
  static const LV2UI_Idle_Interface idle{Idle};
  static const LV2UI_Show_Interface show{Show, Hide};
  if (uri && !std::strcmp(uri, LV2_UI__idleInterface))
    return &idle;
  if (uri && !std::strcmp(uri, LV2_UI__showInterface))
    return &show;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor{lv2::kUIURI, Instantiate, Cleanup, PortEvent, ExtensionData};

} // namespace

} // namespace umbra

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
  return index == 0 ? &umbra::kDescriptor : nullptr;
}
