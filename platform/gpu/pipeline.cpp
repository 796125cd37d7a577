#include "platform/gpu/pipeline.h"

#include <GLES3/gl3.h>

#include <algorithm>
#include <charconv>
#include <cstring>
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

// Compiles one function, with `defines` after its first line (the version
// line must stay first); the shader's name, or the driver's log.
base::Result<GLuint> compile(const Function& function, const std::string& defines) {
  const GLuint shader = glCreateShader(
      function.functionType() == FunctionType::vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
  std::string source = function.source();
  source.insert(source.find('\n') == std::string::npos ? source.size() : source.find('\n') + 1,
                defines);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok != GL_TRUE) {
    auto error = base::fail("Compiling the " + stageName(function.functionType()) + " function \"" +
                            function.name() + "\" failed:\n" + infoLog(shader, false));
    glDeleteShader(shader);
    return error;
  }
  return shader;
}

// Compiles and links both functions; the program, or why not.
base::Result<GLuint> link(const RenderPipelineDescriptor& descriptor, const std::string& defines) {
  const auto vertex = compile(*descriptor.vertexFunction, defines);
  if (!vertex) return vertex.error();
  const auto fragment = compile(*descriptor.fragmentFunction, defines);
  if (!fragment) {
    glDeleteShader(*vertex);
    return fragment.error();
  }
  const GLuint program = glCreateProgram();
  glAttachShader(program, *vertex);
  glAttachShader(program, *fragment);
  glLinkProgram(program);
  glDeleteShader(*vertex);
  glDeleteShader(*fragment);
  GLint ok = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok != GL_TRUE) {
    auto error = base::fail("Linking the pipeline failed:\n" + infoLog(program, true));
    glDeleteProgram(program);
    return error;
  }
  return program;
}

// A "#pragma specialize NAME COUNT" line of either function.
struct SpecializeLine {
  std::string name;
  int count = 0;
};

base::Result<std::optional<SpecializeLine>> findSpecializeLine(
    const RenderPipelineDescriptor& descriptor) {
  for (const auto* function :
       {descriptor.vertexFunction.get(), descriptor.fragmentFunction.get()}) {
    std::string_view text = function->source();
    while (!text.empty()) {
      const size_t end = std::min(text.find('\n'), text.size());
      std::string_view line = text.substr(0, end);
      text.remove_prefix(std::min(end + 1, text.size()));
      constexpr std::string_view kMarker = "#pragma specialize ";
      if (!line.starts_with(kMarker)) continue;
      line.remove_prefix(kMarker.size());
      const size_t space = line.find(' ');
      SpecializeLine found{std::string(line.substr(0, space)), 0};
      const std::string_view count =
          space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
      const auto [at, ec] = std::from_chars(count.data(), count.data() + count.size(), found.count);
      if (found.name.empty() || ec != std::errc() || at != count.data() + count.size() ||
          found.count < 1 || found.count > 16) {
        return base::fail("\"#pragma specialize\" needs a uniform's name and a count from 1 to 16");
      }
      return std::optional<SpecializeLine>(std::move(found));
    }
  }
  return std::optional<SpecializeLine>();
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

// Gives each uniform block of `program` the binding point of its slot.
base::Result<void> bindBlocks(GLuint program, std::vector<RenderPipelineState::BufferUse>* uses) {
  GLint blocks = 0;
  glGetProgramiv(program, GL_ACTIVE_UNIFORM_BLOCKS, &blocks);
  for (GLuint b = 0; b < static_cast<GLuint>(blocks); ++b) {
    char name[128] = {};
    glGetActiveUniformBlockName(program, b, sizeof name, nullptr, name);
    const auto slot = parseBlockName(name);
    if (!slot) {
      return base::fail(std::string("The uniform block ") + name +
                        " names no buffer slot (vertex_buffer_N or fragment_buffer_N, N below " +
                        std::to_string(kBufferSlots) + ")");
    }
    GLint size = 0;
    glGetActiveUniformBlockiv(program, b, GL_UNIFORM_BLOCK_DATA_SIZE, &size);
    const unsigned binding = bindingFor(slot->first, slot->second);
    glUniformBlockBinding(program, b, binding);
    if (uses != nullptr) {
      uses->push_back(RenderPipelineState::BufferUse{slot->first, slot->second, binding,
                                                     static_cast<size_t>(size)});
    }
  }
  return base::ok();
}

// Where the int uniform `name` lives: its block's binding point and offset.
std::optional<std::pair<unsigned, size_t>> locateUniform(GLuint program, const std::string& name) {
  GLint count = 0;
  glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
  for (GLuint i = 0; i < static_cast<GLuint>(count); ++i) {
    char buffer[256] = {};
    GLint size = 0;
    GLenum type = 0;
    glGetActiveUniform(program, i, sizeof buffer, nullptr, &size, &type, buffer);
    const std::string_view found = buffer;
    if (found != name && !found.ends_with("." + name)) continue;
    GLint block = -1;
    GLint offset = -1;
    glGetActiveUniformsiv(program, 1, &i, GL_UNIFORM_BLOCK_INDEX, &block);
    glGetActiveUniformsiv(program, 1, &i, GL_UNIFORM_OFFSET, &offset);
    if (type != GL_INT || block < 0 || offset < 0) return std::nullopt;
    GLint binding = 0;
    glGetActiveUniformBlockiv(program, static_cast<GLuint>(block), GL_UNIFORM_BLOCK_BINDING,
                              &binding);
    return std::make_pair(static_cast<unsigned>(binding), static_cast<size_t>(offset));
  }
  return std::nullopt;
}

}  // namespace

