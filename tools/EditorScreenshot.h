#pragma once

// The editor of a fresh instance drawn without a window, frame by frame in step with the audio
// played through it, and saved as a PNG.

#include <functional>
#include <string>

#include "EditorSession.h"
#include "OutputFile.h"

namespace umbra::cli {

struct EditorScreenshotRequest {
  EditorPlugOptions plug; // its audioPath is read by the caller; see Take
  long frames = 90;
  double scale = 1.0;
};

struct EditorScreenshotResult {
  int width = 0;  // device pixels
  int height = 0;
};

// Runs request.frames frames at 60 per second: before each, one frame's worth of audio (the
// sample rate over 60) goes through the plug-in, with its 20 ms timer run every 20 ms of audio;
// each frame then moves the animation clock on by 1/60 s and draws. audio may be null (no audio
// is processed; the timer still runs). Writes the last frame to output. progress, if given,
// hears of every frame drawn (frames done, frames in all).
EditorScreenshotResult TakeEditorScreenshot(const EditorScreenshotRequest& request,
                                            const sound::SoundData* audio, OutputFile& output,
                                            const std::function<void(long, long)>& progress = {});

} // namespace umbra::cli
