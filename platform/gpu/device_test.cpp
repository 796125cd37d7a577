// The device's objects on the real driver (llvmpipe without a GPU): buffers,
// pipelines and their errors, passes drawn and read back.
#include "platform/gpu/device.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>

#include "platform/gpu/texture.h"

namespace gpu {
namespace {

using testing::HasSubstr;

// Fills the quad from vertex buffer 0 with the colour in fragment buffer 1.
constexpr const char* kSolid =
    "#version 300 es\n"
    "precision highp float;\n"
    "#pragma vertex quad\n"
    "layout(std140) uniform vertex_buffer_0 { vec4 vertices[4]; };\n"
    "void quad() { gl_Position = vec4(vertices[gl_VertexID].xy, 0.0, 1.0); }\n"
    "#pragma fragment solid\n"
    "layout(std140) uniform fragment_buffer_1 { vec4 colour; };\n"
    "out vec4 color;\n"
    "void solid() { color = colour; }\n";

// The top half of clip space (y from 0 to 1), as a triangle strip.
constexpr std::array<float, 16> kTopHalf = {-1, 1, 0, 0, -1, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0};

class DeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    device = createSystemDefaultDevice();
    ASSERT_NE(device, nullptr);
  }

  base::Result<std::shared_ptr<RenderPipelineState>> pipeline(const std::string& source,
                                                              const char* vertex = "quad",
                                                              const char* fragment = "solid") {
    auto library = device->newLibraryWithSource(source);
    EXPECT_TRUE(library) << library.error().message;
    RenderPipelineDescriptor descriptor;
    if (library) {
      descriptor.vertexFunction = library.value()->newFunctionWithName(vertex);
      descriptor.fragmentFunction = library.value()->newFunctionWithName(fragment);
    }
    descriptor.colorAttachments[0].pixelFormat = PixelFormat::bgra8Unorm;
    return device->newRenderPipelineState(descriptor);
  }

  std::shared_ptr<Buffer> colour(float r, float g, float b, float a) {
    const std::array<float, 4> rgba = {r, g, b, a};
    return device->newBufferWithBytes(rgba.data(), sizeof rgba, 0);
  }

  // One pass on `target`; `encode` draws in it.
  template <typename Encode>
  void pass(const std::shared_ptr<Texture>& target, LoadAction load, ClearColor clear,
            Encode encode) {
    auto descriptor = std::make_shared<RenderPassDescriptor>();
    descriptor->colorAttachments[0].texture = target;
    descriptor->colorAttachments[0].loadAction = load;
    descriptor->colorAttachments[0].clearColor = clear;
    auto commands = device->newCommandQueue()->commandBuffer();
    auto encoder = commands->renderCommandEncoder(descriptor);
    ASSERT_NE(encoder, nullptr);
    encode(*encoder);
    encoder->endEncoding();
    commands->commit();
    commands->waitUntilCompleted();
  }

  std::shared_ptr<Device> device;
};

std::array<int, 4> pixel(const ui::Pixels& image, int x, int y) {
  const uint8_t* p = image.at(x, y);
  return {p[0], p[1], p[2], p[3]};
}

TEST_F(DeviceTest, IsOneDeviceOnANamedRenderer) {
  EXPECT_EQ(createSystemDefaultDevice(), device);
  EXPECT_FALSE(device->name().empty());
}

TEST_F(DeviceTest, BuffersCopyTheirBytesAndStartZeroed) {
  std::array<uint8_t, 8> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
  auto copy = device->newBufferWithBytes(bytes.data(), bytes.size(), 0);
  ASSERT_NE(copy, nullptr);
  bytes[0] = 99;  // the buffer holds its own copy
  EXPECT_EQ(copy->length(), 8u);
  EXPECT_EQ(std::memcmp(copy->contents(), "\x01\x02\x03\x04\x05\x06\x07\x08", 8), 0);

  auto zeroed = device->newBufferWithLength(32, 0);
  ASSERT_NE(zeroed, nullptr);
  EXPECT_EQ(zeroed->length(), 32u);
  const std::array<uint8_t, 32> zeros{};
  EXPECT_EQ(std::memcmp(zeroed->contents(), zeros.data(), 32), 0);

  EXPECT_EQ(device->newBufferWithLength(0, 0), nullptr);
}

