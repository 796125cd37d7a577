// The desktop the compositor draws windows over: a soft diagonal gradient,
// a few coloured discs, a light document with rows of text-like stripes, a
// dark terminal with light stripes and a menu bar strip, so that inverting
// (difference) and darkening (multiply) overlays show plainly in snapshots.
// It depends on the size alone.
#pragma once

#include "platform/ui/pixels.h"

namespace ui {

Pixels drawBackdrop(int width, int height);

}  // namespace ui
