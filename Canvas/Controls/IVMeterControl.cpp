#include "IVMeterControl.h"

namespace umbra::ui {

// ---------------------------------------------------------------------------------------------
// IVectorBase

IVectorBase::IVectorBase(const IVStyle& style, const char* labelStr, const char* valueStr)
  : mStyle(style), mLabelStr(labelStr ? labelStr : ""), mValueStr(valueStr ? valueStr : "")
{
}

void IVectorBase::SetStyle(const IVStyle& style)
{
  mStyle = style;
  OnVectorLayoutChanged();
}

void IVectorBase::SetLabelStr(const char* str)
{
  mLabelStr = str ? str : "";
  OnVectorLayoutChanged();
}

void IVectorBase::SetValueStr(const char* str)
{
  mValueStr = str ? str : "";
  OnVectorLayoutChanged();
}

IRECT IVectorBase::MakeRects(const IRECT& parent)
{
  IRECT rest = parent;

  mLabelBounds = IRECT();
  if (mStyle.mShowLabel && !mLabelStr.empty()) {
    const float h = std::clamp(mStyle.mLabelText.mSize, 0.f, std::max(rest.H(), 0.f));
    mLabelBounds = rest.GetFromTop(h);
    rest = rest.GetReducedFromTop(h);
  }

  mValueBounds = IRECT();
  if (mStyle.mShowValue && !mValueStr.empty()) {
    const float h = std::clamp(mStyle.mValueText.mSize, 0.f, std::max(rest.H(), 0.f));
    mValueBounds = rest.GetFromBottom(h);
    rest = rest.GetReducedFromBottom(h);
  }

  // The full share is taken as is, so that a widget filling its bounds keeps their exact edges.
  const float frac = std::clamp(mStyle.mWidgetFrac, 0.f, 1.f);
  mWidgetBounds = frac >= 1.f ? rest : rest.GetCentredInside(rest.W() * frac, rest.H() * frac);
  return mWidgetBounds;
}

// ---------------------------------------------------------------------------------------------
// IVTrackControlBase

IVTrackControlBase::IVTrackControlBase(const IRECT& bounds, const char* label, const IVStyle& style,
                                       int maxNTracks, int nSteps, EDirection dir,
                                       std::initializer_list<const char*> trackNames)
  : IControl(bounds, std::initializer_list<int>{}), IVectorBase(style, label), mDirection(dir),
    mNSteps(std::max(nSteps, 0))
{
  const int n = std::max(maxNTracks, 0);
  for (int i = 0; i < n; ++i)
    mVals.push_back({kNoParameter, 0.0});
  mTrackBounds.resize(static_cast<size_t>(n));
  for (const char* name : trackNames)
    mTrackNames.emplace_back(name ? name : "");
}

void IVTrackControlBase::Draw(ICanvas& g)
{
  DrawBackground(g, mRECT);
  DrawWidget(g);
  if (!mLabelBounds.Empty() && !mLabelStr.empty())
    g.DrawText(mStyle.mLabelText, mLabelStr.c_str(), mLabelBounds, &mBlend);
  if (!mValueBounds.Empty() && !mValueStr.empty())
    g.DrawText(mStyle.mValueText, mValueStr.c_str(), mValueBounds, &mBlend);
}

void IVTrackControlBase::OnResize()
{
  // The target is the widget alone: label and value strips do not take the mouse.
  SetTargetRECT(MakeRects(mRECT));
  mMouseIsOver = false;
  MakeTrackRects(mWidgetBounds);
  MakeStepRects(mWidgetBounds, mNSteps);
  SetDirty(false);
}

void IVTrackControlBase::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  IControl::OnMouseOver(x, y, mod);
  mMouseOverTrack = GetValIdxForPos(x, y);
  SetDirty(false);
}

void IVTrackControlBase::OnMouseOut()
{
  IControl::OnMouseOut();
  mMouseOverTrack = -1;
  SetDirty(false);
}

int IVTrackControlBase::GetValIdxForPos(float x, float y) const
{
  for (int i = 0; i < NTracks(); ++i)
    if (mTrackBounds[static_cast<size_t>(i)].Contains(x, y))
      return i;
  return -1;
}

void IVTrackControlBase::SetTrackPadding(float padding)
{
  mTrackPadding = std::max(padding, 0.f);
  OnResize();
}

