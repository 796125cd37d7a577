#include "platform/gpu/drawable.h"

namespace gpu {

std::shared_ptr<Texture> DrawableSurface::nextTexture(int width, int height) {
  if (spare_ && (spare_->width() != width || spare_->height() != height)) spare_.reset();
  if (!spare_) spare_ = Texture::make(width, height);
  return spare_;
}

void DrawableSurface::present(const std::shared_ptr<Texture>& texture) {
  if (!texture || texture == presented_) return;
  std::shared_ptr<Texture> previous = std::move(presented_);
  presented_ = texture;
  ++presentCount_;
  if (spare_ == texture) spare_ = std::move(previous);
}

void Drawable::present() {
  if (presented_) return;
  presented_ = true;
  if (auto surface = surface_.lock()) surface->present(texture_);
}

}  // namespace gpu
