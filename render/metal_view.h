// The overlay's drawing surface: a GPU view that draws one full-screen quad a
// frame through the shader library's "vertex_main" and "fragment_main",
// scrolls the pattern with the phone's acceleration, fades out while the
// phone is still, pauses (and hides its window) once faded, and resumes with
// motion or when asked.
//
// Holders write constants.type and constants.scale directly and call
// applyAcceleration() and resumeRendering(); the display timer calls
// drawRect() once a frame while the view is not paused.
#pragma once

#include <memory>
#include <optional>
#include <string>

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
 public:
  // From the interface file.
  explicit MetalView(const base::Coder& coder);
  // In code; the device is replaced by the system's default device.
  MetalView(base::Rect frame, std::shared_ptr<gpu::Device> device);

  // Set-up, run once by each constructor: device, pixel format, clear colour,
  // layer, command queue, pipeline, vertex and constants buffers. Ends the
  // program when there is no GPU device or the pipeline cannot be built.
  virtual void setupMetal();
  virtual void buildPipeline();

  // Shows the window and restarts the frames if the view is paused; never
  // touches constants.scale.
  virtual void resumeRendering();

  // Stores the acceleration, scrolls the pattern by it and resumes rendering
  // when it differs from the last frame's values by more than 0.01.
  virtual void applyAcceleration(double x, double y, double z);

  // The frame: fade, pause check, aspect factors, copy of the constants,
  // draw and present.
  void drawRect(base::Rect dirtyRect) override;

  static constexpr base::ClassTable kClassTable{"MetalView", &gpu::View::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }
  // For the console's window listing: drawing or paused, the pattern, the fade
  // level and the scroll offset.
  [[nodiscard]] std::optional<std::string> consoleStatus() const override;

  std::shared_ptr<gpu::CommandQueue> commandQueue;
  std::shared_ptr<gpu::RenderPipelineState> pipelineState;
  std::shared_ptr<gpu::Buffer> vertexBuffer;
  std::shared_ptr<gpu::Buffer> constantsBuffer;
  Uniforms constants{};
  double lastx = 0.0;
  double lasty = 0.0;
  double lastz = 0.0;
  double lastx2 = 0.0;
  double lasty2 = 0.0;
  double lastz2 = 0.0;

 private:
  // Distance between the latest values and the last frame's.
  [[nodiscard]] double change() const;
};

}  // namespace tovelin