TEST_F(DeviceTest, DrawsWhatTheBuffersHoldAtCommitRightSideUp) {
  auto state = pipeline(kSolid);
  ASSERT_TRUE(state) << state.error().message;
  auto target = Texture::make(8, 6);
  ASSERT_NE(target, nullptr);
  auto vertices = device->newBufferWithBytes(kTopHalf.data(), sizeof kTopHalf, 0);
  auto fill = colour(1, 0, 0, 1);

  auto descriptor = std::make_shared<RenderPassDescriptor>();
  descriptor->colorAttachments[0].texture = target;
  descriptor->colorAttachments[0].loadAction = LoadAction::clear;
  descriptor->colorAttachments[0].clearColor = ClearColor{0, 0, 1, 1};
  auto commands = device->newCommandQueue()->commandBuffer();
  auto encoder = commands->renderCommandEncoder(descriptor);
  encoder->setRenderPipelineState(state.value());
  encoder->setVertexBuffer(vertices, 0, 0);
  encoder->setFragmentBuffer(fill, 0, 1);
  encoder->drawPrimitives(PrimitiveType::triangleStrip, 0, 4);
  encoder->endEncoding();
  // Written after encoding, before commit: the GPU reads this.
  const std::array<float, 4> green = {0, 1, 0, 0.5f};
  std::memcpy(fill->contents(), green.data(), sizeof green);
  commands->commit();
  commands->waitUntilCompleted();

  const ui::Pixels image = target->readPixels();
  ASSERT_EQ(image.width, 8);
  ASSERT_EQ(image.height, 6);
  // Clip y +1 is the top row of the image.
  EXPECT_EQ(pixel(image, 0, 0), (std::array<int, 4>{0, 255, 0, 128}));
  EXPECT_EQ(pixel(image, 7, 2), (std::array<int, 4>{0, 255, 0, 128}));
  EXPECT_EQ(pixel(image, 0, 3), (std::array<int, 4>{0, 0, 255, 255}));
  EXPECT_EQ(pixel(image, 7, 5), (std::array<int, 4>{0, 0, 255, 255}));
}

TEST_F(DeviceTest, LoadActionsClearOrKeepTheTarget) {
  auto target = Texture::make(4, 4);
  ASSERT_NE(target, nullptr);
  pass(target, LoadAction::clear, ClearColor{1, 1, 0, 1}, [](RenderCommandEncoder&) {});
  EXPECT_EQ(pixel(target->readPixels(), 2, 2), (std::array<int, 4>{255, 255, 0, 255}));
  pass(target, LoadAction::load, ClearColor{0, 0, 0, 0}, [](RenderCommandEncoder&) {});
  EXPECT_EQ(pixel(target->readPixels(), 2, 2), (std::array<int, 4>{255, 255, 0, 255}));
  pass(target, LoadAction::clear, ClearColor{0, 0, 0, 0}, [](RenderCommandEncoder&) {});
  EXPECT_EQ(pixel(target->readPixels(), 2, 2), (std::array<int, 4>{0, 0, 0, 0}));
}

TEST_F(DeviceTest, DrawsThatCannotRunAreSkippedNotCrashed) {
  auto state = pipeline(kSolid);
  ASSERT_TRUE(state) << state.error().message;
  auto target = Texture::make(4, 4);
  auto vertices = device->newBufferWithBytes(kTopHalf.data(), sizeof kTopHalf, 0);
  auto shortBuffer = device->newBufferWithLength(8, 0);  // the block needs 16 bytes
  const std::array<int, 4> cleared = {0, 0, 0, 0};

  testing::internal::CaptureStderr();
  // No fragment buffer at all.
  pass(target, LoadAction::clear, ClearColor{0, 0, 0, 0}, [&](RenderCommandEncoder& e) {
    e.setRenderPipelineState(state.value());
    e.setVertexBuffer(vertices, 0, 0);
    e.drawPrimitives(PrimitiveType::triangleStrip, 0, 4);
  });
  EXPECT_EQ(pixel(target->readPixels(), 1, 0), cleared);
  // A buffer shorter than the block.
  pass(target, LoadAction::clear, ClearColor{0, 0, 0, 0}, [&](RenderCommandEncoder& e) {
    e.setRenderPipelineState(state.value());
    e.setVertexBuffer(vertices, 0, 0);
    e.setFragmentBuffer(shortBuffer, 0, 1);
    e.drawPrimitives(PrimitiveType::triangleStrip, 0, 4);
  });
  EXPECT_EQ(pixel(target->readPixels(), 1, 0), cleared);
  // No pipeline.
  pass(target, LoadAction::clear, ClearColor{0, 0, 0, 0},
       [&](RenderCommandEncoder& e) { e.drawPrimitives(PrimitiveType::triangleStrip, 0, 4); });
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_THAT(said, HasSubstr("fragment buffer 1, which is not set"));
  EXPECT_THAT(said, HasSubstr("fewer than the 16 bytes"));
  EXPECT_THAT(said, HasSubstr("without a render pipeline state"));
}

