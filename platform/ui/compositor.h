// What the main screen would show: a desktop backdrop, then every shown
// window in level order (equal levels: the one brought to the front last is
// on top).
//
// Each window first lays its background colour over the screen (normal
// blending, times the window's alpha), then its view tree, flattened in
// order (views that give snapshotPixels() draw those; others draw nothing of
// their own), is blended over the result with the compositing filter of the
// content view's layer and the window's alpha. For a source pixel of
// non-premultiplied colour Cs and coverage as (its alpha times the window's
// alpha) over the opaque Cb beneath: result = (1 - as) * Cb + as * B(Cb, Cs),
// with B = Cs (normal), |Cb - Cs| ("differenceBlendMode"), Cb * Cs
// ("multiplyBlendMode").
//
// Views that draw by frames and changed since their last one draw it first
// (View::displayIfNeeded()), so the screen shows every change made before it.
//
// Window and view frames have their origin at the bottom left, y up; images
// have their rows top first.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/base/result.h"
#include "platform/ui/pixels.h"

namespace ui {

class Window;

class Compositor {
 public:
  // The main screen (size from the platform options) with the application's
  // windows.
  static Pixels composeMainScreen();
  // A screen of `width` x `height` with the given windows (hidden ones are
  // skipped).
  static Pixels compose(const std::vector<std::shared_ptr<Window>>& windows, int width, int height);
  // The desktop alone: a soft gradient with shapes and text-like stripes, the
  // same for the same size.
  static Pixels desktopBackdrop(int width, int height);

  // Writes composeMainScreen() as PNG.
  static base::Result<void> snapshot(const std::string& path);
};

}  // namespace ui
