#include "ICanvasCairo.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "CairoBitmap.h"
#include "CairoFonts.h"
#include "CairoPaint.h"
#include "CairoPathWinding.h"

namespace umbra::ui {

namespace {

double Channel(int32_t value) { return static_cast<double>(value) / 255.0; }

// A solid pattern's colour as the premultiplied pixel the direct fills write, its alpha weighted
// by the blend's.
std::uint32_t SolidPixel(const IPattern& pattern, double weight)
{
  const IColor c = pattern.NStops() > 0 ? pattern.GetStop(0).mColor : COLOR_TRANSPARENT;
  return PremultipliedPixel(Channel(c.R), Channel(c.G), Channel(c.B), Channel(c.A) * weight);
}

} // namespace

ICanvasCairo::ICanvasCairo(int width, int height, float drawScale)
  : ICanvas(width, height, drawScale)
{
  const char* reference = std::getenv("UMBRAVOX_CAIRO_REFERENCE");
  mReferenceDrawing = reference && std::strcmp(reference, "1") == 0;
  CreateSurface();
}

ICanvasCairo::~ICanvasCairo() { DestroySurface(); }

void ICanvasCairo::CreateSurface()
{
  const float s = GetBackingPixelScale();
  const int w = std::max(0, static_cast<int>(std::ceil(static_cast<float>(Width()) * s)));
  const int h = std::max(0, static_cast<int>(std::ceil(static_cast<float>(Height()) * s)));
  mSurface = CreateImageSurface(w, h);
  mContext = cairo_create(mSurface);
  PathTransformReset(true);
}

void ICanvasCairo::DestroySurface()
{
  mHeldFills.Clear();
  cairo_destroy(mContext);
  cairo_surface_destroy(mSurface);
  mContext = nullptr;
  mSurface = nullptr;
}

// The old picture is at the wrong size; a resize redraws everything anyway.
void ICanvasCairo::DrawResize()
{
  DestroySurface();
  CreateSurface();
}

void ICanvasCairo::EndFrame()
{
  RunHeldFills();
  cairo_surface_flush(mSurface);
}

void ICanvasCairo::RunHeldFills() const
{
  if (mHeldFills.Empty())
    return;
  cairo_surface_flush(mSurface);
  int top = 0, bottom = 0;
  mHeldFills.Run(mFiller, top, bottom);
  if (top < bottom)
    cairo_surface_mark_dirty_rectangle(mSurface, 0, top, DeviceWidth(), bottom - top);
}

// ---------------------------------------------------------------------------------------------
// Transform and clip

void ICanvasCairo::PathTransformSetMatrix(const IMatrix& m)
{
  const double s = GetBackingPixelScale();
  cairo_matrix_t cm;
  cairo_matrix_init(&cm, s * m.mXX, s * m.mYX, s * m.mXY, s * m.mYY, s * m.mTX, s * m.mTY);
  // Cairo refuses a matrix without inverse and stops drawing altogether.
  cairo_matrix_t inverse = cm;
  mSingularTransform = cairo_matrix_invert(&inverse) != CAIRO_STATUS_SUCCESS;
  if (!mSingularTransform)
    cairo_set_matrix(mContext, &cm);
  mDeviceMatrix = cm;
}

bool ICanvasCairo::ToDevice(double& x, double& y) const
{
  if (mDeviceMatrix.xy != 0.0 || mDeviceMatrix.yx != 0.0)
    return false;
  x = mDeviceMatrix.xx * x + mDeviceMatrix.x0;
  y = mDeviceMatrix.yy * y + mDeviceMatrix.y0;
  return true;
}

void ICanvasCairo::SetClipRegion(const IRECT& r)
{
  const double s = GetBackingPixelScale();
  BuildCairoPath();
  cairo_path_t* path = cairo_copy_path(mContext);
  cairo_matrix_t saved;
  cairo_get_matrix(mContext, &saved);

  cairo_reset_clip(mContext);
  // A clip covering the whole surface changes no pixel but makes Cairo's compositing markedly
  // slower (full-window redraws are every frame for an animated editor): leave it out.
  const double l = r.L * s, t = r.T * s;
  const double w = std::max(0.f, r.W()) * s, h = std::max(0.f, r.H()) * s;
  const bool coversSurface = l <= 0.0 && t <= 0.0 && l + w >= DeviceWidth() && t + h >= DeviceHeight();
  cairo_identity_matrix(mContext);
  cairo_new_path(mContext);
  auto whole = [](double v) { return std::abs(v - std::round(v)) < 1e-6; };
  mClipWhole = coversSurface || (whole(l) && whole(t) && whole(w) && whole(h));
  mClipL = coversSurface ? 0 : std::max(0, static_cast<int>(std::lround(l)));
  mClipT = coversSurface ? 0 : std::max(0, static_cast<int>(std::lround(t)));
  mClipR = coversSurface ? DeviceWidth() : std::min(DeviceWidth(), static_cast<int>(std::lround(l + w)));
  mClipB = coversSurface ? DeviceHeight() : std::min(DeviceHeight(), static_cast<int>(std::lround(t + h)));
  if (!coversSurface) {
    cairo_rectangle(mContext, l, t, w, h);
    cairo_clip(mContext);
  }

  cairo_set_matrix(mContext, &saved);
  if (path->status == CAIRO_STATUS_SUCCESS)
    cairo_append_path(mContext, path);
  cairo_path_destroy(path);
}

// ---------------------------------------------------------------------------------------------
// Paths

void ICanvasCairo::PathClear()
{
  cairo_new_path(mContext);
  mShape.Clear();
  mDeferredArcs.clear();
  mDeferredClose = false;
}

void ICanvasCairo::BuildCairoPath()
{
  if (mDeferredArcs.empty())
    return;
  cairo_matrix_t current;
  cairo_get_matrix(mContext, &current);
  for (const DeferredArc& arc : mDeferredArcs) {
    cairo_set_matrix(mContext, &arc.matrix);
    cairo_arc(mContext, arc.cx, arc.cy, arc.r, arc.a1, arc.a2);
  }
  if (mDeferredClose)
    cairo_close_path(mContext);
  cairo_set_matrix(mContext, &current);
  mDeferredArcs.clear();
  mDeferredClose = false;
}

void ICanvasCairo::PathClose()
{
  if (!mDeferredArcs.empty() && !mDeferredClose)
    mDeferredClose = true;
  else {
    BuildCairoPath();
    cairo_close_path(mContext);
  }
  mShape.Close();
}

void ICanvasCairo::PathMoveTo(float x, float y)
{
  BuildCairoPath();
  cairo_move_to(mContext, x, y);
  double dx = x, dy = y;
  if (ToDevice(dx, dy))
    mShape.MoveTo(dx, dy);
  else
    mShape.Other();
}

void ICanvasCairo::PathLineTo(float x, float y)
{
  BuildCairoPath();
  cairo_line_to(mContext, x, y);
  double dx = x, dy = y;
  if (ToDevice(dx, dy))
    mShape.LineTo(dx, dy);
  else
    mShape.Other();
}

void ICanvasCairo::PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2)
{
  BuildCairoPath();
  cairo_curve_to(mContext, c1x, c1y, c2x, c2y, x2, y2);
  mShape.Other();
}

