#pragma once

// Shared by the header and popup tests: a headless editor holding the header and the popups
// (or the whole layout) over a plug-in, a plug-in with as many presets as a test wants, and
// mouse and key injection routed through the canvas as a platform would route it.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "AboutPopup.h"
#include "Platforms/ICanvasHeadless.h"
#include "PresetNameControl.h"
#include "PresetPopup.h"
#include "TestHelpers.h"
#include "Umbravox.h"
#include "UmbravoxEditorParts.h"
#include "UmbravoxLayout.h"
#include "UmbravoxTheme.h"
#include "UpdateChecker.h"

namespace umbra::test {

// Two parameters and n presets named "Preset 0", "Preset 1", ... (or the names given).
class PresetsPlug : public SmallPlug {
public:
  explicit PresetsPlug(int n) : SmallPlug(SmallConfig(2, n))
  {
    GetParam(0)->InitDouble("Level", 50.0, 0.0, 100.0, 1.0, "%");
    GetParam(1)->InitDouble("Tone", 0.5, 0.0, 1.0, 0.01);
    for (int i = 0; i < n; ++i) {
      const std::string name = "Preset " + std::to_string(i);
      const double values[2] = {static_cast<double>(i), 0.01 * i};
      MakePresetFromValues(name.c_str(), values, 2);
    }
    RestorePreset(0);
  }
};

inline ui::IMouseMod LeftMouse()
{
  ui::IMouseMod mod;
  mod.L = true;
  return mod;
}

// A headless editor of the design size serving plugin.
class PopupEditor {
public:
  explicit PopupEditor(IEffectBase& plugin) : plug(plugin), canvas(1200, 800)
  {
    canvas.SetDelegate(plugin);
    canvas.LoadFont(kFontRoboto, kFontRobotoFile);
    canvas.LoadFont(kFontCinzel, kFontCinzelFile);
    canvas.LoadFont(kFontGipsyCurse, kFontGipsyCurseFile);
  }

  // Only the header and the popups, over a plain panel.
  void AttachHeaderAndPopups(bool withPlugin = true)
  {
    canvas.AttachPanelBackground(ui::IPattern(kEditorPanelColor));
    AttachHeader(&canvas, kEditorDesignWidth, withPlugin ? &plug : nullptr);
    AttachPopups(&canvas, Bounds());
  }

  ui::IRECT Bounds() const { return ui::IRECT(0.f, 0.f, 1200.f, 800.f); }

  // This editor's popups and name display.
  AboutPopup* About() const { return AboutPopupOf(canvas); }
  PresetPopup* Presets() const { return PresetPopupOf(canvas); }
  PresetNameControl* Name() const { return PresetNameCtrlOf(canvas); }

  void Click(float x, float y)
  {
    canvas.OnMouseDown({ui::IMouseInfo{x, y, 0.f, 0.f, LeftMouse()}});
    canvas.OnMouseUp({ui::IMouseInfo{x, y, 0.f, 0.f, LeftMouse()}});
  }
  // A double click as a platform reports it: the first press and release, then the double
  // click with its release.
  void DoubleClick(float x, float y)
  {
    Click(x, y);
    canvas.OnMouseDblClick(x, y, LeftMouse());
    canvas.OnMouseUp({ui::IMouseInfo{x, y, 0.f, 0.f, LeftMouse()}});
  }
  void ClickCentre(const ui::IRECT& r) { Click(r.MW(), r.MH()); }
  bool Press(int vk, float x = 600.f, float y = 400.f)
  {
    ui::IKeyPress key;
    key.VK = vk;
    return canvas.OnKeyDown(x, y, key);
  }
  bool Wheel(float x, float y, float d) { return canvas.OnMouseWheel(x, y, LeftMouse(), d); }

  IEffectBase& plug;
  ui::ICanvasHeadless canvas;
};

// Puts the process's update checker back to idle with no answer stored, after a test set it.
class CheckerReset {
public:
  ~CheckerReset()
  {
    UpdateChecker& checker = UpdateChecker::Get();
    checker.mState.store(UpdateChecker::kUpdateIdle);
    checker.ParseVersionJSON("{\"version\":\"0\",\"url\":\"\",\"changelog\":\"\"}");
  }
};

} // namespace umbra::test
