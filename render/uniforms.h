// The record the renderer hands to the fragment shader every frame, the
// pattern selector it carries, and the quad the vertex shader reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tovelin {

// Values of Uniforms::type.
enum PatternType : int32_t {
  dots = 0,
  ladyBug = 1,
  hearts = 2,
};

// offset: scroll x and y, each in (-100, 100), then the drawable's aspect
// factors z and w. type: a PatternType. scale: fade level, 0 (gone) to 1.
//
// The record's bytes are 24 (offset 0-15, type 16-19, scale 20-23, as the
// shader's std140 block lays them out), but its 16-byte alignment rounds the
// C++ size up to 32, the stride. Only the first kUniformsSize bytes are ever
// copied to the GPU; the tail of the 32-byte buffer is left alone.
struct alignas(16) Uniforms {
  std::array<float, 4> offset{0, 0, 0, 0};
  int32_t type = dots;
  float scale = 1.0f;
};

inline constexpr size_t kUniformsSize = 24;
inline constexpr size_t kUniformsStride = sizeof(Uniforms);

static_assert(offsetof(Uniforms, offset) == 0);
static_assert(offsetof(Uniforms, type) == 16);
static_assert(offsetof(Uniforms, scale) + sizeof(float) == kUniformsSize);
static_assert(kUniformsStride == 32);
static_assert(alignof(Uniforms) == 16);

// The full-screen quad as a triangle strip: four vertices (x, y, u, v), clip
// position and texture coordinate, v growing upward with y.
inline constexpr std::array<float, 16> kQuadVertices = {
    -1, 1,  0, 1,  //
    -1, -1, 0, 0,  //
    1,  1,  1, 1,  //
    1,  -1, 1, 0,  //
};
static_assert(sizeof(kQuadVertices) == 64);

}  // namespace tovelin
