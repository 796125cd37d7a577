// Values shared by the GPU objects: pixel formats, load actions, primitive
// types and colours.
//
// The numbers are those of the desktop GPU interface the renderer was written
// against, so that code which passes them as numbers reads the same here.
#pragma once

namespace gpu {

// Drawables are stored as 8-bit RGBA inside; the format reported is the one
// the renderer asks for, 8-bit BGRA, whatever the driver uses.
enum class PixelFormat : unsigned long {
  invalid = 0,
  bgra8Unorm = 80,
};

enum class LoadAction : unsigned long {
  dontCare = 0,
  load = 1,
  clear = 2,
};

enum class PrimitiveType : unsigned long {
  point = 0,
  line = 1,
  lineStrip = 2,
  triangle = 3,
  triangleStrip = 4,
};

enum class FunctionType : unsigned long {
  vertex = 1,
  fragment = 2,
};

// Storage options of a buffer. Every buffer here is shared by the processor
// and the GPU, which is what the default (0) means.
using ResourceOptions = unsigned long;

struct ClearColor {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;
  friend bool operator==(const ClearColor&, const ClearColor&) = default;
};

}  // namespace gpu