void IVTrackControlBase::DrawWidget(ICanvas& g)
{
  for (int i = 0; i < NTracks(); ++i)
    DrawTrack(g, mTrackBounds[static_cast<size_t>(i)], i);
}

void IVTrackControlBase::DrawBackground(ICanvas& g, const IRECT& r)
{
  g.FillRect(GetColor(kBG), r, &mBlend);
}

void IVTrackControlBase::DrawTrack(ICanvas& g, const IRECT& r, int chIdx)
{
  DrawTrackBackground(g, r, chIdx);
  const IRECT filled = FilledPart(r, GetValue(chIdx));
  if (filled.W() > 0.f && filled.H() > 0.f)
    DrawTrackHandle(g, filled, chIdx, true);
  DrawPeak(g, r, chIdx, true);
  if (mStyle.mDrawFrame && mDrawTrackFrame)
    g.DrawRect(GetColor(kFR), r, &mBlend, mStyle.mFrameThickness);
  DrawTrackName(g, r, chIdx);
}

void IVTrackControlBase::DrawTrackBackground(ICanvas& g, const IRECT& r, int)
{
  if (mDrawTrackBG)
    g.FillRect(GetColor(kSH), r, &mBlend);
}

void IVTrackControlBase::DrawTrackName(ICanvas& g, const IRECT& r, int chIdx)
{
  if (chIdx >= 0 && chIdx < static_cast<int>(mTrackNames.size()) &&
      !mTrackNames[static_cast<size_t>(chIdx)].empty())
    g.DrawText(mStyle.mValueText.WithVAlign(kVAlignMiddle),
               mTrackNames[static_cast<size_t>(chIdx)].c_str(), r, &mBlend);
}

void IVTrackControlBase::DrawTrackHandle(ICanvas& g, const IRECT& r, int chIdx, bool)
{
  // The track under the mouse shows in the pressed colour.
  g.FillRect(GetColor(chIdx == mMouseOverTrack ? kPR : kFG), r, &mBlend);
}

void IVTrackControlBase::DrawPeak(ICanvas& g, const IRECT& r, int chIdx, bool)
{
  // Without a peak of its own a track marks the edge of its filled part.
  const IRECT filled = FilledPart(r, GetValue(chIdx));
  if (mDirection == kVertical)
    g.DrawLine(GetColor(kX1), r.L, filled.T, r.R, filled.T, &mBlend, mPeakSize);
  else
    g.DrawLine(GetColor(kX1), filled.R, r.T, filled.R, r.B, &mBlend, mPeakSize);
}

void IVTrackControlBase::MakeTrackRects(const IRECT& bounds)
{
  // Track i spans [i·(E + p)/n, (i + 1)·(E + p)/n − p) of the extent E: equal tracks with the
  // padding p between them and none outside, the last ending exactly on the far edge.
  const int n = NTracks();
  const float p = mTrackPadding;
  for (int i = 0; i < n; ++i) {
    const auto a = static_cast<float>(i);
    const auto b = static_cast<float>(i + 1);
    const auto fn = static_cast<float>(n);
    IRECT& r = mTrackBounds[static_cast<size_t>(i)];
    if (mDirection == kVertical) {
      const float e = bounds.W() + p;
      r = IRECT(bounds.L + a * e / fn, bounds.T, bounds.L + b * e / fn - p, bounds.B);
    }
    else {
      const float e = bounds.H() + p;
      r = IRECT(bounds.L, bounds.T + a * e / fn, bounds.R, bounds.T + b * e / fn - p);
    }
  }
}

void IVTrackControlBase::MakeStepRects(const IRECT& bounds, int nSteps)
{
  // Equal steps along the direction of travel: from the bottom up for vertical tracks, from
  // the left for horizontal ones. A continuous control has none.
  mStepBounds.clear();
  for (int i = 0; i < nSteps; ++i) {
    if (mDirection == kVertical)
      mStepBounds.push_back(bounds.GetRow(nSteps - 1 - i, nSteps));
    else
      mStepBounds.push_back(bounds.GetColumn(i, nSteps));
  }
}

IRECT IVTrackControlBase::FilledPart(const IRECT& r, double v) const
{
  const auto f = static_cast<float>(std::clamp(v, 0.0, 1.0));
  if (mDirection == kVertical)
    return IRECT(r.L, r.B - f * r.H(), r.R, r.B);
  return IRECT(r.L, r.T, r.L + f * r.W(), r.B);
}

} // namespace umbra::ui
