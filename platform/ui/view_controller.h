// A controller that manages one view. Its view is set (by an interface file or
// in code) before it is first asked for; the first request runs viewDidLoad.
#pragma once

#include <memory>

#include "platform/base/coder.h"
#include "platform/base/object.h"
#include "platform/ui/view.h"

namespace ui {

class ViewController : public base::Object {
 public:
  ViewController() = default;
  explicit ViewController(const base::Coder& /*coder*/) {}

  // The view; the first call after the view is set runs viewDidLoad.
  const std::shared_ptr<View>& view();
  void setView(std::shared_ptr<View> view) { view_ = std::move(view); }

  // Runs once, when the view is first asked for.
  virtual void viewDidLoad() {}

  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  static const base::Outlet kOutlets[];
  std::shared_ptr<View> view_;
  bool loaded_ = false;
};

}  // namespace ui
