// The frame loop: find what changed, and redraw only that, each control clipped to itself.

#include "ICanvas.h"

namespace umbra::ui {

namespace {

// Controls draw a little outside their bounds (anti-aliased edges, strokes centred on the
// border), so every region they own is grown by this much.
constexpr float kDirtyGrowth = 0.75f;

} // namespace

bool ICanvas::IsDirty(IRECTList& rects)
{
  if (mDisplayTickFunc)
    mDisplayTickFunc();

  ForAllControlsFunc([](IControl* control) {
    if (control->GetAnimationFunction())
      control->Animate();
  });

  bool dirty = false;
  ForAllControlsFunc([&](IControl* control) {
    if (!control->IsDirty())
      return;
    IRECT r = control->GetRECT().GetPadded(kDirtyGrowth);
    // A control inside a container shows only within it.
    for (IControl* parent = control->GetParent(); parent; parent = parent->GetParent())
      r = r.Intersect(parent->GetRECT().GetPadded(kDirtyGrowth));
    if (r.W() > 0.f && r.H() > 0.f) {
      rects.Add(r);
      dirty = true;
    }
  });
  return dirty;
}

void ICanvas::Draw(IRECTList& rects)
{
  if (rects.Size() == 0)
    return;
  const float scale = GetBackingPixelScale();
  BeginFrame();
  if (!mStrictDrawing) {
    // Aligned and without overlaps, no device pixel is painted twice: blended controls would
    // otherwise darken where two regions meet.
    rects.PixelAlign(scale);
    rects.Optimize();
    for (const IRECT& region : rects)
      ForAllControlsFunc([&](IControl* control) { DrawControl(control, region, scale); });
  }
  else {
    const IRECT region = rects.Bounds().GetPixelAligned(scale);
    ForAllControlsFunc([&](IControl* control) { DrawControl(control, region, scale); });
  }
  EndFrame();
}

void ICanvas::DrawControl(IControl* control, const IRECT& region, float scale)
{
  // The background draws even when hidden: something has to cover the regions being redrawn.
  if (control->IsHidden() && !(NControls() > 0 && control == GetControl(0)))
    return;

  IRECT clip = region.Intersect(control->GetRECT().GetPadded(kDirtyGrowth).GetPixelAligned(scale));
  for (IControl* parent = control->GetParent(); parent; parent = parent->GetParent())
    clip = clip.Intersect(parent->GetRECT().GetPadded(kDirtyGrowth).GetPixelAligned(scale));
  if (clip.W() <= 0.f || clip.H() <= 0.f)
    return;

  PrepareRegion(clip);
  control->Draw(*this);
  CompleteRegion(clip);
}

bool ICanvas::RunFrame()
{
  mDirtyRects.Clear();
  if (!IsDirty(mDirtyRects))
    return false;
  // Clean before drawing, so that a control marking itself dirty while it draws is drawn again
  // in the next frame.
  SetAllControlsClean();
  Draw(mDirtyRects);
  return true;
}

} // namespace umbra::ui