// Cairo has cubic curves only; a quadratic one is the cubic with control points two thirds of
// the way from each end towards the quadratic's control point.
void ICanvasCairo::PathQuadraticBezierTo(float cx, float cy, float x2, float y2)
{
  BuildCairoPath();
  double x0 = cx, y0 = cy;
  if (cairo_has_current_point(mContext))
    cairo_get_current_point(mContext, &x0, &y0);
  else
    cairo_move_to(mContext, cx, cy);
  mShape.Other();
  constexpr double k = 2.0 / 3.0;
  cairo_curve_to(mContext, x0 + k * (cx - x0), y0 + k * (cy - y0), x2 + k * (cx - x2),
                 y2 + k * (cy - y2), x2, y2);
}

// Cairo's angles start at three o'clock and, with y down, grow clockwise as ours do: the two
// conventions differ by a quarter turn. A sweep is at most one full turn.
void ICanvasCairo::PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding)
{
  if (!(r > 0.f)) {
    BuildCairoPath();
    cairo_line_to(mContext, cx, cy);
    mShape.Other();
    return;
  }
  double dcx = cx, dcy = cy;
  const bool quarter = a2 - a1 == 90.f && (a1 == 270.f || a1 == 0.f || a1 == 90.f || a1 == 180.f);
  if (winding != kWindingCW || !ToDevice(dcx, dcy))
    mShape.Other();
  else if (a1 == 0.f && a2 == 360.f)
    mShape.FullTurn(dcx, dcy, std::abs(mDeviceMatrix.xx) * r, std::abs(mDeviceMatrix.yy) * r);
  else if (quarter && mDeviceMatrix.xx > 0.0 && mDeviceMatrix.yy > 0.0)
    mShape.QuarterTurn(static_cast<int>(a1), dcx, dcy, mDeviceMatrix.xx * r, mDeviceMatrix.yy * r);
  else
    mShape.Other();
  if (winding == kWindingCW && a2 - a1 > 360.f)
    a2 = a1 + 360.f;
  if (winding == kWindingCCW && a1 - a2 > 360.f)
    a2 = a1 - 360.f;
  constexpr double toRad = std::numbers::pi / 180.0;
  const double r1 = (static_cast<double>(a1) - 90.0) * toRad;
  const double r2 = (static_cast<double>(a2) - 90.0) * toRad;
  if (winding == kWindingCW && mShape.BuildingCurvedShape() && !mDeferredClose) {
    DeferredArc arc{};
    cairo_get_matrix(mContext, &arc.matrix);
    arc.cx = cx;
    arc.cy = cy;
    arc.r = r;
    arc.a1 = r1;
    arc.a2 = r2;
    mDeferredArcs.push_back(arc);
    return;
  }
  BuildCairoPath();
  if (winding == kWindingCW)
    cairo_arc(mContext, cx, cy, r, r1, r2);
  else
    cairo_arc_negative(mContext, cx, cy, r, r1, r2);
}

