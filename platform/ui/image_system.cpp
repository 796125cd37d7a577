// The platform's named system images, drawn from a few shapes so that they
// need no image files: a warning triangle, an information disc and a
// computer screen, 32 by 32 points each.
#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/ui/image.h"

namespace ui {
namespace {

constexpr int kSize = 32;

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;
};

// The colour at a point of the picture; x right, y down, in points.
using Shader = std::function<Rgba(double x, double y)>;

// Samples the shader 4x4 times in each pixel so the edges are smooth.
Pixels rasterize(const Shader& shade) {
  constexpr int kSub = 4;
  Pixels out;
  out.width = kSize;
  out.height = kSize;
  out.rgba.resize(size_t{kSize} * kSize * 4);
  for (int py = 0; py < kSize; ++py) {
    for (int px = 0; px < kSize; ++px) {
      Rgba sum;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          const Rgba c = shade(px + (sx + 0.5) / kSub, py + (sy + 0.5) / kSub);
          sum.r += c.r * c.a;
          sum.g += c.g * c.a;
          sum.b += c.b * c.a;
          sum.a += c.a;
        }
      }
      uint8_t* p = out.rgba.data() + static_cast<size_t>((py * kSize + px) * 4);
      const double a = sum.a / (kSub * kSub);
      auto channel = [&](double premultiplied) {
        const double v = sum.a > 0 ? premultiplied / sum.a : 0;
        return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
      };
      p[0] = channel(sum.r);
      p[1] = channel(sum.g);
      p[2] = channel(sum.b);
      p[3] = static_cast<uint8_t>(std::lround(std::clamp(a, 0.0, 1.0) * 255));
    }
  }
  return out;
}

bool inCircle(double x, double y, double cx, double cy, double r) {
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

bool inRoundedRect(double x, double y, double x0, double y0, double x1, double y1, double r) {
  if (x < x0 || x > x1 || y < y0 || y > y1) return false;
  const double cx = std::clamp(x, x0 + r, x1 - r);
  const double cy = std::clamp(y, y0 + r, y1 - r);
  return inCircle(x, y, cx, cy, r);
}

// Inside the upward triangle with apex (cx, top) and base from x0 to x1 at `base`.
bool inTriangle(double x, double y, double cx, double top, double x0, double x1, double base) {
  if (y < top || y > base) return false;
  const double t = (y - top) / (base - top);
  return x >= cx - t * (cx - x0) && x <= cx + t * (x1 - cx);
}

Rgba caution(double x, double y) {
  const Rgba ink{0.12, 0.1, 0.05, 1};
  if (inRoundedRect(x, y, 14.6, 10.5, 17.4, 21.5, 1.4) || inCircle(x, y, 16, 25, 1.7)) return ink;
  if (inTriangle(x, y, 16, 4.5, 4.2, 27.8, 28)) return {1.0, 0.8, 0.1, 1};
  if (inTriangle(x, y, 16, 2, 1.5, 30.5, 29.5)) return {0.8, 0.55, 0.0, 1};
  return {};
}

Rgba info(double x, double y) {
  if (inCircle(x, y, 16, 9.5, 2.2) || inRoundedRect(x, y, 14, 13, 18, 24.5, 1)) {
    return {1, 1, 1, 1};
  }
  if (inCircle(x, y, 16, 16, 13.5)) return {0.1, 0.45, 0.95, 1};
  if (inCircle(x, y, 16, 16, 14.5)) return {0.05, 0.3, 0.75, 1};
  return {};
}

Rgba computer(double x, double y) {
  if (inRoundedRect(x, y, 5, 7, 27, 20, 0.5)) {
    const double shade = 0.15 * (y - 7) / 13;
    return {0.35 + shade, 0.6 + shade, 0.95, 1};
  }
  if (inRoundedRect(x, y, 3, 5, 29, 23, 2)) return {0.22, 0.22, 0.25, 1};
  if (inRoundedRect(x, y, 13.5, 23, 18.5, 26.5, 0)) return {0.6, 0.6, 0.63, 1};
  if (inRoundedRect(x, y, 9, 26, 23, 28.5, 1)) return {0.5, 0.5, 0.53, 1};
  return {};
}

}  // namespace

std::optional<Pixels> drawSystemImage(const std::string& name) {
  if (name == ImageNameCaution) return rasterize(caution);
  if (name == ImageNameInfo) return rasterize(info);
  if (name == ImageNameComputer) return rasterize(computer);
  return std::nullopt;
}

}  // namespace ui