TEST_F(DeviceTest, APassWithoutATargetGetsNoEncoder) {
  auto commands = device->newCommandQueue()->commandBuffer();
  EXPECT_EQ(commands->renderCommandEncoder(std::make_shared<RenderPassDescriptor>()), nullptr);
  EXPECT_EQ(commands->renderCommandEncoder(nullptr), nullptr);
}
// Draws the top half with `level` in fragment buffer 1 and returns the red of
// a pixel there.
constexpr const char* kSpecialized =
    "#version 300 es\n"
    "precision highp float;\n"
    "#pragma vertex quad\n"
    "layout(std140) uniform vertex_buffer_0 { vec4 vertices[4]; };\n"
    "void quad() { gl_Position = vec4(vertices[gl_VertexID].xy, 0.0, 1.0); }\n"
    "#pragma fragment solid\n"
    "layout(std140) uniform fragment_buffer_1 { vec4 unused; int level; } u;\n"
    "out vec4 color;\n"
    "#pragma specialize level 3\n"
    "#ifdef SPECIALIZE_level\n"
    "const float kRed = float(SPECIALIZE_level) * 0.25;\n"  // 0, 64, 128 once drawn
    "#else\n"
    "const float kRed = 1.0;\n"  // the general program: 255 whatever the value
    "#endif\n"
    "void solid() { color = vec4(kRed, 0.0, float(u.level) / 255.0, 1.0); }\n";

TEST_F(DeviceTest, ASpecializedUniformPicksTheProgramOfItsValueAtCommit) {
  auto state = pipeline(kSpecialized);
  ASSERT_TRUE(state) << state.error().message;
  auto vertices = device->newBufferWithBytes(kTopHalf.data(), sizeof kTopHalf, 0);
  auto uniforms = device->newBufferWithLength(32, 0);
  const auto drawWith = [&](int32_t level) {
    auto target = Texture::make(4, 4);
    pass(target, LoadAction::clear, ClearColor{0, 0, 0, 1}, [&](RenderCommandEncoder& encoder) {
      encoder.setRenderPipelineState(state.value());
      encoder.setVertexBuffer(vertices, 0, 0);
      encoder.setFragmentBuffer(uniforms, 0, 1);
      encoder.drawPrimitives(PrimitiveType::triangleStrip, 0, 4);
      // The value counts as the buffer holds it at commit.
      std::memcpy(static_cast<uint8_t*>(uniforms->contents()) + 16, &level, sizeof level);
    });
    return pixel(target->readPixels(), 1, 0);
  };
  // The program of each value sees the value itself too (blue).
  EXPECT_EQ(drawWith(0), (std::array<int, 4>{0, 0, 0, 255}));
  EXPECT_EQ(drawWith(1), (std::array<int, 4>{64, 0, 1, 255}));
  EXPECT_EQ(drawWith(2), (std::array<int, 4>{128, 0, 2, 255}));
  // Values without a program of their own use the general one.
  EXPECT_EQ(drawWith(3), (std::array<int, 4>{255, 0, 3, 255}));
  EXPECT_EQ(drawWith(-1), (std::array<int, 4>{255, 0, 0, 255}));
}

struct BadPipeline {
  const char* label;
  std::string source;
  const char* vertex;
  const char* fragment;
  std::vector<std::string> error;  // each must appear in the error
};

class PipelineRefused : public DeviceTest, public testing::WithParamInterface<BadPipeline> {};

