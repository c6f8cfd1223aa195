#include "ICanvasFactory.h"

#include <atomic>
#include <utility>

#include "IEditorDelegate.h"
#include "Platforms/ICanvasHeadless.h"

namespace umbra::ui {

namespace {

// Only the headless platform exists so far, so it is also what a host gets.
std::atomic<EPlatform> gDefaultPlatform{EPlatform::kHeadless};

} // namespace

void SetDefaultPlatform(EPlatform platform)
{
  gDefaultPlatform.store(platform, std::memory_order_relaxed);
}

EPlatform DefaultPlatform()
{
  return gDefaultPlatform.load(std::memory_order_relaxed);
}

std::unique_ptr<ICanvas> MakeGraphics(IEditorDelegate& delegate, int width, int height, int fps,
                                      float scale, const IPluginIdentity& identity)
{
  std::unique_ptr<ICanvas> canvas;
  switch (DefaultPlatform())
  {
    case EPlatform::kHeadless: {
      auto headless = std::make_unique<ICanvasHeadless>(width, height, scale);
      headless->SetClockFPS(fps);
      canvas = std::move(headless);
      break;
    }
  }
  if (!canvas) return nullptr;

  canvas->SetDelegate(delegate);
  canvas->SetBundleID(identity.bundleID);
  canvas->SetAppGroupID(identity.appGroupID);
  canvas->SetSharedResourcesSubPath(identity.sharedResourcesSubPath);
  return canvas;
}

} // namespace umbra::ui
