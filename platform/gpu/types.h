// Values shared by the GPU objects: pixel formats, load actions, primitive
// types, colours and the small result type of the operations that can fail.
//
// The numbers are those of the desktop GPU interface the renderer was written
// against, so that code which passes them as numbers reads the same here.
#pragma once

#include <memory>
#include <string>
#include <utility>

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

struct Error {
  std::string description;
};

// An object made by the device, or the reason it could not be made.
template <typename T>
class Result {
 public:
  static Result success(std::shared_ptr<T> value) { return Result(std::move(value), {}); }
  static Result failure(std::string description) {
    return Result(nullptr, Error{std::move(description)});
  }

  explicit operator bool() const { return value_ != nullptr; }
  [[nodiscard]] const std::shared_ptr<T>& value() const { return value_; }
  [[nodiscard]] const Error& error() const { return error_; }

 private:
  Result(std::shared_ptr<T> value, Error error)
      : value_(std::move(value)), error_(std::move(error)) {}
  std::shared_ptr<T> value_;
  Error error_;
};

}  // namespace gpu
