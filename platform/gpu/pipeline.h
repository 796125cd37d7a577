// Render pipelines: a vertex and a fragment function linked into one GL
// program, with the buffer slots its uniform blocks read.
//
// Building compiles both functions and links them; whatever the driver refuses
// comes back as the error, with the driver's own log. Pipelines do no
// blending: what a fragment function writes is what the drawable holds.
//
// Specialisation, the way a driver specialises on constants: a function may
// mark a small integer uniform of one of its blocks with the line
// "#pragma specialize NAME COUNT". Besides the general program, the pipeline
// then builds one program per value 0 to COUNT - 1, compiled with
// "#define SPECIALIZE_NAME value", and each draw uses the program of the
// value the bound buffer holds when the command buffer is committed (the
// general one for any other value). A software rasteriser runs every branch
// of a switch on such a uniform for every pixel; a constant lets the
// compiler drop the branches not taken.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/base/object.h"
#include "platform/base/result.h"
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

  static base::Result<std::shared_ptr<RenderPipelineState>> build(
      const RenderPipelineDescriptor& descriptor);
  ~RenderPipelineState() override;

  // The general program.
  [[nodiscard]] unsigned program() const { return program_; }
  // The binding point of the block holding the specialised uniform, if any.
  [[nodiscard]] std::optional<unsigned> specializedBinding() const;
  // The program for a draw whose specialised block holds `block` (its bytes
  // from the start of the block); the general program without one.
  [[nodiscard]] unsigned programFor(const uint8_t* block) const;
  [[nodiscard]] const std::vector<BufferUse>& bufferUses() const { return uses_; }
  [[nodiscard]] PixelFormat pixelFormat() const { return pixelFormat_; }

  static constexpr base::ClassTable kClassTable{"MTLRenderPipelineState",
                                                &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  struct Specialization {
    unsigned binding = 0;            // of the block holding the uniform
    size_t offset = 0;               // of the uniform in that block
    std::vector<unsigned> programs;  // by value
  };

  unsigned program_ = 0;
  std::vector<BufferUse> uses_;
  std::optional<Specialization> specialization_;
  PixelFormat pixelFormat_ = PixelFormat::invalid;
};

// The GL binding point of slot `index` of a stage.
inline unsigned bindingFor(FunctionType stage, unsigned index) {
  return stage == FunctionType::vertex ? index : kBufferSlots + index;
}

}  // namespace gpu
