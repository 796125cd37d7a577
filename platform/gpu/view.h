// The GPU drawing view: a view whose content is drawn by the GPU, frame by
// frame, from its own display timer.
//
// While it is not paused, a 60 Hz timer on the main run loop calls drawRect()
// with the view's bounds; pausing drops the timer, so a paused view costs
// nothing. The drawable follows the view's frame, one pixel a point. A frame
// takes currentDrawable() and currentRenderPassDescriptor(), draws, and has
// its command buffer present the drawable; what was last presented is what
// the compositor reads through snapshotPixels(). A view whose state changed
// since its last frame is marked as needing display, and the compositor has
// it draw that frame at once (displayIfNeeded()), so that the screen read
// shows every change made before it.
//
// The view's layer composites its content as premultiplied colour: the
// fragment functions write colour already multiplied by alpha, and
// snapshotPixels() hands it back straight (not premultiplied) as ui::Pixels
// expects.
#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "platform/base/coder.h"
#include "platform/base/geometry.h"
#include "platform/base/run_loop.h"
#include "platform/gpu/command.h"
#include "platform/gpu/device.h"
#include "platform/gpu/drawable.h"
#include "platform/gpu/types.h"
#include "platform/ui/view.h"

namespace gpu {

class View : public ui::View {
 public:
  // The interval of the display timer: 60 frames a second.
  static constexpr std::chrono::nanoseconds kFrameInterval{16'666'667};

  View(base::Rect frame, std::shared_ptr<Device> device);
  // From an interface file: the attributes of ui::View; no device yet.
  explicit View(const base::Coder& coder);
  ~View() override;

  [[nodiscard]] const std::shared_ptr<Device>& device() const { return device_; }
  void setDevice(std::shared_ptr<Device> device) { device_ = std::move(device); }

  [[nodiscard]] PixelFormat colorPixelFormat() const { return colorPixelFormat_; }
  void setColorPixelFormat(PixelFormat format) { colorPixelFormat_ = format; }

  // The clear colour of the render passes the view hands out.
  [[nodiscard]] ClearColor clearColor() const { return clearColor_; }
  void setClearColor(ClearColor color) { clearColor_ = color; }

  [[nodiscard]] bool isPaused() const { return paused_; }
  void setPaused(bool paused);

  // The drawable's size in pixels: the frame's size, rounded.
  [[nodiscard]] base::Size drawableSize() const;

  // The drawable of the frame being drawn (the same one until it is
  // presented); nullptr without a device or with an empty drawable size.
  std::shared_ptr<Drawable> currentDrawable();
  // A new pass that clears the current drawable to clearColor(); nullptr
  // when there is no current drawable.
  std::shared_ptr<RenderPassDescriptor> currentRenderPassDescriptor();

  // The draw entry point, called by the display timer once a frame.
  virtual void drawRect(base::Rect dirtyRect);

  // Draws the next frame now when the view needs display and is not paused
  // (a paused view keeps showing its last frame); the display timer starts
  // over from it, so the frames keep their rate.
  void displayIfNeeded() override;

  // How many frames the view has presented: a frame that draws nothing new
  // to the eye is told apart from no frame.
  [[nodiscard]] uint64_t presentedFrameCount() const { return surface_->presentCount(); }

  // The last presented drawable, read back now (straight RGBA, top row
  // first); none before the first frame is presented.
  std::optional<ui::Pixels> snapshotPixels() override;

  static constexpr base::ClassTable kClassTable{"MTKView", &ui::View::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  void startDisplayTimer();
  void displayTick();

  std::shared_ptr<Device> device_;
  PixelFormat colorPixelFormat_ = PixelFormat::bgra8Unorm;
  ClearColor clearColor_{0, 0, 0, 1};
  bool paused_ = false;
  std::shared_ptr<DrawableSurface> surface_ = std::make_shared<DrawableSurface>();
  std::shared_ptr<Drawable> current_;
  // Lets the timer tell that the view it was made for is still alive.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  base::Handle displayTimer_;
};

// Turns premultiplied RGBA into straight RGBA, in place.
void unpremultiply(ui::Pixels& image);

}  // namespace gpu
