// The root of the stand-in platform's object model.
//
// Objects that the platform reaches by name derive from base::Object: menu and
// control actions are sent as selector text ("closeAlert:") with a sender, and
// interface files connect outlets by key ("metalView"). A class answers the
// selectors and keys it knows and refuses the rest, so a wrong name in an
// interface file is reported instead of being silently ignored.
//
// Each class says what it publishes once, in its ClassTable: its name, its
// superclass's table, its actions and its outlets. perform, setValueForKey and
// className read the tables, the class's own first, then up the chain.
//
//   // button.h
//   static constexpr base::ClassTable kClassTable{"NSButton", &Control::kClassTable};
//   [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }
//
//   // tray_icon.cpp (a class with actions or outlets defines its table there)
//   const base::Action TrayIcon::kActions[] = {base::action<&TrayIcon::quitApp>("quitApp:")};
//   const base::ClassTable TrayIcon::kClassTable{"TrayIcon", &base::Object::kClassTable, kActions};
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace base {

class Object;

// An action: `selector` sends `invoke(receiver, sender)`.
struct Action {
  std::string_view selector;
  void (*invoke)(Object& receiver, const std::shared_ptr<Object>& sender);
};

// An outlet: `connect(receiver, value)` stores `value` under `key`, or returns
// false when the value is of the wrong class.
struct Outlet {
  std::string_view key;
  bool (*connect)(Object& receiver, const std::shared_ptr<Object>& value);
};

struct ClassTable {
  std::string_view name;
  const ClassTable* super = nullptr;
  std::span<const Action> actions = {};
  std::span<const Outlet> outlets = {};
};

class Object : public std::enable_shared_from_this<Object> {
 public:
  static constexpr ClassTable kClassTable{"Object"};

  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

  // The most derived class's table.
  [[nodiscard]] virtual const ClassTable& classTable() const { return kClassTable; }

  // Sends the action named by `selector` with `sender`. Returns false when the
  // receiver has no such action (nothing happens then).
  bool perform(std::string_view selector, const std::shared_ptr<Object>& sender);

  // Connects the outlet `key` to `value`. Returns false for a key the class
  // does not publish, or a value of the wrong class.
  bool setValueForKey(std::string_view key, const std::shared_ptr<Object>& value);

  // The class's name as interface files and diagnostics spell it.
  [[nodiscard]] std::string className() const { return std::string(classTable().name); }

  template <typename T>
  std::shared_ptr<T> sharedAs() {
    return std::dynamic_pointer_cast<T>(shared_from_this());
  }
};

using ObjectPtr = std::shared_ptr<Object>;

namespace detail {
template <typename Member>
struct MemberOf;
template <typename C, typename T>
struct MemberOf<T C::*> {
  using Class = C;
};
}  // namespace detail

// An action that calls `Method(sender)` on the receiver; `Method` is a member
// function taking `const std::shared_ptr<Object>&`.
template <auto Method>
constexpr Action action(std::string_view selector) {
  using C = typename detail::MemberOf<decltype(Method)>::Class;
  return {selector, [](Object& receiver, const std::shared_ptr<Object>& sender) {
            (static_cast<C&>(receiver).*Method)(sender);
          }};
}

// An outlet stored in the data member `Field`, a shared_ptr or weak_ptr: a
// value that is not of the member's class is refused, nothing clears it.
template <auto Field>
constexpr Outlet outlet(std::string_view key) {
  return {key, [](Object& receiver, const std::shared_ptr<Object>& value) {
            using C = typename detail::MemberOf<decltype(Field)>::Class;
            auto& field = static_cast<C&>(receiver).*Field;
            using Target = typename std::remove_cvref_t<decltype(field)>::element_type;
            auto typed = std::dynamic_pointer_cast<Target>(value);
            if (value && !typed) return false;
            field = std::move(typed);
            return true;
          }};
}

}  // namespace base