void ICanvasCairo::PathSetWinding(bool clockwise)
{
  BuildCairoPath();
  SetLastSubpathWinding(mContext, clockwise);
  mShape.Other();
}

void ICanvasCairo::FillWith(cairo_operator_t op, bool preserve)
{
  cairo_set_operator(mContext, op);
  if (IsUnboundedOperator(op)) {
    cairo_save(mContext);
    cairo_clip_preserve(mContext);
    cairo_paint(mContext);
    cairo_restore(mContext);
    if (!preserve)
      cairo_new_path(mContext);
  } else if (preserve) {
    cairo_fill_preserve(mContext);
  } else {
    cairo_fill(mContext);
  }
  cairo_set_operator(mContext, CAIRO_OPERATOR_OVER);
}

void ICanvasCairo::PathFill(const IPattern& pattern, const IFillOptions& options,
                            const IBlend* blend)
{
  if (mSingularTransform) {
    if (!options.mPreserve)
      PathClear();
    return;
  }
  if (FillDirect(pattern, options, blend))
    return;
  RunHeldFills();
  BuildCairoPath();
  cairo_set_fill_rule(mContext, options.mFillRule == kFillEvenOdd ? CAIRO_FILL_RULE_EVEN_ODD
                                                                  : CAIRO_FILL_RULE_WINDING);
  SetCairoSource(mContext, pattern, blend);
  FillWith(CairoOperator(blend), options.mPreserve);
  if (!options.mPreserve)
    mShape.Clear();
}

ImageTarget ICanvasCairo::DirectTarget() const
{
  ImageTarget target;
  target.pixels = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(mSurface));
  target.stride = cairo_image_surface_get_stride(mSurface) / 4;
  target.clipL = mClipL;
  target.clipT = mClipT;
  target.clipR = mClipR;
  target.clipB = mClipB;
  return target;
}

void ICanvasCairo::DirectDone(bool preserve)
{
  if (preserve)
    BuildCairoPath();
  else
    PathClear();
}

// A straight line with butt ends is a rectangle, turned when the line is slanted.
bool ICanvasCairo::StrokeDirect(const IPattern& pattern, float thickness,
                                const IStrokeOptions& options, const IBlend* blend)
{
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
  if (mReferenceDrawing || !mClipWhole || BlendMethod(blend) != kBlendDefault ||
      pattern.mKind != kPatternSolid || options.mDash.GetCount() != 0 || !(thickness > 0.f))
    return false;
  if (StrokeOutlineDirect(pattern, thickness, options, blend))
    return true;
  if (options.mCapOption != kCapButt || !mShape.IsLine(x0, y0, x1, y1))
    return false;
  const bool horizontal = y0 == y1 && x0 != x1;
  const bool vertical = x0 == x1 && y0 != y1;
  // At an angle the pen must be as wide across every direction (no stretched transform).
  const bool slanted = !horizontal && !vertical && (x0 != x1 || y0 != y1) &&
                       std::abs(mDeviceMatrix.xx) == std::abs(mDeviceMatrix.yy);
  if (!horizontal && !vertical && !slanted)
    return false;
  const double half = 0.5 * thickness * std::abs(horizontal ? mDeviceMatrix.yy : mDeviceMatrix.xx);
  const std::uint32_t colour = SolidPixel(pattern, static_cast<double>(BlendWeight(blend)));
  const ImageTarget target = DirectTarget();
  if (slanted) {
    // The line's outline: its ends moved half the width either way across it.
    const double length = std::hypot(x1 - x0, y1 - y0);
    const double nx = -(y1 - y0) / length * half, ny = (x1 - x0) / length * half;
    const double qx[4] = {x0 + nx, x1 + nx, x1 - nx, x0 - nx};
    const double qy[4] = {y0 + ny, y1 + ny, y1 - ny, y0 - ny};
    mHeldFills.FillQuad(target, qx, qy, colour);
  }
  else if (horizontal)
    mHeldFills.FillRect(target, std::min(x0, x1), y0 - half, std::max(x0, x1), y0 + half, colour);
  else
    mHeldFills.FillRect(target, x0 - half, std::min(y0, y1), x0 + half, std::max(y0, y1), colour);
  DirectDone(options.mPreserve);
  return true;
}

