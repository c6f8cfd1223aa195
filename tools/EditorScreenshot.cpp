#include "EditorScreenshot.h"

#include <cmath>
#include <memory>

#include "CliSupport.h"
#include "ICanvasFactory.h"
#include "Platforms/ICanvasHeadless.h"
#include "Umbravox.h"
#include "UmbravoxResources.h"

namespace umbra::cli {

namespace {

constexpr int kFramesPerSecond = 60;

// The sample on which frame n begins: frames share the audio out evenly, with no drift.
int64_t FrameStart(long n, double sampleRate)
{
  return static_cast<int64_t>(std::floor(static_cast<double>(n) * sampleRate / kFramesPerSecond));
}

} // namespace

EditorScreenshotResult TakeEditorScreenshot(const EditorScreenshotRequest& request,
                                            const sound::SoundData* audio, OutputFile& output,
                                            const std::function<void(long, long)>& progress)
{
  ui::SetDefaultPlatform(ui::EPlatform::kHeadless);
  if (const std::string missing = MissingEditorResources(); !missing.empty())
    throw UsageError(missing);
  const double sampleRate = audio ? audio->sampleRate : kEditorDefaultSampleRate;
  const std::unique_ptr<Umbravox> plug =
    MakeEditorPlug(request.plug, sampleRate, HostClock::MaxBlockFor(sampleRate));

  plug->OpenWindow(nullptr);
  auto* canvas = dynamic_cast<ui::ICanvasHeadless*>(plug->GetUI());
  if (!canvas)
    throw UsageError("no windowless editor could be made");
  plug->SetScreenScale(static_cast<float>(request.scale));
  ShowRequestedPopup(request.plug, *plug);

  HostClock clock(*plug, sampleRate, audio, false);
  for (long frame = 0; frame < request.frames; ++frame)
  {
    clock.Advance(FrameStart(frame + 1, sampleRate) - FrameStart(frame, sampleRate));
    canvas->RunFrames(1);
    if (progress)
      progress(frame + 1, request.frames);
  }

  output.WriteByName([&](const std::string& path) { return canvas->SavePNG(path); });
  const EditorScreenshotResult result{canvas->DeviceWidth(), canvas->DeviceHeight()};
  plug->CloseWindow();
  return result;
}

} // namespace umbra::cli
