// Command queue, command buffers, render passes and the render encoder.
//
// A command buffer collects render passes and drawables to present; commit()
// hands its passes to the driver in order and then presents the drawables.
// The work is recorded, not run, while encoding, so buffer contents are read
// as they stand at commit, and a pass that was never committed draws nothing.
//
// Misuse of the objects (encoding after commit, a second open encoder,
// drawing after endEncoding) is a programming error and stops the program. A
// draw that cannot run (no pipeline state, a buffer the pipeline reads left
// unbound or too short) is skipped and reported once on standard error.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "platform/base/object.h"
#include "platform/gpu/buffer.h"
#include "platform/gpu/drawable.h"
#include "platform/gpu/pipeline.h"
#include "platform/gpu/texture.h"
#include "platform/gpu/types.h"

namespace gpu {

struct RenderPassColorAttachmentDescriptor {
  std::shared_ptr<Texture> texture;
  LoadAction loadAction = LoadAction::dontCare;
  ClearColor clearColor{0, 0, 0, 1};
};

class RenderPassDescriptor : public base::Object {
 public:
  // One colour attachment: drawables have one.
  std::array<RenderPassColorAttachmentDescriptor, 1> colorAttachments{};

  static constexpr base::ClassTable kClassTable{"MTLRenderPassDescriptor",
                                                &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }
};

class CommandBuffer;

class RenderCommandEncoder : public base::Object {
 public:
  void setRenderPipelineState(const std::shared_ptr<RenderPipelineState>& state);
  void setVertexBuffer(const std::shared_ptr<Buffer>& buffer, size_t offset, unsigned index);
  void setFragmentBuffer(const std::shared_ptr<Buffer>& buffer, size_t offset, unsigned index);
  void drawPrimitives(PrimitiveType type, size_t vertexStart, size_t vertexCount);
  void endEncoding();

  static constexpr base::ClassTable kClassTable{"MTLRenderCommandEncoder",
                                                &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  friend class CommandBuffer;
  struct Binding {
    std::shared_ptr<Buffer> buffer;
    size_t offset = 0;
  };
  struct Draw {
    std::shared_ptr<RenderPipelineState> state;
    PrimitiveType type;
    int start;
    int count;
    std::vector<std::pair<unsigned, Binding>> bindings;  // GL binding point, buffer
  };
  struct Pass {
    RenderPassColorAttachmentDescriptor target;
    std::vector<Draw> draws;
  };

  RenderCommandEncoder(std::weak_ptr<CommandBuffer> owner,
                       RenderPassColorAttachmentDescriptor target);
  void requireOpen(const char* operation) const;

  std::weak_ptr<CommandBuffer> owner_;
  Pass pass_;
  std::shared_ptr<RenderPipelineState> state_;
  std::array<Binding, kBufferSlots> vertexBuffers_{};
  std::array<Binding, kBufferSlots> fragmentBuffers_{};
  bool ended_ = false;
};

class CommandBuffer : public base::Object {
 public:
  // An encoder drawing into the descriptor's colour attachment 0 (the
  // descriptor is copied), or nullptr when the attachment has no texture.
  std::shared_ptr<RenderCommandEncoder> renderCommandEncoder(
      const std::shared_ptr<RenderPassDescriptor>& descriptor);
  // Presents `drawable` once this buffer's passes have been committed.
  void presentDrawable(const std::shared_ptr<Drawable>& drawable);
  void commit();
  // Blocks until the driver has finished the committed work.
  void waitUntilCompleted();

  static constexpr base::ClassTable kClassTable{"MTLCommandBuffer", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  friend class RenderCommandEncoder;
  void finishPass(RenderCommandEncoder::Pass pass);
  static void run(const RenderCommandEncoder::Pass& pass);

  std::vector<RenderCommandEncoder::Pass> passes_;
  std::vector<std::shared_ptr<Drawable>> drawables_;
  std::weak_ptr<RenderCommandEncoder> open_;
  bool committed_ = false;
};

class CommandQueue : public base::Object {
 public:
  std::shared_ptr<CommandBuffer> commandBuffer();
  static constexpr base::ClassTable kClassTable{"MTLCommandQueue", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }
};

}  // namespace gpu
