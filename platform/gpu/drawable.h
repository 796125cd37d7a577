// Drawables: the textures a GPU view shows, one frame at a time.
//
// A view owns a DrawableSurface, which stands for what the window server
// shows of the view: the texture last presented, and a spare to draw the next
// frame in (two textures, reused while the size stays the same). A drawable
// holds its surface weakly, so presenting after the view is gone does nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/base/object.h"
#include "platform/gpu/texture.h"

namespace gpu {

class DrawableSurface {
 public:
  // A texture of that size to draw the next frame in; nullptr when the
  // driver cannot make one.
  std::shared_ptr<Texture> nextTexture(int width, int height);
  // `texture` becomes what is shown; the one shown before becomes the spare.
  void present(const std::shared_ptr<Texture>& texture);
  // What is shown, or nullptr before the first frame is presented.
  [[nodiscard]] const std::shared_ptr<Texture>& presented() const { return presented_; }
  // How many frames have been presented.
  [[nodiscard]] uint64_t presentCount() const { return presentCount_; }

 private:
  std::shared_ptr<Texture> presented_;
  uint64_t presentCount_ = 0;
  std::shared_ptr<Texture> spare_;
};

class Drawable : public base::Object {
 public:
  Drawable(std::shared_ptr<Texture> texture, std::weak_ptr<DrawableSurface> surface)
      : texture_(std::move(texture)), surface_(std::move(surface)) {}

  [[nodiscard]] const std::shared_ptr<Texture>& texture() const { return texture_; }
  [[nodiscard]] bool isPresented() const { return presented_; }

  // Shows the texture on its surface. Command buffers call this after their
  // drawing has been handed to the driver.
  void present();

  static constexpr base::ClassTable kClassTable{"CAMetalDrawable", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  std::shared_ptr<Texture> texture_;
  std::weak_ptr<DrawableSurface> surface_;
  bool presented_ = false;
};

}  // namespace gpu
