#include "platform/ui/compositor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/base/options.h"
#include "platform/ui/backdrop.h"
#include "platform/ui/canvas.h"
#include "platform/ui/png.h"
#include "platform/ui/window.h"

namespace ui {
namespace {

enum class Blend { normal, difference, multiply };

Blend blendOf(const std::shared_ptr<View>& content) {
  if (!content || !content->layer()) return Blend::normal;
  const auto& filter = content->layer()->compositingFilter();
  if (!filter) return Blend::normal;
  if (*filter == "differenceBlendMode") return Blend::difference;
  if (*filter == "multiplyBlendMode") return Blend::multiply;
  return Blend::normal;  // filters the stand-in does not know composite normally
}

// A window-sized layer of premultiplied colour, into which the view tree is
// flattened before it is blended with the screen.
struct Layer {
  int width = 0;
  int height = 0;
  std::vector<float> rgba;  // premultiplied, 0..1
};

struct IRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

// Lays `image` (scaled to `dst`, nearest pixel) over the layer, source-over.
void drawImage(Layer& layer, const Pixels& image, IRect dst) {
  if (image.empty() || dst.w <= 0 || dst.h <= 0) return;
  const int x0 = std::max(0, dst.x);
  const int y0 = std::max(0, dst.y);
  const int x1 = std::min(layer.width, dst.x + dst.w);
  const int y1 = std::min(layer.height, dst.y + dst.h);
  for (int y = y0; y < y1; ++y) {
    const int sy = static_cast<int>(static_cast<int64_t>(y - dst.y) * image.height / dst.h);
    float* out =
        layer.rgba.data() +
        (static_cast<size_t>(y) * static_cast<size_t>(layer.width) + static_cast<size_t>(x0)) * 4;
    for (int x = x0; x < x1; ++x, out += 4) {
      const int sx = static_cast<int>(static_cast<int64_t>(x - dst.x) * image.width / dst.w);
      const uint8_t* p = image.at(sx, sy);
      const float a = static_cast<float>(p[3]) / 255.0F;
      if (a <= 0) continue;
      const float keep = 1.0F - a;
      for (int c = 0; c < 3; ++c) {
        out[c] = static_cast<float>(p[c]) / 255.0F * a + out[c] * keep;
      }
      out[3] = a + out[3] * keep;
    }
  }
}

// Draws `view` and its subviews; `rect` is the view's place in the layer
// (top-left origin).
void drawTree(Layer& layer, View& view, IRect rect) {
  if (view.isHidden()) return;
  if (auto pixels = view.snapshotPixels()) drawImage(layer, *pixels, rect);
  const double height = view.frame().height();
  for (const auto& sub : view.subviews()) {
    const base::Rect f = sub->frame();
    const double top = view.isFlipped() ? f.minY() : height - f.maxY();
    IRect r{rect.x + static_cast<int>(std::lround(f.minX())),
            rect.y + static_cast<int>(std::lround(top)), static_cast<int>(std::lround(f.width())),
            static_cast<int>(std::lround(f.height()))};
    drawTree(layer, *sub, r);
  }
}

float blendChannel(Blend mode, float cb, float cs) {
  switch (mode) {
    case Blend::difference:
      return std::fabs(cb - cs);
    case Blend::multiply:
      return cb * cs;
    case Blend::normal:
      break;
  }
  return cs;
}

// result = (1 - as) * Cb + as * B(Cb, Cs), with Cs non-premultiplied and
// as = the layer's coverage times the window's alpha.
void blendLayer(Pixels& screen, const Layer& layer, IRect at, Blend mode, float alpha) {
  const int x0 = std::max(0, at.x);
  const int y0 = std::max(0, at.y);
  const int x1 = std::min(screen.width, at.x + layer.width);
  const int y1 = std::min(screen.height, at.y + layer.height);
  for (int y = y0; y < y1; ++y) {
    const float* src =
        layer.rgba.data() + (static_cast<size_t>(y - at.y) * static_cast<size_t>(layer.width) +
                             static_cast<size_t>(x0 - at.x)) *
                                4;
    uint8_t* dst =
        screen.rgba.data() +
        (static_cast<size_t>(y) * static_cast<size_t>(screen.width) + static_cast<size_t>(x0)) * 4;
    for (int x = x0; x < x1; ++x, src += 4, dst += 4) {
      const float coverage = src[3];
      if (coverage <= 0) continue;
      const float as = std::min(1.0F, coverage * alpha);
      for (int c = 0; c < 3; ++c) {
        const float cb = static_cast<float>(dst[c]) / 255.0F;
        const float cs = std::min(1.0F, src[c] / coverage);
        const float v = (1.0F - as) * cb + as * blendChannel(mode, cb, cs);
        dst[c] = static_cast<uint8_t>(std::lround(std::clamp(v, 0.0F, 1.0F) * 255.0F));
      }
      dst[3] = 255;
    }
  }
}

void compositeWindow(Pixels& screen, Window& window) {
  const base::Rect f = window.frame();
  const IRect at{static_cast<int>(std::lround(f.minX())),
                 screen.height - static_cast<int>(std::lround(f.maxY())),
                 static_cast<int>(std::lround(f.width())),
                 static_cast<int>(std::lround(f.height()))};
  if (at.w <= 0 || at.h <= 0) return;
  const double alpha = std::clamp(window.alphaValue(), 0.0, 1.0);
  if (alpha <= 0) return;

  Color background = window.backgroundColor();
  background.alpha = std::clamp(background.alpha, 0.0, 1.0) * alpha;
  canvas::fillRect(screen, at.x, at.y, at.w, at.h, background);

  const auto& content = window.contentView();
  if (!content || content->isHidden()) return;
  // Only the part of the window on screen needs a layer.
  const IRect visible{std::max(0, at.x), std::max(0, at.y),
                      std::min(screen.width, at.x + at.w) - std::max(0, at.x),
                      std::min(screen.height, at.y + at.h) - std::max(0, at.y)};
  if (visible.w <= 0 || visible.h <= 0) return;
  Layer layer;
  layer.width = visible.w;
  layer.height = visible.h;
  layer.rgba.assign(static_cast<size_t>(visible.w) * static_cast<size_t>(visible.h) * 4, 0.0F);
  const base::Rect cf = content->frame();
  const IRect contentRect{at.x - visible.x + static_cast<int>(std::lround(cf.minX())),
                          at.y - visible.y + (at.h - static_cast<int>(std::lround(cf.maxY()))),
                          static_cast<int>(std::lround(cf.width())),
                          static_cast<int>(std::lround(cf.height()))};
  drawTree(layer, *content, contentRect);
  blendLayer(screen, layer, visible, blendOf(content), static_cast<float>(alpha));
}

// Has the views under `view` that are behind their state draw now.
void displayTreeIfNeeded(View& view) {
  if (view.isHidden()) return;
  view.displayIfNeeded();
  // A copy: a frame may change the tree it is drawn in.
  const auto subviews = view.subviews();
  for (const auto& sub : subviews) displayTreeIfNeeded(*sub);
}

}  // namespace

Pixels Compositor::desktopBackdrop(int width, int height) {
  // It depends on the size alone, and drawing it costs more than a copy.
  static Pixels cached;
  if (cached.width != width || cached.height != height || cached.empty()) {
    cached = drawBackdrop(width, height);
  }
  return cached;
}

Pixels Compositor::compose(const std::vector<std::shared_ptr<Window>>& windows, int width,
                           int height) {
  Pixels screen = desktopBackdrop(width, height);
  if (screen.empty()) return screen;
  // What was changed since a view's last frame shows now, not at its next
  // frame. That frame may hide its window (a faded overlay), so the windows
  // shown are taken after it.
  for (const auto& w : windows) {
    if (!w || !w->isVisible()) continue;
    if (const auto content = w->contentView()) displayTreeIfNeeded(*content);
  }
  std::vector<std::shared_ptr<Window>> shown;
  for (const auto& w : windows) {
    if (w && w->isVisible()) shown.push_back(w);
  }
  std::stable_sort(shown.begin(), shown.end(), [](const auto& a, const auto& b) {
    if (a->level() != b->level()) return a->level() < b->level();
    return a->orderStamp() < b->orderStamp();
  });
  for (const auto& w : shown) compositeWindow(screen, *w);
  return screen;
}

Pixels Compositor::composeMainScreen() {
  const auto& options = base::platformOptions();
  return compose(Window::allWindows(), options.screenWidth, options.screenHeight);
}

base::Result<void> Compositor::snapshot(const std::string& path) {
  return writePng(path, composeMainScreen());
}

}  // namespace ui
