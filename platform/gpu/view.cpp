#include "platform/gpu/view.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace gpu {

View::View(base::Rect frame, std::shared_ptr<Device> device)
    : ui::View(frame), device_(std::move(device)) {
  setWantsLayer(true);
  startDisplayTimer();
}

View::View(const base::Coder& coder) : ui::View(coder) {
  setWantsLayer(true);
  startDisplayTimer();
}

View::~View() = default;

void View::setPaused(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  if (paused_) {
    displayTimer_.reset();
  } else {
    startDisplayTimer();
  }
}

void View::startDisplayTimer() {
  if (paused_ || displayTimer_.active()) return;
  // The view may not be owned by a shared pointer yet (constructors start the
  // timer), so the timer holds a token of the view's life rather than the view.
  std::weak_ptr<int> alive = alive_;
  View* self = this;
  displayTimer_ = base::RunLoop::main().addTimer(kFrameInterval, true, [alive, self] {
    if (alive.expired()) return;
    self->displayTick();
  });
}

void View::displayTick() {
  // Keep the view alive through the frame even if the frame drops the last
  // other reference to it.
  auto keep = weak_from_this().lock();
  if (paused_) return;
  setNeedsDisplay(false);
  drawRect(bounds());
}

void View::displayIfNeeded() {
  if (!needsDisplay() || paused_) return;
  auto keep = weak_from_this().lock();  // through the frame and the timer's restart
  displayTimer_.reset();
  displayTick();
  startDisplayTimer();
}

void View::drawRect(base::Rect /*dirtyRect*/) {}

base::Size View::drawableSize() const {
  const auto pixels = [](double points) { return std::max(0.0, std::round(points)); };
  return base::Size{pixels(frame().width()), pixels(frame().height())};
}

std::shared_ptr<Drawable> View::currentDrawable() {
  const base::Size size = drawableSize();
  const int width = static_cast<int>(std::min(size.width, 1e9));
  const int height = static_cast<int>(std::min(size.height, 1e9));
  if (current_ && !current_->isPresented() && current_->texture()->width() == width &&
      current_->texture()->height() == height) {
    return current_;
  }
  current_.reset();
  if (!device_ || width <= 0 || height <= 0) return nullptr;
  auto texture = surface_->nextTexture(width, height);
  if (!texture) return nullptr;
  current_ = std::make_shared<Drawable>(std::move(texture), surface_);
  return current_;
}

std::shared_ptr<RenderPassDescriptor> View::currentRenderPassDescriptor() {
  auto drawable = currentDrawable();
  if (!drawable) return nullptr;
  auto pass = std::make_shared<RenderPassDescriptor>();
  pass->colorAttachments[0].texture = drawable->texture();
  pass->colorAttachments[0].loadAction = LoadAction::clear;
  pass->colorAttachments[0].clearColor = clearColor_;
  return pass;
}

std::optional<ui::Pixels> View::snapshotPixels() {
  const auto& presented = surface_->presented();
  if (!presented) return std::nullopt;
  ui::Pixels image = presented->readPixels();
  unpremultiply(image);
  return image;
}

void unpremultiply(ui::Pixels& image) {
  // straight = premultiplied * 255 / alpha, rounded, at most 255; by table,
  // as a full-screen read-back has millions of pixels.
  static const std::vector<uint8_t> table = [] {
    std::vector<uint8_t> t(256 * 256, 0);
    for (unsigned alpha = 1; alpha < 256; ++alpha) {
      for (unsigned value = 0; value < 256; ++value) {
        t[alpha * 256 + value] =
            static_cast<uint8_t>(std::min(255u, (value * 255 + alpha / 2) / alpha));
      }
    }
    return t;
  }();
  uint8_t* p = image.rgba.data();
  uint8_t* const end = p + (image.rgba.size() / 4) * 4;
  for (; p != end; p += 4) {
    const unsigned alpha = p[3];
    if (alpha == 255) continue;
    const uint8_t* scale = table.data() + alpha * 256;
    p[0] = scale[p[0]];
    p[1] = scale[p[1]];
    p[2] = scale[p[2]];
  }
}

}  // namespace gpu
