#pragma once

#include <cairo.h>

#include "ICanvasStructs.h"

namespace umbra::ui {

// The Cairo operator for a blend; no blend is source-over.
cairo_operator_t CairoOperator(const IBlend* blend);

// Operators that change the destination outside the shape drawn (where the source is empty).
// A blend means "composite this shape", so these are confined to the shape by the caller.
bool IsUnboundedOperator(cairo_operator_t op);

// Makes the pattern the source of cr, every colour's alpha scaled by the blend weight. A
// gradient is placed in the user space current at this call.
void SetCairoSource(cairo_t* cr, const IPattern& pattern, const IBlend* blend);

} // namespace umbra::ui
