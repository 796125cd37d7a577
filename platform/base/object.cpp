#include "platform/base/object.h"

namespace base {

bool Object::perform(std::string_view selector, const std::shared_ptr<Object>& sender) {
  for (const ClassTable* table = &classTable(); table != nullptr; table = table->super) {
    for (const Action& action : table->actions) {
      if (action.selector == selector) {
        action.invoke(*this, sender);
        return true;
      }
    }
  }
  return false;
}

bool Object::setValueForKey(std::string_view key, const std::shared_ptr<Object>& value) {
  for (const ClassTable* table = &classTable(); table != nullptr; table = table->super) {
    for (const Outlet& outlet : table->outlets) {
      if (outlet.key == key) return outlet.connect(*this, value);
    }
  }
  return false;
}

}  // namespace base
