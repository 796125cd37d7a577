#include "platform/gpu/device.h"

#include <cstring>

#include "platform/base/bundle.h"
#include "platform/base/file.h"
#include "platform/base/log.h"
#include "platform/gpu/gl_context.h"

namespace gpu {

std::shared_ptr<Device> createSystemDefaultDevice() {
  static std::shared_ptr<Device>* device = nullptr;  // kept for the life of the process
  if (device != nullptr) return *device;
  auto context = GlContext::shared();
  if (!context) {
    base::printError("gpu: no GPU device: " + context.error().message);
    return nullptr;
  }
  device = new std::shared_ptr<Device>(std::make_shared<Device>(*context));
  return *device;
}

std::string Device::name() const { return context_->rendererName(); }

std::shared_ptr<CommandQueue> Device::newCommandQueue() { return std::make_shared<CommandQueue>(); }

std::shared_ptr<Library> Device::newDefaultLibrary() {
  const auto path = base::Bundle::main().pathForResource("shaders", "glsl");
  if (!path) {
    base::printError("gpu: no default shader library: the bundle " +
                     base::Bundle::main().resourcePath() + " has no shaders.glsl");
    return nullptr;
  }
  const auto text = base::readFile(*path);
  if (!text) {
    base::printError("gpu: no default shader library: cannot read " + *path);
    return nullptr;
  }
  auto library = newLibraryWithSource(*text);
  if (!library) {
    base::printError("gpu: no default shader library: " + *path + ": " + library.error().message);
    return nullptr;
  }
  return *library;
}

base::Result<std::shared_ptr<Library>> Device::newLibraryWithSource(std::string_view source) {
  return Library::fromSource(source);
}

base::Result<std::shared_ptr<RenderPipelineState>> Device::newRenderPipelineState(
    const RenderPipelineDescriptor& descriptor) {
  context_->makeCurrent();
  return RenderPipelineState::build(descriptor);
}

std::shared_ptr<Buffer> Device::newBufferWithBytes(const void* bytes, size_t length,
                                                   ResourceOptions options) {
  auto buffer = newBufferWithLength(length, options);
  if (buffer && bytes != nullptr) std::memcpy(buffer->contents(), bytes, length);
  return buffer;
}

std::shared_ptr<Buffer> Device::newBufferWithLength(size_t length, ResourceOptions /*options*/) {
  if (length == 0) return nullptr;
  return std::make_shared<Buffer>(length);
}

}  // namespace gpu
