#include "render/metal_view.h"

#include <cstdio>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "platform/base/log.h"
#include "platform/ui/window.h"

namespace tovelin {
namespace {

constexpr double kMotionThreshold = 0.01;
constexpr float kOffsetModulus = 100.0f;
constexpr float kFadeUpStep = 0.2f;
constexpr float kFadeCap = 1.0f;
constexpr float kDecayFactor = 0.995f;
constexpr float kFadeFloor = 0.0f;
constexpr float kPauseThreshold = 0.001f;

[[noreturn]] void fatalError(const std::string& message) {
  base::printError("Fatal error: " + message);
  std::abort();
}

void copyConstants(const Uniforms& constants, gpu::Buffer& buffer) {
  std::memcpy(buffer.contents(), &constants, kUniformsSize);
}

}  // namespace

MetalView::MetalView(const base::Coder& coder) : gpu::View(coder) { setupMetal(); }

MetalView::MetalView(base::Rect frame, std::shared_ptr<gpu::Device> device)
    : gpu::View(frame, std::move(device)) {
  setupMetal();
}

void MetalView::setupMetal() {
  auto device = gpu::createSystemDefaultDevice();
  if (!device) fatalError("Metal is not supported on this device");
  setDevice(device);
  setColorPixelFormat(gpu::PixelFormat::bgra8Unorm);
  setClearColor(gpu::ClearColor{0, 0, 0, 1});
  if (const auto& viewLayer = layer()) {
    viewLayer->setOpaque(false);
    viewLayer->setCompositingFilter("differenceBlendMode");
  }
  commandQueue = device->newCommandQueue();
  buildPipeline();
  vertexBuffer = device->newBufferWithBytes(kQuadVertices.data(), sizeof(kQuadVertices), 0);
  constantsBuffer = device->newBufferWithLength(kUniformsStride, 0);
  if (constantsBuffer) copyConstants(constants, *constantsBuffer);
}

void MetalView::buildPipeline() {
  auto library = device()->newDefaultLibrary();
  std::shared_ptr<gpu::Function> vertexFunction;
  std::shared_ptr<gpu::Function> fragmentFunction;
  if (library) {
    vertexFunction = library->newFunctionWithName("vertex_main");
    fragmentFunction = library->newFunctionWithName("fragment_main");
  }
  gpu::RenderPipelineDescriptor descriptor;
  descriptor.vertexFunction = vertexFunction;
  descriptor.fragmentFunction = fragmentFunction;
  descriptor.colorAttachments[0].pixelFormat = gpu::PixelFormat::bgra8Unorm;
  auto result = device()->newRenderPipelineState(descriptor);
  if (!result) fatalError(result.error().message);
  pipelineState = result.value();
}

double MetalView::change() const {
  const double dx = lastx - lastx2;
  const double dy = lasty - lasty2;
  const double dz = lastz - lastz2;
  return std::sqrt((dx * dx + dy * dy) + dz * dz);
}

void MetalView::resumeRendering() {
  if (!isPaused()) return;
  if (auto shownIn = window()) shownIn->makeKeyAndOrderFront(weak_from_this().lock());
  setPaused(false);
  base::printLine("Rendering resumed");
}

void MetalView::applyAcceleration(double x, double y, double z) {
  const float scrollX = static_cast<float>(x) + constants.offset[0];
  const float scrollY =
      (static_cast<float>(y) + constants.offset[1]) + static_cast<float>(z / 100.0);
  // An infinite or NaN scroll would stay in the offset for good (every later
  // remainder of it is NaN) and blank the pattern: such an update is refused
  // whole, leaving everything as it was.
  if (!std::isfinite(scrollX) || !std::isfinite(scrollY)) {
    std::ostringstream text;
    text << "Ignoring an acceleration update that cannot scroll the pattern: x " << x << ", y " << y
         << ", z " << z;
    base::printError(text.str());
    return;
  }
  lastx = x;
  lasty = y;
  lastz = z;
  constants.offset[0] = std::fmod(scrollX, kOffsetModulus);
  constants.offset[1] = std::fmod(scrollY, kOffsetModulus);
  if (change() > kMotionThreshold) resumeRendering();
}

void MetalView::drawRect(base::Rect /*dirtyRect*/) {
  if (isPaused()) return;
  auto drawable = currentDrawable();
  if (!drawable) return;
  auto pass = currentRenderPassDescriptor();
  if (!pass) return;
  // Without these the frame could not be drawn; it then changes nothing.
  if (!constantsBuffer || !commandQueue || !pipelineState) return;

  float scale = constants.scale;
  if (change() > kMotionThreshold) {
    scale = scale + kFadeUpStep;
    scale = scale < kFadeCap ? scale : kFadeCap;
  } else {
    scale = scale * kDecayFactor;
    scale = scale >= kFadeFloor ? scale : kFadeFloor;
  }
  constants.scale = scale;

  if (constants.scale < kPauseThreshold) {
    setPaused(true);
    if (auto shownIn = window()) shownIn->orderOut(weak_from_this().lock());
    base::printLine("Rendering paused");
  }

  lastx2 = lastx;
  lasty2 = lasty;
  lastz2 = lastz;

  pass->colorAttachments[0].clearColor = gpu::ClearColor{0, 0, 0, 0};
  pass->colorAttachments[0].loadAction = gpu::LoadAction::clear;

  const base::Size size = drawableSize();
  const auto w = static_cast<float>(size.width);
  const auto h = static_cast<float>(size.height);
  if (w > h) {
    constants.offset[2] = 1.0f;
    constants.offset[3] = h / w;
  } else {
    constants.offset[2] = w / h;
    constants.offset[3] = 1.0f;
  }

  copyConstants(constants, *constantsBuffer);

  auto commandBuffer = commandQueue->commandBuffer();
  auto encoder = commandBuffer->renderCommandEncoder(pass);
  if (!encoder) return;
  encoder->setRenderPipelineState(pipelineState);
  encoder->setVertexBuffer(vertexBuffer, 0, 0);
  encoder->setFragmentBuffer(constantsBuffer, 0, 1);
  encoder->drawPrimitives(gpu::PrimitiveType::triangleStrip, 0, 4);
  encoder->endEncoding();
  commandBuffer->presentDrawable(drawable);
  commandBuffer->commit();
}

std::optional<std::string> MetalView::consoleStatus() const {
  char text[160];
  std::snprintf(text, sizeof text, "metal view: %s, type %d, scale %.4f, offset (%.3f, %.3f)",
                isPaused() ? "paused" : "drawing", constants.type,
                static_cast<double>(constants.scale), static_cast<double>(constants.offset[0]),
                static_cast<double>(constants.offset[1]));
  return std::string(text);
}

}  // namespace tovelin
