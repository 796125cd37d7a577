#include "platform/gpu/library.h"

#include <cctype>
#include <optional>
#include <vector>

namespace gpu {
namespace {

struct StageLine {
  FunctionType type;
  std::string name;
};

bool isIdentifier(std::string_view word) {
  if (word.empty() || std::isdigit(static_cast<unsigned char>(word[0])) != 0) return false;
  for (const char c : word) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '_') return false;
  }
  return true;
}

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])) != 0) ++i;
    size_t j = i;
    while (j < line.size() && std::isspace(static_cast<unsigned char>(line[j])) == 0) ++j;
    if (j > i) out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

// A stage line, none for any other line, or an error for a stage line that
// cannot be read.
base::Result<std::optional<StageLine>> parseStageLine(std::string_view line) {
  const auto w = words(line);
  if (w.size() < 2 || w[0] != "#pragma" || (w[1] != "vertex" && w[1] != "fragment")) {
    return std::optional<StageLine>();
  }
  if (w.size() != 3 || !isIdentifier(w[2]) || w[2] == "main") {
    return base::fail("a stage line needs one function name other than main: " + std::string(line));
  }
  return std::optional<StageLine>(StageLine{
      w[1] == "vertex" ? FunctionType::vertex : FunctionType::fragment, std::string(w[2])});
}

}  // namespace

base::Result<std::shared_ptr<Library>> Library::fromSource(std::string_view source) {
  auto library = std::make_shared<Library>();
  std::string prelude;
  std::optional<StageLine> current;
  std::string body;
  int bodyFirstLine = 0;

  const auto finish = [&]() -> base::Result<void> {
    if (!current) return base::ok();
    if (library->functions_.contains(current->name)) {
      return base::fail("the function " + current->name + " is defined twice");
    }
    // #line keeps the driver's messages pointing at lines of the file.
    std::string text = prelude + "#line " + std::to_string(bodyFirstLine) + "\n" + body +
                       "\nvoid main() { " + current->name + "(); }\n";
    library->functions_.emplace(
        current->name, std::make_shared<Function>(current->name, current->type, std::move(text)));
    return base::ok();
  };

  int lineNumber = 0;
  size_t start = 0;
  while (start < source.size()) {
    size_t end = source.find('\n', start);
    if (end == std::string_view::npos) end = source.size();
    const std::string_view line = source.substr(start, end - start);
    start = end + 1;
    ++lineNumber;

    auto stage = parseStageLine(line);
    if (!stage) {
      return base::fail("line " + std::to_string(lineNumber) + ": " + stage.error().message);
    }
    if (*stage) {
      if (auto finished = finish(); !finished) return finished.error();
      current = std::move(*stage);
      body.clear();
      bodyFirstLine = lineNumber + 1;
      continue;
    }
    std::string& into = current ? body : prelude;
    into.append(line);
    into.push_back('\n');
  }
  if (auto finished = finish(); !finished) return finished.error();
  if (library->functions_.empty()) return base::fail("the source defines no function");
  return library;
}

std::shared_ptr<Function> Library::newFunctionWithName(const std::string& name) const {
  auto it = functions_.find(name);
  return it == functions_.end() ? nullptr : it->second;
}

}  // namespace gpu
