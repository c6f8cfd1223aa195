// Builds with an editor: every instance makes its editor on the process's default platform
// and lays it out with the Umbra Vox design. Audio-only builds never reach this file, so they
// never check for updates either.
#include <cstdio>
#include <mutex>

#include "ICanvasFactory.h"
#include "IEffectBase.h"
#include "UmbravoxEditorHook.h"
#include "UmbravoxLayout.h"
#include "UmbravoxResources.h"
#include "UpdateChecker.h"

namespace umbra {

namespace {

constexpr int kEditorWidth = 1200;
constexpr int kEditorHeight = 800;
constexpr int kEditorFPS = 60;

} // namespace

void InstallUmbravoxEditor(IEffectBase& plugin, const UmbravoxLiveValues& live)
{
  // The first instance of the process asks whether a newer version is out, for the About popup
  // and the ghost icon's badge (UMBRAVOX_NO_UPDATE_CHECK=1 turns this off).
  RunStartupUpdateCheck();

  plugin.SetMakeGraphicsFunc([&plugin]() -> std::unique_ptr<IEditorContext> {
    // No editor rather than a blank one; a host that asks again hears it once.
    if (const std::string missing = MissingEditorResources(); !missing.empty())
    {
      static std::once_flag told;
      std::call_once(told, [&] { std::fprintf(stderr, "Umbra Vox: %s\n", missing.c_str()); });
      return nullptr;
    }
    // Resources missing from the installed folders are looked up in the maker's shared place,
    // under the plug-in's name.
    const ui::IEditorIdentity identity{plugin.GetBundleID(), plugin.GetAppGroupID(),
                                       plugin.GetPluginName()};
    return ui::MakeGraphics(plugin, kEditorWidth, kEditorHeight, kEditorFPS, 1.f, identity);
  });
  // A make-graphics function installed later may make another kind of editor; this layout
  // only builds into a canvas.
  plugin.SetLayoutFunc([&plugin, live](IEditorContext* context) {
    if (auto* canvas = dynamic_cast<ui::ICanvas*>(context))
      LayoutUmbravoxEditor(*canvas, plugin, live);
  });
}

} // namespace umbra
