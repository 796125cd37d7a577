#include "platform/gpu/pipeline.h"

#include <GLES3/gl3.h>

#include <charconv>
#include <optional>
#include <string_view>

namespace gpu {
namespace {

std::string stageName(FunctionType type) {
  return type == FunctionType::vertex ? "vertex" : "fragment";
}

std::string infoLog(GLuint object, bool isProgram) {
  GLint length = 0;
  if (isProgram) {
    glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
  } else {
    glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
  }
  if (length <= 1) return "(the driver gave no log)";
  std::string log(static_cast<size_t>(length), '\0');
  if (isProgram) {
    glGetProgramInfoLog(object, length, nullptr, log.data());
  } else {
    glGetShaderInfoLog(object, length, nullptr, log.data());
  }
  while (!log.empty() && (log.back() == '\0' || log.back() == '\n')) log.pop_back();
  return log;
}

// Compiles one function; the shader's name, or the driver's log.
std::optional<GLuint> compile(const Function& function, std::string* error) {
  const GLuint shader = glCreateShader(
      function.functionType() == FunctionType::vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
  const char* text = function.source().c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok != GL_TRUE) {
    *error = "Compiling the " + stageName(function.functionType()) + " function \"" +
             function.name() + "\" failed:\n" + infoLog(shader, false);
    glDeleteShader(shader);
    return std::nullopt;
  }
  return shader;
}

// "vertex_buffer_3" -> (vertex, 3).
std::optional<std::pair<FunctionType, unsigned>> parseBlockName(std::string_view name) {
  FunctionType stage{};
  if (name.starts_with("vertex_buffer_")) {
    stage = FunctionType::vertex;
    name.remove_prefix(std::string_view("vertex_buffer_").size());
  } else if (name.starts_with("fragment_buffer_")) {
    stage = FunctionType::fragment;
    name.remove_prefix(std::string_view("fragment_buffer_").size());
  } else {
    return std::nullopt;
  }
  unsigned index = 0;
  const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), index);
  if (ec != std::errc() || end != name.data() + name.size() || index >= kBufferSlots) {
    return std::nullopt;
  }
  return std::make_pair(stage, index);
}

}  // namespace

Result<RenderPipelineState> RenderPipelineState::build(const RenderPipelineDescriptor& descriptor) {
  using R = Result<RenderPipelineState>;
  if (!descriptor.vertexFunction) return R::failure("The pipeline has no vertex function");
  if (!descriptor.fragmentFunction) return R::failure("The pipeline has no fragment function");
  if (descriptor.vertexFunction->functionType() != FunctionType::vertex) {
    return R::failure("\"" + descriptor.vertexFunction->name() + "\" is not a vertex function");
  }
  if (descriptor.fragmentFunction->functionType() != FunctionType::fragment) {
    return R::failure("\"" + descriptor.fragmentFunction->name() + "\" is not a fragment function");
  }
  const PixelFormat format = descriptor.colorAttachments[0].pixelFormat;
  if (format != PixelFormat::bgra8Unorm) {
    return R::failure("Colour attachment 0 has an unsupported pixel format (" +
                      std::to_string(static_cast<unsigned long>(format)) + ")");
  }

  std::string error;
  const auto vertex = compile(*descriptor.vertexFunction, &error);
  if (!vertex) return R::failure(error);
  const auto fragment = compile(*descriptor.fragmentFunction, &error);
  if (!fragment) {
    glDeleteShader(*vertex);
    return R::failure(error);
  }

  auto state = std::shared_ptr<RenderPipelineState>(new RenderPipelineState());
  state->pixelFormat_ = format;
  state->program_ = glCreateProgram();
  glAttachShader(state->program_, *vertex);
  glAttachShader(state->program_, *fragment);
  glLinkProgram(state->program_);
  glDeleteShader(*vertex);
  glDeleteShader(*fragment);
  GLint ok = GL_FALSE;
  glGetProgramiv(state->program_, GL_LINK_STATUS, &ok);
  if (ok != GL_TRUE)
    return R::failure("Linking the pipeline failed:\n" + infoLog(state->program_, true));

  GLint blocks = 0;
  glGetProgramiv(state->program_, GL_ACTIVE_UNIFORM_BLOCKS, &blocks);
  for (GLuint b = 0; b < static_cast<GLuint>(blocks); ++b) {
    char name[128] = {};
    glGetActiveUniformBlockName(state->program_, b, sizeof name, nullptr, name);
    const auto slot = parseBlockName(name);
    if (!slot) {
      return R::failure(std::string("The uniform block ") + name +
                        " names no buffer slot (vertex_buffer_N or fragment_buffer_N, N below " +
                        std::to_string(kBufferSlots) + ")");
    }
    GLint size = 0;
    glGetActiveUniformBlockiv(state->program_, b, GL_UNIFORM_BLOCK_DATA_SIZE, &size);
    const unsigned binding = bindingFor(slot->first, slot->second);
    glUniformBlockBinding(state->program_, b, binding);
    state->uses_.push_back(
        BufferUse{slot->first, slot->second, binding, static_cast<size_t>(size)});
  }
  return R::success(std::move(state));
}

RenderPipelineState::~RenderPipelineState() {
  if (program_ != 0) glDeleteProgram(program_);
}

}  // namespace gpu
