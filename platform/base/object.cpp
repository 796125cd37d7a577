#include "platform/base/object.h"

namespace base {

bool Object::perform(std::string_view /*selector*/, const std::shared_ptr<Object>& /*sender*/) {
  return false;
}

bool Object::setValueForKey(std::string_view /*key*/, const std::shared_ptr<Object>& /*value*/) {
  return false;
}

}  // namespace base
