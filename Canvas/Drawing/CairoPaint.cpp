#include "CairoPaint.h"

namespace umbra::ui {

cairo_operator_t CairoOperator(const IBlend* blend)
{
  switch (BlendMethod(blend)) {
  case kBlendDefault: return CAIRO_OPERATOR_OVER;
  case kBlendSourceIn: return CAIRO_OPERATOR_IN;
  case kBlendSourceOut: return CAIRO_OPERATOR_OUT;
  case kBlendSourceAtop: return CAIRO_OPERATOR_ATOP;
  case kBlendDestOver: return CAIRO_OPERATOR_DEST_OVER;
  case kBlendDestIn: return CAIRO_OPERATOR_DEST_IN;
  case kBlendDestOut: return CAIRO_OPERATOR_DEST_OUT;
  case kBlendDestAtop: return CAIRO_OPERATOR_DEST_ATOP;
  case kBlendAdd: return CAIRO_OPERATOR_ADD;
  case kBlendXOR: return CAIRO_OPERATOR_XOR;
  }
  return CAIRO_OPERATOR_OVER;
}

bool IsUnboundedOperator(cairo_operator_t op)
{
  return op == CAIRO_OPERATOR_IN || op == CAIRO_OPERATOR_OUT || op == CAIRO_OPERATOR_DEST_IN ||
         op == CAIRO_OPERATOR_DEST_ATOP || op == CAIRO_OPERATOR_SOURCE ||
         op == CAIRO_OPERATOR_CLEAR;
}

namespace {

double Channel(int32_t v) { return static_cast<double>(v) / 255.0; }

cairo_extend_t CairoExtend(EPatternSpread spread)
{
  switch (spread) {
  case kSpreadNone: return CAIRO_EXTEND_NONE;
  case kSpreadPad: return CAIRO_EXTEND_PAD;
  case kSpreadReflect: return CAIRO_EXTEND_REFLECT;
  case kSpreadRepeat: return CAIRO_EXTEND_REPEAT;
  }
  return CAIRO_EXTEND_PAD;
}

cairo_pattern_t* CreateGradient(const IPattern& pattern)
{
  if (pattern.mKind == kPatternLinear) {
    // The pattern's transform takes the start point to (0, 0) and the end point to (0, 1).
    IMatrix inverse = pattern.mTransform;
    inverse.Invert();
    double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 1.0;
    inverse.Transform(x1, y1);
    inverse.Transform(x2, y2);
    return cairo_pattern_create_linear(x1, y1, x2, y2);
  }
  // Radial: offset 0 at the origin of gradient space, offset 1 on the unit circle around it.
  cairo_pattern_t* gradient = cairo_pattern_create_radial(0.0, 0.0, 0.0, 0.0, 0.0, 1.0);
  // Cairo's pattern matrix maps user space into pattern space, as the pattern's transform does.
  const IMatrix& t = pattern.mTransform;
  cairo_matrix_t m;
  cairo_matrix_init(&m, t.mXX, t.mYX, t.mXY, t.mYY, t.mTX, t.mTY);
  // A matrix without inverse would put the pattern, and every later drawing, in error.
  cairo_matrix_t inverse = m;
  if (cairo_matrix_invert(&inverse) == CAIRO_STATUS_SUCCESS)
    cairo_pattern_set_matrix(gradient, &m);
  return gradient;
}

} // namespace

void SetCairoSource(cairo_t* cr, const IPattern& pattern, const IBlend* blend)
{
  const double weight = static_cast<double>(BlendWeight(blend));
  if (pattern.mKind == kPatternSolid) {
    const IColor c = pattern.NStops() > 0 ? pattern.GetStop(0).mColor : COLOR_TRANSPARENT;
    cairo_set_source_rgba(cr, Channel(c.R), Channel(c.G), Channel(c.B), Channel(c.A) * weight);
    return;
  }
  cairo_pattern_t* gradient = CreateGradient(pattern);
  for (int i = 0; i < pattern.NStops(); ++i) {
    const IColorStop& stop = pattern.GetStop(i);
    const IColor& c = stop.mColor;
    cairo_pattern_add_color_stop_rgba(gradient, static_cast<double>(stop.mOffset), Channel(c.R),
                                      Channel(c.G), Channel(c.B), Channel(c.A) * weight);
  }
  cairo_pattern_set_extend(gradient, CairoExtend(pattern.mSpread));
  cairo_set_source(cr, gradient);
  cairo_pattern_destroy(gradient);
}

} // namespace umbra::ui