// The outline of a closed rounded rectangle or circle: the pen's two sides trace rounded
// rectangles half its width outside and inside, corners grown and shrunk by as much, so the
// stroke is the ring between them. The pen is round when the transform scales both axes alike.
bool ICanvasCairo::StrokeOutlineDirect(const IPattern& pattern, float thickness,
                                       const IStrokeOptions& options, const IBlend* blend)
{
  ImageFiller::RoundRect outer{}, inner{};
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0, cx = 0.0, cy = 0.0, rx[4], ry[4];
  if (!mShape.IsRoundRect(x0, y0, x1, y1, rx, ry)) {
    if (!mShape.IsClosedEllipse(cx, cy, rx[0], ry[0]))
      return false;
    x0 = cx - rx[0];
    y0 = cy - ry[0];
    x1 = cx + rx[0];
    y1 = cy + ry[0];
    std::fill(rx + 1, rx + 4, rx[0]);
    std::fill(ry + 1, ry + 4, ry[0]);
  }
  if (std::abs(mDeviceMatrix.xx) != std::abs(mDeviceMatrix.yy))
    return false;
  const double half = 0.5 * thickness * std::abs(mDeviceMatrix.xx);
  for (int i = 0; i < 4; ++i) {
    if (!(rx[i] == ry[i] && rx[i] >= half))
      return false;
    outer.corners[i] = {rx[i] + half, ry[i] + half};
    inner.corners[i] = {rx[i] - half, ry[i] - half};
  }
  outer.x0 = x0 - half;
  outer.y0 = y0 - half;
  outer.x1 = x1 + half;
  outer.y1 = y1 + half;
  inner.x0 = x0 + half;
  inner.y0 = y0 + half;
  inner.x1 = x1 - half;
  inner.y1 = y1 - half;
  if (!(inner.x0 < inner.x1 && inner.y0 < inner.y1))
    return false;
  const std::uint32_t colour = SolidPixel(pattern, static_cast<double>(BlendWeight(blend)));
  mHeldFills.FillRoundRectRing(DirectTarget(), outer, inner, colour);
  DirectDone(options.mPreserve);
  return true;
}

