#include "platform/gpu/gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>

#include <cstdio>
#include <cstring>
#include <set>

#include "platform/base/log.h"

namespace gpu {
namespace {

std::string eglErrorText(const char* what) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
  return std::string(what) + " failed (EGL error " + code + ")";
}

bool hasExtension(const char* list, const char* name) {
  if (list == nullptr) return false;
  const size_t length = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
    const bool startsWord = p == list || p[-1] == ' ';
    const bool endsWord = p[length] == '\0' || p[length] == ' ';
    if (startsWord && endsWord) return true;
  }
  return false;
}

}  // namespace

base::Result<GlContext*> GlContext::shared() {
  static GlContext* context = nullptr;
  if (context != nullptr) return context;
  auto* made = new GlContext();  // kept for the life of the process
  if (auto opened = open(*made); !opened) {
    delete made;
    return opened.error();
  }
  context = made;
  return context;
}

base::Result<void> GlContext::open(GlContext& into) {
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (!hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
    return base::fail("EGL has no surfaceless platform (EGL_MESA_platform_surfaceless)");
  }
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) return base::fail("EGL has no eglGetPlatformDisplayEXT");

  EGLDisplay display =
      getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY) return base::fail(eglErrorText("eglGetPlatformDisplayEXT"));
  EGLint major = 0;
  EGLint minor = 0;
  if (eglInitialize(display, &major, &minor) == EGL_FALSE) {
    return base::fail(eglErrorText("eglInitialize on the surfaceless platform"));
  }
  const auto fail = [display](const char* what) {
    base::Error error{eglErrorText(what)};
    eglTerminate(display);
    return error;
  };
  if (eglBindAPI(EGL_OPENGL_ES_API) == EGL_FALSE) return fail("eglBindAPI(OpenGL ES)");

  const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
  if (!hasExtension(extensions, "EGL_KHR_surfaceless_context")) {
    eglTerminate(display);
    return base::fail(
        "EGL cannot make a context current without a surface (EGL_KHR_surfaceless_context)");
  }
  EGLConfig config = EGL_NO_CONFIG_KHR;
  if (!hasExtension(extensions, "EGL_KHR_no_config_context")) {
    const EGLint want[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES3_BIT, EGL_NONE};
    EGLint count = 0;
    if (eglChooseConfig(display, want, &config, 1, &count) == EGL_FALSE || count == 0) {
      return fail("eglChooseConfig(OpenGL ES 3)");
    }
  }
  const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0,
                               EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, attributes);
  if (context == EGL_NO_CONTEXT) return fail("eglCreateContext(OpenGL ES 3.0)");
  if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) == EGL_FALSE) {
    eglDestroyContext(display, context);
    return fail("eglMakeCurrent");
  }

  into.display_ = display;
  into.context_ = context;
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  into.renderer_ = renderer != nullptr ? renderer : "unknown renderer";

  // The pipelines do no blending, depth or culling; set once for the context.
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_DITHER);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  return base::ok();
}

void GlContext::makeCurrent() const {
  if (eglGetCurrentContext() != context_) {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_);
  }
}

void reportOnce(const std::string& message) {
  static std::set<std::string> said;
  if (said.insert(message).second) base::printError(message);
}

}  // namespace gpu
