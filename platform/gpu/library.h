// Shader libraries: named GLSL ES functions, looked up by name.
//
// A library's source is one GLSL ES 3.00 text. Everything before the first
// stage line is a prelude shared by every function (the "#version" line,
// precision, the structures and uniform blocks both stages use). A stage line
//
//     #pragma vertex NAME        or        #pragma fragment NAME
//
// starts the text of the function NAME of that stage, which runs to the next
// stage line or the end. That text defines `void NAME()` as the stage's entry
// point, with its own inputs and outputs; the library adds the `main` that
// calls it. Compiling is left to the pipeline, which reports the driver's log.
//
// Buffers reach a function through std140 uniform blocks named after the slot
// the encoder binds: `vertex_buffer_N` reads the buffer set with
// setVertexBuffer(buffer, offset, N), `fragment_buffer_N` the one set with
// setFragmentBuffer(buffer, offset, N).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/base/object.h"
#include "platform/base/result.h"
#include "platform/gpu/types.h"

namespace gpu {

class Function : public base::Object {
 public:
  Function(std::string name, FunctionType type, std::string source)
      : name_(std::move(name)), type_(type), source_(std::move(source)) {}

  [[nodiscard]] const std::string& name() const { return name_; }
  [[nodiscard]] FunctionType functionType() const { return type_; }
  // The complete GLSL ES text of the stage, ready to compile.
  [[nodiscard]] const std::string& source() const { return source_; }

  static constexpr base::ClassTable kClassTable{"MTLFunction", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  std::string name_;
  FunctionType type_;
  std::string source_;
};

class Library : public base::Object {
 public:
  // Splits `source` into its functions; fails on a malformed stage line or a
  // name given twice.
  static base::Result<std::shared_ptr<Library>> fromSource(std::string_view source);

  // The function named `name`, or nullptr.
  [[nodiscard]] std::shared_ptr<Function> newFunctionWithName(const std::string& name) const;

  static constexpr base::ClassTable kClassTable{"MTLLibrary", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  std::map<std::string, std::shared_ptr<Function>, std::less<>> functions_;
};

}  // namespace gpu