bool ICanvasCairo::FillDirect(const IPattern& pattern, const IFillOptions& options,
                              const IBlend* blend)
{
  if (mReferenceDrawing || !mClipWhole || BlendMethod(blend) != kBlendDefault)
    return false;
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
  const bool rect = mShape.IsRect(x0, y0, x1, y1);
  double cx = 0.0, cy = 0.0, rx = 0.0, ry = 0.0;
  const bool ellipse = !rect && mShape.IsEllipse(cx, cy, rx, ry);
  double cornerX[4], cornerY[4];
  const bool round = !rect && !ellipse && mShape.IsRoundRect(x0, y0, x1, y1, cornerX, cornerY);
  if (!rect && !ellipse && !round)
    return false;

  const double weight = static_cast<double>(BlendWeight(blend));
  // A gradient is drawn here when it runs along one device axis and pads beyond its ends.
  bool vertical = false;
  double p0 = 0.0, p1 = 0.0;
  std::vector<GradientStop> stops;
  if (pattern.mKind == kPatternLinear) {
    if (!rect || pattern.mSpread != kSpreadPad || pattern.NStops() == 0)
      return false;
    IMatrix inverse = pattern.mTransform;
    inverse.Invert();
    double sx = 0.0, sy = 0.0, ex = 0.0, ey = 1.0;
    inverse.Transform(sx, sy);
    inverse.Transform(ex, ey);
    if (!ToDevice(sx, sy) || !ToDevice(ex, ey))
      return false;
    if (sx == ex && sy != ey) {
      vertical = true;
      p0 = sy;
      p1 = ey;
    }
    else if (sy == ey && sx != ex) {
      p0 = sx;
      p1 = ex;
    }
    else {
      return false;
    }
    for (int i = 0; i < pattern.NStops(); ++i) {
      const IColorStop& stop = pattern.GetStop(i);
      if (!stops.empty() && !(stop.mOffset >= stops.back().offset))
        return false; // Cairo sorts stops; such patterns are rare enough to leave to it
      stops.push_back({std::clamp(static_cast<double>(stop.mOffset), 0.0, 1.0), Channel(stop.mColor.R),
                       Channel(stop.mColor.G), Channel(stop.mColor.B), Channel(stop.mColor.A) * weight});
    }
  }
  else if (pattern.mKind != kPatternSolid) {
    return false;
  }

  const ImageTarget target = DirectTarget();
  if (pattern.mKind == kPatternLinear) {
    mHeldFills.FillRectLinear(target, x0, y0, x1, y1, vertical, p0, p1, stops);
  }
  else {
    const std::uint32_t colour = SolidPixel(pattern, weight);
    if (rect) {
      mHeldFills.FillRect(target, x0, y0, x1, y1, colour);
    }
    else if (round) {
      const ImageFiller::Corner corners[4] = {{cornerX[0], cornerY[0]}, {cornerX[1], cornerY[1]},
                                              {cornerX[2], cornerY[2]}, {cornerX[3], cornerY[3]}};
      mHeldFills.FillRoundRect(target, x0, y0, x1, y1, corners, colour);
    }
    else {
      mHeldFills.FillEllipse(target, cx, cy, rx, ry, colour);
    }
  }
  DirectDone(options.mPreserve);
  return true;
}

namespace {

cairo_line_cap_t CairoCap(ELineCap cap)
{
  switch (cap) {
  case kCapRound: return CAIRO_LINE_CAP_ROUND;
  case kCapSquare: return CAIRO_LINE_CAP_SQUARE;
  default: return CAIRO_LINE_CAP_BUTT;
  }
}

cairo_line_join_t CairoJoin(ELineJoin join)
{
  switch (join) {
  case kJoinRound: return CAIRO_LINE_JOIN_ROUND;
  case kJoinBevel: return CAIRO_LINE_JOIN_BEVEL;
  default: return CAIRO_LINE_JOIN_MITER;
  }
}

// Cairo rejects dashes that are negative or all zero by failing for good, so those are solid.
void SetDash(cairo_t* cr, const IStrokeOptions::DashOptions& dash)
{
  double lengths[IStrokeOptions::DashOptions::kMaxDashes];
  double total = 0.0;
  bool valid = dash.GetCount() > 0;
  for (int i = 0; i < dash.GetCount(); ++i) {
    lengths[i] = dash.GetArray()[i];
    valid = valid && lengths[i] >= 0.0;
    total += lengths[i];
  }
  if (valid && total > 0.0)
    cairo_set_dash(cr, lengths, dash.GetCount(), dash.GetOffset());
  else
    cairo_set_dash(cr, nullptr, 0, 0.0);
}

} // namespace

void ICanvasCairo::PathStroke(const IPattern& pattern, float thickness,
                              const IStrokeOptions& options, const IBlend* blend)
{
  if (mSingularTransform) {
    if (!options.mPreserve)
      PathClear();
    return;
  }
  if (StrokeDirect(pattern, thickness, options, blend))
    return;
  RunHeldFills();
  BuildCairoPath();
  cairo_set_line_cap(mContext, CairoCap(options.mCapOption));
  cairo_set_line_join(mContext, CairoJoin(options.mJoinOption));
  cairo_set_miter_limit(mContext, options.mMiterLimit);
  cairo_set_line_width(mContext, thickness);
  SetDash(mContext, options.mDash);
  SetCairoSource(mContext, pattern, blend);

  const cairo_operator_t op = CairoOperator(blend);
  cairo_set_operator(mContext, op);
  if (IsUnboundedOperator(op)) {
    // Confined to the stroke's bounding box: Cairo cannot turn a stroke into a fillable outline.
    double x1, y1, x2, y2;
    cairo_stroke_extents(mContext, &x1, &y1, &x2, &y2);
    cairo_path_t* path = cairo_copy_path(mContext);
    cairo_new_path(mContext);
    cairo_save(mContext);
    cairo_rectangle(mContext, x1, y1, x2 - x1, y2 - y1);
    cairo_clip(mContext);
    if (path->status == CAIRO_STATUS_SUCCESS)
      cairo_append_path(mContext, path);
    cairo_stroke_preserve(mContext);
    cairo_restore(mContext);
    cairo_path_destroy(path);
    if (!options.mPreserve)
      cairo_new_path(mContext);
  } else if (options.mPreserve) {
    cairo_stroke_preserve(mContext);
  } else {
    cairo_stroke(mContext);
  }
  if (!options.mPreserve)
    mShape.Clear();
  cairo_set_operator(mContext, CAIRO_OPERATOR_OVER);
  cairo_set_dash(mContext, nullptr, 0, 0.0);
}

