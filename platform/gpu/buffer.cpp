#include "platform/gpu/buffer.h"

#include <GLES3/gl3.h>

namespace gpu {

Buffer::Buffer(size_t length) : bytes_(length, 0) {}

Buffer::~Buffer() {
  if (glBuffer_ != 0) glDeleteBuffers(1, &glBuffer_);
}

unsigned Buffer::upload() {
  const auto size = static_cast<GLsizeiptr>(bytes_.size());
  if (glBuffer_ == 0) {
    glGenBuffers(1, &glBuffer_);
    glBindBuffer(GL_UNIFORM_BUFFER, glBuffer_);
    glBufferData(GL_UNIFORM_BUFFER, size, bytes_.data(), GL_DYNAMIC_DRAW);
  } else {
    glBindBuffer(GL_UNIFORM_BUFFER, glBuffer_);
    glBufferSubData(GL_UNIFORM_BUFFER, 0, size, bytes_.data());
  }
  return glBuffer_;
}

}  // namespace gpu
