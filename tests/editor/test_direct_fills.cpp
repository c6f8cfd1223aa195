// The back end's direct fills draw the same picture as Cairo's general path: 120 animated frames
// of "Ghost Choir" playing the demo phrase, at scales 1 and 2, each within anti-aliasing noise
// of the reference. The overlays' animation counters are shared by every editor in a process,
// so the reference runs in a forked copy of this process and sends its frames through a pipe.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "DemoInput.h"
#include "EditorSession.h"
#include "ICanvasFactory.h"
#include "Platforms/ICanvasHeadless.h"
#include "Umbravox.h"

using namespace umbra;

namespace {

constexpr double kRate = 48000.0;
constexpr int kWarmUpFrames = 60; // past the first second, where every layer shows something
constexpr int kComparedFrames = 120;

// Plays the demo phrase through a fresh "Ghost Choir" and hands over each frame's pixels.
template <typename OnFrame>
void PlayFrames(float scale, bool reference, OnFrame onFrame)
{
  ui::SetDefaultPlatform(ui::EPlatform::kHeadless);
  cli::EditorPlugOptions options;
  options.preset = "Ghost Choir";
  const std::unique_ptr<Umbravox> plug =
    cli::MakeEditorPlug(options, kRate, cli::HostClock::MaxBlockFor(kRate));
  plug->OpenWindow(nullptr);
  auto* canvas = dynamic_cast<ui::ICanvasHeadless*>(plug->GetUI());
  ASSERT_NE(canvas, nullptr);
  canvas->SetReferenceDrawing(reference);
  plug->SetScreenScale(scale);
  sound::SoundData audio;
  audio.sampleRate = static_cast<int>(kRate);
  audio.channels = demo::SynthesizeDemoInput(kRate);
  cli::HostClock clock(*plug, kRate, &audio, true);
  for (int frame = 0; frame < kWarmUpFrames + kComparedFrames; ++frame) {
    clock.Advance(800);
    canvas->RunFrames(1);
    if (frame >= kWarmUpFrames) {
      cairo_surface_t* surface = canvas->GetSurface();
      cairo_surface_flush(surface);
      const auto* data = cairo_image_surface_get_data(surface);
      onFrame(data, static_cast<size_t>(cairo_image_surface_get_stride(surface)) *
                      static_cast<size_t>(canvas->DeviceHeight()));
    }
  }
  plug->CloseWindow();
}

bool ReadAll(int fd, std::uint8_t* to, size_t size)
{
  while (size > 0) {
    const ssize_t got = read(fd, to, size);
    if (got <= 0)
      return false;
    to += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

void CompareWithReference(float scale)
{
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    PlayFrames(scale, true, [&](const std::uint8_t* data, size_t size) {
      for (size_t done = 0; done < size;) {
        const ssize_t put = write(fds[1], data + done, size - done);
        if (put <= 0)
          _exit(1);
        done += static_cast<size_t>(put);
      }
    });
    _exit(0);
  }
  close(fds[1]);

  std::vector<std::uint8_t> reference;
  int frames = 0;
  double worstPSNR = 1e9, worstOutside = 0.0;
  PlayFrames(scale, false, [&](const std::uint8_t* data, size_t size) {
    reference.resize(size);
    if (!ReadAll(fds[0], reference.data(), size))
      return;
    ++frames;
    size_t pixelsOutside = 0;
    double squares = 0.0;
    for (size_t p = 0; p < size; p += 4) {
      bool outside = false;
      for (size_t c = 0; c < 4; ++c) {
        const int d = std::abs(int(data[p + c]) - int(reference[p + c]));
        squares += double(d) * d;
        outside = outside || d > 3;
      }
      pixelsOutside += outside ? 1 : 0;
    }
    const double mse = squares / double(size);
    const double psnr = mse > 0.0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 99.0;
    const double share = double(pixelsOutside) / double(size / 4);
    worstPSNR = std::min(worstPSNR, psnr);
    worstOutside = std::max(worstOutside, share);
    EXPECT_LE(share, 0.005) << "frame " << frames << " at scale " << scale;
    EXPECT_GE(psnr, 45.0) << "frame " << frames << " at scale " << scale;
  });
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(frames, kComparedFrames);
  std::printf("scale %.0f: worst frame %.2f dB, %.3f %% of pixels beyond 3 levels\n",
              static_cast<double>(scale), worstPSNR, 100.0 * worstOutside);
}

TEST(DirectFills, AnimatedEditorMatchesCairoAtScale1) { CompareWithReference(1.f); }
TEST(DirectFills, AnimatedEditorMatchesCairoAtScale2) { CompareWithReference(2.f); }

} // namespace
