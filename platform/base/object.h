// The root of the stand-in platform's object model.
//
// Objects that the platform reaches by name derive from base::Object: menu and
// control actions are sent as selector text ("closeAlert:") with a sender, and
// interface files connect outlets by key ("metalView"). A class answers the
// selectors and keys it knows and refuses the rest, so a wrong name in an
// interface file is reported instead of being silently ignored.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace base {

class Object : public std::enable_shared_from_this<Object> {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

  // Sends the action named by `selector` with `sender`. Returns false when the
  // receiver has no such action (nothing happens then).
  virtual bool perform(std::string_view selector, const std::shared_ptr<Object>& sender);

  // Connects the outlet or object property `key` to `value`. Returns false for
  // a key the class does not publish.
  virtual bool setValueForKey(std::string_view key, const std::shared_ptr<Object>& value);

  // The class's name as interface files and diagnostics spell it.
  [[nodiscard]] virtual std::string className() const { return "Object"; }

  template <typename T>
  std::shared_ptr<T> sharedAs() {
    return std::dynamic_pointer_cast<T>(shared_from_this());
  }
};

using ObjectPtr = std::shared_ptr<Object>;

}  // namespace base
