#include "render/metal_view.h"

#include <cstdio>

#include <array>
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

// Without its device or its pipeline the overlay cannot draw at all: the
// program ends as a failed program does, with status 1 and no core dump.
// Standard error is buffered, so the message is written out first; exit(),
// not _exit(), so that handlers registered for the end of the process run.
[[noreturn]] void fatalError(const std::string& message) {
  base::printError("Fatal error: " + message);
  base::flushOutput();
  std::exit(EXIT_FAILURE);
}

void copyConstants(const Uniforms& constants, gpu::Buffer& buffer) {
  std::memcpy(buffer.contents(), &constants, kUniformsSize);
}

}  // namespace

MetalView::MetalView(Key /*key*/, const base::Coder& coder) : gpu::View(coder) {}

MetalView::MetalView(Key /*key*/, base::Rect frame, std::shared_ptr<gpu::Device> device)
    : gpu::View(frame, std::move(device)) {}

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
  commandQueue_ = device->newCommandQueue();
  buildPipeline();
  vertexBuffer_ = device->newBufferWithBytes(kQuadVertices.data(), sizeof(kQuadVertices), 0);
  constantsBuffer_ = device->newBufferWithLength(kUniformsStride, 0);
  if (constantsBuffer_) copyConstants(constants_, *constantsBuffer_);
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
  pipelineState_ = result.value();
}

double MetalView::change() const {
  const double dx = lastx_ - lastx2_;
  const double dy = lasty_ - lasty2_;
  const double dz = lastz_ - lastz2_;
  return std::sqrt((dx * dx + dy * dy) + dz * dz);
}

void MetalView::resumeRendering() {
  if (!isPaused()) return;
  if (auto shownIn = window()) shownIn->makeKeyAndOrderFront(weak_from_this().lock());
  setPaused(false);
  base::printLine("Rendering resumed");
}

void MetalView::setConstantsType(int32_t type) {
  if (type == constants_.type) return;
  constants_.type = type;
  setNeedsDisplay(true);
}

void MetalView::setConstantsScale(float scale) {
  if (scale == constants_.scale) return;
  constants_.scale = scale;
  setNeedsDisplay(true);
}

void MetalView::applyAcceleration(double x, double y, double z) {
  const float scrollX = static_cast<float>(x) + constants_.offset[0];
  const float scrollY =
      (static_cast<float>(y) + constants_.offset[1]) + static_cast<float>(z / 100.0);
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
  lastx_ = x;
  lasty_ = y;
  lastz_ = z;
  const std::array<float, 2> offset = {std::fmod(scrollX, kOffsetModulus),
                                       std::fmod(scrollY, kOffsetModulus)};
  if (offset[0] != constants_.offset[0] || offset[1] != constants_.offset[1]) {
    constants_.offset[0] = offset[0];
    constants_.offset[1] = offset[1];
    setNeedsDisplay(true);
  }
  if (change() > kMotionThreshold) resumeRendering();
}

void MetalView::drawRect(base::Rect /*dirtyRect*/) {
  if (isPaused()) return;
  auto drawable = currentDrawable();
  if (!drawable) return;
  auto pass = currentRenderPassDescriptor();
  if (!pass) return;
  // Without these the frame could not be drawn; it then changes nothing.
  if (!constantsBuffer_ || !commandQueue_ || !pipelineState_) return;

  float scale = constants_.scale;
  if (change() > kMotionThreshold) {
    scale = scale + kFadeUpStep;
    scale = scale < kFadeCap ? scale : kFadeCap;
  } else {
    scale = scale * kDecayFactor;
    scale = scale >= kFadeFloor ? scale : kFadeFloor;
  }
  constants_.scale = scale;

  if (constants_.scale < kPauseThreshold) {
    setPaused(true);
    if (auto shownIn = window()) shownIn->orderOut(weak_from_this().lock());
    base::printLine("Rendering paused");
  }

  lastx2_ = lastx_;
  lasty2_ = lasty_;
  lastz2_ = lastz_;

  pass->colorAttachments[0].clearColor = gpu::ClearColor{0, 0, 0, 0};
  pass->colorAttachments[0].loadAction = gpu::LoadAction::clear;

  const base::Size size = drawableSize();
  const auto w = static_cast<float>(size.width);
  const auto h = static_cast<float>(size.height);
  if (w > h) {
    constants_.offset[2] = 1.0f;
    constants_.offset[3] = h / w;
  } else {
    constants_.offset[2] = w / h;
    constants_.offset[3] = 1.0f;
  }

  copyConstants(constants_, *constantsBuffer_);

  auto commandBuffer = commandQueue_->commandBuffer();
  auto encoder = commandBuffer->renderCommandEncoder(pass);
  if (!encoder) return;
  encoder->setRenderPipelineState(pipelineState_);
  encoder->setVertexBuffer(vertexBuffer_, 0, 0);
  encoder->setFragmentBuffer(constantsBuffer_, 0, 1);
  encoder->drawPrimitives(gpu::PrimitiveType::triangleStrip, 0, 4);
  encoder->endEncoding();
  commandBuffer->presentDrawable(drawable);
  commandBuffer->commit();
}

std::optional<std::string> MetalView::consoleStatus() const {
  char text[160];
  std::snprintf(text, sizeof text, "metal view: %s, type %d, scale %.4f, offset (%.3f, %.3f)",
                isPaused() ? "paused" : "drawing", constants_.type,
                static_cast<double>(constants_.scale), static_cast<double>(constants_.offset[0]),
                static_cast<double>(constants_.offset[1]));
  return std::string(text);
}

}  // namespace tovelin
