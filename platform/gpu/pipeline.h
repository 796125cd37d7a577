// Render pipelines: a vertex and a fragment function linked into one GL
// program, with the buffer slots its uniform blocks read.
//
// Building compiles both functions and links them; whatever the driver refuses
// comes back as the error, with the driver's own log. Pipelines do no
// blending: what a fragment function writes is what the drawable holds.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "platform/base/object.h"
#include "platform/gpu/library.h"
#include "platform/gpu/types.h"

namespace gpu {

// Buffer slots per stage (the encoder's indices 0 to kBufferSlots - 1).
inline constexpr unsigned kBufferSlots = 12;

struct RenderPipelineColorAttachmentDescriptor {
  PixelFormat pixelFormat = PixelFormat::invalid;
};

struct RenderPipelineDescriptor {
  std::shared_ptr<Function> vertexFunction;
  std::shared_ptr<Function> fragmentFunction;
  // One colour attachment: drawables have one.
  std::array<RenderPipelineColorAttachmentDescriptor, 1> colorAttachments{};
};

class RenderPipelineState : public base::Object {
 public:
  // A uniform block the program reads, and the slot it reads it from.
  struct BufferUse {
    FunctionType stage;
    unsigned index;       // the encoder's slot
    unsigned binding;     // the GL uniform buffer binding point
    size_t minimumBytes;  // the block's size: a shorter buffer is refused at draw
  };

  static Result<RenderPipelineState> build(const RenderPipelineDescriptor& descriptor);
  ~RenderPipelineState() override;

  [[nodiscard]] unsigned program() const { return program_; }
  [[nodiscard]] const std::vector<BufferUse>& bufferUses() const { return uses_; }
  [[nodiscard]] PixelFormat pixelFormat() const { return pixelFormat_; }

  [[nodiscard]] std::string className() const override { return "MTLRenderPipelineState"; }

 private:
  unsigned program_ = 0;
  std::vector<BufferUse> uses_;
  PixelFormat pixelFormat_ = PixelFormat::invalid;
};

// The GL binding point of slot `index` of a stage.
inline unsigned bindingFor(FunctionType stage, unsigned index) {
  return stage == FunctionType::vertex ? index : kBufferSlots + index;
}

}  // namespace gpu
