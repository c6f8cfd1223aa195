#pragma once

// The editor's control tree: one fixed design of 1200 x 800 logical pixels, built once per
// opening of the editor into a fresh, empty graphics context. The order of attachment is also
// the drawing order: later controls draw over earlier ones and receive the mouse first.

#include <atomic>
#include <string_view>

#include "ICanvas.h"
#include "UmbravoxEditorHook.h"

namespace umbra {

class IEffectBase;

// The design width every section is laid out for; the corner resizer scales the finished
// layout, so the sections never see the window's current size.
inline constexpr int kEditorDesignWidth = 1200;

// Builds the whole editor for plugin into g; the overlays follow live.
void LayoutUmbravoxEditor(ui::ICanvas& g, IEffectBase& plugin, const UmbravoxLiveValues& live);

// The sections, in the order the layout attaches them. width is the design width; the centre
// sections use cx = width / 2 in integer arithmetic.
void AttachBackground(ui::ICanvas* g, const ui::IRECT& bounds, std::atomic<float>* tempo,
                      std::atomic<float>* inputLevel, std::atomic<float>* outputLevel);
// plugin may be null.
void AttachHeader(ui::ICanvas* g, int width, IEffectBase* plugin);
void AttachInputSection(ui::ICanvas* g);
void AttachOutputSection(ui::ICanvas* g, int width);
void AttachCenterControls(ui::ICanvas* g, int width);
void AttachSeparator(ui::ICanvas* g, int width);
void AttachPitchSection(ui::ICanvas* g, int width);
void AttachPopups(ui::ICanvas* g, const ui::IRECT& bounds);

// Opens a popup of the editor laid out in g as a click on its header icon would: "about" (the
// ghost icon) or "presets" (the preset icon). A popup already shown stays shown. False when
// which names neither or the editor has no such icon.
bool ShowEditorPopup(ui::ICanvas& g, std::string_view which);

} // namespace umbra
