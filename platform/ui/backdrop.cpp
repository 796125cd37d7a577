#include "platform/ui/backdrop.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/ui/canvas.h"
#include "platform/ui/screen.h"

namespace ui {
namespace {

// A small deterministic hash for line lengths and word breaks.
uint32_t mix(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7feb352dU;
  v ^= v >> 15;
  v *= 0x846ca68bU;
  v ^= v >> 16;
  return v;
}

void gradient(Pixels& image) {
  const double top[3] = {0.26, 0.42, 0.66};
  const double bottom[3] = {0.93, 0.70, 0.52};
  for (int y = 0; y < image.height; ++y) {
    uint8_t* p = image.rgba.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width) * 4;
    for (int x = 0; x < image.width; ++x, p += 4) {
      const double t =
          0.6 * y / std::max(1, image.height - 1) + 0.4 * x / std::max(1, image.width - 1);
      for (int c = 0; c < 3; ++c) p[c] = canvas::toByte(top[c] + (bottom[c] - top[c]) * t);
      p[3] = 255;
    }
  }
}

void disc(Pixels& image, double cx, double cy, double r, Color color) {
  const int y0 = std::max(0, static_cast<int>(cy - r));
  const int y1 = std::min(image.height - 1, static_cast<int>(cy + r));
  for (int y = y0; y <= y1; ++y) {
    const double dy = y + 0.5 - cy;
    const double half = r * r - dy * dy;
    if (half <= 0) continue;
    const double dx = std::sqrt(half);
    const int x0 = static_cast<int>(std::lround(cx - dx));
    const int x1 = static_cast<int>(std::lround(cx + dx));
    canvas::fillRect(image, x0, y, x1 - x0, 1, color);
  }
}

// Rows of word-like stripes inside a panel.
void textRows(Pixels& image, int x, int y, int w, int h, int row, Color ink, uint32_t seed) {
  const int bar = std::max(2, row * 45 / 100);
  const int charWidth = std::max(2, row * 35 / 100);
  for (int r = 0, top = y; top + bar <= y + h; ++r, top += row) {
    const uint32_t hash = mix(seed * 977U + static_cast<uint32_t>(r));
    const int length = w * static_cast<int>(55 + hash % 41) / 100;
    int col = 0;
    for (uint32_t word = 0; col < length; ++word) {
      const int chars = 2 + static_cast<int>(mix(hash + word) % 8);
      const int wordWidth = std::min(chars * charWidth, length - col);
      canvas::fillRect(image, x + col, top, wordWidth, bar, ink);
      col += wordWidth + charWidth;
    }
  }
}

}  // namespace

Pixels drawBackdrop(int width, int height) {
  Pixels image = canvas::blank(width, height);
  if (image.empty()) return image;
  gradient(image);
  const double w = width;
  const double h = height;
  const double m = std::min(w, h);
  disc(image, 0.18 * w, 0.30 * h, 0.11 * m, Color{0.20, 0.70, 0.45, 1});
  disc(image, 0.36 * w, 0.50 * h, 0.07 * m, Color{0.96, 0.86, 0.25, 1});
  disc(image, 0.86 * w, 0.80 * h, 0.13 * m, Color{0.75, 0.25, 0.55, 1});

  auto px = [](double v) { return static_cast<int>(std::lround(v)); };
  const int row = std::max(6, height / 60);
  // A document: light page, grey title bar, dark text.
  const int dx = px(0.46 * w);
  const int dy = px(0.14 * h);
  const int dw = px(0.32 * w);
  const int dh = px(0.44 * h);
  canvas::fillRect(image, dx, dy, dw, dh, Color{0.97, 0.97, 0.95, 1});
  canvas::fillRect(image, dx, dy, dw, std::max(3, px(0.03 * h)), Color{0.82, 0.82, 0.84, 1});
  const int margin = std::max(2, dw / 20);
  textRows(image, dx + margin, dy + std::max(3, px(0.03 * h)) + row, dw - 2 * margin,
           dh - std::max(3, px(0.03 * h)) - 2 * row, row, Color{0.20, 0.20, 0.25, 1}, 1);
  // A terminal: dark panel, light green text.
  const int tx = px(0.06 * w);
  const int ty = px(0.66 * h);
  const int tw = px(0.30 * w);
  const int th = px(0.26 * h);
  canvas::fillRect(image, tx, ty, tw, th, Color{0.11, 0.12, 0.15, 1});
  textRows(image, tx + margin, ty + row, tw - 2 * margin, th - 2 * row, row,
           Color{0.55, 0.90, 0.60, 1}, 2);
  // The menu bar along the top.
  const int bar = std::min(height, static_cast<int>(Screen::kMenuBarHeight));
  canvas::fillRect(image, 0, 0, width, bar, Color{0.93, 0.93, 0.93, 1});
  textRows(image, std::max(2, width / 100), bar / 4, width / 3, bar / 2 + 1, std::max(2, bar / 2),
           Color{0.15, 0.15, 0.15, 1}, 3);
  return image;
}

}  // namespace ui
