#include "IBitmapControl.h"

#include <algorithm>
#include <cmath>

#include "ICanvas.h"

namespace umbra::ui {

int IBitmapBase::GetFrame() const
{
  const int n = mBitmap.N();
  if (n < 2 || !mControl)
    return 1;
  const double value = mControl->GetValue();
  const int frame = 1 + std::max(0, static_cast<int>(std::trunc(0.5 + value * (n - 1))));
  return std::min(frame, n);
}

void IBitmapBase::GetSourceOffset(int frame, int& x, int& y) const
{
  const int n = mBitmap.N();
  if (mBitmap.GetFramesAreHorizontal()) {
    x = (frame - 1) * mBitmap.W() / n;
    y = 0;
  }
  else {
    x = 0;
    y = (frame - 1) * mBitmap.H() / n;
  }
}

void IBitmapBase::DrawBitmap(ICanvas& g)
{
  if (!mControl)
    return;
  int x = 0, y = 0;
  GetSourceOffset(GetFrame(), x, y);
  g.DrawBitmap(mBitmap, mControl->GetRECT(), x, y, &mControl->GetBlend());
}

IBitmapControl::IBitmapControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx,
                               EBlend blend)
  : IControl(bounds, paramIdx), IBitmapBase(bitmap, blend)
{
  AttachIControl(this);
  mBlend = IBlend(blend, 1.f);
}

IBitmapControl::IBitmapControl(float x, float y, const IBitmap& bitmap, int paramIdx,
                               EBlend blend)
  : IBitmapControl(IRECT(x, y, x + static_cast<float>(bitmap.FW()),
                         y + static_cast<float>(bitmap.FH())),
                   bitmap, paramIdx, blend)
{
}

void IBitmapControl::OnRescale()
{
  if (!mGraphics || !mBitmap.IsValid())
    return;
  // A bitmap that did not come from a resource file has no other variant to load: keep it
  // rather than draw nothing.
  const IBitmap scaled = mGraphics->GetScaledBitmap(mBitmap);
  if (scaled.IsValid())
    mBitmap = scaled;
}

} // namespace umbra::ui
