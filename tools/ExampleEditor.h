#pragma once

// A small editor that shows what the UI layer draws: a panel, two sliders, a caption, a level
// meter, a text and a bitmap, bound to a real plug-in. The screenshot command renders it without
// a window; the window issue opens the same editor on screen.

namespace umbra::ui {
class ICanvas;
}

namespace umbra::example {

constexpr int kWidth = 1200;
constexpr int kHeight = 800;

// Attaches the example's controls to a freshly made canvas of kWidth x kHeight.
void LayoutExampleEditor(ui::ICanvas& canvas);

} // namespace umbra::example
