#include "HeaderIconButton.h"

#include <cmath>

#include "ICanvas.h"
#include "UmbravoxTheme.h"

namespace umbra {

using namespace ui;

HeaderIconButton::HeaderIconButton(const IRECT& bounds, const IBitmap& bitmap)
  : IBitmapControl(bounds, bitmap, ui::kNoParameter, kBlendDefault)
{
}

void HeaderIconButton::OnMouseOver(float, float, const IMouseMod&)
{
  mHover = true;
  SetDirty(false);
}

void HeaderIconButton::OnMouseOut()
{
  mHover = false;
  SetDirty(false);
}

int HeaderIconButton::HaloAlpha(float phase, bool hovered)
{
  float a = std::sin(1.5f * phase) * 0.15f + 0.3f;
  if (hovered)
    a += 0.3f;
  return OpacityToAlpha(0.5f * a);
}

IRECT HeaderIconButton::IconRect(const IRECT& bounds, bool hovered)
{
  if (!hovered)
    return bounds;
  return bounds.GetCentredInside(1.1f * bounds.W(), 1.1f * bounds.H());
}

void HeaderIconButton::Draw(ICanvas& g)
{
  mPhase += 0.05f;
  if (mPhase > kPhaseTurn)
    mPhase -= kPhaseTurn;

  const IRECT& r = mRECT;
  g.FillCircle(IColor(HaloAlpha(mPhase, mHover), 140, 140, 140), r.MW(), r.MH(), 0.55f * r.W());
  g.DrawFittedBitmap(mBitmap, IconRect(r, mHover), &mBlend);
}

} // namespace umbra
