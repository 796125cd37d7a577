#include "platform/ui/view_controller.h"

namespace ui {

const std::shared_ptr<View>& ViewController::view() {
  if (!view_) view_ = std::make_shared<View>();
  if (!loaded_) {
    loaded_ = true;
    viewDidLoad();
  }
  return view_;
}

bool ViewController::setValueForKey(std::string_view key,
                                    const std::shared_ptr<base::Object>& value) {
  if (key == "view") {
    auto v = std::dynamic_pointer_cast<View>(value);
    if (value && !v) return false;
    view_ = std::move(v);
    return true;
  }
  return base::Object::setValueForKey(key, value);
}

}  // namespace ui
