// Small drawing helpers for views that paint themselves for the compositor
// (buttons, text fields): filled and outlined rectangles on an image.
#pragma once

#include "platform/ui/color.h"
#include "platform/ui/pixels.h"

namespace ui::canvas {

// A transparent image of `width` x `height` (sizes below 1 give an empty one).
Pixels blank(int width, int height);

// Lays `color` over the rectangle (x, y from the top left), clipped to the
// image, with normal (source-over) blending of non-premultiplied colours.
void fillRect(Pixels& image, int x, int y, int width, int height, Color color);

// A one-pixel outline just inside the rectangle.
void strokeRect(Pixels& image, int x, int y, int width, int height, Color color);

// Non-premultiplied 8-bit channel of a component from 0 to 1.
uint8_t toByte(double component);

}  // namespace ui::canvas
