#include "platform/ui/image_view.h"

#include <algorithm>
#include <cmath>

namespace ui {

std::shared_ptr<ImageView> ImageView::imageViewWithImage(std::shared_ptr<Image> image) {
  base::Rect frame{};
  if (image) frame.size = image->size();
  auto view = std::make_shared<ImageView>(frame);
  view->setImage(std::move(image));
  return view;
}

std::optional<Pixels> ImageView::snapshotPixels() {
  const int width = static_cast<int>(std::lround(frame().width()));
  const int height = static_cast<int>(std::lround(frame().height()));
  if (!image_ || image_->pixels().empty() || width <= 0 || height <= 0) return std::nullopt;
  const Pixels& src = image_->pixels();
  Pixels out;
  out.width = width;
  out.height = height;
  out.rgba.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  // Nearest sample: the sizes involved are small icons.
  for (int y = 0; y < height; ++y) {
    const int sy = std::min(src.height - 1, y * src.height / height);
    for (int x = 0; x < width; ++x) {
      const int sx = std::min(src.width - 1, x * src.width / width);
      const uint8_t* s = src.at(sx, sy);
      uint8_t* d =
          out.rgba.data() +
          (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4;
      const bool tint = image_->isTemplate();
      d[0] = tint ? 0 : s[0];
      d[1] = tint ? 0 : s[1];
      d[2] = tint ? 0 : s[2];
      d[3] = s[3];
    }
  }
  return out;
}

}  // namespace ui
