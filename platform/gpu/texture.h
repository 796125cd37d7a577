// A render target: an 8-bit RGBA texture with its framebuffer object.
#pragma once

#include <memory>

#include "platform/base/object.h"
#include "platform/gpu/types.h"
#include "platform/ui/pixels.h"

namespace gpu {

class Texture : public base::Object {
 public:
  // A texture of `width` by `height` pixels; nullptr (reason on standard
  // error) when the driver cannot make one of that size.
  static std::shared_ptr<Texture> make(int width, int height);
  ~Texture() override;

  [[nodiscard]] int width() const { return width_; }
  [[nodiscard]] int height() const { return height_; }
  [[nodiscard]] PixelFormat pixelFormat() const { return PixelFormat::bgra8Unorm; }
  [[nodiscard]] unsigned framebuffer() const { return framebuffer_; }

  // The texture's bytes as the fragment functions wrote them (RGBA, no
  // conversion), top row first. Waits for the drawing to finish.
  [[nodiscard]] ui::Pixels readPixels() const;

  static constexpr base::ClassTable kClassTable{"MTLTexture", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  Texture() = default;
  int width_ = 0;
  int height_ = 0;
  unsigned texture_ = 0;
  unsigned framebuffer_ = 0;
};

}  // namespace gpu
