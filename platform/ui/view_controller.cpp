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

const base::Outlet ViewController::kOutlets[] = {
    base::outlet<&ViewController::view_>("view"),
};
const base::ClassTable ViewController::kClassTable{
    "NSViewController", &base::Object::kClassTable, {}, kOutlets};

}  // namespace ui