base::Result<std::shared_ptr<RenderPipelineState>> RenderPipelineState::build(
    const RenderPipelineDescriptor& descriptor) {
  if (!descriptor.vertexFunction) return base::fail("The pipeline has no vertex function");
  if (!descriptor.fragmentFunction) return base::fail("The pipeline has no fragment function");
  if (descriptor.vertexFunction->functionType() != FunctionType::vertex) {
    return base::fail("\"" + descriptor.vertexFunction->name() + "\" is not a vertex function");
  }
  if (descriptor.fragmentFunction->functionType() != FunctionType::fragment) {
    return base::fail("\"" + descriptor.fragmentFunction->name() + "\" is not a fragment function");
  }
  const PixelFormat format = descriptor.colorAttachments[0].pixelFormat;
  if (format != PixelFormat::bgra8Unorm) {
    return base::fail("Colour attachment 0 has an unsupported pixel format (" +
                      std::to_string(static_cast<unsigned long>(format)) + ")");
  }

  const auto marker = findSpecializeLine(descriptor);
  if (!marker) return marker.error();
  const auto program = link(descriptor, {});
  if (!program) return program.error();

  auto state = std::shared_ptr<RenderPipelineState>(new RenderPipelineState());
  state->pixelFormat_ = format;
  state->program_ = *program;
  if (auto bound = bindBlocks(state->program_, &state->uses_); !bound) return bound.error();

  if (const auto& special = *marker) {
    const auto where = locateUniform(state->program_, special->name);
    if (!where) {
      return base::fail("\"#pragma specialize " + special->name +
                        "\" names no int uniform of a buffer block that the pipeline reads");
    }
    // Held by the state from the start, so that a failure below releases
    // the programs already built.
    state->specialization_ = Specialization{where->first, where->second, {}};
    for (int value = 0; value < special->count; ++value) {
      const auto linked = link(
          descriptor, "#define SPECIALIZE_" + special->name + " " + std::to_string(value) + "\n");
      if (!linked) return linked.error();
      state->specialization_->programs.push_back(*linked);
      if (auto bound = bindBlocks(*linked, nullptr); !bound) return bound.error();
    }
  }
  return state;
}

RenderPipelineState::~RenderPipelineState() {
  if (program_ != 0) glDeleteProgram(program_);
  if (specialization_) {
    for (const unsigned program : specialization_->programs) glDeleteProgram(program);
  }
}

std::optional<unsigned> RenderPipelineState::specializedBinding() const {
  if (!specialization_) return std::nullopt;
  return specialization_->binding;
}

unsigned RenderPipelineState::programFor(const uint8_t* block) const {
  if (!specialization_ || block == nullptr) return program_;
  int32_t value = 0;
  std::memcpy(&value, block + specialization_->offset, sizeof value);
  if (value < 0 || static_cast<size_t>(value) >= specialization_->programs.size()) return program_;
  return specialization_->programs[static_cast<size_t>(value)];
}

}  // namespace gpu
