// The GPU device: the factory of every other GPU object.
//
// There is one device, the EGL context of the process (see gl_context.h).
// Making it fails, with the reason on standard error, when EGL cannot start:
// no Mesa driver, no surfaceless platform, no OpenGL ES 3.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/base/object.h"
#include "platform/base/result.h"
#include "platform/gpu/buffer.h"
#include "platform/gpu/command.h"
#include "platform/gpu/library.h"
#include "platform/gpu/pipeline.h"
#include "platform/gpu/types.h"

namespace gpu {

class GlContext;

class Device : public base::Object {
 public:
  explicit Device(GlContext* context) : context_(context) {}

  // The renderer's name as the driver gives it.
  [[nodiscard]] std::string name() const;

  std::shared_ptr<CommandQueue> newCommandQueue();

  // The bundle's shader library, the resource "shaders.glsl"; nullptr, with
  // the reason on standard error, when it is missing or malformed.
  std::shared_ptr<Library> newDefaultLibrary();
  base::Result<std::shared_ptr<Library>> newLibraryWithSource(std::string_view source);

  // Compiles and links the descriptor's functions; the error carries the
  // driver's log.
  base::Result<std::shared_ptr<RenderPipelineState>> newRenderPipelineState(
      const RenderPipelineDescriptor& descriptor);

  // A buffer holding a copy of `length` bytes at `bytes`; nullptr for length 0.
  std::shared_ptr<Buffer> newBufferWithBytes(const void* bytes, size_t length,
                                             ResourceOptions options);
  // A buffer of `length` zero bytes; nullptr for length 0.
  std::shared_ptr<Buffer> newBufferWithLength(size_t length, ResourceOptions options);

  static constexpr base::ClassTable kClassTable{"MTLDevice", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  GlContext* context_;
};

// The system's default device (the same one at every call), or nullptr, with
// the reason on standard error, when EGL cannot start.
std::shared_ptr<Device> createSystemDefaultDevice();

}  // namespace gpu
