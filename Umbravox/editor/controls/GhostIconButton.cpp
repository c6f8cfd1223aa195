#include "GhostIconButton.h"

#include <cmath>

#include "AboutPopup.h"
#include "ICanvas.h"
#include "UmbravoxEditorParts.h"
#include "UmbravoxTheme.h"
#include "UpdateChecker.h"

namespace umbra {

using namespace ui;

void GhostIconButton::OnMouseDown(float, float, const IMouseMod&)
{
  AboutPopup* popup = GetUI() ? AboutPopupOf(*GetUI()) : nullptr;
  if (!popup)
    return;
  if (popup->IsVisible())
    popup->Hide();
  else
    popup->Show();
}

bool GhostIconButton::ShowsBadge(int updateState)
{
  return updateState == UpdateChecker::kUpdateAvailable;
}

void GhostIconButton::Draw(ICanvas& g)
{
  HeaderIconButton::Draw(g);

  if (!ShowsBadge(UpdateChecker::Get().mState.load(std::memory_order_relaxed)))
    return;
  const float p = std::sin(2.f * mPhase) * 0.3f + 0.7f;
  const float x = mRECT.R - 6.f, y = mRECT.T + 6.f;
  g.FillCircle(IColor(OpacityToAlpha(0.5f * p), 80, 200, 100), x, y, 8.f);
  g.FillCircle(IColor(255, 100, 220, 120), x, y, 5.f);
  g.DrawCircle(IColor(255, 150, 255, 170), x, y, 5.f, nullptr, 1.f);
}

} // namespace umbra