// ---------------------------------------------------------------------------------------------
// Text

struct ICanvasCairo::TextPlacement {
  double anchorX = 0.0, anchorY = 0.0; // the aligned point of the bounds
  double penX = 0.0, penY = 0.0;       // start of the baseline, relative to the anchor
  double advance = 0.0, ascent = 0.0, descent = 0.0;
  double em = 0.0;                     // the font size the style's size came to
  std::vector<TextRun> runs;
  bool fontPerRun = false;             // some run is not in the style's font
  bool valid = false; // false when the style's font is not loaded or its size is not positive
};

namespace {

// Symbols that text faces lack (check marks, arrows, geometric shapes) are drawn from this one,
// installed beside the other fonts.
constexpr const char* kFallbackFontID = "umbra-fallback";
constexpr const char* kFallbackFontFile = "DejaVuSans.ttf";

} // namespace

std::vector<TextRun> ICanvasCairo::RunsFor(const IText& text, const char* str)
{
  return SplitTextRuns(str, [&](std::uint32_t codePoint, bool fallback) {
    if (!fallback)
      return CairoFontHasGlyph(text.mFont, codePoint);
    if (!mFallbackFontTried)
    {
      mFallbackFontTried = true;
      LoadFont(kFallbackFontID, kFallbackFontFile);
    }
    return CairoFontHasGlyph(kFallbackFontID, codePoint);
  });
}

void ICanvasCairo::SelectRunFont(const IText& text, const TextRun& run, double em)
{
  cairo_font_face_t* face = FindCairoFont(run.fallback ? kFallbackFontID : text.mFont);
  if (!face)
    return;
  cairo_set_font_face(mContext, face);
  cairo_set_font_size(mContext, em);
}

// The text size is the height from the font's ascender to its descender, so that a style's
// size means the same line height whatever the font's own em proportions. Unhinted outlines
// and metrics keep the layout identical at every scale.
bool ICanvasCairo::SelectFont(const IText& text, double& ascent, double& descent)
{
  cairo_font_face_t* face = FindCairoFont(text.mFont);
  if (!face || !(text.mSize > 0.f))
    return false;
  cairo_set_font_face(mContext, face);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(mContext, options);
  cairo_font_options_destroy(options);

  cairo_set_font_size(mContext, 1.0);
  cairo_font_extents_t unit;
  cairo_font_extents(mContext, &unit);
  const double lineHeight = unit.ascent + unit.descent;
  if (!(lineHeight > 0.0))
    return false;
  const double em = text.mSize / lineHeight;
  cairo_set_font_size(mContext, em);
  ascent = unit.ascent * em;
  descent = unit.descent * em;
  mSelectedEm = em;
  return true;
}

ICanvasCairo::TextPlacement ICanvasCairo::PlaceText(const IText& text, const char* str,
                                                    const IRECT& bounds)
{
  TextPlacement p;
  if (!SelectFont(text, p.ascent, p.descent))
    return p;
  p.valid = true;
  p.em = mSelectedEm;
  p.runs = RunsFor(text, str);
  for (const TextRun& run : p.runs)
    p.fontPerRun = p.fontPerRun || run.fallback;
  for (const TextRun& run : p.runs)
  {
    if (p.fontPerRun)
      SelectRunFont(text, run, p.em);
    cairo_text_extents_t extents;
    cairo_text_extents(mContext, run.text.c_str(), &extents);
    p.advance += extents.x_advance;
  }

  switch (text.mAlign) {
  case kAlignNear: p.anchorX = bounds.L; p.penX = 0.0; break;
  case kAlignCenter: p.anchorX = bounds.MW(); p.penX = -0.5 * p.advance; break;
  case kAlignFar: p.anchorX = bounds.R; p.penX = -p.advance; break;
  }
  switch (text.mVAlign) {
  case kVAlignTop: p.anchorY = bounds.T; p.penY = p.ascent; break;
  case kVAlignMiddle: p.anchorY = bounds.MH(); p.penY = 0.5 * (p.ascent - p.descent); break;
  case kVAlignBottom: p.anchorY = bounds.B; p.penY = -p.descent; break;
  }
  return p;
}

