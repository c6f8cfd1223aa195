#include "ICanvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace umbra::ui {

ICanvas::ICanvas(int width, int height, float drawScale)
  : mWidth(width), mHeight(height), mDrawScale(drawScale)
{
}

// ---------------------------------------------------------------------------------------------
// Size and scale

void ICanvas::SetScaleConstraints(float lo, float hi)
{
  mMinScale = std::min(lo, hi);
  mMaxScale = std::max(lo, hi);
}

void ICanvas::SetScreenScale(float scale)
{
  if (scale <= 0.f || scale == mScreenScale)
    return;
  mScreenScale = scale;
  DrawResize();
  // The window's size in the platform's units changes with the density.
  if (mDelegate) {
    const float windowScale = mDrawScale * GetPlatformWindowScale();
    mDelegate->EditorResizeFromUI(static_cast<int>(static_cast<float>(mWidth) * windowScale),
                                  static_cast<int>(static_cast<float>(mHeight) * windowScale),
                                  true);
  }
  // Bitmap controls reload the variant for the new density; everything is redrawn on the new
  // surface.
  ForAllControlsFunc([](IControl* control) {
    control->OnRescale();
    control->SetDirty(false);
  });
}

void ICanvas::Resize(int width, int height, float drawScale)
{
  Resize(width, height, drawScale, true);
}

void ICanvas::Resize(int width, int height, float drawScale, bool needsPlatformResize)
{
  drawScale = std::clamp(drawScale, mMinScale, mMaxScale);
  if (width == mWidth && height == mHeight && drawScale == mDrawScale)
    return;
  ReleaseMouseCapture();
  mWidth = width;
  mHeight = height;
  mDrawScale = drawScale;
  if (mDelegate) {
    const float windowScale = drawScale * GetPlatformWindowScale();
    mDelegate->EditorResizeFromUI(static_cast<int>(static_cast<float>(width) * windowScale),
                                  static_cast<int>(static_cast<float>(height) * windowScale),
                                  needsPlatformResize);
  }
  DrawResize();
  // The corner handle follows the corner.
  if (mCornerResizer)
    mCornerResizer->OnRescale();
  SetAllControlsDirty();
}

// ---------------------------------------------------------------------------------------------
// Region

void ICanvas::PrepareRegion(const IRECT& clip)
{
  PathTransformReset(true);
  PathClear();
  SetClipRegion(clip);
  mClipRECT = clip;
}

// ---------------------------------------------------------------------------------------------
// Path builders

void ICanvas::PathLine(float x1, float y1, float x2, float y2)
{
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
}

void ICanvas::PathRect(const IRECT& r)
{
  PathMoveTo(r.L, r.T);
  PathLineTo(r.R, r.T);
  PathLineTo(r.R, r.B);
  PathLineTo(r.L, r.B);
  PathClose();
}

void ICanvas::PathRoundRect(const IRECT& r, float cornerRadius)
{
  PathRoundRect(r, cornerRadius, cornerRadius, cornerRadius, cornerRadius);
}

void ICanvas::PathRoundRect(const IRECT& r, float tl, float tr, float br, float bl)
{
  if (tl == 0.f && tr == 0.f && br == 0.f && bl == 0.f) {
    PathRect(r);
    return;
  }
  PathMoveTo(r.L, r.T + tl);
  PathArc(r.L + tl, r.T + tl, tl, 270.f, 360.f);
  PathArc(r.R - tr, r.T + tr, tr, 0.f, 90.f);
  PathArc(r.R - br, r.B - br, br, 90.f, 180.f);
  PathArc(r.L + bl, r.B - bl, bl, 180.f, 270.f);
  PathClose();
}

void ICanvas::PathCircle(float cx, float cy, float r)
{
  PathMoveTo(cx, cy - r);
  PathArc(cx, cy, r, 0.f, 360.f);
  PathClose();
}

void ICanvas::PathEllipse(const IRECT& r)
{
  PathEllipse(r.MW(), r.MH(), 0.5f * r.W(), 0.5f * r.H());
}

