// A view that sends an action (a selector text such as "closeAlert:") to a
// target when the user works it. The target is held weakly: a control never
// keeps its controller alive.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/base/coder.h"
#include "platform/base/geometry.h"
#include "platform/ui/view.h"

namespace ui {

class Control : public View {
 public:
  Control() = default;
  explicit Control(base::Rect frame) : View(frame) {}
  // From an interface file: the view's attributes and "enabled".
  explicit Control(const base::Coder& coder);

  [[nodiscard]] std::shared_ptr<base::Object> target() const { return target_.lock(); }
  void setTarget(const std::shared_ptr<base::Object>& target) { target_ = target; }
  [[nodiscard]] const std::optional<std::string>& action() const { return action_; }
  void setAction(std::optional<std::string> action) { action_ = std::move(action); }

  [[nodiscard]] bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }

  // Sends the action to the target with this control as sender. Returns false
  // when nothing took it: no action, no target (or gone), the control is
  // disabled or the target does not answer the selector.
  bool sendAction();

  static constexpr base::ClassTable kClassTable{"NSControl", &View::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  std::weak_ptr<base::Object> target_;
  std::optional<std::string> action_;
  bool enabled_ = true;
};

}  // namespace ui
