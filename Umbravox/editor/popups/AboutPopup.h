#pragma once

#include "IControl.h"

namespace umbra {

// The About popup: a full-window control, hidden until the ghost icon shows it. Shown, it dims
// the editor and draws a glowing 420 x 620 panel with the title, the maker line and version, an
// "Info" tab, a short description and the update section (a "Check for Updates" button, the
// checker's status and, when an update is offered, a download link). A click outside the panel
// or Escape hides it. While hidden its target rectangle is empty, so it takes no mouse input.
class AboutPopup : public ui::IControl {
public:
  AboutPopup(const ui::IRECT& bounds, const ui::IColor& panelColor, const ui::IColor& textColor,
             const ui::IColor& accentColor);

  void Draw(ui::ICanvas& g) override;
  void OnMouseDown(float x, float y, const ui::IMouseMod& mod) override;
  bool OnKeyDown(float x, float y, const ui::IKeyPress& key) override;

  bool IsVisible() const { return mVisible; }
  // Takes every click on the editor while shown; none while hidden.
  void Show();
  void Hide();

  // The panel, centred on the bounds.
  ui::IRECT PanelRect() const;
  // As drawn last; the link is empty unless it was shown.
  const ui::IRECT& InfoTabRect() const { return mInfoTabRect; }
  const ui::IRECT& UpdateButtonRect() const { return mUpdateButtonRect; }
  const ui::IRECT& DownloadLinkRect() const { return mDownloadLinkRect; }
  float Phase() const { return mPhase; }

private:
  void SetShown(bool shown);
  void DrawInfoPage(ui::ICanvas& g, const ui::IRECT& content);

  ui::IColor mPanelColor;
  ui::IColor mTextColor;
  ui::IColor mAccentColor;
  bool mVisible = false;
  float mPhase = 0.f;
  ui::IRECT mInfoTabRect;
  ui::IRECT mUpdateButtonRect;
  ui::IRECT mDownloadLinkRect;
};

} // namespace umbra
