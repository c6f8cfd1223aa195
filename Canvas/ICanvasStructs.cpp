#include "ICanvasStructs.h"

#include <cmath>

namespace umbra::ui {

bool IRECT::Contains(float x, float y) const
{
  if (Empty())
    return false;
  return x >= L && x < R && y >= T && y < B;
}

// The transform maps the start point to the origin of gradient space and the end point to
// (0, 1): the gradient runs along gradient y. The back end inverts it to get the end points back.
IPattern IPattern::CreateLinearGradient(float x1, float y1, float x2, float y2,
                                        std::initializer_list<IColorStop> stops)
{
  IPattern pattern(kPatternLinear);
  pattern.mSpread = kSpreadPad;

  const double dx = static_cast<double>(x2) - x1;
  const double dy = static_cast<double>(y2) - y1;
  const double d = std::sqrt(dx * dx + dy * dy);
  const double a = std::atan2(dx, dy); // dx first: the angle is measured from the y axis
  const double s = std::sin(a) / d;
  const double c = std::cos(a) / d;
  pattern.mTransform = IMatrix(c, s, -s, c, -(x1 * c - y1 * s), -(x1 * s + y1 * c));

  for (const IColorStop& stop : stops)
    pattern.AddStop(stop.mColor, stop.mOffset);
  return pattern;
}

} // namespace umbra::ui