void ICanvasCairo::DoDrawText(const IText& text, const char* str, const IRECT& bounds,
                              const IBlend* blend)
{
  if (mSingularTransform)
    return;
  const TextPlacement p = PlaceText(text, str, bounds);
  if (!p.valid)
    return;
  RunHeldFills();
  // Text leaves the caller's path as it was.
  BuildCairoPath();
  cairo_path_t* path = cairo_copy_path(mContext);
  cairo_new_path(mContext);
  // A turned text turns about its aligned point.
  const bool rotated = text.mAngle != 0.f;
  double x = p.anchorX + p.penX, y = p.anchorY + p.penY;
  if (rotated) {
    PathTransformSave();
    PathTransformTranslate(static_cast<float>(p.anchorX), static_cast<float>(p.anchorY));
    PathTransformRotate(text.mAngle);
    x = p.penX;
    y = p.penY;
  }

  SetCairoSource(mContext, IPattern(text.mFGColor), blend);
  const cairo_operator_t op = CairoOperator(blend);
  cairo_move_to(mContext, x, y);
  // Each run leaves the current point where the next one starts.
  if (IsUnboundedOperator(op)) {
    for (const TextRun& run : p.runs) {
      if (p.fontPerRun)
        SelectRunFont(text, run, p.em);
      cairo_text_path(mContext, run.text.c_str());
    }
    cairo_set_fill_rule(mContext, CAIRO_FILL_RULE_WINDING);
    FillWith(op, false);
  } else {
    cairo_set_operator(mContext, op);
    for (const TextRun& run : p.runs) {
      if (p.fontPerRun)
        SelectRunFont(text, run, p.em);
      cairo_show_text(mContext, run.text.c_str());
    }
    cairo_set_operator(mContext, CAIRO_OPERATOR_OVER);
  }

  if (rotated)
    PathTransformRestore();
  cairo_new_path(mContext);
  if (path->status == CAIRO_STATUS_SUCCESS)
    cairo_append_path(mContext, path);
  cairo_path_destroy(path);
}

float ICanvasCairo::DoMeasureText(const IText& text, const char* str, IRECT& bounds)
{
  if (mSingularTransform)
    return 0.f;
  const TextPlacement p = PlaceText(text, str, bounds);
  if (!p.valid)
    return 0.f;
  const double left = p.anchorX + p.penX;
  const double top = p.anchorY + p.penY - p.ascent;
  bounds = IRECT(static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(left + p.advance),
                 static_cast<float>(top + p.ascent + p.descent));
  return static_cast<float>(p.advance);
}

bool ICanvasCairo::LoadAPIFont(const char* fontID, const std::vector<std::uint8_t>& bytes,
                               int faceIndex)
{
  return RegisterCairoFont(fontID, bytes, faceIndex);
}

// ---------------------------------------------------------------------------------------------
// Bitmaps

void ICanvasCairo::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                              const IBlend* blend)
{
  auto* api = dynamic_cast<CairoBitmap*>(bitmap.GetAPIBitmap());
  if (!api || mSingularTransform)
    return;
  // One logical pixel of the bitmap covers s of its device pixels.
  const double s = static_cast<double>(api->GetScale()) * api->GetDrawScale();
  if (DrawBitmapDirect(api->GetSurface(), s, dest, srcX, srcY, blend))
    return;
  RunHeldFills();
  cairo_pattern_t* image = cairo_pattern_create_for_surface(api->GetSurface());
  cairo_matrix_t m;
  cairo_matrix_init_scale(&m, s, s);
  cairo_matrix_translate(&m, -(dest.L - static_cast<double>(srcX)),
                         -(dest.T - static_cast<double>(srcY)));
  cairo_pattern_set_matrix(image, &m);
  cairo_pattern_set_extend(image, CAIRO_EXTEND_NONE);
  cairo_pattern_set_filter(image, CAIRO_FILTER_GOOD);

  PathClear();
  cairo_save(mContext);
  cairo_rectangle(mContext, dest.L, dest.T, dest.W(), dest.H());
  cairo_clip(mContext);
  cairo_set_source(mContext, image);
  cairo_set_operator(mContext, CairoOperator(blend));
  cairo_paint_with_alpha(mContext, BlendWeight(blend));
  cairo_restore(mContext);
  cairo_pattern_destroy(image);
}

