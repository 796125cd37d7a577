// An image in memory: 8-bit RGBA, not premultiplied, rows top first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ui {

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4 bytes

  [[nodiscard]] bool empty() const { return width <= 0 || height <= 0; }
  [[nodiscard]] const uint8_t* at(int x, int y) const {
    return rgba.data() +
           (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4;
  }
};

}  // namespace ui
