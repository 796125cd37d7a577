// The process's one OpenGL ES 3 context, on EGL's surfaceless platform.
//
// The surfaceless platform needs no display server: Mesa renders with the
// machine's GPU when it has one and with llvmpipe (on the processor) when it
// has none. Everything is drawn into framebuffer objects, so no window
// surface is ever made. The context is made once, made current on the one
// thread, and kept for the life of the process (GPU objects may be released
// late, during static destruction, and still find it).
#pragma once

#include <string>

#include "platform/base/result.h"

namespace gpu {

class GlContext {
 public:
  // The context, made on first use, or why it cannot be made (a later call
  // tries again).
  static base::Result<GlContext*> shared();

  // The driver's name for the renderer ("llvmpipe (LLVM ...)").
  [[nodiscard]] const std::string& rendererName() const { return renderer_; }

  // Makes the context current again if something else took it.
  void makeCurrent() const;

 private:
  GlContext() = default;
  static base::Result<void> open(GlContext& into);

  void* display_ = nullptr;
  void* context_ = nullptr;
  std::string renderer_;
};

// Prints `message` on standard error the first time it is reported, so that a
// fault repeated at every frame is said once rather than sixty times a second.
void reportOnce(const std::string& message);

}  // namespace gpu
