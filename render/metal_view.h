// The overlay's drawing surface: a GPU view that draws one full-screen quad a
// frame through the shader library's "vertex_main" and "fragment_main",
// scrolls the pattern with the phone's acceleration, fades out while the
// phone is still, pauses (and hides its window) once faded, and resumes with
// motion or when asked.
//
// Views are made by make(), which constructs and then sets up: set-up runs on
// the finished object, so a subclass's setupMetal() and buildPipeline() take
// part. Holders set the pattern type and the fade level through
// setConstantsType() and setConstantsScale() and call applyAcceleration() and
// resumeRendering(); the display timer calls drawRect() once a frame while the
// view is not paused. What changes the picture marks the view as needing
// display, so a screen read before the next frame has that frame drawn
// first. The rest of the state is the view's own and can only be read.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/base/coder.h"
#include "platform/base/geometry.h"
#include "platform/gpu/buffer.h"
#include "platform/gpu/command.h"
#include "platform/gpu/device.h"
#include "platform/gpu/pipeline.h"
#include "platform/gpu/view.h"
#include "render/uniforms.h"

namespace tovelin {

class MetalView : public gpu::View {
 protected:
  // Only make() and subclasses can construct a view, so none is left without
  // its set-up; subclasses take the key in their constructors and pass it on.
  struct Key {
    explicit Key() = default;
  };

 public:
  // From the interface file.
  MetalView(Key key, const base::Coder& coder);
  // In code; set-up replaces the device by the system's default device.
  MetalView(Key key, base::Rect frame, std::shared_ptr<gpu::Device> device);

  // A new view of class T (MetalView or a subclass) from T's constructor
  // arguments after the key, set up once it is complete. Ends the program
  // when there is no GPU device or the pipeline cannot be built.
  template <typename T = MetalView, typename... Args>
  static std::shared_ptr<T> make(Args&&... args) {
    static_assert(std::is_base_of_v<MetalView, T>);
    auto view = std::make_shared<T>(Key{}, std::forward<Args>(args)...);
    static_cast<MetalView&>(*view).setupMetal();
    return view;
  }

  // Shows the window and restarts the frames if the view is paused; never
  // touches constants.scale.
  virtual void resumeRendering();

  // Stores the acceleration, scrolls the pattern by it and resumes rendering
  // when it differs from the last frame's values by more than 0.01.
  virtual void applyAcceleration(double x, double y, double z);

  // The frame: fade, pause check, aspect factors, copy of the constants,
  // draw and present.
  void drawRect(base::Rect dirtyRect) override;

  // What the holders write into the next frames' constants: the pattern
  // (a PatternType) and the fade level; the view scrolls and fades by itself.
  void setConstantsType(int32_t type);
  void setConstantsScale(float scale);

  // The values of the current frame.
  [[nodiscard]] const Uniforms& constants() const { return constants_; }
  // The latest acceleration, and the one the last frame was drawn with.
  [[nodiscard]] double lastx() const { return lastx_; }
  [[nodiscard]] double lasty() const { return lasty_; }
  [[nodiscard]] double lastz() const { return lastz_; }
  [[nodiscard]] double lastx2() const { return lastx2_; }
  [[nodiscard]] double lasty2() const { return lasty2_; }
  [[nodiscard]] double lastz2() const { return lastz2_; }

  // The GPU objects made at set-up; absent before it.
  [[nodiscard]] std::shared_ptr<const gpu::CommandQueue> commandQueue() const {
    return commandQueue_;
  }
  [[nodiscard]] std::shared_ptr<const gpu::RenderPipelineState> pipelineState() const {
    return pipelineState_;
  }
  [[nodiscard]] std::shared_ptr<const gpu::Buffer> vertexBuffer() const { return vertexBuffer_; }
  // Holds the copy of the constants that the last frame handed to the GPU.
  [[nodiscard]] std::shared_ptr<const gpu::Buffer> constantsBuffer() const {
    return constantsBuffer_;
  }

  static constexpr base::ClassTable kClassTable{"MetalView", &gpu::View::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }
  // For the console's window listing: drawing or paused, the pattern, the fade
  // level and the scroll offset.
  [[nodiscard]] std::optional<std::string> consoleStatus() const override;

 protected:
  // Set-up, run once by make() on the complete view: device, pixel format,
  // clear colour, layer, command queue, pipeline, vertex and constants
  // buffers.
  virtual void setupMetal();
  virtual void buildPipeline();

 private:
  // Distance between the latest values and the last frame's.
  [[nodiscard]] double change() const;

  std::shared_ptr<gpu::CommandQueue> commandQueue_;
  std::shared_ptr<gpu::RenderPipelineState> pipelineState_;
  std::shared_ptr<gpu::Buffer> vertexBuffer_;
  std::shared_ptr<gpu::Buffer> constantsBuffer_;
  Uniforms constants_{};
  double lastx_ = 0.0;
  double lasty_ = 0.0;
  double lastz_ = 0.0;
  double lastx2_ = 0.0;
  double lasty2_ = 0.0;
  double lastz2_ = 0.0;
};

}  // namespace tovelin
