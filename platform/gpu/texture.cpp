#include "platform/gpu/texture.h"

#include <GLES3/gl3.h>

#include <algorithm>
#include <cstddef>

#include "platform/gpu/gl_context.h"

namespace gpu {

std::shared_ptr<Texture> Texture::make(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (width > maxSize || height > maxSize) {
    reportOnce("gpu: a drawable of " + std::to_string(width) + "x" + std::to_string(height) +
               " is larger than the driver's limit of " + std::to_string(maxSize));
    return nullptr;
  }
  auto texture = std::shared_ptr<Texture>(new Texture());
  texture->width_ = width;
  texture->height_ = height;
  while (glGetError() != GL_NO_ERROR) {
  }
  glGenTextures(1, &texture->texture_);
  glBindTexture(GL_TEXTURE_2D, texture->texture_);
  glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, width, height);
  glGenFramebuffers(1, &texture->framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, texture->framebuffer_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture->texture_, 0);
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (glGetError() != GL_NO_ERROR || status != GL_FRAMEBUFFER_COMPLETE) {
    reportOnce("gpu: the driver cannot make a drawable of " + std::to_string(width) + "x" +
               std::to_string(height));
    return nullptr;
  }
  return texture;
}

Texture::~Texture() {
  if (framebuffer_ != 0) glDeleteFramebuffers(1, &framebuffer_);
  if (texture_ != 0) glDeleteTextures(1, &texture_);
}

ui::Pixels Texture::readPixels() const {
  ui::Pixels image;
  image.width = width_;
  image.height = height_;
  const size_t row = static_cast<size_t>(width_) * 4;
  image.rgba.resize(row * static_cast<size_t>(height_));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
  // GL's rows run bottom up; images here run top down.
  for (size_t top = 0, bottom = static_cast<size_t>(height_) - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(image.rgba.begin() + static_cast<std::ptrdiff_t>(top * row),
                     image.rgba.begin() + static_cast<std::ptrdiff_t>((top + 1) * row),
                     image.rgba.begin() + static_cast<std::ptrdiff_t>(bottom * row));
  }
  return image;
}

}  // namespace gpu