bool ICanvasCairo::DrawBitmapDirect(cairo_surface_t* image, double s, const IRECT& dest, int srcX,
                                    int srcY, const IBlend* blend)
{
  if (mReferenceDrawing || !mClipWhole || BlendMethod(blend) != kBlendDefault ||
      BlendWeight(blend) != 1.f || mDeviceMatrix.xx != s || mDeviceMatrix.yy != s)
    return false;
  double l = dest.L, t = dest.T, r = dest.R, b = dest.B;
  if (!ToDevice(l, t) || !ToDevice(r, b))
    return false;
  // Device pixel x shows image pixel x + offset, exactly, when all of these are whole.
  const double offsetX = s * (srcX - static_cast<double>(dest.L)) - mDeviceMatrix.x0;
  const double offsetY = s * (srcY - static_cast<double>(dest.T)) - mDeviceMatrix.y0;
  auto whole = [](double v) { return std::abs(v - std::round(v)) < 1e-6; };
  if (!whole(l) || !whole(t) || !whole(r) || !whole(b) || !whole(offsetX) || !whole(offsetY))
    return false;
  cairo_surface_flush(image);
  const auto* pixels = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(image));
  const int stride = cairo_image_surface_get_stride(image) / 4;
  const int width = cairo_image_surface_get_width(image);
  const int height = cairo_image_surface_get_height(image);
  // Whether the bitmap is opaque is worked out once and kept with it.
  static cairo_user_data_key_t opaqueKey;
  void* known = cairo_surface_get_user_data(image, &opaqueKey);
  if (!known) {
    static int opaque = 1, translucent = 2;
    known = IsOpaqueImage(pixels, stride, width, height) ? &opaque : &translucent;
    cairo_surface_set_user_data(image, &opaqueKey, known, nullptr);
  }
  mHeldFills.CompositeImage(DirectTarget(), image, *static_cast<int*>(known) == 1,
                            static_cast<int>(std::lround(offsetX)),
                            static_cast<int>(std::lround(offsetY)),
                            static_cast<int>(std::lround(std::min(l, r))),
                            static_cast<int>(std::lround(std::min(t, b))),
                            static_cast<int>(std::lround(std::max(l, r))),
                            static_cast<int>(std::lround(std::max(t, b))));
  DirectDone(false);
  return true;
}

bool ICanvasCairo::BitmapExtSupported(const char* ext) const
{
  if (!ext)
    return false;
  std::string lower(ext[0] == '.' ? ext + 1 : ext);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == "png" || lower == "jpg" || lower == "jpeg";
}

std::shared_ptr<APIBitmap> ICanvasCairo::LoadAPIBitmap(const std::string& path, int scale)
{
  return LoadCairoBitmap(path, scale);
}

std::shared_ptr<APIBitmap> ICanvasCairo::LoadAPIBitmap(const std::uint8_t* data, std::size_t size,
                                                       int scale)
{
  return DecodeCairoBitmap(data, size, scale);
}

// ---------------------------------------------------------------------------------------------
// The image

int ICanvasCairo::DeviceWidth() const { return cairo_image_surface_get_width(mSurface); }
int ICanvasCairo::DeviceHeight() const { return cairo_image_surface_get_height(mSurface); }

IColor ICanvasCairo::GetPixel(int x, int y) const
{
  if (x < 0 || y < 0 || x >= DeviceWidth() || y >= DeviceHeight())
    return COLOR_TRANSPARENT;
  RunHeldFills();
  cairo_surface_flush(mSurface);
  const unsigned char* data = cairo_image_surface_get_data(mSurface);
  const int stride = cairo_image_surface_get_stride(mSurface);
  const auto pixel = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride)[x];
  const int a = static_cast<int>(pixel >> 24);
  if (a == 0)
    return COLOR_TRANSPARENT;
  auto channel = [a](std::uint32_t c) {
    return std::min(255, (static_cast<int>(c & 0xffu) * 255 + a / 2) / a);
  };
  return IColor(a, channel(pixel >> 16), channel(pixel >> 8), channel(pixel));
}

bool ICanvasCairo::SavePNG(const std::string& path) const
{
  RunHeldFills();
  cairo_surface_flush(mSurface);
  return cairo_surface_write_to_png(mSurface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

} // namespace umbra::ui
