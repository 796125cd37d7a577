#include "platform/gpu/command.h"

#include <GLES3/gl3.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>

#include "platform/base/log.h"
#include "platform/gpu/gl_context.h"

namespace gpu {
namespace {

[[noreturn]] void misuse(const std::string& message) {
  base::printError("gpu: " + message);
  std::abort();
}

GLenum glMode(PrimitiveType type) {
  switch (type) {
    case PrimitiveType::point:
      return GL_POINTS;
    case PrimitiveType::line:
      return GL_LINES;
    case PrimitiveType::lineStrip:
      return GL_LINE_STRIP;
    case PrimitiveType::triangle:
      return GL_TRIANGLES;
    case PrimitiveType::triangleStrip:
      return GL_TRIANGLE_STRIP;
  }
  misuse("unknown primitive type " + std::to_string(static_cast<unsigned long>(type)));
}

GLint uniformOffsetAlignment() {
  static const GLint alignment = [] {
    GLint value = 0;
    glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &value);
    return value > 0 ? value : 256;
  }();
  return alignment;
}

}  // namespace

RenderCommandEncoder::RenderCommandEncoder(std::weak_ptr<CommandBuffer> owner,
                                           RenderPassColorAttachmentDescriptor target)
    : owner_(std::move(owner)) {
  pass_.target = std::move(target);
}

void RenderCommandEncoder::requireOpen(const char* operation) const {
  if (ended_) misuse(std::string(operation) + " on a render encoder after endEncoding");
}

void RenderCommandEncoder::setRenderPipelineState(
    const std::shared_ptr<RenderPipelineState>& state) {
  requireOpen("setRenderPipelineState");
  state_ = state;
}

void RenderCommandEncoder::setVertexBuffer(const std::shared_ptr<Buffer>& buffer, size_t offset,
                                           unsigned index) {
  requireOpen("setVertexBuffer");
  if (index >= kBufferSlots)
    misuse("vertex buffer index " + std::to_string(index) + " is out of range");
  vertexBuffers_[index] = Binding{buffer, offset};
}

void RenderCommandEncoder::setFragmentBuffer(const std::shared_ptr<Buffer>& buffer, size_t offset,
                                             unsigned index) {
  requireOpen("setFragmentBuffer");
  if (index >= kBufferSlots)
    misuse("fragment buffer index " + std::to_string(index) + " is out of range");
  fragmentBuffers_[index] = Binding{buffer, offset};
}

void RenderCommandEncoder::drawPrimitives(PrimitiveType type, size_t vertexStart,
                                          size_t vertexCount) {
  requireOpen("drawPrimitives");
  static_cast<void>(glMode(type));  // an unknown type stops here, not at commit
  if (!state_) {
    reportOnce("gpu: a draw without a render pipeline state was skipped");
    return;
  }
  constexpr auto kMax = static_cast<size_t>(std::numeric_limits<int>::max());
  if (vertexStart > kMax || vertexCount > kMax - vertexStart) {
    reportOnce("gpu: a draw of " + std::to_string(vertexCount) + " vertices was skipped");
    return;
  }
  Draw draw{state_, type, static_cast<int>(vertexStart), static_cast<int>(vertexCount), {}};
  for (const auto& use : state_->bufferUses()) {
    const bool vertex = use.stage == FunctionType::vertex;
    const Binding& binding = vertex ? vertexBuffers_[use.index] : fragmentBuffers_[use.index];
    const std::string slot =
        std::string(vertex ? "vertex" : "fragment") + " buffer " + std::to_string(use.index);
    if (!binding.buffer) {
      reportOnce("gpu: a draw was skipped: its pipeline reads " + slot + ", which is not set");
      return;
    }
    const size_t length = binding.buffer->length();
    if (binding.offset > length || length - binding.offset < use.minimumBytes) {
      reportOnce("gpu: a draw was skipped: " + slot + " holds fewer than the " +
                 std::to_string(use.minimumBytes) + " bytes its pipeline reads");
      return;
    }
    if (binding.offset % static_cast<size_t>(uniformOffsetAlignment()) != 0) {
      reportOnce("gpu: a draw was skipped: the offset of " + slot + " is not a multiple of " +
                 std::to_string(uniformOffsetAlignment()));
      return;
    }
    draw.bindings.emplace_back(use.binding, binding);
  }
  pass_.draws.push_back(std::move(draw));
}

