#include "ICanvasFactory.h"

#include <atomic>
#include <utility>

#include "IEditorDelegate.h"
#include "Platforms/ICanvasHeadless.h"
#include "Platforms/ICanvasX11.h"

namespace umbra::ui {

namespace {

// Headless unless a program asks for windows: tests and tools run without a display.
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
                                      float scale, const IEditorIdentity& identity)
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
    case EPlatform::kX11:
      canvas = std::make_unique<ICanvasX11>(width, height, scale, fps);
      break;
  }
  if (!canvas) return nullptr;

  canvas->SetDelegate(delegate);
  canvas->SetBundleID(identity.bundleID);
  canvas->SetAppGroupID(identity.appGroupID);
  canvas->SetSharedResourcesSubPath(identity.sharedResourcesSubPath);
  return canvas;
}

} // namespace umbra::ui
