// Interface files: JSON resources that declare objects (windows, views,
// controllers, the application's delegate, ...) by class name with their
// attributes, and the outlets and actions that connect them. The format is
// described in docs/interface-files.md.
//
// Classes are made by name through the class registry, into which the
// platform's classes are entered up front and the application enters its
// own. Loading creates every object, connects every outlet and action, then
// sets windows' content view controllers (which loads each controller's view:
// its viewDidLoad sees its outlets connected and the window in the
// application's window list). A file with an unknown class, a bad outlet or
// action, or a reference to a missing object is refused as a whole with an
// error text; none of its objects is handed out.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/coder.h"
#include "platform/base/object.h"
#include "platform/base/result.h"

namespace ui {

using ObjectFactory = std::function<std::shared_ptr<base::Object>(const base::Coder&)>;

class ClassRegistry {
 public:
  // The registry, with the platform's classes already entered: NSObject,
  // NSView, NSWindow, NSControl, NSButton, NSTextField, NSViewController,
  // NSWindowController.
  static ClassRegistry& shared();

  // Enters (or replaces) the class `name`.
  void registerClass(const std::string& name, ObjectFactory factory);
  // Enters class T under the name in its class table, made by `factory` or,
  // without one, by T's constructor from a coder.
  template <typename T>
  void registerClass(ObjectFactory factory) {
    registerClass(std::string(T::kClassTable.name), std::move(factory));
  }
  template <typename T>
  void registerClass() {
    registerClass<T>([](const base::Coder& c) { return std::make_shared<T>(c); });
  }
  [[nodiscard]] bool contains(const std::string& name) const;
  // A new object of class `name`, or none for an unknown class or a factory
  // that made nothing.
  [[nodiscard]] std::shared_ptr<base::Object> instantiate(const std::string& name,
                                                          const base::Coder& coder) const;

 private:
  ClassRegistry();
  std::map<std::string, ObjectFactory, std::less<>> factories_;
};

// What a loaded file gives: its top-level objects in file order, and every
// object that has an id.
struct InterfaceObjects {
  std::vector<std::shared_ptr<base::Object>> topLevelObjects;
  std::map<std::string, std::shared_ptr<base::Object>, std::less<>> objectsById;

  [[nodiscard]] std::shared_ptr<base::Object> object(std::string_view id) const;
};

// Loads the bundle resource "NAME.json" with `owner` as the file's owner (the
// object the file calls "owner"; may be none when the file does not use it).
// Errors are also reported on standard error.
base::Result<InterfaceObjects> loadInterfaceFile(const std::string& name,
                                                 const std::shared_ptr<base::Object>& owner);

// Loads an interface file's text; `source` names it in error texts. Errors are
// only returned, not printed.
base::Result<InterfaceObjects> loadInterfaceText(std::string_view text,
                                                 const std::shared_ptr<base::Object>& owner,
                                                 const std::string& source);

}  // namespace ui