void ICanvas::PathEllipse(float cx, float cy, float r1, float r2, float angle)
{
  // A flattened ellipse would need a singular transform, which no back end can draw through.
  if (!(r1 > 0.f && r2 > 0.f))
    return;
  PathTransformSave();
  PathTransformTranslate(cx, cy);
  PathTransformRotate(angle);
  PathTransformScale(r1, r2);
  PathCircle(0.f, 0.f, 1.f);
  PathTransformRestore();
}

void ICanvas::PathTriangle(float x1, float y1, float x2, float y2, float x3, float y3)
{
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
  PathLineTo(x3, y3);
  PathClose();
}

void ICanvas::PathConvexPolygon(const float* x, const float* y, int n)
{
  if (n < 1)
    return;
  PathMoveTo(x[0], y[0]);
  for (int i = 1; i < n; ++i)
    PathLineTo(x[i], y[i]);
  PathClose();
}

// ---------------------------------------------------------------------------------------------
// Transforms

void ICanvas::PathTransformSave() { mTransformStack.push_back(mTransform); }

void ICanvas::PathTransformRestore()
{
  if (mTransformStack.empty())
    return;
  mTransform = mTransformStack.back();
  mTransformStack.pop_back();
  ApplyTransform();
}

void ICanvas::PathTransformReset(bool clearStack)
{
  if (clearStack)
    mTransformStack.clear();
  mTransform = IMatrix();
  ApplyTransform();
}

void ICanvas::PathTransformTranslate(float x, float y)
{
  PathTransformMatrix(IMatrix(1.0, 0.0, 0.0, 1.0, x, y));
}

void ICanvas::PathTransformScale(float x, float y)
{
  PathTransformMatrix(IMatrix(x, 0.0, 0.0, y, 0.0, 0.0));
}

void ICanvas::PathTransformRotate(float angle)
{
  const double rad = static_cast<double>(angle) * std::numbers::pi / 180.0;
  const double c = std::cos(rad);
  const double s = std::sin(rad);
  PathTransformMatrix(IMatrix(c, s, -s, c, 0.0, 0.0));
}

void ICanvas::PathTransformMatrix(const IMatrix& matrix)
{
  mTransform = mTransform * matrix;
  ApplyTransform();
}

// ---------------------------------------------------------------------------------------------
// Shapes

