#pragma once
// Rendering layer trees to pictures, with the presentation values at a
// given clock time (animations in flight are drawn where they are).

#include <cairo.h>

#include "platform/ui/Image.h"
#include "platform/ui/Layer.h"

namespace ui {

// Draws the layer, placed by its position and transform, into cr's user
// space (the superlayer's bounds space). deviceScale: pixels per point.
void renderLayer(cairo_t* cr, Layer& layer, double time, double deviceScale);
// Draws the layer in its own bounds space (position and transform ignored).
void renderLayerBody(cairo_t* cr, Layer& layer, double time, double deviceScale);
// The layer in its own bounds space as a picture of bounds size x scale.
ImageRef renderLayerToImage(Layer& layer, double scale, double time);
ImageRef renderLayerToImage(Layer& layer, double scale);  // at the clock's now

}  // namespace ui
