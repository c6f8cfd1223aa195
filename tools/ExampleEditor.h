#pragma once

// A small editor that shows what the UI layer draws: a panel, two sliders, a caption, a level
// meter, a text and a bitmap, bound to a real plug-in fed with a test tone. The screenshot command
// renders it without a window; the ui command opens it in one.

#include <functional>
#include <memory>
#include <vector>

namespace umbra {
class Umbravox;
}

namespace umbra::ui {
class ICanvas;
}

namespace umbra::example {

constexpr int kWidth = 1200;
constexpr int kHeight = 800;

constexpr int kFPS = 60;
constexpr double kSampleRate = 48000.0;

// Attaches the example's controls to a freshly made canvas of kWidth x kHeight.
void LayoutExampleEditor(ui::ICanvas& canvas);

// A plug-in running as a host would run it, at kSampleRate in blocks of blockFrames, whose
// editor is the example, made on the process's default platform. onMade sees each new canvas
// before it is laid out (to set its screen scale, say).
std::unique_ptr<Umbravox> MakeExamplePlug(int blockFrames,
                                          std::function<void(ui::ICanvas&)> onMade = {});

// A 220 Hz sine at -6 dBFS on the left and -12 dBFS on the right, continuous across blocks,
// played through the plug-in one block at a time; each block ends with the plug-in's idle call,
// which hands the meter data to the editor.
class TestTone {
public:
  explicit TestTone(int blockFrames);
  void PlayBlock(Umbravox& plug);

private:
  std::vector<float> mLeft, mRight, mOutLeft, mOutRight;
  long long mSample = 0;
};

} // namespace umbra::example