void ICanvas::FillRect(const IColor& color, const IRECT& r, const IBlend* blend)
{
  PathClear();
  PathRect(r);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::DrawRect(const IColor& color, const IRECT& r, const IBlend* blend, float thickness)
{
  PathClear();
  PathRect(r);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::FillRoundRect(const IColor& color, const IRECT& r, float cornerRadius,
                            const IBlend* blend)
{
  PathClear();
  PathRoundRect(r, cornerRadius);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::DrawRoundRect(const IColor& color, const IRECT& r, float cornerRadius,
                            const IBlend* blend, float thickness)
{
  PathClear();
  PathRoundRect(r, cornerRadius);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::FillRoundRect(const IColor& color, const IRECT& r, float tl, float tr, float br,
                            float bl, const IBlend* blend)
{
  PathClear();
  PathRoundRect(r, tl, tr, br, bl);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::DrawRoundRect(const IColor& color, const IRECT& r, float tl, float tr, float br,
                            float bl, const IBlend* blend, float thickness)
{
  PathClear();
  PathRoundRect(r, tl, tr, br, bl);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::FillCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend)
{
  PathClear();
  PathCircle(cx, cy, r);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::DrawCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend,
                         float thickness)
{
  PathClear();
  PathCircle(cx, cy, r);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::FillEllipse(const IColor& color, const IRECT& r, const IBlend* blend)
{
  PathClear();
  PathEllipse(r);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillEllipse(const IColor& color, float x, float y, float r1, float r2, float angle,
                          const IBlend* blend)
{
  PathClear();
  PathEllipse(x, y, r1, r2, angle);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::DrawEllipse(const IColor& color, const IRECT& r, const IBlend* blend,
                          float thickness)
{
  PathClear();
  PathEllipse(r);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawEllipse(const IColor& color, float x, float y, float r1, float r2, float angle,
                          const IBlend* blend, float thickness)
{
  PathClear();
  PathEllipse(x, y, r1, r2, angle);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::FillArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                      const IBlend* blend, EWinding winding)
{
  PathClear();
  PathMoveTo(cx, cy);
  PathArc(cx, cy, r, a1, a2, winding);
  PathClose();
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::DrawArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                      const IBlend* blend, float thickness, EWinding winding)
{
  PathClear();
  PathArc(cx, cy, r, a1, a2, winding);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                       const IBlend* blend, float thickness)
{
  PathClear();
  PathLine(x1, y1, x2, y2);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3,
                           float y3, const IBlend* blend)
{
  PathClear();
  PathTriangle(x1, y1, x2, y2, x3, y3);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::DrawTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3,
                           float y3, const IBlend* blend, float thickness)
{
  PathClear();
  PathTriangle(x1, y1, x2, y2, x3, y3);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::FillConvexPolygon(const IColor& color, const float* x, const float* y, int n,
                                const IBlend* blend)
{
  PathClear();
  PathConvexPolygon(x, y, n);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::DrawConvexPolygon(const IColor& color, const float* x, const float* y, int n,
                                const IBlend* blend, float thickness)
{
  PathClear();
  PathConvexPolygon(x, y, n);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

namespace {

IStrokeOptions DashedStroke(float dashLength)
{
  IStrokeOptions options;
  const float dashes[2] = {dashLength, dashLength};
  options.mDash.SetDash(dashes, 2);
  return options;
}

} // namespace

void ICanvas::DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2,
                             const IBlend* blend, float thickness, float dashLength)
{
  PathClear();
  PathLine(x1, y1, x2, y2);
  PathStroke(color, thickness, DashedStroke(dashLength), blend);
}

void ICanvas::DrawDottedRect(const IColor& color, const IRECT& r, const IBlend* blend,
                             float thickness, float dashLength)
{
  PathClear();
  PathRect(r);
  PathStroke(color, thickness, DashedStroke(dashLength), blend);
}

void ICanvas::DrawGrid(const IColor& color, const IRECT& r, float xStep, float yStep,
                       const IBlend* blend, float thickness)
{
  PathClear();
  if (xStep > 0.f)
    for (float x = r.L + xStep; x < r.R; x += xStep)
      PathLine(x, r.T, x, r.B);
  if (yStep > 0.f)
    for (float y = r.T + yStep; y < r.B; y += yStep)
      PathLine(r.L, y, r.R, y);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

// ---------------------------------------------------------------------------------------------
// Text

void ICanvas::DrawText(const IText& text, const char* str, const IRECT& bounds,
                       const IBlend* blend)
{
  if (!str || str[0] == '\0')
    return;
  DoDrawText(text, str, bounds, blend);
}

void ICanvas::DrawText(const IText& text, const char* str, float x, float y, const IBlend* blend)
{
  DrawText(text, str, IRECT(x, y, x, y), blend);
}

float ICanvas::MeasureText(const IText& text, const char* str, IRECT& bounds)
{
  if (!str || str[0] == '\0')
    return 0.f;
  return DoMeasureText(text, str, bounds);
}

// ---------------------------------------------------------------------------------------------
// Bitmaps

void ICanvas::DrawFittedBitmap(const IBitmap& bitmap, const IRECT& bounds, const IBlend* blend)
{
  if (!bitmap.IsValid() || bitmap.W() <= 0 || bitmap.H() <= 0)
    return;
  const float w = static_cast<float>(bitmap.W());
  const float h = static_cast<float>(bitmap.H());
  PathTransformSave();
  PathTransformTranslate(bounds.L, bounds.T);
  PathTransformScale(bounds.W() / w, bounds.H() / h);
  DrawBitmap(bitmap, IRECT(0.f, 0.f, w, h), 0, 0, blend);
  PathTransformRestore();
}

void ICanvas::DrawRotatedBitmap(const IBitmap& bitmap, float cx, float cy, float angle,
                                const IBlend* blend)
{
  if (!bitmap.IsValid())
    return;
  const float w = static_cast<float>(bitmap.W());
  const float h = static_cast<float>(bitmap.H());
  PathTransformSave();
  PathTransformTranslate(cx, cy);
  PathTransformRotate(angle);
  DrawBitmap(bitmap, IRECT(-0.5f * w, -0.5f * h, 0.5f * w, 0.5f * h), 0, 0, blend);
  PathTransformRestore();
}

} // namespace umbra::ui
