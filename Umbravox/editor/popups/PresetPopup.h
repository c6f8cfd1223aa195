#pragma once

#include <array>

#include "IControl.h"

namespace umbra {

class IEffectBase;
class PresetNameControl;

// The modal preset browser: a glowing panel over the whole editor listing the plug-in's presets
// (12 rows at most, scrolled with the wheel). A click on a row recalls that preset at once; a
// double click or "Select" recalls and closes; "Load" and "Save" read and write FXP program
// files through the file chooser. A click outside the panel or Escape closes it. It reaches the
// presets through its delegate when that is the plug-in; otherwise the list is empty.
class PresetPopup : public ui::IControl {
public:
  static constexpr int kMaxRows = 12;
  static constexpr float kRowHeight = 32.f;
  // Hover values besides the rows 0..11.
  static constexpr int kHoverNone = -1;
  static constexpr int kHoverLoad = 100;
  static constexpr int kHoverSave = 101;
  static constexpr int kHoverSelect = 102;

  PresetPopup(const ui::IRECT& bounds, const ui::IColor& panelColor, const ui::IColor& textColor,
              const ui::IColor& accentColor);

  void OnMouseDown(float x, float y, const ui::IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const ui::IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const ui::IMouseMod& mod, float d) override;
  bool OnKeyDown(float x, float y, const ui::IKeyPress& key) override;
  void OnMouseOver(float x, float y, const ui::IMouseMod& mod) override;
  void Draw(ui::ICanvas& g) override;

  bool IsOpen() const { return mOpen; }
  // Opens on the plug-in's current preset, scrolled so that it is in view; takes every click on
  // the editor while open.
  void Open();
  void Close();

  int SelectedPreset() const { return mSelectedPreset; }
  int FirstVisibleRow() const { return mFirstVisibleRow; }
  int Hover() const { return mHover; }
  // The rows shown: min(presets, 12).
  int NumRows() const;
  // As laid out for the last drawing (or the opening).
  const ui::IRECT& PanelRect() const { return mPanelRect; }
  const ui::IRECT& ListRect() const { return mListRect; }
  const ui::IRECT& RowRect(int row) const { return mRowRects[static_cast<size_t>(row)]; }
  int RowPreset(int row) const { return mRowPresets[static_cast<size_t>(row)]; }
  const ui::IRECT& LoadButtonRect() const { return mLoadRect; }
  const ui::IRECT& SaveButtonRect() const { return mSaveRect; }
  const ui::IRECT& SelectButtonRect() const { return mSelectRect; }
  float Phase() const { return mPhase; }

private:
  // The plug-in behind the delegate, or none.
  IEffectBase* Plugin() const;
  // This editor's preset name display, or none.
  PresetNameControl* PresetName() const;
  int NumPresets() const;
  // Panel, list, rows and buttons for the current preset count and scroll position.
  void Layout();
  // The first row containing the point, else -1.
  int RowAt(float x, float y) const;
  // The name display after a recall: the current preset's name, or "Default".
  void ShowCurrentPresetName();
  void LoadFromFile();
  void SaveToFile();
  void DrawButton(ui::ICanvas& g, const ui::IRECT& r, const char* label, bool hovered);

  ui::IColor mPanelColor;
  ui::IColor mTextColor;
  ui::IColor mAccentColor;
  bool mOpen = false;
  float mPhase = 0.f;
  int mSelectedPreset = 0;
  int mHover = kHoverNone;
  int mFirstVisibleRow = 0;
  ui::IRECT mPanelRect;
  ui::IRECT mListRect;
  std::array<ui::IRECT, kMaxRows> mRowRects{};
  std::array<int, kMaxRows> mRowPresets{};
  ui::IRECT mLoadRect;
  ui::IRECT mSaveRect;
  ui::IRECT mSelectRect;
};

} // namespace umbra
