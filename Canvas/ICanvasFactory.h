#pragma once

// Where editors come from. A plug-in's make-graphics function asks for a canvas of a size, frame
// rate and zoom; which platform provides it is a process-wide choice, so that tests and tools
// get a windowless canvas from the very same make-graphics function that a host would run.

#include <memory>
#include <string>

#include "ICanvas.h"

namespace umbra {
class IEditorDelegate;
}

namespace umbra::ui {

enum class EPlatform {
  // No window: frames are drawn on request into an image (ICanvasHeadless).
  kHeadless,
  // An X11 window on the display DISPLAY names, driven by its owner's pumping (ICanvasX11).
  kX11,
};

// Safe to call from any thread; a canvas already made keeps its platform.
void SetDefaultPlatform(EPlatform platform);
EPlatform DefaultPlatform();

// Who the editor belongs to, for lookups in places it shares with other programs of its maker (see
// ICanvas::GetBundleID and its neighbours). Empty fields are left empty in the canvas.
struct IEditorIdentity {
  std::string bundleID;
  std::string appGroupID;
  // The plug-in's name: the sub-folder holding its resources in such a shared place.
  std::string sharedResourcesSubPath;
};

// A canvas of width × height logical pixels on the default platform, driven at fps frames per
// second and zoomed by scale, serving delegate (which must outlive it).
std::unique_ptr<ICanvas> MakeGraphics(IEditorDelegate& delegate, int width, int height, int fps,
                                      float scale, const IEditorIdentity& identity = {});

} // namespace umbra::ui