TEST_P(PipelineRefused, WithTheReason) {
  const auto& bad = GetParam();
  auto state = pipeline(bad.source, bad.vertex, bad.fragment);
  ASSERT_FALSE(state);
  for (const auto& part : bad.error) EXPECT_THAT(state.error().message, HasSubstr(part));
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Pipelines, PipelineRefused,
    testing::Values(
        BadPipeline{"NoVertexFunction", kSolid, "missing", "solid", {"no vertex function"}},
        BadPipeline{"NoFragmentFunction", kSolid, "quad", "missing", {"no fragment function"}},
        BadPipeline{"StagesSwapped", kSolid, "solid", "quad", {"not a vertex function"}},
        // The driver's log, with the line of the library's text (line 9).
        BadPipeline{"CompileError",
                    replaced(kSolid, "color = colour;", "color = colour + undefinedName;"),
                    "quad",
                    "solid",
                    {"Compiling the fragment function \"solid\" failed", "0:9(", "undefinedName"}},
        BadPipeline{"LinkError",
                    replaced(replaced(kSolid, "void quad()", "out vec3 shade;\nvoid quad()"),
                             "out vec4 color;", "in vec4 shade;\nout vec4 color;"),
                    "quad",
                    "solid",
                    {"Linking the pipeline failed"}},
        BadPipeline{"BlockWithoutSlot",
                    replaced(kSolid, "fragment_buffer_1", "Colours"),
                    "quad",
                    "solid",
                    {"Colours names no buffer slot"}},
        BadPipeline{"SpecializeWithoutCount",
                    replaced(kSpecialized, "specialize level 3", "specialize level"),
                    "quad",
                    "solid",
                    {"needs a uniform's name and a count"}},
        BadPipeline{"SpecializeUnknownUniform",
                    replaced(kSpecialized, "specialize level 3", "specialize depth 3"),
                    "quad",
                    "solid",
                    {"\"#pragma specialize depth\" names no int uniform"}},
        BadPipeline{"SlotOutOfRange",
                    replaced(kSolid, "fragment_buffer_1", "fragment_buffer_12"),
                    "quad",
                    "solid",
                    {"fragment_buffer_12 names no buffer slot"}}),
    [](const auto& param) { return std::string(param.param.label); });

TEST_F(DeviceTest, PipelinesNeedTheDrawablesPixelFormat) {
  auto library = device->newLibraryWithSource(kSolid);
  ASSERT_TRUE(library);
  RenderPipelineDescriptor descriptor;
  descriptor.vertexFunction = library.value()->newFunctionWithName("quad");
  descriptor.fragmentFunction = library.value()->newFunctionWithName("solid");
  auto state = device->newRenderPipelineState(descriptor);
  ASSERT_FALSE(state);
  EXPECT_THAT(state.error().message, HasSubstr("unsupported pixel format (0)"));
}

using DeviceDeathTest = DeviceTest;

TEST_F(DeviceDeathTest, MisusedCommandBuffersStopTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto target = Texture::make(2, 2);
  auto descriptor = std::make_shared<RenderPassDescriptor>();
  descriptor->colorAttachments[0].texture = target;
  EXPECT_DEATH(
      {
        auto commands = device->newCommandQueue()->commandBuffer();
        commands->commit();
        commands->commit();
      },
      "committed before");
  EXPECT_DEATH(
      {
        auto commands = device->newCommandQueue()->commandBuffer();
        auto encoder = commands->renderCommandEncoder(descriptor);
        commands->commit();
      },
      "endEncoding was not called");
  EXPECT_DEATH(
      {
        auto commands = device->newCommandQueue()->commandBuffer();
        auto encoder = commands->renderCommandEncoder(descriptor);
        encoder->endEncoding();
        encoder->drawPrimitives(PrimitiveType::triangle, 0, 3);
      },
      "after endEncoding");
}

TEST(NoDriverDeathTest, GivesNoDeviceAndSaysWhy) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // A fresh process that finds no Mesa driver.
  EXPECT_EXIT(
      {
        setenv("LIBGL_DRIVERS_PATH", "/nonexistent", 1);
        std::exit(createSystemDefaultDevice() == nullptr ? 3 : 0);
      },
      testing::ExitedWithCode(3), "gpu: no GPU device: eglInitialize");
}

}  // namespace
}  // namespace gpu