void RenderCommandEncoder::endEncoding() {
  requireOpen("endEncoding");
  ended_ = true;
  if (auto owner = owner_.lock()) owner->finishPass(std::move(pass_));
}

std::shared_ptr<RenderCommandEncoder> CommandBuffer::renderCommandEncoder(
    const std::shared_ptr<RenderPassDescriptor>& descriptor) {
  if (committed_) misuse("renderCommandEncoder on a committed command buffer");
  if (auto open = open_.lock(); open && !open->ended_) {
    misuse("renderCommandEncoder while another encoder of the buffer is still encoding");
  }
  if (!descriptor || !descriptor->colorAttachments[0].texture) return nullptr;
  auto encoder = std::shared_ptr<RenderCommandEncoder>(
      new RenderCommandEncoder(sharedAs<CommandBuffer>(), descriptor->colorAttachments[0]));
  open_ = encoder;
  return encoder;
}

void CommandBuffer::finishPass(RenderCommandEncoder::Pass pass) {
  if (committed_) misuse("endEncoding after its command buffer was committed");
  passes_.push_back(std::move(pass));
}

void CommandBuffer::presentDrawable(const std::shared_ptr<Drawable>& drawable) {
  if (committed_) misuse("presentDrawable on a committed command buffer");
  if (drawable) drawables_.push_back(drawable);
}

void CommandBuffer::commit() {
  if (committed_) misuse("commit of a command buffer committed before");
  if (auto open = open_.lock(); open && !open->ended_) {
    misuse("commit while a render encoder is still encoding (endEncoding was not called)");
  }
  committed_ = true;
  if (auto context = GlContext::shared()) (*context)->makeCurrent();

  // Each buffer is read once per command buffer, as its contents stand now.
  std::set<Buffer*> uploaded;
  for (const auto& pass : passes_) {
    for (const auto& draw : pass.draws) {
      for (const auto& [point, binding] : draw.bindings) {
        if (uploaded.insert(binding.buffer.get()).second) binding.buffer->upload();
      }
    }
  }
  for (const auto& pass : passes_) run(pass);
  glFlush();
  for (const auto& drawable : drawables_) drawable->present();
  passes_.clear();
  drawables_.clear();
}

void CommandBuffer::run(const RenderCommandEncoder::Pass& pass) {
  const auto& target = pass.target;
  glBindFramebuffer(GL_FRAMEBUFFER, target.texture->framebuffer());
  glViewport(0, 0, target.texture->width(), target.texture->height());
  if (target.loadAction == LoadAction::clear) {
    const ClearColor& c = target.clearColor;
    glClearColor(static_cast<GLfloat>(c.red), static_cast<GLfloat>(c.green),
                 static_cast<GLfloat>(c.blue), static_cast<GLfloat>(c.alpha));
    glClear(GL_COLOR_BUFFER_BIT);
  }
  for (const auto& draw : pass.draws) {
    GLuint program = draw.state->program();
    if (const auto special = draw.state->specializedBinding()) {
      for (const auto& [point, binding] : draw.bindings) {
        if (point != *special) continue;
        program = draw.state->programFor(static_cast<const uint8_t*>(binding.buffer->contents()) +
                                         binding.offset);
      }
    }
    glUseProgram(program);
    for (const auto& [point, binding] : draw.bindings) {
      glBindBufferRange(GL_UNIFORM_BUFFER, point, binding.buffer->glName(),
                        static_cast<GLintptr>(binding.offset),
                        static_cast<GLsizeiptr>(binding.buffer->length() - binding.offset));
    }
    glDrawArrays(glMode(draw.type), draw.start, draw.count);
  }
}

void CommandBuffer::waitUntilCompleted() {
  if (!committed_) misuse("waitUntilCompleted on a command buffer that was not committed");
  glFinish();
}

std::shared_ptr<CommandBuffer> CommandQueue::commandBuffer() {
  return std::make_shared<CommandBuffer>();
}

}  // namespace gpu
