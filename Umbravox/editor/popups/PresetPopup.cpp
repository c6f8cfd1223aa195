#include "PresetPopup.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "ICanvas.h"
#include "IEffectBase.h"
#include "Platforms/PromptForFile.h"
#include "PresetNameControl.h"
#include "UmbravoxEditorParts.h"
#include "UmbravoxTheme.h"

namespace umbra {

using namespace ui;

namespace {

constexpr int kEscape = 27;
constexpr const char* kPresetFileExtension = "fxp";

IColor WithAlpha(const IColor& c, int alpha)
{
  return IColor(alpha, c.R, c.G, c.B);
}

IText Style(float size, const IColor& color, EHorizontalAlign align = kAlignCenter)
{
  return IText(size, color, kFontRoboto, align, kVAlignMiddle);
}

// The chooser's answer as one path; empty when it was cancelled.
std::string AskForPresetFile(EFileAction action)
{
  std::string fileName, directory;
  if (!PromptForFile(fileName, directory, action, kPresetFileExtension))
    return {};
  if (directory.empty())
    return fileName;
  return directory.back() == '/' ? directory + fileName : directory + "/" + fileName;
}

} // namespace

PresetPopup::PresetPopup(const IRECT& bounds, const IColor& panelColor, const IColor& textColor,
                         const IColor& accentColor)
  : IControl(bounds, ui::kNoParameter), mPanelColor(panelColor), mTextColor(textColor),
    mAccentColor(accentColor)
{
  mTargetRECT = IRECT();
  mIgnoreMouse = false;
  mRowPresets.fill(0);
}

IEffectBase* PresetPopup::Plugin() const
{
  return dynamic_cast<IEffectBase*>(GetDelegate());
}

PresetNameControl* PresetPopup::PresetName() const
{
  return GetUI() ? PresetNameCtrlOf(*GetUI()) : nullptr;
}

int PresetPopup::NumPresets() const
{
  const IEffectBase* plugin = Plugin();
  return plugin ? plugin->PresetCount() : 0;
}

int PresetPopup::NumRows() const
{
  return std::min(NumPresets(), kMaxRows);
}

void PresetPopup::Open()
{
  mOpen = true;
  if (const IEffectBase* plugin = Plugin())
    mSelectedPreset = plugin->CurrentPresetIndex();
  // The selected preset becomes the last visible row when it lies beyond the first twelve.
  mFirstVisibleRow = mSelectedPreset >= kMaxRows ? mSelectedPreset - (kMaxRows - 1) : 0;
  mTargetRECT = mRECT;
  mMouseIsOver = false;
  // Laid out at once, so that a click arriving before the first drawing hits what will be drawn.
  Layout();
  SetDirty(true);
}

void PresetPopup::Close()
{
  mOpen = false;
  mTargetRECT = IRECT();
  mMouseIsOver = false;
  SetDirty(true);
}

void PresetPopup::Layout()
{
  const int n = NumPresets();
  const int rows = std::min(n, kMaxRows);
  const float h = static_cast<float>(rows) * kRowHeight + 10.f;
  const float cx = mRECT.MW(), cy = mRECT.MH();
  const float panelH = h + 175.f;

  mPanelRect = IRECT(cx - 210.f, cy - panelH / 2.f, cx + 210.f, cy + panelH / 2.f);
  const IRECT& P = mPanelRect;
  mListRect = IRECT(P.L + 20.f, P.T + 65.f, P.R - 20.f, P.T + 65.f + h);

  const int maxFirst = std::max(n, kMaxRows) - kMaxRows;
  mFirstVisibleRow = std::clamp(mFirstVisibleRow, 0, maxFirst);
  for (int i = 0; i < kMaxRows; ++i) {
    const size_t k = static_cast<size_t>(i);
    if (i < rows) {
      const float top = mListRect.T + 5.f + kRowHeight * static_cast<float>(i);
      mRowRects[k] = IRECT(mListRect.L + 5.f, top, mListRect.R - 5.f, top + kRowHeight);
      mRowPresets[k] = mFirstVisibleRow + i;
    }
    else {
      mRowRects[k] = IRECT();
      mRowPresets[k] = 0;
    }
  }

  const float mx = (P.L + P.R) / 2.f;
  const float by = mListRect.B + 20.f;
  mLoadRect = IRECT(mx - 165.f, by, mx - 65.f, by + 32.f);
  mSaveRect = IRECT(mx - 50.f, by, mx + 50.f, by + 32.f);
  mSelectRect = IRECT(mx + 65.f, by, mx + 165.f, by + 32.f);
}

int PresetPopup::RowAt(float x, float y) const
{
  const int rows = NumRows();
  for (int i = 0; i < rows; ++i)
    if (mRowRects[static_cast<size_t>(i)].Contains(x, y))
      return i;
  return -1;
}

void PresetPopup::ShowCurrentPresetName()
{
  const IEffectBase* plugin = Plugin();
  if (PresetNameControl* name = PresetName(); name && plugin)
    name->SetStr(PresetNameControl::DisplayNameOf(*plugin));
}

void PresetPopup::LoadFromFile()
{
  const std::string path = AskForPresetFile(EFileAction::kOpen);
  IEffectBase* plugin = Plugin();
  if (path.empty() || !plugin)
    return;
  // A refused file changes nothing in the store; the display still follows the current preset.
  plugin->LoadPresetFromFXP(path.c_str());
  mSelectedPreset = plugin->CurrentPresetIndex();
  ShowCurrentPresetName();
}

void PresetPopup::SaveToFile()
{
  const std::string path = AskForPresetFile(EFileAction::kSave);
  if (const IEffectBase* plugin = Plugin(); !path.empty() && plugin)
    plugin->SavePresetAsFXP(path.c_str());
}

void PresetPopup::OnMouseDown(float x, float y, const IMouseMod&)
{
  if (!mOpen)
    return;
  if (!mPanelRect.Contains(x, y)) {
    Close();
    return;
  }
  if (const int row = RowAt(x, y); row >= 0) {
    mSelectedPreset = mRowPresets[static_cast<size_t>(row)];
    if (IEffectBase* plugin = Plugin())
      plugin->RestorePreset(mSelectedPreset);
    ShowCurrentPresetName();
    SetDirty(true);
    return;
  }
  if (mLoadRect.Contains(x, y)) {
    LoadFromFile();
    SetDirty(true);
    return;
  }
  if (mSaveRect.Contains(x, y)) {
    SaveToFile();
    return;
  }
  if (mSelectRect.Contains(x, y)) {
    IEffectBase* plugin = Plugin();
    if (plugin)
      plugin->RestorePreset(mSelectedPreset);
    if (PresetNameControl* name = PresetName())
      name->UpdatePresetName(plugin);
    Close();
  }
}

void PresetPopup::OnMouseDblClick(float x, float y, const IMouseMod&)
{
  IEffectBase* plugin = Plugin();
  if (!mOpen || !plugin)
    return;
  const int row = RowAt(x, y);
  if (row < 0)
    return;
  plugin->RestorePreset(mRowPresets[static_cast<size_t>(row)]);
  ShowCurrentPresetName();
  Close();
}

void PresetPopup::OnMouseWheel(float x, float y, const IMouseMod&, float d)
{
  if (!mOpen || !mListRect.Contains(x, y))
    return;
  const int n = NumPresets();
  const int maxFirst = n >= kMaxRows + 1 ? n - kMaxRows : 0;
  // Bounded before the conversion, so that no wheel delta can overflow it.
  const float steps = std::trunc(std::clamp(2.f * d, -1e6f, 1e6f));
  const int first = mFirstVisibleRow - (std::isfinite(steps) ? static_cast<int>(steps) : 0);
  mFirstVisibleRow = first < 0 ? 0 : std::min(first, maxFirst);
  SetDirty(true);
}

bool PresetPopup::OnKeyDown(float, float, const IKeyPress& key)
{
  if (key.VK != kEscape || !mOpen)
    return false;
  Close();
  return true;
}

void PresetPopup::OnMouseOver(float x, float y, const IMouseMod&)
{
  if (!mOpen)
    return;
  mHover = kHoverNone;
  if (!Plugin())
    return;
  if (const int row = RowAt(x, y); row >= 0)
    mHover = row;
  else if (mLoadRect.Contains(x, y))
    mHover = kHoverLoad;
  else if (mSaveRect.Contains(x, y))
    mHover = kHoverSave;
  else if (mSelectRect.Contains(x, y))
    mHover = kHoverSelect;
}

void PresetPopup::DrawButton(ICanvas& g, const IRECT& r, const char* label, bool hovered)
{
  float glow = std::sin(3.f * mPhase) * 0.2f + 0.5f;
  if (hovered)
    glow += 0.3f;
  g.FillRoundRect(WithAlpha(mAccentColor, OpacityToAlpha(glow * 0.3f)), r.GetPadded(3.f), 8.f);
  g.FillRoundRect(IColor(220, 35, 30, 45), r, 6.f);
  g.DrawRoundRect(WithAlpha(mAccentColor, hovered ? 229 : 153), r, 6.f, nullptr, 1.5f);
  g.DrawText(Style(13.f, mTextColor), label, r);
}

void PresetPopup::Draw(ICanvas& g)
{
  if (!mOpen)
    return;

  Layout();
  mPhase += 0.03f;
  if (mPhase > kPhaseTurn)
    mPhase -= kPhaseTurn;

  const IRECT& P = mPanelRect;
  g.FillRect(IColor(180, 0, 0, 0), mRECT);

  const float pulse = std::sin(2.f * mPhase) * 0.1f + 0.4f;
  g.FillRoundRect(WithAlpha(mAccentColor, OpacityToAlpha(pulse * 0.3f)), P.GetPadded(15.f), 12.f);
  g.FillRoundRect(WithAlpha(mAccentColor, OpacityToAlpha(pulse * 0.15f)), P.GetPadded(25.f), 15.f);

  g.FillRoundRect(mPanelColor, P, 10.f);
  g.DrawRoundRect(WithAlpha(mAccentColor, 153), P, 10.f, nullptr, 2.f);

  const float flicker =
    (std::sin(13.3f * mPhase) * 0.1f + std::sin(5.7f * mPhase) * 0.2f + 0.3f) * 0.3f;
  g.DrawRoundRect(WithAlpha(mTextColor, OpacityToAlpha(flicker)), P.GetPadded(-4.f), 8.f, nullptr,
                  1.f);

  g.DrawText(IText(28.f, mTextColor, kFontGipsyCurse, kAlignCenter, kVAlignMiddle), "Presets",
             IRECT(P.L, P.T + 12.f, P.R, P.T + 57.f));
  g.DrawLine(WithAlpha(mAccentColor, 127), P.L + 20.f, P.T + 55.f, P.R - 20.f, P.T + 55.f, nullptr,
             1.f);

  g.FillRoundRect(IColor(150, 10, 8, 15), mListRect, 6.f);
  g.DrawRoundRect(WithAlpha(mAccentColor, 76), mListRect, 6.f, nullptr, 1.f);

  const IEffectBase* plugin = Plugin();
  const int n = NumPresets();
  const int rows = NumRows();
  const IText rowText = Style(14.f, mTextColor, kAlignNear);
  const IText selectedText = Style(14.f, mAccentColor, kAlignNear);
  for (int i = 0; i < rows && plugin; ++i) {
    const IRECT& row = mRowRects[static_cast<size_t>(i)];
    const int p = mRowPresets[static_cast<size_t>(i)];
    const bool selected = p == mSelectedPreset;
    if (selected)
      g.FillRoundRect(WithAlpha(mAccentColor, 76), row, 4.f);
    else if (i == mHover)
      g.FillRoundRect(WithAlpha(mAccentColor, 38), row, 4.f);
    g.DrawText(selected ? selectedText : rowText, plugin->GetPresetName(p),
               row.GetPadded(-10.f, 0.f, -10.f, 0.f));
  }

  if (n > kMaxRows) {
    const int maxFirst = n - kMaxRows;
    const IText hint = Style(10.f, WithAlpha(mAccentColor, 153));
    if (mFirstVisibleRow > 0)
      g.DrawText(hint, "\xE2\x96\xB2 scroll up",
                 IRECT(mListRect.L, mListRect.T - 15.f, mListRect.R, mListRect.T));
    if (mFirstVisibleRow < maxFirst)
      g.DrawText(hint, "\xE2\x96\xBC scroll down",
                 IRECT(mListRect.L, mListRect.B, mListRect.R, mListRect.B + 15.f));
  }

  DrawButton(g, mLoadRect, "Load", mHover == kHoverLoad);
  DrawButton(g, mSaveRect, "Save", mHover == kHoverSave);
  DrawButton(g, mSelectRect, "Select", mHover == kHoverSelect);

  g.DrawText(Style(11.f, WithAlpha(mTextColor, 102)), "Click outside to close | ESC to cancel",
             IRECT(P.L, P.B - 25.f, P.R, P.B - 5.f));
}

} // namespace umbra
