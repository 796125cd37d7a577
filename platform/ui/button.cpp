#include "platform/ui/button.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/canvas.h"

namespace ui {

std::shared_ptr<Button> Button::make(std::string title, const std::shared_ptr<base::Object>& target,
                                     std::optional<std::string> action) {
  auto button = std::make_shared<Button>(base::makeRect(0, 0, 80, 24));
  button->setTitle(std::move(title));
  button->setTarget(target);
  button->setAction(std::move(action));
  return button;
}

Button::Button(const base::Coder& coder) : Control(coder) {
  if (auto title = coder.decodeString("title")) title_ = std::move(*title);
  if (auto tag = coder.decodeDouble("tag")) tag_ = static_cast<long>(*tag);
}

bool Button::performClick(const std::shared_ptr<base::Object>& /*sender*/) { return sendAction(); }

std::optional<Pixels> Button::snapshotPixels() {
  const int w = static_cast<int>(std::lround(frame().width()));
  const int h = static_cast<int>(std::lround(frame().height()));
  Pixels image = canvas::blank(w, h);
  if (image.empty()) return image;
  canvas::fillRect(image, 0, 0, w, h, Color{0.98, 0.98, 0.98, 1});
  canvas::strokeRect(image, 0, 0, w, h, Color{0.55, 0.55, 0.55, 1});
  // The title as one dark stripe, centred, 6.5 points a character.
  const int textWidth =
      std::min(w - 8, static_cast<int>(std::lround(6.5 * static_cast<double>(title_.size()))));
  const int barHeight = std::min(7, std::max(1, h - 6));
  canvas::fillRect(image, (w - textWidth) / 2, (h - barHeight) / 2, textWidth, barHeight,
                   isEnabled() ? Color{0.15, 0.15, 0.15, 1} : Color{0.6, 0.6, 0.6, 1});
  return image;
}

}  // namespace ui
