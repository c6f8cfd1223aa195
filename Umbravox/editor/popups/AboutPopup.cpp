#include "AboutPopup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "ICanvas.h"
#include "UmbravoxTheme.h"
#include "UpdateChecker.h"

namespace umbra {

using namespace ui;

namespace {

constexpr int kEscape = 27;

IColor WithAlpha(const IColor& c, int alpha)
{
  return IColor(alpha, c.R, c.G, c.B);
}

IText Style(float size, const IColor& color, EHorizontalAlign align = kAlignCenter)
{
  return IText(size, color, kFontRoboto, align, kVAlignMiddle);
}

} // namespace

AboutPopup::AboutPopup(const IRECT& bounds, const IColor& panelColor, const IColor& textColor,
                       const IColor& accentColor)
  : IControl(bounds, ui::kNoParameter), mPanelColor(panelColor), mTextColor(textColor),
    mAccentColor(accentColor)
{
  mTargetRECT = IRECT();
  mIgnoreMouse = false;
  mMouseIsOver = false;
}

void AboutPopup::SetShown(bool shown)
{
  mVisible = shown;
  mTargetRECT = shown ? mRECT : IRECT();
  mMouseIsOver = false;
  SetDirty(true, kNoValIdx);
}

void AboutPopup::Show()
{
  SetShown(true);
}

void AboutPopup::Hide()
{
  SetShown(false);
}

IRECT AboutPopup::PanelRect() const
{
  const float cx = mRECT.MW(), cy = mRECT.MH();
  return IRECT(cx - 210.f, cy - 310.f, cx + 210.f, cy + 310.f);
}

void AboutPopup::Draw(ICanvas& g)
{
  if (!mVisible)
    return;

  mPhase += 0.03f;
  if (mPhase > kPhaseTurn)
    mPhase -= kPhaseTurn;

  const IRECT P = PanelRect();
  const float cx = mRECT.MW();

  g.FillRect(IColor(180, 0, 0, 0), mRECT);

  const float glow = std::sin(2.f * mPhase) * 0.1f + 0.4f;
  g.FillRoundRect(WithAlpha(mAccentColor, OpacityToAlpha(0.3f * glow)), P.GetPadded(15.f), 12.f);
  g.FillRoundRect(WithAlpha(mAccentColor, OpacityToAlpha(0.15f * glow)), P.GetPadded(25.f), 15.f);

  g.FillRoundRect(mPanelColor, P, 10.f);
  g.DrawRoundRect(WithAlpha(mAccentColor, 153), P, 10.f, nullptr, 2.f);

  const float flicker =
    (std::sin(5.7f * mPhase) * 0.2f + 0.3f + std::sin(13.3f * mPhase) * 0.1f) * 0.3f;
  g.DrawRoundRect(WithAlpha(mTextColor, OpacityToAlpha(flicker)), P.GetPadded(-4.f), 8.f, nullptr,
                  1.f);

  g.DrawText(IText(32.f, mTextColor, kFontGipsyCurse, kAlignCenter, kVAlignMiddle), "Umbra Vox",
             IRECT(P.L, P.T + 10.f, P.R, P.T + 60.f));

  char maker[128];
  std::snprintf(maker, sizeof maker, "Marrowfield Audio  \xE2\x80\xA2  Quillon  \xE2\x80\xA2  v%s",
                UpdateChecker::kCurrentVersion);
  g.DrawText(Style(14.f, WithAlpha(mTextColor, 153)), maker, IRECT(P.L, P.T + 52.f, P.R, P.T + 70.f));

  mInfoTabRect = IRECT(cx - 115.f, P.T + 80.f, cx - 5.f, P.T + 110.f);
  g.FillRoundRect(WithAlpha(mAccentColor, 76), mInfoTabRect, 5.f);
  g.DrawRoundRect(WithAlpha(mAccentColor, 204), mInfoTabRect, 5.f, nullptr, 1.5f);
  g.DrawText(Style(14.f, mTextColor), "Info", mInfoTabRect);

  g.DrawLine(WithAlpha(mAccentColor, 102), P.L + 20.f, P.T + 120.f, P.R - 20.f, P.T + 120.f,
             nullptr, 1.f);

  DrawInfoPage(g, IRECT(P.L + 20.f, P.T + 130.f, P.R - 20.f, P.B - 30.f));

  g.DrawText(Style(12.f, WithAlpha(mTextColor, 102)),
             "Click outside to close  \xE2\x80\xA2  ESC to dismiss",
             IRECT(P.L, P.B - 25.f, P.R, P.B - 8.f));
}

void AboutPopup::DrawInfoPage(ICanvas& g, const IRECT& content)
{
  const float x1 = content.L, y1 = content.T, x2 = content.R;
  const float m = (x1 + x2) / 2.f;

  g.DrawText(Style(16.f, mAccentColor, kAlignNear), "SPECTRAL PITCH SHIFTING REVERB",
             IRECT(x1, y1, x2, y1 + 19.f));

  static constexpr const char* kDescription[3] = {
    "A haunted formant pitch shifter with ethereal reverb, delay, and chorus",
    "characteristics. Create ghostly harmonies, frozen drones, spectral pads,",
    "and otherworldly vocal textures."};
  const IText description = Style(14.f, WithAlpha(mTextColor, 216), kAlignNear);
  for (int i = 0; i < 3; ++i) {
    const float top = y1 + 23.f + 19.f * static_cast<float>(i);
    g.DrawText(description, kDescription[i], IRECT(x1, top, x2, top + 19.f));
  }

  g.DrawLine(WithAlpha(mAccentColor, 51), x1, y1 + 94.f, x2, y1 + 94.f, nullptr, 1.f);

  // A build without an update service shows the version alone: a button that could only fail
  // would be no use.
  mUpdateButtonRect = IRECT();
  mDownloadLinkRect = IRECT();
  if (!UpdateChecker::HasService())
    return;

  UpdateChecker& checker = UpdateChecker::Get();
  const int state = checker.mState.load();

  mUpdateButtonRect = IRECT(m - 75.f, y1 + 108.f, m + 75.f, y1 + 138.f);
  g.FillRoundRect(IColor(200, 30, 28, 40), mUpdateButtonRect, 5.f);
  const float pulse = std::sin(2.5f * mPhase);
  g.DrawRoundRect(WithAlpha(mAccentColor, OpacityToAlpha((pulse * 0.15f + 0.4f) * 0.6f)),
                  mUpdateButtonRect, 5.f, nullptr, 1.f);
  g.DrawText(Style(12.f, WithAlpha(mTextColor, 229)),
             state == UpdateChecker::kUpdateChecking ? "Checking..." : "Check for Updates",
             mUpdateButtonRect);

  const IRECT status(x1, y1 + 148.f, x2, y1 + 166.f);
  switch (state) {
    case UpdateChecker::kUpdateUpToDate:
      g.DrawText(Style(12.f, WithAlpha(mTextColor, 178)), "You're running the latest version",
                 status);
      break;
    case UpdateChecker::kUpdateFailed:
      g.DrawText(Style(12.f, WithAlpha(mTextColor, 127)), "Could not check for updates", status);
      break;
    case UpdateChecker::kUpdateAvailable: {
      char line[64];
      std::snprintf(line, sizeof line, "\xE2\x9C\x93 Update available: v%s",
                    checker.LatestVersion().c_str());
      g.DrawText(Style(13.f, IColor(255, 130, 220, 130)), line, status);
      mDownloadLinkRect = IRECT(x1, y1 + 168.f, x2, y1 + 186.f);
      g.DrawText(Style(12.f, mAccentColor), "Click here to download", mDownloadLinkRect);
      break;
    }
    default:
      break;
  }
}

void AboutPopup::OnMouseDown(float x, float y, const IMouseMod&)
{
  if (!mVisible)
    return;

  if (mInfoTabRect.Contains(x, y)) {
    SetDirty(true, kNoValIdx);
    return;
  }
  if (mUpdateButtonRect.Contains(x, y)) {
    UpdateChecker::Get().CheckForUpdates(true);
    SetDirty(true, kNoValIdx);
    return;
  }
  if (mDownloadLinkRect.Contains(x, y) &&
      UpdateChecker::Get().mState.load() == UpdateChecker::kUpdateAvailable) {
    const std::string url = UpdateChecker::Get().DownloadUrl();
    if (!url.empty())
      OpenDownloadPage(url);
    return;
  }
  if (PanelRect().Contains(x, y))
    return;
  Hide();
}

bool AboutPopup::OnKeyDown(float, float, const IKeyPress& key)
{
  if (!mVisible || key.VK != kEscape)
    return false;
  Hide();
  return true;
}

} // namespace umbra
