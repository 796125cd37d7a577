// A GPU buffer whose bytes the processor writes directly.
//
// The bytes live in processor memory (contents()); each command buffer copies
// the buffers it uses to the driver when it runs, so what the GPU reads is
// what `contents` held at commit, as with memory shared by both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/base/object.h"

namespace gpu {

class Buffer : public base::Object {
 public:
  explicit Buffer(size_t length);
  ~Buffer() override;

  // The buffer's bytes, writable by the processor.
  [[nodiscard]] void* contents() { return bytes_.data(); }
  [[nodiscard]] const void* contents() const { return bytes_.data(); }
  [[nodiscard]] size_t length() const { return bytes_.size(); }

  static constexpr base::ClassTable kClassTable{"MTLBuffer", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

  // Copies the bytes to the driver's buffer object and returns its name.
  unsigned upload();
  // The driver's buffer object, 0 before the first upload.
  [[nodiscard]] unsigned glName() const { return glBuffer_; }

 private:
  std::vector<uint8_t> bytes_;
  unsigned glBuffer_ = 0;
};

}  // namespace gpu
